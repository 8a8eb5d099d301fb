// Posted forms, cookies and the error page through the real Apache with the module: a test probe
// takes the login page's slot and shows what the module read (fields, upload files byte for byte,
// cookies), so every case here goes through the server's body reading and the module's handler.
#include "support/apache_site.h"
#include "support/files.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;

std::string unhex(const std::string &text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

// What the probe saw: fields by name (in order), uploads by name, cookies.
struct Probe {
    std::vector<std::pair<std::string, std::string>> fields;
    std::map<std::string, std::pair<std::string, std::string>> uploads; // name -> (path, bytes)
    std::vector<std::string> cookies;
    std::string agent;
    std::string machine;
};

Probe read_probe(const std::string &body) {
    Probe p;
    std::istringstream lines(body);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind, name, a, b, c;
        words >> kind >> name;
        if (kind == "field") {
            words >> a;
            p.fields.emplace_back(name, unhex(a));
        } else if (kind == "upload") {
            words >> a >> b >> c;
            p.uploads[name] = {a, unhex(c)};
            p.fields.emplace_back(name, a);
        } else if (kind == "cookie") {
            p.cookies.push_back(name);
        } else if (kind == "agent") {
            p.agent = line.substr(6);
        } else if (kind == "machine") {
            p.machine = name;
        }
    }
    return p;
}

