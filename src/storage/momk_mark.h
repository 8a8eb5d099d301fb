// Change marks: a name whose modification number the lock daemon keeps in memory. Writers raise it
// after changing any of the files behind a cache; readers compare it with the number they stored to
// know when to rebuild. Nothing is written to disk.
#pragma once
#include "mo_std.h"

#define MOMK_LOCK_DESCRIPTION "Mark File Lock"

// Sends a file-lock instruction (1 read, 2 release, 3 write, 4 release, 8 raise, 9 get) for the mark.
int momk_mark_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept;
// Raises the mark's modification number.
int momk_mark_touch(MOX_AUX_T *aux, const char *filename) noexcept;
// Stores the mark's current modification number.
int momk_mark_update_modtime(MOX_AUX_T *aux, const char *filename, int *stored_modtime_ptr) noexcept;
// Sets *load TRUE when the mark's number differs from stored_mod_time; a TRUE *load is left alone.
int momk_mark_check_if_load_needed(MOX_AUX_T *aux, const char *filename, int stored_mod_time,
                                   mo_boolean_t *load) noexcept;
