// The daemon service record: one per process. In the daemon it holds the server (listening socket,
// registered services and timers); in every other process the client connection. The transport
// behind the operation slots is filled in by modsk_socket_construct.
#pragma once
#include "mo_std.h"

#define MOD_MSG_DATA_SIZE 2000  // bytes of the payload of every daemon message
#define MOD_INSTR_FORCE_QUIT 94 // handled by the main loop itself

// A standard service: called with its own record and a pointer to the reference of the message's
// data area (MOD_MSG_DATA_SIZE bytes); it changes the payload in place to form the reply.
typedef int (*mod_service_fn_t)(void *ref, void **data_ref) noexcept;
// A timer service: called about once a minute with its own record.
typedef int (*mod_timer_fn_t)(void *ref) noexcept;

struct MOD_DAEMON_T {
    MOIM_INTERM_T *interm; // platform services: files, utilities, signals, setup, memory, errors
    void *ref;             // the server record (in the daemon) or the client record (in a client)

    int (*server_init)(MOD_DAEMON_T *daemon, void *pool_ref, const char *server_port,
                       MOCL_CLEANUP_T *cleanup) noexcept;
    int (*client_init)(MOD_DAEMON_T *daemon, void *pool_ref, const char *server_port) noexcept;
    int (*server_start)(MOD_DAEMON_T *daemon) noexcept; // the main loop; returns when the daemon stops
    // error_string is an empty mo_string_t on entry; connection problems are written into it.
    int (*client_start)(MOD_DAEMON_T *daemon, MOCL_CLEANUP_T *cleanup, char *error_string) noexcept;
    int (*client_end)(MOD_DAEMON_T *daemon) noexcept;
    int (*call_force_quit)(MOD_DAEMON_T *daemon) noexcept;
    int (*add_service)(MOD_DAEMON_T *daemon, int instr, mod_service_fn_t fn, void *ref) noexcept;
    int (*add_timer_service)(MOD_DAEMON_T *daemon, mod_timer_fn_t fn, void *ref) noexcept;
    // Gives the client message's data area (MOD_MSG_DATA_SIZE bytes) for the caller to fill.
    int (*get_data)(MOD_DAEMON_T *daemon, void **data_ptr, int data_size) noexcept;
    // Sends the client message with instr and receives the reply into the same data area.
    int (*gen_call)(MOD_DAEMON_T *daemon, int instr, void *data) noexcept;
};
typedef struct MOD_DAEMON_T mod_daemon_t;

// Allocates the record from the session pool and sets interm; the slots stay empty.
int mod_daemon_construct(MOD_DAEMON_T **daemon, MOIM_INTERM_T *interm) noexcept;
