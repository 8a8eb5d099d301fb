// The user list's own cells and checks: the password fields (the stored hash never leaves the
// server; an unchanged form keeps it), the e-mail cell, the group editor, and the checks of the user
// name and of deleting.
#include "apps/moap_passwd.h"
#include "apps/moa_access_cmn.h"
#include "apps/moap_groups.h"
#include "apps/mocr_crypt.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "storage/mok_key.h"
#include "storage/moil_idlist.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

#include <cstring>
#include <openssl/crypto.h>
#include <string>

namespace {

MOAP_PASSWD_T *user_of(void *container) noexcept {
    return static_cast<MOAP_PASSWD_T *>(container);
}

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

MOE_ERROR_T *err(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->aux->error;
}

// A password never set: the column default, or nothing at all.
bool passwd_unset(const char *stored) noexcept {
    return stored == nullptr || stored[0] == '\0' || strcmp(stored, MOCR_DEFAULT_PASSWD) == 0;
}

// ---- the edit form's grid (four cells a row)

int start_line(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out, MOTSL_STDLIST_KEYWORD_T *column,
               bool new_row) noexcept {
    bool rule = (column->type_vector & MOTSL_TV_ROW_OWN) != 0;
    int ret = 0;
    if (out->edit_td_count == 0) {
        ret = out->line_fn(out, "<TR>\n");
    } else if (new_row || rule) {
        for (; ret == 0 && out->edit_td_count < 4; out->edit_td_count++)
            ret = out->line_fn(out, "<TD>&nbsp; </TD>\n");
        if (ret == 0)
            ret = out->line_fn(out, "</TR>\n<TR>\n");
        out->edit_td_count = 0;
    }
    if (ret == 0 && rule)
        ret = out->line_fn(out, "<TD COLSPAN=4><HR ALIGN=LEFT SIZE=2 NOSHADE ></TD></TR>\n<TR>");
    return ret;
}

int start_header(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    int ret = out->line_fn(out, "<TD ALIGN=LEFT><B>");
    if (ret == 0)
        ret = motsl_out_protected(out, column->user_name);
    if (ret == 0)
        ret = out->line_fn(out, "</B>");
    if (ret == 0 && column->help_string != nullptr && column->help_string[0] != '\0') {
        ret = out->line_fn(out, "&nbsp; ");
        if (ret == 0)
            ret = mow_web_insert_graphic_button(stype->aux, out, "icons/info.gif", column->help_string,
                                                nullptr);
    }
    if (ret == 0)
        ret = out->line_fn(out, "</TD>\n");
    return ret;
}

int end_line(MOOU_OUT_DEF_T *out, int cells) noexcept {
    out->edit_td_count += cells;
    return 0;
}

// ---- checks shared by the user name and the deleted flag

bool is_active_other(const MOAP_PASSWD_T *u, int id) noexcept {
    return u->id != id && u->new_ == 0 && u->delete_status == 0;
}

int check_unique_name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                      const MOAP_PASSWD_T *user) noexcept {
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the user name check", &data);
    if (ret != 0)
        return ret;
    const char *name = text_of(user->user_name);
    for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr; r = r->next) {
        const MOAP_PASSWD_T *other = user_of(r->container);
        if (is_active_other(other, user->id) && strcmp(text_of(other->user_name), name) == 0) {
            err(stype)->report(err(stype),
                               "There is already another active %s called %s, go back and try another %s.\n",
                               column->user_name, name, column->user_name);
            return 1;
        }
    }
    return 0;
}

// Characters a user name may not hold: they would break the cookie, access-list texts or file names.
const char username_forbidden[] = "\\/[]:|<>\"+=;,?*^ ";

} // namespace

int moap_passwd_check_user_name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *old_container,
                                void *new_container) noexcept {
    (void)old_container;
    const MOAP_PASSWD_T *user = user_of(new_container);
    const char *name = text_of(user->user_name);
    if (strcasecmp(name, MOAP_PASSWD_ADMIN_NAME) == 0) {
        err(stype)->report(err(stype), "The user name admin is reserved.\n");
        return 1;
    }
    if (name[0] == '\0') {
        err(stype)->report(err(stype), "The %s can not be empty, go back and enter one.\n",
                           column->user_name);
        return 1;
    }
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != '\0'; p++) {
        if (*p < 0x20 || *p == 0x7f) {
            err(stype)->report(err(stype),
                               "The %s is not allowed to contain line breaks or control characters.\n",
                               column->user_name);
            return 1;
        }
    }
    if (!mow_web_util_string_ok(name, username_forbidden)) {
        std::string shown;
        for (const char *c = username_forbidden; *c != '\0'; c++) {
            shown += *c;
            shown += ' ';
        }
        err(stype)->report(err(stype), "The %s (%s) is not allowed to contain the characters %s\n",
                           column->user_name, name, mow_web_util_expand_space(shown.c_str()));
        return 1;
    }
    return check_unique_name(stype, column, user);
}

