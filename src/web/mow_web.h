// The web service: turns a request's query string into an argument list, walks the leading arguments
// (frame, display, trail, directory type) and dispatches to a display command and to the web commands
// that storage types register. It also holds the building blocks every page is written with (head and
// foot, images and image buttons, form fields and buttons, protected text, URL and JavaScript escapes,
// posted-field lookups), the multipart form parser shared by both deliverables, the error page, and
// the stand-alone operations with which the command-line program answers one request CGI-style.
#pragma once
#include "mo_std.h"

struct MOT_TOP_ARG_LIST_T;
struct MOK_DATA_RECORD_T;
struct MOCO_COOKIE_T;
struct MODI_DIR_T;

#define MOW_WEB_ARG_MAX 1000   // posted fields of one request, the end marker included
#define MOW_ARG_LEN_MAX 1014   // longest query argument accepted
#define MOW_ARG_LEN_SHOWN 1024 // the limit the message names
#define MOW_FORM_LINE_MAX 8190 // a posted body is read in lines of at most this many bytes
#define MOW_BODY_BLOCK 16384   // bytes asked of a body source at a time

#define MOW_PAGE_COLOR "#FFFAF2"    // page background
#define MOW_TITLE_COLOR "#9CB2A5"   // title bars
#define MOW_WARNING_COLOR "#FFBF8F" // cells of fields with a warning
// Sent with every response but HEAD so that no page is kept by a cache.
#define MOW_EXPIRES_TEXT "Tue 15 Nov 1994 08:00:00 GMT"

// One posted field; arrays of MOW_WEB_ARG_MAX end with an entry whose name is NULL.
struct MOW_POST_RESULTS_T {
    char *name; // field name
    char *val;  // its value; for a file part the path of the upload file
};
typedef struct MOW_POST_RESULTS_T mow_post_results_t;

// A chained name and value.
struct MOW_VALUE_T {
    char *name;        // the name
    char *val;         // the value
    MOW_VALUE_T *next; // next pair
};
typedef struct MOW_VALUE_T mow_value_t;

typedef int (*mow_send_content_type_fn_t)(MOW_WEB_T *web, MOOU_OUT_DEF_T *out_def,
                                          unsigned long content_length, const char *content_type) noexcept;
typedef int (*mow_get_user_agent_fn_t)(MOW_WEB_T *web, const char **result) noexcept;
typedef int (*mow_check_browser_fn_t)(MOW_WEB_T *web, int type, mo_boolean_t *ok) noexcept;
typedef int (*mow_parse_form_fn_t)(MOW_WEB_T *web, MOW_POST_RESULTS_T *results) noexcept;
// Writes the address opened by an empty query string into `link` (MO_STRING_LEN bytes).
typedef int (*mow_default_link_fn_t)(MOX_AUX_T *aux, char *link) noexcept;

struct MOW_WEB_T {
    MOIM_INTERM_T *interm;                        // the platform services
    const char *frame;                            // first query argument; "" until parsed
    const char *display;                          // second: the display command
    const char *trail_op;                         // third: the trail operation
    const char *dir_type;                         // fourth: the directory type
    mo_filename_t trail_filename;                 // trail file of the user; empty until read
    MOK_DATA_RECORD_T *trail_ref;                 // the loaded trail, newest entry first
    mow_send_content_type_fn_t send_content_type; // sends the response header
    mow_get_user_agent_fn_t get_user_agent;       // the client's browser text
    mow_check_browser_fn_t check_browser;         // always mow_check_browser
    mow_parse_form_fn_t parse_form;               // reads the posted form into the results
    mow_default_link_fn_t get_default_link;       // set by the directory types; NULL until then
    MODI_DIR_T *dir_list;                         // the directory types (tabs); NULL until registered
};

// ---- web commands of storage types

struct MOW_WEB_CMD_T;

typedef int (*mow_web_call_fn_t)(MOT_TOP_STYPE_T *stype, char *call_string) noexcept; // MO_STRING_LEN bytes
typedef int (*mow_web_access_fn_t)(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd,
                                   MOT_TOP_ARG_LIST_T *arg_list, mo_boolean_t *ok,
                                   const char **message) noexcept;
