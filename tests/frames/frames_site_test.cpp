// The frameset through the real Apache with the module, logged in with the cookie the login page sets:
// the frameset and its frame addresses, the top bar with the tabs each user may see, the left columns
// of the tabs, the content frame's guard and foot, the last place visited per tab (recorded only for
// pages served in real tabs, replayed by the tab links, refused when hand-made unsafe), hostile
// arguments and names coming back escaped, a user without the documents tab landing on the first tab
// he may see, and the site's own tab from the setup.
#include "e2e_users.h"
#include "support/apache_site.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;

bool has(const std::string &text, const std::string &what) {
    return text.find(what) != std::string::npos;
}

size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

// The address of a frame in a frameset page. (Plain searches: std::regex draws warnings in the
// sanitizer build.)
std::string frame_src(const std::string &page, const std::string &name) {
    size_t at = page.find("\" NAME=\"" + name + "\"");
    size_t src = at == std::string::npos ? std::string::npos : page.rfind("<FRAME SRC=\"", at);
    if (src == std::string::npos)
        return "";
    src += std::string("<FRAME SRC=\"").size();
    std::string text = page.substr(src, at - src);
    return text.find('"') == std::string::npos ? text : "";
}

// The HREF of a tab in a top bar, found by its label.
std::string tab_href(const std::string &nav, const std::string &label) {
    for (const char *cls : {"CLASS=NavTab>", "CLASS=NavTabSel>"}) {
        const std::string lead = std::string(cls) + "&nbsp;<A TARGET=\"_top\" HREF=\"";
        for (size_t at = nav.find(lead); at != std::string::npos; at = nav.find(lead, at + 1)) {
            size_t begin = at + lead.size();
            size_t end = nav.find('"', begin);
            size_t close = end == std::string::npos ? end : nav.find('>', end);
            if (close != std::string::npos && nav.compare(close + 1, label.size() + 4, label + "</A>") == 0)
                return nav.substr(begin, end - begin);
        }
    }
    return "";
}

