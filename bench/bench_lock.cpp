// Lock service throughput: lock calls per second against a real daemon process, from one client
// and from four client processes at once, beside a bare ping-pong of 2004-byte records over a local
// socket on the same machine.
#include "platform/mocl_cleanup.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "daemon/molk_lock.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "platform/mome_mem_cmn.h"
#include "daemon/morq_req.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_mem.h"
#include "platform/moux_unix_signal.h"
#include "platform/moux_unix_util.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const int CYCLES = 10000; // per client: read lock, release, modification number

struct Bundle {
    MOE_ERROR_T error{};
    MOLT_LOWEST_T lowest{};
    MOME_MEM_T mem{};
    MOL_LOW_T *low = nullptr;
    MOIM_INTERM_T interm{};
    MOU_UTIL_T *util = nullptr;
    MOS_SIGNAL_T *signal = nullptr;
    MOF_FILE_T *file = nullptr;
    MOCL_CLEANUP_T *always = nullptr;
    MOST_SETUP_T *setup = nullptr;
    MOD_DAEMON_T *daemon = nullptr;

    explicit Bundle(const std::string &pid_file) {
        moe_error_construct(&error, &moux_error_slots);
        error.init(&error, nullptr, TRUE);
        molt_lowest_construct(&lowest, &error);
        mome_mem_construct(&mem, &lowest, &moux_mem_slots);
        mol_low_construct(&low, &lowest, &mem);
        mou_util_construct(&util, low, &moux_util_slots);
        mos_signal_construct(&signal, low, &moux_signal_slots);
        mocl_cleanup_new(&always, nullptr, &mem, signal, "Request-Always");
        mof_file_construct(&file, low, &moux_file_slots);
        file->init(file, nullptr, always, "", nullptr);
        mome_new(&mem, nullptr, &setup);
        snprintf(setup->daemon_socket_dir, sizeof(setup->daemon_socket_dir), "/tmp");
        snprintf(setup->daemon_pid_file, sizeof(setup->daemon_pid_file), "%s", pid_file.c_str());
        interm = {file, util, signal, setup, nullptr, nullptr, low, &mem, &error};
        mod_daemon_construct(&daemon, &interm);
        modsk_socket_construct(daemon);
    }
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One client's cycles; returns 0 when every call succeeded.
int run_client(const std::string &port, const std::string &pid_file, int index) {
    Bundle b(pid_file);
    mo_string_t err = "";
    b.daemon->client_init(b.daemon, nullptr, port.c_str());
    b.daemon->client_start(b.daemon, nullptr, err);
    if (err[0] != '\0') {
        fprintf(stderr, "%s", err);
        return 1;
    }
    MORQ_REQ_T *req = nullptr;
    morq_req_construct(&req, &b.error, b.daemon, b.util, &b.mem, nullptr);
    MOLK_LOCK_CALL_T *lock = req->lock_call;
    lock->init(lock, "bench", "localhost", "", static_cast<int>(getpid()), nullptr);
    std::string file = "/data/bench_" + std::to_string(index);
    for (int i = 0; i < CYCLES; i++) {
        int n = 0;
        if (lock->file_lock(lock, MOLK_FILE_READ, file.c_str(), "Bench Data", nullptr) != 0 ||
            lock->file_lock(lock, MOLK_FILE_READ_RELEASE, file.c_str(), "Bench Data", nullptr) != 0 ||
            lock->file_lock(lock, MOLK_FILE_MOD_GET, file.c_str(), "Bench Data", &n) != 0)
            return 1;
    }
    b.daemon->client_end(b.daemon);
    return 0;
}

// Calls per second of `clients` processes running at once.
double lock_rate(const std::string &port, const std::string &pid_file, int clients) {
    auto start = std::chrono::steady_clock::now();
    pid_t pids[8];
    for (int c = 0; c < clients; c++) {
        pids[c] = fork();
        if (pids[c] == 0)
            _exit(run_client(port, pid_file, c));
    }
    bool ok = true;
    for (int c = 0; c < clients; c++) {
        int status = 0;
        waitpid(pids[c], &status, 0);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    double secs = seconds_since(start);
    if (!ok)
        fprintf(stderr, "a client failed\n");
    return 3.0 * CYCLES * clients / secs;
}

// Round trips per second of bare 2004-byte records between `pairs` pairs of processes.
double ping_pong_rate(int pairs) {
    auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> pids;
    for (int p = 0; p < pairs; p++) {
        int sv[2];
        socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
        pid_t echo = fork();
        if (echo == 0) {
            close(sv[0]);
            char buf[MODSK_MSG_SIZE];
            for (;;) {
                size_t got = 0;
                while (got < sizeof(buf)) {
                    ssize_t n = read(sv[1], buf + got, sizeof(buf) - got);
                    if (n <= 0)
                        _exit(0);
                    got += static_cast<size_t>(n);
                }
                if (write(sv[1], buf, sizeof(buf)) != static_cast<ssize_t>(sizeof(buf)))
                    _exit(1);
            }
        }
        pid_t caller = fork();
        if (caller == 0) {
            close(sv[1]);
            char buf[MODSK_MSG_SIZE] = {};
            for (int i = 0; i < 3 * CYCLES; i++) {
                if (write(sv[0], buf, sizeof(buf)) != static_cast<ssize_t>(sizeof(buf)))
                    _exit(1);
                size_t got = 0;
                while (got < sizeof(buf)) {
                    ssize_t n = read(sv[0], buf + got, sizeof(buf) - got);
                    if (n <= 0)
                        _exit(1);
                    got += static_cast<size_t>(n);
                }
            }
            close(sv[0]);
            _exit(0);
        }
        close(sv[0]);
        close(sv[1]);
        pids.push_back(caller);
        pids.push_back(echo);
    }
    for (pid_t p : pids)
        waitpid(p, nullptr, 0);
    return 3.0 * CYCLES * pairs / seconds_since(start);
}

} // namespace

int main() {
    std::string port = "bench" + std::to_string(getpid());
    std::string pid_file = "/tmp/mo_bench_" + port + ".pid";
    std::string socket_path = "/tmp/morvale." + port;
    pid_t daemon_pid = fork();
    if (daemon_pid == 0) {
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 2);
        close(null_fd);
        Bundle b(pid_file);
        int ret = b.daemon->server_init(b.daemon, nullptr, port.c_str(), nullptr);
        if (ret == 0)
            ret = molk_daemon_construct(nullptr, &b.error, b.daemon, b.util, &b.interm, &b.mem);
        if (ret == 0)
            ret = b.daemon->server_start(b.daemon);
        _exit(ret);
    }
    for (int i = 0; i < 500 && access(socket_path.c_str(), F_OK) != 0; i++)
        usleep(10000);
    usleep(50000);

