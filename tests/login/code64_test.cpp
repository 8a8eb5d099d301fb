// Base64 of the login cookie and the mail logins: known vectors, round trips of every length, and
// hostile input that must be refused without writing past the buffer.
#include "mail/mocd_code64.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

std::string encode(const std::string &in, size_t size = 4096, int *ret = nullptr) {
    std::vector<char> out(size, 'Z');
    size_t len = 99;
    int r =
        mocd_encode64(reinterpret_cast<const unsigned char *>(in.data()), in.size(), out.data(), size, &len);
    if (ret != nullptr)
        *ret = r;
    return r == 0 ? std::string(out.data()) : "<fail>";
}

// Decodes into a buffer of `size` bytes followed by guard bytes that must stay untouched.
int decode(const std::string &text, std::string *result, size_t size = 4096) {
    std::vector<unsigned char> out(size + 16, 0xAB);
    size_t count = 12345;
    int r = mocd_decode64(text.data(), text.size(), out.data(), size, &count);
    for (size_t i = size; i < size + 16; i++)
        EXPECT_EQ(out[i], 0xAB) << "written past the buffer at " << i;
    if (r == 0) {
        EXPECT_EQ(out[count], '\0');
        *result = std::string(reinterpret_cast<char *>(out.data()), count);
    } else {
        EXPECT_EQ(out[0], '\0') << "a refused text leaves an empty output";
        EXPECT_EQ(count, 0u);
        result->clear();
    }
    return r;
}

} // namespace

TEST(Code64, KnownVectorsAndPadding) {
    const char *vectors[][2] = {{"", ""},
                                {"f", "Zg=="},
                                {"fo", "Zm8="},
                                {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="},
                                {"fooba", "Zm9vYmE="},
                                {"foobar", "Zm9vYmFy"},
                                {"admin:secret", "YWRtaW46c2VjcmV0"}};
    for (auto &v : vectors) {
        EXPECT_EQ(encode(v[0]), v[1]);
        std::string back;
        ASSERT_EQ(decode(v[1], &back), 0) << v[1];
        EXPECT_EQ(back, v[0]);
    }
    // Bytes with the high bit set and the two last characters of the alphabet.
    EXPECT_EQ(encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
    size_t len = 0;
    char buf[8];
    EXPECT_EQ(mocd_encode64(reinterpret_cast<const unsigned char *>("a"), 1, buf, sizeof(buf), &len), 0);
    EXPECT_EQ(len, 4u) << "one byte gives two characters and ==";
}

TEST(Code64, RoundTripsOfEveryLengthAndByte) {
    std::mt19937 rng(7);
    for (size_t n = 0; n < 300; n++) {
        std::string in(n, '\0');
        for (auto &c : in)
            c = static_cast<char>(rng() & 0xff);
        std::string enc = encode(in);
        ASSERT_EQ(enc.size(), (n + 2) / 3 * 4);
        ASSERT_EQ(enc.size(), MOCD_ENCODED_SIZE(n) - 1);
        std::string back;
        ASSERT_EQ(decode(enc, &back), 0);
        ASSERT_EQ(back, in);
    }
}

TEST(Code64, EncodeNeedsRoomForItsNul) {
    int ret = 0;
    EXPECT_EQ(encode("foo", 5, &ret), "Zm9v");
    EXPECT_EQ(ret, 0);
    encode("foo", 4, &ret);
    EXPECT_EQ(ret, 1) << "four characters and no room for the NUL";
    char small[4] = {'x', 'x', 'x', 'x'};
    size_t len = 0;
    EXPECT_EQ(mocd_encode64(reinterpret_cast<const unsigned char *>("foobar"), 6, small, sizeof(small), &len),
              1);
    EXPECT_EQ(len, 8u) << "the length is stored before the failure";
    EXPECT_EQ(small[0], 'x') << "nothing written on failure";
}

TEST(Code64, DecodeAcceptsServerPrefixAndUnpaddedEnd) {
    std::string out;
    ASSERT_EQ(decode("+ VXNlcm5hbWU6", &out), 0);
    EXPECT_EQ(out, "Username:");
    ASSERT_EQ(decode("Zm9vYg", &out), 0);
    EXPECT_EQ(out, "foob");
    ASSERT_EQ(decode("Zm9vYmE", &out), 0);
    EXPECT_EQ(out, "fooba");
    ASSERT_EQ(decode("", &out), 0);
    EXPECT_EQ(out, "");
    // Binary output keeps its NUL bytes; the count tells them apart from the end.
    ASSERT_EQ(decode("AGEA", &out), 0);
    EXPECT_EQ(out, std::string("\0a\0", 3));
}

TEST(Code64, DecodeRefusesHostileText) {
    std::string out;
    const char *bad[] = {
        "\rZm9v",   // begins with a carriage return
        "Zm9v\r\n", // line end inside
        "Zm 9v",    // blank
        "Zm9v!A==", // outside the alphabet
        "Zm-_",     // the URL alphabet is not ours
        "Z",        // one character is less than a byte
        "Zm9vY",    // a lone final character
        "=m9v",     // padding in the first place
        "Z===",     // padding in the second place
        "Zm=v",     // data after padding inside a group
        "Zg==Zm9v", // a group after a padded one
        "Zm9=",     // fine alone ...
    };
    for (size_t i = 0; i + 1 < sizeof(bad) / sizeof(bad[0]); i++)
        EXPECT_EQ(decode(bad[i], &out), 1) << "accepted: " << bad[i];
    ASSERT_EQ(decode("Zm9=", &out), 0);
    EXPECT_EQ(out, "fo");
    EXPECT_EQ(decode(std::string("Zm\0v", 4), &out), 1) << "an embedded NUL is outside the alphabet";
}

TEST(Code64, DecodeNeverWritesPastItsBuffer) {
    std::string out;
    // "foobar" needs six bytes and the NUL.
    EXPECT_EQ(decode("Zm9vYmFy", &out, 7), 0);
    EXPECT_EQ(out, "foobar");
    EXPECT_EQ(decode("Zm9vYmFy", &out, 6), 1);
    EXPECT_EQ(decode("Zm9vYmFy", &out, 1), 1);
    // A cookie of 8 KB (the server's header limit) into the 1024-byte text of the login check.
    std::string huge;
    for (int i = 0; i < 2048; i++)
        huge += "QUFB";
    EXPECT_EQ(decode(huge, &out, 1024), 1);
    EXPECT_EQ(decode(huge, &out, 6145), 0);
    EXPECT_EQ(out, std::string(6144, 'A'));
    unsigned char none[1] = {0x55};
    size_t count = 0;
    EXPECT_EQ(mocd_decode64("Zm9v", 4, none, 0, &count), 1) << "no room at all";
    EXPECT_EQ(none[0], 0x55);
}
