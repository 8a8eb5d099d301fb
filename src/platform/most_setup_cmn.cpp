// The setup record: where every part of the installation lives, derived from the home directory and
// the site's user directory, and the site's settings from "gen.setup" (the installation's, then the
// user directory's overriding one).
#include "platform/most_setup_cmn.h"
#include "platform/moe_error_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mou_util_cmn.h"
#include "platform/mof_file_cmn.h"
#include "storage/mok_key.h"
#include "entry/mox_aux.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

// The maker's addresses shown in the navigation bar, the login header and the support page.
#define MOST_DEFAULT_WS_URL "https://www.example.com/"
#define MOST_DEFAULT_WS_TEXT "www.example.com"
#define MOST_SUPPORT_QUERY "?OP=det&P=$server_port&V=$prog_version"
#define MOST_DEFAULT_SUPPORT_URL "https://www.example.com/support" MOST_SUPPORT_QUERY

namespace {

struct SetupKey {
    const char *keyword;  // keyword in gen.setup
    size_t offset;        // field of the setup record
    const char *text_def; // default of a text value; NULL marks an integer
    int int_def;          // default of an integer value
};

const SetupKey setup_keys[] = {
    {"COMPANY_NAME", offsetof(MOST_SETUP_T, company_name), "Quennet Systems"},
    {"PROD_NAME", offsetof(MOST_SETUP_T, prod_name), "Morvale"},
    {"SERVER_MACHINE", offsetof(MOST_SETUP_T, server_machine), ""},
    {"SERVER_FULL_PATH", offsetof(MOST_SETUP_T, server_full_path), ""},
    {"SERVER_PORT", offsetof(MOST_SETUP_T, server_port), ""},
    {"USER_PATH", offsetof(MOST_SETUP_T, user_path), ""},
    {"COMPANY_WS_URL", offsetof(MOST_SETUP_T, company_ws_url), MOST_DEFAULT_WS_URL},
    {"COMPANY_WS_TEXT", offsetof(MOST_SETUP_T, company_ws_text), MOST_DEFAULT_WS_TEXT},
    {"SUBMIT_ISSUE_TEXT", offsetof(MOST_SETUP_T, submit_issue_text), "Report an Issue"},
    {"SUBMIT_ISSUE_URL", offsetof(MOST_SETUP_T, submit_issue_url), MOST_DEFAULT_SUPPORT_URL},
    {"SUBMIT_FEATURE_TEXT", offsetof(MOST_SETUP_T, submit_feature_text), "Request a Feature"},
    {"SUBMIT_FEATURE_URL", offsetof(MOST_SETUP_T, submit_feature_url), MOST_DEFAULT_SUPPORT_URL},
    {"LOGIN_PAGE_PRE_INCLUDE", offsetof(MOST_SETUP_T, login_page_pre_include), ""},
    {"LOGIN_PAGE_POST_INCLUDE", offsetof(MOST_SETUP_T, login_page_post_include), ""},
    {"USER_TAB_TEXT", offsetof(MOST_SETUP_T, user_tab_text), ""},
    {"USER_TAB_TYPE", offsetof(MOST_SETUP_T, user_tab_type), "INTERNAL"},
    {"USER_TAB_DIR_URL", offsetof(MOST_SETUP_T, user_tab_dir_url), "images/bullets/blank.gif"},
    {"USER_TAB_CONTENT_URL", offsetof(MOST_SETUP_T, user_tab_content_url), "images/bullets/blank.gif"},
    {"COOKIE_CHECK", offsetof(MOST_SETUP_T, cookie_check), "FALSE"},
    {"INDEX_START_TIME", offsetof(MOST_SETUP_T, index_start_time), nullptr, 3},
    {"ADMIN_PASSWD", offsetof(MOST_SETUP_T, admin_passwd), ""},
    {"SESSION_HOURS", offsetof(MOST_SETUP_T, session_hours), nullptr, 12},
};
const int setup_key_count = static_cast<int>(sizeof(setup_keys) / sizeof(setup_keys[0]));

static_assert(sizeof(setup_keys) / sizeof(setup_keys[0]) <= MOST_MAX_KEYWORDS);

char *&text_field(MOST_SETUP_T *setup, size_t offset) {
    return *reinterpret_cast<char **>(reinterpret_cast<char *>(setup) + offset);
}

// Writes "<base><suffix>" into a path field; a path that does not fit is reported, never cut.
int make_path(MOST_SETUP_T *setup, char *field, const char *base, const char *suffix) noexcept {
    int n = snprintf(field, MO_FILENAME_LEN, "%s%s", base, suffix);
    if (n < 0 || n >= MO_FILENAME_LEN) {
        field[0] = '\0';
        MOE_ERROR_T *error = setup->low->error;
        error->report(error, "Path too long: %s%s\n", base, suffix);
        return 1;
    }
    return 0;
}

// Registers the descriptor of every setup-file value, in table order, with its default.
int register_keywords(MOST_SETUP_T *setup) noexcept {
    for (int i = 0; i < setup_key_count; i++) {
        const SetupKey &k = setup_keys[i];
        int ret;
        if (k.text_def != nullptr)
            ret = mok_load_keyword(&setup->keywords[i], k.keyword, k.offset, mok_init_string, k.text_def,
                                   mok_read_string, mok_write_string, mok_free_string);
        else
            ret = mok_load_keyword(&setup->keywords[i], k.keyword, k.offset, mok_init_integer,
                                   mok_int_ref(k.int_def), mok_read_integer, mok_write_integer,
                                   mok_free_integer);
        if (ret != 0)
            return ret;
        setup->count++;
    }
    return 0;
}

} // namespace

