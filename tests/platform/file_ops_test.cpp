// The POSIX file service on real files in a temporary directory: paths, status, streams, moves,
// copies, directory walks, the file-size text and the console output definition.
#include "platform/mof_file_cmn.h"
#include "platform/moux_unix_file.h"
#include "support/bundle.h"
#include "support/util.h"

#include <dirent.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using testing::HasSubstr;

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spill(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

int open_fd_count() {
    int n = 0;
    DIR *d = opendir("/proc/self/fd");
    while (readdir(d) != nullptr)
        ++n;
    closedir(d);
    return n;
}

struct FileFixture : ::testing::Test {
    mot_test::Bundle bundle;
    mot_test::TempDir tmp;
    MOF_FILE_T *file = nullptr;
    void SetUp() override {
        ASSERT_EQ(mof_file_construct(&file, bundle.low, &moux_file_slots), 0);
        file->init(file, nullptr, nullptr, nullptr, nullptr);
    }
    std::string at(const std::string &name) const { return tmp.path + "/" + name; }
    std::string path_op(int (*MOF_FILE_T::*slot)(MOF_FILE_T *, char *) noexcept, const char *in) {
        mo_filename_t buf;
        snprintf(buf, sizeof(buf), "%s", in);
        EXPECT_EQ((file->*slot)(file, buf), 0);
        return buf;
    }
};

TEST_F(FileFixture, ConstructFillsSlotsAndLeavesStateForInit) {
    EXPECT_EQ(file->low, bundle.low);
    EXPECT_EQ(file->cleanup, nullptr);
    EXPECT_EQ(file->process_ref, nullptr);
    EXPECT_EQ(file->check_file_dir, mof_file_check_file_dir);
    EXPECT_EQ(file->file_getc, moux_file_getc);
    int pool_marker = 0;
    file->init(file, &pool_marker, nullptr, "/x/bin", nullptr);
    EXPECT_EQ(file->pool_ref, &pool_marker);
    EXPECT_STREQ(file->exec_dir, "/x/bin");
}

TEST_F(FileFixture, DirnameCutsAtLastSlashOnly) {
    auto dirname = &MOF_FILE_T::get_dirname;
    EXPECT_EQ(path_op(dirname, "a/b/c"), "a/b");
    EXPECT_EQ(path_op(dirname, "c"), "");
    EXPECT_EQ(path_op(dirname, "."), ".");
    EXPECT_EQ(path_op(dirname, ".."), "..");
    EXPECT_EQ(path_op(dirname, "a\\b"), "");
    EXPECT_EQ(path_op(dirname, "/top"), "/");
}

TEST_F(FileFixture, BasenameRawnameAndExtension) {
    EXPECT_EQ(path_op(&MOF_FILE_T::get_basename, "a\\b"), "b");
    EXPECT_EQ(path_op(&MOF_FILE_T::get_basename, "C:\\docs/x/report.doc"), "report.doc");
    EXPECT_EQ(path_op(&MOF_FILE_T::get_basename, "plain"), "plain");
    EXPECT_EQ(path_op(&MOF_FILE_T::get_rawname, "dir/x.tar.gz"), "x.tar");
    EXPECT_EQ(path_op(&MOF_FILE_T::get_rawname, "dir.d/noext"), "noext");
    EXPECT_EQ(path_op(&MOF_FILE_T::get_extension, "dir.d/file"), "");
    EXPECT_EQ(path_op(&MOF_FILE_T::get_extension, "dir/x.tar.gz"), "gz");
}

TEST_F(FileFixture, UniqueFilenameTakesFirstFreeNumber) {
    spill(at("report.1"), "x");
    spill(at("report.3"), "x");
    mo_filename_t path;
    snprintf(path, sizeof(path), "%s", at("report").c_str());
    ASSERT_EQ(file->find_unique_filename(file, path), 0);
    EXPECT_EQ(std::string(path), at("report.2"));
}

TEST_F(FileFixture, UniqueFilenameGivesUpAfter999) {
    for (int i = 1; i < 1000; ++i)
        spill(at("r." + std::to_string(i)), "");
    mo_filename_t path;
    snprintf(path, sizeof(path), "%s", at("r").c_str());
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = file->find_unique_filename(file, path); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Reached max unique number (1000) for filename " + at("r") + "\n"));
}

TEST_F(FileFixture, PathThatWouldNotFitIsRefusedNotCut) {
    // 298 characters: the ".1" suffix would push it past 299 and silently name another file.
    std::string longname = tmp.path + "/" + std::string(297 - tmp.path.size(), 'n');
    ASSERT_EQ(longname.size(), 298u);
    mo_filename_t path;
    snprintf(path, sizeof(path), "%s", longname.c_str());
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = file->find_unique_filename(file, path); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Path too long (more than 299 characters): " + longname + ".1\n"));
    EXPECT_EQ(std::string(path), longname);
}

TEST_F(FileFixture, StatOperations) {
    spill(at("f"), "12345");
    long size = -1;
    EXPECT_EQ(file->get_size(file, at("f").c_str(), &size), 0);
    EXPECT_EQ(size, 5);
    mou_datetime_t mod = 0, ctime_ = 0;
    EXPECT_EQ(file->get_mod_time(file, at("f").c_str(), &mod), 0);
    EXPECT_EQ(file->get_create_time(file, at("f").c_str(), &ctime_), 0);
    struct stat st;
    ASSERT_EQ(stat(at("f").c_str(), &st), 0);
    EXPECT_EQ(mod, st.st_mtime);
    EXPECT_EQ(ctime_, st.st_ctime);
    mo_boolean_t is_dir = TRUE;
    EXPECT_EQ(file->is_dir(file, at("f").c_str(), &is_dir), 0);
    EXPECT_FALSE(is_dir);
    EXPECT_EQ(file->is_dir(file, tmp.path.c_str(), &is_dir), 0);
    EXPECT_TRUE(is_dir);
    EXPECT_TRUE(file->exists(file, at("f").c_str()));
    EXPECT_FALSE(file->exists(file, at("none").c_str()));
}

TEST_F(FileFixture, StatFailuresStoreZeroAndReport) {
    long size = 7;
    mou_datetime_t mod = 7;
    mo_boolean_t is_dir = TRUE;
    std::string missing = at("none");
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(file->get_size(file, missing.c_str(), &size), 1);
        EXPECT_EQ(file->get_mod_time(file, missing.c_str(), &mod), 1);
        EXPECT_EQ(file->is_dir(file, missing.c_str(), &is_dir), 1);
    });
    EXPECT_EQ(size, 0);
    EXPECT_EQ(mod, 0);
    EXPECT_FALSE(is_dir);
    size_t first = err.find("Can't stat file " + missing + "\n");
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_NE(err.find("Can't stat file", first + 1), std::string::npos);
}

