// The signed session token of the "U" cookie. After a login the browser holds Base64 of "name:"
// followed by a token (an expiry and an HMAC-SHA256 over the name, the expiry and the user's stored
// password text, keyed by the installation's secret), never the password. A token ends at its expiry
// and at every password change, since the stored text it was signed over changes with it.
#pragma once
#include "mo_std.h"

#define MOSN_KEY_LEN 32                       // bytes of the signing secret
#define MOSN_KEY_FILE "generated/session.key" // the secret, below the installation's home
#define MOSN_TOKEN_MARK "$mst1$"              // every token starts with it; no password is taken for one
#define MOSN_TOKEN_SIZE 96                    // room for a token and its NUL
#define MOSN_DEFAULT_HOURS 12                 // SESSION_HOURS when the setup gives none that fits
#define MOSN_MAX_HOURS 8760                   // a year

// Answers of mosn_token_check.
#define MOSN_TOKEN_VALID 0
#define MOSN_TOKEN_EXPIRED 1       // past its expiry, or claiming more life than the site now grants
#define MOSN_TOKEN_BAD_SIGNATURE 2 // forged, altered, old password, or the account is locked
#define MOSN_TOKEN_MALFORMED 3     // not a token at all

// Answers of mosn_token_split_cookie.
#define MOSN_COOKIE_OK 0
#define MOSN_COOKIE_UNDECODABLE 1 // not Base64, too long, or holding a NUL byte
#define MOSN_COOKIE_NO_COLON 2

// Reads the installation's signing secret, HOME/generated/session.key, making it on first use.
int mosn_token_load_key(MOX_AUX_T *aux, unsigned char *key) noexcept;

// Seconds a token lives for the setup's SESSION_HOURS (out-of-range values give the default).
long mosn_token_lifetime(int session_hours) noexcept;

// Writes the token for `name` and its stored password text, valid until `expiry`, into `out`
// (at least MOSN_TOKEN_SIZE bytes). 1 after a report when the name is unusable.
int mosn_token_make(MOE_ERROR_T *error, const unsigned char *key, const char *name, const char *stored_passwd,
                    mou_datetime_t expiry, char *out, size_t size) noexcept;

// The value of the "U" cookie after a login at `now`: Base64 of "name:" and a fresh token. 1 after
// a report when it does not fit `size` or the name is unusable.
int mosn_token_make_cookie(MOE_ERROR_T *error, const unsigned char *key, const char *name,
                           const char *stored_passwd, mou_datetime_t now, int session_hours, char *cookie,
                           size_t size) noexcept;

// Decodes a "U" cookie (or a "U=" argument) of at most 1024 bytes of decoded text and splits it at
// the first ":" into `name` and `rest` (a token or a password), each cut to nothing if it does not
// fit its buffer. Reports nothing: returns one of the MOSN_COOKIE_ answers.
int mosn_token_split_cookie(const char *cookie, char *name, size_t name_size, char *rest,
                            size_t rest_size) noexcept;

// TRUE when the text after the colon claims to be a token; such a text is never checked as a password.
mo_boolean_t mosn_token_is_token(const char *text) noexcept;

// Checks a token for `name` against the user's stored password text at `now`. Returns one of the
// MOSN_TOKEN_ answers and, for a valid one, sets `*renew` when less than half its life is left.
// Reports nothing: the caller decides what to log.
int mosn_token_check(const unsigned char *key, const char *name, const char *stored_passwd, const char *token,
                     mou_datetime_t now, int session_hours, mo_boolean_t *renew) noexcept;
