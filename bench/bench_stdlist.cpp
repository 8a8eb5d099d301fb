// The list page's data path through the standard list engine against the bare keyword reader:
// lists of 1,000, 10,000 and 100,000 elements are read (through a real lock daemon, the file
// changed by "another process" before every read, so the engine reloads it), given their row and
// column flags, filtered by one match text and sorted by a column. The same file is read with
// mok_read_keyword_list alone. Prints rows per second of both and the ratio of their times.
#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "daemon/molk_lock.h"
#include "daemon/morq_req.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
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
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_mem.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "platform/moux_unix_util.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct NOTE_T {
    int32_t id, new_, delete_status;
    char *title;
    int32_t status;
    int32_t priority;
    char *owner;
};

const MOTSL_DISPLAY_OPTIONS_T status_options[] = {
    {.number = 1, .string = "Open", .color_index = 0, .choose_access_fn = nullptr},
    {.number = 2, .string = "Closed", .color_index = 0, .choose_access_fn = nullptr},
    {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
};

int note_file(MOT_TOP_STYPE_T *s) noexcept {
    return motsl_set_data_filename(s, "%s/note/0", s->aux->setup->lib_dir);
}

const MOTSL_COLUMN_DEF_T columns[] = {
    {.keyword = "T",
     .struct_offset = offsetof(NOTE_T, title),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Title",
     .type_vector = MOTSL_TV_MATCH | MOTSL_TV_SORTABLE | MOTSL_TV_SORT_ASC,
     .default_filter_fn = motsl_filter_string},
    {.keyword = "S",
     .struct_offset = offsetof(NOTE_T, status),
     .init_ref = mok_int_ref(1),
     .common_alloc_fn = motsl_stdlist_common_alloc_option,
     .user_name = "Status",
     .display_ref = status_options,
     .type_vector = MOTSL_TV_FILTER | MOTSL_TV_SORTABLE,
     .default_filter_fn = motsl_filter_option},
    {.keyword = "P",
     .struct_offset = offsetof(NOTE_T, priority),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "Priority",
     .type_vector = MOTSL_TV_SORTABLE},
    {.keyword = "OW",
     .struct_offset = offsetof(NOTE_T, owner),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Owner",
     .type_vector = MOTSL_TV_MATCH},
};

const MOTSL_FAMILY_DEF_T family = {
    .name = "note",
    .main_id = 1,
    .useropt_id = 2,
    .help = "Notes",
    .lock_element_string = "Note ID Number",
    .lock_file_string = "Note Data",
    .access_fn = motsl_access_everyone,
    .size_of_element = sizeof(NOTE_T),
    .columns = columns,
    .column_count = 4,
    .init_filename = note_file,
};

struct Proc {
    MOE_ERROR_T error{};
    MOLT_LOWEST_T lowest{};
    MOME_MEM_T mem{};
    MOL_LOW_T *low = nullptr;
    MOIM_INTERM_T *interm = nullptr;
    MOX_AUX_T *aux = nullptr;
    MOCL_CLEANUP_T *always = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    MOT_TOP_SESSION_T *session = nullptr;
    MOT_TOP_REQ_T *req = nullptr;

    explicit Proc(const std::string &home) {
        moe_error_construct(&error, &moux_error_slots);
        error.init(&error, nullptr, TRUE);
        molt_lowest_construct(&lowest, &error);
        mome_mem_construct(&mem, &lowest, &moux_mem_slots);
        mol_low_construct(&low, &lowest, &mem);
        moim_interm_construct(&interm, low);
        mou_util_construct(&interm->util, low, &moux_util_slots);
        mos_signal_construct(&interm->signal, low, &moux_signal_slots);
        mof_file_construct(&interm->file, low, &moux_file_slots);
        mop_process_construct(&interm->process, low, &moux_process_slots);
        most_setup_construct(&interm->setup, low);
        MOST_SETUP_T *setup = interm->setup;
        snprintf(setup->lib_dir, sizeof(setup->lib_dir), "%s/lib", home.c_str());
        snprintf(setup->user_default_dir, sizeof(setup->user_default_dir), "%s/user_defaults", home.c_str());
        snprintf(setup->daemon_socket_dir, sizeof(setup->daemon_socket_dir), "/tmp");
        snprintf(setup->daemon_pid_file, sizeof(setup->daemon_pid_file), "%s/daemon.pid", home.c_str());
        snprintf(setup->exec_dir, sizeof(setup->exec_dir), "/bin");
        mocl_cleanup_new(&always, nullptr, &mem, interm->signal, "Request-Always");
        mocl_cleanup_new(&fatal, nullptr, &mem, interm->signal, "Request-Fatal");
        always->stop_print(always);
        fatal->stop_print(fatal);
        interm->process->init(interm->process, fatal, interm->signal, nullptr);
        interm->file->init(interm->file, nullptr, always, setup->exec_dir, interm->process);
        mox_aux_construct(&aux, interm);
        mod_daemon_construct(&aux->daemon, interm);
        modsk_socket_construct(aux->daemon);
        mot_top_construct_session(&session, aux);
        mot_top_construct_req(&req, aux);
    }

    bool connect(const std::string &port) {
        mo_string_t err = "";
        aux->daemon->client_init(aux->daemon, nullptr, port.c_str());
        if (aux->daemon->client_start(aux->daemon, nullptr, err) != 0 || err[0] != '\0')
            return false;
        if (morq_req_construct(&aux->req, &error, aux->daemon, interm->util, &mem, nullptr) != 0)
            return false;
        return aux->req->lock_call->init(aux->req->lock_call, "bench", "host", "", static_cast<int>(getpid()),
                                         fatal) == 0;
    }
};

pid_t start_daemon(const std::string &home, const std::string &port) {
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open("/dev/null", O_WRONLY);
        dup2(fd, 2);
        Proc p(home);
        MOD_DAEMON_T *d = p.aux->daemon;
        int ret = d->server_init(d, nullptr, port.c_str(), p.always);
        if (ret == 0)
            ret = molk_daemon_construct(nullptr, &p.error, d, p.interm->util, p.interm, &p.mem);
        if (ret == 0)
            ret = d->server_start(d);
        _exit(ret);
    }
    std::string sock = "/tmp/morvale." + port;
    struct stat st;
    for (int i = 0; i < 500 && stat(sock.c_str(), &st) != 0; i++)
        usleep(10000);
    usleep(20000);
    return pid;
}

