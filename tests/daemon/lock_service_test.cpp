// The lock service end to end: real daemon process, real clients over the socket.
#include "daemon/moti_timeout.h"
#include "daemon_fixture.h"
#include "platform/mocl_cleanup.h"
#include "platform/mop_process_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/moux_unix_process.h"
#include "platform/moux_unix_timeout.h"

#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>

using namespace mot_test;

namespace {

// One lock message as the client builds it; `asking_for` seconds back-date when the caller started
// asking, as a client that has been waiting that long sends it.
MOLK_LOCK_MSG_T *raw_op(Client &c, int op, const char *file, int read_timeout = MOLK_READ_TIMEOUT,
                        int write_timeout = MOLK_WRITE_TIMEOUT, const char *id = "", int asking_for = 0) {
    return c.raw([&](MOLK_LOCK_MSG_T *m) {
        m->op = op;
        snprintf(m->filename, sizeof(m->filename), "%s", file);
        snprintf(m->description, sizeof(m->description), "Groups Data");
        snprintf(m->id_num, sizeof(m->id_num), "%s", id);
        m->read_timeout = read_timeout;
        m->write_timeout = write_timeout;
        time_t now = time(nullptr);
        m->date = static_cast<int32_t>(now - asking_for);
    });
}

} // namespace

TEST(LockService, ReadersShareAWriterWaitsAndBreaksExpiredLocks) {
    DaemonProcess d;
    Client r1(d.port, "r1", 101), r2(d.port, "r2", 102), w(d.port, "w", 103);
    ASSERT_EQ(r1.lock->file_lock(r1.lock, MOLK_FILE_READ, "/data/groups", "Groups Data", nullptr), 0);
    ASSERT_EQ(r2.lock->file_lock(r2.lock, MOLK_FILE_READ, "/data/groups", "Groups Data", nullptr), 0);
    // Both read locks are live under the standard timeouts: the writer is told to wait.
    EXPECT_EQ(raw_op(w, MOLK_OP_WRITE_LOCK, "/data/groups")->exit_status, MOLK_WAIT);
    // A reader of another file is not affected, and nobody waits on the other file.
    EXPECT_EQ(raw_op(w, MOLK_OP_WRITE_LOCK, "/data/users")->exit_status, MOLK_DONE);
    EXPECT_EQ(raw_op(w, MOLK_OP_WRITE_UNLOCK, "/data/users")->exit_status, MOLK_DONE);

    // The expiry is judged by the asking message: under a read timeout below their age the readers are
    // broken (the rule at chosen times is the lock queue's test).
    EXPECT_EQ(raw_op(w, MOLK_OP_WRITE_LOCK, "/data/groups", -1)->exit_status, MOLK_DONE);
    std::string list = w.list();
    EXPECT_EQ(list.find("file for reading"), std::string::npos) << list;
    EXPECT_NE(list.find("Groups Data file(/data/groups) file for writing  was locked"), std::string::npos)
        << list;

    // A reader now waits for the writer; after the writer releases it gets the lock.
    EXPECT_EQ(raw_op(r1, MOLK_OP_READ_LOCK, "/data/groups")->exit_status, MOLK_WAIT);
    ASSERT_EQ(w.lock->file_lock(w.lock, MOLK_FILE_WRITE_RELEASE, "/data/groups", "Groups Data", nullptr), 0);
    EXPECT_EQ(raw_op(r1, MOLK_OP_READ_LOCK, "/data/groups")->exit_status, MOLK_DONE);
    // The broken lock of r2 can no longer be released.
    std::string err = capture_stderr([&] {
        EXPECT_EQ(r2.lock->file_lock(r2.lock, MOLK_FILE_READ_RELEASE, "/data/groups", "Groups Data", nullptr),
                  1);
    });
    EXPECT_NE(
        err.find(
            "Can't unlock. The process has not locked the Groups Data file(/data/groups) file for reading "
            "or it was broken by the administrator"),
        std::string::npos)
        << err;
}

