// The timeout service: a process that starts long-running work registers its process group with the
// daemon and a time limit; the daemon's minute timer kills groups that overrun it. The server half
// runs in the daemon as instruction 50, the client half lives in every other process.
#pragma once
#include "mo_std.h"

#include <bit>
#include <cstddef>
#include <cstdint>

struct MOLS_LIST_T;

#define MOTI_INSTR 50           // daemon instruction of the timeout service
#define MOTI_OP_START 1         // start a timer
#define MOTI_OP_CANCEL 2        // cancel a timer
#define MOTI_ERROR_MSG_LEN 1100 // reply text of a timeout message
#define MOTI_KILL_PAUSE 2       // seconds between the signals of a timeout kill

// Signals of the kill escalation; the platform layer maps them to its own numbers.
#define MOTI_SIGNAL_TERM 1
#define MOTI_SIGNAL_QUIT 2
#define MOTI_SIGNAL_KILL 3

static_assert(std::endian::native == std::endian::little, "daemon payloads are little-endian records");

// Payload of instruction 50.
struct __attribute__((packed)) MOTI_TIMEOUT_MSG_T {
    int32_t op;                         // 1 start, 2 cancel
    int32_t process_id;                 // the process group watched, key of the registration
    int32_t timeout_value;              // seconds; 0 for cancel
    int32_t status;                     // reply: 0 done, 1 error
    char error_msg[MOTI_ERROR_MSG_LEN]; // reply: error text
};
typedef struct MOTI_TIMEOUT_MSG_T moti_timeout_msg_t;
static_assert(sizeof(MOTI_TIMEOUT_MSG_T) == 1116);
static_assert(offsetof(MOTI_TIMEOUT_MSG_T, op) == 0);
static_assert(offsetof(MOTI_TIMEOUT_MSG_T, process_id) == 4);
static_assert(offsetof(MOTI_TIMEOUT_MSG_T, timeout_value) == 8);
static_assert(offsetof(MOTI_TIMEOUT_MSG_T, status) == 12);
static_assert(offsetof(MOTI_TIMEOUT_MSG_T, error_msg) == 16);

struct MOTI_TIMEOUT_CLIENT_T {
    MOE_ERROR_T *error;   // error service
    MOD_DAEMON_T *daemon; // daemon client connection
    MOME_MEM_T *mem;      // memory service
    void *pool_ref;       // pool of the record

    int (*start)(MOTI_TIMEOUT_CLIENT_T *client, int process_id, int timeout_value) noexcept;
    int (*cancel)(MOTI_TIMEOUT_CLIENT_T *client, int process_id) noexcept;
};

struct MOTI_TIMEOUT_SERVER_T;
typedef struct MOTI_TIMEOUT_SERVER_T moti_timeout_server_t;

struct MOTI_TIMEOUT_SERVER_T {
    MOE_ERROR_T *error;      // error service
    MOD_DAEMON_T *daemon;    // the daemon the service is registered with
    MOME_MEM_T *mem;         // memory service
    void *pool_ref;          // pool of the record and its list
    MOLS_LIST_T *timer_list; // status: process group; ref1: timeout seconds; ref2: minutes still to wait

    // Platform operations of the kill escalation. signal_group answers 0 when sent, 2 when the group
    // no longer exists, 1 after a reported failure.
    int (*signal_group)(MOTI_TIMEOUT_SERVER_T *server, int process_group, int signal_id) noexcept;
    int (*pause)(MOTI_TIMEOUT_SERVER_T *server, int seconds) noexcept;
    // TRUE when the id names the daemon's own process or process group, which no time limit may kill.
    mo_boolean_t (*is_own)(MOTI_TIMEOUT_SERVER_T *server, int process_id) noexcept;
};

int moti_client_construct(MOTI_TIMEOUT_CLIENT_T **client_ptr, MOE_ERROR_T *error, MOD_DAEMON_T *daemon,
                          MOME_MEM_T *mem, void *pool_ref) noexcept;
int moti_client_start(MOTI_TIMEOUT_CLIENT_T *client, int process_id, int timeout_value) noexcept;
int moti_client_cancel(MOTI_TIMEOUT_CLIENT_T *client, int process_id) noexcept;

// Builds the server with the POSIX kill operations and registers its service and timer.
int moti_server_construct(void *pool_ref, MOE_ERROR_T *error, MOD_DAEMON_T *daemon, MOME_MEM_T *mem) noexcept;
// The same with the platform operations taken from `slots`; the record is given back when asked.
int moti_server_construct_slots(void *pool_ref, MOE_ERROR_T *error, MOD_DAEMON_T *daemon, MOME_MEM_T *mem,
                                const MOTI_TIMEOUT_SERVER_T *slots,
                                MOTI_TIMEOUT_SERVER_T **server_ptr) noexcept;

int moti_main_service(void *ref, void **data_ref) noexcept;
int moti_timer_service(void *ref) noexcept;
