// The list pages through the real Apache with the module, the real daemon and real logins: the user
// list of a few hundred people paged, sorted, filtered and matched by option commands whose answers
// lead back to the list; the filter window; an element page and an element's history; the batch
// listing; what a normal user is refused; and hostile values in every field of a user coming back
// escaped.
#include "support/apache_site.h"
#include "support/files.h"
#include "e2e_users.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;
using mot_test::TestUser;

const std::string list_args = "&setup&0&0&0&passwd_profile";
const std::string evil_name = "<script>alert(\"F\")</script>&amp;'";
const std::string evil_mail = "\"><img src=x onerror=alert(1)>@example.com";

std::string person(int i) {
    char buf[32];
    snprintf(buf, sizeof(buf), "Person %03d", i);
    return buf;
}

// The full names of the rows a list page shows, in order (the name cell follows the edit cell).
std::vector<std::string> names(const std::string &page) {
    // Plain searches: std::regex draws warnings in the sanitizer build.
    std::vector<std::string> out;
    // The cell after a row's last button: its history, or for a user who may not see histories its
    // edit form.
    const std::string cell = "></A>\n</TD>\n<TD ALIGN=LEFT> ";
    for (size_t at = page.find(cell); at != std::string::npos; at = page.find(cell, at + 1)) {
        size_t alt = page.rfind("ALT=\"", at);
        std::string button = alt == std::string::npos ? "" : page.substr(alt, at - alt);
        if (button != "ALT=\"View History Log\"" && button != "ALT=\"Edit Row\"")
            continue;
        size_t start = at + cell.size();
        size_t end = page.find(" </TD>\n", start);
        if (end == std::string::npos)
            break;
        std::string name = page.substr(start, end - start);
        if (name.find('<') == std::string::npos)
            out.push_back(name);
    }
    return out;
}

std::vector<TestUser> people() {
    std::vector<TestUser> users = {
        {.id = 2, .name = "anne", .password = "anne-secret-1", .privilege = 100, .full_name = "Anne Able"},
        {.id = 3, .name = "nora", .password = "nora-secret-1", .privilege = 40, .full_name = "Nora Normal"},
        {.id = 400,
         .name = "eve",
         .password = "",
         .privilege = 20,
         .full_name = evil_name,
         .email = evil_mail},
    };
    // Permissions cycle View Only, Normal, Admin; people 0, 3, 6 ... may only view.
    for (int i = 0; i < 300; i++) {
        char name[16];
        snprintf(name, sizeof(name), "u%03d", i);
        users.push_back({.id = 10 + i,
                         .name = name,
                         .password = "",
                         .privilege = i % 3 == 0   ? 20
                                      : i % 3 == 1 ? 40
                                                   : 100,
                         .full_name = person(i),
                         .email = std::string(name) + "@example.com"});
    }
    return users;
}

struct ListSite : ::testing::Test {
    static ApacheSite *site;
    static std::string admin;  // the administrator's cookie header
    static std::string normal; // a normal user's

    static void SetUpTestSuite() {
        site = new ApacheSite();
        mot_test::write_users(site->home, people(), site->uid, site->gid);
        // The history of user 400, with hostile texts in its machine and change lines.
        std::string dir = site->home + "/user/lib/passwd/history";
        mkdir(dir.c_str(), 0755);
        std::string path = dir + "/400";
        mot_test::write_file(path, "ID 1\nFID 400\nOP 0\nU 2\nD 1700000000\nM <b>host</b>\nC \n------\n"
                                   "ID 2\nFID 400\nOP 1\nU 2\nD 1700000100\nM host\n"
                                   "C Full Name Changed from (x) to (<i>y</i>)\\n\n");
        if (getuid() == 0 &&
            (chown(dir.c_str(), site->uid, site->gid) != 0 || chown(path.c_str(), site->uid, site->gid) != 0))
            abort();
        ASSERT_TRUE(site->start_daemon()) << site->daemon_log();
        ASSERT_TRUE(site->start_httpd()) << site->httpd_output();
        admin = "Cookie: " + login("anne", "anne-secret-1");
        normal = "Cookie: " + login("nora", "nora-secret-1");
    }
    static void TearDownTestSuite() {
        delete site;
        site = nullptr;
    }
    static std::string login(const std::string &name, const std::string &password) {
        Multipart form;
        form.value("U", name).value("P", password);
        HttpResponse r = site->post("/main", form);
        std::string header = r.header("set-cookie");
        EXPECT_EQ(header.rfind("U=", 0), 0u) << r.head << r.body;
        return header.substr(0, header.find(';'));
    }
    static HttpResponse page(const std::string &display, const std::string &trail, const std::string &command,
                             const std::string &cookie = admin) {
        return site->get("/main?content&" + display + "&" + trail + list_args + "&" + command, {cookie});
    }
    static HttpResponse list(const std::string &cookie = admin) {
        return page("content", "A", "list", cookie);
    }
    static HttpResponse action(const std::string &command, const std::string &cookie = admin) {
        return page("none", "N", command, cookie);
    }
    static std::string error_of(const HttpResponse &r) {
        size_t at = r.body.find("<SPAN><B>Error:</B> ");
        return at == std::string::npos ? "" : r.body.substr(at, r.body.find("</SPAN>", at) - at);
    }
};
ApacheSite *ListSite::site = nullptr;
std::string ListSite::admin;
std::string ListSite::normal;

