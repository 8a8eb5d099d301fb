// The test pool: tracked blocks and an allocation that fails on demand.
#include "support/pool.h"

#include "entry/molt_lowest.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/moux_unix_mem.h"

#include <cstdlib>
#include <cstring>
#include <map>

namespace mot_test {
inline namespace support {

namespace {
std::map<MOME_MEM_T *, Pool *> &pools() {
    static std::map<MOME_MEM_T *, Pool *> map;
    return map;
}
Pool *unattached_pool = nullptr;
} // namespace

struct PoolAccess {
    static Pool *of(MOME_MEM_T *mem) noexcept {
        auto it = pools().find(mem);
        return it != pools().end() ? it->second : unattached_pool;
    }

    static int malloc(MOME_MEM_T *mem, void *, void **out, size_t size) noexcept {
        Pool *pool = of(mem);
        *out = nullptr;
        if (pool != nullptr && pool->fails(pool->count_++)) {
            pool->failed_ = true;
            if (mem->lowest != nullptr && mem->lowest->error != nullptr)
                mem->lowest->error->report(mem->lowest->error, "Out of memory\n");
            return 1;
        }
        return moux_mem_malloc(mem, nullptr, out, size) != 0 ? 1 : remember(pool, *out);
    }

    static int remember(Pool *pool, void *block) noexcept {
        if (pool == nullptr)
            return 0;
        try {
            pool->blocks_.insert(block);
        } catch (...) {
            abort(); // the test itself ran out of memory
        }
        return 0;
    }

    static int free(MOME_MEM_T *mem, void *, void *block) noexcept {
        if (block == nullptr)
            return 0;
        if (Pool *pool = of(mem))
            pool->blocks_.erase(block);
        ::free(block);
        return 0;
    }

    static int store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
        size_t len = strlen(source);
        void *block = nullptr;
        if (malloc(mem, pool, &block, len + 1) != 0) {
            *location = nullptr;
            return 1;
        }
        memcpy(block, source, len + 1);
        *location = static_cast<char *>(block);
        return 0;
    }

    static int restore_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
        // Copy first: the source may be the very text being replaced.
        char *copy = nullptr;
        int ret = store_string(mem, pool, &copy, source);
        if (*location != nullptr)
            free(mem, pool, *location);
        *location = copy;
        return ret;
    }
};

const MOME_MEM_T &Pool::slots() noexcept {
    static const MOME_MEM_T s = [] {
        MOME_MEM_T m = moux_mem_slots;
        m.malloc = PoolAccess::malloc;
        m.free = PoolAccess::free;
        m.store_string = PoolAccess::store_string;
        m.restore_string = PoolAccess::restore_string;
        return m;
    }();
    return s;
}

void Pool::attach(MOME_MEM_T *mem) noexcept {
    if (attached_ != nullptr)
        pools().erase(attached_);
    attached_ = mem;
    pools()[mem] = this;
    mem->malloc = PoolAccess::malloc;
    mem->free = PoolAccess::free;
    mem->store_string = PoolAccess::store_string;
    mem->restore_string = PoolAccess::restore_string;
}

void Pool::serve_unattached() noexcept {
    unattached_pool = this;
}

void Pool::fail_after(int n) noexcept {
    fail_at_ = n;
    fail_rest_ = false;
    count_ = 0;
    failed_ = false;
}

void Pool::fail_from(int n) noexcept {
    fail_after(n);
    fail_rest_ = true;
}

void Pool::clear() noexcept {
    for (void *block : blocks_)
        ::free(block);
    blocks_.clear();
}

Pool::~Pool() {
    clear();
    if (attached_ != nullptr)
        pools().erase(attached_);
    if (unattached_pool == this)
        unattached_pool = nullptr;
}

} // namespace support
} // namespace mot_test
