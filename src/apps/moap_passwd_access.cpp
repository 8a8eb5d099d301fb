// The user half of the access service, and the initial administrator.
//
// The initial administrator (system id 1) is put back at the first read of the user file in every
// process: its name, its password (the setup's ADMIN_PASSWD, or a text no password matches when the
// key is empty) and its privilege cannot be lost by an edit. The file is written only when a value
// really changed, so that the processes do not rewrite it, and reload it, one after the other.
#include "apps/moap_passwd.h"
#include "apps/moa_access_cmn.h"
#include "apps/moap_groups.h"
#include "apps/mocr_crypt.h"
#include "daemon/molk_lock.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "storage/mok_key.h"
#include "storage/moil_idlist.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"

#include <cstring>

namespace {

// What the family remembers per session: whether this process has checked the system record.
struct PasswdState {
    mo_boolean_t system_checked; // done in this process
    mo_boolean_t checking;       // under way: reads inside the check are plain reads
};

int state_of(MOT_TOP_STYPE_T *stype, PasswdState **state) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (ks->ref == nullptr) {
        PasswdState *s = nullptr;
        ret = mome_new(stype->aux->mem, stype->keyword_storage->sub_pool_ref, &s);
        if (ret != 0)
            return ret;
        ks->ref = s;
    }
    *state = static_cast<PasswdState *>(ks->ref);
    return 0;
}

void *data_pool(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : stype->aux->mem->req_pool_ref;
}

int set_text(MOT_TOP_STYPE_T *stype, char **field, const char *value, mo_boolean_t *changed) noexcept {
    if (*field != nullptr && strcmp(*field, value) == 0)
        return 0;
    *changed = TRUE;
    MOME_MEM_T *mem = stype->aux->mem;
    return mem->store_string(mem, data_pool(stype), field, value);
}

void set_int(int32_t *field, int value, mo_boolean_t *changed) noexcept {
    if (*field != value) {
        *field = value;
        *changed = TRUE;
    }
}

// The stored text the setup imposes on the initial administrator.
const char *admin_passwd_text(MOX_AUX_T *aux) noexcept {
    const char *text = aux->setup->admin_passwd;
    if (text == nullptr || text[0] == '\0')
        return MOCR_LOCKED_PASSWD;
    if (!mocr_crypt_usable(text)) {
        aux->error->report_warning(
            aux->error, "ADMIN_PASSWD is not a password hash; the initial administrator stays locked\n");
        return MOCR_LOCKED_PASSWD;
    }
    return text;
}

// The user and group data are held as their storage cells: the cell carries the modification
// number the data was loaded at, and a reload within the request replaces what it points to.
MOTSL_DATASTRUCT_T *data_of(void *cell) noexcept {
    auto *c = static_cast<MOT_TOP_STORAGE_T *>(cell);
    return c != nullptr ? static_cast<MOTSL_DATASTRUCT_T *>(c->struct_ref) : nullptr;
}
MOTSL_DATASTRUCT_T *users_of(MOA_ACCESS_T *access) noexcept {
    return data_of(access->user_ref);
}

int no_users(MOA_ACCESS_T *access) noexcept {
    access->interm->error->report(access->interm->error, "The user list has not been read\n");
    return 1;
}

// A 64-bit mix of a loaded file's identity.
uint64_t mix(uint64_t h, uint64_t v) noexcept {
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    return h;
}
uint64_t identity_of(const MOTSL_DATASTRUCT_T *data) noexcept {
    if (data == nullptr)
        return 0;
    uint64_t h = mix(0, static_cast<uint64_t>(data->file_existed));
    h = mix(h, static_cast<uint64_t>(data->file_size));
    return mix(h, static_cast<uint64_t>(data->file_mtime));
}

