// The multipart form parser shared by the server module and the command-line program: value and file
// parts, the entry limit, boundaries, bodies cut short, long lines and upload files.
#include "web_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct MemBody {
    std::string data;
    size_t pos = 0;
    size_t chunk = 16384;
    bool fail_at_end = false; // the connection breaks instead of ending
};

int mem_read(MOW_BODY_SOURCE_T *source, char *buf, size_t size, size_t *count) noexcept {
    MemBody *body = static_cast<MemBody *>(source->ref);
    size_t n = std::min({size, body->chunk, body->data.size() - body->pos});
    if (n == 0 && body->fail_at_end) {
        *count = 0;
        return 1;
    }
    memcpy(buf, body->data.data() + body->pos, n);
    body->pos += n;
    *count = n;
    return 0;
}

const char *const B = "----WebKitFormBoundaryX3k9";

std::string value_part(const std::string &name, const std::string &value) {
    return std::string("--") + B + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
}

std::string file_part(const std::string &name, const std::string &client, const std::string &data) {
    return std::string("--") + B + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" +
           client + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

std::string closing() {
    return std::string("--") + B + "--\r\n";
}

std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct FormParser : mow_test::WebFixture {
    std::vector<MOW_POST_RESULTS_T> results = std::vector<MOW_POST_RESULTS_T>(MOW_WEB_ARG_MAX);
    std::string err;

    int parse(MemBody &body, const char *boundary = B) {
        MOW_BODY_SOURCE_T source = {.ref = &body, .read = mem_read};
        int ret = 0;
        err = mot_test::capture_stderr(
            [&] { ret = mow_parse_multipart_body(aux->web, boundary, &source, results.data()); });
        return ret;
    }

    std::vector<std::pair<std::string, std::string>> fields() const {
        std::vector<std::pair<std::string, std::string>> out;
        for (const MOW_POST_RESULTS_T *r = results.data(); r->name != nullptr; r++)
            out.emplace_back(r->name, r->val);
        return out;
    }
};

TEST_F(FormParser, ValueAndFilePartsComeOutExactlyWhateverTheReadSizes) {
    std::string binary;
    for (int i = 0; i < 256; i++)
        binary.push_back(static_cast<char>(i));
    binary += "\r\n\r\nline\r\n\n\r--not the boundary\r\n";
    binary += std::string(20000, 'x') + "\r\n"; // longer than one line piece
    // Line ends falling right at the end of a piece, the last one just before the boundary.
    std::string piece_long(MOW_FORM_LINE_MAX - 1, 'y');
    binary += piece_long + "\r\n" + piece_long;
    std::string body_text = "preamble to be ignored\r\n" + value_part("a", "a\r\nb\r\nc") +
                            value_part("empty", "") +
                            file_part("up", "C:\\My Docs\\r\xc3\xa9sum\xc3\xa9.bin", binary) +
                            value_part("tail", piece_long) + closing() + "epilogue\r\n";
    for (size_t chunk : {size_t(1), size_t(7), size_t(8191), size_t(16384)}) {
        SCOPED_TRACE(chunk);
        MemBody body{.data = body_text, .chunk = chunk};
        ASSERT_EQ(parse(body), 0) << err;
        EXPECT_EQ(err, "");
        auto f = fields();
        ASSERT_EQ(f.size(), 5u);
        EXPECT_EQ(f[0], std::make_pair(std::string("a"), std::string("a\nb\nc")));
        EXPECT_EQ(f[1], std::make_pair(std::string("empty"), std::string("")));
        EXPECT_EQ(f[2].first, "up");
        EXPECT_EQ(f[3], std::make_pair(std::string("up_client"),
                                       std::string("C:\\My Docs\\r\xc3\xa9sum\xc3\xa9.bin")));
        EXPECT_EQ(f[4], std::make_pair(std::string("tail"), piece_long));
        // The upload file lies in the temporary directory, named after the process.
        std::string prefix = dir.path + "/" + std::to_string(getpid()) + ".";
        EXPECT_EQ(f[2].second.rfind(prefix, 0), 0u) << f[2].second;
        EXPECT_EQ(read_all(f[2].second), binary);
        // The end of the request removes it.
        always->run(always);
        EXPECT_NE(access(f[2].second.c_str(), F_OK), 0);
    }
}

TEST_F(FormParser, UploadFilesNeverTakeAnExistingName) {
    std::string mine = dir.path + "/" + std::to_string(getpid()) + ".1";
    std::ofstream(mine, std::ios::binary) << "someone else's";
    MemBody body{.data = file_part("f", "a.txt", "new") + closing()};
    ASSERT_EQ(parse(body), 0) << err;
    auto f = fields();
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].second, dir.path + "/" + std::to_string(getpid()) + ".2");
    EXPECT_EQ(read_all(f[0].second), "new");
    always->run(always);
    EXPECT_EQ(read_all(mine), "someone else's");
}

