// What a list shows a user: the option record and its binding, the row pipeline (view access,
// filters, match, sort), filter choices, titles, and the history entries of changes.
#include "list_fixture.h"

#include <gtest/gtest.h>

#include <cstdarg>

using namespace tl;

namespace {

// An output definition that collects what is written.
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
    char buf[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    static_cast<Out *>(o->out_ref)->text += buf;
    return 0;
}

struct ListView : ::testing::Test {
    mot_test::TempDir home;
    std::unique_ptr<Daemon> daemon;
    std::unique_ptr<Proc> p;
    MOT_TOP_STYPE_T *main = nullptr;

    void SetUp() override {
        daemon = std::make_unique<Daemon>(home.path);
        p = std::make_unique<Proc>(home.path);
        ASSERT_TRUE(p->connect(daemon->port));
        p->access.current = 7;
        main = p->stype("tnote");
    }

    // Adds notes with the given titles, statuses and priorities in one request.
    void add(const std::vector<std::tuple<std::string, int, int>> &notes) {
        ASSERT_EQ(p->init(main), 0);
        ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE, nullptr), 0);
        for (const auto &[title, status, priority] : notes) {
            MOK_DATA_RECORD_T *rec = nullptr;
            ASSERT_EQ(motsl_stdlist_append_new(main, &rec), 0);
            auto *n = static_cast<TNOTE_T *>(rec->container);
            n->title = strdup(title.c_str());
            n->status = status;
            n->priority = priority;
        }
        ASSERT_EQ(main->write_data(main), 0);
        ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
        p->end_request();
    }

    // Changes the current user's options the way an option command does, under the file's lock.
    void set_options(const std::function<void(MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *)> &change) {
        ASSERT_EQ(p->init(main), 0);
        MOT_TOP_STYPE_T *opt = p->stype("tnote_useropt");
        ASSERT_EQ(opt->lock_file(opt, MOLK_FILE_WRITE, nullptr), 0);
        MOK_DATA_RECORD_T *first = nullptr;
        ASSERT_EQ(opt->read_data(opt, &first), 0);
        auto *list = static_cast<MOTSL_USEROPT_LIST_T *>(first->container);
        change(list, reinterpret_cast<MOTSL_USEROPT_COL_T *>(list + 1));
        ASSERT_EQ(opt->write_data(opt), 0);
        ASSERT_EQ(opt->lock_file(opt, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
        p->end_request();
    }

    // The list page's rows: init-web, read, flags, order, filters, then the pipeline.
    std::vector<std::string> page(std::string *err = nullptr, int *ret_out = nullptr) {
        MOT_TOP_STYPE_T *s = main;
        int ret = motsl_set_position(s, 0, 0, 0);
        std::string e = mot_test::capture_stderr([&] {
            if (ret == 0)
                ret = s->init_web(p->req, &s);
            MOK_DATA_RECORD_T *first = nullptr, *rows = nullptr, *filtered = nullptr, *sorted = nullptr;
            MOTSL_STDLIST_ORDER_T *order = nullptr;
            if (ret == 0)
                ret = s->read_data(s, &first);
            if (ret == 0)
                ret = s->init_data(s, first);
            if (ret == 0)
                ret = motsl_stdlist_get_order(s, &order);
            if (ret == 0)
                ret = motsl_set_filter_to_useropt(s, order);
            if (ret == 0)
                ret = mowsl_list_filter_view_access(s, first, &rows);
            if (ret == 0)
                ret = mowsl_list_filter_data(s, order, rows, &filtered);
            if (ret == 0)
                ret = mowsl_list_sort_data(s, order, filtered, &sorted);
            if (ret == 0)
                rows = sorted;
            titles = ret == 0 ? titles_of(rows) : std::vector<std::string>{};
        });
        if (err != nullptr)
            *err = e;
        if (ret_out != nullptr)
            *ret_out = ret;
        p->end_request();
        return titles;
    }
    std::vector<std::string> titles;
};

// Column blocks in the option record follow the declaration: ID NEW DEL EDIT T B S P O.
enum { cID, cNEW, cDEL, cEDIT, cT, cB, cS, cP, cO };

TEST_F(ListView, OptionsDefaultsBindingClampsAndFiles) {
    add({{"one", 1, 0}});
    MOT_TOP_STYPE_T *s = main;
    ASSERT_EQ(motsl_set_position(s, 0, 0, 0), 0);
    ASSERT_EQ(s->init_web(p->req, &s), 0);
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(s->type_storage_ref);
    ASSERT_NE(ts->lines_per_page, nullptr);
    EXPECT_EQ(*ts->lines_per_page, 20);
    EXPECT_EQ(*ts->page_no, 1);
    EXPECT_EQ(*ts->adv_columns_en, 0);
    EXPECT_EQ(*ts->dir_expand_list, nullptr);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(s->read_data(s, &first), 0);
    ASSERT_EQ(s->init_data(s, first), 0);
    // Shown: viewable, displayed, not advanced (unless expanded), not hidden.
    std::vector<std::string> shown;
    MOTSL_STDLIST_ORDER_T *order = nullptr;
    ASSERT_EQ(motsl_stdlist_get_order(s, &order), 0);
    for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
        EXPECT_EQ(*o->stdlist->useropt_ref->order, o->stdlist->index)
            << "the order option follows the declaration";
        if (o->stdlist->access_type->view_access_col && motsl_column_shown(s, o->stdlist))
            shown.push_back(o->stdlist->common->gen_keyword.keyword);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"EDIT", "T", "S", "P", "O"}));
    EXPECT_FALSE(file_exists(home.path + "/user_defaults/tnote_useropt/7")) << "defaults need no file";
    p->end_request();

    // Nothing stays bound after the request: the option record was the request's.
    EXPECT_EQ(ts->lines_per_page, nullptr);
    MOTSL_STDLIST_KEYWORD_T *t = nullptr;
    ASSERT_EQ(motsl_find_column(s, "T", &t), 0);
    EXPECT_EQ(t->useropt_ref->sort, nullptr);
    EXPECT_EQ(p->stype("tnote_useropt")->data_storage_list_ptr, nullptr);
    MOK_DATA_RECORD_T *rows = first;
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(mowsl_list_sort_data(s, order, rows, &rows), 1); });
    EXPECT_NE(err.find("data_storage not initialised in motsl_stdlist_useropt_init_data of stype tnote"),
              std::string::npos)
        << err;

    // Changed options are kept in the user's file; page options from links are clamped.
    set_options([](MOTSL_USEROPT_LIST_T *l, MOTSL_USEROPT_COL_T *c) {
        l->page_no = -5;
        l->page_lines = -3;
        l->adv_col_en = 1;
        c[cT].display = 0;
    });
    std::string text = read_file(home.path + "/user_defaults/tnote_useropt/7");
    EXPECT_NE(text.find("DIST 0\nSORTT 1\nORDERT -1\nFILT [All]\nMATCHT \n"), std::string::npos) << text;
    EXPECT_NE(text.find("PAGE_NO -5\nPAGE_LINES -3\nADV_COL_EN 1\nDLIST \n"), std::string::npos) << text;
    ASSERT_EQ(motsl_set_position(s, 0, 0, 0), 0);
    ASSERT_EQ(s->init_web(p->req, &s), 0);
    EXPECT_EQ(*ts->page_no, 1);
    EXPECT_EQ(*ts->lines_per_page, 0);
    ASSERT_EQ(s->read_data(s, &first), 0);
    ASSERT_EQ(s->init_data(s, first), 0);
    MOTSL_STDLIST_KEYWORD_T *b = nullptr;
    ASSERT_EQ(motsl_find_column(s, "B", &b), 0);
    EXPECT_FALSE(motsl_column_shown(s, t));
    EXPECT_TRUE(motsl_column_shown(s, b)) << "advanced columns expanded";
    p->end_request();
}

