// The call road of the main panel: the manager's call and message reports, turned into the ring,
// the incoming-call screen, the call-out screens, the call status the subscribed programs hear,
// and the stored incoming messages; and the dial-up link's button.

#include "CCallOutDlg.h"
#include "CDialdeckApp.h"
#include "CDialdeckDlg.h"
#include "CIncomingCallDlg.h"
#include "Contacts.h"
#include "DialdeckTexts.h"
#include "PhoneMessages.h"
#include "SkinControls.h"
#include "StoredFiles.h"

#include <memory>

namespace {

// A message is stored only while the card keeps more than this many bytes free.
constexpr DWORD SMS_SPACE_RESERVE = 0xFFFFF;

void StopSound()
{
    PlaySound(nullptr, nullptr, 0);
}

// The call-out screen's name and number for a number: the stored contact's name, else the
// language's "unknown" texts.
void NameAndNumberOf(const std::u16string& number, std::u16string* name, std::u16string* shownNumber)
{
    if (number.empty()) {
        *name = LanguageText(TEXT_UNKNOWN_NAME);
        *shownNumber = LanguageText(TEXT_UNKNOWN_NUMBER);
        return;
    }
    *shownNumber = number;
    if (!FindNameByNumber(number, name))
        *name = LanguageText(TEXT_UNKNOWN_NAME);
}

} // namespace

void CDialdeckDlg::OnCallStatus(WPARAM state, PhonebookEntry* report)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    std::unique_ptr<PhonebookEntry> party = app.m_callReports.Take(report);
    std::u16string number;
    if (party)
        GetFirstNumber(party.get(), &number);
    if (state == 0) {
        app.SetCallNumber(u"");
        // An answered call must never show a caller of before.
        app.m_callerNumber.clear();
        StopSound();
    } else if (state == 2) {
        StopSound();
    } else if (state == 1 && !number.empty()) {
        app.SetCallNumber(number);
    }

    if (m_incomingScreen && ::IsWindow(m_incomingScreen->m_hWnd)) {
        HWND screen = m_incomingScreen->m_hWnd;
        if (state == 0)
            ::SendMessage(screen, WM_COMMAND, IDCANCEL, 0);
        else if (state == 2)
            ::SendMessage(screen, WM_PHONE_ANSWERED, 0, 0);
        else if (state == 1)
            // A repeated ring: the texts follow, the ring plays on.
            ::SendMessage(screen, WM_PHONE_CALLERINFO, 0, reinterpret_cast<LPARAM>(party.get()));
        return;
    }
    if (state == 1)
        RunIncomingCall(party.get());
    else if (state == 3)
        OpenOutgoingCallScreen();
}

void CDialdeckDlg::RunIncomingCall(const PhonebookEntry* party)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    app.m_callerNumber.clear();
    if (party)
        GetFirstNumber(party, &app.m_callerNumber);
    CIncomingCallDlg incoming;
    incoming.SetParty(party);
    m_incomingScreen = &incoming;
    PlaySound(app.m_ringFile.c_str(), nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME);
    INT_PTR result = incoming.DoModal();
    m_incomingScreen = nullptr;
    // The ring ends with its screen, also when the phone's report of the answer is slow to come.
    StopSound();
    if (result == IDOK)
        RunAnsweredCall(incoming.ShownName());
    RestoreCursor();
}

void CDialdeckDlg::RunAnsweredCall(const CString& shownName)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    std::u16string name;
    std::u16string number;
    NameAndNumberOf(app.m_callerNumber, &name, &number);
    // The name the ring showed (the phone's own, or the stored contact's) stays with the call.
    if (!app.m_callerNumber.empty() && !shownName.IsEmpty())
        name = static_cast<LPCWSTR>(shownName);
    auto screen = std::make_unique<CCallOutDlg>(this);
    screen->SetNameNumber(name, number);
    app.SetWindowRef(WindowRef::CallScreen, screen.get());
    app.SetCallState(2);
    screen->DoModal();
    app.SetWindowRef(WindowRef::CallScreen, nullptr);
}

