// Subscriptions of a user to folder items.
#include "storage/mosu_subscribe.h"
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

static void subscribe_keywords(MOK_GEN_KEYWORD_T *keywords) noexcept {
    mok_load_keyword(&keywords[0], "ID", offsetof(MOSU_SUBSCRIBE_INFO_T, id), mok_init_integer,
                     mok_int_ref(0), mok_read_integer, mok_write_integer, mok_free_integer);
    mok_load_keyword(&keywords[1], "VALUE", offsetof(MOSU_SUBSCRIBE_INFO_T, value), mok_init_integer,
                     mok_int_ref(0), mok_read_integer, mok_write_integer, mok_free_integer);
}

int mosu_subscribe_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept {
    MOLK_LOCK_CALL_T *call = aux->req->lock_call;
    int status = 0;
    return call->file_lock(call, lock_type, filename, MOSU_LOCK_DESCRIPTION, &status);
}

// Reads the file into sub->data_record (NULL when there is no file); the caller holds a lock.
static int read_chain(MOSU_SUBSCRIBE_T *sub) noexcept {
    MOX_AUX_T *aux = sub->aux;
    sub->data_record = nullptr;
    if (!aux->file->exists(aux->file, sub->filename))
        return 0;
    MOK_GEN_KEYWORD_T keywords[MOSU_KEYWORDS];
    subscribe_keywords(keywords);
    return mok_read_keyword_list(aux, sub->pool_ref, sub->filename, keywords, MOSU_KEYWORDS,
                                 &sub->data_record, sizeof(MOSU_SUBSCRIBE_INFO_T));
}

// Writes sub->data_record; the caller holds the write lock.
static int write_chain(MOSU_SUBSCRIBE_T *sub) noexcept {
    MOX_AUX_T *aux = sub->aux;
    MOK_GEN_KEYWORD_T keywords[MOSU_KEYWORDS];
    subscribe_keywords(keywords);
    int ret = aux->file->check_file_dir(aux->file, sub->filename);
    if (ret != 0)
        return ret;
    return mok_write_keyword_list(aux, sub->pool_ref, sub->filename, keywords, MOSU_KEYWORDS,
                                  sub->data_record, sizeof(MOSU_SUBSCRIBE_INFO_T));
}

int mosu_subscribe_new_user(MOSU_SUBSCRIBE_T **sub_ptr, MOX_AUX_T *aux, int user_id, int mail_new,
                            int mail_checkin) noexcept {
    *sub_ptr = nullptr;
    if (mail_new != MOSU_MAIL_NEW_IF_SUBSCRIBED && mail_checkin != MOSU_MAIL_CHECKIN_IF_SUBSCRIBED)
        return 0;
    MOSU_SUBSCRIBE_T *sub = nullptr;
    void *pool = aux->mem->req_pool_ref;
    int ret = mome_new(aux->mem, pool, &sub);
    if (ret != 0)
        return ret;
    sub->aux = aux;
    sub->pool_ref = pool;
    sub->user_id = user_id;
    sub->data_record = nullptr;
    int n = snprintf(sub->filename, sizeof(sub->filename), "%s/subscribe/%d", aux->setup->user_default_dir,
                     user_id);
    if (n < 0 || n >= static_cast<int>(sizeof(sub->filename))) {
        aux->error->report(aux->error, "Subscription file name for user %d is longer than %d characters\n",
                           user_id, MO_FILENAME_LEN - 1);
        return 1;
    }
    ret = mosu_subscribe_file_lock(aux, MOLK_FILE_READ, sub->filename);
    if (ret != 0)
        return ret;
    ret = read_chain(sub);
    if (ret != 0)
        return ret;
    ret = mosu_subscribe_file_lock(aux, MOLK_FILE_READ_RELEASE, sub->filename);
    if (ret != 0)
        return ret;
    *sub_ptr = sub;
    return 0;
}

MOSU_SUBSCRIBE_INFO_T *mosu_subscribe_get_id(MOSU_SUBSCRIBE_T *sub, int item_id) noexcept {
    for (MOK_DATA_RECORD_T *r = sub->data_record; r != nullptr; r = r->next) {
        MOSU_SUBSCRIBE_INFO_T *info = static_cast<MOSU_SUBSCRIBE_INFO_T *>(r->container);
        if (info->id == item_id)
            return info;
    }
    return nullptr;
}

