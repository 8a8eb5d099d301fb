// General doubly linked list of named entries, each with a status and two untyped references.
// Service lists, timers, to-do lists and child lists are built on it. Callers go through the
// operation slots; only the constructor is called by name.
#pragma once
#include "mo_std.h"

struct MOLS_LIST_ELE_T {
    const char *name;         // the entry's name (may be NULL)
    mo_boolean_t malloc_name; // TRUE when name is the list's own copy
    int status;               // value of the caller's choosing
    void *ref1;               // reference of the caller's choosing
    void *ref2;               // reference of the caller's choosing
    MOLS_LIST_ELE_T *prev;    // neighbour towards the head, NULL at the head
    MOLS_LIST_ELE_T *next;    // neighbour towards the tail, NULL at the tail
};
typedef struct MOLS_LIST_ELE_T mols_list_ele_t;

struct MOLS_LIST_T {
    MOME_MEM_T *mem;           // memory service
    void *pool_ref;            // pool of the entries and name copies
    MOLS_LIST_ELE_T *thelist;  // head, NULL when empty
    MOLS_LIST_ELE_T *end;      // tail, NULL when empty
    MOLS_LIST_ELE_T *last_add; // entry most recently added, NULL after reset or its del

    int (*reset)(MOLS_LIST_T *list) noexcept;
    int (*add)(MOLS_LIST_T *list, const char *name, mo_boolean_t malloc_name, int status, void *ref1,
               void *ref2) noexcept;
    int (*add_fifo)(MOLS_LIST_T *list, const char *name, mo_boolean_t malloc_name, int status, void *ref1,
                    void *ref2) noexcept;
    int (*del)(MOLS_LIST_T *list, MOLS_LIST_ELE_T *this_ele) noexcept;
    int (*get_last_add)(MOLS_LIST_T *list, MOLS_LIST_ELE_T **this_ele_ptr) noexcept;
    int (*get_next)(MOLS_LIST_T *list, MOLS_LIST_ELE_T **this_ele_ptr) noexcept;
    int (*get_prev)(MOLS_LIST_T *list, MOLS_LIST_ELE_T **this_ele_ptr) noexcept;
    int (*find_name)(MOLS_LIST_T *list, const char *name, MOLS_LIST_ELE_T **this_ele_ptr) noexcept;
    int (*find_status)(MOLS_LIST_T *list, int status, MOLS_LIST_ELE_T **this_ele_ptr) noexcept;
    const char *(*get_name)(MOLS_LIST_ELE_T *this_ele) noexcept;
    int (*get_status)(MOLS_LIST_ELE_T *this_ele) noexcept;
    void *(*get_ref1)(MOLS_LIST_ELE_T *this_ele) noexcept;
    void *(*get_ref2)(MOLS_LIST_ELE_T *this_ele) noexcept;
    int (*set_status)(MOLS_LIST_ELE_T *this_ele, int status) noexcept;
    int (*set_ref1)(MOLS_LIST_ELE_T *this_ele, void *ref) noexcept;
    int (*set_ref2)(MOLS_LIST_ELE_T *this_ele, void *ref) noexcept;
};
typedef struct MOLS_LIST_T mols_list_t;

// Allocates an empty list in pool_ref through mem, with its slots filled (0, or 1 after "Out of memory").
int mols_list_new(MOLS_LIST_T **list_ptr, void *pool_ref, MOME_MEM_T *mem) noexcept;
