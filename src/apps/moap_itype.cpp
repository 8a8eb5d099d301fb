// Item types: the family of the item-type list, the nineteen built-in rows, the item types generated
// from other lists, the accessors, the placement rule and the two new-entry choosers.
//
// The list is refreshed under its write lock at the first load of a session and whenever a
// generator's change mark has moved: every built-in row is put back, every generated type follows
// its source row, and the file is written only when one of them changed. After every read each
// type is given the access definition of the storage type that lists its entries; a type naming a
// storage type that is not registered gets none (and so grants nothing) rather than failing the
// whole load.
#include "apps/moap_itype.h"
#include "apps/moit_item_cmn.h"
#include "daemon/molk_lock.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "storage/moil_idlist.h"
#include "storage/mok_key.h"
#include "storage/momk_mark.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

const MOAP_ITYPE_SYS_T moap_itype_sys_table[] = {
    {1, "Config Folder", "list", "litem_dir", "litem_history", 2, 2, 0, 1,
     "system_file_types/folders/dir_config.gif"},
    {5, "Top Level Document Folder", "list", "litem_docs", "litem_history, litem_docs_deleted", 4, 4, 0, 1,
     "system_file_types/icons/tab.gif"},
    {20, "Top Level Table Folder", "list", "litem_table", "litem_history, litem_table_deleted", 4, 4, 0, 1,
     "system_file_types/icons/tab.gif"},
    {23, "Top Level Mail Groups Folder", "list", "litem_mgroups", "litem_history, litem_mgroups_deleted", 4,
     4, 0, 1, "system_file_types/icons/tab.gif"},
    {14, "Table Folder", "list", "litem_dir", "litem_history, litem_dir_deleted", 5, 5, 20, 1,
     "system_file_types/folders/dir2.gif"},
    {13, "Bookmark Folder", "list", "bkmark_dir", "bkmark_history", 3, 3, 0, 1,
     "system_file_types/folders/bkmark_dir.gif"},
    {24, "Folder", "list", "litem_dir", "litem_history, litem_dir_deleted", 5, 5, 23, 1,
     "system_file_types/folders/dir2.gif"},
    {25, "Mail Group", "list", "mgroups", "mgroups_history", 5, 2, 23, 2,
     "system_file_types/icons/letter.gif"},
    {2, "Passwd Profile", "list", "passwd_profile", "passwd_profile_deleted,passwd_history", 2, 2, 1, 1,
     "system_file_types/icons/users.gif"},
    {22, "Passwd Contact", "list", "passwd_contact", "passwd_history", 2, 2, 1, 1,
     "system_file_types/icons/users.gif"},
    {3, "Groups", "list", "groups", "groups_deleted,groups_history", 2, 2, 1, 1,
     "system_file_types/icons/groups.gif"},
    {4, "File Types", "list", "ftype", "ftype_deleted,ftype_history,ftype_template", 2, 2, 1, 1,
     "system_file_types/icons/file_types.gif"},
    {10, "Table Types", "list", "lgen", "lgen_history,lgen_deleted", 2, 2, 1, 1,
     "system_file_types/icons/table.gif"},
    {11, "Table Type Columns", "list", "lgencol", "lgencol_history,lgencol_deleted", 2, 2, 1, 0,
     "system_file_types/icons/table.gif"},
    {12, "Table Type Options", "list", "lgenopt", "lgenopt_history,lgenopt_deleted", 2, 2, 1, 0,
     "system_file_types/icons/table.gif"},
    {16, "Document Types", "list", "dgen", "dgen_history,dgen_deleted", 2, 2, 1, 1,
     "system_file_types/icons/library_book.gif"},
    {17, "Document Type Columns", "list", "dgencol", "dgencol_history,dgencol_deleted", 2, 2, 1, 0,
     "system_file_types/icons/library_book.gif"},
    {18, "Document Type Options", "list", "dgenopt", "dgenopt_history,dgenopt_deleted", 2, 2, 1, 0,
     "system_file_types/icons/library_book.gif"},
    {21, "Number Schemes", "list", "dnum", "dnum_history,dnum_deleted", 2, 2, 1, 0,
     "system_file_types/icons/library_book.gif"},
};
const int moap_itype_sys_count =
    static_cast<int>(sizeof(moap_itype_sys_table) / sizeof(moap_itype_sys_table[0]));

namespace {

MOAP_ITYPE_T *itype_of(void *container) noexcept {
    return static_cast<MOAP_ITYPE_T *>(container);
}

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

// A generator and the change-mark number its item types were last built at.
struct GenNode {
    MOAP_ITYPE_GENERATOR_T *gen;
    int stamp;
    GenNode *next;
};

// Per session, in the column set's application slot.
struct ItypeState {
    mo_boolean_t system_checked; // the built-in rows were checked in this session
    mo_boolean_t checking;       // under way: reads inside the check are plain reads
    GenNode *generators;         // registered generators, in registration order
};

int state_of(MOT_TOP_STYPE_T *stype, ItypeState **state) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (ks->ref == nullptr) {
        ItypeState *s = nullptr;
        ret = mome_new(stype->aux->mem, stype->keyword_storage->sub_pool_ref, &s);
        if (ret != 0)
            return ret;
        ks->ref = s;
    }
    *state = static_cast<ItypeState *>(ks->ref);
    return 0;
}

void *data_pool(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : stype->aux->mem->req_pool_ref;
}

