// The access service record, the privilege check, and the hooks through which the list engine asks
// the service who the user is, what privilege and groups they have and what they want logged.
#include "apps/moa_access_cmn.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "stdlist/motsl_stdlist.h"

namespace {

MOA_ACCESS_T *moa_of(MOTSL_ACCESS_HOOKS_T *hooks) noexcept {
    return static_cast<MOA_ACCESS_T *>(hooks->ref);
}

int moa_hook_current_user_id(MOTSL_ACCESS_HOOKS_T *hooks, int *user_id) noexcept {
    *user_id = moa_of(hooks)->current_user_id;
    return 0;
}

int moa_hook_get_privilege(MOTSL_ACCESS_HOOKS_T *hooks, int user_id, int *privilege) noexcept {
    MOA_ACCESS_T *access = moa_of(hooks);
    *privilege = 0;
    if (user_id < 0 || access->get_privilege == nullptr)
        return 0; // nobody logged in has no privilege
    return access->get_privilege(access, user_id, privilege);
}

int moa_hook_get_users_group_idlist(MOTSL_ACCESS_HOOKS_T *hooks, int user_id,
                                    MOIL_IDLIST_T **groups) noexcept {
    MOA_ACCESS_T *access = moa_of(hooks);
    *groups = nullptr;
    if (user_id < 0 || access->get_users_group_idlist == nullptr)
        return 0;
    return access->get_users_group_idlist(access, user_id, groups);
}

// A group that is gone counts as deleted: it grants nothing.
int moa_hook_get_group_deleted(MOTSL_ACCESS_HOOKS_T *hooks, int group_id, mo_boolean_t *deleted) noexcept {
    MOA_ACCESS_T *access = moa_of(hooks);
    *deleted = TRUE;
    if (access->get_group_name == nullptr)
        return 0;
    const char *name = nullptr;
    return access->get_group_name(access, group_id, deleted, &name);
}

int moa_hook_get_log_option(MOTSL_ACCESS_HOOKS_T *hooks, int user_id, int *option) noexcept {
    MOA_ACCESS_T *access = moa_of(hooks);
    *option = MOTSL_LOG_ALL;
    if (user_id < 0 || access->get_log_option == nullptr)
        return 0;
    return access->get_log_option(access, user_id, option);
}

} // namespace

int moa_construct_access(MOA_ACCESS_T **access_ptr, MOX_AUX_T *aux, const MOA_ACCESS_OPS_T *ops) noexcept {
    MOME_MEM_T *mem = aux->mem;
    void *pool = mem->session_pool_ref;
    int ret = mome_new(mem, pool, access_ptr);
    if (ret != 0)
        return ret;
    MOA_ACCESS_T *a = *access_ptr;
    a->interm = aux->interm;
    a->current_user_id = -1;
    a->init_user_array = ops->init_user_array;
    a->init_group_array = ops->init_group_array;
    a->get_user_data_props = ops->get_user_data_props;
    a->init_user_id = ops->init_user_id;
    a->get_user_name = ops->get_user_name;
    a->get_user_id = ops->get_user_id;
    a->get_users_group_idlist = ops->get_users_group_idlist;
    a->get_full_name = ops->get_full_name;
    a->get_passwd = ops->get_passwd;
    a->check_passwd = ops->check_passwd;
    a->get_email_address = ops->get_email_address;
    a->get_mail_new = ops->get_mail_new;
    a->get_mail_checkin = ops->get_mail_checkin;
    a->get_mail_approve = ops->get_mail_approve;
    a->get_log_option = ops->get_log_option;
    a->get_privilege = ops->get_privilege;
    a->check_privilege = moa_access_check_privilege;
    a->get_group_name = ops->get_group_name;
    a->get_group_id = ops->get_group_id;
    a->user_ref = nullptr;
    a->group_ref = nullptr;
    a->aux = aux;

    if (aux->list_hooks == nullptr) {
        ret = mome_new(mem, pool, &aux->list_hooks);
        if (ret != 0)
            return ret;
    }
    MOTSL_ACCESS_HOOKS_T *hooks = nullptr;
    ret = mome_new(mem, pool, &hooks);
    if (ret != 0)
        return ret;
    *hooks = MOTSL_ACCESS_HOOKS_T{
        .ref = a,
        .current_user_id = moa_hook_current_user_id,
        .get_privilege = moa_hook_get_privilege,
        .get_users_group_idlist = moa_hook_get_users_group_idlist,
        .get_group_deleted = moa_hook_get_group_deleted,
        .get_log_option = moa_hook_get_log_option,
    };
    aux->list_hooks->access = hooks;
    return 0;
}

int moa_access_check_privilege(MOA_ACCESS_T *access, int privilege, int with_error,
                               mo_boolean_t *ok) noexcept {
    int actual = 0;
    *ok = FALSE;
    if (access->current_user_id >= 0 && access->get_privilege != nullptr) {
        int ret = access->get_privilege(access, access->current_user_id, &actual);
        if (ret != 0)
            return ret;
    }
    if (actual >= privilege) {
        *ok = TRUE;
        return 0;
    }
    if (with_error == 1) {
        MOE_ERROR_T *error = access->interm->error;
        error->report(
            error, "You don't have enough access privilege, you must have at least %d but you only have %d\n",
            privilege, actual);
        return 1;
    }
    return 0;
}

mo_boolean_t moa_access_is_super(MOX_AUX_T *aux) noexcept {
    MOA_ACCESS_T *access = aux->access;
    if (access == nullptr || access->check_privilege == nullptr)
        return FALSE;
    mo_boolean_t ok = FALSE;
    if (access->check_privilege(access, MOTSL_PRIV_ADMIN, 0, &ok) != 0)
        return FALSE;
    return ok;
}
