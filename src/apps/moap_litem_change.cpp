// Changing the folder tree: new items and bookmarks, the update of one item under its element lock,
// the element locks themselves, and moving items with the move check.
//
// A move is checked and made under the tree's write lock against the tree as it is on disk at that
// moment, and written once: two moves made against each other can never leave a parent loop, since
// the second one sees the first one's result.
#include "apps/moap_litem.h"
#include "apps/moap_litem_local.h"

#include "apps/moap_itype.h"
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "storage/moil_idlist.h"
#include "storage/mok_key.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

using namespace moap_litem_local;

namespace {

void *data_pool(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : stype->aux->mem->req_pool_ref;
}

// Changes made in memory under the write lock that are not written: the next read loads the file.
void forget(MOT_TOP_STYPE_T *stype) noexcept {
    if (stype->data_storage != nullptr) {
        stype->data_storage->struct_ref = nullptr;
        stype->data_storage->mod_time = 0;
    }
    stype->data_loaded = FALSE;
}

MOAP_LITEM_T *find_in(MOK_DATA_RECORD_T *chain, int id) noexcept {
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next)
        if (litem_of(r->container)->id == id)
            return litem_of(r->container);
    return nullptr;
}

int copy_accesslist(MOX_AUX_T *aux, void *pool, const MOIL_ACCESSLIST_T *src,
                    MOIL_ACCESSLIST_T **dst) noexcept {
    MOIL_ACCESSLIST_T *copy = nullptr;
    int ret = moil_new_accesslist(aux->interm, pool, &copy);
    if (ret != 0)
        return ret;
    copy->use_parent = src != nullptr ? src->use_parent : TRUE;
    for (const MOIL_IDLIST_T *n = src != nullptr ? src->user : nullptr; ret == 0 && n != nullptr; n = n->next)
        ret = moil_add_to_idlist(aux->interm, pool, n->id, &copy->user);
    for (const MOIL_IDLIST_T *n = src != nullptr ? src->group : nullptr; ret == 0 && n != nullptr;
         n = n->next)
        ret = moil_add_to_idlist(aux->interm, pool, n->id, &copy->group);
    if (ret == 0)
        *dst = copy;
    return ret;
}

// Is `candidate` the item itself or below it (walking up from candidate, bounded by the tree's size).
int is_in_subtree(MOIT_ITEM_T *item, int index_id, int candidate, int top, bool *inside) noexcept {
    *inside = candidate == top;
    if (*inside)
        return 0;
    MOIL_IDLIST_T *ancestors = nullptr;
    int ret = moap_litem_get_ancestors(item, index_id, candidate, &ancestors);
    if (ret != 0)
        return ret;
    mo_boolean_t found = FALSE;
    moil_check_in_idlist(ancestors, top, &found);
    *inside = found != FALSE;
    return 0;
}

int req_text(MOX_AUX_T *aux, const std::string &text, const char **result) noexcept {
    char *copy = nullptr;
    int ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, &copy, text.c_str());
    if (ret == 0)
        *result = copy;
    return ret;
}

} // namespace

// ---------------------------------------------------------------- new items

