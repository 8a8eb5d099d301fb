// The server-hosted platform services against the real APR library: pool memory, sub-pools,
// protected sections holding back the signals that stop a server process, cleanups bound to pool
// destruction and files owned by the pool that opened them.
#include "entry/mox_aux.h"
#include "module/moac_apache.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "test_util.h"

#include <apr_general.h>
#include <apr_pools.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

volatile sig_atomic_t term_seen = 0;
void on_term(int) {
    term_seen = term_seen + 1;
}

bool blocked(int sig) {
    sigset_t now;
    sigprocmask(SIG_SETMASK, nullptr, &now);
    return sigismember(&now, sig) == 1;
}

bool fd_open(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

struct ApacheBundle : ::testing::Test {
    apr_pool_t *session = nullptr; // the server process's pool
    apr_pool_t *request = nullptr; // one request's pool
    MOX_AUX_T *aux = nullptr;
    mot_test::TempDir tmp;

    static void SetUpTestSuite() { apr_initialize(); }
    static void TearDownTestSuite() { apr_terminate(); }

    void SetUp() override {
        ASSERT_EQ(apr_pool_create(&session, nullptr), APR_SUCCESS);
        ASSERT_EQ(apr_pool_create(&request, session), APR_SUCCESS);
        ASSERT_EQ(moac_apache_construct(&aux, session), 0);
        aux->mem->init(aux->mem, nullptr, request);
        aux->signal->init(aux->signal);
    }
    void TearDown() override {
        aux->signal->reset_protection(aux->signal);
        if (request != nullptr)
            apr_pool_destroy(request);
        apr_pool_destroy(session);
        EXPECT_EQ(moac_file_pool_owned_count(), 0);
    }
    void end_request() {
        apr_pool_destroy(request);
        request = nullptr;
    }
    std::string make(const std::string &name, const std::string &text) {
        std::string path = tmp.path + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
};

TEST_F(ApacheBundle, MemoryComesFromPoolsAndStaysUntilThePoolEnds) {
    MOME_MEM_T *mem = aux->mem;
    EXPECT_EQ(mem->session_pool_ref, session);
    EXPECT_EQ(mem->req_pool_ref, request);

    void *block = nullptr;
    ASSERT_EQ(mem->malloc(mem, request, &block, 100), 0);
    ASSERT_NE(block, nullptr);
    memset(block, 'x', 100);
    void *empty = nullptr;
    ASSERT_EQ(mem->malloc(mem, request, &empty, 0), 0);
    EXPECT_NE(empty, nullptr);

    char *text = nullptr;
    ASSERT_EQ(mem->store_string(mem, request, &text, "first"), 0);
    char *old = text;
    // The source may be the copy it replaces; the old copy stays readable until the pool ends.
    ASSERT_EQ(mem->restore_string(mem, request, &text, text), 0);
    EXPECT_NE(text, old);
    EXPECT_STREQ(text, "first");
    ASSERT_EQ(mem->restore_string(mem, request, &text, "second"), 0);
    EXPECT_STREQ(text, "second");
    EXPECT_STREQ(old, "first");
    ASSERT_EQ(mem->store_string(mem, request, &text, nullptr), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(mem->free(mem, request, block), 0);

    // NULL names the session pool: the block outlives the request.
    char *kept = nullptr;
    ASSERT_EQ(mem->store_string(mem, nullptr, &kept, "session"), 0);
    end_request();
    EXPECT_STREQ(kept, "session");
}

TEST_F(ApacheBundle, ImpossibleSizesAreReportedInsteadOfAbortingTheServer) {
    MOME_MEM_T *mem = aux->mem;
    void *block = reinterpret_cast<void *>(1);
    int *array = reinterpret_cast<int *>(1);
    volatile size_t huge = SIZE_MAX / 2; // an element count whose byte size overflows
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(mem->malloc(mem, request, &block, MOAC_MAX_BLOCK), 1);
        EXPECT_EQ(mome_new_array(mem, request, &array, huge), 1);
    });
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(array, nullptr);
    EXPECT_NE(err.find("Out of memory\n"), std::string::npos) << err;
    size_t first = err.find("Out of memory");
    EXPECT_NE(err.find("Out of memory", first + 1), std::string::npos) << err;
}

TEST_F(ApacheBundle, SubPoolsAreRealAndTheSessionPoolIsNeverDestroyedFromHere) {
    MOME_MEM_T *mem = aux->mem;
    void *sub = nullptr;
    ASSERT_EQ(mem->create_sub_pool(mem, request, &sub), 0);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(apr_pool_parent_get(static_cast<apr_pool_t *>(sub)), request);
    int ran = 0;
    apr_pool_cleanup_register(
        static_cast<apr_pool_t *>(sub), &ran,
        [](void *d) -> apr_status_t {
            ++*static_cast<int *>(d);
            return APR_SUCCESS;
        },
        apr_pool_cleanup_null);
    EXPECT_EQ(mem->clear_sub_pool(mem, sub), 0);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(mem->destroy_sub_pool(mem, sub), 0);
    EXPECT_EQ(ran, 1); // the clear already ran it and took it off
    EXPECT_EQ(mem->destroy_sub_pool(mem, session), 0);
    EXPECT_EQ(mem->clear_sub_pool(mem, nullptr), 0);
    char *still = nullptr;
    EXPECT_EQ(mem->store_string(mem, session, &still, "alive"), 0);
    EXPECT_STREQ(still, "alive");
    std::string err = mot_test::capture_stderr([&] { mem->report_num_bytes(mem, request); });
    EXPECT_NE(err.find("Debug:"), std::string::npos) << err;
    EXPECT_NE(err.find(" bytes 0\n"), std::string::npos) << err;
}

TEST_F(ApacheBundle, ProtectedSectionsHoldBackTheStopSignals) {
    MOS_SIGNAL_T *signal = aux->signal;
    struct sigaction act {};
    struct sigaction old_term {};
    act.sa_handler = on_term;
    sigemptyset(&act.sa_mask);
    sigaction(SIGTERM, &act, &old_term);
    term_seen = 0;

    ASSERT_FALSE(blocked(SIGTERM));
    signal->begin_protection(signal);
    signal->begin_protection(signal);
    EXPECT_EQ(moac_signal_protection_depth(), 2);
    EXPECT_TRUE(blocked(SIGTERM));
    EXPECT_TRUE(blocked(SIGHUP));
    EXPECT_FALSE(blocked(SIGINT));
    raise(SIGTERM);
    EXPECT_EQ(term_seen, 0);
    signal->end_protection(signal);
    EXPECT_TRUE(blocked(SIGTERM)); // the outer section still holds it
    EXPECT_EQ(term_seen, 0);
    signal->end_protection(signal);
    EXPECT_FALSE(blocked(SIGTERM));
    EXPECT_EQ(term_seen, 1); // delivered once the outer section ended

    // An unmatched end changes nothing; reset after an unbalanced begin unblocks once.
    signal->end_protection(signal);
    EXPECT_EQ(moac_signal_protection_depth(), 0);
    signal->begin_protection(signal);
    signal->begin_protection(signal);
    signal->end_protection(signal);
    EXPECT_TRUE(blocked(SIGHUP));
    EXPECT_EQ(signal->reset_protection(signal), 0);
    EXPECT_EQ(moac_signal_protection_depth(), 0);
    EXPECT_FALSE(blocked(SIGHUP));

    // set leaves the server's handlers alone; the other two only say they are not for this variant.
    EXPECT_EQ(signal->set(signal, MOS_SIGTERM, mos_signal_default), 0);
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, on_term);
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(signal->reset_defaults(signal), 0);
        EXPECT_EQ(signal->run_cleanup(signal), 0);
    });
    EXPECT_NE(err.find("This function moac_signal_reset_defaults shouldn't be called\n"), std::string::npos);
    EXPECT_NE(err.find("moux_signal_run_cleanup is not used\n"), std::string::npos) << err;
    sigaction(SIGTERM, &old_term, nullptr);
}

