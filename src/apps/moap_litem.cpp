// The folder tree and the bookmark tree: the item record and its columns, the eighteen item storage
// types, the built-in items put back at the first read of a process, the accessors by item id, the
// folder tree's hooks for the list engine and the item service's folder-tree operations.
//
// The built-in items are checked under the tree's write lock, and the file is written once when a
// name, parent or item type differs from the table or an item is missing, so that what is put back
// survives the next reload. Every walk up the parents is bounded by the size of the tree.
#include "apps/moap_litem.h"
#include "apps/moap_litem_local.h"

#include "apps/moap_ftype.h"
#include "apps/moap_itype.h"
#include "apps/moap_tab.h"
#include "entry/moim_interm.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "storage/moil_idlist.h"
#include "storage/mok_key.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <string>

using namespace moap_litem_local;

const MOAP_LITEM_SYS_T moap_litem_sys_table[] = {
    {.sys_id = MOAP_LITEM_SYS_DOCS,
     .name = "Docs",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 5,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_TABLES,
     .name = "Tables",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 20,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_MGROUPS,
     .name = "Mail Groups",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 23,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_FILE_TYPES,
     .name = "Doc File Types",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 4,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_USER_PROFILE,
     .name = "User Profile",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 2,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_USER_CONTACT,
     .name = "User Contact",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 22,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_GROUP_LIST,
     .name = "Group List",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 3,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_TABLE_TYPES,
     .name = "Table Types",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 10,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_DOC_FOLDER_TYPES,
     .name = "Doc Folder Types",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 16,
     .link_sys_id = 0},
    {.sys_id = MOAP_LITEM_SYS_DOC_NUMBER_SCHEMES,
     .name = "Doc Number Schemes",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = 21,
     .link_sys_id = 0},
};
const int moap_litem_sys_count =
    static_cast<int>(sizeof(moap_litem_sys_table) / sizeof(moap_litem_sys_table[0]));

// New bookmarks are filed under this folder, so a fresh installation has it from the first read.
const MOAP_LITEM_SYS_T moap_bkmark_sys_table[] = {
    {.sys_id = MOAP_BKMARK_SYS_COMPANY,
     .name = "Company Bookmarks",
     .parent_sys_id = 0,
     .ftype_sys_id = 0,
     .itype_sys_id = MOAP_ITYPE_SYS_BOOKMARK_FOLDER,
     .link_sys_id = 0},
};
const int moap_bkmark_sys_count =
    static_cast<int>(sizeof(moap_bkmark_sys_table) / sizeof(moap_bkmark_sys_table[0]));

namespace moap_litem_local {

MOTSL_DATASTRUCT_T *tree_data(MOIT_ITEM_T *item, int index_id) noexcept {
    if (item == nullptr || index_id < 0 || index_id >= MOIT_INDEX_COUNT || item->litem_refs == nullptr)
        return nullptr;
    auto *cell = static_cast<MOT_TOP_STORAGE_T *>(item->litem_refs[index_id]);
    return cell != nullptr ? static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref) : nullptr;
}

int tree_stype(MOX_AUX_T *aux, int index_id, MOT_TOP_STYPE_T **stype) noexcept {
    MOIT_ITEM_T *item = aux->item;
    *stype = nullptr;
    if (item != nullptr && index_id >= 0 && index_id < MOIT_INDEX_COUNT && item->stype_ref_array != nullptr)
        *stype = item->stype_ref_array[index_id];
    if (*stype == nullptr) {
        err(aux)->report(err(aux), "Index ID %d out of range\n", index_id);
        return 1;
    }
    return 0;
}

int index_of(MOT_TOP_STYPE_T *stype) noexcept {
    MOAP_LITEM_STORAGE_T *s = storage_of(stype);
    return s != nullptr ? s->index_id : 0;
}

int current_list(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    int id = 0;
    if (ts == nullptr || motsl_parse_id(ts->list, &id) != 0)
        return 0;
    return id;
}

int current_row(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    int id = 0;
    if (ts == nullptr || motsl_parse_id(ts->row, &id) != 0)
        return 0;
    return id;
}

int current_user(MOX_AUX_T *aux) noexcept {
    int user_id = -1;
    if (motsl_current_user_id(aux, &user_id) != 0)
        return -1;
    return user_id;
}

bool is_link(const MOAP_LITEM_T *l) noexcept {
    return l->link_id_list != nullptr && l->link_id_list->next != nullptr;
}

bool is_builtin(const MOAP_LITEM_T *l) noexcept {
    return l->sys_id_list != nullptr && l->sys_id_list->id == MOAP_LITEM_SYS_KIND &&
           l->sys_id_list->next != nullptr;
}

// The item type record of a type id, or NULL: a quiet look, for callers that treat an unknown type
// as "no access" or "not a folder".
const MOAP_ITYPE_T *quiet_itype(MOIT_ITEM_T *item, int itype_id) noexcept {
    MOTSL_DATASTRUCT_T *types =
        item->itype_ref != nullptr
            ? static_cast<MOTSL_DATASTRUCT_T *>(static_cast<MOT_TOP_STORAGE_T *>(item->itype_ref)->struct_ref)
            : nullptr;
    void *container = nullptr;
    if (types == nullptr || motc_get_container_from_id_array(types->id_array, itype_id, &container) != 0 ||
        container == nullptr)
        return nullptr;
    return static_cast<const MOAP_ITYPE_T *>(container);
}

bool is_folder(MOIT_ITEM_T *item, int index_id, const MOAP_LITEM_T *l) noexcept {
    int idx = index_id, id = l->id;
    if (is_link(l) && moap_litem_follow_link(item, index_id, l->id, &idx, &id) != 0)
        return false;
    MOAP_LITEM_T *target = nullptr;
    if (moap_litem_find(item, idx, id, &target) != 0)
        return false;
    const MOAP_ITYPE_T *t = quiet_itype(item, target->itype_id);
    return t != nullptr && t->object_type == MOAP_ITYPE_FOLDER;
}

// The access definition of an item (following links). An item type whose default list is not
// registered (a mistyped name, or a kind of list this installation lacks) has none: such items are
// simply out of everyone's reach, which is no failure of the request.
int quiet_access_def(MOX_AUX_T *aux, int index_id, int id, int *idx, int *target,
                     MOTSL_ACCESS_DEF_T **def) noexcept {
    *def = nullptr;
    MOAP_LITEM_T *l = nullptr;
    int ret = moap_litem_follow_link(aux->item, index_id, id, idx, target);
    if (ret == 0)
        ret = moap_litem_find(aux->item, *idx, *target, &l);
    if (ret != 0)
        return ret;
    const MOAP_ITYPE_T *t = quiet_itype(aux->item, l->itype_id);
    if (t != nullptr)
        *def = t->access_def;
    return 0;
}

int item_passes(MOX_AUX_T *aux, int index_id, int id, bool edit, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    int idx = 0, target = 0;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = quiet_access_def(aux, index_id, id, &idx, &target, &def);
    if (ret != 0 || def == nullptr)
        return ret;
    const MOTSL_ACCESS_SET_T &set = edit ? def->edit : def->view;
    if (set.gen_fn == nullptr)
        return 0;
    return set.gen_fn(aux, def, idx, target, current_user(aux), ok);
}

