// The session token of the "U" cookie: what it accepts, every way a hostile browser may alter it,
// and the signing secret that several server processes may create at the same moment.
#include "apps/mocr_crypt.h"
#include "entry/mox_aux.h"
#include "mail/mocd_code64.h"
#include "platform/moe_error_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/moux_unix.h"
#include "platform/moux_unix_private.h"
#include "support/util.h"
#include "web/mosn_token.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const long kHour = 3600;
const mou_datetime_t kNow = 1700000000;

struct TokenTest : ::testing::Test {
    MOX_AUX_T *aux = nullptr;
    unsigned char key[MOSN_KEY_LEN];
    std::string stored; // the user's stored password text
    void SetUp() override {
        ASSERT_EQ(moux_unix_construct(&aux, nullptr), 0);
        for (int i = 0; i < MOSN_KEY_LEN; i++)
            key[i] = static_cast<unsigned char>(i * 7 + 1);
        char hash[MOCR_HASH_SIZE];
        ASSERT_EQ(mocr_crypt_new_passwd(aux->error, "s3cret pass", hash, sizeof(hash)), 0);
        stored = hash;
    }
    std::string make(const char *name, mou_datetime_t expiry, const std::string &passwd_text) {
        char out[MOSN_TOKEN_SIZE];
        EXPECT_EQ(mosn_token_make(aux->error, key, name, passwd_text.c_str(), expiry, out, sizeof(out)), 0);
        return out;
    }
    int check(const char *name, const std::string &token, mou_datetime_t now, mo_boolean_t *renew = nullptr,
              int hours = 12, const std::string *passwd_text = nullptr) {
        mo_boolean_t r = FALSE;
        int ans = mosn_token_check(key, name, (passwd_text ? *passwd_text : stored).c_str(), token.c_str(),
                                   now, hours, &r);
        if (renew != nullptr)
            *renew = r;
        return ans;
    }
};

std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TEST_F(TokenTest, ValidUntilExpiryAndRenewedInItsSecondHalf) {
    std::string token = make("jbloggs", kNow + 12 * kHour, stored);
    ASSERT_TRUE(mosn_token_is_token(token.c_str()));
    ASSERT_LT(token.size(), static_cast<size_t>(MOSN_TOKEN_SIZE));
    EXPECT_EQ(token.find(stored), std::string::npos) << "the token never carries the stored text";
    mo_boolean_t renew = TRUE;
    EXPECT_EQ(check("jbloggs", token, kNow, &renew), MOSN_TOKEN_VALID);
    EXPECT_FALSE(renew);
    EXPECT_EQ(check("jbloggs", token, kNow + 6 * kHour, &renew), MOSN_TOKEN_VALID);
    EXPECT_FALSE(renew) << "exactly half left";
    EXPECT_EQ(check("jbloggs", token, kNow + 6 * kHour + 1, &renew), MOSN_TOKEN_VALID);
    EXPECT_TRUE(renew) << "less than half left";
    EXPECT_EQ(check("jbloggs", token, kNow + 12 * kHour - 1, &renew), MOSN_TOKEN_VALID);
    EXPECT_EQ(check("jbloggs", token, kNow + 12 * kHour, &renew), MOSN_TOKEN_EXPIRED);
    EXPECT_FALSE(renew);
    EXPECT_EQ(check("jbloggs", token, kNow + 400 * kHour), MOSN_TOKEN_EXPIRED);
    // After the site shortens SESSION_HOURS, a token claiming more life than granted ends.
    EXPECT_EQ(check("jbloggs", token, kNow, nullptr, 2), MOSN_TOKEN_EXPIRED);
    EXPECT_EQ(check("jbloggs", token, kNow + 10 * kHour, nullptr, 2), MOSN_TOKEN_VALID);
    // Out-of-range hours fall back to the default of 12.
    EXPECT_EQ(mosn_token_lifetime(0), 12 * kHour);
    EXPECT_EQ(mosn_token_lifetime(-3), 12 * kHour);
    EXPECT_EQ(mosn_token_lifetime(MOSN_MAX_HOURS + 1), 12 * kHour);
    EXPECT_EQ(mosn_token_lifetime(1), kHour);
    EXPECT_EQ(check("jbloggs", token, kNow, nullptr, 0), MOSN_TOKEN_VALID);
}

