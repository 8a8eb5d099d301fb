// The list pages as a browser gets them: query strings through the real display and operation
// dispatch, the test content type's family with its registered commands, option files written under
// the real lock daemon's locks. Also the paging arithmetic, the sort cycle and the reload page.
#include "list_fixture.h"

#include "apps/moap_web.h"
#include "storage/motr_trail.h"
#include "web/mow_web.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <regex>

using namespace tl;

namespace {

std::vector<std::string> content_types;

int collect(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
int collect(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        vsnprintf(text.data(), text.size() + 1, fmt, ap);
    va_end(ap);
    static_cast<std::string *>(o->stream_ref)->append(text);
    return 0;
}

int record_type(MOW_WEB_T *, MOOU_OUT_DEF_T *, unsigned long, const char *type) noexcept {
    content_types.push_back(type);
    return 0;
}

size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size()))
        n++;
    return n;
}

// Titles of the rows a list page shows, in order (the title cell follows the EDIT cell).
std::vector<std::string> row_titles(const std::string &page) {
    std::vector<std::string> titles;
    std::regex cell("ALT=\"View History Log\"></A>\n</TD>\n<TD ALIGN=LEFT> ([^<]*) </TD>\n");
    for (std::sregex_iterator it(page.begin(), page.end(), cell), end; it != end; ++it)
        titles.push_back((*it)[1]);
    return titles;
}

struct ListPage : ::testing::Test {
    mot_test::TempDir home;
    std::unique_ptr<Daemon> daemon;
    std::unique_ptr<Proc> p;
    MOT_TOP_STYPE_T *main = nullptr;
    MOOU_OUT_DEF_T out{};
    std::string page;
    std::string err;
    int status = 0;

    void SetUp() override {
        daemon = std::make_unique<Daemon>(home.path);
        p = std::make_unique<Proc>(home.path);
        ASSERT_EQ(p->registered, 0);
        ASSERT_TRUE(p->connect(daemon->port));
        p->access.current = 7;
        p->access.privilege[7] = MOTSL_PRIV_ADMIN;
        main = p->stype("tnote");
        ASSERT_EQ(mow_construct_web(&p->aux->web, p->aux->interm, record_type, mow_web_get_user_agent,
                                    mow_parse_multipart_form),
                  0);
        ASSERT_EQ(moap_web_construct(p->session), 0);
        out.stream_ref = &page;
        out.line_fn = collect;
    }

    // One request: the query string through the display dispatch, with the posted fields given.
    int get(const std::string &query, const std::vector<std::pair<std::string, std::string>> &fields = {}) {
        std::vector<std::string> keep;
        std::vector<MOW_POST_RESULTS_T> results;
        for (const auto &[name, value] : fields) {
            keep.push_back(name);
            keep.push_back(value);
        }
        for (size_t i = 0; i < keep.size(); i += 2)
            results.push_back({keep[i].data(), keep[i + 1].data()});
        results.push_back({nullptr, nullptr});
        page.clear();
        content_types.clear();
        out.web_header_done = FALSE;
        p->req->results_ref = fields.empty() ? nullptr : results.data();
        p->aux->error->warning_msg[0] = '\0';
        err = mot_test::capture_stderr(
            [&] { status = mow_web_parse_display_web_arg(p->session, &out, p->req, query.c_str()); });
        p->req->results_ref = nullptr;
        p->end_request();
        mow_web_init(p->aux->web);
        return status;
    }

    // The list page of the main list, and an action on it.
    int list() { return get("content&content&A&docs&0&0&0&tnote&list"); }
    int action(const std::string &command) { return get("content&none&N&docs&0&0&0&tnote&" + command); }

