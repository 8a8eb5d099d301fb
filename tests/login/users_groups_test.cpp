// The user and group lists in a real process against the real daemon: the system records and their
// first-read check, the access service, the row and column rules of the user lists, the password and
// e-mail cells, and the checks of names and deleting.
#include "login_fixture.h"

#include "apps/mocr_crypt.h"
#include "test_util.h"
#include "web/mow_web.h"

#include <algorithm>
#include <crypt.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using login_test::Capture;
using login_test::SystemProc;
using mot_test::Installation;
using mot_test::TestUser;

struct Site : ::testing::Test {
    Installation inst;
    std::string passwd_file() const { return inst.home + "/user/lib/passwd/0"; }
    std::string groups_file() const { return inst.home + "/user/lib/groups/0"; }
    void SetUp() override { ASSERT_TRUE(inst.start_daemon()); }
    void setup_key(const std::string &line) {
        mot_test::write_file(inst.home + "/user/user_conf/gen.setup", line + "\n");
    }
};

const std::vector<TestUser> staff = {
    {.id = 5, .name = "bob", .password = "bobsecret", .privilege = 40, .full_name = "Bob Normal"},
    {.id = 6, .name = "carol", .password = "carolsecret", .privilege = 100, .full_name = "Carol Admin"},
    {.id = 7,
     .name = "dave",
     .password = "davesecret",
     .privilege = 40,
     .full_name = "Dave Gone",
     .deleted = true},
    {.id = 8, .name = "erin", .password = "", .privilege = 20, .full_name = "Erin Viewer"},
};

std::vector<MOW_POST_RESULTS_T> form(std::vector<std::pair<std::string, std::string>> &fields) {
    std::vector<MOW_POST_RESULTS_T> r;
    for (auto &f : fields)
        r.push_back({f.first.data(), f.second.data()});
    r.push_back({nullptr, nullptr});
    return r;
}

TEST_F(Site, SystemRecordsAreMadeOnceAndWrittenOnlyWhenSomethingChanged) {
    // The site gives the administrator's password; groups hold a name without its mark.
    std::string admin_hash = mot_test::hash_password("first admin pw");
    setup_key("ADMIN_PASSWD " + admin_hash);
    mkdir((inst.home + "/user/lib/groups").c_str(), 0755);
    mot_test::write_file(groups_file(), "ID 3\nN sales\n------\nID 4\nN ^sales\n");
    mot_test::write_users(inst.home, {staff[0]});
    {
        SystemProc p(inst);
        ASSERT_TRUE(p.ok);
        std::string err;
        err = mot_test::capture_stderr([&] { ASSERT_EQ(p.begin(), 0); });
        // Two groups became "^sales": they are left for the administrator, with a warning.
        EXPECT_NE(err.find("There are two active groups called ^sales in the groups list"), std::string::npos)
            << err;
        MOA_ACCESS_T *a = p.aux->access;
        mo_boolean_t deleted = TRUE;
        int admin = MOA_NO_ID;
        ASSERT_EQ(a->get_user_id(a, "admin", &deleted, &admin), 0);
        EXPECT_EQ(admin, 6) << "the next id after the largest";
        EXPECT_FALSE(deleted);
        mo_boolean_t match = FALSE;
        ASSERT_EQ(a->check_passwd(a, admin, "first admin pw", &match), 0);
        EXPECT_TRUE(match);
        int privilege = 0;
        a->get_privilege(a, admin, &privilege);
        EXPECT_EQ(privilege, 100);
        int all = MOA_NO_ID;
        ASSERT_EQ(moap_group_find_sys_id(a, MOAP_GROUPS_SYS_ALL, &deleted, &all), 0);
        EXPECT_EQ(all, 5);
        const char *name = nullptr;
        a->get_group_name(a, all, &deleted, &name);
        EXPECT_STREQ(name, "^all");
        a->get_group_name(a, 3, &deleted, &name);
        EXPECT_STREQ(name, "^sales");
        p.end();
    }
    std::string users = mot_test::read_file(passwd_file());
    EXPECT_NE(users.find("F Initial Admin\nU admin\nP " + admin_hash + "\nPM 100\nNM 2\nCM 3\n"),
              std::string::npos)
        << users;
    EXPECT_NE(users.find("SID 1\n"), std::string::npos);
    std::string groups = mot_test::read_file(groups_file());
    EXPECT_NE(groups.find("N ^sales\n"), std::string::npos) << groups;
    EXPECT_EQ(groups.find("N sales\n"), std::string::npos) << groups;
    EXPECT_NE(groups.find("N ^all\nSID 1\n"), std::string::npos) << groups;

    // The next process finds everything in order: neither file is written again.
    long long users_time = login_test::mtime_of(passwd_file());
    long long groups_time = login_test::mtime_of(groups_file());
    {
        SystemProc p(inst);
        ASSERT_TRUE(p.ok);
        mot_test::capture_stderr([&] { ASSERT_EQ(p.begin(), 0); });
        p.end();
    }
    EXPECT_EQ(login_test::mtime_of(passwd_file()), users_time);
    EXPECT_EQ(login_test::mtime_of(groups_file()), groups_time);
    EXPECT_EQ(mot_test::read_file(passwd_file()), users);

    // Changes made to the administrator in the file are undone at the next process start; its deleted
    // flag is left alone. With the key emptied, no password opens the account.
    std::string edited = users;
    size_t at = edited.find("U admin\n");
    edited.replace(at, 8, "U boss\n");
    at = edited.find("PM 100\nNM 2");
    edited.replace(at, 6, "PM 20\n");
    mot_test::write_file(passwd_file(), edited);
    setup_key("ADMIN_PASSWD");
    {
        SystemProc p(inst);
        ASSERT_TRUE(p.ok);
        mot_test::capture_stderr([&] { ASSERT_EQ(p.begin(), 0); });
        MOA_ACCESS_T *a = p.aux->access;
        mo_boolean_t deleted = FALSE;
        int admin = MOA_NO_ID;
        a->get_user_id(a, "admin", &deleted, &admin);
        ASSERT_EQ(admin, 6);
        const char *stored = nullptr;
        a->get_passwd(a, admin, &stored);
        EXPECT_STREQ(stored, MOCR_LOCKED_PASSWD);
        mo_boolean_t match = TRUE;
        a->check_passwd(a, admin, "first admin pw", &match);
        EXPECT_FALSE(match);
        a->get_user_id(a, "boss", &deleted, &admin);
        EXPECT_EQ(admin, MOA_NO_ID);
        p.end();
    }
    users = mot_test::read_file(passwd_file());
    EXPECT_NE(users.find("U admin\nP *\nPM 100\n"), std::string::npos) << users;
}

