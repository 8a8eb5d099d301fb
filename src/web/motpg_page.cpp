// Storage-type operations of page types: one record read and written through the standard list,
// reached by a link that names no folder.
#include "web/motpg_page.h"

#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"

namespace {

MOE_ERROR_T *err_of(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->aux->error;
}

const char *const position_args[] = {"index", "list_id", "row", "stype"};

} // namespace

int motpg_init_stype_default(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                             MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    if (use_args) {
        for (const char *what : position_args) {
            if (arg_list_ptr == nullptr || *arg_list_ptr == nullptr) {
                err_of(stype)->report(err_of(stype), "Can't find any %s argument\n", what);
                return 1;
            }
            int ret = mot_advance_next_arg(stype->aux, arg_list_ptr);
            if (ret != 0)
                return ret;
        }
    }
    return motsl_set_position(stype, 0, 0, 0);
}

int motpg_init_data(MOT_TOP_STYPE_T *stype, void *data_record) noexcept {
    return motsl_stdlist_init_data(stype, data_record);
}

int motpg_page_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    return motsl_stdlist_read_data_basic(stype, FALSE, TRUE, first);
}

int motpg_page_write_data(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_stdlist_write_data(stype);
}

int motpg_applic_init_web(MOT_TOP_REQ_T *req, MOT_TOP_STYPE_T **stype_ptr) noexcept {
    return motsl_applic_init_web(req, stype_ptr);
}

int motpg_http_call_start(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                          char *string) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_WEB_HOOKS_T *web = aux->list_hooks != nullptr ? aux->list_hooks->web : nullptr;
    const char *frame = web != nullptr ? web->current_frame(web) : "";
    const char *dir_type = web != nullptr ? web->current_dir_type(web) : "";
    return mot_top_http_call_start_args(stype, frame != nullptr && frame[0] != '\0' ? frame : "content",
                                        dir_type != nullptr && dir_type[0] != '\0' ? dir_type : "setup",
                                        display, trail, string);
}

int motpg_page_record(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *first, MOK_DATA_RECORD_T **record) noexcept {
    *record = first;
    if (first == nullptr) {
        err_of(stype)->report(err_of(stype), "The page %s holds no record\n", stype->name);
        return 1;
    }
    return 0;
}