int set_text(MOT_TOP_STYPE_T *stype, char **field, const char *value, mo_boolean_t *changed) noexcept {
    if (*field != nullptr && strcmp(*field, value) == 0)
        return 0;
    *changed = TRUE;
    return stype->aux->mem->store_string(stype->aux->mem, data_pool(stype), field, value);
}

void set_int(int32_t *field, int value, mo_boolean_t *changed) noexcept {
    if (*field != value) {
        *field = value;
        *changed = TRUE;
    }
}

bool origin_is(const MOAP_ITYPE_T *t, int kind, int origin_id) noexcept {
    const MOIL_IDLIST_T *l = t->sys_id_list;
    return l != nullptr && l->next != nullptr && l->id == kind && l->next->id == origin_id;
}

MOAP_ITYPE_T *find_origin(MOK_DATA_RECORD_T *chain, int kind, int origin_id) noexcept {
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next) {
        MOAP_ITYPE_T *t = itype_of(r->container);
        if (t->new_ == 0 && origin_is(t, kind, origin_id))
            return t;
    }
    return nullptr;
}

// ---------------------------------------------------------------- columns

// Built-in and generated rows are put back at every refresh: only the super user edits item types.
int edit_row_super(MOT_TOP_STYPE_T *stype, void *, mo_boolean_t *ok) noexcept {
    int user_id = -1;
    *ok = FALSE;
    int ret = motsl_current_user_id(stype->aux, &user_id);
    if (ret == 0 && user_id >= 0)
        ret = motsl_check_privilege(stype->aux, user_id, MOTSL_PRIV_ADMIN, ok);
    return ret;
}

int itype_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/itype/0", stype->aux->setup->lib_dir);
}

