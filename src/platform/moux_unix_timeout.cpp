// POSIX operations of the daemon's timeout service.
#include "platform/moux_unix_timeout.h"
#include "platform/moe_error_cmn.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <unistd.h>

int moux_timeout_signal_group(MOTI_TIMEOUT_SERVER_T *server, int process_group, int signal_id) noexcept {
    // killpg(0) and killpg(1) would reach the daemon's own group or init.
    if (process_group <= 1) {
        server->error->report_warning(server->error, "Refusing to signal process group %d\n", process_group);
        return 1;
    }
    int sig = SIGKILL;
    if (signal_id == MOTI_SIGNAL_TERM)
        sig = SIGTERM;
    else if (signal_id == MOTI_SIGNAL_QUIT)
        sig = SIGQUIT;
    if (killpg(process_group, sig) == 0)
        return 0;
    if (errno == ESRCH)
        return 2;
    server->error->report_warning(server->error, "Can't signal process group %d: %s\n", process_group,
                                  strerror(errno));
    return 1;
}

int moux_timeout_pause(MOTI_TIMEOUT_SERVER_T *, int seconds) noexcept {
    struct timespec left = {seconds, 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    return 0;
}

mo_boolean_t moux_timeout_is_own(MOTI_TIMEOUT_SERVER_T *, int process_id) noexcept {
    return process_id == static_cast<int>(getpid()) || process_id == static_cast<int>(getpgrp()) ? TRUE
                                                                                                 : FALSE;
}

const MOTI_TIMEOUT_SERVER_T moux_timeout_slots = {
    .error = nullptr,
    .daemon = nullptr,
    .mem = nullptr,
    .pool_ref = nullptr,
    .timer_list = nullptr,
    .signal_group = moux_timeout_signal_group,
    .pause = moux_timeout_pause,
    .is_own = moux_timeout_is_own,
};
