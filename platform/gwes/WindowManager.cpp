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

SimThread& self()
{
    Device::current();
    return *SimThread::current();
}

struct PendingHook {
    WindowManager::CreationHook hook = nullptr;
    void* context = nullptr;
};
thread_local PendingHook t_creation_hook;

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
    DWORD process_id = system ? 0 : self().process().id();
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
    DWORD process_id = self().process().id();
    auto guard = m_device.scheduler().lock();
    auto before = m_classes.size();
    std::erase_if(m_classes, [&](auto& window_class) {
        return window_class->process_id == process_id && equals_ignoring_case(window_class->name, name);
    });
    return m_classes.size() != before;
}

std::optional<WindowClass> WindowManager::class_info(std::u16string_view name)
{
    DWORD process_id = self().process().id();
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

POINT WindowManager::client_origin(HWND hwnd)
{
    RECT rect {};
    screen_rect(hwnd, rect);
    return { rect.left, rect.top };
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
                && contains(screen_rect_locked(*child_window), screen))
                return deepest(*child_window);
        }
        return window.hwnd;
    };
    for (HWND hwnd : m_top_levels) {
        auto* window = window_locked(hwnd);
        if (window && window->is_visible_flag() && !window->destroying && contains(window->rect, screen))
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

// Creating and destroying

HWND WindowManager::create_window(const CREATESTRUCT& create, DWORD& error)
{
    auto& me = self();
    HWND hwnd = nullptr;
    bool child = create.style & WS_CHILD;
    {
        auto guard = m_device.scheduler().lock();
        auto window_class = find_class_locked(create.lpszClass ? create.lpszClass : u"", me.process().id());
        if (!window_class) {
            error = ERROR_CANNOT_FIND_WND_CLASS;
            return nullptr;
        }
        Window* parent = nullptr;
        if (create.hwndParent) {
            parent = window_locked(create.hwndParent);
            if (!parent) {
                error = ERROR_INVALID_WINDOW_HANDLE;
                return nullptr;
            }
        }
        if (child && !parent) {
            error = ERROR_TLW_WITH_WSCHILD;
            return nullptr;
        }
        auto window = std::make_shared<Window>();
        hwnd = reinterpret_cast<HWND>(m_next_handle);
        m_next_handle += 4;
        window->hwnd = hwnd;
        window->window_class = window_class;
        window->title = create.lpszName ? create.lpszName : u"";
        // Shown below, once WM_CREATE has been handled.
        window->style = static_cast<DWORD>(create.style) & ~WS_VISIBLE;
        window->ex_style = create.dwExStyle;
        int x = create.x == CW_USEDEFAULT ? 0 : create.x;
        int y = create.y == CW_USEDEFAULT ? 0 : create.y;
        int cx = create.cx == CW_USEDEFAULT ? screen_width : create.cx;
        int cy = create.cy == CW_USEDEFAULT ? screen_height : create.cy;
        window->rect = { x, y, x + std::max(cx, 0), y + std::max(cy, 0) };
        window->proc = window_class->proc;
        window->instance = create.hInstance;
        window->thread_id = me.id();
        window->process_id = me.process().id();
        for (auto& bar : window->scroll)
            bar.cbSize = sizeof(SCROLLINFO);
        if (child) {
            window->parent = create.hwndParent;
            window->id = reinterpret_cast<LONG_PTR>(create.hMenu);
            parent->children.insert(parent->children.begin(), hwnd);
        } else {
            window->owner = parent ? top_level_of_locked(create.hwndParent) : nullptr;
            m_top_levels.insert(m_top_levels.begin(), hwnd);
        }
        m_windows.emplace(hwnd, std::move(window));
        if (!child)
            normalize_top_levels_locked();
        m_router.own_queue_locked(me);
    }
    if (auto pending = std::exchange(t_creation_hook, {}); pending.hook)
        pending.hook(hwnd, pending.context);
    CREATESTRUCT copy = create;
    if (m_router.call_window_proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&copy)) == -1) {
        DWORD ignored = 0;
        destroy_window(hwnd, ignored);
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (create.style & WS_VISIBLE) {
        bool was_visible = false;
        show_window(hwnd, child ? SW_SHOWNA : SW_SHOW, was_visible);
    }
    return hwnd;
}

void WindowManager::hook_next_creation(CreationHook hook, void* context)
{
    t_creation_hook = { hook, context };
}

void WindowManager::collect_subtree_locked(HWND hwnd, std::vector<HWND>& out)
{
    auto* window = window_locked(hwnd);
    if (!window)
        return;
    out.push_back(hwnd);
    for (HWND child : window->children)
        collect_subtree_locked(child, out);
}