TEST_F(ListView, SortFilterAndMatch) {
    add({{"b", 1, 3}, {"", 2, 1}, {"a", 9, 3}, {"B", 1, 2}, {"aab", 2, 3}, {"ABC", 1, 0}, {"abc", 2, 5}});
    // Without options: sorted by the title, ascending, byte order.
    EXPECT_EQ(page(), (std::vector<std::string>{"", "ABC", "B", "a", "aab", "abc", "b"}));
    // Descending; another column's sort; equal values keep the file order.
    set_options([](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[cT].sort = 2; });
    EXPECT_EQ(page(), (std::vector<std::string>{"b", "abc", "aab", "a", "B", "ABC", ""}));
    set_options([](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) {
        c[cT].sort = 0;
        c[cP].sort = 1;
    });
    EXPECT_EQ(page(), (std::vector<std::string>{"ABC", "", "B", "b", "a", "aab", "abc"}));
    // The last sorting column in display order wins.
    set_options([](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[cT].sort = 1; });
    EXPECT_EQ(page(), (std::vector<std::string>{"ABC", "", "B", "b", "a", "aab", "abc"}));
    // A column that is not shown does not sort.
    set_options([](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[cP].display = 0; });
    EXPECT_EQ(page(), (std::vector<std::string>{"", "ABC", "B", "a", "aab", "abc", "b"}));
    // A damaged sort option fails the page.
    set_options([](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[cS].sort = 7; });
    std::string err;
    int ret = 0;
    page(&err, &ret);
    EXPECT_EQ(ret, 1);
    EXPECT_NE(err.find("Sort type not recognised\n"), std::string::npos) << err;
    set_options([](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[cS].sort = 0; });

    // Filters: a string column ignores case; "[Empty]" keeps the empty; an option compares names.
    auto filter = [&](int col, const char *value) {
        set_options([&](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[col].filter = strdup(value); });
        std::vector<std::string> got = page();
        set_options([&](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[col].filter = strdup("[All]"); });
        return got;
    };
    EXPECT_EQ(filter(cT, "abc"), (std::vector<std::string>{"ABC", "abc"}));
    EXPECT_EQ(filter(cT, "[Empty]"), (std::vector<std::string>{""}));
    EXPECT_EQ(filter(cS, "Closed"), (std::vector<std::string>{"", "aab", "abc"}));
    EXPECT_EQ(filter(cS, "closed"), (std::vector<std::string>{}));
    EXPECT_EQ(filter(cS, "[Empty]"), (std::vector<std::string>{})) << "an option always shows a name";
    // Priority has no filter selector: its value is ignored.
    EXPECT_EQ(filter(cP, "3"), (std::vector<std::string>{"", "ABC", "B", "a", "aab", "abc", "b"}));

    // Match: a case-free substring, also where a partial match went before ("ab" in "aab").
    auto match = [&](int col, const char *value) {
        set_options([&](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[col].match = strdup(value); });
        std::vector<std::string> got = page();
        set_options([&](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) { c[col].match = strdup(""); });
        return got;
    };
    EXPECT_EQ(match(cT, "AB"), (std::vector<std::string>{"ABC", "aab", "abc"}));
    EXPECT_EQ(match(cT, "aab"), (std::vector<std::string>{"aab"}));
    EXPECT_EQ(match(cT, "zz"), (std::vector<std::string>{}));
    // Filter and match together.
    set_options([](MOTSL_USEROPT_LIST_T *, MOTSL_USEROPT_COL_T *c) {
        c[cT].match = strdup("b");
        c[cS].filter = strdup("Open");
    });
    EXPECT_EQ(page(), (std::vector<std::string>{"ABC", "B", "b"}));
}

