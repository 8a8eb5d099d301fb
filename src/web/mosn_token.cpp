// Session tokens: HMAC-SHA256 from OpenSSL's libcrypto over a message that cannot be read two ways
// (the fields are separated by NUL bytes, which none of them can hold), compared in constant time.
// Everything parsed here may come from a hostile browser: every length is bounded before use.
#include "web/mosn_token.h"
#include "apps/mocr_crypt.h"
#include "entry/mox_aux.h"
#include "mail/mocd_code64.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix_private.h"

#include <cstdio>
#include <cstring>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

const char mac_context[] = "morvale-session-1";
const size_t mac_hex_len = 64;
const size_t max_expiry_digits = 18; // fits a 64-bit count with room to spare

// HMAC of context, name, expiry and stored text as lower-case hexadecimal (65 bytes with the NUL).
bool compute_mac(const unsigned char *key, const char *name, long long expiry, const char *stored,
                 char hex[65]) noexcept {
    char expiry_text[32];
    snprintf(expiry_text, sizeof(expiry_text), "%lld", expiry);
    // The message: each part with its NUL, in a buffer that holds the longest of each.
    unsigned char message[sizeof(mac_context) + 3 * MO_STRING_LEN];
    size_t used = 0;
    const char *parts[] = {mac_context, name, expiry_text, stored};
    for (const char *part : parts) {
        size_t len = strnlen(part, MO_STRING_LEN);
        if (len >= MO_STRING_LEN || used + len + 1 > sizeof(message))
            return false;
        memcpy(message + used, part, len + 1);
        used += len + 1;
    }
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int mac_len = 0;
    bool ok = HMAC(EVP_sha256(), key, MOSN_KEY_LEN, message, used, mac, &mac_len) != nullptr &&
              mac_len * 2 == mac_hex_len;
    for (unsigned int i = 0; ok && i < mac_len; i++)
        snprintf(hex + 2 * i, 3, "%02x", mac[i]);
    OPENSSL_cleanse(message, sizeof(message));
    OPENSSL_cleanse(mac, sizeof(mac));
    return ok;
}

// A name fit for a cookie: not empty, no colon (the cookie splits at the first), no control bytes.
bool name_usable(const char *name) noexcept {
    if (name == nullptr || name[0] == '\0' || strnlen(name, MO_STRING_LEN) >= MO_STRING_LEN)
        return false;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != '\0'; p++)
        if (*p == ':' || *p < 0x20 || *p == 0x7f)
            return false;
    return true;
}

// Splits "$mst1$<expiry>$<mac>" into its expiry and MAC; false for anything else.
bool parse_token(const char *token, long long *expiry, const char **mac) noexcept {
    size_t mark_len = strlen(MOSN_TOKEN_MARK);
    if (token == nullptr || strncmp(token, MOSN_TOKEN_MARK, mark_len) != 0)
        return false;
    const char *p = token + mark_len;
    if (*p < '1' || *p > '9')
        return false;
    long long value = 0;
    size_t digits = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        if (++digits > max_expiry_digits)
            return false;
        value = value * 10 + (*p - '0');
    }
    if (*p != '$')
        return false;
    p++;
    for (size_t i = 0; i < mac_hex_len; i++)
        if (!((p[i] >= '0' && p[i] <= '9') || (p[i] >= 'a' && p[i] <= 'f')))
            return false; // also stops at a NUL before the end
    if (p[mac_hex_len] != '\0')
        return false;
    *expiry = value;
    *mac = p;
    return true;
}

} // namespace

int mosn_token_load_key(MOX_AUX_T *aux, unsigned char *key) noexcept {
    mo_filename_t path;
    int ret = mof_file_build_path(aux->error, path, "%s/%s", aux->setup->home_dir, MOSN_KEY_FILE);
    if (ret == 0)
        ret = moux_private_secret(aux->error, path, key, MOSN_KEY_LEN);
    return ret;
}

long mosn_token_lifetime(int session_hours) noexcept {
    if (session_hours < 1 || session_hours > MOSN_MAX_HOURS)
        session_hours = MOSN_DEFAULT_HOURS;
    return static_cast<long>(session_hours) * 3600L;
}

int mosn_token_make(MOE_ERROR_T *error, const unsigned char *key, const char *name, const char *stored_passwd,
                    mou_datetime_t expiry, char *out, size_t size) noexcept {
    if (out == nullptr || size < MOSN_TOKEN_SIZE) {
        error->report(error, "Session token buffer too small\n");
        return 1;
    }
    out[0] = '\0';
    if (!name_usable(name) || stored_passwd == nullptr || expiry <= 0) {
        error->report(error, "Can't make a session token for this user name\n");
        return 1;
    }
    char mac[65];
    if (!compute_mac(key, name, static_cast<long long>(expiry), stored_passwd, mac)) {
        error->report(error, "Can't sign the session token\n");
        return 1;
    }
    snprintf(out, size, "%s%lld$%s", MOSN_TOKEN_MARK, static_cast<long long>(expiry), mac);
    return 0;
}

