// File types: the family of file-type lists, the thirty-four built-in rows and their refresh at the
// first load of a process, the accessors by id and the lookup by extension.
//
// A built-in row follows the table as far as its `system_edited` level allows: at level 0 name,
// icon, extensions, window choice and MIME type are the table's, at levels 0 and 1 the index
// script is; saving the type in the browser raises the level to 2, after which nothing is touched.
#include "apps/moap_ftype.h"
#include "apps/moit_item_cmn.h"
#include "daemon/molk_lock.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "storage/mok_key.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"

#include <cstring>
#include <strings.h>

const MOAP_FTYPE_SYS_T moap_ftype_sys_table[] = {
    {1, "Unknown", "system_file_types/icons/unknown.gif", "", "", 2, "", "application/octet-stream"},
    {2, "MS Word", "system_file_types/icons/word.gif", "doc", "", 2, "install/system_scripts/word_index.sh",
     "application/msword"},
    {25, "MS Word Template", "system_file_types/icons/word.gif", "dot", "", 2,
     "install/system_scripts/word_index.sh", "application/msword"},
    {3, "MS Excel", "system_file_types/icons/excel.gif", "xls", "", 2,
     "install/system_scripts/excel_index.sh", "application/vnd.ms-excel"},
    {4, "PDF", "system_file_types/icons/pdf.gif", "pdf", "", 4, "install/system_scripts/pdf_index.sh",
     "application/pdf"},
    {5, "FrameMaker", "system_file_types/icons/framemaker.gif", "fm", "mif", 1,
     "install/system_scripts/fm_index.sh", "application/vnd.framemaker"},
    {6, "MS Power Point", "system_file_types/icons/power_point.gif", "ppt", "pps,pot", 2,
     "install/system_scripts/ppt_index.sh", "application/vnd.ms-powerpoint"},
    {7, "MS Project", "system_file_types/icons/project.gif", "mpp", "", 2, "", "application/vnd.ms-project"},
    {8, "QuickBooks", "system_file_types/icons/quickbooks.gif", "qbw", "", 1, "", "application/quickbooks"},
    {9, "Text", "system_file_types/icons/text.gif", "txt", "text", 4, "install/system_scripts/text_index.sh",
     "text/plain"},
    {26, "Log FIle", "system_file_types/icons/text.gif", "txt", "log", 4,
     "install/system_scripts/text_index.sh", "text/plain"},
    {27, "Ini File", "system_file_types/icons/text.gif", "ini", "", 4, "install/system_scripts/text_index.sh",
     "text/plain"},
    {10, "HTML", "system_file_types/icons/html.gif", "htm", "html", 4, "install/system_scripts/html_index.sh",
     "text/html"},
    {11, "Zip", "system_file_types/icons/zip.gif", "zip", "", 1, "", "application/octet-stream"},
    {12, "Jpeg Image", "system_file_types/icons/palette.gif", "jpg", "jpeg", 1, "", "image/jpeg"},
    {13, "GIF Image", "system_file_types/icons/palette.gif", "gif", "", 1, "", "image/gif"},
    {14, "Audio wav", "system_file_types/icons/sound.gif", "wav", "", 1, "", "audio/wav"},
    {15, "BMP Image", "system_file_types/icons/palette.gif", "bmp", "", 1, "", "image/bmp"},
    {16, "TIFF Image", "system_file_types/icons/palette.gif", "tif", "tiff", 1, "", "image/tiff"},
    {17, "Executable", "system_file_types/icons/batch.gif", "exe", "", 1, "", "application/octet-stream"},
    {18, "Batch", "system_file_types/icons/batch.gif", "bat", "", 1, "", "application/octet-stream"},
    {19, "Microscoft Image Composer", "system_file_types/icons/palette.gif", "mic", "", 1, "",
     "image/vnd.ms-mic"},
    {20, "AutoCad", "system_file_types/icons/autocadlt.gif", "dwg", "", 1, "", "application/autocad"},
    {21, "MS Visio", "system_file_types/icons/visio.gif", "vsd", "", 2, "", "application/vnd.visio"},
    {22, "Real Player", "system_file_types/icons/sound.gif", "rm", "", 3, "", "application/vnd.rn-realmedia"},
    {23, "Rich Text Format", "system_file_types/icons/word.gif", "rtf", "", 2,
     "install/system_scripts/rtf_index.sh", "application/rtf"},
    {24, "Email", "system_file_types/icons/letter.gif", "msg", "", 1,
     "install/system_scripts/general_index.sh", "application/rfc822"},
    {28, "Movie", "system_file_types/icons/movie.gif", "mov", "", 1, "", "video/quicktime"},
    {29, "QuickTime", "system_file_types/icons/movie.gif", "qt", "", 1, "", "video/quicktime"},
    {30, "AVI", "system_file_types/icons/movie.gif", "avi", "", 1, "", "video/x-msvideo"},
    {31, "Photoshop", "system_file_types/icons/palette.gif", "psd", "", 1, "", "image/psd"},
    {32, "MPEG", "system_file_types/icons/movie.gif", "mgp", "mpeg mpe", 1, "", "video/mpeg"},
    {33, "MS Access", "system_file_types/icons/access.gif", "mdb", "", 1, "", "application/vnd.ms-access"},
    {34, "Word Perfect", "system_file_types/icons/wpd.gif", "wpd", "wp", 1,
     "install/system_scripts/wpd_index.sh", "application/wordperfect"},
};
const int moap_ftype_sys_count =
    static_cast<int>(sizeof(moap_ftype_sys_table) / sizeof(moap_ftype_sys_table[0]));

