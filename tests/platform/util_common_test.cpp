// Matching, time arithmetic and the bounded copies of the utility service.
#include "platform/mou_util_cmn.h"

#include <gtest/gtest.h>
#include <cstring>
#include <string>

namespace {

MOU_UTIL_T blank_util() {
    MOU_UTIL_T u{};
    return u;
}

TEST(UtilMatch, ExactMatchSetsPositions) {
    MOU_UTIL_T u = blank_util();
    const char *in = "hello world";
    EXPECT_TRUE(mou_util_match_string(&u, in, "lo w"));
    EXPECT_EQ(u.match_start, in + 3);
    EXPECT_EQ(u.match_end, in + 7);
    EXPECT_FALSE(mou_util_match_string(&u, in, "Hello"));
    EXPECT_EQ(u.match_start, in + 3) << "a failed match leaves the last positions";
}

TEST(UtilMatch, NocaseFindsPatternAndPositions) {
    MOU_UTIL_T u = blank_util();
    const char *in = "abcd";
    EXPECT_TRUE(mou_util_match_string_nocase(&u, in, "Bc"));
    EXPECT_EQ(u.match_start, in + 1);
    EXPECT_EQ(u.match_end, in + 3);
    const char *in2 = "Some TEXT here";
    EXPECT_TRUE(mou_util_match_string_nocase(&u, in2, "text"));
    EXPECT_EQ(u.match_start, in2 + 5);
    EXPECT_EQ(u.match_end, in2 + 9);
}

TEST(UtilMatch, NocaseDoesNotRecompareTheMismatchingCharacter) {
    MOU_UTIL_T u = blank_util();
    EXPECT_FALSE(mou_util_match_string_nocase(&u, "aab", "ab"));
    EXPECT_FALSE(mou_util_match_string_nocase(&u, "xaab", "AB"));
    EXPECT_TRUE(mou_util_match_string_nocase(&u, "aXab", "ab")) << "a later clean start still matches";
    EXPECT_TRUE(mou_util_match_string(&u, "aab", "ab")) << "the exact matcher has no such quirk";
}

TEST(UtilMatch, NocaseFoldsOnlyAsciiLetters) {
    MOU_UTIL_T u = blank_util();
    EXPECT_TRUE(mou_util_match_string_nocase(&u, "[ABC]", "[abc]"));
    EXPECT_FALSE(mou_util_match_string_nocase(&u, "\xC4", "\xE4"))
        << "Latin-1 letters are compared as they are";
    EXPECT_FALSE(mou_util_match_string_nocase(&u, "ab", "abc")) << "input ends before the pattern";
}

TEST(UtilTime, ArithmeticAndUnsignedComparison) {
    EXPECT_EQ(mou_util_time_subtract(nullptr, 1000, 400), 600);
    EXPECT_EQ(mou_util_time_add(nullptr, 1000, 400), 1400);
    EXPECT_TRUE(mou_util_is_time_greater(nullptr, 1001, 1000));
    EXPECT_FALSE(mou_util_is_time_greater(nullptr, 1000, 1000));
    EXPECT_FALSE(mou_util_is_time_greater(nullptr, 999, 1000));
}

TEST(UtilCopy, CopyCutsAndTerminatesWithinCapacity) {
    char buf[8];
    memset(buf, 'x', sizeof(buf));
    mou_util_safe_strcpy(nullptr, buf, "abc", sizeof(buf));
    EXPECT_STREQ(buf, "abc");
    char guard[12];
    memset(guard, 'G', sizeof(guard));
    mou_util_safe_strcpy(nullptr, guard, "0123456789ABCDEF", 8);
    EXPECT_STREQ(guard, "0123456");
    EXPECT_EQ(guard[8], 'G') << "nothing written past capacity";
    mou_util_safe_strcpy(nullptr, guard, nullptr, 8);
    EXPECT_STREQ(guard, "");
    guard[0] = 'Q';
    mou_util_safe_strcpy(nullptr, guard, "abc", 0);
    EXPECT_EQ(guard[0], 'Q') << "capacity 0 writes nothing";
}

TEST(UtilCopy, AppendCutsAndTerminatesWithinCapacity) {
    char buf[12];
    memset(buf, 'G', sizeof(buf));
    mou_util_safe_strcpy(nullptr, buf, "abc", 8);
    mou_util_safe_strcat(nullptr, buf, "de", 8);
    EXPECT_STREQ(buf, "abcde");
    mou_util_safe_strcat(nullptr, buf, "fghij", 8);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(buf[8], 'G');
    mou_util_safe_strcat(nullptr, buf, "more", 8);
    EXPECT_STREQ(buf, "abcdefg") << "a full buffer stays as it is";
    char raw[4] = {'a', 'b', 'c', 'd'};
    mou_util_safe_strcat(nullptr, raw, "x", sizeof(raw));
    EXPECT_EQ(std::string(raw, 3), "abc");
    EXPECT_EQ(raw[3], '\0') << "an unterminated destination is terminated inside capacity";
}

TEST(UtilCopy, OverlappingCopyWithinOneBuffer) {
    char buf[16] = "hello world";
    mou_util_safe_strcpy(nullptr, buf, buf + 6, sizeof(buf));
    EXPECT_STREQ(buf, "world");
}

} // namespace
