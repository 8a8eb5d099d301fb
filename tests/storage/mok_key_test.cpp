// Keyword record files written and read through the file service on real files in a temporary
// directory.
#include "storage/mok_key.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "storage/moil_idlist.h"
#include "entry/moim_interm.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mou_util_cmn.h"
#include "entry/mox_aux.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_mem.h"
#include "platform/moux_unix_util.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace mok_test {

// The test bundle, with the keyword files of a test in a temporary directory.
struct Env {
    mot_test::Bundle b;
    MOX_AUX_T &aux = *b.aux;
    MOF_FILE_T &file = *b.aux->file;
    mot_test::TempDir dir;
    Env() = default;
    Env(const Env &) = delete;
    Env &operator=(const Env &) = delete;
    std::string path(const std::string &name) const { return dir.path + "/" + name; }
    void put(const std::string &name, const std::string &bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string get(const std::string &name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

} // namespace mok_test

namespace {

using testing::HasSubstr;
using testing::Not;

using mok_test::Env;

struct Rec {
    char *nam;
    MOK_MULTI_LINE_T *txt;
    MOIL_IDLIST_T *mem;
    MOIL_ACCESSLIST_T *acc;
    int cnt;
    int flg;
    uint32_t mod;
};

std::vector<MOK_GEN_KEYWORD_T> keywords(const char *nam_default = "", long cnt_default = 0) {
    std::vector<MOK_GEN_KEYWORD_T> k(8);
    mok_load_keyword(&k[0], "NAM", offsetof(Rec, nam), mok_init_string, nam_default, mok_read_string,
                     mok_write_string, mok_free_string);
    mok_load_keyword(&k[1], "TXT", offsetof(Rec, txt), mok_init_multi_line, "", mok_read_multi_line,
                     mok_write_multi_line, mok_free_multi_line);
    mok_load_keyword(&k[2], "MEM", offsetof(Rec, mem), mok_init_idlist, nullptr, mok_read_idlist,
                     mok_write_idlist, mok_free_idlist);
    mok_load_keyword(&k[3], "ACC", offsetof(Rec, acc), mok_init_accesslist, nullptr, mok_read_accesslist,
                     mok_write_accesslist, mok_free_accesslist);
    mok_load_keyword(&k[4], "CNT", offsetof(Rec, cnt), mok_init_integer, mok_int_ref(cnt_default),
                     mok_read_integer, mok_write_integer, mok_free_integer);
    mok_load_keyword(&k[5], "FLG", offsetof(Rec, flg), mok_init_boolean, mok_int_ref(0), mok_read_boolean,
                     mok_write_boolean, mok_free_boolean);
    mok_load_keyword(&k[6], "MOD", offsetof(Rec, mod), mok_init_u32bit, mok_int_ref(0), mok_read_u32bit,
                     mok_write_u32bit, mok_free_u32bit);
    mok_load_keyword(&k[7], "OLD", 0, mok_init_null, nullptr, mok_read_null, mok_write_null, mok_free_null);
    return k;
}

int add_id(Env &env, int id, MOIL_IDLIST_T **list) {
    MOIL_IDLIST_T *node = nullptr;
    int ret = mome_new(&env.b.mem, nullptr, &node);
    if (ret != 0)
        return ret;
    node->id = id;
    while (*list != nullptr)
        list = &(*list)->next;
    *list = node;
    return 0;
}

std::vector<std::string> lines_of(const MOK_MULTI_LINE_T *m) {
    std::vector<std::string> out;
    for (; m != nullptr; m = m->next)
        out.push_back(m->string);
    return out;
}

std::vector<int> ids_of(const MOIL_IDLIST_T *l) {
    std::vector<int> out;
    for (; l != nullptr; l = l->next)
        out.push_back(l->id);
    return out;
}

std::vector<Rec *> records_of(MOK_DATA_RECORD_T *r) {
    std::vector<Rec *> out;
    for (; r != nullptr; r = r->next)
        out.push_back(static_cast<Rec *>(r->container));
    return out;
}

struct KeyFile : ::testing::Test {
    Env env;
    std::vector<MOK_GEN_KEYWORD_T> k = keywords("dflt", 42);
    MOK_DATA_RECORD_T *start = nullptr;

    int read(const std::string &name) {
        return mok_read_keyword_list(&env.aux, nullptr, env.path(name).c_str(), k.data(),
                                     static_cast<int>(k.size()), &start, sizeof(Rec));
    }
    // Reads bytes as a file and gives the records; fails the test when reading fails.
    std::vector<Rec *> parse(const std::string &bytes) {
        env.put("in", bytes);
        EXPECT_EQ(read("in"), 0) << bytes;
        return records_of(start);
    }
    // Reads bytes expected to fail and gives standard error.
    std::string parse_fail(const std::string &bytes) {
        env.put("in", bytes);
        int ret = 0;
        std::string out = mot_test::capture_stderr([&] { ret = read("in"); });
        EXPECT_NE(ret, 0) << bytes;
        return out;
    }
    int write(const std::string &name, MOK_DATA_RECORD_T *chain) {
        return mok_write_keyword_list(&env.aux, nullptr, env.path(name).c_str(), k.data(),
                                      static_cast<int>(k.size()), chain, sizeof(Rec));
    }
    MOK_DATA_RECORD_T *new_record() {
        MOK_DATA_RECORD_T *r = nullptr;
        EXPECT_EQ(mok_get_and_init_new_data_record(&env.aux, nullptr, &r, k.data(),
                                                   static_cast<int>(k.size()), sizeof(Rec)),
                  0);
        return r;
    }
};

const char *const kExample = "NAM Project plan\n"
                             "TXT First line\\nC:\\\\temp\\n\n"
                             "MEM 3,7,\n"
                             "ACC 1,4,^2,^0\n"
                             "CNT -5\n"
                             "FLG 1\n"
                             "MOD 1000\n"
                             "------\n"
                             "NAM \n"
                             "TXT \n"
                             "MEM \n"
                             "ACC ^^1\n"
                             "CNT 0\n"
                             "FLG 0\n"
                             "MOD 0\n";

TEST_F(KeyFile, WorkedExampleIsWrittenByteForByteAndReadsBack) {
    MOK_DATA_RECORD_T *r1 = new_record();
    MOK_DATA_RECORD_T *r2 = new_record();
    r1->next = r2;
    Rec *a = static_cast<Rec *>(r1->container);
    Rec *b = static_cast<Rec *>(r2->container);
    a->nam = const_cast<char *>("Project plan");
    a->txt = nullptr;
    ASSERT_EQ(mok_add_multi_line(&env.aux, nullptr, "First line", &a->txt), 0);
    ASSERT_EQ(mok_add_multi_line(&env.aux, nullptr, "C:\\temp", &a->txt), 0);
    ASSERT_EQ(add_id(env, 3, &a->mem), 0);
    ASSERT_EQ(add_id(env, 7, &a->mem), 0);
    ASSERT_EQ(add_id(env, 1, &a->acc->user), 0);
    ASSERT_EQ(add_id(env, 4, &a->acc->user), 0);
    ASSERT_EQ(add_id(env, 2, &a->acc->group), 0);
    a->acc->use_parent = FALSE;
    a->cnt = -5;
    a->flg = 1;
    a->mod = 1000;
    b->nam = const_cast<char *>("");
    b->txt = nullptr;
    b->cnt = 0;

    ASSERT_EQ(write("out", r1), 0);
    EXPECT_EQ(env.get("out"), kExample);

    ASSERT_EQ(read("out"), 0);
    auto recs = records_of(start);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_STREQ(recs[0]->nam, "Project plan");
    EXPECT_EQ(lines_of(recs[0]->txt), (std::vector<std::string>{"First line", "C:\\temp"}));
    EXPECT_EQ(ids_of(recs[0]->mem), (std::vector<int>{3, 7}));
    EXPECT_EQ(ids_of(recs[0]->acc->user), (std::vector<int>{1, 4}));
    EXPECT_EQ(ids_of(recs[0]->acc->group), (std::vector<int>{2}));
    EXPECT_EQ(recs[0]->acc->use_parent, FALSE);
    EXPECT_EQ(recs[0]->cnt, -5);
    EXPECT_EQ(recs[0]->flg, 1);
    EXPECT_EQ(recs[0]->mod, 1000u);
    EXPECT_STREQ(recs[1]->nam, "");
    EXPECT_TRUE(recs[1]->txt == nullptr);
    EXPECT_TRUE(recs[1]->mem == nullptr);
    EXPECT_TRUE(recs[1]->acc->user == nullptr && recs[1]->acc->group == nullptr);
    EXPECT_EQ(recs[1]->acc->use_parent, TRUE);
    EXPECT_EQ(recs[1]->cnt, 0);

    // Written again, the file is the same: the round trip is exact.
    ASSERT_EQ(write("again", start), 0);
    EXPECT_EQ(env.get("again"), kExample);
    EXPECT_EQ(mok_free_keyword_list(&env.aux, nullptr, k.data(), static_cast<int>(k.size()), start), 0);
}

TEST_F(KeyFile, MissingEmptyAndCommentOnlyFilesGiveOneRecordOfInitialValues) {
    for (const char *bytes : {(const char *)nullptr, "", "# only a comment\n  # another\n\n"}) {
        if (bytes == nullptr)
            ASSERT_EQ(read("absent"), 0);
        else
            parse(bytes);
        auto recs = records_of(start);
        ASSERT_EQ(recs.size(), 1u);
        EXPECT_STREQ(recs[0]->nam, "dflt");
        EXPECT_EQ(recs[0]->cnt, 42);
        EXPECT_EQ(lines_of(recs[0]->txt), std::vector<std::string>{""});
        EXPECT_EQ(recs[0]->acc->use_parent, TRUE);
    }
}

TEST_F(KeyFile, SeparatorsMissingAndRepeatedKeywords) {
    auto recs = parse("NAM a\nCNT 1\nCNT 2\nNAM b\n------\nCNT 7\n------extra\n");
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_STREQ(recs[0]->nam, "b"); // the last occurrence wins
    EXPECT_EQ(recs[0]->cnt, 2);
    EXPECT_STREQ(recs[1]->nam, "dflt"); // left out: the initial value
    EXPECT_EQ(recs[1]->cnt, 7);
    EXPECT_STREQ(recs[2]->nam, "dflt"); // a trailing separator gives a record of initial values
    EXPECT_EQ(recs[2]->cnt, 42);

    // Writing an empty chain gives an empty file.
    ASSERT_EQ(write("empty", nullptr), 0);
    EXPECT_EQ(env.get("empty"), "");
}

TEST_F(KeyFile, StringValueForms) {
    auto recs = parse("NAM\n------\nNAM \n------\nNAM \t  two words  \n------\n  \tNAM\tx\n");
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_STREQ(recs[0]->nam, "dflt"); // keyword alone: ignored
    EXPECT_STREQ(recs[1]->nam, "");
    EXPECT_STREQ(recs[2]->nam, "two words  "); // leading blanks skipped, trailing kept
    EXPECT_STREQ(recs[3]->nam, "x");           // blanks before the keyword, a tab after it
}

TEST_F(KeyFile, StringLengthLimits) {
    std::string s1021(1021, 'x');
    MOK_DATA_RECORD_T *r = new_record();
    static_cast<Rec *>(r->container)->nam = const_cast<char *>(s1021.c_str());
    ASSERT_EQ(write("long", r), 0);
    ASSERT_EQ(read("long"), 0);
    EXPECT_EQ(std::string(static_cast<Rec *>(start->container)->nam), s1021);

    std::string out = parse_fail("CNT 1\nNAM " + std::string(1022, 'y') + "\n");
    EXPECT_THAT(out, HasSubstr("String too long in filename " + env.path("in") + " line no 2\n"));
    EXPECT_THAT(out,
                HasSubstr("Error in mok_read_keyword_list, file " + env.path("in") + ", line number 2\n"));
    // The records read so far stay linked; the failed value keeps what it had.
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(static_cast<Rec *>(start->container)->cnt, 1);
    EXPECT_STREQ(static_cast<Rec *>(start->container)->nam, "dflt");

    // The writer refuses what could not be read back instead of leaving an unreadable file.
    std::string s1022(1022, 'z');
    static_cast<Rec *>(r->container)->nam = const_cast<char *>(s1022.c_str());
    int ret = 0;
    out = mot_test::capture_stderr([&] { ret = write("long2", r); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("String too long for keyword NAM in file"));
    EXPECT_THAT(out, HasSubstr("Error in mok_write_keyword_list\n"));
    EXPECT_EQ(env.get("long2"), ""); // nothing of the record was written

    // A line feed inside a string would start a forged keyword line: refused too.
    static_cast<Rec *>(r->container)->nam = const_cast<char *>("evil\nCNT 999");
    out = mot_test::capture_stderr([&] { ret = write("lf", r); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("Line feed in the value of keyword NAM in file"));
}

TEST_F(KeyFile, LastLineWithoutLineFeed) {
    parse_fail("NAM x");
    std::string out = parse_fail("CNT 3\nNAM ");
    EXPECT_THAT(out, HasSubstr("String too long in filename"));
    auto recs = parse("CNT 3\nNAM");
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_STREQ(recs[0]->nam, "dflt");
    EXPECT_EQ(recs[0]->cnt, 3);
}

TEST_F(KeyFile, MultiLineForms) {
    auto recs = parse("TXT \n------\nTXT \\n\n------\nTXT    lead\\n  kept\\ntail ignored\n------\n"
                      "TXT a\\\\b\\qc\\n\n");
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_TRUE(recs[0]->txt == nullptr);
    EXPECT_EQ(lines_of(recs[1]->txt), std::vector<std::string>{""});
    EXPECT_EQ(lines_of(recs[2]->txt), (std::vector<std::string>{"lead", "  kept"}));
    // A doubled backslash is one; an unknown escape keeps its byte.
    EXPECT_EQ(lines_of(recs[3]->txt), std::vector<std::string>{"a\\bqc"});

    // A leading blank of the first line is escaped so that it survives the round trip; backslashes
    // are doubled.
    MOK_DATA_RECORD_T *r = new_record();
    Rec *rec = static_cast<Rec *>(r->container);
    rec->txt = nullptr;
    mok_add_multi_line(&env.aux, nullptr, "  x\\y", &rec->txt);
    mok_add_multi_line(&env.aux, nullptr, "", &rec->txt);
    ASSERT_EQ(write("m", r), 0);
    EXPECT_THAT(env.get("m"), HasSubstr("TXT \\  x\\\\y\\n\\n\n"));
    ASSERT_EQ(read("m"), 0);
    EXPECT_EQ(lines_of(static_cast<Rec *>(start->container)->txt), (std::vector<std::string>{"  x\\y", ""}));

    // 1023 characters fit one line, 1024 do not.
    recs = parse("TXT " + std::string(1023, 'm') + "\\n\n");
    EXPECT_EQ(lines_of(recs[0]->txt), std::vector<std::string>{std::string(1023, 'm')});
    std::string out = parse_fail("CNT 1\nTXT " + std::string(1024, 'm') + "\\n\n");
    EXPECT_THAT(out, HasSubstr("String too long in file " + env.path("in") + " line 2\n"));

    std::string long_line(1024, 'w');
    rec->txt = nullptr;
    mok_add_multi_line(&env.aux, nullptr, long_line.c_str(), &rec->txt);
    int ret = 0;
    out = mot_test::capture_stderr([&] { ret = write("m2", r); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("Line too long for keyword TXT in file"));
}

TEST_F(KeyFile, IdAndAccessListLines) {
    auto recs = parse("MEM 1, 2 ,x,,\n------\nMEM 5,6\n------\nACC 1,^2,^1\n------\nACC ^^0\nMEM 9,\n");
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(ids_of(recs[0]->mem), (std::vector<int>{1, 2, 0, 0}));
    EXPECT_EQ(ids_of(recs[1]->mem), std::vector<int>{5});
    EXPECT_EQ(ids_of(recs[2]->acc->user), std::vector<int>{1});
    EXPECT_EQ(ids_of(recs[2]->acc->group), std::vector<int>{2});
    EXPECT_EQ(recs[2]->acc->use_parent, TRUE);
    EXPECT_TRUE(recs[3]->acc->user == nullptr && recs[3]->acc->group == nullptr);
    EXPECT_EQ(recs[3]->acc->use_parent, FALSE);
    EXPECT_EQ(ids_of(recs[3]->mem), std::vector<int>{9}); // the line after an access list reads normally

    // A group list ended by the line end leaves use_parent alone.
    recs = parse("ACC 3,^4,\n");
    EXPECT_EQ(ids_of(recs[0]->acc->group), std::vector<int>{4});
    EXPECT_EQ(recs[0]->acc->use_parent, TRUE);

    std::string out = parse_fail("ACC 1,2,\n");
    EXPECT_THAT(out, HasSubstr("Missing ^ in string when converting string on line 1 in file " +
                               env.path("in") + " to accesslist\n"));

    // An id token longer than any buffer is cut, not written past it; huge numbers saturate.
    recs = parse("MEM " + std::string(5000, '7') + ",-" + std::string(3000, '9') + ",12,\n");
    EXPECT_EQ(ids_of(recs[0]->mem), (std::vector<int>{2147483647, -2147483647 - 1, 12}));
}

TEST_F(KeyFile, NumbersAndNull) {
    auto recs = parse("CNT   -12abc\nFLG 7\nMOD 4294967295\nOLD whatever it was\n------\nCNT x\nFLG\nMOD "
                      "99999999999\n------\nCNT 99999999999\n");
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0]->cnt, -12);
    EXPECT_EQ(recs[0]->flg, 7); // any non-zero number is true
    EXPECT_EQ(recs[0]->mod, 4294967295u);
    EXPECT_EQ(recs[1]->cnt, 0);
    EXPECT_EQ(recs[1]->mod, 4294967295u); // beyond 32 bits saturates
    EXPECT_EQ(recs[2]->cnt, 2147483647);

    ASSERT_EQ(write("n", start), 0);
    std::string text = env.get("n");
    EXPECT_THAT(text, HasSubstr("FLG 1\nMOD 4294967295\n"));
    EXPECT_THAT(text, Not(HasSubstr("OLD"))) << "a null keyword writes nothing";

    std::string out = parse_fail("OLD " + std::string(1100, 'o') + "\n");
    EXPECT_THAT(out, HasSubstr("String too long in filename"));
}

TEST_F(KeyFile, CarriageReturnsAndHighBytes) {
    std::string lf = kExample;
    std::string crlf;
    for (char c : lf) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    auto a = parse(crlf);
    ASSERT_EQ(write("from_crlf", start), 0);
    EXPECT_EQ(env.get("from_crlf"), lf);
    ASSERT_EQ(a.size(), 2u);

    auto recs = parse("NAM a\rb\xff\r\nTXT \xff\\n\nCNT 5\r\n");
    EXPECT_STREQ(recs[0]->nam, "ab\xff");
    EXPECT_EQ(lines_of(recs[0]->txt), std::vector<std::string>{"\xff"});
    EXPECT_EQ(recs[0]->cnt, 5);
}

TEST_F(KeyFile, UnknownAndOverlongKeywords) {
    std::string out;
    std::vector<Rec *> recs;
    out = mot_test::capture_stderr([&] { recs = parse("XYZ something\nCNT 4\n"); });
    EXPECT_EQ(out, "") << "the list reader skips unknown keywords silently";
    EXPECT_EQ(recs[0]->cnt, 4);

    // A first word that fills the whole word buffer is dropped with the rest of its line.
    recs = parse(std::string(3000, 'K') + " CNT 9\nCNT 6\n");
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0]->cnt, 6);
}

TEST_F(KeyFile, SingleContainerReader) {
    Rec rec{};
    ASSERT_EQ(mok_reset_keyword_container(&env.aux, nullptr, k.data(), static_cast<int>(k.size()), &rec), 0);
    EXPECT_STREQ(rec.nam, "dflt");
    env.put("setup", "# setup\nNAM home\nBAD value\n------\nCNT 8\n");
    int ret = 1;
    std::string out = mot_test::capture_stderr([&] {
        ret = mok_read_keyword_container(&env.aux, nullptr, env.path("setup").c_str(), k.data(),
                                         static_cast<int>(k.size()), &rec);
    });
    EXPECT_EQ(ret, 0);
    EXPECT_STREQ(rec.nam, "home");
    EXPECT_EQ(rec.cnt, 8); // the separator is only a line without a blank here
    EXPECT_THAT(out, HasSubstr("Warning: "));
    EXPECT_THAT(out, HasSubstr("Can't interpret the keyword BAD in file " + env.path("setup") + " line 3\n"));

    out = mot_test::capture_stderr([&] {
        ret = mok_read_keyword_container(&env.aux, nullptr, env.path("none").c_str(), k.data(),
                                         static_cast<int>(k.size()), &rec);
    });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("Open of file " + env.path("none")));
    EXPECT_THAT(out, HasSubstr("Error in mok_read_keyword_container, file " + env.path("none") +
                               ", line number 0\n"));
}

TEST_F(KeyFile, WriteFailuresAreReported) {
    MOK_DATA_RECORD_T *r = new_record();
    int ret = 0;
    // A directory cannot be opened as a file.
    std::string out = mot_test::capture_stderr([&] {
        ret = mok_write_keyword_list(&env.aux, nullptr, env.dir.path.c_str(), k.data(),
                                     static_cast<int>(k.size()), r, sizeof(Rec));
    });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("Open of file " + env.dir.path));
    EXPECT_THAT(out, HasSubstr("Error in mok_write_keyword_list\n"));

