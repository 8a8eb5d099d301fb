// Editing lists through the real Apache with the module, logged in with the cookies the login page
// sets: administrators create, edit, delete and undelete users, groups and mail-group entries (each
// change in the data file and in the element's history); a second user's form of a locked element
// is refused after a few seconds naming the holder; a normal user gets only what the access rules
// give, whatever fields it posts; hostile values come back escaped on every page that shows them.
#include "support/apache_site.h"
#include "support/files.h"
#include "e2e_users.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;

struct Site {
    ApacheSite site;
    std::string lib;

    Site() {
        lib = site.home + "/user/lib";
        mot_test::write_users(
            site.home,
            {{.id = 2, .name = "boss", .password = "pw-boss", .privilege = 100, .full_name = "Big Boss"},
             {.id = 3, .name = "norm", .password = "pw-norm", .privilege = 40, .full_name = "Norm Al"},
             {.id = 4, .name = "boss2", .password = "pw-boss2", .privilege = 100, .full_name = "Other Boss"}},
            site.uid, site.gid);
    }

    bool start() { return site.start_daemon() && site.start_httpd(); }

    // Logs in through the login form and gives the cookie the server set.
    std::string login(const std::string &name, const std::string &password) {
        Multipart form;
        form.value("U", name).value("P", password);
        HttpResponse r = site.post("/main", form);
        for (auto it = r.headers.lower_bound("set-cookie"); it != r.headers.upper_bound("set-cookie"); ++it) {
            std::string c = it->second.substr(0, it->second.find(';'));
            if (c.rfind("U=", 0) == 0 && c != "U=:")
                return "Cookie: " + c;
        }
        ADD_FAILURE() << "no login cookie for " << name << "\n" << r.head << r.body;
        return "";
    }

    static std::string link(const std::string &display, const std::string &trail, const std::string &stype,
                            const std::string &rest) {
        return "/main?content&" + display + "&" + trail + "&docs&0&0&0&" + stype + "&" + rest;
    }
    HttpResponse get(const std::string &cookie, const std::string &target) {
        return site.get(target, {cookie});
    }
    HttpResponse post(const std::string &cookie, const std::string &target, const Multipart &form) {
        return site.post(target, form, {cookie});
    }
    HttpResponse edit_form(const std::string &cookie, const std::string &stype, int id) {
        return get(cookie, link("blank", "N", stype, "edit_start&ID&" + std::to_string(id)));
    }
    HttpResponse commit(const std::string &cookie, const std::string &stype, int id, const Multipart &form) {
        return post(cookie, link("none", "N", stype, "edit_end&ID&" + std::to_string(id)), form);
    }
    HttpResponse picker(const std::string &cookie, const std::string &stype, const std::string &mode,
                        const std::vector<int> &ids) {
        Multipart form;
        form.value("MATCH_GO", "").value("MATCH_CLEAR", "").value("DELETE_ALL", mode);
        for (int id : ids)
            form.value("PICKER_CHECK", std::to_string(id));
        return post(cookie, link("none", "N", stype, "picker"), form);
    }
    // A new element's form; its id from the form's address.
    int create(const std::string &cookie, const std::string &stype, std::string *page = nullptr) {
        HttpResponse r = get(cookie, link("blank", "N", stype, "new"));
        if (page != nullptr)
            *page = r.body;
        const std::string key = "edit_end&amp;ID&amp;";
        size_t at = r.body.find(key);
        if (at == std::string::npos)
            return 0;
        return atoi(r.body.c_str() + at + key.size());
    }
    std::string file(const std::string &path) { return mot_test::read_file(lib + "/" + path); }
};

