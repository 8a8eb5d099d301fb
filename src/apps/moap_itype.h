// Item types: what an entry of the folder tree is (a folder, a table, a document folder, a mail
// group, an administration list), which storage type lists its contents, which item types may be
// created or moved inside it, and its icon. They are a standard list ("itype", with its user
// options) that the super user edits; each load puts back the nineteen built-in rows and the item
// types generated from table types and document-folder combinations, and writes the list only
// when that changed something.
#pragma once
#include "mo_std.h"

#include <cstdint>

struct MOIL_IDLIST_T;
struct MOTSL_ACCESS_DEF_T;
struct MOK_DATA_RECORD_T;

// Origin kinds of `sys_id_list` (origin kind, origin id).
#define MOAP_ITYPE_ORIGIN_BUILTIN 1    // a built-in row; origin id = its system id
#define MOAP_ITYPE_ORIGIN_TABLE 2      // generated from a table type
#define MOAP_ITYPE_ORIGIN_DOC_FOLDER 3 // generated from a document-folder combination, folder form
#define MOAP_ITYPE_ORIGIN_DOC 4        // the same, document form

// System ids of the built-in rows.
#define MOAP_ITYPE_SYS_CONFIG_FOLDER 1
#define MOAP_ITYPE_SYS_PASSWD_PROFILE 2
#define MOAP_ITYPE_SYS_GROUPS 3
#define MOAP_ITYPE_SYS_FILE_TYPES 4
#define MOAP_ITYPE_SYS_TOP_DOCS 5
#define MOAP_ITYPE_SYS_TABLE_TYPES 10
#define MOAP_ITYPE_SYS_TABLE_TYPE_COLUMNS 11
#define MOAP_ITYPE_SYS_TABLE_TYPE_OPTIONS 12
#define MOAP_ITYPE_SYS_BOOKMARK_FOLDER 13
#define MOAP_ITYPE_SYS_TABLE_FOLDER 14
#define MOAP_ITYPE_SYS_DOC_TYPES 16
#define MOAP_ITYPE_SYS_DOC_TYPE_COLUMNS 17
#define MOAP_ITYPE_SYS_DOC_TYPE_OPTIONS 18
#define MOAP_ITYPE_SYS_TOP_TABLES 20
#define MOAP_ITYPE_SYS_NUMBER_SCHEMES 21
#define MOAP_ITYPE_SYS_PASSWD_CONTACT 22
#define MOAP_ITYPE_SYS_TOP_MGROUPS 23
#define MOAP_ITYPE_SYS_FOLDER 24
#define MOAP_ITYPE_SYS_MAIL_GROUP 25

// `object_type`
#define MOAP_ITYPE_FOLDER 1
#define MOAP_ITYPE_OBJECT 2
// `type`
#define MOAP_ITYPE_TYPE_USER 1
#define MOAP_ITYPE_TYPE_NOT_USED 2
#define MOAP_ITYPE_TYPE_GENERATED 3
// Placement methods (`new_method`, `contains_method`).
#define MOAP_ITYPE_METHOD_SAME 1            // the same type as the parent
#define MOAP_ITYPE_METHOD_NONE 2            // nothing
#define MOAP_ITYPE_METHOD_CHILDREN_PARENT 3 // children of the parent type, or the same type
#define MOAP_ITYPE_METHOD_CHILDREN 4        // children of the parent type
#define MOAP_ITYPE_METHOD_COUSINS 5         // children of the parent type's own parent
#define MOAP_ITYPE_METHOD_CHILDREN_COUSINS 6

// One item type.
struct MOAP_ITYPE_T {
    int32_t id;                     // "ID"
    int32_t new_;                   // "NEW"
    int32_t delete_status;          // "DEL": 0 active, 1 deleted
    char *name;                     // "N"
    char *open_cmd;                 // "OC"
    char *list_cmd;                 // "IC": "list" or "view"
    char *default_stype;            // "DS": the stype that lists an entry's contents
    char *allowed_stypes;           // "AS": further stypes reachable from it, comma-separated
    char *extra_args;               // "EA": added to its links (generated: the source id)
    int32_t dir_type;               // "DT": id of the parent item type, 0 for none
    int32_t new_method;             // "NM"
    int32_t contains_method;        // "CM"
    int32_t searchable;             // "S": 1 yes, 0 no
    int32_t in_dir_view;            // "DV": 1 shown in directory views
    int32_t object_type;            // "OT": 1 folder, 2 object
    int32_t type;                   // "T": 1 user, 2 not used, 3 generated
    MOTSL_ACCESS_DEF_T *access_def; // of the stype named by default_stype; filled after loading, never stored
    char *graphic_filename;         // "G": icon; empty means the icon of the entry's file type
    MOIL_IDLIST_T *sys_id_list;     // "SID": (origin kind, origin id)
};
typedef struct MOAP_ITYPE_T moap_itype_t;

