// The small informational storage types that hold no rows of interest: their registration, and the
// "about" type with the About box (product, version and build, company, the maker's link, credits)
// and the logout command.
#pragma once
#include "mo_std.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

// One command of an informational type.
struct MOAP_INFO_CMD_T {
    const char *name;                // operation name
    mow_web_call_fn_t call_fn;       // its link
    mow_web_access_fn_t access_fn;   // who may run it
    mow_web_service_fn_t service_fn; // its page
};
typedef struct MOAP_INFO_CMD_T moap_info_cmd_t;

// Registers an informational type (open to everyone unless a command says otherwise) with its data
// file under the lib directory ("about", "examples") and its commands, which take no arguments.
int moap_info_register(MOT_TOP_SESSION_T *session, const char *name, int id, const char *help,
                       const char *lock_element_string, const char *lock_file_string, const char *data_dir,
                       const MOAP_INFO_CMD_T *cmds, int cmd_count, MOT_TOP_STYPE_T **stype) noexcept;
// Their initialise operation: consumes index, list, row and type, and refuses list id 0 for any type
// but the one itself ("Only certain stypes are allowed access with a 0 list_id\n").
int moap_info_init_stype(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                         MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
// A link to a command of such a type: "content"-frame link start, "&" and the command.
int moap_info_link(MOT_TOP_STYPE_T *stype, const char *display, const char *trail, const char *command,
                   char *link) noexcept;

int moap_about_construct(MOT_TOP_SESSION_T *session) noexcept;

int moap_about_view_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
int moap_about_logout_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
int moap_about_view_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                            MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *arg_list) noexcept;
// Logs the user out, then sends the browser to the start page.
int moap_about_logout_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                              MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *arg_list) noexcept;
