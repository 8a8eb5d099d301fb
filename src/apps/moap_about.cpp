// The About box and the logout command, and the registration shared by the informational types
// ("about", "support", "user").
#include "apps/moap_about.h"

#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "web/molo_login.h"

#include <cstring>
#include <string>

namespace {

MOE_ERROR_T *err_of(MOX_AUX_T *aux) noexcept {
    return aux->error;
}

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
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

int info_init_web(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **) noexcept {
    return 0;
}

struct InfoData {
    const char *data_dir; // under the lib directory
};

int info_filename(MOT_TOP_STYPE_T *stype) noexcept {
    auto *data = static_cast<InfoData *>(stype->applic_storage_ref);
    if (data == nullptr)
        return 0;
    mo_filename_t path;
    int n = snprintf(path, sizeof(path), "%s/%s/0", stype->aux->setup->lib_dir, data->data_dir);
    if (n < 0 || n >= static_cast<int>(sizeof(path))) {
        err_of(stype->aux)
            ->report(err_of(stype->aux), "Path too long for the data file of stype %s\n", stype->name);
        return 1;
    }
    char *copy = nullptr;
    int ret = stype->aux->mem->store_string(stype->aux->mem, stype->aux->mem->req_pool_ref, &copy, path);
    if (ret == 0)
        stype->filename = copy;
    return ret;
}

int write_credits(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept {
    mo_filename_t path;
    int n = snprintf(path, sizeof(path), "%s/credits.txt", aux->setup->misc_dir);
    if (n < 0 || n >= static_cast<int>(sizeof(path)) || !aux->file->exists(aux->file, path))
        return 0;
    void *file = nullptr;
    int ret = aux->file->open_file(aux->file, path, &file, MOF_MODE_READ);
    if (ret != 0)
        return ret;
    ret = out_def->line_fn(out_def, "<TR><TD ALIGN=LEFT CLASS=SMALLEST>");
    mo_boolean_t eof = FALSE;
    for (int lines = 0; ret == 0 && !eof && lines < 40; lines++) {
        char line[MO_STRING_LEN];
        ret = aux->file->read_line(aux->file, path, file, line, sizeof(line), &eof);
        if (ret == 0 && !eof)
            ret = mow_insert_protected_string_display(aux, out_def, line);
    }
    int closed = aux->file->close_file(aux->file, path, file);
    if (ret == 0)
        ret = closed;
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD></TR>\n");
    return ret;
}

const MOAP_INFO_CMD_T about_cmds[] = {
    {"view", moap_about_view_call, mow_cmd_access_all, moap_about_view_service},
    {"logout", moap_about_logout_call, mow_cmd_access_all, moap_about_logout_service},
};

} // namespace

// ---------------------------------------------------------------- informational types

int moap_info_register(MOT_TOP_SESSION_T *session, const char *name, int id, const char *help,
                       const char *lock_element_string, const char *lock_file_string, const char *data_dir,
                       const MOAP_INFO_CMD_T *cmds, int cmd_count, MOT_TOP_STYPE_T **stype) noexcept {
    MOX_AUX_T *aux = session->aux;
    void *pool = aux->mem->session_pool_ref;
    MOT_TOP_STYPE_DEF_T def = mot_stype_def_commands_only;
    def.name = name;
    def.id = id;
    def.help = help;
    def.init_stype = moap_info_init_stype;
    def.assign_access_fn = motsl_access_everyone;
    def.lock_element_string = lock_element_string;
    def.lock_element = mot_top_lock_page_element;
    def.lock_file_string = lock_file_string;
    def.lock_file = mot_top_lock_file;
    def.init_filename = info_filename;
    def.init_struct = mot_top_init_struct;
    def.init_web = info_init_web;
    int ret = mot_top_register_stype_def(aux, &session->storage.stype_list, pool, &def, stype);
    InfoData *data = nullptr;
    if (ret == 0)
        ret = mome_new(aux->mem, pool, &data);
    if (ret == 0) {
        data->data_dir = data_dir;
        (*stype)->applic_storage_ref = data;
        ret = mow_web_init_storage(*stype, pool, nullptr);
    }
    for (int i = 0; ret == 0 && i < cmd_count; i++)
        ret = mow_web_cmd_register(*stype, pool, cmds[i].name, 0, 0, cmds[i].call_fn, cmds[i].access_fn,
                                   cmds[i].service_fn);
    return ret;
}

int moap_info_init_stype(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                         MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    MOX_AUX_T *aux = stype->aux;
    if (!use_args)
        return 0;
    const char *texts[4] = {nullptr, nullptr, nullptr, nullptr};
    static const char *const what[] = {"index", "list_id", "row", "stype"};
    for (int i = 0; i < 4; i++) {
        MOT_TOP_ARG_LIST_T *arg = arg_list_ptr != nullptr ? *arg_list_ptr : nullptr;
        if (arg == nullptr || arg->val == nullptr || arg->val[0] == '\0') {
            err_of(aux)->report(err_of(aux), "Can't find any %s argument\n", what[i]);
            return 1;
        }
        texts[i] = arg->val;
        int ret = mot_advance_next_arg(aux, arg_list_ptr);
        if (ret != 0)
            return ret;
    }
    int list_id = 0;
    if (motsl_parse_id(texts[1], &list_id) != 0) {
        err_of(aux)->report(err_of(aux), "The list_id argument is not an id\n");
        return 1;
    }
    if (list_id == 0 && strcmp(texts[3], stype->name) != 0) {
        err_of(aux)->report(err_of(aux), "Only certain stypes are allowed access with a 0 list_id\n");
        return 1;
    }
    return 0;
}

int moap_info_link(MOT_TOP_STYPE_T *stype, const char *display, const char *trail, const char *command,
                   char *link) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_WEB_HOOKS_T *web = aux->list_hooks != nullptr ? aux->list_hooks->web : nullptr;
    const char *dir_type = web != nullptr ? web->current_dir_type(web) : "";
    mo_string_t start;
    int ret = mot_top_http_call_start_args(stype, "content",
                                           dir_type != nullptr && dir_type[0] != '\0' ? dir_type : "support",
                                           display, trail, start);
    if (ret != 0)
        return ret;
    int n = snprintf(link, MO_STRING_LEN, "%s&%s", start, command);
    if (n < 0 || n >= MO_STRING_LEN) {
        link[0] = '\0';
        err_of(aux)->report(err_of(aux), "The link to %s is longer than %d characters\n", stype->name,
                            MO_STRING_LEN - 1);
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------- about

int moap_about_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    return moap_info_register(session, "about", 1, "About", "About ID Number", "About Data", "about",
                              about_cmds, static_cast<int>(sizeof(about_cmds) / sizeof(about_cmds[0])),
                              &stype);
}

int moap_about_view_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return moap_info_link(stype, "blank", "N", "view", call_string);
}