int item_level(MOX_AUX_T *aux, int index_id, int id, int level, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    int idx = 0, target = 0;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = quiet_access_def(aux, index_id, id, &idx, &target, &def);
    if (ret != 0 || def == nullptr)
        return ret;
    const MOTSL_ACCESSLIST_SET_T &set = level == MOTSL_ACCESS_LIB    ? def->lib_list
                                        : level == MOTSL_ACCESS_EDIT ? def->edit_list
                                                                     : def->view_list;
    if (set.gen_fn == nullptr)
        return 0;
    return set.gen_fn(aux, def, idx, target, current_user(aux), ok);
}

std::string html(const char *text) {
    std::string out;
    for (const char *p = text_of(text); *p != '\0'; p++) {
        switch (*p) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += *p;
        }
    }
    return out;
}

std::string url_arg(const char *text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char *p = text_of(text); *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '.' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string js(const char *text) {
    std::string out;
    char hex[8];
    for (const char *p = text_of(text); *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\' || c == '&') {
            snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string attr_link(const char *link) {
    std::string out;
    char hex[8];
    for (const char *p = text_of(link); *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || c == ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\') {
            snprintf(hex, sizeof(hex), "%%%02X", c);
            out += hex;
        } else if (c == '&') {
            out += "&amp;";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace moap_litem_local

namespace {

// ---------------------------------------------------------------- per-session state

struct TreeState {
    mo_boolean_t system_checked; // the built-in items were checked in this process
    mo_boolean_t checking;       // under way: reads inside the check are plain reads
};

int state_of(MOT_TOP_STYPE_T *stype, TreeState **state) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (ks->ref == nullptr) {
        TreeState *s = nullptr;
        ret = mome_new(stype->aux->mem, stype->keyword_storage->sub_pool_ref, &s);
        if (ret != 0)
            return ret;
        ks->ref = s;
    }
    *state = static_cast<TreeState *>(ks->ref);
    return 0;
}

void *data_pool(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : stype->aux->mem->req_pool_ref;
}

// ---------------------------------------------------------------- file names

int litem_filename(MOT_TOP_STYPE_T *stype) noexcept {
    const char *dir = index_of(stype) == MOAP_LITEM_INDEX_BKMARK ? "bkmark" : "litem";
    return motsl_set_data_filename(stype, "%s/%s/0", stype->aux->setup->lib_dir, dir);
}

// The history of an item lives beside its tree: "<lib>/litem/history/<item id>".
int litem_history_filename(MOT_TOP_STYPE_T *stype) noexcept {
    int row = current_row(stype);
    if (row <= 0) {
        err(stype->aux)
            ->report(err(stype->aux), "The history of stype %s needs an element id\n", stype->name);
        return 1;
    }
    const char *dir = strncmp(stype->name, "bkmark", 6) == 0 ? "bkmark" : "litem";
    return motsl_set_data_filename(stype, "%s/%s/history/%d", stype->aux->setup->lib_dir, dir, row);
}

// The first record of an empty tree keeps its default id (1): a fresh installation numbers the
// built-in items 1 upward.
int first_id_own(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *id_column, MOK_DATA_RECORD_T *new_record,
                 MOK_DATA_RECORD_T *max_record) noexcept {
    if (max_record == new_record)
        return 0;
    return motsl_stdlist_get_new_id(stype, id_column, new_record, max_record);
}

// ---------------------------------------------------------------- columns

int sort_folders_first_by(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, const void *c1,
                          const void *c2, bool by_name) noexcept {
    MOIT_ITEM_T *item = stype->aux->item;
    int index_id = index_of(stype);
    const auto *l1 = static_cast<const MOAP_LITEM_T *>(c1);
    const auto *l2 = static_cast<const MOAP_LITEM_T *>(c2);
    bool f1 = is_folder(item, index_id, l1), f2 = is_folder(item, index_id, l2);
    if (f1 != f2)
        return f1 ? -1 : 1;
    if (!by_name)
        return motsl_default_cell_sort(stype, column, c1, c2);
    int c = strcasecmp(text_of(l1->name), text_of(l2->name));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int name_sort(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, const void *c1,
              const void *c2) noexcept {
    return sort_folders_first_by(stype, column, c1, c2, true);
}

int access_sort(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, const void *c1,
                const void *c2) noexcept {
    return sort_folders_first_by(stype, column, c1, c2, false);
}

// The delete status is never a column of an item list; deleting goes through the pickers.
int del_view_none(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = FALSE;
    return 0;
}

constexpr unsigned TV_NAME = 0x9223;
constexpr unsigned TV_ACCESS = 0x227;

#define LITEM_ACCESS_COLUMN(kw, field, title)                                                                \
    {                                                                                                        \
        .keyword = kw, .struct_offset = offsetof(MOAP_LITEM_T, field), .init_ref = nullptr,                  \
        .common_alloc_fn = motsl_common_alloc_accesslist, .user_name = title, .help_string = "",             \
        .type_vector = TV_ACCESS, .view_access_fn = motsl_col_access_all,                                    \
        .edit_access_fn = motsl_col_access_all, .bview_access_fn = motsl_col_access_none,                    \
        .cell_list_fn = access_list_cell, .cell_edit_start_fn = access_edit_start,                           \
        .cell_edit_end_fn = access_edit_end, .cell_sort_fn = access_sort,                                    \
        .view_text_fn = mowsl_view_text_super_access, .default_filter_fn = motsl_filter_general              \
    }

const MOTSL_COLUMN_DEF_T litem_columns[] = {
    {.keyword = "N",
     .struct_offset = offsetof(MOAP_LITEM_T, name),
     .init_ref = MOAP_LITEM_DEFAULT_NAME,
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Name",
     .help_string = "The name of the Object",
     .type_vector = TV_NAME,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_all,
     .bview_access_fn = motsl_col_access_all,
     .cell_list_fn = name_list_cell,
     .cell_edit_start_fn = name_edit_start,
     .cell_edit_end_fn = name_edit_end,
     .cell_edit_check_fn = mowsl_check_folder_chars,
     .cell_sort_fn = name_sort,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "PID",
     .struct_offset = offsetof(MOAP_LITEM_T, parent_id),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "Parent ID",
     .help_string = "",
     .type_vector = 0x21,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_all,
     .default_filter_fn = motsl_filter_integer},
    {.keyword = "FID",
     .struct_offset = offsetof(MOAP_LITEM_T, ftype_id),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motsl_common_alloc_id,
     .user_name = "File Type",
     .help_string = "",
     .type_vector = 0,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_all,
     .default_filter_fn = motsl_filter_general},
    {.keyword = "IID",
     .struct_offset = offsetof(MOAP_LITEM_T, itype_id),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motsl_common_alloc_id,
     .user_name = "Item Type",
     .help_string = "",
     .type_vector = 1,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_all,
     .default_filter_fn = motsl_filter_general},
    LITEM_ACCESS_COLUMN("VA", view_access, "View Access List"),
    LITEM_ACCESS_COLUMN("EA", edit_access, "Edit Access List"),
    LITEM_ACCESS_COLUMN("LA", lib_access, "Librarian Access List"),
    {.keyword = "LID",
     .struct_offset = offsetof(MOAP_LITEM_T, link_id_list),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_idlist_direct,
     .user_name = "Link ID",
     .help_string = "",
     .type_vector = 1,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_none},
    {.keyword = "SID",
     .struct_offset = offsetof(MOAP_LITEM_T, sys_id_list),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_idlist_direct,
     .user_name = "Sys ID",
     .help_string = "",
     .type_vector = 1,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_none},
};
#undef LITEM_ACCESS_COLUMN

int register_litem_columns(MOT_TOP_STYPE_T *stype) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOT_TOP_STORAGE_T *cell = stype->keyword_storage;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = mome_new(aux->mem, cell->sub_pool_ref, &ks);
    if (ret != 0)
        return ret;
    cell->struct_ref = ks;
    ret = motsl_id_keyword_register(stype, offsetof(MOAP_LITEM_T, id));
    if (ret == 0)
        ret = motsl_new_keyword_register(stype, offsetof(MOAP_LITEM_T, new_));
    if (ret == 0)
        ret =
            motsl_del_keyword_register(stype, offsetof(MOAP_LITEM_T, delete_status), del_view_none, nullptr);
    if (ret == 0)
        ret = motsl_edit_keyword_register_sp(stype, edit_list_cell);
    for (const MOTSL_COLUMN_DEF_T &c : litem_columns)
        if (ret == 0)
            ret = motsl_column_register(stype, &c, nullptr);
    if (ret == 0)
        ret = motsl_finish_columns(stype, sizeof(MOAP_LITEM_T));
    if (ret != 0)
        cell->struct_ref = nullptr;
    return ret;
}

// ---------------------------------------------------------------- row filters

int child_of_current(MOT_TOP_STYPE_T *stype, const MOAP_LITEM_T *l) noexcept {
    return l->parent_id == current_list(stype) && l->parent_id != 0;
}

int row_litem_view(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_LITEM_T *l = litem_of(container);
    *ok = FALSE;
    if (l->delete_status != 0 || l->new_ != 0)
        return 0;
    if (is_link(l)) {
        *ok = TRUE;
        return 0;
    }
    int shown = 0;
    MOTSL_DATASTRUCT_T *types =
        stype->aux->item != nullptr && stype->aux->item->itype_ref != nullptr
            ? static_cast<MOTSL_DATASTRUCT_T *>(
                  static_cast<MOT_TOP_STORAGE_T *>(stype->aux->item->itype_ref)->struct_ref)
            : nullptr;
    void *t = nullptr;
    if (types != nullptr && motc_get_container_from_id_array(types->id_array, l->itype_id, &t) == 0 &&
        t != nullptr)
        shown = static_cast<MOAP_ITYPE_T *>(t)->in_dir_view;
    *ok = shown == 1 ? TRUE : FALSE;
    return 0;
}

int row_base_view(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_LITEM_T *l = litem_of(container);
    *ok = child_of_current(stype, l) && l->delete_status == 0 && l->new_ == 0 ? TRUE : FALSE;
    return 0;
}

int row_viewable(MOT_TOP_STYPE_T *stype, const MOAP_LITEM_T *l, mo_boolean_t *ok) noexcept {
    return item_passes(stype->aux, index_of(stype), l->id, false, ok);
}

int row_dir_view(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_LITEM_T *l = litem_of(container);
    *ok = FALSE;
    if (!child_of_current(stype, l) || l->delete_status != 0 || l->new_ != 0)
        return 0;
    return row_viewable(stype, l, ok);
}

int row_deleted_view(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_LITEM_T *l = litem_of(container);
    *ok = FALSE;
    if (!child_of_current(stype, l) || l->delete_status != 1 || l->new_ != 0)
        return 0;
    return row_viewable(stype, l, ok);
}

// Children, committed (or the user's own item in the making), editable.
int row_dir_edit(MOT_TOP_STYPE_T *stype, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_LITEM_T *l = litem_of(container);
    *ok = FALSE;
    if (!child_of_current(stype, l))
        return 0;
    if (l->new_ != 0 && l->new_ != current_user(stype->aux))
        return 0;
    return item_passes(stype->aux, index_of(stype), l->id, true, ok);
}

int row_bkmark_view(MOT_TOP_STYPE_T *, void *container, mo_boolean_t *ok) noexcept {
    const MOAP_LITEM_T *l = litem_of(container);
    *ok = l->delete_status == 0 && l->new_ == 0 ? TRUE : FALSE;
    return 0;
}

// ---------------------------------------------------------------- titles

int history_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int, void *) noexcept {
    auto *hs = static_cast<MOTSL_HISTORY_STORAGE_T *>(stype->applic_storage_ref);
    int id = hs != nullptr ? hs->history_for_id : 0;
    const char *name = MOAP_LITEM_NOT_DEFINED;
    int index_id = strncmp(stype->name, "bkmark", 6) == 0 ? MOAP_LITEM_INDEX_BKMARK : MOAP_LITEM_INDEX;
    int ret = moap_litem_get_name(stype->aux->item, index_id, id, nullptr, &name);
    if (ret != 0)
        return ret;
    return out_def->line_fn(out_def, " <B><FONT COLOR=WHITE>History of %s</FONT></B>", html(name).c_str());
}

// ---------------------------------------------------------------- registration

// The stypes of one tree, in registration order.
struct StypeSpec {
    const char *name;
    int id;
    int type;
    const char *help;
    mot_insert_title_fn_t title;
    mot_assign_access_fn_t access;
    mot_access_row_fn_t view_row;
    mot_access_row_fn_t edit_row;
    const char *useropt;
    const char *history;
    const char *deleted;
    CmdSet cmds;
    mow_web_button_fn_t button;
};

const StypeSpec litem_specs[] = {
    {"litem", 0, MOT_STYPE_MAIN, "Folders", motsl_applic_insert_title, motsl_access_everyone, row_litem_view,
     mot_row_access_all, "litem_useropt", "litem_history", nullptr, CmdSet::base, mowsl_button_full_no_add},
    {"litem_base", 0, MOT_STYPE_MAIN, "Folders", motsl_applic_insert_title, motsl_access_everyone,
     row_base_view, mot_row_access_all, nullptr, nullptr, nullptr, CmdSet::base, mowsl_button_full_no_add},
    {"litem_dir", 24, MOT_STYPE_MAIN, "Folders", motsl_insert_title_full_path, motsl_access_folder_view_edit,
     row_dir_view, row_dir_edit, "litem_useropt", "litem_history", "litem_dir_deleted", CmdSet::folder,
     moap_litem_button_folder_and_object},
    {"litem_dir_deleted", 30, MOT_STYPE_SECONDARY, "Deleted Folders", motsl_applic_deleted_insert_title,
     motsl_access_item_view_edit, row_deleted_view, row_dir_edit, "litem_useropt", "litem_history", nullptr,
     CmdSet::deleted, mowsl_button_go_back},
    {"litem_docs", 25, MOT_STYPE_MAIN, "Docs", motsl_insert_title_full_path, moap_tab_access_docs,
     row_dir_view, row_dir_edit, "litem_useropt", "litem_history", "litem_docs_deleted", CmdSet::folder,
     moap_litem_button_doc_folder_only},
    {"litem_docs_deleted", 31, MOT_STYPE_SECONDARY, "Deleted Docs", motsl_applic_deleted_insert_title,
     moap_tab_access_docs, row_deleted_view, row_dir_edit, "litem_useropt", "litem_history", nullptr,
     CmdSet::deleted, mowsl_button_go_back},
    {"litem_table", 26, MOT_STYPE_MAIN, "Tables", motsl_insert_title_full_path, moap_tab_access_table,
     row_dir_view, row_dir_edit, "litem_useropt", "litem_history", "litem_table_deleted", CmdSet::folder,
     moap_litem_button_folder_and_object},
    {"litem_table_deleted", 32, MOT_STYPE_SECONDARY, "Deleted Tables", motsl_applic_deleted_insert_title,
     moap_tab_access_table, row_deleted_view, row_dir_edit, "litem_useropt", "litem_history", nullptr,
     CmdSet::deleted, mowsl_button_go_back},
    {"litem_mgroups", 27, MOT_STYPE_MAIN, "Mail Groups", motsl_insert_title_full_path,
     moap_tab_access_mgroups, row_dir_view, row_dir_edit, "litem_useropt", "litem_history",
     "litem_mgroups_deleted", CmdSet::folder, moap_litem_button_folder_and_object},
    {"litem_mgroups_deleted", 33, MOT_STYPE_SECONDARY, "Deleted Mail Groups",
     motsl_applic_deleted_insert_title, moap_tab_access_mgroups, row_deleted_view, row_dir_edit,
     "litem_useropt", "litem_history", nullptr, CmdSet::deleted, mowsl_button_go_back},
};

const StypeSpec bkmark_specs[] = {
    {"bkmark", 1, MOT_STYPE_MAIN, "Company Bookmarks", motsl_applic_insert_title, motsl_access_everyone,
     row_bkmark_view, mot_row_access_all, "bkmark_useropt", "bkmark_history", nullptr, CmdSet::base,
     mowsl_button_full_no_add},
    {"bkmark_dir", 24, MOT_STYPE_MAIN, "Company Bookmarks", motsl_applic_insert_title,
     motsl_access_item_view_edit, row_dir_view, row_dir_edit, "bkmark_useropt", "bkmark_history", nullptr,
     CmdSet::folder, moap_litem_button_folder_only},
};

// The base lists may be opened with list id 0; the directory lists always name their folder.
int item_init_stype(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                    MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    if (!use_args)
        return 0;
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    MOX_AUX_T *aux = stype->aux;
    const MOT_TOP_ARG_LIST_T *a = *arg_list_ptr;
    const char *index_text = a != nullptr ? a->val : nullptr;
    const char *list_text = a != nullptr && a->next != nullptr ? a->next->val : nullptr;
    int index_id = 0, list_id = 0;
    if (index_text != nullptr && motsl_parse_id(index_text, &index_id) == 0 && index_id != index_of(stype)) {
        err(aux)->report(err(aux), "Index ID %d out of range\n", index_id);
        return 1;
    }
    if (list_text != nullptr && motsl_parse_id(list_text, &list_id) == 0 && list_id == 0) {
        bool base = strcmp(stype->name, "litem") == 0 || strcmp(stype->name, "litem_base") == 0 ||
                    strcmp(stype->name, "bkmark") == 0;
        if (!base) {
            err(aux)->report(err(aux), "Only certain stypes are allowed access with a 0 list_id\n");
            return 1;
        }
    }
    int ret = motsl_init_stype_default(stype_ptr, use_args, arg_list_ptr);
    // The stype may have switched to an allowed one; its own rule applies too.
    if (ret == 0 && *stype_ptr != stype && current_list(*stype_ptr) == 0 &&
        storage_of(*stype_ptr) != nullptr) {
        err(aux)->report(err(aux), "Only certain stypes are allowed access with a 0 list_id\n");
        return 1;
    }
    return ret;
}

int register_spec(MOT_TOP_SESSION_T *session, const StypeSpec &spec, int index_id,
                  const char *keyword_id) noexcept {
    MOX_AUX_T *aux = session->aux;
    void *pool = aux->mem->session_pool_ref;
    MOT_TOP_STYPE_DEF_T def = motsl_stype_def_main;
    def.name = spec.name;
    def.id = spec.id;
    def.type = spec.type;
    def.help = spec.help;
    def.insert_title = spec.title;
    def.init_stype = item_init_stype;
    def.assign_access_fn = spec.access;
    def.read_data = moap_litem_read_data;
    def.write_data = motsl_stdlist_write_data;
    def.view_access_row_fn = spec.view_row;
    def.edit_access_row_fn = spec.edit_row;
    def.lock_element_string = index_id == MOAP_LITEM_INDEX_BKMARK ? "bkmark ID Number" : "Litem ID Number";
    def.lock_file_string = index_id == MOAP_LITEM_INDEX_BKMARK ? "bkmark Data" : "Litem Data";
    def.init_filename = litem_filename;
    def.init_struct = moap_litem_init_struct;
    MOT_TOP_STYPE_T *stype = nullptr;
    mo_boolean_t is_new = FALSE;
    int ret = mot_top_register_stype_def(aux, &session->storage.stype_list, pool, &def, &stype);
    if (ret == 0)
        ret = motsl_stype_storage_init(session, stype, keyword_id, &is_new);
    if (ret == 0)
        ret = is_new ? register_litem_columns(stype) : motsl_share_columns(stype);
    if (ret == 0)
        ret = moap_litem_register_stype(stype, index_id);
    if (ret == 0)
        ret = motsl_set_related_stypes(stype, spec.useropt, spec.history, nullptr, spec.deleted);
    if (ret == 0)
        ret = register_web(stype, spec.cmds, spec.button);
    return ret;
}

int register_useropt(MOT_TOP_SESSION_T *session, const char *name, int id, const char *help,
                     const char *served_name) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOT_TOP_STYPE_T *served = nullptr, *stype = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, aux, served_name, &served);
    MOT_TOP_STYPE_DEF_T def = motsl_stype_def_useropt;
    def.name = name;
    def.id = id;
    def.help = help;
    mo_boolean_t is_new = FALSE;
    if (ret == 0)
        ret = mot_top_register_stype_def(aux, &session->storage.stype_list, aux->mem->session_pool_ref, &def,
                                         &stype);
    if (ret == 0)
        ret = motsl_stype_storage_init(session, stype, name, &is_new);
    if (ret == 0)
        ret = motsl_useropt_register_stype(stype, served);
    return ret;
}

int register_history(MOT_TOP_SESSION_T *session, const char *prefix, int index_id) noexcept {
    MOX_AUX_T *aux = session->aux;
    bool bk = index_id == MOAP_LITEM_INDEX_BKMARK;
    std::string name = std::string(prefix) + "_history";
    std::string useropt = name + "_useropt";
    char *name_copy = nullptr, *useropt_copy = nullptr;
    int ret = aux->mem->store_string(aux->mem, aux->mem->session_pool_ref, &name_copy, name.c_str());
    if (ret == 0)
        ret = aux->mem->store_string(aux->mem, aux->mem->session_pool_ref, &useropt_copy, useropt.c_str());
    if (ret != 0)
        return ret;
    MOT_TOP_STYPE_DEF_T def = motsl_stype_def_history;
    def.name = name_copy;
    def.id = 22;
    def.help = bk ? "History of the bookmarks" : "History of the folder items";
    def.insert_title = history_title;
    def.assign_access_fn = motsl_access_item_view_edit;
    def.lock_element_string = bk ? "bkmark History ID Number" : "Litem History ID Number";
    def.lock_file_string = bk ? "bkmark History Data" : "Litem History Data";
    def.init_filename = litem_history_filename;
    MOT_TOP_STYPE_T *stype = nullptr, *main_stype = nullptr;
    mo_boolean_t is_new = FALSE;
    ret = mot_top_register_stype_def(aux, &session->storage.stype_list, aux->mem->session_pool_ref, &def,
                                     &stype);
    if (ret == 0)
        ret = motsl_stype_storage_init(session, stype, name_copy, &is_new);
    if (ret == 0)
        ret = motsl_history_register_stype(stype);
    if (ret == 0)
        ret = mot_top_find_stype(session->storage.stype_list, aux, prefix, &main_stype);
    if (ret != 0)
        return ret;
    static_cast<MOTSL_HISTORY_STORAGE_T *>(stype->applic_storage_ref)->parent_stype = main_stype;
    ret = motsl_set_related_stypes(stype, useropt_copy, nullptr, nullptr, nullptr);
    if (ret == 0)
        ret =
            register_useropt(session, useropt_copy, 23,
                             bk ? "Bookmark history user options" : "Litem history user options", name_copy);
    return ret;
}

// ---------------------------------------------------------------- built-in items

MOAP_LITEM_T *find_sys(MOK_DATA_RECORD_T *chain, int sys_id) noexcept {
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next) {
        MOAP_LITEM_T *l = litem_of(r->container);
        if (l->new_ == 0 && is_builtin(l) && l->sys_id_list->next->id == sys_id)
            return l;
    }
    return nullptr;
}

int set_int(int32_t *field, int value, mo_boolean_t *changed) noexcept {
    if (*field != value) {
        *field = value;
        *changed = TRUE;
    }
    return 0;
}

int check_builtin(MOT_TOP_STYPE_T *stype, mo_boolean_t *changed) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOIT_ITEM_T *item = aux->item;
    bool bk = index_of(stype) == MOAP_LITEM_INDEX_BKMARK;
    const MOAP_LITEM_SYS_T *table = bk ? moap_bkmark_sys_table : moap_litem_sys_table;
    int count = bk ? moap_bkmark_sys_count : moap_litem_sys_count;
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the built-in items", &data);
    // The item types decide the built-in items' types: they are loaded first.
    if (ret == 0 && item != nullptr && item->itype_ref == nullptr)
        ret = item->init_itype_array(item, nullptr);
    if (ret != 0)
        return ret;
    if (item == nullptr || item->itype_ref == nullptr) {
        err(aux)->report(err(aux), "The item types have not been read\n");
        return 1;
    }
    // Every missing item is made first, so that a parent is found whatever the order.
    for (int i = 0; ret == 0 && i < count; i++) {
        if (find_sys(data->data_record, table[i].sys_id) != nullptr)
            continue;
        MOK_DATA_RECORD_T *record = nullptr;
        ret = motsl_stdlist_append_new(stype, &record);
        if (ret != 0)
            break;
        MOAP_LITEM_T *l = litem_of(record->container);
        MOIL_IDLIST_T *sys = nullptr;
        ret = moil_add_to_idlist(aux->interm, data_pool(stype), MOAP_LITEM_SYS_KIND, &sys);
        if (ret == 0)
            ret = moil_add_to_idlist(aux->interm, data_pool(stype), table[i].sys_id, &sys);
        l->sys_id_list = sys;
        *changed = TRUE;
        // The new record may have moved the chain's head.
        data = static_cast<MOTSL_DATASTRUCT_T *>(stype->data_storage->struct_ref);
    }
    for (int i = 0; ret == 0 && i < count; i++) {
        const MOAP_LITEM_SYS_T &row = table[i];
        MOAP_LITEM_T *l = find_sys(data->data_record, row.sys_id);
        int parent = 0, itype = 0;
        if (row.parent_sys_id != 0) {
            const MOAP_LITEM_T *p = find_sys(data->data_record, row.parent_sys_id);
            if (p == nullptr) {
                err(aux)->report(err(aux), "Can't find parent item id for sys_id %d,%d\n",
                                 MOAP_LITEM_SYS_KIND, row.sys_id);
                return 1;
            }
            parent = p->id;
        }
        // Reported in the item types' own words too; this message names the item.
        MOAP_ITYPE_T *t = nullptr;
        int found = 0;
        for (MOK_DATA_RECORD_T *r = static_cast<MOTSL_DATASTRUCT_T *>(
                                        static_cast<MOT_TOP_STORAGE_T *>(item->itype_ref)->struct_ref)
                                        ->data_record;
             r != nullptr && found == 0; r = r->next) {
            t = static_cast<MOAP_ITYPE_T *>(r->container);
            if (t->new_ == 0 && t->sys_id_list != nullptr &&
                t->sys_id_list->id == MOAP_ITYPE_ORIGIN_BUILTIN && t->sys_id_list->next != nullptr &&
                t->sys_id_list->next->id == row.itype_sys_id)
                found = t->id;
        }
        if (found == 0) {
            err(aux)->report(err(aux), "Can't find itype id for sys_id %d,%d\n", MOAP_LITEM_SYS_KIND,
                             row.sys_id);
            return 1;
        }
        itype = found;
        if (l->name == nullptr || strcmp(l->name, row.name) != 0) {
            ret = aux->mem->store_string(aux->mem, data_pool(stype), &l->name, row.name);
            *changed = TRUE;
        }
        set_int(&l->parent_id, parent, changed);
        set_int(&l->itype_id, itype, changed);
        set_int(&l->ftype_id, 0, changed);
        // A built-in item is never lost: a top item left deleted would be in no deleted list.
        set_int(&l->delete_status, 0, changed);
        if (is_link(l)) {
            l->link_id_list = nullptr;
            *changed = TRUE;
        }
    }
    return ret;
}