const MOTSL_DISPLAY_OPTIONS_T object_type_options[] = {
    {.number = 1, .string = "Folder", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "Object", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

const MOTSL_DISPLAY_OPTIONS_T type_options[] = {
    {.number = 1, .string = "User", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "Not-Used", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 3, .string = "Generated", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

// Method 6 is what generated document folders contain; it is offered so that saving such a type
// in the editor keeps it.
const MOTSL_DISPLAY_OPTIONS_T method_options[] = {
    {.number = 3, .string = "Choose from children and parent", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 4, .string = "Choose from children only", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 5, .string = "Choose from cousins only", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 6, .string = "Choose from children or cousins", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 1, .string = "Copy Entry but delete system ID", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "New Entries not allowed", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

constexpr unsigned TV_NAME = MOTSL_TV_MATCH | MOTSL_TV_FILTER | MOTSL_TV_SORTABLE | MOTSL_TV_TITLE;
constexpr unsigned TV_TEXT = MOTSL_TV_MATCH | MOTSL_TV_FILTER | MOTSL_TV_SORTABLE;
constexpr unsigned TV_OPTION = MOTSL_TV_FILTER | MOTSL_TV_SORTABLE;

#define ITYPE_STRING(kw, field, def, title, tv)                                                              \
    {                                                                                                        \
        .keyword = kw, .struct_offset = offsetof(MOAP_ITYPE_T, field), .init_ref = def,                      \
        .common_alloc_fn = motc_common_alloc_string, .user_name = title, .type_vector = tv,                  \
        .default_filter_fn = motsl_filter_string                                                             \
    }
#define ITYPE_OPTION(kw, field, def, title, options)                                                         \
    {                                                                                                        \
        .keyword = kw, .struct_offset = offsetof(MOAP_ITYPE_T, field), .init_ref = mok_int_ref(def),         \
        .common_alloc_fn = motsl_stdlist_common_alloc_option, .user_name = title, .display_ref = options,    \
        .type_vector = TV_OPTION, .default_filter_fn = motsl_filter_option                                   \
    }

const MOTSL_COLUMN_DEF_T itype_columns[] = {
    {.keyword = "N",
     .struct_offset = offsetof(MOAP_ITYPE_T, name),
     .init_ref = "all",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Type Name",
     .help_string = "The name the the type",
     .type_vector = TV_NAME,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "G",
     .struct_offset = offsetof(MOAP_ITYPE_T, graphic_filename),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Graphic File",
     .help_string = "If empty use graphic that ftype id points to",
     .type_vector = 0,
     .cell_list_fn = mowsl_list_graphic,
     .cell_view_fn = mowsl_view_graphic,
     .cell_edit_start_fn = mowsl_edit_start_graphic_icon},
    ITYPE_OPTION("OT", object_type, 1, "Object Type", object_type_options),
    ITYPE_OPTION("T", type, 1, "Type", type_options),
    ITYPE_STRING("OC", open_cmd, "", "Open Cmd", MOTSL_TV_ADVANCED_COL),
    ITYPE_STRING("IC", list_cmd, "", "List Cmd", TV_TEXT),
    ITYPE_STRING("DS", default_stype, "", "Default Stype", TV_TEXT),
    ITYPE_STRING("AS", allowed_stypes, "", "Allowed Stypes", MOTSL_TV_MATCH | MOTSL_TV_ADVANCED_COL),
    ITYPE_STRING("EA", extra_args, "", "Extra Args", MOTSL_TV_ADVANCED_COL),
    ITYPE_OPTION("NM", new_method, 2, "New Method", method_options),
    ITYPE_OPTION("CM", contains_method, 2, "Contains Method", method_options),
    {.keyword = "DT",
     .struct_offset = offsetof(MOAP_ITYPE_T, dir_type),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "Dir Type",
     .type_vector = MOTSL_TV_SORTABLE,
     .default_filter_fn = motsl_filter_integer},
    ITYPE_OPTION("S", searchable, 1, "Searchable", motsl_yes_no_options),
    ITYPE_OPTION("DV", in_dir_view, 1, "Show in Dir View", motsl_yes_no_options),
    {.keyword = "SID",
     .struct_offset = offsetof(MOAP_ITYPE_T, sys_id_list),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_idlist_direct,
     .user_name = "Sys ID",
     .type_vector = 0,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_none},
};
#undef ITYPE_STRING
#undef ITYPE_OPTION

const MOTSL_FAMILY_DEF_T itype_family = {
    .name = "itype",
    .main_id = 1,
    .useropt_id = 3,
    .help = "Active Itype Entries",
    .useropt_help = "Itype user options",
    .lock_element_string = "Itype ID Number",
    .lock_file_string = "Itype Data",
    .access_fn = motsl_access_super_super,
    .edit_row_fn = edit_row_super,
    .size_of_element = sizeof(MOAP_ITYPE_T),
    .columns = itype_columns,
    .column_count = static_cast<int>(sizeof(itype_columns) / sizeof(itype_columns[0])),
    .init_filename = itype_filename,
    .read_data = moap_itype_read_data,
};

// ---------------------------------------------------------------- refresh

// The first record of an empty list keeps its own default id (1), so that a fresh installation
// numbers the built-in rows 1 upward; later records take the largest id plus one.
int first_id_own(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *id_column, MOK_DATA_RECORD_T *new_record,
                 MOK_DATA_RECORD_T *max_record) noexcept {
    if (max_record == new_record)
        return 0;
    return motsl_stdlist_get_new_id(stype, id_column, new_record, max_record);
}

int use_first_id_own(MOT_TOP_SESSION_T *session, const char *name) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, name, &stype);
    if (ret == 0)
        static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref)->get_new_id = first_id_own;
    return ret;
}

// The record of an origin, created with the next id (and marked) when it is missing.
int find_or_add(MOT_TOP_STYPE_T *stype, int kind, int origin_id, MOAP_ITYPE_T **result,
                mo_boolean_t *changed) noexcept {
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the item type refresh", &data);
    if (ret != 0)
        return ret;
    *result = find_origin(data->data_record, kind, origin_id);
    if (*result != nullptr)
        return 0;
    MOK_DATA_RECORD_T *record = nullptr;
    ret = motsl_stdlist_append_new(stype, &record);
    if (ret != 0)
        return ret;
    MOAP_ITYPE_T *t = itype_of(record->container);
    MOIL_IDLIST_T *origin = nullptr;
    ret = moil_add_to_idlist(stype->aux->interm, data_pool(stype), kind, &origin);
    if (ret == 0)
        ret = moil_add_to_idlist(stype->aux->interm, data_pool(stype), origin_id, &origin);
    if (ret != 0)
        return ret;
    t->sys_id_list = origin;
    *changed = TRUE;
    *result = t;
    return 0;
}

// The id of the type of an origin (0 for the origin (0, 0)), reported when missing.
int resolve_dir_type(MOT_TOP_STYPE_T *stype, int kind, int origin_id, int32_t *dir_type) noexcept {
    if (kind == 0 && origin_id == 0) {
        *dir_type = 0;
        return 0;
    }
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the item type refresh", &data);
    if (ret != 0)
        return ret;
    const MOAP_ITYPE_T *parent = find_origin(data->data_record, kind, origin_id);
    if (parent == nullptr) {
        stype->aux->error->report(stype->aux->error, "Can't find dir_type id for sys_id %d,%d\n", kind,
                                  origin_id);
        return 1;
    }
    *dir_type = parent->id;
    return 0;
}

int refresh_builtin(MOT_TOP_STYPE_T *stype, mo_boolean_t *changed) noexcept {
    // Every row exists before any is filled, so that a parent is found whatever the order.
    std::vector<MOAP_ITYPE_T *> rows(static_cast<size_t>(moap_itype_sys_count), nullptr);
    int ret = 0;
    for (int i = 0; ret == 0 && i < moap_itype_sys_count; i++)
        ret =
            find_or_add(stype, MOAP_ITYPE_ORIGIN_BUILTIN, moap_itype_sys_table[i].sys_id, &rows[i], changed);
    for (int i = 0; ret == 0 && i < moap_itype_sys_count; i++) {
        const MOAP_ITYPE_SYS_T *row = &moap_itype_sys_table[i];
        MOAP_ITYPE_T *t = rows[i];
        int32_t dir_type = 0;
        ret = resolve_dir_type(stype, row->parent_sys_id != 0 ? MOAP_ITYPE_ORIGIN_BUILTIN : 0,
                               row->parent_sys_id, &dir_type);
        if (ret == 0)
            ret = set_text(stype, &t->name, row->name, changed);
        if (ret == 0)
            ret = set_text(stype, &t->open_cmd, "", changed);
        if (ret == 0)
            ret = set_text(stype, &t->list_cmd, row->list_cmd, changed);
        if (ret == 0)
            ret = set_text(stype, &t->default_stype, row->default_stype, changed);
        if (ret == 0)
            ret = set_text(stype, &t->allowed_stypes, row->allowed_stypes, changed);
        if (ret == 0)
            ret = set_text(stype, &t->extra_args, "", changed);
        if (ret == 0)
            ret = set_text(stype, &t->graphic_filename, row->graphic_filename, changed);
        if (ret != 0)
            break;
        set_int(&t->new_method, row->new_method, changed);
        set_int(&t->contains_method, row->contains_method, changed);
        set_int(&t->searchable, 0, changed);
        set_int(&t->in_dir_view, 1, changed);
        set_int(&t->object_type, row->object_type, changed);
        set_int(&t->type, MOAP_ITYPE_TYPE_USER, changed);
        set_int(&t->dir_type, dir_type, changed);
    }
    return ret;
}

struct GenContext {
    MOT_TOP_STYPE_T *stype;
    MOAP_ITYPE_GENERATOR_T *gen;
    mo_boolean_t *changed;
};

int generate_row(void *context, const MOAP_ITYPE_SOURCE_ROW_T *row) noexcept {
    auto *c = static_cast<GenContext *>(context);
    MOT_TOP_STYPE_T *stype = c->stype;
    const MOAP_ITYPE_GENERATOR_T *gen = c->gen;
    mo_boolean_t *changed = c->changed;
    MOAP_ITYPE_T *t = nullptr;
    int ret = find_or_add(stype, gen->origin_kind, row->origin_id, &t, changed);
    int32_t dir_type = 0;
    if (ret == 0)
        ret = resolve_dir_type(stype, row->parent_kind, row->parent_origin_id, &dir_type);
    if (ret != 0)
        return ret;
    mo_string_t name, args;
    snprintf(name, sizeof(name), "%s%s", text_of(row->name), text_of(gen->name_suffix));
    snprintf(args, sizeof(args), "%d", row->origin_id);
    // A line break would end the keyword line of the record file.
    for (char *c = name; *c != '\0'; c++)
        if (static_cast<unsigned char>(*c) < 0x20)
            *c = ' ';
    ret = set_text(stype, &t->name, name, changed);
    if (ret == 0)
        ret = set_text(stype, &t->graphic_filename, text_of(row->graphic), changed);
    if (ret == 0)
        ret = set_text(stype, &t->open_cmd, "", changed);
    if (ret == 0)
        ret = set_text(stype, &t->list_cmd, text_of(gen->list_cmd), changed);
    if (ret == 0)
        ret = set_text(stype, &t->default_stype, text_of(gen->default_stype), changed);
    if (ret == 0)
        ret = set_text(stype, &t->allowed_stypes, text_of(gen->allowed_stypes), changed);
    if (ret == 0)
        ret = set_text(stype, &t->extra_args, args, changed);
    if (ret != 0)
        return ret;
    set_int(&t->delete_status, row->delete_status != 0 ? 1 : 0, changed);
    set_int(&t->searchable, gen->searchable, changed);
    set_int(&t->new_method, gen->new_method, changed);
    set_int(&t->contains_method, gen->contains_method, changed);
    set_int(&t->object_type, gen->object_type, changed);
    set_int(&t->in_dir_view, 1, changed);
    set_int(&t->type, MOAP_ITYPE_TYPE_USER, changed);
    set_int(&t->dir_type, dir_type, changed);
    return 0;
}

int mark_path(MOX_AUX_T *aux, const MOAP_ITYPE_GENERATOR_T *gen, char *path) noexcept {
    int n = snprintf(path, MO_FILENAME_LEN, "%s/%s", aux->setup->lib_dir, text_of(gen->mark_constant));
    if (n < 0 || n >= MO_FILENAME_LEN) {
        aux->error->report(aux->error, "Path too long for the change mark %s\n", text_of(gen->mark_constant));
        return 1;
    }
    return 0;
}

// Has any generator's source changed since its item types were built?
int generators_changed(MOT_TOP_STYPE_T *stype, ItypeState *state, mo_boolean_t *load) noexcept {
    int ret = 0;
    for (GenNode *n = state->generators; ret == 0 && n != nullptr && !*load; n = n->next) {
        if (n->gen->mark_constant == nullptr) {
            continue;
        }
        mo_filename_t path;
        ret = mark_path(stype->aux, n->gen, path);
        if (ret == 0)
            ret = momk_mark_check_if_load_needed(stype->aux, path, n->stamp, load);
    }
    return ret;
}

// The stamps are read before the sources, so that a change made meanwhile is seen next time.
int read_stamps(MOT_TOP_STYPE_T *stype, ItypeState *state, std::vector<int> &stamps) noexcept {
    int ret = 0;
    stamps.clear();
    for (GenNode *n = state->generators; ret == 0 && n != nullptr; n = n->next) {
        int stamp = 0;
        if (n->gen->mark_constant != nullptr) {
            mo_filename_t path;
            ret = mark_path(stype->aux, n->gen, path);
            if (ret == 0)
                ret = momk_mark_update_modtime(stype->aux, path, &stamp);
        }
        stamps.push_back(stamp);
    }
    return ret;
}

MOT_TOP_STYPE_T *find_stype_quiet(MOT_TOP_STYPE_T *stype, const char *name) noexcept {
    MOT_TOP_STYPE_T *s = stype->stype_list_ptr != nullptr ? *stype->stype_list_ptr : nullptr;
    for (; s != nullptr; s = s->next)
        if (strcmp(s->name, name) == 0)
            return s;
    return nullptr;
}

// Names already warned about in this process: one warning each, not one per request.
std::set<std::string> &warned_stypes() noexcept {
    static std::set<std::string> warned;
    return warned;
}

void fill_access_defs(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain) noexcept {
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next) {
        MOAP_ITYPE_T *t = itype_of(r->container);
        MOT_TOP_STYPE_T *target = find_stype_quiet(stype, text_of(t->default_stype));
        t->access_def = target != nullptr ? static_cast<MOTSL_ACCESS_DEF_T *>(target->access_ref) : nullptr;
        // Built-in and generated types name the stypes of their own modules: a missing one is a part
        // not built into this program, not an administrator's typing error.
        bool has_origin = t->sys_id_list != nullptr && t->sys_id_list->id != 0;
        if (target != nullptr || has_origin || t->new_ != 0 || t->delete_status == 1)
            continue;
        try {
            if (warned_stypes().insert(text_of(t->default_stype)).second)
                stype->aux->error->report_warning(stype->aux->error,
                                                  "The item type %s (id %d) names the stype %s, which is not "
                                                  "registered: it gives no access\n",
                                                  text_of(t->name), t->id, text_of(t->default_stype));
        } catch (const std::bad_alloc &) {
            // Only the warning is lost.
        }
    }
}

int refresh(MOT_TOP_STYPE_T *stype, ItypeState *state, MOK_DATA_RECORD_T **first) noexcept {
    std::vector<int> stamps;
    // A caller that already holds the write lock keeps it: it is neither taken nor given back here.
    int held = FALSE;
    int ret = stype->lock_file(stype, MOLK_FILE_WRITE_HELD, &held);
    if (ret == 0 && !held)
        ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    state->checking = TRUE;
    mo_boolean_t changed = FALSE;
    try {
        ret = read_stamps(stype, state, stamps);
    } catch (const std::bad_alloc &) {
        stype->aux->error->report(stype->aux->error, "Out of memory\n");
        ret = 1;
    }
    if (ret == 0)
        ret = motsl_stdlist_read_data_no_default(stype, first);
    if (ret == 0)
        ret = refresh_builtin(stype, &changed);
    for (GenNode *n = state->generators; ret == 0 && n != nullptr; n = n->next) {
        if (n->gen->for_each_row == nullptr)
            continue;
        GenContext context{stype, n->gen, &changed};
        ret = n->gen->for_each_row(n->gen, stype->aux, generate_row, &context);
    }
    if (ret == 0 && changed)
        ret = stype->write_data(stype);
    state->checking = FALSE;
    if (!held) {
        int release = stype->lock_file(stype, MOLK_FILE_WRITE_RELEASE, nullptr);
        if (ret == 0)
            ret = release;
    }
    if (ret != 0)
        return ret;
    state->system_checked = TRUE;
    size_t i = 0;
    for (GenNode *n = state->generators; n != nullptr && i < stamps.size(); n = n->next, i++)
        n->stamp = stamps[i];
    MOTSL_DATASTRUCT_T *data = nullptr;
    ret = motsl_get_datastruct(stype, stype->name, &data);
    // Records were added after the id index was built: it is built again over the chain.
    if (ret == 0 && changed && data->id_array != nullptr)
        ret = motc_init_id_array(stype->aux, data->id_array, data->data_record, offsetof(MOAP_ITYPE_T, id),
                                 data_pool(stype));
    if (ret == 0)
        *first = data->data_record;
    return ret;
}

MOTSL_DATASTRUCT_T *itypes_of(MOIT_ITEM_T *item) noexcept {
    auto *cell = static_cast<MOT_TOP_STORAGE_T *>(item->itype_ref);
    return cell != nullptr ? static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref) : nullptr;
}

int not_read(MOIT_ITEM_T *item) noexcept {
    item->interm->error->report(item->interm->error, "The item types have not been read\n");
    return 1;
}

bool visible(const MOAP_ITYPE_T *t) noexcept {
    return t->delete_status != 1 && t->new_ == 0;
}

} // namespace

