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
#include <sys/stat.h>
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
        mot_test::write_users(site.home,
                              {{.id = 2, .name = "boss", .password = "pw-boss", .privilege = 100, .full_name = "Big Boss"},
                               {.id = 3,
                                .name = "norm",
                                .password = "pw-norm",
                                .privilege = 40,
                                .full_name = "Norm Al",
                                .groups = "2,"}},
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
        return "/main?content&" + display + "&" + trail + "&docs&0&" + std::to_string(list) + "&0&" + stype + "&" +
               rest;
    }
    std::string tree() { return mot_test::read_file(lib + "/litem/0"); }
    void put(const std::string &path, const std::string &text) {
        mot_test::write_file(path, text);
        if (getuid() == 0 && chown(path.c_str(), site.uid, site.gid) != 0)
            ADD_FAILURE() << "chown " << path;
    }

    // A folder made in two steps: the chosen type's form, then its commit with the name.
    int create(const std::string &cookie, int parent, const std::string &stype, int itype, const std::string &name,
               std::string *page = nullptr) {
        HttpResponse r = get(cookie, at(parent, stype, "new_folder2&" + std::to_string(parent) + "&" +
                                                          std::to_string(itype)));
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
    HttpResponse picker(const std::string &cookie, int list, const std::string &stype, const std::string &mode,
                        const std::vector<int> &ids) {
        Multipart form;
        form.value("MATCH_GO", "").value("MATCH_CLEAR", "").value("DELETE_ALL", mode);
        for (int id : ids)
            form.value("PICKER_CHECK", std::to_string(id));
        return site.post(at(list, stype, "picker", "none", "N"), form, {cookie});
    }
};

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
    EXPECT_TRUE(has(r.body, "<FRAME SRC=\"main?nav&nav&A&docs&0&1&0&litem_docs&list\" NAME=\"nav\"")) << r.body;
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
    r = s.site.post("/main?content&none&N&docs&0&0&0&itype&edit_end&ID&" + std::to_string(folder_type), type_form,
                    {boss});
    ASSERT_TRUE(has(record_of(mot_test::read_file(s.lib + "/itype/0"), folder_type), "N Plain Folder\n")) << r.body;

    // The chooser offers it, with the link of the second step.
    r = s.get(boss, Site::at(docs, "litem_docs", "new_folder", "blank", "N"));
    EXPECT_TRUE(has(r.body, "Choose the type of the new Folder<P>\n")) << r.body;
    EXPECT_EQ(offered_type(r.body, "Plain Folder"), folder_type) << r.body;
    EXPECT_TRUE(has(r.body, "opener.location = \"main?content&content&A&docs&0&1&0&litem_docs&new_folder2&1\" + \"&\" + type_id; \n")) << r.body;
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
    EXPECT_TRUE(has(page, std::string("The Name (") + script_escaped + ") is not allowed to contain")) << page;
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
    r = s.get(boss, Site::at(docs, "litem_docs", "imove2&" + std::to_string(alpha) + "&" + std::to_string(beta),
                             "none", "N"));
    EXPECT_FALSE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(field_of(record_of(s.tree(), beta), "PID"), alpha) << s.tree();
    std::string history = mot_test::read_file(s.lib + "/litem/history/" + std::to_string(beta));
    EXPECT_TRUE(has(history, "Moved from (Docs) to (Alpha)")) << history;

    // Alpha can't go into its own subfolder: the window says why, and a forced request is refused.
    r = s.get(boss, Site::at(docs, "litem_docs", "imove&1&" + std::to_string(alpha), "blank", "N"));
    EXPECT_TRUE(has(r.body, "Gamma <I>(Can&#39;t move inside itself)</I>")) << r.body;
    EXPECT_TRUE(has(r.body, "SRC=\"images/system_file_types/folders/dir2.gif\" ALT=\"Can&#39;t move")) << r.body;
    tree = s.tree();
    r = s.get(boss, Site::at(docs, "litem_docs", "imove2&" + std::to_string(gamma) + "&" + std::to_string(alpha),
                             "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object: Can't move inside itself")) << r.body;
    EXPECT_EQ(s.tree(), tree);
    r = s.get(boss, Site::at(docs, "litem_docs", "imove2&" + std::to_string(alpha) + "&" + std::to_string(alpha),
                             "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object")) << r.body;
    EXPECT_EQ(s.tree(), tree);
    // Nor may a built-in folder move, nor an item that is not in the listed folder.
    r = s.get(boss, Site::at(docs, "litem_docs", "imove2&" + std::to_string(alpha) + "&2", "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs", "imove2&" + std::to_string(evil) + "&" + std::to_string(gamma),
                             "none", "N"));
    EXPECT_TRUE(has(r.body, "Is it not possible to move the Object")) << r.body;
    EXPECT_EQ(s.tree(), tree);

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
    EXPECT_TRUE(has(r.body, "<FRAME SRC=\"main?nav&nav&A&docs&0&1&0&litem_docs&list\" NAME=\"nav\"")) << r.body;
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
    r = s.get(norm, Site::at(alpha, "litem_dir", "new_folder2&" + std::to_string(alpha) + "&" +
                                                  std::to_string(folder_type)));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.get(norm, Site::at(docs, "litem_docs", "imove2&" + std::to_string(evil) + "&" + std::to_string(alpha),
                             "none", "N"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.get(norm, Site::at(docs, "litem_docs", "imove&1&" + std::to_string(alpha), "blank", "N"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.get(norm, Site::at(alpha, "litem_dir", "imove2&" + std::to_string(docs) + "&" + std::to_string(gamma),
                             "none", "N"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    r = s.picker(norm, docs, "litem_docs", "delete", {evil});
    EXPECT_EQ(s.tree(), tree);

    // The administrator's forged type and parent are refused as well.
    r = s.get(boss, Site::at(docs, "litem_docs", "new_folder2&1&" + std::to_string(field_of(record_of(tree, 5), "IID"))));
    EXPECT_TRUE(has(r.body, "can't be made in a folder of type")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs", "new_folder2&" + std::to_string(alpha) + "&" +
                                                     std::to_string(folder_type)));
    EXPECT_TRUE(has(r.body, "A new item is made only in the folder being listed")) << r.body;
    r = s.get(boss, Site::at(docs, "litem_docs", "new_folder2&1&x1"));
    EXPECT_TRUE(has(r.body, "Error:")) << r.body;
    EXPECT_EQ(s.tree(), tree);
    EXPECT_EQ(s.site.crash_lines(), "");
}

} // namespace