int refresh(MOT_TOP_STYPE_T *stype, TreeState *state, MOK_DATA_RECORD_T **first) noexcept {
    TreeWriteLock lock;
    int ret = lock.take(stype);
    if (ret != 0)
        return ret;
    state->checking = TRUE;
    mo_boolean_t changed = FALSE;
    ret = motsl_stdlist_read_data_no_default(stype, first);
    if (ret == 0)
        ret = check_builtin(stype, &changed);
    if (ret == 0 && changed)
        ret = stype->write_data(stype);
    state->checking = FALSE;
    int release = lock.release();
    if (ret == 0)
        ret = release;
    if (ret != 0) {
        // What was changed in memory is not the file: the next read loads the file again.
        if (changed && stype->data_storage != nullptr) {
            stype->data_storage->struct_ref = nullptr;
            stype->data_storage->mod_time = 0;
            stype->data_loaded = FALSE;
        }
        return ret;
    }
    state->system_checked = TRUE;
    MOTSL_DATASTRUCT_T *data = nullptr;
    ret = motsl_get_datastruct(stype, stype->name, &data);
    if (ret == 0 && changed && data->id_array != nullptr)
        ret = motc_init_id_array(stype->aux, data->id_array, data->data_record, offsetof(MOAP_LITEM_T, id),
                                 data_pool(stype));
    if (ret == 0)
        *first = data->data_record;
    return ret;
}

