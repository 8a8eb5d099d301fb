// The list page through the real Apache httpd: the first page (20 rows) and a page of 100 rows of a
// list of 10,000 users, asked for by logged-in administrators at 8 concurrent connections (`ab`),
// against Apache serving a static file of the same size. Prints requests per second, the ratios and
// the 99th-percentile latency of each. Every server process is warmed up first, so the list is
// cached in each.
//   bench_listpage [requests] [users]     (defaults 2000, 10000)
#include "support/apache_site.h"
#include "support/files.h"
#include "e2e_users.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

struct AbResult {
    double rate = 0;   // requests per second
    int p99 = -1;      // milliseconds
    double cpu_ms = 0; // processor time the server's processes spent per request
    bool ok = false;
};

// Processor time (user and system, in clock ticks) of every process of the server's process group.
long server_ticks(pid_t group) {
    long total = 0;
    DIR *proc = opendir("/proc");
    if (proc == nullptr)
        return 0;
    for (dirent *e = readdir(proc); e != nullptr; e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        std::string text = mot_test::read_file(std::string("/proc/") + e->d_name + "/stat");
        size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        long ppid = 0, pgrp = 0, fields[10] = {};
        long utime = 0, stime = 0;
        if (sscanf(text.c_str() + close + 1, " %c %ld %ld %ld %ld %ld %ld %ld %ld %ld %ld %ld %ld", &state,
                   &ppid, &pgrp, &fields[0], &fields[1], &fields[2], &fields[3], &fields[4], &fields[5],
                   &fields[6], &fields[7], &utime, &stime) == 13 &&
            pgrp == group)
            total += utime + stime;
    }
    closedir(proc);
    return total;
}

AbResult ab(int port, pid_t group, const std::string &path, const std::string &cookie, int requests) {
    long ticks = server_ticks(group);
    std::string cmd = "ab -c 8 -n " + std::to_string(requests) +
                      (cookie.empty() ? "" : " -C '" + cookie + "'") +
                      " 'http://127.0.0.1:" + std::to_string(port) + path + "' 2>&1";
    FILE *out = popen(cmd.c_str(), "r");
    AbResult r;
    if (out == nullptr)
        return r;
    char line[512];
    long failed = -1, non2xx = 0;
    while (fgets(line, sizeof(line), out) != nullptr) {
        int percent = 0, ms = 0;
        if (sscanf(line, "Requests per second: %lf", &r.rate) == 1)
            continue;
        if (sscanf(line, "Failed requests: %ld", &failed) == 1)
            continue;
        if (sscanf(line, "Non-2xx responses: %ld", &non2xx) == 1)
            continue;
        if (sscanf(line, " %d%% %d", &percent, &ms) == 2 && percent == 99)
            r.p99 = ms;
    }
    int status = pclose(out);
    r.cpu_ms = 1000.0 * static_cast<double>(server_ticks(group) - ticks) /
               static_cast<double>(sysconf(_SC_CLK_TCK)) / requests;
    r.ok = status == 0 && failed == 0 && non2xx == 0 && r.p99 >= 0;
    if (!r.ok)
        fprintf(stderr, "ab failed on %s (status %d, %ld failed, %ld not 2xx)\n", path.c_str(), status,
                failed, non2xx);
    return r;
}

std::string login(mot_test::ApacheSite &site, const std::string &name, const std::string &password) {
    mot_test::Multipart form;
    form.value("U", name).value("P", password);
    std::string header = site.post("/main", form).header("set-cookie");
    return header.rfind("U=", 0) == 0 ? header.substr(0, header.find(';')) : "";
}

// A static file of exactly `size` bytes that Apache serves as HTML.
std::string static_twin(mot_test::ApacheSite &site, const std::string &name, size_t size) {
    std::string path = site.home + "/install/css/" + name;
    mot_test::write_file(path, std::string(size, 'x'));
    return "/css/" + name;
}

} // namespace

