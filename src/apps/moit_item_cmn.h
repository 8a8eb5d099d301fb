// The item service: the run-time handle through which the pages and the list engine reach the
// item types, the file types and the folder trees. It holds the lists loaded for the current
// request and the operations that (re)load them; the folder-tree operations start as stand-ins
// that load nothing and answer no question, until the folder tree installs its own.
#pragma once
#include "mo_std.h"

// Folder trees of the service: the folders and the bookmarks.
#define MOIT_INDEX_LITEM 0
#define MOIT_INDEX_BKMARK 1
#define MOIT_INDEX_COUNT 2

// Loads (or refreshes) one kind of list for the request.
typedef int (*moit_init_array_fn_t)(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept;
// Highest item id of the folder tree and its modification number (both 0 when there is no tree).
typedef int (*moit_get_litem_data_props_fn_t)(MOIT_ITEM_T *item, int *max_item_id, int *item_mod) noexcept;

struct MOIT_ITEM_T {
    MOIM_INTERM_T *interm;                               // platform services
    int current_index_id;                                // folder tree of the current position; -1 none
    int current_list_id;                                 // folder item of the current position; -1 none
    moit_init_array_fn_t init_litem_array;               // loads the folder trees
    moit_init_array_fn_t init_itype_array;               // loads the item types (moap_itype)
    moit_init_array_fn_t init_ftype_array;               // loads the file types (moap_ftype)
    moit_get_litem_data_props_fn_t get_litem_data_props; // sizes and stamps of the folder tree
    int min_index;                                       // lowest folder tree index in use (0)
    int max_index;                                       // highest one loaded; -1 while none is
    MOT_TOP_STYPE_T **stype_ref_array;                   // per folder tree: its main stype, or NULL
    void **litem_refs;                                   // per folder tree: its data cell, or NULL
    void *itype_ref;                                     // data cell (MOT_TOP_STORAGE_T) of the item types
    void *ftype_ref;                                     // data cell of the file types
    int ftype_unknown_id;                                // file type of files whose extension is unknown
    MOX_AUX_T *aux;                                      // the bundle the lists are read with
};

// The operations of the service; a NULL slot takes the stand-in.
struct MOIT_ITEM_OPS_T {
    moit_init_array_fn_t init_litem_array;
    moit_init_array_fn_t init_itype_array;
    moit_init_array_fn_t init_ftype_array;
    moit_get_litem_data_props_fn_t get_litem_data_props;
};

// Builds the service in the session pool with `index_count` folder-tree slots (all empty), the
// positions -1, min_index 0, max_index -1 and no lists loaded.
int moit_construct_item(MOIT_ITEM_T **item_ptr, MOX_AUX_T *aux, int index_count,
                        const MOIT_ITEM_OPS_T *ops) noexcept;

// Stand-ins of the folder-tree operations while no folder tree is registered: nothing to load,
// no items (so no access can come from an item).
int moit_init_litem_array_none(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept;
int moit_get_litem_data_props_none(MOIT_ITEM_T *item, int *max_item_id, int *item_mod) noexcept;

// Checks a folder-tree index against the service's slots; reports "Index ID %d out of range\n".
int moit_check_index(MOIT_ITEM_T *item, int index_id) noexcept;
