// The call road: a ring and its screen, the answered call's screen, the missed calls, a call placed
// on the phone, the call status the subscribed programs hear and an incoming message stored on
// the card.

#include "DialdeckTest.h"
#include "LinkClient.h"

#include "CCallOutDlg.h"
#include "CIncomingCallDlg.h"
#include "Contacts.h"
#include "PhoneMessages.h"
#include "SkinBoxes.h"
#include "SoundDevice.h"
#include "StoredFiles.h"
#include "Volumes.h"

#include <cstring>

using namespace dialdeck::test;

namespace {

// Where the skins put the buttons the tests tap.
constexpr POINT answer_button { 130, 226 };
constexpr POINT reject_button { 350, 226 };
constexpr POINT close_cross { 456, 20 };
constexpr POINT hang_up_button { 240, 226 };

class CallRoadTest : public DialdeckTest {
public:
    std::shared_ptr<kivo::Process> process;

    CallRoadTest() { g_notes.clear(); }

    // The phone link connected, with a program's window subscribed to its notifications.
    void start_connected()
    {
        g_notes.clear();
        process = start(u"-type:2");
        settle();
        ASSERT_TRUE(panel(*process).IsConnected());
        start_link_client(*device, u"VoxlaneMsgWnd");
        _tagZOL_MSGOUT_WND record = subscriber(u"VoxlaneMsgWnd");
        COPYDATASTRUCT block { COPYDATA_REGISTERWND, sizeof(record), &record };
        SendMessage(panel_window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block));
        device->run_until_idle();
    }

    CIncomingCallDlg* incoming() { return static_cast<CIncomingCallDlg*>(panel(*process).IncomingScreen()); }
    CCallOutDlg* call_screen()
    {
        return app(*process).WindowOf(WindowRef::CallScreen)
            ? static_cast<CCallOutDlg*>(app(*process).GetWindowRef(WindowRef::CallScreen))
            : nullptr;
    }

    void tap(POINT at)
    {
        device->component<kivo::TouchInput>().tap(at.x, at.y);
        device->run_until_idle();
    }

    std::vector<kivo::SoundDevice::Sound> sounds_of(const char16_t* file)
    {
        std::vector<kivo::SoundDevice::Sound> found;
        for (auto& sound : device->component<kivo::SoundDevice>().sounds())
            if (sound.file.ends_with(file))
                found.push_back(sound);
        return found;
    }

    // What the subscribed window got of one notification, in order.
    std::vector<WPARAM> notices(const std::string& name)
    {
        std::vector<WPARAM> found;
        for (auto& note : g_notes)
            if (note.name == name)
                found.push_back(note.wparam);
        return found;
    }

    // A contact of the current phone stored on the card, as the phonebook screen keeps them.
    void store_contact(const char16_t* name, const char16_t* number)
    {
        PhonebookEntry entry {};
        entry.memoryType = 1;
        std::strcpy(entry.location, "SM:1");
        entry.fieldCount = 2;
        entry.fields[0].type = 15;
        std::char_traits<char16_t>::copy(entry.fields[0].text, name, std::char_traits<char16_t>::length(name));
        entry.fields[1].type = 1;
        std::char_traits<char16_t>::copy(entry.fields[1].text, number, std::char_traits<char16_t>::length(number));
        std::vector<BYTE> packed(sizeof(PhonebookEntry));
        ASSERT_GT(PackContact(&entry, packed.data()), 0);
        std::u16string folder;
        ASSERT_TRUE(GetStorageCardFolder(&folder));
        SetCurrentIMEI(app(*process).m_imei);
        ASSERT_TRUE(SaveContactsFile(folder + u"Contacts", ContactList { packed.data() }));
    }
};

} // namespace

