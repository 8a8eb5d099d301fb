// The command interface against a registry of the four command types and a recording operation.
#include "apps/moap_pop.h"
#include "apps/moap_search.h"
#include "apps/moap_web.h"
#include "entry/moc_cmd.h"
#include "storage/mot_top.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using testing::HasSubstr;

struct Seen {
    int calls = 0;
    std::vector<std::string> args;
    MOC_OPTIONS_T options{};
    std::string rev; // options.rev points into the argument vector, gone after the run
    int result = 0;
};
Seen seen;

int record_op(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *, MOT_TOP_REQ_T *,
              MOC_OPTIONS_T *options) noexcept {
    seen.calls++;
    seen.args.clear();
    for (; args != nullptr; args = args->next)
        seen.args.push_back(args->val);
    seen.options = *options;
    seen.rev = options->rev;
    return seen.result;
}

const MOC_CMD_DEF_T daemon_like_cmds[] = {
    {"start", 0, 0, record_op, "Starts the daemon", ""},
    {"test", 1, 1, record_op, "test", ""},
    {"run", 0, 3, record_op, "Runs", "qRphr"},
};

int daemon_like_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype) noexcept {
    return moc_cmd_init_table(*stype, daemon_like_cmds);
}

struct CmdFixture : ::testing::Test {
    mot_test::Bundle low;
    MOX_AUX_T aux{};
    MOT_TOP_SESSION_T *session = nullptr;
    MOT_TOP_REQ_T *req = nullptr;
    std::string out, err;

    void SetUp() override {
        seen = Seen{};
        aux.mem = &low.mem;
        aux.error = &low.error;
        low.error.aux_ref = &aux;
        ASSERT_EQ(mot_top_construct_session(&session, &aux), 0);
        ASSERT_EQ(mot_top_construct_req(&req, &aux), 0);
        ASSERT_EQ(moc_cmd_register_type(session, "daemon", 1, "Commands to control the daemon",
                                        daemon_like_init_cmd),
                  0);
        ASSERT_EQ(moap_web_construct(session), 0);
        ASSERT_EQ(moap_pop_construct(session), 0);
        ASSERT_EQ(moap_search_construct(session), 0);
        low.error.strcat_cmd(&low.error, "morvale");
    }

    int run(std::vector<std::string> words) {
        std::vector<char *> argv;
        for (auto &w : words)
            argv.push_back(w.data());
        int ret = 0;
        err = mot_test::capture_stderr([&] {
            out = mot_test::capture_stdout([&] {
                ret = moc_cmd_check_operation(static_cast<int>(argv.size()), argv.data(), session, req);
            });
        });
        return ret;
    }
};

const char *type_listing = "                   daemon   Commands to control the daemon\n"
                           "                      web   The web interface\n"
                           "                      pop   The pop interface\n"
                           "                    index   Commands to control the index update\n";

TEST_F(CmdFixture, NoArgumentsPrintsUsageAndTypes) {
    EXPECT_EQ(run({}), 1);
    EXPECT_EQ(out,
              std::string("No arguments.\nUsage is morvale <type> <operation>\nAvailable Types are: \n") +
                  type_listing);
}

TEST_F(CmdFixture, UnknownTypeListsTheFourTypes) {
    EXPECT_NE(run({"nosuch", "x"}), 0);
    EXPECT_EQ(out, std::string("Available Types are: \n") + type_listing);
    EXPECT_THAT(err, HasSubstr("morvale_nosuch: No stype_name (nosuch) exists in the stype_list\n"));
}

TEST_F(CmdFixture, TypeAloneListsOperations) {
    EXPECT_EQ(run({"daemon"}), 1);
    EXPECT_EQ(out, "Can't find operation argument\nValid operations are;\n"
                   "                    start   Starts the daemon.\n"
                   "                     test   test.\n"
                   "                      run   Runs. Possible options are: qRphr\n");
}

TEST_F(CmdFixture, EachRunBuildsTheOperationsAfresh) {
    // The registry lives in the request pool; a later request must not find the earlier one's list.
    const std::string pop_ops = "Can't find operation argument\nValid operations are;\n"
                                "                    parse   Parses the pop account and distributes to "
                                "Mail Groups.\n"
                                "                     test   Test.\n"
                                "                   update   Test.\n";
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(run({"pop"}), 1);
        EXPECT_EQ(out, pop_ops);
        EXPECT_EQ(run({"web"}), 1);
        EXPECT_EQ(out, "Can't find operation argument\nValid operations are;\n"
                       "                   normal   Pipes the web response to the stdout. Possible options "
                       "are: h\n");
        EXPECT_EQ(run({"index"}), 1);
        EXPECT_EQ(out, "Can't find operation argument\nValid operations are;\n"
                       "                   manual   Start Manual Index. Possible options are: h\n"
                       "                     auto   Auto Index.\n"
                       "                    check   Check Incremental Index List.\n");
    }
}

