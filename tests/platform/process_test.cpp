// Child processes against real programs run through sh: pipes, error modes, line reading, the kill
// escalation, detached children, output redirection and the "Cleanup child processes" action.
#include "platform/mocl_cleanup.h"
#include "storage/mols_list.h"
#include "platform/mome_mem_cmn.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "process_fixture.h"
#include "support/bundle.h"
#include "support/process.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using testing::HasSubstr;
using testing::Not;

using mot_test::ProcessFixture;

using mot_test::count_of;
using mot_test::eventually;

TEST_F(ProcessFixture, PipesCarryLinesBothWays) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c",
                                 "read x; echo \"got $x\"; echo second", nullptr),
              0);
    EXPECT_TRUE(ch.has_pipe);
    EXPECT_FALSE(ch.async);
    EXPECT_STREQ(ch.proc_name, "sh");
    EXPECT_TRUE(listed(ch.child_pid));
    EXPECT_EQ(proc->write_line(proc, &ch, "hello %d\n", 42), 0);
    EXPECT_EQ(line(), "got hello 42\n");
    EXPECT_EQ(line(), "second\n");
    EXPECT_EQ(line(), "<eof>");
    int status = 99;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(listed(ch.child_pid));
    EXPECT_EQ(ch.out, -1);
}

const char *twelve_errors = "i=1; while [ $i -le 12 ]; do echo \"err $i\" >&2; i=$((i+1)); done; exit 0";

TEST_F(ProcessFixture, ModeOneReportsTenLinesThenLimitAndFails) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c", twelve_errors, nullptr), 0);
    int status = 99, ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status); });
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(count_of(err, "Error:   ["), 11u) << err;
    EXPECT_THAT(err, HasSubstr("init: err 1\n"));
    EXPECT_THAT(err, HasSubstr("init: err 10\n"));
    EXPECT_THAT(err, Not(HasSubstr("err 11")));
    EXPECT_THAT(err, Not(HasSubstr("err 12")));
    EXPECT_THAT(err, HasSubstr("init: max errors lines reached from process sh\n"));
}

TEST_F(ProcessFixture, ModeTwoMarksExitStatusInsteadOfFailing) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_MARK, "sh", "-c", twelve_errors, nullptr), 0);
    int status = 99, ret = 1;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_MARK, &status); });
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(count_of(err, "Error:   ["), 11u) << err;
}

TEST_F(ProcessFixture, ModeZeroReturnsExitStatusSilently) {
    ASSERT_EQ(
        proc->open_process(proc, &ch, MOP_ON_ERROR_IGNORE, "sh", "-c", "echo noise >&2; exit 3", nullptr), 0);
    int status = 0, ret = 1;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_IGNORE, &status); });
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(err, "");
}

TEST_F(ProcessFixture, ModeOneFailsOnNonZeroExit) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c", "exit 4", nullptr), 0);
    int status = 0, ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status); });
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(status, 4);
    EXPECT_THAT(err, HasSubstr("init: Error in process sh\n"));
}

TEST_F(ProcessFixture, LongLinesComeInPiecesAndNulEndsALine) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c",
                                 "printf 'aaaaaaaaaabbbbbbbbbbcc\\n'; printf 'x\\000y\\n'", nullptr),
              0);
    char buf[11];
    mo_boolean_t eof = FALSE;
    std::vector<std::string> pieces;
    while (proc->read_line(proc, &ch, buf, sizeof(buf), &eof) == 0 && !eof)
        pieces.push_back(buf);
    EXPECT_EQ(pieces, (std::vector<std::string>{"aaaaaaaaaa", "bbbbbbbbbb", "cc\n", "x", "y\n"}));
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
}

TEST_F(ProcessFixture, ReadBufReadsAndSignalsEnd) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c", "printf abc", nullptr), 0);
    char buf[16];
    long count = 0;
    mo_boolean_t eof = FALSE;
    std::string got;
    while (proc->read_buf(proc, &ch, buf, sizeof(buf), &count, &eof) == 0 && !eof && count > 0)
        got.append(buf, static_cast<size_t>(count));
    EXPECT_EQ(got, "abc");
    EXPECT_TRUE(eof);
    EXPECT_EQ(count, 0);
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
}

