// Application registration. The command-only types (daemon, web, pop, index) are registered first,
// in that order, so that the command interface lists them in that order.
#include "entry/mog_gen.h"

#include "apps/moap_daemon.h"
#include "apps/moap_pop.h"
#include "apps/moap_search.h"
#include "apps/moap_web.h"
#include "platform/mocl_cleanup.h"
#include "daemon/mod_daemon_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "entry/mox_aux.h"

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

int mog_gen_end_req(MOX_AUX_T *aux, MOCL_CLEANUP_T *cleanup_fatal, MOCL_CLEANUP_T *cleanup_always,
                    mo_boolean_t is_client, int ret) noexcept {
    if (is_client && ret == 0)
        ret = aux->daemon->client_end(aux->daemon);
    // Children are killed before their temporary files go.
    if (ret != 0 && cleanup_fatal != nullptr) {
        cleanup_fatal->stop_print(cleanup_fatal);
        cleanup_fatal->run(cleanup_fatal);
    }
    if (cleanup_always != nullptr) {
        cleanup_always->stop_print(cleanup_always);
        cleanup_always->run(cleanup_always);
    }
    if (aux != nullptr && aux->signal != nullptr) {
        aux->signal->del_cleanup(aux->signal, &aux->signal->req_always_cleanup_ref);
        aux->signal->del_cleanup(aux->signal, &aux->signal->req_fatal_cleanup_ref);
    }
    return ret;
}