namespace {

MOAP_FTYPE_T *ftype_of(void *container) noexcept {
    return static_cast<MOAP_FTYPE_T *>(container);
}

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

// Per session, in the column set's application slot (shared by "ftype" and "ftype_deleted").
struct FtypeState {
    mo_boolean_t system_checked; // the built-in rows were checked in this session
    mo_boolean_t checking;       // under way: reads inside the check are plain reads
};

int state_of(MOT_TOP_STYPE_T *stype, FtypeState **state) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (ks->ref == nullptr) {
        FtypeState *s = nullptr;
        ret = mome_new(stype->aux->mem, stype->keyword_storage->sub_pool_ref, &s);
        if (ret != 0)
            return ret;
        ks->ref = s;
    }
    *state = static_cast<FtypeState *>(ks->ref);
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

// A MIME type with a line break would become a header of its own when the file is sent.
int check_mime(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, void *, void *new_container) noexcept {
    const char *mime = text_of(ftype_of(new_container)->application_string);
    if (!moap_ftype_mime_ok(mime)) {
        stype->aux->error->report(stype->aux->error,
                                  "The Application (Mime-Type) must be one line of printable characters\n");
        return 1;
    }
    return 0;
}

// Two active types of one name could not be told apart in the file-type choosers.
int check_unique_name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                      void *new_container) noexcept {
    return mowsl_check_unique(stype, column, new_container, "N");
}

int ftype_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/ftype/0", stype->aux->setup->lib_dir);
}

