// A daemon record with the index services registered on it, and the bundle pieces they use, for the
// index bookkeeping tests. Services are reached through the daemon's own registrations.
#pragma once

#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "entry/moim_interm.h"
#include "storage/mols_list.h"
#include "platform/mome_mem_cmn.h"
#include "search/mose_search.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix_util.h"
#include "entry/mox_aux.h"
#include "test_bundle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace mot_test {

// Records built from the heap-backed pools stay reachable for the whole run, as they would in the
// daemon, so the leak checker judges only what a service lost.
inline void keep_reachable(void *block) {
    static auto *kept = new std::vector<void *>; // never destroyed: checked after static destructors
    kept->push_back(block);
}

struct IndexDaemon {
    LowBundle low;
    MOIM_INTERM_T interm{};
    MOX_AUX_T aux{};
    MOST_SETUP_T *setup = nullptr;
    MOD_DAEMON_T *daemon = nullptr;
    MOSE_INDEXER_CONTROL_T *control = nullptr;

    // Builds the bundle pieces; construct() then registers the services.
    IndexDaemon() {
        interm.low = low.low;
        interm.mem = &low.mem;
        interm.error = &low.error;
        mou_util_construct(&interm.util, low.low, &moux_util_slots);
        mome_new(&low.mem, nullptr, &setup);
        interm.setup = setup;
        aux.interm = &interm;
        aux.mem = &low.mem;
        aux.error = &low.error;
        aux.util = interm.util;
        aux.setup = setup;
        mod_daemon_construct(&daemon, &interm);
        modsk_socket_construct(daemon);
        daemon->server_init(daemon, nullptr, "index_test", nullptr);
        aux.daemon = daemon;
        keep_reachable(interm.util);
        keep_reachable(setup);
        keep_reachable(daemon);
    }

    int construct() {
        int ret = mose_daemon_construct_control(nullptr, &aux, &low.mem, daemon, &control);
        keep_reachable(control);
        return ret;
    }

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

#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "daemon/moti_timeout.h"

namespace mot_test {

// A real client of a real daemon, connected over its socket, with the lock and timeout clients.
struct DaemonClient {
    LowBundle low;
    MOIM_INTERM_T interm{};
    MOX_AUX_T aux{};
    MOST_SETUP_T *setup = nullptr;
    MOD_DAEMON_T *daemon = nullptr;
    MORQ_REQ_T *req = nullptr;
    mo_string_t error_string = "";

    explicit DaemonClient(int port) {
        interm.low = low.low;
        interm.mem = &low.mem;
        interm.error = &low.error;
        mou_util_construct(&interm.util, low.low, &moux_util_slots);
        mome_new(&low.mem, nullptr, &setup);
        snprintf(setup->daemon_socket_dir, sizeof(setup->daemon_socket_dir), "/tmp");
        interm.setup = setup;
        aux.interm = &interm;
        aux.mem = &low.mem;
        aux.error = &low.error;
        aux.util = interm.util;
        aux.setup = setup;
        mod_daemon_construct(&daemon, &interm);
        modsk_socket_construct(daemon);
        aux.daemon = daemon;
        std::string port_text = std::to_string(port);
        daemon->client_init(daemon, nullptr, port_text.c_str());
        morq_req_construct(&req, &low.error, daemon, interm.util, &low.mem, nullptr);
        aux.req = req;
        keep_reachable(interm.util);
        keep_reachable(setup);
        keep_reachable(daemon);
        keep_reachable(req);
    }
    ~DaemonClient() { daemon->client_end(daemon); }

    bool connect() {
        error_string[0] = '\0';
        return daemon->client_start(daemon, nullptr, error_string) == 0 && error_string[0] == '\0';
    }
};

} // namespace mot_test
