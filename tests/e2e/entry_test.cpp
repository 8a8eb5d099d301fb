// The real program in a throwaway installation: start-up order, the daemon connection and the
// command interface as a user meets them.
#include "e2e_install.h"

#include <gtest/gtest.h>

namespace {

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
        EXPECT_NE(r.err.find(expect), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("Error:   [", 0), 0u) << r.err;
    }
}

TEST(EntryWithoutDaemon, InstallationIsFoundFromTheProgramsLocation) {
    // A second installation with its own port: the same program, moved, reads the other setup file.
    Installation a;
    Installation b;
    ASSERT_NE(a.port, b.port);
    auto r = b.run({"daemon", "check"});
    EXPECT_NE(r.err.find(b.socket_path()), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(a.socket_path()), std::string::npos) << r.err;
}

TEST(EntryWithoutDaemon, RedundantPartsOfTheProgramPathAreNoLevels) {
    Installation inst;
    auto r = inst.run({"daemon", "check"}, inst.home + "/install/bin/./linux/../linux//morvale");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Can't connect to socket " + inst.socket_path()), std::string::npos) << r.err;
}

TEST(EntryWithoutDaemon, MissingSetupFileStopsStartUp) {
    Installation inst;
    ASSERT_EQ(unlink((inst.home + "/conf/gen.setup").c_str()), 0);
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("gen.setup"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Daemon Communication Problem"), std::string::npos) << r.err;
}

TEST(EntryWithoutDaemon, UserSetupFileOverridesThePort) {
    Installation inst;
    int other = mot_test::free_daemon_port();
    mot_test::write_file(inst.home + "/user/user_conf/gen.setup",
                         "SERVER_PORT " + std::to_string(other) + "\n");
    auto r = inst.run({"daemon", "check"});
    EXPECT_NE(r.err.find("/tmp/morvale." + std::to_string(other) + ":"), std::string::npos) << r.err;
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
    EXPECT_NE(r.err.find("morvale_daemon_start: Operation start has too many arguments\n"), std::string::npos)
        << r.err;
}

TEST_F(EntryWithDaemon, OperationsOfLaterSubsystemsSayTheyAreMissing) {
    auto r = inst.run({"web", "normal"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("morvale_web_normal: This operation is not available in this version of Morvale\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Failure occurred during the normal operation\n"), std::string::npos) << r.err;
}

TEST_F(EntryWithDaemon, CheckAnswersAndSucceeds) {
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Up and running"), std::string::npos) << r.out;
}

} // namespace
