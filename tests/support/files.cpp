// Whole-file helpers for tests.
#include "support/files.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace mot_test {
inline namespace support {

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool file_exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

} // namespace support
} // namespace mot_test
