// Application registration. The command-only types (daemon, web, pop, index) are registered first,
// in that order, so that the command interface lists them in that order.
#include "entry/mog_gen.h"

#include "apps/moa_access_cmn.h"
#include "apps/moap_about.h"
#include "apps/moap_daemon.h"
#include "apps/moap_ftype.h"
#include "apps/moap_groups.h"
#include "apps/moap_itype.h"
#include "apps/moap_litem.h"
#include "apps/moap_mgroups.h"
#include "apps/moap_passwd.h"
#include "apps/moap_pop.h"
#include "apps/moap_search.h"
#include "apps/moap_support.h"
#include "apps/moap_tab.h"
#include "apps/moap_user.h"
#include "apps/moap_web.h"
#include "apps/moit_item_cmn.h"
#include "platform/mocl_cleanup.h"
#include "daemon/mod_daemon_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "entry/mox_aux.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"
#include "web/moia_item_access.h"
#include "web/moss_session.h"

#include <cstring>

namespace {

// The full name behind a user id, for the value type that shows users by name.
int mog_full_name(MOX_AUX_T *aux, int user_id, const char **result) noexcept {
    MOA_ACCESS_T *access = aux->access;
    *result = MOTC_NOT_DEFINED;
    if (access == nullptr || access->user_ref == nullptr)
        return 0;
    mo_boolean_t deleted = FALSE;
    const char *name = nullptr;
    int ret = access->get_user_name(access, user_id, &deleted, &name);
    if (ret != 0 || name == nullptr || strcmp(name, MOTC_NOT_DEFINED) == 0)
        return ret;
    return access->get_full_name(access, user_id, result);
}

const MOA_ACCESS_OPS_T mog_access_ops = {
    .init_user_array = moap_passwd_init_user_array,
    .init_group_array = moap_group_init_group_array,
    .get_user_data_props = moap_passwd_get_user_data_props,
    .init_user_id = moap_passwd_init_user_id,
    .get_user_name = moap_passwd_get_user_name,
    .get_user_id = moap_passwd_get_user_id,
    .get_users_group_idlist = moap_passwd_get_users_group_idlist,
    .get_full_name = moap_passwd_get_full_name,
    .get_passwd = moap_passwd_get_passwd,
    .check_passwd = moap_passwd_check_passwd,
    .get_email_address = moap_passwd_get_email_address,
    .get_mail_new = moap_passwd_get_mail_new,
    .get_mail_checkin = moap_passwd_get_mail_checkin,
    .get_mail_approve = moap_passwd_get_mail_approve,
    .get_log_option = moap_passwd_get_log_option,
    .get_privilege = moap_passwd_get_privilege,
    .get_group_name = moap_group_get_group_name,
    .get_group_id = moap_group_get_group_id,
};

} // namespace

int mog_gen_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOX_AUX_T *aux = session->aux;
    int ret = moap_daemon_construct(session);
    if (ret == 0)
        ret = moap_web_construct(session);
    if (ret == 0)
        ret = moap_pop_construct(session);
    if (ret == 0)
        ret = moap_search_construct(session);
    if (ret == 0)
        ret = moap_passwd_construct(session);
    if (ret == 0)
        ret = moap_groups_construct(session);
    if (ret == 0)
        ret = moap_ftype_construct(session);
    if (ret == 0)
        ret = moap_litem_construct(session);
    if (ret == 0)
        ret = moap_itype_construct(session);
    if (ret == 0)
        ret = moap_about_construct(session);
    if (ret == 0)
        ret = moap_mgroups_construct(session);
    if (ret == 0)
        ret = moap_support_construct(session);
    if (ret == 0)
        ret = moap_user_construct(session);
    // The other content applications join here as they are built.
    if (ret == 0)
        ret = moap_passwd_setup(session);
    if (ret == 0)
        ret = moap_groups_setup(session);
    if (ret == 0)
        ret = moap_ftype_setup(session);
    if (ret == 0)
        ret = moap_itype_setup(session);
    if (ret == 0)
        ret = moap_litem_setup(session);
    if (ret == 0)
        ret = moap_mgroups_setup(session);
    if (ret == 0)
        ret = moa_construct_access(&aux->access, aux, &mog_access_ops);
    if (ret == 0) {
        motc_user_full_name_fn = mog_full_name;
        // The list engine keeps its item access verdicts in the session's cache.
        if (aux->session != nullptr && aux->session->item_access != nullptr)
            aux->list_hooks->cache = &aux->session->item_access->list_cache;
    }
    if (ret == 0) {
        const MOIT_ITEM_OPS_T item_ops = {
            .init_litem_array = moap_litem_init_litem_array,
            .init_itype_array = moap_itype_init_itype_array,
            .init_ftype_array = moap_ftype_init_ftype_array,
            .get_litem_data_props = moap_litem_get_litem_data_props,
        };
        ret = moit_construct_item(&aux->item, aux, MOIT_INDEX_COUNT, &item_ops);
    }
    return ret;
}

int mog_gen_init_req(MOT_TOP_SESSION_T *session, MOX_AUX_T *aux) noexcept {
    MOIT_ITEM_T *item = aux->item;
    int tab_mod = 0, item_mod = 0, max_item_id = 0;
    int max_user_id = 0, user_mod = 0, group_mod = 0;
    uint64_t identity = 0;
    int ret = 0;
    if (item != nullptr) {
        ret = item->init_ftype_array(item, session);
        if (ret == 0)
            ret = item->init_itype_array(item, session);
        if (ret == 0)
            ret = item->init_litem_array(item, session);
        if (ret == 0)
            ret = item->get_litem_data_props(item, &max_item_id, &item_mod);
    }
    MOA_ACCESS_T *access = aux->access;
    if (ret != 0 || access == nullptr)
        return ret;
    if (access->user_ref == nullptr)
        ret = access->init_user_array(access, session);
    if (ret == 0 && access->group_ref == nullptr)
        ret = access->init_group_array(access, session);
    // The tab's settings and its modification mark, so that a change of the default access lists
    // drops the cached verdicts in every process.
    if (ret == 0 && aux->tab_stype != nullptr)
        ret = moap_tab_init_element(aux);
    if (ret == 0 && aux->tab_stype != nullptr)
        ret = moap_tab_get_mod(aux, &tab_mod);
    if (ret == 0)
        ret = access->get_user_data_props(access, &max_user_id, &user_mod, &group_mod, &identity);
    if (ret == 0 && aux->session != nullptr && aux->session->item_access != nullptr) {
        MOIA_ITEM_ACCESS_T *ia = aux->session->item_access;
        ret =
            ia->check_expiry(ia, tab_mod, item_mod, user_mod, group_mod, max_item_id, max_user_id, identity);
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
