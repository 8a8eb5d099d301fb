// Access: the column and row flags of a request, the checks of folder items through the tree
// (view, edit, lib, with the parent's view and the privilege levels), access lists, privileges,
// the access sets a stype is registered with, and the web command tests of the three levels.
//
// Everything that needs the access service or the folder tree goes through their hooks; without
// a hook the check fails with a report and never grants.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "storage/moil_idlist.h"

using namespace motsl_local;

namespace {

int no_access_service(MOX_AUX_T *aux, const char *what) noexcept {
    err(aux)->report(err(aux), "There is no access service to %s\n", what);
    return 1;
}

int no_folder_tree(MOX_AUX_T *aux, int index_id, int item_id) noexcept {
    err(aux)->report(err(aux), "There is no folder tree to check access to item %d of index %d\n", item_id,
                     index_id);
    return 1;
}

MOTSL_ITEM_HOOKS_T *tree(MOX_AUX_T *aux, int index_id, int item_id) noexcept {
    MOTSL_ITEM_HOOKS_T *item = item_hooks(aux);
    if (item == nullptr || item->get_parent_id == nullptr || item->get_access_def == nullptr ||
        item->get_access_list == nullptr) {
        no_folder_tree(aux, index_id, item_id);
        return nullptr;
    }
    return item;
}

// The parent of an item and its access definition; a top item here is a damaged tree.
int parent_of(MOX_AUX_T *aux, int index_id, int item_id, int *parent_id,
              MOTSL_ACCESS_DEF_T **parent_def) noexcept {
    MOTSL_ITEM_HOOKS_T *item = tree(aux, index_id, item_id);
    if (item == nullptr)
        return 1;
    int ret = item->get_parent_id(item, index_id, item_id, parent_id);
    if (ret != 0)
        return ret;
    if (*parent_id == 0) {
        err(aux)->report(err(aux), "The parent_id of item %d is 0. How did that happen?", item_id);
        return 1;
    }
    ret = item->get_access_def(item, index_id, *parent_id, parent_def);
    if (ret == 0 && *parent_def == nullptr) {
        err(aux)->report(err(aux), "Item %d has no access definition\n", *parent_id);
        return 1;
    }
    return ret;
}

int call_gen(MOX_AUX_T *aux, motsl_access_gen_fn_t fn, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
             int user_id, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (fn == nullptr) {
        err(aux)->report(err(aux), "The access definition of item %d has no check for this level\n", list_id);
        return 1;
    }
    return fn(aux, def, index_id, list_id, user_id, ok);
}

// The session cache holds verdicts of folder items only, within its own bounds.
MOTSL_ACCESS_CACHE_T *cache_for(MOX_AUX_T *aux, int index_id, int item_id, int user_id) noexcept {
    MOTSL_HOOKS_T *h = hooks(aux);
    MOTSL_ACCESS_CACHE_T *cache = h != nullptr ? h->cache : nullptr;
    if (cache == nullptr || cache->get == nullptr || cache->put == nullptr || index_id != 0 || item_id <= 0 ||
        item_id > cache->max_item_id || user_id < 0 || user_id > cache->max_user_id)
        return nullptr;
    return cache;
}

// The user may view the item's parent (step 5 of the item checks).
int parent_view(MOX_AUX_T *aux, int index_id, int list_id, int user_id, mo_boolean_t *ok) noexcept {
    int parent_id = 0;
    MOTSL_ACCESS_DEF_T *parent_def = nullptr;
    int ret = parent_of(aux, index_id, list_id, &parent_id, &parent_def);
    if (ret != 0)
        return ret;
    return call_gen(aux, parent_def->view_list.gen_fn, parent_def, index_id, parent_id, user_id, ok);
}

int own_list_grants(MOX_AUX_T *aux, motsl_get_idlist_fn_t get_idlist, int index_id, int list_id, int user_id,
                    mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (get_idlist == nullptr)
        return 0;
    MOIL_ACCESSLIST_T *list = nullptr;
    int ret = get_idlist(aux, index_id, list_id, &list);
    if (ret != 0 || list == nullptr)
        return ret;
    return motsl_check_access_list(aux, user_id, list, ok);
}

enum class Step { lib_gen, edit_gen, lib_list, edit_list, view_list, parent_lib };

// One item check: the steps that can grant, in order, then the parent's view and the privilege.
int item_check(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id, int user_id, int kind,
               int walk_kind, bool cached, const Step *steps, int step_count, int privilege,
               mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (def == nullptr) {
        err(aux)->report(err(aux), "No access definition to check item %d\n", list_id);
        return 1;
    }
    MOTSL_ACCESS_CACHE_T *cache = cached ? cache_for(aux, index_id, list_id, user_id) : nullptr;
    if (cache != nullptr) {
        mo_boolean_t found = FALSE;
        int ret = cache->get(cache, list_id, user_id, kind, &found, ok);
        if (ret != 0)
            return ret;
        if (found)
            return 0;
    }
    ParentWalk walk(aux);
    int ret = walk.enter(index_id, list_id, walk_kind);
    if (ret != 0)
        return ret;
    ret = motsl_check_privilege(aux, user_id, MOTSL_PRIV_ADMIN, ok);
    for (int i = 0; ret == 0 && !*ok && i < step_count; i++) {
        switch (steps[i]) {
            case Step::lib_gen:
                ret = call_gen(aux, def->lib_list.gen_fn, def, index_id, list_id, user_id, ok);
                break;
            case Step::edit_gen:
                ret = call_gen(aux, def->edit_list.gen_fn, def, index_id, list_id, user_id, ok);
                break;
            case Step::lib_list:
                ret = own_list_grants(aux, def->lib_list.get_idlist_fn, index_id, list_id, user_id, ok);
                break;
            case Step::edit_list:
                ret = own_list_grants(aux, def->edit_list.get_idlist_fn, index_id, list_id, user_id, ok);
                break;
            case Step::view_list:
                ret = own_list_grants(aux, def->view_list.get_idlist_fn, index_id, list_id, user_id, ok);
                break;
            case Step::parent_lib: {
                int parent_id = 0;
                MOTSL_ACCESS_DEF_T *parent_def = nullptr;
                ret = parent_of(aux, index_id, list_id, &parent_id, &parent_def);
                if (ret == 0)
                    ret = call_gen(aux, parent_def->lib_list.gen_fn, parent_def, index_id, parent_id, user_id,
                                   ok);
                break;
            }
        }
    }
    if (ret == 0 && *ok)
        ret = parent_view(aux, index_id, list_id, user_id, ok);
    if (ret == 0 && *ok)
        ret = motsl_check_privilege(aux, user_id, privilege, ok);
    if (ret != 0) {
        *ok = FALSE;
        return ret;
    }
    if (cache != nullptr)
        ret = cache->put(cache, list_id, user_id, kind, *ok);
    return ret;
}

// The effective list of a level: the item's own, joined with the parent's when it inherits.
int effective_list(MOX_AUX_T *aux, int index_id, int list_id, int level,
                   MOIL_ACCESSLIST_T **result) noexcept {
    *result = nullptr;
    MOTSL_ITEM_HOOKS_T *item = tree(aux, index_id, list_id);
    if (item == nullptr)
        return 1;
    ParentWalk walk(aux);
    int ret = walk.enter(index_id, list_id, 10 + level);
    if (ret != 0)
        return ret;
    MOIL_ACCESSLIST_T *own = nullptr;
    ret = item->get_access_list(item, index_id, list_id, level, &own);
    if (ret != 0)
        return ret;
    if (own == nullptr) {
        err(aux)->report(err(aux), "Item %d has no access list\n", list_id);
        return 1;
    }
    if (!own->use_parent) {
        *result = own;
        return 0;
    }
    int parent_id = 0;
    MOTSL_ACCESS_DEF_T *parent_def = nullptr;
    ret = parent_of(aux, index_id, list_id, &parent_id, &parent_def);
    if (ret != 0)
        return ret;
    const MOTSL_ACCESSLIST_SET_T &set = level == MOTSL_ACCESS_LIB    ? parent_def->lib_list
                                        : level == MOTSL_ACCESS_EDIT ? parent_def->edit_list
                                                                     : parent_def->view_list;
    MOIL_ACCESSLIST_T *inherited = nullptr;
    if (set.get_idlist_fn != nullptr) {
        ret = set.get_idlist_fn(aux, index_id, parent_id, &inherited);
        if (ret != 0)
            return ret;
    }
    if (inherited == nullptr) {
        *result = own;
        return 0;
    }
    return moil_join_accesslist(aux->interm, aux->mem->req_pool_ref, own, inherited, result);
}

} // namespace

