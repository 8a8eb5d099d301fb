// The setup record: the installation's directory layout derived from its home directory, the
// site's user directory, and the values of the setup file "gen.setup".
#pragma once
#include "mo_std.h"

struct MOK_GEN_KEYWORD_T;

#define MOST_MAX_KEYWORDS 50
#define MOST_PLATFORM "linux"
#define MOST_VERSION "3.3"
#define MOST_BUILD "180"

struct MOST_SETUP_T {
    MOL_LOW_T *low;                    // the low bundle
    mo_filename_t home_dir;            // installation home directory
    mo_filename_t lib_dir;             // data files of the applications
    mo_filename_t user_default_dir;    // per-user options, trails, subscriptions
    mo_filename_t batch_dir;           // install/batch
    mo_filename_t script_dir;          // install/bin
    mo_filename_t exec_dir;            // install/bin/<platform>
    mo_filename_t search_dir;          // generated/search
    mo_filename_t css_dir;             // install/css
    mo_filename_t misc_dir;            // install/misc
    mo_filename_t conf_dir;            // conf
    mo_filename_t log_dir;             // path of the log file
    mo_filename_t daemon_socket_dir;   // directory of the daemon's local socket
    mo_filename_t temp_dir;            // generated/temp
    mo_filename_t daemon_pid_file;     // generated/logs/daemon.pid
    mo_filename_t setup_file;          // conf/gen.setup
    mo_filename_t image_dir;           // install/httpd_images
    mo_filename_t user_image_dir;      // the user directory itself
    mo_filename_t user_setup_file;     // user_conf/gen.setup: the site's overrides
    mo_filename_t user_html_dir;       // user_html
    mo_string_t httpd_image_loc;       // URL path of the images
    mo_string_t httpd_script_main_loc; // URL path of the main script
    mo_string_t prog_version;          // version and platform joined by "-"
    MOK_GEN_KEYWORD_T *keywords;       // keyword descriptors of the setup file (room for 50)
    int count;                         // descriptors in use
    mo_string_t pop_server;            // mail settings, filled per request
    mo_string_t pop_account;
    mo_string_t pop_passwd;
    int mail_format_option;
    mo_string_t smtp_server;
    mo_string_t smtp_account;
    mo_string_t smtp_passwd;
    mo_string_t server_help_email;
    char *company_name; // setup-file values, pointers into the keyword store
    char *prod_name;
    char *server_machine;
    char *server_full_path;
    char *server_port;
    char *user_path;
    char *company_ws_url;
    char *company_ws_text;
    char *submit_issue_text;
    char *submit_issue_url;
    char *submit_feature_text;
    char *submit_feature_url;
    char *login_page_pre_include;
    char *login_page_post_include;
    char *user_tab_text;
    char *user_tab_type;
    char *user_tab_dir_url;
    char *user_tab_content_url;
    char *cookie_check;
    int index_start_time; // hour of the daily index run
    char *admin_passwd;   // crypt text imposed on the initial administrator; empty locks the account
    int session_hours;    // hours a login's session token lives

    int (*init_paths)(MOST_SETUP_T *setup, const char *home_dir) noexcept;
    int (*load_setup_file)(MOST_SETUP_T *setup, MOX_AUX_T *aux) noexcept;
    const char *(*parse_url)(MOST_SETUP_T *setup, const char *text) noexcept; // one static buffer
};

int most_setup_construct(MOST_SETUP_T **setup, MOL_LOW_T *low) noexcept;
int most_setup_init_paths(MOST_SETUP_T *setup, const char *home_dir) noexcept;
int most_setup_load_setup_file(MOST_SETUP_T *setup, MOX_AUX_T *aux) noexcept;
const char *most_setup_parse_url(MOST_SETUP_T *setup, const char *text) noexcept;
int most_setup_init_user_path(MOST_SETUP_T *setup, const char *user_dir) noexcept;
// Replaces every placeholder in text (a buffer of `capacity` bytes); returns the number replaced.
int most_setup_replace(char *text, size_t capacity, const char *placeholder, const char *value) noexcept;
