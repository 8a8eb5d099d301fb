// Display order of the columns, the merge sort of rows by one column, the filters and the filter
// choices of a column, and the free-text match.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace motsl_local;

// ---------------------------------------------------------------- display order

int motsl_stdlist_get_order(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T **order_result) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *order_result = nullptr;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    if (!stype->data_loaded) {
        err(aux)->report(err(aux), "data_storage not initialised in motsl_stdlist_get_order of stype %s\n",
                         stype->name);
        return 1;
    }
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    std::vector<MOTSL_STDLIST_SORT_T> entries;
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next)
        entries.push_back({.display_order = node->stdlist->index, .stdlist = node->stdlist});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const MOTSL_STDLIST_SORT_T &a, const MOTSL_STDLIST_SORT_T &b) {
                         return a.display_order < b.display_order;
                     });
    MOTSL_STDLIST_ORDER_T **link = order_result;
    int position = 0;
    for (const MOTSL_STDLIST_SORT_T &e : entries) {
        MOTSL_STDLIST_ORDER_T *node = nullptr;
        ret = mome_new(aux->mem, aux->mem->req_pool_ref, &node);
        if (ret != 0)
            return ret;
        node->stdlist = e.stdlist;
        *link = node;
        link = &node->next;
        // Only a bound option record takes the position; an unbound column has nowhere to keep it.
        if (e.stdlist->useropt_ref->order != nullptr)
            *e.stdlist->useropt_ref->order = position;
        position++;
    }
    return 0;
}

// ---------------------------------------------------------------- sort

int motsl_default_cell_sort(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *column, const void *container1,
                            const void *container2) noexcept {
    MOTC_COMMON_KEYWORD_T *common = column->common;
    return common->compare_fn(common, container1, container2, FALSE);
}

namespace {

struct Sorter {
    MOT_TOP_STYPE_T *stype;
    MOTSL_STDLIST_KEYWORD_T *column;
    motsl_cell_sort_fn_t fn;
    int direction;

    MOK_DATA_RECORD_T *sort(MOK_DATA_RECORD_T *chain) noexcept {
        if (chain == nullptr || chain->next == nullptr)
            return chain;
        // Split into the first half and the rest. (Dealing the cells alternately, as the old design
        // did, lets equal values jump over each other; halves keep them in their order.)
        size_t count = 0;
        for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next)
            count++;
        MOK_DATA_RECORD_T *first = chain;
        MOK_DATA_RECORD_T *last_of_first = chain;
        for (size_t i = 1; i < count / 2; i++)
            last_of_first = last_of_first->next;
        MOK_DATA_RECORD_T *second = last_of_first->next;
        last_of_first->next = nullptr;
        first = sort(first);
        second = sort(second);
        // The second chain's head is taken only when it is strictly ahead: equal values keep the
        // first chain's cell first.
        MOK_DATA_RECORD_T *head = nullptr;
        MOK_DATA_RECORD_T **tail = &head;
        while (first != nullptr && second != nullptr) {
            if (fn(stype, column, second->container, first->container) == direction) {
                *tail = second;
                second = second->next;
            } else {
                *tail = first;
                first = first->next;
            }
            tail = &(*tail)->next;
        }
        *tail = first != nullptr ? first : second;
        return head;
    }
};

} // namespace

MOK_DATA_RECORD_T *motsl_record_sort(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain, int direction,
                                     MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    Sorter sorter = {.stype = stype,
                     .column = column,
                     .fn = column->cell_sort_fn != nullptr ? column->cell_sort_fn : motsl_default_cell_sort,
                     .direction = direction};
    return sorter.sort(chain);
}

// ---------------------------------------------------------------- view text and match

int motsl_default_view_text(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                            const char **text) noexcept {
    MOTC_COMMON_KEYWORD_T *common = column->common;
    *text = "";
    int ret = common->get_string_fn(common, container, text);
    if (*text == nullptr)
        *text = "";
    return ret;
}

