// The pages of a page storage type. The view shows every column the user may see in the user's
// column order; the edit form locks the record (the lock service waits a few seconds for another
// holder, then names it); the save checks that the user still holds that lock, takes the form in
// through the columns' parsers and checks into a working copy, and only then changes the record and
// writes the file. Element locks and the file's write lock are given back on every path.
#include "web/mowpg_web_page.h"

#include "daemon/molk_lock.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "web/motpg_page.h"

#include <cstring>
#include <new>
#include <string>

namespace {

MOE_ERROR_T *err_of(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->aux->error;
}

std::string html(const char *text) {
    std::string out;
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
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

// A column keyword that may stand as a JavaScript property name as it is.
bool identifier(const char *keyword) noexcept {
    if (keyword == nullptr || keyword[0] == '\0' || (keyword[0] >= '0' && keyword[0] <= '9'))
        return false;
    for (const char *p = keyword; *p != '\0'; p++) {
        char c = *p;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    }
    return true;
}

const char *keyword_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->common->gen_keyword.keyword;
}

int out_of_memory(MOT_TOP_STYPE_T *stype) noexcept {
    err_of(stype)->report(err_of(stype), "Out of memory\n");
    return 1;
}

const char *posted(MOW_POST_RESULTS_T *results, const char *name) noexcept {
    for (MOW_POST_RESULTS_T *r = results; r != nullptr && r->name != nullptr; r++)
        if (strcmp(r->name, name) == 0)
            return r->val != nullptr ? r->val : "";
    return nullptr;
}

int command_link(MOT_TOP_STYPE_T *stype, const char *display, const char *trail, const char *command,
                 char *link) noexcept {
    return mowsl_call_link(stype, display, trail, command, nullptr, 0, link);
}

// Reads the page for this request and gives its record with the column and row flags set.
int page_read(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **record) noexcept {
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = mowsl_list_read(stype, &first);
    if (ret == 0)
        ret = motpg_page_record(stype, first, record);
    return ret;
}

// The columns of the edit form, in the user's order: those the user may change.
int form_columns(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T **columns) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *columns = nullptr;
    MOTSL_STDLIST_ORDER_T *order = nullptr;
    int ret = motsl_stdlist_get_order(stype, &order);
    MOTSL_STDLIST_ORDER_T **tail = columns;
    for (MOTSL_STDLIST_ORDER_T *o = order; ret == 0 && o != nullptr; o = o->next) {
        mo_boolean_t editable = FALSE;
        ret = mowsl_column_editable(stype, o->stdlist, &editable);
        if (ret != 0 || !editable)
            continue;
        MOTSL_STDLIST_ORDER_T *node = nullptr;
        ret = mome_new(aux->mem, aux->mem->req_pool_ref, &node);
        if (ret == 0) {
            node->stdlist = o->stdlist;
            *tail = node;
            tail = &node->next;
        }
    }
    return ret;
}

bool advanced(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return (column->type_vector & MOTSL_TV_ADVANCED_FIELD) != 0;
}

int title_table_start(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                      MOK_DATA_RECORD_T *record) noexcept {
    int ret = out_def->line_fn(
        out_def, "<TABLE VSPACE=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD BGCOLOR=%s NOWRAP>", MOWSL_TITLE_COLOR);
    if (ret == 0 && stype->insert_title != nullptr)
        ret = stype->insert_title(stype, out_def, 0, display_type, record->container);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n");
    return ret;
}

// The control that shows or hides the advanced columns, when the page has any the user may see.
int advanced_control(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    bool any = false;
    for (MOTSL_APPLIC_KEYWORD_T *n = ks->keyword_list; n != nullptr && !any; n = n->next)
        any = (n->stdlist->type_vector & MOTSL_TV_ADVANCED_COL) != 0 &&
              n->stdlist->access_type->view_access_col;
    if (!any)
        return 0;
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
    bool on = ts != nullptr && ts->adv_columns_en != nullptr && *ts->adv_columns_en != 0;
    mo_string_t link;
    ret = command_link(stype, "none", "N", "advanced_toggle", link);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def, "<A HREF=\"%s\"><IMG %s BORDER=0 ALT=\"%s\"></A>", html(link).c_str(),
            mow_web_get_image_location(stype->aux, on ? "/nav/page_prev.gif" : "/nav/page_next.gif"),
            on ? "Collapse Advanced Columns" : "Expand Advanced Columns");
    return ret;
}

