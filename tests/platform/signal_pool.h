// A memory service whose blocks are all given back at the end of a test, as a request pool would be:
// records, lists and channel copies are never freed one by one.
#pragma once

#include "platform/mome_mem_cmn.h"
#include "platform/moux_unix_mem.h"

#include <cstring>
#include <set>

namespace mot_test {

inline std::set<void *> &pool_blocks() {
    static std::set<void *> blocks;
    return blocks;
}

inline int pool_malloc(MOME_MEM_T *mem, void *pool, void **out, size_t size) noexcept {
    int ret = moux_mem_malloc(mem, pool, out, size);
    if (ret == 0)
        pool_blocks().insert(*out);
    return ret;
}

inline int pool_free(MOME_MEM_T *mem, void *pool, void *block) noexcept {
    pool_blocks().erase(block);
    return moux_mem_free(mem, pool, block);
}

inline int pool_store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    size_t len = strlen(source);
    void *block = nullptr;
    int ret = mem->malloc(mem, pool, &block, len + 1);
    if (ret != 0) {
        *location = nullptr;
        return ret;
    }
    memcpy(block, source, len + 1);
    *location = static_cast<char *>(block);
    return 0;
}

inline int pool_restore_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    char *copy = nullptr;
    int ret = pool_store_string(mem, pool, &copy, source);
    if (*location != nullptr)
        mem->free(mem, pool, *location);
    *location = copy;
    return ret;
}

// Routes the memory service through the tracked pool.
inline void use_pool(MOME_MEM_T *mem) {
    mem->malloc = pool_malloc;
    mem->free = pool_free;
    mem->store_string = pool_store_string;
    mem->restore_string = pool_restore_string;
}

// Gives back every block still held, like clearing the pool.
inline void clear_pool() {
    for (void *block : pool_blocks())
        moux_mem_free(nullptr, nullptr, block);
    pool_blocks().clear();
}

} // namespace mot_test