TEST_F(ProcessFixture, ErrLineReadsStandardError) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_IGNORE, "sh", "-c", "echo oops >&2", nullptr), 0);
    char buf[64];
    mo_boolean_t eof = FALSE;
    ASSERT_EQ(proc->read_err_line(proc, &ch, buf, sizeof(buf), &eof), 0);
    EXPECT_STREQ(buf, "oops\n");
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_IGNORE, &status), 0);
}

TEST_F(ProcessFixture, ChildStartsWithSignalsUnblockedAndDefault) {
    // The fork happens inside a protected section; the program must not inherit that.
    signal->set(signal, MOS_SIGPIPE, mos_signal_ignore);
    signal->begin_protection(signal);
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c",
                                 "grep -E '^Sig(Blk|Ign)' /proc/self/status", nullptr),
              0);
    signal->end_protection(signal);
    signal->set(signal, MOS_SIGPIPE, mos_signal_default);
    std::string blk = line(), ign = line();
    EXPECT_EQ(blk, "SigBlk:\t0000000000000000\n");
    // SIGPIPE is bit 13: it must not stay ignored in the child.
    unsigned long long mask = strtoull(ign.c_str() + 7, nullptr, 16);
    EXPECT_EQ(mask & (1ULL << (SIGPIPE - 1)), 0u) << ign;
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
}

TEST_F(ProcessFixture, ChildDoesNotInheritOtherChildrensPipes) {
    MOP_CHANNEL_T first{};
    ASSERT_EQ(proc->open_process(proc, &first, MOP_ON_ERROR_FAIL, "cat", nullptr), 0);
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c",
                                 "for f in /proc/$$/fd/*; do readlink $f; done; exit 0", nullptr),
              0);
    std::string targets;
    for (std::string l = line(); l != "<eof>"; l = line())
        targets += l;
    EXPECT_THAT(targets, HasSubstr("pipe:["));
    // A held end of cat's input would keep cat from ever seeing its end.
    for (int fd : {first.in, first.out, first.err}) {
        struct stat st;
        ASSERT_EQ(fstat(fd, &st), 0);
        std::string pipe_name = "pipe:[" + std::to_string(st.st_ino) + "]";
        EXPECT_THAT(targets, Not(HasSubstr(pipe_name))) << pipe_name << " in " << targets;
    }
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
    EXPECT_EQ(proc->end_process(proc, &first, MOP_ON_ERROR_FAIL, &status), 0);
}

TEST_F(ProcessFixture, WriteToChildThatStoppedReadingFailsWithoutSigpipe) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_IGNORE, "sh", "-c",
                                 "exec <&-; echo closed; sleep 30", nullptr),
              0);
    EXPECT_EQ(line(), "closed\n");
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = proc->write_line(proc, &ch, "anyone?\n"); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("init: Can't write to process sh : Broken pipe\n"));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    mot_test::capture_stderr([&] { EXPECT_EQ(proc->kill_process(proc, &ch), 0); });
}

TEST_F(ProcessFixture, FullStdoutPipeDoesNotStallErrorReading) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c",
                                 "head -c 300000 /dev/zero; echo late >&2; head -c 300000 /dev/zero >&2",
                                 nullptr),
              0);
    int status = 0, ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("init: late\n")) << err.substr(0, 300);
    EXPECT_EQ(status, 0);
}

TEST_F(ProcessFixture, ModeZeroDoesNotStallOnFullErrorPipe) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_IGNORE, "sh", "-c",
                                 "head -c 300000 /dev/zero >&2; exit 5", nullptr),
              0);
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_IGNORE, &status), 0);
    EXPECT_EQ(status, 5);
}

TEST_F(ProcessFixture, ChildReadingAllInputSeesItsEndBeforeErrorsAreRead) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_MARK, "sh", "-c", "cat >/dev/null; echo done >&2",
                                 nullptr),
              0);
    EXPECT_EQ(proc->write_line(proc, &ch, "some input\n"), 0);
    int status = 0, ret = 1;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_MARK, &status); });
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(status, -1);
    EXPECT_THAT(err, HasSubstr("init: done\n"));
}

TEST_F(ProcessFixture, ExecFailureIsReportedByTheChild) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "/nonexistent/morvale-prog", nullptr), 0);
    int status = 0, ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status); });
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(status, 1);
    EXPECT_THAT(err,
                HasSubstr("Error in starting process /nonexistent/morvale-prog : No such file or directory"));
}

