// Behaviour of the error, memory, signal, file and process services that the other platform tests
// leave out: suppressed errors, ordering against normal output, signal dispositions, stream
// failures, process groups and the failure texts of the process streams.
#include "platform/mocl_cleanup.h"
#include "platform/mof_file_cmn.h"
#include "storage/mols_list.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "process_fixture.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing::HasSubstr;
using testing::Not;

struct RevErrorFixture : ::testing::Test {
    mot_test::Bundle b;
};

TEST_F(RevErrorFixture, InErrorSilencesErrorsOnly) {
    b.error.in_error = TRUE;
    std::string out = mot_test::capture_stderr([&] {
        b.error.report(&b.error, "hidden\n");
        b.error.report_note(&b.error, "note\n");
    });
    EXPECT_THAT(out, Not(HasSubstr("hidden")));
    EXPECT_THAT(out, HasSubstr("] note\n"));
    EXPECT_TRUE(b.error.in_error);
    b.error.init(&b.error, nullptr, TRUE);
    EXPECT_FALSE(b.error.in_error);
    out = mot_test::capture_stderr([&] { b.error.report(&b.error, "shown\n"); });
    EXPECT_THAT(out, HasSubstr("] init: shown\n"));
}

TEST_F(RevErrorFixture, BasicHeaderIsPaddedToNineColumns) {
    std::string out = mot_test::capture_stderr([&] {
        b.error.report_basic(&b.error, "Info: ", "%d items", 3);
        b.error.report_debug(&b.error, "d\n");
    });
    EXPECT_EQ(out.rfind("Info:    [", 0), 0u) << out;
    EXPECT_THAT(out, HasSubstr("] 3 items\nDebug:   ["));
}

TEST_F(RevErrorFixture, ErrorFollowsNormalOutputAlreadyWritten) {
    // Both streams into one pipe: the buffered page text must come out before the error line.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fflush(stdout);
    fflush(stderr);
    int saved_out = dup(1), saved_err = dup(2);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    printf("page text ");
    b.error.report(&b.error, "after\n");
    fflush(stdout);
    dup2(saved_out, 1);
    dup2(saved_err, 2);
    close(saved_out);
    close(saved_err);
    close(fds[1]);
    std::string got;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof(buf))) > 0)
        got.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    EXPECT_EQ(got.rfind("page text Error:   [", 0), 0u) << got;
}

TEST_F(RevErrorFixture, MemoryInitKeepsPoolsItIsNotGiven) {
    int session = 0, request = 0, other = 0;
    EXPECT_EQ(b.mem.init(&b.mem, &session, &request), 0);
    EXPECT_EQ(b.mem.init(&b.mem, nullptr, nullptr), 0);
    EXPECT_EQ(b.mem.session_pool_ref, &session);
    EXPECT_EQ(b.mem.req_pool_ref, &request);
    EXPECT_EQ(b.mem.init(&b.mem, nullptr, &other), 0);
    EXPECT_EQ(b.mem.session_pool_ref, &session);
    EXPECT_EQ(b.mem.req_pool_ref, &other);
    // Sub-pools are nominal: the caller's reference is left as the caller set it.
    void *sub = &other;
    EXPECT_EQ(b.mem.create_sub_pool(&b.mem, nullptr, &sub), 0);
    EXPECT_EQ(sub, &other);
    EXPECT_EQ(b.mem.report_num_bytes(&b.mem, nullptr), 0);
}

struct RevSignalFixture : ::testing::Test {
    mot_test::Bundle b;
    MOS_SIGNAL_T *signal = nullptr;
    struct sigaction saved[MOUX_SIGNAL_COUNT];
    void SetUp() override {
        ASSERT_EQ(mos_signal_construct(&signal, b.low, &moux_signal_slots), 0);
        for (int i = 0; i < MOUX_SIGNAL_COUNT; i++)
            sigaction(moux_signal_table[i].signum, nullptr, &saved[i]);
    }
    void TearDown() override {
        signal->reset_protection(signal);
        for (int i = 0; i < MOUX_SIGNAL_COUNT; i++)
            sigaction(moux_signal_table[i].signum, &saved[i], nullptr);
    }
};