// The record of the element with this id in a data file.
std::string record_of(const std::string &file, int id) {
    std::string key = "ID " + std::to_string(id) + "\n";
    size_t at = file.find(key);
    if (at == std::string::npos || (at != 0 && file[at - 1] != '\n'))
        return "";
    size_t end = file.find("------", at);
    return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

bool has(const std::string &text, const std::string &what) {
    return text.find(what) != std::string::npos;
}

const char script_text[] = "<script>alert(\"x\")</script>";
const char script_escaped[] = "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;";

TEST(ListEditSite, AdministratorsCreateEditDeleteAndUndeleteWithHistory) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    ASSERT_FALSE(boss.empty());

    // A group: created through its form, renamed, deleted and brought back.
    std::string page;
    int group = s.create(boss, "groups", &page);
    ASSERT_GT(group, 0) << page;
    EXPECT_TRUE(has(page, "<B><FONT COLOR=white>New</FONT></B>")) << page;
    HttpResponse r = s.commit(boss, "groups", group, Multipart().value("N", "Sales").value("OK.x", "3"));
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    std::string rec = record_of(s.file("groups/0"), group);
    EXPECT_TRUE(has(rec, "NEW 0\n")) << rec;
    EXPECT_TRUE(has(rec, "N ^Sales\n")) << rec;
    EXPECT_TRUE(has(s.file("groups/history/" + std::to_string(group)), "OP 0\n"));

    ASSERT_EQ(s.edit_form(boss, "groups", group).status, 200);
    s.commit(boss, "groups", group, Multipart().value("N", "Sales_EU").value("OK.x", "3"));
    EXPECT_TRUE(has(record_of(s.file("groups/0"), group), "^Sales_EU")) << s.file("groups/0");
    std::string h = s.file("groups/history/" + std::to_string(group));
    EXPECT_TRUE(has(h, "OP 1\n")) << h;
    EXPECT_TRUE(has(h, "Group Name Changed from (^Sales) to (^Sales_EU)")) << h;

    r = s.picker(boss, "groups", "delete", {group});
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    EXPECT_TRUE(has(record_of(s.file("groups/0"), group), "DEL 1\n")) << s.file("groups/0");
    r = s.picker(boss, "groups", "undelete", {group});
    EXPECT_TRUE(has(r.body, "The entries of groups can't be undeleted here")) << r.body;
    EXPECT_TRUE(has(record_of(s.file("groups/0"), group), "DEL 1\n"));
    s.picker(boss, "groups_deleted", "undelete", {group});
    EXPECT_TRUE(has(record_of(s.file("groups/0"), group), "DEL 0\n")) << s.file("groups/0");
    h = s.file("groups/history/" + std::to_string(group));
    EXPECT_TRUE(has(h, "OP 2\n") && has(h, "OP 3\n")) << h;

    // A user: every kind of field of the profile form, the password stored as a hash only.
    int user = s.create(boss, "passwd_profile", &page);
    ASSERT_GT(user, 0) << page;
    EXPECT_TRUE(has(page, "NAME=\"P_1\"")) << page;
    EXPECT_TRUE(has(page, "Advanced_Options")) << page;
    // The advanced field travels hidden in the form; its own window edits it and copies it back.
    EXPECT_TRUE(has(page, "<INPUT TYPE=HIDDEN NAME=\"LOG\" VALUE=\"All\">")) << page;
    std::string adv_link = Site::link("blank", "N", "passwd_profile", "edit_adv&ID&" + std::to_string(user));
    HttpResponse adv = s.get(boss, adv_link);
    EXPECT_TRUE(has(adv.body, "<B><FONT color=white>Advanced...</FONT></B>")) << adv.body;
    EXPECT_TRUE(has(adv.body, "<FORM NAME=\"Edit_Adv\" ACTION=\"junk\"")) << adv.body;
    EXPECT_TRUE(has(adv.body, "mo_adv_copy(\"LOG\");")) << adv.body;
    EXPECT_TRUE(has(adv.body, "<SELECT NAME=\"LOG\">\n <OPTION SELECTED>All\n")) << adv.body;
    EXPECT_FALSE(has(adv.body, "NAME=\"F\"")) << adv.body;
    Multipart form;
    form.value("F", std::string("Carol ") + script_text)
        .value("U", "carol")
        .value("P_orig", "")
        .value("P_1", "carol-secret")
        .value("P_2", "carol-secret")
        .value("PM", "View Only")
        .value("NM", "No Mail")
        .value("CM", "Mail If Subscribed")
        .value("LOG", "All Except Copy")
        .value("ADD", "carol@example.com")
        .value("GR", "^Sales_EU")
        .value("OK.x", "1");
    r = s.commit(boss, "passwd_profile", user, form);
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    rec = record_of(s.file("passwd/0"), user);
    EXPECT_TRUE(has(rec, "NEW 0\n")) << rec;
    EXPECT_TRUE(has(rec, "U carol\n")) << rec;
    EXPECT_TRUE(has(rec, std::string("F Carol ") + script_text + "\n")) << rec;
    EXPECT_TRUE(has(rec, "PM 20\n")) << rec;
    EXPECT_TRUE(has(rec, "NM 2\n")) << rec;
    EXPECT_TRUE(has(rec, "LOG 2\n")) << rec;
    EXPECT_TRUE(has(rec, "GR " + std::to_string(group))) << rec;
    EXPECT_FALSE(has(s.file("passwd/0"), "carol-secret"));
    EXPECT_TRUE(has(s.file("passwd/history/" + std::to_string(user)), "OP 0\n"));
    // The form was sent: its advanced window is no longer open to it.
    EXPECT_TRUE(
        has(s.get(boss, adv_link).body, "You do not hold the lock of element " + std::to_string(user)));
    // The new user logs in with the password given on the form.
    std::string carol = s.login("carol", "carol-secret");
    EXPECT_FALSE(carol.empty());

    // Changing two fields records exactly those two.
    s.edit_form(boss, "passwd_profile", user);
    s.commit(boss, "passwd_profile", user,
             Multipart()
                 .value("F", std::string("Carol ") + script_text)
                 .value("ADD", "c@example.org")
                 .value("PM", "Normal"));
    h = s.file("passwd/history/" + std::to_string(user));
    EXPECT_TRUE(has(h, "Email Changed from (carol@example.com) to (c@example.org)")) << h;
    EXPECT_TRUE(has(h, "Permission Changed from (View Only) to (Normal)")) << h;
    EXPECT_FALSE(has(h, "Full Name Changed")) << h;
    s.edit_form(boss, "passwd_profile", user);
    s.commit(boss, "passwd_profile", user, Multipart().value("F", std::string("Caroline ") + script_text));
    h = s.file("passwd/history/" + std::to_string(user));
    EXPECT_TRUE(has(h, std::string("Full Name Changed from (Carol ") + script_text + ") to (Caroline " +
                           script_text + ")"))
        << h;

    // Deleted through the profile list, undeleted through the deleted profiles.
    s.picker(boss, "passwd_profile", "delete", {user});
    EXPECT_TRUE(has(record_of(s.file("passwd/0"), user), "DEL 1\n"));
    s.picker(boss, "passwd_profile_deleted", "undelete", {user});
    EXPECT_TRUE(has(record_of(s.file("passwd/0"), user), "DEL 0\n"));

    // A mail-group entry: created with a hostile subject, then deleted.
    int mail = s.create(boss, "mgroups", &page);
    ASSERT_GT(mail, 0) << page;
    s.commit(boss, "mgroups", mail,
             Multipart().value("S", script_text).value("A", "Ann <ann@x>").value("D", "now"));
    rec = record_of(s.file("index/0/0"), mail);
    EXPECT_TRUE(has(rec, std::string("S ") + script_text + "\n")) << rec;
    EXPECT_TRUE(has(rec, "D 0\n")) << rec; // shown, never taken from the form
    s.picker(boss, "mgroups", "delete", {mail});
    EXPECT_TRUE(has(record_of(s.file("index/0/0"), mail), "DEL 1\n")) << s.file("index/0/0");

    // The hostile values come back escaped on the list, element, edit and history pages (the
    // history's details are an advanced column).
    std::string history = "/main?content&content&A&docs&0&0&" + std::to_string(user) + "&passwd_history&" +
                          std::to_string(user) + "&";
    s.get(boss, history + "advanced_toggle");
    std::vector<std::string> pages = {
        s.get(boss, Site::link("content", "A", "passwd_profile", "list")).body,
        s.get(boss, Site::link("content", "A", "passwd_profile", "view&ID&" + std::to_string(user))).body,
        s.edit_form(boss, "passwd_profile", user).body,
        s.get(boss, history + "list").body,
    };
    // The history page of a list without a folder is titled by its help text, said once.
    EXPECT_TRUE(has(pages[3], "<FONT COLOR=WHITE>History of the passwd entries</FONT>")) << pages[3];
    EXPECT_FALSE(has(pages[3], "History of History")) << pages[3];
    for (size_t i = 0; i < pages.size(); i++) {
        EXPECT_FALSE(has(pages[i], script_text)) << i << pages[i];
        EXPECT_TRUE(has(pages[i], script_escaped)) << i << pages[i];
    }
}

