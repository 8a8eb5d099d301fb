// The script service against real shell scripts: the store and unstore scripts of the installation
// and keyword scripts exchanging "name=value" lines, run by the real process service.
#include "platform/mocl_cleanup.h"
#include "entry/moim_interm.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/mosc_script_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "support/bundle.h"
#include "support/util.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

using testing::HasSubstr;
using testing::Not;

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct ScriptFixture : ::testing::Test {
    mot_test::Bundle bundle;
    mot_test::TempDir tmp;
    std::string home;
    std::unique_ptr<MOST_SETUP_T> setup = std::make_unique<MOST_SETUP_T>();
    MOIM_INTERM_T interm{};
    MOS_SIGNAL_T *signal = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    MOP_PROCESS_T *process = nullptr;
    MOF_FILE_T *file = nullptr;
    MOSC_SCRIPT_T *script = nullptr;

    void SetUp() override {
        // A small installation: the shell linked into install/bin/linux, the store scripts of the
        // source tree in install/bin.
        home = tmp.path + "/home";
        std::string bin = home + "/install/bin";
        ASSERT_EQ(system(("mkdir -p '" + bin + "/linux'").c_str()), 0);
        ASSERT_EQ(symlink("/bin/sh", (bin + "/linux/sh").c_str()), 0);
        for (const char *name : {"mo_store", "mo_unstore"})
            ASSERT_EQ(symlink((std::string(MORVALE_SOURCE_DIR) + "/install/bin/" + name).c_str(),
                              (bin + "/" + name).c_str()),
                      0);
        snprintf(setup->home_dir, sizeof(setup->home_dir), "%s", home.c_str());
        snprintf(setup->script_dir, sizeof(setup->script_dir), "%s", bin.c_str());
        snprintf(setup->exec_dir, sizeof(setup->exec_dir), "%s/linux", bin.c_str());

        ASSERT_EQ(mos_signal_construct(&signal, bundle.low, &moux_signal_slots), 0);
        ASSERT_EQ(mocl_cleanup_new(&fatal, nullptr, &bundle.mem, signal, "Request-Fatal"), 0);
        ASSERT_EQ(mop_process_construct(&process, bundle.low, &moux_process_slots), 0);
        ASSERT_EQ(process->init(process, fatal, signal, nullptr), 0);
        ASSERT_EQ(mof_file_construct(&file, bundle.low, &moux_file_slots), 0);
        file->init(file, nullptr, nullptr, setup->exec_dir, process);
        interm.file = file;
        interm.signal = signal;
        interm.setup = setup.get();
        interm.process = process;
        interm.low = bundle.low;
        interm.mem = &bundle.mem;
        interm.error = &bundle.error;
        ASSERT_EQ(mosc_construct_script(&script, &interm), 0);
    }

    void TearDown() override {
        // The process service keeps its record for the child-exit handler: stop it before the pool goes.
        moux_kill_children("", process, nullptr);
        signal->set(signal, MOS_SIGCHLD, mos_signal_default);
        signal->reset_protection(signal);
    }

    std::string write_script(const std::string &rel, const std::string &body) {
        std::string path = home + "/" + rel;
        std::ofstream(path) << body;
        return path;
    }
    std::string write_file(const std::string &name, const std::string &text) {
        std::string path = tmp.path + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    static MOSC_SCRIPT_KEYWORD_T *find(MOSC_SCRIPT_KEYWORD_T *list, const char *script_keyword) {
        for (; list != nullptr; list = list->next)
            if (strcmp(list->script_keyword, script_keyword) == 0)
                return list;
        return nullptr;
    }
};

TEST_F(ScriptFixture, StoreCopiesIntoNewDirectories) {
    std::string src = write_file("upload", "revision one\n");
    std::string dest = tmp.path + "/store/12/3/file.1";
    EXPECT_EQ(script->store(script, dest.c_str(), src.c_str()), 0);
    EXPECT_EQ(slurp(dest), "revision one\n");
    std::string back = tmp.path + "/out/copy.txt";
    EXPECT_EQ(script->unstore(script, back.c_str(), dest.c_str()), 0);
    EXPECT_EQ(slurp(back), "revision one\n");
}

TEST_F(ScriptFixture, StoreOfMissingSourceFails) {
    std::string src = tmp.path + "/missing";
    std::string dest = tmp.path + "/store/x";
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = script->store(script, dest.c_str(), src.c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("mo_store: can't read source file " + src));
    EXPECT_THAT(err, HasSubstr("Can't store filename: " + src + "\n"));
    EXPECT_FALSE(file->exists(file, dest.c_str()));

    err = mot_test::capture_stderr([&] { ret = script->unstore(script, dest.c_str(), src.c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't unstore filename: " + src + "\n"));
}

TEST_F(ScriptFixture, ProtectedUnstoreMarksErrorOutputInsteadOfFailing) {
    std::string src = tmp.path + "/missing";
    std::string dest = tmp.path + "/out";
    int status = 0;
    int ret = 9;
    std::string err = mot_test::capture_stderr(
        [&] { ret = script->unstore_protected(script, dest.c_str(), src.c_str(), &status); });
    EXPECT_EQ(ret, 0) << err;
    EXPECT_EQ(status, -1);
    EXPECT_THAT(err, Not(HasSubstr("Can't unstore filename")));

    std::string good = write_file("good", "g");
    EXPECT_EQ(script->unstore_protected(script, dest.c_str(), good.c_str(), &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(slurp(dest), "g");
}

const char *ANSWERING_SCRIPT = "# echoes what it got, then answers\n"
                               "while IFS= read -r line; do echo \"$line\" >> \"$1.seen\"; done\n"
                               "echo \"IO_TITLE=Title of $(basename \"$1\")\"\n"
                               "echo \"IO_EXPR=a=b=c\"\n"
                               "echo \"NOT_SENT=1\"\n"
                               "printf 'O_EXTENSION=pdf\\r\\n'\n"
                               "printf 'IO_LAST=no line feed'\n";

TEST_F(ScriptFixture, KeywordRunExchangesLines) {
    write_script("check_in.sh", ANSWERING_SCRIPT);
    std::string src = write_file("doc.txt", "body");
    MOSC_SCRIPT_KEYWORD_T *list = nullptr;
    char caller_title[] = "old title"; // a caller's buffer: an answer must never free it
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "T", "IO_TITLE", caller_title), 0);
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "OP", "O_OPERATION", "checkin"), 0);
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "EXT", "O_EXTENSION", "txt"), 0);
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "X", "IO_EXPR", ""), 0);
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "L", "IO_LAST", "x"), 0);
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "K", "IO_KEEP", "kept"), 0);
    EXPECT_STREQ(list->keyword, "T");
    EXPECT_NE(list->value, caller_title);

    int ret = 9;
    std::string err = mot_test::capture_stderr(
        [&] { ret = script->keyword_run(script, "check_in.sh", src.c_str(), list); });
    EXPECT_EQ(ret, 0) << err;
    EXPECT_EQ(slurp(src + ".seen"), "IO_TITLE=old title\nO_OPERATION=checkin\nO_EXTENSION=txt\nIO_EXPR=\n"
                                    "IO_LAST=x\nIO_KEEP=kept\n");
    EXPECT_STREQ(find(list, "IO_TITLE")->value, "Title of doc.txt");
    EXPECT_STREQ(caller_title, "old title");
    EXPECT_STREQ(find(list, "IO_EXPR")->value, "a=b=c");
    EXPECT_STREQ(find(list, "O_EXTENSION")->value, "pdf");
    EXPECT_STREQ(find(list, "IO_LAST")->value, "no line feed");
    EXPECT_STREQ(find(list, "IO_KEEP")->value, "kept");
    EXPECT_STREQ(find(list, "O_OPERATION")->value, "checkin");
    EXPECT_THAT(err, HasSubstr("Warning: "));
    EXPECT_THAT(err,
                HasSubstr("Unknown keyword NOT_SENT sent back from the script " + home + "/check_in.sh\n"));
}