// Does the text start with `head`, go on with a decimal number and end with `tail`?
bool number_between(const std::string &text, const std::string &head, const std::string &tail) {
    if (text.size() <= head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    std::string middle = text.substr(head.size(), text.size() - head.size() - tail.size());
    return middle.find_first_not_of("0123456789") == std::string::npos;
}

struct Site {
    ApacheSite site;
    std::string lib;

    explicit Site(const std::string &extra_setup = "") : site(extra_setup) {
        lib = site.home + "/user/lib";
        mot_test::write_users(
            site.home,
            {{.id = 2, .name = "boss", .password = "pw-boss", .privilege = 100, .full_name = "Big Boss"},
             {.id = 3,
              .name = "norm",
              .password = "pw-norm",
              .privilege = 40,
              .full_name = "<b>\"Norm\" & 'Al'</b><script>alert(1)</script>",
              .groups = "2,"},
             {.id = 5, .name = "viewer", .password = "pw-view", .privilege = 20, .full_name = "Vi Ewer"}},
            site.uid, site.gid);
    }

    bool start() { return site.start_daemon() && site.start_httpd(); }

    std::string login(const std::string &name, const std::string &password) {
        Multipart form;
        form.value("U", name).value("P", password);
        HttpResponse r = site.post("/main", form);
        for (auto it = r.headers.lower_bound("set-cookie"); it != r.headers.upper_bound("set-cookie"); ++it) {
            std::string c = it->second.substr(0, it->second.find(';'));
            if (c.rfind("U=", 0) == 0 && c != "U=:")
                return "Cookie: " + c;
        }
        ADD_FAILURE() << "no login cookie for " << name << "\n" << r.head << r.body << site.error_log();
        return "";
    }

    HttpResponse get(const std::string &cookie, const std::string &target) {
        return site.get(target[0] == '/' ? target : "/" + target, {cookie});
    }
    // Opens the form (which takes the record's lock) and posts it.
    HttpResponse save(const std::string &cookie, const std::string &stype, Multipart form) {
        get(cookie, "/main?content&blank&N&setup&0&0&0&" + stype + "&edit_start");
        form.value("OK.x", "4");
        return site.post("/main?content&none&N&setup&0&0&0&" + stype + "&edit_end", form, {cookie});
    }
    std::string last_file(int user_id, const std::string &tab) {
        return site.home + "/user/user_defaults/trail/" + std::to_string(user_id) + "/last_" + tab;
    }
    void put(const std::string &path, const std::string &text) {
        mot_test::write_file(path, text);
        if (getuid() == 0 && chown(path.c_str(), site.uid, site.gid) != 0)
            ADD_FAILURE() << "chown " << path;
    }
};

const char frameset_lines[] =
    "    <FRAMESET COLS=\"*\" ROWS=\"130,*\" FRAMEBORDER=\"NO\" BORDER=\"0\" FRAMESPACING=\"0\" onResize "
    "=\"if (NETSCAPE) restore();\"> \n";

TEST(FramesSite, AdministratorWorksInTheFrameset) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    ASSERT_FALSE(boss.empty());

    // An empty address opens the documents tab in the whole frameset.
    HttpResponse r = s.get(boss, "/main");
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(has(r.body, frameset_lines)) << r.body;
    EXPECT_TRUE(has(r.body, "  <FRAMESET COLS=\"200,*\" ROWS=\"*\" FRAMEBORDER=\"NO\" BORDER=\"0\" "
                            "FRAMESPACING=\"0\"> \n"))
        << r.body;
    EXPECT_TRUE(has(r.body, "  </FRAMESET>\n</FRAMESET>\n<NOFRAMES>\n<BODY BGCOLOR=#FFFAF2 LINK=Black "
                            "VLINK=Black ALINK=Black>\n</BODY></NOFRAMES>\n</HTML>\n"))
        << r.body;
    EXPECT_TRUE(has(r.body, "function restore()")) << r.body;
    std::string nav = frame_src(r.body, "nav");
    std::string dir = frame_src(r.body, "dir");
    std::string content = frame_src(r.body, "content");
    ASSERT_TRUE(number_between(nav, "main?nav&nav&A&docs&0&", "&0&litem_docs&list")) << nav;
    std::string docs_id = nav.substr(std::string("main?nav&nav&A&docs&0&").size());
    docs_id = docs_id.substr(0, docs_id.find('&'));
    EXPECT_EQ(dir, "main?dir&dir&A&docs&0&" + docs_id + "&0&litem_docs&list");
    EXPECT_EQ(content, "main?content&content&A&docs&0&" + docs_id + "&0&litem_docs&list");
    EXPECT_TRUE(
        has(r.body, "  <FRAME SRC=\"" + nav +
                        "\" NAME=\"nav\" SCROLLING=\"NO\" MARGINWIDTH=\"0\" MARGINHEIGHT=\"0\" NORESIZE "
                        "FRAMEBORDER=\"NO\">\n"))
        << r.body;
    EXPECT_TRUE(
        has(r.body, "    <FRAME SRC=\"" + content +
                        "\" NAME=\"content\" MARGINWIDTH=\"0\" MARGINHEIGHT=\"0\" FRAMEBORDER=\"NO\">\n"))
        << r.body;

    // The top bar: every tab for an administrator, the documents tab selected.
    r = s.get(boss, nav);
    ASSERT_EQ(r.status, 200);
    const std::string &bar = r.body;
    EXPECT_TRUE(has(bar, "onLoad=\"reloadFrame();\"")) << bar;
    EXPECT_TRUE(has(bar, "var guard = /\\?nav&nav&[^&]&/;")) << bar;
    EXPECT_TRUE(has(bar, "function NewWindow(")) << bar;
    EXPECT_TRUE(has(bar, "<TD  WIDTH=20% VALIGN=MIDDLE BGCOLOR=#9CB2A5 CLASS=GenTitle NOWRAP><SPACER "
                         "TYPE=HORIZONTAL SIZE=10>Welcome <B>Big Boss</B>\n"))
        << bar;
    EXPECT_TRUE(has(bar, "&nbsp;<SPAN CLASS=SMALLEST><A TARGET=\"_top\" "
                         "HREF=\"main?content&none&N&docs&0&0&0&about&logout\">logout</A></SPAN>\n"))
        << bar;
    EXPECT_TRUE(has(bar, "<FONT COLOR=\"Black\">")) << "the maker's link\n" << bar;
    EXPECT_TRUE(has(bar, "images/icons/prod_logo.gif")) << bar;
    for (const char *label :
         {"Docs", "Tables", "Mail Groups", "My Info", "Company Info", "Support", "Setup", "About"})
        EXPECT_NE(tab_href(bar, label), "") << label << "\n" << bar;
    EXPECT_TRUE(
        has(bar, "CLASS=NavTabSel>&nbsp;<A TARGET=\"_top\" HREF=\"" + tab_href(bar, "Docs") + "\">Docs</A>"))
        << bar;
    EXPECT_EQ(count(bar, "CLASS=NavTabSel>"), 1u) << bar;
    EXPECT_TRUE(
        number_between(tab_href(bar, "Setup"), "main?top&frames&A&setup&0&", "&0&passwd_profile&list"))
        << tab_href(bar, "Setup");
    EXPECT_TRUE(has(bar,
                    "HREF=\"main?content&blank&N&docs&0&0&0&about&view\" "
                    "onclick=\"NewWindow(this.href,'name','470','430','yes'); return false; \">About</A>"))
        << bar;
    EXPECT_EQ(tab_href(bar, "Support"), "main?top&frames&A&support&0&0&0&support&download");
    EXPECT_TRUE(
        number_between(tab_href(bar, "My Info"), "main?top&frames&A&desk&0&", "&0&passwd_profile&view&ID&2"))
        << tab_href(bar, "My Info");

    // The left columns.
    r = s.get(boss, "/main?dir&dir&A&setup");
    ASSERT_EQ(r.status, 200);
    for (const char *label :
         {"User Profile List", "Group List", "General Setup", "Default Access Lists", "Doc File Types"})
        EXPECT_TRUE(has(r.body, std::string("\" TARGET=\"content\">") + label + "</A><BR>"))
            << label << r.body;
    // The type lists of tables and document folders are not in this installation: their folders are
    // out of everyone's reach, and the column still comes whole.
    for (const char *label : {"Doc Folder Types", "Doc Number Schemes", "Table Types"})
        EXPECT_FALSE(has(r.body, std::string("\" TARGET=\"content\">") + label + "</A><BR>"))
            << label << r.body;
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_TRUE(has(r.body, "<TD BGCOLOR=#9CB2A5 CLASS=DirButton>\n")) << r.body;
    EXPECT_TRUE(has(r.body, "<A HREF=\"main?content&content&R&setup&0&0&0&tab_gen&view\" TARGET=\"content\">"
                            "<IMG  BORDER=0 SRC=\"images/system_file_types/icons/tab.gif\" ALT=\"General "
                            "Setup\"></A>"))
        << r.body;
    EXPECT_TRUE(has(r.body, "</BODY></HTML>\n")) << "the column is a page of its own\n" << r.body;
    EXPECT_EQ(r.header("content-type").substr(0, 9), "text/html");

    r = s.get(boss, "/main?dir&dir&A&support");
    EXPECT_TRUE(has(r.body, "HREF=\"main?content&content&R&support&0&0&0&support&download\" "
                            "TARGET=\"content\">Batch/CLI Download</A>"))
        << r.body;
    EXPECT_TRUE(has(r.body, "TARGET=\"_blank\">Report an Issue</A>")) << r.body;
    EXPECT_TRUE(has(r.body, "TARGET=\"_blank\">Request a Feature</A>")) << r.body;

    r = s.get(boss, "/main?dir&dir&A&desk");
    EXPECT_TRUE(has(r.body, "&passwd_profile&view&ID&2\" TARGET=\"content\">My Profile</A>")) << r.body;
    EXPECT_TRUE(has(r.body, "&view&ID&2\" TARGET=\"content\">My Contact Info</A>")) << r.body;

    r = s.get(boss, "/main?dir&dir&A&docs");
    EXPECT_TRUE(has(r.body, "Documents")) << r.body;

    // A content page: the guard that puts it back into the frameset, and the help foot.
    r = s.get(boss, content);
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(has(r.body, "onLoad=\"reloadFrame(); if (typeof(picker_reset) != 'undefined') "
                            "{picker_reset();}\""))
        << r.body;
    EXPECT_TRUE(has(r.body, "var guard = /\\?content&content&[^&]&/;")) << r.body;
    EXPECT_TRUE(has(r.body, "location.replace(here.replace(guard, \"?top&frames&R&\"))")) << r.body;
    EXPECT_TRUE(has(r.body,
                    "<HR>\n<DIV>\n<CENTER CLASS=FOOTER>\nFor help send email to <A "
                    "HREF=\"mailto:support@example.com\"> support@example.com</A>.\n</CENTER>\n</DIV>\n"
                    "</BODY></HTML>\n"))
        << r.body;
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(s.site.crash_lines(), "");
}

