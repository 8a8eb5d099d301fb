// History: every change of an element is an entry in that element's own history file, written
// under the file's write lock. Also the change lines of an edit, the question whether a user has
// done an operation, and the history page's set-up and link.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "platform/mou_util_cmn.h"
#include "platform/most_setup_cmn.h"

#include <cstring>
#include <string>

using namespace motsl_local;

namespace {

MOTSL_HISTORY_STORAGE_T *history_storage(MOT_TOP_STYPE_T *history) noexcept {
    return static_cast<MOTSL_HISTORY_STORAGE_T *>(history->applic_storage_ref);
}

// The history list of a list for the current request, pointed at its position; NULL without
// report when the list keeps no history.
int history_of(MOT_TOP_STYPE_T *stype, MOT_TOP_STYPE_T **history) noexcept {
    *history = nullptr;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr || ts->history_stype_name == nullptr)
        return 0;
    // Found afresh by name: a request that never initialised the family still writes its history
    // through this request's memory, not a finished one's.
    MOT_TOP_STYPE_T *h = find_stype_quiet(stype, ts->history_stype_name);
    MOTSL_TYPE_STORAGE_T *hts = h != nullptr ? ts_of(h) : nullptr;
    if (hts == nullptr || history_storage(h) == nullptr) {
        err(stype->aux)
            ->report(err(stype->aux), "The history list %s of stype %s is not registered\n",
                     ts->history_stype_name, stype->name);
        return 1;
    }
    ts->history_stype = h;
    memcpy(hts->index, ts->index, sizeof(hts->index));
    memcpy(hts->list, ts->list, sizeof(hts->list));
    *history = h;
    return 0;
}

int element_id(MOT_TOP_STYPE_T *stype, void *container, int *id) noexcept {
    MOTSL_STDLIST_KEYWORD_T *id_column = nullptr;
    int ret = motsl_find_column(stype, "ID", &id_column);
    if (ret != 0)
        return ret;
    *id = mok_field<int>(container, id_column->common->gen_keyword.struct_offset);
    if (*id <= 0) {
        err(stype->aux)
            ->report(err(stype->aux), "An element of %s without a valid id has no history\n", stype->name);
        return 1;
    }
    return 0;
}

// An excerpt of a value for a change line: one line, at most 60 characters and "...".
std::string excerpt(const char *text) {
    std::string one_line;
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
        if (*p == '\r' || *p == '\n') {
            if (*p == '\r' && p[1] == '\n')
                p++;
            if (p[1] != '\0') // the break that ends a multi-line value leaves nothing behind
                one_line += ' ';
        } else {
            one_line += *p;
        }
    }
    if (one_line.size() > MOTSL_HISTORY_EXCERPT) {
        one_line.resize(MOTSL_HISTORY_EXCERPT);
        one_line += "...";
    }
    return one_line;
}

} // namespace

// ---------------------------------------------------------------- registration

int motsl_stdlist_history_keyword_register(MOT_TOP_STYPE_T *stype, const MOTSL_COLUMN_DEF_T *def) noexcept {
    return motsl_column_register(stype, def, nullptr);
}

