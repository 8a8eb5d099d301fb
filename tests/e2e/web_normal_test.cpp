// `morvale web normal` answering requests CGI-style in a throwaway installation with the real
// daemon: header lines, the error page, posted forms and uploads, bodies read no further than their
// length, broken bodies, cookies, and a daemon that is down.
#include "support/files.h"
#include "support/install.h"
#include "e2e_users.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using mot_test::Installation;
using mot_test::RunResult;

const char *const B = "----morvaleTestBoundary7Qx";

struct Cgi {
    std::map<std::string, std::string> env;
    std::string body;
    bool keep_open = false;       // the server keeps standard input open after the body
    std::function<void()> midway; // runs once the first `midway_at` bytes of the body are sent
    size_t midway_at = 0;
};

// Runs `morvale web normal` with only the given environment and the body on a pipe. Without a cookie
// of its own the request is sent as the user anne, so that it gets past the login check.
RunResult run_cgi(const Installation &inst, const Cgi &given,
                  std::vector<std::string> args = {"web", "normal", "-h"}) {
    Cgi cgi = given;
    if (cgi.env.count("HTTP_COOKIE") == 0)
        cgi.env["HTTP_COOKIE"] = mot_test::password_cookie("anne", "pw");
    std::string out_path = inst.home + "/generated/logs/cgi_out";
    std::string err_path = inst.home + "/generated/logs/cgi_err";
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fds[0], 0);
        dup2(o, 1);
        dup2(e, 2);
        close(fds[0]);
        close(fds[1]);
        std::vector<std::string> env_text;
        for (auto &[k, v] : cgi.env)
            env_text.push_back(k + "=" + v);
        // The sanitizer build's settings go along: the program's pools are nominal by design, so the
        // suite switches the leak checker off for it.
        for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"})
            if (const char *v = getenv(name); v != nullptr && cgi.env.count(name) == 0)
                env_text.push_back(std::string(name) + "=" + v);
        std::vector<char *> envp;
        for (auto &t : env_text)
            envp.push_back(t.data());
        envp.push_back(nullptr);
        std::vector<char *> argv;
        std::string prog = inst.prog;
        argv.push_back(prog.data());
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execve(prog.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(fds[0]);
    int write_fd = fds[1];
    std::thread writer([&] {
        size_t first = cgi.midway ? std::min(cgi.midway_at, cgi.body.size()) : cgi.body.size();
        auto send = [&](size_t from, size_t to) {
            while (from < to) {
                ssize_t n = write(write_fd, cgi.body.data() + from, to - from);
                if (n <= 0)
                    return;
                from += static_cast<size_t>(n);
            }
        };
        send(0, first);
        if (cgi.midway) {
            cgi.midway();
            send(first, cgi.body.size());
        }
        if (!cgi.keep_open)
            close(write_fd);
    });
    int st = 0;
    bool ended = false;
    for (int i = 0; i < 600 && !ended; i++) {
        if (waitpid(pid, &st, WNOHANG) == pid)
            ended = true;
        else
            usleep(50 * 1000);
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &st, 0);
    }
    writer.join();
    if (cgi.keep_open)
        close(write_fd);
    RunResult r;
    r.status = !ended ? -2 : WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st); // -2: it hung
    r.out = mot_test::read_file(out_path);
    r.err = mot_test::read_file(err_path);
    return r;
}

std::string value_part(const std::string &name, const std::string &value) {
    return std::string("--") + B + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
}

std::string file_part(const std::string &name, const std::string &client, const std::string &data) {
    return std::string("--") + B + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" +
           client + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

std::string closing() {
    return std::string("--") + B + "--\r\n";
}

Cgi post(const std::string &body,
         const std::string &type = std::string("multipart/form-data; boundary=") + B) {
    Cgi cgi;
    cgi.env = {{"REQUEST_METHOD", "POST"},
               {"CONTENT_TYPE", type},
               {"CONTENT_LENGTH", std::to_string(body.size())},
               {"REMOTE_ADDR", "127.0.0.1"}};
    cgi.body = body;
    return cgi;
}

const std::string header = "Content-type: text/html\nExpires: Tue 15 Nov 1994 08:00:00 GMT\n\n";

size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        n++;
    return n;
}