TEST_F(ListSite, PagingSortFiltersAndMatchOverThreeHundredUsers) {
    HttpResponse r = list();
    ASSERT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("User Profile List"), std::string::npos) << r.body;
    EXPECT_NE(r.body.find("ALT=\"Add New Entry\""), std::string::npos);
    EXPECT_NE(r.body.find(">Trash</A>"), std::string::npos);
    EXPECT_NE(r.body.find("Total records [ 304 ]"), std::string::npos) << "300, anne, nora, eve, admin";
    EXPECT_NE(r.body.find(">Page 1 of 16</A>"), std::string::npos);
    std::vector<std::string> got = names(r.body);
    ASSERT_EQ(got.size(), 20u) << r.body;
    // By full name, ascending: the hostile name sorts first ("<"), then the people's names.
    EXPECT_EQ(got[0], "&lt;script&gt;alert(&quot;F&quot;)&lt;/script&gt;&amp;amp;'");
    EXPECT_EQ(got[1], "Anne Able");
    EXPECT_EQ(got[4], person(0));
    EXPECT_EQ(got[19], person(15));

    // An option command answers with the reload page that goes back to the list along the trail.
    HttpResponse reload = action("page_select_page&page&3");
    EXPECT_NE(reload.body.find("<TITLE>Reload</TITLE>"), std::string::npos) << reload.body;
    EXPECT_NE(reload.body.find("location =\"main?content\\x26content\\x26A\\x26setup\\x260\\x260\\x260\\x26"
                               "passwd_profile\\x26list\"\n"),
              std::string::npos)
        << reload.body;
    r = list();
    got = names(r.body);
    ASSERT_EQ(got.size(), 20u);
    EXPECT_EQ(got[0], person(36));
    EXPECT_NE(r.body.find(">Page 3 of 16</A>"), std::string::npos);

    // 100 lines per page: page 3 holds rows 201 to 300; a page beyond the end shows the last one.
    EXPECT_NE(action("page_select_amount&amount&100").body.find("window.close();"), std::string::npos);
    got = names(list().body);
    ASSERT_EQ(got.size(), 100u);
    EXPECT_EQ(got.front(), person(196));
    EXPECT_EQ(got.back(), person(295));
    action("page_select_page&page&40");
    r = list();
    got = names(r.body);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got.back(), person(299));
    EXPECT_NE(r.body.find(">Page 4 of 4</A>"), std::string::npos);

    // Sorting by the user name twice: descending (u299 first); the full name's sort is dropped.
    action("page_select_page&page&1");
    action("sort_toggle&U");
    action("sort_toggle&U");
    got = names(list().body);
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0], person(299));
    EXPECT_EQ(got[1], person(298));

    // The permission filter keeps the view-only people (and eve), in the current sort.
    HttpResponse window = page("blank", "N", "option_select&PM");
    EXPECT_NE(window.body.find("<SELECT NAME=\"FilSelPM\" onchange=\"filterPM()\">\n"), std::string::npos)
        << window.body;
    EXPECT_NE(window.body.find(">View Only</OPTION>"), std::string::npos);
    EXPECT_NE(window.body.find(">Admin</OPTION>"), std::string::npos);
    EXPECT_NE(action("filter_select&PM&View%20Only")
                  .body.find("window.opener.location.reload(); \nwindow.close();"),
              std::string::npos);
    r = list();
    EXPECT_NE(r.body.find("Total records [ 101 ]"), std::string::npos) << r.body;
    got = names(r.body);
    ASSERT_EQ(got.size(), 100u);
    EXPECT_EQ(got[0], person(297));

    // The match of the full name, posted from the filter window as a browser posts it.
    Multipart match;
    match.value("MATCH_GO", "F")
        .value("MATCH_CLEAR", "")
        .value("MATCH_KEYWORD", "F")
        .value("MATCHF", "person 1");
    HttpResponse posted = site->post("/main?content&none&N" + list_args + "&picker", match, {admin});
    EXPECT_NE(posted.body.find("window.close();"), std::string::npos) << posted.body;
    action("sort_toggle&F");
    got = names(list().body);
    // View-only people (multiples of 3) whose name holds "person 1": 102, 105 ... 198 and 120 ... 129's.
    std::vector<std::string> want;
    for (int i = 100; i < 200; i++)
        if (i % 3 == 0)
            want.push_back(person(i));
    EXPECT_EQ(got, want);

    // Clearing every filter brings everyone back, still in pages of 100.
    action("filter_clear&F&clear_all");
    r = list();
    EXPECT_NE(r.body.find("Total records [ 304 ]"), std::string::npos);
    EXPECT_EQ(names(r.body).size(), 100u);
    // The normal user's own options are untouched: 20 lines, the only row being her own.
    r = list(normal);
    EXPECT_NE(r.body.find("Total records [ 1 ]"), std::string::npos) << r.body;
    EXPECT_EQ(names(r.body), std::vector<std::string>{"Nora Normal"});
}

