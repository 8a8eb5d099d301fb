// POSIX operations of the daemon's timeout service: signals to a whole process group and the pause
// between them.
#pragma once
#include "daemon/moti_timeout.h"

int moux_timeout_signal_group(MOTI_TIMEOUT_SERVER_T *server, int process_group, int signal_id) noexcept;
int moux_timeout_pause(MOTI_TIMEOUT_SERVER_T *server, int seconds) noexcept;
mo_boolean_t moux_timeout_is_own(MOTI_TIMEOUT_SERVER_T *server, int process_id) noexcept;

extern const MOTI_TIMEOUT_SERVER_T moux_timeout_slots;
