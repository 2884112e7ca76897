#include "platform.h"

// A shared library with an application object of its own in each process that loads it. It
// refuses to load while the file "\Temp\refuse probe" exists, and says in the debug output when
// its object starts and ends, with the module it was given.
class CProbeLibraryApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        say(u"init");
        return GetFileAttributes(u"\\Temp\\refuse probe") == INVALID_FILE_ATTRIBUTES;
    }
    int ExitInstance() override
    {
        say(u"exit");
        return CWinApp::ExitInstance();
    }

private:
    void say(LPCWSTR what)
    {
        WCHAR path[MAX_PATH] = {};
        GetModuleFileName(m_hInstance, path, MAX_PATH);
        NKDbgPrintfW(u"%s %s in %u\r\n", what, path, GetCurrentProcessId());
    }
};

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    return AfxDllMain<CProbeLibraryApp>(instance, reason);
}
