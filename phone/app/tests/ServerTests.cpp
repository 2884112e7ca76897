// The message server: the registered requests with their answers and the notifications the
// subscribed windows get, the subscriber list, Bluetooth off and on in the manager's record and on
// the device clock, the watchdog's notices, the phone's functions, the language and dialling.

#include "DialdeckTest.h"
#include "LinkClient.h"

#include "LinkProtocol.h"

using namespace dialdeck::test;

namespace {

class ServerTest : public DialdeckTest {
public:
    ServerTest() { g_notes.clear(); }

    // A new device, whose client program is registered when the first client starts.
    void start_over(const std::function<void()>& before_install = {})
    {
        DialdeckTest::start_over(before_install);
        g_notes.clear();
    }

    HWND start_client(const char16_t* title) { return start_link_client(*device, title); }

    // Starts the phone link shown, lets it connect and subscribes a client window by its title.
    std::shared_ptr<kivo::Process> start_subscribed(const char16_t* title = u"VoxlaneMsgWnd")
    {
        auto process = start(u"-type:2");
        settle();
        start_client(title);
        copy_data(COPYDATA_REGISTERWND, subscriber(title));
        return process;
    }

    LRESULT request(LinkMessage message, WPARAM wparam = 0)
    {
        UINT id = RegisterWindowMessage(std::u16string(LinkMessageName(message)).c_str());
        LRESULT result = SendMessage(panel_window(), id, wparam, 0);
        device->run_until_idle();
        return result;
    }

    template<typename Record>
    void copy_data(ULONG_PTR code, Record record, DWORD size = sizeof(Record))
    {
        COPYDATASTRUCT block { code, size, &record };
        SendMessage(panel_window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block));
        device->run_until_idle();
    }

    void dial_out(std::u16string_view number)
    {
        _tagZOL_DIALOUT record {};
        number.copy(record.number, number.size());
        copy_data(COPYDATA_DIALOUT, record);
    }

    // The notifications since the last call, then forgotten. The call status that follows the
    // connection and the call on its own is left out unless asked for.
    std::vector<Note> notes(bool with_call_status = false)
    {
        auto taken = std::move(g_notes);
        g_notes.clear();
        if (!with_call_status)
            std::erase_if(taken, [](const Note& note) { return note.name == "WM_ZOLBT_OUTMSG_CALLSTATUS"; });
        return taken;
    }

    // The manager's calls of the process from `from` on: as many as `expected` has.
    std::vector<std::string> calls_from(kivo::Process& process, size_t from, const std::vector<std::string>& expected)
    {
        auto calls = manager_calls(process);
        calls.erase(calls.begin(), calls.begin() + static_cast<long>(std::min(from, calls.size())));
        calls.resize(std::min(calls.size(), expected.size()));
        return calls;
    }

    std::vector<kivo::ZolCall> calls_of(const char* entry) { return device->component<kivo::ZolRecord>().calls_of(entry); }

    static int setting(const char16_t* section, const char16_t* key)
    {
        HKEY hkey = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, (u"Software\\ZOLSOFT\\Skinkit\\" + std::u16string(section)).c_str(), 0,
                KEY_READ, &hkey) != ERROR_SUCCESS)
            return -1;
        DWORD value = 0;
        DWORD size = sizeof(value);
        LONG read = RegQueryValueEx(hkey, key, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(hkey);
        return read == ERROR_SUCCESS ? static_cast<int>(value) : -1;
    }

    // The settings file without its dial-up port, before the program reads it.
    void clear_dial_up_port()
    {
        HANDLE file = CreateFile(settings_path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        std::string text(4096, '\0');
        DWORD read = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
        CloseHandle(file);
        text.resize(read);
        auto at = text.find("DUNCOM=COM5:");
        ASSERT_NE(at, std::string::npos);
        text.replace(at, 12, "DUNCOM=");
        write_settings(text);
    }
};

const std::string client = "VoxlaneMsgWnd";

// Windows of different threads read their queues in any order; each window's own order is kept.
std::vector<Note> sorted(std::vector<Note> notes)
{
    std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) { return a.window < b.window; });
    return notes;
}

} // namespace

