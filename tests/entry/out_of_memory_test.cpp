// Every allocation of a command line's way through the command interface may fail: each failure
// must fail the command with one "Out of memory" report.
#include "apps/moap_daemon.h"
#include "apps/moap_pop.h"
#include "apps/moap_search.h"
#include "apps/moap_web.h"
#include "entry/moc_cmd.h"
#include "storage/mot_top.h"
#include "support/sweep.h"
#include "support/util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(OutOfMemory, ACommandFromRegistrationToItsRun) {
    std::string out;
    int allocations = mot_test::out_of_memory_sweep([&](mot_test::Bundle &b) {
        MOT_TOP_SESSION_T *session = nullptr;
        MOT_TOP_REQ_T *req = nullptr;
        int ret = mot_top_construct_session(&session, b.aux);
        if (ret == 0)
            ret = moap_daemon_construct(session);
        if (ret == 0)
            ret = moap_web_construct(session);
        if (ret == 0)
            ret = moap_pop_construct(session);
        if (ret == 0)
            ret = moap_search_construct(session);
        if (ret == 0)
            ret = mot_top_construct_req(&req, b.aux);
        std::vector<std::string> words = {"daemon", "test", "x12"};
        std::vector<char *> argv;
        for (auto &w : words)
            argv.push_back(w.data());
        if (ret == 0)
            out = mot_test::capture_stdout([&] {
                ret = moc_cmd_check_operation(static_cast<int>(argv.size()), argv.data(), session, req);
            });
        return ret;
    });
    EXPECT_GT(allocations, 10);
    EXPECT_EQ(out, "Test argument \"x12\"\ntext    at 0: \"x\"\ndigits  at 1: \"12\"\n");
}

} // namespace