TEST(LockService, AReaderClearsAnotherReadersExpiredLockOfTheFile) {
    DaemonProcess d;
    Client r1(d.port, "r1", 101), r2(d.port, "r2", 102);
    ASSERT_EQ(r1.lock->file_lock(r1.lock, MOLK_FILE_READ, "/data/groups", "Groups Data", nullptr), 0);
    ASSERT_EQ(r1.lock->file_lock(r1.lock, MOLK_FILE_READ, "/data/users", "Groups Data", nullptr), 0);
    // Within the timeout both readers hold the file.
    EXPECT_EQ(raw_op(r2, MOLK_OP_READ_LOCK, "/data/groups")->exit_status, MOLK_DONE);
    EXPECT_EQ(mot_test::count_of(r2.list(), "file(/data/groups) file for reading"), 2u);
    EXPECT_EQ(raw_op(r2, MOLK_OP_READ_UNLOCK, "/data/groups")->exit_status, MOLK_DONE);
    // Under a timeout below its age, r1's lock (say of a killed process) goes when the next reader asks;
    // its lock of another file stays.
    EXPECT_EQ(raw_op(r2, MOLK_OP_READ_LOCK, "/data/groups", -1)->exit_status, MOLK_DONE);
    std::string list = r2.list();
    EXPECT_EQ(mot_test::count_of(list, "file(/data/groups) file for reading"), 1u) << list;
    EXPECT_EQ(mot_test::count_of(list, "file(/data/users) file for reading"), 1u) << list;
}

TEST(LockService, AWaitingWriterGetsTheLockOnceTheReaderReleases) {
    DaemonProcess d;
    Client reader(d.port, "reader");
    ASSERT_EQ(reader.lock->file_lock(reader.lock, MOLK_FILE_READ, "/data/tables", "Tables Data", nullptr), 0);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        Client w(d.port, "writer");
        int ok = w.lock->file_lock(w.lock, MOLK_FILE_WRITE, "/data/tables", "Tables Data", nullptr);
        int held = FALSE;
        w.lock->file_lock(w.lock, MOLK_FILE_WRITE_HELD, "/data/tables", "Tables Data", &held);
        char byte = (ok == 0 && held == TRUE) ? 'y' : 'n';
        ssize_t wr = write(ready[1], &byte, 1);
        _exit(wr == 1 ? 0 : 1);
    }
    // The writer is waiting once its claim holds a new reader back.
    Client probe(d.port, "probe", 777);
    bool waiting = false;
    for (int i = 0; i < 500 && !waiting; i++) {
        waiting = raw_op(probe, MOLK_OP_READ_LOCK, "/data/tables")->exit_status == MOLK_WAIT;
        if (!waiting) {
            raw_op(probe, MOLK_OP_READ_UNLOCK, "/data/tables");
            usleep(10000);
        }
    }
    ASSERT_TRUE(waiting);
    ASSERT_EQ(
        reader.lock->file_lock(reader.lock, MOLK_FILE_READ_RELEASE, "/data/tables", "Tables Data", nullptr),
        0);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
}

TEST(LockService, ReadLockWhileHoldingTheWriteLockIsAnError) {
    DaemonProcess d;
    Client c(d.port);
    ASSERT_EQ(c.lock->file_lock(c.lock, MOLK_FILE_WRITE, "/data/items", "Items Data", nullptr), 0);
    int status = 0;
    std::string err = capture_stderr([&] {
        EXPECT_EQ(c.lock->file_lock(c.lock, MOLK_FILE_READ, "/data/items", "Items Data", &status), 1);
    });
    EXPECT_EQ(status, 1);
    EXPECT_NE(
        err.find(
            "The Items Data file(/data/items) file for writing is already locked by this process. How did "
            "this happen?"),
        std::string::npos)
        << err;
    EXPECT_NE(err.find("should timeout after 2 minutes 0 secs"), std::string::npos) << err;
    // The checks see the write lock and no read lock.
    EXPECT_EQ(c.lock->file_lock(c.lock, MOLK_FILE_WRITE_CHECK, "/data/items", "Items Data", nullptr), 0);
    err = capture_stderr([&] {
        EXPECT_EQ(c.lock->file_lock(c.lock, MOLK_FILE_READ_CHECK, "/data/items", "Items Data", nullptr), 1);
    });
    EXPECT_NE(
        err.find("Lock for Items Data file(/data/items) file for reading timed out it took longer than 1 "
                 "minutes 0 secs."),
        std::string::npos)
        << err;
}

