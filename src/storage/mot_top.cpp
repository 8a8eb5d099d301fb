// The storage type registry, the session and request records, the argument list, storage entries,
// the default stype operations and the display commands.
#include "storage/mot_top.h"
#include "search/mose_search.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mof_file_cmn.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "platform/most_setup_cmn.h"
#include "storage/motc_common.h"
#include "entry/mox_aux.h"

#include <cstdio>
#include <cstring>

int mot_top_construct_session(MOT_TOP_SESSION_T **session_ptr, MOX_AUX_T *aux) noexcept {
    int ret = mome_new(aux->mem, aux->mem->session_pool_ref, session_ptr);
    if (ret != 0)
        return ret;
    MOT_TOP_SESSION_T *session = *session_ptr;
    session->aux = aux;
    session->display_cmd_list = nullptr;
    session->dir_list_ref = nullptr;
    session->storage.stype_list = nullptr;
    session->storage.data_storage_list = nullptr;
    session->storage.keyword_storage_list = nullptr;
    return 0;
}

int mot_top_construct_req(MOT_TOP_REQ_T **req_ptr, MOX_AUX_T *aux) noexcept {
    int ret = mome_new(aux->mem, aux->mem->req_pool_ref, req_ptr);
    if (ret != 0)
        return ret;
    MOT_TOP_REQ_T *req = *req_ptr;
    req->arg_list = nullptr;
    req->arg_list_ptr = &req->arg_list;
    req->in_cookie = nullptr;
    req->out_cookie = nullptr;
    req->storage.stype_list = nullptr;
    req->storage.data_storage_list = nullptr;
    req->storage.keyword_storage_list = nullptr;
    req->results_ref = nullptr;
    req->initial_arg_list = nullptr;
    return 0;
}

int mot_top_register_stype_def(MOX_AUX_T *aux, MOT_TOP_STYPE_T **stype_list_ptr, void *pool_ref,
                               const MOT_TOP_STYPE_DEF_T *def, MOT_TOP_STYPE_T **new_stype_ptr) noexcept {
    *new_stype_ptr = nullptr;
    const char *name = def->name != nullptr ? def->name : "";
    // Every clash is reported so that a registration mistake shows all its victims at once.
    mo_boolean_t found = FALSE;
    for (MOT_TOP_STYPE_T *s = *stype_list_ptr; s != nullptr; s = s->next) {
        if (strcmp(s->name, name) == 0) {
            aux->error->report(aux->error, "Stype name %s has already been registered", name);
            found = TRUE;
        }
    }
    if (found)
        return 1;

    MOSE_INDEXER_T *indexer = def->indexer;
    int ret = 0;
    if (indexer == nullptr)
        ret = mose_indexer_construct_default(&indexer, pool_ref, aux);
    MOT_TOP_STYPE_T *stype = nullptr;
    if (ret == 0)
        ret = mome_new(aux->mem, pool_ref, &stype);
    if (ret != 0)
        return ret;
    *stype = MOT_TOP_STYPE_T{
        .name = name,
        .insert_title = def->insert_title,
        .id = def->id,
        .type = def->type,
        .help = def->help != nullptr ? def->help : "",
        .aux = aux,
        .lock_element_string = def->lock_element_string != nullptr ? def->lock_element_string : "",
        .lock_file_string = def->lock_file_string != nullptr ? def->lock_file_string : "",
        .number_of_keywords = 0,
        .size_of_element = 0,
        .data_loaded = FALSE,
        .system_checked = FALSE,
        .type_storage_ref = nullptr,
        .applic_storage_ref = nullptr,
        .stype_list_ptr = stype_list_ptr,
        .keyword_pool_ref = nullptr,
        .data_pool_ref = nullptr,
        .keyword_storage_list_ptr = nullptr,
        .data_storage_list_ptr = nullptr,
        .keyword_storage = nullptr,
        .data_storage = nullptr,
        .indexer = indexer,
        .web_storage_ref = nullptr,
        .cmd_storage_ref = nullptr,
        .filename = nullptr,
        .init_stype = def->init_stype,
        .access_ref = nullptr,
        .read_data = def->read_data,
        .write_data = def->write_data,
        .new_data = def->new_data,
        .add_data = def->add_data,
        .view_access_row_fn = def->view_access_row_fn,
        .edit_access_row_fn = def->edit_access_row_fn,
        .lock_element = def->lock_element,
        .lock_file = def->lock_file,
        .get_common_struct = def->get_common_struct,
        .get_keylist = def->get_keylist,
        .get_keyword_array = def->get_keyword_array,
        .init_filename = def->init_filename,
        .init_struct = def->init_struct,
        .init_data = def->init_data,
        .init_web = def->init_web,
        .init_cmd = def->init_cmd,
        .http_call_start = def->http_call_start,
        .next = nullptr,
    };

    if (def->assign_access_fn != nullptr) {
        ret = def->assign_access_fn(stype, pool_ref);
        if (ret != 0)
            return ret;
    }
    mo_list_append(stype_list_ptr, stype);
    *new_stype_ptr = stype;
    return 0;
}

