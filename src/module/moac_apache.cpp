// Platform services inside the web server. A server process lives for many requests, so memory is
// taken from APR pools and returns with them; cleanup lists and open files are tied to pool
// destruction, which also happens from the server's SIGTERM and SIGHUP handlers when a process is
// stopped mid-request. Protected sections therefore hold those two signals back.
#include "module/moac_apache.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/moux_unix.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_mem.h"

#include <apr_pools.h>
#include <apr_strings.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

const MOME_MEM_T moac_mem_slots = {
    .lowest = nullptr,
    .session_pool_ref = nullptr,
    .req_pool_ref = nullptr,
    .init = moux_mem_init,
    .malloc = moac_mem_malloc,
    .create_sub_pool = moac_mem_create_sub_pool,
    .destroy_sub_pool = moac_mem_destory_sub_pool,
    .clear_sub_pool = moac_mem_clear_sub_pool,
    .free = moac_mem_free,
    .store_string = moac_mem_store_string,
    .restore_string = moac_mem_restore_string,
    .report_num_bytes = moac_mem_report_num_bytes,
};

const MOS_SIGNAL_T moac_signal_slots = {
    .init = moac_signal_init,
    .set = moac_signal_set,
    .reset_defaults = moac_signal_reset_defaults,
    .begin_protection = moac_signal_begin_protection,
    .end_protection = moac_signal_end_protection,
    .reset_protection = moac_signal_reset_protection,
    .add_cleanup = moac_signal_add_cleanup,
    .del_cleanup = moac_signal_del_cleanup,
    .run_cleanup = moac_signal_run_cleanup,
};

int moac_apache_construct(MOX_AUX_T **aux, void *session_pool) noexcept {
    // Built here rather than as constants: the file slots are the POSIX ones with two replaced.
    static MOF_FILE_T file_slots = [] {
        MOF_FILE_T slots = moux_file_slots;
        slots.open_file = moac_file_open_file;
        slots.close_file = moac_file_close_file;
        return slots;
    }();
    MOUX_UNIX_SLOTS_T slots = moux_unix_default_slots;
    slots.mem = &moac_mem_slots;
    slots.signal = &moac_signal_slots;
    slots.file = &file_slots;
    return moux_unix_construct_with(aux, session_pool, &slots);
}

// ---- memory

static MOE_ERROR_T *error_of(MOME_MEM_T *mem) noexcept {
    return mem->lowest != nullptr ? mem->lowest->error : nullptr;
}

static int out_of_memory(MOME_MEM_T *mem) noexcept {
    MOE_ERROR_T *error = error_of(mem);
    if (error != nullptr)
        error->report(error, "Out of memory\n");
    return 1;
}

// A NULL pool names the process heap on the command line; here it means the session pool, the one
// that lives as long as the process.
static apr_pool_t *pool_of(MOME_MEM_T *mem, void *pool) noexcept {
    return static_cast<apr_pool_t *>(pool != nullptr ? pool : mem->session_pool_ref);
}

int moac_mem_malloc(MOME_MEM_T *mem, void *pool, void **out, size_t size) noexcept {
    *out = nullptr;
    apr_pool_t *p = pool_of(mem, pool);
    if (p == nullptr || size >= MOAC_MAX_BLOCK)
        return out_of_memory(mem);
    // A zero-byte request still yields a block of its own.
    *out = apr_palloc(p, size == 0 ? 1 : size);
    if (*out == nullptr)
        return out_of_memory(mem);
    return 0;
}

int moac_mem_create_sub_pool(MOME_MEM_T *mem, void *pool, void **sub_pool) noexcept {
    apr_pool_t *sub = nullptr;
    if (apr_pool_create(&sub, pool_of(mem, pool)) != APR_SUCCESS) {
        *sub_pool = nullptr;
        return out_of_memory(mem);
    }
    *sub_pool = sub;
    return 0;
}

int moac_mem_destory_sub_pool(MOME_MEM_T *mem, void *pool) noexcept {
    // The session pool belongs to the server: it is never destroyed from here.
    if (pool != nullptr && pool != mem->session_pool_ref)
        apr_pool_destroy(static_cast<apr_pool_t *>(pool));
    return 0;
}

int moac_mem_clear_sub_pool(MOME_MEM_T *mem, void *pool) noexcept {
    if (pool != nullptr && pool != mem->session_pool_ref)
        apr_pool_clear(static_cast<apr_pool_t *>(pool));
    return 0;
}

int moac_mem_free(MOME_MEM_T *, void *, void *) noexcept {
    return 0; // the block returns with its pool
}

