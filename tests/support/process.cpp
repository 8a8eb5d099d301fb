// Forked pieces of tests.
#include "support/process.h"

#include <cerrno>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace mot_test {
inline namespace support {

ChildResult run_forked(const std::function<void(int ready)> &fn,
                       const std::function<void(pid_t pid, const std::string &message)> &go) {
    ChildResult res;
    int errp[2], readyp[2];
    if (pipe(errp) != 0)
        return res;
    if (pipe(readyp) != 0) {
        close(errp[0]);
        close(errp[1]);
        return res;
    }
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) {
        for (int fd : {errp[0], errp[1], readyp[0], readyp[1]})
            close(fd);
        return res;
    }
    if (pid == 0) {
        close(errp[0]);
        close(readyp[0]);
        dup2(errp[1], 2);
        close(errp[1]);
        fn(readyp[1]);
        _exit(0);
    }
    close(errp[1]);
    close(readyp[1]);
    char msg[256];
    ssize_t got = read(readyp[0], msg, sizeof(msg));
    if (got > 0)
        go(pid, std::string(msg, static_cast<size_t>(got)));
    close(readyp[0]);
    char buf[4096];
    ssize_t n;
    while ((n = read(errp[0], buf, sizeof(buf))) > 0)
        res.err.append(buf, static_cast<size_t>(n));
    close(errp[0]);
    while (waitpid(pid, &res.status, 0) < 0 && errno == EINTR) {
    }
    return res;
}

} // namespace support
} // namespace mot_test
