// Private files of an installation (mode 0600): the random secret that signs session tokens and the
// site's setup file holding the administrator's password hash; and reading a password from the
// terminal without echo. Files are created whole under a temporary name and then put in place, so
// no reader ever sees half a file.
#pragma once
#include "mo_std.h"

#define MOUX_SECRET_MAX 64 // longest secret, in bytes

// Reads the secret of `len` bytes kept as hexadecimal text in `path`; when the file does not exist,
// makes one from the operating system's random source. Several processes creating it at once all
// end up with the one file that won. A group- or world-readable file is closed to others first.
// 1 after a report when the file is damaged or cannot be read or made.
int moux_private_secret(MOE_ERROR_T *error, const char *path, unsigned char *key, size_t len) noexcept;

// Replaces `path` by a file holding `len` bytes of `text`, mode 0600, atomically. The owner of the
// file it replaces (or of its directory) is kept when we run as root, so that the installation's
// own user can still read it. 1 after a report.
int moux_private_replace(MOE_ERROR_T *error, const char *path, const char *text, size_t len) noexcept;

// Reads one line from standard input into `buf` (`size` bytes), without its line end. On a terminal
// `prompt` is shown on it and echo is off while typing. `*terminal` tells which it was. 1 after a
// report at end of input or when the line does not fit.
int moux_private_read_line(MOE_ERROR_T *error, const char *prompt, char *buf, size_t size,
                           mo_boolean_t *terminal) noexcept;
