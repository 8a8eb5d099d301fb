// POSIX implementation of the socket service: TCP client connections and line I/O.
#pragma once
#include "platform/mosk_socket_cmn.h"

#define MOUX_SOCKET_ATTEMPTS 5     // immediate connect attempts before giving up
#define MOUX_SOCKET_IO_TIMEOUT 120 // seconds a read or write may wait for the peer

// One open connection, allocated in the request pool.
struct MOUX_SOCKET_CONN_T {
    int sock_fd; // the connected socket, -1 once closed
};
typedef struct MOUX_SOCKET_CONN_T moux_socket_conn_t;

int moux_socket_open_connection(MOSK_SOCK_T *sock, void **conn, int type, const char *host,
                                int port) noexcept;
int moux_socket_end_connection(MOSK_SOCK_T *sock, void *conn) noexcept;
int moux_socket_read_line(MOSK_SOCK_T *sock, void *conn, char *buf, size_t size, mo_boolean_t *eof) noexcept;
int moux_socket_write_line(MOSK_SOCK_T *sock, void *conn, const char *fmt, ...) noexcept MO_PRINTF(3, 4);

extern const MOSK_SOCK_T moux_socket_slots;
