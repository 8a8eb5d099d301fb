// Query-string decoding, the URL, JavaScript and file-name escapes, protected text, alerts, form
// fields and buttons, keywords and the browser check.
#include "web_fixture.h"

#include <cstdlib>

namespace {

struct WebOutput : mow_test::WebFixture {};

std::vector<std::string> args_of(MOT_TOP_ARG_LIST_T *list) {
    std::vector<std::string> out;
    for (; list != nullptr; list = list->next)
        out.emplace_back(list->val);
    return out;
}

TEST_F(WebOutput, QueryStringsBecomeArguments) {
    MOT_TOP_ARG_LIST_T *list = nullptr;
    ASSERT_EQ(mow_top_process_args(aux, "%41+b&&x%2By%26z&%zz%4&%", &list), 0);
    EXPECT_EQ(args_of(list), (std::vector<std::string>{"A b", "", "x+y&z", "%zz%4", "%"}));

    // Appends after what the list already holds; a trailing "&" adds nothing.
    ASSERT_EQ(mow_top_process_args(aux, "&last&", &list), 0);
    EXPECT_EQ(args_of(list).size(), 7u);
    EXPECT_EQ(args_of(list)[5], "");
    EXPECT_EQ(args_of(list)[6], "last");

    std::string limit(MOW_ARG_LEN_MAX, 'w');
    MOT_TOP_ARG_LIST_T *fits = nullptr;
    ASSERT_EQ(mow_top_process_args(aux, ("a&" + limit).c_str(), &fits), 0);
    EXPECT_EQ(args_of(fits)[1], limit);

    MOT_TOP_ARG_LIST_T *none = nullptr;
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(mow_top_process_args(aux, ("a&" + limit + "w").c_str(), &none), 1);
        EXPECT_EQ(mow_top_process_args(aux, "", &none), 1);
    });
    EXPECT_NE(err.find("An argument is too long. Greater than 1024\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Unknown error in processing web arguments\n"), std::string::npos) << err;
}

TEST(WebText, DecodingNeverReadsPastTheText) {
    // The text ends right after "%" and after "%4": both stay as they are.
    for (const char *input : {"%", "ab%", "ab%4", "%g1", "%%41"}) {
        std::string copy = input;
        mow_web_util_unescape_url(copy.data());
        EXPECT_EQ(std::string(copy.c_str()), std::string(input) == "%%41" ? "%A" : input) << input;
    }
    std::string mixed = "%7e%7E%e9+";
    mow_web_util_unescape_url(mixed.data());
    EXPECT_EQ(std::string(mixed.c_str()), "~~\xe9+");
    mow_web_util_plustospace(mixed.data());
    EXPECT_EQ(std::string(mixed.c_str()), "~~\xe9 ");

    char word[4];
    EXPECT_EQ(mow_web_util_getword(word, sizeof(word), "abcdef&rest", '&'), 7u);
    EXPECT_STREQ(word, "abc");
    EXPECT_EQ(mow_web_util_getword(word, sizeof(word), "xy", '&'), 2u);
    EXPECT_STREQ(word, "xy");
    EXPECT_EQ(mow_web_util_ind("hello", 'l'), 2);
    EXPECT_EQ(mow_web_util_ind("hello", 'z'), -1);
    EXPECT_EQ(mow_web_util_string_ok("a b", "/ "), 0);
    EXPECT_EQ(mow_web_util_string_ok("ab", "/ "), 1);
}

TEST(WebText, EscapesKeepPlainTextAndMakeHostileTextHarmless) {
    EXPECT_STREQ(mow_web_util_escape_url("content&A/b.c-d_e"), "content%26A/b.c-d_e");
    EXPECT_STREQ(mow_web_util_escape_url("% ?<>#\"|^~`\\+'"), "%25%20%3f%3c%3e%23%22%7c%5e%7e%60%5c%2b%27");
    EXPECT_STREQ(mow_web_util_escape_url("a\nb\x7f"), "a%0ab%7f");
    EXPECT_STREQ(mow_web_util_escape_url(""), "");

    EXPECT_STREQ(mow_web_util_escape_javascript("plain text"), "plain text");
    EXPECT_STREQ(mow_web_util_escape_javascript("it's \"x\"\\\n</script>&"),
                 "it\\x27s \\x22x\\x22\\\\\\n\\x3c/script\\x3e\\x26");

    EXPECT_STREQ(mow_web_util_convert_filename("report v2.doc"), "report_v2.doc");
    EXPECT_STREQ(mow_web_util_convert_filename("../a:b*c|d\te"), ".._a_b_c_d_e");
    EXPECT_STREQ(mow_web_util_convert_filename(".."), "__");
    EXPECT_STREQ(mow_web_util_convert_filename("."), "_");
    EXPECT_STREQ(mow_web_util_convert_filename(""), "_");

    EXPECT_STREQ(mow_web_util_expand_space("/ :"), "/ space :");

    EXPECT_TRUE(mow_web_util_word_ok("content"));
    EXPECT_TRUE(mow_web_util_word_ok("my_tab-2"));
    for (const char *bad : {"", "a b", "x\"", "a/b", "a&b", "\xc3\xa9", "a.b"})
        EXPECT_FALSE(mow_web_util_word_ok(bad)) << bad;
}