// ---------------------------------------------------------------- users and privileges

int motsl_current_user_id(MOX_AUX_T *aux, int *user_id) noexcept {
    *user_id = -1;
    MOTSL_ACCESS_HOOKS_T *access = access_hooks(aux);
    if (access == nullptr || access->current_user_id == nullptr)
        return 0; // nobody is logged in: command line and daemon work
    return access->current_user_id(access, user_id);
}

int motsl_check_privilege(MOX_AUX_T *aux, int user_id, int level, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    MOTSL_ACCESS_HOOKS_T *access = access_hooks(aux);
    if (access == nullptr || access->get_privilege == nullptr)
        return no_access_service(aux, "check privileges");
    int privilege = 0;
    int ret = access->get_privilege(access, user_id, &privilege);
    if (ret != 0)
        return ret;
    *ok = privilege >= level ? TRUE : FALSE;
    return 0;
}

int motsl_check_access_list(MOX_AUX_T *aux, int user_id, const MOIL_ACCESSLIST_T *list,
                            mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (list == nullptr)
        return 0;
    int ret = moil_check_in_idlist(list->user, user_id, ok);
    if (ret != 0 || *ok || list->group == nullptr)
        return ret;
    MOTSL_ACCESS_HOOKS_T *access = access_hooks(aux);
    if (access == nullptr || access->get_users_group_idlist == nullptr ||
        access->get_group_deleted == nullptr)
        return no_access_service(aux, "find the groups of a user");
    MOIL_IDLIST_T *groups = nullptr;
    ret = access->get_users_group_idlist(access, user_id, &groups);
    if (ret != 0)
        return ret;
    for (const MOIL_IDLIST_T *g = list->group; g != nullptr; g = g->next) {
        mo_boolean_t member = FALSE;
        moil_check_in_idlist(groups, g->id, &member);
        if (!member)
            continue;
        mo_boolean_t deleted = TRUE;
        ret = access->get_group_deleted(access, g->id, &deleted);
        if (ret != 0)
            return ret;
        if (!deleted) {
            *ok = TRUE;
            return 0;
        }
    }
    return 0;
}

