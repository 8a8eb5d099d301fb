// The web commands of page storage types (motpg_page): the view of the one record with its title and
// button bar, its edit form, the pop-up of its advanced fields, and the save that takes the form in
// under the record's element lock and the file's write lock and answers with a reload page.
#pragma once
#include "mo_std.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "web/mow_web.h"

// Registers "view", "advanced_toggle", "edit_start", "edit_adv" and "edit_end" with the button
// writer mowpg_button_edit. The view commands take the access definition's view rule, the edit
// commands its edit rule.
int mowpg_applic_register_web_cmds(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;

// The image button "nav/edit.gif" ("Edit Row") to the edit form and, when `text` is given, the same
// link with that text.
int mowpg_insert_edit_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *text,
                             void *container) noexcept;
// The button bar of a page: back, the edit button on the view (display type 1) when the user may
// edit, and help.
int mowpg_button_edit(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                      void *data_record) noexcept;

// Saves the posted form into the record (nothing when the form's Cancel was pressed, then
// `*cancelled_result` is set) and gives every element lock of the user back on every path.
int mowpg_edit_end_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_POST_RESULTS_T *form,
                                 mo_boolean_t *cancelled_result) noexcept;
// The answer of a save or cancel: reload the window that opened the form and close, or go back to the
// user's last page, or else to the page's view.
int mowpg_reload(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;

#define MOWPG_DECLARE_CALL(name) int name(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
#define MOWPG_DECLARE_SERVICE(name)                                                                          \
    int name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd, MOT_TOP_REQ_T *req,    \
             MOT_TOP_ARG_LIST_T *arg_list) noexcept;
MOWPG_DECLARE_CALL(mowpg_view_call)
MOWPG_DECLARE_CALL(mowpg_edit_start_call)
MOWPG_DECLARE_CALL(mowpg_edit_adv_call)
MOWPG_DECLARE_CALL(mowpg_edit_end_call)
MOWPG_DECLARE_SERVICE(mowpg_view_service)
MOWPG_DECLARE_SERVICE(mowpg_edit_start_service)
MOWPG_DECLARE_SERVICE(mowpg_edit_adv_service)
MOWPG_DECLARE_SERVICE(mowpg_edit_end_service)
#undef MOWPG_DECLARE_CALL
#undef MOWPG_DECLARE_SERVICE
