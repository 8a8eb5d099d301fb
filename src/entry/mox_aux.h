// The full service bundle that application code receives.
#pragma once
#include "mo_std.h"

struct MOTSL_HOOKS_T;

struct MOX_AUX_T {
    MORQ_REQ_T *req;           // request-scoped clients (lock and timeout)
    MOSS_SESSION_T *session;   // session-scoped state (item-access cache)
    MOSU_SUBSCRIBE_T *sub_ref; // the current user's subscriptions, set per web request
    MOA_ACCESS_T *access;      // users, groups and privileges
    MOIT_ITEM_T *item;         // item types, file types and folder items
    MOD_DAEMON_T *daemon;      // daemon service
    MOW_WEB_T *web;            // web record
    MOSC_SCRIPT_T *script;     // script-keyword service
    MOML_MAIL_T *mail;         // outgoing-mail service
    MOTSL_HOOKS_T *list_hooks; // what the list engine reaches of the access, folder and web services
    MOIM_INTERM_T *interm;     // the intermediate bundle
    MOF_FILE_T *file;          // copies of the intermediate bundle's services
    MOU_UTIL_T *util;
    MOS_SIGNAL_T *signal;
    MOST_SETUP_T *setup;
    MOP_PROCESS_T *process;
    MOSK_SOCK_T *sock;
    MOME_MEM_T *mem;
    MOE_ERROR_T *error;
    MOT_TOP_STYPE_T *tab_stype; // the tab record's page ("tab_gen"); NULL until the tab pages are registered
};

int mox_aux_construct(MOX_AUX_T **aux, MOIM_INTERM_T *interm) noexcept;
