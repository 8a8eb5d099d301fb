// The "web" command type: the web interface run from the command line.
#pragma once
#include "mo_std.h"

int moap_web_construct(MOT_TOP_SESSION_T *session) noexcept;