int mosu_subscribe_get_value_by(MOSU_SUBSCRIBE_T *sub, int item_id, mosu_parent_fn_t parent_fn,
                                void *parent_ref, int *value_ptr) noexcept {
    int value = 4;
    int id = item_id;
    // A damaged folder tree whose parents loop would otherwise hold the request forever.
    for (int depth = 0; id != 0; ++depth) {
        if (depth >= MOSU_MAX_DEPTH) {
            sub->aux->error->report(sub->aux->error, "The parents of folder item %d form a loop\n", item_id);
            return 1;
        }
        const MOSU_SUBSCRIBE_INFO_T *info = mosu_subscribe_get_id(sub, id);
        if (info != nullptr && (info->value == 1 || info->value == 2)) {
            if (id == item_id)
                value = info->value;
            else
                value = info->value == 1 ? 4 : 5;
            break;
        }
        int parent = 0;
        int ret = parent_fn(parent_ref, id, &parent);
        if (ret != 0)
            return ret;
        id = parent;
    }
    *value_ptr = value;
    return 0;
}

int mosu_subscribe_toggle_by(MOSU_SUBSCRIBE_T *sub, int item_id, mosu_parent_fn_t parent_fn,
                             void *parent_ref) noexcept {
    MOX_AUX_T *aux = sub->aux;
    // Take the write lock first and read again, so that a toggle made meanwhile by another request
    // of the same user is kept rather than overwritten by this one's stale copy.
    int ret = mosu_subscribe_file_lock(aux, MOLK_FILE_WRITE, sub->filename);
    if (ret != 0)
        return ret;
    ret = read_chain(sub);
    if (ret != 0)
        return ret;
    int effective = 0;
    ret = mosu_subscribe_get_value_by(sub, item_id, parent_fn, parent_ref, &effective);
    if (ret != 0)
        return ret;
    MOSU_SUBSCRIBE_INFO_T *info = mosu_subscribe_get_id(sub, item_id);
    if (info != nullptr) {
        if (info->value == 0)
            info->value = effective == 4 ? 2 : (effective == 5 ? 1 : 0);
        else
            info->value = 0;
    } else {
        MOK_GEN_KEYWORD_T keywords[MOSU_KEYWORDS];
        subscribe_keywords(keywords);
        MOK_DATA_RECORD_T *record = nullptr;
        ret = mok_get_and_init_new_data_record(aux, sub->pool_ref, &record, keywords, MOSU_KEYWORDS,
                                               sizeof(MOSU_SUBSCRIBE_INFO_T));
        if (ret != 0)
            return ret;
        MOSU_SUBSCRIBE_INFO_T *added = static_cast<MOSU_SUBSCRIBE_INFO_T *>(record->container);
        added->id = item_id;
        added->value = effective == 5 ? 1 : 2;
        MOK_DATA_RECORD_T **link = &sub->data_record;
        while (*link != nullptr)
            link = &(*link)->next;
        *link = record;
    }
    ret = write_chain(sub);
    if (ret != 0)
        return ret;
    return mosu_subscribe_file_lock(aux, MOLK_FILE_WRITE_RELEASE, sub->filename);
}

int mosu_subscribe_write(MOSU_SUBSCRIBE_T *sub) noexcept {
    int ret = mosu_subscribe_file_lock(sub->aux, MOLK_FILE_WRITE, sub->filename);
    if (ret != 0)
        return ret;
    ret = write_chain(sub);
    if (ret != 0)
        return ret;
    return mosu_subscribe_file_lock(sub->aux, MOLK_FILE_WRITE_RELEASE, sub->filename);
}

int mosu_subscribe_get_image(MOSU_SUBSCRIBE_T *, int value, const char **image_ptr,
                             const char **text_ptr) noexcept {
    switch (value) {
        case 1:
            *image_ptr = "icons/letter_tick.gif";
            *text_ptr = "Click to revert back to parent value";
            break;
        case 2:
            *image_ptr = "icons/letter_cross.gif";
            *text_ptr = "Click to revert back to parent value";
            break;
        case 4:
            *image_ptr = "icons/letter.gif";
            *text_ptr = "Click to Unsubscribe";
            break;
        case 5:
            *image_ptr = "icons/letter_grey_cross.gif";
            *text_ptr = "Click to Subscribe";
            break;
        default:
            *image_ptr = "icons/letter.gif";
            *text_ptr = "Wrong value";
            break;
    }
    return 0;
}