TEST_F(Site, AccessServiceAnswersLookupsAndChecksPasswords) {
    std::vector<TestUser> users = staff;
    mot_test::write_users(inst.home, users);
    // An older file's DES text keeps working; a user still being created is nobody.
    std::string des = crypt("oldpass1", "ab");
    std::string text = mot_test::read_file(passwd_file());
    text += "------\nID 9\nNEW 0\nDEL 0\nU olga\nP " + des + "\nPM 40\n------\nID 10\nNEW 5\nU newbie\n";
    mot_test::write_file(passwd_file(), text);
    SystemProc p(inst);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.begin("bob"), 0);
    MOA_ACCESS_T *a = p.aux->access;
    EXPECT_EQ(a->current_user_id, 5);

    mo_boolean_t deleted = TRUE;
    int id = 0;
    // A mistyped name is an answer, not an error: nothing is reported.
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(a->get_user_id(a, "nobody", &deleted, &id), 0); });
    EXPECT_EQ(id, MOA_NO_ID);
    EXPECT_EQ(err, "");
    a->get_user_id(a, "newbie", &deleted, &id);
    EXPECT_EQ(id, MOA_NO_ID);
    a->get_user_id(a, "dave", &deleted, &id);
    EXPECT_EQ(id, 7);
    EXPECT_TRUE(deleted);

    struct Case {
        int user;
        const char *passwd;
        bool match;
    } cases[] = {{5, "bobsecret", true},     {5, "bobsecreT", false}, {5, "", false},
                 {9, "oldpass1", true},      {9, "oldpass2", false},  {8, "", false},
                 {8, "Rm4.Tq8Wz1KdE", false}};
    for (auto &c : cases) {
        mo_boolean_t match = !c.match;
        ASSERT_EQ(a->check_passwd(a, c.user, c.passwd, &match), 0);
        EXPECT_EQ(match != FALSE, c.match) << c.user << " " << c.passwd;
    }
    const char *full = nullptr;
    a->get_full_name(a, 6, &full);
    EXPECT_STREQ(full, "Carol Admin");
    int value = 0;
    a->get_mail_new(a, 5, &value);
    EXPECT_EQ(value, 3);
    a->get_mail_checkin(a, 5, &value);
    EXPECT_EQ(value, 5);
    a->get_log_option(a, 5, &value);
    EXPECT_EQ(value, 1);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(a->get_privilege(a, 99, &value), 1); });
    EXPECT_NE(err.find("Can't find user id 99 in the passwd list"), std::string::npos) << err;
    const char *name = nullptr;
    ASSERT_EQ(a->get_user_name(a, 99, &deleted, &name), 0);
    EXPECT_STREQ(name, "Not-Defined");
    EXPECT_TRUE(deleted);

    // bob has 40: a check at 100 with the message, and at 40 without.
    mo_boolean_t ok = TRUE;
    err = mot_test::capture_stderr([&] { EXPECT_EQ(a->check_privilege(a, 100, 1, &ok), 1); });
    EXPECT_FALSE(ok);
    EXPECT_NE(
        err.find("You don't have enough access privilege, you must have at least 100 but you only have 40"),
        std::string::npos)
        << err;
    EXPECT_EQ(a->check_privilege(a, 100, 0, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(a->check_privilege(a, 40, 1, &ok), 0);
    EXPECT_TRUE(ok);
    p.end();

    // The current user is found by name: unknown and deleted users are turned away.
    login_test::current_name() = "zed";
    err = mot_test::capture_stderr([&] { EXPECT_EQ(a->init_user_id(a), 1); });
    EXPECT_NE(err.find("Sorry can't find the user zed"), std::string::npos) << err;
    login_test::current_name() = "dave";
    err = mot_test::capture_stderr([&] { EXPECT_EQ(a->init_user_id(a), 1); });
    EXPECT_NE(err.find("Sorry the user dave has been deleted, see the administrator"), std::string::npos)
        << err;
    EXPECT_EQ(a->current_user_id, -1);
}

TEST_F(Site, EachUserListShowsItsRowsAndColumns) {
    mot_test::write_users(inst.home, staff);
    SystemProc p(inst);
    ASSERT_TRUE(p.ok);
    struct View {
        const char *list;
        const char *user;
        std::vector<std::string> visible;  // rows shown
        std::vector<std::string> editable; // rows that may be changed
    } views[] = {
        {"passwd", "bob", {"bob", "carol", "erin"}, {}},
        {"passwd_profile", "bob", {"bob"}, {"bob"}},
        {"passwd_profile", "carol", {"bob", "carol", "erin", "admin"}, {"bob", "carol", "erin"}},
        {"passwd_profile_deleted", "carol", {"dave"}, {"dave"}},
        {"passwd_profile_deleted", "bob", {"dave"}, {}},
        // Until the general setup says who sees the company tab, only administrators see contacts.
        {"passwd_contact", "bob", {}, {"bob"}},
        {"passwd_contact", "carol", {"bob", "carol", "erin"}, {"bob", "carol", "erin"}},
    };
    for (const View &v : views) {
        SCOPED_TRACE(std::string(v.list) + " as " + v.user);
        ASSERT_EQ(p.begin(v.user), 0);
        MOT_TOP_STYPE_T *s = p.stype(v.list);
        ASSERT_NE(s, nullptr);
        std::vector<std::string> visible, editable;
        for (MOK_DATA_RECORD_T *r = p.rows(s); r != nullptr; r = r->next) {
            if (r->access_view)
                visible.push_back(login_test::user_of(r)->user_name);
            if (r->access_edit &&
                login_test::user_of(r)->delete_status == (strcmp(v.list, "passwd_profile_deleted") == 0))
                editable.push_back(login_test::user_of(r)->user_name);
        }
        std::sort(visible.begin(), visible.end());
        std::sort(editable.begin(), editable.end());
        std::vector<std::string> want_visible = v.visible, want_editable = v.editable;
        std::sort(want_visible.begin(), want_visible.end());
        std::sort(want_editable.begin(), want_editable.end());
        EXPECT_EQ(visible, want_visible);
        EXPECT_EQ(editable, want_editable);
        p.end();
    }

    // Columns: {view, edit, batch} per list and user.
    struct Col {
        const char *list, *user, *keyword;
        bool view, edit, bview;
    } cols[] = {
        {"passwd_profile", "bob", "F", true, true, true},
        {"passwd_contact", "bob", "F", true, false, false},
        {"passwd_profile", "bob", "U", true, false, true},
        {"passwd_profile", "carol", "U", true, true, true},
        {"passwd_contact", "bob", "U", false, false, true},
        {"passwd_profile", "bob", "PM", false, false, true},
        {"passwd_profile", "carol", "PM", true, true, true},
        {"passwd_profile_deleted", "carol", "PM", false, false, true},
        {"passwd_profile", "bob", "LOG", false, false, true},
        {"passwd_profile", "bob", "P", true, true, true},
        {"passwd_contact", "carol", "P", false, false, false},
        {"passwd_profile", "bob", "GR", true, false, true},
        {"passwd_profile", "carol", "GR", true, true, true},
        {"passwd_contact", "bob", "ADD", true, true, true},
        {"passwd_profile", "carol", "PHW", false, false, false},
        {"passwd_contact", "bob", "AS", true, true, true},
        {"passwd_profile", "carol", "SID", false, false, false},
        {"passwd_profile", "carol", "DEL", false, true, false},
        {"passwd_profile_deleted", "carol", "DEL", true, true, false},
    };
    for (const Col &c : cols) {
        SCOPED_TRACE(std::string(c.list) + " " + c.keyword + " as " + c.user);
        ASSERT_EQ(p.begin(c.user), 0);
        MOT_TOP_STYPE_T *s = p.stype(c.list);
        ASSERT_NE(p.rows(s), nullptr);
        MOTSL_STDLIST_KEYWORD_T *col = p.column(s, c.keyword);
        ASSERT_NE(col, nullptr);
        EXPECT_EQ(col->access_type->view_access_col != FALSE, c.view);
        EXPECT_EQ(col->access_type->edit_access_col != FALSE, c.edit);
        EXPECT_EQ(col->access_type->bview_access_col != FALSE, c.bview);
        p.end();
    }
}

TEST_F(Site, PasswordFieldsKeepTheHashOnTheServer) {
    mot_test::write_users(inst.home, staff);
    SystemProc p(inst);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.begin("bob"), 0);
    MOT_TOP_STYPE_T *s = p.stype("passwd_profile");
    MOK_DATA_RECORD_T *rows = p.rows(s);
    MOK_DATA_RECORD_T *bob = login_test::find_user(rows, "bob");
    MOK_DATA_RECORD_T *erin = login_test::find_user(rows, "erin");
    ASSERT_TRUE(bob != nullptr && erin != nullptr);
    MOTSL_STDLIST_KEYWORD_T *col = p.column(s, "P");
    std::string stored = login_test::user_of(bob)->passwd;

    Capture form_out;
    ASSERT_EQ(col->cell_edit_start_fn(s, &form_out.out, col, bob), 0);
    EXPECT_NE(form_out.text.find(
                  "<TD ALIGN = LEFT>\n"
                  "<INPUT TYPE=HIDDEN  NAME=\"P\" VALUE=\"\" SIZE=15 MAXLENGTH=15>\n"
                  "<INPUT TYPE=HIDDEN  NAME=\"P_orig\" VALUE=\"********\" SIZE=15 MAXLENGTH=15>\n"
                  "<INPUT TYPE=PASSWORD  NAME=\"P_1\" VALUE=\"********\" SIZE=15 MAXLENGTH=80>\n"
                  "</TD>\n<TD><B>Confirm Passwd</B></TD>\n<TD ALIGN = LEFT>\n"
                  "<INPUT TYPE=PASSWORD  NAME=\"P_2\" VALUE=\"********\" SIZE=15 MAXLENGTH=80>\n</TD>\n"),
              std::string::npos)
        << form_out.text;
    EXPECT_EQ(form_out.text.find(stored), std::string::npos) << "the hash never goes into the page";
    Capture unset_form;
    col->cell_edit_start_fn(s, &unset_form.out, col, erin);
    EXPECT_NE(unset_form.text.find("NAME=\"P_1\" VALUE=\"\""), std::string::npos) << unset_form.text;
    Capture cells;
    col->cell_list_fn(s, &cells.out, col, bob);
    col->cell_list_fn(s, &cells.out, col, erin);
    col->cell_bview_fn(s, &cells.out, col, bob);
    col->cell_bview_fn(s, &cells.out, col, erin);
    EXPECT_EQ(cells.text,
              "<TD ALIGN = LEFT>********</TD>\n<TD ALIGN = LEFT>_</TD>\nPASSWD=\"********\"\nPASSWD=\"_\"\n");

    auto post = [&](const std::string &one, const std::string &two, const std::string &hidden) {
        std::vector<std::pair<std::string, std::string>> f = {
            {"P", hidden}, {"P_orig", "********"}, {"P_1", one}, {"P_2", two}};
        auto results = form(f);
        return col->cell_edit_end_fn(s, col, results.data(), bob->container);
    };
    // Unchanged entries keep what the server holds, whatever the hidden field claims.
    ASSERT_EQ(post("********", "********", "Rm4.Tq8Wz1KdE"), 0);
    EXPECT_EQ(std::string(login_test::user_of(bob)->passwd), stored);
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(post("short", "short", ""), 1); });
    EXPECT_NE(err.find("Passwd field must have at least 6 characters, go back and try again."),
              std::string::npos);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(post("longenough", "longenougH", ""), 1); });
    EXPECT_NE(err.find("Both passwd fields are not the same, go back and try again."), std::string::npos);
    EXPECT_EQ(std::string(login_test::user_of(bob)->passwd), stored) << "a refused entry changes nothing";
    ASSERT_EQ(post("new secret", "new secret", ""), 0);
    std::string first = login_test::user_of(bob)->passwd;
    ASSERT_EQ(post("new secret", "new secret", ""), 0);
    std::string second = login_test::user_of(bob)->passwd;
    EXPECT_NE(first, second) << "a new salt each time";
    EXPECT_TRUE(mocr_crypt_verify("new secret", first.c_str()));
    EXPECT_TRUE(mocr_crypt_verify("new secret", second.c_str()));
    p.end();
}

