// Linked lists and hash tables, on the real memory service wrapped so that it keeps track of its
// blocks (freed at the end of each test, as a pool would be) and fails on demand.
#include "storage/mols_list.h"
#include "storage/moh_hash.h"
#include "entry/moim_interm.h"
#include "support/bundle.h"
#include "support/util.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

using testing::HasSubstr;

struct ListFixture : ::testing::Test {
    mot_test::Bundle b;
    MOLS_LIST_T *list = nullptr;
    void SetUp() override { ASSERT_EQ(mols_list_new(&list, nullptr, &b.mem), 0); }
    // Names from the head (forward) or from the tail (backward).
    std::string walk(bool forward) {
        std::string s;
        MOLS_LIST_ELE_T *e = nullptr;
        for (;;) {
            EXPECT_EQ(forward ? list->get_next(list, &e) : list->get_prev(list, &e), 0);
            if (e == nullptr)
                break;
            s += list->get_name(e);
        }
        return s;
    }
};

TEST_F(ListFixture, HeadAndFifoInsertOrder) {
    EXPECT_EQ(list->thelist, nullptr);
    EXPECT_EQ(walk(true), "");
    for (const char *n : {"A", "B", "C"})
        ASSERT_EQ(list->add(list, n, TRUE, 0, nullptr, nullptr), 0);
    EXPECT_EQ(walk(true), "CBA");
    EXPECT_EQ(walk(false), "ABC") << "get_prev from NULL starts at the tail";

    MOLS_LIST_T *fifo = nullptr;
    ASSERT_EQ(mols_list_new(&fifo, nullptr, &b.mem), 0);
    list = fifo;
    for (const char *n : {"A", "B", "C"})
        ASSERT_EQ(list->add_fifo(list, n, FALSE, 0, nullptr, nullptr), 0);
    EXPECT_EQ(walk(true), "ABC");
    EXPECT_EQ(walk(false), "CBA");
    // Mixing both: head insert goes before everything, fifo after everything.
    list->add(list, "H", TRUE, 0, nullptr, nullptr);
    list->add_fifo(list, "T", TRUE, 0, nullptr, nullptr);
    EXPECT_EQ(walk(true), "HABCT");
    EXPECT_EQ(walk(false), "TCBAH");
}

TEST_F(ListFixture, NameIsCopiedOnlyWhenAsked) {
    char buf[8] = "abc";
    list->add(list, buf, TRUE, 0, nullptr, nullptr);
    MOLS_LIST_ELE_T *copied = nullptr;
    list->get_last_add(list, &copied);
    list->add(list, buf, FALSE, 0, nullptr, nullptr);
    MOLS_LIST_ELE_T *kept = nullptr;
    list->get_last_add(list, &kept);
    buf[0] = 'x';
    EXPECT_STREQ(list->get_name(copied), "abc");
    EXPECT_TRUE(copied->malloc_name);
    EXPECT_EQ(list->get_name(kept), buf);
    EXPECT_FALSE(kept->malloc_name);
    // del frees only the list's own copy; the caller's buffer stays usable.
    list->del(list, kept);
    list->del(list, copied);
    EXPECT_STREQ(buf, "xbc");
    EXPECT_EQ(list->thelist, nullptr);
}

TEST_F(ListFixture, FindNameContinuesFromFoundEntry) {
    int refs[5];
    const char *names[] = {"svc", "other", "svc", "svcx", "svc"};
    for (int i = 0; i < 5; i++)
        list->add_fifo(list, names[i], TRUE, i, &refs[i], nullptr);
    std::vector<void *> seen;
    MOLS_LIST_ELE_T *e = nullptr;
    for (;;) {
        ASSERT_EQ(list->find_name(list, "svc", &e), 0);
        if (e == nullptr)
            break;
        seen.push_back(list->get_ref1(e));
    }
    EXPECT_EQ(seen, (std::vector<void *>{&refs[0], &refs[2], &refs[4]}));
    e = nullptr;
    list->find_name(list, "sv", &e);
    EXPECT_EQ(e, nullptr) << "names compare exactly";
    list->find_name(list, "svcx", &e);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(list->get_status(e), 3);
}

