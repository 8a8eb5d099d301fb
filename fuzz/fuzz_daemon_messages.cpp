// Fuzz target: any bytes as a run of daemon messages to the lock server and the timeout server, as
// peers on the socket could send them. Each message is one selector byte (which server, and how many
// seconds pass before it) and up to one message's worth of bytes, the rest zero. The timeout server
// signals nothing here: its kill and pause slots are replaced.
#include "daemon/mod_daemon_cmn.h"
#include "daemon/molk_lock.h"
#include "daemon/moti_timeout.h"
#include "fuzz_common.h"
#include "platform/moux_unix_timeout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

int no_signal(MOTI_TIMEOUT_SERVER_T *, int, int) noexcept {
    return 2; // as if the group were gone already
}
int no_pause(MOTI_TIMEOUT_SERVER_T *, int) noexcept {
    return 0;
}

const MOTI_TIMEOUT_SERVER_T &harmless_timeout_slots() {
    static const MOTI_TIMEOUT_SERVER_T slots = [] {
        MOTI_TIMEOUT_SERVER_T s = moux_timeout_slots;
        s.signal_group = no_signal;
        s.pause = no_pause;
        return s;
    }();
    return slots;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    mot_test::Bundle b(mo_fuzz::quiet_options());
    if (b.status != 0)
        return 0;
    MOD_DAEMON_T *daemon = b.aux->daemon;
    if (daemon->server_init(daemon, nullptr, "fuzz", nullptr) != 0)
        return 0;
    MOLK_LOCK_CONTROL_T *locks = nullptr;
    MOTI_TIMEOUT_SERVER_T *timer = nullptr;
    if (molk_control_new(&locks, nullptr, &b.error, daemon, b.aux->util, b.interm, &b.mem) != 0 ||
        moti_server_construct_slots(nullptr, &b.error, daemon, &b.mem, &harmless_timeout_slots(), &timer) !=
            0)
        return 0;

    mou_datetime_t now = 1700000000;
    size_t at = 0;
    while (at < size) {
        uint8_t selector = data[at++];
        now += selector >> 2;
        bool to_timer = (selector & 1) != 0;
        size_t room = to_timer ? sizeof(MOTI_TIMEOUT_MSG_T) : sizeof(MOLK_LOCK_MSG_T);
        size_t take = std::min(room, size - at);
        alignas(8) unsigned char msg[sizeof(MOLK_LOCK_MSG_T)] = {};
        memcpy(msg, data + at, take);
        at += take;
        if (to_timer) {
            void *ref = msg;
            moti_main_service(timer, &ref);
            if ((selector & 2) != 0)
                moti_timer_service(timer);
        } else {
            molk_serve(locks, reinterpret_cast<MOLK_LOCK_MSG_T *>(msg), now);
        }
    }
    return 0;
}
