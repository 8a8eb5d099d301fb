// The daemon's transport against a real daemon process: start-up, force quit, unknown
// instructions, timers, and clients that send garbage, short records or go away.
#include "daemon_fixture.h"
#include "platform/mof_file_cmn.h"
#include "platform/moux_unix_file.h"

#include <gtest/gtest.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mot_test;

namespace {

int g_timer_runs = 0;

int count_timer(void *) noexcept {
    g_timer_runs++;
    return 0;
}

// Instruction 98 answers the number of timer runs so far.
int timer_count_service(void *, void **data) noexcept {
    int32_t n = g_timer_runs;
    memcpy(*data, &n, 4);
    return 0;
}

// Instruction 99 moves the timer mark back by the seconds given, as if the daemon had stalled.
int stall_service(void *ref, void **data) noexcept {
    auto *server = static_cast<MODSK_SERVER_T *>(static_cast<MOD_DAEMON_T *>(ref)->ref);
    int32_t seconds = 0;
    memcpy(&seconds, *data, 4);
    server->last_timer_event -= seconds;
    return 0;
}

void add_timer_services(Bundle &b) {
    b.aux->daemon->add_timer_service(b.aux->daemon, count_timer, nullptr);
    b.aux->daemon->add_service(b.aux->daemon, 98, timer_count_service, nullptr);
    b.aux->daemon->add_service(b.aux->daemon, 99, stall_service, b.aux->daemon);
}

int call_int(Client &c, int instr, int32_t value) {
    void *data = nullptr;
    c.daemon->get_data(c.daemon, &data, 4);
    memcpy(data, &value, 4);
    if (c.daemon->gen_call(c.daemon, instr, data) != 0)
        return -1;
    int32_t out = 0;
    memcpy(&out, data, 4);
    return out;
}

} // namespace

TEST(SocketDaemon, StartsWithNotesPidFileAndRemovesStaleSocket) {
    DaemonProcess d(nullptr, false);
    // A socket file left by a crashed daemon.
    { std::ofstream(socket_path(d.port)) << "stale"; }
    d.start();
    ASSERT_TRUE(d.running());
    Client c(d.port);
    EXPECT_EQ(c.error_string, "");
    // The pid file is written just after the socket starts listening, its notes before.
    std::string pid_text;
    for (int i = 0; i < 500 && pid_text.empty(); i++, usleep(10000))
        pid_text = read_file(d.pid_file);
    EXPECT_EQ(pid_text, std::to_string(d.pid));
    std::string log = d.output();
    EXPECT_NE(log.find("Daemon Starting (Rev 3.3, build 180-linux)"), std::string::npos) << log;
    EXPECT_NE(
        log.find("Removed socket " + socket_path(d.port) + ". Perhaps daemon was not shutdown correctly."),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("Setting up a socket on " + socket_path(d.port)), std::string::npos) << log;
}

