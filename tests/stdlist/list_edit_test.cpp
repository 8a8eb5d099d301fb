// Editing a list through its commands against the real lock daemon: the edit form and its element
// lock, the commit with its history, the second commit of one form, failures that must leave the
// file, the history, the cache and the locks as they were, new elements with their shell, and
// deleting and undeleting ticked rows.
#include "list_fixture.h"
#include "stdlist/mowsl_web_stdlist_edit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdarg>
#include <memory>

using namespace tl;

namespace {

int collect_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept MO_PRINTF(2, 3);

struct Out {
    MOOU_OUT_DEF_T def{};
    std::string text;
    Out() {
        def.out_ref = this;
        def.line_fn = collect_line;
    }
};

int collect_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    char small[4096];
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(small, sizeof(small), fmt, copy);
    va_end(copy);
    std::string text;
    if (n >= static_cast<int>(sizeof(small))) {
        text.resize(static_cast<size_t>(n) + 1);
        vsnprintf(text.data(), text.size(), fmt, ap);
        text.resize(static_cast<size_t>(n));
    } else {
        text = small;
    }
    va_end(ap);
    static_cast<Out *>(o->out_ref)->text += text;
    return 0;
}

// A posted form: names and values kept alive for the request.
struct Form {
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<MOW_POST_RESULTS_T> results;
    Form(std::initializer_list<std::pair<std::string, std::string>> f) : fields(f) {}
    MOW_POST_RESULTS_T *get() {
        results.clear();
        for (auto &f : fields)
            results.push_back({f.first.data(), f.second.data()});
        results.push_back({nullptr, nullptr});
        return results.data();
    }
};

MOT_TOP_ARG_LIST_T *args(std::vector<std::string> &words, std::vector<MOT_TOP_ARG_LIST_T> &nodes) {
    nodes.assign(words.size(), MOT_TOP_ARG_LIST_T{});
    for (size_t i = 0; i < words.size(); i++) {
        nodes[i].val = words[i].c_str();
        nodes[i].next = i + 1 < words.size() ? &nodes[i + 1] : nullptr;
    }
    return nodes.empty() ? nullptr : &nodes[0];
}

struct ListEdit : ::testing::Test {
    mot_test::TempDir home;
    std::unique_ptr<Daemon> daemon;
    std::unique_ptr<Proc> p;
    MOT_TOP_STYPE_T *main = nullptr;
    MOT_TOP_STYPE_T *deleted = nullptr;
    std::string err; // what the last request reported

    void SetUp() override {
        daemon = std::make_unique<Daemon>(home.path);
        p = std::make_unique<Proc>(home.path);
        ASSERT_TRUE(p->connect(daemon->port));
        p->access.current = 7;
        p->access.privilege[7] = MOTSL_PRIV_ADMIN;
        main = p->stype("tnote");
        deleted = p->stype("tnote_deleted");
        ASSERT_NE(main, nullptr);
        ASSERT_NE(deleted, nullptr);
    }

    void add(const std::vector<std::string> &titles) {
        ASSERT_EQ(p->init(main), 0);
        for (const std::string &t : titles)
            ASSERT_EQ(p->add_note(main, t), 0);
        p->end_request();
    }

    // One request on a list of the family: its web set-up, then fn; what it wrote and its status.
    int request(MOT_TOP_STYPE_T *s, const std::function<int(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *)> &fn,
                std::string *page = nullptr) {
        Out out;
        int ret = 0;
        err = mot_test::capture_stderr([&] {
            ret = motsl_set_position(s, 0, 0, 0);
            MOT_TOP_STYPE_T *st = s;
            if (ret == 0)
                ret = st->init_web(p->req, &st);
            if (ret == 0)
                ret = fn(st, &out.def);
        });
        p->end_request();
        if (page != nullptr)
            *page = out.text;
        return ret;
    }

    int edit_form(int id, std::string *page) {
        std::string value = std::to_string(id);
        return request(
            main,
            [&](MOT_TOP_STYPE_T *s, MOOU_OUT_DEF_T *o) {
                return mowsl_edit_start_service_basic(s, o, "ID", value.c_str());
            },
            page);
    }

