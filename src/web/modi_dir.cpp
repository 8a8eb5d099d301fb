// The directory types (tabs): their registry, the links between frames, the tab rows, the buttons of
// the left columns, the last place visited per tab, and the nine tabs of the system with their links,
// visibility tests and left columns.
//
// Every link is built from parts that are URL-escaped one by one (escape_url leaves no quote, "<",
// ">" or "&" inside a part), so a link may stand in HREF="..." as it is; texts of the data and the
// setup are HTML-escaped where they are written.
#include "web/modi_dir.h"

#include "apps/moa_access_cmn.h"
#include "apps/moap_litem.h"
#include "apps/moap_passwd.h"
#include "apps/moap_tab.h"
#include "apps/moap_user.h"
#include "apps/moit_item_cmn.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "storage/mola_last.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

MOE_ERROR_T *err(MOX_AUX_T *aux) noexcept {
    return aux->error;
}

int out_of_memory(MOX_AUX_T *aux) noexcept {
    err(aux)->report(err(aux), "Out of memory\n");
    return 1;
}

// A copy of the escaped text: escape_url answers in one buffer that the next call overwrites.
std::string url(const char *text) {
    return mow_web_util_escape_url(text_of(text));
}

std::string html(const char *text) {
    std::string out;
    for (const char *p = text_of(text); *p != '\0'; p++) {
        switch (*p) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += *p;
        }
    }
    return out;
}

// Copies a built link into the caller's buffer; a link that does not fit is refused, never cut, since
// a cut link would lead somewhere else.
int put_link(MOX_AUX_T *aux, const std::string &text, char *link) noexcept {
    if (text.size() >= MO_STRING_LEN) {
        link[0] = '\0';
        err(aux)->report(err(aux), "The link %.60s... is longer than %d characters\n", text.c_str(),
                         MO_STRING_LEN - 1);
        return 1;
    }
    memcpy(link, text.c_str(), text.size() + 1);
    return 0;
}

int current_user(MOX_AUX_T *aux) noexcept {
    return aux->access != nullptr ? aux->access->current_user_id : -1;
}

const char *script_loc(MOX_AUX_T *aux) noexcept {
    return aux->setup->httpd_script_main_loc;
}

const char *request_dir_type(MOX_AUX_T *aux) noexcept {
    return aux->web != nullptr ? text_of(aux->web->dir_type) : "";
}

bool word_ok(const char *begin, const char *end) noexcept {
    if (begin == end)
        return false;
    for (const char *p = begin; p < end; p++)
        if (!isalnum(static_cast<unsigned char>(*p)) && *p != '_' && *p != '-')
            return false;
    return true;
}

// ---------------------------------------------------------------- the folder tree's answers

// System ids of the built-in folders the tabs open.
constexpr int SYS_PROFILE = 2;
constexpr int SYS_GROUPS = 3;
constexpr int SYS_FILE_TYPES = 4;
constexpr int SYS_DOCS = 7;
constexpr int SYS_TABLE_TYPES = 10;
constexpr int SYS_FOLDER_TYPES = 12;
constexpr int SYS_TABLES = 13;
constexpr int SYS_NUMBER_SCHEMES = 16;
constexpr int SYS_CONTACT = 17;
constexpr int SYS_MGROUPS = 18;

// The built-in folders are items of the folder tree (index 0) with system id kind 1.
int tree_find_sys_id(MOX_AUX_T *aux, int sys_id, int *item_id) noexcept {
    *item_id = -1;
    if (aux->item == nullptr) {
        err(aux)->report(err(aux), "The folder tree is not available\n");
        return 1;
    }
    return moap_litem_find_sys_id(aux->item, MOAP_LITEM_INDEX, MOAP_LITEM_SYS_KIND, sys_id, item_id);
}

int tree_default_stype_in(MOX_AUX_T *aux, int index_id, int item_id, const char **stype) noexcept {
    *stype = nullptr;
    return moap_litem_get_default_stype(aux->item, index_id, item_id, stype);
}

int tree_default_stype(MOX_AUX_T *aux, int item_id, const char **stype) noexcept {
    return tree_default_stype_in(aux, MOAP_LITEM_INDEX, item_id, stype);
}