TEST(ListViewUnits, MatchAndMergeSortOrder) {
    EXPECT_TRUE(motsl_match_nocase("aab", "ab"));
    EXPECT_TRUE(motsl_match_nocase("xAaBy", "aab"));
    EXPECT_TRUE(motsl_match_nocase("anything", ""));
    EXPECT_TRUE(motsl_match_nocase("abab", "bab"));
    EXPECT_FALSE(motsl_match_nocase("ab", "abc"));
    EXPECT_FALSE(motsl_match_nocase("", "a"));
    EXPECT_FALSE(motsl_match_nocase("\xc4\x80", "\xc4\xa0")) << "only A to Z fold";

    // Records keyed by an integer: the merge keeps equal keys in their order, both directions.
    mot_test::TempDir home;
    Proc p(home.path);
    MOT_TOP_STYPE_T *s = p.stype("tnote");
    MOTSL_STDLIST_KEYWORD_T *col = nullptr;
    ASSERT_EQ(motsl_find_column(s, "P", &col), 0);
    std::vector<TNOTE_T> notes(9);
    std::vector<MOK_DATA_RECORD_T> cells(9);
    const int keys[] = {1, 0, 1, 0, 2, 1, 0, 2, 1};
    auto chain = [&] {
        for (int i = 0; i < 9; i++) {
            notes[i] = TNOTE_T{};
            notes[i].id = i + 1;
            notes[i].priority = keys[i];
            cells[i].container = &notes[i];
            cells[i].next = i + 1 < 9 ? &cells[i + 1] : nullptr;
        }
        return &cells[0];
    };
    EXPECT_EQ(ids_of(motsl_record_sort(s, chain(), -1, col)), (std::vector<int>{2, 4, 7, 1, 3, 6, 9, 5, 8}));
    EXPECT_EQ(ids_of(motsl_record_sort(s, chain(), 1, col)), (std::vector<int>{5, 8, 1, 3, 6, 9, 2, 4, 7}));
    EXPECT_EQ(motsl_record_sort(s, nullptr, -1, col), nullptr);
    MOK_DATA_RECORD_T *one = chain();
    one->next = nullptr;
    EXPECT_EQ(ids_of(motsl_record_sort(s, one, -1, col)), (std::vector<int>{1}));
}