TEST_F(ApacheBundle, CleanupListsRunWithTheirPoolUnlessRemoved) {
    MOS_SIGNAL_T *signal = aux->signal;
    MOF_FILE_T *file = aux->file;
    MOCL_CLEANUP_T *always = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    ASSERT_EQ(mocl_cleanup_new(&always, request, aux->mem, signal, "Request-Always"), 0);
    ASSERT_EQ(mocl_cleanup_new(&fatal, request, aux->mem, signal, "Request-Fatal"), 0);
    always->stop_print(always);
    fatal->stop_print(fatal);
    file->init(file, request, always, nullptr, nullptr);
    std::string upload = make("upload", "data");
    std::string other = make("other", "data");
    ASSERT_EQ(file->mark_as_cleanup(file, upload.c_str()), 0);
    // Registered after the always list, the fatal list runs first: the upload is still there.
    static std::string watched;
    static int existed = -1;
    watched = upload;
    existed = -1;
    ASSERT_EQ(fatal->add(
                  fatal, "note order",
                  [](const char *, void *, void *) noexcept {
                      existed = access(watched.c_str(), F_OK) == 0 ? 1 : 0;
                      return 0;
                  },
                  nullptr, nullptr),
              0);
    signal->add_cleanup(signal, &signal->req_always_cleanup_ref, request, mocl_cleanup_run_ref, always);
    signal->add_cleanup(signal, &signal->req_fatal_cleanup_ref, request, mocl_cleanup_run_ref, fatal);
    EXPECT_EQ(moac_signal_protection_depth(), 0);

    // Re-registering the fatal binding in the session pool moves it there.
    signal->add_cleanup(signal, &signal->req_fatal_cleanup_ref, session, mocl_cleanup_run_ref, fatal);
    EXPECT_EQ(signal->req_fatal_cleanup_ref.pool_ref, session);
    signal->del_cleanup(signal, &signal->req_fatal_cleanup_ref);
    EXPECT_EQ(signal->req_fatal_cleanup_ref.fn, nullptr);
    signal->add_cleanup(signal, &signal->req_fatal_cleanup_ref, request, mocl_cleanup_run_ref, fatal);

    // A request that ends without running its lists (a stopped request) still removes its files.
    end_request();
    EXPECT_EQ(existed, 1);
    EXPECT_FALSE(file->exists(file, upload.c_str()));
    EXPECT_TRUE(file->exists(file, other.c_str()));
    // The binding knows it ran, so removing it later does not reach into the finished pool.
    EXPECT_EQ(signal->req_always_cleanup_ref.fn, nullptr);
    EXPECT_EQ(signal->del_cleanup(signal, &signal->req_always_cleanup_ref), 0);
    file->init(file, session, nullptr, nullptr, nullptr);
}

