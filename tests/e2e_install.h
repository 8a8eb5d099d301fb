// A throwaway installation for end-to-end tests: the real `morvale` program in
// HOME/install/bin/linux, a gen.setup with its own SERVER_PORT, and the real daemon on demand.
#pragma once

#include "test_util.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mot_test {

struct RunResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void write_file(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Picks a port whose daemon socket name is free; never 8080.
inline int free_daemon_port() {
    static int counter = 0;
    for (;;) {
        int port = 20000 + static_cast<int>((getpid() * 7 + counter++ * 131) % 40000);
        std::string sock = "/tmp/morvale." + std::to_string(port);
        if (port != 8080 && access(sock.c_str(), F_OK) != 0)
            return port;
    }
}

struct Installation {
    TempDir dir;
    std::string home;
    std::string prog;
    int port;
    pid_t daemon_pid = -1;

    explicit Installation(const std::string &extra_setup = "") {
        home = dir.path;
        port = free_daemon_port();
        for (const char *d :
             {"/install/bin/linux", "/conf", "/generated/logs", "/generated/temp", "/generated/search",
              "/user/lib", "/user/user_defaults", "/user/user_conf", "/user/user_html"}) {
            std::string cmd = "mkdir -p '" + home + d + "'";
            if (system(cmd.c_str()) != 0)
                abort();
        }
        prog = home + "/install/bin/linux/morvale";
        std::string cmd =
            "cp '" MORVALE_BIN "' '" + prog + "' && ln -s /bin/mkdir '" + home +
            "/install/bin/linux/mkdir' && ln -s /bin/sh '" + home + "/install/bin/linux/sh' && cp '" +
            MORVALE_SOURCE_DIR "/install/bin/mo_store' '" MORVALE_SOURCE_DIR "/install/bin/mo_unstore' '" +
            home + "/install/bin/'";
        if (system(cmd.c_str()) != 0)
            abort();
        write_file(home + "/conf/gen.setup", "# test installation\nSERVER_PORT " + std::to_string(port) +
                                                 "\nUSER_PATH " + home + "/user\n" + extra_setup);
    }

    ~Installation() { stop_daemon(); }
    Installation(const Installation &) = delete;
    Installation &operator=(const Installation &) = delete;

    std::string socket_path() const { return "/tmp/morvale." + std::to_string(port); }
    std::string log_path() const { return home + "/generated/logs/mo_log"; }

    // Runs the program with the arguments and collects its output and status.
    RunResult run(const std::vector<std::string> &args, const std::string &program = "") const {
        std::string out_path = home + "/generated/temp/run_out";
        std::string err_path = home + "/generated/temp/run_err";
        pid_t pid = fork();
        if (pid == 0) {
            int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int n = open("/dev/null", O_RDONLY);
            dup2(n, 0);
            dup2(o, 1);
            dup2(e, 2);
            std::vector<char *> argv;
            std::string p = program.empty() ? prog : program;
            argv.push_back(p.data());
            std::vector<std::string> copy = args;
            for (auto &a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
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

    // Starts the real daemon in the background (standard error into the log) and waits until it answers.
    bool start_daemon() {
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

    // Waits for the daemon process to end by itself; returns its exit status or -1.
    int wait_daemon(int seconds) {
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

    void stop_daemon() {
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
};

} // namespace mot_test