const MOTSL_DISPLAY_OPTIONS_T new_window_options[] = {
    {.number = 1, .string = "Never", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "IE Only", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 3, .string = "Netscape Only", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 4, .string = "Always", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

constexpr unsigned TV_NAME =
    MOTSL_TV_MATCH | MOTSL_TV_FILTER | MOTSL_TV_SORTABLE | MOTSL_TV_TITLE | MOTSL_TV_SORT_ASC;
constexpr unsigned TV_TEXT = MOTSL_TV_MATCH | MOTSL_TV_FILTER | MOTSL_TV_SORTABLE;
constexpr unsigned TV_SCRIPT = MOTSL_TV_MATCH | MOTSL_TV_ADVANCED_COL;

const MOTSL_COLUMN_DEF_T ftype_columns[] = {
    {.keyword = "N",
     .struct_offset = offsetof(MOAP_FTYPE_T, name),
     .init_ref = "Word",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Name",
     .help_string = "Name of the File Type",
     .type_vector = TV_NAME,
     .cell_edit_check_fn = check_unique_name,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "E",
     .struct_offset = offsetof(MOAP_FTYPE_T, pri_extension),
     .init_ref = "doc",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Extension",
     .type_vector = TV_TEXT,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "EE",
     .struct_offset = offsetof(MOAP_FTYPE_T, sec_extension),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Extra Ext",
     .type_vector = TV_TEXT,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "G",
     .struct_offset = offsetof(MOAP_FTYPE_T, graphic_filename),
     .init_ref = "system_file_types/icons/unknown.gif",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Graphic File",
     .type_vector = 0,
     .cell_list_fn = mowsl_list_graphic,
     .cell_view_fn = mowsl_view_graphic,
     .cell_edit_start_fn = mowsl_edit_start_graphic_icon},
    {.keyword = "A",
     .struct_offset = offsetof(MOAP_FTYPE_T, application_string),
     .init_ref = "application/msword",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Application",
     .help_string = "Mime-Type or Content-Type string: instructs the browser to open the correct application",
     .type_vector = TV_TEXT,
     .cell_edit_check_fn = check_mime,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "NW",
     .struct_offset = offsetof(MOAP_FTYPE_T, new_window),
     .init_ref = mok_int_ref(2),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "Use New Window",
     .display_ref = new_window_options,
     .type_vector = MOTSL_TV_FILTER | MOTSL_TV_SORTABLE,
     .default_filter_fn = motsl_filter_option},
    {.keyword = "CIS",
     .struct_offset = offsetof(MOAP_FTYPE_T, checkin_script),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "New/Checkin Script",
     .type_vector = TV_SCRIPT},
    {.keyword = "COS",
     .struct_offset = offsetof(MOAP_FTYPE_T, checkout_script),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Copy/Checkout Script",
     .type_vector = TV_SCRIPT},
    {.keyword = "IS",
     .struct_offset = offsetof(MOAP_FTYPE_T, index_script),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Index Script",
     .type_vector = TV_SCRIPT},
    {.keyword = "SID",
     .struct_offset = offsetof(MOAP_FTYPE_T, sys_id),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "SID",
     .type_vector = 0,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_none},
    {.keyword = "SE",
     .struct_offset = offsetof(MOAP_FTYPE_T, system_edited),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "System Type Has Been Edited (level of)",
     .type_vector = 0,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_none},
};

const MOTSL_FAMILY_DEF_T ftype_family = {
    .name = "ftype",
    .main_id = 1,
    .deleted_id = 2,
    .useropt_id = 3,
    .history_id = 4,
    .history_useropt_id = 5,
    .help = "Active Ftype Entries",
    .deleted_help = "Deleted Ftype Entries",
    .useropt_help = "Ftype user options",
    .history_help = "History of the ftype entries",
    .history_useropt_help = "Ftype history user options",
    .lock_element_string = "Ftype ID Number",
    .lock_file_string = "Ftype Data",
    .access_fn = motsl_access_super_super,
    .del_edit_check_fn = check_unique_name,
    .size_of_element = sizeof(MOAP_FTYPE_T),
    .columns = ftype_columns,
    .column_count = static_cast<int>(sizeof(ftype_columns) / sizeof(ftype_columns[0])),
    .init_filename = ftype_filename,
    .edit_end_call_back = moap_ftype_edit_end_call_back,
    .read_data = moap_ftype_read_data,
    .history_lock_element_string = "Ftype History ID Number",
    .history_lock_file_string = "Ftype History Data",
};

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

int name_locks(MOT_TOP_SESSION_T *session, const char *name, const char *element, const char *file) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, name, &stype);
    if (ret == 0) {
        stype->lock_element_string = element;
        stype->lock_file_string = file;
    }
    return ret;
}

// Puts one built-in row into its record as far as the record's level allows.
int refresh_row(MOT_TOP_STYPE_T *stype, MOAP_FTYPE_T *f, const MOAP_FTYPE_SYS_T *row,
                mo_boolean_t *changed) noexcept {
    int ret = 0;
    if (f->system_edited == MOAP_FTYPE_EDITED_NONE) {
        ret = set_text(stype, &f->name, row->name, changed);
        if (ret == 0)
            ret = set_text(stype, &f->graphic_filename, row->graphic_filename, changed);
        if (ret == 0)
            ret = set_text(stype, &f->pri_extension, row->pri_extension, changed);
        if (ret == 0)
            ret = set_text(stype, &f->sec_extension, row->sec_extension, changed);
        if (ret == 0)
            ret = set_text(stype, &f->application_string, row->application_string, changed);
        set_int(&f->new_window, row->new_window, changed);
    }
    if (ret == 0 &&
        (f->system_edited == MOAP_FTYPE_EDITED_NONE || f->system_edited == MOAP_FTYPE_EDITED_KEEP))
        ret = set_text(stype, &f->index_script, row->index_script, changed);
    return ret;
}