int motsl_stdlist_history_register_columns(MOT_TOP_STYPE_T *stype) noexcept {
    static const MOTSL_COLUMN_DEF_T columns[] = {
        {.keyword = "ID",
         .struct_offset = offsetof(MOTSL_STDLIST_HISTORY_T, element_id),
         .init_ref = mok_int_ref(1),
         .common_alloc_fn = motc_common_alloc_integer,
         .user_name = "ID",
         .type_vector = 3,
         .view_access_fn = motsl_col_access_none,
         .edit_access_fn = motsl_col_access_none,
         .default_filter_fn = motsl_filter_integer},
        {.keyword = "FID",
         .struct_offset = offsetof(MOTSL_STDLIST_HISTORY_T, history_for_id),
         .init_ref = mok_int_ref(0),
         .common_alloc_fn = motc_common_alloc_integer,
         .user_name = "History For ID",
         .type_vector = 3,
         .view_access_fn = motsl_col_access_none,
         .edit_access_fn = motsl_col_access_none,
         .default_filter_fn = motsl_filter_integer},
        {.keyword = "OP",
         .struct_offset = offsetof(MOTSL_STDLIST_HISTORY_T, operation),
         .init_ref = mok_int_ref(0),
         .common_alloc_fn = motsl_stdlist_common_alloc_option,
         .user_name = "Operation",
         .help_string = "The operation which resulted in this history entry",
         .display_ref = motsl_history_op_options,
         .type_vector = 0x22,
         .edit_access_fn = motsl_col_access_none,
         .default_filter_fn = motsl_filter_option},
        {.keyword = "U",
         .struct_offset = offsetof(MOTSL_STDLIST_HISTORY_T, user_id),
         .init_ref = mok_int_ref(0),
         .common_alloc_fn = motc_common_alloc_user_id,
         .user_name = "User",
         .type_vector = 0x23,
         .edit_access_fn = motsl_col_access_none,
         .default_filter_fn = motsl_filter_general},
        {.keyword = "D",
         .struct_offset = offsetof(MOTSL_STDLIST_HISTORY_T, date),
         .init_ref = mok_int_ref(0),
         .common_alloc_fn = motc_common_alloc_date,
         .user_name = "Date",
         .type_vector = 0x10023,
         .edit_access_fn = motsl_col_access_none,
         .default_filter_fn = motsl_filter_datetime},
        {.keyword = "M",
         .struct_offset = offsetof(MOTSL_STDLIST_HISTORY_T, machine),
         .init_ref = "",
         .common_alloc_fn = motc_common_alloc_string,
         .user_name = "Machine",
         .type_vector = 0x23,
         .edit_access_fn = motsl_col_access_none,
         .default_filter_fn = motsl_filter_string},
        {.keyword = "C",
         .struct_offset = offsetof(MOTSL_STDLIST_HISTORY_T, detailed_changes),
         .init_ref = "",
         .common_alloc_fn = motc_common_alloc_multi_line,
         .user_name = "Details",
         .type_vector = 5,
         .edit_access_fn = motsl_col_access_none,
         .default_filter_fn = motsl_filter_general},
    };
    int ret = 0;
    for (const MOTSL_COLUMN_DEF_T &c : columns) {
        ret = motsl_stdlist_history_keyword_register(stype, &c);
        if (ret != 0)
            break;
    }
    return ret;
}