TEST_F(CallRoadTest, ARingShowsTheCallersNameAndLoopsTheRing)
{
    struct Case {
        const char* what;
        const char16_t* number;
        const char16_t* name_given; // by the phone
        bool stored;                // a contact of that number on the card
        const char16_t* shown;
    };
    const Case cases[] = {
        { "the phone's name", u"0955123456", u"Mum", false, u"Mum" },
        { "the stored contact's name", u"0955123456", u"", true, u"Boss" },
        { "a caller nobody knows", u"0955000000", u"", false, u"未知" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        start_connected();
        if (c.stored)
            store_contact(u"Boss", u"0955123456");
        ASSERT_EQ(phones().ring(dana, c.number, c.name_given), kivo::PhoneError::None);
        device->advance(500);
        ASSERT_NE(incoming(), nullptr);
        EXPECT_TRUE(IsWindowVisible(incoming()->m_hWnd));
        EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(incoming()->ShownName())), c.shown);
        EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(incoming()->ShownNumber())), c.number);
        EXPECT_EQ(app(*process).m_callerNumber, c.number);
        auto calls = manager_calls(*process);
        EXPECT_NE(std::find(calls.begin(), calls.end(), "ZOL_SetDeviceVol(1, 5)"), calls.end());
        auto rings = sounds_of(u"ringin.wav");
        ASSERT_EQ(rings.size(), 1u);
        EXPECT_TRUE(rings[0].looping);
        EXPECT_FALSE(rings[0].stop_ms.has_value());
    }
    shot("dialdeck-incoming-call");
}

TEST_F(CallRoadTest, AnAnsweredCallOpensTheCallScreenAndCountsNoMissedCall)
{
    struct Case {
        const char* what;
        std::function<void(CallRoadTest&)> answer;
    };
    const Case cases[] = {
        { "answered here", [](CallRoadTest& t) { t.tap(answer_button); } },
        { "answered on the phone", [](CallRoadTest& t) { t.phones().answer(dana); } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        start_connected();
        phones().ring(dana, u"0955123456", u"Mum");
        device->advance(500);
        ASSERT_NE(incoming(), nullptr);
        c.answer(*this);
        device->advance(500);
        EXPECT_EQ(incoming(), nullptr);
        ASSERT_NE(call_screen(), nullptr);
        EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->Title())), u"已接聽來電");
        EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->StateLine())), u"通話中");
        EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->ShownName())), u"Mum");
        EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->ShownNumber())), u"0955123456");
        EXPECT_EQ(app(*process).GetCallState(), 2);
        EXPECT_EQ(app(*process).m_missedCalls, 0);
        EXPECT_TRUE(notices("WM_ZOLBT_OUTMSG_MISSCALL").empty());
        EXPECT_TRUE(sounds_of(u"ringin.wav").at(0).stop_ms.has_value());
        if (c.what == std::string("answered here"))
            shot("dialdeck-call-active");

        phones().hang_up(dana);
        device->advance(500);
        EXPECT_EQ(call_screen(), nullptr);
        EXPECT_EQ(app(*process).GetCallState(), 0);
        EXPECT_TRUE(app(*process).m_callerNumber.empty());
        EXPECT_EQ(phones().world().at(dana).call.state, kivo::CallState::Idle);
    }
}

TEST_F(CallRoadTest, ARingNotAnsweredCountsOneMissedCall)
{
    struct Case {
        const char* what;
        std::function<void(CallRoadTest&)> end;
        bool link_lost;
        bool hung_up_here;
    };
    const Case cases[] = {
        { "rejected", [](CallRoadTest& t) { t.tap(reject_button); }, false, true },
        { "closed", [](CallRoadTest& t) { t.tap(close_cross); }, false, true },
        { "ended by the caller", [](CallRoadTest& t) { t.phones().hang_up(dana); }, false, false },
        { "the phone out of range", [](CallRoadTest& t) { t.phones().set_in_range(dana, false); }, true, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        start_connected();
        phones().ring(dana, u"0955123456");
        device->advance(500);
        ASSERT_NE(incoming(), nullptr);
        c.end(*this);
        device->advance(1000);
        EXPECT_EQ(incoming(), nullptr);
        EXPECT_EQ(call_screen(), nullptr);
        EXPECT_EQ(app(*process).m_missedCalls, 1);
        EXPECT_EQ(notices("WM_ZOLBT_OUTMSG_MISSCALL"), std::vector<WPARAM> { 1 });
        // Ringing, then idle; a lost link, no phone.
        EXPECT_EQ(notices("WM_ZOLBT_OUTMSG_CALLSTATUS"), c.link_lost ? (std::vector<WPARAM> { 2, 1, 0 }) : (std::vector<WPARAM> { 2, 1 }));
        EXPECT_TRUE(sounds_of(u"ringin.wav").at(0).stop_ms.has_value());
        EXPECT_EQ(panel(*process).IsConnected(), !c.link_lost);
        EXPECT_EQ(panel(*process).ReportedStatus(), c.link_lost ? 0 : 1);
        auto calls = manager_calls(*process);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "ZOL_HangupCall()"), c.hung_up_here ? 1 : 0);
    }
}