int moap_about_logout_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return moap_info_link(stype, "none", "N", "logout", call_string);
}

int moap_about_view_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                            MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOST_SETUP_T *setup = aux->setup;
    mo_string_t logout;
    int ret = moap_about_logout_call(stype, logout);
    if (ret != 0)
        return ret;
    try {
        // The maker's address comes from the setup file: only a web or mail address becomes a link.
        std::string company_url = setup->parse_url != nullptr
                                      ? text_of(setup->parse_url(setup, text_of(setup->company_ws_url)))
                                      : "";
        bool linked = !company_url.empty() && mowsl_link_value_ok(company_url.c_str());
        ret = out_def->line_fn(out_def,
                               "<TABLE WIDTH=100%% BORDER=0 CELLPADDING=4 CELLSPACING=0 SUMMARY=\"\">\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def,
                                   "<TR><TD ALIGN=CENTER><A HREF=\"%s\" TARGET=\"_blank\"><IMG %s BORDER=0 "
                                   "ALT=\"\"></A></TD></TR>\n",
                                   html(setup->httpd_script_main_loc).c_str(),
                                   mow_web_get_image_location(aux, "/icons/prod_logo.gif"));
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR><TD><HR></TD></TR>\n<TR><TD ALIGN=CENTER>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "%s - %s<BR><BR>\n", html(setup->company_name).c_str(),
                                   html(setup->prod_name).c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "Version: %s (build_%s-%s)<BR>\n", MOST_VERSION, MOST_BUILD,
                                   MOST_PLATFORM);
        if (ret == 0 && linked)
            ret = out_def->line_fn(out_def,
                                   "<A HREF=\"%s\" TARGET=\"_blank\"><IMG %s BORDER=0 ALT=\"\"></A><BR>\n",
                                   html(company_url.c_str()).c_str(),
                                   mow_web_get_image_location(aux, "/icons/company_logo.gif"));
        if (ret == 0 && !linked)
            ret = out_def->line_fn(out_def, "<IMG %s BORDER=0 ALT=\"\"><BR>\n",
                                   mow_web_get_image_location(aux, "/icons/company_logo.gif"));
        if (ret == 0 && linked)
            ret = out_def->line_fn(out_def, "For more info: <A TARGET=\"_blank\" HREF=\"%s\">%s</A><BR>",
                                   html(company_url.c_str()).c_str(), html(setup->company_ws_text).c_str());
        if (ret == 0 && !linked)
            ret = out_def->line_fn(out_def, "For more info: %s<BR>", html(setup->company_ws_text).c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "\n</TD></TR>\n");
        if (ret == 0)
            ret = write_credits(aux, out_def);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR><TD ALIGN=CENTER>");
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/ok.gif", "OK",
                                                "javascript: window.close();");
        // Logging out from the box logs the whole window out: the frames are in its opener.
        if (ret == 0)
            ret =
                out_def->line_fn(out_def,
                                 "&nbsp;&nbsp; <A HREF=\"%s\" TARGET=\"_top\" onclick=\"if (window.opener && "
                                 "!window.opener.closed) { window.opener.top.location = this.href; "
                                 "window.close(); return false; }\">Logout</A>",
                                 html(logout).c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD></TR>\n</TABLE>\n");
    } catch (const std::bad_alloc &) {
        err_of(aux)->report(err_of(aux), "Out of memory\n");
        return 1;
    }
    return ret;
}

int moap_about_logout_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                              MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    // The cookie is set before the header goes out: the header carries it.
    int ret = molo_logout(aux, out_def, req);
    if (ret == 0 && aux->web != nullptr)
        ret = aux->web->send_content_type(aux->web, out_def, 0, "text/html");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<HTML><HEAD><TITLE>Reload</TITLE>\n</HEAD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BODY>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<script language=\"JavaScript\" type=\"text/javascript\">");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<!--  Hide me please!\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "location =\"%s\"\n",
                               mow_web_util_escape_javascript(aux->setup->httpd_script_main_loc));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "//--></script>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</BODY>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</HTML>\n");
    return ret;
}
