// The web interface's frames and the "web" command type.
//
// The display commands draw the frameset of three frames and their pages: "frames" (the frameset),
// "nav" (the top bar: logo, search form, tab rows, welcome line, logout and the maker's link), "dir"
// (the left column of the selected tab), "content" (a page of the content frame, with the guard that
// puts a page opened alone back into the frameset), "blank" (a page of its own, such as a pop-up)
// and "none" (an operation that writes its own answer). A content page that was served becomes the
// last place visited in its tab.
//
// The command type's operation `normal` answers one web request CGI-style: the request comes from
// the CGI environment and standard input, the page goes to standard output.
#include "apps/moap_web.h"
#include "apps/moa_access_cmn.h"
#include "apps/moap_tab.h"
#include "entry/moc_cmd.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "storage/mot_top.h"
#include "web/modi_dir.h"
#include "web/mow_web.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The search form of the top bar, given by the search pages when they register.
moap_web_search_box_fn_t moap_web_search_box = nullptr;

// The header option asks for the CGI header lines before the page.
int moap_web_normal(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *, MOT_TOP_SESSION_T *session, MOT_TOP_REQ_T *req,
                    MOC_OPTIONS_T *options) noexcept {
    return mow_web_normal_serve(session, req, options->no_header);
}

const MOC_CMD_DEF_T moap_web_cmds[] = {
    {"normal", 0, 0, moap_web_normal, "Pipes the web response to the stdout", "h"},
};

int moap_web_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype) noexcept {
    return moc_cmd_init_table(*stype, moap_web_cmds);
}

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

