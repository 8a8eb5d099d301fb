// Every allocation of the platform services' operations may fail: each failure must fail the
// operation with one "Out of memory" report, never a crash, a second report or a success.
#include "platform/mocl_cleanup.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix.h"
#include "support/files.h"
#include "support/sweep.h"
#include "support/util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using mot_test::Bundle;
using mot_test::out_of_memory_sweep;

TEST(OutOfMemory, SetupBuiltAndLoaded) {
    mot_test::TempDir home;
    std::filesystem::create_directories(home.path + "/conf");
    std::filesystem::create_directories(home.path + "/site/user_conf");
    mot_test::write_file(home.path + "/conf/gen.setup",
                         "COMPANY_NAME Acme Ltd\nSERVER_PORT 8311\nUSER_PATH " + home.path +
                             "/site\nINDEX_START_TIME 4\n");
    mot_test::write_file(home.path + "/site/user_conf/gen.setup", "PROD_NAME Base\n");
    int allocations = out_of_memory_sweep([&](Bundle &b) {
        MOST_SETUP_T *setup = nullptr;
        int ret = most_setup_construct(&setup, b.low);
        if (ret == 0)
            ret = setup->init_paths(setup, home.path.c_str());
        if (ret == 0) {
            b.aux->setup = setup;
            ret = setup->load_setup_file(setup, b.aux);
        }
        return ret;
    });
    EXPECT_GT(allocations, 20) << "every setup value is a copy";
}

int nothing(const char *, void *, void *) noexcept {
    return 0;
}

TEST(OutOfMemory, CleanupListsAndTemporaryFiles) {
    mot_test::TempDir dir;
    std::string path = dir.path + "/data";
    mot_test::write_file(path, "some bytes\n");
    out_of_memory_sweep([&](Bundle &b) {
        MOCL_CLEANUP_T *list = nullptr;
        int ret = mocl_cleanup_new(&list, nullptr, &b.mem, b.aux->signal, "Request-Test");
        if (ret == 0)
            ret = list->add(list, "first entry", nothing, nullptr, nullptr);
        if (ret == 0)
            ret = b.aux->file->mark_as_cleanup(b.aux->file, (dir.path + "/never").c_str());
        char *text = nullptr;
        size_t count = 0;
        if (ret == 0)
            ret = mof_file_mem_read(b.aux->file, path.c_str(), nullptr, &text, &count);
        return ret;
    });
}

TEST(OutOfMemory, TheProgramsBundle) {
    // The program's own builder reports the failure, then says what it was building.
    mot_test::Pool pool;
    pool.serve_unattached();
    MOUX_UNIX_SLOTS_T slots = moux_unix_default_slots;
    slots.mem = &mot_test::Pool::slots();
    for (int n = 0;; n++) {
        pool.fail_after(n);
        MOX_AUX_T *aux = nullptr;
        int ret = 0;
        std::string err =
            mot_test::capture_stderr([&] { ret = moux_unix_construct_with(&aux, nullptr, &slots); });
        if (!pool.failed()) {
            EXPECT_EQ(ret, 0) << err;
            EXPECT_GT(n, 10);
            break;
        }
        EXPECT_EQ(ret, 1) << "allocation " << n;
        EXPECT_EQ(mot_test::count_of(err, "Out of memory"), 1u) << "allocation " << n << ":\n" << err;
        EXPECT_EQ(mot_test::count_of(err, MOUX_CONSTRUCT_FAILURE), 1u) << "allocation " << n << ":\n" << err;
        if (testing::Test::HasFailure())
            break;
    }
}

} // namespace