typedef int (*mow_web_service_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                                    MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *arg_list) noexcept;
// Writes the button bar of a page of the stype (display type 4: list page, 1: element page).
typedef int (*mow_web_button_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                   void *record) noexcept;
typedef int (*mow_picker_build_init_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
typedef int (*mow_picker_access_fn_t)(MOT_TOP_STYPE_T *stype, mo_boolean_t *ok) noexcept;
typedef int (*mow_picker_button_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
// Offered the posted list form; sets *acted when the command handled it.
typedef int (*mow_picker_service_fn_t)(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                                       mo_boolean_t *acted) noexcept;

struct MOW_WEB_CMD_T {
    const char *command_name;        // the operation name in the query string
    int min_args;                    // least number of arguments after the operation name
    int max_args;                    // greatest number of them
    mow_web_call_fn_t call_fn;       // writes the URL that invokes the command
    mow_web_access_fn_t access_fn;   // may the user run it
    mow_web_service_fn_t service_fn; // writes the page
    MOW_WEB_CMD_T *next;             // next command in registration order
};
typedef struct MOW_WEB_CMD_T mow_web_cmd_t;

struct MOW_WEB_PICKER_CMD_T {
    const char *command_name;                 // name of the picker command
    mo_boolean_t checkbox_required;           // the list needs check boxes for it
    mo_boolean_t access_granted;              // set per request; FALSE at registration
    mow_picker_build_init_fn_t build_init_fn; // hidden fields and scripts of the list form
    mow_picker_access_fn_t access_fn;         // may the user run it
    mow_picker_button_fn_t button_fn;         // its button in the button bar
    mow_picker_service_fn_t service_fn;       // acts on the posted form
    MOW_WEB_PICKER_CMD_T *next;               // next picker command in registration order
};
typedef struct MOW_WEB_PICKER_CMD_T mow_web_picker_cmd_t;

// A storage type's web part (its web_storage_ref).
struct MOW_WEB_STORAGE_T {
    MOW_WEB_CMD_T *cmd_list;               // web commands in registration order
    MOW_WEB_PICKER_CMD_T *picker_cmd_list; // picker commands in registration order
    mo_boolean_t checkbox_required;        // FALSE at creation
    mow_web_button_fn_t web_button_fn;     // the stype's button writer
};
typedef struct MOW_WEB_STORAGE_T mow_web_storage_t;

// ---- construction and per-request reset

int mow_construct_web(MOW_WEB_T **web_ptr, MOIM_INTERM_T *interm,
                      mow_send_content_type_fn_t send_content_type, mow_get_user_agent_fn_t get_user_agent,
                      mow_parse_form_fn_t parse_form) noexcept;
// Forgets everything of the last request (arguments, trail); call it at the start and at the end of
// every request so that nothing points into a finished request.
int mow_web_init(MOW_WEB_T *web) noexcept;

// ---- arguments and dispatch

// Splits a query string at "&", turns "+" into blank and decodes "%hh"; appends the words to the list.
int mow_top_process_args(MOX_AUX_T *aux, const char *input, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
// Serves a request's query string (NULL counts as ""): leading arguments, trail, display command.
int mow_web_parse_display_web_arg(MOT_TOP_SESSION_T *session, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                                  const char *input_args) noexcept;
// The content dispatch of display commands: directory type, index, list id, stype, operation.
int mow_web_parse_operation_web_arg(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_STYPE_T *stype_list,
                                    MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
// The part of the content dispatch after the stype is known: the stype's own argument handling, the
// operation, its argument count, the access check and the service.
int mow_web_run_operation(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_STYPE_T *stype_list,
                          MOT_TOP_REQ_T *req, const char *stype_name,
                          MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mow_web_find_stype(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, const char *name,
                       MOT_TOP_STYPE_T **stype_ptr) noexcept;

// ---- command registry

int mow_web_init_storage(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_button_fn_t web_button_fn) noexcept;
int mow_web_cmd_register(MOT_TOP_STYPE_T *stype, void *pool_ref, const char *command_name, int min_args,
                         int max_args, mow_web_call_fn_t call_fn, mow_web_access_fn_t access_fn,
                         mow_web_service_fn_t service_fn) noexcept;
int mow_web_picker_cmd_register(MOT_TOP_STYPE_T *stype, void *pool_ref, const char *command_name,
                                mo_boolean_t checkbox_required, mow_picker_build_init_fn_t build_init_fn,
                                mow_picker_access_fn_t access_fn, mow_picker_button_fn_t button_fn,
                                mow_picker_service_fn_t service_fn) noexcept;
int mow_web_find_cmd(MOT_TOP_STYPE_T *stype, const char *name, MOW_WEB_CMD_T **cmd_ptr) noexcept;
// call_string: MO_STRING_LEN bytes; empty when the user may not run the command.
int mow_web_get_stype_call(MOT_TOP_STYPE_T *stype, const char *web_cmd_name, char *call_string) noexcept;
int mow_web_insert_stype_call_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                     const char *web_cmd_name, const char *graphic, const char *alt_text,
                                     const char *button_text) noexcept;
// link: MO_STRING_LEN bytes. Needs the item service for the item type's list.
int mow_web_get_list_call_from_id(MOT_TOP_STYPE_T *top_stype, MOOU_OUT_DEF_T *out_def, int type_id,
                                  const char *id_string, char *link) noexcept;
// The link of a trail entry; tmp_string: MO_STRING_LEN bytes. A link that does not fit is refused.
int mow_web_trail_call(MOX_AUX_T *aux, MOK_DATA_RECORD_T *trail_ref, const char *trail_op,
                       char *tmp_string) noexcept;

// ---- access functions of commands

int mow_cmd_access_all(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                       mo_boolean_t *ok, const char **message) noexcept;
int mow_cmd_access_def_view(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                            mo_boolean_t *ok, const char **message) noexcept;
int mow_cmd_access_def_edit(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                            mo_boolean_t *ok, const char **message) noexcept;
int mow_cmd_access_def_lib(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                           mo_boolean_t *ok, const char **message) noexcept;
int mow_picker_cmd_access_all(MOT_TOP_STYPE_T *stype, mo_boolean_t *ok) noexcept;
int mow_picker_cmd_access_def_lib(MOT_TOP_STYPE_T *stype, mo_boolean_t *ok) noexcept;

// ---- page output: each returns the status of the first write that failed

int mow_web_header_start(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *window_title, const char *trail,
                         MOCO_COOKIE_T *cookie, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mow_web_header_basic(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *window_title, const char *trail,
                         MOCO_COOKIE_T *cookie, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mow_web_header_blank(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *window_title,
                         const char *body_tag_text, const char *trail, MOCO_COOKIE_T *cookie,
                         MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mow_web_header_frame(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *window_title, const char *trail,
                         MOCO_COOKIE_T *cookie, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;
int mow_web_footer_blank(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;
int mow_web_footer_frame(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;
int mow_web_insert_style(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;
int mow_web_insert_style_for_mail(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;
int mow_web_insert_graphic(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *image) noexcept;
// `link` is written as given (callers add attributes such as a target inside it); NULL or "": no link.
int mow_web_insert_graphic_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *image,
                                  const char *alternate_text, const char *link) noexcept;
// "SRC=\"<image location><image>\"", valid until the next call.
const char *mow_web_get_image_location(MOX_AUX_T *aux, const char *image) noexcept;
int mow_web_insert_warning(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *string) noexcept;
int mow_web_new_window_script(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;
int mow_web_new_window_script_for_ie(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;

// The error page: its head once per request (error->header_done), then one "Error:" line with the
// message as protected text.
int mow_web_error_page(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *message) noexcept;

// ---- protected (HTML-escaped) text

int mow_insert_protected_string_basic(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, mo_boolean_t convert_return,
                                      const char *string) noexcept;
int mow_insert_protected_string_display(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *string) noexcept;
int mow_insert_protected_string_form(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *string) noexcept;

// ---- forms

// Results valid until the next call of the same function.
const char *mow_form_button_call(const char *button_text) noexcept;
const char *mow_form_image_button_call(MOX_AUX_T *aux, const char *name, const char *image,
                                       const char *alt_text) noexcept;
int mow_form_button_service(MOW_POST_RESULTS_T *results, const char *button_text,
                            mo_boolean_t *active_ptr) noexcept;
int mow_form_text_field_call_insert(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *field_name,
                                    const char *field_default, int size, int max_size,
                                    const char *extra) noexcept;
int mow_form_passwd_field_call_insert(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *field_name,
                                      const char *field_default, int size, int max_size,
                                      const char *extra) noexcept;
// 1 when a posted field has that name, else 0.
int mow_form_is_field(MOX_AUX_T *aux, MOW_POST_RESULTS_T *results, const char *field_name) noexcept;
int mow_form_field_service(MOX_AUX_T *aux, MOW_POST_RESULTS_T *results, const char *field_name,
                           const char **result_ptr) noexcept;
int mow_create_keyword(MOX_AUX_T *aux, void *pool, const char *prefix, const char *user_name,
                       char **keyword_ptr) noexcept;
int mow_list_get_lines(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *data_record, int *lines_ptr) noexcept;

// ---- text utilities; results valid until the next call of the same function

const char *mow_web_util_escape_url(const char *string) noexcept;
const char *mow_web_util_escape_javascript(const char *string) noexcept;
const char *mow_web_util_convert_filename(const char *string) noexcept;
const char *mow_web_util_expand_space(const char *string) noexcept;
int mow_web_util_string_ok(const char *string, const char *not_allowed) noexcept;
int mow_web_util_ind(const char *s, int c) noexcept;
// Copies `line` up to `stop` (or its end) into `word` (at most size - 1 bytes); returns how many bytes
// of `line` that took, the stop included.
size_t mow_web_util_getword(char *word, size_t size, const char *line, char stop) noexcept;
// The byte of two hexadecimal digits (either case); the caller has checked both.
char mow_web_util_x2c(const char *what) noexcept;
// Decodes "%hh" in place; a "%" not followed by two hexadecimal digits stays as it is.
void mow_web_util_unescape_url(char *url) noexcept;
void mow_web_util_plustospace(char *str) noexcept;
// TRUE for a non-empty word of letters, digits, "_" and "-": what frame, trail and directory type
// arguments may hold, since they are written back into links and file names.
mo_boolean_t mow_web_util_word_ok(const char *word) noexcept;

int mow_check_browser(MOW_WEB_T *web, int type, mo_boolean_t *ok_ptr) noexcept;

// ---- the multipart form parser, shared by the server module and the command-line program

// Where a posted body comes from: fills buf with up to size bytes and sets *count (0 at the end of the
// body). Returns 0, or 1 after reporting a read failure.
struct MOW_BODY_SOURCE_T {
    void *ref; // the caller's reading state
    int (*read)(MOW_BODY_SOURCE_T *source, char *buf, size_t size, size_t *count) noexcept;
};
typedef struct MOW_BODY_SOURCE_T mow_body_source_t;

// The boundary of a multipart content type ("boundary=", quotes removed, ended by ";" or blank) into
// `boundary` (`size` bytes). FALSE when there is none, it is empty or it does not fit; nothing is reported.
mo_boolean_t mow_form_find_boundary(const char *content_type, char *boundary, size_t size) noexcept;
// Reads a multipart/form-data body into `results` (request pool): value parts, file parts (upload file
// in the temporary directory plus "<name>_client" with the browser's file name), at most
// MOW_WEB_ARG_MAX entries with the end marker. A body that ends before the closing boundary fails.
// Upload files are created exclusively and marked for removal at the end of the request.
int mow_parse_multipart_body(MOW_WEB_T *web, const char *boundary, MOW_BODY_SOURCE_T *source,
                             MOW_POST_RESULTS_T *results) noexcept;

// ---- stand-alone operations of the command-line program (CGI environment, standard input/output)

int mow_send_content_type(MOW_WEB_T *web, MOOU_OUT_DEF_T *out_def, unsigned long content_length,
                          const char *content_type) noexcept;
int mow_web_get_user_agent(MOW_WEB_T *web, const char **result) noexcept;
int mow_parse_multipart_form(MOW_WEB_T *web, MOW_POST_RESULTS_T *results) noexcept;
int mow_web_get_real_user_name(MOU_UTIL_T *util, const char **name) noexcept;
int mow_web_remote_machine_name(MOU_UTIL_T *util, int type, const char **name) noexcept;
void mow_web_error_report(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);

// `web normal`: one request served CGI-style. mow_web_normal_requested tells from the command line
// (program name dropped) whether the run is `web normal`; mow_web_normal_begin then routes every
// report of the run to the error page on standard output, with the CGI header lines when the header
// option is given; mow_web_normal_serve runs the request; mow_web_normal_end sends a header that no
// page has sent yet.
mo_boolean_t mow_web_normal_requested(int argc, char **argv) noexcept;
int mow_web_normal_begin(MOX_AUX_T *aux, int argc, char **argv) noexcept;
int mow_web_normal_serve(MOT_TOP_SESSION_T *session, MOT_TOP_REQ_T *req, mo_boolean_t with_header) noexcept;
int mow_web_normal_end(MOX_AUX_T *aux) noexcept;
