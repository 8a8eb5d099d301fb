// The lock queue's decisions at chosen times, without a daemon in between.
#include "daemon_fixture.h"

#include <gtest/gtest.h>

using namespace mot_test;

namespace {

struct Queue {
    Bundle b;
    MOLK_LOCK_CONTROL_T *control = nullptr;
    MOLK_LOCK_MSG_T msg{};
    int last_ret = 0;

    Queue() { molk_control_new(&control, nullptr, &b.error, b.aux->daemon, b.aux->util, b.interm, &b.mem); }

    // Sends op for sender/user at time now; gives exit_status.
    int ask(int op, int sender, const char *file, mou_datetime_t now, int read_timeout = 60,
            int write_timeout = 120, const char *user = "u", const char *id = "", mou_datetime_t date = 0) {
        memset(&msg, 0, sizeof(msg));
        msg.op = op;
        msg.sender_id = sender;
        snprintf(msg.filename, sizeof(msg.filename), "%s", file);
        snprintf(msg.description, sizeof(msg.description), "D");
        snprintf(msg.user_id, sizeof(msg.user_id), "%s", user);
        snprintf(msg.id_num, sizeof(msg.id_num), "%s", id);
        msg.read_timeout = read_timeout;
        msg.write_timeout = write_timeout;
        msg.date = static_cast<int32_t>(date);
        last_ret = molk_serve(control, &msg, now);
        return msg.exit_status;
    }

    int count() const {
        int n = 0;
        for (MOLK_QUEUE_T *q = control->queue; q != nullptr; q = q->next)
            n++;
        return n;
    }
};

const mou_datetime_t T = 1000000;

} // namespace

TEST(LockQueue, ExpiryIsJudgedByTheAskingMessage) {
    Queue q;
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 1, "/f", T), MOLK_DONE);
    // Long-lock holders are broken by a standard request once it is older than 120 seconds.
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 2, "/f", T + 120), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 2, "/f", T + 100, 7200, 7200), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 2, "/f", T + 121), MOLK_DONE);
    EXPECT_EQ(q.count(), 1);
    // A second writer waits for the other writer but not for ever.
    EXPECT_EQ(q.ask(MOLK_OP_READ_UNLOCK, 2, "/f", T + 121), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 3, "/f", T + 200), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 4, "/f", T + 250), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 4, "/f", T + 321), MOLK_DONE);
    EXPECT_EQ(q.count(), 1);
}

TEST(LockQueue, AWriterWaitsForEveryReaderUntilReleasedOrExpired) {
    Queue q;
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 1, "/f", T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 2, "/f", T + 30), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 3, "/f", T + 40), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 9, "/f", T + 50), MOLK_WAIT);
    // The first reader releases; the others still hold the writer off.
    EXPECT_EQ(q.ask(MOLK_OP_READ_UNLOCK, 1, "/f", T + 55), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 9, "/f", T + 60), MOLK_WAIT);
    // Past 60 seconds the second reader is broken and removed, but the third is still live.
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 9, "/f", T + 91), MOLK_WAIT);
    EXPECT_EQ(q.count(), 1);
    EXPECT_EQ(q.ask(MOLK_OP_READ_CHECK, 2, "/f", T + 91), MOLK_ERROR);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 9, "/f", T + 101), MOLK_DONE);
    EXPECT_EQ(q.count(), 1);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_CHECK, 9, "/f", T + 101), MOLK_DONE);
}

TEST(LockQueue, AWriterWaitsOutItsOwnReadLock) {
    Queue q;
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 1, "/f", T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 1, "/f", T + 30), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 1, "/f", T + 61), MOLK_DONE);
    // Taking the same lock twice is the double-lock error, with the holder's age.
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_LOCK, 1, "/f", T + 65), MOLK_ERROR);
    EXPECT_STREQ(q.msg.error_msg,
                 "The D file(/f) file for writing is already locked by this process. How did this "
                 "happen?\nIt was locked 4 secs ago and should timeout after 1 minutes 0 secs.\n");
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 1, "/f", T + 65), MOLK_ERROR);
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 1, "/f", T + 182), MOLK_DONE); // own write lock expired
}

