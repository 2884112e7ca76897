#include "AudioBookmark.h"

#include <algorithm>

namespace {

constexpr size_t path_offset = 30;
constexpr size_t path_field_units = 257;

void put32(uint8_t* at, int32_t value)
{
    auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t get32(const uint8_t* at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(at[i]) << (8 * i);
    return static_cast<int32_t>(v);
}

void put_path(uint8_t* at, const std::u16string& path)
{
    size_t units = std::min(path.size(), max_path_units);
    for (size_t i = 0; i < units; ++i) {
        at[2 * i] = static_cast<uint8_t>(path[i]);
        at[2 * i + 1] = static_cast<uint8_t>(path[i] >> 8);
    }
}

std::u16string get_path(const uint8_t* at, size_t field_units)
{
    std::u16string path;
    for (size_t i = 0; i < std::min(field_units, max_path_units); ++i) {
        auto unit = static_cast<char16_t>(at[2 * i] | at[2 * i + 1] << 8);
        if (unit == 0)
            break;
        path.push_back(unit);
    }
    return path;
}

int32_t in_range(int32_t value, int32_t low, int32_t high, int32_t fallback)
{
    return value >= low && value <= high ? value : fallback;
}

} // namespace

std::array<uint8_t, bookmark_bytes> encode_bookmark(const AudioBookmark& bookmark)
{
    std::array<uint8_t, bookmark_bytes> bytes {};
    put32(&bytes[0], bookmark.seek_pos);
    put32(&bytes[4], bookmark.play_mode);
    put32(&bytes[8], bookmark.eq_preset);
    put32(&bytes[12], bookmark.list_count);
    put32(&bytes[16], bookmark.volume);
    put32(&bytes[20], bookmark.exit_state);
    put32(&bytes[24], bookmark.list_bytes);
    bytes[28] = bookmark.surround;
    if (bookmark.list_count != 0)
        put_path(&bytes[path_offset], bookmark.current_path);
    return bytes;
}

AudioBookmark decode_bookmark(std::span<const uint8_t, bookmark_bytes> bytes)
{
    AudioBookmark defaults;
    AudioBookmark bookmark;
    bookmark.seek_pos = in_range(get32(&bytes[0]), 0, 999, defaults.seek_pos);
    bookmark.play_mode = in_range(get32(&bytes[4]), 0, 3, defaults.play_mode);
    bookmark.eq_preset = in_range(get32(&bytes[8]), 0, 4, defaults.eq_preset);
    bookmark.volume = in_range(get32(&bytes[16]), 0, 25, defaults.volume);
    bookmark.exit_state = in_range(get32(&bytes[20]), 0, 2, defaults.exit_state);
    bookmark.surround = bytes[28] <= 1 ? bytes[28] : defaults.surround;
    int32_t count = get32(&bytes[12]);
    int32_t list_bytes = get32(&bytes[24]);
    if (count > 0 && count <= max_list_entries && static_cast<int64_t>(list_bytes) == int64_t { count } * int64_t { list_slot_bytes }) {
        bookmark.list_count = count;
        bookmark.list_bytes = list_bytes;
        bookmark.current_path = get_path(&bytes[path_offset], path_field_units);
    }
    return bookmark;
}

std::vector<uint8_t> encode_list(const std::vector<std::u16string>& paths)
{
    std::vector<uint8_t> bytes(paths.size() * list_slot_bytes, 0);
    for (size_t i = 0; i < paths.size(); ++i)
        put_path(&bytes[i * list_slot_bytes], paths[i]);
    return bytes;
}

std::vector<std::u16string> decode_list(std::span<const uint8_t> slots, int count)
{
    std::vector<std::u16string> paths;
    for (size_t i = 0; i < static_cast<size_t>(std::max(count, 0)) && (i + 1) * list_slot_bytes <= slots.size(); ++i)
        paths.push_back(get_path(&slots[i * list_slot_bytes], list_slot_bytes / 2));
    return paths;
}