    void add(const std::vector<std::tuple<std::string, int, int>> &notes) {
        MOT_TOP_STYPE_T *s = main;
        ASSERT_EQ(p->init(s), 0);
        ASSERT_EQ(s->lock_file(s, MOLK_FILE_WRITE, nullptr), 0);
        for (const auto &[title, st, priority] : notes) {
            MOK_DATA_RECORD_T *rec = nullptr;
            ASSERT_EQ(motsl_stdlist_append_new(s, &rec), 0);
            auto *n = static_cast<TNOTE_T *>(rec->container);
            ASSERT_EQ(p->aux->mem->restore_string(p->aux->mem, nullptr, &n->title, title.c_str()), 0);
            n->status = st;
            n->priority = priority;
        }
        ASSERT_EQ(s->write_data(s), 0);
        ASSERT_EQ(s->lock_file(s, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
        p->end_request();
    }

    std::string options_file() { return read_file(home.path + "/user_defaults/tnote_useropt/7"); }
};

std::string numbered(int i) {
    char buf[16];
    snprintf(buf, sizeof(buf), "note %03d", i);
    return buf;
}

} // namespace

TEST(ListPaging, PagesRowsAndOutOfRangeRequests) {
    struct Case {
        int total, lines, page;
        int want_page, want_pages, first, last;
    };
    const Case cases[] = {
        {0, 20, 1, 1, 1, 1, 0},    // nothing: page 1 of 1
        {0, 0, 3, 1, 1, 1, 0},     // all lines of nothing
        {45, 20, 1, 1, 3, 1, 20},  // 45 rows at 20 lines: three pages
        {45, 20, 2, 2, 3, 21, 40}, // the middle page
        {45, 20, 3, 3, 3, 41, 45}, // the last page holds the rest
        {45, 20, 9, 3, 3, 41, 45}, // beyond the last page: the last page
        {20, 20, 2, 1, 1, 1, 20},  // never an empty "Page 2 of 1"
        {40, 20, 4, 2, 2, 21, 40}, // twice the rows asked for
        {45, 20, 0, 1, 3, 1, 20},  // below the first page: the first
        {45, 20, -7, 1, 3, 1, 20}, // negative page
        {45, 0, 2, 1, 1, 1, 45},   // "All Lines": one page
        {45, -3, 1, 1, 3, 1, 20},  // a negative amount: the default 20
        {1, 100, 1, 1, 1, 1, 1},   // one row
        {2147483647, 1, 2147483647, 2147483647, 2147483647, 2147483647, 2147483647}, // no overflow
    };
    for (const Case &c : cases) {
        MOWSL_PAGING_T p;
        mowsl_paging(c.total, c.lines, c.page, &p);
        EXPECT_EQ(p.page, c.want_page) << c.total << "/" << c.lines << "/" << c.page;
        EXPECT_EQ(p.pages, c.want_pages) << c.total << "/" << c.lines << "/" << c.page;
        EXPECT_EQ(p.first, c.first) << c.total << "/" << c.lines << "/" << c.page;
        EXPECT_EQ(p.last, c.last) << c.total << "/" << c.lines << "/" << c.page;
    }
    // The sort cycle reaches descending order and keeps alternating.
    int next = -1;
    EXPECT_EQ(mowsl_sort_next(0, &next), 0);
    EXPECT_EQ(next, 1);
    EXPECT_EQ(mowsl_sort_next(1, &next), 0);
    EXPECT_EQ(next, 2);
    EXPECT_EQ(mowsl_sort_next(2, &next), 0);
    EXPECT_EQ(next, 1);
    EXPECT_EQ(mowsl_sort_next(7, &next), 1);
}

TEST_F(ListPage, ListPagePagingHeadingsRowsAndFooter) {
    // An empty list: no rows, page 1 of 1, no footer.
    ASSERT_EQ(list(), 0) << err;
    EXPECT_EQ(content_types, std::vector<std::string>{"text/html"});
    EXPECT_NE(page.find("&nbsp;&nbsp; Total records [ 0 ]&nbsp;"), std::string::npos) << page;
    EXPECT_NE(page.find("Page 1 of 1</A>"), std::string::npos);
    EXPECT_EQ(page.find("More Available..."), std::string::npos);
    EXPECT_NE(page.find("For help send email to"), std::string::npos) << "the content page's foot";

    std::vector<std::tuple<std::string, int, int>> notes;
    for (int i = 45; i >= 1; i--)
        notes.emplace_back(numbered(i), i % 3 == 0 ? 2 : 1, i % 5);
    add(notes);
    ASSERT_EQ(list(), 0) << err;
    EXPECT_NE(page.find("<FORM ACTION=\"/mo_scripts/mo_http?content&none&N&docs&0&0&0&tnote&picker\" "
                        "ENCTYPE=\"multipart/form-data\" METHOD=POST NAME=\"picker\">\n"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%>\n"),
              std::string::npos);
    EXPECT_NE(page.find("<B><FONT COLOR=WHITE>Active Tnote Entries</FONT></B>"), std::string::npos) << page;
    EXPECT_NE(page.find("Total records [ 45 ]"), std::string::npos);
    EXPECT_NE(page.find(">Page 1 of 3</A>"), std::string::npos);
    EXPECT_NE(page.find("<TR BGCOLOR=#ADA2BD>\n"), std::string::npos);
    // Sorted by the title (its default): the heading is bold and links to its sort toggle.
    EXPECT_NE(
        page.find("<A HREF=\"/mo_scripts/mo_http?content&none&N&docs&0&0&0&tnote&sort_toggle&T\"><B>Title</B>"
                  "</A> "),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("ALT=\"Filter Off: Click to Enable\""), std::string::npos);
    EXPECT_NE(page.find("option_select&T\" onclick=\"NewWindow(this.href,'option_select','350','200','yes'); "
                        "return false;\""),
              std::string::npos)
        << page;
    // An advanced column (Body) exists: the last heading carries the control to expand it.
    EXPECT_NE(page.find("ALT=\"Expand Advanced Columns\""), std::string::npos);
    std::vector<std::string> want;
    for (int i = 1; i <= 20; i++)
        want.push_back(numbered(i));
    EXPECT_EQ(row_titles(page), want);
    EXPECT_EQ(count(page, "<TR >\n"), 10u);
    EXPECT_EQ(count(page, "<TR BGCOLOR=\"#EEEEEE\" >\n"), 10u);
    // The administrator may delete: rows carry check boxes, the heading the select-all control.
    EXPECT_EQ(count(page, "<INPUT TYPE=CHECKBOX  NAME=\"PICKER_CHECK\" VALUE=\""), 20u);
    EXPECT_NE(page.find("function picker_select_all()"), std::string::npos);
    EXPECT_NE(page.find("ALT=\"Delete all selected items\""), std::string::npos);
    EXPECT_NE(page.find("nav/trash_empty.gif"), std::string::npos) << "no deleted entry yet";
    EXPECT_NE(
        page.find("<TD><B>More Available...</B>&nbsp;</TD><TD>\n<FONT COLOR=\"#C1C1C1\">&lt;prev</FONT>"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("&page&2\">next&gt;</A>"), std::string::npos);
    EXPECT_NE(page.find("nav/page_prev_fast_trans.gif"), std::string::npos) << "first page: no way back";

    // Page 3 holds rows 41 to 45; a page beyond the end shows the last page.
    ASSERT_EQ(action("page_select_page&page&3"), 0) << err;
    EXPECT_NE(page.find("<HTML><HEAD><TITLE>Reload</TITLE>\n</HEAD>\n<BODY>\n"), std::string::npos) << page;
    EXPECT_EQ(page.find("window.close();"), std::string::npos) << "an action of the content frame";
    EXPECT_NE(options_file().find("PAGE_NO 3\n"), std::string::npos);
    ASSERT_EQ(list(), 0) << err;
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{numbered(41), numbered(42), numbered(43),
                                                          numbered(44), numbered(45)}));
    EXPECT_NE(page.find(">Page 3 of 3</A>"), std::string::npos);
    EXPECT_NE(page.find("&page&2\">&lt;prev</A>&nbsp;&nbsp;<FONT COLOR=\"#C1C1C1\">next&gt;</FONT>"),
              std::string::npos);
    ASSERT_EQ(action("page_select_page&page&2"), 0) << err;
    ASSERT_EQ(list(), 0);
    EXPECT_NE(page.find("&page&1\">&lt;prev</A>&nbsp;&nbsp;<A HREF=\""), std::string::npos) << "both links";
    ASSERT_EQ(action("page_select_page&page&99"), 0) << err;
    ASSERT_EQ(list(), 0);
    EXPECT_NE(page.find(">Page 3 of 3</A>"), std::string::npos);

    // "All Lines" from the lines window: every row on one page, no footer; the window closes.
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&page_window"), 0) << err;
    EXPECT_NE(page.find("<SELECT NAME=\"AmountSel\" onchange=\"PageAmount()\">\n"), std::string::npos);
    EXPECT_NE(
        page.find(
            "<OPTION SELECTED value=\"/mo_scripts/mo_http?content&amp;none&amp;N&amp;docs&amp;0&amp;0&amp;0"
            "&amp;tnote&amp;page_select_amount&amp;amount&amp;20\">20 Lines per page</OPTION>"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find(">All Lines</OPTION>"), std::string::npos);
    ASSERT_EQ(action("page_select_amount&amount&0"), 0) << err;
    EXPECT_NE(page.find("window.opener.location.reload(); \nwindow.close();\n"), std::string::npos) << page;
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page).size(), 45u);
    EXPECT_NE(page.find(">Page 1 of 1</A>"), std::string::npos);
    EXPECT_EQ(page.find("More Available..."), std::string::npos);