TEST_F(FileFixture, UnavailableOperationsReport) {
    mo_boolean_t link = TRUE;
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(file->make_readonly(file, "x"), 1);
        EXPECT_EQ(file->is_link(file, "y", &link), 1);
    });
    EXPECT_THAT(err, HasSubstr("moux_file_make_readonly not implemented for file x\n"));
    EXPECT_THAT(err, HasSubstr("moux_file_is_link not implemented for file y\n"));
}

TEST_F(FileFixture, WriteThenReadLinesAndBytes) {
    std::string name = at("lines");
    void *ref = nullptr;
    ASSERT_EQ(file->open_file(file, name.c_str(), &ref, MOF_MODE_WRITE), 0);
    EXPECT_EQ(file->write_line(file, name.c_str(), ref, "first\n"), 0);
    EXPECT_EQ(file->file_putc(file, name.c_str(), ref, 'Z'), 0);
    EXPECT_EQ(file->write_buf(file, name.c_str(), ref, "abcdefgh\n", 9), 0);
    EXPECT_EQ(file->write_line(file, name.c_str(), ref, "tail"), 0);
    ASSERT_EQ(file->close_file(file, name.c_str(), ref), 0);
    ASSERT_EQ(file->open_file(file, name.c_str(), &ref, MOF_MODE_APPEND), 0);
    EXPECT_EQ(file->write_line(file, name.c_str(), ref, "+"), 0);
    ASSERT_EQ(file->close_file(file, name.c_str(), ref), 0);
    EXPECT_EQ(slurp(name), "first\nZabcdefgh\ntail+");

    ASSERT_EQ(file->open_file(file, name.c_str(), &ref, MOF_MODE_READ), 0);
    char buf[6];
    mo_boolean_t eof = TRUE;
    std::vector<std::string> pieces;
    for (;;) {
        ASSERT_EQ(file->read_line(file, name.c_str(), ref, buf, sizeof(buf), &eof), 0);
        if (eof)
            break;
        pieces.push_back(buf);
    }
    EXPECT_EQ(buf[0], '\0');
    // Lines longer than the buffer come in pieces of size minus one; the line feed is kept.
    std::vector<std::string> want = {"first", "\n", "Zabcd", "efgh\n", "tail+"};
    EXPECT_EQ(pieces, want);
    int c = 0;
    EXPECT_EQ(file->file_getc(file, name.c_str(), ref, &c), 0);
    EXPECT_EQ(c, EOF);
    ASSERT_EQ(file->close_file(file, name.c_str(), ref), 0);

    ASSERT_EQ(file->open_file(file, name.c_str(), &ref, MOF_MODE_READ), 0);
    char big[64];
    size_t count = 0;
    EXPECT_EQ(file->read_buf(file, name.c_str(), ref, big, 4, &count, &eof), 0);
    EXPECT_EQ(count, 4u);
    EXPECT_FALSE(eof);
    EXPECT_EQ(file->read_buf(file, name.c_str(), ref, big, sizeof(big), &count, &eof), 0);
    EXPECT_EQ(count, 21u - 4u);
    EXPECT_TRUE(eof);
    ASSERT_EQ(file->close_file(file, name.c_str(), ref), 0);
}

