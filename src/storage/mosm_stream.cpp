// Number streams kept in keyword record files.
#include "storage/mosm_stream.h"
#include "platform/mof_file_cmn.h"
#include "storage/mok_key.h"
#include "daemon/molk_lock.h"
#include "platform/mome_mem_cmn.h"
#include "platform/moe_error_cmn.h"
#include "daemon/morq_req.h"
#include "platform/most_setup_cmn.h"
#include "entry/mox_aux.h"

#include <climits>
#include <cstddef>
#include <cstdio>

static int stream_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept {
    MOLK_LOCK_CALL_T *call = aux->req->lock_call;
    int status = 0;
    return call->file_lock(call, lock_type, filename, MOSM_LOCK_DESCRIPTION, &status);
}

int mosm_stream_set_filename(MOX_AUX_T *aux, int stream_id, char *filename) noexcept {
    int n = snprintf(filename, MO_FILENAME_LEN, "%s/dgen/stream/%d", aux->setup->lib_dir, stream_id);
    if (n < 0 || n >= MO_FILENAME_LEN) {
        // A cut name would point at another stream's file or at none.
        aux->error->report(aux->error, "Stream file name for stream %d is longer than %d characters\n",
                           stream_id, MO_FILENAME_LEN - 1);
        filename[0] = '\0';
        return 1;
    }
    return 0;
}

int mosm_stream_get_number(MOX_AUX_T *aux, int stream_id, int *number_ptr) noexcept {
    mo_filename_t filename;
    int ret = mosm_stream_set_filename(aux, stream_id, filename);
    if (ret != 0)
        return ret;
    mo_filename_t tmp_name;
    int n = snprintf(tmp_name, sizeof(tmp_name), "%s.tmp", filename);
    if (n < 0 || n >= MO_FILENAME_LEN) {
        aux->error->report(aux->error, "Stream file name for stream %d is longer than %d characters\n",
                           stream_id, MO_FILENAME_LEN - 5);
        return 1;
    }

    MOK_GEN_KEYWORD_T keywords[1];
    mok_load_keyword(&keywords[0], "ID", offsetof(MOSM_STREAM_INFO_T, last_stream_id), mok_init_integer,
                     mok_int_ref(0), mok_read_integer, mok_write_integer, mok_free_integer);

    ret = stream_lock(aux, MOLK_FILE_WRITE, filename);
    if (ret != 0)
        return ret;
    void *pool = aux->mem->req_pool_ref;
    MOK_DATA_RECORD_T *records = nullptr;
    ret = mok_read_keyword_list(aux, pool, filename, keywords, 1, &records, sizeof(MOSM_STREAM_INFO_T));
    if (ret != 0)
        return ret;
    MOSM_STREAM_INFO_T *info = static_cast<MOSM_STREAM_INFO_T *>(records->container);
    if (info->last_stream_id == INT_MAX) {
        // Going on would wrap round to numbers already handed out.
        aux->error->report(aux->error, "Number stream %d is exhausted\n", stream_id);
        mok_free_keyword_list(aux, pool, keywords, 1, records);
        stream_lock(aux, MOLK_FILE_WRITE_RELEASE, filename);
        return 1;
    }
    info->last_stream_id += 1;
    int number = info->last_stream_id;
    // The new count goes to the temporary file, which then replaces the stream file in one step: a
    // write that fails part-way leaves the last count in place, so no number is handed out twice.
    ret = mok_write_keyword_list(aux, pool, tmp_name, keywords, 1, records, sizeof(MOSM_STREAM_INFO_T));
    if (ret == 0)
        ret = aux->file->move_file(aux->file, filename, tmp_name);
    if (ret != 0) {
        aux->file->remove_file(aux->file, tmp_name);
        return ret;
    }
    ret = stream_lock(aux, MOLK_FILE_WRITE_RELEASE, filename);
    if (ret != 0)
        return ret;
    mok_free_keyword_list(aux, pool, keywords, 1, records);
    *number_ptr = number;
    return 0;
}
