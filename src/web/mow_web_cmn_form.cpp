// The multipart/form-data parser that both deliverables use: the server module feeds it the request
// body from the server, the command-line program from standard input. Value parts become posted
// fields, file parts become upload files in the temporary directory. Time and memory stay linear in
// the body: lines are read in bounded pieces and a value is collected once, not re-copied per line.
#include "web/mow_web.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "entry/moim_interm.h"

#include <cstring>
#include <string>
#include <vector>

mo_boolean_t mow_form_find_boundary(const char *content_type, char *boundary, size_t size) noexcept {
    if (size == 0)
        return FALSE;
    boundary[0] = '\0';
    const char *p = content_type != nullptr ? strstr(content_type, "boundary=") : nullptr;
    if (p == nullptr)
        return FALSE;
    p += strlen("boundary=");
    size_t len;
    if (*p == '"') {
        p++;
        const char *close = strchr(p, '"');
        if (close == nullptr)
            return FALSE;
        len = static_cast<size_t>(close - p);
    } else {
        len = strcspn(p, "; \t\r\n");
    }
    if (len == 0 || len >= size)
        return FALSE;
    memcpy(boundary, p, len);
    boundary[len] = '\0';
    return TRUE;
}

namespace {

// Splits the body into lines of at most MOW_FORM_LINE_MAX bytes; a longer line comes in pieces.
struct MowLineReader {
    MOW_BODY_SOURCE_T *source;
    std::vector<char> block = std::vector<char>(MOW_BODY_BLOCK);
    size_t level = 0; // bytes of block not used yet
    size_t index = 0; // next byte of block
    bool ended = false;

    // Next piece into line (MOW_FORM_LINE_MAX bytes); *len 0 at the end of the body.
    int next(char *line, size_t *len) noexcept {
        *len = 0;
        while (*len < MOW_FORM_LINE_MAX) {
            if (level == 0) {
                if (ended)
                    break;
                size_t count = 0;
                int ret = source->read(source, block.data(), block.size(), &count);
                if (ret != 0)
                    return ret;
                if (count == 0) {
                    ended = true;
                    break;
                }
                level = count > block.size() ? block.size() : count;
                index = 0;
            }
            char c = block[index++];
            level--;
            line[(*len)++] = c;
            if (c == '\n')
                break;
        }
        // A carriage return that ends a full piece stays for the next one, so that a line end is never
        // split between two pieces and taken for data.
        if (*len == MOW_FORM_LINE_MAX && line[*len - 1] == '\r') {
            (*len)--;
            index--;
            level++;
        }
        return 0;
    }
};

enum class MowPart { preamble, headers, skip, value, file };

struct MowFormParser {
    MOW_WEB_T *web;
    MOE_ERROR_T *error;
    MOME_MEM_T *mem;
    MOF_FILE_T *file;
    MOW_POST_RESULTS_T *results;
    std::string delimiter; // "--" and the boundary
    MowPart part = MowPart::preamble;
    bool closed = false;        // the closing delimiter was seen
    int results_index = -1;     // last filled entry
    bool restore_next = false;  // a line end was held back
    std::string value;          // the value part being read
    std::string name;           // name of the part being read
    std::string client_name;    // file name the browser sent
    bool has_name = false;      // the part's disposition named it
    bool has_filename = false;  // ... and gave a file name
    mo_filename_t upload = "";  // the upload file being written
    void *upload_ref = nullptr; // its stream

    ~MowFormParser() { close_upload(); }