TEST_F(ListFixture, FindStatusAndSetters) {
    for (int s : {1, 2, 1})
        list->add_fifo(list, "n", FALSE, s, nullptr, nullptr);
    int count = 0;
    MOLS_LIST_ELE_T *e = nullptr;
    while (list->find_status(list, 1, &e) == 0 && e != nullptr) {
        count++;
        EXPECT_EQ(list->set_status(e, 7), 0);
    }
    EXPECT_EQ(count, 2);
    e = nullptr;
    list->find_status(list, 1, &e);
    EXPECT_EQ(e, nullptr);
    list->find_status(list, 7, &e);
    ASSERT_NE(e, nullptr);
    int x = 0, y = 0;
    EXPECT_EQ(list->set_ref1(e, &x), 0);
    EXPECT_EQ(list->set_ref2(e, &y), 0);
    EXPECT_EQ(list->get_ref1(e), &x);
    EXPECT_EQ(list->get_ref2(e), &y);
}

TEST_F(ListFixture, DelKeepsEndsAndLastAddRight) {
    list->add(list, "only", TRUE, 0, nullptr, nullptr);
    MOLS_LIST_ELE_T *e = nullptr;
    list->get_last_add(list, &e);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(list->del(list, e), 0);
    EXPECT_EQ(list->thelist, nullptr);
    EXPECT_EQ(list->end, nullptr);
    EXPECT_EQ(list->last_add, nullptr);
    EXPECT_EQ(list->del(list, nullptr), 0);

    for (const char *n : {"A", "B", "C", "D"})
        list->add_fifo(list, n, TRUE, 0, nullptr, nullptr);
    MOLS_LIST_ELE_T *a = nullptr, *b2 = nullptr, *d = nullptr;
    list->find_name(list, "A", &a);
    list->find_name(list, "B", &b2);
    list->find_name(list, "D", &d);
    list->del(list, b2); // middle
    EXPECT_EQ(walk(true), "ACD");
    EXPECT_EQ(walk(false), "DCA");
    list->get_last_add(list, &e);
    EXPECT_EQ(e, d);
    list->del(list, d); // tail, was last_add
    EXPECT_EQ(list->last_add, nullptr);
    EXPECT_STREQ(list->get_name(list->end), "C");
    list->del(list, a); // head
    EXPECT_STREQ(list->get_name(list->thelist), "C");
    EXPECT_EQ(list->thelist, list->end);
    EXPECT_EQ(list->thelist->prev, nullptr);
    EXPECT_EQ(list->thelist->next, nullptr);
}

TEST_F(ListFixture, ResetEmptiesAndNullNamesAreAllowed) {
    list->add(list, "a", TRUE, 0, nullptr, nullptr);
    EXPECT_EQ(list->reset(list), 0);
    EXPECT_EQ(list->thelist, nullptr);
    EXPECT_EQ(list->end, nullptr);
    EXPECT_EQ(list->last_add, nullptr);
    // Timer and child entries may carry no name; a copy of nothing is not attempted.
    ASSERT_EQ(list->add(list, nullptr, TRUE, 5, nullptr, nullptr), 0);
    list->add(list, "b", TRUE, 0, nullptr, nullptr);
    MOLS_LIST_ELE_T *e = nullptr;
    list->find_name(list, nullptr, &e);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(list->get_status(e), 5);
    EXPECT_FALSE(e->malloc_name);
    list->del(list, e);
    EXPECT_EQ(walk(true), "b");
}

