// Trails of visited pages, one file per user and frame (and display of the content and dir frames).
#include "storage/motr_trail.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "storage/mok_key.h"
#include "daemon/molk_lock.h"
#include "platform/mome_mem_cmn.h"
#include "daemon/morq_req.h"
#include "platform/most_setup_cmn.h"
#include "entry/mox_aux.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

static void trail_keywords(MOK_GEN_KEYWORD_T *keywords) noexcept {
    mok_load_keyword(&keywords[0], "FD", offsetof(MOTR_TRAIL_INFO_T, frame_display), mok_init_string, "",
                     mok_read_string, mok_write_string, mok_free_string);
    mok_load_keyword(&keywords[1], "TR", offsetof(MOTR_TRAIL_INFO_T, trail_content), mok_init_string, "",
                     mok_read_string, mok_write_string, mok_free_string);
}

int motr_trail_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept {
    MOLK_LOCK_CALL_T *call = aux->req->lock_call;
    int status = 0;
    return call->file_lock(call, lock_type, filename, MOTR_LOCK_DESCRIPTION, &status);
}

int motr_trail_set_filename(MOX_AUX_T *aux, int user_id, const char *frame, const char *display,
                            char *filename) noexcept {
    filename[0] = '\0';
    mo_boolean_t per_display = strcmp(frame, "content") == 0 || strcmp(frame, "dir") == 0;
    if (strchr(frame, '/') != nullptr || (per_display && strchr(display, '/') != nullptr)) {
        aux->error->report(aux->error, "Invalid frame %s or display %s for the trail\n", frame, display);
        return 1;
    }
    int n;
    if (per_display)
        n = snprintf(filename, MO_FILENAME_LEN, "%s/trail/%d/trail_%s_%s", aux->setup->user_default_dir,
                     user_id, frame, display);
    else
        n = snprintf(filename, MO_FILENAME_LEN, "%s/trail/%d/trail_%s", aux->setup->user_default_dir, user_id,
                     frame);
    if (n < 0 || n >= MO_FILENAME_LEN) {
        filename[0] = '\0';
        aux->error->report(aux->error, "Trail file name for frame %s is longer than %d characters\n", frame,
                           MO_FILENAME_LEN - 1);
        return 1;
    }
    return 0;
}

int motr_trail_read_file(MOX_AUX_T *aux, const char *filename, MOK_DATA_RECORD_T **trail_ptr) noexcept {
    *trail_ptr = nullptr;
    MOK_GEN_KEYWORD_T keywords[MOTR_KEYWORDS];
    trail_keywords(keywords);
    int ret = motr_trail_file_lock(aux, MOLK_FILE_READ, filename);
    if (ret != 0)
        return ret;
    MOK_DATA_RECORD_T *trail = nullptr;
    if (aux->file->exists(aux->file, filename)) {
        ret = mok_read_keyword_list(aux, aux->mem->req_pool_ref, filename, keywords, MOTR_KEYWORDS, &trail,
                                    sizeof(MOTR_TRAIL_INFO_T));
        if (ret != 0)
            return ret;
    }
    ret = motr_trail_file_lock(aux, MOLK_FILE_READ_RELEASE, filename);
    if (ret != 0)
        return ret;
    // An empty file reads as one record of defaults: that is no trail.
    if (trail != nullptr) {
        const MOTR_TRAIL_INFO_T *first = static_cast<const MOTR_TRAIL_INFO_T *>(trail->container);
        if (first->frame_display == nullptr || first->frame_display[0] == '\0')
            trail = nullptr;
    }
    *trail_ptr = trail;
    return 0;
}

int motr_trail_add_entry(MOX_AUX_T *aux, const char *frame, const char *display, const char *trail_string,
                         MOK_DATA_RECORD_T **trail_ptr) noexcept {
    mo_string_t frame_display;
    int n = snprintf(frame_display, sizeof(frame_display), "%s&%s", frame, display);
    // A value longer than a keyword line could hold would make the whole trail unreadable next time.
    if (n < 0 || n > MOK_STRING_MAX || strlen(trail_string) > MOK_STRING_MAX ||
        strchr(trail_string, '\n') != nullptr || strchr(frame_display, '\n') != nullptr) {
        aux->error->report(aux->error,
                           "Trail entry for %s&%s can't be stored: too long or holds a line end\n", frame,
                           display);
        return 1;
    }
    MOK_GEN_KEYWORD_T keywords[MOTR_KEYWORDS];
    trail_keywords(keywords);
    void *pool = aux->mem->req_pool_ref;
    MOK_DATA_RECORD_T *record = nullptr;
    int ret = mok_get_and_init_new_data_record(aux, pool, &record, keywords, MOTR_KEYWORDS,
                                               sizeof(MOTR_TRAIL_INFO_T));
    if (ret != 0)
        return ret;
    MOTR_TRAIL_INFO_T *info = static_cast<MOTR_TRAIL_INFO_T *>(record->container);
    ret = aux->mem->restore_string(aux->mem, pool, &info->frame_display, frame_display);
    if (ret != 0)
        return ret;
    ret = aux->mem->restore_string(aux->mem, pool, &info->trail_content, trail_string);
    if (ret != 0)
        return ret;
    record->next = *trail_ptr;
    *trail_ptr = record;
    return 0;
}

int motr_trail_del_entry(MOK_DATA_RECORD_T **trail_ptr) noexcept {
    if (*trail_ptr != nullptr)
        *trail_ptr = (*trail_ptr)->next;
    return 0;
}

int motr_trail_write_file(MOX_AUX_T *aux, const char *filename, MOK_DATA_RECORD_T *trail) noexcept {
    MOK_GEN_KEYWORD_T keywords[MOTR_KEYWORDS];
    trail_keywords(keywords);
    int ret = motr_trail_file_lock(aux, MOLK_FILE_WRITE, filename);
    if (ret != 0)
        return ret;
    MOF_FILE_T *file = aux->file;
    ret = file->check_file_dir(file, filename);
    if (ret != 0)
        return ret;
    if (trail == nullptr) {
        void *ref = nullptr;
        ret = file->open_file(file, filename, &ref, MOF_MODE_WRITE);
        if (ret != 0)
            return ret;
        ret = file->close_file(file, filename, ref);
    } else {
        ret = mok_write_keyword_list(aux, aux->mem->req_pool_ref, filename, keywords, MOTR_KEYWORDS, trail,
                                     sizeof(MOTR_TRAIL_INFO_T));
    }
    if (ret != 0)
        return ret;
    return motr_trail_file_lock(aux, MOLK_FILE_WRITE_RELEASE, filename);
}