    // The machine is shared: each figure is the best of three runs.
    double one = 0, four = 0, bare_one = 0, bare_four = 0;
    for (int run = 0; run < 3; run++) {
        one = std::max(one, lock_rate(port, pid_file, 1));
        four = std::max(four, lock_rate(port, pid_file, 4));
        bare_one = std::max(bare_one, ping_pong_rate(1));
        bare_four = std::max(bare_four, ping_pong_rate(4));
    }

    printf("lock calls (read lock, release, modification number), %d cycles per client, best of 3\n", CYCLES);
    printf("  1 client : %10.0f calls/s\n", one);
    printf("  4 clients: %10.0f calls/s (all served by the one daemon process)\n", four);
    printf("bare 2004-byte ping-pong over a local socket\n");
    printf("  1 pair   : %10.0f round trips/s\n", bare_one);
    printf("  4 pairs  : %10.0f round trips/s (four echo processes)\n", bare_four);
    printf("ratio lock/bare: 1 client %.2f; 4 clients against 1 pair %.2f, against 4 pairs %.2f\n",
           one / bare_one, four / bare_one, four / bare_four);

    kill(daemon_pid, SIGKILL);
    waitpid(daemon_pid, nullptr, 0);
    unlink(socket_path.c_str());
    unlink(pid_file.c_str());
    return 0;
}
