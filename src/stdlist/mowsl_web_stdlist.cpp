// The list page's row pipeline: view access, filters and match texts, sort.
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include <vector>

using namespace motsl_local;

namespace {

int copy_row(MOX_AUX_T *aux, MOK_DATA_RECORD_T *row, MOK_DATA_RECORD_T ***tail) noexcept {
    MOK_DATA_RECORD_T *cell = nullptr;
    int ret = mome_new(aux->mem, aux->mem->req_pool_ref, &cell);
    if (ret != 0)
        return ret;
    cell->container = row->container;
    cell->access_edit = row->access_edit;
    cell->access_view = row->access_view;
    cell->next = nullptr;
    **tail = cell;
    *tail = &cell->next;
    return 0;
}

// The options of the list must be bound before rows are filtered or sorted by them.
int require_bound(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order) noexcept {
    for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
        const MOTSL_USEROPT_REF_T *ref = o->stdlist->useropt_ref;
        if (ref->display == nullptr || ref->sort == nullptr || ref->filter == nullptr ||
            ref->match == nullptr) {
            err(stype->aux)
                ->report(err(stype->aux),
                         "data_storage not initialised in motsl_stdlist_useropt_init_data of stype %s\n",
                         stype->name);
            return 1;
        }
    }
    return 0;
}

bool viewable_shown(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->access_type->view_access_col && motsl_column_shown(stype, column);
}

} // namespace

int mowsl_list_filter_view_access(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows,
                                  MOK_DATA_RECORD_T **visible_result) noexcept {
    *visible_result = nullptr;
    MOK_DATA_RECORD_T **tail = visible_result;
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
        if (!r->access_view)
            continue;
        int ret = copy_row(stype->aux, r, &tail);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int mowsl_list_filter_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                           MOK_DATA_RECORD_T **filtered_result) noexcept {
    *filtered_result = nullptr;
    int ret = require_bound(stype, order);
    if (ret != 0)
        return ret;
    // The columns that take part, worked out once for all rows.
    struct Test {
        MOTSL_STDLIST_KEYWORD_T *column;
        motsl_filter_fn_t filter; // NULL: no filter selector
        const char *value;
        const char *match; // NULL: no match text
        motsl_view_text_fn_t view;
    };
    std::vector<Test> tests;
    for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        if (!viewable_shown(stype, c))
            continue;
        Test t = {c, nullptr, *c->useropt_ref->filter, nullptr,
                  c->view_text_fn != nullptr ? c->view_text_fn : motsl_default_view_text};
        if ((c->type_vector & MOTSL_TV_FILTER) != 0)
            t.filter = c->current_filter_fn != nullptr ? c->current_filter_fn : motsl_filter_all;
        const char *match = *c->useropt_ref->match;
        if ((c->type_vector & MOTSL_TV_MATCH) != 0 && match != nullptr && match[0] != '\0')
            t.match = match;
        if ((t.filter != nullptr && t.filter != motsl_filter_all) || t.match != nullptr)
            tests.push_back(t);
    }
    MOK_DATA_RECORD_T **tail = filtered_result;
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
        bool pass = true;
        for (const Test &t : tests) {
            if (t.filter != nullptr) {
                mo_boolean_t ok = FALSE;
                ret = t.filter(stype, t.column, r->container, t.value != nullptr ? t.value : "", &ok);
                if (ret != 0)
                    return ret;
                if (!ok) {
                    pass = false;
                    break;
                }
            }
            if (t.match != nullptr) {
                const char *text = "";
                ret = t.view(stype, t.column, r->container, &text);
                if (ret != 0)
                    return ret;
                if (!motsl_match_nocase(text, t.match)) {
                    pass = false;
                    break;
                }
            }
        }
        if (pass) {
            ret = copy_row(stype->aux, r, &tail);
            if (ret != 0)
                return ret;
        }
    }
    return 0;
}

int mowsl_list_sort_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                         MOK_DATA_RECORD_T **sorted_result) noexcept {
    *sorted_result = rows;
    int ret = require_bound(stype, order);
    if (ret != 0)
        return ret;
    MOTSL_STDLIST_KEYWORD_T *sort_column = nullptr;
    int direction = 0;
    for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        if (!viewable_shown(stype, c) || (c->type_vector & MOTSL_TV_SORTABLE) == 0)
            continue;
        switch (*c->useropt_ref->sort) {
            case 0:
                break;
            case 1:
                sort_column = c;
                direction = -1;
                break;
            case 2:
                sort_column = c;
                direction = 1;
                break;
            default:
                err(stype->aux)->report(err(stype->aux), "Sort type not recognised\n");
                return 1;
        }
    }
    if (sort_column != nullptr)
        *sorted_result = motsl_record_sort(stype, rows, direction, sort_column);
    return 0;
}
