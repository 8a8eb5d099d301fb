// Helpers shared by the source files of the folder tree; not for other modules.
#pragma once
#include "apps/moap_litem.h"

#include "daemon/molk_lock.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"

#include <string>

namespace moap_litem_local {

inline MOE_ERROR_T *err(MOX_AUX_T *aux) noexcept {
    return aux->error;
}

inline MOAP_LITEM_T *litem_of(void *container) noexcept {
    return static_cast<MOAP_LITEM_T *>(container);
}

inline MOAP_LITEM_STORAGE_T *storage_of(MOT_TOP_STYPE_T *stype) noexcept {
    return static_cast<MOAP_LITEM_STORAGE_T *>(stype->applic_storage_ref);
}

inline MOTSL_TYPE_STORAGE_T *ts_of(MOT_TOP_STYPE_T *stype) noexcept {
    return static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
}

inline const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

// The tree of an index as loaded for this request, or NULL.
MOTSL_DATASTRUCT_T *tree_data(MOIT_ITEM_T *item, int index_id) noexcept;
// The main stype of a tree ("litem" or "bkmark"); reported when the index has none.
int tree_stype(MOX_AUX_T *aux, int index_id, MOT_TOP_STYPE_T **stype) noexcept;
// The tree's index of an item stype (0 for stypes that are not item lists).
int index_of(MOT_TOP_STYPE_T *stype) noexcept;
// The stype's current list and row ids (0 when unset or not an id).
int current_list(MOT_TOP_STYPE_T *stype) noexcept;
int current_row(MOT_TOP_STYPE_T *stype) noexcept;
// The current user (-1 when nobody is logged in).
int current_user(MOX_AUX_T *aux) noexcept;
// Is a record a link (its link list has two numbers).
bool is_link(const MOAP_LITEM_T *l) noexcept;
// Is a record a built-in item.
bool is_builtin(const MOAP_LITEM_T *l) noexcept;
// Is the item a folder (its item type's object type, following links); unknown types are objects.
bool is_folder(MOIT_ITEM_T *item, int index_id, const MOAP_LITEM_T *l) noexcept;

// The `view` or `edit` set of an item's access definition (following links), for the current user.
int item_passes(MOX_AUX_T *aux, int index_id, int id, bool edit, mo_boolean_t *ok) noexcept;
// The given level (MOTSL_ACCESS_VIEW, _EDIT, _LIB) of an item (following links) for the current user.
int item_level(MOX_AUX_T *aux, int index_id, int id, int level, mo_boolean_t *ok) noexcept;

// The tree's file write lock for the time of one change: taken unless this process holds it already,
// and given back (when taken here) on every path.
class TreeWriteLock {
public:
    TreeWriteLock() = default;
    ~TreeWriteLock() { release(); }
    TreeWriteLock(const TreeWriteLock &) = delete;
    TreeWriteLock &operator=(const TreeWriteLock &) = delete;
    int take(MOT_TOP_STYPE_T *stype) noexcept {
        stype_ = stype;
        int held = FALSE;
        int ret = stype->lock_file(stype, MOLK_FILE_WRITE_HELD, &held);
        if (ret != 0 || held)
            return ret;
        ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
        if (ret == 0)
            taken_ = true;
        return ret;
    }
    int release() noexcept {
        if (!taken_)
            return 0;
        taken_ = false;
        return stype_->lock_file(stype_, MOLK_FILE_WRITE_RELEASE, nullptr);
    }

private:
    MOT_TOP_STYPE_T *stype_ = nullptr;
    bool taken_ = false;
};

// Escapes for where a text lands.
std::string html(const char *text);      // HTML text and attribute values
std::string url_arg(const char *text);   // one argument of a query string
std::string js(const char *text);        // inside a quoted script string within a page
std::string attr_link(const char *link); // a link the system built, inside HREF="..."

// The "dir" frame lists reload their own frame, others the directory frame.
int reload_after_change(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, bool close) noexcept;

// Registers the web commands of the item stypes (moap_litem_web.cpp).
enum class CmdSet { base, folder, deleted, history, none };
int register_web(MOT_TOP_STYPE_T *stype, CmdSet set, mow_web_button_fn_t button_fn) noexcept;

// Cells of the columns (moap_litem_web.cpp).
int name_list_cell(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                   MOK_DATA_RECORD_T *record) noexcept;
int edit_list_cell(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                   MOK_DATA_RECORD_T *record) noexcept;
int access_list_cell(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                     MOK_DATA_RECORD_T *record) noexcept;
int name_edit_start(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                    MOK_DATA_RECORD_T *record) noexcept;
int name_edit_end(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, MOW_POST_RESULTS_T *results,
                  void *container) noexcept;
int access_edit_start(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                      MOK_DATA_RECORD_T *record) noexcept;
int access_edit_end(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, MOW_POST_RESULTS_T *results,
                    void *container) noexcept;
int access_parent_text(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                       const char **text) noexcept;

} // namespace moap_litem_local
