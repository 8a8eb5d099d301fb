// The edit form of one element, the window of its advanced fields, the commit of a posted form, and
// the two-step creation of new elements (a hidden shell owned by its creator, then its edit form).
//
// The form locks its element; the commit takes the file's write lock, reads the list again under it,
// requires that the user still holds the element lock, parses and checks every field into a working
// copy, and only then changes the record, writes the list and records the history. A failure on the
// way leaves the data file, the history and (by reloading) the cached list as they were, and gives
// every lock back.
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "stdlist/mowsl_web_stdlist_edit_local.h"

#include "daemon/molk_lock.h"
#include "storage/mok_key.h"
#include "storage/moil_idlist.h"

#include <cstring>
#include <new>
#include <string>

using namespace mowsl_edit_local;

// ---------------------------------------------------------------- shared helpers

namespace mowsl_edit_local {

int WriteLock::take(MOT_TOP_STYPE_T *list_stype) noexcept {
    stype = list_stype;
    int ret = lock_file(stype, MOLK_FILE_WRITE, nullptr);
    held = ret == 0;
    return ret;
}

int WriteLock::release() noexcept {
    if (!held)
        return 0;
    held = false;
    return lock_file(stype, MOLK_FILE_WRITE_RELEASE, nullptr);
}

void forget_changes(MOT_TOP_STYPE_T *stype) noexcept {
    MOT_TOP_STORAGE_T *cell = stype->data_storage;
    if (cell != nullptr) {
        // No modification number is 0: the next read finds the cache out of date and reads the file.
        cell->mod_time = 0;
        if (auto *data = static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref))
            data->unwritten = TRUE;
    }
    stype->data_loaded = FALSE;
}

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

int edit_args(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *arg_list, int *id) noexcept {
    MOE_ERROR_T *error = stype->aux->error;
    *id = 0;
    const char *keyword = arg_list != nullptr ? arg_list->val : nullptr;
    const char *value = arg_list != nullptr && arg_list->next != nullptr ? arg_list->next->val : nullptr;
    // Elements are named by their id only: another column could be used to probe values the user
    // is not shown.
    if (keyword == nullptr || strcmp(keyword, "ID") != 0) {
        error->report(error, "Elements of %s are edited by their ID, not by %s\n", stype->name,
                      keyword != nullptr ? keyword : "");
        return 1;
    }
    if (motsl_parse_id(value, id) != 0 || *id <= 0) {
        error->report(error, "Can't find ID number %s in %s records\n", value != nullptr ? value : "",
                      stype->name);
        return 1;
    }
    return 0;
}

} // namespace mowsl_edit_local

namespace {

MOE_ERROR_T *err_of(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->aux->error;
}

MOK_DATA_RECORD_T *find_quiet(MOK_DATA_RECORD_T *rows, int id) noexcept {
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next)
        if (element_id_of(r) == id)
            return r;
    return nullptr;
}

int not_found(MOT_TOP_STYPE_T *stype, const char *value) noexcept {
    err_of(stype)->report(err_of(stype), "Can't find ID number %s in %s records\n", value, stype->name);
    return 1;
}

// The element the user may edit, found by (keyword, value) in the freshly read list.
int editable_record(MOT_TOP_STYPE_T *stype, const char *keyword, const char *value,
                    MOK_DATA_RECORD_T **record) noexcept {
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = mowsl_list_read(stype, &first);
    if (ret == 0)
        ret = mowsl_find_id_record(stype, first, keyword, value, record);
    // A row the user may not edit is not there for this user.
    if (ret == 0 && !mowsl_row_editable(stype, *record))
        ret = not_found(stype, value);
    return ret;
}

