// Simulated users against a real site, the faults injected under them, and the check of the data files
// afterwards (see load.h).
#include "support/load.h"
#include "e2e_users.h"
#include "daemon/molk_lock.h"
#include "support/files.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace mot_test {
inline namespace support {

namespace {

using Clock = std::chrono::steady_clock;

bool has(const std::string &text, const std::string &what) {
    return text.find(what) != std::string::npos;
}

std::string user_name(int i) {
    char name[16];
    snprintf(name, sizeof(name), "load%02d", i + 1);
    return name;
}

// Resident memory (kB) of every process whose parent is `parent`.
std::map<int, long> children_rss(pid_t parent) {
    std::map<int, long> rss;
    DIR *proc = opendir("/proc");
    if (proc == nullptr)
        return rss;
    while (dirent *e = readdir(proc)) {
        int pid = atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
        size_t pp = status.find("PPid:");
        size_t vm = status.find("VmRSS:");
        if (pp == std::string::npos || vm == std::string::npos || atoi(status.c_str() + pp + 5) != parent)
            continue;
        rss[pid] = atol(status.c_str() + vm + 6);
    }
    closedir(proc);
    return rss;
}

// A request that waits as long as a lock left by a killed child may hold its page up (the write
// lock's timeout and a little more) before it counts as unanswered.
HttpResponse load_request(int port, const std::string &method, const std::string &target,
                          const std::vector<std::string> &headers, const std::string &body = "") {
    std::string req = method + " " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                      "\r\nConnection: close\r\n";
    for (const std::string &h : headers)
        req += h + "\r\n";
    if (method == "POST")
        req += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return http_raw(port, req + "\r\n" + body, false, (MOLK_WRITE_TIMEOUT + 30) * 1000);
}

enum class Kind { expected, error_page, daemon_page, login_page, no_answer, foreign };

// Sorts an answer. `marker` is a text only the asked-for page has ("" for any complete page that is
// none of the system's failure pages).
Kind classify(const HttpResponse &r, const std::string &marker) {
    if (r.status == 0)
        return Kind::no_answer;
    if (r.status != 200)
        return Kind::foreign;
    // Every page of the system ends its document; a page cut short ends the connection early.
    bool complete = has(r.body, "</HTML>") || has(r.body, "</html>");
    if (!complete)
        return Kind::no_answer;
    if (has(r.body, "<H2>Daemon Communication Problem </H2>"))
        return Kind::daemon_page;
    if (has(r.body, "<FORM NAME=\"Login\""))
        return Kind::login_page;
    if (has(r.body, "<B>Error:</B>"))
        return Kind::error_page;
    if (marker.empty() || has(r.body, marker))
        return Kind::expected;
    return Kind::foreign;
}

// An entry an editor created: what the data file and its history must show at the end.
struct Tracked {
    std::string list;  // the list's page name
    std::string field; // the column the editor changes
    int id = 0;
    bool create_confirmed = false;
    bool create_uncertain = false;
    std::string last_confirmed;          // stored text of the last confirmed value
    std::vector<std::string> after_last; // values tried since then whose outcome is unknown
    long confirmed = 0;                  // changes confirmed (the creation included)
    long uncertain = 0;                  // changes whose answer never came
};

// Where a list keeps its data and its history, and how a value is stored.
struct ListDef {
    const char *page;    // the list's page name in addresses
    const char *file;    // data file under lib/
    const char *history; // history folder under lib/
    const char *field;   // the field the editors set
    const char *stored;  // what the file puts before the value
    const char *marker;  // a text of its list page
};

const ListDef lists[] = {
    {"groups", "groups/0", "groups/history", "N", "^", "groups"},
    {"mgroups", "index/0/0", "index/0/history", "S", "", "mgroups"},
    {"passwd_profile", "passwd/0", "passwd/history", "F", "", "passwd_profile"},
};

const ListDef &list_def(const std::string &page) {
    for (const ListDef &d : lists)
        if (page == d.page)
            return d;
    abort();
}

// Records of a keyword record file: keyword -> value per record (first value of a keyword).
std::vector<std::map<std::string, std::string>> parse_records(const std::string &text) {
    std::vector<std::map<std::string, std::string>> records(1);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "------") {
            records.emplace_back();
            continue;
        }
        size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        records.back().emplace(key, space == std::string::npos ? "" : line.substr(space + 1));
    }
    if (records.back().empty())
        records.pop_back();
    return records;
}

