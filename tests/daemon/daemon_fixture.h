// Clients of a test daemon (support/daemon.h runs the real server loop in a forked child on its own
// socket): a support Bundle connected over the real socket, with its lock and timeout clients, and
// a way to send lock messages built by hand.
#pragma once

#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/daemon.h"
#include "support/files.h"
#include "support/util.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace mot_test {

// One client process's connection and lock client, known to the lock service as `user` on "host1"
// with the agent "agent". With `use_cleanup`, the connection and the lock release go on the bundle's
// fatal list, as the program entry puts them.
struct Client {
    Bundle b;
    MOD_DAEMON_T *daemon = nullptr;
    MORQ_REQ_T *req = nullptr;
    MOLK_LOCK_CALL_T *lock = nullptr;
    std::string error_string; // the connection's problem, "" once connected

    explicit Client(const std::string &port, const char *user = "alice", int sender_id = 0,
                    bool use_cleanup = false) {
        error_string = b.connect(port, ConnectOptions{.user = user,
                                                      .machine = "host1",
                                                      .agent = "agent",
                                                      .sender_id = sender_id,
                                                      .use_cleanup = use_cleanup});
        daemon = b.aux->daemon;
        req = b.aux->req;
        lock = req->lock_call;
    }

    // Sends one lock message as built by fill and gives the reply.
    MOLK_LOCK_MSG_T *raw(const std::function<void(MOLK_LOCK_MSG_T *)> &fill, int *ret_out = nullptr) {
        void *data = nullptr;
        daemon->get_data(daemon, &data, sizeof(MOLK_LOCK_MSG_T));
        auto *msg = static_cast<MOLK_LOCK_MSG_T *>(data);
        memset(msg, 0, sizeof(*msg));
        msg->sender_id = lock->sender_id;
        snprintf(msg->user_id, sizeof(msg->user_id), "%s", lock->user_id);
        msg->read_timeout = MOLK_READ_TIMEOUT;
        msg->write_timeout = MOLK_WRITE_TIMEOUT;
        fill(msg);
        int ret = daemon->gen_call(daemon, MOLK_INSTR, msg);
        if (ret_out != nullptr)
            *ret_out = ret;
        return msg;
    }

    std::string list() {
        const char *text = nullptr;
        if (lock->list(lock, &text) != 0 || text == nullptr)
            return "<failed>";
        return text;
    }
};

} // namespace mot_test