int motsl_history_register_stype(MOT_TOP_STYPE_T *history) noexcept {
    MOX_AUX_T *aux = history->aux;
    MOT_TOP_STORAGE_T *cell = history->keyword_storage;
    if (cell == nullptr) {
        err(aux)->report(err(aux), "The keyword storage of stype %s is not set\n", history->name);
        return 1;
    }
    int ret = 0;
    if (cell->struct_ref == nullptr) {
        MOTSL_HISTORY_KEYWORDSTRUCT_T *ks = nullptr;
        ret = mome_new(aux->mem, cell->sub_pool_ref, &ks);
        if (ret != 0)
            return ret;
        cell->struct_ref = ks;
        ret = motsl_stdlist_history_register_columns(history);
        if (ret == 0)
            ret = motsl_finish_columns(history, sizeof(MOTSL_STDLIST_HISTORY_T));
        if (ret != 0) {
            cell->struct_ref = nullptr;
            return ret;
        }
    } else {
        ret = motsl_share_columns(history);
        if (ret != 0)
            return ret;
    }
    MOTSL_HISTORY_STORAGE_T *hs = nullptr;
    ret = mome_new(aux->mem, aux->mem->session_pool_ref, &hs);
    if (ret != 0)
        return ret;
    history->applic_storage_ref = hs;
    ret = motsl_type_storage_register(history, aux->mem->session_pool_ref, motsl_stdlist_get_new_id, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
    if (ret == 0)
        ret = motsl_applic_register_history_web_cmds(history);
    return ret;
}

// History files are read afresh by every request, from the request's memory.
int motsl_history_init_struct(MOT_TOP_STYPE_T *stype, void *, mo_boolean_t) noexcept {
    int ret = point_at_request_storage(stype);
    if (ret != 0)
        return ret;
    int row = 0;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    // Without an element there is no file yet; the history page or the history append names it.
    if (motsl_parse_id(ts->row, &row) != 0 || row <= 0 || stype->init_filename == nullptr)
        return 0;
    return stype->init_filename(stype);
}

// ---------------------------------------------------------------- entries

int motsl_stdlist_set_filename_for_history(MOT_TOP_STYPE_T *stype, void *container) noexcept {
    MOT_TOP_STYPE_T *history = nullptr;
    int id = 0;
    int ret = history_of(stype, &history);
    if (ret != 0 || history == nullptr)
        return ret;
    ret = element_id(stype, container, &id);
    if (ret != 0)
        return ret;
    MOTSL_TYPE_STORAGE_T *hts = ts_of(history);
    snprintf(hts->row, sizeof(hts->row), "%d", id);
    history_storage(history)->history_for_id = id;
    if (history->data_storage_list_ptr == nullptr ||
        history->data_storage_list_ptr != &hts->request_storage_list) {
        ret = point_at_request_storage(history);
        if (ret != 0)
            return ret;
    }
    if (history->init_filename == nullptr) {
        err(stype->aux)->report(err(stype->aux), "The history list %s has no file name\n", history->name);
        return 1;
    }
    return history->init_filename(history);
}

int motsl_history_add_entry(MOT_TOP_STYPE_T *history, int operation, int history_for_id,
                            MOK_MULTI_LINE_T *details) noexcept {
    MOX_AUX_T *aux = history->aux;
    MOK_DATA_RECORD_T *record = nullptr, *first = nullptr, *max = nullptr;
    MOTSL_STDLIST_KEYWORD_T *id_column = nullptr;
    int user_id = -1;
    mou_datetime_t now = 0;
    const char *machine = "";
    int ret = history->read_data(history, &first);
    if (ret == 0)
        ret = motsl_find_column(history, "ID", &id_column);
    if (ret == 0)
        ret = motsl_find_maximum_id(history, first, id_column, &max);
    if (ret == 0)
        ret = history->new_data(history, &record);
    // The first entry keeps the default id (1); later ones follow the largest.
    if (ret == 0 && max != nullptr)
        ret = motsl_stdlist_get_new_id(history, id_column, record, max);
    if (ret == 0)
        ret = history->add_data(history, record, &first);
    if (ret == 0)
        ret = motsl_current_user_id(aux, &user_id);
    if (ret == 0)
        ret = aux->util->get_current_datetime(aux->util, &now);
    if (ret == 0)
        ret = aux->util->local_machine_name(aux->util, 0, &machine);
    if (ret != 0)
        return ret;
    auto *entry = static_cast<MOTSL_STDLIST_HISTORY_T *>(record->container);
    void *pool = history->data_storage->sub_pool_ref;
    entry->history_for_id = history_for_id;
    entry->operation = operation;
    entry->user_id = user_id >= 0 ? user_id : 0; // no logged-in user: command line and daemon work
    entry->date = static_cast<uint32_t>(now);
    ret = aux->mem->restore_string(aux->mem, pool, &entry->machine, machine != nullptr ? machine : "");
    if (ret == 0) {
        entry->detailed_changes = nullptr;
        ret = motc_copy_multi_line_basic(aux, pool, &entry->detailed_changes, details);
    }
    return ret;
}

int motsl_stdlist_add_changes_to_history(MOT_TOP_STYPE_T *stype, int operation, void *container,
                                         MOK_MULTI_LINE_T *details) noexcept {
    MOT_TOP_STYPE_T *history = nullptr;
    int id = 0;
    int ret = history_of(stype, &history);
    if (ret != 0 || history == nullptr)
        return ret;
    ret = element_id(stype, container, &id);
    if (ret == 0)
        ret = lock_file(history, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    MOK_DATA_RECORD_T *first = nullptr;
    ret = history->read_data(history, &first);
    if (ret == 0)
        ret = motsl_history_add_entry(history, operation, id, details);
    if (ret == 0)
        ret = history->write_data(history);
    int release = lock_file(history, MOLK_FILE_WRITE_RELEASE, nullptr);
    return ret != 0 ? ret : release;
}

int motsl_add_history(MOT_TOP_STYPE_T *stype, int operation, void *container,
                      MOK_MULTI_LINE_T *details) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr || ts->history_stype_name == nullptr)
        return 0;
    int option = MOTSL_LOG_ALL;
    int user_id = -1;
    int ret = motsl_current_user_id(aux, &user_id);
    if (ret != 0)
        return ret;
    MOTSL_ACCESS_HOOKS_T *access = access_hooks(aux);
    if (user_id >= 0 && access != nullptr && access->get_log_option != nullptr) {
        ret = access->get_log_option(access, user_id, &option);
        if (ret != 0)
            return ret;
    }
    if (option == MOTSL_LOG_NOTHING || (option == MOTSL_LOG_ALL_EXCEPT_COPY && operation == MOTSL_OP_VIEW))
        return 0;
    motsl_set_filename_for_history_fn_t set_filename = ts->set_filename_for_history != nullptr
                                                           ? ts->set_filename_for_history
                                                           : motsl_stdlist_set_filename_for_history;
    motsl_add_changes_to_history_fn_t add = ts->add_changes_to_history != nullptr
                                                ? ts->add_changes_to_history
                                                : motsl_stdlist_add_changes_to_history;
    ret = set_filename(stype, container);
    if (ret == 0)
        ret = add(stype, operation, container, details);
    return ret;
}

