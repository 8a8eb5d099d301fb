// POSIX signal service: the table of handled signals, the fatal-signal handler and protected
// sections built on the process signal mask.
#pragma once
#include "platform/mos_signal_cmn.h"

struct MOUX_SIGNAL_T {
    int sig_id;       // the id callers use
    int signum;       // the platform's signal number
    const char *name; // shown in "%s. Cleaning up."
};
typedef struct MOUX_SIGNAL_T moux_signal_t;

#define MOUX_SIGNAL_COUNT 8

int moux_signal_init(MOS_SIGNAL_T *signal) noexcept;
int moux_signal_set(MOS_SIGNAL_T *signal, int sig_id, mos_signal_handler_t handler) noexcept;
int moux_signal_reset_defaults(MOS_SIGNAL_T *signal) noexcept;
int moux_signal_begin_protection(MOS_SIGNAL_T *signal) noexcept;
int moux_signal_end_protection(MOS_SIGNAL_T *signal) noexcept;
int moux_signal_reset_protection(MOS_SIGNAL_T *signal) noexcept;
int moux_signal_add_cleanup(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding, void *pool,
                            int (*fn)(void *ref) noexcept, void *ref) noexcept;
int moux_signal_del_cleanup(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding) noexcept;
int moux_signal_run_cleanup(MOS_SIGNAL_T *signal) noexcept;

// The handler installed by init for every handled signal: note, run the bound lists, exit 2.
void moux_signal_fatal_handler(int signum) noexcept;

// The platform number of a signal id, or -1 when the id is not handled.
int moux_signal_number(int sig_id) noexcept;

// Current depth of protected sections (0 outside any).
int moux_signal_protection_depth() noexcept;

// For a freshly forked child about to execute a program: default action for every handled signal
// and an empty signal mask, so the program can be stopped. Async-signal-safe, reports nothing.
void moux_signal_child_reset() noexcept;

extern const MOUX_SIGNAL_T moux_signal_table[MOUX_SIGNAL_COUNT];
extern const MOS_SIGNAL_T moux_signal_slots;
