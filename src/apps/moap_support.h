// The support area: the batch-tool download page (open to the users the support access list names)
// and the buttons of the support tab's column (the download page and the setup's issue and feature
// addresses).
#pragma once
#include "mo_std.h"
#include "web/mow_web.h"

#define MOAP_SUPPORT_TOOL "kbatch"
#define MOAP_SUPPORT_MANUAL "man/kbatch_user_manual.pdf\" TARGET=\"_blank"

// One platform the batch tool is offered for.
struct MOAP_SUPPORT_BATCH_T {
    const char *platform; // what the row names
    const char *file;     // under the batch directory
};
typedef struct MOAP_SUPPORT_BATCH_T moap_support_batch_t;
extern const MOAP_SUPPORT_BATCH_T moap_support_batch_table[];

int moap_support_construct(MOT_TOP_SESSION_T *session) noexcept;

// "download" needs the support area's access.
int moap_support_download_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                                 mo_boolean_t *ok, const char **message) noexcept;
int moap_support_download_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
int moap_support_download_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                                  MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *arg_list) noexcept;
// The buttons of the support tab's column: "Batch/CLI Download", and a button to the setup's
// issue and feature addresses, each only when its address is set, opening in a new window.
int moap_support_buttons(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
