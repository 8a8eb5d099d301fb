// The lowest bundle: only the error service, for code that may do nothing but report.
#pragma once
#include "mo_std.h"

struct MOLT_LOWEST_T {
    MOE_ERROR_T *error; // the error service
};

int molt_lowest_construct(MOLT_LOWEST_T *lowest, MOE_ERROR_T *error) noexcept;
