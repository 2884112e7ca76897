// The mini call window: where its skin puts it, its four buttons against the manager's answers,
// the pointer leaving it with a button held, the link's request to show or hide it, and every way
// it goes: each frees it once and clears the application's reference.

#include "DialdeckTest.h"

#include "CDailPadDlg.h"
#include "CminCallWnd.h"
#include "LinkProtocol.h"
#include "PhoneMessages.h"
#include "ZolManagerAPI.h"

using namespace dialdeck::test;

namespace {

// Where the call screens put the buttons the tests tap.
constexpr POINT answer_button { 130, 226 };
constexpr POINT call_screen_close { 456, 20 };

// The strip of "minDialpad.ini", centred on the screen, and the middles of its buttons.
constexpr RECT centred_strip { 193, 121, 287, 151 };
constexpr POINT hang_up { 205, 136 };
constexpr POINT mute { 228, 136 };
constexpr POINT transfer_audio { 252, 136 };
constexpr POINT dial_pad { 275, 136 };
constexpr POINT below_strip { 228, 200 };
// A spot of the "Mute" button's face clear of its sign.
constexpr POINT mute_face { 220, 132 };

// Work handed to the panel's thread: a timer message with a procedure runs it there.
std::function<void()> g_ui_work;
void CALLBACK run_ui_work(HWND, UINT, UINT_PTR, DWORD)
{
    g_ui_work();
}

class MiniCallTest : public DialdeckTest {
public:
    std::shared_ptr<kivo::Process> process;

    // A strip left open goes as a program's close takes it, before the device is taken down: its
    // object is the window's own and is freed only with its window.
    ~MiniCallTest() override { close_strip(); }
    void start_over()
    {
        close_strip();
        DialdeckTest::start_over();
    }
    void close_strip()
    {
        if (HWND window = strip_window()) {
            PostMessage(window, WM_PHONE_CLOSE, 0, 0);
            device->run_until_idle();
        }
    }

    // Connected, with a call up answered here or on the phone and its call screen left: the state
    // in which the call detail screen opens the strip.
    void start_with_call(bool answered_here = true)
    {
        process = start(u"-type:2");
        settle();
        ASSERT_TRUE(panel(*process).IsConnected());
        ASSERT_EQ(phones().ring(dana, u"0955123456", u"Mum"), kivo::PhoneError::None);
        device->advance(500);
        if (answered_here)
            tap(answer_button);
        else
            phones().answer(dana);
        device->advance(500);
        ASSERT_EQ(app(*process).GetCallState(), 2);
        tap(call_screen_close);
        ASSERT_EQ(app(*process).WindowOf(WindowRef::CallScreen), nullptr);
    }

    // Opens the strip as the call detail screen does, on the panel's thread.
    void open_strip(const char16_t* skin = u"minDialpad.ini")
    {
        g_ui_work = [this, skin] { OpenMiniCallWindow(skin, &panel(*process)); };
        PostMessage(panel_window(), WM_TIMER, 0, reinterpret_cast<LPARAM>(&run_ui_work));
        device->run_until_idle();
    }

    // A call up and the strip opened over it.
    void open_strip_during_call()
    {
        ASSERT_NO_FATAL_FAILURE(start_with_call());
        open_strip();
        ASSERT_NE(strip(), nullptr);
    }

    HWND strip_window() { return FindWindow(nullptr, u"QIM_MINCALLWND"); }
    CminCallWnd* strip()
    {
        return app(*process).WindowOf(WindowRef::MiniCallWindow)
            ? static_cast<CminCallWnd*>(app(*process).GetWindowRef(WindowRef::MiniCallWindow))
            : nullptr;
    }
    CLayoutBtn& button(const char16_t* name)
    {
        CLayoutBtn* found = strip()->FindButton(name);
        EXPECT_NE(found, nullptr);
        return *found;
    }

    void tap(POINT at)
    {
        device->component<kivo::TouchInput>().tap(at.x, at.y);
        device->run_until_idle();
    }

    LRESULT request(LinkMessage message, WPARAM wparam)
    {
        UINT id = RegisterWindowMessage(std::u16string(LinkMessageName(message)).c_str());
        LRESULT result = SendMessage(panel_window(), id, wparam, 0);
        device->run_until_idle();
        return result;
    }

