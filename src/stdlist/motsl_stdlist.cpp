// Declaring content types: the family of storage types, the shared column set with its generic
// columns, the type storage, the keyword arrays the file reader works from, and the option and
// colour tables of the generic columns.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "platform/most_setup_cmn.h"

#include <cstring>
#include <string>

using namespace motsl_local;

const MOTSL_DISPLAY_OPTIONS_T motsl_delete_status_options[] = {
    {.number = 0, .string = "Active", .color_index = 1, .choose_access_fn = nullptr},
    {.number = 1, .string = "Deleted", .color_index = 2, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

const MOTSL_DISPLAY_OPTIONS_T motsl_yes_no_options[] = {
    {.number = 1, .string = "Yes", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 0, .string = "No", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

const MOTSL_DISPLAY_OPTIONS_T motsl_starting_rev_options[] = {
    {.number = 0, .string = "0.1", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 1, .string = "1.0", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

const MOTSL_DISPLAY_OPTIONS_T motsl_history_op_options[] = {
    {.number = 0, .string = "Created", .color_index = 1, .choose_access_fn = nullptr},
    {.number = 1, .string = "Modified", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "Deleted", .color_index = 2, .choose_access_fn = nullptr},
    {.number = 3, .string = "Undeleted", .color_index = 1, .choose_access_fn = nullptr},
    {.number = 4, .string = "Check In", .color_index = 3, .choose_access_fn = nullptr},
    {.number = 5, .string = "Check Out", .color_index = 4, .choose_access_fn = nullptr},
    {.number = 6, .string = "View", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 7, .string = "Moved", .color_index = 5, .choose_access_fn = nullptr},
    {.number = 8, .string = "Aborted", .color_index = 2, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

const MOTSL_COLORS_T motsl_colors[] = {
    {.index = 0,
     .sort_id = 1,
     .name = "None",
     .normal_color = "",
     .alt_color = "",
     .color_graphic = "backgrounds/color_none.gif"},
    {.index = 1,
     .sort_id = 2,
     .name = "Light Green",
     .normal_color = "LightGreen",
     .alt_color = "LightGreen",
     .color_graphic = "backgrounds/color_light_green.gif"},
    {.index = 2,
     .sort_id = 3,
     .name = "Light Red",
     .normal_color = "#FF584F",
     .alt_color = "#FF584F",
     .color_graphic = "backgrounds/color_light_red.gif"},
    {.index = 3,
     .sort_id = 4,
     .name = "Orange",
     .normal_color = "#FFBF8F",
     .alt_color = "#FFBF8F",
     .color_graphic = "backgrounds/color_orange.gif"},
    {.index = 4,
     .sort_id = 5,
     .name = "Purple",
     .normal_color = "#C799C7",
     .alt_color = "#C799C7",
     .color_graphic = "backgrounds/color_purple.gif"},
    {.index = 5,
     .sort_id = 6,
     .name = "Blue",
     .normal_color = "#BBCEED",
     .alt_color = "#BBCEED",
     .color_graphic = "backgrounds/color_blue.gif"},
    {.index = -1,
     .sort_id = 0,
     .name = nullptr,
     .normal_color = nullptr,
     .alt_color = nullptr,
     .color_graphic = nullptr},
};

// ---------------------------------------------------------------- column access and row filters

int motsl_col_access_all(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = TRUE;
    return 0;
}

int motsl_col_access_none(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *result) noexcept {
    *result = FALSE;
    return 0;
}

int motsl_col_access_in_deleted(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *,
                                mo_boolean_t *result) noexcept {
    *result = stype->type == MOT_STYPE_SECONDARY ? TRUE : FALSE;
    return 0;
}

int motsl_row_active_committed(MOT_TOP_STYPE_T *, void *container, mo_boolean_t *ok) noexcept {
    const auto *head = static_cast<const MOTSL_ELEMENT_T *>(container);
    *ok = head->delete_status == 0 && head->new_ == 0 ? TRUE : FALSE;
    return 0;
}

int motsl_row_deleted_committed(MOT_TOP_STYPE_T *, void *container, mo_boolean_t *ok) noexcept {
    const auto *head = static_cast<const MOTSL_ELEMENT_T *>(container);
    *ok = head->delete_status == 1 && head->new_ == 0 ? TRUE : FALSE;
    return 0;
}

// ---------------------------------------------------------------- columns

int motsl_get_key_struct(MOT_TOP_STYPE_T *stype, MOTSL_APPLIC_KEYWORDSTRUCT_T **key_struct) noexcept {
    *key_struct = nullptr;
    if (stype->type == MOT_STYPE_USER_OPTIONS || stype->keyword_storage == nullptr ||
        stype->keyword_storage->struct_ref == nullptr) {
        err(stype->aux)
            ->report(err(stype->aux), "The columns of stype %s have not been registered\n", stype->name);
        return 1;
    }
    *key_struct = static_cast<MOTSL_APPLIC_KEYWORDSTRUCT_T *>(stype->keyword_storage->struct_ref);
    return 0;
}

int motsl_find_column(MOT_TOP_STYPE_T *stype, const char *keyword,
                      MOTSL_STDLIST_KEYWORD_T **column) noexcept {
    *column = nullptr;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next) {
        if (keyword != nullptr && strcmp(node->stdlist->common->gen_keyword.keyword, keyword) == 0) {
            *column = node->stdlist;
            return 0;
        }
    }
    err(stype->aux)
        ->report(err(stype->aux), "No keyword %s exists in the motc_find_keyword for stype %s\n",
                 keyword ? keyword : "", stype->name);
    return 1;
}

int motsl_stdlist_alloc(MOT_TOP_STYPE_T *stype, void *pool_ref, const MOTSL_COLUMN_DEF_T *def,
                        MOTSL_STDLIST_KEYWORD_T **column_ptr) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *column_ptr = nullptr;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (def->common_alloc_fn == nullptr || def->keyword == nullptr) {
        err(aux)->report(err(aux), "Column of stype %s has no keyword or value type\n", stype->name);
        return 1;
    }
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    MOTSL_APPLIC_KEYWORD_T *node = nullptr;
    MOTC_COMMON_KEYWORD_T *common = nullptr;
    ret = mome_new(aux->mem, pool_ref, &column);
    if (ret == 0)
        ret = mome_new(aux->mem, pool_ref, &column->useropt_ref);
    if (ret == 0)
        ret = mome_new(aux->mem, pool_ref, &column->access_type);
    if (ret == 0)
        ret = mome_new(aux->mem, pool_ref, &node);
    if (ret == 0)
        ret = def->common_alloc_fn(aux, pool_ref, &common, def->keyword, def->struct_offset, def->init_ref);
    if (ret != 0)
        return ret;
    // The value type finds its column (option table, array info) through this link at once.
    common->type_keyword_ref = column;
    common->applic_keyword_ref = node;
    common->aux = aux;
    column->common = common;
    column->index = 0;
    column->user_name = def->user_name != nullptr ? def->user_name : "";
    column->help_string = def->help_string != nullptr ? def->help_string : "";
    column->display_ref = def->display_ref;
    column->type_vector = def->type_vector;
    column->current_filter_fn = nullptr;
    column->view_access_fn = def->view_access_fn;
    column->edit_access_fn = def->edit_access_fn;
    column->bview_access_fn = def->bview_access_fn;
    column->cell_header_fn = def->cell_header_fn;
    column->cell_list_fn = def->cell_list_fn;
    column->cell_view_fn = def->cell_view_fn;
    column->cell_edit_start_fn = def->cell_edit_start_fn;
    column->cell_edit_end_fn = def->cell_edit_end_fn;
    column->cell_edit_check_fn = def->cell_edit_check_fn;
    column->cell_sort_fn = def->cell_sort_fn;
    column->get_real_filter_fn = def->get_real_filter_fn;
    column->view_text_fn = def->view_text_fn;
    column->cell_bview_fn = def->cell_bview_fn;
    column->cell_bedit_start_fn = def->cell_bedit_start_fn;
    column->default_filter_fn = def->default_filter_fn;
    column->applic_keyword_ref = nullptr;
    node->stdlist = column;
    node->next = nullptr;
    MOTSL_APPLIC_KEYWORD_T **link = &ks->keyword_list;
    while (*link != nullptr) {
        if (strcmp((*link)->stdlist->common->gen_keyword.keyword, def->keyword) == 0) {
            err(aux)->report(err(aux), "Keyword %s is declared twice in stype %s\n", def->keyword,
                             stype->name);
            return 1;
        }
        link = &(*link)->next;
    }
    *link = node;
    *column_ptr = column;
    return 0;
}

int motsl_column_register(MOT_TOP_STYPE_T *stype, const MOTSL_COLUMN_DEF_T *def,
                          MOTSL_STDLIST_KEYWORD_T **column_ptr) noexcept {
    MOTSL_COLUMN_DEF_T full = *def;
    if (full.view_access_fn == nullptr)
        full.view_access_fn = motsl_col_access_all;
    if (full.edit_access_fn == nullptr)
        full.edit_access_fn = motsl_col_access_all;
    if (full.bview_access_fn == nullptr)
        full.bview_access_fn = motsl_col_access_none;
    if (full.cell_sort_fn == nullptr)
        full.cell_sort_fn = motsl_default_cell_sort;
    if (full.view_text_fn == nullptr)
        full.view_text_fn = motsl_default_view_text;
    if (full.get_real_filter_fn == nullptr)
        full.get_real_filter_fn = motsl_get_filter_fn;
    if (full.default_filter_fn == nullptr)
        full.default_filter_fn = motsl_filter_general;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    void *pool =
        stype->keyword_storage != nullptr ? stype->keyword_storage->sub_pool_ref : stype->keyword_pool_ref;
    int ret = motsl_stdlist_alloc(stype, pool, &full, &column);
    if (column_ptr != nullptr)
        *column_ptr = column;
    return ret;
}

int motsl_applic_keyword_register_sp(
    MOT_TOP_STYPE_T *stype, const char *keyword, size_t struct_offset, const void *init_ref,
    motsl_common_alloc_fn_t common_alloc_fn, const char *user_name, const char *help_string,
    const void *display_ref, unsigned type_vector, motsl_col_access_fn_t view_access_fn,
    motsl_col_access_fn_t edit_access_fn, motsl_col_access_fn_t bview_access_fn,
    motsl_cell_header_fn_t cell_header_fn, motsl_cell_fn_t cell_list_fn, motsl_cell_fn_t cell_view_fn,
    motsl_cell_fn_t cell_edit_start_fn, motsl_cell_edit_end_fn_t cell_edit_end_fn,
    motsl_cell_edit_check_fn_t cell_edit_check_fn, motsl_cell_sort_fn_t cell_sort_fn,
    motsl_get_real_filter_fn_t get_real_filter_fn, motsl_view_text_fn_t view_text_fn,
    motsl_cell_fn_t cell_bview_fn, motsl_cell_fn_t cell_bedit_start_fn,
    motsl_filter_fn_t default_filter_fn) noexcept {
    const MOTSL_COLUMN_DEF_T def = {
        .keyword = keyword,
        .struct_offset = struct_offset,
        .init_ref = init_ref,
        .common_alloc_fn = common_alloc_fn,
        .user_name = user_name,
        .help_string = help_string,
        .display_ref = display_ref,
        .type_vector = type_vector,
        .view_access_fn = view_access_fn,
        .edit_access_fn = edit_access_fn,
        .bview_access_fn = bview_access_fn,
        .cell_header_fn = cell_header_fn,
        .cell_list_fn = cell_list_fn,
        .cell_view_fn = cell_view_fn,
        .cell_edit_start_fn = cell_edit_start_fn,
        .cell_edit_end_fn = cell_edit_end_fn,
        .cell_edit_check_fn = cell_edit_check_fn,
        .cell_sort_fn = cell_sort_fn,
        .get_real_filter_fn = get_real_filter_fn,
        .view_text_fn = view_text_fn,
        .cell_bview_fn = cell_bview_fn,
        .cell_bedit_start_fn = cell_bedit_start_fn,
        .default_filter_fn = default_filter_fn,
    };
    return motsl_column_register(stype, &def, nullptr);
}

int motsl_applic_keyword_register(MOT_TOP_STYPE_T *stype, const char *keyword, size_t struct_offset,
                                  const void *init_ref, motsl_common_alloc_fn_t common_alloc_fn,
                                  const char *user_name, const char *help_string, const void *display_ref,
                                  unsigned type_vector, motsl_col_access_fn_t view_access_fn,
                                  motsl_col_access_fn_t edit_access_fn, motsl_cell_fn_t cell_list_fn,
                                  motsl_cell_fn_t cell_view_fn, motsl_cell_fn_t cell_edit_start_fn,
                                  motsl_cell_edit_end_fn_t cell_edit_end_fn,
                                  motsl_cell_edit_check_fn_t cell_edit_check_fn,
                                  motsl_get_real_filter_fn_t get_real_filter_fn,
                                  motsl_filter_fn_t default_filter_fn) noexcept {
    return motsl_applic_keyword_register_sp(
        stype, keyword, struct_offset, init_ref, common_alloc_fn, user_name, help_string, display_ref,
        type_vector, view_access_fn, edit_access_fn, motsl_col_access_none, nullptr, cell_list_fn,
        cell_view_fn, cell_edit_start_fn, cell_edit_end_fn, cell_edit_check_fn, motsl_default_cell_sort,
        get_real_filter_fn, motsl_default_view_text, nullptr, nullptr, default_filter_fn);
}

// The generic columns. Their cells are the list pages' defaults (string cells for "ID" and "NEW",
// option cells for "DEL", the edit-and-history cell for "EDIT").
int motsl_id_keyword_register(MOT_TOP_STYPE_T *stype, size_t offset) noexcept {
    const MOTSL_COLUMN_DEF_T def = {
        .keyword = "ID",
        .struct_offset = offset,
        .init_ref = mok_int_ref(1),
        .common_alloc_fn = motc_common_alloc_integer,
        .user_name = "ID",
        .help_string = "",
        .type_vector = MOTSL_TV_MATCH,
        .view_access_fn = motsl_col_access_none,
        .edit_access_fn = motsl_col_access_none,
        .bview_access_fn = motsl_col_access_all,
        .default_filter_fn = motsl_filter_integer,
    };
    return motsl_column_register(stype, &def, nullptr);
}

int motsl_new_keyword_register(MOT_TOP_STYPE_T *stype, size_t offset) noexcept {
    const MOTSL_COLUMN_DEF_T def = {
        .keyword = "NEW",
        .struct_offset = offset,
        .init_ref = mok_int_ref(0),
        .common_alloc_fn = motc_common_alloc_user_id,
        .user_name = "New",
        .help_string = "User Name of New Element",
        .type_vector = MOTSL_TV_FILTER,
        .view_access_fn = motsl_col_access_none,
        .edit_access_fn = motsl_col_access_none,
        .bview_access_fn = motsl_col_access_none,
        .default_filter_fn = motsl_filter_integer,
    };
    return motsl_column_register(stype, &def, nullptr);
}

int motsl_del_keyword_register(MOT_TOP_STYPE_T *stype, size_t offset, motsl_col_access_fn_t view_access_fn,
                               motsl_cell_edit_check_fn_t edit_check_fn) noexcept {
    const MOTSL_COLUMN_DEF_T def = {
        .keyword = "DEL",
        .struct_offset = offset,
        .init_ref = mok_int_ref(0),
        .common_alloc_fn = motsl_stdlist_common_alloc_option,
        .user_name = "Status",
        .help_string = "Change delete status",
        .display_ref = motsl_delete_status_options,
        .type_vector = MOTSL_TV_FILTER,
        .view_access_fn = view_access_fn != nullptr ? view_access_fn : motsl_col_access_in_deleted,
        .edit_access_fn = motsl_col_access_all,
        .bview_access_fn = motsl_col_access_none,
        .cell_edit_check_fn = edit_check_fn,
        .default_filter_fn = motsl_filter_option,
    };
    return motsl_column_register(stype, &def, nullptr);
}

int motsl_edit_keyword_register_sp(MOT_TOP_STYPE_T *stype, motsl_cell_fn_t cell_list_fn) noexcept {
    const MOTSL_COLUMN_DEF_T def = {
        .keyword = "EDIT",
        .struct_offset = 0,
        .init_ref = nullptr,
        .common_alloc_fn = motc_common_alloc_null,
        .user_name = "Edit",
        .help_string = "",
        .type_vector = 0,
        .view_access_fn = motsl_col_access_all,
        .edit_access_fn = motsl_col_access_none,
        .bview_access_fn = motsl_col_access_none,
        .cell_list_fn = cell_list_fn,
        .default_filter_fn = motsl_filter_general,
    };
    return motsl_column_register(stype, &def, nullptr);
}

int motsl_edit_keyword_register(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_edit_keyword_register_sp(stype, nullptr);
}

int motsl_finish_columns(MOT_TOP_STYPE_T *stype, size_t size_of_element) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    int index = 0;
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next) {
        MOTSL_STDLIST_KEYWORD_T *column = node->stdlist;
        column->applic_keyword_ref = node;
        column->common->type_keyword_ref = column;
        column->common->applic_keyword_ref = node;
        column->common->aux = stype->aux;
        column->index = index++;
    }
    ks->number_of_keywords = index;
    ks->size_of_element = size_of_element;
    return motsl_share_columns(stype);
}

int motsl_share_columns(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    stype->number_of_keywords = ks->number_of_keywords;
    stype->size_of_element = static_cast<int>(ks->size_of_element);
    return 0;
}

int motsl_register_columns(MOT_TOP_STYPE_T *stype, size_t size_of_element, const MOTSL_COLUMN_DEF_T *columns,
                           int column_count, motsl_col_access_fn_t del_view_access_fn,
                           motsl_cell_edit_check_fn_t del_edit_check_fn) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOT_TOP_STORAGE_T *cell = stype->keyword_storage;
    if (cell == nullptr) {
        err(aux)->report(err(aux), "The keyword storage of stype %s is not set\n", stype->name);
        return 1;
    }
    if (size_of_element < sizeof(MOTSL_ELEMENT_T)) {
        err(aux)->report(err(aux),
                         "The element record of stype %s is smaller than its ID, NEW and DEL head\n",
                         stype->name);
        return 1;
    }
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = mome_new(aux->mem, cell->sub_pool_ref, &ks);
    if (ret != 0)
        return ret;
    cell->struct_ref = ks;
    ret = motsl_id_keyword_register(stype, offsetof(MOTSL_ELEMENT_T, id));
    if (ret == 0)
        ret = motsl_new_keyword_register(stype, offsetof(MOTSL_ELEMENT_T, new_));
    if (ret == 0)
        ret = motsl_del_keyword_register(stype, offsetof(MOTSL_ELEMENT_T, delete_status), del_view_access_fn,
                                         del_edit_check_fn);
    if (ret == 0)
        ret = motsl_edit_keyword_register(stype);
    for (int i = 0; ret == 0 && i < column_count; i++)
        ret = motsl_column_register(stype, &columns[i], nullptr);
    if (ret == 0)
        ret = motsl_finish_columns(stype, size_of_element);
    if (ret != 0)
        cell->struct_ref = nullptr; // a half-built column set is never shared
    return ret;
}

// ---------------------------------------------------------------- keyword arrays and key lists

int motsl_build_file_keyword_array(MOT_TOP_STYPE_T *stype, MOTSL_APPLIC_KEYWORDSTRUCT_T *ks) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOK_GEN_KEYWORD_T *array = nullptr;
    int ret = mome_new_array(aux->mem, stype->keyword_storage->sub_pool_ref, &array,
                             static_cast<size_t>(ks->number_of_keywords));
    if (ret != 0)
        return ret;
    int i = 0;
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr && i < ks->number_of_keywords;
         node = node->next, i++) {
        const MOK_GEN_KEYWORD_T &g = node->stdlist->common->gen_keyword;
        mok_load_keyword(&array[i], g.keyword, g.struct_offset, g.init_fn, g.init_ref, g.read_fn, g.write_fn,
                         g.free_fn);
    }
    ks->file_keyword_array = array;
    return 0;
}

int motsl_applic_get_keyword_array(MOT_TOP_STYPE_T *stype, MOK_GEN_KEYWORD_T **keyword_array) noexcept {
    *keyword_array = nullptr;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (ks->file_keyword_array == nullptr) {
        ret = motsl_build_file_keyword_array(stype, ks);
        if (ret != 0)
            return ret;
    }
    *keyword_array = ks->file_keyword_array;
    return 0;
}

int motsl_applic_get_keylist(MOT_TOP_STYPE_T *stype, MOTC_KEYLIST_T **keylist) noexcept {
    *keylist = nullptr;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (ks->keylist_storage == nullptr) {
        MOTC_KEYLIST_T *head = nullptr;
        MOTC_KEYLIST_T **link = &head;
        for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next) {
            ret = motc_get_new_keylist_element(node->stdlist->common, stype->keyword_storage->sub_pool_ref,
                                               link);
            if (ret != 0)
                return ret;
            link = &(*link)->next;
        }
        ks->keylist_storage = head;
    }
    *keylist = ks->keylist_storage;
    return 0;
}

