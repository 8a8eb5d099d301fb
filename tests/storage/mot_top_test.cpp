// Registry, argument list, display commands and storage entries.
#include "storage/mot_top.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using testing::HasSubstr;
using testing::Not;

struct Aux {
    mot_test::Bundle b;
    MOX_AUX_T *aux = b.aux;
};

std::vector<std::string> init_order;

int record_init_struct(MOT_TOP_STYPE_T *stype, void *, mo_boolean_t from_web) noexcept {
    init_order.push_back(std::string(stype->name) + (from_web ? "+web" : ""));
    return 0;
}
int failing_init_struct(MOT_TOP_STYPE_T *stype, void *, mo_boolean_t) noexcept {
    init_order.push_back(std::string(stype->name) + "!");
    return 1;
}
int access_ok(MOT_TOP_STYPE_T *stype, void *) noexcept {
    stype->access_ref = stype;
    return 0;
}
int access_fails(MOT_TOP_STYPE_T *, void *) noexcept {
    return 1;
}

int reg(Aux &a, MOT_TOP_STYPE_T **list, const char *name, int type = MOT_STYPE_MAIN,
        mot_init_struct_fn_t init_struct = record_init_struct, mot_assign_access_fn_t access = access_ok,
        MOT_TOP_STYPE_T **out = nullptr) {
    const MOT_TOP_STYPE_DEF_T def = {
        .name = name,
        .insert_title = mot_insert_title_null,
        .id = 7,
        .type = type,
        .help = "Help text",
        .init_stype = mot_init_stype_null,
        .assign_access_fn = access,
        .view_access_row_fn = mot_row_access_all,
        .edit_access_row_fn = mot_row_access_none,
        .lock_element_string = "Elem Lock",
        .lock_file_string = "File Lock",
        .init_struct = init_struct,
    };
    MOT_TOP_STYPE_T *s = nullptr;
    int ret = mot_top_register_stype_def(a.aux, list, nullptr, &def, &s);
    if (out)
        *out = s;
    return ret;
}

TEST(MotTopRegistry, RegistersInOrderAndFindsByExactName) {
    Aux a;
    MOT_TOP_SESSION_T *session = nullptr;
    ASSERT_EQ(mot_top_construct_session(&session, a.aux), 0);
    MOT_TOP_STYPE_T **list = &session->storage.stype_list;
    MOT_TOP_STYPE_T *groups = nullptr;
    ASSERT_EQ(reg(a, list, "groups", 0, record_init_struct, access_ok, &groups), 0);
    ASSERT_EQ(reg(a, list, "groups_deleted", MOT_STYPE_SECONDARY), 0);
    // The named registration with every field as an argument fills the same stype.
    MOT_TOP_STYPE_T *index = nullptr;
    ASSERT_EQ(mot_top_register_stype(a.aux, list, nullptr, &index, "index", mot_insert_title_null, 9,
                                     MOT_STYPE_COMMANDS_ONLY, nullptr, mot_init_stype_null, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     "Index File", mot_top_lock_file, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(index->id, 9);
    EXPECT_EQ(index->type, MOT_STYPE_COMMANDS_ONLY);
    EXPECT_STREQ(index->help, "") << "a missing help text reads as empty";
    EXPECT_STREQ(index->lock_element_string, "");
    EXPECT_STREQ(index->lock_file_string, "Index File");
    EXPECT_EQ(index->lock_file, mot_top_lock_file);
    EXPECT_NE(index->indexer, nullptr) << "the default indexer is built";
    EXPECT_EQ(index->access_ref, nullptr) << "no access assignment ran";

    EXPECT_EQ(groups->access_ref, groups) << "the access assignment ran on the new stype";
    EXPECT_EQ(groups->stype_list_ptr, list);
    EXPECT_EQ(groups->aux, a.aux);
    EXPECT_STREQ(groups->lock_element_string, "Elem Lock");
    EXPECT_STREQ(groups->lock_file_string, "File Lock");
    EXPECT_STREQ(groups->help, "Help text");
    EXPECT_EQ(groups->id, 7);
    EXPECT_EQ(groups->init_struct, record_init_struct);
    EXPECT_EQ(groups->view_access_row_fn, mot_row_access_all);
    EXPECT_EQ(groups->edit_access_row_fn, mot_row_access_none);
    EXPECT_EQ(groups->read_data, nullptr) << "what the definition leaves out stays empty";
    EXPECT_EQ(groups->lock_element, nullptr);
    EXPECT_EQ(groups->data_loaded, FALSE);
    EXPECT_EQ(groups->filename, nullptr);

    std::vector<std::string> names;
    for (MOT_TOP_STYPE_T *s = *list; s; s = s->next)
        names.push_back(s->name);
    EXPECT_EQ(names, (std::vector<std::string>{"groups", "groups_deleted", "index"}));

    MOT_TOP_STYPE_T *found = nullptr;
    ASSERT_EQ(mot_top_find_stype(*list, a.aux, "groups_deleted", &found), 0);
    EXPECT_STREQ(found->name, "groups_deleted");

    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(mot_top_find_stype(*list, a.aux, "Groups", &found), 1); });
    EXPECT_THAT(err, HasSubstr("No stype_name (Groups) exists in the stype_list\n"));
    EXPECT_EQ(found, nullptr);
}

