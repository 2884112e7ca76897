// Broadcast texts come off the air: any bytes, with any length the caller claims within them and
// any capacity. Decoding reads nothing outside the text and writes nothing outside the output (both
// lie in buffers of exactly their size, so the sanitizer sees a stray access), the count is what a
// write with that much room writes, and a shorter write writes the start of the same text.
// The first two bytes give the capacity, the next two how much of the rest is the text.

#include "FuzzDevice.h"

#include "CodePages.h"
#include "DvbText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Writes with the given room into an output prefilled with fill, checking that only the answered
// number of units changed.
int write(const unsigned char* text, int length, int capacity, WCHAR fill, std::unique_ptr<WCHAR[]>& out)
{
    out = std::make_unique<WCHAR[]>(std::max(capacity, 1));
    std::fill_n(out.get(), std::max(capacity, 1), fill);
    int written = DecodeDvbText(text, length, capacity ? out.get() : nullptr, capacity);
    if (written < 0 || written > capacity)
        std::abort();
    for (int i = written; i < capacity; ++i) {
        if (out[i] != fill)
            std::abort();
    }
    return written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = [] {
        fuzz_device().component<kivo::CodePages>().set_ansi_code_page(950);
        return true;
    }();
    (void)ready;
    if (size < 4)
        return 0;
    int capacity = (data[0] << 8 | data[1]) % 1024;
    size_t rest = size - 4;
    size_t length = rest ? (data[2] << 8 | data[3]) % (rest + 1) : 0;
    auto text = std::make_unique<unsigned char[]>(std::max<size_t>(length, 1));
    std::copy_n(data + 4, length, text.get());
    int text_length = static_cast<int>(length);

    int count = DecodeDvbText(text.get(), text_length, nullptr, 0);
    if (count < 0)
        std::abort();
    std::unique_ptr<WCHAR[]> whole, other;
    if (write(text.get(), text_length, count, 0xAAAA, whole) != count || (count && write(text.get(), text_length, count, 0x5555, other) != count))
        std::abort();
    if (count && !std::equal(whole.get(), whole.get() + count, other.get()))
        std::abort();

    // Any other room: the start of the same text (or nothing, for the code page's conversion),
    // the same whatever the output held before.
    if (capacity == 0)
        return 0;
    std::unique_ptr<WCHAR[]> part, part_again;
    int written = write(text.get(), text_length, capacity, 0xAAAA, part);
    if (write(text.get(), text_length, capacity, 0x5555, part_again) != written)
        std::abort();
    if (capacity >= count && written != count)
        std::abort();
    if (written > count || !std::equal(part.get(), part.get() + written, part_again.get()))
        std::abort();
    if (count && !std::equal(part.get(), part.get() + written, whole.get()))
        std::abort();
    return 0;
}