TEST_F(ApacheBundle, AFailingCleanupActionDoesNotStopTheRest) {
    MOS_SIGNAL_T *signal = aux->signal;
    MOCL_CLEANUP_T *fatal = nullptr;
    ASSERT_EQ(mocl_cleanup_new(&fatal, request, aux->mem, signal, "Request-Fatal"), 0);
    static std::string order;
    order.clear();
    auto step = [](const char *name, void *, void *) noexcept {
        order += name;
        return name[0] == 'b' ? 1 : 0;
    };
    ASSERT_EQ(fatal->add(fatal, "a", step, nullptr, nullptr), 0);
    ASSERT_EQ(fatal->add(fatal, "b", step, nullptr, nullptr), 0);
    ASSERT_EQ(fatal->add(fatal, "c", step, nullptr, nullptr), 0);
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(moac_cleanup_run_all(fatal), 0); });
    EXPECT_EQ(order, "cba"); // newest first, and past the failing one
    EXPECT_NE(err.find("Cleaning up Request-Fatal"), std::string::npos) << err;
    EXPECT_EQ(fatal->runlist->list, nullptr);
    EXPECT_EQ(moac_signal_protection_depth(), 0);
    EXPECT_FALSE(blocked(SIGTERM));

    // Bound to the request pool, the list runs the same way when the request is cut short.
    fatal->stop_print(fatal);
    ASSERT_EQ(fatal->add(fatal, "b2", step, nullptr, nullptr), 0);
    ASSERT_EQ(fatal->add(fatal, "c2", step, nullptr, nullptr), 0);
    signal->add_cleanup(signal, &signal->req_fatal_cleanup_ref, request, moac_cleanup_run_all, fatal);
    order.clear();
    end_request();
    EXPECT_EQ(order, "c2b2");
    EXPECT_FALSE(blocked(SIGTERM));
}

