// Registration of every application (storage-type provider) of a session, and the per-request
// refresh of the caches they share.
#pragma once
#include "mo_std.h"

int mog_gen_construct(MOT_TOP_SESSION_T *session) noexcept;
int mog_gen_init_req(MOT_TOP_SESSION_T *session, MOX_AUX_T *aux) noexcept;