// Why a data file is not a whole keyword record file ("" when it is): every record a run of
// "KEYWORD value" lines, records parted by "------", the last line ended.
std::string record_file_problem(const std::string &text) {
    if (text.empty())
        return "empty";
    if (text.back() != '\n')
        return "last line not ended";
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        if (line == "------") {
            first = true;
            continue;
        }
        size_t n = 0;
        while (n < line.size() && (isupper(static_cast<unsigned char>(line[n])) ||
                                   isdigit(static_cast<unsigned char>(line[n])) || line[n] == '_'))
            n++;
        if (n == 0 || (n < line.size() && line[n] != ' '))
            return "line not a keyword line: " + line.substr(0, 60);
        if (first && line.rfind("ID ", 0) != 0 && line.rfind("MOD", 0) != 0)
            return "record not starting with its ID: " + line.substr(0, 60);
        first = false;
    }
    return "";
}

struct Shared {
    ApacheSite &site;
    const LoadOptions &options;
    Clock::time_point end;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    LoadReport report;
    // The daemon is away (between its stop and its start again): failure pages are expected then.
    std::atomic<bool> daemon_away{false};
    std::set<std::string> seen_files; // data files found by the watcher (its thread only)
    bool frameset = true;             // the site serves the frameset (it needs the folder tree)

    Shared(ApacheSite &s, const LoadOptions &o) : site(s), options(o) {}

    // Counts an answer; gives its kind.
    Kind count(const std::string &page_kind, const std::string &who, const std::string &target,
               const HttpResponse &r, const std::string &marker, double ms) {
        Kind k = classify(r, marker);
        std::lock_guard<std::mutex> hold(mutex);
        report.requests++;
        report.latency_ms[page_kind].push_back(ms);
        switch (k) {
            case Kind::expected:
                report.expected++;
                return k;
            case Kind::error_page:
                report.error_pages++;
                break;
            case Kind::daemon_page:
                report.daemon_pages++;
                break;
            case Kind::login_page:
                report.login_pages++;
                break;
            case Kind::no_answer:
                report.no_answer++;
                break;
            case Kind::foreign:
                report.foreign++;
                break;
        }
        if (report.samples.size() < 12) {
            std::string body = r.body;
            size_t at = body.find("Error:");
            body = body.substr(at == std::string::npos ? 0 : at, 300);
            report.samples.push_back(who + " " + page_kind + " " + target + " -> status " +
                                     std::to_string(r.status) + ": " + body);
        }
        return k;
    }
};

// One simulated user.
class User {
public:
    User(Shared &shared, int index, const std::string &cookie)
        : s_(shared), index_(index), name_(user_name(index)), cookie_(cookie), rng_(1000 + index) {}

    void run() {
        while (Clock::now() < s_.end) {
            browse();
            if (index_ < s_.options.editors && Clock::now() < s_.end)
                change();
        }
        if (index_ < s_.options.editors)
            close_forms();
    }

