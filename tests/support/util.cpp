// Helpers shared by the test programs.
#include "support/util.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace mot_test {
inline namespace support {

std::string capture_fd(int fd, const std::function<void()> &fn) {
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

TempDir::TempDir() {
    char tmpl[] = "/tmp/mo_test_XXXXXX";
    char *p = mkdtemp(tmpl);
    path = p != nullptr ? p : "";
}

TempDir::~TempDir() {
    if (path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

bool eventually(const std::function<bool()> &cond, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (cond())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

size_t count_of(const std::string &text, const std::string &needle) {
    if (needle.empty())
        return 0;
    size_t n = 0;
    for (size_t pos = text.find(needle); pos != std::string::npos;
         pos = text.find(needle, pos + needle.size()))
        n++;
    return n;
}

} // namespace support
} // namespace mot_test