// ---------------------------------------------------------------- type storage and family

int motsl_type_storage_register(MOT_TOP_STYPE_T *stype, void *pool_ref, motsl_get_new_id_fn_t get_new_id,
                                motsl_add_changes_to_history_fn_t add_changes_to_history,
                                motsl_set_filename_for_history_fn_t set_filename_for_history,
                                motsl_new_copy_template_fn_t new_copy_template,
                                motsl_edit_end_call_back_fn_t edit_end_call_back,
                                motsl_print_row_fn_t print_row, const char *mark_constant) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_TYPE_STORAGE_T *ts = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &ts);
    if (ret != 0)
        return ret;
    ts->get_new_id = get_new_id;
    ts->add_changes_to_history = add_changes_to_history;
    ts->set_filename_for_history = set_filename_for_history;
    ts->new_copy_template = new_copy_template;
    ts->edit_end_call_back = edit_end_call_back;
    ts->print_row = print_row;
    if (mark_constant == nullptr) {
        snprintf(ts->mark_filename, sizeof(ts->mark_filename), "%s", MOTSL_NO_MARK_FILE);
    } else {
        int n = snprintf(ts->mark_filename, sizeof(ts->mark_filename), "%s/%s", aux->setup->lib_dir,
                         mark_constant);
        if (n < 0 || n >= static_cast<int>(sizeof(ts->mark_filename))) {
            err(aux)->report(err(aux), "Path too long for the change mark %s of stype %s\n", mark_constant,
                             stype->name);
            return 1;
        }
    }
    ts->deleted_empty = FALSE;
    ts->index[0] = ts->list[0] = ts->row[0] = '\0';
    stype->type_storage_ref = ts;
    return 0;
}

