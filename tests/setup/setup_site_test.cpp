// The general setup, the default access lists, the About box and the support pages through the real
// Apache with the module, logged in with the cookies the login page sets: an administrator sets the
// help address, the mail servers and accounts and the default access lists, which persist and show
// (passwords never); bad values are refused with a message and the stored record stays; normal users
// are refused the setup pages; a revoked support access is gone on the user's next request in every
// server process; the informational pages show their texts.
#include "support/apache_site.h"
#include "e2e_users.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstring>

#include <set>
#include <cstdlib>
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

struct Site {
    ApacheSite site;
    std::string lib;

    Site() {
        lib = site.home + "/user/lib";
        mot_test::write_users(
            site.home,
            {{.id = 2, .name = "boss", .password = "pw-boss", .privilege = 100, .full_name = "Big Boss"},
             {.id = 3, .name = "norm", .password = "pw-norm", .privilege = 40, .full_name = "Norm Al"},
             {.id = 4, .name = "gone", .password = "pw-gone", .privilege = 40, .deleted = true},
             {.id = 5, .name = "viewer", .password = "pw-view", .privilege = 20}},
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
        ADD_FAILURE() << "no login cookie for " << name << "\n"
                      << r.head << r.body << site.error_log() << site.daemon_log() << site.httpd_output()
                      << mot_test::read_file(site.home + "/generated/logs/httpd_access.log");
        return "";
    }

    static std::string link(const std::string &display, const std::string &trail, const std::string &stype,
                            const std::string &op) {
        return "/main?content&" + display + "&" + trail + "&setup&0&0&0&" + stype + "&" + op;
    }
    HttpResponse get(const std::string &cookie, const std::string &target) {
        return site.get(target, {cookie});
    }
    HttpResponse view(const std::string &cookie, const std::string &stype) {
        return get(cookie, link("content", "A", stype, "view"));
    }
    HttpResponse edit_form(const std::string &cookie, const std::string &stype) {
        return get(cookie, link("blank", "N", stype, "edit_start"));
    }
    // Opens the form (which takes the record's lock) and posts it.
    HttpResponse save(const std::string &cookie, const std::string &stype, Multipart form) {
        HttpResponse f = edit_form(cookie, stype);
        EXPECT_TRUE(has(f.body, "<FORM NAME=\"edit\"")) << f.body;
        form.value("OK.x", "4");
        return site.post(link("none", "N", stype, "edit_end"), form, {cookie});
    }
    std::string tab() { return mot_test::read_file(lib + "/tab/0"); }
    void put(const std::string &path, const std::string &text) {
        mot_test::write_file(path, text);
        if (getuid() == 0 && chown(path.c_str(), site.uid, site.gid) != 0)
            ADD_FAILURE() << "chown " << path;
    }
};

std::string general_form_values(Multipart &form) {
    form.value("HP", "help@corp.example")
        .value("MS", "smtp.corp.example")
        .value("MSU", "mailer<script>alert(\"x\")</script>")
        .value("MSP", "s3cret-smtp!")
        .value("PU", "mgpop")
        .value("PP", "s3cret-pop!")
        .value("PS", "pop.corp.example")
        .value("MF", "Text and HTML Combined");
    return "";
}

TEST(SetupSite, AdministratorSetsTheGeneralSetupWhichPersistsAndShowsWithoutPasswords) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    ASSERT_FALSE(boss.empty());

    // The first read makes the record with its defaults.
    HttpResponse r = s.view(boss, "tab_gen");
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(has(r.body, " <B><FONT color=white>General Setup</FONT></B>")) << r.body;
    for (const char *text :
         {"Help Email", "support@example.com", "Outgoing mail (SMTP) Server", "localhost",
          "SMTP User Name (optional)", "POP account name", "quennet", "POP Server", "Mail Format",
          "HTML Only", "CLASS=MainTitleButtons", "nav/edit.gif", "man/Morvale_user_manual.pdf"})
        EXPECT_TRUE(has(r.body, text)) << text << "\n" << r.body;
    EXPECT_FALSE(has(r.body, "Docs Default View List")) << "access lists belong to the other page";
    std::string file = s.tab();
    EXPECT_TRUE(has(file, "ID 1\n") && has(file, "HP support@example.com\n") && has(file, "MS localhost\n") &&
                has(file, "PU quennet\n") && has(file, "MF 1\n"))
        << file;
    EXPECT_FALSE(has(file, "DSEP")) << "separators hold no data\n" << file;

