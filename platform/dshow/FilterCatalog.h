#pragma once

#include "DShowApi.h"
#include "DeviceComponent.h"
#include "HostMutex.h"

#include <string>
#include <vector>

namespace kivo {

class Device;

// The filters a graph may build on its own: the source that opens a file (RenderFile), the
// transforms it puts between two pins that do not agree (Connect), the renderers that end a
// stream (Render). Their classes are in the class table; this says what each is for, in the
// order they are tried.
class FilterCatalog final : public DeviceComponent {
public:
    enum class Role {
        FileSource,
        Transform,
        Renderer,
    };
    struct Entry {
        CLSID class_id;
        Role role;
    };

    explicit FilterCatalog(Device&) { }

    // Adds a class at the end of its role's list (once).
    void add(const CLSID&, Role);
    std::vector<CLSID> classes(Role) const;

private:
    mutable HostMutex m_lock { LockRank::FilterCatalog };
    std::vector<Entry> m_entries;
};

} // namespace kivo
