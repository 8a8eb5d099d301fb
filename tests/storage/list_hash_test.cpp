// Linked lists and hash tables, on the real memory service (and one that fails on demand).
#include "mols_list.h"
#include "moim_interm.h"
#include "test_bundle.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Allocations left before the next one fails; negative means never fail.
int g_allocs_left = -1;

int failing_malloc(MOME_MEM_T *mem, void *pool, void **out, size_t size) noexcept {
    if (g_allocs_left == 0) {
        *out = nullptr;
        mem->lowest->error->report(mem->lowest->error, "Out of memory\n");
        return 1;
    }
    if (g_allocs_left > 0)
        g_allocs_left--;
    return moux_mem_malloc(mem, pool, out, size);
}

int failing_store_string(MOME_MEM_T *mem, void *pool, char **location, const char *source) noexcept {
    size_t len = strlen(source);
    void *block = nullptr;
    if (mem->malloc(mem, pool, &block, len + 1) != 0) {
        *location = nullptr;
        return 1;
    }
    memcpy(block, source, len + 1);
    *location = static_cast<char *>(block);
    return 0;
}

struct ListFixture : ::testing::Test {
    mot_test::LowBundle b;
    MOLS_LIST_T *list = nullptr;
    void SetUp() override {
        g_allocs_left = -1;
        ASSERT_EQ(mols_list_new(&list, nullptr, &b.mem), 0);
    }
    void TearDown() override { g_allocs_left = -1; }
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
    void use_failing_memory() {
        b.mem.malloc = failing_malloc;
        b.mem.store_string = failing_store_string;
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
    use_failing_memory();
    g_allocs_left = 1; // the entry succeeds, the name copy fails
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(list->add(list, "lost", TRUE, 0, nullptr, nullptr), 1); });
    EXPECT_NE(err.find("Out of memory"), std::string::npos);
    EXPECT_EQ(walk(true), "keep");
    EXPECT_STREQ(list->get_name(list->last_add), "keep");
    g_allocs_left = 0;
    mot_test::capture_stderr([&] { EXPECT_EQ(list->add_fifo(list, "x", FALSE, 0, nullptr, nullptr), 1); });
    EXPECT_EQ(walk(false), "keep");
    MOLS_LIST_T *other = reinterpret_cast<MOLS_LIST_T *>(1);
    g_allocs_left = 0;
    mot_test::capture_stderr([&] { EXPECT_EQ(mols_list_new(&other, nullptr, &b.mem), 1); });
    EXPECT_EQ(other, nullptr);
}

} // namespace