TEST(MotTopRegistry, DuplicateNameRefusedAndFirstKept) {
    Aux a;
    MOT_TOP_STYPE_T *list = nullptr;
    MOT_TOP_STYPE_T *first = nullptr, *second = nullptr;
    ASSERT_EQ(reg(a, &list, "groups", 0, record_init_struct, access_ok, &first), 0);
    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(reg(a, &list, "groups", 1, record_init_struct, access_ok, &second), 1); });
    // The message carries no line end of its own.
    EXPECT_THAT(err, HasSubstr("Stype name groups has already been registered"));
    EXPECT_THAT(err, Not(HasSubstr("registered\n\n")));
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(list, first);
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(list->type, 0);
}

TEST(MotTopRegistry, FailedAccessAssignmentLeavesRegistryUntouched) {
    Aux a;
    MOT_TOP_STYPE_T *list = nullptr;
    ASSERT_EQ(reg(a, &list, "a"), 0);
    MOT_TOP_STYPE_T *s = nullptr;
    EXPECT_EQ(reg(a, &list, "b", 0, record_init_struct, access_fails, &s), 1);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(list->next, nullptr);
    // The name is still free afterwards.
    EXPECT_EQ(reg(a, &list, "b"), 0);
}

TEST(MotTopRegistry, InitStaticStypesOnlyMainListsInOrderStoppingAtFailure) {
    Aux a;
    MOT_TOP_STYPE_T *list = nullptr;
    reg(a, &list, "users", 0);
    reg(a, &list, "users_deleted", 1);
    reg(a, &list, "groups", 0);
    reg(a, &list, "broken", 0, failing_init_struct);
    reg(a, &list, "items", 0);
    init_order.clear();
    EXPECT_EQ(mot_top_init_static_stypes(a.aux, list, nullptr), 1);
    EXPECT_EQ(init_order, (std::vector<std::string>{"users", "groups", "broken!"}));
}

TEST(MotTopRegistry, InitFilenameCopiesAndClearsLoaded) {
    Aux a;
    MOT_TOP_STYPE_T *list = nullptr, *s = nullptr;
    reg(a, &list, "groups", 0, record_init_struct, access_ok, &s);
    s->data_loaded = TRUE;
    char name[] = "/tmp/x/groups";
    ASSERT_EQ(mot_top_init_filename(s, nullptr, name), 0);
    name[0] = 'Z';
    EXPECT_STREQ(s->filename, "/tmp/x/groups");
    EXPECT_EQ(s->data_loaded, FALSE);
}

