// Cookie sets of a web request: parsing the browser's "Cookie" header, lookups, replacing and adding
// pairs, and the text of an outgoing "Set-Cookie" header.
#include "web/moco_cookie.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "entry/mox_aux.h"

#include <cstring>
#include <string>
#include <unordered_map>

static int moco_get_next(MOCO_COOKIE_T *cookie, MOCO_VALUE_T **next_ref, const char **key,
                         const char **value) noexcept {
    MOCO_VALUE_T *pair = *next_ref == nullptr ? cookie->cookie_list : (*next_ref)->next;
    if (pair != nullptr) {
        *key = pair->key;
        *value = pair->value;
    }
    *next_ref = pair;
    return 0;
}

static int moco_get_cookie(MOCO_COOKIE_T *cookie, const char *key, const char **value) noexcept {
    *value = nullptr;
    for (MOCO_VALUE_T *pair = cookie->cookie_list; pair != nullptr; pair = pair->next) {
        if (strcmp(pair->key, key) == 0) {
            *value = pair->value;
            break;
        }
    }
    return 0;
}

// A new pair in front, with copies of key and value.
static int moco_add_pair(MOCO_COOKIE_T *cookie, const char *key, const char *value) noexcept {
    MOME_MEM_T *mem = cookie->aux->mem;
    MOCO_VALUE_T *pair = nullptr;
    int ret = mome_new(mem, cookie->pool_ref, &pair);
    if (ret == 0)
        ret = mem->store_string(mem, cookie->pool_ref, &pair->key, key);
    if (ret == 0)
        ret = mem->store_string(mem, cookie->pool_ref, &pair->value, value);
    if (ret != 0)
        return ret;
    pair->next = cookie->cookie_list;
    cookie->cookie_list = pair;
    return 0;
}

static int moco_set_cookie(MOCO_COOKIE_T *cookie, const char *key, const char *value) noexcept {
    MOME_MEM_T *mem = cookie->aux->mem;
    for (MOCO_VALUE_T *pair = cookie->cookie_list; pair != nullptr; pair = pair->next) {
        if (strcmp(pair->key, key) == 0)
            return mem->restore_string(mem, cookie->pool_ref, &pair->value, value);
    }
    return moco_add_pair(cookie, key, value);
}

// Tokens are separated by runs of ";" and blanks. A token without "=" is most likely a cookie of
// another application on the same host: it is skipped with one warning instead of locking the user
// out. The keys met are indexed so that a long header costs linear time.
static int moco_set_from_string(MOCO_COOKIE_T *cookie, const char *string) noexcept {
    if (string == nullptr)
        return 0;
    MOE_ERROR_T *error = cookie->aux->error;
    MOME_MEM_T *mem = cookie->aux->mem;
    try {
        std::unordered_map<std::string, MOCO_VALUE_T *> index;
        for (MOCO_VALUE_T *pair = cookie->cookie_list; pair != nullptr; pair = pair->next)
            index.emplace(pair->key, pair);
        bool warned = false;
        std::string key;
        std::string value;
        for (const char *p = string; *p != '\0';) {
            while (*p == ';' || *p == ' ')
                p++;
            if (*p == '\0')
                break;
            size_t len = strcspn(p, "; ");
            const char *eq = static_cast<const char *>(memchr(p, '=', len));
            p += len;
            if (eq == nullptr) {
                if (!warned)
                    error->report_warning(error, "Can't find = in cookie string\n");
                warned = true;
                continue;
            }
            key.assign(p - len, static_cast<size_t>(eq - (p - len)));
            value.assign(eq + 1, static_cast<size_t>(p - eq - 1));
            auto found = index.find(key);
            int ret = 0;
            if (found != index.end()) {
                ret = mem->restore_string(mem, cookie->pool_ref, &found->second->value, value.c_str());
            } else {
                ret = moco_add_pair(cookie, key.c_str(), value.c_str());
                if (ret == 0)
                    index.emplace(key, cookie->cookie_list);
            }
            if (ret != 0)
                return ret;
        }
    } catch (const std::bad_alloc &) {
        error->report(error, "Out of memory\n");
        return 1;
    }
    return 0;
}

int moco_cookie_construct(MOCO_COOKIE_T **cookie_ptr, void *pool_ref, MOX_AUX_T *aux) noexcept {
    int ret = mome_new(aux->mem, pool_ref, cookie_ptr);
    if (ret != 0)
        return ret;
    MOCO_COOKIE_T *cookie = *cookie_ptr;
    cookie->get_next = moco_get_next;
    cookie->set_from_string = moco_set_from_string;
    cookie->get_cookie = moco_get_cookie;
    cookie->set_cookie = moco_set_cookie;
    cookie->cookie_list = nullptr;
    cookie->pool_ref = pool_ref;
    cookie->aux = aux;
    return 0;
}

// The characters a cookie name or value may hold without quoting, so that no pair can end the header
// early or smuggle a second one in.
static bool moco_octets_ok(const char *text, bool is_key) noexcept {
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; p++) {
        if (*p <= 0x20 || *p >= 0x7f || *p == ';' || *p == ',' || *p == '"' || *p == '\\')
            return false;
        if (is_key && *p == '=')
            return false;
    }
    return true;
}

int moco_cookie_header_text(MOCO_COOKIE_T *cookie, void *pool, const char *key, const char *value,
                            char **text) noexcept {
    MOX_AUX_T *aux = cookie->aux;
    *text = nullptr;
    if (key == nullptr || key[0] == '\0' || !moco_octets_ok(key, true) || value == nullptr ||
        !moco_octets_ok(value, false)) {
        aux->error->report(aux->error, "Cookie %s holds a character a cookie header can't carry\n",
                           key != nullptr ? key : "");
        return 1;
    }
    try {
        std::string header = std::string(key) + "=" + value + MOCO_COOKIE_ATTRIBUTES;
        return aux->mem->store_string(aux->mem, pool, text, header.c_str());
    } catch (const std::bad_alloc &) {
        aux->error->report(aux->error, "Out of memory\n");
        return 1;
    }
}
