// The tab record and its two pages, the per-request copy of its mail settings, and the access that its
// default lists give the top-level tabs and the company and support areas.
#include "apps/moap_tab.h"

#include "apps/moa_access_cmn.h"
#include "apps/moap_groups.h"
#include "daemon/molk_lock.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "storage/moil_idlist.h"
#include "web/motpg_page.h"
#include "web/mowpg_web_page.h"

#include <cstring>
#include <string>

namespace {

MOE_ERROR_T *err_of(MOX_AUX_T *aux) noexcept {
    return aux->error;
}

MOAP_TAB_T *tab_of(void *container) noexcept {
    return static_cast<MOAP_TAB_T *>(container);
}

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

// ---------------------------------------------------------------- columns

// A field is shown and edited only on the page of its group.
int col_general(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = stype->id == MOAP_TAB_GEN_ID ? TRUE : FALSE;
    return 0;
}

int col_access(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = stype->id == MOAP_TAB_ACCESS_ID ? TRUE : FALSE;
    return 0;
}

int value_text(MOTSL_STDLIST_KEYWORD_T *column, void *container, const char **text) noexcept {
    *text = "";
    int ret = column->common->get_string_fn(column->common, container, text);
    if (*text == nullptr)
        *text = "";
    return ret;
}

// A mail server is a host name or address alone: the mail services add their own ports.
int check_host(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
               void *new_container) noexcept {
    const char *text = "";
    int ret = value_text(column, new_container, &text);
    if (ret != 0)
        return ret;
    bool ok = text[0] != '\0' && text[0] != '.' && text[0] != '-' && strlen(text) <= 253;
    for (const char *p = text; ok && *p != '\0'; p++) {
        char c = *p;
        ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
             c == '-';
    }
    if (ok)
        return 0;
    err_of(stype->aux)
        ->report(err_of(stype->aux),
                 "The %s (%s) must be the name or address of a host alone, without a port, "
                 "blanks or line breaks.\n",
                 column->user_name, text);
    return 1;
}

// The help address goes into every footer's mailto link.
int check_mail_address(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                       void *new_container) noexcept {
    const char *text = "";
    int ret = value_text(column, new_container, &text);
    if (ret != 0)
        return ret;
    const char *at = strchr(text, '@');
    bool ok = at != nullptr && at != text && at[1] != '\0' && strchr(at + 1, '@') == nullptr;
    for (const char *p = text; ok && *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        ok = c > ' ' && c != 0x7f && strchr("\"'<>()[]\\,;:", c) == nullptr;
    }
    if (ok)
        return 0;
    err_of(stype->aux)
        ->report(err_of(stype->aux), "The %s (%s) is not a mail address such as %s.\n", column->user_name,
                 text, MOAP_TAB_HELP_DEFAULT);
    return 1;
}

// An access list names only users and groups that are there: a deleted one would come back with
// its old rights if it were ever undeleted.
int check_access_list(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                      void *new_container) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOA_ACCESS_T *access = aux->access;
    const auto *list =
        mok_field<MOIL_ACCESSLIST_T *>(new_container, column->common->gen_keyword.struct_offset);
    if (list == nullptr)
        return 0;
    if (access == nullptr) {
        err_of(aux)->report(err_of(aux), "No access service to check the %s\n", column->user_name);
        return 1;
    }
    for (const MOIL_IDLIST_T *n = list->user; n != nullptr; n = n->next) {
        mo_boolean_t deleted = FALSE;
        const char *name = nullptr;
        int ret = access->get_user_name(access, n->id, &deleted, &name);
        if (ret != 0)
            return ret;
        if (deleted || name == nullptr || strcmp(name, MOTC_NOT_DEFINED) == 0) {
            err_of(aux)->report(err_of(aux),
                                "The %s names the user %s, who has been deleted; take the name out or "
                                "undelete the user first.\n",
                                column->user_name, text_of(name));
            return 1;
        }
    }
    for (const MOIL_IDLIST_T *n = list->group; n != nullptr; n = n->next) {
        mo_boolean_t deleted = FALSE;
        const char *name = nullptr;
        int ret = access->get_group_name(access, n->id, &deleted, &name);
        if (ret != 0)
            return ret;
        if (deleted) {
            err_of(aux)->report(err_of(aux),
                                "The %s names the group %s, which has been deleted; take the name out or "
                                "undelete the group first.\n",
                                column->user_name, text_of(name));
            return 1;
        }
    }
    return 0;
}

