// Error reports and the memory service, read back from a redirected standard error.
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_mem.h"
#include "entry/molt_lowest.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

namespace {

using testing::HasSubstr;
using testing::Not;

struct ErrorFixture : ::testing::Test {
    MOE_ERROR_T error{};
    MOLT_LOWEST_T lowest{};
    MOME_MEM_T mem{};
    void SetUp() override {
        moe_error_construct(&error, &moux_error_slots);
        error.init(&error, nullptr, TRUE);
        molt_lowest_construct(&lowest, &error);
        mome_mem_construct(&mem, &lowest, &moux_mem_slots);
    }
};

TEST_F(ErrorFixture, ErrorLineHasHeaderStampAndInitPrefix) {
    std::string out = mot_test::capture_stderr([&] { error.report(&error, "bad %d", 7); });
    // "Error: " padded to nine columns, then the bracketed stamp, then "init: " and the text.
    ASSERT_EQ(out.rfind("Error:   [", 0), 0u) << out;
    EXPECT_THAT(out, HasSubstr("] ["));
    EXPECT_TRUE(out.size() > 12 && out.compare(out.size() - 12, 12, "init: bad 7\n") == 0) << out;
}

TEST_F(ErrorFixture, CommandNameJoinsWordsWithUnderscore) {
    error.strcat_cmd(&error, "morvale");
    error.strcat_cmd(&error, "daemon");
    EXPECT_STREQ(error.cmd_name, "morvale_daemon");
    std::string out = mot_test::capture_stderr([&] { error.report(&error, "x\n"); });
    EXPECT_THAT(out, HasSubstr("] morvale_daemon: x\n"));
    EXPECT_THAT(out, Not(HasSubstr("x\n\n"))) << "no second line feed";
}

TEST_F(ErrorFixture, IgnoreSilencesErrorsButNotWarnings) {
    error.ignore = TRUE;
    std::string out = mot_test::capture_stderr([&] {
        error.report(&error, "hidden\n");
        error.report_warning(&error, "kept\n");
    });
    EXPECT_THAT(out, Not(HasSubstr("hidden")));
    EXPECT_EQ(out.rfind("Warning: [", 0), 0u) << out;
    EXPECT_STREQ(error.warning_msg, "kept\n");
}

TEST_F(ErrorFixture, MachineAndUserAppearInStamp) {
    snprintf(error.machine_name, sizeof(error.machine_name), "host1");
    snprintf(error.user_name, sizeof(error.user_name), "anna");
    std::string out = mot_test::capture_stderr([&] { error.report_note(&error, "n"); });
    EXPECT_THAT(out, HasSubstr("] [host1] [anna] n\n"));
    EXPECT_EQ(out.rfind("Note:    [", 0), 0u) << out;
}

TEST_F(ErrorFixture, WarningStoreKeepsAtMost4094Characters) {
    std::string big(1000, 'a'); // one formatted text holds at most 1023 characters
    std::string more(95, 'b');
    mot_test::capture_stderr([&] {
        for (int i = 0; i < 4; i++)
            error.report_warning(&error, "%s", big.c_str());
        error.report_warning(&error, "%s", more.c_str()); // 4095: not kept
        error.report_warning(&error, "%s", "cc");         // 4002: kept
    });
    EXPECT_EQ(strlen(error.warning_msg), 4002u);
    EXPECT_EQ(std::string(error.warning_msg + 4000), "cc");
    error.init(&error, nullptr, FALSE);
    EXPECT_EQ(strlen(error.warning_msg), 4002u) << "init without clearing keeps warnings";
    EXPECT_STREQ(error.cmd_name, "");
}

TEST_F(ErrorFixture, OverlongMessageIsCutNotOverrun) {
    std::string huge(5000, 'z');
    std::string out = mot_test::capture_stderr([&] { error.report(&error, "%s", huge.c_str()); });
    EXPECT_LT(out.size(), 1200u);
    EXPECT_EQ(out.back(), '\n');
}

TEST_F(ErrorFixture, StoreAndRestoreString) {
    char *s = nullptr;
    ASSERT_EQ(mem.store_string(&mem, nullptr, &s, "abc"), 0);
    EXPECT_STREQ(s, "abc");
    // Replacing a string by itself must not read freed memory.
    ASSERT_EQ(mem.restore_string(&mem, nullptr, &s, s), 0);
    EXPECT_STREQ(s, "abc");
    ASSERT_EQ(mem.restore_string(&mem, nullptr, &s, "longer text"), 0);
    EXPECT_STREQ(s, "longer text");
    mem.free(&mem, nullptr, s);
}

TEST_F(ErrorFixture, OutOfMemoryIsReported) {
    void *p = reinterpret_cast<void *>(1);
    std::string out =
        mot_test::capture_stderr([&] { EXPECT_EQ(mem.malloc(&mem, nullptr, &p, SIZE_MAX / 2), 1); });
    EXPECT_EQ(p, nullptr);
    EXPECT_THAT(out, HasSubstr("init: Out of memory\n"));
}

} // namespace

// The out-of-memory test asks for an impossible block; under the address sanitizer that must come back
// as NULL instead of stopping the program.
extern "C" const char *__asan_default_options() {
    return "allocator_may_return_null=1";
}
