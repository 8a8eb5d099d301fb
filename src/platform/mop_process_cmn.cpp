// Construction of the child-process service record.
#include "platform/mop_process_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"

int mop_process_construct(MOP_PROCESS_T **process, MOL_LOW_T *low, const MOP_PROCESS_T *slots) noexcept {
    int ret = mome_new(low->mem, low->mem->session_pool_ref, process);
    if (ret != 0)
        return ret;
    MOP_PROCESS_T *p = *process;
    p->low = low;
    p->cleanup = nullptr;
    p->child_list = nullptr;
    p->timeout_client_ref = nullptr;
    p->init = slots->init;
    p->open_process_async = slots->open_process_async;
    p->open_process = slots->open_process;
    p->open_process_env = slots->open_process_env;
    p->open_process_timeout = slots->open_process_timeout;
    p->end_process = slots->end_process;
    p->kill_process = slots->kill_process;
    p->begin_output_redirect = slots->begin_output_redirect;
    p->end_output_redirect = slots->end_output_redirect;
    p->read_line = slots->read_line;
    p->read_buf = slots->read_buf;
    p->read_err_line = slots->read_err_line;
    p->write_line = slots->write_line;
    p->close_stream = slots->close_stream;
    return 0;
}
