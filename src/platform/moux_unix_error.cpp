// POSIX error reporting: formats the report line with its local-time stamp and process id and writes
// it to standard error.
#include "platform/moux_unix_error.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

const MOE_ERROR_T moux_error_slots = {
    .header_done = FALSE,
    .in_error = FALSE,
    .ignore = FALSE,
    .cmd_name = "",
    .machine_name = "",
    .user_name = "",
    .warning_msg = "",
    .error_out_def = nullptr,
    .aux_ref = nullptr,
    .init = moux_error_init,
    .strcat_cmd = moux_error_strcat_cmd,
    .report = moux_error_report,
    .report_warning = moux_error_report_warning,
    .report_note = moux_error_report_note,
    .report_debug = moux_error_report_debug,
    .report_basic = moux_error_report_basic,
};

int moux_error_init(MOE_ERROR_T *error, MOOU_OUT_DEF_T *out_def, mo_boolean_t clear_warning) noexcept {
    error->header_done = FALSE;
    error->in_error = FALSE;
    error->ignore = FALSE;
    error->error_out_def = out_def;
    error->cmd_name[0] = '\0';
    error->machine_name[0] = '\0';
    error->user_name[0] = '\0';
    if (clear_warning)
        error->warning_msg[0] = '\0';
    return 0;
}

int moux_error_strcat_cmd(MOE_ERROR_T *error, const char *text) noexcept {
    size_t len = strlen(error->cmd_name);
    if (len > 0)
        snprintf(error->cmd_name + len, sizeof(error->cmd_name) - len, "_%s", text);
    else
        snprintf(error->cmd_name, sizeof(error->cmd_name), "%s", text);
    return 0;
}

void moux_error_write_line(MOE_ERROR_T *error, const char *header, const char *message) noexcept {
    char when[101];
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    if (strftime(when, sizeof(when), "%b, %d %Y %H:%M:%S %Z", &tmv) == 0)
        when[0] = '\0';
    char machine[MO_STRING_LEN + 4] = "";
    char user[MO_STRING_LEN + 4] = "";
    if (error->machine_name[0] != '\0')
        snprintf(machine, sizeof(machine), " [%s]", error->machine_name);
    if (error->user_name[0] != '\0')
        snprintf(user, sizeof(user), " [%s]", error->user_name);
    char stamp[2 * MO_STRING_LEN + 200];
    snprintf(stamp, sizeof(stamp), "[%s] [%5d]%s%s", when, static_cast<int>(getpid()), machine, user);
    size_t mlen = strlen(message);
    const char *nl = (mlen > 0 && message[mlen - 1] == '\n') ? "" : "\n";
    fprintf(stderr, "%-9s%s %s%s", header, stamp, message, nl);
    fflush(stderr);
}

static void format_text(mo_string_t out, const char *fmt, va_list ap) noexcept MO_PRINTF(2, 0);
static void format_text(mo_string_t out, const char *fmt, va_list ap) noexcept {
    if (vsnprintf(out, MO_STRING_LEN, fmt, ap) < 0)
        out[0] = '\0';
}

void moux_error_report(MOE_ERROR_T *error, const char *fmt, ...) noexcept {
    if (error->in_error || error->ignore)
        return;
    fflush(stdout);
    mo_string_t text;
    va_list ap;
    va_start(ap, fmt);
    format_text(text, fmt, ap);
    va_end(ap);
    mo_string_t message;
    if (error->cmd_name[0] != '\0')
        snprintf(message, sizeof(message), "%s: %s", error->cmd_name, text);
    else
        snprintf(message, sizeof(message), "init: %s", text);
    moux_error_write_line(error, "Error: ", message);
    error->in_error = FALSE;
}

void moux_error_report_warning(MOE_ERROR_T *error, const char *fmt, ...) noexcept {
    mo_string_t text;
    va_list ap;
    va_start(ap, fmt);
    format_text(text, fmt, ap);
    va_end(ap);
    size_t have = strlen(error->warning_msg);
    size_t add = strlen(text);
    if (have + add <= MOE_WARNING_KEEP)
        memcpy(error->warning_msg + have, text, add + 1);
    moux_error_write_line(error, "Warning: ", text);
}

void moux_error_report_note(MOE_ERROR_T *error, const char *fmt, ...) noexcept {
    mo_string_t text;
    va_list ap;
    va_start(ap, fmt);
    format_text(text, fmt, ap);
    va_end(ap);
    moux_error_write_line(error, "Note: ", text);
}

void moux_error_report_debug(MOE_ERROR_T *error, const char *fmt, ...) noexcept {
    mo_string_t text;
    va_list ap;
    va_start(ap, fmt);
    format_text(text, fmt, ap);
    va_end(ap);
    moux_error_write_line(error, "Debug: ", text);
}

void moux_error_report_basic(MOE_ERROR_T *error, const char *header, const char *fmt, ...) noexcept {
    mo_string_t text;
    va_list ap;
    va_start(ap, fmt);
    format_text(text, fmt, ap);
    va_end(ap);
    moux_error_write_line(error, header, text);
}
