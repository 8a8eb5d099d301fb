// The logic of the types with many cases: the placement rule, the extension lookup over a list of
// file types, the MIME check, and the built-in tables against the files the installation ships.
#include "apps/moap_ftype.h"
#include "apps/moap_itype.h"
#include "storage/mok_key.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(PlacementRule, EveryMethodAgainstChildrenCousinsSelfAndStrangers) {
    // Parent type 10 whose own parent type is 3. Candidates: its child (dir_type 10), a cousin
    // (dir_type 3), the parent type itself (id 10, dir_type 3), a stranger (dir_type 7).
    struct Candidate {
        const char *what;
        int dir_type, id;
    } child{"child", 10, 21}, cousin{"cousin", 3, 22}, self{"self", 3, 10}, stranger{"stranger", 7, 23},
        self_child{"self under itself", 10, 10};
    struct Want {
        int method;
        bool child, cousin, self, stranger, self_child;
    } table[] = {
        {1, false, false, true, false, true},    {2, false, false, false, false, false},
        {3, true, false, true, false, true},     {4, true, false, false, false, true},
        {5, false, true, true, false, false},    {6, true, true, true, false, true},
        {0, false, false, false, false, false},  {7, false, false, false, false, false},
        {-1, false, false, false, false, false},
    };
    for (const Want &w : table) {
        auto check = [&](const Candidate &c) {
            return moap_itype_check_dir(10, w.method, 3, c.dir_type, c.id) == TRUE;
        };
        EXPECT_EQ(check(child), w.child) << "method " << w.method << " child";
        EXPECT_EQ(check(cousin), w.cousin) << "method " << w.method << " cousin";
        EXPECT_EQ(check(self), w.self) << "method " << w.method << " self";
        EXPECT_EQ(check(stranger), w.stranger) << "method " << w.method << " stranger";
        EXPECT_EQ(check(self_child), w.self_child) << "method " << w.method << " self under itself";
    }
    // A top-level parent (dir_type 0) with the cousin rule takes the other top-level types.
    EXPECT_TRUE(moap_itype_check_dir(5, 5, 0, 0, 9));
    EXPECT_FALSE(moap_itype_check_dir(5, 5, 0, 5, 9));
}

// A chain of file-type records built from the built-in table, as a fresh installation has them.
struct Chain {
    std::vector<MOAP_FTYPE_T> types;
    std::vector<MOK_DATA_RECORD_T> records;
    explicit Chain(std::vector<MOAP_FTYPE_T> t) : types(std::move(t)), records(types.size()) {
        for (size_t i = 0; i < types.size(); i++) {
            records[i].container = &types[i];
            records[i].next = i + 1 < types.size() ? &records[i + 1] : nullptr;
        }
    }
    MOK_DATA_RECORD_T *head() { return records.empty() ? nullptr : &records[0]; }
};

std::vector<MOAP_FTYPE_T> builtin_types() {
    std::vector<MOAP_FTYPE_T> out;
    for (int i = 0; i < moap_ftype_sys_count; i++) {
        const MOAP_FTYPE_SYS_T &r = moap_ftype_sys_table[i];
        MOAP_FTYPE_T t{};
        t.id = i + 1;
        t.name = const_cast<char *>(r.name);
        t.pri_extension = const_cast<char *>(r.pri_extension);
        t.sec_extension = const_cast<char *>(r.sec_extension);
        t.sys_id = r.sys_id;
        out.push_back(t);
    }
    return out;
}

std::string name_of(Chain &c, int id) {
    for (const MOAP_FTYPE_T &t : c.types)
        if (t.id == id)
            return t.name;
    return "(unknown " + std::to_string(id) + ")";
}