TEST_F(ScriptFixture, SilentScriptLeavesValues) {
    std::string abs = write_script("quiet.sh", "cat > /dev/null\nexit 0\n");
    std::string src = write_file("doc", "");
    MOSC_SCRIPT_KEYWORD_T *list = nullptr;
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "T", "IO_TITLE", "same"), 0);
    // An absolute name is used as it is, not joined to the home directory.
    int ret = 9;
    std::string err =
        mot_test::capture_stderr([&] { ret = script->keyword_run(script, abs.c_str(), src.c_str(), list); });
    EXPECT_EQ(ret, 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_STREQ(list->value, "same");
}

TEST_F(ScriptFixture, ErrorOutputOrExitStatusFailsTheRun) {
    write_script("noisy.sh", "cat > /dev/null\necho 'IO_TITLE=changed'\necho 'conversion failed' >&2\n");
    write_script("bad_exit.sh", "cat > /dev/null\nexit 3\n");
    std::string src = write_file("doc", "");
    MOSC_SCRIPT_KEYWORD_T *list = nullptr;
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "T", "IO_TITLE", "t"), 0);
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = script->keyword_run(script, "noisy.sh", src.c_str(), list); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("conversion failed"));
    err = mot_test::capture_stderr(
        [&] { ret = script->keyword_run(script, "bad_exit.sh", src.c_str(), list); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Error: "));
}

TEST_F(ScriptFixture, LongAnswerIsOneValue) {
    write_script("long.sh",
                 "cat > /dev/null\nprintf 'IO_TEXT='\nhead -c 3000 /dev/zero | tr '\\0' 'w'\necho\n");
    std::string src = write_file("doc", "");
    MOSC_SCRIPT_KEYWORD_T *list = nullptr;
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "T", "IO_TEXT", ""), 0);
    int ret = 9;
    std::string err =
        mot_test::capture_stderr([&] { ret = script->keyword_run(script, "long.sh", src.c_str(), list); });
    EXPECT_EQ(ret, 0) << err;
    EXPECT_EQ(std::string(list->value), std::string(3000, 'w'));
    EXPECT_THAT(err, Not(HasSubstr("Unknown keyword")));
}

