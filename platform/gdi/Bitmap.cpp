#include "Bitmap.h"

namespace kivo {

Bitmap::Bitmap(int width, int height, int bits_per_pixel, size_t stride, bool dib, bool bottom_up)
    : m_width(width)
    , m_height(height)
    , m_bits(bits_per_pixel)
    , m_stride(stride)
    , m_dib(dib)
    , m_bottom_up(bottom_up)
    , m_memory(stride * height, 0)
{
}

std::shared_ptr<Bitmap> Bitmap::create_compatible(int width, int height)
{
    // Rows of a device-dependent bitmap are whole 16-bit words, which 16-bit pixels always are.
    return std::shared_ptr<Bitmap>(new Bitmap(width, height, 16, size_t(width) * 2, false, false));
}

std::shared_ptr<Bitmap> Bitmap::create_dib(int width, int height, int bits_per_pixel, bool bottom_up)
{
    // DIB rows are padded to whole 32-bit words.
    size_t stride = (size_t(width) * bits_per_pixel / 8 + 3) & ~size_t(3);
    return std::shared_ptr<Bitmap>(new Bitmap(width, height, bits_per_pixel, stride, true, bottom_up));
}

Surface Bitmap::surface()
{
    auto stride = static_cast<ptrdiff_t>(m_stride);
    if (m_bottom_up && m_height > 0)
        return { m_memory.data() + stride * (m_height - 1), -stride, m_width, m_height, m_bits };
    return { m_memory.data(), stride, m_width, m_height, m_bits };
}

} // namespace kivo
