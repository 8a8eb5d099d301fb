// Pickers: the commands that act on what a list form posts. A list page is one form ("picker") that
// posts to the "picker" command, which offers the form to each picker the user may run until one
// acts. This file holds the form, the check-box scripts, the picker "match" (a column's free-text
// match, posted from the filter window) and the controls of "delete" and "undelete".
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_local.h"

#include "storage/mok_key.h"

#include <cstring>
#include <string>

using namespace mowsl_local;

int mowsl_picker_cmd_init(MOT_TOP_STYPE_T *stype) noexcept {
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    if (ws == nullptr)
        return 0;
    // The flags are kept with the stype for the whole session: each request asks again.
    ws->checkbox_required = FALSE;
    for (MOW_WEB_PICKER_CMD_T *p = ws->picker_cmd_list; p != nullptr; p = p->next)
        p->access_granted = FALSE;
    for (MOW_WEB_PICKER_CMD_T *p = ws->picker_cmd_list; p != nullptr; p = p->next) {
        mo_boolean_t ok = FALSE;
        int ret = p->access_fn != nullptr ? p->access_fn(stype, &ok) : 0;
        if (ret != 0)
            return ret;
        p->access_granted = ok ? TRUE : FALSE;
        if (ok && p->checkbox_required)
            ws->checkbox_required = TRUE;
    }
    return 0;
}

mo_boolean_t mowsl_picker_allowed(MOT_TOP_STYPE_T *stype, const char *command_name) noexcept {
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    for (MOW_WEB_PICKER_CMD_T *p = ws != nullptr ? ws->picker_cmd_list : nullptr; p != nullptr; p = p->next)
        if (strcmp(p->command_name, command_name) == 0)
            return p->access_granted;
    return FALSE;
}

namespace {

int select_scripts(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    std::string location = js(stype->aux->setup->httpd_image_loc);
    return out_def->line_fn(
        out_def,
        "<script language=\"javascript\" type=\"text/javascript\">\n"
        "<!--\n"
        "var picker_all_selected = false;\n"
        "function picker_set_all(state) {\n"
        "    var form = document.picker;\n"
        "    if (!form) return;\n"
        "    for (var i = 0; i < form.elements.length; i++)\n"
        "        if (form.elements[i].name == \"PICKER_CHECK\") form.elements[i].checked = state;\n"
        "    picker_all_selected = state;\n"
        "    var image = document.images[\"picker_all\"];\n"
        "    if (image) {\n"
        "        image.src = state ? \"%s/nav/all_sel2.gif\" : \"%s/nav/all_unsel3.gif\";\n"
        "        image.alt = state ? \"De-select all\" : \"Select all\";\n"
        "    }\n"
        "}\n"
        "function picker_reset() {\n"
        "    picker_set_all(false);\n"
        "}\n"
        "function picker_select_all() {\n"
        "    picker_set_all(!picker_all_selected);\n"
        "}\n"
        "// -->\n"
        "</script>\n",
        location.c_str(), location.c_str());
}

} // namespace

int mowsl_picker_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "none", "N", "picker", nullptr, 0, call_string);
}

int mowsl_picker_form_start(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    mo_string_t link;
    int ret = mowsl_picker_call(stype, link);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def, "<FORM ACTION=\"%s\" ENCTYPE=\"multipart/form-data\" METHOD=POST NAME=\"picker\">\n",
            link);
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    if (ws == nullptr)
        return ret;
    if (ret == 0 && ws->checkbox_required)
        ret = select_scripts(stype, out_def);
    for (MOW_WEB_PICKER_CMD_T *p = ws->picker_cmd_list; ret == 0 && p != nullptr; p = p->next)
        if (p->access_granted && p->build_init_fn != nullptr)
            ret = p->build_init_fn(stype, out_def);
    return ret;
}

int mowsl_picker_form_end(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(out_def, "</FORM>\n");
}

int mowsl_picker_select_all_control(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(out_def,
                            "<TD><A HREF=\"javascript: picker_select_all();\"><IMG NAME=\"picker_all\" "
                            "SRC=\"%s/nav/all_unsel3.gif\" BORDER=0 ALT=\"Select all\"></A></TD>\n",
                            html(stype->aux->setup->httpd_image_loc).c_str());
}

int mowsl_picker_buttons(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    int ret = 0;
    for (MOW_WEB_PICKER_CMD_T *p = ws != nullptr ? ws->picker_cmd_list : nullptr; ret == 0 && p != nullptr;
         p = p->next)
        if (p->access_granted && p->button_fn != nullptr)
            ret = p->button_fn(stype, out_def);
    return ret;
}

int mowsl_picker_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *req,
                         MOT_TOP_ARG_LIST_T *) noexcept {
    int ret = mowsl_picker_cmd_init(stype);
    if (ret != 0)
        return ret;
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    for (MOW_WEB_PICKER_CMD_T *p = ws != nullptr ? ws->picker_cmd_list : nullptr; p != nullptr; p = p->next) {
        if (!p->access_granted || p->service_fn == nullptr)
            continue;
        mo_boolean_t acted = FALSE;
        ret = p->service_fn(stype, out_def, req, &acted);
        if (ret != 0 || acted)
            return ret;
    }
    err(stype->aux)->report(err(stype->aux), "No picker service was performed\n How did this happen?\n");
    return 1;
}

// ---------------------------------------------------------------- match

