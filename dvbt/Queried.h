#pragma once

#include "platform.h"

// One interface queried from an object, released when it goes: every operation queries what it
// needs, makes its call and lets go.
template<typename Interface>
class Queried {
public:
    explicit Queried(IUnknown* object)
    {
        if (object)
            m_result = object->QueryInterface(kivo::InterfaceId<Interface>::value, reinterpret_cast<void**>(&m_interface));
    }
    ~Queried()
    {
        if (m_interface)
            m_interface->Release();
    }
    Queried(const Queried&) = delete;
    Queried& operator=(const Queried&) = delete;

    explicit operator bool() const { return m_interface; }
    Interface* operator->() const { return m_interface; }
    Interface* get() const { return m_interface; }
    HRESULT result() const { return m_result; }

private:
    Interface* m_interface = nullptr;
    HRESULT m_result = E_POINTER;
};
