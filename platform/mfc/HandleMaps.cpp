#include "HandleMaps.h"

#include "CDC.h"
#include "CGdiObject.h"
#include "CWnd.h"
#include "kernel/Device.h"
#include "kernel/Process.h"
#include "kernel/SimThread.h"

namespace kivo {

namespace {

DWORD calling_thread_id()
{
    auto* thread = SimThread::current();
    return thread ? thread->id() : 0;
}

DWORD calling_process_id()
{
    auto* thread = SimThread::current();
    return thread ? thread->process().id() : 0;
}

// The object a permanent map holds for a handle, or none.
template <typename Map, typename Handle>
typename Map::mapped_type attached_to(const Map& map, Handle handle)
{
    auto it = map.find(handle);
    return it == map.end() ? nullptr : it->second;
}

// Drops a handle's entry only while it still names this object: another may have taken the handle.
template <typename Map, typename Handle, typename Object>
void erase_if_attached(Map& map, Handle handle, const Object* object)
{
    if (auto it = map.find(handle); it != map.end() && it->second == object)
        map.erase(it);
}

} // namespace

HandleMaps::Temporaries::~Temporaries()
{
    // Temporary objects never release their handles; they only let go of them.
    for (auto& [handle, dc] : contexts)
        dc->m_hDC = nullptr;
    for (auto& [key, object] : objects)
        object->m_hObject = nullptr;
}

HandleMaps::~HandleMaps() = default;

HandleMaps& HandleMaps::current()
{
    return Device::current().component<HandleMaps>();
}

HandleMaps::Temporaries& HandleMaps::temporaries()
{
    std::lock_guard guard(m_lock);
    auto& slot = m_temporaries[calling_thread_id()];
    if (!slot)
        slot = std::make_unique<Temporaries>();
    // The map's nodes stay where they are while other threads add or remove theirs.
    return *slot;
}

HandleMaps::Attached& HandleMaps::attached_locked()
{
    return m_attached[calling_process_id()];
}

CWnd* HandleMaps::window(HWND hwnd, bool any_thread)
{
    std::lock_guard guard(m_lock);
    auto& map = attached_locked().windows;
    auto it = map.find(hwnd);
    if (it == map.end() || (!any_thread && it->second.second != calling_thread_id()))
        return nullptr;
    return it->second.first;
}

void HandleMaps::attach_window(HWND hwnd, CWnd* window)
{
    std::lock_guard guard(m_lock);
    attached_locked().windows[hwnd] = { window, calling_thread_id() };
}

void HandleMaps::detach_window(HWND hwnd, const CWnd* window)
{
    std::lock_guard guard(m_lock);
    auto& map = attached_locked().windows;
    if (auto it = map.find(hwnd); it != map.end() && it->second.first == window)
        map.erase(it);
}

CDC* HandleMaps::context(HDC dc)
{
    std::lock_guard guard(m_lock);
    return attached_to(attached_locked().contexts, dc);
}

void HandleMaps::attach_context(HDC dc, CDC* object)
{
    std::lock_guard guard(m_lock);
    attached_locked().contexts[dc] = object;
}

void HandleMaps::detach_context(HDC dc, const CDC* object)
{
    std::lock_guard guard(m_lock);
    erase_if_attached(attached_locked().contexts, dc, object);
}

CGdiObject* HandleMaps::object(HGDIOBJ handle)
{
    std::lock_guard guard(m_lock);
    return attached_to(attached_locked().objects, handle);
}

void HandleMaps::attach_object(HGDIOBJ handle, CGdiObject* object)
{
    std::lock_guard guard(m_lock);
    attached_locked().objects[handle] = object;
}

void HandleMaps::detach_object(HGDIOBJ handle, const CGdiObject* object)
{
    std::lock_guard guard(m_lock);
    erase_if_attached(attached_locked().objects, handle, object);
}

void HandleMaps::thread_ending(SimThread& thread)
{
    std::unique_ptr<Temporaries> gone;
    {
        std::lock_guard guard(m_lock);
        auto it = m_temporaries.find(thread.id());
        if (it == m_temporaries.end())
            return;
        gone = std::move(it->second);
        m_temporaries.erase(it);
    }
}

void HandleMaps::process_ending(Process& process)
{
    std::lock_guard guard(m_lock);
    m_attached.erase(process.id());
}

} // namespace kivo
