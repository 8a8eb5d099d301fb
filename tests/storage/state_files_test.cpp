// Small state files and the registry's lock wrappers and reload rule, against a real lock daemon
// running its server loop in a child process, with real client connections (several processes where
// the behaviour is about processes).
#include "platform/mocl_cleanup.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "storage/mok_key.h"
#include "storage/mola_last.h"
#include "daemon/molk_lock.h"
#include "storage/momk_mark.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "daemon/morq_req.h"
#include "platform/mos_signal_cmn.h"
#include "storage/mosm_stream.h"
#include "platform/most_setup_cmn.h"
#include "storage/mosu_subscribe.h"
#include "storage/mot_top.h"
#include "storage/motc_common.h"
#include "storage/motr_trail.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "platform/moux_unix_util.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/daemon.h"
#include "support/files.h"
#include "support/util.h"

#include <algorithm>
#include <cstddef>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using testing::HasSubstr;
using testing::Not;

using mot_test::file_exists;
using mot_test::read_file;
using mot_test::write_file;

// The services of one process: the test bundle with its setup pointing into the test's home and the
// child-process service started, connected (once asked) as "<pid>_process" on "testhost".
struct Proc : mot_test::Bundle {
    MOST_SETUP_T *setup = aux->setup;

    explicit Proc(const std::string &home) : mot_test::Bundle(mot_test::BundleOptions{.init_process = true}) {
        snprintf(setup->lib_dir, sizeof(setup->lib_dir), "%s/lib", home.c_str());
        snprintf(setup->user_default_dir, sizeof(setup->user_default_dir), "%s/user_defaults", home.c_str());
        snprintf(setup->daemon_pid_file, sizeof(setup->daemon_pid_file), "%s/daemon.pid", home.c_str());
        snprintf(setup->exec_dir, sizeof(setup->exec_dir), "/bin");
    }

    bool connect(const std::string &port) {
        return Bundle::connect(port, {.machine = "testhost", .use_cleanup = false}).empty();
    }
};

// A lock daemon running the real server loop in a child process, logging into the test's home.
struct Daemon : mot_test::DaemonProcess {
    explicit Daemon(const std::string &home)
        : mot_test::DaemonProcess(mot_test::DaemonOptions{.log = home + "/daemon.log"}) {}
};

// Runs fn in `count` child processes at once, each with its own connection; gives each child's
// output line (what fn returned) in child order.
std::vector<std::string> in_children(const std::string &home, const std::string &port, int count,
                                     std::string (*fn)(Proc &, int)) {
    std::vector<pid_t> pids;
    std::vector<int> fds;
    int go[2];
    if (pipe(go) != 0)
        return {};
    fflush(stdout);
    fflush(stderr);
    for (int i = 0; i < count; i++) {
        int out[2];
        if (pipe(out) != 0)
            return {};
        pid_t pid = fork();
        if (pid == 0) {
            close(out[0]);
            close(go[1]);
            std::string result;
            {
                Proc p(home);
                if (!p.connect(port)) {
                    result = "connect failed";
                } else {
                    char c;
                    // Every child connects first, then all start together.
                    if (read(go[0], &c, 1) != 1) {
                    }
                    result = fn(p, i);
                }
            }
            if (write(out[1], result.data(), result.size()) < 0) {
            }
            close(out[1]);
            _exit(0);
        }
        close(out[1]);
        pids.push_back(pid);
        fds.push_back(out[0]);
    }
    close(go[0]);
    usleep(100000);
    close(go[1]); // releases every child at once
    std::vector<std::string> results;
    for (int i = 0; i < count; i++) {
        std::string r;
        char buf[4096];
        ssize_t n;
        while ((n = read(fds[i], buf, sizeof(buf))) > 0)
            r.append(buf, static_cast<size_t>(n));
        close(fds[i]);
        waitpid(pids[i], nullptr, 0);
        results.push_back(r);
    }
    return results;
}

struct StateFiles : ::testing::Test {
    mot_test::TempDir tmp;
    Daemon daemon{tmp.path};
    Proc proc{tmp.path};
    MOX_AUX_T *aux = nullptr;

