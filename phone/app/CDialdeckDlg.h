#pragma once

// Dialdeck's main panel "ZOL_VOXLANE": it starts the Bluetooth manager, powers Bluetooth up,
// connects the known phone, keeps its buttons in step with the connection and the call, shows the
// power picture, opens the phone link's screens, starts the watchdog and closes everything in
// order. It is the window the home screen, the watchdog and the manager's callbacks reach.

#include "MessageServer.h"
#include "PhoneRecords.h"
#include "PhoneScreen.h"
#include "SkinControls.h"
#include "Skinkit.h"

#include <vector>

class CDialdeckDlg : public CPhoneScreen {
public:
    CDialdeckDlg();

    BOOL OnInitDialog() override;
    void OnOK() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;

    // The button of that name in either layout (any case), or null.
    CLayoutBtn* FindButton(LPCWSTR name);
    // The frame of the power picture shown now.
    int PowerPicture() const { return m_powerPicture; }
    bool IsConnected() const { return m_connected; }

    // Bluetooth at start: powered up and the known phone connected when the settings ask for it.
    void InitBTPower();
    // The home screen's notify codes (27 and 28 the power picture, 34 close the programs, 39 the
    // key click); answers 1.
    using CPhoneScreen::OnNotify;
    LRESULT OnNotify(WPARAM code, LPARAM argument);
    // "Phonebook", "SMS", "File", "gprs", "HF", "dialpad", "callLog" and "btstatus" together.
    void EnablePhoneButtons(bool enable);
    // The buttons of a connected phone, by what it supports and whether a call is up.
    void ApplyPhoneSupport(const PhoneSupportFun& support);
    // Posts a registered notification to the subscribed programs' windows.
    void SendToSubscribers(LinkMessage notification, WPARAM wparam, LPARAM lparam = 0)
    {
        m_server.SendToSubscribers(notification, wparam, lparam);
    }
    const SubscriberList& Subscribers() const { return m_server.Subscribers(); }
    // The call status last told to the subscribed programs: 0 no phone, 1 idle, 2 ringing,
    // 3 dialling, 4 active.
    int ReportedStatus() const { return m_reportedStatus; }
    // The incoming-call screen while it is open, else null.
    CWnd* IncomingScreen() const { return m_incomingScreen; }

protected:
    void OnPaint() override;
    void OnShowWindow(BOOL show, UINT status) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    void OnDestroy() override;
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* block) override;

private:
    // The message server acts on the panel's buttons, state and screens as its own handlers do.
    friend class CMessageServer;
    // Tests put a screen of their own in front of the panel's screens.
    friend class PanelScreensProbe;

    // Answers 0 when the click ended the panel.
    LRESULT OnButtonClick(const CLayoutBtn& button);
    void OnConnectPhone(WPARAM fromStartUp, LPARAM noKnownPhone);
    void OnConnectStatus(WPARAM connected);
    void OnCallActive(WPARAM state);
    // The call road (PhoneEvents.cpp): the ring and its screen, the call-out screens, the
    // subscribers' call status and an incoming message.
    void OnCallStatus(WPARAM state, PhonebookEntry* party);
    void RunIncomingCall(const PhonebookEntry* party);
    void RunAnsweredCall(const CString& shownName);
    void OpenOutgoingCallScreen();
    void OnCallState(WPARAM state);
    void ReportCallStatus(int status);
    void OnIncomingSMS(SmsRecord* message);
    // The dial-up link switched by its button: value 1 while the link is up.
    void OnDialUpButton(CLayoutBtn* button);
    // The buttons that follow a change of callBusy.
    void ApplyCallBusy(bool busy, const PhoneSupportFun& support);
    void StartWatchdog();
    void ReadPowerFromBattery();
    void InvalidatePowerFrame();
    void DrawPowerFrame(CDC& dc);
    // The strings "name", "phone" and "company" of the settings file's section "mobile".
    bool KnowsPhone();
    std::u16string PhoneName();

    // The screens the buttons open. Each runs modally with its reference set, then the cursor
    // goes back to the skin's point; a screen not built yet is named in the debug output and
    // answers IDCANCEL.
    void OpenPhoneBook();
    void OpenSMS();
    void OpenFileManager();
    void OpenSetting();
    void OpenPairList();
    INT_PTR RunScreen(const char16_t* className, CWnd** reference);
    void RepaintNow();
    void ReconnectAfterScreen();
    // The card screens need a card; shows 3000 without one, else takes the current IMEI.
    bool CardReadyForPhoneData();

    bool m_connected = false;
    bool m_hfOn = true;
    int m_volume = 5;
    HICON m_hIcon = nullptr;
    bool m_firstConnect = true;
    bool m_wasConnected = true;
    CWnd* m_incomingScreen = nullptr;
    CWnd* m_smsPopup = nullptr;
    CWnd* m_openScreen = nullptr;
    CWnd* m_smsScreen = nullptr;
    bool m_btReady = false;
    bool m_dialpadOffered = false; // the skin's "dialpad" button was enabled at start
    CLayout m_titleLayout;
    CLayout m_buttonLayout;
    RECT m_panelRect = DEFAULT_SCREEN_RECT;
    std::vector<SkinPicture> m_powerPictures;
    CBitmap m_powerBitmap;
    int m_powerPicture = 2;
    StaticInfo m_titleText;
    int m_showMode = 0;
    CMessageServer m_server { *this };
    int m_reportedStatus = 0;
};

// The manager's callbacks: they run on its threads, copy what they are given and post it to the
// panel.
int OnConnectStatusCallback(int status);
int OnCallStatusCallback(PhonebookEntry party, int state);
int OnIncomingSMSCallback(SmsRecord message);
