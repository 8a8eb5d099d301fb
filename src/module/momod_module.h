// The Apache httpd 2.4 module that serves the web interface: the module record with its one directive
// and its handler, the per-process initialisation of the service bundle and session, and the
// request-bound operations it installs into the bundle (output to the client, the client's address
// and browser, the response header, the posted form, the HTML error report).
#pragma once
#include "mo_std.h"

struct request_rec;
struct server_rec;
struct apr_pool_t;
struct cmd_parms_struct;
struct MOW_POST_RESULTS_T;
struct MOCH_CHECK_T;

// Where the login service plugs in: the check of every request (sets *do_screen when the login page
// must be shown, else copies the user's name into user_name, a mo_string_t), the login page, and the
// page shown when the daemon cannot be reached.
typedef int (*momod_login_check_fn_t)(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                                      MOCH_CHECK_T *check, mo_boolean_t *do_screen, char *user_name) noexcept;
typedef int (*momod_login_form_fn_t)(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                                     MOCH_CHECK_T *check, const char *input_args) noexcept;
typedef int (*momod_daemon_report_fn_t)(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                                        const char *error_string) noexcept;

#define MOMOD_HANDLER_NAME "morvale-handler"
#define MOMOD_INIT_FAILURE "Error in module initialisation\n"

// The module-wide state of one server process; a process serves one request at a time.
struct MOMOD_MODULE_T {
    mo_filename_t home_dir;                 // value of "SetupHomeDir"
    mo_boolean_t init_ok;                   // the initialisation of this process succeeded
    MOT_TOP_SESSION_T *session;             // session record; its aux is the bundle
    MOCL_CLEANUP_T *session_list;           // the "Session" cleanup list, run when the process's pool ends
    apr_pool_t *session_pool;               // the process's pool
    request_rec *local_r;                   // the request being served; NULL between requests
    MOT_TOP_REQ_T *req;                     // its request record; NULL between requests
    mo_string_t remote_user_name;           // "unknown" until a login succeeds
    const char *remote_machine_name;        // the client's address (or host name once looked up)
    const char *remote_user_agent;          // the "User-Agent" header, "unknown" without one
    mo_string_t process_id;                 // this process's id as text
    mo_string_t process_name;               // process_id "_process"
    mo_boolean_t body_started;              // a byte of the response body was written
    mo_boolean_t plain_html;                // the response is an HTML page of unknown length
    momod_login_check_fn_t login_check;     // molo_login_check once the login service exists
    momod_login_form_fn_t login_form;       // molo_login_form likewise
    momod_daemon_report_fn_t daemon_report; // molo_daemon_report likewise
    // The command line's report, put back between requests so that nothing reaches a finished one.
    void (*posix_report)(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
};
typedef struct MOMOD_MODULE_T momod_module_t;

extern MOMOD_MODULE_T momod_state;

// Entry points called by the server.
void momod_module_init(server_rec *s, apr_pool_t *p) noexcept;
int momod_handler(request_rec *r) noexcept;
const char *momod_cmd_setup_homedir(cmd_parms_struct *cmd, void *mconfig, const char *word1) noexcept;

// Stand-ins until the login service exists: nobody is logged in, so every request gets the login
// screen, which reports that it is not available; and a daemon problem page of the module's own.
int momod_login_check_none(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req, MOCH_CHECK_T *check,
                           mo_boolean_t *do_screen, char *user_name) noexcept;
int momod_login_form_missing(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req, MOCH_CHECK_T *check,
                             const char *input_args) noexcept;
int momod_daemon_report(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                        const char *error_string) noexcept;

// Operations installed into the bundle.
int momod_send_content_type(MOW_WEB_T *web, MOOU_OUT_DEF_T *out_def, unsigned long content_length,
                            const char *content_type) noexcept;
int momod_web_get_user_agent(MOW_WEB_T *web, const char **result) noexcept;
int momod_parse_multipart_form(MOW_WEB_T *web, MOW_POST_RESULTS_T *results) noexcept;
int momod_web_remote_machine_name(MOU_UTIL_T *util, int type, const char **machine_name) noexcept;
int momod_web_get_real_user_name(MOU_UTIL_T *util, const char **result) noexcept;
int momod_file_web_out_line(MOOU_OUT_DEF_T *out_def, const char *format, ...) noexcept MO_PRINTF(2, 3);
int momod_file_web_out_char(MOOU_OUT_DEF_T *out_def, int c) noexcept;
int momod_file_web_out_file(MOOU_OUT_DEF_T *out_def, const char *filename) noexcept;
void momod_web_error_report(MOE_ERROR_T *error, const char *format, ...) noexcept MO_PRINTF(2, 3);

// Sets the "Set-Cookie" headers from the request's outgoing cookies, replacing earlier ones, so that a
// cookie set while the page is built still goes out with the header.
int momod_send_cookies(MOT_TOP_REQ_T *req) noexcept;