TEST_F(TokenTest, AlteredTokensAndChangedPasswordsAreRefused) {
    std::string token = make("jbloggs", kNow + 12 * kHour, stored);
    EXPECT_EQ(check("jbl0ggs", token, kNow), MOSN_TOKEN_BAD_SIGNATURE) << "another name";
    EXPECT_EQ(check("jbloggs2", token, kNow), MOSN_TOKEN_BAD_SIGNATURE);
    // A longer life written in by hand.
    std::string later = token;
    size_t digit = strlen(MOSN_TOKEN_MARK) + 8;
    later[digit] = later[digit] == '9' ? '8' : static_cast<char>(later[digit] + 1);
    EXPECT_EQ(check("jbloggs", later, kNow), MOSN_TOKEN_BAD_SIGNATURE);
    // Each character of the MAC matters.
    for (size_t i = token.rfind('$') + 1; i < token.size(); i += 9) {
        std::string t = token;
        t[i] = t[i] == 'a' ? 'b' : 'a';
        EXPECT_EQ(check("jbloggs", t, kNow), MOSN_TOKEN_BAD_SIGNATURE) << i;
    }
    // A password change: the stored text it was signed over is gone.
    char hash[MOCR_HASH_SIZE];
    ASSERT_EQ(mocr_crypt_new_passwd(aux->error, "s3cret pass", hash, sizeof(hash)), 0);
    std::string changed = hash;
    EXPECT_EQ(check("jbloggs", token, kNow, nullptr, 12, &changed), MOSN_TOKEN_BAD_SIGNATURE)
        << "even the same password with a new salt ends the old sessions";
    // Locked or defaulted accounts lose their tokens, although the signature would still match.
    std::string locked = "*" + stored;
    std::string locked_token = make("jbloggs", kNow + kHour, locked);
    EXPECT_EQ(check("jbloggs", locked_token, kNow, nullptr, 12, &locked), MOSN_TOKEN_BAD_SIGNATURE);
    std::string def = MOCR_DEFAULT_PASSWD;
    std::string def_token = make("jbloggs", kNow + kHour, def);
    EXPECT_EQ(check("jbloggs", def_token, kNow, nullptr, 12, &def), MOSN_TOKEN_BAD_SIGNATURE);
    // Another installation's secret.
    unsigned char other[MOSN_KEY_LEN];
    memcpy(other, key, sizeof(other));
    other[5] ^= 1;
    EXPECT_EQ(mosn_token_check(other, "jbloggs", stored.c_str(), token.c_str(), kNow, 12, nullptr),
              MOSN_TOKEN_BAD_SIGNATURE);
}

TEST_F(TokenTest, MalformedAndOversizedTokens) {
    std::string token = make("jbloggs", kNow + kHour, stored);
    std::string mac = token.substr(token.rfind('$') + 1);
    ASSERT_EQ(mac.size(), 64u);
    std::string upper = mac;
    for (auto &c : upper)
        c = static_cast<char>(toupper(c));
    const std::string bad[] = {
        "",
        "s3cret pass",
        MOSN_TOKEN_MARK,
        std::string(MOSN_TOKEN_MARK) + "$" + mac,
        std::string(MOSN_TOKEN_MARK) + "0" + std::to_string(kNow + kHour) + "$" + mac,
        std::string(MOSN_TOKEN_MARK) + "-5$" + mac,
        std::string(MOSN_TOKEN_MARK) + "1234567890123456789$" + mac,
        std::string(MOSN_TOKEN_MARK) + std::to_string(kNow + kHour) + "$" + upper,
        std::string(MOSN_TOKEN_MARK) + std::to_string(kNow + kHour) + "$" + mac.substr(1),
        std::string(MOSN_TOKEN_MARK) + std::to_string(kNow + kHour) + "$" + mac + "0",
        std::string(MOSN_TOKEN_MARK) + std::to_string(kNow + kHour) + " $" + mac,
        token + std::string(5000, 'a'),
        std::string(MOSN_TOKEN_MARK) + std::string(5000, '9') + "$" + mac,
    };
    for (const auto &t : bad)
        EXPECT_EQ(check("jbloggs", t, kNow), MOSN_TOKEN_MALFORMED) << t.substr(0, 100);
    EXPECT_FALSE(mosn_token_is_token("s3cret pass"));
    EXPECT_EQ(mosn_token_check(key, "jbloggs", stored.c_str(), nullptr, kNow, 12, nullptr),
              MOSN_TOKEN_MALFORMED);

    // Names a cookie cannot carry are refused when the token is made.
    char out[MOSN_TOKEN_SIZE];
    for (const char *name : {"", "a:b", "tab\tname", "line\nname"}) {
        std::string err = mot_test::capture_stderr([&] {
            EXPECT_EQ(mosn_token_make(aux->error, key, name, stored.c_str(), kNow, out, sizeof(out)), 1);
        });
        EXPECT_NE(err.find("Can't make a session token"), std::string::npos) << err;
        EXPECT_STREQ(out, "");
    }
    mot_test::capture_stderr(
        [&] { EXPECT_EQ(mosn_token_make(aux->error, key, "bob", stored.c_str(), kNow, out, 40), 1); });
}

