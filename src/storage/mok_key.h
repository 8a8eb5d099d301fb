// Keyword record files: every stored list of the system is a text file of records made of
// "KEYWORD value" lines, records separated by "------". This module reads and writes such files
// for a caller-supplied array of keyword descriptors, and supplies the eight basic value types.
#pragma once
#include "mo_std.h"

#include <cstddef>
#include <cstdint>

struct MOIL_IDLIST_T;
struct MOIL_ACCESSLIST_T;

#define MOK_LINE_BUF 1023       // buffer of every word and value line read
#define MOK_MULTI_LINE_BUF 1024 // buffer of one multi-line line or one id token
#define MOK_STRING_MAX 1021     // longest string value that fits a value line
#define MOK_MULTI_LINE_MAX 1023 // longest line of a multi-line value
#define MOK_SEPARATOR "------"  // line between two records

// Reaches the field of type T at a byte offset inside a keyword container.
template <class T> inline T &mok_field(void *container, size_t offset) noexcept {
    return *reinterpret_cast<T *>(static_cast<char *>(container) + offset);
}
template <class T> inline const T &mok_field(const void *container, size_t offset) noexcept {
    return *reinterpret_cast<const T *>(static_cast<const char *>(container) + offset);
}

// The default number of a numeric descriptor travels in its untyped init reference.
inline const void *mok_int_ref(long value) noexcept {
    return mo_int_ref(value);
}
inline long mok_ref_int(const void *ref) noexcept {
    return mo_ref_int(ref);
}

// Builds the initial id list of an id-list or access-list slot.
typedef int (*mok_idlist_init_fn_t)(MOIM_INTERM_T *interm, void *pool_ref, MOIL_IDLIST_T **slot) noexcept;
// Fills the new access list of an access-list slot.
typedef int (*mok_accesslist_init_fn_t)(MOIM_INTERM_T *interm, void *pool_ref,
                                        MOIL_ACCESSLIST_T **slot) noexcept;
inline const void *mok_fn_ref(mok_idlist_init_fn_t fn) noexcept {
    return reinterpret_cast<const void *>(fn);
}
inline const void *mok_fn_ref(mok_accesslist_init_fn_t fn) noexcept {
    return reinterpret_cast<const void *>(fn);
}

typedef int (*mok_init_fn_t)(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                             const void *init_ref) noexcept;
typedef int (*mok_read_fn_t)(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                             const char *filename, long line_no, void *file_ref) noexcept;
typedef int (*mok_write_fn_t)(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                              const char *start_string, const char *filename, void *file_ref) noexcept;
typedef int (*mok_free_fn_t)(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset) noexcept;

struct MOK_GEN_KEYWORD_T {
    const char *keyword;     // label of the value in the file, matched exactly
    size_t struct_offset;    // byte offset of the value's slot in the container
    mok_init_fn_t init_fn;   // sets the slot to its initial value
    const void *init_ref;    // default text, default number or initialising operation
    mok_read_fn_t read_fn;   // reads the value from the file
    mok_write_fn_t write_fn; // writes the keyword line
    mok_free_fn_t free_fn;   // releases what the slot owns
};
typedef struct MOK_GEN_KEYWORD_T mok_gen_keyword_t;

struct MOK_DATA_RECORD_T {
    void *container;          // the caller's record structure
    mo_boolean_t access_edit; // set by the list engine after access evaluation
    mo_boolean_t access_view; // likewise, for viewing
    MOK_DATA_RECORD_T *next;  // next record in file order
};
typedef struct MOK_DATA_RECORD_T mok_data_record_t;

struct MOK_MULTI_LINE_T {
    char *string;           // the line's text, owned by the node
    MOK_MULTI_LINE_T *next; // the following line
};
typedef struct MOK_MULTI_LINE_T mok_multi_line_t;

int mok_load_keyword(MOK_GEN_KEYWORD_T *ptr, const char *keyword, size_t struct_offset, mok_init_fn_t init_fn,
                     const void *init_ref, mok_read_fn_t read_fn, mok_write_fn_t write_fn,
                     mok_free_fn_t free_fn) noexcept;

