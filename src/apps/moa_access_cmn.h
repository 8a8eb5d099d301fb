// The access service: who the current user is, the lookups of users and groups by name and id, the
// per-user values (password, mail and log options, privilege) and the privilege check. The user
// operations come from the user list (moap_passwd), the group operations from the group list
// (moap_groups); this module holds the record, its construction and the privilege check, and shows
// the service to the list engine through its hooks.
#pragma once
#include "mo_std.h"

#include <cstdint>

struct MOIL_IDLIST_T;

#define MOA_NO_ID (-1) // the answer of a lookup that found nothing

// A shorthand for the slots' types, in the order of the record.
typedef int (*moa_init_array_fn_t)(MOA_ACCESS_T *access, MOT_TOP_SESSION_T *session) noexcept;
// Highest user id, the modification numbers of the user and group data, and a digest of the data
// files' identities (the numbers restart with the daemon, the identities do not).
typedef int (*moa_get_user_data_props_fn_t)(MOA_ACCESS_T *access, int *max_num, int *user_mod, int *group_mod,
                                            uint64_t *identity) noexcept;
typedef int (*moa_init_user_id_fn_t)(MOA_ACCESS_T *access) noexcept;
typedef int (*moa_get_name_fn_t)(MOA_ACCESS_T *access, int id, mo_boolean_t *deleted,
                                 const char **result) noexcept;
typedef int (*moa_get_id_fn_t)(MOA_ACCESS_T *access, const char *name, mo_boolean_t *deleted,
                               int *result) noexcept;
typedef int (*moa_get_idlist_fn_t)(MOA_ACCESS_T *access, int user_id, MOIL_IDLIST_T **result) noexcept;
typedef int (*moa_get_text_fn_t)(MOA_ACCESS_T *access, int user_id, const char **result) noexcept;
typedef int (*moa_check_passwd_fn_t)(MOA_ACCESS_T *access, int user_id, const char *passwd,
                                     mo_boolean_t *result) noexcept;
typedef int (*moa_get_int_fn_t)(MOA_ACCESS_T *access, int user_id, int *result) noexcept;
typedef int (*moa_check_privilege_fn_t)(MOA_ACCESS_T *access, int privilege, int with_error,
                                        mo_boolean_t *ok) noexcept;

struct MOA_ACCESS_T {
    MOIM_INTERM_T *interm; // platform services
    int current_user_id;   // the logged-in user; -1 until init_user_id
    moa_init_array_fn_t init_user_array;
    moa_init_array_fn_t init_group_array;
    moa_get_user_data_props_fn_t get_user_data_props;
    moa_init_user_id_fn_t init_user_id;
    // User lookups. get_user_id answers MOA_NO_ID for an unknown name and reports nothing: a mistyped
    // login name is not an error. Deleted users are found, with the flag set.
    moa_get_name_fn_t get_user_name;
    moa_get_id_fn_t get_user_id;
    // Per-user values by user id; an unknown id is reported and fails.
    moa_get_idlist_fn_t get_users_group_idlist;
    moa_get_text_fn_t get_full_name;
    moa_get_text_fn_t get_passwd;
    moa_check_passwd_fn_t check_passwd;
    moa_get_text_fn_t get_email_address;
    moa_get_int_fn_t get_mail_new;
    moa_get_int_fn_t get_mail_checkin;
    moa_get_int_fn_t get_mail_approve;
    moa_get_int_fn_t get_log_option;
    moa_get_int_fn_t get_privilege;
    moa_check_privilege_fn_t check_privilege; // always moa_access_check_privilege
    // Group lookups; get_group_id reports an unknown name.
    moa_get_name_fn_t get_group_name;
    moa_get_id_fn_t get_group_id;
    void *user_ref;  // storage cell of the user data (MOT_TOP_STORAGE_T); NULL until init_user_array
    void *group_ref; // storage cell of the group data; NULL until init_group_array
    MOX_AUX_T *aux;  // the bundle the lists are read with
};

// The operations of the service, in the order of the record; each may be NULL in a test.
struct MOA_ACCESS_OPS_T {
    moa_init_array_fn_t init_user_array;
    moa_init_array_fn_t init_group_array;
    moa_get_user_data_props_fn_t get_user_data_props;
    moa_init_user_id_fn_t init_user_id;
    moa_get_name_fn_t get_user_name;
    moa_get_id_fn_t get_user_id;
    moa_get_idlist_fn_t get_users_group_idlist;
    moa_get_text_fn_t get_full_name;
    moa_get_text_fn_t get_passwd;
    moa_check_passwd_fn_t check_passwd;
    moa_get_text_fn_t get_email_address;
    moa_get_int_fn_t get_mail_new;
    moa_get_int_fn_t get_mail_checkin;
    moa_get_int_fn_t get_mail_approve;
    moa_get_int_fn_t get_log_option;
    moa_get_int_fn_t get_privilege;
    moa_get_name_fn_t get_group_name;
    moa_get_id_fn_t get_group_id;
};

// Builds the service in the session pool with `current_user_id` -1 and no data, and shows it to the
// list engine (the access hooks of aux->list_hooks, which it creates when there are none).
int moa_construct_access(MOA_ACCESS_T **access_ptr, MOX_AUX_T *aux, const MOA_ACCESS_OPS_T *ops) noexcept;

// Reads the current user's privilege; below `privilege` *ok is FALSE and, with `with_error` 1, the
// shortfall is reported and the result is 1. Nobody logged in has no privilege.
int moa_access_check_privilege(MOA_ACCESS_T *access, int privilege, int with_error,
                               mo_boolean_t *ok) noexcept;

// TRUE when the current user has at least the administrator's privilege; reports nothing and
// answers FALSE on any failure, so that every caller fails closed.
mo_boolean_t moa_access_is_super(MOX_AUX_T *aux) noexcept;