TEST_F(TokenTest, CookieCarriesNameAndTokenOrAPassword) {
    char cookie[MO_STRING_LEN];
    ASSERT_EQ(
        mosn_token_make_cookie(aux->error, key, "jbloggs", stored.c_str(), kNow, 12, cookie, sizeof(cookie)),
        0);
    mo_string_t name;
    mo_string_t rest;
    ASSERT_EQ(mosn_token_split_cookie(cookie, name, sizeof(name), rest, sizeof(rest)), MOSN_COOKIE_OK);
    EXPECT_STREQ(name, "jbloggs");
    EXPECT_TRUE(mosn_token_is_token(rest));
    mo_boolean_t renew = TRUE;
    EXPECT_EQ(mosn_token_check(key, name, stored.c_str(), rest, kNow + 1, 12, &renew), MOSN_TOKEN_VALID);
    EXPECT_EQ(mosn_token_check(key, name, stored.c_str(), rest, kNow + 12 * kHour, 12, &renew),
              MOSN_TOKEN_EXPIRED);

    // A batch client's Base64 of "name:password" splits at the first colon; the password may hold more.
    char plain_cookie[64];
    size_t len = 0;
    const char *plain = "jbloggs:pa:ss word";
    ASSERT_EQ(mocd_encode64(reinterpret_cast<const unsigned char *>(plain), strlen(plain), plain_cookie,
                            sizeof(plain_cookie), &len),
              0);
    ASSERT_EQ(mosn_token_split_cookie(plain_cookie, name, sizeof(name), rest, sizeof(rest)), MOSN_COOKIE_OK);
    EXPECT_STREQ(name, "jbloggs");
    EXPECT_STREQ(rest, "pa:ss word");
    EXPECT_FALSE(mosn_token_is_token(rest));

    // Hostile cookies.
    EXPECT_EQ(mosn_token_split_cookie("not base64!", name, sizeof(name), rest, sizeof(rest)),
              MOSN_COOKIE_UNDECODABLE);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(mosn_token_split_cookie("am9lYmxvZ2dz", name, sizeof(name), rest, sizeof(rest)),
              MOSN_COOKIE_NO_COLON); // "joebloggs"
    EXPECT_EQ(mosn_token_split_cookie("YQBiOmM=", name, sizeof(name), rest, sizeof(rest)),
              MOSN_COOKIE_UNDECODABLE); // "a\0b:c"
    EXPECT_EQ(mosn_token_split_cookie(nullptr, name, sizeof(name), rest, sizeof(rest)),
              MOSN_COOKIE_UNDECODABLE);
    std::string huge;
    for (int i = 0; i < 2000; i++)
        huge += "QUFB";
    EXPECT_EQ(mosn_token_split_cookie(huge.c_str(), name, sizeof(name), rest, sizeof(rest)),
              MOSN_COOKIE_UNDECODABLE);
    // A name longer than the caller's buffer comes back empty, never cut to another name.
    char small[4];
    ASSERT_EQ(mosn_token_split_cookie(cookie, small, sizeof(small), rest, sizeof(rest)), MOSN_COOKIE_OK);
    EXPECT_STREQ(small, "");
    // A cookie that cannot hold the name and the token is refused, not cut.
    std::string err = mot_test::capture_stderr([&] {
        EXPECT_EQ(mosn_token_make_cookie(aux->error, key, "jbloggs", stored.c_str(), kNow, 12, cookie, 100),
                  1);
    });
    EXPECT_NE(err.find("too long for the login cookie"), std::string::npos) << err;
    std::string long_name(900, 'n');
    mot_test::capture_stderr([&] {
        EXPECT_EQ(mosn_token_make_cookie(aux->error, key, long_name.c_str(), stored.c_str(), kNow, 12, cookie,
                                         sizeof(cookie)),
                  1);
    });
}

