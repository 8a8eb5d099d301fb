// The test bundle with the web record, a session and a request, an output definition that
// collects the page in a string, and a temporary directory with a "Request-Always" list for the files
// a request leaves behind.
#pragma once

#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix.h"
#include "platform/moux_unix_error.h"
#include "storage/mot_top.h"
#include "web/mow_web.h"
#include "support/bundle.h"
#include "support/util.h"

#include <cstdarg>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mow_test {

inline std::vector<std::string> headers_sent; // content types asked for, in order

inline int collect_line(MOOU_OUT_DEF_T *out, const char *fmt, ...) noexcept MO_PRINTF(2, 3);
inline int collect_line(MOOU_OUT_DEF_T *out, const char *fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        vsnprintf(text.data(), text.size() + 1, fmt, ap);
    va_end(ap);
    static_cast<std::string *>(out->stream_ref)->append(text);
    return 0;
}

inline int collect_char(MOOU_OUT_DEF_T *out, int c) noexcept {
    static_cast<std::string *>(out->stream_ref)->push_back(static_cast<char>(c));
    return 0;
}

inline int record_content_type(MOW_WEB_T *, MOOU_OUT_DEF_T *, unsigned long, const char *type) noexcept {
    headers_sent.push_back(type);
    return 0;
}

struct WebFixture : ::testing::Test {
    mot_test::Bundle b;
    MOX_AUX_T *aux = b.aux;
    MOT_TOP_SESSION_T *session = nullptr;
    MOT_TOP_REQ_T *req = nullptr;
    MOCL_CLEANUP_T *always = b.always;
    MOOU_OUT_DEF_T out{};
    std::string page;
    mot_test::TempDir dir;

    void SetUp() override {
        headers_sent.clear();
        ASSERT_EQ(b.status, 0);
        ASSERT_EQ(mow_construct_web(&aux->web, aux->interm, record_content_type, mow_web_get_user_agent,
                                    mow_parse_multipart_form),
                  0);
        ASSERT_EQ(mot_top_construct_session(&session, aux), 0);
        ASSERT_EQ(mot_top_construct_req(&req, aux), 0);
        always->stop_print(always);
        snprintf(aux->setup->temp_dir, sizeof(aux->setup->temp_dir), "%s", dir.path.c_str());
        snprintf(aux->setup->httpd_script_main_loc, sizeof(aux->setup->httpd_script_main_loc), "main");
        snprintf(aux->setup->httpd_image_loc, sizeof(aux->setup->httpd_image_loc), "images");
        out.stream_ref = &page;
        out.line_fn = collect_line;
        out.char_fn = collect_char;
        aux->error->header_done = FALSE;
    }

    void TearDown() override { always->run(always); }
};

} // namespace mow_test
