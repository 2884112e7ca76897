#include "PowerNotifications.h"

#include "Device.h"
#include "KernelApi.h"
#include "PointToPointQueue.h"
#include "PowerApi.h"

#include <cstring>

namespace kivo {

std::shared_ptr<PowerNotifications::Request> PowerNotifications::add(std::shared_ptr<PointToPointQueue> queue, DWORD kinds)
{
    auto request = std::make_shared<Request>(std::move(queue), kinds);
    std::lock_guard guard(m_lock);
    std::erase_if(m_requests, [](auto& weak) { return weak.expired(); });
    m_requests.push_back(request);
    return request;
}

size_t PowerNotifications::raise(DWORD message, DWORD flags, std::u16string_view state_name)
{
    DWORD length = static_cast<DWORD>((state_name.size() + 1) * sizeof(char16_t));
    std::vector<uint8_t> bytes(offsetof(POWER_BROADCAST, SystemPowerState) + length, 0);
    POWER_BROADCAST header { message, flags, length, {} };
    std::memcpy(bytes.data(), &header, offsetof(POWER_BROADCAST, SystemPowerState));
    std::memcpy(bytes.data() + offsetof(POWER_BROADCAST, SystemPowerState), state_name.data(), state_name.size() * sizeof(char16_t));

    std::vector<std::shared_ptr<Request>> requests;
    {
        std::lock_guard guard(m_lock);
        for (auto& weak : m_requests) {
            if (auto request = weak.lock(); request && (request->kinds() & message))
                requests.push_back(std::move(request));
        }
    }
    size_t delivered = 0;
    auto guard = m_device.scheduler().lock();
    for (auto& request : requests) {
        if (request->queue().push(bytes))
            ++delivered;
    }
    return delivered;
}

size_t PowerNotifications::raise_suspend()
{
    return raise(PBT_TRANSITION, POWER_STATE_SUSPEND, u"suspend");
}

size_t PowerNotifications::raise_resume()
{
    return raise(PBT_RESUME, 0, u"on");
}

} // namespace kivo
