// The folder tree through the real Apache with the module: what each user sees of the tree in the
// frameset and the directory column, folders created, moved, deleted and undeleted by an
// administrator, a move into the folder's own subtree refused, forged creates and moves of a normal
// user refused with nothing written, and hostile folder names coming back escaped.
#include "e2e_users.h"
#include "support/apache_site.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using mot_test::ApacheSite;
using mot_test::HttpResponse;
using mot_test::Multipart;

bool has(const std::string &text, const std::string &what) {
    return text.find(what) != std::string::npos;
}

const char script_text[] = "<script>alert(\"x\")</script>";
const char script_escaped[] = "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;";

// The record of the element with this id in a data file.
std::string record_of(const std::string &file, int id) {
    std::string key = "ID " + std::to_string(id) + "\n";
    size_t at = file.rfind(key, 0) == 0 ? 0 : file.find("\n" + key);
    if (at == std::string::npos)
        return "";
    at = file[at] == '\n' ? at + 1 : at;
    size_t end = file.find("------", at);
    return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

int field_of(const std::string &record, const std::string &key) {
    size_t at = record.find("\n" + key + " ");
    return at == std::string::npos ? -1 : atoi(record.c_str() + at + key.size() + 2);
}

struct Site {
    ApacheSite site;
    std::string lib;

    Site() {
        lib = site.home + "/user/lib";
        mot_test::write_users(
            site.home,
            {{.id = 2, .name = "boss", .password = "pw-boss", .privilege = 100, .full_name = "Big Boss"},
             {.id = 3,
              .name = "norm",
              .password = "pw-norm",
              .privilege = 40,
              .full_name = "Norm Al",
              .groups = "2,"},
             {.id = 4, .name = "chief", .password = "pw-chief", .privilege = 100, .full_name = "Chief"}},
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
    // A command on the list of folder `list` (stype `stype`) of the documents tab.
    static std::string at(int list, const std::string &stype, const std::string &rest,
                          const std::string &display = "content", const std::string &trail = "A") {
        return "/main?content&" + display + "&" + trail + "&docs&0&" + std::to_string(list) + "&0&" + stype +
               "&" + rest;
    }
    std::string tree() { return mot_test::read_file(lib + "/litem/0"); }
    void put(const std::string &path, const std::string &text) {
        mot_test::write_file(path, text);
        if (getuid() == 0 && chown(path.c_str(), site.uid, site.gid) != 0)
            ADD_FAILURE() << "chown " << path;
    }

    // A folder made in two steps: the chosen type's form, then its commit with the name.
    int create(const std::string &cookie, int parent, const std::string &stype, int itype,
               const std::string &name, std::string *page = nullptr) {
        HttpResponse r = get(
            cookie, at(parent, stype, "new_folder2&" + std::to_string(parent) + "&" + std::to_string(itype)));
        if (page != nullptr)
            *page = r.body;
        const std::string key = "edit_end&amp;ID&amp;";
        size_t found = r.body.find(key);
        if (found == std::string::npos)
            return 0;
        int id = atoi(r.body.c_str() + found + key.size());
        Multipart form;
        form.value("N", name).value("OK.x", "4");
        r = site.post(at(parent, stype, "edit_end&ID&" + std::to_string(id), "none", "N"), form, {cookie});
        if (page != nullptr)
            *page += "\n== commit " + std::to_string(r.status) + "\n" + r.head + r.body;
        return id;
    }
    HttpResponse picker(const std::string &cookie, int list, const std::string &stype,
                        const std::string &mode, const std::vector<int> &ids) {
        Multipart form;
        form.value("MATCH_GO", "").value("MATCH_CLEAR", "").value("DELETE_ALL", mode);
        for (int id : ids)
            form.value("PICKER_CHECK", std::to_string(id));
        return site.post(at(list, stype, "picker", "none", "N"), form, {cookie});
    }
};

// The parents of the records of a tree file; a record that reaches a parent loop going up is named.
int loop_in(const std::string &file) {
    std::map<int, int> parent;
    for (size_t at = 0; (at = file.find("ID ", at)) != std::string::npos; at++) {
        if (at != 0 && file[at - 1] != '\n')
            continue;
        std::string rec = record_of(file, atoi(file.c_str() + at + 3));
        parent[atoi(file.c_str() + at + 3)] = field_of(rec, "PID");
    }
    for (auto [id, p] : parent) {
        int steps = 0;
        for (int cur = p; cur > 0 && steps <= static_cast<int>(parent.size()); steps++)
            cur = parent.count(cur) ? parent[cur] : 0;
        if (steps > static_cast<int>(parent.size()))
            return id;
    }
    return 0;
}

// Makes the administrator's kind of plain folder for Docs (its parent type is Docs' own type).
int define_folder_type(Site &s, const std::string &cookie) {
    int docs_type = field_of(record_of(s.tree(), 1), "IID");
    HttpResponse r = s.get(cookie, "/main?content&blank&N&docs&0&0&0&itype&new");
    const std::string key = "edit_end&amp;ID&amp;";
    if (r.body.find(key) == std::string::npos)
        return 0;
    int type = atoi(r.body.c_str() + r.body.find(key) + key.size());
    Multipart form;
    form.value("N", "Plain Folder")
        .value("OT", "Folder")
        .value("T", "User")
        .value("IC", "list")
        .value("DS", "litem_dir")
        .value("AS", "litem_history, litem_dir_deleted")
        .value("NM", "Choose from children and parent")
        .value("CM", "Choose from children and parent")
        .value("DT", std::to_string(docs_type))
        .value("OK.x", "4");
    s.site.post("/main?content&none&N&docs&0&0&0&itype&edit_end&ID&" + std::to_string(type), form, {cookie});
    return has(record_of(mot_test::read_file(s.lib + "/itype/0"), type), "N Plain Folder\n") ? type : 0;
}

// One move as the move window makes it: the items' locks, then the move.
HttpResponse move(Site &s, const std::string &cookie, int from, const std::string &stype, int item, int to) {
    s.get(cookie,
          Site::at(from, stype, "imove&" + std::to_string(from) + "&" + std::to_string(item), "blank", "N"));
    return s.get(cookie, Site::at(from, stype, "imove2&" + std::to_string(to) + "&" + std::to_string(item),
                                  "none", "N"));
}

// The type id a chooser offers under a name ("NewSelect(%d)" next to it).
int offered_type(const std::string &page, const std::string &name) {
    size_t at = page.find("> " + name + "</A>");
    if (at == std::string::npos)
        at = page.find(">" + name + "</A>");
    if (at == std::string::npos)
        return 0;
    size_t sel = page.rfind("NewSelect(", at);
    return sel == std::string::npos ? 0 : atoi(page.c_str() + sel + 10);
}

TEST(FolderTreeSite, AdministratorBuildsTheTreeAndANormalUserSeesWhatHeMay) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    std::string norm = s.login("norm", "pw-norm");
    ASSERT_FALSE(boss.empty() || norm.empty());

    // The built-in folders were written once, with their system ids.
    std::string tree = s.tree();
    int docs = 1;
    EXPECT_TRUE(has(record_of(tree, docs), "N Docs\nPID 0\n")) << tree;
    EXPECT_EQ(field_of(record_of(tree, docs), "NEW"), 0) << tree;
    EXPECT_TRUE(has(record_of(tree, docs), "SID 1,7,")) << tree;

    // The frameset opens on the documents tab; its column holds the tree.
    HttpResponse r = s.get(boss, "/main");
    EXPECT_TRUE(has(r.body, "<FRAME SRC=\"main?nav&nav&A&docs&0&1&0&litem_docs&list\" NAME=\"nav\""))
        << r.body;
    r = s.get(boss, "/main?dir&dir&A&docs&0&1&0&litem_docs&list");
    EXPECT_TRUE(has(r.body, "  <TD CLASS=DirTitle> Documents </TD>\n")) << r.body;
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;

    // Docs holds the folder types whose parent type is its own (generated by the document folder
    // types, or defined by the administrator): one plain kind of folder, for folders and subfolders.
    int docs_type = field_of(record_of(tree, docs), "IID");
    r = s.get(boss, "/main?content&blank&N&docs&0&0&0&itype&new");
    const std::string key = "edit_end&amp;ID&amp;";
    ASSERT_NE(r.body.find(key), std::string::npos) << r.body;
    int folder_type = atoi(r.body.c_str() + r.body.find(key) + key.size());
    Multipart type_form;
    type_form.value("N", "Plain Folder")
        .value("OT", "Folder")
        .value("T", "User")
        .value("IC", "list")
        .value("DS", "litem_dir")
        .value("AS", "litem_history, litem_dir_deleted")
        .value("NM", "Choose from children and parent")
        .value("CM", "Choose from children and parent")
        .value("DT", std::to_string(docs_type))
        .value("OK.x", "4");
    r = s.site.post("/main?content&none&N&docs&0&0&0&itype&edit_end&ID&" + std::to_string(folder_type),
                    type_form, {boss});
    ASSERT_TRUE(has(record_of(mot_test::read_file(s.lib + "/itype/0"), folder_type), "N Plain Folder\n"))
        << r.body;

    // The chooser offers it, with the link of the second step.
    r = s.get(boss, Site::at(docs, "litem_docs", "new_folder", "blank", "N"));
    EXPECT_TRUE(has(r.body, "Choose the type of the new Folder<P>\n")) << r.body;
    EXPECT_EQ(offered_type(r.body, "Plain Folder"), folder_type) << r.body;
    EXPECT_TRUE(has(r.body,
                    "opener.location = \"main?content&content&N&docs&0&1&0&litem_docs&new_folder2&1\" + "
                    "\"&\" + type_id; \n"))
        << r.body;
    EXPECT_FALSE(has(r.body, "Passwd Profile")) << "admin lists are not made in Docs\n" << r.body;

    // Folders made, a subfolder inside one, and a hostile name.
    std::string page;
    int alpha = s.create(boss, docs, "litem_docs", folder_type, "Alpha", &page);
    ASSERT_GT(alpha, 0) << page;
    int beta = s.create(boss, docs, "litem_docs", folder_type, "Beta", &page);
    ASSERT_GT(beta, 0) << page;
    int gamma = s.create(boss, alpha, "litem_dir", folder_type, "Gamma", &page);
    ASSERT_GT(gamma, 0) << page;
    // A name with characters a path or a page could trip on is refused with the name escaped, and the
    // new row stays uncommitted.
    int evil = s.create(boss, docs, "litem_docs", folder_type, script_text, &page);
    ASSERT_GT(evil, 0) << page;
    EXPECT_TRUE(has(page, std::string("The Name (") + script_escaped + ") is not allowed to contain"))
        << page;
    EXPECT_FALSE(has(page, script_text)) << page;
    EXPECT_EQ(field_of(record_of(s.tree(), evil), "NEW"), 2) << s.tree();
    // A name that came in another way (a document title, a hand-edited file) is escaped wherever shown.
    {
        std::string text = s.tree();
        std::string rec = record_of(text, evil);
        std::string fixed = rec;
        fixed.replace(fixed.find("NEW 2"), 5, "NEW 0");
        fixed.replace(fixed.find("N New Object"), 12, std::string("N ") + script_text);
        text.replace(text.find(rec), rec.size(), fixed);
        s.put(s.lib + "/litem/0", text);
    }
    tree = s.tree();
    EXPECT_EQ(field_of(record_of(tree, alpha), "PID"), docs) << tree;
    EXPECT_EQ(field_of(record_of(tree, alpha), "NEW"), 0) << tree;
    EXPECT_EQ(field_of(record_of(tree, alpha), "IID"), folder_type) << tree;
    EXPECT_EQ(field_of(record_of(tree, gamma), "PID"), alpha) << tree;
    // A creation step is no place to come back to: the tab still opens on a folder list.
    r = s.get(boss, "/main");
    EXPECT_TRUE(has(r.body, "&list\" NAME=\"content\"")) << r.body;
    EXPECT_FALSE(has(r.body, "new_folder2")) << r.body;
    EXPECT_TRUE(has(record_of(tree, gamma), "N Gamma\n")) << tree;

    // The column shows the top folders, names escaped; Gamma shows once Alpha is expanded.
    r = s.get(boss, "/main?dir&dir&A&docs&0&1&0&litem_docs&list");
    EXPECT_TRUE(has(r.body, ">Alpha</A>")) << r.body;
    EXPECT_TRUE(has(r.body, ">Beta</A>")) << r.body;
    EXPECT_TRUE(has(r.body, script_escaped)) << r.body;
    EXPECT_FALSE(has(r.body, script_text)) << r.body;
    EXPECT_FALSE(has(r.body, ">Gamma</A>")) << r.body;
    EXPECT_TRUE(has(r.body, "ALT=\"Expand\"")) << r.body;
    EXPECT_TRUE(has(r.body, "SRC=\"images/system_file_types/folders/dir2.gif\"")) << r.body;
    {
        const std::string expand = "main?dir&none&N&docs&0&0&0&litem&dir_list_a&add&" + std::to_string(alpha);
        ASSERT_TRUE(has(r.body, "<A HREF=\"" + expand + "\">")) << r.body;
        r = s.get(boss, expand);
        EXPECT_FALSE(has(r.body, "Error:")) << r.body;
        // Kept as the user's own list option of the tree.
        EXPECT_TRUE(has(mot_test::read_file(s.site.home + "/user/user_defaults/litem_useropt/2"),
                        "DLIST " + std::to_string(alpha) + ","));
    }
    r = s.get(boss, "/main?dir&dir&A&docs&0&1&0&litem_docs&list");
    EXPECT_TRUE(has(r.body, ">Gamma</A>")) << r.body;
    EXPECT_TRUE(has(r.body, "ALT=\"Collapse\"")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs", "list"));
    EXPECT_TRUE(has(r.body, script_escaped)) << r.body;
    EXPECT_FALSE(has(r.body, script_text)) << r.body;
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;

    // Beta moves into Alpha: the move window offers Alpha, then the move is made.
    r = s.get(boss, Site::at(docs, "litem_docs", "imove&1&" + std::to_string(beta), "blank", "N"));
    EXPECT_TRUE(has(r.body, "To move selected items<BR>choose a new location<P>\n")) << r.body;
    EXPECT_TRUE(has(r.body, "TITLE=\"Move Selected Under Here\">Alpha</A>")) << r.body;
    EXPECT_TRUE(has(r.body, "<B>Docs</B> <I>(The objects are already under here)</I>")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs",
                             "imove2&" + std::to_string(alpha) + "&" + std::to_string(beta), "none", "N"));
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(field_of(record_of(s.tree(), beta), "PID"), alpha) << s.tree();
    std::string history = mot_test::read_file(s.lib + "/litem/history/" + std::to_string(beta));
    EXPECT_TRUE(has(history, "Moved from (Docs) to (Alpha)")) << history;

    // Alpha can't go into its own subfolder: the window says why, and a forced request is refused.
    r = s.get(boss, Site::at(docs, "litem_docs", "imove&1&" + std::to_string(alpha), "blank", "N"));
    EXPECT_TRUE(has(r.body, "Gamma <I>(Can&#39;t move inside itself)</I>")) << r.body;
    EXPECT_TRUE(has(r.body, "SRC=\"images/system_file_types/folders/dir2.gif\" ALT=\"Can&#39;t move"))
        << r.body;
    tree = s.tree();
    r = s.get(boss, Site::at(docs, "litem_docs",
                             "imove2&" + std::to_string(gamma) + "&" + std::to_string(alpha), "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object: Can't move inside itself")) << r.body;
    EXPECT_EQ(s.tree(), tree);
    r = s.get(boss, Site::at(docs, "litem_docs",
                             "imove2&" + std::to_string(alpha) + "&" + std::to_string(alpha), "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object")) << r.body;
    EXPECT_EQ(s.tree(), tree);
    // Nor may a built-in folder move, nor an item that is not in the listed folder.
    r = s.get(boss, Site::at(docs, "litem_docs", "imove2&" + std::to_string(alpha) + "&2", "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs",
                             "imove2&" + std::to_string(evil) + "&" + std::to_string(gamma), "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object")) << r.body;
    EXPECT_EQ(s.tree(), tree);

    // A bookmark of Alpha goes under the one built-in bookmark folder and links to Alpha.
    r = s.get(boss, Site::at(alpha, "litem_dir", "bkmark", "none", "N"));
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    {
        std::string marks = mot_test::read_file(s.lib + "/bkmark/0");
        EXPECT_TRUE(has(record_of(marks, 1), "N Company Bookmarks\n")) << marks;
        EXPECT_TRUE(has(record_of(marks, 1), "SID 1,4,")) << marks;
        EXPECT_TRUE(has(record_of(marks, 2), "N Alpha\nPID 1\n")) << marks;
        EXPECT_TRUE(has(record_of(marks, 2), "LID 0," + std::to_string(alpha) + ",")) << marks;
    }
    // The id list of the tree: full paths, as plain text, only what the user sees ("Docs" keeps the
    // document folders only, and there are none here).
    r = s.get(boss, "/main?content&none&N&docs&0&0&0&litem&idlist&Docs");
    EXPECT_EQ(r.body, "") << r.body;
    r = s.get(boss, "/main?content&none&N&docs&0&0&0&litem&idlist&Nowhere");
    EXPECT_TRUE(has(r.body, "Don't understand the root_dir argument. Only Docs allowed<BR>")) << r.body;
    r = s.get(boss, "/main?content&none&N&docs&0&0&0&litem&idlist&Root");
    EXPECT_TRUE(has(r.body, "/Docs/Alpha/Beta = " + std::to_string(beta) + "\n")) << r.head << r.body;
    EXPECT_EQ(r.header("content-type").substr(0, 10), "text/plain") << r.head;

    // Delete and undelete Beta through its folder's lists.
    r = s.picker(boss, alpha, "litem_dir", "delete", {beta});
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(field_of(record_of(s.tree(), beta), "DEL"), 1) << s.tree();
    r = s.get(boss, "/main?dir&dir&A&docs&0&1&0&litem_docs&list");
    EXPECT_FALSE(has(r.body, ">Beta</A>")) << r.body;
    r = s.get(boss, Site::at(alpha, "litem_dir_deleted", "list"));
    EXPECT_TRUE(has(r.body, "Beta")) << r.body;
    r = s.picker(boss, alpha, "litem_dir_deleted", "undelete", {beta});
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(field_of(record_of(s.tree(), beta), "DEL"), 0) << s.tree();

    // Alpha is kept to the administrator: the normal user sees Docs, Beta's old place empty, no Alpha.
    Multipart access;
    access.value("N", "Alpha");
    for (const char *level : {"VA", "EA", "LA"}) // the lists alone, without the parent's
        access.value(level, "boss").value(std::string(level) + "PARENTBOX", "ON");
    access.value("OK.x", "4");
    s.get(boss, Site::at(docs, "litem_docs", "edit_start&ID&" + std::to_string(alpha), "blank", "N"));
    r = s.site.post(Site::at(docs, "litem_docs", "edit_end&ID&" + std::to_string(alpha), "none", "N"), access,
                    {boss});
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_TRUE(has(record_of(s.tree(), alpha), "VA 2,^^0\n")) << record_of(s.tree(), alpha);
    r = s.get(norm, "/main");
    EXPECT_TRUE(has(r.body, "<FRAME SRC=\"main?nav&nav&A&docs&0&1&0&litem_docs&list\" NAME=\"nav\""))
        << r.body;
    r = s.get(norm, "/main?nav&nav&A&docs&0&1&0&litem_docs&list");
    EXPECT_TRUE(has(r.body, ">Docs</A>")) << r.body;
    EXPECT_FALSE(has(r.body, ">Setup</A>")) << r.body;
    r = s.get(norm, "/main?dir&dir&A&docs&0&1&0&litem_docs&list");
    EXPECT_TRUE(has(r.body, script_escaped)) << r.body;
    EXPECT_FALSE(has(r.body, ">Alpha</A>")) << r.body;
    EXPECT_FALSE(has(r.body, ">Gamma</A>")) << r.body;
    r = s.get(norm, Site::at(docs, "litem_docs", "list"));
    EXPECT_FALSE(has(r.body, "Alpha")) << r.body;
    r = s.get(norm, Site::at(alpha, "litem_dir", "list"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    EXPECT_FALSE(has(r.body, "Gamma")) << r.body;

    // Forged creates and moves of the normal user change nothing.
    tree = s.tree();
    r = s.get(norm, Site::at(docs, "litem_docs", "new_folder2&1&" + std::to_string(folder_type)));
    EXPECT_TRUE(has(r.body, "Error:")) << "no librarian right on Docs\n" << r.body;
    r = s.get(norm, Site::at(alpha, "litem_dir",
                             "new_folder2&" + std::to_string(alpha) + "&" + std::to_string(folder_type)));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.get(norm, Site::at(docs, "litem_docs",
                             "imove2&" + std::to_string(evil) + "&" + std::to_string(alpha), "none", "N"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.get(norm, Site::at(docs, "litem_docs", "imove&1&" + std::to_string(alpha), "blank", "N"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.get(norm, Site::at(alpha, "litem_dir",
                             "imove2&" + std::to_string(docs) + "&" + std::to_string(gamma), "none", "N"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.picker(norm, docs, "litem_docs", "delete", {evil});
    EXPECT_EQ(s.tree(), tree);

    // The administrator's forged type and parent are refused as well.
    r = s.get(boss, Site::at(docs, "litem_docs",
                             "new_folder2&1&" + std::to_string(field_of(record_of(tree, 5), "IID"))));
    EXPECT_TRUE(has(r.body, "can't be made in a folder of type")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs",
                             "new_folder2&" + std::to_string(alpha) + "&" + std::to_string(folder_type)));
    EXPECT_TRUE(has(r.body, "A new item is made only in the folder being listed")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs", "new_folder2&1&x1"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(s.tree(), tree);
    EXPECT_EQ(s.site.crash_lines(), "");
}

TEST(FolderTreeSite, TwoAdministratorsMovingFoldersIntoEachOtherNeverMakeALoop) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    std::string chief = s.login("chief", "pw-chief");
    ASSERT_FALSE(boss.empty() || chief.empty());
    int type = define_folder_type(s, boss);
    ASSERT_GT(type, 0);
    int a = s.create(boss, 1, "litem_docs", type, "A");
    int b = s.create(boss, 1, "litem_docs", type, "B");
    ASSERT_TRUE(a > 0 && b > 0);

    // Each puts his folder into the other's and back, many times, at the same time.
    const int rounds = 40;
    // Returns the moves made, or -1 when the tree was seen with a loop.
    auto mover = [&](const std::string &cookie, int mine, int other) {
        int moved = 0;
        for (int i = 0; i < rounds; i++) {
            if (!has(move(s, cookie, 1, "litem_docs", mine, other).body, "Error:"))
                moved++;
            if (loop_in(s.tree()) != 0)
                return -1;
            // Back to Docs from wherever it went (a refused move leaves it in Docs).
            int parent = field_of(record_of(s.tree(), mine), "PID");
            if (parent != 1)
                move(s, cookie, parent, "litem_dir", mine, 1);
        }
        return moved;
    };
    int pipe_fd[2];
    ASSERT_EQ(pipe(pipe_fd), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipe_fd[0]);
        int moved = mover(chief, b, a);
        if (write(pipe_fd[1], &moved, sizeof(moved)) != sizeof(moved))
            _exit(2);
        _exit(0);
    }
    close(pipe_fd[1]);
    int boss_moved = mover(boss, a, b);
    int chief_moved = 0;
    ASSERT_EQ(read(pipe_fd[0], &chief_moved, sizeof(chief_moved)), static_cast<ssize_t>(sizeof(chief_moved)));
    close(pipe_fd[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string tree = s.tree();
    EXPECT_EQ(loop_in(tree), 0) << tree;
    // Each made moves, and each saw no loop on the way; both folders are back in Docs at the end.
    EXPECT_GT(boss_moved, 0);
    EXPECT_GT(chief_moved, 0);
    std::cerr << "moves made: " << boss_moved << " and " << chief_moved << " of " << rounds << " each\n";
    EXPECT_EQ(field_of(record_of(tree, a), "PID"), 1) << tree;
    EXPECT_EQ(field_of(record_of(tree, b), "PID"), 1) << tree;
    EXPECT_FALSE(has(s.site.error_log(), "form a loop")) << s.site.error_log();
    EXPECT_EQ(s.site.crash_lines(), "");
}

TEST(FolderTreeSite, AHandMadeParentLoopGivesAnErrorNeverAHang) {
    Site s;
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    ASSERT_FALSE(boss.empty());
    int type = define_folder_type(s, boss);
    ASSERT_GT(type, 0);
    int x = s.create(boss, 1, "litem_docs", type, "X");
    int y = s.create(boss, x, "litem_dir", type, "Y");
    int z = s.create(boss, 1, "litem_docs", type, "Z");
    ASSERT_TRUE(x > 0 && y > 0 && z > 0);
    // X under Y and Y under X, by hand: no longer reachable from Docs, and every walk up them loops.
    std::string text = s.tree();
    std::string rec = record_of(text, x);
    std::string fixed = rec;
    fixed.replace(fixed.find("PID 1\n"), 6, "PID " + std::to_string(y) + "\n");
    text.replace(text.find(rec), rec.size(), fixed);
    s.put(s.lib + "/litem/0", text);
    ASSERT_EQ(loop_in(s.tree()), x);

    // Pages over the loop answer at once with the error; the rest of the tree keeps working.
    HttpResponse r = s.get(
        boss, Site::at(y, "litem_dir", "imove&" + std::to_string(y) + "&" + std::to_string(x), "blank", "N"));
    EXPECT_TRUE(has(r.body, "form a loop")) << r.body;
    r = move(s, boss, 1, "litem_docs", z, y);
    EXPECT_TRUE(has(r.body, "form a loop")) << r.body;
    EXPECT_EQ(field_of(record_of(s.tree(), z), "PID"), 1);
    r = s.get(boss, "/main?dir&dir&A&docs&0&1&0&litem_docs&list");
    EXPECT_TRUE(has(r.body, ">Z</A>")) << r.body;
    EXPECT_FALSE(has(r.body, ">X</A>")) << r.body;
    r = s.get(boss, Site::at(1, "litem_docs", "list"));
    EXPECT_TRUE(has(r.body, "Z")) << r.body;
    EXPECT_EQ(s.site.crash_lines(), "");
}

// Pictures of the frameset after login and after a folder was made, into the build folder.
TEST(FolderTreeSite, ScreenshotsOfTheFramesetBeforeAndAfterANewFolder) {
    Site s;
    std::string install = "sh '" MORVALE_SOURCE_DIR "/scripts/lib/install_static.sh' '" + s.site.home +
                          "' > '" + s.site.home + "/generated/static.log' 2>&1";
    ASSERT_EQ(system(install.c_str()), 0) << mot_test::read_file(s.site.home + "/generated/static.log");
    ASSERT_TRUE(s.start()) << s.site.daemon_log() << s.site.httpd_output();
    std::string boss = s.login("boss", "pw-boss");
    ASSERT_FALSE(boss.empty());
    int type = define_folder_type(s, boss);
    ASSERT_GT(type, 0);
    std::string cookie = boss.substr(std::string("Cookie: U=").size());
    std::string out = std::string(MORVALE_BUILD_DIR) + "/screenshots";
    auto shoot = [&](const std::string &name, const std::string &path) {
        std::string cmd = "/usr/bin/python3 '" MORVALE_SOURCE_DIR "/tests/setup/screenshots.py' " +
                          std::to_string(s.site.port) + " '" + cookie + "' '" + out + "' '" + name + "=" +
                          path + "' > '" + out + "_" + name + ".log' 2>&1";
        EXPECT_EQ(system(cmd.c_str()), 0) << mot_test::read_file(out + "_" + name + ".log");
        struct stat st {};
        EXPECT_EQ(stat((out + "/" + name + ".png").c_str(), &st), 0) << name;
        EXPECT_GT(st.st_size, 5000) << name;
    };
    shoot("frameset", "/main");
    int folder = s.create(boss, 1, "litem_docs", type, "Projects 2026");
    ASSERT_GT(folder, 0);
    s.create(boss, folder, "litem_dir", type, "Budget");
    shoot("frameset_new_folder", "/main");
    EXPECT_EQ(s.site.crash_lines(), "");
}

} // namespace