size_t occurrences(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

struct ApacheForms : ::testing::Test {
    static ApacheSite *site;
    static void SetUpTestSuite() {
        site = new ApacheSite();
        ASSERT_TRUE(site->start_daemon()) << site->daemon_log();
        ASSERT_TRUE(site->start_httpd("--limit-body 20000000", ApacheSite::probe())) << site->httpd_output();
    }
    static void TearDownTestSuite() {
        delete site;
        site = nullptr;
    }
    void TearDown() override {
        // Whatever happened, a request leaves nothing in the temporary folder, and no process crashed.
        EXPECT_TRUE(site->temp_files().empty());
        EXPECT_EQ(site->crash_lines(), "");
    }
    // The message ends in a line feed, shown as a line break of its own.
    std::string error_line(const std::string &message) const {
        return "<SPAN><B>Error:</B> " + message + "<BR><BR></SPAN>\n";
    }
};
ApacheSite *ApacheForms::site = nullptr;

TEST_F(ApacheForms, ValuePartsAndUploadsArriveExactly) {
    std::string binary;
    for (int i = 0; i < 256; i++)
        binary += static_cast<char>(i);
    // Line ends inside and at both ends, a lone CR before the closing line end, a line that starts like
    // the boundary but is not one, and a long line without any line end.
    std::string upload = "\r\nfirst\r\n" + binary + "\n\r\n--" + Multipart().boundary + "x\r\n" +
                         std::string(40000, 'z') + "\r\r\n\r";
    Multipart form;
    form.value("title", "a\r\nb\r\nc")
        .value("empty", "")
        .value("trailing", "line\r\n")
        .file("doc", "C:\\Users\\me\\report v2.bin", upload)
        .file("none", "", "")
        .value("after", "x");
    HttpResponse r = site->post("/main", form, {"User-Agent: ProbeBrowser/1.0"});
    ASSERT_EQ(r.status, 200) << r.head << r.body;
    EXPECT_EQ(r.header("content-type"), "text/plain") << r.body;
    Probe p = read_probe(r.body);
    ASSERT_EQ(p.fields.size(), 8u) << r.body;
    EXPECT_EQ(p.fields[0], std::make_pair(std::string("title"), std::string("a\nb\nc")));
    EXPECT_EQ(p.fields[1], std::make_pair(std::string("empty"), std::string("")));
    EXPECT_EQ(p.fields[2], std::make_pair(std::string("trailing"), std::string("line\n")));
    EXPECT_EQ(p.fields[3].first, "doc");
    EXPECT_EQ(p.fields[4],
              std::make_pair(std::string("doc_client"), std::string("C:\\Users\\me\\report v2.bin")));
    EXPECT_EQ(p.fields[5].first, "none");
    EXPECT_EQ(p.fields[6], std::make_pair(std::string("none_client"), std::string("")));
    EXPECT_EQ(p.fields[7], std::make_pair(std::string("after"), std::string("x")));
    ASSERT_EQ(p.uploads.count("doc"), 1u);
    EXPECT_EQ(p.uploads["doc"].second.size(), upload.size());
    EXPECT_TRUE(p.uploads["doc"].second == upload);
    EXPECT_EQ(p.uploads["none"].second, "");
    // Upload files are named after the serving process in the temporary folder, and are gone now.
    std::string temp = site->home + "/generated/temp/";
    EXPECT_EQ(p.uploads["doc"].first.rfind(temp, 0), 0u) << p.uploads["doc"].first;
    EXPECT_NE(p.uploads["doc"].first, p.uploads["none"].first);
    EXPECT_FALSE(access(p.uploads["doc"].first.c_str(), F_OK) == 0);
    EXPECT_EQ(p.agent, "ProbeBrowser/1.0");
    EXPECT_EQ(p.machine, "127.0.0.1");

    // A quoted boundary with a parameter after it; a GET has no form; no User-Agent reads "unknown".
    Multipart quoted;
    quoted.value("q", "v");
    HttpResponse rq = mot_test::http_request(
        site->port, "POST", "/main",
        {"Content-Type: multipart/form-data; boundary=\"" + quoted.boundary + "\"; charset=utf-8"},
        quoted.finish());
    Probe pq = read_probe(rq.body);
    ASSERT_EQ(pq.fields.size(), 1u) << rq.body;
    EXPECT_EQ(pq.fields[0].second, "v");
    Probe pg = read_probe(site->get("/main?content&x").body);
    EXPECT_TRUE(pg.fields.empty());
    EXPECT_EQ(pg.agent, "unknown");
}

TEST_F(ApacheForms, LargeBodiesStayBounded) {
    // One textarea of 200,000 short lines and a 3 MB line: read in linear time, values exact.
    std::string many;
    for (int i = 0; i < 200000; i++)
        many += "line " + std::to_string(i) + "\r\n";
    many += "end";
    std::string wide(3 * 1024 * 1024, 'w');
    Multipart form;
    form.value("many", many).value("wide", wide).file("big", "big.bin", std::string(5 * 1024 * 1024, '\r'));
    HttpResponse r = site->post("/main", form);
    Probe p = read_probe(r.body);
    ASSERT_EQ(p.fields.size(), 4u) << r.head;
    std::string expect;
    for (size_t i = 0; i < many.size(); i++) {
        if (many[i] != '\r')
            expect += many[i];
    }
    EXPECT_TRUE(p.fields[0].second == expect);
    EXPECT_EQ(p.fields[1].second.size(), wide.size());
    EXPECT_EQ(p.uploads["big"].second.size(), 5u * 1024 * 1024);
}

TEST_F(ApacheForms, TheEntryLimitCountsFilePartsTwice) {
    Multipart fits;
    for (int i = 0; i < 997; i++)
        fits.value("f" + std::to_string(i), std::to_string(i));
    fits.file("upload", "u.txt", "data");
    Probe p = read_probe(site->post("/main", fits).body);
    EXPECT_EQ(p.fields.size(), 999u);
    EXPECT_EQ(p.uploads["upload"].second, "data");

    Multipart over = fits;
    over.value("one_more", "x");
    HttpResponse r = site->post("/main", over);
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find(error_line("Reached max FORM arguments (MOW_WEB_ARG_MAX) 1000")), std::string::npos)
        << r.body.substr(0, 2000);
    EXPECT_EQ(r.body.find("field "), std::string::npos);
}