// ---------------------------------------------------------------- hooks of the list engine

MOX_AUX_T *hook_aux(MOTSL_ITEM_HOOKS_T *hooks) noexcept {
    return static_cast<MOX_AUX_T *>(hooks->ref);
}

int hook_parent(MOTSL_ITEM_HOOKS_T *h, int index_id, int id, int *parent_id) noexcept {
    return moap_litem_get_parent_id(hook_aux(h)->item, index_id, id, nullptr, parent_id);
}
int hook_access_def(MOTSL_ITEM_HOOKS_T *h, int index_id, int id, MOTSL_ACCESS_DEF_T **def) noexcept {
    return moap_litem_get_access_def(hook_aux(h)->item, index_id, id, def);
}
int hook_access_list(MOTSL_ITEM_HOOKS_T *h, int index_id, int id, int level,
                     MOIL_ACCESSLIST_T **list) noexcept {
    MOIT_ITEM_T *item = hook_aux(h)->item;
    int idx = 0, target = 0;
    int ret = moap_litem_follow_link(item, index_id, id, &idx, &target);
    if (ret != 0)
        return ret;
    if (level == MOTSL_ACCESS_LIB)
        return moap_litem_get_access_lib(item, idx, target, nullptr, list);
    if (level == MOTSL_ACCESS_EDIT)
        return moap_litem_get_access_edit(item, idx, target, nullptr, list);
    return moap_litem_get_access_view(item, idx, target, nullptr, list);
}
int hook_name(MOTSL_ITEM_HOOKS_T *h, int index_id, int id, const char **name) noexcept {
    return moap_litem_get_name(hook_aux(h)->item, index_id, id, nullptr, name);
}
int hook_graphic(MOTSL_ITEM_HOOKS_T *h, int index_id, int id, const char **graphic) noexcept {
    return moap_litem_get_graphic(hook_aux(h)->item, index_id, id, graphic);
}
int hook_default_stype(MOTSL_ITEM_HOOKS_T *h, int index_id, int id, const char **name) noexcept {
    return moap_litem_get_default_stype(hook_aux(h)->item, index_id, id, name);
}
int hook_allowed_stypes(MOTSL_ITEM_HOOKS_T *h, int index_id, int id, const char **list) noexcept {
    return moap_litem_get_allowed_stypes(hook_aux(h)->item, index_id, id, list);
}
int hook_max_item_id(MOTSL_ITEM_HOOKS_T *h, int index_id, int *max_id) noexcept {
    MOTSL_DATASTRUCT_T *data = tree_data(hook_aux(h)->item, index_id);
    *max_id = data != nullptr && data->id_array != nullptr ? data->id_array->max_id : 0;
    return 0;
}

