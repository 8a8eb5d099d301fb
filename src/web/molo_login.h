// Login and logout of the web interface. There is no server-side session: the browser keeps the
// cookie "U", Base64 of the user name, ":" and a signed session token (or, from a batch client, the
// password), and every request is checked against the user list again. A request without a valid
// cookie gets the login page; posting it with a correct name and password sets the cookie. The
// module also writes the page shown when the daemon cannot be reached.
#pragma once
#include "mo_std.h"

struct MOCH_CHECK_T;

#define MOLO_LOGGED_OUT ":"         // value of "U" after a logout or a failed check
#define MOLO_FIELD_MAX 80           // characters the name and password fields take
#define MOLO_UNKNOWN_USER "Unknown" // the name before a check succeeds
#define MOLO_MANUAL_LINK "man/Morvale_user_manual.pdf\" TARGET=\"_blank"
// One line per failed login, in a form log watchers can match: user name, client, reason.
#define MOLO_FAILED_LOGIN "Login failed for user (%s) from (%s): %s\n"

// What the login service needs of the server carrying the request beyond the bundle: request headers
// for the origin check of a posted login, and a response header for the referrer policy. The server
// module and `web normal` install theirs; without one the origin check passes and no header is added.
struct MOLO_SERVER_T {
    // `*value` NULL when the request has no such header.
    int (*get_header)(MOX_AUX_T *aux, const char *name, const char **value) noexcept;
    int (*set_header)(MOX_AUX_T *aux, const char *name, const char *value) noexcept;
};
typedef struct MOLO_SERVER_T molo_server_t;

extern MOLO_SERVER_T molo_server;

// Decides who the user is. Returns 0 unless a service failed; sets `*do_screen_ptr` when the login
// page must be shown, else copies the user's name into `user_name` (a mo_string_t).
int molo_login_check(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref, MOCH_CHECK_T *check,
                     mo_boolean_t *do_screen_ptr, char *user_name) noexcept;
// Writes the login page; `input_arg_string` is the request's query string (NULL counts as "").
int molo_login_form(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref, MOCH_CHECK_T *check,
                    const char *input_arg_string) noexcept;
// The head and banner of the login and problem pages; `other_onload_fns` goes before checkTop().
int molo_login_header(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref,
                      const char *other_onload_fns) noexcept;
// Sets the outgoing cookie "U" to ":".
int molo_logout(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref) noexcept;
// The page shown when the daemon cannot be reached, with `error_string` and the restart instructions.
int molo_daemon_report(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref,
                       const char *error_string) noexcept;
int molo_daemon_restart(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;

// Copies `text` into `out` (`size` bytes) fit for one log line: control bytes become "?", and a text
// that does not fit is cut. Names typed at the login form reach the log through it.
void molo_log_text(const char *text, char *out, size_t size) noexcept;
// TRUE when the request's Origin header (if any) names the host the request was sent to.
mo_boolean_t molo_origin_ok(const char *origin, const char *host) noexcept;