    // The edit form: the tab icon and "Edit of", OK and Cancel, the fields of this page only.
    r = s.edit_form(boss, "tab_gen");
    EXPECT_TRUE(has(r.body, "system_file_types/icons/tab.gif")) << r.body;
    EXPECT_TRUE(has(r.body, "<B><FONT color=white>Edit of General Setup</FONT></B>")) << r.body;
    EXPECT_TRUE(has(r.body, "NAME=\"OK\"") && has(r.body, "NAME=\"Cancel\"")) << r.body;
    EXPECT_TRUE(has(r.body, "NAME=\"MSP\"") && has(r.body, "NAME=\"HP\"")) << r.body;
    EXPECT_FALSE(has(r.body, "NAME=\"DVA\"") || has(r.body, "NAME=\"DEL\"")) << r.body;

    Multipart form;
    general_form_values(form);
    r = s.save(boss, "tab_gen", form);
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    file = s.tab();
    for (const char *line : {"HP help@corp.example\n", "MS smtp.corp.example\n", "MSP s3cret-smtp!\n",
                             "PU mgpop\n", "PP s3cret-pop!\n", "PS pop.corp.example\n", "MF 2\n"})
        EXPECT_TRUE(has(file, line)) << line << file;

    // Shown on the next request, passwords as stars, hostile text escaped; the footer of every content
    // page takes the new help address at once.
    r = s.view(boss, "tab_gen");
    EXPECT_TRUE(has(r.body, "smtp.corp.example") && has(r.body, "Text and HTML Combined")) << r.body;
    EXPECT_TRUE(has(r.body, "mailer&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;")) << r.body;
    EXPECT_FALSE(has(r.body, "<script>alert")) << r.body;
    EXPECT_TRUE(has(r.body, "mailto:help@corp.example")) << r.body;
    EXPECT_TRUE(has(r.body, "********")) << r.body;
    r = s.edit_form(boss, "tab_gen");
    for (const HttpResponse &page : {s.view(boss, "tab_gen"), r})
        EXPECT_FALSE(has(page.body, "s3cret")) << page.body;
    EXPECT_TRUE(has(r.body, "VALUE=\"********\"")) << r.body;

    // The placeholder posted back keeps the stored passwords; an empty field clears one.
    Multipart keep;
    keep.value("HP", "help@corp.example")
        .value("MSP", "********")
        .value("PP", "")
        .value("MS", "smtp.corp.example");
    s.save(boss, "tab_gen", keep);
    file = s.tab();
    EXPECT_TRUE(has(file, "MSP s3cret-smtp!\n")) << file;
    EXPECT_FALSE(has(file, "s3cret-pop!")) << file;

    // Bad values: a clear message, and the stored record stays as it was.
    std::string before = s.tab();
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"MS", "smtp.corp.example:25"}, {"MS", "smtp corp"}, {"PS", "pop\r\nRCPT TO:<x>"}, {"MS", ""},
        {"HP", "not an address"},       {"HP", "<a@b>"}};
    for (const auto &[field, value] : bad) {
        Multipart f;
        f.value(field, value);
        r = s.save(boss, "tab_gen", f);
        EXPECT_TRUE(has(r.body, "Error")) << field << "=" << value << "\n" << r.body;
        EXPECT_FALSE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
        EXPECT_EQ(s.tab(), before) << field << "=" << value;
    }
    r = s.save(boss, "tab_gen", Multipart().value("MS", "smtp.corp.example:25"));
    EXPECT_TRUE(has(r.body, "without a port, blanks or line breaks")) << r.body;

    // Cancel saves nothing, and the form's lock is given back: the next form opens at once.
    r = s.site.post(Site::link("none", "N", "tab_gen", "edit_end"),
                    Multipart().value("MS", "cancelled.example").value("Cancel.x", "3"), {boss});
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    EXPECT_EQ(s.tab(), before);
    // A second post of a form whose lock is gone is refused.
    r = s.site.post(Site::link("none", "N", "tab_gen", "edit_end"),
                    Multipart().value("MS", "late.example").value("OK.x", "1"), {boss});
    EXPECT_TRUE(has(r.body, "Error")) << r.body;
    EXPECT_EQ(s.tab(), before);

    // No password ever reached a log.
    std::string logs = s.site.error_log() + s.site.daemon_log();
    EXPECT_FALSE(has(logs, "s3cret")) << logs;
    EXPECT_EQ(s.site.crash_lines(), "");

    // A hand-damaged file: every page says what is wrong with it, and nothing overwrites it.
    std::string damaged = "ID 1\nNEW 0\nDEL 0\nHP help@corp.example\nDVA 1 2\n";
    s.put(s.lib + "/tab/0", damaged);
    r = s.view(boss, "tab_gen");
    EXPECT_TRUE(has(r.body, "Error") && has(r.body, "tab/0")) << r.body;
    EXPECT_EQ(s.tab(), damaged);
}

