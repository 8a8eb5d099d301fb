// Users of a throwaway installation for end-to-end tests: records written straight into the user
// file (with a real password hash), and the "U" cookie a batch client sends (Base64 of name:password).
#pragma once

#include "apps/mocr_crypt.h"
#include "mail/mocd_code64.h"
#include "support/bundle.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mot_test {

struct TestUser {
    int id;
    std::string name;
    std::string password; // "" leaves the column default (no password)
    int privilege = 40;
    std::string full_name = "Test User";
    bool deleted = false;
    std::string email = "";
    std::string groups = ""; // group ids as stored, e.g. "2," for the system group "all"
};

// The stored text for a password, as the system makes it.
inline std::string hash_password(const std::string &password) {
    Bundle lb;
    char out[MOCR_HASH_SIZE];
    if (mocr_crypt_new_passwd(&lb.error, password.c_str(), out, sizeof(out)) != 0)
        abort();
    return out;
}

inline std::string user_record(const TestUser &u) {
    std::string r = "ID " + std::to_string(u.id) + "\nNEW 0\nDEL " + (u.deleted ? "1" : "0") + "\nF " +
                    u.full_name + "\nU " + u.name + "\n";
    if (!u.password.empty())
        r += "P " + hash_password(u.password) + "\n";
    r += "PM " + std::to_string(u.privilege) + "\nADD " + u.email + "\n";
    if (!u.groups.empty())
        r += "GR " + u.groups + "\n";
    return r;
}

// Writes the user file of the installation at `home` (owned by uid:gid when we are root).
inline void write_users(const std::string &home, const std::vector<TestUser> &users, uid_t uid = getuid(),
                        gid_t gid = getgid()) {
    std::string dir = home + "/user/lib/passwd";
    mkdir(dir.c_str(), 0755);
    std::string text;
    for (size_t i = 0; i < users.size(); i++)
        text += (i > 0 ? "------\n" : "") + user_record(users[i]);
    std::string path = dir + "/0";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    if (getuid() == 0 && (chown(dir.c_str(), uid, gid) != 0 || chown(path.c_str(), uid, gid) != 0))
        abort();
}

inline std::string base64(const std::string &text) {
    std::string out(MOCD_ENCODED_SIZE(text.size()), '\0');
    size_t len = 0;
    if (mocd_encode64(reinterpret_cast<const unsigned char *>(text.data()), text.size(), out.data(),
                      out.size(), &len) != 0)
        abort();
    out.resize(len);
    return out;
}

// The "U" cookie of a batch client: Base64 of "name:password".
inline std::string password_cookie(const std::string &name, const std::string &password) {
    return "U=" + base64(name + ":" + password);
}

} // namespace mot_test
