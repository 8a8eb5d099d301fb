// Keyword record files. Files are read in one pass, byte by byte through the file service, with
// fixed buffers; every CR byte is dropped as it is read so CR LF files read like LF files. Nothing
// longer than a buffer is ever stored: over-long lines fail, over-long id tokens are cut.
#include "storage/mok_key.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "storage/moil_idlist.h"
#include "entry/moim_interm.h"
#include "platform/mome_mem_cmn.h"
#include "entry/mox_aux.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

inline bool is_blank(int c) {
    return c == ' ' || c == '\t';
}

const char *skip_blanks(const char *p) {
    while (is_blank(*p))
        p++;
    return p;
}

// Reads and drops bytes up to and including the next LF (or to the end of the file).
int drop_rest_of_line(MOX_AUX_T *aux, const char *filename, void *file_ref) {
    int c = 0;
    for (;;) {
        int ret = mok_key_file_getc(aux->file, filename, file_ref, &c);
        if (ret != 0)
            return ret;
        if (c == EOF || c == '\n')
            return 0;
    }
}

// Reads one value line into buf (LF removed) and gives the value after its leading blanks.
int read_value_line(MOX_AUX_T *aux, const char *filename, long line_no, void *file_ref, char *buf,
                    const char **value) {
    mo_boolean_t eof = FALSE;
    int n = mok_read_until(aux, FALSE, buf, MOK_LINE_BUF, filename, file_ref, &eof);
    if (n < 0)
        return 1; // reported by the file service
    int ret = mok_read_check_string_end(aux, filename, n, line_no, buf);
    if (ret != 0)
        return ret;
    *value = skip_blanks(buf);
    return 0;
}

// Buffered output of one keyword line through the file service; the first failed write stops
// everything after it.
struct LineOut {
    MOX_AUX_T *aux;
    const char *filename;
    void *file_ref;
    int status = 0;
    size_t used = 0;
    char buf[4096];

    LineOut(MOX_AUX_T *a, const char *f, void *r) : aux(a), filename(f), file_ref(r) {}

    int flush() {
        if (status == 0 && used > 0) {
            buf[used] = '\0';
            status = aux->file->write_line(aux->file, filename, file_ref, buf);
        }
        used = 0;
        return status;
    }
    void put(char c) {
        if (used + 1 >= sizeof(buf))
            flush();
        buf[used++] = c;
    }
    void put(const char *text) {
        while (*text != '\0')
            put(*text++);
    }
    void put_int(long v) {
        char num[32];
        snprintf(num, sizeof(num), "%ld", v);
        put(num);
    }
};

// Appends a node holding a pool copy of text[0..len) after *tail.
int append_line(MOX_AUX_T *aux, void *pool_ref, const char *text, MOK_MULTI_LINE_T **head,
                MOK_MULTI_LINE_T **tail) {
    MOK_MULTI_LINE_T *node = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &node);
    if (ret != 0)
        return ret;
    ret = aux->mem->store_string(aux->mem, pool_ref, &node->string, text);
    if (ret != 0)
        return ret;
    mo_list_append(head, tail, node);
    return 0;
}

int append_id(MOX_AUX_T *aux, void *pool_ref, int id, MOIL_IDLIST_T **head, MOIL_IDLIST_T **tail) {
    MOIL_IDLIST_T *node = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &node);
    if (ret != 0)
        return ret;
    node->id = id;
    mo_list_append(head, tail, node);
    return 0;
}

int new_accesslist(MOX_AUX_T *aux, void *pool_ref, MOIL_ACCESSLIST_T **out) {
    int ret = mome_new(aux->mem, pool_ref, out);
    if (ret != 0)
        return ret;
    (*out)->user = nullptr;
    (*out)->group = nullptr;
    (*out)->use_parent = TRUE;
    return 0;
}

int init_number(void *container, size_t struct_offset, const void *init_ref) {
    mok_field<int>(container, struct_offset) = static_cast<int>(mok_ref_int(init_ref));
    return 0;
}

