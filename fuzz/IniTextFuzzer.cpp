// The profile mirror parses whatever INI text lies beside the library: any bytes must parse, and
// every entry must belong to a named section.

#include "FuzzDevice.h"
#include "Kitbase.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_device();
    std::string text(reinterpret_cast<const char*>(data), size);
    IniEntryList entries;
    GetANSIIniFileInfo(text.data(), entries);
    for (auto& entry : entries) {
        if (entry.section.empty() || (entry.key.empty() && !entry.value.empty()))
            std::abort();
    }
    return 0;
}