TEST_F(CallRoadTest, ARepeatedRingUpdatesTheScreenAndTheStatusGoesOutOncePerChange)
{
    start_connected();
    phones().ring(dana, u"0955123456", u"Mum");
    device->advance(500);
    ASSERT_NE(incoming(), nullptr);
    HWND screen = incoming()->m_hWnd;
    // The phone repeats the ring every 5 s.
    device->advance(11000);
    EXPECT_EQ(incoming()->m_hWnd, screen);
    EXPECT_EQ(sounds_of(u"ringin.wav").size(), 1u);
    phones().answer(dana);
    device->advance(500);
    phones().hang_up(dana);
    device->advance(500);
    // Ringing (2), active (4), idle (1): one notice each.
    EXPECT_EQ(notices("WM_ZOLBT_OUTMSG_CALLSTATUS"), (std::vector<WPARAM> { 2, 4, 1 }));
    // The link's loss and its return are told once each too.
    phones().set_in_range(dana, false);
    settle();
    phones().set_in_range(dana, true);
    PostMessage(panel_window(), WM_PHONE_CONNECT, 0, 0);
    settle();
    EXPECT_EQ(notices("WM_ZOLBT_OUTMSG_CALLSTATUS"), (std::vector<WPARAM> { 2, 4, 1, 0, 1 }));
}

TEST_F(CallRoadTest, ACallersDetailsChangeOnlyWhenTheyDifferInMoreThanLetterCase)
{
    start_connected();
    phones().ring(dana, u"0955123456", u"Mum");
    device->advance(500);
    ASSERT_NE(incoming(), nullptr);
    auto report = [&](const char16_t* name, const char16_t* number) {
        PhonebookEntry party {};
        party.fieldCount = 2;
        party.fields[0].type = 15;
        std::char_traits<char16_t>::copy(party.fields[0].text, name, std::char_traits<char16_t>::length(name));
        party.fields[1].type = 1;
        std::char_traits<char16_t>::copy(party.fields[1].text, number, std::char_traits<char16_t>::length(number));
        SendMessage(incoming()->m_hWnd, WM_PHONE_CALLERINFO, 0, reinterpret_cast<LPARAM>(&party));
    };
    report(u"MUM", u"0955123456");
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(incoming()->ShownName())), u"Mum");
    report(u"Mother", u"0955123457");
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(incoming()->ShownName())), u"Mother");
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(incoming()->ShownNumber())), u"0955123457");
    EXPECT_EQ(app(*process).m_callerNumber, u"0955123457");
    auto png = shot("dialdeck-incoming-updated");
    // The name was redrawn on the panel's own colour.
    EXPECT_EQ(png.pixel_565(420, 90), kivo::rgb565_of_colorref(RGB(36, 76, 94)));
}

TEST_F(CallRoadTest, ALanguageChangeGivesTheStateLineTheSkinsTextAgain)
{
    start_connected();
    phones().dial(dana, u"10086");
    device->advance(500);
    phones().answer(dana);
    device->advance(500);
    ASSERT_NE(call_screen(), nullptr);
    ASSERT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->StateLine())), u"通話中");
    SendMessage(call_screen()->m_hWnd, WM_PHONE_LANGCHANGED, 0, 0);
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->StateLine())), u"撥號中...");
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->Title())), u"撥出電話");
}