int out_of_memory(MOX_AUX_T *aux) noexcept {
    aux->error->report(aux->error, "Out of memory\n");
    return 1;
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

// The arguments from `from` on, each after "&" and URL-escaped again, since they were decoded when
// the request was read: a decoded "&" or quote must not become a new argument or leave an attribute.
std::string joined_args(MOT_TOP_ARG_LIST_T *from) {
    std::string text;
    for (MOT_TOP_ARG_LIST_T *a = from; a != nullptr; a = a->next) {
        text += '&';
        text += mow_web_util_escape_url(text_of(a->val));
    }
    return text;
}

MOT_TOP_ARG_LIST_T *current_arg(MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    return arg_list_ptr != nullptr ? *arg_list_ptr : nullptr;
}

// The directory type at the current position, which every frame page needs.
int need_dir_type(MOX_AUX_T *aux, MOT_TOP_ARG_LIST_T **arg_list_ptr, const char **dir_type) noexcept {
    MOT_TOP_ARG_LIST_T *arg = current_arg(arg_list_ptr);
    if (arg == nullptr || arg->val == nullptr || !mow_web_util_word_ok(arg->val)) {
        aux->error->report(aux->error, "Can't find any dir_type argument\n");
        return 1;
    }
    *dir_type = arg->val;
    return 0;
}

MODI_DIR_T *dir_list_of(MOX_AUX_T *aux) noexcept {
    return aux->web != nullptr ? aux->web->dir_list : nullptr;
}

// ---------------------------------------------------------------- frame guard

// A "nav" or "content" page opened as the top window loads the frameset around itself instead.
int frame_guard(MOOU_OUT_DEF_T *out_def, const char *frame_text) noexcept {
    return out_def->line_fn(
        out_def,
        "<script language=\"javascript\" type=\"text/javascript\">\n"
        "<!--\n"
        "function reloadFrame() {\n"
        "    if (top == self) {\n"
        "        var here = location.href;\n"
        "        var guard = /\\?%s&[^&]&/;\n"
        "        if (guard.test(here)) location.replace(here.replace(guard, \"?top&frames&R&\"));\n"
        "    }\n"
        "}\n"
        "// -->\n"
        "</script>\n",
        frame_text);
}

// ---------------------------------------------------------------- "frames"

int frame_address(MOX_AUX_T *aux, const char *frame, const std::string &args, std::string &address) {
    address = std::string(aux->setup->httpd_script_main_loc) + "?" + frame + "&" + frame + "&" +
              mow_web_util_escape_url(text_of(aux->web->trail_op)) + args;
    return 0;
}

int frames_start(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                 MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    const char *dir_type = nullptr;
    int ret = need_dir_type(aux, arg_list_ptr, &dir_type);
    if (ret != 0)
        return ret;
    std::string nav, dir, content;
    try {
        std::string args = joined_args(current_arg(arg_list_ptr));
        frame_address(aux, "nav", args, nav);
        frame_address(aux, "dir", args, dir);
        frame_address(aux, "content", args, content);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    ret = mow_web_header_frame(aux, out_def, "list", aux->web->trail_op, req->out_cookie, arg_list_ptr);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "    <FRAMESET COLS=\"*\" ROWS=\"130,*\" FRAMEBORDER=\"NO\" BORDER=\"0\" "
                               "FRAMESPACING=\"0\" onResize =\"if (NETSCAPE) restore();\"> \n");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "  <FRAME SRC=\"%s\" NAME=\"nav\" SCROLLING=\"NO\" MARGINWIDTH=\"0\" "
                               "MARGINHEIGHT=\"0\" NORESIZE FRAMEBORDER=\"NO\">\n",
                               nav.c_str());
    if (ret == 0)
        ret = out_def->line_fn(
            out_def,
            "  <FRAMESET COLS=\"200,*\" ROWS=\"*\" FRAMEBORDER=\"NO\" BORDER=\"0\" FRAMESPACING=\"0\"> \n");
    if (ret == 0)
        ret = out_def->line_fn(
            out_def,
            "    <FRAME SRC=\"%s\" NAME=\"dir\" MARGINWIDTH=\"0\" MARGINHEIGHT=\"0\" FRAMEBORDER=\"NO\">\n",
            dir.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "    <FRAME SRC=\"%s\" NAME=\"content\" MARGINWIDTH=\"0\" MARGINHEIGHT=\"0\" "
                               "FRAMEBORDER=\"NO\">\n",
                               content.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "  </FRAMESET>\n</FRAMESET>\n<NOFRAMES>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BODY BGCOLOR=%s LINK=Black VLINK=Black ALINK=Black>\n",
                               MOW_PAGE_COLOR);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</BODY></NOFRAMES>\n");
    return ret;
}

int frames_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
               MOT_TOP_ARG_LIST_T **) noexcept {
    return mow_web_footer_frame(aux, out_def);
}

// ---------------------------------------------------------------- "nav"

int nav_start(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
              MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret = mow_web_header_blank(aux, out_def, "list", "onLoad=\"reloadFrame();\"", aux->web->trail_op,
                                   req->out_cookie, arg_list_ptr);
    if (ret == 0)
        ret = frame_guard(out_def, "nav&nav");
    if (ret == 0)
        ret = mow_web_new_window_script(aux, out_def);
    const char *dir_type = nullptr;
    if (ret == 0)
        ret = need_dir_type(aux, arg_list_ptr, &dir_type);
    if (ret == 0)
        ret = moap_web_topnav(aux, out_def);
    if (ret == 0)
        ret = moap_web_hotlink_bar(aux, out_def);
    return ret;
}

int nav_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
            MOT_TOP_ARG_LIST_T **) noexcept {
    int ret = mow_web_insert_warning(aux, out_def, aux->error->warning_msg);
    if (ret == 0)
        ret = mow_web_footer_blank(aux, out_def);
    return ret;
}

// ---------------------------------------------------------------- "dir"

