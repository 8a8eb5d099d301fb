// The command interface: one command line per process, "morvale <type> <operation> [options] [args]".
#include "entry/moc_cmd.h"

#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "storage/mot_top.h"
#include "platform/mou_util_cmn.h"
#include "entry/mox_aux.h"

#include <cstdio>
#include <cstring>

static const char *const moc_program_word = "morvale";

int moc_cmd_init_storage(MOT_TOP_STYPE_T *stype) noexcept {
    MOME_MEM_T *mem = stype->aux->mem;
    MOC_CMD_STORAGE_T *storage = nullptr;
    int ret = mome_new(mem, mem->req_pool_ref, &storage);
    if (ret != 0)
        return ret;
    storage->cmd_list = nullptr;
    stype->cmd_storage_ref = storage;
    return 0;
}

int moc_cmd_register(MOT_TOP_STYPE_T *stype, const char *command_name, int min_args, int max_args,
                     moc_service_fn_t service_fn, const char *help, const char *allowed_options) noexcept {
    MOME_MEM_T *mem = stype->aux->mem;
    auto *storage = static_cast<MOC_CMD_STORAGE_T *>(stype->cmd_storage_ref);
    if (storage == nullptr) {
        int ret = moc_cmd_init_storage(stype);
        if (ret != 0)
            return ret;
        storage = static_cast<MOC_CMD_STORAGE_T *>(stype->cmd_storage_ref);
    }
    MOC_CMD_CMD_T *cmd = nullptr;
    int ret = mome_new(mem, mem->req_pool_ref, &cmd);
    if (ret != 0)
        return ret;
    *cmd = MOC_CMD_CMD_T{
        .command_name = command_name,
        .min_args = min_args,
        .max_args = max_args,
        .service_fn = service_fn,
        .help = help != nullptr ? help : "",
        .allowed_options = allowed_options != nullptr ? allowed_options : "",
        .next = nullptr,
    };
    mo_list_append(&storage->cmd_list, cmd);
    return 0;
}

int moc_cmd_init_table(MOT_TOP_STYPE_T *stype, const MOC_CMD_DEF_T *table, size_t count) noexcept {
    int ret = moc_cmd_init_storage(stype);
    for (size_t i = 0; ret == 0 && i < count; i++) {
        const MOC_CMD_DEF_T &c = table[i];
        ret = moc_cmd_register(stype, c.command_name, c.min_args, c.max_args, c.service_fn, c.help,
                               c.allowed_options);
    }
    return ret;
}

int moc_access_null(MOT_TOP_STYPE_T *, void *) noexcept {
    return 0;
}

int moc_count_args(MOT_TOP_ARG_LIST_T *args) noexcept {
    int n = 0;
    for (; args != nullptr; args = args->next)
        n++;
    return n;
}

int moc_print_stypes_for_cmd(MOT_TOP_STYPE_T *stype_list) noexcept {
    for (MOT_TOP_STYPE_T *s = stype_list; s != nullptr; s = s->next)
        if (s->init_cmd != nullptr)
            printf("%25s   %s\n", s->name, s->help);
    return 0;
}

int moc_print_operations_for_cmd(MOC_CMD_CMD_T *cmd_list) noexcept {
    for (MOC_CMD_CMD_T *c = cmd_list; c != nullptr; c = c->next) {
        printf("%25s   %s.", c->command_name, c->help);
        if (c->allowed_options[0] != '\0')
            printf(" Possible options are: %s", c->allowed_options);
        printf("\n");
    }
    return 0;
}

int moc_check_for_allowed_options(MOX_AUX_T *aux, const char *found, const char *allowed) noexcept {
    if (strlen(found) > strlen(allowed)) {
        aux->error->report(aux->error, "Too many options. Allowed options are: %s\n", allowed);
        return 1;
    }
    for (const char *p = found; *p != '\0'; p++) {
        if (strchr(allowed, *p) == nullptr) {
            aux->error->report(aux->error, "Option %c not allowed, only the following options: %s\n", *p,
                               allowed);
            return 1;
        }
    }
    return 0;
}

