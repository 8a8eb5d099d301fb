// The daemon's transport over a local stream socket. The server multiplexes every client with poll,
// gathers each client's record as it arrives and serves one message at a time, so the services it
// dispatches to run with exclusive access to their state; it never waits on any one client. A client
// keeps one connection for its whole run and makes synchronous calls.
#include "daemon/modsk_socket_daemon.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "storage/mols_list.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <new>
#include <unistd.h>
#include <vector>

namespace {

// Outcome of reading one record from a descriptor.
enum class ReadResult {
    whole,     // a complete record arrived
    closed,    // the peer closed the connection (possibly in the middle of a record)
    failed,    // read error (errno kept in the caller's err)
    timed_out, // nothing (more) arrived within the receive timeout
    select_failed,
};

// Waits up to the given seconds for the descriptor to become readable. poll, not select: a client
// in a process with many open files may hold a descriptor beyond what a select set can take.
int wait_readable(int fd, int seconds, int *err) noexcept {
    for (;;) {
        struct pollfd pfd = {fd, POLLIN, 0};
        int n = poll(&pfd, 1, seconds * 1000);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *err = errno;
            return -1;
        }
        return n;
    }
}

// Reads one whole record. A record that arrives in pieces is gathered: the first piece is waited
// for up to the receive timeout, each further piece up to piece_wait seconds, so a peer that stalls
// in the middle of a record is given up on.
ReadResult read_record(int fd, MODSK_MSG_CONT_T *msg, size_t *got, int piece_wait, int *err) noexcept {
    char *buf = reinterpret_cast<char *>(msg);
    *got = 0;
    while (*got < MODSK_MSG_SIZE) {
        int ready = wait_readable(fd, *got == 0 ? MODSK_READ_TIMEOUT : piece_wait, err);
        if (ready < 0)
            return ReadResult::select_failed;
        if (ready == 0)
            return ReadResult::timed_out;
        ssize_t n;
        do {
            n = read(fd, buf + *got, MODSK_MSG_SIZE - *got);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            *err = errno;
            return ReadResult::failed;
        }
        if (n == 0)
            return ReadResult::closed;
        *got += static_cast<size_t>(n);
    }
    return ReadResult::whole;
}

