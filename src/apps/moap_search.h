// The "index" command type: manual and automatic index runs.
#pragma once
#include "mo_std.h"

int moap_search_construct(MOT_TOP_SESSION_T *session) noexcept;
