#pragma once

#include "DeviceComponent.h"
#include "FileMapping.h"
#include "HostMutex.h"
#include "Types.h"

#include <map>
#include <memory>
#include <mutex>

namespace kivo {

class Device;

// The views of the device's file mappings, by address, each kept by the process that mapped it.
// Tests make the next creates or views fail.
class FileMappings final : public DeviceComponent {
public:
    explicit FileMappings(Device&);

    // A create or a view answers `error` until cleared with 0.
    void set_create_failure(DWORD error);
    DWORD create_failure() const;
    void set_view_failure(DWORD error);

    void* map(std::shared_ptr<FileMapping>, uint64_t offset, size_t size, DWORD& error);
    // Unmaps the view that starts at the address; its token, if it had one, is revoked.
    DWORD unmap(const void* address);
    size_t view_count() const;

    void process_ending(Process&) override;

private:
    struct View {
        std::shared_ptr<FileMapping> mapping;
        DWORD process_id;
    };

    Device& m_device;
    mutable HostMutex m_lock { LockRank::FileMappings };
    DWORD m_create_failure = 0;
    DWORD m_view_failure = 0;
    std::multimap<const void*, View> m_views;
};

} // namespace kivo
