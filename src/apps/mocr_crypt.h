// Password hashing of the user list: new passwords get the strongest method the system's crypt
// library offers by default, with a salt from the operating system; stored texts of any method it
// knows keep verifying, the traditional 13-character DES texts of older files among them.
#pragma once
#include "mo_std.h"

#define MOCR_HASH_SIZE 384                  // room for any crypt text and its NUL
#define MOCR_MAX_PASSWD_LEN 511             // longest password the crypt library takes
#define MOCR_DEFAULT_PASSWD "Rm4.Tq8Wz1KdE" // the password column's default: never a credential
#define MOCR_LOCKED_PASSWD "*"              // stored for an account no password opens

// Hashes `key` with the setting `salt` (two DES salt characters, a "$id$..." setting or a whole
// stored text) into `out` (`size` bytes). 1 after "Can't hash password with that salt\n" when the
// setting is unknown or the result does not fit.
int mocr_crypt(MOE_ERROR_T *error, const char *key, const char *salt, char *out, size_t size) noexcept;

// The stored text for a new password: the library's preferred method (yescrypt on Debian 12) with
// a fresh salt from the operating system. 1 after a report when the password is too long or no salt
// could be had.
int mocr_crypt_new_passwd(MOE_ERROR_T *error, const char *passwd, char *out, size_t size) noexcept;

// TRUE when `stored` can verify a password at all: not empty, not the column default, not starting
// with "*", a whole hash (not a bare setting) of a method the crypt library knows. Hashes nothing.
mo_boolean_t mocr_crypt_usable(const char *stored) noexcept;

// TRUE when `passwd` hashed with the salt of `stored` gives `stored`. Compares in constant time and
// reports nothing: a wrong password is an answer, not an error. Never TRUE for an unusable text.
mo_boolean_t mocr_crypt_verify(const char *passwd, const char *stored) noexcept;