int moap_litem_web_copy_template(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOAP_LITEM_STORAGE_T *s = storage_of(stype);
    MOAP_LITEM_T *l = litem_of(new_record->container);
    if (s == nullptr || s->itype_id < 0) {
        err(aux)->report(err(aux), "Nothing says what the new item of %s is\n", stype->name);
        return 1;
    }
    // The parent is checked again under the write lock the new item is made under: it must still be
    // there and not deleted.
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "the new item", &data);
    if (ret != 0)
        return ret;
    if (s->parent_id != 0) {
        const MOAP_LITEM_T *parent = find_in(data->data_record, s->parent_id);
        if (parent == nullptr || parent->delete_status != 0 || parent->new_ != 0) {
            err(aux)->report(err(aux), "The folder %d to make the new item in is not there\n", s->parent_id);
            return 1;
        }
    }
    void *pool = data_pool(stype);
    l->parent_id = s->parent_id;
    l->itype_id = s->itype_id;
    l->ftype_id = s->ftype_id;
    l->sys_id_list = nullptr;
    l->link_id_list = nullptr;
    for (const MOIL_IDLIST_T *n = s->link_id_list; ret == 0 && n != nullptr; n = n->next)
        ret = moil_add_to_idlist(aux->interm, pool, n->id, &l->link_id_list);
    if (ret == 0)
        ret = aux->mem->store_string(aux->mem, pool, &l->name,
                                     s->name != nullptr ? s->name : MOAP_LITEM_DEFAULT_NAME);
    // A new item inherits its folder's access.
    for (MOIL_ACCESSLIST_T **list : {&l->view_access, &l->edit_access, &l->lib_access})
        if (ret == 0)
            ret = copy_accesslist(aux, pool, nullptr, list);
    return ret;
}

namespace {

int create(MOT_TOP_STYPE_T *stype, int itype_id, int ftype_id, int parent_id, const char *name,
           const MOIL_IDLIST_T *link, int *id_result) noexcept {
    MOAP_LITEM_STORAGE_T *s = storage_of(stype);
    *id_result = 0;
    s->parent_id = parent_id;
    s->itype_id = itype_id;
    s->ftype_id = ftype_id;
    s->name = name;
    s->link_id_list = const_cast<MOIL_IDLIST_T *>(link);
    int ret = mowsl_create_new_shell(stype, FALSE, id_result);
    // The values belong to this creation only.
    s->parent_id = 0;
    s->itype_id = 0;
    s->ftype_id = 0;
    s->name = nullptr;
    s->link_id_list = nullptr;
    return ret;
}

} // namespace

int moap_litem_create_new_item(MOX_AUX_T *aux, int itype_id, int ftype_id, int parent_id, const char *name,
                               int *id_result) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    *id_result = 0;
    int ret = tree_stype(aux, MOAP_LITEM_INDEX, &stype);
    if (ret != 0)
        return ret;
    MOAP_ITYPE_T *t = nullptr;
    ret = moap_itype_find(aux->item, itype_id, &t);
    if (ret != 0)
        return ret;
    return create(stype, itype_id, ftype_id, parent_id, name, nullptr, id_result);
}

int moap_litem_create_new_bkmark(MOX_AUX_T *aux, int target_index, int target_id, int parent_id,
                                 int *id_result) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    *id_result = 0;
    int ret = tree_stype(aux, MOAP_LITEM_INDEX_BKMARK, &stype);
    if (ret != 0)
        return ret;
    // The target must be an item, whatever it links to.
    int idx = 0, id = 0;
    ret = moap_litem_follow_link(aux->item, target_index, target_id, &idx, &id);
    const char *name = MOAP_LITEM_NOT_DEFINED;
    if (ret == 0)
        ret = moap_litem_get_name(aux->item, target_index, target_id, nullptr, &name);
    MOIL_IDLIST_T *link = nullptr;
    if (ret == 0)
        ret = moil_add_to_idlist(aux->interm, aux->mem->req_pool_ref, target_index, &link);
    if (ret == 0)
        ret = moil_add_to_idlist(aux->interm, aux->mem->req_pool_ref, target_id, &link);
    std::string copy;
    try {
        copy = name;
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
    if (ret == 0)
        ret = create(stype, 0, 0, parent_id, copy.c_str(), link, id_result);
    return ret;
}

// ---------------------------------------------------------------- update and element locks

int moap_litem_update_lock(MOX_AUX_T *aux, int lock_instruction, int id) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = tree_stype(aux, MOAP_LITEM_INDEX, &stype);
    if (ret != 0)
        return ret;
    if (lock_instruction == MOLK_ELEMENT_RELEASE_ALL)
        return stype->lock_element(stype, lock_instruction, nullptr, nullptr);
    MOAP_LITEM_T probe{};
    probe.id = id;
    return stype->lock_element(stype, lock_instruction, &probe, nullptr);
}

