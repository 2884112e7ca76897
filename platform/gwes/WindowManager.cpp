#include "WindowManager.h"

#include "Controls.h"

#include "kernel/Device.h"
#include "kernel/Process.h"
#include "kernel/SimThread.h"
#include "kernel/WideText.h"

#include <algorithm>
#include <utility>

namespace kivo {

namespace {

bool contains(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

} // namespace

WindowManager::WindowManager(Device& device)
    : m_device(device)
    , m_router(device, *this)
    , m_cursor_history(device.trace_limit())
{
    register_standard_controls(*this);
}

void WindowManager::add_system_class(std::u16string name, UINT style, WNDPROC proc)
{
    auto window_class = std::make_shared<WindowClass>();
    window_class->name = std::move(name);
    window_class->style = style;
    window_class->proc = proc;
    window_class->atom = m_next_atom++;
    m_classes.push_back(std::move(window_class));
}

WindowManager::~WindowManager()
{
    std::vector<Timer> timers;
    {
        auto guard = m_device.scheduler().lock();
        timers = m_router.close_all_locked();
    }
    cancel_timers(timers);
}

WindowManager& WindowManager::current()
{
    return Device::current().component<WindowManager>();
}

void WindowManager::cancel_timers(const std::vector<Timer>& timers)
{
    m_router.cancel_scheduled(timers);
}

SimThread& WindowManager::calling_thread()
{
    Device::current();
    return *SimThread::current();
}

void WindowManager::thread_ending(SimThread& thread)
{
    std::vector<Timer> timers;
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        std::vector<HWND> roots;
        for (auto& [hwnd, window] : m_windows) {
            if (window->thread_id != thread.id())
                continue;
            auto* parent = window->is_child() ? window_locked(window->parent) : nullptr;
            if (!parent || parent->thread_id != thread.id())
                roots.push_back(hwnd);
        }
        for (HWND root : roots)
            quietly_destroy_locked(root, timers, notices);
        auto queue_timers = m_router.close_queue_locked(thread.id());
        timers.insert(timers.end(), queue_timers.begin(), queue_timers.end());
    }
    cancel_timers(timers);
    deliver(notices);
}

void WindowManager::process_ending(Process& process)
{
    auto guard = m_device.scheduler().lock();
    std::erase_if(m_classes, [&](auto& window_class) { return window_class->process_id == process.id(); });
}

// Classes

std::shared_ptr<WindowClass> WindowManager::find_class_locked(std::u16string_view name, DWORD process_id)
{
    std::shared_ptr<WindowClass> system;
    for (auto& window_class : m_classes) {
        if (!equals_ignoring_case(window_class->name, name))
            continue;
        if (window_class->process_id == process_id)
            return window_class;
        if (window_class->process_id == 0)
            system = window_class;
    }
    return system;
}

ATOM WindowManager::register_class(const WNDCLASS& description, bool system, DWORD& error)
{
    if (!description.lpszClassName || !*description.lpszClassName || !description.lpfnWndProc) {
        error = ERROR_INVALID_PARAMETER;
        return 0;
    }
    DWORD process_id = system ? 0 : calling_thread().process().id();
    auto guard = m_device.scheduler().lock();
    auto existing = find_class_locked(description.lpszClassName, process_id);
    if (existing && existing->process_id == process_id) {
        error = ERROR_CLASS_ALREADY_EXISTS;
        return 0;
    }
    auto window_class = std::make_shared<WindowClass>();
    window_class->name = description.lpszClassName;
    window_class->style = description.style;
    window_class->proc = description.lpfnWndProc;
    window_class->instance = description.hInstance;
    window_class->cursor = description.hCursor;
    window_class->background = description.hbrBackground;
    window_class->process_id = process_id;
    window_class->atom = m_next_atom++;
    m_classes.push_back(window_class);
    return window_class->atom;
}

bool WindowManager::unregister_class(std::u16string_view name)
{
    DWORD process_id = calling_thread().process().id();
    auto guard = m_device.scheduler().lock();
    auto before = m_classes.size();
    std::erase_if(m_classes, [&](auto& window_class) {
        return window_class->process_id == process_id && equals_ignoring_case(window_class->name, name);
    });
    return m_classes.size() != before;
}

std::optional<WindowClass> WindowManager::class_info(std::u16string_view name)
{
    DWORD process_id = calling_thread().process().id();
    auto guard = m_device.scheduler().lock();
    auto window_class = find_class_locked(name, process_id);
    if (!window_class)
        return std::nullopt;
    return *window_class;
}

bool WindowManager::class_wants_double_clicks_locked(const Window& window) const
{
    return window.window_class && (window.window_class->style & CS_DBLCLKS);
}

// Looking windows up

Window* WindowManager::window_locked(HWND hwnd)
{
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : it->second.get();
}

bool WindowManager::with_window(HWND hwnd, const std::function<void(Window&)>& action)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return false;
    action(*window);
    return true;
}

bool WindowManager::is_window(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    return window_locked(hwnd) != nullptr;
}

RECT WindowManager::screen_rect_locked(const Window& window)
{
    RECT rect = window.rect;
    const Window* current = &window;
    while (current->is_child()) {
        current = window_locked(current->parent);
        if (!current)
            break;
        rect.left += current->rect.left;
        rect.right += current->rect.left;
        rect.top += current->rect.top;
        rect.bottom += current->rect.top;
    }
    return rect;
}

bool WindowManager::screen_rect(HWND hwnd, RECT& rect)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return false;
    rect = screen_rect_locked(*window);
    return true;
}

