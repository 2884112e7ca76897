// The dial pad: typing and editing the number, dialling and redialling and their failures, the
// keys as tones during a call, the speaker and audio toggles, the stored volume, leaving the pad
// during a call, and the panel's request that opens and closes it.

#include "DialdeckTest.h"
#include "LinkClient.h"

#include "CCallOutDlg.h"
#include "CDailPadDlg.h"
#include "DialdeckResources.h"
#include "LinkProtocol.h"
#include "PhoneMessages.h"

// The panel's screen reference, which no built screen sets besides the dial pad.
class PanelScreensProbe {
public:
    static CWnd*& open_screen(CDialdeckDlg& panel) { return panel.m_openScreen; }
};

using namespace dialdeck::test;

namespace {

// Where the call-out screen puts its button that hands the call to the dial pad.
constexpr POINT call_out_mini { 405, 226 };
constexpr POINT answer_button { 130, 226 };

class DialPadTest : public DialdeckTest {
public:
    std::shared_ptr<kivo::Process> process;

    // The phone link connected to the phone.
    void start_connected()
    {
        process = start(u"-type:2");
        settle();
        ASSERT_TRUE(panel(*process).IsConnected());
    }

    // The registered request, posted as another program's window would send it.
    void request_dial_pad(WPARAM show)
    {
        UINT id = RegisterWindowMessage(std::u16string(LinkMessageName(LinkMessage::ShowHideDialer)).c_str());
        PostMessage(panel_window(), id, show, 0);
        device->run_until_idle();
    }

    CDailPadDlg* pad()
    {
        return app(*process).WindowOf(WindowRef::DialPad)
            ? static_cast<CDailPadDlg*>(app(*process).GetWindowRef(WindowRef::DialPad))
            : nullptr;
    }
    CCallOutDlg* call_screen()
    {
        return app(*process).WindowOf(WindowRef::CallScreen)
            ? static_cast<CCallOutDlg*>(app(*process).GetWindowRef(WindowRef::CallScreen))
            : nullptr;
    }

    CDailPadDlg& open_pad()
    {
        request_dial_pad(1);
        EXPECT_NE(pad(), nullptr);
        return *pad();
    }

    void tap(POINT at)
    {
        device->component<kivo::TouchInput>().tap(at.x, at.y);
        device->run_until_idle();
    }

    // Taps the middle of a button of the pad.
    void tap(const char16_t* button)
    {
        ASSERT_NE(pad(), nullptr);
        CLayoutBtn* found = pad()->FindButton(button);
        ASSERT_NE(found, nullptr) << kivo::to_utf8(button);
        RECT rect = found->GetRect();
        tap(POINT { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 });
    }

    void type(std::u16string_view keys)
    {
        for (char16_t key : keys) {
            char16_t name[2] = { key, 0 };
            tap(name);
            // Apart enough that no two taps make a double tap.
            device->advance(600);
        }
    }

    std::u16string display() { return std::u16string(static_cast<LPCWSTR>(pad()->Display())); }
    bool on(const char16_t* button)
    {
        CLayoutBtn* found = pad()->FindButton(button);
        EXPECT_NE(found, nullptr) << kivo::to_utf8(button);
        return found && !found->m_bDisabled;
    }
    int value(const char16_t* button) { return pad()->FindButton(button)->m_nValue; }

    // The keys are typed (or sent) and the pad is ready to dial.
    void expect_keys_back()
    {
        for (auto* key : { u"1", u"0", u"#", u"backspace", u"+", u"ReDail" })
            EXPECT_TRUE(on(key)) << kivo::to_utf8(key);
        EXPECT_FALSE(on(u"Hangup"));
        EXPECT_EQ(value(u"call"), 0);
    }

    size_t count_calls(const std::string& call)
    {
        auto calls = manager_calls(*process);
        return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
    }
    std::u16string dtmf_heard() { return phones().world().at(dana).call.dtmf_heard; }

    // A ring answered here, so that the call's sound runs through the device: the panel's
    // call-out screen shows it.
    void active_call_answered_here()
    {
        phones().ring(dana, u"10086");
        device->advance(500);
        tap(answer_button);
        device->advance(500);
        ASSERT_EQ(app(*process).GetCallState(), 2);
        ASSERT_NE(call_screen(), nullptr);
    }
};

} // namespace

