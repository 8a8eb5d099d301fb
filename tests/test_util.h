// Helpers shared by the test programs: capturing standard error and output, temporary directories.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>

namespace mot_test {

// Runs fn with the given descriptor (1 or 2) redirected into a temporary file and returns what was written.
inline std::string capture_fd(int fd, const std::function<void()> &fn) {
    fflush(stdout);
    fflush(stderr);
    char path[] = "/tmp/mo_capture_XXXXXX";
    int tmp = mkstemp(path);
    int saved = dup(fd);
    dup2(tmp, fd);
    fn();
    fflush(stdout);
    fflush(stderr);
    dup2(saved, fd);
    close(saved);
    std::string out;
    lseek(tmp, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(tmp, buf, sizeof(buf))) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(tmp);
    unlink(path);
    return out;
}

inline std::string capture_stderr(const std::function<void()> &fn) {
    return capture_fd(2, fn);
}
inline std::string capture_stdout(const std::function<void()> &fn) {
    return capture_fd(1, fn);
}

// A fresh directory under /tmp, removed by the destructor.
struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/mo_test_XXXXXX";
        char *p = mkdtemp(tmpl);
        path = p ? p : "/tmp";
    }
    ~TempDir() {
        if (path.rfind("/tmp/mo_test_", 0) == 0) {
            std::string cmd = "rm -rf '" + path + "'";
            if (system(cmd.c_str()) != 0) {
            }
        }
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
};

} // namespace mot_test
