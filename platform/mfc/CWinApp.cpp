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
    // The program's entry owns the application object.
    m_bAutoDelete = FALSE;
    m_pszAppName = app_name ? static_cast<LPCWSTR>(m_app_name) : nullptr;
    m_hInstance = ::GetModuleHandle(nullptr);
    g_app->app = this;
}

CWinApp::~CWinApp()
{
    CWinApp* self = this;
    g_app->app.compare_exchange_strong(self, nullptr);
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
    app.make_current();
    app.m_nThreadID = ::GetCurrentThreadId();
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