    std::vector<Tracked> tracked;
    std::vector<int> viewable; // the lists this user may view

private:
    HttpResponse get(const std::string &kind, const std::string &target, const std::string &marker,
                     Kind *kind_out = nullptr) {
        auto start = Clock::now();
        HttpResponse r = load_request(s_.site.port, "GET", target, {cookie_});
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        Kind k = s_.count(kind, name_, target, r, marker, ms);
        if (kind_out != nullptr)
            *kind_out = k;
        return r;
    }
    HttpResponse post(const std::string &kind, const std::string &target, const Multipart &form,
                      const std::string &marker, Kind *kind_out) {
        auto start = Clock::now();
        HttpResponse r =
            load_request(s_.site.port, "POST", target, {cookie_, form.content_type()}, form.finish());
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        *kind_out = s_.count(kind, name_, target, r, marker, ms);
        return r;
    }
    static std::string link(const std::string &display, const std::string &trail, const std::string &list,
                            const std::string &rest) {
        return "/main?content&" + display + "&" + trail + "&docs&0&0&0&" + list + "&" + rest;
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // The frameset and its frames, then a list, one of its elements and sometimes its history.
    void browse() {
        Kind k = Kind::foreign;
        HttpResponse frames;
        if (s_.frameset)
            frames = get("frameset", "/main", "<FRAMESET", &k);
        if (k == Kind::expected) {
            for (const char *frame : {"nav", "dir"}) {
                std::string key = "\" NAME=\"" + std::string(frame) + "\"";
                size_t at = frames.body.find(key);
                size_t src = at == std::string::npos ? at : frames.body.rfind("<FRAME SRC=\"", at);
                if (src == std::string::npos)
                    continue;
                std::string target = frames.body.substr(src + 12, at - src - 12);
                size_t amp;
                while ((amp = target.find("&amp;")) != std::string::npos)
                    target.replace(amp, 5, "&");
                get(frame == std::string("nav") ? "top bar" : "directory column", "/" + target, "");
            }
        }
        if (viewable.empty())
            return;
        const ListDef &def = lists[viewable[static_cast<size_t>(pick(static_cast<int>(viewable.size())))]];
        HttpResponse page = get("list", link("content", "A", def.page, "list"), "&sort_toggle&", &k);
        if (k != Kind::expected)
            return;
        // The elements the page shows, by their rows' tick boxes.
        std::vector<int> ids;
        const std::string key = "NAME=\"PICKER_CHECK\" VALUE=\"";
        for (size_t at = page.body.find(key); at != std::string::npos; at = page.body.find(key, at + 1))
            ids.push_back(atoi(page.body.c_str() + at + key.size()));
        if (ids.empty())
            return;
        int id = ids[pick(static_cast<int>(ids.size()))];
        get("element", link("content", "A", def.page, "view&ID&" + std::to_string(id)), "</TABLE>");
        // Histories: the groups' (a normal user's list links to its own record's history, which the
        // history page refuses; a mail group's history page reads another file; the history of a user
        // just created is refused now and then: see the load test's notes).
        if (pick(4) == 0 && def.page == std::string("groups")) {
            std::string history = def.page == std::string("passwd_profile")
                                      ? "passwd_history"
                                      : std::string(def.page) + "_history";
            get("history",
                "/main?content&content&A&docs&0&0&" + std::to_string(id) + "&" + history + "&" +
                    std::to_string(id) + "&list",
                "");
        }
    }

    // Creates an entry (every third change, and while it has none of a list) or edits one of its own.
    void change() {
        const ListDef &def = lists[pick(3)];
        std::vector<Tracked *> mine;
        for (Tracked &t : tracked)
            if (t.list == def.page && t.create_confirmed && !t.create_uncertain)
                mine.push_back(&t);
        if (mine.empty() || pick(3) == 0)
            create(def);
        else
            edit(def, *mine[pick(static_cast<int>(mine.size()))]);
    }

    std::string value_for(const ListDef &def, int serial) {
        char text[64];
        snprintf(text, sizeof(text), "%s%sv%d", def.page == std::string("groups") ? "G" : "L", name_.c_str(),
                 serial);
        return text;
    }

    // The form fields of one save.
    Multipart form_for(const ListDef &def, const std::string &value, bool is_new) {
        Multipart form;
        form.value(def.field, value);
        if (is_new && def.page == std::string("passwd_profile"))
            form.value("U", "u" + value).value("PM", "Normal");
        if (is_new && def.page == std::string("mgroups"))
            form.value("A", "load@example.com");
        form.value("OK.x", "3");
        return form;
    }

    // Saves a form and records what the answer tells about the change.
    void save(const ListDef &def, Tracked &t, const std::string &value, bool is_new) {
        Kind k;
        HttpResponse r = post(is_new ? "save new" : "save edit",
                              link("none", "N", def.page, "edit_end&ID&" + std::to_string(t.id)),
                              form_for(def, value, is_new), "<TITLE>Reload</TITLE>", &k);
        std::string stored = def.stored + value;
        if (k == Kind::expected) {
            t.confirmed++;
            t.last_confirmed = stored;
            t.after_last.clear();
            if (is_new)
                t.create_confirmed = true;
            std::lock_guard<std::mutex> hold(s_.mutex);
            s_.report.changes_confirmed++;
        } else {
            // The change may have been made or not: the files may show either.
            t.uncertain++;
            t.after_last.push_back(stored);
            if (is_new)
                t.create_uncertain = true;
            std::lock_guard<std::mutex> hold(s_.mutex);
            s_.report.changes_uncertain++;
        }
    }

    void create(const ListDef &def) {
        Kind k;
        HttpResponse form = get("new form", link("blank", "N", def.page, "new"), "NAME=\"edit\"", &k);
        const std::string key = "edit_end&amp;ID&amp;";
        size_t at = form.body.find(key);
        if (k != Kind::expected || at == std::string::npos)
            return; // no element was shown: at most a hidden new one, which is no change
        Tracked t;
        t.list = def.page;
        t.field = def.field;
        t.id = atoi(form.body.c_str() + at + key.size());
        save(def, t, value_for(def, serial_++), true);
        // The same id again: an earlier creation whose answer never came did not happen, and its
        // element was given out anew. A confirmed one given out again would be lost.
        for (auto it = tracked.begin(); it != tracked.end(); ++it) {
            if (it->list != t.list || it->id != t.id)
                continue;
            if (it->create_confirmed) {
                std::lock_guard<std::mutex> hold(s_.mutex);
                s_.report.lost += it->confirmed;
                s_.report.problems.push_back(t.list + " " + std::to_string(t.id) +
                                             ": a confirmed entry's id was given to a new one");
            }
            tracked.erase(it);
            break;
        }
        tracked.push_back(t);
    }

    void edit(const ListDef &def, Tracked &t) {
        Kind k;
        get("edit form", link("blank", "N", def.page, "edit_start&ID&" + std::to_string(t.id)),
            "NAME=\"edit\"", &k);
        if (k != Kind::expected)
            return;
        save(def, t, value_for(def, serial_++), false);
    }

    // Opening a form gives up the forms of the list the user left open (a save cut short by a fault
    // leaves its element locked); cancelling it gives its own lock back.
    void close_forms() {
        for (const Tracked &t : tracked) {
            if (!t.create_confirmed)
                continue;
            const ListDef &def = list_def(t.list);
            s_.site.get(link("blank", "N", def.page, "edit_start&ID&" + std::to_string(t.id)), {cookie_});
            s_.site.post(link("none", "N", def.page, "edit_end&ID&" + std::to_string(t.id)),
                         Multipart().value("Cancel.x", "3"), {cookie_});
        }
    }

    Shared &s_;
    int index_;
    std::string name_;
    std::string cookie_;
    std::mt19937 rng_;
    int serial_ = 1;
};

// Every regular file under `dir`, relative to `root`.
void walk(const std::string &root, const std::string &dir, std::vector<std::string> &out) {
    DIR *d = opendir((root + "/" + dir).c_str());
    if (d == nullptr)
        return;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        std::string rel = dir.empty() ? n : dir + "/" + n;
        struct stat st {};
        if (lstat((root + "/" + rel).c_str(), &st) != 0)
            continue; // replaced in between
        if (S_ISDIR(st.st_mode))
            walk(root, rel, out);
        else if (S_ISREG(st.st_mode))
            out.push_back(rel);
    }
    closedir(d);
}