// The separator rows: a heading between the groups of access lists, with no data of their own.
int separator_view(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                   MOK_DATA_RECORD_T *) noexcept {
    int ret = out_def->line_fn(out_def, "<TD COLSPAN=2 ALIGN=LEFT CLASS=GenHeader><B>");
    if (ret == 0)
        ret = motsl_out_protected(out_def, column->user_name);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</B></TD>\n");
    return ret;
}

int separator_edit(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                   MOK_DATA_RECORD_T *) noexcept {
    int ret = mowsl_edit_start_cells(stype, out_def, column, TRUE, MOWSL_EDIT_CELLS);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD COLSPAN=%d ALIGN=LEFT CLASS=GenHeader><B>", MOWSL_EDIT_CELLS);
    if (ret == 0)
        ret = motsl_out_protected(out_def, column->user_name);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</B></TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, MOWSL_EDIT_CELLS);
    return ret;
}

int bedit_none(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *, MOTSL_STDLIST_KEYWORD_T *, MOK_DATA_RECORD_T *) noexcept {
    return 0;
}

const MOTSL_DISPLAY_OPTIONS_T mail_format_options[] = {
    {MOAP_TAB_MAIL_HTML, "HTML Only", 0, nullptr},
    {MOAP_TAB_MAIL_TEXT_AND_HTML, "Text and HTML Combined", 0, nullptr},
    {-1, nullptr, 0, nullptr},
};

#define OFF(field) offsetof(MOAP_TAB_T, field)

constexpr MOTSL_COLUMN_DEF_T text_column(const char *keyword, size_t offset, const char *init,
                                         const char *heading, const char *help,
                                         motsl_cell_edit_check_fn_t check) {
    return {.keyword = keyword,
            .struct_offset = offset,
            .init_ref = init,
            .common_alloc_fn = motc_common_alloc_string,
            .user_name = heading,
            .help_string = help,
            .view_access_fn = col_general,
            .edit_access_fn = col_general,
            .bview_access_fn = motsl_col_access_none,
            .cell_edit_start_fn = mowsl_edit_start_string_full,
            .cell_edit_check_fn = check,
            .default_filter_fn = motsl_filter_string};
}

constexpr MOTSL_COLUMN_DEF_T passwd_column(const char *keyword, size_t offset, const char *heading,
                                           const char *help) {
    return {.keyword = keyword,
            .struct_offset = offset,
            .init_ref = "",
            .common_alloc_fn = motc_common_alloc_string,
            .user_name = heading,
            .help_string = help,
            .type_vector = MOTSL_TV_HISTORY_BRIEF,
            .view_access_fn = col_general,
            .edit_access_fn = col_general,
            .bview_access_fn = motsl_col_access_none,
            .cell_list_fn = mowsl_list_passwd_string,
            .cell_view_fn = mowsl_view_passwd_string,
            .cell_edit_start_fn = mowsl_edit_start_string_passwd,
            .default_filter_fn = motsl_filter_string};
}

constexpr MOTSL_COLUMN_DEF_T list_column(const char *keyword, size_t offset, const char *heading) {
    return {.keyword = keyword,
            .struct_offset = offset,
            .init_ref = nullptr,
            .common_alloc_fn = motsl_common_alloc_accesslist,
            .user_name = heading,
            .help_string = "",
            .view_access_fn = col_access,
            .edit_access_fn = col_access,
            .bview_access_fn = motsl_col_access_none,
            .cell_edit_start_fn = mowsl_edit_start_accesslist_no_parent,
            .cell_edit_check_fn = check_access_list,
            .view_text_fn = mowsl_view_text_super_access_no_parent,
            .default_filter_fn = motsl_filter_general};
}

constexpr MOTSL_COLUMN_DEF_T separator_column(const char *keyword, const char *heading) {
    return {.keyword = keyword,
            .struct_offset = 0,
            .init_ref = nullptr,
            .common_alloc_fn = motc_common_alloc_null,
            .user_name = heading,
            .help_string = "",
            .type_vector = MOTSL_TV_ROW_OWN,
            .view_access_fn = col_access,
            .edit_access_fn = col_access,
            .bview_access_fn = motsl_col_access_none,
            .cell_view_fn = separator_view,
            .cell_edit_start_fn = separator_edit,
            .cell_edit_end_fn = mowsl_edit_end_null,
            .cell_edit_check_fn = mowsl_edit_check_null,
            .cell_bedit_start_fn = bedit_none,
            .default_filter_fn = motsl_filter_general};
}

