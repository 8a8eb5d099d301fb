// The real program in a throwaway installation: start-up order, the daemon connection and the
// command interface as a user meets them.
#include "daemon/mod_daemon_cmn.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix.h"
#include "entry/mox_aux.h"
#include "support/files.h"
#include "support/install.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing::HasSubstr;
using testing::Not;

using mot_test::Installation;

TEST(EntryWithoutDaemon, EveryCommandEndsWithCommunicationProblem) {
    Installation inst;
    for (auto args :
         std::vector<std::vector<std::string>>{{"daemon", "check"}, {}, {"daemon", "start", "extra"}}) {
        auto r = inst.run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "") << "the command interface must not run";
        std::string expect = "morvale: Daemon Communication Problem\nCan't connect to socket " +
                             inst.socket_path() + ": No such file or directory\nTry restarting Morvale\n";
        EXPECT_THAT(r.err, HasSubstr(expect));
        EXPECT_EQ(r.err.rfind("Error:   [", 0), 0u) << r.err;
    }
}

TEST(EntryWithoutDaemon, InstallationIsFoundFromTheProgramsLocation) {
    // A second installation with its own port: the same program, moved, reads the other setup file.
    Installation a;
    Installation b;
    ASSERT_NE(a.port, b.port);
    auto r = b.run({"daemon", "check"});
    EXPECT_THAT(r.err, HasSubstr(b.socket_path()));
    EXPECT_THAT(r.err, Not(HasSubstr(a.socket_path())));
}

TEST(EntryWithoutDaemon, RedundantPartsOfTheProgramPathAreNoLevels) {
    Installation inst;
    auto r = inst.run({"daemon", "check"}, inst.home + "/install/bin/./linux/../linux//morvale");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Can't connect to socket " + inst.socket_path()));
}

// Runs a copy of the installation's program placed so that its whole path has `length` characters,
// started by bare name as a shell does after a PATH search.
mot_test::RunResult run_by_bare_name_at_length(const Installation &inst, size_t length) {
    const std::string tail = "/install/bin/linux/morvale";
    std::string home = inst.home + "/" + std::string(length - inst.home.size() - 1 - tail.size(), 'p');
    std::filesystem::create_directories(home + "/install/bin/linux");
    std::filesystem::copy(inst.home + "/conf", home + "/conf", std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(inst.prog, home + tail);
    std::string prog = home + tail;
    std::string out_path = inst.home + "/generated/temp/bare_out";
    std::string err_path = inst.home + "/generated/temp/bare_err";
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(o, 1);
        dup2(e, 2);
        execl(prog.c_str(), "morvale", "daemon", "check", static_cast<char *>(nullptr));
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    mot_test::RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = mot_test::read_file(out_path);
    r.err = mot_test::read_file(err_path);
    std::filesystem::remove_all(home);
    return r;
}

TEST(EntryWithoutDaemon, ProgramFoundAlongPathMayUseTheWholePathBuffer) {
    Installation inst;
    auto fits = run_by_bare_name_at_length(inst, MO_FILENAME_LEN - 1);
    EXPECT_EQ(fits.status, 1);
    EXPECT_THAT(fits.err, HasSubstr("Can't connect to socket " + inst.socket_path()));
    auto too_long = run_by_bare_name_at_length(inst, MO_FILENAME_LEN);
    EXPECT_EQ(too_long.status, 1);
    EXPECT_THAT(too_long.err, HasSubstr("morvale: Program path too long to find the installation\n"));
}

TEST(EntryWithoutDaemon, MissingSetupFileStopsStartUp) {
    Installation inst;
    ASSERT_EQ(unlink((inst.home + "/conf/gen.setup").c_str()), 0);
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("gen.setup"));
    EXPECT_THAT(r.err, Not(HasSubstr("Daemon Communication Problem")));
}

TEST(EntryWithoutDaemon, UserSetupFileOverridesThePort) {
    Installation inst;
    int other = mot_test::free_daemon_port();
    mot_test::write_file(inst.home + "/user/user_conf/gen.setup",
                         "SERVER_PORT " + std::to_string(other) + "\n");
    auto r = inst.run({"daemon", "check"});
    EXPECT_THAT(r.err, HasSubstr("/tmp/morvale." + std::to_string(other) + ":"));
}

struct EntryWithDaemon : ::testing::Test {
    Installation inst;
    void SetUp() override { ASSERT_TRUE(inst.start_daemon()) << mot_test::read_file(inst.log_path()); }
};

