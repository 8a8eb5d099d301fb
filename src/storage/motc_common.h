// Common keywords: a keyword descriptor that also shows its value as text, sets it from text,
// orders two records by it and copies it between records. Also the id array, the index from record
// id to record container that every content type builds after loading its list, with the reverse
// lookups by name, by number and by system id pair.
#pragma once
#include "mo_std.h"
#include "storage/mok_key.h"

#include <cstddef>

struct MOTC_COMMON_KEYWORD_T;

typedef int (*motc_get_string_fn_t)(MOTC_COMMON_KEYWORD_T *common, void *container,
                                    const char **result_ptr) noexcept;
typedef int (*motc_update_string_fn_t)(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,
                                       const char *new_text) noexcept;
typedef int (*motc_compare_fn_t)(MOTC_COMMON_KEYWORD_T *common, const void *container1,
                                 const void *container2, mo_boolean_t nocase) noexcept;
typedef int (*motc_copy_fn_t)(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest,
                              const void *src) noexcept;

struct MOTC_COMMON_KEYWORD_T {
    MOK_GEN_KEYWORD_T gen_keyword;            // keyword, offset and file operations
    motc_get_string_fn_t get_string_fn;       // gives the value's display text
    motc_update_string_fn_t update_string_fn; // sets the value from text
    motc_compare_fn_t compare_fn;             // orders two containers: 1, 0 or -1
    motc_copy_fn_t copy_fn;                   // copies the value from src into dest
    void *type_keyword_ref;                   // per-kind data of the list engine
    void *applic_keyword_ref;                 // per-application data of the list engine
    MOX_AUX_T *aux;                           // the service bundle
};
typedef struct MOTC_COMMON_KEYWORD_T motc_common_keyword_t;

struct MOTC_KEYLIST_T {
    const char *keyword;                  // the common keyword's keyword
    MOTC_COMMON_KEYWORD_T *common_struct; // the common keyword
    MOTC_KEYLIST_T *next;                 // next element
};
typedef struct MOTC_KEYLIST_T motc_keylist_t;

struct MO_ID_ARRAY_T {
    int max_id;   // highest id present (0 without positive ids)
    int min_id;   // lowest id looked up; always 1
    void **array; // max_id + 1 containers indexed by id, NULL where no record has the id
};
typedef struct MO_ID_ARRAY_T mo_id_array_t;

#define MOTC_NO_OFFSET (-1L)           // offset_del / offset_new: the record has no such flag
#define MOTC_NOT_DEFINED "Not-Defined" // text of an id without record
#define MOTC_MAX_ID 16777216           // largest id an index is built for

// The user-id kind asks the access service for a user's full name. The access service is built
// later than this module; it installs its lookup here when it is constructed.
typedef int (*motc_full_name_fn_t)(MOX_AUX_T *aux, int user_id, const char **result_ptr) noexcept;
extern motc_full_name_fn_t motc_user_full_name_fn;

// Constructors: (aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref).
#define MOTC_DECLARE_ALLOC(name)                                                                             \
    int motc_common_alloc_##name(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,     \
                                 const char *keyword, size_t struct_offset, const void *init_ref) noexcept;
MOTC_DECLARE_ALLOC(string)
MOTC_DECLARE_ALLOC(multi_line)
MOTC_DECLARE_ALLOC(integer)
MOTC_DECLARE_ALLOC(boolean)
MOTC_DECLARE_ALLOC(u32bit)
MOTC_DECLARE_ALLOC(date)
MOTC_DECLARE_ALLOC(user_id)
MOTC_DECLARE_ALLOC(null)
#undef MOTC_DECLARE_ALLOC

// Text operations per kind.
#define MOTC_DECLARE_OPS(name)                                                                               \
    int motc_get_string_##name(MOTC_COMMON_KEYWORD_T *common, void *container,                               \
                               const char **result_ptr) noexcept;                                            \
    int motc_update_string_##name(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,            \
                                  const char *new_text) noexcept;                                            \
    int motc_compare_##name(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,   \
                            mo_boolean_t nocase) noexcept;                                                   \
    int motc_copy_##name(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest, const void *src) noexcept;