TEST_F(RevSignalFixture, InitTakesAllEightAndResetGivesThemBack) {
    ASSERT_EQ(signal->init(signal), 0);
    for (const MOUX_SIGNAL_T &row : moux_signal_table) {
        struct sigaction now;
        sigaction(row.signum, nullptr, &now);
        EXPECT_EQ(now.sa_handler, moux_signal_fatal_handler) << row.name;
        EXPECT_TRUE(now.sa_flags & SA_RESTART) << row.name;
    }
    // Protection blocks exactly the handled signals.
    ASSERT_EQ(signal->begin_protection(signal), 0);
    sigset_t now;
    sigprocmask(SIG_BLOCK, nullptr, &now);
    for (const MOUX_SIGNAL_T &row : moux_signal_table)
        EXPECT_EQ(sigismember(&now, row.signum), 1) << row.name;
    EXPECT_EQ(sigismember(&now, SIGUSR1), 0);
    ASSERT_EQ(signal->end_protection(signal), 0);

    ASSERT_EQ(signal->reset_defaults(signal), 0);
    for (const MOUX_SIGNAL_T &row : moux_signal_table) {
        struct sigaction act;
        sigaction(row.signum, nullptr, &act);
        EXPECT_EQ(act.sa_handler, SIG_DFL) << row.name;
    }
}

struct RevFileFixture : ::testing::Test {
    mot_test::Bundle b;
    MOF_FILE_T *file = nullptr;
    void SetUp() override {
        ASSERT_EQ(mof_file_construct(&file, b.low, &moux_file_slots), 0);
        file->init(file, nullptr, nullptr, nullptr, nullptr);
    }
};

TEST_F(RevFileFixture, WriteFailuresCarryTheSystemText) {
    void *ref = nullptr;
    ASSERT_EQ(file->open_file(file, "/dev/full", &ref, MOF_MODE_WRITE), 0);
    std::string block(64 * 1024, 'x'); // larger than any stream buffer: written through at once
    int ret_buf = 0, ret_putc = 0;
    std::string err = mot_test::capture_stderr([&] {
        ret_buf = file->write_buf(file, "/dev/full", ref, block.data(), block.size());
        for (int i = 0; i < 64 * 1024 && ret_putc == 0; i++)
            ret_putc = file->file_putc(file, "/dev/full", ref, 'y');
    });
    file->close_file(file, "/dev/full", ref);
    EXPECT_EQ(ret_buf, 1);
    EXPECT_EQ(ret_putc, 1);
    EXPECT_THAT(err, HasSubstr("Error occurred during moux_file_write No space left on device\n"));
    EXPECT_THAT(err, HasSubstr("Error occurred during moux_file_putc No space left on device\n"));
}

// Alive and not merely waiting to be collected by whoever adopted it.
bool running(int pid) {
    if (kill(pid, 0) != 0)
        return false;
    FILE *f = fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (f == nullptr)
        return false;
    char state = '?';
    int got = fscanf(f, "%*d %*s %c", &state);
    fclose(f);
    return got == 1 && state != 'Z';
}

int opens_seen = 0;
int counting_open(MOF_FILE_T *file, const char *filename, void **file_ref, int mode) noexcept {
    opens_seen++;
    return moux_file_open_file(file, filename, file_ref, mode);
}

TEST_F(RevFileFixture, ReplacedOpenSlotServesEveryCaller) {
    // The server-hosted variant replaces opening: touching, copying and whole-file reads must all go
    // through the record's slot.
    mot_test::TempDir tmp;
    file->open_file = counting_open;
    opens_seen = 0;
    std::string a = tmp.path + "/a", b = tmp.path + "/b";
    ASSERT_EQ(file->touch_file(file, a.c_str()), 0);
    EXPECT_EQ(opens_seen, 1);
    ASSERT_EQ(file->copy_file(file, b.c_str(), a.c_str()), 0);
    EXPECT_EQ(opens_seen, 3);
    char *buf = nullptr;
    size_t count = 9;
    ASSERT_EQ(mof_file_mem_read(file, b.c_str(), nullptr, &buf, &count), 0);
    EXPECT_EQ(opens_seen, 4);
    EXPECT_EQ(count, 0u);
}