TEST_F(ProcessFixture, EnvStartGivesExactEnvironmentWithoutPathSearch) {
    char foo[] = "FOO=bar";
    char *env[] = {foo, nullptr};
    ASSERT_EQ(proc->open_process_env(proc, &ch, MOP_ON_ERROR_FAIL, env, "/bin/sh", "-c",
                                     "echo \"$FOO:$HOME\"", nullptr),
              0);
    EXPECT_EQ(line(), "bar:\n");
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
    ASSERT_EQ(proc->open_process_env(proc, &ch, MOP_ON_ERROR_IGNORE, env, "sh", "-c", "exit 0", nullptr), 0);
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_IGNORE, &status), 0);
    EXPECT_EQ(status, 1) << "sh is not searched along the path";
}

#define A10 "a", "a", "a", "a", "a", "a", "a", "a", "a", "a"

TEST_F(ProcessFixture, AtMostNinetyNineArguments) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "true", A10, A10, A10, A10, A10, A10, A10, A10,
                                 A10, "a", "a", "a", "a", "a", "a", "a", "a", "a", nullptr),
              0);
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] {
        ret = proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "true", A10, A10, A10, A10, A10, A10, A10, A10,
                                 A10, A10, nullptr);
    });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Too many arguments for process true (at most 99)"));
    EXPECT_EQ(ch.child_pid, -1);
}

TEST_F(ProcessFixture, ChildThatObeysSigtermStopsAtFirstStep) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c", "echo up; exec sleep 30", nullptr),
              0);
    EXPECT_EQ(line(), "up\n");
    int pid = ch.child_pid, ret = 1;
    std::string err = mot_test::capture_stderr([&] { ret = proc->kill_process(proc, &ch); });
    EXPECT_EQ(ret, 0);
    EXPECT_GE(count_of(err, "Waiting on process " + std::to_string(pid)), 1u) << err;
    EXPECT_THAT(err, Not(HasSubstr("Sending process group kill")));
    EXPECT_FALSE(listed(pid));
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(ch.in, -1);
    // A second kill of the same channel does nothing.
    err = mot_test::capture_stderr([&] { ret = proc->kill_process(proc, &ch); });
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(err, "");
}

TEST_F(ProcessFixture, ChildIgnoringAllButSigkillIsEscalatedToTheEnd) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c",
                                 "trap '' TERM QUIT HUP INT; echo ready; while :; do sleep 1; done", nullptr),
              0);
    EXPECT_EQ(line(), "ready\n");
    int pid = ch.child_pid, ret = 1;
    std::string err = mot_test::capture_stderr([&] { ret = proc->kill_process(proc, &ch); });
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(count_of(err, "Waiting on process " + std::to_string(pid)), 6u) << err;
    size_t group = err.find("Sending process group kill to process " + std::to_string(pid));
    size_t quit = err.find("Sending QUIT signal to process group " + std::to_string(pid));
    EXPECT_NE(group, std::string::npos) << err;
    EXPECT_NE(quit, std::string::npos) << err;
    EXPECT_LT(group, quit);
    EXPECT_EQ(kill(pid, 0), -1) << "collected, not left a zombie";
}

TEST_F(ProcessFixture, KillRefusesBogusProcessIds) {
    MOP_CHANNEL_T bogus{};
    bogus.in = bogus.out = bogus.err = bogus.old_out_fd = -1;
    for (int pid : {-1, 0, 1}) {
        bogus.child_pid = pid;
        std::string err;
        err = mot_test::capture_stderr([&] { EXPECT_EQ(proc->kill_process(proc, &bogus), 0); });
        EXPECT_EQ(err, "");
    }
    // Still alive to tell.
    SUCCEED();
}

