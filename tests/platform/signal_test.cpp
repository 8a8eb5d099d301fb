// Signal service, protected sections, run lists and cleanup lists, including the fatal-signal path
// run in a forked child process.
#include "platform/mocl_cleanup.h"
#include "platform/mome_mem_cmn.h"
#include "platform/morl_runlist.h"
#include "platform/moux_unix_signal.h"
#include "support/bundle.h"
#include "support/process.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using testing::HasSubstr;

volatile sig_atomic_t hup_count = 0;
void count_hup(int) noexcept {
    hup_count = hup_count + 1;
}

struct SignalFixture : ::testing::Test {
    mot_test::Bundle b;
    MOS_SIGNAL_T *signal = nullptr;
    void SetUp() override {
        ASSERT_EQ(mos_signal_construct(&signal, b.low, &moux_signal_slots), 0);
        hup_count = 0;
    }
    void TearDown() override {
        signal->reset_protection(signal);
        signal->set(signal, MOS_SIGHUP, mos_signal_default);
    }
    bool blocked(int signum) {
        sigset_t now;
        sigprocmask(SIG_BLOCK, nullptr, &now);
        return sigismember(&now, signum) == 1;
    }
};

TEST_F(SignalFixture, ConstructorLeavesBindingsUnbound) {
    EXPECT_EQ(signal->low, b.low);
    EXPECT_EQ(signal->session_cleanup_ref.fn, nullptr);
    EXPECT_EQ(signal->req_always_cleanup_ref.fn, nullptr);
    EXPECT_EQ(signal->req_fatal_cleanup_ref.fn, nullptr);
    EXPECT_EQ(signal->set, moux_signal_set);
}

TEST_F(SignalFixture, NestedSectionsDeliverOnlyAtOutermostEnd) {
    ASSERT_EQ(signal->set(signal, MOS_SIGHUP, count_hup), 0);
    ASSERT_EQ(signal->begin_protection(signal), 0);
    ASSERT_EQ(signal->begin_protection(signal), 0);
    EXPECT_TRUE(blocked(SIGTERM));
    EXPECT_TRUE(blocked(SIGCHLD));
    raise(SIGHUP);
    EXPECT_EQ(hup_count, 0);
    ASSERT_EQ(signal->end_protection(signal), 0);
    EXPECT_EQ(hup_count, 0) << "inner end must not unblock";
    EXPECT_EQ(moux_signal_protection_depth(), 1);
    ASSERT_EQ(signal->end_protection(signal), 0);
    EXPECT_EQ(hup_count, 1);
    EXPECT_FALSE(blocked(SIGTERM));
    // An extra end leaves the depth at 0 and the mask alone.
    sigset_t usr;
    sigemptyset(&usr);
    sigaddset(&usr, SIGUSR1);
    sigprocmask(SIG_BLOCK, &usr, nullptr);
    EXPECT_EQ(signal->end_protection(signal), 0);
    EXPECT_EQ(moux_signal_protection_depth(), 0);
    EXPECT_TRUE(blocked(SIGUSR1));
    sigprocmask(SIG_UNBLOCK, &usr, nullptr);
}

TEST_F(SignalFixture, ResetProtectionRestoresMaskFromAnyDepth) {
    signal->begin_protection(signal);
    signal->begin_protection(signal);
    signal->begin_protection(signal);
    EXPECT_TRUE(blocked(SIGHUP));
    EXPECT_EQ(signal->reset_protection(signal), 0);
    EXPECT_EQ(moux_signal_protection_depth(), 0);
    EXPECT_FALSE(blocked(SIGHUP));
}

TEST_F(SignalFixture, UnknownIdIsReported) {
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = signal->set(signal, 9, count_hup); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("No mapping for sig_id 9 in moux_signal_set\n"));
    EXPECT_EQ(moux_signal_number(9), -1);
    EXPECT_EQ(moux_signal_number(MOS_SIGXFSZ), SIGXFSZ);
}

TEST_F(SignalFixture, IgnoreValueIsTranslatedNotCalled) {
    ASSERT_EQ(signal->set(signal, MOS_SIGHUP, mos_signal_ignore), 0);
    struct sigaction now;
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    raise(SIGHUP); // survives
    ASSERT_EQ(signal->set(signal, MOS_SIGHUP, count_hup), 0);
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_TRUE(now.sa_flags & SA_RESTART);
    ASSERT_EQ(signal->set(signal, MOS_SIGHUP, mos_signal_default), 0);
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

std::vector<std::string> *trace = nullptr;
int bound_action(void *ref) noexcept {
    trace->push_back(static_cast<const char *>(ref));
    return 1; // results are ignored
}

TEST_F(SignalFixture, RunCleanupRunsFatalThenAlwaysThenSession) {
    std::vector<std::string> seen;
    trace = &seen;
    signal->add_cleanup(signal, &signal->session_cleanup_ref, nullptr, bound_action, (void *)"session");
    signal->add_cleanup(signal, &signal->req_always_cleanup_ref, nullptr, bound_action, (void *)"always");
    signal->add_cleanup(signal, &signal->req_fatal_cleanup_ref, nullptr, bound_action, (void *)"fatal");
    EXPECT_EQ(signal->run_cleanup(signal), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"fatal", "always", "session"}));
    seen.clear();
    signal->del_cleanup(signal, &signal->req_always_cleanup_ref);
    signal->run_cleanup(signal);
    EXPECT_EQ(seen, (std::vector<std::string>{"fatal", "session"}));
    EXPECT_EQ(moux_signal_protection_depth(), 0);
    trace = nullptr;
}

