// Construction of the whole service bundle for the POSIX deliverable.
#pragma once
#include "mo_std.h"

// The slot templates of every platform service; a caller may replace any of them.
struct MOUX_UNIX_SLOTS_T {
    const MOE_ERROR_T *error;
    const MOME_MEM_T *mem;
    const MOF_FILE_T *file;
    const MOU_UTIL_T *util;
    const MOS_SIGNAL_T *signal;
    const MOP_PROCESS_T *process;
    const MOSK_SOCK_T *sock;
};
typedef struct MOUX_UNIX_SLOTS_T moux_unix_slots_t;

extern const MOUX_UNIX_SLOTS_T moux_unix_default_slots;

#define MOUX_CONSTRUCT_FAILURE "Error: unix contruction failed, possibly due to lack of memory\n"

int moux_unix_construct(MOX_AUX_T **aux, void *session_pool) noexcept;
int moux_unix_construct_with(MOX_AUX_T **aux, void *session_pool, const MOUX_UNIX_SLOTS_T *slots) noexcept;

// The absolute path of the program's own file, links resolved, so that the installation four levels
// above it is the same however the program was started (by name along PATH, by a path, through a
// link). A path naming no file is made absolute with "//", "." and ".." folded by name. 1 when the
// path cannot be found or does not fit `size` bytes.
int moux_unix_program_path(const char *argv0, char *buf, size_t size) noexcept;
