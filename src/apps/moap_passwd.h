// The user list: one keyword record file of user records, shown through several lists (the hidden
// master list, the profiles, the deleted profiles and the contact data), each with its own row and
// column rules. The module also gives the user half of the access service (who the current user is,
// lookups, passwords, mail and log options, privilege) and keeps the initial administrator.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"

#include <cstddef>
#include <cstdint>

struct MOIL_IDLIST_T;
struct MOK_MULTI_LINE_T;

#define MOAP_PASSWD_MIN_LEN 6 // shortest new password
#define MOAP_PASSWD_PLACEHOLDER "********"
#define MOAP_PASSWD_DEFAULT_MARK "_" // shown for a password never set
#define MOAP_PASSWD_SYS_ADMIN 1      // system id of the initial administrator
#define MOAP_PASSWD_ADMIN_NAME "admin"

// Option numbers.
#define MOAP_PM_ADMIN 100
#define MOAP_PM_NORMAL 40
#define MOAP_PM_VIEW_ONLY 20

// One user (fields in file order; "mail_approve" has no keyword and is never stored).
struct MOAP_PASSWD_T {
    int32_t id;                // "ID"
    int32_t new_;              // "NEW"
    int32_t delete_status;     // "DEL"
    char *full_name;           // "F"
    char *user_name;           // "U"
    char *passwd;              // "P": the stored crypt text
    int32_t privilege;         // "PM"
    int32_t mail_new;          // "NM"
    int32_t mail_checkin;      // "CM"
    int32_t mail_approve;      // no column
    int32_t log_option;        // "LOG"
    char *email;               // "ADD"
    MOIL_IDLIST_T *groups;     // "GR": group ids
    int32_t sys_id;            // "SID": 1 for the initial administrator
    char *phone_work;          // "PHW"
    char *phone_home;          // "PHH"
    char *fax;                 // "PHF"
    char *mobile;              // "PHM"
    char *pager;               // "PHP"
    MOK_MULTI_LINE_T *address; // "AS"
    char *city;                // "AC"
    char *state;               // "AST"
    char *postcode;            // "APC"
    char *country;             // "ACO"
};
typedef struct MOAP_PASSWD_T moap_passwd_t;

extern const MOTSL_DISPLAY_OPTIONS_T moap_passwd_permission_options[];
extern const MOTSL_DISPLAY_OPTIONS_T moap_passwd_new_doc_options[];
extern const MOTSL_DISPLAY_OPTIONS_T moap_passwd_checkin_options[];
extern const MOTSL_DISPLAY_OPTIONS_T moap_passwd_log_options[];

// Who may see the company tab: decides the contact list's rows. The general setup installs its own;
// until then only administrators see contacts.
typedef int (*moap_passwd_company_access_fn_t)(MOX_AUX_T *aux, mo_boolean_t *ok) noexcept;
extern moap_passwd_company_access_fn_t moap_passwd_company_access;

// Registration (once per session) and the session's look-up of the user and group lists.
int moap_passwd_construct(MOT_TOP_SESSION_T *session) noexcept;
int moap_passwd_setup(MOT_TOP_SESSION_T *session) noexcept;

// The read operation of "passwd": at the first read in a process the initial administrator is put
// back (created when missing); the file is written only when that changed something.
int moap_passwd_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
// Puts the initial administrator's values into the chain (creating the record when there is none)
// with `admin_passwd` as its stored text; `*changed` tells whether any value differs. The caller
// holds the write lock and writes when something changed.
int moap_passwd_check_system_record(MOT_TOP_STYPE_T *stype, const char *admin_passwd,
                                    mo_boolean_t *changed) noexcept;

// Cells and checks of the columns.
int moap_passwd_check_del(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *old_container,
                          void *new_container) noexcept;
int moap_passwd_check_user_name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *old_container,
                                void *new_container) noexcept;
int moap_passwd_edit_start_passwd(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                  MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept;
int moap_passwd_edit_end_passwd(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                MOW_POST_RESULTS_T *results, void *container) noexcept;
int moap_passwd_list_passwd(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                            MOK_DATA_RECORD_T *record) noexcept;
int moap_passwd_bview_passwd(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept;
int moap_passwd_list_email(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                           MOK_DATA_RECORD_T *record) noexcept;
int moap_passwd_edit_start_groups(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                  MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept;

// The user half of the access service.
int moap_passwd_init_user_array(MOA_ACCESS_T *access, MOT_TOP_SESSION_T *session) noexcept;
int moap_passwd_get_user_data_props(MOA_ACCESS_T *access, int *max_num, int *user_mod, int *group_mod,
                                    uint64_t *identity) noexcept;
int moap_passwd_init_user_id(MOA_ACCESS_T *access) noexcept;
int moap_passwd_get_user_name(MOA_ACCESS_T *access, int user_id, mo_boolean_t *deleted,
                              const char **result) noexcept;
int moap_passwd_get_user_id(MOA_ACCESS_T *access, const char *user_name, mo_boolean_t *deleted,
                            int *result) noexcept;
int moap_passwd_get_users_group_idlist(MOA_ACCESS_T *access, int user_id, MOIL_IDLIST_T **result) noexcept;
int moap_passwd_get_full_name(MOA_ACCESS_T *access, int user_id, const char **result) noexcept;
int moap_passwd_get_passwd(MOA_ACCESS_T *access, int user_id, const char **result) noexcept;
int moap_passwd_check_passwd(MOA_ACCESS_T *access, int user_id, const char *passwd,
                             mo_boolean_t *result) noexcept;
int moap_passwd_get_email_address(MOA_ACCESS_T *access, int user_id, const char **result) noexcept;
int moap_passwd_get_mail_new(MOA_ACCESS_T *access, int user_id, int *result) noexcept;
int moap_passwd_get_mail_checkin(MOA_ACCESS_T *access, int user_id, int *result) noexcept;
int moap_passwd_get_mail_approve(MOA_ACCESS_T *access, int user_id, int *result) noexcept;
int moap_passwd_get_log_option(MOA_ACCESS_T *access, int user_id, int *result) noexcept;
int moap_passwd_get_privilege(MOA_ACCESS_T *access, int user_id, int *result) noexcept;

// Reads the list `name` of the session (position 0) for this request; `*cell` is its storage cell
// (MOT_TOP_STORAGE_T), which carries the data and the modification number it was loaded at.
int moap_passwd_read_list(MOT_TOP_SESSION_T *session, const char *name, void **cell) noexcept;
// The loaded user record of an id (deleted ones too), or NULL after "Can't find user id %d\n".
int moap_passwd_find_user(MOA_ACCESS_T *access, int user_id, MOAP_PASSWD_T **user) noexcept;
// Clears the deleted flag of the initial administrator under the file's write lock; for the
// administrator restore tool. `*changed` tells whether it was set.
int moap_passwd_undelete_admin(MOX_AUX_T *aux, MOT_TOP_SESSION_T *session, mo_boolean_t *changed) noexcept;