int mot_top_register_stype(MOX_AUX_T *aux, MOT_TOP_STYPE_T **stype_list_ptr, void *pool_ref,
                           MOT_TOP_STYPE_T **new_stype_ptr, const char *name,
                           mot_insert_title_fn_t insert_title, int id, int type, const char *help,
                           mot_init_stype_fn_t init_stype, mot_assign_access_fn_t assign_access_fn,
                           mot_read_data_fn_t read_data, mot_write_data_fn_t write_data,
                           mot_new_data_fn_t new_data, mot_add_data_fn_t add_data,
                           mot_access_row_fn_t view_access_row_fn, mot_access_row_fn_t edit_access_row_fn,
                           const char *lock_element_string, mot_lock_element_fn_t lock_element,
                           const char *lock_file_string, mot_lock_file_fn_t lock_file,
                           mot_get_common_struct_fn_t get_common_struct,
                           mot_get_keyword_array_fn_t get_keyword_array, mot_get_keylist_fn_t get_keylist,
                           mot_init_filename_fn_t init_filename, mot_init_struct_fn_t init_struct,
                           mot_init_data_fn_t init_data, mot_init_web_fn_t init_web,
                           mot_init_cmd_fn_t init_cmd, mot_http_call_start_fn_t http_call_start) noexcept {
    return mot_top_register_stype_new(
        aux, stype_list_ptr, pool_ref, new_stype_ptr, name, insert_title, id, type, help, nullptr, init_stype,
        assign_access_fn, read_data, write_data, new_data, add_data, view_access_row_fn, edit_access_row_fn,
        lock_element_string, lock_element, lock_file_string, lock_file, get_common_struct, get_keyword_array,
        get_keylist, init_filename, init_struct, init_data, init_web, init_cmd, http_call_start);
}

int mot_top_register_stype_new(
    MOX_AUX_T *aux, MOT_TOP_STYPE_T **stype_list_ptr, void *pool_ref, MOT_TOP_STYPE_T **new_stype_ptr,
    const char *name, mot_insert_title_fn_t insert_title, int id, int type, const char *help,
    MOSE_INDEXER_T *indexer, mot_init_stype_fn_t init_stype, mot_assign_access_fn_t assign_access_fn,
    mot_read_data_fn_t read_data, mot_write_data_fn_t write_data, mot_new_data_fn_t new_data,
    mot_add_data_fn_t add_data, mot_access_row_fn_t view_access_row_fn,
    mot_access_row_fn_t edit_access_row_fn, const char *lock_element_string,
    mot_lock_element_fn_t lock_element, const char *lock_file_string, mot_lock_file_fn_t lock_file,
    mot_get_common_struct_fn_t get_common_struct, mot_get_keyword_array_fn_t get_keyword_array,
    mot_get_keylist_fn_t get_keylist, mot_init_filename_fn_t init_filename, mot_init_struct_fn_t init_struct,
    mot_init_data_fn_t init_data, mot_init_web_fn_t init_web, mot_init_cmd_fn_t init_cmd,
    mot_http_call_start_fn_t http_call_start) noexcept {
    const MOT_TOP_STYPE_DEF_T def = {
        .name = name,
        .insert_title = insert_title,
        .id = id,
        .type = type,
        .help = help,
        .indexer = indexer,
        .init_stype = init_stype,
        .assign_access_fn = assign_access_fn,
        .read_data = read_data,
        .write_data = write_data,
        .new_data = new_data,
        .add_data = add_data,
        .view_access_row_fn = view_access_row_fn,
        .edit_access_row_fn = edit_access_row_fn,
        .lock_element_string = lock_element_string,
        .lock_element = lock_element,
        .lock_file_string = lock_file_string,
        .lock_file = lock_file,
        .get_common_struct = get_common_struct,
        .get_keyword_array = get_keyword_array,
        .get_keylist = get_keylist,
        .init_filename = init_filename,
        .init_struct = init_struct,
        .init_data = init_data,
        .init_web = init_web,
        .init_cmd = init_cmd,
        .http_call_start = http_call_start,
    };
    return mot_top_register_stype_def(aux, stype_list_ptr, pool_ref, &def, new_stype_ptr);
}

