// Fuzz target: any bytes as an installation's setup file, read as the program reads it at start-up
// (with the site's overrides file of the same bytes), then the values expanded into URLs.
#include "fuzz_common.h"
#include "platform/most_setup_cmn.h"

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string home = [] {
        std::string h = mo_fuzz::scratch("home");
        mkdir(h.c_str(), 0755);
        mkdir((h + "/conf").c_str(), 0755);
        mkdir((h + "/user_conf").c_str(), 0755);
        return h;
    }();
    mo_fuzz::write_bytes(home + "/conf/gen.setup", data, size);
    // The overrides file is read when USER_PATH names a directory with one; the fuzzer may name it.
    mo_fuzz::write_bytes(home + "/user_conf/gen.setup", data, size);
    mot_test::Bundle b(mo_fuzz::quiet_options(home));
    if (b.status != 0)
        return 0;
    MOST_SETUP_T *setup = b.aux->setup;
    if (setup->load_setup_file(setup, b.aux) != 0)
        return 0;
    for (const char *url : {setup->company_ws_url, setup->submit_issue_url, setup->submit_feature_url,
                            setup->user_tab_dir_url, setup->user_tab_content_url})
        if (url != nullptr)
            setup->parse_url(setup, url);
    return 0;
}