    int commit(MOT_TOP_STYPE_T *s, int id, Form &form, std::string *page = nullptr) {
        std::vector<std::string> words = {"ID", std::to_string(id)};
        std::vector<MOT_TOP_ARG_LIST_T> nodes;
        MOT_TOP_ARG_LIST_T *list = args(words, nodes);
        p->req->results_ref = form.get();
        int ret = request(
            s,
            [&](MOT_TOP_STYPE_T *st, MOOU_OUT_DEF_T *o) {
                return mowsl_edit_end_service(st, o, nullptr, p->req, list);
            },
            page);
        p->req->results_ref = nullptr;
        return ret;
    }

    int picker(MOT_TOP_STYPE_T *s, Form &form) {
        p->req->results_ref = form.get();
        int ret = request(s, [&](MOT_TOP_STYPE_T *st, MOOU_OUT_DEF_T *o) {
            return mowsl_picker_service(st, o, nullptr, p->req, nullptr);
        });
        p->req->results_ref = nullptr;
        return ret;
    }

    std::string data() { return read_file(home.path + "/lib/tnote/0"); }
    std::string history(int id) { return read_file(home.path + "/lib/tnote/history/" + std::to_string(id)); }

    // The current records as the next request reads them.
    std::vector<TNOTE_T> notes() {
        std::vector<TNOTE_T> all;
        EXPECT_EQ(p->init(main), 0);
        MOK_DATA_RECORD_T *first = nullptr;
        EXPECT_EQ(main->read_data(main, &first), 0);
        for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next)
            all.push_back(*static_cast<TNOTE_T *>(r->container));
        p->end_request();
        return all;
    }

    // Another user's process that takes (or gives back all of) its element locks on the list.
    int other_user(int instruction, int id = 0) {
        return wait_status(spawn([&] {
            Proc q(home.path);
            // One lock owner for every such process, so that a later one gives back an earlier one's locks.
            mot_test::ConnectOptions as{.user = "4242_process", .machine = "testhost", .sender_id = 4242};
            if (q.registered != 0 || !q.b.connect(daemon->port, as).empty())
                return 1;
            q.access.current = 8;
            MOT_TOP_STYPE_T *s = q.stype("tnote");
            MOK_DATA_RECORD_T *first = nullptr;
            if (q.init(s) != 0 || s->read_data(s, &first) != 0)
                return 1;
            MOK_DATA_RECORD_T *r = first;
            while (r != nullptr && static_cast<TNOTE_T *>(r->container)->id != id)
                r = r->next;
            if (instruction == MOLK_ELEMENT_TAKE && r == nullptr)
                return 1;
            return s->lock_element(s, instruction, r != nullptr ? r->container : nullptr, nullptr);
        }));
    }
};

