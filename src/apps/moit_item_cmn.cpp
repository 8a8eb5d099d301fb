// The item service record: its construction and the stand-ins of the folder-tree operations.
#include "apps/moit_item_cmn.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"

int moit_init_litem_array_none(MOIT_ITEM_T *, MOT_TOP_SESSION_T *) noexcept {
    return 0;
}

int moit_get_litem_data_props_none(MOIT_ITEM_T *, int *max_item_id, int *item_mod) noexcept {
    *max_item_id = 0;
    *item_mod = 0;
    return 0;
}

// Loading nothing is fine for the item and file types too until their modules are registered:
// nothing can then ask for a type.
static int init_array_none(MOIT_ITEM_T *, MOT_TOP_SESSION_T *) noexcept {
    return 0;
}

int moit_construct_item(MOIT_ITEM_T **item_ptr, MOX_AUX_T *aux, int index_count,
                        const MOIT_ITEM_OPS_T *ops) noexcept {
    MOME_MEM_T *mem = aux->mem;
    void *pool = mem->session_pool_ref;
    *item_ptr = nullptr;
    if (index_count < 1 || index_count > MOIT_INDEX_COUNT) {
        aux->error->report(aux->error, "The item service has %d folder trees, not %d\n", MOIT_INDEX_COUNT,
                           index_count);
        return 1;
    }
    MOIT_ITEM_T *item = nullptr;
    int ret = mome_new(mem, pool, &item);
    if (ret == 0)
        ret = mome_new_array(mem, pool, &item->stype_ref_array, static_cast<size_t>(index_count));
    if (ret == 0)
        ret = mome_new_array(mem, pool, &item->litem_refs, static_cast<size_t>(index_count));
    if (ret != 0)
        return ret;
    MOIT_ITEM_OPS_T none = {};
    const MOIT_ITEM_OPS_T *o = ops != nullptr ? ops : &none;
    *item = MOIT_ITEM_T{
        .interm = aux->interm,
        .current_index_id = -1,
        .current_list_id = -1,
        .init_litem_array = o->init_litem_array != nullptr ? o->init_litem_array : moit_init_litem_array_none,
        .init_itype_array = o->init_itype_array != nullptr ? o->init_itype_array : init_array_none,
        .init_ftype_array = o->init_ftype_array != nullptr ? o->init_ftype_array : init_array_none,
        .get_litem_data_props =
            o->get_litem_data_props != nullptr ? o->get_litem_data_props : moit_get_litem_data_props_none,
        .min_index = 0,
        .max_index = -1,
        .stype_ref_array = item->stype_ref_array,
        .litem_refs = item->litem_refs,
        .itype_ref = nullptr,
        .ftype_ref = nullptr,
        .ftype_unknown_id = 0,
        .aux = aux,
    };
    *item_ptr = item;
    return 0;
}

int moit_check_index(MOIT_ITEM_T *item, int index_id) noexcept {
    if (index_id < item->min_index || index_id > item->max_index) {
        item->interm->error->report(item->interm->error, "Index ID %d out of range\n", index_id);
        return 1;
    }
    return 0;
}