// The left column gets a page of its own, so that it is sent as HTML like any other frame.
int dir_start(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
              MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    const char *dir_type = nullptr;
    MODI_DIR_T *dir = nullptr;
    int ret = need_dir_type(aux, arg_list_ptr, &dir_type);
    if (ret == 0)
        ret = modi_find_dir_type(dir_list_of(aux), aux, dir_type, &dir);
    if (ret == 0)
        ret =
            mow_web_header_blank(aux, out_def, "list", "", aux->web->trail_op, req->out_cookie, arg_list_ptr);
    if (ret == 0) {
        ret = dir->service_fn(stype_list, aux, out_def, req, arg_list_ptr);
        if (ret != 0)
            aux->error->report(aux->error, "Failure occurred during the dir_type (%s) service command\n",
                               dir_type);
    }
    return ret;
}

int dir_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
            MOT_TOP_ARG_LIST_T **) noexcept {
    return mow_web_footer_blank(aux, out_def);
}

// ---------------------------------------------------------------- "content"

int content_start(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                  MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret = mow_web_header_blank(
        aux, out_def, "list",
        "onLoad=\"reloadFrame(); if (typeof(picker_reset) != 'undefined') {picker_reset();}\"",
        aux->web->trail_op, req->out_cookie, arg_list_ptr);
    if (ret == 0)
        ret = frame_guard(out_def, "content&content");
    if (ret == 0)
        ret = mow_web_new_window_script(aux, out_def);
    if (ret == 0)
        ret = mow_web_parse_operation_web_arg(aux, out_def, stype_list, req, arg_list_ptr);
    return ret;
}

int content_footer(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept {
    if (!out_def->web_header_done)
        return 0;
    int ret = out_def->line_fn(
        out_def, "<HR>\n<DIV>\n<CENTER CLASS=FOOTER>\nFor help send email to <A HREF=\"mailto:");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, aux->setup->server_help_email);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\"> ");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, aux->setup->server_help_email);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</A>.\n</CENTER>\n</DIV>\n</BODY></HTML>\n");
    out_def->web_header_done = FALSE;
    return ret;
}

bool form_posted(MOT_TOP_REQ_T *req) noexcept {
    return req != nullptr && req->results_ref != nullptr && req->results_ref[0].name != nullptr;
}

// A page that was served becomes the tab's last place. The arguments after frame, display and trail
// are the place; a posted form is no place to come back to.
int record_last(MOX_AUX_T *aux, MOT_TOP_REQ_T *req) noexcept {
    if (form_posted(req))
        return 0;
    MOT_TOP_ARG_LIST_T *place = req->initial_arg_list;
    for (int i = 0; i < 3 && place != nullptr; i++)
        place = place->next;
    if (place == nullptr)
        return 0;
    // The command follows the tab, the index, list and row ids and the stype. A creation step ("new",
    // "new_folder2", "new_object2") makes a row: replayed by the tab link it would open a new form
    // in place of the folder, so the tab keeps the place it had.
    MOT_TOP_ARG_LIST_T *command = place;
    for (int i = 0; i < 5 && command != nullptr; i++)
        command = command->next;
    if (command != nullptr && strncmp(text_of(command->val), "new", 3) == 0)
        return 0;
    try {
        std::string text = joined_args(place);
        return modi_dir_record_last(aux, place->val, text.c_str());
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
}

int content_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                MOT_TOP_ARG_LIST_T **) noexcept {
    int ret = content_footer(aux, out_def);
    if (ret == 0)
        ret = record_last(aux, req);
    return ret;
}

// ---------------------------------------------------------------- "blank" and "none"

int blank_start(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret =
        mow_web_header_blank(aux, out_def, "list", "", aux->web->trail_op, req->out_cookie, arg_list_ptr);
    if (ret == 0)
        ret = mow_web_new_window_script(aux, out_def);
    if (ret == 0)
        ret = mow_web_parse_operation_web_arg(aux, out_def, stype_list, req, arg_list_ptr);
    return ret;
}

int blank_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
              MOT_TOP_ARG_LIST_T **) noexcept {
    return mow_web_footer_blank(aux, out_def);
}

int none_start(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
               MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    return mow_web_parse_operation_web_arg(aux, out_def, stype_list, req, arg_list_ptr);
}

