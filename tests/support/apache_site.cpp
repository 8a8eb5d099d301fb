// The Apache test site: installation, daemon and server processes run as the installation's owner,
// and a small HTTP/1.1 client that reads until the server closes the connection.
#include "support/apache_site.h"
#include "support/files.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mot_test {
inline namespace support {

namespace {

void shell(const std::string &cmd) {
    if (system(cmd.c_str()) != 0)
        abort();
}

std::string dechunk(const std::string &body) {
    std::string out;
    size_t pos = 0;
    while (pos < body.size()) {
        size_t eol = body.find("\r\n", pos);
        if (eol == std::string::npos)
            break;
        size_t len = strtoul(body.substr(pos, eol - pos).c_str(), nullptr, 16);
        if (len == 0)
            break;
        out += body.substr(eol + 2, len);
        pos = eol + 2 + len + 2;
    }
    return out;
}

HttpResponse parse_response(const std::string &raw) {
    HttpResponse r;
    size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos)
        return r;
    r.head = raw.substr(0, end + 2);
    r.body = raw.substr(end + 4);
    std::istringstream lines(r.head);
    std::string line;
    std::getline(lines, line);
    if (line.rfind("HTTP/1.", 0) == 0 && line.size() >= 12)
        r.status = atoi(line.c_str() + 9);
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        for (char &c : name)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        size_t v = colon + 1;
        while (v < line.size() && line[v] == ' ')
            v++;
        r.headers.emplace(name, line.substr(v));
    }
    if (r.header("transfer-encoding") == "chunked")
        r.body = dechunk(r.body);
    return r;
}

bool wait_for(pid_t pid, int ms) {
    for (int i = 0; i < ms / 20; i++) {
        int st = 0;
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        usleep(20 * 1000);
    }
    return false;
}

} // namespace

int site_connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

HttpResponse http_raw(int port, const std::string &request, bool half_close, int timeout_ms) {
    int fd = site_connect(port);
    if (fd < 0)
        return HttpResponse{};
    size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    if (half_close)
        shutdown(fd, SHUT_WR);
    std::string raw;
    char buf[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0)
            break;
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0)
            break;
        raw.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return parse_response(raw);
}

HttpResponse http_request(int port, const std::string &method, const std::string &target,
                          const std::vector<std::string> &headers, const std::string &body) {
    std::string req = method + " " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                      "\r\nConnection: close\r\n";
    for (const std::string &h : headers)
        req += h + "\r\n";
    if (!body.empty() || method == "POST")
        req += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    req += "\r\n" + body;
    return http_raw(port, req);
}

Multipart &Multipart::value(const std::string &name, const std::string &val) {
    body +=
        "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + val + "\r\n";
    return *this;
}

Multipart &Multipart::file(const std::string &name, const std::string &filename, const std::string &data,
                           const std::string &type) {
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" +
            filename + "\"\r\nContent-Type: " + type + "\r\n\r\n" + data + "\r\n";
    return *this;
}

int free_site_port() {
    for (int attempt = 0; attempt < 100; attempt++) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t len = sizeof(addr);
        int port = -1;
        if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
        close(fd);
        std::string sock = "/tmp/morvale." + std::to_string(port);
        if (port > 0 && port != 8080 && access(sock.c_str(), F_OK) != 0)
            return port;
    }
    return -1;
}

ApacheSite::ApacheSite(const std::string &extra_setup) {
    home = dir.path;
    port = free_site_port();
    uid = getuid();
    gid = getgid();
    if (uid == 0) {
        // Apache does not run its processes as root; "nobody" owns the throwaway installation.
        struct passwd *pw = getpwnam("nobody");
        struct group *gr = getgrnam("nogroup");
        if (pw == nullptr || gr == nullptr)
            abort();
        uid = pw->pw_uid;
        gid = gr->gr_gid;
        user = "nobody";
        group = "nogroup";
    }
    for (const char *d :
         {"/install/bin/linux", "/install/httpd_images", "/install/css", "/install/man", "/install/misc",
          "/install/batch", "/conf", "/generated/logs", "/generated/temp", "/generated/search",
          "/generated/httpd", "/user/lib", "/user/user_defaults", "/user/user_conf", "/user/user_html"})
        shell("mkdir -p '" + home + d + "'");
    prog = home + "/install/bin/linux/morvale";
    shell("cp '" MORVALE_BIN "' '" + prog + "' && cp '" MORVALE_MODULE "' '" + home +
          "/install/bin/linux/mod_morvale.so' && ln -s /bin/mkdir '" + home +
          "/install/bin/linux/mkdir' && ln -s /bin/sh '" + home + "/install/bin/linux/sh' && cp '" +
          MORVALE_SOURCE_DIR "/install/bin/mo_store' '" MORVALE_SOURCE_DIR "/install/bin/mo_unstore' '" +
          home + "/install/bin/'");
    write_file(home + "/conf/gen.setup", "# test site\nSERVER_PORT " + std::to_string(port) + "\nUSER_PATH " +
                                             home + "/user\n" + extra_setup);
    write_file(home + "/install/css/win.css", "BODY { color: black }\n");
    if (getuid() == 0)
        shell("chown -R " + user + ":" + group + " '" + home + "'");
}

ApacheSite::~ApacheSite() {
    stop_httpd();
    stop_daemon();
}

std::string ApacheSite::probe() {
    return "LoadModule morvale_probe_module \"" MORVALE_PROBE_MODULE "\"\n";
}

std::string ApacheSite::server_env() {
#if defined(MORVALE_ASAN_RUNTIME)
    return "LD_PRELOAD='" MORVALE_ASAN_RUNTIME "' ASAN_OPTIONS=detect_leaks=0 ";
#else
    return "";
#endif
}

