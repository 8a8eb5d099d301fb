// Throughput and memory of the web module inside the real Apache httpd: requests per second of one
// of our pages (a whole request cycle: cookies, form, daemon connection, lock client, page) against the
// same server sending a static file of the same size, both with `ab` at 8 concurrent connections; and
// the resident memory of the server's processes before and after 10,000 requests of the page, with
// processes never replaced (MaxConnectionsPerChild 0) so that any growth would show.
//   bench_web [requests]     (default 10000)
#include "support/apache_site.h"
#include "support/files.h"

#include <cstdio>
#include <dirent.h>
#include <unistd.h>
#include <cstdlib>
#include <map>
#include <string>

namespace {

// Resident memory (kB) of every process of the server but its parent.
std::map<int, long> children_rss(pid_t parent) {
    std::map<int, long> rss;
    DIR *proc = opendir("/proc");
    if (proc == nullptr)
        return rss;
    while (dirent *e = readdir(proc)) {
        int pid = atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::string status = mot_test::read_file("/proc/" + std::to_string(pid) + "/status");
        size_t pp = status.find("PPid:");
        size_t vm = status.find("VmRSS:");
        if (pp == std::string::npos || vm == std::string::npos || atoi(status.c_str() + pp + 5) != parent)
            continue;
        rss[pid] = atol(status.c_str() + vm + 6);
    }
    closedir(proc);
    return rss;
}

long total(const std::map<int, long> &rss) {
    long sum = 0;
    for (const auto &entry : rss)
        sum += entry.second;
    return sum;
}

// Runs ab and returns its requests per second (0 when it failed).
double ab(int port, const std::string &path, int requests, bool keep_alive) {
    std::string cmd = "ab -q -c 8 " + std::string(keep_alive ? "-k " : "") + "-n " +
                      std::to_string(requests) + " 'http://127.0.0.1:" + std::to_string(port) + path +
                      "' 2>&1";
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
        fprintf(stderr, "ab failed for %s (status %d, %ld failed requests)\n", path.c_str(), status, failed);
        return 0;
    }
    return rate;
}

} // namespace

int main(int argc, char **argv) {
    int requests = argc > 1 ? atoi(argv[1]) : 10000;
    if (requests <= 0)
        requests = 10000;
    mot_test::ApacheSite site;
    if (!site.start_daemon()) {
        fprintf(stderr, "the daemon did not start\n");
        return 1;
    }
    // Enough processes from the start that the same ones serve the whole run.
    if (!site.start_httpd("--users 4 --max-connections 0",
                          "StartServers 10\nMinSpareServers 10\nMaxSpareServers 12\n")) {
        fprintf(stderr, "the server did not start:\n%s", site.httpd_output().c_str());
        return 1;
    }
    // The page, and a static file holding exactly its bytes.
    mot_test::HttpResponse page = site.get("/main");
    if (page.status != 200 || page.body.empty()) {
        fprintf(stderr, "the page did not answer\n");
        return 1;
    }
    std::string static_path = site.home + "/install/css/bench_page.html";
    mot_test::write_file(static_path, page.body);
    if (getuid() == 0 && chown(static_path.c_str(), site.uid, site.gid) != 0)
        return 1;

    printf("page: /main, %zu bytes (the error page of a request without login: the whole request cycle)\n",
           page.body.size());
    ab(site.port, "/main", 2000, false); // warm every process up
    ab(site.port, "/css/bench_page.html", 2000, false);
    std::map<int, long> before = children_rss(site.httpd_pid);

    for (bool keep_alive : {false, true}) {
        double ours = ab(site.port, "/main", requests, keep_alive);
        double plain = ab(site.port, "/css/bench_page.html", requests, keep_alive);
        printf("%-22s module %8.0f req/s   static file %8.0f req/s   ratio %.2f\n",
               keep_alive ? "8 keep-alive clients:" : "8 clients:", ours, plain,
               plain > 0 ? ours / plain : 0.0);
    }
    std::map<int, long> after = children_rss(site.httpd_pid);

    printf("server processes' resident memory after warm-up: %zu processes, %ld kB\n", before.size(),
           total(before));
    printf("after %d more requests of the page (and as many of the file): %zu processes, %ld kB\n",
           2 * requests, after.size(), total(after));
    for (const auto &entry : after) {
        auto it = before.find(entry.first);
        if (it != before.end())
            printf("  process %d: %ld kB -> %ld kB (%+ld kB)\n", entry.first, it->second, entry.second,
                   entry.second - it->second);
        else
            printf("  process %d: started during the run, %ld kB\n", entry.first, entry.second);
    }
    return 0;
}
