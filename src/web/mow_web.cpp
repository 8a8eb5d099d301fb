// The web service record, the request's arguments and their dispatch to display commands and to the
// web commands of storage types, the command registry and its access functions, form lookups and the
// browser check. Page output is in mow_web_output.cpp.
#include "web/mow_web.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "storage/mok_key.h"
#include "storage/mot_top.h"
#include "storage/motr_trail.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "apps/moa_access_cmn.h"
#include "apps/moit_item_cmn.h"
#include "stdlist/motsl_stdlist.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

int mow_construct_web(MOW_WEB_T **web_ptr, MOIM_INTERM_T *interm,
                      mow_send_content_type_fn_t send_content_type, mow_get_user_agent_fn_t get_user_agent,
                      mow_parse_form_fn_t parse_form) noexcept {
    int ret = mome_new(interm->mem, interm->mem->session_pool_ref, web_ptr);
    if (ret != 0)
        return ret;
    MOW_WEB_T *web = *web_ptr;
    web->interm = interm;
    web->frame = "";
    web->display = "";
    web->trail_op = "";
    web->dir_type = "";
    web->trail_filename[0] = '\0';
    web->trail_ref = nullptr;
    web->send_content_type = send_content_type;
    web->get_user_agent = get_user_agent;
    web->check_browser = mow_check_browser;
    web->parse_form = parse_form;
    web->get_default_link = nullptr;
    web->dir_list = nullptr;
    return 0;
}

int mow_web_init(MOW_WEB_T *web) noexcept {
    web->frame = "";
    web->display = "";
    web->trail_op = "";
    web->dir_type = "";
    web->trail_filename[0] = '\0';
    web->trail_ref = nullptr;
    return 0;
}

// ---- arguments

int mow_top_process_args(MOX_AUX_T *aux, const char *input, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    MOE_ERROR_T *error = aux->error;
    if (input == nullptr || input[0] == '\0') {
        error->report(error, "Unknown error in processing web arguments\n");
        return 1;
    }
    // Appending at a kept tail keeps a long query string linear.
    MOT_TOP_ARG_LIST_T **tail = arg_list_ptr;
    while (*tail != nullptr)
        tail = &(*tail)->next;
    char word[MOW_ARG_LEN_MAX + 1];
    for (const char *p = input; *p != '\0';) {
        if (strcspn(p, "&") > MOW_ARG_LEN_MAX) {
            error->report(error, "An argument is too long. Greater than %d\n", MOW_ARG_LEN_SHOWN);
            return 1;
        }
        p += mow_web_util_getword(word, sizeof(word), p, '&');
        mow_web_util_plustospace(word);
        mow_web_util_unescape_url(word);
        char *copy = nullptr;
        int ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, &copy, word);
        if (ret == 0)
            ret = mot_add_arg(aux, copy, tail);
        if (ret != 0)
            return ret;
        tail = &(*tail)->next;
    }
    return 0;
}

// The current argument; NULL when the list is used up.
static const char *mow_current_arg(MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    return arg_list_ptr != nullptr && *arg_list_ptr != nullptr ? (*arg_list_ptr)->val : nullptr;
}

// A leading argument. Frame, trail and directory type are written back into links and name trail
// files, so they must be plain words; anything else counts as missing.
static int mow_take_arg(MOX_AUX_T *aux, MOT_TOP_ARG_LIST_T **arg_list_ptr, const char *what, bool word_only,
                        bool advance, const char **value) noexcept {
    const char *arg = mow_current_arg(arg_list_ptr);
    if (arg == nullptr || arg[0] == '\0' || (word_only && !mow_web_util_word_ok(arg))) {
        aux->error->report(aux->error, "Can't find any %s argument\n", what);
        return 1;
    }
    *value = arg;
    return advance ? mot_advance_next_arg(aux, arg_list_ptr) : 0;
}

// The nodes go back to the request pool; the texts stay until the request ends.
static void mow_release_args(MOX_AUX_T *aux, MOT_TOP_REQ_T *req) noexcept {
    MOT_TOP_ARG_LIST_T *node = req->initial_arg_list;
    while (node != nullptr) {
        MOT_TOP_ARG_LIST_T *next = node->next;
        aux->mem->free(aux->mem, aux->mem->req_pool_ref, node);
        node = next;
    }
    req->initial_arg_list = nullptr;
    req->arg_list = nullptr;
    req->arg_list_ptr = &req->arg_list;
}

