#include "CWnd.h"

#include "CDC.h"
#include "CFont.h"
#include "HandleMaps.h"
#include "gwes/CreationHook.h"
#include "kernel/KernelApi.h"

#include <algorithm>
#include <memory>
#include <utility>

using namespace kivo;

namespace {

// The message being handled by the calling thread, for Default().
struct CurrentMessage {
    CWnd* window = nullptr;
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
};
thread_local CurrentMessage t_current;

class MessageScope {
public:
    MessageScope(CWnd* window, UINT message, WPARAM wparam, LPARAM lparam)
        : m_saved(t_current)
    {
        t_current = { window, message, wparam, lparam };
    }
    ~MessageScope() { t_current = m_saved; }

private:
    CurrentMessage m_saved;
};

void attach_on_creation(HWND hwnd, void* context)
{
    auto* window = static_cast<CWnd*>(context);
    window->SubclassWindow(hwnd);
}

} // namespace

// A window's object made on demand for a window that has none.
class CWndTemporary final : public CWnd {
public:
    CWndTemporary() { m_temporary = true; }
};

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::~CWnd()
{
    if (m_hWnd && !m_temporary && FromHandlePermanent(m_hWnd) == this) {
        ::DestroyWindow(m_hWnd);
        if (m_hWnd)
            Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    return hwnd ? HandleMaps::current().window(hwnd, true) : nullptr;
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    auto& maps = HandleMaps::current();
    if (auto* window = maps.window(hwnd, false))
        return window;
    // Also for a window that is gone, so that a call through the object fails as the call would.
    auto& temporary = maps.temporaries().windows[hwnd];
    if (!temporary) {
        temporary = std::make_unique<CWndTemporary>();
        temporary->m_hWnd = hwnd;
    }
    return temporary.get();
}

void CWnd::release_temporaries()
{
    auto& windows = HandleMaps::current().temporaries().windows;
    std::erase_if(windows, [](auto& entry) { return !::IsWindow(entry.first); });
}

BOOL CWnd::Attach(HWND hwnd)
{
    if (!hwnd || m_hWnd)
        return FALSE;
    m_hWnd = hwnd;
    auto& maps = HandleMaps::current();
    maps.attach_window(hwnd, this);
    maps.temporaries().windows.erase(hwnd);
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hwnd = std::exchange(m_hWnd, nullptr);
    if (hwnd)
        HandleMaps::current().detach_window(hwnd, this);
    return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!Attach(hwnd))
        return FALSE;
    auto previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtr(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(mfc_window_proc)));
    if (previous != mfc_window_proc)
        m_pfnSuper = previous;
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper)
        ::SetWindowLongPtr(m_hWnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(std::exchange(m_pfnSuper, nullptr)));
    return Detach();
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND item = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
    return item ? SubclassWindow(item) : FALSE;
}

BOOL CWnd::CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int width, int height,
    HWND parent, HMENU menu_or_id, LPVOID parameter)
{
    CREATESTRUCT create { parameter, ::GetModuleHandle(nullptr), menu_or_id, parent, height, width, y, x,
        static_cast<LONG>(style), title, class_name ? class_name : u"KivoWnd", ex_style };
    if (!PreCreateWindow(create)) {
        PostNcDestroy();
        return FALSE;
    }
    hook_next_creation(attach_on_creation, this);
    HWND hwnd = ::CreateWindowEx(create.dwExStyle, create.lpszClass, create.lpszName, static_cast<DWORD>(create.style), create.x,
        create.y, create.cx, create.cy, create.hwndParent, create.hMenu, create.hInstance, create.lpCreateParams);
    hook_next_creation(nullptr, nullptr);
    if (!hwnd) {
        PostNcDestroy();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent, UINT id, LPVOID parameter)
{
    return CreateEx(ex_style, class_name, title, style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        parent ? parent->m_hWnd : nullptr, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), parameter);
}

BOOL CWnd::Create(LPCWSTR class_name, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent, UINT id, LPVOID parameter)
{
    return CreateEx(0, class_name, title, style | WS_CHILD, rect, parent, id, parameter);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (m_pfnSuper)
        return ::CallWindowProc(m_pfnSuper, m_hWnd, message, wparam, lparam);
    return ::DefWindowProc(m_hWnd, message, wparam, lparam);
}

LRESULT CWnd::Default()
{
    auto& current = t_current;
    return DefWindowProc(current.message, current.wparam, current.lparam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lparam));
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_NCDESTROY:
        OnNcDestroy();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND: {
        // The sender releases the context afterwards; a temporary object made for it goes too.
        HDC hdc = reinterpret_cast<HDC>(wparam);
        bool known = CDC::has_object(hdc);
        BOOL erased = OnEraseBkgnd(CDC::FromHandle(hdc));
        if (!known)
            CDC::release_temporary(hdc);
        return erased;
    }
    case WM_TIMER:
        OnTimer(wparam);
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wparam), CPoint(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wparam), CPoint(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)));
        return 0;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wparam), CPoint(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wparam), CPoint(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)));
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wparam), FromHandle(reinterpret_cast<HWND>(lparam)), HIWORD(wparam));
        return 0;
    case WM_SHOWWINDOW:
        OnShowWindow(static_cast<BOOL>(wparam), static_cast<UINT>(lparam));
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wparam), LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_COPYDATA:
        return OnCopyData(FromHandle(reinterpret_cast<HWND>(wparam)), reinterpret_cast<COPYDATASTRUCT*>(lparam));
    case WM_HSCROLL:
        OnHScroll(LOWORD(wparam), HIWORD(wparam), FromHandle(reinterpret_cast<HWND>(lparam)));
        return 0;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wparam), HIWORD(wparam), FromHandle(reinterpret_cast<HWND>(lparam)));
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(FromHandle(reinterpret_cast<HWND>(wparam)));
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(FromHandle(reinterpret_cast<HWND>(wparam)));
        return 0;
    case WM_ENABLE:
        OnEnable(static_cast<BOOL>(wparam));
        return 0;
    case WM_DRAWITEM:
        OnDrawItem(static_cast<int>(wparam), reinterpret_cast<LPDRAWITEMSTRUCT>(lparam));
        return TRUE;
    case WM_COMMAND:
        if (OnCommand(wparam, lparam))
            return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(wparam, lparam, &result))
            return result;
        break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        // The sender releases its context afterwards; a temporary object made for it goes too.
        HDC hdc = reinterpret_cast<HDC>(wparam);
        bool known = CDC::has_object(hdc);
        HBRUSH brush = OnCtlColor(CDC::FromHandle(hdc), FromHandle(reinterpret_cast<HWND>(lparam)), message - WM_CTLCOLORMSGBOX);
        if (!known)
            CDC::release_temporary(hdc);
        return reinterpret_cast<LRESULT>(brush);
    }
    default:
        break;
    }
    return DefWindowProc(message, wparam, lparam);
}