// One built-in row.
struct MOAP_ITYPE_SYS_T {
    int sys_id;
    const char *name;
    const char *list_cmd;
    const char *default_stype;
    const char *allowed_stypes;
    int new_method;
    int contains_method;
    int parent_sys_id; // system id of the row that becomes dir_type; 0 for none
    int object_type;
    const char *graphic_filename;
};
typedef struct MOAP_ITYPE_SYS_T moap_itype_sys_t;

extern const MOAP_ITYPE_SYS_T moap_itype_sys_table[];
extern const int moap_itype_sys_count;

// ---------------------------------------------------------------- generated item types

// One row of a generator's source list.
struct MOAP_ITYPE_SOURCE_ROW_T {
    int origin_id;        // the source record's id (table type, combination)
    const char *name;     // its name
    const char *graphic;  // its icon
    int delete_status;    // its delete status: a deleted source gives a deleted item type
    int parent_kind;      // origin of the item type that becomes dir_type: (kind, id);
    int parent_origin_id; // (0, 0) for none
};
typedef struct MOAP_ITYPE_SOURCE_ROW_T moap_itype_source_row_t;

typedef int (*moap_itype_row_fn_t)(void *context, const MOAP_ITYPE_SOURCE_ROW_T *row) noexcept;

// A source of generated item types, registered by the table-type and document-folder modules.
// The item types are regenerated when the source's change mark moves (and at the first load).
struct MOAP_ITYPE_GENERATOR_T {
    int origin_kind;         // MOAP_ITYPE_ORIGIN_TABLE, _DOC_FOLDER or _DOC
    const char *name_suffix; // appended to the source name (" Table Type"), "" for none
    const char *list_cmd;    // the fields every item type of the source gets
    const char *default_stype;
    const char *allowed_stypes;
    int searchable;
    int new_method;
    int contains_method;
    int object_type;
    const char *mark_constant; // change mark under the lib directory that the source raises
    // Calls fn once per source row, in list order; a non-zero return of fn stops and is passed up.
    int (*for_each_row)(MOAP_ITYPE_GENERATOR_T *gen, MOX_AUX_T *aux, moap_itype_row_fn_t fn,
                        void *context) noexcept;
    void *ref; // the source module's own data
    MOAP_ITYPE_GENERATOR_T *next;
};
typedef struct MOAP_ITYPE_GENERATOR_T moap_itype_generator_t;

// Adds a generator (kept by reference) to the session's item types; their next load regenerates.
int moap_itype_register_generator(MOT_TOP_SESSION_T *session, MOAP_ITYPE_GENERATOR_T *gen) noexcept;

// ---------------------------------------------------------------- registration and loading

