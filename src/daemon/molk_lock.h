// The lock service. The server half runs inside the daemon as the service of instruction 40 and
// keeps the queue of granted locks and the files' modification numbers; the client half turns lock
// instructions into messages, polls while the server says "wait", and reports the server's texts.
#pragma once
#include "mo_std.h"

#include <cstddef>
#include <cstdint>

#define MOLK_INSTR 40 // daemon instruction of the lock service

// Lock types; bit flags so that queue searches can take a mask.
#define MOLK_READ_LOCK 1
#define MOLK_WRITE_LOCK 2
#define MOLK_ELEMENT_LOCK 4

// Server operations.
#define MOLK_OP_READ_LOCK 1
#define MOLK_OP_READ_UNLOCK 2
#define MOLK_OP_WRITE_LOCK 3
#define MOLK_OP_WRITE_UNLOCK 4
#define MOLK_OP_READ_CHECK 5
#define MOLK_OP_WRITE_CHECK 6
#define MOLK_OP_MOD_RAISE 7
#define MOLK_OP_MOD_GET 8
#define MOLK_OP_ELEMENT_LOCK 21
#define MOLK_OP_ELEMENT_UNLOCK 22
#define MOLK_OP_ELEMENT_CHECK 23
#define MOLK_OP_ELEMENT_UNLOCK_ALL 24
#define MOLK_OP_SENDER_CLEANUP 30
#define MOLK_OP_LIST 31

// Instructions of the lock client's file_lock and file_lock_long: what storage code asks for.
// 7 to 9 are not server operations of the same number.
enum : int {
    MOLK_FILE_READ = 1,          // take a read lock, waiting while the server says wait
    MOLK_FILE_READ_RELEASE = 2,  // give the read lock back
    MOLK_FILE_WRITE = 3,         // take the write lock, waiting while the server says wait
    MOLK_FILE_WRITE_RELEASE = 4, // give the write lock back
    MOLK_FILE_READ_CHECK = 5,    // fail (reported) unless the read lock is held
    MOLK_FILE_WRITE_CHECK = 6,   // fail (reported) unless the write lock is held
    MOLK_FILE_WRITE_HELD = 7,    // status TRUE when the write lock is held; nothing reported
    MOLK_FILE_MOD_RAISE = 8,     // raise the file's modification number
    MOLK_FILE_MOD_GET = 9,       // status: the file's modification number
};

// Instructions of the lock client's element_lock, sent as the server operation of the same number.
enum : int {
    MOLK_ELEMENT_TAKE = 21,        // take the element lock, waiting at most a few seconds
    MOLK_ELEMENT_RELEASE = 22,     // give the user's element lock on the file back
    MOLK_ELEMENT_CHECK = 23,       // fail (reported) unless the user holds the lock on that id
    MOLK_ELEMENT_RELEASE_ALL = 24, // give back every element lock of the user
};

// Replies in exit_status.
#define MOLK_DONE 0
#define MOLK_ERROR 1
#define MOLK_WAIT 2

#define MOLK_FILENAME_LEN 300
#define MOLK_DESCRIPTION_LEN 100
#define MOLK_USER_ID_LEN 370
#define MOLK_ID_NUM_LEN 100
#define MOLK_ERROR_MSG_LEN 1100

#define MOLK_READ_TIMEOUT 60       // file_lock, reading
#define MOLK_WRITE_TIMEOUT 120     // file_lock, writing
#define MOLK_LONG_TIMEOUT 7200     // file_lock_long, both
#define MOLK_ELEMENT_TIMEOUT 600   // element_lock, both
#define MOLK_ELEMENT_WAIT 5        // seconds an element lock is waited for
#define MOLK_POLL_MILLISECONDS 100 // pause between attempts of a waiting client
#define MOLK_ALL_ELEMENTS "All"    // id_num of a lock on every element of a file
#define MOLK_CLAIM_LAPSE 1         // seconds after which a waiting writer's claim not renewed lapses
#define MOLK_READER_HOLD 3         // seconds at most that a reader is held back by a writer's claim
#define MOLK_CLAIM_HOLD                                                                                      \
    10 // seconds a claim holds readers back; the readers it waits for
       // have long locks then, and new ones need not wait for them too

// Payload of instruction 40.
struct __attribute__((packed)) MOLK_LOCK_MSG_T {
    int32_t op;                             // server operation
    char filename[MOLK_FILENAME_LEN];       // full path of the data file
    char description[MOLK_DESCRIPTION_LEN]; // the stype's lock string
    char user_id[MOLK_USER_ID_LEN];         // user name " on " machine " " agent
    char id_num[MOLK_ID_NUM_LEN];           // element id text, "All", or empty for file locks
    char padding[2];                        // keeps the integers that follow aligned
    int32_t sender_id;                      // the asking process's id
    char error_msg[MOLK_ERROR_MSG_LEN];     // reply: error text, or the lock list
    int32_t exit_status;                    // reply: 0 done, 1 error, 2 wait; op 8: the number
    int32_t date;                           // when the caller started asking, 0 when not used
    int32_t read_timeout;                   // seconds after which read and element locks expire
    int32_t write_timeout;                  // seconds after which write locks expire
};
typedef struct MOLK_LOCK_MSG_T molk_lock_msg_t;
static_assert(sizeof(MOLK_LOCK_MSG_T) == 1996);
static_assert(offsetof(MOLK_LOCK_MSG_T, op) == 0);
static_assert(offsetof(MOLK_LOCK_MSG_T, filename) == 4);
static_assert(offsetof(MOLK_LOCK_MSG_T, description) == 304);
static_assert(offsetof(MOLK_LOCK_MSG_T, user_id) == 404);
static_assert(offsetof(MOLK_LOCK_MSG_T, id_num) == 774);
static_assert(offsetof(MOLK_LOCK_MSG_T, padding) == 874);
static_assert(offsetof(MOLK_LOCK_MSG_T, sender_id) == 876);
static_assert(offsetof(MOLK_LOCK_MSG_T, error_msg) == 880);
static_assert(offsetof(MOLK_LOCK_MSG_T, exit_status) == 1980);
static_assert(offsetof(MOLK_LOCK_MSG_T, date) == 1984);
static_assert(offsetof(MOLK_LOCK_MSG_T, read_timeout) == 1988);
static_assert(offsetof(MOLK_LOCK_MSG_T, write_timeout) == 1992);

