// The storage type registry: every stored or shown kind of data is a named storage type (stype) that
// an application registers once per session, with its metadata, its caches and its operations. The
// module also holds the request and session records, the request's argument list, the storage
// entries that cache keyword definitions and loaded data between requests, default operations and
// the display commands.
#pragma once
#include "mo_std.h"

struct MOK_DATA_RECORD_T;
struct MOK_GEN_KEYWORD_T;
struct MOTC_COMMON_KEYWORD_T;
struct MOTC_KEYLIST_T;
struct MOSE_INDEXER_T;
struct MOCO_COOKIE_T;
struct MOW_POST_RESULTS_T;
struct MOT_TOP_ARG_LIST_T;
struct MOT_TOP_STORAGE_T;
struct MOT_DISPLAY_CMD_T;

// Operations of a stype; each takes the stype (or its address) first and returns the status.
typedef int (*mot_insert_title_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int otype, int dtype,
                                     void *specific) noexcept;
typedef int (*mot_init_stype_fn_t)(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                                   MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
typedef int (*mot_read_data_fn_t)(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
typedef int (*mot_write_data_fn_t)(MOT_TOP_STYPE_T *stype) noexcept;
typedef int (*mot_new_data_fn_t)(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **new_record) noexcept;
typedef int (*mot_add_data_fn_t)(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record,
                                 MOK_DATA_RECORD_T **first) noexcept;
typedef int (*mot_access_row_fn_t)(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept;
typedef int (*mot_lock_element_fn_t)(MOT_TOP_STYPE_T *stype, int lock_instruction, void *data_container,
                                     int *status) noexcept;
typedef int (*mot_lock_file_fn_t)(MOT_TOP_STYPE_T *stype, int lock_instruction, int *status) noexcept;
typedef int (*mot_get_common_struct_fn_t)(MOT_TOP_STYPE_T *stype, const char *keyword,
                                          MOTC_COMMON_KEYWORD_T **common) noexcept;
typedef int (*mot_get_keylist_fn_t)(MOT_TOP_STYPE_T *stype, MOTC_KEYLIST_T **keylist) noexcept;
typedef int (*mot_get_keyword_array_fn_t)(MOT_TOP_STYPE_T *stype, MOK_GEN_KEYWORD_T **keyword_array) noexcept;
typedef int (*mot_init_filename_fn_t)(MOT_TOP_STYPE_T *stype) noexcept;
typedef int (*mot_init_struct_fn_t)(MOT_TOP_STYPE_T *stype, void *req_ref,
                                    mo_boolean_t from_web_init) noexcept;
typedef int (*mot_init_data_fn_t)(MOT_TOP_STYPE_T *stype, void *data_record) noexcept;
typedef int (*mot_init_web_fn_t)(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept;
typedef int (*mot_init_cmd_fn_t)(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept;
// Writes the start of a link that opens the stype into `string` (MO_STRING_LEN bytes).
typedef int (*mot_http_call_start_fn_t)(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                                        char *string) noexcept;
// Fills the stype's access_ref once at registration; not kept.
typedef int (*mot_assign_access_fn_t)(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;

// One cache entry: a structure cached under a key, with the modification number it was loaded at.
struct MOT_TOP_STORAGE_T {
    char *id_string;         // key text (owned copy)
    int mod_time;            // modification number when the structure was loaded; 0 when empty
    void *struct_ref;        // the cached structure, or NULL
    void *sub_pool_ref;      // sub-pool holding everything cached under this entry
    MOT_TOP_STORAGE_T *next; // next entry of the storage list
};
typedef struct MOT_TOP_STORAGE_T mot_top_storage_t;

// The registry head and the two storage list heads.
struct MOT_STYPE_STORAGE_T {
    MOT_TOP_STYPE_T *stype_list;             // registered stypes, in registration order
    MOT_TOP_STORAGE_T *data_storage_list;    // loaded data entries, keyed by data file path
    MOT_TOP_STORAGE_T *keyword_storage_list; // keyword definition entries, keyed by application text
};
typedef struct MOT_STYPE_STORAGE_T mot_stype_storage_t;

struct MOT_TOP_STYPE_T {
    const char *name;                             // unique name, used in URLs and commands
    mot_insert_title_fn_t insert_title;           // writes the title of a page of this stype
    int id;                                       // number chosen by the registering application
    int type;                                     // one of MOT_STYPE_*
    const char *help;                             // one-line description
    MOX_AUX_T *aux;                               // the service bundle
    const char *lock_element_string;              // description sent with element locks
    const char *lock_file_string;                 // description sent with file locks
    int number_of_keywords;                       // keyword descriptors of the data file
    int size_of_element;                          // byte size of one record container
    mo_boolean_t data_loaded;                     // data list loaded in this request
    mo_boolean_t system_checked;                  // consistency check has run
    void *type_storage_ref;                       // list-engine data of the type
    void *applic_storage_ref;                     // application data of the type
    MOT_TOP_STYPE_T **stype_list_ptr;             // head of the registry this stype belongs to
    void *keyword_pool_ref;                       // pool of the keyword storage list
    void *data_pool_ref;                          // pool of the data storage list
    MOT_TOP_STORAGE_T **keyword_storage_list_ptr; // where keyword entries live
    MOT_TOP_STORAGE_T **data_storage_list_ptr;    // where data entries live
    MOT_TOP_STORAGE_T *keyword_storage;           // this type's keyword definitions cache
    MOT_TOP_STORAGE_T *data_storage;              // this type's loaded data cache
    MOSE_INDEXER_T *indexer;                      // how records are indexed for search
    void *web_storage_ref;                        // web command table
    void *cmd_storage_ref;                        // command-line command table
    char *filename;                               // full path of the data file
    mot_init_stype_fn_t init_stype;               // consumes the arguments selecting the instance
    void *access_ref;                             // access definitions, filled at registration
    mot_read_data_fn_t read_data;                 // gives the data list
    mot_write_data_fn_t write_data;               // writes the loaded list back
    mot_new_data_fn_t new_data;                   // makes a new record with initial values
    mot_add_data_fn_t add_data;                   // adds a new record to the list
    mot_access_row_fn_t view_access_row_fn;       // may the user see this record
    mot_access_row_fn_t edit_access_row_fn;       // may the user change this record
    mot_lock_element_fn_t lock_element;           // lock or unlock one record
    mot_lock_file_fn_t lock_file;                 // lock operations on the data file
    mot_get_common_struct_fn_t get_common_struct; // common keyword by name
    mot_get_keylist_fn_t get_keylist;             // the type's key list
    mot_get_keyword_array_fn_t get_keyword_array; // descriptor array of the data file
    mot_init_filename_fn_t init_filename;         // computes the data file's path
    mot_init_struct_fn_t init_struct;             // per-request set-up
    mot_init_data_fn_t init_data;                 // fills a fresh record's defaults
    mot_init_web_fn_t init_web;                   // registers web commands
    mot_init_cmd_fn_t init_cmd;                   // registers command-line commands
    mot_http_call_start_fn_t http_call_start;     // start of a link URL opening this stype
    MOT_TOP_STYPE_T *next;                        // next stype in registration order
};

// One request argument.
struct MOT_TOP_ARG_LIST_T {
    const char *val;          // the argument text (not copied)
    MOT_TOP_ARG_LIST_T *next; // next argument
};
typedef struct MOT_TOP_ARG_LIST_T mot_top_arg_list_t;

// Display commands produce the start and the end of a page for one display.
typedef int (*mot_display_service_fn_t)(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def,
                                        MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;

struct MOT_DISPLAY_CMD_T {
    const char *command_name;                  // display name (held by reference)
    mot_display_service_fn_t service_start_fn; // writes the start of the page
    mot_display_service_fn_t service_end_fn;   // writes the end of the page
    MOT_DISPLAY_CMD_T *next;                   // next display command
};
typedef struct MOT_DISPLAY_CMD_T mot_display_cmd_t;

struct MOT_TOP_SESSION_T {
    MOX_AUX_T *aux;                      // the service bundle
    MOT_DISPLAY_CMD_T *display_cmd_list; // display commands
    void *dir_list_ref;                  // folder list data of the frames
    MOT_STYPE_STORAGE_T storage;         // registry and caches that outlive a request
};

struct MOT_TOP_REQ_T {
    MOT_TOP_ARG_LIST_T **arg_list_ptr;    // current position in the argument list
    MOT_TOP_ARG_LIST_T *arg_list;         // the argument list
    MOCO_COOKIE_T *in_cookie;             // cookies received
    MOCO_COOKIE_T *out_cookie;            // cookies to send
    MOT_STYPE_STORAGE_T storage;          // per-request stypes and caches
    MOW_POST_RESULTS_T *results_ref;      // posted form results
    MOT_TOP_ARG_LIST_T *initial_arg_list; // the argument list as received
};

int mot_top_construct_session(MOT_TOP_SESSION_T **session_ptr, MOX_AUX_T *aux) noexcept;
int mot_top_construct_req(MOT_TOP_REQ_T **req_ptr, MOX_AUX_T *aux) noexcept;

// Type codes of a stype: what it keeps and how the pages treat it.
enum : int {
    MOT_STYPE_MAIN = 0,          // a data list of its own
    MOT_STYPE_SECONDARY = 1,     // a list kept beside a main one (deleted entries and the like)
    MOT_STYPE_USER_OPTIONS = 2,  // per-user options
    MOT_STYPE_HISTORY = 3,       // history records
    MOT_STYPE_COMMANDS_ONLY = 4, // no data: only commands
};

// What a registration fills in, named like the stype slots it fills. Fill it with designated
// initializers (fields in this order); what is left out is null or zero. A null indexer means the
// default indexer; null texts (help, lock descriptions) mean the empty text.
struct MOT_TOP_STYPE_DEF_T {
    const char *name = nullptr;                        // unique name, used in URLs and commands
    mot_insert_title_fn_t insert_title = nullptr;      // writes the title of a page of this stype
    int id = 0;                                        // number chosen by the registering application
    int type = 0;                                      // one of MOT_STYPE_*
    const char *help = nullptr;                        // one-line description
    MOSE_INDEXER_T *indexer = nullptr;                 // how records are indexed; NULL: the default
    mot_init_stype_fn_t init_stype = nullptr;          // consumes the arguments selecting the instance
    mot_assign_access_fn_t assign_access_fn = nullptr; // fills access_ref once at registration; NULL: none
    mot_read_data_fn_t read_data = nullptr;            // gives the data list
    mot_write_data_fn_t write_data = nullptr;          // writes the loaded list back
    mot_new_data_fn_t new_data = nullptr;              // makes a new record with initial values
    mot_add_data_fn_t add_data = nullptr;              // adds a new record to the list
    mot_access_row_fn_t view_access_row_fn = nullptr;  // may the user see this record
    mot_access_row_fn_t edit_access_row_fn = nullptr;  // may the user change this record
    const char *lock_element_string = nullptr;         // description sent with element locks
    mot_lock_element_fn_t lock_element = nullptr;      // lock or unlock one record
    const char *lock_file_string = nullptr;            // description sent with file locks
    mot_lock_file_fn_t lock_file = nullptr;            // lock operations on the data file
    mot_get_common_struct_fn_t get_common_struct = nullptr; // common keyword by name
    mot_get_keyword_array_fn_t get_keyword_array = nullptr; // descriptor array of the data file
    mot_get_keylist_fn_t get_keylist = nullptr;             // the type's key list
    mot_init_filename_fn_t init_filename = nullptr;         // computes the data file's path
    mot_init_struct_fn_t init_struct = nullptr;             // per-request set-up
    mot_init_data_fn_t init_data = nullptr;                 // fills a fresh record's defaults
    mot_init_web_fn_t init_web = nullptr;                   // registers web commands
    mot_init_cmd_fn_t init_cmd = nullptr;                   // registers command-line commands
    mot_http_call_start_fn_t http_call_start = nullptr;     // start of a link URL opening this stype
};
typedef struct MOT_TOP_STYPE_DEF_T mot_top_stype_def_t;

// Registers the stype `def` describes at the end of the registry (the definition is copied; its
// texts are kept by reference). Every stype of the same name already there is reported, and then the
// registration fails.
int mot_top_register_stype_def(MOX_AUX_T *aux, MOT_TOP_STYPE_T **stype_list_ptr, void *pool_ref,
                               const MOT_TOP_STYPE_DEF_T *def, MOT_TOP_STYPE_T **new_stype_ptr) noexcept;

// The same registration with every field as an argument, in the definition's order.
int mot_top_register_stype(MOX_AUX_T *aux, MOT_TOP_STYPE_T **stype_list_ptr, void *pool_ref,
                           MOT_TOP_STYPE_T **new_stype_ptr, const char *name,
                           mot_insert_title_fn_t insert_title, int id, int type, const char *help,
                           mot_init_stype_fn_t init_stype, mot_assign_access_fn_t assign_access_fn,
                           mot_read_data_fn_t read_data, mot_write_data_fn_t write_data,
                           mot_new_data_fn_t new_data, mot_add_data_fn_t add_data,
                           mot_access_row_fn_t view_access_row_fn, mot_access_row_fn_t edit_access_row_fn,
                           const char *lock_element_string, mot_lock_element_fn_t lock_element,
                           const char *lock_file_string, mot_lock_file_fn_t lock_file,
                           mot_get_common_struct_fn_t get_common_struct,
                           mot_get_keyword_array_fn_t get_keyword_array, mot_get_keylist_fn_t get_keylist,
                           mot_init_filename_fn_t init_filename, mot_init_struct_fn_t init_struct,
                           mot_init_data_fn_t init_data, mot_init_web_fn_t init_web,
                           mot_init_cmd_fn_t init_cmd, mot_http_call_start_fn_t http_call_start) noexcept;

// As mot_top_register_stype, with the indexer given.
int mot_top_register_stype_new(MOX_AUX_T *aux, MOT_TOP_STYPE_T **stype_list_ptr, void *pool_ref,
                               MOT_TOP_STYPE_T **new_stype_ptr, const char *name,
                               mot_insert_title_fn_t insert_title, int id, int type, const char *help,
                               MOSE_INDEXER_T *indexer, mot_init_stype_fn_t init_stype,
                               mot_assign_access_fn_t assign_access_fn, mot_read_data_fn_t read_data,
                               mot_write_data_fn_t write_data, mot_new_data_fn_t new_data,
                               mot_add_data_fn_t add_data, mot_access_row_fn_t view_access_row_fn,
                               mot_access_row_fn_t edit_access_row_fn, const char *lock_element_string,
                               mot_lock_element_fn_t lock_element, const char *lock_file_string,
                               mot_lock_file_fn_t lock_file, mot_get_common_struct_fn_t get_common_struct,
                               mot_get_keyword_array_fn_t get_keyword_array, mot_get_keylist_fn_t get_keylist,
                               mot_init_filename_fn_t init_filename, mot_init_struct_fn_t init_struct,
                               mot_init_data_fn_t init_data, mot_init_web_fn_t init_web,
                               mot_init_cmd_fn_t init_cmd, mot_http_call_start_fn_t http_call_start) noexcept;

int mot_top_find_stype(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, const char *name,
                       MOT_TOP_STYPE_T **stype_ptr) noexcept;
int mot_top_init_static_stypes(MOX_AUX_T *aux, MOT_TOP_STYPE_T *stype_list, void *req_ref) noexcept;

// Storage entries.
int mot_top_storage_find(MOX_AUX_T *aux, void *pool_ref, MOT_TOP_STORAGE_T **storage_list_ptr,
                         MOT_TOP_STORAGE_T **ret_storage_ptr, const char *id_string) noexcept;
int mot_top_storage_register(MOX_AUX_T *aux, void *pool_ref, MOT_TOP_STORAGE_T **storage_list_ptr,
                             MOT_TOP_STORAGE_T **ret_storage_ptr, const char *id_string) noexcept;
int mot_top_storage_clear(MOX_AUX_T *aux, MOT_TOP_STORAGE_T *storage) noexcept;

// Default operations.
int mot_top_get_common_struct(MOT_TOP_STYPE_T *stype, const char *keyword,
                              MOTC_COMMON_KEYWORD_T **common_ptr) noexcept;
int mot_top_init_filename(MOT_TOP_STYPE_T *stype, void *pool_ref, const char *filename) noexcept;
int mot_top_init_struct(MOT_TOP_STYPE_T *stype, void *req_ref, mo_boolean_t from_web_init) noexcept;
int mot_top_init_struct_null(MOT_TOP_STYPE_T *stype, void *req_ref, mo_boolean_t from_web_init) noexcept;
int mot_init_stype_null(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                        MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mot_insert_title_null(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int otype, int dtype,
                          void *specific) noexcept;
int mot_row_access_all(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept;
int mot_row_access_none(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept;

// Lock wrappers: element locks on one record ("All" without a record) and file locks.
int mot_top_lock_id_element(MOT_TOP_STYPE_T *stype, int lock_instruction, void *data_container,
                            int *status_ptr) noexcept;
int mot_top_lock_useropt_element(MOT_TOP_STYPE_T *stype, int lock_instruction, void *data_container,
                                 int *status_ptr) noexcept;
int mot_top_lock_page_element(MOT_TOP_STYPE_T *stype, int lock_instruction, void *data_container,
                              int *status_ptr) noexcept;
int mot_top_lock_file(MOT_TOP_STYPE_T *stype, int lock_instruction, int *status_ptr) noexcept;

// The reload rule of a data entry: asks the lock service for the data file's modification number
// (stored in *mod_number_ptr, to be kept in the entry after a successful read) and sets *load_ptr when
// the entry must be (re)loaded: it holds nothing yet, or the file exists and was changed since.
// A stale entry is cleared on the spot.
int mot_top_storage_check_load(MOT_TOP_STYPE_T *stype, MOT_TOP_STORAGE_T *storage, int *mod_number_ptr,
                               mo_boolean_t *load_ptr) noexcept;

// The start of a link opening the stype: script location "?" frame "&" display "&" trail "&" dir_type
// "&0&0&0&" name, written into `string` (MO_STRING_LEN bytes). A link that does not fit is refused.
int mot_top_http_call_start_args(MOT_TOP_STYPE_T *stype, const char *frame, const char *dir_type,
                                 const char *display, const char *trail, char *string) noexcept;

// Argument list.
int mot_add_arg(MOX_AUX_T *aux, const char *val, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mot_advance_next_arg(MOX_AUX_T *aux, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mot_delete_arg(MOX_AUX_T *aux, MOT_TOP_ARG_LIST_T *arg_element,
                   MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;

// Display commands.
int mot_display_cmd_register(MOT_DISPLAY_CMD_T **display_cmd_list_ptr, MOX_AUX_T *aux, void *pool_ref,
                             const char *command_name, mot_display_service_fn_t service_start_fn,
                             mot_display_service_fn_t service_end_fn) noexcept;
int mot_find_display_cmd(MOT_DISPLAY_CMD_T *display_cmd_list, MOX_AUX_T *aux, const char *name,
                         MOT_DISPLAY_CMD_T **cmd_ptr) noexcept;

// Definitions to start from: copy one, then set the name, id, help and what differs.
//   MOT_TOP_STYPE_DEF_T def = mot_stype_def_commands_only;
//   def.name = "daemon"; def.id = 1; def.help = "Commands to control the daemon"; def.init_cmd = init;
// A type that only carries command-line or web commands.
inline constexpr MOT_TOP_STYPE_DEF_T mot_stype_def_commands_only = {
    .insert_title = mot_insert_title_null,
    .type = MOT_STYPE_COMMANDS_ONLY,
    .init_stype = mot_init_stype_null,
};
// A main data list kept in one file: every row visible and editable, records locked by their id,
// the file through the lock service, common keywords looked up through the key list.
inline constexpr MOT_TOP_STYPE_DEF_T mot_stype_def_data_file = {
    .insert_title = mot_insert_title_null,
    .type = MOT_STYPE_MAIN,
    .init_stype = mot_init_stype_null,
    .view_access_row_fn = mot_row_access_all,
    .edit_access_row_fn = mot_row_access_all,
    .lock_element = mot_top_lock_id_element,
    .lock_file = mot_top_lock_file,
    .get_common_struct = mot_top_get_common_struct,
    .init_struct = mot_top_init_struct,
};
