// The "pop" command type. The mailbox reader comes with the mail subsystem; until then its
// operations report that they are not available.
#include "apps/moap_pop.h"
#include "entry/moc_cmd.h"

static const MOC_CMD_DEF_T moap_pop_cmds[] = {
    {"parse", 0, 0, moc_cmd_not_available, "Parses the pop account and distributes to Mail Groups", ""},
    {"test", 0, 0, moc_cmd_not_available, "Test", ""},
    {"update", 0, 0, moc_cmd_not_available, "Test", ""},
};

static int moap_pop_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype) noexcept {
    return moc_cmd_init_table(*stype, moap_pop_cmds);
}

int moap_pop_construct(MOT_TOP_SESSION_T *session) noexcept {
    return moc_cmd_register_type(session, "pop", 1, "The pop interface", moap_pop_init_cmd);
}
