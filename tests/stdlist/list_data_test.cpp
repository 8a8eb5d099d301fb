// A content type's family, its data file read and written under the real daemon's locks, ids, and
// the position arguments of a request.
#include "list_fixture.h"

#include <gtest/gtest.h>

using namespace tl;

namespace {

struct ListData : ::testing::Test {
    mot_test::TempDir home;
    std::unique_ptr<Daemon> daemon;
    std::string data;
    void SetUp() override {
        daemon = std::make_unique<Daemon>(home.path);
        data = home.path + "/lib/tnote/0";
    }
};

std::vector<std::string> column_keywords(MOT_TOP_STYPE_T *s) {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    std::vector<std::string> out;
    if (motsl_get_key_struct(s, &ks) != 0)
        return out;
    for (MOTSL_APPLIC_KEYWORD_T *n = ks->keyword_list; n != nullptr; n = n->next)
        out.push_back(std::string(n->stdlist->common->gen_keyword.keyword) + ":" +
                      std::to_string(n->stdlist->index));
    return out;
}

TEST_F(ListData, FamilyRegistersFiveListsSharingOneColumnSet) {
    Proc p(home.path);
    ASSERT_EQ(p.registered, 0);
    struct Want {
        const char *name;
        int id, type;
        const char *useropt, *history, *deleted;
    } want[] = {{"tnote", 1, 0, "tnote_useropt", "tnote_history", "tnote_deleted"},
                {"tnote_deleted", 2, 1, "tnote_useropt", "tnote_history", nullptr},
                {"tnote_useropt", 3, 2, nullptr, nullptr, nullptr},
                {"tnote_history", 4, 3, "tnote_history_useropt", nullptr, nullptr},
                {"tnote_history_useropt", 5, 2, nullptr, nullptr, nullptr}};
    MOT_TOP_STYPE_T *s = p.session->storage.stype_list;
    for (const Want &w : want) {
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(s->name, w.name);
        EXPECT_EQ(s->id, w.id) << w.name;
        EXPECT_EQ(s->type, w.type) << w.name;
        auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(s->type_storage_ref);
        ASSERT_NE(ts, nullptr) << w.name;
        auto str = [](const char *t) { return std::string(t != nullptr ? t : "(none)"); };
        EXPECT_EQ(str(ts->useropt_stype_name), str(w.useropt)) << w.name;
        EXPECT_EQ(str(ts->history_stype_name), str(w.history)) << w.name;
        EXPECT_EQ(str(ts->deleted_stype_name), str(w.deleted)) << w.name;
        EXPECT_EQ(str(ts->template_stype_name), "(none)");
        EXPECT_STREQ(ts->index, "");
        s = s->next;
    }
    EXPECT_EQ(s, nullptr);

    MOT_TOP_STYPE_T *main = p.stype("tnote"), *del = p.stype("tnote_deleted"),
                    *hist = p.stype("tnote_history");
    // Generic columns first, then the application's, numbered in declaration order.
    std::vector<std::string> cols = {"ID:0", "NEW:1", "DEL:2", "EDIT:3", "T:4", "B:5", "S:6", "P:7", "O:8"};
    EXPECT_EQ(column_keywords(main), cols);
    EXPECT_EQ(main->keyword_storage, del->keyword_storage) << "main and deleted share the column set";
    EXPECT_EQ(main->number_of_keywords, 9);
    EXPECT_EQ(del->number_of_keywords, 9);
    EXPECT_EQ(main->size_of_element, static_cast<int>(sizeof(TNOTE_T)));
    EXPECT_EQ(column_keywords(hist),
              (std::vector<std::string>{"ID:0", "FID:1", "OP:2", "U:3", "D:4", "M:5", "C:6"}));
    EXPECT_STREQ(hist->lock_element_string, "Tnote History ID Number");
    EXPECT_STREQ(hist->lock_file_string, "Tnote History Data");
    EXPECT_STREQ(main->lock_file_string, "Tnote Data");

    MOTSL_STDLIST_KEYWORD_T *c = nullptr;
    ASSERT_EQ(motsl_find_column(main, "DEL", &c), 0);
    EXPECT_STREQ(c->user_name, "Status");
    EXPECT_STREQ(c->help_string, "Change delete status");
    EXPECT_EQ(c->type_vector, 2u);
    EXPECT_EQ(c->display_ref, motsl_delete_status_options);
    ASSERT_EQ(motsl_find_column(main, "NEW", &c), 0);
    EXPECT_STREQ(c->help_string, "User Name of New Element");
    ASSERT_EQ(motsl_find_column(hist, "OP", &c), 0);
    EXPECT_STREQ(c->help_string, "The operation which resulted in this history entry");
    EXPECT_EQ(c->type_vector, 0x22u);
    ASSERT_EQ(motsl_find_column(hist, "D", &c), 0);
    EXPECT_EQ(c->type_vector, 0x10023u);

    // Five option fields per column, then the four list-wide ones.
    MOK_GEN_KEYWORD_T *k = nullptr;
    MOT_TOP_STYPE_T *opt = p.stype("tnote_useropt");
    ASSERT_EQ(opt->get_keyword_array(opt, &k), 0);
    ASSERT_EQ(opt->number_of_keywords, 9 * 5 + 4);
    EXPECT_STREQ(k[0].keyword, "DISID");
    EXPECT_STREQ(k[4].keyword, "MATCHID");
    EXPECT_STREQ(k[20].keyword, "DIST");
    EXPECT_STREQ(k[21].keyword, "SORTT");
    EXPECT_EQ(mok_ref_int(k[21].init_ref), 1) << "0x8000 sorts a new user's list ascending";
    EXPECT_STREQ(k[23].keyword, "FILT");
    EXPECT_STREQ(static_cast<const char *>(k[23].init_ref), "[All]");
    EXPECT_STREQ(k[45].keyword, "PAGE_NO");
    EXPECT_STREQ(k[46].keyword, "PAGE_LINES");
    EXPECT_STREQ(k[47].keyword, "ADV_COL_EN");
    EXPECT_STREQ(k[48].keyword, "DLIST");

    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(main->type_storage_ref);
    EXPECT_EQ(std::string(ts->mark_filename), home.path + "/lib/tnote/mark");
    EXPECT_STREQ(static_cast<MOTSL_TYPE_STORAGE_T *>(hist->type_storage_ref)->mark_filename,
                 "No_Mark_File_Currently_Set");

    // A family member the registry already has is refused.
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(motsl_register_family(p.session, &tnote_family), 1); });
    EXPECT_NE(err.find("Stype name tnote has already been registered"), std::string::npos) << err;
    MOT_TOP_STYPE_T bare{};
    bare.aux = p.aux;
    bare.name = "bare";
    err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(motsl_set_related_stypes(&bare, "a", "b", nullptr, nullptr), 1); });
    EXPECT_NE(err.find("The type storage is not set in the motsl_set_related_stypes fn for bare"),
              std::string::npos);
}

