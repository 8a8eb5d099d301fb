// Small helpers every test program shares: capturing what a piece of code writes to standard error
// or output, throwaway directories, waiting for a condition, counting a text's occurrences.
#pragma once

#include <functional>
#include <string>

namespace mot_test {
// Everything of the support layer lives in this inline namespace: callers write mot_test::Bundle,
// and the linker never confuses it with a fixture of the same name a test folder still keeps.
inline namespace support {

// Runs fn with descriptor fd (1 or 2) redirected into a temporary file; gives what was written.
std::string capture_fd(int fd, const std::function<void()> &fn);
inline std::string capture_stderr(const std::function<void()> &fn) {
    return capture_fd(2, fn);
}
inline std::string capture_stdout(const std::function<void()> &fn) {
    return capture_fd(1, fn);
}

// A fresh directory under /tmp, removed with everything in it by the destructor.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
};

// Polls cond every few milliseconds until it holds (true) or `ms` milliseconds have passed (false).
bool eventually(const std::function<bool()> &cond, int ms = 5000);

// How often `needle` occurs in `text` (occurrences do not overlap).
size_t count_of(const std::string &text, const std::string &needle);

} // namespace support
} // namespace mot_test