// Data files are the lists' files and their histories; a temporary file of a write in progress is
// not one of them.
bool is_data_file(const std::string &rel) {
    std::string base = rel.substr(rel.rfind('/') + 1);
    if (base.empty() || !isdigit(static_cast<unsigned char>(base[0])))
        return false;
    return std::all_of(base.begin(), base.end(),
                       [](char c) { return isdigit(static_cast<unsigned char>(c)); });
}

// Parses every data file once; counts the ones missing, partial or unreadable.
void check_files(Shared &s, const std::string &lib) {
    std::vector<std::string> files;
    walk(lib, "", files);
    long bad = 0;
    std::vector<std::string> notes;
    // A data file once seen must stay (a list's file appears with its first entry).
    for (const std::string &rel : s.seen_files) {
        if (std::find(files.begin(), files.end(), rel) == files.end()) {
            bad++;
            notes.push_back(rel + ": missing");
        }
    }
    for (const std::string &rel : files) {
        if (!is_data_file(rel))
            continue;
        std::string text = read_file(lib + "/" + rel);
        std::string why = record_file_problem(text);
        // A file removed between the listing and the read is no damage.
        if (!why.empty() && !(text.empty() && access((lib + "/" + rel).c_str(), F_OK) != 0)) {
            bad++;
            notes.push_back(rel + ": " + why);
        }
        s.seen_files.insert(rel);
    }
    std::lock_guard<std::mutex> hold(s.mutex);
    s.report.file_checks++;
    s.report.bad_files += bad;
    for (const std::string &n : notes)
        if (s.report.problems.size() < 40)
            s.report.problems.push_back(n);
}