struct MOAP_DISPLAY_DEF_T {
    const char *name;                  // display argument
    mot_display_service_fn_t start_fn; // page start and the operation
    mot_display_service_fn_t end_fn;   // page end
};

const MOAP_DISPLAY_DEF_T moap_web_displays[] = {
    {"dir", dir_start, dir_end},          {"nav", nav_start, nav_end},
    {"none", none_start, nullptr},        {"blank", blank_start, blank_end},
    {"frames", frames_start, frames_end}, {"content", content_start, content_end},
};

// What the list pages ask of the web front end: the current frame and directory type of the request.
const char *moap_web_current_frame(MOTSL_WEB_HOOKS_T *hooks) noexcept {
    MOW_WEB_T *web = static_cast<MOX_AUX_T *>(hooks->ref)->web;
    return web != nullptr ? web->frame : "";
}

const char *moap_web_current_dir_type(MOTSL_WEB_HOOKS_T *hooks) noexcept {
    MOW_WEB_T *web = static_cast<MOX_AUX_T *>(hooks->ref)->web;
    return web != nullptr ? web->dir_type : "";
}

int moap_web_install_list_hooks(MOX_AUX_T *aux) noexcept {
    void *pool = aux->mem->session_pool_ref;
    int ret = 0;
    if (aux->list_hooks == nullptr)
        ret = mome_new(aux->mem, pool, &aux->list_hooks);
    MOTSL_WEB_HOOKS_T *web = nullptr;
    if (ret == 0)
        ret = mome_new(aux->mem, pool, &web);
    if (ret != 0)
        return ret;
    *web = MOTSL_WEB_HOOKS_T{
        .ref = aux, .current_frame = moap_web_current_frame, .current_dir_type = moap_web_current_dir_type};
    aux->list_hooks->web = web;
    return 0;
}

// The maker's address with its placeholders filled in; empty unless it may be a link.
std::string company_address(MOX_AUX_T *aux) {
    MOST_SETUP_T *setup = aux->setup;
    const char *url = text_of(setup->company_ws_url);
    std::string filled = setup->parse_url != nullptr ? text_of(setup->parse_url(setup, url)) : url;
    return mowsl_link_value_ok(filled.c_str()) ? filled : std::string();
}

} // namespace

void moap_web_set_search_box(moap_web_search_box_fn_t search_box) noexcept {
    moap_web_search_box = search_box;
}

int moap_web_topnav(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept {
    MOST_SETUP_T *setup = aux->setup;
    std::string company;
    mo_filename_t banner;
    bool has_banner = false;
    try {
        company = html(company_address(aux).c_str());
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    int n = snprintf(banner, sizeof(banner), "%s/user_banner/my_logo.gif", setup->user_image_dir);
    has_banner = n > 0 && n < static_cast<int>(sizeof(banner)) && aux->file->exists(aux->file, banner);

    int ret = out_def->line_fn(out_def,
                               "<TABLE WIDTH=100%% BORDER=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\"><TR>\n"
                               "<TD ALIGN=LEFT VALIGN=MIDDLE NOWRAP>");
    if (ret == 0 && !company.empty())
        ret = out_def->line_fn(out_def, "<A TARGET=\"_blank\" HREF=\"%s\">", company.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<IMG BORDER=0 %s ALT=\"\">",
                               mow_web_get_image_location(aux, "/icons/prod_logo.gif"));
    if (ret == 0 && !company.empty())
        ret = out_def->line_fn(out_def, "</A>");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n<TD ALIGN=LEFT VALIGN=MIDDLE NOWRAP WIDTH=\"100%%\">");
    if (ret == 0 && has_banner) {
        ret = out_def->line_fn(out_def, "<IMG BORDER=0 %s ALT=\"\">",
                               mow_web_get_image_location(aux, "/icons/powering.gif"));
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<IMG BORDER=0 %s ALT=\"\">",
                                   mow_web_get_image_location(aux, "/user_banner/my_logo.gif"));
    }
    for (int i = 0; ret == 0 && !has_banner && i < 2; i++)
        ret = out_def->line_fn(out_def, "<IMG BORDER=0 %s WIDTH=10 HEIGHT=1 ALT=\"\">",
                               mow_web_get_image_location(aux, "/bullets/blank.gif"));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n<TD ALIGN=RIGHT VALIGN=MIDDLE NOWRAP>");
    if (ret == 0 && moap_web_search_box != nullptr)
        ret = moap_web_search_box(aux, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "&nbsp;</TD>\n</TR>\n<TR><TD COLSPAN=3><IMG BORDER=0 %s WIDTH=1 HEIGHT=4 "
                               "ALT=\"\"></TD></TR>\n</TABLE>\n",
                               mow_web_get_image_location(aux, "/bullets/blank.gif"));
    return ret;
}

