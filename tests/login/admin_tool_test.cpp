// End to end: the administration program `mo_aux` on a throwaway installation, fed its password
// through a pipe and through a terminal, and the setup loader reading what it wrote.
#include "apps/mocr_crypt.h"
#include "support/files.h"
#include "support/install.h"
#include "entry/mox_aux.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <vector>

using mot_test::read_file;
using mot_test::RunResult;
using mot_test::write_file;

namespace {

// Runs mo_aux with `input` on its standard input (a pipe).
RunResult run_aux(const std::vector<std::string> &args, const std::string &input) {
    mot_test::TempDir tmp;
    std::string in_path = tmp.path + "/in", out_path = tmp.path + "/out", err_path = tmp.path + "/err";
    write_file(in_path, input);
    pid_t pid = fork();
    if (pid == 0) {
        int i = open(in_path.c_str(), O_RDONLY);
        int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        // A pipe, not a file, as an administrator's `echo pw | mo_aux ...` gives.
        int p[2];
        if (pipe(p) != 0)
            _exit(126);
        if (fork() == 0) {
            close(p[0]);
            char buf[256];
            ssize_t n;
            while ((n = read(i, buf, sizeof(buf))) > 0)
                if (write(p[1], buf, static_cast<size_t>(n)) != n)
                    break;
            _exit(0);
        }
        close(p[1]);
        dup2(p[0], 0);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char *> argv;
        std::string prog = MORVALE_AUX_BIN;
        argv.push_back(prog.data());
        std::vector<std::string> copy = args;
        for (auto &a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(prog.c_str(), argv.data());
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    return r;
}

// The value of the one ADMIN_PASSWD line of a setup text ("" when none), and how many there are.
std::string admin_line(const std::string &text, int *count) {
    std::string value;
    *count = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        size_t b = line.find_first_not_of(" \t");
        if (b != std::string::npos && line.compare(b, 13, "ADMIN_PASSWD ") == 0) {
            value = line.substr(b + 13);
            (*count)++;
        }
        if (nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    return value;
}

mode_t mode_of(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

} // namespace

TEST(AdminTool, SetsTheHashKeepsTheOtherLinesAndTheLoaderReadsIt) {
    mot_test::Installation inst;
    std::string site = inst.home + "/user/user_conf/gen.setup";
    write_file(site, "# the site's own settings\nPROD_NAME Site Docs\n  ADMIN_PASSWD old-one\n"
                     "SESSION_HOURS 4\nADMIN_PASSWD\tolder\nCOMPANY_NAME Acme\n");
    RunResult r = run_aux({"set_admin_password", inst.home}, "Adm1n pass\nsecond line\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find(site), std::string::npos) << r.out;
    std::string text = read_file(site);
    EXPECT_EQ(text.find("Adm1n pass"), std::string::npos) << "only the hash is written";
    EXPECT_EQ(r.out.find("Adm1n pass"), std::string::npos);
    int count = 0;
    std::string hash = admin_line(text, &count);
    EXPECT_EQ(count, 1) << text;
    EXPECT_EQ(hash.substr(0, 3), "$y$");
    EXPECT_TRUE(mocr_crypt_verify("Adm1n pass", hash.c_str()));
    EXPECT_FALSE(mocr_crypt_verify("second line", hash.c_str()));
    EXPECT_EQ(text, "# the site's own settings\nPROD_NAME Site Docs\nADMIN_PASSWD " + hash +
                        "\nSESSION_HOURS 4\nCOMPANY_NAME Acme\n");
    EXPECT_EQ(mode_of(site), 0600u);

    // Every process reads the key with the other settings.
    MOX_AUX_T *aux = nullptr;
    ASSERT_EQ(moux_unix_construct(&aux, nullptr), 0);
    ASSERT_EQ(aux->setup->init_paths(aux->setup, inst.home.c_str()), 0);
    ASSERT_EQ(aux->setup->load_setup_file(aux->setup, aux), 0);
    EXPECT_EQ(std::string(aux->setup->admin_passwd), hash);
    EXPECT_EQ(aux->setup->session_hours, 4);
    EXPECT_STREQ(aux->setup->prod_name, "Site Docs");

    // A second change replaces the first; the old password no longer opens.
    r = run_aux({"set_admin_password", inst.home}, "n3w password\r\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string hash2 = admin_line(read_file(site), &count);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(mocr_crypt_verify("n3w password", hash2.c_str())) << "a CR LF line end is no part of it";
    EXPECT_FALSE(mocr_crypt_verify("Adm1n pass", hash2.c_str()));

    // A site without its own setup file gets one holding only the key.
    unlink(site.c_str());
    r = run_aux({"set_admin_password", inst.home}, "fresh-pass");
    ASSERT_EQ(r.status, 0) << r.err;
    text = read_file(site);
    EXPECT_EQ(text.rfind("ADMIN_PASSWD $y$", 0), 0u) << text;
    EXPECT_TRUE(mocr_crypt_verify("fresh-pass", admin_line(text, &count).c_str()));
    EXPECT_EQ(mode_of(site), 0600u);
}

TEST(AdminTool, RefusalsChangeNothing) {
    mot_test::Installation inst;
    std::string site = inst.home + "/user/user_conf/gen.setup";
    const std::string before = "PROD_NAME Kept\nADMIN_PASSWD $y$j9T$unchanged\n";
    write_file(site, before);
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        {{"set_admin_password", inst.home}, "abc12\n", "at least 6 characters"},
        {{"set_admin_password", inst.home}, "", "No password given"},
        {{"set_admin_password", inst.home}, std::string(600, 'x') + "\n", "Password longer than"},
        {{"set_admin_password", inst.home + "/missing"}, "goodpass\n", "gen.setup"},
        {{"undelete_admin_user", inst.home, inst.home + "/user", "vms"}, "", "Unknown platform vms"},
        {{}, "", "Usage: mo_aux set_admin_password HOME"},
        {{"set_admin_password"}, "goodpass\n", "Usage:"},
        {{"reset_everything", inst.home}, "", "Usage:"},
    };
    for (const auto &c : cases) {
        RunResult r = run_aux(c.args, c.input);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(read_file(site), before) << c.message;
    }

    // No user directory named, or none there: said plainly.
    write_file(inst.home + "/conf/gen.setup", "SERVER_PORT " + std::to_string(inst.port) + "\n");
    RunResult r = run_aux({"set_admin_password", inst.home}, "goodpass\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("USER_PATH is not set"), std::string::npos) << r.err;
    write_file(inst.home + "/conf/gen.setup", "USER_PATH " + inst.home + "/nosuchdir\n");
    r = run_aux({"set_admin_password", inst.home}, "goodpass\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(site), before);
}

TEST(AdminTool, RootKeepsTheInstallationOwnersFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to hand files to another user";
    mot_test::Installation inst;
    std::string dir = inst.home + "/user/user_conf";
    std::string site = dir + "/gen.setup";
    write_file(site, "PROD_NAME Owned\n");
    ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(site.c_str(), 65534, 65534), 0);
    RunResult r = run_aux({"set_admin_password", inst.home}, "ownedpass\n");
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(stat(site.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u) << "the daemon's user must still read its setup";
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(AdminTool, OnATerminalAsksTwiceWithoutEcho) {
    mot_test::Installation inst;
    std::string site = inst.home + "/user/user_conf/gen.setup";
    auto run_tty = [&](const std::string &first, const std::string &second, std::string *screen) {
        int master = -1;
        pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            execl(MORVALE_AUX_BIN, MORVALE_AUX_BIN, "set_admin_password", inst.home.c_str(),
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        // Answers each prompt as it appears; collects everything the terminal shows.
        std::string seen;
        int answered = 0;
        for (int spins = 0; spins < 400; spins++) {
            struct pollfd p = {master, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char buf[512];
                ssize_t n = read(master, buf, sizeof(buf));
                if (n <= 0)
                    break; // the program has ended
                seen.append(buf, static_cast<size_t>(n));
            }
            if (answered == 0 && seen.find("New password for admin: ") != std::string::npos) {
                std::string line = first + "\n";
                EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
                answered = 1;
            } else if (answered == 1 && seen.find("Type it again: ") != std::string::npos) {
                std::string line = second + "\n";
                EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
                answered = 2;
            }
        }
        // Closing the terminal ends a program still waiting for a line, so the test never hangs.
        close(master);
        int st = 0;
        waitpid(pid, &st, 0);
        *screen = seen;
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    };
    std::string screen;
    EXPECT_EQ(run_tty("tty-pass-1", "tty-pass-2", &screen), 1);
    EXPECT_NE(screen.find("not the same"), std::string::npos) << screen;
    EXPECT_FALSE(access(site.c_str(), F_OK) == 0) << "nothing written";
    EXPECT_EQ(run_tty("tty-pass-1", "tty-pass-1", &screen), 0) << screen;
    EXPECT_EQ(screen.find("tty-pass-1"), std::string::npos) << "typed without echo: " << screen;
    int count = 0;
    EXPECT_TRUE(mocr_crypt_verify("tty-pass-1", admin_line(read_file(site), &count).c_str()));
}

TEST(AdminTool, UndeleteAdminUserWithAndWithoutTheDaemon) {
    mot_test::Installation inst;
    std::string users = inst.home + "/user/lib/passwd/0";
    ASSERT_EQ(mkdir((inst.home + "/user/lib/passwd").c_str(), 0755), 0);
    const std::string deleted_admin = "ID 2\nNEW 0\nDEL 0\nF Bob\nU bob\nPM 40\n------\n"
                                      "ID 3\nNEW 0\nDEL 1\nF Initial Admin\nU admin\nP *\nPM 100\nSID 1\n";
    // The restore tool's command line: each directory with a blank before its closing quote.
    std::vector<std::string> args = {"undelete_admin_user", inst.home + " ", inst.home + "/user ", "nt"};

    // No daemon runs (the tool stops the service first): the file is changed directly.
    write_file(users, deleted_admin);
    RunResult r = run_aux(args, "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("The initial administrator \"admin\" is active again."), std::string::npos) << r.out;
    std::string text = read_file(users);
    EXPECT_NE(text.find("U admin\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("DEL 1"), std::string::npos) << text;
    EXPECT_NE(text.find("U bob\n"), std::string::npos) << text;
    r = run_aux(args, "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("was not deleted"), std::string::npos) << r.out;

    // With the daemon running the change goes through its locks, and the administrator's other values
    // are put back on the way.
    write_file(users, deleted_admin);
    ASSERT_TRUE(inst.start_daemon());
    r = run_aux({"undelete_admin_user", inst.home, inst.home + "/user", "linux"}, "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("is active again"), std::string::npos) << r.out;
    text = read_file(users);
    EXPECT_EQ(text.find("DEL 1"), std::string::npos) << text;
    EXPECT_NE(text.find("U admin\n"), std::string::npos) << text;
    auto check = inst.run({"daemon", "check"});
    EXPECT_EQ(check.out.find("Passwd Data"), std::string::npos) << "no lock is left behind: " << check.out;
}