std::string ApacheSite::error_log() const {
    return read_file(home + "/generated/logs/httpd_error.log");
}

std::string ApacheSite::daemon_log() const {
    return read_file(home + "/generated/logs/mo_log");
}

std::string ApacheSite::httpd_output() const {
    return read_file(home + "/generated/logs/httpd_stdout.log");
}

std::string ApacheSite::crash_lines() const {
    std::string found;
    std::istringstream lines(error_log() + httpd_output());
    std::string line;
    while (std::getline(lines, line)) {
        for (const char *sign :
             {"AddressSanitizer", "runtime error:", "Segmentation fault", "exit signal", "LeakSanitizer"}) {
            if (line.find(sign) != std::string::npos) {
                found += line + "\n";
                break;
            }
        }
    }
    return found;
}

void ApacheSite::become_owner() const {
    if (getuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(126);
    }
}

RunResult ApacheSite::run(const std::vector<std::string> &args, const std::vector<std::string> &env,
                          const std::string &input) const {
    std::string out_path = home + "/generated/run_out";
    std::string err_path = home + "/generated/run_err";
    std::string in_path = home + "/generated/run_in";
    write_file(in_path, input);
    if (getuid() == 0 && chown(in_path.c_str(), uid, gid) != 0)
        abort();
    pid_t pid = fork();
    if (pid == 0) {
        become_owner();
        int i = open(in_path.c_str(), O_RDONLY);
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(i, 0);
        dup2(o, 1);
        dup2(e, 2);
        for (const std::string &kv : env)
            putenv(strdup(kv.c_str()));
        std::vector<std::string> copy = args;
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(prog.c_str()));
        for (auto &a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(prog.c_str(), argv.data());
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

bool ApacheSite::start_daemon() {
    std::string log = home + "/generated/logs/mo_log";
    daemon_pid = fork();
    if (daemon_pid == 0) {
        become_owner();
        int e = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
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

void ApacheSite::stop_daemon() {
    if (daemon_pid > 0) {
        kill(daemon_pid, SIGTERM);
        if (!wait_for(daemon_pid, 3000)) {
            kill(daemon_pid, SIGKILL);
            wait_for(daemon_pid, 3000);
        }
        daemon_pid = -1;
    }
    unlink(socket_path().c_str());
}

void ApacheSite::write_conf(const std::string &options, const std::string &extra) const {
    std::string cmd = "sh '" MORVALE_SOURCE_DIR "/scripts/lib/httpd_conf.sh' --home '" + home + "' --port " +
                      std::to_string(port) + " --users 2 " + options;
    if (getuid() == 0)
        cmd += " --user " + user + " --group " + group;
    shell(cmd + " > '" + conf_path() + "'");
    if (!extra.empty()) {
        std::ofstream out(conf_path(), std::ios::app);
        out << extra;
    }
}

bool ApacheSite::start_httpd(const std::string &options, const std::string &extra,
                             const std::function<void(std::string &)> &edit) {
    write_conf(options, extra);
    if (edit) {
        std::string conf = read_file(conf_path());
        edit(conf);
        write_file(conf_path(), conf);
    }
    std::string out = home + "/generated/logs/httpd_stdout.log";
    httpd_pid = fork();
    if (httpd_pid == 0) {
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        int n = open("/dev/null", O_RDONLY);
        dup2(n, 0);
        dup2(o, 1);
        dup2(o, 2);
        setpgid(0, 0);
#if defined(MORVALE_ASAN_RUNTIME)
        // A module built with the sanitizers needs their runtime loaded before the server's own code.
        setenv("LD_PRELOAD", MORVALE_ASAN_RUNTIME, 1);
        setenv("ASAN_OPTIONS", "detect_leaks=0:allocator_may_return_null=1", 1);
#endif
        execl("/usr/sbin/apache2", "apache2", "-f", conf_path().c_str(), "-DFOREGROUND",
              static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 250; i++) {
        int fd = site_connect(port);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        int st = 0;
        if (waitpid(httpd_pid, &st, WNOHANG) == httpd_pid) {
            httpd_pid = -1;
            return false;
        }
        usleep(20 * 1000);
    }
    return false;
}

int ApacheSite::wait_httpd_exit(int ms) {
    for (int i = 0; i < ms / 20 && httpd_pid > 0; i++) {
        int st = 0;
        if (waitpid(httpd_pid, &st, WNOHANG) == httpd_pid) {
            httpd_pid = -1;
            return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
        usleep(20 * 1000);
    }
    return -1;
}

void ApacheSite::stop_httpd() {
    if (httpd_pid > 0) {
        // The parent stops its own processes on SIGTERM.
        kill(httpd_pid, SIGTERM);
        if (!wait_for(httpd_pid, 10000)) {
            kill(-httpd_pid, SIGKILL);
            wait_for(httpd_pid, 3000);
        }
        httpd_pid = -1;
    }
}

HttpResponse ApacheSite::get(const std::string &target, const std::vector<std::string> &headers) const {
    return http_request(port, "GET", target, headers);
}

HttpResponse ApacheSite::post(const std::string &target, const Multipart &form,
                              const std::vector<std::string> &headers) const {
    std::vector<std::string> h = headers;
    h.push_back(form.content_type());
    return http_request(port, "POST", target, h, form.finish());
}

std::vector<std::string> ApacheSite::temp_files() const {
    std::vector<std::string> names;
    std::string listing = home + "/generated/temp";
    if (DIR *d = opendir(listing.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

} // namespace support
} // namespace mot_test
