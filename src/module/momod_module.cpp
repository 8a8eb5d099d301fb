// The module record, its directive and hooks, the per-process initialisation and the request
// handler. Every server process builds the bundle, the session and the storage types once, in the
// process's own pool; every request then runs one request cycle of the system on the request's pool.
// The module keeps the current request in module-wide state, so it runs only under a forking MPM
// that serves one request per process at a time.
#include "module/momod_module.h"
#include "apps/moa_access_cmn.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/mog_gen.h"
#include "entry/mox_aux.h"
#include "module/moac_apache.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "storage/mot_top.h"
#include "web/moch_check.h"
#include "web/moco_cookie.h"
#include "web/molo_login.h"
#include "web/mow_web.h"

#include <httpd.h>
#include <http_config.h>
#include <http_log.h>
#include <http_protocol.h>
#include <ap_mpm.h>
#include <apr_strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

extern "C" {
APLOG_USE_MODULE(morvale);
}

MOMOD_MODULE_T momod_state;

// ---- directive

// Set by the directive while the server reads its configuration (in the parent, twice at start and
// again at every restart); cleared before each reading so that a restart may change it.
static mo_boolean_t home_dir_given = FALSE;

const char *momod_cmd_setup_homedir(cmd_parms_struct *, void *, const char *word1) noexcept {
    if (strlen(word1) >= sizeof(momod_state.home_dir))
        return "SetupHomeDir path too long";
    // One value per server: every process has one installation.
    if (home_dir_given && strcmp(momod_state.home_dir, word1) != 0)
        return "SetupHomeDir given twice with different values";
    snprintf(momod_state.home_dir, sizeof(momod_state.home_dir), "%s", word1);
    home_dir_given = TRUE;
    return nullptr;
}

static int momod_pre_config(apr_pool_t *, apr_pool_t *, apr_pool_t *) {
    home_dir_given = FALSE;
    momod_state.home_dir[0] = '\0';
    return OK;
}

// The module state is per process: a threaded MPM would mix the requests of several threads.
static int momod_post_config(apr_pool_t *, apr_pool_t *, apr_pool_t *, server_rec *s) {
    int threaded = AP_MPMQ_NOT_SUPPORTED;
    if (ap_mpm_query(AP_MPMQ_IS_THREADED, &threaded) == APR_SUCCESS && threaded != AP_MPMQ_NOT_SUPPORTED) {
        ap_log_error(APLOG_MARK, APLOG_CRIT, 0, s,
                     "mod_morvale needs a server process per request (mpm_prefork); this MPM is threaded");
        return HTTP_INTERNAL_SERVER_ERROR;
    }
    return OK;
}

// ---- initialisation

static int momod_module_init_steps(apr_pool_t *p) noexcept {
    MOMOD_MODULE_T &m = momod_state;
    MOX_AUX_T *aux = nullptr;
    m.session_pool = p;
    int ret = moac_apache_construct(&aux, p);
    if (ret == 0)
        ret = mocl_cleanup_new(&m.session_list, p, aux->mem, aux->signal, "Session");
    // The setup's executable directory is handed over as the array itself: it is filled in below.
    if (ret == 0)
        ret = aux->file->init(aux->file, p, m.session_list, aux->setup->exec_dir, aux->process);
    if (ret == 0)
        ret = aux->signal->add_cleanup(aux->signal, &aux->signal->session_cleanup_ref, p,
                                       moac_cleanup_run_all, m.session_list);
    if (ret == 0)
        ret = mow_construct_web(&aux->web, aux->interm, momod_send_content_type, momod_web_get_user_agent,
                                momod_parse_multipart_form);
    if (ret == 0)
        ret = mot_top_construct_session(&m.session, aux);
    if (ret == 0)
        ret = aux->error->strcat_cmd(aux->error, "Init");
    if (ret == 0)
        ret = aux->setup->init_paths(aux->setup, m.home_dir);
    if (ret == 0)
        ret = aux->setup->load_setup_file(aux->setup, aux);
    if (ret == 0)
        ret = mog_gen_construct(m.session);
    if (ret == 0)
        ret = aux->util->get_process_id(aux->util, m.process_id);
    if (ret == 0) {
        aux->util->user_machine_name = momod_web_remote_machine_name;
        aux->util->get_real_user_name = momod_web_get_real_user_name;
        aux->file->web_out_line = momod_file_web_out_line;
        aux->file->web_out_char = momod_file_web_out_char;
        aux->file->web_out_file = momod_file_web_out_file;
        m.posix_report = aux->error->report;
    }
    return ret;
}