// ---- trail of the request's user

// The user whose trail is kept: the logged-in user of the access service. A request without a user
// keeps no trail.
static bool mow_trail_user(MOX_AUX_T *aux, int *user_id) noexcept {
    *user_id = aux->access != nullptr ? aux->access->current_user_id : -1;
    return *user_id >= 0;
}

static int mow_trail_read(MOX_AUX_T *aux) noexcept {
    MOW_WEB_T *web = aux->web;
    web->trail_ref = nullptr;
    web->trail_filename[0] = '\0';
    int user_id = 0;
    if (!mow_trail_user(aux, &user_id))
        return 0;
    int ret = motr_trail_set_filename(aux, user_id, web->frame, web->display, web->trail_filename);
    if (ret == 0)
        ret = motr_trail_read_file(aux, web->trail_filename, &web->trail_ref);
    return ret;
}

static int mow_trail_write(MOX_AUX_T *aux) noexcept {
    MOW_WEB_T *web = aux->web;
    if (web->trail_filename[0] == '\0')
        return 0;
    return motr_trail_write_file(aux, web->trail_filename, web->trail_ref);
}

// ---- dispatch

int mow_web_parse_display_web_arg(MOT_TOP_SESSION_T *session, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                                  const char *input_args) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOW_WEB_T *web = aux->web;
    MOE_ERROR_T *error = aux->error;
    const char *text = input_args != nullptr ? input_args : "";
    // The login argument of a pre-filled login link is no part of the page's address.
    if (strncmp(text, "U=", 2) == 0) {
        const char *amp = strchr(text, '&');
        text = amp != nullptr ? amp + 1 : "";
    }
    mo_string_t link = "";
    if (text[0] == '\0') {
        if (web->get_default_link == nullptr) {
            error->report(error, "No default page is set up for an empty address\n");
            return 1;
        }
        int ret = web->get_default_link(aux, link);
        if (ret != 0)
            return ret;
        const char *query = strchr(link, '?');
        text = query != nullptr ? query + 1 : link;
    }
    req->arg_list = nullptr;
    req->arg_list_ptr = &req->arg_list;
    req->initial_arg_list = nullptr;
    int ret = mow_top_process_args(aux, text, &req->arg_list);
    req->initial_arg_list = req->arg_list;
    MOT_TOP_ARG_LIST_T **pos = req->arg_list_ptr;
    MOT_DISPLAY_CMD_T *display_cmd = nullptr;
    if (ret == 0)
        ret = mow_take_arg(aux, pos, "frame", true, true, &web->frame);
    if (ret == 0)
        ret = mow_take_arg(aux, pos, "display", false, false, &web->display);
    if (ret == 0)
        ret = mot_find_display_cmd(session->display_cmd_list, aux, web->display, &display_cmd);
    if (ret == 0)
        ret = mot_advance_next_arg(aux, pos);
    if (ret == 0)
        ret = mow_take_arg(aux, pos, "trail", true, true, &web->trail_op);
    if (ret == 0)
        ret = mow_take_arg(aux, pos, "dir_type", true, false, &web->dir_type);
    if (ret == 0)
        ret = mow_trail_read(aux);
    MOT_TOP_STYPE_T *stype_list = session->storage.stype_list;
    if (ret == 0 && display_cmd->service_start_fn != nullptr)
        ret = display_cmd->service_start_fn(stype_list, aux, out_def, req, pos);
    if (ret == 0 && display_cmd->service_end_fn != nullptr)
        ret = display_cmd->service_end_fn(stype_list, aux, out_def, req, pos);
    if (ret == 0)
        ret = mow_trail_write(aux);
    mow_release_args(aux, req);
    return ret;
}

// A decimal id of the request, refused unless it is a whole number.
static bool mow_parse_id(const char *text, int *value) noexcept {
    const char *p = text;
    bool negative = *p == '-';
    if (negative)
        p++;
    if (*p == '\0')
        return false;
    long long v = 0;
    for (; *p != '\0'; p++) {
        if (!isdigit(static_cast<unsigned char>(*p)))
            return false;
        v = v * 10 + (*p - '0');
        if (v > INT_MAX)
            return false;
    }
    *value = static_cast<int>(negative ? -v : v);
    return true;
}

