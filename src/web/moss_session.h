// Session-scoped state of the web front end: the item access cache that every request of a server
// process shares.
#pragma once
#include "mo_std.h"

struct MOIA_ITEM_ACCESS_T;

struct MOSS_SESSION_T {
    MOIA_ITEM_ACCESS_T *item_access; // the item access cache
};

// Allocates the session record in `pool` and its item access cache.
int moss_session_construct(MOSS_SESSION_T **session, MOE_ERROR_T *error, MOME_MEM_T *mem,
                           void *pool) noexcept;
