// The "daemon" command type. "start" turns this process into the daemon; the other commands talk to
// a running daemon through the client connection the program entry opened.
#include "apps/moap_daemon.h"
#include "entry/moc_cmd.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "daemon/molk_lock.h"
#include "platform/mome_mem_cmn.h"
#include "daemon/morq_req.h"
#include "search/mose_search.h"
#include "daemon/moti_timeout.h"
#include "storage/mot_top.h"
#include "entry/mox_aux.h"

#include <cctype>
#include <cstdio>
#include <cstring>

int moap_daemon_start_service(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *, MOT_TOP_SESSION_T *session,
                              MOT_TOP_REQ_T *, MOC_OPTIONS_T *) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOD_DAEMON_T *daemon = aux->daemon;
    void *pool = aux->mem->session_pool_ref;
    // Services lists take new entries at their front, so the timers run timeouts first, then search.
    int ret = mose_daemon_construct(pool, aux, aux->mem, daemon);
    if (ret == 0)
        ret = molk_daemon_construct(pool, aux->error, daemon, aux->util, aux->interm, aux->mem);
    if (ret == 0)
        ret = moti_server_construct(pool, aux->error, daemon, aux->mem);
    if (ret == 0)
        ret = daemon->server_start(daemon);
    return ret;
}

int moap_daemon_quit_service(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *, MOT_TOP_SESSION_T *session,
                             MOT_TOP_REQ_T *, MOC_OPTIONS_T *) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOLK_LOCK_CALL_T *lock_call = aux->req->lock_call;
    for (int round = 0; round < MOAP_DAEMON_QUIT_ROUNDS; round++) {
        const char *text = nullptr;
        int ret = lock_call->list(lock_call, &text);
        if (ret != 0)
            return ret;
        if (text == nullptr || text[0] == '\0')
            break;
        int remaining = (MOAP_DAEMON_QUIT_ROUNDS - round) * MOAP_DAEMON_QUIT_PAUSE;
        printf("Waiting for the current locks to expire:\n");
        printf("%s", text);
        printf(
            "Will wait for %d more seconds before over-ridding locks \n<Control-C will stop over-ride>\n\n",
            remaining);
        fflush(stdout);
        modsk_socket_pause(MOAP_DAEMON_QUIT_PAUSE * 1000);
    }
    return aux->daemon->call_force_quit(aux->daemon);
}

int moap_daemon_force_quit_service(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *, MOT_TOP_SESSION_T *session,
                                   MOT_TOP_REQ_T *, MOC_OPTIONS_T *) noexcept {
    MOX_AUX_T *aux = session->aux;
    return aux->daemon->call_force_quit(aux->daemon);
}

int moap_daemon_check_service(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *, MOT_TOP_SESSION_T *session,
                              MOT_TOP_REQ_T *, MOC_OPTIONS_T *) noexcept {
    MOX_AUX_T *aux = session->aux;
    MOLK_LOCK_CALL_T *lock_call = aux->req->lock_call;
    const char *text = nullptr;
    int ret = lock_call->list(lock_call, &text);
    if (ret != 0)
        return ret;
    printf("Up and running\n");
    printf("Current locks are:\n");
    printf("%s", text != nullptr ? text : "");
    fflush(stdout);
    return 0;
}

int moap_daemon_test_trace(const char *text, FILE *out) noexcept {
    // Written piece by piece: an argument may be as long as the command line allows.
    fprintf(out, "Test argument \"%s\"\n", text);
    size_t len = strlen(text);
    size_t pos = 0;
    while (pos < len) {
        bool digits = isdigit(static_cast<unsigned char>(text[pos])) != 0;
        size_t end = pos;
        while (end < len && (isdigit(static_cast<unsigned char>(text[end])) != 0) == digits)
            end++;
        fprintf(out, "%-7s at %zu: \"%.*s\"\n", digits ? "digits" : "text", pos, static_cast<int>(end - pos),
                text + pos);
        pos = end;
    }
    return 0;
}

int moap_daemon_test_service(MOT_TOP_STYPE_T *, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *,
                             MOT_TOP_REQ_T *, MOC_OPTIONS_T *) noexcept {
    moap_daemon_test_trace(args != nullptr && args->val != nullptr ? args->val : "", stdout);
    fflush(stdout);
    return 0;
}

static const MOC_CMD_DEF_T moap_daemon_cmds[] = {
    {"start", 0, 0, moap_daemon_start_service, "Starts the daemon", ""},
    {"quit", 0, 0, moap_daemon_quit_service, "Quits the daemon and waits for all locks to finish", ""},
    {"force_quit", 0, 0, moap_daemon_force_quit_service,
     "Forces the daemon to quit without waiting for locks", ""},
    {"check", 0, 0, moap_daemon_check_service, "Checks the daemon to see if running and lists current locks",
     ""},
    {"test", 1, 1, moap_daemon_test_service, "test", ""},
};

int moap_daemon_init_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype_ptr) noexcept {
    return moc_cmd_init_table(*stype_ptr, moap_daemon_cmds);
}

int moap_daemon_construct(MOT_TOP_SESSION_T *session) noexcept {
    return moc_cmd_register_type(session, "daemon", 1, "Commands to control the daemon",
                                 moap_daemon_init_cmd);
}
