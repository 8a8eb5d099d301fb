// The price of a logged-in request through the real Apache httpd: the same page asked for with the
// session token a browser holds after logging in, and with the Base64 "name:password" cookie a batch
// client may send, whose stored password hash (yescrypt) is checked on every request. Both with `ab`
// at 8 concurrent connections; prints the two rates and their ratio.
//   bench_login [requests]     (default 2000)
#include "support/apache_site.h"
#include "e2e_users.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Runs ab with the cookie and returns its requests per second (0 when it failed).
double ab(int port, const std::string &path, const std::string &cookie, int requests) {
    std::string cmd = "ab -q -c 8 -n " + std::to_string(requests) + " -C '" + cookie +
                      "' 'http://127.0.0.1:" + std::to_string(port) + path + "' 2>&1";
    FILE *out = popen(cmd.c_str(), "r");
    if (out == nullptr)
        return 0;
    char line[512];
    double rate = 0;
    long failed = 0;
    while (fgets(line, sizeof(line), out) != nullptr) {
        if (sscanf(line, "Requests per second: %lf", &rate) == 1)
            continue;
        sscanf(line, "Failed requests: %ld", &failed);
    }
    int status = pclose(out);
    if (status != 0 || failed != 0) {
        fprintf(stderr, "ab failed (status %d, %ld failed requests)\n", status, failed);
        return 0;
    }
    return rate;
}

} // namespace

int main(int argc, char **argv) {
    int requests = argc > 1 ? atoi(argv[1]) : 2000;
    if (requests <= 0)
        requests = 2000;
    mot_test::ApacheSite site;
    mot_test::write_users(site.home,
                          {{.id = 2, .name = "anne", .password = "anne-bench-pw", .full_name = "Anne"}},
                          site.uid, site.gid);
    if (!site.start_daemon()) {
        fprintf(stderr, "the daemon did not start\n");
        return 1;
    }
    if (!site.start_httpd("--users 4 --max-connections 0",
                          "StartServers 10\nMinSpareServers 10\nMaxSpareServers 12\n")) {
        fprintf(stderr, "the server did not start:\n%s", site.httpd_output().c_str());
        return 1;
    }
    mot_test::Multipart form;
    form.value("U", "anne").value("P", "anne-bench-pw");
    mot_test::HttpResponse login = site.post("/main", form);
    std::string header = login.header("set-cookie");
    if (header.rfind("U=", 0) != 0) {
        fprintf(stderr, "the login did not give a cookie:\n%s\n", login.head.c_str());
        return 1;
    }
    std::string token_cookie = header.substr(0, header.find(';'));
    std::string password_cookie = mot_test::password_cookie("anne", "anne-bench-pw");
    const std::string page = "/main?content";
    for (const std::string &cookie : {token_cookie, password_cookie}) {
        mot_test::HttpResponse r = site.get(page, {"Cookie: " + cookie});
        if (r.body.find("<FORM NAME=\"Login\"") != std::string::npos) {
            fprintf(stderr, "a cookie did not log in\n");
            return 1;
        }
    }
    printf("page: %s as a logged-in user (the whole request cycle, the user list cached)\n", page.c_str());
    ab(site.port, page, token_cookie, 500); // warm every process up
    ab(site.port, page, password_cookie, 200);
    double token = ab(site.port, page, token_cookie, requests);
    double password = ab(site.port, page, password_cookie, requests);
    printf("8 clients: session token %8.0f req/s   Base64 password %8.0f req/s   ratio %.2f\n", token,
           password, password > 0 ? token / password : 0.0);
    return 0;
}
