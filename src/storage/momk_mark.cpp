// Change marks on the lock daemon's modification numbers.
#include "storage/momk_mark.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/mox_aux.h"

static int mark_lock(MOX_AUX_T *aux, int lock_type, const char *filename, int *status_ptr) noexcept {
    MOLK_LOCK_CALL_T *call = aux->req->lock_call;
    return call->file_lock(call, lock_type, filename, MOMK_LOCK_DESCRIPTION, status_ptr);
}

int momk_mark_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept {
    int status = 0;
    return mark_lock(aux, lock_type, filename, &status);
}

int momk_mark_touch(MOX_AUX_T *aux, const char *filename) noexcept {
    return momk_mark_file_lock(aux, MOLK_FILE_MOD_RAISE, filename);
}

int momk_mark_update_modtime(MOX_AUX_T *aux, const char *filename, int *stored_modtime_ptr) noexcept {
    int number = 0;
    int ret = mark_lock(aux, MOLK_FILE_MOD_GET, filename, &number);
    if (ret != 0)
        return ret;
    *stored_modtime_ptr = number;
    return 0;
}

int momk_mark_check_if_load_needed(MOX_AUX_T *aux, const char *filename, int stored_mod_time,
                                   mo_boolean_t *load) noexcept {
    if (*load)
        return 0;
    int current = 0;
    int ret = momk_mark_update_modtime(aux, filename, &current);
    if (ret != 0)
        return ret;
    if (current != stored_mod_time)
        *load = TRUE;
    return 0;
}
