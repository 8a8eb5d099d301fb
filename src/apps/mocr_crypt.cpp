// Password hashing through libxcrypt with a buffer of our own for every call, so that two requests
// never share a result; hashing material is wiped from the stack before returning.
#include "apps/mocr_crypt.h"
#include "platform/moe_error_cmn.h"

#include <crypt.h>
#include <cstring>
#include <openssl/crypto.h>

static_assert(MOCR_HASH_SIZE >= CRYPT_OUTPUT_SIZE);
static_assert(MOCR_MAX_PASSWD_LEN < CRYPT_MAX_PASSPHRASE_SIZE);

namespace {

// Hashes into out; FALSE when the library refuses (it returns NULL or a text starting with "*").
mo_boolean_t hash_into(const char *key, const char *setting, char *out, size_t size) noexcept {
    struct crypt_data data;
    memset(&data, 0, sizeof(data));
    const char *result = crypt_rn(key, setting, &data, sizeof(data));
    mo_boolean_t ok = FALSE;
    if (result != nullptr && result[0] != '*' && strlen(result) < size) {
        memcpy(out, result, strlen(result) + 1);
        ok = TRUE;
    }
    OPENSSL_cleanse(&data, sizeof(data));
    return ok;
}

// The characters of crypt's own base-64 alphabet.
bool all_hash_chars(const char *p, size_t len) noexcept {
    for (size_t i = 0; i < len; i++) {
        char c = p[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
              c == '/'))
            return false;
    }
    return true;
}

// A whole hash, not just a setting: "$id$...$" methods end in a hash part of at least 22 characters
// (the shortest method's), "_" extended DES texts have 20 characters, traditional DES texts 13.
// Cheap, so that a session-token check can ask on every request.
bool looks_complete(const char *stored) noexcept {
    size_t len = strlen(stored);
    if (stored[0] == '$') {
        const char *last = strrchr(stored, '$');
        size_t tail = len - static_cast<size_t>(last + 1 - stored);
        return tail >= 22 && all_hash_chars(last + 1, tail);
    }
    if (stored[0] == '_')
        return len == 20 && all_hash_chars(stored + 1, len - 1);
    return len == 13 && all_hash_chars(stored, len);
}

} // namespace

int mocr_crypt(MOE_ERROR_T *error, const char *key, const char *salt, char *out, size_t size) noexcept {
    if (out == nullptr || size == 0)
        return 1;
    out[0] = '\0';
    if (key == nullptr || salt == nullptr || strlen(key) > MOCR_MAX_PASSWD_LEN ||
        !hash_into(key, salt, out, size)) {
        out[0] = '\0';
        error->report(error, "Can't hash password with that salt\n");
        return 1;
    }
    return 0;
}

int mocr_crypt_new_passwd(MOE_ERROR_T *error, const char *passwd, char *out, size_t size) noexcept {
    if (out == nullptr || size == 0)
        return 1;
    out[0] = '\0';
    if (passwd == nullptr || strlen(passwd) > MOCR_MAX_PASSWD_LEN) {
        error->report(error, "Password longer than %d characters\n", MOCR_MAX_PASSWD_LEN);
        return 1;
    }
    // No prefix and no random bytes: the preferred method, salted from the operating system.
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (crypt_gensalt_rn(nullptr, 0, nullptr, 0, setting, sizeof(setting)) == nullptr || setting[0] == '*') {
        error->report(error, "Can't make a password salt\n");
        return 1;
    }
    if (!hash_into(passwd, setting, out, size)) {
        out[0] = '\0';
        error->report(error, "Can't hash password\n");
        return 1;
    }
    return 0;
}

mo_boolean_t mocr_crypt_usable(const char *stored) noexcept {
    if (stored == nullptr || stored[0] == '\0' || stored[0] == '*')
        return FALSE;
    if (strcmp(stored, MOCR_DEFAULT_PASSWD) == 0)
        return FALSE;
    if (strlen(stored) >= MOCR_HASH_SIZE || !looks_complete(stored))
        return FALSE;
    int check = crypt_checksalt(stored);
    return (check == CRYPT_SALT_OK || check == CRYPT_SALT_METHOD_LEGACY) ? TRUE : FALSE;
}

mo_boolean_t mocr_crypt_verify(const char *passwd, const char *stored) noexcept {
    if (passwd == nullptr || !mocr_crypt_usable(stored) || strlen(passwd) > MOCR_MAX_PASSWD_LEN)
        return FALSE;
    char result[MOCR_HASH_SIZE];
    if (!hash_into(passwd, stored, result, sizeof(result)))
        return FALSE;
    size_t len = strlen(stored);
    // The lengths are no secret (the method fixes them); the bytes are compared in constant time.
    mo_boolean_t ok = (strlen(result) == len && CRYPTO_memcmp(result, stored, len) == 0) ? TRUE : FALSE;
    OPENSSL_cleanse(result, sizeof(result));
    return ok;
}
