// The folder tree: every folder, document folder, table, mail group and administration list a user
// browses is an item of one tree of item records ("litem", index 0), kept as a standard list; a second
// tree of the same shape holds the company bookmarks ("bkmark", index 1). The module gives the rest of
// the system fast accessors by item id (through the list's id index), evaluates item access through
// the item types' access definitions, prints the directory tree, creates folders and objects in two
// steps, moves items (checked and written under one write lock, so that no parent loop can arise),
// deletes and undeletes them, and keeps the built-in items that every installation has.
//
// Every walk up the parents is bounded: a damaged file with a parent loop gives a clear error, never
// an endless loop.
#pragma once
#include "mo_std.h"
#include "apps/moap_itype.h"
#include "apps/moit_item_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "web/mow_web.h"

#include <cstdint>

struct MOIL_IDLIST_T;
struct MOIL_ACCESSLIST_T;
struct MOSU_SUBSCRIBE_T;

// The two trees.
#define MOAP_LITEM_INDEX MOIT_INDEX_LITEM         // folders
#define MOAP_LITEM_INDEX_BKMARK MOIT_INDEX_BKMARK // bookmarks

// Kind of `sys_id_list` (kind, system id) of a built-in item.
#define MOAP_LITEM_SYS_KIND 1

// System ids of the built-in items of the folder tree.
#define MOAP_LITEM_SYS_USER_PROFILE 2
#define MOAP_LITEM_SYS_GROUP_LIST 3
#define MOAP_LITEM_SYS_FILE_TYPES 4
#define MOAP_LITEM_SYS_DOCS 7
#define MOAP_LITEM_SYS_TABLE_TYPES 10
#define MOAP_LITEM_SYS_DOC_FOLDER_TYPES 12
#define MOAP_LITEM_SYS_TABLES 13
#define MOAP_LITEM_SYS_DOC_NUMBER_SCHEMES 16
#define MOAP_LITEM_SYS_USER_CONTACT 17
#define MOAP_LITEM_SYS_MGROUPS 18
// The one built-in item of the bookmark tree: the folder new bookmarks are filed under.
#define MOAP_BKMARK_SYS_COMPANY 4

#define MOAP_LITEM_DEFAULT_NAME "New Object"
#define MOAP_LITEM_NOT_DEFINED "Not-Defined" // name of an unknown item
#define MOAP_LITEM_MOVE_WINDOW_W 400         // the move window
#define MOAP_LITEM_MOVE_WINDOW_H 500
#define MOAP_LITEM_NEW_WINDOW_W 400 // the new folder or object window
#define MOAP_LITEM_NEW_WINDOW_H 300

// One item of a tree.
struct MOAP_LITEM_T {
    int32_t id;                     // "ID"
    int32_t new_;                   // "NEW": creator while the item is being made
    int32_t delete_status;          // "DEL": 0 active, 1 deleted
    char *name;                     // "N"
    int32_t parent_id;              // "PID": parent item in the same tree, 0 for a top item
    int32_t ftype_id;               // "FID": file type, 0 for folders
    int32_t itype_id;               // "IID": item type
    MOIL_ACCESSLIST_T *view_access; // "VA"
    MOIL_ACCESSLIST_T *edit_access; // "EA"
    MOIL_ACCESSLIST_T *lib_access;  // "LA"
    MOIL_IDLIST_T *link_id_list;    // "LID": empty, or (index id, item id) of the item a link points at
    MOIL_IDLIST_T *sys_id_list;     // "SID": empty, or (1, system id) of a built-in item
};
typedef struct MOAP_LITEM_T moap_litem_t;

struct MOAP_LITEM_STORAGE_T;
// The move check as a move page uses it (moap_litem_check_move_item).
typedef int (*moap_litem_check_move_fn_t)(MOX_AUX_T *aux, int index_id, int from_parent_id,
                                          int destination_id, const MOIL_IDLIST_T *moved, const char **reason,
                                          mo_boolean_t *ok) noexcept;

