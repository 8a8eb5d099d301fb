// Deleting and undeleting the rows ticked on a list page (the pickers "delete" of a main list and
// "undelete" of its deleted list). Deleting only sets the delete status, through the same parse,
// check and history as an edit of that one column, each row under its element lock.
//
// Only rows of this list that the user sees and may edit are touched, whatever ids are posted, and a
// list only does its own picker's work: the main list never undeletes. When any row fails, nothing is
// written and the cached list is read again.
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "stdlist/mowsl_web_stdlist_edit_local.h"

#include "daemon/molk_lock.h"
#include "storage/mok_key.h"

#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

using namespace mowsl_edit_local;

namespace {

MOE_ERROR_T *err_of(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->aux->error;
}

int find_del_column(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T **del) noexcept {
    *del = nullptr;
    MOTSL_STDLIST_ORDER_T *order = nullptr;
    int ret = motsl_stdlist_get_order(stype, &order);
    for (MOTSL_STDLIST_ORDER_T *o = order; ret == 0 && o != nullptr; o = o->next)
        if (strcmp(keyword_of(o->stdlist), "DEL") == 0)
            *del = o->stdlist;
    if (ret == 0 && *del == nullptr) {
        err_of(stype)->report(err_of(stype), "Can't find the DEL keyword in stype %s\n", stype->name);
        ret = 1;
    }
    // A status the user may not change would be recorded as changed and stay as it was.
    if (ret == 0 && !(*del)->access_type->edit_access_col) {
        err_of(stype)->report(err_of(stype), "The delete status of %s entries can't be changed by you\n",
                              stype->name);
        ret = 1;
    }
    return ret;
}

// The row of this list with that id that the user may change in this mode, or NULL.
MOK_DATA_RECORD_T *row_to_change(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows, int id, int mode) noexcept {
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
        const auto *element = static_cast<const MOTSL_ELEMENT_T *>(r->container);
        if (element->id != id)
            continue;
        bool state_fits =
            mode == MOWSL_MODE_DELETE ? element->delete_status == 0 : element->delete_status != 0;
        return r->access_view && element->new_ == 0 && state_fits && mowsl_row_editable(stype, r) ? r
                                                                                                  : nullptr;
    }
    return nullptr;
}

} // namespace

int mowsl_delete_service_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *, MOW_POST_RESULTS_T *form,
                               mo_boolean_t *done_result, int mode) noexcept {
    *done_result = FALSE;
    if (mode != MOWSL_MODE_DELETE && mode != MOWSL_MODE_UNDELETE)
        return 0;
    // The one field the edit of each row sees.
    char del_name[] = "DEL";
    char del_value_deleted[] = "Deleted";
    char del_value_active[] = "Active";
    MOW_POST_RESULTS_T del_form[] = {
        {.name = del_name, .val = mode == MOWSL_MODE_DELETE ? del_value_deleted : del_value_active},
        {.name = nullptr, .val = nullptr},
    };
    int operation = mode == MOWSL_MODE_DELETE ? MOTSL_OP_DELETED : MOTSL_OP_UNDELETED;
    std::vector<std::string> ids;
    std::vector<MOWSL_EDIT_RESULT_T> results;
    try {
        std::set<std::string> seen;
        for (MOW_POST_RESULTS_T *r = form; r != nullptr && r->name != nullptr; r++)
            if (strcmp(r->name, "PICKER_CHECK") == 0 && r->val != nullptr && seen.insert(r->val).second)
                ids.push_back(r->val);
    } catch (const std::bad_alloc &) {
        err_of(stype)->report(err_of(stype), "Out of memory\n");
        return 1;
    }
    WriteLock lock;
    MOK_DATA_RECORD_T *first = nullptr;
    MOTSL_STDLIST_KEYWORD_T *del = nullptr;
    MOTSL_STDLIST_ORDER_T only_del{};
    int ret = mowsl_release_element_locks(stype);
    // A list's own read may take the write lock itself the first time: it runs before ours.
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = lock.take(stype);
    if (ret == 0)
        ret = mowsl_list_read(stype, &first);
    if (ret == 0)
        ret = find_del_column(stype, &del);
    only_del.stdlist = del;
    only_del.next = nullptr;
    bool failed = false;
    bool changed = false;
    for (size_t i = 0; ret == 0 && i < ids.size(); i++) {
        const char *id_text = ids[i].c_str();
        int id = 0;
        MOK_DATA_RECORD_T *row = nullptr;
        if (motsl_parse_id(id_text, &id) == 0 && id > 0)
            row = row_to_change(stype, first, id, mode);
        if (row == nullptr) {
            err_of(stype)->report(err_of(stype), "Can't find ID number %s in %s records\n", id_text,
                                  stype->name);
            failed = true;
            continue;
        }
        int row_ret = stype->lock_element(stype, MOLK_ELEMENT_TAKE, row->container, nullptr);
        if (row_ret == 0) {
            MOWSL_EDIT_RESULT_T result{};
            row_ret = mowsl_edit_item_deferred(stype, operation, del_form, &only_del, row, &result);
            if (row_ret == 0) {
                changed = true;
                try {
                    results.push_back(result);
                } catch (const std::bad_alloc &) {
                    err_of(stype)->report(err_of(stype), "Out of memory\n");
                    row_ret = 1;
                }
            }
            int unlock = stype->lock_element(stype, MOLK_ELEMENT_RELEASE, row->container, nullptr);
            if (row_ret == 0)
                row_ret = unlock;
        }
        if (row_ret != 0) {
            err_of(stype)->report(err_of(stype), "Can't edit the ID %s. Possibly locked by someone else.\n",
                                  id_text);
            failed = true;
        }
    }
    if (ret == 0 && failed)
        ret = 1;
    if (ret == 0 && changed)
        ret = stype->write_data(stype);
    if (ret != 0 && changed)
        forget_changes(stype);
    int release = lock.release();
    if (ret == 0)
        ret = release;
    for (size_t i = 0; ret == 0 && i < results.size(); i++)
        ret = mowsl_edit_record_history(stype, &results[i]);
    if (ret == 0)
        *done_result = TRUE;
    return ret;
}

int mowsl_delete_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                         mo_boolean_t *acted) noexcept {
    *acted = FALSE;
    MOW_POST_RESULTS_T *form = req != nullptr ? req->results_ref : nullptr;
    const char *mode_text = posted(form, "DELETE_ALL");
    int mode = mode_text == nullptr                 ? 0
               : strcmp(mode_text, "delete") == 0   ? MOWSL_MODE_DELETE
               : strcmp(mode_text, "undelete") == 0 ? MOWSL_MODE_UNDELETE
                                                    : 0;
    if (mode == 0)
        return 0;
    *acted = TRUE;
    // The posted word does not choose the list: each list does its own picker's work only.
    if (!mowsl_picker_allowed(stype, mode == MOWSL_MODE_DELETE ? "delete" : "undelete")) {
        err_of(stype)->report(err_of(stype), "The entries of %s can't be %s here\n", stype->name,
                              mode == MOWSL_MODE_DELETE ? "deleted" : "undeleted");
        return 1;
    }
    mo_boolean_t done = FALSE;
    int ret = mowsl_delete_service_basic(stype, out_def, form, &done, mode);
    if (ret == 0)
        ret = mowsl_reload_done(stype, out_def);
    return ret;
}