// The user must still hold the lock the form took; a second commit of the same form, a commit after
// a cancel or after another form of the same list does not.
int check_element_lock(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *record) noexcept {
    MOE_ERROR_T *error = err_of(stype);
    mo_boolean_t saved = error->ignore;
    error->ignore = TRUE;
    int ret = stype->lock_element(stype, MOLK_ELEMENT_CHECK, record->container, nullptr);
    error->ignore = saved;
    if (ret != 0)
        error->report(
            error,
            "You do not hold the lock of element %d of %s: its form was sent or cancelled already, or "
            "left open too long. Open the element again to edit it.\n",
            element_id_of(record), stype->name);
    return ret;
}

bool has_advanced(MOTSL_STDLIST_ORDER_T *columns) noexcept {
    for (MOTSL_STDLIST_ORDER_T *c = columns; c != nullptr; c = c->next)
        if ((c->stdlist->type_vector & MOTSL_TV_ADVANCED_FIELD) != 0)
            return true;
    return false;
}

int title_bar(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *record,
              const char *fixed_title) noexcept {
    int ret =
        out_def->line_fn(out_def,
                         "<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n"
                         "<TR><TD BGCOLOR=%s ALIGN=LEFT NOWRAP>",
                         MOWSL_TITLE_COLOR);
    if (ret == 0) {
        if (fixed_title != nullptr)
            ret = out_def->line_fn(out_def, "%s", fixed_title);
        else if (stype->insert_title != nullptr)
            ret = stype->insert_title(stype, out_def, 0, MOWSL_DTYPE_EDIT, record->container);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD></TR>\n</TABLE>\n");
    return ret;
}

// What the main form carries for a field edited in the advanced window: its current value, filled
// in by that window.
int advanced_copy(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                  MOK_DATA_RECORD_T *record) noexcept {
    motsl_cell_fn_t writer = mowsl_cell_edit_start_of(stype, column);
    const char *keyword = keyword_of(column);
    if (writer == mowsl_edit_start_option_null || writer == mowsl_edit_start_show_only)
        return 0;
    if (writer == mowsl_edit_start_string_passwd) {
        const char *text = "";
        int ret = column->common->get_string_fn(column->common, record->container, &text);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN NAME=\"%s\" VALUE=\"%s\">\n",
                                   html(keyword).c_str(),
                                   text != nullptr && text[0] != '\0' ? MOWSL_PASSWD_PLACEHOLDER : "");
        return ret;
    }
    int ret = mowsl_edit_start_string_null(stype, out_def, column, record);
    if (ret != 0 || value_kind(stype->aux, column) != Kind::accesslist ||
        writer == mowsl_edit_start_accesslist_no_parent)
        return ret;
    const auto *list =
        mok_field<MOIL_ACCESSLIST_T *>(record->container, column->common->gen_keyword.struct_offset);
    bool use_parent = list == nullptr || list->use_parent;
    return out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN NAME=\"%sPARENT\" VALUE=\"%s\">\n",
                            html(keyword).c_str(), use_parent ? "ON" : "");
}

int fields(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_ORDER_T *columns,
           MOK_DATA_RECORD_T *record, bool advanced_window) noexcept {
    out_def->edit_td_count = 0;
    int ret = 0;
    for (MOTSL_STDLIST_ORDER_T *o = columns; ret == 0 && o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        bool advanced = (c->type_vector & MOTSL_TV_ADVANCED_FIELD) != 0;
        if (advanced_window && !advanced)
            continue;
        ret = mowsl_cell_bedit_start_of(c)(stype, out_def, c, record);
        if (ret == 0)
            ret = !advanced_window && advanced
                      ? advanced_copy(stype, out_def, c, record)
                      : mowsl_cell_edit_start_of(stype, c)(stype, out_def, c, record);
    }
    if (ret == 0)
        ret = mowsl_edit_terminate(stype, out_def);
    return ret;
}

int element_link(MOT_TOP_STYPE_T *stype, const char *display, const char *command, const char *keyword,
                 const char *value, char *link) noexcept {
    const char *args[] = {keyword, value};
    return mowsl_call_link(stype, display, "N", command, args, 2, link);
}

} // namespace

