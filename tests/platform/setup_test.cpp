// The setup record: paths, defaults, loading the installation's and the site's gen.setup, and the
// placeholder replacement used on the maker's links.
#include "platform/most_setup_cmn.h"
#include "platform/mof_file_cmn.h"
#include "entry/moim_interm.h"
#include "storage/mok_key.h"
#include "platform/moux_unix_file.h"
#include "entry/mox_aux.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

using testing::HasSubstr;

const char *const kDefaultWs = "https://www.example.com/";
const char *const kSupport = "https://www.example.com/support?OP=det&P=$server_port&V=$prog_version";

struct SetupTest : ::testing::Test {
    mot_test::Bundle b;
    MOIM_INTERM_T *interm = nullptr;
    MOX_AUX_T *aux = nullptr;
    MOST_SETUP_T *setup = nullptr;
    mot_test::TempDir home;
    mot_test::TempDir site;

    void SetUp() override {
        ASSERT_EQ(moim_interm_construct(&interm, b.low), 0);
        ASSERT_EQ(mof_file_construct(&interm->file, b.low, &moux_file_slots), 0);
        ASSERT_EQ(most_setup_construct(&interm->setup, b.low), 0);
        setup = interm->setup;
        ASSERT_EQ(mox_aux_construct(&aux, interm), 0);
        b.error.aux_ref = aux;
        mkdir((home.path + "/conf").c_str(), 0755);
        mkdir((site.path + "/user_conf").c_str(), 0755);
    }
    void write(const std::string &path, const std::string &text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    void install_default_setup(const std::string &extra = "") {
        std::ifstream in(std::string(MORVALE_SOURCE_DIR) + "/conf/gen.setup", std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(text.empty());
        write(home.path + "/conf/gen.setup", text + extra);
    }
    int load(std::string *err = nullptr) {
        int ret = -1;
        std::string out = mot_test::capture_stderr([&] {
            setup->init_paths(setup, home.path.c_str());
            ret = setup->load_setup_file(setup, aux);
        });
        if (err != nullptr)
            *err = out;
        return ret;
    }
};

TEST_F(SetupTest, ConstructionGivesDefaultsAndTwentyTwoDescriptors) {
    EXPECT_STREQ(setup->prog_version, "3.3-linux");
    ASSERT_EQ(setup->count, 22);
    EXPECT_STREQ(setup->keywords[0].keyword, "COMPANY_NAME");
    EXPECT_STREQ(setup->keywords[4].keyword, "SERVER_PORT");
    EXPECT_STREQ(setup->keywords[18].keyword, "COOKIE_CHECK");
    EXPECT_STREQ(setup->keywords[19].keyword, "INDEX_START_TIME");
    EXPECT_EQ(setup->keywords[19].struct_offset, offsetof(MOST_SETUP_T, index_start_time));
    EXPECT_STREQ(setup->keywords[20].keyword, "ADMIN_PASSWD");
    EXPECT_STREQ(setup->keywords[21].keyword, "SESSION_HOURS");
    EXPECT_STREQ(setup->admin_passwd, "") << "no password: the initial administrator is locked";
    EXPECT_EQ(setup->session_hours, 12);
    EXPECT_STREQ(setup->company_name, "Quennet Systems");
    EXPECT_STREQ(setup->prod_name, "Morvale");
    EXPECT_STREQ(setup->server_port, "");
    EXPECT_STREQ(setup->submit_issue_url, kSupport);
    EXPECT_STREQ(setup->submit_feature_url, kSupport);
    EXPECT_STREQ(setup->user_tab_type, "INTERNAL");
    EXPECT_STREQ(setup->cookie_check, "FALSE");
    EXPECT_EQ(setup->index_start_time, 3);
    EXPECT_STREQ(setup->home_dir, "");
    EXPECT_STREQ(setup->daemon_socket_dir, "");
    EXPECT_STREQ(setup->httpd_image_loc, "");
    EXPECT_STREQ(setup->smtp_server, "");
    EXPECT_EQ(setup->mail_format_option, 0);
    EXPECT_EQ(setup->parse_url, &most_setup_parse_url);
}

TEST_F(SetupTest, PathsUnderHomeAndEmptyUserDirectory) {
    ASSERT_EQ(setup->init_paths(setup, "/opt/mv"), 0);
    EXPECT_STREQ(setup->home_dir, "/opt/mv");
    EXPECT_STREQ(setup->batch_dir, "/opt/mv/install/batch");
    EXPECT_STREQ(setup->script_dir, "/opt/mv/install/bin");
    EXPECT_STREQ(setup->exec_dir, "/opt/mv/install/bin/linux");
    EXPECT_STREQ(setup->css_dir, "/opt/mv/install/css");
    EXPECT_STREQ(setup->misc_dir, "/opt/mv/install/misc");
    EXPECT_STREQ(setup->image_dir, "/opt/mv/install/httpd_images");
    EXPECT_STREQ(setup->conf_dir, "/opt/mv/conf");
    EXPECT_STREQ(setup->search_dir, "/opt/mv/generated/search");
    EXPECT_STREQ(setup->log_dir, "/opt/mv/generated/logs/mo_log");
    EXPECT_STREQ(setup->temp_dir, "/opt/mv/generated/temp");
    EXPECT_STREQ(setup->daemon_pid_file, "/opt/mv/generated/logs/daemon.pid");
    EXPECT_STREQ(setup->setup_file, "/opt/mv/conf/gen.setup");
    EXPECT_STREQ(setup->daemon_socket_dir, "/tmp");
    EXPECT_STREQ(setup->lib_dir, "/lib");
    EXPECT_STREQ(setup->user_setup_file, "/user_conf/gen.setup");
    EXPECT_STREQ(setup->user_image_dir, "");

    ASSERT_EQ(most_setup_init_user_path(setup, "/srv/site"), 0);
    EXPECT_STREQ(setup->lib_dir, "/srv/site/lib");
    EXPECT_STREQ(setup->user_default_dir, "/srv/site/user_defaults");
    EXPECT_STREQ(setup->user_image_dir, "/srv/site");
    EXPECT_STREQ(setup->user_setup_file, "/srv/site/user_conf/gen.setup");
    EXPECT_STREQ(setup->user_html_dir, "/srv/site/user_html");
}

TEST_F(SetupTest, PathThatDoesNotFitIsReportedNotCut) {
    std::string deep = "/" + std::string(280, 'd');
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = setup->init_paths(setup, deep.c_str()); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Path too long: " + deep));
    EXPECT_STREQ(setup->image_dir, "") << "no cut path is left behind";
}

TEST_F(SetupTest, ReplaceCountsEveryPlaceholder) {
    char text[64] = "a$x-b$x-c";
    EXPECT_EQ(most_setup_replace(text, sizeof(text), "$x", "12"), 2);
    EXPECT_STREQ(text, "a12-b12-c");
    EXPECT_EQ(most_setup_replace(text, sizeof(text), "$y", "zz"), 0);
    EXPECT_STREQ(text, "a12-b12-c");
    char shrink[64] = "$long$long!";
    EXPECT_EQ(most_setup_replace(shrink, sizeof(shrink), "$long", ""), 2);
    EXPECT_STREQ(shrink, "!");
}

TEST_F(SetupTest, ReplaceEndsWhenTheValueHoldsThePlaceholder) {
    char text[64] = "p=$port;q=$port";
    EXPECT_EQ(most_setup_replace(text, sizeof(text), "$port", "[$port]"), 2);
    EXPECT_STREQ(text, "p=[$port];q=[$port]");
    EXPECT_EQ(most_setup_replace(text, sizeof(text), "", "x"), 0) << "an empty placeholder replaces nothing";
}

TEST_F(SetupTest, ReplaceStaysWithinTheBuffer) {
    char buf[24];
    memset(buf, 'G', sizeof(buf));
    snprintf(buf, 16, "%s", "A$v$v$vZ");
    most_setup_replace(buf, 16, "$v", "12345");
    EXPECT_EQ(strlen(buf), 15u);
    EXPECT_STREQ(buf, "A12345123451234");
    EXPECT_EQ(buf[16], 'G') << "nothing written past the capacity";
}

TEST_F(SetupTest, ParseUrlReplacesPortAndVersion) {
    ASSERT_EQ(aux->mem->restore_string(aux->mem, nullptr, &setup->server_port, "8123"), 0);
    EXPECT_STREQ(setup->parse_url(setup, "http://h:$server_port/x?p=$server_port"), "http://h:8123/x?p=8123");
    EXPECT_STREQ(setup->parse_url(setup, kSupport),
                 "https://www.example.com/support?OP=det&P=8123&V=3.3-linux");
    std::string longest(3000, 'u');
    EXPECT_EQ(strlen(setup->parse_url(setup, longest.c_str())), 1023u);
}

TEST_F(SetupTest, ShippedFileLoadsEveryDefault) {
    install_default_setup();
    std::string err;
    ASSERT_EQ(load(&err), 0) << err;
    EXPECT_EQ(err, "") << "the shipped file has no unknown keyword";
    EXPECT_STREQ(setup->company_name, "Quennet Systems");
    EXPECT_STREQ(setup->prod_name, "Morvale");
    EXPECT_STREQ(setup->server_machine, "");
    EXPECT_STREQ(setup->server_full_path, "");
    EXPECT_STREQ(setup->server_port, "");
    EXPECT_STREQ(setup->user_path, "");
    EXPECT_STREQ(setup->company_ws_text, "www.example.com");
    EXPECT_STREQ(setup->submit_issue_text, "Report an Issue");
    EXPECT_STREQ(setup->submit_issue_url, kSupport);
    EXPECT_STREQ(setup->submit_feature_text, "Request a Feature");
    EXPECT_STREQ(setup->submit_feature_url, kSupport);
    EXPECT_STREQ(setup->login_page_pre_include, "");
    EXPECT_STREQ(setup->login_page_post_include, "");
    EXPECT_STREQ(setup->user_tab_text, "");
    EXPECT_STREQ(setup->user_tab_type, "INTERNAL");
    EXPECT_STREQ(setup->user_tab_dir_url, "images/bullets/blank.gif");
    EXPECT_STREQ(setup->user_tab_content_url, "images/bullets/blank.gif");
    EXPECT_STREQ(setup->cookie_check, "FALSE");
    EXPECT_EQ(setup->index_start_time, 3);
    EXPECT_STREQ(setup->admin_passwd, "");
    EXPECT_EQ(setup->session_hours, 12);
    // The plain maker's address gains the support query.
    EXPECT_EQ(std::string(setup->company_ws_url),
              std::string(kDefaultWs) + "?OP=det&P=$server_port&V=$prog_version");
    EXPECT_STREQ(setup->httpd_image_loc, "images");
    EXPECT_STREQ(setup->httpd_script_main_loc, "main");
    EXPECT_STREQ(setup->lib_dir, "/lib");
}

TEST_F(SetupTest, UserFileOverridesKeyByKey) {
    write(home.path + "/conf/gen.setup", "# site\nCOMPANY_NAME Acme Ltd\nPROD_NAME Base\nSERVER_PORT 8311\n"
                                         "USER_PATH " +
                                             site.path + "\nINDEX_START_TIME -1\n");
    write(site.path + "/user_conf/gen.setup",
          "  PROD_NAME Site Docs\r\nADMIN_PASSWD $y$j9T$salt$hash\nSESSION_HOURS 2\n");
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(setup->prod_name, "Site Docs");
    EXPECT_STREQ(setup->admin_passwd, "$y$j9T$salt$hash");
    EXPECT_EQ(setup->session_hours, 2);
    EXPECT_STREQ(setup->company_name, "Acme Ltd");
    EXPECT_STREQ(setup->server_port, "8311");
    EXPECT_EQ(setup->index_start_time, -1);
    EXPECT_STREQ(setup->user_tab_type, "INTERNAL") << "unset keys keep their defaults";
    EXPECT_EQ(std::string(setup->lib_dir), site.path + "/lib");
    EXPECT_EQ(std::string(setup->user_setup_file), site.path + "/user_conf/gen.setup");
}

TEST_F(SetupTest, ReloadStartsAgainFromTheDefaults) {
    write(home.path + "/conf/gen.setup", "COMPANY_NAME First\n");
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(setup->company_name, "First");
    write(home.path + "/conf/gen.setup", "PROD_NAME Second\n");
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(setup->company_name, "Quennet Systems");
    EXPECT_STREQ(setup->prod_name, "Second");
}

TEST_F(SetupTest, OtherMakerAddressIsLeftAsItIs) {
    write(home.path + "/conf/gen.setup", "COMPANY_WS_URL http://intranet.example.org/\n");
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(setup->company_ws_url, "http://intranet.example.org/");
}

TEST_F(SetupTest, MissingInstallationFileFailsTheLoad) {
    std::string err;
    EXPECT_EQ(load(&err), 1);
    EXPECT_THAT(err, HasSubstr(home.path + "/conf/gen.setup"));
    EXPECT_STREQ(setup->httpd_image_loc, "images") << "the locations are set whatever the status";
    EXPECT_STREQ(setup->httpd_script_main_loc, "main");
    EXPECT_STREQ(setup->prod_name, "Morvale");
}

TEST_F(SetupTest, MissingUserFileIsNoError) {
    write(home.path + "/conf/gen.setup", "USER_PATH " + site.path + "/nowhere\n");
    std::string err;
    ASSERT_EQ(load(&err), 0) << err;
    EXPECT_EQ(err, "");
}

TEST_F(SetupTest, UnknownKeywordIsAWarningOnly) {
    write(home.path + "/conf/gen.setup", "BUY_ONLINE_URL http://x\nPROD_NAME Kept\n");
    std::string err;
    ASSERT_EQ(load(&err), 0);
    EXPECT_THAT(err, HasSubstr("Can't interpret the keyword BUY_ONLINE_URL"));
    EXPECT_STREQ(setup->prod_name, "Kept");
}

} // namespace
