// POSIX child-process service: fork and exec on pipes or detached, line reading, the kill
// escalation, and the child list that a failing request and the child-exit handler walk.
#pragma once
#include "platform/mop_process_cmn.h"

int moux_process_init(MOP_PROCESS_T *process, MOCL_CLEANUP_T *cleanup, MOS_SIGNAL_T *signal,
                      MOTI_TIMEOUT_CLIENT_T *timeout_client) noexcept;
int moux_open_process_async(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, const char *prog,
                            ...) noexcept;
int moux_open_process(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, const char *prog,
                      ...) noexcept;
int moux_open_process_env(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, char *const env[],
                          const char *prog, ...) noexcept;
int moux_open_process_timeout(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, int seconds,
                              const char *prog, ...) noexcept;
int moux_end_process(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, int on_error, int *exit_status) noexcept;
int moux_kill_process(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept;
int moux_begin_output_redirect(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept;
int moux_end_output_redirect(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel) noexcept;
int moux_process_read_line(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size,
                           mo_boolean_t *eof) noexcept;
int moux_process_read_buf(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size, long *count,
                          mo_boolean_t *eof) noexcept;
int moux_process_read_err_line(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, char *buf, size_t size,
                               mo_boolean_t *eof) noexcept;
int moux_process_write_line(MOP_PROCESS_T *process, MOP_CHANNEL_T *channel, const char *fmt, ...) noexcept
    MO_PRINTF(3, 4);
int moux_process_close_stream(MOP_PROCESS_T *process, int fd) noexcept;

// The "Cleanup child processes" action: stops every recorded child (ref1 is the process record).
int moux_kill_children(const char *name, void *ref1, void *ref2) noexcept;

// The child-exit handler installed by init for signal id 8.
void moux_process_child_signal(int signum) noexcept;

extern const MOP_PROCESS_T moux_process_slots;