TEST(MotTopArgs, AddAdvanceDelete) {
    Aux a;
    MOT_TOP_REQ_T *req = nullptr;
    ASSERT_EQ(mot_top_construct_req(&req, a.aux), 0);
    EXPECT_EQ(req->arg_list_ptr, &req->arg_list);
    EXPECT_EQ(req->arg_list, nullptr);
    ASSERT_EQ(mot_add_arg(a.aux, "f1", &req->arg_list), 0);
    ASSERT_EQ(mot_add_arg(a.aux, "content", &req->arg_list), 0);
    ASSERT_EQ(mot_add_arg(a.aux, "A", &req->arg_list), 0);
    MOT_TOP_ARG_LIST_T *second = req->arg_list->next;
    EXPECT_STREQ(second->val, "content");

    // Deleting the middle node keeps the others in order.
    ASSERT_EQ(mot_delete_arg(a.aux, second, &req->arg_list), 0);
    EXPECT_STREQ(req->arg_list->val, "f1");
    EXPECT_STREQ(req->arg_list->next->val, "A");
    EXPECT_EQ(req->arg_list->next->next, nullptr);

    MOT_TOP_ARG_LIST_T stranger{"x", nullptr};
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(mot_delete_arg(a.aux, &stranger, &req->arg_list), 1); });
    EXPECT_THAT(err, HasSubstr("Can't find the element to delete in mot_delete_arg\n"));

    // Advance through the whole list, then once too often.
    MOT_TOP_ARG_LIST_T *pos = req->arg_list;
    ASSERT_EQ(mot_advance_next_arg(a.aux, &pos), 0);
    EXPECT_STREQ(pos->val, "A");
    ASSERT_EQ(mot_advance_next_arg(a.aux, &pos), 0);
    EXPECT_EQ(pos, nullptr);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(mot_advance_next_arg(a.aux, &pos), 1); });
    EXPECT_THAT(err, HasSubstr("No more arguments to advance in mow_web_advance_next_arg"));
    EXPECT_EQ(pos, nullptr);
    EXPECT_STREQ(req->arg_list->val, "f1") << "advancing a copy of the position leaves the list alone";
}

int page_start(MOT_TOP_STYPE_T *, MOX_AUX_T *, MOOU_OUT_DEF_T *, MOT_TOP_REQ_T *,
               MOT_TOP_ARG_LIST_T **) noexcept {
    return 0;
}

TEST(MotTopDisplay, RegisterAndFind) {
    Aux a;
    MOT_TOP_SESSION_T *session = nullptr;
    ASSERT_EQ(mot_top_construct_session(&session, a.aux), 0);
    ASSERT_EQ(
        mot_display_cmd_register(&session->display_cmd_list, a.aux, nullptr, "content", page_start, nullptr),
        0);
    ASSERT_EQ(
        mot_display_cmd_register(&session->display_cmd_list, a.aux, nullptr, "dir", nullptr, page_start), 0);
    MOT_DISPLAY_CMD_T *cmd = nullptr;
    ASSERT_EQ(mot_find_display_cmd(session->display_cmd_list, a.aux, "dir", &cmd), 0);
    EXPECT_STREQ(cmd->command_name, "dir");
    EXPECT_EQ(cmd->service_end_fn, page_start);
    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(mot_find_display_cmd(session->display_cmd_list, a.aux, "Dir", &cmd), 1); });
    EXPECT_THAT(err, HasSubstr("Display Command Dir not valid\n"));
}

TEST(MotTopStorage, FindRegistersOnceAndClearEmpties) {
    Aux a;
    MOT_TOP_STORAGE_T *list = nullptr, *e1 = nullptr, *e2 = nullptr, *again = nullptr;
    ASSERT_EQ(mot_top_storage_find(a.aux, nullptr, &list, &e1, "/lib/groups"), 0);
    ASSERT_EQ(mot_top_storage_find(a.aux, nullptr, &list, &e2, "/lib/users"), 0);
    ASSERT_EQ(mot_top_storage_find(a.aux, nullptr, &list, &again, "/lib/groups"), 0);
    EXPECT_EQ(e1, again);
    EXPECT_NE(e1, e2);
    EXPECT_EQ(list, e1);
    EXPECT_EQ(list->next, e2);
    EXPECT_EQ(e1->mod_time, 0);
    EXPECT_EQ(e1->struct_ref, nullptr);
    int cached = 5;
    e1->struct_ref = &cached;
    e1->mod_time = 12;
    ASSERT_EQ(mot_top_storage_clear(a.aux, e1), 0);
    EXPECT_EQ(e1->struct_ref, nullptr);
    EXPECT_EQ(e1->mod_time, 0);
    EXPECT_STREQ(e1->id_string, "/lib/groups");
}

} // namespace
