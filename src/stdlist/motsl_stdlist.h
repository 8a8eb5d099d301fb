// The standard list engine: every content type (users, groups, item types, folders, document
// folders, tables and the rest) is a family of storage types that share one column set and one
// data file. This module declares such families from descriptor records, reads and writes their
// data under the daemon's locks, gives ids, evaluates access per row, column and folder item,
// keeps the per-user list options and the per-element history, and sorts and filters rows.
//
// The access service (users, groups, privileges) and the folder tree are reached through hook
// records that their modules install in the bundle (MOTSL_HOOKS_T, aux->list_hooks); without them
// every check that needs them fails with a message, never grants.
#pragma once
#include "mo_std.h"
#include "storage/mok_key.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"
#include "daemon/molk_lock.h"

#include <cstddef>
#include <cstdint>

struct MOIL_IDLIST_T;
struct MOIL_ACCESSLIST_T;
struct MOW_WEB_CMD_T;
struct MOW_POST_RESULTS_T;

struct MOTSL_STDLIST_KEYWORD_T;
struct MOTSL_TYPE_STORAGE_T;
struct MOTSL_ACCESS_DEF_T;
struct MOTSL_HOOKS_T;

// ---------------------------------------------------------------- constants

// Type-vector bits of a column.
#define MOTSL_TV_MATCH 0x1            // free-text match field
#define MOTSL_TV_FILTER 0x2           // filter selector
#define MOTSL_TV_ADVANCED_COL 0x4     // shown only with the advanced-columns option
#define MOTSL_TV_SORTABLE 0x20        // heading is a sort link
#define MOTSL_TV_HISTORY_BRIEF 0x40   // history says only that the column changed
#define MOTSL_TV_NEVER_LISTED 0x80    // never shown in the list
#define MOTSL_TV_ADVANCED_FIELD 0x100 // edited in the advanced-options window
#define MOTSL_TV_ROW_CLOSE 0x200      // edit form: close the row, rule after
#define MOTSL_TV_ROW_OWN 0x400        // edit form: own row under a rule
#define MOTSL_TV_VIEW_RULE 0x800      // view page: rule after the field
#define MOTSL_TV_TITLE 0x1000         // names the element in page titles
#define MOTSL_TV_SORT_ASC 0x8000      // default sort of a new user: ascending
#define MOTSL_TV_SORT_DESC 0x10000    // default sort of a new user: descending

// Privilege levels of the access service.
#define MOTSL_PRIV_ADMIN 100
#define MOTSL_PRIV_NORMAL 40
#define MOTSL_PRIV_VIEW_ONLY 20

// Access kinds of an item check; also the levels of an item's access lists.
#define MOTSL_ACCESS_VIEW 1
#define MOTSL_ACCESS_EDIT 2
#define MOTSL_ACCESS_LIB 4

// History operations.
#define MOTSL_OP_CREATED 0
#define MOTSL_OP_MODIFIED 1
#define MOTSL_OP_DELETED 2
#define MOTSL_OP_UNDELETED 3
#define MOTSL_OP_CHECK_IN 4
#define MOTSL_OP_CHECK_OUT 5
#define MOTSL_OP_VIEW 6
#define MOTSL_OP_MOVED 7
#define MOTSL_OP_ABORTED 8

// History log options of a user.
#define MOTSL_LOG_ALL 1
#define MOTSL_LOG_ALL_EXCEPT_COPY 2
#define MOTSL_LOG_NOTHING 3

#define MOTSL_NO_MARK_FILE "No_Mark_File_Currently_Set"
#define MOTSL_FILTER_ALL "[All]"
#define MOTSL_FILTER_EMPTY "[Empty]"
#define MOTSL_HISTORY_EXCERPT 60 // characters of an old or new value in a change line
#define MOTSL_ID_TEXT_LEN 16     // an id argument in its "%d" form
#define MOTSL_DEFAULT_PAGE_LINES 20

// ---------------------------------------------------------------- element records

// The head every element record starts with ("ID", "NEW", "DEL").
struct MOTSL_ELEMENT_T {
    int32_t id;            // element id, unique in the list
    int32_t new_;          // creator's user id while being created, else 0 (`new` is reserved in C++)
    int32_t delete_status; // 0 active, 1 deleted
};
typedef struct MOTSL_ELEMENT_T motsl_element_t;
static_assert(offsetof(MOTSL_ELEMENT_T, id) == 0);
static_assert(offsetof(MOTSL_ELEMENT_T, new_) == 4);
static_assert(offsetof(MOTSL_ELEMENT_T, delete_status) == 8);

// ---------------------------------------------------------------- operation types

