// The daemon commands run as a user runs them: the real program against its real daemon.
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/files.h"
#include "support/install.h"
#include "support/util.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using mot_test::Installation;

struct DaemonCommands : ::testing::Test {
    Installation inst;
    void SetUp() override { ASSERT_TRUE(inst.start_daemon()) << mot_test::read_file(inst.log_path()); }
};

TEST_F(DaemonCommands, CheckWithoutLocks) {
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Up and running\nCurrent locks are:\n");
}

TEST_F(DaemonCommands, CheckListsAHeldLock) {
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOLK_LOCK_CALL_T *lock = client.aux->req->lock_call;
    ASSERT_EQ(lock->init(lock, "tester", "box", "", getpid(), nullptr), 0);
    ASSERT_EQ(lock->file_lock(lock, MOLK_FILE_WRITE, "/data/groups", "Groups Data", nullptr), 0);
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(
                  "Up and running\nCurrent locks are:\nGroups Data file(/data/groups) file for writing ", 0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find(" ago by tester on box \n"), std::string::npos) << r.out;
}

TEST_F(DaemonCommands, QuitWithoutLocksStopsAtOnce) {
    auto r = inst.run({"daemon", "quit"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(inst.wait_daemon(10), 0);
    EXPECT_NE(access(inst.socket_path().c_str(), F_OK), 0) << "the daemon removes its socket";
}

TEST_F(DaemonCommands, QuitWaitsFiveRoundsForAHeldLockThenStops) {
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOLK_LOCK_CALL_T *lock = client.aux->req->lock_call;
    ASSERT_EQ(lock->init(lock, "holder", "box", "", getpid(), nullptr), 0);
    ASSERT_EQ(lock->file_lock_long(lock, MOLK_FILE_WRITE, "/data/tables", "Tables Data", nullptr), 0);

    auto r = inst.run({"daemon", "quit"});
    EXPECT_EQ(r.status, 0) << r.err;
    size_t pos = 0;
    for (int remaining : {10, 8, 6, 4, 2}) {
        size_t block =
            r.out.find("Waiting for the current locks to expire:\nTables Data file(/data/tables) ", pos);
        ASSERT_NE(block, std::string::npos) << remaining << "\n" << r.out;
        std::string tail = "Will wait for " + std::to_string(remaining) +
                           " more seconds before over-ridding locks \n<Control-C will stop over-ride>\n\n";
        size_t end = r.out.find(tail, block);
        ASSERT_NE(end, std::string::npos) << remaining << "\n" << r.out;
        pos = end + tail.size();
    }
    EXPECT_EQ(pos, r.out.size()) << r.out;
    EXPECT_EQ(inst.wait_daemon(10), 0);
}

TEST_F(DaemonCommands, InterruptedQuitLeavesTheDaemonRunning) {
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOLK_LOCK_CALL_T *lock = client.aux->req->lock_call;
    ASSERT_EQ(lock->init(lock, "holder", "box", "", getpid(), nullptr), 0);
    ASSERT_EQ(lock->file_lock_long(lock, MOLK_FILE_WRITE, "/data/items", "Items Data", nullptr), 0);

    std::string out_path = inst.home + "/generated/temp/quit_out";
    pid_t quit = fork();
    if (quit == 0) {
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int n = open("/dev/null", O_RDWR);
        dup2(n, 0);
        dup2(o, 1);
        dup2(n, 2);
        execl(inst.prog.c_str(), inst.prog.c_str(), "daemon", "quit", static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && mot_test::read_file(out_path).find("<Control-C") == std::string::npos; i++)
        usleep(50 * 1000);
    ASSERT_NE(mot_test::read_file(out_path).find("Will wait for 10 more seconds"), std::string::npos);
    kill(quit, SIGINT);
    int st = 0;
    ASSERT_EQ(waitpid(quit, &st, 0), quit);
    EXPECT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 2);
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Items Data file(/data/items)"), std::string::npos) << r.out;
}

TEST_F(DaemonCommands, ForceQuitStopsEvenWithLocksHeld) {
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOLK_LOCK_CALL_T *lock = client.aux->req->lock_call;
    ASSERT_EQ(lock->init(lock, "holder", "box", "", getpid(), nullptr), 0);
    ASSERT_EQ(lock->file_lock(lock, MOLK_FILE_READ, "/data/users", "Users Data", nullptr), 0);
    auto r = inst.run({"daemon", "force_quit"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(inst.wait_daemon(10), 0);
}

TEST_F(DaemonCommands, TestTracesTheDigitRuns) {
    auto r = inst.run({"daemon", "test", "ab12c345"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Test argument \"ab12c345\"\n"
                     "text    at 0: \"ab\"\n"
                     "digits  at 2: \"12\"\n"
                     "text    at 4: \"c\"\n"
                     "digits  at 5: \"345\"\n");
    r = inst.run({"daemon", "test"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Operation test has not enough arguments\n"), std::string::npos) << r.err;
}

TEST_F(DaemonCommands, TestTracesTheLongestArgumentWhole) {
    // The longest argument the command line takes: one long run, then many short ones.
    std::string arg(600, '7');
    while (arg.size() < 1022)
        arg += "x1";
    auto r = inst.run({"daemon", "test", arg});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected =
        "Test argument \"" + arg + "\"\n" + "digits  at 0: \"" + std::string(600, '7') + "\"\n";
    for (size_t pos = 600; pos < arg.size(); pos++)
        expected += std::string(arg[pos] == 'x' ? "text   " : "digits ") + " at " + std::to_string(pos) +
                    ": \"" + arg[pos] + "\"\n";
    EXPECT_EQ(r.out, expected);
}

TEST_F(DaemonCommands, TypeAloneListsTheFiveOperations) {
    auto r = inst.run({"daemon"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "Can't find operation argument\nValid operations are;\n"
              "                    start   Starts the daemon.\n"
              "                     quit   Quits the daemon and waits for all locks to finish.\n"
              "               force_quit   Forces the daemon to quit without waiting for locks.\n"
              "                    check   Checks the daemon to see if running and lists current locks.\n"
              "                     test   test.\n");
}

TEST(DaemonCommandsAlone, AfterQuitNoDaemonAnswers) {
    Installation inst;
    ASSERT_TRUE(inst.start_daemon()) << mot_test::read_file(inst.log_path());
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(inst.run({"daemon", "quit"}).status, 0);
    EXPECT_EQ(inst.wait_daemon(10), 0);
    r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Daemon Communication Problem"), std::string::npos) << r.err;
}

} // namespace
