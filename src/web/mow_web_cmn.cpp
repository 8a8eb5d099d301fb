// Text utilities of the web front end (query-string decoding, URL, JavaScript and file-name escapes)
// and the stand-alone operations with which the command-line program answers one web request
// CGI-style: the request comes from the CGI environment and standard input, the page goes to
// standard output.
#include "web/mow_web.h"
#include "web/moco_cookie.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "storage/mot_top.h"
#include "entry/mol_low.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "entry/mog_gen.h"
#include "apps/moa_access_cmn.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "web/moch_check.h"
#include "web/molo_login.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// ---- text utilities

static bool mow_is_hex(char c) noexcept {
    return isxdigit(static_cast<unsigned char>(c)) != 0;
}

static bool mow_is_control(unsigned char c) noexcept {
    return c < 0x20 || c == 0x7f;
}

// Each result lives in its own buffer until the next call of the same function; a failed
// allocation gives the empty text rather than a cut one.
static const char *mow_keep(std::string &buffer, const std::string &text) noexcept {
    try {
        buffer = text;
    } catch (const std::bad_alloc &) {
        buffer.clear();
    }
    return buffer.c_str();
}

// Besides the characters with a meaning in a URL, the quote and control bytes are escaped too: the
// results are put back into links inside HTML attributes and into the query strings of later
// requests, where they must stay one argument.
const char *mow_web_util_escape_url(const char *string) noexcept {
    static std::string result;
    static const char special[] = "%? <>#\"|^~`\\&+'";
    try {
        std::string out;
        char hex[8];
        for (const char *p = string; p != nullptr && *p != '\0'; p++) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (strchr(special, c) != nullptr || mow_is_control(c)) {
                snprintf(hex, sizeof(hex), "%%%02x", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
        return mow_keep(result, out);
    } catch (const std::bad_alloc &) {
        return mow_keep(result, "");
    }
}

// Quotes, "<", ">" and "&" become hexadecimal escapes so that the text can stand in a script block
// and in an event attribute alike; the backslash and line ends are escaped so that the string stays
// one string.
const char *mow_web_util_escape_javascript(const char *string) noexcept {
    static std::string result;
    try {
        std::string out;
        char hex[8];
        for (const char *p = string; p != nullptr && *p != '\0'; p++) {
            unsigned char c = static_cast<unsigned char>(*p);
            switch (c) {
                case '\\':
                    out += "\\\\";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '"':
                case '\'':
                case '<':
                case '>':
                case '&':
                    snprintf(hex, sizeof(hex), "\\x%02x", c);
                    out += hex;
                    break;
                default:
                    out += static_cast<char>(c);
            }
        }
        return mow_keep(result, out);
    } catch (const std::bad_alloc &) {
        return mow_keep(result, "");
    }
}

// A name that would be "", "." or ".." names a directory, not a file: it becomes underscores.
const char *mow_web_util_convert_filename(const char *string) noexcept {
    static std::string result;
    static const char special[] = "%?<>#\"|^~'\\&+`*:/ ";
    try {
        std::string out = string != nullptr ? string : "";
        for (char &c : out) {
            unsigned char u = static_cast<unsigned char>(c);
            if (strchr(special, u) != nullptr || mow_is_control(u))
                c = '_';
        }
        if (out.empty() || out == "." || out == "..")
            out.assign(out.empty() ? 1 : out.size(), '_');
        return mow_keep(result, out);
    } catch (const std::bad_alloc &) {
        return mow_keep(result, "");
    }
}

const char *mow_web_util_expand_space(const char *string) noexcept {
    static std::string result;
    try {
        std::string out;
        for (const char *p = string; p != nullptr && *p != '\0'; p++) {
            if (*p == ' ')
                out += " space ";
            else
                out += *p;
        }
        return mow_keep(result, out);
    } catch (const std::bad_alloc &) {
        return mow_keep(result, "");
    }
}

int mow_web_util_string_ok(const char *string, const char *not_allowed) noexcept {
    return strpbrk(string, not_allowed) == nullptr ? 1 : 0;
}

int mow_web_util_ind(const char *s, int c) noexcept {
    const char *p = strchr(s, c);
    return p == nullptr || c == '\0' ? -1 : static_cast<int>(p - s);
}

size_t mow_web_util_getword(char *word, size_t size, const char *line, char stop) noexcept {
    size_t len = 0;
    while (line[len] != '\0' && line[len] != stop)
        len++;
    if (size > 0) {
        size_t copy = len < size - 1 ? len : size - 1;
        memcpy(word, line, copy);
        word[copy] = '\0';
    }
    return line[len] == stop && stop != '\0' ? len + 1 : len;
}

char mow_web_util_x2c(const char *what) noexcept {
    auto digit = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u >= 'A' ? static_cast<unsigned char>((toupper(u) - 'A') + 10)
                        : static_cast<unsigned char>(u - '0');
    };
    return static_cast<char>(digit(what[0]) * 16 + digit(what[1]));
}

void mow_web_util_unescape_url(char *url) noexcept {
    char *out = url;
    for (const char *in = url; *in != '\0'; in++) {
        if (in[0] == '%' && mow_is_hex(in[1]) && mow_is_hex(in[2])) {
            *out++ = mow_web_util_x2c(in + 1);
            in += 2;
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
}

void mow_web_util_plustospace(char *str) noexcept {
    for (char *p = str; *p != '\0'; p++) {
        if (*p == '+')
            *p = ' ';
    }
}

mo_boolean_t mow_web_util_word_ok(const char *word) noexcept {
    if (word == nullptr || word[0] == '\0')
        return FALSE;
    for (const char *p = word; *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!isalnum(c) && c != '_' && c != '-')
            return FALSE;
    }
    return TRUE;
}

// ---- stand-alone operations

namespace {

// The response that the command-line program is writing: one request per process.
struct MowCgi {
    bool headers = true;           // the CGI header lines are written
    bool header_sent = false;      // they have been
    bool non_html = false;         // the body is not an HTML page: errors go to the log only
    MOT_TOP_REQ_T *req = nullptr;  // its outgoing cookies go with the header
    MOOU_OUT_DEF_T *out = nullptr; // standard output
    mo_string_t user_name = "";    // the user the login check found
};
MowCgi mow_cgi;

} // namespace

static const char *mow_env(const char *name) noexcept {
    const char *value = getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

static int mow_write_header(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, unsigned long content_length,
                            const char *content_type) noexcept {
    int ret = out_def->line_fn(out_def, "Content-type: %s\n", content_type);
    MOCO_COOKIE_T *cookies = mow_cgi.req != nullptr ? mow_cgi.req->out_cookie : nullptr;
    if (cookies != nullptr) {
        MOCO_VALUE_T *pair = nullptr;
        const char *key = nullptr;
        const char *value = nullptr;
        while (ret == 0 && (cookies->get_next(cookies, &pair, &key, &value), pair != nullptr)) {
            char *text = nullptr;
            ret = moco_cookie_header_text(cookies, aux->mem->req_pool_ref, key, value, &text);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "Set-Cookie: %s\n", text);
        }
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "Expires: %s\n", MOW_EXPIRES_TEXT);
    if (ret == 0) {
        if (content_length == 0)
            ret = out_def->line_fn(out_def, "\n");
        else
            ret = out_def->line_fn(out_def, "Content-length: %lu\n\n", content_length);
    }
    return ret;
}

// Sent once per response, before the first byte of the body; later calls change nothing.
int mow_send_content_type(MOW_WEB_T *web, MOOU_OUT_DEF_T *out_def, unsigned long content_length,
                          const char *content_type) noexcept {
    MOE_ERROR_T *error = web->interm->error;
    if (mow_cgi.header_sent)
        return 0;
    const char *type = content_type != nullptr ? content_type : "";
    for (const char *p = type; *p != '\0'; p++) {
        if (mow_is_control(static_cast<unsigned char>(*p))) {
            error->report(error, "The content type of the response holds a control character\n");
            return 1;
        }
    }
    mow_cgi.header_sent = true;
    mow_cgi.non_html = strcmp(type, "text/html") != 0 || content_length != 0;
    if (!mow_cgi.headers)
        return 0;
    return mow_write_header(error->aux_ref, out_def, content_length, type);
}

int mow_web_get_user_agent(MOW_WEB_T *, const char **result) noexcept {
    const char *agent = mow_env("HTTP_USER_AGENT");
    *result = agent != nullptr ? agent : "not implemented yet";
    return 0;
}

int mow_web_get_real_user_name(MOU_UTIL_T *util, const char **name) noexcept {
    const char *user = mow_env("REMOTE_USER");
    if (user == nullptr) {
        util->low->error->report_warning(util->low->error, "REMOTE_USER environment variable not set\n");
        user = "#none#";
    }
    *name = user;
    return 0;
}

int mow_web_remote_machine_name(MOU_UTIL_T *util, int, const char **name) noexcept {
    const char *machine = mow_env("HTTP_X_FORWARDED_FOR");
    if (machine == nullptr)
        machine = mow_env("REMOTE_HOST");
    // Servers that do not look names up give only the address.
    if (machine == nullptr)
        machine = mow_env("REMOTE_ADDR");
    if (machine == nullptr) {
        util->low->error->report_warning(util->low->error, "REMOTE_HOST environment variable not set\n");
        machine = "";
    }
    *name = machine;
    return 0;
}

namespace {

// Standard input, read no further than the length the server announced.
struct MowStdinBody {
    MOF_FILE_T *file;
    unsigned long long length;
    unsigned long long done = 0;
};

int mow_stdin_read(MOW_BODY_SOURCE_T *source, char *buf, size_t size, size_t *count) noexcept {
    MowStdinBody *body = static_cast<MowStdinBody *>(source->ref);
    MOF_FILE_T *file = body->file;
    *count = 0;
    // Up to a line end at most: a line that has come is parsed without waiting for a whole block.
    while (*count < size && body->done < body->length) {
        int c = EOF;
        int ret = file->file_getc(file, "standard input", stdin, &c);
        if (ret != 0)
            return ret;
        if (c == EOF) {
            MOE_ERROR_T *error = file->low->error;
            error->report(error, "Can't read the request body: it ended after %llu of %llu bytes\n",
                          body->done, body->length);
            return 1;
        }
        buf[(*count)++] = static_cast<char>(c);
        body->done++;
        if (c == '\n')
            break;
    }
    return 0;
}

} // namespace

// Only a POST carries a form; any other request (or a run outside a CGI server) has none.
int mow_parse_multipart_form(MOW_WEB_T *web, MOW_POST_RESULTS_T *results) noexcept {
    MOE_ERROR_T *error = web->interm->error;
    results[0].name = nullptr;
    results[0].val = nullptr;
    const char *method = mow_env("REQUEST_METHOD");
    if (method == nullptr || strcmp(method, "POST") != 0)
        return 0;
    const char *length_text = mow_env("CONTENT_LENGTH");
    if (length_text == nullptr) {
        error->report(error, "Environment variable CONTENT_LENGTH not set\n");
        return 1;
    }
    unsigned long long length = 0;
    for (const char *p = length_text; *p != '\0'; p++) {
        if (!isdigit(static_cast<unsigned char>(*p)) || length > (1ULL << 50)) {
            error->report(error, "Environment variable CONTENT_LENGTH is not a length (%s)\n", length_text);
            return 1;
        }
        length = length * 10 + static_cast<unsigned long long>(*p - '0');
    }
    if (length == 0)
        return 0;
    const char *content_type = mow_env("CONTENT_TYPE");
    mo_string_t boundary;
    if (!mow_form_find_boundary(content_type, boundary, sizeof(boundary))) {
        error->report(error, "Can't find boundary in CONTENT_TYPE %s\n",
                      content_type != nullptr ? content_type : "");
        return 1;
    }
    MowStdinBody body{.file = web->interm->file, .length = length};
    MOW_BODY_SOURCE_T source = {.ref = &body, .read = mow_stdin_read};
    return mow_parse_multipart_body(web, boundary, &source, results);
}

// The error page goes out unless the response is not a page (a download already under way) or the
// report is to be logged only; the log always gets the line.
void mow_web_error_report(MOE_ERROR_T *error, const char *fmt, ...) noexcept {
    if (error->in_error)
        return;
    mo_string_t text;
    va_list ap;
    va_start(ap, fmt);
    if (vsnprintf(text, sizeof(text), fmt, ap) < 0)
        text[0] = '\0';
    va_end(ap);
    error->in_error = TRUE;
    MOX_AUX_T *aux = error->aux_ref;
    if (!error->ignore && aux != nullptr && error->error_out_def != nullptr && !mow_cgi.non_html)
        mow_web_error_page(aux, error->error_out_def, text);
    error->report_basic(error, "Error: ", "%s: %s", error->cmd_name[0] != '\0' ? error->cmd_name : "init",
                        text);
    error->in_error = FALSE;
}

// ---- `web normal`

mo_boolean_t mow_web_normal_requested(int argc, char **argv) noexcept {
    const char *words[2] = {nullptr, nullptr};
    int found = 0;
    for (int i = 0; i < argc && found < 2; i++) {
        if (argv[i][0] != '-')
            words[found++] = argv[i];
    }
    return found == 2 && strcmp(words[0], "web") == 0 && strcmp(words[1], "normal") == 0 ? TRUE : FALSE;
}

int mow_web_normal_begin(MOX_AUX_T *aux, int argc, char **argv) noexcept {
    mow_cgi = MowCgi{};
    mow_cgi.headers = false;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "-h") == 0)
            mow_cgi.headers = true;
    }
    int ret = mof_file_construct_out_def(aux->file, &mow_cgi.out);
    if (ret != 0)
        return ret;
    aux->error->error_out_def = mow_cgi.out;
    aux->error->report = mow_web_error_report;
    return 0;
}