// ---------------------------------------------------------------- registration and links

int mowsl_edit_start_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "blank", "N", "edit_start", nullptr, 0, call_string);
}

int mowsl_edit_adv_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "blank", "N", "edit_adv", nullptr, 0, call_string);
}

int mowsl_edit_end_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "none", "N", "edit_end", nullptr, 0, call_string);
}

// A new element's form opens in the content frame without entering the trail: going back along the
// trail never makes another element.
int mowsl_new_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "blank", "N", "new", nullptr, 0, call_string);
}

int mowsl_edit_down_register(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    int ret = mow_web_cmd_register(stype, pool_ref, "edit_start", 2, 2, mowsl_edit_start_call,
                                   mowsl_edit_access, mowsl_edit_start_service);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "edit_adv", 2, 2, mowsl_edit_adv_call, mowsl_edit_access,
                                   mowsl_edit_adv_service);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "edit_end", 2, 2, mowsl_edit_end_call, mowsl_edit_access,
                                   mowsl_edit_end_service);
    return ret;
}

int mowsl_new_down_register(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_access_fn_t access_fn) noexcept {
    return mow_web_cmd_register(stype, pool_ref, "new", 0, 0, mowsl_new_call, access_fn, mowsl_new_service);
}

int mowsl_edit_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *arg_list, mo_boolean_t *ok,
                      const char **message) noexcept {
    *ok = FALSE;
    if (message != nullptr)
        *message = nullptr;
    // The row's edit flag alone would let anyone who may change a row of a list they may not edit
    // reach it: the list's edit access comes first.
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = motsl_get_current_access_def(stype, &def);
    if (ret == 0)
        ret = motsl_check_access_set(stype, &def->edit, ok);
    if (ret != 0 || !*ok || arg_list == nullptr)
        return ret;
    *ok = FALSE;
    int id = 0;
    MOK_DATA_RECORD_T *first = nullptr;
    ret = edit_args(stype, arg_list, &id);
    if (ret == 0)
        ret = mowsl_list_read(stype, &first);
    if (ret == 0)
        *ok = mowsl_row_editable(stype, find_quiet(first, id));
    return ret;
}

// ---------------------------------------------------------------- the edit form

int mowsl_edit_start_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *keyword,
                                   const char *value) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOK_DATA_RECORD_T *record = nullptr;
    MOTSL_STDLIST_ORDER_T *columns = nullptr;
    // Any form of this list the user left open gives its lock up.
    int ret = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = editable_record(stype, keyword, value, &record);
    if (ret == 0)
        ret = form_columns(stype, &columns);
    // Another user's form holds the lock: after a few seconds the lock service names the holder.
    if (ret == 0)
        ret = stype->lock_element(stype, MOLK_ELEMENT_TAKE, record->container, nullptr);
    if (ret != 0)
        return ret;
    bool is_new = static_cast<MOTSL_ELEMENT_T *>(record->container)->new_ != 0;
    mo_string_t link, adv_link;
    ret = element_link(stype, "none", "edit_end", keyword, value, link);
    if (ret == 0)
        ret = title_bar(stype, out_def, record, is_new ? "<B><FONT COLOR=white>New</FONT></B>\n" : nullptr);
    std::string images = html(aux->setup->httpd_image_loc);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def, "<FORM NAME=\"%s\" ACTION=\"%s\" ENCTYPE=\"multipart/form-data\" METHOD=POST>\n",
            MOWSL_EDIT_FORM, html(link).c_str());
    if (ret == 0)
        ret =
            out_def->line_fn(out_def, "<TABLE BORDER = 0 CELLSPACING = 0 SUMMARY=\"\">\n<TR><TD COLSPAN=2>");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<INPUT TYPE=IMAGE SRC=\"%s/nav/ok.gif\" BORDER=0 NAME=\"OK\">&nbsp;&nbsp; ",
                               images.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<INPUT TYPE=IMAGE SRC=\"%s/nav/cancel.gif\" BORDER=0 NAME=\"Cancel\"></TD>",
                               images.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD COLSPAN=2 ALIGN=RIGHT>");
    if (ret == 0 && has_advanced(columns)) {
        ret = element_link(stype, "blank", "edit_adv", keyword, value, adv_link);
        if (ret == 0) {
            try {
                std::string script = "Javascript: NewWindow('" + js_string(adv_link) +
                                     "','Advanced_Options','" + std::to_string(MOWSL_ADV_WINDOW_W) + "','" +
                                     std::to_string(MOWSL_ADV_WINDOW_H) + "','yes');";
                ret = mow_web_insert_graphic_button(aux, out_def, "nav/advanced.gif", "Advanced Options",
                                                    html(script.c_str()).c_str());
            } catch (const std::bad_alloc &) {
                err_of(stype)->report(err_of(stype), "Out of memory\n");
                ret = 1;
            }
        }
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD></TR>\n<TR><TD COLSPAN=4><HR></TD></TR>\n");
    if (ret == 0)
        ret = fields(stype, out_def, columns, record, false);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n</FORM>\n");
    return ret;
}