TEST(LockQueue, ElementLocksWaitFiveSecondsAndAllCoversEveryId) {
    Queue q;
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_LOCK, 1, "/f", T, 600, 600, "A", "5", T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_LOCK, 2, "/f", T + 5, 600, 600, "B", "5", T), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_LOCK, 2, "/f", T + 6, 600, 600, "B", "5", T), MOLK_ERROR);
    EXPECT_STREQ(q.msg.error_msg,
                 "The D file(/f) element 5 is already locked by A.\nIt was locked 6 secs ago and "
                 "should timeout after 10 minutes 0 secs.\n");
    // "All" asked by B does not conflict with single ids; afterwards it blocks every id for others.
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_LOCK, 2, "/f", T + 6, 600, 600, "B", "All", T + 6), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_LOCK, 3, "/f", T + 7, 600, 600, "C", "8", T + 7), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_LOCK, 3, "/g", T + 7, 600, 600, "C", "8", T + 7), MOLK_DONE);
    // Older than the asking timeout, both holders are broken.
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_LOCK, 3, "/f", T + 700, 600, 600, "C", "5", T + 700), MOLK_DONE);
    EXPECT_EQ(q.count(), 2);
}

TEST(LockQueue, SenderCleanupKeepsElementLocksAndOtherSenders) {
    Queue q;
    q.ask(MOLK_OP_READ_LOCK, 1, "/a", T);
    q.ask(MOLK_OP_WRITE_LOCK, 1, "/b", T);
    q.ask(MOLK_OP_READ_LOCK, 2, "/a", T);
    q.ask(MOLK_OP_ELEMENT_LOCK, 1, "/b", T, 600, 600, "u", "3", T);
    EXPECT_EQ(q.count(), 4);
    EXPECT_EQ(q.ask(MOLK_OP_SENDER_CLEANUP, 1, "ALL", T), MOLK_DONE);
    EXPECT_EQ(q.count(), 2);
    EXPECT_EQ(q.ask(MOLK_OP_READ_CHECK, 2, "/a", T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_CHECK, 9, "/b", T, 600, 600, "u", "3"), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_ELEMENT_UNLOCK_ALL, 9, "", T, 600, 600, "u"), MOLK_DONE);
    EXPECT_EQ(q.count(), 1);
}

TEST(LockQueue, AWaitingWriterHoldsNewReadersBackForABoundedTime) {
    Queue q;
    auto read = [&](int sender, mou_datetime_t now, mou_datetime_t since) {
        return q.ask(MOLK_OP_READ_LOCK, sender, "/f", now, 60, 120, "u", "", since);
    };
    auto write = [&](int sender, mou_datetime_t now) {
        return q.ask(MOLK_OP_WRITE_LOCK, sender, "/f", now, 60, 120, "u", "", now);
    };
    EXPECT_EQ(read(1, T, T), MOLK_DONE);
    EXPECT_EQ(write(9, T), MOLK_WAIT);
    // A new reader waits behind the writer; a reader of another file does not.
    EXPECT_EQ(read(2, T, T), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_READ_LOCK, 2, "/g", T, 60, 120, "u", "", T), MOLK_DONE);
    // Once the current reader is gone the writer gets in, and readers wait for its release as ever.
    EXPECT_EQ(q.ask(MOLK_OP_READ_UNLOCK, 1, "/f", T), MOLK_DONE);
    EXPECT_EQ(write(9, T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_UNLOCK, 9, "/f", T), MOLK_DONE);
    // The claim went with the grant.
    EXPECT_EQ(read(2, T, T), MOLK_DONE);
    EXPECT_EQ(q.control->claims, nullptr);

    // A reader already asking for the bounded time gets in although the writer keeps asking.
    EXPECT_EQ(write(9, T + 10), MOLK_WAIT);
    EXPECT_EQ(read(3, T + 10, T + 10), MOLK_WAIT);
    EXPECT_EQ(write(9, T + 11), MOLK_WAIT);
    EXPECT_EQ(read(3, T + 12, T + 10), MOLK_WAIT);
    EXPECT_EQ(write(9, T + 13), MOLK_WAIT);
    EXPECT_EQ(read(3, T + 13, T + 10), MOLK_DONE);

    // A claim the writer stops renewing lapses.
    EXPECT_EQ(read(4, T + 14, T + 14), MOLK_WAIT);
    EXPECT_EQ(read(4, T + 15, T + 14), MOLK_DONE);
    EXPECT_EQ(q.control->claims, nullptr);

    // A writer still waiting well after its claim began (behind long locks) holds nobody back.
    EXPECT_EQ(write(9, T + 20), MOLK_WAIT);
    for (mou_datetime_t t = T + 21; t < T + 20 + MOLK_CLAIM_HOLD; t++)
        EXPECT_EQ(write(9, t), MOLK_WAIT);
    EXPECT_EQ(read(5, T + 20 + MOLK_CLAIM_HOLD - 1, T + 20 + MOLK_CLAIM_HOLD - 1), MOLK_WAIT);
    EXPECT_EQ(write(9, T + 20 + MOLK_CLAIM_HOLD), MOLK_WAIT);
    EXPECT_EQ(read(5, T + 20 + MOLK_CLAIM_HOLD, T + 20 + MOLK_CLAIM_HOLD), MOLK_DONE);
}