const MOTSL_COLUMN_DEF_T tab_columns[] = {
    text_column("HP", OFF(help_address), MOAP_TAB_HELP_DEFAULT, "Help Email", "This appears at the footer",
                check_mail_address),
    text_column("MS", OFF(smtp_server), "localhost", "Outgoing mail (SMTP) Server",
                "The mail server for sending email", check_host),
    text_column("MSU", OFF(smtp_username), "", "SMTP User Name (optional)",
                "Optional user name for SMTP authorization", nullptr),
    passwd_column("MSP", OFF(smtp_passwd), "SMTP Password (optional)",
                  "Optional password for SMTP authorization"),
    text_column("PU", OFF(pop_username), "quennet", "POP account name", "The Mail Groups POP account name",
                nullptr),
    passwd_column("PP", OFF(pop_passwd), "POP password", "The Mail Groups POP password"),
    text_column("PS", OFF(pop_server), "localhost", "POP Server", "The Mail Groups POP server", check_host),
    {.keyword = "MF",
     .struct_offset = OFF(mail_format_option),
     .init_ref = mok_int_ref(MOAP_TAB_MAIL_HTML),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "Mail Format",
     .help_string = "",
     .display_ref = mail_format_options,
     .view_access_fn = col_general,
     .edit_access_fn = col_general,
     .bview_access_fn = motsl_col_access_none,
     .default_filter_fn = motsl_filter_option},
    separator_column("DSEP", "Docs"),
    list_column("DVA", OFF(docs_view_access), "Docs Default View List"),
    list_column("DEA", OFF(docs_edit_access), "Docs Default Edit List"),
    list_column("DLA", OFF(docs_lib_access), "Docs Default Librarian List"),
    separator_column("TSEP", "Tables"),
    list_column("TVA", OFF(table_view_access), "Tables Default View List"),
    list_column("TEA", OFF(table_edit_access), "Tables Default Edit List"),
    list_column("TLA", OFF(table_lib_access), "Tables Default Librarian List"),
    separator_column("MSEP", "Mail Groups"),
    list_column("MVA", OFF(mgroups_view_access), "Mail Groups Default View List"),
    list_column("MEA", OFF(mgroups_edit_access), "Mail Groups Default Edit List"),
    list_column("MLA", OFF(mgroups_lib_access), "Mail Groups Default Librarian List"),
    separator_column("CSEP", "Company Info"),
    list_column("CVA", OFF(company_access), "Company Info Access List"),
    separator_column("SSEP", "Support"),
    list_column("SVA", OFF(support_access), "Support Access List"),
};

// The lists a new record opens to everyone: the system group "all".
const size_t everyone_lists[] = {OFF(docs_view_access),  OFF(docs_edit_access),    OFF(table_view_access),
                                 OFF(table_edit_access), OFF(mgroups_view_access), OFF(mgroups_edit_access),
                                 OFF(company_access)};

const char *const access_keywords[] = {"DVA", "DEA", "DLA", "TVA", "TEA", "TLA",
                                       "MVA", "MEA", "MLA", "CVA", "SVA"};

#undef OFF

// ---------------------------------------------------------------- stypes

int tab_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/tab/0", stype->aux->setup->lib_dir);
}

int tab_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type, const char *name) noexcept {
    int ret = 0;
    bool edit = display_type == MOWSL_DTYPE_EDIT;
    if (edit)
        ret = mow_web_insert_graphic(stype->aux, out_def, MOAP_TAB_ICON);
    if (ret == 0)
        ret =
            out_def->line_fn(out_def, " <B><FONT color=white>%s%s</FONT></B>", edit ? "Edit of " : "", name);
    return ret;
}

int tab_gen_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int display_type, void *) noexcept {
    return tab_title(stype, out_def, display_type, "General Setup");
}

int tab_access_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int display_type,
                     void *) noexcept {
    return tab_title(stype, out_def, display_type, "Default Access List");
}

// Binds the access lists to the users and groups before a page shows or parses them.
int tab_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept {
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    MOT_TOP_STYPE_T *users = nullptr, *groups = nullptr;
    int ret = mot_top_find_stype(*stype->stype_list_ptr, stype->aux, "passwd", &users);
    if (ret == 0)
        ret = mot_top_find_stype(*stype->stype_list_ptr, stype->aux, "groups", &groups);
    if (ret == 0)
        ret = motsl_set_position(users, 0, 0, 0);
    if (ret == 0)
        ret = motsl_set_position(groups, 0, 0, 0);
    for (const char *keyword : access_keywords)
        if (ret == 0)
            ret = motsl_init_access_array_info_and_store(stype, req, keyword, nullptr, nullptr, users, "U",
                                                         "DEL", groups, "N", "DEL");
    if (ret == 0)
        ret = motpg_applic_init_web(req, stype_ptr);
    return ret;
}

