// The platform services as hosted by the web server: memory from APR pools, cleanup lists bound to
// pool destruction, protected sections that hold back the signals which stop a server process, and
// files whose close is registered with the pool that opened them. Everything else is the POSIX
// construction.
#pragma once
#include "mo_std.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mos_signal_cmn.h"

// A single block at least this large is refused with "Out of memory\n": APR would abort the server
// process instead of failing.
#define MOAC_MAX_BLOCK (static_cast<size_t>(1) << 32)

// Builds the bundle with `session_pool` (an apr_pool_t) as the session pool. 0, or the first failing
// status after "Error: unix contruction failed, possibly due to lack of memory\n" on standard error.
int moac_apache_construct(MOX_AUX_T **aux, void *session_pool) noexcept;

// Memory.
int moac_mem_malloc(MOME_MEM_T *mem, void *pool, void **out, size_t size) noexcept;
int moac_mem_create_sub_pool(MOME_MEM_T *mem, void *pool, void **sub_pool) noexcept;
int moac_mem_destory_sub_pool(MOME_MEM_T *mem, void *pool) noexcept;
int moac_mem_clear_sub_pool(MOME_MEM_T *mem, void *pool) noexcept;
int moac_mem_free(MOME_MEM_T *mem, void *pool, void *block) noexcept;
int moac_mem_store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept;
int moac_mem_restore_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept;
int moac_mem_report_num_bytes(MOME_MEM_T *mem, void *pool) noexcept;

// Signals.
int moac_signal_init(MOS_SIGNAL_T *signal) noexcept;
int moac_signal_set(MOS_SIGNAL_T *signal, int sig_id, mos_signal_handler_t handler) noexcept;
int moac_signal_reset_defaults(MOS_SIGNAL_T *signal) noexcept;
int moac_signal_begin_protection(MOS_SIGNAL_T *signal) noexcept;
int moac_signal_end_protection(MOS_SIGNAL_T *signal) noexcept;
int moac_signal_reset_protection(MOS_SIGNAL_T *signal) noexcept;
int moac_signal_add_cleanup(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding, void *pool,
                            int (*fn)(void *ref) noexcept, void *ref) noexcept;
int moac_signal_del_cleanup(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding) noexcept;
int moac_signal_run_cleanup(MOS_SIGNAL_T *signal) noexcept;

// Runs a cleanup list (a MOCL_CLEANUP_T) to its end even when an action fails, and empties it: a
// server process goes on serving requests, so nothing may be left behind. Suits the signal service's
// bindings. Returns 0; a failing action has reported itself.
int moac_cleanup_run_all(void *cleanup) noexcept;

// Depth of nested protected sections of this process (0 outside any).
int moac_signal_protection_depth() noexcept;

// Files.
int moac_file_open_file(MOF_FILE_T *file, const char *filename, void **file_ref, int mode) noexcept;
int moac_file_close_file(MOF_FILE_T *file, const char *filename, void *file_ref) noexcept;

// Streams currently owned by a pool (opened there and not yet closed).
int moac_file_pool_owned_count() noexcept;

extern const MOME_MEM_T moac_mem_slots;
extern const MOS_SIGNAL_T moac_signal_slots;
