// Temporary files on the request's "Request-Always" cleanup list, run through the real cleanup list
// and signal service.
#include "platform/mocl_cleanup.h"
#include "platform/mof_file_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_signal.h"
#include "support/bundle.h"
#include "support/util.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

namespace {

using testing::HasSubstr;

struct CleanupFixture : ::testing::Test {
    mot_test::Bundle bundle;
    mot_test::TempDir tmp;
    MOS_SIGNAL_T *signal = nullptr;
    MOCL_CLEANUP_T *always = nullptr;
    MOF_FILE_T *file = nullptr;
    void SetUp() override {
        ASSERT_EQ(mos_signal_construct(&signal, bundle.low, &moux_signal_slots), 0);
        ASSERT_EQ(mocl_cleanup_new(&always, nullptr, &bundle.mem, signal, "Request-Always"), 0);
        ASSERT_EQ(mof_file_construct(&file, bundle.low, &moux_file_slots), 0);
        file->init(file, nullptr, always, nullptr, nullptr);
    }
    void TearDown() override { signal->reset_protection(signal); }
    std::string make(const std::string &name) {
        std::string path = tmp.path + "/" + name;
        std::ofstream(path) << "temp";
        return path;
    }
};

TEST_F(CleanupFixture, MarkedFilesGoAtTheEndOfTheRequest) {
    std::string a = make("a");
    std::string b = make("b");
    ASSERT_EQ(file->mark_as_cleanup(file, a.c_str()), 0);
    ASSERT_EQ(file->mark_as_cleanup(file, b.c_str()), 0);
    ASSERT_NE(always->runlist->list, nullptr);
    EXPECT_STREQ(always->runlist->list->name, ("cleanup file " + b).c_str());
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(always->run(always), 0); });
    EXPECT_FALSE(file->exists(file, a.c_str()));
    EXPECT_FALSE(file->exists(file, b.c_str()));
    EXPECT_THAT(err, HasSubstr("Cleaning up Request-Always\n"));
    EXPECT_THAT(err, HasSubstr("cleanup file " + a + "\n"));
}

TEST_F(CleanupFixture, UnmarkedFileSurvives) {
    std::string keep = make("keep");
    std::string gone = make("gone");
    ASSERT_EQ(file->mark_as_cleanup(file, keep.c_str()), 0);
    ASSERT_EQ(file->mark_as_cleanup(file, gone.c_str()), 0);
    ASSERT_EQ(file->delete_cleanup(file, keep.c_str()), 0);
    always->stop_print(always);
    EXPECT_EQ(always->run(always), 0);
    EXPECT_TRUE(file->exists(file, keep.c_str()));
    EXPECT_FALSE(file->exists(file, gone.c_str()));
}

TEST_F(CleanupFixture, MarkCopiesTheName) {
    std::string path = make("copied");
    char name[300];
    snprintf(name, sizeof(name), "%s", path.c_str());
    ASSERT_EQ(file->mark_as_cleanup(file, name), 0);
    snprintf(name, sizeof(name), "%s", "/nonexistent/other");
    always->stop_print(always);
    EXPECT_EQ(always->run(always), 0);
    EXPECT_FALSE(file->exists(file, path.c_str()));
}

TEST_F(CleanupFixture, NoListBeforeInitIsReported) {
    file->init(file, nullptr, nullptr, nullptr, nullptr);
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = file->mark_as_cleanup(file, "/tmp/x"); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("No cleanup list for temporary file /tmp/x\n"));
}

} // namespace