// ---------------------------------------------------------------- registration and loading

int moap_itype_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = motsl_register_family(session, &itype_family);
    if (ret == 0)
        ret = use_first_id_own(session, "itype");
    MOT_TOP_STYPE_T *useropt = nullptr;
    if (ret == 0)
        ret = mot_top_find_stype(session->storage.stype_list, session->aux, "itype_useropt", &useropt);
    if (ret == 0) {
        useropt->lock_element_string = "Itype User Option";
        useropt->lock_file_string = "Itype User Option Data";
    }
    return ret;
}

int moap_itype_setup(MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    return mot_top_find_stype(session->storage.stype_list, session->aux, "itype", &stype);
}

int moap_itype_register_generator(MOT_TOP_SESSION_T *session, MOAP_ITYPE_GENERATOR_T *gen) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    ItypeState *state = nullptr;
    GenNode *node = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, "itype", &stype);
    if (ret == 0)
        ret = state_of(stype, &state);
    if (ret == 0)
        ret = mome_new(session->aux->mem, stype->keyword_storage->sub_pool_ref, &node);
    if (ret != 0)
        return ret;
    node->gen = gen;
    node->stamp = 0;
    mo_list_append(&state->generators, node);
    // The new source's types are made at the next load.
    state->system_checked = FALSE;
    return 0;
}

