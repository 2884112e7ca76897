#pragma once

#include "Device.h"
#include "DeviceContext.h"
#include "Gdi.h"
#include "KernelApi.h"
#include "Process.h"

#include <memory>
#include <mutex>

namespace kivo {

// What every drawing call starts with: the calling process's device and GDI state, under the
// drawing lock, with its handles resolved for that process.
class GdiCall {
public:
    GdiCall()
        : m_device(Device::current())
        , m_gdi(m_device.component<Gdi>())
        , m_process(Process::current())
        , m_guard(m_gdi.lock())
    {
    }

    Device& device() { return m_device; }
    Gdi& gdi() { return m_gdi; }
    Process& process() { return m_process; }

    // The context, or null with ERROR_INVALID_HANDLE.
    std::shared_ptr<DeviceContext> dc(HDC handle)
    {
        auto result = m_device.handles().resolve_as<DeviceContext>(handle, m_process);
        if (!result)
            SetLastError(ERROR_INVALID_HANDLE);
        return result;
    }

    // A drawing object of one kind, or null with ERROR_INVALID_HANDLE.
    template<typename T>
    std::shared_ptr<T> object(HGDIOBJ handle)
    {
        auto result = std::dynamic_pointer_cast<T>(m_gdi.resolve(handle, m_process));
        if (!result)
            SetLastError(ERROR_INVALID_HANDLE);
        return result;
    }

    HGDIOBJ insert(std::shared_ptr<GdiObject> object) { return m_gdi.insert(std::move(object), m_process); }

    // Records a drawing call into the screen; calls into memory bitmaps are not recorded.
    void log(const DeviceContext& dc, DrawLog::Entry entry)
    {
        if (!dc.on_screen() || !m_gdi.draw_log().recording())
            return;
        entry.process_id = m_process.id();
        m_gdi.draw_log().record(std::move(entry));
    }

private:
    Device& m_device;
    Gdi& m_gdi;
    Process& m_process;
    std::lock_guard<HostMutex> m_guard;
};

} // namespace kivo
