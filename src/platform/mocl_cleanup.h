// Named cleanup lists ("Request-Always", "Request-Fatal") that the fatal-signal handler can run.
#pragma once
#include "mo_std.h"
#include "platform/morl_runlist.h"

struct MOCL_CLEANUP_T {
    MORL_RUNLIST_T *runlist; // its run list
    MOS_SIGNAL_T *signal;    // the signal service (protected sections)
    const char *name;        // list name, by reference
    mo_boolean_t do_print;   // notes while running; TRUE at creation

    int (*add)(MOCL_CLEANUP_T *cleanup, const char *name, morl_action_t fn, void *ref1, void *ref2) noexcept;
    int (*del)(MOCL_CLEANUP_T *cleanup, const char *name) noexcept;
    int (*run)(MOCL_CLEANUP_T *cleanup) noexcept;
    int (*stop_print)(MOCL_CLEANUP_T *cleanup) noexcept;
};

int mocl_cleanup_new(MOCL_CLEANUP_T **cleanup, void *pool, MOME_MEM_T *mem, MOS_SIGNAL_T *signal,
                     const char *name) noexcept;

// Runs a cleanup list given as an untyped reference; suits the signal service's bindings.
int mocl_cleanup_run_ref(void *cleanup) noexcept;
