// The user list's declaration: the user record's columns, the family of lists that show the one user
// file, their titles, and the row and column rules that decide who sees and changes what.
//
// A user sees and edits their own profile; administrators see and edit everyone's. The initial
// administrator (system id 1) is seen by administrators but never changed through the web, and the
// system id is shown nowhere.
#include "apps/moap_passwd.h"
#include "apps/moa_access_cmn.h"
#include "apps/moap_groups.h"
#include "apps/mocr_crypt.h"
#include "entry/mox_aux.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/moe_error_cmn.h"
#include "platform/most_setup_cmn.h"
#include "storage/mok_key.h"
#include "storage/moil_idlist.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"

#include <cstring>
#include <string>

const MOTSL_DISPLAY_OPTIONS_T moap_passwd_permission_options[] = {
    {.number = MOAP_PM_ADMIN, .string = "Admin", .color_index = 0, .choose_access_fn = nullptr},
    {.number = MOAP_PM_NORMAL, .string = "Normal", .color_index = 0, .choose_access_fn = nullptr},
    {.number = MOAP_PM_VIEW_ONLY, .string = "View Only", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = "NULL", .color_index = 0, .choose_access_fn = nullptr},
};
const MOTSL_DISPLAY_OPTIONS_T moap_passwd_new_doc_options[] = {
    {.number = 1, .string = "Mail If View Access", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 3, .string = "Mail If Subscribed", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "No Mail", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = "NULL", .color_index = 0, .choose_access_fn = nullptr},
};
const MOTSL_DISPLAY_OPTIONS_T moap_passwd_checkin_options[] = {
    {.number = 1, .string = "Mail If Read Before", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "Mail If Edit Access", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 4, .string = "Mail If View Access", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 5, .string = "Mail If Subscribed", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 3, .string = "No Mail", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = "NULL", .color_index = 0, .choose_access_fn = nullptr},
};
const MOTSL_DISPLAY_OPTIONS_T moap_passwd_log_options[] = {
    {.number = 1, .string = "All", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "All Except Copy", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 3, .string = "Log Nothing", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = "NULL", .color_index = 0, .choose_access_fn = nullptr},
};

namespace {

// Fails closed until the general setup says who sees the company tab.
int company_access_super(MOX_AUX_T *aux, mo_boolean_t *ok) noexcept {
    *ok = moa_access_is_super(aux);
    return 0;
}

} // namespace

moap_passwd_company_access_fn_t moap_passwd_company_access = company_access_super;