// Column access: may the current user see, edit or batch-list the column.
typedef int (*motsl_col_access_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                     mo_boolean_t *result) noexcept;
// Cells of the list pages; slots left empty mean the pages' default cell.
typedef int (*motsl_cell_header_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                      MOTSL_STDLIST_KEYWORD_T *column, mo_boolean_t last) noexcept;
typedef int (*motsl_cell_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                               MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept;
typedef int (*motsl_cell_edit_end_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                        MOW_POST_RESULTS_T *results, void *container) noexcept;
typedef int (*motsl_cell_edit_check_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                          void *old_container, void *new_container) noexcept;
// Order of two containers by a column: -1, 0 or 1.
typedef int (*motsl_cell_sort_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                    const void *container1, const void *container2) noexcept;
// A row filter: does the container pass with this filter value.
typedef int (*motsl_filter_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                                 const char *value, mo_boolean_t *pass) noexcept;
typedef int (*motsl_get_real_filter_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                          const char *value, motsl_filter_fn_t *result) noexcept;
// Plain text of a cell (filters, matching, titles). The text may live in a buffer the next call reuses.
typedef int (*motsl_view_text_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                                    const char **text) noexcept;
// Value-type constructor of a column (those of motc_common and of this module).
typedef int (*motsl_common_alloc_fn_t)(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                                       const char *keyword, size_t struct_offset,
                                       const void *init_ref) noexcept;

// Type-storage operations.
typedef int (*motsl_get_new_id_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *id_column,
                                     MOK_DATA_RECORD_T *new_record, MOK_DATA_RECORD_T *max_record) noexcept;
typedef int (*motsl_add_changes_to_history_fn_t)(MOT_TOP_STYPE_T *stype, int operation, void *container,
                                                 MOK_MULTI_LINE_T *details) noexcept;
typedef int (*motsl_set_filename_for_history_fn_t)(MOT_TOP_STYPE_T *stype, void *container) noexcept;
typedef int (*motsl_new_copy_template_fn_t)(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record) noexcept;
typedef int (*motsl_edit_end_call_back_fn_t)(MOT_TOP_STYPE_T *stype, void *container) noexcept;
typedef int (*motsl_print_row_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                    MOK_DATA_RECORD_T *record, int line_no) noexcept;

// Access definition operations.
typedef int (*motsl_check_id_fn_t)(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def,
                                   MOTSL_TYPE_STORAGE_T *type_storage, int user_id,
                                   mo_boolean_t *ok) noexcept;
typedef int (*motsl_access_gen_fn_t)(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                     int user_id, mo_boolean_t *ok) noexcept;
typedef int (*motsl_cmd_access_fn_t)(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd,
                                     MOT_TOP_ARG_LIST_T *arg_list, mo_boolean_t *ok,
                                     const char **message) noexcept;
typedef int (*motsl_picker_access_fn_t)(MOT_TOP_STYPE_T *stype, mo_boolean_t *ok) noexcept;
typedef int (*motsl_get_idlist_fn_t)(MOX_AUX_T *aux, int index_id, int list_id,
                                     MOIL_ACCESSLIST_T **result) noexcept;
typedef int (*motsl_get_access_set_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_ACCESS_DEF_T **def) noexcept;
typedef int (*motsl_get_parent_string_fn_t)(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                            void *container, const char **text) noexcept;
// Option choice: may the current user choose this option.
typedef int (*motsl_choose_access_fn_t)(MOX_AUX_T *aux, MOTSL_STDLIST_KEYWORD_T *column,
                                        mo_boolean_t *result) noexcept;

// ---------------------------------------------------------------- columns

// Column access computed for one request.
struct MOTSL_ACCESS_TYPE_T {
    mo_boolean_t view_access_col;  // the user may see the column
    mo_boolean_t edit_access_col;  // the user may edit it
    mo_boolean_t bview_access_col; // the column is in the batch listing
    mo_boolean_t tmp_access_col;   // "shown" on the list page
};
typedef struct MOTSL_ACCESS_TYPE_T motsl_access_type_t;

// Where a column's five options live in the bound option record; NULL while unbound.
struct MOTSL_USEROPT_REF_T {
    int *display;  // "DIS": column shown
    int *sort;     // "SORT": 0 none, 1 ascending, 2 descending
    int *order;    // "ORDER": display position
    char **filter; // "FIL": filter value
    char **match;  // "MATCH": match text
};
typedef struct MOTSL_USEROPT_REF_T motsl_useropt_ref_t;

struct MOTSL_STDLIST_KEYWORD_T {
    MOTC_COMMON_KEYWORD_T *common;                 // value type: keyword, offset, default and text operations
    int index;                                     // 0-based position in the declaration
    const char *user_name;                         // heading
    const char *help_string;                       // help on the edit page, "" if none
    const void *display_ref;                       // option table, array info or access-array info
    unsigned type_vector;                          // MOTSL_TV_* bits
    motsl_filter_fn_t current_filter_fn;           // filter in force for this request
    MOTSL_USEROPT_REF_T *useropt_ref;              // bound options of the current user
    MOTSL_ACCESS_TYPE_T *access_type;              // column access of this request
    motsl_col_access_fn_t view_access_fn;          // may see the column
    motsl_col_access_fn_t edit_access_fn;          // may edit it
    motsl_col_access_fn_t bview_access_fn;         // in the batch listing
    motsl_cell_header_fn_t cell_header_fn;         // heading cell
    motsl_cell_fn_t cell_list_fn;                  // list cell
    motsl_cell_fn_t cell_view_fn;                  // element page cell
    motsl_cell_fn_t cell_edit_start_fn;            // form field
    motsl_cell_edit_end_fn_t cell_edit_end_fn;     // takes the posted value
    motsl_cell_edit_check_fn_t cell_edit_check_fn; // checks the new value
    motsl_cell_sort_fn_t cell_sort_fn;             // order of two records
    motsl_get_real_filter_fn_t get_real_filter_fn; // filter for a filter value
    motsl_view_text_fn_t view_text_fn;             // plain text of the cell
    motsl_cell_fn_t cell_bview_fn;                 // batch listing line
    motsl_cell_fn_t cell_bedit_start_fn;           // marker before the form field
    motsl_filter_fn_t default_filter_fn;           // the column's own filter
    void *applic_keyword_ref;                      // the list node holding this descriptor
};
typedef struct MOTSL_STDLIST_KEYWORD_T motsl_stdlist_keyword_t;

struct MOTSL_APPLIC_KEYWORD_T {
    MOTSL_STDLIST_KEYWORD_T *stdlist; // the column
    MOTSL_APPLIC_KEYWORD_T *next;     // next in declaration order
};
typedef struct MOTSL_APPLIC_KEYWORD_T motsl_applic_keyword_t;

// The column set of a family, in its keyword storage cell.
struct MOTSL_APPLIC_KEYWORDSTRUCT_T {
    MOTSL_APPLIC_KEYWORD_T *keyword_list;  // columns in declaration order
    MOK_GEN_KEYWORD_T *file_keyword_array; // file descriptors, built on first use
    MOTC_KEYLIST_T *keylist_storage;       // key list, built on first use
    int number_of_keywords;                // columns
    size_t size_of_element;                // record size
    void *ref;                             // application data
};
typedef struct MOTSL_APPLIC_KEYWORDSTRUCT_T motsl_applic_keywordstruct_t;

// History lists keep their columns in the same record; `ref` stays empty, so one set of column
// operations serves both.
typedef MOTSL_APPLIC_KEYWORDSTRUCT_T MOTSL_HISTORY_KEYWORDSTRUCT_T;
typedef struct MOTSL_APPLIC_KEYWORDSTRUCT_T motsl_history_keywordstruct_t;

struct MOTSL_USEROPT_KEYWORD_T {
    MOTC_COMMON_KEYWORD_T *common; // a bare value type
    MOTSL_USEROPT_KEYWORD_T *next; // next field
};
typedef struct MOTSL_USEROPT_KEYWORD_T motsl_useropt_keyword_t;

struct MOTSL_USEROPT_KEYWORDSTRUCT_T {
    MOTSL_USEROPT_KEYWORD_T *keyword_list; // fields: five per served column, then the four list-wide
    MOK_GEN_KEYWORD_T *file_keyword_array; // file descriptors, built on first use
    MOTC_KEYLIST_T *keylist_storage;       // key list, built on first use
    int number_of_keywords;                // fields
    size_t size_of_element;                // record size
};
typedef struct MOTSL_USEROPT_KEYWORDSTRUCT_T motsl_useropt_keywordstruct_t;

// The option record: the list-wide fields first, then one block per served column.
struct MOTSL_USEROPT_LIST_T {
    int32_t page_no;      // "PAGE_NO"
    int32_t page_lines;   // "PAGE_LINES"
    int32_t adv_col_en;   // "ADV_COL_EN"
    MOIL_IDLIST_T *dlist; // "DLIST": expanded folders
};
struct MOTSL_USEROPT_COL_T {
    int32_t display; // "DIS"
    int32_t sort;    // "SORT"
    int32_t order;   // "ORDER"
    char *filter;    // "FIL"
    char *match;     // "MATCH"
};

// ---------------------------------------------------------------- type storage and data

// One per stype of a standard list (its type_storage_ref).
struct MOTSL_TYPE_STORAGE_T {
    int *page_no;                    // bound: the user's page number
    int *lines_per_page;             // bound: lines per page (0 all)
    int *adv_columns_en;             // bound: advanced columns expanded
    MOIL_IDLIST_T **dir_expand_list; // bound: expanded folders
    motsl_get_new_id_fn_t get_new_id;
    motsl_add_changes_to_history_fn_t add_changes_to_history;
    motsl_set_filename_for_history_fn_t set_filename_for_history;
    motsl_new_copy_template_fn_t new_copy_template;
    motsl_edit_end_call_back_fn_t edit_end_call_back;
    motsl_print_row_fn_t print_row;
    mo_filename_t mark_filename;    // change mark touched on every write
    const char *useropt_stype_name; // related lists, NULL when absent
    const char *history_stype_name;
    const char *template_stype_name;
    const char *deleted_stype_name;
    MOT_TOP_STYPE_T *useropt_stype; // resolved per request
    MOT_TOP_STYPE_T *history_stype;
    MOT_TOP_STYPE_T *template_stype;
    MOT_TOP_STYPE_T *deleted_stype;
    mo_boolean_t deleted_empty;    // no deleted row is visible to the user
    char index[MOTSL_ID_TEXT_LEN]; // current index id, "%d" form ("" at registration)
    char list[MOTSL_ID_TEXT_LEN];  // current list id
    char row[MOTSL_ID_TEXT_LEN];   // current row (element) id
    // Kept here so that nothing of a stype points into a finished request's memory.
    mo_filename_t data_filename;             // the data file; the stype's filename points here
    MOT_TOP_STORAGE_T *request_storage_list; // data cells of option and history lists, per request
    mo_boolean_t unbind_registered;          // the end-of-request unbinding is queued
};
typedef struct MOTSL_TYPE_STORAGE_T motsl_type_storage_t;

// One per data file (in the data storage cell), shared by the stypes reading that file.
struct MOTSL_DATASTRUCT_T {
    MOK_DATA_RECORD_T *data_record; // head of the element chain
    MO_ID_ARRAY_T *id_array;        // id index of main lists, or NULL
    // Identity of the file when loaded: the daemon's numbers restart with the daemon.
    mo_boolean_t file_existed;      // the file existed
    long file_size;                 // its size
    mou_datetime_t file_mtime;      // its modification time
    mo_boolean_t write_locked;      // loaded while this process held the file's write lock
    mo_boolean_t unwritten;         // handed out under the write lock and not written since
    unsigned long handed_out_epoch; // request in which the chain was last handed out
};
typedef struct MOTSL_DATASTRUCT_T motsl_datastruct_t;

// ---------------------------------------------------------------- options and colours

struct MOTSL_DISPLAY_OPTIONS_T {
    int number;                                // stored value; -1 ends the table
    const char *string;                        // text shown
    int color_index;                           // into the colour table
    motsl_choose_access_fn_t choose_access_fn; // may the user choose it; NULL: yes
};
typedef struct MOTSL_DISPLAY_OPTIONS_T motsl_display_options_t;

struct MOTSL_COLORS_T {
    int index;                 // -1 ends the table
    int sort_id;               // index + 1
    const char *name;          // "Light Green"
    const char *normal_color;  // HTML colour
    const char *alt_color;     // alternate row colour
    const char *color_graphic; // sample image
};
typedef struct MOTSL_COLORS_T motsl_colors_t;

extern const MOTSL_DISPLAY_OPTIONS_T motsl_delete_status_options[];
extern const MOTSL_DISPLAY_OPTIONS_T motsl_yes_no_options[];
extern const MOTSL_DISPLAY_OPTIONS_T motsl_starting_rev_options[];
extern const MOTSL_DISPLAY_OPTIONS_T motsl_history_op_options[];
extern const MOTSL_COLORS_T motsl_colors[];

// ---------------------------------------------------------------- bindings to other lists

// A column holding ids of another list's elements.
struct MOTSL_ARRAY_INFO_T {
    MOT_TOP_STYPE_T *stype;        // the other list
    MOTC_COMMON_KEYWORD_T *common; // its name column
    size_t offset;                 // offset of the name field
    long del_offset;               // offset of its delete status, or -1
    long new_offset;               // offset of its "NEW"
};
typedef struct MOTSL_ARRAY_INFO_T motsl_array_info_t;

// An access-list column: users and groups.
struct MOTSL_ACCESS_ARRAY_INFO_T {
    MOTSL_ARRAY_INFO_T *user;                       // the user list
    MOTSL_ARRAY_INFO_T *group;                      // the group list
    motsl_get_access_set_fn_t get_access_set;       // who may be added; NULL: anyone
    motsl_get_parent_string_fn_t get_parent_string; // text of the inherited part
    MOT_TOP_STYPE_T *stype;                         // the list whose column this is (its position)
};
typedef struct MOTSL_ACCESS_ARRAY_INFO_T motsl_access_array_info_t;

// ---------------------------------------------------------------- access definitions

struct MOTSL_ACCESSLIST_SET_T {
    motsl_access_gen_fn_t gen_fn;        // does the user have this level
    motsl_cmd_access_fn_t cmd_fn;        // web command test of this level
    motsl_get_idlist_fn_t get_idlist_fn; // the effective access list of this level
    motsl_view_text_fn_t view_text_fn;   // how the level's list column reads (list pages)
    motsl_cell_fn_t cell_edit_start_fn;  // how it is edited (list pages)
};
typedef struct MOTSL_ACCESSLIST_SET_T motsl_accesslist_set_t;

struct MOTSL_ACCESS_SET_T {
    motsl_access_gen_fn_t gen_fn; // the level an operation needs
    motsl_cmd_access_fn_t cmd_fn; // its web command test
};
typedef struct MOTSL_ACCESS_SET_T motsl_access_set_t;

struct MOTSL_ACCESS_DEF_T {
    motsl_check_id_fn_t check_id;                               // may the user reach the current list at all
    motsl_picker_access_fn_t picker_fn;                         // test of the picker commands
    MOTSL_ACCESSLIST_SET_T lib_list;                            // manage the item and its access lists
    MOTSL_ACCESSLIST_SET_T edit_list;                           // change it
    MOTSL_ACCESSLIST_SET_T view_list;                           // see it
    MOTSL_ACCESS_SET_T view, edit, add, delete_, move, history; // levels per operation
};
typedef struct MOTSL_ACCESS_DEF_T motsl_access_def_t;

// ---------------------------------------------------------------- order, filters, history

struct MOTSL_STDLIST_ORDER_T {
    MOTSL_STDLIST_KEYWORD_T *stdlist; // the column
    MOTSL_STDLIST_ORDER_T *next;      // next in display order
};
typedef struct MOTSL_STDLIST_ORDER_T motsl_stdlist_order_t;

struct MOTSL_STDLIST_SORT_T {
    int display_order;                // sort key
    MOTSL_STDLIST_KEYWORD_T *stdlist; // the column
};
typedef struct MOTSL_STDLIST_SORT_T motsl_stdlist_sort_t;

struct MOTSL_FILTER_LIST_T {
    char *string;              // one selectable filter value
    MOTSL_FILTER_LIST_T *next; // next choice
};
typedef struct MOTSL_FILTER_LIST_T motsl_filter_list_t;

// One history entry.
struct MOTSL_STDLIST_HISTORY_T {
    int32_t element_id;                 // "ID": entry id
    int32_t history_for_id;             // "FID": the element the entry belongs to
    int32_t operation;                  // "OP": MOTSL_OP_*
    int32_t user_id;                    // "U": who
    uint32_t date;                      // "D": when
    char *machine;                      // "M": the machine the program ran on
    MOK_MULTI_LINE_T *detailed_changes; // "C": change lines
};
typedef struct MOTSL_STDLIST_HISTORY_T motsl_stdlist_history_t;

// Working storage of a history list (its applic_storage_ref).
struct MOTSL_HISTORY_STORAGE_T {
    int history_for_id;            // element whose history is shown
    int list2_id;                  // the served list's list id
    int list1_id;                  // the served list's index id
    MOT_TOP_STYPE_T *parent_stype; // the served list
};
typedef struct MOTSL_HISTORY_STORAGE_T motsl_history_storage_t;

// ---------------------------------------------------------------- hooks

// The access service (users and groups) as the engine needs it.
struct MOTSL_ACCESS_HOOKS_T {
    void *ref;                                                                  // the service's own record
    int (*current_user_id)(MOTSL_ACCESS_HOOKS_T *hooks, int *user_id) noexcept; // -1 when nobody is logged in
    int (*get_privilege)(MOTSL_ACCESS_HOOKS_T *hooks, int user_id, int *privilege) noexcept;
    int (*get_users_group_idlist)(MOTSL_ACCESS_HOOKS_T *hooks, int user_id, MOIL_IDLIST_T **groups) noexcept;
    int (*get_group_deleted)(MOTSL_ACCESS_HOOKS_T *hooks, int group_id, mo_boolean_t *deleted) noexcept;
    int (*get_log_option)(MOTSL_ACCESS_HOOKS_T *hooks, int user_id, int *option) noexcept; // MOTSL_LOG_*
};
typedef struct MOTSL_ACCESS_HOOKS_T motsl_access_hooks_t;

// The folder tree's accessors (index id, item id).
struct MOTSL_ITEM_HOOKS_T {
    void *ref; // the folder tree's own record
    int (*get_parent_id)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int item_id, int *parent_id) noexcept;
    int (*get_access_def)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int item_id,
                          MOTSL_ACCESS_DEF_T **def) noexcept;
    // The item's own list of a level (MOTSL_ACCESS_VIEW, _EDIT or _LIB).
    int (*get_access_list)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int item_id, int level,
                           MOIL_ACCESSLIST_T **list) noexcept;
    int (*get_name)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int item_id, const char **name) noexcept;
    int (*get_graphic)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int item_id, const char **graphic) noexcept;
    int (*get_default_stype)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int item_id,
                             const char **name) noexcept;
    // Allowed stypes as one text, names separated by ", ".
    int (*get_allowed_stypes)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int item_id,
                              const char **list) noexcept;
    // Highest item id of the tree: bounds every walk up the parents.
    int (*get_max_item_id)(MOTSL_ITEM_HOOKS_T *hooks, int index_id, int *max_id) noexcept;
};
typedef struct MOTSL_ITEM_HOOKS_T motsl_item_hooks_t;

