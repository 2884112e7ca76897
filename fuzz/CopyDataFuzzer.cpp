// Other programs hand the phone link WM_COPYDATA blocks of any size: each must be taken without
// reading past its end, every text field it fills must end inside its record, and the subscriber
// list must change only as the request says. The input is a run of blocks, each a 4-byte code, a
// 2-byte length and that many bytes (fewer at the end of the input).

#include "LinkProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

template<size_t N>
bool Terminated(const WCHAR (&field)[N])
{
    return std::char_traits<WCHAR>::find(field, N, 0) != nullptr;
}

bool Matches(const _tagZOL_MSGOUT_WND& a, const _tagZOL_MSGOUT_WND& b)
{
    return std::u16string_view(a.title) == b.title && std::u16string_view(a.className) == b.className;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SubscriberList subscribers;
    size_t position = 0;
    while (position + 6 <= size) {
        static constexpr ULONG_PTR codes[] = { COPYDATA_REGISTERWND, COPYDATA_UNREGISTERWND, COPYDATA_DIALOUT };
        uint32_t raw = 0;
        std::memcpy(&raw, data + position, 4);
        // Mostly the three codes, now and then any other.
        ULONG_PTR code = raw % 8 < 3 ? codes[raw % 8] : raw;
        size_t length = static_cast<size_t>(data[position + 4]) | static_cast<size_t>(data[position + 5]) << 8;
        position += 6;
        length = std::min(length, size - position);
        // A block of exactly its own size, so that a read past it is seen.
        auto bytes = std::make_unique<BYTE[]>(length ? length : 1);
        std::memcpy(bytes.get(), data + position, length);
        position += length;
        COPYDATASTRUCT block { code, static_cast<DWORD>(length), length ? bytes.get() : nullptr };

        auto request = ReadCopyData(&block);
        bool known = code == COPYDATA_REGISTERWND || code == COPYDATA_UNREGISTERWND || code == COPYDATA_DIALOUT;
        if (request.has_value() != (known && length > 0))
            std::abort();
        if (!request)
            continue;
        if (!Terminated(request->window.title) || !Terminated(request->window.className)
            || !Terminated(request->dial.number))
            std::abort();
        // What the block holds comes first, unchanged up to the field's last character.
        const BYTE* record = code == COPYDATA_DIALOUT ? reinterpret_cast<const BYTE*>(&request->dial)
                                                      : reinterpret_cast<const BYTE*>(&request->window);
        size_t recordSize = code == COPYDATA_DIALOUT ? sizeof(_tagZOL_DIALOUT) : sizeof(_tagZOL_MSGOUT_WND);
        for (size_t i = 0; i < std::min(length, recordSize); ++i) {
            bool lastOfField = code == COPYDATA_DIALOUT ? i >= 518 : (i % 200) >= 198;
            if (!lastOfField && record[i] != bytes[i])
                std::abort();
        }

        size_t before = subscribers.Entries().size();
        if (code == COPYDATA_REGISTERWND) {
            bool empty = !request->window.title[0] && !request->window.className[0];
            if (subscribers.Add(request->window) == empty)
                std::abort();
            if (subscribers.Entries().size() != before + (empty ? 0 : 1))
                std::abort();
            if (!empty && !Matches(subscribers.Entries().back(), request->window))
                std::abort();
        } else if (code == COPYDATA_UNREGISTERWND) {
            bool listed = false;
            for (auto& entry : subscribers.Entries())
                listed = listed || Matches(entry, request->window);
            if (subscribers.Remove(request->window) != listed)
                std::abort();
            if (subscribers.Entries().size() != before - (listed ? 1 : 0))
                std::abort();
        }
    }
    return 0;
}
