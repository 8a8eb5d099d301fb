// The user groups: a standard list of group records (a name stored with a leading "^" and a system
// id), with a deleted list, a history and user options. Users belong to groups through their group
// list, and access lists name users and groups. The module gives the group half of the access
// service and keeps the system group "all", which every user without a group is given.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"

#include <cstdint>

#define MOAP_GROUPS_MARK '^'        // every stored group name starts with it
#define MOAP_GROUPS_SYS_ALL 1       // system id of the group "all"
#define MOAP_GROUPS_ALL_NAME "^all" // its stored name

struct MOAP_GROUPS_T {
    int32_t id;            // "ID"
    int32_t new_;          // "NEW"
    int32_t delete_status; // "DEL"
    char *name;            // "N": stored with its leading "^"
    int32_t sys_id;        // "SID": 1 for the group "all"
};
typedef struct MOAP_GROUPS_T moap_groups_t;

int moap_groups_construct(MOT_TOP_SESSION_T *session) noexcept;
int moap_groups_setup(MOT_TOP_SESSION_T *session) noexcept;

// The read operation of "groups": at the first read in a process the group "all" is put back and
// every name gets its "^"; the file is written only when that changed something.
int moap_groups_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
// The first-read normalisation of a chain (the caller holds the write lock); `*changed` tells
// whether anything differs. Names that become equal by it are reported as a warning.
int moap_groups_check_system_record(MOT_TOP_STYPE_T *stype, mo_boolean_t *changed) noexcept;

// The name column's edit end and the check of the name and deleted columns.
int moap_group_name_edit_end(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                             MOW_POST_RESULTS_T *results, void *container) noexcept;
int moap_groups_check_group_name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *old_container,
                                 void *new_container) noexcept;
// TRUE when a name is ASCII letters, digits and "_" after an optional leading "^", and not empty.
mo_boolean_t moap_groups_name_ok(const char *name) noexcept;

// The group half of the access service.
int moap_group_init_group_array(MOA_ACCESS_T *access, MOT_TOP_SESSION_T *session) noexcept;
int moap_group_get_group_name(MOA_ACCESS_T *access, int group_id, mo_boolean_t *deleted,
                              const char **result) noexcept;
int moap_group_get_group_id(MOA_ACCESS_T *access, const char *name, mo_boolean_t *deleted,
                            int *result) noexcept;
// The id of the group with that system id; MOA_NO_ID when there is none.
int moap_group_find_sys_id(MOA_ACCESS_T *access, int sys_id, mo_boolean_t *deleted, int *result) noexcept;
