// Helpers shared by the source files of the editing half; not for other modules.
#pragma once
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "stdlist/mowsl_web_stdlist_local.h"

#include <string>

namespace mowsl_edit_local {

using namespace mowsl_local;

// What a column stores, told by its value type's operations.
enum class Kind {
    string,
    multi_line,
    integer, // also booleans
    u32,
    datetime,
    user_id,
    null,
    option,
    id,
    idlist,
    idlist_direct,
    rev,
    accesslist,
    other,
};
Kind value_kind(MOX_AUX_T *aux, MOTSL_STDLIST_KEYWORD_T *column) noexcept;

// Text for a quoted JavaScript string, also inside an HTML attribute or a script block: quotes,
// backslashes, "<", ">", "&" and control bytes are written as escapes.
std::string js_string(const char *text);
// Text for an attribute value of a hidden field: as html(), and line breaks as character references so
// that a multi-line value comes back as it went out.
std::string attr_multi(const char *text);

// The first posted field of that name, or NULL.
const char *posted(MOW_POST_RESULTS_T *results, const char *name) noexcept;

// The element id of a record.
inline int element_id_of(MOK_DATA_RECORD_T *record) noexcept {
    return static_cast<MOTSL_ELEMENT_T *>(record->container)->id;
}

// The pool that the list's cached chain lives in: values copied into its records must live as long.
void *chain_pool(MOT_TOP_STYPE_T *stype) noexcept;

// The file's write lock, given back on every path (a process that kept it would meet its own lock at
// the next request).
struct WriteLock {
    MOT_TOP_STYPE_T *stype = nullptr;
    bool held = false;
    int take(MOT_TOP_STYPE_T *list_stype) noexcept;
    int release() noexcept;
    ~WriteLock() { release(); }
};

// The cached chain was changed and not written: the next read, here or in a later request, reads the
// file again.
void forget_changes(MOT_TOP_STYPE_T *stype) noexcept;

// The chain of the columns of the edit form in display order: those the user may change.
int form_columns(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T **columns) noexcept;

// The element of the arguments ("ID", id) of an edit command: the keyword must be "ID" and the id a
// positive number; `*id` is set. Reported otherwise.
int edit_args(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *arg_list, int *id) noexcept;

} // namespace mowsl_edit_local
