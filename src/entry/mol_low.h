// The low bundle: error and memory services.
#pragma once
#include "mo_std.h"

struct MOL_LOW_T {
    MOLT_LOWEST_T *lowest; // the lowest bundle
    MOME_MEM_T *mem;       // the memory service
    MOE_ERROR_T *error;    // the error service (same record as lowest->error)
};

int mol_low_construct(MOL_LOW_T **low, MOLT_LOWEST_T *lowest, MOME_MEM_T *mem) noexcept;
