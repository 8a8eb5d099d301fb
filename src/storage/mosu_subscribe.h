// A user's subscriptions to folder items: per item a stored choice (0 follow the parent, 1 subscribed
// here, 2 unsubscribed here) in "<user_default_dir>/subscribe/<user id>". The effective value of an
// item (1, 2, 4 subscribed through an ancestor or by default, 5 unsubscribed through an ancestor) is
// found by walking up the folder tree.
#pragma once
#include "mo_std.h"

#define MOSU_LOCK_DESCRIPTION "Subscribe File Lock"
#define MOSU_KEYWORDS 2
#define MOSU_MAIL_NEW_IF_SUBSCRIBED 3     // "New Document" mail option "Mail If Subscribed"
#define MOSU_MAIL_CHECKIN_IF_SUBSCRIBED 5 // "Document Checkin" mail option "Mail If Subscribed"
#define MOSU_MAX_DEPTH 10000              // a deeper parent chain can only be a loop

struct MOK_DATA_RECORD_T;

struct MOSU_SUBSCRIBE_INFO_T {
    int id;    // "ID": folder item id
    int value; // "VALUE": 0 follow the parent, 1 subscribed here, 2 unsubscribed here
};
typedef struct MOSU_SUBSCRIBE_INFO_T mosu_subscribe_info_t;

struct MOSU_SUBSCRIBE_T {
    MOK_DATA_RECORD_T *data_record; // chain of MOSU_SUBSCRIBE_INFO_T, NULL when the user has no file
    mo_filename_t filename;         // the user's subscription file
    MOX_AUX_T *aux;                 // the service bundle
    void *pool_ref;                 // the request pool
    int user_id;                    // whose subscriptions
};

// Gives the parent folder item of an item (0 at the top).
typedef int (*mosu_parent_fn_t)(void *parent_ref, int item_id, int *parent_id_ptr) noexcept;

// Loads the user's subscriptions when one of the two mail options asks for mail on subscribed items;
// otherwise *sub_ptr stays NULL.
int mosu_subscribe_new_user(MOSU_SUBSCRIBE_T **sub_ptr, MOX_AUX_T *aux, int user_id, int mail_new,
                            int mail_checkin) noexcept;
// The effective value (1, 2, 4 or 5) of a folder item.
int mosu_subscribe_get_value_by(MOSU_SUBSCRIBE_T *sub, int item_id, mosu_parent_fn_t parent_fn,
                                void *parent_ref, int *value_ptr) noexcept;
// Flips the stored choice of a folder item and saves the file.
int mosu_subscribe_toggle_by(MOSU_SUBSCRIBE_T *sub, int item_id, mosu_parent_fn_t parent_fn,
                             void *parent_ref) noexcept;
// Icon and hover text of an effective value.
int mosu_subscribe_get_image(MOSU_SUBSCRIBE_T *sub, int value, const char **image_ptr,
                             const char **text_ptr) noexcept;

MOSU_SUBSCRIBE_INFO_T *mosu_subscribe_get_id(MOSU_SUBSCRIBE_T *sub, int item_id) noexcept;
int mosu_subscribe_write(MOSU_SUBSCRIBE_T *sub) noexcept;
int mosu_subscribe_file_lock(MOX_AUX_T *aux, int lock_type, const char *filename) noexcept;
