// The value types the engine adds to record storage: options (numbers shown by name), ids, id
// lists and access lists of other lists' elements (shown by name), direct id lists and revisions,
// and the per-request binding of such columns to the lists they name.
//
// Every text is built in the request pool, and an update changes the record only when the whole
// text was understood.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "storage/moil_idlist.h"

#include <cstring>
#include <string>
#include <vector>

using namespace motsl_local;

namespace {

size_t off(MOTC_COMMON_KEYWORD_T *common) noexcept {
    return common->gen_keyword.struct_offset;
}

const char *heading(MOTC_COMMON_KEYWORD_T *common) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = column_of(common);
    return column != nullptr && column->user_name != nullptr ? column->user_name
                                                             : common->gen_keyword.keyword;
}

int alloc(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr, const char *keyword,
          size_t struct_offset, const void *init_ref, mok_init_fn_t init_fn, mok_read_fn_t read_fn,
          mok_write_fn_t write_fn, mok_free_fn_t free_fn, motc_get_string_fn_t get_string_fn,
          motc_update_string_fn_t update_string_fn, motc_compare_fn_t compare_fn,
          motc_copy_fn_t copy_fn) noexcept {
    int ret = mome_new(aux->mem, pool_ref, new_common_ptr);
    if (ret != 0)
        return ret;
    MOTC_COMMON_KEYWORD_T *c = *new_common_ptr;
    mok_load_keyword(&c->gen_keyword, keyword, struct_offset, init_fn, init_ref, read_fn, write_fn, free_fn);
    c->get_string_fn = get_string_fn;
    c->update_string_fn = update_string_fn;
    c->compare_fn = compare_fn;
    c->copy_fn = copy_fn;
    c->type_keyword_ref = nullptr;
    c->applic_keyword_ref = nullptr;
    c->aux = aux;
    return 0;
}

// Splits a text on blanks, commas and tabs.
std::vector<std::string> split_tokens(const char *text, const char *separators) {
    std::vector<std::string> tokens;
    std::string current;
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
        if (strchr(separators, *p) != nullptr) {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty())
        tokens.push_back(current);
    return tokens;
}

const char *const list_separators = " ,\t";

int give_text(MOX_AUX_T *aux, const std::string &text, const char **result) noexcept {
    return store_req_string(aux, text, result);
}

// ---------------------------------------------------------------- options

int get_string_option(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result) noexcept {
    MOX_AUX_T *aux = common->aux;
    MOTSL_STDLIST_KEYWORD_T *column = column_of(common);
    auto *table =
        column != nullptr ? static_cast<const MOTSL_DISPLAY_OPTIONS_T *>(column->display_ref) : nullptr;
    *result = "";
    if (table == nullptr) {
        err(aux)->report(err(aux), "The option column %s has no option table\n", common->gen_keyword.keyword);
        return 1;
    }
    int number = mok_field<int>(container, off(common));
    const MOTSL_DISPLAY_OPTIONS_T *entry = motsl_find_option(table, number);
    if (entry == nullptr) {
        err(aux)->report_note(err(aux), "Option number %d not recognised for keyword %s\n", number,
                              common->gen_keyword.keyword);
        entry = motsl_find_option(table, static_cast<int>(mok_ref_int(common->gen_keyword.init_ref)));
        if (entry == nullptr && table[0].number != -1)
            entry = &table[0];
    }
    *result = entry != nullptr && entry->string != nullptr ? entry->string : "";
    return 0;
}