TEST_F(FileFixture, OpenAndCloseFailuresReport) {
    void *ref = reinterpret_cast<void *>(1);
    std::string missing = at("none");
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(file->open_file(file, missing.c_str(), &ref, MOF_MODE_READ), 1);
        EXPECT_EQ(ref, nullptr);
        EXPECT_EQ(file->open_file(file, missing.c_str(), &ref, 7), 1);
        EXPECT_EQ(file->close_file(file, "q", nullptr), 1);
    });
    EXPECT_THAT(err, HasSubstr("Open of file " + missing + ": No such file or directory\n"));
    EXPECT_THAT(err, HasSubstr("Can't understand mode 7 in moux_file_open_file\n"));
    EXPECT_THAT(err, HasSubstr("Null file pointer in moux_file_close_file for file q\n"));
    EXPECT_FALSE(file->exists(file, missing.c_str()));
}

TEST_F(FileFixture, TouchEmptiesAnExistingFile) {
    spill(at("t"), "content");
    EXPECT_EQ(file->touch_file(file, at("t").c_str()), 0);
    EXPECT_TRUE(file->exists(file, at("t").c_str()));
    EXPECT_EQ(slurp(at("t")), "");
    EXPECT_EQ(file->touch_file(file, at("new").c_str()), 0);
    EXPECT_TRUE(file->exists(file, at("new").c_str()));
}

TEST_F(FileFixture, MoveReplacesDestination) {
    spill(at("src"), "new");
    spill(at("dst"), "old");
    EXPECT_EQ(file->move_file(file, at("dst").c_str(), at("src").c_str()), 0);
    EXPECT_EQ(slurp(at("dst")), "new");
    EXPECT_FALSE(file->exists(file, at("src").c_str()));
    EXPECT_EQ(file->move_file(file, at("dst").c_str(), at("dst").c_str()), 0);
    EXPECT_EQ(slurp(at("dst")), "new");
}

