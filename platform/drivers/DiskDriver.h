#pragma once

#include "StreamDriver.h"

#include <filesystem>

namespace kivo {

// "DSK1:": raw sector reads of the flash disk, from a disk image file in the device root. A
// missing image makes every read fail as a disk that is not ready.
class DiskDriver final : public StreamDriver {
public:
    static constexpr DWORD read_sectors_code = 0x222808;
    static constexpr const char* image_file_name = "dsk1.img";

    struct SectorRead {
        DWORD first_sector = 0;
        DWORD sector_count = 0;
        bool operator==(const SectorRead&) const = default;
    };

    explicit DiskDriver(Device&);

    std::filesystem::path image_path() const;
    // The reads kept (the newest, up to the device's trace limit), oldest first.
    std::vector<SectorRead> reads() const;

private:
    DWORD answer(DWORD code, std::span<const uint8_t> in, std::span<uint8_t> out, DWORD& returned) override;

    Trace<SectorRead> m_reads;
};

} // namespace kivo
