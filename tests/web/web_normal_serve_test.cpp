// One request served CGI-style inside this process: the header lines with the outgoing cookies, the
// request's cookies, form and machine reaching the display command, the script location, and errors
// after a download going to the log only.
#include "web_fixture.h"
#include "web/moco_cookie.h"

#include <cstdlib>

namespace {

struct Served {
    std::string script, machine, cookie_in;
    bool results_seen = false;
};
Served served;

int login_start(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                MOT_TOP_ARG_LIST_T **args) noexcept {
    served.script = aux->setup->httpd_script_main_loc;
    served.machine = aux->error->machine_name;
    const char *value = nullptr;
    req->in_cookie->get_cookie(req->in_cookie, "U", &value);
    served.cookie_in = value != nullptr ? value : "(none)";
    served.results_seen = req->results_ref != nullptr && req->results_ref[0].name == nullptr;
    // A cookie set while the page is built still goes out with the header.
    int ret = req->out_cookie->set_cookie(req->out_cookie, "U", "bmV3");
    if (ret == 0)
        ret = mow_web_header_blank(aux, out_def, "list", "", "N", req->out_cookie, args);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "body\n");
    return ret;
}

int login_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
              MOT_TOP_ARG_LIST_T **) noexcept {
    return mow_web_footer_blank(aux, out_def);
}

int download_start(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                   MOT_TOP_ARG_LIST_T **) noexcept {
    MOW_WEB_T *web = aux->web;
    int ret = web->send_content_type(web, out_def, 5, "application/octet-stream");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "12345");
    aux->error->report(aux->error, "Late failure\n");
    return 1;
}

struct WebNormalServe : mow_test::WebFixture {
    void SetUp() override {
        WebFixture::SetUp();
        served = Served{};
        aux->web->send_content_type = mow_send_content_type;
        ASSERT_EQ(mot_display_cmd_register(&session->display_cmd_list, aux, nullptr, "login", login_start,
                                           login_end),
                  0);
        ASSERT_EQ(mot_display_cmd_register(&session->display_cmd_list, aux, nullptr, "download",
                                           download_start, nullptr),
                  0);
        ASSERT_EQ(
            mot_display_cmd_register(&session->display_cmd_list, aux, nullptr, "quiet", nullptr, nullptr), 0);
        for (char **e = environ; *e != nullptr; e++)
            saved_env.emplace_back(*e);
        clearenv();
        setenv("REQUEST_METHOD", "GET", 1);
        setenv("HTTP_COOKIE", "U=b2xk; theme=dark", 1);
        setenv("REMOTE_ADDR", "192.0.2.7", 1);
    }
    void TearDown() override {
        clearenv();
        for (const std::string &e : saved_env) {
            size_t eq = e.find('=');
            setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        WebFixture::TearDown();
    }
    std::vector<std::string> saved_env;

    std::string serve(std::vector<std::string> words, int *status) {
        std::vector<char *> argv;
        for (auto &w : words)
            argv.push_back(w.data());
        bool with_header = std::find(words.begin(), words.end(), "-h") != words.end();
        std::string err;
        std::string out = mot_test::capture_stdout([&] {
            err = mot_test::capture_stderr([&] {
                *status = mow_web_normal_begin(aux, static_cast<int>(argv.size()), argv.data());
                if (*status == 0)
                    *status = mow_web_normal_serve(session, req, with_header ? TRUE : FALSE);
                mow_web_normal_end(aux);
            });
        });
        log = err;
        return out;
    }
    std::string log;
};

TEST_F(WebNormalServe, HeaderLinesCarryTheCookiesSetWhileThePageIsBuilt) {
    setenv("QUERY_STRING", "content&login&A&docs", 1);
    setenv("SCRIPT_NAME", "/cgi-bin/morvale", 1);
    int status = -1;
    std::string out = serve({"web", "normal", "-h"}, &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(out, "Content-type: text/html\n"
                   "Set-Cookie: U=bmV3; Path=/; HttpOnly; SameSite=Lax\n"
                   "Expires: Tue 15 Nov 1994 08:00:00 GMT\n\n"
                   "<HTML><HEAD><TITLE>Morvale - Quennet Systems</TITLE>\n<BASE HREF=\"\">\n"
                   "<LINK REL=\"SHORTCUT ICON\" HREF=\"favicon.ico\">"
                   "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"css/win.css\">\n</HEAD>\n"
                   "<BODY BGCOLOR=#FFFAF2  >\nbody\n</BODY></HTML>\n");
    EXPECT_EQ(out.find("META"), std::string::npos) << "the login cookie never appears in the page";
    EXPECT_EQ(served.script, "/cgi-bin/morvale");
    EXPECT_EQ(served.machine, "192.0.2.7");
    EXPECT_EQ(served.cookie_in, "b2xk");
    EXPECT_TRUE(served.results_seen) << "a GET has an empty form";

    // A script location that is not a plain path is not written into links.
    setenv("SCRIPT_NAME", "/x\"><script>", 1);
    setenv("HTTP_X_FORWARDED_FOR", "198.51.100.1", 1);
    out = serve({"web", "normal"}, &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(out.rfind("<HTML>", 0), 0u) << out;
    EXPECT_EQ(served.script, "main");
    EXPECT_EQ(served.machine, "198.51.100.1");
}

TEST_F(WebNormalServe, AfterADownloadErrorsGoToTheLogOnly) {
    setenv("QUERY_STRING", "content&download&A&docs", 1);
    int status = -1;
    std::string out = serve({"-h", "web", "normal"}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "Content-type: application/octet-stream\nExpires: Tue 15 Nov 1994 08:00:00 GMT\n"
                   "Content-length: 5\n\n12345");
    EXPECT_NE(log.find("Late failure"), std::string::npos) << log;

    setenv("REQUEST_METHOD", "HEAD", 1);
    out = serve({"web", "normal", "-h"}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "Content-type: text/html\n\n");

    // A page that writes nothing still gets its header.
    setenv("REQUEST_METHOD", "GET", 1);
    setenv("QUERY_STRING", "content&quiet&A&docs", 1);
    out = serve({"web", "normal", "-h"}, &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(out, "Content-type: text/html\nExpires: Tue 15 Nov 1994 08:00:00 GMT\n\n");

    auto requested = [](std::vector<std::string> words) {
        std::vector<char *> argv;
        for (auto &w : words)
            argv.push_back(w.data());
        return mow_web_normal_requested(static_cast<int>(argv.size()), argv.data());
    };
    EXPECT_TRUE(requested({"-h", "web", "normal"}));
    EXPECT_TRUE(requested({"web", "-h", "normal", "x"}));
    EXPECT_FALSE(requested({"web", "x"}));
    EXPECT_FALSE(requested({"web"}));
    EXPECT_FALSE(requested({"daemon", "normal"}));
}

} // namespace
