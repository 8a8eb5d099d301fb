// The run list: named actions with two references each, run newest first.
#pragma once
#include "mo_std.h"

typedef int (*morl_action_t)(const char *name, void *ref1, void *ref2) noexcept;
typedef int (*morl_callout_t)(void *callout_ref, const char *name, void *ref1, void *ref2) noexcept;

struct MORL_RUNLIST_ELE_T {
    char *name;               // own copy of the name, in the list's pool
    morl_action_t fn;         // the action
    void *ref1;               // first reference handed to fn
    void *ref2;               // second reference handed to fn
    MORL_RUNLIST_ELE_T *next; // next (older) entry
};
typedef struct MORL_RUNLIST_ELE_T morl_runlist_ele_t;

struct MORL_RUNLIST_T {
    MOME_MEM_T *mem;          // memory service
    void *pool_ref;           // pool of the entries
    MORL_RUNLIST_ELE_T *list; // first (newest) entry

    int (*reset)(MORL_RUNLIST_T *runlist) noexcept;
    int (*add)(MORL_RUNLIST_T *runlist, const char *name, morl_action_t fn, void *ref1, void *ref2) noexcept;
    int (*del)(MORL_RUNLIST_T *runlist, const char *name) noexcept;
    int (*run)(MORL_RUNLIST_T *runlist, morl_callout_t callout, void *callout_ref,
               mo_boolean_t ignore_results) noexcept;
};
typedef struct MORL_RUNLIST_T morl_runlist_t;

int morl_runlist_new(MORL_RUNLIST_T **runlist, void *pool, MOME_MEM_T *mem) noexcept;
