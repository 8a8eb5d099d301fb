// The child-process service: starts programs on pipes or detached, under an optional time limit,
// reads their output, judges their success and kills whatever a failing request leaves running.
#pragma once
#include "mo_std.h"

struct MOLS_LIST_T;

#define MOP_MAX_ARGS 100      // argument vector entries, the program name included
#define MOP_ON_ERROR_IGNORE 0 // error output not read, exit status not judged
#define MOP_ON_ERROR_FAIL 1   // error lines reported; error output or non-zero exit fails
#define MOP_ON_ERROR_MARK 2   // error lines reported; error output makes the exit status -1

struct MOP_CHANNEL_T {
    int in;                   // parent writes the child's standard input here
    int out;                  // parent reads the child's standard output here
    int err;                  // parent reads the child's standard error here
    int old_out_fd;           // parent's saved standard output during a redirection
    int child_pid;            // the child's process id
    mo_boolean_t has_timeout; // a time limit was registered
    mo_boolean_t has_pipe;    // the three pipes exist
    mo_boolean_t async;       // started detached, without pipes
    const char *proc_name;    // program name, for messages
};
typedef struct MOP_CHANNEL_T mop_channel_t;

struct MOP_PROCESS_T {
    MOL_LOW_T *low;                            // the low bundle
    MOCL_CLEANUP_T *cleanup;                   // "Request-Fatal": kills children
    MOLS_LIST_T *child_list;                   // running children, in the request pool
    MOTI_TIMEOUT_CLIENT_T *timeout_client_ref; // the request's timeout client

    int (*init)(MOP_PROCESS_T *process, MOCL_CLEANUP_T *cleanup, MOS_SIGNAL_T *signal,
                MOTI_TIMEOUT_CLIENT_T *timeout_client) noexcept;
    // The start operations take the program's arguments after its name, ending with a NULL.
    int (*open_process_async)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, const char *prog,
                              ...) noexcept;
    int (*open_process)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, const char *prog,
                        ...) noexcept;
    int (*open_process_env)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, char *const env[],
                            const char *prog, ...) noexcept;
    int (*open_process_timeout)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, int seconds,
                                const char *prog, ...) noexcept;
    int (*end_process)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error,
                       int *exit_status) noexcept;
    int (*kill_process)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept;
    int (*begin_output_redirect)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept;
    int (*end_output_redirect)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept;
    int (*read_line)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size,
                     mo_boolean_t *eof) noexcept;
    int (*read_buf)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size, long *count,
                    mo_boolean_t *eof) noexcept;
    int (*read_err_line)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size,
                         mo_boolean_t *eof) noexcept;
    int (*write_line)(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, const char *fmt, ...) noexcept
        MO_PRINTF(3, 4);
    int (*close_stream)(MOP_PROCESS_T *process, int fd) noexcept;
};

int mop_process_construct(MOP_PROCESS_T **process, MOL_LOW_T *low, const MOP_PROCESS_T *slots) noexcept;