int motsl_set_related_stypes(MOT_TOP_STYPE_T *stype, const char *useropt_name, const char *history_name,
                             const char *template_name, const char *deleted_name) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr) {
        err(stype->aux)
            ->report(err(stype->aux), "The type storage is not set in the motsl_set_related_stypes fn for %s",
                     stype->name);
        return 1;
    }
    ts->useropt_stype_name = useropt_name;
    ts->history_stype_name = history_name;
    ts->template_stype_name = template_name;
    ts->deleted_stype_name = deleted_name;
    return 0;
}

// The family's web commands (motsl_applic_register_web_cmds and the others) are the list pages'.

int motsl_stype_storage_init(MOT_TOP_SESSION_T *session, MOT_TOP_STYPE_T *stype, const char *keyword_id,
                             mo_boolean_t *is_new) noexcept {
    MOX_AUX_T *aux = stype->aux;
    void *pool = aux->mem->session_pool_ref;
    stype->keyword_pool_ref = pool;
    stype->data_pool_ref = pool;
    stype->keyword_storage_list_ptr = &session->storage.keyword_storage_list;
    stype->data_storage_list_ptr = &session->storage.data_storage_list;
    MOT_TOP_STORAGE_T *cell = nullptr;
    int ret = mot_top_storage_find(aux, pool, stype->keyword_storage_list_ptr, &cell, keyword_id);
    if (ret != 0)
        return ret;
    stype->keyword_storage = cell;
    *is_new = cell->struct_ref == nullptr ? TRUE : FALSE;
    return 0;
}