void WindowManager::unlink_locked(Window& window)
{
    if (window.is_child()) {
        if (auto* parent = window_locked(window.parent))
            std::erase(parent->children, window.hwnd);
    } else {
        std::erase(m_top_levels, window.hwnd);
    }
}

std::vector<Timer> WindowManager::forget_locked(HWND hwnd)
{
    auto* window = window_locked(hwnd);
    if (!window)
        return {};
    std::vector<Timer> timers;
    if (auto* queue = m_router.queue_locked(window->thread_id)) {
        timers = queue->remove_timers_of(hwnd);
        queue->drop_posted_for(hwnd);
    }
    unlink_locked(*window);
    if (m_active == hwnd)
        m_active = nullptr;
    if (m_focus == hwnd)
        m_focus = nullptr;
    if (m_capture == hwnd)
        m_capture = nullptr;
    // Windows it owned are unowned now (they are normally gone already).
    for (auto& [other, other_window] : m_windows) {
        if (other_window->owner == hwnd)
            other_window->owner = nullptr;
    }
    m_windows.erase(hwnd);
    return timers;
}

bool WindowManager::destroy_window(HWND hwnd, DWORD& error)
{
    auto& me = self();
    std::vector<HWND> owned;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window) {
            error = ERROR_INVALID_WINDOW_HANDLE;
            return false;
        }
        if (window->thread_id != me.id()) {
            error = ERROR_ACCESS_DENIED;
            return false;
        }
        if (window->destroying)
            return true;
        for (HWND top : m_top_levels) {
            if (auto* other = window_locked(top); other && other->owner == hwnd)
                owned.push_back(top);
        }
    }
    // Owned windows go first, each on its own thread's terms.
    for (HWND owned_window : owned) {
        DWORD ignored = 0;
        if (!destroy_window(owned_window, ignored)) {
            std::vector<Timer> timers;
            std::vector<Notice> notices;
            {
                auto guard = m_device.scheduler().lock();
                quietly_destroy_locked(owned_window, timers, notices);
            }
            cancel_timers(timers);
            deliver(notices);
        }
    }

    std::vector<HWND> subtree;
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return true;
        auto before = snapshot_locked();
        collect_subtree_locked(hwnd, subtree);
        for (HWND member : subtree)
            window_locked(member)->destroying = true;
        window->style &= ~WS_VISIBLE;
        expose_locked(before);
        if (m_active == hwnd)
            activate_next_locked(hwnd, notices);
        if (std::find(subtree.begin(), subtree.end(), m_capture) != subtree.end())
            m_capture = nullptr;
        if (std::find(subtree.begin(), subtree.end(), m_focus) != subtree.end())
            m_focus = nullptr;
    }
    deliver(notices);
    for (HWND member : subtree)
        m_router.call_window_proc(member, WM_DESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it)
        m_router.call_window_proc(*it, WM_NCDESTROY, 0, 0);
    std::vector<Timer> timers;
    {
        auto guard = m_device.scheduler().lock();
        for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
            auto removed = forget_locked(*it);
            timers.insert(timers.end(), removed.begin(), removed.end());
        }
    }
    cancel_timers(timers);
    return true;
}

void WindowManager::quietly_destroy_locked(HWND hwnd, std::vector<Timer>& timers, std::vector<Notice>& notices)
{
    auto* window = window_locked(hwnd);
    if (!window)
        return;
    std::vector<HWND> owned;
    for (HWND top : m_top_levels) {
        if (auto* other = window_locked(top); other && other->owner == hwnd)
            owned.push_back(top);
    }
    for (HWND owned_window : owned)
        quietly_destroy_locked(owned_window, timers, notices);
    window = window_locked(hwnd);
    if (!window)
        return;
    auto before = snapshot_locked();
    std::vector<HWND> subtree;
    collect_subtree_locked(hwnd, subtree);
    for (HWND member : subtree)
        window_locked(member)->destroying = true;
    window->style &= ~WS_VISIBLE;
    expose_locked(before);
    if (m_active == hwnd) {
        // The window is gone without a word: nobody tells it that it is inactive.
        m_active = nullptr;
        activate_next_locked(hwnd, notices);
    }
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
        auto removed = forget_locked(*it);
        timers.insert(timers.end(), removed.begin(), removed.end());
    }
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

// Showing, placing, enabling

