// The user groups: the family of group lists, the system group "all", the name entry and checks, and
// the group half of the access service.
//
// Every stored name carries a leading "^", which tells a group from a user in access-list texts. At the
// first read of the group file in a process the group "all" (system id 1) is put back and names
// without their "^" get it; the file is written only when that changed something.
#include "apps/moap_groups.h"
#include "apps/moa_access_cmn.h"
#include "apps/moap_passwd.h"
#include "daemon/molk_lock.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "storage/mok_key.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

#include <cstring>
#include <set>
#include <string>

namespace {

MOAP_GROUPS_T *group_of(void *container) noexcept {
    return static_cast<MOAP_GROUPS_T *>(container);
}

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

struct GroupsState {
    mo_boolean_t system_checked; // done in this process
    mo_boolean_t checking;       // under way: reads inside the check are plain reads
};

int state_of(MOT_TOP_STYPE_T *stype, GroupsState **state) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (ks->ref == nullptr) {
        GroupsState *s = nullptr;
        ret = mome_new(stype->aux->mem, stype->keyword_storage->sub_pool_ref, &s);
        if (ret != 0)
            return ret;
        ks->ref = s;
    }
    *state = static_cast<GroupsState *>(ks->ref);
    return 0;
}

void *data_pool(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : stype->aux->mem->req_pool_ref;
}

// The system group is seen but never changed.
int ra_edit_not_system(MOT_TOP_STYPE_T *, void *container, mo_boolean_t *ok) noexcept {
    *ok = group_of(container)->sys_id == 0 ? TRUE : FALSE;
    return 0;
}

int groups_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/groups/0", stype->aux->setup->lib_dir);
}

const MOTSL_COLUMN_DEF_T groups_columns[] = {
    {.keyword = "N",
     .struct_offset = offsetof(MOAP_GROUPS_T, name),
     .init_ref = "New",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Group Name",
     .help_string = "The Group name must be unique",
     .type_vector = 0x9023,
     .view_access_fn = motsl_col_access_all,
     .edit_access_fn = motsl_col_access_all,
     .bview_access_fn = motsl_col_access_all,
     .cell_edit_end_fn = moap_group_name_edit_end,
     .cell_edit_check_fn = moap_groups_check_group_name,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "SID",
     .struct_offset = offsetof(MOAP_GROUPS_T, sys_id),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "SID",
     .type_vector = 0x1,
     .view_access_fn = motsl_col_access_none,
     .edit_access_fn = motsl_col_access_none,
     .bview_access_fn = motsl_col_access_none,
     .default_filter_fn = motsl_filter_integer},
};

const MOTSL_FAMILY_DEF_T groups_family = {
    .name = "groups",
    .main_id = 1,
    .deleted_id = 2,
    .useropt_id = 3,
    .history_id = 4,
    .history_useropt_id = 5,
    .help = "Active Groups Entries",
    .deleted_help = "Deleted Groups Entries",
    .useropt_help = "Groups user options",
    .history_help = "History of the group entries",
    .history_useropt_help = "Group history user options",
    .lock_element_string = "Groups ID Number",
    .lock_file_string = "Groups Data",
    .access_fn = motsl_access_super_super,
    .edit_row_fn = ra_edit_not_system,
    .del_edit_check_fn = moap_groups_check_group_name,
    .size_of_element = sizeof(MOAP_GROUPS_T),
    .columns = groups_columns,
    .column_count = static_cast<int>(sizeof(groups_columns) / sizeof(groups_columns[0])),
    .init_filename = groups_filename,
    .read_data = moap_groups_read_data,
    .history_lock_element_string = "Group History ID Number",
    .history_lock_file_string = "Group History Data",
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

MOTSL_DATASTRUCT_T *groups_data(MOA_ACCESS_T *access) noexcept {
    auto *cell = static_cast<MOT_TOP_STORAGE_T *>(access->group_ref);
    return cell != nullptr ? static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref) : nullptr;
}

int no_groups(MOA_ACCESS_T *access) noexcept {
    access->interm->error->report(access->interm->error, "The group list has not been read\n");
    return 1;
}

} // namespace

