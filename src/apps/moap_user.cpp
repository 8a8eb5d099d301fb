// The example storage type "user". Its list takes the four list arguments like every list; with list
// id 0 only the type itself may be named, since there is no folder to allow others.
#include "apps/moap_user.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

#include <cstdio>
#include <cstring>

namespace {

int user_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/examples/0", stype->aux->setup->lib_dir);
}

int user_init_stype(MOT_TOP_STYPE_T **stype_ptr, mo_boolean_t use_args,
                    MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    if (!use_args)
        return 0;
    const MOT_TOP_ARG_LIST_T *a = *arg_list_ptr;
    const char *list = nullptr;
    const char *name = nullptr;
    for (int i = 0; a != nullptr && i < 4; i++, a = a->next) {
        if (i == 1)
            list = a->val;
        if (i == 3)
            name = a->val;
    }
    MOX_AUX_T *aux = (*stype_ptr)->aux;
    if (list != nullptr && name != nullptr && strcmp(list, "0") == 0 &&
        strcmp(name, (*stype_ptr)->name) != 0) {
        aux->error->report(aux->error, "Only certain stypes are allowed access with a 0 list_id\n");
        return 1;
    }
    return motsl_init_stype_default(stype_ptr, use_args, arg_list_ptr);
}

int page_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    int ret = stype->http_call_start(stype, "blank", "N", call_string);
    if (ret != 0)
        return ret;
    size_t len = strlen(call_string);
    if (len + 5 >= MO_STRING_LEN) {
        call_string[0] = '\0';
        stype->aux->error->report(stype->aux->error, "The link to %s is too long\n", stype->name);
        return 1;
    }
    snprintf(call_string + len, MO_STRING_LEN - len, "&page");
    return 0;
}

int page_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *req,
                 MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    char url[2 * MO_STRING_LEN];
    const char *target = aux->setup->user_tab_content_url;
    moap_user_escape_js(target != nullptr ? target : "", url, sizeof(url));
    int ret = mow_web_header_blank(aux, out_def, "user", "", "N", req->out_cookie, nullptr);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def, " <script language=\"Javascript\"> \n<!-- \n      location='%s'; \n//--> \n</script> \n",
            url);
    if (ret == 0)
        ret = mow_web_footer_blank(aux, out_def);
    return ret;
}

const MOTSL_COLUMN_DEF_T user_columns[] = {
    {.keyword = "N",
     .struct_offset = offsetof(MOAP_USER_T, name),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Example Name",
     .type_vector = 0x23,
     .default_filter_fn = motsl_filter_string},
};

} // namespace

void moap_user_escape_js(const char *text, char *out, size_t size) noexcept {
    static const char hex[] = "0123456789abcdef";
    size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; p++) {
        char esc[5];
        size_t len = 0;
        if (*p == '\'' || *p == '"' || *p == '\\' || *p == '<' || *p == '>' || *p == '&' || *p < 0x20) {
            esc[0] = '\\';
            esc[1] = 'x';
            esc[2] = hex[*p >> 4];
            esc[3] = hex[*p & 15];
            len = 4;
        } else {
            esc[0] = static_cast<char>(*p);
            len = 1;
        }
        if (n + len + 1 > size)
            break; // a cut address is still a safe one
        memcpy(out + n, esc, len);
        n += len;
    }
    if (size > 0)
        out[n] = '\0';
}

int moap_user_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOX_AUX_T *aux = session->aux;
    void *pool = aux->mem->session_pool_ref;
    MOT_TOP_STYPE_DEF_T def = motsl_stype_def_main;
    def.name = "user";
    def.id = 0;
    def.help = "Example";
    def.init_stype = user_init_stype;
    def.assign_access_fn = motsl_access_everyone;
    def.lock_element_string = "Example ID Number";
    def.lock_file_string = "Example Data";
    def.init_filename = user_filename;
    MOT_TOP_STYPE_T *stype = nullptr;
    mo_boolean_t is_new = FALSE;
    int ret = mot_top_register_stype_def(aux, &session->storage.stype_list, pool, &def, &stype);
    if (ret == 0)
        ret = motsl_stype_storage_init(session, stype, "user", &is_new);
    if (ret == 0)
        ret = is_new ? motsl_register_columns(stype, sizeof(MOAP_USER_T), user_columns, 1, nullptr, nullptr)
                     : motsl_share_columns(stype);
    if (ret == 0)
        ret = motsl_type_storage_register(stype, pool, motsl_stdlist_get_new_id, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr);
    if (ret == 0)
        ret = mow_web_init_storage(stype, pool, nullptr);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool, "page", 0, 0, page_call, mow_cmd_access_all, page_service);
    return ret;
}