TEST_F(Site, NamesAndDeletingAreChecked) {
    mot_test::write_users(inst.home, staff);
    SystemProc p(inst);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.begin("carol"), 0);
    MOT_TOP_STYPE_T *s = p.stype("passwd_profile");
    MOK_DATA_RECORD_T *rows = p.rows(s);
    MOK_DATA_RECORD_T *bob = login_test::find_user(rows, "bob");
    MOK_DATA_RECORD_T *carol = login_test::find_user(rows, "carol");
    MOK_DATA_RECORD_T *dave = login_test::find_user(rows, "dave");
    ASSERT_TRUE(bob && carol && dave);
    MOTSL_STDLIST_KEYWORD_T *u = p.column(s, "U");
    MOAP_PASSWD_T copy = *login_test::user_of(bob);
    struct Case {
        const char *name;
        const char *message; // nullptr: accepted
    } cases[] = {
        {"ADMIN", "The user name admin is reserved."},
        {"Admin", "The user name admin is reserved."},
        {"carol",
         "There is already another active User Name called carol, go back and try another User Name."},
        {"bo b", "The User Name (bo b) is not allowed to contain the characters"},
        {"a,b", "The User Name (a,b) is not allowed to contain the characters"},
        {"x:y", "is not allowed to contain the characters"},
        {"line\nbreak", "The User Name is not allowed to contain line breaks or control characters."},
        {"", "The User Name can not be empty"},
        {"dave", nullptr}, // the other dave is deleted
        {"robert", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        copy.user_name = const_cast<char *>(c.name);
        int ret = 0;
        std::string err =
            mot_test::capture_stderr([&] { ret = u->cell_edit_check_fn(s, u, bob->container, &copy); });
        EXPECT_EQ(ret, c.message == nullptr ? 0 : 1) << err;
        if (c.message != nullptr) {
            EXPECT_NE(err.find(c.message), std::string::npos) << err;
        }
    }

    MOTSL_STDLIST_KEYWORD_T *del = p.column(s, "DEL");
    MOAP_PASSWD_T gone = *login_test::user_of(carol);
    gone.delete_status = 1;
    std::string err;
    err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(del->cell_edit_check_fn(s, del, carol->container, &gone), 1); });
    EXPECT_NE(err.find("You can't delete yourself."), std::string::npos) << err;
    MOAP_PASSWD_T bob_gone = *login_test::user_of(bob);
    bob_gone.delete_status = 1;
    EXPECT_EQ(del->cell_edit_check_fn(s, del, bob->container, &bob_gone), 0);
    // Bringing dave back while another active user has his name is refused.
    MOAP_PASSWD_T dave_back = *login_test::user_of(dave);
    dave_back.delete_status = 0;
    dave_back.user_name = const_cast<char *>("bob");
    err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(del->cell_edit_check_fn(s, del, dave->container, &dave_back), 1); });
    EXPECT_NE(err.find("There is already another active User Name called bob"), std::string::npos) << err;
    p.end();
}