// ---- what the login service asks of the request

static int momod_login_get_header(MOX_AUX_T *, const char *name, const char **value) noexcept {
    request_rec *r = momod_state.local_r;
    *value = r != nullptr ? apr_table_get(r->headers_in, name) : nullptr;
    return 0;
}

static int momod_login_set_header(MOX_AUX_T *, const char *name, const char *value) noexcept {
    request_rec *r = momod_state.local_r;
    if (r != nullptr)
        apr_table_set(r->headers_out, name, value);
    return 0;
}

void momod_module_init(server_rec *, apr_pool_t *p) noexcept {
    MOMOD_MODULE_T &m = momod_state;
    m.init_ok = FALSE;
    m.session = nullptr;
    m.session_list = nullptr;
    m.local_r = nullptr;
    m.req = nullptr;
    snprintf(m.remote_user_name, sizeof(m.remote_user_name), "unknown");
    m.remote_machine_name = "unknown";
    m.remote_user_agent = "unknown";
    m.login_check = molo_login_check;
    m.login_form = molo_login_form;
    m.daemon_report = molo_daemon_report;
    molo_server.get_header = momod_login_get_header;
    molo_server.set_header = momod_login_set_header;
    int ret = momod_module_init_steps(p);
    if (ret != 0) {
        fputs(MOMOD_INIT_FAILURE, stderr);
        fflush(stderr);
    } else {
        m.init_ok = TRUE;
    }
    if (m.session_list != nullptr)
        m.session_list->stop_print(m.session_list);
}

static void momod_child_init(apr_pool_t *pchild, server_rec *s) {
    momod_module_init(s, pchild);
}

// ---- login stand-ins
//
// Kept for builds and tests without the login service: nobody is logged in, so every request gets the
// login screen, which reports that it is not available. The module installs molo_login_check,
// molo_login_form and molo_daemon_report in momod_module_init.

int momod_login_check_none(MOX_AUX_T *, MOOU_OUT_DEF_T *, MOT_TOP_REQ_T *, MOCH_CHECK_T *,
                           mo_boolean_t *do_screen, char *) noexcept {
    *do_screen = TRUE;
    return 0;
}

int momod_login_form_missing(MOX_AUX_T *aux, MOOU_OUT_DEF_T *, MOT_TOP_REQ_T *, MOCH_CHECK_T *,
                             const char *) noexcept {
    aux->error->report(aux->error, "The login page is not available in this version of %s\n",
                       aux->setup->prod_name);
    return 1;
}

// The daemon problem page: what happened and how the administrator restarts the daemon.
int momod_daemon_report(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out, MOT_TOP_REQ_T *req,
                        const char *error_string) noexcept {
    const char *user = "";
    const char *machine = "";
    aux->util->get_prog_user_name(aux->util, &user);
    aux->util->local_machine_name(aux->util, 0, &machine);
    int ret = mow_web_header_blank(aux, out, "login", "", "N", req->out_cookie, nullptr);
    if (ret == 0)
        ret = out->line_fn(out, "&nbsp;<BR>&nbsp;<P>&nbsp;\n<TABLE ALIGN=CENTER WIDTH=600 BORDER=0 "
                                "SUMMARY=\"\"><TR><TD>\n<H2>Daemon Communication Problem </H2><P>\n");
    if (ret == 0)
        ret = mow_insert_protected_string_display(aux, out, error_string);
    if (ret == 0)
        ret = out->line_fn(out, " \n<!-- \nError: Daemon Communication Problem\n --> \n<!-- \nError: ");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out, error_string);
    if (ret == 0)
        ret = out->line_fn(out, "\n --> \n<P>\nPlease restart the ");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out, aux->setup->prod_name);
    if (ret == 0)
        ret = out->line_fn(out, " daemon by running the following commands<BR> as the user <B>");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out, user);
    if (ret == 0)
        ret = out->line_fn(out, "</B> on the machine <B>");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out, machine);
    if (ret == 0)
        ret = out->line_fn(out, "</B><P>");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out, aux->setup->script_dir);
    if (ret == 0)
        ret = out->line_fn(out, "/mo_stop<BR>");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out, aux->setup->script_dir);
    if (ret == 0)
        ret = out->line_fn(out, "/mo_start<P><P>Then reload this page by <A HREF=\"main\" onClick=\"location."
                                "reload(); return false\">clicking here</A>.\n</TD></TR></TABLE> \n");
    if (ret == 0)
        ret = mow_web_footer_blank(aux, out);
    return ret;
}

