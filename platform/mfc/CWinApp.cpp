#include "CWinApp.h"

#include "kernel/HostMutex.h"
#include "kernel/KernelApi.h"
#include "kernel/Process.h"
#include "storage/LibraryApi.h"

#include <atomic>
#include <map>
#include <mutex>

using namespace kivo;

namespace {

// Any thread of the process may ask for the application object.
struct AppSlot {
    std::atomic<CWinApp*> app = nullptr;
};
ProcessLocal<AppSlot> g_app;

// The application objects of the shared libraries the process has loaded, by module.
struct LibraryApps {
    HostMutex lock { LockRank::LibraryApps };
    std::map<HINSTANCE, std::unique_ptr<CWinApp>> apps;
};
ProcessLocal<LibraryApps> g_library_apps;

// Set while a library's application object is made, which must not become the process's.
thread_local bool t_making_library_app = false;

} // namespace

CWinApp::CWinApp(LPCWSTR app_name)
    : m_app_name(app_name)
{
    // The program's entry owns the application object.
    m_bAutoDelete = FALSE;
    m_pszAppName = app_name ? static_cast<LPCWSTR>(m_app_name) : nullptr;
    m_hInstance = ::GetModuleHandle(nullptr);
    if (!t_making_library_app)
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

BOOL AfxDllMain(HINSTANCE instance, DWORD reason, AfxAppFactory make)
{
    auto& libraries = *g_library_apps;
    if (reason == DLL_PROCESS_ATTACH) {
        t_making_library_app = true;
        std::unique_ptr<CWinApp> made = make();
        t_making_library_app = false;
        CWinApp* app = made.get();
        app->m_hInstance = instance;
        {
            std::lock_guard guard(libraries.lock);
            libraries.apps[instance] = std::move(made);
        }
        if (app->InitInstance())
            return TRUE;
        // Refused: the loader lets go of the process at once, which ends the object.
        return FALSE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        std::unique_ptr<CWinApp> app;
        {
            std::lock_guard guard(libraries.lock);
            if (auto it = libraries.apps.find(instance); it != libraries.apps.end()) {
                app = std::move(it->second);
                libraries.apps.erase(it);
            }
        }
        if (app)
            app->ExitInstance();
    }
    return TRUE;
}
