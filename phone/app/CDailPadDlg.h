#pragma once

// The dial pad: the user types a number and calls it, redials the last number, hangs up, sends
// tones during a call, moves the audio between the device and the phone and mutes the speaker.
// The panel runs it modally; it follows the call and closes itself when a call that became active
// ends. Left during a call, it leaves the call-out screen in front.

#include "PhoneScreen.h"
#include "Skinkit.h"

class CDailPadDlg : public CPhoneScreen {
public:
    explicit CDailPadDlg(CWnd* owner = nullptr);

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;

    // The number on the display; with updateCall, "call" is enabled exactly when it is not empty.
    void SetDisplay(const CString& text, bool updateCall);

    const CString& Display() const { return m_callNo.text; }
    // The call as the pad last learnt it: 0 idle, 1 dialling or ringing, 2 active, 3 outgoing.
    int CallHere() const { return m_callHere; }
    CLayoutBtn* FindButton(LPCWSTR name) { return m_buttons.FindButtonByName(name); }

protected:
    void OnPaint() override;
    void OnDestroy() override;

private:
    // Answers 0 for "exit".
    LRESULT OnButtonClick(const CLayoutBtn& button);
    void OnKey(const CString& key);
    void OnCall();
    void OnHangUp();
    void OnRedial();
    // Before a call is placed: the keys are held and the speaker's toggle is ready when the audio
    // is here.
    void LockKeysForCall();
    // A placed call keeps the keys held and counts as outgoing; a failed one gives them back.
    // Answers whether the call was placed.
    bool TakeDialResult(int result);
    void OnMute();
    void OnTransferAudio();
    void OnCallUpdate(WPARAM state);
    // Leaves the pad; during a call the call-out screen comes to the front first.
    void Close();

    // Group A: "backspace", "+" and "ReDail" (the pad is ready to dial), with "Hangup" the other way.
    void EnableGroupA(bool enable);
    // Group B: the twelve keys (typed, or sent as tones).
    void EnableGroupB(bool enable);
    void RefreshVolumeButtons();
    // Speaker on again at the call's start: "Mute" enabled with value 1 and the volume stored.
    void UnmuteForCall();
    void SetCallToggle(int value);
    void Enable(LPCWSTR name, bool enable);
    void SetValue(LPCWSTR name, int value);

    StaticInfo m_title;
    StaticInfo m_callNo;
    CLayout m_layout;  // the title band, from the file the skin names
    CLayout m_buttons; // "Button_layout"
    int m_callHere = 0;
    bool m_redialing = false;
    bool m_wasActive = false;
    int m_volume = 5; // 0 to 10
};