TEST_F(FileFixture, MoveOfMissingSourceKeepsDestination) {
    spill(at("dst"), "precious");
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = file->move_file(file, at("dst").c_str(), at("gone").c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't move " + at("gone") + " to " + at("dst") + "\n"));
    EXPECT_EQ(slurp(at("dst")), "precious");
}

TEST_F(FileFixture, CopyHandlesBinaryAndManyBlocks) {
    std::string data;
    for (int i = 0; i < 10000; ++i)
        data.push_back(static_cast<char>(i % 256));
    spill(at("bin"), data);
    EXPECT_EQ(file->copy_file(file, at("copy").c_str(), at("bin").c_str()), 0);
    EXPECT_EQ(slurp(at("copy")), data);
    EXPECT_EQ(slurp(at("bin")), data);
}

TEST_F(FileFixture, CopyOntoItselfKeepsTheContent) {
    spill(at("self"), "keep me");
    std::string other_spelling = tmp.path + "/./self";
    EXPECT_EQ(file->copy_file(file, other_spelling.c_str(), at("self").c_str()), 0);
    EXPECT_EQ(slurp(at("self")), "keep me");
}

TEST_F(FileFixture, CopyOfMissingSourceCreatesNothing) {
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = file->copy_file(file, at("out").c_str(), at("none").c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Open of file " + at("none")));
    EXPECT_FALSE(file->exists(file, at("out").c_str()));
}

struct Walk {
    std::vector<std::string> events;
    std::string fail_on;
};

int walk_file(const char *path, void *ref) noexcept {
    auto *w = static_cast<Walk *>(ref);
    w->events.push_back(std::string("F ") + path);
    return w->fail_on == path ? 1 : 0;
}

int walk_dir(const char *path, void *ref) noexcept {
    auto *w = static_cast<Walk *>(ref);
    w->events.push_back(std::string("D ") + path);
    return 0;
}

size_t index_of(const std::vector<std::string> &v, const std::string &s) {
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i] == s)
            return i;
    return v.size();
}

TEST_F(FileFixture, WalkVisitsContentsBeforeTheirDirectory) {
    mkdir(at("d").c_str(), 0755);
    mkdir(at("d/sub").c_str(), 0755);
    spill(at("d/a"), "");
    spill(at("d/sub/b"), "");
    Walk w;
    ASSERT_EQ(file->expand_dir(file, at("d").c_str(), TRUE, &w, walk_file, walk_dir), 0);
    ASSERT_EQ(w.events.size(), 3u);
    size_t b = index_of(w.events, "F " + at("d/sub/b"));
    size_t sub = index_of(w.events, "D " + at("d/sub"));
    EXPECT_LT(index_of(w.events, "F " + at("d/a")), 3u);
    EXPECT_LT(b, sub);
    EXPECT_LT(sub, 3u);

    Walk flat;
    ASSERT_EQ(file->expand_dir(file, at("d").c_str(), FALSE, &flat, walk_file, walk_dir), 0);
    EXPECT_EQ(flat.events.size(), 2u);
    EXPECT_EQ(index_of(flat.events, "F " + at("d/sub/b")), flat.events.size());
}

TEST_F(FileFixture, WalkStopsAtFailureAndClosesItsDirectories) {
    mkdir(at("d").c_str(), 0755);
    mkdir(at("d/sub").c_str(), 0755);
    spill(at("d/sub/bad"), "");
    Walk w;
    w.fail_on = at("d/sub/bad");
    int before = open_fd_count();
    EXPECT_EQ(file->expand_dir(file, at("d").c_str(), TRUE, &w, walk_file, walk_dir), 1);
    EXPECT_EQ(open_fd_count(), before);
    EXPECT_EQ(index_of(w.events, "D " + at("d/sub")), w.events.size()) << "no action after the failure";

    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(file->expand_dir(file, at("none").c_str(), TRUE, &w, walk_file, walk_dir), 1); });
    EXPECT_THAT(err, HasSubstr("Open of directory " + at("none") + " failed: No such file or directory\n"));
}

TEST_F(FileFixture, CheckFileDirNeedsNothingWhenFileOrDirectoryExists) {
    // No process service here: any attempt to create a directory would fail the call.
    spill(at("here"), "");
    EXPECT_EQ(file->check_file_dir(file, at("here").c_str()), 0);
    EXPECT_EQ(file->check_file_dir(file, at("not_yet").c_str()), 0);
    EXPECT_EQ(file->check_file_dir(file, "relative_name_in_cwd_xyz"), 0);
}