    void SetUp() override {
        ASSERT_TRUE(proc.connect(daemon.port)) << read_file(tmp.path + "/daemon.log");
        aux = proc.aux;
    }
    std::string lib() const { return tmp.path + "/lib"; }
    std::string udef() const { return tmp.path + "/user_defaults"; }
    std::string locks() {
        const char *text = nullptr;
        MOLK_LOCK_CALL_T *call = aux->req->lock_call;
        if (call->list(call, &text) != 0 || text == nullptr)
            return "<failed>";
        return text;
    }
};

// ---- change marks

TEST_F(StateFiles, MarkTouchIsSeenAndLoadStaysSet) {
    std::string mark = lib() + "/groups_mark";
    int stored = -1;
    ASSERT_EQ(momk_mark_update_modtime(aux, mark.c_str(), &stored), 0);
    mo_boolean_t load = FALSE;
    ASSERT_EQ(momk_mark_check_if_load_needed(aux, mark.c_str(), stored, &load), 0);
    EXPECT_FALSE(load);

    ASSERT_EQ(momk_mark_file_lock(aux, MOLK_FILE_WRITE, mark.c_str()), 0);
    EXPECT_THAT(locks(), HasSubstr("Mark File Lock"));
    ASSERT_EQ(momk_mark_touch(aux, mark.c_str()), 0);
    ASSERT_EQ(momk_mark_file_lock(aux, MOLK_FILE_WRITE_RELEASE, mark.c_str()), 0);

    ASSERT_EQ(momk_mark_check_if_load_needed(aux, mark.c_str(), stored, &load), 0);
    EXPECT_TRUE(load);
    int now = -1;
    ASSERT_EQ(momk_mark_update_modtime(aux, mark.c_str(), &now), 0);
    EXPECT_NE(now, stored);
    // Once set, the flag is not cleared even when the number matches.
    ASSERT_EQ(momk_mark_check_if_load_needed(aux, mark.c_str(), now, &load), 0);
    EXPECT_TRUE(load);
    EXPECT_FALSE(file_exists(mark)) << "marks write nothing to disk";
}

// ---- number streams

TEST_F(StateFiles, StreamStartsAtOneAndCreatesItsFile) {
    int n = 0;
    ASSERT_EQ(mosm_stream_get_number(aux, 7, &n), 0) << read_file(tmp.path + "/daemon.log");
    EXPECT_EQ(n, 1);
    std::string path = lib() + "/dgen/stream/7";
    ASSERT_TRUE(file_exists(path));
    EXPECT_THAT(read_file(path), HasSubstr("ID 1\n"));
    ASSERT_EQ(mosm_stream_get_number(aux, 7, &n), 0);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(mosm_stream_get_number(aux, 8, &n), 0);
    EXPECT_EQ(n, 1) << "streams are independent";
    EXPECT_THAT(locks(), Not(HasSubstr("Stream File"))) << "the write lock is given back";

    mo_filename_t name;
    ASSERT_EQ(mosm_stream_set_filename(aux, 12, name), 0);
    EXPECT_EQ(std::string(name), lib() + "/dgen/stream/12");
}

std::string draw_ten(Proc &p, int) {
    std::string out;
    for (int i = 0; i < 10; i++) {
        int n = 0;
        if (mosm_stream_get_number(p.aux, 3, &n) != 0)
            return out + "fail ";
        out += std::to_string(n) + " ";
    }
    return out;
}

TEST_F(StateFiles, ProcessesDrawingAtOnceGetConsecutiveDistinctNumbers) {
    std::vector<std::string> results = in_children(tmp.path, daemon.port, 3, draw_ten);
    ASSERT_EQ(results.size(), 3u);
    std::vector<int> all;
    for (auto &r : results) {
        EXPECT_THAT(r, Not(HasSubstr("fail")));
        std::istringstream in(r);
        int n;
        while (in >> n)
            all.push_back(n);
    }
    std::sort(all.begin(), all.end());
    std::vector<int> expected;
    for (int i = 1; i <= 30; i++)
        expected.push_back(i);
    EXPECT_EQ(all, expected);
    int next = 0;
    ASSERT_EQ(mosm_stream_get_number(aux, 3, &next), 0);
    EXPECT_EQ(next, 31);
}