TEST_F(ApacheForms, BadBodiesGetTheirMessageAndKeepNothing) {
    Multipart form;
    form.value("name", "value").file("doc", "d.bin", std::string(100000, 'd'));
    std::string body = form.finish();
    struct Case {
        std::vector<std::string> headers;
        std::string body;
        std::string message;
    };
    std::vector<Case> cases = {
        {{"Content-Type: multipart/form-data"},
         body,
         "Can't find boundary in Content-Type multipart/form-data"},
        {{"Content-Type: multipart/form-data; boundary="},
         body,
         "Can't find boundary in Content-Type multipart/form-data; boundary="},
        {{"Content-Type: application/x-www-form-urlencoded"},
         "a=b&c=d",
         "Can't find boundary in Content-Type application/x-www-form-urlencoded"},
        {{"Content-Type: multipart/form-data; boundary=\"\""},
         body,
         "Can't find boundary in Content-Type multipart/form-data; boundary=&quot;&quot;"},
        // Complete as sent, but the form stops inside the file part.
        {{form.content_type()},
         body.substr(0, body.size() - 60000),
         "File left open the form input is not in the correct format"},
        {{form.content_type()},
         body.substr(0, 70),
         "File left open the form input is not in the correct format"},
        {{form.content_type()},
         "--" + form.boundary + "\r\n" + std::string(20000, 'h') + "\r\n\r\n" + body,
         "A header line of the form is longer than 8189 bytes"},
    };
    for (const Case &c : cases) {
        HttpResponse r = mot_test::http_request(site->port, "POST", "/main", c.headers, c.body);
        EXPECT_EQ(r.status, 200) << c.message;
        EXPECT_EQ(r.header("expires"), "Tue 15 Nov 1994 08:00:00 GMT");
        EXPECT_NE(r.body.find(error_line(c.message)), std::string::npos) << c.message << "\n" << r.body;
        EXPECT_EQ(r.body.find("field "), std::string::npos) << c.message;
        EXPECT_TRUE(site->temp_files().empty()) << c.message;
    }

    // A chunked body has no length to check against the limit.
    std::string chunked = "POST /main HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n" +
                          form.content_type() +
                          "\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n";
    HttpResponse rc = mot_test::http_raw(site->port, chunked);
    EXPECT_NE(rc.body.find(error_line("ap_setup_client_block Error HTTP code 411")), std::string::npos)
        << rc.body;

    // The client stops sending in the middle of an upload: nothing of it is kept.
    std::string cut = "POST /main HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n" +
                      form.content_type() + "\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\n\r\n" + body.substr(0, 50000);
    HttpResponse rcut = mot_test::http_raw(site->port, cut, true);
    EXPECT_NE(rcut.body.find(error_line("Can't read the request body")), std::string::npos) << rcut.body;
    EXPECT_TRUE(site->temp_files().empty());

    // A body over the server's limit is refused before anything is read.
    std::string huge = "POST /main HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n" +
                       form.content_type() + "\r\nContent-Length: 30000000\r\n\r\n";
    HttpResponse rh = mot_test::http_raw(site->port, huge, true);
    EXPECT_TRUE(rh.status == 413 || rh.body.find("HTTP code 413") != std::string::npos) << rh.head << rh.body;
}

TEST_F(ApacheForms, FreshProcessesUploadingAtOnceNeverShareAFile) {
    const int n = 6;
    std::vector<std::string> got(n);
    std::vector<std::thread> threads;
    for (int i = 0; i < n; i++) {
        threads.emplace_back([i, &got] {
            Multipart form;
            form.file("doc", "f" + std::to_string(i), std::string(300000, static_cast<char>('a' + i)));
            got[i] = read_probe(site->post("/main", form).body).uploads["doc"].second;
        });
    }
    for (auto &t : threads)
        t.join();
    for (int i = 0; i < n; i++)
        EXPECT_TRUE(got[i] == std::string(300000, static_cast<char>('a' + i))) << i << " " << got[i].size();
}

TEST_F(ApacheForms, AProcessStoppedMidUploadCleansUp) {
    // The server stops a process with SIGTERM; its handler ends the process's pools, and with them the
    // request's cleanup lists, which remove the half-written upload file.
    Multipart form;
    std::string start = "--" + form.boundary +
                        "\r\nContent-Disposition: form-data; name=\"doc\"; filename=\"x.bin\"\r\n\r\n" +
                        std::string(20000, 'u');
    std::string request = "POST /main HTTP/1.1\r\nHost: localhost\r\n" + form.content_type() +
                          "\r\nContent-Length: 10000000\r\n\r\n" + start;
    int fd = mot_test::site_connect(site->port);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    std::vector<std::string> files;
    for (int i = 0; i < 250 && files.empty(); i++) {
        usleep(20 * 1000);
        files = site->temp_files();
    }
    ASSERT_EQ(files.size(), 1u);
    // The upload file is named after the process that serves the request.
    pid_t child = atoi(files[0].c_str());
    ASSERT_GT(child, 0) << files[0];
    EXPECT_EQ(files[0], std::to_string(child) + ".1");
    ASSERT_EQ(kill(child, SIGTERM), 0);
    for (int i = 0; i < 250 && !site->temp_files().empty(); i++)
        usleep(20 * 1000);
    EXPECT_TRUE(site->temp_files().empty());
    char buf[256];
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    EXPECT_LE(recv(fd, buf, sizeof(buf), 0), 0); // the connection ends without an answer
    close(fd);
    // The server goes on answering.
    Multipart after;
    after.value("still", "here");
    EXPECT_EQ(read_probe(site->post("/main", after).body).fields.size(), 1u);
}

