// Construction of the whole service bundle, and replacing one slot for every caller.
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix_file.h"
#include "platform/mome_mem_cmn.h"
#include "daemon/morq_req.h"
#include "platform/moux_unix.h"
#include "platform/moux_unix_mem.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/pool.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

using testing::HasSubstr;

// The program's bundle, and the tests' bundle that claims to be wired the same way.
void expect_wired(MOX_AUX_T *aux) {
    EXPECT_EQ(aux->error->aux_ref, aux);
    MOIM_INTERM_T *im = aux->interm;
    EXPECT_EQ(aux->file, im->file);
    EXPECT_EQ(aux->util, im->util);
    EXPECT_EQ(aux->signal, im->signal);
    EXPECT_EQ(aux->setup, im->setup);
    EXPECT_EQ(aux->process, im->process);
    EXPECT_EQ(aux->sock, im->sock);
    EXPECT_EQ(aux->mem, im->low->mem);
    EXPECT_EQ(aux->error, im->low->lowest->error);
    EXPECT_EQ(aux->sub_ref, nullptr);
    EXPECT_NE(aux->script, nullptr);
    EXPECT_NE(aux->daemon, nullptr);
    ASSERT_NE(aux->req, nullptr);
    EXPECT_NE(aux->req->lock_call, nullptr);
    EXPECT_NE(aux->req->timeout_client, nullptr);
    EXPECT_NE(aux->session, nullptr);
    EXPECT_STREQ(aux->setup->prog_version, "3.3-linux");
}

TEST(Bundle, ServiceCopiesMatchTheIntermediateBundle) {
    MOX_AUX_T *aux = nullptr;
    ASSERT_EQ(moux_unix_construct(&aux, nullptr), 0);
    ASSERT_NE(aux, nullptr);
    expect_wired(aux);
    mot_test::Bundle b;
    ASSERT_EQ(b.status, 0);
    expect_wired(b.aux);
    EXPECT_EQ(b.aux->mem, &b.mem);
    EXPECT_EQ(b.aux->file->cleanup, b.always) << "temporary files go with the Request-Always list";
}

int opened = 0;
int counting_open(MOF_FILE_T *file, const char *name, void **ref, int mode) noexcept {
    opened++;
    return moux_file_slots.open_file(file, name, ref, mode);
}

TEST(Bundle, OneReplacedSlotServesEveryCaller) {
    MOF_FILE_T file_slots = moux_file_slots;
    file_slots.open_file = counting_open;
    MOUX_UNIX_SLOTS_T slots = moux_unix_default_slots;
    slots.file = &file_slots;
    MOX_AUX_T *aux = nullptr;
    ASSERT_EQ(moux_unix_construct_with(&aux, nullptr, &slots), 0);
    mot_test::TempDir dir;
    std::string a = dir.path + "/a", b = dir.path + "/b";
    opened = 0;
    ASSERT_EQ(aux->file->touch_file(aux->file, a.c_str()), 0);
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(aux->file->copy_file(aux->file, b.c_str(), a.c_str()), 0);
    EXPECT_EQ(opened, 3) << "copy opens source and destination through the same slot";
}

TEST(Bundle, ConstructionFailureIsSummarised) {
    mot_test::Pool pool;
    pool.serve_unattached();
    pool.fail_after(3);
    MOUX_UNIX_SLOTS_T slots = moux_unix_default_slots;
    slots.mem = &mot_test::Pool::slots();
    MOX_AUX_T *aux = nullptr;
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = moux_unix_construct_with(&aux, nullptr, &slots); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("init: Out of memory\n"));
    const std::string summary = "Error: unix contruction failed, possibly due to lack of memory\n";
    EXPECT_EQ(summary.size(), 63u);
    ASSERT_GE(err.size(), summary.size());
    EXPECT_EQ(err.substr(err.size() - summary.size()), summary) << err;
}

TEST(ProgramPath, MadeAbsoluteWithRedundantPartsFolded) {
    char buf[MO_FILENAME_LEN];
    ASSERT_EQ(moux_unix_program_path("/h/install/bin/./linux//morvale", buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "/h/install/bin/linux/morvale");
    ASSERT_EQ(moux_unix_program_path("/h/install/bin/linux/../linux/morvale", buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "/h/install/bin/linux/morvale");

    mot_test::TempDir dir;
    char old_cwd[MO_FILENAME_LEN];
    ASSERT_NE(getcwd(old_cwd, sizeof(old_cwd)), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    char here[MO_FILENAME_LEN];
    ASSERT_NE(getcwd(here, sizeof(here)), nullptr);
    int ret = moux_unix_program_path("./install/bin/linux/morvale", buf, sizeof(buf));
    ASSERT_EQ(chdir(old_cwd), 0);
    ASSERT_EQ(ret, 0);
    EXPECT_EQ(std::string(buf), std::string(here) + "/install/bin/linux/morvale");
}

TEST(ProgramPath, PathThatDoesNotFitIsRefused) {
    char buf[MO_FILENAME_LEN];
    std::string fits = "/" + std::string(MO_FILENAME_LEN - 2, 'a');
    ASSERT_EQ(moux_unix_program_path(fits.c_str(), buf, sizeof(buf)), 0);
    EXPECT_EQ(std::string(buf), fits);
    std::string too_long = fits + "b";
    EXPECT_EQ(moux_unix_program_path(too_long.c_str(), buf, sizeof(buf)), 1);
}

} // namespace
