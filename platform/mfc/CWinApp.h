#pragma once

#include "CObject.h"
#include "CString.h"
#include "CWinThread.h"
#include "CWnd.h"

#include <memory>
#include <string_view>

// A program's application object, one per process: made by the program's entry, which hands it to
// AfxWinMain; it is the main thread's CWinThread. ExitInstance runs whether InitInstance succeeded
// or not.
class CWinApp : public CWinThread {
public:
    explicit CWinApp(LPCWSTR app_name = nullptr);
    ~CWinApp() override;

    // Colours of dialogs and their text, kept for the drawing of dialogs.
    void SetDialogBkColor(DWORD background = 0x00C0C0C0, DWORD text = 0x00000000);
    // Where the program's settings go in the registry; kept, as the programs only name it.
    void SetRegistryKey(LPCWSTR key);
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

    LPWSTR m_lpCmdLine = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCWSTR m_pszAppName = nullptr;
    LPCWSTR m_pszRegistryKey = nullptr;
    DWORD m_dialog_background = 0x00C0C0C0;
    DWORD m_dialog_text = 0;
    int m_nWaitCursorCount = 0;

private:
    friend int AfxWinMain(CWinApp&, std::u16string_view);
    CString m_app_name;
    CString m_command_line;
    CString m_registry_key;
};

// Runs a program's application: InitInstance, then the message loop, then ExitInstance (at once
// when InitInstance fails). The program table's entry for the program calls it.
int AfxWinMain(CWinApp&, std::u16string_view command_line);
CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// The application object of a shared library of the system: each process that loads the library
// gets one of its own. The library's entry point hands it over:
//     extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID)
//     {
//         return AfxDllMain<CMyLibraryApp>(instance, reason);
//     }
// On a process's first load it makes the object (m_hInstance the library's module) and runs its
// InitInstance; when that answers FALSE, ExitInstance runs, the object goes and the load fails.
// When the process lets the library go (its last FreeLibrary, or its end) ExitInstance runs and
// the object goes. AfxGetApp stays the program's application.
using AfxAppFactory = std::unique_ptr<CWinApp> (*)();
BOOL AfxDllMain(HINSTANCE, DWORD reason, AfxAppFactory);
template<typename App>
BOOL AfxDllMain(HINSTANCE instance, DWORD reason)
{
    return AfxDllMain(instance, reason, [] { return std::unique_ptr<CWinApp>(std::make_unique<App>()); });
}
