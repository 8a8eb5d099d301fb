// Sixteen simulated users against the real Apache with the module, on loopback: each logs in with its
// own cookie and opens the frameset, its frames, the user, group and mail-group lists, their elements
// and histories; four of them also create and edit entries. Reports requests per second, the 50th and
// 99th percentile latency per page kind, the answers that are not a page of the system, the server
// children's memory at the start and the end, and, from the data files read back afterwards, the
// changes lost or duplicated. With --faults, random server children get SIGKILL and the daemon is
// stopped and started again once during the run.
//   bench_load [seconds] [--faults]     (default 60 seconds)
#include "support/apache_site.h"
#include "support/load.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
    mot_test::LoadOptions options;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--faults") == 0)
            options.faults = true;
        else if (atoi(argv[i]) > 0)
            options.seconds = atoi(argv[i]);
    }
    mot_test::ApacheSite site;
    mot_test::write_load_users(site, options);
    if (!site.start_daemon() || !site.start_httpd("--users 8")) {
        fprintf(stderr, "the site did not start:\n%s%s", site.daemon_log().c_str(),
                site.httpd_output().c_str());
        return 1;
    }
    printf("%d users (%d editing) for %d s%s on 127.0.0.1:%d\n", options.users, options.editors,
           options.seconds, options.faults ? " with faults" : "", site.port);
    mot_test::LoadReport report = mot_test::run_load(site, options);
    report.print(stdout);
    bool clean = report.foreign == 0 && report.lost == 0 && report.duplicated == 0 && report.bad_files == 0 &&
                 report.problems.empty() && (options.faults || report.no_answer == 0);
    return clean ? 0 : 1;
}