// The read loop shared by the list reader (list_mode) and the single-container reader.
int read_records(MOX_AUX_T *aux, void *pool_ref, const char *filename, const MOK_GEN_KEYWORD_T *array,
                 int array_size, void *file_ref, bool list_mode, void *container, MOK_DATA_RECORD_T *current,
                 size_t container_size, long *line_no) {
    char word[MOK_LINE_BUF];
    mo_boolean_t eof = FALSE;
    int ret = 0;
    while (ret == 0) {
        int n = mok_read_until(aux, TRUE, word, MOK_LINE_BUF, filename, file_ref, &eof);
        if (n < 0)
            return 1; // reported by the file service
        if (eof)
            break;
        (*line_no)++;
        bool ended_line = n > 0 && word[n - 1] == '\n';

        if (list_mode && strncmp(word, MOK_SEPARATOR, 6) == 0) {
            if (!ended_line)
                ret = drop_rest_of_line(aux, filename, file_ref);
            MOK_DATA_RECORD_T *next = nullptr;
            if (ret == 0)
                ret =
                    mok_get_and_init_new_data_record(aux, pool_ref, &next, array, array_size, container_size);
            if (ret != 0)
                break;
            current->next = next;
            current = next;
            container = next->container;
            continue;
        }
        while (n > 0 && is_blank(word[0])) {
            n = mok_read_until(aux, TRUE, word, MOK_LINE_BUF, filename, file_ref, &eof);
            if (n < 0)
                return 1;
            if (eof)
                break;
            ended_line = n > 0 && word[n - 1] == '\n';
        }
        if (eof)
            break;
        if (word[0] == '#') {
            if (!ended_line)
                ret = drop_rest_of_line(aux, filename, file_ref);
            continue;
        }
        char *blank = nullptr;
        for (int i = 0; i < n; i++) {
            if (is_blank(word[i])) {
                blank = word + i;
                break;
            }
        }
        if (blank == nullptr) {
            // A keyword alone on its line is ignored; a word that filled the whole buffer is no
            // keyword of ours, so the rest of its line goes with it.
            if (n == MOK_LINE_BUF - 1 && !ended_line)
                ret = drop_rest_of_line(aux, filename, file_ref);
            continue;
        }
        *blank = '\0';
        const MOK_GEN_KEYWORD_T *found = nullptr;
        for (int i = 0; i < array_size; i++) {
            if (array[i].keyword != nullptr && strcmp(array[i].keyword, word) == 0) {
                found = &array[i];
                break;
            }
        }
        if (found == nullptr || found->read_fn == nullptr) {
            if (!list_mode)
                aux->error->report_warning(aux->error, "Can't interpret the keyword %s in file %s line %ld\n",
                                           word, filename, *line_no);
            ret = drop_rest_of_line(aux, filename, file_ref);
            continue;
        }
        ret = found->read_fn(aux, pool_ref, container, found->struct_offset, filename, *line_no, file_ref);
    }
    return ret;
}

// Refuses a text the reader could not give back: longer than `max` or holding a line feed.
int check_writable(MOX_AUX_T *aux, const char *text, int max, const char *what, const char *start_string,
                   const char *filename) noexcept {
    size_t len = strlen(text);
    if (len > static_cast<size_t>(max)) {
        aux->error->report(aux->error, "%s too long for keyword %sin file %s: %zu characters, at most %d\n",
                           what, start_string, filename, len, max);
        return 1;
    }
    if (strchr(text, '\n') != nullptr) {
        aux->error->report(aux->error, "Line feed in the value of keyword %sin file %s\n", start_string,
                           filename);
        return 1;
    }
    return 0;
}

} // namespace