    // Numbers and types that are not what the commands take change nothing.
    std::string before = options_file();
    for (auto [command, message] : std::vector<std::pair<const char *, const char *>>{
             {"page_select_page&page&abc", "The argument abc is not a number\n"},
             {"page_select_page&amount&3", "Unknown type argument amount, must be either page or amount\n"},
             {"page_select_amount&lines&3", "Unknown type argument lines, must be either page or amount\n"},
             {"page_select_amount&amount&-1", "The number of lines -1 is out of range\n"},
             {"page_select_page&page", "Operation page_select_page has not enough arguments\n"}}) {
        EXPECT_EQ(action(command), 1) << command;
        EXPECT_NE(err.find(message), std::string::npos) << command << ": " << err;
    }
    EXPECT_EQ(options_file(), before);
}

TEST_F(ListPage, SortToggleFiltersMatchAndClear) {
    add({{"beta", 1, 3}, {"alpha", 2, 1}, {"gamma", 1, 2}, {"alphabet", 9, 4}, {"delta", 2, 5}});
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"alpha", "alphabet", "beta", "delta", "gamma"}));
    // The title sorts ascending by default: one toggle makes it descending, the next ascending again.
    ASSERT_EQ(action("sort_toggle&T"), 0) << err;
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"gamma", "delta", "beta", "alphabet", "alpha"}));
    ASSERT_EQ(action("sort_toggle&T"), 0) << err;
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"alpha", "alphabet", "beta", "delta", "gamma"}));
    // Sorting another column drops the first one's sort.
    ASSERT_EQ(action("sort_toggle&P"), 0) << err;
    std::string options = options_file();
    EXPECT_NE(options.find("SORTT 0\n"), std::string::npos) << options;
    EXPECT_NE(options.find("SORTP 1\n"), std::string::npos);
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"alpha", "gamma", "beta", "alphabet", "delta"}));
    EXPECT_NE(page.find("<B>Priority</B>"), std::string::npos);
    EXPECT_EQ(page.find("<B>Title</B>"), std::string::npos);

    // The filter window of the status column offers the values of the rows, the current one selected.
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&option_select&S"), 0) << err;
    EXPECT_NE(page.find("<B><FONT color=white>Filter</FONT></B>\n"), std::string::npos) << page;
    EXPECT_NE(page.find("function filterS() {\n"), std::string::npos);
    EXPECT_NE(page.find("function filterT() {\n"), std::string::npos) << "every shown filter column";
    EXPECT_NE(page.find("<B>Filter on</B> <SELECT NAME=\"FilSelS\" onchange=\"filterS()\">\n"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<OPTION SELECTED value=\""), std::string::npos);
    EXPECT_NE(page.find("filter_select&amp;S&amp;%5BAll%5D\">[All]</OPTION>"), std::string::npos) << page;
    size_t open = page.find(">Open</OPTION>"), closed = page.find(">Closed</OPTION>"),
           escalated = page.find(">Escalated</OPTION>");
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(closed, std::string::npos);
    ASSERT_NE(escalated, std::string::npos);
    EXPECT_LT(open, closed);
    EXPECT_LT(closed, escalated);
    EXPECT_EQ(page.find("Search on"), std::string::npos) << "the status column has no match field";
    EXPECT_NE(page.find("ALT=\"Clear this column filter\""), std::string::npos);
    EXPECT_NE(page.find("ALT=\"Clear all column filters\""), std::string::npos);
    EXPECT_NE(
        page.find("<A HREF=\"javascript: window.close();\"><IMG  BORDER=0 SRC=\"/mo_images/nav/close.gif\" "
                  "ALT=\"Close this Window\">"),
        std::string::npos);

    // Choosing "Closed": the pop-up reloads the list and closes; only closed rows remain.
    ASSERT_EQ(action("filter_select&S&Closed"), 0) << err;
    EXPECT_NE(page.find("window.opener.location.reload(); \nwindow.close();\n"), std::string::npos);
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"alpha", "delta"}));
    EXPECT_NE(page.find("ALT=\"Filtering On: Closed\""), std::string::npos) << page;
    // With a filter set, the window still offers every value (its own filter set aside), and lights up.
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&option_select&S"), 0) << err;
    EXPECT_NE(
        page.find(
            "<OPTION SELECTED value=\"/mo_scripts/mo_http?content&amp;none&amp;N&amp;docs&amp;0&amp;0&amp;"
            "0&amp;tnote&amp;filter_select&amp;S&amp;Closed\">Closed</OPTION>"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find(">Escalated</OPTION>"), std::string::npos);
    EXPECT_NE(page.find("<TD ALIGN=LEFT NOWRAP BGCOLOR=\"lightblue\"><B>Filter on</B>"), std::string::npos);

    // The match of the title column, posted from its filter window; Enter without the button works too.
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&option_select&T"), 0) << err;
    EXPECT_NE(
        page.find(
            "<INPUT TYPE=HIDDEN  NAME=\"MATCH_KEYWORD\" VALUE=\"T\">\n<INPUT TYPE=TEXT  NAME=\"MATCHT\"  "
            "VALUE=\"\" SIZE=5 MAXLENGTH=50>\n"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("javascript: submit_match_go('T');"), std::string::npos);
    EXPECT_NE(page.find("<INPUT TYPE=HIDDEN  NAME=\"MATCH_GO\" VALUE=\"\">\n"), std::string::npos);
    ASSERT_EQ(get("content&none&N&docs&0&0&0&tnote&picker",
                  {{"MATCH_GO", ""}, {"MATCH_CLEAR", ""}, {"MATCH_KEYWORD", "T"}, {"MATCHT", "ALP"}}),
              0)
        << err;
    EXPECT_NE(page.find("window.opener.location.reload(); \nwindow.close();\n"), std::string::npos);
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"alpha"}));
    EXPECT_NE(page.find("ALT=\"Filtering On: *ALP*\""), std::string::npos) << page;
    // Clearing all filters and matches brings every row back.
    ASSERT_EQ(action("filter_clear&T&clear_all"), 0) << err;
    options = options_file();
    EXPECT_NE(options.find("FILS [All]\nMATCHS \n"), std::string::npos) << options;
    EXPECT_NE(options.find("FILT [All]\nMATCHT \n"), std::string::npos);
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page).size(), 5u);
    // One column's clear leaves the others' filters.
    ASSERT_EQ(action("filter_select&S&Open"), 0);
    ASSERT_EQ(get("content&none&N&docs&0&0&0&tnote&picker", {{"MATCH_GO", "T"}, {"MATCHT", "a\r\nl"}}), 0)
        << err;
    EXPECT_NE(options_file().find("MATCHT al\n"), std::string::npos) << "line breaks never reach the file";
    ASSERT_EQ(action("filter_clear&T&clear"), 0);
    options = options_file();
    EXPECT_NE(options.find("FILS Open\n"), std::string::npos) << options;
    EXPECT_NE(options.find("MATCHT \n"), std::string::npos);

    // Advanced columns and the display option: the body column shows when expanded; titles hide.
    ASSERT_EQ(action("advanced_toggle"), 0);
    ASSERT_EQ(list(), 0);
    EXPECT_NE(page.find(">Body"), std::string::npos) << page;
    EXPECT_NE(page.find("ALT=\"Collapse Advanced Columns\""), std::string::npos);
    ASSERT_EQ(action("display_toggle&T"), 0);
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(page.find(">Title"), std::string::npos);
    EXPECT_NE(options_file().find("DIST 0\n"), std::string::npos);

    // Forged keywords and options: a clear message, the option file unchanged.
    std::string before = options_file();
    for (auto [command, message] : std::vector<std::pair<const char *, const char *>>{
             {"sort_toggle&X%22%3E", "No keyword X\"> exists in the motc_find_keyword for stype tnote\n"},
             {"sort_toggle&B", "The column B of tnote has no sort\n"},
             {"sort_toggle&ID", "The column ID of tnote is not one you may see\n"},
             {"display_toggle&NEW", "The column NEW of tnote is not one you may see\n"},
             {"filter_select&P&3", "The column P of tnote has no filter\n"},
             {"display_move_left&T&right", "Unknown type argument right, must be either left\n"},
             {"bogus", "Operation bogus not valid\n"}}) {
        EXPECT_EQ(action(command), 1) << command;
        EXPECT_NE(err.find(message), std::string::npos) << command << ": " << err;
    }
    EXPECT_EQ(get("content&blank&N&docs&0&0&0&tnote&option_select&ID"), 1);
    EXPECT_NE(err.find("The column ID of tnote has no filter\n"), std::string::npos)
        << "a column nobody may see";
    EXPECT_EQ(get("content&none&N&docs&0&0&0&tnote&picker", {{"MATCH_GO", "S"}}), 1);
    EXPECT_NE(err.find("The column S of tnote has no match field\n"), std::string::npos) << err;
    EXPECT_EQ(get("content&none&N&docs&0&0&0&tnote&picker", {{"DELETE_ALL", ""}}), 1);
    EXPECT_NE(err.find("No picker service was performed\n How did this happen?\n"), std::string::npos) << err;
    EXPECT_EQ(options_file(), before);
}

