#pragma once

#include "CreationHook.h"
#include "GwesApi.h"
#include "HostMutex.h"
#include "MessageRouter.h"
#include "PaintTargets.h"
#include "Region.h"
#include "Window.h"
#include "kernel/DeviceComponent.h"
#include "kernel/Trace.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Device;
struct DrawingCalls;

// The device's window system: classes, the window tree and its z-order (with the top-most band and
// owned windows above their owners), activation, focus and capture, the update and visible regions
// of every window, and the cursor. Its message queues and timers are in its router. Everything is
// guarded by the scheduler's lock; window procedures are always called without it.
class WindowManager final
    : public DeviceComponent
    , public PaintTargets {
public:
    static constexpr int screen_width = 480;
    static constexpr int screen_height = 272;

    explicit WindowManager(Device&);
    ~WindowManager() override;

    static WindowManager& current();

    // The drawing layer's join (PaintTargets).
    void set_painter(Painter) override;
    Painter painter();
    std::optional<Target> paint_target(HWND) override;
    std::optional<Target> begin_paint(HWND) override;
    bool set_window_region(HWND, std::optional<Region>, bool redraw) override;
    std::optional<Region> window_region(HWND) override;
    Device& device() const { return m_device; }
    MessageRouter& router() { return m_router; }

    void thread_ending(SimThread&) override;
    void process_ending(Process&) override;

    // Classes. The system's classes (the controls, dialogs, message boxes) belong to no process.
    ATOM register_class(const WNDCLASS&, bool system, DWORD& error);
    // While the manager is being made, before any thread can see it.
    void add_system_class(std::u16string name, UINT style, WNDPROC);
    bool unregister_class(std::u16string_view name);
    std::optional<WindowClass> class_info(std::u16string_view name);

    // Calls the hook of hook_next_creation (CreationHook.h) before WM_CREATE.
    HWND create_window(const CREATESTRUCT&, DWORD& error);
    // Destroys owned windows, then sends WM_DESTROY (the window, then its children) and
    // WM_NCDESTROY (the children first); only the window's own thread may destroy it.
    bool destroy_window(HWND, DWORD& error);

    // Runs `action` on the live window under the lock; false when the handle is refused.
    // `action` must not call the layer.
    bool with_window(HWND, const std::function<void(Window&)>& action);
    bool is_window(HWND);

    bool show_window(HWND, int command, bool& was_visible);
    bool set_window_pos(HWND, HWND insert_after, int x, int y, int width, int height, UINT flags);
    bool enable_window(HWND, bool enable, bool& was_disabled);
    bool set_text(HWND, std::u16string text);
    bool is_visible(HWND);
    HWND find_window(const std::u16string* class_name, const std::u16string* title);
    HWND window_from_point(POINT screen);
    HWND child_from_point(HWND parent, POINT client);
    bool screen_rect(HWND, RECT&);
    HWND top_level_of(HWND);
    HWND relation(HWND, UINT relation);
    HWND dialog_item(HWND, int id);
    std::vector<HWND> top_level_windows();
    std::vector<HWND> windows_of_thread(DWORD thread_id);

    // Activation, focus and capture. Activating brings the window to the top of its band.
    HWND activate(HWND, WORD how);
    HWND active_window();
    HWND set_focus(HWND);
    HWND focus();
    HWND set_capture(HWND);
    bool release_capture();
    HWND capture();

    // Painting: the update region (client coordinates) and the visible region (screen).
    struct UpdateRegion {
        std::vector<RECT> rects;
        RECT bounds {};
        bool erase = false;
    };
    bool invalidate(HWND, const RECT* client_rect, bool erase, bool children);
    bool validate(HWND, const RECT* client_rect);
    std::optional<UpdateRegion> peek_update_region(HWND);
    void clear_erase(HWND);
    std::vector<RECT> visible_region(HWND);
    // Sends WM_PAINT at once when the window (and then each child) has something to paint.
    void update_window(HWND, bool children);

    // The cursor: what programs set is recorded, in order (the newest, past the device's trace
    // limit).
    HCURSOR set_cursor(HCURSOR);
    HCURSOR cursor();
    std::vector<HCURSOR> cursor_history();
    void set_cursor_pos(POINT);
    POINT cursor_pos();

    // A message for a window that must be delivered once the lock is released: sent at once to
    // a window of the calling thread, queued as a sent message (without waiting) for another one.
    struct Notice {
        HWND hwnd;
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    };
    void deliver(std::vector<Notice>&);

    // With the scheduler's lock held, for the router and the input.
    Window* window_locked(HWND);
    RECT screen_rect_locked(const Window&);
    bool is_visible_locked(const Window&);
    bool is_enabled_chain_locked(const Window&);
    HWND top_level_of_locked(HWND);
    HWND window_from_point_locked(POINT screen);
    std::vector<HWND> top_level_windows_locked() const { return m_top_levels; }
    POINT cursor_pos_locked() const { return m_cursor_pos; }
    void set_cursor_pos_locked(POINT point) { m_cursor_pos = point; }
    HWND capture_locked() const { return m_capture; }
    HWND active_window_locked() const { return m_active; }
    bool class_wants_double_clicks_locked(const Window&) const;
    void activate_locked(HWND, WORD how, std::vector<Notice>&);

private:
    using Snapshot = std::map<HWND, Region>;

    static SimThread& calling_thread();
    std::shared_ptr<WindowClass> find_class_locked(std::u16string_view name, DWORD process_id);
    Region visible_region_locked(const Window&);
    // The part of the screen a window covers: its rectangle, within its region when it has one.
    Region covered_locked(const Window&);
    bool covers_locked(const Window&, POINT screen);
    bool is_transparent_locked(const Window&) const;
    Snapshot snapshot_locked();
    // Invalidates, in every visible window, what became visible since the snapshot.
    void expose_locked(const Snapshot& before);
    void add_update_locked(Window&, const Region& client_region, bool erase);
    void invalidate_locked(Window&, const RECT& client_rect, bool erase, bool children);
    void normalize_top_levels_locked();
    void place_locked(Window&, HWND insert_after);
    void collect_subtree_locked(HWND, std::vector<HWND>& out);
    void activate_next_locked(HWND leaving, std::vector<Notice>&);
    void unlink_locked(Window&);
    std::vector<Timer> forget_locked(HWND);
    void quietly_destroy_locked(HWND, std::vector<Timer>& timers, std::vector<Notice>&);
    void cancel_timers(const std::vector<Timer>&);

    Device& m_device;
    HostMutex m_painter_lock { LockRank::WindowPainter };
    Painter m_painter;
    MessageRouter m_router;
    std::map<HWND, std::shared_ptr<Window>> m_windows;
    // Top-level windows in z-order, the topmost first; the top-most band comes first.
    std::vector<HWND> m_top_levels;
    std::vector<std::shared_ptr<WindowClass>> m_classes;
    ATOM m_next_atom = 0xC000;
    uintptr_t m_next_handle = 0x10000;
    HWND m_active = nullptr;
    HWND m_focus = nullptr;
    HWND m_capture = nullptr;
    HCURSOR m_cursor = nullptr;
    Trace<HCURSOR> m_cursor_history;
    POINT m_cursor_pos {};
};

} // namespace kivo