int mot_top_find_stype(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, const char *name,
                       MOT_TOP_STYPE_T **stype_ptr) noexcept {
    for (MOT_TOP_STYPE_T *s = stype_list; s != nullptr; s = s->next) {
        if (name != nullptr && strcmp(s->name, name) == 0) {
            *stype_ptr = s;
            return 0;
        }
    }
    *stype_ptr = nullptr;
    aux->error->report(aux->error, "No stype_name (%s) exists in the stype_list\n", name ? name : "");
    return 1;
}

int mot_top_init_static_stypes(MOX_AUX_T *, MOT_TOP_STYPE_T *stype_list, void *req_ref) noexcept {
    for (MOT_TOP_STYPE_T *s = stype_list; s != nullptr; s = s->next) {
        if (s->type != MOT_STYPE_MAIN || s->init_struct == nullptr)
            continue;
        int ret = s->init_struct(s, req_ref, FALSE);
        if (ret != 0)
            return ret;
    }
    return 0;
}

// ---- default operations

int mot_top_init_filename(MOT_TOP_STYPE_T *stype, void *pool_ref, const char *filename) noexcept {
    MOX_AUX_T *aux = stype->aux;
    char *copy = nullptr;
    int ret = aux->mem->store_string(aux->mem, pool_ref, &copy, filename ? filename : "");
    if (ret != 0)
        return ret;
    stype->filename = copy;
    stype->data_loaded = FALSE;
    return 0;
}

int mot_top_init_struct(MOT_TOP_STYPE_T *stype, void *, mo_boolean_t) noexcept {
    if (stype->init_filename == nullptr)
        return 0;
    return stype->init_filename(stype);
}

int mot_top_init_struct_null(MOT_TOP_STYPE_T *, void *, mo_boolean_t) noexcept {
    return 0;
}

int mot_init_stype_null(MOT_TOP_STYPE_T **, mo_boolean_t, MOT_TOP_ARG_LIST_T **) noexcept {
    return 0;
}

int mot_insert_title_null(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *, int, int, void *) noexcept {
    return 0;
}

int mot_row_access_all(MOT_TOP_STYPE_T *, void *, mo_boolean_t *ok) noexcept {
    *ok = TRUE;
    return 0;
}

int mot_row_access_none(MOT_TOP_STYPE_T *, void *, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    return 0;
}

int mot_top_get_common_struct(MOT_TOP_STYPE_T *stype, const char *keyword,
                              MOTC_COMMON_KEYWORD_T **common_ptr) noexcept {
    MOTC_KEYLIST_T *keylist = nullptr;
    *common_ptr = nullptr;
    if (stype->get_keylist == nullptr) {
        stype->aux->error->report(stype->aux->error,
                                  "No keyword %s exists in the motc_find_keyword for stype %s\n", keyword,
                                  stype->name);
        return 1;
    }
    int ret = stype->get_keylist(stype, &keylist);
    if (ret != 0)
        return ret;
    return motc_find_keyword(stype->aux, keylist, common_ptr, stype->name, keyword);
}

// ---- lock wrappers

