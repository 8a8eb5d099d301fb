// The "user" example type and its one command, "page".
#include "apps/moap_user.h"

#include "apps/moap_about.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/mowsl_web_stdlist.h"

namespace {

const MOAP_INFO_CMD_T user_cmds[] = {
    {"page", moap_user_page_call, mow_cmd_access_all, moap_user_page_service},
};

} // namespace

int moap_user_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    return moap_info_register(session, "user", 1, "User", "User ID Number", "User Data", "examples",
                              user_cmds, static_cast<int>(sizeof(user_cmds) / sizeof(user_cmds[0])), &stype);
}

int moap_user_page_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return moap_info_link(stype, "content", "A", "page", call_string);
}

int moap_user_page_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                           MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *url = aux->setup->user_tab_content_url != nullptr ? aux->setup->user_tab_content_url : "";
    // The address comes from the setup file; a script address would run in the user's session.
    if (url[0] == '\0' || !mowsl_link_value_ok(url)) {
        aux->error->report(aux->error, "The setup's USER_TAB_CONTENT_URL (%s) is not a web address\n", url);
        return 1;
    }
    return out_def->line_fn(
        out_def, " <script language=\"Javascript\"> \n<!-- \n      location='%s'; \n//--> \n</script> \n",
        mow_web_util_escape_javascript(url));
}