void CDialdeckDlg::OpenOutgoingCallScreen()
{
    CDialdeckApp& app = CDialdeckApp::Get();
    if (app.WindowOf(WindowRef::CallScreen))
        return;
    std::u16string name;
    std::u16string number;
    NameAndNumberOf(app.GetLastDialled(), &name, &number);
    // The screen frees itself when the call ends or the panel goes.
    auto* screen = new CCallOutDlg(this);
    screen->SetNameNumber(name, number);
    app.SetWindowRef(WindowRef::CallScreen, screen);
    app.SetCallState(3);
    if (!screen->CreateModeless()) {
        app.SetWindowRef(WindowRef::CallScreen, nullptr);
        delete screen;
        return;
    }
    screen->ShowWindow(SW_SHOW);
    screen->SetForegroundWindow();
}

void CDialdeckDlg::OnCallState(WPARAM state)
{
    ReportCallStatus(CMessageServer::StatusOfCallState(static_cast<int>(state)));
}

void CDialdeckDlg::ReportCallStatus(int status)
{
    if (status == m_reportedStatus)
        return;
    m_reportedStatus = status;
    SendToSubscribers(LinkMessage::CallStatus, static_cast<WPARAM>(status));
}

void CDialdeckDlg::OnIncomingSMS(SmsRecord* received)
{
    CDialdeckApp& app = CDialdeckApp::Get();
    std::unique_ptr<SmsRecord> message = app.m_smsReports.Take(received);
    PlaySound(app.m_notifyFile.c_str(), nullptr, SND_ASYNC | SND_FILENAME);
    if (!message)
        return;
    // The popup comes with its own screen; the message is stored all the same.
    OutputDebugString(u"CIncomingSMS not built yet\r\n");
    if (m_smsScreen && ::IsWindow(m_smsScreen->m_hWnd)) {
        ::SendMessage(m_smsScreen->m_hWnd, WM_PHONE_NEWSMS, 0, reinterpret_cast<LPARAM>(message.get()));
        return;
    }
    // Without a card there is nowhere to store it: that is no full card.
    std::u16string folder;
    if (!GetStorageCardFolder(&folder)) {
        CZolManagerAPI::ShowError(MANAGER_NO_CARD);
        return;
    }
    std::u16string path = folder + u"SMS";
    SmsList messages;
    LoadSMSFile(path, messages);
    messages.push_front(std::move(message));
    if (GetFreeDiskSpace(folder) > SMS_SPACE_RESERVE)
        SaveSMSFile(path, messages);
    else
        CZolManagerAPI::ShowError(MANAGER_CARD_FULL);
}

void CDialdeckDlg::OnDialUpButton(CLayoutBtn* button)
{
    if (!button)
        return;
    CDialdeckApp& app = CDialdeckApp::Get();
    bool wasUp = button->m_nValue == 1;
    auto attempt = [&] {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        int result = wasUp ? app.m_manager.GPRSDisconnection() : app.m_manager.GPRSConnection();
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        return result;
    };
    int result = attempt();
    std::u16string question = app.m_skinFolder + u"YesNoMsg.ini";
    // The error is asked about again as long as the user wants another try.
    while (result != 1 && CZolManagerAPI::ErrorStringId(result) != 0) {
        WCHAR answer[64] = {};
        ZolMessageBoxEx(answer, 64, question.c_str(), LanguageText(CZolManagerAPI::ErrorStringId(result)).c_str(), m_hWnd);
        if (!wasUp)
            RepaintNow();
        if (_wcsicmp(answer, u"Retry") != 0)
            break;
        result = attempt();
    }
    bool upNow = result == 1 ? !wasUp : wasUp;
    button->SetValue(upNow ? 1 : 0);
}
