// The "pop" command type. The mailbox reader comes with the mail subsystem; until then its
// operations report that they are not available.
#include "apps/moap_pop.h"
#include "entry/moc_cmd.h"

static int moap_pop_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype) noexcept {
    int ret = moc_cmd_init_storage(*stype);
    if (ret == 0)
        ret = moc_cmd_register(*stype, "parse", 0, 0, moc_cmd_not_available,
                               "Parses the pop account and distributes to Mail Groups", "");
    if (ret == 0)
        ret = moc_cmd_register(*stype, "test", 0, 0, moc_cmd_not_available, "Test", "");
    if (ret == 0)
        ret = moc_cmd_register(*stype, "update", 0, 0, moc_cmd_not_available, "Test", "");
    return ret;
}

int moap_pop_construct(MOT_TOP_SESSION_T *session) noexcept {
    return moc_cmd_register_type(session, "pop", 1, "The pop interface", moap_pop_init_cmd);
}