LRESULT mfc_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    CWnd* window = CWnd::FromHandlePermanent(hwnd);
    if (!window)
        return ::DefWindowProc(hwnd, message, wparam, lparam);
    LRESULT result = 0;
    {
        MessageScope scope(window, message, wparam, lparam);
        result = window->WindowProc(message, wparam, lparam);
    }
    if (message == WM_NCDESTROY) {
        // The window is gone: the object lets go of it and may delete itself.
        window->m_pfnSuper = nullptr;
        window->Detach();
        window->PostNcDestroy();
    }
    return result;
}

BOOL CWnd::ReflectLastMsg(HWND child, LRESULT* result)
{
    CWnd* control = child ? FromHandlePermanent(child) : nullptr;
    return control && control->OnChildNotify(t_current.message, t_current.wparam, t_current.lparam, result);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wparam, LPARAM, LRESULT* result)
{
    if (message < WM_CTLCOLORMSGBOX || message > WM_CTLCOLORSTATIC)
        return FALSE;
    HBRUSH brush = CtlColor(CDC::FromHandle(reinterpret_cast<HDC>(wparam)), message - WM_CTLCOLORMSGBOX);
    if (!brush)
        return FALSE;
    if (result)
        *result = reinterpret_cast<LRESULT>(brush);
    return TRUE;
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT item)
{
    if (item && ReflectLastMsg(item->hwndItem))
        return;
    Default();
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lparam, LRESULT* result)
{
    auto* header = reinterpret_cast<LPNMHDR>(lparam);
    return header && ReflectLastMsg(header->hwndFrom, result);
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd* control, UINT)
{
    LRESULT result = 0;
    if (control && control->m_hWnd != m_hWnd && ReflectLastMsg(control->m_hWnd, &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(Default());
}

CDC* CWnd::GetDC()
{
    return CDC::FromHandle(::GetDC(m_hWnd));
}

CDC* CWnd::GetWindowDC()
{
    return CDC::FromHandle(::GetWindowDC(m_hWnd));
}

int CWnd::ReleaseDC(CDC* dc)
{
    if (!dc)
        return 0;
    HDC hdc = dc->m_hDC;
    CDC::release_temporary(hdc);
    return ::ReleaseDC(m_hWnd, hdc);
}

void CWnd::GetWindowText(CString& text) const
{
    int length = ::GetWindowTextLength(m_hWnd);
    LPWSTR buffer = text.GetBufferSetLength(length + 1);
    ::GetWindowText(m_hWnd, buffer, length + 1);
    text.ReleaseBuffer();
}

BOOL CWnd::SetWindowPos(const CWnd* insert_after, int x, int y, int width, int height, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insert_after ? insert_after->m_hWnd : HWND_TOP, x, y, width, height, flags);
}

void CWnd::ClientToScreen(LPRECT rect) const
{
    POINT origin { 0, 0 };
    ::ClientToScreen(m_hWnd, &origin);
    ::OffsetRect(rect, origin.x, origin.y);
}

void CWnd::ScreenToClient(LPRECT rect) const
{
    POINT origin { 0, 0 };
    ::ClientToScreen(m_hWnd, &origin);
    ::OffsetRect(rect, -origin.x, -origin.y);
}

void CWnd::CenterWindow(CWnd* alternate)
{
    RECT area { 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN) };
    HWND over = alternate ? alternate->m_hWnd : ::GetParent(m_hWnd);
    bool child = GetStyle() & WS_CHILD;
    if (child)
        ::GetClientRect(over, &area);
    else if (over)
        ::GetWindowRect(over, &area);
    RECT own {};
    ::GetWindowRect(m_hWnd, &own);
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT)
{
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLong(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
    return TRUE;
}

void CWnd::SetFont(CFont* font, BOOL redraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw);
}

CFont* CWnd::GetFont() const
{
    auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    return font ? CFont::FromHandle(font) : nullptr;
}

BOOL CWnd::GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask) const
{
    if (!info)
        return FALSE;
    info->cbSize = sizeof(SCROLLINFO);
    info->fMask = mask;
    return ::GetScrollInfo(m_hWnd, bar, info);
}

int CWnd::GetScrollLimit(int bar) const
{
    SCROLLINFO info {};
    if (!GetScrollInfo(bar, &info, SIF_RANGE | SIF_PAGE))
        return 0;
    return std::max(info.nMin, info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0));
}
