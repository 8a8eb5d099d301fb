// The ending steps of a command-line request: which cleanup list runs, in which order, and the
// signal bindings cleared afterwards.
#include "platform/mocl_cleanup.h"
#include "entry/mog_gen.h"
#include "platform/mos_signal_cmn.h"
#include "platform/moux_unix.h"
#include "entry/mox_aux.h"
#include "support/util.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ran;

int record(const char *name, void *, void *) noexcept {
    ran.push_back(name);
    return 0;
}

struct RequestEnd : ::testing::Test {
    MOX_AUX_T *aux = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    MOCL_CLEANUP_T *always = nullptr;

    void SetUp() override {
        ran.clear();
        ASSERT_EQ(moux_unix_construct(&aux, nullptr), 0);
        ASSERT_EQ(mocl_cleanup_new(&always, nullptr, aux->mem, aux->signal, "Request-Always"), 0);
        ASSERT_EQ(mocl_cleanup_new(&fatal, nullptr, aux->mem, aux->signal, "Request-Fatal"), 0);
        MOS_SIGNAL_T *sig = aux->signal;
        sig->add_cleanup(sig, &sig->req_always_cleanup_ref, nullptr, mocl_cleanup_run_ref, always);
        sig->add_cleanup(sig, &sig->req_fatal_cleanup_ref, nullptr, mocl_cleanup_run_ref, fatal);
        // Entries as a request leaves them: temporary files always, children on failure.
        always->add(always, "remove temp 1", record, nullptr, nullptr);
        always->add(always, "remove temp 2", record, nullptr, nullptr);
        fatal->add(fatal, "kill child 1", record, nullptr, nullptr);
        fatal->add(fatal, "kill child 2", record, nullptr, nullptr);
    }
};

TEST_F(RequestEnd, FailureRunsTheFatalListBeforeTheAlwaysList) {
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = mog_gen_end_req(aux, fatal, always, FALSE, 1); });
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(ran,
              (std::vector<std::string>{"kill child 2", "kill child 1", "remove temp 2", "remove temp 1"}));
    EXPECT_EQ(err, "") << "a normal end runs the lists without notes";
    EXPECT_EQ(aux->signal->req_fatal_cleanup_ref.fn, nullptr);
    EXPECT_EQ(aux->signal->req_always_cleanup_ref.fn, nullptr);
}

TEST_F(RequestEnd, SuccessRunsOnlyTheAlwaysList) {
    int ret = 1;
    std::string err = mot_test::capture_stderr([&] { ret = mog_gen_end_req(aux, fatal, always, FALSE, 0); });
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(ran, (std::vector<std::string>{"remove temp 2", "remove temp 1"}));
    EXPECT_EQ(err, "");
    // The bindings are cleared: a signal arriving now runs nothing.
    ran.clear();
    aux->signal->run_cleanup(aux->signal);
    EXPECT_TRUE(ran.empty());
}

TEST_F(RequestEnd, ListsThatWereNeverBuiltAreSkipped) {
    EXPECT_EQ(mog_gen_end_req(aux, nullptr, nullptr, FALSE, 3), 3);
    EXPECT_EQ(mog_gen_end_req(nullptr, nullptr, nullptr, TRUE, 1), 1) << "construction failed";
    EXPECT_TRUE(ran.empty());
}

} // namespace
