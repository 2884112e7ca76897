#pragma once

// The mini call window: a small topmost strip that stays on the screen while a call goes on after
// the user left the call screens, with four buttons: hang up, mute the microphone, move the audio
// between the device and the phone, and open the dial pad. It follows the call through
// WM_PHONE_CALLUPDATE and closes itself when the call ends. Closing, on any path, destroys the
// window, frees the object and clears the application's miniCallWindow.

#include "platform.h"

#include "Skinkit.h"

#include <string>

class CminCallWnd : public CFrameWnd {
public:
    // Before creation: the skin file in the skin's "Mainskin" folder ("mincall.ini" unless set)
    // and the main panel.
    void SetSkinFile(LPCWSTR file, CWnd* owner);

    BOOL PreCreateWindow(CREATESTRUCT&) override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;

    // A button of the strip by its name, any case; null when the skin has none.
    CLayoutBtn* FindButton(LPCWSTR name) { return m_layout.FindButtonByName(name); }
    CWnd* Owner() const { return m_owner; }

protected:
    int OnCreate(LPCREATESTRUCT) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return FALSE; }
    // A click may close the window: the handlers leave the object alone once they passed the
    // mouse on to the layout.
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnDestroy() override;

private:
    std::u16string SkinPath() const;
    LRESULT OnButtonClick(CLayoutBtn& button);
    void HangUp();
    void OnCallUpdate(WPARAM state);
    // "Mute" enabled with the microphone on, the first time the call is seen with the audio here.
    void EnableMute();
    // Destroys the window, which frees the object: nothing of it may be touched afterwards.
    void Close();

    CLayout m_layout;
    std::u16string m_skinFile = u"mincall.ini";
    CWnd* m_owner = nullptr;
    POINT m_cursorPoint {};
    bool m_cursorPointGiven = false;
    bool m_capturing = false;
};

// Opens the mini call window over a call that is up: made with the skin file and the main panel as
// its owner, shown and brought to the foreground, named by miniCallWindow; the speaker then gets
// the stored volume and the panel hears that a call is up (WM_PHONE_CALLACTIVE). Null when the
// window cannot be made.
CminCallWnd* OpenMiniCallWindow(LPCWSTR skinFile, CWnd* panel);
