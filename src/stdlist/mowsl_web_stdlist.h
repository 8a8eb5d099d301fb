// The web pages every standard list shares: the paged, sorted and filtered list page with its column
// headings, controls and pickers; the page of one element and the history list of an element; the
// batch listing for tools; the small pop-up windows that change a user's list options (filter, match,
// lines per page) and the choosers of the edit forms; and the reload page that every option-changing
// command answers with. The commands are registered per stype when its family is declared.
//
// The editing half (edit forms, field writers, commit, new, delete and undelete) lives in the same
// module (mowsl_web_stdlist_edit.cpp, _fields.cpp); what it shares with the viewing half is declared
// here: links, the reload answers, the list read, element lookup, pickers and the registrations.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"
#include "web/mow_web.h"

// ---------------------------------------------------------------- the list page's row pipeline

// New chain of the rows whose view flag is set (same records, same flags).
int mowsl_list_filter_view_access(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows,
                                  MOK_DATA_RECORD_T **visible_result) noexcept;
// New chain of the rows every shown column's filter and match text let through, in their order.
int mowsl_list_filter_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                           MOK_DATA_RECORD_T **filtered_result) noexcept;
// Sorts the given chain by the last shown sortable column whose sort option is set.
int mowsl_list_sort_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                         MOK_DATA_RECORD_T **sorted_result) noexcept;

// ---------------------------------------------------------------- page texts

#define MOWSL_TITLE_COLOR "#9CB2A5"                  // title bars
#define MOWSL_HEADING_COLOR "#ADA2BD"                // the column-heading row
#define MOWSL_ODD_ROW_COLOR "#EEEEEE"                // every odd list row
#define MOWSL_DISABLED_COLOR "#C1C1C1"               // page links that lead nowhere
#define MOWSL_ACTIVE_CONTROL "BGCOLOR=\"lightblue\"" // a filter or match control in force

// Display types of titles and button bars.
#define MOWSL_DTYPE_VIEW 1 // the page of one element
#define MOWSL_DTYPE_EDIT 2 // its edit form
#define MOWSL_DTYPE_LIST 4 // the list page

// Window sizes of the pop-ups.
#define MOWSL_FILTER_WINDOW_W 350
#define MOWSL_FILTER_WINDOW_H 200
#define MOWSL_CHOOSER_WINDOW_W 400
#define MOWSL_CHOOSER_WINDOW_H 300

#define MOWSL_MATCH_SIZE 5 // match box: shown characters
#define MOWSL_MATCH_MAX 50 // and the most a user types
#define MOWSL_HELP_LINK "man/Morvale_user_manual.pdf\" TARGET=\"_blank"
#define MOWSL_EDIT_FORM "edit"      // name of the edit form the choosers fill
#define MOWSL_IMAGE_SUFFIX "_IMAGE" // the sample image beside a chooser's field

// Lines-per-page choices; the table ends with a null string. 0 lines: every row on one page.
struct MOW_PAGE_AMOUNT_ARRAY_T {
    int number;         // lines per page
    const char *string; // what the choice reads
};
typedef struct MOW_PAGE_AMOUNT_ARRAY_T mow_page_amount_array_t;
extern const MOW_PAGE_AMOUNT_ARRAY_T mowsl_page_amount_array[];

// ---------------------------------------------------------------- links

// The link of a command of the stype: its request link (display, trail), "&" and the command, then
// each argument after "&", URL-escaped. `link` holds MO_STRING_LEN bytes; a link that does not fit is
// refused with a report, never cut.
int mowsl_call_link(MOT_TOP_STYPE_T *stype, const char *display, const char *trail, const char *command,
                    const char *const *args, int arg_count, char *link) noexcept;
// The same for a pop-up window (display "blank", trail "N"): the link ends with the onclick attribute
// that opens it at the given size, so it goes into HREF="%s" as it is.
int mowsl_window_link(MOT_TOP_STYPE_T *stype, const char *command, const char *const *args, int arg_count,
                      int width, int height, char *link) noexcept;
