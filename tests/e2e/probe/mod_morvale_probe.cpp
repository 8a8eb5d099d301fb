// A companion of mod_morvale for the end-to-end tests only. Loaded after it into a test server, it
// takes the login page's slot and answers with what the module read from the request: the posted
// fields, the upload files (their bytes, read while the request still owns them), the cookies, the
// client's address and browser. A few query words make it report errors or send a download, so the
// tests see the module's error page and header handling through HTTP.
#include "entry/mox_aux.h"
#include "module/momod_module.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "storage/mot_top.h"
#include "web/moco_cookie.h"
#include "web/mow_web.h"

#include <httpd.h>
#include <http_config.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool read_whole(const char *path, std::string *bytes) {
    FILE *fp = fopen(path, "rb");
    if (fp == nullptr)
        return false;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), fp)) > 0)
        bytes->append(buf, n);
    fclose(fp);
    return true;
}

int probe_page(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out, MOT_TOP_REQ_T *req, MOCH_CHECK_T *,
               const char *args) noexcept {
    std::string query = args != nullptr ? args : "";
    MOE_ERROR_T *error = aux->error;
    if (query == "errors") {
        error->report(error, "First probe error <%s>\n", "b&c");
        error->ignore = TRUE;
        error->report(error, "Probe error for the log only\n");
        error->ignore = FALSE;
        error->report(error, "Second probe error\n");
        return 1;
    }
    if (query.rfind("download=", 0) == 0) {
        std::string path = std::string(aux->setup->home_dir) + "/install/misc/" + query.substr(9);
        long size = 0;
        int ret = aux->file->get_size(aux->file, path.c_str(), &size);
        if (ret == 0)
            ret = aux->web->send_content_type(aux->web, out, static_cast<unsigned long>(size),
                                              "application/octet-stream");
        if (ret == 0)
            ret = out->file_fn(out, path.c_str());
        // Too late for a page: this goes to the log only.
        if (ret == 0)
            error->report(error, "Probe error after the download\n");
        return ret;
    }
    if (query == "logout")
        req->out_cookie->set_cookie(req->out_cookie, "U", ":");
    std::string page;
    MOCO_VALUE_T *at = nullptr;
    const char *key = nullptr;
    const char *value = nullptr;
    for (;;) {
        req->in_cookie->get_next(req->in_cookie, &at, &key, &value);
        if (at == nullptr)
            break;
        page += std::string("cookie ") + key + "=" + value + "\n";
    }
    std::string temp = std::string(aux->setup->temp_dir) + "/";
    for (MOW_POST_RESULTS_T *entry = req->results_ref; entry != nullptr && entry->name != nullptr; entry++) {
        std::string bytes;
        if (strncmp(entry->val, temp.c_str(), temp.size()) == 0 && read_whole(entry->val, &bytes))
            page += std::string("upload ") + entry->name + " " + entry->val + " " +
                    std::to_string(bytes.size()) + " " + hex(bytes) + "\n";
        else
            page += std::string("field ") + entry->name + " " + hex(entry->val) + "\n";
    }
    const char *agent = "";
    const char *machine = "";
    aux->web->get_user_agent(aux->web, &agent);
    aux->util->user_machine_name(aux->util, 0, &machine);
    page += std::string("agent ") + agent + "\nmachine " + machine + "\n";
    int ret = aux->web->send_content_type(aux->web, out, 0, "text/plain");
    if (ret == 0)
        ret = out->line_fn(out, "%s", page.c_str());
    return ret;
}

// Nobody logs in, so every request reaches the probe in the login page's slot.
void probe_child_init(apr_pool_t *, server_rec *) {
    momod_state.login_check = momod_login_check_none;
    momod_state.login_form = probe_page;
}

void probe_register_hooks(apr_pool_t *) {
    ap_hook_child_init(probe_child_init, nullptr, nullptr, APR_HOOK_LAST);
}

} // namespace

// clang-format off
extern "C" { module AP_MODULE_DECLARE_DATA morvale_probe_module = {
    STANDARD20_MODULE_STUFF, nullptr, nullptr, nullptr, nullptr, nullptr, probe_register_hooks, 0,
}; }
// clang-format on