// A draw whose write fails part-way (here on the file size limit) must not lose the stream's count.
std::string draw_with_tiny_file_limit(Proc &p, int) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = 3;
    limit.rlim_max = 3;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return "setrlimit failed";
    int n = 0;
    int ret = mosm_stream_get_number(p.aux, 4, &n);
    // The failing path keeps its lock; give it back so that the parent need not wait for its expiry.
    std::string path = std::string(p.setup->lib_dir) + "/dgen/stream/4";
    int status = 0;
    p.aux->req->lock_call->file_lock(p.aux->req->lock_call, MOLK_FILE_WRITE_RELEASE, path.c_str(),
                                     "Stream File", &status);
    return ret != 0 ? "failed" : "drew " + std::to_string(n);
}

TEST_F(StateFiles, StreamKeepsItsCountWhenAWriteFails) {
    int n = 0;
    ASSERT_EQ(mosm_stream_get_number(aux, 4, &n), 0);
    ASSERT_EQ(n, 1);
    std::string path = lib() + "/dgen/stream/4";
    std::string before = read_file(path);
    ASSERT_EQ(in_children(tmp.path, daemon.port, 1, draw_with_tiny_file_limit),
              (std::vector<std::string>{"failed"}));
    EXPECT_EQ(read_file(path), before);
    EXPECT_FALSE(file_exists(path + ".tmp")) << "the half-written copy is removed";
    ASSERT_EQ(mosm_stream_get_number(aux, 4, &n), 0);
    EXPECT_EQ(n, 2) << "a number once handed out is never handed out again";
}

TEST_F(StateFiles, ExhaustedStreamFailsAndKeepsItsFile) {
    int n = 0;
    ASSERT_EQ(mosm_stream_get_number(aux, 5, &n), 0);
    std::string path = lib() + "/dgen/stream/5";
    write_file(path, "ID 2147483647\n");
    n = 0;
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(mosm_stream_get_number(aux, 5, &n), 1); });
    EXPECT_THAT(err, HasSubstr("Number stream 5 is exhausted\n"));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(read_file(path), "ID 2147483647\n");
    EXPECT_THAT(locks(), Not(HasSubstr("Stream File"))) << "the refusal gives the lock back";
}

// ---- last visited

TEST_F(StateFiles, LastVisitedReadsExactlyWhatWasWritten) {
    char *link = reinterpret_cast<char *>(1);
    ASSERT_EQ(mola_last_read_user(aux, 5, "docs", &link), 0);
    EXPECT_EQ(link, nullptr);

    const char *first = "/mo_scripts/mo_http?f1&content&A&docs&0&3&0&litem";
    ASSERT_EQ(mola_last_write_user(aux, 5, "docs", first), 0);
    std::string path = udef() + "/trail/5/last_docs";
    EXPECT_EQ(read_file(path), first) << "no keyword, no line end";
    ASSERT_EQ(mola_last_read_user(aux, 5, "docs", &link), 0);
    ASSERT_NE(link, nullptr);
    EXPECT_STREQ(link, first);

    ASSERT_EQ(mola_last_write_user(aux, 5, "docs", "short"), 0);
    ASSERT_EQ(mola_last_read_user(aux, 5, "docs", &link), 0);
    EXPECT_STREQ(link, "short");
    ASSERT_EQ(mola_last_read_user(aux, 5, "tables", &link), 0);
    EXPECT_EQ(link, nullptr) << "each tab has its own file";
    EXPECT_THAT(locks(), Not(HasSubstr("Last File Lock")));

    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(mola_last_write_user(aux, 5, "../../etc", "x"), 1); });
    EXPECT_THAT(err, HasSubstr("Invalid tab name"));
}