int moac_mem_store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    if (source == nullptr)
        source = "";
    size_t len = strlen(source);
    void *block = nullptr;
    if (moac_mem_malloc(mem, pool, &block, len + 1) != 0) {
        *location = nullptr;
        return 1;
    }
    memcpy(block, source, len + 1);
    *location = static_cast<char *>(block);
    return 0;
}

int moac_mem_restore_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    // The old copy stays in its pool until the pool ends; the source may be that very copy.
    int ret = mem->free(mem, pool, *location);
    if (ret != 0)
        return ret;
    return moac_mem_store_string(mem, pool, location, source);
}

int moac_mem_report_num_bytes(MOME_MEM_T *mem, void *pool) noexcept {
    // Debian's APR counts pool bytes only in debug builds.
    MOE_ERROR_T *error = error_of(mem);
    if (error != nullptr)
        error->report_debug(error, "pool %p bytes %ld\n", pool, 0L);
    return 0;
}

// ---- signals

// The signals with which the server stops or restarts a process; their handlers destroy the pools.
static volatile sig_atomic_t local_block_count = 0;
static sigset_t moac_saved_mask;

static void block_stop_signals() noexcept {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, &moac_saved_mask);
}

static void restore_signals() noexcept {
    sigprocmask(SIG_SETMASK, &moac_saved_mask, nullptr);
}

// The same sections without a signal record, for the file registry below.
static void protect() noexcept {
    if (local_block_count == 0)
        block_stop_signals();
    local_block_count = local_block_count + 1;
}

static void unprotect() noexcept {
    // An unmatched end must not restore a mask saved by some earlier section.
    if (local_block_count <= 0) {
        local_block_count = 0;
        return;
    }
    local_block_count = local_block_count - 1;
    if (local_block_count == 0)
        restore_signals();
}

int moac_signal_protection_depth() noexcept {
    return local_block_count;
}

int moac_signal_init(MOS_SIGNAL_T *) noexcept {
    if (local_block_count > 0)
        restore_signals();
    local_block_count = 0;
    return 0;
}

int moac_signal_set(MOS_SIGNAL_T *, int, mos_signal_handler_t) noexcept {
    return 0; // the server owns the process's signal handlers
}

int moac_signal_reset_defaults(MOS_SIGNAL_T *) noexcept {
    fputs("This function moac_signal_reset_defaults shouldn't be called\n", stderr);
    fflush(stderr);
    return 0;
}

int moac_signal_begin_protection(MOS_SIGNAL_T *) noexcept {
    protect();
    return 0;
}

int moac_signal_end_protection(MOS_SIGNAL_T *) noexcept {
    unprotect();
    return 0;
}

int moac_signal_reset_protection(MOS_SIGNAL_T *signal) noexcept {
    int count = local_block_count;
    if (count < 0) {
        MOE_ERROR_T *error = signal->low->error;
        error->report(error, "In moac_signal_reset_protection and local_block_count is less than 0 (%d)\n",
                      count);
    } else if (count > 0) {
        restore_signals();
    }
    local_block_count = 0;
    return 0;
}

// Runs a binding when its pool is cleared or destroyed. The binding is marked unbound first, so a
// later registration never reaches into a pool that is gone.
static apr_status_t moac_cleanup_exec(void *data) {
    MOS_CLEANUP_REF_T *binding = static_cast<MOS_CLEANUP_REF_T *>(data);
    int (*fn)(void *ref) noexcept = binding->fn;
    binding->fn = nullptr;
    if (fn != nullptr)
        fn(binding->ref);
    return APR_SUCCESS;
}

static void unbind(MOS_CLEANUP_REF_T *binding) noexcept {
    if (binding->fn != nullptr && binding->pool_ref != nullptr)
        apr_pool_cleanup_kill(static_cast<apr_pool_t *>(binding->pool_ref), binding, moac_cleanup_exec);
    binding->fn = nullptr;
}

int moac_signal_add_cleanup(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding, void *pool,
                            int (*fn)(void *ref) noexcept, void *ref) noexcept {
    MOME_MEM_T *mem = signal->low->mem;
    apr_pool_t *p = pool_of(mem, pool);
    protect();
    // A binding still registered elsewhere is moved, never registered twice.
    unbind(binding);
    binding->pool_ref = p;
    binding->fn = fn;
    binding->ref = ref;
    if (p != nullptr && fn != nullptr)
        apr_pool_cleanup_register(p, binding, moac_cleanup_exec, apr_pool_cleanup_null);
    unprotect();
    return 0;
}

