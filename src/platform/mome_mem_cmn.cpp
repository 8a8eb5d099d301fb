// Construction of the memory service record.
#include "platform/mome_mem_cmn.h"

int mome_mem_construct(MOME_MEM_T *mem, MOLT_LOWEST_T *lowest, const MOME_MEM_T *slots) noexcept {
    // Every slot from the template, including ones added later; then the state.
    *mem = *slots;
    mem->lowest = lowest;
    return 0;
}