// "ID", "NEW" and "DEL" stay hidden: the record is never made or deleted through its pages.
int register_columns(MOT_TOP_STYPE_T *stype) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOT_TOP_STORAGE_T *cell = stype->keyword_storage;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = mome_new(aux->mem, cell->sub_pool_ref, &ks);
    if (ret != 0)
        return ret;
    cell->struct_ref = ks;
    ret = motsl_id_keyword_register(stype, offsetof(MOAP_TAB_T, id));
    if (ret == 0)
        ret = motsl_new_keyword_register(stype, offsetof(MOAP_TAB_T, new_));
    const MOTSL_COLUMN_DEF_T del = {.keyword = "DEL",
                                    .struct_offset = offsetof(MOAP_TAB_T, delete_status),
                                    .init_ref = mok_int_ref(0),
                                    .common_alloc_fn = motsl_stdlist_common_alloc_option,
                                    .user_name = "Status",
                                    .help_string = "",
                                    .display_ref = motsl_delete_status_options,
                                    .view_access_fn = motsl_col_access_none,
                                    .edit_access_fn = motsl_col_access_none,
                                    .bview_access_fn = motsl_col_access_none,
                                    .default_filter_fn = motsl_filter_option};
    if (ret == 0)
        ret = motsl_column_register(stype, &del, nullptr);
    for (const MOTSL_COLUMN_DEF_T &c : tab_columns)
        if (ret == 0)
            ret = motsl_column_register(stype, &c, nullptr);
    if (ret == 0)
        ret = motsl_finish_columns(stype, sizeof(MOAP_TAB_T));
    if (ret != 0)
        cell->struct_ref = nullptr;
    return ret;
}

int register_page(MOT_TOP_SESSION_T *session, const char *name, int id, const char *help,
                  mot_insert_title_fn_t title, MOT_TOP_STYPE_T **stype) noexcept {
    MOX_AUX_T *aux = session->aux;
    void *pool = aux->mem->session_pool_ref;
    MOT_TOP_STYPE_DEF_T def = motpg_stype_def_page;
    def.name = name;
    def.id = id;
    def.help = help;
    def.insert_title = title;
    def.assign_access_fn = motsl_access_super_super;
    def.read_data = moap_tab_read_data;
    def.lock_element_string = "TAB Prefs ID";
    def.lock_file_string = "TAB Prefs Data";
    def.init_filename = tab_filename;
    def.init_web = tab_init_web;
    int ret = mot_top_register_stype_def(aux, &session->storage.stype_list, pool, &def, stype);
    mo_boolean_t is_new = FALSE;
    if (ret == 0)
        ret = motsl_stype_storage_init(session, *stype, "tab", &is_new);
    if (ret == 0)
        ret = is_new ? register_columns(*stype) : motsl_share_columns(*stype);
    if (ret == 0)
        ret = motsl_type_storage_register(
            *stype, pool, motsl_stdlist_get_new_id, motsl_stdlist_add_changes_to_history,
            motsl_stdlist_set_filename_for_history, nullptr, nullptr, nullptr, nullptr);
    if (ret == 0)
        ret = motsl_set_related_stypes(*stype, "tab_useropt", nullptr, nullptr, nullptr);
    if (ret == 0)
        ret = mowpg_applic_register_web_cmds(*stype, pool);
    return ret;
}

// The tab page of this request, ready to be read.
int tab_stype(MOX_AUX_T *aux, MOT_TOP_STYPE_T **stype) noexcept {
    *stype = aux->tab_stype;
    if (*stype == nullptr) {
        err_of(aux)->report(err_of(aux), "The general setup pages are not registered\n");
        return 1;
    }
    int ret = 0;
    if ((*stype)->filename == nullptr || (*stype)->filename[0] == '\0')
        ret = (*stype)->init_filename(*stype);
    if (ret == 0)
        ret = motsl_set_position(*stype, 0, 0, 0);
    return ret;
}

void forget_changes(MOT_TOP_STYPE_T *stype) noexcept {
    MOT_TOP_STORAGE_T *cell = stype->data_storage;
    if (cell != nullptr) {
        cell->mod_time = 0;
        if (auto *data = static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref))
            data->unwritten = TRUE;
    }
    stype->data_loaded = FALSE;
}