TEST_F(FormParser, EntryLimitCountsTheEndMarkerAndBothEntriesOfAFile) {
    std::string many;
    for (int i = 0; i < MOW_WEB_ARG_MAX - 1; i++)
        many += value_part("f" + std::to_string(i), std::to_string(i));
    MemBody fits{.data = many + closing()};
    ASSERT_EQ(parse(fits), 0) << err;
    EXPECT_EQ(fields().size(), size_t(MOW_WEB_ARG_MAX - 1));
    EXPECT_EQ(fields().back().second, "998");

    MemBody one_more{.data = many + value_part("x", "y") + closing()};
    EXPECT_EQ(parse(one_more), 1);
    EXPECT_NE(err.find("Reached max FORM arguments (MOW_WEB_ARG_MAX) 1000\n"), std::string::npos) << err;
    EXPECT_EQ(results[0].name, nullptr) << "a failed form yields no fields";

    // A file takes two entries: after 997 values it fits, after 998 it does not.
    std::string most;
    for (int i = 0; i < MOW_WEB_ARG_MAX - 3; i++)
        most += value_part("f" + std::to_string(i), "v");
    MemBody file_fits{.data = most + file_part("up", "a", "data") + closing()};
    ASSERT_EQ(parse(file_fits), 0) << err;
    EXPECT_EQ(fields().size(), size_t(MOW_WEB_ARG_MAX - 1));
    EXPECT_EQ(fields().back().first, "up_client");
    MemBody file_over{.data = most + value_part("x", "y") + file_part("up", "a", "data") + closing()};
    EXPECT_EQ(parse(file_over), 1);
    EXPECT_NE(err.find("Reached max FORM arguments"), std::string::npos) << err;
}

TEST_F(FormParser, ABodyCutShortKeepsNothing) {
    std::string head = value_part("a", "1") + file_part("up", "b.bin", "0123456789");
    // Cut inside the file data, inside a value, and before the closing delimiter.
    for (const std::string &cut : {head.substr(0, head.size() - 6), value_part("a", "1").substr(0, 50),
                                   value_part("a", "1") + value_part("b", "2")}) {
        MemBody body{.data = cut};
        EXPECT_EQ(parse(body), 1);
        EXPECT_NE(err.find("File left open the form input is not in the correct format\n"), std::string::npos)
            << err;
        EXPECT_EQ(results[0].name, nullptr);
    }
    // The partial upload is closed and goes with the request's cleanup.
    always->run(always);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));

    // A broken connection is the source's failure, reported there: the parser adds nothing.
    MemBody broken{.data = value_part("a", "1"), .fail_at_end = true};
    EXPECT_EQ(parse(broken), 1);
    EXPECT_EQ(err, "");
}

TEST_F(FormParser, LongLinesStayBoundedAndHeadersMustBeWhole) {
    // A large textarea of many lines is collected once: this would take gigabytes if re-copied per line.
    std::string big;
    std::string expected;
    for (int i = 0; i < 200000; i++) {
        big += "line " + std::to_string(i) + "\r\n";
        expected += "line " + std::to_string(i) + "\n";
    }
    big += "end";
    expected += "end";
    MemBody body{.data = value_part("text", big) + closing()};
    ASSERT_EQ(parse(body), 0) << err;
    EXPECT_EQ(fields()[0].second, expected);

    std::string long_header = std::string("--") + B + "\r\nContent-Disposition: form-data; name=\"" +
                              std::string(MOW_FORM_LINE_MAX, 'n') + "\"\r\n\r\nv\r\n" + closing();
    MemBody header{.data = long_header};
    EXPECT_EQ(parse(header), 1);
    EXPECT_NE(err.find("A header line of the form is longer than 8189 bytes"), std::string::npos) << err;
}

TEST_F(FormParser, PartsWithoutANameAndOtherHeadersAreHandled) {
    std::string body_text = std::string("--") + B + "\r\nContent-Type: text/plain\r\n\r\nno name here\r\n" +
                            std::string("--") + B +
                            "\r\nContent-Type: text/plain; charset=utf-8\r\n"
                            "Content-Disposition: form-data; name=\"later\"\r\n\r\nvalue\r\n" +
                            "--" + B + "--"; // closing delimiter without a line end
    MemBody body{.data = body_text};
    ASSERT_EQ(parse(body), 0) << err;
    auto f = fields();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0], std::make_pair(std::string("later"), std::string("value")));

    // The boundary must start the line: the same text inside a value is data.
    MemBody inside{.data = value_part("v", std::string("x --") + B + "\r\n--" + B + "x") + closing()};
    ASSERT_EQ(parse(inside), 0) << err;
    EXPECT_EQ(fields()[0].second, std::string("x --") + B + "\n--" + B + "x");
}

TEST(FormBoundary, QuotedFollowedEmptyAndMissing) {
    char b[80];
    EXPECT_TRUE(mow_form_find_boundary("multipart/form-data; boundary=abc", b, sizeof(b)));
    EXPECT_STREQ(b, "abc");
    EXPECT_TRUE(mow_form_find_boundary("multipart/form-data; boundary=\"a b;c\"; charset=x", b, sizeof(b)));
    EXPECT_STREQ(b, "a b;c");
    EXPECT_TRUE(mow_form_find_boundary("multipart/form-data; boundary=xyz; charset=utf-8", b, sizeof(b)));
    EXPECT_STREQ(b, "xyz");
    EXPECT_FALSE(mow_form_find_boundary("multipart/form-data; boundary=", b, sizeof(b)));
    EXPECT_FALSE(mow_form_find_boundary("multipart/form-data; boundary=\"\"", b, sizeof(b)));
    EXPECT_FALSE(mow_form_find_boundary("multipart/form-data; boundary=\"open", b, sizeof(b)));
    EXPECT_FALSE(mow_form_find_boundary("application/x-www-form-urlencoded", b, sizeof(b)));
    EXPECT_FALSE(mow_form_find_boundary(nullptr, b, sizeof(b)));
    EXPECT_FALSE(mow_form_find_boundary(("multipart/form-data; boundary=" + std::string(80, 'q')).c_str(), b,
                                        sizeof(b)));
}

} // namespace
