// Running a piece of a test in a forked child: the child's standard error is collected, and the
// parent acts (sends a signal, say) once the child says it is ready.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

namespace mot_test {
inline namespace support {

struct ChildResult {
    int status = -1; // wait status
    std::string err; // everything the child wrote to standard error
};

// Runs fn(ready) in a forked child with standard error into a pipe, then _exit(0). Once the child
// writes its ready message on `ready` (one write of at most 256 bytes), `go` is called in the parent
// with the child's pid and the message. Gives the child's wait status and standard error.
ChildResult run_forked(const std::function<void(int ready)> &fn,
                       const std::function<void(pid_t pid, const std::string &message)> &go);

} // namespace support
} // namespace mot_test