// Reads the list named `name` of the session for this request (position 0); `*cell` is its storage.
int read_list(MOT_TOP_SESSION_T *session, const char *name, MOT_TOP_STORAGE_T **cell) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    MOTSL_DATASTRUCT_T *data = nullptr;
    *cell = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, name, &stype);
    if (ret == 0 && stype->filename == nullptr)
        ret = motsl_set_position(stype, 0, 0, 0);
    if (ret == 0 && stype->filename == nullptr)
        ret = stype->init_struct(stype, nullptr, FALSE);
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = motsl_get_datastruct(stype, name, &data);
    if (ret == 0)
        *cell = stype->data_storage;
    return ret;
}

} // namespace

int moap_passwd_check_system_record(MOT_TOP_STYPE_T *stype, const char *admin_passwd,
                                    mo_boolean_t *changed) noexcept {
    *changed = FALSE;
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the system record check", &data);
    if (ret != 0)
        return ret;
    MOAP_PASSWD_T *admin = nullptr;
    for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr && admin == nullptr; r = r->next)
        if (static_cast<MOAP_PASSWD_T *>(r->container)->sys_id == MOAP_PASSWD_SYS_ADMIN)
            admin = static_cast<MOAP_PASSWD_T *>(r->container);
    if (admin == nullptr) {
        MOK_DATA_RECORD_T *record = nullptr;
        ret = motsl_stdlist_append_new(stype, &record);
        if (ret != 0)
            return ret;
        admin = static_cast<MOAP_PASSWD_T *>(record->container);
        admin->sys_id = MOAP_PASSWD_SYS_ADMIN;
        *changed = TRUE;
    }
    ret = set_text(stype, &admin->full_name, "Initial Admin", changed);
    if (ret == 0)
        ret = set_text(stype, &admin->user_name, MOAP_PASSWD_ADMIN_NAME, changed);
    if (ret == 0)
        ret = set_text(stype, &admin->passwd, admin_passwd, changed);
    if (ret == 0)
        ret = set_text(stype, &admin->email, "", changed);
    if (ret != 0)
        return ret;
    set_int(&admin->privilege, MOAP_PM_ADMIN, changed);
    set_int(&admin->mail_new, 2, changed);
    set_int(&admin->mail_checkin, 3, changed);
    if (admin->groups != nullptr) {
        admin->groups = nullptr;
        *changed = TRUE;
    }
    return 0;
}

int moap_passwd_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    PasswdState *state = nullptr;
    int ret = state_of(stype, &state);
    if (ret != 0)
        return ret;
    if (state->system_checked || state->checking)
        return motsl_stdlist_read_data_no_default(stype, first);
    ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    state->checking = TRUE;
    mo_boolean_t changed = FALSE;
    ret = motsl_stdlist_read_data_no_default(stype, first);
    if (ret == 0)
        ret = moap_passwd_check_system_record(stype, admin_passwd_text(stype->aux), &changed);
    if (ret == 0 && changed)
        ret = stype->write_data(stype);
    state->checking = FALSE;
    int release = stype->lock_file(stype, MOLK_FILE_WRITE_RELEASE, nullptr);
    if (ret == 0)
        ret = release;
    if (ret != 0)
        return ret;
    state->system_checked = TRUE;
    // The id index was built before a record was added: it is built again over the chain.
    MOTSL_DATASTRUCT_T *data = nullptr;
    if (changed)
        ret = motsl_get_datastruct(stype, stype->name, &data);
    if (changed && ret == 0 && data->id_array != nullptr)
        ret = motc_init_id_array(stype->aux, data->id_array, data->data_record, offsetof(MOAP_PASSWD_T, id),
                                 data_pool(stype));
    if (ret == 0)
        *first = data != nullptr ? data->data_record : *first;
    return ret;
}

