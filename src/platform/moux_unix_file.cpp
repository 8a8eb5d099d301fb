// POSIX file operations. Every failure is reported here, once, with the system's error text where the
// message has room for it; callers only pass the status on.
#include "platform/moux_unix_file.h"
#include "entry/mol_low.h"
#include "platform/moe_error_cmn.h"
#include "platform/mop_process_cmn.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

const MOF_FILE_T moux_file_slots = {
    .init = mof_file_init,
    .exists = moux_file_exists,
    .get_mod_time = moux_file_get_mod_time,
    .get_create_time = moux_file_get_create_time,
    .get_size = moux_file_get_size,
    .make_readonly = moux_file_make_readonly,
    .is_link = moux_file_is_link,
    .is_dir = moux_file_is_dir,
    .get_dirname = moux_file_get_dirname,
    .get_basename = moux_file_get_basename,
    .get_rawname = moux_file_get_rawname,
    .get_extension = moux_file_get_extension,
    .find_unique_filename = moux_file_find_unique_filename,
    .web_out_line = moux_file_web_out_line,
    .web_out_char = moux_file_web_out_char,
    .web_out_file = moux_file_web_out_file,
    .open_file = moux_file_open_file,
    .close_file = moux_file_close_file,
    .read_line = moux_file_read_line,
    .write_line = moux_file_write_line,
    .read_buf = moux_file_read_buf,
    .write_buf = moux_file_write_buf,
    .file_putc = moux_file_putc,
    .file_getc = moux_file_getc,
    .expand_dir = moux_file_expand_dir,
    .touch_file = moux_file_touch_file,
    .move_file = moux_file_move_file,
    .check_file_dir = mof_file_check_file_dir,
    .make_dir = moux_file_make_dir,
    .remove_file = moux_file_remove_file,
    .copy_file = moux_file_copy_file,
    .mark_as_cleanup = mof_file_mark_as_cleanup,
    .delete_cleanup = mof_file_delete_cleanup,
};

static MOE_ERROR_T *err_of(MOF_FILE_T *file) noexcept {
    return file->low->error;
}

static FILE *stream_of(void *file_ref) noexcept {
    return static_cast<FILE *>(file_ref);
}

mo_boolean_t moux_file_exists(MOF_FILE_T *, const char *filename) noexcept {
    struct stat st;
    return stat(filename, &st) == 0 ? TRUE : FALSE;
}

// Reads the file's status, or reports the common stat failure.
static int stat_or_report(MOF_FILE_T *file, const char *filename, struct stat *st) noexcept {
    if (stat(filename, st) == 0)
        return 0;
    err_of(file)->report(err_of(file), "Can't stat file %s\n", filename);
    return 1;
}

int moux_file_get_mod_time(MOF_FILE_T *file, const char *filename, mou_datetime_t *time) noexcept {
    struct stat st;
    *time = 0;
    if (stat_or_report(file, filename, &st) != 0)
        return 1;
    *time = st.st_mtime;
    return 0;
}

int moux_file_get_create_time(MOF_FILE_T *file, const char *filename, mou_datetime_t *time) noexcept {
    struct stat st;
    *time = 0;
    if (stat_or_report(file, filename, &st) != 0)
        return 1;
    *time = st.st_ctime;
    return 0;
}

int moux_file_get_size(MOF_FILE_T *file, const char *filename, long *size) noexcept {
    struct stat st;
    *size = 0;
    if (stat_or_report(file, filename, &st) != 0)
        return 1;
    *size = static_cast<long>(st.st_size);
    return 0;
}

int moux_file_make_readonly(MOF_FILE_T *file, const char *filename) noexcept {
    err_of(file)->report(err_of(file), "moux_file_make_readonly not implemented for file %s\n", filename);
    return 1;
}

int moux_file_is_link(MOF_FILE_T *file, const char *filename, mo_boolean_t *answer) noexcept {
    *answer = FALSE;
    err_of(file)->report(err_of(file), "moux_file_is_link not implemented for file %s\n", filename);
    return 1;
}