// Appends "&" and the URL-escaped argument to a link (MO_STRING_LEN bytes); refused when it does not fit.
int mowsl_link_append_arg(MOX_AUX_T *aux, char *link, const char *arg) noexcept;
// The link to the history list of the element with this id (the list's history stype, "list"); empty
// without report when the list keeps no history.
int mowsl_history_link(MOT_TOP_STYPE_T *stype, int element_id, char *link) noexcept;
// The link of the element's edit form: "edit_start" with "ID" and the id, opened in the content frame.
int mowsl_edit_link(MOT_TOP_STYPE_T *stype, int element_id, char *link) noexcept;
// The link of the user's last page in the frame's trail ("content" for every frame but "dir"), for
// going back after an action; *found is FALSE (and the link empty) when there is no trail.
int mowsl_trail_link(MOX_AUX_T *aux, const char *trail_op, char *link, mo_boolean_t *found) noexcept;

// ---------------------------------------------------------------- registration

// The viewing commands every list has, all with the same access test (the picker "match": everyone).
int mowsl_default_stdlist_web_register(MOT_TOP_STYPE_T *stype, void *pool_ref,
                                       mow_web_access_fn_t access_fn) noexcept;
// A main list with its own button bar (the families' entry points are declared with the list engine).
int motsl_applic_register_web_cmds_sp(MOT_TOP_STYPE_T *stype, mow_web_button_fn_t button_fn) noexcept;
// "view": the element page; its test is the list's view test and the element's row view flag.
int mowsl_view_register(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
// "dir_list_a", "dir_list_d": the user's expanded folders (the folder tree registers them).
int mowsl_dir_list_register(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_access_fn_t access_fn) noexcept;
// "bkmark": a bookmark to the current item, made by the folder tree's function.
typedef int (*mowsl_bkmark_create_fn_t)(MOT_TOP_STYPE_T *stype) noexcept;
int mowsl_bkmark_register(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_access_fn_t access_fn,
                          mowsl_bkmark_create_fn_t create_fn) noexcept;

// ---------------------------------------------------------------- reload answers

enum : int {
    MOWSL_RELOAD_NONE = 0,       // nothing
    MOWSL_RELOAD_TRAIL = 1,      // back to the last page of the user's trail
    MOWSL_RELOAD_OPENER = 2,     // reload the window that opened this pop-up
    MOWSL_RELOAD_DIR = 3,        // reload the directory frame
    MOWSL_RELOAD_NAV = 4,        // reload the navigation frame
    MOWSL_RELOAD_CONTENT = 5,    // reload the content frame
    MOWSL_RELOAD_OPENER_DIR = 6, // reload the directory frame of the opener
};
// The reload page: a small page whose script performs the three actions in order (and closes the
// window when asked), after any warnings the request gathered.
int mowsl_reload(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, mo_boolean_t close, int action1,
                 int action2, int action3) noexcept;
// The answer of a finished edit, new, cancel or delete: when the page was opened by another window,
// reload that one and close; otherwise go back along the user's content trail.
int mowsl_reload_done(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;

// ---------------------------------------------------------------- paging and toggles

struct MOWSL_PAGING_T {
    int total; // rows
    int lines; // lines per page (total when all rows are on one page)
    int page;  // page shown, 1..pages
    int pages; // page count, at least 1
    int first; // first row shown, counting from 1
    int last;  // last row shown; first - 1 when none
};
typedef struct MOWSL_PAGING_T mowsl_paging_t;
// Pages of `total` rows at the user's lines option (0: all) and page option; a page out of range
// shows the nearest page that exists.
void mowsl_paging(int total, int lines_option, int page_option, MOWSL_PAGING_T *paging) noexcept;
// The next sort of a column: 0 -> 1 -> 2 -> 1 (ascending, descending); 1 for any other value.
int mowsl_sort_next(int current, int *next) noexcept;

// ---------------------------------------------------------------- reading a list for a page

// Reads the list and runs its init-data (column and row flags).
int mowsl_list_read(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;
// Gives back every element lock the user holds on the list.
int mowsl_release_element_locks(MOT_TOP_STYPE_T *stype) noexcept;

// What a list page shows: read, flagged, ordered, filtered and sorted for the current user.
struct MOWSL_LIST_STATE_T {
    MOK_DATA_RECORD_T *all;       // the chain as read
    MOTSL_STDLIST_ORDER_T *order; // columns in display order
    MOK_DATA_RECORD_T **rows;     // the rows the user may see through the filters and match texts, sorted
    int total;                    // rows in `rows`
    int table_columns;            // 1 + the visible and shown columns
};
typedef struct MOWSL_LIST_STATE_T mowsl_list_state_t;
// Reads the list and computes the state; sets every column's "shown" flag (tmp_access_col) and its
// filter, and the pickers' access for this request.
int mowsl_list_prepare(MOT_TOP_STYPE_T *stype, MOWSL_LIST_STATE_T *state) noexcept;
// Is the column in the list and its headings (view access and shown).
mo_boolean_t mowsl_column_listed(MOTSL_STDLIST_KEYWORD_T *column) noexcept;
// The column of a keyword that came from a request; reported when the stype has none.
int mowsl_column_arg(MOT_TOP_STYPE_T *stype, const char *keyword, MOTSL_STDLIST_KEYWORD_T **column) noexcept;
// The same for a column the user may see in the list (the list is read for its column access).
int mowsl_viewable_column_arg(MOT_TOP_STYPE_T *stype, const char *keyword,
                              MOTSL_STDLIST_KEYWORD_T **column) noexcept;

// The record whose column `keyword` has the text `value` ("Can't find ID number %s in %s records\n").
int mowsl_find_id_record(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows, const char *keyword,
                         const char *value, MOK_DATA_RECORD_T **record_result) noexcept;
// The record whose column `keyword` holds the number `value` ("Can't find ID number %d in %s records\n").
int mowsl_find_integer_id_record(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows, const char *keyword,
                                 int value, MOK_DATA_RECORD_T **record_result) noexcept;

// ---------------------------------------------------------------- commands: calls and services

// Call functions write the link up to the command name; callers append the arguments.
#define MOWSL_DECLARE_CALL(name) int name(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
#define MOWSL_DECLARE_SERVICE(name)                                                                          \
    int name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd, MOT_TOP_REQ_T *req,    \
             MOT_TOP_ARG_LIST_T *arg_list) noexcept;
MOWSL_DECLARE_CALL(mowsl_list_call)
MOWSL_DECLARE_CALL(mowsl_view_call)
MOWSL_DECLARE_CALL(mowsl_blist_call)
MOWSL_DECLARE_CALL(mowsl_picker_call)
MOWSL_DECLARE_CALL(mowsl_filter_select_call)
MOWSL_DECLARE_CALL(mowsl_page_select_page_call)
MOWSL_DECLARE_CALL(mowsl_page_select_amount_call)
MOWSL_DECLARE_CALL(mowsl_advanced_toggle_call)
MOWSL_DECLARE_CALL(mowsl_display_toggle_call)
MOWSL_DECLARE_CALL(mowsl_display_move_left_call)
MOWSL_DECLARE_CALL(mowsl_display_move_right_call)
MOWSL_DECLARE_CALL(mowsl_sort_toggle_call)
MOWSL_DECLARE_CALL(mowsl_option_select_call)
MOWSL_DECLARE_CALL(mowsl_page_window_call)
MOWSL_DECLARE_CALL(mowsl_gchooser_call)
MOWSL_DECLARE_CALL(mowsl_color_chooser_call)
MOWSL_DECLARE_CALL(mowsl_filter_clear_call)
MOWSL_DECLARE_CALL(mowsl_subscribe_call)
MOWSL_DECLARE_CALL(mowsl_dir_list_a_call)
MOWSL_DECLARE_CALL(mowsl_dir_list_d_call)
MOWSL_DECLARE_CALL(mowsl_bkmark_call)
MOWSL_DECLARE_SERVICE(mowsl_list_service)
MOWSL_DECLARE_SERVICE(mowsl_view_service)
MOWSL_DECLARE_SERVICE(mowsl_blist_service)
MOWSL_DECLARE_SERVICE(mowsl_picker_service)
MOWSL_DECLARE_SERVICE(mowsl_filter_select_service)
MOWSL_DECLARE_SERVICE(mowsl_page_select_service)
MOWSL_DECLARE_SERVICE(mowsl_advanced_toggle_service)
MOWSL_DECLARE_SERVICE(mowsl_display_toggle_service)
MOWSL_DECLARE_SERVICE(mowsl_display_move_service)
MOWSL_DECLARE_SERVICE(mowsl_sort_toggle_service)
MOWSL_DECLARE_SERVICE(mowsl_option_select_service)
MOWSL_DECLARE_SERVICE(mowsl_page_window_service)
MOWSL_DECLARE_SERVICE(mowsl_gchooser_service)
MOWSL_DECLARE_SERVICE(mowsl_color_chooser_service)
MOWSL_DECLARE_SERVICE(mowsl_filter_clear_service)
MOWSL_DECLARE_SERVICE(mowsl_subscribe_service)
MOWSL_DECLARE_SERVICE(mowsl_dir_list_service)
MOWSL_DECLARE_SERVICE(mowsl_bkmark_service)
#undef MOWSL_DECLARE_CALL
#undef MOWSL_DECLARE_SERVICE

// The test of "view": the list's view test, then the row view flag of the element named by the
// arguments (keyword, value).
int mowsl_view_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                      mo_boolean_t *ok, const char **message) noexcept;

// ---------------------------------------------------------------- pickers

// Asks every picker command's test for this request and sets the web storage's checkbox_required.
int mowsl_picker_cmd_init(MOT_TOP_STYPE_T *stype) noexcept;
// The list form ("picker") with the pickers' scripts and hidden fields, and its end.
int mowsl_picker_form_start(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
int mowsl_picker_form_end(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
// The select-all control of the heading row.
int mowsl_picker_select_all_control(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
// Writes the buttons of the allowed pickers (button bar of a list page).
int mowsl_picker_buttons(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
// Is the picker command of that name allowed in this request.
mo_boolean_t mowsl_picker_allowed(MOT_TOP_STYPE_T *stype, const char *command_name) noexcept;

// The picker "match": hidden fields and scripts, and the service that stores a column's match text.
int mowsl_match_build_init(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
int mowsl_match_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                        mo_boolean_t *acted) noexcept;
// The pickers "delete" and "undelete": the hidden field DELETE_ALL with the script submit_delete_go,
// and their buttons (Trash, Undelete). Their services are the editing half's.
int mowsl_delete_build_init(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
int mowsl_delete_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;
int mowsl_undelete_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;

// ---------------------------------------------------------------- cells

// The cells a column writes; empty slots of a descriptor mean these defaults.
motsl_cell_header_fn_t mowsl_cell_header_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept;
motsl_cell_fn_t mowsl_cell_list_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept;
motsl_cell_fn_t mowsl_cell_view_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept;
motsl_cell_fn_t mowsl_cell_bview_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept;
// The plain text of a cell (the column's view text).
int mowsl_cell_text(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                    const char **text) noexcept;

// Headings (`last` marks the last heading, which carries the advanced-columns control).
#define MOWSL_DECLARE_HEADER(name)                                                                           \
    int name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,               \
             mo_boolean_t last) noexcept;
MOWSL_DECLARE_HEADER(mowsl_default_cell_header)
MOWSL_DECLARE_HEADER(mowsl_cell_header_right)
MOWSL_DECLARE_HEADER(mowsl_cell_header_edit)
MOWSL_DECLARE_HEADER(mowsl_cell_header_null)
#undef MOWSL_DECLARE_HEADER

#define MOWSL_DECLARE_CELL(name)                                                                             \
    int name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,               \
             MOK_DATA_RECORD_T *record) noexcept;
// List cells. The prefix of mowsl_list_prefix_string is the column's display_ref (a text).
MOWSL_DECLARE_CELL(mowsl_list_normal_string)
MOWSL_DECLARE_CELL(mowsl_list_right_string)
MOWSL_DECLARE_CELL(mowsl_list_prefix_string)
MOWSL_DECLARE_CELL(mowsl_list_passwd_string)
MOWSL_DECLARE_CELL(mowsl_list_for_view_string)
MOWSL_DECLARE_CELL(mowsl_list_link_string)
MOWSL_DECLARE_CELL(mowsl_list_normal_option)
MOWSL_DECLARE_CELL(mowsl_list_color)
MOWSL_DECLARE_CELL(mowsl_list_graphic)
MOWSL_DECLARE_CELL(mowsl_list_edit_history)
MOWSL_DECLARE_CELL(mowsl_list_null)
// Cells of the element page: heading cell and value cell of one row.
MOWSL_DECLARE_CELL(mowsl_view_normal_string)
MOWSL_DECLARE_CELL(mowsl_view_passwd_string)
MOWSL_DECLARE_CELL(mowsl_view_option)
MOWSL_DECLARE_CELL(mowsl_view_link_string)
MOWSL_DECLARE_CELL(mowsl_view_graphic)
MOWSL_DECLARE_CELL(mowsl_view_color)
MOWSL_DECLARE_CELL(mowsl_view_multi_line)
MOWSL_DECLARE_CELL(mowsl_view_null)
// The batch listing's line of a column: keyword form, "=", the quoted value.
MOWSL_DECLARE_CELL(mowsl_bview_default)
#undef MOWSL_DECLARE_CELL

// One list row; the type storage's print_row when the family gives none.
int mowsl_print_row_default(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *record,
                            int line_no) noexcept;
// The link a link cell may carry: web addresses, mail addresses and relative paths; anything else
// (a script address) is shown as plain text.
mo_boolean_t mowsl_link_value_ok(const char *value) noexcept;

// View texts of access-list columns (the access levels' view_text_fn).
#define MOWSL_DECLARE_VIEW_TEXT(name)                                                                        \
    int name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,                       \
             const char **text) noexcept;
MOWSL_DECLARE_VIEW_TEXT(mowsl_view_text_super_access)
MOWSL_DECLARE_VIEW_TEXT(mowsl_view_text_access)
MOWSL_DECLARE_VIEW_TEXT(mowsl_view_text_super_access_no_parent)
MOWSL_DECLARE_VIEW_TEXT(mowsl_view_text_access_no_parent)
MOWSL_DECLARE_VIEW_TEXT(mowsl_view_text_super_only_string)
MOWSL_DECLARE_VIEW_TEXT(mowsl_view_text_top_access)
#undef MOWSL_DECLARE_VIEW_TEXT

// ---------------------------------------------------------------- button bars

// A stype's web_button_fn: `record` is the element's MOK_DATA_RECORD_T on element pages (display type
// 1), NULL on list pages (4).
#define MOWSL_DECLARE_BUTTONS(name)                                                                          \
    int name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type, void *record) noexcept;
MOWSL_DECLARE_BUTTONS(mowsl_button_full_with_trash)
MOWSL_DECLARE_BUTTONS(mowsl_button_full_no_add)
MOWSL_DECLARE_BUTTONS(mowsl_button_full_no_trash)
MOWSL_DECLARE_BUTTONS(mowsl_button_go_back)
#undef MOWSL_DECLARE_BUTTONS
// A command's image button (and text) when the stype has the command and the user may run it.
int mowsl_insert_cmd_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *command,
                            const char *graphic, const char *alt_text, const char *button_text) noexcept;
// The title bar of a page: the stype's title (display type) and its button bar. `columns` is the span;
// `record` is the element's MOK_DATA_RECORD_T on element pages (button bars get it as it is), else NULL.
int mowsl_title_bar(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type, void *record,
                    int columns, int total, const MOWSL_PAGING_T *paging) noexcept;

// ---------------------------------------------------------------- the editing half

// Registered by the family registrars; defined with the edit forms.
// "edit_start", "edit_adv", "edit_end" with the row edit test (mowsl_edit_access).
int mowsl_edit_down_register(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
// "new" with the given test (the family's add set).
int mowsl_new_down_register(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_access_fn_t access_fn) noexcept;
// The picker services "delete" and "undelete" (the posted DELETE_ALL chooses).
int mowsl_delete_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                         mo_boolean_t *acted) noexcept;
