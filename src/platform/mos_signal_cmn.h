// The signal service: the fatal-signal handler that runs the request cleanup lists, and protected
// sections that hold handled signals back while lists and data files change.
#pragma once
#include "mo_std.h"

// Signal ids used by callers; only the POSIX implementation knows the platform numbers.
#define MOS_SIGHUP 1
#define MOS_SIGINT 2
#define MOS_SIGPIPE 3
#define MOS_SIGQUIT 4
#define MOS_SIGTERM 5
#define MOS_SIGXCPU 6
#define MOS_SIGXFSZ 7
#define MOS_SIGCHLD 8

typedef void (*mos_signal_handler_t)(int signum);

// Handler values that stand for "ignore" and "default action"; translated by set, never called.
void mos_signal_ignore(int signum) noexcept;
void mos_signal_default(int signum) noexcept;

struct MOS_CLEANUP_REF_T {
    void *pool_ref;                // pool of the binding
    int (*fn)(void *ref) noexcept; // the action; NULL when unbound
    void *ref;                     // reference handed to fn
};
typedef struct MOS_CLEANUP_REF_T mos_cleanup_ref_t;

struct MOS_SIGNAL_T {
    MOL_LOW_T *low;                           // the low bundle
    MOS_CLEANUP_REF_T session_cleanup_ref;    // run last by run_cleanup
    MOS_CLEANUP_REF_T req_always_cleanup_ref; // the "Request-Always" list
    MOS_CLEANUP_REF_T req_fatal_cleanup_ref;  // the "Request-Fatal" list, run first

    int (*init)(MOS_SIGNAL_T *signal) noexcept;
    int (*set)(MOS_SIGNAL_T *signal, int sig_id, mos_signal_handler_t handler) noexcept;
    int (*reset_defaults)(MOS_SIGNAL_T *signal) noexcept;
    int (*begin_protection)(MOS_SIGNAL_T *signal) noexcept;
    int (*end_protection)(MOS_SIGNAL_T *signal) noexcept;
    int (*reset_protection)(MOS_SIGNAL_T *signal) noexcept;
    int (*add_cleanup)(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding, void *pool,
                       int (*fn)(void *ref) noexcept, void *ref) noexcept;
    int (*del_cleanup)(MOS_SIGNAL_T *signal, MOS_CLEANUP_REF_T *binding) noexcept;
    int (*run_cleanup)(MOS_SIGNAL_T *signal) noexcept;
};

// A protected section for the scope of the guard: fatal signals wait until it ends. The one exit
// path that must leave the section open (the program is about to end) says so with keep_open().
class MosProtected {
public:
    explicit MosProtected(MOS_SIGNAL_T *signal) noexcept : signal_(signal) {
        signal_->begin_protection(signal_);
    }
    ~MosProtected() {
        if (signal_ != nullptr)
            signal_->end_protection(signal_);
    }
    void keep_open() noexcept { signal_ = nullptr; }
    MosProtected(const MosProtected &) = delete;
    MosProtected &operator=(const MosProtected &) = delete;

private:
    MOS_SIGNAL_T *signal_;
};

int mos_signal_construct(MOS_SIGNAL_T **signal, MOL_LOW_T *low, const MOS_SIGNAL_T *slots) noexcept;