int check_system_rows(MOT_TOP_STYPE_T *stype, mo_boolean_t *changed) noexcept {
    *changed = FALSE;
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the built-in file type check", &data);
    for (int i = 0; ret == 0 && i < moap_ftype_sys_count; i++) {
        const MOAP_FTYPE_SYS_T *row = &moap_ftype_sys_table[i];
        MOAP_FTYPE_T *f = nullptr;
        for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr && f == nullptr; r = r->next)
            if (ftype_of(r->container)->sys_id == row->sys_id)
                f = ftype_of(r->container);
        if (f == nullptr) {
            MOK_DATA_RECORD_T *record = nullptr;
            ret = motsl_stdlist_append_new(stype, &record);
            if (ret != 0)
                break;
            f = ftype_of(record->container);
            f->sys_id = row->sys_id;
            f->system_edited = MOAP_FTYPE_EDITED_NONE;
            *changed = TRUE;
        }
        ret = refresh_row(stype, f, row, changed);
    }
    return ret;
}

MOTSL_DATASTRUCT_T *ftypes_of(MOIT_ITEM_T *item) noexcept {
    auto *cell = static_cast<MOT_TOP_STORAGE_T *>(item->ftype_ref);
    return cell != nullptr ? static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref) : nullptr;
}

// Is the word `ext` one of the extensions in `list` (commas and blanks separate them)?
bool in_ext_list(const char *list, const char *ext) noexcept {
    size_t len = strlen(ext);
    const char *p = list;
    while (*p != '\0') {
        while (*p == ',' || *p == ' ' || *p == '\t')
            p++;
        const char *start = p;
        while (*p != '\0' && *p != ',' && *p != ' ' && *p != '\t')
            p++;
        size_t n = static_cast<size_t>(p - start);
        if (n != 0 && n == len && strncasecmp(start, ext, len) == 0)
            return true;
    }
    return false;
}

} // namespace

int moap_ftype_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = motsl_register_family(session, &ftype_family);
    if (ret == 0)
        ret = use_first_id_own(session, "ftype");
    if (ret == 0)
        ret = use_first_id_own(session, "ftype_deleted");
    if (ret == 0)
        ret = name_locks(session, "ftype_useropt", "Ftype User Option", "Ftype User Option Data");
    if (ret == 0)
        ret = name_locks(session, "ftype_history_useropt", "Ftype History User Option",
                         "Ftype History User Option Data");
    return ret;
}

int moap_ftype_setup(MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    return mot_top_find_stype(session->storage.stype_list, session->aux, "ftype", &stype);
}

int moap_ftype_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    FtypeState *state = nullptr;
    int ret = state_of(stype, &state);
    if (ret != 0)
        return ret;
    if (state->system_checked || state->checking)
        return motsl_stdlist_read_data_no_default(stype, first);
    // A caller that already holds the write lock keeps it: it is neither taken nor given back here.
    int held = FALSE;
    ret = stype->lock_file(stype, MOLK_FILE_WRITE_HELD, &held);
    if (ret == 0 && !held)
        ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    state->checking = TRUE;
    mo_boolean_t changed = FALSE;
    ret = motsl_stdlist_read_data_no_default(stype, first);
    if (ret == 0)
        ret = check_system_rows(stype, &changed);
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
    MOTSL_DATASTRUCT_T *data = nullptr;
    ret = motsl_get_datastruct(stype, stype->name, &data);
    // Records were added after the id index was built: it is built again over the chain.
    if (ret == 0 && changed && data->id_array != nullptr)
        ret = motc_init_id_array(stype->aux, data->id_array, data->data_record, offsetof(MOAP_FTYPE_T, id),
                                 data_pool(stype));
    if (ret == 0)
        *first = data->data_record;
    return ret;
}

int moap_ftype_edit_end_call_back(MOT_TOP_STYPE_T *, void *container) noexcept {
    ftype_of(container)->system_edited = MOAP_FTYPE_EDITED_OWN;
    return 0;
}

