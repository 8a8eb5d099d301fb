// Doubly linked list of named entries. Entries live in the list's pool; del hands an entry (and the
// list's own copy of its name) back to the memory service.
#include "storage/mols_list.h"
#include "platform/mome_mem_cmn.h"

#include <cstring>

namespace {

int mols_reset(MOLS_LIST_T *list) noexcept {
    list->thelist = nullptr;
    list->end = nullptr;
    list->last_add = nullptr;
    return 0;
}

// Allocates an entry with its fields set but not linked; nothing is left allocated on failure.
int mols_make_ele(MOLS_LIST_T *list, const char *name, mo_boolean_t malloc_name, int status, void *ref1,
                  void *ref2, MOLS_LIST_ELE_T **ele_ptr) noexcept {
    MOLS_LIST_ELE_T *ele = nullptr;
    int ret = mome_new(list->mem, list->pool_ref, &ele);
    if (ret != 0)
        return ret;
    // A NULL name is kept as NULL: there is nothing to copy.
    if (malloc_name && name != nullptr) {
        char *copy = nullptr;
        ret = list->mem->store_string(list->mem, list->pool_ref, &copy, name);
        if (ret != 0) {
            list->mem->free(list->mem, list->pool_ref, ele);
            return ret;
        }
        ele->name = copy;
        ele->malloc_name = TRUE;
    } else {
        ele->name = name;
        ele->malloc_name = FALSE;
    }
    ele->status = status;
    ele->ref1 = ref1;
    ele->ref2 = ref2;
    *ele_ptr = ele;
    return 0;
}

int mols_add(MOLS_LIST_T *list, const char *name, mo_boolean_t malloc_name, int status, void *ref1,
             void *ref2) noexcept {
    MOLS_LIST_ELE_T *ele = nullptr;
    int ret = mols_make_ele(list, name, malloc_name, status, ref1, ref2, &ele);
    if (ret != 0)
        return ret;
    ele->prev = nullptr;
    ele->next = list->thelist;
    if (list->thelist != nullptr)
        list->thelist->prev = ele;
    else
        list->end = ele;
    list->thelist = ele;
    list->last_add = ele;
    return 0;
}

int mols_add_fifo(MOLS_LIST_T *list, const char *name, mo_boolean_t malloc_name, int status, void *ref1,
                  void *ref2) noexcept {
    MOLS_LIST_ELE_T *ele = nullptr;
    int ret = mols_make_ele(list, name, malloc_name, status, ref1, ref2, &ele);
    if (ret != 0)
        return ret;
    ele->next = nullptr;
    ele->prev = list->end;
    if (list->end != nullptr)
        list->end->next = ele;
    else
        list->thelist = ele;
    list->end = ele;
    list->last_add = ele;
    return 0;
}

int mols_del(MOLS_LIST_T *list, MOLS_LIST_ELE_T *this_ele) noexcept {
    if (this_ele == nullptr)
        return 0;
    if (this_ele->prev != nullptr)
        this_ele->prev->next = this_ele->next;
    else
        list->thelist = this_ele->next;
    if (this_ele->next != nullptr)
        this_ele->next->prev = this_ele->prev;
    else
        list->end = this_ele->prev;
    if (list->last_add == this_ele)
        list->last_add = nullptr;
    if (this_ele->malloc_name)
        list->mem->free(list->mem, list->pool_ref, const_cast<char *>(this_ele->name));
    list->mem->free(list->mem, list->pool_ref, this_ele);
    return 0;
}

int mols_get_last_add(MOLS_LIST_T *list, MOLS_LIST_ELE_T **this_ele_ptr) noexcept {
    *this_ele_ptr = list->last_add;
    return 0;
}

int mols_get_next(MOLS_LIST_T *list, MOLS_LIST_ELE_T **this_ele_ptr) noexcept {
    *this_ele_ptr = (*this_ele_ptr == nullptr) ? list->thelist : (*this_ele_ptr)->next;
    return 0;
}

int mols_get_prev(MOLS_LIST_T *list, MOLS_LIST_ELE_T **this_ele_ptr) noexcept {
    *this_ele_ptr = (*this_ele_ptr == nullptr) ? list->end : (*this_ele_ptr)->prev;
    return 0;
}

bool mols_same_name(const char *a, const char *b) noexcept {
    if (a == nullptr || b == nullptr)
        return a == b;
    return strcmp(a, b) == 0;
}

int mols_find_name(MOLS_LIST_T *list, const char *name, MOLS_LIST_ELE_T **this_ele_ptr) noexcept {
    MOLS_LIST_ELE_T *ele = (*this_ele_ptr == nullptr) ? list->thelist : (*this_ele_ptr)->next;
    while (ele != nullptr && !mols_same_name(ele->name, name))
        ele = ele->next;
    *this_ele_ptr = ele;
    return 0;
}

int mols_find_status(MOLS_LIST_T *list, int status, MOLS_LIST_ELE_T **this_ele_ptr) noexcept {
    MOLS_LIST_ELE_T *ele = (*this_ele_ptr == nullptr) ? list->thelist : (*this_ele_ptr)->next;
    while (ele != nullptr && ele->status != status)
        ele = ele->next;
    *this_ele_ptr = ele;
    return 0;
}

const char *mols_get_name(MOLS_LIST_ELE_T *this_ele) noexcept {
    return this_ele->name;
}
int mols_get_status(MOLS_LIST_ELE_T *this_ele) noexcept {
    return this_ele->status;
}
void *mols_get_ref1(MOLS_LIST_ELE_T *this_ele) noexcept {
    return this_ele->ref1;
}
void *mols_get_ref2(MOLS_LIST_ELE_T *this_ele) noexcept {
    return this_ele->ref2;
}
int mols_set_status(MOLS_LIST_ELE_T *this_ele, int status) noexcept {
    this_ele->status = status;
    return 0;
}
int mols_set_ref1(MOLS_LIST_ELE_T *this_ele, void *ref) noexcept {
    this_ele->ref1 = ref;
    return 0;
}
int mols_set_ref2(MOLS_LIST_ELE_T *this_ele, void *ref) noexcept {
    this_ele->ref2 = ref;
    return 0;
}

const MOLS_LIST_T mols_list_slots = {
    .mem = nullptr,
    .pool_ref = nullptr,
    .thelist = nullptr,
    .end = nullptr,
    .last_add = nullptr,
    .reset = mols_reset,
    .add = mols_add,
    .add_fifo = mols_add_fifo,
    .del = mols_del,
    .get_last_add = mols_get_last_add,
    .get_next = mols_get_next,
    .get_prev = mols_get_prev,
    .find_name = mols_find_name,
    .find_status = mols_find_status,
    .get_name = mols_get_name,
    .get_status = mols_get_status,
    .get_ref1 = mols_get_ref1,
    .get_ref2 = mols_get_ref2,
    .set_status = mols_set_status,
    .set_ref1 = mols_set_ref1,
    .set_ref2 = mols_set_ref2,
};

} // namespace

int mols_list_new(MOLS_LIST_T **list_ptr, void *pool_ref, MOME_MEM_T *mem) noexcept {
    MOLS_LIST_T *list = nullptr;
    int ret = mome_new(mem, pool_ref, &list);
    if (ret != 0) {
        *list_ptr = nullptr;
        return ret;
    }
    *list = mols_list_slots;
    list->mem = mem;
    list->pool_ref = pool_ref;
    *list_ptr = list;
    return 0;
}
