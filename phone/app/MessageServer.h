#pragma once

// The main panel's side of the phone link's message interface: other programs subscribe their
// windows with WM_COPYDATA, send or post the registered requests and get the notifications
// posted; the watchdog's suspend and resume notices arrive the same way. Every handler runs on the
// panel's thread and reaches the open screens only through their references, by messages.

#include "LinkProtocol.h"
#include "PhoneRecords.h"

#include <initializer_list>

class CDialdeckDlg;

class CMessageServer {
public:
    explicit CMessageServer(CDialdeckDlg& panel)
        : m_panel(panel)
    {
    }

    // A registered request or the watchdog's notice; the answer is the message's result.
    LRESULT OnRequest(LinkMessage request, WPARAM wparam, LPARAM lparam);
    // Subscribing, unsubscribing and dialling by WM_COPYDATA.
    void OnCopyData(const COPYDATASTRUCT* block);
    // WM_PHONE_REPOWERBT: after a resume, Bluetooth is switched off until the radio answers, then
    // on again when the settings want it. Answers 1.
    LRESULT OnRepowerBT();
    // Posts a notification (lParam 0 for the registered ones) to every subscriber's window.
    void SendToSubscribers(LinkMessage notification, WPARAM wparam, LPARAM lparam = 0);

    const SubscriberList& Subscribers() const { return m_subscribers; }
    // The status value a subscriber is told for a call state (0 idle … 3 outgoing).
    static int StatusOfCallState(int callState);

private:
    LRESULT OnShowHidePhoneLine(WPARAM show);
    LRESULT OnShowHideDialer(WPARAM show);
    LRESULT OnShowHideSetting(WPARAM show);
    LRESULT OnShowHideFloatingWnd(WPARAM show);
    LRESULT OnBTPower(WPARAM on);
    LRESULT PowerOn();
    LRESULT PowerOff();
    LRESULT OnGetCallStatus();
    LRESULT OnHangUp();
    LRESULT OnGetMissCall();
    LRESULT OnQueryFunction(WPARAM function);
    LRESULT OnGprsConnection(WPARAM connect);
    LRESULT OnChangeLang(WPARAM lcid);
    LRESULT OnDogResume(WPARAM resumed);
    void Dial(const WCHAR* number);
    // The phone's support, with the dial-up byte cleared when no dial-up port is set.
    PhoneSupportFun ReadSupport();
    // True when no phone is current and the paired-device file lists one.
    bool HasPairedDevices();
    // The screens a request passes a message on to, those with a window.
    void SendToScreens(std::initializer_list<CWnd*> screens, UINT message, WPARAM wparam);

    CDialdeckDlg& m_panel;
    SubscriberList m_subscribers;
};