mo_boolean_t motsl_match_nocase(const char *text, const char *pattern) noexcept {
    if (text == nullptr || pattern == nullptr)
        return FALSE;
    auto fold = [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    size_t plen = strlen(pattern);
    if (plen == 0)
        return TRUE;
    for (const char *start = text; *start != '\0'; start++) {
        size_t i = 0;
        while (i < plen && start[i] != '\0' &&
               fold(static_cast<unsigned char>(start[i])) == fold(static_cast<unsigned char>(pattern[i])))
            i++;
        if (i == plen)
            return TRUE;
        if (start[i] == '\0')
            return FALSE; // the rest of the text is shorter than the pattern
    }
    return FALSE;
}

mo_boolean_t motsl_column_shown(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    if ((column->type_vector & MOTSL_TV_NEVER_LISTED) != 0)
        return FALSE;
    const MOTSL_USEROPT_REF_T *ref = column->useropt_ref;
    if (ref->display == nullptr || *ref->display == 0)
        return FALSE;
    if ((column->type_vector & MOTSL_TV_ADVANCED_COL) != 0) {
        MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
        if (ts == nullptr || ts->adv_columns_en == nullptr || *ts->adv_columns_en == 0)
            return FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------- filters

int motsl_filter_all(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *, void *, const char *,
                     mo_boolean_t *pass) noexcept {
    *pass = TRUE;
    return 0;
}

int motsl_filter_empty(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container, const char *,
                       mo_boolean_t *pass) noexcept {
    motsl_filter_fn_t own =
        column->default_filter_fn != nullptr ? column->default_filter_fn : motsl_filter_general;
    return own(stype, column, container, "", pass);
}

int motsl_filter_string(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                        const char *value, mo_boolean_t *pass) noexcept {
    MOTC_COMMON_KEYWORD_T *common = column->common;
    const char *text = "";
    int ret = common->get_string_fn(common, container, &text);
    *pass = ret == 0 && motc_compare_string_nocase(text != nullptr ? text : "",
                                                   value != nullptr ? value : "") == 0
                ? TRUE
                : FALSE;
    return ret;
}

int motsl_filter_general(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                         const char *value, mo_boolean_t *pass) noexcept {
    motsl_view_text_fn_t view =
        column->view_text_fn != nullptr ? column->view_text_fn : motsl_default_view_text;
    const char *text = "";
    int ret = view(stype, column, container, &text);
    *pass =
        ret == 0 && strcmp(text != nullptr ? text : "", value != nullptr ? value : "") == 0 ? TRUE : FALSE;
    return ret;
}

int motsl_filter_integer(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                         const char *value, mo_boolean_t *pass) noexcept {
    return motsl_filter_general(stype, column, container, value, pass);
}

int motsl_filter_option(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                        const char *value, mo_boolean_t *pass) noexcept {
    return motsl_filter_general(stype, column, container, value, pass);
}

int motsl_filter_datetime(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                          const char *value, mo_boolean_t *pass) noexcept {
    return motsl_filter_general(stype, column, container, value, pass);
}

int motsl_get_filter_fn(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *column, const char *value,
                        motsl_filter_fn_t *fn_result) noexcept {
    if (value == nullptr || strcmp(value, MOTSL_FILTER_ALL) == 0)
        *fn_result = motsl_filter_all;
    else if (strcmp(value, MOTSL_FILTER_EMPTY) == 0)
        *fn_result = motsl_filter_empty;
    else
        *fn_result = column->default_filter_fn != nullptr ? column->default_filter_fn : motsl_filter_general;
    return 0;
}

int motsl_set_filter_to_useropt(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order) noexcept {
    for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        if (!motsl_column_shown(stype, c))
            continue;
        motsl_get_real_filter_fn_t choose =
            c->get_real_filter_fn != nullptr ? c->get_real_filter_fn : motsl_get_filter_fn;
        int ret = choose(stype, c, *c->useropt_ref->filter, &c->current_filter_fn);
        if (ret != 0)
            return ret;
    }
    return 0;
}

// ---------------------------------------------------------------- filter choices

int motsl_get_new_filter_element(MOX_AUX_T *aux, const char *string, MOTSL_FILTER_LIST_T **element) noexcept {
    *element = nullptr;
    MOTSL_FILTER_LIST_T *e = nullptr;
    int ret = mome_new(aux->mem, aux->mem->req_pool_ref, &e);
    if (ret == 0)
        ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, &e->string,
                                     string != nullptr ? string : "");
    if (ret == 0)
        *element = e;
    return ret;
}

int motsl_filter_add_to_list(MOX_AUX_T *aux, const char *string, MOTSL_FILTER_LIST_T **list) noexcept {
    MOTSL_FILTER_LIST_T *e = nullptr;
    int ret = motsl_get_new_filter_element(aux, string, &e);
    if (ret != 0)
        return ret;
    MOTSL_FILTER_LIST_T **link = list;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = e;
    return 0;
}

mo_boolean_t motsl_filter_is_element_in_list(const MOTSL_FILTER_LIST_T *list, const char *string) noexcept {
    for (const MOTSL_FILTER_LIST_T *e = list; e != nullptr; e = e->next)
        if (strcmp(e->string, string) == 0)
            return TRUE;
    return FALSE;
}

int motsl_free_filter_list(MOX_AUX_T *aux, MOTSL_FILTER_LIST_T *list) noexcept {
    while (list != nullptr) {
        MOTSL_FILTER_LIST_T *next = list->next;
        aux->mem->free(aux->mem, aux->mem->req_pool_ref, list->string);
        aux->mem->free(aux->mem, aux->mem->req_pool_ref, list);
        list = next;
    }
    return 0;
}

int motsl_get_basic_filter_list(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                MOK_DATA_RECORD_T *rows, MOTSL_FILTER_LIST_T **result) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *result = nullptr;
    MOTC_COMMON_KEYWORD_T *common = column->common;
    // One row per distinct value (case ignored), the first met kept, then sorted by the column.
    // A stable sort ignoring case puts each value's rows together, first met first.
    std::vector<MOK_DATA_RECORD_T *> all;
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next)
        all.push_back(r);
    std::stable_sort(all.begin(), all.end(), [common](MOK_DATA_RECORD_T *a, MOK_DATA_RECORD_T *b) {
        return common->compare_fn(common, a->container, b->container, TRUE) < 0;
    });
    std::vector<MOK_DATA_RECORD_T *> kept;
    for (size_t i = 0; i < all.size(); i++)
        if (i == 0 || common->compare_fn(common, all[i - 1]->container, all[i]->container, TRUE) != 0)
            kept.push_back(all[i]);
    MOK_DATA_RECORD_T *chain = nullptr;
    MOK_DATA_RECORD_T **link = &chain;
    for (MOK_DATA_RECORD_T *k : kept) {
        MOK_DATA_RECORD_T *cell = nullptr;
        int ret = mome_new(aux->mem, aux->mem->req_pool_ref, &cell);
        if (ret != 0)
            return ret;
        cell->container = k->container;
        *link = cell;
        link = &cell->next;
    }
    chain = motsl_record_sort(stype, chain, -1, column);
    motsl_view_text_fn_t view =
        column->view_text_fn != nullptr ? column->view_text_fn : motsl_default_view_text;
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next) {
        const char *text = "";
        int ret = view(stype, column, r->container, &text);
        if (ret == 0)
            ret = motsl_filter_add_to_list(aux, text[0] == '\0' ? MOTSL_FILTER_EMPTY : text, result);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int motsl_get_extra_filter_list(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                MOK_DATA_RECORD_T *rows, MOTSL_FILTER_LIST_T **result) noexcept {
    *result = nullptr;
    MOTSL_FILTER_LIST_T *basic = nullptr;
    int ret = motsl_get_new_filter_element(stype->aux, MOTSL_FILTER_ALL, result);
    if (ret == 0)
        ret = motsl_get_basic_filter_list(stype, column, rows, &basic);
    if (ret == 0)
        (*result)->next = basic;
    return ret;
}