int update_string_option(MOTC_COMMON_KEYWORD_T *common, void *, void *container,
                         const char *new_text) noexcept {
    MOX_AUX_T *aux = common->aux;
    MOTSL_STDLIST_KEYWORD_T *column = column_of(common);
    auto *table =
        column != nullptr ? static_cast<const MOTSL_DISPLAY_OPTIONS_T *>(column->display_ref) : nullptr;
    if (table == nullptr) {
        err(aux)->report(err(aux), "The option column %s has no option table\n", common->gen_keyword.keyword);
        return 1;
    }
    const MOTSL_DISPLAY_OPTIONS_T *entry = nullptr;
    for (const MOTSL_DISPLAY_OPTIONS_T *o = table; o->number != -1; o++)
        if (o->string != nullptr && new_text != nullptr && strcmp(o->string, new_text) == 0) {
            entry = o;
            break;
        }
    // An unknown text keeps the value the record had: storing the default would change data quietly.
    if (entry == nullptr) {
        err(aux)->report_note(err(aux), "Option string %s not recognised for keyword %s\n",
                              new_text != nullptr ? new_text : "", common->gen_keyword.keyword);
        return 0;
    }
    if (entry->choose_access_fn != nullptr && entry->number != mok_field<int>(container, off(common))) {
        mo_boolean_t allowed = FALSE;
        int ret = entry->choose_access_fn(aux, column, &allowed);
        if (ret != 0)
            return ret;
        if (!allowed) {
            err(aux)->report(err(aux), "You may not choose %s for %s\n", entry->string, heading(common));
            return 1;
        }
    }
    mok_field<int>(container, off(common)) = entry->number;
    return 0;
}

// ---------------------------------------------------------------- ids of another list

const MOTSL_ARRAY_INFO_T *array_info(MOTC_COMMON_KEYWORD_T *common, const char *binder) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = column_of(common);
    auto *info = column != nullptr ? static_cast<const MOTSL_ARRAY_INFO_T *>(column->display_ref) : nullptr;
    if (info == nullptr || info->stype == nullptr)
        err(common->aux)
            ->report(err(common->aux),
                     "The stdlist->display_ref is NULL, maybe %s was not called for the %s column", binder,
                     heading(common));
    return info != nullptr && info->stype != nullptr ? info : nullptr;
}

int id_array_of(const MOTSL_ARRAY_INFO_T *info, const MO_ID_ARRAY_T **id_array) noexcept {
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(info->stype, "the id lookup", &data);
    if (ret != 0)
        return ret;
    if (data->id_array == nullptr) {
        err(info->stype->aux)
            ->report(err(info->stype->aux), "The list %s has no id index\n", info->stype->name);
        return 1;
    }
    *id_array = data->id_array;
    return 0;
}

// The name of an element, and whether it is deleted (or missing).
int name_of(const MOTSL_ARRAY_INFO_T *info, const MO_ID_ARRAY_T *id_array, int id, const char **name,
            mo_boolean_t *deleted) noexcept {
    return motc_get_string_from_id_array(id_array, id, info->offset, deleted, info->del_offset, name);
}

int id_of(MOTC_COMMON_KEYWORD_T *common, const MOTSL_ARRAY_INFO_T *info, const MO_ID_ARRAY_T *id_array,
          const char *name, int *id) noexcept {
    mo_boolean_t deleted = FALSE;
    if (motc_find_id_from_name(id_array, name, info->offset, &deleted, info->del_offset, info->new_offset,
                               id) == 0)
        return 0;
    MOTSL_STDLIST_KEYWORD_T *name_column = info->common != nullptr ? column_of(info->common) : nullptr;
    err(common->aux)
        ->report(err(common->aux), "Can't find %s in the %s column of %s entries\n", name,
                 name_column != nullptr ? name_column->user_name : "", info->stype->name);
    return 1;
}

int get_string_id(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result) noexcept {
    *result = MOTC_NOT_DEFINED;
    const MOTSL_ARRAY_INFO_T *info = array_info(common, "motsl_init_array_info");
    const MO_ID_ARRAY_T *id_array = nullptr;
    if (info == nullptr || id_array_of(info, &id_array) != 0)
        return 1;
    mo_boolean_t deleted = FALSE;
    return name_of(info, id_array, mok_field<int>(container, off(common)), result, &deleted);
}