// The error page of one request: the header lines, one head, and the "Error:" lines given.
void expect_error_page(const RunResult &r, const std::vector<std::string> &errors) {
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind(header + "<HTML><HEAD><TITLE>Morvale - Quennet Systems</TITLE>\n", 0), 0u) << r.out;
    EXPECT_EQ(count(r.out, "<HTML>"), 1u);
    EXPECT_EQ(count(r.out, "CLASS=GenHeader>Morvale Error</TD>"), 1u);
    EXPECT_EQ(count(r.out, "<SPAN><B>Error:</B> "), errors.size()) << r.out;
    for (const std::string &e : errors)
        EXPECT_NE(r.out.find("<SPAN><B>Error:</B> " + e), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Failure occurred during the normal operation"), std::string::npos)
        << "the command's own failure line goes to the log";
    EXPECT_NE(r.err.find("morvale_web_normal: Failure occurred during the normal operation"),
              std::string::npos)
        << r.err;
}

// The frameset an empty address opens for a logged-in user: the request went all the way through.
void expect_frameset(const RunResult &r) {
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out.rfind(header + "<HTML><HEAD><TITLE>Morvale - Quennet Systems</TITLE>\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("<FRAME SRC=\"main?content&content&A&"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("<SPAN><B>Error:</B> "), std::string::npos) << r.out;
}

class WebNormal : public ::testing::Test {
protected:
    static Installation *inst;
    static void SetUpTestSuite() {
        signal(SIGPIPE, SIG_IGN);
        inst = new Installation();
        mot_test::write_users(inst->home, {{.id = 2, .name = "anne", .password = "pw"}});
        ASSERT_TRUE(inst->start_daemon());
    }
    static void TearDownTestSuite() {
        delete inst;
        inst = nullptr;
    }
    std::string temp_dir() const { return inst->home + "/generated/temp"; }
    bool temp_empty() const {
        for (auto &e : std::filesystem::directory_iterator(temp_dir()))
            if (e.path().filename().string().rfind("run_", 0) != 0)
                return false;
        return true;
    }
};
Installation *WebNormal::inst = nullptr;