bool WindowManager::is_visible_locked(const Window& window)
{
    const Window* current = &window;
    for (;;) {
        if (!current->is_visible_flag() || current->destroying)
            return false;
        if (!current->is_child())
            return true;
        current = window_locked(current->parent);
        if (!current)
            return false;
    }
}

bool WindowManager::is_visible(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    return window && is_visible_locked(*window);
}

bool WindowManager::is_enabled_chain_locked(const Window& window)
{
    const Window* current = &window;
    for (;;) {
        if (!current->is_enabled_flag())
            return false;
        if (!current->is_child())
            return true;
        current = window_locked(current->parent);
        if (!current)
            return false;
    }
}

HWND WindowManager::top_level_of_locked(HWND hwnd)
{
    auto* window = window_locked(hwnd);
    while (window && window->is_child())
        window = window_locked(window->parent);
    return window ? window->hwnd : nullptr;
}

HWND WindowManager::top_level_of(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    return top_level_of_locked(hwnd);
}

std::vector<HWND> WindowManager::top_level_windows()
{
    auto guard = m_device.scheduler().lock();
    return m_top_levels;
}

std::vector<HWND> WindowManager::windows_of_thread(DWORD thread_id)
{
    auto guard = m_device.scheduler().lock();
    std::vector<HWND> result;
    for (auto& [hwnd, window] : m_windows) {
        if (window->thread_id == thread_id)
            result.push_back(hwnd);
    }
    return result;
}

HWND WindowManager::find_window(const std::u16string* class_name, const std::u16string* title)
{
    auto guard = m_device.scheduler().lock();
    for (HWND hwnd : m_top_levels) {
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            continue;
        if (class_name && !equals_ignoring_case(window->window_class->name, *class_name))
            continue;
        // An empty title matches only an untitled window, never any window at all.
        if (title && !equals_ignoring_case(window->title, *title))
            continue;
        return hwnd;
    }
    return nullptr;
}

// Labels and group boxes let touches through to what lies under them.
bool WindowManager::is_transparent_locked(const Window& window) const
{
    auto& name = window.window_class->name;
    if (equals_ignoring_case(name, WC_STATIC))
        return !(window.style & SS_NOTIFY);
    if (equals_ignoring_case(name, WC_BUTTON))
        return (window.style & BS_TYPEMASK) == BS_GROUPBOX;
    return false;
}

HWND WindowManager::window_from_point_locked(POINT screen)
{
    std::function<HWND(const Window&)> deepest = [&](const Window& window) -> HWND {
        for (HWND child : window.children) {
            auto* child_window = window_locked(child);
            if (child_window && child_window->is_visible_flag() && !child_window->destroying && !is_transparent_locked(*child_window)
                && covers_locked(*child_window, screen))
                return deepest(*child_window);
        }
        return window.hwnd;
    };
    for (HWND hwnd : m_top_levels) {
        auto* window = window_locked(hwnd);
        if (window && window->is_visible_flag() && !window->destroying && covers_locked(*window, screen))
            return deepest(*window);
    }
    return nullptr;
}

HWND WindowManager::window_from_point(POINT screen)
{
    auto guard = m_device.scheduler().lock();
    return window_from_point_locked(screen);
}

HWND WindowManager::child_from_point(HWND parent, POINT client)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(parent);
    if (!window || !contains({ 0, 0, window->width(), window->height() }, client))
        return nullptr;
    for (HWND child : window->children) {
        auto* child_window = window_locked(child);
        if (child_window && contains(child_window->rect, client))
            return child;
    }
    return parent;
}

HWND WindowManager::relation(HWND hwnd, UINT relation)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return nullptr;
    if (relation == GW_OWNER)
        return window->owner;
    if (relation == GW_CHILD)
        return window->children.empty() ? nullptr : window->children.front();
    const std::vector<HWND>* siblings = &m_top_levels;
    if (window->is_child()) {
        auto* parent = window_locked(window->parent);
        if (!parent)
            return nullptr;
        siblings = &parent->children;
    }
    auto it = std::find(siblings->begin(), siblings->end(), hwnd);
    switch (relation) {
    case GW_HWNDFIRST:
        return siblings->front();
    case GW_HWNDLAST:
        return siblings->back();
    case GW_HWNDNEXT:
        return it + 1 < siblings->end() ? *(it + 1) : nullptr;
    case GW_HWNDPREV:
        return it != siblings->begin() ? *(it - 1) : nullptr;
    default:
        return nullptr;
    }
}

HWND WindowManager::dialog_item(HWND hwnd, int id)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return nullptr;
    for (HWND child : window->children) {
        auto* child_window = window_locked(child);
        if (child_window && child_window->id == id)
            return child;
    }
    return nullptr;
}

// The cursor

HCURSOR WindowManager::set_cursor(HCURSOR cursor)
{
    auto guard = m_device.scheduler().lock();
    m_cursor_history.append(cursor);
    return std::exchange(m_cursor, cursor);
}

HCURSOR WindowManager::cursor()
{
    auto guard = m_device.scheduler().lock();
    return m_cursor;
}

std::vector<HCURSOR> WindowManager::cursor_history()
{
    auto guard = m_device.scheduler().lock();
    return m_cursor_history.all();
}

void WindowManager::set_cursor_pos(POINT point)
{
    auto guard = m_device.scheduler().lock();
    m_cursor_pos = point;
}

POINT WindowManager::cursor_pos()
{
    auto guard = m_device.scheduler().lock();
    return m_cursor_pos;
}

} // namespace kivo