namespace {

// "Dnum ID Number" -> "Dnum History ID Number", "Dnum Data" -> "Dnum History Data".
const char *history_lock_text(MOX_AUX_T *aux, const char *given, const char *main_text,
                              const char *ending) noexcept {
    if (given != nullptr)
        return given;
    std::string text = main_text != nullptr ? main_text : "";
    size_t len = strlen(ending);
    if (text.size() >= len && text.compare(text.size() - len, len, ending) == 0)
        text.insert(text.size() - len, " History");
    else
        text += " History";
    char *copy = nullptr;
    if (aux->mem->store_string(aux->mem, aux->mem->session_pool_ref, &copy, text.c_str()) != 0)
        return nullptr;
    return copy;
}

const char *member_name(MOX_AUX_T *aux, const char *name, const char *ending) noexcept {
    std::string text = std::string(name) + ending;
    char *copy = nullptr;
    if (aux->mem->store_string(aux->mem, aux->mem->session_pool_ref, &copy, text.c_str()) != 0)
        return nullptr;
    return copy;
}

int register_member(MOT_TOP_SESSION_T *session, const MOT_TOP_STYPE_DEF_T &def,
                    MOT_TOP_STYPE_T **stype) noexcept {
    MOX_AUX_T *aux = session->aux;
    if (def.name == nullptr)
        return 1;
    return mot_top_register_stype_def(aux, &session->storage.stype_list, aux->mem->session_pool_ref, &def,
                                      stype);
}

// A list of application columns: main or deleted.
int register_applic_member(MOT_TOP_SESSION_T *session, const MOTSL_FAMILY_DEF_T *def,
                           const MOT_TOP_STYPE_DEF_T &m, MOT_TOP_STYPE_T **stype) noexcept {
    int ret = register_member(session, m, stype);
    if (ret != 0)
        return ret;
    mo_boolean_t is_new = FALSE;
    ret = motsl_stype_storage_init(session, *stype, def->keyword_id != nullptr ? def->keyword_id : def->name,
                                   &is_new);
    if (ret != 0)
        return ret;
    if (is_new)
        ret = motsl_register_columns(*stype, def->size_of_element, def->columns, def->column_count,
                                     def->del_view_access_fn, def->del_edit_check_fn);
    else
        ret = motsl_share_columns(*stype);
    if (ret != 0)
        return ret;
    return motsl_type_storage_register(*stype, session->aux->mem->session_pool_ref, motsl_stdlist_get_new_id,
                                       motsl_stdlist_add_changes_to_history,
                                       motsl_stdlist_set_filename_for_history, def->new_copy_template,
                                       def->edit_end_call_back, def->print_row, def->mark_constant);
}

int register_useropt_member(MOT_TOP_SESSION_T *session, const char *name, int id, const char *help,
                            mot_init_filename_fn_t init_filename, MOT_TOP_STYPE_T *served,
                            MOT_TOP_STYPE_T **stype) noexcept {
    MOT_TOP_STYPE_DEF_T m = motsl_stype_def_useropt;
    m.name = name;
    m.id = id;
    m.help = help;
    if (init_filename != nullptr)
        m.init_filename = init_filename;
    int ret = register_member(session, m, stype);
    if (ret != 0)
        return ret;
    mo_boolean_t is_new = FALSE;
    ret = motsl_stype_storage_init(session, *stype, name, &is_new);
    if (ret == 0)
        ret = motsl_useropt_register_stype(*stype, served);
    return ret;
}

} // namespace