TEST_F(Site, UserTextsAreEscapedInCellsAndTitles) {
    std::vector<TestUser> users = {
        {.id = 5,
         .name = "mallory",
         .password = "malsecret",
         .privilege = 40,
         .full_name = "<script>alert(1)</script> \"M\" & co",
         .email = "m\"><b>@example.com"},
        {.id = 6, .name = "plain", .password = "plainsecret", .full_name = "Ann Lee"}};
    mot_test::write_users(inst.home, users);
    SystemProc p(inst);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.begin("mallory"), 0);
    MOT_TOP_STYPE_T *s = p.stype("passwd_profile");
    MOK_DATA_RECORD_T *rows = p.rows(s);
    MOK_DATA_RECORD_T *m = login_test::find_user(rows, "mallory");
    ASSERT_NE(m, nullptr);
    MOTSL_STDLIST_KEYWORD_T *add = p.column(s, "ADD");
    Capture cell;
    ASSERT_EQ(add->cell_list_fn(s, &cell.out, add, m), 0);
    EXPECT_EQ(cell.text.find("<script>"), std::string::npos) << cell.text;
    EXPECT_EQ(cell.text.find("\"><b>"), std::string::npos) << cell.text;
    EXPECT_NE(
        cell.text.find("ALT=\"Send email to &lt;script&gt;alert(1)&lt;/script&gt; &quot;M&quot; &amp; co\""),
        std::string::npos)
        << cell.text;
    EXPECT_NE(cell.text.find("<A HREF=\"mailto:"), std::string::npos) << cell.text;
    EXPECT_NE(cell.text.find("m&quot;&gt;&lt;b&gt;@example.com </TD>"), std::string::npos) << cell.text;
    Capture title;
    ASSERT_EQ(s->insert_title(s, &title.out, 0, 1, m->container), 0);
    EXPECT_EQ(title.text,
              " <B><FONT COLOR=WHITE>Profile for &lt;script&gt;alert(1)&lt;/script&gt; &quot;M&quot; &amp; "
              "co</FONT></B>");
    Capture list_title;
    s->insert_title(s, &list_title.out, 0, 4, nullptr);
    EXPECT_EQ(list_title.text, " <B><FONT COLOR=WHITE>User Profile List</FONT></B>");
    Capture contact;
    MOT_TOP_STYPE_T *c = p.stype("passwd_contact");
    c->insert_title(c, &contact.out, 0, 2, login_test::find_user(rows, "plain")->container);
    EXPECT_EQ(contact.text, " <B><FONT COLOR=WHITE>Edit of Contact Info for Ann Lee</FONT></B>");
    // An empty address shows the cell alone.
    Capture empty;
    add->cell_list_fn(s, &empty.out, add, login_test::find_user(rows, "plain"));
    EXPECT_EQ(empty.text, "<TD ALIGN=LEFT NOWRAP> &nbsp; </TD>\n");
    p.end();
}