TEST_F(ListFixture, FailedAddLeavesListAsItWas) {
    list->add_fifo(list, "keep", TRUE, 0, nullptr, nullptr);
    b.pool.fail_from(1); // the entry succeeds, the name copy fails
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(list->add(list, "lost", TRUE, 0, nullptr, nullptr), 1); });
    EXPECT_THAT(err, HasSubstr("Out of memory"));
    EXPECT_EQ(walk(true), "keep");
    EXPECT_STREQ(list->get_name(list->last_add), "keep");
    b.pool.fail_from(0);
    mot_test::capture_stderr([&] { EXPECT_EQ(list->add_fifo(list, "x", FALSE, 0, nullptr, nullptr), 1); });
    EXPECT_EQ(walk(false), "keep");
    MOLS_LIST_T *other = reinterpret_cast<MOLS_LIST_T *>(1);
    b.pool.fail_from(0);
    mot_test::capture_stderr([&] { EXPECT_EQ(mols_list_new(&other, nullptr, &b.mem), 1); });
    EXPECT_EQ(other, nullptr);
}

struct HashFixture : ListFixture {
    MOIM_INTERM_T interm{};
    void SetUp() override {
        ListFixture::SetUp();
        interm.low = b.low;
        interm.mem = &b.mem;
        interm.error = &b.error;
    }
    MOH_HASH_T *make(int buckets, int list_size) {
        MOH_HASH_T *h = nullptr;
        EXPECT_EQ(moh_hash_init(&interm, nullptr, buckets, list_size, &h), 0);
        return h;
    }
    void *find(MOH_HASH_T *h, const std::string &key, bool expect_found = true) {
        mo_boolean_t found = !expect_found;
        void *ref = reinterpret_cast<void *>(1);
        EXPECT_EQ(moh_hash_find(&interm, h, key.c_str(), &found, &ref), 0);
        EXPECT_EQ(found, expect_found ? TRUE : FALSE) << key;
        if (!expect_found) {
            EXPECT_EQ(ref, nullptr);
        }
        return ref;
    }
    // Largest bucket list anywhere in the table, nested tables included.
    static int deepest_list(MOH_HASH_T *h, int *depth) {
        int most = 0;
        for (int i = 0; i < h->num_buckets; i++) {
            MOH_HASH_RECORD_T *r = &h->table[i];
            if (r->type == MOH_BUCKET_NESTED) {
                MOH_HASH_T *n = static_cast<MOH_HASH_T *>(r->ref);
                EXPECT_EQ(n->num_buckets, h->num_buckets + 2);
                EXPECT_EQ(n->max_list_size, h->max_list_size + 2);
                EXPECT_EQ(r->list_size, 0);
                int d = 0;
                most = std::max(most, deepest_list(n, &d));
                *depth = std::max(*depth, d + 1);
                continue;
            }
            int count = 0;
            for (auto *kl = static_cast<MOH_HASH_KEYLIST_T *>(r->ref); kl; kl = kl->next)
                count++;
            EXPECT_EQ(count, r->list_size);
            EXPECT_LE(count, h->max_list_size);
            most = std::max(most, count);
        }
        return most;
    }
};

TEST_F(HashFixture, HashFunctionTakesSignedBytesOfTheFirstHundred) {
    EXPECT_EQ(moh_hash_fn("ab", 31), (97u * 100 + 98) % 31);
    EXPECT_EQ(moh_hash_fn("", 31), 0u);
    // 0xFF counts as -1, so h wraps to 2^32 - 1, and 2^32 - 1 mod 31 is 3 (255 mod 31 would be 7).
    EXPECT_EQ(moh_hash_fn("\xff", 31), 3u);
    EXPECT_EQ(moh_hash_fn("\xff", 1000), 4294967295u % 1000);
    // Byte 101 onward does not count, but byte 100 does.
    std::string base(100, 'q');
    for (char c : std::string("abcdefgh"))
        EXPECT_EQ(moh_hash_fn((base + c + "tail").c_str(), 31), moh_hash_fn(base.c_str(), 31));
    std::string shorter(99, 'q');
    std::vector<unsigned> buckets;
    for (char c : std::string("abcdefghijklmnopqrstuvwxyz0123456789"))
        buckets.push_back(moh_hash_fn((shorter + c).c_str(), 31));
    std::sort(buckets.begin(), buckets.end());
    EXPECT_GT(std::unique(buckets.begin(), buckets.end()) - buckets.begin(), 20);
}