int moap_passwd_undelete_admin(MOX_AUX_T *aux, MOT_TOP_SESSION_T *session, mo_boolean_t *changed) noexcept {
    *changed = FALSE;
    MOT_TOP_STYPE_T *stype = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, aux, "passwd", &stype);
    if (ret == 0)
        ret = motsl_set_position(stype, 0, 0, 0);
    if (ret == 0)
        ret = stype->init_struct(stype, nullptr, FALSE);
    // The first read puts the administrator back (creating it if it is gone) under its own lock.
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret != 0)
        return ret;
    ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    ret = motsl_stdlist_read_data_no_default(stype, &first);
    for (MOK_DATA_RECORD_T *r = first; ret == 0 && r != nullptr; r = r->next) {
        auto *u = static_cast<MOAP_PASSWD_T *>(r->container);
        if (u->sys_id == MOAP_PASSWD_SYS_ADMIN && u->delete_status != 0) {
            u->delete_status = 0;
            *changed = TRUE;
        }
    }
    if (ret == 0 && *changed)
        ret = stype->write_data(stype);
    int release = stype->lock_file(stype, MOLK_FILE_WRITE_RELEASE, nullptr);
    return ret != 0 ? ret : release;
}

// ---- the access service

int moap_passwd_init_user_array(MOA_ACCESS_T *access, MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STORAGE_T *cell = nullptr;
    // A new request: nobody is logged in until its login check says so.
    access->current_user_id = -1;
    access->user_ref = nullptr;
    int ret = read_list(session, "passwd", &cell);
    if (ret == 0)
        access->user_ref = cell;
    return ret;
}

int moap_passwd_read_list(MOT_TOP_SESSION_T *session, const char *name, void **cell) noexcept {
    MOT_TOP_STORAGE_T *c = nullptr;
    int ret = read_list(session, name, &c);
    *cell = c;
    return ret;
}

int moap_passwd_get_user_data_props(MOA_ACCESS_T *access, int *max_num, int *user_mod, int *group_mod,
                                    uint64_t *identity) noexcept {
    MOTSL_DATASTRUCT_T *users = users_of(access);
    *max_num = 0;
    *user_mod = *group_mod = 0;
    *identity = 0;
    if (users == nullptr)
        return no_users(access);
    *max_num = users->id_array != nullptr ? users->id_array->max_id : 0;
    *user_mod = static_cast<MOT_TOP_STORAGE_T *>(access->user_ref)->mod_time;
    if (access->group_ref != nullptr)
        *group_mod = static_cast<MOT_TOP_STORAGE_T *>(access->group_ref)->mod_time;
    *identity = mix(identity_of(users), identity_of(data_of(access->group_ref)));
    return 0;
}

int moap_passwd_find_user(MOA_ACCESS_T *access, int user_id, MOAP_PASSWD_T **user) noexcept {
    *user = nullptr;
    MOTSL_DATASTRUCT_T *users = users_of(access);
    if (users == nullptr)
        return no_users(access);
    void *container = nullptr;
    if (motc_get_container_from_id_array(users->id_array, user_id, &container) != 0) {
        access->interm->error->report(access->interm->error, "Can't find user id %d in the passwd list\n",
                                      user_id);
        return 1;
    }
    *user = static_cast<MOAP_PASSWD_T *>(container);
    return 0;
}

int moap_passwd_init_user_id(MOA_ACCESS_T *access) noexcept {
    MOE_ERROR_T *error = access->interm->error;
    MOU_UTIL_T *util = access->interm->util;
    const char *name = nullptr;
    access->current_user_id = -1;
    int ret = util->get_real_user_name(util, &name);
    if (ret != 0)
        return ret;
    mo_boolean_t deleted = FALSE;
    int id = MOA_NO_ID;
    ret = access->get_user_id(access, name != nullptr ? name : "", &deleted, &id);
    if (ret != 0)
        return ret;
    if (id == MOA_NO_ID) {
        error->report(error, "Sorry can't find the user %s\n", name != nullptr ? name : "");
        return 1;
    }
    if (deleted) {
        error->report(error, "Sorry the user %s has been deleted, see the administrator\n", name);
        return 1;
    }
    access->current_user_id = id;
    return 0;
}

