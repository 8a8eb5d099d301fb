// Construction of the child-process service record.
#include "platform/mop_process_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"

int mop_process_construct(MOP_PROCESS_T **process, MOL_LOW_T *low, const MOP_PROCESS_T *slots) noexcept {
    int ret = mome_new(low->mem, low->mem->session_pool_ref, process);
    if (ret != 0)
        return ret;
    // Every slot from the template, including ones added later; then the state.
    **process = *slots;
    (*process)->low = low;
    (*process)->cleanup = nullptr;
    (*process)->child_list = nullptr;
    (*process)->timeout_client_ref = nullptr;
    return 0;
}
