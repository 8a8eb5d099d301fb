// Construction of the request services record.
#include "daemon/morq_req.h"
#include "daemon/molk_lock.h"
#include "platform/mome_mem_cmn.h"
#include "daemon/moti_timeout.h"

int morq_req_construct(MORQ_REQ_T **req_ptr, MOE_ERROR_T *error, MOD_DAEMON_T *daemon, MOU_UTIL_T *util,
                       MOME_MEM_T *mem, void *pool_ref) noexcept {
    MORQ_REQ_T *req = nullptr;
    int ret = mome_new(mem, pool_ref, &req);
    if (ret != 0)
        return ret;
    ret = molk_call_construct(&req->lock_call, error, daemon, util, mem, pool_ref);
    if (ret != 0)
        return ret;
    ret = moti_client_construct(&req->timeout_client, error, daemon, mem, pool_ref);
    if (ret != 0)
        return ret;
    *req_ptr = req;
    return 0;
}
