// The "index" command type. Index building and the search pages come with the search subsystem;
// until then its operations report that they are not available.
#include "apps/moap_search.h"
#include "entry/moc_cmd.h"

static const MOC_CMD_DEF_T moap_search_cmds[] = {
    {"manual", 0, 0, moc_cmd_not_available, "Start Manual Index", "h"},
    {"auto", 1, 1, moc_cmd_not_available, "Auto Index", ""},
    {"check", 1, 2, moc_cmd_not_available, "Check Incremental Index List", ""},
};

static int moap_search_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype) noexcept {
    return moc_cmd_init_table(*stype, moap_search_cmds);
}

int moap_search_construct(MOT_TOP_SESSION_T *session) noexcept {
    return moc_cmd_register_type(session, "index", 1, "Commands to control the index update",
                                 moap_search_init_cmd);
}