bool WindowManager::show_window(HWND hwnd, int command, bool& was_visible)
{
    bool show = command != SW_HIDE && command != SW_MINIMIZE;
    bool child = false;
    bool wants_activation = false;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return false;
        was_visible = window->is_visible_flag();
        child = window->is_child();
        wants_activation = show && !child && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE
            && !(window->ex_style & WS_EX_NOACTIVATE) && window->is_enabled_flag();
    }
    if (show != was_visible) {
        std::vector<Notice> notice { { hwnd, WM_SHOWWINDOW, static_cast<WPARAM>(show), 0 } };
        deliver(notice);
    }
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return true;
        if (show != window->is_visible_flag()) {
            auto before = snapshot_locked();
            if (show)
                window->style |= WS_VISIBLE;
            else
                window->style &= ~WS_VISIBLE;
            expose_locked(before);
        }
        if (!show && m_active == hwnd)
            activate_next_locked(hwnd, notices);
        if (!show && m_capture == hwnd)
            m_capture = nullptr;
        if (wants_activation)
            activate_locked(hwnd, WA_ACTIVE, notices);
    }
    deliver(notices);
    return true;
}

void WindowManager::normalize_top_levels_locked()
{
    // Windows owned by a top-most window are top-most too.
    for (int pass = 0; pass < 4; ++pass) {
        for (HWND hwnd : m_top_levels) {
            auto* window = window_locked(hwnd);
            auto* owner = window && window->owner ? window_locked(window->owner) : nullptr;
            if (owner && owner->is_topmost())
                window->ex_style |= WS_EX_TOPMOST;
        }
    }
    std::stable_partition(m_top_levels.begin(), m_top_levels.end(), [this](HWND hwnd) {
        auto* window = window_locked(hwnd);
        return window && window->is_topmost();
    });
    // Owned windows stay above their owners.
    for (size_t guard = 0; guard < m_top_levels.size() * m_top_levels.size() + 1; ++guard) {
        bool moved = false;
        for (size_t i = 0; i < m_top_levels.size() && !moved; ++i) {
            auto* window = window_locked(m_top_levels[i]);
            if (!window || !window->owner)
                continue;
            auto owner_at = std::find(m_top_levels.begin(), m_top_levels.begin() + i, window->owner);
            if (owner_at == m_top_levels.begin() + i)
                continue;
            HWND hwnd = m_top_levels[i];
            m_top_levels.erase(m_top_levels.begin() + i);
            m_top_levels.insert(owner_at, hwnd);
            moved = true;
        }
        if (!moved)
            break;
    }
}

void WindowManager::place_locked(Window& window, HWND insert_after)
{
    if (window.is_child()) {
        auto* parent = window_locked(window.parent);
        if (!parent)
            return;
        auto& siblings = parent->children;
        std::erase(siblings, window.hwnd);
        if (insert_after == HWND_BOTTOM) {
            siblings.push_back(window.hwnd);
        } else if (insert_after == HWND_TOP || insert_after == HWND_TOPMOST || insert_after == HWND_NOTOPMOST) {
            siblings.insert(siblings.begin(), window.hwnd);
        } else {
            auto it = std::find(siblings.begin(), siblings.end(), insert_after);
            siblings.insert(it == siblings.end() ? siblings.begin() : it + 1, window.hwnd);
        }
        return;
    }
    std::erase(m_top_levels, window.hwnd);
    auto band_start = [&] {
        return std::find_if(m_top_levels.begin(), m_top_levels.end(), [this](HWND hwnd) {
            auto* other = window_locked(hwnd);
            return !other || !other->is_topmost();
        });
    };
    if (insert_after == HWND_TOPMOST) {
        window.ex_style |= WS_EX_TOPMOST;
        m_top_levels.insert(m_top_levels.begin(), window.hwnd);
    } else if (insert_after == HWND_NOTOPMOST) {
        window.ex_style &= ~WS_EX_TOPMOST;
        m_top_levels.insert(band_start(), window.hwnd);
    } else if (insert_after == HWND_TOP) {
        m_top_levels.insert(window.is_topmost() ? m_top_levels.begin() : band_start(), window.hwnd);
    } else if (insert_after == HWND_BOTTOM) {
        window.ex_style &= ~WS_EX_TOPMOST;
        m_top_levels.push_back(window.hwnd);
    } else {
        auto it = std::find(m_top_levels.begin(), m_top_levels.end(), insert_after);
        auto* after = window_locked(insert_after);
        if (it == m_top_levels.end() || !after) {
            m_top_levels.insert(window.is_topmost() ? m_top_levels.begin() : band_start(), window.hwnd);
        } else {
            // The window joins the band of the one it goes below.
            if (after->is_topmost())
                window.ex_style |= WS_EX_TOPMOST;
            else
                window.ex_style &= ~WS_EX_TOPMOST;
            m_top_levels.insert(it + 1, window.hwnd);
        }
    }
    normalize_top_levels_locked();
}

