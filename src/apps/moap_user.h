// The "user" example type: the site's own tab, whose page sends the browser to the address the setup
// names (USER_TAB_CONTENT_URL).
#pragma once
#include "mo_std.h"
#include "web/mow_web.h"

int moap_user_construct(MOT_TOP_SESSION_T *session) noexcept;

int moap_user_page_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
int moap_user_page_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                           MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *arg_list) noexcept;
