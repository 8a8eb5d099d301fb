// Cookie sets of a web request: the pairs the browser sent in its "Cookie" header (`in_cookie`) and
// the pairs to send back (`out_cookie`), both kept in the request record.
#pragma once
#include "mo_std.h"

// What every outgoing cookie carries besides its pair: the whole site, no script access, and not
// sent along with requests that other sites start.
#define MOCO_COOKIE_ATTRIBUTES "; Path=/; HttpOnly; SameSite=Lax"

struct MOCO_VALUE_T {
    char *key;          // cookie name
    char *value;        // its value
    MOCO_VALUE_T *next; // next pair
};
typedef struct MOCO_VALUE_T moco_value_t;

struct MOCO_COOKIE_T {
    // Iteration: a NULL *next_ref starts at the first pair; at the end *next_ref becomes NULL.
    int (*get_next)(MOCO_COOKIE_T *cookie, MOCO_VALUE_T **next_ref, const char **key,
                    const char **value) noexcept;
    // Parses a "Cookie" header text (NULL: no cookies); the text itself is left alone.
    int (*set_from_string)(MOCO_COOKIE_T *cookie, const char *string) noexcept;
    // The value of the first pair with that key, or NULL.
    int (*get_cookie)(MOCO_COOKIE_T *cookie, const char *key, const char **value) noexcept;
    // Replaces the value of a key, or adds the pair in front.
    int (*set_cookie)(MOCO_COOKIE_T *cookie, const char *key, const char *value) noexcept;
    MOCO_VALUE_T *cookie_list; // the pairs, most recently added first
    void *pool_ref;            // where pairs and texts are allocated
    MOX_AUX_T *aux;            // the service bundle
};
typedef struct MOCO_COOKIE_T moco_cookie_t;

int moco_cookie_construct(MOCO_COOKIE_T **cookie_ptr, void *pool_ref, MOX_AUX_T *aux) noexcept;

// The value of a "Set-Cookie" header for one pair: "key=value" and MOCO_COOKIE_ATTRIBUTES, stored in
// `pool`. A key or value with a character a header can't carry (control bytes, blank, ";", ",", '"',
// "\\", "=" in the key) is refused with a report.
int moco_cookie_header_text(MOCO_COOKIE_T *cookie, void *pool, const char *key, const char *value,
                            char **text) noexcept;
