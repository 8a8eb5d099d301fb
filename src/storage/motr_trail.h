// The user's trail of visited pages per frame: a keyword record file of entries, newest first, in
// "<user_default_dir>/trail/<user id>/trail_<frame>", with "_<display>" added for the frames "content"
// and "dir" so that each of their displays keeps its own trail.
#pragma once
#include "mo_std.h"

#define MOTR_LOCK_DESCRIPTION "Trail File Lock"
#define MOTR_KEYWORDS 2

struct MOK_DATA_RECORD_T;

struct MOTR_TRAIL_INFO_T {
    char *frame_display; // "FD": frame "&" display of the page
    char *trail_content; // "TR": the page's argument text
};
typedef struct MOTR_TRAIL_INFO_T motr_trail_info_t;

int motr_trail_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept;

// The trail file of a user for a frame and display, into `filename` (MO_FILENAME_LEN bytes). Frame and
// display holding "/" are refused so that they cannot name a file outside the user's directory.
int motr_trail_set_filename(MOX_AUX_T *aux, int user_id, const char *frame, const char *display,
                            char *filename) noexcept;
// Loads the trail stored in `filename` (request pool); *trail_ptr is NULL when there is none.
int motr_trail_read_file(MOX_AUX_T *aux, const char *filename, MOK_DATA_RECORD_T **trail_ptr) noexcept;
// Puts a new entry for frame and display in front of the trail.
int motr_trail_add_entry(MOX_AUX_T *aux, const char *frame, const char *display, const char *trail_string,
                         MOK_DATA_RECORD_T **trail_ptr) noexcept;
// Drops the front entry; nothing happens without a trail.
int motr_trail_del_entry(MOK_DATA_RECORD_T **trail_ptr) noexcept;
// Saves the trail; an empty trail leaves an empty file.
int motr_trail_write_file(MOX_AUX_T *aux, const char *filename, MOK_DATA_RECORD_T *trail) noexcept;
