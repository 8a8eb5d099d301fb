// Application registration. The command-only types (daemon, web, pop, index) are registered first,
// in that order, so that the command interface lists them in that order.
#include "mog_gen.h"

#include "moap_daemon.h"
#include "moap_pop.h"
#include "moap_search.h"
#include "moap_web.h"

int mog_gen_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = moap_daemon_construct(session);
    if (ret == 0)
        ret = moap_web_construct(session);
    if (ret == 0)
        ret = moap_pop_construct(session);
    if (ret == 0)
        ret = moap_search_construct(session);
    // The content applications and the access and item services join here as they are built.
    return ret;
}

int mog_gen_init_req(MOT_TOP_SESSION_T *, MOX_AUX_T *) noexcept {
    // Nothing is cached per request until the content applications exist.
    return 0;
}
