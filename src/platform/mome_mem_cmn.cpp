// Construction of the memory service record.
#include "platform/mome_mem_cmn.h"

int mome_mem_construct(MOME_MEM_T *mem, MOLT_LOWEST_T *lowest, const MOME_MEM_T *slots) noexcept {
    mem->lowest = lowest;
    mem->init = slots->init;
    mem->malloc = slots->malloc;
    mem->create_sub_pool = slots->create_sub_pool;
    mem->destroy_sub_pool = slots->destroy_sub_pool;
    mem->clear_sub_pool = slots->clear_sub_pool;
    mem->free = slots->free;
    mem->store_string = slots->store_string;
    mem->restore_string = slots->restore_string;
    mem->report_num_bytes = slots->report_num_bytes;
    return 0;
}