// Run list and cleanup list actions record their calls here.
struct Calls {
    std::vector<std::string> log;
    int fail_on = -1; // ref1 value whose action fails
};

int record_action(const char *name, void *ref1, void *ref2) noexcept {
    Calls *calls = static_cast<Calls *>(ref2);
    long id = reinterpret_cast<long>(ref1);
    calls->log.push_back(std::string(name) + ":" + std::to_string(id));
    return id == calls->fail_on ? 7 : 0;
}

int record_callout(void *callout_ref, const char *name, void *ref1, void *) noexcept {
    Calls *calls = static_cast<Calls *>(callout_ref);
    calls->log.push_back(std::string("callout ") + name + ":" + std::to_string(reinterpret_cast<long>(ref1)));
    return 0;
}

TEST_F(SignalFixture, RunListRunsNewestFirstWithCallout) {
    MORL_RUNLIST_T *rl = nullptr;
    ASSERT_EQ(morl_runlist_new(&rl, nullptr, b.low->mem), 0);
    Calls calls;
    char name[] = "first";
    rl->add(rl, name, record_action, (void *)1, &calls);
    name[0] = 'X'; // the list keeps its own copy
    rl->add(rl, "second", record_action, (void *)2, &calls);
    EXPECT_EQ(rl->run(rl, record_callout, &calls, FALSE), 0);
    EXPECT_EQ(calls.log,
              (std::vector<std::string>{"callout second:2", "second:2", "callout first:1", "first:1"}));
}

TEST_F(SignalFixture, RunListDelRemovesOnlyNewerOfTwoNames) {
    MORL_RUNLIST_T *rl = nullptr;
    ASSERT_EQ(morl_runlist_new(&rl, nullptr, b.low->mem), 0);
    Calls calls;
    rl->add(rl, "same", record_action, (void *)1, &calls);
    rl->add(rl, "other", record_action, (void *)2, &calls);
    rl->add(rl, "same", record_action, (void *)3, &calls);
    EXPECT_EQ(rl->del(rl, "same"), 0);
    EXPECT_EQ(rl->del(rl, "absent"), 0);
    rl->run(rl, nullptr, nullptr, FALSE);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"other:2", "same:1"}));
    rl->reset(rl);
    EXPECT_EQ(rl->list, nullptr);
}

TEST_F(SignalFixture, RunListStopsAtFailureUnlessIgnoring) {
    MORL_RUNLIST_T *rl = nullptr;
    ASSERT_EQ(morl_runlist_new(&rl, nullptr, b.low->mem), 0);
    Calls calls;
    calls.fail_on = 2;
    rl->add(rl, "c", record_action, (void *)3, &calls);
    rl->add(rl, "b", record_action, (void *)2, &calls);
    rl->add(rl, "a", record_action, (void *)1, &calls);
    EXPECT_EQ(rl->run(rl, nullptr, nullptr, FALSE), 7);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"a:1", "b:2"}));
    calls.log.clear();
    EXPECT_EQ(rl->run(rl, nullptr, nullptr, TRUE), 0);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"a:1", "b:2", "c:3"}));
}

TEST_F(SignalFixture, CleanupListNotesEachEntryAndEmptiesOnSuccess) {
    MOCL_CLEANUP_T *cl = nullptr;
    ASSERT_EQ(mocl_cleanup_new(&cl, nullptr, b.low->mem, signal, "Request-Always"), 0);
    EXPECT_TRUE(cl->do_print);
    Calls calls;
    cl->add(cl, "cleanup file /tmp/a", record_action, (void *)1, &calls);
    cl->add(cl, "cleanup file /tmp/b", record_action, (void *)2, &calls);
    cl->del(cl, "cleanup file /tmp/a");
    int ret = -1;
    std::string err = mot_test::capture_stderr([&] { ret = cl->run(cl); });
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"cleanup file /tmp/b:2"}));
    size_t head = err.find("] Cleaning up Request-Always\n");
    size_t entry = err.find("] cleanup file /tmp/b\n");
    EXPECT_NE(head, std::string::npos) << err;
    EXPECT_NE(entry, std::string::npos) << err;
    EXPECT_LT(head, entry);
    EXPECT_EQ(err.rfind("Note:    [", 0), 0u) << err;
    EXPECT_EQ(cl->runlist->list, nullptr);
    EXPECT_EQ(moux_signal_protection_depth(), 0);
    // A second run has nothing to do.
    calls.log.clear();
    cl->stop_print(cl);
    err = mot_test::capture_stderr([&] { ret = cl->run(cl); });
    EXPECT_EQ(ret, 0);
    EXPECT_TRUE(calls.log.empty());
    EXPECT_EQ(err, "");
}

