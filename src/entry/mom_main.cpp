// Entry of the command-line program `morvale`: one command per process. Builds the service bundle,
// finds the installation four levels above the executable, loads the setup, connects to the daemon
// (or prepares to become it), registers the applications, runs the command and cleans up.
#include "platform/mocl_cleanup.h"
#include "entry/moc_cmd.h"
#include "daemon/mod_daemon_cmn.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/mog_gen.h"
#include "daemon/molk_lock.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "daemon/morq_req.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "storage/mot_top.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix.h"
#include "web/mow_web.h"
#include "entry/mox_aux.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static mo_string_t process_id;
static mo_string_t process_name;

int main(int argc, char **argv) {
    MOX_AUX_T *aux = nullptr;
    MOT_TOP_SESSION_T *session = nullptr;
    MOT_TOP_REQ_T *req = nullptr;
    MOCL_CLEANUP_T *cleanup_always = nullptr;
    MOCL_CLEANUP_T *cleanup_fatal = nullptr;
    mo_string_t program_name = "";
    mo_filename_t home_dir = "";
    mo_string_t error_string = "";
    const char *machine = "";
    mo_boolean_t do_daemon = FALSE;

    int ret = moux_unix_construct(&aux, nullptr);
    if (ret == 0)
        ret = mow_construct_web(&aux->web, aux->interm, mow_send_content_type, mow_web_get_user_agent,
                                mow_parse_multipart_form);
    // `web normal` answers a web request: from here on its failures are shown as the error page.
    if (ret == 0 && argc > 1 && mow_web_normal_requested(argc - 1, argv + 1))
        ret = mow_web_normal_begin(aux, argc - 1, argv + 1);
    if (ret == 0)
        ret = mot_top_construct_session(&session, aux);
    if (ret == 0) {
        mocl_cleanup_new(&cleanup_always, aux->mem->req_pool_ref, aux->mem, aux->signal, "Request-Always");
        mocl_cleanup_new(&cleanup_fatal, aux->mem->req_pool_ref, aux->mem, aux->signal, "Request-Fatal");
    }
    if (ret == 0) {
        snprintf(program_name, sizeof(program_name), "%s", argc > 0 ? argv[0] : "morvale");
        ret = aux->file->get_basename(aux->file, program_name);
        if (ret == 0)
            ret = aux->error->strcat_cmd(aux->error, program_name);
    }
    if (ret == 0)
        ret = aux->signal->init(aux->signal);
    if (ret == 0) {
        aux->signal->add_cleanup(aux->signal, &aux->signal->req_always_cleanup_ref, nullptr,
                                 mocl_cleanup_run_ref, cleanup_always);
        aux->signal->add_cleanup(aux->signal, &aux->signal->req_fatal_cleanup_ref, nullptr,
                                 mocl_cleanup_run_ref, cleanup_fatal);
    }
    if (ret == 0)
        ret = aux->file->init(aux->file, nullptr, cleanup_always, aux->setup->exec_dir, aux->process);
    if (ret == 0)
        ret = aux->process->init(aux->process, cleanup_fatal, aux->signal, aux->req->timeout_client);
    if (ret == 0) {
        if (moux_unix_program_path(argc > 0 ? argv[0] : "", home_dir, sizeof(home_dir)) != 0) {
            aux->error->report(aux->error, "Program path too long to find the installation\n");
            ret = 1;
        }
        for (int i = 0; ret == 0 && i < 4; i++)
            ret = aux->file->get_dirname(aux->file, home_dir);
    }
    if (ret == 0)
        do_daemon =
            (argc == 3 && strcmp(argv[1], "daemon") == 0 && strcmp(argv[2], "start") == 0) ? TRUE : FALSE;
    if (ret == 0) {
        ret = aux->setup->init_paths(aux->setup, home_dir);
        if (ret == 0)
            ret = aux->setup->load_setup_file(aux->setup, aux);
        snprintf(aux->setup->httpd_script_main_loc, sizeof(aux->setup->httpd_script_main_loc), "%s",
                 "/mo_scripts/mo_http");
    }
    if (ret == 0)
        ret = aux->util->get_process_id(aux->util, process_id);
    if (ret == 0) {
        MOD_DAEMON_T *daemon = aux->daemon;
        void *pool = aux->mem->session_pool_ref;
        if (!do_daemon) {
            ret = daemon->client_init(daemon, pool, aux->setup->server_port);
            if (ret == 0) {
                error_string[0] = '\0';
                ret = daemon->client_start(daemon, cleanup_fatal, error_string);
                if (error_string[0] != '\0') {
                    aux->error->report(aux->error, "Daemon Communication Problem\n%sTry restarting %s\n",
                                       error_string, aux->setup->prod_name);
                    ret = 1;
                }
            }
        } else {
            ret = daemon->server_init(daemon, pool, aux->setup->server_port, cleanup_fatal);
        }
    }
    if (ret == 0)
        ret = aux->util->local_machine_name(aux->util, 0, &machine);
    if (ret == 0 && !do_daemon) {
        snprintf(process_name, sizeof(process_name), "%s_process", process_id);
        ret = aux->req->lock_call->init(aux->req->lock_call, process_name, machine, "", atoi(process_id),
                                        cleanup_fatal);
    }
    if (ret == 0)
        ret = mog_gen_construct(session);
    if (ret == 0) {
        ret = aux->mem->init(aux->mem, nullptr, nullptr);
        if (ret == 0)
            ret = mot_top_construct_req(&req, aux);
    }
    if (ret == 0)
        ret = moc_cmd_check_operation(argc - 1, argv + 1, session, req);

    // The ending steps always run, as far as their records exist.
    ret = mog_gen_end_req(aux, cleanup_fatal, cleanup_always, do_daemon ? FALSE : TRUE, ret);
    if (aux != nullptr)
        mow_web_normal_end(aux);
    fflush(stdout);
    exit(ret);
}