TEST_F(ListData, ReadWriteThroughTheDaemonWithIdsHistoryAndDeletedList) {
    Proc p(home.path);
    ASSERT_TRUE(p.connect(daemon->port));
    MOT_TOP_STYPE_T *main = p.stype("tnote"), *del = p.stype("tnote_deleted");
    ASSERT_EQ(p.init(main), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(main->read_data(main, &first), 0);
    EXPECT_EQ(first, nullptr) << "a list without a file is empty";

    int a = 0, b = 0, c = 0;
    ASSERT_EQ(p.add_note(main, "alpha", &a), 0);
    ASSERT_EQ(p.add_note(main, "beta", &b), 0);
    ASSERT_EQ(p.add_note(main, "gamma", &c), 0);
    EXPECT_EQ((std::vector<int>{a, b, c}), (std::vector<int>{2, 3, 4})) << "first id is the default plus one";
    std::string text = read_file(data);
    EXPECT_EQ(text.substr(0, text.find("------")), "ID 2\nNEW 0\nDEL 0\nT alpha\nB \\n\nS 1\nP 0\nO \n")
        << text;
    EXPECT_FALSE(file_exists(data + ".tmp"));
    // Each created element has its own history file with one entry.
    std::string hist = read_file(home.path + "/lib/tnote/history/3");
    EXPECT_NE(hist.find("ID 1\nFID 3\nOP 0\nU 0\nD "), std::string::npos) << hist;
    EXPECT_EQ(hist.find("------"), std::string::npos);

    // Another process sees them; deleting one moves it to the deleted list.
    Proc q(home.path);
    ASSERT_TRUE(q.connect(daemon->port, 4242));
    MOT_TOP_STYPE_T *qmain = q.stype("tnote");
    ASSERT_EQ(q.init(qmain), 0);
    ASSERT_EQ(qmain->lock_file(qmain, MOLK_FILE_WRITE, nullptr), 0);
    ASSERT_EQ(qmain->read_data(qmain, &first), 0);
    ASSERT_EQ(ids_of(first), (std::vector<int>{2, 3, 4}));
    static_cast<TNOTE_T *>(first->next->container)->delete_status = 1;
    ASSERT_EQ(qmain->write_data(qmain), 0);
    ASSERT_EQ(qmain->lock_file(qmain, MOLK_FILE_WRITE_RELEASE, nullptr), 0);

    ASSERT_EQ(p.init(main), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    ASSERT_EQ(main->init_data(main, first), 0);
    std::vector<bool> visible;
    for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next)
        visible.push_back(r->access_view);
    EXPECT_EQ(visible, (std::vector<bool>{true, false, true}));
    ASSERT_EQ(p.init(del), 0);
    ASSERT_EQ(del->read_data(del, &first), 0);
    ASSERT_EQ(del->init_data(del, first), 0);
    visible.clear();
    for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next)
        visible.push_back(r->access_view);
    EXPECT_EQ(visible, (std::vector<bool>{false, true, false}));
    ASSERT_EQ(p.init(main), 0);
    EXPECT_EQ(motsl_delete_empty_check(main), 0);
    EXPECT_FALSE(static_cast<MOTSL_TYPE_STORAGE_T *>(main->type_storage_ref)->deleted_empty);

    // A user's unfinished creation is taken up again instead of starting a second one; a record
    // added in reverse goes first.
    p.access.current = 9;
    ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE, nullptr), 0);
    MOK_DATA_RECORD_T *unfinished = nullptr, *max = nullptr, *mine = nullptr, *front = nullptr;
    ASSERT_EQ(motsl_stdlist_append_new(main, &unfinished), 0);
    static_cast<TNOTE_T *>(unfinished->container)->new_ = 9;
    ASSERT_EQ(main->read_data(main, &first), 0);
    MOTSL_STDLIST_KEYWORD_T *id_col = nullptr, *new_col = nullptr;
    ASSERT_EQ(motsl_find_column(main, "ID", &id_col), 0);
    ASSERT_EQ(motsl_find_column(main, "NEW", &new_col), 0);
    mo_boolean_t have_new = FALSE;
    ASSERT_EQ(motsl_find_maximum_id_or_new(main, first, id_col, new_col, &max, &mine, &have_new), 0);
    EXPECT_TRUE(have_new);
    EXPECT_EQ(mine, unfinished);
    p.access.current = 8;
    ASSERT_EQ(motsl_find_maximum_id_or_new(main, first, id_col, new_col, &max, &mine, &have_new), 0);
    EXPECT_FALSE(have_new);
    EXPECT_EQ(static_cast<TNOTE_T *>(max->container)->id, 5);
    ASSERT_EQ(main->new_data(main, &front), 0);
    ASSERT_EQ(motsl_stdlist_add_data_reverse(main, front, &first), 0);
    EXPECT_EQ(first, front);
    EXPECT_EQ(ids_of(first), (std::vector<int>{1, 2, 3, 4, 5})) << "the new record holds the default id";
    ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
    p.access.current = -1;
    p.end_request();
    ASSERT_EQ(p.init(main), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    EXPECT_EQ(ids_of(first), (std::vector<int>{2, 3, 4})) << "nothing of that was written";

    // Writing without the write lock is refused and the file stays as it was.
    ASSERT_EQ(main->read_data(main, &first), 0);
    std::string before = read_file(data);
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(main->write_data(main), 1); });
    EXPECT_NE(err.find("Lock for Tnote Data file("), std::string::npos) << err;
    EXPECT_EQ(read_file(data), before);
    // The change mark was touched by each write (main lists write through the mark).
    int mark = 0;
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(main->type_storage_ref);
    ASSERT_EQ(p.aux->req->lock_call->file_lock(p.aux->req->lock_call, MOLK_FILE_MOD_GET, ts->mark_filename,
                                               "Mark File Lock", &mark),
              0);
    EXPECT_EQ(mark, 5) << "four writes raised the mark from 1";
    const char *locks = nullptr;
    ASSERT_EQ(q.aux->req->lock_call->list(q.aux->req->lock_call, &locks), 0);
    EXPECT_STREQ(locks, "") << "every lock was released";
}