TEST_F(CallRoadTest, ACallPlacedOnThePhoneOpensAScreenThatGoesWithTheCall)
{
    start_connected();
    // A number dialled here before must not stand for a call placed on the handset.
    app(*process).SetLastDialled(u"13800138000");
    phones().dial(dana, u"10086");
    device->advance(500);
    EXPECT_EQ(app(*process).GetCallNumber(), u"10086");
    EXPECT_EQ(app(*process).GetLastDialled(), u"10086");
    CCallOutDlg* first = call_screen();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(IsWindowVisible(first->m_hWnd));
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(first->StateLine())), u"撥號中...");
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(first->ShownNumber())), u"10086");
    shot("dialdeck-call-calling");
    phones().answer(dana);
    device->advance(500);
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(first->StateLine())), u"通話中");
    // No screen of the phone's call dials again.
    EXPECT_TRUE(device->component<kivo::ZolRecord>().calls_of("ZOL_Dial").empty());

    phones().hang_up(dana);
    device->advance(500);
    EXPECT_EQ(call_screen(), nullptr);
    EXPECT_EQ(app(*process).GetWindowRef(WindowRef::CallScreen), nullptr);

    phones().dial(dana, u"10010");
    device->advance(500);
    ASSERT_NE(call_screen(), nullptr);
    EXPECT_EQ(app(*process).GetCallNumber(), u"10010");
    // The screen's hang-up ends the call on the phone; the idle report frees the screen.
    tap(hang_up_button);
    device->advance(500);
    EXPECT_EQ(phones().world().at(dana).call.state, kivo::CallState::Idle);
    EXPECT_EQ(call_screen(), nullptr);
    EXPECT_FALSE(app(*process).IsCallBusy());
}

TEST_F(CallRoadTest, ARingDuringAnActiveCallIsLeftAlone)
{
    start_connected();
    phones().dial(dana, u"10086");
    device->advance(500);
    phones().answer(dana);
    device->advance(500);
    ASSERT_EQ(app(*process).GetCallState(), 2);
    bool busy = false;
    EXPECT_FALSE(app(*process).TakeCallReport(1, u"0955123456", &busy));
    EXPECT_EQ(app(*process).GetCallState(), 2);
    EXPECT_EQ(incoming(), nullptr);
}

