// Access through the folder tree (with fakes of the tree and the access service), the access sets,
// the item-access cache, paths, and the value types that show ids of other lists by name.
#include "list_fixture.h"

#include <gtest/gtest.h>

using namespace tl;

namespace {

// ---------------------------------------------------------------- a tree and its users

// The top folder: everyone sees it, only user 4 manages it.
int top_lib(MOX_AUX_T *, MOTSL_ACCESS_DEF_T *, int, int, int user_id, mo_boolean_t *ok) noexcept {
    *ok = user_id == 4 ? TRUE : FALSE;
    return 0;
}

struct Defs {
    MOT_TOP_STYPE_T everyone{}, item{}, folder{}, super{}, top{};
    explicit Defs(MOX_AUX_T *aux) {
        for (MOT_TOP_STYPE_T *s : {&everyone, &item, &folder, &super, &top})
            s->aux = aux;
        motsl_access_everyone(&everyone, nullptr);
        motsl_access_item_view_edit(&item, nullptr);
        motsl_access_folder_view_edit(&folder, nullptr);
        motsl_access_super_super(&super, nullptr);
        motsl_access_everyone(&top, nullptr);
        of(top)->lib_list.gen_fn = top_lib;
    }
    static MOTSL_ACCESS_DEF_T *of(MOT_TOP_STYPE_T &s) {
        return static_cast<MOTSL_ACCESS_DEF_T *>(s.access_ref);
    }
};

// A fake of the login sessions' cache, counting what it is asked.
struct Cache {
    MOTSL_ACCESS_CACHE_T hooks{};
    std::map<std::tuple<int, int, int>, bool> verdicts;
    int gets = 0, puts = 0;
    Cache() {
        hooks.ref = this;
        hooks.max_item_id = 20;
        hooks.max_user_id = 10;
        hooks.get = [](MOTSL_ACCESS_CACHE_T *c, int item, int user, int kind, mo_boolean_t *found,
                       mo_boolean_t *ok) noexcept {
            Cache *self = static_cast<Cache *>(c->ref);
            self->gets++;
            auto it = self->verdicts.find({item, user, kind});
            *found = it != self->verdicts.end() ? TRUE : FALSE;
            *ok = *found && it->second ? TRUE : FALSE;
            return 0;
        };
        hooks.put = [](MOTSL_ACCESS_CACHE_T *c, int item, int user, int kind, mo_boolean_t ok) noexcept {
            Cache *self = static_cast<Cache *>(c->ref);
            self->puts++;
            self->verdicts[{item, user, kind}] = ok != FALSE;
            return 0;
        };
    }
};

struct ListAccess : ::testing::Test {
    mot_test::TempDir home;
    Proc p{home.path};
    Defs defs{p.aux};
    MOTSL_ACCESS_DEF_T *item_def = Defs::of(defs.item);

    void SetUp() override {
        // Users: 1 admin, 2 and 4 normal, 3 view only, 5 normal; 4 is in group 50, 5 in the deleted 51.
        p.access.privilege = {{1, 100}, {2, 40}, {3, 20}, {4, 40}, {5, 40}};
        p.access.groups = {{4, {50}}, {5, {51}}};
        p.access.deleted_groups = {51};
        FakeTree &t = p.tree;
        t.items[1].name = "Docs";
        t.items[1].def = Defs::of(defs.top);
        t.items[2].name = "Projects";
        t.items[2].parent = 1;
        t.items[2].def = item_def;
        t.items[3].name = "Secret";
        t.items[3].parent = 2;
        t.items[3].def = item_def;
        t.items[4].name = "Orphan";
        t.items[4].def = item_def;
        t.set_list(2, 0, {2, 3}, {50, 51}, false);
        t.set_list(2, 1, {3}, {}, false);
        t.set_list(2, 2, {}, {}, false);
        t.set_list(3, 0, {}, {}, true);
        t.set_list(3, 1, {2}, {}, false);
        t.set_list(3, 2, {2}, {}, false);
        for (int i : {1, 4}) {
            t.set_list(i, 0, {}, {}, false);
            t.set_list(i, 1, {}, {}, false);
            t.set_list(i, 2, {}, {}, false);
        }
    }