    // A full device fails a write or the close; it is reported once by the file service, once by
    // the writer, and nothing is written after it.
    out = mot_test::capture_stderr([&] {
        ret = mok_write_keyword_list(&env.aux, nullptr, "/dev/full", k.data(), static_cast<int>(k.size()), r,
                                     sizeof(Rec));
    });
    EXPECT_EQ(ret, 1);
    size_t errors = 0;
    for (size_t at = out.find("Error: "); at != std::string::npos; at = out.find("Error: ", at + 1))
        errors++;
    EXPECT_EQ(errors, 2u) << out;
    EXPECT_THAT(out, HasSubstr("/dev/full"));
    EXPECT_THAT(out, HasSubstr("Error in mok_write_keyword_list\n"));

    // A record whose container was never set is refused, not dereferenced.
    MOK_DATA_RECORD_T *bare = nullptr;
    ASSERT_EQ(mok_get_new_data_record(&env.aux, nullptr, &bare), 0);
    r->next = bare;
    out = mot_test::capture_stderr([&] { ret = write("bare", r); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("Record without container in file " + env.path("bare")));
    r->next = nullptr;

    // Writing into an existing directory needs no directory to be made.
    ASSERT_EQ(write("list", r), 0);
    EXPECT_THAT(env.get("list"), HasSubstr("NAM dflt\n"));
}

TEST_F(KeyFile, LowLevelReaders) {
    env.put("w", "ab\r cd\t\r\nefgh");
    void *ref = nullptr;
    ASSERT_EQ(env.file.open_file(&env.file, env.path("w").c_str(), &ref, MOF_MODE_READ), 0);
    char buf[8];
    mo_boolean_t eof = FALSE;
    EXPECT_EQ(mok_read_until(&env.aux, TRUE, buf, 8, "w", ref, &eof), 3);
    EXPECT_STREQ(buf, "ab ");
    EXPECT_EQ(mok_read_until(&env.aux, FALSE, buf, 8, "w", ref, &eof), 4);
    EXPECT_STREQ(buf, "cd\t\n");
    EXPECT_EQ(mok_read_until(&env.aux, FALSE, buf, 3, "w", ref, &eof), 2); // buffer size minus one
    EXPECT_STREQ(buf, "ef");
    EXPECT_EQ(mok_read_until(&env.aux, FALSE, buf, 8, "w", ref, &eof), 2); // end of file after bytes
    EXPECT_EQ(eof, FALSE);
    std::string out =
        mot_test::capture_stderr([&] { EXPECT_NE(mok_read_check_string_end(&env.aux, "w", 2, 5, buf), 0); });
    EXPECT_THAT(out, HasSubstr("String too long in filename w line no 5\n"));
    EXPECT_EQ(mok_read_until(&env.aux, FALSE, buf, 8, "w", ref, &eof), 0);
    EXPECT_EQ(eof, TRUE);
    env.file.close_file(&env.file, "w", ref);
    char line[] = "abc\n";
    EXPECT_EQ(mok_read_check_string_end(&env.aux, "w", 4, 1, line), 0);
    EXPECT_STREQ(line, "abc");
}

TEST_F(KeyFile, RecordsAndFreeing) {
    MOK_DATA_RECORD_T *r = nullptr;
    ASSERT_EQ(mok_get_new_data_record(&env.aux, nullptr, &r), 0);
    EXPECT_TRUE(r->container == nullptr && r->next == nullptr);
    EXPECT_EQ(r->access_edit, FALSE);
    EXPECT_EQ(r->access_view, FALSE);
    EXPECT_EQ(mok_free_data_record(&env.aux, nullptr, r), 0);

    parse(kExample);
    auto recs = records_of(start);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(mok_free_keyword_list(&env.aux, nullptr, k.data(), static_cast<int>(k.size()), start), 0);
}

TEST_F(KeyFile, RepeatedListKeywordsReplaceTheEarlierValue) {
    auto recs = parse("MEM 1,2,\nMEM 3,\nTXT a\\nb\\n\nTXT c\\n\nACC 1,^2,^0\nACC 5,^^1\n");
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(ids_of(recs[0]->mem), std::vector<int>{3});
    EXPECT_EQ(lines_of(recs[0]->txt), std::vector<std::string>{"c"});
    EXPECT_EQ(ids_of(recs[0]->acc->user), std::vector<int>{5});
    EXPECT_TRUE(recs[0]->acc->group == nullptr);
    EXPECT_EQ(recs[0]->acc->use_parent, TRUE);
}

TEST_F(KeyFile, LinesEndedByTheirFirstWordDoNotSwallowTheNextLine) {
    // A bare "#", a separator with text after a blank and a high byte opening a line each end
    // where their own line ends.
    auto recs = parse("#\nCNT 5\n------ old text\nCNT 6\n\xff\nCNT 7\n\xffKW x\nNAM \xff\n");
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0]->cnt, 5);
    EXPECT_EQ(recs[1]->cnt, 7);
    EXPECT_STREQ(recs[1]->nam, "\xff");

    // The empty remainder after an access list counts as a line of its own in messages.
    std::string out = parse_fail("ACC ^^0\nACC 1,2,\n");
    EXPECT_THAT(out, HasSubstr("Missing ^ in string when converting string on line 3 in file"));
}

