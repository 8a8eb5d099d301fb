// String-keyed hash table with nesting buckets; the lock service's modification numbers and the
// spell checker's dictionaries live in such tables.
#include "storage/moh_hash.h"
#include "platform/moe_error_cmn.h"
#include "entry/moim_interm.h"
#include "platform/mome_mem_cmn.h"

#include <cstdint>
#include <cstring>

#define MOH_HASH_KEY_BYTES 100 // bytes of a key that choose its bucket

// The full 32-bit fold of a key, before it is reduced to a bucket.
static uint32_t moh_hash_value(const char *key) noexcept {
    uint32_t h = 0;
    for (int i = 0; i < MOH_HASH_KEY_BYTES && key[i] != '\0'; i++) {
        // Bytes count as signed 8-bit values, so 0x80..0xFF add -128..-1 (wrapping modulo 2^32).
        int32_t b = static_cast<signed char>(key[i]);
        h = h * 100u + static_cast<uint32_t>(b);
    }
    return h;
}

unsigned moh_hash_fn(const char *key, int num_buckets) noexcept {
    return moh_hash_value(key) % static_cast<uint32_t>(num_buckets);
}

// TRUE when every key of the bucket folds to `value`: such keys share a bucket at every nesting
// level, so nesting would only add levels (one per two keys) without ever separating them.
static bool moh_all_same_value(const MOH_HASH_T *hash, const MOH_HASH_RECORD_T *bucket,
                               uint32_t value) noexcept {
    const MOH_HASH_KEYLIST_T *kl = static_cast<const MOH_HASH_KEYLIST_T *>(bucket->ref);
    // A list longer than the limit only ever holds keys of one value, so its first key tells.
    if (bucket->list_size > hash->max_list_size)
        return kl != nullptr && moh_hash_value(kl->key) == value;
    for (; kl != nullptr; kl = kl->next)
        if (moh_hash_value(kl->key) != value)
            return false;
    return true;
}

int moh_hash_init(MOIM_INTERM_T *interm, void *pool_ref, int num_buckets, int max_list_size,
                  MOH_HASH_T **hash_ptr) noexcept {
    *hash_ptr = nullptr;
    // Zero buckets would divide by zero on the first key.
    if (num_buckets < 1 || max_list_size < 1) {
        interm->error->report(interm->error, "Invalid hash table size: %d buckets of %d keys\n", num_buckets,
                              max_list_size);
        return 1;
    }
    MOH_HASH_T *hash = nullptr;
    int ret = mome_new(interm->mem, pool_ref, &hash);
    if (ret != 0)
        return ret;
    ret = mome_new_array(interm->mem, pool_ref, &hash->table, static_cast<size_t>(num_buckets));
    if (ret != 0) {
        interm->mem->free(interm->mem, pool_ref, hash);
        return ret;
    }
    for (int i = 0; i < num_buckets; i++) {
        hash->table[i].type = MOH_BUCKET_LIST;
        hash->table[i].list_size = 0;
        hash->table[i].ref = nullptr;
    }
    hash->pool_ref = pool_ref;
    hash->num_buckets = num_buckets;
    hash->max_list_size = max_list_size;
    *hash_ptr = hash;
    return 0;
}

int moh_find_in_keylist(MOIM_INTERM_T *, MOH_HASH_KEYLIST_T *keylist, const char *key,
                        mo_boolean_t *found_ptr, void **ref_ptr) noexcept {
    *found_ptr = FALSE;
    *ref_ptr = nullptr;
    for (MOH_HASH_KEYLIST_T *kl = keylist; kl != nullptr; kl = kl->next) {
        if (strcmp(kl->key, key) == 0) {
            *found_ptr = TRUE;
            *ref_ptr = kl->ref;
            return 0;
        }
    }
    return 0;
}

int moh_destroy_keylist_element(MOIM_INTERM_T *interm, void *pool_ref,
                                MOH_HASH_KEYLIST_T *keylist_element) noexcept {
    int ret = interm->mem->free(interm->mem, pool_ref, keylist_element->key);
    if (ret != 0)
        return ret;
    return interm->mem->free(interm->mem, pool_ref, keylist_element);
}