TEST(FramesSite, LastPlacesVisitedBringTheUserBack) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    ASSERT_FALSE(boss.empty());
    const std::string nav = "/main?nav&nav&A&setup&0&0&0&tab_gen&view";
    std::string before = tab_href(s.get(boss, nav).body, "Setup");
    ASSERT_NE(before, "");

    // A page served in the setup tab becomes its link; the frameset link reopens it.
    HttpResponse r = s.get(boss, "/main?content&content&A&setup&0&0&0&tab_access&view");
    ASSERT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(mot_test::read_file(s.last_file(2, "setup")), "&setup&0&0&0&tab_access&view");
    std::string link = tab_href(s.get(boss, nav).body, "Setup");
    EXPECT_EQ(link, "main?top&frames&A&setup&0&0&0&tab_access&view");
    r = s.get(boss, link);
    EXPECT_EQ(frame_src(r.body, "content"), "main?content&content&A&setup&0&0&0&tab_access&view") << r.body;
    EXPECT_EQ(frame_src(r.body, "dir"), "main?dir&dir&A&setup&0&0&0&tab_access&view") << r.body;
    EXPECT_TRUE(has(s.get(boss, frame_src(r.body, "content")).body, "Default Access List"));

    // A failing page, a posted form and a made-up tab change nothing.
    r = s.get(boss, "/main?content&content&A&setup&0&0&0&tab_gen&nosuch");
    EXPECT_TRUE(has(r.body, "Operation nosuch not valid")) << r.body;
    r = s.get(boss, "/main?content&content&A&setup&0&0&0&tab_gen&view&extra");
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.site.post("/main?content&content&A&setup&0&0&0&tab_gen&view", Multipart().value("X", "1"), {boss});
    r = s.get(boss, "/main?content&content&A&junk&0&0&0&tab_gen&view");
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(mot_test::read_file(s.last_file(2, "setup")), "&setup&0&0&0&tab_access&view");
    struct stat st {};
    EXPECT_NE(stat(s.last_file(2, "junk").c_str(), &st), 0) << "no file for a tab that does not exist";

    // Arguments come back escaped in every address they are joined into.
    r = s.get(boss, "/main?top&frames&A&setup&0&0&0&tab_gen&view&x%22%3E%3Cscript%3Ealert(1)%3C%2Fscript%3E"
                    "%26y%3D1");
    EXPECT_FALSE(has(r.body, "<script>alert")) << r.body;
    EXPECT_EQ(
        frame_src(r.body, "content"),
        "main?content&content&A&setup&0&0&0&tab_gen&view&x%22%3e%3cscript%3ealert(1)%3c/script%3e%26y=1")
        << r.body;

    // A stored place that is hand-made unsafe, or too long, is not replayed: the tab opens its default.
    s.put(s.last_file(2, "setup"), "&setup&0&0&0&tab_gen&view\"><script>alert(1)</script>");
    std::string bar = s.get(boss, nav).body;
    EXPECT_EQ(tab_href(bar, "Setup"), before) << bar;
    EXPECT_FALSE(has(bar, "<script>alert")) << bar;
    s.put(s.last_file(2, "setup"), "&setup&" + std::string(1500, '0'));
    EXPECT_EQ(tab_href(s.get(boss, nav).body, "Setup"), before);

    // Each user keeps his own places.
    std::string viewer = s.login("viewer", "pw-view");
    r = s.get(viewer, "/main?content&content&A&desk&0&0&0&about&view");
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(mot_test::read_file(s.last_file(5, "desk")), "&desk&0&0&0&about&view");
    EXPECT_NE(stat(s.last_file(2, "desk").c_str(), &st), 0);
    EXPECT_EQ(s.site.crash_lines(), "");
}

