// The out-of-memory sweep.
#include "support/sweep.h"

#include "support/util.h"

#include <gtest/gtest.h>

namespace mot_test {
inline namespace support {

int out_of_memory_sweep(const std::function<int(Bundle &)> &op, const std::function<void(Bundle &)> &prepare,
                        const BundleOptions &options) {
    const int most = 100000; // far beyond any operation of this system
    for (int n = 0; n < most; n++) {
        Bundle b(options);
        EXPECT_EQ(b.status, 0);
        if (b.status != 0)
            return n;
        if (prepare)
            prepare(b);
        b.pool.fail_after(n);
        int ret = 0;
        std::string err = capture_stderr([&] { ret = op(b); });
        b.pool.disarm();
        if (!b.pool.failed()) {
            EXPECT_EQ(ret, 0) << "without a failing allocation the operation succeeds:\n" << err;
            return n;
        }
        EXPECT_EQ(ret, 1) << "allocation " << n << " failed, and the operation did not say so:\n" << err;
        EXPECT_EQ(count_of(err, "Out of memory"), 1u) << "allocation " << n << ":\n" << err;
        if (testing::Test::HasFailure())
            return n; // one broken allocation is enough to read
    }
    ADD_FAILURE() << "the operation made more than " << most << " allocations";
    return most;
}

} // namespace support
} // namespace mot_test
