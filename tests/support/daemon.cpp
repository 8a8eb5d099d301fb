// The forked test daemon.
#include "support/daemon.h"

#include "daemon/mod_daemon_cmn.h"
#include "daemon/molk_lock.h"
#include "entry/mox_aux.h"
#include "platform/mocl_cleanup.h"
#include "platform/most_setup_cmn.h"
#include "support/files.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mot_test {
inline namespace support {

std::string unique_port() {
    static int counter = 0;
    return "t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

std::string socket_path(const std::string &port) {
    return "/tmp/morvale." + port;
}

DaemonProcess::DaemonProcess(const ServerSetup &extra, bool start_now)
    : DaemonProcess(DaemonOptions{.extra = extra, .start_now = start_now, .log = "", .home = ""}) {}

DaemonProcess::DaemonProcess(const DaemonOptions &o) {
    port = unique_port();
    pid_file = "/tmp/mo_daemon_" + port + ".pid";
    own_log_ = o.log.empty();
    log = own_log_ ? "/tmp/mo_daemon_" + port + ".log" : o.log;
    home = o.home;
    if (o.start_now)
        start(o.extra);
}

void DaemonProcess::start(const ServerSetup &extra) {
    fflush(stdout);
    fflush(stderr);
    pid = fork();
    if (pid == 0) {
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        close(fd);
        int ret = 0;
        {
            Bundle b(BundleOptions{.home = home});
            MOST_SETUP_T *setup = b.aux->setup;
            snprintf(setup->daemon_pid_file, sizeof(setup->daemon_pid_file), "%s", pid_file.c_str());
            MOD_DAEMON_T *daemon = b.aux->daemon;
            ret = b.status;
            if (ret == 0)
                ret = daemon->server_init(daemon, nullptr, port.c_str(), b.fatal);
            if (ret == 0)
                ret = molk_daemon_construct(nullptr, &b.error, daemon, b.aux->util, b.interm, &b.mem);
            if (ret == 0 && extra)
                extra(b);
            if (ret == 0)
                ret = daemon->server_start(daemon);
            // The bundle's end runs the "Request-Always" list: the socket and the pid file go with it.
        }
        _exit(ret);
    }
    wait_until_listening();
}

void DaemonProcess::wait_until_listening() {
    for (int i = 0; i < 500; i++) {
        int fd = raw_connect(port);
        if (fd >= 0) {
            close(fd);
            return;
        }
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        usleep(10000);
    }
}

bool DaemonProcess::running() {
    if (pid < 0)
        return false;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return false;
    }
    return true;
}

int DaemonProcess::wait_exit(int seconds) {
    for (int i = 0; i < seconds * 100 && pid > 0; i++) {
        if (!running())
            break;
        usleep(10000);
    }
    if (pid > 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string DaemonProcess::output() const {
    return read_file(log);
}

DaemonProcess::~DaemonProcess() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    unlink(socket_path(port).c_str());
    unlink(pid_file.c_str());
    if (own_log_)
        unlink(log.c_str());
}

int raw_connect(const std::string &port) {
    struct sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", socket_path(port).c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

size_t read_all(int fd, void *buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = read(fd, static_cast<char *>(buf) + got, n - got);
        if (r <= 0)
            break;
        got += static_cast<size_t>(r);
    }
    return got;
}

} // namespace support
} // namespace mot_test