// Turns a full list bucket into a nested table holding its keys. The bucket is switched only once
// every key has been moved, so a failed allocation loses none of them.
static int moh_nest_bucket(MOIM_INTERM_T *interm, MOH_HASH_T *hash, MOH_HASH_RECORD_T *bucket) noexcept {
    MOH_HASH_T *nested = nullptr;
    int ret = moh_hash_init(interm, hash->pool_ref, hash->num_buckets + 2, hash->max_list_size + 2, &nested);
    if (ret != 0)
        return ret;
    MOH_HASH_KEYLIST_T *first = static_cast<MOH_HASH_KEYLIST_T *>(bucket->ref);
    for (MOH_HASH_KEYLIST_T *kl = first; kl != nullptr; kl = kl->next) {
        ret = moh_hash_add(interm, nested, kl->key, kl->ref);
        if (ret != 0) {
            moh_hash_destroy(interm, nested);
            return ret;
        }
    }
    MOH_HASH_KEYLIST_T *kl = first;
    while (kl != nullptr) {
        MOH_HASH_KEYLIST_T *next = kl->next;
        ret = moh_destroy_keylist_element(interm, hash->pool_ref, kl);
        if (ret != 0)
            break;
        kl = next;
    }
    bucket->type = MOH_BUCKET_NESTED;
    bucket->list_size = 0;
    bucket->ref = nested;
    return ret;
}

int moh_hash_add(MOIM_INTERM_T *interm, MOH_HASH_T *hash, const char *key, void *ref) noexcept {
    if (key == nullptr) {
        interm->error->report(interm->error, "No key given to store in the hash table\n");
        return 1;
    }
    MOH_HASH_RECORD_T *bucket = &hash->table[moh_hash_fn(key, hash->num_buckets)];
    if (bucket->type == MOH_BUCKET_NESTED)
        return moh_hash_add(interm, static_cast<MOH_HASH_T *>(bucket->ref), key, ref);

    mo_boolean_t found = FALSE;
    void *old_ref = nullptr;
    moh_find_in_keylist(interm, static_cast<MOH_HASH_KEYLIST_T *>(bucket->ref), key, &found, &old_ref);
    if (found)
        return 0; // the first reference stays

    // Keys that hash alike in full (those equal in their first 100 bytes, for one) stay in the list.
    if (bucket->list_size < hash->max_list_size || moh_all_same_value(hash, bucket, moh_hash_value(key))) {
        MOH_HASH_KEYLIST_T *kl = nullptr;
        int ret = mome_new(interm->mem, hash->pool_ref, &kl);
        if (ret != 0)
            return ret;
        ret = interm->mem->store_string(interm->mem, hash->pool_ref, &kl->key, key);
        if (ret != 0) {
            interm->mem->free(interm->mem, hash->pool_ref, kl);
            return ret;
        }
        kl->ref = ref;
        kl->next = static_cast<MOH_HASH_KEYLIST_T *>(bucket->ref);
        bucket->ref = kl;
        bucket->list_size++;
        return 0;
    }

    int ret = moh_nest_bucket(interm, hash, bucket);
    if (ret != 0)
        return ret;
    return moh_hash_add(interm, static_cast<MOH_HASH_T *>(bucket->ref), key, ref);
}

int moh_hash_find(MOIM_INTERM_T *interm, MOH_HASH_T *hash, const char *key, mo_boolean_t *found_ptr,
                  void **ref_ptr) noexcept {
    *found_ptr = FALSE;
    *ref_ptr = nullptr;
    if (key == nullptr)
        return 0;
    // Nested buckets are followed in a loop: a pathological key set may nest deeply.
    for (;;) {
        MOH_HASH_RECORD_T *bucket = &hash->table[moh_hash_fn(key, hash->num_buckets)];
        if (bucket->type == MOH_BUCKET_LIST)
            return moh_find_in_keylist(interm, static_cast<MOH_HASH_KEYLIST_T *>(bucket->ref), key, found_ptr,
                                       ref_ptr);
        hash = static_cast<MOH_HASH_T *>(bucket->ref);
    }
}

int moh_hash_destroy(MOIM_INTERM_T *interm, MOH_HASH_T *hash) noexcept {
    if (hash == nullptr)
        return 0;
    int ret = 0;
    for (int i = 0; i < hash->num_buckets && ret == 0; i++) {
        MOH_HASH_RECORD_T *bucket = &hash->table[i];
        if (bucket->type == MOH_BUCKET_NESTED) {
            ret = moh_hash_destroy(interm, static_cast<MOH_HASH_T *>(bucket->ref));
            continue;
        }
        MOH_HASH_KEYLIST_T *kl = static_cast<MOH_HASH_KEYLIST_T *>(bucket->ref);
        while (kl != nullptr && ret == 0) {
            MOH_HASH_KEYLIST_T *next = kl->next;
            // The key copies go too: in a long-running daemon they would otherwise never be returned.
            ret = moh_destroy_keylist_element(interm, hash->pool_ref, kl);
            kl = next;
        }
    }
    if (ret == 0)
        ret = interm->mem->free(interm->mem, hash->pool_ref, hash->table);
    if (ret == 0)
        ret = interm->mem->free(interm->mem, hash->pool_ref, hash);
    return ret;
}