int mowsl_edit_start_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                             MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *arg_list) noexcept {
    int id = 0;
    int ret = edit_args(stype, arg_list, &id);
    char value[MOTSL_ID_TEXT_LEN];
    snprintf(value, sizeof(value), "%d", id);
    return ret != 0 ? ret : mowsl_edit_start_service_basic(stype, out_def, "ID", value);
}

// ---------------------------------------------------------------- the advanced window

int mowsl_edit_adv_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *keyword,
                                 const char *value) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOK_DATA_RECORD_T *record = nullptr;
    MOTSL_STDLIST_ORDER_T *columns = nullptr;
    // The window belongs to the open form: it must not give that form's lock up.
    int ret = editable_record(stype, keyword, value, &record);
    if (ret == 0)
        ret = check_element_lock(stype, record);
    if (ret == 0)
        ret = form_columns(stype, &columns);
    if (ret == 0)
        ret = title_bar(stype, out_def, record, "<B><FONT color=white>Advanced...</FONT></B>\n");
    if (ret != 0)
        return ret;
    try {
        // Each advanced field goes back into the opener's form: a selection as its chosen text, a
        // box as ON or nothing, any other field as its value.
        std::string copies;
        for (MOTSL_STDLIST_ORDER_T *o = columns; o != nullptr; o = o->next) {
            MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
            if ((c->type_vector & MOTSL_TV_ADVANCED_FIELD) == 0)
                continue;
            copies += "    mo_adv_copy(\"" + js_string(keyword_of(c)) + "\");\n";
            if (value_kind(aux, c) == Kind::accesslist)
                copies += "    mo_adv_copy(\"" + js_string((std::string(keyword_of(c)) + "PARENT").c_str()) +
                          "\");\n";
        }
        ret = out_def->line_fn(out_def,
                               "<script language=\"javascript\" type=\"text/javascript\">\n<!--\n"
                               "function mo_adv_copy(name) {\n"
                               "    var src = document.Edit_Adv.elements[name];\n"
                               "    var form = window.opener ? window.opener.document.forms[\"%s\"] : null;\n"
                               "    var dst = form ? form.elements[name] : null;\n"
                               "    if (!src || !dst) return;\n"
                               "    if (src.type == \"checkbox\") dst.value = src.checked ? \"ON\" : \"\";\n"
                               "    else if (src.options) dst.value = src.selectedIndex >= 0 ? "
                               "src.options[src.selectedIndex].text : \"\";\n"
                               "    else dst.value = src.value;\n"
                               "}\n"
                               "function UpdateForm() {\n%s}\n"
                               "// -->\n</script>\n",
                               MOWSL_EDIT_FORM, copies.c_str());
    } catch (const std::bad_alloc &) {
        err_of(stype)->report(err_of(stype), "Out of memory\n");
        return 1;
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<FORM NAME=\"Edit_Adv\" ACTION=\"junk\" onSubmit=\"UpdateForm(); "
                                        "window.close(); return false;\">\n<TABLE BORDER = 0 CELLSPACING = 0 "
                                        "SUMMARY=\"\">\n");
    if (ret == 0)
        ret = fields(stype, out_def, columns, record, true);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<TR><TD COLSPAN=4><HR></TD></TR>\n<TR><TD COLSPAN=4>"
                               "<INPUT TYPE=IMAGE SRC=\"%s/nav/ok.gif\" BORDER=0 NAME=\"OK\">&nbsp;&nbsp; ",
                               html(aux->setup->httpd_image_loc).c_str());
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/cancel.gif", "Cancel",
                                            "Javascript: window.close();");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD></TR>\n</TABLE>\n</FORM>\n");
    return ret;
}

