// The editing half of the list pages: the edit form built from the column descriptors (a grid of four
// cells a row, one field writer per column), the window of advanced fields, the commit of a posted
// form through each column's parser and check, the two-step creation of a new element, and deleting
// and undeleting the rows ticked on a list page. Every change is made under the element lock and the
// file's write lock and is recorded in the element's history once the list is written.
//
// Applications plug their own cells in through the column slots (cell_edit_start_fn, cell_edit_end_fn,
// cell_edit_check_fn, cell_bedit_start_fn); an empty slot means the writer, parser or check that fits
// the column's value type. Their own writers keep the grid with mowsl_edit_start_line,
// mowsl_edit_start_header and mowsl_edit_end_line.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "web/mow_web.h"

#define MOWSL_EDIT_CELLS 4                  // cells of one row of the edit form
#define MOWSL_PASSWD_PLACEHOLDER "********" // what a password field shows for a stored password
#define MOWSL_ADV_WINDOW_W 500              // the advanced-options window
#define MOWSL_ADV_WINDOW_H 400

// Field sizes of the text writers: shown characters and the most a field takes.
#define MOWSL_FULL_SIZE 45
#define MOWSL_HALF_SIZE 15
#define MOWSL_QUARTER_SIZE 5
#define MOWSL_TEXT_MAX 150         // full, half, password and choice fields
#define MOWSL_QUARTER_MAX 30       // quarter fields
#define MOWSL_LIST_MAX 4000        // id-list and access-list texts
#define MOWSL_HIDDEN_MAX 1021      // hidden copies and fields of other writers: what a value line holds
#define MOWSL_MULTI_LINE_MAX 65536 // a multi-line text

// Modes of the delete picker (the posted DELETE_ALL).
#define MOWSL_MODE_DELETE 1
#define MOWSL_MODE_UNDELETE 2

// ---------------------------------------------------------------- the form grid

// Opens the row a field starts in: pads and closes a full or finished row when a new row is asked
// for, the field needs one (type bit 0x400, with the rule above it) or the field's cells do not fit.
int mowsl_edit_start_line(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                          mo_boolean_t new_row) noexcept;
// The same, also starting a new row when `cells` more would not fit the current one.
int mowsl_edit_start_cells(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                           mo_boolean_t new_row, int cells) noexcept;
// The heading of a field ("<B>heading</B>" and the help button), in a cell of its own when asked.
int mowsl_edit_start_header(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                            mo_boolean_t own_cell) noexcept;
// Counts the field's cells; type bit 0x200 closes the row with a rule after it.
int mowsl_edit_end_line(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                        int cells) noexcept;
// Fills and closes the last row.
int mowsl_edit_terminate(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept;

// ---------------------------------------------------------------- field writers

#define MOWSL_DECLARE_WRITER(name)                                                                           \
    int name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,               \
             MOK_DATA_RECORD_T *record) noexcept;
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_full)
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_passwd)
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_half)
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_half_reset)
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_quarter)
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_quarter_inline)
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_with_choice)
MOWSL_DECLARE_WRITER(mowsl_edit_start_multi_line)
MOWSL_DECLARE_WRITER(mowsl_edit_start_multi_line_small)
MOWSL_DECLARE_WRITER(mowsl_edit_start_string_null)
MOWSL_DECLARE_WRITER(mowsl_edit_start_option)
MOWSL_DECLARE_WRITER(mowsl_edit_start_option_whole_line)
MOWSL_DECLARE_WRITER(mowsl_edit_start_option_null)
MOWSL_DECLARE_WRITER(mowsl_edit_start_id)
MOWSL_DECLARE_WRITER(mowsl_edit_start_id_reset)
MOWSL_DECLARE_WRITER(mowsl_edit_start_idlist_basic)
MOWSL_DECLARE_WRITER(mowsl_edit_start_accesslist)
MOWSL_DECLARE_WRITER(mowsl_edit_start_accesslist_no_parent)
MOWSL_DECLARE_WRITER(mowsl_edit_start_accesslist_always_parent)
MOWSL_DECLARE_WRITER(mowsl_edit_start_graphic_folder)
MOWSL_DECLARE_WRITER(mowsl_edit_start_graphic_icon)
MOWSL_DECLARE_WRITER(mowsl_edit_start_color)
// A value shown on the form but not taken from it (dates and user ids, which have no text to parse).
MOWSL_DECLARE_WRITER(mowsl_edit_start_show_only)
// The marker before a field: "<!-- BEDIT keyword -->".
MOWSL_DECLARE_WRITER(mowsl_bedit_default)
#undef MOWSL_DECLARE_WRITER