TEST(FramesSite, EachUserSeesHisOwnTabsAndNamesComeBackEscaped) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    std::string norm = s.login("norm", "pw-norm");
    ASSERT_FALSE(boss.empty() || norm.empty());

    HttpResponse r = s.get(norm, "/main");
    std::string nav = frame_src(r.body, "nav");
    ASSERT_TRUE(nav.rfind("main?nav&nav&A&docs&", 0) == 0) << r.body;
    std::string bar = s.get(norm, nav).body;
    EXPECT_TRUE(has(bar,
                    "Welcome <B>&lt;b&gt;&quot;Norm&quot; &amp; &#39;Al&#39;&lt;/b&gt;&lt;script&gt;alert(1)"
                    "&lt;/script&gt;</B>\n"))
        << bar;
    EXPECT_FALSE(has(bar, "<script>alert")) << bar;
    for (const char *label : {"Docs", "Tables", "Mail Groups", "My Info", "Company Info", "About"})
        EXPECT_NE(tab_href(bar, label), "") << label << "\n" << bar;
    EXPECT_EQ(tab_href(bar, "Setup"), "") << bar;
    EXPECT_EQ(tab_href(bar, "Support"), "") << "the support list is empty\n" << bar;

    r = s.get(norm, "/main?dir&dir&A&setup");
    EXPECT_TRUE(has(r.body, "Sorry you don't have access to the dir_type setup")) << r.body;
    EXPECT_FALSE(has(r.body, "General Setup")) << r.body;
    r = s.get(norm, "/main?dir&dir&A&nosuch");
    EXPECT_TRUE(has(r.body, "Display Command nosuch not valid")) << r.body;
    r = s.get(norm, "/main?dir&dir&A&desk");
    EXPECT_TRUE(has(r.body, "My Profile")) << r.body;
    r = s.get(norm, "/main?dir&dir&A&company");
    EXPECT_TRUE(has(r.body, "Contact Info List")) << r.body;

    // Without the documents tab the user lands on the first tab he may see.
    r = s.save(boss, "tab_access",
               Multipart().value("DVA", "boss").value("DEA", "boss").value("DLA", "boss"));
    ASSERT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    r = s.get(norm, "/main");
    nav = frame_src(r.body, "nav");
    EXPECT_TRUE(number_between(nav, "main?nav&nav&A&tables&0&", "&0&litem_table&list")) << r.body;
    bar = s.get(norm, nav).body;
    EXPECT_EQ(tab_href(bar, "Docs"), "") << bar;
    EXPECT_TRUE(has(bar, "CLASS=NavTabSel>&nbsp;<A TARGET=\"_top\" HREF=\"" + tab_href(bar, "Tables") +
                             "\">Tables</A>"))
        << bar;
    r = s.get(norm, "/main?dir&dir&A&docs");
    EXPECT_TRUE(has(r.body, "Sorry you don't have access to the dir_type docs")) << r.body;
    EXPECT_NE(tab_href(s.get(boss, nav).body, "Docs"), "") << "the administrator keeps it";
    EXPECT_EQ(s.site.crash_lines(), "");
}