// ---- request handler

// Joins every "Cookie" header with "; ". The server itself joins repeated request headers with ", ",
// which a cookie value cannot hold, so that separator becomes "; " too.
namespace {

struct CookieText {
    std::string text;
    bool out_of_memory = false;
};

int join_cookie(void *rec, const char *, const char *value) {
    auto *joined = static_cast<CookieText *>(rec);
    try {
        if (!joined->text.empty())
            joined->text.append("; ");
        for (const char *p = value; *p != '\0'; p++) {
            if (p[0] == ',' && p[1] == ' ') {
                joined->text.append("; ");
                p++;
            } else {
                joined->text.push_back(*p);
            }
        }
        return 1;
    } catch (const std::bad_alloc &) {
        joined->out_of_memory = true; // nothing may unwind through the server's table walk
        return 0;
    }
}

} // namespace

static int read_cookies(request_rec *r, MOCO_COOKIE_T *in_cookie, MOE_ERROR_T *error) noexcept {
    CookieText joined;
    apr_table_do(join_cookie, &joined, r->headers_in, "Cookie", nullptr);
    if (joined.out_of_memory) {
        error->report(error, "Out of memory\n");
        return 1;
    }
    return in_cookie->set_from_string(in_cookie, joined.text.c_str());
}

// Puts the module back between requests: nothing may keep pointing into the finished request.
static void momod_request_detach(MOX_AUX_T *aux) noexcept {
    MOMOD_MODULE_T &m = momod_state;
    aux->error->report = m.posix_report;
    aux->error->error_out_def = nullptr;
    aux->error->ignore = FALSE;
    aux->error->in_error = FALSE;
    aux->mem->req_pool_ref = m.session_pool;
    aux->file->init(aux->file, m.session_pool, m.session_list, aux->setup->exec_dir, aux->process);
    aux->daemon->ref = nullptr;
    aux->sub_ref = nullptr;
    mow_web_init(aux->web);
    m.local_r = nullptr;
    m.req = nullptr;
    m.remote_machine_name = "unknown";
    m.remote_user_agent = "unknown";
}

