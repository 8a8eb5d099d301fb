// POSIX child processes. Every started child is recorded in the child list (a copy of its channel,
// its process id as status) so that a failing request can stop it and so that detached children are
// collected when they end. The list only changes inside protected sections; the child-exit handler
// itself only collects and marks, and the marked entries are removed later in normal code.
#include "platform/moux_unix_process.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "entry/mol_low.h"
#include "storage/mols_list.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "daemon/moti_timeout.h"
#include "platform/moux_unix_signal.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

const MOP_PROCESS_T moux_process_slots = {
    .low = nullptr,
    .cleanup = nullptr,
    .child_list = nullptr,
    .timeout_client_ref = nullptr,
    .init = moux_process_init,
    .open_process_async = moux_open_process_async,
    .open_process = moux_open_process,
    .open_process_env = moux_open_process_env,
    .open_process_timeout = moux_open_process_timeout,
    .end_process = moux_end_process,
    .kill_process = moux_kill_process,
    .begin_output_redirect = moux_begin_output_redirect,
    .end_output_redirect = moux_end_output_redirect,
    .read_line = moux_process_read_line,
    .read_buf = moux_process_read_buf,
    .read_err_line = moux_process_read_err_line,
    .write_line = moux_process_write_line,
    .close_stream = moux_process_close_stream,
};

// The child list's copy of a channel; the channel comes first so the entry's reference is also a
// channel. The handler sets `collected` (and `lost` when waitpid knew no such child).
struct MOUX_CHILD_T {
    MOP_CHANNEL_T channel;           // copy of the caller's channel
    volatile sig_atomic_t collected; // a detached child the handler has collected
    volatile sig_atomic_t lost;      // waitpid found no child of that id
    volatile int wait_status;        // what waitpid gave the handler
};

static MOP_PROCESS_T *moux_process_rec = nullptr;   // record the child-exit handler walks
static MOS_SIGNAL_T *moux_process_signal = nullptr; // signal service of that record
static struct sigaction moux_saved_pipe_action;     // SIGPIPE action during an output redirection
static int moux_redirect_depth = 0;

#define MOUX_MAX_ERR_LINES 10 // error lines reported before the rest are dropped

static MOE_ERROR_T *err_of(MOP_PROCESS_T *process) noexcept {
    return process->low->error;
}

// Time limits go to the request's timeout client, keyed by the child's process group (the child
// leads its own group, so its id names it).
static int timeout_start(MOP_PROCESS_T *process, int pid, int seconds) noexcept {
    MOTI_TIMEOUT_CLIENT_T *client = process->timeout_client_ref;
    return client != nullptr ? client->start(client, pid, seconds) : 0;
}

static int timeout_cancel(MOP_PROCESS_T *process, int pid) noexcept {
    MOTI_TIMEOUT_CLIENT_T *client = process->timeout_client_ref;
    return client != nullptr ? client->cancel(client, pid) : 0;
}

// A protected section for the lifetime of the guard, so that the child-exit handler never sees the
// child list half-changed. The signal service is the one given to init of this record; a record never
// initialised has none.
class Protected {
public:
    explicit Protected(MOP_PROCESS_T *process) noexcept
        : signal_(moux_process_rec == process ? moux_process_signal : nullptr) {
        if (signal_ != nullptr)
            signal_->begin_protection(signal_);
    }
    ~Protected() {
        if (signal_ != nullptr)
            signal_->end_protection(signal_);
    }
    Protected(const Protected &) = delete;
    Protected &operator=(const Protected &) = delete;

private:
    MOS_SIGNAL_T *signal_;
};

// Holds SIGCHLD back while the caller waits for a child itself, so the handler cannot take it.
struct ChildSignalHold {
    sigset_t old;
    ChildSignalHold() noexcept {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGCHLD);
        sigprocmask(SIG_BLOCK, &set, &old);
    }
    ~ChildSignalHold() noexcept { sigprocmask(SIG_SETMASK, &old, nullptr); }
    ChildSignalHold(const ChildSignalHold &) = delete;
    ChildSignalHold &operator=(const ChildSignalHold &) = delete;
};