int mow_web_parse_operation_web_arg(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_STYPE_T *stype_list,
                                    MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    MOE_ERROR_T *error = aux->error;
    MOW_WEB_T *web = aux->web;
    const char *dir_type = nullptr;
    int ret = mow_take_arg(aux, arg_list_ptr, "dir_type", true, true, &dir_type);
    if (ret != 0)
        return ret;
    web->dir_type = dir_type;
    const char *index_text = nullptr;
    ret = mow_take_arg(aux, arg_list_ptr, "index", false, false, &index_text);
    if (ret != 0)
        return ret;
    int index_id = 0;
    if (!mow_parse_id(index_text, &index_id)) {
        error->report(error, "Index ID %s is not a number\n", index_text);
        return 1;
    }
    // Index and list ranges, and the default stype of a folder, belong to the folder tree items of
    // the item service. Without a loaded tree the one index is 0 and a list is named by its stype with
    // list id 0.
    MOIT_ITEM_T *item = aux->item;
    bool tree = item != nullptr && item->max_index >= item->min_index;
    if (tree ? (index_id < item->min_index || index_id > item->max_index) : index_id != 0) {
        error->report(error, "Index ID %d out of range\n", index_id);
        return 1;
    }
    MOT_TOP_ARG_LIST_T *list_arg = (*arg_list_ptr)->next;
    if (list_arg == nullptr || list_arg->val == nullptr || list_arg->val[0] == '\0') {
        error->report(error, "Can't find any list_id argument\n");
        return 1;
    }
    int list_id = 0;
    if (!mow_parse_id(list_arg->val, &list_id)) {
        error->report(error, "List ID %s is not a number\n", list_arg->val);
        return 1;
    }
    if (item != nullptr) {
        item->current_index_id = index_id;
        item->current_list_id = list_id;
    }
    if (list_id != 0) {
        // A folder item names its own stype; a gap in the ids is no item.
        MOTSL_ITEM_HOOKS_T *hooks = aux->list_hooks != nullptr ? aux->list_hooks->item : nullptr;
        int max_id = 0;
        if (tree && hooks != nullptr && hooks->get_max_item_id != nullptr)
            ret = hooks->get_max_item_id(hooks, index_id, &max_id);
        if (ret != 0)
            return ret;
        if (!tree || hooks == nullptr || hooks->get_default_stype == nullptr || list_id < 0 ||
            list_id > max_id) {
            error->report(error, "List ID %d out of range\n", list_id);
            return 1;
        }
        const char *stype_name = nullptr;
        ret = hooks->get_default_stype(hooks, index_id, list_id, &stype_name);
        if (ret != 0)
            return ret;
        if (stype_name == nullptr || stype_name[0] == '\0') {
            error->report(error, "Can't find any stype argument\n");
            return 1;
        }
        return mow_web_run_operation(aux, out_def, stype_list, req, stype_name, arg_list_ptr);
    }
    MOT_TOP_ARG_LIST_T *stype_arg = list_arg->next != nullptr ? list_arg->next->next : nullptr;
    if (stype_arg == nullptr || stype_arg->val == nullptr || stype_arg->val[0] == '\0') {
        error->report(error, "Can't find any stype argument\n");
        return 1;
    }
    return mow_web_run_operation(aux, out_def, stype_list, req, stype_arg->val, arg_list_ptr);
}