// The new record: defaults, then "everyone" in the lists that open to all.
int make_record(MOT_TOP_STYPE_T *stype) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int all = MOA_NO_ID;
    mo_boolean_t deleted = FALSE;
    int ret =
        aux->access != nullptr ? moap_group_find_sys_id(aux->access, MOAP_GROUPS_SYS_ALL, &deleted, &all) : 1;
    if (ret == 0 && all == MOA_NO_ID) {
        err_of(aux)->report(err_of(aux),
                            "The system group all is missing: the default access lists can't be made\n");
        ret = 1;
    }
    if (ret != 0)
        return ret;
    // Made here rather than through the list's own append, which would read (and so make) it again.
    MOK_DATA_RECORD_T *record = nullptr, *first = nullptr;
    ret = stype->new_data(stype, &record);
    if (ret == 0) {
        static_cast<MOAP_TAB_T *>(record->container)->id = 1;
        ret = stype->add_data(stype, record, &first);
    }
    if (ret != 0)
        return ret;
    // No list of the tab inherits: there is nothing above a top-level tab.
    void *pool = stype->data_storage->sub_pool_ref;
    for (const MOTSL_COLUMN_DEF_T &c : tab_columns) {
        if (c.common_alloc_fn != motsl_common_alloc_accesslist)
            continue;
        MOIL_ACCESSLIST_T *&slot = mok_field<MOIL_ACCESSLIST_T *>(record->container, c.struct_offset);
        if (slot == nullptr)
            ret = moil_new_accesslist(aux->interm, pool, &slot);
        if (ret != 0)
            return ret;
        slot->use_parent = FALSE;
    }
    for (size_t offset : everyone_lists) {
        MOIL_ACCESSLIST_T *slot = mok_field<MOIL_ACCESSLIST_T *>(record->container, offset);
        ret = moil_add_to_idlist(aux->interm, pool, all, &slot->group);
        if (ret != 0)
            return ret;
    }
    return 0;
}

// ---------------------------------------------------------------- access

enum class Area { docs, table, mgroups };

int area_lists(MOAP_TAB_T *tab, Area area, MOIL_ACCESSLIST_T **view, MOIL_ACCESSLIST_T **edit,
               MOIL_ACCESSLIST_T **lib) noexcept {
    switch (area) {
        case Area::docs:
            *view = tab->docs_view_access, *edit = tab->docs_edit_access, *lib = tab->docs_lib_access;
            break;
        case Area::table:
            *view = tab->table_view_access, *edit = tab->table_edit_access, *lib = tab->table_lib_access;
            break;
        case Area::mgroups:
            *view = tab->mgroups_view_access, *edit = tab->mgroups_edit_access,
            *lib = tab->mgroups_lib_access;
            break;
    }
    return 0;
}

int privilege_of(MOX_AUX_T *aux, int user_id, int *privilege) noexcept {
    *privilege = 0;
    MOTSL_ACCESS_HOOKS_T *hooks = aux->list_hooks != nullptr ? aux->list_hooks->access : nullptr;
    if (hooks == nullptr || hooks->get_privilege == nullptr) {
        err_of(aux)->report(err_of(aux), "No access service to check the tabs' access\n");
        return 1;
    }
    return hooks->get_privilege(hooks, user_id, privilege);
}

// Is the user named by the list (by name or through a live group) and privileged enough for it.
int in_list(MOX_AUX_T *aux, int user_id, int privilege, int floor, const MOIL_ACCESSLIST_T *list,
            mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (privilege < floor)
        return 0;
    return motsl_check_access_list(aux, user_id, list, ok);
}

