// Construction of the socket service record.
#include "platform/mosk_socket_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"

int mosk_socket_construct(MOSK_SOCK_T **sock, MOL_LOW_T *low, const MOSK_SOCK_T *slots) noexcept {
    int ret = mome_new(low->mem, low->mem->session_pool_ref, sock);
    if (ret != 0)
        return ret;
    **sock = *slots;
    (*sock)->low = low;
    return 0;
}
