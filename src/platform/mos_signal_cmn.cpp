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
    MOS_SIGNAL_T *s = *signal;
    s->low = low;
    s->session_cleanup_ref.fn = nullptr;
    s->req_always_cleanup_ref.fn = nullptr;
    s->req_fatal_cleanup_ref.fn = nullptr;
    s->init = slots->init;
    s->set = slots->set;
    s->reset_defaults = slots->reset_defaults;
    s->begin_protection = slots->begin_protection;
    s->end_protection = slots->end_protection;
    s->reset_protection = slots->reset_protection;
    s->add_cleanup = slots->add_cleanup;
    s->del_cleanup = slots->del_cleanup;
    s->run_cleanup = slots->run_cleanup;
    return 0;
}
