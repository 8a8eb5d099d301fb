// The last place a user visited per directory tab: the link text itself, with no keyword and no line
// end, in "<user_default_dir>/trail/<user id>/last_<tab>".
#pragma once
#include "mo_std.h"

#define MOLA_LOCK_DESCRIPTION "Last File Lock"

// The file name of a user's last link for a tab, into `filename` (MO_FILENAME_LEN bytes). A tab name
// holding "/" is refused so that it cannot name a file outside the user's directory.
int mola_last_set_filename(MOX_AUX_T *aux, int user_id, const char *tab_name, char *filename) noexcept;
// The stored link for the tab in the request pool, or NULL when the user has none.
int mola_last_read_user(MOX_AUX_T *aux, int user_id, const char *tab_name, char **link_ptr) noexcept;
// Replaces the stored link.
int mola_last_write_user(MOX_AUX_T *aux, int user_id, const char *tab_name, const char *link) noexcept;
int mola_last_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept;
