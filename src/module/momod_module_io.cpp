// The request-bound operations of the module: output to the client, the response header with its
// cookies, the client's address and browser, the reading of a posted multipart form from the request
// body, the HTML error report and the running of cleanup lists. All of them work on the request in
// `momod_state`; between requests there is none, and output fails instead of writing anywhere.
#include "module/momod_module.h"
#include "entry/moim_interm.h"
#include "entry/mol_low.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "storage/mot_top.h"
#include "web/moco_cookie.h"
#include "web/mow_web.h"

#include <httpd.h>
#include <http_config.h>
#include <http_core.h>
#include <http_log.h>
#include <http_protocol.h>
#include <apr_file_io.h>
#include <apr_strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

extern "C" {
APLOG_USE_MODULE(morvale);
}

// ---- output

// Every header, cookies included, must be in place before the first body byte leaves.
static void body_starts() noexcept {
    MOMOD_MODULE_T &m = momod_state;
    if (!m.body_started && m.req != nullptr)
        momod_send_cookies(m.req);
    m.body_started = TRUE;
}

int momod_file_web_out_line(MOOU_OUT_DEF_T *, const char *format, ...) noexcept {
    request_rec *r = momod_state.local_r;
    if (r == nullptr)
        return 1;
    body_starts();
    va_list ap;
    va_start(ap, format);
    int n = ap_vrprintf(r, format, ap);
    va_end(ap);
    return n < 0 ? 1 : 0;
}

int momod_file_web_out_char(MOOU_OUT_DEF_T *, int c) noexcept {
    request_rec *r = momod_state.local_r;
    if (r == nullptr)
        return 1;
    body_starts();
    return ap_rputc(c, r) < 0 ? 1 : 0;
}

int momod_file_web_out_file(MOOU_OUT_DEF_T *out_def, const char *filename) noexcept {
    request_rec *r = momod_state.local_r;
    if (r == nullptr)
        return 1;
    MOF_FILE_T *file = static_cast<MOF_FILE_T *>(out_def->out_ref);
    MOE_ERROR_T *error = file->low->error;
    long size = 0;
    int ret = file->get_size(file, filename, &size);
    if (ret != 0)
        return ret;
    // Opened in the request's pool: the server's output may still read it after the call returns.
    apr_file_t *fd = nullptr;
    apr_status_t rv =
        apr_file_open(&fd, filename, APR_FOPEN_READ | APR_FOPEN_BINARY, APR_FPROT_OS_DEFAULT, r->pool);
    if (rv != APR_SUCCESS) {
        char why[256];
        error->report(error, "Open of file %s: %s\n", filename, apr_strerror(rv, why, sizeof(why)));
        return 1;
    }
    body_starts();
    apr_size_t sent = 0;
    rv = ap_send_fd(fd, r, 0, static_cast<apr_size_t>(size), &sent);
    // The file goes out as a bucket; only a flush tells whether it reached the client.
    if (rv != APR_SUCCESS || ap_rflush(r) < 0 || r->connection->aborted ||
        sent != static_cast<apr_size_t>(size)) {
        error->report(error, "File transfer wasn't complete for filename %s file_size %ld bytes_sent %ld\n",
                      filename, size, 0L);
        return 1;
    }
    apr_file_close(fd);
    return 0;
}

int momod_send_cookies(MOT_TOP_REQ_T *req) noexcept {
    request_rec *r = momod_state.local_r;
    if (r == nullptr || req == nullptr || req->out_cookie == nullptr)
        return 0;
    MOCO_COOKIE_T *cookies = req->out_cookie;
    apr_table_unset(r->headers_out, "Set-Cookie");
    MOCO_VALUE_T *at = nullptr;
    const char *key = nullptr;
    const char *value = nullptr;
    for (;;) {
        cookies->get_next(cookies, &at, &key, &value);
        if (at == nullptr)
            break;
        char *text = nullptr;
        int ret = moco_cookie_header_text(cookies, r->pool, key, value, &text);
        if (ret != 0)
            return ret;
        apr_table_add(r->headers_out, "Set-Cookie", text);
    }
    return 0;
}

