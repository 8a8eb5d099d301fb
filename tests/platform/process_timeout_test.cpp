// Time limits of child processes registered with a real daemon's timeout service over its socket.
#include "daemon/daemon_fixture.h"
#include "platform/mop_process_cmn.h"
#include "storage/mols_list.h"
#include "daemon/moti_timeout.h"
#include "platform/moux_unix_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/wait.h>

namespace {

using testing::HasSubstr;

TEST(ProcessTimeout, TimeLimitIsHeldByTheDaemonUntilTheChildEnds) {
    mot_test::DaemonProcess d(
        [](mot_test::DaemonBundle &b) { moti_server_construct(nullptr, &b.lb.error, b.daemon, &b.lb.mem); });
    ASSERT_GT(d.pid, 0) << d.output();
    mot_test::Client c(d.port);
    ASSERT_EQ(c.start_status, 0) << c.error_string;
    MOTI_TIMEOUT_CLIENT_T *tc = c.req->timeout_client;
    ASSERT_NE(tc, nullptr);
    // The child-exit handler must be gone before the client's records are given back.
    struct DefaultChildSignal {
        MOS_SIGNAL_T *signal;
        ~DefaultChildSignal() { signal->set(signal, MOS_SIGCHLD, mos_signal_default); }
    } restore{c.b.signal};
    MOCL_CLEANUP_T *fatal = nullptr;
    MOP_PROCESS_T *proc = nullptr;
    ASSERT_EQ(mocl_cleanup_new(&fatal, nullptr, &c.b.lb.mem, c.b.signal, "Request-Fatal"), 0);
    ASSERT_EQ(mop_process_construct(&proc, c.b.lb.low, &moux_process_slots), 0);
    ASSERT_EQ(proc->init(proc, fatal, c.b.signal, tc), 0);
    EXPECT_EQ(proc->timeout_client_ref, tc);

    MOP_CHANNEL_T ch{};
    ASSERT_EQ(proc->open_process_timeout(proc, &ch, MOP_ON_ERROR_FAIL, 600, "sleep", "30", nullptr), 0);
    EXPECT_TRUE(ch.has_timeout);
    int pid = ch.child_pid;
    // The daemon holds our registration: a second one for the same group is refused.
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(tc->start(tc, pid, 5), 1); });
    EXPECT_THAT(err, HasSubstr("A timer is already set for process id " + std::to_string(pid)));
    mot_test::capture_stderr([&] { EXPECT_EQ(proc->kill_process(proc, &ch), 0); });
    EXPECT_FALSE(ch.has_timeout);
    // Cancelled by the kill: the id can be registered afresh.
    EXPECT_EQ(tc->start(tc, pid, 5), 0);
    EXPECT_EQ(tc->cancel(tc, pid), 0);

    // A child that ends by itself has its limit cancelled by end_process.
    ASSERT_EQ(proc->open_process_timeout(proc, &ch, MOP_ON_ERROR_FAIL, 600, "sh", "-c", "echo ok", nullptr),
              0);
    pid = ch.child_pid;
    char buf[64];
    mo_boolean_t eof = FALSE;
    EXPECT_EQ(proc->read_line(proc, &ch, buf, sizeof(buf), &eof), 0);
    EXPECT_STREQ(buf, "ok\n");
    int status = 9;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(tc->start(tc, pid, 5), 0);
    EXPECT_EQ(tc->cancel(tc, pid), 0);

    // With the daemon gone the time limit cannot be set: the start fails and leaves no child running
    // and no pipe open behind it.
    kill(d.pid, SIGKILL);
    waitpid(d.pid, nullptr, 0);
    d.pid = -1;
    int ret = 0;
    err = mot_test::capture_stderr(
        [&] { ret = proc->open_process_timeout(proc, &ch, MOP_ON_ERROR_FAIL, 600, "sleep", "30", nullptr); });
    EXPECT_EQ(ret, 1);
    EXPECT_FALSE(ch.has_timeout);
    EXPECT_EQ(ch.in, -1);
    EXPECT_EQ(ch.out, -1);
    EXPECT_EQ(ch.err, -1);
    ASSERT_GT(ch.child_pid, 0);
    EXPECT_EQ(kill(ch.child_pid, 0), -1) << err;
    MOLS_LIST_ELE_T *ele = nullptr;
    proc->child_list->find_status(proc->child_list, ch.child_pid, &ele);
    EXPECT_EQ(ele, nullptr);
}

} // namespace
