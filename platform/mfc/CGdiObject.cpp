#include "CGdiObject.h"

#include "kernel/Process.h"

#include <map>
#include <utility>

using namespace kivo;

// The drawing objects of a process that have a C++ object: those attached by the program, and
// the temporary ones made by FromHandle, by handle and class.
struct GdiObjectMaps {
    std::map<HGDIOBJ, CGdiObject*> permanent;
    std::map<std::pair<HGDIOBJ, std::type_index>, std::unique_ptr<CGdiObject>> temporary;

    ~GdiObjectMaps()
    {
        for (auto& [key, object] : temporary)
            object->m_hObject = nullptr;
    }
};

namespace {

ProcessLocal<GdiObjectMaps> g_gdi_objects;

} // namespace

CGdiObject::~CGdiObject()
{
    if (!m_temporary)
        DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ handle)
{
    if (!handle || m_hObject)
        return FALSE;
    m_hObject = handle;
    if (!m_temporary)
        g_gdi_objects->permanent[handle] = this;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ handle = std::exchange(m_hObject, nullptr);
    if (handle && !m_temporary) {
        auto& map = g_gdi_objects->permanent;
        if (auto it = map.find(handle); it != map.end() && it->second == this)
            map.erase(it);
    }
    return handle;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    HGDIOBJ handle = m_hObject;
    BOOL deleted = ::DeleteObject(handle);
    if (!m_temporary)
        Detach();
    // The handle's temporary objects go, this one too if it is one: nothing here is touched after.
    forget(handle);
    return deleted;
}

CGdiObject* CGdiObject::permanent(HGDIOBJ handle)
{
    auto& map = g_gdi_objects->permanent;
    auto it = map.find(handle);
    return it == map.end() ? nullptr : it->second;
}

CGdiObject* CGdiObject::temporary(HGDIOBJ handle, std::type_index type, Factory make)
{
    if (!handle)
        return nullptr;
    auto& slot = g_gdi_objects->temporary[{ handle, type }];
    if (!slot) {
        slot = make();
        slot->m_temporary = true;
        slot->m_hObject = handle;
    }
    return slot.get();
}

void CGdiObject::forget(HGDIOBJ handle)
{
    auto& map = g_gdi_objects->temporary;
    for (auto it = map.begin(); it != map.end();) {
        if (it->first.first == handle) {
            it->second->m_hObject = nullptr;
            it = map.erase(it);
        } else {
            ++it;
        }
    }
}