TEST_F(ListView, FilterChoicesAndTitles) {
    add({{"b", 1, 0}, {"", 1, 0}, {"a", 1, 0}, {"B", 2, 0}});
    ASSERT_EQ(p->init(main), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(main->read_data(main, &first), 0);
    MOTSL_STDLIST_KEYWORD_T *t = nullptr, *st = nullptr;
    ASSERT_EQ(motsl_find_column(main, "T", &t), 0);
    ASSERT_EQ(motsl_find_column(main, "S", &st), 0);
    auto choices = [&](MOTSL_STDLIST_KEYWORD_T *c) {
        MOTSL_FILTER_LIST_T *list = nullptr;
        std::vector<std::string> out;
        EXPECT_EQ(motsl_get_extra_filter_list(main, c, first, &list), 0);
        for (MOTSL_FILTER_LIST_T *e = list; e != nullptr; e = e->next)
            out.push_back(e->string);
        motsl_free_filter_list(p->aux, list);
        return out;
    };
    EXPECT_EQ(choices(t), (std::vector<std::string>{"[All]", "[Empty]", "a", "b"}));
    EXPECT_EQ(choices(st), (std::vector<std::string>{"[All]", "Open", "Closed"}));

    // Titles: item names and element texts are escaped; "Edit of " on edit pages.
    p->tree.items[5] = FakeItem{};
    p->tree.items[5].name = "R&D <script>alert(1)</script>";
    p->tree.items[5].graphic = "x\" onerror=\"y.gif";
    ASSERT_EQ(motsl_set_position(main, 0, 5, 0), 0);
    Out out;
    ASSERT_EQ(main->insert_title(main, &out.def, 0, 4, nullptr), 0);
    EXPECT_EQ(out.text, "<IMG  BORDER=0 SRC=\"/mo_images/x&quot; onerror=&quot;y.gif\" ALT=\"\">\n"
                        " <B><FONT COLOR=WHITE>R&amp;D &lt;script&gt;alert(1)&lt;/script&gt;</FONT></B>");
    auto *n = static_cast<TNOTE_T *>(first->container);
    n->title = strdup("<b>bold</b>");
    out.text.clear();
    ASSERT_EQ(main->insert_title(main, &out.def, 0, 2, n), 0);
    EXPECT_NE(out.text.find(" <B><FONT COLOR=WHITE>Edit of &lt;b&gt;bold&lt;/b&gt;</FONT></B>"),
              std::string::npos)
        << out.text;
    MOT_TOP_STYPE_T *del = p->stype("tnote_deleted"), *hist = p->stype("tnote_history");
    ASSERT_EQ(motsl_set_position(del, 0, 5, 0), 0);
    ASSERT_EQ(motsl_set_position(hist, 0, 5, 0), 0);
    out.text.clear();
    ASSERT_EQ(del->insert_title(del, &out.def, 0, 4, nullptr), 0);
    ASSERT_EQ(hist->insert_title(hist, &out.def, 0, 4, nullptr), 0);
    EXPECT_NE(out.text.find(">Deleted Entries of R&amp;D"), std::string::npos);
    EXPECT_NE(out.text.find(">History of R&amp;D"), std::string::npos);
    // Without a current item the list's own description names it.
    ASSERT_EQ(motsl_set_position(main, 0, 0, 0), 0);
    out.text.clear();
    ASSERT_EQ(main->insert_title(main, &out.def, 0, 4, nullptr), 0);
    EXPECT_EQ(out.text, " <B><FONT COLOR=WHITE>Active Tnote Entries</FONT></B>");
}

TEST_F(ListView, HistoryEntriesAndChangeLines) {
    add({{"Old", 1, 0}});
    ASSERT_EQ(p->init(main), 0);
    MOK_DATA_RECORD_T *first = nullptr, *copy = nullptr;
    ASSERT_EQ(main->read_data(main, &first), 0);
    ASSERT_EQ(main->init_data(main, first), 0);
    ASSERT_EQ(main->new_data(main, &copy), 0);
    auto *old_note = static_cast<TNOTE_T *>(first->container);
    auto *new_note = static_cast<TNOTE_T *>(copy->container);
    *new_note = *old_note;
    new_note->title = strdup("New");
    new_note->priority = 4;
    new_note->status = 2;
    MOK_MULTI_LINE_T *body = nullptr;
    mok_add_multi_line(p->aux, nullptr, "first line", &body);
    mok_add_multi_line(p->aux, nullptr, "second\rline", &body);
    new_note->body = body;
    MOK_MULTI_LINE_T *details = nullptr;
    ASSERT_EQ(motsl_history_create_details(main, &details, old_note, new_note), 0);
    std::vector<std::string> lines;
    for (MOK_MULTI_LINE_T *l = details; l != nullptr; l = l->next)
        lines.push_back(l->string);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Title Changed from (Old) to (New)",
                                        "Body Changed from () to (first line second line)",
                                        "Status Changed from (Open) to (Closed)", "Priority Changed"}));
    // Long values are cut at 60 characters.
    new_note->title = strdup(std::string(70, 'x').c_str());
    new_note->body = old_note->body;
    new_note->status = old_note->status;
    new_note->priority = old_note->priority;
    ASSERT_EQ(motsl_history_create_details(main, &details, old_note, new_note), 0);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(std::string(details->string), "Title Changed from (Old) to (" + std::string(60, 'x') + "...)");
    EXPECT_EQ(details->next, nullptr);
    // No change, no line.
    ASSERT_EQ(motsl_history_create_details(main, &details, old_note, old_note), 0);
    EXPECT_EQ(details, nullptr);

    // Change lines of a multi-line field go into the history file like any other.
    mok_add_multi_line(p->aux, nullptr, "Body Changed from () to (first line second line)", &details);
    ASSERT_EQ(motsl_add_history(main, MOTSL_OP_MODIFIED, old_note, details), 0);
    // The user's log option: "All Except Copy" leaves out views only; "Log Nothing" everything.
    p->access.log_option[7] = MOTSL_LOG_ALL_EXCEPT_COPY;
    ASSERT_EQ(motsl_add_history(main, MOTSL_OP_VIEW, old_note, nullptr), 0);
    ASSERT_EQ(motsl_add_history(main, MOTSL_OP_CHECK_OUT, old_note, nullptr), 0);
    p->access.log_option[7] = MOTSL_LOG_NOTHING;
    ASSERT_EQ(motsl_add_history(main, MOTSL_OP_DELETED, old_note, nullptr), 0);
    p->access.log_option[7] = MOTSL_LOG_ALL;
    ASSERT_EQ(motsl_add_history(main, MOTSL_OP_VIEW, old_note, nullptr), 0);
    p->end_request();

    std::string h = read_file(home.path + "/lib/tnote/history/2");
    std::vector<std::string> ops;
    for (size_t pos = 0; (pos = h.find("\nOP ", pos)) != std::string::npos; pos++)
        ops.push_back(h.substr(pos + 4, 1));
    EXPECT_EQ(ops, (std::vector<std::string>{"1", "5", "6"})) << h;
    EXPECT_NE(h.find("ID 1\nFID 2\nOP 1\nU 7\n"), std::string::npos) << h;
    EXPECT_NE(h.find("C Body Changed from () to (first line second line)\\n\n"), std::string::npos) << h;
    EXPECT_NE(h.find("ID 3\nFID 2\nOP 6\n"), std::string::npos);

    // Has the user done it: by user and operation.
    ASSERT_EQ(p->init(main), 0);
    ASSERT_EQ(main->read_data(main, &first), 0);
    mo_boolean_t found = FALSE;
    ASSERT_EQ(motsl_history_find_op_by_user(main, first->container, MOTSL_OP_CHECK_OUT, 7, &found), 0);
    EXPECT_TRUE(found);
    ASSERT_EQ(motsl_history_find_op_by_user(main, first->container, MOTSL_OP_CHECK_OUT, 8, &found), 0);
    EXPECT_FALSE(found);
    ASSERT_EQ(motsl_history_find_op_by_user(main, first->container, MOTSL_OP_DELETED, 7, &found), 0);
    EXPECT_FALSE(found);
    p->end_request();
}