// ---- trails

TEST_F(StateFiles, TrailFilesPerDisplayOnlyForContentAndDir) {
    mo_filename_t a, b, c, d;
    ASSERT_EQ(motr_trail_set_filename(aux, 4, "content", "list", a), 0);
    ASSERT_EQ(motr_trail_set_filename(aux, 4, "content", "page", b), 0);
    EXPECT_EQ(std::string(a), udef() + "/trail/4/trail_content_list");
    EXPECT_EQ(std::string(b), udef() + "/trail/4/trail_content_page");
    ASSERT_EQ(motr_trail_set_filename(aux, 4, "dir", "tree", a), 0);
    EXPECT_EQ(std::string(a), udef() + "/trail/4/trail_dir_tree");
    ASSERT_EQ(motr_trail_set_filename(aux, 4, "top", "list", c), 0);
    ASSERT_EQ(motr_trail_set_filename(aux, 4, "top", "page", d), 0);
    EXPECT_EQ(std::string(c), udef() + "/trail/4/trail_top");
    EXPECT_STREQ(c, d);
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(motr_trail_set_filename(aux, 4, "../x", "y", a), 1); });
    EXPECT_THAT(err, HasSubstr("Invalid frame"));
}

TEST_F(StateFiles, TrailRoundTripNewestFirstAndEmptyFileIsNoTrail) {
    mo_filename_t name;
    ASSERT_EQ(motr_trail_set_filename(aux, 2, "content", "list", name), 0);
    MOK_DATA_RECORD_T *trail = reinterpret_cast<MOK_DATA_RECORD_T *>(1);
    ASSERT_EQ(motr_trail_read_file(aux, name, &trail), 0);
    EXPECT_EQ(trail, nullptr) << "no file, no trail";

    ASSERT_EQ(motr_trail_add_entry(aux, "content", "list", "0&3&0&litem", &trail), 0);
    ASSERT_EQ(motr_trail_add_entry(aux, "content", "list", "0&4&0&litem", &trail), 0);
    ASSERT_EQ(motr_trail_add_entry(aux, "content", "list", "0&5&0&litem", &trail), 0);
    ASSERT_EQ(motr_trail_del_entry(&trail), 0);
    ASSERT_EQ(motr_trail_write_file(aux, name, trail), 0);

    MOK_DATA_RECORD_T *back = nullptr;
    ASSERT_EQ(motr_trail_read_file(aux, name, &back), 0);
    std::vector<std::string> got;
    for (MOK_DATA_RECORD_T *r = back; r; r = r->next) {
        auto *info = static_cast<MOTR_TRAIL_INFO_T *>(r->container);
        got.push_back(std::string(info->frame_display) + "|" + info->trail_content);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"content&list|0&4&0&litem", "content&list|0&3&0&litem"}));

    // Deleting everything and writing leaves an empty file, which reads as no trail.
    ASSERT_EQ(motr_trail_del_entry(&back), 0);
    ASSERT_EQ(motr_trail_del_entry(&back), 0);
    ASSERT_EQ(motr_trail_del_entry(&back), 0);
    EXPECT_EQ(back, nullptr);
    ASSERT_EQ(motr_trail_write_file(aux, name, back), 0);
    EXPECT_TRUE(file_exists(name));
    EXPECT_EQ(read_file(name), "");
    trail = reinterpret_cast<MOK_DATA_RECORD_T *>(1);
    ASSERT_EQ(motr_trail_read_file(aux, name, &trail), 0);
    EXPECT_EQ(trail, nullptr);
    EXPECT_THAT(locks(), Not(HasSubstr("Trail File Lock")));
}

TEST_F(StateFiles, TrailRefusesEntriesItCouldNotReadBack) {
    MOK_DATA_RECORD_T *trail = nullptr;
    std::string long_text(1100, 'a');
    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(motr_trail_add_entry(aux, "content", "list", long_text.c_str(), &trail), 1); });
    EXPECT_THAT(err, HasSubstr("can't be stored"));
    EXPECT_EQ(trail, nullptr);
    err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(motr_trail_add_entry(aux, "content", "list", "a\nID 3", &trail), 1); });
    EXPECT_EQ(trail, nullptr);
}