TEST_F(ListEdit, FormLocksCommitWritesAndRecordsOnceAndASecondCommitChangesNothing) {
    add({"Alpha", "Beta"});
    std::string page;
    ASSERT_EQ(edit_form(2, &page), 0) << err;
    // The form posts to edit_end of the same element, with every field the user may change.
    EXPECT_NE(
        page.find(
            "<FORM NAME=\"edit\" ACTION=\"/mo_scripts/mo_http?&amp;none&amp;N&amp;&amp;0&amp;0&amp;0&amp;"
            "tnote&amp;edit_end&amp;ID&amp;2\" ENCTYPE=\"multipart/form-data\" METHOD=POST>"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("<INPUT TYPE=TEXT  NAME=\"T\" VALUE=\"Alpha\" SIZE=15 MAXLENGTH=150 >"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<TEXTAREA NAME=\"B\" ROWS=5 COLS=50>\n"), std::string::npos) << page;
    EXPECT_NE(page.find(" <OPTION SELECTED>Open\n<OPTION>Closed\n<OPTION>Escalated\n"), std::string::npos)
        << page;
    EXPECT_NE(page.find("<!-- BEDIT P -->"), std::string::npos) << page;
    EXPECT_EQ(page.find("NAME=\"ID\""), std::string::npos) << page; // never edited
    EXPECT_NE(page.find("<SELECT NAME=\"DEL\">"), std::string::npos) << page;

    // Another user's form of the same element waits for the lock and is refused, naming the holder.
    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(other_user(MOLK_ELEMENT_TAKE, 2), 0);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, 4.0);

    Form form{{"T", "Alpha <b>&\"x\""},
              {"B", "line1\r\nline2\r\n"},
              {"S", "Closed"},
              {"P", "5"},
              {"O", "3, 4"},
              {"ID", "99"},
              {"NEW", "7"},
              {"OK.x", "4"}};
    std::string answer;
    ASSERT_EQ(commit(main, 2, form, &answer), 0) << err;
    EXPECT_NE(answer.find("<TITLE>Reload</TITLE>"), std::string::npos) << answer;
    EXPECT_NE(answer.find("window.opener.location.reload();"), std::string::npos) << answer;
    std::string file = data();
    EXPECT_NE(file.find("T Alpha <b>&\"x\"\n"), std::string::npos) << file;
    EXPECT_NE(file.find("S 2\n"), std::string::npos) << file;
    EXPECT_NE(file.find("P 5\n"), std::string::npos) << file;
    // Posted ID and NEW are not columns the user edits: the element keeps its id.
    EXPECT_EQ(file.find("ID 99"), std::string::npos) << file;
    std::vector<TNOTE_T> all = notes();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, 2);
    EXPECT_EQ(all[0].new_, 0);
    std::string h = history(2);
    EXPECT_NE(h.find("OP 1\n"), std::string::npos) << h;
    EXPECT_NE(h.find("Title Changed from (Alpha) to (Alpha <b>&\"x\")"), std::string::npos) << h;
    EXPECT_NE(h.find("\\nPriority Changed\\n"), std::string::npos) << h; // the brief kind
    EXPECT_NE(h.find("Status Changed from (Open) to (Closed)"), std::string::npos) << h;
    EXPECT_EQ(h.find("Title Changed", h.find("Title Changed") + 1), std::string::npos) << h;

    // The commit gave the element lock back: another user can take it now.
    EXPECT_EQ(other_user(MOLK_ELEMENT_TAKE, 2), 0);
    EXPECT_EQ(other_user(MOLK_ELEMENT_RELEASE_ALL), 0);

    // Sending the same form again: a clear message, and nothing written.
    Form again{{"T", "Changed again"}, {"OK.x", "4"}};
    EXPECT_NE(commit(main, 2, again), 0);
    EXPECT_NE(err.find("You do not hold the lock of element 2 of tnote"), std::string::npos) << err;
    EXPECT_EQ(data(), file);
    EXPECT_EQ(history(2), h);

    // A form committed without a change records nothing.
    ASSERT_EQ(edit_form(2, &page), 0) << err;
    Form same{{"T", "Alpha <b>&\"x\""}, {"B", "line1\nline2\n"}, {"S", "Closed"}, {"P", "5"}, {"O", "3, 4"}};
    ASSERT_EQ(commit(main, 2, same), 0) << err;
    EXPECT_EQ(history(2), h);
}