// ---------------------------------------------------------------- accessors

int not_read(MOIT_ITEM_T *item, int index_id) noexcept {
    item->interm->error->report(item->interm->error, "The folder tree %d has not been read\n", index_id);
    return 1;
}

// Items reached through more links than the tree has items form a loop.
int tree_bound(MOIT_ITEM_T *item, int index_id) noexcept {
    MOTSL_DATASTRUCT_T *data = tree_data(item, index_id);
    return data != nullptr && data->id_array != nullptr ? data->id_array->max_id + 2 : 2;
}

} // namespace

// ---------------------------------------------------------------- registration and loading

int moap_litem_register_stype(MOT_TOP_STYPE_T *stype, int index_id) noexcept {
    MOX_AUX_T *aux = stype->aux;
    void *pool = aux->mem->session_pool_ref;
    MOAP_LITEM_STORAGE_T *s = nullptr;
    int ret = mome_new(aux->mem, pool, &s);
    if (ret != 0)
        return ret;
    s->index_id = index_id;
    s->check_move_fn = moap_litem_check_move_item;
    stype->applic_storage_ref = s;
    ret = motsl_type_storage_register(stype, pool, first_id_own, motsl_stdlist_add_changes_to_history,
                                      motsl_stdlist_set_filename_for_history, moap_litem_web_copy_template,
                                      nullptr, nullptr, nullptr);
    return ret;
}