// ---- subscriptions

// A small folder tree: 10 top folder, 11 and 12 inside it, 13 inside 11.
int tree_parent(void *, int item_id, int *parent) noexcept {
    static const std::map<int, int> parents = {{10, 0}, {11, 10}, {12, 10}, {13, 11}, {20, 0}};
    auto it = parents.find(item_id);
    *parent = it == parents.end() ? 0 : it->second;
    return 0;
}

int value_of(MOSU_SUBSCRIBE_T *sub, int item) {
    int v = -1;
    if (mosu_subscribe_get_value_by(sub, item, tree_parent, nullptr, &v) != 0)
        return -1;
    return v;
}

TEST_F(StateFiles, SubscriptionsOnlyForMailIfSubscribed) {
    MOSU_SUBSCRIBE_T *sub = reinterpret_cast<MOSU_SUBSCRIBE_T *>(1);
    ASSERT_EQ(mosu_subscribe_new_user(&sub, aux, 3, 1, 1), 0);
    EXPECT_EQ(sub, nullptr);
    ASSERT_EQ(mosu_subscribe_new_user(&sub, aux, 3, 3, 0), 0);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->data_record, nullptr);
    EXPECT_EQ(std::string(sub->filename), udef() + "/subscribe/3");
    ASSERT_EQ(mosu_subscribe_new_user(&sub, aux, 3, 0, 5), 0);
    EXPECT_NE(sub, nullptr);
}

TEST_F(StateFiles, SubscriptionValuesAndToggles) {
    MOSU_SUBSCRIBE_T *sub = nullptr;
    ASSERT_EQ(mosu_subscribe_new_user(&sub, aux, 9, 3, 0), 0);
    ASSERT_NE(sub, nullptr);
    for (int item : {10, 11, 12, 13, 20})
        EXPECT_EQ(value_of(sub, item), 4) << item;

    // Unsubscribing the folder: the folder 2, everything below it 5.
    ASSERT_EQ(mosu_subscribe_toggle_by(sub, 10, tree_parent, nullptr), 0);
    EXPECT_EQ(value_of(sub, 10), 2);
    EXPECT_EQ(value_of(sub, 11), 5);
    EXPECT_EQ(value_of(sub, 13), 5);
    EXPECT_EQ(value_of(sub, 20), 4);

    // An item that inherits 5 is subscribed here, then follows its parent again.
    ASSERT_EQ(mosu_subscribe_toggle_by(sub, 11, tree_parent, nullptr), 0);
    EXPECT_EQ(mosu_subscribe_get_id(sub, 11)->value, 1);
    EXPECT_EQ(value_of(sub, 11), 1);
    EXPECT_EQ(value_of(sub, 13), 4);
    ASSERT_EQ(mosu_subscribe_toggle_by(sub, 11, tree_parent, nullptr), 0);
    EXPECT_EQ(mosu_subscribe_get_id(sub, 11)->value, 0);
    EXPECT_EQ(value_of(sub, 11), 5);
    // Stored 0 under an unsubscribed parent flips to 1.
    ASSERT_EQ(mosu_subscribe_toggle_by(sub, 11, tree_parent, nullptr), 0);
    EXPECT_EQ(mosu_subscribe_get_id(sub, 11)->value, 1);
    ASSERT_EQ(mosu_subscribe_toggle_by(sub, 11, tree_parent, nullptr), 0);

    // Toggling the folder again makes it and its documents follow the default.
    ASSERT_EQ(mosu_subscribe_toggle_by(sub, 10, tree_parent, nullptr), 0);
    EXPECT_EQ(value_of(sub, 10), 4);
    EXPECT_EQ(value_of(sub, 11), 4);
    // Stored 0 with everything above subscribed flips to 2.
    ASSERT_EQ(mosu_subscribe_toggle_by(sub, 10, tree_parent, nullptr), 0);
    EXPECT_EQ(mosu_subscribe_get_id(sub, 10)->value, 2);

    // The file holds the choices; a fresh load sees them.
    std::string text = read_file(udef() + "/subscribe/9");
    EXPECT_THAT(text, HasSubstr("ID 10\nVALUE 2\n"));
    MOSU_SUBSCRIBE_T *again = nullptr;
    ASSERT_EQ(mosu_subscribe_new_user(&again, aux, 9, 3, 0), 0);
    EXPECT_EQ(value_of(again, 10), 2);
    EXPECT_EQ(value_of(again, 13), 5);
    EXPECT_THAT(locks(), Not(HasSubstr("Subscribe File Lock")));
}

