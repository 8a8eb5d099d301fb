// The process service of a support Bundle with its child-exit handler and fatal list, shared by the
// process tests.
#pragma once

#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/moux_unix_process.h"
#include "storage/mols_list.h"
#include "support/bundle.h"

#include <gtest/gtest.h>
#include <string>

namespace mot_test {

// A bundle whose process service is started, as the program entry starts it.
inline BundleOptions with_processes() {
    BundleOptions options;
    options.init_process = true;
    return options;
}

struct ProcessFixture : ::testing::Test {
    Bundle b{with_processes()};
    MOS_SIGNAL_T *signal = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    MOP_PROCESS_T *proc = nullptr;
    MOP_CHANNEL_T ch{};

    void SetUp() override {
        ASSERT_EQ(b.status, 0);
        signal = b.aux->signal;
        fatal = b.fatal;
        proc = b.aux->process;
    }
    void TearDown() override {
        moux_kill_children("", proc, nullptr);
        signal->reset_protection(signal);
    }
    std::string line() {
        char buf[1024];
        mo_boolean_t eof = FALSE;
        EXPECT_EQ(proc->read_line(proc, &ch, buf, sizeof(buf), &eof), 0);
        return eof && buf[0] == '\0' ? "<eof>" : buf;
    }
    bool listed(int pid) {
        MOLS_LIST_ELE_T *ele = nullptr;
        proc->child_list->find_status(proc->child_list, pid, &ele);
        return ele != nullptr;
    }
};

} // namespace mot_test
