// One process of the system for the tests of the user and group lists: the real bundle built as the
// program builds itself, the setup of a throwaway installation, a connection to its real daemon, and
// every application registered (so the access service is the real one). Requests are begun and ended
// as the server module does it.
#pragma once

#include "apps/moa_access_cmn.h"
#include "apps/moap_groups.h"
#include "apps/moap_passwd.h"
#include "daemon/mod_daemon_cmn.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "support/files.h"
#include "support/install.h"
#include "e2e_users.h"
#include "entry/mog_gen.h"
#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix.h"
#include "stdlist/motsl_stdlist.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"

#include <cstdarg>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace login_test {

// The name init_user_id asks for: the logged-in user of the test's request.
inline std::string &current_name() {
    static std::string name;
    return name;
}
inline int test_user_name(MOU_UTIL_T *, const char **name) noexcept {
    *name = current_name().c_str();
    return 0;
}

// An output definition that collects what a cell writes.
struct Capture;
inline int capture_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
struct Capture {
    MOOU_OUT_DEF_T out{};
    std::string text;
    Capture() {
        out.out_ref = this;
        out.line_fn = capture_line;
    }
};
inline int capture_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept {
    char buf[8192];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    static_cast<Capture *>(o->out_ref)->text += buf;
    return 0;
}

struct SystemProc {
    MOX_AUX_T *aux = nullptr;
    MOT_TOP_SESSION_T *session = nullptr;
    MOT_TOP_REQ_T *req = nullptr;
    MOCL_CLEANUP_T *always = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    bool ok = false;

    SystemProc(const mot_test::Installation &inst) {
        int ret = moux_unix_construct(&aux, nullptr);
        if (ret == 0)
            ret = mow_construct_web(&aux->web, aux->interm, mow_send_content_type, mow_web_get_user_agent,
                                    mow_parse_multipart_form);
        if (ret == 0)
            ret = mot_top_construct_session(&session, aux);
        if (ret == 0) {
            mocl_cleanup_new(&always, nullptr, aux->mem, aux->signal, "Request-Always");
            mocl_cleanup_new(&fatal, nullptr, aux->mem, aux->signal, "Request-Fatal");
            always->stop_print(always);
            fatal->stop_print(fatal);
            ret = aux->file->init(aux->file, nullptr, always, aux->setup->exec_dir, aux->process);
        }
        if (ret == 0)
            ret = aux->setup->init_paths(aux->setup, inst.home.c_str());
        if (ret == 0)
            ret = aux->setup->load_setup_file(aux->setup, aux);
        if (ret == 0)
            ret = aux->daemon->client_init(aux->daemon, nullptr, aux->setup->server_port);
        mo_string_t error_string = "";
        if (ret == 0)
            ret = aux->daemon->client_start(aux->daemon, fatal, error_string);
        if (ret == 0 && error_string[0] != '\0')
            ret = 1;
        if (ret == 0)
            ret = aux->req->lock_call->init(aux->req->lock_call, "test_process", "testhost", "", getpid(),
                                            fatal);
        if (ret == 0)
            ret = mog_gen_construct(session);
        if (ret == 0)
            ret = mot_top_construct_req(&req, aux);
        if (ret == 0)
            aux->util->get_real_user_name = test_user_name;
        ok = ret == 0;
    }

    // The start of a request as the module makes it: the static lists, then the user list, and, when
    // a user is named, who they are and the group list.
    int begin(const std::string &user = "") {
        current_name() = user;
        aux->access->current_user_id = -1;
        int ret = mot_top_init_static_stypes(aux, session->storage.stype_list, req);
        if (ret == 0)
            ret = aux->access->init_user_array(aux->access, session);
        if (ret == 0)
            ret = aux->access->init_group_array(aux->access, session);
        if (ret == 0 && !user.empty())
            ret = aux->access->init_user_id(aux->access);
        return ret;
    }
    void end() { always->run(always); }

    MOT_TOP_STYPE_T *stype(const char *name) {
        MOT_TOP_STYPE_T *s = nullptr;
        mot_top_find_stype(session->storage.stype_list, aux, name, &s);
        return s;
    }
    // The rows of a list for the current request, with the access flags worked out.
    MOK_DATA_RECORD_T *rows(MOT_TOP_STYPE_T *s) {
        MOK_DATA_RECORD_T *first = nullptr;
        if (motsl_set_position(s, 0, 0, 0) != 0 || s->init_struct(s, req, FALSE) != 0 ||
            s->read_data(s, &first) != 0 || s->init_data(s, first) != 0)
            return nullptr;
        return first;
    }
    MOTSL_STDLIST_KEYWORD_T *column(MOT_TOP_STYPE_T *s, const char *keyword) {
        MOTSL_STDLIST_KEYWORD_T *c = nullptr;
        motsl_find_column(s, keyword, &c);
        return c;
    }

    ~SystemProc() {
        if (ok)
            aux->daemon->client_end(aux->daemon);
        if (fatal != nullptr)
            fatal->run(fatal);
        if (always != nullptr)
            always->run(always);
    }
    SystemProc(const SystemProc &) = delete;
    SystemProc &operator=(const SystemProc &) = delete;
};

inline MOAP_PASSWD_T *user_of(MOK_DATA_RECORD_T *r) {
    return static_cast<MOAP_PASSWD_T *>(r->container);
}

inline MOK_DATA_RECORD_T *find_user(MOK_DATA_RECORD_T *rows, const std::string &name) {
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next)
        if (user_of(r)->user_name != nullptr && name == user_of(r)->user_name)
            return r;
    return nullptr;
}

inline long long mtime_of(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec : 0;
}

} // namespace login_test
