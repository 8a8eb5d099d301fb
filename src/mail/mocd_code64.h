// Base64 (the alphabet and padding of RFC 2045, no line breaks): the "U" cookie, the SMTP login and
// the POP3 mailbox use it. Both directions write into a buffer of the caller's size and never past it.
#pragma once
#include "mo_std.h"

// Room an encoding of `count` bytes needs, its terminating NUL included.
#define MOCD_ENCODED_SIZE(count) ((((count) + 2) / 3) * 4 + 1)

// Encodes `count` bytes of `in` into `out` (a buffer of `size` bytes) and NUL-terminates it.
// `*out_len` gets the encoded length first (four characters for every three bytes, rounded up);
// 1 when the text and its NUL do not fit, and then nothing is written. Reports nothing: the
// caller says what it was encoding.
int mocd_encode64(const unsigned char *in, size_t count, char *out, size_t size, size_t *out_len) noexcept;

// Decodes `len` characters of `text` into `out` (a buffer of `size` bytes), NUL-terminated, and
// stores the byte count. Groups of four characters, "=" allowed in the last two places of the last
// group; a final group may also come without its padding. A leading "+ " (a server's continuation
// prefix) is skipped. 1 for text that begins with a carriage return, a character outside the
// alphabet, a stray "=", a lone final character, or bytes that with their NUL do not fit `size`;
// `out` then holds an empty text. Reports nothing: the caller knows what it was decoding.
int mocd_decode64(const char *text, size_t len, unsigned char *out, size_t size, size_t *count) noexcept;