TEST_F(HashFixture, FullBucketNestsWiderAndLonger) {
    MOH_HASH_T *h = make(1, 2);
    int ra = 1, rb = 2, rc = 3;
    ASSERT_EQ(moh_hash_add(&interm, h, "a", &ra), 0);
    ASSERT_EQ(moh_hash_add(&interm, h, "b", &rb), 0);
    EXPECT_EQ(h->table[0].type, MOH_BUCKET_LIST);
    EXPECT_EQ(h->table[0].list_size, 2);
    ASSERT_EQ(moh_hash_add(&interm, h, "c", &rc), 0);
    ASSERT_EQ(h->table[0].type, MOH_BUCKET_NESTED);
    EXPECT_EQ(h->table[0].list_size, 0);
    MOH_HASH_T *n = static_cast<MOH_HASH_T *>(h->table[0].ref);
    EXPECT_EQ(n->num_buckets, 3);
    EXPECT_EQ(n->max_list_size, 4);
    EXPECT_EQ(find(h, "a"), &ra);
    EXPECT_EQ(find(h, "b"), &rb);
    EXPECT_EQ(find(h, "c"), &rc);
    find(h, "d", false);
    EXPECT_EQ(moh_hash_destroy(&interm, h), 0);
}

TEST_F(HashFixture, ExistingKeyKeepsFirstReference) {
    MOH_HASH_T *h = make(31, 2);
    int first = 1, second = 2;
    ASSERT_EQ(moh_hash_add(&interm, h, "/data/file.dat", &first), 0);
    ASSERT_EQ(moh_hash_add(&interm, h, "/data/file.dat", &second), 0);
    EXPECT_EQ(find(h, "/data/file.dat"), &first);
    EXPECT_EQ(h->table[moh_hash_fn("/data/file.dat", 31)].list_size, 1);
    find(h, "/data/file.da", false);
    find(h, "", false);
}

TEST_F(HashFixture, KeysDifferingAfterByte100AreBothFound) {
    MOH_HASH_T *h = make(31, 2);
    std::string base(100, 'k');
    std::vector<std::string> keys;
    for (int i = 0; i < 12; i++)
        keys.push_back(base + std::to_string(i));
    keys.push_back("other"); // a key of its own value in the same table
    for (size_t i = 0; i < keys.size(); i++)
        ASSERT_EQ(moh_hash_add(&interm, h, keys[i].c_str(), reinterpret_cast<void *>(i + 1)), 0);
    for (size_t i = 0; i < keys.size(); i++)
        EXPECT_EQ(find(h, keys[i]), reinterpret_cast<void *>(i + 1));
    find(h, base, false);
    // Nesting cannot part keys of one hash value, so they stay in one list instead of nesting a
    // level per two keys.
    MOH_HASH_RECORD_T *r = &h->table[moh_hash_fn(base.c_str(), 31)];
    EXPECT_EQ(r->type, MOH_BUCKET_LIST);
    EXPECT_EQ(r->list_size, 12);
}

TEST_F(HashFixture, SameValueKeysDoNotNestWithoutEnd) {
    MOH_HASH_T *h = make(1, 2);
    std::string base(100, 'p');
    const int n = 3000;
    for (int i = 0; i < n; i++)
        ASSERT_EQ(moh_hash_add(&interm, h, (base + std::to_string(i)).c_str(), nullptr), 0);
    // A different key arriving later still nests the bucket; the alike keys move as one list.
    int rx = 0;
    ASSERT_EQ(moh_hash_add(&interm, h, "x", &rx), 0);
    ASSERT_EQ(h->table[0].type, MOH_BUCKET_NESTED);
    MOH_HASH_T *nested = static_cast<MOH_HASH_T *>(h->table[0].ref);
    EXPECT_EQ(nested->table[moh_hash_fn(base.c_str(), 3)].list_size, n);
    EXPECT_EQ(nested->table[moh_hash_fn(base.c_str(), 3)].type, MOH_BUCKET_LIST);
    EXPECT_EQ(find(h, "x"), &rx);
    find(h, base + "17");
    find(h, base + std::to_string(n), false);
    EXPECT_EQ(moh_hash_destroy(&interm, h), 0);
}

