#pragma once

#include "CObject.h"
#include "gdi/GdiApi.h"

#include <memory>
#include <typeindex>

// A drawing object of the screen's drawing layer as a C++ object: it owns its handle and deletes
// the object when it goes, unless the handle was detached. FromHandle gives the object attached to
// a handle, or a temporary one of the asked class that the calling thread keeps until it deletes
// the object or ends (temporary objects never delete their handle).
class CGdiObject : public CObject {
public:
    CGdiObject() = default;
    ~CGdiObject() override;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    operator HGDIOBJ() const { return m_hObject; }
    BOOL Attach(HGDIOBJ);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int size, LPVOID buffer) const { return ::GetObject(m_hObject, size, buffer); }

    static CGdiObject* FromHandle(HGDIOBJ handle) { return from_handle<CGdiObject>(handle); }

protected:
    template<typename T>
    static T* from_handle(HGDIOBJ handle)
    {
        if (auto* attached = dynamic_cast<T*>(permanent(handle)))
            return attached;
        return static_cast<T*>(temporary(handle, typeid(T), [] { return std::unique_ptr<CGdiObject>(new T); }));
    }

private:
    using Factory = std::unique_ptr<CGdiObject> (*)();
    static CGdiObject* permanent(HGDIOBJ);
    static CGdiObject* temporary(HGDIOBJ, std::type_index, Factory);
    // Forgets the temporary objects of a handle that is gone.
    static void forget(HGDIOBJ);
    bool m_temporary = false;
};
