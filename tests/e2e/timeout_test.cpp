// The timeout service through the real daemon: a real client registers a real process group, and
// the daemon's minute timer kills it.
#include "daemon/moti_timeout.h"
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

TEST(TimeoutThroughDaemon, OverdueGroupIsKilledAndTheClientSeesRefusals) {
    Installation inst;
    ASSERT_TRUE(inst.start_daemon()) << mot_test::read_file(inst.log_path());
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOTI_TIMEOUT_CLIENT_T *timeout = client.aux->req->timeout_client;
    ASSERT_NE(timeout, nullptr);

    pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        for (;;)
            pause();
    }
    setpgid(child, child);
    pid_t spared = fork();
    if (spared == 0) {
        setpgid(0, 0);
        for (;;)
            pause();
    }
    setpgid(spared, spared);

    EXPECT_EQ(timeout->start(timeout, child, 0), 0);
    EXPECT_EQ(timeout->start(timeout, spared, 0), 0);
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(timeout->start(timeout, child, 30), 1);
        EXPECT_EQ(timeout->start(timeout, 0, 30), 1);
    });
    EXPECT_NE(err.find("A timer is already set for process id " + std::to_string(child) + "\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Can't set a timer for process group 0\n"), std::string::npos) << err;
    EXPECT_EQ(timeout->cancel(timeout, spared), 0);
    EXPECT_EQ(timeout->cancel(timeout, spared), 0); // only a warning in the daemon's log

    // The timer runs about once a minute.
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 150 * 10 && done == 0; i++) {
        done = waitpid(child, &status, WNOHANG);
        if (done == 0)
            usleep(100 * 1000);
    }
    ASSERT_EQ(done, child) << mot_test::read_file(inst.log_path());
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(waitpid(spared, &status, WNOHANG), 0) << "a cancelled group is left alone";
    kill(spared, SIGKILL);
    waitpid(spared, &status, 0);

    std::string log = mot_test::read_file(inst.log_path());
    EXPECT_NE(
        log.find("Sending timeout kill to process group " + std::to_string(child) + " after 0 seconds\n"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("Can't find process id " + std::to_string(spared) + " in timer list\n"),
              std::string::npos)
        << log;
}

} // namespace
