// Cookie sets and form field checks.
#include "web_fixture.h"
#include "web/moch_check.h"
#include "web/moco_cookie.h"

namespace {

struct CookieCheck : mow_test::WebFixture {
    MOCO_COOKIE_T *cookie = nullptr;
    MOCH_CHECK_T *check = nullptr;
    void SetUp() override {
        WebFixture::SetUp();
        ASSERT_EQ(moco_cookie_construct(&cookie, nullptr, aux), 0);
        ASSERT_EQ(moch_check_construct(&check, nullptr, aux), 0);
    }

    std::vector<std::string> pairs() {
        std::vector<std::string> out;
        MOCO_VALUE_T *ref = nullptr;
        const char *key = nullptr;
        const char *value = nullptr;
        for (;;) {
            EXPECT_EQ(cookie->get_next(cookie, &ref, &key, &value), 0);
            if (ref == nullptr)
                break;
            out.push_back(std::string(key) + "=" + value);
        }
        return out;
    }
};

TEST_F(CookieCheck, HeaderTextsBecomePairs) {
    ASSERT_EQ(cookie->set_from_string(cookie, "a=1; b=2"), 0);
    EXPECT_EQ(pairs(), (std::vector<std::string>{"b=2", "a=1"})) << "newest first";

    ASSERT_EQ(cookie->set_from_string(cookie, ";;a=3;  k=v=w ;U=:;TEST=TEST;empty="), 0);
    EXPECT_EQ(pairs(), (std::vector<std::string>{"empty=", "TEST=TEST", "U=:", "k=v=w", "b=2", "a=3"}));
    const char *value = nullptr;
    cookie->get_cookie(cookie, "k", &value);
    EXPECT_STREQ(value, "v=w");
    cookie->get_cookie(cookie, "K", &value);
    EXPECT_EQ(value, nullptr) << "keys are case-sensitive";

    // Another application's token without "=" is skipped with a warning; the rest still counts.
    MOCO_COOKIE_T *other = nullptr;
    ASSERT_EQ(moco_cookie_construct(&other, nullptr, aux), 0);
    const char *header = "x; U=dXNlcjpwdw==; flag";
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(other->set_from_string(other, header), 0); });
    EXPECT_EQ(std::string(header), "x; U=dXNlcjpwdw==; flag") << "the header text is left alone";
    other->get_cookie(other, "U", &value);
    EXPECT_STREQ(value, "dXNlcjpwdw==");
    EXPECT_NE(err.find("Warning: "), std::string::npos);
    EXPECT_NE(err.find("Can't find = in cookie string\n"), std::string::npos) << err;
    EXPECT_EQ(other->set_from_string(other, nullptr), 0);

    // A long header: every pair kept, the last of a repeated key wins, one warning for all the junk.
    MOCO_COOKIE_T *big = nullptr;
    ASSERT_EQ(moco_cookie_construct(&big, nullptr, aux), 0);
    std::string long_header;
    for (int i = 0; i < 100000; i++)
        long_header +=
            "k" + std::to_string(i) + "=" + std::to_string(i) + "; junk" + std::to_string(i) + "; ";
    long_header += "k7=last";
    err = mot_test::capture_stderr([&] { EXPECT_EQ(big->set_from_string(big, long_header.c_str()), 0); });
    size_t n = 0;
    for (MOCO_VALUE_T *pair = big->cookie_list; pair != nullptr; pair = pair->next)
        n++;
    EXPECT_EQ(n, 100000u);
    big->get_cookie(big, "k7", &value);
    EXPECT_STREQ(value, "last");
    big->get_cookie(big, "k99999", &value);
    EXPECT_STREQ(value, "99999");
    EXPECT_EQ(err.find("Can't find = in cookie string"), err.rfind("Can't find = in cookie string")) << err;

    // Setting replaces in place; the outgoing header text carries the attributes.
    ASSERT_EQ(cookie->set_cookie(cookie, "U", "bmV3"), 0);
    cookie->get_cookie(cookie, "U", &value);
    EXPECT_STREQ(value, "bmV3");
    EXPECT_EQ(pairs().size(), 6u);
    char *text = nullptr;
    ASSERT_EQ(moco_cookie_header_text(cookie, nullptr, "U", "bmV3", &text), 0);
    EXPECT_STREQ(text, "U=bmV3; Path=/; HttpOnly; SameSite=Lax");
    err = mot_test::capture_stderr([&] {
        EXPECT_EQ(moco_cookie_header_text(cookie, nullptr, "U", "a\r\nSet-Cookie: x=1", &text), 1);
        EXPECT_EQ(moco_cookie_header_text(cookie, nullptr, "U", "a;b", &text), 1);
        EXPECT_EQ(moco_cookie_header_text(cookie, nullptr, "a=b", "c", &text), 1);
    });
    EXPECT_EQ(text, nullptr);
    EXPECT_NE(err.find("can't carry"), std::string::npos) << err;
}

TEST_F(CookieCheck, FieldChecksAndTheirCells) {
    const char *previous = nullptr;
    const char *warning = nullptr;
    check->get_previous(check, "U", &previous);
    EXPECT_STREQ(previous, "");
    check->get_check(check, "U", &previous, &warning);
    EXPECT_EQ(previous, nullptr);
    EXPECT_EQ(warning, nullptr);
    check->insert_check_cell(check, &out, "U");
    EXPECT_EQ(page, "<TD>");

    ASSERT_EQ(check->set_previous(check, "U", "anne"), 0);
    ASSERT_EQ(check->set_warning(check, "U", "Can't find user (%s) in passwd list", "anne"), 0);
    check->get_check(check, "U", &previous, &warning);
    EXPECT_STREQ(previous, "anne") << "a warning keeps the recorded value";
    EXPECT_STREQ(warning, "Can't find user (anne) in passwd list");
    page.clear();
    check->insert_check_cell(check, &out, "U");
    EXPECT_EQ(page, "<TD BGCOLOR=\"#FFBF8F\">Can't find user (anne) in passwd list<BR>"
                    "<!-- \nError: Can't find user (anne) in passwd list\n --> \n");

    // A warning that repeats hostile input can neither open markup nor close the comment.
    check->set_warning(check, "U", "Can't find user (%s) in passwd list", "--><script>alert(1)</script>");
    page.clear();
    check->insert_check_cell(check, &out, "U");
    EXPECT_EQ(page.find("<script"), std::string::npos) << page;
    EXPECT_EQ(page.find("-->", page.find("<!--")), page.rfind("\n --> \n") + 2) << page;

    // Long warnings are cut to the text size, never written past it.
    check->set_warning(check, "P", "%s", std::string(5000, 'w').c_str());
    check->get_check(check, "P", &previous, &warning);
    EXPECT_EQ(strlen(warning), size_t(MO_STRING_LEN - 1));
    EXPECT_EQ(previous, nullptr);
    check->set_warning(check, "P", "%s", "");
    page.clear();
    check->insert_check_cell(check, &out, "P");
    EXPECT_EQ(page, "<TD>") << "an empty warning gives a plain cell";
    EXPECT_STREQ(check->check_list->key, "P") << "new fields go in front";
}

} // namespace
