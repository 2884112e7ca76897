#pragma once

#include "platform.h"

#include "PhoneRecords.h"
#include "PostedRecords.h"
#include "Skinkit.h"
#include "ZolManagerAPI.h"

#include <atomic>
#include <string>
#include <string_view>

namespace kivo {
class Device;
class Process;
} // namespace kivo

// The windows other code tracks while they are open; the manager's call-status callback reads
// them on its own thread.
enum class WindowRef {
    Panel,
    DialPad,
    CallScreen,
    MiniCallWindow,
    SettingsScreen,
};

// The phone link Dialdeck ("Voxlane.exe"): its folders and files, the language, the start mode,
// one copy at a time, and the state the panel, the call screens and the manager's callbacks share.
// The program ends when its main panel's modal loop ends.
class CDialdeckApp : public CWinApp {
public:
    CDialdeckApp();
    ~CDialdeckApp() override;

    BOOL InitInstance() override;
    // The system's language ("nls" "DefaultLCID"), "Lang\Lang.ini" when there is none or its file
    // is missing. Answers 1.
    int LoadSystemLanguage();
    // "Lang\Lang_%04x.ini" of a language id. Answers 1.
    int LoadLanguage(DWORD lcid);
    // The current phone's IMEI as the settings file holds it now (section "mobile", key "IMEI").
    std::u16string SettingsImei() const;

    // The running program's application object.
    static CDialdeckApp& Get();

    std::u16string m_moduleFolder;   // ends in a backslash
    std::u16string m_skinFolder;     // m_moduleFolder + "skin\default\"
    std::u16string m_settingsFile;   // "mobile_setting.ini": the phone's identity and options
    std::u16string m_ringFile;       // "ringin.wav"
    std::u16string m_notifyFile;     // "notify.wav"
    int m_startMode = -1;            // from the command line: 0 to 3, -1 when it names none
    std::u16string m_deviceFile;     // the paired-device file; empty when its folder cannot be made
    CZolManagerAPI m_manager;
    int m_missedCalls = 0;
    bool m_connectWanted = false;    // the panel's "Connect" toggle
    int m_cardState = 1;             // 0 no card; the card screens refuse 0 and 2
    std::u16string m_imei;           // of the current phone, read before each use
    std::atomic<bool> m_linkLost = false; // the last disconnection was reported as 2002 (on the manager's thread)
    std::u16string m_callerNumber;   // the caller's number while the phone rings; empty when idle

    // The call as the manager last reported it, the number of the call under way and the one last
    // dialled, and whether a call is up as the panel's buttons last showed it. The manager's
    // thread and the interface thread both use them, so each access takes the call lock.
    int GetCallState();
    void SetCallState(int state);
    bool IsCallBusy();
    void SetCallBusy(bool busy);
    std::u16string GetCallNumber();
    void SetCallNumber(std::u16string number);
    std::u16string GetLastDialled();
    void SetLastDialled(std::u16string number);

    // The call-status callback's report of a new state, taken in one step under the call lock: a
    // ring while a call is active is ignored (false); otherwise callState becomes the state, and
    // an outgoing call's number (the reported party's first number, else the one last dialled)
    // becomes callNumber and lastDialled. wasBusy tells callBusy as it stood.
    bool TakeCallReport(int state, const std::u16string& partyNumber, bool* wasBusy);

    // Whether the call's audio is on the device: only the manager's clear "off" puts it on the
    // phone, so a manager that cannot tell leaves it here.
    bool AudioOnDevice();
    // A "TransferAudio" toggle tapped (value 1: the audio is on the device): the audio is moved to
    // the other side and the toggle follows when the manager did it; a failure's text is shown over
    // errorOwner (or on its own), and returns when the user has closed it.
    void ToggleAudioTransfer(CLayoutBtn& button, CWnd* errorOwner);

    // The open windows, set by the code that opens one and cleared by it when it closes.
    CWnd* GetWindowRef(WindowRef);
    void SetWindowRef(WindowRef, CWnd*);
    // The window of a reference that is set and still has one, else null.
    HWND WindowOf(WindowRef);

    // The parties of the manager's call reports and the messages it received, on their way from its
    // thread to the panel.
    PostedRecords<PhonebookEntry> m_callReports;
    PostedRecords<SmsRecord> m_smsReports;

    // The manager's callbacks answer under this lock; it is held only for short sections.
    CRITICAL_SECTION m_callLock;

private:
    // The start mode a whole command line names, compared exactly.
    static int StartModeOf(std::u16string_view commandLine);
    // Another copy runs: show or restore it as asked, then end this one with exit code 1.
    [[noreturn]] void HandOverToRunningCopy(HWND running);
    int ShowUISetting();

    int m_callState = 0;
    bool m_callBusy = false;
    std::u16string m_callNumber;
    std::u16string m_lastDialled;
    CWnd* m_windows[5] = {};

};

inline constexpr std::u16string_view dialdeck_image_path = u"\\NAND\\App\\BT\\Voxlane.exe";
inline constexpr const WCHAR* DIALDECK_WINDOW_TITLE = u"ZOL_VOXLANE";
inline constexpr const WCHAR* VOXLANE_KEY = u"Software\\ZOLSOFT\\Voxlane";

void register_dialdeck(kivo::Device&);
// The application object of a process running the phone link, or null; for tests.
CDialdeckApp* dialdeck_app_of(kivo::Process&);
