#pragma once

#include "HostMutex.h"
#include "KernelObject.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kivo {

// One namespace of named kernel objects for all processes of the device. It holds no object
// alive: a name disappears with the last handle to its object.
class NamedObjects {
public:
    // The object of that name, or a new one from `make`; `existed` tells which.
    std::shared_ptr<KernelObject> find_or_create(const std::u16string& name,
        const std::function<std::shared_ptr<KernelObject>()>& make, bool& existed);
    bool contains(const std::u16string& name);
    // How many names are held, live or not yet pruned.
    size_t entry_count();

private:
    void prune();

    HostMutex m_lock { LockRank::NamedObjects };
    std::map<std::u16string, std::weak_ptr<KernelObject>> m_objects;
    // The names of gone objects are dropped whenever the map reaches this size, so that a long
    // run making objects of ever new names holds at most about twice its live names.
    size_t m_prune_at = 64;
};

} // namespace kivo