TEST_F(CallRoadTest, AnIncomingMessageIsStoredOnlyWithACardAndRoomOnIt)
{
    struct Case {
        const char* what;
        std::function<void(CallRoadTest&)> set_up;
        bool notified;
        bool stored;
        const char16_t* shown; // the message dialog's text, or null
    };
    const Case cases[] = {
        { "room on the card", [](CallRoadTest&) {}, true, true, nullptr },
        { "exactly too little room",
            [](CallRoadTest& t) { t.device->component<kivo::Volumes>().set_free_bytes(kivo::VolumeId::Card, 0xFFFFF); },
            true, false, u"記憶卡已滿" },
        { "no card", [](CallRoadTest& t) { t.device->component<kivo::Volumes>().set_card_present(false); }, true, false,
            u"沒有記憶卡" },
        { "messages turned off", [](CallRoadTest&) { set_setting(u"SMS", u"ImcomingSMS", 0); }, false, false, nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        start_connected();
        c.set_up(*this);
        phones().receive_sms(dana, u"0955123456", u"See you at eight");
        device->advance(500);
        auto chimes = sounds_of(u"notify.wav");
        EXPECT_EQ(chimes.size(), c.notified ? 1u : 0u);
        if (!chimes.empty()) {
            EXPECT_FALSE(chimes[0].looping);
        }
        EXPECT_EQ(draw_log().find_shown_text(u"記憶卡已滿", 0).has_value(), c.shown && std::u16string(c.shown) == u"記憶卡已滿");
        EXPECT_EQ(draw_log().find_shown_text(u"沒有記憶卡", 0).has_value(), c.shown && std::u16string(c.shown) == u"沒有記憶卡");
        if (c.shown) {
            PostMessage(GetForegroundWindow(), WM_COMMAND, IDOK, 0);
            device->run_until_idle();
        }
        SetCurrentIMEI(app(*process).m_imei);
        SmsList stored;
        LoadSMSFile(u"\\SDMMC\\My Documents\\SMS", stored);
        ASSERT_EQ(stored.size(), c.stored ? 1u : 0u);
        if (c.stored) {
            EXPECT_EQ(std::u16string(stored.front()->number), u"0955123456");
            EXPECT_EQ(std::u16string(stored.front()->text), u"See you at eight");
        }
    }
}

TEST_F(CallRoadTest, AReportThePanelsFullQueueRefusesIsFreedAndTheNextOneArrives)
{
    start_connected();
    // The panel's thread waits in a manager call while its queue fills up.
    auto& record = device->component<kivo::ZolRecord>();
    record.hang("ZOL_GetPhoneSupportFun");
    PostMessage(panel_window(), WM_PHONE_CALLACTIVE, 3, 0);
    device->advance(100);
    int posted = 0;
    while (PostMessage(panel_window(), WM_NULL, 0, 0))
        ++posted;
    ASSERT_GT(posted, 0);
    phones().receive_sms(dana, u"0955123456", u"Lost in the crowd");
    device->advance(500);
    EXPECT_TRUE(debug_has("PostMessage: message 0x04CB"));
    record.clear("ZOL_GetPhoneSupportFun");
    device->advance(500);
    // The refused message is gone with its copy (the sanitizer run's leak check sees it otherwise).
    EXPECT_TRUE(sounds_of(u"notify.wav").empty());

    phones().receive_sms(dana, u"0955123456", u"See you at eight");
    device->advance(500);
    SetCurrentIMEI(app(*process).m_imei);
    SmsList stored;
    LoadSMSFile(u"\\SDMMC\\My Documents\\SMS", stored);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(std::u16string(stored.front()->text), u"See you at eight");
}

TEST_F(CallRoadTest, ASuspendDuringARingClosesItsScreenAsMissedAndKeepsBluetoothWanted)
{
    start_connected();
    phones().ring(dana, u"0955123456");
    device->advance(500);
    ASSERT_NE(incoming(), nullptr);
    UINT resume = RegisterWindowMessage(std::u16string(LinkMessageName(LinkMessage::DogResume)).c_str());
    PostMessage(panel_window(), resume, 0, 0);
    settle();
    EXPECT_EQ(incoming(), nullptr);
    EXPECT_EQ(app(*process).m_missedCalls, 1);
    EXPECT_TRUE(sounds_of(u"ringin.wav").at(0).stop_ms.has_value());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\ZOLSOFT\\Skinkit\\BT", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD on = 0;
    DWORD size = sizeof(on);
    EXPECT_EQ(RegQueryValueEx(key, u"bON", nullptr, nullptr, reinterpret_cast<BYTE*>(&on), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(on, 1u);
}

TEST_F(CallRoadTest, TheDialUpButtonSwitchesTheLinkAndAsksAgainAfterAnError)
{
    struct Case {
        const char* what;
        int failures;                        // of the first switching on, each with 2012
        std::vector<std::u16string> answers; // to the boxes, in order
        int value;                           // the button's after switching on
        size_t boxes;
    };
    const Case cases[] = {
        { "switched on", 0, {}, 1, 0 },
        { "tried again after an error", 1, { u"Retry" }, 1, 1 },
        { "given up after an error", 1, { u"Cancel" }, 0, 1 },
        { "given up after two errors", 2, { u"Retry", u"Cancel" }, 0, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        start_connected();
        auto answers = std::make_shared<std::vector<std::u16string>>(c.answers);
        device->component<kivo::SkinBoxes>().set_responder([answers](const kivo::SkinBoxRecord&) {
            if (answers->empty())
                return std::u16string(u"Cancel");
            auto answer = answers->front();
            answers->erase(answers->begin());
            return answer;
        });
        if (c.failures)
            device->component<kivo::ZolRecord>().fail("ZOL_GPRSConnection", 2012, c.failures);
        CLayoutBtn* gprs = panel(*process).FindButton(u"gprs");
        ASSERT_NE(gprs, nullptr);
        PostMessage(panel_window(), WM_PHONE_GPRSBUTTON, 0, reinterpret_cast<LPARAM>(gprs));
        settle();
        EXPECT_EQ(gprs->m_nValue, c.value);
        auto boxes = device->component<kivo::SkinBoxes>().shown();
        ASSERT_EQ(boxes.size(), c.boxes);
        for (auto& box : boxes)
            EXPECT_EQ(box.text, u"手機不支援此功能"); // the text of 2012
        if (c.value == 1) {
            // Switched off again.
            PostMessage(panel_window(), WM_PHONE_GPRSBUTTON, 0, reinterpret_cast<LPARAM>(gprs));
            settle();
            EXPECT_EQ(gprs->m_nValue, 0);
            auto calls = manager_calls(*process);
            EXPECT_EQ(std::count(calls.begin(), calls.end(), "ZOL_GPRSDisconnection()"), 1);
        }
    }
}
