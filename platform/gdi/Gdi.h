#pragma once

#include "DeviceComponent.h"
#include "DeviceContext.h"
#include "DrawLog.h"
#include "FontEngine.h"
#include "GdiObject.h"
#include "HostMutex.h"
#include "Region.h"
#include "ResourceTable.h"
#include "Surface.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace kivo {

class Device;
class Process;

// The device's drawing state: the screen (the frame buffer's first page), the stock objects, the
// text faces, the draw log, and the resource tables of the modules.
class Gdi final : public DeviceComponent {
public:
    // Where video renderers put their pictures: what is painted red 16, green 0, blue 16.
    static constexpr COLORREF video_key = RGB(16, 0, 16);
    static constexpr uint16_t video_key_565 = 0x1002;

    explicit Gdi(Device&);
    ~Gdi() override;

    Device& device() { return m_device; }
    Surface screen() const { return m_screen; }
    DrawLog& draw_log() { return m_draw_log; }
    // The text faces, opened on first use.
    FontEngine& fonts();
    // The resources of a module, made empty on first use.
    ResourceTable& resources(HMODULE);

    // Every drawing call holds this, so that threads running in parallel (on the real clock)
    // never mix their pixels or their objects' states. It is the frame buffer's drawing lock,
    // which a video renderer and the screen's readers take too.
    HostMutex& lock() { return m_lock; }

    // Drawing objects by handle: the stock ones (valid in every process) or a process's own.
    std::shared_ptr<GdiObject> resolve(HGDIOBJ, const Process&);
    HGDIOBJ insert(std::shared_ptr<GdiObject>, const Process&);
    HGDIOBJ stock_handle(int index) const;
    std::shared_ptr<GdiObject> stock_object(int index);
    bool is_stock(HGDIOBJ) const;

    // The state of a fresh device context: stock font, white brush, black pen.
    DeviceContext::State fresh_state();

    // The smallest rectangle around the screen's pixels in the video key colour, if any. Takes the
    // drawing lock.
    std::optional<RECT> video_key_bounds() const;
    // The same, counting only the key pixels inside `within` (clipped to the screen). A renderer
    // asks this once a frame, so it reads only as many rows and columns as it must.
    std::optional<RECT> video_key_bounds(const RECT& within) const;

    // Memory contexts start with a one-pixel bitmap, as on the device; it sits in a stock slot
    // that GetStockObject does not hand out.
    static constexpr int default_bitmap = 9;

private:
    static constexpr int stock_count = SYSTEM_FONT + 1;

    Device& m_device;
    Surface m_screen;
    DrawLog m_draw_log;
    HostMutex& m_lock;
    HostMutex m_fonts_lock { LockRank::GdiFonts };
    std::unique_ptr<FontEngine> m_fonts;
    HostMutex m_resources_lock { LockRank::GdiResources };
    std::map<HMODULE, std::unique_ptr<ResourceTable>> m_resources;
    std::array<std::shared_ptr<GdiObject>, stock_count> m_stock;
};

} // namespace kivo