// Working storage of an item stype (its applic_storage_ref).
struct MOAP_LITEM_STORAGE_T {
    int index_id;                             // 0 folder lists, 1 bookmark lists
    int parent_type_id;                       // item type of the parent of a new item
    char *parent_id_string;                   // the parent argument of the second creation step
    int parent_id;                            // values a new item is given by the creation functions
    int parent_index;                         //
    int ftype_id;                             //
    int itype_id;                             //
    MOIL_IDLIST_T *link_id_list;              //
    const char *name;                         //
    MOT_TOP_STYPE_T *calling_stype;           // the list whose command creates the item
    int from_parent_id;                       // the move page: the folder the items leave
    char *idlist_string;                      // the moved ids joined by "_"
    MOIL_IDLIST_T *idlist;                    // the moved ids
    moap_litem_check_move_fn_t check_move_fn; // the check each destination passes
};
typedef struct MOAP_LITEM_STORAGE_T moap_litem_storage_t;

// One built-in item.
struct MOAP_LITEM_SYS_T {
    int sys_id;
    const char *name;
    int parent_sys_id; // 0: a top item
    int ftype_sys_id;  // 0: a folder
    int itype_sys_id;  // system id of its item type
    int link_sys_id;   // 0: not a link
};
typedef struct MOAP_LITEM_SYS_T moap_litem_sys_t;

extern const MOAP_LITEM_SYS_T moap_litem_sys_table[];
extern const int moap_litem_sys_count;
extern const MOAP_LITEM_SYS_T moap_bkmark_sys_table[];
extern const int moap_bkmark_sys_count;

// ---------------------------------------------------------------- registration and loading

