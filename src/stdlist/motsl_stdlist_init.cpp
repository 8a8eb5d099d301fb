// Per-request set-up of a list: the position arguments (index, list and row ids), the family's
// related lists, the data file name, and the end-of-request unbinding that keeps session records
// from pointing into a finished request's memory.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "platform/mocl_cleanup.h"
#include "platform/mof_file_cmn.h"

#include <climits>
#include <cstdarg>
#include <cstring>

using namespace motsl_local;

namespace motsl_local {

namespace {
unsigned long epoch = 1;
}

std::vector<ParentWalk::Step> ParentWalk::path;

int ParentWalk::enter(int index_id, int item_id, int kind) noexcept {
    bool loop = path.size() >= 10000;
    for (const Step &s : path)
        if (s.index_id == index_id && s.item_id == item_id && s.kind == kind)
            loop = true;
    if (loop) {
        err(aux)->report(err(aux), "The parents of item %d form a loop in folder tree %d\n", item_id,
                         index_id);
        return 1;
    }
    try {
        path.push_back({index_id, item_id, kind});
    } catch (...) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
    entered = true;
    return 0;
}

int lock_file(MOT_TOP_STYPE_T *stype, int instruction, int *status) noexcept {
    mot_lock_file_fn_t fn = stype->lock_file != nullptr ? stype->lock_file : mot_top_lock_file;
    return fn(stype, instruction, status);
}

static int parse_or_zero(const char *text) noexcept {
    int value = 0;
    if (motsl_parse_id(text, &value) != 0)
        return 0;
    return value;
}

int current_index(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    return ts != nullptr ? parse_or_zero(ts->index) : 0;
}

int current_list(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    return ts != nullptr ? parse_or_zero(ts->list) : 0;
}

int store_req_string(MOX_AUX_T *aux, const std::string &text, const char **result) noexcept {
    char *copy = nullptr;
    int ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, &copy, text.c_str());
    *result = ret == 0 ? copy : "";
    return ret;
}

unsigned long request_epoch() noexcept {
    return epoch;
}

MOT_TOP_STYPE_T *find_stype_quiet(MOT_TOP_STYPE_T *stype, const char *name) noexcept {
    if (name == nullptr || stype->stype_list_ptr == nullptr)
        return nullptr;
    for (MOT_TOP_STYPE_T *s = *stype->stype_list_ptr; s != nullptr; s = s->next)
        if (strcmp(s->name, name) == 0)
            return s;
    return nullptr;
}

namespace {

// End of the request: nothing of the stype may keep pointing at the request's memory.
int unbind_at_request_end(const char *, void *ref1, void *) noexcept {
    auto *stype = static_cast<MOT_TOP_STYPE_T *>(ref1);
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    epoch++;
    if (ts == nullptr)
        return 0;
    motsl_useropt_unbind(stype);
    ts->unbind_registered = FALSE;
    if (stype->type == MOT_STYPE_USER_OPTIONS || stype->type == MOT_STYPE_HISTORY) {
        ts->request_storage_list = nullptr;
        stype->data_storage = nullptr;
        stype->data_storage_list_ptr = nullptr;
        stype->data_pool_ref = nullptr;
        stype->filename = nullptr;
        stype->data_loaded = FALSE;
    }
    return 0;
}

} // namespace

int request_scope(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    MOX_AUX_T *aux = stype->aux;
    if (ts == nullptr || ts->unbind_registered)
        return 0;
    MOCL_CLEANUP_T *cleanup = aux->file != nullptr ? aux->file->cleanup : nullptr;
    if (cleanup == nullptr)
        return 0; // no request end to hook: a process that serves a single request
    int ret = cleanup->add(cleanup, "Unbind list options", unbind_at_request_end, stype, nullptr);
    if (ret == 0)
        ts->unbind_registered = TRUE;
    return ret;
}

int point_at_request_storage(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr) {
        err(stype->aux)->report(err(stype->aux), "The type storage of stype %s is not set\n", stype->name);
        return 1;
    }
    ts->request_storage_list = nullptr;
    stype->data_storage_list_ptr = &ts->request_storage_list;
    stype->data_pool_ref = stype->aux->mem->req_pool_ref;
    stype->data_storage = nullptr;
    stype->data_loaded = FALSE;
    return request_scope(stype);
}

} // namespace motsl_local

// ---------------------------------------------------------------- ids and positions

int motsl_parse_id(const char *text, int *value) noexcept {
    *value = 0;
    if (text == nullptr || text[0] == '\0')
        return 1;
    if (text[0] == '0')
        return text[1] == '\0' ? 0 : 1;
    long long v = 0;
    for (const char *c = text; *c != '\0'; c++) {
        if (*c < '0' || *c > '9')
            return 1;
        v = v * 10 + (*c - '0');
        if (v > INT_MAX)
            return 1;
    }
    *value = static_cast<int>(v);
    return 0;
}