int moap_litem_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = 0;
    for (const StypeSpec &spec : litem_specs)
        if (ret == 0)
            ret = register_spec(session, spec, MOAP_LITEM_INDEX, "litem");
    if (ret == 0)
        ret = register_useropt(session, "litem_useropt", 21, "Litem user options", "litem");
    if (ret == 0)
        ret = register_history(session, "litem", MOAP_LITEM_INDEX);
    for (const StypeSpec &spec : bkmark_specs)
        if (ret == 0)
            ret = register_spec(session, spec, MOAP_LITEM_INDEX_BKMARK, "bkmark");
    if (ret == 0)
        ret = register_useropt(session, "bkmark_useropt", 21, "Bookmark user options", "bkmark");
    if (ret == 0)
        ret = register_history(session, "bkmark", MOAP_LITEM_INDEX_BKMARK);
    return ret;
}

int moap_litem_setup(MOT_TOP_SESSION_T *session) noexcept {
    MOX_AUX_T *aux = session->aux;
    if (aux->list_hooks == nullptr) {
        err(aux)->report(err(aux), "The list engine's hooks are not set\n");
        return 1;
    }
    MOTSL_ITEM_HOOKS_T *hooks = nullptr;
    int ret = mome_new(aux->mem, aux->mem->session_pool_ref, &hooks);
    if (ret != 0)
        return ret;
    *hooks = MOTSL_ITEM_HOOKS_T{
        .ref = aux,
        .get_parent_id = hook_parent,
        .get_access_def = hook_access_def,
        .get_access_list = hook_access_list,
        .get_name = hook_name,
        .get_graphic = hook_graphic,
        .get_default_stype = hook_default_stype,
        .get_allowed_stypes = hook_allowed_stypes,
        .get_max_item_id = hook_max_item_id,
    };
    aux->list_hooks->item = hooks;
    return 0;
}

