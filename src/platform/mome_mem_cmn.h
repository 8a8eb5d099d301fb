// The memory service: all dynamic storage of the system comes from it, in named pools.
// On the command line pools are nominal (the process heap, NULL names it).
#pragma once
#include "mo_std.h"
#include <cstring>

struct MOME_MEM_T {
    MOLT_LOWEST_T *lowest;  // gives access to the error service
    void *session_pool_ref; // pool living as long as the session
    void *req_pool_ref;     // pool living as long as one request

    int (*init)(MOME_MEM_T *mem, void *session_pool, void *req_pool) noexcept;
    int (*malloc)(MOME_MEM_T *mem, void *pool, void **out, size_t size) noexcept;
    int (*create_sub_pool)(MOME_MEM_T *mem, void *pool, void **sub_pool) noexcept;
    int (*destroy_sub_pool)(MOME_MEM_T *mem, void *pool) noexcept;
    int (*clear_sub_pool)(MOME_MEM_T *mem, void *pool) noexcept;
    int (*free)(MOME_MEM_T *mem, void *pool, void *block) noexcept;
    int (*store_string)(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept;
    int (*restore_string)(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept;
    int (*report_num_bytes)(MOME_MEM_T *mem, void *pool) noexcept;
};

// Fills the static memory record with the lowest bundle and the given slots.
int mome_mem_construct(MOME_MEM_T *mem, MOLT_LOWEST_T *lowest, const MOME_MEM_T *slots) noexcept;

// Typed allocation of one zero-filled record T in a pool (0, or 1 after "Out of memory\n").
template <class T> inline int mome_new(MOME_MEM_T *mem, void *pool, T **out) noexcept {
    void *block = nullptr;
    int ret = mem->malloc(mem, pool, &block, sizeof(T));
    if (ret != 0) {
        *out = nullptr;
        return ret;
    }
    memset(block, 0, sizeof(T));
    *out = static_cast<T *>(block);
    return 0;
}

// Typed allocation of `count` zero-filled elements T.
template <class T> inline int mome_new_array(MOME_MEM_T *mem, void *pool, T **out, size_t count) noexcept {
    void *block = nullptr;
    size_t size = count * sizeof(T);
    if (count != 0 && size / count != sizeof(T))
        size = SIZE_MAX; // overflow: let the allocation fail and report
    int ret = mem->malloc(mem, pool, &block, size);
    if (ret != 0) {
        *out = nullptr;
        return ret;
    }
    memset(block, 0, size);
    *out = static_cast<T *>(block);
    return 0;
}
