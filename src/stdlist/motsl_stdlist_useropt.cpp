// The per-user option list of a family: its columns generated from the served list's (five per
// column, then the list-wide fields), its request-scoped data, and the binding of the loaded
// option record to the served list's columns and type storage.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include <climits>
#include <cstring>
#include <string>

using namespace motsl_local;

namespace {

MOTSL_USEROPT_KEYWORDSTRUCT_T *useropt_struct(MOT_TOP_STYPE_T *stype) noexcept {
    if (stype->type != MOT_STYPE_USER_OPTIONS || stype->keyword_storage == nullptr ||
        stype->keyword_storage->struct_ref == nullptr) {
        err(stype->aux)
            ->report(err(stype->aux), "The option fields of stype %s have not been registered\n",
                     stype->name);
        return nullptr;
    }
    return static_cast<MOTSL_USEROPT_KEYWORDSTRUCT_T *>(stype->keyword_storage->struct_ref);
}

size_t column_block(int index) noexcept {
    return sizeof(MOTSL_USEROPT_LIST_T) + static_cast<size_t>(index) * sizeof(MOTSL_USEROPT_COL_T);
}

} // namespace

int motsl_stdlist_useropt_keyword_register(MOT_TOP_STYPE_T *stype, const char *keyword,
                                           MOTSL_USEROPT_KEYWORDSTRUCT_T *key_struct, size_t struct_offset,
                                           const void *init_ref,
                                           motsl_common_alloc_fn_t common_alloc_fn) noexcept {
    MOX_AUX_T *aux = stype->aux;
    void *pool = stype->keyword_storage->sub_pool_ref;
    char *name = nullptr;
    MOTSL_USEROPT_KEYWORD_T *node = nullptr;
    MOTC_COMMON_KEYWORD_T *common = nullptr;
    int ret = aux->mem->store_string(aux->mem, pool, &name, keyword);
    if (ret == 0)
        ret = mome_new(aux->mem, pool, &node);
    if (ret == 0)
        ret = common_alloc_fn(aux, pool, &common, name, struct_offset, init_ref);
    if (ret != 0)
        return ret;
    common->aux = aux;
    node->common = common;
    node->next = nullptr;
    MOTSL_USEROPT_KEYWORD_T **link = &key_struct->keyword_list;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = node;
    key_struct->number_of_keywords++;
    return 0;
}

int motsl_stdlist_useropt_register_columns(MOT_TOP_STYPE_T *useropt_stype, MOT_TOP_STYPE_T *served_stype,
                                           MOTSL_USEROPT_KEYWORDSTRUCT_T *ks) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *served = nullptr;
    int ret = motsl_get_key_struct(served_stype, &served);
    if (ret != 0)
        return ret;
    int i = 0;
    for (MOTSL_APPLIC_KEYWORD_T *node = served->keyword_list; ret == 0 && node != nullptr;
         node = node->next, i++) {
        MOTSL_STDLIST_KEYWORD_T *c = node->stdlist;
        const std::string kw = c->common->gen_keyword.keyword;
        size_t base = column_block(i);
        long sort = (c->type_vector & MOTSL_TV_SORT_ASC) != 0    ? 1
                    : (c->type_vector & MOTSL_TV_SORT_DESC) != 0 ? 2
                                                                 : 0;
        ret = motsl_stdlist_useropt_keyword_register(useropt_stype, ("DIS" + kw).c_str(), ks,
                                                     base + offsetof(MOTSL_USEROPT_COL_T, display),
                                                     mok_int_ref(1), motc_common_alloc_boolean);
        if (ret == 0)
            ret = motsl_stdlist_useropt_keyword_register(useropt_stype, ("SORT" + kw).c_str(), ks,
                                                         base + offsetof(MOTSL_USEROPT_COL_T, sort),
                                                         mok_int_ref(sort), motc_common_alloc_integer);
        if (ret == 0)
            ret = motsl_stdlist_useropt_keyword_register(useropt_stype, ("ORDER" + kw).c_str(), ks,
                                                         base + offsetof(MOTSL_USEROPT_COL_T, order),
                                                         mok_int_ref(-1), motc_common_alloc_integer);
        if (ret == 0)
            ret = motsl_stdlist_useropt_keyword_register(useropt_stype, ("FIL" + kw).c_str(), ks,
                                                         base + offsetof(MOTSL_USEROPT_COL_T, filter),
                                                         MOTSL_FILTER_ALL, motc_common_alloc_string);
        if (ret == 0)
            ret = motsl_stdlist_useropt_keyword_register(useropt_stype, ("MATCH" + kw).c_str(), ks,
                                                         base + offsetof(MOTSL_USEROPT_COL_T, match), "",
                                                         motc_common_alloc_string);
    }
    if (ret == 0)
        ret = motsl_stdlist_useropt_keyword_register(useropt_stype, "PAGE_NO", ks,
                                                     offsetof(MOTSL_USEROPT_LIST_T, page_no), mok_int_ref(1),
                                                     motc_common_alloc_integer);
    if (ret == 0)
        ret = motsl_stdlist_useropt_keyword_register(
            useropt_stype, "PAGE_LINES", ks, offsetof(MOTSL_USEROPT_LIST_T, page_lines),
            mok_int_ref(MOTSL_DEFAULT_PAGE_LINES), motc_common_alloc_integer);
    if (ret == 0)
        ret = motsl_stdlist_useropt_keyword_register(useropt_stype, "ADV_COL_EN", ks,
                                                     offsetof(MOTSL_USEROPT_LIST_T, adv_col_en),
                                                     mok_int_ref(0), motc_common_alloc_boolean);
    if (ret == 0)
        ret = motsl_stdlist_useropt_keyword_register(
            useropt_stype, "DLIST", ks, offsetof(MOTSL_USEROPT_LIST_T, dlist),
            mok_fn_ref(motsl_idlist_init_empty), motsl_common_alloc_idlist_direct);
    ks->size_of_element = column_block(i);
    return ret;
}