int moap_litem_init_litem_array(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept {
    MOX_AUX_T *aux = item->aux;
    static const char *const names[MOIT_INDEX_COUNT] = {"litem", "bkmark"};
    int ret = 0;
    for (int i = 0; ret == 0 && i < MOIT_INDEX_COUNT; i++) {
        MOT_TOP_STYPE_T *stype = nullptr;
        MOK_DATA_RECORD_T *first = nullptr;
        ret = mot_top_find_stype(session->storage.stype_list, aux, names[i], &stype);
        if (ret == 0)
            item->stype_ref_array[i] = stype;
        if (ret == 0 && stype->filename == nullptr)
            ret = motsl_set_position(stype, i, 0, 0);
        if (ret == 0 && stype->filename == nullptr)
            ret = litem_filename(stype);
        if (ret == 0)
            ret = stype->read_data(stype, &first);
        if (ret == 0)
            item->litem_refs[i] = stype->data_storage;
    }
    item->min_index = 0;
    item->max_index = ret == 0 ? MOIT_INDEX_COUNT - 1 : -1;
    return ret;
}

int moap_litem_get_litem_data_props(MOIT_ITEM_T *item, int *max_item_id, int *item_mod) noexcept {
    *max_item_id = 0;
    *item_mod = 0;
    MOTSL_DATASTRUCT_T *data = tree_data(item, MOAP_LITEM_INDEX);
    if (data == nullptr)
        return 0;
    auto *cell = static_cast<MOT_TOP_STORAGE_T *>(item->litem_refs[MOAP_LITEM_INDEX]);
    *max_item_id = data->id_array != nullptr ? data->id_array->max_id : 0;
    // The daemon's numbers restart with it: the file's identity joins them.
    uint32_t h = static_cast<uint32_t>(cell->mod_time);
    h = h * 1000003u ^ static_cast<uint32_t>(data->file_size);
    h = h * 1000003u ^ static_cast<uint32_t>(data->file_mtime);
    *item_mod = static_cast<int>(h & 0x7fffffffu);
    return 0;
}

int moap_litem_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    TreeState *state = nullptr;
    int ret = state_of(stype, &state);
    if (ret != 0)
        return ret;
    if (state->checking || state->system_checked)
        return motsl_stdlist_read_data_no_default(stype, first);
    return refresh(stype, state, first);
}

int moap_litem_stype_init(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                          MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    return item_init_stype(stype_ptr, use_args, arg_list_ptr);
}

int moap_litem_init_struct(MOT_TOP_STYPE_T *stype, void *req_ref, mo_boolean_t from_web_init) noexcept {
    int ret = litem_filename(stype);
    if (ret != 0 || !from_web_init)
        return ret;
    MOX_AUX_T *aux = stype->aux;
    MOT_TOP_STYPE_T *list = *stype->stype_list_ptr;
    MOT_TOP_STYPE_T *users = nullptr, *groups = nullptr, *ftypes = nullptr, *itypes = nullptr;
    ret = mot_top_find_stype(list, aux, "passwd", &users);
    if (ret == 0)
        ret = mot_top_find_stype(list, aux, "groups", &groups);
    if (ret == 0)
        ret = mot_top_find_stype(list, aux, "ftype", &ftypes);
    if (ret == 0)
        ret = mot_top_find_stype(list, aux, "itype", &itypes);
    for (MOT_TOP_STYPE_T *s : {users, groups, ftypes, itypes})
        if (ret == 0 && s->filename == nullptr)
            ret = motsl_set_position(s, 0, 0, 0);
    for (const char *keyword : {"VA", "EA", "LA"})
        if (ret == 0)
            ret = motsl_init_access_array_info_and_store(stype, req_ref, keyword, nullptr, access_parent_text,
                                                         users, "U", "DEL", groups, "N", "DEL");
    if (ret == 0)
        ret = motsl_init_array_info_and_store(stype, req_ref, "FID", ftypes, "N", "DEL");
    if (ret == 0)
        ret = motsl_init_array_info_and_store(stype, req_ref, "IID", itypes, "N", nullptr);
    return ret;
}

// ---------------------------------------------------------------- accessors

int moap_litem_find(MOIT_ITEM_T *item, int index_id, int id, MOAP_LITEM_T **result) noexcept {
    *result = nullptr;
    MOTSL_DATASTRUCT_T *data = tree_data(item, index_id);
    if (data == nullptr)
        return not_read(item, index_id);
    void *container = nullptr;
    if (id <= 0 || motc_get_container_from_id_array(data->id_array, id, &container) != 0 ||
        container == nullptr) {
        item->interm->error->report(item->interm->error, "List ID %d out of range\n", id);
        return 1;
    }
    *result = litem_of(container);
    return 0;
}

int moap_litem_get_name(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted,
                        const char **result) noexcept {
    *result = MOAP_LITEM_NOT_DEFINED;
    if (deleted != nullptr)
        *deleted = FALSE;
    MOTSL_DATASTRUCT_T *data = tree_data(item, index_id);
    if (data == nullptr)
        return not_read(item, index_id);
    void *container = nullptr;
    if (id <= 0 || motc_get_container_from_id_array(data->id_array, id, &container) != 0 ||
        container == nullptr)
        return 0;
    MOAP_LITEM_T *l = litem_of(container);
    *result = text_of(l->name);
    if (deleted != nullptr)
        *deleted = l->delete_status != 0 ? TRUE : FALSE;
    return 0;
}

#define MOAP_LITEM_FIELD_ACCESSOR(fn, type, field, none)                                                     \
    int fn(MOIT_ITEM_T *item, int index_id, int id, mo_boolean_t *deleted, type *result) noexcept {          \
        *result = none;                                                                                      \
        if (deleted != nullptr)                                                                              \
            *deleted = FALSE;                                                                                \
        MOAP_LITEM_T *l = nullptr;                                                                           \
        int ret = moap_litem_find(item, index_id, id, &l);                                                   \
        if (ret != 0)                                                                                        \
            return ret;                                                                                      \
        *result = l->field;                                                                                  \
        if (deleted != nullptr)                                                                              \
            *deleted = l->delete_status != 0 ? TRUE : FALSE;                                                 \
        return 0;                                                                                            \
    }
MOAP_LITEM_FIELD_ACCESSOR(moap_litem_get_parent_id, int, parent_id, 0)
MOAP_LITEM_FIELD_ACCESSOR(moap_litem_get_ftype_id, int, ftype_id, 0)
MOAP_LITEM_FIELD_ACCESSOR(moap_litem_get_itype_id, int, itype_id, 0)
MOAP_LITEM_FIELD_ACCESSOR(moap_litem_get_link_id, MOIL_IDLIST_T *, link_id_list, nullptr)
MOAP_LITEM_FIELD_ACCESSOR(moap_litem_get_access_view, MOIL_ACCESSLIST_T *, view_access, nullptr)
MOAP_LITEM_FIELD_ACCESSOR(moap_litem_get_access_edit, MOIL_ACCESSLIST_T *, edit_access, nullptr)
MOAP_LITEM_FIELD_ACCESSOR(moap_litem_get_access_lib, MOIL_ACCESSLIST_T *, lib_access, nullptr)
#undef MOAP_LITEM_FIELD_ACCESSOR

int moap_litem_follow_link(MOIT_ITEM_T *item, int index_id, int id, int *index_result,
                           int *id_result) noexcept {
    *index_result = index_id;
    *id_result = id;
    int idx = index_id, cur = id;
    int bound = tree_bound(item, MOAP_LITEM_INDEX) + tree_bound(item, MOAP_LITEM_INDEX_BKMARK);
    for (int steps = 0;; steps++) {
        MOAP_LITEM_T *l = nullptr;
        int ret = moap_litem_find(item, idx, cur, &l);
        if (ret != 0)
            return ret;
        if (!is_link(l))
            break;
        if (steps > bound) {
            item->interm->error->report(item->interm->error, "The links of item %d of index %d form a loop\n",
                                        id, index_id);
            return 1;
        }
        int next_index = l->link_id_list->id, next_id = l->link_id_list->next->id;
        if (next_index < 0 || next_index >= MOIT_INDEX_COUNT) {
            item->interm->error->report(item->interm->error, "Index ID %d out of range\n", next_index);
            return 1;
        }
        idx = next_index;
        cur = next_id;
    }
    *index_result = idx;
    *id_result = cur;
    return 0;
}

