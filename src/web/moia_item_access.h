// The item access cache of a session: for each (folder item, user) pair one byte that remembers the
// verdicts already worked out for the view (1), edit (2) and librarian (4) checks, so that a page
// listing many items does not walk the folder tree again for each. The cache is dropped whenever the
// data its verdicts came from (tabs, items, users, groups) changes.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"

#include <cstdint>

#define MOIA_BLOCK_SIZE 100000 // bytes of one block of the cache
// Largest cache a server process keeps; over it the cache stays off and every check is worked out.
#define MOIA_MAX_BYTES (64LL * 1024 * 1024)

struct MOIA_ITEM_ACCESS_T;

typedef int (*moia_check_expiry_fn_t)(MOIA_ITEM_ACCESS_T *item_access, int tab_mod, int item_mod,
                                      int user_mod, int group_mod, int max_item_id, int max_user_id,
                                      uint64_t identity) noexcept;
typedef int (*moia_check_fn_t)(MOIA_ITEM_ACCESS_T *item_access, int item_id, int user_id, int type,
                               int *mod_ptr, int *ok_ptr) noexcept;
typedef int (*moia_set_fn_t)(MOIA_ITEM_ACCESS_T *item_access, int item_id, int user_id, int type,
                             mo_boolean_t ok) noexcept;

struct MOIA_ITEM_ACCESS_T {
    MOME_MEM_T *mem;             // allocations
    void *pool_ref;              // the session pool
    void *sub_pool_ref;          // holds the blocks; cleared on every rebuild
    unsigned char **block_array; // blocks of MOIA_BLOCK_SIZE bytes; NULL until built or when off
    int tab_mod;                 // modification numbers the cache was built for
    int item_mod;
    int user_mod;
    int group_mod;
    int max_item_id;                     // highest item id when built
    int max_user_id;                     // highest user id when built
    uint64_t identity;                   // digest of the data files' identities when built
    long long block_count;               // blocks in block_array
    moia_check_expiry_fn_t check_expiry; // rebuilds when the data changed
    moia_check_fn_t check;               // the cached bits of a pair
    moia_set_fn_t set;                   // remembers a verdict
    MOTSL_ACCESS_CACHE_T list_cache;     // the same cache as the list engine reaches it
};
typedef struct MOIA_ITEM_ACCESS_T moia_item_access_t;

// Allocates the cache in `pool_ref` with its sub-pool; no blocks until the first check_expiry.
int moia_item_access_construct(MOIA_ITEM_ACCESS_T **item_access_ptr, MOME_MEM_T *mem,
                               void *pool_ref) noexcept;

// The slots, for callers that hold the record.
int moia_item_access_check_expiry(MOIA_ITEM_ACCESS_T *item_access, int tab_mod, int item_mod, int user_mod,
                                  int group_mod, int max_item_id, int max_user_id,
                                  uint64_t identity) noexcept;
// `*mod_ptr` is non-zero when the answer for `type` is cached, and then `*ok_ptr` non-zero when it was
// granted. A pair outside the cache's bounds, or a cache that is off, is never cached.
int moia_item_access_check(MOIA_ITEM_ACCESS_T *item_access, int item_id, int user_id, int type, int *mod_ptr,
                           int *ok_ptr) noexcept;
// Stores a verdict; a pair outside the bounds is not stored.
int moia_item_access_set(MOIA_ITEM_ACCESS_T *item_access, int item_id, int user_id, int type,
                         mo_boolean_t ok) noexcept;