TEST(FileSize, CommaQuirkAndRounding) {
    EXPECT_STREQ(mof_format_file_size(0), "1 KB");
    EXPECT_STREQ(mof_format_file_size(1023), "1 KB");
    EXPECT_STREQ(mof_format_file_size(1024), "1 KB");
    EXPECT_STREQ(mof_format_file_size(1536), "2 KB");
    EXPECT_STREQ(mof_format_file_size(1022976), "999 KB");
    EXPECT_STREQ(mof_format_file_size(1023999), "1000 KB");
    EXPECT_STREQ(mof_format_file_size(1024000), "1,000 KB");
    EXPECT_STREQ(mof_format_file_size(2048000), "2,000 KB");
    EXPECT_STREQ(mof_format_file_size(1536000), "1,500 KB");
}

TEST_F(FileFixture, MemReadTerminatesAndCounts) {
    spill(at("m"), std::string("ab\0cd", 5));
    char *buf = nullptr;
    size_t count = 0;
    ASSERT_EQ(mof_file_mem_read(file, at("m").c_str(), nullptr, &buf, &count), 0);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::string(buf, 6), std::string("ab\0cd\0", 6));
    EXPECT_EQ(mof_file_mem_free(file, buf, nullptr), 0);

    spill(at("empty"), "");
    ASSERT_EQ(mof_file_mem_read(file, at("empty").c_str(), nullptr, &buf, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_STREQ(buf, "");
    mof_file_mem_free(file, buf, nullptr);

    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(mof_file_mem_read(file, at("none").c_str(), nullptr, &buf, &count), 1); });
    EXPECT_EQ(buf, nullptr);
    EXPECT_THAT(err, HasSubstr("Can't stat file"));
}

TEST_F(FileFixture, ConsoleOutputDefinitionWritesToStandardOutput) {
    MOOU_OUT_DEF_T *out = nullptr;
    ASSERT_EQ(mof_file_construct_out_def(file, &out), 0);
    EXPECT_EQ(out->out_ref, file);
    EXPECT_EQ(out->stream_ref, nullptr);
    EXPECT_FALSE(out->web_header_done);
    std::string text = mot_test::capture_stdout([&] {
        EXPECT_EQ(out->line_fn(out, "<B>%s %d</B>\n", "page", 3), 0);
        EXPECT_EQ(out->char_fn(out, 'x'), 0);
    });
    EXPECT_EQ(text, "<B>page 3</B>\nx");
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(out->file_fn(out, "f.pdf"), 1); });
    EXPECT_THAT(err, HasSubstr("moux_file_web_cat_file not implemented for file f.pdf\n"));
}

TEST_F(FileFixture, ReadAndCloseErrorsCarryTheSystemText) {
    // A directory opens as a stream on Linux, but every read of it fails.
    void *ref = nullptr;
    ASSERT_EQ(file->open_file(file, tmp.path.c_str(), &ref, MOF_MODE_READ), 0);
    char buf[32];
    size_t count = 0;
    mo_boolean_t eof = FALSE;
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(file->read_line(file, tmp.path.c_str(), ref, buf, sizeof(buf), &eof), 1);
        EXPECT_EQ(file->read_buf(file, tmp.path.c_str(), ref, buf, sizeof(buf), &count, &eof), 1);
        int c = 0;
        EXPECT_EQ(file->file_getc(file, tmp.path.c_str(), ref, &c), 1)
            << "a read error is not the end of the file";
    });
    EXPECT_THAT(err, HasSubstr("Can't read from file " + tmp.path + ": Is a directory\n"));
    EXPECT_EQ(file->close_file(file, tmp.path.c_str(), ref), 0);

    // A full device takes the buffered line and refuses it when the stream is closed.
    ASSERT_EQ(file->open_file(file, "/dev/full", &ref, MOF_MODE_WRITE), 0);
    EXPECT_EQ(file->write_line(file, "/dev/full", ref, "lost\n"), 0);
    int ret = 0;
    err = mot_test::capture_stderr([&] { ret = file->close_file(file, "/dev/full", ref); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Close of file /dev/full: No space left on device\n"));
}

} // namespace
