// Common keywords (display, update, ordering, copy) and id arrays with their lookups.
#include "storage/motc_common.h"
#include "platform/moe_error_cmn.h"
#include "storage/moil_idlist.h"
#include "platform/mome_mem_cmn.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

using testing::HasSubstr;

struct Row {
    int id;
    int new_flag;
    int del;
    char *name;
    MOK_MULTI_LINE_T *text;
    MOIL_IDLIST_T *sys;
    MOIL_ACCESSLIST_T *acc;
    uint32_t when;
    int owner;
    void *ref;
};

struct Common : ::testing::Test {
    mot_test::Bundle b;
    MOX_AUX_T *aux = b.aux;

    MOTC_COMMON_KEYWORD_T *make(int (*alloc)(MOX_AUX_T *, void *, MOTC_COMMON_KEYWORD_T **, const char *,
                                             size_t, const void *) noexcept,
                                const char *keyword, size_t offset, const void *init_ref = nullptr) {
        MOTC_COMMON_KEYWORD_T *c = nullptr;
        EXPECT_EQ(alloc(aux, nullptr, &c, keyword, offset, init_ref), 0);
        return c;
    }
    MOIL_IDLIST_T *ids(std::initializer_list<int> list) {
        MOIL_IDLIST_T *head = nullptr;
        MOIL_IDLIST_T **at = &head;
        for (int id : list) {
            mome_new(aux->mem, nullptr, at);
            (*at)->id = id;
            at = &(*at)->next;
        }
        return head;
    }
    std::vector<int> ids_of(const MOIL_IDLIST_T *l) {
        std::vector<int> out;
        for (; l != nullptr; l = l->next)
            out.push_back(l->id);
        return out;
    }
    std::vector<std::string> lines_of(const MOK_MULTI_LINE_T *m) {
        std::vector<std::string> out;
        for (; m != nullptr; m = m->next)
            out.push_back(m->string);
        return out;
    }
    // A record chain of rows whose containers are the given rows.
    MOK_DATA_RECORD_T *chain(std::vector<Row> &rows) {
        MOK_DATA_RECORD_T *head = nullptr;
        MOK_DATA_RECORD_T **at = &head;
        for (Row &r : rows) {
            mok_get_new_data_record(aux, nullptr, at);
            (*at)->container = &r;
            at = &(*at)->next;
        }
        return head;
    }
};

TEST_F(Common, ConstructorsFillTheDescriptor) {
    MOTC_COMMON_KEYWORD_T *c = make(motc_common_alloc_string, "NAME", offsetof(Row, name), "dflt");
    EXPECT_STREQ(c->gen_keyword.keyword, "NAME");
    EXPECT_EQ(c->gen_keyword.struct_offset, offsetof(Row, name));
    EXPECT_TRUE(c->gen_keyword.read_fn == mok_read_string && c->gen_keyword.write_fn == mok_write_string);
    EXPECT_TRUE(c->get_string_fn == motc_get_string_string && c->copy_fn == motc_copy_string);
    EXPECT_TRUE(c->type_keyword_ref == nullptr && c->applic_keyword_ref == nullptr);
    EXPECT_EQ(c->aux, aux);
    Row row{};
    ASSERT_EQ(
        c->gen_keyword.init_fn(aux, nullptr, &row, c->gen_keyword.struct_offset, c->gen_keyword.init_ref), 0);
    EXPECT_STREQ(row.name, "dflt");

    MOTC_COMMON_KEYWORD_T *d = make(motc_common_alloc_date, "DATE", offsetof(Row, when), mok_int_ref(77));
    EXPECT_TRUE(d->gen_keyword.read_fn == mok_read_u32bit && d->get_string_fn == motc_get_string_datetime);
    d->gen_keyword.init_fn(aux, nullptr, &row, d->gen_keyword.struct_offset, d->gen_keyword.init_ref);
    EXPECT_EQ(row.when, 77u);
    MOTC_COMMON_KEYWORD_T *u = make(motc_common_alloc_user_id, "OWN", offsetof(Row, owner), mok_int_ref(-1));
    EXPECT_TRUE(u->gen_keyword.read_fn == mok_read_integer && u->compare_fn == motc_compare_user_id);
}

