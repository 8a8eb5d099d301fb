// POSIX implementation of the error service: report lines on standard error.
#pragma once
#include "platform/moe_error_cmn.h"
#include <cstdarg>

int moux_error_init(MOE_ERROR_T *error, MOOU_OUT_DEF_T *out_def, mo_boolean_t clear_warning) noexcept;
int moux_error_strcat_cmd(MOE_ERROR_T *error, const char *text) noexcept;
void moux_error_report(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
void moux_error_report_warning(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
void moux_error_report_note(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
void moux_error_report_debug(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
void moux_error_report_basic(MOE_ERROR_T *error, const char *header, const char *fmt, ...) noexcept
    MO_PRINTF(3, 4);

// Writes one report line "%-9s%s %s" (header, stamp, message) to standard error and flushes it.
void moux_error_write_line(MOE_ERROR_T *error, const char *header, const char *message) noexcept;

extern const MOE_ERROR_T moux_error_slots;
