// Timeout service in the daemon: registrations, the minute countdown and the kill escalation of real
// process groups.
#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "entry/moim_interm.h"
#include "platform/moe_error_cmn.h"
#include "storage/mols_list.h"
#include "daemon/moti_timeout.h"
#include "platform/moux_unix_timeout.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using mot_test::capture_stderr;

int no_pause(MOTI_TIMEOUT_SERVER_T *, int) noexcept {
    return 0;
}

// Real signals without the pauses between them; the escalation's own test keeps the pauses.
MOTI_TIMEOUT_SERVER_T quick_slots() {
    MOTI_TIMEOUT_SERVER_T slots = moux_timeout_slots;
    slots.pause = no_pause;
    return slots;
}

class TimeoutServer : public ::testing::Test {
protected:
    mot_test::Bundle b;
    MOD_DAEMON_T *daemon = nullptr;
    MOTI_TIMEOUT_SERVER_T *server = nullptr;
    mod_service_fn_t service = nullptr;
    void *service_ref = nullptr;
    mod_timer_fn_t timer = nullptr;
    void *timer_ref = nullptr;

    void SetUp() override {
        ASSERT_EQ(mod_daemon_construct(&daemon, b.interm), 0);
        ASSERT_EQ(modsk_socket_construct(daemon), 0);
        ASSERT_EQ(daemon->server_init(daemon, nullptr, "timeout_test", nullptr), 0);
        MOTI_TIMEOUT_SERVER_T slots = quick_slots();
        ASSERT_EQ(moti_server_construct_slots(nullptr, &b.error, daemon, &b.mem, &slots, &server), 0);
        // The daemon's registrations: the service under its instruction, the timer among the timers.
        MODSK_SERVER_T *srv = static_cast<MODSK_SERVER_T *>(daemon->ref);
        MOLS_LIST_ELE_T *ele = nullptr;
        srv->service_list->find_status(srv->service_list, MOTI_INSTR, &ele);
        ASSERT_NE(ele, nullptr);
        service = reinterpret_cast<mod_service_fn_t>(ele->ref1);
        service_ref = ele->ref2;
        ele = nullptr;
        srv->timer_service_list->get_next(srv->timer_service_list, &ele);
        ASSERT_NE(ele, nullptr);
        timer = reinterpret_cast<mod_timer_fn_t>(ele->ref1);
        timer_ref = ele->ref2;
        ASSERT_EQ(service_ref, server);
        ASSERT_EQ(timer_ref, server);
    }

    int call(int op, int pid, int timeout, MOTI_TIMEOUT_MSG_T *msg) {
        memset(msg, 0, sizeof(*msg));
        msg->op = op;
        msg->process_id = pid;
        msg->timeout_value = timeout;
        void *data = msg;
        return service(service_ref, &data);
    }

    int timer_run() { return timer(timer_ref); }
};

// A child in process group `group` (0: its own new group) that tells the parent when its signal
// dispositions are set; with `stubborn` it ignores TERM and QUIT.
pid_t start_child(pid_t group, bool stubborn) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, group);
        if (stubborn) {
            signal(SIGTERM, SIG_IGN);
            signal(SIGQUIT, SIG_IGN);
        }
        close(ready[0]);
        if (write(ready[1], "x", 1) != 1)
            _exit(1);
        close(ready[1]);
        for (;;)
            pause();
    }
    setpgid(pid, group == 0 ? pid : group);
    close(ready[1]);
    char byte;
    if (read(ready[0], &byte, 1) != 1)
        pid = -1;
    close(ready[0]);
    return pid;
}

pid_t start_group(bool stubborn) {
    return start_child(0, stubborn);
}

bool still_running(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

int death_signal(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFSIGNALED(status))
        return 0;
    return WTERMSIG(status);
}

