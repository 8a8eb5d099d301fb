// What the fuzz targets share: a test bundle whose error service writes nothing (the fuzzer's own
// reports stay readable) and whose files are not flushed, and scratch files per fuzzing process.
#pragma once

#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_file.h"
#include "support/bundle.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace mo_fuzz {

inline void quiet_report(MOE_ERROR_T *, const char *, ...) noexcept {}
inline void quiet_report_basic(MOE_ERROR_T *, const char *, const char *, ...) noexcept {}

inline const MOE_ERROR_T &quiet_error_slots() {
    static const MOE_ERROR_T slots = [] {
        MOE_ERROR_T s = moux_error_slots;
        s.report = quiet_report;
        s.report_warning = quiet_report;
        s.report_note = quiet_report;
        s.report_debug = quiet_report;
        s.report_basic = quiet_report_basic;
        return s;
    }();
    return slots;
}

// Files are replaced by the rename alone: flushing them to disk would only slow the fuzzer down.
inline int replace_without_flush(MOF_FILE_T *file, const char *dest, const char *src) noexcept {
    return moux_file_move_file(file, dest, src);
}

inline const MOF_FILE_T &fast_file_slots() {
    static const MOF_FILE_T slots = [] {
        MOF_FILE_T s = moux_file_slots;
        s.replace_file = replace_without_flush;
        return s;
    }();
    return slots;
}

inline mot_test::BundleOptions quiet_options(const std::string &home = "") {
    mot_test::BundleOptions o;
    o.home = home;
    o.slots.error = &quiet_error_slots();
    o.slots.file = &fast_file_slots();
    return o;
}

// A path under /tmp for this process's scratch files.
inline std::string scratch(const std::string &name) {
    return "/tmp/mo_fuzz_" + std::to_string(getpid()) + "_" + name;
}

inline void write_bytes(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        return;
    if (size > 0 && fwrite(data, 1, size, f) != size) {
    }
    fclose(f);
}

} // namespace mo_fuzz