int tab_check(MOX_AUX_T *aux, Area area, int kind, int list_id, int user_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (user_id < 0)
        return 0;
    MOTSL_ACCESS_CACHE_T *cache = aux->list_hooks != nullptr ? aux->list_hooks->cache : nullptr;
    if (cache != nullptr) {
        mo_boolean_t found = FALSE, cached = FALSE;
        int ret = cache->get(cache, list_id, user_id, kind, &found, &cached);
        if (ret != 0)
            return ret;
        if (found) {
            *ok = cached;
            return 0;
        }
    }
    MOAP_TAB_T *tab = nullptr;
    int privilege = 0;
    int ret = moap_tab_get_record(aux, &tab);
    if (ret == 0)
        ret = privilege_of(aux, user_id, &privilege);
    if (ret != 0)
        return ret;
    MOIL_ACCESSLIST_T *view = nullptr, *edit = nullptr, *lib = nullptr;
    area_lists(tab, area, &view, &edit, &lib);
    if (privilege >= MOTSL_PRIV_ADMIN) {
        *ok = TRUE;
    } else {
        // A librarian may edit and view, an editor may view.
        const MOIL_ACCESSLIST_T *order[3] = {nullptr, nullptr, nullptr};
        int floor = MOTSL_PRIV_NORMAL;
        if (kind == MOTSL_ACCESS_VIEW) {
            order[0] = view, order[1] = edit, order[2] = lib;
            floor = MOTSL_PRIV_VIEW_ONLY;
        } else if (kind == MOTSL_ACCESS_EDIT) {
            order[0] = edit, order[1] = lib;
        } else {
            order[0] = lib;
        }
        for (int i = 0; ret == 0 && !*ok && i < 3; i++)
            if (order[i] != nullptr)
                ret = in_list(aux, user_id, privilege, floor, order[i], ok);
    }
    if (ret == 0 && cache != nullptr)
        ret = cache->put(cache, list_id, user_id, kind, *ok);
    return ret;
}

int get_list(MOX_AUX_T *aux, Area area, int kind, MOIL_ACCESSLIST_T **result) noexcept {
    *result = nullptr;
    MOAP_TAB_T *tab = nullptr;
    int ret = moap_tab_get_record(aux, &tab);
    if (ret != 0)
        return ret;
    MOIL_ACCESSLIST_T *view = nullptr, *edit = nullptr, *lib = nullptr;
    area_lists(tab, area, &view, &edit, &lib);
    *result = kind == MOTSL_ACCESS_VIEW ? view : kind == MOTSL_ACCESS_EDIT ? edit : lib;
    return 0;
}

int check_id_any(MOX_AUX_T *, MOTSL_ACCESS_DEF_T *, MOTSL_TYPE_STORAGE_T *, int, mo_boolean_t *ok) noexcept {
    *ok = TRUE;
    return 0;
}

int install_access(MOT_TOP_STYPE_T *stype, void *pool_ref, motsl_access_gen_fn_t view_fn,
                   motsl_get_idlist_fn_t view_list, motsl_access_gen_fn_t edit_fn,
                   motsl_get_idlist_fn_t edit_list, motsl_access_gen_fn_t lib_fn,
                   motsl_get_idlist_fn_t lib_list) noexcept {
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = mome_new(stype->aux->mem, pool_ref, &def);
    if (ret != 0)
        return ret;
    def->check_id = check_id_any;
    def->lib_list = {.gen_fn = lib_fn,
                     .cmd_fn = motsl_cmd_access_lib,
                     .get_idlist_fn = lib_list,
                     .view_text_fn = mowsl_view_text_super_access,
                     .cell_edit_start_fn = mowsl_edit_start_accesslist};
    def->edit_list = {.gen_fn = edit_fn,
                      .cmd_fn = motsl_cmd_access_edit,
                      .get_idlist_fn = edit_list,
                      .view_text_fn = mowsl_view_text_super_access,
                      .cell_edit_start_fn = mowsl_edit_start_accesslist};
    def->view_list = {.gen_fn = view_fn,
                      .cmd_fn = motsl_cmd_access_view,
                      .get_idlist_fn = view_list,
                      .view_text_fn = mowsl_view_text_super_access,
                      .cell_edit_start_fn = mowsl_edit_start_accesslist};
    ret = motsl_access_default_definitions(def);
    if (ret == 0)
        stype->access_ref = def;
    return ret;
}

int area_access(MOX_AUX_T *aux, int user_id, size_t offset, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (user_id < 0)
        return 0;
    MOAP_TAB_T *tab = nullptr;
    int privilege = 0;
    int ret = moap_tab_get_record(aux, &tab);
    if (ret == 0)
        ret = privilege_of(aux, user_id, &privilege);
    if (ret != 0)
        return ret;
    if (privilege >= MOTSL_PRIV_ADMIN) {
        *ok = TRUE;
        return 0;
    }
    return in_list(aux, user_id, privilege, MOTSL_PRIV_VIEW_ONLY, mok_field<MOIL_ACCESSLIST_T *>(tab, offset),
                   ok);
}

} // namespace

// ---------------------------------------------------------------- registration and reading

