// One process of the system as far as the item and file types need it: the real services, a client
// connection to a real lock daemon, a session with the two families registered as the program
// registers them, and the item service. The super-user question goes to a small access hook.
#pragma once

#include "apps/moap_ftype.h"
#include "apps/moap_itype.h"
#include "apps/moit_item_cmn.h"
#include "daemon/molk_lock.h"
#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "storage/moil_idlist.h"
#include "storage/mok_key.h"
#include "storage/momk_mark.h"
#include "storage/mot_top.h"
#include "support/bundle.h"
#include "support/daemon.h"
#include "support/files.h"
#include "support/util.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

namespace tt {

// An output definition that collects what is written.
inline int collect_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
struct Out {
    MOOU_OUT_DEF_T def{};
    std::string text;
    Out() {
        def.out_ref = this;
        def.line_fn = collect_line;
    }
};
inline int collect_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept {
    char buf[8192];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    static_cast<Out *>(o->out_ref)->text += buf;
    return 0;
}

struct Proc {
    mot_test::Bundle b{mot_test::BundleOptions{.init_process = true}};
    MOX_AUX_T *aux = b.aux;
    MOT_TOP_SESSION_T *session = nullptr;
    MOT_TOP_REQ_T *req = nullptr;
    MOTSL_HOOKS_T hooks{};
    MOTSL_ACCESS_HOOKS_T access{};
    int user = -1;
    int privilege = MOTSL_PRIV_NORMAL;
    MOIT_ITEM_T *item = nullptr;
    int registered = 1;

    explicit Proc(const std::string &home) {
        MOST_SETUP_T *setup = aux->setup;
        snprintf(setup->lib_dir, sizeof(setup->lib_dir), "%s/lib", home.c_str());
        snprintf(setup->user_default_dir, sizeof(setup->user_default_dir), "%s/user_defaults", home.c_str());
        snprintf(setup->httpd_image_loc, sizeof(setup->httpd_image_loc), "/images/");
        snprintf(setup->exec_dir, sizeof(setup->exec_dir), "/bin");
        aux->file->exec_dir = setup->exec_dir;
        access.ref = this;
        access.current_user_id = [](MOTSL_ACCESS_HOOKS_T *h, int *u) noexcept {
            *u = static_cast<Proc *>(h->ref)->user;
            return 0;
        };
        access.get_privilege = [](MOTSL_ACCESS_HOOKS_T *h, int, int *p) noexcept {
            *p = static_cast<Proc *>(h->ref)->privilege;
            return 0;
        };
        hooks.access = &access;
        aux->list_hooks = &hooks;
        mot_top_construct_session(&session, aux);
        mot_top_construct_req(&req, aux);
        registered = b.status;
        if (registered == 0)
            registered = moap_ftype_construct(session);
        if (registered == 0)
            registered = moap_itype_construct(session);
        if (registered == 0)
            registered = moap_ftype_setup(session);
        if (registered == 0)
            registered = moap_itype_setup(session);
        const MOIT_ITEM_OPS_T ops = {.init_litem_array = nullptr,
                                     .init_itype_array = moap_itype_init_itype_array,
                                     .init_ftype_array = moap_ftype_init_ftype_array,
                                     .get_litem_data_props = nullptr};
        if (registered == 0)
            registered = moit_construct_item(&item, aux, MOIT_INDEX_COUNT, &ops);
        aux->item = item;
    }
    Proc(const Proc &) = delete;
    Proc &operator=(const Proc &) = delete;

    bool connect(const std::string &port, int sender = 0) {
        return b.connect(port, mot_test::ConnectOptions{.machine = "testhost", .sender_id = sender}).empty();
    }

    MOT_TOP_STYPE_T *stype(const char *name) {
        MOT_TOP_STYPE_T *s = nullptr;
        mot_top_find_stype(session->storage.stype_list, aux, name, &s);
        return s;
    }

    // What the per-request refresh does with the item service.
    int load() {
        int ret = mot_top_init_static_stypes(aux, session->storage.stype_list, req);
        if (ret == 0)
            ret = item->init_ftype_array(item, session);
        if (ret == 0)
            ret = item->init_itype_array(item, session);
        return ret;
    }
    // The end of a request.
    void end_request() { b.always->run(b.always); }

    // Is the write lock of the list's file held by this process?
    bool write_held(const char *name) {
        MOT_TOP_STYPE_T *s = stype(name);
        int held = 0;
        if (s == nullptr || s->lock_file(s, MOLK_FILE_WRITE_HELD, &held) != 0)
            return false;
        return held != 0;
    }

    std::vector<MOAP_ITYPE_T *> itypes() {
        std::vector<MOAP_ITYPE_T *> out;
        auto *cell = static_cast<MOT_TOP_STORAGE_T *>(item->itype_ref);
        auto *data = cell != nullptr ? static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref) : nullptr;
        for (MOK_DATA_RECORD_T *r = data != nullptr ? data->data_record : nullptr; r != nullptr; r = r->next)
            out.push_back(static_cast<MOAP_ITYPE_T *>(r->container));
        return out;
    }
    std::vector<MOAP_FTYPE_T *> ftypes() {
        std::vector<MOAP_FTYPE_T *> out;
        auto *cell = static_cast<MOT_TOP_STORAGE_T *>(item->ftype_ref);
        auto *data = cell != nullptr ? static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref) : nullptr;
        for (MOK_DATA_RECORD_T *r = data != nullptr ? data->data_record : nullptr; r != nullptr; r = r->next)
            out.push_back(static_cast<MOAP_FTYPE_T *>(r->container));
        return out;
    }
    int itype_id(int kind, int origin) {
        int id = 0;
        return moap_itype_find_sys_id(item, kind, origin, &id) == 0 ? id : -1;
    }
};

inline std::vector<int> ids_of(const MOIL_IDLIST_T *l) {
    std::vector<int> out;
    for (; l != nullptr; l = l->next)
        out.push_back(l->id);
    return out;
}

} // namespace tt