int moap_itype_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    ItypeState *state = nullptr;
    int ret = state_of(stype, &state);
    if (ret != 0)
        return ret;
    if (state->checking)
        return motsl_stdlist_read_data_no_default(stype, first);
    mo_boolean_t load = state->system_checked ? FALSE : TRUE;
    if (!load && !stype->data_loaded)
        ret = generators_changed(stype, state, &load);
    if (ret == 0)
        ret = load ? refresh(stype, state, first) : motsl_stdlist_read_data_no_default(stype, first);
    // Records read again are new records: every load gives them their definitions.
    if (ret == 0)
        fill_access_defs(stype, *first);
    return ret;
}

int moap_itype_init_itype_array(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    MOTSL_DATASTRUCT_T *data = nullptr;
    item->itype_ref = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, "itype", &stype);
    if (ret == 0 && stype->filename == nullptr)
        ret = motsl_set_position(stype, 0, 0, 0);
    if (ret == 0 && stype->filename == nullptr)
        ret = stype->init_struct(stype, nullptr, FALSE);
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = motsl_get_datastruct(stype, "itype", &data);
    if (ret == 0)
        item->itype_ref = stype->data_storage;
    return ret;
}

// ---------------------------------------------------------------- accessors

int moap_itype_find(MOIT_ITEM_T *item, int type_id, MOAP_ITYPE_T **itype) noexcept {
    *itype = nullptr;
    MOTSL_DATASTRUCT_T *data = itypes_of(item);
    if (data == nullptr)
        return not_read(item);
    void *container = nullptr;
    if (motc_get_container_from_id_array(data->id_array, type_id, &container) != 0 || container == nullptr) {
        item->interm->error->report(item->interm->error, "Item type id %d not found\n", type_id);
        return 1;
    }
    *itype = itype_of(container);
    return 0;
}