int motsl_history_create_details(MOT_TOP_STYPE_T *stype, MOK_MULTI_LINE_T **details_result,
                                 void *old_container, void *new_container) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *details_result = nullptr;
    MOTSL_STDLIST_ORDER_T *order = nullptr;
    int ret = motsl_stdlist_get_order(stype, &order);
    for (MOTSL_STDLIST_ORDER_T *o = order; ret == 0 && o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        MOTC_COMMON_KEYWORD_T *common = c->common;
        if (!c->access_type->edit_access_col || common->compare_fn == motc_compare_null ||
            common->compare_fn(common, old_container, new_container, FALSE) == 0)
            continue;
        std::string line = std::string(c->user_name) + " Changed";
        if ((c->type_vector & MOTSL_TV_HISTORY_BRIEF) == 0) {
            motsl_view_text_fn_t view =
                c->view_text_fn != nullptr ? c->view_text_fn : motsl_default_view_text;
            const char *text = "";
            ret = view(stype, c, old_container, &text);
            if (ret != 0)
                break;
            std::string old_text = excerpt(text); // the view text may live in a buffer the next call reuses
            ret = view(stype, c, new_container, &text);
            if (ret != 0)
                break;
            line += " from (" + old_text + ") to (" + excerpt(text) + ")";
        }
        if (line.size() > MOK_MULTI_LINE_MAX)
            line.resize(MOK_MULTI_LINE_MAX);
        ret = mok_add_multi_line(aux, aux->mem->req_pool_ref, line.c_str(), details_result);
    }
    return ret;
}

int motsl_history_find_op_by_user(MOT_TOP_STYPE_T *stype, void *container, int operation, int user_id,
                                  mo_boolean_t *found) noexcept {
    *found = FALSE;
    MOT_TOP_STYPE_T *history = nullptr;
    int ret = history_of(stype, &history);
    if (ret != 0 || history == nullptr)
        return ret;
    ret = motsl_stdlist_set_filename_for_history(stype, container);
    MOK_DATA_RECORD_T *first = nullptr;
    if (ret == 0)
        ret = history->read_data(history, &first);
    for (MOK_DATA_RECORD_T *r = first; ret == 0 && r != nullptr; r = r->next) {
        auto *entry = static_cast<MOTSL_STDLIST_HISTORY_T *>(r->container);
        if (entry->user_id == user_id && entry->operation == operation) {
            *found = TRUE;
            break;
        }
    }
    return ret;
}

// ---------------------------------------------------------------- the history page

