// The index data document writer: markers, keyword comments, values cleared of angle brackets and
// the list of keyword names used.
#include "index_fixture.h"
#include "platform/mof_file_cmn.h"
#include "platform/moux_unix_file.h"
#include "support/util.h"

#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using mot_test::capture_stderr;

std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class IndexData : public ::testing::Test {
protected:
    mot_test::IndexDaemon d;
    mot_test::TempDir dir;
    std::string path;

    void SetUp() override { path = dir.path + "/12.txt"; }
};

TEST_F(IndexData, DocumentWithKeywordsAndWords) {
    MOLS_LIST_T *keys = nullptr;
    ASSERT_EQ(mols_list_new(&keys, nullptr, &d.b.mem), 0);
    MOSE_INDEX_DATA_T *data = nullptr;
    ASSERT_EQ(mose_data_construct(&data, nullptr, nullptr, d.aux, keys, path.c_str()), 0);

    char type[] = "a<b>c";
    char other[] = "document";
    char dir_ids[] = "1/4/9";
    char words[] = "hello <world>";
    char buf[] = "x>y<z and the rest";
    EXPECT_EQ(data->control(data, MOSE_CONTROL_HEAD), 0);
    EXPECT_EQ(data->control(data, MOSE_CONTROL_META), 0);
    EXPECT_EQ(data->write_keyword(data, "TYPE", type), 0);
    EXPECT_EQ(data->write_keyword(data, "TYPE", other), 0);
    EXPECT_EQ(data->write_keyword(data, "DIRECTORY", dir_ids), 0);
    EXPECT_EQ(data->control(data, MOSE_CONTROL_HEAD_END), 0);
    EXPECT_EQ(data->control(data, MOSE_CONTROL_BODY), 0);
    EXPECT_EQ(data->write_string(data, words), 0);
    EXPECT_EQ(data->write_buf(data, buf, 5), 0);
    EXPECT_EQ(data->control(data, MOSE_CONTROL_NOTHING), 0);
    EXPECT_EQ(data->control(data, MOSE_CONTROL_BODY_END), 0);
    EXPECT_EQ(mose_data_destruct(data), 0);

    EXPECT_EQ(read_all(path), "<HEAD>\n"
                              "<!-- Start of Meta -->\n"
                              "<!-- META START NAME = \"TYPE\" -->a b c<!-- META END -->\n"
                              "<!-- META START NAME = \"TYPE\" -->document<!-- META END -->\n"
                              "<!-- META START NAME = \"DIRECTORY\" -->1/4/9<!-- META END -->\n"
                              "</HEAD>\n"
                              "<BODY>\n"
                              "hello  world \n"
                              "x y z</BODY>\n");
    // The caller's buffers carry the replacement too.
    EXPECT_STREQ(type, "a b c");
    EXPECT_STREQ(buf, "x y z and the rest");
    // Each keyword name once, newest first.
    ASSERT_EQ(mot_test::IndexDaemon::count(keys), 2);
    EXPECT_STREQ(keys->thelist->name, "DIRECTORY");
    EXPECT_STREQ(keys->thelist->next->name, "TYPE");
}

TEST_F(IndexData, UnknownControlOperationFails) {
    MOSE_INDEX_DATA_T *data = nullptr;
    ASSERT_EQ(mose_data_construct(&data, nullptr, nullptr, d.aux, nullptr, path.c_str()), 0);
    std::string err = capture_stderr([&] { EXPECT_EQ(data->control(data, 7), 1); });
    EXPECT_NE(err.find("Unknown indexer control operation 7\n"), std::string::npos) << err;
    char value[] = "v";
    EXPECT_EQ(data->write_keyword(data, "K", value), 0); // no key list: just written
    EXPECT_EQ(mose_data_destruct(data), 0);
    EXPECT_EQ(read_all(path), "<!-- META START NAME = \"K\" -->v<!-- META END -->\n");
}

TEST_F(IndexData, ExistingDocumentIsReplaced) {
    std::ofstream(path) << "old contents that must go\n";
    MOSE_INDEX_DATA_T *data = nullptr;
    ASSERT_EQ(mose_data_construct(&data, nullptr, nullptr, d.aux, nullptr, path.c_str()), 0);
    EXPECT_EQ(data->control(data, MOSE_CONTROL_BODY), 0);
    EXPECT_EQ(mose_data_destruct(data), 0);
    EXPECT_EQ(read_all(path), "<BODY>\n");
}

TEST_F(IndexData, DocumentInAMissingDirectoryIsRefused) {
    MOSE_INDEX_DATA_T *data = nullptr;
    std::string missing = dir.path + "/no/such/dir/1.txt";
    std::string err = capture_stderr(
        [&] { EXPECT_NE(mose_data_construct(&data, nullptr, nullptr, d.aux, nullptr, missing.c_str()), 0); });
    EXPECT_NE(err.find(missing), std::string::npos) << err;
    EXPECT_EQ(data, nullptr);
}

} // namespace
