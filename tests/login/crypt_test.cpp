// Password hashes: new ones from the library's preferred method with fresh salts, stored DES texts
// of older files still verified, and stored texts that must never open an account.
#include "apps/mocr_crypt.h"
#include "test_bundle.h"
#include "support/util.h"

#include <crypt.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

// A DES text as older files hold them, made by the system's own crypt().
std::string des_text(const char *passwd, const char *salt) {
    const char *r = crypt(passwd, salt);
    return r != nullptr ? std::string(r) : std::string();
}

} // namespace

TEST(Crypt, TraditionalDesTextsKeepVerifying) {
    std::string stored = des_text("bobpass1", "ab");
    ASSERT_EQ(stored.size(), 13u);
    ASSERT_EQ(stored.substr(0, 2), "ab");
    EXPECT_TRUE(mocr_crypt_usable(stored.c_str()));
    EXPECT_TRUE(mocr_crypt_verify("bobpass1", stored.c_str()));
    EXPECT_FALSE(mocr_crypt_verify("bobpass2", stored.c_str()));
    EXPECT_FALSE(mocr_crypt_verify("", stored.c_str()));
    EXPECT_FALSE(mocr_crypt_verify("BOBPASS1", stored.c_str()));
    // The method's own limit: DES reads eight characters, so the stored text decides, not us.
    EXPECT_TRUE(mocr_crypt_verify("bobpass1XYZ", stored.c_str()));

    // The traditional call with a two-character salt gives the same text as crypt().
    mot_test::LowBundle b;
    char out[MOCR_HASH_SIZE];
    ASSERT_EQ(mocr_crypt(&b.error, "bobpass1", "ab", out, sizeof(out)), 0);
    EXPECT_EQ(std::string(out), stored);
    ASSERT_EQ(mocr_crypt(&b.error, "bobpass1", stored.c_str(), out, sizeof(out)), 0);
    EXPECT_EQ(std::string(out), stored) << "the stored text supplies its own salt";
    std::string err =
        mot_test::capture_stderr([&] { EXPECT_EQ(mocr_crypt(&b.error, "x", "!!", out, sizeof(out)), 1); });
    EXPECT_NE(err.find("Can't hash password with that salt"), std::string::npos) << err;
    EXPECT_STREQ(out, "");
    char tiny[5];
    mot_test::capture_stderr(
        [&] { EXPECT_EQ(mocr_crypt(&b.error, "bobpass1", "ab", tiny, sizeof(tiny)), 1); });
}

TEST(Crypt, NewPasswordsUseYescryptWithFreshSalts) {
    mot_test::LowBundle b;
    char one[MOCR_HASH_SIZE];
    char two[MOCR_HASH_SIZE];
    ASSERT_EQ(mocr_crypt_new_passwd(&b.error, "correct horse", one, sizeof(one)), 0);
    ASSERT_EQ(mocr_crypt_new_passwd(&b.error, "correct horse", two, sizeof(two)), 0);
    EXPECT_EQ(std::string(one).substr(0, 3), "$y$") << one;
    EXPECT_STRNE(one, two) << "the same password saved twice gets two salts";
    EXPECT_TRUE(mocr_crypt_verify("correct horse", one));
    EXPECT_TRUE(mocr_crypt_verify("correct horse", two));
    EXPECT_FALSE(mocr_crypt_verify("correct horse ", one));
    EXPECT_FALSE(mocr_crypt_verify("correct hors", one));
    // Every character counts with the strong method, unlike DES.
    ASSERT_EQ(mocr_crypt_new_passwd(&b.error, "bobpass1", one, sizeof(one)), 0);
    EXPECT_FALSE(mocr_crypt_verify("bobpass1XYZ", one));
    // Other methods the library knows verify too: a SHA-512 text made by the library itself.
    std::string sha = des_text("sha pass", "$6$saltsalt$");
    ASSERT_EQ(sha.substr(0, 3), "$6$");
    EXPECT_TRUE(mocr_crypt_verify("sha pass", sha.c_str()));
    EXPECT_FALSE(mocr_crypt_verify("sha pas", sha.c_str()));

    std::string long_pw(MOCR_MAX_PASSWD_LEN + 1, 'p');
    std::string err = mot_test::capture_stderr(
        [&] { EXPECT_EQ(mocr_crypt_new_passwd(&b.error, long_pw.c_str(), one, sizeof(one)), 1); });
    EXPECT_NE(err.find("Password longer than 511 characters"), std::string::npos) << err;
    EXPECT_FALSE(mocr_crypt_verify(long_pw.c_str(), two));
    mot_test::capture_stderr([&] { EXPECT_EQ(mocr_crypt_new_passwd(&b.error, "abcdef", one, 20), 1); });
}

TEST(Crypt, StoredTextsThatNeverOpenAnAccount) {
    // Whatever password is tried, these stored texts refuse it.
    const char *never[] = {MOCR_DEFAULT_PASSWD,
                           "",
                           "*",
                           "*LK*",
                           "*ab1234567890",
                           "!",
                           "x",
                           "$99$unknown$method",
                           "$y$",
                           "ab\n",
                           "$y$j9T$",
                           "$y$j9T$abcdefghijklmnopqrstuv$",
                           "abcdefghijkl",
                           "abcdefghijklmn",
                           "ab:defghijklm"};
    const char *tries[] = {"", "x", "admin", "password", "*", "Rm4.Tq8Wz1KdE"};
    for (const char *stored : never) {
        EXPECT_FALSE(mocr_crypt_usable(stored)) << stored;
        for (const char *pw : tries)
            EXPECT_FALSE(mocr_crypt_verify(pw, stored)) << stored << " opened with " << pw;
    }
    EXPECT_FALSE(mocr_crypt_usable(nullptr));
    EXPECT_TRUE(mocr_crypt_usable("abcdefghijklm")) << "the form of a DES text";
    EXPECT_FALSE(mocr_crypt_verify(nullptr, des_text("a", "ab").c_str()));
    // A locked text made from a real hash ("*" in front) is refused although the rest would match.
    std::string stored = des_text("lockedpw", "xy");
    EXPECT_TRUE(mocr_crypt_verify("lockedpw", stored.c_str()));
    EXPECT_FALSE(mocr_crypt_verify("lockedpw", ("*" + stored).c_str()));
}
