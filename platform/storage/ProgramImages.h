#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Types.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Device;

// The files of the device's program images and their version resources. Making a device root
// installs a file for every image of the program table on its volume, and one for each of the
// system's shared libraries, and from then on a start or a library load fails, as on the device,
// when the image's file or its volume is missing.
class ProgramImages final : public DeviceComponent {
public:
    struct Version {
        WORD major = 0;
        WORD minor = 0;
        WORD build = 0;
        WORD revision = 0;
        bool operator==(const Version&) const = default;
    };

    explicit ProgramImages(Device&);

    // Writes the image files that are missing (those on a missing card are left out) and makes
    // CreateProcess check for them. Answers how many files were written.
    size_t install();
    // The image files of the system's shared libraries, beside the programs that load them.
    static const std::vector<std::u16string>& system_libraries();

    // The version resource of an image file; without one, the file has none.
    void set_version(std::u16string_view device_path, Version);
    std::optional<Version> version_of(std::u16string_view device_path) const;

private:
    static std::u16string key_of(std::u16string_view device_path);

    Device& m_device;
    mutable HostMutex m_lock { LockRank::ProgramImages };
    std::map<std::u16string, Version> m_versions;
};

} // namespace kivo