void write_list(const std::string &path, int n) {
    FILE *f = fopen(path.c_str(), "w");
    for (int i = 0; i < n; i++) {
        if (i > 0)
            fputs("------\n", f);
        // Titles in a scrambled order, so that the sort has work to do.
        unsigned key = static_cast<unsigned>(i) * 2654435761u;
        fprintf(f, "ID %d\nNEW 0\nDEL 0\nT Note %08x about item %d\nS %d\nP %d\nOW user%d\n", i + 2, key, i,
                1 + i % 2, i % 7, i % 50);
    }
    fclose(f);
}

double now_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

int main() {
    char tmpl[] = "/tmp/mo_bench_stdlist_XXXXXX";
    std::string home = mkdtemp(tmpl);
    std::string port = "bsl" + std::to_string(getpid());
    pid_t daemon = start_daemon(home, port);
    Proc p(home);
    if (!p.connect(port) || motsl_register_family(p.session, &family) != 0) {
        fprintf(stderr, "bench_stdlist: set-up failed\n");
        kill(daemon, SIGKILL);
        return 1;
    }
    mkdir((home + "/lib").c_str(), 0755);
    mkdir((home + "/lib/note").c_str(), 0755);
    MOT_TOP_STYPE_T *main = nullptr;
    mot_top_find_stype(p.session->storage.stype_list, p.aux, "note", &main);
    const std::string data = home + "/lib/note/0";
    MOK_GEN_KEYWORD_T *keywords = nullptr;
    main->get_keyword_array(main, &keywords);

    printf("%-8s %14s %14s %8s %10s\n", "rows", "bare rows/s", "engine rows/s", "ratio", "shown");
    for (int n : {1000, 10000, 100000}) {
        write_list(data, n);
        int reps = n >= 100000 ? 5 : n >= 10000 ? 20 : 100;
        double bare = 1e30, engine = 1e30;
        size_t shown = 0;
        for (int r = 0; r < reps; r++) {
            MOK_DATA_RECORD_T *first = nullptr;
            double t0 = now_seconds();
            if (mok_read_keyword_list(p.aux, nullptr, data.c_str(), keywords, main->number_of_keywords,
                                      &first, sizeof(NOTE_T)) != 0)
                return 1;
            bare = std::min(bare, now_seconds() - t0);

            // Another process's write: the engine must read the file again.
            main->lock_file(main, MOLK_FILE_MOD_RAISE, nullptr);
            motsl_set_position(main, 0, 0, 0);
            t0 = now_seconds();
            MOT_TOP_STYPE_T *s = main;
            MOTSL_STDLIST_ORDER_T *order = nullptr;
            MOK_DATA_RECORD_T *rows = nullptr, *filtered = nullptr, *sorted = nullptr;
            int ret = s->init_web(p.req, &s);
            if (ret == 0)
                ret = s->read_data(s, &first);
            if (ret == 0)
                ret = s->init_data(s, first);
            if (ret == 0)
                ret = motsl_stdlist_get_order(s, &order);
            // One match text on the title column, as a user types it.
            MOTSL_STDLIST_KEYWORD_T *title = nullptr;
            if (ret == 0)
                ret = motsl_find_column(s, "T", &title);
            if (ret == 0)
                *title->useropt_ref->match = const_cast<char *>("ABOUT ITEM 1");
            if (ret == 0)
                ret = motsl_set_filter_to_useropt(s, order);
            if (ret == 0)
                ret = mowsl_list_filter_view_access(s, first, &rows);
            if (ret == 0)
                ret = mowsl_list_filter_data(s, order, rows, &filtered);
            if (ret == 0)
                ret = mowsl_list_sort_data(s, order, filtered, &sorted);
            if (ret != 0)
                return 1;
            engine = std::min(engine, now_seconds() - t0);
            shown = 0;
            for (MOK_DATA_RECORD_T *c = sorted; c != nullptr; c = c->next)
                shown++;
            p.always->run(p.always);
        }
        printf("%-8d %14.0f %14.0f %8.2f %10zu\n", n, n / bare, n / engine, engine / bare, shown);
    }
    kill(daemon, SIGKILL);
    waitpid(daemon, nullptr, 0);
    unlink(("/tmp/morvale." + port).c_str());
    std::string cmd = "rm -rf '" + home + "'";
    if (system(cmd.c_str()) != 0)
        return 1;
    return 0;
}
