// Application registration. The command-only types (daemon, web, pop, index) are registered first,
// in that order, so that the command interface lists them in that order.
#include "entry/mog_gen.h"

#include "apps/moap_daemon.h"
#include "apps/moap_ftype.h"
#include "apps/moap_itype.h"
#include "apps/moap_pop.h"
#include "apps/moap_search.h"
#include "apps/moap_web.h"
#include "apps/moit_item_cmn.h"
#include "platform/mocl_cleanup.h"
#include "daemon/mod_daemon_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "entry/mox_aux.h"
#include "storage/mot_top.h"

int mog_gen_construct(MOT_TOP_SESSION_T *session) noexcept {
    int ret = moap_daemon_construct(session);
    if (ret == 0)
        ret = moap_web_construct(session);
    if (ret == 0)
        ret = moap_pop_construct(session);
    if (ret == 0)
        ret = moap_search_construct(session);
    if (ret == 0)
        ret = moap_ftype_construct(session);
    if (ret == 0)
        ret = moap_itype_construct(session);
    // The content applications and the access and item services join here as they are built.
    if (ret == 0)
        ret = moap_ftype_setup(session);
    if (ret == 0)
        ret = moap_itype_setup(session);
    if (ret == 0) {
        // The folder trees install their operations when they are registered.
        const MOIT_ITEM_OPS_T item_ops = {
            .init_litem_array = nullptr,
            .init_itype_array = moap_itype_init_itype_array,
            .init_ftype_array = moap_ftype_init_ftype_array,
            .get_litem_data_props = nullptr,
        };
        ret = moit_construct_item(&session->aux->item, session->aux, MOIT_INDEX_COUNT, &item_ops);
    }
    return ret;
}

int mog_gen_init_req(MOT_TOP_SESSION_T *session, MOX_AUX_T *aux) noexcept {
    MOIT_ITEM_T *item = aux->item;
    int ret = 0;
    if (item != nullptr) {
        ret = item->init_ftype_array(item, session);
        if (ret == 0)
            ret = item->init_itype_array(item, session);
        if (ret == 0)
            ret = item->init_litem_array(item, session);
    }
    return ret;
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
