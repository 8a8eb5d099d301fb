// The "daemon" command type: start, stop, inspect and test the daemon from the command line.
#pragma once
#include "mo_std.h"

#include <cstdio>

struct MOT_TOP_ARG_LIST_T;
struct MOC_OPTIONS_T;

#define MOAP_DAEMON_QUIT_ROUNDS 5 // rounds quit waits for held locks
#define MOAP_DAEMON_QUIT_PAUSE 2  // seconds per round

int moap_daemon_construct(MOT_TOP_SESSION_T *session) noexcept;
int moap_daemon_init_cmd(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept;

int moap_daemon_start_service(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *session,
                              MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept;
int moap_daemon_quit_service(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *session,
                             MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept;
int moap_daemon_force_quit_service(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *args,
                                   MOT_TOP_SESSION_T *session, MOT_TOP_REQ_T *req,
                                   MOC_OPTIONS_T *options) noexcept;
int moap_daemon_check_service(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *session,
                              MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept;
int moap_daemon_test_service(MOT_TOP_STYPE_T *stype, MOT_TOP_ARG_LIST_T *args, MOT_TOP_SESSION_T *session,
                             MOT_TOP_REQ_T *req, MOC_OPTIONS_T *options) noexcept;

// Writes the trace of the test command for `text` to `out`.
int moap_daemon_test_trace(const char *text, FILE *out) noexcept;
