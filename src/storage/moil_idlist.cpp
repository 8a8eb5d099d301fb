// Id lists and access lists: the values behind group memberships, expanded folders and the
// view, edit and librarian access of items.
#include "storage/moil_idlist.h"
#include "platform/moe_error_cmn.h"
#include "entry/moim_interm.h"
#include "platform/mome_mem_cmn.h"

#include <climits>
#include <cstdlib>
#include <cstring>

int moil_new_accesslist(MOIM_INTERM_T *interm, void *pool_ref, MOIL_ACCESSLIST_T **accesslist_ptr) noexcept {
    MOIL_ACCESSLIST_T *acc = nullptr;
    int ret = mome_new(interm->mem, pool_ref, &acc);
    if (ret != 0)
        return ret;
    acc->user = nullptr;
    acc->group = nullptr;
    acc->use_parent = TRUE;
    *accesslist_ptr = acc;
    return 0;
}

int moil_add_to_idlist(MOIM_INTERM_T *interm, void *pool_ref, int id, MOIL_IDLIST_T **idlist_ptr) noexcept {
    MOIL_IDLIST_T *node = nullptr;
    int ret = mome_new(interm->mem, pool_ref, &node);
    if (ret != 0)
        return ret;
    node->id = id;
    node->next = nullptr;
    mo_list_append(idlist_ptr, node);
    return 0;
}

int moil_delete_from_idlist(MOIM_INTERM_T *, void *, int id, MOIL_IDLIST_T **idlist_ptr) noexcept {
    // `kept` is the link (the head, or the next field of the last node that stays) to redirect.
    MOIL_IDLIST_T **kept = idlist_ptr;
    for (MOIL_IDLIST_T *node = *idlist_ptr; node != nullptr; node = node->next) {
        if (node->id == id)
            *kept = node->next;
        else
            kept = &node->next;
    }
    return 0;
}

int moil_check_in_idlist(const MOIL_IDLIST_T *idlist, int id, mo_boolean_t *found_ptr) noexcept {
    *found_ptr = FALSE;
    for (const MOIL_IDLIST_T *node = idlist; node != nullptr; node = node->next) {
        if (node->id == id) {
            *found_ptr = TRUE;
            break;
        }
    }
    return 0;
}

int moil_join_accesslist_basic(MOIM_INTERM_T *interm, void *pool_ref, const MOIL_ACCESSLIST_T *src_accesslist,
                               MOIL_ACCESSLIST_T *accesslist_ptr) noexcept {
    int ret = 0;
    for (const MOIL_IDLIST_T *n = src_accesslist->user; n != nullptr && ret == 0; n = n->next)
        ret = moil_add_to_idlist(interm, pool_ref, n->id, &accesslist_ptr->user);
    for (const MOIL_IDLIST_T *n = src_accesslist->group; n != nullptr && ret == 0; n = n->next)
        ret = moil_add_to_idlist(interm, pool_ref, n->id, &accesslist_ptr->group);
    return ret;
}

int moil_join_accesslist(MOIM_INTERM_T *interm, void *pool_ref, const MOIL_ACCESSLIST_T *src_accesslist1,
                         const MOIL_ACCESSLIST_T *src_accesslist2,
                         MOIL_ACCESSLIST_T **accesslist_ptr) noexcept {
    int ret = moil_new_accesslist(interm, pool_ref, accesslist_ptr);
    if (ret == 0)
        ret = moil_join_accesslist_basic(interm, pool_ref, src_accesslist1, *accesslist_ptr);
    if (ret == 0)
        ret = moil_join_accesslist_basic(interm, pool_ref, src_accesslist2, *accesslist_ptr);
    return ret;
}

static bool moil_is_separator(char c) noexcept {
    return c == ' ' || c == ',' || c == '\t';
}

// Base-10 value of a token, 0 when it does not start with a number; out-of-range values are
// clamped rather than left undefined.
static int moil_token_to_id(const char *token) noexcept {
    long v = strtol(token, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

int moil_string_to_idlist(MOIM_INTERM_T *interm, void *pool_ref, char *string,
                          MOIL_IDLIST_T **idlist_ptr) noexcept {
    *idlist_ptr = nullptr;
    if (string == nullptr)
        return 0;
    char *p = string;
    for (;;) {
        while (moil_is_separator(*p))
            p++;
        if (*p == '\0')
            return 0;
        char *token = p;
        while (*p != '\0' && !moil_is_separator(*p))
            p++;
        bool last = (*p == '\0');
        *p = '\0';
        int ret = moil_add_to_idlist(interm, pool_ref, moil_token_to_id(token), idlist_ptr);
        if (ret != 0)
            return ret;
        if (last)
            return 0;
        p++;
    }
}

int moil_string_to_accesslist(MOIM_INTERM_T *interm, void *pool_ref, char *string,
                              MOIL_ACCESSLIST_T *accesslist_ptr) noexcept {
    char *sep = (string == nullptr) ? nullptr : strchr(string, '^');
    if (sep == nullptr) {
        interm->error->report(interm->error,
                              "Missing %c in string when converting string (%s) to accesslist\n", '^',
                              string == nullptr ? "" : string);
        return 1;
    }
    *sep = '\0';
    // Both halves are converted before either replaces a list, so a failure changes nothing.
    MOIL_IDLIST_T *user = nullptr;
    MOIL_IDLIST_T *group = nullptr;
    int ret = moil_string_to_idlist(interm, pool_ref, string, &user);
    if (ret == 0)
        ret = moil_string_to_idlist(interm, pool_ref, sep + 1, &group);
    if (ret != 0)
        return ret;
    accesslist_ptr->user = user;
    accesslist_ptr->group = group;
    return 0;
}
