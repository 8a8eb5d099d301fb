// The process service on a low bundle with real signal and cleanup records, shared by the process tests.
#pragma once

#include "platform/mocl_cleanup.h"
#include "storage/mols_list.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_signal.h"
#include "support/bundle.h"

#include <gtest/gtest.h>
#include <string>

namespace mot_test {

struct ProcessFixture : ::testing::Test {
    mot_test::Bundle b;
    MOS_SIGNAL_T *signal = nullptr;
    MOCL_CLEANUP_T *fatal = nullptr;
    MOP_PROCESS_T *proc = nullptr;
    MOP_CHANNEL_T ch{};

    void SetUp() override {
        ASSERT_EQ(mos_signal_construct(&signal, b.low, &moux_signal_slots), 0);
        ASSERT_EQ(mocl_cleanup_new(&fatal, nullptr, b.low->mem, signal, "Request-Fatal"), 0);
        ASSERT_EQ(mop_process_construct(&proc, b.low, &moux_process_slots), 0);
        ASSERT_EQ(proc->init(proc, fatal, signal, nullptr), 0);
    }
    void TearDown() override {
        moux_kill_children("", proc, nullptr);
        signal->set(signal, MOS_SIGCHLD, mos_signal_default);
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