// ---------------------------------------------------------------- parsers

// Each takes the posted field named by the column keyword into the record; a field that was not posted
// leaves the value as it is. One-line texts refuse line breaks, every text its field size, numbers
// anything but a number, and nothing is changed when the text is the one the record shows.
#define MOWSL_DECLARE_PARSER(name)                                                                           \
    int name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, MOW_POST_RESULTS_T *results,           \
             void *container) noexcept;
MOWSL_DECLARE_PARSER(mowsl_edit_end_string)
MOWSL_DECLARE_PARSER(mowsl_edit_end_idlist)
MOWSL_DECLARE_PARSER(mowsl_edit_end_option)
MOWSL_DECLARE_PARSER(mowsl_edit_end_id)
MOWSL_DECLARE_PARSER(mowsl_edit_end_accesslist)
// Takes nothing (fields that are only shown).
MOWSL_DECLARE_PARSER(mowsl_edit_end_null)
#undef MOWSL_DECLARE_PARSER

// ---------------------------------------------------------------- checks

#define MOWSL_DECLARE_CHECK(name)                                                                            \
    int name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *old_container,                   \
             void *new_container) noexcept;
MOWSL_DECLARE_CHECK(mowsl_edit_check_null)
MOWSL_DECLARE_CHECK(mowsl_check_filename_chars)
MOWSL_DECLARE_CHECK(mowsl_check_folder_chars)
MOWSL_DECLARE_CHECK(mowsl_check_username_chars)
MOWSL_DECLARE_CHECK(mowsl_check_no_comma)
MOWSL_DECLARE_CHECK(mowsl_check_string_alpha_num_space)
#undef MOWSL_DECLARE_CHECK
// No other active, committed element (another id) has the same value of the column `keyword` (with case).
int mowsl_check_unique(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *new_container,
                       const char *keyword) noexcept;

// The characters the checks refuse.
extern const char mowsl_filename_chars[];
extern const char mowsl_folder_chars[];
extern const char mowsl_username_chars[];

// ---------------------------------------------------------------- what a column uses

// The column's own slot, else the one that fits its value type.
motsl_cell_fn_t mowsl_cell_edit_start_of(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept;
motsl_cell_edit_end_fn_t mowsl_cell_edit_end_of(MOT_TOP_STYPE_T *stype,
                                                MOTSL_STDLIST_KEYWORD_T *column) noexcept;
motsl_cell_edit_check_fn_t mowsl_cell_edit_check_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept;
motsl_cell_fn_t mowsl_cell_bedit_start_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept;
// May the user change the column on the edit form: its edit flag for this request, and for the delete
// status also the list's delete access (deleting through the form is deleting).
int mowsl_column_editable(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                          mo_boolean_t *editable) noexcept;
// May the user edit this row of the list: the row's view and edit flags, committed, or the row the
// user is creating.
mo_boolean_t mowsl_row_editable(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *record) noexcept;

// ---------------------------------------------------------------- commands

// "edit_start", "edit_adv", "edit_end" (with mowsl_edit_access) and "new" are registered by
// mowsl_edit_down_register and mowsl_new_down_register (declared with the list pages).
int mowsl_edit_start_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
int mowsl_edit_adv_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
int mowsl_edit_end_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
int mowsl_new_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept;
#define MOWSL_DECLARE_EDIT_SERVICE(name)                                                                     \
    int name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd, MOT_TOP_REQ_T *req,    \
             MOT_TOP_ARG_LIST_T *arg_list) noexcept;