int update_string_id(MOTC_COMMON_KEYWORD_T *common, void *, void *container, const char *new_text) noexcept {
    if (new_text != nullptr && strcmp(new_text, MOTC_NOT_DEFINED) == 0) {
        mok_field<int>(container, off(common)) = 0;
        return 0;
    }
    const MOTSL_ARRAY_INFO_T *info = array_info(common, "motsl_init_array_info");
    const MO_ID_ARRAY_T *id_array = nullptr;
    if (info == nullptr || id_array_of(info, &id_array) != 0)
        return 1;
    int id = 0;
    int ret = id_of(common, info, id_array, new_text != nullptr ? new_text : "", &id);
    if (ret == 0)
        mok_field<int>(container, off(common)) = id;
    return ret;
}

// ---------------------------------------------------------------- id lists

int get_string_idlist(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result) noexcept {
    *result = "";
    const MOTSL_ARRAY_INFO_T *info = array_info(common, "motsl_init_array_info");
    const MO_ID_ARRAY_T *id_array = nullptr;
    if (info == nullptr || id_array_of(info, &id_array) != 0)
        return 1;
    std::string text;
    for (const MOIL_IDLIST_T *n = mok_field<MOIL_IDLIST_T *>(container, off(common)); n != nullptr;
         n = n->next) {
        const char *name = nullptr;
        mo_boolean_t deleted = FALSE;
        name_of(info, id_array, n->id, &name, &deleted);
        if (deleted)
            continue;
        if (!text.empty())
            text += ", ";
        text += name;
    }
    return give_text(common->aux, text, result);
}

int update_string_idlist(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,
                         const char *new_text) noexcept {
    MOX_AUX_T *aux = common->aux;
    const MOTSL_ARRAY_INFO_T *info = array_info(common, "motsl_init_array_info");
    const MO_ID_ARRAY_T *id_array = nullptr;
    if (info == nullptr || id_array_of(info, &id_array) != 0)
        return 1;
    MOIL_IDLIST_T *list = nullptr;
    for (const std::string &token : split_tokens(new_text, list_separators)) {
        int id = 0;
        int ret = id_of(common, info, id_array, token.c_str(), &id);
        if (ret != 0)
            return ret;
        mo_boolean_t present = FALSE;
        moil_check_in_idlist(list, id, &present);
        if (!present) {
            ret = moil_add_to_idlist(aux->interm, pool_ref, id, &list);
            if (ret != 0)
                return ret;
        }
    }
    mok_field<MOIL_IDLIST_T *>(container, off(common)) = list;
    return 0;
}

int get_string_idlist_direct(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result) noexcept {
    std::string text;
    for (const MOIL_IDLIST_T *n = mok_field<MOIL_IDLIST_T *>(container, off(common)); n != nullptr;
         n = n->next) {
        if (!text.empty())
            text += ", ";
        text += std::to_string(n->id);
    }
    return give_text(common->aux, text, result);
}