// Writes one whole record, completing short writes. A peer that has gone away gives EPIPE
// rather than a broken-pipe signal, which would end a client process as if it had been killed.
int write_record(int fd, const MODSK_MSG_CONT_T *msg, int *err) noexcept {
    const char *buf = reinterpret_cast<const char *>(msg);
    size_t done = 0;
    while (done < MODSK_MSG_SIZE) {
        ssize_t n = send(fd, buf + done, MODSK_MSG_SIZE - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *err = errno;
            return 1;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Builds the socket address; a path that does not fit is refused rather than cut, since a cut
// path would name another socket.
int build_address(MOIM_INTERM_T *interm, const char *server_port, struct sockaddr_un *addr, char *path,
                  size_t path_len) noexcept {
    int n = snprintf(path, path_len, "%s/%s.%s", interm->setup->daemon_socket_dir, "morvale", server_port);
    memset(addr, 0, sizeof(*addr));
    addr->sun_family = AF_UNIX;
    if (n < 0 || static_cast<size_t>(n) >= sizeof(addr->sun_path) || static_cast<size_t>(n) >= path_len)
        return 1;
    memcpy(addr->sun_path, path, static_cast<size_t>(n) + 1);
    return 0;
}

int cleanup_server_connection(const char *, void *ref1, void *) noexcept {
    auto *server = static_cast<MODSK_SERVER_T *>(ref1);
    if (server->socket >= 0) {
        close(server->socket);
        server->socket = -1;
    }
    return 0;
}

int cleanup_client_connection(const char *, void *ref1, void *) noexcept {
    auto *client = static_cast<MODSK_CLIENT_T *>(ref1);
    if (client->socket >= 0) {
        close(client->socket);
        client->socket = -1;
    }
    return 0;
}

// Runs every timer service, most recently registered first, stopping at the first failure.
int run_timers(MODSK_SERVER_T *server) noexcept {
    MOLS_LIST_T *list = server->timer_service_list;
    MOLS_LIST_ELE_T *ele = nullptr;
    list->get_next(list, &ele);
    while (ele != nullptr) {
        auto fn = reinterpret_cast<mod_timer_fn_t>(list->get_ref1(ele));
        int ret = fn(list->get_ref2(ele));
        if (ret != 0)
            return ret;
        list->get_next(list, &ele);
    }
    return 0;
}

// Dispatches one message to the service registered for its instruction.
int dispatch(MOD_DAEMON_T *daemon, MODSK_SERVER_T *server, MODSK_MSG_CONT_T *msg) noexcept {
    MOLS_LIST_T *list = server->service_list;
    MOLS_LIST_ELE_T *ele = nullptr;
    list->find_status(list, msg->instr, &ele);
    if (ele == nullptr) {
        daemon->interm->error->report_warning(daemon->interm->error, "Can't find Instruction %d\n",
                                              static_cast<int>(msg->instr));
        return 0;
    }
    auto fn = reinterpret_cast<mod_service_fn_t>(list->get_ref1(ele));
    void *data = msg->data;
    return fn(list->get_ref2(ele), &data);
}

// ---------------------------------------------------------------- server loop

// Milliseconds of a clock that only moves forward, for the bounds on slow clients.
long long clock_ms() noexcept {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// One client connection of the daemon. Its socket never blocks: a record is gathered piece by piece
// as it arrives, and a reply the client does not take at once waits here while the others are served.
struct Conn {
    int fd;               // the connection, non-blocking
    size_t got;           // bytes of the request gathered so far
    size_t sent;          // bytes of the reply written so far
    bool replying;        // a reply is on its way; nothing more is read until it is out
    bool dropped;         // closed, to be taken out of the list
    long long since;      // when the record began, or when the reply became due
    long long last;       // when the last piece of the record arrived
    MODSK_MSG_CONT_T msg; // the request, changed in place into the reply
};

struct Loop {
    MOD_DAEMON_T *daemon;
    MODSK_SERVER_T *server;
    MOE_ERROR_T *error;
    std::vector<Conn *> conns;      // open connections, in the order they came
    std::vector<struct pollfd> fds; // what the next wait watches: the listener first, then conns
    long long accept_paused_until;  // accepts wait until then after running out of descriptors
    mo_boolean_t quit;              // a force quit was served
};

void drop_client(Loop *loop, Conn *c) noexcept {
    if (c->dropped)
        return;
    c->dropped = true;
    if (close(c->fd) != 0)
        loop->error->report_warning(loop->error, "Can't close socket: %s\n", strerror(errno));
}

void accept_clients(Loop *loop) noexcept {
    MOME_MEM_T *mem = loop->daemon->interm->mem;
    // A bounded number per turn, so that a burst of connections cannot keep the others waiting.
    for (int i = 0; i < MODSK_ACCEPTS_PER_TURN; i++) {
        int fd = accept4(loop->server->socket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            // Out of descriptors or memory: those already connected are served on, and the waiting
            // connections are taken once some have gone.
            loop->error->report_warning(loop->error, "Can't accept new connection: %s\n", strerror(errno));
            loop->accept_paused_until = clock_ms() + MODSK_ACCEPT_BACKOFF_MS;
            return;
        }
        Conn *c = nullptr;
        if (mome_new(mem, loop->server->pool_ref, &c) != 0) {
            close(fd);
            loop->accept_paused_until = clock_ms() + MODSK_ACCEPT_BACKOFF_MS;
            return;
        }
        *c = Conn{.fd = fd,
                  .got = 0,
                  .sent = 0,
                  .replying = false,
                  .dropped = false,
                  .since = 0,
                  .last = 0,
                  .msg = {}};
        try {
            loop->conns.push_back(c);
        } catch (const std::bad_alloc &) {
            loop->error->report(loop->error, "Out of memory\n");
            close(fd);
            mem->free(mem, loop->server->pool_ref, c);
            return;
        }
    }
}

// Writes what the client takes of its reply now.
void send_reply(Loop *loop, Conn *c) noexcept {
    const char *buf = reinterpret_cast<const char *>(&c->msg);
    while (c->sent < MODSK_MSG_SIZE) {
        ssize_t n = send(c->fd, buf + c->sent, MODSK_MSG_SIZE - c->sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n < 0) {
            // The client left before its answer; the daemon goes on serving the others.
            loop->error->report_warning(loop->error, "Write of socket (%d) Failed: %s\n", c->fd,
                                        strerror(errno));
            drop_client(loop, c);
            return;
        }
        c->sent += static_cast<size_t>(n);
    }
    c->replying = false;
    c->got = 0;
}

// Serves a whole request and starts its reply. A service that fails has reported why; its client
// gets no reply (its call fails as on a lost connection) and the daemon serves on.
void serve_request(Loop *loop, Conn *c) noexcept {
    if (c->msg.instr == MOD_INSTR_FORCE_QUIT) {
        loop->quit = TRUE;
    } else if (dispatch(loop->daemon, loop->server, &c->msg) != 0) {
        drop_client(loop, c);
        return;
    }
    c->replying = true;
    c->sent = 0;
    c->since = clock_ms();
    send_reply(loop, c);
}

// Takes what has arrived of the client's record, at most up to its end.
void read_request(Loop *loop, Conn *c) noexcept {
    char *buf = reinterpret_cast<char *>(&c->msg);
    ssize_t n;
    do {
        n = read(c->fd, buf + c->got, MODSK_MSG_SIZE - c->got);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    if (n < 0) {
        loop->error->report_warning(loop->error, "Read of socket (%d) Failed: %s\n", c->fd, strerror(errno));
        drop_client(loop, c);
        return;
    }
    if (n == 0) {
        // The client has gone; a record it left unfinished was no message.
        drop_client(loop, c);
        return;
    }
    long long now = clock_ms();
    if (c->got == 0)
        c->since = now;
    c->last = now;
    c->got += static_cast<size_t>(n);
    if (c->got == MODSK_MSG_SIZE)
        serve_request(loop, c);
}

// Drops the clients that hold resources without making progress: a record left unfinished (clients
// write a record in one call), or replies left unread.
void drop_stalled(Loop *loop) noexcept {
    long long now = clock_ms();
    for (Conn *c : loop->conns) {
        if (c->dropped)
            continue;
        if (c->replying && now - c->since > MODSK_REPLY_WAIT_MS) {
            loop->error->report_warning(loop->error, "Client on socket (%d) does not read its replies\n",
                                        c->fd);
            drop_client(loop, c);
        } else if (!c->replying && c->got > 0 &&
                   (now - c->last > MODSK_PIECE_WAIT * 1000LL ||
                    now - c->since > MODSK_READ_TIMEOUT * 1000LL)) {
            loop->error->report_warning(loop->error, "Timeout occurred during read of socket (%d)\n", c->fd);
            drop_client(loop, c);
        }
    }
}

// The longest the next wait may last: the loop's period, or less when a bound runs out sooner.
int wait_ms(const Loop *loop) noexcept {
    long long now = clock_ms();
    long long wait = MODSK_SELECT_WAIT * 1000LL;
    if (loop->accept_paused_until > now)
        wait = std::min(wait, loop->accept_paused_until - now);
    for (const Conn *c : loop->conns) {
        long long due = 0;
        if (c->replying)
            due = c->since + MODSK_REPLY_WAIT_MS;
        else if (c->got > 0)
            due = std::min(c->last + MODSK_PIECE_WAIT * 1000LL, c->since + MODSK_READ_TIMEOUT * 1000LL);
        else
            continue;
        wait = std::min(wait, std::max(0LL, due - now) + 1);
    }
    return static_cast<int>(wait);
}

// Builds the watch list; false when it could not be built (out of memory, reported).
bool watch_list(Loop *loop) noexcept {
    try {
        loop->fds.clear();
        bool accepting = loop->accept_paused_until <= clock_ms();
        loop->fds.push_back({accepting ? loop->server->socket : -1, POLLIN, 0});
        for (const Conn *c : loop->conns)
            loop->fds.push_back({c->fd, static_cast<short>(c->replying ? POLLOUT : POLLIN), 0});
        return true;
    } catch (const std::bad_alloc &) {
        loop->error->report(loop->error, "Out of memory\n");
        return false;
    }
}

void forget_dropped(Loop *loop) noexcept {
    MOME_MEM_T *mem = loop->daemon->interm->mem;
    size_t kept = 0;
    for (Conn *c : loop->conns) {
        if (c->dropped)
            mem->free(mem, loop->server->pool_ref, c);
        else
            loop->conns[kept++] = c;
    }
    loop->conns.resize(kept);
}

// The timers become due once a period; the mark advances by one period, so a daemon that fell
// behind catches up one run per turn. A timer that fails has reported why; the daemon goes on.
void run_due_timers(Loop *loop) noexcept {
    MOU_UTIL_T *util = loop->daemon->interm->util;
    mou_datetime_t now = 0;
    util->get_current_datetime(util, &now);
    MODSK_SERVER_T *server = loop->server;
    if (now > server->last_timer_event && now - server->last_timer_event > MODSK_TIMER_PERIOD) {
        server->last_timer_event += MODSK_TIMER_PERIOD;
        run_timers(server);
    }
}

// Serves every client that is ready, one message each per turn, until a force quit. The daemon
// stops only then (or on a signal): a misbehaving client is dropped, a failing service or timer
// reports and the others are served on.
int main_loop(MOD_DAEMON_T *daemon, MODSK_SERVER_T *server) noexcept {
    Loop loop{daemon, server, daemon->interm->error, {}, {}, 0, FALSE};
    while (!loop.quit) {
        if (!watch_list(&loop)) {
            modsk_socket_pause(MODSK_ACCEPT_BACKOFF_MS);
            continue;
        }
        int n = poll(loop.fds.data(), loop.fds.size(), wait_ms(&loop));
        if (n < 0 && errno != EINTR) {
            loop.error->report(loop.error, "Can't select: %s\n", strerror(errno));
            modsk_socket_pause(MODSK_ACCEPT_BACKOFF_MS);
        }
        run_due_timers(&loop);
        if (n > 0) {
            // The connections accepted now join the watch list next turn.
            size_t watched = loop.fds.size() - 1;
            for (size_t i = 0; i < watched && !loop.quit; i++) {
                Conn *c = loop.conns[i];
                if (loop.fds[i + 1].revents == 0 || c->dropped)
                    continue;
                if (c->replying)
                    send_reply(&loop, c);
                else
                    read_request(&loop, c);
            }
            if (loop.fds[0].revents != 0 && !loop.quit)
                accept_clients(&loop);
        }
        drop_stalled(&loop);
        forget_dropped(&loop);
    }
    for (Conn *c : loop.conns)
        drop_client(&loop, c);
    forget_dropped(&loop);
    return 0;
}

// Steps before the main loop: socket, address, pid file, timer mark.

// The daemon serves every process of the installation over one connection each: it takes all the
// descriptors it may have.
void raise_descriptor_limit() noexcept {
    struct rlimit lim;
    if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
        lim.rlim_cur = lim.rlim_max;
        setrlimit(RLIMIT_NOFILE, &lim);
    }
}

int create_listener(MOIM_INTERM_T *interm, MODSK_SERVER_T *server) noexcept {
    MOE_ERROR_T *error = interm->error;
    // Close-on-exec: the indexer runs the daemon spawns must not hold the listening socket.
    // Non-blocking: the loop takes connections until none is left, and never waits in accept.
    server->socket = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (server->socket < 0) {
        error->report(error, "Can't create socket: %s\n", strerror(errno));
        return 1;
    }
    if (server->cleanup != nullptr) {
        int ret = server->cleanup->add(server->cleanup, "cleanup server daemon connection",
                                       cleanup_server_connection, server, nullptr);
        if (ret != 0)
            return ret;
    }
    return interm->signal->set(interm->signal, MOS_SIGPIPE, mos_signal_ignore);
}

// A socket file nobody answers on was left by a daemon that did not shut down; a live daemon's is
// left alone, since taking it over would split the locks between two daemons.
int remove_stale_socket(MOE_ERROR_T *error, const struct sockaddr_un *addr, const char *path) noexcept {
    struct stat st;
    if (lstat(path, &st) != 0)
        return 0;
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool alive =
        probe >= 0 && connect(probe, reinterpret_cast<const struct sockaddr *>(addr), sizeof(*addr)) == 0;
    if (probe >= 0)
        close(probe);
    if (alive) {
        error->report(error, "A daemon is already running on %s\n", path);
        return 1;
    }
    if (unlink(path) != 0) {
        error->report(error, "Can't remove socket %s: %s\n", path, strerror(errno));
        return 1;
    }
    error->report_warning(error, "Removed socket %s. Perhaps daemon was not shutdown correctly.\n", path);
    return 0;
}

int bind_and_listen(MOIM_INTERM_T *interm, MODSK_SERVER_T *server) noexcept {
    MOE_ERROR_T *error = interm->error;
    struct sockaddr_un addr;
    mo_filename_t path;
    if (build_address(interm, server->server_port, &addr, path, sizeof(path)) != 0) {
        error->report(error, "Can't bind socket to %s: %s\n", path, strerror(ENAMETOOLONG));
        return 1;
    }
    int ret = remove_stale_socket(error, &addr, path);
    if (ret != 0)
        return ret;
    if (bind(server->socket, reinterpret_cast<struct sockaddr *>(&addr), sizeof(addr)) != 0) {
        error->report(error, "Can't bind socket to %s: %s\n", path, strerror(errno));
        return 1;
    }
    ret = interm->file->mark_as_cleanup(interm->file, path);
    if (ret != 0)
        return ret;
    if (listen(server->socket, MODSK_BACKLOG) != 0) {
        error->report(error, "Socket listen: %s\n", strerror(errno));
        return 1;
    }
    error->report_note(error, "Setting up a socket on %s\n", path);
    return 0;
}

// The process id, without a line end, in the setup's pid file; removed at cleanup.
int write_pid_file(MOIM_INTERM_T *interm, const char *pid_text) noexcept {
    MOF_FILE_T *file = interm->file;
    const char *pid_file = interm->setup->daemon_pid_file;
    void *ref = nullptr;
    int ret = file->open_file(file, pid_file, &ref, MOF_MODE_WRITE);
    if (ret != 0)
        return ret;
    ret = file->write_buf(file, pid_file, ref, pid_text, strlen(pid_text));
    if (ret != 0) {
        // The write failure is the one to report.
        mo_boolean_t was_ignoring = interm->error->ignore;
        interm->error->ignore = TRUE;
        file->close_file(file, pid_file, ref);
        interm->error->ignore = was_ignoring;
        return ret;
    }
    ret = file->close_file(file, pid_file, ref);
    if (ret == 0)
        ret = file->mark_as_cleanup(file, pid_file);
    return ret;
}

int start_up(MOD_DAEMON_T *daemon, MODSK_SERVER_T *server) noexcept {
    MOIM_INTERM_T *interm = daemon->interm;
    MOE_ERROR_T *error = interm->error;
    MOU_UTIL_T *util = interm->util;

    mo_string_t pid_text = "";
    int ret = util->get_process_id(util, pid_text);
    if (ret != 0)
        return ret;
    error->report_note(error, "Daemon Starting (Rev %s, build %s-%s)", MOST_VERSION, MOST_BUILD,
                       MOST_PLATFORM);
    raise_descriptor_limit();
    ret = create_listener(interm, server);
    if (ret == 0)
        ret = bind_and_listen(interm, server);
    if (ret == 0)
        ret = write_pid_file(interm, pid_text);
    if (ret == 0)
        ret = util->get_current_datetime(util, &server->last_timer_event);
    return ret;
}

// In the daemon itself the record holds the server, not a connection: a call to the daemon from
// inside it could never be answered, so the client operations refuse instead of misreading it.
int refuse_get_data(MOD_DAEMON_T *daemon, void **data_ptr, int) noexcept {
    *data_ptr = nullptr;
    daemon->interm->error->report(daemon->interm->error, "Daemon Connection Closed\n");
    return 1;
}
int refuse_gen_call(MOD_DAEMON_T *daemon, int, void *) noexcept {
    daemon->interm->error->report(daemon->interm->error, "Daemon Connection Closed\n");
    return 1;
}
int refuse_client_end(MOD_DAEMON_T *) noexcept {
    return 0;
}

MODSK_SERVER_T *server_of(MOD_DAEMON_T *daemon) noexcept {
    return static_cast<MODSK_SERVER_T *>(daemon->ref);
}
MODSK_CLIENT_T *client_of(MOD_DAEMON_T *daemon) noexcept {
    return static_cast<MODSK_CLIENT_T *>(daemon->ref);
}

// After a failed call the connection is out of step (a late reply would answer the next call), so it
// is closed; a later call opens a fresh one.
int fail_call(MODSK_CLIENT_T *client) noexcept {
    if (client->socket >= 0) {
        close(client->socket);
        client->socket = -1;
    }
    return 1;
}

int exchange(MODSK_CLIENT_T *client, MOE_ERROR_T *error, int instr) noexcept {
    client->msg->instr = instr;
    int err = 0;
    if (write_record(client->socket, client->msg, &err) != 0) {
        if (err == EPIPE || err == ECONNRESET) {
            error->report(error, "Daemon Connection Closed\n");
            return 1;
        }
        error->report(error, "Write of socket (%d) Failed: %s\n", client->socket, strerror(err));
        return 1;
    }
    size_t got = 0;
    switch (read_record(client->socket, client->msg, &got, MODSK_READ_TIMEOUT, &err)) {
        case ReadResult::whole:
            return 0;
        case ReadResult::closed:
            error->report(error, "Daemon Connection Closed\n");
            return 1;
        case ReadResult::failed:
            if (err == ECONNRESET) {
                error->report(error, "Daemon Connection Closed\n");
                return 1;
            }
            error->report(error, "Read of socket (%d) Failed: %s\n", client->socket, strerror(err));
            return 1;
        case ReadResult::timed_out:
            error->report(error, "Timeout occurred during read of socket (%d)\n", client->socket);
            return 1;
        case ReadResult::select_failed:
            error->report(error, "Select during read of socket (%d) Failed: %s\n", client->socket,
                          strerror(err));
            return 1;
    }
    return 1;
}

// Connects the client to its daemon: a few immediate attempts. Problems go into error_string (an
// empty mo_string_t on entry), for the caller to report; the socket stays -1 then.
void connect_client(MOD_DAEMON_T *daemon, MODSK_CLIENT_T *client, char *error_string) noexcept {
    struct sockaddr_un addr;
    mo_filename_t path;
    if (build_address(daemon->interm, client->server_port, &addr, path, sizeof(path)) != 0) {
        snprintf(error_string, MO_STRING_LEN, "Can't connect to socket %s: %s\n", path,
                 strerror(ENAMETOOLONG));
        return;
    }
    int err = 0;
    for (int attempt = 0; attempt < MODSK_CONNECT_TRIES; attempt++) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            snprintf(error_string, MO_STRING_LEN, "Can't create socket: %s\n", strerror(errno));
            return;
        }
        if (connect(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof(addr)) == 0) {
            client->socket = fd;
            return;
        }
        err = errno;
        close(fd);
    }
    snprintf(error_string, MO_STRING_LEN, "Can't connect to socket %s: %s\n", path, strerror(err));
}

} // namespace

const MOD_DAEMON_T modsk_socket_slots = {
    .interm = nullptr,
    .ref = nullptr,
    .server_init = modsk_server_init,
    .client_init = modsk_client_init,
    .server_start = modsk_server_start,
    .client_start = modsk_client_start,
    .client_end = modsk_client_end,
    .call_force_quit = modsk_call_force_quit,
    .add_service = modsk_add_service,
    .add_timer_service = modsk_add_timer_service,
    .get_data = modsk_get_data,
    .gen_call = modsk_gen_call,
};

int modsk_socket_construct(MOD_DAEMON_T *daemon) noexcept {
    // Every slot from the table; the record's state stays as constructed.
    MOIM_INTERM_T *interm = daemon->interm;
    void *ref = daemon->ref;
    *daemon = modsk_socket_slots;
    daemon->interm = interm;
    daemon->ref = ref;
    return 0;
}

void modsk_socket_pause(int milliseconds) noexcept {
    struct timespec ts = {milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int modsk_server_init(MOD_DAEMON_T *daemon, void *pool_ref, const char *server_port,
                      MOCL_CLEANUP_T *cleanup) noexcept {
    MOME_MEM_T *mem = daemon->interm->mem;
    MODSK_SERVER_T *server = nullptr;
    int ret = mome_new(mem, pool_ref, &server);
    if (ret != 0)
        return ret;
    server->pool_ref = pool_ref;
    server->socket = -1;
    server->cleanup = cleanup;
    ret = mem->store_string(mem, pool_ref, &server->server_port, server_port != nullptr ? server_port : "");
    if (ret == 0)
        ret = mols_list_new(&server->service_list, pool_ref, mem);
    if (ret == 0)
        ret = mols_list_new(&server->timer_service_list, pool_ref, mem);
    if (ret != 0)
        return ret;
    daemon->ref = server;
    daemon->get_data = refuse_get_data;
    daemon->gen_call = refuse_gen_call;
    daemon->client_end = refuse_client_end;
    return 0;
}

int modsk_add_service(MOD_DAEMON_T *daemon, int instr, mod_service_fn_t fn, void *ref) noexcept {
    MOLS_LIST_T *list = server_of(daemon)->service_list;
    return list->add(list, nullptr, FALSE, instr, reinterpret_cast<void *>(fn), ref);
}

int modsk_add_timer_service(MOD_DAEMON_T *daemon, mod_timer_fn_t fn, void *ref) noexcept {
    MOLS_LIST_T *list = server_of(daemon)->timer_service_list;
    return list->add(list, nullptr, FALSE, 0, reinterpret_cast<void *>(fn), ref);
}

int modsk_server_start(MOD_DAEMON_T *daemon) noexcept {
    MODSK_SERVER_T *server = server_of(daemon);
    MOE_ERROR_T *error = daemon->interm->error;
    int ret = start_up(daemon, server);
    if (ret == 0)
        ret = main_loop(daemon, server);
    if (server->socket >= 0) {
        int fd = server->socket;
        server->socket = -1;
        if (close(fd) != 0) {
            error->report(error, "Can't close socket: %s\n", strerror(errno));
            if (ret == 0)
                ret = 1;
        }
    }
    return ret;
}

int modsk_client_init(MOD_DAEMON_T *daemon, void *pool_ref, const char *server_port) noexcept {
    MOME_MEM_T *mem = daemon->interm->mem;
    MODSK_CLIENT_T *client = nullptr;
    int ret = mome_new(mem, pool_ref, &client);
    if (ret == 0)
        ret = mome_new(mem, pool_ref, &client->msg);
    if (ret == 0)
        ret =
            mem->store_string(mem, pool_ref, &client->server_port, server_port != nullptr ? server_port : "");
    if (ret != 0)
        return ret;
    client->pool_ref = pool_ref;
    client->socket = -1;
    client->cleanup = nullptr;
    client->may_reconnect = FALSE;
    daemon->ref = client;
    return 0;
}

int modsk_client_start(MOD_DAEMON_T *daemon, MOCL_CLEANUP_T *cleanup, char *error_string) noexcept {
    MODSK_CLIENT_T *client = client_of(daemon);
    if (client->socket >= 0) {
        // A second start replaces the connection rather than leaving the first one open.
        close(client->socket);
        client->socket = -1;
    }
    connect_client(daemon, client, error_string);
    if (client->socket < 0)
        return 0;
    client->may_reconnect = TRUE;
    if (cleanup != nullptr && client->cleanup != cleanup) {
        client->cleanup = cleanup;
        return cleanup->add(cleanup, "cleanup client daemon connection", cleanup_client_connection, client,
                            nullptr);
    }
    return 0;
}

int modsk_client_end(MOD_DAEMON_T *daemon) noexcept {
    MODSK_CLIENT_T *client = client_of(daemon);
    if (client == nullptr)
        return 0;
    client->may_reconnect = FALSE;
    if (client->socket < 0)
        return 0;
    int fd = client->socket;
    client->socket = -1;
    if (close(fd) != 0) {
        daemon->interm->error->report(daemon->interm->error, "Can't close socket: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

int modsk_get_data(MOD_DAEMON_T *daemon, void **data_ptr, int data_size) noexcept {
    if (data_size > MOD_MSG_DATA_SIZE) {
        daemon->interm->error->report(daemon->interm->error, "daemon gen message data size greater than %d\n",
                                      MOD_MSG_DATA_SIZE);
        return 1;
    }
    *data_ptr = client_of(daemon)->msg->data;
    return 0;
}

int modsk_gen_call(MOD_DAEMON_T *daemon, int instr, void *) noexcept {
    MODSK_CLIENT_T *client = client_of(daemon);
    MOE_ERROR_T *error = daemon->interm->error;
    if (client->socket < 0 && client->may_reconnect) {
        mo_string_t why = "";
        connect_client(daemon, client, why);
    }
    if (client->socket < 0) {
        error->report(error, "Daemon Connection Closed\n");
        return 1;
    }
    int ret = exchange(client, error, instr);
    if (ret != 0)
        fail_call(client);
    return ret;
}

int modsk_call_force_quit(MOD_DAEMON_T *daemon) noexcept {
    void *data = nullptr;
    int ret = daemon->get_data(daemon, &data, 4);
    if (ret == 0)
        ret = daemon->gen_call(daemon, MOD_INSTR_FORCE_QUIT, data);
    return ret;
}