TEST(LockService, ModificationNumbersStartAtOneAndRise) {
    DaemonProcess d;
    Client a(d.port), b(d.port);
    int n = 0;
    ASSERT_EQ(a.lock->file_lock(a.lock, MOLK_FILE_MOD_GET, "/data/mark", "Mark", &n), 0);
    EXPECT_EQ(n, 1);
    ASSERT_EQ(a.lock->file_lock(a.lock, MOLK_FILE_MOD_RAISE, "/data/mark", "Mark", nullptr), 0);
    ASSERT_EQ(b.lock->file_lock(b.lock, MOLK_FILE_MOD_GET, "/data/mark", "Mark", &n), 0);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(b.lock->file_lock(b.lock, MOLK_FILE_MOD_RAISE, "/data/mark", "Mark", nullptr), 0);
    ASSERT_EQ(a.lock->file_lock(a.lock, MOLK_FILE_MOD_GET, "/data/mark", "Mark", &n), 0);
    EXPECT_EQ(n, 3);
    ASSERT_EQ(a.lock->file_lock(a.lock, MOLK_FILE_MOD_GET, "/data/other", "Mark", &n), 0);
    EXPECT_EQ(n, 1);
    std::string err =
        capture_stderr([&] { EXPECT_EQ(a.lock->file_lock(a.lock, 10, "/data/x", "X", &n), 1); });
    EXPECT_NE(err.find("Can't find inst 10 in molk_call_file_lock"), std::string::npos) << err;
}

TEST(LockService, ElementLocksBelongToTheUser) {
    DaemonProcess d;
    Client a(d.port, "alice"), b(d.port, "bob");
    ASSERT_EQ(a.lock->element_lock(a.lock, MOLK_ELEMENT_TAKE, "/data/docs", "Docs ID Number", "5", nullptr),
              0);
    // Bob's id 6 is free; his id 5 waits, and fails naming alice once he has asked for over five seconds.
    EXPECT_EQ(b.lock->element_lock(b.lock, MOLK_ELEMENT_TAKE, "/data/docs", "Docs ID Number", "6", nullptr),
              0);
    EXPECT_EQ(raw_op(b, MOLK_OP_ELEMENT_LOCK, "/data/docs", 600, 600, "5")->exit_status, MOLK_WAIT);
    MOLK_LOCK_MSG_T *m = raw_op(b, MOLK_OP_ELEMENT_LOCK, "/data/docs", 600, 600, "5", MOLK_ELEMENT_WAIT + 1);
    EXPECT_EQ(m->exit_status, MOLK_ERROR);
    std::string err = m->error_msg;
    EXPECT_NE(
        err.find("The Docs ID Number file(/data/docs) element 5 is already locked by alice on host1 agent."),
        std::string::npos)
        << err;
    EXPECT_NE(err.find("should timeout after 10 minutes 0 secs."), std::string::npos) << err;

    // A later process of the same user, machine and agent checks and releases alice's lock.
    {
        Client a2(d.port, "alice");
        EXPECT_EQ(
            a2.lock->element_lock(a2.lock, MOLK_ELEMENT_CHECK, "/data/docs", "Docs ID Number", "5", nullptr),
            0);
        err = capture_stderr([&] {
            EXPECT_EQ(a2.lock->element_lock(a2.lock, MOLK_ELEMENT_CHECK, "/data/docs", "Docs ID Number", "7",
                                            nullptr),
                      1);
        });
        EXPECT_NE(
            err.find("You haven't got a lock for Docs ID Number file(/data/docs) element ID 7.\n In fact you "
                     "have locked ID number 5 instead."),
            std::string::npos)
            << err;
        EXPECT_EQ(a2.lock->element_lock(a2.lock, MOLK_ELEMENT_RELEASE, "/data/docs", "Docs ID Number", "5",
                                        nullptr),
                  0);
    }
    err = capture_stderr([&] {
        EXPECT_EQ(
            a.lock->element_lock(a.lock, MOLK_ELEMENT_RELEASE, "/data/docs", "Docs ID Number", "5", nullptr),
            1);
    });
    EXPECT_NE(
        err.find(
            "Lock for Docs ID Number file(/data/docs) element 5 timed out it took longer than 10 minutes 0 "
            "secs."),
        std::string::npos)
        << err;

    // "All" blocks every id of the file for others; a lock on "All" itself ignores single ids.
    EXPECT_EQ(a.lock->element_lock(a.lock, MOLK_ELEMENT_TAKE, "/data/docs", "Docs ID Number", "All", nullptr),
              0);
    EXPECT_EQ(raw_op(b, MOLK_OP_ELEMENT_LOCK, "/data/docs", 600, 600, "9")->exit_status, MOLK_WAIT);
    EXPECT_EQ(raw_op(b, MOLK_OP_ELEMENT_LOCK, "/data/tabs", 600, 600, "9")->exit_status, MOLK_DONE);
    // Releasing all of bob's element locks frees id 6 and the tabs lock; alice's stay.
    EXPECT_EQ(
        b.lock->element_lock(b.lock, MOLK_ELEMENT_RELEASE_ALL, "/data/docs", "Docs ID Number", "", nullptr),
        0);
    std::string list = a.list();
    EXPECT_EQ(list.find("bob"), std::string::npos) << list;
    EXPECT_NE(list.find("element All was locked"), std::string::npos) << list;
}

