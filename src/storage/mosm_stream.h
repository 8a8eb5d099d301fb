// Number streams: each stream hands out 1, 2, 3, ... to every process of the installation, never the
// same number twice. The last number drawn lives in "<lib_dir>/dgen/stream/<id>", guarded by the
// file's write lock for the whole read-add-write.
#pragma once
#include "mo_std.h"

#define MOSM_LOCK_DESCRIPTION "Stream File"

struct MOSM_STREAM_INFO_T {
    int last_stream_id; // "ID": the last number drawn, 0 for a new stream
};
typedef struct MOSM_STREAM_INFO_T mosm_stream_info_t;

// Builds the stream's file name into `filename` (MO_FILENAME_LEN bytes).
int mosm_stream_set_filename(MOX_AUX_T *aux, int stream_id, char *filename) noexcept;
// Draws the next number of the stream.
int mosm_stream_get_number(MOX_AUX_T *aux, int stream_id, int *number_ptr) noexcept;
