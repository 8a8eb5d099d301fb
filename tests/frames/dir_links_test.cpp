// The directory types' links and drawing: link builders with hostile parts, stored places that may or
// may not become links, the tab rows (visibility, the selected tab, slices, escaped labels), the left
// column's buttons, the lookup of a tab with its two refusals, and the default link that skips the
// tabs a user may not see.
#include "apps/moa_access_cmn.h"
#include "web/modi_dir.h"
#include "web/web_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Seen {
    int asked = 0;
};
Seen seen;

int yes(MOX_AUX_T *, void *, int, int, int, mo_boolean_t *ok) noexcept {
    seen.asked++;
    *ok = TRUE;
    return 0;
}

int no(MOX_AUX_T *, void *, int, int, int, mo_boolean_t *ok) noexcept {
    seen.asked++;
    *ok = FALSE;
    return 0;
}

int broken(MOX_AUX_T *aux, void *, int, int, int, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    aux->error->report(aux->error, "Tab record unreadable\n");
    return 1;
}

// Each tab leads to "<name>-link".
int link_of(MOX_AUX_T *, MODI_DIR_T *dir, char *link) noexcept {
    snprintf(link, MO_STRING_LEN, "main?%s-link", dir->dir_name);
    return 0;
}

struct DirLinks : mow_test::WebFixture {
    MOA_ACCESS_T access{};
    std::string err;

    void SetUp() override {
        WebFixture::SetUp();
        seen = Seen{};
        access.current_user_id = 3;
        aux->access = &access;
        aux->web->dir_type = "docs";
    }
    void TearDown() override {
        aux->access = nullptr;
        WebFixture::TearDown();
    }
    void add(const char *name, const char *label, int top, modi_dir_access_fn_t access_fn) {
        ASSERT_EQ(modi_dir_register(&aux->web->dir_list, aux, aux->mem->session_pool_ref, name, label, top,
                                    access_fn, link_of, nullptr),
                  0);
    }
    template <class F> int run(F fn) {
        int ret = 1;
        err = mot_test::capture_stderr([&] { ret = fn(); });
        return ret;
    }
};

TEST_F(DirLinks, LinksAreBuiltOfEscapedParts) {
    mo_string_t link;
    ASSERT_EQ(modi_dir_build_link(aux, "content", "content", "R", 0, 7, "litem_docs", nullptr, link), 0);
    EXPECT_STREQ(link, "main?content&content&R&docs&0&7&0&litem_docs");
    ASSERT_EQ(modi_dir_build_link(aux, "content", "blank", "N", 1, 0, "about", "view", link), 0);
    EXPECT_STREQ(link, "main?content&blank&N&docs&1&0&0&about&view");

    // Nothing that came from outside can end the attribute, add an argument or start a script.
    aux->web->dir_type = "do\"cs";
    ASSERT_EQ(modi_dir_build_link(aux, "content", "content", "A", 0, 3, "a&b<c>", "x' y", link), 0);
    EXPECT_STREQ(link, "main?content&content&A&do%22cs&0&3&0&a%26b%3cc%3e&x%27%20y");

    ASSERT_EQ(modi_dir_build_top_link(aux, "setup", 0, 2, "passwd_profile", "list", link), 0);
    EXPECT_STREQ(link, "main?top&frames&A&setup&0&2&0&passwd_profile&list");
    ASSERT_EQ(modi_dir_build_top_link(aux, "d\"", 0, 0, "s#", "c\n", link), 0);
    EXPECT_STREQ(link, "main?top&frames&A&d%22&0&0&0&s%23&c%0a");

    // A link that does not fit is refused with a report, never cut.
    std::string long_stype(1100, 's');
    EXPECT_EQ(
        run([&] { return modi_dir_build_top_link(aux, "docs", 0, 1, long_stype.c_str(), "list", link); }), 1);
    EXPECT_STREQ(link, "");
    EXPECT_NE(err.find("is longer than 1023 characters"), std::string::npos) << err;
}