    // The manager calls of the phone link from the `from`th on, and how many of one entry.
    std::vector<std::string> calls_since(size_t from)
    {
        auto calls = manager_calls(*process);
        return { calls.begin() + static_cast<std::ptrdiff_t>(std::min(from, calls.size())), calls.end() };
    }
    static bool has(const std::vector<std::string>& calls, const std::string& call)
    {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    static long count_of(const std::vector<std::string>& calls, const std::string& entry)
    {
        return std::count_if(calls.begin(), calls.end(), [&](auto& call) { return call.rfind(entry + "(", 0) == 0; });
    }

    // Whether the screen shows a button's face there in the pressed orange.
    static bool shows_pressed(POINT at)
    {
        HDC screen = GetDC(nullptr);
        COLORREF colour = GetPixel(screen, at.x, at.y);
        ReleaseDC(nullptr, screen);
        return GetRValue(colour) > 200 && GetGValue(colour) > 140 && GetGValue(colour) < 210 && GetBValue(colour) < 80;
    }

    // A skin file of the test's own in the skin's "Mainskin" folder.
    static void write_skin(const char16_t* name, const std::string& text)
    {
        std::u16string path = std::u16string(kivo::phone_skin_folder) + u"Mainskin\\" + name;
        HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr));
        CloseHandle(file);
    }
};

bool same_rect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST_F(MiniCallTest, TheStripOpensWhereItsSkinPutsItOverTheCall)
{
    struct Case {
        const char* what;
        const char16_t* skin;
        RECT place;
        std::optional<POINT> cursor;
        bool buttons;
    };
    const Case cases[] = {
        { "the call detail screen's skin, centred", u"minDialpad.ini", centred_strip, std::nullopt, true },
        { "a skin with its own place and cursor point", u"minPlaced.ini", { 10, 200, 130, 240 }, POINT { 40, 220 }, false },
        { "the other openers' skin, at the top right", u"mincall.ini", { 386, 0, 480, 30 }, std::nullopt, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        set_setting(u"Volume", u"CurrentVolume", 9);
        start_with_call();
        write_skin(u"minPlaced.ini", "[panel]\r\nrect=0,0,94,30\r\nscreentrect=10,200,130,240\r\nCursorpoint=40,220\r\n");
        SetCursorPos(1, 1);
        size_t before = manager_calls(*process).size();
        open_strip(c.skin);

        HWND window = strip_window();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(strip(), nullptr);
        EXPECT_EQ(strip()->m_hWnd, window);
        EXPECT_EQ(strip()->Owner(), &panel(*process));
        RECT placed {};
        GetWindowRect(window, &placed);
        EXPECT_TRUE(same_rect(placed, c.place)) << placed.left << "," << placed.top << "," << placed.right << "," << placed.bottom;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLong(window, GWL_STYLE)) & ~WS_VISIBLE, WS_POPUP | 0x100u);
        EXPECT_TRUE(GetWindowLong(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(GetForegroundWindow(), window);
        POINT cursor {};
        GetCursorPos(&cursor);
        POINT expected_cursor = c.cursor.value_or(POINT { 1, 1 });
        EXPECT_EQ(cursor.x, expected_cursor.x);
        EXPECT_EQ(cursor.y, expected_cursor.y);
        // The speaker gets the stored volume; the active call, seen with the audio here, turns
        // the microphone on and enables the two toggles.
        auto calls = calls_since(before);
        EXPECT_TRUE(has(calls, "ZOL_SetDeviceVol(1, 9)"));
        EXPECT_EQ(has(calls, "ZOL_SetDeviceVol(0, 1)"), c.buttons);
        if (c.buttons) {
            for (auto name : { u"Mute", u"TransferAudio" }) {
                EXPECT_FALSE(button(name).m_bDisabled);
                EXPECT_EQ(button(name).m_nValue, 1);
            }
        }
        if (c.skin == std::u16string(u"minDialpad.ini"))
            shot("dialdeck-mini-call");
    }
}

TEST_F(MiniCallTest, WithTheAudioOnThePhoneTheTogglesWaitForIt)
{
    start_with_call(false);
    size_t before = manager_calls(*process).size();
    open_strip();
    ASSERT_NE(strip(), nullptr);
    for (auto name : { u"Mute", u"TransferAudio" }) {
        EXPECT_TRUE(button(name).m_bDisabled);
        EXPECT_EQ(button(name).m_nValue, 1);
    }
    EXPECT_FALSE(has(calls_since(before), "ZOL_SetDeviceVol(0, 1)"));
    // A disabled toggle clicks nothing.
    tap(mute);
    EXPECT_EQ(count_of(calls_since(before), "ZOL_SetDeviceVol"), 1); // the speaker's volume alone

    // The call seen again with the audio brought here enables them.
    phones().set_microphone_on(false);
    ASSERT_EQ(phones().transfer_audio(true), kivo::PhoneError::None);
    PostMessage(strip_window(), WM_PHONE_CALLUPDATE, 2, 0);
    device->run_until_idle();
    for (auto name : { u"Mute", u"TransferAudio" })
        EXPECT_FALSE(button(name).m_bDisabled);
    EXPECT_TRUE(phones().microphone_on());
}

TEST_F(MiniCallTest, TheTogglesFollowTheManagersAnswers)
{
    struct Case {
        const char* what;
        POINT at;
        const char16_t* name;
        const char* refused_entry; // made to fail once, or null
        int refusal;
        const char* first_call;
        int value_after;
        const char16_t* shown; // the message dialog's text, or null
    };
    const Case cases[] = {
        { "muted", mute, u"Mute", nullptr, 0, "ZOL_SetDeviceVol(0, 0)", 0, nullptr },
        { "a refused mute", mute, u"Mute", "ZOL_SetDeviceVol", 0, "ZOL_SetDeviceVol(0, 0)", 1, nullptr },
        { "the audio moved to the phone", transfer_audio, u"TransferAudio", nullptr, 0, "ZOL_TransferAudio(0)", 0, nullptr },
        { "a failed move", transfer_audio, u"TransferAudio", "ZOL_TransferAudio", 2011, "ZOL_TransferAudio(0)", 1, u"沒有通話" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        ASSERT_NO_FATAL_FAILURE(open_strip_during_call());
        if (c.refused_entry)
            device->component<kivo::ZolRecord>().fail(c.refused_entry, c.refusal, 1);
        draw_log().clear();
        size_t before = manager_calls(*process).size();
        tap(c.at);
        auto calls = calls_since(before);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), c.first_call);
        EXPECT_EQ(button(c.name).m_nValue, c.value_after);
        EXPECT_EQ(phones().microphone_on(), !(c.name == std::u16string(u"Mute") && c.value_after == 0));
        EXPECT_EQ(phones().world().at(dana).call.audio_on_device, !(c.name == std::u16string(u"TransferAudio") && c.value_after == 0));
        if (c.shown) {
            EXPECT_TRUE(draw_log().find_shown_text(c.shown, 0).has_value());
            // The call ends while the text is up: the strip goes under it, and closing the text
            // touches nothing of it.
            HWND text_box = GetForegroundWindow();
            phones().hang_up(dana);
            device->advance(500);
            EXPECT_EQ(strip_window(), nullptr);
            EXPECT_EQ(app(*process).GetWindowRef(WindowRef::MiniCallWindow), nullptr);
            EXPECT_TRUE(IsWindowVisible(text_box));
            PostMessage(text_box, WM_COMMAND, IDOK, 0);
            device->run_until_idle();
            EXPECT_FALSE(process->ended());
            continue;
        }
        // Done, the second click goes back.
        if (c.value_after == 0) {
            tap(c.at);
            EXPECT_EQ(button(c.name).m_nValue, 1);
            EXPECT_TRUE(phones().microphone_on());
            EXPECT_TRUE(phones().world().at(dana).call.audio_on_device);
        }
    }
}