int motsl_useropt_register_stype(MOT_TOP_STYPE_T *useropt_stype, MOT_TOP_STYPE_T *served_stype) noexcept {
    MOX_AUX_T *aux = useropt_stype->aux;
    MOT_TOP_STORAGE_T *cell = useropt_stype->keyword_storage;
    if (cell == nullptr) {
        err(aux)->report(err(aux), "The keyword storage of stype %s is not set\n", useropt_stype->name);
        return 1;
    }
    int ret = 0;
    if (cell->struct_ref == nullptr) {
        MOTSL_USEROPT_KEYWORDSTRUCT_T *ks = nullptr;
        ret = mome_new(aux->mem, cell->sub_pool_ref, &ks);
        if (ret == 0)
            ret = motsl_stdlist_useropt_register_columns(useropt_stype, served_stype, ks);
        if (ret != 0)
            return ret;
        cell->struct_ref = ks;
    }
    auto *ks = static_cast<MOTSL_USEROPT_KEYWORDSTRUCT_T *>(cell->struct_ref);
    useropt_stype->number_of_keywords = ks->number_of_keywords;
    useropt_stype->size_of_element = static_cast<int>(ks->size_of_element);
    useropt_stype->applic_storage_ref = served_stype;
    return motsl_type_storage_register(useropt_stype, aux->mem->session_pool_ref, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
}

int motsl_useropt_get_keyword_array(MOT_TOP_STYPE_T *stype, MOK_GEN_KEYWORD_T **keyword_array) noexcept {
    *keyword_array = nullptr;
    MOTSL_USEROPT_KEYWORDSTRUCT_T *ks = useropt_struct(stype);
    if (ks == nullptr)
        return 1;
    if (ks->file_keyword_array == nullptr) {
        MOK_GEN_KEYWORD_T *array = nullptr;
        int ret = mome_new_array(stype->aux->mem, stype->keyword_storage->sub_pool_ref, &array,
                                 static_cast<size_t>(ks->number_of_keywords));
        if (ret != 0)
            return ret;
        int i = 0;
        for (MOTSL_USEROPT_KEYWORD_T *n = ks->keyword_list; n != nullptr; n = n->next, i++) {
            const MOK_GEN_KEYWORD_T &g = n->common->gen_keyword;
            mok_load_keyword(&array[i], g.keyword, g.struct_offset, g.init_fn, g.init_ref, g.read_fn,
                             g.write_fn, g.free_fn);
        }
        ks->file_keyword_array = array;
    }
    *keyword_array = ks->file_keyword_array;
    return 0;
}

int motsl_useropt_get_keylist(MOT_TOP_STYPE_T *stype, MOTC_KEYLIST_T **keylist) noexcept {
    *keylist = nullptr;
    MOTSL_USEROPT_KEYWORDSTRUCT_T *ks = useropt_struct(stype);
    if (ks == nullptr)
        return 1;
    if (ks->keylist_storage == nullptr) {
        MOTC_KEYLIST_T *head = nullptr;
        MOTC_KEYLIST_T **link = &head;
        for (MOTSL_USEROPT_KEYWORD_T *n = ks->keyword_list; n != nullptr; n = n->next) {
            int ret = motc_get_new_keylist_element(n->common, stype->keyword_storage->sub_pool_ref, link);
            if (ret != 0)
                return ret;
            link = &(*link)->next;
        }
        ks->keylist_storage = head;
    }
    *keylist = ks->keylist_storage;
    return 0;
}

// Option lists are read afresh by every request, from the request's memory.
int motsl_useropt_init_struct(MOT_TOP_STYPE_T *stype, void *, mo_boolean_t) noexcept {
    int ret = point_at_request_storage(stype);
    if (ret == 0 && stype->init_filename != nullptr)
        ret = stype->init_filename(stype);
    return ret;
}

int motsl_useropt_unbind(MOT_TOP_STYPE_T *list_stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(list_stype);
    if (ts != nullptr) {
        ts->page_no = nullptr;
        ts->lines_per_page = nullptr;
        ts->adv_columns_en = nullptr;
        ts->dir_expand_list = nullptr;
    }
    if (list_stype->type == MOT_STYPE_USER_OPTIONS || list_stype->keyword_storage == nullptr ||
        list_stype->keyword_storage->struct_ref == nullptr)
        return 0;
    auto *ks = static_cast<MOTSL_APPLIC_KEYWORDSTRUCT_T *>(list_stype->keyword_storage->struct_ref);
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next)
        *node->stdlist->useropt_ref = MOTSL_USEROPT_REF_T{};
    return 0;
}