int moc_cmd_pull_out_options(MOX_AUX_T *aux, MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept {
    options->found_options[0] = '\0';
    options->quiet_flag = FALSE;
    options->recursive_flag = FALSE;
    options->output_file_to_stdout = FALSE;
    options->no_header = FALSE;
    options->rev = "";

    MOT_TOP_ARG_LIST_T *arg = req->arg_list;
    while (arg != nullptr) {
        MOT_TOP_ARG_LIST_T *next = arg->next;
        const char *val = arg->val;
        if (val[0] != '-') {
            arg = next;
            continue;
        }
        char letter = val[1];
        size_t used = strlen(options->found_options);
        if (letter != '\0' && used + 1 < sizeof(options->found_options)) {
            options->found_options[used] = letter;
            options->found_options[used + 1] = '\0';
        }
        bool known = letter != '\0' && strchr("qRphr", letter) != nullptr;
        if (!known) {
            aux->error->report(aux->error, "Unknown option: %s\n", val);
            return 1;
        }
        if (val[2] != '\0') {
            aux->error->report(aux->error, "Invalid option %s\n", val);
            return 1;
        }
        switch (letter) {
            case 'q':
                options->quiet_flag = TRUE;
                break;
            case 'R':
                options->recursive_flag = TRUE;
                break;
            case 'p':
                options->output_file_to_stdout = TRUE;
                break;
            case 'h':
                options->no_header = TRUE;
                break;
            case 'r': {
                int ret = mot_delete_arg(aux, arg, &req->arg_list);
                if (ret != 0)
                    return ret;
                if (next == nullptr || next->val[0] == '-') {
                    aux->error->report(aux->error, "no revision number\n");
                    return 1;
                }
                options->rev = next->val;
                MOT_TOP_ARG_LIST_T *after = next->next;
                ret = mot_delete_arg(aux, next, &req->arg_list);
                if (ret != 0)
                    return ret;
                arg = after;
                continue;
            }
        }
        int ret = mot_delete_arg(aux, arg, &req->arg_list);
        if (ret != 0)
            return ret;
        arg = next;
    }
    return 0;
}

// Releases every argument node still in the list.
static void moc_release_args(MOX_AUX_T *aux, MOT_TOP_REQ_T *req) noexcept {
    MOT_TOP_ARG_LIST_T *arg = req->arg_list;
    while (arg != nullptr) {
        MOT_TOP_ARG_LIST_T *next = arg->next;
        aux->mem->free(aux->mem, aux->mem->req_pool_ref, arg);
        arg = next;
    }
    req->arg_list = nullptr;
}

int moc_cmd_check_operation(int argc, char **argv, MOT_TOP_SESSION_T *session, MOT_TOP_REQ_T *req) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOE_ERROR_T *error = aux->error;

    req->arg_list = nullptr;
    req->arg_list_ptr = &req->arg_list;
    for (int i = 0; i < argc; i++) {
        if (strlen(argv[i]) > MOC_MAX_ARG_LEN) {
            error->report(error, "An argument is too long. Greater than %d\n", MO_STRING_LEN);
            return 1;
        }
        int ret = mot_add_arg(aux, argv[i], &req->arg_list);
        if (ret != 0)
            return ret;
    }

    MOC_OPTIONS_T options;
    int ret = moc_cmd_pull_out_options(aux, req, &options);
    if (ret != 0)
        return ret;

    MOT_TOP_STYPE_T *stype_list = session->storage.stype_list;
    if (req->arg_list == nullptr) {
        printf("No arguments.\nUsage is %s <type> <operation>\n", moc_program_word);
        printf("Available Types are: \n");
        moc_print_stypes_for_cmd(stype_list);
        return 1;
    }

    MOT_TOP_ARG_LIST_T *type_arg = req->arg_list;
    const char *type_word = type_arg->val;
    ret = mot_delete_arg(aux, type_arg, &req->arg_list);
    if (ret != 0)
        return ret;
    error->strcat_cmd(error, type_word);

    MOT_TOP_STYPE_T *stype = nullptr;
    ret = mot_top_find_stype(stype_list, aux, type_word, &stype);
    if (ret != 0) {
        printf("Available Types are: \n");
        moc_print_stypes_for_cmd(stype_list);
        return ret;
    }
    if (stype->init_cmd == nullptr) {
        error->report(error, "Type %s not valid for the command interface\n", type_word);
        return 1;
    }
    ret = stype->init_cmd(req, &stype);
    if (ret != 0)
        return ret;
    auto *storage = static_cast<MOC_CMD_STORAGE_T *>(stype->cmd_storage_ref);
    MOC_CMD_CMD_T *cmd_list = storage != nullptr ? storage->cmd_list : nullptr;

    if (req->arg_list == nullptr || req->arg_list->val[0] == '\0') {
        printf("Can't find operation argument\nValid operations are;\n");
        moc_print_operations_for_cmd(cmd_list);
        return 1;
    }

    MOT_TOP_ARG_LIST_T *op_arg = req->arg_list;
    const char *op_word = op_arg->val;
    ret = mot_delete_arg(aux, op_arg, &req->arg_list);
    if (ret != 0)
        return ret;
    error->strcat_cmd(error, op_word);
    int count = moc_count_args(req->arg_list);

    MOC_CMD_CMD_T *cmd = cmd_list;
    while (cmd != nullptr && strcmp(cmd->command_name, op_word) != 0)
        cmd = cmd->next;
    if (cmd == nullptr) {
        error->report(error, "Operation %s not valid\n", op_word);
        return 1;
    }

    ret = moc_check_for_allowed_options(aux, options.found_options, cmd->allowed_options);
    if (ret != 0)
        return ret;
    if (count < cmd->min_args) {
        error->report(error, "Operation %s has not enough arguments\n", op_word);
        return 1;
    }
    if (count > cmd->max_args) {
        error->report(error, "Operation %s has too many arguments\n", op_word);
        return 1;
    }

    ret = cmd->service_fn(stype, req->arg_list, session, req, &options);
    if (ret != 0) {
        error->report(error, "Failure occurred during the %s operation\n", op_word);
        return ret;
    }
    moc_release_args(aux, req);
    return 0;
}

int moc_cmd_register_type(MOT_TOP_SESSION_T *session, const char *name, int id, const char *help,
                          moc_init_cmd_fn_t init_cmd) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOT_TOP_STYPE_DEF_T def = mot_stype_def_commands_only;
    def.name = name;
    def.id = id;
    def.help = help;
    def.assign_access_fn = moc_access_null;
    def.init_cmd = init_cmd;
    MOT_TOP_STYPE_T *stype = nullptr;
    return mot_top_register_stype_def(aux, &session->storage.stype_list, aux->mem->session_pool_ref, &def,
                                      &stype);
}

int moc_cmd_not_available(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *, MOT_TOP_SESSION_T *, MOT_TOP_REQ_T *,
                          MOC_OPTIONS_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    aux->error->report(aux->error, "This operation is not available in this version of Morvale\n");
    return 1;
}