// The script location written into links: the one the server ran us under when it is a plain path,
// else the module's own.
static void mow_web_normal_script_location(MOX_AUX_T *aux) noexcept {
    const char *script = mow_env("SCRIPT_NAME");
    bool plain = script != nullptr && strlen(script) < sizeof(aux->setup->httpd_script_main_loc);
    for (const char *p = script; plain && *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        plain = isalnum(c) || strchr("/._~-", c) != nullptr;
    }
    snprintf(aux->setup->httpd_script_main_loc, sizeof(aux->setup->httpd_script_main_loc), "%s",
             plain ? script : "main");
}

// The CGI variable of a request header: "Origin" is HTTP_ORIGIN.
static int mow_web_normal_header(MOX_AUX_T *, const char *name, const char **value) noexcept {
    char variable[128] = "HTTP_";
    size_t n = strlen(variable);
    for (const char *p = name; *p != '\0' && n + 1 < sizeof(variable); p++)
        variable[n++] = *p == '-' ? '_' : static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    variable[n] = '\0';
    *value = mow_env(variable);
    return 0;
}

static int mow_web_normal_user_name(MOU_UTIL_T *, const char **name) noexcept {
    *name = mow_cgi.user_name;
    return 0;
}

int mow_web_normal_serve(MOT_TOP_SESSION_T *session, MOT_TOP_REQ_T *req, mo_boolean_t with_header) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOE_ERROR_T *error = aux->error;
    MOW_WEB_T *web = aux->web;
    void *pool = aux->mem->req_pool_ref;
    mow_cgi.headers = with_header != FALSE;
    mow_cgi.req = req;
    int ret = 0;
    if (mow_cgi.out == nullptr)
        ret = mof_file_construct_out_def(aux->file, &mow_cgi.out);
    if (ret != 0)
        return ret;
    MOOU_OUT_DEF_T *out_def = mow_cgi.out;

    // A HEAD request gets the header and nothing else, and touches no data.
    const char *method = mow_env("REQUEST_METHOD");
    if (method != nullptr && strcmp(method, "HEAD") == 0) {
        mow_cgi.header_sent = true;
        return mow_cgi.headers ? out_def->line_fn(out_def, "Content-type: text/html\n\n") : 0;
    }
    mow_web_normal_script_location(aux);
    aux->util->user_machine_name = mow_web_remote_machine_name;
    const char *machine = "";
    ret = aux->util->user_machine_name(aux->util, 0, &machine);
    if (ret == 0)
        snprintf(error->machine_name, sizeof(error->machine_name), "%s", machine);
    if (ret == 0)
        ret = moco_cookie_construct(&req->in_cookie, pool, aux);
    if (ret == 0)
        ret = moco_cookie_construct(&req->out_cookie, pool, aux);
    if (ret == 0)
        ret = req->in_cookie->set_from_string(req->in_cookie, getenv("HTTP_COOKIE"));
    if (ret == 0)
        ret = mow_web_init(web);
    MOW_POST_RESULTS_T *results = nullptr;
    if (ret == 0)
        ret = mome_new_array(aux->mem, pool, &results, MOW_WEB_ARG_MAX);
    if (ret == 0) {
        ret = web->parse_form(web, results);
        req->results_ref = results;
    }
    if (ret == 0)
        ret = mot_top_init_static_stypes(aux, session->storage.stype_list, req);
    // The login check, as in the server module: the login page, or the page as the user. A bundle
    // without the access service (no applications registered) serves as nobody, whom every access
    // check refuses.
    MOA_ACCESS_T *access = aux->access;
    if (access == nullptr) {
        if (ret == 0)
            ret = mow_web_parse_display_web_arg(session, out_def, req, getenv("QUERY_STRING"));
        mow_web_init(web);
        if (ret != 0)
            error->ignore = TRUE;
        return ret;
    }
    mo_boolean_t do_screen = TRUE;
    MOCH_CHECK_T *check = nullptr;
    if (ret == 0)
        ret = access->init_user_array(access, session);
    if (ret == 0)
        ret = moch_check_construct(&check, pool, aux);
    if (ret == 0) {
        molo_server.get_header = mow_web_normal_header;
        ret = molo_login_check(aux, out_def, req, check, &do_screen, mow_cgi.user_name);
    }
    if (ret == 0 && do_screen)
        ret = molo_login_form(aux, out_def, req, check, getenv("QUERY_STRING"));
    if (ret == 0 && !do_screen) {
        snprintf(error->user_name, sizeof(error->user_name), "%s", mow_cgi.user_name);
        aux->util->get_real_user_name = mow_web_normal_user_name;
        const char *full_name = "";
        const char *host = "";
        ret = access->init_user_id(access);
        if (ret == 0)
            ret = access->init_group_array(access, session);
        if (ret == 0)
            ret = access->get_full_name(access, access->current_user_id, &full_name);
        if (ret == 0)
            ret = aux->util->local_machine_name(aux->util, 0, &host);
        mo_string_t process_id = "";
        if (ret == 0)
            ret = aux->util->get_process_id(aux->util, process_id);
        if (ret == 0)
            ret = aux->req->lock_call->init(aux->req->lock_call, full_name, host, "", atoi(process_id),
                                            nullptr);
        if (ret == 0)
            ret = mog_gen_init_req(session, aux);
        if (ret == 0)
            ret = mow_web_parse_display_web_arg(session, out_def, req, getenv("QUERY_STRING"));
    }
    mow_web_init(web);
    // The page has shown the failure; the command's own failure line goes to the log only.
    if (ret != 0)
        error->ignore = TRUE;
    return ret;
}

int mow_web_normal_end(MOX_AUX_T *aux) noexcept {
    if (mow_cgi.out == nullptr)
        return 0;
    int ret = 0;
    if (mow_cgi.headers && !mow_cgi.header_sent) {
        mow_cgi.header_sent = true;
        ret = mow_write_header(aux, mow_cgi.out, 0, "text/html");
    }
    // A page cut short by an error (the error page itself included) still ends its document, as it
    // does through the server.
    if (ret == 0 && !mow_cgi.non_html)
        ret = mow_web_footer_blank(aux, mow_cgi.out);
    return ret;
}
