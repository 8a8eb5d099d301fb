// The "web" command type. Its operation `normal` answers one web request CGI-style: the request comes
// from the CGI environment and standard input, the page goes to standard output.
//
// Also the display commands that show an operation's page: "content" (a page of the content frame),
// "blank" (a page of its own, such as a pop-up window) and "none" (an operation that writes its own
// answer). These are the plain forms that serve pages by their addresses; the frameset, the tab bar
// and the directory column join them with the folder tree.
#include "apps/moap_web.h"
#include "apps/moap_tab.h"
#include "entry/moc_cmd.h"
#include "entry/mox_aux.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mof_file_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

// The header option asks for the CGI header lines before the page.
static int moap_web_normal(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *, MOT_TOP_SESSION_T *session,
                           MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept {
    return mow_web_normal_serve(session, req, options->no_header);
}

static const MOC_CMD_DEF_T moap_web_cmds[] = {
    {"normal", 0, 0, moap_web_normal, "Pipes the web response to the stdout", "h"},
};

static int moap_web_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype) noexcept {
    return moc_cmd_init_table(*stype, moap_web_cmds);
}

// ---- display commands

static int moap_web_content_start(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def,
                                  MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret = mow_web_header_blank(aux, out_def, "list",
                                   "onLoad=\"if (typeof(picker_reset) != 'undefined') {picker_reset();}\"",
                                   aux->web->trail_op, req->out_cookie, arg_list_ptr);
    if (ret == 0)
        ret = mow_web_new_window_script(aux, out_def);
    if (ret == 0)
        ret = mow_web_parse_operation_web_arg(aux, out_def, stype_list, req, arg_list_ptr);
    return ret;
}

static int moap_web_content_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                                MOT_TOP_ARG_LIST_T **) noexcept {
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

static int moap_web_blank_start(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def,
                                MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret =
        mow_web_header_blank(aux, out_def, "list", "", aux->web->trail_op, req->out_cookie, arg_list_ptr);
    if (ret == 0)
        ret = mow_web_new_window_script(aux, out_def);
    if (ret == 0)
        ret = mow_web_parse_operation_web_arg(aux, out_def, stype_list, req, arg_list_ptr);
    return ret;
}

static int moap_web_blank_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                              MOT_TOP_ARG_LIST_T **) noexcept {
    return mow_web_footer_blank(aux, out_def);
}

static int moap_web_none_start(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def,
                               MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    return mow_web_parse_operation_web_arg(aux, out_def, stype_list, req, arg_list_ptr);
}

struct MOAP_DISPLAY_DEF_T {
    const char *name;                  // display argument
    mot_display_service_fn_t start_fn; // page start and the operation
    mot_display_service_fn_t end_fn;   // page end
};

static const MOAP_DISPLAY_DEF_T moap_web_displays[] = {
    {"none", moap_web_none_start, nullptr},
    {"blank", moap_web_blank_start, moap_web_blank_end},
    {"content", moap_web_content_start, moap_web_content_end},
};

// What the list pages ask of the web front end: the current frame and directory type of the request.
static const char *moap_web_current_frame(MOTSL_WEB_HOOKS_T *hooks) noexcept {
    MOW_WEB_T *web = static_cast<MOX_AUX_T *>(hooks->ref)->web;
    return web != nullptr ? web->frame : "";
}

static const char *moap_web_current_dir_type(MOTSL_WEB_HOOKS_T *hooks) noexcept {
    MOW_WEB_T *web = static_cast<MOX_AUX_T *>(hooks->ref)->web;
    return web != nullptr ? web->dir_type : "";
}

static int moap_web_install_list_hooks(MOX_AUX_T *aux) noexcept {
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
        ret = moap_tab_construct(session);
    return ret;
}
