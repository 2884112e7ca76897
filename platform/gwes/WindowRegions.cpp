// Painting: the visible region of each window, its update region, and what the drawing layer
// reads of both.

#include "WindowManager.h"

#include "kernel/Device.h"
#include "kernel/SimThread.h"

namespace kivo {

void WindowManager::set_painter(Painter painter)
{
    std::lock_guard guard(m_painter_lock);
    m_painter = std::move(painter);
}

WindowManager::Painter WindowManager::painter()
{
    std::lock_guard guard(m_painter_lock);
    return m_painter;
}

PaintTargets& PaintTargets::of(Device& device)
{
    return device.component<WindowManager>();
}

std::optional<PaintTargets::Target> WindowManager::paint_target(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return std::nullopt;
    RECT rect = screen_rect_locked(*window);
    return Target { { rect.left, rect.top }, visible_region_locked(*window), {}, {}, false };
}

std::optional<PaintTargets::Target> WindowManager::begin_paint(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return std::nullopt;
    RECT rect = screen_rect_locked(*window);
    Target target { { rect.left, rect.top }, visible_region_locked(*window), std::move(window->update), {}, window->erase_pending };
    target.update_bounds = target.update.bounds();
    window->update.clear();
    window->erase_pending = false;
    return target;
}

Region WindowManager::covered_locked(const Window& window)
{
    RECT rect = screen_rect_locked(window);
    Region region(rect);
    if (window.shape) {
        Region shape = *window.shape;
        shape.offset(rect.left, rect.top);
        region.intersect(shape);
    }
    return region;
}

bool WindowManager::covers_locked(const Window& window, POINT screen)
{
    RECT rect = screen_rect_locked(window);
    if (screen.x < rect.left || screen.x >= rect.right || screen.y < rect.top || screen.y >= rect.bottom)
        return false;
    return !window.shape || window.shape->contains(screen.x - rect.left, screen.y - rect.top);
}

bool WindowManager::set_window_region(HWND hwnd, std::optional<Region> region, bool redraw)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return false;
    Snapshot before = snapshot_locked();
    window->shape = std::move(region);
    expose_locked(before);
    if (redraw)
        invalidate_locked(*window, { 0, 0, window->width(), window->height() }, true, true);
    return true;
}

std::optional<Region> WindowManager::window_region(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return std::nullopt;
    return window->shape;
}

Region WindowManager::visible_region_locked(const Window& window)
{
    if (!is_visible_locked(window))
        return {};
    Region region = covered_locked(window);
    // Clipped to each ancestor, and minus the siblings above at every level.
    const Window* current = &window;
    while (current->is_child()) {
        auto* parent = window_locked(current->parent);
        if (!parent)
            return {};
        region.intersect(covered_locked(*parent));
        for (HWND sibling : parent->children) {
            if (sibling == current->hwnd)
                break;
            auto* above = window_locked(sibling);
            if (above && above->is_visible_flag() && !above->destroying)
                region.subtract(covered_locked(*above));
        }
        current = parent;
    }
    for (HWND top : m_top_levels) {
        if (top == current->hwnd)
            break;
        auto* above = window_locked(top);
        if (above && above->is_visible_flag() && !above->destroying)
            region.subtract(covered_locked(*above));
    }
    region.intersect({ 0, 0, screen_width, screen_height });
    if (window.style & WS_CLIPCHILDREN) {
        for (HWND child : window.children) {
            auto* child_window = window_locked(child);
            if (child_window && child_window->is_visible_flag() && !child_window->destroying)
                region.subtract(covered_locked(*child_window));
        }
    }
    return region;
}

std::vector<RECT> WindowManager::visible_region(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return {};
    return visible_region_locked(*window).rects();
}

WindowManager::Snapshot WindowManager::snapshot_locked()
{
    Snapshot snapshot;
    for (auto& [hwnd, window] : m_windows) {
        if (is_visible_locked(*window))
            snapshot.emplace(hwnd, visible_region_locked(*window));
    }
    return snapshot;
}

void WindowManager::expose_locked(const Snapshot& before)
{
    for (auto& [hwnd, window] : m_windows) {
        if (!is_visible_locked(*window))
            continue;
        Region now = visible_region_locked(*window);
        if (auto it = before.find(hwnd); it != before.end()) {
            for (auto& rect : it->second.rects())
                now.subtract(rect);
        }
        if (now.empty())
            continue;
        RECT origin = screen_rect_locked(*window);
        now.offset(-origin.left, -origin.top);
        add_update_locked(*window, now, true);
    }
}

void WindowManager::add_update_locked(Window& window, const Region& client_region, bool erase)
{
    if (client_region.empty())
        return;
    window.update.unite(client_region);
    if (erase)
        window.erase_pending = true;
    ++window.invalidations;
    m_router.note_paint_locked(window);
}

void WindowManager::invalidate_locked(Window& window, const RECT& client_rect, bool erase, bool children)
{
    RECT clipped = Region::intersection(client_rect, { 0, 0, window.width(), window.height() });
    if (Region::is_empty(clipped))
        return;
    add_update_locked(window, Region(clipped), erase);
    if (!children || (window.style & WS_CLIPCHILDREN))
        return;
    for (HWND child : window.children) {
        auto* child_window = window_locked(child);
        if (!child_window)
            continue;
        RECT part = Region::intersection(clipped, child_window->rect);
        if (Region::is_empty(part))
            continue;
        part = { part.left - child_window->rect.left, part.top - child_window->rect.top, part.right - child_window->rect.left,
            part.bottom - child_window->rect.top };
        invalidate_locked(*child_window, part, erase, true);
    }
}

bool WindowManager::invalidate(HWND hwnd, const RECT* client_rect, bool erase, bool children)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return false;
    RECT whole { 0, 0, window->width(), window->height() };
    invalidate_locked(*window, client_rect ? *client_rect : whole, erase, children);
    return true;
}

bool WindowManager::validate(HWND hwnd, const RECT* client_rect)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return false;
    if (client_rect)
        window->update.subtract(*client_rect);
    else
        window->update.clear();
    if (window->update.empty())
        window->erase_pending = false;
    return true;
}

std::optional<WindowManager::UpdateRegion> WindowManager::peek_update_region(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return std::nullopt;
    return UpdateRegion { window->update.rects(), window->update.bounds(), window->erase_pending };
}

void WindowManager::clear_erase(HWND hwnd)
{
    with_window(hwnd, [](Window& window) { window.erase_pending = false; });
}

void WindowManager::update_window(HWND hwnd, bool children)
{
    bool paint = false;
    DWORD thread_id = 0;
    std::vector<HWND> child_windows;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window)
            return;
        paint = !window->update.empty() && is_visible_locked(*window);
        thread_id = window->thread_id;
        child_windows = window->children;
    }
    // Another thread's window is painted from its own queue.
    if (paint && thread_id == calling_thread().id())
        m_router.dispatch({ hwnd, WM_PAINT, 0, 0, m_device.clock().tick_count(), {} });
    if (children) {
        for (HWND child : child_windows)
            update_window(child, true);
    }
}

} // namespace kivo