TEST_F(ServerTest, RequestsAnswerAndNotifyTheSubscribers)
{
    using L = LinkMessage;
    struct Case {
        const char* what;
        std::function<void(ServerTest&, kivo::Process&)> before;
        LinkMessage request;
        WPARAM wparam;
        LRESULT result;
        std::vector<Note> notes;
    };
    auto none = [](ServerTest&, kivo::Process&) {};
    auto out_of_range = [](ServerTest& t, kivo::Process&) {
        t.phones().set_in_range(dana, false);
        t.settle();
    };
    const Case cases[] = {
        { "Bluetooth asked", none, L::GetBTPower, 0, 1, { { client, "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 } } },
        { "the call status, idle", none, L::GetCallStatus, 0, 1, { { client, "WM_ZOLBT_OUTMSG_CALLSTATUS", 1 } } },
        { "the call status while the phone rings",
            [](ServerTest& t, kivo::Process&) {
                t.phones().ring(dana, u"13800138000");
                t.settle();
            },
            L::GetCallStatus, 0, 1, { { client, "WM_ZOLBT_OUTMSG_CALLSTATUS", 2 } } },
        { "the call status during a call placed on the phone",
            [](ServerTest& t, kivo::Process&) {
                t.phones().dial(dana, u"10086");
                t.settle();
            },
            L::GetCallStatus, 0, 1, { { client, "WM_ZOLBT_OUTMSG_CALLSTATUS", 3 } } },
        { "the call status without a phone", out_of_range, L::GetCallStatus, 0, 1,
            { { client, "WM_ZOLBT_OUTMSG_CALLSTATUS", 0 } } },
        { "the call status with Bluetooth off",
            [](ServerTest& t, kivo::Process&) { t.request(L::BTPower, 0); t.notes(); },
            L::GetCallStatus, 0, 1, { { client, "WM_ZOLBT_OUTMSG_CALLSTATUS", 0 } } },
        { "hanging up without a phone", out_of_range, L::HangUp, 0, 0, { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2002 } } },
        { "hanging up a call",
            [](ServerTest& t, kivo::Process&) {
                t.phones().dial(dana, u"10086");
                t.settle();
            },
            L::HangUp, 0, 1, {} },
        // A hang-up the manager refuses is not answered as done.
        { "a hang-up that fails",
            [](ServerTest& t, kivo::Process&) { t.device->component<kivo::ZolRecord>().fail("ZOL_HangupCall", 2011); },
            L::HangUp, 0, 0, { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2011 } } },
        { "no missed calls", none, L::GetMissCall, 0, 0, { { client, "WM_ZOLBT_OUTMSG_MISSCALL", 0 } } },
        { "missed calls", [](ServerTest& t, kivo::Process& p) { t.app(p).m_missedCalls = 2; }, L::GetMissCall, 0, 1,
            { { client, "WM_ZOLBT_OUTMSG_MISSCALL", 1 } } },
        { "Bluetooth on while on", none, L::BTPower, 1, 1, {} },
        { "Bluetooth off while off",
            [](ServerTest& t, kivo::Process&) { t.request(L::BTPower, 0); t.notes(); },
            L::BTPower, 0, 1, {} },
        { "Bluetooth off refused by the manager",
            [](ServerTest& t, kivo::Process&) { t.device->component<kivo::ZolRecord>().fail("ZOL_DisconnectMobile", 2010); },
            L::BTPower, 0, 0, { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2010 } } },
        { "the dial-up link", none, L::GprsConnection, 1, 1, {} },
        { "the dial-up link without a phone", out_of_range, L::GprsConnection, 1, 0,
            { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2002 } } },
        { "the dial-up link of a phone without it",
            [](ServerTest& t, kivo::Process&) {
                t.phones().set_lacks(dana, kivo::PhoneFunction::DialUp);
            },
            L::GprsConnection, 1, 0, { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2009 } } },
        { "closing a dial-up link that is not up", none, L::GprsConnection, 0, 0,
            { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2018 } } },
        // Another program posting a notification gets nothing done.
        { "a notification sent in", none, L::CallStatus, 1, 0, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        auto process = start_subscribed();
        c.before(*this, *process);
        notes();
        EXPECT_EQ(request(c.request, c.wparam), c.result);
        EXPECT_EQ(notes(c.request == L::GetCallStatus), c.notes);
    }
}

