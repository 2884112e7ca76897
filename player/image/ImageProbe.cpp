#include "ImageProbe.h"

#include "JpegScanner.h"
#include "ProbeFile.h"

#include <cstring>
#include <new>

namespace {

// The first bytes of a file hold every signature and header field the probe reads.
constexpr DWORD head_bytes = 64;

constexpr uint8_t png_signature[8] = { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A };

bool starts_with(const uint8_t* head, const char* text) { return std::memcmp(head, text, std::strlen(text)) == 0; }

int probe_jpeg(_tag_MEDIA_INFO& info, HANDLE file, uint64_t file_size, const uint8_t* head)
{
    auto* scanner = new (std::nothrow) JpegScanner(file, file_size);
    if (!scanner)
        return 1;
    HRESULT result = scanner->scan(head);
    info.status = result;
    if (result == S_OK) {
        info.format = MEDIA_JPEG;
        info.image_width = scanner->width;
        info.image_height = scanner->height;
        info.image_bit_depth = scanner->components * scanner->precision;
    }
    delete scanner;
    return result == S_OK ? 1 : 0;
}

void set_picture(_tag_MEDIA_INFO& info, MediaFormat format, uint32_t width, uint32_t height, uint32_t bit_depth)
{
    info.status = S_OK;
    info.format = format;
    info.image_width = static_cast<int32_t>(width);
    info.image_height = static_cast<int32_t>(height);
    info.image_bit_depth = static_cast<int32_t>(bit_depth);
}

} // namespace

int ProbeImage(_tag_MEDIA_INFO& info, HANDLE file)
{
    std::optional<uint64_t> file_size = probe_file_size(file);
    if (!file_size || *file_size < head_bytes)
        return 0;
    uint8_t head[head_bytes];
    if (probe_read_at(file, 0, head, head_bytes) != head_bytes)
        return 0;
    info.file_size = *file_size & 0xFFFFFFFF;

    if (head[0] == 0xFF && head[1] == 0xD8)
        return probe_jpeg(info, file, *file_size, head);
    if (starts_with(head, "GIF")) {
        // The logical screen's size and its colour resolution.
        set_picture(info, MEDIA_GIF, little_endian_16(head + 6), little_endian_16(head + 8), ((head[10] >> 4) & 7) + 1);
        return 1;
    }
    if (starts_with(head, "BM")) {
        // The information header's height is signed: negative for a picture stored top down.
        set_picture(info, MEDIA_BMP, little_endian_32(head + 18), little_endian_32(head + 22), little_endian_16(head + 28));
        return 1;
    }
    if (std::memcmp(head, png_signature, sizeof png_signature) == 0 && std::memcmp(head + 12, "IHDR", 4) == 0) {
        set_picture(info, MEDIA_PNG, big_endian_32(head + 16), big_endian_32(head + 20), head[24]);
        return 1;
    }
    return 0;
}
