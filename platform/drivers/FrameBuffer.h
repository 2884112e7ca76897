#pragma once

#include "kernel/DeviceComponent.h"
#include "kernel/HostMutex.h"
#include "kernel/Types.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace kivo {

class Device;

// The board's video memory: two pages of 480 × 272 pixels in RGB565, one after the other, that
// programs reach at the fixed address 0xA0000000. The screen shows the first page; GDI paints into
// it and programs may write it directly.
//
// The drawing lock keeps whole pictures together: GDI holds it through every drawing call, a video
// renderer holds it while it presents a frame on the video plane, and whoever shows the screen (the
// simulator's window, a screenshot) composes the visible page and the plane under it, so a copy never holds half of one picture and
// half of the next. Programs writing the memory through its fixed address do so without it, and
// may tear as they would on the board.
class FrameBuffer final : public DeviceComponent {
public:
    static constexpr uint32_t physical_address = 0xA0000000;
    static constexpr int width = 480;
    static constexpr int height = 272;
    static constexpr int pages = 2;
    static constexpr size_t visible_pixels = size_t(width) * height;
    static constexpr size_t size_in_bytes = size_t(width) * height * pages * sizeof(uint16_t);
    static_assert(size_in_bytes == 522'240);

    explicit FrameBuffer(Device&)
        : m_pixels(size_t(width) * height * pages, 0)
    {
    }

    // Row-major, `width` pixels a row; rows 0 to 271 are the visible page.
    uint16_t* pixels() { return m_pixels.data(); }
    const uint16_t* pixels() const { return m_pixels.data(); }
    uint16_t pixel(int x, int y) const { return m_pixels[size_t(y) * width + x]; }

    HostMutex& lock() { return m_lock; }

    // The visible page, row-major, copied under the drawing lock; `out` holds at least
    // `width` × `height` pixels. Takes the lock, so never call it while drawing.
    void copy_visible(std::span<uint16_t> out)
    {
        std::lock_guard guard(m_lock);
        std::copy_n(m_pixels.begin(), std::min(out.size(), visible_pixels), out.begin());
    }

    static constexpr uint16_t rgb565(uint8_t red, uint8_t green, uint8_t blue)
    {
        return static_cast<uint16_t>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
    }

private:
    HostMutex m_lock { LockRank::Gdi };
    std::vector<uint16_t> m_pixels;
};

} // namespace kivo
