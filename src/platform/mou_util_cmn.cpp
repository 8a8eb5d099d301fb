// The platform-independent half of the utility service: construction, text matching, time
// arithmetic and the bounded copies every module uses for its fixed buffers.
#include "platform/mou_util_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"

#include <cstdint>
#include <cstring>

int mou_util_construct(MOU_UTIL_T **util, MOL_LOW_T *low, const MOU_UTIL_T *slots) noexcept {
    int ret = mome_new(low->mem, low->mem->session_pool_ref, util);
    if (ret != 0)
        return ret;
    MOU_UTIL_T *u = *util;
    *u = *slots;
    u->low = low;
    u->match_start = nullptr;
    u->match_end = nullptr;
    return 0;
}

mo_boolean_t mou_util_match_string(MOU_UTIL_T *util, const char *input, const char *search) noexcept {
    if (input == nullptr || search == nullptr)
        return FALSE;
    const char *found = strstr(input, search);
    if (found == nullptr)
        return FALSE;
    if (util != nullptr) {
        util->match_start = found;
        util->match_end = found + strlen(search);
    }
    return TRUE;
}

static inline char fold_ascii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// One pass over the input. A mismatch restarts the pattern without comparing the mismatching
// character with the pattern's first one again, so "ab" is not found in "aab"; callers have always
// seen this behaviour and the search pages depend on it being the same everywhere.
mo_boolean_t mou_util_match_string_nocase(MOU_UTIL_T *util, const char *input, const char *search) noexcept {
    if (input == nullptr || search == nullptr)
        return FALSE;
    if (search[0] == '\0') {
        if (util != nullptr) {
            util->match_start = input;
            util->match_end = input;
        }
        return TRUE;
    }
    const char *start = nullptr;
    size_t p = 0;
    for (const char *c = input; *c != '\0'; c++) {
        if (fold_ascii(*c) == fold_ascii(search[p])) {
            if (p == 0)
                start = c;
            p++;
            if (search[p] == '\0') {
                if (util != nullptr) {
                    util->match_start = start;
                    util->match_end = c + 1;
                }
                return TRUE;
            }
        } else {
            p = 0;
            start = nullptr;
        }
    }
    return FALSE;
}

mou_datetime_t mou_util_time_subtract(MOU_UTIL_T *, mou_datetime_t a, mou_datetime_t b) noexcept {
    return a - b;
}

mou_datetime_t mou_util_time_add(MOU_UTIL_T *, mou_datetime_t a, mou_datetime_t b) noexcept {
    return a + b;
}

mo_boolean_t mou_util_is_time_greater(MOU_UTIL_T *, mou_datetime_t a, mou_datetime_t b) noexcept {
    return static_cast<uint64_t>(a) > static_cast<uint64_t>(b) ? TRUE : FALSE;
}

// Copies as much of src as fits, always terminating within capacity. Overlapping texts are allowed.
int mou_util_safe_strcpy(MOU_UTIL_T *, char *dest, const char *src, size_t capacity) noexcept {
    if (dest == nullptr || capacity == 0)
        return 0;
    if (src == nullptr) {
        dest[0] = '\0';
        return 0;
    }
    size_t len = strnlen(src, capacity - 1);
    memmove(dest, src, len);
    dest[len] = '\0';
    return 0;
}

// Appends as much of src as fits after the text already in dest, within capacity. A dest without
// a terminator inside capacity is cut at its last byte first.
int mou_util_safe_strcat(MOU_UTIL_T *, char *dest, const char *src, size_t capacity) noexcept {
    if (dest == nullptr || capacity == 0)
        return 0;
    size_t have = strnlen(dest, capacity);
    if (have >= capacity) {
        dest[capacity - 1] = '\0';
        return 0;
    }
    if (src == nullptr)
        return 0;
    size_t room = capacity - 1 - have;
    size_t len = strnlen(src, room);
    memmove(dest + have, src, len);
    dest[have + len] = '\0';
    return 0;
}
