// Feeds arbitrary bytes to the audio player's bookmark and list decoding: the first 544 bytes as the
// bookmark record, the rest as the list's slots. Whatever the card holds, the decoded state stays in
// its ranges and every path within its limit.
#include "AudioBookmark.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::array<uint8_t, bookmark_bytes> record {};
    std::copy_n(data, std::min(size, record.size()), record.begin());
    AudioBookmark bookmark = decode_bookmark(record);
    bool in_range = bookmark.play_mode >= 0 && bookmark.play_mode <= 3 && bookmark.volume >= 0 && bookmark.volume <= 25
        && bookmark.eq_preset >= 0 && bookmark.eq_preset <= 4 && bookmark.list_count >= 0
        && bookmark.list_count <= max_list_entries && bookmark.list_bytes == bookmark.list_count * int32_t(list_slot_bytes)
        && bookmark.current_path.size() <= max_path_units;
    if (!in_range)
        std::abort();

    std::span<const uint8_t> slots;
    if (size > record.size())
        slots = std::span(data + record.size(), size - record.size());
    if (slots.size() == size_t(bookmark.list_bytes)) {
        for (const auto& path : decode_list(slots, bookmark.list_count)) {
            if (path.size() > max_path_units)
                std::abort();
        }
    }
    return 0;
}