static void close_fd(int *fd) noexcept {
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

// A descriptor owned by one holder: closed when the holder goes, unless handed on with release.
class Fd {
public:
    Fd() noexcept = default;
    ~Fd() { close_fd(&fd_); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    void reset(int fd = -1) noexcept {
        close_fd(&fd_);
        fd_ = fd;
    }
    int get() const noexcept { return fd_; }
    int release() noexcept {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// The three pipes of a child's standard streams, both ends of each until the fork hands them out.
struct Pipes {
    Fd in_r, in_w, out_r, out_w, err_r, err_w;

    // Close-on-exec, so a later child does not hold this child's pipes open. 0, or the errno.
    int open() noexcept {
        struct Ends {
            Fd *r, *w;
        };
        for (Ends e : {Ends{&in_r, &in_w}, Ends{&out_r, &out_w}, Ends{&err_r, &err_w}}) {
            int fds[2];
            if (pipe2(fds, O_CLOEXEC) != 0)
                return errno;
            e.r->reset(fds[0]);
            e.w->reset(fds[1]);
        }
        return 0;
    }
    // The parent keeps the read ends of the child's output and error and the write end of its input.
    void hand_over(MOP_CHANNEL_T *channel) noexcept {
        channel->in = in_w.release();
        channel->out = out_r.release();
        channel->err = err_r.release();
        in_r.reset();
        out_w.reset();
        err_w.reset();
    }
};

static MOLS_LIST_ELE_T *find_child(MOP_PROCESS_T *process, int pid) noexcept {
    MOLS_LIST_T *list = process->child_list;
    if (list == nullptr || pid <= 0)
        return nullptr;
    MOLS_LIST_ELE_T *ele = nullptr;
    list->find_status(list, pid, &ele);
    return ele;
}

// Removes a child's entry and frees its channel copy; called inside a protected section.
static void drop_entry(MOP_PROCESS_T *process, MOLS_LIST_ELE_T *ele) noexcept {
    MOLS_LIST_T *list = process->child_list;
    MOME_MEM_T *mem = process->low->mem;
    void *copy = list->get_ref2(ele);
    list->del(list, ele);
    mem->free(mem, mem->req_pool_ref, copy);
}

static void forget_child(MOP_PROCESS_T *process, int pid) noexcept {
    Protected section(process);
    MOLS_LIST_ELE_T *ele = find_child(process, pid);
    if (ele != nullptr)
        drop_entry(process, ele);
}

// Keeps the list's copy of a channel in step with the caller's descriptors and time limit.
static void update_copy(MOP_PROCESS_T *process, const MOP_CHANNEL_T *channel) noexcept {
    Protected section(process);
    MOLS_LIST_ELE_T *ele = find_child(process, channel->child_pid);
    if (ele != nullptr) {
        MOUX_CHILD_T *copy = static_cast<MOUX_CHILD_T *>(process->child_list->get_ref2(ele));
        copy->channel.in = channel->in;
        copy->channel.out = channel->out;
        copy->channel.err = channel->err;
        copy->channel.has_timeout = channel->has_timeout;
    }
}

// Removes the detached children the handler collected, with the warning it could not write itself.
static void sweep_collected(MOP_PROCESS_T *process) noexcept {
    MOLS_LIST_T *list = process->child_list;
    if (list == nullptr)
        return;
    Protected section(process);
    MOLS_LIST_ELE_T *ele = nullptr;
    list->get_next(list, &ele);
    while (ele != nullptr) {
        MOLS_LIST_ELE_T *next = ele;
        list->get_next(list, &next);
        MOUX_CHILD_T *copy = static_cast<MOUX_CHILD_T *>(list->get_ref2(ele));
        if (copy->collected) {
            if (copy->lost)
                err_of(process)->report_warning(err_of(process),
                                                "waitpid in child_signal function can't find pid %d.\n",
                                                copy->channel.child_pid);
            drop_entry(process, ele);
        }
        ele = next;
    }
}

void moux_process_child_signal(int) noexcept {
    int saved_errno = errno;
    MOP_PROCESS_T *process = moux_process_rec;
    MOLS_LIST_T *list = process != nullptr ? process->child_list : nullptr;
    if (list != nullptr) {
        MOLS_LIST_ELE_T *ele = nullptr;
        list->get_next(list, &ele);
        for (; ele != nullptr; list->get_next(list, &ele)) {
            MOUX_CHILD_T *copy = static_cast<MOUX_CHILD_T *>(list->get_ref2(ele));
            if (!copy->channel.async || copy->collected)
                continue;
            int status = 0;
            pid_t r = waitpid(copy->channel.child_pid, &status, WNOHANG);
            if (r == copy->channel.child_pid) {
                copy->wait_status = status;
                copy->collected = 1;
            } else if (r < 0 && errno == ECHILD) {
                copy->lost = 1;
                copy->collected = 1;
            }
            // r == 0: still running, it stays recorded.
        }
    }
    errno = saved_errno;
}

int moux_process_init(MOP_PROCESS_T *process, MOCL_CLEANUP_T *cleanup, MOS_SIGNAL_T *signal,
                      MOTI_TIMEOUT_CLIENT_T *timeout_client) noexcept {
    process->cleanup = cleanup;
    process->timeout_client_ref = timeout_client;
    moux_process_signal = signal;
    moux_process_rec = process;
    int ret = signal->set(signal, MOS_SIGCHLD, moux_process_child_signal);
    if (ret != 0)
        return ret;
    ret = cleanup->add(cleanup, "Cleanup child processes", moux_kill_children, process, nullptr);
    if (ret != 0)
        return ret;
    MOME_MEM_T *mem = process->low->mem;
    MOLS_LIST_T *list = nullptr;
    ret = mols_list_new(&list, mem->req_pool_ref, mem);
    if (ret != 0)
        return ret;
    Protected section(process);
    process->child_list = list;
    return 0;
}

static int stop_child(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept;

// Moves a descriptor above the standard ones so the dup2 calls below cannot overwrite it.
static int lift_fd(int fd) noexcept {
    return fd > 2 ? fd : fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

// The forked child: own process group, pipes on its standard streams, clean signal state, exec.
[[noreturn]] static void run_child(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error,
                                   const Pipes *pipes, char *const env[], char *const argv[]) noexcept {
    MOE_ERROR_T *error = err_of(process);
    if (setpgid(0, 0) != 0)
        error->report(error, "Error setpgid : %s\n", strerror(errno));
    if (pipes != nullptr) {
        int in_r = lift_fd(pipes->in_r.get());
        int out_w = lift_fd(pipes->out_w.get());
        int err_w = lift_fd(pipes->err_w.get());
        if (in_r < 0 || out_w < 0 || err_w < 0 || dup2(err_w, 2) < 0 || dup2(out_w, 1) < 0 ||
            dup2(in_r, 0) < 0) {
            error->report(error, "Error in joining pipe for %s : %s\n", channel->proc_name, strerror(errno));
            _exit(1);
        }
        // Every pipe end was made close-on-exec; only the three standard streams stay open.
    }
    // The fork happened inside a protected section: give the program back the signals it must obey.
    moux_signal_child_reset();
    if (env != nullptr)
        execve(channel->proc_name, argv, env);
    else
        execvp(channel->proc_name, argv);
    if (on_error == MOP_ON_ERROR_FAIL)
        error->report(error, "Error in starting process %s : %s\n", channel->proc_name, strerror(errno));
    _exit(1);
}

// The argument vector: the program name, then the arguments up to the NULL (MOP_MAX_ARGS entries at
// most), then the NULL. argv has room for MOP_MAX_ARGS + 1 entries.
static int collect_args(MOE_ERROR_T *error, const char *prog, va_list ap, char **argv) noexcept {
    int argc = 0;
    argv[argc++] = const_cast<char *>(prog);
    for (const char *arg = va_arg(ap, const char *); arg != nullptr; arg = va_arg(ap, const char *)) {
        if (argc >= MOP_MAX_ARGS) {
            error->report(error, "Too many arguments for process %s (at most %d)\n", prog, MOP_MAX_ARGS - 1);
            return 1;
        }
        argv[argc++] = const_cast<char *>(arg);
    }
    argv[argc] = nullptr;
    return 0;
}

// Forks the child and records it in the child list with `copy` (freed when there is no list before
// init). The fork and the record happen inside one protected section: a detached child that is
// already gone must be in the list when the held-back child-exit signal is delivered.
static int fork_child(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, Pipes *pipes,
                      char *const env[], char *const argv[], MOUX_CHILD_T **copy) noexcept {
    MOME_MEM_T *mem = process->low->mem;
    int ret = 0;
    fflush(stdout); // a child that reports before exec must not repeat our buffered output
    {
        Protected section(process);
        pid_t pid = fork();
        if (pid == 0)
            run_child(process, channel, on_error, pipes, env, argv);
        if (pid < 0) {
            int fork_errno = errno;
            mem->free(mem, mem->req_pool_ref, *copy);
            err_of(process)->report(err_of(process), "Error in starting process %s : %s\n",
                                    channel->proc_name, strerror(fork_errno));
            return 1;
        }
        setpgid(pid, pid); // also here, so a kill of the group cannot come before the child's own call
        channel->child_pid = pid;
        if (pipes != nullptr) {
            pipes->hand_over(channel);
            channel->has_pipe = TRUE;
        }
        (*copy)->channel = *channel;
        MOLS_LIST_T *list = process->child_list;
        if (list != nullptr) {
            ret = list->add(list, channel->proc_name, TRUE, pid, process, *copy);
        } else {
            mem->free(mem, mem->req_pool_ref, *copy); // no list before init: the child is not recorded
            *copy = nullptr;
        }
    }
    if (ret != 0) {
        // Out of memory: a child nobody could stop later is not left running.
        mem->free(mem, mem->req_pool_ref, *copy);
        stop_child(process, channel);
    }
    return ret;
}

// Registers the child's time limit with the daemon. A child whose limit cannot be set is stopped:
// the caller only passes the failure on, and nobody would end it.
static int start_time_limit(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int seconds) noexcept {
    if (seconds <= 0 || process->timeout_client_ref == nullptr)
        return 0;
    int ret = timeout_start(process, channel->child_pid, seconds);
    if (ret != 0) {
        stop_child(process, channel);
        forget_child(process, channel->child_pid);
        return ret;
    }
    channel->has_timeout = TRUE;
    update_copy(process, channel);
    return 0;
}

static int start_child(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, char *const env[],
                       int seconds, mo_boolean_t async, const char *prog, va_list ap) noexcept {
    MOE_ERROR_T *error = err_of(process);
    *channel = MOP_CHANNEL_T{.in = -1,
                             .out = -1,
                             .err = -1,
                             .old_out_fd = -1,
                             .child_pid = -1,
                             .has_timeout = FALSE,
                             .has_pipe = FALSE,
                             .async = async,
                             .proc_name = prog};
    if (prog == nullptr || prog[0] == '\0') {
        error->report(error, "No program name given to start a process\n");
        return 1;
    }
    char *argv[MOP_MAX_ARGS + 1];
    int ret = collect_args(error, prog, ap, argv);
    if (ret != 0)
        return ret;
    sweep_collected(process);

    Pipes pipes;
    if (!async) {
        int pipe_errno = pipes.open();
        if (pipe_errno != 0) {
            error->report(error, "Error in creating pipe for %s : %s\n", prog, strerror(pipe_errno));
            return 1;
        }
    }
    MOME_MEM_T *mem = process->low->mem;
    MOUX_CHILD_T *copy = nullptr;
    ret = mome_new(mem, mem->req_pool_ref, &copy);
    if (ret == 0)
        ret = fork_child(process, channel, on_error, async ? nullptr : &pipes, env, argv, &copy);
    if (ret == 0)
        ret = start_time_limit(process, channel, seconds);
    return ret;
}

int moux_open_process_async(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, const char *prog,
                            ...) noexcept {
    va_list ap;
    va_start(ap, prog);
    int ret = start_child(process, channel, on_error, nullptr, 0, TRUE, prog, ap);
    va_end(ap);
    return ret;
}

int moux_open_process(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, const char *prog,
                      ...) noexcept {
    va_list ap;
    va_start(ap, prog);
    int ret = start_child(process, channel, on_error, nullptr, 0, FALSE, prog, ap);
    va_end(ap);
    return ret;
}

int moux_open_process_env(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, char *const env[],
                          const char *prog, ...) noexcept {
    static char *const no_env[] = {nullptr};
    va_list ap;
    va_start(ap, prog);
    int ret = start_child(process, channel, on_error, env != nullptr ? env : no_env, 0, FALSE, prog, ap);
    va_end(ap);
    return ret;
}

int moux_open_process_timeout(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, int seconds,
                              const char *prog, ...) noexcept {
    va_list ap;
    va_start(ap, prog);
    int ret = start_child(process, channel, on_error, nullptr, seconds, FALSE, prog, ap);
    va_end(ap);
    return ret;
}

// Splits the child's error output into lines of at most MO_STRING_LEN - 1 characters, as
// read_err_line would, and reports the first ten.
struct ErrLines {
    MOE_ERROR_T *error;
    const char *proc_name;
    bool report;
    int count;
    size_t len;
    char pending[MO_STRING_LEN];

    void line() noexcept {
        pending[len] = '\0';
        len = 0;
        count++;
        if (!report)
            return;
        if (count <= MOUX_MAX_ERR_LINES)
            error->report(error, "%s", pending);
        else if (count == MOUX_MAX_ERR_LINES + 1)
            error->report(error, "max errors lines reached from process %s\n", proc_name);
    }
    void feed(const char *buf, size_t n) noexcept {
        for (size_t i = 0; i < n; i++) {
            char c = buf[i];
            if (c == '\0') {
                line();
                continue;
            }
            pending[len++] = c;
            if (c == '\n' || len >= MO_STRING_LEN - 1)
                line();
        }
    }
    void finish() noexcept {
        if (len > 0)
            line();
    }
};

// What end_process learnt of the child.
struct EndState {
    bool ended = false;       // the child has ended (it may not be collected yet)
    bool collected = false;   // waitpid has taken it
    bool read_failed = false; // its error output could not be read
    int status = 0;           // the wait status, once collected
};

static void report_wait_failure(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept {
    err_of(process)->report(err_of(process), "Error in waiting on process %s (%d): %s\n", channel->proc_name,
                            channel->child_pid, strerror(errno));
}

// Whether the child has ended, without collecting it: its id keeps naming it (and its group) until
// waitpid. 1 ended, 0 still running, -1 error. With `block`, waits for the end.
static int has_ended(pid_t pid, bool block) noexcept {
    for (;;) {
        siginfo_t info;
        memset(&info, 0, sizeof(info));
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | (block ? 0 : WNOHANG)) == 0)
            return info.si_pid == pid ? 1 : 0;
        if (errno != EINTR)
            return -1;
    }
}

static int wait_blocking(pid_t pid, int *status) noexcept {
    pid_t r;
    do
        r = waitpid(pid, status, 0);
    while (r < 0 && errno == EINTR);
    return r == pid ? 0 : -1;
}

static int exit_code(int status) noexcept {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// A detached child: the child-exit handler may have taken it already.
static int wait_detached(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, EndState *st) noexcept {
    MOLS_LIST_ELE_T *ele = find_child(process, channel->child_pid);
    MOUX_CHILD_T *copy =
        ele != nullptr ? static_cast<MOUX_CHILD_T *>(process->child_list->get_ref2(ele)) : nullptr;
    if (copy != nullptr && copy->collected) {
        st->ended = st->collected = true;
        st->status = copy->lost ? 0 : copy->wait_status;
        return 0;
    }
    if (wait_blocking(channel->child_pid, &st->status) != 0) {
        report_wait_failure(process, channel);
        return 1;
    }
    st->ended = st->collected = true;
    return 0;
}

// Reads the child's output and error output until both have ended, or until the child has ended and
// nothing more is waiting (a grandchild may keep the pipes open). Standard output is drained so that
// a child filling that pipe while we read the other cannot stall. The child is not collected here.
static int drain_pipes(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, ErrLines *lines,
                       EndState *st) noexcept {
    bool out_open = channel->out >= 0, err_open = channel->err >= 0;
    char buf[4096];
    while (out_open || err_open) {
        if (!st->ended) {
            int ended = has_ended(channel->child_pid, false);
            if (ended < 0) {
                report_wait_failure(process, channel);
                return 1;
            }
            st->ended = ended == 1;
        }
        struct pollfd fds[2];
        int nfds = 0;
        if (out_open)
            fds[nfds++] = {channel->out, POLLIN, 0};
        if (err_open)
            fds[nfds++] = {channel->err, POLLIN, 0};
        int n = poll(fds, static_cast<nfds_t>(nfds), st->ended ? 0 : 100);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            // Nothing more can be read: our ends are closed, so a child blocked on a full pipe ends too.
            close_fd(&channel->out);
            close_fd(&channel->err);
            update_copy(process, channel);
            break;
        }
        if (n == 0 && st->ended)
            break; // the child is gone and nothing more is waiting
        for (int i = 0; i < nfds; i++) {
            if (fds[i].revents == 0)
                continue;
            bool is_err = fds[i].fd == channel->err;
            ssize_t got = read(fds[i].fd, buf, sizeof(buf));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && is_err && lines->report) {
                err_of(process)->report(err_of(process), "Can't read from stderr of process %s : %s\n",
                                        channel->proc_name, strerror(errno));
                st->read_failed = true;
                return 1;
            }
            if (got <= 0)
                (is_err ? err_open : out_open) = false;
            else if (is_err)
                lines->feed(buf, static_cast<size_t>(got));
        }
    }
    lines->finish();
    return 0;
}

// The child with pipes, once its output is read: waits for its end, then cancels its time limit
// (which guarded the wait too), then collects it. Cancelled before it is collected, since from then
// on its id may name another process group, which the daemon would kill if the limit ran out first.
static int wait_piped(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, EndState *st, int ret) noexcept {
    if (ret == 0 && !st->ended) {
        if (has_ended(channel->child_pid, true) < 0) {
            report_wait_failure(process, channel);
            ret = 1;
        } else {
            st->ended = true;
        }
    }
    if (channel->has_timeout) {
        channel->has_timeout = FALSE;
        if (timeout_cancel(process, channel->child_pid) != 0 && ret == 0)
            ret = 1;
    }
    if (st->ended && !st->read_failed) {
        if (wait_blocking(channel->child_pid, &st->status) == 0) {
            st->collected = true;
        } else if (ret == 0) {
            report_wait_failure(process, channel);
            ret = 1;
        }
    }
    return ret;
}

// Forgets the collected child and judges its exit status and error output by the error mode.
static int judge_end(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, const EndState &st,
                     const ErrLines &lines, int ret, int *exit_status) noexcept {
    if (st.collected && channel->child_pid > 1) {
        *exit_status = exit_code(st.status);
        forget_child(process, channel->child_pid);
        if (!st.read_failed && on_error == MOP_ON_ERROR_FAIL && *exit_status != 0 && ret == 0) {
            err_of(process)->report(err_of(process), "Error in process %s\n", channel->proc_name);
            ret = 1;
        }
    }
    if (channel->has_pipe) {
        close_fd(&channel->out);
        close_fd(&channel->err);
    }
    if (lines.report && lines.count > 0 && ret == 0) {
        if (on_error == MOP_ON_ERROR_FAIL)
            ret = 1;
        else
            *exit_status = -1;
    }
    return ret;
}

int moux_end_process(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error,
                     int *exit_status) noexcept {
    *exit_status = 0;
    bool read_errors = on_error == MOP_ON_ERROR_FAIL || on_error == MOP_ON_ERROR_MARK;
    ErrLines lines{err_of(process), channel->proc_name, read_errors, 0, 0, {}};
    EndState st;
    int ret = 0;
    // The child sees the end of its input first: one that reads all of it before it writes or ends
    // would otherwise wait for us while we wait for it.
    if (channel->has_pipe)
        close_fd(&channel->in);
    ChildSignalHold hold;
    if (channel->child_pid <= 1) {
        st.ended = true; // never started
    } else if (!channel->has_pipe) {
        ret = wait_detached(process, channel, &st);
    } else {
        ret = drain_pipes(process, channel, &lines, &st);
        ret = wait_piped(process, channel, &st, ret);
    }
    return judge_end(process, channel, on_error, st, lines, ret, exit_status);
}

static bool child_gone(pid_t pid) noexcept {
    int status;
    pid_t r;
    do
        r = waitpid(pid, &status, WNOHANG);
    while (r < 0 && errno == EINTR);
    return r == pid || (r < 0 && errno == ECHILD);
}

// Up to three checks one second apart, each announced; looks every tenth of a second in between so
// a child that obeys at once is not waited for.
static bool wait_gone(MOP_PROCESS_T *process, pid_t pid) noexcept {
    for (int check = 0; check < 3; check++) {
        err_of(process)->report_note(err_of(process), "Waiting on process %d\n", pid);
        for (int step = 0; step < 10; step++) {
            struct timespec tenth = {0, 100 * 1000 * 1000};
            nanosleep(&tenth, nullptr);
            if (child_gone(pid))
                return true;
        }
    }
    return false;
}

// Closes the channel's pipes, cancels its time limit and stops the child: SIGTERM, then the whole
// group, then SIGQUIT and SIGKILL to the group. Always ends.
static int stop_child(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept {
    MOE_ERROR_T *error = err_of(process);
    int ret = 0;
    if (channel->has_pipe) {
        close_fd(&channel->in);
        close_fd(&channel->out);
        close_fd(&channel->err);
    }
    pid_t pid = channel->child_pid;
    if (channel->has_timeout) {
        channel->has_timeout = FALSE;
        ret = timeout_cancel(process, pid);
    }
    // Never signal ourselves, our group or init through an unset or bogus id.
    if (pid <= 1 || pid == getpid())
        return ret;
    ChildSignalHold hold;
    if (child_gone(pid))
        return ret;
    kill(pid, SIGTERM);
    if (wait_gone(process, pid))
        return ret;
    error->report_note(error, "Sending process group kill to process %d\n", pid);
    killpg(pid, SIGTERM);
    if (wait_gone(process, pid))
        return ret;
    error->report_note(error, "Sending QUIT signal to process group %d\n", pid);
    killpg(pid, SIGQUIT);
    if (child_gone(pid))
        return ret;
    sleep(2); // the child is not collected meanwhile, so its id still names it and its group
    killpg(pid, SIGKILL);
    int status;
    wait_blocking(pid, &status);
    return ret;
}

int moux_kill_process(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept {
    int ret = stop_child(process, channel);
    forget_child(process, channel->child_pid);
    return ret;
}

// Often run from the fatal-signal handler, so nothing is freed here: the entries and copies stay in the
// request pool and the list is only emptied once every child has been stopped.
int moux_kill_children(const char *, void *ref1, void *) noexcept {
    MOP_PROCESS_T *process = static_cast<MOP_PROCESS_T *>(ref1);
    MOLS_LIST_T *list = process->child_list;
    if (list == nullptr)
        return 0;
    Protected section(process);
    int ret = 0;
    MOLS_LIST_ELE_T *ele = nullptr;
    for (list->get_next(list, &ele); ele != nullptr && ret == 0; list->get_next(list, &ele)) {
        MOUX_CHILD_T *copy = static_cast<MOUX_CHILD_T *>(list->get_ref2(ele));
        if (!copy->collected)
            ret = stop_child(process, &copy->channel);
    }
    if (ret == 0)
        list->reset(list);
    return ret;
}

int moux_begin_output_redirect(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept {
    MOE_ERROR_T *error = err_of(process);
    fflush(stdout); // what was written before goes to the real output
    // Close-on-exec, as every descriptor here: a child started meanwhile must not hold them.
    channel->old_out_fd = fcntl(1, F_DUPFD_CLOEXEC, 0);
    if (channel->old_out_fd < 0 || dup2(channel->in, 1) < 0) {
        error->report(error, "dup2 failed in begin_output_redirect for process %s : %s\n", channel->proc_name,
                      strerror(errno));
        close_fd(&channel->old_out_fd);
        return 1;
    }
    close_fd(&channel->in);
    update_copy(process, channel);
    // A child that stops reading must fail our writes, not end us through SIGPIPE.
    if (moux_redirect_depth++ == 0) {
        struct sigaction ign;
        memset(&ign, 0, sizeof(ign));
        sigemptyset(&ign.sa_mask);
        ign.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ign, &moux_saved_pipe_action);
    }
    return 0;
}

int moux_end_output_redirect(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept {
    MOE_ERROR_T *error = err_of(process);
    int ret = 0;
    fflush(stdout);
    clearerr(stdout);
    channel->in = fcntl(1, F_DUPFD_CLOEXEC, 0);
    if (channel->in < 0) {
        error->report(error, "first dup2 failed in end_output_redirect for process %s : %s\n",
                      channel->proc_name, strerror(errno));
        ret = 1;
    } else {
        close(1);
        if (dup2(channel->old_out_fd, 1) < 0) {
            error->report(error, "second dup2 failed in end_output_redirect for process %s : %s\n",
                          channel->proc_name, strerror(errno));
            ret = 1;
        }
        close_fd(&channel->old_out_fd);
    }
    update_copy(process, channel);
    if (moux_redirect_depth > 0 && --moux_redirect_depth == 0)
        sigaction(SIGPIPE, &moux_saved_pipe_action, nullptr);
    return ret;
}

static int read_one_line(int fd, char *buf, size_t size, mo_boolean_t *eof) noexcept {
    *eof = FALSE;
    if (size == 0)
        return 0;
    size_t len = 0;
    while (len + 1 < size) {
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            buf[len] = '\0';
            return -1;
        }
        if (n == 0) {
            *eof = TRUE;
            break;
        }
        if (c == '\0')
            break;
        buf[len++] = c;
        if (c == '\n')
            break;
    }
    buf[len] = '\0';
    return 0;
}

int moux_process_read_line(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size,
                           mo_boolean_t *eof) noexcept {
    if (read_one_line(channel->out, buf, size, eof) != 0) {
        err_of(process)->report(err_of(process), "Can't read from process %s : %s\n", channel->proc_name,
                                strerror(errno));
        return 1;
    }
    return 0;
}

int moux_process_read_err_line(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size,
                               mo_boolean_t *eof) noexcept {
    if (read_one_line(channel->err, buf, size, eof) != 0) {
        err_of(process)->report(err_of(process), "Can't read from stderr of process %s : %s\n",
                                channel->proc_name, strerror(errno));
        return 1;
    }
    return 0;
}

int moux_process_read_buf(MOP_PROCESS_T *, MOP_CHANNEL_T *channel, char *buf, size_t size, long *count,
                          mo_boolean_t *eof) noexcept {
    ssize_t n;
    do
        n = read(channel->out, buf, size);
    while (n < 0 && errno == EINTR);
    *count = static_cast<long>(n);
    *eof = n == 0 ? TRUE : FALSE;
    return 0;
}

// Writes all of text to fd with SIGPIPE held back: a child that stopped reading gives EPIPE.
static int write_all_no_sigpipe(int fd, const char *text, size_t len) noexcept {
    sigset_t pipe_set, old, pending;
    sigemptyset(&pipe_set);
    sigaddset(&pipe_set, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_set, &old);
    sigpending(&pending);
    bool was_pending = sigismember(&pending, SIGPIPE) == 1;
    int ret = 0, saved_errno = 0;
    size_t done = 0;
    while (done < len) {
        ssize_t n = write(fd, text + done, len - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ret = -1;
            saved_errno = errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ret != 0 && saved_errno == EPIPE && !was_pending) {
        struct timespec zero = {0, 0};
        while (sigtimedwait(&pipe_set, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    errno = saved_errno;
    return ret;
}

int moux_process_write_line(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, const char *fmt, ...) noexcept {
    mo_string_t text;
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(text, sizeof(text), fmt, ap);
    va_end(ap);
    if (n < 0)
        text[0] = '\0';
    if (write_all_no_sigpipe(channel->in, text, strlen(text)) != 0) {
        err_of(process)->report(err_of(process), "Can't write to process %s : %s\n", channel->proc_name,
                                strerror(errno));
        return 1;
    }
    return 0;
}

int moux_process_close_stream(MOP_PROCESS_T *process, int fd) noexcept {
    if (fd < 0)
        return 0;
    close(fd);
    // The list's copies must not keep a number that a later open may reuse.
    MOLS_LIST_T *list = process->child_list;
    if (list != nullptr) {
        Protected section(process);
        MOLS_LIST_ELE_T *ele = nullptr;
        for (list->get_next(list, &ele); ele != nullptr; list->get_next(list, &ele)) {
            MOP_CHANNEL_T *copy = static_cast<MOP_CHANNEL_T *>(list->get_ref2(ele));
            for (int *slot : {&copy->in, &copy->out, &copy->err})
                if (*slot == fd)
                    *slot = -1;
        }
    }
    return 0;
}
