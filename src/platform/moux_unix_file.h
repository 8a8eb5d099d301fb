// POSIX implementation of the file service: file tests, path manipulation, streams, directory walks,
// moves, copies and directory creation through the platform's mkdir program.
#pragma once
#include "platform/mof_file_cmn.h"

mo_boolean_t moux_file_exists(MOF_FILE_T *file, const char *filename) noexcept;
int moux_file_get_mod_time(MOF_FILE_T *file, const char *filename, mou_datetime_t *time) noexcept;
int moux_file_get_create_time(MOF_FILE_T *file, const char *filename, mou_datetime_t *time) noexcept;
int moux_file_get_size(MOF_FILE_T *file, const char *filename, long *size) noexcept;
int moux_file_make_readonly(MOF_FILE_T *file, const char *filename) noexcept;
int moux_file_is_link(MOF_FILE_T *file, const char *filename, mo_boolean_t *answer) noexcept;
int moux_file_is_dir(MOF_FILE_T *file, const char *filename, mo_boolean_t *answer) noexcept;
int moux_file_get_dirname(MOF_FILE_T *file, char *path) noexcept;
int moux_file_get_basename(MOF_FILE_T *file, char *path) noexcept;
int moux_file_get_rawname(MOF_FILE_T *file, char *path) noexcept;
int moux_file_get_extension(MOF_FILE_T *file, char *path) noexcept;
int moux_file_find_unique_filename(MOF_FILE_T *file, char *path) noexcept;
int moux_file_web_out_line(MOOU_OUT_DEF_T *out, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
int moux_file_web_out_char(MOOU_OUT_DEF_T *out, int c) noexcept;
int moux_file_web_out_file(MOOU_OUT_DEF_T *out, const char *filename) noexcept;
int moux_file_open_file(MOF_FILE_T *file, const char *filename, void **file_ref, int mode) noexcept;
int moux_file_close_file(MOF_FILE_T *file, const char *filename, void *file_ref) noexcept;
int moux_file_read_line(MOF_FILE_T *file, const char *filename, void *file_ref, char *buf, size_t size,
                        mo_boolean_t *eof) noexcept;
int moux_file_write_line(MOF_FILE_T *file, const char *filename, void *file_ref, const char *text) noexcept;
int moux_file_read_buf(MOF_FILE_T *file, const char *filename, void *file_ref, char *buf, size_t size,
                       size_t *count, mo_boolean_t *eof) noexcept;
int moux_file_write_buf(MOF_FILE_T *file, const char *filename, void *file_ref, const char *buf,
                        size_t size) noexcept;
int moux_file_putc(MOF_FILE_T *file, const char *filename, void *file_ref, int c) noexcept;
int moux_file_getc(MOF_FILE_T *file, const char *filename, void *file_ref, int *c) noexcept;
int moux_file_expand_dir(MOF_FILE_T *file, const char *dir, mo_boolean_t recursive, void *ref,
                         mof_walk_fn_t file_fn, mof_walk_fn_t dir_fn) noexcept;
int moux_file_touch_file(MOF_FILE_T *file, const char *filename) noexcept;
int moux_file_move_file(MOF_FILE_T *file, const char *dest, const char *src) noexcept;
int moux_file_get_kind(MOF_FILE_T *file, const char *filename, int *kind) noexcept;
int moux_file_replace_file(MOF_FILE_T *file, const char *dest, const char *src) noexcept;
int moux_file_make_dir(MOF_FILE_T *file, const char *dir) noexcept;
int moux_file_remove_file(MOF_FILE_T *file, const char *filename) noexcept;
int moux_file_copy_file(MOF_FILE_T *file, const char *dest, const char *src) noexcept;

extern const MOF_FILE_T moux_file_slots;
