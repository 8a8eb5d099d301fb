// The intermediate bundle: the platform services that sit on the low bundle.
#pragma once
#include "mo_std.h"

struct MOIM_INTERM_T {
    MOF_FILE_T *file;       // file service
    MOU_UTIL_T *util;       // utility service
    MOS_SIGNAL_T *signal;   // signal service
    MOST_SETUP_T *setup;    // installation paths and setup values
    MOP_PROCESS_T *process; // child-process service
    MOSK_SOCK_T *sock;      // socket service
    MOL_LOW_T *low;         // the low bundle
    MOME_MEM_T *mem;        // the memory service
    MOE_ERROR_T *error;     // the error service
};

int moim_interm_construct(MOIM_INTERM_T **interm, MOL_LOW_T *low) noexcept;
