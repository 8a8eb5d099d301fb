// The "web" command type. Its operation `normal` answers one web request CGI-style: the request comes
// from the CGI environment and standard input, the page goes to standard output.
#include "apps/moap_web.h"
#include "entry/moc_cmd.h"
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

int moap_web_construct(MOT_TOP_SESSION_T *session) noexcept {
    return moc_cmd_register_type(session, "web", 1, "The web interface", moap_web_init_cmd);
}