TEST_F(HashFixture, ManyKeysStayFindableAndBucketsStayShort) {
    size_t blocks_before = b.pool.blocks();
    MOH_HASH_T *h = make(31, 2);
    const int n = 5000;
    for (int i = 0; i < n; i++) {
        std::string k = "/home/mo/data/list_" + std::to_string(i * 7919) + ".dat";
        ASSERT_EQ(moh_hash_add(&interm, h, k.c_str(), reinterpret_cast<void *>(static_cast<intptr_t>(i + 1))),
                  0);
    }
    for (int i = 0; i < n; i++) {
        std::string k = "/home/mo/data/list_" + std::to_string(i * 7919) + ".dat";
        ASSERT_EQ(find(h, k), reinterpret_cast<void *>(static_cast<intptr_t>(i + 1)));
    }
    int depth = 0;
    int longest = deepest_list(h, &depth);
    EXPECT_GE(depth, 1);
    EXPECT_LE(longest, 2 + 2 * depth);
    EXPECT_GT(b.pool.blocks(), blocks_before + n);
    // Destroy hands back every block, key copies included.
    EXPECT_EQ(moh_hash_destroy(&interm, h), 0);
    EXPECT_EQ(b.pool.blocks(), blocks_before);
}

TEST_F(HashFixture, FailedNestingLosesNoKey) {
    MOH_HASH_T *h = make(1, 2);
    int ra = 1, rb = 2;
    moh_hash_add(&interm, h, "a", &ra);
    moh_hash_add(&interm, h, "b", &rb);
    // The nested table's record and buckets succeed, the first moved key's element fails.
    for (int left : {0, 1, 2, 3, 4, 5}) {
        size_t before = b.pool.blocks();
        b.pool.fail_from(left);
        std::string err =
            mot_test::capture_stderr([&] { EXPECT_EQ(moh_hash_add(&interm, h, "c", nullptr), 1); });
        b.pool.disarm();
        EXPECT_THAT(err, HasSubstr("Out of memory"));
        EXPECT_EQ(b.pool.blocks(), before) << "half-built nested table is given back";
        EXPECT_EQ(h->table[0].type, MOH_BUCKET_LIST);
        EXPECT_EQ(find(h, "a"), &ra);
        EXPECT_EQ(find(h, "b"), &rb);
        find(h, "c", false);
    }
    // Nested, but the new key's own element fails: the old keys are in the nested table.
    b.pool.fail_from(6);
    mot_test::capture_stderr([&] { EXPECT_EQ(moh_hash_add(&interm, h, "c", nullptr), 1); });
    b.pool.disarm();
    EXPECT_EQ(h->table[0].type, MOH_BUCKET_NESTED);
    EXPECT_EQ(find(h, "a"), &ra);
    EXPECT_EQ(find(h, "b"), &rb);
    find(h, "c", false);
    ASSERT_EQ(moh_hash_add(&interm, h, "c", &ra), 0);
    EXPECT_EQ(find(h, "c"), &ra);
}

TEST_F(HashFixture, BadSizesAndMissingKeyAreReported) {
    MOH_HASH_T *h = reinterpret_cast<MOH_HASH_T *>(1);
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(moh_hash_init(&interm, nullptr, 0, 2, &h), 1); });
    EXPECT_THAT(err, HasSubstr("Invalid hash table size: 0 buckets of 2 keys\n"));
    EXPECT_EQ(h, nullptr);
    h = make(31, 2);
    err = mot_test::capture_stderr([&] { EXPECT_EQ(moh_hash_add(&interm, h, nullptr, nullptr), 1); });
    EXPECT_THAT(err, HasSubstr("No key given"));
    mo_boolean_t found = TRUE;
    void *ref = h;
    EXPECT_EQ(moh_hash_find(&interm, h, nullptr, &found, &ref), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(ref, nullptr);
}

} // namespace