static int momod_handler_steps(request_rec *r) noexcept {
    MOMOD_MODULE_T &m = momod_state;
    MOX_AUX_T *aux = m.session->aux;
    MOT_TOP_REQ_T *req = nullptr;
    MOOU_OUT_DEF_T *out_def = nullptr;
    MOCH_CHECK_T *check = nullptr;
    MOCL_CLEANUP_T *cleanup_always = nullptr;
    MOCL_CLEANUP_T *cleanup_fatal = nullptr;
    const char *machine = "";
    mo_boolean_t do_screen = FALSE;
    mo_string_t error_string = "";

    // 1-3: the request's module-wide values.
    snprintf(m.remote_user_name, sizeof(m.remote_user_name), "unknown");
    m.remote_machine_name =
        r->useragent_ip != nullptr && r->useragent_ip[0] != '\0' ? r->useragent_ip : "unknown";
    const char *agent = apr_table_get(r->headers_in, "User-Agent");
    m.remote_user_agent = agent != nullptr && agent[0] != '\0' ? agent : "unknown";
    m.local_r = r;
    m.req = nullptr;
    m.body_started = FALSE;
    m.plain_html = TRUE;
    r->no_cache = 1;
    ap_set_content_type(r, "text/html");

    // 5: a HEAD request gets the header alone and touches no data.
    if (r->header_only) {
        m.local_r = nullptr;
        m.remote_machine_name = "unknown";
        m.remote_user_agent = "unknown";
        return OK;
    }
    // Set now so that error and daemon pages carry it too.
    apr_table_setn(r->headers_out, "Expires", MOW_EXPIRES_TEXT);
    // Nor kept at all: after a logout the back button must not bring a user's page out of the
    // browser's cache (an old date alone does not keep a page out of the back-forward cache).
    apr_table_setn(r->headers_out, "Cache-Control", "no-store");

    // 6: the request cycle's set-up; each step only while all went well.
    MOME_MEM_T *mem = aux->mem;
    int ret = mem->init(mem, nullptr, r->pool);
    if (ret == 0)
        ret = mocl_cleanup_new(&cleanup_always, r->pool, mem, aux->signal, "Request-Always");
    if (ret == 0)
        ret = mocl_cleanup_new(&cleanup_fatal, r->pool, mem, aux->signal, "Request-Fatal");
    if (ret == 0)
        ret = aux->file->init(aux->file, r->pool, cleanup_always, aux->setup->exec_dir, aux->process);
    if (ret == 0)
        ret = aux->signal->init(aux->signal);
    if (ret == 0)
        ret = aux->process->init(aux->process, cleanup_fatal, aux->signal, aux->req->timeout_client);
    // The pool runs them if the request is cut short; the fatal list, registered last, runs first.
    if (ret == 0)
        ret = aux->signal->add_cleanup(aux->signal, &aux->signal->req_always_cleanup_ref, r->pool,
                                       moac_cleanup_run_all, cleanup_always);
    if (ret == 0)
        ret = aux->signal->add_cleanup(aux->signal, &aux->signal->req_fatal_cleanup_ref, r->pool,
                                       moac_cleanup_run_all, cleanup_fatal);
    if (ret == 0)
        ret = mof_file_construct_out_def(aux->file, &out_def);
    if (ret == 0) {
        ret = aux->error->init(aux->error, out_def, TRUE);
        aux->error->report = momod_web_error_report;
        snprintf(aux->error->machine_name, sizeof(aux->error->machine_name), "%s", m.remote_machine_name);
    }
    if (ret == 0)
        ret = mot_top_construct_req(&req, aux);
    if (ret == 0) {
        m.req = req;
        ret = moco_cookie_construct(&req->in_cookie, r->pool, aux);
    }
    if (ret == 0)
        ret = moco_cookie_construct(&req->out_cookie, r->pool, aux);
    if (ret == 0)
        ret = read_cookies(r, req->in_cookie, aux->error);
    if (ret == 0) {
        MOW_POST_RESULTS_T *results = nullptr;
        ret = mow_web_init(aux->web);
        if (ret == 0)
            ret = mome_new_array(mem, r->pool, &results, MOW_WEB_ARG_MAX);
        if (ret == 0) {
            ret = aux->web->parse_form(aux->web, results);
            req->results_ref = results;
        }
    }
    if (ret == 0)
        ret = mot_top_init_static_stypes(aux, m.session->storage.stype_list, req);
    if (ret == 0)
        ret = aux->util->user_machine_name(aux->util, 0, &machine);
    if (ret == 0)
        ret = aux->util->get_process_id(aux->util, m.process_id);
    if (ret == 0) {
        MOD_DAEMON_T *daemon = aux->daemon;
        ret = daemon->client_init(daemon, r->pool, aux->setup->server_port);
        if (ret == 0) {
            error_string[0] = '\0';
            int started = daemon->client_start(daemon, cleanup_fatal, error_string);
            if (error_string[0] != '\0') {
                if (started == 0)
                    m.daemon_report(aux, out_def, req, error_string);
                aux->error->ignore = TRUE;
                aux->error->report(aux->error, "%s", error_string);
                ret = 1;
            } else {
                ret = started;
            }
        }
    }
    if (ret == 0) {
        snprintf(m.process_name, sizeof(m.process_name), "%s_process", m.process_id);
        ret = aux->req->lock_call->init(aux->req->lock_call, m.process_name, machine, m.remote_user_agent,
                                        atoi(m.process_id), cleanup_fatal);
    }
    if (ret == 0)
        ret = moch_check_construct(&check, r->pool, aux);
    // 14: the user list, which the login check looks names up in.
    if (ret == 0)
        ret = aux->access->init_user_array(aux->access, m.session);
    if (ret == 0) {
        ret = m.login_check(aux, out_def, req, check, &do_screen, m.remote_user_name);
        if (ret == 0 && !do_screen)
            snprintf(aux->error->user_name, sizeof(aux->error->user_name), "%s", m.remote_user_name);
    }
    if (ret == 0)
        ret = momod_send_cookies(req);

    // 7: the login page.
    if (ret == 0 && do_screen)
        ret = m.login_form(aux, out_def, req, check, r->args);

    // 8: the page, served as the logged-in user.
    if (ret == 0 && !do_screen) {
        r->user = apr_pstrdup(r->pool, m.remote_user_name);
        // The lock client is known by the user's full name from here on.
        MOA_ACCESS_T *access = aux->access;
        const char *full_name = "";
        ret = access->init_user_id(access);
        if (ret == 0)
            ret = access->init_group_array(access, m.session);
        if (ret == 0)
            ret = access->get_full_name(access, access->current_user_id, &full_name);
        if (ret == 0)
            ret = aux->req->lock_call->init(aux->req->lock_call, full_name, machine, m.remote_user_agent,
                                            atoi(m.process_id), nullptr);
        if (ret == 0)
            ret = mog_gen_init_req(m.session, aux);
        if (ret == 0)
            ret = mow_web_parse_display_web_arg(m.session, out_def, req, r->args);
    }

    // 9: the end of the request, whatever happened. A page cut short by an error (the error page
    // itself included) still ends its document, so a browser and a client can tell it is whole.
    if (out_def != nullptr && (m.plain_html || !m.body_started))
        mow_web_footer_blank(aux, out_def);
    if (ret == 0)
        ret = aux->daemon->client_end(aux->daemon);
    if (ret != 0 && cleanup_fatal != nullptr) {
        cleanup_fatal->stop_print(cleanup_fatal);
        moac_cleanup_run_all(cleanup_fatal);
    }
    if (cleanup_always != nullptr) {
        cleanup_always->stop_print(cleanup_always);
        moac_cleanup_run_all(cleanup_always);
    }
    aux->signal->del_cleanup(aux->signal, &aux->signal->req_always_cleanup_ref);
    aux->signal->del_cleanup(aux->signal, &aux->signal->req_fatal_cleanup_ref);
    aux->signal->reset_protection(aux->signal);
    momod_request_detach(aux);
    return OK;
}

