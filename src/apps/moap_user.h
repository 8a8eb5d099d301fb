// An example storage type, "user": a list of one string column kept in "examples/0", whose one web
// command "page" sends the browser to the site's own tab content (USER_TAB_CONTENT_URL).
#pragma once
#include "mo_std.h"

#include <cstdint>

struct MOAP_USER_T {
    int32_t id;            // "ID"
    int32_t new_;          // "NEW"
    int32_t delete_status; // "DEL"
    char *name;            // "N"
};
typedef struct MOAP_USER_T moap_user_t;

int moap_user_construct(MOT_TOP_SESSION_T *session) noexcept;

// Writes `text` into `out` fit for a single-quoted JavaScript string inside an HTML script: quotes,
// backslashes, line ends and "<" ">" become escapes.
void moap_user_escape_js(const char *text, char *out, size_t size) noexcept;
