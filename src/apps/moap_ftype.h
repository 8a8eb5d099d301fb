// File types: how a stored file is recognised (by its extension), shown (icon, MIME type, new
// browser window) and processed (check-in, check-out and index scripts). They are a standard list
// ("ftype", with deleted, option and history lists) that the super user edits; the first load of a
// process puts back the thirty-four built-in rows, as far as an administrator's edits allow, and
// writes the list only when that changed something.
#pragma once
#include "mo_std.h"

#include <cstdint>

struct MOK_DATA_RECORD_T;

// `new_window`
#define MOAP_FTYPE_WINDOW_NEVER 1
#define MOAP_FTYPE_WINDOW_IE 2
#define MOAP_FTYPE_WINDOW_NETSCAPE 3
#define MOAP_FTYPE_WINDOW_ALWAYS 4
// `system_edited`: how far an administrator has edited a built-in type.
#define MOAP_FTYPE_EDITED_NONE 0 // everything follows the built-in row
#define MOAP_FTYPE_EDITED_KEEP 1 // only the index script follows it
#define MOAP_FTYPE_EDITED_OWN 2  // nothing follows it (set by saving in the browser)
// System id of the type of files whose extension is unknown.
#define MOAP_FTYPE_SYS_UNKNOWN 1

// One file type.
struct MOAP_FTYPE_T {
    int32_t id;               // "ID"
    int32_t new_;             // "NEW"
    int32_t delete_status;    // "DEL"
    char *name;               // "N"
    char *graphic_filename;   // "G"
    char *pri_extension;      // "E": main extension, without dot
    char *sec_extension;      // "EE": further extensions, separated by commas or blanks
    char *application_string; // "A": MIME type
    char *new_script;         // run for a new file (not stored)
    char *checkin_script;     // "CIS"
    char *checkout_script;    // "COS"
    char *index_script;       // "IS"
    char *copy_script;        // run at copy (not stored)
    int32_t source_type;      // 0 "Uploadable" .. 4 "Convert" (not stored)
    char *convert_type_list;  // file types a "Convert" type converts to (not stored)
    int32_t new_window;       // "NW": 1 to 4
    int32_t sys_id;           // "SID": built-in row it came from; 0 for user-made types
    int32_t system_edited;    // "SE": MOAP_FTYPE_EDITED_*
};
typedef struct MOAP_FTYPE_T moap_ftype_t;

// One built-in row.
struct MOAP_FTYPE_SYS_T {
    int sys_id;
    const char *name;
    const char *graphic_filename;
    const char *pri_extension;
    const char *sec_extension;
    int new_window;
    const char *index_script;
    const char *application_string;
};
typedef struct MOAP_FTYPE_SYS_T moap_ftype_sys_t;

extern const MOAP_FTYPE_SYS_T moap_ftype_sys_table[];
extern const int moap_ftype_sys_count;

int moap_ftype_construct(MOT_TOP_SESSION_T *session) noexcept;
int moap_ftype_setup(MOT_TOP_SESSION_T *session) noexcept;
// The item service's init_ftype_array: loads the file types for the request into item->ftype_ref and
// sets item->ftype_unknown_id.
int moap_ftype_init_ftype_array(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept;
// The read operation of "ftype" and "ftype_deleted": the built-in check at the first load.
int moap_ftype_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
// The edit call-back: a saved type is the administrator's own from now on.
int moap_ftype_edit_end_call_back(MOT_TOP_STYPE_T *stype, void *container) noexcept;

// Accessors by id on the loaded list; an unknown id is reported ("File type id %d not found\n")
// and fails.
int moap_ftype_find(MOIT_ITEM_T *item, int ftype_id, MOAP_FTYPE_T **ftype) noexcept;
int moap_ftype_get_name(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept;
int moap_ftype_get_graphic(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept;
int moap_ftype_get_extension(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept;
int moap_ftype_get_applic_string(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept;
int moap_ftype_get_checkin_script(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept;
int moap_ftype_get_checkout_script(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept;
int moap_ftype_get_index_script(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept;
int moap_ftype_get_new_window(MOIT_ITEM_T *item, int ftype_id, int *result) noexcept;

// The file type of an extension (without dot): the first visible type, in list order, whose main
// extension or one of its further extensions equals it ignoring case; else ftype_unknown_id.
int moap_ftype_get_ext_id(MOIT_ITEM_T *item, const char *extension, int *result) noexcept;
// The same over a chain of file-type records, with the fallback given.
int moap_ftype_ext_id_in(MOK_DATA_RECORD_T *chain, const char *extension, int unknown_id) noexcept;

// A MIME type is safe in a response header: no control characters, not empty.
mo_boolean_t moap_ftype_mime_ok(const char *mime) noexcept;