// Numbers of a text, each a decimal with an optional sign; anything else is refused.
int parse_numbers(MOTC_COMMON_KEYWORD_T *common, const char *text, const char *separators,
                  MOIL_IDLIST_T **list, void *pool_ref) noexcept {
    *list = nullptr;
    for (const std::string &token : split_tokens(text, separators)) {
        size_t i = token[0] == '-' || token[0] == '+' ? 1 : 0;
        long long v = 0;
        bool ok = i < token.size() && token.size() - i <= 10;
        for (; ok && i < token.size(); i++) {
            ok = token[i] >= '0' && token[i] <= '9';
            v = v * 10 + (token[i] - '0');
        }
        if (ok && token[0] == '-')
            v = -v;
        if (!ok || v > INT32_MAX || v < INT32_MIN) {
            err(common->aux)
                ->report(err(common->aux), "%s is not a number for %s\n", token.c_str(), heading(common));
            return 1;
        }
        int ret = moil_add_to_idlist(common->aux->interm, pool_ref, static_cast<int>(v), list);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int update_string_idlist_direct(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,
                                const char *new_text) noexcept {
    MOIL_IDLIST_T *list = nullptr;
    int ret = parse_numbers(common, new_text, list_separators, &list, pool_ref);
    if (ret == 0)
        mok_field<MOIL_IDLIST_T *>(container, off(common)) = list;
    return ret;
}

int get_string_rev(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result) noexcept {
    const MOIL_IDLIST_T *n = mok_field<MOIL_IDLIST_T *>(container, off(common));
    if (n == nullptr || n->next == nullptr)
        return give_text(common->aux, "", result);
    return give_text(common->aux, std::to_string(n->id) + "." + std::to_string(n->next->id), result);
}

int update_string_rev(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,
                      const char *new_text) noexcept {
    MOIL_IDLIST_T *list = nullptr;
    int ret = parse_numbers(common, new_text, ".", &list, pool_ref);
    if (ret == 0)
        mok_field<MOIL_IDLIST_T *>(container, off(common)) = list;
    return ret;
}

// ---------------------------------------------------------------- access lists

const MOTSL_ACCESS_ARRAY_INFO_T *access_info(MOTC_COMMON_KEYWORD_T *common) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = column_of(common);
    auto *info =
        column != nullptr ? static_cast<const MOTSL_ACCESS_ARRAY_INFO_T *>(column->display_ref) : nullptr;
    if (info == nullptr || info->user == nullptr || info->group == nullptr || info->stype == nullptr) {
        err(common->aux)
            ->report(err(common->aux),
                     "The stdlist->display_ref is NULL, maybe motsl_init_access_array_info was not called "
                     "for the %s column",
                     heading(common));
        return nullptr;
    }
    return info;
}

// May this user be on the list: the access definition the column names decides.
int user_admitted(MOTC_COMMON_KEYWORD_T *common, const MOTSL_ACCESS_ARRAY_INFO_T *info, int user_id,
                  mo_boolean_t *ok) noexcept {
    *ok = TRUE;
    if (info->get_access_set == nullptr)
        return 0;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = info->get_access_set(info->stype, &def);
    if (ret != 0 || def == nullptr || def->check_id == nullptr)
        return ret;
    return def->check_id(common->aux, def, ts_of(info->stype), user_id, ok);
}

int get_string_accesslist(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result) noexcept {
    *result = "";
    const MOTSL_ACCESS_ARRAY_INFO_T *info = access_info(common);
    const MO_ID_ARRAY_T *users = nullptr, *groups = nullptr;
    if (info == nullptr || id_array_of(info->user, &users) != 0 || id_array_of(info->group, &groups) != 0)
        return 1;
    const MOIL_ACCESSLIST_T *list = mok_field<MOIL_ACCESSLIST_T *>(container, off(common));
    std::string text;
    for (const MOIL_IDLIST_T *n = list != nullptr ? list->user : nullptr; n != nullptr; n = n->next) {
        const char *name = nullptr;
        mo_boolean_t deleted = FALSE, ok = FALSE;
        name_of(info->user, users, n->id, &name, &deleted);
        int ret = user_admitted(common, info, n->id, &ok);
        if (ret != 0)
            return ret;
        if (deleted || !ok)
            continue;
        if (!text.empty())
            text += ", ";
        text += name;
    }
    for (const MOIL_IDLIST_T *n = list != nullptr ? list->group : nullptr; n != nullptr; n = n->next) {
        const char *name = nullptr;
        mo_boolean_t deleted = FALSE;
        name_of(info->group, groups, n->id, &name, &deleted);
        if (deleted)
            continue;
        if (!text.empty())
            text += ", ";
        if (name[0] != '^') // group names are stored with their mark; older data may lack it
            text += "^";
        text += name;
    }
    return give_text(common->aux, text, result);
}

int update_string_accesslist(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,
                             const char *new_text) noexcept {
    MOX_AUX_T *aux = common->aux;
    const MOTSL_ACCESS_ARRAY_INFO_T *info = access_info(common);
    const MO_ID_ARRAY_T *users = nullptr, *groups = nullptr;
    if (info == nullptr || id_array_of(info->user, &users) != 0 || id_array_of(info->group, &groups) != 0)
        return 1;
    MOIL_IDLIST_T *user_list = nullptr, *group_list = nullptr;
    for (const std::string &token : split_tokens(new_text, list_separators)) {
        bool is_group = token[0] == '^';
        int id = 0;
        int ret = 0;
        if (is_group) {
            // Stored group names carry the mark; try them as typed first.
            mo_boolean_t deleted = FALSE;
            if (motc_find_id_from_name(groups, token.c_str(), info->group->offset, &deleted,
                                       info->group->del_offset, info->group->new_offset, &id) != 0)
                ret = id_of(common, info->group, groups, token.c_str() + 1, &id);
        } else {
            ret = id_of(common, info->user, users, token.c_str(), &id);
            mo_boolean_t ok = FALSE;
            if (ret == 0)
                ret = user_admitted(common, info, id, &ok);
            if (ret == 0 && !ok) {
                err(aux)->report(
                    err(aux),
                    "Can't add the user %s to the access list unless they have view permission to the "
                    "folder above.\n",
                    token.c_str());
                ret = 1;
            }
        }
        if (ret != 0)
            return ret;
        MOIL_IDLIST_T **target = is_group ? &group_list : &user_list;
        mo_boolean_t present = FALSE;
        moil_check_in_idlist(*target, id, &present);
        if (!present) {
            ret = moil_add_to_idlist(aux->interm, pool_ref, id, target);
            if (ret != 0)
                return ret;
        }
    }
    MOIL_ACCESSLIST_T *&slot = mok_field<MOIL_ACCESSLIST_T *>(container, off(common));
    if (slot == nullptr) {
        int ret = moil_new_accesslist(aux->interm, pool_ref, &slot);
        if (ret != 0)
            return ret;
    }
    slot->user = user_list;
    slot->group = group_list;
    return 0;
}

} // namespace

