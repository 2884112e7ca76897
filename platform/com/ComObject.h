#pragma once

#include "ComTypes.h"

#include <atomic>
#include <memory>

namespace kivo {

// What every object of the layer's own classes shares, whichever interfaces it has: its reference
// count (atomic: a graph's objects are used from the program's threads and the graph's own), and
// the count of live objects of its class when the class table made it.
class ComObjectBase {
public:
    ComObjectBase() = default;
    ComObjectBase(const ComObjectBase&) = delete;
    ComObjectBase& operator=(const ComObjectBase&) = delete;

    ULONG add_reference() { return m_references.fetch_add(1, std::memory_order_relaxed) + 1; }
    // Deletes the object when the last reference goes.
    ULONG release_reference()
    {
        ULONG left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

    // The interface asked for, without a reference, or null.
    virtual void* find_interface(REFIID) = 0;
    HRESULT query_interface(REFIID iid, void** object)
    {
        if (!object)
            return E_POINTER;
        *object = find_interface(iid);
        if (!*object)
            return E_NOINTERFACE;
        add_reference();
        return S_OK;
    }

    // The class table counts the object among its class's live objects until it is deleted.
    void count_as_live(std::shared_ptr<std::atomic<long>> counter)
    {
        counter->fetch_add(1, std::memory_order_relaxed);
        m_live_counter = std::move(counter);
    }

protected:
    virtual ~ComObjectBase()
    {
        if (m_live_counter)
            m_live_counter->fetch_sub(1, std::memory_order_acq_rel);
    }

private:
    std::atomic<ULONG> m_references = 1; // the maker's
    std::shared_ptr<std::atomic<long>> m_live_counter;
};

// Which id an interface is asked for by: each interface the layer implements names it once with
// KIVO_INTERFACE_ID, next to its declaration (at global scope, where the platform's names live).
template<typename Interface>
struct InterfaceId;

#define KIVO_INTERFACE_ID(Interface, iid)         \
    template<>                                    \
    struct kivo::InterfaceId<Interface> {         \
        static constexpr const IID& value = iid;  \
    }

// An object of the layer's own classes with the given interfaces: IUnknown's three operations are
// written once here for all of them. It is made with one reference, which its maker hands on or
// releases. A class with more interfaces than it inherits (an inner object's) overrides
// find_interface and falls back on this one.
template<typename FirstInterface, typename... OtherInterfaces>
class ComObject : public ComObjectBase, public FirstInterface, public OtherInterfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }

    void* find_interface(REFIID iid) override
    {
        if (iid == IID_IUnknown)
            return static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
        void* found = interface_if<FirstInterface>(iid);
        ((found = found ? found : interface_if<OtherInterfaces>(iid)), ...);
        return found;
    }

private:
    template<typename Interface>
    void* interface_if(REFIID iid)
    {
        return iid == InterfaceId<Interface>::value ? static_cast<Interface*>(this) : nullptr;
    }
};

} // namespace kivo