TEST_F(StateFiles, SubscriptionImages) {
    const char *image = nullptr, *text = nullptr;
    struct Row {
        int value;
        const char *image, *text;
    } rows[] = {
        {1, "icons/letter_tick.gif", "Click to revert back to parent value"},
        {2, "icons/letter_cross.gif", "Click to revert back to parent value"},
        {4, "icons/letter.gif", "Click to Unsubscribe"},
        {5, "icons/letter_grey_cross.gif", "Click to Subscribe"},
        {3, "icons/letter.gif", "Wrong value"},
        {0, "icons/letter.gif", "Wrong value"},
    };
    for (auto &r : rows) {
        ASSERT_EQ(mosu_subscribe_get_image(nullptr, r.value, &image, &text), 0);
        EXPECT_STREQ(image, r.image) << r.value;
        EXPECT_STREQ(text, r.text) << r.value;
    }
}

int looping_parent(void *, int item_id, int *parent) noexcept {
    *parent = item_id == 30 ? 31 : 30;
    return 0;
}

TEST_F(StateFiles, SubscriptionParentLoopIsReportedNotFollowedForever) {
    MOSU_SUBSCRIBE_T *sub = nullptr;
    ASSERT_EQ(mosu_subscribe_new_user(&sub, aux, 9, 3, 0), 0);
    int v = 0;
    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(mosu_subscribe_get_value_by(sub, 30, looping_parent, nullptr, &v), 1); });
    EXPECT_THAT(err, HasSubstr("form a loop"));
}

std::string toggle_own_item(Proc &p, int child) {
    MOSU_SUBSCRIBE_T *sub = nullptr;
    if (mosu_subscribe_new_user(&sub, p.aux, 6, 3, 0) != 0 || sub == nullptr)
        return "load failed";
    // Both requests loaded before either wrote: each must still keep the other's choice.
    usleep(50000);
    int item = child == 0 ? 12 : 13;
    for (int i = 0; i < 5; i++) {
        if (mosu_subscribe_toggle_by(sub, item, tree_parent, nullptr) != 0)
            return "toggle failed";
    }
    return "ok";
}

TEST_F(StateFiles, TwoProcessesTogglingKeepEachOthersChoices) {
    std::vector<std::string> results = in_children(tmp.path, daemon.port, 2, toggle_own_item);
    ASSERT_EQ(results, (std::vector<std::string>{"ok", "ok"}));
    MOSU_SUBSCRIBE_T *sub = nullptr;
    ASSERT_EQ(mosu_subscribe_new_user(&sub, aux, 6, 3, 0), 0);
    // Five toggles from the default: 2, 0, 2, 0, 2.
    ASSERT_NE(mosu_subscribe_get_id(sub, 12), nullptr) << read_file(udef() + "/subscribe/6");
    ASSERT_NE(mosu_subscribe_get_id(sub, 13), nullptr) << read_file(udef() + "/subscribe/6");
    EXPECT_EQ(mosu_subscribe_get_id(sub, 12)->value, 2);
    EXPECT_EQ(mosu_subscribe_get_id(sub, 13)->value, 2);
}

// ---- registry: lock wrappers and the reload rule

struct TestRow {
    int id;
    char *name;
};

MOTC_KEYLIST_T *test_keylist = nullptr;