// Each kind pairs its file type with its text operations; a kind wired to a neighbour's operations
// would read, write or show its values wrongly.
TEST_F(Common, EachKindUsesItsFileTypeAndTextOperations) {
    struct Kind {
        int (*alloc)(MOX_AUX_T *, void *, MOTC_COMMON_KEYWORD_T **, const char *, size_t,
                     const void *) noexcept;
        MOK_GEN_KEYWORD_T file;
        motc_get_string_fn_t get;
        motc_update_string_fn_t update;
        motc_compare_fn_t compare;
        motc_copy_fn_t copy;
    };
#define FILE_OPS(t)                                                                                          \
    { nullptr, 0, mok_init_##t, nullptr, mok_read_##t, mok_write_##t, mok_free_##t }
#define TEXT_OPS(t) motc_get_string_##t, motc_update_string_##t, motc_compare_##t, motc_copy_##t
    const Kind kinds[] = {
        {motc_common_alloc_string, FILE_OPS(string), TEXT_OPS(string)},
        {motc_common_alloc_multi_line, FILE_OPS(multi_line), TEXT_OPS(multi_line)},
        {motc_common_alloc_integer, FILE_OPS(integer), TEXT_OPS(integer)},
        {motc_common_alloc_boolean, FILE_OPS(boolean), TEXT_OPS(integer)},
        {motc_common_alloc_u32bit, FILE_OPS(u32bit), TEXT_OPS(u32bit)},
        {motc_common_alloc_date, FILE_OPS(u32bit), TEXT_OPS(datetime)},
        {motc_common_alloc_user_id, FILE_OPS(integer), TEXT_OPS(user_id)},
        {motc_common_alloc_null, FILE_OPS(null), TEXT_OPS(null)},
    };
#undef FILE_OPS
#undef TEXT_OPS
    int n = 0;
    for (const Kind &k : kinds) {
        MOTC_COMMON_KEYWORD_T *c = make(k.alloc, "K", offsetof(Row, id), mok_int_ref(3));
        ASSERT_NE(c, nullptr);
        EXPECT_TRUE(c->gen_keyword.init_fn == k.file.init_fn && c->gen_keyword.read_fn == k.file.read_fn &&
                    c->gen_keyword.write_fn == k.file.write_fn && c->gen_keyword.free_fn == k.file.free_fn)
            << "kind " << n;
        EXPECT_TRUE(c->get_string_fn == k.get && c->update_string_fn == k.update &&
                    c->compare_fn == k.compare && c->copy_fn == k.copy)
            << "kind " << n;
        EXPECT_EQ(c->gen_keyword.init_ref, mok_int_ref(3)) << "kind " << n;
        n++;
    }
}

TEST_F(Common, DisplayTexts) {
    Row row{};
    const char *text = nullptr;
    MOTC_COMMON_KEYWORD_T *d = make(motc_common_alloc_date, "DATE", offsetof(Row, when));
    ASSERT_EQ(d->get_string_fn(d, &row, &text), 0);
    EXPECT_STREQ(text, ""); // a date of 0 is no date

    row.when = 1000000000u;
    ASSERT_EQ(d->get_string_fn(d, &row, &text), 0);
    char expect[100];
    time_t t = 1000000000;
    struct tm tmv;
    localtime_r(&t, &tmv);
    strftime(expect, sizeof(expect), "%d %b %Y %H:%M", &tmv);
    EXPECT_STREQ(text, expect);

    MOTC_COMMON_KEYWORD_T *i = make(motc_common_alloc_integer, "ID", offsetof(Row, id));
    row.id = -17;
    ASSERT_EQ(i->get_string_fn(i, &row, &text), 0);
    EXPECT_STREQ(text, "-17");
    MOTC_COMMON_KEYWORD_T *u = make(motc_common_alloc_u32bit, "WHEN", offsetof(Row, when));
    row.when = 4294967295u;
    ASSERT_EQ(u->get_string_fn(u, &row, &text), 0);
    EXPECT_STREQ(text, "4294967295");

    MOTC_COMMON_KEYWORD_T *m = make(motc_common_alloc_multi_line, "TXT", offsetof(Row, text));
    ASSERT_EQ(m->get_string_fn(m, &row, &text), 0);
    EXPECT_STREQ(text, "");
    mok_add_multi_line(aux, nullptr, "one", &row.text);
    mok_add_multi_line(aux, nullptr, "", &row.text);
    mok_add_multi_line(aux, nullptr, "three", &row.text);
    ASSERT_EQ(m->get_string_fn(m, &row, &text), 0);
    EXPECT_STREQ(text, "one\n\nthree\n");

    MOTC_COMMON_KEYWORD_T *n = make(motc_common_alloc_null, "OLD", 0);
    ASSERT_EQ(n->get_string_fn(n, &row, &text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(n->update_string_fn(n, nullptr, &row, "x"), 0);
    EXPECT_EQ(n->copy_fn(n, nullptr, &row, &row), 0);
}

TEST_F(Common, UserIdShowsTheFullNameFromTheAccessService) {
    static std::map<int, std::string> names = {{1, "Initial Admin"}, {4, "Dana Roe"}};
    Row row{};
    row.owner = 4;
    const char *text = nullptr;
    MOTC_COMMON_KEYWORD_T *u = make(motc_common_alloc_user_id, "OWN", offsetof(Row, owner));
    ASSERT_EQ(u->get_string_fn(u, &row, &text), 0);
    EXPECT_STREQ(text, "4"); // no access service in this process

    motc_user_full_name_fn = [](MOX_AUX_T *, int user_id, const char **result) noexcept {
        auto it = names.find(user_id);
        *result = it != names.end() ? it->second.c_str() : "";
        return 0;
    };
    ASSERT_EQ(u->get_string_fn(u, &row, &text), 0);
    EXPECT_STREQ(text, "Dana Roe");
    motc_user_full_name_fn = nullptr;

    // Ordered by number, not by name.
    Row other{};
    other.owner = 1;
    EXPECT_EQ(u->compare_fn(u, &row, &other, FALSE), 1);
    int ret = 0;
    std::string out = mot_test::capture_stderr([&] { ret = u->update_string_fn(u, nullptr, &row, "Dana"); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("motc_update_string_user_id not implemented\n"));
    MOTC_COMMON_KEYWORD_T *d = make(motc_common_alloc_date, "DATE", offsetof(Row, when));
    out = mot_test::capture_stderr([&] { ret = d->update_string_fn(d, nullptr, &row, "1 Jan 2000"); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("motc_update_string_datetime not implemented\n"));
}

TEST_F(Common, UpdateFromText) {
    Row row{};
    MOTC_COMMON_KEYWORD_T *s = make(motc_common_alloc_string, "NAME", offsetof(Row, name));
    ASSERT_EQ(s->update_string_fn(s, nullptr, &row, "first"), 0);
    EXPECT_STREQ(row.name, "first");
    // Setting a value from its own display text must not read freed memory.
    const char *shown = nullptr;
    s->get_string_fn(s, &row, &shown);
    ASSERT_EQ(s->update_string_fn(s, nullptr, &row, shown), 0);
    EXPECT_STREQ(row.name, "first");

    MOTC_COMMON_KEYWORD_T *m = make(motc_common_alloc_multi_line, "TXT", offsetof(Row, text));
    const char input[] = "a\n\nb\n\n";
    ASSERT_EQ(m->update_string_fn(m, nullptr, &row, input), 0);
    EXPECT_EQ(lines_of(row.text), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_STREQ(input, "a\n\nb\n\n"); // the caller's text is left as it was
    ASSERT_EQ(m->update_string_fn(m, nullptr, &row, "\n\n\n"), 0);
    EXPECT_TRUE(row.text == nullptr);
    ASSERT_EQ(m->update_string_fn(m, nullptr, &row, "x\r\ny"), 0);
    EXPECT_EQ(lines_of(row.text), (std::vector<std::string>{"x\r", "y"}));
    std::string ok = std::string(1023, 'q');
    ASSERT_EQ(m->update_string_fn(m, nullptr, &row, ok.c_str()), 0);
    std::string too_long = "kept\n" + std::string(1024, 'q') + "\nlost";
    int ret = 0;
    std::string out =
        mot_test::capture_stderr([&] { ret = m->update_string_fn(m, nullptr, &row, too_long.c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("Line too long for multi line input\n"));
    EXPECT_EQ(lines_of(row.text), std::vector<std::string>{"kept"});

    MOTC_COMMON_KEYWORD_T *i = make(motc_common_alloc_boolean, "FLAG", offsetof(Row, id));
    ASSERT_EQ(i->update_string_fn(i, nullptr, &row, "12x"), 0);
    EXPECT_EQ(row.id, 12);
    ASSERT_EQ(i->update_string_fn(i, nullptr, &row, "none"), 0);
    EXPECT_EQ(row.id, 0);
    MOTC_COMMON_KEYWORD_T *u = make(motc_common_alloc_u32bit, "WHEN", offsetof(Row, when));
    ASSERT_EQ(u->update_string_fn(u, nullptr, &row, "3000000000"), 0);
    EXPECT_EQ(row.when, 3000000000u);
}

TEST_F(Common, Ordering) {
    Row a{}, b{};
    MOTC_COMMON_KEYWORD_T *s = make(motc_common_alloc_string, "NAME", offsetof(Row, name));
    a.name = const_cast<char *>("abc");
    b.name = const_cast<char *>("ABD");
    EXPECT_EQ(s->compare_fn(s, &a, &b, FALSE), 1);
    EXPECT_EQ(s->compare_fn(s, &a, &b, TRUE), -1);
    EXPECT_EQ(s->compare_fn(s, &b, &a, TRUE), 1);
    EXPECT_EQ(motc_compare_string_nocase("Hello", "hELLO"), 0);
    // Only A to Z fold: bytes above 127 keep their order.
    EXPECT_EQ(motc_compare_string_nocase("\xc4", "\xe4"), -1);
    EXPECT_EQ(motc_compare_string_nocase("[", "a"), -1); // '[' lies between 'Z' and 'a'
    EXPECT_EQ(motc_compare_string_basic("a", "ab"), -1);

    MOTC_COMMON_KEYWORD_T *m = make(motc_common_alloc_multi_line, "TXT", offsetof(Row, text));
    mok_add_multi_line(aux, nullptr, "a", &a.text);
    mok_add_multi_line(aux, nullptr, "b", &a.text);
    mok_add_multi_line(aux, nullptr, "A", &b.text);
    EXPECT_EQ(m->compare_fn(m, &a, &b, TRUE), 1); // case counts whatever nocase says
    b.text->string = const_cast<char *>("a");
    EXPECT_EQ(m->compare_fn(m, &a, &b, FALSE), 1); // lines a, b follow the single line a
    EXPECT_EQ(m->compare_fn(m, &b, &a, FALSE), -1);
    EXPECT_EQ(m->compare_fn(m, &a, &a, FALSE), 0);

    MOTC_COMMON_KEYWORD_T *i = make(motc_common_alloc_integer, "ID", offsetof(Row, id));
    a.id = -3;
    b.id = 2;
    EXPECT_EQ(i->compare_fn(i, &a, &b, FALSE), -1);
    MOTC_COMMON_KEYWORD_T *u = make(motc_common_alloc_u32bit, "WHEN", offsetof(Row, when));
    a.when = 4000000000u;
    b.when = 1u;
    EXPECT_EQ(u->compare_fn(u, &a, &b, FALSE), 1); // unsigned: no wrap to negative
    MOTC_COMMON_KEYWORD_T *d = make(motc_common_alloc_date, "DATE", offsetof(Row, when));
    EXPECT_EQ(d->compare_fn(d, &b, &a, FALSE), -1);

    MOTC_COMMON_KEYWORD_T *l = make(motc_common_alloc_integer, "SYS", offsetof(Row, sys));
    a.sys = ids({1, 5});
    b.sys = ids({1, 5, 0});
    EXPECT_EQ(motc_compare_idlist(l, &a, &b, FALSE), -1);
    b.sys = ids({1, -5});
    EXPECT_EQ(motc_compare_idlist(l, &a, &b, FALSE), 1);
    b.sys = ids({1, 5});
    EXPECT_EQ(motc_compare_idlist(l, &a, &b, FALSE), 0);

    MOIL_ACCESSLIST_T acc_a{ids({9}), nullptr, FALSE};
    MOIL_ACCESSLIST_T acc_b{ids({1}), ids({3}), TRUE};
    a.acc = &acc_a;
    b.acc = &acc_b;
    MOTC_COMMON_KEYWORD_T *acc = make(motc_common_alloc_integer, "ACC", offsetof(Row, acc));
    EXPECT_EQ(motc_compare_accesslist(acc, &a, &b, FALSE), -1); // use_parent decides first
    acc_a.use_parent = TRUE;
    EXPECT_EQ(motc_compare_accesslist(acc, &a, &b, FALSE), 1); // then the users
    acc_a.user = ids({1});
    EXPECT_EQ(motc_compare_accesslist(acc, &a, &b, FALSE), -1); // then the groups

    MOTC_COMMON_KEYWORD_T *n = make(motc_common_alloc_null, "OLD", 0);
    int ret = 0;
    std::string out = mot_test::capture_stderr([&] { ret = n->compare_fn(n, &a, &b, FALSE); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("This motc_compare_null fn should not be called\n"));
}

TEST_F(Common, Copying) {
    Row src{}, dst{};
    MOTC_COMMON_KEYWORD_T *s = make(motc_common_alloc_string, "NAME", offsetof(Row, name));
    s->update_string_fn(s, nullptr, &src, "from");
    s->update_string_fn(s, nullptr, &dst, "old");
    ASSERT_EQ(s->copy_fn(s, nullptr, &dst, &src), 0);
    EXPECT_STREQ(dst.name, "from");
    EXPECT_NE(dst.name, src.name); // a copy, not a shared text
    ASSERT_EQ(s->copy_fn(s, nullptr, &dst, &dst), 0);
    EXPECT_STREQ(dst.name, "from");

    MOTC_COMMON_KEYWORD_T *m = make(motc_common_alloc_multi_line, "TXT", offsetof(Row, text));
    mok_add_multi_line(aux, nullptr, "l1", &src.text);
    mok_add_multi_line(aux, nullptr, "l2", &src.text);
    mok_add_multi_line(aux, nullptr, "gone", &dst.text);
    ASSERT_EQ(m->copy_fn(m, nullptr, &dst, &src), 0);
    EXPECT_EQ(lines_of(dst.text), (std::vector<std::string>{"l1", "l2"}));
    EXPECT_NE(dst.text, src.text);
    ASSERT_EQ(m->copy_fn(m, nullptr, &dst, &dst), 0); // onto itself: nothing is lost
    EXPECT_EQ(lines_of(dst.text), (std::vector<std::string>{"l1", "l2"}));

    MOTC_COMMON_KEYWORD_T *l = make(motc_common_alloc_integer, "SYS", offsetof(Row, sys));
    src.sys = ids({4, 8, 4});
    dst.sys = ids({1});
    ASSERT_EQ(motc_copy_idlist(l, nullptr, &dst, &src), 0);
    EXPECT_EQ(ids_of(dst.sys), (std::vector<int>{4, 8, 4}));
    EXPECT_NE(dst.sys, src.sys);
    ASSERT_EQ(motc_copy_idlist(l, nullptr, &dst, &dst), 0);
    EXPECT_EQ(ids_of(dst.sys), (std::vector<int>{4, 8, 4}));

    MOIL_ACCESSLIST_T acc{ids({1, 2}), ids({7}), FALSE};
    src.acc = &acc;
    dst.acc = nullptr;
    MOTC_COMMON_KEYWORD_T *a = make(motc_common_alloc_integer, "ACC", offsetof(Row, acc));
    ASSERT_EQ(motc_copy_accesslist(a, nullptr, &dst, &src), 0);
    ASSERT_NE(dst.acc, nullptr);
    EXPECT_EQ(ids_of(dst.acc->user), (std::vector<int>{1, 2}));
    EXPECT_EQ(ids_of(dst.acc->group), std::vector<int>{7});
    EXPECT_EQ(dst.acc->use_parent, FALSE);
    EXPECT_EQ(motc_compare_accesslist(a, &dst, &src, FALSE), 0);
    ASSERT_EQ(motc_copy_accesslist(a, nullptr, &dst, &dst), 0);
    EXPECT_EQ(motc_compare_accesslist(a, &dst, &src, FALSE), 0);

    MOTC_COMMON_KEYWORD_T *i = make(motc_common_alloc_u32bit, "WHEN", offsetof(Row, when));
    src.when = 123456u;
    ASSERT_EQ(i->copy_fn(i, nullptr, &dst, &src), 0);
    EXPECT_EQ(dst.when, 123456u);
}

TEST_F(Common, KeyLists) {
    MOTC_COMMON_KEYWORD_T *a = make(motc_common_alloc_string, "NAME", offsetof(Row, name));
    MOTC_COMMON_KEYWORD_T *b = make(motc_common_alloc_integer, "ID", offsetof(Row, id));
    MOTC_KEYLIST_T *la = nullptr, *lb = nullptr;
    ASSERT_EQ(motc_get_new_keylist_element(a, nullptr, &la), 0);
    ASSERT_EQ(motc_get_new_keylist_element(b, nullptr, &lb), 0);
    EXPECT_STREQ(la->keyword, "NAME");
    EXPECT_EQ(la->next, nullptr);
    la->next = lb;
    MOTC_COMMON_KEYWORD_T *found = nullptr;
    ASSERT_EQ(motc_find_keyword(aux, la, &found, "users", "ID"), 0);
    EXPECT_EQ(found, b);
    int ret = 0;
    std::string out =
        mot_test::capture_stderr([&] { ret = motc_find_keyword(aux, la, &found, "users", "id"); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out, HasSubstr("No keyword id exists in the motc_find_keyword for stype users\n"));
}

struct IdArray : Common {
    std::vector<Row> rows;
    MO_ID_ARRAY_T array{};
    void add(int id, const char *name, int del = 0, int new_flag = 0, std::initializer_list<int> sys = {}) {
        Row r{};
        r.id = id;
        r.name = const_cast<char *>(name);
        r.del = del;
        r.new_flag = new_flag;
        r.sys = ids(sys);
        rows.push_back(r);
    }
    void build() { ASSERT_EQ(motc_init_id_array(aux, &array, chain(rows), offsetof(Row, id), nullptr), 0); }
};

TEST_F(IdArray, IndexFollowsTheLargestIdAndMissingIdsAreNotDefined) {
    add(1, "one");
    add(5, "five", 1);
    add(2, "two");
    add(0, "zero");
    add(-4, "negative");
    build();
    EXPECT_EQ(array.max_id, 5);
    EXPECT_EQ(array.min_id, 1);
    for (int id : {3, 4, 0, 6, -1, -4}) {
        const char *name = nullptr;
        mo_boolean_t del = FALSE;
        EXPECT_EQ(
            motc_get_string_from_id_array(&array, id, offsetof(Row, name), &del, offsetof(Row, del), &name),
            0);
        EXPECT_STREQ(name, "Not-Defined") << id;
        EXPECT_EQ(del, TRUE) << id;
        int number = 7;
        EXPECT_EQ(motc_get_int_from_id_array(&array, id, offsetof(Row, id), &del, -1, &number), 0);
        EXPECT_EQ(number, 0);
        void *ref = &number;
        EXPECT_EQ(motc_get_void_from_id_array(&array, id, offsetof(Row, ref), &del, -1, &ref), 1);
        EXPECT_EQ(ref, nullptr);
        MOIL_IDLIST_T *list = ids({1});
        EXPECT_EQ(motc_get_id_list_from_id_array(&array, id, offsetof(Row, sys), &del, -1, &list), 0);
        EXPECT_EQ(list, nullptr);
        MOIL_ACCESSLIST_T stale{};
        MOIL_ACCESSLIST_T *acc = &stale;
        EXPECT_EQ(motc_get_access_list_from_id_array(&array, id, offsetof(Row, acc), &del, -1, &acc), 0);
        EXPECT_EQ(acc, nullptr);
        void *container = &number;
        EXPECT_EQ(motc_get_container_from_id_array(&array, id, &container), 1);
        EXPECT_EQ(container, nullptr);
    }
    const char *name = nullptr;
    mo_boolean_t del = TRUE;
    EXPECT_EQ(motc_get_string_from_id_array(&array, 2, offsetof(Row, name), &del, offsetof(Row, del), &name),
              0);
    EXPECT_STREQ(name, "two");
    EXPECT_EQ(del, FALSE);
    EXPECT_EQ(motc_get_string_from_id_array(&array, 5, offsetof(Row, name), &del, offsetof(Row, del), &name),
              0);
    EXPECT_EQ(del, TRUE);
    EXPECT_EQ(motc_get_string_from_id_array(&array, 5, offsetof(Row, name), &del, -1, &name), 0);
    EXPECT_EQ(del, FALSE); // no deleted flag in this list
    EXPECT_EQ(motc_get_string_from_id_array(&array, 5, offsetof(Row, name), nullptr, -1, &name), 0);
    EXPECT_STREQ(name, "five");
    void *ref = nullptr;
    EXPECT_EQ(motc_get_void_from_id_array(&array, 1, offsetof(Row, ref), nullptr, -1, &ref), 0);
}

TEST_F(IdArray, LaterDuplicateWinsAndEmptyListsIndexNothing) {
    add(3, "first");
    add(3, "second");
    build();
    const char *name = nullptr;
    motc_get_string_from_id_array(&array, 3, offsetof(Row, name), nullptr, -1, &name);
    EXPECT_STREQ(name, "second");

    MO_ID_ARRAY_T none{};
    ASSERT_EQ(motc_init_id_array(aux, &none, nullptr, offsetof(Row, id), nullptr), 0);
    EXPECT_EQ(none.max_id, 0);
    void *c = nullptr;
    EXPECT_EQ(motc_get_container_from_id_array(&none, 1, &c), 1);
    EXPECT_EQ(motc_get_container_from_id_array(nullptr, 1, &c), 1);
}

TEST_F(IdArray, AHugeIdIsRefusedInsteadOfClaimingGigabytes) {
    add(1, "one");
    add(2000000000, "damaged");
    int ret = 0;
    std::string out = mot_test::capture_stderr(
        [&] { ret = motc_init_id_array(aux, &array, chain(rows), offsetof(Row, id), nullptr); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(out,
                HasSubstr("Id 2000000000 in the list is larger than the largest id allowed (16777216)\n"));
    EXPECT_EQ(array.array, nullptr);
}

TEST_F(IdArray, LookupByNamePrefersLiveCommittedRecords) {
    add(2, "alice", 1);  // deleted
    add(4, "bob", 0, 1); // still being created
    add(7, "alice");     // live
    add(9, "carol", 1);  // deleted only
    build();
    int id = 0;
    mo_boolean_t del = TRUE;
    ASSERT_EQ(motc_find_id_from_name(&array, "alice", offsetof(Row, name), &del, offsetof(Row, del),
                                     offsetof(Row, new_flag), &id),
              0);
    EXPECT_EQ(id, 7);
    EXPECT_EQ(del, FALSE);
    ASSERT_EQ(motc_find_id_from_name(&array, "carol", offsetof(Row, name), &del, offsetof(Row, del),
                                     offsetof(Row, new_flag), &id),
              0);
    EXPECT_EQ(id, 9);
    EXPECT_EQ(del, TRUE);
    EXPECT_EQ(motc_find_id_from_name(&array, "bob", offsetof(Row, name), &del, offsetof(Row, del),
                                     offsetof(Row, new_flag), &id),
              1);
    EXPECT_EQ(motc_find_id_from_name(&array, "Alice", offsetof(Row, name), &del, offsetof(Row, del),
                                     offsetof(Row, new_flag), &id),
              1);
    // A caller that does not ask for the deleted flag still gets the live record.
    ASSERT_EQ(motc_find_id_from_name(&array, "alice", offsetof(Row, name), nullptr, offsetof(Row, del),
                                     offsetof(Row, new_flag), &id),
              0);
    EXPECT_EQ(id, 7);
    // A list without a deleted flag: the first match in id order wins.
    ASSERT_EQ(
        motc_find_id_from_name(&array, "alice", offsetof(Row, name), &del, -1, offsetof(Row, new_flag), &id),
        0);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(del, FALSE);
}

TEST_F(IdArray, LookupByNumberAndBySystemIdPair) {
    add(1, "a", 0, 0, {5});       // a single element is no pair
    add(2, "b", 1, 0, {5, 3, 9}); // deleted
    add(3, "c", 0, 0, {5, 3});
    add(6, "d", 0, 0, {});
    build();
    int id = 0;
    mo_boolean_t del = FALSE;
    ASSERT_EQ(motc_find_id_from_sys_id_list(&array, 5, 3, offsetof(Row, sys), &del, offsetof(Row, del), &id),
              0);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(del, TRUE);
    EXPECT_EQ(motc_find_id_from_sys_id_list(&array, 5, 0, offsetof(Row, sys), &del, -1, &id), 1);
    EXPECT_EQ(motc_find_id_from_sys_id_list(&array, 3, 5, offsetof(Row, sys), &del, -1, &id), 1);

    rows[2].del = 1; // the number field here is the id itself: the lowest id holding it wins
    ASSERT_EQ(motc_find_id_from_int(&array, 3, offsetof(Row, id), &del, offsetof(Row, del), &id), 0);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(del, TRUE);
    EXPECT_EQ(motc_find_id_from_int(&array, 4, offsetof(Row, id), &del, offsetof(Row, del), &id), 1);
}

} // namespace