TEST(ExtensionLookup, FirstVisibleMatchIgnoringCaseOverMainAndFurtherExtensions) {
    Chain c(builtin_types());
    const int unknown = 1;
    struct Case {
        const char *ext, *type;
    } cases[] = {
        {"TXT", "Text"},           {"txt", "Text"},
        {"Txt", "Text"},           {"text", "Text"},
        {"log", "Log FIle"},       {"LOG", "Log FIle"},
        {"doc", "MS Word"},        {"dot", "MS Word Template"},
        {"pps", "MS Power Point"}, {"pot", "MS Power Point"},
        {"mpeg", "MPEG"},          {"MPE", "MPEG"},
        {"mgp", "MPEG"},           {"html", "HTML"},
        {"htm", "HTML"},           {"tiff", "TIFF Image"},
        {"wp", "Word Perfect"},    {"mif", "FrameMaker"},
        {"exe", "Executable"},     {"xyz", "Unknown"},
        {"", "Unknown"},           {"tx", "Unknown"},
        {"txtx", "Unknown"},       {"pps,pot", "Unknown"},
        {"mpeg mpe", "Unknown"},   {" ", "Unknown"},
    };
    for (const Case &k : cases)
        EXPECT_EQ(name_of(c, moap_ftype_ext_id_in(c.head(), k.ext, unknown)), k.type)
            << "extension " << k.ext;
    EXPECT_EQ(moap_ftype_ext_id_in(c.head(), nullptr, unknown), unknown);

    // Deleted and unfinished types are passed over: "txt" falls to the next type that has it.
    for (MOAP_FTYPE_T &t : c.types)
        if (std::string(t.name) == "Text")
            t.delete_status = 1;
    EXPECT_EQ(name_of(c, moap_ftype_ext_id_in(c.head(), "txt", unknown)), "Log FIle");
    for (MOAP_FTYPE_T &t : c.types)
        if (std::string(t.name) == "Log FIle")
            t.new_ = 5;
    EXPECT_EQ(moap_ftype_ext_id_in(c.head(), "txt", unknown), unknown);
    EXPECT_EQ(moap_ftype_ext_id_in(nullptr, "txt", 0), 0);

    // Further extensions separated by commas, blanks and tabs, with empty pieces.
    std::vector<MOAP_FTYPE_T> odd(1);
    odd[0].id = 40;
    odd[0].pri_extension = const_cast<char *>("");
    odd[0].sec_extension = const_cast<char *>(" ,a1,, b2\tC3 ,");
    Chain o(odd);
    for (const char *e : {"a1", "B2", "c3"})
        EXPECT_EQ(moap_ftype_ext_id_in(o.head(), e, 0), 40) << e;
    for (const char *e : {"a", "1", "b2\tC3", ""})
        EXPECT_EQ(moap_ftype_ext_id_in(o.head(), e, 0), 0) << e;
}

TEST(MimeCheck, OneLineOfPrintableCharacters) {
    EXPECT_TRUE(moap_ftype_mime_ok("application/vnd.ms-excel"));
    EXPECT_TRUE(moap_ftype_mime_ok("text/plain; charset=utf-8"));
    EXPECT_FALSE(moap_ftype_mime_ok(""));
    EXPECT_FALSE(moap_ftype_mime_ok(nullptr));
    EXPECT_FALSE(moap_ftype_mime_ok("text/html\r\nSet-Cookie: U=x"));
    EXPECT_FALSE(moap_ftype_mime_ok("text/html\n"));
    EXPECT_FALSE(moap_ftype_mime_ok("a\tb"));
    EXPECT_FALSE(moap_ftype_mime_ok("a\x7f"));
}

std::set<std::string> shipped_images() {
    std::ifstream in(std::string(MORVALE_SOURCE_DIR) + "/install/images.map");
    std::set<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string path;
        words >> path;
        out.insert(path);
    }
    return out;
}

TEST(BuiltinTables, RowsInTableOrderWithTheirIconsAndScriptsShipped) {
    std::vector<int> itype_sys;
    for (int i = 0; i < moap_itype_sys_count; i++)
        itype_sys.push_back(moap_itype_sys_table[i].sys_id);
    EXPECT_EQ(itype_sys,
              (std::vector<int>{1, 5, 20, 23, 14, 13, 24, 25, 2, 22, 3, 4, 10, 11, 12, 16, 17, 18, 21}));
    std::vector<int> ftype_sys;
    for (int i = 0; i < moap_ftype_sys_count; i++)
        ftype_sys.push_back(moap_ftype_sys_table[i].sys_id);
    EXPECT_EQ(ftype_sys,
              (std::vector<int>{1,  2,  25, 3,  4,  5,  6,  7,  8,  9,  26, 27, 10, 11, 12, 13, 14,
                                15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 28, 29, 30, 31, 32, 33, 34}));

    // Every parent is a built-in row that comes before its children.
    std::set<int> seen;
    for (int i = 0; i < moap_itype_sys_count; i++) {
        const MOAP_ITYPE_SYS_T &r = moap_itype_sys_table[i];
        if (r.parent_sys_id != 0) {
            EXPECT_TRUE(seen.count(r.parent_sys_id)) << r.name;
        }
        seen.insert(r.sys_id);
    }

    std::set<std::string> images = shipped_images();
    ASSERT_FALSE(images.empty());
    for (int i = 0; i < moap_itype_sys_count; i++)
        EXPECT_TRUE(images.count(moap_itype_sys_table[i].graphic_filename))
            << moap_itype_sys_table[i].graphic_filename;
    for (int i = 0; i < moap_ftype_sys_count; i++) {
        const MOAP_FTYPE_SYS_T &r = moap_ftype_sys_table[i];
        EXPECT_TRUE(images.count(r.graphic_filename)) << r.graphic_filename;
        EXPECT_TRUE(moap_ftype_mime_ok(r.application_string)) << r.name;
        if (r.index_script[0] != '\0') {
            EXPECT_TRUE(mot_test::file_exists(std::string(MORVALE_SOURCE_DIR) + "/" + r.index_script))
                << r.index_script;
        }
    }
}

} // namespace