namespace {

bool named(MOT_TOP_STYPE_T *stype, const char *name) noexcept {
    return stype->name != nullptr && strcmp(stype->name, name) == 0;
}
bool in_profile_lists(MOT_TOP_STYPE_T *stype) noexcept {
    return named(stype, "passwd_profile") || named(stype, "passwd_profile_deleted");
}

// ---- column access

int col_profile(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = in_profile_lists(stype) ? TRUE : FALSE;
    return 0;
}
int col_profile_super(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = named(stype, "passwd_profile") && moa_access_is_super(stype->aux) ? TRUE : FALSE;
    return 0;
}
int col_contact(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = named(stype, "passwd_contact") ? TRUE : FALSE;
    return 0;
}
int col_profile_deleted(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = named(stype, "passwd_profile_deleted") ? TRUE : FALSE;
    return 0;
}

// ---- row access

MOAP_PASSWD_T *user_of(void *container) noexcept {
    return static_cast<MOAP_PASSWD_T *>(container);
}
bool own(MOT_TOP_STYPE_T *stype, const MOAP_PASSWD_T *u) noexcept {
    MOA_ACCESS_T *access = stype->aux->access;
    return access != nullptr && access->current_user_id >= 0 && u->id == access->current_user_id;
}
bool live(const MOAP_PASSWD_T *u) noexcept {
    return u->delete_status == 0 && u->new_ == 0;
}

int ra_view_all(MOT_TOP_STYPE_T *, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_PASSWD_T *u = user_of(container);
    *ok = live(u) && u->sys_id == 0 ? TRUE : FALSE;
    return 0;
}
int ra_view_delete(MOT_TOP_STYPE_T *, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_PASSWD_T *u = user_of(container);
    *ok = u->delete_status != 0 && u->new_ == 0 ? TRUE : FALSE;
    return 0;
}
int ra_view_super_or_own(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_PASSWD_T *u = user_of(container);
    *ok = live(u) && (own(stype, u) || moa_access_is_super(stype->aux)) ? TRUE : FALSE;
    return 0;
}
int ra_edit_super(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    *ok = moa_access_is_super(stype->aux) && user_of(container)->sys_id == 0 ? TRUE : FALSE;
    return 0;
}
int ra_edit_super_or_own(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_PASSWD_T *u = user_of(container);
    *ok = (own(stype, u) || moa_access_is_super(stype->aux)) && u->sys_id == 0 ? TRUE : FALSE;
    return 0;
}
int ra_view_contact(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_PASSWD_T *u = user_of(container);
    *ok = FALSE;
    if (!live(u) || u->sys_id != 0)
        return 0;
    return moap_passwd_company_access(stype->aux, ok);
}

// ---- titles

// The title of a profile or contact page: the list's name, or the prefix and the user's full name on
// the pages of one user. The full name is the user's own text: it goes out escaped.
int title(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, int dtype, void *specific, const char *list_name,
          const char *element_prefix) noexcept {
    int ret = out_def->line_fn(out_def, " <B><FONT COLOR=WHITE>%s", dtype == 2 ? "Edit of " : "");
    if (ret != 0)
        return ret;
    if ((dtype == 1 || dtype == 2) && specific != nullptr) {
        ret = out_def->line_fn(out_def, "%s", element_prefix);
        if (ret == 0)
            ret = motsl_out_protected(out_def, user_of(specific)->full_name);
    } else {
        ret = out_def->line_fn(out_def, "%s", list_name);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</FONT></B>");
    return ret;
}
int title_profile(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int dtype, void *specific) noexcept {
    return title(stype, out_def, dtype, specific, "User Profile List", "Profile for ");
}
int title_profile_deleted(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int dtype,
                          void *specific) noexcept {
    return title(stype, out_def, dtype, specific, "Deleted User Profiles", "Profile for ");
}
int title_contact(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int dtype, void *specific) noexcept {
    return title(stype, out_def, dtype, specific, "Contact Info", "Contact Info for ");
}

// ---- access definitions

int cmd_access_super(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                     const char **message) noexcept {
    if (message != nullptr)
        *message = nullptr;
    *ok = moa_access_is_super(stype->aux);
    return 0;
}

// Everyone may open the profiles (the rows decide what they see), but only administrators make new
// users.
int access_profile(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    int ret = motsl_access_everyone(stype, pool_ref);
    auto *def = static_cast<MOTSL_ACCESS_DEF_T *>(stype->access_ref);
    if (ret == 0 && def != nullptr)
        def->add = {.gen_fn = motsl_access_gen_super, .cmd_fn = cmd_access_super};
    return ret;
}

// ---- columns

int passwd_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/passwd/0", stype->aux->setup->lib_dir);
}

// Binds the group column to the group list before the pages show or parse it.
int passwd_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept {
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    MOT_TOP_STYPE_T *groups = nullptr;
    int ret = mot_top_find_stype(*stype->stype_list_ptr, stype->aux, "groups", &groups);
    if (ret == 0)
        ret = motsl_set_position(groups, 0, 0, 0);
    if (ret == 0)
        ret = motsl_init_array_info_and_store(stype, req, "GR", groups, "N", "DEL");
    if (ret == 0)
        ret = motsl_applic_init_web(req, stype_ptr);
    return ret;
}

#define OFF(field) offsetof(MOAP_PASSWD_T, field)

constexpr unsigned contact_tv = MOTSL_TV_MATCH | MOTSL_TV_FILTER | MOTSL_TV_ADVANCED_COL | MOTSL_TV_SORTABLE;

constexpr MOTSL_COLUMN_DEF_T contact_column(const char *keyword, size_t offset, const char *heading,
                                            unsigned tv = contact_tv) {
    return MOTSL_COLUMN_DEF_T{.keyword = keyword,
                              .struct_offset = offset,
                              .init_ref = "",
                              .common_alloc_fn = motc_common_alloc_string,
                              .user_name = heading,
                              .type_vector = tv,
                              .view_access_fn = col_contact,
                              .edit_access_fn = col_contact,
                              .bview_access_fn = col_contact,
                              .default_filter_fn = motsl_filter_string};
}

const MOTSL_COLUMN_DEF_T passwd_columns[] = {
    {.keyword = "F",
     .struct_offset = OFF(full_name),
     .init_ref = "Joe Bloggs",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Full Name",
     .help_string = "Enter you Full name e.g. Joe Bloggs",
     .type_vector = 0x9023,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = col_profile,
     .bview_access_fn = col_profile,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "U",
     .struct_offset = OFF(user_name),
     .init_ref = "jbloggs",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "User Name",
     .help_string = "The user name must be unique. It is used for entering the system",
     .type_vector = 0x23,
     .view_access_fn = col_profile,
     .edit_access_fn = col_profile_super,
     .bview_access_fn = motsl_col_access_all,
     .cell_edit_check_fn = moap_passwd_check_user_name,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "P",
     .struct_offset = OFF(passwd),
     .init_ref = MOCR_DEFAULT_PASSWD,
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Passwd",
     .help_string = "The password must have at least 6 characters",
     .type_vector = 0x464,
     .view_access_fn = col_profile,
     .edit_access_fn = col_profile,
     .bview_access_fn = col_profile,
     .cell_list_fn = moap_passwd_list_passwd,
     .cell_view_fn = moap_passwd_list_passwd,
     .cell_edit_start_fn = moap_passwd_edit_start_passwd,
     .cell_edit_end_fn = moap_passwd_edit_end_passwd,
     .cell_bview_fn = moap_passwd_bview_passwd,
     .default_filter_fn = motsl_filter_general},
    {.keyword = "PM",
     .struct_offset = OFF(privilege),
     .init_ref = mok_int_ref(MOAP_PM_NORMAL),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "Permission",
     .display_ref = moap_passwd_permission_options,
     .type_vector = 0x22,
     .view_access_fn = col_profile_super,
     .edit_access_fn = col_profile_super,
     .bview_access_fn = col_profile,
     .default_filter_fn = motsl_filter_option},
    {.keyword = "NM",
     .struct_offset = OFF(mail_new),
     .init_ref = mok_int_ref(3),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "New Document",
     .display_ref = moap_passwd_new_doc_options,
     .type_vector = 0x426,
     .view_access_fn = col_profile,
     .edit_access_fn = col_profile,
     .bview_access_fn = col_profile,
     .default_filter_fn = motsl_filter_option},
    {.keyword = "CM",
     .struct_offset = OFF(mail_checkin),
     .init_ref = mok_int_ref(5),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "Document Checkin",
     .display_ref = moap_passwd_checkin_options,
     .type_vector = 0x26,
     .view_access_fn = col_profile,
     .edit_access_fn = col_profile,
     .bview_access_fn = col_profile,
     .default_filter_fn = motsl_filter_option},
    {.keyword = "LOG",
     .struct_offset = OFF(log_option),
     .init_ref = mok_int_ref(MOTSL_LOG_ALL),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "History Log",
     .display_ref = moap_passwd_log_options,
     .type_vector = 0x126,
     .view_access_fn = col_profile_super,
     .edit_access_fn = col_profile_super,
     .bview_access_fn = col_profile,
     .default_filter_fn = motsl_filter_option},
    {.keyword = "ADD",
     .struct_offset = OFF(email),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Email",
     .type_vector = 0x23,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_all,
     .bview_access_fn = motsl_col_access_all,
     .cell_list_fn = moap_passwd_list_email,
     .cell_view_fn = moap_passwd_list_email,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "GR",
     .struct_offset = OFF(groups),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_idlist,
     .user_name = "Groups",
     .help_string = "List of groups this user is in",
     .type_vector = 0x21,
     .view_access_fn = col_profile,
     .edit_access_fn = col_profile_super,
     .bview_access_fn = col_profile,
     .cell_edit_start_fn = moap_passwd_edit_start_groups,
     .default_filter_fn = motsl_filter_general},
    {.keyword = "SID",
     .struct_offset = OFF(sys_id),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "SID",
     .type_vector = 0x1,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_none,
     .default_filter_fn = motsl_filter_integer},
    contact_column("PHW", OFF(phone_work), "Work Phone", 0x23),
    contact_column("PHH", OFF(phone_home), "Home Phone", 0x23),
    contact_column("PHF", OFF(fax), "Fax", 0x23),
    contact_column("PHM", OFF(mobile), "Mobile/Cell", 0x23),
    contact_column("PHP", OFF(pager), "Pager", 0xa27),
    {.keyword = "AS",
     .struct_offset = OFF(address),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_multi_line,
     .user_name = "Address",
     .type_vector = 0x27,
     .view_access_fn = col_contact,
     .edit_access_fn = col_contact,
     .bview_access_fn = col_contact,
     .default_filter_fn = motsl_filter_general},
    contact_column("AC", OFF(city), "City", 0x27),
    contact_column("AST", OFF(state), "State", 0x27),
    contact_column("APC", OFF(postcode), "Postcode", 0x27),
    contact_column("ACO", OFF(country), "Country", 0x27),
};

#undef OFF

const MOTSL_FAMILY_DEF_T passwd_family = {
    .name = "passwd",
    .main_id = 1,
    .useropt_id = 3,
    .history_id = 4,
    .history_useropt_id = 5,
    .help = "Active Passwd Entries",
    .deleted_help = nullptr,
    .useropt_help = "Passwd user options",
    .history_help = "History of the passwd entries",
    .history_useropt_help = "Passwd history user options",
    .lock_element_string = "Passwd ID Number",
    .lock_file_string = "Passwd Data",
    .access_fn = motsl_access_super_super,
    .edit_row_fn = mot_row_access_none,
    .view_row_fn = ra_view_all,
    .del_view_access_fn = col_profile_deleted,
    .del_edit_check_fn = moap_passwd_check_del,
    .size_of_element = sizeof(MOAP_PASSWD_T),
    .columns = passwd_columns,
    .column_count = static_cast<int>(sizeof(passwd_columns) / sizeof(passwd_columns[0])),
    .init_filename = passwd_filename,
    .read_data = moap_passwd_read_data,
    .history_lock_element_string = "Passwd History ID Number",
    .history_lock_file_string = "Passwd History Data",
};

// One more view of the user file: shares the columns and the data of "passwd".
struct ViewDef {
    const char *name;
    int id;
    const char *help;
    mot_insert_title_fn_t title;
    mot_assign_access_fn_t access;
    mot_access_row_fn_t view_row;
    mot_access_row_fn_t edit_row;
    const char *deleted_name;
};

const ViewDef passwd_views[] = {
    {"passwd_profile", 10, "Active Passwd Entries", title_profile, access_profile, ra_view_super_or_own,
     ra_edit_super_or_own, "passwd_profile_deleted"},
    // Deleted profiles name people who left: administrators only.
    {"passwd_profile_deleted", 11, "Deleted Passwd Entries", title_profile_deleted, motsl_access_super_super,
     ra_view_delete, ra_edit_super, nullptr},
    {"passwd_contact", 12, "", title_contact, motsl_access_everyone, ra_view_contact, ra_edit_super_or_own,
     nullptr},
};

int register_view(MOT_TOP_SESSION_T *session, const ViewDef &v) noexcept {
    MOX_AUX_T *aux = session->aux;
    void *pool = aux->mem->session_pool_ref;
    MOT_TOP_STYPE_DEF_T def = motsl_stype_def_main;
    def.name = v.name;
    def.id = v.id;
    def.help = v.help;
    def.insert_title = v.title;
    def.assign_access_fn = v.access;
    def.read_data = motsl_stdlist_read_data_no_default;
    def.view_access_row_fn = v.view_row;
    def.edit_access_row_fn = v.edit_row;
    def.lock_element_string = passwd_family.lock_element_string;
    def.lock_file_string = passwd_family.lock_file_string;
    def.init_filename = passwd_filename;
    def.init_web = passwd_init_web;
    MOT_TOP_STYPE_T *stype = nullptr;
    mo_boolean_t is_new = FALSE;
    int ret = mot_top_register_stype_def(aux, &session->storage.stype_list, pool, &def, &stype);
    if (ret == 0)
        ret = motsl_stype_storage_init(session, stype, passwd_family.name, &is_new);
    if (ret == 0 && is_new) {
        aux->error->report(aux->error, "The passwd columns must be registered before %s\n", v.name);
        ret = 1;
    }
    if (ret == 0)
        ret = motsl_share_columns(stype);
    if (ret == 0)
        ret = motsl_type_storage_register(
            stype, pool, motsl_stdlist_get_new_id, motsl_stdlist_add_changes_to_history,
            motsl_stdlist_set_filename_for_history, nullptr, nullptr, nullptr, nullptr);
    if (ret == 0)
        ret = motsl_set_related_stypes(stype, "passwd_useropt", "passwd_history", nullptr, v.deleted_name);
    if (ret == 0)
        ret = named(stype, "passwd_profile_deleted") ? motsl_applic_register_deleted_web_cmds(stype)
                                                     : motsl_applic_register_web_cmds(stype);
    return ret;
}

// The option lists get lock texts of their own, so the lock list says whose options they are.
int name_locks(MOT_TOP_SESSION_T *session, const char *name, const char *element, const char *file) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, name, &stype);
    if (ret == 0) {
        stype->lock_element_string = element;
        stype->lock_file_string = file;
    }
    return ret;
}

} // namespace

int moap_passwd_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = motsl_register_family(session, &passwd_family);
    MOT_TOP_STYPE_T *main_stype = nullptr;
    if (ret == 0)
        ret = mot_top_find_stype(session->storage.stype_list, session->aux, "passwd", &main_stype);
    if (ret == 0)
        main_stype->init_web = passwd_init_web;
    for (const ViewDef &v : passwd_views)
        if (ret == 0)
            ret = register_view(session, v);
    if (ret == 0)
        ret = name_locks(session, "passwd_useropt", "Passwd User Option", "Passwd User Option Data");
    if (ret == 0)
        ret = name_locks(session, "passwd_history_useropt", "Passwd History User Option",
                         "Passwd History User Option Data");
    return ret;
}

int moap_passwd_setup(MOT_TOP_SESSION_T *session) noexcept {
    static const char *const needed[] = {"passwd", "passwd_profile", "passwd_profile_deleted",
                                         "passwd_contact", "groups"};
    for (const char *name : needed) {
        MOT_TOP_STYPE_T *stype = nullptr;
        int ret = mot_top_find_stype(session->storage.stype_list, session->aux, name, &stype);
        if (ret != 0)
            return ret;
    }
    return 0;
}
