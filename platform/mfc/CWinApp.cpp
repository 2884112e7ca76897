#include "CWinApp.h"

#include "kernel/KernelApi.h"
#include "kernel/Process.h"

#include <atomic>

using namespace kivo;

namespace {

// Any thread of the process may ask for the application object.
struct AppSlot {
    std::atomic<CWinApp*> app = nullptr;
};
ProcessLocal<AppSlot> g_app;

} // namespace

CWinApp::CWinApp(LPCWSTR app_name)
    : m_app_name(app_name)
{
    m_pszAppName = app_name ? static_cast<LPCWSTR>(m_app_name) : nullptr;
    m_hInstance = ::GetModuleHandle(nullptr);
    g_app->app = this;
}

CWinApp::~CWinApp()
{
    CWinApp* self = this;
    g_app->app.compare_exchange_strong(self, nullptr);
}

int CWinApp::ExitInstance()
{
    return static_cast<int>(m_msgCur.wParam);
}

BOOL CWinApp::PreTranslateMessage(MSG* message)
{
    // The window the message is for, then its parents, may take it first.
    for (HWND hwnd = message->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        if (CWnd* window = CWnd::FromHandlePermanent(hwnd); window && window->PreTranslateMessage(message))
            return TRUE;
    }
    return FALSE;
}

int CWinApp::Run()
{
    for (;;) {
        if (!::PeekMessage(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE))
            CWnd::release_temporaries();
        BOOL got = ::GetMessage(&m_msgCur, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (!PreTranslateMessage(&m_msgCur)) {
            ::TranslateMessage(&m_msgCur);
            ::DispatchMessage(&m_msgCur);
        }
    }
    return ExitInstance();
}

void CWinApp::SetDialogBkColor(DWORD background, DWORD text)
{
    m_dialog_background = background;
    m_dialog_text = text;
}

void CWinApp::SetRegistryKey(LPCWSTR key)
{
    m_registry_key = key;
    m_pszRegistryKey = m_registry_key;
}

void CWinApp::BeginWaitCursor()
{
    ++m_nWaitCursorCount;
    ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
}

void CWinApp::EndWaitCursor()
{
    if (m_nWaitCursorCount > 0)
        --m_nWaitCursorCount;
    ::SetCursor(::LoadCursor(nullptr, m_nWaitCursorCount ? IDC_WAIT : IDC_ARROW));
}

void CWinApp::RestoreWaitCursor()
{
    if (m_nWaitCursorCount)
        ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
}

int AfxWinMain(CWinApp& app, std::u16string_view command_line)
{
    g_app->app = &app;
    app.m_command_line = CString(command_line);
    app.m_lpCmdLine = app.m_command_line.GetBuffer();
    if (!app.InitInstance()) {
        if (app.m_pMainWnd && app.m_pMainWnd->m_hWnd)
            app.m_pMainWnd->DestroyWindow();
        return app.ExitInstance();
    }
    return app.Run();
}

CWinApp* AfxGetApp()
{
    return g_app->app;
}

CWnd* AfxGetMainWnd()
{
    CWinApp* app = AfxGetApp();
    return app ? app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return ::GetModuleHandle(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return ::GetModuleHandle(nullptr);
}
