#pragma once

#include "HostMutex.h"
#include "Types.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kivo {

class Device;

// The device's boot-time launch table: each program is started with its launch number as its
// command line once every launch number it depends on has been signalled (SignalStarted).
class BootLauncher {
public:
    struct Entry {
        std::u16string image_path;
        DWORD launch_number;
        std::vector<DWORD> depends_on;
    };

    explicit BootLauncher(Device& device)
        : m_device(device)
    {
    }

    void set_table(std::vector<Entry>);
    // Starts every entry whose dependencies are met; called at boot and on each signal.
    void boot();
    void signal_started(DWORD launch_number);
    bool was_signalled(DWORD launch_number) const;

private:
    void start_ready_entries();

    Device& m_device;
    mutable HostMutex m_lock { LockRank::BootLauncher };
    std::vector<Entry> m_table;
    std::vector<bool> m_started;
    std::set<DWORD> m_signalled;
    bool m_booted = false;
};

} // namespace kivo