TEST(ListEditSite, ASecondFormOfALockedElementIsRefusedNamingTheHolder) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    std::string boss2 = s.login("boss2", "pw-boss2");
    int group = s.create(boss, "groups");
    ASSERT_GT(group, 0);
    s.commit(boss, "groups", group, Multipart().value("N", "Locked"));
    ASSERT_TRUE(has(s.edit_form(boss, "groups", group).body, "NAME=\"N\""));
    auto start = std::chrono::steady_clock::now();
    HttpResponse refused = s.edit_form(boss2, "groups", group);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, 4.0);
    EXPECT_LT(waited, 15.0);
    EXPECT_TRUE(
        has(refused.body, "element " + std::to_string(group) + " is already locked by Big Boss on 127.0.0.1"))
        << refused.body;
    EXPECT_FALSE(has(refused.body, "NAME=\"N\"")) << refused.body;
    // The holder's form still commits; then the other may edit.
    s.commit(boss, "groups", group, Multipart().value("N", "Unlocked"));
    EXPECT_TRUE(has(record_of(s.file("groups/0"), group), "^Unlocked")) << s.file("groups/0");
    EXPECT_TRUE(has(s.edit_form(boss2, "groups", group).body, "NAME=\"N\""));
    // Committing a form twice: the second is refused and changes nothing.
    s.commit(boss2, "groups", group, Multipart().value("N", "First"));
    HttpResponse twice = s.commit(boss2, "groups", group, Multipart().value("N", "Second"));
    EXPECT_TRUE(
        has(twice.body, "You do not hold the lock of element " + std::to_string(group) + " of groups"))
        << twice.body;
    EXPECT_TRUE(has(record_of(s.file("groups/0"), group), "^First")) << s.file("groups/0");
}

