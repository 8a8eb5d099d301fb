// File operations shared by the command-line program and the web-server module: construction,
// initialisation, directory checks, temporary files on the request's cleanup list, whole files
// replaced safely, file-size text, whole-file reads and the console output definition.
#include "platform/mof_file_cmn.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"

#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>

int mof_file_construct(MOF_FILE_T **file, MOL_LOW_T *low, const MOF_FILE_T *slots) noexcept {
    int ret = mome_new(low->mem, low->mem->session_pool_ref, file);
    if (ret != 0)
        return ret;
    MOF_FILE_T *f = *file;
    *f = *slots;
    f->low = low;
    f->process_ref = nullptr;
    f->cleanup = nullptr;
    f->pool_ref = nullptr;
    f->exec_dir = nullptr;
    return 0;
}

int mof_file_init(MOF_FILE_T *file, void *pool, MOCL_CLEANUP_T *cleanup, const char *exec_dir,
                  MOP_PROCESS_T *process) noexcept {
    file->pool_ref = pool;
    file->cleanup = cleanup;
    file->exec_dir = exec_dir;
    file->process_ref = process;
    return 0;
}

int mof_file_build_path(MOE_ERROR_T *error, char *path, const char *fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    int len = vsnprintf(path, MO_FILENAME_LEN, fmt, ap);
    va_end(ap);
    if (len >= 0 && len < MO_FILENAME_LEN)
        return 0;
    // Report the whole path, not the cut one, so the administrator sees what was asked for.
    path[0] = '\0';
    try {
        std::string whole(len > 0 ? static_cast<size_t>(len) + 1 : 1, '\0');
        va_start(ap, fmt);
        vsnprintf(whole.data(), whole.size(), fmt, ap);
        va_end(ap);
        error->report(error, "Path too long (more than %d characters): %s\n", MO_FILENAME_LEN - 1,
                      whole.c_str());
    } catch (const std::bad_alloc &) {
        error->report(error, "Out of memory\n");
    }
    return 1;
}

int mof_file_check_file_dir(MOF_FILE_T *file, const char *filename) noexcept {
    if (file->exists(file, filename))
        return 0;
    mo_filename_t dir;
    int ret = mof_file_build_path(file->low->error, dir, "%s", filename);
    if (ret == 0)
        ret = file->get_dirname(file, dir);
    if (ret != 0 || dir[0] == '\0' || file->exists(file, dir))
        return ret;
    return file->make_dir(file, dir);
}

static std::string cleanup_name(const char *filename) {
    return std::string("cleanup file ") + filename;
}

// The "Request-Always" action: ref1 is the file record, ref2 the request-pool copy of the name.
static int cleanup_file_action(const char *, void *ref1, void *ref2) noexcept {
    MOF_FILE_T *file = static_cast<MOF_FILE_T *>(ref1);
    return file->remove_file(file, static_cast<const char *>(ref2));
}

int mof_file_mark_as_cleanup(MOF_FILE_T *file, const char *filename) noexcept {
    MOE_ERROR_T *error = file->low->error;
    if (file->cleanup == nullptr) {
        error->report(error, "No cleanup list for temporary file %s\n", filename);
        return 1;
    }
    MOME_MEM_T *mem = file->low->mem;
    char *copy = nullptr;
    int ret = mem->store_string(mem, mem->req_pool_ref, &copy, filename);
    if (ret != 0)
        return ret;
    try {
        std::string name = cleanup_name(filename);
        return file->cleanup->add(file->cleanup, name.c_str(), cleanup_file_action, file, copy);
    } catch (const std::bad_alloc &) {
        error->report(error, "Out of memory\n");
        return 1;
    }
}

int mof_file_delete_cleanup(MOF_FILE_T *file, const char *filename) noexcept {
    MOE_ERROR_T *error = file->low->error;
    if (file->cleanup == nullptr) {
        error->report(error, "No cleanup list for temporary file %s\n", filename);
        return 1;
    }
    try {
        std::string name = cleanup_name(filename);
        return file->cleanup->del(file->cleanup, name.c_str());
    } catch (const std::bad_alloc &) {
        error->report(error, "Out of memory\n");
        return 1;
    }
}

int mof_file_close_after(MOF_FILE_T *file, const char *filename, void *file_ref, int ret) noexcept {
    if (ret == 0)
        return file->close_file(file, filename, file_ref);
    // The failure is reported already; a close failing for the same cause (a full disk) stays quiet.
    MoeQuiet quiet(file->low->error);
    file->close_file(file, filename, file_ref);
    return ret;
}

