// The "web" command type. Its operation pipes a web response to standard output; the web front end
// that produces it comes with a later subsystem, so the operation reports that it is not available.
#include "apps/moap_web.h"
#include "entry/moc_cmd.h"

static const MOC_CMD_DEF_T moap_web_cmds[] = {
    {"normal", 0, 0, moc_cmd_not_available, "Pipes the web response to the stdout", "h"},
};

static int moap_web_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype) noexcept {
    return moc_cmd_init_table(*stype, moap_web_cmds);
}

int moap_web_construct(MOT_TOP_SESSION_T *session) noexcept {
    return moc_cmd_register_type(session, "web", 1, "The web interface", moap_web_init_cmd);
}
