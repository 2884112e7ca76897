#include "VideoPlane.h"

#include "Device.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "Process.h"

#include <algorithm>
#include <mutex>

namespace kivo {

namespace {

constexpr RECT whole_screen { 0, 0, FrameBuffer::width, FrameBuffer::height };

RECT clipped_to_screen(const RECT& area)
{
    RECT clipped { std::clamp<LONG>(area.left, 0, FrameBuffer::width), std::clamp<LONG>(area.top, 0, FrameBuffer::height),
        std::clamp<LONG>(area.right, 0, FrameBuffer::width), std::clamp<LONG>(area.bottom, 0, FrameBuffer::height) };
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top)
        return {};
    return clipped;
}

} // namespace

VideoPlane::VideoPlane(Device& device)
    : m_frame_buffer(device.component<FrameBuffer>())
{
}

VideoPlane::Owner VideoPlane::new_owner()
{
    return { ++m_last_owner_id, Process::current().id() };
}

void VideoPlane::process_ending(Process& process)
{
    std::lock_guard guard(m_frame_buffer.lock());
    if (m_picture && m_picture->owner.process == process.id())
        m_picture.reset();
}

bool VideoPlane::present(Owner owner, std::span<const uint16_t> picture, const RECT& area)
{
    if (picture.size() != FrameBuffer::visible_pixels)
        return false;
    RECT shown = clipped_to_screen(area);
    std::lock_guard guard(m_frame_buffer.lock());
    if (!m_picture)
        m_picture = Picture { owner, shown, {} };
    m_picture->owner = owner;
    m_picture->area = shown;
    // Written row by row in one pass: the area from the picture, the rest black.
    auto& pixels = m_picture->pixels;
    pixels.resize(FrameBuffer::visible_pixels);
    for (int y = 0; y < FrameBuffer::height; ++y) {
        uint16_t* row = pixels.data() + size_t(y) * FrameBuffer::width;
        const uint16_t* source = picture.data() + size_t(y) * FrameBuffer::width;
        if (y < shown.top || y >= shown.bottom) {
            std::fill_n(row, FrameBuffer::width, uint16_t(0));
            continue;
        }
        std::fill(row, row + shown.left, uint16_t(0));
        std::copy(source + shown.left, source + shown.right, row + shown.left);
        std::fill(row + shown.right, row + FrameBuffer::width, uint16_t(0));
    }
    return true;
}

bool VideoPlane::present(Owner owner, std::span<const uint16_t> picture)
{
    return present(owner, picture, whole_screen);
}

bool VideoPlane::clear(Owner owner)
{
    std::lock_guard guard(m_frame_buffer.lock());
    if (!m_picture || m_picture->owner != owner)
        return false;
    m_picture.reset();
    return true;
}

std::optional<VideoPlane::Picture> VideoPlane::picture() const
{
    std::lock_guard guard(m_frame_buffer.lock());
    return m_picture;
}

void VideoPlane::copy_shown_screen(std::span<uint16_t> out) const
{
    size_t count = std::min(out.size(), FrameBuffer::visible_pixels);
    std::lock_guard guard(m_frame_buffer.lock());
    const uint16_t* page = m_frame_buffer.pixels();
    if (!m_picture) {
        // The overlay shows nothing: the key is black.
        for (size_t i = 0; i < count; ++i)
            out[i] = page[i] == Gdi::video_key_565 ? 0 : page[i];
        return;
    }
    const uint16_t* plane = m_picture->pixels.data();
    for (size_t i = 0; i < count; ++i)
        out[i] = page[i] == Gdi::video_key_565 ? plane[i] : page[i];
}

} // namespace kivo