// ---------------------------------------------------------------- constructors

const MOTSL_DISPLAY_OPTIONS_T *motsl_find_option(const MOTSL_DISPLAY_OPTIONS_T *table, int number) noexcept {
    for (const MOTSL_DISPLAY_OPTIONS_T *o = table; o != nullptr && o->number != -1; o++)
        if (o->number == number)
            return o;
    return nullptr;
}

int motsl_idlist_init_empty(MOIM_INTERM_T *, void *, MOIL_IDLIST_T **slot) noexcept {
    *slot = nullptr;
    return 0;
}

int motsl_stdlist_common_alloc_option(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                                      const char *keyword, size_t struct_offset,
                                      const void *init_ref) noexcept {
    return alloc(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, mok_init_integer,
                 mok_read_integer, mok_write_integer, mok_free_integer, get_string_option,
                 update_string_option, motc_compare_integer, motc_copy_integer);
}

int motsl_common_alloc_id(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                          const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, mok_init_integer,
                 mok_read_integer, mok_write_integer, mok_free_integer, get_string_id, update_string_id,
                 motc_compare_integer, motc_copy_integer);
}

int motsl_common_alloc_idlist(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                              const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, mok_init_idlist,
                 mok_read_idlist, mok_write_idlist, mok_free_idlist, get_string_idlist, update_string_idlist,
                 motc_compare_idlist, motc_copy_idlist);
}

int motsl_common_alloc_idlist_direct(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                                     const char *keyword, size_t struct_offset,
                                     const void *init_ref) noexcept {
    return alloc(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, mok_init_idlist,
                 mok_read_idlist, mok_write_idlist, mok_free_idlist, get_string_idlist_direct,
                 update_string_idlist_direct, motc_compare_idlist, motc_copy_idlist);
}

int motsl_common_alloc_rev(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                           const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, mok_init_idlist,
                 mok_read_idlist, mok_write_idlist, mok_free_idlist, get_string_rev, update_string_rev,
                 motc_compare_idlist, motc_copy_idlist);
}

int motsl_common_alloc_accesslist(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                                  const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, mok_init_accesslist,
                 mok_read_accesslist, mok_write_accesslist, mok_free_accesslist, get_string_accesslist,
                 update_string_accesslist, motc_compare_accesslist, motc_copy_accesslist);
}

// ---------------------------------------------------------------- binding