TEST_F(WebOutput, ProtectedTextAlertsAndFormFields) {
    mow_insert_protected_string_display(aux, &out, "");
    page += "|";
    mow_insert_protected_string_display(aux, &out, "<a href=\"x\">&</a>\nnext");
    page += "|";
    mow_insert_protected_string_form(aux, &out, "a<b\nc");
    EXPECT_EQ(page, "&nbsp;|&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;<BR>next|a&lt;b\nc");

    page.clear();
    mow_web_insert_warning(aux, &out, "");
    EXPECT_EQ(page, "");
    mow_web_insert_warning(aux, &out, "Can't save\r\nfile C:\\tmp\\</script><script>x()");
    EXPECT_EQ(page, "\n<script language=\"javascript\" type=\"text/javascript\"> \n \n    alert('Warning:\\n"
                    "Can\\'t save\\nfile C:\\\\tmp\\\\\\x3c/script>\\x3cscript>x()'); \n</script> \n");

    page.clear();
    mow_form_text_field_call_insert(aux, &out, "U", "me\" onfocus=\"x", 10, 80, "onChange=\"go();\"");
    mow_form_passwd_field_call_insert(aux, &out, "P", "", 10, 80, "");
    EXPECT_EQ(page, "<INPUT TYPE=TEXT  NAME=\"U\" VALUE=\"me&quot; onfocus=&quot;x\" SIZE=10 MAXLENGTH=80 "
                    "onChange=\"go();\">\n"
                    "<INPUT TYPE=PASSWORD  NAME=\"P\" VALUE=\"\" SIZE=10 MAXLENGTH=80 >\n");

    page.clear();
    mow_web_insert_graphic(aux, &out, "icons/warning.gif");
    mow_web_insert_graphic_button(aux, &out, "nav/back.gif", "Go \"back\"", "javascript: history.back();");
    mow_web_insert_graphic_button(aux, &out, "nav/x.gif", "X", nullptr);
    EXPECT_EQ(page, "<IMG  BORDER=0 SRC=\"images/icons/warning.gif\" ALT=\"\">\n"
                    "<A HREF=\"javascript: history.back();\"><IMG  BORDER=0 SRC=\"images/nav/back.gif\" "
                    "ALT=\"Go &quot;back&quot;\"></A>\n"
                    "<IMG  BORDER=0 SRC=\"images/nav/x.gif\" ALT=\"X\">");

    EXPECT_STREQ(mow_web_get_image_location(aux, "/nav/go.gif"), "SRC=\"images/nav/go.gif\"");
    EXPECT_STREQ(mow_form_button_call("Save"), "<INPUT TYPE=SUBMIT NAME=\"Save\" VALUE=\"Save\">\n");
    EXPECT_STREQ(mow_form_image_button_call(aux, "GO", "/nav/go.gif", "Find \"it\""),
                 "<INPUT TYPE=IMAGE SRC=\"images/nav/go.gif\" BORDER = 0 ALT =\"Find &quot;it&quot;\" "
                 "NAME=\"GO\" >\n");
}

TEST_F(WebOutput, PostedFieldsKeywordsAndBrowsers) {
    char n1[] = "SUBMIT", v1[] = "Login", n2[] = "U", v2[] = "anne";
    MOW_POST_RESULTS_T results[3] = {{n1, v1}, {n2, v2}, {nullptr, nullptr}};
    mo_boolean_t active = FALSE;
    mow_form_button_service(results, "SUBMIT", &active);
    EXPECT_TRUE(active);
    mow_form_button_service(results, "submit", &active);
    EXPECT_FALSE(active);
    EXPECT_EQ(mow_form_is_field(aux, results, "U"), 1);
    EXPECT_EQ(mow_form_is_field(aux, results, "P"), 0);
    const char *value = nullptr;
    EXPECT_EQ(mow_form_field_service(aux, results, "U", &value), 0);
    EXPECT_STREQ(value, "anne");
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(mow_form_field_service(aux, results, "P", &value), 1); });
    EXPECT_NE(err.find("P doesn't exist as a NAME in the form\n"), std::string::npos) << err;

    char *keyword = nullptr;
    ASSERT_EQ(mow_create_keyword(aux, nullptr, "MATCH", "Anne Marie \xc3\xa9z", &keyword), 0);
    EXPECT_STREQ(keyword, "MATCHANNE_MARIE_\xc3\xa9Z");

    setenv("HTTP_USER_AGENT", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", 1);
    mo_boolean_t ok = FALSE;
    aux->web->check_browser(aux->web, 3, &ok);
    EXPECT_TRUE(ok);
    aux->web->check_browser(aux->web, 2, &ok);
    EXPECT_TRUE(ok);
    aux->web->check_browser(aux->web, 1, &ok);
    EXPECT_FALSE(ok);
    aux->web->check_browser(aux->web, 7, &ok);
    EXPECT_FALSE(ok);
    unsetenv("HTTP_USER_AGENT");
    const char *agent = nullptr;
    mow_web_get_user_agent(aux->web, &agent);
    EXPECT_STREQ(agent, "not implemented yet");
}

} // namespace