TEST_F(DialPadTest, TypingEditsTheNumberAndCallFollowsIt)
{
    start_connected();
    open_pad();
    EXPECT_EQ(GetForegroundWindow(), pad()->m_hWnd);
    EXPECT_EQ(display(), u"");
    EXPECT_FALSE(on(u"call"));
    expect_keys_back();
    // The speaker and audio toggles wait for a call.
    EXPECT_FALSE(on(u"Mute"));
    EXPECT_FALSE(on(u"TransferAudio"));
    EXPECT_FALSE(on(u"more"));
    EXPECT_FALSE(on(u"less"));
    shot("dialpad-empty");

    struct Step {
        const char16_t* keys;
        const char16_t* shown;
        bool call;
    };
    const Step steps[] = {
        { u"012", u"012", true },
        { u"\b\b\b", u"", false },
        { u"\b", u"", false },  // an empty display stays empty
        { u"42+", u"+", true }, // "+" replaces the digits
        { u"*9#", u"+*9#", true },
    };
    for (const auto& step : steps) {
        for (const char16_t* key = step.keys; *key; ++key) {
            if (*key == u'\b') {
                tap(u"backspace");
                device->advance(600);
            } else {
                type(std::u16string_view(key, 1));
            }
        }
        EXPECT_EQ(display(), step.shown) << kivo::to_utf8(step.keys);
        EXPECT_EQ(on(u"call"), step.call) << kivo::to_utf8(step.keys);
    }
    // Nothing went to the phone while typing.
    EXPECT_EQ(count_calls("ZOL_Dial(+*9#)"), 0u);
    EXPECT_EQ(dtmf_heard(), u"");
}

TEST_F(DialPadTest, AQuickSecondTapOnAKeyCountsTwice)
{
    start_connected();
    open_pad();
    // The pad's own class turns a quick second tap into a double click.
    WCHAR class_name[32] = {};
    GetClassName(pad()->m_hWnd, class_name, 32);
    EXPECT_EQ(std::u16string(class_name), DIAL_PAD_CLASS);
    struct Case {
        const char* what;
        uint64_t gap_ms;
    };
    for (auto c : { Case { "quick", 100 }, Case { "slow", 800 } }) {
        SCOPED_TRACE(c.what);
        tap(u"+");
        device->advance(600);
        tap(u"5");
        device->advance(c.gap_ms);
        tap(u"5");
        device->advance(600);
        EXPECT_EQ(display(), u"+55");
    }
    shot("dialpad-typing");
}

TEST_F(DialPadTest, ADialledCallIsUpAtOnceSoLeavingThePadDoesNotDialItAgain)
{
    start_connected();
    open_pad();
    // The phone's report of the outgoing call comes late.
    device->component<kivo::ZolRecord>().delay_callbacks("CallStatusFn", 5000);
    type(u"10086");
    tap(u"call");
    EXPECT_EQ(count_calls("ZOL_Dial(10086)"), 1u);
    EXPECT_EQ(app(*process).GetCallState(), 3);
    EXPECT_EQ(app(*process).GetLastDialled(), u"10086");
    EXPECT_EQ(pad()->CallHere(), 1);
    EXPECT_EQ(value(u"call"), 1);
    EXPECT_TRUE(on(u"Hangup"));
    for (auto* key : { u"1", u"backspace", u"+", u"ReDail" })
        EXPECT_FALSE(on(key)) << kivo::to_utf8(key);

    // Leaving the pad now opens the call-out screen with the number in front, which does not dial;
    // the pad ends when that screen does.
    tap(u"exit");
    ASSERT_NE(call_screen(), nullptr);
    EXPECT_EQ(GetForegroundWindow(), call_screen()->m_hWnd);
    EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(call_screen()->ShownNumber())), u"10086");
    EXPECT_EQ(device->component<kivo::ZolRecord>().calls_of("ZOL_Dial").size(), 1u);
    device->component<kivo::ZolRecord>().delay_callbacks("CallStatusFn", 0);
    device->advance(6000);
    EXPECT_EQ(phones().world().at(dana).call.state, kivo::CallState::Outgoing);

    phones().hang_up(dana);
    device->advance(500);
    EXPECT_EQ(call_screen(), nullptr);
    EXPECT_EQ(pad(), nullptr);
    EXPECT_EQ(app(*process).GetCallState(), 0);
}