TEST_F(ListPage, HostileValuesComeBackEscaped) {
    const std::string evil = "<script>alert(\"x\")</script>&'";
    add({{evil, 1, 0}, {"plain", 2, 0}});
    ASSERT_EQ(list(), 0) << err;
    // A value whose filter link would not fit an address is left out of the choices with a note.
    add({{std::string(400, '&'), 2, 0}});
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&option_select&T"), 0) << err;
    EXPECT_NE(err.find("is too long to offer"), std::string::npos) << err;
    EXPECT_NE(page.find(">plain</OPTION>"), std::string::npos);
    EXPECT_EQ(page.find("&amp;&amp;&amp;&amp;</OPTION>"), std::string::npos);
    ASSERT_EQ(list(), 0) << err;
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&amp;'"), std::string::npos)
        << page;

    // A filter value from a link: escaped in the tip, in the window's option and in its link.
    ASSERT_EQ(action("filter_select&T&" + std::string("%3Cscript%3Ealert(%22x%22)%3C%2Fscript%3E%26'")), 0)
        << err;
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page).size(), 1u);
    EXPECT_NE(page.find("ALT=\"Filtering On: &lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&amp;'\""),
              std::string::npos)
        << page;
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&option_select&T"), 0) << err;
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(
        page.find(
            "&amp;filter_select&amp;T&amp;%3Cscript%3Ealert%28%22x%22%29%3C%2Fscript%3E%26%27\">&lt;script"),
        std::string::npos)
        << page;

    // A match text with quotes and a closing tag stays inside its VALUE.
    ASSERT_EQ(get("content&none&N&docs&0&0&0&tnote&picker", {{"MATCH_GO", "T"}, {"MATCHT", "\"><b>x"}}), 0)
        << err;
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&option_select&T"), 0) << err;
    EXPECT_NE(page.find("NAME=\"MATCHT\"  VALUE=\"&quot;&gt;&lt;b&gt;x\" SIZE=5"), std::string::npos) << page;

    // The element page and the batch listing.
    ASSERT_EQ(get("content&content&A&docs&0&0&0&tnote&view&ID&2"), 0) << err;
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find("<B><FONT COLOR=WHITE>&lt;script&gt;alert(&quot;x&quot;)"), std::string::npos)
        << page;
}