int mow_web_run_operation(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_STYPE_T *stype_list,
                          MOT_TOP_REQ_T *req, const char *stype_name,
                          MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    MOE_ERROR_T *error = aux->error;
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = mow_web_find_stype(stype_list, aux, stype_name, &stype);
    if (ret == 0 && stype->init_stype != nullptr)
        ret = stype->init_stype(&stype, TRUE, arg_list_ptr);
    if (ret == 0)
        ret = stype->init_web(req, &stype);
    const char *operation = nullptr;
    if (ret == 0) {
        operation = mow_current_arg(arg_list_ptr);
        if (operation == nullptr || operation[0] == '\0') {
            error->report(error, "Can't find operation argument\n");
            return 1;
        }
        ret = mot_advance_next_arg(aux, arg_list_ptr);
    }
    if (ret != 0)
        return ret;
    MOT_TOP_ARG_LIST_T *args = *arg_list_ptr;
    int count = 0;
    for (MOT_TOP_ARG_LIST_T *a = args; a != nullptr; a = a->next)
        count++;
    MOW_WEB_CMD_T *cmd = nullptr;
    ret = mow_web_find_cmd(stype, operation, &cmd);
    if (ret != 0)
        return ret;
    if (count < cmd->min_args) {
        error->report(error, "Operation %s has not enough arguments\n", operation);
        return 1;
    }
    if (count > cmd->max_args) {
        error->report(error, "Operation %s has too many arguments\n", operation);
        return 1;
    }
    mo_boolean_t ok = FALSE;
    const char *message = nullptr;
    ret = cmd->access_fn(stype, cmd, args, &ok, &message);
    if (ret != 0)
        return ret;
    if (!ok) {
        if (message != nullptr && message[0] != '\0')
            error->report(error, "%s", message);
        else
            error->report(error, "Sorry you don't have sufficient access privileges for this operation %s\n",
                          operation);
        return 1;
    }
    ret = cmd->service_fn(stype, out_def, cmd, req, args);
    if (ret != 0)
        error->report(error, "Failure occurred during the %s operation\n", operation);
    return ret;
}

int mow_web_find_stype(MOT_TOP_STYPE_T *stype_list, MOX_AUX_T *aux, const char *name,
                       MOT_TOP_STYPE_T **stype_ptr) noexcept {
    int ret = mot_top_find_stype(stype_list, aux, name, stype_ptr);
    if (ret != 0)
        return ret;
    if ((*stype_ptr)->init_web == nullptr) {
        aux->error->report(aux->error, "Stype %s not valid for the web interface\n", name);
        *stype_ptr = nullptr;
        return 1;
    }
    return 0;
}

// ---- command registry

int mow_web_init_storage(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_button_fn_t web_button_fn) noexcept {
    MOW_WEB_STORAGE_T *storage = nullptr;
    int ret = mome_new(stype->aux->mem, pool_ref, &storage);
    if (ret != 0)
        return ret;
    storage->cmd_list = nullptr;
    storage->picker_cmd_list = nullptr;
    storage->checkbox_required = FALSE;
    storage->web_button_fn = web_button_fn;
    stype->web_storage_ref = storage;
    return 0;
}

static MOW_WEB_STORAGE_T *mow_storage(MOT_TOP_STYPE_T *stype) noexcept {
    MOW_WEB_STORAGE_T *storage = static_cast<MOW_WEB_STORAGE_T *>(stype->web_storage_ref);
    if (storage == nullptr)
        stype->aux->error->report(stype->aux->error, "Stype %s has no web commands\n", stype->name);
    return storage;
}

int mow_web_cmd_register(MOT_TOP_STYPE_T *stype, void *pool_ref, const char *command_name, int min_args,
                         int max_args, mow_web_call_fn_t call_fn, mow_web_access_fn_t access_fn,
                         mow_web_service_fn_t service_fn) noexcept {
    MOW_WEB_STORAGE_T *storage = mow_storage(stype);
    if (storage == nullptr)
        return 1;
    MOW_WEB_CMD_T *cmd = nullptr;
    int ret = mome_new(stype->aux->mem, pool_ref, &cmd);
    if (ret != 0)
        return ret;
    *cmd = MOW_WEB_CMD_T{.command_name = command_name,
                         .min_args = min_args,
                         .max_args = max_args,
                         .call_fn = call_fn,
                         .access_fn = access_fn,
                         .service_fn = service_fn,
                         .next = nullptr};
    MOW_WEB_CMD_T **link = &storage->cmd_list;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = cmd;
    return 0;
}

int mow_web_picker_cmd_register(MOT_TOP_STYPE_T *stype, void *pool_ref, const char *command_name,
                                mo_boolean_t checkbox_required, mow_picker_build_init_fn_t build_init_fn,
                                mow_picker_access_fn_t access_fn, mow_picker_button_fn_t button_fn,
                                mow_picker_service_fn_t service_fn) noexcept {
    MOW_WEB_STORAGE_T *storage = mow_storage(stype);
    if (storage == nullptr)
        return 1;
    MOW_WEB_PICKER_CMD_T *cmd = nullptr;
    int ret = mome_new(stype->aux->mem, pool_ref, &cmd);
    if (ret != 0)
        return ret;
    *cmd = MOW_WEB_PICKER_CMD_T{.command_name = command_name,
                                .checkbox_required = checkbox_required,
                                .access_granted = FALSE,
                                .build_init_fn = build_init_fn,
                                .access_fn = access_fn,
                                .button_fn = button_fn,
                                .service_fn = service_fn,
                                .next = nullptr};
    MOW_WEB_PICKER_CMD_T **link = &storage->picker_cmd_list;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = cmd;
    return 0;
}