int test_get_keylist(MOT_TOP_STYPE_T *, MOTC_KEYLIST_T **keylist) noexcept {
    *keylist = test_keylist;
    return 0;
}

struct RegistryLocks : StateFiles {
    MOT_TOP_STYPE_T *list = nullptr;
    MOT_TOP_STYPE_T *stype = nullptr;
    std::string data;

    void SetUp() override {
        StateFiles::SetUp();
        MOT_TOP_STYPE_DEF_T def = mot_stype_def_data_file;
        def.name = "groups";
        def.id = 1;
        def.help = "Active Groups Entries";
        def.lock_element_string = "Groups ID Number";
        def.lock_file_string = "Groups Data";
        def.get_keylist = test_get_keylist;
        ASSERT_EQ(mot_top_register_stype_def(aux, &list, nullptr, &def, &stype), 0);
        data = lib() + "/groups";
        ASSERT_EQ(mot_top_init_filename(stype, nullptr, data.c_str()), 0);
    }
};

TEST_F(RegistryLocks, ElementLockWithoutContainerLocksAll) {
    int status = -1;
    ASSERT_EQ(stype->lock_element(stype, MOLK_ELEMENT_TAKE, nullptr, &status), 0);
    std::string l = locks();
    EXPECT_THAT(l, HasSubstr("Groups ID Number"));
    EXPECT_THAT(l, HasSubstr("All"));
    ASSERT_EQ(stype->lock_element(stype, MOLK_ELEMENT_RELEASE, nullptr, &status), 0);
    EXPECT_THAT(locks(), Not(HasSubstr("Groups ID Number")));

    ASSERT_EQ(stype->lock_file(stype, MOLK_FILE_WRITE, &status), 0);
    EXPECT_THAT(locks(), HasSubstr("Groups Data"));
    ASSERT_EQ(stype->lock_file(stype, MOLK_FILE_WRITE_HELD, &status), 0);
    EXPECT_EQ(status, TRUE) << "instruction 7 says the write lock is held";
    ASSERT_EQ(stype->lock_file(stype, MOLK_FILE_WRITE_RELEASE, &status), 0);
    ASSERT_EQ(stype->lock_file(stype, MOLK_FILE_WRITE_HELD, &status), 0);
    EXPECT_EQ(status, FALSE);
}

// The list engine's use of the reload rule: check, read when told to, remember the number.
int load_entry(MOT_TOP_STYPE_T *stype, MOT_TOP_STORAGE_T *entry, int *loads) {
    int number = 0;
    mo_boolean_t load = FALSE;
    int ret = mot_top_storage_check_load(stype, entry, &number, &load);
    if (ret != 0)
        return ret;
    if (load) {
        char *text = nullptr;
        size_t count = 0;
        MOF_FILE_T *file = stype->aux->file;
        if (file->exists(file, stype->filename)) {
            ret = mof_file_mem_read(file, stype->filename, entry->sub_pool_ref, &text, &count);
            if (ret != 0)
                return ret;
        }
        entry->struct_ref = text;
        entry->mod_time = number;
        ++*loads;
    }
    return 0;
}

std::string write_groups(Proc &p, int) {
    std::string path = std::string(p.setup->lib_dir) + "/groups";
    MOLK_LOCK_CALL_T *call = p.aux->req->lock_call;
    int status = 0;
    if (call->file_lock(call, MOLK_FILE_WRITE, path.c_str(), "Groups Data", &status) != 0)
        return "lock failed";
    write_file(path, "N second\n");
    call->file_lock(call, MOLK_FILE_MOD_RAISE, path.c_str(), "Groups Data", &status);
    call->file_lock(call, MOLK_FILE_WRITE_RELEASE, path.c_str(), "Groups Data", &status);
    return "ok";
}

std::string delete_groups(Proc &p, int) {
    std::string path = std::string(p.setup->lib_dir) + "/groups";
    MOLK_LOCK_CALL_T *call = p.aux->req->lock_call;
    int status = 0;
    unlink(path.c_str());
    call->file_lock(call, MOLK_FILE_MOD_RAISE, path.c_str(), "Groups Data", &status);
    return "ok";
}

