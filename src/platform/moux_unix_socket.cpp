// POSIX sockets for the mail clients: resolve the host, connect with a few immediate retries, and
// exchange text lines. Reads and writes give up after a while so that a silent server cannot hold a
// request for ever, and writes never raise SIGPIPE on a peer that has gone.
#include "platform/moux_unix_socket.h"
#include "platform/moe_error_cmn.h"
#include "entry/mol_low.h"
#include "platform/mome_mem_cmn.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

const MOSK_SOCK_T moux_socket_slots = {
    .open_connection = moux_socket_open_connection,
    .end_connection = moux_socket_end_connection,
    .read_line = moux_socket_read_line,
    .write_line = moux_socket_write_line,
};

static MOE_ERROR_T *sock_error(MOSK_SOCK_T *sock) noexcept {
    return sock->low->error;
}

static void set_io_timeout(int fd) noexcept {
    struct timeval tv;
    tv.tv_sec = MOUX_SOCKET_IO_TIMEOUT;
    tv.tv_usec = 0;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
}

int moux_socket_open_connection(MOSK_SOCK_T *sock, void **conn, int type, const char *host,
                                int port) noexcept {
    MOE_ERROR_T *error = sock_error(sock);
    if (type != MOSK_TCP_CLIENT) {
        error->report(error, "Connection type (%d) is not defined in open_connect function\n", type);
        return 1;
    }
    MOME_MEM_T *mem = sock->low->mem;
    MOUX_SOCKET_CONN_T *c = nullptr;
    int ret = mome_new(mem, mem->req_pool_ref, &c);
    if (ret != 0)
        return ret;
    c->sock_fd = -1;
    *conn = nullptr; // handed over only once connected

    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    char service[16];
    snprintf(service, sizeof(service), "%d", port);
    struct addrinfo *addrs = nullptr;
    int gai = getaddrinfo(host, service, &hints, &addrs);
    if (gai != 0) {
        const char *why = gai == EAI_SYSTEM ? strerror(errno) : gai_strerror(gai);
        error->report(error, "Can't find address (%s) : %s\n", host, why);
        mem->free(mem, mem->req_pool_ref, c);
        return 1;
    }
    int last_errno = 0;
    for (int attempt = 0; attempt < MOUX_SOCKET_ATTEMPTS && c->sock_fd < 0; attempt++) {
        // Every address of the host is one try within the attempt.
        for (struct addrinfo *a = addrs; a != nullptr; a = a->ai_next) {
            int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
            if (fd < 0) {
                int e = errno;
                freeaddrinfo(addrs);
                error->report(error, "Can't create socket : %s\n", strerror(e));
                mem->free(mem, mem->req_pool_ref, c);
                return 1;
            }
            if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
                set_io_timeout(fd);
                c->sock_fd = fd;
                break;
            }
            last_errno = errno;
            close(fd);
        }
    }
    freeaddrinfo(addrs);
    if (c->sock_fd < 0) {
        error->report(error, "Can't connect to (%s) : %s\n", host, strerror(last_errno));
        mem->free(mem, mem->req_pool_ref, c);
        return 1;
    }
    *conn = c;
    return 0;
}

int moux_socket_end_connection(MOSK_SOCK_T *sock, void *conn) noexcept {
    MOUX_SOCKET_CONN_T *c = static_cast<MOUX_SOCKET_CONN_T *>(conn);
    if (c == nullptr || c->sock_fd < 0)
        return 0;
    int fd = c->sock_fd;
    c->sock_fd = -1; // never closed twice, even when the close fails
    if (close(fd) != 0 && errno != EINTR) {
        MOE_ERROR_T *error = sock_error(sock);
        error->report(error, "Close of Connection Failed: %s\n", strerror(errno));
        return 1;
    }
    return 0;
}

// Byte by byte, so nothing after the line is taken from the socket. As with a child's output, the
// end flag comes with a last line that has no line feed; that line is still handed over.
int moux_socket_read_line(MOSK_SOCK_T *sock, void *conn, char *buf, size_t size, mo_boolean_t *eof) noexcept {
    MOUX_SOCKET_CONN_T *c = static_cast<MOUX_SOCKET_CONN_T *>(conn);
    MOE_ERROR_T *error = sock_error(sock);
    *eof = FALSE;
    if (size == 0)
        return 0;
    buf[0] = '\0';
    if (c == nullptr || c->sock_fd < 0) {
        error->report(error, "Can't read from socket : %s\n", strerror(EBADF));
        return 1;
    }
    size_t n = 0;
    while (n + 1 < size) {
        char ch;
        ssize_t r = recv(c->sock_fd, &ch, 1, 0);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            buf[n] = '\0';
            error->report(error, "Can't read from socket : %s\n", strerror(errno));
            return 1;
        }
        if (r == 0) {
            *eof = TRUE;
            break;
        }
        buf[n++] = ch;
        if (ch == '\n' || ch == '\0')
            break;
    }
    buf[n] = '\0';
    return 0;
}

int moux_socket_write_line(MOSK_SOCK_T *sock, void *conn, const char *fmt, ...) noexcept {
    MOUX_SOCKET_CONN_T *c = static_cast<MOUX_SOCKET_CONN_T *>(conn);
    MOE_ERROR_T *error = sock_error(sock);
    if (c == nullptr || c->sock_fd < 0) {
        error->report(error, "Can't write to socket : %s\n", strerror(EBADF));
        return 1;
    }
    mo_string_t line;
    va_list ap;
    va_start(ap, fmt);
    int len = vsnprintf(line, sizeof(line), fmt, ap);
    va_end(ap);
    if (len < 0)
        len = 0;
    size_t total = static_cast<size_t>(len) < sizeof(line) ? static_cast<size_t>(len) : sizeof(line) - 1;
    size_t done = 0;
    while (done < total) {
        ssize_t w = send(c->sock_fd, line + done, total - done, MSG_NOSIGNAL);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            error->report(error, "Can't write to socket : %s\n", strerror(errno));
            return 1;
        }
        done += static_cast<size_t>(w);
    }
    return 0;
}
