// Construction of the session record.
#include "web/moss_session.h"
#include "platform/mome_mem_cmn.h"

int moss_session_construct(MOSS_SESSION_T **session, MOE_ERROR_T *, MOME_MEM_T *mem, void *pool) noexcept {
    int ret = mome_new(mem, pool, session);
    if (ret != 0)
        return ret;
    // The item-access cache belongs to the web front end; until it is built the slot stays empty.
    (*session)->item_access = nullptr;
    return 0;
}