int motsl_set_position(MOT_TOP_STYPE_T *stype, int index_id, int list_id, int row_id) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr) {
        err(stype->aux)->report(err(stype->aux), "The type storage of stype %s is not set\n", stype->name);
        return 1;
    }
    snprintf(ts->index, sizeof(ts->index), "%d", index_id);
    snprintf(ts->list, sizeof(ts->list), "%d", list_id);
    snprintf(ts->row, sizeof(ts->row), "%d", row_id);
    return 0;
}

namespace {

int take_id_arg(MOX_AUX_T *aux, MOT_TOP_ARG_LIST_T **arg_list_ptr, const char *what, int *value) noexcept {
    MOT_TOP_ARG_LIST_T *arg = arg_list_ptr != nullptr ? *arg_list_ptr : nullptr;
    if (arg == nullptr || arg->val == nullptr || arg->val[0] == '\0') {
        err(aux)->report(err(aux), "Can't find any %s argument\n", what);
        return 1;
    }
    // Ids name files and go into links: only the plain decimal form is taken.
    if (motsl_parse_id(arg->val, value) != 0) {
        err(aux)->report(err(aux), "The %s argument is not an id\n", what);
        return 1;
    }
    return mot_advance_next_arg(aux, arg_list_ptr);
}

bool in_allowed_list(const char *list, const char *name) noexcept {
    size_t len = strlen(name);
    const char *p = list;
    while (*p != '\0') {
        while (*p == ',' || *p == ' ')
            p++;
        const char *start = p;
        while (*p != '\0' && *p != ',')
            p++;
        const char *end = p;
        while (end > start && end[-1] == ' ')
            end--;
        if (static_cast<size_t>(end - start) == len && len > 0 && strncmp(start, name, len) == 0)
            return true;
    }
    return false;
}

} // namespace

int motsl_init_stype_default(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                             MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    if (!use_args)
        return 0;
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    MOX_AUX_T *aux = stype->aux;
    int index_id = 0, list_id = 0, row_id = 0;
    int ret = take_id_arg(aux, arg_list_ptr, "index", &index_id);
    if (ret == 0)
        ret = take_id_arg(aux, arg_list_ptr, "list_id", &list_id);
    if (ret == 0)
        ret = take_id_arg(aux, arg_list_ptr, "row", &row_id);
    if (ret != 0)
        return ret;
    MOT_TOP_ARG_LIST_T *arg = *arg_list_ptr;
    if (arg == nullptr || arg->val == nullptr || arg->val[0] == '\0') {
        err(aux)->report(err(aux), "Can't find any stype argument\n");
        return 1;
    }
    const char *name = arg->val;
    ret = mot_advance_next_arg(aux, arg_list_ptr);
    if (ret != 0)
        return ret;
    if (strcmp(name, stype->name) != 0) {
        const char *allowed = "";
        MOTSL_ITEM_HOOKS_T *item = item_hooks(aux);
        if (list_id != 0 && item != nullptr && item->get_allowed_stypes != nullptr) {
            ret = item->get_allowed_stypes(item, index_id, list_id, &allowed);
            if (ret != 0)
                return ret;
            if (allowed == nullptr)
                allowed = "";
        }
        if (!in_allowed_list(allowed, name)) {
            err(aux)->report(err(aux), "Can't find stype %s in allowed stype list %s\n", name, allowed);
            return 1;
        }
        MOT_TOP_STYPE_T *other = nullptr;
        ret = mot_top_find_stype(*stype->stype_list_ptr, aux, name, &other);
        if (ret != 0)
            return ret;
        if (ts_of(other) == nullptr) {
            err(aux)->report(err(aux), "Stype %s is not a list\n", name);
            return 1;
        }
        stype = other;
        *stype_ptr = other;
    }
    return motsl_set_position(stype, index_id, list_id, row_id);
}

int motsl_set_data_filename(MOT_TOP_STYPE_T *stype, const char *fmt, ...) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    MOX_AUX_T *aux = stype->aux;
    if (ts == nullptr) {
        err(aux)->report(err(aux), "The type storage of stype %s is not set\n", stype->name);
        return 1;
    }
    char path[MO_FILENAME_LEN];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(path, sizeof(path), fmt, ap);
    va_end(ap);
    if (n < 0 || n >= static_cast<int>(sizeof(path))) {
        err(aux)->report(err(aux), "Path too long for the data file of stype %s\n", stype->name);
        return 1;
    }
    memcpy(ts->data_filename, path, static_cast<size_t>(n) + 1);
    stype->filename = ts->data_filename;
    stype->data_loaded = FALSE;
    return 0;
}

// ---------------------------------------------------------------- related lists