int tree_list_cmd(MOX_AUX_T *aux, int item_id, const char **cmd) noexcept {
    *cmd = nullptr;
    return moap_litem_get_list_cmd(aux->item, MOAP_LITEM_INDEX, item_id, cmd);
}

int tree_viewable(MOX_AUX_T *aux, int item_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    return moap_litem_check_view(aux, MOAP_LITEM_INDEX, item_id, ok);
}

int tree_default_call(MOX_AUX_T *aux, const char *frame, const char *trail, int item_id,
                      char *link) noexcept {
    link[0] = '\0';
    return moap_litem_get_default_call_of_id(aux, frame, trail, MOAP_LITEM_INDEX, item_id, nullptr, link);
}

int tree_graphic(MOX_AUX_T *aux, int item_id, const char **graphic) noexcept {
    *graphic = nullptr;
    return moap_litem_get_graphic(aux->item, MOAP_LITEM_INDEX, item_id, graphic);
}

// The tree below a built-in folder in a titled box, read through the folder tree's own list.
int tree_insert_dir(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, int sys_id,
                    const char *title) noexcept {
    int item_id = -1;
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = tree_find_sys_id(aux, sys_id, &item_id);
    if (ret == 0)
        ret = mot_top_find_stype(stype_list, aux, "litem", &stype);
    // The tree's own links (expand, collapse) go to the whole tree, which list id 0 names.
    if (ret == 0)
        ret = motsl_set_position(stype, MOAP_LITEM_INDEX, 0, 0);
    // The folders the user keeps open are his list options of the tree: its option list is set up for
    // this request as a list page's would be.
    MOTSL_TYPE_STORAGE_T *ts =
        ret == 0 ? static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref) : nullptr;
    if (ret == 0 && ts != nullptr)
        ret = motsl_init_set_of_stype_light(stype_list, aux, nullptr, stype, ts->useropt_stype_name);
    if (ret == 0)
        ret = motsl_useropt_load_and_bind(stype);
    if (ret == 0)
        ret = moap_litem_insert_dir(stype, title, item_id, out_def, nullptr);
    return ret;
}

// The contact rule of the user list: a record that is active, committed and no system record.
int tree_contact_rule(MOX_AUX_T *aux, int user_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    MOAP_PASSWD_T *user = nullptr;
    int ret = moap_passwd_find_user(aux->access, user_id, &user);
    if (ret == 0 && user != nullptr && user->delete_status == 0 && user->new_ == 0 && user->sys_id == 0)
        *ok = TRUE;
    return ret;
}

// ---------------------------------------------------------------- visibility

int access_always(MOX_AUX_T *, void *, int, int, int user_id, mo_boolean_t *ok) noexcept {
    *ok = user_id >= 0 ? TRUE : FALSE;
    return 0;
}

// The three folder tabs: the tab's view check on its top folder (so that the verdict the item
// access cache keeps is the top folder's own).
typedef int (*tab_check_fn_t)(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id, int user_id,
                              mo_boolean_t *ok) noexcept;

int access_tree(MOX_AUX_T *aux, int sys_id, tab_check_fn_t check, int user_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (user_id < 0)
        return 0;
    int item_id = -1;
    int ret = tree_find_sys_id(aux, sys_id, &item_id);
    if (ret != 0)
        return ret;
    return check(aux, nullptr, 0, item_id, user_id, ok);
}

int access_docs(MOX_AUX_T *aux, void *, int, int, int user_id, mo_boolean_t *ok) noexcept {
    return access_tree(aux, SYS_DOCS, moap_tab_check_docs_view, user_id, ok);
}

int access_tables(MOX_AUX_T *aux, void *, int, int, int user_id, mo_boolean_t *ok) noexcept {
    return access_tree(aux, SYS_TABLES, moap_tab_check_table_view, user_id, ok);
}

int access_company(MOX_AUX_T *aux, void *, int, int, int user_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    return user_id >= 0 ? moap_tab_access_company(aux, user_id, ok) : 0;
}

int access_support(MOX_AUX_T *aux, void *, int, int, int user_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    return user_id >= 0 ? moap_tab_access_support(aux, user_id, ok) : 0;
}

