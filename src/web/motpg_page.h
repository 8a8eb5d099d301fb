// Page storage types: a standard-list storage type whose data file holds one record, shown as a page
// (a view of its columns and an edit form) instead of a list. This module gives such a type its
// storage-type operations; mowpg_web_page gives it its web commands. Columns, value types and cells
// are the standard list's.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"
#include "storage/mot_top.h"

// Consumes the four arguments that name a list position (index, list, row, storage type) and puts
// the page at (0, 0, 0): a page is never a folder's list, so its access is always its own.
int motpg_init_stype_default(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                             MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
// "data is not loaded in init_data of stype %s\n" unless the data is loaded; else the column and row
// flags of the request.
int motpg_init_data(MOT_TOP_STYPE_T *stype, void *data_record) noexcept;
// The standard-list read with its record of defaults when there is no file yet, and the id index.
int motpg_page_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
// The standard-list write (the caller holds the file's write lock).
int motpg_page_write_data(MOT_TOP_STYPE_T *stype) noexcept;
// The per-request set-up of the web: options and related lists ("Problem in initialisation of top
// structure\n" on failure).
int motpg_applic_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept;
// Script location, "?", frame, "&", display, "&", trail, "&", directory type, "&0&0&0&" and the
// stype's name into `string` (MO_STRING_LEN bytes): a link to this page.
int motpg_http_call_start(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                          char *string) noexcept;
// The first record of the loaded page data; reported when there is none.
int motpg_page_record(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *first, MOK_DATA_RECORD_T **record) noexcept;

// A page type to start from (copy it, then set name, id, help, title, access, lock texts, file name
// and what differs).
inline constexpr MOT_TOP_STYPE_DEF_T motpg_stype_def_page = {
    .insert_title = mot_insert_title_null,
    .type = MOT_STYPE_MAIN,
    .init_stype = motpg_init_stype_default,
    .read_data = motpg_page_read_data,
    .write_data = motpg_page_write_data,
    .new_data = motsl_stdlist_new_data,
    .add_data = motsl_stdlist_add_data,
    .view_access_row_fn = mot_row_access_all,
    .edit_access_row_fn = mot_row_access_all,
    .lock_element = mot_top_lock_page_element,
    .lock_file = mot_top_lock_file,
    .get_common_struct = mot_top_get_common_struct,
    .get_keyword_array = motsl_applic_get_keyword_array,
    .get_keylist = motsl_applic_get_keylist,
    .init_struct = mot_top_init_struct,
    .init_data = motpg_init_data,
    .init_web = motpg_applic_init_web,
    .http_call_start = motpg_http_call_start,
};