TEST(SetupSite, DefaultAccessListsNormalUsersAndRevocationInEveryServerProcess) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    std::string norm = s.login("norm", "pw-norm");
    ASSERT_FALSE(boss.empty() || norm.empty());

    // Everyone ("all") on the view and edit lists, nobody on the librarian and support lists.
    HttpResponse r = s.view(boss, "tab_access");
    EXPECT_TRUE(has(r.body, " <B><FONT color=white>Default Access List</FONT></B>")) << r.body;
    for (const char *text :
         {"Docs", "Tables", "Mail Groups", "Company Info", "Support", "Docs Default View List",
          "Tables Default Librarian List", "Mail Groups Default Edit List", "Company Info Access List",
          "Support Access List", "^all"})
        EXPECT_TRUE(has(r.body, text)) << text << "\n" << r.body;
    EXPECT_FALSE(has(r.body, "Help Email")) << r.body;
    // "everyone" is the system group "all" (system id 1), by its id in the group list.
    std::string file = s.tab();
    // (Plain searches: std::regex draws warnings in the sanitizer build.)
    size_t dva = file.find("\nDVA ^");
    ASSERT_NE(dva, std::string::npos) << file;
    std::string all_id = file.substr(dva + 6, file.find(',', dva) - dva - 6);
    ASSERT_FALSE(all_id.empty()) << file;
    ASSERT_EQ(all_id.find_first_not_of("0123456789"), std::string::npos) << file;
    ASSERT_EQ(file.compare(dva + 6 + all_id.size(), 4, ",^0\n"), 0) << file;
    std::string groups = mot_test::read_file(s.lib + "/groups/0");
    EXPECT_TRUE(has(groups, "ID " + all_id + "\nNEW 0\nDEL 0\nN ^all\nSID 1\n")) << groups;
    for (const char *kw : {"DEA", "TVA", "TEA", "MVA", "MEA", "CVA"})
        EXPECT_TRUE(has(file, std::string("\n") + kw + " ^" + all_id + ",^0\n")) << kw << "\n" << file;
    for (const char *kw : {"DLA", "TLA", "MLA", "SVA"})
        EXPECT_TRUE(has(file, std::string("\n") + kw + " ^^0\n")) << kw << "\n" << file;

    // The editor of the lists has no parent part.
    r = s.edit_form(boss, "tab_access");
    EXPECT_TRUE(has(r.body, "NAME=\"SVA\"") && has(r.body, "Add Users to List")) << r.body;
    EXPECT_FALSE(has(r.body, "PARENT")) << r.body;
    EXPECT_TRUE(has(r.body, "<B><FONT color=white>Edit of Default Access List</FONT></B>")) << r.body;

    // Normal users are refused every setup command, whatever they post.
    std::string before = s.tab();
    for (std::string stype : {"tab_gen", "tab_access"}) {
        for (std::string op : {"view", "edit_start", "edit_adv"}) {
            r = s.get(norm, Site::link("content", "A", stype, op));
            EXPECT_TRUE(
                has(r.body, "Sorry you don't have sufficient access privileges for this operation " + op))
                << stype << " " << op << "\n"
                << r.body;
        }
        r = s.site.post(Site::link("none", "N", stype, "edit_end"),
                        Multipart().value("SVA", "norm").value("MS", "evil.example").value("OK.x", "1"),
                        {norm});
        EXPECT_TRUE(has(r.body, "Sorry you don't have sufficient access privileges")) << r.body;
    }
    EXPECT_EQ(s.tab(), before);

    // The download page needs the support list.
    const std::string download = "/main?content&content&A&support&0&0&0&support&download";
    r = s.get(norm, download);
    EXPECT_TRUE(has(r.body, "Sorry you don't have sufficient access privileges for this operation download"))
        << r.body;

    // Unknown and deleted names are refused with a message; the lists stay.
    r = s.save(boss, "tab_access", Multipart().value("SVA", "ghost"));
    EXPECT_TRUE(has(r.body, "Can't find ghost")) << r.body;
    r = s.save(boss, "tab_access", Multipart().value("DLA", "gone"));
    EXPECT_TRUE(has(r.body, "names the user gone, who has been deleted")) << r.body;
    EXPECT_EQ(s.tab(), before);

    r = s.save(boss, "tab_access", Multipart().value("SVA", "norm, viewer").value("DLA", "norm"));
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    file = s.tab();
    EXPECT_TRUE(has(file, "\nSVA 3,5,^^0\n") && has(file, "\nDLA 3,^^0\n")) << file;
    r = s.view(boss, "tab_access");
    EXPECT_TRUE(has(r.body, "norm, viewer")) << r.body;

    // Granted: the page, with a plain sentence while the batch directory is empty, then the build
    // placed there with its size. Several server processes serve these and keep the record.
    for (int i = 0; i < 8; i++) {
        r = s.get(norm, download);
        ASSERT_TRUE(has(r.body, "<H3>kbatch Download</H3>")) << r.body;
    }
    for (const char *text :
         {"The <B>kbatch</B> program provides a command line batch interface to Morvale \n",
          "<B>kbatch</B> is ideal for batch checkins and for importing existing document structures to your "
          "Morvale library.<BR>\n",
          "<B>kbatch</B> can also be used to synchronize password and user lists with your other "
          "servers.<P>\n",
          "No build of <B>kbatch</B> has been installed", "man/kbatch_user_manual.pdf", "Batch Help",
          "Batch Download"})
        EXPECT_TRUE(has(r.body, text)) << text << "\n" << r.body;
    mkdir((s.site.home + "/install/batch/linux").c_str(), 0755);
    s.put(s.site.home + "/install/batch/linux/kbatch", std::string(2048, 'k'));
    r = s.get(norm, download);
    EXPECT_TRUE(has(r.body, "To download <B>kbatch</B> to your own machine, please choose from the following "
                            "operating systems.<P>"))
        << r.body;
    EXPECT_TRUE(has(r.body, "<TD VALIGN=TOP>Linux 6.0 or later</TD>")) << r.body;
    EXPECT_TRUE(has(r.body, "<A HREF=\"batch/linux/kbatch\">kbatch</A>&nbsp;&nbsp;(")) << r.body;
    EXPECT_TRUE(has(r.body, "<TD VALIGN=TOP CLASS=SMALL>3.3 Release</TD>")) << r.body;
    EXPECT_FALSE(has(r.body, "nt/kbatch.exe") || has(r.body, "No build")) << r.body;
    HttpResponse tool = s.site.get("/batch/linux/kbatch");
    EXPECT_EQ(tool.status, 200);
    EXPECT_EQ(tool.body.size(), 2048u);

    // Revoked: refused on the very next request, whichever server process answers.
    s.save(boss, "tab_access", Multipart().value("SVA", "viewer"));
    for (int i = 0; i < 12; i++) {
        r = s.get(norm, download);
        EXPECT_TRUE(has(r.body, "Sorry you don't have sufficient access privileges")) << i << "\n" << r.body;
    }
    std::string viewer = s.login("viewer", "pw-view");
    EXPECT_TRUE(has(s.get(viewer, download).body, "<H3>kbatch Download</H3>"));
    EXPECT_EQ(s.site.crash_lines(), "");
}