TEST_F(ServerTest, SubscribersAreKeptInOrderAndFoundByTitleClassOrBoth)
{
    auto process = start(u"-type:2");
    settle();
    start_client(u"first");
    start_client(u"second");
    auto& panel_ = panel(*process);

    // Twice the same window: two notifications; one unsubscription removes one of them.
    copy_data(COPYDATA_REGISTERWND, subscriber(u"first"));
    copy_data(COPYDATA_REGISTERWND, subscriber(u"second"));
    copy_data(COPYDATA_REGISTERWND, subscriber(u"first"));
    request(LinkMessage::GetMissCall);
    EXPECT_EQ(sorted(notes()), (std::vector<Note> { { "first", "WM_ZOLBT_OUTMSG_MISSCALL", 0 },
                                   { "first", "WM_ZOLBT_OUTMSG_MISSCALL", 0 }, { "second", "WM_ZOLBT_OUTMSG_MISSCALL", 0 } }));
    copy_data(COPYDATA_UNREGISTERWND, subscriber(u"first"));
    // Unsubscribing compares exactly: another case or a class removes nothing.
    copy_data(COPYDATA_UNREGISTERWND, subscriber(u"SECOND"));
    copy_data(COPYDATA_UNREGISTERWND, subscriber(u"second", client_class));
    request(LinkMessage::GetMissCall);
    EXPECT_EQ(sorted(notes()), (std::vector<Note> { { "first", "WM_ZOLBT_OUTMSG_MISSCALL", 0 },
                                   { "second", "WM_ZOLBT_OUTMSG_MISSCALL", 0 } }));
    EXPECT_EQ(panel_.Subscribers().Entries().size(), 2u);

    // A record without title and class is refused: it would find any untitled window.
    copy_data(COPYDATA_REGISTERWND, subscriber(u""));
    EXPECT_EQ(panel_.Subscribers().Entries().size(), 2u);

    start_over();
    process = start(u"-type:2");
    settle();
    HWND first = start_client(u"first");
    start_client(u"second");
    // By class alone the first window of the class; by class and title that one; a class that
    // no window has finds nothing.
    copy_data(COPYDATA_REGISTERWND, subscriber(u"", client_class));
    copy_data(COPYDATA_REGISTERWND, subscriber(u"second", client_class));
    copy_data(COPYDATA_REGISTERWND, subscriber(u"second", u"OtherClass"));
    request(LinkMessage::GetBTPower);
    std::string by_class = FindWindow(client_class, nullptr) == first ? "first" : "second";
    EXPECT_EQ(sorted(notes()), sorted({ { by_class, "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 },
                                   { "second", "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 } }));

    // A window that is gone stays subscribed: a new window of its title is found again.
    PostMessage(FindWindow(nullptr, u"second"), WM_CLOSE, 0, 0);
    device->run_until_idle();
    request(LinkMessage::GetBTPower);
    EXPECT_EQ(notes(), (std::vector<Note> { { "first", "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 } }));
    EXPECT_EQ(panel(*process).Subscribers().Entries().size(), 3u);
    start_client(u"second");
    request(LinkMessage::GetBTPower);
    by_class = FindWindow(client_class, nullptr) == first ? "first" : "second";
    EXPECT_EQ(sorted(notes()), sorted({ { by_class, "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 },
                                   { "second", "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 } }));
}

TEST_F(ServerTest, ShortOrUnterminatedBlocksAreTakenIntoAZeroedRecord)
{
    auto process = start(u"-type:2");
    settle();
    start_client(client_class);
    // Only the title's characters, without a NUL or a class: the record is filled with zeros.
    std::u16string title = u"DialdeckClient";
    copy_data(COPYDATA_REGISTERWND, subscriber(title), static_cast<DWORD>(title.size() * sizeof(WCHAR)));
    ASSERT_EQ(panel(*process).Subscribers().Entries().size(), 1u);
    EXPECT_EQ(std::u16string(panel(*process).Subscribers().Entries()[0].title), title);
    request(LinkMessage::GetMissCall);
    EXPECT_EQ(notes().size(), 1u);

    // A title and a number that fill their fields end one character short.
    _tagZOL_MSGOUT_WND full {};
    std::fill(std::begin(full.title), std::end(full.title), u'T');
    std::fill(std::begin(full.className), std::end(full.className), u'C');
    copy_data(COPYDATA_REGISTERWND, full);
    ASSERT_EQ(panel(*process).Subscribers().Entries().size(), 2u);
    EXPECT_EQ(std::u16string(panel(*process).Subscribers().Entries()[1].title), std::u16string(99, u'T'));
    EXPECT_EQ(std::u16string(panel(*process).Subscribers().Entries()[1].className), std::u16string(99, u'C'));
    _tagZOL_DIALOUT number {};
    std::fill(std::begin(number.number), std::end(number.number), u'5');
    copy_data(COPYDATA_DIALOUT, number);
    auto dials = calls_of("ZOL_Dial");
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0].arguments, std::string(259, '5'));

    // No data, or a code of nobody's: nothing.
    copy_data(COPYDATA_REGISTERWND, subscriber(u"first"), 0);
    copy_data(11027, subscriber(u"first"));
    EXPECT_EQ(panel(*process).Subscribers().Entries().size(), 2u);
}

TEST_F(ServerTest, BluetoothOffAndOnFollowTheManagersSequenceOnTheDeviceClock)
{
    auto process = start_subscribed();
    ASSERT_EQ(phones().connected_phone(), dana);
    auto before = manager_calls(*process).size();

    EXPECT_EQ(request(LinkMessage::BTPower, 0), 1);
    std::vector<std::string> expected { "ZOL_GetBTPower()", "ZOL_DisconnectMobile()", "ZOL_SetBTPower(0)" };
    EXPECT_EQ(calls_from(*process, before, expected), expected);
    // The radio goes off a second after the link, on the device's clock.
    auto disconnect = calls_of("ZOL_DisconnectMobile").back();
    auto power = calls_of("ZOL_SetBTPower").back();
    EXPECT_EQ(power.started_ms - disconnect.ended_ms, 1000u);
    EXPECT_FALSE(phones().radio_power());
    EXPECT_EQ(setting(u"BT", u"bON"), 0);
    EXPECT_FALSE(panel(*process).IsConnected());
    EXPECT_FALSE(app(*process).m_connectWanted);
    for (auto button : { u"PhoneManager", u"Pairlist", u"Connect", u"Phonebook" })
        EXPECT_FALSE(enabled(*process, button)) << kivo::to_utf8(button);
    EXPECT_EQ(panel(*process).FindButton(u"BT")->m_nValue, 0);
    EXPECT_EQ(notes(), (std::vector<Note> { { client, "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 0 } }));

    // Switching on answers 0, as the clients expect, and tells them with the status.
    before = manager_calls(*process).size();
    EXPECT_EQ(request(LinkMessage::BTPower, 1), 0);
    expected = { "ZOL_GetBTPower()", "ZOL_SetBTPower(1)", "ZOL_SetConnectStatusCallBack(callback)", "ZOL_ConnectMobile()",
        "ZOL_SetIncomingframeCallBack(callback, callback)" };
    EXPECT_EQ(calls_from(*process, before, expected), expected);
    EXPECT_EQ(notes(), (std::vector<Note> { { client, "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 } }));
    settle();
    EXPECT_EQ(phones().connected_phone(), dana);
    EXPECT_TRUE(panel(*process).IsConnected());
    EXPECT_EQ(setting(u"BT", u"bON"), 1);
    EXPECT_TRUE(app(*process).m_connectWanted);
    for (auto button : { u"PhoneManager", u"Pairlist", u"Connect", u"SMS" })
        EXPECT_TRUE(enabled(*process, button)) << kivo::to_utf8(button);

    // Started with Bluetooth off, the first switch-on initialises the device and the hands-free
    // link first; without "bConnect" it connects nothing.
    start_over([] {
        set_setting(u"BT", u"bON", 0);
        set_setting(u"Phone", u"bConnect", 0);
    });
    process = start_subscribed();
    before = manager_calls(*process).size();
    EXPECT_EQ(request(LinkMessage::BTPower, 1), 0);
    expected = { "ZOL_GetBTPower()", "ZOL_DeviceInitial()", "ZOL_HFAudioConnect(1)", "ZOL_SetBTPower(1)" };
    EXPECT_EQ(calls_from(*process, before, expected), expected);
    EXPECT_EQ(calls_of("ZOL_ConnectMobile").size(), 0u);
    EXPECT_TRUE(enabled(*process, u"Connect"));
    EXPECT_EQ(panel(*process).FindButton(u"Connect")->m_nValue, 0);
}

TEST_F(ServerTest, TheSuspendNoticeDropsThePhoneAndTheResumePowersOnAgain)
{
    auto process = start_subscribed();
    phones().ring(dana, u"13800138000");
    settle();
    ASSERT_NE(panel(*process).IncomingScreen(), nullptr);
    auto before = manager_calls(*process).size();
    EXPECT_EQ(request(LinkMessage::DogResume, 0), 1);
    EXPECT_EQ(panel(*process).IncomingScreen(), nullptr) << "the ring's screen is closed";
    std::vector<std::string> expected { "ZOL_DisconnectMobile()", "ZOL_SetBTPower(0)" };
    EXPECT_EQ(calls_from(*process, before, expected), expected);
    EXPECT_FALSE(phones().radio_power());
    // The setting stays, so that the resume switches Bluetooth on again; the call is idle.
    EXPECT_EQ(setting(u"BT", u"bON"), 1);
    EXPECT_EQ(app(*process).GetCallState(), 0);
    EXPECT_FALSE(panel(*process).IsConnected());
    EXPECT_FALSE(enabled(*process, u"PhoneManager"));

    EXPECT_EQ(request(LinkMessage::DogResume, 1), 1);
    device->advance(6000);
    auto powers = calls_of("ZOL_SetBTPower");
    ASSERT_GE(powers.size(), 3u);
    auto off = powers[powers.size() - 2];
    auto on = powers.back();
    EXPECT_EQ(off.arguments, "0");
    EXPECT_EQ(on.arguments, "1");
    // Half a second after the radio answered, then two seconds more.
    EXPECT_EQ(on.started_ms - off.ended_ms, 2500u);
    EXPECT_TRUE(phones().radio_power());
    EXPECT_EQ(phones().connected_phone(), dana);
    EXPECT_TRUE(enabled(*process, u"PhoneManager"));
    EXPECT_EQ(notes().back(), (Note { client, "WM_ZOLBT_OUTMSG_BTPOWERSTATUS", 1 }));

    // With Bluetooth switched off by the user the resume leaves it off.
    request(LinkMessage::BTPower, 0);
    request(LinkMessage::DogResume, 1);
    settle();
    EXPECT_FALSE(phones().radio_power());
}

TEST_F(ServerTest, TheFunctionsOfThePhoneAnswerAsOneTable)
{
    using kivo::PhoneFunction;
    struct Case {
        const char* what;
        std::function<void(ServerTest&)> before_start;
        std::function<void(ServerTest&)> after_start;
        std::vector<LRESULT> answers; // functions 0 to 6
    };
    auto nothing = [](ServerTest&) {};
    const Case cases[] = {
        { "a phone with everything", nothing, nothing, { 1, 1, 1, 1, 1, 1, 2 } },
        { "a phone without lists, messages, files and dial-up",
            [](ServerTest& t) {
                for (auto f : { PhoneFunction::Phonebook, PhoneFunction::CallLog, PhoneFunction::SmsList,
                         PhoneFunction::SendSms, PhoneFunction::FileTransfer, PhoneFunction::DialUp })
                    t.phones().set_lacks(dana, f);
            },
            nothing, { 2, 2, 2, 2, 2, 2, 2 } },
        // Dial-up needs the settings' port besides the phone.
        { "no dial-up port", [](ServerTest& t) { t.clear_dial_up_port(); }, nothing, { 1, 1, 1, 1, 1, 2, 2 } },
        { "no phone connected", nothing,
            [](ServerTest& t) {
                t.phones().set_in_range(dana, false);
                t.settle();
            },
            { 0, 0, 0, 0, 0, 0, 0 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_over();
        c.before_start(*this);
        start(u"-type:2");
        settle();
        c.after_start(*this);
        for (WPARAM function = 0; function < c.answers.size(); ++function)
            EXPECT_EQ(request(LinkMessage::QueryFunction, function), c.answers[function]) << function;
    }

    // Without the port the dial-up link is refused as unsupported.
    start_over();
    clear_dial_up_port();
    start_subscribed();
    EXPECT_EQ(request(LinkMessage::GprsConnection, 1), 0);
    EXPECT_EQ(notes(), (std::vector<Note> { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2009 } }));
}

TEST_F(ServerTest, DialOutDialsOnlyWithAPhone)
{
    auto process = start_subscribed();
    app(*process).SetLastDialled(u"13800138000");
    dial_out(u"10086");
    auto dials = calls_of("ZOL_Dial");
    ASSERT_EQ(dials.size(), 1u);
    EXPECT_EQ(dials[0].arguments, "10086");
    EXPECT_EQ(app(*process).GetCallNumber(), u"10086");
    EXPECT_EQ(app(*process).GetLastDialled(), u"10086");
    EXPECT_EQ(app(*process).GetCallState(), 3);
    settle();
    EXPECT_TRUE(app(*process).IsCallBusy());
    // The phone's report of the call opens the call-out screen, which does not dial again.
    EXPECT_NE(app(*process).WindowOf(WindowRef::CallScreen), nullptr);
    EXPECT_EQ(calls_of("ZOL_Dial").size(), 1u);
    EXPECT_TRUE(notes().empty()); // no error
    phones().hang_up(dana);
    settle();

    // A dial the manager refuses is reported with its code and leaves the call idle.
    device->component<kivo::ZolRecord>().fail("ZOL_Dial", 2005, 1);
    notes();
    dial_out(u"10010");
    EXPECT_EQ(notes(), (std::vector<Note> { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2005 } }));
    EXPECT_EQ(app(*process).GetCallState(), 0);

    // Without a phone nothing is dialled.
    phones().set_in_range(dana, false);
    settle();
    notes();
    dial_out(u"10010");
    EXPECT_EQ(calls_of("ZOL_Dial").size(), 2u);
    EXPECT_EQ(notes(), (std::vector<Note> { { client, "WM_ZOLBT_OUTMSG_ERRORCODE", 2002 } }));
}

TEST_F(ServerTest, ShowingAndHidingTellTheHomeScreenEachTime)
{
    start_home();
    auto process = start(u"-h");
    settle();
    HWND panel_ = panel_window();
    ASSERT_FALSE(IsWindowVisible(panel_));
    EXPECT_EQ(request(LinkMessage::ShowHidePhoneLine, 1), 1);
    EXPECT_TRUE(IsWindowVisible(panel_));
    EXPECT_EQ(GetForegroundWindow(), panel_);
    EXPECT_EQ(voxlane_value(u"Show"), "1");
    // Shown again while shown, and hidden: the home screen hears code 38 every time.
    request(LinkMessage::ShowHidePhoneLine, 1);
    EXPECT_EQ(request(LinkMessage::ShowHidePhoneLine, 0), 1);
    EXPECT_FALSE(IsWindowVisible(panel_));
    EXPECT_EQ(voxlane_value(u"Show"), "0");
    EXPECT_EQ(g_heard.home_notifies, (std::vector<std::pair<WPARAM, LPARAM>>(3, { APP_GET_KEYSOUND, 0 })));
    // A current phone is set, so no pair list opens.
    EXPECT_FALSE(debug_has("CPairListDlg not built yet"));

    // The screens not built yet are named and nothing opens.
    struct Case {
        LinkMessage request;
        const char* screen;
    };
    for (auto c : { Case { LinkMessage::ShowHideSetting, "CSettingDlg not built yet" } }) {
        EXPECT_EQ(request(c.request, 1), 1);
        EXPECT_TRUE(debug_has(c.screen)) << c.screen;
        EXPECT_EQ(request(c.request, 0), 1);
        EXPECT_FALSE(process->ended());
    }

    // Without a current phone and with a paired one, showing opens the pair list.
    start_over([] { write_settings("[mobile]\r\nIMEI=\r\n"); });
    start(u"-h");
    request(LinkMessage::ShowHidePhoneLine, 1);
    EXPECT_TRUE(debug_has("CPairListDlg not built yet"));
}

TEST_F(ServerTest, ChangingTheLanguageRelabelsThePanel)
{
    auto process = start(u"-type:2");
    settle();
    // A fresh device speaks Chinese.
    auto chinese = shot("dialdeck-panel-chinese");
    EXPECT_EQ(std::u16string(panel(*process).FindButton(u"HF")->GetCaption()).find(u"HF"), std::u16string::npos);

    draw_log().clear();
    EXPECT_EQ(request(LinkMessage::ChangeLang, 0x0409), 1);
    settle();
    EXPECT_EQ(std::u16string(panel(*process).FindButton(u"HF")->GetCaption()), u"HF on");
    EXPECT_EQ(std::u16string(panel(*process).FindButton(u"Connect")->GetCaption()), u"Connect on");
    EXPECT_EQ(std::u16string(panel(*process).FindButton(u"BT")->GetCaption()), u"BT on");
    // Every text of the panel is drawn again in the new language at once.
    for (auto text : { u"HF on", u"Connect on", u"BT on", u"Phone Link", u"Phonebook" })
        EXPECT_TRUE(draw_log().find_shown_text(text, 0).has_value()) << kivo::to_utf8(text);
    auto english = shot("dialdeck-panel-english");
    EXPECT_NE(english.rgb, chinese.rgb);

    // 0 goes back to the system's language.
    EXPECT_EQ(request(LinkMessage::ChangeLang, 0), 1);
    settle();
    EXPECT_NE(std::u16string(panel(*process).FindButton(u"HF")->GetCaption()), u"HF on");
    auto again = shot("dialdeck-panel-chinese");
    EXPECT_EQ(again.rgb, chinese.rgb);
}