int moap_passwd_check_del(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, void *old_container,
                          void *new_container) noexcept {
    const MOAP_PASSWD_T *old_user = user_of(old_container);
    const MOAP_PASSWD_T *user = user_of(new_container);
    MOA_ACCESS_T *access = stype->aux->access;
    if (user->delete_status != 0 && old_user->delete_status == 0 && user->sys_id == 0 && access != nullptr &&
        access->current_user_id >= 0 && user->id == access->current_user_id) {
        err(stype)->report(err(stype), "You can't delete yourself.\n");
        return 1;
    }
    // Bringing a user back must not make two active users of one name.
    if (user->delete_status == 0) {
        MOTSL_STDLIST_KEYWORD_T *name_column = nullptr;
        int ret = motsl_find_column(stype, "U", &name_column);
        if (ret == 0)
            ret = check_unique_name(stype, name_column, user);
        return ret;
    }
    return 0;
}

int moap_passwd_list_passwd(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                            MOK_DATA_RECORD_T *record) noexcept {
    const MOAP_PASSWD_T *u = user_of(record->container);
    return out_def->line_fn(out_def, "<TD ALIGN = LEFT>%s</TD>\n",
                            passwd_unset(u->passwd) ? MOAP_PASSWD_DEFAULT_MARK : MOAP_PASSWD_PLACEHOLDER);
}

int moap_passwd_bview_passwd(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept {
    const MOAP_PASSWD_T *u = user_of(record->container);
    char *keyword = nullptr;
    int ret = mow_create_keyword(stype->aux, stype->aux->mem->req_pool_ref, "", column->user_name, &keyword);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "%s=\"%s\"\n", keyword,
                               passwd_unset(u->passwd) ? MOAP_PASSWD_DEFAULT_MARK : MOAP_PASSWD_PLACEHOLDER);
    return ret;
}

int moap_passwd_edit_start_passwd(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                  MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    const MOAP_PASSWD_T *u = user_of(record->container);
    const char *keyword = column->common->gen_keyword.keyword;
    const char *placeholder = passwd_unset(u->passwd) ? "" : MOAP_PASSWD_PLACEHOLDER;
    int ret = start_line(stype, out_def, column, true);
    if (ret == 0)
        ret = start_header(stype, out_def, column);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT>\n");
    // The stored text stays on the server: the hidden field that carried it goes out empty.
    if (ret == 0)
        ret =
            out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN  NAME=\"%s\" VALUE=\"%s\" SIZE=%d MAXLENGTH=%d>\n",
                             keyword, "", 15, 15);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<INPUT TYPE=HIDDEN  NAME=\"%s_orig\" VALUE=\"%s\" SIZE=%d MAXLENGTH=%d>\n",
                               keyword, placeholder, 15, 15);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<INPUT TYPE=PASSWORD  NAME=\"%s_1\" VALUE=\"%s\" SIZE=%d MAXLENGTH=%d>\n",
                               keyword, placeholder, 15, 80);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n<TD><B>Confirm Passwd</B></TD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<INPUT TYPE=PASSWORD  NAME=\"%s_2\" VALUE=\"%s\" SIZE=%d MAXLENGTH=%d>\n",
                               keyword, placeholder, 15, 80);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0)
        ret = end_line(out_def, 4);
    return ret;
}

int moap_passwd_edit_end_passwd(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                MOW_POST_RESULTS_T *results, void *container) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *keyword = column->common->gen_keyword.keyword;
    std::string one_name = std::string(keyword) + "_1";
    std::string two_name = std::string(keyword) + "_2";
    std::string orig_name = std::string(keyword) + "_orig";
    const char *one = "";
    const char *two = "";
    const char *orig = "";
    // A form without the entries (a batch client that leaves the password alone) changes nothing.
    if (!mow_form_is_field(aux, results, one_name.c_str()))
        return 0;
    int ret = mow_form_field_service(aux, results, one_name.c_str(), &one);
    if (ret == 0 && mow_form_is_field(aux, results, two_name.c_str()))
        ret = mow_form_field_service(aux, results, two_name.c_str(), &two);
    if (ret == 0 && mow_form_is_field(aux, results, orig_name.c_str()))
        ret = mow_form_field_service(aux, results, orig_name.c_str(), &orig);
    if (ret != 0)
        return ret;
    // Both entries still show the placeholder: the password stays what the server holds.
    if (strcmp(one, orig) == 0 && strcmp(two, orig) == 0)
        return 0;
    if (strlen(one) < MOAP_PASSWD_MIN_LEN) {
        err(stype)->report(err(stype),
                           "Passwd field must have at least %d characters, go back and try again.\n",
                           MOAP_PASSWD_MIN_LEN);
        return 1;
    }
    if (strcmp(one, two) != 0) {
        err(stype)->report(err(stype), "Both passwd fields are not the same, go back and try again.\n");
        return 1;
    }
    char hash[MOCR_HASH_SIZE];
    ret = mocr_crypt_new_passwd(err(stype), one, hash, sizeof(hash));
    if (ret == 0) {
        void *pool =
            stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : aux->mem->req_pool_ref;
        ret = aux->mem->store_string(aux->mem, pool, &user_of(container)->passwd, hash);
    }
    OPENSSL_cleanse(hash, sizeof(hash));
    return ret;
}

