// The out-of-memory sweep: an operation is run again and again on a fresh bundle, each time with
// the next of its allocations failing, and must fail every time with exactly one "Out of memory"
// report, the failure passed up and reported nowhere else.
#pragma once

#include "support/bundle.h"

#include <functional>

namespace mot_test {
inline namespace support {

// For n = 0, 1, ...: builds a bundle with `options`, runs `prepare` on it, makes the n-th next
// allocation fail and runs `op`. Each failure must make op return 1 with one "Out of memory" on
// standard error (checked with EXPECT, naming n). The sweep ends at the first n that op no longer
// reaches; it gives that n, the number of allocations op makes.
int out_of_memory_sweep(const std::function<int(Bundle &)> &op,
                        const std::function<void(Bundle &)> &prepare = {}, const BundleOptions &options = {});

} // namespace support
} // namespace mot_test