MOWSL_DECLARE_EDIT_SERVICE(mowsl_edit_start_service)
MOWSL_DECLARE_EDIT_SERVICE(mowsl_edit_adv_service)
MOWSL_DECLARE_EDIT_SERVICE(mowsl_edit_end_service)
MOWSL_DECLARE_EDIT_SERVICE(mowsl_new_service)
#undef MOWSL_DECLARE_EDIT_SERVICE

// The test of the edit commands: the list's edit access and, with arguments ("ID", id), that the user
// may edit that row (mowsl_row_editable).
int mowsl_edit_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                      mo_boolean_t *ok, const char **message) noexcept;

// ---------------------------------------------------------------- service cores

// The edit form of the element whose column `keyword` has the text `value`; locks the element.
int mowsl_edit_start_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *keyword,
                                   const char *value) noexcept;
// The advanced-fields window of that element (its lock must be held).
int mowsl_edit_adv_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *keyword,
                                 const char *value) noexcept;
// Commits the posted form to the element named by the arguments (keyword, value), or, when the form's
// Cancel was pressed, only gives the element lock back (`*cancelled_result` set). Nothing is written
// when a parser or check fails; the caller answers with the reload page.
int mowsl_edit_end_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                 MOT_TOP_ARG_LIST_T *arg_list, MOW_POST_RESULTS_T *form,
                                 mo_boolean_t *cancelled_result) noexcept;

// What an edit leaves to record once the list is written.
struct MOWSL_EDIT_RESULT_T {
    int operation;              // MOTSL_OP_*
    MOK_MULTI_LINE_T *details;  // change lines of a modification
    mo_boolean_t record;        // an entry is due (a modification without change lines records none)
    MOK_DATA_RECORD_T *element; // the changed element
};
typedef struct MOWSL_EDIT_RESULT_T mowsl_edit_result_t;

// Takes the form into the record: a working copy (the user must still hold the element lock), each
// column of `columns` parsed and then checked, the change lines, and the copy back into the record.
// The first failure leaves the record as it was. The caller holds the file's write lock, writes the
// list and then records the history (mowsl_edit_record_history).
int mowsl_edit_item_deferred(MOT_TOP_STYPE_T *stype, int operation, MOW_POST_RESULTS_T *form,
                             MOTSL_STDLIST_ORDER_T *columns, MOK_DATA_RECORD_T *record,
                             MOWSL_EDIT_RESULT_T *result) noexcept;
int mowsl_edit_record_history(MOT_TOP_STYPE_T *stype, const MOWSL_EDIT_RESULT_T *result) noexcept;
// The two in one, for callers whose history may precede the write.
int mowsl_edit_item(MOT_TOP_STYPE_T *stype, int operation, MOW_POST_RESULTS_T *form,
                    MOTSL_STDLIST_ORDER_T *columns, MOK_DATA_RECORD_T *record) noexcept;

// Makes the element a new edit starts from (or takes up the user's unfinished one) and writes it;
// `*new_id` is its id. With `use_new_field` false it always makes a fresh element, committed at once.
int mowsl_create_new_shell(MOT_TOP_STYPE_T *stype, mo_boolean_t use_new_field, int *new_id) noexcept;
// The type-storage operation new_copy_template: every column but "ID" from the template list's first
// element.
int mowsl_web_copy_template(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record) noexcept;

// Sets the delete status of the rows ticked in the posted list form (PICKER_CHECK): mode 1 deletes,
// 2 undeletes. A row that cannot be changed is reported and nothing is written; `*done_result` says
// that the list was written.
int mowsl_delete_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_POST_RESULTS_T *form,
                               mo_boolean_t *done_result, int mode) noexcept;
