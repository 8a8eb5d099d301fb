// Login and logout: the check every request goes through, the login page, the logout cookie and the
// daemon problem page.
//
// The browser never holds the password: a successful login sends Base64 of "name:" and a session
// token signed over the name, an expiry and the user's stored password text, so the token ends at its
// expiry and at every password change. A cookie holding Base64 of "name:password" (what a batch client
// builds) still goes through the password check. Nothing of a password or token is written into a
// page, a URL or the log; names typed at the form reach the log with their control bytes made
// harmless and the page HTML-escaped.
#include "web/molo_login.h"
#include "apps/moa_access_cmn.h"
#include "entry/mox_aux.h"
#include "mail/mocd_code64.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "storage/mot_top.h"
#include "web/moch_check.h"
#include "web/moco_cookie.h"
#include "web/mosn_token.h"
#include "web/mow_web.h"

#include <cstdio>
#include <cstring>
#include <openssl/crypto.h>
#include <string>

MOLO_SERVER_T molo_server = {.get_header = nullptr, .set_header = nullptr};

namespace {

const char *text_or_empty(const char *text) noexcept {
    return text != nullptr ? text : "";
}

// Wipes a buffer that held a password or token before it goes out of scope.
struct Secret {
    char *buf;
    size_t size;
    ~Secret() { OPENSSL_cleanse(buf, size); }
};

const char *client_of(MOX_AUX_T *aux) noexcept {
    const char *machine = nullptr;
    if (aux->util->user_machine_name == nullptr ||
        aux->util->user_machine_name(aux->util, 0, &machine) != 0 || machine == nullptr)
        return "unknown";
    return machine;
}

// The fixed line of a failed login.
void log_failure(MOX_AUX_T *aux, const char *name, const char *reason) noexcept {
    mo_string_t safe_name;
    mo_string_t safe_client;
    molo_log_text(name, safe_name, sizeof(safe_name));
    molo_log_text(client_of(aux), safe_client, sizeof(safe_client));
    aux->error->report_warning(aux->error, MOLO_FAILED_LOGIN, safe_name, safe_client, reason);
}

enum class Verdict { ok, unknown, deleted, wrong_password, token_expired, token_bad, too_long };

// Looks the name up and checks the password or token; `*verdict` says how it went. Returns 1 only
// when a service failed.
int check_credentials(MOX_AUX_T *aux, const char *name, const char *secret, mo_boolean_t allow_token,
                      Verdict *verdict, mo_boolean_t *renew) noexcept {
    MOA_ACCESS_T *access = aux->access;
    *verdict = Verdict::unknown;
    *renew = FALSE;
    if (access == nullptr || access->get_user_id == nullptr) {
        aux->error->report(aux->error, "The user list is not available\n");
        return 1;
    }
    mo_boolean_t deleted = FALSE;
    int user_id = MOA_NO_ID;
    int ret = access->get_user_id(access, name, &deleted, &user_id);
    if (ret != 0)
        return ret;
    if (user_id == MOA_NO_ID)
        return 0;
    if (deleted) {
        *verdict = Verdict::deleted;
        return 0;
    }
    if (allow_token && mosn_token_is_token(secret)) {
        const char *stored = nullptr;
        unsigned char key[MOSN_KEY_LEN];
        Secret wipe{reinterpret_cast<char *>(key), sizeof(key)};
        mou_datetime_t now = 0;
        ret = access->get_passwd(access, user_id, &stored);
        if (ret == 0)
            ret = mosn_token_load_key(aux, key);
        if (ret == 0)
            ret = aux->util->get_current_datetime(aux->util, &now);
        if (ret != 0)
            return ret;
        int answer = mosn_token_check(key, name, stored, secret, now, aux->setup->session_hours, renew);
        *verdict = answer == MOSN_TOKEN_VALID     ? Verdict::ok
                   : answer == MOSN_TOKEN_EXPIRED ? Verdict::token_expired
                                                  : Verdict::token_bad;
        return 0;
    }
    mo_boolean_t match = FALSE;
    ret = access->check_passwd(access, user_id, secret, &match);
    if (ret != 0)
        return ret;
    *verdict = match ? Verdict::ok : Verdict::wrong_password;
    return 0;
}

// The field warnings (and, from the form, log notes) of a refused login.
void refuse(MOX_AUX_T *aux, MOCH_CHECK_T *check, const char *name, Verdict verdict, bool from_form) noexcept {
    // The log gets the name made safe; the page gets it escaped by the check cell.
    mo_string_t safe;
    molo_log_text(name, safe, sizeof(safe));
    switch (verdict) {
        case Verdict::unknown:
            check->set_warning(check, "U", "Can't find user (%s) in passwd list", name);
            if (from_form)
                aux->error->report_note(aux->error, "Can't find user (%s) in passwd list\n", safe);
            log_failure(aux, name, "unknown user");
            break;
        case Verdict::deleted:
            check->set_warning(check, "U", "User (%s) is deleted from list\n", name);
            if (from_form)
                aux->error->report_note(aux->error, "User (%s) is deleted from list\n", safe);
            log_failure(aux, name, "deleted user");
            break;
        case Verdict::wrong_password:
            check->set_warning(check, "P", "In-correct password for (%s)\n", name);
            if (from_form)
                aux->error->report_note(aux->error, "In-correct password for (%s)\n", safe);
            log_failure(aux, name, "wrong password");
            break;
        case Verdict::token_expired:
            check->set_warning(check, "P", "Your login has expired, please log in again");
            break;
        case Verdict::token_bad:
            check->set_warning(check, "P", "Your login is no longer valid, please log in again");
            log_failure(aux, name, "invalid session token");
            break;
        case Verdict::too_long:
            check->set_warning(check, "U", "The user name (%s) is too long to log in with", name);
            break;
        case Verdict::ok:
            break;
    }
}

// Sends the cookie of a fresh session for a user who just proved who they are.
int send_session(MOX_AUX_T *aux, MOT_TOP_REQ_T *req, const char *name, Verdict *verdict) noexcept {
    MOA_ACCESS_T *access = aux->access;
    // A name the cookie cannot carry whole is turned away, not cut.
    if (strlen(name) + 1 + MOSN_TOKEN_SIZE >= MO_STRING_LEN || strchr(name, ':') != nullptr) {
        *verdict = Verdict::too_long;
        return 0;
    }
    mo_boolean_t deleted = FALSE;
    int user_id = MOA_NO_ID;
    const char *stored = nullptr;
    unsigned char key[MOSN_KEY_LEN];
    Secret wipe{reinterpret_cast<char *>(key), sizeof(key)};
    mou_datetime_t now = 0;
    char cookie[2 * MO_STRING_LEN];
    int ret = access->get_user_id(access, name, &deleted, &user_id);
    if (ret == 0 && user_id == MOA_NO_ID) {
        aux->error->report(aux->error, "Sorry can't find the user %s\n", name);
        ret = 1;
    }
    if (ret == 0)
        ret = access->get_passwd(access, user_id, &stored);
    if (ret == 0)
        ret = mosn_token_load_key(aux, key);
    if (ret == 0)
        ret = aux->util->get_current_datetime(aux->util, &now);
    if (ret == 0)
        ret = mosn_token_make_cookie(aux->error, key, name, stored, now, aux->setup->session_hours, cookie,
                                     sizeof(cookie));
    if (ret == 0)
        ret = req->out_cookie->set_cookie(req->out_cookie, "U", cookie);
    return ret;
}

// The cookie path: "U" holds Base64 of name ":" token-or-password.
int check_cookie(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req, MOCH_CHECK_T *check,
                 const char *cookie, mo_boolean_t *do_screen, char *name) noexcept {
    mo_string_t secret;
    Secret wipe{secret, sizeof(secret)};
    int split = mosn_token_split_cookie(cookie, name, MO_STRING_LEN, secret, sizeof(secret));
    if (split == MOSN_COOKIE_UNDECODABLE) {
        aux->error->report_warning(aux->error, "Problem decoding cookie\n");
        *do_screen = TRUE;
        return molo_logout(aux, out_def, req);
    }
    if (split == MOSN_COOKIE_NO_COLON) {
        // The decoded text, made safe for the log; it holds no colon, so no name:password pair.
        unsigned char plain[MO_STRING_LEN];
        Secret wipe_plain{reinterpret_cast<char *>(plain), sizeof(plain)};
        size_t count = 0;
        mo_string_t shown;
        if (mocd_decode64(cookie, strnlen(cookie, 2 * MO_STRING_LEN), plain, sizeof(plain), &count) != 0)
            plain[0] = '\0';
        molo_log_text(reinterpret_cast<const char *>(plain), shown, sizeof(shown));
        aux->error->report_warning(aux->error, "Can't find : in cookie string (%s)\n", shown);
        *do_screen = TRUE;
        return molo_logout(aux, out_def, req);
    }
    int ret = check->set_previous(check, "U", name);
    Verdict verdict = Verdict::unknown;
    mo_boolean_t renew = FALSE;
    if (ret == 0)
        ret = check_credentials(aux, name, secret, TRUE, &verdict, &renew);
    if (ret == 0 && verdict == Verdict::ok && renew)
        ret = send_session(aux, req, name, &verdict);
    if (ret != 0) {
        mo_string_t safe_name;
        molo_log_text(name, safe_name, sizeof(safe_name));
        aux->error->report(aux->error, "Problem processing user cookie %s\n", safe_name);
        *do_screen = TRUE;
        molo_logout(aux, out_def, req);
        return ret;
    }
    if (verdict != Verdict::ok) {
        refuse(aux, check, name, verdict, false);
        *do_screen = TRUE;
        return molo_logout(aux, out_def, req);
    }
    return 0;
}

// The default port of a scheme is left out, so "http://h" and "h:80" compare equal.
std::string origin_authority(const char *origin) {
    std::string text = origin;
    size_t scheme_end = text.find("://");
    if (scheme_end == std::string::npos)
        return "";
    std::string scheme = text.substr(0, scheme_end);
    std::string authority = text.substr(scheme_end + 3);
    size_t slash = authority.find('/');
    if (slash != std::string::npos)
        authority.erase(slash);
    for (char &c : scheme)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if ((scheme == "http" && authority.size() > 3 &&
         authority.compare(authority.size() - 3, 3, ":80") == 0) ||
        (scheme == "https" && authority.size() > 4 &&
         authority.compare(authority.size() - 4, 4, ":443") == 0))
        authority.erase(authority.rfind(':'));
    return authority;
}

bool same_host(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// The posted-form path.
int check_form(MOX_AUX_T *aux, MOT_TOP_REQ_T *req, MOCH_CHECK_T *check, mo_boolean_t *do_screen,
               char *name) noexcept {
    MOW_POST_RESULTS_T *results = req->results_ref;
    const char *posted_name = "";
    const char *posted_passwd = "";
    int ret = mow_form_field_service(aux, results, "U", &posted_name);
    if (ret != 0)
        return ret;
    if (mow_form_is_field(aux, results, "P"))
        ret = mow_form_field_service(aux, results, "P", &posted_passwd);
    if (ret == 0)
        ret = check->set_previous(check, "U", posted_name);
    if (ret != 0)
        return ret;
    // A login posted from a page of another site is refused: it would plant an account in the browser.
    if (molo_server.get_header != nullptr) {
        const char *origin = nullptr;
        const char *host = nullptr;
        ret = molo_server.get_header(aux, "Origin", &origin);
        if (ret == 0)
            ret = molo_server.get_header(aux, "Host", &host);
        if (ret != 0)
            return ret;
        if (!molo_origin_ok(origin, host)) {
            check->set_warning(check, "U", "This login was sent from another site and was not accepted");
            log_failure(aux, posted_name, "login posted from another site");
            *do_screen = TRUE;
            return 0;
        }
    }
    if (posted_name[0] == '\0') {
        check->set_warning(check, "U", "User Name is required");
        *do_screen = TRUE;
        return 0;
    }
    Verdict verdict = Verdict::unknown;
    mo_boolean_t renew = FALSE;
    // A name longer than any stored one is unknown; it is never copied whole.
    if (strlen(posted_name) < MO_STRING_LEN)
        ret = check_credentials(aux, posted_name, posted_passwd, FALSE, &verdict, &renew);
    if (ret == 0 && verdict == Verdict::ok)
        ret = send_session(aux, req, posted_name, &verdict);
    if (ret != 0)
        return ret;
    if (verdict != Verdict::ok) {
        refuse(aux, check, posted_name, verdict, true);
        *do_screen = TRUE;
        return 0;
    }
    snprintf(name, MO_STRING_LEN, "%s", posted_name);
    return 0;
}

// ---- page pieces

int out_text(MOOU_OUT_DEF_T *out_def, const char *text) noexcept {
    return out_def->line_fn(out_def, "%s", text);
}

int out_protected(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *text) noexcept {
    return mow_insert_protected_string_form(aux, out_def, text_or_empty(text));
}

const char check_top_script[] = "<script language=\"javascript\" type=\"text/javascript\">\n"
                                "<!--\n"
                                "function checkTop() {\n"
                                "    if (top != self) {\n"
                                "        top.location.replace(self.location.href);\n"
                                "    }\n"
                                "}\n"
                                "// -->\n"
                                "</script>\n";

const char set_cookie_script[] = "<script language=\"javascript\" type=\"text/javascript\">\n"
                                 "<!--\n"
                                 "function setCookie() {\n"
                                 "    document.cookie = \"TEST=TEST; path=/\";\n"
                                 "}\n"
                                 "// -->\n"
                                 "</script>\n";

const char check_submit_script[] = "<script language=\"javascript\" type=\"text/javascript\">\n"
                                   "<!--\n"
                                   "var okToSubmit = true;\n"
                                   "function checkSubmit() {\n"
                                   "    if (navigator.appName == \"Netscape\") {\n"
                                   "        return true;\n"
                                   "    }\n"
                                   "    return okToSubmit;\n"
                                   "}\n"
                                   "// -->\n"
                                   "</script>\n";

const char cookie_reload_script[] = "<script language=\"javascript\" type=\"text/javascript\">\n"
                                    "<!--\n"
                                    "function CookieReload() {\n"
                                    "    if (document.cookie.indexOf(\"TEST=TEST\") != -1) {\n"
                                    "        location.reload();\n"
                                    "    }\n"
                                    "}\n"
                                    "// -->\n"
                                    "</script>\n";

const char no_cookie_text[] =
    "<H2>Cookies or Javascript not enabled! </H2><P>\n"
    "This site needs cookies and JavaScript to log you in. Please enable both and then reload this page.<P>\n"
    "<B>Firefox:</B> open Settings, choose Privacy &amp; Security and, under Cookies and Site Data, make "
    "sure this site is not blocked; JavaScript is on unless an add-on turns it off.<P>\n"
    "<B>Chrome:</B> open Settings, choose Privacy and security, then Site settings: under Cookies allow "
    "this site, and under JavaScript choose Sites can use JavaScript.<P>\n"
    "When both are enabled, reload this page by <A HREF=\"main\">clicking here</A>.<P>\n"
    "<A HREF=\"start.htm\">Need some help?</A>\n";

// Includes a site file of the user HTML directory into the page; a missing one is left out.
int include_user_file(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *name) noexcept {
    if (name == nullptr || name[0] == '\0')
        return 0;
    mo_filename_t path;
    int ret = mof_file_build_path(aux->error, path, "%s/%s", aux->setup->user_html_dir, name);
    if (ret != 0)
        return ret;
    if (!aux->file->exists(aux->file, path)) {
        aux->error->report_warning(aux->error, "The login page include %s does not exist\n", path);
        return 0;
    }
    return out_def->file_fn(out_def, path);
}

// The "U=" argument of the query: pre-fills the name only. Returns whether the query was one.
int read_user_arg(MOX_AUX_T *aux, MOCH_CHECK_T *check, const char *query,
                  mo_boolean_t *was_user_arg) noexcept {
    *was_user_arg = FALSE;
    if (strncmp(query, "U=", 2) != 0)
        return 0;
    *was_user_arg = TRUE;
    mo_string_t arg;
    Secret wipe{arg, sizeof(arg)};
    size_t len = strcspn(query + 2, "&");
    if (len >= sizeof(arg))
        len = sizeof(arg) - 1;
    memcpy(arg, query + 2, len);
    arg[len] = '\0';
    mow_web_util_unescape_url(arg);
    mo_string_t name;
    mo_string_t rest;
    Secret wipe_rest{rest, sizeof(rest)};
    int split = mosn_token_split_cookie(arg, name, sizeof(name), rest, sizeof(rest));
    mo_string_t shown;
    molo_log_text(arg, shown, sizeof(shown));
    if (split == MOSN_COOKIE_UNDECODABLE) {
        aux->error->report_warning(aux->error, "Problem decoding user/passwd arg (%s)\n", shown);
        return 0;
    }
    if (split == MOSN_COOKIE_NO_COLON) {
        aux->error->report_warning(aux->error, "Can't find : in user/passwd arg (%s)\n", shown);
        return 0;
    }
    return check->set_previous(check, "U", name);
}

int login_form_body(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOCH_CHECK_T *check,
                    const char *action_query) noexcept {
    MOST_SETUP_T *setup = aux->setup;
    const char *previous_name = "";
    int ret = out_text(out_def, "<!-- Insert pre login page here //--> \n");
    if (ret == 0)
        ret = include_user_file(aux, out_def, setup->login_page_pre_include);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def,
            "<TABLE ALIGN=CENTER WIDTH=250 BORDER=0 CELLPADDING=3 CELLSPACING=0 SUMMARY=\"\">\n"
            "<TR><TD BGCOLOR=\"%s\" NOWRAP>",
            MOW_TITLE_COLOR);
    if (ret == 0)
        ret = out_text(out_def, "  <B>Login to ");
    if (ret == 0)
        ret = out_protected(aux, out_def, setup->prod_name);
    if (ret == 0)
        ret = out_text(out_def, "<B></TD>");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD BGCOLOR=\"%s\" ALIGN=RIGHT NOWRAP>", MOW_TITLE_COLOR);
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/help2.gif", "Help", MOLO_MANUAL_LINK);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">Help</A>", MOLO_MANUAL_LINK);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD></TR>\n<TR><TD COLSPAN=2 BGCOLOR=\"%s\">\n", MOW_PAGE_COLOR);
    if (ret == 0)
        ret = out_text(out_def, check_submit_script);
    // The query keeps the page asked for; it goes into the attribute escaped ("&" as "&amp;").
    if (ret == 0)
        ret = out_text(out_def, "<FORM NAME=\"Login\" ACTION=\"");
    if (ret == 0)
        ret = out_protected(aux, out_def, setup->httpd_script_main_loc);
    if (ret == 0)
        ret = out_text(out_def, "?");
    if (ret == 0)
        ret = out_protected(aux, out_def, action_query);
    if (ret == 0)
        ret = out_text(
            out_def, "\" ENCTYPE=\"multipart/form-data\" METHOD=POST onSubmit=\"return(checkSubmit());\">\n");
    if (ret == 0)
        ret = out_text(out_def,
                       "<INPUT TYPE=HIDDEN NAME=\"DUMMY\" VALUE=\"DUMMY\">\n<TABLE BORDER=0 SUMMARY=\"\">\n");
    if (ret == 0)
        ret = out_text(out_def, "<TR><TD ALIGN=RIGHT><B>User Name</B></TD>");
    if (ret == 0)
        ret = check->insert_check_cell(check, out_def, "U");
    if (ret == 0)
        ret = check->get_previous(check, "U", &previous_name);
    if (ret == 0)
        ret =
            mow_form_text_field_call_insert(aux, out_def, "U", previous_name, 10, MOLO_FIELD_MAX,
                                            "onFocus=\"okToSubmit=false; \" onChange=\"this.form.P.focus(); "
                                            "return(true); \"");
    if (ret == 0)
        ret = out_text(out_def, "</TD></TR>\n<TR><TD ALIGN=RIGHT><B>Password</B></TD>");
    if (ret == 0)
        ret = check->insert_check_cell(check, out_def, "P");
    // A password is never written back into a page.
    if (ret == 0)
        ret = mow_form_passwd_field_call_insert(
            aux, out_def, "P", "", 10, MOLO_FIELD_MAX,
            "onChange=\"okToSubmit=true; this.form.submit(); return(true); \"");
    if (ret == 0)
        ret = out_text(out_def,
                       "</TD></TR>\n<TR><TD><A HREF=\"start.htm\">Need Help?</A></TD>"
                       "<TD ALIGN=RIGHT><INPUT TYPE=SUBMIT NAME=\"SUBMIT\" VALUE=\"Login\"></TD></TR>\n"
                       "</TABLE>\n</FORM>\n</TD></TR></TABLE>\n");
    if (ret == 0)
        ret = out_text(out_def, "<!-- Insert post login page here //--> \n");
    if (ret == 0)
        ret = include_user_file(aux, out_def, setup->login_page_post_include);
    return ret;
}

} // namespace