int momod_send_content_type(MOW_WEB_T *, MOOU_OUT_DEF_T *, unsigned long content_length,
                            const char *content_type) noexcept {
    MOMOD_MODULE_T &m = momod_state;
    request_rec *r = m.local_r;
    if (r == nullptr)
        return 1;
    ap_set_content_type(r, apr_pstrdup(r->pool, content_type));
    if (content_length != 0) {
        ap_set_content_length(r, static_cast<apr_off_t>(content_length));
    } else {
        // A page that replaces a download started earlier must not keep the download's length.
        apr_table_unset(r->headers_out, "Content-Length");
        r->clength = 0;
    }
    m.plain_html = content_length == 0 && strncmp(content_type, "text/html", 9) == 0 ? TRUE : FALSE;
    return momod_send_cookies(m.req);
}

// ---- the client

int momod_web_get_user_agent(MOW_WEB_T *, const char **result) noexcept {
    *result = momod_state.remote_user_agent;
    return 0;
}

int momod_web_get_real_user_name(MOU_UTIL_T *, const char **result) noexcept {
    *result = momod_state.remote_user_name;
    return 0;
}

int momod_web_remote_machine_name(MOU_UTIL_T *, int type, const char **machine_name) noexcept {
    MOMOD_MODULE_T &m = momod_state;
    if (type == 1 && m.local_r != nullptr) {
        const char *host = ap_get_useragent_host(m.local_r, REMOTE_DOUBLE_REV, nullptr);
        if (host != nullptr)
            m.remote_machine_name = host;
    }
    *machine_name = m.remote_machine_name;
    return 0;
}

// ---- the posted form

namespace {

struct BodyState {
    request_rec *r;
    MOE_ERROR_T *error;
};

int read_body(MOW_BODY_SOURCE_T *source, char *buf, size_t size, size_t *count) noexcept {
    BodyState *state = static_cast<BodyState *>(source->ref);
    *count = 0;
    long n = ap_get_client_block(state->r, buf, size);
    if (n < 0) {
        // The client went away or stopped sending: what came so far must not be taken as the form.
        state->error->report(state->error, "Can't read the request body\n");
        return 1;
    }
    *count = static_cast<size_t>(n);
    return 0;
}

} // namespace

int momod_parse_multipart_form(MOW_WEB_T *web, MOW_POST_RESULTS_T *results) noexcept {
    request_rec *r = momod_state.local_r;
    MOE_ERROR_T *error = web->interm->error;
    results[0].name = nullptr;
    results[0].val = nullptr;
    if (r == nullptr)
        return 1;
    int status = ap_setup_client_block(r, REQUEST_CHUNKED_ERROR);
    if (status != OK) {
        error->report(error, "ap_setup_client_block Error HTTP code %d\n", status);
        return 1;
    }
    if (!ap_should_client_block(r))
        return 0;
    const char *content_type = apr_table_get(r->headers_in, "Content-Type");
    if (content_type == nullptr || content_type[0] == '\0') {
        error->report(error, "Header Content-Type not set\n");
        return 1;
    }
    const char *content_length = apr_table_get(r->headers_in, "Content-Length");
    if (content_length == nullptr || content_length[0] == '\0') {
        error->report(error, "Header Content-Length not set\n");
        return 1;
    }
    char boundary[256];
    if (!mow_form_find_boundary(content_type, boundary, sizeof(boundary))) {
        error->report(error, "Can't find boundary in Content-Type %s\n", content_type);
        return 1;
    }
    BodyState state = {r, error};
    MOW_BODY_SOURCE_T source = {.ref = &state, .read = read_body};
    return mow_parse_multipart_body(web, boundary, &source, results);
}

// ---- errors

void momod_web_error_report(MOE_ERROR_T *error, const char *format, ...) noexcept {
    MOMOD_MODULE_T &m = momod_state;
    if (error->in_error)
        return;
    error->in_error = TRUE;
    mo_string_t message;
    va_list ap;
    va_start(ap, format);
    if (vsnprintf(message, sizeof(message), format, ap) < 0)
        message[0] = '\0';
    va_end(ap);
    if (!error->ignore && error->aux_ref != nullptr && error->error_out_def != nullptr &&
        m.local_r != nullptr) {
        // After a download's header or first bytes an HTML page would corrupt the file: log only.
        mo_boolean_t page = m.plain_html || !m.body_started;
        if (page)
            mow_web_error_page(error->aux_ref, error->error_out_def, message);
    }
    error->report_basic(error, "Error: ", "%s", message);
    error->in_error = FALSE;
}
