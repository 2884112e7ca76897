#include "CGdiObject.h"

#include "HandleMaps.h"

#include <utility>

using namespace kivo;

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
        HandleMaps::current().attach_object(handle, this);
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ handle = std::exchange(m_hObject, nullptr);
    if (handle && !m_temporary)
        HandleMaps::current().detach_object(handle, this);
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
    return HandleMaps::current().object(handle);
}

CGdiObject* CGdiObject::temporary(HGDIOBJ handle, std::type_index type, Factory make)
{
    if (!handle)
        return nullptr;
    auto& slot = HandleMaps::current().temporaries().objects[{ handle, type }];
    if (!slot) {
        slot = make();
        slot->m_temporary = true;
        slot->m_hObject = handle;
    }
    return slot.get();
}

void CGdiObject::forget(HGDIOBJ handle)
{
    // Other threads' temporary objects of the handle are theirs: they go when those threads end.
    auto& map = HandleMaps::current().temporaries().objects;
    for (auto it = map.begin(); it != map.end();) {
        if (it->first.first == handle) {
            it->second->m_hObject = nullptr;
            it = map.erase(it);
        } else {
            ++it;
        }
    }
}