int moap_itype_construct(MOT_TOP_SESSION_T *session) noexcept;
int moap_itype_setup(MOT_TOP_SESSION_T *session) noexcept;
// The item service's init_itype_array: loads the item types for the request into item->itype_ref.
int moap_itype_init_itype_array(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept;
// The read operation of "itype": built-in rows and generated types checked and written when needed.
int moap_itype_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;

// ---------------------------------------------------------------- accessors (loaded list)

// Each answers the field of the item type `type_id`; an unknown id is reported
// ("Item type id %d not found\n") and fails.
int moap_itype_find(MOIT_ITEM_T *item, int type_id, MOAP_ITYPE_T **itype) noexcept;
int moap_itype_get_name(MOIT_ITEM_T *item, int type_id, const char **result) noexcept;
int moap_itype_get_graphic(MOIT_ITEM_T *item, int type_id, const char **result) noexcept;
int moap_itype_get_default_stype(MOIT_ITEM_T *item, int type_id, const char **result) noexcept;
int moap_itype_get_allowed_stypes(MOIT_ITEM_T *item, int type_id, const char **result) noexcept;
int moap_itype_get_extra_args(MOIT_ITEM_T *item, int type_id, const char **result) noexcept;
int moap_itype_get_list_cmd(MOIT_ITEM_T *item, int type_id, const char **result) noexcept;
int moap_itype_get_type(MOIT_ITEM_T *item, int type_id, int *result) noexcept;
int moap_itype_get_new_method(MOIT_ITEM_T *item, int type_id, int *result) noexcept;
int moap_itype_get_contains_method(MOIT_ITEM_T *item, int type_id, int *result) noexcept;
int moap_itype_get_dir_type(MOIT_ITEM_T *item, int type_id, int *result) noexcept;
int moap_itype_get_searchable(MOIT_ITEM_T *item, int type_id, int *result) noexcept;
int moap_itype_get_in_dir_view(MOIT_ITEM_T *item, int type_id, int *result) noexcept;
int moap_itype_get_object_type(MOIT_ITEM_T *item, int type_id, int *result) noexcept;
// The origin (kind, id) of the type; (0, 0) for one an administrator made.
int moap_itype_get_sys_id(MOIT_ITEM_T *item, int type_id, int *kind, int *origin_id) noexcept;
// The id of the item type whose origin is (kind, origin id); reports
// "Can't find itype with sys_id %d,%d\n" and fails when there is none.
int moap_itype_find_sys_id(MOIT_ITEM_T *item, int kind, int origin_id, int *result) noexcept;
// The access definition of the type's default stype; reports
// "Can't find access definition with type_id %d\n" when the type or its definition is missing.
int moap_itype_get_access_fn(MOIT_ITEM_T *item, int type_id, MOTSL_ACCESS_DEF_T **result) noexcept;
// The ids of the visible item types of an origin kind, in list order (request pool).
int moap_itype_get_idlist_of_sys_type(MOIT_ITEM_T *item, int kind, MOIL_IDLIST_T **result) noexcept;
// The visible item types that may be created inside an entry of `parent_type_id` (its new method)
// with the given object type, in list order (request pool). An unknown parent fails.
int moap_itype_get_dir_type_list(MOIT_ITEM_T *item, int parent_type_id, int object_type,
                                 MOIL_IDLIST_T **result) noexcept;
// Whether an entry of `candidate_id` may be moved into an entry of the parent type (given its
// contains method and its own dir_type). An unknown candidate is never allowed.
int moap_itype_contains_check_if_allowed(MOIT_ITEM_T *item, int parent_type_id, int parent_contains_method,
                                         int parent_dir_type, int candidate_id,
                                         mo_boolean_t *allowed) noexcept;

// The placement rule: may an item type (candidate id, its dir_type) go into an entry of the parent
// type by `method` (1 to 6; any other value never).
mo_boolean_t moap_itype_check_dir(int parent_type_id, int method, int parent_dir_type, int candidate_dir_type,
                                  int candidate_id) noexcept;

// ---------------------------------------------------------------- choosers

// The plain new-entry chooser: for each offered, not deleted type an image button and a link to
// `link` + "&" + type id. Names and links are escaped for where they land.
int moap_itype_plain_chooser(MOIT_ITEM_T *item, MOOU_OUT_DEF_T *out_def, const char *link,
                             const MOIL_IDLIST_T *offered) noexcept;

// One choice of the document chooser: a document-folder type and a number scheme whose
// combination is the item type `type_id`.
struct MOAP_ITYPE_DOC_CHOICE_T {
    const char *doc_type; // document-folder type name (DOC_TYPE)
    const char *doc_num;  // number scheme name (DOC_NUM)
    int type_id;          // the combination's item type
};
typedef struct MOAP_ITYPE_DOC_CHOICE_T moap_itype_doc_choice_t;

// The document chooser: form DOC_CHOOSE with the selections DOC_TYPE and DOC_NUM, whose joined
// texts map to an item type; `selected_id` is the preselected type.
int moap_itype_doc_chooser(MOIT_ITEM_T *item, MOOU_OUT_DEF_T *out_def, const char *link,
                           const MOAP_ITYPE_DOC_CHOICE_T *choices, int choice_count,
                           int selected_id) noexcept;