int moap_web_hotlink_bar(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept {
    MOST_SETUP_T *setup = aux->setup;
    MODI_DIR_T *dir_list = dir_list_of(aux);
    MOA_ACCESS_T *access = aux->access;
    const char *full_name = "";
    int ret = 0;
    if (access != nullptr && access->current_user_id >= 0)
        ret = access->get_full_name(access, access->current_user_id, &full_name);
    if (ret != 0)
        return ret;
    std::string name, company, company_text;
    try {
        name = html(full_name);
        company = html(company_address(aux).c_str());
        company_text = html(setup->company_ws_text);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    ret =
        out_def->line_fn(out_def, "<TABLE CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<TR><TD><IMG BORDER=0 %s WIDTH=1 HEIGHT=%d ALT=\"\"></TD>\n"
                               "<TD COLSPAN=2 ALIGN=RIGHT VALIGN=BOTTOM>\n",
                               mow_web_get_image_location(aux, "/bullets/blank.gif"), MODI_TAB_HEIGHT);
    if (ret == 0)
        ret = modi_dir_hotlink_row(aux, dir_list, out_def, 1);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD></TR>\n<TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<TD  WIDTH=20%% VALIGN=MIDDLE BGCOLOR=%s CLASS=GenTitle NOWRAP><SPACER "
                               "TYPE=HORIZONTAL SIZE=10>Welcome <B>%s</B>\n",
                               MOW_TITLE_COLOR, name.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "&nbsp;<SPAN CLASS=SMALLEST><A TARGET=\"_top\" "
                               "HREF=\"%s?content&none&N&docs&0&0&0&about&logout\">logout</A></SPAN>\n",
                               setup->httpd_script_main_loc);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n<TD WIDTH=60%% ALIGN=LEFT VALIGN=BOTTOM>\n");
    if (ret == 0)
        ret = modi_dir_hotlink_row(aux, dir_list, out_def, 0);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n<TD ALIGN=RIGHT VALIGN=MIDDLE NOWRAP>");
    if (ret == 0 && !company.empty())
        ret = out_def->line_fn(out_def,
                               " <SPAN CLASS=SMALLEST><A TARGET=\"_blank\" HREF=\"%s\"><FONT "
                               "COLOR=\"Black\">%s</FONT></A>&nbsp;</SPAN>\n",
                               company.c_str(), company_text.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n</TR>\n</TABLE>\n");
    return ret;
}

int moap_web_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOX_AUX_T *aux = session->aux;
    int ret = moc_cmd_register_type(session, "web", 1, "The web interface", moap_web_init_cmd);
    for (const MOAP_DISPLAY_DEF_T &d : moap_web_displays)
        if (ret == 0)
            ret = mot_display_cmd_register(&session->display_cmd_list, aux, aux->mem->session_pool_ref,
                                           d.name, d.start_fn, d.end_fn);
    if (ret == 0)
        ret = moap_web_install_list_hooks(aux);
    if (ret == 0)
        ret = modi_dir_construct(session);
    if (ret == 0)
        ret = moap_tab_construct(session);
    return ret;
}