#define MOAP_ITYPE_TEXT_ACCESSOR(fn, field)                                                                  \
    int fn(MOIT_ITEM_T *item, int type_id, const char **result) noexcept {                                   \
        MOAP_ITYPE_T *t = nullptr;                                                                           \
        *result = "";                                                                                        \
        int ret = moap_itype_find(item, type_id, &t);                                                        \
        if (ret == 0)                                                                                        \
            *result = text_of(t->field);                                                                     \
        return ret;                                                                                          \
    }
#define MOAP_ITYPE_INT_ACCESSOR(fn, field)                                                                   \
    int fn(MOIT_ITEM_T *item, int type_id, int *result) noexcept {                                           \
        MOAP_ITYPE_T *t = nullptr;                                                                           \
        *result = 0;                                                                                         \
        int ret = moap_itype_find(item, type_id, &t);                                                        \
        if (ret == 0)                                                                                        \
            *result = t->field;                                                                              \
        return ret;                                                                                          \
    }
MOAP_ITYPE_TEXT_ACCESSOR(moap_itype_get_name, name)
MOAP_ITYPE_TEXT_ACCESSOR(moap_itype_get_graphic, graphic_filename)
MOAP_ITYPE_TEXT_ACCESSOR(moap_itype_get_default_stype, default_stype)
MOAP_ITYPE_TEXT_ACCESSOR(moap_itype_get_allowed_stypes, allowed_stypes)
MOAP_ITYPE_TEXT_ACCESSOR(moap_itype_get_extra_args, extra_args)
MOAP_ITYPE_TEXT_ACCESSOR(moap_itype_get_list_cmd, list_cmd)
MOAP_ITYPE_INT_ACCESSOR(moap_itype_get_type, type)
MOAP_ITYPE_INT_ACCESSOR(moap_itype_get_new_method, new_method)
MOAP_ITYPE_INT_ACCESSOR(moap_itype_get_contains_method, contains_method)
MOAP_ITYPE_INT_ACCESSOR(moap_itype_get_dir_type, dir_type)
MOAP_ITYPE_INT_ACCESSOR(moap_itype_get_searchable, searchable)
MOAP_ITYPE_INT_ACCESSOR(moap_itype_get_in_dir_view, in_dir_view)
MOAP_ITYPE_INT_ACCESSOR(moap_itype_get_object_type, object_type)
#undef MOAP_ITYPE_TEXT_ACCESSOR
#undef MOAP_ITYPE_INT_ACCESSOR

int moap_itype_get_sys_id(MOIT_ITEM_T *item, int type_id, int *kind, int *origin_id) noexcept {
    MOAP_ITYPE_T *t = nullptr;
    *kind = 0;
    *origin_id = 0;
    int ret = moap_itype_find(item, type_id, &t);
    if (ret == 0 && t->sys_id_list != nullptr && t->sys_id_list->next != nullptr) {
        *kind = t->sys_id_list->id;
        *origin_id = t->sys_id_list->next->id;
    }
    return ret;
}

int moap_itype_find_sys_id(MOIT_ITEM_T *item, int kind, int origin_id, int *result) noexcept {
    *result = 0;
    MOTSL_DATASTRUCT_T *data = itypes_of(item);
    if (data == nullptr)
        return not_read(item);
    const MOAP_ITYPE_T *t = find_origin(data->data_record, kind, origin_id);
    if (t == nullptr) {
        item->interm->error->report(item->interm->error, "Can't find itype with sys_id %d,%d\n", kind,
                                    origin_id);
        return 1;
    }
    *result = t->id;
    return 0;
}

int moap_itype_get_access_fn(MOIT_ITEM_T *item, int type_id, MOTSL_ACCESS_DEF_T **result) noexcept {
    *result = nullptr;
    MOTSL_DATASTRUCT_T *data = itypes_of(item);
    void *container = nullptr;
    if (data != nullptr && motc_get_container_from_id_array(data->id_array, type_id, &container) == 0 &&
        container != nullptr)
        *result = itype_of(container)->access_def;
    if (*result == nullptr) {
        item->interm->error->report(item->interm->error, "Can't find access definition with type_id %d\n",
                                    type_id);
        return 1;
    }
    return 0;
}

