// A throwaway site for end-to-end tests through the real web server: an installation with the real
// `morvale` program and `mod_morvale.so`, its own HTTP port (whose number also names the daemon's
// socket), the real daemon and the real Apache httpd (mpm_prefork) started with the configuration
// that scripts/lib/httpd_conf.sh writes, and a small HTTP client. Started as root, the installation
// belongs to "nobody", and the daemon and the server's processes run as that user; every process is
// stopped by its id.
#pragma once

#include "support/install.h"
#include "support/util.h"

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace mot_test {
inline namespace support {

struct HttpResponse {
    int status = 0;                                  // 0 when no answer came
    std::string head;                                // status line and header lines as received
    std::multimap<std::string, std::string> headers; // lower-case names
    std::string body;                                // de-chunked

    std::string header(const std::string &name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    size_t count(const std::string &name) const { return headers.count(name); }
};

// Connects to 127.0.0.1:port; -1 when nothing listens.
int site_connect(int port);
// Sends raw bytes (the whole request), optionally half-closes, and reads the answer until the server
// closes the connection or `timeout_ms` passes without data.
HttpResponse http_raw(int port, const std::string &request, bool half_close = false, int timeout_ms = 20000);
// One request with "Connection: close"; a Content-Length is added for a body (and for every POST).
HttpResponse http_request(int port, const std::string &method, const std::string &target,
                          const std::vector<std::string> &headers = {}, const std::string &body = "");

// A multipart/form-data body built part by part.
struct Multipart {
    std::string boundary = "----MorvaleTestBoundary7MA4YWxkTrZu0gW";
    std::string body;
    Multipart &value(const std::string &name, const std::string &val);
    Multipart &file(const std::string &name, const std::string &filename, const std::string &data,
                    const std::string &type = "application/octet-stream");
    std::string finish() const { return body + "--" + boundary + "--\r\n"; }
    std::string content_type() const { return "Content-Type: multipart/form-data; boundary=" + boundary; }
};

// A TCP port that is free now and whose daemon socket name is unused; never 8080.
int free_site_port();

class ApacheSite {
public:
    explicit ApacheSite(const std::string &extra_setup = "");
    ~ApacheSite();
    ApacheSite(const ApacheSite &) = delete;
    ApacheSite &operator=(const ApacheSite &) = delete;

    // The configuration line that loads the test probe (it shows what the module read from a request).
    static std::string probe();
    // The environment a shell command needs to run the server with this build's module.
    static std::string server_env();

    std::string socket_path() const { return "/tmp/morvale." + std::to_string(port); }
    std::string conf_path() const { return home + "/generated/httpd.conf"; }
    std::string error_log() const;
    std::string daemon_log() const;
    // What the server printed before its error log was open (configuration errors).
    std::string httpd_output() const;
    // Lines of the logs that tell of a server process that crashed or of a sanitizer's finding.
    std::string crash_lines() const;

    // Runs the program as the owner, with `env` added to the environment and `input` on standard input.
    RunResult run(const std::vector<std::string> &args, const std::vector<std::string> &env = {},
                  const std::string &input = "") const;
    // The real daemon, in the background as the owner, standard error into the installation's log.
    bool start_daemon();
    void stop_daemon();

    // Writes the server configuration with the project's generator (`options` are its options);
    // `extra` goes to its end.
    void write_conf(const std::string &options = "", const std::string &extra = "") const;
    // Starts Apache in the foreground mode (it stays our child) and waits until the port answers.
    // `edit` may change the written configuration first.
    bool start_httpd(const std::string &options = "", const std::string &extra = "",
                     const std::function<void(std::string &)> &edit = nullptr);
    // Waits for a server that is expected to refuse to start; its exit status, or -1.
    int wait_httpd_exit(int ms);
    void stop_httpd();

    HttpResponse get(const std::string &target, const std::vector<std::string> &headers = {}) const;
    HttpResponse post(const std::string &target, const Multipart &form,
                      const std::vector<std::string> &headers = {}) const;

    // Entries of the temporary folder (upload files live there during a request).
    std::vector<std::string> temp_files() const;

    TempDir dir;
    std::string home;
    std::string prog;
    int port = -1;
    uid_t uid; // owner of the installation; the daemon and the server's processes run as it
    gid_t gid;
    std::string user; // its name and group, given to the server when we are root
    std::string group;
    pid_t daemon_pid = -1;
    pid_t httpd_pid = -1;

private:
    void become_owner() const; // in a forked child
};

} // namespace support
} // namespace mot_test