TEST_F(ListView, HistoryPageOnlyForElementsTheUserMaySee) {
    add({{"mine", 1, 0}, {"gone", 1, 0}});
    // Element 3 is deleted: it is seen through the deleted list.
    ASSERT_EQ(p->init(main), 0);
    ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE, nullptr), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(main->read_data(main, &first), 0);
    static_cast<TNOTE_T *>(first->next->container)->delete_status = 1;
    // Element 4 is another user's unfinished creation: nobody else sees it.
    MOK_DATA_RECORD_T *hidden = nullptr;
    ASSERT_EQ(motsl_stdlist_append_new(main, &hidden), 0);
    static_cast<TNOTE_T *>(hidden->container)->new_ = 99;
    ASSERT_EQ(main->write_data(main), 0);
    ASSERT_EQ(main->lock_file(main, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
    p->end_request();
    MOT_TOP_STYPE_T *hist = p->stype("tnote_history");
    auto open = [&](const char *element, std::string *err) {
        MOT_TOP_ARG_LIST_T *args = nullptr;
        for (const char *a : {"0", "0", "0", "tnote_history", element})
            mot_add_arg(p->aux, a, &args);
        p->req->arg_list = args;
        p->req->arg_list_ptr = &p->req->arg_list;
        MOT_TOP_STYPE_T *s = hist;
        int ret = 0;
        *err = mot_test::capture_stderr([&] {
            ret = s->init_stype(&s, TRUE, p->req->arg_list_ptr);
            if (ret == 0)
                ret = s->init_web(p->req, &s);
        });
        p->end_request();
        return ret;
    };
    std::string err;
    EXPECT_EQ(open("2", &err), 0) << err;
    EXPECT_EQ(open("3", &err), 0) << err;
    EXPECT_EQ(open("4", &err), 1);
    EXPECT_NE(err.find("There is no element 4 in tnote whose history you may see"), std::string::npos) << err;
    EXPECT_EQ(open("5", &err), 1);
    EXPECT_NE(err.find("There is no element 5 in tnote whose history you may see"), std::string::npos) << err;
    EXPECT_EQ(open("0", &err), 1);
    EXPECT_NE(err.find("The history element argument is not an id"), std::string::npos) << err;
    EXPECT_EQ(open("2/../../x", &err), 1);
    EXPECT_NE(err.find("The history element argument is not an id"), std::string::npos) << err;
}

} // namespace