int mow_web_find_cmd(MOT_TOP_STYPE_T *stype, const char *name, MOW_WEB_CMD_T **cmd_ptr) noexcept {
    *cmd_ptr = nullptr;
    MOW_WEB_STORAGE_T *storage = static_cast<MOW_WEB_STORAGE_T *>(stype->web_storage_ref);
    for (MOW_WEB_CMD_T *cmd = storage != nullptr ? storage->cmd_list : nullptr; cmd != nullptr;
         cmd = cmd->next) {
        if (strcmp(cmd->command_name, name) == 0) {
            *cmd_ptr = cmd;
            return 0;
        }
    }
    stype->aux->error->report(stype->aux->error, "Operation %s not valid\n", name);
    return 1;
}

int mow_web_get_stype_call(MOT_TOP_STYPE_T *stype, const char *web_cmd_name, char *call_string) noexcept {
    call_string[0] = '\0';
    MOW_WEB_CMD_T *cmd = nullptr;
    int ret = mow_web_find_cmd(stype, web_cmd_name, &cmd);
    if (ret != 0)
        return ret;
    mo_boolean_t ok = FALSE;
    const char *message = nullptr;
    ret = cmd->access_fn(stype, cmd, nullptr, &ok, &message);
    if (ret != 0 || !ok)
        return ret;
    return cmd->call_fn(stype, call_string);
}

int mow_web_insert_stype_call_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                     const char *web_cmd_name, const char *graphic, const char *alt_text,
                                     const char *button_text) noexcept {
    mo_string_t call;
    int ret = mow_web_get_stype_call(stype, web_cmd_name, call);
    if (ret != 0 || call[0] == '\0')
        return ret;
    MOX_AUX_T *aux = stype->aux;
    bool text = button_text != nullptr && button_text[0] != '\0';
    if (text)
        ret = out_def->line_fn(out_def, "&nbsp; ");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, graphic, alt_text, call);
    if (ret == 0 && text)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">", call);
    if (ret == 0 && text)
        ret = mow_insert_protected_string_form(aux, out_def, button_text);
    if (ret == 0 && text)
        ret = out_def->line_fn(out_def, "</A>");
    return ret;
}

int mow_web_get_list_call_from_id(MOT_TOP_STYPE_T *top_stype, MOOU_OUT_DEF_T *, int type_id, const char *,
                                  char *link) noexcept {
    MOX_AUX_T *aux = top_stype->aux;
    link[0] = '\0';
    // The item type's default stype and list command come from the item service.
    aux->error->report(aux->error, "Can't find the list of item type %d: the item service is not available\n",
                       type_id);
    return 1;
}

int mow_web_trail_call(MOX_AUX_T *aux, MOK_DATA_RECORD_T *trail_ref, const char *trail_op,
                       char *tmp_string) noexcept {
    tmp_string[0] = '\0';
    if (trail_ref == nullptr) {
        aux->error->report(aux->error, "There is no trail to go back along\n");
        return 1;
    }
    const MOTR_TRAIL_INFO_T *entry = static_cast<const MOTR_TRAIL_INFO_T *>(trail_ref->container);
    const char *frame_display = entry->frame_display != nullptr ? entry->frame_display : "";
    const char *content = entry->trail_content != nullptr ? entry->trail_content : "";
    int n = snprintf(tmp_string, MO_STRING_LEN, "%s?%s&%s%s", aux->setup->httpd_script_main_loc,
                     frame_display, trail_op, content);
    if (n < 0 || n >= MO_STRING_LEN) {
        tmp_string[0] = '\0';
        aux->error->report(aux->error, "The trail link is longer than %d characters\n", MO_STRING_LEN - 1);
        return 1;
    }
    return 0;
}

// ---- access functions