// SIGKILL to random server children, the daemon stopped and started again once half-way.
void inject_faults(Shared &s) {
    std::mt19937 rng(42);
    auto start = Clock::now();
    auto half = start + (s.end - start) / 2;
    bool restarted = false;
    while (Clock::now() < s.end) {
        int pause = std::uniform_int_distribution<int>(s.options.kill_every_ms / 2,
                                                       s.options.kill_every_ms * 3 / 2)(rng);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        if (Clock::now() >= s.end)
            break;
        std::map<int, long> children = children_rss(s.site.httpd_pid);
        if (!children.empty()) {
            auto it = children.begin();
            std::advance(it,
                         std::uniform_int_distribution<int>(0, static_cast<int>(children.size()) - 1)(rng));
            if (kill(it->first, SIGKILL) == 0) {
                std::lock_guard<std::mutex> hold(s.mutex);
                s.report.kills++;
            }
        }
        if (!restarted && Clock::now() >= half) {
            restarted = true;
            s.daemon_away = true;
            s.site.stop_daemon();
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            bool up = s.site.start_daemon();
            s.daemon_away = false;
            std::lock_guard<std::mutex> hold(s.mutex);
            s.report.restarted = up;
            if (!up)
                s.report.problems.push_back("the daemon did not start again");
        }
    }
}

// Compares the data files with what the editors saw confirmed.
void check_changes(Shared &s, const std::vector<User *> &users) {
    LoadReport &rep = s.report;
    std::string lib = s.site.home + "/user/lib";
    for (const ListDef &def : lists) {
        auto records = parse_records(read_file(lib + "/" + def.file));
        std::map<int, std::map<std::string, std::string>> by_id;
        std::map<std::string, int> value_count;
        for (auto &rec : records) {
            int id = atoi(rec["ID"].c_str());
            if (by_id.count(id) != 0) {
                rep.duplicated++;
                rep.problems.push_back(std::string(def.file) + ": ID " + std::to_string(id) + " twice");
            }
            by_id[id] = rec;
            if (rec["NEW"] == "0")
                value_count[rec[def.field]]++;
        }
        std::set<int> ours;
        for (const User *u : users) {
            for (const Tracked &t : u->tracked) {
                if (t.list != def.page)
                    continue;
                ours.insert(t.id);
                std::string where = std::string(def.page) + " " + std::to_string(t.id);
                auto it = by_id.find(t.id);
                bool shown = it != by_id.end() && it->second["NEW"] == "0";
                if (t.create_confirmed && !shown) {
                    rep.lost += t.confirmed;
                    rep.problems.push_back(where + ": created, but not in " + def.file);
                    continue;
                }
                if (!shown)
                    continue; // a creation whose answer never came and which did not happen
                std::string value = it->second[def.field];
                bool fits = value == t.last_confirmed ||
                            std::find(t.after_last.begin(), t.after_last.end(), value) != t.after_last.end();
                if (!fits) {
                    rep.lost++;
                    rep.problems.push_back(where + ": holds \"" + value + "\", the last change was \"" +
                                           t.last_confirmed + "\"");
                }
                if (value_count[value] > 1) {
                    rep.duplicated += value_count[value] - 1;
                    rep.problems.push_back(where + ": \"" + value + "\" stored " +
                                           std::to_string(value_count[value]) + " times");
                }
                std::string history = read_file(lib + "/" + def.history + "/" + std::to_string(t.id));
                long entries = static_cast<long>(count_of(history, "\nOP ") + (history.rfind("OP ", 0) == 0));
                if (entries < t.confirmed) {
                    rep.lost += t.confirmed - entries;
                    rep.problems.push_back(where + ": " + std::to_string(entries) + " history entries for " +
                                           std::to_string(t.confirmed) + " confirmed changes");
                } else if (entries > t.confirmed + t.uncertain) {
                    rep.duplicated += entries - t.confirmed - t.uncertain;
                    rep.problems.push_back(where + ": " + std::to_string(entries) + " history entries for " +
                                           std::to_string(t.confirmed) + " changes (" +
                                           std::to_string(t.uncertain) + " uncertain)");
                }
            }
        }
        // Entries with an editor's value that no editor created (a creation stored twice).
        for (auto &[id, rec] : by_id) {
            const std::string &v = rec[def.field];
            bool load_value = v.rfind(std::string(def.stored) + "Gload", 0) == 0 ||
                              v.rfind(std::string(def.stored) + "Lload", 0) == 0;
            if (rec["NEW"] == "0" && load_value && ours.count(id) == 0) {
                rep.duplicated++;
                rep.problems.push_back(std::string(def.page) + " " + std::to_string(id) + ": \"" + v +
                                       "\" was never created by an editor");
            }
        }
    }
}

