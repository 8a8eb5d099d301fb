// Helpers shared by the source files of the standard list engine; not for other modules.
#pragma once
#include "stdlist/motsl_stdlist.h"

#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"

#include <string>
#include <vector>

namespace motsl_local {

inline MOE_ERROR_T *err(MOX_AUX_T *aux) noexcept {
    return aux->error;
}

inline MOTSL_TYPE_STORAGE_T *ts_of(MOT_TOP_STYPE_T *stype) noexcept {
    return static_cast<MOTSL_TYPE_STORAGE_T *>(stype->type_storage_ref);
}

inline MOTSL_STDLIST_KEYWORD_T *column_of(MOTC_COMMON_KEYWORD_T *common) noexcept {
    return static_cast<MOTSL_STDLIST_KEYWORD_T *>(common->type_keyword_ref);
}

inline MOTSL_HOOKS_T *hooks(MOX_AUX_T *aux) noexcept {
    return aux->list_hooks;
}
inline MOTSL_ACCESS_HOOKS_T *access_hooks(MOX_AUX_T *aux) noexcept {
    return aux->list_hooks != nullptr ? aux->list_hooks->access : nullptr;
}
inline MOTSL_ITEM_HOOKS_T *item_hooks(MOX_AUX_T *aux) noexcept {
    return aux->list_hooks != nullptr ? aux->list_hooks->item : nullptr;
}

// The lock operation of a stype (the registry's default when it has none).
int lock_file(MOT_TOP_STYPE_T *stype, int instruction, int *status) noexcept;

// The stype's current index and list ids, parsed from the type storage (0 when unset).
int current_index(MOT_TOP_STYPE_T *stype) noexcept;
int current_list(MOT_TOP_STYPE_T *stype) noexcept;

// Text copy in the request pool.
int store_req_string(MOX_AUX_T *aux, const std::string &text, const char **result) noexcept;

// Queues the end-of-request unbinding of the stype (once per request).
int request_scope(MOT_TOP_STYPE_T *stype) noexcept;
// Advanced at the end of every request: chains handed out since the last advance are kept.
unsigned long request_epoch() noexcept;

// The family's related stype by name, found in the stype's registry; NULL without report when absent.
MOT_TOP_STYPE_T *find_stype_quiet(MOT_TOP_STYPE_T *stype, const char *name) noexcept;

// Prepares an option or history list to keep its data in the current request.
int point_at_request_storage(MOT_TOP_STYPE_T *stype) noexcept;

// Guards the checks that walk up the folder tree: the same check of the same item nested inside
// itself means the parents form a loop.
struct ParentWalk {
    struct Step {
        int index_id, item_id, kind;
    };
    static std::vector<Step> path;
    MOX_AUX_T *aux;
    bool entered = false;
    explicit ParentWalk(MOX_AUX_T *a) noexcept : aux(a) {}
    // Fails with a report when the step is already on the path (or the path is absurdly deep).
    int enter(int index_id, int item_id, int kind) noexcept;
    ~ParentWalk() {
        if (entered)
            path.pop_back();
    }
    ParentWalk(const ParentWalk &) = delete;
    ParentWalk &operator=(const ParentWalk &) = delete;
};

} // namespace motsl_local