// Is the column shown on the view: its view flag and, with the user's options bound, its display
// option (advanced columns only while they are expanded).
bool shown_on_view(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    if (!column->access_type->view_access_col)
        return false;
    const MOTSL_USEROPT_REF_T *ref = column->useropt_ref;
    if (ref != nullptr && ref->display != nullptr && *ref->display == 0)
        return false;
    if ((column->type_vector & MOTSL_TV_ADVANCED_COL) != 0) {
        auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
        return ts != nullptr && ts->adv_columns_en != nullptr && *ts->adv_columns_en != 0;
    }
    return true;
}

// What the main form carries for a field edited in the pop-up: a hidden copy that the pop-up fills.
// A stored password never goes out: its copy holds the placeholder, which the parser reads as "keep".
int advanced_copy(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                  MOK_DATA_RECORD_T *record) noexcept {
    if (mowsl_cell_edit_start_of(stype, column) != mowsl_edit_start_string_passwd)
        return mowsl_edit_start_string_null(stype, out_def, column, record);
    const char *text = "";
    int ret = column->common->get_string_fn(column->common, record->container, &text);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN NAME=\"%s\" VALUE=\"%s\">\n",
                               html(keyword_of(column)).c_str(),
                               text != nullptr && text[0] != '\0' ? MOWSL_PASSWD_PLACEHOLDER : "");
    return ret;
}

void forget_changes(MOT_TOP_STYPE_T *stype) noexcept {
    MOT_TOP_STORAGE_T *cell = stype->data_storage;
    if (cell != nullptr) {
        // No modification number is 0: the next read takes the file again.
        cell->mod_time = 0;
        if (auto *data = static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref))
            data->unwritten = TRUE;
    }
    stype->data_loaded = FALSE;
}

} // namespace

// ---------------------------------------------------------------- links and registration

int mowpg_view_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return command_link(stype, "content", "A", "view", call_string);
}

int mowpg_edit_start_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return command_link(stype, "blank", "N", "edit_start", call_string);
}

int mowpg_edit_adv_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return command_link(stype, "blank", "N", "edit_adv", call_string);
}

int mowpg_edit_end_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return command_link(stype, "none", "N", "edit_end", call_string);
}

int mowpg_applic_register_web_cmds(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    int ret = mow_web_init_storage(stype, pool_ref, mowpg_button_edit);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "view", 0, 0, mowpg_view_call, motsl_cmd_access_view,
                                   mowpg_view_service);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "advanced_toggle", 0, 0, mowsl_advanced_toggle_call,
                                   motsl_cmd_access_view, mowsl_advanced_toggle_service);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "edit_start", 0, 0, mowpg_edit_start_call,
                                   motsl_cmd_access_edit, mowpg_edit_start_service);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "edit_adv", 0, 0, mowpg_edit_adv_call,
                                   motsl_cmd_access_edit, mowpg_edit_adv_service);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "edit_end", 0, 0, mowpg_edit_end_call,
                                   motsl_cmd_access_edit, mowpg_edit_end_service);
    return ret;
}

// ---------------------------------------------------------------- buttons

int mowpg_insert_edit_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *text,
                             void *) noexcept {
    mo_string_t link;
    int ret = mowpg_edit_start_call(stype, link);
    if (ret != 0)
        return ret;
    try {
        std::string href = html(link);
        ret = mow_web_insert_graphic_button(stype->aux, out_def, "nav/edit.gif", "Edit Row", href.c_str());
        if (ret == 0 && text != nullptr)
            ret = out_def->line_fn(out_def, "<A HREF=\"%s\">%s</A>", href.c_str(), html(text).c_str());
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype);
    }
    return ret;
}

