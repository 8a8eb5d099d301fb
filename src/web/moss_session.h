// Session-scoped state of the bundle: the item-access cache of the web front end.
#pragma once
#include "mo_std.h"

struct MOIA_ITEM_ACCESS_T;

struct MOSS_SESSION_T {
    MOIA_ITEM_ACCESS_T *item_access; // item-access cache; built with the web front end
};

int moss_session_construct(MOSS_SESSION_T **session, MOE_ERROR_T *error, MOME_MEM_T *mem,
                           void *pool) noexcept;