TEST(SessionKey, MadeOncePrivateAndReadBack) {
    mot_test::TempDir dir;
    MOX_AUX_T *aux = nullptr;
    ASSERT_EQ(moux_unix_construct(&aux, nullptr), 0);
    mkdir((dir.path + "/generated").c_str(), 0755);
    aux->setup->init_paths(aux->setup, dir.path.c_str());
    unsigned char first[MOSN_KEY_LEN];
    unsigned char again[MOSN_KEY_LEN];
    ASSERT_EQ(mosn_token_load_key(aux, first), 0);
    std::string path = dir.path + "/" MOSN_KEY_FILE;
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string text = read_all(path);
    ASSERT_EQ(text.size(), 2u * MOSN_KEY_LEN + 1);
    EXPECT_EQ(text.find_first_not_of("0123456789abcdef"), 2u * MOSN_KEY_LEN);
    ASSERT_EQ(mosn_token_load_key(aux, again), 0);
    EXPECT_EQ(memcmp(first, again, MOSN_KEY_LEN), 0);
    // A copy left readable by others is closed again.
    chmod(path.c_str(), 0644);
    ASSERT_EQ(mosn_token_load_key(aux, again), 0);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A damaged key is an error, never silently replaced (that would log everyone out unseen).
    for (const std::string &damaged :
         {std::string("abc\n"), text.substr(0, 10) + "zz" + text.substr(12), std::string()}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
        std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(mosn_token_load_key(aux, again), 1); });
        EXPECT_NE(err.find("is damaged"), std::string::npos) << err;
    }
    // No directory to make it in.
    aux->setup->init_paths(aux->setup, (dir.path + "/nowhere").c_str());
    std::string err = mot_test::capture_stderr([&] { EXPECT_EQ(mosn_token_load_key(aux, again), 1); });
    EXPECT_NE(err.find("Can't create a file beside"), std::string::npos) << err;
}

TEST(SessionKey, ProcessesCreatingItAtOnceAllReadTheOneThatWon) {
    mot_test::TempDir dir;
    std::string path = dir.path + "/session.key";
    const int kProcs = 12;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> kids;
    std::vector<std::string> outs;
    for (int i = 0; i < kProcs; i++) {
        std::string out = dir.path + "/out" + std::to_string(i);
        outs.push_back(out);
        pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            char c;
            // Everyone starts when the parent closes the pipe.
            while (read(go[0], &c, 1) > 0) {
            }
            MOX_AUX_T *aux = nullptr;
            if (moux_unix_construct(&aux, nullptr) != 0)
                _exit(2);
            unsigned char key[MOSN_KEY_LEN];
            if (moux_private_secret(aux->error, path.c_str(), key, sizeof(key)) != 0)
                _exit(1);
            int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            for (unsigned char k : key)
                dprintf(fd, "%02x", k);
            close(fd);
            _exit(0);
        }
        kids.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : kids) {
        int st = 0;
        ASSERT_EQ(waitpid(pid, &st, 0), pid);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    }
    std::set<std::string> keys;
    for (const auto &o : outs)
        keys.insert(read_all(o));
    ASSERT_EQ(keys.size(), 1u) << "every process read the same key";
    EXPECT_EQ(*keys.begin() + "\n", read_all(path));
    // No temporary file is left behind.
    std::string listing = mot_test::capture_stdout([&] {
        std::string cmd = "ls -a '" + dir.path + "'";
        EXPECT_EQ(system(cmd.c_str()), 0);
    });
    EXPECT_EQ(listing.find(".tmp"), std::string::npos) << listing;
}