TEST_F(DialPadTest, AFailedDialOrRedialGivesTheKeysBack)
{
    struct Case {
        const char* entry;
        std::function<void(DialPadTest&)> dial;
    };
    const Case cases[] = {
        { "ZOL_Dial",
            [](DialPadTest& t) {
                t.type(u"10086");
                t.tap(u"call");
            } },
        { "ZOL_ReDial", [](DialPadTest& t) { t.tap(u"ReDail"); } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        start_over();
        start_connected();
        open_pad();
        device->component<kivo::ZolRecord>().fail(c.entry, MANAGER_NOT_CONNECTED);
        c.dial(*this);
        EXPECT_EQ(device->component<kivo::ZolRecord>().calls_of(c.entry).size(), 1u);
        expect_keys_back();
        EXPECT_EQ(pad()->CallHere(), 0);
        EXPECT_EQ(app(*process).GetCallState(), 0);
        // Nothing is shown: the pad stays in front.
        EXPECT_EQ(GetForegroundWindow(), pad()->m_hWnd);
        EXPECT_FALSE(draw_log().find_shown_text(u"未連接手機", 0).has_value());
    }
}

TEST_F(DialPadTest, ARedialShowsTheNumberLastDialledWhenThePhoneReportsIt)
{
    start_connected();
    open_pad();
    type(u"10010");
    tap(u"call");
    device->advance(500);
    phones().hang_up(dana);
    device->advance(500);
    ASSERT_EQ(pad()->CallHere(), 0);
    EXPECT_EQ(display(), u"");
    expect_keys_back();

    tap(u"ReDail");
    EXPECT_EQ(count_calls("ZOL_ReDial()"), 1u);
    device->advance(500);
    EXPECT_EQ(phones().world().at(dana).call.number, u"10010");
    EXPECT_EQ(display(), u"10010");
    EXPECT_EQ(value(u"call"), 1);
    EXPECT_TRUE(on(u"call"));
    // A redial never dials the number itself.
    EXPECT_EQ(count_calls("ZOL_Dial(10010)"), 1u);
}

TEST_F(DialPadTest, DuringAnActiveCallTheKeysAreTonesAndThePadClosesWithTheCall)
{
    start_connected();
    active_call_answered_here();
    app(*process).SetCallBusy(false);
    open_pad();
    EXPECT_EQ(display(), u"10086");
    EXPECT_TRUE(on(u"1"));
    EXPECT_FALSE(on(u"backspace"));
    EXPECT_TRUE(on(u"Hangup"));
    EXPECT_EQ(value(u"call"), 1);
    EXPECT_TRUE(on(u"TransferAudio"));

    type(u"12#");
    EXPECT_EQ(dtmf_heard(), u"12#");
    EXPECT_EQ(count_calls("ZOL_DialDTMF(#)"), 1u);
    EXPECT_EQ(display(), u"1008612#");
    // "call" still stands for hanging up.
    EXPECT_EQ(value(u"call"), 1);
    EXPECT_TRUE(on(u"call"));
    shot("dialpad-call");

    phones().hang_up(dana);
    device->advance(500);
    EXPECT_EQ(pad(), nullptr);
    EXPECT_EQ(call_screen(), nullptr);
}

TEST_F(DialPadTest, TheCallToggleHangsUpAnActiveCall)
{
    start_connected();
    active_call_answered_here();
    open_pad();
    ASSERT_EQ(value(u"call"), 1);
    tap(u"call");
    device->advance(500);
    EXPECT_EQ(count_calls("ZOL_HangupCall()"), 1u);
    EXPECT_EQ(phones().world().at(dana).call.state, kivo::CallState::Idle);
    // The call had been active: its end closes the pad, and the call-out screen with it.
    EXPECT_EQ(pad(), nullptr);
    EXPECT_EQ(call_screen(), nullptr);
}

TEST_F(DialPadTest, TheSpeakerAndAudioTogglesFollowTheManagersAnswers)
{
    start_connected();
    active_call_answered_here();
    open_pad();
    ASSERT_TRUE(on(u"Mute"));
    ASSERT_EQ(value(u"Mute"), 1);
    EXPECT_TRUE(on(u"more"));
    EXPECT_TRUE(on(u"less"));

    size_t speaker_at_five = count_calls("ZOL_SetDeviceVol(1, 5)");
    // A refused volume leaves the speaker on.
    device->component<kivo::ZolRecord>().fail("ZOL_SetDeviceVol", 0, 1);
    tap(u"Mute");
    EXPECT_EQ(value(u"Mute"), 1);
    device->advance(600);
    tap(u"Mute");
    EXPECT_EQ(value(u"Mute"), 0);
    EXPECT_EQ(count_calls("ZOL_SetDeviceVol(1, 0)"), 2u);
    EXPECT_FALSE(on(u"more"));
    EXPECT_FALSE(on(u"less"));
    device->advance(600);
    tap(u"Mute");
    EXPECT_EQ(value(u"Mute"), 1);
    EXPECT_EQ(count_calls("ZOL_SetDeviceVol(1, 5)"), speaker_at_five + 1);

    // The audio moves to the phone and back.
    device->advance(600);
    tap(u"TransferAudio");
    EXPECT_EQ(value(u"TransferAudio"), 0);
    EXPECT_FALSE(phones().world().at(dana).call.audio_on_device);
    // A failure is shown with its text and the toggle stays.
    device->component<kivo::ZolRecord>().fail("ZOL_TransferAudio", MANAGER_NOT_CONNECTED, 1);
    device->advance(600);
    tap(u"TransferAudio");
    EXPECT_TRUE(draw_log().find_shown_text(u"未連接手機", 0).has_value());
    PostMessage(GetForegroundWindow(), WM_COMMAND, IDOK, 0);
    device->run_until_idle();
    EXPECT_EQ(value(u"TransferAudio"), 0);
    EXPECT_EQ(GetForegroundWindow(), pad()->m_hWnd);
}

TEST_F(DialPadTest, TheStoredVolumeSurvivesACallMadeFromThePad)
{
    start_connected();
    set_setting(u"Volume", u"CurrentVolume", 8);
    open_pad();
    type(u"10086");
    tap(u"call");
    device->advance(500);
    phones().answer(dana);
    device->advance(500);
    phones().hang_up(dana);
    device->advance(500);
    int stored = 0;
    al_GetRegSettingInt(u"Volume", u"CurrentVolume", 0, &stored);
    EXPECT_EQ(stored, 8);
}

TEST_F(DialPadTest, LeavingThePadDuringACallBringsBackTheCallScreenAndTellsThePanel)
{
    struct Case {
        const char* what;
        std::function<void(DialPadTest&)> leave;
    };
    const Case cases[] = {
        { "exit", [](DialPadTest& t) { t.tap(u"exit"); } },
        { "the close request", [](DialPadTest& t) { t.request_dial_pad(0); } },
        { "WM_PHONE_CLOSE", [](DialPadTest& t) {
             SendMessage(t.pad()->m_hWnd, WM_PHONE_CLOSE, 0, 0);
             t.device->run_until_idle();
         } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        start_connected();
        active_call_answered_here();
        CCallOutDlg* screen = call_screen();
        // The call-out screen's small-window button hides it and opens the pad over it.
        tap(call_out_mini);
        ASSERT_NE(pad(), nullptr);
        EXPECT_FALSE(IsWindowVisible(screen->m_hWnd));
        EXPECT_EQ(GetForegroundWindow(), pad()->m_hWnd);
        EXPECT_EQ(display(), u"10086");
        // The panel learns of the call again from the pad.
        app(*process).SetCallBusy(false);
        c.leave(*this);
        EXPECT_EQ(pad(), nullptr);
        ASSERT_EQ(call_screen(), screen);
        EXPECT_TRUE(IsWindowVisible(screen->m_hWnd));
        EXPECT_TRUE(app(*process).IsCallBusy());
        // The pad did not close on its own a second time, and nothing was dialled.
        EXPECT_TRUE(device->component<kivo::ZolRecord>().calls_of("ZOL_Dial").empty());
    }
}

TEST_F(DialPadTest, TheRequestOpensOrRaisesThePadAndGivesBackTheScreenBeforeIt)
{
    start_connected();
    HWND client = start_link_client(*device, u"OuterScreen");
    CWnd outer;
    outer.m_hWnd = client;
    PanelScreensProbe::open_screen(panel(*process)) = &outer;

    CDailPadDlg& first = open_pad();
    EXPECT_EQ(PanelScreensProbe::open_screen(panel(*process)), &first);
    EXPECT_FALSE(IsWindowEnabled(panel_window()));
    // A second request raises the pad that is open.
    ShowWindow(first.m_hWnd, SW_HIDE);
    request_dial_pad(1);
    EXPECT_EQ(pad(), &first);
    EXPECT_TRUE(IsWindowVisible(first.m_hWnd));

    // Without a call the close request ends the pad alone.
    request_dial_pad(0);
    EXPECT_EQ(pad(), nullptr);
    EXPECT_EQ(call_screen(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(panel_window()));
    EXPECT_EQ(PanelScreensProbe::open_screen(panel(*process)), &outer);
    PanelScreensProbe::open_screen(panel(*process)) = nullptr;
    outer.m_hWnd = nullptr;
}