namespace {

int init_related(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, void *req_ref, MOT_TOP_STYPE_T *top,
                 mo_boolean_t from_web, const char *name, MOT_TOP_STYPE_T **slot, bool template_list,
                 const char *message) noexcept {
    if (name == nullptr)
        return 0;
    MOT_TOP_STYPE_T *related = nullptr;
    int ret = mot_top_find_stype(stype_list, aux, name, &related);
    MOTSL_TYPE_STORAGE_T *top_ts = ts_of(top);
    MOTSL_TYPE_STORAGE_T *rel_ts = related != nullptr ? ts_of(related) : nullptr;
    if (ret == 0 && rel_ts == nullptr) {
        err(aux)->report(err(aux), "The type storage of stype %s is not set\n", name);
        ret = 1;
    }
    if (ret == 0) {
        *slot = related;
        if (!template_list)
            memcpy(rel_ts->index, top_ts->index, sizeof(rel_ts->index));
        memcpy(rel_ts->list, top_ts->list, sizeof(rel_ts->list));
        memcpy(rel_ts->row, top_ts->row, sizeof(rel_ts->row));
        if (related->type == MOT_STYPE_USER_OPTIONS)
            related->applic_storage_ref = top; // the list whose options it holds this request
        if (related->init_struct != nullptr)
            ret = related->init_struct(related, req_ref, from_web);
    }
    if (ret != 0)
        err(aux)->report(err(aux), "%s", message);
    return ret;
}

} // namespace

int motsl_init_set_of_stype(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, void *req_ref,
                            MOT_TOP_STYPE_T *top_stype, mo_boolean_t from_web, const char *useropt_name,
                            const char *history_name, const char *template_name,
                            const char *deleted_name) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(top_stype);
    int ret = 0;
    if (ts == nullptr) {
        err(aux)->report(err(aux), "The type storage of stype %s is not set\n", top_stype->name);
        ret = 1;
    }
    if (ret == 0)
        ret = motsl_useropt_unbind(top_stype);
    if (ret == 0)
        ret = request_scope(top_stype);
    if (ret == 0 && top_stype->init_struct != nullptr)
        ret = top_stype->init_struct(top_stype, req_ref, from_web);
    if (ret != 0) {
        err(aux)->report(err(aux), "Problem in initialisation of top structure\n");
        return ret;
    }
    ts->useropt_stype = ts->history_stype = ts->template_stype = ts->deleted_stype = nullptr;
    ret = init_related(stype_list, aux, req_ref, top_stype, from_web, useropt_name, &ts->useropt_stype, false,
                       "Problem in initialisation of useropt structure\n");
    if (ret == 0)
        ret = init_related(stype_list, aux, req_ref, top_stype, from_web, history_name, &ts->history_stype,
                           false, "Problem in initialisation of history structure\n");
    if (ret == 0)
        ret = init_related(stype_list, aux, req_ref, top_stype, from_web, template_name, &ts->template_stype,
                           true, "Problem in initialisation of template structure\n");
    if (ret == 0)
        ret = init_related(stype_list, aux, req_ref, top_stype, from_web, deleted_name, &ts->deleted_stype,
                           false, "Problem in initialisation of deleted structure\n");
    return ret;
}

int motsl_init_set_of_stype_light(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, void *req_ref,
                                  MOT_TOP_STYPE_T *top_stype, const char *useropt_name) noexcept {
    return motsl_init_set_of_stype(stype_list, aux, req_ref, top_stype, FALSE, useropt_name, nullptr, nullptr,
                                   nullptr);
}

int motsl_delete_empty_check(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    ts->deleted_empty = TRUE;
    MOT_TOP_STYPE_T *deleted = ts->deleted_stype;
    if (deleted == nullptr)
        return 0;
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = deleted->read_data(deleted, &first);
    if (ret != 0)
        return ret;
    // The main and deleted lists share one chain: the deleted list's row filter is asked here
    // without writing its verdicts into the rows the main list has flagged.
    for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next) {
        mo_boolean_t ok = FALSE;
        ret = deleted->view_access_row_fn(deleted, r->container, &ok);
        if (ret != 0)
            return ret;
        if (ok) {
            ts->deleted_empty = FALSE;
            break;
        }
    }
    return 0;
}

int motsl_applic_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept {
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr) {
        err(stype->aux)->report(err(stype->aux), "The type storage of stype %s is not set\n", stype->name);
        return 1;
    }
    int ret =
        motsl_init_set_of_stype(*stype->stype_list_ptr, stype->aux, req, stype, TRUE, ts->useropt_stype_name,
                                ts->history_stype_name, ts->template_stype_name, ts->deleted_stype_name);
    if (ret == 0)
        ret = motsl_delete_empty_check(stype);
    if (ret == 0)
        ret = motsl_useropt_load_and_bind(stype);
    return ret;
}