int moap_groups_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = motsl_register_family(session, &groups_family);
    if (ret == 0)
        ret = name_locks(session, "groups_useropt", "Groups User Option", "Groups User Option Data");
    if (ret == 0)
        ret = name_locks(session, "groups_history_useropt", "Group History User Option",
                         "Group History User Option Data");
    return ret;
}

int moap_groups_setup(MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    return mot_top_find_stype(session->storage.stype_list, session->aux, "groups", &stype);
}

mo_boolean_t moap_groups_name_ok(const char *name) noexcept {
    const char *p = text_of(name);
    if (*p == MOAP_GROUPS_MARK)
        p++;
    if (*p == '\0')
        return FALSE;
    for (; *p != '\0'; p++) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return FALSE;
    }
    return TRUE;
}

int moap_groups_check_system_record(MOT_TOP_STYPE_T *stype, mo_boolean_t *changed) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOME_MEM_T *mem = aux->mem;
    *changed = FALSE;
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the system group check", &data);
    if (ret != 0)
        return ret;
    MOAP_GROUPS_T *all = nullptr;
    for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr && all == nullptr; r = r->next)
        if (group_of(r->container)->sys_id == MOAP_GROUPS_SYS_ALL)
            all = group_of(r->container);
    if (all == nullptr) {
        MOK_DATA_RECORD_T *record = nullptr;
        ret = motsl_stdlist_append_new(stype, &record);
        if (ret != 0)
            return ret;
        all = group_of(record->container);
        all->sys_id = MOAP_GROUPS_SYS_ALL;
        *changed = TRUE;
    }
    if (strcmp(text_of(all->name), MOAP_GROUPS_ALL_NAME) != 0) {
        ret = mem->store_string(mem, data_pool(stype), &all->name, MOAP_GROUPS_ALL_NAME);
        if (ret != 0)
            return ret;
        *changed = TRUE;
    }
    try {
        std::set<std::string> seen;
        for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr; r = r->next) {
            MOAP_GROUPS_T *g = group_of(r->container);
            if (text_of(g->name)[0] != MOAP_GROUPS_MARK) {
                std::string marked = std::string(1, MOAP_GROUPS_MARK) + text_of(g->name);
                ret = mem->store_string(mem, data_pool(stype), &g->name, marked.c_str());
                if (ret != 0)
                    return ret;
                *changed = TRUE;
            }
            // Names that became equal are left as they are: which to keep is the administrator's choice.
            if (g->delete_status == 0 && g->new_ == 0 && !seen.insert(g->name).second)
                aux->error->report_warning(
                    aux->error, "There are two active groups called %s in the groups list\n", g->name);
        }
    } catch (const std::bad_alloc &) {
        aux->error->report(aux->error, "Out of memory\n");
        return 1;
    }
    return 0;
}

int moap_groups_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    GroupsState *state = nullptr;
    int ret = state_of(stype, &state);
    if (ret != 0)
        return ret;
    if (state->system_checked || state->checking)
        return motsl_stdlist_read_data_no_default(stype, first);
    ret = stype->lock_file(stype, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    state->checking = TRUE;
    mo_boolean_t changed = FALSE;
    ret = motsl_stdlist_read_data_no_default(stype, first);
    if (ret == 0)
        ret = moap_groups_check_system_record(stype, &changed);
    if (ret == 0 && changed)
        ret = stype->write_data(stype);
    state->checking = FALSE;
    int release = stype->lock_file(stype, MOLK_FILE_WRITE_RELEASE, nullptr);
    if (ret == 0)
        ret = release;
    if (ret != 0)
        return ret;
    state->system_checked = TRUE;
    // The id index was built before a record was added: it is built again over the chain.
    MOTSL_DATASTRUCT_T *data = nullptr;
    if (changed)
        ret = motsl_get_datastruct(stype, stype->name, &data);
    if (changed && ret == 0 && data->id_array != nullptr)
        ret = motc_init_id_array(stype->aux, data->id_array, data->data_record, offsetof(MOAP_GROUPS_T, id),
                                 data_pool(stype));
    if (ret == 0)
        *first = data != nullptr ? data->data_record : *first;
    return ret;
}

