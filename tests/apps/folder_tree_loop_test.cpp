// The folder tree's guards against loops, on tree files made by hand: parents that go round, an item
// that is its own parent, links that point at each other. Every walk up the tree (ancestors, the
// subscription walk, the move check, the list engine's full path) ends with an error naming the loop,
// and the healthy part of the tree keeps answering.
#include "types_fixture.h"

#include "apps/moap_litem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tt;

namespace {

struct TreeProc : Proc {
    explicit TreeProc(const std::string &home) : Proc(home) {
        if (registered == 0)
            registered = moap_litem_construct(session);
        if (registered == 0)
            registered = moap_litem_setup(session);
        item->init_litem_array = moap_litem_init_litem_array;
        item->get_litem_data_props = moap_litem_get_litem_data_props;
    }
    int load_tree() {
        int ret = load();
        if (ret == 0)
            ret = item->init_litem_array(item, session);
        return ret;
    }
};

std::string record(int id, const std::string &name, int parent, int itype, const std::string &link = "") {
    return "ID " + std::to_string(id) + "\nNEW 0\nDEL 0\nN " + name + "\nPID " + std::to_string(parent) +
           "\nFID 0\nIID " + std::to_string(itype) + "\nVA ^^1\nEA ^^1\nLA ^^1\nLID " + link + "\nSID \n";
}

struct FolderTreeLoop : ::testing::Test {
    mot_test::TempDir home;
    mot_test::DaemonProcess daemon;
};

TEST_F(FolderTreeLoop, WalksOverAHandMadeLoopStopWithAnErrorAndTheRestKeepsWorking) {
    const std::string file = home.path + "/lib/litem/0";
    int folder_type = 0, docs = 0;
    {
        // A fresh installation first: the built-in folders are written once.
        TreeProc p(home.path);
        ASSERT_EQ(p.registered, 0);
        ASSERT_TRUE(p.connect(daemon.port, 1));
        ASSERT_EQ(p.load_tree(), 0);
        ASSERT_EQ(
            moap_litem_find_sys_id(p.item, MOAP_LITEM_INDEX, MOAP_LITEM_SYS_KIND, MOAP_LITEM_SYS_DOCS, &docs),
            0);
        folder_type = p.itype_id(1, 24); // the plain "Folder" type
        ASSERT_GT(folder_type, 0);
        p.end_request();
    }
    std::string text = mot_test::read_file(file);
    ASSERT_NE(text.find("SID 1,7,"), std::string::npos) << text;
    // 11 and 12 are each other's parent, 13 is its own, 14 sits below the loop, 15 is healthy under
    // Docs, and 16 and 17 are links to each other.
    text += "------\n" + record(11, "Round", 12, folder_type) + "------\n" +
            record(12, "About", 11, folder_type) + "------\n" + record(13, "Self", 13, folder_type) +
            "------\n" + record(14, "Below", 11, folder_type) + "------\n" +
            record(15, "Healthy", docs, folder_type) + "------\n" +
            record(16, "LinkA", docs, folder_type, "0,17,") + "------\n" +
            record(17, "LinkB", docs, folder_type, "0,16,");
    // A built-in folder renamed by hand is put back, and written once.
    text.replace(text.find("N Docs\n"), 7, "N Hacked\n");
    mot_test::write_file(file, text);

    TreeProc p(home.path);
    ASSERT_EQ(p.registered, 0);
    ASSERT_TRUE(p.connect(daemon.port, 2));
    ASSERT_EQ(p.load_tree(), 0);
    std::string after = mot_test::read_file(file);
    EXPECT_NE(after.find("N Docs\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("N Hacked"), std::string::npos) << after;
    EXPECT_NE(after.find("N Round\nPID 12\n"), std::string::npos) << "the loop itself is left as it is\n"
                                                                  << after;
    {
        // A later process finds nothing to put back and writes nothing.
        struct stat before {};
        ASSERT_EQ(stat(file.c_str(), &before), 0);
        TreeProc q(home.path);
        ASSERT_TRUE(q.connect(daemon.port, 3));
        ASSERT_EQ(q.load_tree(), 0);
        struct stat now {};
        ASSERT_EQ(stat(file.c_str(), &now), 0);
        EXPECT_EQ(now.st_ino, before.st_ino);
        EXPECT_EQ(now.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(mot_test::read_file(file), after);
        q.end_request();
    }
    for (int id : {11, 12, 13, 14}) {
        MOIL_IDLIST_T *up = nullptr;
        std::string err = mot_test::capture_stderr(
            [&] { EXPECT_NE(moap_litem_get_ancestors(p.item, MOAP_LITEM_INDEX, id, &up), 0) << id; });
        EXPECT_NE(err.find("form a loop in folder tree 0"), std::string::npos) << id << ": " << err;
    }
    // The healthy folder's walk ends at Docs.
    MOIL_IDLIST_T *up = nullptr;
    ASSERT_EQ(moap_litem_get_ancestors(p.item, MOAP_LITEM_INDEX, 15, &up), 0);
    EXPECT_EQ(ids_of(up), std::vector<int>{docs});

    // The move check meets the loop through the destination's ancestors and refuses with an error.
    MOIL_IDLIST_T *moved = nullptr;
    ASSERT_EQ(moap_litem_parse_idlist(p.aux, "15", &moved), 0);
    const char *reason = "";
    mo_boolean_t ok = TRUE;
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_NE(moap_litem_check_move_item(p.aux, MOAP_LITEM_INDEX, docs, 14, moved, &reason, &ok), 0);
    });
    EXPECT_FALSE(ok);
    EXPECT_NE(err.find("form a loop"), std::string::npos) << err;

    // The list engine's own walk up (full paths, inherited access) is bounded by the tree's size.
    MOTSL_ITEM_HOOKS_T *hooks = p.aux->list_hooks->item;
    ASSERT_NE(hooks, nullptr);
    int max_id = 0;
    ASSERT_EQ(hooks->get_max_item_id(hooks, MOAP_LITEM_INDEX, &max_id), 0);
    EXPECT_EQ(max_id, 17);
    int parent = 0;
    ASSERT_EQ(hooks->get_parent_id(hooks, MOAP_LITEM_INDEX, 13, &parent), 0);
    EXPECT_EQ(parent, 13);

    // Links that point at each other are a loop too.
    int idx = 0, target = 0;
    err = mot_test::capture_stderr(
        [&] { EXPECT_NE(moap_litem_follow_link(p.item, MOAP_LITEM_INDEX, 16, &idx, &target), 0); });
    EXPECT_NE(err.find("form a loop"), std::string::npos) << err;

    // Forged id lists are refused before any walk.
    for (const char *bad : {"", "15_x", "0", "-3", "15__16", "99999999999"}) {
        moved = nullptr;
        mot_test::capture_stderr([&] { EXPECT_NE(moap_litem_parse_idlist(p.aux, bad, &moved), 0) << bad; });
    }
    ASSERT_EQ(moap_litem_parse_idlist(p.aux, "15_16_15", &moved), 0);
    EXPECT_EQ(ids_of(moved), (std::vector<int>{15, 16}));

    // An unknown id is a clean failure, and its name the documented fallback.
    const char *name = nullptr;
    moap_litem_get_name(p.item, MOAP_LITEM_INDEX, 500, nullptr, &name);
    EXPECT_STREQ(name, "Not-Defined");
    int pid = 0;
    err = mot_test::capture_stderr(
        [&] { EXPECT_NE(moap_litem_get_parent_id(p.item, MOAP_LITEM_INDEX, 500, nullptr, &pid), 0); });
    EXPECT_NE(err.find("List ID 500 out of range"), std::string::npos) << err;
    p.end_request();
}

} // namespace
