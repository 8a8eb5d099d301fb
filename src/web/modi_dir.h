// The directory types: the tabs of the navigation bar. Each tab has a name (its directory type
// argument), a label, a row (upper or lower), a test of who may see it, the link it opens and the
// writer of its left column. The module draws the tab rows and the buttons of the left columns and
// builds the links between the frames; every part of a link that comes from a request, the data or
// the setup is URL-escaped, so a link can stand in an attribute as it is.
#pragma once
#include "mo_std.h"

struct MOT_TOP_ARG_LIST_T;
struct MODI_DIR_T;

// May the user see the tab. `access_ref`, `index_id` and `list_id` are the caller's position; the
// tabs of the folder trees decide by their own top folder.
typedef int (*modi_dir_access_fn_t)(MOX_AUX_T *aux, void *access_ref, int index_id, int list_id, int user_id,
                                    mo_boolean_t *ok) noexcept;
// The address the tab opens, into `link` (MO_STRING_LEN bytes), fit to stand in HREF="...".
typedef int (*modi_dir_link_fn_t)(MOX_AUX_T *aux, MODI_DIR_T *dir_type, char *link) noexcept;
// Writes the tab's left column.
typedef int (*modi_dir_service_fn_t)(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def,
                                     MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept;

struct MODI_DIR_T {
    const char *dir_name;             // the directory type argument
    const char *user_name;            // the tab's label (plain text; escaped where written)
    int top;                          // 1: upper tab row, 0: lower row
    modi_dir_access_fn_t access_fn;   // who may see it
    modi_dir_link_fn_t link_fn;       // where it leads
    modi_dir_service_fn_t service_fn; // its left column
    MODI_DIR_T *next;                 // next tab in registration order
};
typedef struct MODI_DIR_T modi_dir_t;

// The tabs' image joints are 13 by 24 pixels.
#define MODI_TAB_EDGE_WIDTH 13
#define MODI_TAB_HEIGHT 24

// Registers the tabs of the system into the web service's list (aux->web->dir_list, also kept as the
// session's dir_list_ref): "docs", "tables", "mgroups", "desk", "company", "support", "setup",
// "about", and "user" when the setup names a user tab. Installs modi_dir_get_default_link as the web
// service's default link. A bundle without a web service registers nothing.
int modi_dir_construct(MOT_TOP_SESSION_T *session) noexcept;

// Appends a tab to the list.
int modi_dir_register(MODI_DIR_T **dir_list_ptr, MOX_AUX_T *aux, void *pool_ref, const char *dir_name,
                      const char *user_name, int top, modi_dir_access_fn_t access_fn,
                      modi_dir_link_fn_t link_fn, modi_dir_service_fn_t service_fn) noexcept;
// The tab of that name for the current user: "Display Command %s not valid\n" when there is none,
// "Sorry you don't have access to the dir_type %s\n" when its access function refuses the user.
int modi_find_dir_type(MODI_DIR_T *dir_list, MOX_AUX_T *aux, const char *name, MODI_DIR_T **dir_ptr) noexcept;
// The tab of that name, or NULL; nothing is reported.
MODI_DIR_T *modi_dir_lookup(MODI_DIR_T *dir_list, const char *name) noexcept;
// May the current user see the tab (FALSE when nobody is logged in).
int modi_dir_visible(MOX_AUX_T *aux, MODI_DIR_T *dir, mo_boolean_t *ok) noexcept;

// The address an empty query string opens: the link of the first of "docs", "tables", "mgroups" and
// "desk" that the user may see, so that a user without the documents tab does not land on an error.
int modi_dir_get_default_link(MOX_AUX_T *aux, char *link) noexcept;

// ---- links; each writes MO_STRING_LEN bytes and refuses, with a report, a link that does not fit

// "%s?%s&%s&%s&%s&%d&%d&0&%s": script location, frame, display, trail, the request's directory type,
// index, item id and the stype (the item's default stype when none is given), then "&" and `method`
// when one is given.
int modi_dir_build_link(MOX_AUX_T *aux, const char *frame, const char *display, const char *trail, int index,
                        int item_id, const char *stype_name, const char *method, char *link) noexcept;
// A link that reloads the whole frameset: "%s?top&frames&A&%s&%d&%d&0&%s&%s" with the script location,
// the directory type, index, item id, stype and command.
int modi_dir_build_top_link(MOX_AUX_T *aux, const char *dir_type, int index, int item_id,
                            const char *stype_name, const char *cmd, char *link) noexcept;
// The frameset link of a stored argument text ("&"-prefixed, as a last-visited place keeps it):
// the script location, "?top&frames&A" and the text.
int modi_dir_build_top_link_string(MOX_AUX_T *aux, const char *last_link, char *link) noexcept;
// TRUE for a stored argument text that may become a link: it starts with "&", names a directory type
// and holds nothing that could leave an attribute or a URL (quotes, "<", ">", blanks, controls).
mo_boolean_t modi_dir_last_text_ok(const char *text) noexcept;

// ---- drawing

// The tab row of one kind (`top` 1: upper, 0: lower) with the tabs the user may see; the tab of the
// request's directory type is the selected one.
int modi_dir_hotlink_row(MOX_AUX_T *aux, MODI_DIR_T *dir_list, MOOU_OUT_DEF_T *out_def, int top) noexcept;
// A button of a left column: indented `indent` times, the image (the folder item's own when `image` is
// NULL and `item_id` is given) as an image link, and the label as a text link, both opening `link`
// (already fit for an attribute) in `frame` (none: the same frame).
int modi_dir_insert_button_link(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, int indent, int item_id,
                                const char *image, const char *label, const char *link,
                                const char *frame) noexcept;

// ---- last-visited places

// Records the argument text of a content page that was served (from the directory type on, each
// argument URL-escaped) as the place last visited in that tab. Only registered tabs and logged-in
// users are recorded, and only texts whose frameset link fits.
int modi_dir_record_last(MOX_AUX_T *aux, const char *dir_type, const char *arg_text) noexcept;