TEST_F(ScriptFixture, PathConversionIsTheIdentityAndBounded) {
    mo_filename_t buf;
    EXPECT_EQ(script->conv_path_in(script, "/a/b c", buf), 0);
    EXPECT_STREQ(buf, "/a/b c");
    EXPECT_EQ(script->conv_path_out(script, "rel/x", buf), 0);
    EXPECT_STREQ(buf, "rel/x");
    std::string too_long(400, 'p');
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(script->conv_path_in(script, too_long.c_str(), buf), 1); });
    EXPECT_THAT(err, HasSubstr("Path too long (more than 299 characters): " + too_long));
}

} // namespace

namespace {

// Many long lines fill the pipe, so the writes outlast a script that does not read its input.
void register_bulk(MOSC_SCRIPT_T *script, MOSC_SCRIPT_KEYWORD_T **list, const std::string &value) {
    for (int i = 0; i < 200; i++)
        ASSERT_EQ(mosc_script_keyword_register(script, list, "B", "IO_BULK", value.c_str()), 0);
}

TEST_F(ScriptFixture, ScriptIgnoringItsInputIsJudgedByItsEnd) {
    write_script("no_input.sh", "echo 'IO_TITLE=answered'\nexit 0\n");
    write_script("no_input_fails.sh", "exit 4\n");
    std::string src = write_file("doc", "");
    MOSC_SCRIPT_KEYWORD_T *list = nullptr;
    ASSERT_EQ(mosc_script_keyword_register(script, &list, "T", "IO_TITLE", "old"), 0);
    register_bulk(script, &list, std::string(1000, 'v'));
    int ret = 9;
    std::string err = mot_test::capture_stderr(
        [&] { ret = script->keyword_run(script, "no_input.sh", src.c_str(), list); });
    EXPECT_EQ(ret, 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_STREQ(list->value, "answered");
    EXPECT_EQ(bundle.error.ignore, FALSE) << "error reports are back on after the writes";

    err = mot_test::capture_stderr(
        [&] { ret = script->keyword_run(script, "no_input_fails.sh", src.c_str(), list); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Error in process"));
}

TEST_F(ScriptFixture, NameWithDriveLetterIsUsedAsItIs) {
    std::string src = write_file("doc", "");
    MOSC_SCRIPT_KEYWORD_T *list = nullptr;
    int ret = 0;
    std::string err = mot_test::capture_stderr(
        [&] { ret = script->keyword_run(script, "c:/no/such.sh", src.c_str(), list); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("c:/no/such.sh"));
    EXPECT_THAT(err, Not(HasSubstr(home + "/c:"))) << "not joined to the home directory: " << err;
}

} // namespace

namespace {

TEST_F(ScriptFixture, DestinationThatIsADirectoryIsRefused) {
    std::string src = write_file("upload", "data\n");
    std::string dest = tmp.path + "/store/12";
    ASSERT_EQ(system(("mkdir -p '" + dest + "'").c_str()), 0);
    for (bool store : {true, false}) {
        int ret = 0;
        std::string err = mot_test::capture_stderr([&] {
            ret = store ? script->store(script, dest.c_str(), src.c_str())
                        : script->unstore(script, dest.c_str(), src.c_str());
        });
        EXPECT_EQ(ret, 1);
        EXPECT_THAT(err, HasSubstr("destination " + dest + " is a directory"));
        EXPECT_EQ(system(("rmdir '" + dest + "'").c_str()), 0) << "nothing was put inside it";
        ASSERT_EQ(system(("mkdir -p '" + dest + "'").c_str()), 0);
    }
}

} // namespace
