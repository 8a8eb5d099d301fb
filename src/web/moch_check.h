// Form field checks of a web request: per field, the value the user last entered and a warning about
// it, so that a form shown again after a failed submission comes pre-filled and marks faulty fields.
#pragma once
#include "mo_std.h"

struct MOCH_CHECK_LIST_T {
    char *key;               // field name
    char *warning;           // warning about the field, or NULL
    char *previous;          // value last entered, or NULL
    MOCH_CHECK_LIST_T *next; // next field; new entries go in front
};
typedef struct MOCH_CHECK_LIST_T moch_check_list_t;

struct MOCH_CHECK_T {
    // Opens the table cell of a field: plain, or orange with the warning above the field.
    int (*insert_check_cell)(MOCH_CHECK_T *check, MOOU_OUT_DEF_T *out_def, const char *key) noexcept;
    // The previous value, or "" when none was recorded.
    int (*get_previous)(MOCH_CHECK_T *check, const char *key, const char **previous) noexcept;
    // The previous value and the warning, each NULL when not recorded.
    int (*get_check)(MOCH_CHECK_T *check, const char *key, const char **previous,
                     const char **warning) noexcept;
    // Records a warning formatted into at most 1023 characters.
    int (*set_warning)(MOCH_CHECK_T *check, const char *key, const char *format, ...) noexcept
        MO_PRINTF(3, 4);
    int (*set_previous)(MOCH_CHECK_T *check, const char *key, const char *previous) noexcept;
    MOCH_CHECK_LIST_T *check_list; // the fields, newest first
    void *pool_ref;                // where entries and texts are allocated
    MOX_AUX_T *aux;                // the service bundle
};
typedef struct MOCH_CHECK_T moch_check_t;

int moch_check_construct(MOCH_CHECK_T **check_ptr, void *pool_ref, MOX_AUX_T *aux) noexcept;
// Records a field's previous value and/or warning; a NULL part is left as it was.
int moco_set_check(MOCH_CHECK_T *check, const char *key, const char *previous, const char *warning) noexcept;