// The session's item-access cache (verdicts by folder item, user and kind).
struct MOTSL_ACCESS_CACHE_T {
    void *ref;       // the cache's own record
    int max_item_id; // the cache holds items 1..max_item_id of the folder tree
    int max_user_id; // and users 0..max_user_id
    int (*get)(MOTSL_ACCESS_CACHE_T *cache, int item_id, int user_id, int kind, mo_boolean_t *found,
               mo_boolean_t *ok) noexcept;
    int (*put)(MOTSL_ACCESS_CACHE_T *cache, int item_id, int user_id, int kind, mo_boolean_t ok) noexcept;
};
typedef struct MOTSL_ACCESS_CACHE_T motsl_access_cache_t;

// What the web front end tells the engine about the current request.
struct MOTSL_WEB_HOOKS_T {
    void *ref;                                                          // the web service's own record
    const char *(*current_frame)(MOTSL_WEB_HOOKS_T *hooks) noexcept;    // first query argument
    const char *(*current_dir_type)(MOTSL_WEB_HOOKS_T *hooks) noexcept; // directory type argument
};
typedef struct MOTSL_WEB_HOOKS_T motsl_web_hooks_t;

// Everything the engine reaches outside record storage; any member may be NULL.
struct MOTSL_HOOKS_T {
    MOTSL_ACCESS_HOOKS_T *access; // installed by the access service
    MOTSL_ITEM_HOOKS_T *item;     // installed by the folder tree
    MOTSL_ACCESS_CACHE_T *cache;  // installed with the login sessions
    MOTSL_WEB_HOOKS_T *web;       // installed by the web front end
};
typedef struct MOTSL_HOOKS_T motsl_hooks_t;