int mosn_token_make_cookie(MOE_ERROR_T *error, const unsigned char *key, const char *name,
                           const char *stored_passwd, mou_datetime_t now, int session_hours, char *cookie,
                           size_t size) noexcept {
    if (cookie != nullptr && size > 0)
        cookie[0] = '\0';
    char token[MOSN_TOKEN_SIZE];
    int ret = mosn_token_make(error, key, name, stored_passwd, now + mosn_token_lifetime(session_hours),
                              token, sizeof(token));
    if (ret != 0)
        return ret;
    mo_string_t plain;
    int n = snprintf(plain, sizeof(plain), "%s:%s", name, token);
    size_t len = 0;
    if (n < 0 || static_cast<size_t>(n) >= sizeof(plain) ||
        mocd_encode64(reinterpret_cast<const unsigned char *>(plain), static_cast<size_t>(n), cookie, size,
                      &len) != 0) {
        if (cookie != nullptr && size > 0)
            cookie[0] = '\0';
        error->report(error, "User name too long for the login cookie\n");
        return 1;
    }
    return 0;
}

int mosn_token_split_cookie(const char *cookie, char *name, size_t name_size, char *rest,
                            size_t rest_size) noexcept {
    if (name_size > 0)
        name[0] = '\0';
    if (rest_size > 0)
        rest[0] = '\0';
    if (cookie == nullptr)
        return MOSN_COOKIE_UNDECODABLE;
    // A cookie longer than any encoding of 1023 bytes is refused before it is read any further.
    size_t len = strnlen(cookie, 2 * MO_STRING_LEN);
    if (len >= 2 * MO_STRING_LEN)
        return MOSN_COOKIE_UNDECODABLE;
    unsigned char plain[MO_STRING_LEN];
    size_t count = 0;
    if (mocd_decode64(cookie, len, plain, sizeof(plain), &count) != 0 ||
        memchr(plain, '\0', count) != nullptr)
        return MOSN_COOKIE_UNDECODABLE;
    const char *text = reinterpret_cast<const char *>(plain);
    const char *colon = strchr(text, ':');
    if (colon == nullptr) {
        OPENSSL_cleanse(plain, sizeof(plain));
        return MOSN_COOKIE_NO_COLON;
    }
    size_t name_len = static_cast<size_t>(colon - text);
    if (name_len < name_size) {
        memcpy(name, text, name_len);
        name[name_len] = '\0';
    }
    size_t rest_len = strlen(colon + 1);
    if (rest_len < rest_size)
        memcpy(rest, colon + 1, rest_len + 1);
    OPENSSL_cleanse(plain, sizeof(plain));
    return MOSN_COOKIE_OK;
}

mo_boolean_t mosn_token_is_token(const char *text) noexcept {
    return (text != nullptr && strncmp(text, MOSN_TOKEN_MARK, strlen(MOSN_TOKEN_MARK)) == 0) ? TRUE : FALSE;
}

int mosn_token_check(const unsigned char *key, const char *name, const char *stored_passwd, const char *token,
                     mou_datetime_t now, int session_hours, mo_boolean_t *renew) noexcept {
    if (renew != nullptr)
        *renew = FALSE;
    long long expiry = 0;
    const char *mac = nullptr;
    if (!parse_token(token, &expiry, &mac))
        return MOSN_TOKEN_MALFORMED;
    // A locked or defaulted account is closed to its old tokens as to its passwords.
    if (!name_usable(name) || !mocr_crypt_usable(stored_passwd))
        return MOSN_TOKEN_BAD_SIGNATURE;
    char expected[65];
    if (!compute_mac(key, name, expiry, stored_passwd, expected))
        return MOSN_TOKEN_BAD_SIGNATURE;
    bool same = CRYPTO_memcmp(expected, mac, mac_hex_len) == 0;
    OPENSSL_cleanse(expected, sizeof(expected));
    if (!same)
        return MOSN_TOKEN_BAD_SIGNATURE;
    long lifetime = mosn_token_lifetime(session_hours);
    long long left = expiry - static_cast<long long>(now);
    if (left <= 0 || left > lifetime)
        return MOSN_TOKEN_EXPIRED;
    if (renew != nullptr && left < lifetime / 2)
        *renew = TRUE;
    return MOSN_TOKEN_VALID;
}
