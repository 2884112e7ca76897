#pragma once

#include "ComTypes.h"
#include "kernel/DeviceComponent.h"
#include "kernel/HostMutex.h"

#include <map>

namespace kivo {

class Device;

// Which simulated threads have initialised COM, how often and in which model. There is nothing to
// marshal on the device, so the model only decides what a thread may do: a thread that never
// initialised may still make objects while another thread of its process holds the multithreaded
// model, as the platform's implicit multithreaded apartment allows.
class ComApartments final : public DeviceComponent {
public:
    explicit ComApartments(Device&) { }

    HRESULT initialize(SimThread&, DWORD co_init);
    void uninitialize(SimThread&);
    // Whether the thread may make objects.
    bool may_create(const SimThread&) const;

    void thread_ending(SimThread&) override;

private:
    struct Initialization {
        DWORD process_id;
        bool multithreaded;
        int count;
    };

    mutable HostMutex m_lock { LockRank::ComApartments };
    std::map<DWORD, Initialization> m_threads; // by thread id
};

} // namespace kivo
