#pragma once

#include "HostMutex.h"
#include "KernelObject.h"
#include "Types.h"

#include <map>
#include <memory>
#include <mutex>

namespace kivo {

class Process;

// The device's handles: small opaque values (they fit in 32 bits) that stand for a kernel object
// within the process that owns them. A closed handle or another process's handle is refused and
// never dereferenced.
class HandleTable {
public:
    HANDLE insert(std::shared_ptr<KernelObject>, const Process& owner);
    std::shared_ptr<KernelObject> resolve(HANDLE, const Process& by) const;
    template<typename T>
    std::shared_ptr<T> resolve_as(HANDLE handle, const Process& by) const
    {
        return std::dynamic_pointer_cast<T>(resolve(handle, by));
    }
    // Drops the entry; the object is gone when nothing else holds it.
    bool close(HANDLE, const Process& by);
    // Every handle a process still holds, closed as it ends.
    void close_all_of(const Process&);
    size_t count_of(const Process&) const;
    // Where the next value is taken from; lets a test bring the values to their wrap.
    void set_next_value(uintptr_t value);

private:
    struct Entry {
        std::shared_ptr<KernelObject> object;
        const Process* owner;
    };
    mutable HostMutex m_lock { LockRank::HandleTable };
    std::map<uintptr_t, Entry> m_entries;
    // Values go up, so that a stale handle is refused for as long as possible; after about 2^29
    // handles they start again low, skipping every value still in use.
    uintptr_t m_next = first_value;
    static constexpr uintptr_t first_value = 0x100;
    static constexpr uintptr_t last_value = 0x7FFF'FFEC;
};

} // namespace kivo
