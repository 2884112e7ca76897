// INI files are written by people and by other programs, with any line ends and in the device's
// double-byte code page: any bytes must load, what the document saves must load back to the very
// same records, a set must change its one value and keep every other key and value, and a save
// that finds the volume full must fail and keep the file it would have replaced.

#include "FuzzDevice.h"
#include "IniDocument.h"
#include "Volumes.h"
#include "platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr const char* loaded_file = "\\NAND\\fuzz.ini";
constexpr const char* saved_file = "\\NAND\\saved.ini";

std::optional<std::string> content_of(const char16_t* path)
{
    HANDLE file = CreateFile(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        text.append(chunk, read);
    CloseHandle(file);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto& volumes = fuzz_device().component<kivo::Volumes>();
    write_fuzz_file(u"\\NAND\\fuzz.ini", data, size);

    IniDocument::Records records;
    if (!IniDocument::Load(loaded_file, records) || !IniDocument::Save(saved_file, records))
        std::abort();
    IniDocument::Records again;
    if (!IniDocument::Load(saved_file, again) || again != records)
        std::abort();

    // A set on the first active key changes its value alone.
    auto first_key = std::find_if(
        records.begin(), records.end(), [](auto& record) { return record.commented == ' ' && !record.key.empty(); });
    if (first_key != records.end()) {
        std::string value = first_key->value == "fuzz" ? "zzuf" : "fuzz";
        if (!IniDocument::SetValue(first_key->key, value, first_key->section, saved_file))
            std::abort();
        first_key->value = value;
        if (!IniDocument::Load(saved_file, again) || again != records)
            std::abort();
    }

    // Nothing fits on a full volume; the saved file stays as it was.
    auto before = content_of(u"\\NAND\\saved.ini");
    uint64_t capacity = volumes.capacity(kivo::VolumeId::Nand);
    volumes.set_free_bytes(kivo::VolumeId::Nand, 0);
    records.push_back({ {}, ' ', "full", "key", "value" });
    bool saved = IniDocument::Save(saved_file, records);
    volumes.set_capacity(kivo::VolumeId::Nand, capacity);
    if (saved || content_of(u"\\NAND\\saved.ini") != before)
        std::abort();
    return 0;
}
