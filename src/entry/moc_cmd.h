// The command interface of the command-line program: parses "type operation options arguments",
// finds the type and its operation, checks options and argument counts and runs the operation.
#pragma once
#include "mo_std.h"

struct MOT_TOP_ARG_LIST_T;

struct MOC_OPTIONS_T {
    mo_string_t found_options;          // option letters in the order met, repeats included
    mo_boolean_t quiet_flag;            // -q
    mo_boolean_t recursive_flag;        // -R
    mo_boolean_t output_file_to_stdout; // -p
    mo_boolean_t no_header;             // -h
    const char *rev;                    // revision given with -r; empty text when none
};
typedef struct MOC_OPTIONS_T moc_options_t;

typedef int (*moc_service_fn_t)(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *session,
                                MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept;

struct MOC_CMD_CMD_T {
    const char *command_name;    // the operation word
    int min_args;                // least number of arguments after the operation word
    int max_args;                // greatest number of such arguments
    moc_service_fn_t service_fn; // the operation
    const char *help;            // one-line description
    const char *allowed_options; // option letters accepted, empty when none
    MOC_CMD_CMD_T *next;         // next operation of the same type
};
typedef struct MOC_CMD_CMD_T moc_cmd_cmd_t;

struct MOC_CMD_STORAGE_T {
    MOC_CMD_CMD_T *cmd_list; // operations in registration order
};
typedef struct MOC_CMD_STORAGE_T moc_cmd_storage_t;

#define MOC_MAX_ARG_LEN 1022 // longest argument accepted

int moc_cmd_init_storage(MOT_TOP_STYPE_T *stype) noexcept;
int moc_cmd_register(MOT_TOP_STYPE_T *stype, const char *command_name, int min_args, int max_args,
                     moc_service_fn_t service_fn, const char *help, const char *allowed_options) noexcept;
// One operation of a command table, named like the fields of the operation it registers. A null
// help or allowed_options means the empty text.
struct MOC_CMD_DEF_T {
    const char *command_name = nullptr;    // the operation word
    int min_args = 0;                      // least number of arguments after the operation word
    int max_args = 0;                      // greatest number of such arguments
    moc_service_fn_t service_fn = nullptr; // the operation
    const char *help = nullptr;            // one-line description
    const char *allowed_options = nullptr; // option letters accepted
};
typedef struct MOC_CMD_DEF_T moc_cmd_def_t;

// Starts the type's command list afresh and registers the table's operations in order; stops at the
// first failure.
int moc_cmd_init_table(MOT_TOP_STYPE_T *stype, const MOC_CMD_DEF_T *table, size_t count) noexcept;
template <size_t N>
inline int moc_cmd_init_table(MOT_TOP_STYPE_T *stype, const MOC_CMD_DEF_T (&table)[N]) noexcept {
    return moc_cmd_init_table(stype, table, N);
}

int moc_cmd_check_operation(int argc, char **argv, MOT_TOP_SESSION_T *session, MOT_TOP_REQ_T *req) noexcept;
int moc_cmd_pull_out_options(MOX_AUX_T *aux, MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept;
int moc_check_for_allowed_options(MOX_AUX_T *aux, const char *found, const char *allowed) noexcept;
int moc_print_stypes_for_cmd(MOT_TOP_STYPE_T *stype_list) noexcept;
int moc_print_operations_for_cmd(MOC_CMD_CMD_T *cmd_list) noexcept;
int moc_access_null(MOT_TOP_STYPE_T *stype, void *pool) noexcept;

// Counts the entries of an argument list.
int moc_count_args(MOT_TOP_ARG_LIST_T *args) noexcept;

typedef int (*moc_init_cmd_fn_t)(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype) noexcept;

// Registers a type that only carries commands (no data list) in the session's registry.
int moc_cmd_register_type(MOT_TOP_SESSION_T *session, const char *name, int id, const char *help,
                          moc_init_cmd_fn_t init_cmd) noexcept;

// Service function of an operation whose subsystem is not part of this build: reports and fails.
int moc_cmd_not_available(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *session,
                          MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept;