int moap_passwd_get_user_name(MOA_ACCESS_T *access, int user_id, mo_boolean_t *deleted,
                              const char **result) noexcept {
    MOTSL_DATASTRUCT_T *users = users_of(access);
    if (users == nullptr)
        return no_users(access);
    // An id without a user (a reference left in some list) reads as "Not-Defined", deleted.
    *deleted = TRUE;
    return motc_get_string_from_id_array(users->id_array, user_id, offsetof(MOAP_PASSWD_T, user_name),
                                         deleted, offsetof(MOAP_PASSWD_T, delete_status), result);
}

int moap_passwd_get_user_id(MOA_ACCESS_T *access, const char *user_name, mo_boolean_t *deleted,
                            int *result) noexcept {
    MOTSL_DATASTRUCT_T *users = users_of(access);
    *deleted = FALSE;
    *result = MOA_NO_ID;
    if (users == nullptr)
        return no_users(access);
    int id = 0;
    // Elements still being created are not users yet.
    if (motc_find_id_from_name(users->id_array, user_name, offsetof(MOAP_PASSWD_T, user_name), deleted,
                               offsetof(MOAP_PASSWD_T, delete_status), offsetof(MOAP_PASSWD_T, new_),
                               &id) == 0)
        *result = id;
    return 0;
}

int moap_passwd_get_users_group_idlist(MOA_ACCESS_T *access, int user_id, MOIL_IDLIST_T **result) noexcept {
    MOAP_PASSWD_T *u = nullptr;
    *result = nullptr;
    int ret = moap_passwd_find_user(access, user_id, &u);
    if (ret == 0)
        *result = u->groups;
    return ret;
}

#define MOAP_PASSWD_TEXT_GETTER(fn, field)                                                                   \
    int fn(MOA_ACCESS_T *access, int user_id, const char **result) noexcept {                                \
        MOAP_PASSWD_T *u = nullptr;                                                                          \
        *result = "";                                                                                        \
        int ret = moap_passwd_find_user(access, user_id, &u);                                                \
        if (ret == 0 && u->field != nullptr)                                                                 \
            *result = u->field;                                                                              \
        return ret;                                                                                          \
    }
#define MOAP_PASSWD_INT_GETTER(fn, field)                                                                    \
    int fn(MOA_ACCESS_T *access, int user_id, int *result) noexcept {                                        \
        MOAP_PASSWD_T *u = nullptr;                                                                          \
        *result = 0;                                                                                         \
        int ret = moap_passwd_find_user(access, user_id, &u);                                                \
        if (ret == 0)                                                                                        \
            *result = u->field;                                                                              \
        return ret;                                                                                          \
    }

MOAP_PASSWD_TEXT_GETTER(moap_passwd_get_full_name, full_name)
MOAP_PASSWD_TEXT_GETTER(moap_passwd_get_passwd, passwd)
MOAP_PASSWD_TEXT_GETTER(moap_passwd_get_email_address, email)
MOAP_PASSWD_INT_GETTER(moap_passwd_get_mail_new, mail_new)
MOAP_PASSWD_INT_GETTER(moap_passwd_get_mail_checkin, mail_checkin)
MOAP_PASSWD_INT_GETTER(moap_passwd_get_mail_approve, mail_approve)
MOAP_PASSWD_INT_GETTER(moap_passwd_get_log_option, log_option)
MOAP_PASSWD_INT_GETTER(moap_passwd_get_privilege, privilege)

#undef MOAP_PASSWD_TEXT_GETTER
#undef MOAP_PASSWD_INT_GETTER

int moap_passwd_check_passwd(MOA_ACCESS_T *access, int user_id, const char *passwd,
                             mo_boolean_t *result) noexcept {
    MOAP_PASSWD_T *u = nullptr;
    *result = FALSE;
    int ret = moap_passwd_find_user(access, user_id, &u);
    if (ret == 0)
        *result = mocr_crypt_verify(passwd != nullptr ? passwd : "", u->passwd != nullptr ? u->passwd : "");
    return ret;
}
