#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "KernelObject.h"
#include "Types.h"

#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace kivo {

class Device;
class PointToPointQueue;

// The power manager's side of the notifications: queues that asked for kinds of notification, and
// the calls by which a test or the simulator raises one.
class PowerNotifications final : public DeviceComponent {
public:
    // What a notification handle stands for; dropping it ends the request.
    class Request final : public KernelObject {
    public:
        Request(std::shared_ptr<PointToPointQueue> queue, DWORD kinds)
            : m_queue(std::move(queue))
            , m_kinds(kinds)
        {
        }
        const char* kind() const override { return "power notification"; }
        PointToPointQueue& queue() const { return *m_queue; }
        DWORD kinds() const { return m_kinds; }

    private:
        std::shared_ptr<PointToPointQueue> m_queue;
        DWORD m_kinds;
    };

    explicit PowerNotifications(Device& device)
        : m_device(device)
    {
    }

    std::shared_ptr<Request> add(std::shared_ptr<PointToPointQueue>, DWORD kinds);

    // Puts one notification into every queue that asked for its kind; answers how many took it
    // (a full queue loses it, as on the device).
    size_t raise(DWORD message, DWORD flags, std::u16string_view state_name);
    // The device is about to suspend, and it has resumed.
    size_t raise_suspend();
    size_t raise_resume();

private:
    Device& m_device;
    HostMutex m_lock { LockRank::PowerNotifications };
    std::vector<std::weak_ptr<Request>> m_requests;
};

} // namespace kivo
