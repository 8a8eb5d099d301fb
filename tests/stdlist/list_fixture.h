// The list engine under test: a small content type ("tnote": title, body, status, priority, owners)
// registered as a full family, run by processes that each hold the real services and their own
// client connection to a real lock daemon (a forked server loop on its own socket). The access
// service and the folder tree, built later, are fakes installed through the engine's hooks.
#pragma once

#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/moim_interm.h"
#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "platform/moux_unix_util.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "storage/moil_idlist.h"
#include "storage/mot_top.h"
#include "support/bundle.h"
#include "support/daemon.h"
#include "support/files.h"
#include "support/util.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tl {

// The element record of the test content type.
struct TNOTE_T {
    int32_t id;
    int32_t new_;
    int32_t delete_status;
    char *title;
    MOK_MULTI_LINE_T *body;
    int32_t status;
    int32_t priority;
    MOIL_IDLIST_T *owners;
};

inline const MOTSL_DISPLAY_OPTIONS_T status_options[] = {
    {.number = 1, .string = "Open", .color_index = 1, .choose_access_fn = nullptr},
    {.number = 2, .string = "Closed", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 9, .string = "Escalated", .color_index = 2, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

inline int tnote_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/tnote/0", stype->aux->setup->lib_dir);
}

inline const MOTSL_COLUMN_DEF_T tnote_columns[] = {
    {.keyword = "T",
     .struct_offset = offsetof(TNOTE_T, title),
     .init_ref = "Untitled",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Title",
     .help_string = "What the note is about",
     .type_vector = MOTSL_TV_MATCH | MOTSL_TV_FILTER | MOTSL_TV_SORTABLE | MOTSL_TV_TITLE | MOTSL_TV_SORT_ASC,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "B",
     .struct_offset = offsetof(TNOTE_T, body),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_multi_line,
     .user_name = "Body",
     .type_vector = MOTSL_TV_MATCH | MOTSL_TV_ADVANCED_COL},
    {.keyword = "S",
     .struct_offset = offsetof(TNOTE_T, status),
     .init_ref = mok_int_ref(1),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "Status",
     .display_ref = status_options,
     .type_vector = MOTSL_TV_FILTER | MOTSL_TV_SORTABLE,
     .default_filter_fn = motsl_filter_option},
    {.keyword = "P",
     .struct_offset = offsetof(TNOTE_T, priority),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "Priority",
     .type_vector = MOTSL_TV_SORTABLE | MOTSL_TV_HISTORY_BRIEF,
     .default_filter_fn = motsl_filter_integer},
    {.keyword = "O",
     .struct_offset = offsetof(TNOTE_T, owners),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_idlist_direct,
     .user_name = "Owners",
     .type_vector = 0},
};

inline const MOTSL_FAMILY_DEF_T tnote_family = {
    .name = "tnote",
    .main_id = 1,
    .deleted_id = 2,
    .useropt_id = 3,
    .history_id = 4,
    .history_useropt_id = 5,
    .help = "Active Tnote Entries",
    .deleted_help = "Deleted Tnote Entries",
    .useropt_help = "Tnote user options",
    .history_help = "History of the tnote entries",
    .history_useropt_help = "Tnote history user options",
    .lock_element_string = "Tnote ID Number",
    .lock_file_string = "Tnote Data",
    .access_fn = motsl_access_super_super,
    .size_of_element = sizeof(TNOTE_T),
    .columns = tnote_columns,
    .column_count = static_cast<int>(sizeof(tnote_columns) / sizeof(tnote_columns[0])),
    .init_filename = tnote_filename,
    .mark_constant = "tnote/mark",
};

// ---------------------------------------------------------------- fakes of the later services

struct FakeAccess {
    MOTSL_ACCESS_HOOKS_T hooks{};
    int current = -1;
    std::map<int, int> privilege;           // user -> level (absent: 40)
    std::map<int, std::vector<int>> groups; // user -> group ids
    std::set<int> deleted_groups;
    std::map<int, int> log_option; // user -> 1, 2 or 3 (absent: 1)
    std::map<int, std::vector<MOIL_IDLIST_T>> group_lists;

    FakeAccess() {
        hooks.ref = this;
        hooks.current_user_id = [](MOTSL_ACCESS_HOOKS_T *h, int *u) noexcept {
            *u = self(h)->current;
            return 0;
        };
        hooks.get_privilege = [](MOTSL_ACCESS_HOOKS_T *h, int u, int *p) noexcept {
            auto it = self(h)->privilege.find(u);
            *p = it != self(h)->privilege.end() ? it->second : MOTSL_PRIV_NORMAL;
            return 0;
        };
        hooks.get_users_group_idlist = [](MOTSL_ACCESS_HOOKS_T *h, int u, MOIL_IDLIST_T **out) noexcept {
            FakeAccess *f = self(h);
            auto &nodes = f->group_lists[u];
            nodes.clear();
            for (int g : f->groups[u])
                nodes.push_back({g, nullptr});
            for (size_t i = 0; i + 1 < nodes.size(); i++)
                nodes[i].next = &nodes[i + 1];
            *out = nodes.empty() ? nullptr : &nodes[0];
            return 0;
        };
        hooks.get_group_deleted = [](MOTSL_ACCESS_HOOKS_T *h, int g, mo_boolean_t *d) noexcept {
            *d = self(h)->deleted_groups.count(g) != 0 ? TRUE : FALSE;
            return 0;
        };
        hooks.get_log_option = [](MOTSL_ACCESS_HOOKS_T *h, int u, int *o) noexcept {
            auto it = self(h)->log_option.find(u);
            *o = it != self(h)->log_option.end() ? it->second : MOTSL_LOG_ALL;
            return 0;
        };
    }
    static FakeAccess *self(MOTSL_ACCESS_HOOKS_T *h) { return static_cast<FakeAccess *>(h->ref); }
};

// A folder tree: items with a parent, a name, an access definition and three access lists.
struct FakeItem {
    int parent = 0;
    std::string name;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    MOIL_ACCESSLIST_T lists[3]{}; // view, edit, lib
    std::vector<MOIL_IDLIST_T> nodes[6];
    std::string graphic = "folder.gif";
    std::string default_stype = "tnote";
    std::string allowed = "tnote, tnote_deleted";
};

struct FakeTree {
    MOTSL_ITEM_HOOKS_T hooks{};
    std::map<int, FakeItem> items;
    int calls = 0;

    FakeTree() {
        hooks.ref = this;
        hooks.get_parent_id = [](MOTSL_ITEM_HOOKS_T *h, int, int id, int *p) noexcept {
            FakeItem *it = find(h, id);
            *p = it != nullptr ? it->parent : 0;
            return it != nullptr ? 0 : 1;
        };
        hooks.get_access_def = [](MOTSL_ITEM_HOOKS_T *h, int, int id, MOTSL_ACCESS_DEF_T **d) noexcept {
            FakeItem *it = find(h, id);
            *d = it != nullptr ? it->def : nullptr;
            return it != nullptr ? 0 : 1;
        };
        hooks.get_access_list = [](MOTSL_ITEM_HOOKS_T *h, int, int id, int level,
                                   MOIL_ACCESSLIST_T **l) noexcept {
            FakeItem *it = find(h, id);
            if (it == nullptr)
                return 1;
            *l = &it->lists[level == MOTSL_ACCESS_VIEW ? 0 : level == MOTSL_ACCESS_EDIT ? 1 : 2];
            return 0;
        };
        hooks.get_name = [](MOTSL_ITEM_HOOKS_T *h, int, int id, const char **n) noexcept {
            FakeItem *it = find(h, id);
            *n = it != nullptr ? it->name.c_str() : "Not-Defined";
            return 0;
        };
        hooks.get_graphic = [](MOTSL_ITEM_HOOKS_T *h, int, int id, const char **g) noexcept {
            FakeItem *it = find(h, id);
            *g = it != nullptr ? it->graphic.c_str() : "";
            return 0;
        };
        hooks.get_default_stype = [](MOTSL_ITEM_HOOKS_T *h, int, int id, const char **s) noexcept {
            FakeItem *it = find(h, id);
            *s = it != nullptr ? it->default_stype.c_str() : "";
            return 0;
        };
        hooks.get_allowed_stypes = [](MOTSL_ITEM_HOOKS_T *h, int, int id, const char **s) noexcept {
            FakeItem *it = find(h, id);
            *s = it != nullptr ? it->allowed.c_str() : "";
            return 0;
        };
        hooks.get_max_item_id = [](MOTSL_ITEM_HOOKS_T *h, int, int *m) noexcept {
            auto *t = static_cast<FakeTree *>(h->ref);
            *m = t->items.empty() ? 0 : t->items.rbegin()->first;
            return 0;
        };
    }
    static FakeItem *find(MOTSL_ITEM_HOOKS_T *h, int id) {
        auto *t = static_cast<FakeTree *>(h->ref);
        t->calls++;
        auto it = t->items.find(id);
        return it != t->items.end() ? &it->second : nullptr;
    }
    // Sets an item's list of one level (0 view, 1 edit, 2 lib): users, groups, inherit.
    void set_list(int id, int level, std::vector<int> users, std::vector<int> groups, bool use_parent) {
        FakeItem &it = items[id];
        auto &un = it.nodes[level * 2];
        auto &gn = it.nodes[level * 2 + 1];
        un.clear();
        gn.clear();
        for (int u : users)
            un.push_back({u, nullptr});
        for (int g : groups)
            gn.push_back({g, nullptr});
        for (size_t i = 0; i + 1 < un.size(); i++)
            un[i].next = &un[i + 1];
        for (size_t i = 0; i + 1 < gn.size(); i++)
            gn[i].next = &gn[i + 1];
        it.lists[level].user = un.empty() ? nullptr : &un[0];
        it.lists[level].group = gn.empty() ? nullptr : &gn[0];
        it.lists[level].use_parent = use_parent ? TRUE : FALSE;
    }
};

// ---------------------------------------------------------------- one process's services

using mot_test::file_exists;
using mot_test::read_file;
using mot_test::write_file;

// Everything one process of the system holds: the shared test bundle (real services, a daemon
// connection), the session with the registered family, and the hooks with the fakes.
struct Proc {
    mot_test::Bundle b{mot_test::BundleOptions{.init_process = true}};
    MOX_AUX_T *aux = b.aux;
    MOCL_CLEANUP_T *always = b.always;
    MOCL_CLEANUP_T *fatal = b.fatal;
    MOT_TOP_SESSION_T *session = nullptr;
    MOT_TOP_REQ_T *req = nullptr;
    MOTSL_HOOKS_T hooks{};
    FakeAccess access;
    FakeTree tree;
    int registered = 1;

    explicit Proc(const std::string &home) {
        MOST_SETUP_T *setup = aux->setup;
        snprintf(setup->lib_dir, sizeof(setup->lib_dir), "%s/lib", home.c_str());
        snprintf(setup->user_default_dir, sizeof(setup->user_default_dir), "%s/user_defaults", home.c_str());
        snprintf(setup->httpd_image_loc, sizeof(setup->httpd_image_loc), "/mo_images");
        snprintf(setup->exec_dir, sizeof(setup->exec_dir), "/bin");
        aux->file->exec_dir = setup->exec_dir; // the directory program the writer runs
        hooks.access = &access.hooks;
        hooks.item = &tree.hooks;
        aux->list_hooks = &hooks;
        mot_top_construct_session(&session, aux);
        mot_top_construct_req(&req, aux);
        registered = b.status != 0 ? b.status : motsl_register_family(session, &tnote_family);
    }

    // Connects to the daemon as the process `sender` (a process id to the lock service).
    bool connect(const std::string &port, int sender = 0) {
        return b.connect(port, mot_test::ConnectOptions{.machine = "testhost", .sender_id = sender}).empty();
    }

    MOT_TOP_STYPE_T *stype(const char *name) {
        MOT_TOP_STYPE_T *s = nullptr;
        mot_top_find_stype(session->storage.stype_list, aux, name, &s);
        return s;
    }

    // The start of a request: the list is initialised (position 0, 0, 0) with its related lists.
    int init(MOT_TOP_STYPE_T *s, int index = 0, int list = 0, int row = 0) {
        int ret = motsl_set_position(s, index, list, row);
        auto *ts = static_cast<MOTSL_TYPE_STORAGE_T *>(s->type_storage_ref);
        if (ret == 0)
            ret = motsl_init_set_of_stype(session->storage.stype_list, aux, req, s, FALSE,
                                          ts->useropt_stype_name, ts->history_stype_name,
                                          ts->template_stype_name, ts->deleted_stype_name);
        return ret;
    }

    // The end of a request: what the request-end list does in every process.
    void end_request() { always->run(always); }

    // One element added the way a commit does it: write lock, read, new id, append, write, history.
    int add_note(MOT_TOP_STYPE_T *s, const std::string &title, int *id_out = nullptr) {
        int ret = s->lock_file(s, MOLK_FILE_WRITE, nullptr);
        if (ret != 0)
            return ret;
        MOK_DATA_RECORD_T *rec = nullptr;
        ret = motsl_stdlist_append_new(s, &rec);
        if (ret == 0) {
            auto *n = static_cast<TNOTE_T *>(rec->container);
            ret = b.mem.restore_string(&b.mem, nullptr, &n->title, title.c_str());
            if (id_out != nullptr)
                *id_out = n->id;
        }
        if (ret == 0)
            ret = s->write_data(s);
        int release = s->lock_file(s, MOLK_FILE_WRITE_RELEASE, nullptr);
        if (ret == 0)
            ret = release;
        if (ret == 0)
            ret = motsl_add_history(s, MOTSL_OP_CREATED, rec->container, nullptr);
        return ret;
    }

    Proc(const Proc &) = delete;
    Proc &operator=(const Proc &) = delete;
};

// The shared forked daemon, which a test may also stop and start again on the same socket.
struct Daemon : mot_test::DaemonProcess {
    explicit Daemon(const std::string &) : mot_test::DaemonProcess() {}
    void stop() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
        unlink(mot_test::socket_path(port).c_str());
    }
};

// Runs fn in a forked child (its own services and daemon connection) and gives its exit status.
inline pid_t spawn(const std::function<int()> &fn) {
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        int ret = fn();
        _exit(ret == 0 ? 0 : 1);
    }
    return pid;
}

inline int wait_status(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Ids and titles of a chain.
inline std::vector<int> ids_of(MOK_DATA_RECORD_T *chain) {
    std::vector<int> ids;
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next)
        ids.push_back(static_cast<TNOTE_T *>(r->container)->id);
    return ids;
}

inline std::vector<std::string> titles_of(MOK_DATA_RECORD_T *chain) {
    std::vector<std::string> t;
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next)
        t.push_back(static_cast<TNOTE_T *>(r->container)->title);
    return t;
}

} // namespace tl