TEST_F(TimeoutServer, StartTwiceFailsAndKeepsTheFirst) {
    MOTI_TIMEOUT_MSG_T msg;
    ASSERT_EQ(call(MOTI_OP_START, 4242, 120, &msg), 0);
    EXPECT_EQ(msg.status, 0);
    EXPECT_STREQ(msg.error_msg, "");
    ASSERT_EQ(call(MOTI_OP_START, 4242, 30, &msg), 0);
    EXPECT_EQ(msg.status, 1);
    EXPECT_STREQ(msg.error_msg, "A timer is already set for process id 4242\n");

    MOLS_LIST_ELE_T *ele = nullptr;
    server->timer_list->find_status(server->timer_list, 4242, &ele);
    ASSERT_NE(ele, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(ele->ref1), 120);
    EXPECT_EQ(reinterpret_cast<intptr_t>(ele->ref2), 2);
}

TEST_F(TimeoutServer, CancelOfUnknownIdWarnsAndSucceeds) {
    MOTI_TIMEOUT_MSG_T msg;
    ASSERT_EQ(call(MOTI_OP_START, 777, 600, &msg), 0);
    ASSERT_EQ(call(MOTI_OP_CANCEL, 777, 0, &msg), 0);
    EXPECT_EQ(msg.status, 0);
    std::string err = capture_stderr([&] { EXPECT_EQ(call(MOTI_OP_CANCEL, 777, 0, &msg), 0); });
    EXPECT_EQ(msg.status, 0);
    EXPECT_NE(err.find("Can't find process id 777 in timer list\n"), std::string::npos) << err;
    EXPECT_EQ(server->timer_list->thelist, nullptr);
}

TEST_F(TimeoutServer, RefusesGroupsThatWouldHitTheDaemonOrInit) {
    MOTI_TIMEOUT_MSG_T msg;
    for (int pid : {0, 1, -1, -4242}) {
        ASSERT_EQ(call(MOTI_OP_START, pid, 10, &msg), 0);
        EXPECT_EQ(msg.status, 1) << pid;
        EXPECT_NE(std::string(msg.error_msg).find("Can't set a timer for process group"), std::string::npos);
    }
    EXPECT_EQ(server->timer_list->thelist, nullptr);
}

TEST_F(TimeoutServer, UnknownOperationIsAnsweredWithAnError) {
    MOTI_TIMEOUT_MSG_T msg;
    std::string err = capture_stderr([&] { EXPECT_EQ(call(3, 4242, 10, &msg), 0); });
    EXPECT_EQ(msg.status, 1);
    EXPECT_STREQ(msg.error_msg, "Unknown Timer Operation 3\n");
    EXPECT_NE(err.find("Unknown Timer Operation 3\n"), std::string::npos) << err;
    EXPECT_EQ(server->timer_list->thelist, nullptr);
}

TEST_F(TimeoutServer, RefusesTheDaemonsOwnProcessAndGroup) {
    // In this test the test process plays the daemon.
    MOTI_TIMEOUT_MSG_T msg;
    for (int pid : {static_cast<int>(getpid()), static_cast<int>(getpgrp())}) {
        ASSERT_EQ(call(MOTI_OP_START, pid, 10, &msg), 0);
        EXPECT_EQ(msg.status, 1) << pid;
        EXPECT_STREQ(msg.error_msg,
                     ("Can't set a timer for process group " + std::to_string(pid) + "\n").c_str());
    }
    EXPECT_EQ(server->timer_list->thelist, nullptr);
}

TEST_F(TimeoutServer, FiftyNineSecondsFireAtFirstRunSixtyAtSecond) {
    pid_t early = start_group(false);
    pid_t late = start_group(false);
    ASSERT_GT(early, 1);
    ASSERT_GT(late, 1);
    MOTI_TIMEOUT_MSG_T msg;
    ASSERT_EQ(call(MOTI_OP_START, early, 59, &msg), 0);
    ASSERT_EQ(call(MOTI_OP_START, late, 60, &msg), 0);

    std::string err = capture_stderr([&] { EXPECT_EQ(timer_run(), 0); });
    EXPECT_NE(
        err.find("Sending timeout kill to process group " + std::to_string(early) + " after 59 seconds\n"),
        std::string::npos)
        << err;
    EXPECT_EQ(err.find("process group " + std::to_string(late)), std::string::npos) << err;
    EXPECT_EQ(death_signal(early), SIGTERM);
    EXPECT_TRUE(still_running(late));

    err = capture_stderr([&] { EXPECT_EQ(timer_run(), 0); });
    EXPECT_NE(
        err.find("Sending timeout kill to process group " + std::to_string(late) + " after 60 seconds\n"),
        std::string::npos)
        << err;
    EXPECT_EQ(death_signal(late), SIGTERM);
    EXPECT_EQ(server->timer_list->thelist, nullptr);
}

