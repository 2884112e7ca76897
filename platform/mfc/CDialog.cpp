#include "CDialog.h"

#include "CDC.h"
#include "CWinApp.h"
#include "DialogTemplates.h"
#include "gwes/CreationHook.h"
#include "kernel/Device.h"
#include "kernel/KernelApi.h"

using namespace kivo;

namespace {

void attach_dialog(HWND hwnd, void* context)
{
    static_cast<CDialog*>(context)->SubclassWindow(hwnd);
}

} // namespace

void DDX_Control(CDataExchange* exchange, int id, CWnd& control)
{
    if (!exchange || control.m_hWnd)
        return;
    if (!control.SubclassDlgItem(static_cast<UINT>(id), exchange->m_pDlgWnd))
        NKDbgPrintfW(u"DDX_Control: dialog item %d is missing\r\n", id);
}

CDialog::CDialog(UINT template_id, CWnd* parent)
    : m_nIDTemplate(template_id)
    , m_pParentWnd(parent)
{
}

CDialog::CDialog(LPCWSTR, CWnd* parent)
    : m_pParentWnd(parent)
{
    // FIXME: templates are found by number only; no program names one.
    OutputDebugString(u"CDialog: a template by name is not supported\r\n");
}

HWND CDialog::create_from_template(HWND owner)
{
    auto& templates = Device::current().component<DialogTemplates>();
    auto dialog = templates.find(AfxGetResourceHandle(), m_nIDTemplate);
    if (!dialog) {
        NKDbgPrintfW(u"CDialog: no dialog template %u\r\n", m_nIDTemplate);
        return nullptr;
    }
    auto place = [&](const RECT& rect) { return dialog->in_pixels ? rect : DialogTemplates::to_pixels(rect); };
    RECT rect = place(dialog->rect);
    DWORD style = (dialog->style & ~(WS_VISIBLE | WS_CHILD)) | (dialog->style & WS_CHILD ? WS_CHILD : WS_POPUP);
    hook_next_creation(attach_dialog, this);
    std::u16string class_name = templates.class_of(AfxGetResourceHandle(), m_nIDTemplate);
    HWND hwnd = ::CreateWindowEx(dialog->ex_style, class_name.empty() ? WC_DIALOG : class_name.c_str(), dialog->caption.c_str(), style, rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, owner, nullptr, AfxGetResourceHandle(), nullptr);
    hook_next_creation(nullptr, nullptr);
    if (!hwnd)
        return nullptr;
    for (auto& control : dialog->controls) {
        RECT at = place(control.rect);
        ::CreateWindowEx(control.ex_style, control.class_name.c_str(), control.text.c_str(), control.style | WS_CHILD, at.left,
            at.top, at.right - at.left, at.bottom - at.top, hwnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(control.id)),
            AfxGetResourceHandle(), nullptr);
    }
    CDataExchange exchange { this, FALSE };
    DoDataExchange(&exchange);
    SendMessage(WM_INITDIALOG, 0, 0);
    if ((dialog->style & WS_VISIBLE) && !m_modal && ::IsWindow(hwnd))
        ::ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