// ---------------------------------------------------------------- item checks

int motsl_check_access_item_view(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                 int user_id, mo_boolean_t *ok) noexcept {
    static const Step steps[] = {Step::lib_gen, Step::edit_gen, Step::view_list};
    return item_check(aux, def, index_id, list_id, user_id, MOTSL_ACCESS_VIEW, 1, true, steps, 3,
                      MOTSL_PRIV_VIEW_ONLY, ok);
}

// Not cached: the same kind also stands for edit-or-parent-lib, which grants more.
int motsl_check_access_item_edit(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                 int user_id, mo_boolean_t *ok) noexcept {
    static const Step steps[] = {Step::lib_gen, Step::edit_list};
    return item_check(aux, def, index_id, list_id, user_id, MOTSL_ACCESS_EDIT, 2, false, steps, 2,
                      MOTSL_PRIV_NORMAL, ok);
}

int motsl_check_access_item_lib(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id,
                                int user_id, mo_boolean_t *ok) noexcept {
    static const Step steps[] = {Step::lib_list};
    return item_check(aux, def, index_id, list_id, user_id, MOTSL_ACCESS_LIB, 4, true, steps, 1,
                      MOTSL_PRIV_NORMAL, ok);
}

int motsl_check_access_item_edit_or_parent_lib(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id,
                                               int list_id, int user_id, mo_boolean_t *ok) noexcept {
    static const Step steps[] = {Step::parent_lib, Step::lib_gen, Step::edit_list};
    return item_check(aux, def, index_id, list_id, user_id, MOTSL_ACCESS_EDIT, 3, false, steps, 3,
                      MOTSL_PRIV_NORMAL, ok);
}