TEST_F(TimeoutServer, GroupsDueTogetherAllGoNewestFirst) {
    pid_t first = start_group(false);
    pid_t spared = start_group(false);
    pid_t second = start_group(false);
    pid_t third = start_group(false);
    ASSERT_GT(first, 1);
    ASSERT_GT(spared, 1);
    ASSERT_GT(second, 1);
    ASSERT_GT(third, 1);
    MOTI_TIMEOUT_MSG_T msg;
    for (auto [pid, seconds] : {std::pair{first, 30}, {spared, 60}, {second, 0}, {third, 59}}) {
        memset(&msg, 0, sizeof(msg));
        msg.op = MOTI_OP_START;
        msg.process_id = pid;
        msg.timeout_value = seconds;
        void *data = &msg;
        ASSERT_EQ(moti_main_service(server, &data), 0);
        ASSERT_EQ(msg.status, 0);
    }

    std::string err = capture_stderr([&] { EXPECT_EQ(moti_timer_service(server), 0); });
    size_t at_third = err.find("process group " + std::to_string(third) + " after 59 seconds\n");
    size_t at_second = err.find("process group " + std::to_string(second) + " after 0 seconds\n");
    size_t at_first = err.find("process group " + std::to_string(first) + " after 30 seconds\n");
    ASSERT_NE(at_third, std::string::npos) << err;
    ASSERT_NE(at_second, std::string::npos) << err;
    ASSERT_NE(at_first, std::string::npos) << err;
    EXPECT_LT(at_third, at_second) << err;
    EXPECT_LT(at_second, at_first) << err;
    EXPECT_EQ(err.find("process group " + std::to_string(spared)), std::string::npos) << err;
    for (pid_t pid : {first, second, third})
        EXPECT_NE(death_signal(pid), 0) << pid;
    EXPECT_TRUE(still_running(spared));
    ASSERT_NE(server->timer_list->thelist, nullptr);
    EXPECT_EQ(server->timer_list->thelist->status, spared);
    EXPECT_EQ(server->timer_list->thelist->next, nullptr);
    kill(spared, SIGKILL);
    EXPECT_EQ(death_signal(spared), SIGKILL);
}

TEST_F(TimeoutServer, StubbornGroupIsEscalatedToKill) {
    // The real pauses between the signals: a group that ignores TERM and QUIT is killed in the end.
    MOTI_TIMEOUT_SERVER_T *paced = nullptr;
    ASSERT_EQ(moti_server_construct_slots(nullptr, &b.error, daemon, &b.mem, &moux_timeout_slots, &paced), 0);
    pid_t leader = start_group(true);
    // A second member of the same group must go too.
    pid_t member = start_child(leader, true);
    ASSERT_GT(leader, 1);
    ASSERT_GT(member, 1);
    MOTI_TIMEOUT_MSG_T msg{};
    msg.op = MOTI_OP_START;
    msg.process_id = leader;
    void *data = &msg;
    ASSERT_EQ(moti_main_service(paced, &data), 0);
    capture_stderr([&] { EXPECT_EQ(moti_timer_service(paced), 0); });
    EXPECT_EQ(death_signal(leader), SIGKILL);
    EXPECT_EQ(death_signal(member), SIGKILL);
}

TEST_F(TimeoutServer, CancelledGroupIsLeftAlone) {
    pid_t child = start_group(false);
    ASSERT_GT(child, 1);
    MOTI_TIMEOUT_MSG_T msg;
    ASSERT_EQ(call(MOTI_OP_START, child, 0, &msg), 0);
    ASSERT_EQ(call(MOTI_OP_CANCEL, child, 0, &msg), 0);
    EXPECT_EQ(timer_run(), 0);
    EXPECT_TRUE(still_running(child));
    kill(child, SIGKILL);
    EXPECT_EQ(death_signal(child), SIGKILL);
}

} // namespace
