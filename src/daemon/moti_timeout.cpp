// The timeout service: registrations of process groups with their time limits, counted down by the
// daemon's minute timer, and the client calls that make and cancel them.
#include "daemon/moti_timeout.h"
#include "daemon/mod_daemon_cmn.h"
#include "platform/moe_error_cmn.h"
#include "storage/mols_list.h"
#include "platform/mome_mem_cmn.h"
#include "platform/moux_unix_timeout.h"

#include <cstdio>
#include <cstring>

namespace {

// Registrations keep their numbers in the list's pointer-sized references.
void *moti_int_ref(long value) noexcept {
    return reinterpret_cast<void *>(static_cast<intptr_t>(value));
}
long moti_ref_int(void *ref) noexcept {
    return static_cast<long>(reinterpret_cast<intptr_t>(ref));
}

int moti_client_call(MOTI_TIMEOUT_CLIENT_T *client, int op, int process_id, int timeout_value) noexcept {
    void *data = nullptr;
    int ret = client->daemon->get_data(client->daemon, &data, static_cast<int>(sizeof(MOTI_TIMEOUT_MSG_T)));
    if (ret != 0)
        return ret;
    MOTI_TIMEOUT_MSG_T *msg = static_cast<MOTI_TIMEOUT_MSG_T *>(data);
    memset(msg, 0, sizeof(*msg));
    msg->op = op;
    msg->process_id = process_id;
    msg->timeout_value = timeout_value;
    msg->status = 0;
    ret = client->daemon->gen_call(client->daemon, MOTI_INSTR, data);
    if (ret != 0)
        return ret;
    if (msg->status != 0) {
        msg->error_msg[MOTI_ERROR_MSG_LEN - 1] = '\0'; // the reply is a peer's: never trust its end
        client->error->report(client->error, "%s", msg->error_msg);
        return 1;
    }
    return 0;
}

// Sends one signal of the escalation; TRUE while the group is still there to receive the next one.
bool moti_send(MOTI_TIMEOUT_SERVER_T *server, int process_group, int signal_id) noexcept {
    return server->signal_group(server, process_group, signal_id) == 0;
}

void moti_kill_group(MOTI_TIMEOUT_SERVER_T *server, int process_group) noexcept {
    // A group that has gone needs no further signals, and the daemon need not stand still for it.
    if (!moti_send(server, process_group, MOTI_SIGNAL_TERM))
        return;
    server->pause(server, MOTI_KILL_PAUSE);
    if (!moti_send(server, process_group, MOTI_SIGNAL_QUIT))
        return;
    server->pause(server, MOTI_KILL_PAUSE);
    moti_send(server, process_group, MOTI_SIGNAL_KILL);
}

} // namespace

int moti_client_start(MOTI_TIMEOUT_CLIENT_T *client, int process_id, int timeout_value) noexcept {
    return moti_client_call(client, MOTI_OP_START, process_id, timeout_value);
}

int moti_client_cancel(MOTI_TIMEOUT_CLIENT_T *client, int process_id) noexcept {
    return moti_client_call(client, MOTI_OP_CANCEL, process_id, 0);
}

int moti_client_construct(MOTI_TIMEOUT_CLIENT_T **client_ptr, MOE_ERROR_T *error, MOD_DAEMON_T *daemon,
                          MOME_MEM_T *mem, void *pool_ref) noexcept {
    MOTI_TIMEOUT_CLIENT_T *client = nullptr;
    int ret = mome_new(mem, pool_ref, &client);
    if (ret != 0)
        return ret;
    client->error = error;
    client->daemon = daemon;
    client->mem = mem;
    client->pool_ref = pool_ref;
    client->start = moti_client_start;
    client->cancel = moti_client_cancel;
    *client_ptr = client;
    return 0;
}