TEST(LockService, SenderCleanupOfAKilledClientFreesItsFileLocks) {
    DaemonProcess d;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        Client c(d.port, "dying", 0, false);
        // As the program entry does: the fatal-signal handler runs the "Request-Fatal" list, which
        // gets the lock cleanup when the lock client is initialised.
        MOS_SIGNAL_T *sig = c.b.aux->signal;
        sig->init(sig);
        sig->add_cleanup(sig, &sig->req_fatal_cleanup_ref, nullptr, mocl_cleanup_run_ref, c.b.fatal);
        c.lock->init(c.lock, "dying", "host1", "", static_cast<int>(getpid()), c.b.fatal);
        int ok = c.lock->file_lock(c.lock, MOLK_FILE_READ, "/data/a", "A Data", nullptr);
        ok |= c.lock->file_lock(c.lock, MOLK_FILE_WRITE, "/data/b", "B Data", nullptr);
        ok |= c.lock->element_lock(c.lock, MOLK_ELEMENT_TAKE, "/data/b", "B ID Number", "3", nullptr);
        char byte = ok == 0 ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    Client watcher(d.port, "watcher");
    std::string before = watcher.list();
    EXPECT_NE(before.find("A Data file(/data/a) file for reading"), std::string::npos) << before;
    EXPECT_NE(before.find("B Data file(/data/b) file for writing"), std::string::npos) << before;
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    std::string after = watcher.list();
    EXPECT_EQ(after.find("file for"), std::string::npos) << after;
    // Element locks belong to the user and survive the process.
    EXPECT_NE(after.find("B ID Number file(/data/b) element 3 was locked"), std::string::npos) << after;
    EXPECT_EQ(raw_op(watcher, MOLK_OP_WRITE_LOCK, "/data/a")->exit_status, MOLK_DONE);
    close(ready[0]);
    close(ready[1]);
}