TEST_F(ProcessFixture, DetachedChildIsCollectedAndRunningOnesStayListed) {
    MOP_CHANNEL_T sleeper{};
    ASSERT_EQ(proc->open_process_async(proc, &sleeper, MOP_ON_ERROR_FAIL, "sleep", "30", nullptr), 0);
    EXPECT_TRUE(sleeper.async);
    EXPECT_FALSE(sleeper.has_pipe);
    EXPECT_EQ(sleeper.in, -1);
    std::string err = mot_test::capture_stderr([&] {
        ASSERT_EQ(proc->open_process_async(proc, &ch, MOP_ON_ERROR_FAIL, "true", nullptr), 0);
        int pid = ch.child_pid;
        // The handler collects it: no zombie is left for us to wait on.
        EXPECT_TRUE(eventually([&] {
            siginfo_t info;
            return waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
        }));
        // The next start removes the collected entry; the running sleeper stays recorded.
        MOP_CHANNEL_T other{};
        ASSERT_EQ(proc->open_process(proc, &other, MOP_ON_ERROR_FAIL, "true", nullptr), 0);
        int status = 0;
        EXPECT_EQ(proc->end_process(proc, &other, MOP_ON_ERROR_FAIL, &status), 0);
        EXPECT_FALSE(listed(pid));
        EXPECT_TRUE(listed(sleeper.child_pid));
    });
    EXPECT_THAT(err, Not(HasSubstr("waitpid in child_signal")));
    EXPECT_EQ(kill(sleeper.child_pid, 0), 0);
    mot_test::capture_stderr([&] { EXPECT_EQ(proc->kill_process(proc, &sleeper), 0); });
    EXPECT_FALSE(listed(sleeper.child_pid));
}

TEST_F(ProcessFixture, EndOfDetachedChildKeepsStatusTheHandlerCollected) {
    ASSERT_EQ(proc->open_process_async(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c", "exit 6", nullptr), 0);
    int pid = ch.child_pid;
    ASSERT_TRUE(eventually([&] {
        siginfo_t info;
        return waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
    }));
    int status = 0, ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status); });
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(status, 6);
    EXPECT_THAT(err, HasSubstr("init: Error in process sh\n"));
    EXPECT_FALSE(listed(pid));
}

TEST_F(ProcessFixture, RequestFatalListKillsEveryRecordedChild) {
    MOP_CHANNEL_T a{}, c{};
    ASSERT_EQ(proc->open_process(proc, &a, MOP_ON_ERROR_FAIL, "sleep", "30", nullptr), 0);
    ASSERT_EQ(proc->open_process_async(proc, &c, MOP_ON_ERROR_FAIL, "sleep", "30", nullptr), 0);
    // The caller's descriptor is closed by number; the list's copy must forget it too.
    EXPECT_EQ(proc->close_stream(proc, a.out), 0);
    int ret = 1;
    std::string err = mot_test::capture_stderr([&] { ret = fatal->run(fatal); });
    EXPECT_EQ(ret, 0);
    EXPECT_THAT(err, HasSubstr("] Cleaning up Request-Fatal\n"));
    EXPECT_THAT(err, HasSubstr("] Cleanup child processes\n"));
    EXPECT_EQ(kill(a.child_pid, 0), -1);
    EXPECT_EQ(kill(c.child_pid, 0), -1);
    EXPECT_EQ(proc->child_list->thelist, nullptr);
    EXPECT_EQ(moux_signal_protection_depth(), 0);
}

TEST_F(ProcessFixture, OutputRedirectFeedsTheChildsInput) {
    mot_test::TempDir dir;
    std::string file = dir.path + "/out.txt";
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sh", "-c", ("tr a-z A-Z > " + file).c_str(),
                                 nullptr),
              0);
    std::string seen = mot_test::capture_stdout([&] {
        printf("before\n");
        ASSERT_EQ(proc->begin_output_redirect(proc, &ch), 0);
        printf("page line one\n");
        printf("page line two\n");
        ASSERT_EQ(proc->end_output_redirect(proc, &ch), 0);
        printf("after\n");
    });
    EXPECT_EQ(seen, "before\nafter\n");
    int status = 0;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
    std::ifstream in(file);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), "PAGE LINE ONE\nPAGE LINE TWO\n");
}

