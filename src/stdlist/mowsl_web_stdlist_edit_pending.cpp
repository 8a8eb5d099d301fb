// Placeholders for the editing commands until the edit forms join this module: a list registers no
// edit, new or delete commands yet, and a posted delete is not taken by any picker. The file goes
// when mowsl_web_stdlist_edit.cpp defines these.
#include "stdlist/mowsl_web_stdlist.h"

int mowsl_edit_down_register(MOT_TOP_STYPE_T *, void *) noexcept {
    return 0;
}

int mowsl_new_down_register(MOT_TOP_STYPE_T *, void *, mow_web_access_fn_t) noexcept {
    return 0;
}

int mowsl_delete_service(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *, MOT_TOP_REQ_T *, mo_boolean_t *acted) noexcept {
    *acted = FALSE;
    return 0;
}