int moap_group_name_edit_end(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                             MOW_POST_RESULTS_T *results, void *container) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *keyword = column->common->gen_keyword.keyword;
    if (!mow_form_is_field(aux, results, keyword))
        return 0;
    const char *posted = "";
    int ret = mow_form_field_service(aux, results, keyword, &posted);
    if (ret != 0)
        return ret;
    try {
        std::string name =
            posted[0] == MOAP_GROUPS_MARK ? std::string(posted) : std::string(1, MOAP_GROUPS_MARK) + posted;
        MOAP_GROUPS_T *g = group_of(container);
        if (name == text_of(g->name))
            return 0;
        void *pool = data_pool(stype);
        return aux->mem->store_string(aux->mem, pool, &g->name, name.c_str());
    } catch (const std::bad_alloc &) {
        aux->error->report(aux->error, "Out of memory\n");
        return 1;
    }
}

int moap_groups_check_group_name(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, void *,
                                 void *new_container) noexcept {
    MOE_ERROR_T *error = stype->aux->error;
    const MOAP_GROUPS_T *g = group_of(new_container);
    const char *name = text_of(g->name);
    if (!moap_groups_name_ok(name)) {
        error->report(error,
                      "The groupname (%s) contains characters other than alpha-numerics and underscores.\n",
                      name);
        return 1;
    }
    // Only an active group needs a name of its own.
    if (g->delete_status != 0)
        return 0;
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the group name check", &data);
    if (ret != 0)
        return ret;
    for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr; r = r->next) {
        const MOAP_GROUPS_T *other = group_of(r->container);
        if (other->id != g->id && other->new_ == 0 && other->delete_status == 0 &&
            strcmp(text_of(other->name), name) == 0) {
            error->report(error,
                          "There is already another active %s called %s, go back and try another %s.\n",
                          "Group Name", name, "Group Name");
            return 1;
        }
    }
    return 0;
}

// ---- the access service

int moap_group_init_group_array(MOA_ACCESS_T *access, MOT_TOP_SESSION_T *session) noexcept {
    void *cell = nullptr;
    access->group_ref = nullptr;
    int ret = moap_passwd_read_list(session, "groups", &cell);
    if (ret == 0)
        access->group_ref = cell;
    return ret;
}

int moap_group_get_group_name(MOA_ACCESS_T *access, int group_id, mo_boolean_t *deleted,
                              const char **result) noexcept {
    MOTSL_DATASTRUCT_T *data = groups_data(access);
    if (data == nullptr)
        return no_groups(access);
    // An id without a group (left in some list) reads as "Not-Defined", deleted.
    *deleted = TRUE;
    return motc_get_string_from_id_array(data->id_array, group_id, offsetof(MOAP_GROUPS_T, name), deleted,
                                         offsetof(MOAP_GROUPS_T, delete_status), result);
}

int moap_group_get_group_id(MOA_ACCESS_T *access, const char *name, mo_boolean_t *deleted,
                            int *result) noexcept {
    MOTSL_DATASTRUCT_T *data = groups_data(access);
    *deleted = FALSE;
    *result = MOA_NO_ID;
    if (data == nullptr)
        return no_groups(access);
    int id = 0;
    if (motc_find_id_from_name(data->id_array, text_of(name), offsetof(MOAP_GROUPS_T, name), deleted,
                               offsetof(MOAP_GROUPS_T, delete_status), offsetof(MOAP_GROUPS_T, new_),
                               &id) != 0) {
        access->interm->error->report(access->interm->error, "Can't find group name %s in the groups list\n",
                                      text_of(name));
        return 1;
    }
    *result = id;
    return 0;
}

int moap_group_find_sys_id(MOA_ACCESS_T *access, int sys_id, mo_boolean_t *deleted, int *result) noexcept {
    MOTSL_DATASTRUCT_T *data = groups_data(access);
    *deleted = FALSE;
    *result = MOA_NO_ID;
    if (data == nullptr)
        return no_groups(access);
    for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr; r = r->next) {
        const MOAP_GROUPS_T *g = group_of(r->container);
        if (g->sys_id == sys_id && g->new_ == 0) {
            *deleted = g->delete_status != 0 ? TRUE : FALSE;
            *result = g->id;
            return 0;
        }
    }
    return 0;
}
