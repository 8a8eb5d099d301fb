// Index runs started by the daemon's services and timer: a real child-process service starts a
// stand-in `morvale` that records how it was started.
#include "index_fixture.h"
#include "platform/mocl_cleanup.h"
#include "platform/mof_file_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "support/util.h"

#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using mot_test::capture_stderr;

mo_boolean_t main_index_there(MOX_AUX_T *) noexcept {
    return TRUE;
}

std::string read_all(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

mot_test::BundleOptions with_processes() {
    mot_test::BundleOptions options;
    options.init_process = true;
    return options;
}

class IndexSpawn : public ::testing::Test {
protected:
    mot_test::IndexDaemon d{with_processes()};
    mot_test::TempDir dir;
    std::string record;

    void SetUp() override {
        ASSERT_EQ(d.b.status, 0);
        snprintf(d.setup->exec_dir, sizeof(d.setup->exec_dir), "%s", dir.path.c_str());
        record = dir.path + "/spawns";
        std::string prog = dir.path + "/morvale";
        std::ofstream(prog) << "#!/bin/sh\necho \"$*\" >> '" << record << "'\n";
        ASSERT_EQ(chmod(prog.c_str(), 0755), 0);
        d.setup->index_start_time = -1;
        ASSERT_EQ(d.construct(), 0);
    }
    void TearDown() override { mose_set_main_index_exists(nullptr); }

    std::string wait_spawns(size_t count) {
        std::string text;
        for (int i = 0; i < 200; i++) {
            text = read_all(record);
            size_t lines = 0;
            for (char c : text)
                lines += (c == '\n');
            if (lines >= count)
                break;
            usleep(50 * 1000);
        }
        return text;
    }
};

TEST_F(IndexSpawn, ChangeStartsARunAtOnceAndLaterChangesWaitForTheNext) {
    mose_set_main_index_exists(main_index_there);
    std::string err = capture_stderr([&] { ASSERT_EQ(d.todo_add(5), 0); });
    EXPECT_NE(err.find("Starting incremental indexer from results of operation\n"), std::string::npos) << err;
    EXPECT_EQ(wait_spawns(1), "index auto incremental\n");
    EXPECT_EQ(d.control->inc_lock_count, 1);

    // While the run is active, changes only collect.
    err = capture_stderr([&] {
        ASSERT_EQ(d.todo_add(6), 0);
        ASSERT_EQ(d.timer(), 0);
    });
    EXPECT_EQ(err.find("Starting incremental"), std::string::npos) << err;
    EXPECT_EQ(d.control->inc_lock_count, 2);
    EXPECT_EQ(d.getdel(), 5);
    EXPECT_EQ(d.getdel(), -1);

    // The run ends; the next timer run starts another for the waiting change.
    capture_stderr([&] { ASSERT_EQ(d.runlock(MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_END), 0); });
    err = capture_stderr([&] { ASSERT_EQ(d.timer(), 0); });
    EXPECT_NE(err.find("Starting incremental indexer from timer\n"), std::string::npos) << err;
    EXPECT_EQ(wait_spawns(2), "index auto incremental\nindex auto incremental\n");
    EXPECT_EQ(d.getdel(), 6);
    EXPECT_EQ(d.getdel(), -1);
}

TEST_F(IndexSpawn, NothingStartsWithoutAMainIndex) {
    capture_stderr([&] {
        ASSERT_EQ(d.todo_add(5), 0);
        ASSERT_EQ(d.timer(), 0);
    });
    EXPECT_EQ(d.control->inc_lock_count, 0);
    usleep(200 * 1000);
    EXPECT_EQ(read_all(record), "");
}

TEST_F(IndexSpawn, FirstMainRunAtTheTimers1440thMinute) {
    std::string err = capture_stderr([&] {
        for (int i = 0; i < 1439; i++)
            ASSERT_EQ(d.timer(), 0);
    });
    EXPECT_EQ(err.find("Starting main indexer"), std::string::npos);
    err = capture_stderr([&] { ASSERT_EQ(d.timer(), 0); });
    EXPECT_NE(err.find("Starting main indexer from timer\n"), std::string::npos) << err;
    EXPECT_EQ(wait_spawns(1), "index auto main\n");
    EXPECT_EQ(d.control->main_lock_count, 1);
    EXPECT_EQ(d.control->main_count, 1);
    // While it runs, no second main run starts even when one is due again.
    d.control->main_count = 5000;
    capture_stderr([&] { ASSERT_EQ(d.timer(), 0); });
    EXPECT_EQ(d.control->main_lock_count, 2);
    EXPECT_EQ(d.control->main_count, 5001);
}

TEST_F(IndexSpawn, FailedSpawnLeavesTheChangesQueuedAndTheDaemonServing) {
    ASSERT_EQ(unlink((dir.path + "/morvale").c_str()), 0);
    mose_set_main_index_exists(main_index_there);
    std::string err = capture_stderr([&] { EXPECT_EQ(d.todo_add(9), 0); });
    EXPECT_NE(err.find("Can't start the incremental indexer: " + dir.path + "/morvale not found\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(d.control->inc_lock_count, 0);
    ASSERT_EQ(mot_test::IndexDaemon::count(d.control->todo_list), 1);
    EXPECT_EQ(d.getdel(), -1);
    capture_stderr([&] { EXPECT_EQ(d.runlock(MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_SPAWN), 1); });
    EXPECT_EQ(d.control->inc_lock_count, 0);
    ASSERT_EQ(mot_test::IndexDaemon::count(d.control->todo_list), 1);
}

} // namespace
