// The item-type and file-type lists as processes of the system load them through the real lock
// daemon: the built-in rows on an empty installation, what a refresh puts back and what it leaves,
// generated item types following their source and its change mark, the lock given back on every
// path, accessors refusing forged ids, access definitions, and the two choosers with hostile names.
#include "types_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tt;

namespace {

ino_t inode_of(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

struct TypeLists : ::testing::Test {
    mot_test::TempDir home;
    mot_test::DaemonProcess daemon;
    std::string itype_file, ftype_file;
    void SetUp() override {
        itype_file = home.path + "/lib/itype/0";
        ftype_file = home.path + "/lib/ftype/0";
    }
    std::unique_ptr<Proc> process(int sender) {
        auto p = std::make_unique<Proc>(home.path);
        EXPECT_EQ(p->registered, 0);
        EXPECT_TRUE(p->connect(daemon.port, sender));
        return p;
    }
    // Changes the loaded records of a list under its write lock and writes them.
    template <class T, class Fn> void edit(Proc &p, const char *name, Fn fn) {
        MOT_TOP_STYPE_T *s = p.stype(name);
        ASSERT_EQ(s->lock_file(s, MOLK_FILE_WRITE, nullptr), 0);
        MOK_DATA_RECORD_T *first = nullptr;
        ASSERT_EQ(s->read_data(s, &first), 0);
        for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next)
            fn(static_cast<T *>(r->container));
        ASSERT_EQ(s->write_data(s), 0);
        ASSERT_EQ(s->lock_file(s, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
    }
};

MOAP_ITYPE_T *by_sys(Proc &p, int sys) {
    for (MOAP_ITYPE_T *t : p.itypes())
        if (t->sys_id_list != nullptr && t->sys_id_list->id == 1 && t->sys_id_list->next->id == sys)
            return t;
    return nullptr;
}
MOAP_FTYPE_T *ftype_by_sys(Proc &p, int sys) {
    for (MOAP_FTYPE_T *f : p.ftypes())
        if (f->sys_id == sys)
            return f;
    return nullptr;
}

TEST_F(TypeLists, TheFamiliesRegisterTheirListsColumnsAndLockTexts) {
    Proc p(home.path);
    ASSERT_EQ(p.registered, 0);
    struct Want {
        const char *name;
        int id, type;
        const char *help, *element, *file;
    } want[] = {
        {"itype", 1, 0, "Active Itype Entries", "Itype ID Number", "Itype Data"},
        {"itype_useropt", 3, 2, "Itype user options", "Itype User Option", "Itype User Option Data"},
        {"ftype", 1, 0, "Active Ftype Entries", "Ftype ID Number", "Ftype Data"},
        {"ftype_deleted", 2, 1, "Deleted Ftype Entries", "Ftype ID Number", "Ftype Data"},
        {"ftype_useropt", 3, 2, "Ftype user options", "Ftype User Option", "Ftype User Option Data"},
        {"ftype_history", 4, 3, "History of the ftype entries", "Ftype History ID Number",
         "Ftype History Data"},
        {"ftype_history_useropt", 5, 2, "Ftype history user options", "Ftype History User Option",
         "Ftype History User Option Data"},
    };
    for (const Want &w : want) {
        MOT_TOP_STYPE_T *s = p.stype(w.name);
        ASSERT_NE(s, nullptr) << w.name;
        EXPECT_EQ(s->id, w.id) << w.name;
        EXPECT_EQ(s->type, w.type) << w.name;
        EXPECT_STREQ(s->help, w.help);
        EXPECT_STREQ(s->lock_element_string, w.element);
        EXPECT_STREQ(s->lock_file_string, w.file);
    }
    EXPECT_EQ(p.stype("itype_deleted"), nullptr);
    EXPECT_EQ(p.stype("itype_history"), nullptr);
    auto columns = [&](const char *name) {
        std::vector<std::string> out;
        MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
        if (motsl_get_key_struct(p.stype(name), &ks) == 0)
            for (MOTSL_APPLIC_KEYWORD_T *n = ks->keyword_list; n != nullptr; n = n->next)
                out.push_back(std::string(n->stdlist->common->gen_keyword.keyword) + "=" +
                              n->stdlist->user_name);
        return out;
    };
    EXPECT_EQ(columns("itype"),
              (std::vector<std::string>{"ID=ID", "NEW=New", "DEL=Status", "EDIT=Edit", "N=Type Name",
                                        "G=Graphic File", "OT=Object Type", "T=Type", "OC=Open Cmd",
                                        "IC=List Cmd", "DS=Default Stype", "AS=Allowed Stypes",
                                        "EA=Extra Args", "NM=New Method", "CM=Contains Method", "DT=Dir Type",
                                        "S=Searchable", "DV=Show in Dir View", "SID=Sys ID"}));
    EXPECT_EQ(columns("ftype"), (std::vector<std::string>{
                                    "ID=ID", "NEW=New", "DEL=Status", "EDIT=Edit", "N=Name", "E=Extension",
                                    "EE=Extra Ext", "G=Graphic File", "A=Application", "NW=Use New Window",
                                    "CIS=New/Checkin Script", "COS=Copy/Checkout Script", "IS=Index Script",
                                    "SID=SID", "SE=System Type Has Been Edited (level of)"}));
    // The method choices in display order, with 6 so that saving a generated type keeps it.
    MOTSL_STDLIST_KEYWORD_T *nm = nullptr;
    ASSERT_EQ(motsl_find_column(p.stype("itype"), "NM", &nm), 0);
    std::vector<int> methods;
    for (auto *o = static_cast<const MOTSL_DISPLAY_OPTIONS_T *>(nm->display_ref); o->number != -1; o++)
        methods.push_back(o->number);
    EXPECT_EQ(methods, (std::vector<int>{3, 4, 5, 6, 1, 2}));
    // The service starts empty, with the stand-ins of the folder tree.
    EXPECT_EQ(p.item->current_index_id, -1);
    EXPECT_EQ(p.item->current_list_id, -1);
    EXPECT_EQ(p.item->min_index, 0);
    EXPECT_EQ(p.item->max_index, -1);
    EXPECT_EQ(p.item->ftype_unknown_id, 0);
    EXPECT_EQ(p.item->itype_ref, nullptr);
    int max_id = 5, mod = 5;
    EXPECT_EQ(p.item->get_litem_data_props(p.item, &max_id, &mod), 0);
    EXPECT_EQ(max_id, 0);
    EXPECT_EQ(mod, 0);
    std::string err = mot_test::capture_stderr([&] { EXPECT_NE(moit_check_index(p.item, 0), 0); });
    EXPECT_NE(err.find("Index ID 0 out of range"), std::string::npos);
}

TEST_F(TypeLists, EmptyInstallationGetsTheBuiltinRowsOnceAndLaterLoadsWriteNothing) {
    auto p = process(101);
    ASSERT_EQ(p->load(), 0);

    std::vector<MOAP_ITYPE_T *> it = p->itypes();
    ASSERT_EQ(it.size(), 19u);
    for (int i = 0; i < 19; i++) {
        const MOAP_ITYPE_SYS_T &row = moap_itype_sys_table[i];
        MOAP_ITYPE_T *t = it[static_cast<size_t>(i)];
        EXPECT_EQ(t->id, i + 1) << row.name;
        EXPECT_STREQ(t->name, row.name);
        EXPECT_EQ(ids_of(t->sys_id_list), (std::vector<int>{1, row.sys_id}));
        EXPECT_STREQ(t->default_stype, row.default_stype);
        EXPECT_STREQ(t->allowed_stypes, row.allowed_stypes);
        EXPECT_STREQ(t->list_cmd, "list");
        EXPECT_STREQ(t->open_cmd, "");
        EXPECT_STREQ(t->extra_args, "");
        EXPECT_STREQ(t->graphic_filename, row.graphic_filename);
        EXPECT_EQ(t->new_method, row.new_method);
        EXPECT_EQ(t->contains_method, row.contains_method);
        EXPECT_EQ(t->object_type, row.object_type);
        EXPECT_EQ(t->searchable, 0);
        EXPECT_EQ(t->in_dir_view, 1);
        EXPECT_EQ(t->type, 1);
        EXPECT_EQ(t->delete_status, 0);
        EXPECT_EQ(t->dir_type, row.parent_sys_id == 0 ? 0 : by_sys(*p, row.parent_sys_id)->id) << row.name;
    }
    // Table order: "Table Folder" (fifth) lives under "Top Level Table Folder" (third).
    EXPECT_EQ(it[4]->dir_type, 3);
    EXPECT_EQ(it[6]->dir_type, 4);
    EXPECT_EQ(it[8]->dir_type, 1);

    std::vector<MOAP_FTYPE_T *> ft = p->ftypes();
    ASSERT_EQ(ft.size(), 34u);
    for (int i = 0; i < 34; i++) {
        const MOAP_FTYPE_SYS_T &row = moap_ftype_sys_table[i];
        MOAP_FTYPE_T *f = ft[static_cast<size_t>(i)];
        EXPECT_EQ(f->id, i + 1);
        EXPECT_EQ(f->sys_id, row.sys_id);
        EXPECT_STREQ(f->name, row.name);
        EXPECT_STREQ(f->graphic_filename, row.graphic_filename);
        EXPECT_STREQ(f->pri_extension, row.pri_extension);
        EXPECT_STREQ(f->sec_extension, row.sec_extension);
        EXPECT_STREQ(f->application_string, row.application_string);
        EXPECT_STREQ(f->index_script, row.index_script);
        EXPECT_EQ(f->new_window, row.new_window);
        EXPECT_EQ(f->system_edited, 0);
    }
    EXPECT_EQ(p->item->ftype_unknown_id, 1);
    int id = 0;
    ASSERT_EQ(moap_ftype_get_ext_id(p->item, "TXT", &id), 0);
    EXPECT_EQ(id, 10);
    ASSERT_EQ(moap_ftype_get_ext_id(p->item, "log", &id), 0);
    EXPECT_EQ(id, 11);
    ASSERT_EQ(moap_ftype_get_ext_id(p->item, "weird", &id), 0);
    EXPECT_EQ(id, 1);
    const char *text = nullptr;
    ASSERT_EQ(moap_ftype_get_index_script(p->item, 5, &text), 0);
    EXPECT_STREQ(text, "install/system_scripts/pdf_index.sh");
    int window = 0;
    ASSERT_EQ(moap_ftype_get_new_window(p->item, 5, &window), 0);
    EXPECT_EQ(window, 4);

    // Both loads gave their write locks back.
    EXPECT_FALSE(p->write_held("itype"));
    EXPECT_FALSE(p->write_held("ftype"));
    ASSERT_TRUE(mot_test::file_exists(itype_file));
    ASSERT_TRUE(mot_test::file_exists(ftype_file));
    ino_t itype_inode = inode_of(itype_file), ftype_inode = inode_of(ftype_file);
    std::string itype_text = mot_test::read_file(itype_file);
    p->end_request();

    // Another process checks the rows again and, nothing having changed, writes nothing.
    auto q = process(102);
    ASSERT_EQ(q->load(), 0);
    EXPECT_EQ(q->itypes().size(), 19u);
    EXPECT_EQ(q->ftypes().size(), 34u);
    EXPECT_EQ(inode_of(itype_file), itype_inode);
    EXPECT_EQ(inode_of(ftype_file), ftype_inode);
    EXPECT_EQ(mot_test::read_file(itype_file), itype_text);
}

TEST_F(TypeLists, ProcessesLoadingAFreshInstallationTogetherWriteEachBuiltinRowOnce) {
    std::vector<pid_t> children;
    for (int i = 0; i < 4; i++) {
        fflush(stdout);
        fflush(stderr);
        pid_t pid = fork();
        if (pid == 0) {
            int ret = 1;
            {
                Proc p(home.path);
                if (p.registered == 0 && p.connect(daemon.port, 150 + i))
                    ret = p.load();
                if (ret == 0 && (p.itypes().size() != 19 || p.ftypes().size() != 34))
                    ret = 2;
                p.end_request();
            }
            _exit(ret);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::string itypes = mot_test::read_file(itype_file), ftypes = mot_test::read_file(ftype_file);
    EXPECT_EQ(mot_test::count_of(itypes, "SID 1,"), 19u) << itypes;
    EXPECT_EQ(mot_test::count_of(ftypes, "\nSID "), 34u) << ftypes;
    EXPECT_EQ(mot_test::count_of(itypes, "ID 19\n"), 1u);
    EXPECT_EQ(mot_test::count_of(itypes, "ID 20\n"), 0u);
    EXPECT_EQ(mot_test::count_of(ftypes, "ID 35\n"), 0u);
}

TEST_F(TypeLists, RefreshPutsBackBuiltinItemTypesAndFileTypesAsFarAsTheirLevelAllows) {
    auto p = process(201);
    ASSERT_EQ(p->load(), 0);
    p->end_request();
    // An administrator's edits, as the list pages would store them.
    edit<MOAP_ITYPE_T>(*p, "itype", [](MOAP_ITYPE_T *t) {
        if (t->id == 11) { // "Groups"
            t->name = strdup("My Groups");
            t->default_stype = strdup("nothing");
            t->new_method = 3;
            t->dir_type = 0;
        }
    });
    edit<MOAP_FTYPE_T>(*p, "ftype", [](MOAP_FTYPE_T *f) {
        if (f->sys_id == 4) { // "PDF", saved in the browser
            f->name = strdup("My PDF");
            f->index_script = strdup("mine.sh");
            f->system_edited = 2;
        }
        if (f->sys_id == 9) { // "Text" at level 1
            f->name = strdup("Plain");
            f->pri_extension = strdup("asc");
            f->index_script = strdup("old.sh");
            f->system_edited = 1;
        }
        if (f->sys_id == 11) { // "Zip" at level 0
            f->name = strdup("Zap");
            f->new_window = 4;
            f->delete_status = 1;
        }
    });
    p->end_request();
    // The same session does not check again: what is in the file is what it sees.
    ASSERT_EQ(p->load(), 0);
    EXPECT_STREQ(by_sys(*p, 3)->name, "My Groups");
    EXPECT_STREQ(ftype_by_sys(*p, 11)->name, "Zap");
    p->end_request();

    auto q = process(202);
    ASSERT_EQ(q->load(), 0);
    MOAP_ITYPE_T *groups = by_sys(*q, 3);
    EXPECT_EQ(groups->id, 11);
    EXPECT_STREQ(groups->name, "Groups");
    EXPECT_STREQ(groups->default_stype, "groups");
    EXPECT_EQ(groups->new_method, 2);
    EXPECT_EQ(groups->dir_type, 1);
    MOAP_FTYPE_T *pdf = ftype_by_sys(*q, 4), *text = ftype_by_sys(*q, 9), *zip = ftype_by_sys(*q, 11);
    EXPECT_STREQ(pdf->name, "My PDF");
    EXPECT_STREQ(pdf->index_script, "mine.sh");
    EXPECT_STREQ(text->name, "Plain");
    EXPECT_STREQ(text->pri_extension, "asc");
    EXPECT_STREQ(text->index_script, "install/system_scripts/text_index.sh");
    EXPECT_STREQ(zip->name, "Zip");
    EXPECT_EQ(zip->new_window, 1);
    EXPECT_EQ(zip->delete_status, 1) << "a refresh never undeletes";
    // A deleted type matches no extension; "txt" now finds the log files' type first.
    int id = 0;
    ASSERT_EQ(moap_ftype_get_ext_id(q->item, "zip", &id), 0);
    EXPECT_EQ(id, 1);
    ASSERT_EQ(moap_ftype_get_ext_id(q->item, "txt", &id), 0);
    EXPECT_EQ(id, 11);
    q->end_request();

    // The written file holds the refresh: a third process sees it without changing anything.
    ino_t before = inode_of(itype_file);
    auto r = process(203);
    ASSERT_EQ(r->load(), 0);
    EXPECT_STREQ(by_sys(*r, 3)->name, "Groups");
    EXPECT_EQ(inode_of(itype_file), before);

    // Saving a type in the browser makes it the administrator's own.
    MOAP_FTYPE_T saved{};
    EXPECT_EQ(moap_ftype_edit_end_call_back(r->stype("ftype"), &saved), 0);
    EXPECT_EQ(saved.system_edited, 2);
}

// A source of generated item types, as the table-type module registers one.
struct FakeSource {
    std::vector<MOAP_ITYPE_SOURCE_ROW_T> rows;
    MOAP_ITYPE_GENERATOR_T gen{};
    int calls = 0;
    FakeSource(int kind, const char *suffix, const char *mark) {
        gen.origin_kind = kind;
        gen.name_suffix = suffix;
        gen.list_cmd = "list";
        gen.default_stype = "lgenexec_main";
        gen.allowed_stypes = "lgenexec_history,lgenexec_deleted";
        gen.searchable = 0;
        gen.new_method = 5;
        gen.contains_method = 2;
        gen.object_type = 2;
        gen.mark_constant = mark;
        gen.ref = this;
        gen.for_each_row = [](MOAP_ITYPE_GENERATOR_T *g, MOX_AUX_T *, moap_itype_row_fn_t fn,
                              void *context) noexcept {
            auto *self = static_cast<FakeSource *>(g->ref);
            self->calls++;
            for (const MOAP_ITYPE_SOURCE_ROW_T &row : self->rows) {
                int ret = fn(context, &row);
                if (ret != 0)
                    return ret;
            }
            return 0;
        };
    }
};

MOAP_ITYPE_T *by_origin(Proc &p, int kind, int origin) {
    int id = p.itype_id(kind, origin);
    MOAP_ITYPE_T *t = nullptr;
    return id > 0 && moap_itype_find(p.item, id, &t) == 0 ? t : nullptr;
}

TEST_F(TypeLists, GeneratedTypesFollowTheirSourceAndItsChangeMark) {
    FakeSource tables(MOAP_ITYPE_ORIGIN_TABLE, " Table Type", "lgen/mark");
    tables.rows = {{7, "Parts", "system_file_types/icons/table.gif", 0, 1, MOAP_ITYPE_SYS_TABLE_FOLDER},
                   {9, "Old", "system_file_types/icons/table.gif", 1, 1, MOAP_ITYPE_SYS_TABLE_FOLDER}};
    auto p = process(301);
    ASSERT_EQ(moap_itype_register_generator(p->session, &tables.gen), 0);
    ASSERT_EQ(p->load(), 0);
    EXPECT_EQ(p->itypes().size(), 21u);
    MOAP_ITYPE_T *parts = by_origin(*p, 2, 7), *old = by_origin(*p, 2, 9);
    ASSERT_NE(parts, nullptr);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(parts->id, 20);
    EXPECT_STREQ(parts->name, "Parts Table Type");
    EXPECT_STREQ(parts->extra_args, "7");
    EXPECT_STREQ(parts->default_stype, "lgenexec_main");
    EXPECT_STREQ(parts->allowed_stypes, "lgenexec_history,lgenexec_deleted");
    EXPECT_STREQ(parts->list_cmd, "list");
    EXPECT_EQ(parts->dir_type, by_sys(*p, MOAP_ITYPE_SYS_TABLE_FOLDER)->id);
    EXPECT_EQ(parts->new_method, 5);
    EXPECT_EQ(parts->contains_method, 2);
    EXPECT_EQ(parts->object_type, 2);
    EXPECT_EQ(parts->delete_status, 0);
    EXPECT_EQ(old->delete_status, 1) << "a deleted table type gives a deleted item type";
    MOIL_IDLIST_T *generated = nullptr;
    ASSERT_EQ(moap_itype_get_idlist_of_sys_type(p->item, MOAP_ITYPE_ORIGIN_TABLE, &generated), 0);
    EXPECT_EQ(ids_of(generated), (std::vector<int>{20}));
    p->end_request();

    // A new source row shows once the source raises its mark, in the same session.
    tables.rows.push_back({12, "To\nols", "", 0, 0, 0});
    tables.rows[1].delete_status = 0;
    int calls = tables.calls;
    ASSERT_EQ(p->load(), 0);
    EXPECT_EQ(tables.calls, calls) << "no regeneration while the mark stands";
    EXPECT_EQ(by_origin(*p, 2, 12), nullptr);
    p->end_request();
    ASSERT_EQ(momk_mark_touch(p->aux, (home.path + "/lib/lgen/mark").c_str()), 0);
    ASSERT_EQ(p->load(), 0);
    MOAP_ITYPE_T *tools = by_origin(*p, 2, 12);
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->id, 22);
    EXPECT_STREQ(tools->name, "To ols Table Type");
    EXPECT_EQ(tools->dir_type, 0);
    EXPECT_EQ(by_origin(*p, 2, 9)->delete_status, 0) << "undeleting the source undeletes its type";
    p->end_request();

    // A source whose parent type does not exist fails the load and leaves no lock behind.
    FakeSource broken(MOAP_ITYPE_ORIGIN_DOC_FOLDER, "", "dgen/mark");
    broken.rows = {{3, "Specs, Std", "", 0, 1, 999}};
    auto q = process(302);
    ASSERT_EQ(moap_itype_register_generator(q->session, &broken.gen), 0);
    std::string err = mot_test::capture_stderr([&] { EXPECT_NE(q->load(), 0); });
    EXPECT_NE(err.find("Can't find dir_type id for sys_id 1,999"), std::string::npos) << err;
    EXPECT_FALSE(q->write_held("itype"));
    q->end_request();
    auto r = process(303);
    ASSERT_EQ(r->load(), 0) << "the lock was given back, the next process is not kept waiting";
    EXPECT_EQ(by_origin(*r, 3, 3), nullptr);
    EXPECT_EQ(r->itypes().size(), 22u);
}

TEST_F(TypeLists, AccessorsRefuseForgedIdsAndTheListsFollowThePlacementRule) {
    auto p = process(401);
    // A caller holding the write lock keeps it through the first load.
    MOT_TOP_STYPE_T *itype = p->stype("itype");
    ASSERT_EQ(mot_top_init_static_stypes(p->aux, p->session->storage.stype_list, p->req), 0);
    ASSERT_EQ(itype->lock_file(itype, MOLK_FILE_WRITE, nullptr), 0);
    ASSERT_EQ(p->load(), 0);
    EXPECT_TRUE(p->write_held("itype"));
    ASSERT_EQ(itype->lock_file(itype, MOLK_FILE_WRITE_RELEASE, nullptr), 0);

    for (int forged : {-1, 0, 20, 99999, 1 << 30}) {
        const char *name = "x";
        int value = 7;
        std::string err = mot_test::capture_stderr([&] {
            EXPECT_NE(moap_itype_get_name(p->item, forged, &name), 0);
            EXPECT_NE(moap_itype_get_dir_type(p->item, forged, &value), 0);
            EXPECT_NE(moap_ftype_get_name(p->item, forged <= 0 ? forged : forged + 35, &name), 0);
        });
        EXPECT_STREQ(name, "");
        EXPECT_EQ(value, 0);
        EXPECT_NE(err.find("Item type id " + std::to_string(forged) + " not found"), std::string::npos)
            << err;
        EXPECT_NE(err.find("File type id"), std::string::npos);
        mo_boolean_t allowed = TRUE;
        EXPECT_EQ(moap_itype_contains_check_if_allowed(p->item, 4, 5, 0, forged, &allowed), 0);
        EXPECT_FALSE(allowed);
        MOIL_IDLIST_T *list = nullptr;
        mot_test::capture_stderr(
            [&] { EXPECT_NE(moap_itype_get_dir_type_list(p->item, forged, 1, &list), 0); });
        EXPECT_EQ(list, nullptr);
    }
    int id = 0;
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_NE(moap_itype_find_sys_id(p->item, 1, 999, &id), 0); });
    EXPECT_NE(err.find("Can't find itype with sys_id 1,999"), std::string::npos);

    const int mgroups = p->itype_id(1, 23), folder = p->itype_id(1, 24), mail = p->itype_id(1, 25);
    const int tables = p->itype_id(1, 20), table_folder = p->itype_id(1, 14), config = p->itype_id(1, 1);
    auto offered = [&](int parent, int object) {
        MOIL_IDLIST_T *list = nullptr;
        EXPECT_EQ(moap_itype_get_dir_type_list(p->item, parent, object, &list), 0);
        return ids_of(list);
    };
    EXPECT_EQ(offered(mgroups, 1), (std::vector<int>{folder}));
    EXPECT_EQ(offered(mgroups, 2), (std::vector<int>{mail}));
    EXPECT_EQ(offered(folder, 1), (std::vector<int>{folder}));
    EXPECT_EQ(offered(folder, 2), (std::vector<int>{mail}));
    EXPECT_EQ(offered(tables, 1), (std::vector<int>{table_folder}));
    EXPECT_EQ(offered(table_folder, 1), (std::vector<int>{table_folder}));
    EXPECT_TRUE(offered(config, 1).empty()) << "new method 2: nothing is created in the config folder";
    mo_boolean_t allowed = FALSE;
    ASSERT_EQ(moap_itype_contains_check_if_allowed(p->item, folder, 5, mgroups, mail, &allowed), 0);
    EXPECT_TRUE(allowed);
    ASSERT_EQ(moap_itype_contains_check_if_allowed(p->item, folder, 5, mgroups, table_folder, &allowed), 0);
    EXPECT_FALSE(allowed);
    ASSERT_EQ(moap_itype_contains_check_if_allowed(p->item, mail, 2, mgroups, folder, &allowed), 0);
    EXPECT_FALSE(allowed);

    // Access definitions come from the registered stypes; others give none, and say so when asked.
    MOTSL_ACCESS_DEF_T *def = nullptr;
    ASSERT_EQ(moap_itype_get_access_fn(p->item, p->itype_id(1, 4), &def), 0);
    EXPECT_EQ(def, p->stype("ftype")->access_ref);
    err = mot_test::capture_stderr([&] { EXPECT_NE(moap_itype_get_access_fn(p->item, config, &def), 0); });
    EXPECT_NE(err.find("Can't find access definition with type_id " + std::to_string(config)),
              std::string::npos);
    EXPECT_EQ(def, nullptr);
}

TEST_F(TypeLists, AnUnknownStypeLeavesOneTypeWithoutAccessAndChoosersEscapeHostileNames) {
    auto p = process(501);
    ASSERT_EQ(p->load(), 0);
    p->end_request();
    const char *hostile = "<script>alert('x')</script>\"&--";
    MOT_TOP_STYPE_T *s = p->stype("itype");
    ASSERT_EQ(s->lock_file(s, MOLK_FILE_WRITE, nullptr), 0);
    MOK_DATA_RECORD_T *rec = nullptr;
    ASSERT_EQ(motsl_stdlist_append_new(s, &rec), 0);
    auto *mine = static_cast<MOAP_ITYPE_T *>(rec->container);
    mine->name = strdup(hostile);
    mine->default_stype = strdup("no_such_stype");
    mine->graphic_filename = strdup("x\" onerror=\"alert(1)");
    ASSERT_EQ(s->write_data(s), 0);
    ASSERT_EQ(s->lock_file(s, MOLK_FILE_WRITE_RELEASE, nullptr), 0);
    p->end_request();

    auto q = process(502);
    std::string err = mot_test::capture_stderr([&] { ASSERT_EQ(q->load(), 0); });
    EXPECT_NE(err.find("no_such_stype"), std::string::npos) << err;
    EXPECT_EQ(mot_test::count_of(err, "Warning"), 1u) << err;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    mot_test::capture_stderr([&] { EXPECT_NE(moap_itype_get_access_fn(q->item, 20, &def), 0); });
    ASSERT_EQ(moap_itype_get_access_fn(q->item, q->itype_id(1, 4), &def), 0) << "other types keep theirs";
    q->end_request();
    err = mot_test::capture_stderr([&] { ASSERT_EQ(q->load(), 0); });
    EXPECT_EQ(err, "") << "one warning a process";

    Out plain;
    MOIL_IDLIST_T offered[2] = {{20, &offered[1]}, {q->itype_id(1, 24), nullptr}};
    const char *link = "/morvale?content&content&N&docs&0&5&0&litem_dir&new_folder2\"><b>";
    ASSERT_EQ(moap_itype_plain_chooser(q->item, &plain.def, link, offered), 0);
    const std::string &html = plain.text;
    EXPECT_EQ(html.find("<script language=\"JavaScript\" type=\"text/javascript\">\n"
                        "<!--  Hide me please!\n"
                        "function NewSelect(type_id)\n"
                        "{\n"
                        "     opener.location = \"/morvale?content&content&N&docs&0&5&0&litem_dir&new_folder2"
                        "\\x22\\x3e\\x3cb\\x3e\" + \"&\" + type_id; \n"
                        "     window.close(); \n"
                        "} \n"
                        "//-->\n"
                        "</script>\n"),
              0u)
        << html;
    EXPECT_NE(html.find("<A HREF=\"/junk\" onclick=\"NewSelect(20); return false;\"><IMG"),
              std::string::npos);
    EXPECT_NE(html.find(" <A HREF=\"/junk\" onclick=\"NewSelect(20); return false;\"> "
                        "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&quot;&amp;--</A> <BR>\n"),
              std::string::npos)
        << html;
    EXPECT_NE(
        html.find("NewSelect(" + std::to_string(q->itype_id(1, 24)) + "); return false;\"> Folder</A> <BR>"),
        std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("onerror=\"alert"), std::string::npos);
    EXPECT_EQ(mot_test::count_of(html, "Create New"), 2u);

    Out doc;
    MOAP_ITYPE_DOC_CHOICE_T choices[] = {{"Specs", "Std", 30}, {"Specs", "Draft", 31}, {hostile, "Std", 32}};
    ASSERT_EQ(moap_itype_doc_chooser(q->item, &doc.def, "/morvale?content&x", choices, 3, 31), 0);
    const std::string &d = doc.text;
    EXPECT_NE(d.find("if (typeName == 'Specs, Std') {typeId = 30; }\n"), std::string::npos) << d;
    EXPECT_NE(d.find("if (typeName == 'Specs, Draft') {typeId = 31; }\n"), std::string::npos);
    EXPECT_NE(d.find("if (typeName == '\\x3cscript\\x3ealert(\\x27x\\x27)\\x3c/script\\x3e\\x22&--, Std') "
                     "{typeId = 32; }\n"),
              std::string::npos)
        << d;
    EXPECT_NE(d.find("<!--ACTION_DEF LINK=\"/morvale?content&x\"-->\n"), std::string::npos);
    EXPECT_NE(d.find("<!--TYPE_DEF NAME=\"Specs, Std\" ID=\"30\" SELECTED=\"NO\"-->\n"), std::string::npos);
    EXPECT_NE(d.find("<!--TYPE_DEF NAME=\"Specs, Draft\" ID=\"31\" SELECTED=\"YES\"-->\n"),
              std::string::npos);
    EXPECT_NE(
        d.find("<!--TYPE_DEF NAME=\"&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&quot;&amp;&#45;-, Std\" "
               "ID=\"32\" SELECTED=\"NO\"-->\n"),
        std::string::npos)
        << d;
    EXPECT_NE(d.find("<FORM NAME=DOC_CHOOSE"), std::string::npos);
    EXPECT_NE(d.find("<SELECT NAME=DOC_TYPE>\n<OPTION SELECTED>Specs</OPTION>\n<OPTION>&lt;script&gt;"),
              std::string::npos);
    EXPECT_NE(
        d.find("<SELECT NAME=DOC_NUM>\n<OPTION>Std</OPTION>\n<OPTION SELECTED>Draft</OPTION>\n</SELECT>"),
        std::string::npos)
        << d;
    EXPECT_NE(d.find("VALUE=\"OK\""), std::string::npos);
    EXPECT_NE(d.find("VALUE=\"Cancel\""), std::string::npos);
    EXPECT_EQ(d.find("<script>"), std::string::npos);
}

} // namespace
