#include "Id3Tags.h"

#include "platform.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Keeps at most 127 characters and a zero, ending at the text's own zero, and never leaves half a
// surrogate pair at the cut.
void store_slot(_tag_MEDIA_INFO& info, MediaTagSlot slot, std::u16string_view text)
{
    text = text.substr(0, std::min(text.find(u'\0'), MEDIA_TAG_CHARS - 1));
    if (text.size() == MEDIA_TAG_CHARS - 1 && text.back() >= 0xD800 && text.back() < 0xDC00)
        text.remove_suffix(1);
    WCHAR* target = info.tags[slot];
    std::fill(target, target + MEDIA_TAG_CHARS, WCHAR(0));
    std::copy(text.begin(), text.end(), target);
    info.tag_present[slot] = text.empty() ? 0 : 1;
}

// Bytes of a code page (the system's or UTF-8) into the slot.
void store_narrow(_tag_MEDIA_INFO& info, MediaTagSlot slot, UINT code_page, const uint8_t* bytes, size_t count)
{
    count = std::find(bytes, bytes + count, uint8_t(0)) - bytes;
    // No byte becomes more than one UTF-16 unit, save a four-byte UTF-8 character (two units).
    std::u16string wide(count, u'\0');
    int units = 0;
    if (count > 0) {
        DWORD flags = code_page == CP_UTF8 ? 0 : MB_PRECOMPOSED;
        units = MultiByteToWideChar(code_page, flags, reinterpret_cast<const char*>(bytes), int(count), wide.data(), int(wide.size()));
    }
    wide.resize(size_t(std::max(units, 0)));
    store_slot(info, slot, wide);
}

// UTF-16 bytes into the slot; only the first 127 characters can be kept, so no more are read.
void store_utf16(_tag_MEDIA_INFO& info, MediaTagSlot slot, const uint8_t* bytes, size_t count, bool big_endian)
{
    count = std::min<size_t>(count, 2 * (MEDIA_TAG_CHARS - 1));
    std::u16string wide(count / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        uint8_t first = bytes[2 * i];
        uint8_t second = bytes[2 * i + 1];
        wide[i] = big_endian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
    }
    store_slot(info, slot, wide);
}

// A text frame's content: its encoding byte, then the text.
void store_text_frame(_tag_MEDIA_INFO& info, MediaTagSlot slot, const uint8_t* content, size_t size)
{
    uint8_t encoding = content[0];
    const uint8_t* text = content + 1;
    size_t count = size - 1;
    switch (encoding) {
    case 0:
        store_narrow(info, slot, CP_ACP, text, count);
        break;
    case 1: {
        bool big_endian = count >= 2 && text[0] == 0xFE && text[1] == 0xFF;
        bool marked = big_endian || (count >= 2 && text[0] == 0xFF && text[1] == 0xFE);
        if (marked) {
            text += 2;
            count -= 2;
        }
        store_utf16(info, slot, text, count, big_endian);
        break;
    }
    case 2:
        store_utf16(info, slot, text, count, true);
        break;
    default:
        store_narrow(info, slot, CP_UTF8, text, count);
        break;
    }
}

// A genre text holding "(n)": n from 0 to 254 is the genre index, 255 means no genre; anything
// else between the parentheses leaves the index as it was.
void read_genre_number(_tag_MEDIA_INFO& info)
{
    std::u16string_view text(info.tags[TAG_GENRE]);
    size_t open = text.find(u'(');
    if (open == text.npos)
        return;
    size_t close = text.find(u')', open + 1);
    if (close == text.npos)
        return;
    std::u16string_view digits = text.substr(open + 1, close - open - 1);
    if (digits.empty() || digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        return;
    int number = 0;
    for (char16_t digit : digits)
        number = number * 10 + (digit - u'0');
    if (number < 255)
        info.genre_index = number;
    else if (number == 255)
        info.tag_present[TAG_GENRE] = 0;
}

uint32_t big_endian(const uint8_t* bytes, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

uint32_t syncsafe(const uint8_t* bytes)
{
    return uint32_t(bytes[0] & 0x7F) << 21 | uint32_t(bytes[1] & 0x7F) << 14 | uint32_t(bytes[2] & 0x7F) << 7 | (bytes[3] & 0x7F);
}

struct TextFrame {
    const char* id; // four characters; version 2.2 uses the first three of `old_id`
    const char* old_id;
    MediaTagSlot slot;
};
constexpr TextFrame text_frames[] = {
    { "TIT2", "TT2", TAG_TITLE },
    { "TPE1", "TP1", TAG_ARTIST },
    { "TALB", "TAL", TAG_ALBUM },
    { "TRCK", "TRK", TAG_TRACK },
    { "TCON", "TCO", TAG_GENRE },
};

} // namespace

void ReadId3v2Tag(_tag_MEDIA_INFO& info, std::span<const uint8_t> tag)
{
    if (tag.size() < 10 || std::memcmp(tag.data(), "ID3", 3) != 0)
        return;
    const uint8_t major = tag[3];
    const uint8_t flags = tag[5];
    // Version 2.2 has three-letter ids and 24-bit sizes, and its bit 0x40 means a compressed tag,
    // which nothing here can read.
    const bool three_letter_ids = major == 2;
    if (three_letter_ids && (flags & 0x40))
        return;
    const size_t header_size = three_letter_ids ? 6 : 10;
    const size_t id_size = three_letter_ids ? 3 : 4;

    size_t at = 10;
    if (!three_letter_ids && (flags & 0x40)) {
        // The extended header: version 2.4 counts its own size field, 2.3 does not.
        if (tag.size() - at < 4)
            return;
        uint64_t extended = major == 4 ? syncsafe(&tag[at]) : uint64_t(big_endian(&tag[at], 4)) + 4;
        if (extended > tag.size() - at)
            return;
        at += size_t(extended);
    }

    while (tag.size() - at >= header_size) {
        const uint8_t* header = &tag[at];
        if (std::all_of(header, header + id_size, [](uint8_t byte) { return byte == 0; }))
            break; // padding
        uint32_t size = three_letter_ids ? big_endian(header + 3, 3) : major == 4 ? syncsafe(header + 4) : big_endian(header + 4, 4);
        at += header_size;
        if (size > tag.size() - at)
            break; // reaches beyond the tag
        for (const TextFrame& frame : text_frames) {
            const char* id = three_letter_ids ? frame.old_id : frame.id;
            if (size == 0 || std::memcmp(header, id, id_size) != 0)
                continue;
            store_text_frame(info, frame.slot, &tag[at], size);
            if (frame.slot == TAG_GENRE)
                read_genre_number(info);
        }
        at += size;
    }
}

void ReadId3v1Tag(_tag_MEDIA_INFO& info, std::span<const uint8_t> last_bytes)
{
    if (last_bytes.size() != 128 || std::memcmp(last_bytes.data(), "TAG", 3) != 0)
        return;
    constexpr struct {
        size_t offset;
        MediaTagSlot slot;
    } fields[] = { { 3, TAG_TITLE }, { 33, TAG_ARTIST }, { 63, TAG_ALBUM } };
    for (const auto& field : fields) {
        if (!info.tag_present[field.slot])
            store_narrow(info, field.slot, CP_ACP, &last_bytes[field.offset], 30);
    }
    uint8_t genre = last_bytes[127];
    if (!info.tag_present[TAG_GENRE] && genre != 255) {
        info.genre_index = genre;
        info.tag_present[TAG_GENRE] = 1;
    }
}