int mow_cmd_access_all(MOT_TOP_STYPE_T *, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                       const char **message) noexcept {
    *ok = TRUE;
    *message = nullptr;
    return 0;
}

// The access definitions of lists, and the folder items that hold them, are not part of this build:
// nothing is granted through them.
static int mow_cmd_access_def(mo_boolean_t *ok, const char **message) noexcept {
    *ok = FALSE;
    *message = nullptr;
    return 0;
}

int mow_cmd_access_def_view(MOT_TOP_STYPE_T *, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                            const char **message) noexcept {
    return mow_cmd_access_def(ok, message);
}

int mow_cmd_access_def_edit(MOT_TOP_STYPE_T *, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                            const char **message) noexcept {
    return mow_cmd_access_def(ok, message);
}

int mow_cmd_access_def_lib(MOT_TOP_STYPE_T *, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                           const char **message) noexcept {
    return mow_cmd_access_def(ok, message);
}

int mow_picker_cmd_access_all(MOT_TOP_STYPE_T *, mo_boolean_t *ok) noexcept {
    *ok = TRUE;
    return 0;
}

int mow_picker_cmd_access_def_lib(MOT_TOP_STYPE_T *, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    return 0;
}

// ---- form lookups

static const MOW_POST_RESULTS_T *mow_find_field(const MOW_POST_RESULTS_T *results,
                                                const char *name) noexcept {
    for (const MOW_POST_RESULTS_T *r = results; r != nullptr && r->name != nullptr; r++) {
        if (strcmp(r->name, name) == 0)
            return r;
    }
    return nullptr;
}

int mow_form_button_service(MOW_POST_RESULTS_T *results, const char *button_text,
                            mo_boolean_t *active_ptr) noexcept {
    *active_ptr = mow_find_field(results, button_text) != nullptr ? TRUE : FALSE;
    return 0;
}

int mow_form_is_field(MOX_AUX_T *, MOW_POST_RESULTS_T *results, const char *field_name) noexcept {
    return mow_find_field(results, field_name) != nullptr ? 1 : 0;
}

int mow_form_field_service(MOX_AUX_T *aux, MOW_POST_RESULTS_T *results, const char *field_name,
                           const char **result_ptr) noexcept {
    const MOW_POST_RESULTS_T *field = mow_find_field(results, field_name);
    if (field == nullptr) {
        *result_ptr = nullptr;
        aux->error->report(aux->error, "%s doesn't exist as a NAME in the form\n", field_name);
        return 1;
    }
    *result_ptr = field->val != nullptr ? field->val : "";
    return 0;
}

int mow_create_keyword(MOX_AUX_T *aux, void *pool, const char *prefix, const char *user_name,
                       char **keyword_ptr) noexcept {
    size_t prefix_len = strlen(prefix);
    size_t name_len = strlen(user_name);
    char *keyword = nullptr;
    int ret = mome_new_array(aux->mem, pool, &keyword, prefix_len + name_len + 1);
    if (ret != 0)
        return ret;
    memcpy(keyword, prefix, prefix_len);
    for (size_t i = 0; i < name_len; i++) {
        unsigned char c = static_cast<unsigned char>(user_name[i]);
        if (c == ' ')
            c = '_';
        else if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        keyword[prefix_len + i] = static_cast<char>(c);
    }
    keyword[prefix_len + name_len] = '\0';
    *keyword_ptr = keyword;
    return 0;
}

int mow_list_get_lines(MOT_TOP_STYPE_T *, MOK_DATA_RECORD_T *data_record, int *lines_ptr) noexcept {
    int lines = 0;
    for (MOK_DATA_RECORD_T *r = data_record; r != nullptr; r = r->next)
        lines++;
    *lines_ptr = lines;
    return 0;
}

int mow_check_browser(MOW_WEB_T *web, int type, mo_boolean_t *ok_ptr) noexcept {
    *ok_ptr = FALSE;
    const char *agent = nullptr;
    int ret = web->get_user_agent(web, &agent);
    if (ret != 0 || agent == nullptr)
        return ret;
    const char *needle = type == 1 ? "SunOS" : type == 2 ? "Win" : type == 3 ? "MSIE" : nullptr;
    if (needle != nullptr && strstr(agent, needle) != nullptr)
        *ok_ptr = TRUE;
    return 0;
}
