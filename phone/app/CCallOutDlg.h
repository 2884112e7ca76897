#pragma once

// The screen of a call in progress: the other party's name and number and a state line (the skin's
// caption while the call is set up, the "active" text once it is). The panel runs it modally after
// an answered call, or creates it modeless for a call placed on the phone; a modeless screen frees
// itself when the call ends. Opened while no call is up, it dials the number itself.

#include "PhoneScreen.h"
#include "Skinkit.h"

#include <string>

class CCallOutDlg : public CPhoneScreen {
public:
    explicit CCallOutDlg(CWnd* owner = nullptr);

    // Before the window exists.
    void SetNameNumber(const std::u16string& name, const std::u16string& number);
    // Makes the modeless window, owned by the owner given at construction; the screen then frees
    // itself when the call ends or its window goes.
    BOOL CreateModeless();

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;

    const CString& ShownName() const { return m_nameInfo.text; }
    const CString& ShownNumber() const { return m_numberInfo.text; }
    const CString& StateLine() const { return m_calling.text; }
    const CString& Title() const { return m_title.text; }

protected:
    void OnPaint() override;
    void OnDestroy() override;
    void PostNcDestroy() override;

private:
    // Answers 0 for "exit" and "mini".
    LRESULT OnButtonClick(const CLayoutBtn& button);
    void HangUp();
    void OnCallUpdate(WPARAM state);
    void OnLanguageChanged();

    std::u16string m_name;
    std::u16string m_number;
    StaticInfo m_title;
    StaticInfo m_nameCaption;
    StaticInfo m_numberCaption;
    StaticInfo m_nameInfo;
    StaticInfo m_numberInfo;
    StaticInfo m_calling;
    CLayout m_titleLayout;
    CLayout m_infoLayout;
    CLayout m_statusLayout; // fed the mouse, never painted: its buttons are in the skin's pictures
    bool m_modeless = false;
};
