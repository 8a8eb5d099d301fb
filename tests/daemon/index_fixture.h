// A daemon record with the index services registered on it, on a support Bundle, for the index
// bookkeeping tests. Services are reached through the daemon's own registrations.
#pragma once

#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "entry/mox_aux.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "search/mose_search.h"
#include "storage/mols_list.h"
#include "support/bundle.h"
#include "support/util.h"

#include <cstring>
#include <string>

namespace mot_test {

struct IndexDaemon {
    Bundle b;
    MOX_AUX_T *aux = nullptr;
    MOST_SETUP_T *setup = nullptr;
    MOD_DAEMON_T *daemon = nullptr;
    MOSE_INDEXER_CONTROL_T *control = nullptr;

    // Builds the bundle and makes its daemon record a server; construct() then registers the services.
    explicit IndexDaemon(const BundleOptions &options = {}) : b(options) {
        aux = b.aux;
        setup = aux->setup;
        daemon = aux->daemon;
        daemon->server_init(daemon, nullptr, "index_test", nullptr);
    }

    int construct() { return mose_daemon_construct_control(nullptr, aux, &b.mem, daemon, &control); }

    MODSK_SERVER_T *server() { return static_cast<MODSK_SERVER_T *>(daemon->ref); }

    mod_service_fn_t service(int instr, void **ref) {
        MOLS_LIST_ELE_T *ele = nullptr;
        server()->service_list->find_status(server()->service_list, instr, &ele);
        if (ele == nullptr)
            return nullptr;
        *ref = ele->ref2;
        return reinterpret_cast<mod_service_fn_t>(ele->ref1);
    }

    int call(int instr, void *payload) {
        void *ref = nullptr;
        mod_service_fn_t fn = service(instr, &ref);
        if (fn == nullptr)
            return -1;
        return fn(ref, &payload);
    }

    int timer() {
        MOLS_LIST_ELE_T *ele = nullptr;
        server()->timer_service_list->get_next(server()->timer_service_list, &ele);
        if (ele == nullptr)
            return -1;
        return reinterpret_cast<mod_timer_fn_t>(ele->ref1)(ele->ref2);
    }

    int todo_add(int list_id) {
        MOSE_INC_T inc;
        memset(&inc, 0, sizeof(inc));
        inc.list_id = list_id;
        return call(MOSE_INSTR_TODO_ADD, &inc);
    }

    // Answers the list id taken, or -1 when the work list was empty.
    int getdel() {
        MOSE_INC_T inc;
        memset(&inc, 0, sizeof(inc));
        if (call(MOSE_INSTR_TODO_GETDEL, &inc) != 0)
            return -2;
        return inc.empty ? -1 : inc.list_id;
    }

    // Answers the reply's ret, or -1 when the service failed.
    int runlock(int index_type, int op) {
        MOSE_RUNLOCK_T lock{index_type, op, 1};
        if (call(MOSE_INSTR_RUNLOCK, &lock) != 0)
            return -1;
        return lock.ret;
    }

    std::string check(const char *op, const char *name) {
        MOSE_INC_T inc;
        memset(&inc, 0, sizeof(inc));
        snprintf(inc.op, sizeof(inc.op), "%s", op);
        snprintf(inc.name, sizeof(inc.name), "%s", name);
        if (call(MOSE_INSTR_CHECK, &inc) != 0)
            return "<failed>";
        return inc.mesg;
    }

    static int count(MOLS_LIST_T *list) {
        int n = 0;
        for (MOLS_LIST_ELE_T *ele = list->thelist; ele != nullptr; ele = ele->next)
            n++;
        return n;
    }
};

} // namespace mot_test