// The locks the daemon still lists.
std::vector<std::string> daemon_locks(Shared &s) {
    std::vector<std::string> found;
    RunResult r = s.site.run({"daemon", "check"});
    if (r.status != 0) {
        s.report.problems.push_back("daemon check failed: " + r.out + r.err);
        return found;
    }
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line))
        if (has(line, " was locked "))
            found.push_back(line);
    return found;
}

// Seconds in a lock's age as the daemon words it ("1 minutes 45 secs ago").
long age_seconds(const std::string &line) {
    size_t at = line.find(" was locked ");
    size_t end = line.find(" ago by ", at);
    if (at == std::string::npos || end == std::string::npos)
        return 0;
    std::istringstream words(line.substr(at + 12, end - at - 12));
    long total = 0, n = 0;
    std::string word;
    while (words >> word) {
        if (isdigit(static_cast<unsigned char>(word[0])))
            n = atol(word.c_str());
        else if (word.rfind("day", 0) == 0)
            total += n * 86400;
        else if (word.rfind("hour", 0) == 0)
            total += n * 3600;
        else if (word.rfind("min", 0) == 0)
            total += n * 60;
        else if (word.rfind("sec", 0) == 0)
            total += n;
    }
    return total;
}

// A killed child cannot give its locks back: they must end once their timeout has passed, at the
// next request that needs them. For each file lock left, waits until it is older than its timeout,
// then sends the request that needs it (a save of an element of a list's file, else a page of the
// user who held it, which writes that user's files), which must be answered and take the lock over.
void check_locks(Shared &s, const std::vector<User *> &users, const std::vector<std::string> &cookies) {
    std::vector<std::string> left = daemon_locks(s);
    s.report.locks_left = static_cast<long>(left.size());
    for (const std::string &line : left) {
        if (has(line, ") element ")) {
            s.report.problems.push_back("an element lock stayed after every form was closed: " + line);
            continue;
        }
        long timeout = has(line, ") file for writing") ? MOLK_WRITE_TIMEOUT : MOLK_READ_TIMEOUT;
        long wait = timeout - age_seconds(line) + 2;
        if (wait > 0)
            std::this_thread::sleep_for(std::chrono::seconds(wait));
        size_t open = line.find("file(/");
        size_t close = line.find(") file for ", open);
        std::string lib = s.site.home + "/user/lib/";
        std::string file = open == std::string::npos || close == std::string::npos
                               ? ""
                               : line.substr(open + 5, close - open - 5);
        if (file.rfind(lib, 0) == 0)
            file = file.substr(lib.size());
        // The element whose save needs that file: the one a history file is of, or any of a list's.
        const ListDef *def = nullptr;
        int id = 0;
        for (const ListDef &d : lists) {
            std::string history = std::string(d.history) + "/";
            if (file == d.file || file.rfind(history, 0) == 0) {
                def = &d;
                id = file == d.file ? 0 : atoi(file.c_str() + history.size());
            }
        }
        for (const User *u : users)
            for (const Tracked &t : u->tracked)
                if (def != nullptr && id == 0 && t.list == def->page && t.create_confirmed)
                    id = t.id;
        HttpResponse r;
        std::string what;
        if (def != nullptr && id != 0) {
            std::string base = "/main?content&blank&N&docs&0&0&0&" + std::string(def->page);
            load_request(s.site.port, "GET", base + "&edit_start&ID&" + std::to_string(id), {cookies[0]});
            Multipart form;
            form.value(def->field,
                       std::string(def->page) == "groups" ? "after_the_timeout" : "after the timeout")
                .value("OK.x", "1");
            r = load_request(s.site.port, "POST",
                             "/main?content&none&N&docs&0&0&0&" + std::string(def->page) + "&edit_end&ID&" +
                                 std::to_string(id),
                             {cookies[0], form.content_type()}, form.finish());
            what = "saving " + std::string(def->page) + " " + std::to_string(id);
            if (!has(r.body, "<TITLE>Reload</TITLE>"))
                s.report.problems.push_back(what +
                                            " after the lock's timeout failed: " + r.body.substr(0, 400));
        } else {
            // The holder by its full name, "Load User N".
            size_t by = line.find(" ago by Load User ");
            int n = by == std::string::npos ? 0 : atoi(line.c_str() + by + 18);
            if (n < 1 || n > static_cast<int>(cookies.size())) {
                s.report.problems.push_back("a lock of no list's file and no load user: " + line);
                continue;
            }
            // The frameset and its top bar read the user's last places of every tab; the list page
            // reads and writes the user's list options.
            const std::string &cookie = cookies[static_cast<size_t>(n - 1)];
            load_request(s.site.port, "GET", "/main", {cookie});
            load_request(s.site.port, "GET", "/main?nav&nav&A&docs&0&0&0&passwd_profile&list", {cookie});
            r = load_request(s.site.port, "GET", "/main?content&content&A&docs&0&0&0&passwd_profile&list",
                             {cookie});
            if (classify(r, "&sort_toggle&") != Kind::expected)
                s.report.problems.push_back(
                    user_name(n - 1) + "'s page after the lock's timeout failed: " + r.body.substr(0, 400));
        }
    }
    for (const std::string &line : daemon_locks(s))
        if (!has(line, ") element "))
            s.report.stale_locks.push_back(line);
}

} // namespace