int moux_file_is_dir(MOF_FILE_T *file, const char *filename, mo_boolean_t *answer) noexcept {
    struct stat st;
    *answer = FALSE;
    if (stat_or_report(file, filename, &st) != 0)
        return 1;
    *answer = S_ISDIR(st.st_mode) ? TRUE : FALSE;
    return 0;
}

int moux_file_get_dirname(MOF_FILE_T *, char *path) noexcept {
    char *slash = strrchr(path, '/');
    if (slash == nullptr) {
        if (strcmp(path, ".") != 0 && strcmp(path, "..") != 0)
            path[0] = '\0';
    } else if (slash == path) {
        path[1] = '\0'; // a file at the root lives in "/", not in an empty directory
    } else {
        *slash = '\0';
    }
    return 0;
}

// The last component starts after the last "/" or "\" (names handed in by browsers use either).
static char *last_component(char *path) noexcept {
    char *start = path;
    for (char *p = path; *p != '\0'; ++p)
        if (*p == '/' || *p == '\\')
            start = p + 1;
    return start;
}

int moux_file_get_basename(MOF_FILE_T *, char *path) noexcept {
    char *start = last_component(path);
    if (start != path)
        memmove(path, start, strlen(start) + 1);
    return 0;
}

int moux_file_get_rawname(MOF_FILE_T *file, char *path) noexcept {
    int ret = file->get_basename(file, path);
    if (ret != 0)
        return ret;
    char *dot = strrchr(path, '.');
    if (dot != nullptr)
        *dot = '\0';
    return 0;
}

int moux_file_get_extension(MOF_FILE_T *, char *path) noexcept {
    char *dot = strrchr(last_component(path), '.');
    if (dot == nullptr)
        path[0] = '\0';
    else
        memmove(path, dot + 1, strlen(dot + 1) + 1);
    return 0;
}

int moux_file_find_unique_filename(MOF_FILE_T *file, char *path) noexcept {
    mo_filename_t candidate;
    for (int i = 1; i < MOF_UNIQUE_MAX; ++i) {
        if (mof_file_build_path(err_of(file), candidate, "%s.%d", path, i) != 0)
            return 1;
        if (!file->exists(file, candidate)) {
            memcpy(path, candidate, strlen(candidate) + 1);
            return 0;
        }
    }
    err_of(file)->report(err_of(file), "Reached max unique number (%d) for filename %s\n", MOF_UNIQUE_MAX,
                         path);
    return 1;
}

int moux_file_web_out_line(MOOU_OUT_DEF_T *, const char *fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    return 0;
}

int moux_file_web_out_char(MOOU_OUT_DEF_T *, int c) noexcept {
    return putchar(c) == EOF ? 1 : 0;
}

int moux_file_web_out_file(MOOU_OUT_DEF_T *out, const char *filename) noexcept {
    MOF_FILE_T *file = static_cast<MOF_FILE_T *>(out->out_ref);
    if (file != nullptr)
        err_of(file)->report(err_of(file), "moux_file_web_cat_file not implemented for file %s\n", filename);
    return 1;
}

int moux_file_open_file(MOF_FILE_T *file, const char *filename, void **file_ref, int mode) noexcept {
    // "e": descriptors are not inherited by the programs this process starts.
    const char *how = nullptr;
    switch (mode) {
        case MOF_MODE_WRITE:
            how = "wbe";
            break;
        case MOF_MODE_READ:
            how = "rbe";
            break;
        case MOF_MODE_APPEND:
            how = "abe";
            break;
        case MOF_MODE_CREATE:
            how = "wbxe";
            break;
        default:
            *file_ref = nullptr;
            err_of(file)->report(err_of(file), "Can't understand mode %d in moux_file_open_file\n", mode);
            return 1;
    }
    FILE *fp = fopen(filename, how);
    *file_ref = fp;
    if (fp == nullptr) {
        err_of(file)->report(err_of(file), "Open of file %s: %s\n", filename, strerror(errno));
        return 1;
    }
    return 0;
}

