// POSIX signal service. One set of state per process: the record the fatal-signal handler runs the
// cleanup lists of, the set of handled signals, and the mask saved by the outermost protected section.
#include "platform/moux_unix_signal.h"
#include "platform/moe_error_cmn.h"
#include "entry/mol_low.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

const MOUX_SIGNAL_T moux_signal_table[MOUX_SIGNAL_COUNT] = {
    {1, SIGHUP, "Hangup"},
    {2, SIGINT, "Interrupt"},
    {3, SIGPIPE, "Broken pipe"},
    {4, SIGQUIT, "Quit"},
    {5, SIGTERM, "Terminated"},
    {6, SIGXCPU, "Cputime limit exceeded"},
    {7, SIGXFSZ, "Filesize limit exceeded"},
    {8, SIGCHLD, "Child Process exited"},
};

const MOS_SIGNAL_T moux_signal_slots = {
    .low = nullptr,
    .session_cleanup_ref = {},
    .req_always_cleanup_ref = {},
    .req_fatal_cleanup_ref = {},
    .init = moux_signal_init,
    .set = moux_signal_set,
    .reset_defaults = moux_signal_reset_defaults,
    .begin_protection = moux_signal_begin_protection,
    .end_protection = moux_signal_end_protection,
    .reset_protection = moux_signal_reset_protection,
    .add_cleanup = moux_signal_add_cleanup,
    .del_cleanup = moux_signal_del_cleanup,
    .run_cleanup = moux_signal_run_cleanup,
};

static MOS_SIGNAL_T *moux_signal_rec = nullptr; // record whose lists the fatal handler runs
static sigset_t moux_all_signals;               // the eight handled signals
static sigset_t moux_saved_mask;                // mask before the outermost protected section
static volatile sig_atomic_t local_block_count = 0;

static const MOUX_SIGNAL_T *find_by_id(int sig_id) noexcept {
    for (const MOUX_SIGNAL_T &row : moux_signal_table)
        if (row.sig_id == sig_id)
            return &row;
    return nullptr;
}

int moux_signal_number(int sig_id) noexcept {
    const MOUX_SIGNAL_T *row = find_by_id(sig_id);
    return row != nullptr ? row->signum : -1;
}

int moux_signal_protection_depth() noexcept {
    return local_block_count;
}

static void build_all_signals() noexcept {
    sigemptyset(&moux_all_signals);
    for (const MOUX_SIGNAL_T &row : moux_signal_table)
        sigaddset(&moux_all_signals, row.signum);
}