TEST(LockService, LongListsAreCutAndOverlongFieldsBounded) {
    DaemonProcess d;
    Client c(d.port);
    for (int i = 0; i < 30; i++) {
        std::string file = "/data/file_number_" + std::to_string(i);
        ASSERT_EQ(c.lock->file_lock(c.lock, MOLK_FILE_READ, file.c_str(),
                                    "A fairly long description of the data", nullptr),
                  0);
    }
    std::string list = c.list();
    EXPECT_GT(list.size(), 900u);
    EXPECT_LT(list.size(), static_cast<size_t>(MOLK_ERROR_MSG_LEN));
    EXPECT_EQ(
        list.rfind("A fairly long description of the data file(/data/file_number_0) file for reading", 0),
        0u);

    // Texts without their NUL are cut at the end of their fields.
    MOLK_LOCK_MSG_T *m = c.raw([](MOLK_LOCK_MSG_T *msg) {
        msg->op = MOLK_OP_READ_LOCK;
        memset(msg->filename, 'F', sizeof(msg->filename));
        memset(msg->description, 'D', sizeof(msg->description));
        memset(msg->user_id, 'U', sizeof(msg->user_id));
        memset(msg->id_num, 'I', sizeof(msg->id_num));
        msg->sender_id = 4242;
    });
    EXPECT_EQ(m->exit_status, MOLK_DONE);
    int ret = -1;
    m = c.raw(
        [](MOLK_LOCK_MSG_T *msg) {
            msg->op = MOLK_OP_READ_CHECK;
            memset(msg->filename, 'F', sizeof(msg->filename));
            msg->sender_id = 4242;
        },
        &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(m->exit_status, MOLK_DONE);
    EXPECT_TRUE(d.running());
}

TEST(LockService, AnUnknownOperationIsAnsweredWithAnErrorAndTheDaemonServesOn) {
    DaemonProcess d;
    Client c(d.port);
    int ret = 0;
    for (int op : {77, 0}) {
        MOLK_LOCK_MSG_T *m = c.raw([&](MOLK_LOCK_MSG_T *msg) { msg->op = op; }, &ret);
        EXPECT_EQ(ret, 0);
        EXPECT_EQ(m->exit_status, MOLK_ERROR);
        EXPECT_EQ(std::string(m->error_msg), "Unknown File Lock Operation " + std::to_string(op) + "\n");
    }
    EXPECT_EQ(c.lock->file_lock(c.lock, MOLK_FILE_READ, "/data/after", "After", nullptr), 0);
    EXPECT_TRUE(d.running());
    EXPECT_NE(d.output().find("Unknown File Lock Operation 77"), std::string::npos);
}

namespace {

int no_pause(MOTI_TIMEOUT_SERVER_T *, int) noexcept {
    return 0;
}

// A daemon that also keeps time limits, as the real one does.
void with_timeouts(Bundle &b) {
    static MOTI_TIMEOUT_SERVER_T slots = moux_timeout_slots;
    slots.pause = no_pause;
    moti_server_construct_slots(nullptr, &b.error, b.aux->daemon, &b.mem, &slots, nullptr);
}

} // namespace

TEST(LockService, ADyingProcessGivesBackItsLocksAndTimeLimitsAfterItsConnectionWasLost) {
    DaemonProcess d(with_timeouts);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        // Built in the order of the program entry, so the fatal list runs the lock cleanup, then the
        // connection's close, then the children's kill with its time-limit cancel.
        Client c(d.port, "dying", 0, false);
        MOS_SIGNAL_T *sig = c.b.aux->signal;
        sig->init(sig);
        sig->add_cleanup(sig, &sig->req_fatal_cleanup_ref, nullptr, mocl_cleanup_run_ref, c.b.fatal);
        MOP_PROCESS_T *proc = nullptr;
        mop_process_construct(&proc, c.b.low, &moux_process_slots);
        proc->init(proc, c.b.fatal, sig, c.req->timeout_client);
        c.daemon->client_end(c.daemon);
        mo_string_t why = "";
        c.daemon->client_start(c.daemon, c.b.fatal, why);
        c.lock->init(c.lock, "dying", "host1", "", static_cast<int>(getpid()), c.b.fatal);
        MOP_CHANNEL_T ch{};
        int ok = proc->open_process_timeout(proc, &ch, MOP_ON_ERROR_IGNORE, 600, "sleep", "60",
                                            static_cast<const char *>(nullptr));
        ok |= c.lock->file_lock(c.lock, MOLK_FILE_READ, "/data/a", "A Data", nullptr);
        ok |= c.lock->file_lock(c.lock, MOLK_FILE_WRITE, "/data/b", "B Data", nullptr);
        // The connection goes, as after a reply that came too late: the next call fails.
        shutdown(static_cast<MODSK_CLIENT_T *>(c.daemon->ref)->socket, SHUT_RDWR);
        int n = 0;
        int lost = c.lock->file_lock(c.lock, MOLK_FILE_MOD_GET, "/data/a", "A Data", &n);
        int32_t report[2] = {ok == 0 && lost == 1 ? 1 : 0, ch.child_pid};
        if (write(ready[1], report, sizeof(report)) != static_cast<ssize_t>(sizeof(report)))
            _exit(1);
        for (;;)
            pause();
    }
    int32_t report[2] = {0, 0};
    ASSERT_EQ(read(ready[0], report, sizeof(report)), static_cast<ssize_t>(sizeof(report)));
    ASSERT_EQ(report[0], 1);
    Client watcher(d.port, "watcher");
    std::string before = watcher.list();
    EXPECT_NE(before.find("B Data file(/data/b) file for writing"), std::string::npos) << before;
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;

    std::string after = watcher.list();
    EXPECT_EQ(after.find("file for"), std::string::npos) << after;
    EXPECT_EQ(raw_op(watcher, MOLK_OP_WRITE_LOCK, "/data/b")->exit_status, MOLK_DONE);
    // The child's time limit was cancelled: a new one for the same group is taken.
    MOTI_TIMEOUT_CLIENT_T *timeouts = watcher.req->timeout_client;
    EXPECT_EQ(timeouts->start(timeouts, report[1], 600), 0);
    EXPECT_EQ(timeouts->cancel(timeouts, report[1]), 0);
    close(ready[0]);
    close(ready[1]);
}

