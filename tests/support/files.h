// Reading and writing whole files in tests, around the code under test.
#pragma once

#include <string>

namespace mot_test {
inline namespace support {

// The file's bytes; empty when it cannot be read.
std::string read_file(const std::string &path);
// Replaces the file's content with `text`.
void write_file(const std::string &path, const std::string &text);
bool file_exists(const std::string &path);

} // namespace support
} // namespace mot_test