TEST_F(ListEdit, RefusedValuesWriteNothingKeepTheLockAndLeaveNoWriteLockOrStaleCache) {
    add({"Alpha"});
    std::string page;
    ASSERT_EQ(edit_form(2, &page), 0) << err;
    std::string file = data();
    std::string created = history(2);
    struct Case {
        std::string field, value, message;
    };
    std::vector<Case> cases = {
        {"P", "12abc", "The Priority (12abc) is not a number, go back and enter one."},
        {"P", "99999999999", "The Priority (99999999999) is not a number"},
        {"T", "one\r\ntwo", "The Title may not contain line breaks, go back and remove them."},
        {"T", std::string(151, 'x'), "The Title is longer than 150 characters, go back and shorten it."},
        {"O", "3, x", "x is not a number for Owners"},
        {"B", std::string(1100, 'y'), "Line too long for multi line input"},
    };
    for (const Case &c : cases) {
        // A good field before the bad one: its change must not survive either.
        Form form{{"S", "Escalated"}, {c.field, c.value}};
        EXPECT_NE(commit(main, 2, form), 0) << c.field;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.field << ": " << err;
        EXPECT_EQ(data(), file) << c.field;
        EXPECT_EQ(history(2), created) << c.field;
        std::vector<TNOTE_T> all = notes();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].status, 1) << c.field;
        EXPECT_STREQ(all[0].title, "Alpha");
    }
    // The process holds no write lock of its own (taking it again does not meet its own lock), and
    // the form's element lock is still there to correct the form and send it again.
    ASSERT_EQ(p->init(main), 0);
    EXPECT_EQ(main->lock_file(main, MOLK_FILE_WRITE, nullptr), 0);
    EXPECT_EQ(main->lock_file(main, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
    p->end_request();
    Form good{{"S", "Escalated"}, {"P", "-3"}};
    ASSERT_EQ(commit(main, 2, good), 0) << err;
    std::vector<TNOTE_T> all = notes();
    EXPECT_EQ(all[0].status, 9);
    EXPECT_EQ(all[0].priority, -3);

    // An option text that is not one of the choices keeps the value, with a note.
    ASSERT_EQ(edit_form(2, &page), 0) << err;
    Form unknown{{"S", "Reopened"}};
    ASSERT_EQ(commit(main, 2, unknown), 0) << err;
    EXPECT_NE(err.find("Option string Reopened not recognised for keyword S"), std::string::npos) << err;
    EXPECT_EQ(notes()[0].status, 9);
}

TEST_F(ListEdit, CommitsNeedAnEditableRowAndTheListsEditAccess) {
    add({"Alpha", "Beta"});
    std::vector<std::string> words = {"ID", "2"};
    std::vector<MOT_TOP_ARG_LIST_T> nodes;
    MOT_TOP_ARG_LIST_T *list = args(words, nodes);
    auto access = [&](MOT_TOP_ARG_LIST_T *a) {
        mo_boolean_t ok = TRUE;
        int ret = request(main, [&](MOT_TOP_STYPE_T *s, MOOU_OUT_DEF_T *) {
            return mowsl_edit_access(s, nullptr, a, &ok, nullptr);
        });
        return ret == 0 ? static_cast<int>(ok) : -1;
    };
    EXPECT_EQ(access(list), 1);
    EXPECT_EQ(access(nullptr), 1);
    // A normal user may not edit an administrators' list, whatever the row filter says.
    p->access.privilege[7] = MOTSL_PRIV_NORMAL;
    EXPECT_EQ(access(list), 0);
    p->access.privilege[7] = MOTSL_PRIV_ADMIN;
    // Forged arguments: another column, or an id that is no number.
    std::vector<std::string> by_title = {"T", "Alpha"};
    EXPECT_EQ(access(args(by_title, nodes)), -1);
    EXPECT_NE(err.find("Elements of tnote are edited by their ID, not by T"), std::string::npos) << err;
    for (std::string bad : {"0", "-2", "2x", "02", "../2"}) {
        std::vector<std::string> w = {"ID", bad};
        EXPECT_EQ(access(args(w, nodes)), -1) << bad;
        EXPECT_NE(err.find("Can't find ID number " + bad + " in tnote records"), std::string::npos) << err;
    }
    std::vector<std::string> missing = {"ID", "77"};
    EXPECT_EQ(access(args(missing, nodes)), 0);
    // A deleted element is edited through the deleted list only.
    Form del{{"DELETE_ALL", "delete"}, {"PICKER_CHECK", "3"}};
    ASSERT_EQ(picker(main, del), 0) << err;
    std::vector<std::string> three = {"ID", "3"};
    EXPECT_EQ(access(args(three, nodes)), 0);
    std::string page;
    EXPECT_NE(edit_form(3, &page), 0);
    EXPECT_NE(err.find("Can't find ID number 3 in tnote records"), std::string::npos) << err;
}

TEST_F(ListEdit, NewElementsAreHiddenShellsUntilCommittedAndCancelKeepsTheirId) {
    add({"Alpha"});
    std::string page;
    ASSERT_EQ(request(
                  main,
                  [](MOT_TOP_STYPE_T *s, MOOU_OUT_DEF_T *o) {
                      return mowsl_new_service(s, o, nullptr, nullptr, nullptr);
                  },
                  &page),
              0)
        << err;
    EXPECT_NE(page.find("<B><FONT COLOR=white>New</FONT></B>"), std::string::npos) << page;
    EXPECT_NE(page.find("edit_end&amp;ID&amp;3\""), std::string::npos) << page;
    std::vector<TNOTE_T> all = notes();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].id, 3);
    EXPECT_EQ(all[1].new_, 7);

    // Cancelled: the lock goes, the shell stays hidden, and the next "new" takes it up again.
    Form cancel{{"Cancel.x", "3"}, {"Cancel.y", "5"}, {"T", "Ignored"}};
    ASSERT_EQ(commit(main, 3, cancel), 0) << err;
    EXPECT_EQ(other_user(MOLK_ELEMENT_TAKE, 3), 0);
    EXPECT_EQ(other_user(MOLK_ELEMENT_RELEASE_ALL), 0);
    all = notes();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_STRNE(all[1].title, "Ignored");
    ASSERT_EQ(request(
                  main,
                  [](MOT_TOP_STYPE_T *s, MOOU_OUT_DEF_T *o) {
                      return mowsl_new_service(s, o, nullptr, nullptr, nullptr);
                  },
                  &page),
              0)
        << err;
    all = notes();
    ASSERT_EQ(all.size(), 2u) << data();
    EXPECT_EQ(mot_test::count_of(data(), "ID 3\n"), 1u);

    // Another user's creation is not this user's: it gets its own shell, and may not edit this one.
    p->access.current = 9;
    p->access.privilege[9] = MOTSL_PRIV_ADMIN;
    std::vector<std::string> words = {"ID", "3"};
    std::vector<MOT_TOP_ARG_LIST_T> nodes;
    mo_boolean_t ok = TRUE;
    request(main, [&](MOT_TOP_STYPE_T *s, MOOU_OUT_DEF_T *) {
        return mowsl_edit_access(s, nullptr, args(words, nodes), &ok, nullptr);
    });
    EXPECT_FALSE(ok);
    int id9 = 0;
    ASSERT_EQ(request(main, [&](MOT_TOP_STYPE_T *s,
                                MOOU_OUT_DEF_T *) { return mowsl_create_new_shell(s, TRUE, &id9); }),
              0)
        << err;
    EXPECT_EQ(id9, 4);
    p->access.current = 7;

    // Committed with nothing typed: created, visible, and recorded as such.
    ASSERT_EQ(edit_form(3, &page), 0) << err;
    Form nothing{{"OK.x", "1"}};
    ASSERT_EQ(commit(main, 3, nothing), 0) << err;
    all = notes();
    EXPECT_EQ(all[1].new_, 0);
    EXPECT_EQ(all[2].new_, 9);
    std::string h = history(3);
    EXPECT_NE(h.find("OP 0\n"), std::string::npos) << h;
    EXPECT_EQ(mot_test::count_of(h, "------"), 0u) << h;

    // Shells made for tools are committed at once and never reused.
    int direct = 0;
    ASSERT_EQ(request(main, [&](MOT_TOP_STYPE_T *s,
                                MOOU_OUT_DEF_T *) { return mowsl_create_new_shell(s, FALSE, &direct); }),
              0)
        << err;
    EXPECT_EQ(direct, 5);
    EXPECT_EQ(notes().back().new_, 0);
}

