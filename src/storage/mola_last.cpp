// Last-visited links per user and tab.
#include "storage/mola_last.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "daemon/molk_lock.h"
#include "platform/mome_mem_cmn.h"
#include "daemon/morq_req.h"
#include "platform/most_setup_cmn.h"
#include "entry/mox_aux.h"

#include <cstdio>
#include <cstring>

int mola_last_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept {
    MOLK_LOCK_CALL_T *call = aux->req->lock_call;
    int status = 0;
    return call->file_lock(call, lock_type, filename, MOLA_LOCK_DESCRIPTION, &status);
}

int mola_last_set_filename(MOX_AUX_T *aux, int user_id, const char *tab_name, char *filename) noexcept {
    filename[0] = '\0';
    if (strchr(tab_name, '/') != nullptr) {
        aux->error->report(aux->error, "Invalid tab name %s for the last visited link\n", tab_name);
        return 1;
    }
    int n = snprintf(filename, MO_FILENAME_LEN, "%s/trail/%d/last_%s", aux->setup->user_default_dir, user_id,
                     tab_name);
    if (n < 0 || n >= MO_FILENAME_LEN) {
        filename[0] = '\0';
        aux->error->report(aux->error, "Last visited file name for tab %s is longer than %d characters\n",
                           tab_name, MO_FILENAME_LEN - 1);
        return 1;
    }
    return 0;
}

int mola_last_read_user(MOX_AUX_T *aux, int user_id, const char *tab_name, char **link_ptr) noexcept {
    *link_ptr = nullptr;
    mo_filename_t filename;
    int ret = mola_last_set_filename(aux, user_id, tab_name, filename);
    if (ret != 0)
        return ret;
    ret = mola_last_file_lock(aux, MOLK_FILE_READ, filename);
    if (ret != 0)
        return ret;
    MOF_FILE_T *file = aux->file;
    if (file->exists(file, filename)) {
        long size = 0;
        ret = file->get_size(file, filename, &size);
        if (ret != 0)
            return ret;
        char *buf = nullptr;
        ret = mome_new_array(aux->mem, aux->mem->req_pool_ref, &buf, static_cast<size_t>(size) + 1);
        if (ret != 0)
            return ret;
        void *ref = nullptr;
        ret = file->open_file(file, filename, &ref, MOF_MODE_READ);
        if (ret != 0)
            return ret;
        size_t count = 0;
        mo_boolean_t eof = FALSE;
        ret = file->read_buf(file, filename, ref, buf, static_cast<size_t>(size), &count, &eof);
        if (ret != 0) {
            file->close_file(file, filename, ref);
            return ret;
        }
        buf[count] = '\0';
        ret = file->close_file(file, filename, ref);
        if (ret != 0)
            return ret;
        *link_ptr = buf;
    }
    return mola_last_file_lock(aux, MOLK_FILE_READ_RELEASE, filename);
}

int mola_last_write_user(MOX_AUX_T *aux, int user_id, const char *tab_name, const char *link) noexcept {
    mo_filename_t filename;
    int ret = mola_last_set_filename(aux, user_id, tab_name, filename);
    if (ret != 0)
        return ret;
    ret = mola_last_file_lock(aux, MOLK_FILE_WRITE, filename);
    if (ret != 0)
        return ret;
    MOF_FILE_T *file = aux->file;
    ret = file->check_file_dir(file, filename);
    if (ret != 0)
        return ret;
    void *ref = nullptr;
    ret = file->open_file(file, filename, &ref, MOF_MODE_WRITE);
    if (ret != 0)
        return ret;
    ret = file->write_buf(file, filename, ref, link, strlen(link));
    if (ret != 0) {
        file->close_file(file, filename, ref);
        return ret;
    }
    ret = file->close_file(file, filename, ref);
    if (ret != 0)
        return ret;
    return mola_last_file_lock(aux, MOLK_FILE_WRITE_RELEASE, filename);
}
