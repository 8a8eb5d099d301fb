// The request services record: the clients through which a request reaches the daemon's lock and
// timeout services.
#pragma once
#include "mo_std.h"

struct MORQ_REQ_T {
    MOLK_LOCK_CALL_T *lock_call;           // file and element locks, modification numbers
    MOTI_TIMEOUT_CLIENT_T *timeout_client; // kill-after-timeout registrations
};
typedef struct MORQ_REQ_T morq_req_t;

// Allocates the record in pool_ref and builds its lock client and its timeout client.
int morq_req_construct(MORQ_REQ_T **req_ptr, MOE_ERROR_T *error, MOD_DAEMON_T *daemon, MOU_UTIL_T *util,
                       MOME_MEM_T *mem, void *pool_ref) noexcept;