int mowsl_match_build_init(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    int ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN  NAME=\"MATCH_GO\" VALUE=\"\">\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN  NAME=\"MATCH_CLEAR\" VALUE=\"\">\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<script language=\"javascript\" type=\"text/javascript\">\n"
                                        "<!--\n"
                                        "function submit_match_go(keyword) {\n"
                                        "    document.picker.MATCH_GO.value = keyword;\n"
                                        "    document.picker.submit();\n"
                                        "}\n"
                                        "function submit_match_clear(keyword) {\n"
                                        "    document.picker.MATCH_CLEAR.value = keyword;\n"
                                        "    document.picker.submit();\n"
                                        "}\n"
                                        "// -->\n"
                                        "</script>\n");
    return ret;
}

namespace {

const char *posted(MOT_TOP_REQ_T *req, const char *name) noexcept {
    for (MOW_POST_RESULTS_T *r = req != nullptr ? req->results_ref : nullptr;
         r != nullptr && r->name != nullptr; r++)
        if (strcmp(r->name, name) == 0)
            return r->val != nullptr ? r->val : "";
    return nullptr;
}

bool named(const char *value) noexcept {
    return value != nullptr && value[0] != '\0';
}

} // namespace

int mowsl_match_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                        mo_boolean_t *acted) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *acted = FALSE;
    const char *go = posted(req, "MATCH_GO");
    const char *clear = posted(req, "MATCH_CLEAR");
    const char *keyword_field = posted(req, "MATCH_KEYWORD");
    const char *keyword = named(go)              ? go
                          : named(clear)         ? clear
                          : named(keyword_field) ? keyword_field
                                                 : nullptr;
    if (keyword == nullptr)
        return 0;
    bool clearing = !named(go) && named(clear);
    *acted = TRUE;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = mowsl_viewable_column_arg(stype, keyword, &column);
    if (ret != 0)
        return ret;
    if ((column->type_vector & MOTSL_TV_MATCH) == 0) {
        err(aux)->report(err(aux), "The column %s of %s has no match field\n", keyword, stype->name);
        return 1;
    }
    std::string text;
    if (!clearing) {
        std::string field = std::string("MATCH") + keyword;
        const char *value = posted(req, field.c_str());
        // A line break would end the option file's value line.
        for (const char *p = value != nullptr ? value : ""; *p != '\0'; p++)
            if (*p != '\r' && *p != '\n')
                text += *p;
        if (text.size() > MOK_STRING_MAX) {
            err(aux)->report(err(aux), "The match text for %s is longer than %d characters\n",
                             column->user_name, MOK_STRING_MAX);
            return 1;
        }
    }
    OptionChange change;
    ret = change.begin(stype);
    if (ret == 0)
        ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, column->useropt_ref->match,
                                     text.c_str());
    int end = change.end(ret == 0);
    if (ret == 0)
        ret = end;
    if (ret == 0)
        ret = mowsl_reload(stype, out_def, TRUE, MOWSL_RELOAD_OPENER, MOWSL_RELOAD_NONE, MOWSL_RELOAD_NONE);
    return ret;
}

// ---------------------------------------------------------------- delete and undelete controls

int mowsl_delete_build_init(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    int ret = out_def->line_fn(
        out_def, "<INPUT TYPE=HIDDEN  NAME=\"DELETE_ALL\" VALUE=\"\" SIZE=%d MAXLENGTH=%d>\n", 10, 10);
    // With nothing ticked, the trash shows the deleted entries (when the user may see them).
    std::string fallback;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    MOT_TOP_STYPE_T *deleted = ts != nullptr ? ts->deleted_stype : nullptr;
    MOW_WEB_STORAGE_T *dws = deleted != nullptr ? web_of(deleted) : nullptr;
    for (MOW_WEB_CMD_T *c = dws != nullptr ? dws->cmd_list : nullptr; ret == 0 && c != nullptr; c = c->next) {
        if (strcmp(c->command_name, "list") != 0)
            continue;
        mo_boolean_t ok = FALSE;
        const char *message = nullptr;
        ret = c->access_fn(deleted, c, nullptr, &ok, &message);
        mo_string_t link;
        if (ret == 0 && ok)
            ret = c->call_fn(deleted, link);
        if (ret == 0 && ok)
            fallback = "    location = \"" + js(link) + "\";\n";
        break;
    }
    if (ret == 0)
        ret = out_def->line_fn(
            out_def,
            "<script language=\"javascript\" type=\"text/javascript\">\n"
            "<!--\n"
            "function submit_delete_go(val) {\n"
            "    var form = document.picker;\n"
            "    for (var i = 0; i < form.elements.length; i++) {\n"
            "        if (form.elements[i].name == \"PICKER_CHECK\" && form.elements[i].checked) {\n"
            "            form.DELETE_ALL.value = val;\n"
            "            form.submit();\n"
            "            return;\n"
            "        }\n"
            "    }\n"
            "%s"
            "}\n"
            "// -->\n"
            "</script>\n",
            fallback.c_str());
    return ret;
}

namespace {

int delete_control(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *graphic, const char *alt_text,
                   const char *mode, const char *text) noexcept {
    char link[64];
    snprintf(link, sizeof(link), "javascript: submit_delete_go('%s');", mode);
    int ret = out_def->line_fn(out_def, "&nbsp; ");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(stype->aux, out_def, graphic, alt_text, link);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">%s</A>", link, text);
    return ret;
}

} // namespace

int mowsl_delete_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    bool empty = ts != nullptr && ts->deleted_empty;
    return delete_control(stype, out_def, empty ? "nav/trash_empty.gif" : "nav/trash.gif",
                          "Delete all selected items", "delete", "Trash");
}

int mowsl_undelete_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    return delete_control(stype, out_def, "nav/undelete.gif", "Undelete all selected items", "undelete",
                          "Undelete");
}