int most_setup_construct(MOST_SETUP_T **setup, MOL_LOW_T *low) noexcept {
    MOME_MEM_T *mem = low->mem;
    void *pool = mem->session_pool_ref;
    int ret = mome_new(mem, pool, setup);
    if (ret != 0)
        return ret;
    MOST_SETUP_T *s = *setup;
    s->low = low;
    ret = mome_new_array(mem, pool, &s->keywords, MOST_MAX_KEYWORDS);
    if (ret != 0)
        return ret;
    s->init_paths = most_setup_init_paths;
    s->load_setup_file = most_setup_load_setup_file;
    s->parse_url = most_setup_parse_url;
    // Paths, locations and mail settings are already empty: the record comes zero-filled.
    s->count = 0;
    s->mail_format_option = 0;
    snprintf(s->prog_version, sizeof(s->prog_version), "%s-%s", MOST_VERSION, MOST_PLATFORM);
    ret = register_keywords(s);
    if (ret != 0)
        return ret;
    // The values hold their defaults until the setup file is loaded.
    for (int i = 0; i < setup_key_count; i++) {
        const SetupKey &k = setup_keys[i];
        if (k.text_def == nullptr) {
            *reinterpret_cast<int *>(reinterpret_cast<char *>(s) + k.offset) = k.int_def;
            continue;
        }
        ret = mem->store_string(mem, pool, &text_field(s, k.offset), k.text_def);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int most_setup_init_paths(MOST_SETUP_T *setup, const char *home_dir) noexcept {
    if (home_dir == nullptr)
        home_dir = "";
    int ret = make_path(setup, setup->home_dir, home_dir, "");
    if (ret != 0)
        return ret;
    most_setup_init_user_path(setup, "");
    const char *h = setup->home_dir;
    std::string exec_suffix = std::string("/install/bin/") + MOST_PLATFORM;
    struct {
        char *field;
        const char *suffix;
    } const paths[] = {
        {setup->batch_dir, "/install/batch"},
        {setup->script_dir, "/install/bin"},
        {setup->exec_dir, exec_suffix.c_str()},
        {setup->css_dir, "/install/css"},
        {setup->misc_dir, "/install/misc"},
        {setup->image_dir, "/install/httpd_images"},
        {setup->conf_dir, "/conf"},
        {setup->search_dir, "/generated/search"},
        {setup->log_dir, "/generated/logs/mo_log"},
        {setup->temp_dir, "/generated/temp"},
        {setup->daemon_pid_file, "/generated/logs/daemon.pid"},
        {setup->setup_file, "/conf/gen.setup"},
    };
    for (const auto &p : paths) {
        ret = make_path(setup, p.field, h, p.suffix);
        if (ret != 0)
            return ret;
    }
    snprintf(setup->daemon_socket_dir, sizeof(setup->daemon_socket_dir), "/tmp");
    return 0;
}

int most_setup_init_user_path(MOST_SETUP_T *setup, const char *user_dir) noexcept {
    if (user_dir == nullptr)
        user_dir = "";
    struct {
        char *field;
        const char *suffix;
    } const paths[] = {
        {setup->lib_dir, "/lib"},
        {setup->user_default_dir, "/user_defaults"},
        {setup->user_image_dir, ""},
        {setup->user_setup_file, "/user_conf/gen.setup"},
        {setup->user_html_dir, "/user_html"},
    };
    for (const auto &p : paths) {
        int ret = make_path(setup, p.field, user_dir, p.suffix);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int most_setup_load_setup_file(MOST_SETUP_T *setup, MOX_AUX_T *aux) noexcept {
    void *pool = aux->mem->session_pool_ref;
    // Give back the values of an earlier load (or the constructor's defaults) before they are reset.
    for (int i = 0; i < setup->count; i++)
        setup->keywords[i].free_fn(aux, pool, setup, setup->keywords[i].struct_offset);
    int ret = mok_reset_keyword_container(aux, pool, setup->keywords, setup->count, setup);
    if (ret == 0)
        ret = mok_read_keyword_container(aux, pool, setup->setup_file, setup->keywords, setup->count, setup);
    int r = most_setup_init_user_path(setup, setup->user_path);
    if (ret == 0)
        ret = r;
    if (ret == 0 && aux->file->exists(aux->file, setup->user_setup_file))
        ret = mok_read_keyword_container(aux, pool, setup->user_setup_file, setup->keywords, setup->count,
                                         setup);
    snprintf(setup->httpd_image_loc, sizeof(setup->httpd_image_loc), "images");
    snprintf(setup->httpd_script_main_loc, sizeof(setup->httpd_script_main_loc), "main");
    // The maker's plain address leads to its support page, which wants to know port and version.
    if (setup->company_ws_url != nullptr && strcmp(setup->company_ws_url, MOST_DEFAULT_WS_URL) == 0) {
        r = aux->mem->restore_string(aux->mem, pool, &setup->company_ws_url,
                                     MOST_DEFAULT_WS_URL MOST_SUPPORT_QUERY);
        if (ret == 0)
            ret = r;
    }
    return ret;
}

const char *most_setup_parse_url(MOST_SETUP_T *setup, const char *text) noexcept {
    static mo_string_t url;
    mou_util_safe_strcpy(nullptr, url, text, sizeof(url));
    most_setup_replace(url, sizeof(url), "$server_port", setup->server_port ? setup->server_port : "");
    most_setup_replace(url, sizeof(url), "$prog_version", setup->prog_version);
    return url;
}

// Scanning goes on after each inserted value, so a value holding the placeholder is inserted once
// and the loop ends; the result is cut to the buffer.
int most_setup_replace(char *text, size_t capacity, const char *placeholder, const char *value) noexcept {
    if (text == nullptr || capacity == 0 || placeholder == nullptr || placeholder[0] == '\0')
        return 0;
    if (value == nullptr)
        value = "";
    size_t plen = strlen(placeholder);
    size_t vlen = strlen(value);
    int count = 0;
    size_t pos = 0;
    size_t len = strnlen(text, capacity - 1);
    text[len] = '\0';
    while (pos < len) {
        const char *found = strstr(text + pos, placeholder);
        if (found == nullptr)
            break;
        size_t at = static_cast<size_t>(found - text);
        size_t tail = len - at - plen; // characters after the placeholder
        size_t new_len = at + vlen + tail;
        if (new_len > capacity - 1)
            new_len = capacity - 1;
        // Move the tail first (it may overlap), then put the value in, both within the buffer.
        size_t value_room = new_len - at < vlen ? new_len - at : vlen;
        size_t tail_keep = new_len - at - value_room;
        memmove(text + at + value_room, text + at + plen, tail_keep);
        memcpy(text + at, value, value_room);
        text[new_len] = '\0';
        len = new_len;
        count++;
        pos = at + value_room;
    }
    return count;
}
