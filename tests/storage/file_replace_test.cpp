// Files replaced whole: keyword files and other whole-file writes go through a temporary file that is
// flushed and renamed, so that a failed or killed writer leaves the old file, never an empty or cut one.
#include "platform/mof_file_cmn.h"
#include "platform/moux_unix_file.h"
#include "storage/mok_key.h"
#include "support/bundle.h"
#include "support/files.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using mot_test::count_of;
using mot_test::file_exists;
using mot_test::read_file;
using mot_test::write_file;
using testing::HasSubstr;

struct Row {
    char *name;
    int count;
};

std::vector<MOK_GEN_KEYWORD_T> row_keywords() {
    std::vector<MOK_GEN_KEYWORD_T> k(2);
    mok_load_keyword(&k[0], "NAM", offsetof(Row, name), mok_init_string, "", mok_read_string,
                     mok_write_string, mok_free_string);
    mok_load_keyword(&k[1], "CNT", offsetof(Row, count), mok_init_integer, mok_int_ref(0), mok_read_integer,
                     mok_write_integer, mok_free_integer);
    return k;
}

// A list of `n` records whose names all carry `tag`, in the bundle's pool.
MOK_DATA_RECORD_T *make_rows(mot_test::Bundle &b, const std::vector<MOK_GEN_KEYWORD_T> &k, int n,
                             const std::string &tag) {
    MOK_DATA_RECORD_T *first = nullptr;
    MOK_DATA_RECORD_T **link = &first;
    for (int i = 0; i < n; i++) {
        MOK_DATA_RECORD_T *r = nullptr;
        if (mok_get_and_init_new_data_record(b.aux, nullptr, &r, k.data(), static_cast<int>(k.size()),
                                             sizeof(Row)) != 0)
            return nullptr;
        Row *row = static_cast<Row *>(r->container);
        std::string name = tag + " row " + std::to_string(i);
        b.mem.store_string(&b.mem, nullptr, &row->name, name.c_str());
        row->count = i;
        *link = r;
        link = &r->next;
    }
    return first;
}

int write_rows(mot_test::Bundle &b, const std::string &path, const std::vector<MOK_GEN_KEYWORD_T> &k,
               MOK_DATA_RECORD_T *rows) {
    return mok_write_keyword_list(b.aux, nullptr, path.c_str(), k.data(), static_cast<int>(k.size()), rows,
                                  sizeof(Row));
}

struct FileReplace : ::testing::Test {
    mot_test::Bundle b;
    mot_test::TempDir dir;
    MOF_FILE_T *file = b.aux->file;
    std::string path = dir.path + "/list";
};

TEST_F(FileReplace, WholeFileIsReplacedAndATemporaryFileLeftByACrashIsOverwritten) {
    write_file(path, "old content\n");
    write_file(path + ".tmp", std::string(100000, 'x')); // what a killed writer left behind
    std::string text = "new content\n";
    ASSERT_EQ(mof_file_write_whole(file, path.c_str(), text.data(), text.size()), 0);
    EXPECT_EQ(read_file(path), text);
    EXPECT_FALSE(file_exists(path + ".tmp"));

    // Keyword files go the same way, an empty list included.
    auto k = row_keywords();
    ASSERT_EQ(write_rows(b, path, k, make_rows(b, k, 2, "a")), 0);
    EXPECT_EQ(read_file(path), "NAM a row 0\nCNT 0\n------\nNAM a row 1\nCNT 1\n");
    ASSERT_EQ(write_rows(b, path, k, nullptr), 0);
    EXPECT_EQ(read_file(path), "");
    EXPECT_FALSE(file_exists(path + ".tmp"));

    // What is not a plain file has nothing to replace whole: it is written in place, so that a link
    // stays a link (and a device a device).
    std::string target = dir.path + "/target", link = dir.path + "/link";
    write_file(target, "before\n");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(mof_file_write_whole(file, link.c_str(), "through\n", 8), 0);
    EXPECT_EQ(read_file(target), "through\n");
    char buf[300] = "";
    EXPECT_GT(readlink(link.c_str(), buf, sizeof(buf) - 1), 0) << "the link is still a link";
    EXPECT_FALSE(file_exists(link + ".tmp"));
}

