// POSIX memory service. Pools are nominal: every block comes from the heap and lives until the
// process (which serves one request) ends, unless its owner frees it.
#include "platform/moux_unix_mem.h"
#include "platform/moe_error_cmn.h"
#include "entry/molt_lowest.h"

#include <cstdlib>

const MOME_MEM_T moux_mem_slots = {
    .lowest = nullptr,
    .session_pool_ref = nullptr,
    .req_pool_ref = nullptr,
    .init = moux_mem_init,
    .malloc = moux_mem_malloc,
    .create_sub_pool = moux_mem_create_sub_pool,
    .destroy_sub_pool = moux_mem_destory_sub_pool,
    .clear_sub_pool = moux_mem_clear_sub_pool,
    .free = moux_mem_free,
    .store_string = moux_mem_store_string,
    .restore_string = moux_mem_restore_string,
    .report_num_bytes = moux_mem_report_num_bytes,
};

int moux_mem_init(MOME_MEM_T *mem, void *session_pool, void *req_pool) noexcept {
    if (session_pool != nullptr)
        mem->session_pool_ref = session_pool;
    if (req_pool != nullptr)
        mem->req_pool_ref = req_pool;
    return 0;
}

static int out_of_memory(MOME_MEM_T *mem) noexcept {
    if (mem->lowest != nullptr && mem->lowest->error != nullptr)
        mem->lowest->error->report(mem->lowest->error, "Out of memory\n");
    return 1;
}

int moux_mem_malloc(MOME_MEM_T *mem, void *, void **out, size_t size) noexcept {
    // A zero-byte request still yields a distinct block, so callers never see NULL on success.
    *out = ::malloc(size == 0 ? 1 : size);
    if (*out == nullptr)
        return out_of_memory(mem);
    return 0;
}

int moux_mem_create_sub_pool(MOME_MEM_T *, void *, void **) noexcept {
    return 0;
}
int moux_mem_destory_sub_pool(MOME_MEM_T *, void *) noexcept {
    return 0;
}
int moux_mem_clear_sub_pool(MOME_MEM_T *, void *) noexcept {
    return 0;
}

int moux_mem_free(MOME_MEM_T *, void *, void *block) noexcept {
    ::free(block);
    return 0;
}

int moux_mem_store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    size_t len = strlen(source);
    void *block = nullptr;
    if (moux_mem_malloc(mem, pool, &block, len + 1) != 0) {
        *location = nullptr;
        return 1;
    }
    memcpy(block, source, len + 1);
    *location = static_cast<char *>(block);
    return 0;
}

int moux_mem_restore_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    // Copy first: the source may be the very text being replaced.
    char *copy = nullptr;
    int ret = moux_mem_store_string(mem, pool, &copy, source);
    if (*location != nullptr)
        ::free(*location);
    *location = copy;
    return ret;
}

int moux_mem_report_num_bytes(MOME_MEM_T *, void *) noexcept {
    return 0;
}