int moap_litem_update(MOX_AUX_T *aux, int id, const MOAP_LITEM_UPDATE_T *changes) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = tree_stype(aux, MOAP_LITEM_INDEX, &stype);
    if (ret != 0) {
        err(aux)->report(err(aux), "Can't edit the ID %d. Possibly locked by someone else.\n", id);
        return ret;
    }
    TreeWriteLock lock;
    MOK_DATA_RECORD_T *first = nullptr;
    MOAP_LITEM_T *l = nullptr;
    bool changed = false;
    ret = lock.take(stype);
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0) {
        l = find_in(first, id);
        if (l == nullptr) {
            err(aux)->report(err(aux), "List ID %d out of range\n", id);
            ret = 1;
        }
    }
    if (ret == 0)
        ret = stype->lock_element(stype, MOLK_ELEMENT_CHECK, l, nullptr);
    if (ret == 0 && changes->set_parent && changes->parent_id != 0) {
        // The new parent must be in the tree and not below the item itself.
        bool inside = false;
        if (find_in(first, changes->parent_id) == nullptr) {
            err(aux)->report(err(aux), "List ID %d out of range\n", changes->parent_id);
            ret = 1;
        } else {
            ret = is_in_subtree(aux->item, MOAP_LITEM_INDEX, changes->parent_id, id, &inside);
            if (ret == 0 && inside) {
                err(aux)->report(err(aux), "Can't move inside itself\n");
                ret = 1;
            }
        }
    }
    void *pool = data_pool(stype);
    if (ret == 0) {
        changed = true;
        if (changes->set_itype)
            l->itype_id = changes->itype_id;
        if (changes->set_ftype)
            l->ftype_id = changes->ftype_id;
        if (changes->set_parent)
            l->parent_id = changes->parent_id;
        if (changes->set_delete)
            l->delete_status = changes->delete_status != 0 ? 1 : 0;
        if (changes->set_view)
            ret = copy_accesslist(aux, pool, changes->view_access, &l->view_access);
        if (ret == 0 && changes->set_edit)
            ret = copy_accesslist(aux, pool, changes->edit_access, &l->edit_access);
        if (ret == 0 && changes->set_lib)
            ret = copy_accesslist(aux, pool, changes->lib_access, &l->lib_access);
        if (ret == 0 && changes->set_name)
            ret = aux->mem->store_string(aux->mem, pool, &l->name, text_of(changes->name));
    }
    if (ret == 0)
        ret = stype->write_data(stype);
    if (ret != 0 && changed)
        forget(stype);
    int release = lock.release();
    if (ret == 0)
        ret = release;
    if (ret != 0)
        err(aux)->report(err(aux), "Can't edit the ID %d. Possibly locked by someone else.\n", id);
    return ret;
}

// ---------------------------------------------------------------- moving