int moac_signal_del_cleanup(MOS_SIGNAL_T *, MOS_CLEANUP_REF_T *binding) noexcept {
    protect();
    unbind(binding);
    unprotect();
    return 0;
}

int moac_signal_run_cleanup(MOS_SIGNAL_T *signal) noexcept {
    MOE_ERROR_T *error = signal->low->error;
    error->report(error, "moux_signal_run_cleanup is not used\n");
    return 0;
}

int moac_cleanup_run_all(void *ref) noexcept {
    MOCL_CLEANUP_T *cleanup = static_cast<MOCL_CLEANUP_T *>(ref);
    MOS_SIGNAL_T *signal = cleanup->signal;
    signal->begin_protection(signal);
    if (cleanup->do_print) {
        MOE_ERROR_T *error = signal->low->error;
        error->report_note(error, "Cleaning up %s\n", cleanup->name);
    }
    cleanup->runlist->run(cleanup->runlist, nullptr, nullptr, TRUE);
    cleanup->runlist->reset(cleanup->runlist);
    signal->end_protection(signal);
    return 0;
}

// ---- files

namespace {

// Every stream opened in a pool, with that pool: a close must withdraw the cleanup from the pool the
// stream was opened in, which need not be the file service's pool of the moment.
std::vector<std::pair<FILE *, apr_pool_t *>> pool_files;

void forget(FILE *fp) noexcept {
    for (size_t i = 0; i < pool_files.size(); i++) {
        if (pool_files[i].first == fp) {
            pool_files[i] = pool_files.back();
            pool_files.pop_back();
            return;
        }
    }
}

apr_pool_t *owner_of(FILE *fp) noexcept {
    for (const auto &entry : pool_files)
        if (entry.first == fp)
            return entry.second;
    return nullptr;
}

// The pool ended with the stream still open.
apr_status_t close_with_pool(void *data) {
    FILE *fp = static_cast<FILE *>(data);
    protect();
    forget(fp);
    fclose(fp);
    unprotect();
    return APR_SUCCESS;
}

} // namespace

int moac_file_pool_owned_count() noexcept {
    return static_cast<int>(pool_files.size());
}

static MOE_ERROR_T *error_of(MOF_FILE_T *file) noexcept {
    return file->low->error;
}

int moac_file_open_file(MOF_FILE_T *file, const char *filename, void **file_ref, int mode) noexcept {
    // "e": data files are not inherited by the programs a request starts.
    const char *how = nullptr;
    switch (mode) {
        case MOF_MODE_WRITE:
            how = "wbe";
            break;
        case MOF_MODE_READ:
            how = "rbe";
            break;
        case MOF_MODE_APPEND:
            how = "abe";
            break;
        case MOF_MODE_CREATE:
            how = "wbxe";
            break;
        default:
            *file_ref = nullptr;
            error_of(file)->report(error_of(file), "Can't understand mode %d in moux_file_open_file\n", mode);
            return 1;
    }
    errno = 0;
    apr_pool_t *pool = static_cast<apr_pool_t *>(file->pool_ref);
    *file_ref = nullptr;
    protect();
    FILE *fp = fopen(filename, how);
    int err = errno;
    if (fp == nullptr) {
        unprotect();
        error_of(file)->report(error_of(file), "Open of file %s: %s\n", filename, strerror(err));
        return 1;
    }
    if (pool != nullptr) {
        try {
            pool_files.emplace_back(fp, pool);
        } catch (const std::bad_alloc &) {
            fclose(fp);
            unprotect();
            error_of(file)->report(error_of(file), "Out of memory\n");
            return 1;
        }
        apr_pool_cleanup_register(pool, fp, close_with_pool, apr_pool_cleanup_null);
    }
    unprotect();
    *file_ref = fp;
    return 0;
}

int moac_file_close_file(MOF_FILE_T *file, const char *filename, void *file_ref) noexcept {
    errno = 0;
    if (file_ref == nullptr) {
        error_of(file)->report(error_of(file), "Null file pointer in moux_file_close_file for file %s\n",
                               filename);
        return 1;
    }
    FILE *fp = static_cast<FILE *>(file_ref);
    protect();
    apr_pool_t *owner = owner_of(fp);
    if (owner != nullptr) {
        apr_pool_cleanup_kill(owner, fp, close_with_pool);
        forget(fp);
    }
    int ret = fclose(fp);
    int err = errno;
    unprotect();
    if (ret != 0) {
        error_of(file)->report(error_of(file), "Close of file %s: %s\n", filename, strerror(err));
        return 1;
    }
    return 0;
}