TEST_F(MiniCallTest, EveryWayOutFreesTheStripOnceAndClearsItsReference)
{
    struct Case {
        const char* what;
        std::function<void(MiniCallTest&)> leave;
        int hang_ups;
        bool call_goes_on;
        bool program_ends;
    };
    const Case cases[] = {
        { "hang-up", [](MiniCallTest& t) { t.tap(hang_up); }, 1, false, false },
        { "the dial pad", [](MiniCallTest& t) { t.tap(dial_pad); }, 0, true, false },
        { "the call ended on the phone", [](MiniCallTest& t) { t.phones().hang_up(dana); }, 0, false, false },
        { "the panel closed",
            [](MiniCallTest& t) {
                PostMessage(t.panel_window(), WM_CLOSE, 0, 0);
                t.device->run_until_idle();
            },
            1, false, true },
        { "Bluetooth switched off", [](MiniCallTest& t) { EXPECT_EQ(t.request(LinkMessage::BTPower, 0), 1); }, 1, false, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        ASSERT_NO_FATAL_FAILURE(open_strip_during_call());
        // The microphone was left off: leaving turns it back on (the audio being here).
        phones().set_microphone_on(false);
        size_t before = manager_calls(*process).size();

        c.leave(*this);
        device->advance(2000);
        EXPECT_EQ(strip_window(), nullptr);
        EXPECT_EQ(process->ended(), c.program_ends);
        if (!c.program_ends) {
            EXPECT_EQ(app(*process).GetWindowRef(WindowRef::MiniCallWindow), nullptr);
        }
        auto calls = manager_calls(*process);
        calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(before));
        EXPECT_EQ(count_of(calls, "ZOL_HangupCall"), c.hang_ups);
        EXPECT_EQ(phones().world().at(dana).call.state != kivo::CallState::Idle, c.call_goes_on);
        // Back on after a hang-up, and switched on by the dial pad that takes the call over.
        EXPECT_TRUE(phones().microphone_on());
        if (c.call_goes_on) {
            // The pad shows the call's number and sends its keys as tones.
            ASSERT_NE(app(*process).WindowOf(WindowRef::DialPad), nullptr);
            auto* pad = static_cast<CDailPadDlg*>(app(*process).GetWindowRef(WindowRef::DialPad));
            EXPECT_EQ(std::u16string(static_cast<LPCWSTR>(pad->Display())), u"0955123456");
            CLayoutBtn* five = pad->FindButton(u"5");
            ASSERT_NE(five, nullptr);
            EXPECT_FALSE(five->m_bDisabled);
            // It closes itself when the call ends.
            phones().hang_up(dana);
            device->advance(1000);
            EXPECT_EQ(app(*process).WindowOf(WindowRef::DialPad), nullptr);
        }
    }
}

