// Construction of the session record and its item access cache.
#include "web/moss_session.h"
#include "platform/mome_mem_cmn.h"
#include "web/moia_item_access.h"

int moss_session_construct(MOSS_SESSION_T **session, MOE_ERROR_T *, MOME_MEM_T *mem, void *pool) noexcept {
    int ret = mome_new(mem, pool, session);
    if (ret == 0)
        ret = moia_item_access_construct(&(*session)->item_access, mem, pool);
    return ret;
}
