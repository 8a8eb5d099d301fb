// The administration program `mo_aux`: operations an administrator runs on an installation from
// the shell, outside the web interface. `set_admin_password HOME` sets the initial administrator's
// password; `undelete_admin_user HOME USERDIR PLATFORM` is the command line of the administrator
// restore tool.
#pragma once
#include "mo_std.h"

#define MOAD_MIN_PASSWD_LEN 6 // as for every user's password
#define MOAD_ADMIN_KEY "ADMIN_PASSWD"

// Runs one command line of mo_aux on a bundle made for it; returns the exit status.
int moad_admin_main(MOX_AUX_T *aux, int argc, char **argv) noexcept;

// Reads the new password from standard input (twice on a terminal), hashes it and writes it into the
// site's setup file of the installation at `home`. 1 after a report.
int moad_set_admin_password(MOX_AUX_T *aux, const char *home) noexcept;

// Puts "ADMIN_PASSWD <crypt_text>" into the setup file `path` in place of any line of that keyword,
// keeping every other line as it was; the file is replaced whole, mode 0600. 1 after a report.
int moad_write_admin_passwd(MOX_AUX_T *aux, const char *path, const char *crypt_text) noexcept;

// Clears the deleted flag of the initial administrator in the user directory `user_dir` of the
// installation at `home` (trailing blanks of both are dropped, as the restore tool adds one). Through
// the daemon's locks when a daemon answers, else directly in the file. 1 after a report.
int moad_undelete_admin_user(MOX_AUX_T *aux, const char *home, const char *user_dir,
                             const char *platform) noexcept;