TEST_F(MiniCallTest, TheCallEndingWhileAButtonIsHeldClosesTheStripWithoutAClick)
{
    ASSERT_NO_FATAL_FAILURE(open_strip_during_call());
    size_t before = manager_calls(*process).size();
    auto& touch = device->component<kivo::TouchInput>();
    touch.press(mute.x, mute.y);
    device->run_until_idle();
    ASSERT_TRUE(shows_pressed(mute_face));

    phones().hang_up(dana);
    device->advance(500);
    EXPECT_EQ(strip_window(), nullptr);
    EXPECT_EQ(app(*process).GetWindowRef(WindowRef::MiniCallWindow), nullptr);
    touch.release(mute.x, mute.y);
    device->run_until_idle();
    EXPECT_FALSE(has(calls_since(before), "ZOL_SetDeviceVol(0, 0)"));
    EXPECT_TRUE(phones().microphone_on());
    EXPECT_FALSE(process->ended());
}

TEST_F(MiniCallTest, LeavingTheStripWithAButtonHeldLetsTheButtonGo)
{
    ASSERT_NO_FATAL_FAILURE(open_strip_during_call());
    size_t before = manager_calls(*process).size();
    auto& touch = device->component<kivo::TouchInput>();
    touch.press(mute.x, mute.y);
    touch.move(mute.x + 1, mute.y);
    device->run_until_idle();
    EXPECT_TRUE(shows_pressed(mute_face));
    EXPECT_EQ(GetCapture(), strip_window());

    touch.move(below_strip.x, below_strip.y);
    device->run_until_idle();
    EXPECT_FALSE(shows_pressed(mute_face));
    EXPECT_NE(GetCapture(), strip_window());
    // Coming back and lifting over the button clicks nothing.
    touch.move(mute.x, mute.y);
    touch.release(mute.x, mute.y);
    device->run_until_idle();
    EXPECT_EQ(button(u"Mute").m_nValue, 1);
    EXPECT_FALSE(has(calls_since(before), "ZOL_SetDeviceVol(0, 0)"));
    // A plain tap still does.
    tap(mute);
    EXPECT_EQ(button(u"Mute").m_nValue, 0);
}

TEST_F(MiniCallTest, TheLinkShowsAndHidesTheStrip)
{
    start_with_call();
    // Without a strip the request changes nothing.
    EXPECT_EQ(request(LinkMessage::ShowHideFloatingWnd, 1), 1);
    EXPECT_EQ(strip_window(), nullptr);

    open_strip();
    HWND window = strip_window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(request(LinkMessage::ShowHideFloatingWnd, 0), 1);
    EXPECT_FALSE(IsWindowVisible(window));
    SetForegroundWindow(panel_window());
    EXPECT_EQ(request(LinkMessage::ShowHideFloatingWnd, 1), 1);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    // The strip ignores the screens' show request and the language change.
    EXPECT_EQ(SendMessage(window, WM_PHONE_SHOWHIDE, SW_HIDE, 0), 1);
    EXPECT_EQ(SendMessage(window, WM_PHONE_LANGCHANGED, 0, 0), 1);
    EXPECT_TRUE(IsWindowVisible(window));
}