    // A delimiter line: "--boundary", optionally "--", then only blanks up to the line end.
    bool is_delimiter(const char *line, size_t len, bool *closing) const noexcept {
        if (len < delimiter.size() || memcmp(line, delimiter.data(), delimiter.size()) != 0)
            return false;
        size_t i = delimiter.size();
        *closing = len - i >= 2 && line[i] == '-' && line[i + 1] == '-';
        if (*closing)
            i += 2;
        for (; i < len; i++) {
            if (line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
                return false;
        }
        return true;
    }

    int store(int index, const char *entry_name, const char *entry_val) noexcept {
        MOW_POST_RESULTS_T *entry = &results[index];
        int ret = mem->store_string(mem, mem->req_pool_ref, &entry->name, entry_name);
        if (ret == 0)
            ret = mem->store_string(mem, mem->req_pool_ref, &entry->val, entry_val);
        return ret;
    }

    int close_upload() noexcept {
        if (upload_ref == nullptr)
            return 0;
        void *ref = upload_ref;
        upload_ref = nullptr;
        return file->close_file(file, upload, ref);
    }

    // The end of a part: a value is stored once, an upload file is closed.
    int end_part() noexcept {
        int ret = 0;
        if (part == MowPart::value)
            ret = mem->store_string(mem, mem->req_pool_ref, &results[results_index].val, value.c_str());
        else if (part == MowPart::file)
            ret = close_upload();
        value.clear();
        restore_next = false;
        part = MowPart::skip;
        return ret;
    }

    // The disposition header: name="..." and, for a file part, filename="...", each up to its quote.
    void read_disposition(const char *line) {
        static const char name_pattern[] = "isposition: form-data; name=\"";
        static const char file_pattern[] = " filename=\"";
        const char *p = strstr(line, name_pattern);
        if (p == nullptr)
            return;
        p += strlen(name_pattern);
        size_t len = strcspn(p, "\"");
        name.assign(p, len);
        has_name = true;
        p += len;
        const char *f = strstr(p, file_pattern);
        if (f != nullptr) {
            f += strlen(file_pattern);
            client_name.assign(f, strcspn(f, "\""));
            has_filename = true;
        }
    }

    // The blank line after the part's headers: take its entries and, for a file, the upload file.
    int start_part() {
        if (!has_name) {
            part = MowPart::skip; // a part without a name has nowhere to go
            return 0;
        }
        int needed = has_filename ? 2 : 1;
        if (results_index + needed + 1 >= MOW_WEB_ARG_MAX) {
            error->report(error, "Reached max FORM arguments (MOW_WEB_ARG_MAX) %d\n", MOW_WEB_ARG_MAX);
            return 1;
        }
        int index = results_index + 1;
        if (!has_filename) {
            int ret = store(index, name.c_str(), "");
            if (ret != 0)
                return ret;
            results_index = index;
            results[index + 1].name = nullptr;
            results[index + 1].val = nullptr;
            part = MowPart::value;
            return 0;
        }
        MOIM_INTERM_T *interm = web->interm;
        mo_string_t process_id = "";
        int ret = interm->util->get_process_id(interm->util, process_id);
        if (ret == 0)
            ret = mof_file_build_path(error, upload, "%s/%s", interm->setup->temp_dir, process_id);
        if (ret == 0)
            ret = file->find_unique_filename(file, upload);
        // Created exclusively, so a file of another request is never written over or later removed.
        if (ret == 0)
            ret = file->open_file(file, upload, &upload_ref, MOF_MODE_CREATE);
        if (ret != 0) {
            upload_ref = nullptr;
            return ret;
        }
        ret = file->mark_as_cleanup(file, upload);
        if (ret != 0) {
            close_upload();
            file->remove_file(file, upload);
            return ret;
        }
        std::string client_entry = name + "_client";
        ret = store(index, name.c_str(), upload);
        if (ret == 0)
            ret = store(index + 1, client_entry.c_str(), client_name.c_str());
        if (ret != 0)
            return ret;
        results_index = index + 1;
        results[index + 2].name = nullptr;
        results[index + 2].val = nullptr;
        part = MowPart::file;
        return 0;
    }

    int header_line(const char *line, size_t len) {
        // A header must come whole: a piece of a longer line could be mistaken for the blank line. A
        // short piece without a line end is the end of a body cut short, which the caller reports.
        if (len == 0 || line[len - 1] != '\n') {
            if (len < MOW_FORM_LINE_MAX)
                return 0;
            error->report(error, "A header line of the form is longer than %d bytes\n",
                          MOW_FORM_LINE_MAX - 1);
            return 1;
        }
        size_t text_len = len - 1;
        if (text_len > 0 && line[text_len - 1] == '\r')
            text_len--;
        if (text_len == 0)
            return start_part();
        std::string text(line, text_len);
        if (!has_name)
            read_disposition(text.c_str());
        return 0;
    }

    int value_line(const char *line, size_t len) {
        if (restore_next)
            value.push_back('\n');
        restore_next = false;
        if (len > 1 && line[len - 2] == '\r' && line[len - 1] == '\n') {
            len -= 2;
            restore_next = true;
        }
        value.append(line, len);
        return 0;
    }

    int file_line(const char *line, size_t len) noexcept {
        int ret = 0;
        if (restore_next)
            ret = file->write_buf(file, upload, upload_ref, "\r\n", 2);
        restore_next = false;
        if (len > 1 && line[len - 2] == '\r' && line[len - 1] == '\n') {
            len -= 2;
            restore_next = true;
        }
        if (ret == 0 && len > 0)
            ret = file->write_buf(file, upload, upload_ref, line, len);
        return ret;
    }

    int line(const char *text, size_t len, bool at_line_start) {
        bool closing = false;
        if (at_line_start && is_delimiter(text, len, &closing)) {
            int ret = end_part();
            if (ret != 0)
                return ret;
            if (closing) {
                closed = true;
                return 0;
            }
            part = MowPart::headers;
            has_name = false;
            has_filename = false;
            name.clear();
            client_name.clear();
            return 0;
        }
        switch (part) {
            case MowPart::headers:
                return header_line(text, len);
            case MowPart::value:
                return value_line(text, len);
            case MowPart::file:
                return file_line(text, len);
            case MowPart::preamble:
            case MowPart::skip:
                break;
        }
        return 0;
    }
};

} // namespace

int mow_parse_multipart_body(MOW_WEB_T *web, const char *boundary, MOW_BODY_SOURCE_T *source,
                             MOW_POST_RESULTS_T *results) noexcept {
    MOIM_INTERM_T *interm = web->interm;
    MOE_ERROR_T *error = interm->error;
    results[0].name = nullptr;
    results[0].val = nullptr;
    if (boundary == nullptr || boundary[0] == '\0') {
        error->report(error, "Can't find boundary in Content-Type %s\n", "");
        return 1;
    }
    int ret = 0;
    try {
        MowFormParser parser{.web = web,
                             .error = error,
                             .mem = interm->mem,
                             .file = interm->file,
                             .results = results,
                             .delimiter = std::string("--") + boundary};
        MowLineReader reader{.source = source};
        std::vector<char> line(MOW_FORM_LINE_MAX);
        bool at_line_start = true;
        while (ret == 0 && !parser.closed) {
            size_t len = 0;
            ret = reader.next(line.data(), &len);
            if (ret != 0 || len == 0)
                break;
            ret = parser.line(line.data(), len, at_line_start);
            at_line_start = line[len - 1] == '\n';
        }
        if (ret == 0 && !parser.closed) {
            // The body ended inside the form: nothing of it is kept.
            error->report(error, "File left open the form input is not in the correct format\n");
            ret = 1;
        }
        // On failure an upload file is closed here and removed by the request's cleanup.
        int ret_close = parser.close_upload();
        if (ret == 0)
            ret = ret_close;
    } catch (const std::bad_alloc &) {
        error->report(error, "Out of memory\n");
        ret = 1;
    }
    if (ret != 0) {
        results[0].name = nullptr;
        results[0].val = nullptr;
    }
    return ret;
}
