// Feeds arbitrary bytes to CParmFileRW::Read as a parameter file on a simulated device.
#include "CParmFileRW.h"
#include "FuzzDevice.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_device();
    write_fuzz_file(u"\\NAND\\FUZZ.PAR", data, size);

    // The wanted length comes from the first byte, so that short, exact and long records are tried.
    int want = size > 0 ? data[0] : 28;
    std::string buffer(256, '\0');
    CParmFileRW reader;
    reader.Read(u"\\NAND\\FUZZ.PAR", buffer.data(), 256, want);
    return 0;
}
