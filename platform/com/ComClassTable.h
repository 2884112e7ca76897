#pragma once

#include "ComObject.h"
#include "ComTypes.h"
#include "kernel/DeviceComponent.h"
#include "kernel/HostMutex.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>

namespace kivo {

class Device;

// The device's in-process classes, one table for all its processes: each stand-in adds its classes
// with a factory, and CoCreateInstance makes objects from here. Tests make a class fail with a
// chosen result and count the live objects of a class.
class ComClassTable final : public DeviceComponent {
public:
    // Makes a new object holding one reference, or answers null when it cannot be made.
    using Factory = std::function<ComObjectBase*()>;

    explicit ComClassTable(Device&) { }

    // Adds a class, or replaces the factory of one already there.
    void add(REFCLSID, Factory);

    // Makes an object of the class and answers the interface asked for (CoCreateInstance's work
    // once the caller may create): the injected failure, REGDB_E_CLASSNOTREG for an unknown class,
    // CLASS_E_NOAGGREGATION with an outer object (no class of the device can be aggregated),
    // E_OUTOFMEMORY when the factory made nothing, E_NOINTERFACE when the object lacks the
    // interface (it goes at once). `*object` is null on every failure.
    HRESULT create(REFCLSID, IUnknown* outer, REFIID, void** object);

    // Test control: every creation of the class fails with `result` (a failure) until cleared.
    void fail(REFCLSID, HRESULT result);
    void clear_failure(REFCLSID);

    // Objects of the class made here and not yet released for the last time.
    long live_objects(REFCLSID) const;

private:
    struct Entry {
        Factory factory;
        std::shared_ptr<std::atomic<long>> live = std::make_shared<std::atomic<long>>(0);
    };

    mutable HostMutex m_lock { LockRank::ComClasses };
    std::map<CLSID, Entry> m_classes;
    std::map<CLSID, HRESULT> m_failures;
};

} // namespace kivo