static int install(MOS_SIGNAL_T *signal, int signum, mos_signal_handler_t handler) noexcept {
    struct sigaction act;
    memset(&act, 0, sizeof(act));
    sigemptyset(&act.sa_mask);
    act.sa_flags = SA_RESTART;
    if (handler == mos_signal_ignore)
        act.sa_handler = SIG_IGN;
    else if (handler == mos_signal_default)
        act.sa_handler = SIG_DFL;
    else
        act.sa_handler = handler;
    if (sigaction(signum, &act, nullptr) != 0) {
        MOE_ERROR_T *error = signal->low->error;
        error->report(error, "Error in setting signal action: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

int moux_signal_init(MOS_SIGNAL_T *signal) noexcept {
    moux_signal_rec = signal;
    local_block_count = 0;
    sigemptyset(&moux_all_signals);
    // The whole set first: a handler that runs the lists as soon as it is installed must be able to
    // hold back every handled signal.
    for (const MOUX_SIGNAL_T &row : moux_signal_table) {
        if (sigaddset(&moux_all_signals, row.signum) != 0) {
            MOE_ERROR_T *error = signal->low->error;
            error->report(error, "Error in setting signal mask: %s\n", strerror(errno));
            return 1;
        }
    }
    for (const MOUX_SIGNAL_T &row : moux_signal_table) {
        int ret = install(signal, row.signum, moux_signal_fatal_handler);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int moux_signal_set(MOS_SIGNAL_T *signal, int sig_id, mos_signal_handler_t handler) noexcept {
    const MOUX_SIGNAL_T *row = find_by_id(sig_id);
    if (row == nullptr) {
        MOE_ERROR_T *error = signal->low->error;
        error->report(error, "No mapping for sig_id %d in moux_signal_set\n", sig_id);
        return 1;
    }
    return install(signal, row->signum, handler);
}

int moux_signal_reset_defaults(MOS_SIGNAL_T *signal) noexcept {
    for (const MOUX_SIGNAL_T &row : moux_signal_table) {
        int ret = install(signal, row.signum, mos_signal_default);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int moux_signal_begin_protection(MOS_SIGNAL_T *signal) noexcept {
    if (local_block_count == 0) {
        // The set is rebuilt here too, so sections work even before init ran.
        build_all_signals();
        if (sigprocmask(SIG_BLOCK, &moux_all_signals, &moux_saved_mask) != 0) {
            MOE_ERROR_T *error = signal->low->error;
            error->report(error, "Error in blocking signal: %s\n", strerror(errno));
            return 1;
        }
    }
    local_block_count = local_block_count + 1;
    return 0;
}

static int restore_mask(MOS_SIGNAL_T *signal) noexcept {
    if (sigprocmask(SIG_SETMASK, &moux_saved_mask, nullptr) != 0) {
        MOE_ERROR_T *error = signal->low->error;
        error->report(error, "Error in unblocking signal: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

int moux_signal_end_protection(MOS_SIGNAL_T *signal) noexcept {
    // An unmatched end must not restore a mask saved by some earlier section.
    if (local_block_count <= 0) {
        local_block_count = 0;
        return 0;
    }
    local_block_count = local_block_count - 1;
    if (local_block_count > 0)
        return 0;
    return restore_mask(signal);
}

int moux_signal_reset_protection(MOS_SIGNAL_T *signal) noexcept {
    int ret = 0;
    if (local_block_count > 0)
        ret = restore_mask(signal);
    local_block_count = 0;
    return ret;
}

int moux_signal_add_cleanup(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding, void *pool,
                            int (*fn)(void *ref) noexcept, void *ref) noexcept {
    signal->begin_protection(signal);
    binding->pool_ref = pool;
    binding->fn = fn;
    binding->ref = ref;
    signal->end_protection(signal);
    return 0;
}

int moux_signal_del_cleanup(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding) noexcept {
    signal->begin_protection(signal);
    binding->fn = nullptr;
    signal->end_protection(signal);
    return 0;
}

int moux_signal_run_cleanup(MOS_SIGNAL_T *signal) noexcept {
    MOS_CLEANUP_REF_T *order[] = {&signal->req_fatal_cleanup_ref, &signal->req_always_cleanup_ref,
                                  &signal->session_cleanup_ref};
    for (MOS_CLEANUP_REF_T *binding : order)
        if (binding->fn != nullptr)
            binding->fn(binding->ref);
    return 0;
}

void moux_signal_fatal_handler(int signum) noexcept {
    MOS_SIGNAL_T *signal = moux_signal_rec;
    if (signal != nullptr) {
        MOE_ERROR_T *error = signal->low->error;
        const char *name = nullptr;
        for (const MOUX_SIGNAL_T &row : moux_signal_table)
            if (row.signum == signum)
                name = row.name;
        if (name != nullptr)
            error->report_note(error, "%s. Cleaning up.\n", name);
        else
            error->report_note(error, "Signal %d. Cleaning up.\n", signum);
        signal->run_cleanup(signal);
    }
    // Keep what the command already printed, but skip the exit handlers: the interrupted code may be
    // half-way through something they would touch.
    fflush(stdout);
    fflush(stderr);
    _exit(2);
}

void moux_signal_child_reset() noexcept {
    struct sigaction act;
    memset(&act, 0, sizeof(act));
    sigemptyset(&act.sa_mask);
    act.sa_handler = SIG_DFL;
    for (const MOUX_SIGNAL_T &row : moux_signal_table)
        sigaction(row.signum, &act, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    local_block_count = 0;
}