TEST_F(SignalFixture, CleanupListFailureKeepsEntriesAndSectionOpen) {
    MOCL_CLEANUP_T *cl = nullptr;
    ASSERT_EQ(mocl_cleanup_new(&cl, nullptr, b.low->mem, signal, "Request-Fatal"), 0);
    Calls calls;
    calls.fail_on = 2;
    cl->add(cl, "third", record_action, (void *)3, &calls);
    cl->add(cl, "second", record_action, (void *)2, &calls);
    cl->add(cl, "first", record_action, (void *)1, &calls);
    cl->stop_print(cl);
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = cl->run(cl); });
    EXPECT_EQ(ret, 7);
    EXPECT_EQ(err, "") << "stop_print silences the run";
    EXPECT_EQ(calls.log, (std::vector<std::string>{"first:1", "second:2"}));
    int entries = 0;
    for (MORL_RUNLIST_ELE_T *e = cl->runlist->list; e != nullptr; e = e->next)
        entries++;
    EXPECT_EQ(entries, 3);
    EXPECT_EQ(moux_signal_protection_depth(), 1);
    EXPECT_TRUE(blocked(SIGTERM));
}

using mot_test::ChildResult;
using mot_test::run_forked;

int touch_action(const char *, void *ref1, void *) noexcept {
    FILE *f = fopen(static_cast<const char *>(ref1), "w");
    if (f != nullptr)
        fclose(f);
    return 0;
}

TEST_F(SignalFixture, TerminationRunsFatalThenAlwaysListAndExitsTwo) {
    mot_test::TempDir dir;
    std::string fatal_mark = dir.path + "/fatal_ran";
    std::string always_mark = dir.path + "/always_ran";
    ChildResult res = run_forked(
        [&](int ready) {
            MOCL_CLEANUP_T *always = nullptr, *fatal = nullptr;
            signal->init(signal);
            mocl_cleanup_new(&always, nullptr, b.low->mem, signal, "Request-Always");
            mocl_cleanup_new(&fatal, nullptr, b.low->mem, signal, "Request-Fatal");
            signal->add_cleanup(signal, &signal->req_always_cleanup_ref, nullptr, mocl_cleanup_run_ref,
                                always);
            signal->add_cleanup(signal, &signal->req_fatal_cleanup_ref, nullptr, mocl_cleanup_run_ref, fatal);
            always->add(always, "cleanup file always", touch_action, (void *)always_mark.c_str(), nullptr);
            fatal->add(fatal, "kill things", touch_action, (void *)fatal_mark.c_str(), nullptr);
            if (write(ready, "r", 1) != 1)
                _exit(5);
            for (;;)
                pause();
        },
        [](pid_t pid, const std::string &) { kill(pid, SIGTERM); });
    ASSERT_TRUE(WIFEXITED(res.status)) << res.err;
    EXPECT_EQ(WEXITSTATUS(res.status), 2);
    const char *order[] = {"] Terminated. Cleaning up.\n", "] Cleaning up Request-Fatal\n", "] kill things\n",
                           "] Cleaning up Request-Always\n", "] cleanup file always\n"};
    size_t at = 0;
    for (const char *want : order) {
        size_t pos = res.err.find(want, at);
        ASSERT_NE(pos, std::string::npos) << want << " missing or out of order in:\n" << res.err;
        at = pos;
    }
    EXPECT_EQ(access(fatal_mark.c_str(), F_OK), 0);
    EXPECT_EQ(access(always_mark.c_str(), F_OK), 0);
}

TEST_F(SignalFixture, SignalInsideProtectedSectionWaitsForItsEnd) {
    mot_test::TempDir dir;
    std::string mark = dir.path + "/section_done";
    ChildResult res = run_forked(
        [&](int ready) {
            signal->init(signal);
            signal->begin_protection(signal);
            if (write(ready, "r", 1) != 1)
                _exit(5);
            sleep(1); // the parent's SIGHUP arrives here and must wait
            touch_action(nullptr, (void *)mark.c_str(), nullptr);
            signal->end_protection(signal);
            _exit(0);
        },
        [](pid_t pid, const std::string &) { kill(pid, SIGHUP); });
    ASSERT_TRUE(WIFEXITED(res.status));
    EXPECT_EQ(WEXITSTATUS(res.status), 2);
    EXPECT_THAT(res.err, HasSubstr("] Hangup. Cleaning up.\n"));
    EXPECT_EQ(access(mark.c_str(), F_OK), 0) << "the section finished before the handler ran";
}

} // namespace