static int lock_element_with_id(MOT_TOP_STYPE_T *stype, int lock_instruction, const char *id_text,
                                int *status_ptr) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOLK_LOCK_CALL_T *call = aux->req->lock_call;
    int status = 0;
    int ret =
        call->element_lock(call, lock_instruction, stype->filename ? stype->filename : "",
                           stype->lock_element_string ? stype->lock_element_string : "", id_text, &status);
    if (status_ptr != nullptr)
        *status_ptr = status;
    return ret;
}

int mot_top_lock_id_element(MOT_TOP_STYPE_T *stype, int lock_instruction, void *data_container,
                            int *status_ptr) noexcept {
    const char *id_text = MOLK_ALL_ELEMENTS;
    if (data_container != nullptr) {
        MOTC_COMMON_KEYWORD_T *common = nullptr;
        int ret = stype->get_common_struct(stype, "ID", &common);
        if (ret != 0)
            return ret;
        ret = common->get_string_fn(common, data_container, &id_text);
        if (ret != 0)
            return ret;
    }
    return lock_element_with_id(stype, lock_instruction, id_text, status_ptr);
}

int mot_top_lock_useropt_element(MOT_TOP_STYPE_T *stype, int lock_instruction, void *,
                                 int *status_ptr) noexcept {
    return lock_element_with_id(stype, lock_instruction, "", status_ptr);
}

int mot_top_lock_page_element(MOT_TOP_STYPE_T *stype, int lock_instruction, void *,
                              int *status_ptr) noexcept {
    return lock_element_with_id(stype, lock_instruction, "", status_ptr);
}

int mot_top_lock_file(MOT_TOP_STYPE_T *stype, int lock_instruction, int *status_ptr) noexcept {
    MOLK_LOCK_CALL_T *call = stype->aux->req->lock_call;
    int status = 0;
    int ret = call->file_lock(call, lock_instruction, stype->filename ? stype->filename : "",
                              stype->lock_file_string ? stype->lock_file_string : "", &status);
    if (status_ptr != nullptr)
        *status_ptr = status;
    return ret;
}

// ---- reload rule and link start

int mot_top_storage_check_load(MOT_TOP_STYPE_T *stype, MOT_TOP_STORAGE_T *storage, int *mod_number_ptr,
                               mo_boolean_t *load_ptr) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *load_ptr = FALSE;
    int number = 0;
    mot_lock_file_fn_t lock_file = stype->lock_file != nullptr ? stype->lock_file : mot_top_lock_file;
    int ret = lock_file(stype, MOLK_FILE_MOD_GET, &number);
    if (ret != 0)
        return ret;
    *mod_number_ptr = number;
    if (storage->struct_ref == nullptr) {
        *load_ptr = TRUE;
        return 0;
    }
    // A file that has gone keeps serving what was last read from it.
    if (storage->mod_time != number && aux->file->exists(aux->file, stype->filename ? stype->filename : "")) {
        ret = mot_top_storage_clear(aux, storage);
        if (ret != 0)
            return ret;
        *load_ptr = TRUE;
    }
    return 0;
}

int mot_top_http_call_start_args(MOT_TOP_STYPE_T *stype, const char *frame, const char *dir_type,
                                 const char *display, const char *trail, char *string) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int n = snprintf(string, MO_STRING_LEN, "%s?%s&%s&%s&%s&0&0&0&%s", aux->setup->httpd_script_main_loc,
                     frame, display, trail, dir_type, stype->name);
    if (n < 0 || n >= MO_STRING_LEN) {
        string[0] = '\0';
        aux->error->report(aux->error, "The link to %s is longer than %d characters\n", stype->name,
                           MO_STRING_LEN - 1);
        return 1;
    }
    return 0;
}

// ---- argument list

int mot_add_arg(MOX_AUX_T *aux, const char *val, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    MOT_TOP_ARG_LIST_T *node = nullptr;
    int ret = mome_new(aux->mem, aux->mem->req_pool_ref, &node);
    if (ret != 0)
        return ret;
    node->val = val;
    node->next = nullptr;
    MOT_TOP_ARG_LIST_T **link = arg_list_ptr;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = node;
    return 0;
}

