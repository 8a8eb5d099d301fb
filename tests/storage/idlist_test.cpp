// Id lists and access lists on the real memory and error services; the blocks a test allocates
// are given back at its end, as a pool would be.
#include "storage/moil_idlist.h"
#include "entry/moim_interm.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

using testing::HasSubstr;

struct IdlistFixture : ::testing::Test {
    mot_test::Bundle b;
    MOIM_INTERM_T interm{};
    void SetUp() override {
        interm.low = b.low;
        interm.mem = &b.mem;
        interm.error = &b.error;
    }
    static std::vector<int> ids(const MOIL_IDLIST_T *l) {
        std::vector<int> v;
        for (; l != nullptr; l = l->next)
            v.push_back(l->id);
        return v;
    }
    MOIL_IDLIST_T *list_of(std::initializer_list<int> v) {
        MOIL_IDLIST_T *l = nullptr;
        for (int id : v)
            EXPECT_EQ(moil_add_to_idlist(&interm, nullptr, id, &l), 0);
        return l;
    }
    MOIL_IDLIST_T *parse(const std::string &text) {
        std::vector<char> buf(text.begin(), text.end());
        buf.push_back('\0');
        MOIL_IDLIST_T *l = reinterpret_cast<MOIL_IDLIST_T *>(1);
        EXPECT_EQ(moil_string_to_idlist(&interm, nullptr, buf.data(), &l), 0);
        return l;
    }
    bool has(const MOIL_IDLIST_T *l, int id) {
        mo_boolean_t found = -1;
        EXPECT_EQ(moil_check_in_idlist(l, id, &found), 0);
        EXPECT_TRUE(found == TRUE || found == FALSE);
        return found == TRUE;
    }
};

TEST_F(IdlistFixture, AppendKeepsOrderAndDuplicates) {
    MOIL_IDLIST_T *l = nullptr;
    ASSERT_EQ(moil_add_to_idlist(&interm, nullptr, 4, &l), 0);
    ASSERT_NE(l, nullptr) << "head set when the list was empty";
    MOIL_IDLIST_T *head = l;
    moil_add_to_idlist(&interm, nullptr, -2, &l);
    moil_add_to_idlist(&interm, nullptr, 4, &l);
    EXPECT_EQ(l, head);
    EXPECT_EQ(ids(l), (std::vector<int>{4, -2, 4}));
    EXPECT_TRUE(has(l, 4));
    EXPECT_TRUE(has(l, -2));
    EXPECT_FALSE(has(l, 0));
    EXPECT_FALSE(has(nullptr, 0));
}

TEST_F(IdlistFixture, DeleteRemovesEveryMatch) {
    MOIL_IDLIST_T *l = list_of({5, 5, 7, 5});
    ASSERT_EQ(moil_delete_from_idlist(&interm, nullptr, 5, &l), 0);
    EXPECT_EQ(ids(l), (std::vector<int>{7}));
    ASSERT_EQ(moil_delete_from_idlist(&interm, nullptr, 7, &l), 0);
    EXPECT_EQ(l, nullptr);
    EXPECT_EQ(moil_delete_from_idlist(&interm, nullptr, 7, &l), 0);
    EXPECT_EQ(l, nullptr);

    l = list_of({1, 2, 3, 2, 4, 2});
    moil_delete_from_idlist(&interm, nullptr, 2, &l);
    EXPECT_EQ(ids(l), (std::vector<int>{1, 3, 4}));
    moil_delete_from_idlist(&interm, nullptr, 9, &l);
    EXPECT_EQ(ids(l), (std::vector<int>{1, 3, 4}));
    // Appending after a delete of the tail must reach the new tail.
    moil_delete_from_idlist(&interm, nullptr, 4, &l);
    moil_add_to_idlist(&interm, nullptr, 8, &l);
    EXPECT_EQ(ids(l), (std::vector<int>{1, 3, 8}));
}

TEST_F(IdlistFixture, JoinAlwaysUsesParentAndKeepsRepeats) {
    MOIL_ACCESSLIST_T *a = nullptr, *c = nullptr;
    ASSERT_EQ(moil_new_accesslist(&interm, nullptr, &a), 0);
    EXPECT_EQ(a->user, nullptr);
    EXPECT_EQ(a->group, nullptr);
    EXPECT_EQ(a->use_parent, TRUE);
    ASSERT_EQ(moil_new_accesslist(&interm, nullptr, &c), 0);
    a->user = list_of({1, 2});
    a->group = list_of({10});
    a->use_parent = FALSE;
    c->user = list_of({2, 3});
    c->use_parent = FALSE;
    MOIL_ACCESSLIST_T *j = nullptr;
    ASSERT_EQ(moil_join_accesslist(&interm, nullptr, a, c, &j), 0);
    EXPECT_EQ(j->use_parent, TRUE);
    EXPECT_EQ(ids(j->user), (std::vector<int>{1, 2, 2, 3}));
    EXPECT_EQ(ids(j->group), (std::vector<int>{10}));
    // The sources are copied, not shared.
    moil_add_to_idlist(&interm, nullptr, 4, &j->user);
    EXPECT_EQ(ids(c->user), (std::vector<int>{2, 3}));

    ASSERT_EQ(moil_join_accesslist_basic(&interm, nullptr, c, j), 0);
    EXPECT_EQ(ids(j->user), (std::vector<int>{1, 2, 2, 3, 4, 2, 3}));
}

TEST_F(IdlistFixture, StringToIdlist) {
    EXPECT_EQ(ids(parse("3, 4,,x\t9")), (std::vector<int>{3, 4, 0, 9}));
    EXPECT_EQ(parse(""), nullptr);
    EXPECT_EQ(parse(" ,\t, "), nullptr);
    EXPECT_EQ(ids(parse("  -12,+7,")), (std::vector<int>{-12, 7}));
    EXPECT_EQ(ids(parse("99999999999 -99999999999")), (std::vector<int>{2147483647, -2147483647 - 1}));
    MOIL_IDLIST_T *l = reinterpret_cast<MOIL_IDLIST_T *>(1);
    EXPECT_EQ(moil_string_to_idlist(&interm, nullptr, nullptr, &l), 0);
    EXPECT_EQ(l, nullptr);
}

TEST_F(IdlistFixture, StringToAccesslist) {
    MOIL_ACCESSLIST_T *a = nullptr;
    moil_new_accesslist(&interm, nullptr, &a);
    a->use_parent = FALSE;
    char text[] = "1, 2^30,31";
    ASSERT_EQ(moil_string_to_accesslist(&interm, nullptr, text, a), 0);
    EXPECT_EQ(ids(a->user), (std::vector<int>{1, 2}));
    EXPECT_EQ(ids(a->group), (std::vector<int>{30, 31}));
    EXPECT_EQ(a->use_parent, FALSE) << "use_parent is not touched";

    char groups_only[] = "^5";
    ASSERT_EQ(moil_string_to_accesslist(&interm, nullptr, groups_only, a), 0);
    EXPECT_EQ(a->user, nullptr) << "the user part is replaced, not appended to";
    EXPECT_EQ(ids(a->group), (std::vector<int>{5}));

    char bad[] = "1,2";
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(moil_string_to_accesslist(&interm, nullptr, bad, a), 1); });
    EXPECT_THAT(err, HasSubstr("init: Missing ^ in string when converting string (1,2) to accesslist\n"));
    EXPECT_EQ(a->user, nullptr);
    EXPECT_EQ(ids(a->group), (std::vector<int>{5})) << "unchanged after the failure";
}

} // namespace
