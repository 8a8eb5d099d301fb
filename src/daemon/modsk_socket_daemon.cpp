// The daemon's transport over a local stream socket. The server multiplexes every client with
// select and serves one message per loop turn, so the services it dispatches to run with exclusive
// access to their state. A client keeps one connection for its whole run and makes synchronous calls.
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

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#define MODSK_REVISION "3.3"
#define MODSK_BUILD "180"
#define MODSK_PLATFORM "linux"

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

// Closes a client connection the daemon is done with; returns non-zero when close failed.
int drop_client(MOE_ERROR_T *error, int fd, fd_set *watched) noexcept {
    FD_CLR(fd, watched);
    if (close(fd) != 0) {
        error->report(error, "Can't close socket: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

// Serves one message of a ready client. Returns the daemon's status: non-zero stops the daemon.
int serve_client(MOD_DAEMON_T *daemon, MODSK_SERVER_T *server, int fd, fd_set *watched, MODSK_MSG_CONT_T *msg,
                 mo_boolean_t *quit) noexcept {
    MOE_ERROR_T *error = daemon->interm->error;
    size_t got = 0;
    int err = 0;
    // The rest of a record a client has begun is due at once (clients write a record in one call);
    // waiting the full receive timeout for it would make every other client's call time out.
    ReadResult r = read_record(fd, msg, &got, MODSK_PIECE_WAIT, &err);
    switch (r) {
        case ReadResult::whole:
            break;
        case ReadResult::closed:
            // A peer that went away in the middle of a record sent no message.
            return drop_client(error, fd, watched);
        case ReadResult::failed:
            error->report_warning(error, "Read of socket (%d) Failed: %s\n", fd, strerror(err));
            drop_client(error, fd, watched);
            return 0;
        case ReadResult::timed_out:
            // Only one client's record is incomplete; the daemon serves the others on.
            error->report_warning(error, "Timeout occurred during read of socket (%d)\n", fd);
            drop_client(error, fd, watched);
            return 0;
        case ReadResult::select_failed:
            error->report_warning(error, "Select during read of socket (%d) Failed: %s\n", fd, strerror(err));
            drop_client(error, fd, watched);
            return 0;
    }

    int ret = 0;
    if (msg->instr == MOD_INSTR_FORCE_QUIT)
        *quit = TRUE;
    else
        ret = dispatch(daemon, server, msg);
    if (ret != 0)
        return ret;
    if (write_record(fd, msg, &err) != 0) {
        // The client left before its answer; the daemon goes on serving the others.
        error->report_warning(error, "Write of socket (%d) Failed: %s\n", fd, strerror(err));
        drop_client(error, fd, watched);
    }
    return 0;
}

int accept_client(MOE_ERROR_T *error, MODSK_SERVER_T *server, fd_set *watched, int *max_fd) noexcept {
    int fd;
    do {
        fd = accept4(server->socket, nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A connection given up before it was accepted is no reason to stop serving.
        if (errno == ECONNABORTED || errno == EPROTO || errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        error->report(error, "Can't accept new connection: %s\n", strerror(errno));
        return 1;
    }
    if (fd >= FD_SETSIZE) {
        // select cannot watch it; taking it would write past the descriptor set.
        error->report_warning(error, "Too many daemon connections, refused descriptor %d\n", fd);
        close(fd);
        return 0;
    }
    FD_SET(fd, watched);
    if (fd > *max_fd)
        *max_fd = fd;
    return 0;
}

int main_loop(MOD_DAEMON_T *daemon, MODSK_SERVER_T *server) noexcept {
    MOE_ERROR_T *error = daemon->interm->error;
    MOU_UTIL_T *util = daemon->interm->util;
    MODSK_MSG_CONT_T msg;
    fd_set watched;
    FD_ZERO(&watched);
    FD_SET(server->socket, &watched);
    int max_fd = server->socket;
    mo_boolean_t quit = FALSE;
    int ret = 0;

    while (ret == 0 && !quit) {
        fd_set ready = watched;
        struct timeval tv = {MODSK_SELECT_WAIT, 0};
        int n = select(max_fd + 1, &ready, nullptr, nullptr, &tv);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error->report(error, "Can't select: %s\n", strerror(errno));
            ret = 1;
            break;
        }

        // The mark advances by one period, so a daemon that fell behind catches up one run per turn.
        mou_datetime_t now = 0;
        util->get_current_datetime(util, &now);
        if (now > server->last_timer_event && now - server->last_timer_event > MODSK_TIMER_PERIOD) {
            server->last_timer_event += MODSK_TIMER_PERIOD;
            ret = run_timers(server);
            if (ret != 0)
                break;
        }
        if (n == 0)
            continue;

        int fd = -1;
        for (int i = 0; i <= max_fd; i++) {
            if (FD_ISSET(i, &ready)) {
                fd = i;
                break;
            }
        }
        if (fd < 0) {
            error->report(error, "No fd was set in daemon server start %d\n", max_fd);
            ret = 1;
            break;
        }
        if (fd == server->socket)
            ret = accept_client(error, server, &watched, &max_fd);
        else
            ret = serve_client(daemon, server, fd, &watched, &msg, &quit);
    }

    for (int i = 0; i <= max_fd; i++) {
        if (i != server->socket && FD_ISSET(i, &watched))
            close(i);
    }
    return ret;
}

// Steps before the main loop: socket, address, pid file, timer mark.
int start_up(MOD_DAEMON_T *daemon, MODSK_SERVER_T *server) noexcept {
    MOIM_INTERM_T *interm = daemon->interm;
    MOE_ERROR_T *error = interm->error;
    MOU_UTIL_T *util = interm->util;

    mo_string_t pid_text = "";
    int ret = util->get_process_id(util, pid_text);
    if (ret != 0)
        return ret;
    error->report_note(error, "Daemon Starting (Rev %s, build %s-%s)", MODSK_REVISION, MODSK_BUILD,
                       MODSK_PLATFORM);

    server->socket = socket(AF_UNIX, SOCK_STREAM, 0);
    if (server->socket < 0) {
        error->report(error, "Can't create socket: %s\n", strerror(errno));
        return 1;
    }
    // Daemons started by a parent must not hand the listening socket to the indexer runs they spawn.
    fcntl(server->socket, F_SETFD, FD_CLOEXEC);
    if (server->cleanup != nullptr) {
        ret = server->cleanup->add(server->cleanup, "cleanup server daemon connection",
                                   cleanup_server_connection, server, nullptr);
        if (ret != 0)
            return ret;
    }
    ret = interm->signal->set(interm->signal, MOS_SIGPIPE, mos_signal_ignore);
    if (ret != 0)
        return ret;

    struct sockaddr_un addr;
    mo_filename_t path;
    if (build_address(interm, server->server_port, &addr, path, sizeof(path)) != 0) {
        error->report(error, "Can't bind socket to %s: %s\n", path, strerror(ENAMETOOLONG));
        return 1;
    }
    struct stat st;
    if (lstat(path, &st) == 0) {
        // Only a socket nobody answers on is stale; taking over a live daemon's socket would split the
        // locks between two daemons.
        int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bool alive =
            probe >= 0 && connect(probe, reinterpret_cast<struct sockaddr *>(&addr), sizeof(addr)) == 0;
        if (probe >= 0)
            close(probe);
        if (alive) {
            error->report(error, "A daemon is already running on %s\n", path);
            return 1;
        }
        unlink(path);
        error->report_warning(error, "Removed socket %s. Perhaps daemon was not shutdown correctly.\n", path);
    }
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

    const char *pid_file = interm->setup->daemon_pid_file;
    int pfd = open(pid_file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (pfd < 0) {
        error->report(error, "Can't open file %s: %s\n", pid_file, strerror(errno));
        return 1;
    }
    size_t len = strlen(pid_text);
    ssize_t w = write(pfd, pid_text, len);
    int werr = errno;
    close(pfd);
    if (w != static_cast<ssize_t>(len)) {
        error->report(error, "Can't write to file %s: %s\n", pid_file, strerror(w < 0 ? werr : ENOSPC));
        return 1;
    }
    ret = interm->file->mark_as_cleanup(interm->file, pid_file);
    if (ret != 0)
        return ret;

    return util->get_current_datetime(util, &server->last_timer_event);
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
    daemon->server_init = modsk_socket_slots.server_init;
    daemon->client_init = modsk_socket_slots.client_init;
    daemon->server_start = modsk_socket_slots.server_start;
    daemon->client_start = modsk_socket_slots.client_start;
    daemon->client_end = modsk_socket_slots.client_end;
    daemon->call_force_quit = modsk_socket_slots.call_force_quit;
    daemon->add_service = modsk_socket_slots.add_service;
    daemon->add_timer_service = modsk_socket_slots.add_timer_service;
    daemon->get_data = modsk_socket_slots.get_data;
    daemon->gen_call = modsk_socket_slots.gen_call;
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