int mowpg_button_edit(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                      void *data_record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    // Back along the user's trail when there is one, else the browser's own history.
    mo_string_t back = "javascript: history.back();";
    MOK_DATA_RECORD_T *trail = aux->web != nullptr ? aux->web->trail_ref : nullptr;
    if (trail != nullptr && trail->next != nullptr) {
        mo_string_t link;
        if (mow_web_trail_call(aux, trail->next, "D", link) == 0)
            snprintf(back, sizeof(back), "%s", html(link).c_str());
    }
    int ret = mow_web_insert_graphic_button(aux, out_def, "nav/back.gif", "Go back", back);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">Back</A>", back);
    auto *record = static_cast<MOK_DATA_RECORD_T *>(data_record);
    if (ret == 0 && display_type == MOWSL_DTYPE_VIEW && record != nullptr) {
        mo_boolean_t ok = FALSE;
        ret = motsl_cmd_access_edit(stype, nullptr, nullptr, &ok, nullptr);
        if (ret == 0 && ok) {
            ret = out_def->line_fn(out_def, "&nbsp; ");
            if (ret == 0)
                ret = mowpg_insert_edit_button(stype, out_def, "Edit", record->container);
        }
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "&nbsp; ");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/help2.gif", "Help", MOWSL_HELP_LINK);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">Help</A>", MOWSL_HELP_LINK);
    return ret;
}

// ---------------------------------------------------------------- view

int mowpg_view_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                       MOT_TOP_ARG_LIST_T *) noexcept {
    MOK_DATA_RECORD_T *record = nullptr;
    MOTSL_STDLIST_ORDER_T *order = nullptr;
    int ret = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = page_read(stype, &record);
    if (ret == 0)
        ret = motsl_stdlist_get_order(stype, &order);
    if (ret == 0)
        ret = title_table_start(stype, out_def, MOWSL_DTYPE_VIEW, record);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD BGCOLOR=%s ALIGN=LEFT CLASS=MainTitleButtons NOWRAP>",
                               MOWSL_TITLE_COLOR);
    auto *ws = static_cast<MOW_WEB_STORAGE_T *>(stype->web_storage_ref);
    if (ret == 0 && ws != nullptr && ws->web_button_fn != nullptr)
        ret = ws->web_button_fn(stype, out_def, MOWSL_DTYPE_VIEW, record);
    if (ret == 0)
        ret = advanced_control(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "&nbsp; </TD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 >\n");
    for (MOTSL_STDLIST_ORDER_T *o = order; ret == 0 && o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        motsl_cell_fn_t cell = mowsl_cell_view_of(c);
        if (!shown_on_view(stype, c) || cell == mowsl_view_null)
            continue;
        ret = out_def->line_fn(out_def, "<TR>\n");
        if (ret == 0)
            ret = cell(stype, out_def, c, record);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TR>\n");
        if (ret == 0 && (c->type_vector & MOTSL_TV_VIEW_RULE) != 0)
            ret = out_def->line_fn(out_def, "<TR><TD COLSPAN=2><HR ALIGN=LEFT NOSHADE SIZE=2 ></TD></TR>\n");
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    return ret;
}

// ---------------------------------------------------------------- edit form

