// Many users at once against a real site: each simulated user logs in through the login form and opens
// the frameset, the top bar, the directory column, the user, group and mail-group lists, their element
// and history pages; a few of them also create and edit entries of those lists. Every answer is sorted
// into the expected page, one of the system's own failure pages (the error page, the daemon problem
// page), the login page, or a foreign answer (no answer, a status other than 200, a cut page, anything
// else). Afterwards the data files are read back and compared with every change the editors saw
// confirmed: created entries exactly, the last value of every edit, one history entry per change.
// Optionally processes die under the load: random server children get SIGKILL, and the daemon is
// stopped and started again once, while a watcher parses every data file over and over.
#pragma once

#include "support/apache_site.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace mot_test {
inline namespace support {

struct LoadOptions {
    int seconds = 60;
    int users = 16;  // simulated users, each with its own login cookie
    int editors = 4; // of them, the ones that also create and edit entries
    bool faults = false;
    int kill_every_ms = 700; // mean pause between two SIGKILLs of a server child (with faults)
};

struct LoadReport {
    std::map<std::string, long> refused; // list -> users its access rules keep out
    bool frameset = false;               // the frameset and its frames were part of the load
    double seconds = 0;
    long requests = 0;
    std::map<std::string, std::vector<double>> latency_ms; // per page kind
    long expected = 0;                                     // the page the request asked for
    long error_pages = 0;                                  // the system's error page
    long daemon_pages = 0;                                 // the daemon problem page
    long login_pages = 0;                                  // the login page: the session was lost
    long no_answer = 0;                                    // the connection closed without a complete page
    long foreign = 0;                                      // answers that are not a page of the system
    std::vector<std::string> samples;                      // what the first odd answers were
    long kills = 0;
    bool restarted = false;
    long changes_confirmed = 0;
    long changes_uncertain = 0; // attempts whose answer never came (the outcome may go either way)
    long lost = 0;
    long duplicated = 0;
    std::vector<std::string> problems;    // one line per lost, duplicated or damaged thing
    long file_checks = 0;                 // parses of the data files during the run (with faults)
    long bad_files = 0;                   // missing, partial or unreadable data files seen
    long locks_left = 0;                  // file locks of killed children found after the run
    std::vector<std::string> stale_locks; // of them, the ones still there after their timeout
    size_t procs_start = 0, procs_end = 0;
    long rss_start_kb = 0, rss_end_kb = 0;

    double percentile(const std::string &kind, double p) const;
    void print(FILE *out) const;
};

// Users "load01".."loadNN" (the first `editors` of them administrators), written into the site's user
// file before it starts; their passwords are "pw-" and the name.
void write_load_users(const ApacheSite &site, const LoadOptions &options);

// Runs the load against a started site and checks the data files afterwards.
LoadReport run_load(ApacheSite &site, const LoadOptions &options);

} // namespace support
} // namespace mot_test
