// A pool for tests. Pools of the command-line program are nominal (the process heap), so a test that
// builds records would leave them behind; this pool remembers every block the memory service hands
// out and gives them all back on clear() and at its end, as clearing a real pool does. It can also
// make one allocation fail, reporting "Out of memory\n" exactly as the memory service does, so that
// a test can walk every allocation of an operation and check each failure is reported once.
#pragma once

#include "mo_std.h"

#include <cstddef>
#include <set>

namespace mot_test {
inline namespace support {

class Pool {
public:
    Pool() = default;
    ~Pool();
    Pool(const Pool &) = delete;
    Pool &operator=(const Pool &) = delete;

    // Routes the memory record's malloc, free, store_string and restore_string through this pool.
    void attach(MOME_MEM_T *mem) noexcept;
    // Serves the allocations of every memory record not attached to a pool, such as the program's
    // own static record (so a test can give slots() to the real bundle builder).
    void serve_unattached() noexcept;
    // The memory service's slots, served by the pool (for a record built from a slot template).
    static const MOME_MEM_T &slots() noexcept;

    // The n-th next allocation (0: the very next) reports "Out of memory\n" and fails; the others
    // succeed.
    void fail_after(int n) noexcept;
    // The n-th next allocation and every one after it fail, each reporting.
    void fail_from(int n) noexcept;
    void disarm() noexcept { fail_after(-1); }
    bool failed() const noexcept { return failed_; }    // the armed failure has happened
    int allocations() const noexcept { return count_; } // allocations asked for since fail_after
    size_t blocks() const noexcept { return blocks_.size(); }
    // Gives back every block still held.
    void clear() noexcept;

private:
    friend struct PoolAccess;
    bool fails(int n) const noexcept {
        return fail_at_ >= 0 && (n == fail_at_ || (fail_rest_ && n > fail_at_));
    }
    std::set<void *> blocks_;
    int fail_at_ = -1;
    bool fail_rest_ = false;
    int count_ = 0;
    bool failed_ = false;
    MOME_MEM_T *attached_ = nullptr;
};

} // namespace support
} // namespace mot_test