int motsl_check_access_item_parent_lib(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *, int index_id, int list_id,
                                       int user_id, mo_boolean_t *ok) noexcept {
    int ret = motsl_check_privilege(aux, user_id, MOTSL_PRIV_ADMIN, ok);
    if (ret != 0 || *ok)
        return ret;
    ParentWalk walk(aux);
    ret = walk.enter(index_id, list_id, 5);
    int parent_id = 0;
    MOTSL_ACCESS_DEF_T *parent_def = nullptr;
    if (ret == 0)
        ret = parent_of(aux, index_id, list_id, &parent_id, &parent_def);
    if (ret == 0)
        ret = call_gen(aux, parent_def->lib_list.gen_fn, parent_def, index_id, parent_id, user_id, ok);
    if (ret != 0)
        *ok = FALSE;
    return ret;
}

int motsl_get_list_item_view(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept {
    return effective_list(aux, index_id, list_id, MOTSL_ACCESS_VIEW, result);
}

int motsl_get_list_item_edit(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept {
    return effective_list(aux, index_id, list_id, MOTSL_ACCESS_EDIT, result);
}

int motsl_get_list_item_lib(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept {
    return effective_list(aux, index_id, list_id, MOTSL_ACCESS_LIB, result);
}

int motsl_access_gen_everyone(MOX_AUX_T *, MOTSL_ACCESS_DEF_T *, int, int, int, mo_boolean_t *ok) noexcept {
    *ok = TRUE;
    return 0;
}

int motsl_access_gen_super(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *, int, int, int user_id,
                           mo_boolean_t *ok) noexcept {
    return motsl_check_privilege(aux, user_id, MOTSL_PRIV_ADMIN, ok);
}

int motsl_get_idlist_empty(MOX_AUX_T *aux, int, int, MOIL_ACCESSLIST_T **result) noexcept {
    int ret = moil_new_accesslist(aux->interm, aux->mem->req_pool_ref, result);
    if (ret == 0)
        (*result)->use_parent = FALSE;
    return ret;
}

// ---------------------------------------------------------------- the current list

int motsl_get_current_access_def(MOT_TOP_STYPE_T *stype, MOTSL_ACCESS_DEF_T **def) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *def = nullptr;
    int list_id = current_list(stype);
    if (list_id == 0) {
        *def = static_cast<MOTSL_ACCESS_DEF_T *>(stype->access_ref);
    } else {
        int index_id = current_index(stype);
        MOTSL_ITEM_HOOKS_T *item = tree(aux, index_id, list_id);
        if (item == nullptr)
            return 1;
        int ret = item->get_access_def(item, index_id, list_id, def);
        if (ret != 0)
            return ret;
    }
    if (*def == nullptr) {
        err(aux)->report(err(aux), "Stype %s has no access definition\n", stype->name);
        return 1;
    }
    return 0;
}

int motsl_check_access_set(MOT_TOP_STYPE_T *stype, const MOTSL_ACCESS_SET_T *set, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int user_id = -1;
    int ret = motsl_get_current_access_def(stype, &def);
    if (ret == 0)
        ret = motsl_current_user_id(stype->aux, &user_id);
    if (ret != 0)
        return ret;
    const MOTSL_ACCESS_SET_T *chosen = set;
    if (chosen == nullptr)
        chosen = &def->view;
    return call_gen(stype->aux, chosen->gen_fn, def, current_index(stype), current_list(stype), user_id, ok);
}

namespace {

int level_test(MOT_TOP_STYPE_T *stype, int level, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int user_id = -1;
    int ret = motsl_get_current_access_def(stype, &def);
    if (ret == 0)
        ret = motsl_current_user_id(stype->aux, &user_id);
    if (ret != 0)
        return ret;
    motsl_access_gen_fn_t fn = level == MOTSL_ACCESS_LIB    ? def->lib_list.gen_fn
                               : level == MOTSL_ACCESS_EDIT ? def->edit_list.gen_fn
                                                            : def->view_list.gen_fn;
    return call_gen(stype->aux, fn, def, current_index(stype), current_list(stype), user_id, ok);
}

} // namespace

int motsl_cmd_access_view(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                          const char **message) noexcept {
    if (message != nullptr)
        *message = nullptr;
    return level_test(stype, MOTSL_ACCESS_VIEW, ok);
}

int motsl_cmd_access_edit(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                          const char **message) noexcept {
    if (message != nullptr)
        *message = nullptr;
    return level_test(stype, MOTSL_ACCESS_EDIT, ok);
}

int motsl_cmd_access_lib(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                         const char **message) noexcept {
    if (message != nullptr)
        *message = nullptr;
    return level_test(stype, MOTSL_ACCESS_LIB, ok);
}

int motsl_picker_access_lib(MOT_TOP_STYPE_T *stype, mo_boolean_t *ok) noexcept {
    return level_test(stype, MOTSL_ACCESS_LIB, ok);
}

// ---------------------------------------------------------------- check_id

namespace {

int check_id_none(MOX_AUX_T *, MOTSL_ACCESS_DEF_T *, MOTSL_TYPE_STORAGE_T *, int, mo_boolean_t *ok) noexcept {
    *ok = TRUE;
    return 0;
}

int position_of(MOX_AUX_T *aux, MOTSL_TYPE_STORAGE_T *ts, int *index_id, int *list_id) noexcept {
    if (ts == nullptr || motsl_parse_id(ts->index, index_id) != 0 || motsl_parse_id(ts->list, list_id) != 0) {
        err(aux)->report(err(aux), "The current list is not set\n");
        return 1;
    }
    return 0;
}

int check_id_this(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, MOTSL_TYPE_STORAGE_T *ts, int user_id,
                  mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    int index_id = 0, list_id = 0;
    int ret = position_of(aux, ts, &index_id, &list_id);
    if (ret != 0)
        return ret;
    return call_gen(aux, def->view_list.gen_fn, def, index_id, list_id, user_id, ok);
}

int check_id_parent(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *, MOTSL_TYPE_STORAGE_T *ts, int user_id,
                    mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    int index_id = 0, list_id = 0;
    int ret = position_of(aux, ts, &index_id, &list_id);
    if (ret != 0)
        return ret;
    return parent_view(aux, index_id, list_id, user_id, ok);
}

int new_def(MOT_TOP_STYPE_T *stype, void *pool_ref, MOTSL_ACCESS_DEF_T **def) noexcept {
    int ret = mome_new(stype->aux->mem, pool_ref, def);
    if (ret == 0)
        stype->access_ref = *def;
    return ret;
}

void level(MOTSL_ACCESSLIST_SET_T *set, motsl_access_gen_fn_t gen, motsl_cmd_access_fn_t cmd,
           motsl_get_idlist_fn_t idlist) noexcept {
    set->gen_fn = gen;
    set->cmd_fn = cmd;
    set->get_idlist_fn = idlist;
    // How a level's list reads and is edited belongs to the list pages.
    set->view_text_fn = nullptr;
    set->cell_edit_start_fn = nullptr;
}

void fill_levels(MOTSL_ACCESS_DEF_T *def, motsl_access_gen_fn_t lib, motsl_get_idlist_fn_t lib_list,
                 motsl_access_gen_fn_t edit, motsl_get_idlist_fn_t edit_list, motsl_access_gen_fn_t view,
                 motsl_get_idlist_fn_t view_list) noexcept {
    level(&def->lib_list, lib, motsl_cmd_access_lib, lib_list);
    level(&def->edit_list, edit, motsl_cmd_access_edit, edit_list);
    level(&def->view_list, view, motsl_cmd_access_view, view_list);
}

} // namespace

// ---------------------------------------------------------------- access sets

int motsl_access_default_definitions(MOTSL_ACCESS_DEF_T *def) noexcept {
    def->picker_fn = motsl_picker_access_lib;
    def->view = {.gen_fn = def->view_list.gen_fn, .cmd_fn = motsl_cmd_access_view};
    def->history = {.gen_fn = def->view_list.gen_fn, .cmd_fn = motsl_cmd_access_view};
    def->edit = {.gen_fn = def->edit_list.gen_fn, .cmd_fn = motsl_cmd_access_edit};
    def->add = {.gen_fn = def->edit_list.gen_fn, .cmd_fn = motsl_cmd_access_edit};
    def->delete_ = {.gen_fn = def->lib_list.gen_fn, .cmd_fn = motsl_cmd_access_lib};
    def->move = {.gen_fn = def->lib_list.gen_fn, .cmd_fn = motsl_cmd_access_lib};
    return 0;
}

int motsl_access_null(MOT_TOP_STYPE_T *stype, void *) noexcept {
    stype->access_ref = nullptr;
    return 0;
}

int motsl_access_everyone(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = new_def(stype, pool_ref, &def);
    if (ret != 0)
        return ret;
    def->check_id = check_id_none;
    fill_levels(def, motsl_access_gen_everyone, motsl_get_idlist_empty, motsl_access_gen_everyone,
                motsl_get_idlist_empty, motsl_access_gen_everyone, motsl_get_idlist_empty);
    return motsl_access_default_definitions(def);
}

int motsl_access_super_super(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = new_def(stype, pool_ref, &def);
    if (ret != 0)
        return ret;
    def->check_id = check_id_none;
    fill_levels(def, motsl_access_gen_super, motsl_get_idlist_empty, motsl_access_gen_super,
                motsl_get_idlist_empty, motsl_access_gen_super, motsl_get_idlist_empty);
    return motsl_access_default_definitions(def);
}

int motsl_access_item_view_edit(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = new_def(stype, pool_ref, &def);
    if (ret != 0)
        return ret;
    def->check_id = check_id_parent;
    fill_levels(def, motsl_check_access_item_lib, motsl_get_list_item_lib,
                motsl_check_access_item_edit_or_parent_lib, motsl_get_list_item_edit,
                motsl_check_access_item_view, motsl_get_list_item_view);
    return motsl_access_default_definitions(def);
}

int motsl_access_folder_view_edit(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = new_def(stype, pool_ref, &def);
    if (ret != 0)
        return ret;
    def->check_id = check_id_this;
    fill_levels(def, motsl_check_access_item_lib, motsl_get_list_item_lib,
                motsl_check_access_item_edit_or_parent_lib, motsl_get_list_item_edit,
                motsl_check_access_item_view, motsl_get_list_item_view);
    def->picker_fn = motsl_picker_access_lib;
    def->view = {.gen_fn = motsl_check_access_item_view, .cmd_fn = motsl_cmd_access_view};
    def->edit = {.gen_fn = motsl_check_access_item_parent_lib, .cmd_fn = motsl_cmd_access_lib};
    def->add = {.gen_fn = motsl_check_access_item_edit_or_parent_lib, .cmd_fn = motsl_cmd_access_edit};
    def->delete_ = {.gen_fn = motsl_check_access_item_lib, .cmd_fn = motsl_cmd_access_lib};
    def->move = {.gen_fn = motsl_check_access_item_lib, .cmd_fn = motsl_cmd_access_lib};
    def->history = {.gen_fn = motsl_check_access_item_view, .cmd_fn = motsl_cmd_access_view};
    return 0;
}

// ---------------------------------------------------------------- column and row flags

int motsl_stdlist_init_data(MOT_TOP_STYPE_T *stype, void *data_record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    if (!stype->data_loaded) {
        err(aux)->report(err(aux), "data is not loaded in init_data of stype %s\n", stype->name);
        return 1;
    }
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; ret == 0 && node != nullptr; node = node->next) {
        MOTSL_STDLIST_KEYWORD_T *c = node->stdlist;
        MOTSL_ACCESS_TYPE_T *a = c->access_type;
        a->view_access_col = a->edit_access_col = a->bview_access_col = FALSE;
        ret = c->view_access_fn(stype, c, &a->view_access_col);
        if (ret == 0)
            ret = c->edit_access_fn(stype, c, &a->edit_access_col);
        if (ret == 0)
            ret = c->bview_access_fn(stype, c, &a->bview_access_col);
    }
    for (auto *r = static_cast<MOK_DATA_RECORD_T *>(data_record); ret == 0 && r != nullptr; r = r->next) {
        r->access_view = r->access_edit = FALSE;
        ret = stype->view_access_row_fn(stype, r->container, &r->access_view);
        if (ret == 0)
            ret = stype->edit_access_row_fn(stype, r->container, &r->access_edit);
    }
    return ret;
}

int motsl_stdlist_init_data_list_edit_check(MOT_TOP_STYPE_T *stype, void *data_record) noexcept {
    int ret = motsl_stdlist_init_data(stype, data_record);
    if (ret != 0 || current_list(stype) == 0)
        return ret;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    mo_boolean_t ok = FALSE;
    ret = motsl_get_current_access_def(stype, &def);
    if (ret == 0)
        ret = motsl_check_access_set(stype, &def->edit, &ok);
    if (ret != 0 || ok)
        return ret;
    for (auto *r = static_cast<MOK_DATA_RECORD_T *>(data_record); r != nullptr; r = r->next)
        r->access_edit = FALSE;
    return 0;
}
