// The daemon's transport over a local stream socket: the server loop that serves one fixed-size
// message at a time and runs the timers once a minute, and the client connection of every other
// process. This is the daemon's POSIX implementation and the one module here that talks to sockets.
#pragma once
#include "daemon/mod_daemon_cmn.h"

#include <bit>
#include <cstddef>
#include <cstdint>

#define MODSK_MSG_SIZE 2004          // one message on the wire, request and reply alike
#define MODSK_BACKLOG 100            // pending connections of the listening socket
#define MODSK_TIMER_PERIOD 60        // seconds between timer runs
#define MODSK_SELECT_WAIT 2          // seconds the main loop waits for a message
#define MODSK_READ_TIMEOUT 10        // seconds a reader waits for a message to begin
#define MODSK_PIECE_WAIT 1           // seconds the daemon waits for the next piece of a begun message
#define MODSK_REPLY_WAIT_MS 2000     // a client that takes no reply for this long is dropped
#define MODSK_ACCEPT_BACKOFF_MS 1000 // accepts rest this long after running out of descriptors
#define MODSK_ACCEPTS_PER_TURN 64    // connections taken per turn of the loop
#define MODSK_CONNECT_TRIES 5        // connection attempts of a client
#define MODSK_SUN_PATH_LEN 108       // room in the socket address

static_assert(std::endian::native == std::endian::little, "daemon messages are little-endian records");

// One message: a 32-bit instruction and the service's payload. Aligned so that services may read
// the 32-bit integers of their payloads in place.
struct __attribute__((packed, aligned(4))) MODSK_MSG_CONT_T {
    int32_t instr;                // instruction number
    char data[MOD_MSG_DATA_SIZE]; // service payload, changed in place for the reply
};
typedef struct MODSK_MSG_CONT_T modsk_msg_cont_t;
static_assert(sizeof(MODSK_MSG_CONT_T) == MODSK_MSG_SIZE);
static_assert(offsetof(MODSK_MSG_CONT_T, instr) == 0);
static_assert(offsetof(MODSK_MSG_CONT_T, data) == 4);
static_assert(alignof(MODSK_MSG_CONT_T) == 4);

struct MOLS_LIST_T;

struct MODSK_SERVER_T {
    void *pool_ref;                  // pool of the server's records
    int socket;                      // listening descriptor, -1 when closed
    char *server_port;               // names the socket file
    MOLS_LIST_T *service_list;       // standard services: status instr, ref1 fn, ref2 record
    MOLS_LIST_T *timer_service_list; // timer services: status 0, ref1 fn, ref2 record
    MOCL_CLEANUP_T *cleanup;         // closes the listening socket at cleanup
    mou_datetime_t last_timer_event; // the timers last became due at this time
};
typedef struct MODSK_SERVER_T modsk_server_t;

struct MODSK_CLIENT_T {
    void *pool_ref;          // pool of the client's records
    int socket;              // connected descriptor, -1 when closed
    char *server_port;       // names the socket file
    MODSK_MSG_CONT_T *msg;   // the one message, reused for every call
    MOCL_CLEANUP_T *cleanup; // closes the connection at cleanup; NULL until connected
    // TRUE from the first connection until client_end: a call finding the connection gone (closed
    // after a failed call, or by the cleanup list) opens a fresh one, so that the cleanup's own calls
    // (releasing the locks, cancelling time limits) still reach the daemon.
    mo_boolean_t may_reconnect;
};
typedef struct MODSK_CLIENT_T modsk_client_t;

extern const MOD_DAEMON_T modsk_socket_slots;

// Fills the daemon record's operations with the socket implementation.
int modsk_socket_construct(MOD_DAEMON_T *daemon) noexcept;

// Waits the given number of milliseconds; the lock client polls with it.
void modsk_socket_pause(int milliseconds) noexcept;

int modsk_server_init(MOD_DAEMON_T *daemon, void *pool_ref, const char *server_port,
                      MOCL_CLEANUP_T *cleanup) noexcept;
int modsk_client_init(MOD_DAEMON_T *daemon, void *pool_ref, const char *server_port) noexcept;
int modsk_server_start(MOD_DAEMON_T *daemon) noexcept;
int modsk_client_start(MOD_DAEMON_T *daemon, MOCL_CLEANUP_T *cleanup, char *error_string) noexcept;
int modsk_client_end(MOD_DAEMON_T *daemon) noexcept;
int modsk_call_force_quit(MOD_DAEMON_T *daemon) noexcept;
int modsk_add_service(MOD_DAEMON_T *daemon, int instr, mod_service_fn_t fn, void *ref) noexcept;
int modsk_add_timer_service(MOD_DAEMON_T *daemon, mod_timer_fn_t fn, void *ref) noexcept;
int modsk_get_data(MOD_DAEMON_T *daemon, void **data_ptr, int data_size) noexcept;
int modsk_gen_call(MOD_DAEMON_T *daemon, int instr, void *data) noexcept;
