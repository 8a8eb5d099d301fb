// Base64 of RFC 2045 for cookies and mail logins. Input from the network is hostile: decoding checks
// every character and the room left before each byte it writes.
#include "mail/mocd_code64.h"

namespace {

const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of a Base64 character, or -1.
int value_of(unsigned char c) noexcept {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int refuse(unsigned char *out, size_t size, size_t *count) noexcept {
    if (out != nullptr && size > 0)
        out[0] = '\0';
    if (count != nullptr)
        *count = 0;
    return 1;
}

} // namespace

int mocd_encode64(const unsigned char *in, size_t count, char *out, size_t size, size_t *out_len) noexcept {
    size_t need = count / 3 * 4 + (count % 3 != 0 ? 4 : 0);
    if (out_len != nullptr)
        *out_len = need;
    if (count > SIZE_MAX / 2 || out == nullptr || need >= size)
        return 1;
    size_t o = 0;
    size_t i = 0;
    for (; i + 2 < count; i += 3) {
        unsigned v = (unsigned)in[i] << 16 | (unsigned)in[i + 1] << 8 | in[i + 2];
        out[o++] = alphabet[v >> 18 & 63];
        out[o++] = alphabet[v >> 12 & 63];
        out[o++] = alphabet[v >> 6 & 63];
        out[o++] = alphabet[v & 63];
    }
    if (i < count) {
        unsigned v = (unsigned)in[i] << 16 | (i + 1 < count ? (unsigned)in[i + 1] << 8 : 0u);
        out[o++] = alphabet[v >> 18 & 63];
        out[o++] = alphabet[v >> 12 & 63];
        out[o++] = i + 1 < count ? alphabet[v >> 6 & 63] : '=';
        out[o++] = '=';
    }
    out[o] = '\0';
    return 0;
}

int mocd_decode64(const char *text, size_t len, unsigned char *out, size_t size, size_t *count) noexcept {
    if (out == nullptr || size == 0 || (text == nullptr && len != 0))
        return refuse(out, size, count);
    size_t pos = 0;
    if (len >= 2 && text[0] == '+' && text[1] == ' ')
        pos = 2;
    if (pos < len && text[pos] == '\r')
        return refuse(out, size, count);
    size_t o = 0;
    while (pos < len) {
        size_t left = len - pos;
        size_t group = left < 4 ? left : 4;
        if (group == 1)
            return refuse(out, size, count); // one character carries less than a byte
        int v[4] = {0, 0, 0, 0};
        size_t data = 0; // characters of the group that carry bits
        for (size_t k = 0; k < group; k++) {
            unsigned char c = static_cast<unsigned char>(text[pos + k]);
            if (c == '=') {
                // Padding only in the last two places, and only once the data has ended.
                if (k < 2)
                    return refuse(out, size, count);
                if (k == 2 && (group != 4 || text[pos + 3] != '='))
                    return refuse(out, size, count);
                break;
            }
            v[k] = value_of(c);
            if (v[k] < 0)
                return refuse(out, size, count);
            data++;
        }
        if (data < 4 && pos + 4 < len)
            return refuse(out, size, count); // padding or a short group before the end
        size_t bytes = data - 1;
        if (o + bytes >= size)
            return refuse(out, size, count);
        unsigned bits = (unsigned)v[0] << 18 | (unsigned)v[1] << 12 | (unsigned)v[2] << 6 | (unsigned)v[3];
        out[o++] = static_cast<unsigned char>(bits >> 16);
        if (bytes > 1)
            out[o++] = static_cast<unsigned char>(bits >> 8 & 0xff);
        if (bytes > 2)
            out[o++] = static_cast<unsigned char>(bits & 0xff);
        pos += group;
    }
    out[o] = '\0';
    if (count != nullptr)
        *count = o;
    return 0;
}
