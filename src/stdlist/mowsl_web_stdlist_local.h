// Helpers shared by the source files of the list pages; not for other modules.
#pragma once
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"

#include <string>

namespace mowsl_local {

// The list engine's own helpers (err, ts_of, find_stype_quiet, current_list and the rest).
using namespace motsl_local;

inline MOW_WEB_STORAGE_T *web_of(MOT_TOP_STYPE_T *stype) noexcept {
    return static_cast<MOW_WEB_STORAGE_T *>(stype->web_storage_ref);
}

inline const char *keyword_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->common->gen_keyword.keyword;
}

// Text for HTML (element text and attribute values): "&", "<", ">" and the double quote escaped;
// line feeds become "<BR>" when asked.
std::string html(const char *text, bool convert_return = false);
// Text for a quoted JavaScript string, also inside an event attribute.
std::string js(const char *text);
// A JavaScript identifier made from a column keyword: letters, digits and "_" stay, other bytes become
// "_" and two hexadecimal digits, so that whatever a keyword holds it names a function.
std::string js_ident(const char *keyword);

// Writes text as it is (a format of its own would read "%" in it).
int out(MOOU_OUT_DEF_T *out_def, const std::string &text) noexcept;

// The current user (-1 when nobody is logged in).
int current_user(MOX_AUX_T *aux) noexcept;

// The user's option record of the list, taken under the option file's write lock and bound to the
// columns: change it, then end the change (written when `write` is set, the lock given back always).
struct OptionChange {
    MOT_TOP_STYPE_T *stype = nullptr;
    MOT_TOP_STYPE_T *useropt = nullptr;
    MOTSL_USEROPT_LIST_T *options = nullptr;
    bool locked = false;
    int begin(MOT_TOP_STYPE_T *list_stype) noexcept;
    int end(bool write) noexcept;
    ~OptionChange() { end(false); }
};

// The text of a command link (as mowsl_call_link) without the length limit, for callers that skip
// what does not fit instead of failing.
int link_build(MOT_TOP_STYPE_T *stype, const char *display, const char *trail, const char *command,
               const char *const *args, int arg_count, std::string *result) noexcept;

// The rows a list page shows: visible, through the shown columns' filters and match texts, in the
// list's sort (kept between requests, see there). The array (request pool) holds the list's own cells.
int list_rows(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *all,
              MOK_DATA_RECORD_T ***rows, int *count) noexcept;

// Parses a whole decimal number (an optional "-"); FALSE for anything else.
bool parse_int(const char *text, int *value) noexcept;

} // namespace mowsl_local
