// Registration of every application (storage-type provider) of a session, and the per-request
// refresh of the caches they share.
#pragma once
#include "mo_std.h"

int mog_gen_construct(MOT_TOP_SESSION_T *session) noexcept;
int mog_gen_init_req(MOT_TOP_SESSION_T *session, MOX_AUX_T *aux) noexcept;

// The ending steps of a request of the command-line program, run whatever happened before: the
// client disconnects when all went well, the "Request-Fatal" list runs when something failed, then the
// "Request-Always" list in every case, and the signal bindings are cleared so that a late signal
// runs nothing twice. Lists that were never built are skipped. Returns the request's final status.
int mog_gen_end_req(MOX_AUX_T *aux, MOCL_CLEANUP_T *cleanup_fatal, MOCL_CLEANUP_T *cleanup_always,
                    mo_boolean_t is_client, int ret) noexcept;
