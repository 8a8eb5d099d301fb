// The POSIX utility operations through a constructed utility record: names, time texts,
// durations and setting the time of day.
#include "platform/moux_unix_util.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

using testing::HasSubstr;

// Runs the test body in a given time zone and puts the old one back.
struct ZoneGuard {
    std::string old;
    bool had = false;
    explicit ZoneGuard(const char *zone) {
        const char *tz = getenv("TZ");
        if (tz != nullptr) {
            had = true;
            old = tz;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (had)
            setenv("TZ", old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
};

struct UtilUnix : ::testing::Test {
    mot_test::Bundle b;
    MOU_UTIL_T *util = nullptr;
    void SetUp() override { ASSERT_EQ(mou_util_construct(&util, b.low, &moux_util_slots), 0); }
    std::string elapsed(long secs) {
        mo_string_t buf;
        EXPECT_EQ(util->time_elapsed_string(util, secs, buf), 0);
        return buf;
    }
};

TEST_F(UtilUnix, ConstructorCopiesSlotsAndSetsState) {
    EXPECT_EQ(util->low, b.low);
    EXPECT_EQ(util->match_start, nullptr);
    EXPECT_EQ(util->get_prog_user_name, util->get_real_user_name);
    EXPECT_EQ(util->user_machine_name, util->local_machine_name);
    EXPECT_EQ(util->safe_strcpy, &mou_util_safe_strcpy);
    const char *in = "xyz";
    EXPECT_TRUE(util->match_string(util, in, "y"));
    EXPECT_EQ(util->match_start, in + 1);
}

TEST_F(UtilUnix, WhoAndWhere) {
    const char *user = nullptr;
    ASSERT_EQ(util->get_real_user_name(util, &user), 0);
    ASSERT_NE(user, nullptr);
    EXPECT_GT(strlen(user), 0u);
    const char *host = nullptr;
    ASSERT_EQ(util->local_machine_name(util, 0, &host), 0);
    char expect[256];
    gethostname(expect, sizeof(expect));
    EXPECT_STREQ(host, expect);
    mo_string_t pid;
    util->get_process_id(util, pid);
    EXPECT_EQ(std::string(pid), std::to_string(getpid()));
    mou_datetime_t now = 0;
    util->get_current_datetime(util, &now);
    EXPECT_GT(now, 1700000000);
}

TEST_F(UtilUnix, DurationTexts) {
    EXPECT_EQ(elapsed(0), "0 secs");
    EXPECT_EQ(elapsed(59), "59 secs");
    EXPECT_EQ(elapsed(125), "2 minutes 5 secs");
    EXPECT_EQ(elapsed(3600), "1 hours 0 minutes 0 secs");
    EXPECT_EQ(elapsed(90061), "1 days 1 hours 1 minutes 1 secs");
    EXPECT_EQ(elapsed(86400), "1 days 0 hours 0 minutes 0 secs");
    EXPECT_EQ(elapsed(366L * 86400 + 5), "1 days 0 hours 0 minutes 5 secs") << "days wrap within a year";
}

TEST_F(UtilUnix, FullStringsInLocalTime) {
    ZoneGuard zone("UTC0");
    char buf[MOU_TIME_TEXT_LEN];
    ASSERT_EQ(util->datetime_to_fullstring(util, 1767268800, 0, buf), 0); // 2026-01-01 12:00 UTC
    EXPECT_STREQ(buf, "01 Jan 2026 12:00");
    ASSERT_EQ(util->datetime_to_fullstring(util, 1767268805, 1, buf), 0);
    EXPECT_STREQ(buf, "Thu, 01 Jan 2026 12:00:05 UTC");
}

TEST_F(UtilUnix, UnknownFormatLeavesBufferAndStillSucceeds) {
    char buf[MOU_TIME_TEXT_LEN] = "unchanged";
    int ret = 1;
    std::string err = mot_test::capture_stderr([&] { ret = util->datetime_to_fullstring(util, 0, 2, buf); });
    EXPECT_EQ(ret, 0);
    EXPECT_STREQ(buf, "unchanged");
    EXPECT_THAT(err, HasSubstr("moux_util_datetime_to_fullstring format not reckonized 2\n"));
}

TEST_F(UtilUnix, ParsingFullStringsIsNotAvailable) {
    mou_datetime_t t = 0;
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = util->fullstring_to_datetime(util, "01 Jan 2026 12:00", &t); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("mou_longstring_to_datetime not implemented yet!\n"));
}

TEST_F(UtilUnix, ModifyTimeKeepsTheInstantOnlyWhereLocalIsUniversal) {
    mou_datetime_t when = 1784116800; // 2026-07-15 12:00:00 UTC
    mou_datetime_t out = 0;
    {
        ZoneGuard zone("UTC0");
        ASSERT_EQ(util->modify_time(util, when, -1, -1, -1, &out), 0);
        EXPECT_EQ(out, when);
        ASSERT_EQ(util->modify_time(util, when, 3, 0, 0, &out), 0);
        EXPECT_EQ(out, 1784084400); // 2026-07-15 03:00:00
    }
    {
        ZoneGuard zone("EST5");
        ASSERT_EQ(util->modify_time(util, when, -1, -1, -1, &out), 0);
        EXPECT_EQ(out, when + 5 * 3600) << "the universal fields are read back as local time";
    }
}

TEST_F(UtilUnix, ModifyTimeHitsTheLocalHourInSummerAndWinter) {
    ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    for (mou_datetime_t when : {mou_datetime_t{1784116800}, mou_datetime_t{1768478400}}) { // July, January
        mou_datetime_t out = 0;
        ASSERT_EQ(util->modify_time(util, when, 3, 0, 0, &out), 0);
        time_t t = out;
        struct tm local;
        localtime_r(&t, &local);
        EXPECT_EQ(local.tm_hour, 3) << "at " << when;
        EXPECT_EQ(local.tm_min, 0);
        EXPECT_EQ(local.tm_sec, 0);
    }
}

} // namespace