int moap_tab_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOT_TOP_STYPE_T *gen = nullptr, *access = nullptr, *useropt = nullptr;
    int ret = register_page(session, "tab_gen", MOAP_TAB_GEN_ID, "General Setup", tab_gen_title, &gen);
    if (ret == 0)
        ret = register_page(session, "tab_access", MOAP_TAB_ACCESS_ID, "Default Access List",
                            tab_access_title, &access);
    if (ret != 0)
        return ret;
    MOT_TOP_STYPE_DEF_T def = motsl_stype_def_useropt;
    def.name = "tab_useropt";
    def.id = MOAP_TAB_USEROPT_ID;
    def.help = "Tab user options";
    def.lock_element_string = "Tab User Option";
    def.lock_file_string = "Tab User Option Data";
    ret = mot_top_register_stype_def(aux, &session->storage.stype_list, aux->mem->session_pool_ref, &def,
                                     &useropt);
    mo_boolean_t is_new = FALSE;
    if (ret == 0)
        ret = motsl_stype_storage_init(session, useropt, "tab_useropt", &is_new);
    if (ret == 0)
        ret = motsl_useropt_register_stype(useropt, gen);
    if (ret == 0)
        aux->tab_stype = gen;
    return ret;
}

int moap_tab_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    int ret = motsl_stdlist_read_data_basic(stype, TRUE, TRUE, first);
    if (ret != 0 || *first != nullptr)
        return ret;
    // The first read of an installation makes the record; another process may be making it too, so
    // the file is read again under the write lock before anything is added.
    ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    bool changed = false;
    ret = motsl_stdlist_read_data_basic(stype, TRUE, TRUE, first);
    if (ret == 0 && *first == nullptr) {
        changed = true;
        ret = make_record(stype);
        if (ret == 0)
            ret = stype->write_data(stype);
    }
    if (ret != 0 && changed)
        forget_changes(stype);
    int release = stype->lock_file(stype, MOLK_FILE_WRITE_RELEASE, nullptr);
    if (ret == 0)
        ret = release;
    if (ret == 0 && changed)
        ret = motsl_stdlist_read_data_basic(stype, TRUE, TRUE, first);
    if (ret == 0 && *first == nullptr) {
        err_of(stype->aux)
            ->report(err_of(stype->aux), "The general setup file %s holds no record\n", stype->filename);
        ret = 1;
    }
    return ret;
}

int moap_tab_get_record(MOX_AUX_T *aux, MOAP_TAB_T **tab) noexcept {
    *tab = nullptr;
    MOT_TOP_STYPE_T *stype = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = tab_stype(aux, &stype);
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0)
        *tab = tab_of(first->container);
    return ret;
}

int moap_tab_init_element(MOX_AUX_T *aux) noexcept {
    MOAP_TAB_T *tab = nullptr;
    int ret = moap_tab_get_record(aux, &tab);
    if (ret != 0)
        return ret;
    MOST_SETUP_T *setup = aux->setup;
    snprintf(setup->server_help_email, sizeof(setup->server_help_email), "%s", text_of(tab->help_address));
    snprintf(setup->smtp_server, sizeof(setup->smtp_server), "%s", text_of(tab->smtp_server));
    snprintf(setup->smtp_account, sizeof(setup->smtp_account), "%s", text_of(tab->smtp_username));
    snprintf(setup->smtp_passwd, sizeof(setup->smtp_passwd), "%s", text_of(tab->smtp_passwd));
    snprintf(setup->pop_server, sizeof(setup->pop_server), "%s", text_of(tab->pop_server));
    snprintf(setup->pop_account, sizeof(setup->pop_account), "%s", text_of(tab->pop_username));
    snprintf(setup->pop_passwd, sizeof(setup->pop_passwd), "%s", text_of(tab->pop_passwd));
    setup->mail_format_option = tab->mail_format_option;
    return 0;
}

int moap_tab_get_mod(MOX_AUX_T *aux, int *mark) noexcept {
    *mark = 0;
    MOAP_TAB_T *tab = nullptr;
    int ret = moap_tab_get_record(aux, &tab);
    if (ret != 0)
        return ret;
    MOT_TOP_STORAGE_T *cell = aux->tab_stype->data_storage;
    auto *data = static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref);
    uint32_t h = static_cast<uint32_t>(cell->mod_time);
    h = h * 1000003u ^ static_cast<uint32_t>(data->file_size);
    h = h * 1000003u ^ static_cast<uint32_t>(data->file_mtime);
    *mark = static_cast<int>(h & 0x7fffffffu);
    return 0;
}

// ---------------------------------------------------------------- access functions

