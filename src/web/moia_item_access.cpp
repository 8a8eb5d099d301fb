// The item access cache of a session. One byte per (item, user) pair at position
// user_id * (max_item_id + 1) + item_id: for each access kind a "known" bit (kind << 3) and a
// "granted" bit (kind). Ids outside the bounds it was built for are never cached, so a stale or
// hostile id can neither read nor write outside the blocks.
#include "web/moia_item_access.h"
#include "platform/mome_mem_cmn.h"

namespace {

constexpr int moia_kind_mask = MOTSL_ACCESS_VIEW | MOTSL_ACCESS_EDIT | MOTSL_ACCESS_LIB;

// The byte of a pair, or NULL when the pair is not cached.
unsigned char *moia_slot(MOIA_ITEM_ACCESS_T *ia, int item_id, int user_id) noexcept {
    if (ia->block_array == nullptr || item_id < 0 || user_id < 0 || item_id > ia->max_item_id ||
        user_id > ia->max_user_id)
        return nullptr;
    long long p = static_cast<long long>(user_id) * (static_cast<long long>(ia->max_item_id) + 1) + item_id;
    long long block = p / MOIA_BLOCK_SIZE;
    if (block >= ia->block_count)
        return nullptr;
    return &ia->block_array[block][p % MOIA_BLOCK_SIZE];
}

bool moia_kind_ok(int type) noexcept {
    return type > 0 && (type & ~moia_kind_mask) == 0;
}

int moia_list_get(MOTSL_ACCESS_CACHE_T *cache, int item_id, int user_id, int kind, mo_boolean_t *found,
                  mo_boolean_t *ok) noexcept {
    int mod = 0, granted = 0;
    int ret = moia_item_access_check(static_cast<MOIA_ITEM_ACCESS_T *>(cache->ref), item_id, user_id, kind,
                                     &mod, &granted);
    *found = mod != 0 ? TRUE : FALSE;
    *ok = granted != 0 ? TRUE : FALSE;
    return ret;
}

int moia_list_put(MOTSL_ACCESS_CACHE_T *cache, int item_id, int user_id, int kind, mo_boolean_t ok) noexcept {
    return moia_item_access_set(static_cast<MOIA_ITEM_ACCESS_T *>(cache->ref), item_id, user_id, kind, ok);
}

} // namespace

int moia_item_access_construct(MOIA_ITEM_ACCESS_T **item_access_ptr, MOME_MEM_T *mem,
                               void *pool_ref) noexcept {
    int ret = mome_new(mem, pool_ref, item_access_ptr);
    if (ret != 0)
        return ret;
    MOIA_ITEM_ACCESS_T *ia = *item_access_ptr;
    ret = mem->create_sub_pool(mem, pool_ref, &ia->sub_pool_ref);
    if (ret != 0)
        return ret;
    ia->mem = mem;
    ia->pool_ref = pool_ref;
    ia->block_array = nullptr;
    ia->tab_mod = ia->item_mod = ia->user_mod = ia->group_mod = 0;
    ia->max_item_id = ia->max_user_id = 0;
    ia->identity = 0;
    ia->block_count = 0;
    ia->check_expiry = moia_item_access_check_expiry;
    ia->check = moia_item_access_check;
    ia->set = moia_item_access_set;
    ia->list_cache = MOTSL_ACCESS_CACHE_T{
        .ref = ia,
        .max_item_id = 0,
        .max_user_id = -1, // nothing is cached before the first build
        .get = moia_list_get,
        .put = moia_list_put,
    };
    return 0;
}

int moia_item_access_check_expiry(MOIA_ITEM_ACCESS_T *ia, int tab_mod, int item_mod, int user_mod,
                                  int group_mod, int max_item_id, int max_user_id,
                                  uint64_t identity) noexcept {
    bool same = ia->block_array != nullptr && ia->tab_mod == tab_mod && ia->item_mod == item_mod &&
                ia->user_mod == user_mod && ia->group_mod == group_mod && ia->max_item_id == max_item_id &&
                ia->max_user_id == max_user_id && ia->identity == identity;
    if (same)
        return 0;
    // Nothing refers to the old blocks once the sub-pool is cleared, even if the new ones fail. The
    // blocks are also given back one by one for the command line, whose sub-pools are nominal.
    if (ia->block_array != nullptr) {
        for (long long b = 0; b < ia->block_count; b++)
            ia->mem->free(ia->mem, ia->sub_pool_ref, ia->block_array[b]);
        ia->mem->free(ia->mem, ia->sub_pool_ref, ia->block_array);
    }
    ia->block_array = nullptr;
    ia->block_count = 0;
    ia->list_cache.max_item_id = 0;
    ia->list_cache.max_user_id = -1;
    int ret = ia->mem->clear_sub_pool(ia->mem, ia->sub_pool_ref);
    if (ret != 0)
        return ret;
    if (max_item_id < 0 || max_user_id < 0)
        return 0; // no data to cache for
    long long pairs = (static_cast<long long>(max_item_id) + 1) * (static_cast<long long>(max_user_id) + 1);
    long long blocks = pairs / MOIA_BLOCK_SIZE + 1;
    if (blocks * MOIA_BLOCK_SIZE > MOIA_MAX_BYTES)
        return 0; // too large to keep: every check is worked out
    unsigned char **array = nullptr;
    ret = mome_new_array(ia->mem, ia->sub_pool_ref, &array, static_cast<size_t>(blocks));
    long long made = 0;
    for (; ret == 0 && made < blocks; made++)
        ret = mome_new_array(ia->mem, ia->sub_pool_ref, &array[made], MOIA_BLOCK_SIZE);
    if (ret != 0) {
        for (long long b = 0; array != nullptr && b < made; b++)
            ia->mem->free(ia->mem, ia->sub_pool_ref, array[b]);
        if (array != nullptr)
            ia->mem->free(ia->mem, ia->sub_pool_ref, array);
        return ret; // the stamps stay old, so the next request tries again
    }
    ia->block_array = array;
    ia->block_count = blocks;
    ia->tab_mod = tab_mod;
    ia->item_mod = item_mod;
    ia->user_mod = user_mod;
    ia->group_mod = group_mod;
    ia->max_item_id = max_item_id;
    ia->max_user_id = max_user_id;
    ia->identity = identity;
    ia->list_cache.max_item_id = max_item_id;
    ia->list_cache.max_user_id = max_user_id;
    return 0;
}

int moia_item_access_check(MOIA_ITEM_ACCESS_T *ia, int item_id, int user_id, int type, int *mod_ptr,
                           int *ok_ptr) noexcept {
    *mod_ptr = 0;
    *ok_ptr = 0;
    unsigned char *byte = moia_kind_ok(type) ? moia_slot(ia, item_id, user_id) : nullptr;
    if (byte == nullptr)
        return 0;
    *mod_ptr = *byte & (type << 3);
    *ok_ptr = *byte & type;
    return 0;
}

int moia_item_access_set(MOIA_ITEM_ACCESS_T *ia, int item_id, int user_id, int type,
                         mo_boolean_t ok) noexcept {
    unsigned char *byte = moia_kind_ok(type) ? moia_slot(ia, item_id, user_id) : nullptr;
    if (byte == nullptr)
        return 0;
    *byte |= static_cast<unsigned char>(type << 3);
    if (ok)
        *byte |= static_cast<unsigned char>(type);
    return 0;
}