TEST(ListEditSite, ANormalUserGetsOnlyWhatTheAccessRulesGive) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string norm = s.login("norm", "pw-norm");
    std::string before = s.file("passwd/0");

    // Its own profile: the fields it may change change; posted fields of the others do nothing.
    HttpResponse form = s.edit_form(norm, "passwd_profile", 3);
    EXPECT_TRUE(has(form.body, "NAME=\"F\"")) << form.body;
    EXPECT_FALSE(has(form.body, "NAME=\"PM\"")) << form.body;
    EXPECT_FALSE(has(form.body, "NAME=\"U\"")) << form.body;
    s.commit(norm, "passwd_profile", 3,
             Multipart()
                 .value("F", "Norm Changed")
                 .value("U", "admin2")
                 .value("PM", "Admin")
                 .value("LOG", "Log Nothing")
                 .value("GR", "^all")
                 .value("SID", "1")
                 .value("ID", "2"));
    std::string rec = record_of(s.file("passwd/0"), 3);
    EXPECT_TRUE(has(rec, "F Norm Changed\n")) << rec;
    EXPECT_TRUE(has(rec, "U norm\n")) << rec;
    EXPECT_TRUE(has(rec, "PM 40\n")) << rec;
    EXPECT_TRUE(has(rec, "DEL 0\n")) << rec;
    EXPECT_FALSE(has(rec, "LOG 3")) << rec;
    EXPECT_EQ(record_of(s.file("passwd/0"), 2), record_of(before, 2));
    std::string h = s.file("passwd/history/3");
    EXPECT_TRUE(has(h, "Full Name Changed from (Norm Al) to (Norm Changed)")) << h;
    EXPECT_EQ(mot_test::count_of(h, "\\n"), 1u) << h; // one change line
    // Its own delete status is its to change, but the user list refuses it.
    s.edit_form(norm, "passwd_profile", 3);
    HttpResponse self = s.commit(norm, "passwd_profile", 3, Multipart().value("DEL", "Deleted"));
    EXPECT_TRUE(has(self.body, "You can't delete yourself.")) << self.body;
    EXPECT_TRUE(has(record_of(s.file("passwd/0"), 3), "DEL 0\n"));

    // Another user's profile, the groups and deleting others: refused with the access message.
    const std::string refusal = "Sorry you don't have sufficient access privileges for this operation";
    EXPECT_TRUE(has(s.edit_form(norm, "passwd_profile", 2).body, refusal + " edit_start"));
    EXPECT_TRUE(has(s.commit(norm, "passwd_profile", 2, Multipart().value("F", "Owned")).body,
                    refusal + " edit_end"));
    EXPECT_TRUE(has(s.get(norm, Site::link("blank", "N", "groups", "new")).body, refusal + " new"));
    EXPECT_TRUE(has(s.get(norm, Site::link("blank", "N", "passwd_profile", "new")).body, refusal + " new"));
    HttpResponse del = s.picker(norm, "passwd_profile", "delete", {2});
    EXPECT_TRUE(has(del.body, "Can't find ID number 2 in passwd_profile records")) << del.body;
    // Forged arguments.
    EXPECT_TRUE(has(s.get(norm, Site::link("blank", "N", "passwd_profile", "edit_start&U&norm")).body,
                    "Elements of passwd_profile are edited by their ID, not by U"));
    EXPECT_TRUE(has(s.get(norm, Site::link("blank", "N", "passwd_profile", "edit_start&ID&3%2F..")).body,
                    "Can't find ID number 3/.. in passwd_profile records"));
    EXPECT_EQ(record_of(s.file("passwd/0"), 2), record_of(before, 2));
    EXPECT_TRUE(has(record_of(s.file("passwd/0"), 3), "F Norm Changed\n"));

    // The histories are the administrators': the list links a normal user to none, whose page would
    // only refuse him, and an administrator's list links to every row's.
    HttpResponse page = s.get(norm, Site::link("content", "A", "passwd_profile", "list"));
    // Kept by no cache: the back button after a logout must not show it.
    EXPECT_EQ(page.header("cache-control"), "no-store");
    std::string list = page.body;
    EXPECT_TRUE(has(list, "Norm Changed")) << list;
    EXPECT_FALSE(has(list, "passwd_history&")) << list;
    EXPECT_TRUE(has(s.get(norm, "/main?content&content&A&docs&0&0&3&passwd_history&3&list").body, refusal));
    std::string boss = s.login("boss", "pw-boss");
    list = s.get(boss, Site::link("content", "A", "passwd_profile", "list")).body;
    EXPECT_TRUE(has(list, "passwd_history&3&list") && has(list, "passwd_history&2&list")) << list;
}

} // namespace