int motsl_register_family(MOT_TOP_SESSION_T *session, const MOTSL_FAMILY_DEF_T *def) noexcept {
    MOX_AUX_T *aux = session->aux;
    if (def->name == nullptr || def->init_filename == nullptr) {
        err(aux)->report(err(aux), "A list family needs a name and a data file\n");
        return 1;
    }
    const char *deleted_name =
        def->deleted_help != nullptr ? member_name(aux, def->name, "_deleted") : nullptr;
    const char *useropt_name = member_name(aux, def->name, "_useropt");
    const char *history_name =
        def->history_help != nullptr ? member_name(aux, def->name, "_history") : nullptr;
    const char *history_useropt_name =
        def->history_help != nullptr ? member_name(aux, def->name, "_history_useropt") : nullptr;
    if (useropt_name == nullptr || (def->deleted_help != nullptr && deleted_name == nullptr) ||
        (def->history_help != nullptr && (history_name == nullptr || history_useropt_name == nullptr)))
        return 1;
    mot_access_row_fn_t edit_row = def->edit_row_fn != nullptr ? def->edit_row_fn : mot_row_access_all;

    MOT_TOP_STYPE_T *main_stype = nullptr;
    MOT_TOP_STYPE_DEF_T main_member = motsl_stype_def_main;
    main_member.name = def->name;
    main_member.id = def->main_id;
    main_member.help = def->help;
    if (def->insert_title != nullptr)
        main_member.insert_title = def->insert_title;
    main_member.assign_access_fn = def->access_fn;
    if (def->read_data != nullptr)
        main_member.read_data = def->read_data;
    if (def->view_row_fn != nullptr)
        main_member.view_access_row_fn = def->view_row_fn;
    main_member.edit_access_row_fn = edit_row;
    main_member.lock_element_string = def->lock_element_string;
    main_member.lock_file_string = def->lock_file_string;
    main_member.init_filename = def->init_filename;
    int ret = register_applic_member(session, def, main_member, &main_stype);
    if (ret == 0)
        ret = motsl_set_related_stypes(main_stype, useropt_name, history_name, nullptr, deleted_name);
    if (ret == 0)
        ret = motsl_applic_register_web_cmds(main_stype);
    if (ret != 0)
        return ret;

    if (deleted_name != nullptr) {
        MOT_TOP_STYPE_DEF_T deleted_member = main_member;
        deleted_member.name = deleted_name;
        deleted_member.id = def->deleted_id;
        deleted_member.type = MOT_STYPE_SECONDARY;
        deleted_member.help = def->deleted_help;
        deleted_member.insert_title = motsl_applic_deleted_insert_title;
        deleted_member.view_access_row_fn = motsl_row_deleted_committed;
        MOT_TOP_STYPE_T *deleted_stype = nullptr;
        ret = register_applic_member(session, def, deleted_member, &deleted_stype);
        if (ret == 0)
            ret = motsl_applic_register_deleted_web_cmds(deleted_stype);
        if (ret == 0)
            ret = motsl_set_related_stypes(deleted_stype, useropt_name, history_name, nullptr, nullptr);
        if (ret != 0)
            return ret;
    }

    MOT_TOP_STYPE_T *useropt_stype = nullptr;
    ret = register_useropt_member(session, useropt_name, def->useropt_id,
                                  def->useropt_help != nullptr ? def->useropt_help : "",
                                  def->useropt_init_filename, main_stype, &useropt_stype);
    if (ret != 0 || history_name == nullptr)
        return ret;

    const char *h_element =
        history_lock_text(aux, def->history_lock_element_string, def->lock_element_string, " ID Number");
    const char *h_file =
        history_lock_text(aux, def->history_lock_file_string, def->lock_file_string, " Data");
    if (h_element == nullptr || h_file == nullptr)
        return 1;
    MOT_TOP_STYPE_DEF_T history_member = motsl_stype_def_history;
    history_member.name = history_name;
    history_member.id = def->history_id;
    history_member.help = def->history_help;
    history_member.assign_access_fn =
        def->history_access_fn != nullptr ? def->history_access_fn : def->access_fn;
    history_member.lock_element_string = h_element;
    history_member.lock_file_string = h_file;
    if (def->history_init_filename != nullptr)
        history_member.init_filename = def->history_init_filename;
    MOT_TOP_STYPE_T *history_stype = nullptr;
    ret = register_member(session, history_member, &history_stype);
    if (ret != 0)
        return ret;
    mo_boolean_t is_new = FALSE;
    ret = motsl_stype_storage_init(session, history_stype, history_name, &is_new);
    if (ret == 0)
        ret = motsl_history_register_stype(history_stype);
    if (ret != 0)
        return ret;
    auto *hs = static_cast<MOTSL_HISTORY_STORAGE_T *>(history_stype->applic_storage_ref);
    hs->parent_stype = main_stype;
    ret = motsl_set_related_stypes(history_stype, history_useropt_name, nullptr, nullptr, nullptr);
    if (ret != 0)
        return ret;
    MOT_TOP_STYPE_T *history_useropt_stype = nullptr;
    return register_useropt_member(session, history_useropt_name, def->history_useropt_id,
                                   def->history_useropt_help != nullptr ? def->history_useropt_help : "",
                                   def->useropt_init_filename, history_stype, &history_useropt_stype);
}