double LoadReport::percentile(const std::string &kind, double p) const {
    auto it = latency_ms.find(kind);
    if (it == latency_ms.end() || it->second.empty())
        return 0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    size_t at = static_cast<size_t>(p / 100.0 * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(at, v.size() - 1)];
}

void LoadReport::print(FILE *out) const {
    for (const auto &[list, n] : refused)
        fprintf(out, "%ld users may not view the list %s\n", n, list.c_str());
    if (!frameset)
        fprintf(out,
                "the site serves no frameset (no folder tree): the frameset and its frames were left out\n");
    fprintf(out, "%ld requests in %.1f s: %.1f requests/s\n", requests, seconds,
            seconds > 0 ? static_cast<double>(requests) / seconds : 0.0);
    fprintf(out, "%-18s %8s %10s %10s\n", "page kind", "count", "p50 ms", "p99 ms");
    for (const auto &[kind, v] : latency_ms)
        fprintf(out, "%-18s %8zu %10.1f %10.1f\n", kind.c_str(), v.size(), percentile(kind, 50),
                percentile(kind, 99));
    fprintf(out,
            "answers: %ld expected pages, %ld error pages, %ld daemon problem pages, %ld login pages, "
            "%ld cut or missing, %ld not a page of the system\n",
            expected, error_pages, daemon_pages, login_pages, no_answer, foreign);
    if (kills > 0 || restarted)
        fprintf(out, "faults: %ld server children killed, daemon restarted: %s\n", kills,
                restarted ? "yes" : "no");
    fprintf(out, "changes: %ld confirmed, %ld uncertain; lost %ld, duplicated %ld\n", changes_confirmed,
            changes_uncertain, lost, duplicated);
    fprintf(out,
            "data files parsed %ld times, %ld bad; %ld locks left by killed children, %zu of them "
            "still there after their timeout\n",
            file_checks, bad_files, locks_left, stale_locks.size());
    fprintf(out, "server children: %zu processes, %ld kB at the start; %zu processes, %ld kB at the end\n",
            procs_start, rss_start_kb, procs_end, rss_end_kb);
    for (const std::string &p : problems)
        fprintf(out, "  problem: %s\n", p.c_str());
    for (const std::string &l : stale_locks)
        fprintf(out, "  lock: %s\n", l.c_str());
    for (const std::string &a : samples)
        fprintf(out, "  answer: %s\n", a.c_str());
}

