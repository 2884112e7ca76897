#pragma once

#include "GdiObject.h"
#include "Surface.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kivo {

// A bitmap: a device-dependent one in the screen's format (CreateCompatibleBitmap, LoadBitmap),
// or a DIB section of 16 (RGB565) or 24 bits whose memory the program writes through its bits
// pointer, top-down or bottom-up as its height asked. A bitmap loaded from a program's resources
// remembers its resource number, so the draw log can tell which picture was drawn.
class Bitmap final : public GdiObject {
public:
    // Bitmaps larger than this are refused: nothing on the device comes near it (a decoded photo
    // of 1920 × 1088 is the largest), and a size read from a bad file must not take the host's
    // memory.
    static constexpr int64_t largest_pixels = 16 * 1024 * 1024;

    static std::shared_ptr<Bitmap> create_compatible(int width, int height);
    static std::shared_ptr<Bitmap> create_dib(int width, int height, int bits_per_pixel, bool bottom_up);

    const char* kind() const override { return "bitmap"; }
    Type type() const override { return Type::Bitmap; }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bits_per_pixel() const { return m_bits; }
    bool is_dib() const { return m_dib; }
    LONG width_bytes() const { return static_cast<LONG>(m_stride); }
    // The memory as the program sees it: the first row in memory (the bottom one when bottom-up).
    void* bits() { return m_memory.data(); }
    Surface surface();

    UINT resource_id() const { return m_resource_id; }
    void set_resource_id(UINT id) { m_resource_id = id; }

private:
    Bitmap(int width, int height, int bits_per_pixel, size_t stride, bool dib, bool bottom_up);

    int m_width;
    int m_height;
    int m_bits;
    size_t m_stride;
    bool m_dib;
    bool m_bottom_up;
    UINT m_resource_id = 0;
    std::vector<uint8_t> m_memory;
};

} // namespace kivo
