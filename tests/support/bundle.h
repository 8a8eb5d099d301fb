// The one service bundle for tests: the real services wired as the program's bundle builder wires
// them (error, memory, file, utility, signal, process, socket, setup, script, daemon, request clients,
// session), with the two request cleanup lists the program entry adds, and memory from a test Pool.
// Options say where the installation is, whether its setup file is read, and which slot templates
// replace the real ones. connect() makes the bundle a client of a daemon, as the program does.
#pragma once

#include "entry/moim_interm.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "platform/moux_unix.h"
#include "support/pool.h"

#include <string>

namespace mot_test {
inline namespace support {

struct BundleOptions {
    std::string home;        // installation home: the setup's paths are derived from it; "" leaves them empty
    bool load_setup = false; // read HOME/conf/gen.setup and the site's overrides, as the program does
    bool init_process = false; // start the child-process service (it takes SIGCHLD and the fatal list)
    // Slot templates; any may be replaced. The memory slots' allocations always go through the pool.
    MOUX_UNIX_SLOTS_T slots = moux_unix_default_slots;
};

// How connect() identifies the process to the lock service.
struct ConnectOptions {
    std::string user;        // lock owner; "" names it "<pid>_process" as the program does
    std::string machine;     // "" takes the local machine name as the program does
    std::string agent;       // the browser text of the lock owner
    int sender_id = 0;       // 0 takes the process id
    bool use_cleanup = true; // register the connection and the lock release on the fatal list
};

class Bundle {
public:
    explicit Bundle(const BundleOptions &options = {});
    ~Bundle();
    Bundle(const Bundle &) = delete;
    Bundle &operator=(const Bundle &) = delete;

    // Connects to the daemon of `port` and initialises the lock client; the daemon's error text, or
    // "" once connected.
    std::string connect(const std::string &port, const ConnectOptions &options = {});
    bool connected() const { return connected_; }
    void disconnect();

    Pool pool; // declared first: it outlives every record below
    MOE_ERROR_T error{};
    MOLT_LOWEST_T lowest{};
    MOME_MEM_T mem{};
    MOL_LOW_T *low = nullptr;
    MOIM_INTERM_T *interm = nullptr;
    MOX_AUX_T *aux = nullptr;
    MOCL_CLEANUP_T *always = nullptr; // "Request-Always": temporary files
    MOCL_CLEANUP_T *fatal = nullptr;  // "Request-Fatal": children, connections, locks
    int status = 0;                   // 0 when every construction step succeeded

private:
    bool connected_ = false;
    bool process_started_ = false;
};

} // namespace support
} // namespace mot_test