using RevProcessFixture = mot_test::ProcessFixture;

TEST_F(RevProcessFixture, GroupKillReachesTheChildsOwnChildren) {
    // The shell starts a sleeper, then ignores SIGTERM and waits for it; only a kill of the whole
    // group (which the child leads) stops the sleeper and so the shell.
    mot_test::TempDir dir;
    std::string pidfile = dir.path + "/sleeper";
    std::string script = "sleep 30 & echo $! > " + pidfile + "; trap '' TERM; echo ready; wait";
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_IGNORE, "sh", "-c", script.c_str(), nullptr), 0);
    EXPECT_EQ(getpgid(ch.child_pid), ch.child_pid);
    char buf[64];
    mo_boolean_t eof = FALSE;
    ASSERT_EQ(proc->read_line(proc, &ch, buf, sizeof(buf), &eof), 0);
    ASSERT_STREQ(buf, "ready\n");
    FILE *f = fopen(pidfile.c_str(), "r");
    ASSERT_NE(f, nullptr);
    int sleeper = 0;
    ASSERT_EQ(fscanf(f, "%d", &sleeper), 1);
    fclose(f);
    EXPECT_EQ(getpgid(sleeper), ch.child_pid);
    int pid = ch.child_pid;
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(proc->kill_process(proc, &ch), 0); });
    EXPECT_THAT(err, HasSubstr("] Sending process group kill to process " + std::to_string(pid) + "\n"));
    EXPECT_THAT(err, Not(HasSubstr("Sending QUIT")));
    EXPECT_EQ(ch.in, -1);
    EXPECT_EQ(ch.out, -1);
    EXPECT_EQ(ch.err, -1);
    EXPECT_FALSE(running(pid));
    EXPECT_FALSE(running(sleeper));
}

TEST_F(RevProcessFixture, StreamFailuresNameTheProgram) {
    ASSERT_EQ(proc->open_process(proc, &ch, MOP_ON_ERROR_FAIL, "cat", nullptr), 0);
    MOP_CHANNEL_T broken = ch;
    broken.in = broken.out = broken.err = -1;
    char buf[16];
    mo_boolean_t eof = FALSE;
    int r1 = 0, r2 = 0, r3 = 0;
    std::string err = mot_test::capture_stderr([&] {
        r1 = proc->read_line(proc, &broken, buf, sizeof(buf), &eof);
        r2 = proc->read_err_line(proc, &broken, buf, sizeof(buf), &eof);
        r3 = proc->begin_output_redirect(proc, &broken);
    });
    EXPECT_EQ(r1, 1);
    EXPECT_EQ(r2, 1);
    EXPECT_EQ(r3, 1);
    EXPECT_THAT(err, HasSubstr("Can't read from process cat : Bad file descriptor\n"));
    EXPECT_THAT(err, HasSubstr("Can't read from stderr of process cat : Bad file descriptor\n"));
    EXPECT_THAT(err,
                HasSubstr("dup2 failed in begin_output_redirect for process cat : Bad file descriptor\n"));
    EXPECT_EQ(broken.old_out_fd, -1);
    // Standard output is still ours.
    EXPECT_NE(fcntl(1, F_GETFD), -1);
    long count = 5;
    EXPECT_EQ(proc->read_buf(proc, &broken, buf, sizeof(buf), &count, &eof), 0);
    EXPECT_LT(count, 0);
    EXPECT_FALSE(eof);
    int status = 7;
    EXPECT_EQ(proc->end_process(proc, &ch, MOP_ON_ERROR_FAIL, &status), 0);
    EXPECT_EQ(status, 0);
}

} // namespace
