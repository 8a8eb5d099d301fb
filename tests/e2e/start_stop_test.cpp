// The installation's own start and stop scripts, as the daemon problem page tells an administrator
// to run them: the real daemon and the real Apache of a throwaway installation.
#include "support/files.h"
#include "support/install.h"

#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

using mot_test::Installation;
using mot_test::read_file;
using mot_test::RunResult;
using mot_test::write_file;

// Copies mo_start and mo_stop into the installation and runs mo_stop when the test ends, whatever
// happened, so that no daemon or server outlives it.
struct Scripts {
    Installation &inst;
    explicit Scripts(Installation &i) : inst(i) {
        std::string cmd = "cp '" MORVALE_SOURCE_DIR "/install/bin/mo_start' '" MORVALE_SOURCE_DIR
                          "/install/bin/mo_stop' '" +
                          inst.home + "/install/bin/'";
        if (system(cmd.c_str()) != 0)
            abort();
    }
    ~Scripts() { stop(); }
    RunResult start() { return inst.run({}, inst.home + "/install/bin/mo_start"); }
    RunResult stop() { return inst.run({}, inst.home + "/install/bin/mo_stop"); }
};

int free_tcp_port() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof(a));
    socklen_t len = sizeof(a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

// One GET of "/" on the loopback port; the whole answer, or "" when nothing listens.
std::string http_get(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof(a)) == 0) {
        const char req[] = "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (write(fd, req, sizeof(req) - 1) == static_cast<ssize_t>(sizeof(req) - 1)) {
            char buf[2048];
            ssize_t n;
            while ((n = read(fd, buf, sizeof(buf))) > 0)
                answer.append(buf, static_cast<size_t>(n));
        }
    }
    close(fd);
    return answer;
}

} // namespace

TEST(StartStop, DaemonAloneStartsOnceAndStops) {
    Installation inst;
    Scripts s(inst);
    RunResult r = s.start();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Started the daemon of " + inst.home), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("only the daemon runs"), std::string::npos) << r.out;
    EXPECT_EQ(inst.run({"daemon", "check"}).status, 0);
    EXPECT_TRUE(access(inst.log_path().c_str(), F_OK) == 0) << "the daemon's log is appended there";

    r = s.start();
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("already running"), std::string::npos) << r.out;

    r = s.stop();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Stopped the daemon of " + inst.home), std::string::npos) << r.out;
    EXPECT_NE(inst.run({"daemon", "check"}).status, 0);
    r = s.stop();
    EXPECT_EQ(r.status, 0) << "stopping what is stopped is no error";
    EXPECT_NE(r.out.find("is not running"), std::string::npos) << r.out;

    // A restart after a stop brings the daemon back, as the daemon problem page promises.
    r = s.start();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(inst.run({"daemon", "check"}).status, 0);
}

TEST(StartStop, WebServerFollowsTheDaemonAndStopsFirst) {
    if (access("/usr/sbin/apache2", X_OK) != 0)
        GTEST_SKIP() << "apache2 is not installed";
    Installation inst;
    Scripts s(inst);
    chmod(inst.home.c_str(), 0755); // Apache's children read the page as another user
    int port = free_tcp_port();
    std::string logs = inst.home + "/generated/logs";
    mkdir((inst.home + "/www").c_str(), 0755);
    write_file(inst.home + "/www/index.html", "hello from the test server\n");
    std::string conf = "LoadModule mpm_prefork_module /usr/lib/apache2/modules/mod_mpm_prefork.so\n"
                       "LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so\n"
                       "LoadModule dir_module /usr/lib/apache2/modules/mod_dir.so\n"
                       "ServerName localhost\nListen 127.0.0.1:" +
                       std::to_string(port) + "\nPidFile \"" + logs + "/httpd.pid\"\nErrorLog " + logs +
                       "/httpd_error.log\nMutex file:" + logs + " default\nDocumentRoot \"" + inst.home +
                       "/www\"\nDirectoryIndex index.html\nStartServers 1\nMinSpareServers 1\n";
    if (geteuid() == 0)
        conf += "User nobody\nGroup nogroup\n";
    write_file(inst.home + "/generated/httpd.conf", conf);

    RunResult r = s.start();
    ASSERT_EQ(r.status, 0) << r.out << r.err << read_file(logs + "/httpd_error.log");
    EXPECT_NE(r.out.find("Started the web server"), std::string::npos) << r.out;
    EXPECT_EQ(inst.run({"daemon", "check"}).status, 0);
    std::string page;
    for (int i = 0; i < 50 && page.find("hello from the test server") == std::string::npos; i++) {
        page = http_get(port);
        usleep(100 * 1000);
    }
    EXPECT_NE(page.find("hello from the test server"), std::string::npos) << page;

    r = s.stop();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Stopped the web server of " + inst.home), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Stopped the daemon of " + inst.home), std::string::npos) << r.out;
    EXPECT_FALSE(access((logs + "/httpd.pid").c_str(), F_OK) == 0) << "Apache is gone when mo_stop returns";
    EXPECT_EQ(http_get(port), "");
    EXPECT_NE(inst.run({"daemon", "check"}).status, 0);

    // And both come back.
    r = s.start();
    EXPECT_EQ(r.status, 0) << r.err << read_file(logs + "/httpd_error.log");
    page.clear();
    for (int i = 0; i < 50 && page.find("hello") == std::string::npos; i++) {
        page = http_get(port);
        usleep(100 * 1000);
    }
    EXPECT_NE(page.find("hello from the test server"), std::string::npos) << page;
}
