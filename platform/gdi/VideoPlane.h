#pragma once

#include "DeviceComponent.h"
#include "Types.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kivo {

class Device;
class FrameBuffer;

// The picture a video renderer shows on the screen, beneath the frame buffer: the screen shows it
// wherever the frame buffer holds the video key colour (`Gdi::video_key`), as the device's overlay
// shows through the key. The frame buffer itself keeps the key as drawn, so what programs read
// back from the screen is what they painted.
//
// The plane holds one RGB565 picture of the screen's size, or nothing. It is guarded by the
// frame buffer's drawing lock, so a renderer thread presenting a frame while programs draw, and
// a reader copying what the screen shows, each see one whole frame and one whole drawing.
class VideoPlane final : public DeviceComponent {
public:
    // Names a renderer to the plane. The renderer that presented last owns the plane, and only
    // the owner may clear it, so a renderer stopping late never blanks its successor's picture.
    struct Owner {
        uint64_t id = 0;
        DWORD process = 0; // the renderer's: its picture goes when that process ends
        bool operator==(const Owner&) const = default;
    };

    // What the plane holds: the picture (screen-sized, row-major, black outside `area`), the part
    // of the screen it covers, and who presented it.
    struct Picture {
        Owner owner;
        RECT area {};
        std::vector<uint16_t> pixels;
    };

    explicit VideoPlane(Device&);

    // A token for a new renderer of the calling thread's process; each call answers a different one.
    Owner new_owner();
    // A renderer's program ended without stopping it: what it presented goes.
    void process_ending(Process&) override;

    // Shows `picture` (screen-sized, row-major, already scaled and placed in screen coordinates)
    // inside `area`, clipped to the screen; the rest of the plane is empty. `owner` owns the plane
    // afterwards. A picture of another size is refused (false). Takes the drawing lock, so never
    // call it while drawing.
    bool present(Owner, std::span<const uint16_t> picture, const RECT& area);
    bool present(Owner, std::span<const uint16_t> picture);
    // Empties the plane when `owner` owns it; answers whether it did. Takes the drawing lock.
    bool clear(Owner);
    // A copy of what the plane holds, if anything. Takes the drawing lock.
    std::optional<Picture> picture() const;

    // What the screen shows: the visible page with every key pixel replaced by the plane's pixel
    // there (black where the plane has nothing). Screenshots, the simulator's window and its
    // pixel checks all read the screen through this. `out` holds at least `width` × `height`
    // pixels. Takes the drawing lock, so never call it while drawing.
    void copy_shown_screen(std::span<uint16_t> out) const;

private:
    FrameBuffer& m_frame_buffer;
    std::atomic<uint64_t> m_last_owner_id = 0;
    // Guarded by the frame buffer's lock.
    std::optional<Picture> m_picture;
};

} // namespace kivo
