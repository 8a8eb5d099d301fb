// POSIX implementation of the utility service: user, machine and process, the clock and the
// local-time texts.
#pragma once
#include "platform/mou_util_cmn.h"

int moux_util_get_real_user_name(MOU_UTIL_T *util, const char **name) noexcept;
int moux_util_local_machine_name(MOU_UTIL_T *util, int type, const char **name) noexcept;
int moux_util_get_process_id(MOU_UTIL_T *util, char *buf) noexcept;
int moux_util_get_current_datetime(MOU_UTIL_T *util, mou_datetime_t *now) noexcept;
int moux_util_set_timezone(MOU_UTIL_T *util, const char *zone) noexcept;
int moux_util_datetime_to_fullstring(MOU_UTIL_T *util, mou_datetime_t when, int type, char *buf) noexcept;
int moux_util_fullstring_to_datetime(MOU_UTIL_T *util, const char *text, mou_datetime_t *when) noexcept;
int moux_util_get_time_elapsed_string(MOU_UTIL_T *util, long seconds, char *buf) noexcept;
int moux_util_modify_time(MOU_UTIL_T *util, mou_datetime_t when, int hour, int minute, int second,
                          mou_datetime_t *result) noexcept;

extern const MOU_UTIL_T moux_util_slots;
