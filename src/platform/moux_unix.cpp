// Builds the service bundle of the command-line program: static error, lowest and memory records,
// then every other record from the session pool, in a fixed order.
#include "platform/moux_unix.h"

#include "daemon/mod_daemon_cmn.h"
#include "daemon/modsk_socket_daemon.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "daemon/morq_req.h"
#include "platform/mos_signal_cmn.h"
#include "platform/mosc_script_cmn.h"
#include "platform/mosk_socket_cmn.h"
#include "web/moss_session.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_mem.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "platform/moux_unix_socket.h"
#include "platform/moux_unix_util.h"
#include "entry/mox_aux.h"

#include <cstdio>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <unistd.h>

const MOUX_UNIX_SLOTS_T moux_unix_default_slots = {
    .error = &moux_error_slots,
    .mem = &moux_mem_slots,
    .file = &moux_file_slots,
    .util = &moux_util_slots,
    .signal = &moux_signal_slots,
    .process = &moux_process_slots,
    .sock = &moux_socket_slots,
};

// One of each per process.
static MOE_ERROR_T moux_error_record;
static MOLT_LOWEST_T moux_lowest_record;
static MOME_MEM_T moux_mem_record;

int moux_unix_construct(MOX_AUX_T **aux, void *session_pool) noexcept {
    return moux_unix_construct_with(aux, session_pool, &moux_unix_default_slots);
}

int moux_unix_construct_with(MOX_AUX_T **aux, void *session_pool, const MOUX_UNIX_SLOTS_T *slots) noexcept {
    MOE_ERROR_T *error = &moux_error_record;
    MOME_MEM_T *mem = &moux_mem_record;
    MOL_LOW_T *low = nullptr;
    MOIM_INTERM_T *interm = nullptr;

    int ret = moe_error_construct(error, slots->error);
    if (ret == 0)
        ret = error->init(error, nullptr, TRUE);
    if (ret == 0)
        ret = molt_lowest_construct(&moux_lowest_record, error);
    if (ret == 0)
        ret = mome_mem_construct(mem, &moux_lowest_record, slots->mem);
    if (ret == 0)
        ret = mem->init(mem, session_pool, nullptr);
    if (ret == 0)
        ret = mol_low_construct(&low, &moux_lowest_record, mem);
    if (ret == 0)
        ret = moim_interm_construct(&interm, low);
    if (ret == 0)
        ret = mof_file_construct(&interm->file, low, slots->file);
    if (ret == 0)
        ret = mou_util_construct(&interm->util, low, slots->util);
    if (ret == 0)
        ret = mos_signal_construct(&interm->signal, low, slots->signal);
    if (ret == 0)
        ret = mop_process_construct(&interm->process, low, slots->process);
    if (ret == 0)
        ret = mosk_socket_construct(&interm->sock, low, slots->sock);
    if (ret == 0)
        ret = most_setup_construct(&interm->setup, low);
    if (ret == 0)
        ret = mox_aux_construct(aux, interm);
    MOX_AUX_T *a = ret == 0 ? *aux : nullptr;
    if (ret == 0)
        ret = mosc_construct_script(&a->script, interm);
    // The outgoing-mail service is built with the mail subsystem; until then the slot stays empty.
    if (ret == 0)
        ret = mod_daemon_construct(&a->daemon, interm);
    if (ret == 0)
        ret = modsk_socket_construct(a->daemon);
    if (ret == 0)
        ret = morq_req_construct(&a->req, error, a->daemon, interm->util, mem, mem->session_pool_ref);
    if (ret == 0)
        ret = moss_session_construct(&a->session, error, mem, mem->session_pool_ref);
    if (ret == 0) {
        error->aux_ref = a;
        return 0;
    }
    fputs(MOUX_CONSTRUCT_FAILURE, stderr);
    fflush(stderr);
    return ret;
}

namespace {

// Copies text into buf of size bytes; 1 when it does not fit.
int copy_fitting(const char *text, char *buf, size_t size) noexcept {
    size_t len = strlen(text);
    if (len == 0 || len >= size)
        return 1;
    memcpy(buf, text, len + 1);
    return 0;
}

// The path made absolute with "//", "." and ".." folded by name alone, for a program file that is no
// longer there to be resolved. The installation is found by cutting whole components off the end,
// so these must not count as levels.
int fold_path(const char *argv0, char *buf, size_t size) noexcept {
    char joined[2 * PATH_MAX];
    joined[0] = '\0';
    if (argv0[0] != '/' && getcwd(joined, PATH_MAX) == nullptr)
        return 1;
    size_t jlen = strlen(joined);
    int n = snprintf(joined + jlen, sizeof(joined) - jlen, "/%s", argv0);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(joined) - jlen)
        return 1;
    char out[2 * PATH_MAX];
    size_t olen = 0;
    out[0] = '\0';
    for (const char *part = joined; *part != '\0';) {
        while (*part == '/')
            part++;
        size_t plen = strcspn(part, "/");
        if (plen == 2 && part[0] == '.' && part[1] == '.') {
            while (olen > 0 && out[olen - 1] != '/')
                olen--;
            if (olen > 0)
                olen--; // the slash before the dropped component
        } else if (plen > 0 && !(plen == 1 && part[0] == '.')) {
            out[olen++] = '/'; // fits: out is as large as joined, and folding only shortens
            memcpy(out + olen, part, plen);
            olen += plen;
        }
        out[olen] = '\0';
        part += plen;
    }
    return copy_fitting(out, buf, size);
}

} // namespace

int moux_unix_program_path(const char *argv0, char *buf, size_t size) noexcept {
    // The program's own file, with every link resolved: found along PATH the kernel tells where it
    // runs from, started by a path that path is resolved the same way, so a link to the program finds
    // the installation the program lives in however it was started.
    char real[PATH_MAX];
    if (strchr(argv0, '/') == nullptr) {
        ssize_t len = readlink("/proc/self/exe", real, sizeof(real) - 1);
        if (len < 0)
            return 1;
        real[len] = '\0';
        return copy_fitting(real, buf, size);
    }
    if (realpath(argv0, real) != nullptr)
        return copy_fitting(real, buf, size);
    return fold_path(argv0, buf, size);
}
