#include "CDialdeckApp.h"

#include "CDialdeckDlg.h"
#include "DialdeckResources.h"
#include "LinkProtocol.h"
#include "PhoneScreen.h"
#include "Skinkit.h"
#include "StoredFiles.h"
#include "program_services.h"

namespace {

kivo::ProcessLocal<CDialdeckApp*> s_app;

// The show command that restores a disabled copy: it shows the window normally.
constexpr int SHOW_RESTORE = 13;

class CallLock {
public:
    explicit CallLock(CRITICAL_SECTION& section)
        : m_section(section)
    {
        EnterCriticalSection(&m_section);
    }
    ~CallLock() { LeaveCriticalSection(&m_section); }
    CallLock(const CallLock&) = delete;
    CallLock& operator=(const CallLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

int dialdeck_main(std::u16string_view command_line)
{
    CDialdeckApp app;
    return AfxWinMain(app, command_line);
}

} // namespace

CDialdeckApp::CDialdeckApp()
{
    InitializeCriticalSection(&m_callLock);
    *s_app = this;
}

CDialdeckApp::~CDialdeckApp()
{
    *s_app = nullptr;
    DeleteCriticalSection(&m_callLock);
}

CDialdeckApp& CDialdeckApp::Get()
{
    return **s_app;
}

CDialdeckApp* dialdeck_app_of(kivo::Process& process)
{
    return process.local<CDialdeckApp*>(&s_app);
}

BOOL CDialdeckApp::InitInstance()
{
    // Before any window: a request may arrive as soon as the panel exists.
    RegisterLinkMessages();
    SetRegistryKey(u"Local AppWizard-Generated Applications");
    WCHAR folder[MAX_PATH] = {};
    al_GetModulePath(AfxGetInstanceHandle(), folder, MAX_PATH);
    m_moduleFolder = folder;
    m_skinFolder = m_moduleFolder + u"skin\\default\\";
    SetSkinFolder(m_skinFolder);
    LoadSystemLanguage();
    m_settingsFile = m_moduleFolder + u"mobile_setting.ini";
    m_ringFile = m_moduleFolder + u"ringin.wav";
    m_notifyFile = m_moduleFolder + u"notify.wav";
    m_startMode = StartModeOf(m_lpCmdLine ? m_lpCmdLine : u"");

    if (HWND running = FindWindow(nullptr, DIALDECK_WINDOW_TITLE))
        HandOverToRunningCopy(running);

    std::u16string deviceFolder = u"\\NAND\\My Documents\\";
    if (CreateDirectory(deviceFolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        m_deviceFile = deviceFolder + u"Deviceinfo";
    // The stored files of the current phone are those of the IMEI in the settings file.
    SetCurrentIMEI(SettingsImei());

    add_dialdeck_resources();
    CDialdeckDlg panel;
    m_pMainWnd = &panel;
    panel.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int CDialdeckApp::StartModeOf(std::u16string_view commandLine)
{
    if (commandLine == u"-h" || commandLine == u"-type:0")
        return 0;
    if (commandLine == u"-type:1")
        return 1;
    if (commandLine == u"-type:2")
        return 2;
    if (commandLine == u"-type:3")
        return 3;
    return -1;
}

int CDialdeckApp::ShowUISetting()
{
    int showUI = 0;
    al_GetSettingInt(u"mobile", u"ShowUI", m_settingsFile.c_str(), &showUI);
    return showUI;
}

void CDialdeckApp::HandOverToRunningCopy(HWND running)
{
    int showUI = m_startMode == -1 ? ShowUISetting() : 0;
    if ((m_startMode == 2 || (m_startMode == -1 && showUI == 2)) && !::IsWindowVisible(running)) {
        ::ShowWindow(running, SW_SHOW);
        ::SetForegroundWindow(running);
        WriteRegString(VOXLANE_KEY, u"Show", u"1");
    }
    if (!::IsWindowEnabled(running))
        ::ShowWindow(running, SHOW_RESTORE);
    if (HWND active = GetActiveWindow())
        ::SetForegroundWindow(active);
    ExitProcess(1);
}

int CDialdeckApp::LoadSystemLanguage()
{
    std::u16string path = m_moduleFolder + u"Lang\\Lang.ini";
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"nls", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD lcid = 0;
        DWORD type = 0;
        DWORD size = sizeof(lcid);
        if (RegQueryValueEx(key, u"DefaultLCID", nullptr, &type, reinterpret_cast<BYTE*>(&lcid), &size) == ERROR_SUCCESS
            && type == REG_DWORD && size <= sizeof(lcid)) {
            WCHAR name[32];
            wsprintf(name, u"Lang\\Lang_%04x.ini", lcid);
            std::u16string chosen = m_moduleFolder + name;
            if (GetFileAttributes(chosen.c_str()) != INVALID_FILE_ATTRIBUTES)
                path = chosen;
        }
        RegCloseKey(key);
    }
    SetLanguageFile(path.c_str());
    return 1;
}

int CDialdeckApp::LoadLanguage(DWORD lcid)
{
    WCHAR name[32];
    wsprintf(name, u"Lang\\Lang_%04x.ini", lcid);
    SetLanguageFile((m_moduleFolder + name).c_str());
    return 1;
}

std::u16string CDialdeckApp::SettingsImei() const
{
    WCHAR imei[260] = {};
    al_GetSettingString(u"mobile", u"IMEI", m_settingsFile.c_str(), imei, 260);
    return imei;
}

int CDialdeckApp::GetCallState()
{
    CallLock lock(m_callLock);
    return m_callState;
}

void CDialdeckApp::SetCallState(int state)
{
    CallLock lock(m_callLock);
    m_callState = state;
}

bool CDialdeckApp::IsCallBusy()
{
    CallLock lock(m_callLock);
    return m_callBusy;
}

void CDialdeckApp::SetCallBusy(bool busy)
{
    CallLock lock(m_callLock);
    m_callBusy = busy;
}

std::u16string CDialdeckApp::GetCallNumber()
{
    CallLock lock(m_callLock);
    return m_callNumber;
}

void CDialdeckApp::SetCallNumber(std::u16string number)
{
    CallLock lock(m_callLock);
    m_callNumber = std::move(number);
}

std::u16string CDialdeckApp::GetLastDialled()
{
    CallLock lock(m_callLock);
    return m_lastDialled;
}

void CDialdeckApp::SetLastDialled(std::u16string number)
{
    CallLock lock(m_callLock);
    m_lastDialled = std::move(number);
}

bool CDialdeckApp::TakeCallReport(int state, const std::u16string& partyNumber, bool* wasBusy)
{
    CallLock lock(m_callLock);
    if (m_callState == 2 && state == 1)
        return false;
    *wasBusy = m_callBusy;
    m_callState = state;
    if (state == 3) {
        // A call placed on the phone carries its own number; the one last dialled here is only
        // the fallback.
        if (!partyNumber.empty())
            m_lastDialled = partyNumber;
        m_callNumber = m_lastDialled;
    }
    return true;
}

CWnd* CDialdeckApp::GetWindowRef(WindowRef which)
{
    CallLock lock(m_callLock);
    return m_windows[static_cast<int>(which)];
}

void CDialdeckApp::SetWindowRef(WindowRef which, CWnd* window)
{
    CallLock lock(m_callLock);
    m_windows[static_cast<int>(which)] = window;
}

HWND CDialdeckApp::WindowOf(WindowRef which)
{
    CallLock lock(m_callLock);
    CWnd* window = m_windows[static_cast<int>(which)];
    return window && ::IsWindow(window->m_hWnd) ? window->m_hWnd : nullptr;
}

void register_dialdeck(kivo::Device& device)
{
    kivo::register_program(device, dialdeck_image_path, dialdeck_main);
}

bool CDialdeckApp::AudioOnDevice()
{
    BYTE on = 1;
    return !(m_manager.GetHFStatus(&on) == 1 && on == 0);
}

void CDialdeckApp::ToggleAudioTransfer(CLayoutBtn& button, CWnd* errorOwner)
{
    int wanted = button.m_nValue == 1 ? 0 : 1;
    int result = m_manager.TransferAudio(wanted);
    if (result == 1)
        button.SetValue(wanted);
    CZolManagerAPI::ShowError(result, errorOwner);
}