int momod_handler(request_rec *r) noexcept {
    if (!momod_state.init_ok || momod_state.session == nullptr) {
        ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "%s", "Error in module initialisation");
        return HTTP_INTERNAL_SERVER_ERROR;
    }
    return momod_handler_steps(r);
}

static int momod_handler_hook(request_rec *r) {
    if (r->handler == nullptr || strcmp(r->handler, MOMOD_HANDLER_NAME) != 0)
        return DECLINED;
    return momod_handler(r);
}

static void momod_register_hooks(apr_pool_t *) {
    ap_hook_pre_config(momod_pre_config, nullptr, nullptr, APR_HOOK_MIDDLE);
    ap_hook_post_config(momod_post_config, nullptr, nullptr, APR_HOOK_MIDDLE);
    ap_hook_child_init(momod_child_init, nullptr, nullptr, APR_HOOK_MIDDLE);
    ap_hook_handler(momod_handler_hook, nullptr, nullptr, APR_HOOK_MIDDLE);
}

static const command_rec momod_cmds[] = {
    AP_INIT_TAKE1("SetupHomeDir",
                  reinterpret_cast<cmd_func>(reinterpret_cast<void (*)()>(momod_cmd_setup_homedir)), nullptr,
                  ACCESS_CONF, "The setup file path"),
    {nullptr, nullptr, nullptr, 0, RAW_ARGS, nullptr},
};

// clang-format off
extern "C" { module AP_MODULE_DECLARE_DATA morvale_module = {
    STANDARD20_MODULE_STUFF,
    nullptr, // per-directory configuration
    nullptr, // merge of directory configurations
    nullptr, // per-server configuration
    nullptr, // merge of server configurations
    momod_cmds,
    momod_register_hooks,
    0, // flags
}; }
// clang-format on
