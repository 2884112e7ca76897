#include "JpegScanner.h"

#include "ProbeFile.h"

namespace {

constexpr uint8_t marker_prefix = 0xFF;
constexpr uint8_t first_marker = 0xC0;
constexpr uint8_t end_of_image = 0xD9;
// Markers that stand alone, without a length: the restart markers and a repeated start of image.
constexpr uint8_t first_standalone = 0xD0;
constexpr uint8_t last_standalone = 0xD8;
// A frame header: baseline, extended, progressive or lossless (SOF0 to SOF3), Huffman coded.
constexpr bool is_frame_header(uint8_t marker) { return (marker & 0xFC) == 0xC0; }
// Marker, length, precision, height, width and component count.
constexpr DWORD frame_header_bytes = 10;
constexpr uint32_t frame_header_length = 8;

} // namespace

JpegScanner::JpegScanner(HANDLE file, uint64_t file_size)
    : m_file(file)
    , m_file_size(file_size)
{
}

HRESULT JpegScanner::scan(const uint8_t* head)
{
    if (head[2] == marker_prefix)
        return walk_segments();
    // A start of image followed by no marker: the sizes stand right after it.
    width = int32_t(big_endian_16(head + 2));
    height = int32_t(big_endian_16(head + 4));
    components = head[6];
    precision = 8;
    return S_OK;
}

HRESULT JpegScanner::walk_segments()
{
    uint8_t segment[16];
    for (;;) {
        if (m_offset >= m_file_size)
            return E_FAIL;
        DWORD read = probe_read_at(m_file, m_offset, segment, sizeof segment);
        if (read < 2 || segment[0] != marker_prefix)
            return E_FAIL;
        // Fill bytes before a marker: move on to the last of them and read again.
        DWORD fill = 0;
        while (fill + 1 < read && segment[fill + 1] == marker_prefix)
            ++fill;
        if (fill > 0) {
            m_offset += fill;
            continue;
        }
        uint8_t marker = segment[1];
        if (marker < first_marker || marker == end_of_image)
            return E_FAIL;
        if (marker >= first_standalone && marker <= last_standalone) {
            m_offset += 2;
            continue;
        }
        if (read < 4)
            return E_FAIL;
        uint32_t length = big_endian_16(segment + 2);
        if (length < 2)
            return E_FAIL;
        if (is_frame_header(marker)) {
            if (length < frame_header_length || read < frame_header_bytes)
                return E_FAIL;
            precision = segment[4];
            height = int32_t(big_endian_16(segment + 5));
            width = int32_t(big_endian_16(segment + 7));
            components = segment[9];
            return S_OK;
        }
        m_offset += uint64_t(length) + 2;
    }
}
