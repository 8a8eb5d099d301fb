// Shared types of every Morvale module: the fixed text and path buffers, truth values,
// the datetime count, and forward declarations of the service records of the bundle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#define MO_STRING_LEN 1024
#define MO_FILENAME_LEN 300

typedef char mo_string_t[MO_STRING_LEN];     // a text of at most 1023 characters
typedef char mo_filename_t[MO_FILENAME_LEN]; // a path of at most 299 characters
typedef int mo_boolean_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef time_t mou_datetime_t; // whole seconds since the epoch

#define MO_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

// Appends `node` (its `next` already null) at the end of a list threaded through `next`.
template <class T> inline void mo_list_append(T **head, T *node) noexcept {
    while (*head != nullptr)
        head = &(*head)->next;
    *head = node;
}

// Service records; each is defined by its own module header.
struct MOE_ERROR_T;
struct MOME_MEM_T;
struct MOLT_LOWEST_T;
struct MOL_LOW_T;
struct MOIM_INTERM_T;
struct MOX_AUX_T;
struct MOF_FILE_T;
struct MOU_UTIL_T;
struct MOS_SIGNAL_T;
struct MOST_SETUP_T;
struct MOP_PROCESS_T;
struct MOSK_SOCK_T;
struct MOSC_SCRIPT_T;
struct MOML_MAIL_T;
struct MOD_DAEMON_T;
struct MORQ_REQ_T;
struct MOSS_SESSION_T;
struct MOA_ACCESS_T;
struct MOIT_ITEM_T;
struct MOW_WEB_T;
struct MOOU_OUT_DEF_T;
struct MOCL_CLEANUP_T;
struct MOSU_SUBSCRIBE_T;
struct MOLK_LOCK_CALL_T;
struct MOTI_TIMEOUT_CLIENT_T;
struct MOT_TOP_SESSION_T;
struct MOT_TOP_REQ_T;
struct MOT_TOP_STYPE_T;

typedef struct MOE_ERROR_T moe_error_t;
typedef struct MOME_MEM_T mome_mem_t;
typedef struct MOLT_LOWEST_T molt_lowest_t;
typedef struct MOL_LOW_T mol_low_t;
typedef struct MOIM_INTERM_T moim_interm_t;
typedef struct MOX_AUX_T mox_aux_t;
typedef struct MOF_FILE_T mof_file_t;
typedef struct MOU_UTIL_T mou_util_t;
typedef struct MOS_SIGNAL_T mos_signal_t;
typedef struct MOST_SETUP_T most_setup_t;
typedef struct MOP_PROCESS_T mop_process_t;
typedef struct MOSK_SOCK_T mosk_sock_t;
typedef struct MOSC_SCRIPT_T mosc_script_t;
typedef struct MOML_MAIL_T moml_mail_t;
typedef struct MOD_DAEMON_T mod_daemon_t;
typedef struct MORQ_REQ_T morq_req_t;
typedef struct MOSS_SESSION_T moss_session_t;
typedef struct MOA_ACCESS_T moa_access_t;
typedef struct MOIT_ITEM_T moit_item_t;
typedef struct MOW_WEB_T mow_web_t;
typedef struct MOOU_OUT_DEF_T moou_out_def_t;
typedef struct MOCL_CLEANUP_T mocl_cleanup_t;
typedef struct MOSU_SUBSCRIBE_T mosu_subscribe_t;
typedef struct MOLK_LOCK_CALL_T molk_lock_call_t;
typedef struct MOTI_TIMEOUT_CLIENT_T moti_timeout_client_t;
typedef struct MOT_TOP_SESSION_T mot_top_session_t;
typedef struct MOT_TOP_REQ_T mot_top_req_t;
typedef struct MOT_TOP_STYPE_T mot_top_stype_t;
