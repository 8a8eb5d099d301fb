// Index bookkeeping in the daemon: to-do lists, run locks, the name list and the minute timer, with
// no indexer run being started.
#include "index_fixture.h"
#include "support/util.h"

#include <gtest/gtest.h>
#include <ctime>
#include <string>

namespace {

using mot_test::capture_stderr;
using mot_test::IndexDaemon;

class IndexBookkeeping : public ::testing::Test {
protected:
    IndexDaemon d;
    void SetUp() override {
        d.setup->index_start_time = -1;
        ASSERT_EQ(d.construct(), 0);
        mose_set_main_index_exists(nullptr);
    }
};

TEST_F(IndexBookkeeping, RegistersFourServicesAndTheTimer) {
    for (int instr : {MOSE_INSTR_TODO_ADD, MOSE_INSTR_TODO_GETDEL, MOSE_INSTR_RUNLOCK, MOSE_INSTR_CHECK}) {
        void *ref = nullptr;
        EXPECT_NE(d.service(instr, &ref), nullptr) << instr;
        EXPECT_EQ(ref, d.control) << instr;
    }
    MOLS_LIST_ELE_T *ele = d.server()->timer_service_list->thelist;
    ASSERT_NE(ele, nullptr);
    EXPECT_EQ(ele->ref2, d.control);
    EXPECT_EQ(d.control->main_count, 1);
    EXPECT_EQ(d.control->inc_lock_count, 0);
    EXPECT_EQ(d.control->main_lock_count, 0);
}

TEST_F(IndexBookkeeping, ChangesCollectNewestFirstWhileNoMainIndexExists) {
    std::string err = capture_stderr([&] {
        EXPECT_EQ(d.todo_add(5), 0);
        EXPECT_EQ(d.todo_add(6), 0);
        EXPECT_EQ(d.timer(), 0);
    });
    EXPECT_EQ(err.find("Starting incremental"), std::string::npos) << err;
    EXPECT_EQ(d.control->inc_lock_count, 0);
    ASSERT_EQ(IndexDaemon::count(d.control->todo_list), 2);
    EXPECT_EQ(d.control->todo_list->thelist->status, 6);
    EXPECT_EQ(d.control->todo_list->thelist->next->status, 5);
    // Nothing was handed to a run, so the work list is empty.
    EXPECT_EQ(d.getdel(), -1);
}

TEST_F(IndexBookkeeping, GetdelTakesTheWorkListFrontFirst) {
    // The work list is what a spawn swapped in; fill it the way the to-do list fills.
    MOLS_LIST_T *doing = d.control->doing_list;
    doing->add(doing, nullptr, FALSE, 11, nullptr, nullptr);
    doing->add(doing, nullptr, FALSE, 12, nullptr, nullptr);
    EXPECT_EQ(d.getdel(), 12);
    EXPECT_EQ(d.getdel(), 11);
    EXPECT_EQ(d.getdel(), -1);
    EXPECT_EQ(d.getdel(), -1);
}

TEST_F(IndexBookkeeping, RunLockRefusalsWhenIdle) {
    std::string err = capture_stderr([&] {
        EXPECT_EQ(d.runlock(MOSE_INDEX_INCREMENTAL, MOSE_RUNLOCK_CHECK), 1);
        EXPECT_EQ(d.runlock(MOSE_INDEX_MAIN, MOSE_RUNLOCK_END), 1);
    });
    EXPECT_NE(err.find("Check of incremental indexer\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Checking the incremental indexer, but was not running\n"), std::string::npos) << err;
    EXPECT_NE(err.find("End of main indexer\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Trying to finish the main indexer, but was not running\n"), std::string::npos) << err;
}

TEST_F(IndexBookkeeping, RunLockOfAnActiveRun) {
    d.control->main_lock_count = 3;
    std::string err = capture_stderr([&] {
        EXPECT_EQ(d.runlock(7, MOSE_RUNLOCK_CHECK), 0); // any type but 10 means main
        EXPECT_EQ(d.runlock(MOSE_INDEX_MAIN, MOSE_RUNLOCK_SPAWN), 1);
        EXPECT_EQ(d.runlock(MOSE_INDEX_MAIN, MOSE_RUNLOCK_END), 0);
    });
    EXPECT_NE(err.find("Spawn of main indexer\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Trying to spawn the main indexer, but it is already running\n"), std::string::npos)
        << err;
    EXPECT_EQ(d.control->main_lock_count, 0);
    EXPECT_EQ(d.control->inc_lock_count, 0);
}

TEST_F(IndexBookkeeping, UnknownRunLockOperationIsRefused) {
    std::string err = capture_stderr([&] { EXPECT_EQ(d.runlock(MOSE_INDEX_MAIN, 24), 1); });
    EXPECT_NE(err.find("Unknown index run lock operation 24\n"), std::string::npos) << err;
}

TEST_F(IndexBookkeeping, NameList) {
    EXPECT_EQ(d.check("add", "alpha"), "adding alpha\n");
    EXPECT_EQ(d.check("add", "beta"), "adding beta\n");
    EXPECT_EQ(d.check("list", ""), "beta\nalpha\n");
    EXPECT_EQ(d.check("del", "alpha"), "Deleting alpha\n");
    EXPECT_EQ(d.check("del", "alpha"), "Can't find alpha in list\n");
    EXPECT_EQ(d.check("", ""), "beta\n");
}

TEST_F(IndexBookkeeping, NameListReplyKeepsWholeNamesOnly) {
    std::string longest(99, 'n');
    for (int i = 0; i < 10; i++) {
        std::string name = longest;
        name[0] = static_cast<char>('0' + i);
        d.check("add", name.c_str());
    }
    std::string reply = d.check("show", "");
    EXPECT_EQ(reply.size(), 600u); // six names of 99 characters and their line feeds
    EXPECT_EQ(reply.substr(0, 100), "9" + longest.substr(1) + "\n");
    EXPECT_EQ(reply.back(), '\n');
}

TEST_F(IndexBookkeeping, NameFieldWithoutEndIsCut) {
    MOSE_INC_T inc;
    memset(&inc, 'z', sizeof(inc));
    memcpy(inc.op, "add", 4);
    ASSERT_EQ(d.call(MOSE_INSTR_CHECK, &inc), 0);
    EXPECT_EQ(std::string(inc.mesg), "adding " + std::string(99, 'z') + "\n");
}

TEST_F(IndexBookkeeping, DeadRunsAreClearedByTheTimer) {
    d.control->inc_lock_count = 1438;
    d.control->main_lock_count = 4318;
    ASSERT_EQ(d.timer(), 0);
    EXPECT_EQ(d.control->inc_lock_count, 1439);
    EXPECT_EQ(d.control->main_lock_count, 4319);
    ASSERT_EQ(d.timer(), 0);
    EXPECT_EQ(d.control->inc_lock_count, 0);
    EXPECT_EQ(d.control->main_lock_count, 0);
}

TEST_F(IndexBookkeeping, MainRunIsNotDueBeforeTheDayIsOver) {
    std::string err = capture_stderr([&] {
        for (int i = 0; i < 1439; i++)
            ASSERT_EQ(d.timer(), 0);
    });
    EXPECT_EQ(err.find("Starting main indexer"), std::string::npos) << err;
    EXPECT_EQ(d.control->main_count, 1440);
}

TEST(IndexStartTime, MinutesSinceTheDailyStart) {
    const mou_datetime_t start = 1700000000;
    EXPECT_EQ(mose_initial_main_count(start, start), 0);
    EXPECT_EQ(mose_initial_main_count(start + 125, start), 2);
    EXPECT_EQ(mose_initial_main_count(start + 23 * 3600 + 59 * 60, start), 1439);
    EXPECT_EQ(mose_initial_main_count(start - 90, start), 1439); // 1 whole minute ahead
    EXPECT_EQ(mose_initial_main_count(start - 3600, start), 1380);
    // A start moment more than a day away still gives a first run within a day.
    EXPECT_EQ(mose_initial_main_count(start + 2 * 86400 + 300, start), 5);
    EXPECT_EQ(mose_initial_main_count(start - 86400 - 3600, start), 1380);
}

// Minutes of the local day now, read from the clock independently of the daemon's utilities.
int local_minute_of_day() {
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    return tmv.tm_hour * 60 + tmv.tm_min;
}

TEST(IndexStartTime, HourOfTheDayFromTheSetup) {
    // Two hours back the daily run was two hours and some minutes ago; two hours ahead it is that
    // much less than a day away. A minute's slack covers the seconds and a minute turning over.
    for (int offset : {-2, 2}) {
        int minute = local_minute_of_day();
        int hour = ((minute / 60 + offset) % 24 + 24) % 24;
        IndexDaemon d;
        d.setup->index_start_time = hour;
        ASSERT_EQ(d.construct(), 0);
        int expected = ((minute - hour * 60) % 1440 + 1440) % 1440;
        EXPECT_GE(d.control->main_count, expected - 1) << "hour " << hour;
        EXPECT_LE(d.control->main_count, expected + 2) << "hour " << hour;
    }
}

TEST(IndexStartTime, UnusableHourFallsBackWithAWarning) {
    IndexDaemon d;
    d.setup->index_start_time = 30;
    std::string err = capture_stderr([&] { ASSERT_EQ(d.construct(), 0); });
    EXPECT_NE(err.find("INDEX_START_TIME 30 is not an hour of the day; using 3 instead\n"), std::string::npos)
        << err;
    EXPECT_GE(d.control->main_count, 0);
    EXPECT_LE(d.control->main_count, 1440);
}

} // namespace