int mok_load_keyword(MOK_GEN_KEYWORD_T *ptr, const char *keyword, size_t struct_offset, mok_init_fn_t init_fn,
                     const void *init_ref, mok_read_fn_t read_fn, mok_write_fn_t write_fn,
                     mok_free_fn_t free_fn) noexcept {
    ptr->keyword = keyword;
    ptr->struct_offset = struct_offset;
    ptr->init_fn = init_fn;
    ptr->init_ref = init_ref;
    ptr->read_fn = read_fn;
    ptr->write_fn = write_fn;
    ptr->free_fn = free_fn;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Low-level readers

int mok_key_file_getc(MOF_FILE_T *file, const char *filename, void *file_ref, int *c) noexcept {
    int ret = 0;
    do {
        ret = file->file_getc(file, filename, file_ref, c);
    } while (ret == 0 && *c == '\r');
    return ret;
}

int mok_read_until(MOX_AUX_T *aux, mo_boolean_t break_on_whitespace, char *buf, int buf_size,
                   const char *filename, void *file_ref, mo_boolean_t *eof_ptr) noexcept {
    *eof_ptr = FALSE;
    int n = 0;
    if (buf_size < 2) {
        if (buf_size == 1)
            buf[0] = '\0';
        return 0;
    }
    while (n < buf_size - 1) {
        int c = EOF;
        if (mok_key_file_getc(aux->file, filename, file_ref, &c) != 0) {
            // A failed read is no end of file: a list cut short here must not pass for the whole.
            buf[0] = '\0';
            *eof_ptr = TRUE;
            return -1;
        }
        if (c == EOF) {
            if (n == 0)
                *eof_ptr = TRUE;
            break;
        }
        buf[n++] = static_cast<char>(c);
        if (c == '\n' || (break_on_whitespace && is_blank(c)))
            break;
    }
    buf[n] = '\0';
    return n;
}

int mok_read_check_string_end(MOX_AUX_T *aux, const char *filename, int chars_read, long line_no,
                              char *string) noexcept {
    if (chars_read > 0 && string[chars_read - 1] == '\n') {
        string[chars_read - 1] = '\0';
        return 0;
    }
    aux->error->report(aux->error, "String too long in filename %s line no %d\n", filename,
                       static_cast<int>(line_no));
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Whole files

int mok_read_keyword_list(MOX_AUX_T *aux_ref, void *pool_ref, const char *filename,
                          const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                          MOK_DATA_RECORD_T **start_data_record, size_t data_record_container_size) noexcept {
    MOX_AUX_T *aux = aux_ref;
    MOK_DATA_RECORD_T *first = nullptr;
    long line_no = 0;
    *start_data_record = nullptr;
    int ret = mok_get_and_init_new_data_record(aux, pool_ref, &first, gen_keyword_array,
                                               gen_keyword_array_size, data_record_container_size);
    *start_data_record = first;
    if (ret == 0 && !aux->file->exists(aux->file, filename))
        return 0;
    void *file_ref = nullptr;
    if (ret == 0)
        ret = aux->file->open_file(aux->file, filename, &file_ref, MOF_MODE_READ);
    if (ret == 0) {
        ret = read_records(aux, pool_ref, filename, gen_keyword_array, gen_keyword_array_size, file_ref, true,
                           first->container, first, data_record_container_size, &line_no);
        ret = mof_file_close_after(aux->file, filename, file_ref, ret);
    }
    if (ret != 0)
        aux->error->report(aux->error, "Error in mok_read_keyword_list, file %s, line number %ld\n", filename,
                           line_no);
    return ret;
}

int mok_read_keyword_container(MOX_AUX_T *aux, void *pool_ref, const char *filename,
                               const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                               void *container) noexcept {
    long line_no = 0;
    void *file_ref = nullptr;
    int ret = aux->file->open_file(aux->file, filename, &file_ref, MOF_MODE_READ);
    if (ret == 0) {
        ret = read_records(aux, pool_ref, filename, gen_keyword_array, gen_keyword_array_size, file_ref,
                           false, container, nullptr, 0, &line_no);
        ret = mof_file_close_after(aux->file, filename, file_ref, ret);
    }
    if (ret != 0)
        aux->error->report(aux->error, "Error in mok_read_keyword_container, file %s, line number %ld\n",
                           filename, line_no);
    return ret;
}

int mok_reset_container(MOX_AUX_T *aux, void *pool_ref, void *container,
                        const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size) noexcept {
    for (int i = 0; i < gen_keyword_array_size; i++) {
        const MOK_GEN_KEYWORD_T *k = &gen_keyword_array[i];
        if (k->init_fn == nullptr)
            continue;
        int ret = k->init_fn(aux, pool_ref, container, k->struct_offset, k->init_ref);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int mok_reset_keyword_container(MOX_AUX_T *aux_ref, void *pool_ref,
                                const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                                void *container) noexcept {
    return mok_reset_container(aux_ref, pool_ref, container, gen_keyword_array, gen_keyword_array_size);
}

int mok_write_keyword_list(MOX_AUX_T *aux, void *pool_ref, const char *filename,
                           const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                           MOK_DATA_RECORD_T *data_record, size_t) noexcept {
    // The records go to a temporary file that replaces the file only once all of them are on disk:
    // a failure or a crash part-way leaves the old file as it was, never an empty or cut one.
    mo_filename_t tmp_name;
    void *file_ref = nullptr;
    int ret = aux->file->check_file_dir(aux->file, filename);
    if (ret == 0)
        ret = mof_file_open_replace(aux->file, filename, tmp_name, &file_ref);
    if (ret == 0) {
        for (MOK_DATA_RECORD_T *rec = data_record; rec != nullptr && ret == 0; rec = rec->next) {
            if (rec->container == nullptr) {
                aux->error->report(aux->error, "Record without container in file %s\n", filename);
                ret = 1;
                break;
            }
            for (int i = 0; i < gen_keyword_array_size && ret == 0; i++) {
                const MOK_GEN_KEYWORD_T *k = &gen_keyword_array[i];
                if (k->write_fn == nullptr)
                    continue;
                mo_string_t start;
                snprintf(start, sizeof(start), "%s ", k->keyword);
                ret = k->write_fn(aux, pool_ref, rec->container, k->struct_offset, start, filename, file_ref);
            }
            if (ret == 0 && rec->next != nullptr)
                ret = aux->file->write_line(aux->file, filename, file_ref, MOK_SEPARATOR "\n");
        }
        ret = mof_file_commit_replace(aux->file, filename, tmp_name, file_ref, ret);
    }
    if (ret != 0)
        aux->error->report(aux->error, "Error in mok_write_keyword_list\n");
    return ret;
}

int mok_free_keyword_list(MOX_AUX_T *aux, void *pool_ref, const MOK_GEN_KEYWORD_T *gen_keyword_array,
                          int gen_keyword_array_size, MOK_DATA_RECORD_T *data_record) noexcept {
    int ret = 0;
    MOK_DATA_RECORD_T *rec = data_record;
    while (rec != nullptr && ret == 0) {
        MOK_DATA_RECORD_T *next = rec->next;
        for (int i = 0; i < gen_keyword_array_size && ret == 0; i++) {
            const MOK_GEN_KEYWORD_T *k = &gen_keyword_array[i];
            if (k->free_fn != nullptr && rec->container != nullptr)
                ret = k->free_fn(aux, pool_ref, rec->container, k->struct_offset);
        }
        if (ret == 0 && rec->container != nullptr)
            ret = aux->mem->free(aux->mem, pool_ref, rec->container);
        if (ret == 0)
            ret = aux->mem->free(aux->mem, pool_ref, rec);
        rec = next;
    }
    if (ret != 0)
        aux->error->report(aux->error, "Error in mok_free_keyword_list\n");
    return ret;
}

// ---------------------------------------------------------------------------------------------
// Records

int mok_get_new_data_record(MOX_AUX_T *aux, void *pool_ref,
                            MOK_DATA_RECORD_T **new_data_record_ptr) noexcept {
    int ret = mome_new(aux->mem, pool_ref, new_data_record_ptr);
    if (ret != 0)
        return ret;
    (*new_data_record_ptr)->container = nullptr;
    (*new_data_record_ptr)->access_edit = FALSE;
    (*new_data_record_ptr)->access_view = FALSE;
    (*new_data_record_ptr)->next = nullptr;
    return 0;
}

int mok_get_and_init_new_data_record(MOX_AUX_T *aux, void *pool_ref, MOK_DATA_RECORD_T **new_data_record_ptr,
                                     const MOK_GEN_KEYWORD_T *gen_keyword_array, int gen_keyword_array_size,
                                     size_t data_record_container_size) noexcept {
    int ret = mok_get_new_data_record(aux, pool_ref, new_data_record_ptr);
    if (ret != 0)
        return ret;
    char *container = nullptr;
    ret = mome_new_array(aux->mem, pool_ref, &container, data_record_container_size);
    if (ret != 0)
        return ret;
    (*new_data_record_ptr)->container = container;
    return mok_reset_container(aux, pool_ref, container, gen_keyword_array, gen_keyword_array_size);
}

int mok_free_data_record(MOX_AUX_T *aux, void *pool_ref, MOK_DATA_RECORD_T *data_record) noexcept {
    while (data_record != nullptr) {
        MOK_DATA_RECORD_T *next = data_record->next;
        int ret = aux->mem->free(aux->mem, pool_ref, data_record);
        if (ret != 0)
            return ret;
        data_record = next;
    }
    return 0;
}

int mok_add_multi_line(MOX_AUX_T *aux, void *pool_ref, const char *string,
                       MOK_MULTI_LINE_T **multi_ptr) noexcept {
    MOK_MULTI_LINE_T *tail = *multi_ptr;
    while (tail != nullptr && tail->next != nullptr)
        tail = tail->next;
    return append_line(aux, pool_ref, string, multi_ptr, &tail);
}

// ---------------------------------------------------------------------------------------------
// string

int mok_init_string(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                    const void *init_ref) noexcept {
    const char *text = init_ref != nullptr ? static_cast<const char *>(init_ref) : "";
    return aux->mem->store_string(aux->mem, pool_ref, &mok_field<char *>(container, struct_offset), text);
}

int mok_read_string(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                    const char *filename, long line_no, void *file_ref) noexcept {
    char buf[MOK_LINE_BUF];
    const char *value = nullptr;
    int ret = read_value_line(aux, filename, line_no, file_ref, buf, &value);
    if (ret != 0)
        return ret;
    char *copy = nullptr;
    ret = aux->mem->store_string(aux->mem, pool_ref, &copy, value);
    if (ret != 0)
        return ret;
    ret = mok_free_string(aux, pool_ref, container, struct_offset);
    mok_field<char *>(container, struct_offset) = copy;
    return ret;
}

int mok_write_string(MOX_AUX_T *aux, void *, void *container, size_t struct_offset, const char *start_string,
                     const char *filename, void *file_ref) noexcept {
    const char *value = mok_field<char *>(container, struct_offset);
    if (value == nullptr)
        value = "";
    // A value that could not be read back would make the whole file unreadable: refuse it.
    if (check_writable(aux, value, MOK_STRING_MAX, "String", start_string, filename) != 0)
        return 1;
    LineOut out(aux, filename, file_ref);
    out.put(start_string);
    out.put(value);
    out.put('\n');
    return out.flush();
}

int mok_free_string(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset) noexcept {
    char *&slot = mok_field<char *>(container, struct_offset);
    int ret = 0;
    if (slot != nullptr)
        ret = aux->mem->free(aux->mem, pool_ref, slot);
    slot = nullptr;
    return ret;
}

// ---------------------------------------------------------------------------------------------
// multi_line

int mok_init_multi_line(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                        const void *init_ref) noexcept {
    MOK_MULTI_LINE_T *&slot = mok_field<MOK_MULTI_LINE_T *>(container, struct_offset);
    slot = nullptr;
    const char *text = init_ref != nullptr ? static_cast<const char *>(init_ref) : "";
    return mok_add_multi_line(aux, pool_ref, text, &slot);
}

int mok_read_multi_line(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                        const char *filename, long line_no, void *file_ref) noexcept {
    MOK_MULTI_LINE_T *&slot = mok_field<MOK_MULTI_LINE_T *>(container, struct_offset);
    slot = nullptr;
    MOK_MULTI_LINE_T *tail = nullptr;
    char line[MOK_MULTI_LINE_BUF];
    int len = 0;
    bool first = true;   // still skipping the blanks before the first line
    bool escape = false; // the previous byte was a lone backslash
    for (;;) {
        int c = EOF;
        int ret = mok_key_file_getc(aux->file, filename, file_ref, &c);
        if (ret != 0)
            return ret;
        if (c == EOF || c == '\n')
            return 0;
        if (first && is_blank(c))
            continue;
        first = false;
        if (!escape && c == '\\') {
            escape = true;
            continue;
        }
        if (escape && c == 'n') {
            escape = false;
            line[len] = '\0';
            ret = append_line(aux, pool_ref, line, &slot, &tail);
            if (ret != 0)
                return ret;
            len = 0;
            continue;
        }
        // After a backslash any other byte stands for itself; the escape ends with it.
        escape = false;
        if (len >= MOK_MULTI_LINE_MAX) {
            aux->error->report(aux->error, "String too long in file %s line %d\n", filename,
                               static_cast<int>(line_no));
            return 1;
        }
        line[len++] = static_cast<char>(c);
    }
}

int mok_write_multi_line(MOX_AUX_T *aux, void *, void *container, size_t struct_offset,
                         const char *start_string, const char *filename, void *file_ref) noexcept {
    const MOK_MULTI_LINE_T *lines = mok_field<MOK_MULTI_LINE_T *>(container, struct_offset);
    for (const MOK_MULTI_LINE_T *l = lines; l != nullptr; l = l->next) {
        if (check_writable(aux, l->string != nullptr ? l->string : "", MOK_MULTI_LINE_MAX, "Line",
                           start_string, filename) != 0)
            return 1;
    }
    LineOut out(aux, filename, file_ref);
    out.put(start_string);
    for (const MOK_MULTI_LINE_T *l = lines; l != nullptr && out.status == 0; l = l->next) {
        for (const char *p = l->string != nullptr ? l->string : ""; *p != '\0'; p++) {
            // The reader skips the blanks after the keyword: a leading blank of the value is escaped
            // so that it comes back.
            if (*p == '\\' || (l == lines && p == l->string && is_blank(*p)))
                out.put('\\');
            out.put(*p);
        }
        out.put("\\n");
    }
    out.put('\n');
    return out.flush();
}

int mok_free_multi_line(MOX_AUX_T *, void *, void *, size_t) noexcept {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// idlist

int mok_read_idlist_basic(MOX_AUX_T *aux, void *pool_ref, const char *filename, void *file_ref,
                          mo_boolean_t *access_sep_ptr, MOIL_IDLIST_T **idlist_ptr) noexcept {
    *idlist_ptr = nullptr;
    *access_sep_ptr = FALSE;
    MOIL_IDLIST_T *tail = nullptr;
    char token[MOK_MULTI_LINE_BUF];
    int len = 0;
    for (;;) {
        int c = EOF;
        int ret = mok_key_file_getc(aux->file, filename, file_ref, &c);
        if (ret != 0)
            return ret;
        if (c == EOF || c == '\n')
            return 0;
        if (c == '^') {
            *access_sep_ptr = TRUE;
            return 0;
        }
        if (is_blank(c))
            continue;
        if (c == ',') {
            token[len] = '\0';
            ret = append_id(aux, pool_ref, mok_text_to_int(token), idlist_ptr, &tail);
            if (ret != 0)
                return ret;
            len = 0;
            continue;
        }
        // An over-long token is cut; it converts the same way its start does.
        if (len < MOK_MULTI_LINE_BUF - 1)
            token[len++] = static_cast<char>(c);
    }
}

int mok_write_idlist_basic(MOX_AUX_T *aux, const MOIL_IDLIST_T *idlist, const char *filename,
                           void *file_ref) noexcept {
    LineOut out(aux, filename, file_ref);
    for (const MOIL_IDLIST_T *n = idlist; n != nullptr && out.status == 0; n = n->next) {
        out.put_int(n->id);
        out.put(',');
    }
    return out.flush();
}

int mok_init_idlist(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                    const void *init_ref) noexcept {
    MOIL_IDLIST_T *&slot = mok_field<MOIL_IDLIST_T *>(container, struct_offset);
    slot = nullptr;
    if (init_ref == nullptr)
        return 0;
    auto fn = reinterpret_cast<mok_idlist_init_fn_t>(const_cast<void *>(init_ref));
    return fn(aux->interm, pool_ref, &slot);
}

int mok_read_idlist(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                    const char *filename, long, void *file_ref) noexcept {
    mo_boolean_t sep = FALSE;
    return mok_read_idlist_basic(aux, pool_ref, filename, file_ref, &sep,
                                 &mok_field<MOIL_IDLIST_T *>(container, struct_offset));
}

int mok_write_idlist(MOX_AUX_T *aux, void *, void *container, size_t struct_offset, const char *start_string,
                     const char *filename, void *file_ref) noexcept {
    int ret = aux->file->write_line(aux->file, filename, file_ref, start_string);
    if (ret == 0)
        ret = mok_write_idlist_basic(aux, mok_field<MOIL_IDLIST_T *>(container, struct_offset), filename,
                                     file_ref);
    if (ret == 0)
        ret = aux->file->write_line(aux->file, filename, file_ref, "\n");
    return ret;
}

int mok_free_idlist(MOX_AUX_T *, void *, void *, size_t) noexcept {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// accesslist

int mok_init_accesslist(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                        const void *init_ref) noexcept {
    MOIL_ACCESSLIST_T *&slot = mok_field<MOIL_ACCESSLIST_T *>(container, struct_offset);
    int ret = new_accesslist(aux, pool_ref, &slot);
    if (ret != 0 || init_ref == nullptr)
        return ret;
    auto fn = reinterpret_cast<mok_accesslist_init_fn_t>(const_cast<void *>(init_ref));
    return fn(aux->interm, pool_ref, &slot);
}

int mok_read_accesslist(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                        const char *filename, long line_no, void *file_ref) noexcept {
    MOIL_ACCESSLIST_T *&slot = mok_field<MOIL_ACCESSLIST_T *>(container, struct_offset);
    int ret = 0;
    if (slot == nullptr)
        ret = new_accesslist(aux, pool_ref, &slot);
    mo_boolean_t sep = FALSE;
    if (ret == 0)
        ret = mok_read_idlist_basic(aux, pool_ref, filename, file_ref, &sep, &slot->user);
    if (ret != 0)
        return ret;
    if (!sep) {
        aux->error->report(
            aux->error, "Missing %c in string when converting string on line %d in file %s to accesslist\n",
            '^', static_cast<int>(line_no), filename);
        return 1;
    }
    ret = mok_read_idlist_basic(aux, pool_ref, filename, file_ref, &sep, &slot->group);
    if (ret != 0 || !sep)
        return ret;
    int c = EOF;
    ret = mok_key_file_getc(aux->file, filename, file_ref, &c);
    if (ret == 0)
        slot->use_parent = c == '1' ? TRUE : FALSE;
    return ret;
}

int mok_write_accesslist(MOX_AUX_T *aux, void *, void *container, size_t struct_offset,
                         const char *start_string, const char *filename, void *file_ref) noexcept {
    const MOIL_ACCESSLIST_T *al = mok_field<MOIL_ACCESSLIST_T *>(container, struct_offset);
    const MOIL_IDLIST_T *user = al != nullptr ? al->user : nullptr;
    const MOIL_IDLIST_T *group = al != nullptr ? al->group : nullptr;
    bool use_parent = al != nullptr ? al->use_parent != 0 : true;
    int ret = aux->file->write_line(aux->file, filename, file_ref, start_string);
    if (ret == 0)
        ret = mok_write_idlist_basic(aux, user, filename, file_ref);
    if (ret == 0)
        ret = aux->file->write_line(aux->file, filename, file_ref, "^");
    if (ret == 0)
        ret = mok_write_idlist_basic(aux, group, filename, file_ref);
    if (ret == 0)
        ret = aux->file->write_line(aux->file, filename, file_ref, use_parent ? "^1\n" : "^0\n");
    return ret;
}

int mok_free_accesslist(MOX_AUX_T *, void *, void *, size_t) noexcept {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// integer, boolean, u32bit

int mok_init_integer(MOX_AUX_T *, void *, void *container, size_t struct_offset,
                     const void *init_ref) noexcept {
    return init_number(container, struct_offset, init_ref);
}

int mok_read_integer(MOX_AUX_T *aux, void *, void *container, size_t struct_offset, const char *filename,
                     long line_no, void *file_ref) noexcept {
    char buf[MOK_LINE_BUF];
    const char *value = nullptr;
    int ret = read_value_line(aux, filename, line_no, file_ref, buf, &value);
    if (ret == 0)
        mok_field<int>(container, struct_offset) = mok_text_to_int(value);
    return ret;
}

int mok_write_integer(MOX_AUX_T *aux, void *, void *container, size_t struct_offset, const char *start_string,
                      const char *filename, void *file_ref) noexcept {
    LineOut out(aux, filename, file_ref);
    out.put(start_string);
    out.put_int(mok_field<int>(container, struct_offset));
    out.put('\n');
    return out.flush();
}

int mok_free_integer(MOX_AUX_T *, void *, void *, size_t) noexcept {
    return 0;
}

int mok_init_boolean(MOX_AUX_T *, void *, void *container, size_t struct_offset,
                     const void *init_ref) noexcept {
    return init_number(container, struct_offset, init_ref);
}

int mok_read_boolean(MOX_AUX_T *aux, void *pool_ref, void *container, size_t struct_offset,
                     const char *filename, long line_no, void *file_ref) noexcept {
    return mok_read_integer(aux, pool_ref, container, struct_offset, filename, line_no, file_ref);
}

int mok_write_boolean(MOX_AUX_T *aux, void *, void *container, size_t struct_offset, const char *start_string,
                      const char *filename, void *file_ref) noexcept {
    LineOut out(aux, filename, file_ref);
    out.put(start_string);
    out.put(mok_field<int>(container, struct_offset) != 0 ? "1\n" : "0\n");
    return out.flush();
}

int mok_free_boolean(MOX_AUX_T *, void *, void *, size_t) noexcept {
    return 0;
}

int mok_init_u32bit(MOX_AUX_T *, void *, void *container, size_t struct_offset,
                    const void *init_ref) noexcept {
    mok_field<uint32_t>(container, struct_offset) = static_cast<uint32_t>(mok_ref_int(init_ref));
    return 0;
}

int mok_read_u32bit(MOX_AUX_T *aux, void *, void *container, size_t struct_offset, const char *filename,
                    long line_no, void *file_ref) noexcept {
    char buf[MOK_LINE_BUF];
    const char *value = nullptr;
    int ret = read_value_line(aux, filename, line_no, file_ref, buf, &value);
    if (ret == 0)
        mok_field<uint32_t>(container, struct_offset) = mok_text_to_u32(value);
    return ret;
}

int mok_write_u32bit(MOX_AUX_T *aux, void *, void *container, size_t struct_offset, const char *start_string,
                     const char *filename, void *file_ref) noexcept {
    char num[32];
    snprintf(num, sizeof(num), "%lu",
             static_cast<unsigned long>(mok_field<uint32_t>(container, struct_offset)));
    LineOut out(aux, filename, file_ref);
    out.put(start_string);
    out.put(num);
    out.put('\n');
    return out.flush();
}

int mok_free_u32bit(MOX_AUX_T *, void *, void *, size_t) noexcept {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// null: a keyword that is read (and checked) but never stored or written

int mok_init_null(MOX_AUX_T *, void *, void *, size_t, const void *) noexcept {
    return 0;
}

int mok_read_null(MOX_AUX_T *aux, void *, void *, size_t, const char *filename, long line_no,
                  void *file_ref) noexcept {
    char buf[MOK_LINE_BUF];
    const char *value = nullptr;
    return read_value_line(aux, filename, line_no, file_ref, buf, &value);
}

int mok_write_null(MOX_AUX_T *, void *, void *, size_t, const char *, const char *, void *) noexcept {
    return 0;
}

int mok_free_null(MOX_AUX_T *, void *, void *, size_t) noexcept {
    return 0;
}

// Base-10 conversions that stop at the first non-digit, give 0 without digits and saturate
// instead of overflowing.
int mok_text_to_int(const char *text) noexcept {
    errno = 0;
    long v = strtol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

uint32_t mok_text_to_u32(const char *text) noexcept {
    errno = 0;
    unsigned long v = strtoul(text, nullptr, 10);
    if (errno == ERANGE || v > UINT32_MAX)
        return UINT32_MAX;
    return static_cast<uint32_t>(v);
}