TEST(SetupSite, AboutBoxLogoutAndUserPage) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    s.put(s.site.home + "/install/misc/credits.txt",
          mot_test::read_file(std::string(MORVALE_SOURCE_DIR) + "/install/misc/credits.txt"));
    std::string norm = s.login("norm", "pw-norm");
    HttpResponse r = s.get(norm, "/main?content&blank&N&about&0&0&0&about&view");
    ASSERT_EQ(r.status, 200);
    for (const char *text :
         {"Quennet Systems - Morvale<BR><BR>\n", "Version: 3.3 (build_180-linux)<BR>\n",
          "icons/prod_logo.gif", "icons/company_logo.gif",
          "For more info: <A TARGET=\"_blank\" HREF=\"https://www.example.com/", "www.example.com</A>",
          "Mark James", "nav/ok.gif", "about&amp;logout", ">Logout</A>"})
        EXPECT_TRUE(has(r.body, text)) << text << "\n" << r.body;

    // Another type named with list id 0 is refused.
    r = s.get(norm, "/main?content&blank&N&about&0&0&0&about");
    EXPECT_TRUE(has(r.body, "Error")) << r.body;

    r = s.get(norm, "/main?content&none&N&about&0&0&0&about&logout");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>") && has(r.body, "location =\"main\"\n")) << r.body;
    bool cleared = false;
    for (auto it = r.headers.lower_bound("set-cookie"); it != r.headers.upper_bound("set-cookie"); ++it)
        cleared = cleared || it->second.rfind("U=:", 0) == 0;
    EXPECT_TRUE(cleared) << r.head;

    r = s.get(s.login("norm", "pw-norm"), "/main?content&content&A&user&0&0&0&user&page");
    EXPECT_TRUE(has(
        r.body, " <script language=\"Javascript\"> \n<!-- \n      location='images/bullets/blank.gif'; \n"))
        << r.body;
}