TEST(SocketDaemon, AStaleSocketThatCannotBeRemovedIsReportedWithItsReason) {
    DaemonProcess d(nullptr, false);
    ASSERT_EQ(mkdir(socket_path(d.port).c_str(), 0755), 0);
    d.start();
    EXPECT_EQ(d.wait_exit(), 1);
    std::string log = d.output();
    EXPECT_NE(log.find("Can't remove socket " + socket_path(d.port) + ": Is a directory"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("Removed socket"), std::string::npos) << log;
    rmdir(socket_path(d.port).c_str());
}

namespace {
const char *g_refused_name = nullptr;
int refusing_open(MOF_FILE_T *file, const char *filename, void **ref, int mode) noexcept {
    if (g_refused_name != nullptr && strcmp(filename, g_refused_name) == 0) {
        file->low->error->report(file->low->error, "Open refused for %s\n", filename);
        return 1;
    }
    return moux_file_open_file(file, filename, ref, mode);
}
} // namespace

TEST(SocketDaemon, ThePidFileIsWrittenThroughTheFileService) {
    DaemonProcess d(nullptr, false);
    g_refused_name = d.pid_file.c_str();
    d.start([](Bundle &b) { b.aux->file->open_file = refusing_open; });
    EXPECT_EQ(d.wait_exit(), 1);
    EXPECT_NE(d.output().find("Open refused for " + d.pid_file), std::string::npos) << d.output();
    g_refused_name = nullptr;
}

TEST(SocketDaemon, ForceQuitIsAnsweredAndTheDaemonCleansUp) {
    DaemonProcess d;
    Client c(d.port);
    void *data = nullptr;
    ASSERT_EQ(c.daemon->get_data(c.daemon, &data, 4), 0);
    memcpy(data, "ping", 4);
    ASSERT_EQ(c.daemon->gen_call(c.daemon, MOD_INSTR_FORCE_QUIT, data), 0);
    EXPECT_EQ(memcmp(data, "ping", 4), 0);
    EXPECT_EQ(d.wait_exit(), 0);
    struct stat st;
    EXPECT_NE(stat(socket_path(d.port).c_str(), &st), 0);
    EXPECT_NE(stat(d.pid_file.c_str(), &st), 0);
    // The next call finds the connection closed.
    std::string err = capture_stderr([&] { EXPECT_EQ(c.daemon->call_force_quit(c.daemon), 1); });
    EXPECT_NE(err.find("Daemon Connection Closed"), std::string::npos) << err;
}

TEST(SocketDaemon, UnknownInstructionComesBackUnchanged) {
    DaemonProcess d;
    Client c(d.port);
    void *data = nullptr;
    c.daemon->get_data(c.daemon, &data, MOD_MSG_DATA_SIZE);
    for (int i = 0; i < MOD_MSG_DATA_SIZE; i++)
        static_cast<char *>(data)[i] = static_cast<char>(i * 7);
    ASSERT_EQ(c.daemon->gen_call(c.daemon, 77, data), 0);
    for (int i = 0; i < MOD_MSG_DATA_SIZE; i++)
        ASSERT_EQ(static_cast<char *>(data)[i], static_cast<char>(i * 7)) << i;
    EXPECT_NE(d.output().find("Can't find Instruction 77"), std::string::npos);
    EXPECT_TRUE(d.running());
}

TEST(SocketDaemon, ClientWithoutDaemonGetsTheConnectText) {
    std::string port = unique_port();
    Bundle b;
    b.aux->daemon->client_init(b.aux->daemon, nullptr, port.c_str());
    mo_string_t err = "";
    EXPECT_EQ(b.aux->daemon->client_start(b.aux->daemon, nullptr, err), 0);
    EXPECT_EQ(std::string(err).rfind("Can't connect to socket " + socket_path(port) + ": ", 0), 0u) << err;
}

TEST(SocketDaemon, GetDataRefusesMoreThanTheDataArea) {
    Bundle b;
    b.aux->daemon->client_init(b.aux->daemon, nullptr, "x");
    void *data = nullptr;
    EXPECT_EQ(b.aux->daemon->get_data(b.aux->daemon, &data, 2000), 0);
    std::string err =
        capture_stderr([&] { EXPECT_EQ(b.aux->daemon->get_data(b.aux->daemon, &data, 2001), 1); });
    EXPECT_NE(err.find("daemon gen message data size greater than 2000"), std::string::npos) << err;
}

TEST(SocketDaemon, TimersCatchUpOnePeriodPerTurnAfterAStall) {
    g_timer_runs = 0;
    DaemonProcess d(add_timer_services);
    Client c(d.port);
    ASSERT_EQ(call_int(c, 98, 0), 0);
    // 200 seconds behind: three periods are due, the fourth only 40 seconds later.
    ASSERT_EQ(call_int(c, 99, 200), 200);
    int runs = 0;
    for (int i = 0; i < 100 && runs < 3; i++) {
        runs = call_int(c, 98, 0);
        usleep(20000);
    }
    EXPECT_EQ(runs, 3);
    sleep(3); // at least one idle turn of the loop
    EXPECT_EQ(call_int(c, 98, 0), 3);
}

TEST(SocketDaemon, GarbageShortAndVanishingClientsDoNotStopTheDaemon) {
    DaemonProcess d;
    Client good(d.port);

    // A whole record of garbage with an unknown instruction comes back unchanged.
    int fd = raw_connect(d.port);
    ASSERT_GE(fd, 0);
    char junk[MODSK_MSG_SIZE], back[MODSK_MSG_SIZE];
    for (size_t i = 0; i < sizeof(junk); i++)
        junk[i] = static_cast<char>(0xA5 ^ i);
    ASSERT_EQ(write(fd, junk, sizeof(junk)), static_cast<ssize_t>(sizeof(junk)));
    ASSERT_EQ(read_all(fd, back, sizeof(back)), sizeof(back));
    EXPECT_EQ(memcmp(junk, back, sizeof(junk)), 0);
    close(fd);

    // A short record, then the client goes away: no message is served.
    fd = raw_connect(d.port);
    ASSERT_EQ(write(fd, junk, 100), 100);
    close(fd);

    // A whole record whose sender leaves before the answer.
    fd = raw_connect(d.port);
    ASSERT_EQ(write(fd, junk, sizeof(junk)), static_cast<ssize_t>(sizeof(junk)));
    close(fd);

    // A record in two pieces is served as one message.
    fd = raw_connect(d.port);
    MODSK_MSG_CONT_T msg{};
    msg.instr = MOLK_INSTR;
    auto *lock = reinterpret_cast<MOLK_LOCK_MSG_T *>(msg.data);
    lock->op = MOLK_OP_MOD_GET;
    snprintf(lock->filename, sizeof(lock->filename), "/data/pieces");
    const char *p = reinterpret_cast<const char *>(&msg);
    ASSERT_EQ(write(fd, p, 1000), 1000);
    usleep(200000);
    ASSERT_EQ(write(fd, p + 1000, MODSK_MSG_SIZE - 1000), MODSK_MSG_SIZE - 1000);
    MODSK_MSG_CONT_T reply{};
    ASSERT_EQ(read_all(fd, &reply, sizeof(reply)), sizeof(reply));
    EXPECT_EQ(reinterpret_cast<MOLK_LOCK_MSG_T *>(reply.data)->exit_status, 1);
    close(fd);

    int status = 0;
    EXPECT_EQ(good.lock->file_lock(good.lock, MOLK_FILE_MOD_GET, "/data/after", "After", &status), 0);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(d.running());
}

TEST(SocketDaemon, AStalledShortRecordIsDroppedWithoutHoldingUpOthers) {
    DaemonProcess d;
    int fd = raw_connect(d.port);
    char junk[100] = {};
    ASSERT_EQ(write(fd, junk, sizeof(junk)), 100);
    // The daemon gives up on that client at once and serves the others within their reply timeout.
    Client c(d.port);
    int status = 0;
    EXPECT_EQ(c.lock->file_lock(c.lock, MOLK_FILE_MOD_GET, "/data/x", "X", &status), 0);
    EXPECT_EQ(status, 1);
    char buf[16];
    EXPECT_EQ(read(fd, buf, sizeof(buf)), 0); // closed by the daemon
    close(fd);
    EXPECT_NE(d.output().find("Timeout occurred during read of socket"), std::string::npos);
    EXPECT_TRUE(d.running());
}

TEST(SocketDaemon, TheDaemonProcessCannotCallItself) {
    Bundle b;
    ASSERT_EQ(b.aux->daemon->server_init(b.aux->daemon, nullptr, "self", nullptr), 0);
    void *data = nullptr;
    std::string err = capture_stderr([&] {
        EXPECT_EQ(b.aux->daemon->get_data(b.aux->daemon, &data, 4), 1);
        EXPECT_EQ(b.aux->daemon->call_force_quit(b.aux->daemon), 1);
    });
    EXPECT_EQ(data, nullptr);
    EXPECT_NE(err.find("Daemon Connection Closed"), std::string::npos) << err;
    EXPECT_EQ(static_cast<MODSK_SERVER_T *>(b.aux->daemon->ref)->socket, -1);
}

TEST(SocketDaemon, ASocketPathTooLongForTheAddressIsRefusedNotCut) {
    std::string port(120, 'p');
    Bundle b;
    b.aux->daemon->client_init(b.aux->daemon, nullptr, port.c_str());
    mo_string_t err = "";
    EXPECT_EQ(b.aux->daemon->client_start(b.aux->daemon, nullptr, err), 0);
    EXPECT_EQ(
        std::string(err).rfind("Can't connect to socket /tmp/morvale." + port + ": File name too long", 0),
        0u)
        << err;

    Bundle s;
    ASSERT_EQ(s.aux->daemon->server_init(s.aux->daemon, nullptr, port.c_str(), nullptr), 0);
    std::string log = capture_stderr([&] { EXPECT_EQ(s.aux->daemon->server_start(s.aux->daemon), 1); });
    EXPECT_NE(log.find("Can't bind socket to /tmp/morvale." + port + ": File name too long"),
              std::string::npos)
        << log;
    EXPECT_EQ(static_cast<MODSK_SERVER_T *>(s.aux->daemon->ref)->socket, -1);
}

namespace {
// Instruction 97 answers only after the clients' reply timeout has passed.
int slow_service(void *, void **data) noexcept {
    sleep(MODSK_READ_TIMEOUT + 1);
    memcpy(*data, "late", 4);
    return 0;
}
} // namespace

TEST(SocketDaemon, ACallThatTimedOutLeavesNoLateReplyForTheNextCall) {
    DaemonProcess d([](Bundle &b) { b.aux->daemon->add_service(b.aux->daemon, 97, slow_service, nullptr); });
    Client c(d.port);
    void *data = nullptr;
    c.daemon->get_data(c.daemon, &data, 4);
    std::string err = capture_stderr([&] { EXPECT_EQ(c.daemon->gen_call(c.daemon, 97, data), 1); });
    EXPECT_NE(err.find("Timeout occurred during read of socket"), std::string::npos) << err;
    // The late answer must not be taken for the answer to the next call, which goes over a fresh
    // connection and gets its own.
    EXPECT_EQ(call_int(c, 98, 5), 5);
    // The daemon itself serves on.
    Client fresh(d.port);
    EXPECT_EQ(call_int(fresh, 98, 5), 5);
    EXPECT_TRUE(d.running());
}

TEST(SocketDaemon, AClientConnectionOnAHighDescriptorIsServed) {
    // Processes with many open files (a web server's) may get a connection numbered beyond what a
    // select set can hold; waiting for the reply must not write past such a set.
    const int high = FD_SETSIZE + 500;
    struct rlimit lim {};
    getrlimit(RLIMIT_NOFILE, &lim);
    if (lim.rlim_cur <= static_cast<rlim_t>(high))
        GTEST_SKIP() << "open-file limit too low";
    DaemonProcess d;
    // The client runs in a child so that a fault there fails this test instead of ending the run.
    pid_t child = fork();
    if (child == 0) {
        Client c(d.port);
        auto *client = static_cast<MODSK_CLIENT_T *>(c.daemon->ref);
        if (dup2(client->socket, high) != high)
            _exit(3);
        close(client->socket);
        client->socket = high;
        int before = 0, after = 0;
        int ret = c.lock->file_lock(c.lock, MOLK_FILE_MOD_GET, "/data/high", "High", &before);
        ret |= c.lock->file_lock(c.lock, MOLK_FILE_MOD_RAISE, "/data/high", "High", nullptr);
        ret |= c.lock->file_lock(c.lock, MOLK_FILE_MOD_GET, "/data/high", "High", &after);
        _exit(ret == 0 && before == 1 && after == 2 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_TRUE(d.running());
}