// ---------------------------------------------------------------- declaration records

// One application column. Slots left out take the engine's defaults: view and edit access all,
// batch listing none, the value type's sort and text, the general filter, the pages' default cells.
struct MOTSL_COLUMN_DEF_T {
    const char *keyword;                     // file keyword
    size_t struct_offset;                    // field offset in the element record
    const void *init_ref;                    // default (text, number or id-list initialiser)
    motsl_common_alloc_fn_t common_alloc_fn; // value type
    const char *user_name;                   // heading
    const char *help_string;                 // help, NULL for none
    const void *display_ref;                 // option table for option columns
    unsigned type_vector;                    // MOTSL_TV_* bits
    motsl_col_access_fn_t view_access_fn;
    motsl_col_access_fn_t edit_access_fn;
    motsl_col_access_fn_t bview_access_fn;
    motsl_cell_header_fn_t cell_header_fn;
    motsl_cell_fn_t cell_list_fn;
    motsl_cell_fn_t cell_view_fn;
    motsl_cell_fn_t cell_edit_start_fn;
    motsl_cell_edit_end_fn_t cell_edit_end_fn;
    motsl_cell_edit_check_fn_t cell_edit_check_fn;
    motsl_cell_sort_fn_t cell_sort_fn;
    motsl_get_real_filter_fn_t get_real_filter_fn;
    motsl_view_text_fn_t view_text_fn;
    motsl_cell_fn_t cell_bview_fn;
    motsl_cell_fn_t cell_bedit_start_fn;
    motsl_filter_fn_t default_filter_fn;
};
typedef struct MOTSL_COLUMN_DEF_T motsl_column_def_t;