// Every image, style sheet and manual that the pages of this and the earlier issues name is served
// with its type once the installation's static files are built; and pictures of the login page, a
// list page, an edit form and the setup page go into the build folder.
TEST(SetupSite, StaticFilesThePagesNameAreServedAndScreenshots) {
    Site s;
    std::string install = "sh '" MORVALE_SOURCE_DIR "/scripts/lib/install_static.sh' '" + s.site.home +
                          "' > '" + s.site.home + "/generated/static.log' 2>&1";
    ASSERT_EQ(system(install.c_str()), 0) << mot_test::read_file(s.site.home + "/generated/static.log");
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    ASSERT_FALSE(boss.empty());
    // The pictures first, with the cookie the login page set: the forms opened below keep their
    // record locks, which a browser served by another server process would meet.
    std::string cookie = boss.substr(std::string("Cookie: U=").size());
    std::string out = std::string(MORVALE_BUILD_DIR) + "/screenshots";
    std::string cmd = "/usr/bin/python3 '" MORVALE_SOURCE_DIR "/tests/setup/screenshots.py' " +
                      std::to_string(s.site.port) + " '" + cookie + "' '" + out +
                      "' 'list=" + Site::link("content", "A", "passwd", "list") +
                      "' 'edit_form=" + Site::link("blank", "N", "groups", "new") +
                      "' 'setup=" + Site::link("content", "A", "tab_gen", "view") +
                      "' 'setup_edit=" + Site::link("blank", "N", "tab_gen", "edit_start") +
                      "' 'access=" + Site::link("content", "A", "tab_access", "view") + "' > '" + out +
                      ".log' 2>&1";
    ASSERT_EQ(system(cmd.c_str()), 0) << mot_test::read_file(out + ".log");
    for (const char *name : {"login", "list", "edit_form", "setup", "setup_edit", "access"}) {
        struct stat st {};
        EXPECT_EQ(stat((out + "/" + name + ".png").c_str(), &st), 0) << name;
        EXPECT_GT(st.st_size, 5000) << name;
    }
    const std::vector<std::string> pages = {
        "/main",
        Site::link("content", "A", "passwd", "list"),
        Site::link("content", "A", "groups", "list"),
        Site::link("blank", "N", "groups", "new"),
        Site::link("content", "A", "tab_gen", "view"),
        Site::link("blank", "N", "tab_gen", "edit_start"),
        Site::link("content", "A", "tab_access", "view"),
        Site::link("blank", "N", "tab_access", "edit_start"),
        "/main?content&blank&N&about&0&0&0&about&view",
        "/main?content&content&A&support&0&0&0&support&download",
    };
    std::set<std::string> targets;

    for (const std::string &page : pages) {
        HttpResponse r = page == "/main" ? s.site.get(page) : s.get(boss, page);
        ASSERT_EQ(r.status, 200) << page;
        EXPECT_FALSE(has(r.body, "<B>Error:</B>"))
            << page << "\n"
            << r.body.substr(r.body.find("Error:") == std::string::npos ? 0 : r.body.find("Error:"));
        for (const char *attr : {"SRC=\"", "HREF=\"", "BACKGROUND=\""})
            for (size_t at = r.body.find(attr); at != std::string::npos; at = r.body.find(attr, at + 1)) {
                size_t begin = at + strlen(attr);
                size_t end = r.body.find('"', begin);
                std::string value = end == std::string::npos ? "" : r.body.substr(begin, end - begin);
                if (value.size() > 4 && (value.rfind("images/", 0) == 0 || value.rfind("css/", 0) == 0 ||
                                         value.rfind("man/", 0) == 0))
                    targets.insert(value);
            }
    }
    EXPECT_GT(targets.size(), 20u);
    for (const char *must : {"css/win.css", "images/nav/edit.gif", "images/nav/help2.gif",
                             "images/system_file_types/icons/tab.gif", "images/icons/prod_logo.gif",
                             "man/Morvale_user_manual.pdf", "man/kbatch_user_manual.pdf"})
        EXPECT_TRUE(targets.count(must) == 1) << must;
    for (const std::string &t : targets) {
        std::string path = t.substr(0, t.find('"'));
        HttpResponse r = s.site.get("/" + path);
        EXPECT_EQ(r.status, 200) << path;
        std::string type = r.header("content-type");
        std::string want = path.rfind("images/", 0) == 0 ? "image/gif"
                           : path.rfind("css/", 0) == 0  ? "text/css"
                                                         : "application/pdf";
        EXPECT_EQ(type.substr(0, want.size()), want) << path;
    }

    EXPECT_EQ(s.site.crash_lines(), "");
}

} // namespace
