// A daemon for tests: the real server loop with the lock service (and whatever else a test adds) in a
// forked child on its own socket, /tmp/morvale.<port> with a port name unique to the test process.
// Clients are Bundles connected to its port.
#pragma once

#include "support/bundle.h"

#include <functional>
#include <string>
#include <sys/types.h>

namespace mot_test {
inline namespace support {

// Extra services a test daemon carries, registered besides the lock service.
using ServerSetup = std::function<void(Bundle &)>;

// A socket name no other daemon of this test process uses.
std::string unique_port();
std::string socket_path(const std::string &port);

struct DaemonOptions {
    ServerSetup extra; // registers more services before the loop starts
    bool start_now = true;
    std::string log;  // the daemon's standard error; "" puts it in /tmp/mo_daemon_<port>.log
    std::string home; // installation home of the daemon's bundle; "" for none
};

class DaemonProcess {
public:
    explicit DaemonProcess(const ServerSetup &extra = nullptr, bool start_now = true);
    explicit DaemonProcess(const DaemonOptions &options);
    ~DaemonProcess();
    DaemonProcess(const DaemonProcess &) = delete;
    DaemonProcess &operator=(const DaemonProcess &) = delete;

    // Forks the daemon and waits until it accepts connections (or has ended).
    void start(const ServerSetup &extra = nullptr);
    bool running();
    // Waits up to `seconds` for the daemon to end; its exit status (128 + signal), or -1 when it runs on.
    int wait_exit(int seconds = 10);
    std::string output() const; // what the daemon wrote to standard error

    std::string port;
    std::string pid_file;
    std::string log;
    std::string home;
    pid_t pid = -1;
    int status = -1; // wait status once reaped

private:
    void wait_until_listening();
    bool own_log_ = true;
};

// A bare connection to a daemon's socket (for malformed traffic); -1 when refused.
int raw_connect(const std::string &port);
// Reads exactly n bytes or until the peer closes; gives how many arrived.
size_t read_all(int fd, void *buf, size_t n);

} // namespace support
} // namespace mot_test
