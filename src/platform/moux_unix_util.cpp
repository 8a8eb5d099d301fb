// POSIX utility operations: who runs the program and where, the current time, and its texts.
#include "platform/moux_unix_util.h"
#include "platform/moe_error_cmn.h"
#include "entry/mol_low.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

const MOU_UTIL_T moux_util_slots = {
    .low = nullptr,
    .match_start = nullptr,
    .match_end = nullptr,
    .get_real_user_name = moux_util_get_real_user_name,
    .get_prog_user_name = moux_util_get_real_user_name,
    .local_machine_name = moux_util_local_machine_name,
    .user_machine_name = moux_util_local_machine_name,
    .get_process_id = moux_util_get_process_id,
    .match_string = mou_util_match_string,
    .match_string_nocase = mou_util_match_string_nocase,
    .get_current_datetime = moux_util_get_current_datetime,
    .set_timezone = moux_util_set_timezone,
    .datetime_to_fullstring = moux_util_datetime_to_fullstring,
    .fullstring_to_datetime = moux_util_fullstring_to_datetime,
    .time_elapsed_string = moux_util_get_time_elapsed_string,
    .modify_time = moux_util_modify_time,
    .time_subtract = mou_util_time_subtract,
    .time_add = mou_util_time_add,
    .is_time_greater = mou_util_is_time_greater,
    .safe_strcat = mou_util_safe_strcat,
    .safe_strcpy = mou_util_safe_strcpy,
};

static MOE_ERROR_T *util_error(MOU_UTIL_T *util) noexcept {
    return util->low->error;
}

// The name lives in a static buffer: the passwd entry is overwritten by the next lookup.
int moux_util_get_real_user_name(MOU_UTIL_T *, const char **name) noexcept {
    static mo_string_t user_name;
    uid_t uid = getuid();
    struct passwd pw;
    struct passwd *found = nullptr;
    char buf[4096];
    if (getpwuid_r(uid, &pw, buf, sizeof(buf), &found) == 0 && found != nullptr && found->pw_name != nullptr)
        snprintf(user_name, sizeof(user_name), "%s", found->pw_name);
    else // a user without a passwd entry (containers) is named by its number
        snprintf(user_name, sizeof(user_name), "%lu", static_cast<unsigned long>(uid));
    *name = user_name;
    return 0;
}

int moux_util_local_machine_name(MOU_UTIL_T *util, int, const char **name) noexcept {
    static char host_name[MO_STRING_LEN];
    if (gethostname(host_name, sizeof(host_name) - 1) != 0) {
        host_name[0] = '\0';
        *name = host_name;
        util_error(util)->report(util_error(util), "Can't get the host name : %s\n", strerror(errno));
        return 1;
    }
    host_name[sizeof(host_name) - 1] = '\0';
    *name = host_name;
    return 0;
}

int moux_util_get_process_id(MOU_UTIL_T *, char *buf) noexcept {
    snprintf(buf, MO_STRING_LEN, "%d", static_cast<int>(getpid()));
    return 0;
}

int moux_util_get_current_datetime(MOU_UTIL_T *, mou_datetime_t *now) noexcept {
    *now = time(nullptr);
    return 0;
}

int moux_util_set_timezone(MOU_UTIL_T *, const char *) noexcept {
    return 0;
}

int moux_util_datetime_to_fullstring(MOU_UTIL_T *util, mou_datetime_t when, int type, char *buf) noexcept {
    if (type != 0 && type != 1) {
        util_error(util)->report(util_error(util),
                                 "moux_util_datetime_to_fullstring format not reckonized %d\n", type);
        return 0;
    }
    time_t t = when;
    struct tm tmv;
    size_t n = 0;
    if (localtime_r(&t, &tmv) != nullptr) {
        if (type == 0)
            n = strftime(buf, MOU_TIME_TEXT_LEN, "%d %b %Y %H:%M", &tmv);
        else
            n = strftime(buf, MOU_TIME_TEXT_LEN, "%a, %d %b %Y %H:%M:%S %Z", &tmv);
    }
    if (n == 0)
        buf[0] = '\0';
    return 0;
}

int moux_util_fullstring_to_datetime(MOU_UTIL_T *util, const char *, mou_datetime_t *) noexcept {
    util_error(util)->report(util_error(util), "mou_longstring_to_datetime not implemented yet!\n");
    return 1;
}

// Every unit from the largest non-zero one down to the seconds is written. Days are counted within
// one year, as the daemon's uptime line has always shown them.
int moux_util_get_time_elapsed_string(MOU_UTIL_T *, long seconds, char *buf) noexcept {
    if (seconds < 0)
        seconds = 0;
    int days = static_cast<int>((seconds / 86400) % 365);
    int hours = static_cast<int>((seconds / 3600) % 24);
    int minutes = static_cast<int>((seconds / 60) % 60);
    int secs = static_cast<int>(seconds % 60);
    size_t len = 0;
    buf[0] = '\0';
    // Each unit is appended after what is already written, within the text buffer.
    auto advance = [&](int n) noexcept {
        if (n > 0)
            len += static_cast<size_t>(n);
        if (len >= MO_STRING_LEN)
            len = MO_STRING_LEN - 1;
    };
    if (days != 0)
        advance(snprintf(buf + len, MO_STRING_LEN - len, "%d days ", days));
    if (days != 0 || hours != 0)
        advance(snprintf(buf + len, MO_STRING_LEN - len, "%d hours ", hours));
    if (days != 0 || hours != 0 || minutes != 0)
        advance(snprintf(buf + len, MO_STRING_LEN - len, "%d minutes ", minutes));
    advance(snprintf(buf + len, MO_STRING_LEN - len, "%d secs", secs));
    return 0;
}

// The calendar fields are taken in universal time and put back as local time. The system decides
// whether daylight saving time applies at the result; forcing either answer moves the daily index
// hour by one for half of the year.
int moux_util_modify_time(MOU_UTIL_T *util, mou_datetime_t when, int hour, int minute, int second,
                          mou_datetime_t *result) noexcept {
    time_t t = when;
    struct tm tmv;
    if (gmtime_r(&t, &tmv) == nullptr) {
        util_error(util)->report(util_error(util), "Can't convert the time %lld\n",
                                 static_cast<long long>(when));
        return 1;
    }
    if (hour != -1)
        tmv.tm_hour = hour;
    if (minute != -1)
        tmv.tm_min = minute;
    if (second != -1)
        tmv.tm_sec = second;
    tmv.tm_isdst = -1;
    *result = mktime(&tmv);
    return 0;
}
