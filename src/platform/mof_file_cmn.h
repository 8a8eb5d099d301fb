// The file service: the only way the system touches the file system. Also the output definition
// through which pages, listings and mail bodies are written.
#pragma once
#include "mo_std.h"

#define MOF_MODE_WRITE 0 // create or truncate
#define MOF_MODE_READ 1
#define MOF_MODE_APPEND 2
#define MOF_MODE_CREATE 3 // write a file that must not exist yet (upload files)
#define MOF_UNIQUE_MAX 1000

struct MOOU_OUT_DEF_T {
    void *out_ref;                // owner: the file record (console) or the mail record
    void *stream_ref;             // stream written to; NULL for console output
    mo_boolean_t web_header_done; // TRUE once the page head is written
    int edit_td_count;            // counter kept by the page-writing code
    int (*line_fn)(MOOU_OUT_DEF_T *out, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
    int (*char_fn)(MOOU_OUT_DEF_T *out, int c) noexcept;
    int (*file_fn)(MOOU_OUT_DEF_T *out, const char *filename) noexcept;
};

// Directory-walk action: given the entry's path and the caller's reference.
typedef int (*mof_walk_fn_t)(const char *path, void *ref) noexcept;

struct MOF_FILE_T {
    MOL_LOW_T *low;             // the low bundle
    MOP_PROCESS_T *process_ref; // runs the directory-creation program
    MOCL_CLEANUP_T *cleanup;    // receives temporary files ("Request-Always")
    void *pool_ref;             // pool given by init
    const char *exec_dir;       // directory of the platform's tool programs

    int (*init)(MOF_FILE_T *file, void *pool, MOCL_CLEANUP_T *cleanup, const char *exec_dir,
                MOP_PROCESS_T *process) noexcept;
    mo_boolean_t (*exists)(MOF_FILE_T *file, const char *filename) noexcept;
    int (*get_mod_time)(MOF_FILE_T *file, const char *filename, mou_datetime_t *time) noexcept;
    int (*get_create_time)(MOF_FILE_T *file, const char *filename, mou_datetime_t *time) noexcept;
    int (*get_size)(MOF_FILE_T *file, const char *filename, long *size) noexcept;
    int (*make_readonly)(MOF_FILE_T *file, const char *filename) noexcept;
    int (*is_link)(MOF_FILE_T *file, const char *filename, mo_boolean_t *answer) noexcept;
    int (*is_dir)(MOF_FILE_T *file, const char *filename, mo_boolean_t *answer) noexcept;
    int (*get_dirname)(MOF_FILE_T *file, char *path) noexcept; // path: mo_filename_t, changed in place
    int (*get_basename)(MOF_FILE_T *file, char *path) noexcept;
    int (*get_rawname)(MOF_FILE_T *file, char *path) noexcept;
    int (*get_extension)(MOF_FILE_T *file, char *path) noexcept;
    int (*find_unique_filename)(MOF_FILE_T *file, char *path) noexcept;
    int (*web_out_line)(MOOU_OUT_DEF_T *out, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
    int (*web_out_char)(MOOU_OUT_DEF_T *out, int c) noexcept;
    int (*web_out_file)(MOOU_OUT_DEF_T *out, const char *filename) noexcept;
    int (*open_file)(MOF_FILE_T *file, const char *filename, void **file_ref, int mode) noexcept;
    int (*close_file)(MOF_FILE_T *file, const char *filename, void *file_ref) noexcept;
    // Up to a line feed (kept) or size - 1 bytes; *eof is set by the read that finds nothing left.
    int (*read_line)(MOF_FILE_T *file, const char *filename, void *file_ref, char *buf, size_t size,
                     mo_boolean_t *eof) noexcept;
    int (*write_line)(MOF_FILE_T *file, const char *filename, void *file_ref, const char *text) noexcept;
    int (*read_buf)(MOF_FILE_T *file, const char *filename, void *file_ref, char *buf, size_t size,
                    size_t *count, mo_boolean_t *eof) noexcept;
    int (*write_buf)(MOF_FILE_T *file, const char *filename, void *file_ref, const char *buf,
                     size_t size) noexcept;
    int (*file_putc)(MOF_FILE_T *file, const char *filename, void *file_ref, int c) noexcept;
    int (*file_getc)(MOF_FILE_T *file, const char *filename, void *file_ref, int *c) noexcept; // EOF at end
    int (*expand_dir)(MOF_FILE_T *file, const char *dir, mo_boolean_t recursive, void *ref,
                      mof_walk_fn_t file_fn, mof_walk_fn_t dir_fn) noexcept;
    int (*touch_file)(MOF_FILE_T *file, const char *filename) noexcept;
    int (*move_file)(MOF_FILE_T *file, const char *dest, const char *src) noexcept;
    int (*check_file_dir)(MOF_FILE_T *file, const char *filename) noexcept;
    int (*make_dir)(MOF_FILE_T *file, const char *dir) noexcept;
    int (*remove_file)(MOF_FILE_T *file, const char *filename) noexcept;
    int (*copy_file)(MOF_FILE_T *file, const char *dest, const char *src) noexcept;
    int (*mark_as_cleanup)(MOF_FILE_T *file, const char *filename) noexcept;
    int (*delete_cleanup)(MOF_FILE_T *file, const char *filename) noexcept;
};

int mof_file_construct(MOF_FILE_T **file, MOL_LOW_T *low, const MOF_FILE_T *slots) noexcept;

// Common operations of both deliverables.
int mof_file_init(MOF_FILE_T *file, void *pool, MOCL_CLEANUP_T *cleanup, const char *exec_dir,
                  MOP_PROCESS_T *process) noexcept;
int mof_file_check_file_dir(MOF_FILE_T *file, const char *filename) noexcept;
int mof_file_mark_as_cleanup(MOF_FILE_T *file, const char *filename) noexcept;
int mof_file_delete_cleanup(MOF_FILE_T *file, const char *filename) noexcept;
const char *mof_format_file_size(long size) noexcept; // one static buffer, overwritten by the next call
int mof_file_mem_read(MOF_FILE_T *file, const char *filename, void *pool, char **buf, size_t *count) noexcept;
int mof_file_mem_free(MOF_FILE_T *file, char *buf, void *pool) noexcept;
int mof_file_construct_out_def(MOF_FILE_T *file, MOOU_OUT_DEF_T **out) noexcept;

// Formats a path into `path` (a mo_filename_t). A path that does not fit is refused rather than cut
// to another name: "Path too long ..." is reported, `path` is left empty and 1 is returned.
int mof_file_build_path(MOE_ERROR_T *error, char *path, const char *fmt, ...) noexcept MO_PRINTF(3, 4);