int mowpg_edit_start_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                             MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOK_DATA_RECORD_T *record = nullptr;
    MOTSL_STDLIST_ORDER_T *columns = nullptr;
    // A form of this page the user left open gives its lock up.
    int ret = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = page_read(stype, &record);
    if (ret == 0)
        ret = form_columns(stype, &columns);
    if (ret == 0)
        ret = stype->lock_element(stype, MOLK_ELEMENT_TAKE, record->container, nullptr);
    if (ret == 0)
        ret = title_table_start(stype, out_def, MOWSL_DTYPE_EDIT, record);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    mo_string_t action, adv;
    if (ret == 0)
        ret = mowpg_edit_end_call(stype, action);
    if (ret == 0)
        ret = mowpg_edit_adv_call(stype, adv);
    if (ret != 0)
        return ret;
    bool any_advanced = false;
    for (MOTSL_STDLIST_ORDER_T *o = columns; o != nullptr; o = o->next)
        any_advanced = any_advanced || advanced(o->stdlist);
    try {
        std::string images = html(aux->setup->httpd_image_loc);
        ret = out_def->line_fn(
            out_def, "<FORM NAME=\"edit\" ACTION=\"%s\" ENCTYPE=\"multipart/form-data\" METHOD=POST>\n",
            html(action).c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TABLE BORDER = 0 CELLSPACING = 0 SUMMARY=\"\">\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR>\n");
        if (ret == 0)
            ret = out_def->line_fn(
                out_def,
                "<TD COLSPAN=2><INPUT TYPE=IMAGE SRC=\"%s/nav/ok.gif\" BORDER=0 NAME=\"OK\">&nbsp;&nbsp; ",
                images.c_str());
        if (ret == 0)
            ret = out_def->line_fn(
                out_def, "<INPUT TYPE=IMAGE SRC=\"%s/nav/cancel.gif\" BORDER=0 NAME=\"Cancel\"></TD>",
                images.c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TD COLSPAN=2 ALIGN=RIGHT>");
        if (ret == 0 && any_advanced) {
            std::string script = "Javascript: NewWindow('" +
                                 std::string(mow_web_util_escape_javascript(adv)) +
                                 "','Advanced_Options','500','400','yes');";
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/advanced.gif", "Advanced Options",
                                                html(script.c_str()).c_str());
        }
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD>");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TR>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR><TD COLSPAN=4><HR></TD></TR>\n");
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype);
    }
    out_def->edit_td_count = 0;
    for (MOTSL_STDLIST_ORDER_T *o = columns; ret == 0 && o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        ret = mowsl_cell_bedit_start_of(c)(stype, out_def, c, record);
        if (ret == 0)
            ret = advanced(c) ? advanced_copy(stype, out_def, c, record)
                              : mowsl_cell_edit_start_of(stype, c)(stype, out_def, c, record);
    }
    if (ret == 0)
        ret = mowsl_edit_terminate(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</FORM>\n");
    return ret;
}

// ---------------------------------------------------------------- advanced pop-up

int mowpg_edit_adv_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                           MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOK_DATA_RECORD_T *record = nullptr;
    MOTSL_STDLIST_ORDER_T *columns = nullptr;
    // The pop-up belongs to the open form: it checks that form's lock and never gives it up.
    int ret = page_read(stype, &record);
    if (ret == 0)
        ret = stype->lock_element(stype, MOLK_ELEMENT_CHECK, record->container, nullptr);
    if (ret == 0)
        ret = form_columns(stype, &columns);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def,
            "<FORM NAME=\"Edit_Adv\" ACTION=\"junk\" ENCTYPE=\"multipart/form-data\" METHOD=POST>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<script language=\"JavaScript\" type=\"text/javascript\">\n<!--\n"
                                        "function UpdateForm() {\n");
    for (MOTSL_STDLIST_ORDER_T *o = columns; ret == 0 && o != nullptr; o = o->next) {
        const char *kw = keyword_of(o->stdlist);
        // Keywords are declared with the columns; one that is no property name has no field to fill.
        if (!advanced(o->stdlist) || !identifier(kw))
            continue;
        ret = out_def->line_fn(out_def, "    if (document.Edit_Adv.%s.length) \n", kw);
        if (ret == 0)
            ret = out_def->line_fn(out_def,
                                   "        window.opener.document.edit.%s.value = "
                                   "document.Edit_Adv.%s.options[document.Edit_Adv.%s.selectedIndex].text;\n",
                                   kw, kw, kw);
        if (ret == 0)
            ret = out_def->line_fn(out_def,
                                   "    else\n        window.opener.document.edit.%s.value = "
                                   "document.Edit_Adv.%s.value;\n",
                                   kw, kw);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "    window.close();\n}\n//-->\n</script>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TABLE BORDER = 0 CELLSPACING = 0 SUMMARY=\"\">\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TR><TD COLSPAN=4>\n");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/ok.gif", "OK", "Javascript: UpdateForm();");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "&nbsp;&nbsp;");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/cancel.gif", "Cancel",
                                            "Javascript: window.close();");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD></TR>\n");
    out_def->edit_td_count = 0;
    for (MOTSL_STDLIST_ORDER_T *o = columns; ret == 0 && o != nullptr; o = o->next)
        if (advanced(o->stdlist))
            ret = mowsl_cell_edit_start_of(stype, o->stdlist)(stype, out_def, o->stdlist, record);
    if (ret == 0)
        ret = mowsl_edit_terminate(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</FORM>\n");
    return ret;
}

