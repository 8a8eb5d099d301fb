// The daemon under clients that misbehave at scale: thousands of connections, requests sent without
// reading the replies, records dripped a byte at a time, and more connections than descriptors. In
// every case the other clients keep being answered promptly and the daemon keeps running.
#include "daemon_fixture.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>

using namespace mot_test;

namespace {

// A whole request that any lock daemon answers at once: get a modification number.
MODSK_MSG_CONT_T mod_get_request() {
    MODSK_MSG_CONT_T msg{};
    msg.instr = MOLK_INSTR;
    auto *lock = reinterpret_cast<MOLK_LOCK_MSG_T *>(msg.data);
    lock->op = MOLK_OP_MOD_GET;
    snprintf(lock->filename, sizeof(lock->filename), "/data/flood");
    return msg;
}

// Calls of a well-behaved client over `seconds`; gives the slowest call in milliseconds, or -1 when
// a call failed.
long slowest_call(Client &c, int seconds) {
    long slowest = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        auto start = std::chrono::steady_clock::now();
        int n = 0;
        if (c.lock->file_lock(c.lock, MOLK_FILE_MOD_GET, "/data/good", "Good", &n) != 0 || n != 1)
            return -1;
        long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
        slowest = std::max(slowest, ms);
        usleep(20000);
    }
    return slowest;
}

void signal_ready(int ready) {
    if (write(ready, "r", 1) != 1)
        _exit(1);
}

// Runs fn in a child, which calls signal_ready once its misbehaviour is under way; the child is
// killed by the destructor.
struct Misbehaving {
    pid_t pid = -1;
    explicit Misbehaving(const std::function<void(int ready)> &fn) {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        fflush(stdout);
        fflush(stderr);
        pid = fork();
        if (pid == 0) {
            close(ready[0]);
            fn(ready[1]);
            for (;;)
                pause();
        }
        close(ready[1]);
        char c = 0;
        if (read(ready[0], &c, 1) != 1) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
        close(ready[0]);
    }
    ~Misbehaving() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

} // namespace

TEST(SocketDaemonLoad, TwoThousandConnectionsAndUnreadRepliesDoNotHoldUpOthers) {
    const int connections = 2000;
    struct rlimit lim {};
    getrlimit(RLIMIT_NOFILE, &lim);
    if (lim.rlim_max < static_cast<rlim_t>(2 * connections + 200))
        GTEST_SKIP() << "hard open-file limit too low";
    DaemonProcess d;
    Misbehaving flood([&](int ready) {
        struct rlimit raised = lim;
        raised.rlim_cur = raised.rlim_max;
        setrlimit(RLIMIT_NOFILE, &raised);
        MODSK_MSG_CONT_T req = mod_get_request();
        std::vector<int> pipelining;
        for (int i = 0; i < connections; i++) {
            int fd = raw_connect(d.port);
            if (fd < 0)
                _exit(2);
            // Every hundredth connection pipelines requests and never reads a reply.
            if (i % 100 == 0) {
                fcntl(fd, F_SETFL, O_NONBLOCK);
                pipelining.push_back(fd);
            }
        }
        signal_ready(ready);
        for (;;) {
            for (int fd : pipelining) {
                while (write(fd, &req, sizeof(req)) == static_cast<ssize_t>(sizeof(req))) {
                }
            }
            usleep(10000);
        }
    });
    ASSERT_GT(flood.pid, 0);
    Client good(d.port);
    ASSERT_EQ(good.error_string, "") << good.error_string;
    long slowest = slowest_call(good, 4);
    EXPECT_GE(slowest, 0) << "a call failed";
    EXPECT_LT(slowest, 1000);
    EXPECT_TRUE(d.running());
    std::string log = d.output();
    EXPECT_NE(log.find("does not read its replies"), std::string::npos) << log.substr(0, 2000);
}

TEST(SocketDaemonLoad, ARecordDrippedAByteAtATimeDoesNotHoldUpOthers) {
    DaemonProcess d;
    int fd = raw_connect(d.port);
    ASSERT_GE(fd, 0);
    Misbehaving drip([&](int ready) {
        MODSK_MSG_CONT_T req = mod_get_request();
        const char *p = reinterpret_cast<const char *>(&req);
        for (size_t i = 0; i < sizeof(req); i++) {
            if (write(fd, p + i, 1) != 1)
                break;
            if (i == 0)
                signal_ready(ready);
            usleep(20000);
        }
    });
    Client good(d.port);
    long slowest = slowest_call(good, 3);
    EXPECT_GE(slowest, 0) << "a call failed";
    EXPECT_LT(slowest, 1000);
    EXPECT_TRUE(d.running());
    close(fd);
}

TEST(SocketDaemonLoad, RunningOutOfDescriptorsIsSurvived) {
    // The daemon may have few descriptors: the accepts beyond them fail.
    DaemonProcess d([](Bundle &) {
        struct rlimit lim = {48, 48};
        setrlimit(RLIMIT_NOFILE, &lim);
    });
    std::vector<int> fds;
    for (int i = 0; i < 80; i++) {
        int fd = raw_connect(d.port);
        if (fd >= 0)
            fds.push_back(fd);
    }
    // A call on one of the accepted connections is answered meanwhile.
    MODSK_MSG_CONT_T req = mod_get_request(), reply{};
    ASSERT_EQ(write(fds[0], &req, sizeof(req)), static_cast<ssize_t>(sizeof(req)));
    ASSERT_EQ(read_all(fds[0], &reply, sizeof(reply)), sizeof(reply));
    EXPECT_EQ(reinterpret_cast<MOLK_LOCK_MSG_T *>(reply.data)->exit_status, 1);
    for (int fd : fds)
        close(fd);
    // Once they are gone, a new client is served.
    Client good(d.port);
    EXPECT_GE(slowest_call(good, 2), 0);
    EXPECT_TRUE(d.running());
    EXPECT_NE(d.output().find("Can't accept new connection: Too many open files"), std::string::npos)
        << d.output();
}