TEST_F(DirLinks, StoredPlacesBecomeFramesetLinksOnlyWhenSafe) {
    mo_string_t link;
    ASSERT_EQ(modi_dir_build_top_link_string(aux, "&docs&0&7&0&litem_docs&list", link), 0);
    EXPECT_STREQ(link, "main?top&frames&A&docs&0&7&0&litem_docs&list") << "exactly one & after the trail";
    ASSERT_EQ(modi_dir_build_top_link_string(aux, "&setup&0&0&0&tab_gen&view&x%22y", link), 0);
    EXPECT_STREQ(link, "main?top&frames&A&setup&0&0&0&tab_gen&view&x%22y");

    for (const char *bad : {"docs&0&7", "&&0&7", "&do/cs&0", "&docs&0&\"onmouseover=x", "&docs&<script>",
                            "&docs&a b", "&docs&a\nb", "&docs&it's", "&docs&a\\b", "", "&"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(modi_dir_last_text_ok(bad));
        EXPECT_EQ(run([&] { return modi_dir_build_top_link_string(aux, bad, link); }), 1);
        EXPECT_STREQ(link, "");
    }
    EXPECT_FALSE(modi_dir_last_text_ok(nullptr));
    std::string huge = "&docs&" + std::string(1100, '0');
    EXPECT_TRUE(modi_dir_last_text_ok(huge.c_str()));
    EXPECT_EQ(run([&] { return modi_dir_build_top_link_string(aux, huge.c_str(), link); }), 1);
}

TEST_F(DirLinks, TabRowsShowTheVisibleTabsOfTheirRow) {
    add("docs", "Docs", 0, yes);
    add("tables", "Tables", 0, no);
    add("mgroups", "Mail <Groups> & \"more\"", 0, yes);
    add("desk", "My Info", 1, yes);

    ASSERT_EQ(modi_dir_hotlink_row(aux, aux->web->dir_list, &out, 0), 0);
    EXPECT_EQ(
        page,
        "<TABLE CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0><TR>\n"
        "<TD><IMG SRC=\"images/backgrounds/slice_L.gif\" WIDTH=13 HEIGHT=24 BORDER=0 ALT=\"\"></TD>\n"
        "  <TD BACKGROUND=\"images/backgrounds/slice.gif\" BGCOLOR=#9CB2A5 CLASS=NavTabSel>&nbsp;<A "
        "TARGET=\"_top\" HREF=\"main?docs-link\">Docs</A></TD>\n"
        "<TD><IMG SRC=\"images/backgrounds/slice_LR.gif\" WIDTH=13 HEIGHT=24 BORDER=0 ALT=\"\"></TD>\n"
        "  <TD BACKGROUND=\"images/backgrounds/slice.gif\" BGCOLOR=#9CB2A5 CLASS=NavTab>&nbsp;<A "
        "TARGET=\"_top\" HREF=\"main?mgroups-link\">Mail &lt;Groups&gt; &amp; &quot;more&quot;</A></TD>\n"
        "<TD><IMG SRC=\"images/backgrounds/slice_R.gif\" WIDTH=13 HEIGHT=24 BORDER=0 ALT=\"\"></TD>\n"
        "</TR></TABLE>\n");
    EXPECT_EQ(seen.asked, 3) << "only the lower row's tabs are asked";

    // The upper row starts with a spacer; the selected tab follows the request.
    page.clear();
    aux->web->dir_type = "desk";
    ASSERT_EQ(modi_dir_hotlink_row(aux, aux->web->dir_list, &out, 1), 0);
    EXPECT_EQ(
        page.find("<TD><IMG SRC=\"images/bullets/blank.gif\" WIDTH=30 HEIGHT=1 BORDER=0 ALT=\"\"></TD>\n"),
        page.find("<TR>\n") + 5);
    EXPECT_NE(page.find("CLASS=NavTabSel>&nbsp;<A TARGET=\"_top\" HREF=\"main?desk-link\">My Info</A>"),
              std::string::npos);

    // No visible tab: an empty row; a failing test fails the row.
    page.clear();
    add("setup", "Setup", 1, broken);
    EXPECT_EQ(run([&] { return modi_dir_hotlink_row(aux, aux->web->dir_list, &out, 1); }), 1);
    EXPECT_NE(err.find("Tab record unreadable"), std::string::npos) << err;
}

TEST_F(DirLinks, AnEmptyRowIsStillATable) {
    add("setup", "Setup", 1, no);
    ASSERT_EQ(modi_dir_hotlink_row(aux, aux->web->dir_list, &out, 1), 0);
    EXPECT_EQ(
        page,
        "<TABLE CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0><TR>\n<TD>&nbsp;</TD>\n</TR></TABLE>\n");
}

TEST_F(DirLinks, FindingATabChecksItsNameAndTheUser) {
    add("docs", "Docs", 0, yes);
    add("setup", "Setup", 1, no);
    MODI_DIR_T *dir = nullptr;
    ASSERT_EQ(modi_find_dir_type(aux->web->dir_list, aux, "docs", &dir), 0);
    ASSERT_NE(dir, nullptr);
    EXPECT_STREQ(dir->user_name, "Docs");

    EXPECT_EQ(run([&] { return modi_find_dir_type(aux->web->dir_list, aux, "setup", &dir); }), 1);
    EXPECT_EQ(dir, nullptr);
    EXPECT_NE(err.find("Sorry you don't have access to the dir_type setup\n"), std::string::npos) << err;
    EXPECT_EQ(run([&] { return modi_find_dir_type(aux->web->dir_list, aux, "junk", &dir); }), 1);
    EXPECT_NE(err.find("Display Command junk not valid\n"), std::string::npos) << err;
    EXPECT_EQ(modi_dir_lookup(aux->web->dir_list, "Docs"), nullptr) << "names are exact";
}

TEST_F(DirLinks, TheDefaultLinkIsTheFirstTabTheUserMaySee) {
    add("about", "About", 1, yes);
    add("docs", "Docs", 0, no);
    add("tables", "Tables", 0, no);
    add("mgroups", "Mail Groups", 0, yes);
    add("desk", "My Info", 1, yes);
    mo_string_t link;
    ASSERT_EQ(modi_dir_get_default_link(aux, link), 0);
    EXPECT_STREQ(link, "main?mgroups-link") << "never the About pop-up, never a refused tab";

    aux->web->dir_list = nullptr;
    add("docs", "Docs", 0, no);
    EXPECT_EQ(run([&] { return modi_dir_get_default_link(aux, link); }), 1);
    EXPECT_NE(err.find("No default page is set up for an empty address\n"), std::string::npos) << err;
}

TEST_F(DirLinks, ButtonsCarryTheirFrameAndEscapeTheirLabel) {
    ASSERT_EQ(modi_dir_insert_button_link(aux, &out, 2, 0, "system_file_types/icons/tab.gif",
                                          "General <Setup>",
                                          "main?content&content&R&setup&0&0&0&tab_gen&view", "content"),
              0);
    EXPECT_EQ(page,
              "<TABLE WIDTH=100% BORDER=0 CELLPADDING=1 CELLSPACING=0 SUMMARY=\"\"><TR>\n"
              "<TD BGCOLOR=#9CB2A5 CLASS=DirButton>\n"
              "&nbsp;&nbsp;"
              "<A HREF=\"main?content&content&R&setup&0&0&0&tab_gen&view\" TARGET=\"content\">"
              "<IMG  BORDER=0 SRC=\"images/system_file_types/icons/tab.gif\" ALT=\"General &lt;Setup&gt;\">"
              "</A>\n"
              "&nbsp; <A HREF=\"main?content&content&R&setup&0&0&0&tab_gen&view\" TARGET=\"content\">"
              "General &lt;Setup&gt;</A><BR>\n"
              "</TD></TR></TABLE>\n");
    page.clear();
    ASSERT_EQ(modi_dir_insert_button_link(aux, &out, 0, 0, "nav/help2.gif", "Issue", "https://x.example/?a=1",
                                          "_blank\"><script>"),
              0);
    EXPECT_NE(page.find("HREF=\"https://x.example/?a=1\" TARGET=\"_blank&quot;&gt;&lt;script&gt;\""),
              std::string::npos)
        << page;
}

} // namespace