int motsl_history_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept {
    MOT_TOP_STYPE_T *history = *stype_ptr;
    MOX_AUX_T *aux = history->aux;
    MOTSL_TYPE_STORAGE_T *hts = ts_of(history);
    MOTSL_HISTORY_STORAGE_T *hs = history_storage(history);
    if (hts == nullptr || hs == nullptr || hs->parent_stype == nullptr) {
        err(aux)->report(err(aux), "Stype %s is not a history list\n", history->name);
        return 1;
    }
    // The element id is the next argument: a positive id, nothing else.
    MOT_TOP_ARG_LIST_T **args = req != nullptr ? req->arg_list_ptr : nullptr;
    MOT_TOP_ARG_LIST_T *arg = args != nullptr ? *args : nullptr;
    int id = 0;
    if (arg == nullptr || arg->val == nullptr || arg->val[0] == '\0') {
        err(aux)->report(err(aux), "Can't find any history element argument\n");
        return 1;
    }
    if (motsl_parse_id(arg->val, &id) != 0 || id <= 0) {
        err(aux)->report(err(aux), "The history element argument is not an id\n");
        return 1;
    }
    int ret = mot_advance_next_arg(aux, args);
    if (ret != 0)
        return ret;

    // Only the history of an element the user may see in its own list is shown.
    MOT_TOP_STYPE_T *parent = hs->parent_stype;
    MOTSL_TYPE_STORAGE_T *pts = ts_of(parent);
    memcpy(pts->index, hts->index, sizeof(pts->index));
    memcpy(pts->list, hts->list, sizeof(pts->list));
    snprintf(pts->row, sizeof(pts->row), "%d", id);
    bool visible = false;
    MOT_TOP_STYPE_T *lists[2] = {parent, find_stype_quiet(parent, pts->deleted_stype_name)};
    for (MOT_TOP_STYPE_T *list : lists) {
        if (list == nullptr || visible)
            continue;
        MOTSL_TYPE_STORAGE_T *lts = ts_of(list);
        if (lts != nullptr && list != parent) {
            memcpy(lts->index, pts->index, sizeof(lts->index));
            memcpy(lts->list, pts->list, sizeof(lts->list));
            memcpy(lts->row, pts->row, sizeof(lts->row));
        }
        MOK_DATA_RECORD_T *first = nullptr;
        ret = list->init_struct != nullptr ? list->init_struct(list, req, TRUE) : 0;
        if (ret == 0)
            ret = list->read_data(list, &first);
        if (ret == 0)
            ret = list->init_data(list, first);
        if (ret != 0)
            return ret;
        for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next)
            if (static_cast<MOTSL_ELEMENT_T *>(r->container)->id == id) {
                visible = r->access_view;
                break;
            }
    }
    if (!visible) {
        err(aux)->report(err(aux), "There is no element %d in %s whose history you may see\n", id,
                         parent->name);
        return 1;
    }
    snprintf(hts->row, sizeof(hts->row), "%d", id);
    hs->history_for_id = id;
    hs->list1_id = current_index(history);
    hs->list2_id = current_list(history);
    ret = motsl_init_set_of_stype(*history->stype_list_ptr, aux, req, history, TRUE, hts->useropt_stype_name,
                                  nullptr, nullptr, nullptr);
    if (ret == 0)
        ret = motsl_useropt_load_and_bind(history);
    return ret;
}

int motsl_stdlist_history_http_call_start(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                                          char *string) noexcept {
    int ret = motsl_http_call_start(stype, display, trail, string);
    if (ret != 0)
        return ret;
    MOTSL_HISTORY_STORAGE_T *hs = history_storage(stype);
    size_t len = strlen(string);
    int n = snprintf(string + len, MO_STRING_LEN - len, "&%d", hs != nullptr ? hs->history_for_id : 0);
    if (n < 0 || static_cast<size_t>(n) >= MO_STRING_LEN - len) {
        string[0] = '\0';
        err(stype->aux)
            ->report(err(stype->aux), "The link to %s is longer than %d characters\n", stype->name,
                     MO_STRING_LEN - 1);
        return 1;
    }
    return 0;
}