#define MOAP_TAB_DEFINE_AREA(area_name, area)                                                                \
    int moap_tab_check_##area_name##_view(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *, int, int list_id,            \
                                          int user_id, mo_boolean_t *ok) noexcept {                          \
        return tab_check(aux, area, MOTSL_ACCESS_VIEW, list_id, user_id, ok);                                \
    }                                                                                                        \
    int moap_tab_check_##area_name##_edit(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *, int, int list_id,            \
                                          int user_id, mo_boolean_t *ok) noexcept {                          \
        return tab_check(aux, area, MOTSL_ACCESS_EDIT, list_id, user_id, ok);                                \
    }                                                                                                        \
    int moap_tab_check_##area_name##_lib(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *, int, int list_id,             \
                                         int user_id, mo_boolean_t *ok) noexcept {                           \
        return tab_check(aux, area, MOTSL_ACCESS_LIB, list_id, user_id, ok);                                 \
    }                                                                                                        \
    int moap_tab_get_list_##area_name##_view(MOX_AUX_T *aux, int, int,                                       \
                                             MOIL_ACCESSLIST_T **result) noexcept {                          \
        return get_list(aux, area, MOTSL_ACCESS_VIEW, result);                                               \
    }                                                                                                        \
    int moap_tab_get_list_##area_name##_edit(MOX_AUX_T *aux, int, int,                                       \
                                             MOIL_ACCESSLIST_T **result) noexcept {                          \
        return get_list(aux, area, MOTSL_ACCESS_EDIT, result);                                               \
    }                                                                                                        \
    int moap_tab_get_list_##area_name##_lib(MOX_AUX_T *aux, int, int, MOIL_ACCESSLIST_T **result) noexcept { \
        return get_list(aux, area, MOTSL_ACCESS_LIB, result);                                                \
    }                                                                                                        \
    int moap_tab_access_##area_name(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {                       \
        return install_access(stype, pool_ref, moap_tab_check_##area_name##_view,                            \
                              moap_tab_get_list_##area_name##_view, moap_tab_check_##area_name##_edit,       \
                              moap_tab_get_list_##area_name##_edit, moap_tab_check_##area_name##_lib,        \
                              moap_tab_get_list_##area_name##_lib);                                          \
    }

MOAP_TAB_DEFINE_AREA(docs, Area::docs)
MOAP_TAB_DEFINE_AREA(table, Area::table)
MOAP_TAB_DEFINE_AREA(mgroups, Area::mgroups)
#undef MOAP_TAB_DEFINE_AREA

int moap_tab_access_company(MOX_AUX_T *aux, int user_id, mo_boolean_t *ok) noexcept {
    return area_access(aux, user_id, offsetof(MOAP_TAB_T, company_access), ok);
}

int moap_tab_access_support(MOX_AUX_T *aux, int user_id, mo_boolean_t *ok) noexcept {
    return area_access(aux, user_id, offsetof(MOAP_TAB_T, support_access), ok);
}

// ---------------------------------------------------------------- the tab button

int moap_tab_view_tab(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *text) noexcept {
    MOX_AUX_T *aux = stype->aux;
    mo_boolean_t may_edit = FALSE;
    mo_string_t link = "";
    int ret = motsl_cmd_access_edit(stype, nullptr, nullptr, &may_edit, nullptr);
    if (ret == 0 && may_edit)
        ret = mowpg_edit_start_call(stype, link);
    if (ret != 0)
        return ret;
    ret = out_def->line_fn(out_def,
                           "<TD ALIGN=LEFT><TABLE CELLPADDING=0 CELLSPACING=0 BORDER=0 SUMMARY=\"\"><TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD><IMG %s WIDTH=13 HEIGHT=24 BORDER=0 ALT=\"\"></TD>\n",
                               mow_web_get_image_location(aux, "/backgrounds/slice_L.gif"));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD BACKGROUND=\"");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, aux->setup->httpd_image_loc);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "/backgrounds/slice.gif\" BGCOLOR=\"%s\" CLASS=NavTabSel NOWRAP>",
                               MOWSL_TITLE_COLOR);
    if (ret == 0 && may_edit) {
        ret = out_def->line_fn(out_def, "<A HREF=\"");
        if (ret == 0)
            ret = mow_insert_protected_string_form(aux, out_def, link);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "\">");
    }
    if (ret == 0)
        ret = motsl_out_protected(out_def, text_of(text));
    if (ret == 0 && may_edit)
        ret = out_def->line_fn(out_def, "</A>");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n<TD><IMG %s WIDTH=13 HEIGHT=24 BORDER=0 ALT=\"\"></TD>\n",
                               mow_web_get_image_location(aux, "/backgrounds/slice_R.gif"));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR></TABLE></TD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT>&nbsp;</TD>\n");
    return ret;
}