// ---------------------------------------------------------------- save

int mowpg_edit_end_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *, MOW_POST_RESULTS_T *form,
                                 mo_boolean_t *cancelled_result) noexcept {
    *cancelled_result = FALSE;
    if (posted(form, "Cancel.x") != nullptr) {
        *cancelled_result = TRUE;
        return mowsl_release_element_locks(stype);
    }
    if (form == nullptr) {
        err_of(stype)->report(err_of(stype), "No form was sent to change the page %s\n", stype->name);
        mowsl_release_element_locks(stype);
        return 1;
    }
    // Read once before the lock (a page's first read may take the write lock itself), then again
    // under it: the save builds on the file as it is now.
    MOK_DATA_RECORD_T *first = nullptr, *record = nullptr;
    MOTSL_STDLIST_ORDER_T *columns = nullptr;
    MOWSL_EDIT_RESULT_T result{};
    int ret = stype->read_data(stype, &first);
    bool locked = false;
    bool changed = false;
    if (ret == 0) {
        ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
        locked = ret == 0;
    }
    if (ret == 0)
        ret = page_read(stype, &record);
    if (ret == 0)
        ret = form_columns(stype, &columns);
    if (ret == 0) {
        // The working copy, the lock check (23), the parsers and the checks; the record changes only
        // when all of them pass.
        ret = mowsl_edit_item_deferred(stype, MOTSL_OP_MODIFIED, form, columns, record, &result);
        changed = ret == 0;
    }
    if (ret == 0)
        ret = stype->write_data(stype);
    if (ret != 0 && changed)
        forget_changes(stype);
    if (locked) {
        int release = stype->lock_file(stype, MOLK_FILE_WRITE_RELEASE, nullptr);
        if (ret == 0)
            ret = release;
    }
    int release = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = release;
    return ret;
}

int mowpg_reload(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    MOX_AUX_T *aux = stype->aux;
    mo_string_t link;
    mo_boolean_t found = FALSE;
    int ret = mowsl_trail_link(aux, "A", link, &found);
    if (ret == 0 && !found)
        ret = mowpg_view_call(stype, link);
    if (ret == 0 && aux->web != nullptr)
        ret = aux->web->send_content_type(aux->web, out_def, 0, "text/html");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<HTML><HEAD><TITLE>Reload</TITLE>\n</HEAD>\n<BODY>\n");
    if (ret == 0)
        ret = mow_web_insert_warning(aux, out_def, aux->error->warning_msg);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<script language=\"JavaScript\" type=\"text/javascript\">\n"
                                        "<!--  Hide me please!\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "if (window.opener && !window.opener.closed) {\n"
                                        "    window.opener.location.reload(); \n"
                                        "    window.close();\n"
                                        "} else {\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "    location =\"%s\"\n", mow_web_util_escape_javascript(link));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "}\n//--></script>\n</BODY>\n</HTML>\n");
    return ret;
}

int mowpg_edit_end_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                           MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *) noexcept {
    mo_boolean_t cancelled = FALSE;
    int ret =
        mowpg_edit_end_service_basic(stype, out_def, req != nullptr ? req->results_ref : nullptr, &cancelled);
    if (ret == 0)
        ret = mowpg_reload(stype, out_def);
    return ret;
}
