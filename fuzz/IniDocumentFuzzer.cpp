// INI files are written by people and by other programs: any bytes must load, and what the
// document saves must load back to the very same records.

#include "FuzzDevice.h"
#include "IniDocument.h"
#include "platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_device();
    HANDLE file = CreateFile(u"\\NAND\\fuzz.ini", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        std::abort();
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);

    IniDocument::Records records;
    if (!IniDocument::Load("\\NAND\\fuzz.ini", records) || !IniDocument::Save("\\NAND\\saved.ini", records))
        std::abort();
    IniDocument::Records again;
    if (!IniDocument::Load("\\NAND\\saved.ini", again) || again != records)
        std::abort();
    return 0;
}