int moap_litem_parse_idlist(MOX_AUX_T *aux, const char *text, MOIL_IDLIST_T **result) noexcept {
    *result = nullptr;
    std::set<int> seen;
    const char *p = text_of(text);
    if (*p == '\0') {
        err(aux)->report(err(aux), "No items to move were chosen\n");
        return 1;
    }
    try {
        while (true) {
            const char *end = strchr(p, '_');
            std::string word = end != nullptr ? std::string(p, static_cast<size_t>(end - p)) : std::string(p);
            int id = 0;
            if (motsl_parse_id(word.c_str(), &id) != 0 || id <= 0) {
                err(aux)->report(err(aux), "The item list %s is not a list of ids\n", text_of(text));
                *result = nullptr;
                return 1;
            }
            if (seen.insert(id).second) {
                int ret = moil_add_to_idlist(aux->interm, aux->mem->req_pool_ref, id, result);
                if (ret != 0)
                    return ret;
            }
            if (end == nullptr)
                return 0;
            p = end + 1;
        }
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
}

int moap_litem_check_move_item(MOX_AUX_T *aux, int index_id, int from_parent_id, int destination_id,
                               const MOIL_IDLIST_T *moved, const char **reason, mo_boolean_t *ok) noexcept {
    MOIT_ITEM_T *item = aux->item;
    *reason = "Just Because";
    *ok = FALSE;
    MOAP_LITEM_T *dest = nullptr;
    int ret = moap_litem_find(item, index_id, destination_id, &dest);
    if (ret != 0)
        return ret;
    if (moved == nullptr) {
        *reason = "No objects were chosen";
        return 0;
    }
    // Only the children of the folder the move starts from may go, and never a built-in item.
    for (const MOIL_IDLIST_T *n = moved; n != nullptr; n = n->next) {
        MOAP_LITEM_T *l = nullptr;
        MOTSL_DATASTRUCT_T *data = tree_data(item, index_id);
        void *container = nullptr;
        if (data != nullptr && motc_get_container_from_id_array(data->id_array, n->id, &container) == 0)
            l = static_cast<MOAP_LITEM_T *>(container);
        if (l == nullptr || l->parent_id != from_parent_id || l->new_ != 0 || is_builtin(l)) {
            *reason = "The objects are not all in the folder they are moved from";
            return 0;
        }
    }
    // 1. Never into a link, and never into a deleted folder.
    if (is_link(dest)) {
        *reason = "Can't move to a link/bookmark";
        return 0;
    }
    if (dest->delete_status != 0 || dest->new_ != 0) {
        *reason = "Can't move to a deleted folder";
        return 0;
    }
    // 2. The destination's item type must take every moved item that is not a link.
    int contains = 0, dir_type = 0;
    const char *type_name = "";
    ret = moap_itype_get_contains_method(item, dest->itype_id, &contains);
    if (ret == 0)
        ret = moap_itype_get_dir_type(item, dest->itype_id, &dir_type);
    if (ret == 0)
        ret = moap_itype_get_name(item, dest->itype_id, &type_name);
    for (const MOIL_IDLIST_T *n = moved; ret == 0 && n != nullptr; n = n->next) {
        MOAP_LITEM_T *l = nullptr;
        ret = moap_litem_find(item, index_id, n->id, &l);
        if (ret != 0 || is_link(l))
            continue;
        mo_boolean_t allowed = FALSE;
        ret = moap_itype_contains_check_if_allowed(item, dest->itype_id, contains, dir_type, l->itype_id,
                                                   &allowed);
        if (ret == 0 && !allowed) {
            try {
                return req_text(aux, "Objects are not allowed under type (" + std::string(type_name) + ")",
                                reason);
            } catch (const std::bad_alloc &) {
                err(aux)->report(err(aux), "Out of memory\n");
                return 1;
            }
        }
    }
    if (ret != 0)
        return ret;
    // 3.
    if (destination_id == from_parent_id) {
        *reason = "The objects are already under here";
        return 0;
    }
    // 4. The destination, or a folder above it, is one of the moved items.
    MOIL_IDLIST_T *ancestors = nullptr;
    ret = moap_litem_get_ancestors(item, index_id, destination_id, &ancestors);
    if (ret != 0)
        return ret;
    for (const MOIL_IDLIST_T *n = moved; n != nullptr; n = n->next) {
        mo_boolean_t above = FALSE;
        moil_check_in_idlist(ancestors, n->id, &above);
        if (above || n->id == destination_id) {
            *reason = "Can't move inside itself";
            return 0;
        }
    }
    // 5. The user must be allowed to move things into the destination.
    MOTSL_ACCESS_DEF_T *def = nullptr;
    ret = moap_litem_get_access_def(item, index_id, destination_id, &def);
    if (ret != 0)
        return ret;
    mo_boolean_t may = FALSE;
    if (def->move.gen_fn != nullptr)
        ret = def->move.gen_fn(aux, def, index_id, destination_id, current_user(aux), &may);
    if (ret != 0)
        return ret;
    if (!may) {
        *reason = "Don't have librarian permission on this folder";
        return 0;
    }
    *reason = "";
    *ok = TRUE;
    return 0;
}

int moap_litem_move_items(MOX_AUX_T *aux, int index_id, int from_parent_id, int destination_id,
                          const MOIL_IDLIST_T *moved) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    int ret = tree_stype(aux, index_id, &stype);
    if (ret != 0)
        return ret;
    MOIT_ITEM_T *item = aux->item;
    std::string from_name, to_name;
    TreeWriteLock lock;
    MOK_DATA_RECORD_T *first = nullptr;
    bool changed = false;
    struct Moved {
        MOAP_LITEM_T *record;
        std::string old_parent;
    };
    std::vector<MOAP_LITEM_T *> records;
    ret = lock.take(stype);
    // Read again under the lock: the check sees every move made before this one.
    if (ret == 0)
        ret = stype->read_data(stype, &first);
    if (ret == 0)
        item->litem_refs[index_id] = stype->data_storage;
    const char *reason = "";
    mo_boolean_t ok = FALSE;
    if (ret == 0)
        ret = moap_litem_check_move_item(aux, index_id, from_parent_id, destination_id, moved, &reason, &ok);
    if (ret == 0 && !ok) {
        err(aux)->report(err(aux), "Is it not possible to move the Object: %s\n", reason);
        ret = 1;
    }
    // The user must also be allowed to take them out of where they are.
    if (ret == 0) {
        MOTSL_ACCESS_DEF_T *def = nullptr;
        mo_boolean_t may = FALSE;
        ret = moap_litem_get_access_def(item, index_id, from_parent_id, &def);
        if (ret == 0 && def->move.gen_fn != nullptr)
            ret = def->move.gen_fn(aux, def, index_id, from_parent_id, current_user(aux), &may);
        if (ret == 0 && !may) {
            err(aux)->report(err(aux), "Is it not possible to move the Object: %s\n",
                             "Don't have librarian permission on this folder");
            ret = 1;
        }
    }
    try {
        const char *name = "";
        if (ret == 0)
            ret = moap_litem_get_name(item, index_id, from_parent_id, nullptr, &name);
        from_name = name;
        if (ret == 0)
            ret = moap_litem_get_name(item, index_id, destination_id, nullptr, &name);
        to_name = name;
        // Every item is the user's to move (its element lock) before any moves.
        for (const MOIL_IDLIST_T *n = moved; ret == 0 && n != nullptr; n = n->next) {
            MOAP_LITEM_T *l = find_in(first, n->id);
            ret = l != nullptr ? stype->lock_element(stype, MOLK_ELEMENT_CHECK, l, nullptr) : 1;
            if (ret != 0)
                err(aux)->report(err(aux), "Can't move the Object %s Possibly locked by someone else.\n",
                                 l != nullptr ? text_of(l->name) : MOAP_LITEM_NOT_DEFINED);
            else
                records.push_back(l);
        }
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        ret = 1;
    }
    if (ret == 0) {
        changed = true;
        for (MOAP_LITEM_T *l : records)
            l->parent_id = destination_id;
        ret = stype->write_data(stype);
    }
    if (ret != 0 && changed)
        forget(stype);
    int release = lock.release();
    if (ret == 0)
        ret = release;
    if (ret != 0)
        return ret;
    // The history follows the write, as every edit's does.
    std::string detail;
    try {
        detail = "Moved from (" + from_name + ") to (" + to_name + ")";
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
    for (MOAP_LITEM_T *l : records) {
        MOK_MULTI_LINE_T *details = nullptr;
        ret = mok_add_multi_line(aux, aux->mem->req_pool_ref, detail.c_str(), &details);
        if (ret == 0)
            ret = motsl_add_history(stype, MOTSL_OP_MOVED, l, details);
        if (ret != 0)
            return ret;
    }
    return 0;
}
