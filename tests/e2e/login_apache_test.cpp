// Logging in through the real Apache with the module and the real daemon: the login page byte for
// byte, a good login and its session token, every refused login with its warning, tokens that are
// tampered, expired or signed over an old password, the batch client's password cookie, the cookie
// test page, the daemon problem page, and hostile input coming back escaped.
#include "support/apache_site.h"
#include "support/files.h"
#include "e2e_users.h"

#include "platform/moux_unix_private.h"
#include "web/mosn_token.h"

#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;
using mot_test::TestUser;

const char *const logged_out = "U=:; Path=/; HttpOnly; SameSite=Lax";

size_t occurrences(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

std::string unbase64(const std::string &text) {
    unsigned char out[4096];
    size_t count = 0;
    if (mocd_decode64(text.c_str(), text.size(), out, sizeof(out), &count) != 0)
        return "";
    return std::string(reinterpret_cast<char *>(out), count);
}

// The value of a "Set-Cookie: U=..." header, without its attributes.
std::string cookie_value(const HttpResponse &r) {
    std::string h = r.header("set-cookie");
    if (h.rfind("U=", 0) != 0)
        return "";
    return h.substr(2, h.find(';') - 2);
}

bool is_login_page(const HttpResponse &r) {
    return r.body.find("<FORM NAME=\"Login\"") != std::string::npos;
}

// The orange check cell of a field with its warning, as the form shows it.
std::string warning_cell(const std::string &warning) {
    return "<TD BGCOLOR=\"#FFBF8F\">" + warning + "<BR><!-- \nError: " + warning + "\n --> \n";
}

Multipart login_form(const std::string &name, const std::string &password) {
    Multipart f;
    f.value("DUMMY", "DUMMY").value("U", name).value("P", password).value("SUBMIT", "Login");
    return f;
}

const std::vector<TestUser> users = {
    {.id = 2, .name = "anne", .password = "anne-secret-1", .full_name = "Anne Able"},
    {.id = 3, .name = "dave", .password = "dave-secret-1", .full_name = "Dave Gone", .deleted = true},
    {.id = 4, .name = "erin", .password = "", .full_name = "Erin Unset"},
    {.id = 5, .name = "frank", .password = "frank-secret-1", .full_name = "Frank Changes"},
};

struct LoginSite : ::testing::Test {
    static ApacheSite *site;
    static void SetUpTestSuite() {
        site = new ApacheSite();
        mot_test::write_users(site->home, users, site->uid, site->gid);
        ASSERT_TRUE(site->start_daemon()) << site->daemon_log();
        ASSERT_TRUE(site->start_httpd()) << site->httpd_output();
    }
    static void TearDownTestSuite() {
        delete site;
        site = nullptr;
    }
    static std::string company_url() {
        return "https://www.example.com/?OP=det&amp;P=" + std::to_string(site->port) + "&amp;V=3.3-linux";
    }
    // Logs in through the form and gives the cookie value the server set.
    static std::string login(const std::string &name, const std::string &password) {
        HttpResponse r = site->post("/main", login_form(name, password));
        EXPECT_EQ(r.count("set-cookie"), 1u) << r.head << r.body;
        return cookie_value(r);
    }
    // The site's signing secret, as the server made it.
    static std::vector<unsigned char> session_key() {
        mot_test::Bundle lb;
        std::vector<unsigned char> key(MOSN_KEY_LEN);
        std::string path = site->home + "/generated/session.key";
        EXPECT_EQ(moux_private_secret(&lb.error, path.c_str(), key.data(), key.size()), 0);
        return key;
    }
};
ApacheSite *LoginSite::site = nullptr;

TEST_F(LoginSite, TheLoginPageByteForByte) {
    HttpResponse r = site->get("/main?content&content&A&docs");
    ASSERT_EQ(r.status, 200) << r.head;
    EXPECT_EQ(r.header("content-type"), "text/html");
    EXPECT_EQ(r.count("set-cookie"), 0u) << "a first visit sets nothing";
    const std::string url = company_url();
    const std::string expected =
        "<HTML><HEAD><TITLE>Morvale - Quennet Systems</TITLE>\n"
        "<BASE HREF=\"\">\n"
        "<LINK REL=\"SHORTCUT ICON\" HREF=\"favicon.ico\"><LINK REL=\"stylesheet\" TYPE=\"text/css\" "
        "HREF=\"css/win.css\">\n"
        "</HEAD>\n"
        "<BODY BGCOLOR=#FFFAF2  onLoad=\" setCookie();  checkTop();\">\n"
        "<script language=\"javascript\" type=\"text/javascript\">\n<!--\nfunction checkTop() {\n"
        "    if (top != self) {\n        top.location.replace(self.location.href);\n    }\n}\n// "
        "-->\n</script>\n"
        "<TABLE WIDTH=\"100%\" BORDER=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\"><TR>\n"
        "<TD ALIGN=LEFT VALIGN=MIDDLE NOWRAP><A TARGET=\"_blank\" HREF=\"" +
        url +
        "\"><IMG BORDER=0 SRC=\"/icons/prod_logo.gif\" ALT=\"\"></A></TD>\n"
        "<TD ALIGN=LEFT VALIGN=MIDDLE NOWRAP WIDTH=\"100%\"><IMG BORDER=0 SRC=\"/icons/powering.gif\" "
        "ALT=\"\">"
        "<IMG BORDER=0 SRC=\"/bullets/blank.gif\" WIDTH=1 HEIGHT=1 ALT=\"\"></TD>\n"
        "<TD ALIGN=RIGHT VALIGN=MIDDLE NOWRAP> <A TARGET=\"_blank\" HREF=\"" +
        url +
        "\">www.example.com</A>\n"
        "</TD></TR></TABLE>\n"
        "&nbsp;<BR>&nbsp;<P>\n"
        "<script language=\"javascript\" type=\"text/javascript\">\n<!--\nfunction setCookie() {\n"
        "    document.cookie = \"TEST=TEST; path=/\";\n}\n// -->\n</script>\n"
        "<!-- Insert pre login page here //--> \n"
        "<TABLE ALIGN=CENTER WIDTH=250 BORDER=0 CELLPADDING=3 CELLSPACING=0 SUMMARY=\"\">\n"
        "<TR><TD BGCOLOR=\"#9CB2A5\" NOWRAP>  <B>Login to Morvale<B></TD>"
        "<TD BGCOLOR=\"#9CB2A5\" ALIGN=RIGHT NOWRAP><A HREF=\"man/Morvale_user_manual.pdf\" "
        "TARGET=\"_blank\">"
        "<IMG  BORDER=0 SRC=\"images/nav/help2.gif\" ALT=\"Help\"></A>\n"
        "<A HREF=\"man/Morvale_user_manual.pdf\" TARGET=\"_blank\">Help</A></TD></TR>\n"
        "<TR><TD COLSPAN=2 BGCOLOR=\"#FFFAF2\">\n"
        "<script language=\"javascript\" type=\"text/javascript\">\n<!--\nvar okToSubmit = true;\n"
        "function checkSubmit() {\n    if (navigator.appName == \"Netscape\") {\n        return true;\n    "
        "}\n"
        "    return okToSubmit;\n}\n// -->\n</script>\n"
        "<FORM NAME=\"Login\" ACTION=\"main?content&amp;content&amp;A&amp;docs\" "
        "ENCTYPE=\"multipart/form-data\" "
        "METHOD=POST onSubmit=\"return(checkSubmit());\">\n"
        "<INPUT TYPE=HIDDEN NAME=\"DUMMY\" VALUE=\"DUMMY\">\n"
        "<TABLE BORDER=0 SUMMARY=\"\">\n"
        "<TR><TD ALIGN=RIGHT><B>User Name</B></TD><TD><INPUT TYPE=TEXT  NAME=\"U\" VALUE=\"\" SIZE=10 "
        "MAXLENGTH=80 "
        "onFocus=\"okToSubmit=false; \" onChange=\"this.form.P.focus(); return(true); \">\n"
        "</TD></TR>\n"
        "<TR><TD ALIGN=RIGHT><B>Password</B></TD><TD><INPUT TYPE=PASSWORD  NAME=\"P\" VALUE=\"\" SIZE=10 "
        "MAXLENGTH=80 onChange=\"okToSubmit=true; this.form.submit(); return(true); \">\n"
        "</TD></TR>\n"
        "<TR><TD><A HREF=\"start.htm\">Need Help?</A></TD><TD ALIGN=RIGHT><INPUT TYPE=SUBMIT NAME=\"SUBMIT\" "
        "VALUE=\"Login\"></TD></TR>\n"
        "</TABLE>\n</FORM>\n</TD></TR></TABLE>\n"
        "<!-- Insert post login page here //--> \n"
        "</BODY></HTML>\n";
    EXPECT_EQ(r.body, expected);
}

TEST_F(LoginSite, AGoodLoginGetsASignedTokenNeverThePassword) {
    HttpResponse r = site->post("/main?content&content&A&docs", login_form("anne", "anne-secret-1"));
    ASSERT_EQ(r.count("set-cookie"), 1u) << r.head << r.body;
    std::string header = r.header("set-cookie");
    EXPECT_NE(header.find("; Path=/; HttpOnly; SameSite=Lax"), std::string::npos) << header;
    std::string value = cookie_value(r);
    std::string plain = unbase64(value);
    ASSERT_EQ(plain.rfind("anne:$mst1$", 0), 0u) << plain;
    EXPECT_EQ(plain.size(), std::string("anne:$mst1$").size() + 10 + 1 + 64) << plain;
    EXPECT_EQ(plain.find("anne-secret-1"), std::string::npos);
    EXPECT_FALSE(is_login_page(r)) << r.body;
    EXPECT_EQ(r.body.find("anne-secret-1"), std::string::npos);

    // The token alone logs the user in: no form, no new cookie, and the log knows who it was.
    HttpResponse next = site->get("/main?content&content&A&docs", {"Cookie: TEST=TEST; U=" + value});
    EXPECT_FALSE(is_login_page(next)) << next.body;
    EXPECT_EQ(next.count("set-cookie"), 0u) << next.head;
    EXPECT_NE(site->error_log().find("] [anne] "), std::string::npos);

    // A batch client may send Base64 of name:password instead; it goes through the password check.
    HttpResponse batch =
        site->get("/main?content", {"Cookie: " + mot_test::password_cookie("anne", "anne-secret-1")});
    EXPECT_FALSE(is_login_page(batch)) << batch.body;
    EXPECT_EQ(batch.count("set-cookie"), 0u) << batch.head;
    HttpResponse wrong =
        site->get("/main?content", {"Cookie: " + mot_test::password_cookie("anne", "anne-secret-2")});
    EXPECT_TRUE(is_login_page(wrong));
    EXPECT_EQ(wrong.header("set-cookie"), logged_out);
    EXPECT_NE(wrong.body.find(warning_cell("In-correct password for (anne)\n")), std::string::npos)
        << wrong.body;

    // A logged-out browser (":") is a first visit: the form, nothing set.
    HttpResponse out = site->get("/main", {"Cookie: U=:"});
    EXPECT_TRUE(is_login_page(out));
    EXPECT_EQ(out.count("set-cookie"), 0u);

    // No password went into the log.
    std::string log = site->error_log();
    EXPECT_EQ(log.find("anne-secret-1"), std::string::npos) << log;
    EXPECT_EQ(log.find("anne-secret-2"), std::string::npos) << log;
}

TEST_F(LoginSite, RefusedLoginsShowTheirWarningAndSetNoCookie) {
    struct Case {
        std::string name, password, cell, log;
    } cases[] = {
        {"anne", "wrong-password", warning_cell("In-correct password for (anne)\n"),
         "Login failed for user (anne) from (127.0.0.1): wrong password"},
        {"nobody", "whatever", warning_cell("Can't find user (nobody) in passwd list"),
         "Login failed for user (nobody) from (127.0.0.1): unknown user"},
        {"", "whatever", warning_cell("User Name is required"), ""},
        {"dave", "dave-secret-1", warning_cell("User (dave) is deleted from list\n"),
         "Login failed for user (dave) from (127.0.0.1): deleted user"},
        // A user saved without a password has the column default: it opens nothing, not even itself.
        {"erin", "Rm4.Tq8Wz1KdE", warning_cell("In-correct password for (erin)\n"),
         "Login failed for user (erin) from (127.0.0.1): wrong password"},
        {"erin", "", warning_cell("In-correct password for (erin)\n"), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name + "/" + c.password);
        HttpResponse r = site->post("/main?content&x", login_form(c.name, c.password));
        EXPECT_EQ(r.count("set-cookie"), 0u) << r.head;
        EXPECT_TRUE(is_login_page(r));
        EXPECT_NE(r.body.find(c.cell), std::string::npos) << r.body;
        // The name comes back, the password never does.
        EXPECT_NE(r.body.find("NAME=\"U\" VALUE=\"" + c.name + "\""), std::string::npos);
        EXPECT_NE(r.body.find("NAME=\"P\" VALUE=\"\""), std::string::npos);
        if (!c.log.empty()) {
            EXPECT_NE(site->error_log().find(c.log), std::string::npos) << site->error_log();
        }
    }
    // A login form posted from another site's page is refused; from this site's it is taken.
    HttpResponse foreign =
        site->post("/main", login_form("anne", "anne-secret-1"), {"Origin: http://evil.example"});
    EXPECT_EQ(foreign.count("set-cookie"), 0u) << foreign.head;
    EXPECT_NE(foreign.body.find(warning_cell("This login was sent from another site and was not accepted")),
              std::string::npos)
        << foreign.body;
    HttpResponse own = site->post("/main", login_form("anne", "anne-secret-1"),
                                  {"Origin: http://localhost:" + std::to_string(site->port)});
    EXPECT_EQ(own.count("set-cookie"), 1u) << own.head << own.body;
}

TEST_F(LoginSite, BadTokensAndCookiesLogOut) {
    std::string good = login("anne", "anne-secret-1");
    std::string plain = unbase64(good);
    ASSERT_FALSE(plain.empty());
    std::string tampered = plain;
    tampered.back() = tampered.back() == '0' ? '1' : '0';
    std::vector<unsigned char> key = session_key();
    mot_test::Bundle lb;
    char token[MOSN_TOKEN_SIZE];
    ASSERT_EQ(mosn_token_make(&lb.error, key.data(), "anne", "not the stored text", time(nullptr) + 3600,
                              token, sizeof(token)),
              0);
    std::string foreign_text = std::string("anne:") + token;
    const std::string stored_anne = [] {
        std::string text = mot_test::read_file(site->home + "/user/lib/passwd/0");
        size_t at = text.find("U anne\nP ");
        return text.substr(at + 9, text.find('\n', at + 9) - at - 9);
    }();
    ASSERT_EQ(mosn_token_make(&lb.error, key.data(), "anne", stored_anne.c_str(), time(nullptr) - 60, token,
                              sizeof(token)),
              0);
    std::string expired = std::string("anne:") + token;
    ASSERT_EQ(mosn_token_make(&lb.error, key.data(), "nobody", stored_anne.c_str(), time(nullptr) + 600,
                              token, sizeof(token)),
              0);
    std::string unknown = std::string("nobody:") + token;

    struct Case {
        std::string what, cookie, cell, log;
    } cases[] = {
        {"tampered", mot_test::base64(tampered),
         warning_cell("Your login is no longer valid, please log in again"),
         "Login failed for user (anne) from (127.0.0.1): invalid session token"},
        {"signed over another text", mot_test::base64(foreign_text),
         warning_cell("Your login is no longer valid, please log in again"), ""},
        {"expired", mot_test::base64(expired), warning_cell("Your login has expired, please log in again"),
         ""},
        {"unknown user", mot_test::base64(unknown), warning_cell("Can't find user (nobody) in passwd list"),
         ""},
        {"not Base64", "!!not-base64!!", "", "Problem decoding cookie"},
        {"no colon", mot_test::base64("justtext"), "", "Can't find : in cookie string (justtext)"},
        {"oversized", std::string(6000, 'A'), "", "Problem decoding cookie"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HttpResponse r = site->get("/main?content", {"Cookie: U=" + c.cookie});
        EXPECT_EQ(r.status, 200);
        EXPECT_TRUE(is_login_page(r)) << r.body;
        EXPECT_EQ(r.header("set-cookie"), logged_out) << r.head;
        if (!c.cell.empty()) {
            EXPECT_NE(r.body.find(c.cell), std::string::npos) << r.body;
        }
        if (!c.log.empty()) {
            EXPECT_NE(site->error_log().find(c.log), std::string::npos) << site->error_log();
        }
    }

    // A token with less than half its life left is taken and renewed.
    ASSERT_EQ(mosn_token_make(&lb.error, key.data(), "anne", stored_anne.c_str(), time(nullptr) + 3600, token,
                              sizeof(token)),
              0);
    HttpResponse renewed =
        site->get("/main?content", {"Cookie: U=" + mot_test::base64(std::string("anne:") + token)});
    EXPECT_FALSE(is_login_page(renewed)) << renewed.body;
    ASSERT_EQ(renewed.count("set-cookie"), 1u) << renewed.head;
    EXPECT_EQ(unbase64(cookie_value(renewed)).rfind("anne:$mst1$", 0), 0u);
    EXPECT_NE(cookie_value(renewed), mot_test::base64(std::string("anne:") + token));
}

TEST_F(LoginSite, APasswordChangeEndsTheSessionsSignedOverTheOldOne) {
    std::string cookie = login("frank", "frank-secret-1");
    ASSERT_FALSE(cookie.empty());
    EXPECT_FALSE(is_login_page(site->get("/main?content", {"Cookie: U=" + cookie})));
    std::vector<TestUser> changed = users;
    changed[3].password = "frank-secret-2";
    mot_test::write_users(site->home, changed, site->uid, site->gid);
    HttpResponse r = site->get("/main?content", {"Cookie: U=" + cookie});
    EXPECT_TRUE(is_login_page(r));
    EXPECT_EQ(r.header("set-cookie"), logged_out);
    EXPECT_NE(r.body.find(warning_cell("Your login is no longer valid, please log in again")),
              std::string::npos);
    EXPECT_FALSE(login("frank", "frank-secret-2").empty());
}

TEST_F(LoginSite, HostileInputComesBackEscaped) {
    const std::string hostile = "<script>alert(1)</script>\"'&";
    HttpResponse r = site->post("/main", login_form(hostile, "x"));
    EXPECT_EQ(r.body.find("<script>alert"), std::string::npos) << r.body;
    EXPECT_NE(
        r.body.find(warning_cell("Can't find user (&lt;script&gt;alert(1)&lt;/script&gt;&quot;'&amp;) in "
                                 "passwd list")),
        std::string::npos)
        << r.body;
    EXPECT_NE(r.body.find("NAME=\"U\" VALUE=\"&lt;script&gt;alert(1)&lt;/script&gt;&quot;'&amp;\""),
              std::string::npos);
    // A line break in a name cannot forge a line of the log.
    site->post("/main", login_form("evil\nError:   forged line", "x"));
    std::string log = site->error_log();
    EXPECT_EQ(log.find("\nError:   forged line"), std::string::npos) << log;
    EXPECT_NE(log.find("Login failed for user (evil?Error:   forged line)"), std::string::npos) << log;

    // The query is kept for after the login, escaped for the attribute.
    HttpResponse q =
        mot_test::http_raw(site->port, "GET /main?content&a\"onmouseover=alert(1)&%3Cb%3E HTTP/1.1\r\n"
                                       "Host: localhost\r\nConnection: close\r\n\r\n");
    EXPECT_NE(q.body.find("ACTION=\"main?content&amp;a&quot;onmouseover=alert(1)&amp;%3Cb%3E\""),
              std::string::npos)
        << q.body;

    // A "U=" link fills in the name only, posts to an empty query and sends no referrer on.
    HttpResponse link = site->get("/main?U=" + mot_test::base64("anne:anne-secret-1"));
    EXPECT_NE(link.body.find("NAME=\"U\" VALUE=\"anne\""), std::string::npos) << link.body;
    EXPECT_NE(link.body.find("NAME=\"P\" VALUE=\"\""), std::string::npos);
    EXPECT_EQ(link.body.find("anne-secret-1"), std::string::npos);
    EXPECT_NE(link.body.find("ACTION=\"main?\""), std::string::npos);
    EXPECT_EQ(link.header("referrer-policy"), "no-referrer") << link.head;
    HttpResponse bad_link = site->get("/main?U=%25%25%25");
    EXPECT_TRUE(is_login_page(bad_link));
    EXPECT_NE(site->error_log().find("Problem decoding user/passwd arg (%%%)"), std::string::npos);
    HttpResponse no_colon = site->get("/main?U=" + mot_test::base64("anne"));
    EXPECT_TRUE(is_login_page(no_colon));
    EXPECT_NE(site->error_log().find("Can't find : in user/passwd arg"), std::string::npos);
    EXPECT_EQ(site->error_log().find("Segmentation"), std::string::npos);
}

TEST(LoginPages, CookieTestPage) {
    ApacheSite site("COOKIE_CHECK TRUE\n");
    ASSERT_TRUE(site.start_daemon()) << site.daemon_log();
    ASSERT_TRUE(site.start_httpd()) << site.httpd_output();
    HttpResponse r = site.get("/main");
    EXPECT_NE(r.body.find("<BODY BGCOLOR=#FFFAF2  onLoad=\" setCookie(); CookieReload();  checkTop();\">"),
              std::string::npos)
        << r.body;
    EXPECT_NE(r.body.find("<H2>Cookies or Javascript not enabled! </H2><P>\n"), std::string::npos);
    EXPECT_NE(r.body.find("function CookieReload()"), std::string::npos);
    EXPECT_NE(r.body.find("<A HREF=\"main\">clicking here</A>"), std::string::npos);
    EXPECT_NE(r.body.find("<A HREF=\"start.htm\">Need some help?</A>"), std::string::npos);
    EXPECT_FALSE(is_login_page(r));
    HttpResponse with_test = site.get("/main", {"Cookie: TEST=TEST"});
    EXPECT_TRUE(is_login_page(with_test));
    EXPECT_EQ(with_test.body.find("Cookies or Javascript not enabled"), std::string::npos);
}

TEST(LoginPages, DaemonProblemPageWithTheRestartText) {
    ApacheSite site;
    ASSERT_TRUE(site.start_httpd()) << site.httpd_output();
    HttpResponse r = site.get("/main");
    EXPECT_EQ(r.status, 200);
    const std::string socket_error = "Can't connect to socket " + site.socket_path();
    EXPECT_NE(r.body.find("<BODY BGCOLOR=#FFFAF2  onLoad=\" checkTop();\">"), std::string::npos) << r.body;
    EXPECT_NE(r.body.find(
                  "&nbsp;<BR>&nbsp;<P>&nbsp;\n<TABLE ALIGN=CENTER WIDTH=600 BORDER=0 SUMMARY=\"\"><TR><TD>\n"
                  "<H2>Daemon Communication Problem </H2><P>\n"),
              std::string::npos)
        << r.body;
    EXPECT_NE(r.body.find("<!-- \nError: Daemon Communication Problem\n --> \n<!-- \nError: " + socket_error),
              std::string::npos);
    const std::string bin = site.home + "/install/bin";
    EXPECT_NE(
        r.body.find(
            "<P>\nPlease restart the Morvale daemon by running the following commands<BR> as the user <B>"),
        std::string::npos)
        << r.body;
    EXPECT_NE(
        r.body.find("</B><P>" + bin + "/mo_stop<BR>" + bin +
                    "/mo_start<P><P>Then reload this page by <A HREF=\"main\" onClick=\"location.reload(); "
                    "return false\">clicking here</A>.\n</TD></TR></TABLE> \n</BODY></HTML>\n"),
        std::string::npos)
        << r.body;
    EXPECT_EQ(occurrences(r.body, "<HTML>"), 1u);
}

} // namespace