int failing_write_line(MOF_FILE_T *file, const char *filename, void *ref, const char *text) noexcept {
    static int calls = 0;
    if (++calls % 3 == 0) {
        file->low->error->report(file->low->error, "Write of file %s: No space left on device\n", filename);
        return 1;
    }
    return moux_file_write_line(file, filename, ref, text);
}

int failing_replace(MOF_FILE_T *file, const char *, const char *src) noexcept {
    file->low->error->report(file->low->error, "Can't move %s: Input/output error\n", src);
    return 1;
}

TEST_F(FileReplace, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    auto k = row_keywords();
    ASSERT_EQ(write_rows(b, path, k, make_rows(b, k, 3, "old")), 0);
    std::string before = read_file(path);

    file->write_line = failing_write_line;
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = write_rows(b, path, k, make_rows(b, k, 50, "new")); });
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(count_of(err, "No space left on device"), 1u) << err;
    EXPECT_THAT(err, HasSubstr("Error in mok_write_keyword_list\n"));
    EXPECT_EQ(read_file(path), before);
    EXPECT_FALSE(file_exists(path + ".tmp"));

    // A temporary file that cannot be put in place is reported once, and goes.
    file->write_line = moux_file_write_line;
    file->replace_file = failing_replace;
    err = mot_test::capture_stderr([&] { ret = mof_file_write_whole(file, path.c_str(), "x", 1); });
    file->replace_file = moux_file_replace_file;
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(count_of(err, "Can't move " + path + ".tmp"), 1u) << err;
    EXPECT_EQ(read_file(path), before);
    EXPECT_FALSE(file_exists(path + ".tmp"));

    // A name one byte too long for the temporary file is refused before anything is written.
    std::string parent = dir.path + "/" + std::string(150, 'p');
    std::string longest = parent + "/" + std::string(MO_FILENAME_LEN - 2 - parent.size(), 'n');
    ASSERT_EQ(longest.size(), static_cast<size_t>(MO_FILENAME_LEN - 1));
    err = mot_test::capture_stderr([&] { ret = mof_file_write_whole(file, longest.c_str(), "x", 1); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Path too long"));
    EXPECT_FALSE(file_exists(longest));
}

// Writers killed at random moments: the file is always the old list or the new one, whole. Before
// the writes went through a temporary file, most kills left it empty or cut.
TEST_F(FileReplace, WritersKilledAtRandomMomentsLeaveTheOldOrTheNewFile) {
    auto k = row_keywords();
    const int rows = 400;
    std::vector<std::string> versions;
    for (const char *tag : {"first", "second"}) {
        std::string p = dir.path + "/" + tag;
        ASSERT_EQ(write_rows(b, p, k, make_rows(b, k, rows, tag)), 0);
        versions.push_back(read_file(p));
    }
    ASSERT_EQ(write_rows(b, path, k, make_rows(b, k, rows, "first")), 0);

    std::mt19937 random(12345);
    int kills = 0, torn = 0;
    std::string seen;
    for (int round = 0; round < 300; round++) {
        int pipefd[2];
        ASSERT_EQ(pipe(pipefd), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(pipefd[0]);
            // The child builds both lists first, says so, then writes them in turn until it is killed.
            mot_test::Bundle cb;
            MOK_DATA_RECORD_T *lists[2] = {make_rows(cb, k, rows, "first"), make_rows(cb, k, rows, "second")};
            if (write(pipefd[1], "r", 1) != 1)
                _exit(3);
            for (int i = 0;; i++)
                if (write_rows(cb, path, k, lists[i % 2]) != 0)
                    _exit(4);
        }
        close(pipefd[1]);
        char c;
        ASSERT_EQ(read(pipefd[0], &c, 1), 1);
        close(pipefd[0]);
        usleep(static_cast<useconds_t>(random() % 20000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            kills++;
        std::string now = read_file(path);
        if (now != versions[0] && now != versions[1]) {
            torn++;
            seen = now.substr(0, 200);
        }
    }
    EXPECT_EQ(kills, 300) << "every writer was killed while it was writing";
    EXPECT_EQ(torn, 0) << "a killed writer left neither list; one began: " << seen;
    // The next write overwrites a temporary file the last kill may have left.
    ASSERT_EQ(write_rows(b, path, k, make_rows(b, k, 1, "last")), 0);
    EXPECT_EQ(read_file(path), "NAM last row 0\nCNT 0\n");
    EXPECT_FALSE(file_exists(path + ".tmp"));
}

} // namespace
