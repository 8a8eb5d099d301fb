// Construction of the bundle records: lowest, low, intermediate and full.
#include "entry/mox_aux.h"
#include "entry/moim_interm.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "platform/mome_mem_cmn.h"

int molt_lowest_construct(MOLT_LOWEST_T *lowest, MOE_ERROR_T *error) noexcept {
    lowest->error = error;
    return 0;
}

int mol_low_construct(MOL_LOW_T **low, MOLT_LOWEST_T *lowest, MOME_MEM_T *mem) noexcept {
    int ret = mome_new(mem, mem->session_pool_ref, low);
    if (ret != 0)
        return ret;
    (*low)->lowest = lowest;
    (*low)->mem = mem;
    (*low)->error = lowest->error;
    return 0;
}

int moim_interm_construct(MOIM_INTERM_T **interm, MOL_LOW_T *low) noexcept {
    int ret = mome_new(low->mem, low->mem->session_pool_ref, interm);
    if (ret != 0)
        return ret;
    (*interm)->low = low;
    (*interm)->mem = low->mem;
    (*interm)->error = low->error;
    return 0;
}

int mox_aux_construct(MOX_AUX_T **aux, MOIM_INTERM_T *interm) noexcept {
    int ret = mome_new(interm->mem, interm->mem->session_pool_ref, aux);
    if (ret != 0)
        return ret;
    MOX_AUX_T *a = *aux;
    a->sub_ref = nullptr;
    a->list_hooks = nullptr;
    a->interm = interm;
    a->file = interm->file;
    a->util = interm->util;
    a->signal = interm->signal;
    a->setup = interm->setup;
    a->process = interm->process;
    a->sock = interm->sock;
    a->mem = interm->low->mem;
    a->error = interm->low->lowest->error;
    return 0;
}
