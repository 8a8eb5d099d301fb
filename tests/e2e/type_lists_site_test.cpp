// The item-type and file-type lists through the real Apache with the module: the first request of
// a fresh site writes the built-in rows, the super user sees and edits them on the list pages, a
// normal user is refused, file-type names stay unique, a MIME type never holds a line break, a
// saved built-in type is the administrator's own from then on, and hostile names come back escaped.
#include "e2e_users.h"
#include "support/apache_site.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;

bool has(const std::string &text, const std::string &what) {
    return text.find(what) != std::string::npos;
}

// The record of the element with this id in a data file.
std::string record_of(const std::string &file, int id) {
    std::string key = "ID " + std::to_string(id) + "\n";
    size_t at = file.rfind(key, 0) == 0 ? 0 : file.find("\n" + key);
    if (at == std::string::npos)
        return "";
    at += at == 0 ? 0 : 1;
    size_t end = file.find("------", at);
    return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
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
    std::string login(const std::string &name, const std::string &password) {
        HttpResponse r = site.post("/main", Multipart().value("U", name).value("P", password));
        for (auto it = r.headers.lower_bound("set-cookie"); it != r.headers.upper_bound("set-cookie"); ++it) {
            std::string c = it->second.substr(0, it->second.find(';'));
            if (c.rfind("U=", 0) == 0 && c != "U=:")
                return "Cookie: " + c;
        }
        ADD_FAILURE() << "no login cookie for " << name << "\n" << r.head << r.body;
        return "";
    }
    static std::string link(const std::string &display, const std::string &stype, const std::string &rest) {
        return "/main?content&" + display + "&N&docs&0&0&0&" + stype + "&" + rest;
    }
    HttpResponse get(const std::string &cookie, const std::string &target) {
        return site.get(target, {cookie});
    }
    HttpResponse commit(const std::string &cookie, const std::string &stype, int id, const Multipart &form) {
        get(cookie, link("blank", stype, "edit_start&ID&" + std::to_string(id)));
        return site.post(link("none", stype, "edit_end&ID&" + std::to_string(id)), form, {cookie});
    }
    int create(const std::string &cookie, const std::string &stype) {
        HttpResponse r = get(cookie, link("blank", stype, "new"));
        const std::string key = "edit_end&amp;ID&amp;";
        size_t at = r.body.find(key);
        return at == std::string::npos ? 0 : atoi(r.body.c_str() + at + key.size());
    }
    std::string file(const std::string &path) { return mot_test::read_file(lib + "/" + path); }
};