int mowsl_edit_adv_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                           MOT_TOP_ARG_LIST_T *arg_list) noexcept {
    int id = 0;
    int ret = edit_args(stype, arg_list, &id);
    char value[MOTSL_ID_TEXT_LEN];
    snprintf(value, sizeof(value), "%d", id);
    return ret != 0 ? ret : mowsl_edit_adv_service_basic(stype, out_def, "ID", value);
}

// ---------------------------------------------------------------- taking a form in

int mowsl_edit_item_deferred(MOT_TOP_STYPE_T *stype, int operation, MOW_POST_RESULTS_T *form,
                             MOTSL_STDLIST_ORDER_T *columns, MOK_DATA_RECORD_T *record,
                             MOWSL_EDIT_RESULT_T *result) noexcept {
    *result =
        MOWSL_EDIT_RESULT_T{.operation = operation, .details = nullptr, .record = FALSE, .element = record};
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    MOK_DATA_RECORD_T *work = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret == 0)
        ret = stype->new_data(stype, &work);
    if (ret != 0)
        return ret;
    // The copy lives with the chain, so values the parsers store there may move into the record.
    void *pool = chain_pool(stype);
    for (MOTSL_APPLIC_KEYWORD_T *n = ks->keyword_list; ret == 0 && n != nullptr; n = n->next) {
        MOTC_COMMON_KEYWORD_T *common = n->stdlist->common;
        ret = common->copy_fn(common, pool, work->container, record->container);
    }
    if (ret == 0)
        ret = check_element_lock(stype, record);
    // Only the columns the user may change are read from the form, whatever else was posted.
    for (MOTSL_STDLIST_ORDER_T *o = columns; ret == 0 && o != nullptr; o = o->next)
        if (o->stdlist->access_type->edit_access_col)
            ret = mowsl_cell_edit_end_of(stype, o->stdlist)(stype, o->stdlist, form, work->container);
    for (MOTSL_STDLIST_ORDER_T *o = columns; ret == 0 && o != nullptr; o = o->next)
        if (o->stdlist->access_type->edit_access_col)
            ret = mowsl_cell_edit_check_of(o->stdlist)(stype, o->stdlist, record->container, work->container);
    if (ret != 0)
        return ret;
    if (operation == MOTSL_OP_MODIFIED) {
        ret = motsl_history_create_details(stype, &result->details, record->container, work->container);
        result->record = result->details != nullptr ? TRUE : FALSE;
    } else {
        result->record = TRUE;
    }
    for (MOTSL_APPLIC_KEYWORD_T *n = ks->keyword_list; ret == 0 && n != nullptr; n = n->next) {
        MOTC_COMMON_KEYWORD_T *common = n->stdlist->common;
        ret = common->copy_fn(common, pool, record->container, work->container);
    }
    return ret;
}