TEST_F(KeyFile, OneEmptyLineIsWrittenAsOneEscape) {
    MOK_DATA_RECORD_T *r = new_record();
    ASSERT_EQ(write("one", r), 0); // the initial multi-line value is one empty line
    EXPECT_THAT(env.get("one"), HasSubstr("\nTXT \\n\n"));
}

// A file service whose reads fail after a number of bytes, as a disk error would make them.
int g_bytes_before_failure = 0;
int failing_getc(MOF_FILE_T *file, const char *filename, void *file_ref, int *c) noexcept {
    if (g_bytes_before_failure-- <= 0) {
        file->low->error->report(file->low->error, "Can't read from file %s: test failure\n", filename);
        return 1;
    }
    return moux_file_getc(file, filename, file_ref, c);
}

TEST_F(KeyFile, AFailedReadFailsTheReadWhereverItStrikes) {
    env.put("in", kExample);
    env.file.file_getc = failing_getc;
    // At the start of a line, inside a string, a multi-line value, an id list, an access list,
    // a number and a separator.
    for (int at : {0, 17, 20, 30, 44, 52, 70, 80, 90}) {
        g_bytes_before_failure = at;
        int ret = 0;
        std::string out = mot_test::capture_stderr([&] { ret = read("in"); });
        EXPECT_EQ(ret, 1) << at;
        EXPECT_THAT(out, HasSubstr("Can't read from file")) << at << out;
        EXPECT_THAT(out, HasSubstr("Error in mok_read_keyword_list, file ")) << at << out;
        EXPECT_THAT(out, Not(HasSubstr("String too long"))) << at << out;
    }
    Rec rec{};
    ASSERT_EQ(mok_reset_keyword_container(&env.aux, nullptr, k.data(), static_cast<int>(k.size()), &rec), 0);
    g_bytes_before_failure = 17;
    int ret = 0;
    std::string out = mot_test::capture_stderr([&] {
        ret = mok_read_keyword_container(&env.aux, nullptr, env.path("in").c_str(), k.data(),
                                         static_cast<int>(k.size()), &rec);
    });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("Error in mok_read_keyword_container, file "));

    g_bytes_before_failure = 2;
    void *ref = nullptr;
    ASSERT_EQ(env.file.open_file(&env.file, env.path("in").c_str(), &ref, MOF_MODE_READ), 0);
    char buf[16];
    mo_boolean_t eof = FALSE;
    out = mot_test::capture_stderr(
        [&] { EXPECT_EQ(mok_read_until(&env.aux, FALSE, buf, sizeof(buf), "in", ref, &eof), -1); });
    EXPECT_EQ(eof, TRUE);
    EXPECT_STREQ(buf, "");
    env.file.close_file(&env.file, "in", ref);
}

} // namespace
