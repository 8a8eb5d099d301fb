// The "pop" command type: the mail-group mailbox.
#pragma once
#include "mo_std.h"

int moap_pop_construct(MOT_TOP_SESSION_T *session) noexcept;
