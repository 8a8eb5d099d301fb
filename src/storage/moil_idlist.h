// Id lists (ordered lists of record ids, duplicates allowed) and access lists (a user id list, a
// group id list and whether the parent's access applies too). Nodes live in a pool and are
// never freed one by one.
#pragma once
#include "mo_std.h"

struct MOIL_IDLIST_T {
    int id;              // a record id
    MOIL_IDLIST_T *next; // next node, NULL at the end
};
typedef struct MOIL_IDLIST_T moil_idlist_t;

struct MOIL_ACCESSLIST_T {
    MOIL_IDLIST_T *user;     // user ids
    MOIL_IDLIST_T *group;    // group ids
    mo_boolean_t use_parent; // TRUE when the parent's access applies in addition
};
typedef struct MOIL_ACCESSLIST_T moil_accesslist_t;

// A new access list: no users, no groups, use_parent TRUE.
int moil_new_accesslist(MOIM_INTERM_T *interm, void *pool_ref, MOIL_ACCESSLIST_T **accesslist_ptr) noexcept;
// Appends id at the end of the list; no test for duplicates.
int moil_add_to_idlist(MOIM_INTERM_T *interm, void *pool_ref, int id, MOIL_IDLIST_T **idlist_ptr) noexcept;
// Unlinks every node holding id, keeping the order of the others.
int moil_delete_from_idlist(MOIM_INTERM_T *interm, void *pool_ref, int id,
                            MOIL_IDLIST_T **idlist_ptr) noexcept;
// Sets *found_ptr to whether some node holds id.
int moil_check_in_idlist(const MOIL_IDLIST_T *idlist, int id, mo_boolean_t *found_ptr) noexcept;
// A new access list (use_parent TRUE) holding the ids of the first source, then of the second.
int moil_join_accesslist(MOIM_INTERM_T *interm, void *pool_ref, const MOIL_ACCESSLIST_T *src_accesslist1,
                         const MOIL_ACCESSLIST_T *src_accesslist2,
                         MOIL_ACCESSLIST_T **accesslist_ptr) noexcept;
// Appends the source's user ids and group ids to the target's lists, repeats included.
int moil_join_accesslist_basic(MOIM_INTERM_T *interm, void *pool_ref, const MOIL_ACCESSLIST_T *src_accesslist,
                               MOIL_ACCESSLIST_T *accesslist_ptr) noexcept;
// A new list from decimal ids separated by runs of blanks, commas and tabs; the string is cut in place.
int moil_string_to_idlist(MOIM_INTERM_T *interm, void *pool_ref, char *string,
                          MOIL_IDLIST_T **idlist_ptr) noexcept;
// Sets the user and group lists of an existing access list from "users^groups"; use_parent is kept.
int moil_string_to_accesslist(MOIM_INTERM_T *interm, void *pool_ref, char *string,
                              MOIL_ACCESSLIST_T *accesslist_ptr) noexcept;
