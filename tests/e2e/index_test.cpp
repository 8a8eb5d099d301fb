// Index bookkeeping through the real daemon: a real client queues changes and drives the run locks;
// the daemon spawns a stand-in `morvale` that records how it was started.
#include "search/mose_search.h"
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

struct IndexThroughDaemon : ::testing::Test {
    Installation inst;
    std::string spawns;

    void SetUp() override {
        // The daemon runs from a copy of the real program in the same directory, so the program the
        // daemon spawns there, "morvale", can be the stand-in.
        std::string dir = inst.home + "/install/bin/linux";
        std::string real = dir + "/morvale_real";
        ASSERT_EQ(rename(inst.prog.c_str(), real.c_str()), 0);
        inst.prog = real;
        spawns = inst.home + "/generated/temp/spawns";
        mot_test::write_file(dir + "/morvale", "#!/bin/sh\necho \"$*\" >> '" + spawns + "'\n");
        ASSERT_EQ(chmod((dir + "/morvale").c_str(), 0755), 0);
        ASSERT_TRUE(inst.start_daemon()) << mot_test::read_file(inst.log_path());
    }

    // Waits until the stand-in has recorded `count` starts; answers what it recorded.
    std::string wait_spawns(size_t count) {
        std::string text;
        for (int i = 0; i < 200; i++) {
            text = mot_test::read_file(spawns);
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

TEST_F(IndexThroughDaemon, ChangesWaitForARunAndAreTakenNewestFirst) {
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOX_AUX_T *aux = client.aux;
    // No main index exists yet, so changes only collect.
    ASSERT_EQ(mose_todo_add(aux, 5, 0), 0);
    ASSERT_EQ(mose_todo_add(aux, 6, 0), 0);
    int list_id = -1, type = -1;
    mo_boolean_t empty = FALSE;
    ASSERT_EQ(mose_todo_getdel(aux, &list_id, &type, &empty), 0);
    EXPECT_TRUE(empty);
    EXPECT_EQ(mot_test::read_file(spawns), "");

    // A manual start of an incremental run hands it the collected changes.
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_SPAWN), 0);
    EXPECT_EQ(wait_spawns(1), "index auto incremental\n");
    ASSERT_EQ(mose_todo_add(aux, 7, 0), 0); // arrives while the run works: waits for the next run
    ASSERT_EQ(mose_todo_getdel(aux, &list_id, &type, &empty), 0);
    EXPECT_FALSE(empty);
    EXPECT_EQ(list_id, 6);
    EXPECT_EQ(type, 0);
    ASSERT_EQ(mose_todo_getdel(aux, &list_id, &type, &empty), 0);
    EXPECT_EQ(list_id, 5);
    ASSERT_EQ(mose_todo_getdel(aux, &list_id, &type, &empty), 0);
    EXPECT_TRUE(empty);

    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_CHECK), 0);
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_SPAWN), 1);
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_END), 0);
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_END), 1);

    // The next run gets the change that came in meanwhile.
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_SPAWN), 0);
    EXPECT_EQ(wait_spawns(2), "index auto incremental\nindex auto incremental\n");
    ASSERT_EQ(mose_todo_getdel(aux, &list_id, &type, &empty), 0);
    EXPECT_FALSE(empty);
    EXPECT_EQ(list_id, 7);

    std::string log = mot_test::read_file(inst.log_path());
    EXPECT_NE(log.find("Starting incremental indexer from manual control\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Trying to spawn the incremental indexer, but it is already running\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Trying to finish the incremental indexer, but was not running\n"), std::string::npos)
        << log;
}

TEST_F(IndexThroughDaemon, MainRunStartsOnRequestAndOnlyOnce) {
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOX_AUX_T *aux = client.aux;
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_MAIN, MOSE_RUNLOCK_CHECK), 1);
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_MAIN, MOSE_RUNLOCK_SPAWN), 0);
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_MAIN, MOSE_RUNLOCK_SPAWN), 1);
    EXPECT_EQ(wait_spawns(1), "index auto main\n");
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_MAIN, MOSE_RUNLOCK_CHECK), 0);
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_MAIN, MOSE_RUNLOCK_END), 0);
}

TEST_F(IndexThroughDaemon, FailedSpawnIsReportedAndTheDaemonCarriesOn) {
    ASSERT_EQ(unlink((inst.home + "/install/bin/linux/morvale").c_str()), 0);
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOX_AUX_T *aux = client.aux;
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_MAIN, MOSE_RUNLOCK_SPAWN), 1);
    // Not taken as running: a later check is refused and a later spawn may try again.
    EXPECT_EQ(mose_index_runlock_call(aux, MOSE_INDEX_MAIN, MOSE_RUNLOCK_CHECK), 1);
    auto r = inst.run({"daemon", "check"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string log = mot_test::read_file(inst.log_path());
    EXPECT_NE(
        log.find("Can't start the main indexer: " + inst.home + "/install/bin/linux/morvale not found\n"),
        std::string::npos)
        << log;
}

TEST_F(IndexThroughDaemon, NameList) {
    mot_test::Bundle client;
    ASSERT_EQ(client.connect(std::to_string(inst.port)), "");
    MOX_AUX_T *aux = client.aux;
    const char *mesg = nullptr;
    ASSERT_EQ(mose_index_check(aux, "add", "first", &mesg), 0);
    EXPECT_STREQ(mesg, "adding first\n");
    ASSERT_EQ(mose_index_check(aux, "add", "second", &mesg), 0);
    ASSERT_EQ(mose_index_check(aux, "list", nullptr, &mesg), 0);
    EXPECT_STREQ(mesg, "second\nfirst\n");
    ASSERT_EQ(mose_index_check(aux, "del", "third", &mesg), 0);
    EXPECT_STREQ(mesg, "Can't find third in list\n");
    std::string too_long(100, 'x');
    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(mose_index_check(aux, "add", too_long.c_str(), &mesg), 1); });
    EXPECT_NE(err.find("Index check operation and name must be shorter than 100 characters\n"),
              std::string::npos)
        << err;
}

} // namespace