int moap_litem_construct(MOT_TOP_SESSION_T *session) noexcept;
// Installs the folder tree's hooks (the list engine's item accessors) once every list is registered.
int moap_litem_setup(MOT_TOP_SESSION_T *session) noexcept;
// The item service's operations: both trees loaded for the request (index range 0..1), and the size
// and modification stamp of the folder tree.
int moap_litem_init_litem_array(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept;
int moap_litem_get_litem_data_props(MOIT_ITEM_T *item, int *max_item_id, int *item_mod) noexcept;
// Registers one item stype of a tree with its type storage; `index_id` picks the tree.
int moap_litem_register_stype(MOT_TOP_STYPE_T *stype, int index_id) noexcept;
// The read operation of "litem", "litem_base" and "bkmark": the first read in a process puts back the
// built-in items under the tree's write lock and writes the file once when anything differs.
int moap_litem_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
// The init_stype of "litem", "litem_base" and "bkmark": index, list and row ids and one more
// argument; list id 0 is allowed only for these three.
int moap_litem_stype_init(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                          MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
// The init_struct of every item stype: the file name and, from the web, the bindings of the access
// list, file type and item type columns.
int moap_litem_init_struct(MOT_TOP_STYPE_T *stype, void *req_ref, mo_boolean_t from_web_init) noexcept;
// The new_copy_template of the item lists: a new item gets what the creation step prepared (parent,
// item type, file type, link, name) and an empty system id list.
int moap_litem_web_copy_template(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record) noexcept;

// ---------------------------------------------------------------- accessors (loaded tree)

// Each takes the tree's index and the item id and answers through the tree's id index. `deleted`
// (may be NULL) tells whether the item is deleted. An unknown id fails with "List ID %d out of
// range\n", except for the name, which is then "Not-Defined".
int moap_litem_find(MOIT_ITEM_T *item, int index_id, int id, MOAP_LITEM_T **result) noexcept;
int moap_litem_get_name(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                        const char **result) noexcept;
int moap_litem_get_parent_id(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                             int *result) noexcept;
int moap_litem_get_ftype_id(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                            int *result) noexcept;
int moap_litem_get_itype_id(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                            int *result) noexcept;
int moap_litem_get_link_id(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                           MOIL_IDLIST_T **result) noexcept;
int moap_litem_get_access_view(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                               MOIL_ACCESSLIST_T **result) noexcept;
int moap_litem_get_access_edit(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                               MOIL_ACCESSLIST_T **result) noexcept;
int moap_litem_get_access_lib(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                              MOIL_ACCESSLIST_T **result) noexcept;
// Derived, each following links first: the file type's icon when the item has a file type, else the
// item type's; the item type's default stype, allowed stypes, extra arguments, list command and
// access definition.
int moap_litem_get_graphic(MOIT_ITEM_T *item, int index_id, int id, const char **result) noexcept;
int moap_litem_get_default_stype(MOIT_ITEM_T *item, int index_id, int id, const char **result) noexcept;
int moap_litem_get_allowed_stypes(MOIT_ITEM_T *item, int index_id, int id, const char **result) noexcept;
int moap_litem_get_extra_args(MOIT_ITEM_T *item, int index_id, int id, const char **result) noexcept;
int moap_litem_get_list_cmd(MOIT_ITEM_T *item, int index_id, int id, const char **result) noexcept;
int moap_litem_get_access_def(MOIT_ITEM_T *item, int index_id, int id, MOTSL_ACCESS_DEF_T **result) noexcept;
// The parent's id, and its access definition when the parent is not 0 (else NULL).
int moap_litem_get_parent_access_def(MOIT_ITEM_T *item, int index_id, int id, int *parent_id,
                                     MOTSL_ACCESS_DEF_T **result) noexcept;
// The item whose system id list is (kind, system id); reports "Can't find item with sys_id %d,%d\n".
int moap_litem_find_sys_id(MOIT_ITEM_T *item, int index_id, int sys_kind, int sys_id, int *result) noexcept;
// Follows links: while the item's link list has two numbers, go to (first, second). A chain longer
// than the tree or a loop of links is reported.
int moap_litem_follow_link(MOIT_ITEM_T *item, int index_id, int id, int *index_result,
                           int *id_result) noexcept;
// The item's ancestors from its parent up to the top item (bounded; a loop is reported).
int moap_litem_get_ancestors(MOIT_ITEM_T *item, int index_id, int id, MOIL_IDLIST_T **result) noexcept;
// The parent function of the subscription walk (mosu_subscribe): `parent_ref` is the bundle.
int moap_litem_subscribe_parent(void *parent_ref, int item_id, int *parent_id_ptr) noexcept;

// The item's link: "%s?%s&content&%s&%s&%d&%d&0&%s&%s" with the script location, the frame, the
// trail, the directory type, index, id, the stype (the item type's default when NULL) and the item
// type's list command; `result` holds MO_STRING_LEN bytes. Arguments are URL-escaped.
int moap_litem_get_default_call_of_id(MOX_AUX_T *aux, const char *frame, const char *trail, int index_id,
                                      int id, const char *stype_name, char *result) noexcept;

// May the current user see the item (its item type's `view` set, following links).
int moap_litem_check_view(MOX_AUX_T *aux, int index_id, int id, mo_boolean_t *ok) noexcept;

// ---------------------------------------------------------------- changing the tree

// Creates a committed item under `parent_id` (folder tree) and writes the tree; `*id_result` is its id.
int moap_litem_create_new_item(MOX_AUX_T *aux, int itype_id, int ftype_id, int parent_id, const char *name,
                               int *id_result) noexcept;
// Creates a bookmark to (target index, target id) under `parent_id` of the bookmark tree: item type
// 0, the target's name.
int moap_litem_create_new_bkmark(MOX_AUX_T *aux, int target_index, int target_id, int parent_id,
                                 int *id_result) noexcept;

// What moap_litem_update changes: only the fields whose flag is set.
struct MOAP_LITEM_UPDATE_T {
    mo_boolean_t set_itype;
    int itype_id;
    mo_boolean_t set_ftype;
    int ftype_id;
    mo_boolean_t set_parent;
    int parent_id;
    mo_boolean_t set_delete;
    int delete_status;
    mo_boolean_t set_view;
    const MOIL_ACCESSLIST_T *view_access;
    mo_boolean_t set_edit;
    const MOIL_ACCESSLIST_T *edit_access;
    mo_boolean_t set_lib;
    const MOIL_ACCESSLIST_T *lib_access;
    mo_boolean_t set_name;
    const char *name;
};
typedef struct MOAP_LITEM_UPDATE_T moap_litem_update_t;
// Under the folder tree's write lock: the caller must hold the item's element lock; the flagged
// fields change and the tree is written. A new parent that would make a loop is refused. Any failure
// reports "Can't edit the ID %d. Possibly locked by someone else.\n".
int moap_litem_update(MOX_AUX_T *aux, int id, const MOAP_LITEM_UPDATE_T *changes) noexcept;
// Applies an element-lock instruction (21 to 24) to an item of the folder tree.
int moap_litem_update_lock(MOX_AUX_T *aux, int lock_instruction, int id) noexcept;

// The move check (first refusal wins; the initial reason is "Just Because"): the destination is no
// link, every moved item fits under the destination's item type, the destination is not the
// from-parent, neither the destination nor an ancestor of it is moved, and the user has the
// destination's move access. Every moved id must be a child of the from-parent, not a built-in item.
int moap_litem_check_move_item(MOX_AUX_T *aux, int index_id, int from_parent_id, int destination_id,
                               const MOIL_IDLIST_T *moved, const char **reason, mo_boolean_t *ok) noexcept;
// Moves the items under the destination: the tree is read again, checked and changed under one write
// lock and written once; then each item gets its "Moved" history entry. A refusal fails with "Is it not
// possible to move the Object: %s\n" (reason) and nothing is written.
int moap_litem_move_items(MOX_AUX_T *aux, int index_id, int from_parent_id, int destination_id,
                          const MOIL_IDLIST_T *moved) noexcept;
// Parses "12_15_3" into ids (request pool); anything but positive decimal ids joined by "_" fails.
int moap_litem_parse_idlist(MOX_AUX_T *aux, const char *text, MOIL_IDLIST_T **result) noexcept;

// ---------------------------------------------------------------- the directory tree

// Writes one line of the tree after its buttons: the item's icon and name (MOK_DATA_RECORD_T of the
// item) in the line writer's way.
typedef int (*moap_litem_line_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row,
                                    void *ref) noexcept;
// A further test of the rows shown (the default: every row).
typedef int (*moap_litem_row_test_fn_t)(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *row, void *ref,
                                        mo_boolean_t *ok) noexcept;

// Prints the rows of `level` (records of the visible tree whose view flag is set and that pass the
// row test) with their expand/collapse buttons, the subscription button (directory type "docs" with a
// subscription record) and the line writer's text; expanded rows are followed by their children one
// level deeper. `visible` is the chain of every visible row.
int moap_litem_print_dir(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *visible,
                         MOK_DATA_RECORD_T *level, moap_litem_row_test_fn_t row_test,
                         moap_litem_line_fn_t line, void *ref, MOSU_SUBSCRIBE_T *sub, int depth) noexcept;
// Line writers: the icon and name linked to the item's default call, opened in the content frame
// ("TARGET" when the link's frame differs from the current one; trail "R") or in the same frame
// (trail "A").
int moap_litem_list_start_content(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row,
                                  void *ref) noexcept;
int moap_litem_list_start_same_frame(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row,
                                     void *ref) noexcept;
// The line of the move page: a "Move Selected Under Here" button when the move check allows the
// folder, else its icon and the reason; the current parent in bold. `ref` is the move page's stype.
int moap_litem_name_mod_parent(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row,
                               void *ref) noexcept;
// A titled box ("  <TD CLASS=DirTitle> %s </TD>\n") with the tree that starts at `item_id` (the item's
// children and below), its rows sorted by name; `stype` is the tree's "litem" (or "bkmark") stype, read
// for this request. `rows` may give the visible rows already read (else the tree is read).
int moap_litem_insert_dir(MOT_TOP_STYPE_T *stype, const char *title, int item_id, MOOU_OUT_DEF_T *out_def,
                          MOK_DATA_RECORD_T *rows) noexcept;

// Button bars of the directory lists.
int moap_litem_button_folder_and_object(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                        void *record) noexcept;
int moap_litem_button_doc_folder_only(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                      void *record) noexcept;
int moap_litem_button_folder_only(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                  void *record) noexcept;

// The source of the "new_doc_folder" chooser (the document folders fill it in): the combinations that
// may be made inside an item of `parent_type_id`. Without one the chooser offers the plain item types.
typedef int (*moap_litem_doc_choices_fn_t)(MOX_AUX_T *aux, int parent_type_id,
                                           const MOAP_ITYPE_DOC_CHOICE_T **choices, int *count) noexcept;
void moap_litem_set_doc_choices(moap_litem_doc_choices_fn_t fn) noexcept;