TEST_F(ListData, EmptyAndDamagedFiles) {
    Proc p(home.path);
    ASSERT_TRUE(p.connect(daemon->port));
    MOT_TOP_STYPE_T *main = p.stype("tnote");
    mkdir((home.path + "/lib").c_str(), 0755);
    mkdir((home.path + "/lib/tnote").c_str(), 0755);
    MOK_DATA_RECORD_T *first = nullptr;
    // An empty file and a file of comments hold no element: no phantom record with id 1.
    for (const char *content : {"", "# kept by hand\n\n  # more\n"}) {
        write_file(data, content);
        ASSERT_EQ(p.init(main), 0);
        ASSERT_EQ(main->read_data(main, &first), 0);
        EXPECT_EQ(first, nullptr) << "content: " << content;
        p.end_request();
    }
    // The option list of a user without a file is one record of defaults.
    MOT_TOP_STYPE_T *opt = p.stype("tnote_useropt");
    ASSERT_EQ(p.init(main), 0);
    ASSERT_EQ(opt->read_data(opt, &first), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->next, nullptr);
    EXPECT_EQ(static_cast<MOTSL_USEROPT_LIST_T *>(first->container)->page_lines, 20);
    p.end_request();

    // Two elements of one id: refused with the message, even when the repeat is not the largest.
    write_file(data, "ID 2\nT a\n------\nID 3\nT b\n------\nID 2\nT c\n");
    ASSERT_EQ(p.init(main), 0);
    std::string before = read_file(data);
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(p.add_note(main, "x"), 1); });
    EXPECT_NE(err.find("Two ID records in tnote are equal, both are 2. How did this happen?"),
              std::string::npos)
        << err;
    EXPECT_EQ(read_file(data), before);
    p.end_request();

    // The largest id is the cap: no further id is given and nothing is written.
    write_file(data, "ID 16777216\nT top\n");
    ASSERT_EQ(p.init(main), 0);
    before = read_file(data);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(p.add_note(main, "x"), 1); });
    EXPECT_NE(err.find("No new id can be given in tnote: the largest id is already 16777216"),
              std::string::npos)
        << err;
    EXPECT_EQ(read_file(data), before);
    p.end_request();

    // A damaged history file fails the history append, which gives its lock back.
    write_file(data, "ID 2\nT a\n");
    mkdir((home.path + "/lib/tnote/history").c_str(), 0755);
    write_file(home.path + "/lib/tnote/history/2", "ID 1\nM " + std::string(1500, 'm') + "\n");
    ASSERT_EQ(p.init(main), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(motsl_add_history(main, MOTSL_OP_MODIFIED, first->container, nullptr), 1); });
    EXPECT_NE(err.find("String too long"), std::string::npos) << err;
    const char *held = nullptr;
    ASSERT_EQ(p.aux->req->lock_call->list(p.aux->req->lock_call, &held), 0);
    EXPECT_STREQ(held, "");
    p.end_request();

    // A line too long is a read error; no lock stays behind and the file is untouched.
    write_file(data, "ID 2\nT " + std::string(1500, 'x') + "\n");
    ASSERT_EQ(p.init(main), 0);
    before = read_file(data);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(main->read_data(main, &first), 1); });
    EXPECT_NE(err.find("String too long"), std::string::npos) << err;
    const char *locks = nullptr;
    ASSERT_EQ(p.aux->req->lock_call->list(p.aux->req->lock_call, &locks), 0);
    EXPECT_STREQ(locks, "");
    EXPECT_EQ(read_file(data), before);
}

