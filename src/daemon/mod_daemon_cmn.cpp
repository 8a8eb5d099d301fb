// Construction of the daemon service record; the transport fills its slots.
#include "daemon/mod_daemon_cmn.h"
#include "entry/moim_interm.h"
#include "platform/mome_mem_cmn.h"

int mod_daemon_construct(MOD_DAEMON_T **daemon, MOIM_INTERM_T *interm) noexcept {
    MOME_MEM_T *mem = interm->mem;
    int ret = mome_new(mem, mem->session_pool_ref, daemon);
    if (ret != 0)
        return ret;
    (*daemon)->interm = interm;
    (*daemon)->ref = nullptr;
    return 0;
}
