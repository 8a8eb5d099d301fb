// A throwaway installation for end-to-end tests: the real `morvale` program in
// HOME/install/bin/linux with its tool links and store scripts, a gen.setup with its own
// SERVER_PORT, and the real daemon on demand.
#pragma once

#include "support/util.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace mot_test {
inline namespace support {

struct RunResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// A port whose daemon socket name is free; never 8080.
int free_daemon_port();

class Installation {
public:
    // `extra_setup` is appended to the installation's gen.setup.
    explicit Installation(const std::string &extra_setup = "");
    ~Installation();
    Installation(const Installation &) = delete;
    Installation &operator=(const Installation &) = delete;

    std::string socket_path() const;
    std::string log_path() const;

    // Runs the program (or `program`) with the arguments; gives its status and output.
    RunResult run(const std::vector<std::string> &args, const std::string &program = "") const;
    // Starts the real daemon in the background (standard error into the log) and waits until it answers.
    bool start_daemon();
    // Waits for the daemon to end by itself; its exit status, or -1.
    int wait_daemon(int seconds);
    void stop_daemon();

    TempDir dir;
    std::string home;
    std::string prog;
    int port = 0;
    pid_t daemon_pid = -1;
};

} // namespace support
} // namespace mot_test