int moap_itype_get_idlist_of_sys_type(MOIT_ITEM_T *item, int kind, MOIL_IDLIST_T **result) noexcept {
    *result = nullptr;
    MOTSL_DATASTRUCT_T *data = itypes_of(item);
    if (data == nullptr)
        return not_read(item);
    int ret = 0;
    for (MOK_DATA_RECORD_T *r = data->data_record; ret == 0 && r != nullptr; r = r->next) {
        const MOAP_ITYPE_T *t = itype_of(r->container);
        if (visible(t) && t->sys_id_list != nullptr && t->sys_id_list->id == kind)
            ret = moil_add_to_idlist(item->interm, item->interm->mem->req_pool_ref, t->id, result);
    }
    return ret;
}

mo_boolean_t moap_itype_check_dir(int parent_type_id, int method, int parent_dir_type, int candidate_dir_type,
                                  int candidate_id) noexcept {
    switch (method) {
        case MOAP_ITYPE_METHOD_SAME:
            return candidate_id == parent_type_id ? TRUE : FALSE;
        case MOAP_ITYPE_METHOD_CHILDREN_PARENT:
            return candidate_dir_type == parent_type_id || candidate_id == parent_type_id ? TRUE : FALSE;
        case MOAP_ITYPE_METHOD_CHILDREN:
            return candidate_dir_type == parent_type_id ? TRUE : FALSE;
        case MOAP_ITYPE_METHOD_COUSINS:
            return candidate_dir_type == parent_dir_type ? TRUE : FALSE;
        case MOAP_ITYPE_METHOD_CHILDREN_COUSINS:
            return candidate_dir_type == parent_type_id || candidate_dir_type == parent_dir_type ? TRUE
                                                                                                 : FALSE;
        default: // 2 and anything unknown: nothing goes in
            return FALSE;
    }
}

int moap_itype_get_dir_type_list(MOIT_ITEM_T *item, int parent_type_id, int object_type,
                                 MOIL_IDLIST_T **result) noexcept {
    *result = nullptr;
    MOAP_ITYPE_T *parent = nullptr;
    int ret = moap_itype_find(item, parent_type_id, &parent);
    if (ret != 0)
        return ret;
    MOTSL_DATASTRUCT_T *data = itypes_of(item);
    for (MOK_DATA_RECORD_T *r = data->data_record; ret == 0 && r != nullptr; r = r->next) {
        const MOAP_ITYPE_T *t = itype_of(r->container);
        if (visible(t) && t->object_type == object_type &&
            moap_itype_check_dir(parent->id, parent->new_method, parent->dir_type, t->dir_type, t->id))
            ret = moil_add_to_idlist(item->interm, item->interm->mem->req_pool_ref, t->id, result);
    }
    return ret;
}

int moap_itype_contains_check_if_allowed(MOIT_ITEM_T *item, int parent_type_id, int parent_contains_method,
                                         int parent_dir_type, int candidate_id,
                                         mo_boolean_t *allowed) noexcept {
    *allowed = FALSE;
    MOTSL_DATASTRUCT_T *data = itypes_of(item);
    if (data == nullptr)
        return not_read(item);
    void *container = nullptr;
    if (motc_get_container_from_id_array(data->id_array, candidate_id, &container) != 0 ||
        container == nullptr)
        return 0;
    const MOAP_ITYPE_T *t = itype_of(container);
    if (!visible(t))
        return 0;
    *allowed =
        moap_itype_check_dir(parent_type_id, parent_contains_method, parent_dir_type, t->dir_type, t->id);
    return 0;
}

// ---------------------------------------------------------------- choosers

