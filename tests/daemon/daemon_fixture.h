// A daemon and its clients for tests: the daemon runs the real server loop in a forked child on
// its own socket (/tmp/morvale.<port>, the port unique per test), clients talk to it over the real
// socket. The bundle holds the real error, memory, utility, signal and file services and the two
// request cleanup lists, as the program entry builds them.
#pragma once

#include "platform/mocl_cleanup.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "daemon/molk_lock.h"
#include "platform/mome_mem_cmn.h"
#include "daemon/morq_req.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_signal.h"
#include "platform/moux_unix_util.h"
#include "test_bundle.h"
#include "test_util.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mot_test {

// Memory of one bundle. Pools are the process heap and records are never freed one by one, so
// the bundle remembers every block it handed out and gives them all back when it ends.
inline std::map<MOME_MEM_T *, std::set<void *>> &tracked_blocks() {
    static std::map<MOME_MEM_T *, std::set<void *>> blocks;
    return blocks;
}
inline int tracked_malloc(MOME_MEM_T *mem, void *pool, void **out, size_t size) noexcept {
    int ret = moux_mem_malloc(mem, pool, out, size);
    if (ret == 0)
        tracked_blocks()[mem].insert(*out);
    return ret;
}
inline int tracked_free(MOME_MEM_T *mem, void *pool, void *block) noexcept {
    tracked_blocks()[mem].erase(block);
    return moux_mem_free(mem, pool, block);
}
inline int tracked_store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    int ret = moux_mem_store_string(mem, pool, location, source);
    if (ret == 0)
        tracked_blocks()[mem].insert(*location);
    return ret;
}
inline int tracked_restore_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    if (*location != nullptr)
        tracked_blocks()[mem].erase(*location);
    int ret = moux_mem_restore_string(mem, pool, location, source);
    if (*location != nullptr)
        tracked_blocks()[mem].insert(*location);
    return ret;
}

// A unique socket name per daemon of this test process.
inline std::string unique_port() {
    static int counter = 0;
    return "t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

inline std::string socket_path(const std::string &port) {
    return "/tmp/morvale." + port;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The services a daemon or a client process needs.
struct DaemonBundle {
    LowBundle lb;
    MOIM_INTERM_T interm{};
    MOU_UTIL_T *util = nullptr;
    MOS_SIGNAL_T *signal = nullptr;
    MOF_FILE_T *file = nullptr;
    MOCL_CLEANUP_T *cleanup = nullptr; // "Request-Fatal"
    MOCL_CLEANUP_T *always = nullptr;  // "Request-Always": temporary files
    MOST_SETUP_T *setup = nullptr;
    MOD_DAEMON_T *daemon = nullptr;

    explicit DaemonBundle(const std::string &pid_file = "/tmp/mo_daemon_test.pid") {
        lb.mem.malloc = tracked_malloc;
        lb.mem.free = tracked_free;
        lb.mem.store_string = tracked_store_string;
        lb.mem.restore_string = tracked_restore_string;
        mou_util_construct(&util, lb.low, &moux_util_slots);
        mos_signal_construct(&signal, lb.low, &moux_signal_slots);
        mocl_cleanup_new(&cleanup, nullptr, &lb.mem, signal, "Request-Fatal");
        mocl_cleanup_new(&always, nullptr, &lb.mem, signal, "Request-Always");
        mof_file_construct(&file, lb.low, &moux_file_slots);
        file->init(file, nullptr, always, "", nullptr);
        mome_new(&lb.mem, nullptr, &setup);
        snprintf(setup->daemon_socket_dir, sizeof(setup->daemon_socket_dir), "/tmp");
        snprintf(setup->daemon_pid_file, sizeof(setup->daemon_pid_file), "%s", pid_file.c_str());
        interm.file = file;
        interm.util = util;
        interm.signal = signal;
        interm.setup = setup;
        interm.low = lb.low;
        interm.mem = &lb.mem;
        interm.error = &lb.error;
        mod_daemon_construct(&daemon, &interm);
        modsk_socket_construct(daemon);
    }
    ~DaemonBundle() {
        auto &blocks = tracked_blocks()[&lb.mem];
        blocks.erase(lb.low); // the low bundle gives its own record back
        for (void *block : blocks)
            moux_mem_free(&lb.mem, nullptr, block);
        tracked_blocks().erase(&lb.mem);
        lb.mem.free = moux_mem_free;
    }
    DaemonBundle(const DaemonBundle &) = delete;
    DaemonBundle &operator=(const DaemonBundle &) = delete;
};

// Extra services a test daemon can carry, registered besides the lock service.
using ServerSetup = std::function<void(DaemonBundle &)>;

// A daemon running the real main loop in a child process.
struct DaemonProcess {
    std::string port;
    std::string pid_file;
    std::string log; // the daemon's standard error
    pid_t pid = -1;
    int status = -1; // exit status once reaped

    explicit DaemonProcess(const ServerSetup &extra = nullptr, bool start_now = true) {
        port = unique_port();
        pid_file = "/tmp/mo_daemon_" + port + ".pid";
        log = "/tmp/mo_daemon_" + port + ".log";
        if (start_now)
            start(extra);
    }

    void start(const ServerSetup &extra = nullptr) {
        fflush(stdout);
        fflush(stderr);
        pid = fork();
        if (pid == 0) {
            int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 2);
            close(fd);
            DaemonBundle b(pid_file);
            int ret = b.daemon->server_init(b.daemon, nullptr, port.c_str(), b.cleanup);
            if (ret == 0)
                ret = molk_daemon_construct(nullptr, &b.lb.error, b.daemon, b.util, &b.interm, &b.lb.mem);
            if (ret == 0 && extra)
                extra(b);
            if (ret == 0)
                ret = b.daemon->server_start(b.daemon);
            // The end of the request: the daemon's socket and pid files go with the "Request-Always" list.
            b.always->stop_print(b.always);
            b.always->run(b.always);
            _exit(ret);
        }
        wait_until_listening();
    }

    void wait_until_listening() {
        struct sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", socket_path(port).c_str());
        for (int i = 0; i < 500; i++) {
            int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (connect(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof(addr)) == 0) {
                close(fd);
                return;
            }
            close(fd);
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return;
            }
            usleep(10000);
        }
    }

    bool running() {
        if (pid < 0)
            return false;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        return true;
    }

    // Waits up to the given time for the daemon to end; its exit status, or -1 when still running.
    int wait_exit(int seconds = 10) {
        for (int i = 0; i < seconds * 100 && pid > 0; i++) {
            if (!running())
                break;
            usleep(10000);
        }
        if (pid > 0)
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string output() const { return read_file(log); }

    ~DaemonProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        unlink(socket_path(port).c_str());
        unlink(pid_file.c_str());
        unlink(log.c_str());
    }
};

