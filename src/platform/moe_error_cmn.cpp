// Construction of the error service record.
#include "platform/moe_error_cmn.h"

int moe_error_construct(MOE_ERROR_T *error, const MOE_ERROR_T *slots) noexcept {
    error->init = slots->init;
    error->strcat_cmd = slots->strcat_cmd;
    error->report = slots->report;
    error->report_warning = slots->report_warning;
    error->report_note = slots->report_note;
    error->report_debug = slots->report_debug;
    error->report_basic = slots->report_basic;
    error->aux_ref = nullptr;
    return 0;
}