int moti_main_service(void *ref, void **data_ref) noexcept {
    MOTI_TIMEOUT_SERVER_T *server = static_cast<MOTI_TIMEOUT_SERVER_T *>(ref);
    MOTI_TIMEOUT_MSG_T *msg = static_cast<MOTI_TIMEOUT_MSG_T *>(*data_ref);
    MOLS_LIST_T *list = server->timer_list;
    MOLS_LIST_ELE_T *ele = nullptr;

    msg->error_msg[0] = '\0';
    switch (msg->op) {
        case MOTI_OP_START:
            // Group 0 would be the daemon's own group and 1 is init: neither may ever be killed, nor
            // may the daemon's own process or group under their own numbers.
            if (msg->process_id <= 1 || server->is_own(server, msg->process_id)) {
                snprintf(msg->error_msg, sizeof(msg->error_msg), "Can't set a timer for process group %ld\n",
                         static_cast<long>(msg->process_id));
                break;
            }
            list->find_status(list, msg->process_id, &ele);
            if (ele != nullptr) {
                snprintf(msg->error_msg, sizeof(msg->error_msg),
                         "A timer is already set for process id %ld\n", static_cast<long>(msg->process_id));
                break;
            }
            {
                int ret = list->add(list, nullptr, FALSE, msg->process_id, moti_int_ref(msg->timeout_value),
                                    moti_int_ref(msg->timeout_value / 60));
                if (ret != 0)
                    return ret;
            }
            break;
        case MOTI_OP_CANCEL:
            list->find_status(list, msg->process_id, &ele);
            if (ele == nullptr)
                server->error->report_warning(server->error, "Can't find process id %ld in timer list\n",
                                              static_cast<long>(msg->process_id));
            else
                list->del(list, ele);
            break;
        default:
            // A peer's mistake: it is told so, and the daemon serves on.
            server->error->report(server->error, "Unknown Timer Operation %d\n", static_cast<int>(msg->op));
            snprintf(msg->error_msg, sizeof(msg->error_msg), "Unknown Timer Operation %d\n",
                     static_cast<int>(msg->op));
            break;
    }
    msg->status = (msg->error_msg[0] != '\0') ? 1 : 0;
    return 0;
}

int moti_timer_service(void *ref) noexcept {
    MOTI_TIMEOUT_SERVER_T *server = static_cast<MOTI_TIMEOUT_SERVER_T *>(ref);
    MOLS_LIST_T *list = server->timer_list;
    MOLS_LIST_ELE_T *ele = nullptr;
    list->get_next(list, &ele);
    while (ele != nullptr) {
        MOLS_LIST_ELE_T *next = ele;
        list->get_next(list, &next);
        long minutes = moti_ref_int(list->get_ref2(ele)) - 1;
        list->set_ref2(ele, moti_int_ref(minutes));
        if (minutes < 0) {
            int process_group = list->get_status(ele);
            int timeout = static_cast<int>(moti_ref_int(list->get_ref1(ele)));
            server->error->report_note(server->error,
                                       "Sending timeout kill to process group %d after %d seconds\n",
                                       process_group, timeout);
            if (process_group > 1 && !server->is_own(server, process_group))
                moti_kill_group(server, process_group);
            list->del(list, ele);
        }
        ele = next;
    }
    return 0;
}

int moti_server_construct_slots(void *pool_ref, MOE_ERROR_T *error, MOD_DAEMON_T *daemon, MOME_MEM_T *mem,
                                const MOTI_TIMEOUT_SERVER_T *slots,
                                MOTI_TIMEOUT_SERVER_T **server_ptr) noexcept {
    MOTI_TIMEOUT_SERVER_T *server = nullptr;
    int ret = mome_new(mem, pool_ref, &server);
    if (ret != 0)
        return ret;
    server->error = error;
    server->daemon = daemon;
    server->mem = mem;
    server->pool_ref = pool_ref;
    server->signal_group = slots->signal_group;
    server->pause = slots->pause;
    server->is_own = slots->is_own;
    ret = mols_list_new(&server->timer_list, pool_ref, mem);
    if (ret == 0)
        ret = daemon->add_service(daemon, MOTI_INSTR, moti_main_service, server);
    if (ret == 0)
        ret = daemon->add_timer_service(daemon, moti_timer_service, server);
    if (ret == 0 && server_ptr != nullptr)
        *server_ptr = server;
    return ret;
}

int moti_server_construct(void *pool_ref, MOE_ERROR_T *error, MOD_DAEMON_T *daemon,
                          MOME_MEM_T *mem) noexcept {
    return moti_server_construct_slots(pool_ref, error, daemon, mem, &moux_timeout_slots, nullptr);
}