// A content type: the main list and its companions ("_deleted", "_useropt", "_history",
// "_history_useropt"), sharing the columns and the data file of the main list. For example:
//   static int dnum_file(MOT_TOP_STYPE_T *s) noexcept {
//       return motsl_set_data_filename(s, "%s/dnum/0", s->aux->setup->lib_dir);
//   }
//   static const MOTSL_COLUMN_DEF_T dnum_columns[] = {
//       {.keyword = "N", .struct_offset = offsetof(MOAP_DNUM_T, name), .init_ref = "",
//        .common_alloc_fn = motc_common_alloc_string, .user_name = "Number Scheme", .type_vector = 0x9023},
//   };
//   static const MOTSL_FAMILY_DEF_T dnum_family = {.name = "dnum", .main_id = 1, ..., .help = "...",
//       .deleted_help = "...", .history_help = "...", .lock_element_string = "Dnum ID Number",
//       .lock_file_string = "Dnum Data", .access_fn = motsl_access_super_super,
//       .size_of_element = sizeof(MOAP_DNUM_T), .columns = dnum_columns, .column_count = 1,
//       .init_filename = dnum_file, .mark_constant = "dgen/mark"};
//   ret = motsl_register_family(session, &dnum_family);
// Lists that do not fit the pattern register with motsl_stype_def_main and friends (below) and
// motsl_stype_storage_init, motsl_register_columns or motsl_share_columns, motsl_type_storage_register
// and motsl_set_related_stypes, as motsl_register_family does.
struct MOTSL_FAMILY_DEF_T {
    const char *name;       // main list name; the companions append their endings
    const char *keyword_id; // key of the shared column set (NULL: the name)
    int main_id, deleted_id, useropt_id, history_id, history_useropt_id; // stype ids
    const char *help;                                                    // "Active Dnum Entries"
    const char *deleted_help;                                            // NULL: no deleted list
    const char *useropt_help;
    const char *history_help; // NULL: no history list
    const char *history_useropt_help;
    const char *lock_element_string;          // "Dnum ID Number"
    const char *lock_file_string;             // "Dnum Data"
    mot_assign_access_fn_t access_fn;         // access of main and deleted lists
    mot_assign_access_fn_t history_access_fn; // NULL: the main list's
    mot_access_row_fn_t edit_row_fn;          // row edit filter of main and deleted (NULL: all)
    mot_access_row_fn_t view_row_fn; // extra row view test of the main list, after active and committed
    motsl_col_access_fn_t del_view_access_fn;     // "DEL" column view access (NULL: deleted list only)
    motsl_cell_edit_check_fn_t del_edit_check_fn; // "DEL" edit check
    size_t size_of_element;                       // element record size
    const MOTSL_COLUMN_DEF_T *columns;            // application columns, after "ID", "NEW", "DEL" and "EDIT"
    int column_count;
    mot_init_filename_fn_t init_filename; // main data file (motsl_set_data_filename)
    const char *mark_constant;            // change mark under the lib directory, NULL for none
    motsl_edit_end_call_back_fn_t edit_end_call_back;
    motsl_new_copy_template_fn_t new_copy_template;
    motsl_print_row_fn_t print_row;
    mot_insert_title_fn_t insert_title;           // NULL: motsl_applic_insert_title
    mot_read_data_fn_t read_data;                 // NULL: motsl_stdlist_read_data_no_default
    mot_init_filename_fn_t useropt_init_filename; // NULL: motsl_useropt_init_filename
    mot_init_filename_fn_t history_init_filename; // NULL: motsl_history_init_filename_stype
    const char *history_lock_element_string;      // NULL: the main one with " History" before " ID Number"
    const char *history_lock_file_string;         // NULL: the main one with " History" before " Data"
};
typedef struct MOTSL_FAMILY_DEF_T motsl_family_def_t;

// ---------------------------------------------------------------- declaring content types

// Registers the whole family in the session's registry.
int motsl_register_family(MOT_TOP_SESSION_T *session, const MOTSL_FAMILY_DEF_T *def) noexcept;
// Points a stype at the session's keyword and data storage and finds or creates its keyword cell;
// *is_new tells whether the cell still needs its columns.
int motsl_stype_storage_init(MOT_TOP_SESSION_T *session, MOT_TOP_STYPE_T *stype, const char *keyword_id,
                             mo_boolean_t *is_new) noexcept;
// Registers the generic columns and then the given ones, numbers them and sizes the stype.
int motsl_register_columns(MOT_TOP_STYPE_T *stype, size_t size_of_element, const MOTSL_COLUMN_DEF_T *columns,
                           int column_count, motsl_col_access_fn_t del_view_access_fn,
                           motsl_cell_edit_check_fn_t del_edit_check_fn) noexcept;
// Adds one column from its descriptor.
int motsl_column_register(MOT_TOP_STYPE_T *stype, const MOTSL_COLUMN_DEF_T *def,
                          MOTSL_STDLIST_KEYWORD_T **column_ptr) noexcept;
// Gives the columns their list nodes, back pointers and indexes, and copies the counts into the stype.
int motsl_finish_columns(MOT_TOP_STYPE_T *stype, size_t size_of_element) noexcept;
// Copies the counts of an existing column set into another member of its family.
int motsl_share_columns(MOT_TOP_STYPE_T *stype) noexcept;

int motsl_type_storage_register(MOT_TOP_STYPE_T *stype, void *pool_ref, motsl_get_new_id_fn_t get_new_id,
                                motsl_add_changes_to_history_fn_t add_changes_to_history,
                                motsl_set_filename_for_history_fn_t set_filename_for_history,
                                motsl_new_copy_template_fn_t new_copy_template,
                                motsl_edit_end_call_back_fn_t edit_end_call_back,
                                motsl_print_row_fn_t print_row, const char *mark_constant) noexcept;
int motsl_set_related_stypes(MOT_TOP_STYPE_T *stype, const char *useropt_name, const char *history_name,
                             const char *template_name, const char *deleted_name) noexcept;