TEST_F(CmdFixture, RunsOperationWithArgumentsAndCommandName) {
    EXPECT_EQ(run({"daemon", "test", "abc"}), 0);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.args, std::vector<std::string>{"abc"});
    EXPECT_STREQ(low.error.cmd_name, "morvale_daemon_test");
}

TEST_F(CmdFixture, ArgumentCountsAreChecked) {
    EXPECT_EQ(run({"daemon", "test"}), 1);
    EXPECT_THAT(err, HasSubstr("Operation test has not enough arguments\n"));
    EXPECT_EQ(run({"daemon", "start", "extra"}), 1);
    EXPECT_THAT(err, HasSubstr("Operation start has too many arguments\n"));
    EXPECT_EQ(seen.calls, 0);
}

TEST_F(CmdFixture, UnknownOperationAndCommandOnlyChecks) {
    EXPECT_EQ(run({"daemon", "Start"}), 1) << "operation words are case-sensitive";
    EXPECT_THAT(err, HasSubstr("Operation Start not valid\n"));
}

TEST_F(CmdFixture, QuietOptionRejectedWhereNoneAllowed) {
    EXPECT_EQ(run({"-q", "daemon", "start"}), 1);
    EXPECT_THAT(err, HasSubstr("Too many options. Allowed options are: \n"));
}

TEST_F(CmdFixture, OptionsAnywhereAndRevisionTaken) {
    EXPECT_EQ(run({"daemon", "-R", "run", "a", "-r", "12", "b", "-q"}), 0);
    ASSERT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.args, (std::vector<std::string>{"a", "b"}));
    EXPECT_STREQ(seen.options.found_options, "Rrq");
    EXPECT_TRUE(seen.options.recursive_flag);
    EXPECT_TRUE(seen.options.quiet_flag);
    EXPECT_FALSE(seen.options.no_header);
    EXPECT_EQ(seen.rev, "12");
}

TEST_F(CmdFixture, OptionErrors) {
    EXPECT_EQ(run({"daemon", "run", "-hx"}), 1);
    EXPECT_THAT(err, HasSubstr("Invalid option -hx\n"));
    EXPECT_EQ(run({"daemon", "run", "-z"}), 1);
    EXPECT_THAT(err, HasSubstr("Unknown option: -z\n"));
    EXPECT_EQ(run({"daemon", "run", "-r"}), 1);
    EXPECT_THAT(err, HasSubstr("no revision number\n"));
    EXPECT_EQ(run({"daemon", "run", "-r", "-q"}), 1);
    EXPECT_THAT(err, HasSubstr("no revision number\n"));
    EXPECT_EQ(seen.calls, 0);
}

TEST_F(CmdFixture, HeaderOptionTwiceOnWebNormal) {
    EXPECT_EQ(run({"web", "normal", "-h", "-h"}), 1);
    EXPECT_THAT(err, HasSubstr("Too many options. Allowed options are: h\n"));
}

TEST_F(CmdFixture, OptionNotAllowedNamesLetter) {
    EXPECT_EQ(run({"web", "normal", "-q"}), 1);
    EXPECT_THAT(err, HasSubstr("Option q not allowed, only the following options: h\n"));
}

TEST_F(CmdFixture, IndexArgumentCounts) {
    EXPECT_EQ(run({"index", "check", "a", "b", "c"}), 1);
    EXPECT_THAT(err, HasSubstr("Operation check has too many arguments\n"));
    EXPECT_EQ(run({"index", "auto"}), 1);
    EXPECT_THAT(err, HasSubstr("Operation auto has not enough arguments\n"));
}

TEST_F(CmdFixture, FailingOperationIsReported) {
    seen.result = 1;
    EXPECT_EQ(run({"daemon", "start"}), 1);
    EXPECT_THAT(err, HasSubstr("Failure occurred during the start operation\n"));
}

TEST_F(CmdFixture, ArgumentLengthLimit) {
    EXPECT_EQ(run({"daemon", "test", std::string(1022, 'a')}), 0);
    EXPECT_EQ(seen.args.at(0).size(), 1022u);
    EXPECT_EQ(run({"daemon", "test", std::string(1023, 'a')}), 1);
    EXPECT_THAT(err, HasSubstr("An argument is too long. Greater than 1024\n"));
}

TEST_F(CmdFixture, TypeWithoutCommandInterface) {
    MOT_TOP_STYPE_T *plain = nullptr;
    MOT_TOP_STYPE_DEF_T def = mot_stype_def_data_file;
    def.name = "groups";
    def.id = 1;
    def.help = "Active Groups Entries";
    ASSERT_EQ(mot_top_register_stype_def(&aux, &session->storage.stype_list, nullptr, &def, &plain), 0);
    EXPECT_EQ(run({"groups", "list"}), 1);
    EXPECT_THAT(err, HasSubstr("Type groups not valid for the command interface\n"));
}

} // namespace
