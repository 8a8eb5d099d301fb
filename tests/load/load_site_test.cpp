// Many users at once through the real Apache with the module and the real daemon: sixteen users with
// their own login cookies open the frameset, its frames, the lists, their elements and histories while
// four of them create and edit entries; then the same with server children killed at random and the
// daemon stopped and started again under them. Every answer must be a page of the system, the data
// files must hold exactly the confirmed changes with one history entry each, stay whole and parseable
// all along, no lock may stay behind, and every user carries on with the cookie it has.
#include "support/apache_site.h"
#include "support/load.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using mot_test::ApacheSite;
using mot_test::LoadOptions;
using mot_test::LoadReport;

std::string text_of(const LoadReport &report) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    report.print(out);
    fclose(out);
    std::string text(buf, len);
    free(buf);
    return text;
}

// A site sized for the load: enough processes for sixteen users at once.
bool start(ApacheSite &site, const LoadOptions &options) {
    mot_test::write_load_users(site, options);
    return site.start_daemon() && site.start_httpd("--users 8");
}

TEST(LoadSite, SixteenUsersFourEditorsLoseNothing) {
    ApacheSite site;
    LoadOptions options;
    options.seconds = 15;
    ASSERT_TRUE(start(site, options)) << site.daemon_log() << site.httpd_output();
    LoadReport r = mot_test::run_load(site, options);
    std::string text = text_of(r);
    printf("%s", text.c_str());
    EXPECT_GT(r.requests, 100) << text;
    EXPECT_EQ(r.requests, r.expected) << text;
    EXPECT_EQ(r.foreign, 0) << text;
    EXPECT_EQ(r.no_answer, 0) << text;
    EXPECT_EQ(r.error_pages + r.daemon_pages + r.login_pages, 0) << text;
    EXPECT_GT(r.changes_confirmed, 20) << text;
    EXPECT_EQ(r.changes_uncertain, 0) << text;
    EXPECT_EQ(r.lost, 0) << text;
    EXPECT_EQ(r.duplicated, 0) << text;
    EXPECT_GT(r.file_checks, 10) << text;
    EXPECT_EQ(r.bad_files, 0) << text;
    EXPECT_TRUE(r.stale_locks.empty()) << text;
    EXPECT_TRUE(r.problems.empty()) << text;
    EXPECT_EQ(site.crash_lines(), "");
}

TEST(LoadSite, KilledChildrenAndADaemonRestartLoseNothing) {
    ApacheSite site;
    LoadOptions options;
    options.seconds = 20;
    options.faults = true;
    ASSERT_TRUE(start(site, options)) << site.daemon_log() << site.httpd_output();
    LoadReport r = mot_test::run_load(site, options);
    std::string text = text_of(r);
    printf("%s", text.c_str());
    EXPECT_GT(r.kills, 5) << text;
    EXPECT_TRUE(r.restarted) << text;
    // Requests in flight may fail, but only with the system's own pages, or with the connection of a
    // child that was killed (one request each under the prefork server).
    EXPECT_EQ(r.foreign, 0) << text;
    EXPECT_LE(r.no_answer, r.kills) << text;
    EXPECT_EQ(r.login_pages, 0) << text;
    EXPECT_GT(r.daemon_pages, 0) << "the restart was seen by no request\n" << text;
    EXPECT_GT(r.changes_confirmed, 10) << text;
    EXPECT_EQ(r.lost, 0) << text;
    EXPECT_EQ(r.duplicated, 0) << text;
    EXPECT_GT(r.file_checks, 10) << text;
    EXPECT_EQ(r.bad_files, 0) << text;
    EXPECT_TRUE(r.stale_locks.empty()) << text;
    EXPECT_TRUE(r.problems.empty()) << text;
}

} // namespace
