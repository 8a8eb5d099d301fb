// The mail group family: its columns and lists. The data file is chosen by the list id, so a list is
// read only once a request has named one; the date is set by the mail reader and only shown.
#include "apps/moap_mgroups.h"
#include "entry/mox_aux.h"
#include "storage/mok_key.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"

namespace {

// Before a request names a list there is no file to point at.
int mgroups_filename(MOT_TOP_STYPE_T *stype) noexcept {
    auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
    if (ts == nullptr || ts->list[0] == '\0' || ts->row[0] == '\0')
        return 0;
    return motsl_applic_init_filename_id(stype);
}

const MOTSL_COLUMN_DEF_T mgroups_columns[] = {
    {.keyword = "S",
     .struct_offset = offsetof(MOAP_MGROUPS_T, subject),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Subject",
     .type_vector = 0x1023,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_all,
     .bview_access_fn = motsl_col_access_all,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "A",
     .struct_offset = offsetof(MOAP_MGROUPS_T, author),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Author",
     .type_vector = 0x23,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_all,
     .bview_access_fn = motsl_col_access_all,
     .default_filter_fn = motsl_filter_string},
    // Shown, never edited: a date typed into the form could not be stored.
    {.keyword = "D",
     .struct_offset = offsetof(MOAP_MGROUPS_T, date),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_date,
     .user_name = "Date",
     .type_vector = 0x23,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_all,
     .default_filter_fn = motsl_filter_datetime},
};

const MOTSL_FAMILY_DEF_T mgroups_family = {
    .name = "mgroups",
    .main_id = 1,
    .useropt_id = 3,
    .history_id = 4,
    .history_useropt_id = 5,
    .help = "Active Mgroups Entries",
    .deleted_help = nullptr,
    .useropt_help = "Mgroups user options",
    .history_help = "History of the mgroups entries",
    .history_useropt_help = "Mgroups history user options",
    .lock_element_string = "Mgroups ID Number",
    .lock_file_string = "Mgroups Data",
    .access_fn = motsl_access_super_super,
    .size_of_element = sizeof(MOAP_MGROUPS_T),
    .columns = mgroups_columns,
    .column_count = static_cast<int>(sizeof(mgroups_columns) / sizeof(mgroups_columns[0])),
    .init_filename = mgroups_filename,
    .history_init_filename = motsl_history_init_filename_id,
    .history_lock_element_string = "Mgroups History ID Number",
    .history_lock_file_string = "Mgroups History Data",
};

int name_locks(MOT_TOP_SESSION_T *session, const char *name, const char *element, const char *file) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = mot_top_find_stype(session->storage.stype_list, session->aux, name, &stype);
    if (ret == 0) {
        stype->lock_element_string = element;
        stype->lock_file_string = file;
    }
    return ret;
}

} // namespace

int moap_mgroups_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = motsl_register_family(session, &mgroups_family);
    MOT_TOP_STYPE_T *stype = nullptr;
    if (ret == 0)
        ret = mot_top_find_stype(session->storage.stype_list, session->aux, "mgroups", &stype);
    // Rows are changed only by those who may edit the list, not by everyone who can see it.
    if (ret == 0)
        stype->init_data = motsl_stdlist_init_data_list_edit_check;
    if (ret == 0)
        ret = name_locks(session, "mgroups_useropt", "Mgroups User Option", "Mgroups User Option Data");
    if (ret == 0)
        ret = name_locks(session, "mgroups_history_useropt", "Mgroups History User Option",
                         "Mgroups History User Option Data");
    return ret;
}

int moap_mgroups_setup(MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    return mot_top_find_stype(session->storage.stype_list, session->aux, "mgroups", &stype);
}