// One client process's connection and lock client.
struct Client {
    DaemonBundle b;
    MORQ_REQ_T *req = nullptr;
    MOLK_LOCK_CALL_T *lock = nullptr;
    mo_string_t error_string = "";
    int start_status = -1;

    Client(const std::string &port, const char *user = "alice", int sender_id = 0,
           MOCL_CLEANUP_T *cleanup_fatal = nullptr) {
        b.daemon->client_init(b.daemon, nullptr, port.c_str());
        start_status = b.daemon->client_start(b.daemon, nullptr, error_string);
        morq_req_construct(&req, &b.lb.error, b.daemon, b.util, &b.lb.mem, nullptr);
        lock = req->lock_call;
        lock->init(lock, user, "host1", "agent", sender_id != 0 ? sender_id : static_cast<int>(getpid()),
                   cleanup_fatal);
    }
    ~Client() { b.daemon->client_end(b.daemon); }

    // Sends one lock message as built by fill and gives the reply.
    MOLK_LOCK_MSG_T *raw(const std::function<void(MOLK_LOCK_MSG_T *)> &fill, int *ret_out = nullptr) {
        void *data = nullptr;
        b.daemon->get_data(b.daemon, &data, sizeof(MOLK_LOCK_MSG_T));
        auto *msg = static_cast<MOLK_LOCK_MSG_T *>(data);
        memset(msg, 0, sizeof(*msg));
        msg->sender_id = lock->sender_id;
        snprintf(msg->user_id, sizeof(msg->user_id), "%s", lock->user_id);
        msg->read_timeout = MOLK_READ_TIMEOUT;
        msg->write_timeout = MOLK_WRITE_TIMEOUT;
        fill(msg);
        int ret = b.daemon->gen_call(b.daemon, MOLK_INSTR, msg);
        if (ret_out != nullptr)
            *ret_out = ret;
        return msg;
    }

    std::string list() {
        const char *text = nullptr;
        if (lock->list(lock, &text) != 0 || text == nullptr)
            return "<failed>";
        return text;
    }
};

// A bare connection for sending malformed traffic.
inline int raw_connect(const std::string &port) {
    struct sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", socket_path(port).c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads exactly n bytes (or until the peer closes); gives how many arrived.
inline size_t read_all(int fd, void *buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = read(fd, static_cast<char *>(buf) + got, n - got);
        if (r <= 0)
            break;
        got += static_cast<size_t>(r);
    }
    return got;
}

} // namespace mot_test