bool WindowManager::set_window_pos(HWND hwnd, HWND insert_after, int x, int y, int width, int height, UINT flags)
{
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window || window->destroying)
            return false;
        auto before = snapshot_locked();
        RECT old_rect = window->rect;
        RECT rect = window->rect;
        if (!(flags & SWP_NOMOVE)) {
            rect.right = x + window->width();
            rect.bottom = y + window->height();
            rect.left = x;
            rect.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            rect.right = rect.left + std::max(width, 0);
            rect.bottom = rect.top + std::max(height, 0);
        }
        bool moved = rect.left != old_rect.left || rect.top != old_rect.top;
        bool sized = rect.right - rect.left != old_rect.right - old_rect.left || rect.bottom - rect.top != old_rect.bottom - old_rect.top;
        window->rect = rect;
        if (moved || sized) {
            // What a moved window shows is painted afresh at its new place.
            std::vector<HWND> subtree;
            collect_subtree_locked(hwnd, subtree);
            for (HWND member : subtree)
                before.erase(member);
        }
        if (!(flags & SWP_NOZORDER))
            place_locked(*window, insert_after);
        if (flags & SWP_SHOWWINDOW)
            window->style |= WS_VISIBLE;
        if (flags & SWP_HIDEWINDOW)
            window->style &= ~WS_VISIBLE;
        if (!(flags & SWP_NOREDRAW))
            expose_locked(before);
        if ((flags & SWP_HIDEWINDOW) && m_active == hwnd)
            activate_next_locked(hwnd, notices);
        bool activate = !(flags & SWP_NOACTIVATE) && !(flags & SWP_HIDEWINDOW) && !window->is_child()
            && insert_after != HWND_BOTTOM && window->is_visible_flag() && window->is_enabled_flag()
            && !(window->ex_style & WS_EX_NOACTIVATE);
        if (activate)
            activate_locked(hwnd, WA_ACTIVE, notices);
        if (moved)
            notices.push_back({ hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(rect.left), static_cast<WORD>(rect.top)) });
        if (sized)
            notices.push_back({ hwnd, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(rect.right - rect.left), static_cast<WORD>(rect.bottom - rect.top)) });
    }
    deliver(notices);
    return true;
}

bool WindowManager::enable_window(HWND hwnd, bool enable, bool& was_disabled)
{
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        auto* window = window_locked(hwnd);
        if (!window)
            return false;
        was_disabled = !window->is_enabled_flag();
        if (was_disabled == !enable)
            return true;
        if (enable)
            window->style &= ~WS_DISABLED;
        else
            window->style |= WS_DISABLED;
        if (!enable && m_capture == hwnd)
            m_capture = nullptr;
        notices.push_back({ hwnd, WM_ENABLE, static_cast<WPARAM>(enable), 0 });
    }
    deliver(notices);
    return true;
}

bool WindowManager::set_text(HWND hwnd, std::u16string text)
{
    return with_window(hwnd, [&](Window& window) { window.title = std::move(text); });
}

// Activation, focus, capture

void WindowManager::activate_locked(HWND hwnd, WORD how, std::vector<Notice>& notices)
{
    hwnd = hwnd ? top_level_of_locked(hwnd) : nullptr;
    auto* window = hwnd ? window_locked(hwnd) : nullptr;
    if (hwnd && (!window || window->destroying))
        return;
    HWND previous = m_active;
    if (window) {
        auto before = snapshot_locked();
        place_locked(*window, HWND_TOP);
        expose_locked(before);
    }
    if (previous == hwnd)
        return;
    m_active = hwnd;
    if (previous && window_locked(previous))
        notices.push_back({ previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd) });
    if (hwnd) {
        notices.push_back({ hwnd, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(previous) });
        if (top_level_of_locked(m_focus) != hwnd)
            m_focus = hwnd;
    }
}

void WindowManager::activate_next_locked(HWND leaving, std::vector<Notice>& notices)
{
    auto can_take = [&](HWND hwnd) {
        auto* window = window_locked(hwnd);
        return window && hwnd != leaving && !window->destroying && window->is_visible_flag() && window->is_enabled_flag()
            && !(window->ex_style & WS_EX_NOACTIVATE);
    };
    HWND next = nullptr;
    auto* leaving_window = window_locked(leaving);
    if (leaving_window && leaving_window->owner && can_take(leaving_window->owner))
        next = leaving_window->owner;
    for (HWND hwnd : m_top_levels) {
        if (!next && can_take(hwnd))
            next = hwnd;
    }
    if (next) {
        activate_locked(next, WA_ACTIVE, notices);
        return;
    }
    if (m_active == leaving && leaving)
        notices.push_back({ leaving, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0 });
    m_active = nullptr;
}