MOTC_DECLARE_OPS(string)
MOTC_DECLARE_OPS(multi_line)
MOTC_DECLARE_OPS(integer)
MOTC_DECLARE_OPS(u32bit)
MOTC_DECLARE_OPS(datetime)
MOTC_DECLARE_OPS(user_id)
MOTC_DECLARE_OPS(null)
#undef MOTC_DECLARE_OPS

int motc_compare_idlist(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                        mo_boolean_t nocase) noexcept;
int motc_compare_accesslist(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                            mo_boolean_t nocase) noexcept;
int motc_copy_idlist(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest, const void *src) noexcept;
int motc_copy_accesslist(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest, const void *src) noexcept;

// Helpers on bare values.
int motc_compare_string_basic(const char *s1, const char *s2) noexcept;
int motc_compare_string_nocase(const char *s1, const char *s2) noexcept;
int motc_compare_multi_line_basic(const MOK_MULTI_LINE_T *m1, const MOK_MULTI_LINE_T *m2) noexcept;
int motc_compare_idlist_basic(const MOIL_IDLIST_T *l1, const MOIL_IDLIST_T *l2) noexcept;
int motc_compare_int_basic(int i1, int i2) noexcept;
int motc_copy_multi_line_basic(MOX_AUX_T *aux, void *pool_ref, MOK_MULTI_LINE_T **dest,
                               const MOK_MULTI_LINE_T *src) noexcept;
int motc_copy_idlist_basic(MOX_AUX_T *aux, void *pool_ref, MOIL_IDLIST_T **dest,
                           const MOIL_IDLIST_T *src) noexcept;
int motc_copy_accesslist_basic(MOX_AUX_T *aux, void *pool_ref, MOIL_ACCESSLIST_T **dest,
                               const MOIL_ACCESSLIST_T *src) noexcept;

// Key lists.
int motc_get_new_keylist_element(MOTC_COMMON_KEYWORD_T *common_struct, void *pool_ref,
                                 MOTC_KEYLIST_T **new_keylist_ptr) noexcept;
int motc_find_keyword(MOX_AUX_T *aux, MOTC_KEYLIST_T *keylist, MOTC_COMMON_KEYWORD_T **found_common_ptr,
                      const char *stype_name, const char *keyword) noexcept;

// Id arrays.
int motc_init_id_array(MOX_AUX_T *aux, MO_ID_ARRAY_T *id_array, MOK_DATA_RECORD_T *data_record,
                       size_t offset_id, void *pool_ref) noexcept;
int motc_get_container_from_id_array(const MO_ID_ARRAY_T *id_array, int id, void **result_ptr) noexcept;
int motc_get_string_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                  mo_boolean_t *deleted_ptr, long offset_del,
                                  const char **result_ptr) noexcept;
int motc_get_int_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                               mo_boolean_t *deleted_ptr, long offset_del, int *result_ptr) noexcept;
int motc_get_void_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                mo_boolean_t *deleted_ptr, long offset_del, void **result_ptr) noexcept;
int motc_get_id_list_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                   mo_boolean_t *deleted_ptr, long offset_del,
                                   MOIL_IDLIST_T **result_ptr) noexcept;
int motc_get_access_list_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                       mo_boolean_t *deleted_ptr, long offset_del,
                                       MOIL_ACCESSLIST_T **result_ptr) noexcept;
int motc_find_id_from_name(const MO_ID_ARRAY_T *id_array, const char *name, size_t offset_name,
                           mo_boolean_t *deleted_ptr, long offset_del, long offset_new,
                           int *result_ptr) noexcept;
int motc_find_id_from_int(const MO_ID_ARRAY_T *id_array, int id, size_t offset_id, mo_boolean_t *deleted_ptr,
                          long offset_del, int *result_ptr) noexcept;
int motc_find_id_from_sys_id_list(const MO_ID_ARRAY_T *id_array, int sys_type_id, int sys_id,
                                  size_t offset_id, mo_boolean_t *deleted_ptr, long offset_del,
                                  int *result_ptr) noexcept;
