#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "KernelObject.h"
#include "Types.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kivo {

class Device;

// The device's stream drivers by name ("BKL1:", "BAT2:" …). The file stand-in's CreateFile opens a
// name of that form here; each driver registers how an open is made, and the object it gives back
// answers DeviceIoControl and is closed with CloseHandle like any other handle.
class StreamDriverTable final : public DeviceComponent {
public:
    // Makes the object of one open, or returns null with the platform's error in `error`.
    using Opener = std::function<std::shared_ptr<KernelObject>(DWORD& error)>;

    explicit StreamDriverTable(Device&) { }

    void add(std::u16string_view name, Opener);
    // Null with ERROR_FILE_NOT_FOUND (or the driver's own error) when it cannot be opened.
    std::shared_ptr<KernelObject> open(std::u16string_view name, DWORD& error) const;

    // Whether a file name is a driver name: three letters, one digit and a colon.
    static bool is_driver_name(std::u16string_view);

private:
    mutable HostMutex m_lock { LockRank::StreamDriverTable };
    std::map<std::u16string, Opener> m_openers;
};

} // namespace kivo
