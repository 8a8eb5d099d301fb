// The module inside the real Apache httpd: what every response carries, the error page, the daemon
// problem page, a failed initialisation, and the configurations the server must refuse.
#include "support/apache_site.h"
#include "support/files.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;

const char *const expires = "Tue 15 Nov 1994 08:00:00 GMT";

size_t occurrences(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

TEST(ApacheModule, AnswersWithItsOwnPagesAndHeaders) {
    ApacheSite site;
    ASSERT_TRUE(site.start_daemon()) << site.daemon_log();
    ASSERT_TRUE(site.start_httpd()) << site.httpd_output();

    // HEAD: the header alone, and not the fixed expiry of the pages.
    HttpResponse head = site.get("/main");
    head = mot_test::http_request(site.port, "HEAD", "/main?content&x");
    EXPECT_EQ(head.status, 200) << head.head;
    EXPECT_EQ(head.header("content-type"), "text/html") << head.head;
    EXPECT_EQ(head.body, "");
    EXPECT_NE(head.header("expires"), expires) << head.head;

    // Nobody is logged in yet: the page is the login page, with one head and no error.
    HttpResponse page = site.get("/main");
    EXPECT_EQ(page.status, 200) << page.head;
    EXPECT_EQ(page.header("content-type"), "text/html") << page.head;
    EXPECT_EQ(page.count("expires"), 1u) << page.head;
    EXPECT_EQ(page.header("expires"), expires) << page.head;
    EXPECT_EQ(occurrences(page.body, "<HTML>"), 1u) << page.body;
    EXPECT_EQ(occurrences(page.body, "<SPAN><B>Error:</B> "), 0u) << page.body;
    EXPECT_NE(page.body.find("<FORM NAME=\"Login\""), std::string::npos) << page.body;
    EXPECT_EQ(page.count("set-cookie"), 0u) << page.head;
    EXPECT_EQ(site.error_log().find("Error:   "), std::string::npos) << site.error_log();

    // The site's address leads to the pages; static folders are served, the rest of the disk is not.
    HttpResponse root = site.get("/");
    EXPECT_EQ(root.status, 302) << root.head;
    EXPECT_EQ(root.header("location"), "http://localhost:" + std::to_string(site.port) + "/main");
    HttpResponse css = site.get("/css/win.css");
    EXPECT_EQ(css.status, 200) << css.head;
    EXPECT_EQ(css.header("content-type"), "text/css");
    EXPECT_EQ(css.body, "BODY { color: black }\n");
    for (const char *target : {"/conf/gen.setup", "/css/../conf/gen.setup", "/images/../../conf/gen.setup",
                               "/css/%2e%2e/conf/gen.setup", "/etc/passwd", "/main/../conf/gen.setup"}) {
        HttpResponse refused = site.get(target);
        EXPECT_TRUE(refused.status == 403 || refused.status == 400 || refused.status == 404) << target << "\n"
                                                                                             << refused.head;
        EXPECT_EQ(refused.body.find("SERVER_PORT"), std::string::npos) << target;
    }

    // Every request went through one server process at a time and left nothing behind.
    EXPECT_TRUE(site.temp_files().empty());
    EXPECT_EQ(site.crash_lines(), "");
}

TEST(ApacheModule, DaemonDownGivesTheDaemonPage) {
    ApacheSite site;
    ASSERT_TRUE(site.start_httpd()) << site.httpd_output();
    HttpResponse page = site.get("/main");
    EXPECT_EQ(page.status, 200) << page.head;
    EXPECT_EQ(page.header("expires"), expires) << page.head;
    EXPECT_NE(page.body.find("<H2>Daemon Communication Problem </H2>"), std::string::npos) << page.body;
    EXPECT_NE(page.body.find("Can't connect to socket " + site.socket_path()), std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find("/install/bin/mo_start"), std::string::npos) << page.body;
    // The problem goes to the log only: no error page follows the daemon page.
    EXPECT_EQ(page.body.find("<B>Error:</B>"), std::string::npos) << page.body;
    EXPECT_EQ(occurrences(page.body, "<HTML>"), 1u) << page.body;
    std::string log = site.error_log();
    EXPECT_NE(log.find("Can't connect to socket " + site.socket_path()), std::string::npos) << log;

    // Once the daemon is there, the next request gets through to the login page.
    ASSERT_TRUE(site.start_daemon());
    HttpResponse again = site.get("/main");
    EXPECT_EQ(again.body.find("Daemon Communication Problem"), std::string::npos) << again.body;
    EXPECT_NE(again.body.find("<FORM NAME=\"Login\""), std::string::npos) << again.body;
    EXPECT_EQ(site.crash_lines(), "");
}

TEST(ApacheModule, FailedInitialisationAnswersEveryRequestWith500) {
    ApacheSite site;
    ASSERT_TRUE(site.start_daemon());
    // The server's processes cannot read the setup file.
    ASSERT_EQ(chmod((site.home + "/conf/gen.setup").c_str(), 0), 0);
    ASSERT_TRUE(site.start_httpd()) << site.httpd_output();
    for (int i = 0; i < 3; i++) {
        HttpResponse r = site.get("/main?content");
        EXPECT_EQ(r.status, 500) << r.head;
    }
    std::string log = site.error_log();
    EXPECT_NE(log.find("Error in module initialisation"), std::string::npos) << log;
    EXPECT_GE(occurrences(log, "Error in module initialisation"), 3u) << log;
    // Static files do not depend on the module.
    EXPECT_EQ(site.get("/css/win.css").status, 200);
    EXPECT_EQ(site.crash_lines(), "");
}

TEST(ApacheModule, ServerRefusesConfigurationsTheModuleCannotServe) {
    {
        ApacheSite site;
        // Module state is per process: a threaded MPM is refused at start.
        // (The listener may be open for a moment before the refusal.)
        site.start_httpd("", "", [](std::string &conf) {
            size_t at = conf.find("mod_mpm_prefork.so");
            conf.replace(at, strlen("mod_mpm_prefork.so"), "mod_mpm_event.so");
            at = conf.find("mpm_prefork_module");
            conf.replace(at, strlen("mpm_prefork_module"), "mpm_event_module");
        });
        EXPECT_NE(site.wait_httpd_exit(5000), 0);
        EXPECT_NE((site.error_log() + site.httpd_output()).find("needs a server process per request"),
                  std::string::npos)
            << site.error_log() << site.httpd_output();
    }
    {
        ApacheSite site;
        EXPECT_FALSE(
            site.start_httpd("", "<Location /other>\n    SetupHomeDir /somewhere/else\n</Location>\n"));
        EXPECT_NE(site.httpd_output().find("SetupHomeDir given twice with different values"),
                  std::string::npos)
            << site.httpd_output();
    }
    {
        ApacheSite site;
        std::string long_path = "/" + std::string(320, 'd');
        EXPECT_FALSE(
            site.start_httpd("", "<Location /other>\n    SetupHomeDir " + long_path + "\n</Location>\n"));
        EXPECT_NE(site.httpd_output().find("SetupHomeDir path too long"), std::string::npos)
            << site.httpd_output();
    }
}

TEST(ApacheModule, ConfigurationGeneratorChecksWhatItIsGiven) {
    ApacheSite site;
    auto generate = [&](const std::string &options) {
        std::string cmd = "sh '" MORVALE_SOURCE_DIR "/scripts/lib/httpd_conf.sh' " + options + " 2>&1 >'" +
                          site.home + "/generated/httpd/try.conf'";
        FILE *out = popen(cmd.c_str(), "r");
        std::string text;
        char buf[512];
        while (fgets(buf, sizeof(buf), out) != nullptr)
            text += buf;
        int status = pclose(out);
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, text);
    };
    std::string home = "--home '" + site.home + "'";
    for (const std::string &bad : std::vector<std::string>{
             "--port 80x " + home, "--home relative/dir --port 18000", "--home '/tmp/a\"b' --port 18000",
             home + " --port 70000", home + " --port 18000 --users 0",
             home + " --port 18000 --limit-body 1e9", home + " --port 18000 --user 'x y' --group g",
             home + " --port 18000 --bogus 1"}) {
        auto [status, text] = generate(bad);
        EXPECT_EQ(status, 2) << bad;
        EXPECT_NE(text.find("httpd_conf: "), std::string::npos) << bad << text;
    }
    auto [status, text] =
        generate(home + " --port " + std::to_string(site.port) + " --users 5 --limit-body 1000");
    ASSERT_EQ(status, 0) << text;
    std::string conf = mot_test::read_file(site.home + "/generated/httpd/try.conf");
    EXPECT_EQ(conf.find('@'), std::string::npos);
    for (const char *line : {"    MaxRequestWorkers 15\n", "    ServerLimit 15\n", "LimitRequestBody 1000\n",
                             "MaxConnectionsPerChild 1000\n", "    SetHandler morvale-handler\n",
                             "RedirectMatch 302 ^/$ /main\n"})
        EXPECT_NE(conf.find(line), std::string::npos) << line;
    EXPECT_NE(conf.find("    SetupHomeDir \"" + site.home + "\"\n"), std::string::npos);
    EXPECT_NE(conf.find("Alias /man/ \"" + site.home + "/install/man/\"\n"), std::string::npos);
    std::string check = site.server_env() + "/usr/sbin/apache2 -t -f '" + site.home +
                        "/generated/httpd/try.conf' >/dev/null 2>&1";
    EXPECT_EQ(system(check.c_str()), 0);
}

} // namespace