TEST_F(ListSite, ElementPagesHistoryAndBatchListing) {
    // The element page of the hostile user: every value escaped, the title too.
    HttpResponse r = page("content", "A", "view&ID&400");
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.body.find("<script>alert"), std::string::npos);
    EXPECT_EQ(r.body.find("<img src=x"), std::string::npos);
    EXPECT_NE(r.body.find("&lt;script&gt;alert(&quot;F&quot;)&lt;/script&gt;&amp;amp;'"), std::string::npos)
        << r.body;
    EXPECT_NE(r.body.find("&quot;&gt;&lt;img src=x onerror=alert(1)&gt;@example.com"), std::string::npos);
    EXPECT_NE(r.body.find("<B> Full Name </B>"), std::string::npos);
    EXPECT_NE(r.body.find("ALT=\"History\""), std::string::npos);
    // Its Edit button opens the edit form in the content frame, outside the trail.
    EXPECT_NE(
        r.body.find("<A HREF=\"main?content&blank&N&setup&0&0&0&passwd_profile&edit_start&ID&400\">Edit</A>"),
        std::string::npos)
        << r.body;

    // Its history: the entries with their operations; texts escaped.
    r = site->get("/main?content&content&A&setup&0&0&0&passwd_history&400&list", {admin});
    EXPECT_NE(r.body.find("Total records [ 2 ]"), std::string::npos) << r.body;
    EXPECT_NE(r.body.find("> Created </TD>"), std::string::npos);
    EXPECT_NE(r.body.find("> Modified </TD>"), std::string::npos);
    EXPECT_NE(r.body.find("&lt;b&gt;host&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(r.body.find("<b>host"), std::string::npos);
    site->get("/main?content&none&N&setup&0&0&0&passwd_history&400&advanced_toggle", {admin});
    r = site->get("/main?content&content&A&setup&0&0&0&passwd_history&400&list", {admin});
    EXPECT_NE(r.body.find("Full Name Changed from (x) to (&lt;i&gt;y&lt;/i&gt;)"), std::string::npos)
        << r.body;
    // A history is shown only for an element that exists, and to those who may see histories.
    r = site->get("/main?content&content&A&setup&0&0&0&passwd_history&999&list", {admin});
    EXPECT_NE(error_of(r).find("There is no element 999 in passwd whose history you may see"),
              std::string::npos)
        << r.body;
    r = site->get("/main?content&content&A&setup&0&0&0&passwd_history&400&list", {normal});
    EXPECT_NE(error_of(r).find("Sorry you don't have sufficient access privileges for this operation list"),
              std::string::npos)
        << r.body;

    // The batch listing: plain text, values form-protected, no password hash.
    r = action("blist");
    EXPECT_EQ(r.header("content-type"), "text/plain");
    EXPECT_EQ(
        r.body.rfind("MORVALE_VERSION=\"3.3 (build_180)\"\nKEYWORDS=\"ID, FULL_NAME, USER_NAME, PASSWD, ", 0),
        0u)
        << r.body.substr(0, 300);
    size_t blocks = 0;
    for (size_t at = r.body.find("\n------\n"); at != std::string::npos;
         at = r.body.find("\n------\n", at + 1))
        blocks++;
    EXPECT_EQ(blocks, 305u) << "the keyword line's separator and one per user";
    EXPECT_NE(
        r.body.find("ID=\"400\"\nFULL_NAME=\"&lt;script&gt;alert(&quot;F&quot;)&lt;/script&gt;&amp;amp;'\"\n"
                    "USER_NAME=\"eve\"\n"),
        std::string::npos)
        << r.body.substr(0, 2000);
    EXPECT_EQ(r.body.find("$y$"), std::string::npos) << "no password hash leaves the server";
    EXPECT_EQ(r.body.find("<script>"), std::string::npos);
}

TEST_F(ListSite, TheGroupListWithItsOwnTitleAndColumns) {
    HttpResponse r = site->get("/main?content&content&A&setup&0&0&0&groups&list", {admin});
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(error_of(r), "") << r.body;
    EXPECT_NE(r.body.find("Group Name"), std::string::npos) << r.body;
    EXPECT_NE(r.body.find("Total records [ 1 ]"), std::string::npos) << "the group of everyone";
    EXPECT_NE(r.body.find("> ^all </TD>"), std::string::npos);
    r = site->get("/main?content&content&A&setup&0&0&0&groups_deleted&list", {admin});
    EXPECT_NE(r.body.find("Total records [ 0 ]"), std::string::npos) << r.body;
    EXPECT_NE(r.body.find("ALT=\"Go back\""), std::string::npos);
}

TEST_F(ListSite, WhatANormalUserIsRefusedAndForgedArguments) {
    // A normal user sees her own profile only, and no column she may not see in the filter window.
    HttpResponse r = page("content", "A", "view&ID&2", normal);
    EXPECT_NE(error_of(r).find("Sorry you don't have sufficient access privileges for this operation view"),
              std::string::npos)
        << r.body;
    r = page("blank", "N", "option_select&PM", normal);
    EXPECT_NE(error_of(r).find("The column PM of passwd_profile has no filter"), std::string::npos) << r.body;
    r = site->get("/main?content&content&A&setup&0&0&0&groups&list", {normal});
    EXPECT_NE(error_of(r).find("Sorry you don't have sufficient access privileges for this operation list"),
              std::string::npos)
        << r.body;
    r = site->get("/main?content&none&N&setup&0&0&0&groups&sort_toggle&N", {normal});
    EXPECT_NE(error_of(r).find("Sorry you don't have sufficient access privileges"), std::string::npos);

    // Forged arguments: a clear message, escaped; the index and list ids must be numbers the tree has.
    for (auto [target, message] : std::vector<std::pair<std::string, std::string>>{
             {"/main?content&none&N" + list_args + "&sort_toggle&%3Cimg%20src%3Dx%3E",
              "No keyword &lt;img src=x&gt; exists"},
             {"/main?content&none&N" + list_args + "&page_select_page&page&1%3Cb%3E",
              "The argument 1&lt;b&gt; is not a number"},
             {"/main?content&content&A&setup&0&0&0&passwd_profile&view&ID&%3Cb%3E",
              "Can't find ID number &lt;b&gt; in passwd_profile records"},
             {"/main?content&content&A&setup&0&999&0&passwd_profile&list", "List ID 999 out of range"},
             {"/main?content&content&A&setup&..%2F1&0&0&passwd_profile&list",
              "Index ID ../1 is not a number"},
             {"/main?content&content&A&setup&0&0&0&passwd_history&..%2F2&list",
              "The history element argument is not an id"}}) {
        r = site->get(target, {admin});
        EXPECT_EQ(r.status, 200);
        EXPECT_NE(error_of(r).find(message), std::string::npos) << target << "\n" << r.body;
        EXPECT_EQ(r.body.find("<img src=x>"), std::string::npos);
        EXPECT_EQ(r.body.find("<b>"), std::string::npos) << target;
    }
}

} // namespace