TEST_F(Site, GroupNamesAreCheckedAndMarked) {
    mot_test::write_users(inst.home, staff);
    mkdir((inst.home + "/user/lib/groups").c_str(), 0755);
    mot_test::write_file(groups_file(), "ID 2\nN ^sales\n------\nID 3\nDEL 1\nN ^old\n");
    SystemProc p(inst);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.begin("carol"), 0);
    MOT_TOP_STYPE_T *s = p.stype("groups");
    MOK_DATA_RECORD_T *rows = p.rows(s);
    ASSERT_NE(rows, nullptr);
    MOTSL_STDLIST_KEYWORD_T *n = p.column(s, "N");
    MOAP_GROUPS_T g{.id = 9, .new_ = 0, .delete_status = 0, .name = nullptr, .sys_id = 0};
    // The name entry: a "^" is put in front unless it is there.
    for (auto [posted, stored] :
         std::vector<std::pair<std::string, std::string>>{{"team", "^team"}, {"^team", "^team"}}) {
        std::vector<std::pair<std::string, std::string>> f = {{"N", posted}};
        auto results = form(f);
        g.name = nullptr;
        ASSERT_EQ(n->cell_edit_end_fn(s, n, results.data(), &g), 0);
        EXPECT_STREQ(g.name, stored.c_str());
    }
    struct Case {
        const char *name;
        bool ok;
    } cases[] = {{"^team_2", true}, {"^Team9", true}, {"^sa les", false}, {"^sa^les", false}, {"^a-b", false},
                 {"^", false},      {"^é", false},    {"^sales", false},  {"^old", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        g.name = const_cast<char *>(c.name);
        int ret = 0;
        std::string err = mot_test::capture_stderr([&] { ret = n->cell_edit_check_fn(s, n, &g, &g); });
        EXPECT_EQ(ret, c.ok ? 0 : 1) << err;
        if (!c.ok && std::string(c.name) != "^sales") {
            EXPECT_NE(err.find(std::string("The groupname (") + c.name +
                               ") contains characters other than alpha-numerics and underscores."),
                      std::string::npos)
                << err;
        }
    }
    // The system group is seen, never changed; the others may be.
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
        auto *gr = static_cast<MOAP_GROUPS_T *>(r->container);
        EXPECT_EQ(r->access_edit != FALSE, gr->sys_id == 0) << gr->name;
    }
    MOA_ACCESS_T *a = p.aux->access;
    mo_boolean_t deleted = FALSE;
    int id = 0;
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(a->get_group_id(a, "^nothere", &deleted, &id), 1); });
    EXPECT_NE(err.find("Can't find group name ^nothere in the groups list"), std::string::npos) << err;
    ASSERT_EQ(a->get_group_id(a, "^old", &deleted, &id), 0);
    EXPECT_EQ(id, 3);
    EXPECT_TRUE(deleted);
    p.end();
}

} // namespace