    // The verdict of a check, or -1 when it failed.
    int verdict(motsl_access_gen_fn_t fn, int item, int user, std::string *err = nullptr) {
        mo_boolean_t ok = TRUE;
        int ret = 0;
        std::string e = mot_test::capture_stderr([&] { ret = fn(p.aux, item_def, 0, item, user, &ok); });
        if (err != nullptr)
            *err = e;
        if (ret != 0) {
            EXPECT_FALSE(ok) << "a failed check never grants";
        }
        return ret != 0 ? -1 : ok ? 1 : 0;
    }
};

TEST_F(ListAccess, ItemLevelsThroughTheTree) {
    auto view = motsl_check_access_item_view, edit = motsl_check_access_item_edit,
         lib = motsl_check_access_item_lib, edit_or_parent_lib = motsl_check_access_item_edit_or_parent_lib;
    // The administrator passes every level on reachable items.
    for (auto fn : {view, edit, lib, edit_or_parent_lib})
        EXPECT_EQ(verdict(fn, 3, 1), 1);
    // User 2: named in item 2's view list, item 3's edit and lib lists (lib and edit imply view).
    EXPECT_EQ(verdict(view, 2, 2), 1);
    EXPECT_EQ(verdict(edit, 2, 2), 0);
    EXPECT_EQ(verdict(view, 3, 2), 1);
    EXPECT_EQ(verdict(edit, 3, 2), 1);
    EXPECT_EQ(verdict(lib, 3, 2), 1);
    EXPECT_EQ(verdict(lib, 2, 2), 0);
    // View only (20): seen where named, refused edit even where named in the edit list.
    EXPECT_EQ(verdict(view, 2, 3), 1);
    EXPECT_EQ(verdict(edit, 2, 3), 0);
    // Groups: a live group grants, a deleted one does not; item 3 inherits item 2's view list.
    EXPECT_EQ(verdict(view, 2, 4), 1);
    EXPECT_EQ(verdict(view, 2, 5), 0);
    EXPECT_EQ(verdict(view, 3, 4), 1);
    EXPECT_EQ(verdict(view, 3, 5), 0);
    // Edit or the parent's lib: lib access to Docs is edit access to its children.
    EXPECT_EQ(verdict(edit_or_parent_lib, 2, 4), 1);
    EXPECT_EQ(verdict(edit_or_parent_lib, 2, 5), 0);
    EXPECT_EQ(verdict(edit, 2, 4), 0);
    EXPECT_EQ(verdict(motsl_check_access_item_parent_lib, 2, 4), 1);
    EXPECT_EQ(verdict(motsl_check_access_item_parent_lib, 3, 4), 0);
    MOIL_ACCESSLIST_T *eff = nullptr;
    ASSERT_EQ(motsl_get_list_item_view(p.aux, 0, 3, &eff), 0);
    mo_boolean_t in = FALSE;
    moil_check_in_idlist(eff->user, 3, &in);
    EXPECT_TRUE(in) << "the inherited users are in the effective list";

    // An item whose parent id is 0 fails every check, for the administrator too.
    std::string err;
    for (auto fn : {view, edit, lib}) {
        EXPECT_EQ(verdict(fn, 4, 1, &err), -1);
        EXPECT_NE(err.find("The parent_id of item 4 is 0. How did that happen?"), std::string::npos) << err;
    }
    // A parent loop is reported, not followed for ever.
    p.tree.items[10].parent = 11;
    p.tree.items[11].parent = 10;
    for (int i : {10, 11}) {
        p.tree.items[i].def = item_def;
        p.tree.set_list(i, 0, {2}, {}, false);
        p.tree.set_list(i, 1, {}, {}, false);
        p.tree.set_list(i, 2, {}, {}, false);
    }
    EXPECT_EQ(verdict(view, 10, 2, &err), -1);
    EXPECT_NE(err.find("The parents of item "), std::string::npos) << err;
    EXPECT_NE(err.find("form a loop in folder tree 0"), std::string::npos) << err;
    const char *path = nullptr;
    err = mot_test::capture_stderr([&] { EXPECT_EQ(motsl_get_full_path(p.aux, 0, 10, &path), 1); });
    EXPECT_NE(err.find("form a loop"), std::string::npos);

    ASSERT_EQ(motsl_get_full_path(p.aux, 0, 3, &path), 0);
    EXPECT_STREQ(path, "/Docs/Projects/Secret");
    ASSERT_EQ(motsl_get_full_path(p.aux, 0, 1, &path), 0);
    EXPECT_STREQ(path, "/Docs");
    ASSERT_EQ(motsl_get_full_path_ids(p.aux, 0, 3, &path), 0);
    EXPECT_STREQ(path, " 2 3 3");
    ASSERT_EQ(motsl_get_full_path_ids(p.aux, 0, 2, &path), 0);
    EXPECT_STREQ(path, " 2 2");
    // A path longer than any fixed buffer is built whole.
    p.tree.items[3].name = std::string(2000, 'n');
    ASSERT_EQ(motsl_get_full_path(p.aux, 0, 3, &path), 0);
    EXPECT_EQ(strlen(path), 2000u + strlen("/Docs/Projects/"));

    // Without the services nothing is granted.
    p.hooks.item = nullptr;
    EXPECT_EQ(verdict(view, 3, 2, &err), -1);
    EXPECT_NE(err.find("There is no folder tree to check access to item"), std::string::npos) << err;
    p.hooks.item = &p.tree.hooks;
    p.hooks.access = nullptr;
    EXPECT_EQ(verdict(view, 3, 1, &err), -1);
    EXPECT_NE(err.find("There is no access service to check privileges"), std::string::npos) << err;
}

TEST_F(ListAccess, CacheOnlyWithinItsBoundsAndNeverForEdit) {
    Cache cache;
    p.hooks.cache = &cache.hooks;
    EXPECT_EQ(verdict(motsl_check_access_item_view, 3, 2), 1);
    EXPECT_EQ(cache.verdicts.count({3, 2, MOTSL_ACCESS_VIEW}), 1u);
    int tree_calls = p.tree.calls;
    EXPECT_EQ(verdict(motsl_check_access_item_view, 3, 2), 1);
    EXPECT_EQ(p.tree.calls, tree_calls) << "the second answer came from the cache";
    // A cached refusal is a refusal.
    cache.verdicts[{2, 2, MOTSL_ACCESS_VIEW}] = false;
    EXPECT_EQ(verdict(motsl_check_access_item_view, 2, 2), 0);
    // Other trees, items and users beyond the cache's bounds are computed without it.
    cache.verdicts.clear();
    int puts = cache.puts, gets = cache.gets;
    mo_boolean_t ok = FALSE;
    p.tree.items[25] = p.tree.items[2];
    p.tree.set_list(25, 0, {2}, {}, false);
    ASSERT_EQ(motsl_check_access_item_view(p.aux, item_def, 1, 3, 2, &ok), 0);
    EXPECT_TRUE(ok);
    ASSERT_EQ(motsl_check_access_item_view(p.aux, item_def, 0, 25, 2, &ok), 0);
    EXPECT_TRUE(ok);
    ASSERT_EQ(motsl_check_access_item_view(p.aux, item_def, 0, 3, -1, &ok), 0);
    ASSERT_EQ(motsl_check_access_item_view(p.aux, item_def, 0, 3, 11, &ok), 0);
    EXPECT_EQ(cache.gets, gets);
    EXPECT_EQ(cache.puts, puts);
    // Edit verdicts are never kept: the same kind stands for edit-or-parent-lib, which grants more.
    ASSERT_EQ(motsl_check_access_item_edit(p.aux, item_def, 0, 3, 2, &ok), 0);
    EXPECT_TRUE(ok);
    ASSERT_EQ(motsl_check_access_item_edit_or_parent_lib(p.aux, item_def, 0, 2, 4, &ok), 0);
    EXPECT_TRUE(ok);
    ASSERT_EQ(motsl_check_access_item_edit(p.aux, item_def, 0, 2, 4, &ok), 0);
    EXPECT_FALSE(ok);
    for (const auto &[key, v] : cache.verdicts)
        EXPECT_NE(std::get<2>(key), MOTSL_ACCESS_EDIT);
    EXPECT_GT(cache.verdicts.size(), 0u) << "their inner view and lib checks were kept";
}

TEST_F(ListAccess, AccessSetsCommandTestsAndRowFlags) {
    MOTSL_ACCESS_DEF_T *folder = Defs::of(defs.folder), *super = Defs::of(defs.super),
                       *everyone = Defs::of(defs.everyone);
    EXPECT_EQ(folder->view.gen_fn, motsl_check_access_item_view);
    EXPECT_EQ(folder->edit.gen_fn, motsl_check_access_item_parent_lib);
    EXPECT_EQ(folder->add.gen_fn, motsl_check_access_item_edit_or_parent_lib);
    EXPECT_EQ(folder->delete_.gen_fn, motsl_check_access_item_lib);
    EXPECT_EQ(folder->move.gen_fn, motsl_check_access_item_lib);
    EXPECT_EQ(folder->history.gen_fn, motsl_check_access_item_view);
    EXPECT_EQ(item_def->edit.gen_fn, motsl_check_access_item_edit_or_parent_lib);
    EXPECT_EQ(item_def->add.gen_fn, item_def->edit_list.gen_fn);
    EXPECT_EQ(item_def->delete_.gen_fn, motsl_check_access_item_lib);
    EXPECT_EQ(item_def->history.gen_fn, motsl_check_access_item_view);
    EXPECT_EQ(super->view.gen_fn, motsl_access_gen_super);
    EXPECT_EQ(everyone->delete_.gen_fn, motsl_access_gen_everyone);
    EXPECT_EQ(super->picker_fn, motsl_picker_access_lib);
    MOT_TOP_STYPE_T nulled{};
    nulled.access_ref = &nulled;
    motsl_access_null(&nulled, nullptr);
    EXPECT_EQ(nulled.access_ref, nullptr);

    // check_id: "this" is the view of the current list, "parent" the view of its parent.
    MOTSL_TYPE_STORAGE_T ts{};
    snprintf(ts.index, sizeof(ts.index), "0");
    snprintf(ts.list, sizeof(ts.list), "2");
    mo_boolean_t ok = FALSE;
    ASSERT_EQ(folder->check_id(p.aux, folder, &ts, 2, &ok), 0);
    EXPECT_TRUE(ok);
    ASSERT_EQ(folder->check_id(p.aux, folder, &ts, 5, &ok), 0);
    EXPECT_FALSE(ok);
    snprintf(ts.list, sizeof(ts.list), "3");
    ASSERT_EQ(item_def->check_id(p.aux, item_def, &ts, 5, &ok), 0);
    EXPECT_FALSE(ok) << "5 may not view item 2, the parent of 3";
    ASSERT_EQ(everyone->check_id(p.aux, everyone, &ts, 5, &ok), 0);
    EXPECT_TRUE(ok);

    // Command tests: the stype's own definition at list 0, the folder item's elsewhere.
    MOT_TOP_STYPE_T *main = p.stype("tnote");
    p.access.current = 2;
    const char *message = "x";
    ASSERT_EQ(motsl_set_position(main, 0, 0, 0), 0);
    ASSERT_EQ(motsl_cmd_access_view(main, nullptr, nullptr, &ok, &message), 0);
    EXPECT_FALSE(ok) << "tnote is for the administrator";
    EXPECT_EQ(message, nullptr);
    ASSERT_EQ(motsl_set_position(main, 0, 3, 0), 0);
    ASSERT_EQ(motsl_cmd_access_view(main, nullptr, nullptr, &ok, &message), 0);
    EXPECT_TRUE(ok);
    ASSERT_EQ(motsl_cmd_access_lib(main, nullptr, nullptr, &ok, &message), 0);
    EXPECT_TRUE(ok);
    p.access.current = 3;
    ASSERT_EQ(motsl_cmd_access_edit(main, nullptr, nullptr, &ok, &message), 0);
    EXPECT_FALSE(ok);

    // Row and column flags of a list in folder item 3: a user who may not edit the list edits no row.
    mot_test::TempDir h2;
    Daemon daemon(h2.path);
    Proc q(h2.path);
    ASSERT_TRUE(q.connect(daemon.port));
    q.access.privilege = p.access.privilege;
    q.tree.items = p.tree.items;
    for (auto &[id, it] : q.tree.items) {
        for (int level = 0; level < 3; level++) {
            std::vector<int> users, groups;
            for (MOIL_IDLIST_T *n = p.tree.items[id].lists[level].user; n != nullptr; n = n->next)
                users.push_back(n->id);
            for (MOIL_IDLIST_T *n = p.tree.items[id].lists[level].group; n != nullptr; n = n->next)
                groups.push_back(n->id);
            q.tree.set_list(id, level, users, groups, p.tree.items[id].lists[level].use_parent);
        }
    }
    MOT_TOP_STYPE_T *qmain = q.stype("tnote");
    ASSERT_EQ(q.init(qmain), 0);
    ASSERT_EQ(q.add_note(qmain, "one"), 0);
    ASSERT_EQ(q.add_note(qmain, "two"), 0);
    q.end_request();
    ASSERT_EQ(q.init(qmain, 0, 3, 0), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(qmain->read_data(qmain, &first), 0);
    static_cast<TNOTE_T *>(first->container)->delete_status = 1; // in memory only
    q.access.current = 2;
    ASSERT_EQ(motsl_stdlist_init_data_list_edit_check(qmain, first), 0);
    EXPECT_TRUE(first->next->access_edit);
    EXPECT_FALSE(first->access_view);
    EXPECT_TRUE(first->next->access_view);
    // The deleted list's check of its rows leaves the main list's flags as they are.
    ASSERT_EQ(motsl_delete_empty_check(qmain), 0);
    EXPECT_FALSE(static_cast<MOTSL_TYPE_STORAGE_T *>(qmain->type_storage_ref)->deleted_empty);
    EXPECT_FALSE(first->access_view);
    EXPECT_TRUE(first->next->access_view);
    q.access.current = 3;
    ASSERT_EQ(motsl_stdlist_init_data_list_edit_check(qmain, first), 0);
    EXPECT_FALSE(first->next->access_edit) << "view-only user: no row is editable";
    MOTSL_STDLIST_KEYWORD_T *c = nullptr;
    ASSERT_EQ(motsl_find_column(qmain, "ID", &c), 0);
    EXPECT_FALSE(c->access_type->view_access_col);
    EXPECT_TRUE(c->access_type->bview_access_col);
    ASSERT_EQ(motsl_find_column(qmain, "DEL", &c), 0);
    EXPECT_FALSE(c->access_type->view_access_col) << "the status shows in the deleted list only";
    q.end_request();
}

// ---------------------------------------------------------------- value types

struct TDOC_T {
    int32_t id, new_, delete_status;
    int32_t owner;
    MOIL_IDLIST_T *members;
    MOIL_ACCESSLIST_T *access;
    MOIL_IDLIST_T *rev;
    int32_t level;
};
struct TNAMED_T {
    int32_t id, new_, delete_status;
    char *name;
};

int admin_only(MOX_AUX_T *aux, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *ok) noexcept {
    int user = -1;
    int ret = motsl_current_user_id(aux, &user);
    return ret != 0 ? ret : motsl_check_privilege(aux, user, MOTSL_PRIV_ADMIN, ok);
}

const MOTSL_DISPLAY_OPTIONS_T level_options[] = {
    {.number = 0, .string = "Low", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 1, .string = "High", .color_index = 0, .choose_access_fn = admin_only},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

const MOTSL_COLUMN_DEF_T named_columns[] = {
    {.keyword = "N",
     .struct_offset = offsetof(TNAMED_T, name),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Name"},
};
const MOTSL_COLUMN_DEF_T doc_columns[] = {
    {.keyword = "OWN",
     .struct_offset = offsetof(TDOC_T, owner),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motsl_common_alloc_id,
     .user_name = "Owner"},
    {.keyword = "MEM",
     .struct_offset = offsetof(TDOC_T, members),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_idlist,
     .user_name = "Members"},
    {.keyword = "VA",
     .struct_offset = offsetof(TDOC_T, access),
     .init_ref = nullptr,
     .common_alloc_fn = motsl_common_alloc_accesslist,
     .user_name = "View Access List"},
    {.keyword = "R",
     .struct_offset = offsetof(TDOC_T, rev),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_rev,
     .user_name = "Revision"},
    {.keyword = "L",
     .struct_offset = offsetof(TDOC_T, level),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "Level",
     .display_ref = level_options},
};

int user_file(MOT_TOP_STYPE_T *s) noexcept {
    return motsl_set_data_filename(s, "%s/tuser/0", s->aux->setup->lib_dir);
}
int group_file(MOT_TOP_STYPE_T *s) noexcept {
    return motsl_set_data_filename(s, "%s/tgroup/0", s->aux->setup->lib_dir);
}
int doc_file(MOT_TOP_STYPE_T *s) noexcept {
    return motsl_set_data_filename(s, "%s/tdoc/0", s->aux->setup->lib_dir);
}

MOTSL_FAMILY_DEF_T family(const char *name, int id, const MOTSL_COLUMN_DEF_T *cols, int n, size_t size,
                          mot_init_filename_fn_t file) {
    return MOTSL_FAMILY_DEF_T{.name = name,
                              .main_id = id,
                              .useropt_id = id + 1,
                              .help = name,
                              .lock_element_string = "Test ID Number",
                              .lock_file_string = "Test Data",
                              .access_fn = motsl_access_everyone,
                              .size_of_element = size,
                              .columns = cols,
                              .column_count = n,
                              .init_filename = file};
}

// Who may be on the access list: users who may view folder 2.
MOT_TOP_STYPE_T *viewers_of_projects = nullptr;
int projects_access(MOT_TOP_STYPE_T *, MOTSL_ACCESS_DEF_T **def) noexcept {
    *def = static_cast<MOTSL_ACCESS_DEF_T *>(viewers_of_projects->access_ref);
    return 0;
}

TEST_F(ListAccess, ValueTypesShowOtherListsByName) {
    Daemon daemon(home.path);
    ASSERT_TRUE(p.connect(daemon.port));
    MOTSL_FAMILY_DEF_T fu = family("tuser", 10, named_columns, 1, sizeof(TNAMED_T), user_file);
    MOTSL_FAMILY_DEF_T fg = family("tgroup", 20, named_columns, 1, sizeof(TNAMED_T), group_file);
    MOTSL_FAMILY_DEF_T fd = family("tdoc", 30, doc_columns, 5, sizeof(TDOC_T), doc_file);
    ASSERT_EQ(motsl_register_family(p.session, &fu), 0);
    ASSERT_EQ(motsl_register_family(p.session, &fg), 0);
    ASSERT_EQ(motsl_register_family(p.session, &fd), 0);
    for (const char *d : {"/lib", "/lib/tuser", "/lib/tgroup"})
        mkdir((home.path + d).c_str(), 0755);
    write_file(home.path + "/lib/tuser/0",
               "ID 2\nN alice\n------\nID 3\nN bob\nDEL 1\n------\nID 4\nN carol\nNEW 9\n"
               "------\nID 5\nN bob\n");
    write_file(home.path + "/lib/tgroup/0",
               "ID 2\nN ^all\n------\nID 3\nN ^staff\n------\nID 4\nN ^old\nDEL 1\n");
    MOT_TOP_STYPE_T *doc = p.stype("tdoc"), *users = p.stype("tuser"), *groups = p.stype("tgroup");
    ASSERT_EQ(p.init(doc), 0);
    MOK_DATA_RECORD_T *rec = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(doc->read_data(doc, &first), 0);
    ASSERT_EQ(doc->new_data(doc, &rec), 0);
    auto *d = static_cast<TDOC_T *>(rec->container);
    auto text = [&](const char *kw) {
        MOTC_COMMON_KEYWORD_T *c = nullptr;
        const char *t = "?";
        EXPECT_EQ(doc->get_common_struct(doc, kw, &c), 0);
        std::string err = mot_test::capture_stderr([&] {
            if (c->get_string_fn(c, d, &t) != 0)
                t = "<failed>";
        });
        return std::string(t) + (err.empty() ? "" : " | " + err.substr(err.find(']', err.find(']') + 1) + 2));
    };
    auto update = [&](const char *kw, const char *value, std::string *err = nullptr) {
        MOTC_COMMON_KEYWORD_T *c = nullptr;
        EXPECT_EQ(doc->get_common_struct(doc, kw, &c), 0);
        int ret = 0;
        std::string e = mot_test::capture_stderr([&] { ret = c->update_string_fn(c, nullptr, d, value); });
        if (err != nullptr)
            *err = e;
        return ret;
    };

    // Before binding, a clear refusal.
    EXPECT_NE(
        text("OWN").find("The stdlist->display_ref is NULL, maybe motsl_init_array_info was not called for "
                         "the Owner column"),
        std::string::npos);
    ASSERT_EQ(motsl_init_array_info_and_store(doc, p.req, "OWN", users, "N", "DEL"), 0);
    ASSERT_EQ(motsl_init_array_info_and_store(doc, p.req, "MEM", users, "N", "DEL"), 0);
    viewers_of_projects = &defs.folder;
    snprintf(static_cast<MOTSL_TYPE_STORAGE_T *>(doc->type_storage_ref)->list, MOTSL_ID_TEXT_LEN, "2");
    ASSERT_EQ(motsl_init_access_array_info_and_store(doc, p.req, "VA", projects_access, nullptr, users, "N",
                                                     "DEL", groups, "N", "DEL"),
              0);

    // Id: the name of the element, "Not-Defined" for none; names of committed elements, live first.
    d->owner = 2;
    EXPECT_EQ(text("OWN"), "alice");
    d->owner = 99;
    EXPECT_EQ(text("OWN"), "Not-Defined");
    ASSERT_EQ(update("OWN", "bob"), 0);
    EXPECT_EQ(d->owner, 5);
    ASSERT_EQ(update("OWN", "Not-Defined"), 0);
    EXPECT_EQ(d->owner, 0);
    std::string err;
    d->owner = 2;
    EXPECT_EQ(update("OWN", "carol", &err), 1);
    EXPECT_NE(err.find("Can't find carol in the Name column of tuser entries\n"), std::string::npos) << err;
    EXPECT_EQ(d->owner, 2);

    // Id list: names joined by ", ", deleted and missing left out; repeats dropped on update.
    ASSERT_EQ(update("MEM", "alice, bob\tbob"), 0);
    EXPECT_EQ(text("MEM"), "alice, bob");
    moil_add_to_idlist(p.aux->interm, nullptr, 3, &d->members);
    moil_add_to_idlist(p.aux->interm, nullptr, 77, &d->members);
    EXPECT_EQ(text("MEM"), "alice, bob");
    EXPECT_EQ(update("MEM", "alice zed", &err), 1);
    EXPECT_NE(err.find("Can't find zed in the Name column of tuser entries"), std::string::npos);
    EXPECT_EQ(text("MEM"), "alice, bob") << "a refused update changes nothing";

    // Access list: users, then groups with their "^"; only users who may view folder 2.
    ASSERT_EQ(update("VA", "alice, ^staff ^all"), 0);
    EXPECT_EQ(text("VA"), "alice, ^staff, ^all");
    EXPECT_EQ(update("VA", "bob", &err), 1);
    EXPECT_NE(
        err.find("Can't add the user bob to the access list unless they have view permission to the folder "
                 "above.\n"),
        std::string::npos)
        << err;
    moil_add_to_idlist(p.aux->interm, nullptr, 5, &d->access->user);
    moil_add_to_idlist(p.aux->interm, nullptr, 4, &d->access->group);
    EXPECT_EQ(text("VA"), "alice, ^staff, ^all") << "bob may not view the folder; ^old is deleted";
    EXPECT_EQ(update("VA", "^nobody", &err), 1);
    EXPECT_NE(err.find("Can't find nobody in the Name column of tgroup entries"), std::string::npos) << err;

    // Revisions and plain id lists.
    ASSERT_EQ(update("R", "2.5"), 0);
    EXPECT_EQ(text("R"), "2.5");
    ASSERT_EQ(update("R", "3"), 0);
    EXPECT_EQ(text("R"), "");
    EXPECT_EQ(update("R", "1.x", &err), 1);
    EXPECT_NE(err.find("x is not a number for Revision"), std::string::npos);
    MOT_TOP_STYPE_T *notes = p.stype("tnote");
    MOTC_COMMON_KEYWORD_T *owners = nullptr;
    ASSERT_EQ(notes->get_common_struct(notes, "O", &owners), 0);
    TNOTE_T n{};
    ASSERT_EQ(owners->update_string_fn(owners, nullptr, &n, "3, 7,,12"), 0);
    const char *t = nullptr;
    ASSERT_EQ(owners->get_string_fn(owners, &n, &t), 0);
    EXPECT_STREQ(t, "3, 7, 12");

    // Options: unknown numbers show the default, unknown texts keep the value, choices are checked.
    MOTC_COMMON_KEYWORD_T *status = nullptr;
    ASSERT_EQ(notes->get_common_struct(notes, "S", &status), 0);
    n.status = 4;
    err = mot_test::capture_stderr([&] { ASSERT_EQ(status->get_string_fn(status, &n, &t), 0); });
    EXPECT_STREQ(t, "Open");
    EXPECT_NE(err.find("Note:"), std::string::npos);
    EXPECT_NE(err.find("Option number 4 not recognised for keyword S\n"), std::string::npos) << err;
    ASSERT_EQ(status->update_string_fn(status, nullptr, &n, "Escalated"), 0);
    EXPECT_EQ(n.status, 9);
    err = mot_test::capture_stderr(
        [&] { ASSERT_EQ(status->update_string_fn(status, nullptr, &n, "Nope"), 0); });
    EXPECT_NE(err.find("Option string Nope not recognised for keyword S\n"), std::string::npos) << err;
    EXPECT_EQ(n.status, 9);
    p.access.current = 2;
    EXPECT_EQ(update("L", "High", &err), 1);
    EXPECT_NE(err.find("You may not choose High for Level"), std::string::npos) << err;
    EXPECT_EQ(d->level, 0);
    p.access.current = 1;
    ASSERT_EQ(update("L", "High"), 0);
    EXPECT_EQ(d->level, 1);
    EXPECT_EQ(text("L"), "High");
}

} // namespace
