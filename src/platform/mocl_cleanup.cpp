// Named cleanup lists. Every change and every run happens inside a protected section, so the
// fatal-signal handler never finds a list half-changed.
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mos_signal_cmn.h"

static int mocl_cleanup_add(MOCL_CLEANUP_T *cleanup, const char *name, morl_action_t fn, void *ref1,
                            void *ref2) noexcept;
static int mocl_cleanup_del(MOCL_CLEANUP_T *cleanup, const char *name) noexcept;
static int mocl_cleanup_run(MOCL_CLEANUP_T *cleanup) noexcept;
static int mocl_cleanup_stop_print(MOCL_CLEANUP_T *cleanup) noexcept;

int mocl_cleanup_new(MOCL_CLEANUP_T **cleanup, void *pool, MOME_MEM_T *mem, MOS_SIGNAL_T *signal,
                     const char *name) noexcept {
    int ret = mome_new(mem, pool, cleanup);
    if (ret != 0)
        return ret;
    MOCL_CLEANUP_T *c = *cleanup;
    ret = morl_runlist_new(&c->runlist, pool, mem);
    if (ret != 0)
        return ret;
    c->signal = signal;
    c->name = name;
    c->do_print = TRUE;
    c->add = mocl_cleanup_add;
    c->del = mocl_cleanup_del;
    c->run = mocl_cleanup_run;
    c->stop_print = mocl_cleanup_stop_print;
    return 0;
}

int mocl_cleanup_run_ref(void *cleanup) noexcept {
    MOCL_CLEANUP_T *c = static_cast<MOCL_CLEANUP_T *>(cleanup);
    return c->run(c);
}

static int mocl_cleanup_add(MOCL_CLEANUP_T *cleanup, const char *name, morl_action_t fn, void *ref1,
                            void *ref2) noexcept {
    MosProtected section(cleanup->signal);
    return cleanup->runlist->add(cleanup->runlist, name, fn, ref1, ref2);
}

static int mocl_cleanup_del(MOCL_CLEANUP_T *cleanup, const char *name) noexcept {
    MosProtected section(cleanup->signal);
    return cleanup->runlist->del(cleanup->runlist, name);
}

static int print_entry(void *callout_ref, const char *name, void *, void *) noexcept {
    MOCL_CLEANUP_T *cleanup = static_cast<MOCL_CLEANUP_T *>(callout_ref);
    if (cleanup->do_print) {
        MOE_ERROR_T *error = cleanup->signal->low->error;
        error->report_note(error, "%s\n", name);
    }
    return 0;
}

static int mocl_cleanup_run(MOCL_CLEANUP_T *cleanup) noexcept {
    MOS_SIGNAL_T *signal = cleanup->signal;
    MosProtected section(signal);
    if (cleanup->do_print) {
        MOE_ERROR_T *error = signal->low->error;
        error->report_note(error, "Cleaning up %s\n", cleanup->name);
    }
    int ret = cleanup->runlist->run(cleanup->runlist, print_entry, cleanup, FALSE);
    if (ret != 0) {
        section.keep_open(); // the program is about to exit
        return ret;
    }
    cleanup->runlist->reset(cleanup->runlist);
    return 0;
}

static int mocl_cleanup_stop_print(MOCL_CLEANUP_T *cleanup) noexcept {
    MosProtected section(cleanup->signal);
    cleanup->do_print = FALSE;
    return 0;
}