int moux_file_close_file(MOF_FILE_T *file, const char *filename, void *file_ref) noexcept {
    if (file_ref == nullptr) {
        err_of(file)->report(err_of(file), "Null file pointer in moux_file_close_file for file %s\n",
                             filename);
        return 1;
    }
    if (fclose(stream_of(file_ref)) != 0) {
        err_of(file)->report(err_of(file), "Close of file %s: %s\n", filename, strerror(errno));
        return 1;
    }
    return 0;
}

int moux_file_read_line(MOF_FILE_T *file, const char *filename, void *file_ref, char *buf, size_t size,
                        mo_boolean_t *eof) noexcept {
    FILE *fp = stream_of(file_ref);
    size_t n = 0;
    int c = 0;
    *eof = FALSE;
    while (n + 1 < size) {
        c = getc(fp);
        if (c == EOF)
            break;
        buf[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    if (size > 0)
        buf[n] = '\0';
    if (c == EOF) {
        if (ferror(fp)) {
            err_of(file)->report(err_of(file), "Can't read from file %s: %s\n", filename, strerror(errno));
            return 1;
        }
        // A last line without a line feed is handed out first; the flag comes with the empty read.
        if (n == 0)
            *eof = TRUE;
    }
    return 0;
}

int moux_file_write_line(MOF_FILE_T *file, const char *filename, void *file_ref, const char *text) noexcept {
    if (fputs(text, stream_of(file_ref)) == EOF) {
        err_of(file)->report(err_of(file), "Can't write to file %s: %s\n", filename, strerror(errno));
        return 1;
    }
    return 0;
}

int moux_file_read_buf(MOF_FILE_T *file, const char *filename, void *file_ref, char *buf, size_t size,
                       size_t *count, mo_boolean_t *eof) noexcept {
    FILE *fp = stream_of(file_ref);
    *eof = FALSE;
    *count = fread(buf, 1, size, fp);
    if (*count < size) {
        if (ferror(fp)) {
            err_of(file)->report(err_of(file), "Can't read from file %s: %s\n", filename, strerror(errno));
            return 1;
        }
        *eof = TRUE;
    }
    return 0;
}

int moux_file_write_buf(MOF_FILE_T *file, const char *, void *file_ref, const char *buf,
                        size_t size) noexcept {
    if (fwrite(buf, 1, size, stream_of(file_ref)) != size) {
        err_of(file)->report(err_of(file), "Error occurred during moux_file_write %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

int moux_file_putc(MOF_FILE_T *file, const char *, void *file_ref, int c) noexcept {
    if (putc(c, stream_of(file_ref)) == EOF) {
        err_of(file)->report(err_of(file), "Error occurred during moux_file_putc %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

int moux_file_getc(MOF_FILE_T *file, const char *filename, void *file_ref, int *c) noexcept {
    FILE *fp = stream_of(file_ref);
    *c = getc(fp);
    // A read error must not pass for the end of the file: a reader would take a cut list for whole.
    if (*c == EOF && ferror(fp)) {
        err_of(file)->report(err_of(file), "Can't read from file %s: %s\n", filename, strerror(errno));
        return 1;
    }
    return 0;
}

int moux_file_expand_dir(MOF_FILE_T *file, const char *dir, mo_boolean_t recursive, void *ref,
                         mof_walk_fn_t file_fn, mof_walk_fn_t dir_fn) noexcept {
    DIR *dp = opendir(dir);
    if (dp == nullptr) {
        err_of(file)->report(err_of(file), "Open of directory %s failed: %s\n", dir, strerror(errno));
        return 1;
    }
    int ret = 0;
    struct dirent *ent;
    while (ret == 0 && (ent = readdir(dp)) != nullptr) {
        if (strcmp(ent->d_name, ".") == 0 || strcmp(ent->d_name, "..") == 0)
            continue;
        mo_filename_t path;
        ret = mof_file_build_path(err_of(file), path, "%s/%s", dir, ent->d_name);
        mo_boolean_t is_dir = FALSE;
        if (ret == 0)
            ret = file->is_dir(file, path, &is_dir);
        if (ret != 0)
            break;
        if (!is_dir) {
            if (file_fn != nullptr)
                ret = file_fn(path, ref);
        } else {
            // A directory's action comes after its contents, so it may remove the emptied directory.
            if (recursive)
                ret = moux_file_expand_dir(file, path, recursive, ref, file_fn, dir_fn);
            if (ret == 0 && dir_fn != nullptr)
                ret = dir_fn(path, ref);
        }
    }
    // The directory is closed on every path, also when the walk stopped on a failure.
    if (closedir(dp) != 0 && ret == 0) {
        err_of(file)->report(err_of(file), "Close of directory %s failed: %s\n", dir, strerror(errno));
        ret = 1;
    }
    return ret;
}

int moux_file_touch_file(MOF_FILE_T *file, const char *filename) noexcept {
    void *ref = nullptr;
    int ret = file->open_file(file, filename, &ref, MOF_MODE_WRITE);
    if (ret != 0)
        return ret;
    return file->close_file(file, filename, ref);
}

int moux_file_move_file(MOF_FILE_T *file, const char *dest, const char *src) noexcept {
    if (strcmp(dest, src) == 0)
        return 0;
    // One rename replaces the destination atomically: there is no moment at which neither file
    // exists, and a missing source leaves the destination untouched.
    if (rename(src, dest) != 0) {
        err_of(file)->report(err_of(file), "Can't move %s to %s\n", src, dest);
        return 1;
    }
    return 0;
}

int moux_file_make_dir(MOF_FILE_T *file, const char *dir) noexcept {
    MOP_PROCESS_T *process = file->process_ref;
    mo_filename_t prog;
    int ret = 1;
    if (process != nullptr && file->exec_dir != nullptr &&
        mof_file_build_path(err_of(file), prog, "%s/mkdir", file->exec_dir) == 0) {
        MOP_CHANNEL_T channel;
        memset(&channel, 0, sizeof(channel));
        ret = process->open_process(process, &channel, MOP_ON_ERROR_FAIL, prog, "-p", dir,
                                    static_cast<const char *>(nullptr));
        if (ret == 0) {
            int exit_status = 0;
            ret = process->end_process(process, &channel, MOP_ON_ERROR_FAIL, &exit_status);
        }
    }
    if (ret != 0)
        err_of(file)->report(err_of(file), "Can't make directory: %s\n", dir);
    return ret;
}

int moux_file_remove_file(MOF_FILE_T *, const char *filename) noexcept {
    remove(filename);
    return 0;
}

int moux_file_copy_file(MOF_FILE_T *file, const char *dest, const char *src) noexcept {
    // Copying a file onto itself would empty it when the destination is opened for writing.
    struct stat s_st, d_st;
    if (strcmp(dest, src) == 0 || (stat(src, &s_st) == 0 && stat(dest, &d_st) == 0 &&
                                   s_st.st_dev == d_st.st_dev && s_st.st_ino == d_st.st_ino))
        return 0;
    void *in = nullptr;
    void *out = nullptr;
    int ret = file->open_file(file, src, &in, MOF_MODE_READ);
    if (ret != 0)
        return ret;
    ret = file->open_file(file, dest, &out, MOF_MODE_WRITE);
    if (ret != 0) {
        file->close_file(file, src, in);
        return ret;
    }
    char buf[4096];
    mo_boolean_t eof = FALSE;
    while (ret == 0 && !eof) {
        size_t count = 0;
        ret = file->read_buf(file, src, in, buf, sizeof(buf), &count, &eof);
        if (ret == 0 && count > 0)
            ret = file->write_buf(file, dest, out, buf, count);
    }
    int ret_in = file->close_file(file, src, in);
    int ret_out = file->close_file(file, dest, out);
    if (ret == 0)
        ret = ret_in != 0 ? ret_in : ret_out;
    return ret;
}