namespace {

// A link built by the system stays as it is; the few characters that could end the attribute or
// the string it stands in are URL-escaped.
std::string attribute_link(const char *link) {
    std::string out;
    char hex[8];
    for (const char *p = text_of(link); *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || c == ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\') {
            snprintf(hex, sizeof(hex), "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Text inside a script string: quotes, angle brackets, the backslash and control characters become
// escapes, so the string can neither end nor close the script block ("&" means nothing there).
std::string script_text(const char *text) {
    std::string out;
    char hex[8];
    const char *p = text_of(text);
    for (; *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\') {
            snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Text inside an HTML comment (or an attribute): the HTML escapes, and "-" before "-" so that no
// "--" can end the comment.
std::string comment_text(const char *text) {
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
            case '-':
                out += p[1] == '-' ? "&#45;" : "-";
                break;
            default:
                out += *p;
        }
    }
    return out;
}

int chooser_script(MOOU_OUT_DEF_T *out_def, const std::string &link) noexcept {
    int ret = out_def->line_fn(out_def, "<script language=\"JavaScript\" type=\"text/javascript\">\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<!--  Hide me please!\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "function NewSelect(type_id)\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "{\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "     opener.location = \"%s\" + \"&\" + type_id; \n", link.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "     window.close(); \n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "} \n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "//-->\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</script>\n");
    return ret;
}

int out_of_memory(MOIT_ITEM_T *item) noexcept {
    item->interm->error->report(item->interm->error, "Out of memory\n");
    return 1;
}

int write_options(MOOU_OUT_DEF_T *out_def, const char *field, const std::vector<std::string> &names,
                  const std::string &selected) noexcept {
    int ret = out_def->line_fn(out_def, "<SELECT NAME=%s>\n", field);
    for (size_t i = 0; ret == 0 && i < names.size(); i++) {
        ret = out_def->line_fn(out_def, "<OPTION%s>", names[i] == selected ? " SELECTED" : "");
        if (ret == 0)
            ret = motsl_out_protected(out_def, names[i].c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</OPTION>\n");
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</SELECT>\n");
    return ret;
}

} // namespace

int moap_itype_plain_chooser(MOIT_ITEM_T *item, MOOU_OUT_DEF_T *out_def, const char *link,
                             const MOIL_IDLIST_T *offered) noexcept {
    MOX_AUX_T *aux = item->aux;
    try {
        std::string js_link = script_text(link);
        int ret = chooser_script(out_def, js_link);
        for (const MOIL_IDLIST_T *n = offered; ret == 0 && n != nullptr; n = n->next) {
            MOAP_ITYPE_T *t = nullptr;
            ret = moap_itype_find(item, n->id, &t);
            if (ret != 0 || t->delete_status == 1)
                continue;
            mo_string_t select;
            snprintf(select, sizeof(select), "/junk\" onclick=\"NewSelect(%d); return false;", t->id);
            // A type defined without an icon shows as what it is, as its items do.
            const char *graphic = text_of(t->graphic_filename);
            if (graphic[0] == '\0')
                graphic = t->object_type == MOAP_ITYPE_FOLDER ? "system_file_types/folders/dir2.gif"
                                                              : "system_file_types/icons/unknown.gif";
            ret = mow_web_insert_graphic_button(aux, out_def, graphic, "Create New", select);
            if (ret == 0)
                ret = out_def->line_fn(out_def, " <A HREF=\"%s\"> ", select);
            if (ret == 0)
                ret = motsl_out_protected(out_def, text_of(t->name));
            if (ret == 0)
                ret = out_def->line_fn(out_def, "</A> <BR>\n");
        }
        return ret;
    } catch (const std::bad_alloc &) {
        return out_of_memory(item);
    }
}

int moap_itype_doc_chooser(MOIT_ITEM_T *item, MOOU_OUT_DEF_T *out_def, const char *link,
                           const MOAP_ITYPE_DOC_CHOICE_T *choices, int choice_count,
                           int selected_id) noexcept {
    try {
        std::vector<std::string> types, nums;
        std::string selected_type, selected_num;
        for (int i = 0; i < choice_count; i++) {
            std::string type = text_of(choices[i].doc_type), num = text_of(choices[i].doc_num);
            if (std::find(types.begin(), types.end(), type) == types.end())
                types.push_back(type);
            if (std::find(nums.begin(), nums.end(), num) == nums.end())
                nums.push_back(num);
            if (choices[i].type_id == selected_id) {
                selected_type = type;
                selected_num = num;
            }
        }
        std::string js_link = script_text(link);
        int ret = out_def->line_fn(out_def, "<script language=\"JavaScript\" type=\"text/javascript\">\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<!--  Hide me please!\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "function DocSelect()\n{\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "     var f = document.DOC_CHOOSE;\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def,
                                   "     var typeName = f.DOC_TYPE.options[f.DOC_TYPE.selectedIndex].text"
                                   " + \", \" + f.DOC_NUM.options[f.DOC_NUM.selectedIndex].text;\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "     var typeId = 0;\n");
        for (int i = 0; ret == 0 && i < choice_count; i++) {
            std::string name = std::string(text_of(choices[i].doc_type)) + ", " + text_of(choices[i].doc_num);
            ret = out_def->line_fn(out_def, "if (typeName == '%s') {typeId = %d; }\n",
                                   script_text(name.c_str()).c_str(), choices[i].type_id);
        }
        if (ret == 0)
            ret = out_def->line_fn(out_def, "     if (typeId == 0) {\n"
                                            "          alert(\"This combination is not available\");\n"
                                            "          return false;\n     }\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "     opener.location = \"%s\" + \"&\" + typeId; \n",
                                   js_link.c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "     window.close(); \n     return false;\n} \n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "//-->\n</script>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<!--ACTION_DEF LINK=\"%s\"-->\n", attribute_link(link).c_str());
        for (int i = 0; ret == 0 && i < choice_count; i++) {
            std::string name = std::string(text_of(choices[i].doc_type)) + ", " + text_of(choices[i].doc_num);
            ret = out_def->line_fn(out_def, "<!--TYPE_DEF NAME=\"%s\" ID=\"%d\" SELECTED=\"%s\"-->\n",
                                   comment_text(name.c_str()).c_str(), choices[i].type_id,
                                   choices[i].type_id == selected_id ? "YES" : "NO");
        }
        if (ret == 0)
            ret = out_def->line_fn(out_def,
                                   "<FORM NAME=DOC_CHOOSE ACTION=\"/junk\" METHOD=POST "
                                   "ENCTYPE=\"multipart/form-data\" onsubmit=\"return DocSelect();\">\n");
        if (ret == 0)
            ret = out_def->line_fn(
                out_def, "<TABLE BORDER=0 CELLPADDING=4 SUMMARY=\"\">\n"
                         "<TR><TH ALIGN=LEFT>Doc Folder</TH><TH ALIGN=LEFT>Numbering Scheme</TH></TR>\n"
                         "<TR><TD>\n");
        if (ret == 0)
            ret = write_options(out_def, "DOC_TYPE", types, selected_type);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD><TD>\n");
        if (ret == 0)
            ret = write_options(out_def, "DOC_NUM", nums, selected_num);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD></TR>\n<TR><TD COLSPAN=2 ALIGN=CENTER>\n"
                                            "<INPUT TYPE=SUBMIT NAME=\"OK\" VALUE=\"OK\">\n"
                                            "<INPUT TYPE=BUTTON NAME=\"Cancel\" VALUE=\"Cancel\" "
                                            "onclick=\"window.close(); return false;\">\n"
                                            "</TD></TR>\n</TABLE>\n</FORM>\n");
        return ret;
    } catch (const std::bad_alloc &) {
        return out_of_memory(item);
    }
}