TEST_F(ApacheForms, CookiesInAndOut) {
    // Several Cookie headers are one set; a token without "=" (another application's) is skipped.
    HttpResponse r =
        site->get("/main", {"Cookie: U=dXNlcjpwYXNz; TEST=TEST", "Cookie: theme=a=b;junk ; last=1"});
    Probe p = read_probe(r.body);
    std::vector<std::string> expect = {"U=dXNlcjpwYXNz", "TEST=TEST", "theme=a=b", "last=1"};
    std::sort(p.cookies.begin(), p.cookies.end());
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(p.cookies, expect) << r.body;
    EXPECT_EQ(r.count("set-cookie"), 0u);
    EXPECT_NE(site->error_log().find("Can't find = in cookie string"), std::string::npos);

    // A cookie set while the page is built (a logout) still goes out as a header.
    HttpResponse out = site->get("/main?logout");
    EXPECT_EQ(out.count("set-cookie"), 1u) << out.head;
    EXPECT_EQ(out.header("set-cookie"), "U=:; Path=/; HttpOnly; SameSite=Lax") << out.head;
}

TEST_F(ApacheForms, ErrorPageHasOneHeadAndOneLinePerError) {
    HttpResponse r = site->get("/main?errors");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), "text/html");
    EXPECT_EQ(occurrences(r.body, "<HTML>"), 1u) << r.body;
    EXPECT_EQ(occurrences(r.body, "Morvale Error"), 2u) << r.body; // the title bar and the heading
    EXPECT_EQ(occurrences(r.body, "<SPAN><B>Error:</B> "), 2u) << r.body;
    size_t first = r.body.find(error_line("First probe error &lt;b&amp;c&gt;"));
    size_t second = r.body.find(error_line("Second probe error"));
    EXPECT_NE(first, std::string::npos) << r.body;
    EXPECT_NE(second, std::string::npos) << r.body;
    EXPECT_LT(first, second);
    EXPECT_EQ(r.body.find("log only"), std::string::npos);
    std::string log = site->error_log();
    EXPECT_NE(log.find("First probe error <b&c>"), std::string::npos);
    EXPECT_NE(log.find("Probe error for the log only"), std::string::npos);
    EXPECT_NE(log.find("Second probe error"), std::string::npos);
}

TEST_F(ApacheForms, AnErrorAfterADownloadGoesToTheLogOnly) {
    std::string bytes;
    for (int i = 0; i < 300000; i++)
        bytes += static_cast<char>((i * 7) & 0xff);
    std::string path = site->home + "/install/misc/probe.bin";
    mot_test::write_file(path, bytes);
    if (getuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), site->uid, site->gid), 0);
    }
    HttpResponse r = site->get("/main?download=probe.bin");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), "application/octet-stream");
    EXPECT_EQ(r.header("content-length"), std::to_string(bytes.size()));
    EXPECT_TRUE(r.body == bytes) << r.body.size();
    EXPECT_NE(site->error_log().find("Probe error after the download"), std::string::npos);
}

TEST_F(ApacheForms, WebNormalGivesTheSamePage) {
    // The same failing form through the server and through `web normal` as a CGI program.
    Multipart over;
    for (int i = 0; i < 1000; i++)
        over.value("f" + std::to_string(i), "v");
    std::string body = over.finish();
    HttpResponse r = site->post("/main", over);
    std::string ct = over.content_type().substr(strlen("Content-Type: "));
    mot_test::RunResult cgi = site->run({"web", "normal"},
                                        {"REQUEST_METHOD=POST", "CONTENT_TYPE=" + ct,
                                         "CONTENT_LENGTH=" + std::to_string(body.size()), "QUERY_STRING="},
                                        body);
    EXPECT_NE(r.body.find("Reached max FORM arguments"), std::string::npos);
    EXPECT_EQ(cgi.out, r.body) << cgi.err;

    mot_test::RunResult with_header = site->run(
        {"web", "normal", "-h"},
        {"REQUEST_METHOD=POST", "CONTENT_TYPE=" + ct, "CONTENT_LENGTH=" + std::to_string(body.size())}, body);
    size_t end = with_header.out.find("\n\n");
    ASSERT_NE(end, std::string::npos) << with_header.out.substr(0, 500);
    EXPECT_NE(with_header.out.substr(0, end).find("Content-type: text/html"), std::string::npos);
    EXPECT_EQ(with_header.out.substr(end + 2), r.body);
}

} // namespace