TEST_F(ListEdit, DeleteAndUndeleteTouchOnlyTheirRowsAndAFailingRowWritesNothing) {
    add({"Alpha", "Beta", "Gamma"});
    std::string file = data();
    std::string created = history(2);
    ASSERT_EQ(other_user(MOLK_ELEMENT_TAKE, 3), 0);
    Form both{{"DELETE_ALL", "delete"}, {"PICKER_CHECK", "2"}, {"PICKER_CHECK", "3"}};
    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(picker(main, both), 0);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, 4.0);
    EXPECT_NE(err.find("is already locked by 4242_process on testhost"), std::string::npos) << err;
    EXPECT_NE(err.find("Can't edit the ID 3. Possibly locked by someone else."), std::string::npos) << err;
    EXPECT_EQ(err.find("Can't edit the ID 2"), std::string::npos) << err;
    EXPECT_EQ(data(), file);
    EXPECT_EQ(history(2), created);
    for (const TNOTE_T &n : notes())
        EXPECT_EQ(n.delete_status, 0);
    ASSERT_EQ(other_user(MOLK_ELEMENT_RELEASE_ALL), 0);

    // Forged ids are reported and stop the change, and so does a row of the other list.
    Form forged{
        {"DELETE_ALL", "delete"}, {"PICKER_CHECK", "2"}, {"PICKER_CHECK", "abc"}, {"PICKER_CHECK", "999"}};
    EXPECT_NE(picker(main, forged), 0);
    EXPECT_NE(err.find("Can't find ID number abc in tnote records"), std::string::npos) << err;
    EXPECT_NE(err.find("Can't find ID number 999 in tnote records"), std::string::npos) << err;
    EXPECT_EQ(data(), file);

    ASSERT_EQ(picker(main, both), 0) << err;
    std::vector<TNOTE_T> all = notes();
    EXPECT_EQ(all[0].delete_status, 1);
    EXPECT_EQ(all[1].delete_status, 1);
    EXPECT_EQ(all[2].delete_status, 0);
    EXPECT_NE(history(2).find("OP 2\n"), std::string::npos);
    EXPECT_NE(history(3).find("OP 2\n"), std::string::npos);

    // The main list never undeletes, and the deleted list never deletes.
    file = data();
    Form undelete_main{{"DELETE_ALL", "undelete"}, {"PICKER_CHECK", "2"}};
    EXPECT_NE(picker(main, undelete_main), 0);
    EXPECT_NE(err.find("The entries of tnote can't be undeleted here"), std::string::npos) << err;
    Form delete_deleted{{"DELETE_ALL", "delete"}, {"PICKER_CHECK", "4"}};
    EXPECT_NE(picker(deleted, delete_deleted), 0);
    EXPECT_NE(err.find("The entries of tnote_deleted can't be deleted here"), std::string::npos) << err;
    EXPECT_EQ(data(), file);

    Form undelete{{"DELETE_ALL", "undelete"}, {"PICKER_CHECK", "3"}};
    ASSERT_EQ(picker(deleted, undelete), 0) << err;
    all = notes();
    EXPECT_EQ(all[1].delete_status, 0);
    EXPECT_NE(history(3).find("OP 3\n"), std::string::npos);
    // Any other word does nothing: the picker is left to the others (none acts).
    Form other{{"DELETE_ALL", "purge"}, {"PICKER_CHECK", "2"}};
    EXPECT_NE(picker(deleted, other), 0);
    EXPECT_NE(err.find("No picker service was performed"), std::string::npos) << err;
}

} // namespace