TEST_F(ProcessFixture, RedirectIntoChildThatQuitDoesNotEndUs) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_IGNORE, "true", nullptr), 0);
    int pid = ch.child_pid;
    // Wait until it has ended (still a zombie: nobody collects a piped child but end_process).
    ASSERT_TRUE(eventually([&] {
        std::ifstream st("/proc/" + std::to_string(pid) + "/stat");
        std::string s;
        std::getline(st, s);
        return s.find(") Z") != std::string::npos;
    }));
    std::string seen = mot_test::capture_stdout([&] {
        ASSERT_EQ(proc->begin_output_redirect(proc, &ch), 0);
        for (int i = 0; i < 1000; i++)
            printf("%0100d\n", i);
        fflush(stdout);
        EXPECT_EQ(proc->end_output_redirect(proc, &ch), 0);
        printf("back\n");
    });
    EXPECT_EQ(seen, "back\n");
    int status = 9;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_IGNORE, &status), 0);
    EXPECT_EQ(status, 0);
}

// The fatal-signal path of a whole request: a forked "command" with a running child receives SIGTERM.
TEST(ProcessFatal, TerminationKillsChildrenThenExitsTwo) {
    int grandchild = 0;
    mot_test::ChildResult res = mot_test::run_forked(
        [](int ready) {
            mot_test::Bundle b;
            MOS_SIGNAL_T *signal = b.aux->signal;
            MOP_PROCESS_T *proc = b.aux->process;
            signal->init(signal);
            signal->add_cleanup(signal, &signal->req_always_cleanup_ref, nullptr, mocl_cleanup_run_ref,
                                b.always);
            signal->add_cleanup(signal, &signal->req_fatal_cleanup_ref, nullptr, mocl_cleanup_run_ref,
                                b.fatal);
            proc->init(proc, b.fatal, signal, nullptr);
            MOP_CHANNEL_T ch{};
            if (proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "sleep", "30", nullptr) != 0)
                _exit(5);
            int child = ch.child_pid;
            if (write(ready, &child, sizeof(child)) != sizeof(child))
                _exit(5);
            for (;;)
                pause();
        },
        [&](pid_t pid, const std::string &message) {
            if (message.size() == sizeof(grandchild))
                memcpy(&grandchild, message.data(), sizeof(grandchild));
            kill(pid, SIGTERM);
        });
    ASSERT_NE(grandchild, 0) << "the child never got ready: " << res.err;
    int status = res.status;
    const std::string &err = res.err;
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const char *order[] = {"] Terminated. Cleaning up.\n", "] Cleaning up Request-Fatal\n",
                           "] Cleanup child processes\n", "] Waiting on process ",
                           "] Cleaning up Request-Always\n"};
    size_t at = 0;
    for (const char *want : order) {
        size_t pos = err.find(want, at);
        ASSERT_NE(pos, std::string::npos) << want << " missing or out of order in:\n" << err;
        at = pos;
    }
    EXPECT_THAT(err, Not(HasSubstr("Sending process group kill")));
    // The killed sleep was collected by the dying process, so its id is free.
    EXPECT_TRUE(eventually([&] { return kill(grandchild, 0) == -1; }));
}

size_t open_fds() {
    size_t n = 0;
    for (int fd = 0; fd < 1024; fd++)
        if (fcntl(fd, F_GETFD) != -1)
            n++;
    return n;
}

// A failed fork is reported and leaves no pipe open; forks are refused here by a process limit of 0
// (dropping root first, which is not bound by it).
TEST(ProcessFork, FailedForkIsReportedAndClosesThePipes) {
    mot_test::ChildResult res = mot_test::run_forked(
        [](int) {
            if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(4);
            struct rlimit none = {0, 0};
            if (setrlimit(RLIMIT_NPROC, &none) != 0)
                _exit(4);
            mot_test::Bundle b(mot_test::BundleOptions{.init_process = true});
            MOP_PROCESS_T *proc = b.aux->process;
            MOP_CHANNEL_T ch{};
            size_t fds_before = open_fds();
            int ret = proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "true", nullptr);
            bool closed = ch.in == -1 && ch.out == -1 && ch.err == -1 && !ch.has_pipe && ch.child_pid == -1;
            bool no_leak = open_fds() == fds_before;
            _exit(ret == 1 && closed && no_leak ? 0 : 3);
        },
        [](pid_t, const std::string &) {});
    int status = res.status;
    const std::string &err = res.err;
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status) << ": " << err;
    ASSERT_NE(WEXITSTATUS(status), 4) << "could not set up the process limit";
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_THAT(err, HasSubstr("init: Error in starting process true : Resource temporarily unavailable\n"));
}

} // namespace