int mowsl_edit_record_history(MOT_TOP_STYPE_T *stype, const MOWSL_EDIT_RESULT_T *result) noexcept {
    if (!result->record || result->element == nullptr)
        return 0;
    return motsl_add_history(stype, result->operation, result->element->container, result->details);
}

int mowsl_edit_item(MOT_TOP_STYPE_T *stype, int operation, MOW_POST_RESULTS_T *form,
                    MOTSL_STDLIST_ORDER_T *columns, MOK_DATA_RECORD_T *record) noexcept {
    MOWSL_EDIT_RESULT_T result;
    int ret = mowsl_edit_item_deferred(stype, operation, form, columns, record, &result);
    return ret != 0 ? ret : mowsl_edit_record_history(stype, &result);
}

int mowsl_edit_end_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *, MOT_TOP_ARG_LIST_T *arg_list,
                                 MOW_POST_RESULTS_T *form, mo_boolean_t *cancelled_result) noexcept {
    *cancelled_result = FALSE;
    const char *keyword = arg_list != nullptr ? arg_list->val : "";
    const char *value = arg_list != nullptr && arg_list->next != nullptr ? arg_list->next->val : "";
    if (posted(form, "Cancel.x") != nullptr) {
        *cancelled_result = TRUE;
        return mowsl_release_element_locks(stype);
    }
    if (form == nullptr) {
        err_of(stype)->report(err_of(stype), "No form was sent to change element %s of %s\n", value,
                              stype->name);
        return 1;
    }
    WriteLock lock;
    MOK_DATA_RECORD_T *record = nullptr;
    MOTSL_STDLIST_ORDER_T *columns = nullptr;
    MOWSL_EDIT_RESULT_T result{};
    bool changed = false;
    // Read once before the lock (a list's own read may take that lock itself the first time), then
    // again under it: the commit builds on the file as it is now.
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = lock.take(stype);
    if (ret == 0)
        ret = editable_record(stype, keyword, value, &record);
    if (ret == 0)
        ret = form_columns(stype, &columns);
    if (ret == 0) {
        auto *element = static_cast<MOTSL_ELEMENT_T *>(record->container);
        int operation = element->new_ == 0 ? MOTSL_OP_MODIFIED : MOTSL_OP_CREATED;
        ret = mowsl_edit_item_deferred(stype, operation, form, columns, record, &result);
        changed = ret == 0;
        MOTSL_TYPE_STORAGE_T *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
        if (ret == 0 && ts != nullptr && ts->edit_end_call_back != nullptr)
            ret = ts->edit_end_call_back(stype, record->container);
        if (ret == 0) {
            element->new_ = 0;
            ret = stype->write_data(stype);
        }
    }
    if (ret != 0 && changed)
        forget_changes(stype);
    int release = lock.release();
    if (ret == 0)
        ret = release;
    // Recorded once the change is in the file, so that the history never tells of one that is not.
    if (ret == 0)
        ret = mowsl_edit_record_history(stype, &result);
    if (ret == 0)
        ret = mowsl_release_element_locks(stype);
    return ret;
}

int mowsl_edit_end_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                           MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *arg_list) noexcept {
    int id = 0;
    mo_boolean_t cancelled = FALSE;
    int ret = edit_args(stype, arg_list, &id);
    if (ret == 0)
        ret = mowsl_edit_end_service_basic(stype, out_def, arg_list,
                                           req != nullptr ? req->results_ref : nullptr, &cancelled);
    if (ret == 0)
        ret = mowsl_reload_done(stype, out_def);
    return ret;
}

// ---------------------------------------------------------------- new elements

