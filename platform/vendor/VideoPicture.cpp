#include "VideoPicture.h"

#include "FrameBuffer.h"
#include "Gdi.h"
#include "MediaType.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libswscale/swscale.h>
#include <libavutil/pixfmt.h>
}

namespace kivo {

namespace {

// Beyond the last plane, for the scaler's vector code that may read a little past a row's end.
constexpr size_t read_padding = 64;

// Bit-exact scaling on one thread: the same picture gives the same bytes on every run and host.
constexpr int scale_flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT;

bool is_picture_size(int width, int height)
{
    return width >= 1 && height >= 1 && width <= VideoPicture::max_side && height <= VideoPicture::max_side;
}

LONG width_of(const RECT& r) { return r.right - r.left; }
LONG height_of(const RECT& r) { return r.bottom - r.top; }
bool is_empty(const RECT& r) { return width_of(r) <= 0 || height_of(r) <= 0; }

// A scaling context from I420 at one size to `format` at another, reusing `context` when it was
// made for the same; BT.601 with YUV in limited range, as the device's decoders deliver it.
SwsContext* scaling_context(SwsContext* context, int from_width, int from_height, int to_width, int to_height, AVPixelFormat format)
{
    const bool to_rgb = format != AV_PIX_FMT_YUV420P;
    // Into RGB each output pixel gets its own chroma, not one shared by a pair.
    const int flags = to_rgb ? scale_flags | SWS_FULL_CHR_H_INT : scale_flags;
    SwsContext* made = sws_getCachedContext(context, from_width, from_height, AV_PIX_FMT_YUV420P, to_width, to_height, format, flags,
        nullptr, nullptr, nullptr);
    if (!made)
        return nullptr;
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    // RGB is full range; YUV into YUV stays limited.
    sws_setColorspaceDetails(made, bt601, 0, bt601, to_rgb ? 1 : 0, 0, 1 << 16, 1 << 16);
    return made;
}

} // namespace

size_t VideoPicture::i420_size(int width, int height)
{
    return is_picture_size(width, height) ? kivo::i420_size(width, height) : 0;
}

VideoPicture::VideoPicture(int width, int height, SampleAspect sample_aspect)
{
    size_t size = i420_size(width, height);
    if (size == 0)
        return;
    m_width = width;
    m_height = height;
    m_sample_aspect = sample_aspect;
    m_bytes.assign(size + read_padding, 128);
    std::fill_n(m_bytes.begin(), size_t(width) * height, uint8_t(16));
}

std::optional<VideoPicture> VideoPicture::from_i420(std::span<const uint8_t> i420, int width, int height, SampleAspect sample_aspect)
{
    size_t size = i420_size(width, height);
    if (size == 0 || i420.size() < size)
        return std::nullopt;
    VideoPicture picture(width, height, sample_aspect);
    std::copy_n(i420.begin(), size, picture.m_bytes.begin());
    return picture;
}

RECT video_mode_rectangle(DWORD left, DWORD top, DWORD width, DWORD height)
{
    // The words are signed on the device: a window partly off the screen has a negative corner.
    const int64_t x = int32_t(left);
    const int64_t y = int32_t(top);
    const int64_t w = int32_t(width);
    const int64_t h = int32_t(height);
    if (w <= 0 || h <= 0)
        return {};
    RECT clipped { LONG(std::clamp<int64_t>(x, 0, FrameBuffer::width)), LONG(std::clamp<int64_t>(y, 0, FrameBuffer::height)),
        LONG(std::clamp<int64_t>(x + w, 0, FrameBuffer::width)), LONG(std::clamp<int64_t>(y + h, 0, FrameBuffer::height)) };
    if (is_empty(clipped))
        return {};
    return clipped;
}

RECT video_target(const Gdi& gdi, const RECT& mode_rectangle)
{
    if (is_empty(mode_rectangle))
        return {};
    // The key's bounds lie inside the rectangle, so they are never larger than it.
    return gdi.video_key_bounds(mode_rectangle).value_or(mode_rectangle);
}

RECT fitted_rectangle(const RECT& target, int width, int height, SampleAspect sample_aspect)
{
    if (is_empty(target) || !is_picture_size(width, height))
        return {};
    int64_t aspect_numerator = sample_aspect.numerator;
    int64_t aspect_denominator = sample_aspect.denominator;
    if (aspect_numerator <= 0 || aspect_denominator <= 0)
        aspect_numerator = aspect_denominator = 1;
    // Display aspect = display_width / display_height.
    const int64_t display_width = int64_t(width) * aspect_numerator;
    const int64_t display_height = int64_t(height) * aspect_denominator;
    const int64_t target_width = width_of(target);
    const int64_t target_height = height_of(target);

    int64_t fitted_width = target_width;
    int64_t fitted_height = target_height;
    if (target_width * display_height > target_height * display_width) {
        // Narrower than the target: full height, bars left and right (rounded to nearest).
        fitted_width = (2 * target_height * display_width + display_height) / (2 * display_height);
    } else {
        // Wider: full width, bars above and below.
        fitted_height = (2 * target_width * display_height + display_width) / (2 * display_width);
    }
    fitted_width = std::clamp<int64_t>(fitted_width, 1, target_width);
    fitted_height = std::clamp<int64_t>(fitted_height, 1, target_height);
    const LONG left = target.left + LONG((target_width - fitted_width) / 2);
    const LONG top = target.top + LONG((target_height - fitted_height) / 2);
    return { left, top, left + LONG(fitted_width), top + LONG(fitted_height) };
}

std::optional<size_t> capture_i420(const VideoPicture& picture, std::span<uint8_t> out)
{
    auto planes = picture.i420();
    if (picture.empty() || out.size() < planes.size())
        return std::nullopt;
    std::copy(planes.begin(), planes.end(), out.begin());
    return planes.size();
}

VideoScaler::~VideoScaler()
{
    sws_freeContext(m_to_screen);
    sws_freeContext(m_to_preview);
}

bool VideoScaler::draw(const VideoPicture& picture, const RECT& target, std::vector<uint16_t>& screen)
{
    screen.assign(FrameBuffer::visible_pixels, 0);
    const RECT on_screen { std::max<LONG>(target.left, 0), std::max<LONG>(target.top, 0), std::min<LONG>(target.right, FrameBuffer::width),
        std::min<LONG>(target.bottom, FrameBuffer::height) };
    const RECT fitted = fitted_rectangle(on_screen, picture.width(), picture.height(), picture.sample_aspect());
    if (picture.empty() || is_empty(fitted))
        return false;

    const int fitted_width = width_of(fitted);
    const int fitted_height = height_of(fitted);
    // Scaled to 8-bit RGB and packed to RGB565 here, rounded: the scaler's own RGB565 output
    // dithers and cannot interpolate chroma fully at odd widths.
    m_to_screen = scaling_context(m_to_screen, picture.width(), picture.height(), fitted_width, fitted_height, AV_PIX_FMT_RGB24);
    if (!m_to_screen)
        return false;
    // Rows of a multiple of 32 bytes and one spare row, whatever the scaler writes past a row.
    const int stride = (fitted_width * 3 + 31) / 32 * 32;
    m_fitted.resize(size_t(stride) * (fitted_height + 1));
    const uint8_t* const source[] = { picture.y(), picture.u(), picture.v() };
    const int source_strides[] = { picture.width(), picture.chroma_width(), picture.chroma_width() };
    uint8_t* const destination[] = { m_fitted.data() };
    const int destination_strides[] = { stride };
    if (sws_scale(m_to_screen, source, source_strides, 0, picture.height(), destination, destination_strides) != fitted_height)
        return false;

    for (int y = 0; y < fitted_height; ++y) {
        const uint8_t* rgb = m_fitted.data() + size_t(y) * stride;
        uint16_t* row = screen.data() + size_t(fitted.top + y) * FrameBuffer::width + fitted.left;
        for (int x = 0; x < fitted_width; ++x, rgb += 3)
            row[x] = uint16_t((rgb[0] * 31 + 127) / 255 << 11 | (rgb[1] * 63 + 127) / 255 << 5 | (rgb[2] * 31 + 127) / 255);
    }
    return true;
}

size_t VideoScaler::preview(const VideoPicture& picture, int width, int height, std::span<uint8_t> out)
{
    const size_t size = VideoPicture::i420_size(width, height);
    if (picture.empty() || size == 0 || out.size() < size)
        return 0;
    m_to_preview = scaling_context(m_to_preview, picture.width(), picture.height(), width, height, AV_PIX_FMT_YUV420P);
    if (!m_to_preview)
        return 0;
    // Scaled into a picture of our own (padded), then copied: the caller's buffer is exactly the
    // size answered.
    if (m_preview.width() != width || m_preview.height() != height)
        m_preview = VideoPicture(width, height);
    const uint8_t* const source[] = { picture.y(), picture.u(), picture.v() };
    const int source_strides[] = { picture.width(), picture.chroma_width(), picture.chroma_width() };
    uint8_t* const planes = m_preview.i420().data();
    uint8_t* const destination[] = { planes, planes + size_t(width) * height, planes + size_t(width) * height + size_t(m_preview.chroma_width()) * m_preview.chroma_height() };
    const int destination_strides[] = { width, m_preview.chroma_width(), m_preview.chroma_width() };
    if (sws_scale(m_to_preview, source, source_strides, 0, picture.height(), destination, destination_strides) != height)
        return 0;
    std::copy_n(planes, size, out.begin());
    return size;
}

} // namespace kivo