TEST(LockQueue, ClaimsOfWritersBehindWritersAndOfWritersHoldingAReadLock) {
    Queue q;
    auto read = [&](int sender, mou_datetime_t now) {
        return q.ask(MOLK_OP_READ_LOCK, sender, "/f", now, 60, 120, "u", "", now);
    };
    auto write = [&](int sender, mou_datetime_t now) {
        return q.ask(MOLK_OP_WRITE_LOCK, sender, "/f", now, 60, 120, "u", "", now);
    };
    // The second writer's claim holds readers off when the first writer releases.
    EXPECT_EQ(write(8, T), MOLK_DONE);
    EXPECT_EQ(write(9, T), MOLK_WAIT);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_UNLOCK, 8, "/f", T), MOLK_DONE);
    EXPECT_EQ(read(1, T), MOLK_WAIT);
    // A third writer does not take the claim over, and the claim only holds readers back.
    EXPECT_EQ(write(7, T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_UNLOCK, 7, "/f", T), MOLK_DONE);
    EXPECT_EQ(write(9, T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_WRITE_UNLOCK, 9, "/f", T), MOLK_DONE);
    EXPECT_EQ(read(1, T), MOLK_DONE);

    // A writer that holds a read lock itself waits for that lock to expire: it claims nothing.
    EXPECT_EQ(read(5, T), MOLK_DONE);
    EXPECT_EQ(write(5, T), MOLK_WAIT);
    EXPECT_EQ(q.control->claims, nullptr);
    EXPECT_EQ(read(6, T), MOLK_DONE);
}

TEST(LockQueue, ModificationNumbersAndUnknownOperations) {
    Queue q;
    EXPECT_EQ(q.ask(MOLK_OP_MOD_GET, 1, "/m", T), 1);
    EXPECT_EQ(q.ask(MOLK_OP_MOD_RAISE, 1, "/m", T), MOLK_DONE);
    EXPECT_EQ(q.ask(MOLK_OP_MOD_GET, 1, "/m", T), 2);
    for (int i = 0; i < 40; i++) {
        std::string f = "/m" + std::to_string(i);
        q.ask(MOLK_OP_MOD_RAISE, 1, f.c_str(), T);
    }
    EXPECT_EQ(q.ask(MOLK_OP_MOD_GET, 1, "/m39", T), 2);
    EXPECT_EQ(q.ask(MOLK_OP_MOD_GET, 1, "/m", T), 2);
    std::string err = capture_stderr([&] { EXPECT_EQ(q.ask(99, 1, "/m", T), MOLK_ERROR); });
    EXPECT_EQ(q.last_ret, 0);
    EXPECT_STREQ(q.msg.error_msg, "Unknown File Lock Operation 99\n");
    EXPECT_NE(err.find("Unknown File Lock Operation 99"), std::string::npos) << err;
}

TEST(LockQueue, MessageLayoutMatchesTheWire) {
    MOLK_LOCK_MSG_T m{};
    m.exit_status = 0x01020304;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(&m);
    EXPECT_EQ(p[1980], 0x04); // little-endian at its tabled offset
    EXPECT_EQ(p[1983], 0x01);
    EXPECT_EQ(sizeof(MODSK_MSG_CONT_T), 2004u);
}