// A list read before the write lock is taken is read again under it, so a commit never drops what
// another process wrote in between; a cached copy is also checked against the file itself.
TEST_F(ListData, NoLostUpdateWhenTheListWasReadBeforeTheWriteLock) {
    Proc a(home.path);
    ASSERT_TRUE(a.connect(daemon->port));
    MOT_TOP_STYPE_T *main = a.stype("tnote");
    ASSERT_EQ(a.init(main), 0);
    ASSERT_EQ(a.add_note(main, "first"), 0);
    a.end_request();

    // The access test of a commit reads the list without a lock ...
    ASSERT_EQ(a.init(main), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(main->read_data(main, &first), 0);
    ASSERT_EQ(ids_of(first).size(), 1u);
    // ... meanwhile another process adds an element ...
    pid_t other = spawn([&] {
        Proc b(home.path);
        if (!b.connect(daemon->port))
            return 1;
        MOT_TOP_STYPE_T *s = b.stype("tnote");
        return b.init(s) == 0 ? b.add_note(s, "from the other process") : 1;
    });
    ASSERT_EQ(wait_status(other), 0);
    // ... then the commit takes the write lock, reads, adds and writes.
    ASSERT_EQ(a.add_note(main, "second"), 0);
    a.end_request();
    ASSERT_EQ(a.init(main), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    EXPECT_EQ(titles_of(first), (std::vector<std::string>{"first", "from the other process", "second"}));
    EXPECT_EQ(ids_of(first), (std::vector<int>{2, 3, 4}));
    a.end_request();

    // A commit that changed the list in memory and gave up without writing leaves no trace: the
    // next request reads the file, not the abandoned changes.
    ASSERT_EQ(a.init(main), 0);
    ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE, nullptr), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    static_cast<TNOTE_T *>(first->container)->title = strdup("abandoned");
    ASSERT_EQ(main->read_data(main, &first), 0);
    EXPECT_STREQ(static_cast<TNOTE_T *>(first->container)->title, "abandoned") << "kept within the request";
    ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
    a.end_request();
    ASSERT_EQ(a.init(main), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    EXPECT_STREQ(static_cast<TNOTE_T *>(first->container)->title, "first");
    a.end_request();

    // The daemon forgets its numbers when it restarts: a copy cached at number n is not taken for
    // the file when, after the restart, other writes bring the number back to n.
    ASSERT_EQ(a.init(main), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    int cached_number = main->data_storage->mod_time;
    a.end_request();
    ASSERT_GE(cached_number, 2);
    daemon->stop();
    daemon->start();
    pid_t writer = spawn([&] {
        Proc b(home.path);
        if (!b.connect(daemon->port))
            return 1;
        MOT_TOP_STYPE_T *s = b.stype("tnote");
        if (b.init(s) != 0)
            return 1;
        // Raise the fresh daemon's number to the cached one, with the last raise a real write.
        for (int n = 1; n < cached_number - 1; n++)
            if (s->lock_file(s, MOLK_FILE_MOD_RAISE, nullptr) != 0)
                return 1;
        return b.add_note(s, "after the restart");
    });
    ASSERT_EQ(wait_status(writer), 0);
    a.b.disconnect();
    ASSERT_TRUE(a.connect(daemon->port));
    ASSERT_EQ(a.init(main), 0);
    int number = 0;
    ASSERT_EQ(main->lock_file(main, MOLK_FILE_MOD_GET, &number), 0);
    EXPECT_EQ(number, cached_number) << "the numbers coincide";
    ASSERT_EQ(main->read_data(main, &first), 0);
    EXPECT_EQ(titles_of(first).back(), "after the restart");
}

TEST_F(ListData, PositionArgumentsAreIdsAndNothingElse) {
    Proc p(home.path);
    MOT_TOP_STYPE_T *main = p.stype("tnote");
    auto run = [&](std::vector<std::string> args, MOT_TOP_STYPE_T **out, std::string *err) {
        MOT_TOP_ARG_LIST_T *list = nullptr;
        for (const std::string &a : args)
            mot_add_arg(p.aux, strdup(a.c_str()), &list);
        MOT_TOP_ARG_LIST_T **pos = &list;
        MOT_TOP_STYPE_T *s = main;
        int ret = 0;
        *err = mot_test::capture_stderr([&] { ret = s->init_stype(&s, TRUE, pos); });
        *out = s;
        return ret;
    };
    MOT_TOP_STYPE_T *s = nullptr;
    std::string err;
    ASSERT_EQ(run({"0", "0", "7", "tnote", "list"}, &s, &err), 0) << err;
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(s->type_storage_ref);
    EXPECT_STREQ(ts->row, "7");
    struct Bad {
        std::vector<std::string> args;
        const char *message;
    } bad[] = {
        {{"0", "7/../../x", "0", "tnote"}, "The list_id argument is not an id"},
        {{"0", "0", "-1", "tnote"}, "The row argument is not an id"},
        {{"0", "0", "../../etc/passwd", "tnote"}, "The row argument is not an id"},
        {{"0", "0", "007", "tnote"}, "The row argument is not an id"},
        {{"0", "0", "2147483648", "tnote"}, "The row argument is not an id"},
        {{"0", "0", "1\"><script>", "tnote"}, "The row argument is not an id"},
        {{"0", "", "0", "tnote"}, "Can't find any list_id argument"},
        {{"0", "0", "0"}, "Can't find any stype argument"},
        {{"x", "0", "0", "tnote"}, "The index argument is not an id"},
        {{"0", "0", "0", "tnote_history"}, "Can't find stype tnote_history in allowed stype list "},
    };
    for (const Bad &b : bad) {
        ts->row[0] = '\0';
        EXPECT_EQ(run(b.args, &s, &err), 1) << b.message;
        EXPECT_NE(err.find(b.message), std::string::npos) << err;
        EXPECT_STREQ(ts->row, "") << "nothing is stored from a refused request";
    }
    // Another stype is taken when the folder item allows it.
    p.tree.items[5].name = "Notes";
    ASSERT_EQ(run({"0", "5", "0", "tnote_deleted"}, &s, &err), 0) << err;
    EXPECT_STREQ(s->name, "tnote_deleted");
    EXPECT_STREQ(static_cast<MOTSL_TYPE_STORAGE_T *>(s->type_storage_ref)->list, "5");
    EXPECT_EQ(run({"0", "5", "0", "tnote_history"}, &s, &err), 1);
    EXPECT_NE(err.find("Can't find stype tnote_history in allowed stype list tnote, tnote_deleted"),
              std::string::npos)
        << err;

    // The request link carries the "%d" ids; request texts are percent-encoded.
    struct Web {
        MOTSL_WEB_HOOKS_T hooks{};
        std::string frame = "f1\"><x", dir = "dir";
    } web;
    web.hooks.ref = &web;
    web.hooks.current_frame = [](MOTSL_WEB_HOOKS_T *h) noexcept {
        return static_cast<Web *>(h->ref)->frame.c_str();
    };
    web.hooks.current_dir_type = [](MOTSL_WEB_HOOKS_T *h) noexcept {
        return static_cast<Web *>(h->ref)->dir.c_str();
    };
    p.hooks.web = &web.hooks;
    mo_string_t link;
    ASSERT_EQ(motsl_set_position(main, 0, 5, 12), 0);
    ASSERT_EQ(main->http_call_start(main, "content", "A", link), 0);
    EXPECT_STREQ(link, "/mo_scripts/mo_http?f1%22%3E%3Cx&content&A&dir&0&5&12&tnote");
    // The history link ends with the element: the list link, "&" and the id.
    MOT_TOP_STYPE_T *hist = p.stype("tnote_history");
    ASSERT_EQ(motsl_set_position(hist, 0, 5, 12), 0);
    static_cast<MOTSL_HISTORY_STORAGE_T *>(hist->applic_storage_ref)->history_for_id = 12;
    ASSERT_EQ(hist->http_call_start(hist, "content", "A", link), 0);
    EXPECT_STREQ(link, "/mo_scripts/mo_http?f1%22%3E%3Cx&content&A&dir&0&5&12&tnote_history&12");
    // File names come from the parsed ids only.
    ASSERT_EQ(motsl_set_position(hist, 0, 0, 12), 0);
    ASSERT_EQ(motsl_history_init_filename_stype(hist), 0);
    EXPECT_EQ(std::string(hist->filename), home.path + "/lib/tnote/history/12");
    ASSERT_EQ(motsl_set_position(hist, 0, 5, 12), 0);
    ASSERT_EQ(motsl_history_init_filename_id(hist), 0);
    EXPECT_EQ(std::string(hist->filename), home.path + "/lib/index/5/history/12");
    ASSERT_EQ(motsl_applic_init_filename_id(main), 0);
    EXPECT_EQ(std::string(main->filename), home.path + "/lib/index/5/12");
    p.access.current = 7;
    MOT_TOP_STYPE_T *opt = p.stype("tnote_useropt");
    ASSERT_EQ(motsl_set_position(opt, 0, 5, 0), 0);
    ASSERT_EQ(motsl_useropt_init_filename_id(opt), 0);
    EXPECT_EQ(std::string(opt->filename), home.path + "/user_defaults/tnote_useropt/5/7");
    ASSERT_EQ(motsl_useropt_init_filename(opt), 0);
    EXPECT_EQ(std::string(opt->filename), home.path + "/user_defaults/tnote_useropt/7");
    ASSERT_EQ(motsl_set_position(hist, 0, 5, 0), 0);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(motsl_history_init_filename_id(hist), 1); });
    EXPECT_NE(err.find("needs an element id"), std::string::npos);
    // A folder's default stype names the history directory only when it is a registered stype.
    p.tree.items[5].default_stype = "../../etc";
    ASSERT_EQ(motsl_set_position(hist, 0, 5, 12), 0);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(motsl_history_init_filename_stype(hist), 1); });
    EXPECT_NE(err.find("The default stype of item 5 is not a registered stype"), std::string::npos) << err;
}

} // namespace
