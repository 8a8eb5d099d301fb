// String-keyed hash table. A bucket holds a short key list; when it is full it turns into a
// nested table two buckets wider with lists two keys longer. Keys whose whole hash value is equal
// (nesting could never part them) stay together in one list instead.
#pragma once
#include "mo_std.h"

#define MOH_BUCKET_NESTED 0 // the bucket's ref is a nested MOH_HASH_T
#define MOH_BUCKET_LIST 1   // the bucket's ref is the first MOH_HASH_KEYLIST_T

struct MOH_HASH_KEYLIST_T {
    char *key;                // the table's own copy of the key
    void *ref;                // the caller's reference stored under the key
    MOH_HASH_KEYLIST_T *next; // next key of the bucket, NULL at the end
};
typedef struct MOH_HASH_KEYLIST_T moh_hash_keylist_t;

struct MOH_HASH_RECORD_T {
    int type;      // MOH_BUCKET_LIST or MOH_BUCKET_NESTED
    int list_size; // keys in the bucket's list (0 once nested)
    void *ref;     // first key-list element, or the nested table
};
typedef struct MOH_HASH_RECORD_T moh_hash_record_t;

struct MOH_HASH_T {
    MOH_HASH_RECORD_T *table; // num_buckets bucket records
    void *pool_ref;           // pool of the table, its elements and key copies
    int num_buckets;          // width of the table
    int max_list_size;        // keys a bucket holds before it nests
};
typedef struct MOH_HASH_T moh_hash_t;

// Allocates a table of num_buckets empty buckets in pool_ref.
int moh_hash_init(MOIM_INTERM_T *interm, void *pool_ref, int num_buckets, int max_list_size,
                  MOH_HASH_T **hash_ptr) noexcept;
// Stores ref under key; a key already present keeps its first reference.
int moh_hash_add(MOIM_INTERM_T *interm, MOH_HASH_T *hash, const char *key, void *ref) noexcept;
// Sets *found_ptr, and *ref_ptr to the stored reference (NULL when not found).
int moh_hash_find(MOIM_INTERM_T *interm, MOH_HASH_T *hash, const char *key, mo_boolean_t *found_ptr,
                  void **ref_ptr) noexcept;
// Frees the whole table, nested tables included, through the memory service.
int moh_hash_destroy(MOIM_INTERM_T *interm, MOH_HASH_T *hash) noexcept;
// Bucket index of a key: the first 100 bytes, taken as signed, folded by h = h * 100 + b mod 2^32.
unsigned moh_hash_fn(const char *key, int num_buckets) noexcept;
// Searches one bucket list for key (exact byte comparison).
int moh_find_in_keylist(MOIM_INTERM_T *interm, MOH_HASH_KEYLIST_T *keylist, const char *key,
                        mo_boolean_t *found_ptr, void **ref_ptr) noexcept;
// Frees the element's key copy, then the element.
int moh_destroy_keylist_element(MOIM_INTERM_T *interm, void *pool_ref,
                                MOH_HASH_KEYLIST_T *keylist_element) noexcept;