int mowsl_web_copy_template(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record) noexcept {
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
    if (ts == nullptr || ts->template_stype_name == nullptr)
        return 0;
    MOT_TOP_STYPE_T *templ =
        ts->template_stype != nullptr ? ts->template_stype : find_stype_quiet(stype, ts->template_stype_name);
    if (templ == nullptr) {
        err_of(stype)->report(err_of(stype), "The template list %s of %s is not registered\n",
                              ts->template_stype_name, stype->name);
        return 1;
    }
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr, *template_ks = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret == 0)
        ret = motsl_get_key_struct(templ, &template_ks);
    if (ret == 0 && ks != template_ks) {
        err_of(stype)->report(err_of(stype), "The template list %s does not share the columns of %s\n",
                              templ->name, stype->name);
        ret = 1;
    }
    if (ret == 0)
        ret = templ->read_data(templ, &first);
    for (MOTSL_APPLIC_KEYWORD_T *n = ks != nullptr ? ks->keyword_list : nullptr;
         ret == 0 && first != nullptr && n != nullptr; n = n->next) {
        MOTC_COMMON_KEYWORD_T *common = n->stdlist->common;
        if (strcmp(common->gen_keyword.keyword, "ID") != 0)
            ret = common->copy_fn(common, chain_pool(stype), new_record->container, first->container);
    }
    return ret;
}

int mowsl_create_new_shell(MOT_TOP_STYPE_T *stype, mo_boolean_t use_new_field, int *new_id) noexcept {
    *new_id = 0;
    int user_id = current_user(stype->aux);
    if (use_new_field && user_id <= 0) {
        err_of(stype)->report(err_of(stype), "Only a user who is logged in can make a new element of %s\n",
                              stype->name);
        return 1;
    }
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
    MOTSL_STDLIST_KEYWORD_T *id_column = nullptr, *new_column = nullptr;
    MOK_DATA_RECORD_T *first = nullptr, *max = nullptr, *record = nullptr;
    mo_boolean_t reused = FALSE;
    bool changed = false;
    WriteLock lock;
    int ret = motsl_find_column(stype, "ID", &id_column);
    if (ret == 0)
        ret = motsl_find_column(stype, "NEW", &new_column);
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = lock.take(stype);
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    // A creation the user left unfinished is taken up again: its id stays the same.
    if (ret == 0 && use_new_field)
        ret = motsl_find_maximum_id_or_new(stype, first, id_column, new_column, &max, &record, &reused);
    else if (ret == 0)
        ret = motsl_find_maximum_id(stype, first, id_column, &max);
    if (ret == 0 && !reused) {
        ret = stype->new_data(stype, &record);
        motsl_get_new_id_fn_t get_new_id =
            ts != nullptr && ts->get_new_id != nullptr ? ts->get_new_id : motsl_stdlist_get_new_id;
        if (ret == 0)
            ret = get_new_id(stype, id_column, record, max != nullptr ? max : record);
    }
    if (ret == 0) {
        changed = reused;
        if (ts != nullptr && ts->new_copy_template != nullptr)
            ret = ts->new_copy_template(stype, record);
    }
    if (ret == 0) {
        auto *element = static_cast<MOTSL_ELEMENT_T *>(record->container);
        element->new_ = use_new_field ? user_id : 0;
        element->delete_status = 0;
        *new_id = element->id;
        // Only a record made here joins the chain: a reused one is in it already.
        if (!reused) {
            ret = stype->add_data(stype, record, &first);
            changed = ret == 0;
        }
    }
    if (ret == 0)
        ret = stype->write_data(stype);
    if (ret != 0 && changed)
        forget_changes(stype);
    int release = lock.release();
    if (ret == 0)
        ret = release;
    // The rows' flags for the new element, outside the lock.
    if (ret == 0)
        ret = mowsl_list_read(stype, &first);
    if (ret != 0)
        *new_id = 0;
    return ret;
}

int mowsl_new_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                      MOT_TOP_ARG_LIST_T *) noexcept {
    int id = 0;
    int ret = mowsl_create_new_shell(stype, TRUE, &id);
    char value[MOTSL_ID_TEXT_LEN];
    snprintf(value, sizeof(value), "%d", id);
    return ret != 0 ? ret : mowsl_edit_start_service_basic(stype, out_def, "ID", value);
}