int mot_advance_next_arg(MOX_AUX_T *aux, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    if (arg_list_ptr == nullptr || *arg_list_ptr == nullptr) {
        aux->error->report(aux->error, "No more arguments to advance in mow_web_advance_next_arg");
        return 1;
    }
    *arg_list_ptr = (*arg_list_ptr)->next;
    return 0;
}

int mot_delete_arg(MOX_AUX_T *aux, MOT_TOP_ARG_LIST_T *arg_element,
                   MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    for (MOT_TOP_ARG_LIST_T **link = arg_list_ptr; *link != nullptr; link = &(*link)->next) {
        if (*link == arg_element) {
            *link = arg_element->next;
            return aux->mem->free(aux->mem, aux->mem->req_pool_ref, arg_element);
        }
    }
    aux->error->report(aux->error, "Can't find the element to delete in mot_delete_arg\n");
    return 1;
}

// ---- display commands

int mot_display_cmd_register(MOT_DISPLAY_CMD_T **display_cmd_list_ptr, MOX_AUX_T *aux, void *pool_ref,
                             const char *command_name, mot_display_service_fn_t service_start_fn,
                             mot_display_service_fn_t service_end_fn) noexcept {
    MOT_DISPLAY_CMD_T *cmd = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &cmd);
    if (ret != 0)
        return ret;
    cmd->command_name = command_name;
    cmd->service_start_fn = service_start_fn;
    cmd->service_end_fn = service_end_fn;
    cmd->next = nullptr;
    MOT_DISPLAY_CMD_T **link = display_cmd_list_ptr;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = cmd;
    return 0;
}

int mot_find_display_cmd(MOT_DISPLAY_CMD_T *display_cmd_list, MOX_AUX_T *aux, const char *name,
                         MOT_DISPLAY_CMD_T **cmd_ptr) noexcept {
    for (MOT_DISPLAY_CMD_T *c = display_cmd_list; c != nullptr; c = c->next) {
        if (name != nullptr && strcmp(c->command_name, name) == 0) {
            *cmd_ptr = c;
            return 0;
        }
    }
    *cmd_ptr = nullptr;
    aux->error->report(aux->error, "Display Command %s not valid\n", name ? name : "");
    return 1;
}

// ---- storage entries

int mot_top_storage_register(MOX_AUX_T *aux, void *pool_ref, MOT_TOP_STORAGE_T **storage_list_ptr,
                             MOT_TOP_STORAGE_T **ret_storage_ptr, const char *id_string) noexcept {
    *ret_storage_ptr = nullptr;
    MOT_TOP_STORAGE_T *storage = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &storage);
    if (ret != 0)
        return ret;
    ret = aux->mem->create_sub_pool(aux->mem, pool_ref, &storage->sub_pool_ref);
    if (ret != 0)
        return ret;
    ret = aux->mem->store_string(aux->mem, pool_ref, &storage->id_string, id_string ? id_string : "");
    if (ret != 0)
        return ret;
    storage->mod_time = 0;
    storage->struct_ref = nullptr;
    storage->next = nullptr;
    MOT_TOP_STORAGE_T **link = storage_list_ptr;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = storage;
    *ret_storage_ptr = storage;
    return 0;
}

int mot_top_storage_find(MOX_AUX_T *aux, void *pool_ref, MOT_TOP_STORAGE_T **storage_list_ptr,
                         MOT_TOP_STORAGE_T **ret_storage_ptr, const char *id_string) noexcept {
    const char *key = id_string ? id_string : "";
    for (MOT_TOP_STORAGE_T *s = *storage_list_ptr; s != nullptr; s = s->next) {
        if (strcmp(s->id_string, key) == 0) {
            *ret_storage_ptr = s;
            return 0;
        }
    }
    return mot_top_storage_register(aux, pool_ref, storage_list_ptr, ret_storage_ptr, key);
}

int mot_top_storage_clear(MOX_AUX_T *aux, MOT_TOP_STORAGE_T *storage) noexcept {
    int ret = aux->mem->clear_sub_pool(aux->mem, storage->sub_pool_ref);
    if (ret != 0)
        return ret;
    storage->mod_time = 0;
    storage->struct_ref = nullptr;
    return 0;
}
