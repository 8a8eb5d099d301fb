// The socket service: outgoing TCP connections exchanging text lines (the mail clients use it).
#pragma once
#include "mo_std.h"

#define MOSK_TCP_CLIENT 1

struct MOSK_SOCK_T {
    MOL_LOW_T *low; // the low bundle

    int (*open_connection)(MOSK_SOCK_T *sock, void **conn, int type, const char *host, int port) noexcept;
    int (*end_connection)(MOSK_SOCK_T *sock, void *conn) noexcept;
    int (*read_line)(MOSK_SOCK_T *sock, void *conn, char *buf, size_t size, mo_boolean_t *eof) noexcept;
    int (*write_line)(MOSK_SOCK_T *sock, void *conn, const char *fmt, ...) noexcept MO_PRINTF(3, 4);
};

int mosk_socket_construct(MOSK_SOCK_T **sock, MOL_LOW_T *low, const MOSK_SOCK_T *slots) noexcept;
