// POSIX private files: exclusive temporary files, link or rename into place, owner and mode kept
// tight; the terminal's echo switched off while a password is typed.
#include "platform/moux_unix_private.h"
#include "platform/moe_error_cmn.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Directory part of a path ("." when there is none).
std::string dir_of(const char *path) {
    const char *slash = strrchr(path, '/');
    if (slash == nullptr)
        return ".";
    if (slash == path)
        return "/";
    return std::string(path, static_cast<size_t>(slash - path));
}

bool write_all(int fd, const char *text, size_t len) noexcept {
    while (len > 0) {
        ssize_t n = write(fd, text, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

// Makes a temporary file beside `path` holding the text, flushed to disk, mode 0600; as root it
// gets the owner of `owner_of` (the file it will replace, or its directory). Empty name on failure.
std::string write_temp(MOE_ERROR_T *error, const char *path, const char *text, size_t len,
                       const std::string &owner_of) noexcept {
    try {
        std::string tmp = std::string(path) + ".tmpXXXXXX";
        int fd = mkstemp(tmp.data()); // mode 0600
        if (fd < 0) {
            error->report(error, "Can't create a file beside %s: %s\n", path, strerror(errno));
            return "";
        }
        bool ok = fchmod(fd, 0600) == 0 && write_all(fd, text, len) && fsync(fd) == 0;
        struct stat st;
        if (ok && geteuid() == 0 && stat(owner_of.c_str(), &st) == 0)
            ok = fchown(fd, st.st_uid, st.st_gid) == 0;
        if (close(fd) != 0)
            ok = false;
        if (!ok) {
            error->report(error, "Can't write %s: %s\n", tmp.c_str(), strerror(errno));
            unlink(tmp.c_str());
            return "";
        }
        return tmp;
    } catch (...) {
        error->report(error, "Out of memory\n");
        return "";
    }
}

int hex_value(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 0 with the key read, 1 after a report, 2 when the file does not exist.
int read_secret(MOE_ERROR_T *error, const char *path, unsigned char *key, size_t len) noexcept {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return 2;
        error->report(error, "Can't open session key %s: %s\n", path, strerror(errno));
        return 1;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && (st.st_mode & 077) != 0 && fchmod(fd, 0600) != 0)
        error->report_warning(error, "Session key %s is readable by others: %s\n", path, strerror(errno));
    char text[2 * MOUX_SECRET_MAX + 2];
    size_t got = 0;
    while (got < sizeof(text)) {
        ssize_t n = read(fd, text + got, sizeof(text) - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    if (got > 0 && text[got - 1] == '\n')
        got--;
    bool ok = got == 2 * len;
    for (size_t i = 0; ok && i < len; i++) {
        int hi = hex_value(text[2 * i]);
        int lo = hex_value(text[2 * i + 1]);
        ok = hi >= 0 && lo >= 0;
        if (ok)
            key[i] = static_cast<unsigned char>(hi << 4 | lo);
    }
    memset(text, 0, sizeof(text));
    if (!ok) {
        error->report(error, "Session key %s is damaged: remove it and a new one is made\n", path);
        return 1;
    }
    return 0;
}

} // namespace

int moux_private_secret(MOE_ERROR_T *error, const char *path, unsigned char *key, size_t len) noexcept {
    if (len == 0 || len > MOUX_SECRET_MAX) {
        error->report(error, "Session key of %zu bytes not supported\n", len);
        return 1;
    }
    // Two rounds at most: the file is there, or we put ours (or another process puts its own) there.
    for (int round = 0; round < 2; round++) {
        int ret = read_secret(error, path, key, len);
        if (ret != 2)
            return ret;
        unsigned char fresh[MOUX_SECRET_MAX];
        size_t got = 0;
        while (got < len) {
            ssize_t n = getrandom(fresh + got, len - got, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error->report(error, "Can't read random bytes: %s\n", strerror(errno));
                return 1;
            }
            got += static_cast<size_t>(n);
        }
        char text[2 * MOUX_SECRET_MAX + 2];
        for (size_t i = 0; i < len; i++)
            snprintf(text + 2 * i, 3, "%02x", fresh[i]);
        text[2 * len] = '\n';
        std::string tmp = write_temp(error, path, text, 2 * len + 1, dir_of(path));
        memset(fresh, 0, sizeof(fresh));
        memset(text, 0, sizeof(text));
        if (tmp.empty())
            return 1;
        // link() never replaces: the first process to link wins, every other reads the winner's key.
        int linked = link(tmp.c_str(), path);
        int link_errno = errno;
        unlink(tmp.c_str());
        if (linked != 0 && link_errno != EEXIST) {
            error->report(error, "Can't create session key %s: %s\n", path, strerror(link_errno));
            return 1;
        }
    }
    error->report(error, "Session key %s keeps disappearing\n", path);
    return 1;
}

int moux_private_replace(MOE_ERROR_T *error, const char *path, const char *text, size_t len) noexcept {
    std::string owner_of;
    try {
        struct stat st;
        owner_of = stat(path, &st) == 0 ? std::string(path) : dir_of(path);
    } catch (...) {
        error->report(error, "Out of memory\n");
        return 1;
    }
    std::string tmp = write_temp(error, path, text, len, owner_of);
    if (tmp.empty())
        return 1;
    if (rename(tmp.c_str(), path) != 0) {
        error->report(error, "Can't replace %s: %s\n", path, strerror(errno));
        unlink(tmp.c_str());
        return 1;
    }
    return 0;
}

int moux_private_read_line(MOE_ERROR_T *error, const char *prompt, char *buf, size_t size,
                           mo_boolean_t *terminal) noexcept {
    buf[0] = '\0';
    bool tty = isatty(STDIN_FILENO) != 0;
    if (terminal != nullptr)
        *terminal = tty ? TRUE : FALSE;
    struct termios saved;
    bool echo_off = false;
    if (tty) {
        // Echo goes off before the prompt shows, so nothing typed after the prompt is flushed.
        if (tcgetattr(STDIN_FILENO, &saved) == 0) {
            struct termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            echo_off = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
        fprintf(stderr, "%s", prompt);
        fflush(stderr);
    }
    // Read byte by byte, so nothing past the line is taken from a pipe that holds a second one.
    size_t n = 0;
    bool too_long = false;
    bool got_any = false;
    for (;;) {
        char c;
        ssize_t r = read(STDIN_FILENO, &c, 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got_any = true;
        if (c == '\n')
            break;
        if (n + 1 < size)
            buf[n++] = c;
        else
            too_long = true;
    }
    if (n > 0 && buf[n - 1] == '\r')
        n--;
    buf[n] = '\0';
    if (echo_off) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        fprintf(stderr, "\n");
    }
    if (!got_any) {
        error->report(error, "No password given on standard input\n");
        return 1;
    }
    if (too_long) {
        memset(buf, 0, size);
        error->report(error, "Password longer than %zu characters\n", size - 1);
        return 1;
    }
    return 0;
}