TEST_F(EntryWithDaemon, NoArgumentsPrintsUsage) {
    auto r = inst.run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "No arguments.\nUsage is morvale <type> <operation>\nAvailable Types are: \n"
                     "                   daemon   Commands to control the daemon\n"
                     "                      web   The web interface\n"
                     "                      pop   The pop interface\n"
                     "                    index   Commands to control the index update\n");
}

TEST_F(EntryWithDaemon, DaemonStartWithExtraWordRunsAsClient) {
    auto r = inst.run({"daemon", "start", "extra"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("morvale_daemon_start: Operation start has too many arguments\n"));
}

TEST_F(EntryWithDaemon, OperationsOfLaterSubsystemsSayTheyAreMissing) {
    auto r = inst.run({"pop", "parse"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err,
                HasSubstr("morvale_pop_parse: This operation is not available in this version of Morvale\n"));
    EXPECT_THAT(r.err, HasSubstr("Failure occurred during the parse operation\n"));
}

TEST_F(EntryWithDaemon, CheckAnswersAndSucceeds) {
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Up and running"));
}

TEST_F(EntryWithDaemon, TerminatedCommandCleansUpAndExitsWithTwo) {
    // This test process holds a write lock, so that "daemon quit" sits waiting for it.
    MOX_AUX_T *aux = nullptr;
    ASSERT_EQ(moux_unix_construct(&aux, nullptr), 0);
    snprintf(aux->setup->daemon_socket_dir, sizeof(aux->setup->daemon_socket_dir), "/tmp");
    std::string port = std::to_string(inst.port);
    ASSERT_EQ(aux->daemon->client_init(aux->daemon, nullptr, port.c_str()), 0);
    mo_string_t connect_error = "";
    ASSERT_EQ(aux->daemon->client_start(aux->daemon, nullptr, connect_error), 0);
    ASSERT_STREQ(connect_error, "");
    MOLK_LOCK_CALL_T *lock = aux->req->lock_call;
    ASSERT_EQ(lock->init(lock, "holder", "box", "", getpid(), nullptr), 0);
    ASSERT_EQ(lock->file_lock_long(lock, MOLK_FILE_WRITE, "/data/items", "Items Data", nullptr), 0);

    std::string out_path = inst.home + "/generated/temp/term_out";
    std::string err_path = inst.home + "/generated/temp/term_err";
    pid_t quit = fork();
    if (quit == 0) {
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int n = open("/dev/null", O_RDONLY);
        dup2(n, 0);
        dup2(o, 1);
        dup2(e, 2);
        execl(inst.prog.c_str(), inst.prog.c_str(), "daemon", "quit", static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && mot_test::read_file(out_path).find("<Control-C") == std::string::npos; i++)
        usleep(50 * 1000);
    std::string out = mot_test::read_file(out_path);
    kill(quit, SIGTERM);
    int st = 0;
    ASSERT_EQ(waitpid(quit, &st, 0), quit);
    ASSERT_THAT(out, HasSubstr("Waiting for the current locks to expire:"));
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 2);

    // A note for the signal, then the fatal list with its entries, then the always list.
    std::string err = mot_test::read_file(err_path);
    size_t pos = 0;
    for (const char *note : {"Terminated. Cleaning up.\n", "Cleaning up Request-Fatal\n",
                             "cleanup daemon locks\n", "cleanup client daemon connection\n",
                             "Cleanup child processes\n", "Cleaning up Request-Always\n"}) {
        size_t at = err.find(note, pos);
        ASSERT_NE(at, std::string::npos) << note << " missing or out of order in:\n" << err;
        EXPECT_EQ(err.rfind("Note:    [", at), err.rfind('\n', at) + 1) << "not a note: " << note;
        pos = at;
    }
    EXPECT_THAT(err, Not(HasSubstr("Error:")));

    // The daemon was not told to quit, and the lock of this process is still there.
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Items Data"));
    aux->daemon->client_end(aux->daemon);
}

} // namespace

namespace {

TEST_F(EntryWithDaemon, SecondDaemonLeavesTheRunningOneAlone) {
    auto r = inst.run({"daemon", "start"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("A daemon is already running on " + inst.socket_path() + "\n"));
    EXPECT_THAT(r.err, Not(HasSubstr("Removed socket")));
    auto check = inst.run({"daemon", "check"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_THAT(check.out, HasSubstr("Up and running"));
}

} // namespace
