// The error service: every failure, warning, note and debug line of the system goes through it,
// one line on standard error with a header, a stamp and the message.
#pragma once
#include "mo_std.h"

#define MOE_WARNING_LEN 4096
#define MOE_WARNING_KEEP 4094 // warnings are kept while the store stays within this many characters

struct MOE_ERROR_T {
    mo_boolean_t header_done;          // cleared by init; used by the web variant
    mo_boolean_t in_error;             // while TRUE report writes nothing
    mo_boolean_t ignore;               // while TRUE report writes nothing (warnings still do)
    mo_string_t cmd_name;              // prefix of every error, grown by strcat_cmd
    mo_string_t machine_name;          // remote machine of the web request, empty when unknown
    mo_string_t user_name;             // user of the web request, empty when unknown
    char warning_msg[MOE_WARNING_LEN]; // every warning text of the request, concatenated
    MOOU_OUT_DEF_T *error_out_def;     // page output of the web variant; NULL on the command line
    MOX_AUX_T *aux_ref;                // back pointer to the full bundle

    int (*init)(MOE_ERROR_T *error, MOOU_OUT_DEF_T *out_def, mo_boolean_t clear_warning) noexcept;
    int (*strcat_cmd)(MOE_ERROR_T *error, const char *text) noexcept;
    void (*report)(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
    void (*report_warning)(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
    void (*report_note)(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
    void (*report_debug)(MOE_ERROR_T *error, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
    void (*report_basic)(MOE_ERROR_T *error, const char *header, const char *fmt, ...) noexcept
        MO_PRINTF(3, 4);
};

// Silences the error reports (not the warnings) for the scope of the guard, then restores what was
// set before: for a step whose failure would only repeat one already reported.
class MoeQuiet {
public:
    explicit MoeQuiet(MOE_ERROR_T *error) noexcept : error_(error), saved_(error->ignore) {
        error->ignore = TRUE;
    }
    ~MoeQuiet() { error_->ignore = saved_; }
    MoeQuiet(const MoeQuiet &) = delete;
    MoeQuiet &operator=(const MoeQuiet &) = delete;

private:
    MOE_ERROR_T *error_;
    mo_boolean_t saved_;
};

// Fills the static error record from the slot template (every slot), with no bundle yet.
int moe_error_construct(MOE_ERROR_T *error, const MOE_ERROR_T *slots) noexcept;