// One granted lock in the server's queue, kept in grant order.
struct MOLK_QUEUE_T {
    int sender_id;                          // process that took it (file locks)
    char filename[MOLK_FILENAME_LEN];       // the locked file
    int lock_type;                          // MOLK_READ_LOCK, MOLK_WRITE_LOCK or MOLK_ELEMENT_LOCK
    char description[MOLK_DESCRIPTION_LEN]; // the holder's lock string
    char id_num[MOLK_ID_NUM_LEN];           // element id, "All", or empty
    char user_id[MOLK_USER_ID_LEN];         // the holder (element locks belong to it)
    mou_datetime_t date;                    // when the lock was granted
    MOLK_QUEUE_T *next;                     // next younger lock
};
typedef struct MOLK_QUEUE_T molk_queue_t;

// The modification number of one file, kept in the hash table under the file name.
struct MOLK_FILE_MOD_T {
    int mod_number; // raised after every change of the file
};
typedef struct MOLK_FILE_MOD_T molk_file_mod_t;

// A writer waiting for a file's readers. While its claim is renewed (every ask of the waiting
// writer renews it), new readers of the file are held back, so that the writer gets in as soon as
// the current readers finish instead of starving behind a stream of them.
struct MOLK_CLAIM_T {
    int sender_id;                    // the waiting writer
    char filename[MOLK_FILENAME_LEN]; // the file it waits for
    mou_datetime_t since;             // when it first asked
    mou_datetime_t renewed;           // when it last asked
    MOLK_CLAIM_T *next;               // next claim
};
typedef struct MOLK_CLAIM_T molk_claim_t;

struct MOH_HASH_T;

// The server state.
struct MOLK_LOCK_CONTROL_T {
    MOE_ERROR_T *error;      // the daemon's error output
    MOD_DAEMON_T *daemon;    // the daemon it is registered with
    MOU_UTIL_T *util;        // clock and elapsed-time texts
    MOIM_INTERM_T *interm;   // for the hash table
    MOME_MEM_T *mem;         // queue entries
    void *pool_ref;          // pool of the queue entries and the table
    MOLK_QUEUE_T *queue;     // first (oldest) granted lock
    struct MOH_HASH_T *hash; // modification numbers by file name
    MOLK_CLAIM_T *claims;    // writers waiting for readers, at most one per file
};
typedef struct MOLK_LOCK_CONTROL_T molk_lock_control_t;

// The client record, one per process.
struct MOLK_LOCK_CALL_T {
    MOE_ERROR_T *error;             // reports the server's refusals
    MOD_DAEMON_T *daemon;           // the client connection
    MOU_UTIL_T *util;               // the clock
    MOME_MEM_T *mem;                // memory service
    void *pool_ref;                 // pool of the record
    char user_id[MOLK_USER_ID_LEN]; // user name " on " machine " " agent
    int sender_id;                  // the process's request id, -1 until init

    int (*init)(MOLK_LOCK_CALL_T *lock_call, const char *username, const char *machine, const char *agent_id,
                int req_id, MOCL_CLEANUP_T *cleanup_fatal) noexcept;
    int (*element_lock)(MOLK_LOCK_CALL_T *lock_call, int instr, const char *filename, const char *description,
                        const char *element_id, int *status_ptr) noexcept;
    int (*file_lock)(MOLK_LOCK_CALL_T *lock_call, int instr, const char *filename, const char *description,
                     int *status_ptr) noexcept;
    int (*file_lock_long)(MOLK_LOCK_CALL_T *lock_call, int instr, const char *filename,
                          const char *description, int *status_ptr) noexcept;
    int (*list)(MOLK_LOCK_CALL_T *lock_call, const char **text_ptr) noexcept;
};

// Text of a lock type: "file for reading", "file for writing", "element" or "Unknown".
const char *molk_get_string_lock_type(int lock_type) noexcept;

// Client.
int molk_call_construct(MOLK_LOCK_CALL_T **call_ptr, MOE_ERROR_T *error, MOD_DAEMON_T *daemon,
                        MOU_UTIL_T *util, MOME_MEM_T *mem, void *pool_ref) noexcept;

// Server: builds the control record and registers molk_main_service for instruction 40.
int molk_daemon_construct(void *pool_ref, MOE_ERROR_T *error, MOD_DAEMON_T *daemon, MOU_UTIL_T *util,
                          MOIM_INTERM_T *interm, MOME_MEM_T *mem) noexcept;
// Builds the server state alone (molk_daemon_construct registers it with the daemon).
int molk_control_new(MOLK_LOCK_CONTROL_T **control_ptr, void *pool_ref, MOE_ERROR_T *error,
                     MOD_DAEMON_T *daemon, MOU_UTIL_T *util, MOIM_INTERM_T *interm, MOME_MEM_T *mem) noexcept;
// Serves one lock message as of the time now; the reply is written into the message.
int molk_serve(MOLK_LOCK_CONTROL_T *control, MOLK_LOCK_MSG_T *msg, mou_datetime_t now) noexcept;
int molk_main_service(void *lock_control_ref, void **data) noexcept;
