#pragma once

#include "Types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct SwsContext;

namespace kivo {

class Gdi;

// The shape of one sample of a picture: numerator / denominator. 0/0 (or any zero) means unknown,
// taken as square.
struct SampleAspect {
    int numerator = 0;
    int denominator = 0;
};

// A picture in planar YUV 4:2:0 (I420): the Y plane of width × height bytes, then the U and the V
// planes of ceil(width / 2) × ceil(height / 2) bytes each, contiguous, rows without padding.
class VideoPicture {
public:
    // Pictures larger than this on either side are refused: no video the renderer is given comes
    // near it, and it keeps every size computation far from overflow.
    static constexpr int max_side = 8192;

    // The bytes an I420 picture of this size takes; 0 for a size that is not a picture (a side
    // below 1 or above `max_side`).
    static size_t i420_size(int width, int height);

    // A black picture (Y 16, U and V 128); an empty picture for a size that is not a picture.
    VideoPicture() = default;
    VideoPicture(int width, int height, SampleAspect = {});
    // A copy of an I420 picture; none when the size is not a picture or `i420` is shorter than it.
    static std::optional<VideoPicture> from_i420(std::span<const uint8_t> i420, int width, int height, SampleAspect = {});

    bool empty() const { return m_width == 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int chroma_width() const { return (m_width + 1) / 2; }
    int chroma_height() const { return (m_height + 1) / 2; }
    SampleAspect sample_aspect() const { return m_sample_aspect; }

    // The three planes, contiguous.
    std::span<const uint8_t> i420() const { return { m_bytes.data(), i420_size(m_width, m_height) }; }
    std::span<uint8_t> i420() { return { m_bytes.data(), i420_size(m_width, m_height) }; }
    const uint8_t* y() const { return m_bytes.data(); }
    const uint8_t* u() const { return y() + size_t(m_width) * m_height; }
    const uint8_t* v() const { return u() + size_t(chroma_width()) * chroma_height(); }

private:
    int m_width = 0;
    int m_height = 0;
    SampleAspect m_sample_aspect;
    // The planes and a tail of padding, as the scaler's vector code may read a little past a row.
    std::vector<uint8_t> m_bytes;
};

// The rectangle of a renderer's mode (left, top, width, height; the words read as signed) clipped
// to the screen; empty when nothing of it is on the screen or a side is zero or negative.
RECT video_mode_rectangle(DWORD left, DWORD top, DWORD width, DWORD height);

// Where the video shows inside a mode rectangle (already clipped): the bounds of the key colour
// inside it, so that a program painting the key only in its video window sees its film there; the
// whole rectangle when no key is inside. Reads the frame buffer under the drawing lock.
RECT video_target(const Gdi&, const RECT& mode_rectangle);

// `picture` scaled with its display aspect kept (sample aspect applied) and centred in `target`;
// empty when either is empty.
RECT fitted_rectangle(const RECT& target, int width, int height, SampleAspect);

// Copies `picture` as I420 at its own size into `out`; the bytes written, or none when `out` is
// shorter than the picture (or there is no picture).
std::optional<size_t> capture_i420(const VideoPicture&, std::span<uint8_t> out);

// Scales pictures for one renderer: onto the screen and into previews. It keeps its scaling
// contexts from call to call, so one object serves one thread at a time; each renderer has its
// own. Every scaling is bit-exact, so the same picture gives the same bytes on every run.
class VideoScaler {
public:
    VideoScaler() = default;
    VideoScaler(const VideoScaler&) = delete;
    VideoScaler& operator=(const VideoScaler&) = delete;
    ~VideoScaler();

    // Fills `screen` (resized to the screen's pixels) with `picture` fitted into `target` (screen
    // coordinates, inside the screen) in RGB565 and black everywhere else; this is what the video
    // plane shows over `target`. Answers false, the screen all black, when nothing could be drawn
    // (no picture, an empty target).
    bool draw(const VideoPicture&, const RECT& target, std::vector<uint16_t>& screen);

    // Writes `picture` scaled to width × height as I420 into `out`; the bytes written
    // (`VideoPicture::i420_size`), or 0 when the size is not a picture, there is no picture or
    // `out` is too short.
    size_t preview(const VideoPicture&, int width, int height, std::span<uint8_t> out);

private:
    SwsContext* m_to_screen = nullptr;
    SwsContext* m_to_preview = nullptr;
    // The fitted picture in 8-bit RGB before it is packed onto the screen: rows padded, so
    // nothing the scaler writes can reach past it.
    std::vector<uint8_t> m_fitted;
    // A preview before it goes into the caller's buffer, for the same reason.
    VideoPicture m_preview;
};

} // namespace kivo