TEST(FramesSite, TheSitesOwnTab) {
    Site s("USER_TAB_TEXT Our <Wiki>\nUSER_TAB_TYPE INTERNAL\nUSER_TAB_DIR_URL /wiki/dir?a='1'\n"
           "USER_TAB_CONTENT_URL /wiki/page\n");
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string norm = s.login("norm", "pw-norm");
    ASSERT_FALSE(norm.empty());
    std::string bar = s.get(norm, "/main?nav&nav&A&user&0&0&0&user&page").body;
    EXPECT_EQ(tab_href(bar, "Our &lt;Wiki&gt;"), "main?top&frames&A&user&0&0&0&user&page") << bar;
    EXPECT_TRUE(
        has(bar, "CLASS=NavTabSel>&nbsp;<A TARGET=\"_top\" HREF=\"main?top&frames&A&user&0&0&0&user&page\">"
                 "Our &lt;Wiki&gt;</A>"))
        << bar;
    HttpResponse r = s.get(norm, "/main?dir&dir&A&user");
    EXPECT_TRUE(has(r.body,
                    " <script language=\"Javascript\"> \n<!-- \n      location='/wiki/dir?a=\\x271\\x27'; \n"
                    "//--> \n</script> \n"))
        << r.body;
    r = s.get(norm, "/main?content&content&A&user&0&0&0&user&page");
    EXPECT_TRUE(has(r.body, "location='/wiki/page'")) << r.body;
    EXPECT_EQ(s.site.crash_lines(), "");
}

} // namespace
