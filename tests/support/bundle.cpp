// The test bundle, built in the order of the program's bundle builder and entry.
#include "support/bundle.h"

#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/moim_interm.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/mosc_script_cmn.h"
#include "platform/mosk_socket_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "web/moss_session.h"

#include <cstdio>
#include <unistd.h>

namespace mot_test {
inline namespace support {

Bundle::Bundle(const BundleOptions &o) {
    const MOUX_UNIX_SLOTS_T &slots = o.slots;
    int ret = moe_error_construct(&error, slots.error);
    if (ret == 0)
        ret = error.init(&error, nullptr, TRUE);
    if (ret == 0)
        ret = molt_lowest_construct(&lowest, &error);
    if (ret == 0) {
        ret = mome_mem_construct(&mem, &lowest, slots.mem);
        pool.attach(&mem);
    }
    if (ret == 0)
        ret = mem.init(&mem, nullptr, nullptr);
    if (ret == 0)
        ret = mol_low_construct(&low, &lowest, &mem);
    if (ret == 0)
        ret = moim_interm_construct(&interm, low);
    if (ret == 0)
        ret = mof_file_construct(&interm->file, low, slots.file);
    if (ret == 0)
        ret = mou_util_construct(&interm->util, low, slots.util);
    if (ret == 0)
        ret = mos_signal_construct(&interm->signal, low, slots.signal);
    if (ret == 0)
        ret = mop_process_construct(&interm->process, low, slots.process);
    if (ret == 0)
        ret = mosk_socket_construct(&interm->sock, low, slots.sock);
    if (ret == 0)
        ret = most_setup_construct(&interm->setup, low);
    if (ret == 0)
        ret = mox_aux_construct(&aux, interm);
    if (ret == 0)
        ret = mosc_construct_script(&aux->script, interm);
    if (ret == 0)
        ret = mod_daemon_construct(&aux->daemon, interm);
    if (ret == 0)
        ret = modsk_socket_construct(aux->daemon);
    if (ret == 0)
        ret = morq_req_construct(&aux->req, &error, aux->daemon, interm->util, &mem, mem.session_pool_ref);
    if (ret == 0)
        ret = moss_session_construct(&aux->session, &error, &mem, mem.session_pool_ref);
    if (ret == 0) {
        error.aux_ref = aux;
        ret = mocl_cleanup_new(&always, mem.req_pool_ref, &mem, aux->signal, "Request-Always");
    }
    if (ret == 0)
        ret = mocl_cleanup_new(&fatal, mem.req_pool_ref, &mem, aux->signal, "Request-Fatal");
    MOST_SETUP_T *setup = ret == 0 ? aux->setup : nullptr;
    if (ret == 0 && !o.home.empty())
        ret = setup->init_paths(setup, o.home.c_str());
    if (ret == 0 && o.load_setup)
        ret = setup->load_setup_file(setup, aux);
    if (ret == 0) {
        snprintf(setup->daemon_socket_dir, sizeof(setup->daemon_socket_dir), "/tmp");
        snprintf(setup->httpd_script_main_loc, sizeof(setup->httpd_script_main_loc), "/mo_scripts/mo_http");
        ret = aux->file->init(aux->file, nullptr, always, setup->exec_dir, aux->process);
    }
    if (ret == 0 && o.init_process) {
        ret = aux->process->init(aux->process, fatal, aux->signal, nullptr);
        process_started_ = true;
    }
    status = ret;
}

std::string Bundle::connect(const std::string &port, const ConnectOptions &o) {
    if (status != 0)
        return "the bundle was not built";
    MOD_DAEMON_T *daemon = aux->daemon;
    MOCL_CLEANUP_T *cleanup = o.use_cleanup ? fatal : nullptr;
    mo_string_t error_string = "";
    int ret = daemon->client_init(daemon, mem.session_pool_ref, port.c_str());
    if (ret == 0)
        ret = daemon->client_start(daemon, cleanup, error_string);
    if (error_string[0] != '\0')
        return error_string;
    if (ret != 0)
        return "the daemon client did not start";
    connected_ = true;
    std::string user = o.user.empty() ? std::to_string(getpid()) + "_process" : o.user;
    const char *machine = o.machine.c_str();
    if (o.machine.empty() && aux->util->local_machine_name(aux->util, 0, &machine) != 0)
        return "no local machine name";
    int sender = o.sender_id != 0 ? o.sender_id : static_cast<int>(getpid());
    MOLK_LOCK_CALL_T *lock = aux->req->lock_call;
    if (lock->init(lock, user.c_str(), machine, o.agent.c_str(), sender, cleanup) != 0)
        return "the lock client did not start";
    return "";
}

void Bundle::disconnect() {
    if (connected_)
        aux->daemon->client_end(aux->daemon);
    connected_ = false;
}

Bundle::~Bundle() {
    disconnect();
    // The child signal would reach a process record that is about to be given back.
    if (process_started_)
        aux->signal->set(aux->signal, MOS_SIGCHLD, mos_signal_default);
    // The end of the request: temporary files go with the "Request-Always" list.
    if (always != nullptr) {
        always->stop_print(always);
        always->run(always);
    }
    pool.clear();
}

} // namespace support
} // namespace mot_test