int main(int argc, char **argv) {
    int requests = argc > 1 ? atoi(argv[1]) : 2000;
    int count = argc > 2 ? atoi(argv[2]) : 10000;
    if (requests <= 0)
        requests = 2000;
    if (count <= 0)
        count = 10000;
    mot_test::ApacheSite site;
    std::vector<mot_test::TestUser> users = {
        {.id = 2, .name = "anne", .password = "anne-bench-pw", .privilege = 100, .full_name = "Anne"},
        {.id = 3, .name = "bob", .password = "bob-bench-pw", .privilege = 100, .full_name = "Bob"},
    };
    for (int i = 0; i < count; i++) {
        char name[32], full[32];
        snprintf(name, sizeof(name), "user%05d", i);
        snprintf(full, sizeof(full), "Person %05d", (i * 7919) % count);
        users.push_back({.id = 10 + i,
                         .name = name,
                         .password = "",
                         .full_name = full,
                         .email = std::string(name) + "@example.com"});
    }
    mot_test::write_users(site.home, users, site.uid, site.gid);
    if (!site.start_daemon()) {
        fprintf(stderr, "the daemon did not start\n");
        return 1;
    }
    if (!site.start_httpd("--users 4 --max-connections 0",
                          "StartServers 10\nMinSpareServers 10\nMaxSpareServers 12\n")) {
        fprintf(stderr, "the server did not start:\n%s", site.httpd_output().c_str());
        return 1;
    }
    std::string anne = login(site, "anne", "anne-bench-pw");
    std::string bob = login(site, "bob", "bob-bench-pw");
    if (anne.empty() || bob.empty()) {
        fprintf(stderr, "the logins failed\n");
        return 1;
    }
    const std::string list = "/main?content&content&A&setup&0&0&0&passwd_profile&list";
    // Bob reads 100 lines per page; Anne keeps the default 20.
    site.get("/main?content&none&N&setup&0&0&0&passwd_profile&page_select_amount&amount&100",
             {"Cookie: " + bob});
    mot_test::HttpResponse page20 = site.get(list, {"Cookie: " + anne});
    mot_test::HttpResponse page100 = site.get(list, {"Cookie: " + bob});
    char total[64];
    snprintf(total, sizeof(total), "Total records [ %d ]", count + 3);
    if (page20.body.find(total) == std::string::npos || page100.body.find(total) == std::string::npos) {
        fprintf(stderr, "the list pages are not what was expected:\n%s\n",
                page20.body.substr(0, 2000).c_str());
        return 1;
    }
    std::string static20 = static_twin(site, "bench_20.html", page20.body.size());
    std::string static100 = static_twin(site, "bench_100.html", page100.body.size());

    printf("list of %d users (passwd_profile), logged-in administrators, 8 connections, %d requests each\n",
           count + 3, requests);
    printf("page sizes: 20 rows %zu bytes, 100 rows %zu bytes\n", page20.body.size(), page100.body.size());
    // Warm every server process: each caches the user list on its first request.
    ab(site.port, site.httpd_pid, list, anne, 400);
    ab(site.port, site.httpd_pid, list, bob, 400);
    ab(site.port, site.httpd_pid, static20, "", 400);
    AbResult l20 = ab(site.port, site.httpd_pid, list, anne, requests);
    AbResult s20 = ab(site.port, site.httpd_pid, static20, "", requests);
    AbResult l100 = ab(site.port, site.httpd_pid, list, bob, requests);
    AbResult s100 = ab(site.port, site.httpd_pid, static100, "", requests);
    if (!l20.ok || !s20.ok || !l100.ok || !s100.ok)
        return 1;
    const std::tuple<const char *, AbResult, AbResult> rows[] = {{"20 rows: ", l20, s20},
                                                                 {"100 rows:", l100, s100}};
    for (const auto &[label, list_r, static_r] : rows)
        printf("%s list %8.1f req/s  p99 %4d ms  cpu %5.2f ms/req   static %8.1f req/s  p99 %4d ms  cpu "
               "%5.2f ms/req"
               "   list/static %.3f\n",
               label, list_r.rate, list_r.p99, list_r.cpu_ms, static_r.rate, static_r.p99, static_r.cpu_ms,
               static_r.rate > 0 ? list_r.rate / static_r.rate : 0.0);
    printf("load average while measuring: %s", mot_test::read_file("/proc/loadavg").c_str());
    printf("goal: the 20-row page under 50 ms at the 99th percentile: %s\n",
           l20.p99 < 50 ? "met" : "not met");
    return 0;
}