HWND WindowManager::activate(HWND hwnd, WORD how)
{
    std::vector<Notice> notices;
    HWND previous = nullptr;
    {
        auto guard = m_device.scheduler().lock();
        previous = m_active;
        activate_locked(hwnd, how, notices);
    }
    deliver(notices);
    return previous;
}

HWND WindowManager::active_window()
{
    auto guard = m_device.scheduler().lock();
    return m_active;
}

HWND WindowManager::set_focus(HWND hwnd)
{
    std::vector<Notice> notices;
    HWND previous = nullptr;
    {
        auto guard = m_device.scheduler().lock();
        if (hwnd && !window_locked(hwnd))
            return nullptr;
        previous = m_focus;
        if (previous == hwnd)
            return previous;
        m_focus = hwnd;
        if (previous && window_locked(previous))
            notices.push_back({ previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0 });
        if (hwnd)
            notices.push_back({ hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0 });
    }
    deliver(notices);
    return previous;
}

HWND WindowManager::focus()
{
    auto guard = m_device.scheduler().lock();
    return m_focus;
}

HWND WindowManager::set_capture(HWND hwnd)
{
    std::vector<Notice> notices;
    HWND previous = nullptr;
    {
        auto guard = m_device.scheduler().lock();
        if (!window_locked(hwnd))
            return nullptr;
        previous = m_capture;
        m_capture = hwnd;
        if (previous && previous != hwnd && window_locked(previous))
            notices.push_back({ previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd) });
    }
    deliver(notices);
    return previous;
}

bool WindowManager::release_capture()
{
    std::vector<Notice> notices;
    {
        auto guard = m_device.scheduler().lock();
        HWND previous = std::exchange(m_capture, nullptr);
        if (previous && window_locked(previous))
            notices.push_back({ previous, WM_CAPTURECHANGED, 0, 0 });
    }
    deliver(notices);
    return true;
}

HWND WindowManager::capture()
{
    auto guard = m_device.scheduler().lock();
    return m_capture;
}

void WindowManager::deliver(std::vector<Notice>& notices)
{
    for (auto& notice : notices) {
        DWORD ignored = 0;
        m_router.notify(notice.hwnd, notice.message, notice.wparam, notice.lparam, ignored);
    }
    notices.clear();
}

// Painting

Region WindowManager::visible_region_locked(const Window& window)
{
    if (!is_visible_locked(window))
        return {};
    Region region(screen_rect_locked(window));
    // Clipped to each ancestor, and minus the siblings above at every level.
    const Window* current = &window;
    while (current->is_child()) {
        auto* parent = window_locked(current->parent);
        if (!parent)
            return {};
        region.intersect(screen_rect_locked(*parent));
        for (HWND sibling : parent->children) {
            if (sibling == current->hwnd)
                break;
            auto* above = window_locked(sibling);
            if (above && above->is_visible_flag() && !above->destroying)
                region.subtract(screen_rect_locked(*above));
        }
        current = parent;
    }
    for (HWND top : m_top_levels) {
        if (top == current->hwnd)
            break;
        auto* above = window_locked(top);
        if (above && above->is_visible_flag() && !above->destroying)
            region.subtract(above->rect);
    }
    region.intersect({ 0, 0, screen_width, screen_height });
    if (window.style & WS_CLIPCHILDREN) {
        for (HWND child : window.children) {
            auto* child_window = window_locked(child);
            if (child_window && child_window->is_visible_flag() && !child_window->destroying)
                region.subtract(screen_rect_locked(*child_window));
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

WindowManager::UpdateRegion WindowManager::take_update_region(HWND hwnd)
{
    auto guard = m_device.scheduler().lock();
    auto* window = window_locked(hwnd);
    if (!window)
        return {};
    UpdateRegion result { window->update.rects(), window->update.bounds(), window->erase_pending };
    window->update.clear();
    window->erase_pending = false;
    return result;
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
    if (paint && thread_id == self().id())
        m_router.dispatch({ hwnd, WM_PAINT, 0, 0, m_device.clock().tick_count(), {} });
    if (children) {
        for (HWND child : child_windows)
            update_window(child, true);
    }
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