TEST(TypeListsSite, BuiltinRowsOnTheListPagesEditedByTheSuperUserOnly) {
    Site s;
    ASSERT_TRUE(s.site.start_daemon() && s.site.start_httpd())
        << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    std::string norm = s.login("norm", "pw-norm");
    ASSERT_FALSE(boss.empty());
    ASSERT_FALSE(norm.empty());

    // The login requests already loaded both lists: the built-in rows are in the files.
    std::string itypes = s.file("itype/0"), ftypes = s.file("ftype/0");
    EXPECT_EQ(mot_test::count_of(itypes, "\nSID 1,"), 19u) << itypes;
    EXPECT_TRUE(has(record_of(itypes, 5), "N Table Folder\n")) << itypes;
    EXPECT_TRUE(has(record_of(itypes, 5), "DT 3\n")) << record_of(itypes, 5);
    EXPECT_TRUE(has(record_of(ftypes, 11), "N Log FIle\n")) << ftypes;
    EXPECT_TRUE(has(record_of(ftypes, 34), "N Word Perfect\n"));

    HttpResponse list = s.get(boss, Site::link("content", "itype", "list"));
    ASSERT_EQ(list.status, 200);
    for (const char *name : {"Config Folder", "Top Level Mail Groups Folder", "Number Schemes", "Type Name"})
        EXPECT_TRUE(has(list.body, name)) << name << "\n" << list.body;
    EXPECT_TRUE(has(list.body, "system_file_types/folders/dir_config.gif")) << list.body;
    HttpResponse flist = s.get(boss, Site::link("content", "ftype", "list"));
    for (const char *name : {"AutoCad", "Log FIle", "application/autocad", "Extension"})
        EXPECT_TRUE(has(flist.body, name)) << name << "\n" << flist.body;

    // A normal user sees neither list and changes nothing.
    for (const char *stype : {"itype", "ftype", "ftype_deleted"}) {
        HttpResponse r = s.get(norm, Site::link("content", stype, "list"));
        EXPECT_FALSE(has(r.body, "Config Folder") || has(r.body, "Log FIle")) << stype << r.body;
    }
    std::string before = s.file("ftype/0");
    s.commit(norm, "ftype", 5, Multipart().value("N", "Hacked").value("OK.x", "1"));
    EXPECT_EQ(s.file("ftype/0"), before);

    // The super user saves the built-in "PDF" under a hostile name: it is kept and becomes his own.
    const std::string hostile = "<script>alert(\"pdf\")</script>";
    HttpResponse r = s.commit(boss, "ftype", 5, Multipart().value("N", hostile).value("OK.x", "1"));
    EXPECT_TRUE(has(r.body, "<TITLE>Reload</TITLE>")) << r.body;
    std::string rec = record_of(s.file("ftype/0"), 5);
    EXPECT_TRUE(has(rec, "N " + hostile + "\n")) << rec;
    EXPECT_TRUE(has(rec, "SE 2\n")) << rec;
    flist = s.get(boss, Site::link("content", "ftype", "list"));
    EXPECT_FALSE(has(flist.body, hostile)) << flist.body;
    EXPECT_TRUE(has(flist.body, "&lt;script&gt;alert(&quot;pdf&quot;)&lt;/script&gt;")) << flist.body;

    // A second active "Text" is refused, and so is a MIME type with a line break.
    int fresh = s.create(boss, "ftype");
    ASSERT_GT(fresh, 34);
    r = s.commit(boss, "ftype", fresh, Multipart().value("N", "Text").value("OK.x", "1"));
    EXPECT_TRUE(has(r.body, "There is already another active Name called Text")) << r.body;
    r = s.commit(boss, "ftype", fresh,
                 Multipart().value("N", "Notes").value("A", "text/plain\r\nX-Evil: 1").value("OK.x", "1"));
    EXPECT_TRUE(has(r.body, "The Application may not contain line breaks")) << r.body;
    r = s.commit(boss, "ftype", fresh,
                 Multipart().value("N", "Notes").value("A", "text/\x01plain").value("OK.x", "1"));
    EXPECT_TRUE(has(r.body, "The Application (Mime-Type) must be one line of printable characters"))
        << r.body;
    EXPECT_FALSE(has(s.file("ftype/0"), "X-Evil"));
    EXPECT_FALSE(has(s.file("ftype/0"), "\x01"));
    r = s.commit(
        boss, "ftype", fresh,
        Multipart().value("N", "Notes").value("E", "note").value("A", "text/x-note").value("OK.x", "1"));
    rec = record_of(s.file("ftype/0"), fresh);
    EXPECT_TRUE(has(rec, "N Notes\n") && has(rec, "NEW 0\n") && has(rec, "A text/x-note\n")) << rec << r.body;

    // The super user may edit an item type's row; a normal user's commit changes nothing.
    r = s.commit(boss, "itype", 11, Multipart().value("N", "My Groups").value("OK.x", "1"));
    EXPECT_TRUE(has(record_of(s.file("itype/0"), 11), "N My Groups\n")) << r.body;
    before = s.file("itype/0");
    s.commit(norm, "itype", 11, Multipart().value("N", "Hacked").value("OK.x", "1"));
    EXPECT_EQ(s.file("itype/0"), before);
    EXPECT_EQ(s.site.crash_lines(), "");
}

} // namespace
