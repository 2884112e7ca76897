#include "broadcast/ElementaryStream.h"

namespace kivo {

namespace {

// Positions of the start codes (00 00 01 xx) in `data`.
std::vector<size_t> start_codes(const Bytes& data)
{
    std::vector<size_t> positions;
    for (size_t i = 0; i + 3 < data.size(); ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            positions.push_back(i);
            i += 2;
        }
    }
    return positions;
}

constexpr uint8_t picture_start = 0x00;
constexpr uint8_t sequence_header = 0xB3;
constexpr uint8_t sequence_end = 0xB7;
constexpr uint8_t group_start = 0xB8;

} // namespace

std::optional<ElementaryStream> parse_mpeg2_video(const Bytes& data, std::string& error)
{
    std::vector<size_t> codes = start_codes(data);
    if (codes.empty() || codes.front() != 0 || data[3] != sequence_header || data.size() < 12) {
        error = "not an MPEG-2 video stream (no sequence header at its start)";
        return std::nullopt;
    }
    ElementaryStream stream;
    static constexpr uint64_t rates[][2] = {{0, 1},     {24000, 1001}, {24, 1}, {25, 1},      {30000, 1001},
                                            {30, 1},    {50, 1},       {60000, 1001}, {60, 1}};
    unsigned rate_code = data[7] & 0x0F;
    if (rate_code == 0 || rate_code > 8) {
        error = "MPEG-2 video with an unknown frame rate";
        return std::nullopt;
    }
    stream.units_per_second_numerator = rates[rate_code][0];
    stream.units_per_second_denominator = rates[rate_code][1];

    // A picture's unit runs from the sequence, GOP or picture header that opens it to the next such
    // header after its slices; a sequence end code is left out, since the stream loops.
    size_t unit_start = 0;
    bool has_picture = false;
    for (size_t k = 0; k < codes.size(); ++k) {
        uint8_t code = data[codes[k] + 3];
        bool opens = code == sequence_header || code == group_start || code == picture_start;
        if ((opens && has_picture) || code == sequence_end) {
            stream.units.emplace_back(data.begin() + static_cast<ptrdiff_t>(unit_start), data.begin() + static_cast<ptrdiff_t>(codes[k]));
            unit_start = codes[k];
            has_picture = false;
        }
        if (code == sequence_end) {
            unit_start = codes[k] + 4;
            continue;
        }
        if (code == picture_start) {
            if (codes[k] + 5 >= data.size()) {
                error = "MPEG-2 video ends inside a picture header";
                return std::nullopt;
            }
            unsigned coding_type = (data[codes[k] + 5] >> 3) & 7;
            if (coding_type != 1 && coding_type != 2) {
                error = "MPEG-2 video with a picture other than I or P";
                return std::nullopt;
            }
            has_picture = true;
        }
    }
    if (has_picture)
        stream.units.emplace_back(data.begin() + static_cast<ptrdiff_t>(unit_start), data.end());
    if (stream.units.empty()) {
        error = "MPEG-2 video without pictures";
        return std::nullopt;
    }
    return stream;
}

std::optional<ElementaryStream> parse_mpeg_audio(const Bytes& data, std::string& error)
{
    static constexpr unsigned bitrates_mpeg1[16] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
    static constexpr unsigned bitrates_mpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr unsigned sample_rates[3] = {44100, 48000, 32000};
    ElementaryStream stream;
    unsigned stream_rate = 0;
    size_t offset = 0;
    while (offset + 4 <= data.size()) {
        const uint8_t* header = &data[offset];
        bool mpeg1 = (header[1] & 0x08) != 0;
        unsigned layer = (header[1] >> 1) & 3;
        unsigned bitrate_index = header[2] >> 4;
        unsigned rate_index = (header[2] >> 2) & 3;
        if (header[0] != 0xFF || (header[1] & 0xF0) != 0xF0 || layer != 2 || rate_index == 3 || bitrate_index == 0 ||
            bitrate_index == 15) {
            error = "not an MPEG audio layer II stream (no frame header at byte " + std::to_string(offset) + ")";
            return std::nullopt;
        }
        unsigned rate = sample_rates[rate_index] / (mpeg1 ? 1 : 2);
        unsigned bitrate = (mpeg1 ? bitrates_mpeg1 : bitrates_mpeg2)[bitrate_index] * 1000;
        size_t length = 144 * bitrate / rate + ((header[2] >> 1) & 1);
        if (stream_rate != 0 && rate != stream_rate) {
            error = "MPEG audio whose sample rate changes";
            return std::nullopt;
        }
        stream_rate = rate;
        if (offset + length > data.size())
            break; // a cut-off last frame is left out
        stream.units.emplace_back(data.begin() + static_cast<ptrdiff_t>(offset), data.begin() + static_cast<ptrdiff_t>(offset + length));
        offset += length;
    }
    if (stream.units.empty()) {
        error = "MPEG audio without a whole frame";
        return std::nullopt;
    }
    stream.units_per_second_numerator = stream_rate;
    stream.units_per_second_denominator = 1152;
    return stream;
}

} // namespace kivo
