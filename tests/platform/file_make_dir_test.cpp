// Directory creation through the installation's mkdir program, run by the real process service.
#include "platform/mocl_cleanup.h"
#include "platform/mof_file_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "support/bundle.h"
#include "support/util.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

using testing::HasSubstr;

struct MakeDirFixture : ::testing::Test {
    mot_test::Bundle bundle;
    mot_test::TempDir tmp;
    std::string exec_dir;
    MOS_SIGNAL_T *signal = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    MOP_PROCESS_T *process = nullptr;
    MOF_FILE_T *file = nullptr;
    void SetUp() override {
        // The executable directory holds a link to the system's mkdir, as an installation does.
        exec_dir = tmp.path + "/bin";
        ASSERT_EQ(mkdir(exec_dir.c_str(), 0755), 0);
        ASSERT_EQ(symlink("/bin/mkdir", (exec_dir + "/mkdir").c_str()), 0);
        ASSERT_EQ(mos_signal_construct(&signal, bundle.low, &moux_signal_slots), 0);
        ASSERT_EQ(mocl_cleanup_new(&fatal, nullptr, &bundle.mem, signal, "Request-Fatal"), 0);
        ASSERT_EQ(mop_process_construct(&process, bundle.low, &moux_process_slots), 0);
        ASSERT_EQ(process->init(process, fatal, signal, nullptr), 0);
        ASSERT_EQ(mof_file_construct(&file, bundle.low, &moux_file_slots), 0);
        file->init(file, nullptr, nullptr, exec_dir.c_str(), process);
    }
    void TearDown() override {
        // The process service keeps its record for the child-exit handler: stop it before the pool goes.
        moux_kill_children("", process, nullptr);
        signal->set(signal, MOS_SIGCHLD, mos_signal_default);
        signal->reset_protection(signal);
    }
    bool is_dir(const std::string &path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
};

TEST_F(MakeDirFixture, CreatesMissingParents) {
    std::string deep = tmp.path + "/a/b/c";
    EXPECT_EQ(file->make_dir(file, deep.c_str()), 0);
    EXPECT_TRUE(is_dir(deep));
    EXPECT_EQ(file->make_dir(file, deep.c_str()), 0) << "an existing directory is fine";
}

TEST_F(MakeDirFixture, CheckFileDirCreatesTheDirectoryOfAMissingFile) {
    std::string target = tmp.path + "/lib/list_7/data";
    EXPECT_EQ(file->check_file_dir(file, target.c_str()), 0);
    EXPECT_TRUE(is_dir(tmp.path + "/lib/list_7"));
    EXPECT_FALSE(file->exists(file, target.c_str()));
}

TEST_F(MakeDirFixture, FailureIsReportedWithTheDirectory) {
    std::string blocker = tmp.path + "/plain";
    std::ofstream(blocker) << "x";
    std::string bad = blocker + "/sub";
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = file->make_dir(file, bad.c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't make directory: " + bad + "\n"));
    EXPECT_FALSE(is_dir(bad));
}

TEST_F(MakeDirFixture, MissingMkdirProgramFails) {
    std::string empty_bin = tmp.path + "/nobin";
    mkdir(empty_bin.c_str(), 0755);
    file->init(file, nullptr, nullptr, empty_bin.c_str(), process);
    std::string dir = tmp.path + "/never";
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = file->make_dir(file, dir.c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't make directory: " + dir + "\n"));
    EXPECT_FALSE(is_dir(dir));
}

} // namespace