TEST_F(ListPage, ElementPageHistoryListAndBatchListing) {
    add({{"first", 1, 2}, {"second", 9, 3}});
    // Two history entries of element 2 (the first id of a list), written as the edit commands write them.
    MOT_TOP_STYPE_T *s = main;
    ASSERT_EQ(p->init(s), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(s->read_data(s, &first), 0);
    ASSERT_EQ(motsl_add_history(s, MOTSL_OP_CREATED, first->container, nullptr), 0);
    MOK_MULTI_LINE_T *details = nullptr;
    ASSERT_EQ(mok_add_multi_line(p->aux, nullptr, "Title Changed from (<old>) to (first)", &details), 0);
    ASSERT_EQ(motsl_add_history(s, MOTSL_OP_MODIFIED, first->container, details), 0);
    p->end_request();

    ASSERT_EQ(get("content&content&A&docs&0&0&0&tnote&view&ID&2"), 0) << err;
    EXPECT_NE(page.find("<B><FONT COLOR=WHITE>first</FONT></B>"), std::string::npos) << page;
    EXPECT_NE(page.find("<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 >\n"),
              std::string::npos);
    EXPECT_NE(
        page.find(
            "<TR><TD ALIGN=LEFT><B> Title </B>&nbsp;&nbsp; </TD>\n<TD ALIGN=LEFT> first </TD>\n</TR>\n"),
        std::string::npos)
        << page;
    EXPECT_NE(
        page.find("<TD ALIGN=LEFT><B> Status </B>&nbsp;&nbsp; </TD>\n<TD ALIGN=LEFT BGCOLOR=\"LightGreen\"> "
                  "Open </TD>"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("<TD COLSPAN=2 ALIGN=LEFT><B> Body </B><BR>\n<I> "), std::string::npos)
        << "multi-line";
    EXPECT_EQ(page.find("<B> ID </B>"), std::string::npos) << "columns nobody may see have no row";
    EXPECT_EQ(page.find("<B> Edit </B>"), std::string::npos);
    EXPECT_NE(page.find("ALT=\"History\">"), std::string::npos) << "the element may be edited";
    std::string history = "/mo_scripts/mo_http?content&content&A&docs&0&0&2&tnote_history&2&list";
    EXPECT_NE(page.find(history), std::string::npos) << page;

    // The list shows each row's history button; an element's history lists its entries.
    ASSERT_EQ(list(), 0);
    EXPECT_NE(page.find("ALT=\"View History Log\""), std::string::npos);
    ASSERT_EQ(get(history.substr(history.find('?') + 1)), 0) << err;
    EXPECT_NE(page.find("<B><FONT COLOR=WHITE>History of "), std::string::npos) << page;
    EXPECT_NE(page.find("Total records [ 2 ]"), std::string::npos);
    EXPECT_NE(page.find("> Created </TD>"), std::string::npos);
    EXPECT_NE(page.find("> Modified </TD>"), std::string::npos);
    // The change lines are an advanced column of the history.
    EXPECT_EQ(page.find("Title Changed"), std::string::npos);
    ASSERT_EQ(get("content&none&N&docs&0&0&2&tnote_history&2&advanced_toggle"), 0) << err;
    ASSERT_EQ(get(history.substr(history.find('?') + 1)), 0) << err;
    EXPECT_NE(page.find("Title Changed from (&lt;old&gt;) to (first)<BR>"), std::string::npos) << page;
    EXPECT_NE(page.find("ALT=\"Go back\""), std::string::npos) << "the history list leads back";
    EXPECT_EQ(page.find("PICKER_CHECK"), std::string::npos) << "nothing to pick in a history";
    // Its sort links keep the element in the address.
    EXPECT_NE(page.find("tnote_history&2&sort_toggle&D\""), std::string::npos) << page;

    // Elements that do not exist, or may not be seen, have no page.
    EXPECT_EQ(get("content&content&A&docs&0&0&0&tnote&view&ID&999"), 1);
    EXPECT_NE(err.find("Can't find ID number 999 in tnote records\n"), std::string::npos) << err;
    EXPECT_EQ(get("content&content&A&docs&0&0&0&tnote&view&ID&2%2F..%2F3"), 1);
    EXPECT_NE(err.find("Can't find ID number 2/../3 in tnote records\n"), std::string::npos) << err;
    EXPECT_EQ(get("content&content&A&docs&0&0&0&tnote_history&999&list"), 1);
    EXPECT_NE(err.find("There is no element 999 in tnote whose history you may see\n"), std::string::npos)
        << err;

    // The batch listing: text, the version, the keywords of the batch columns, one block per row.
    ASSERT_EQ(get("content&none&N&docs&0&0&0&tnote&blist"), 0) << err;
    EXPECT_EQ(content_types, std::vector<std::string>{"text/plain"});
    EXPECT_EQ(page, "MORVALE_VERSION=\"3.3 (build_180)\"\nKEYWORDS=\"ID, "
                    "\"\n------\nID=\"2\"\n------\nID=\"3\"\n------\n");

    // A normal user may not see this list at all.
    p->access.privilege[7] = MOTSL_PRIV_NORMAL;
    EXPECT_EQ(list(), 1);
    EXPECT_NE(err.find("Sorry you don't have sufficient access privileges for this operation list\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(get("content&content&A&docs&0&0&0&tnote&view&ID&2"), 1);
    EXPECT_EQ(get("content&none&N&docs&0&0&0&tnote&blist"), 1);
    EXPECT_EQ(action("sort_toggle&T"), 1);
}

TEST_F(ListPage, ReloadPageActionsTrailAndLocksGivenBack) {
    ASSERT_EQ(p->init(main), 0);
    // Every action's script, the closing one last.
    ASSERT_EQ(mowsl_reload(main, &out, TRUE, MOWSL_RELOAD_OPENER, MOWSL_RELOAD_DIR, MOWSL_RELOAD_OPENER_DIR),
              0);
    EXPECT_EQ(
        page,
        "<HTML><HEAD><TITLE>Reload</TITLE>\n</HEAD>\n<BODY>\n"
        "<script language=\"JavaScript\" type=\"text/javascript\">\n<!--  Hide me please!\n"
        "window.opener.location.reload(); \ntop.dir.location.reload(); \n"
        "window.opener.top.dir.location.reload(); \nwindow.close();\n//--></script>\n</BODY>\n</HTML>\n");
    page.clear();
    ASSERT_EQ(mowsl_reload(main, &out, FALSE, MOWSL_RELOAD_NAV, MOWSL_RELOAD_CONTENT, MOWSL_RELOAD_NONE), 0);
    EXPECT_NE(page.find("top.nav.location.reload(); \ntop.content.location.reload(); \n//-->"),
              std::string::npos);
    page.clear();
    err = mot_test::capture_stderr([&] { EXPECT_EQ(mowsl_reload(main, &out, FALSE, 1, 7, 0), 1); });
    EXPECT_NE(err.find("No action (7) defined for mowsl_reload_action\n"), std::string::npos);
    EXPECT_EQ(page, "") << "nothing of the page before the failure";

    // Back along the user's content trail; the link goes into the script escaped.
    mo_filename_t trail_file;
    ASSERT_EQ(motr_trail_set_filename(p->aux, 7, "content", "content", trail_file), 0);
    MOK_DATA_RECORD_T *trail = nullptr;
    ASSERT_EQ(motr_trail_add_entry(p->aux, "content", "content", "&docs&0&0&0&tnote&list&x%22y", &trail), 0);
    ASSERT_EQ(p->aux->file->make_dir(p->aux->file, (home.path + "/user_defaults/trail/7").c_str()), 0);
    ASSERT_EQ(motr_trail_write_file(p->aux, trail_file, trail), 0);
    ASSERT_EQ(mowsl_reload(main, &out, FALSE, MOWSL_RELOAD_TRAIL, 0, 0), 0);
    EXPECT_NE(
        page.find(
            "location =\"/mo_scripts/mo_http?content\\x26content\\x26A\\x26docs\\x260\\x260\\x260\\x26tnote"
            "\\x26list\\x26x%22y\"\n"),
        std::string::npos)
        << page;
    p->end_request();
    ASSERT_EQ(action("display_toggle&T"), 0) << err;
    EXPECT_NE(page.find("location =\"/mo_scripts/mo_http?content"), std::string::npos) << page;

    // A write that fails gives the option file's lock back: the next change goes through.
    std::string blocker = home.path + "/user_defaults/tnote_useropt/7.tmp";
    ASSERT_EQ(mkdir(blocker.c_str(), 0755), 0);
    EXPECT_EQ(action("sort_toggle&T"), 1);
    EXPECT_NE(err.find("7.tmp"), std::string::npos) << "the write failed, under the lock: " << err;
    rmdir(blocker.c_str()); // the request's clean-up may have taken it with the temporary file
    ASSERT_EQ(action("sort_toggle&T"), 0) << err;
    EXPECT_NE(options_file().find("SORTT 2\n"), std::string::npos) << options_file();
    // So does a second process: nothing of ours is left locked.
    pid_t child = spawn([&] {
        Proc q(home.path);
        if (!q.connect(daemon->port))
            return 1;
        MOT_TOP_STYPE_T *opt = q.stype("tnote_useropt");
        MOT_TOP_STYPE_T *s = q.stype("tnote");
        q.access.current = 7;
        if (q.init(s) != 0)
            return 1;
        int ret = opt->lock_file(opt, MOLK_FILE_WRITE, nullptr);
        if (ret == 0)
            ret = opt->lock_file(opt, MOLK_FILE_WRITE_RELEASE, nullptr);
        return ret;
    });
    EXPECT_EQ(wait_status(child), 0);
}

TEST_F(ListPage, CellsChoosersAndTheirEscapes) {
    add({{"javascript:alert(1)", 1, 4}, {"http://intranet/a?b=1&c=\"2\"", 7, 0}});
    MOT_TOP_STYPE_T *s = main;
    ASSERT_EQ(motsl_set_position(s, 0, 0, 0), 0);
    ASSERT_EQ(s->init_web(p->req, &s), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(mowsl_list_read(s, &first), 0);
    MOTSL_STDLIST_KEYWORD_T *t = nullptr, *st = nullptr, *pr = nullptr;
    ASSERT_EQ(motsl_find_column(s, "T", &t), 0);
    ASSERT_EQ(motsl_find_column(s, "S", &st), 0);
    ASSERT_EQ(motsl_find_column(s, "P", &pr), 0);
    auto cell = [&](motsl_cell_fn_t fn, MOTSL_STDLIST_KEYWORD_T *c, MOK_DATA_RECORD_T *r) {
        page.clear();
        EXPECT_EQ(fn(s, &out, c, r), 0);
        return page;
    };
    MOK_DATA_RECORD_T *script = first, *web = first->next;
    // Links: only web, mail and relative addresses are links; a script address is text.
    EXPECT_EQ(cell(mowsl_list_link_string, t, script), "<TD ALIGN=LEFT> javascript:alert(1) </TD>\n");
    EXPECT_EQ(cell(mowsl_list_link_string, t, web),
              "<TD ALIGN=LEFT><A TARGET=\"_blank\" HREF=\"http://intranet/a?b=1&amp;c=&quot;2&quot;\"> link "
              "</A></TD>\n");
    for (auto [value, ok] : std::vector<std::pair<const char *, bool>>{{"https://x/y", true},
                                                                       {"mailto:a@b", true},
                                                                       {"docs/manual.pdf", true},
                                                                       {"JavaScript:x", false},
                                                                       {" javascript:x", false},
                                                                       {"vbscript:x", false},
                                                                       {"data:text/html,x", false},
                                                                       {"a\nb", false},
                                                                       {"", false}})
        EXPECT_EQ(mowsl_link_value_ok(value) != FALSE, ok) << value;
    // Options take their colour; an unknown number shows the default and is noted.
    EXPECT_EQ(cell(mowsl_list_normal_option, st, script),
              "<TD ALIGN=LEFT BGCOLOR=\"LightGreen\"> Open </TD>\n");
    err = mot_test::capture_stderr([&] { cell(mowsl_list_normal_option, st, web); });
    EXPECT_EQ(page, "<TD ALIGN=LEFT BGCOLOR=\"LightGreen\"> Open </TD>\n");
    EXPECT_NE(err.find("Option number 7 not recognised for keyword S (mowsl_list_normal_option_basic)\n"),
              std::string::npos)
        << err;
    // Colours by index (the priority stands in for a colour column), none for index 0 or unknown ones.
    EXPECT_EQ(cell(mowsl_list_color, pr, script), "<TD ALIGN=LEFT BGCOLOR=\"#C799C7\"> Purple </TD>\n");
    EXPECT_EQ(cell(mowsl_list_color, pr, web), "<TD ALIGN=LEFT> None </TD>\n");
    static_cast<TNOTE_T *>(web->container)->priority = 99;
    EXPECT_EQ(cell(mowsl_list_color, pr, web), "<TD ALIGN=LEFT>&nbsp; </TD>\n");
    // Graphics, passwords, right-aligned and prefixed texts, the null cell.
    static_cast<TNOTE_T *>(web->container)->title = const_cast<char *>("icons/x\"><b>.gif");
    EXPECT_EQ(cell(mowsl_list_graphic, t, web),
              "<TD ALIGN=LEFT><IMG  BORDER=0 SRC=\"/mo_images/icons/x&quot;&gt;&lt;b&gt;.gif\" ALT=\"\">\n "
              "x&quot;&gt;&lt;b&gt;.gif </TD>\n");
    EXPECT_EQ(cell(mowsl_list_passwd_string, t, web), "<TD ALIGN=LEFT> ******** </TD>\n");
    EXPECT_EQ(cell(mowsl_list_right_string, pr, script), "<TD ALIGN=RIGHT> 4 </TD>\n");
    EXPECT_EQ(cell(mowsl_list_null, t, web), "<TD ALIGN=LEFT>&nbsp; </TD> ");
    static_cast<TNOTE_T *>(web->container)->title = const_cast<char *>("");
    EXPECT_EQ(cell(mowsl_list_graphic, t, web)
                  .find("system_file_types/icons/unknown.gif\" ALT=\"\">\n unknown.gif"),
              std::string("<TD ALIGN=LEFT><IMG  BORDER=0 SRC=\"/mo_images/").size());
    EXPECT_EQ(cell(mowsl_list_passwd_string, t, web), "<TD ALIGN=LEFT> &nbsp; </TD>\n");
    EXPECT_EQ(cell(mowsl_list_link_string, t, web), "<TD ALIGN=LEFT> No Link </TD>\n");
    // The view link of a row the user may see (outside a request: no frame, no directory type).
    first->access_view = TRUE;
    EXPECT_NE(
        cell(mowsl_list_for_view_string, t, script)
            .find(
                "<A HREF=\"/mo_scripts/mo_http?&content&A&&0&0&0&tnote&view&ID&2\">javascript:alert(1)</A>"),
        std::string::npos)
        << page;
    first->access_view = FALSE;
    EXPECT_EQ(cell(mowsl_list_for_view_string, t, script), "<TD ALIGN=LEFT> javascript:alert(1) </TD>\n");
    // The access-list texts that need no list.
    const char *text = nullptr;
    ASSERT_EQ(mowsl_view_text_super_only_string(s, t, first->container, &text), 0);
    EXPECT_STREQ(text, "admin only");
    p->end_request();

    // The graphic chooser lists the system's and the user's graphics of the kind, but no "empty".
    snprintf(p->aux->setup->image_dir, sizeof(p->aux->setup->image_dir), "%s/images", home.path.c_str());
    snprintf(p->aux->setup->user_image_dir, sizeof(p->aux->setup->user_image_dir), "%s/user",
             home.path.c_str());
    for (const char *dir : {"/images/system_file_types/folders", "/user/user_file_types/folders",
                            "/images/system_file_types/icons"})
        ASSERT_EQ(p->aux->file->make_dir(p->aux->file, (home.path + dir).c_str()), 0);
    write_file(home.path + "/images/system_file_types/folders/dir2.gif", "GIF");
    write_file(home.path + "/images/system_file_types/folders/empty", "");
    write_file(home.path + "/images/system_file_types/icons/word.gif", "GIF");
    write_file(home.path + "/user/user_file_types/folders/o'k\"<.gif", "GIF");
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&gchooser&T&1"), 0) << err;
    EXPECT_NE(page.find("<B><FONT color=white>Graphic Chooser</FONT></B>"), std::string::npos) << page;
    EXPECT_NE(page.find("function UpdateForm(graphic) {\n"), std::string::npos);
    EXPECT_NE(page.find("doc.forms[\"edit\"]"), std::string::npos);
    EXPECT_NE(page.find("doc.images[\"T_IMAGE\"]"), std::string::npos);
    EXPECT_NE(
        page.find(
            "<B>System</B><BR>\n<A HREF=\"javascript: UpdateForm('system_file_types/folders/dir2.gif');\">"
            "<IMG SRC=\"/mo_images/system_file_types/folders/dir2.gif\""),
        std::string::npos)
        << page;
    EXPECT_EQ(page.find("folders/empty"), std::string::npos);
    EXPECT_EQ(page.find("word.gif"), std::string::npos) << "icons are the other kind";
    EXPECT_NE(page.find("UpdateForm('user_file_types/folders/o\\x27k\\x22\\x3c.gif')"), std::string::npos)
        << page;
    EXPECT_EQ(page.find("o'k\"<"), std::string::npos);
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&gchooser&T&2"), 0) << err;
    EXPECT_NE(page.find("system_file_types/icons/word.gif"), std::string::npos);
    // The colour chooser: one coloured cell per colour.
    ASSERT_EQ(get("content&blank&N&docs&0&0&0&tnote&color_chooser&S"), 0) << err;
    EXPECT_NE(page.find("function UpdateForm(index, graphic) {\n"), std::string::npos);
    EXPECT_NE(
        page.find(
            "<TD BGCOLOR=\"#BBCEED\"><A HREF=\"javascript: UpdateForm('5','backgrounds/color_blue.gif');\">"
            "Blue</A></TD>\n"),
        std::string::npos)
        << page;
    EXPECT_NE(
        page.find("<TD><A HREF=\"javascript: UpdateForm('0','backgrounds/color_none.gif');\">None</A></TD>"),
        std::string::npos);
    EXPECT_EQ(get("content&blank&N&docs&0&0&0&tnote&color_chooser&T'%22"), 1);

    // Expanded folders: added once, removed; anything but "add" and "del" refused.
    ASSERT_EQ(mowsl_dir_list_register(main, nullptr, mow_cmd_access_all), 0);
    ASSERT_EQ(action("dir_list_a&add&12"), 0) << err;
    ASSERT_EQ(action("dir_list_a&add&12"), 0) << err;
    ASSERT_EQ(action("dir_list_a&add&30"), 0) << err;
    EXPECT_NE(options_file().find("DLIST 12,30,\n"), std::string::npos) << options_file();
    ASSERT_EQ(action("dir_list_d&del&12"), 0) << err;
    EXPECT_NE(options_file().find("DLIST 30,\n"), std::string::npos) << options_file();
    EXPECT_EQ(action("dir_list_a&move&12"), 1);
    EXPECT_NE(err.find("Unknown type argument move, must be either del or add\n"), std::string::npos) << err;
    EXPECT_EQ(action("dir_list_a&add&..%2F1"), 1);
    EXPECT_NE(err.find("The folder argument ../1 is not an id\n"), std::string::npos) << err;
    // Subscriptions need the folder tree's items; the tree's stand-in has none to toggle.
    EXPECT_EQ(action("subscribe&x"), 1);
    EXPECT_NE(err.find("The item argument x is not an id\n"), std::string::npos) << err;
}

TEST_F(ListPage, KeptSortOrderFollowsTheData) {
    // Equal titles keep the file order; the order kept between requests follows every change.
    add({{"m", 1, 1}, {"c", 1, 2}, {"x", 1, 3}, {"c", 1, 4}, {"a", 1, 5}});
    ASSERT_EQ(list(), 0) << err;
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"a", "c", "c", "m", "x"}));
    auto before = [&](const char *a, const char *b) {
        size_t pa = page.find(std::string("<TD ALIGN=LEFT> ") + a + " </TD>");
        size_t pb = page.find(std::string("<TD ALIGN=LEFT> ") + b + " </TD>");
        return pa != std::string::npos && pb != std::string::npos && pa < pb;
    };
    EXPECT_TRUE(before("2", "4")) << "the first c (priority 2) before the second (4)";
    // A value changed in the cached rows themselves (same cells, same file order).
    MOT_TOP_STYPE_T *s = main;
    ASSERT_EQ(p->init(s), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(s->read_data(s, &first), 0);
    static_cast<TNOTE_T *>(first->container)->title = const_cast<char *>("b");
    p->end_request();
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"a", "b", "c", "c", "x"}));
    // A value made equal to one that came after it: equal values come out in file order (the "b" of
    // priority 1 is first in the file, the "c" of priority 4 becomes a "b" after it).
    ASSERT_EQ(p->init(s), 0);
    ASSERT_EQ(s->read_data(s, &first), 0);
    static_cast<TNOTE_T *>(first->next->next->next->container)->title = const_cast<char *>("b");
    p->end_request();
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"a", "b", "b", "c", "x"}));
    EXPECT_TRUE(before("1", "4")) << page;
    ASSERT_EQ(p->init(s), 0);
    ASSERT_EQ(s->read_data(s, &first), 0);
    static_cast<TNOTE_T *>(first->next->next->next->container)->title = const_cast<char *>("a");
    p->end_request();
    ASSERT_EQ(list(), 0);
    EXPECT_TRUE(before("4", "5")) << "the new a (priority 4) is before the old a (5) in the file";
    static_cast<TNOTE_T *>(first->next->next->next->container)->title = const_cast<char *>("c");
    // A row added by another request; descending after a toggle.
    add({{"d", 2, 0}});
    ASSERT_EQ(action("sort_toggle&T"), 0) << err;
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"x", "d", "c", "c", "b", "a"}))
        << "the a went back to c";
    ASSERT_EQ(action("filter_select&S&Closed"), 0) << err;
    ASSERT_EQ(list(), 0);
    EXPECT_EQ(row_titles(page), (std::vector<std::string>{"d"}));
}
