// A low bundle (error and memory services) for unit tests of modules above them.
#pragma once

#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_mem.h"

namespace mot_test {

struct LowBundle {
    MOE_ERROR_T error{};
    MOLT_LOWEST_T lowest{};
    MOME_MEM_T mem{};
    MOL_LOW_T *low = nullptr;
    LowBundle() {
        moe_error_construct(&error, &moux_error_slots);
        error.init(&error, nullptr, TRUE);
        molt_lowest_construct(&lowest, &error);
        mome_mem_construct(&mem, &lowest, &moux_mem_slots);
        mol_low_construct(&low, &lowest, &mem);
    }
    ~LowBundle() { mem.free(&mem, nullptr, low); }
    LowBundle(const LowBundle &) = delete;
    LowBundle &operator=(const LowBundle &) = delete;
};

} // namespace mot_test
