// Construction of the signal service record and the two handler values that stand for "ignore" and
// "default action".
#include "platform/mos_signal_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"

// Never called: set recognises these addresses and installs the matching disposition instead.
void mos_signal_ignore(int) noexcept {}
void mos_signal_default(int signum) noexcept {
    (void)signum;
}

int mos_signal_construct(MOS_SIGNAL_T **signal, MOL_LOW_T *low, const MOS_SIGNAL_T *slots) noexcept {
    int ret = mome_new(low->mem, low->mem->session_pool_ref, signal);
    if (ret != 0)
        return ret;
    // Every slot from the template, including ones added later; then the state.
    **signal = *slots;
    (*signal)->low = low;
    (*signal)->session_cleanup_ref = MOS_CLEANUP_REF_T{};
    (*signal)->req_always_cleanup_ref = MOS_CLEANUP_REF_T{};
    (*signal)->req_fatal_cleanup_ref = MOS_CLEANUP_REF_T{};
    return 0;
}