namespace {

TEST_F(ListEdit, ANewElementStartsFromTheTemplatesFirstElementButKeepsItsOwnId) {
    add({"Template title", "Other"});
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(main->type_storage_ref);
    // The deleted list shares the columns and the file: its first element serves as the template.
    ts->template_stype_name = "tnote_deleted";
    ts->new_copy_template = mowsl_web_copy_template;
    int id = 0;
    ASSERT_EQ(request(main, [&](MOT_TOP_STYPE_T *s,
                                MOOU_OUT_DEF_T *) { return mowsl_create_new_shell(s, TRUE, &id); }),
              0)
        << err;
    EXPECT_EQ(id, 4);
    std::vector<TNOTE_T> all = notes();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].id, 4);
    EXPECT_STREQ(all[2].title, "Template title");
    EXPECT_EQ(all[2].new_, 7);
    EXPECT_EQ(all[2].delete_status, 0);
    // A template list with other columns is refused, and nothing is made.
    ts->template_stype_name = "tnote_history";
    p->access.current = 9;
    p->access.privilege[9] = MOTSL_PRIV_ADMIN;
    EXPECT_NE(request(main, [&](MOT_TOP_STYPE_T *s,
                                MOOU_OUT_DEF_T *) { return mowsl_create_new_shell(s, TRUE, &id); }),
              0);
    EXPECT_NE(err.find("The template list tnote_history does not share the columns of tnote"),
              std::string::npos)
        << err;
    EXPECT_EQ(notes().size(), 3u);
    ts->template_stype_name = nullptr;
    ts->new_copy_template = nullptr;
}

} // namespace