namespace {

TEST_F(Site, ExampleTypeSendsTheBrowserToTheSiteTab) {
    setup_key("USER_TAB_CONTENT_URL http://intra.example/tab?a='1'</script><b>");
    mot_test::write_users(inst.home, staff);
    SystemProc p(inst);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.begin("bob"), 0);
    MOT_TOP_STYPE_T *user = p.stype("user");
    ASSERT_NE(user, nullptr);
    MOW_WEB_CMD_T *page = nullptr;
    ASSERT_EQ(mow_web_find_cmd(user, "page", &page), 0);
    ASSERT_EQ(motsl_set_position(user, 0, 0, 0), 0);
    char call[MO_STRING_LEN];
    ASSERT_EQ(page->call_fn(user, call), 0);
    EXPECT_STREQ(call, "main?&blank&N&&0&0&0&user&page");
    Capture out;
    ASSERT_EQ(page->service_fn(user, &out.out, page, p.req, nullptr), 0);
    EXPECT_NE(
        out.text.find(" <script language=\"Javascript\"> \n<!-- \n      "
                      "location='http://intra.example/tab?a=\\x271\\x27\\x3c/script\\x3e\\x3cb\\x3e'; \n"
                      "//--> \n</script> \n"),
        std::string::npos)
        << out.text;
    EXPECT_EQ(out.text.find("</script><b>"), std::string::npos);

    // With list id 0 the type answers for itself only.
    std::vector<std::string> words = {"0", "0", "0", "passwd"};
    std::vector<MOT_TOP_ARG_LIST_T> args(words.size());
    for (size_t i = 0; i < words.size(); i++)
        args[i] = {words[i].c_str(), i + 1 < words.size() ? &args[i + 1] : nullptr};
    MOT_TOP_ARG_LIST_T *at = &args[0];
    MOT_TOP_STYPE_T *s = user;
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(user->init_stype(&s, TRUE, &at), 1); });
    EXPECT_NE(err.find("Only certain stypes are allowed access with a 0 list_id"), std::string::npos) << err;
    words[3] = "user";
    args[3].val = words[3].c_str();
    at = &args[0];
    EXPECT_EQ(user->init_stype(&s, TRUE, &at), 0);
    EXPECT_EQ(s, user);
    p.end();
}

} // namespace