int mof_file_open_replace(MOF_FILE_T *file, const char *filename, char *tmp_name, void **file_ref) noexcept {
    *file_ref = nullptr;
    tmp_name[0] = '\0';
    int kind = MOF_KIND_NONE;
    int ret = file->get_kind(file, filename, &kind);
    if (ret != 0)
        return ret;
    if (kind != MOF_KIND_NONE && kind != MOF_KIND_PLAIN)
        return file->open_file(file, filename, file_ref, MOF_MODE_WRITE);
    ret = mof_file_build_path(file->low->error, tmp_name, "%s" MOF_REPLACE_SUFFIX, filename);
    // Writing truncates: a temporary file that a killed writer left behind is overwritten here.
    if (ret == 0)
        ret = file->open_file(file, tmp_name, file_ref, MOF_MODE_WRITE);
    return ret;
}

int mof_file_commit_replace(MOF_FILE_T *file, const char *filename, const char *tmp_name, void *file_ref,
                            int ret) noexcept {
    if (tmp_name[0] == '\0')
        return mof_file_close_after(file, filename, file_ref, ret);
    ret = mof_file_close_after(file, tmp_name, file_ref, ret);
    if (ret == 0)
        ret = file->replace_file(file, filename, tmp_name);
    if (ret != 0 && file->exists(file, tmp_name)) {
        MoeQuiet quiet(file->low->error);
        file->remove_file(file, tmp_name);
    }
    return ret;
}

int mof_file_write_whole(MOF_FILE_T *file, const char *filename, const char *buf, size_t size) noexcept {
    mo_filename_t tmp_name;
    void *ref = nullptr;
    int ret = mof_file_open_replace(file, filename, tmp_name, &ref);
    if (ret != 0)
        return ret;
    ret = file->write_buf(file, tmp_name, ref, buf, size);
    return mof_file_commit_replace(file, filename, tmp_name, ref, ret);
}

const char *mof_format_file_size(long size) noexcept {
    static char text[64];
    if (size < 1024) {
        snprintf(text, sizeof(text), "1 KB");
    } else if (size < 1024000) {
        snprintf(text, sizeof(text), "%.0f KB", static_cast<double>(size) / 1024.0);
    } else {
        // Thousands of kilobytes: the decimal point is shown as a comma, so 2048000 reads "2,000 KB".
        snprintf(text, sizeof(text), "%.3f KB", static_cast<double>(size) / 1024000.0);
        for (char *p = text; *p != '\0'; ++p)
            if (*p == '.')
                *p = ',';
    }
    return text;
}

int mof_file_mem_read(MOF_FILE_T *file, const char *filename, void *pool, char **buf,
                      size_t *count) noexcept {
    MOME_MEM_T *mem = file->low->mem;
    *buf = nullptr;
    *count = 0;
    long size = 0;
    int ret = file->get_size(file, filename, &size);
    if (ret != 0)
        return ret;
    void *block = nullptr;
    ret = mem->malloc(mem, pool, &block, static_cast<size_t>(size) + 1);
    if (ret != 0)
        return ret;
    char *text = static_cast<char *>(block);
    void *ref = nullptr;
    ret = file->open_file(file, filename, &ref, MOF_MODE_READ);
    if (ret == 0) {
        size_t got = 0;
        mo_boolean_t eof = FALSE;
        ret = file->read_buf(file, filename, ref, text, static_cast<size_t>(size), &got, &eof);
        ret = mof_file_close_after(file, filename, ref, ret);
        if (ret == 0) {
            text[got] = '\0';
            *buf = text;
            *count = got;
            return 0;
        }
    }
    mem->free(mem, pool, text);
    return ret;
}

int mof_file_mem_free(MOF_FILE_T *file, char *buf, void *pool) noexcept {
    return file->low->mem->free(file->low->mem, pool, buf);
}

int mof_file_construct_out_def(MOF_FILE_T *file, MOOU_OUT_DEF_T **out) noexcept {
    MOME_MEM_T *mem = file->low->mem;
    int ret = mome_new(mem, mem->req_pool_ref, out);
    if (ret != 0)
        return ret;
    MOOU_OUT_DEF_T *o = *out;
    o->out_ref = file;
    o->stream_ref = nullptr;
    o->web_header_done = FALSE;
    o->line_fn = file->web_out_line;
    o->char_fn = file->web_out_char;
    o->file_fn = file->web_out_file;
    return 0;
}
