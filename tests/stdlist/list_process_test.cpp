// Many processes on one list through the real daemon: concurrent writers lose nothing, and a writer
// killed at any moment leaves the old or the new data file, whole.
#include "list_fixture.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <random>

using namespace tl;

namespace {

// The dead process's file locks go the way its fatal cleanup would have sent them.
void release_locks_of(const std::string &home, const std::string &port, pid_t dead) {
    Proc reaper(home);
    ASSERT_TRUE(reaper.connect(port, static_cast<int>(dead)));
    reaper.fatal->run(reaper.fatal);
}

TEST(ListProcesses, EightWritersAddTwoHundredEachAndNothingIsLost) {
    mot_test::TempDir home;
    Daemon daemon(home.path);
    const int writers = 8, each = 200;
    std::vector<pid_t> pids;
    for (int w = 0; w < writers; w++) {
        pids.push_back(spawn([&, w] {
            Proc p(home.path);
            if (p.registered != 0 || !p.connect(daemon.port))
                return 1;
            MOT_TOP_STYPE_T *s = p.stype("tnote");
            for (int i = 0; i < each; i++) {
                // One request per element, as the web server would serve them.
                if (p.init(s) != 0 || p.add_note(s, "w" + std::to_string(w) + "-" + std::to_string(i)) != 0)
                    return 1;
                p.end_request();
            }
            return 0;
        }));
    }
    for (pid_t pid : pids)
        EXPECT_EQ(wait_status(pid), 0);

    Proc p(home.path);
    ASSERT_TRUE(p.connect(daemon.port));
    MOT_TOP_STYPE_T *s = p.stype("tnote");
    ASSERT_EQ(p.init(s), 0);
    MOK_DATA_RECORD_T *first = nullptr;
    ASSERT_EQ(s->read_data(s, &first), 0);
    std::vector<int> ids = ids_of(first);
    std::vector<std::string> titles = titles_of(first);
    ASSERT_EQ(ids.size(), static_cast<size_t>(writers * each));
    std::set<int> distinct(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), ids.size());
    EXPECT_EQ(*distinct.begin(), 2);
    EXPECT_EQ(*distinct.rbegin(), writers * each + 1);
    std::set<std::string> distinct_titles(titles.begin(), titles.end());
    EXPECT_EQ(distinct_titles.size(), titles.size());
    // Each writer's elements are in the file in the order it added them.
    std::map<int, int> next_of_writer;
    for (const std::string &t : titles) {
        int w = std::stoi(t.substr(1, t.find('-') - 1));
        int i = std::stoi(t.substr(t.find('-') + 1));
        EXPECT_EQ(i, next_of_writer[w]++) << t;
    }
    // One history file per element, holding one "Created" entry for that element.
    int histories = 0;
    for (int id : ids) {
        std::string h = read_file(home.path + "/lib/tnote/history/" + std::to_string(id));
        bool ok = h.find("ID 1\nFID " + std::to_string(id) + "\nOP 0\n") == 0 &&
                  h.find("------") == std::string::npos;
        histories += ok ? 1 : 0;
    }
    EXPECT_EQ(histories, writers * each);
    EXPECT_FALSE(file_exists(home.path + "/lib/tnote/0.tmp"));
}

TEST(ListProcesses, WriterKilledAtRandomMomentsLeavesAWholeFile) {
    mot_test::TempDir home;
    Daemon daemon(home.path);
    const std::string data = home.path + "/lib/tnote/0";
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pause_us(0, 8000);
    Proc p(home.path);
    ASSERT_TRUE(p.connect(daemon.port));
    MOT_TOP_STYPE_T *s = p.stype("tnote");
    // A list large enough that a write takes a while.
    ASSERT_EQ(p.init(s), 0);
    for (int i = 0; i < 300; i++)
        ASSERT_EQ(p.add_note(s, "seed " + std::to_string(i) + std::string(200, 'x')), 0);
    p.end_request();

    size_t known = 300;
    int missing = 0, broken = 0, grew = 0;
    for (int round = 0; round < 200; round++) {
        pid_t child = -1;
        mot_test::ChildResult res = mot_test::run_forked(
            [&](int ready) {
                Proc w(home.path);
                if (w.registered != 0 || !w.connect(daemon.port))
                    return;
                MOT_TOP_STYPE_T *ws = w.stype("tnote");
                for (int i = 0;; i++) {
                    if (w.init(ws) != 0 ||
                        w.add_note(ws, "round " + std::to_string(i) + std::string(200, 'y')) != 0)
                        return;
                    w.end_request();
                    // After one whole write: the kill lands somewhere in the later ones.
                    if (i == 0 && write(ready, "wrote", 5) != 5)
                        return;
                }
            },
            [&](pid_t pid, const std::string &) {
                child = pid;
                usleep(static_cast<useconds_t>(pause_us(rng)));
                kill(pid, SIGKILL);
            });
        ASSERT_TRUE(WIFSIGNALED(res.status) && WTERMSIG(res.status) == SIGKILL) << res.err;
        release_locks_of(home.path, daemon.port, child);

        if (!file_exists(data)) {
            missing++;
            continue;
        }
        ASSERT_EQ(p.init(s), 0);
        MOK_DATA_RECORD_T *first = nullptr;
        std::string err = mot_test::capture_stderr([&] {
            if (s->read_data(s, &first) != 0)
                first = nullptr;
        });
        std::vector<int> ids = ids_of(first);
        bool whole = err.empty() && ids.size() >= known;
        for (size_t i = 0; whole && i < ids.size(); i++)
            whole = ids[i] == static_cast<int>(i) + 2;
        std::string text = read_file(data);
        whole = whole && !text.empty() && text.back() == '\n';
        if (!whole)
            broken++;
        if (ids.size() > known)
            grew++;
        known = std::max(known, ids.size());
        p.end_request();
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(grew, 200) << "every writer wrote before it was killed";
}

} // namespace