// Web-command registration entry points; the commands are the list pages'.
int motsl_applic_register_web_cmds(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_applic_register_deleted_web_cmds(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_applic_register_template_web_cmds(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_applic_register_history_web_cmds(MOT_TOP_STYPE_T *stype) noexcept;

// Generic columns, in this order before the application's.
int motsl_id_keyword_register(MOT_TOP_STYPE_T *stype, size_t offset) noexcept;
int motsl_new_keyword_register(MOT_TOP_STYPE_T *stype, size_t offset) noexcept;
int motsl_del_keyword_register(MOT_TOP_STYPE_T *stype, size_t offset, motsl_col_access_fn_t view_access_fn,
                               motsl_cell_edit_check_fn_t edit_check_fn) noexcept;
int motsl_edit_keyword_register(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_edit_keyword_register_sp(MOT_TOP_STYPE_T *stype, motsl_cell_fn_t cell_list_fn) noexcept;

// The positional registrations that the descriptor records run on.
int motsl_applic_keyword_register(MOT_TOP_STYPE_T *stype, const char *keyword, size_t struct_offset,
                                  const void *init_ref, motsl_common_alloc_fn_t common_alloc_fn,
                                  const char *user_name, const char *help_string, const void *display_ref,
                                  unsigned type_vector, motsl_col_access_fn_t view_access_fn,
                                  motsl_col_access_fn_t edit_access_fn, motsl_cell_fn_t cell_list_fn,
                                  motsl_cell_fn_t cell_view_fn, motsl_cell_fn_t cell_edit_start_fn,
                                  motsl_cell_edit_end_fn_t cell_edit_end_fn,
                                  motsl_cell_edit_check_fn_t cell_edit_check_fn,
                                  motsl_get_real_filter_fn_t get_real_filter_fn,
                                  motsl_filter_fn_t default_filter_fn) noexcept;
int motsl_applic_keyword_register_sp(
    MOT_TOP_STYPE_T *stype, const char *keyword, size_t struct_offset, const void *init_ref,
    motsl_common_alloc_fn_t common_alloc_fn, const char *user_name, const char *help_string,
    const void *display_ref, unsigned type_vector, motsl_col_access_fn_t view_access_fn,
    motsl_col_access_fn_t edit_access_fn, motsl_col_access_fn_t bview_access_fn,
    motsl_cell_header_fn_t cell_header_fn, motsl_cell_fn_t cell_list_fn, motsl_cell_fn_t cell_view_fn,
    motsl_cell_fn_t cell_edit_start_fn, motsl_cell_edit_end_fn_t cell_edit_end_fn,
    motsl_cell_edit_check_fn_t cell_edit_check_fn, motsl_cell_sort_fn_t cell_sort_fn,
    motsl_get_real_filter_fn_t get_real_filter_fn, motsl_view_text_fn_t view_text_fn,
    motsl_cell_fn_t cell_bview_fn, motsl_cell_fn_t cell_bedit_start_fn,
    motsl_filter_fn_t default_filter_fn) noexcept;
int motsl_stdlist_alloc(MOT_TOP_STYPE_T *stype, void *pool_ref, const MOTSL_COLUMN_DEF_T *def,
                        MOTSL_STDLIST_KEYWORD_T **column_ptr) noexcept;

// Keyword access of the stypes (get_keyword_array / get_keylist operations).
int motsl_applic_get_keyword_array(MOT_TOP_STYPE_T *stype, MOK_GEN_KEYWORD_T **keyword_array) noexcept;
int motsl_applic_get_keylist(MOT_TOP_STYPE_T *stype, MOTC_KEYLIST_T **keylist) noexcept;
int motsl_build_file_keyword_array(MOT_TOP_STYPE_T *stype, MOTSL_APPLIC_KEYWORDSTRUCT_T *key_struct) noexcept;
// The column set of a main, deleted or history stype, or NULL with a report.
int motsl_get_key_struct(MOT_TOP_STYPE_T *stype, MOTSL_APPLIC_KEYWORDSTRUCT_T **key_struct) noexcept;
int motsl_find_column(MOT_TOP_STYPE_T *stype, const char *keyword, MOTSL_STDLIST_KEYWORD_T **column) noexcept;

// Column access values.
int motsl_col_access_all(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                         mo_boolean_t *result) noexcept;
int motsl_col_access_none(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                          mo_boolean_t *result) noexcept;
int motsl_col_access_in_deleted(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                mo_boolean_t *result) noexcept;
// Row filters of the family members.
int motsl_row_active_committed(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept;
int motsl_row_deleted_committed(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept;

// Value types added by the engine.
#define MOTSL_DECLARE_ALLOC(name)                                                                            \
    int name(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr, const char *keyword,    \
             size_t struct_offset, const void *init_ref) noexcept;
MOTSL_DECLARE_ALLOC(motsl_stdlist_common_alloc_option)
MOTSL_DECLARE_ALLOC(motsl_common_alloc_id)
MOTSL_DECLARE_ALLOC(motsl_common_alloc_idlist)
MOTSL_DECLARE_ALLOC(motsl_common_alloc_idlist_direct)
MOTSL_DECLARE_ALLOC(motsl_common_alloc_rev)
MOTSL_DECLARE_ALLOC(motsl_common_alloc_accesslist)
#undef MOTSL_DECLARE_ALLOC
// An empty id list, the initialiser of id-list columns.
int motsl_idlist_init_empty(MOIM_INTERM_T *interm, void *pool_ref, MOIL_IDLIST_T **slot) noexcept;
// Looks up an option's entry by number (NULL when absent) and the table's default (first) entry.
const MOTSL_DISPLAY_OPTIONS_T *motsl_find_option(const MOTSL_DISPLAY_OPTIONS_T *table, int number) noexcept;

// Binding id, id-list, revision and access-list columns to the lists they name.
int motsl_init_array_info_and_store(MOT_TOP_STYPE_T *stype, void *req_ref, const char *keyword,
                                    MOT_TOP_STYPE_T *array_stype, const char *name_keyword,
                                    const char *del_keyword) noexcept;
int motsl_init_access_array_info_and_store(MOT_TOP_STYPE_T *stype, void *req_ref, const char *keyword,
                                           motsl_get_access_set_fn_t get_access_set,
                                           motsl_get_parent_string_fn_t get_parent_string,
                                           MOT_TOP_STYPE_T *user_stype, const char *user_keyword,
                                           const char *user_del_keyword, MOT_TOP_STYPE_T *group_stype,
                                           const char *group_keyword, const char *group_del_keyword) noexcept;

// ---------------------------------------------------------------- per-request initialisation

// Parses an id argument: "0" or a decimal without sign or leading zeros that fits an int.
int motsl_parse_id(const char *text, int *value) noexcept;
int motsl_init_stype_default(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                             MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
// Sets index, list and row of the stype's type storage (already parsed ids).
int motsl_set_position(MOT_TOP_STYPE_T *stype, int index_id, int list_id, int row_id) noexcept;
int motsl_init_set_of_stype(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, void *req_ref,
                            MOT_TOP_STYPE_T *top_stype, mo_boolean_t from_web, const char *useropt_name,
                            const char *history_name, const char *template_name,
                            const char *deleted_name) noexcept;
int motsl_init_set_of_stype_light(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, void *req_ref,
                                  MOT_TOP_STYPE_T *top_stype, const char *useropt_name) noexcept;
int motsl_applic_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept;
int motsl_delete_empty_check(MOT_TOP_STYPE_T *stype) noexcept;
// Formats the data file name into the type storage and points the stype at it (init_filename helper).
int motsl_set_data_filename(MOT_TOP_STYPE_T *stype, const char *fmt, ...) noexcept MO_PRINTF(2, 3);

// ---------------------------------------------------------------- data

int motsl_stdlist_read_data_basic(MOT_TOP_STYPE_T *stype, mo_boolean_t no_default, mo_boolean_t do_id_array,
                                  MOK_DATA_RECORD_T **first) noexcept;
int motsl_stdlist_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
int motsl_stdlist_read_data_no_default(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
int motsl_stdlist_write_data(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_stdlist_write_data_and_mark(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_stdlist_new_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **new_record) noexcept;
int motsl_stdlist_add_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record,
                           MOK_DATA_RECORD_T **first) noexcept;
int motsl_stdlist_add_data_reverse(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record,
                                   MOK_DATA_RECORD_T **first) noexcept;
// The loaded data of the stype's file, or a report when it has not been read.
int motsl_get_datastruct(MOT_TOP_STYPE_T *stype, const char *caller, MOTSL_DATASTRUCT_T **data) noexcept;

int motsl_find_maximum_id(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain,
                          MOTSL_STDLIST_KEYWORD_T *id_column, MOK_DATA_RECORD_T **max_result) noexcept;
int motsl_find_maximum_id_or_new(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain,
                                 MOTSL_STDLIST_KEYWORD_T *id_column, MOTSL_STDLIST_KEYWORD_T *new_column,
                                 MOK_DATA_RECORD_T **max_result, MOK_DATA_RECORD_T **record_result,
                                 mo_boolean_t *already_have_new) noexcept;
int motsl_stdlist_get_new_id(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *id_column,
                             MOK_DATA_RECORD_T *new_record, MOK_DATA_RECORD_T *max_record) noexcept;
// Makes a new element with the next id and appends it (the caller holds the write lock and writes).
int motsl_stdlist_append_new(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **new_record) noexcept;

// File names.
int motsl_useropt_init_filename(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_useropt_init_filename_id(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_history_init_filename_stype(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_history_init_filename_id(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_applic_init_filename_id(MOT_TOP_STYPE_T *stype) noexcept;

// ---------------------------------------------------------------- access

int motsl_current_user_id(MOX_AUX_T *aux, int *user_id) noexcept;
int motsl_stdlist_init_data(MOT_TOP_STYPE_T *stype, void *data_record) noexcept;
int motsl_stdlist_init_data_list_edit_check(MOT_TOP_STYPE_T *stype, void *data_record) noexcept;
int motsl_check_access_item_view(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                 int user_id, mo_boolean_t *ok) noexcept;
int motsl_check_access_item_edit(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                 int user_id, mo_boolean_t *ok) noexcept;
int motsl_check_access_item_lib(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                int user_id, mo_boolean_t *ok) noexcept;
int motsl_check_access_item_edit_or_parent_lib(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id,
                                               int list_id, int user_id, mo_boolean_t *ok) noexcept;
int motsl_check_access_item_parent_lib(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                       int user_id, mo_boolean_t *ok) noexcept;
int motsl_get_list_item_view(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept;
int motsl_get_list_item_edit(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept;
int motsl_get_list_item_lib(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept;
int motsl_check_access_list(MOX_AUX_T *aux, int user_id, const MOIL_ACCESSLIST_T *list,
                            mo_boolean_t *ok) noexcept;
int motsl_check_privilege(MOX_AUX_T *aux, int user_id, int level, mo_boolean_t *ok) noexcept;
// Access checks that grant or refuse without looking at the item.
int motsl_access_gen_everyone(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id, int user_id,
                              mo_boolean_t *ok) noexcept;
int motsl_access_gen_super(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id, int user_id,
                           mo_boolean_t *ok) noexcept;
int motsl_get_idlist_empty(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept;
// The access definition governing the stype's current list: the stype's own when the list id is 0,
// else the current folder item's.
int motsl_get_current_access_def(MOT_TOP_STYPE_T *stype, MOTSL_ACCESS_DEF_T **def) noexcept;
// Web command and picker tests of the three levels.
int motsl_cmd_access_view(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                          mo_boolean_t *ok, const char **message) noexcept;
int motsl_cmd_access_edit(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                          mo_boolean_t *ok, const char **message) noexcept;
int motsl_cmd_access_lib(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                         mo_boolean_t *ok, const char **message) noexcept;
int motsl_picker_access_lib(MOT_TOP_STYPE_T *stype, mo_boolean_t *ok) noexcept;
// Runs an operation's access set for the stype's current position and user.
int motsl_check_access_set(MOT_TOP_STYPE_T *stype, const MOTSL_ACCESS_SET_T *set, mo_boolean_t *ok) noexcept;

// Access assignments (the stype's access operation at registration).
int motsl_access_null(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
int motsl_access_everyone(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
int motsl_access_super_super(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
int motsl_access_item_view_edit(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
int motsl_access_folder_view_edit(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
int motsl_access_default_definitions(MOTSL_ACCESS_DEF_T *def) noexcept;

// ---------------------------------------------------------------- paths, titles, links

// Paths of folder items, built in the request pool.
int motsl_get_full_path(MOX_AUX_T *aux, int index_id, int item_id, const char **result) noexcept;
int motsl_get_full_path_ids(MOX_AUX_T *aux, int index_id, int item_id, const char **result) noexcept;
int motsl_applic_insert_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int otype, int dtype,
                              void *specific) noexcept;
int motsl_applic_deleted_insert_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int otype, int dtype,
                                      void *specific) noexcept;
int motsl_history_insert_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int otype, int dtype,
                               void *specific) noexcept;
int motsl_insert_title_full_path(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int otype, int dtype,
                                 void *specific) noexcept;
int motsl_http_call_start(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                          char *string) noexcept;
// Writes text HTML-escaped ("&", "<", ">", the double quote and the single quote) into the output.
int motsl_out_protected(MOOU_OUT_DEF_T *out_def, const char *text) noexcept;

// ---------------------------------------------------------------- user options

int motsl_useropt_register_stype(MOT_TOP_STYPE_T *useropt_stype, MOT_TOP_STYPE_T *served_stype) noexcept;
int motsl_stdlist_useropt_register_columns(MOT_TOP_STYPE_T *useropt_stype, MOT_TOP_STYPE_T *served_stype,
                                           MOTSL_USEROPT_KEYWORDSTRUCT_T *key_struct) noexcept;
int motsl_stdlist_useropt_keyword_register(MOT_TOP_STYPE_T *stype, const char *keyword,
                                           MOTSL_USEROPT_KEYWORDSTRUCT_T *key_struct, size_t struct_offset,
                                           const void *init_ref,
                                           motsl_common_alloc_fn_t common_alloc_fn) noexcept;
int motsl_useropt_get_keylist(MOT_TOP_STYPE_T *stype, MOTC_KEYLIST_T **keylist) noexcept;
int motsl_useropt_get_keyword_array(MOT_TOP_STYPE_T *stype, MOK_GEN_KEYWORD_T **keyword_array) noexcept;
int motsl_useropt_init_struct(MOT_TOP_STYPE_T *stype, void *req_ref, mo_boolean_t from_web_init) noexcept;
int motsl_stdlist_useropt_init_data(MOT_TOP_STYPE_T *stype, void *data_record) noexcept;
// Binds the loaded option record of the option list to the columns of the served list.
int motsl_load_keyword_with_useropt_data(MOT_TOP_STYPE_T *useropt_stype, MOT_TOP_STYPE_T *list_stype,
                                         MOK_DATA_RECORD_T *record) noexcept;
// Reads the served list's option list and binds it (the option part of the init-web operation).
int motsl_useropt_load_and_bind(MOT_TOP_STYPE_T *list_stype) noexcept;
// Drops every binding of the stype's columns and type storage.
int motsl_useropt_unbind(MOT_TOP_STYPE_T *list_stype) noexcept;

// ---------------------------------------------------------------- order, sort, filters

int motsl_stdlist_get_order(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T **order_result) noexcept;
MOK_DATA_RECORD_T *motsl_record_sort(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain, int direction,
                                     MOTSL_STDLIST_KEYWORD_T *column) noexcept;
int motsl_default_cell_sort(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, const void *container1,
                            const void *container2) noexcept;
int motsl_default_view_text(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                            const char **text) noexcept;
int motsl_get_filter_fn(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, const char *value,
                        motsl_filter_fn_t *fn_result) noexcept;
int motsl_set_filter_to_useropt(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order) noexcept;
// Is a column shown on the list page (display option, never-listed bit, advanced option).
mo_boolean_t motsl_column_shown(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept;
#define MOTSL_DECLARE_FILTER(name)                                                                           \
    int name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container, const char *value,    \
             mo_boolean_t *pass) noexcept;
MOTSL_DECLARE_FILTER(motsl_filter_all)
MOTSL_DECLARE_FILTER(motsl_filter_empty)
MOTSL_DECLARE_FILTER(motsl_filter_string)
MOTSL_DECLARE_FILTER(motsl_filter_integer)
MOTSL_DECLARE_FILTER(motsl_filter_option)
MOTSL_DECLARE_FILTER(motsl_filter_datetime)
MOTSL_DECLARE_FILTER(motsl_filter_general)
#undef MOTSL_DECLARE_FILTER
// Case-insensitive (ASCII) substring test of the list's match field.
mo_boolean_t motsl_match_nocase(const char *text, const char *pattern) noexcept;

int motsl_get_basic_filter_list(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                MOK_DATA_RECORD_T *rows, MOTSL_FILTER_LIST_T **result) noexcept;
int motsl_get_extra_filter_list(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                MOK_DATA_RECORD_T *rows, MOTSL_FILTER_LIST_T **result) noexcept;
int motsl_free_filter_list(MOX_AUX_T *aux, MOTSL_FILTER_LIST_T *list) noexcept;
int motsl_get_new_filter_element(MOX_AUX_T *aux, const char *string, MOTSL_FILTER_LIST_T **element) noexcept;
int motsl_filter_add_to_list(MOX_AUX_T *aux, const char *string, MOTSL_FILTER_LIST_T **list) noexcept;
mo_boolean_t motsl_filter_is_element_in_list(const MOTSL_FILTER_LIST_T *list, const char *string) noexcept;

// ---------------------------------------------------------------- history

int motsl_history_register_stype(MOT_TOP_STYPE_T *history_stype) noexcept;
int motsl_stdlist_history_register_columns(MOT_TOP_STYPE_T *stype) noexcept;
int motsl_stdlist_history_keyword_register(MOT_TOP_STYPE_T *stype, const MOTSL_COLUMN_DEF_T *def) noexcept;
int motsl_history_init_struct(MOT_TOP_STYPE_T *stype, void *req_ref, mo_boolean_t from_web_init) noexcept;
int motsl_add_history(MOT_TOP_STYPE_T *stype, int operation, void *container,
                      MOK_MULTI_LINE_T *details) noexcept;
int motsl_stdlist_add_changes_to_history(MOT_TOP_STYPE_T *stype, int operation, void *container,
                                         MOK_MULTI_LINE_T *details) noexcept;
int motsl_history_add_entry(MOT_TOP_STYPE_T *history_stype, int operation, int history_for_id,
                            MOK_MULTI_LINE_T *details) noexcept;
int motsl_history_create_details(MOT_TOP_STYPE_T *stype, MOK_MULTI_LINE_T **details_result,
                                 void *old_container, void *new_container) noexcept;
int motsl_history_find_op_by_user(MOT_TOP_STYPE_T *stype, void *container, int operation, int user_id,
                                  mo_boolean_t *found) noexcept;
int motsl_stdlist_set_filename_for_history(MOT_TOP_STYPE_T *stype, void *container) noexcept;
int motsl_history_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept;
int motsl_stdlist_history_http_call_start(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                                          char *string) noexcept;

// ---------------------------------------------------------------- stype definitions of the family

// Definitions to start from (copy one, then set name, id, help, access, lock texts and file name).
// A main list of application columns.
inline constexpr MOT_TOP_STYPE_DEF_T motsl_stype_def_main = {
    .insert_title = motsl_applic_insert_title,
    .type = MOT_STYPE_MAIN,
    .init_stype = motsl_init_stype_default,
    .read_data = motsl_stdlist_read_data_no_default,
    .write_data = motsl_stdlist_write_data_and_mark,
    .new_data = motsl_stdlist_new_data,
    .add_data = motsl_stdlist_add_data,
    .view_access_row_fn = motsl_row_active_committed,
    .edit_access_row_fn = mot_row_access_all,
    .lock_element = mot_top_lock_id_element,
    .lock_file = mot_top_lock_file,
    .get_common_struct = mot_top_get_common_struct,
    .get_keyword_array = motsl_applic_get_keyword_array,
    .get_keylist = motsl_applic_get_keylist,
    .init_struct = mot_top_init_struct,
    .init_data = motsl_stdlist_init_data,
    .init_web = motsl_applic_init_web,
    .http_call_start = motsl_http_call_start,
};
// A user-option list: one record of the current user's options, defaults when there is no file.
inline constexpr MOT_TOP_STYPE_DEF_T motsl_stype_def_useropt = {
    .insert_title = mot_insert_title_null,
    .type = MOT_STYPE_USER_OPTIONS,
    .init_stype = mot_init_stype_null,
    .assign_access_fn = motsl_access_null,
    .read_data = motsl_stdlist_read_data,
    .write_data = motsl_stdlist_write_data,
    .new_data = motsl_stdlist_new_data,
    .add_data = motsl_stdlist_add_data,
    .view_access_row_fn = mot_row_access_all,
    .edit_access_row_fn = mot_row_access_all,
    .lock_element_string = "User Option ID Number",
    .lock_element = mot_top_lock_useropt_element,
    .lock_file_string = "User Option Data",
    .lock_file = mot_top_lock_file,
    .get_common_struct = mot_top_get_common_struct,
    .get_keyword_array = motsl_useropt_get_keyword_array,
    .get_keylist = motsl_useropt_get_keylist,
    .init_filename = motsl_useropt_init_filename,
    .init_struct = motsl_useropt_init_struct,
    .init_data = motsl_stdlist_useropt_init_data,
};
// A history list: one file per element of the served list.
inline constexpr MOT_TOP_STYPE_DEF_T motsl_stype_def_history = {
    .insert_title = motsl_history_insert_title,
    .type = MOT_STYPE_HISTORY,
    .init_stype = motsl_init_stype_default,
    .assign_access_fn = motsl_access_super_super,
    .read_data = motsl_stdlist_read_data_no_default,
    .write_data = motsl_stdlist_write_data,
    .new_data = motsl_stdlist_new_data,
    .add_data = motsl_stdlist_add_data,
    .view_access_row_fn = mot_row_access_all,
    .edit_access_row_fn = mot_row_access_none,
    .lock_element = mot_top_lock_id_element,
    .lock_file = mot_top_lock_file,
    .get_common_struct = mot_top_get_common_struct,
    .get_keyword_array = motsl_applic_get_keyword_array,
    .get_keylist = motsl_applic_get_keylist,
    .init_filename = motsl_history_init_filename_stype,
    .init_struct = motsl_history_init_struct,
    .init_data = motsl_stdlist_init_data,
    .init_web = motsl_history_init_web,
    .http_call_start = motsl_stdlist_history_http_call_start,
};