void molo_log_text(const char *text, char *out, size_t size) noexcept {
    if (size == 0)
        return;
    size_t i = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text_or_empty(text));
         *p != '\0' && i + 1 < size; p++)
        out[i++] = (*p < 0x20 || *p == 0x7f) ? '?' : static_cast<char>(*p);
    out[i] = '\0';
}

mo_boolean_t molo_origin_ok(const char *origin, const char *host) noexcept {
    if (origin == nullptr || origin[0] == '\0' || host == nullptr || host[0] == '\0')
        return TRUE;
    try {
        std::string from = origin_authority(origin);
        std::string to = host;
        // The Host header may carry the default port too.
        if (to.size() > 3 && to.compare(to.size() - 3, 3, ":80") == 0 && from.find(':') == std::string::npos)
            to.erase(to.size() - 3);
        return !from.empty() && same_host(from, to) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

int molo_logout(MOX_AUX_T *, MOOU_OUT_DEF_T *, MOT_TOP_REQ_T *req_ref) noexcept {
    return req_ref->out_cookie->set_cookie(req_ref->out_cookie, "U", MOLO_LOGGED_OUT);
}

int molo_login_check(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref, MOCH_CHECK_T *check,
                     mo_boolean_t *do_screen_ptr, char *user_name) noexcept {
    mo_string_t name;
    snprintf(name, sizeof(name), "%s", MOLO_UNKNOWN_USER);
    *do_screen_ptr = FALSE;
    const char *cookie = nullptr;
    int ret = req_ref->in_cookie->get_cookie(req_ref->in_cookie, "U", &cookie);
    if (ret != 0)
        return ret;
    if (cookie != nullptr && cookie[0] != '\0' && strcmp(cookie, MOLO_LOGGED_OUT) != 0) {
        ret = check_cookie(aux, out_def, req_ref, check, cookie, do_screen_ptr, name);
    } else if (req_ref->results_ref == nullptr || !mow_form_is_field(aux, req_ref->results_ref, "U")) {
        *do_screen_ptr = TRUE; // the first visit
    } else {
        ret = check_form(aux, req_ref, check, do_screen_ptr, name);
    }
    if (ret != 0) {
        *do_screen_ptr = TRUE;
        return ret;
    }
    if (!*do_screen_ptr)
        snprintf(user_name, MO_STRING_LEN, "%s", name);
    return 0;
}

int molo_login_header(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref,
                      const char *other_onload_fns) noexcept {
    MOST_SETUP_T *setup = aux->setup;
    std::string body;
    try {
        body = std::string("onLoad=\"") + text_or_empty(other_onload_fns) + " checkTop();\"";
    } catch (...) {
        aux->error->report(aux->error, "Out of memory\n");
        return 1;
    }
    // The company address goes into two links: parse_url's static result is copied first.
    mo_string_t url;
    snprintf(url, sizeof(url), "%s",
             text_or_empty(setup->parse_url(setup, text_or_empty(setup->company_ws_url))));
    mo_filename_t banner;
    bool has_banner = snprintf(banner, sizeof(banner), "%s/user_banner/my_logo.gif", setup->user_image_dir) <
                          static_cast<int>(sizeof(banner)) &&
                      aux->file->exists(aux->file, banner);

    int ret = mow_web_header_blank(aux, out_def, "login", body.c_str(), "N", req_ref->out_cookie, nullptr);
    if (ret == 0)
        ret = out_text(out_def, check_top_script);
    if (ret == 0)
        ret =
            out_text(out_def, "<TABLE WIDTH=\"100%\" BORDER=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\"><TR>\n"
                              "<TD ALIGN=LEFT VALIGN=MIDDLE NOWRAP><A TARGET=\"_blank\" HREF=\"");
    if (ret == 0)
        ret = out_protected(aux, out_def, url);
    if (ret == 0)
        ret = out_text(out_def, "\"><IMG BORDER=0 SRC=\"/icons/prod_logo.gif\" ALT=\"\"></A></TD>\n"
                                "<TD ALIGN=LEFT VALIGN=MIDDLE NOWRAP WIDTH=\"100%\">");
    if (ret == 0 && has_banner)
        ret = out_text(out_def, "<IMG BORDER=0 SRC=\"/user_banner/my_logo.gif\" ALT=\"\">");
    if (ret == 0)
        ret = out_text(out_def, "<IMG BORDER=0 SRC=\"/icons/powering.gif\" ALT=\"\">"
                                "<IMG BORDER=0 SRC=\"/bullets/blank.gif\" WIDTH=1 HEIGHT=1 ALT=\"\"></TD>\n"
                                "<TD ALIGN=RIGHT VALIGN=MIDDLE NOWRAP>");
    if (ret == 0)
        ret = out_text(out_def, " <A TARGET=\"_blank\" HREF=\"");
    if (ret == 0)
        ret = out_protected(aux, out_def, url);
    if (ret == 0)
        ret = out_text(out_def, "\">");
    if (ret == 0)
        ret = out_protected(aux, out_def, setup->company_ws_text);
    if (ret == 0)
        ret = out_text(out_def, "</A>\n</TD></TR></TABLE>\n");
    return ret;
}

int molo_login_form(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref, MOCH_CHECK_T *check,
                    const char *input_arg_string) noexcept {
    const char *query = text_or_empty(input_arg_string);
    mo_boolean_t user_arg = FALSE;
    int ret = read_user_arg(aux, check, query, &user_arg);
    // A link that carried a login must not travel on in a Referer header.
    if (ret == 0 && user_arg && molo_server.set_header != nullptr)
        ret = molo_server.set_header(aux, "Referrer-Policy", "no-referrer");
    if (ret != 0)
        return ret;
    const char *test = nullptr;
    ret = req_ref->in_cookie->get_cookie(req_ref->in_cookie, "TEST", &test);
    if (ret != 0)
        return ret;
    const char *cookie_check = aux->setup->cookie_check;
    bool cookies_work = !(cookie_check != nullptr && strcmp(cookie_check, "TRUE") == 0 &&
                          (test == nullptr || strcmp(test, "TEST") != 0));

    ret = molo_login_header(aux, out_def, req_ref,
                            cookies_work ? " setCookie(); " : " setCookie(); CookieReload(); ");
    if (ret == 0)
        ret = out_text(out_def, "&nbsp;<BR>&nbsp;<P>\n");
    if (ret == 0)
        ret = out_text(out_def, set_cookie_script);
    if (ret == 0 && cookies_work)
        ret = login_form_body(aux, out_def, check, user_arg ? "" : query);
    if (ret == 0 && !cookies_work)
        ret = out_text(out_def, cookie_reload_script);
    if (ret == 0 && !cookies_work)
        ret = out_text(out_def, no_cookie_text);
    if (ret == 0)
        ret = mow_web_footer_blank(aux, out_def);
    return ret;
}

int molo_daemon_restart(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept {
    const char *user = "";
    const char *machine = "";
    int ret = aux->util->get_prog_user_name(aux->util, &user);
    if (ret == 0)
        ret = aux->util->local_machine_name(aux->util, 0, &machine);
    if (ret != 0)
        return ret;
    // Each value is copied before the next call of the util service may reuse its buffer.
    mo_string_t user_copy;
    mo_string_t machine_copy;
    snprintf(user_copy, sizeof(user_copy), "%s", text_or_empty(user));
    snprintf(machine_copy, sizeof(machine_copy), "%s", text_or_empty(machine));
    ret = out_text(out_def, "Please restart the ");
    if (ret == 0)
        ret = out_protected(aux, out_def, aux->setup->prod_name);
    if (ret == 0)
        ret = out_text(out_def, " daemon by running the following commands<BR> as the user <B>");
    if (ret == 0)
        ret = out_protected(aux, out_def, user_copy);
    if (ret == 0)
        ret = out_text(out_def, "</B> on the machine <B>");
    if (ret == 0)
        ret = out_protected(aux, out_def, machine_copy);
    if (ret == 0)
        ret = out_text(out_def, "</B><P>");
    if (ret == 0)
        ret = out_protected(aux, out_def, aux->setup->script_dir);
    if (ret == 0)
        ret = out_text(out_def, "/mo_stop<BR>");
    if (ret == 0)
        ret = out_protected(aux, out_def, aux->setup->script_dir);
    if (ret == 0)
        ret = out_text(out_def, "/mo_start<P>");
    if (ret == 0)
        ret = out_text(out_def,
                       "<P>Then reload this page by <A HREF=\"main\" onClick=\"location.reload(); return "
                       "false\">clicking here</A>.\n");
    return ret;
}

int molo_daemon_report(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req_ref,
                       const char *error_string) noexcept {
    int ret = molo_login_header(aux, out_def, req_ref, "");
    if (ret == 0)
        ret = out_text(out_def, "&nbsp;<BR>&nbsp;<P>&nbsp;\n");
    if (ret == 0)
        ret = out_text(out_def, "<TABLE ALIGN=CENTER WIDTH=600 BORDER=0 SUMMARY=\"\"><TR><TD>\n");
    if (ret == 0)
        ret = out_text(out_def, "<H2>Daemon Communication Problem </H2><P>\n");
    if (ret == 0)
        ret = mow_insert_protected_string_display(aux, out_def, text_or_empty(error_string));
    if (ret == 0)
        ret = out_text(out_def, " \n");
    if (ret == 0)
        ret = out_text(out_def, "<!-- \nError: Daemon Communication Problem\n --> \n");
    if (ret == 0)
        ret = out_text(out_def, "<!-- \nError: ");
    if (ret == 0)
        ret = out_protected(aux, out_def, error_string);
    if (ret == 0)
        ret = out_text(out_def, "\n --> \n");
    if (ret == 0)
        ret = out_text(out_def, "<P>\n");
    if (ret == 0)
        ret = molo_daemon_restart(aux, out_def);
    if (ret == 0)
        ret = out_text(out_def, "</TD></TR></TABLE> \n");
    if (ret == 0)
        ret = mow_web_footer_blank(aux, out_def);
    return ret;
}
