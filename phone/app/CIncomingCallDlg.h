#pragma once

// The screen of a ringing call: the caller's name and number, and the buttons to answer or turn it
// down. The main panel runs it modally while the ring plays; it ends with IDOK when the call was
// answered (here or on the phone) and with IDCANCEL otherwise. A call that was not answered counts
// as missed when the screen goes.

#include "PhoneRecords.h"
#include "PhoneScreen.h"
#include "Skinkit.h"

#include <string>

class CIncomingCallDlg : public CPhoneScreen {
public:
    CIncomingCallDlg();

    // The caller as the manager reported it, before the screen opens; not owned, and it must
    // outlive the modal run.
    void SetParty(const PhonebookEntry* party) { m_party = party; }

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;

    // The name and number shown now.
    const CString& ShownName() const { return m_nameInfo.text; }
    const CString& ShownNumber() const { return m_numberInfo.text; }
    bool Answered() const { return m_answered; }

protected:
    void OnPaint() override;
    // A screen that goes without the call answered counts a missed call, whichever way it ended.
    void OnDestroy() override;

private:
    // Answers 0 when the click ended the screen with "exit".
    LRESULT OnButtonClick(const CLayoutBtn& button);
    void Answer();
    void HangUp();
    void OnAnsweredOnPhone();
    void OnCallerInfo(const PhonebookEntry* party);
    void OnLanguageChanged();
    // Sets a shown text and redraws only its rectangle, unless it equals the text there (in any
    // case).
    void UpdateInfo(StaticInfo& info, const std::u16string& text);
    void DisableAnswer();

    StaticInfo m_title;
    StaticInfo m_nameCaption;
    StaticInfo m_numberCaption;
    StaticInfo m_nameInfo;
    StaticInfo m_numberInfo;
    // Only the third is laid out; the other two stay empty and are drawn and fed the mouse alike.
    CLayout m_layouts[3];
    const PhonebookEntry* m_party = nullptr;
    int m_volume = 5;
    bool m_answered = false;
    bool m_lookedUp = false;
};