HWND CDialog::modal_owner() const
{
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        // A parentless dialog is owned by the thread's main window, or its active window.
        CWnd* main = AfxGetMainWnd();
        if (main && main->m_hWnd && ::GetWindowThreadProcessId(main->m_hWnd, nullptr) == ::GetCurrentThreadId() && main != this)
            owner = main->m_hWnd;
        else
            owner = ::GetActiveWindow();
    }
    while (owner && (::GetWindowLong(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetParent(owner);
    return owner;
}

INT_PTR CDialog::DoModal()
{
    HWND owner = modal_owner();
    m_modal = true;
    m_continue_modal = true;
    m_nModalResult = -1;
    bool owner_was_enabled = owner && ::IsWindowEnabled(owner);
    if (owner_was_enabled)
        ::EnableWindow(owner, FALSE);
    HWND hwnd = create_from_template(owner);
    if (!hwnd) {
        if (owner_was_enabled)
            ::EnableWindow(owner, TRUE);
        m_modal = false;
        return -1;
    }
    bool shown = m_bStartHidden || ::IsWindowVisible(hwnd);
    while (m_continue_modal && ::IsWindow(hwnd)) {
        MSG message {};
        if (!shown && !::PeekMessage(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            ::ShowWindow(hwnd, SW_SHOWNORMAL);
            shown = true;
            continue;
        }
        if (!::PeekMessage(&message, nullptr, 0, 0, PM_NOREMOVE))
            CWnd::release_temporaries();
        BOOL got = ::GetMessage(&message, nullptr, 0, 0);
        if (got == 0) {
            // The thread quits: the dialog ends and the quit goes on to the outer loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!PreTranslateMessage(&message)) {
            ::TranslateMessage(&message);
            ::DispatchMessage(&message);
        }
    }
    m_modal = false;
    // The owner comes back before the dialog goes, so that it is the one activated.
    if (::IsWindow(hwnd))
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (owner_was_enabled) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    if (::IsWindow(hwnd))
        ::DestroyWindow(hwnd);
    return m_nModalResult;
}

BOOL CDialog::Create(UINT template_id, CWnd* parent)
{
    m_nIDTemplate = template_id;
    m_pParentWnd = parent;
    m_modal = false;
    HWND owner = parent ? parent->m_hWnd : nullptr;
    return create_from_template(owner) != nullptr;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL save)
{
    CDataExchange exchange { this, save };
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result)
{
    m_nModalResult = result;
    if (m_modal) {
        m_continue_modal = false;
        // A message sent from another thread is served inside the loop's wait; this wakes it.
        if (m_hWnd)
            ::PostMessage(m_hWnd, WM_NULL, 0, 0);
        return;
    }
    // A modeless dialog only hides; the program destroys it.
    if (m_hWnd)
        ::ShowWindow(m_hWnd, SW_HIDE);
}

BOOL CDialog::OnCommand(WPARAM wparam, LPARAM)
{
    switch (LOWORD(wparam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

COLORREF CDialog::background_colour() const
{
    CWinApp* app = AfxGetApp();
    return app ? app->m_dialog_background : RGB(192, 192, 192);
}

COLORREF CDialog::text_colour() const
{
    CWinApp* app = AfxGetApp();
    return app ? app->m_dialog_text : RGB(0, 0, 0);
}

HBRUSH CDialog::background_brush()
{
    COLORREF colour = background_colour();
    if (!m_background_brush.m_hObject || m_brush_colour != colour) {
        m_background_brush.DeleteObject();
        m_background_brush.CreateSolidBrush(colour);
        m_brush_colour = colour;
    }
    return m_background_brush;
}

BOOL CDialog::OnEraseBkgnd(CDC* dc)
{
    if (!dc)
        return FALSE;
    CRect client;
    GetClientRect(client);
    auto brush = reinterpret_cast<HBRUSH>(SendMessage(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc->m_hDC), reinterpret_cast<LPARAM>(m_hWnd)));
    if (brush && brush != background_brush())
        ::FillRect(dc->m_hDC, client, brush);
    else
        dc->FillSolidRect(client, background_colour());
    return TRUE;
}

HBRUSH CDialog::OnCtlColor(CDC* dc, CWnd* control, UINT kind)
{
    LRESULT result = 0;
    if (control && control->m_hWnd != m_hWnd && ReflectLastMsg(control->m_hWnd, &result))
        return reinterpret_cast<HBRUSH>(result);
    if (!dc || (kind != CTLCOLOR_STATIC && kind != CTLCOLOR_BTN && kind != CTLCOLOR_DLG && kind != CTLCOLOR_MSGBOX))
        return reinterpret_cast<HBRUSH>(Default());
    dc->SetTextColor(text_colour());
    dc->SetBkColor(background_colour());
    return background_brush();
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    return CWnd::WindowProc(message, wparam, lparam);
}