// Whole files.
int mok_read_keyword_list(MOX_AUX_T *aux_ref, void *pool_ref, const char *filename,
                          const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                          MOK_DATA_RECORD_T **start_data_record, size_t data_record_container_size) noexcept;
int mok_read_keyword_container(MOX_AUX_T *aux, void *pool_ref, const char *filename,
                               const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                               void *container) noexcept;
int mok_reset_keyword_container(MOX_AUX_T *aux_ref, void *pool_ref,
                                const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                                void *container) noexcept;
int mok_reset_container(MOX_AUX_T *aux, void *pool_ref, void *container,
                        const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size) noexcept;
int mok_write_keyword_list(MOX_AUX_T *aux, void *pool_ref, const char *filename,
                           const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                           MOK_DATA_RECORD_T *data_record, size_t data_record_container_size) noexcept;
int mok_free_keyword_list(MOX_AUX_T *aux, void *pool_ref, const MOK_GEN_KEYWORD_T *gen_keyword_array,
                          int gen_keyword_array_size, MOK_DATA_RECORD_T *data_record) noexcept;

// Records.
int mok_get_new_data_record(MOX_AUX_T *aux, void *pool_ref, MOK_DATA_RECORD_T **new_data_record_ptr) noexcept;
int mok_get_and_init_new_data_record(MOX_AUX_T *aux, void *pool_ref, MOK_DATA_RECORD_T **new_data_record_ptr,
                                     const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                                     size_t data_record_container_size) noexcept;
int mok_free_data_record(MOX_AUX_T *aux, void *pool_ref, MOK_DATA_RECORD_T *data_record) noexcept;
int mok_add_multi_line(MOX_AUX_T *aux, void *pool_ref, const char *string,
                       MOK_MULTI_LINE_T **multi_ptr) noexcept;

// Value types: init, read, write and free per type.
#define MOK_DECLARE_TYPE(name)                                                                               \
    int mok_init_##name(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,               \
                        const void *init_ref) noexcept;                                                      \
    int mok_read_##name(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,               \
                        const char *filename, long line_no, void *file_ref) noexcept;                        \
    int mok_write_##name(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,              \
                         const char *start_string, const char *filename, void *file_ref) noexcept;           \
    int mok_free_##name(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset) noexcept;
MOK_DECLARE_TYPE(string)
MOK_DECLARE_TYPE(multi_line)
MOK_DECLARE_TYPE(idlist)
MOK_DECLARE_TYPE(accesslist)
MOK_DECLARE_TYPE(integer)
MOK_DECLARE_TYPE(boolean)
MOK_DECLARE_TYPE(u32bit)
MOK_DECLARE_TYPE(null)
#undef MOK_DECLARE_TYPE

// Id lists without keyword or line end; reading stops at "^" (access_sep_ptr TRUE) or at LF.
int mok_read_idlist_basic(MOX_AUX_T *aux, void *pool_ref, const char *filename, void *file_ref,
                          mo_boolean_t *access_sep_ptr, MOIL_IDLIST_T **idlist_ptr) noexcept;
int mok_write_idlist_basic(MOX_AUX_T *aux, const MOIL_IDLIST_T *idlist, const char *filename,
                           void *file_ref) noexcept;

// Base-10 conversions of value texts: stop at the first non-digit, 0 without digits, saturating.
int mok_text_to_int(const char *text) noexcept;
uint32_t mok_text_to_u32(const char *text) noexcept;

// Low-level readers. mok_key_file_getc drops every CR byte; mok_read_until returns the bytes stored,
// or -1 (end-of-file flag set, nothing stored) when the file service reported a failed read.
int mok_key_file_getc(MOF_FILE_T *file, const char *filename, void *file_ref, int *c) noexcept;
int mok_read_until(MOX_AUX_T *aux, mo_boolean_t break_on_whitespace, char *buf, int buf_size,
                   const char *filename, void *file_ref, mo_boolean_t *eof_ptr) noexcept;
int mok_read_check_string_end(MOX_AUX_T *aux, const char *filename, int chars_read, long line_no,
                              char *string) noexcept;
