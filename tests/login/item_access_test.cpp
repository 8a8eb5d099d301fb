// The item access cache: verdicts per (item, user, kind), kept only inside the bounds the cache was
// built for, and dropped whenever the data they came from changes.
#include "support/bundle.h"
#include "web/moia_item_access.h"

#include <gtest/gtest.h>
#include <set>
#include <utility>

namespace {

struct Cache {
    mot_test::Bundle lb;
    MOIA_ITEM_ACCESS_T *ia = nullptr;
    Cache() { EXPECT_EQ(moia_item_access_construct(&ia, &lb.mem, nullptr), 0); }
    int build(int max_item, int max_user, int tab = 1, int item = 1, int user = 1, int group = 1,
              uint64_t identity = 7) {
        return ia->check_expiry(ia, tab, item, user, group, max_item, max_user, identity);
    }
    // {known, granted} of a pair and kind.
    std::pair<bool, bool> get(int item, int user, int kind) {
        int mod = 0, ok = 0;
        EXPECT_EQ(ia->check(ia, item, user, kind, &mod, &ok), 0);
        return {mod != 0, ok != 0};
    }
};

TEST(ItemAccess, EveryPairHasItsOwnByteAndKindsDoNotMix) {
    Cache c;
    // Nothing is cached before the first build, and a check then is a miss, not a crash.
    EXPECT_EQ(c.get(1, 1, 1), std::make_pair(false, false));
    EXPECT_EQ(c.ia->set(c.ia, 1, 1, 1, TRUE), 0);
    EXPECT_EQ(c.get(1, 1, 1), std::make_pair(false, false));

    ASSERT_EQ(c.build(9, 4), 0);
    ASSERT_NE(c.ia->block_array, nullptr);
    // With the stride max_item_id the pairs (u, M) and (u + 1, 0) would share a byte.
    ASSERT_EQ(c.ia->set(c.ia, 9, 2, MOTSL_ACCESS_VIEW, TRUE), 0);
    EXPECT_EQ(c.get(9, 2, MOTSL_ACCESS_VIEW), std::make_pair(true, true));
    EXPECT_EQ(c.get(0, 3, MOTSL_ACCESS_VIEW), std::make_pair(false, false));
    // Every pair of the bounds: set one, no other changes.
    std::set<std::pair<int, int>> set_pairs;
    for (int u = 0; u <= 4; u++)
        for (int i = 0; i <= 9; i++)
            if ((u * 7 + i) % 3 == 0) {
                c.ia->set(c.ia, i, u, MOTSL_ACCESS_EDIT, (i % 2) == 0 ? TRUE : FALSE);
                set_pairs.insert({i, u});
            }
    for (int u = 0; u <= 4; u++)
        for (int i = 0; i <= 9; i++) {
            bool known = set_pairs.count({i, u}) != 0;
            EXPECT_EQ(c.get(i, u, MOTSL_ACCESS_EDIT), std::make_pair(known, known && i % 2 == 0))
                << i << "," << u;
        }
    // A refusal is known too; kinds keep their own bits in the same byte.
    c.ia->set(c.ia, 3, 1, MOTSL_ACCESS_LIB, FALSE);
    c.ia->set(c.ia, 3, 1, MOTSL_ACCESS_VIEW, TRUE);
    EXPECT_EQ(c.get(3, 1, MOTSL_ACCESS_LIB), std::make_pair(true, false));
    EXPECT_EQ(c.get(3, 1, MOTSL_ACCESS_VIEW), std::make_pair(true, true));
    EXPECT_EQ(c.get(3, 1, MOTSL_ACCESS_EDIT), std::make_pair(false, false));
}

TEST(ItemAccess, IdsOutsideTheBoundsAreNeverReadOrStored) {
    Cache c;
    ASSERT_EQ(c.build(100, 10), 0);
    // Nobody logged in (-1), negative items, ids above what the cache was built for, huge ids, and
    // kinds that are not one of the three bits.
    const int bad[][2] = {
        {1, -1}, {-1, 1}, {101, 1}, {1, 11}, {2147483647, 2147483647}, {-2147483647 - 1, 0}};
    for (auto &p : bad) {
        EXPECT_EQ(c.ia->set(c.ia, p[0], p[1], MOTSL_ACCESS_VIEW, TRUE), 0);
        EXPECT_EQ(c.get(p[0], p[1], MOTSL_ACCESS_VIEW), std::make_pair(false, false)) << p[0] << "," << p[1];
    }
    for (int kind : {0, 8, 16, -1, 255}) {
        EXPECT_EQ(c.ia->set(c.ia, 5, 5, kind, TRUE), 0);
        EXPECT_EQ(c.get(5, 5, kind), std::make_pair(false, false)) << kind;
    }
    EXPECT_EQ(c.get(5, 5, MOTSL_ACCESS_VIEW), std::make_pair(false, false)) << "the bad kinds wrote nothing";
    // The corners of the bounds work.
    c.ia->set(c.ia, 100, 10, MOTSL_ACCESS_VIEW, TRUE);
    c.ia->set(c.ia, 0, 0, MOTSL_ACCESS_VIEW, TRUE);
    EXPECT_EQ(c.get(100, 10, MOTSL_ACCESS_VIEW), std::make_pair(true, true));
    EXPECT_EQ(c.get(0, 0, MOTSL_ACCESS_VIEW), std::make_pair(true, true));

    // A list too large to keep leaves the cache off, with no failure; every check is then a miss.
    ASSERT_EQ(c.build(2000000, 2000000), 0);
    EXPECT_EQ(c.ia->block_array, nullptr);
    c.ia->set(c.ia, 1, 1, MOTSL_ACCESS_VIEW, TRUE);
    EXPECT_EQ(c.get(1, 1, MOTSL_ACCESS_VIEW), std::make_pair(false, false));
}

TEST(ItemAccess, RebuiltWhenAnyStampIdOrFileIdentityChanges) {
    Cache c;
    ASSERT_EQ(c.build(50, 5), 0);
    c.ia->set(c.ia, 7, 2, MOTSL_ACCESS_EDIT, TRUE);
    // The same stamps keep the verdicts.
    ASSERT_EQ(c.build(50, 5), 0);
    EXPECT_EQ(c.get(7, 2, MOTSL_ACCESS_EDIT), std::make_pair(true, true));

    // Each input on its own drops them: the four stamps, both highest ids and the file identity
    // (a restarted daemon numbers files from 1 again, so a number alone can repeat).
    const struct {
        int max_item, max_user, tab, item, user, group;
        uint64_t identity;
    } changes[] = {{50, 5, 2, 1, 1, 1, 7}, {50, 5, 1, 2, 1, 1, 7}, {50, 5, 1, 1, 2, 1, 7},
                   {50, 5, 1, 1, 1, 2, 7}, {51, 5, 1, 1, 1, 1, 7}, {50, 6, 1, 1, 1, 1, 7},
                   {50, 5, 1, 1, 1, 1, 8}};
    for (auto &ch : changes) {
        ASSERT_EQ(c.build(50, 5), 0);
        c.ia->set(c.ia, 7, 2, MOTSL_ACCESS_EDIT, TRUE);
        ASSERT_EQ(c.build(ch.max_item, ch.max_user, ch.tab, ch.item, ch.user, ch.group, ch.identity), 0);
        EXPECT_EQ(c.get(7, 2, MOTSL_ACCESS_EDIT), std::make_pair(false, false))
            << ch.max_item << " " << ch.max_user << " " << ch.tab << ch.item << ch.user << ch.group << " "
            << ch.identity;
    }
}

TEST(ItemAccess, TheListEngineSeesTheSameCacheWithinItsBounds) {
    Cache c;
    MOTSL_ACCESS_CACHE_T *lc = &c.ia->list_cache;
    EXPECT_EQ(lc->max_user_id, -1) << "no user is cached before the first build";
    ASSERT_EQ(c.build(20, 3), 0);
    EXPECT_EQ(lc->max_item_id, 20);
    EXPECT_EQ(lc->max_user_id, 3);
    ASSERT_EQ(lc->put(lc, 12, 3, MOTSL_ACCESS_LIB, TRUE), 0);
    mo_boolean_t found = FALSE, ok = FALSE;
    ASSERT_EQ(lc->get(lc, 12, 3, MOTSL_ACCESS_LIB, &found, &ok), 0);
    EXPECT_TRUE(found);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.get(12, 3, MOTSL_ACCESS_LIB), std::make_pair(true, true));
    ASSERT_EQ(lc->get(lc, 12, 3, MOTSL_ACCESS_VIEW, &found, &ok), 0);
    EXPECT_FALSE(found);
    // Turned off by a list too large, the engine's bounds close too.
    ASSERT_EQ(c.build(2000000, 2000000), 0);
    EXPECT_EQ(lc->max_user_id, -1);
}

} // namespace