int moap_passwd_list_email(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                           MOK_DATA_RECORD_T *record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const MOAP_PASSWD_T *u = user_of(record->container);
    const char *address = text_of(u->email);
    const char *full_name = text_of(u->full_name);
    int ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT NOWRAP> ");
    if (ret == 0 && address[0] != '\0') {
        try {
            // Each part is URL-escaped, which also keeps quotes out of the HREF attribute.
            std::string to = std::string(full_name) + "<" + address + ">";
            std::string link = std::string("mailto:") + mow_web_util_escape_url(to.c_str()) + "?BODY=To%20";
            link += mow_web_util_escape_url(full_name);
            std::string alt = std::string("Send email to ") + full_name;
            ret = mow_web_insert_graphic_button(aux, out_def, "icons/letter.gif", alt.c_str(), link.c_str());
        } catch (const std::bad_alloc &) {
            err(stype)->report(err(stype), "Out of memory\n");
            ret = 1;
        }
    }
    if (ret == 0)
        ret = mow_insert_protected_string_display(aux, out_def, address);
    if (ret == 0)
        ret = out_def->line_fn(out_def, " </TD>\n");
    return ret;
}

// The group editor: a user with no group is offered the group "all" first; then the names in a text
// field and a selection that appends a chosen group.
int moap_passwd_edit_start_groups(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                  MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOAP_PASSWD_T *u = user_of(record->container);
    MOA_ACCESS_T *access = aux->access;
    int ret = 0;
    if (u->groups == nullptr && access != nullptr) {
        mo_boolean_t deleted = FALSE;
        int all = MOA_NO_ID;
        ret = moap_group_find_sys_id(access, MOAP_GROUPS_SYS_ALL, &deleted, &all);
        void *pool =
            stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : aux->mem->req_pool_ref;
        if (ret == 0 && all != MOA_NO_ID && !deleted)
            ret = moil_add_to_idlist(aux->interm, pool, all, &u->groups);
    }
    const char *names = "";
    if (ret == 0)
        ret = column->common->get_string_fn(column->common, record->container, &names);
    if (ret == 0)
        ret = start_line(stype, out_def, column, true);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<TD ALIGN=LEFT VALIGN=TOP COLSPAN=4><B>Assign Group to User</B><BR>\n");
    const char *keyword = column->common->gen_keyword.keyword;
    if (ret == 0)
        ret = mow_form_text_field_call_insert(aux, out_def, keyword, names, 45, 1000, "");
    if (ret == 0)
        ret = out_def->line_fn(
            out_def,
            "<SELECT NAME=\"sel%s\" onChange=\"if (this.selectedIndex > 0) { var f = "
            "this.form.%s; f.value = f.value == '' ? this.options[this.selectedIndex].text : "
            "f.value + ', ' + this.options[this.selectedIndex].text; }\">\n<OPTION>Add a group\n",
            keyword, keyword);
    auto *groups = access != nullptr && access->group_ref != nullptr
                       ? static_cast<MOTSL_DATASTRUCT_T *>(
                             static_cast<MOT_TOP_STORAGE_T *>(access->group_ref)->struct_ref)
                       : nullptr;
    for (MOK_DATA_RECORD_T *r = groups != nullptr ? groups->data_record : nullptr; ret == 0 && r != nullptr;
         r = r->next) {
        const auto *g = static_cast<const MOAP_GROUPS_T *>(r->container);
        if (g->delete_status != 0 || g->new_ != 0)
            continue;
        ret = out_def->line_fn(out_def, "<OPTION>");
        if (ret == 0)
            ret = motsl_out_protected(out_def, text_of(g->name));
        if (ret == 0)
            ret = out_def->line_fn(out_def, "\n");
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</SELECT>\n</TD>\n");
    if (ret == 0)
        ret = end_line(out_def, 4);
    return ret;
}