namespace {

// The item type of an item, following links.
int followed_itype(MOIT_ITEM_T *item, int index_id, int id, int *itype_id, int *ftype_id) noexcept {
    int idx = 0, target = 0;
    MOAP_LITEM_T *l = nullptr;
    int ret = moap_litem_follow_link(item, index_id, id, &idx, &target);
    if (ret == 0)
        ret = moap_litem_find(item, idx, target, &l);
    if (ret != 0)
        return ret;
    *itype_id = l->itype_id;
    if (ftype_id != nullptr)
        *ftype_id = l->ftype_id;
    return 0;
}

} // namespace

int moap_litem_get_graphic(MOIT_ITEM_T *item, int index_id, int id, const char **result) noexcept {
    *result = "";
    int itype_id = 0, ftype_id = 0;
    int ret = followed_itype(item, index_id, id, &itype_id, &ftype_id);
    if (ret != 0)
        return ret;
    if (ftype_id != 0)
        ret = moap_ftype_get_graphic(item, ftype_id, result);
    if (ret == 0 && (*result == nullptr || **result == '\0'))
        ret = moap_itype_get_graphic(item, itype_id, result);
    // A type defined without an icon still shows as what it is.
    if (ret == 0 && (*result == nullptr || **result == '\0')) {
        const MOAP_ITYPE_T *t = quiet_itype(item, itype_id);
        *result = t != nullptr && t->object_type == MOAP_ITYPE_FOLDER ? "system_file_types/folders/dir2.gif"
                                                                      : "system_file_types/icons/unknown.gif";
    }
    return ret;
}

#define MOAP_LITEM_TYPE_ACCESSOR(fn, itype_fn)                                                               \
    int fn(MOIT_ITEM_T *item, int index_id, int id, const char **result) noexcept {                          \
        *result = "";                                                                                        \
        int itype_id = 0;                                                                                    \
        int ret = followed_itype(item, index_id, id, &itype_id, nullptr);                                    \
        return ret != 0 ? ret : itype_fn(item, itype_id, result);                                            \
    }
MOAP_LITEM_TYPE_ACCESSOR(moap_litem_get_default_stype, moap_itype_get_default_stype)
MOAP_LITEM_TYPE_ACCESSOR(moap_litem_get_allowed_stypes, moap_itype_get_allowed_stypes)
MOAP_LITEM_TYPE_ACCESSOR(moap_litem_get_extra_args, moap_itype_get_extra_args)
MOAP_LITEM_TYPE_ACCESSOR(moap_litem_get_list_cmd, moap_itype_get_list_cmd)
#undef MOAP_LITEM_TYPE_ACCESSOR

int moap_litem_get_access_def(MOIT_ITEM_T *item, int index_id, int id, MOTSL_ACCESS_DEF_T **result) noexcept {
    *result = nullptr;
    int itype_id = 0;
    int ret = followed_itype(item, index_id, id, &itype_id, nullptr);
    return ret != 0 ? ret : moap_itype_get_access_fn(item, itype_id, result);
}

int moap_litem_get_parent_access_def(MOIT_ITEM_T *item, int index_id, int id, int *parent_id,
                                     MOTSL_ACCESS_DEF_T **result) noexcept {
    *result = nullptr;
    int ret = moap_litem_get_parent_id(item, index_id, id, nullptr, parent_id);
    if (ret != 0 || *parent_id == 0)
        return ret;
    return moap_litem_get_access_def(item, index_id, *parent_id, result);
}

int moap_litem_find_sys_id(MOIT_ITEM_T *item, int index_id, int sys_kind, int sys_id, int *result) noexcept {
    *result = 0;
    MOTSL_DATASTRUCT_T *data = tree_data(item, index_id);
    if (data == nullptr)
        return not_read(item, index_id);
    for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr; r = r->next) {
        const MOAP_LITEM_T *l = litem_of(r->container);
        if (l->new_ == 0 && l->sys_id_list != nullptr && l->sys_id_list->id == sys_kind &&
            l->sys_id_list->next != nullptr && l->sys_id_list->next->id == sys_id) {
            *result = l->id;
            return 0;
        }
    }
    item->interm->error->report(item->interm->error, "Can't find item with sys_id %d,%d\n", sys_kind, sys_id);
    return 1;
}

int moap_litem_get_ancestors(MOIT_ITEM_T *item, int index_id, int id, MOIL_IDLIST_T **result) noexcept {
    *result = nullptr;
    int bound = tree_bound(item, index_id);
    int cur = id;
    for (int steps = 0;; steps++) {
        int parent = 0;
        int ret = moap_litem_get_parent_id(item, index_id, cur, nullptr, &parent);
        if (ret != 0)
            return ret;
        if (parent == 0)
            return 0;
        mo_boolean_t seen = FALSE;
        moil_check_in_idlist(*result, parent, &seen);
        if (seen || parent == id || steps > bound) {
            item->interm->error->report(
                item->interm->error, "The parents of item %d form a loop in folder tree %d\n", id, index_id);
            return 1;
        }
        ret = moil_add_to_idlist(item->interm, item->interm->mem->req_pool_ref, parent, result);
        if (ret != 0)
            return ret;
        cur = parent;
    }
}

int moap_litem_subscribe_parent(void *parent_ref, int item_id, int *parent_id_ptr) noexcept {
    auto *aux = static_cast<MOX_AUX_T *>(parent_ref);
    return moap_litem_get_parent_id(aux->item, MOAP_LITEM_INDEX, item_id, nullptr, parent_id_ptr);
}

int moap_litem_check_view(MOX_AUX_T *aux, int index_id, int id, mo_boolean_t *ok) noexcept {
    return item_passes(aux, index_id, id, false, ok);
}

int moap_litem_get_default_call_of_id(MOX_AUX_T *aux, const char *frame, const char *trail, int index_id,
                                      int id, const char *stype_name, char *result) noexcept {
    result[0] = '\0';
    MOIT_ITEM_T *item = aux->item;
    const char *stype = stype_name;
    const char *list_cmd = "";
    int ret = 0;
    if (stype == nullptr)
        ret = moap_litem_get_default_stype(item, index_id, id, &stype);
    if (ret == 0)
        ret = moap_litem_get_list_cmd(item, index_id, id, &list_cmd);
    if (ret != 0)
        return ret;
    const char *dir_type = aux->web != nullptr ? text_of(aux->web->dir_type) : "";
    try {
        int n = snprintf(result, MO_STRING_LEN, "%s?%s&content&%s&%s&%d&%d&0&%s&%s",
                         aux->setup->httpd_script_main_loc, url_arg(frame).c_str(), url_arg(trail).c_str(),
                         url_arg(dir_type).c_str(), index_id, id, url_arg(stype).c_str(),
                         url_arg(list_cmd).c_str());
        if (n < 0 || n >= MO_STRING_LEN) {
            result[0] = '\0';
            err(aux)->report(err(aux), "The link to item %d is longer than %d characters\n", id,
                             MO_STRING_LEN - 1);
            return 1;
        }
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
    return 0;
}