int motsl_load_keyword_with_useropt_data(MOT_TOP_STYPE_T *useropt_stype, MOT_TOP_STYPE_T *list_stype,
                                         MOK_DATA_RECORD_T *record) noexcept {
    MOX_AUX_T *aux = useropt_stype->aux;
    if (record == nullptr || record->container == nullptr || !useropt_stype->data_loaded) {
        err(aux)->report(err(aux),
                         "data_storage not initialised in motsl_stdlist_useropt_init_data of stype %s\n",
                         useropt_stype->name);
        return 1;
    }
    MOTSL_TYPE_STORAGE_T *ts = ts_of(list_stype);
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(list_stype, &ks);
    if (ret == 0 && ts == nullptr) {
        err(aux)->report(err(aux), "The type storage of stype %s is not set\n", list_stype->name);
        ret = 1;
    }
    if (ret != 0)
        return ret;
    auto *opts = static_cast<MOTSL_USEROPT_LIST_T *>(record->container);
    // Page options arrive from links: nothing below page 1 or below 0 lines reaches the pager.
    if (opts->page_no < 1)
        opts->page_no = 1;
    if (opts->page_lines < 0)
        opts->page_lines = 0;
    ts->page_no = &opts->page_no;
    ts->lines_per_page = &opts->page_lines;
    ts->adv_columns_en = &opts->adv_col_en;
    ts->dir_expand_list = &opts->dlist;
    int i = 0;
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next, i++) {
        auto *col =
            reinterpret_cast<MOTSL_USEROPT_COL_T *>(static_cast<char *>(record->container) + column_block(i));
        MOTSL_USEROPT_REF_T *ref = node->stdlist->useropt_ref;
        ref->display = &col->display;
        ref->sort = &col->sort;
        ref->order = &col->order;
        ref->filter = &col->filter;
        ref->match = &col->match;
    }
    return request_scope(list_stype);
}

int motsl_stdlist_useropt_init_data(MOT_TOP_STYPE_T *stype, void *data_record) noexcept {
    auto *served = static_cast<MOT_TOP_STYPE_T *>(stype->applic_storage_ref);
    if (served == nullptr) {
        err(stype->aux)->report(err(stype->aux), "Stype %s serves no list\n", stype->name);
        return 1;
    }
    return motsl_load_keyword_with_useropt_data(stype, served, static_cast<MOK_DATA_RECORD_T *>(data_record));
}

int motsl_useropt_load_and_bind(MOT_TOP_STYPE_T *list_stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(list_stype);
    if (ts == nullptr || ts->useropt_stype == nullptr)
        return 0; // a list without options keeps the defaults of its columns
    MOT_TOP_STYPE_T *useropt = ts->useropt_stype;
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = useropt->read_data(useropt, &first);
    if (ret != 0)
        return ret;
    return motsl_load_keyword_with_useropt_data(useropt, list_stype, first);
}