namespace {

// Reads the other list for this request and fills the array info (kept in the column's own pool,
// so that it never points at request memory).
int fill_array_info(void *req_ref, MOT_TOP_STYPE_T *array_stype, const char *name_keyword,
                    const char *del_keyword, MOTSL_ARRAY_INFO_T *info) noexcept {
    int ret = 0;
    if (!array_stype->data_loaded && array_stype->init_struct != nullptr)
        ret = array_stype->init_struct(array_stype, req_ref, FALSE);
    MOK_DATA_RECORD_T *first = nullptr;
    if (ret == 0)
        ret = array_stype->read_data(array_stype, &first);
    MOTSL_STDLIST_KEYWORD_T *name_column = nullptr, *new_column = nullptr, *del_column = nullptr;
    if (ret == 0)
        ret = motsl_find_column(array_stype, name_keyword, &name_column);
    if (ret == 0)
        ret = motsl_find_column(array_stype, "NEW", &new_column);
    if (ret == 0 && del_keyword != nullptr)
        ret = motsl_find_column(array_stype, del_keyword, &del_column);
    if (ret != 0)
        return ret;
    info->stype = array_stype;
    info->common = name_column->common;
    info->offset = name_column->common->gen_keyword.struct_offset;
    info->del_offset = del_column != nullptr
                           ? static_cast<long>(del_column->common->gen_keyword.struct_offset)
                           : MOTC_NO_OFFSET;
    info->new_offset = static_cast<long>(new_column->common->gen_keyword.struct_offset);
    return 0;
}

void *column_pool(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->keyword_storage != nullptr ? stype->keyword_storage->sub_pool_ref : stype->keyword_pool_ref;
}

} // namespace

int motsl_init_array_info_and_store(MOT_TOP_STYPE_T *stype, void *req_ref, const char *keyword,
                                    MOT_TOP_STYPE_T *array_stype, const char *name_keyword,
                                    const char *del_keyword) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = motsl_find_column(stype, keyword, &column);
    if (ret != 0)
        return ret;
    auto *info =
        const_cast<MOTSL_ARRAY_INFO_T *>(static_cast<const MOTSL_ARRAY_INFO_T *>(column->display_ref));
    if (info == nullptr) {
        ret = mome_new(stype->aux->mem, column_pool(stype), &info);
        if (ret != 0)
            return ret;
    }
    ret = fill_array_info(req_ref, array_stype, name_keyword, del_keyword, info);
    if (ret == 0)
        column->display_ref = info;
    return ret;
}

int motsl_init_access_array_info_and_store(MOT_TOP_STYPE_T *stype, void *req_ref, const char *keyword,
                                           motsl_get_access_set_fn_t get_access_set,
                                           motsl_get_parent_string_fn_t get_parent_string,
                                           MOT_TOP_STYPE_T *user_stype, const char *user_keyword,
                                           const char *user_del_keyword, MOT_TOP_STYPE_T *group_stype,
                                           const char *group_keyword,
                                           const char *group_del_keyword) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = motsl_find_column(stype, keyword, &column);
    if (ret != 0)
        return ret;
    auto *info = const_cast<MOTSL_ACCESS_ARRAY_INFO_T *>(
        static_cast<const MOTSL_ACCESS_ARRAY_INFO_T *>(column->display_ref));
    if (info == nullptr) {
        ret = mome_new(aux->mem, column_pool(stype), &info);
        if (ret == 0)
            ret = mome_new(aux->mem, column_pool(stype), &info->user);
        if (ret == 0)
            ret = mome_new(aux->mem, column_pool(stype), &info->group);
        if (ret != 0)
            return ret;
    }
    ret = fill_array_info(req_ref, user_stype, user_keyword, user_del_keyword, info->user);
    if (ret == 0)
        ret = fill_array_info(req_ref, group_stype, group_keyword, group_del_keyword, info->group);
    if (ret != 0)
        return ret;
    info->get_access_set = get_access_set;
    info->get_parent_string = get_parent_string;
    info->stype = stype;
    column->display_ref = info;
    return 0;
}