TEST_F(RegistryLocks, CachedDataReusedUntilAnotherProcessWrites) {
    mkdir(lib().c_str(), 0755);
    write_file(data, "N first\n");
    MOT_TOP_STORAGE_T *entries = nullptr, *entry = nullptr;
    ASSERT_EQ(mot_top_storage_find(aux, nullptr, &entries, &entry, stype->filename), 0);
    int loads = 0;
    ASSERT_EQ(load_entry(stype, entry, &loads), 0);
    EXPECT_EQ(loads, 1);
    EXPECT_STREQ(static_cast<char *>(entry->struct_ref), "N first\n");

    // Unchanged number: the cache serves, even though the file changed behind the lock service's back.
    write_file(data, "N sneaky\n");
    ASSERT_EQ(load_entry(stype, entry, &loads), 0);
    EXPECT_EQ(loads, 1);
    EXPECT_STREQ(static_cast<char *>(entry->struct_ref), "N first\n");

    // Another process writes under the write lock and raises the number: the next read reloads.
    ASSERT_EQ(in_children(tmp.path, daemon.port, 1, write_groups), (std::vector<std::string>{"ok"}));
    ASSERT_EQ(load_entry(stype, entry, &loads), 0);
    EXPECT_EQ(loads, 2);
    EXPECT_STREQ(static_cast<char *>(entry->struct_ref), "N second\n");

    // The file is removed and the number raised: the cached records keep serving.
    ASSERT_EQ(in_children(tmp.path, daemon.port, 1, delete_groups), (std::vector<std::string>{"ok"}));
    ASSERT_EQ(load_entry(stype, entry, &loads), 0);
    EXPECT_EQ(loads, 2);
    EXPECT_STREQ(static_cast<char *>(entry->struct_ref), "N second\n");
}

TEST_F(RegistryLocks, ElementLockOfOneRecordSendsItsId) {
    MOTC_COMMON_KEYWORD_T *id_common = nullptr, *name_common = nullptr;
    ASSERT_EQ(
        motc_common_alloc_integer(aux, nullptr, &id_common, "ID", offsetof(TestRow, id), mok_int_ref(0)), 0);
    ASSERT_EQ(motc_common_alloc_string(aux, nullptr, &name_common, "N", offsetof(TestRow, name), ""), 0);
    MOTC_KEYLIST_T *k1 = nullptr, *k2 = nullptr;
    ASSERT_EQ(motc_get_new_keylist_element(name_common, nullptr, &k1), 0);
    ASSERT_EQ(motc_get_new_keylist_element(id_common, nullptr, &k2), 0);
    k1->next = k2;
    test_keylist = k1;

    TestRow row{4711, nullptr};
    int status = -1;
    ASSERT_EQ(stype->lock_element(stype, MOLK_ELEMENT_TAKE, &row, &status), 0);
    std::string l = locks();
    EXPECT_THAT(l, HasSubstr("4711"));
    EXPECT_THAT(l, Not(HasSubstr("All")));
    ASSERT_EQ(stype->lock_element(stype, MOLK_ELEMENT_RELEASE, &row, &status), 0);

    MOTC_COMMON_KEYWORD_T *found = nullptr;
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(mot_top_get_common_struct(stype, "VA", &found), 1); });
    EXPECT_THAT(err, HasSubstr("No keyword VA exists in the motc_find_keyword for stype groups\n"));
    test_keylist = nullptr;
}

TEST_F(RegistryLocks, LinkStart) {
    mo_string_t link;
    ASSERT_EQ(mot_top_http_call_start_args(stype, "f1", "x", "d", "t", link), 0);
    EXPECT_STREQ(link, "/mo_scripts/mo_http?f1&d&t&x&0&0&0&groups");
    std::string huge(1100, 'd');
    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(mot_top_http_call_start_args(stype, "f1", "x", huge.c_str(), "t", link), 1); });
    EXPECT_THAT(err, HasSubstr("longer than"));
}

} // namespace