int access_setup(MOX_AUX_T *aux, void *, int, int, int user_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    MOA_ACCESS_T *access = aux->access;
    if (user_id < 0 || access == nullptr)
        return 0;
    int privilege = 0;
    int ret = access->get_privilege(access, user_id, &privilege);
    if (ret == 0 && privilege >= MOTSL_PRIV_ADMIN)
        *ok = TRUE;
    return ret;
}

// ---------------------------------------------------------------- tab links

// The last place the user visited in the tab, as a frameset link; *found is FALSE when there is none
// or when the stored text cannot be a link (hand-made, or too long), so the tab opens its default.
int last_link(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link, bool *found) noexcept {
    *found = false;
    int user_id = current_user(aux);
    if (user_id < 0)
        return 0;
    char *text = nullptr;
    int ret = mola_last_read_user(aux, user_id, dir->dir_name, &text);
    if (ret != 0 || text == nullptr)
        return ret;
    if (!modi_dir_last_text_ok(text))
        return 0;
    try {
        std::string full = std::string(script_loc(aux)) + "?top&frames&A" + text;
        if (full.size() >= MO_STRING_LEN)
            return 0;
        memcpy(link, full.c_str(), full.size() + 1);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    *found = true;
    return 0;
}

// The list of a system folder in the whole frameset.
int tree_top_link(MOX_AUX_T *aux, MODI_DIR_T *dir, int sys_id, char *link) noexcept {
    int item_id = 0;
    const char *stype = nullptr;
    const char *cmd = nullptr;
    int ret = tree_find_sys_id(aux, sys_id, &item_id);
    if (ret == 0)
        ret = tree_default_stype(aux, item_id, &stype);
    if (ret == 0)
        ret = tree_list_cmd(aux, item_id, &cmd);
    if (ret == 0)
        ret = modi_dir_build_top_link(aux, dir->dir_name, 0, item_id, stype, cmd, link);
    return ret;
}

int with_last(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link,
              int (*fallback)(MOX_AUX_T *, MODI_DIR_T *, char *) noexcept) noexcept {
    bool found = false;
    int ret = last_link(aux, dir, link, &found);
    if (ret != 0 || found)
        return ret;
    return fallback(aux, dir, link);
}

int docs_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    return tree_top_link(aux, dir, SYS_DOCS, link);
}
int tables_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    return tree_top_link(aux, dir, SYS_TABLES, link);
}
int mgroups_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    return tree_top_link(aux, dir, SYS_MGROUPS, link);
}
int company_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    return tree_top_link(aux, dir, SYS_CONTACT, link);
}
int setup_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    return tree_top_link(aux, dir, SYS_PROFILE, link);
}

// The user's own profile.
int desk_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    int item_id = 0;
    const char *stype = nullptr;
    int ret = tree_find_sys_id(aux, SYS_PROFILE, &item_id);
    if (ret == 0)
        ret = tree_default_stype(aux, item_id, &stype);
    if (ret == 0)
        ret = modi_dir_build_top_link(aux, dir->dir_name, 0, item_id, stype, "view", link);
    if (ret != 0)
        return ret;
    try {
        return put_link(aux, std::string(link) + "&ID&" + std::to_string(current_user(aux)), link);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

int support_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    return modi_dir_build_top_link(aux, dir->dir_name, 0, 0, "support", "download", link);
}

