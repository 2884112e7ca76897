// The device loader lists no more records than the file holds after its header, and pairing a
// device to whatever the file holds either leaves the file alone or writes a file it reads back
// with that device listed.
#include "StoredFileFuzz.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string path = DEVICE_FILE_PATH;
    write_stored_fuzz_file(path, data, size);
    DeviceList devices;
    LoadDeviceFile(path, devices);
    if (devices.size() > size / sizeof(DeviceRecord))
        std::abort();

    DeviceRecord paired {};
    paired.addressLow = 0x11223344;
    paired.addressHigh = 0x5566;
    if (!AddDeviceToFile(path, &paired))
        std::abort();
    DeviceList after;
    if (!LoadDeviceFile(path, after)
        || std::none_of(after.begin(), after.end(), [](const auto& device) { return device->addressLow == 0x11223344 && device->addressHigh == 0x5566; }))
        std::abort();
    return 0;
}
