#include "DiskDriver.h"

#include "Device.h"
#include "DriverApi.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace kivo {

DiskDriver::DiskDriver(Device& device)
    : StreamDriver(device, u"DSK1:")
    , m_reads(device.trace_limit())
{
}

std::filesystem::path DiskDriver::image_path() const
{
    return m_device.root() / image_file_name;
}

std::vector<DiskDriver::SectorRead> DiskDriver::reads() const
{
    std::lock_guard guard(m_lock);
    return m_reads.all();
}

DWORD DiskDriver::answer(DWORD code, std::span<const uint8_t>, std::span<uint8_t> out, DWORD&)
{
    if (code != read_sectors_code)
        return ERROR_NOT_SUPPORTED;
    DSK_SECTOR_REQUEST request;
    if (out.size() < sizeof request)
        return ERROR_INVALID_PARAMETER;
    std::memcpy(&request, out.data(), sizeof request);
    if (!request.Buffer || request.SectorCount == 0)
        return ERROR_INVALID_PARAMETER;
    m_reads.append({ request.FirstSector, request.SectorCount });

    std::ifstream image(image_path(), std::ios::binary);
    if (!image)
        return ERROR_NOT_READY;
    image.seekg(0, std::ios::end);
    uint64_t image_size = static_cast<uint64_t>(image.tellg());
    uint64_t start = uint64_t(request.FirstSector) * DISK_SECTOR_SIZE;
    uint64_t length = uint64_t(request.SectorCount) * DISK_SECTOR_SIZE;
    // The image may end inside its last sector; the rest of that sector reads as zeros.
    uint64_t sectors_in_image = (image_size + DISK_SECTOR_SIZE - 1) / DISK_SECTOR_SIZE;
    if (uint64_t(request.FirstSector) + request.SectorCount > sectors_in_image)
        return ERROR_SECTOR_NOT_FOUND;
    uint64_t available = std::min(length, image_size - start);
    image.seekg(static_cast<std::streamoff>(start));
    if (!image.read(reinterpret_cast<char*>(request.Buffer), static_cast<std::streamsize>(available)))
        return ERROR_GEN_FAILURE;
    std::memset(request.Buffer + available, 0, length - available);
    return ERROR_SUCCESS;
}

} // namespace kivo
