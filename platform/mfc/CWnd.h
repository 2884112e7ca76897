#pragma once

#include "CObject.h"
#include "CPoint.h"
#include "CRect.h"
#include "CString.h"
#include "gwes/GwesApi.h"

class CDC;
class CFont;

// A window as a C++ object. Every message reaches WindowProc first (a program overrides it to see
// messages before the default handling); WindowProc hands each known message to its virtual
// OnXxx handler, and the rest to DefWindowProc, which a program may override too. A handler that
// is not overridden does what the window would do by itself (Default()).
class CWnd : public CObject {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // The object the calling thread attached to a window; otherwise a temporary object of the
    // calling thread's own, which its loop drops once the window is gone (or the thread ends). A
    // window's object thus never reaches a thread that did not attach it, as the window may take it
    // along at any time.
    static CWnd* FromHandle(HWND);
    // The object any thread of the process attached to a window, or null.
    static CWnd* FromHandlePermanent(HWND);
    // Drops the calling thread's temporary objects of windows that are gone; the message loops
    // call it when they go idle.
    static void release_temporaries();
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }
    BOOL Attach(HWND);
    HWND Detach();

    virtual BOOL Create(LPCWSTR class_name, LPCWSTR title, DWORD style, const RECT&, CWnd* parent, UINT id, LPVOID parameter = nullptr);
    virtual BOOL CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y, int width, int height,
        HWND parent, HMENU menu_or_id, LPVOID parameter = nullptr);
    BOOL CreateEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, const RECT&, CWnd* parent, UINT id, LPVOID parameter = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCT&) { return TRUE; }
    virtual BOOL DestroyWindow();
    // After the window's last message: a window that deletes itself does it here.
    virtual void PostNcDestroy() { }

    virtual LRESULT WindowProc(UINT message, WPARAM, LPARAM);
    virtual LRESULT DefWindowProc(UINT message, WPARAM, LPARAM);
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }
    virtual BOOL OnCommand(WPARAM, LPARAM) { return FALSE; }
    // A control's WM_NOTIFY (an NMHDR in lparam). By default the control's own object gets it
    // first (OnChildNotify); true, with the answer in the result, when someone handled it. A
    // parent that overrides it calls this one for what it does not handle itself.
    virtual BOOL OnNotify(WPARAM, LPARAM, LRESULT*);
    // A control's notice to its parent (WM_DRAWITEM, WM_NOTIFY, WM_CTLCOLOR*) comes back to the
    // control's own object first; true when it handled it, with its answer in the result. By
    // default the colour messages go to CtlColor.
    virtual BOOL OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*);
    // Offers the message being handled to the object of the control `child` (OnChildNotify).
    static BOOL ReflectLastMsg(HWND child, LRESULT* result = nullptr);
    LRESULT Default();

    // Handlers. OnEraseBkgnd gets the context BeginPaint made (or the one the sender gave).
    virtual int OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
    virtual void OnDestroy() { Default(); }
    virtual void OnNcDestroy() { Default(); }
    virtual void OnPaint() { Default(); }
    virtual BOOL OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
    virtual void OnTimer(UINT_PTR) { Default(); }
    virtual void OnLButtonDown(UINT, CPoint) { Default(); }
    virtual void OnLButtonUp(UINT, CPoint) { Default(); }
    virtual void OnLButtonDblClk(UINT, CPoint) { Default(); }
    virtual void OnMouseMove(UINT, CPoint) { Default(); }
    virtual void OnActivate(UINT, CWnd*, BOOL) { Default(); }
    virtual void OnShowWindow(BOOL, UINT) { Default(); }
    virtual void OnSize(UINT, int, int) { Default(); }
    virtual void OnClose() { Default(); }
    virtual BOOL OnCopyData(CWnd*, COPYDATASTRUCT*) { return static_cast<BOOL>(Default()); }
    virtual void OnHScroll(UINT, UINT, CWnd*) { Default(); }
    virtual void OnVScroll(UINT, UINT, CWnd*) { Default(); }
    virtual void OnSetFocus(CWnd*) { Default(); }
    virtual void OnKillFocus(CWnd*) { Default(); }
    virtual void OnEnable(BOOL) { Default(); }
    // By default an owner-drawn control draws itself (OnChildNotify).
    virtual void OnDrawItem(int id, LPDRAWITEMSTRUCT);
    // The brush (and colours set in the context) a control of kind CTLCOLOR_* paints with; `control`
    // is the window itself for CTLCOLOR_DLG. By default the control's own CtlColor answers, else
    // the window's default.
    virtual HBRUSH OnCtlColor(CDC*, CWnd* control, UINT kind);
    // A control colouring itself: the brush it paints with, or null to leave it to its parent.
    virtual HBRUSH CtlColor(CDC*, UINT) { return nullptr; }

    // The window's calls.
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void SetWindowText(LPCWSTR text) { ::SetWindowText(m_hWnd, text); }
    void GetWindowText(CString&) const;
    int GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) { ::MoveWindow(m_hWnd, x, y, width, height, repaint); }
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE) { MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint); }
    BOOL SetWindowPos(const CWnd* insert_after, int x, int y, int width, int height, UINT flags);
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
    void ClientToScreen(LPRECT) const;
    void ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }
    void ScreenToClient(LPRECT) const;
    // The window's context as a temporary object, until ReleaseDC.
    CDC* GetDC();
    CDC* GetWindowDC();
    int ReleaseDC(CDC*);
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(LPCRECT rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void ValidateRect(LPCRECT rect) { ::ValidateRect(m_hWnd, rect); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(LPCRECT rect = nullptr, HRGN region = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, rect, region, flags);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, elapse, proc); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void SetDlgItemText(int id, LPCWSTR text) { ::SetWindowText(::GetDlgItem(m_hWnd, id), text); }
    // Makes this object the window of the dialog item `id` of `parent`: it sees the item's
    // messages first, and the item's own procedure does the rest.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    BOOL SubclassWindow(HWND);
    HWND UnsubclassWindow();
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
    CWnd* SetActiveWindow() { return FromHandle(::SetActiveWindow(m_hWnd)); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd) != nullptr; }
    void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
    // Centres the window over its owner (or `alternate`), or over the screen without one.
    void CenterWindow(CWnd* alternate = nullptr);
    HICON SetIcon(HICON icon, BOOL big) { return ::SetIcon(m_hWnd, big ? ICON_BIG : ICON_SMALL, icon); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLong(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLong(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    // The font the window draws its text with (WM_SETFONT); the caller keeps the font alive.
    void SetFont(CFont* font, BOOL redraw = TRUE);
    CFont* GetFont() const;
    // The window shows, and takes touches, only inside the region (window coordinates), which the
    // window system owns from then on; null gives it back its whole rectangle.
    int SetWindowRgn(HRGN region, BOOL redraw) { return ::SetWindowRgn(m_hWnd, region, redraw); }
    LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const { return ::SendMessage(m_hWnd, message, wparam, lparam); }
    BOOL PostMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const { return ::PostMessage(m_hWnd, message, wparam, lparam); }
    BOOL GetScrollInfo(int bar, LPSCROLLINFO, UINT mask = SIF_ALL) const;
    BOOL SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw = TRUE) { return ::SetScrollInfo(m_hWnd, bar, info, redraw); }
    int GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }
    int SetScrollPos(int bar, int position, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, bar, position, redraw); }
    // The largest position a scroll bar can take: its maximum less a page.
    int GetScrollLimit(int bar) const;

    static const CWnd wndTop;
    static const CWnd wndBottom;
    static const CWnd wndTopMost;
    static const CWnd wndNoTopMost;

protected:
    // The window's own procedure, which the default handling goes to.
    WNDPROC m_pfnSuper = nullptr;

private:
    // The placement constants stand for no window and own nothing.
    explicit CWnd(HWND special)
        : m_hWnd(special)
        , m_temporary(true)
    {
    }
    friend LRESULT mfc_window_proc(HWND, UINT, WPARAM, LPARAM);
    friend class CWndTemporary;
    bool m_temporary = false;
};

LRESULT mfc_window_proc(HWND, UINT, WPARAM, LPARAM);