namespace {

// A process that takes 20 ms read locks on one file back to back until it is killed.
pid_t start_busy_reader(const std::string &port, int index) {
    pid_t pid = fork();
    if (pid == 0) {
        Client r(port, ("reader" + std::to_string(index)).c_str(), 1000 + index);
        for (;;) {
            if (r.lock->file_lock(r.lock, MOLK_FILE_READ, "/data/tree", "Tree Data", nullptr) != 0)
                _exit(1);
            usleep(20000);
            if (r.lock->file_lock(r.lock, MOLK_FILE_READ_RELEASE, "/data/tree", "Tree Data", nullptr) != 0)
                _exit(1);
        }
    }
    return pid;
}

} // namespace

TEST(LockService, AWriterGetsInPromptlyAmongBusyReaders) {
    DaemonProcess d;
    std::vector<pid_t> readers;
    for (int i = 0; i < 8; i++)
        readers.push_back(start_busy_reader(d.port, i));
    // The writer runs in its own process, so that a writer that never gets in fails the test
    // instead of holding it up; it reports how long each of its rounds waited.
    const int rounds = 10;
    int times[2];
    ASSERT_EQ(pipe(times), 0);
    pid_t writer = fork();
    if (writer == 0) {
        Client w(d.port, "writer", 999);
        usleep(200000); // the readers are under way
        for (int i = 0; i < rounds; i++) {
            auto start = std::chrono::steady_clock::now();
            if (w.lock->file_lock(w.lock, MOLK_FILE_WRITE, "/data/tree", "Tree Data", nullptr) != 0)
                _exit(1);
            int32_t ms = static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count());
            usleep(20000);
            if (w.lock->file_lock(w.lock, MOLK_FILE_WRITE_RELEASE, "/data/tree", "Tree Data", nullptr) != 0 ||
                write(times[1], &ms, sizeof(ms)) != static_cast<ssize_t>(sizeof(ms)))
                _exit(1);
            usleep(50000);
        }
        _exit(0);
    }
    close(times[1]);
    int got = 0;
    for (; got < rounds; got++) {
        struct pollfd pfd = {times[0], POLLIN, 0};
        if (poll(&pfd, 1, 10000) != 1)
            break;
        int32_t ms = 0;
        if (read(times[0], &ms, sizeof(ms)) != static_cast<ssize_t>(sizeof(ms)))
            break;
        EXPECT_LT(ms, 2000) << "round " << got;
    }
    EXPECT_EQ(got, rounds) << "the writer did not get the lock within 10 seconds";
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    for (pid_t r : readers) {
        int status = 0;
        // Every reader is still at work: none was refused or left waiting for good.
        EXPECT_EQ(waitpid(r, &status, WNOHANG), 0);
        kill(r, SIGKILL);
        waitpid(r, nullptr, 0);
    }
    close(times[0]);
    EXPECT_TRUE(d.running());
}