TEST_F(ApacheBundle, RemovedCleanupDoesNotRun) {
    MOS_SIGNAL_T *signal = aux->signal;
    static int runs = 0;
    runs = 0;
    MOS_CLEANUP_REF_T binding{};
    signal->add_cleanup(
        signal, &binding, request,
        [](void *) noexcept {
            ++runs;
            return 0;
        },
        nullptr);
    MOS_CLEANUP_REF_T kept{};
    signal->add_cleanup(
        signal, &kept, request,
        [](void *) noexcept {
            runs += 10;
            return 0;
        },
        nullptr);
    signal->del_cleanup(signal, &binding);
    end_request();
    EXPECT_EQ(runs, 10);
}

TEST_F(ApacheBundle, FilesBelongToThePoolThatOpenedThem) {
    MOF_FILE_T *file = aux->file;
    std::string path = make("data", "line one\n");

    // Opened in the request pool and never closed: the pool closes it.
    file->init(file, request, nullptr, nullptr, nullptr);
    void *left_open = nullptr;
    ASSERT_EQ(file->open_file(file, path.c_str(), &left_open, MOF_MODE_READ), 0);
    int left_fd = fileno(static_cast<FILE *>(left_open));
    EXPECT_TRUE(fcntl(left_fd, F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(moac_file_pool_owned_count(), 1);

    // Opened in the session pool, closed while the file service points at the request pool: the
    // close withdraws the cleanup from the session pool, so nothing is closed twice later.
    file->init(file, session, nullptr, nullptr, nullptr);
    void *session_file = nullptr;
    ASSERT_EQ(file->open_file(file, path.c_str(), &session_file, MOF_MODE_APPEND), 0);
    file->init(file, request, nullptr, nullptr, nullptr);
    ASSERT_EQ(file->write_line(file, path.c_str(), session_file, "line two\n"), 0);
    EXPECT_EQ(file->close_file(file, path.c_str(), session_file), 0);
    EXPECT_EQ(moac_file_pool_owned_count(), 1);

    end_request();
    EXPECT_FALSE(fd_open(left_fd));
    EXPECT_EQ(moac_file_pool_owned_count(), 0);
    std::ifstream in(path);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "line one\nline two\n");

    // Without a pool the stream is a plain one.
    file->init(file, nullptr, nullptr, nullptr, nullptr);
    void *plain = nullptr;
    ASSERT_EQ(file->open_file(file, path.c_str(), &plain, MOF_MODE_WRITE), 0);
    EXPECT_EQ(moac_file_pool_owned_count(), 0);
    EXPECT_EQ(file->close_file(file, path.c_str(), plain), 0);
}

TEST_F(ApacheBundle, FileFailuresCarryTheirMessages) {
    MOF_FILE_T *file = aux->file;
    file->init(file, request, nullptr, nullptr, nullptr);
    void *ref = reinterpret_cast<void *>(1);
    std::string missing = tmp.path + "/no/such/file";
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(file->open_file(file, missing.c_str(), &ref, MOF_MODE_READ), 1);
        EXPECT_EQ(ref, nullptr);
        EXPECT_EQ(file->open_file(file, missing.c_str(), &ref, 7), 1);
        EXPECT_EQ(file->close_file(file, "x.txt", nullptr), 1);
    });
    EXPECT_NE(err.find("Open of file " + missing + ": No such file or directory\n"), std::string::npos)
        << err;
    EXPECT_NE(err.find("Can't understand mode 7 in moux_file_open_file\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Null file pointer in moux_file_close_file for file x.txt\n"), std::string::npos)
        << err;
    EXPECT_EQ(moac_file_pool_owned_count(), 0);
    EXPECT_EQ(moac_signal_protection_depth(), 0);
}

} // namespace