void write_load_users(const ApacheSite &site, const LoadOptions &options) {
    std::vector<TestUser> users;
    for (int i = 0; i < options.users; i++)
        users.push_back({.id = 2 + i,
                         .name = user_name(i),
                         .password = "pw-" + user_name(i),
                         .privilege = i < options.editors ? 100 : 40,
                         .full_name = "Load User " + std::to_string(i + 1)});
    write_users(site.home, users, site.uid, site.gid);
}

LoadReport run_load(ApacheSite &site, const LoadOptions &options) {
    Shared s(site, options);
    // Every user logs in through the login form, as a browser does.
    std::vector<std::string> cookies;
    for (int i = 0; i < options.users; i++) {
        Multipart form;
        form.value("U", user_name(i)).value("P", "pw-" + user_name(i));
        HttpResponse r = site.post("/main", form);
        std::string cookie;
        for (auto it = r.headers.lower_bound("set-cookie"); it != r.headers.upper_bound("set-cookie"); ++it) {
            std::string c = it->second.substr(0, it->second.find(';'));
            if (c.rfind("U=", 0) == 0 && c != "U=:")
                cookie = "Cookie: " + c;
        }
        if (cookie.empty()) {
            s.report.problems.push_back(user_name(i) + " could not log in: " + r.body.substr(0, 300));
            return s.report;
        }
        cookies.push_back(cookie);
    }
    // Without the folder tree the site has no frameset: the users open the pages by address then.
    s.frameset = classify(site.get("/main", {cookies[0]}), "<FRAMESET") == Kind::expected;
    s.report.frameset = s.frameset;
    std::map<int, long> before = children_rss(site.httpd_pid);
    s.report.procs_start = before.size();
    for (const auto &e : before)
        s.report.rss_start_kb += e.second;

    std::vector<User *> users;
    for (int i = 0; i < options.users; i++)
        users.push_back(new User(s, i, cookies[static_cast<size_t>(i)]));
    // The lists each user may view (a normal user sees the group and mail-group lists only where the
    // folder tree's access lists give them).
    for (size_t i = 0; i < users.size(); i++) {
        for (int l = 0; l < 3; l++) {
            HttpResponse r = site.get(
                "/main?content&content&A&docs&0&0&0&" + std::string(lists[l].page) + "&list", {cookies[i]});
            if (classify(r, "&sort_toggle&") == Kind::expected)
                users[i]->viewable.push_back(l);
            else if (has(r.body, "Sorry you don't have sufficient access privileges"))
                s.report.refused[lists[l].page]++;
            else
                s.report.problems.push_back(user_name(static_cast<int>(i)) + " could not open the list " +
                                            lists[l].page + ": " + r.body.substr(0, 300));
        }
    }
    auto start = Clock::now();
    s.end = start + std::chrono::seconds(options.seconds);
    std::vector<std::thread> threads;
    for (User *u : users)
        threads.emplace_back([u] { u->run(); });
    std::string lib = site.home + "/user/lib";
    std::thread watcher([&s, &lib] {
        while (!s.stop) {
            check_files(s, lib);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::thread faults;
    if (options.faults)
        faults = std::thread([&s] { inject_faults(s); });
    for (std::thread &t : threads)
        t.join();
    s.report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (faults.joinable())
        faults.join();
    s.stop = true;
    watcher.join();
    check_files(s, lib);

    std::map<int, long> after = children_rss(site.httpd_pid);
    s.report.procs_end = after.size();
    for (const auto &e : after)
        s.report.rss_end_kb += e.second;

    // After the faults every user carries on with the cookie it has.
    for (size_t i = 0; i < cookies.size(); i++) {
        HttpResponse r = load_request(
            site.port, "GET", s.frameset ? "/main" : "/main?content&content&A&docs&0&0&0&passwd_profile&list",
            {cookies[i]});
        Kind k = classify(r, s.frameset ? "<FRAMESET" : "&sort_toggle&");
        if (k != Kind::expected)
            s.report.problems.push_back(user_name(static_cast<int>(i)) +
                                        " lost its session: " + r.body.substr(0, 200));
    }
    check_changes(s, users);
    check_locks(s, users, cookies);
    for (User *u : users)
        delete u;
    return s.report;
}

} // namespace support
} // namespace mot_test
