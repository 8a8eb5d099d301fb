// The utility service: who and where the program runs, time texts and arithmetic, text matching
// and bounded copying.
#pragma once
#include "mo_std.h"

#define MOU_TIME_TEXT_LEN 100 // datetime_to_fullstring writes at most this many bytes

struct MOU_UTIL_T {
    MOL_LOW_T *low;          // the low bundle
    const char *match_start; // start of the last successful match
    const char *match_end;   // position just after it

    int (*get_real_user_name)(MOU_UTIL_T *util, const char **name) noexcept;
    int (*get_prog_user_name)(MOU_UTIL_T *util, const char **name) noexcept;
    int (*local_machine_name)(MOU_UTIL_T *util, int type, const char **name) noexcept;
    int (*user_machine_name)(MOU_UTIL_T *util, int type, const char **name) noexcept;
    int (*get_process_id)(MOU_UTIL_T *util, char *buf) noexcept; // buf: mo_string_t
    mo_boolean_t (*match_string)(MOU_UTIL_T *util, const char *input, const char *search) noexcept;
    mo_boolean_t (*match_string_nocase)(MOU_UTIL_T *util, const char *input, const char *search) noexcept;
    int (*get_current_datetime)(MOU_UTIL_T *util, mou_datetime_t *now) noexcept;
    int (*set_timezone)(MOU_UTIL_T *util, const char *zone) noexcept;
    int (*datetime_to_fullstring)(MOU_UTIL_T *util, mou_datetime_t when, int type, char *buf) noexcept;
    int (*fullstring_to_datetime)(MOU_UTIL_T *util, const char *text, mou_datetime_t *when) noexcept;
    int (*time_elapsed_string)(MOU_UTIL_T *util, long seconds, char *buf) noexcept; // buf: mo_string_t
    int (*modify_time)(MOU_UTIL_T *util, mou_datetime_t when, int hour, int minute, int second,
                       mou_datetime_t *result) noexcept;
    mou_datetime_t (*time_subtract)(MOU_UTIL_T *util, mou_datetime_t a, mou_datetime_t b) noexcept;
    mou_datetime_t (*time_add)(MOU_UTIL_T *util, mou_datetime_t a, mou_datetime_t b) noexcept;
    mo_boolean_t (*is_time_greater)(MOU_UTIL_T *util, mou_datetime_t a, mou_datetime_t b) noexcept;
    int (*safe_strcat)(MOU_UTIL_T *util, char *dest, const char *src, size_t capacity) noexcept;
    int (*safe_strcpy)(MOU_UTIL_T *util, char *dest, const char *src, size_t capacity) noexcept;
};

int mou_util_construct(MOU_UTIL_T **util, MOL_LOW_T *low, const MOU_UTIL_T *slots) noexcept;

// Common operations of both deliverables (the util argument may be NULL for the bounded copies).
mo_boolean_t mou_util_match_string(MOU_UTIL_T *util, const char *input, const char *search) noexcept;
mo_boolean_t mou_util_match_string_nocase(MOU_UTIL_T *util, const char *input, const char *search) noexcept;
mou_datetime_t mou_util_time_subtract(MOU_UTIL_T *util, mou_datetime_t a, mou_datetime_t b) noexcept;
mou_datetime_t mou_util_time_add(MOU_UTIL_T *util, mou_datetime_t a, mou_datetime_t b) noexcept;
mo_boolean_t mou_util_is_time_greater(MOU_UTIL_T *util, mou_datetime_t a, mou_datetime_t b) noexcept;
int mou_util_safe_strcat(MOU_UTIL_T *util, char *dest, const char *src, size_t capacity) noexcept;
int mou_util_safe_strcpy(MOU_UTIL_T *util, char *dest, const char *src, size_t capacity) noexcept;