TEST_F(WebNormal, GetAndHeadRequests) {
    Cgi get;
    get.env = {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", ""}, {"REMOTE_ADDR", "10.1.2.3"}};
    RunResult r = run_cgi(*inst, get);
    expect_frameset(r);

    // Without the header option the page alone; the same page otherwise.
    RunResult bare = run_cgi(*inst, get, {"web", "normal"});
    EXPECT_EQ(header + bare.out, r.out);

    // A hostile display name comes back escaped.
    get.env["QUERY_STRING"] = "content&%3Cscript%3Ealert(1)%3C/script%3E&A&docs";
    r = run_cgi(*inst, get);
    expect_error_page(r, {"Display Command &lt;script&gt;alert(1)&lt;/script&gt; not valid<BR>"});
    EXPECT_EQ(r.out.find("<script>"), std::string::npos);

    get.env["QUERY_STRING"] = "con%22tent&content&A&docs";
    expect_error_page(run_cgi(*inst, get), {"Can't find any frame argument<BR>"});

    Cgi head;
    head.env = {{"REQUEST_METHOD", "HEAD"}, {"QUERY_STRING", "content&content&A&docs"}};
    r = run_cgi(*inst, head);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Content-type: text/html\n\n");

    // Errors of the command line itself are pages too.
    r = run_cgi(*inst, get, {"web", "normal", "-h", "extra"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("<SPAN><B>Error:</B> Operation normal has too many arguments<BR>"),
              std::string::npos)
        << r.out;
}

TEST_F(WebNormal, CookiesFromAnotherApplicationAreSkipped) {
    Cgi get;
    get.env = {{"REQUEST_METHOD", "GET"}, {"HTTP_COOKIE", "theme; U=YW5uZTpwdw==; TEST=TEST;;"}};
    RunResult r = run_cgi(*inst, get);
    // The request goes on past the cookies to the dispatch.
    expect_frameset(r);
    EXPECT_NE(r.err.find("Warning: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Can't find = in cookie string"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Set-Cookie"), std::string::npos) << "nothing is sent back";
}

TEST_F(WebNormal, UploadsAreExactWhileTheRequestRunsAndGoneAfterIt) {
    std::string binary;
    for (int i = 0; i < 256; i++)
        binary.push_back(static_cast<char>(i));
    binary += "\r\n--" + std::string(B) + "x\r\n\r\n\n\r" + std::string(70000, 'z') + "\r\n";
    std::string first =
        value_part("a", "a\r\nb\r\nc") + file_part("doc", "my file.bin", binary) + "--" + B + "\r\n";
    std::string body = first + "Content-Disposition: form-data; name=\"tail\"\r\n\r\nend\r\n" + closing();
    Cgi cgi = post(body);
    cgi.keep_open = true; // the body's length alone ends the reading
    std::string seen_upload;
    cgi.midway_at = first.size();
    cgi.midway = [&] {
        // The upload file is closed at the boundary after it: read it while the request waits for more.
        for (int i = 0; i < 200 && seen_upload.size() != binary.size(); i++) {
            for (auto &e : std::filesystem::directory_iterator(temp_dir()))
                if (e.path().filename().string().rfind("run_", 0) != 0)
                    seen_upload = mot_test::read_file(e.path().string());
            usleep(25 * 1000);
        }
    };
    cgi.body += "junk after the announced length";
    cgi.env["CONTENT_LENGTH"] = std::to_string(body.size());
    RunResult r = run_cgi(*inst, cgi);
    EXPECT_TRUE(seen_upload == binary) << "upload of " << seen_upload.size() << " bytes";
    expect_frameset(r);
    EXPECT_TRUE(temp_empty()) << "the upload goes with the end of the request";
}

TEST_F(WebNormal, BrokenFormsFailWithTheirMessage) {
    std::string many;
    for (int i = 0; i < 1001; i++)
        many += value_part("f" + std::to_string(i), "v");
    std::string huge_header = std::string("--") + B + "\r\nContent-Disposition: form-data; name=\"" +
                              std::string(9000, 'n') + "\"\r\n\r\nv\r\n" + closing();
    std::string ok_body = value_part("a", "1") + closing();
    struct Case {
        Cgi cgi;
        std::string message;
    };
    std::vector<Case> cases;
    cases.push_back({post(many + closing()), "Reached max FORM arguments (MOW_WEB_ARG_MAX) 1000<BR>"});
    cases.push_back({post(huge_header), "A header line of the form is longer than 8189 bytes<BR>"});
    cases.push_back({post(value_part("a", "1") + file_part("up", "x.bin", "partial data")),
                     "File left open the form input is not in the correct format<BR>"});
    // The announced length is longer than what comes before the input ends.
    std::string cut = value_part("a", "1");
    Cgi short_body = post(cut);
    short_body.env["CONTENT_LENGTH"] = std::to_string(cut.size() + 100);
    cases.push_back({short_body, "Can't read the request body: it ended after " + std::to_string(cut.size()) +
                                     " of " + std::to_string(cut.size() + 100) + " bytes<BR>"});
    cases.push_back({post(ok_body, "multipart/form-data"),
                     "Can't find boundary in CONTENT_TYPE multipart/form-data<BR>"});
    cases.push_back({post(ok_body, "multipart/form-data; boundary="),
                     "Can't find boundary in CONTENT_TYPE multipart/form-data; boundary=<BR>"});
    cases.push_back({post("a=1&b=2", "application/x-www-form-urlencoded"),
                     "Can't find boundary in CONTENT_TYPE application/x-www-form-urlencoded<BR>"});
    Cgi no_length = post(ok_body);
    no_length.env.erase("CONTENT_LENGTH");
    cases.push_back({no_length, "Environment variable CONTENT_LENGTH not set<BR>"});
    Cgi bad_length = post(ok_body);
    bad_length.env["CONTENT_LENGTH"] = "12x";
    cases.push_back({bad_length, "Environment variable CONTENT_LENGTH is not a length (12x)<BR>"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        expect_error_page(run_cgi(*inst, c.cgi), {c.message});
        EXPECT_TRUE(temp_empty());
    }
    // The same forms within their limits pass the parser and reach the dispatch.
    std::string most;
    for (int i = 0; i < 999; i++)
        most += value_part("f" + std::to_string(i), "v");
    std::string big_value;
    for (int i = 0; i < 50000; i++)
        big_value += "a long textarea line\r\n";
    for (const std::string &body : {most + closing(), value_part("text", big_value) + closing()})
        expect_frameset(run_cgi(*inst, post(body)));
}

TEST(WebNormalWithoutDaemon, TheDaemonProblemIsThePage) {
    Installation inst;
    Cgi get;
    get.env = {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "content&content&A&docs"}};
    RunResult r = run_cgi(inst, get);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind(header + "<HTML>", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("<SPAN><B>Error:</B> Daemon Communication Problem<BR>Can't connect to socket " +
                         inst.socket_path() + ": No such file or directory<BR>Try restarting Morvale<BR>"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(count(r.out, "<SPAN><B>Error:</B>"), 1u);
    EXPECT_NE(r.err.find("morvale: Daemon Communication Problem"), std::string::npos) << r.err;
}

} // namespace
