// Construction of the error service record.
#include "platform/moe_error_cmn.h"

int moe_error_construct(MOE_ERROR_T *error, const MOE_ERROR_T *slots) noexcept {
    // Every slot from the template, including ones added later; then the state.
    *error = *slots;
    error->aux_ref = nullptr;
    return 0;
}