int moap_ftype_init_ftype_array(MOIT_ITEM_T *item, MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    MOTSL_DATASTRUCT_T *data = nullptr;
    item->ftype_ref = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, "ftype", &stype);
    if (ret == 0 && stype->filename == nullptr)
        ret = motsl_set_position(stype, 0, 0, 0);
    if (ret == 0 && stype->filename == nullptr)
        ret = stype->init_struct(stype, nullptr, FALSE);
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = motsl_get_datastruct(stype, "ftype", &data);
    if (ret != 0)
        return ret;
    item->ftype_ref = stype->data_storage;
    item->ftype_unknown_id = 0;
    for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr; r = r->next)
        if (ftype_of(r->container)->sys_id == MOAP_FTYPE_SYS_UNKNOWN && ftype_of(r->container)->new_ == 0) {
            item->ftype_unknown_id = ftype_of(r->container)->id;
            break;
        }
    return 0;
}

int moap_ftype_find(MOIT_ITEM_T *item, int ftype_id, MOAP_FTYPE_T **ftype) noexcept {
    *ftype = nullptr;
    MOTSL_DATASTRUCT_T *data = ftypes_of(item);
    void *container = nullptr;
    if (data == nullptr || motc_get_container_from_id_array(data->id_array, ftype_id, &container) != 0 ||
        container == nullptr) {
        item->interm->error->report(item->interm->error, "File type id %d not found\n", ftype_id);
        return 1;
    }
    *ftype = ftype_of(container);
    return 0;
}

#define MOAP_FTYPE_TEXT_ACCESSOR(fn, field)                                                                  \
    int fn(MOIT_ITEM_T *item, int ftype_id, const char **result) noexcept {                                  \
        MOAP_FTYPE_T *f = nullptr;                                                                           \
        *result = "";                                                                                        \
        int ret = moap_ftype_find(item, ftype_id, &f);                                                       \
        if (ret == 0)                                                                                        \
            *result = text_of(f->field);                                                                     \
        return ret;                                                                                          \
    }
MOAP_FTYPE_TEXT_ACCESSOR(moap_ftype_get_name, name)
MOAP_FTYPE_TEXT_ACCESSOR(moap_ftype_get_graphic, graphic_filename)
MOAP_FTYPE_TEXT_ACCESSOR(moap_ftype_get_extension, pri_extension)
MOAP_FTYPE_TEXT_ACCESSOR(moap_ftype_get_applic_string, application_string)
MOAP_FTYPE_TEXT_ACCESSOR(moap_ftype_get_checkin_script, checkin_script)
MOAP_FTYPE_TEXT_ACCESSOR(moap_ftype_get_checkout_script, checkout_script)
MOAP_FTYPE_TEXT_ACCESSOR(moap_ftype_get_index_script, index_script)
#undef MOAP_FTYPE_TEXT_ACCESSOR

int moap_ftype_get_new_window(MOIT_ITEM_T *item, int ftype_id, int *result) noexcept {
    MOAP_FTYPE_T *f = nullptr;
    *result = MOAP_FTYPE_WINDOW_NEVER;
    int ret = moap_ftype_find(item, ftype_id, &f);
    if (ret == 0)
        *result = f->new_window;
    return ret;
}

int moap_ftype_ext_id_in(MOK_DATA_RECORD_T *chain, const char *extension, int unknown_id) noexcept {
    const char *ext = text_of(extension);
    if (*ext == '\0')
        return unknown_id;
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next) {
        const MOAP_FTYPE_T *f = ftype_of(r->container);
        if (f->delete_status == 1 || f->new_ != 0)
            continue;
        if (strcasecmp(text_of(f->pri_extension), ext) == 0 || in_ext_list(text_of(f->sec_extension), ext))
            return f->id;
    }
    return unknown_id;
}

int moap_ftype_get_ext_id(MOIT_ITEM_T *item, const char *extension, int *result) noexcept {
    MOTSL_DATASTRUCT_T *data = ftypes_of(item);
    *result = item->ftype_unknown_id;
    if (data == nullptr) {
        item->interm->error->report(item->interm->error, "The file types have not been read\n");
        return 1;
    }
    *result = moap_ftype_ext_id_in(data->data_record, extension, item->ftype_unknown_id);
    return 0;
}

mo_boolean_t moap_ftype_mime_ok(const char *mime) noexcept {
    const char *p = text_of(mime);
    if (*p == '\0')
        return FALSE;
    for (; *p != '\0'; p++)
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7f)
            return FALSE;
    return TRUE;
}
