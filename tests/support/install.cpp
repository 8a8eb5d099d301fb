// The throwaway installation.
#include "support/install.h"

#include "support/files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace mot_test {
inline namespace support {

int free_daemon_port() {
    static int counter = 0;
    for (;;) {
        int port = 20000 + static_cast<int>((getpid() * 7 + counter++ * 131) % 40000);
        std::string sock = "/tmp/morvale." + std::to_string(port);
        if (port != 8080 && access(sock.c_str(), F_OK) != 0)
            return port;
    }
}

Installation::Installation(const std::string &extra_setup) {
    home = dir.path;
    port = free_daemon_port();
    for (const char *d :
         {"/install/bin/linux", "/conf", "/generated/logs", "/generated/temp", "/generated/search",
          "/user/lib", "/user/user_defaults", "/user/user_conf", "/user/user_html"})
        fs::create_directories(home + d);
    std::string bin = home + "/install/bin/linux";
    prog = bin + "/morvale";
    fs::copy_file(MORVALE_BIN, prog);
    fs::create_symlink("/bin/mkdir", bin + "/mkdir");
    fs::create_symlink("/bin/sh", bin + "/sh");
    for (const char *script : {"mo_store", "mo_unstore"})
        fs::copy_file(std::string(MORVALE_SOURCE_DIR "/install/bin/") + script,
                      home + "/install/bin/" + script);
    write_file(home + "/conf/gen.setup", "# test installation\nSERVER_PORT " + std::to_string(port) +
                                             "\nUSER_PATH " + home + "/user\n" + extra_setup);
}

Installation::~Installation() {
    stop_daemon();
}

std::string Installation::socket_path() const {
    return "/tmp/morvale." + std::to_string(port);
}

std::string Installation::log_path() const {
    return home + "/generated/logs/mo_log";
}

RunResult Installation::run(const std::vector<std::string> &args, const std::string &program) const {
    std::string out_path = home + "/generated/temp/run_out";
    std::string err_path = home + "/generated/temp/run_err";
    std::string p = program.empty() ? prog : program;
    std::vector<std::string> copy = args;
    std::vector<char *> argv;
    argv.push_back(p.data());
    for (auto &a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int n = open("/dev/null", O_RDONLY);
        dup2(n, 0);
        dup2(o, 1);
        dup2(e, 2);
        execv(p.c_str(), argv.data());
        _exit(127);
    }
    int st = 0;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    return r;
}

bool Installation::start_daemon() {
    fflush(stdout);
    fflush(stderr);
    daemon_pid = fork();
    if (daemon_pid == 0) {
        int e = open(log_path().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        int n = open("/dev/null", O_RDWR);
        dup2(n, 0);
        dup2(n, 1);
        dup2(e, 2);
        setpgid(0, 0);
        execl(prog.c_str(), prog.c_str(), "daemon", "start", static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200; i++) {
        if (access(socket_path().c_str(), F_OK) == 0 && run({"daemon", "check"}).status == 0)
            return true;
        int st = 0;
        if (waitpid(daemon_pid, &st, WNOHANG) == daemon_pid) {
            daemon_pid = -1;
            return false;
        }
        usleep(50 * 1000);
    }
    return false;
}

int Installation::wait_daemon(int seconds) {
    if (daemon_pid <= 0)
        return -1;
    for (int i = 0; i < seconds * 20; i++) {
        int st = 0;
        if (waitpid(daemon_pid, &st, WNOHANG) == daemon_pid) {
            daemon_pid = -1;
            return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
        usleep(50 * 1000);
    }
    return -1;
}

void Installation::stop_daemon() {
    if (daemon_pid > 0) {
        // Terminate politely first so the daemon removes its own files, then make sure.
        kill(daemon_pid, SIGTERM);
        if (wait_daemon(3) < 0 && daemon_pid > 0) {
            kill(daemon_pid, SIGKILL);
            int st = 0;
            waitpid(daemon_pid, &st, 0);
            daemon_pid = -1;
        }
    }
    unlink(socket_path().c_str());
}

} // namespace support
} // namespace mot_test
