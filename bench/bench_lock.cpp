// Lock service throughput: lock calls per second against a real daemon process, from one client
// and from four client processes at once, beside a bare ping-pong of 2004-byte records over a local
// socket on the same machine.
#include "daemon/modsk_socket_daemon.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "support/bundle.h"
#include "support/daemon.h"

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

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One client's cycles; returns 0 when every call succeeded.
int run_client(const std::string &port, int index) {
    mot_test::Bundle b;
    std::string err = b.connect(port, {.user = "bench", .machine = "localhost", .use_cleanup = false});
    if (!err.empty()) {
        fprintf(stderr, "%s", err.c_str());
        return 1;
    }
    MOLK_LOCK_CALL_T *lock = b.aux->req->lock_call;
    std::string file = "/data/bench_" + std::to_string(index);
    for (int i = 0; i < CYCLES; i++) {
        int n = 0;
        if (lock->file_lock(lock, MOLK_FILE_READ, file.c_str(), "Bench Data", nullptr) != 0 ||
            lock->file_lock(lock, MOLK_FILE_READ_RELEASE, file.c_str(), "Bench Data", nullptr) != 0 ||
            lock->file_lock(lock, MOLK_FILE_MOD_GET, file.c_str(), "Bench Data", &n) != 0)
            return 1;
    }
    return 0;
}

// Calls per second of `clients` processes running at once.
double lock_rate(const std::string &port, int clients) {
    auto start = std::chrono::steady_clock::now();
    pid_t pids[8];
    for (int c = 0; c < clients; c++) {
        pids[c] = fork();
        if (pids[c] == 0)
            _exit(run_client(port, c));
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
    mot_test::DaemonProcess daemon(mot_test::DaemonOptions{.log = "/dev/null"});
    if (!daemon.running()) {
        fprintf(stderr, "the daemon did not start\n");
        return 1;
    }
    const std::string &port = daemon.port;

    // The machine is shared: each figure is the best of three runs.
    double one = 0, four = 0, bare_one = 0, bare_four = 0;
    for (int run = 0; run < 3; run++) {
        one = std::max(one, lock_rate(port, 1));
        four = std::max(four, lock_rate(port, 4));
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

    return 0;
}