// The site's own tab: its page through the "user" stype, or its content address itself. An address
// that is not a web or relative one is not offered.
int user_default(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {
    MOST_SETUP_T *setup = aux->setup;
    if (strcmp(text_of(setup->user_tab_type), "INTERNAL") == 0)
        return modi_dir_build_top_link(aux, dir->dir_name, 0, 0, "user", "page", link);
    const char *address = text_of(setup->user_tab_content_url);
    if (!mowsl_link_value_ok(address)) {
        err(aux)->report(err(aux), "The user tab's address %s is not a web address\n", address);
        return 1;
    }
    try {
        return put_link(aux, html(address), link);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

#define MODI_LINK_FN(name, fallback)                                                                         \
    int name(MOX_AUX_T *aux, MODI_DIR_T *dir, char *link) noexcept {                                         \
        return with_last(aux, dir, link, fallback);                                                          \
    }
MODI_LINK_FN(link_docs, docs_default)
MODI_LINK_FN(link_tables, tables_default)
MODI_LINK_FN(link_mgroups, mgroups_default)
MODI_LINK_FN(link_desk, desk_default)
MODI_LINK_FN(link_company, company_default)
MODI_LINK_FN(link_support, support_default)
MODI_LINK_FN(link_setup, setup_default)
MODI_LINK_FN(link_user, user_default)
#undef MODI_LINK_FN

// The About box is a pop-up of its own: no last place, the request's tab stays.
int link_about(MOX_AUX_T *aux, MODI_DIR_T *, char *link) noexcept {
    int ret = modi_dir_build_link(aux, "content", "blank", "N", 0, 0, "about", "view", link);
    if (ret != 0)
        return ret;
    try {
        return put_link(aux,
                        std::string(link) +
                            "\" onclick=\"NewWindow(this.href,'name','470','430','yes'); return false; ",
                        link);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

// ---------------------------------------------------------------- left columns

int tree_column(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, int sys_id,
                const char *title) noexcept {
    return tree_insert_dir(stype_list, aux, out_def, sys_id, title);
}

int service_docs(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                 MOT_TOP_ARG_LIST_T **) noexcept {
    return tree_column(stype_list, aux, out_def, SYS_DOCS, "Documents");
}

int service_tables(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                   MOT_TOP_ARG_LIST_T **) noexcept {
    return tree_column(stype_list, aux, out_def, SYS_TABLES, "Tables");
}

int service_mgroups(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                    MOT_TOP_ARG_LIST_T **) noexcept {
    return tree_column(stype_list, aux, out_def, SYS_MGROUPS, "Mail Groups");
}

// A button to a system folder's list, shown only to users who may view the folder.
int system_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, int sys_id, const char *label) noexcept {
    int item_id = 0;
    mo_boolean_t ok = FALSE;
    int ret = tree_find_sys_id(aux, sys_id, &item_id);
    if (ret == 0)
        ret = tree_viewable(aux, item_id, &ok);
    if (ret != 0 || !ok)
        return ret;
    mo_string_t link;
    ret = tree_default_call(aux, "content", "R", item_id, link);
    if (ret == 0)
        ret = modi_dir_insert_button_link(aux, out_def, 0, item_id, nullptr, label, link, "content");
    return ret;
}

// A button to the user's own record in a system folder's list.
int own_record_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, int sys_id, const char *label) noexcept {
    int item_id = 0;
    mo_boolean_t ok = FALSE;
    int ret = tree_find_sys_id(aux, sys_id, &item_id);
    if (ret == 0)
        ret = tree_viewable(aux, item_id, &ok);
    if (ret != 0 || !ok)
        return ret;
    mo_string_t link;
    ret = modi_dir_build_link(aux, "content", "content", "R", 0, item_id, nullptr, "view", link);
    if (ret != 0)
        return ret;
    try {
        ret = put_link(aux, std::string(link) + "&ID&" + std::to_string(current_user(aux)), link);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    if (ret == 0)
        ret = modi_dir_insert_button_link(aux, out_def, 0, item_id, nullptr, label, link, "content");
    return ret;
}

// A button to a command of a stype with no folder of its own.
int direct_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *stype, const char *cmd,
                  const char *image, const char *label) noexcept {
    mo_string_t link;
    int ret = modi_dir_build_link(aux, "content", "content", "R", 0, 0, stype, cmd, link);
    if (ret == 0)
        ret = modi_dir_insert_button_link(aux, out_def, 0, 0, image, label, link, "content");
    return ret;
}

int service_desk(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                 MOT_TOP_ARG_LIST_T **) noexcept {
    int ret = own_record_button(aux, out_def, SYS_PROFILE, "My Profile");
    // The contact rule: the company tab, and a record that is active, committed and no system record.
    mo_boolean_t company = FALSE;
    int user_id = current_user(aux);
    if (ret == 0)
        ret = access_company(aux, nullptr, 0, 0, user_id, &company);
    if (ret != 0 || !company)
        return ret;
    mo_boolean_t contact = FALSE;
    ret = tree_contact_rule(aux, user_id, &contact);
    if (ret == 0 && contact)
        ret = own_record_button(aux, out_def, SYS_CONTACT, "My Contact Info");
    return ret;
}

int service_company(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                    MOT_TOP_ARG_LIST_T **) noexcept {
    return system_button(aux, out_def, SYS_CONTACT, "Contact Info List");
}

// A button to an address of the setup (its placeholders filled in), in a new window; only web,
// mail and relative addresses are offered.
int address_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *address, const char *label) noexcept {
    if (address == nullptr || address[0] == '\0')
        return 0;
    MOST_SETUP_T *setup = aux->setup;
    try {
        std::string filled =
            setup->parse_url != nullptr ? text_of(setup->parse_url(setup, address)) : address;
        if (!mowsl_link_value_ok(filled.c_str()))
            return 0;
        return modi_dir_insert_button_link(aux, out_def, 0, 0, "nav/help2.gif", text_of(label),
                                           html(filled.c_str()).c_str(), "_blank");
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

int service_support(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                    MOT_TOP_ARG_LIST_T **) noexcept {
    MOST_SETUP_T *setup = aux->setup;
    int ret = direct_button(aux, out_def, "support", "download", "system_file_types/icons/batch.gif",
                            "Batch/CLI Download");
    if (ret == 0)
        ret = address_button(aux, out_def, setup->submit_issue_url, setup->submit_issue_text);
    if (ret == 0)
        ret = address_button(aux, out_def, setup->submit_feature_url, setup->submit_feature_text);
    return ret;
}

int service_setup(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                  MOT_TOP_ARG_LIST_T **) noexcept {
    int ret = system_button(aux, out_def, SYS_PROFILE, "User Profile List");
    if (ret == 0)
        ret = system_button(aux, out_def, SYS_GROUPS, "Group List");
    if (ret == 0)
        ret = direct_button(aux, out_def, "tab_gen", "view", MOAP_TAB_ICON, "General Setup");
    if (ret == 0)
        ret = direct_button(aux, out_def, "tab_access", "view", MOAP_TAB_ICON, "Default Access Lists");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BR>\n");
    if (ret == 0)
        ret = system_button(aux, out_def, SYS_FILE_TYPES, "Doc File Types");
    if (ret == 0)
        ret = system_button(aux, out_def, SYS_FOLDER_TYPES, "Doc Folder Types");
    if (ret == 0)
        ret = system_button(aux, out_def, SYS_NUMBER_SCHEMES, "Doc Number Schemes");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BR>\n");
    if (ret == 0)
        ret = system_button(aux, out_def, SYS_TABLE_TYPES, "Table Types");
    return ret;
}

int service_about(MOT_TOP_STYPE_T *, MOX_AUX_T *, MOOU_OUT_DEF_T *, MOT_TOP_REQ_T *,
                  MOT_TOP_ARG_LIST_T **) noexcept {
    return 0;
}

// The site's own left column: a script that loads its address into the frame.
int service_user(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                 MOT_TOP_ARG_LIST_T **) noexcept {
    const char *address = text_of(aux->setup->user_tab_dir_url);
    if (!mowsl_link_value_ok(address)) {
        err(aux)->report(err(aux), "The user tab's directory address %s is not a web address\n", address);
        return 1;
    }
    char escaped[MO_STRING_LEN * 4];
    moap_user_escape_js(address, escaped, sizeof(escaped));
    return out_def->line_fn(out_def,
                            " <script language=\"Javascript\"> \n<!-- \n      location='%s'; \n//--> \n"
                            "</script> \n",
                            escaped);
}

struct MODI_DIR_DEF_T {
    const char *dir_name;             // directory type argument
    const char *user_name;            // label
    int top;                          // row
    modi_dir_access_fn_t access_fn;   // visibility
    modi_dir_link_fn_t link_fn;       // address
    modi_dir_service_fn_t service_fn; // left column
};

const MODI_DIR_DEF_T modi_dir_defs[] = {
    {"docs", "Docs", 0, access_docs, link_docs, service_docs},
    {"tables", "Tables", 0, access_tables, link_tables, service_tables},
    {"mgroups", "Mail Groups", 0, access_always, link_mgroups, service_mgroups},
    {"desk", "My Info", 1, access_always, link_desk, service_desk},
    {"company", "Company Info", 1, access_company, link_company, service_company},
    {"support", "Support", 1, access_support, link_support, service_support},
    {"setup", "Setup", 1, access_setup, link_setup, service_setup},
    {"about", "About", 1, access_always, link_about, service_about},
};

// The tabs an empty address may open, in this order.
const char *const modi_default_tabs[] = {"docs", "tables", "mgroups", "desk"};

} // namespace

// ---------------------------------------------------------------- registry

int modi_dir_register(MODI_DIR_T **dir_list_ptr, MOX_AUX_T *aux, void *pool_ref, const char *dir_name,
                      const char *user_name, int top, modi_dir_access_fn_t access_fn,
                      modi_dir_link_fn_t link_fn, modi_dir_service_fn_t service_fn) noexcept {
    MODI_DIR_T *dir = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &dir);
    if (ret != 0)
        return ret;
    *dir = MODI_DIR_T{.dir_name = dir_name,
                      .user_name = user_name,
                      .top = top,
                      .access_fn = access_fn,
                      .link_fn = link_fn,
                      .service_fn = service_fn,
                      .next = nullptr};
    mo_list_append(dir_list_ptr, dir);
    return 0;
}

int modi_dir_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOW_WEB_T *web = aux->web;
    if (web == nullptr)
        return 0;
    void *pool = aux->mem->session_pool_ref;
    web->dir_list = nullptr;
    int ret = 0;
    for (const MODI_DIR_DEF_T &d : modi_dir_defs)
        if (ret == 0)
            ret = modi_dir_register(&web->dir_list, aux, pool, d.dir_name, d.user_name, d.top, d.access_fn,
                                    d.link_fn, d.service_fn);
    const char *user_tab = aux->setup->user_tab_text;
    if (ret == 0 && user_tab != nullptr && user_tab[0] != '\0') {
        char *label = nullptr;
        ret = aux->mem->store_string(aux->mem, pool, &label, user_tab);
        if (ret == 0)
            ret = modi_dir_register(&web->dir_list, aux, pool, "user", label, 0, access_always, link_user,
                                    service_user);
    }
    if (ret == 0) {
        session->dir_list_ref = web->dir_list;
        web->get_default_link = modi_dir_get_default_link;
    }
    return ret;
}

MODI_DIR_T *modi_dir_lookup(MODI_DIR_T *dir_list, const char *name) noexcept {
    for (MODI_DIR_T *dir = dir_list; dir != nullptr && name != nullptr; dir = dir->next)
        if (strcmp(dir->dir_name, name) == 0)
            return dir;
    return nullptr;
}

int modi_dir_visible(MOX_AUX_T *aux, MODI_DIR_T *dir, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    MOIT_ITEM_T *item = aux->item;
    int index_id = item != nullptr ? item->current_index_id : 0;
    int list_id = item != nullptr ? item->current_list_id : 0;
    return dir->access_fn(aux, nullptr, index_id, list_id, current_user(aux), ok);
}

int modi_find_dir_type(MODI_DIR_T *dir_list, MOX_AUX_T *aux, const char *name,
                       MODI_DIR_T **dir_ptr) noexcept {
    *dir_ptr = nullptr;
    MODI_DIR_T *dir = modi_dir_lookup(dir_list, name);
    if (dir == nullptr) {
        err(aux)->report(err(aux), "Display Command %s not valid\n", text_of(name));
        return 1;
    }
    mo_boolean_t ok = FALSE;
    int ret = modi_dir_visible(aux, dir, &ok);
    if (ret != 0)
        return ret;
    if (!ok) {
        err(aux)->report(err(aux), "Sorry you don't have access to the dir_type %s\n", name);
        return 1;
    }
    *dir_ptr = dir;
    return 0;
}

int modi_dir_get_default_link(MOX_AUX_T *aux, char *link) noexcept {
    link[0] = '\0';
    MODI_DIR_T *dir_list = aux->web != nullptr ? aux->web->dir_list : nullptr;
    for (const char *name : modi_default_tabs) {
        MODI_DIR_T *dir = modi_dir_lookup(dir_list, name);
        if (dir == nullptr)
            continue;
        mo_boolean_t ok = FALSE;
        int ret = modi_dir_visible(aux, dir, &ok);
        // The mail groups tab shows to everyone, but its folder list only to those its access lists
        // name: a user is not sent to a page that refuses him.
        bool tree = aux->item != nullptr && aux->item->max_index >= aux->item->min_index;
        if (ret == 0 && ok && tree && strcmp(name, "mgroups") == 0)
            ret = access_tree(aux, SYS_MGROUPS, moap_tab_check_mgroups_view, current_user(aux), &ok);
        if (ret != 0)
            return ret;
        if (ok)
            return dir->link_fn(aux, dir, link);
    }
    err(aux)->report(err(aux), "No default page is set up for an empty address\n");
    return 1;
}

// ---------------------------------------------------------------- links

int modi_dir_build_link(MOX_AUX_T *aux, const char *frame, const char *display, const char *trail, int index,
                        int item_id, const char *stype_name, const char *method, char *link) noexcept {
    link[0] = '\0';
    const char *stype = stype_name;
    if (stype == nullptr || stype[0] == '\0') {
        int ret = tree_default_stype_in(aux, index, item_id, &stype);
        if (ret != 0)
            return ret;
    }
    try {
        std::string text = std::string(script_loc(aux)) + "?" + url(frame) + "&" + url(display) + "&" +
                           url(trail) + "&" + url(request_dir_type(aux)) + "&" + std::to_string(index) + "&" +
                           std::to_string(item_id) + "&0&" + url(stype);
        if (method != nullptr && method[0] != '\0')
            text += "&" + url(method);
        return put_link(aux, text, link);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

int modi_dir_build_top_link(MOX_AUX_T *aux, const char *dir_type, int index, int item_id,
                            const char *stype_name, const char *cmd, char *link) noexcept {
    link[0] = '\0';
    try {
        std::string text = std::string(script_loc(aux)) + "?top&frames&A&" + url(dir_type) + "&" +
                           std::to_string(index) + "&" + std::to_string(item_id) + "&0&" + url(stype_name) +
                           "&" + url(cmd);
        return put_link(aux, text, link);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

mo_boolean_t modi_dir_last_text_ok(const char *text) noexcept {
    if (text == nullptr || text[0] != '&')
        return FALSE;
    const char *end = strchr(text + 1, '&');
    if (!word_ok(text + 1, end != nullptr ? end : text + strlen(text)))
        return FALSE;
    for (const char *p = text; *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c <= ' ' || c == 0x7f || strchr("\"'<>\\`", c) != nullptr)
            return FALSE;
    }
    return TRUE;
}

int modi_dir_build_top_link_string(MOX_AUX_T *aux, const char *last_link, char *link) noexcept {
    link[0] = '\0';
    if (!modi_dir_last_text_ok(last_link)) {
        err(aux)->report(err(aux), "The stored place %.60s is not a link\n", text_of(last_link));
        return 1;
    }
    try {
        return put_link(aux, std::string(script_loc(aux)) + "?top&frames&A" + last_link, link);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

// ---------------------------------------------------------------- drawing

namespace {

int tab_image(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *image) noexcept {
    return out_def->line_fn(out_def, "<TD><IMG %s WIDTH=%d HEIGHT=%d BORDER=0 ALT=\"\"></TD>\n",
                            mow_web_get_image_location(aux, image), MODI_TAB_EDGE_WIDTH, MODI_TAB_HEIGHT);
}

} // namespace

int modi_dir_hotlink_row(MOX_AUX_T *aux, MODI_DIR_T *dir_list, MOOU_OUT_DEF_T *out_def, int top) noexcept {
    const char *current = request_dir_type(aux);
    std::string image_loc;
    try {
        image_loc = html(aux->setup->httpd_image_loc);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    int ret = out_def->line_fn(out_def, "<TABLE CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0><TR>\n");
    int shown = 0;
    for (MODI_DIR_T *dir = dir_list; ret == 0 && dir != nullptr; dir = dir->next) {
        if ((dir->top != 0) != (top != 0))
            continue;
        mo_boolean_t ok = FALSE;
        ret = modi_dir_visible(aux, dir, &ok);
        if (ret != 0 || !ok)
            continue;
        mo_string_t link;
        ret = dir->link_fn(aux, dir, link);
        if (ret != 0)
            break;
        if (shown == 0 && top)
            ret = out_def->line_fn(out_def, "<TD><IMG %s WIDTH=30 HEIGHT=1 BORDER=0 ALT=\"\"></TD>\n",
                                   mow_web_get_image_location(aux, "/bullets/blank.gif"));
        if (ret == 0)
            ret = tab_image(aux, out_def,
                            shown == 0 ? "/backgrounds/slice_L.gif" : "/backgrounds/slice_LR.gif");
        if (ret == 0) {
            try {
                ret = out_def->line_fn(out_def,
                                       "  <TD BACKGROUND=\"%s/backgrounds/slice.gif\" BGCOLOR=%s "
                                       "CLASS=%s>&nbsp;<A TARGET=\"_top\" "
                                       "HREF=\"%s\">%s</A></TD>\n",
                                       image_loc.c_str(), MOW_TITLE_COLOR,
                                       strcmp(dir->dir_name, current) == 0 ? "NavTabSel" : "NavTab", link,
                                       html(dir->user_name).c_str());
            } catch (const std::bad_alloc &) {
                ret = out_of_memory(aux);
            }
        }
        shown++;
    }
    if (ret == 0 && shown > 0)
        ret = tab_image(aux, out_def, "/backgrounds/slice_R.gif");
    if (ret == 0 && shown == 0)
        ret = out_def->line_fn(out_def, "<TD>&nbsp;</TD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR></TABLE>\n");
    return ret;
}

int modi_dir_insert_button_link(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, int indent, int item_id,
                                const char *image, const char *label, const char *link,
                                const char *frame) noexcept {
    const char *graphic = image;
    if (graphic == nullptr && item_id > 0) {
        int ret = tree_graphic(aux, item_id, &graphic);
        if (ret != 0)
            return ret;
    }
    try {
        std::string target = text_of(link);
        if (frame != nullptr && frame[0] != '\0')
            target += "\" TARGET=\"" + html(frame);
        int ret = out_def->line_fn(out_def,
                                   "<TABLE WIDTH=100%% BORDER=0 CELLPADDING=1 CELLSPACING=0 SUMMARY=\"\">"
                                   "<TR>\n<TD BGCOLOR=%s CLASS=DirButton>\n",
                                   MOW_TITLE_COLOR);
        for (int i = 0; ret == 0 && i < indent; i++)
            ret = out_def->line_fn(out_def, "&nbsp;");
        if (ret == 0 && graphic != nullptr && graphic[0] != '\0')
            ret = mow_web_insert_graphic_button(aux, out_def, graphic, label, target.c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "&nbsp; <A HREF=\"%s\">", target.c_str());
        if (ret == 0)
            ret = mow_insert_protected_string_display(aux, out_def, label);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</A><BR>\n</TD></TR></TABLE>\n");
        return ret;
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

// ---------------------------------------------------------------- last-visited places

int modi_dir_record_last(MOX_AUX_T *aux, const char *dir_type, const char *arg_text) noexcept {
    int user_id = current_user(aux);
    MODI_DIR_T *dir_list = aux->web != nullptr ? aux->web->dir_list : nullptr;
    if (user_id < 0 || modi_dir_lookup(dir_list, dir_type) == nullptr || !modi_dir_last_text_ok(arg_text))
        return 0;
    // The About box has no place of its own.
    if (strcmp(dir_type, "about") == 0)
        return 0;
    // A place whose frameset link would not fit is not kept: the tab keeps its last place that fits.
    if (strlen(script_loc(aux)) + strlen("?top&frames&A") + strlen(arg_text) >= MO_STRING_LEN)
        return 0;
    return mola_last_write_user(aux, user_id, dir_type, arg_text);
}
