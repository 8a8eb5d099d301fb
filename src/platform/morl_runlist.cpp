// The run list: named actions kept newest first, each with two references, run in one pass.
#include "platform/morl_runlist.h"
#include "platform/mome_mem_cmn.h"

#include <cstring>

static int morl_runlist_reset(MORL_RUNLIST_T *runlist) noexcept;
static int morl_runlist_add(MORL_RUNLIST_T *runlist, const char *name, morl_action_t fn, void *ref1,
                            void *ref2) noexcept;
static int morl_runlist_del(MORL_RUNLIST_T *runlist, const char *name) noexcept;
static int morl_runlist_run(MORL_RUNLIST_T *runlist, morl_callout_t callout, void *callout_ref,
                            mo_boolean_t ignore_results) noexcept;

int morl_runlist_new(MORL_RUNLIST_T **runlist, void *pool, MOME_MEM_T *mem) noexcept {
    int ret = mome_new(mem, pool, runlist);
    if (ret != 0)
        return ret;
    MORL_RUNLIST_T *r = *runlist;
    r->mem = mem;
    r->pool_ref = pool;
    r->list = nullptr;
    r->reset = morl_runlist_reset;
    r->add = morl_runlist_add;
    r->del = morl_runlist_del;
    r->run = morl_runlist_run;
    return 0;
}

// Entries are not freed: they live in the pool.
static int morl_runlist_reset(MORL_RUNLIST_T *runlist) noexcept {
    runlist->list = nullptr;
    return 0;
}

static int morl_runlist_add(MORL_RUNLIST_T *runlist, const char *name, morl_action_t fn, void *ref1,
                            void *ref2) noexcept {
    MORL_RUNLIST_ELE_T *ele = nullptr;
    int ret = mome_new(runlist->mem, runlist->pool_ref, &ele);
    if (ret != 0)
        return ret;
    ret = runlist->mem->store_string(runlist->mem, runlist->pool_ref, &ele->name, name);
    if (ret != 0) {
        runlist->mem->free(runlist->mem, runlist->pool_ref, ele);
        return ret;
    }
    ele->fn = fn;
    ele->ref1 = ref1;
    ele->ref2 = ref2;
    ele->next = runlist->list;
    runlist->list = ele;
    return 0;
}

static int morl_runlist_del(MORL_RUNLIST_T *runlist, const char *name) noexcept {
    MORL_RUNLIST_ELE_T **link = &runlist->list;
    while (*link != nullptr && strcmp((*link)->name, name) != 0)
        link = &(*link)->next;
    MORL_RUNLIST_ELE_T *ele = *link;
    if (ele == nullptr)
        return 0;
    *link = ele->next;
    runlist->mem->free(runlist->mem, runlist->pool_ref, ele->name);
    runlist->mem->free(runlist->mem, runlist->pool_ref, ele);
    return 0;
}

static int morl_runlist_run(MORL_RUNLIST_T *runlist, morl_callout_t callout, void *callout_ref,
                            mo_boolean_t ignore_results) noexcept {
    MORL_RUNLIST_ELE_T *ele = runlist->list;
    while (ele != nullptr) {
        // Taken first: an action may delete its own entry.
        MORL_RUNLIST_ELE_T *next = ele->next;
        if (callout != nullptr)
            callout(callout_ref, ele->name, ele->ref1, ele->ref2);
        int ret = ele->fn != nullptr ? ele->fn(ele->name, ele->ref1, ele->ref2) : 0;
        if (ret != 0 && !ignore_results)
            return ret;
        ele = next;
    }
    return 0;
}
