// The simulator's phones: the 'phone' commands acting on the phones' side, the expectations on
// the phones and the device's radio (the device's side played here as the Bluetooth manager
// would, since no script command links the device to a phone), the window's keys, what the
// Bluetooth strip shows, and the answer to Skinkit's question box.

#include "BluetoothStrip.h"
#include "PhoneCommands.h"
#include "ProgramImages.h"
#include "ScriptTest.h"
#include "SimulatedPhones.h"
#include "Simulator.h"
#include "Skinkit.h"
#include "WideText.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

using namespace kivo;

namespace {

constexpr PhoneAddress dana = 0x001A2B3C4D5Eull;
constexpr PhoneAddress kestrel = 0x00224466880Aull;
constexpr PhoneAddress pebble = 0x00247E112233ull;

struct PhoneCommandTest : kivo::test::ScriptTest {
    SimulatedPhones& phones() { return simulator.device().component<SimulatedPhones>(); }
    PhoneWorldState world(PhoneAddress phone) { return *phones().world_of(phone); }
};

// What the device hears from its connected phone.
struct Recorder : PhoneObserver {
    std::mutex lock;
    std::vector<CallReport> calls;
    std::vector<SmsReport> messages;
    void call_changed(const CallReport& report) override
    {
        std::lock_guard guard(lock);
        calls.push_back(report);
    }
    void sms_received(const SmsReport& report) override
    {
        std::lock_guard guard(lock);
        messages.push_back(report);
    }
};

} // namespace

TEST_F(PhoneCommandTest, BadLinesAreRefusedSayingWhatIsWrong)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    struct Case {
        const char* line;
        const char* error; // a part of the message
    } cases[] = {
        { "phone", "usage: phone add NAME ADDRESS MODEL" },
        { "phone fly", "unknown phone command 'fly'" },
        { "phone add Pebble 00247E11223", "usage: phone add NAME ADDRESS MODEL" },
        { "phone add Pebble 00247E11223 X", "not a Bluetooth address: 00247E11223 (twelve hexadecimal digits" },
        { "phone add Pebble 00:24:7E:11:22:3G X", "not a Bluetooth address" },
        { "phone add Pebble 00-24-7E-11-22-33 X", "not a Bluetooth address" },
        { "phone add \"dana's lumo\" 0A0B0C0D0E0F X", "a phone named \"dana's lumo\" or with the address 0A0B0C0D0E0F exists already" },
        { "phone add Copy 00:1a:2b:3c:4d:5e X", "or with the address 001A2B3C4D5E exists already" },
        { "phone add \"\" 0A0B0C0D0E0F X", "cannot add \"\": a name of 1 to 159 characters" },
        { "phone pair Nobody Here", "no phone named \"Nobody Here\" (the phones: Dana's Lumo, Office Kestrel)" },
        { "phone remove", "usage: phone remove NAME" },
        { "phone lacks teleport", "unknown phone function 'teleport' (sms, files, phonebook, dialup" },
        { "phone lacks", "usage: phone lacks FUNCTION [NAME]" },
        { "phone signal 6", "usage: phone signal N [NAME] (N bars, 0 to 5)" },
        { "phone battery -1", "usage: phone battery N [NAME]" },
        { "phone battery full", "usage: phone battery N [NAME]" },
        { "phone range sideways", "usage: phone range out|in [NAME]" },
        { "phone answer", "cannot answer on Dana's Lumo: no such call" },
        { "phone hangup", "cannot hang up on Dana's Lumo: no such call" },
        { "phone answer now", "usage: phone answer" },
        { "phone dial 10086 10010", "usage: phone dial NUMBER" },
        { "phone sms 10086", "usage: phone sms NUMBER TEXT" },
        { "phone ring 12345678901234567890123456789012345678901", "cannot ring Dana's Lumo: value out of bounds" },
        { "expect phone", "usage: expect phone connected|disconnected" },
        { "expect phone sleeping", "expect phone sleeping is not known" },
        { "expect phone dtmf", "usage: expect phone dtmf DIGITS [NAME]" },
        { "expect phone ringing Nobody", "no phone named \"Nobody\"" },
        { "expect phone ringing", "expected Dana's Lumo's call ringing, found idle" },
        { "expect phone connected", "expected a phone connected, found no phone connected" },
        { "expect bt on", "expected Bluetooth on, found off" },
        { "expect bt maybe", "usage: expect bt on|off" },
    };
    for (auto& c : cases) {
        auto error = runner.run_line(c.line);
        ASSERT_TRUE(error.has_value()) << c.line;
        EXPECT_NE(error->find(c.error), std::string::npos) << c.line << "\n  " << *error;
    }
    // A phone busy with a call takes no second one.
    ASSERT_TRUE(run("phone ring 10086\n")) << errors.str();
    EXPECT_EQ(runner.run_line("phone dial 10010"), "cannot dial on Dana's Lumo: the phone has a call");
    // Without a phone paired, linked or in a call there is none to act on.
    ASSERT_TRUE(run("phone hangup\nphone remove Dana's Lumo\n")) << errors.str();
    auto error = runner.run_line("phone ring 10086");
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("no phone to act on"), std::string::npos) << *error;
}

TEST_F(PhoneCommandTest, CommandsChangeThePhonesAndTheirWorldWhichOutlivesABoot)
{
    // Before the boot the commands set up the world the device starts in.
    ASSERT_TRUE(run("phone add \"Ray's Pebble\" 00:24:7e:11:22:33 \"Pebble X 2\"\n"
                    "phone ring 13800138000\n"
                    "boot\n"
                    "expect phone ringing\n"))
        << errors.str();
    auto added = phones().phone(pebble);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->identity.name, u"Ray's Pebble");
    EXPECT_EQ(added->identity.model, u"Pebble X 2");
    EXPECT_FALSE(added->paired);
    // The caller's name is the phone's own contact for the number.
    EXPECT_EQ(world(dana).call.name, u"Ann Lee");

    // A name at the end of a line needs no quotes, and is found in any case.
    ASSERT_TRUE(run("phone pair Ray's Pebble\n"
                    "phone lacks dialup ray's pebble\n"
                    "phone signal 2 Ray's Pebble\n"
                    "phone battery 0 Ray's Pebble\n"
                    "phone range out Office Kestrel\n"
                    "phone hangup\n"
                    "phone ring 555 Night Desk\n"
                    "phone answer\n"
                    "phone sms 10086 \"Balance:  42.50\"\n"
                    "phone sms 10086 two  words\n"))
        << errors.str();
    EXPECT_TRUE(phones().phone(pebble)->paired);
    EXPECT_FALSE(phones().phone(pebble)->offers(PhoneFunction::DialUp));
    EXPECT_TRUE(phones().phone(pebble)->offers(PhoneFunction::SendSms));
    EXPECT_EQ(world(pebble).signal, 2);
    EXPECT_EQ(world(pebble).battery, 0);
    EXPECT_FALSE(world(kestrel).in_range);
    auto data = *phones().phone(dana);
    EXPECT_EQ(data.calls[0].list, CallList::Received);
    EXPECT_EQ(data.calls[0].name, u"Night Desk");
    EXPECT_EQ(data.calls[1].list, CallList::Missed);
    EXPECT_EQ(data.calls[1].number, u"13800138000");
    // Quoted text keeps its blanks; the words of unquoted text are joined by one.
    ASSERT_GE(data.messages.size(), 2u);
    EXPECT_EQ(data.messages.rbegin()[1].text, u"Balance:  42.50");
    EXPECT_EQ(data.messages.back().text, u"two words");
    EXPECT_TRUE(data.messages.back().received);

    // The phones' world goes on across a boot: the call under way, range, signal and battery.
    ASSERT_TRUE(run("boot\nexpect phone active\n")) << errors.str();
    EXPECT_EQ(world(dana).call.number, u"555");
    EXPECT_EQ(world(pebble).signal, 2);
    EXPECT_FALSE(world(kestrel).in_range);
    ASSERT_TRUE(run("phone hangup\nphone dial 10086\nexpect phone outgoing\nphone answer\nexpect phone active\n"
                    "phone remove Ray's Pebble\n"))
        << errors.str();
    EXPECT_FALSE(phones().phone(pebble));
}

// No script command links the device: the device's side is played here as the manager plays it.
TEST_F(PhoneCommandTest, TheDevicesSideIsExpectedAsTheManagerLeavesIt)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    auto recorder = std::make_shared<Recorder>();
    phones().subscribe(recorder);
    phones().set_radio_power(true);
    ASSERT_EQ(phones().connect(dana), PhoneError::None);
    ASSERT_TRUE(run("expect bt on\n"
                    "expect phone connected\n"
                    "expect phone connected Dana's Lumo\n"
                    "expect phone disconnected Office Kestrel\n"
                    "phone ring 13912345678\n"))
        << errors.str();
    EXPECT_EQ(runner.run_line("expect phone disconnected"), "expected no phone connected, found Dana's Lumo connected");
    EXPECT_EQ(runner.run_line("expect phone connected Office Kestrel"), "expected Office Kestrel connected, found Dana's Lumo connected");
    // The device hears the ring and the message of the script.
    ASSERT_TRUE(run("phone sms 10086 hello\n")) << errors.str();
    {
        std::lock_guard guard(recorder->lock);
        ASSERT_FALSE(recorder->calls.empty());
        EXPECT_EQ(recorder->calls[0].state, CallState::Incoming);
        EXPECT_EQ(recorder->calls[0].name, u"Bao Chen");
        ASSERT_EQ(recorder->messages.size(), 1u);
        EXPECT_EQ(recorder->messages[0].message.text, u"hello");
    }
    ASSERT_EQ(phones().answer_on_device(), PhoneError::None);
    ASSERT_EQ(phones().send_dtmf(u"12#"), PhoneError::None);
    EXPECT_TRUE(run("expect phone active\nexpect phone dtmf 12#\n")) << errors.str();
    EXPECT_EQ(runner.run_line("expect phone dtmf 12"),
        "expected Dana's Lumo's far party to have heard the tones 12, found 12# (its call active (13912345678 Bao Chen))");
    // Out of range the link drops; the call is the phone's and goes on.
    EXPECT_TRUE(run("phone range out\nexpect phone disconnected\nexpect phone active Dana's Lumo\nexpect bt on\n")) << errors.str();
    phones().set_radio_power(false);
    EXPECT_TRUE(run("expect bt off\n")) << errors.str();
    phones().unsubscribe(recorder.get());
}

TEST_F(PhoneCommandTest, TheWindowsKeysActOnTheCurrentPhone)
{
    ASSERT_TRUE(run("boot\n")) << errors.str();
    PhoneCommands keys(simulator);
    // F6: a call from the first contact's number; F7 answers, F8 ends it.
    ASSERT_EQ(keys.ring_from_contact(), std::nullopt);
    EXPECT_EQ(world(dana).call.state, CallState::Incoming);
    EXPECT_EQ(world(dana).call.number, u"13800138000");
    EXPECT_EQ(keys.ring_from_contact(), "cannot ring Dana's Lumo: the phone has a call");
    ASSERT_EQ(keys.answer(), std::nullopt);
    EXPECT_EQ(world(dana).call.state, CallState::Active);
    ASSERT_EQ(keys.hang_up(), std::nullopt);
    EXPECT_EQ(world(dana).call.state, CallState::Idle);
    // F9: a message from the same number; F10 out of range and back.
    ASSERT_EQ(keys.sms_from_contact(), std::nullopt);
    EXPECT_EQ(phones().phone(dana)->messages.back().number, u"13800138000");
    EXPECT_EQ(phones().phone(dana)->messages.back().text, PhoneCommands::sample_sms_text);
    ASSERT_EQ(keys.toggle_range(), std::nullopt);
    EXPECT_FALSE(world(dana).in_range);
    ASSERT_EQ(keys.toggle_range(), std::nullopt);
    EXPECT_TRUE(world(dana).in_range);
    // A phone without contacts is called from a fixed number.
    ASSERT_TRUE(run("phone remove Dana's Lumo\nphone add Bare 0A0B0C0D0E0F Plain\nphone pair Bare\n")) << errors.str();
    ASSERT_EQ(keys.ring_from_contact(), std::nullopt);
    EXPECT_EQ(world(0x0A0B0C0D0E0Full).call.number, PhoneCommands::fallback_number);
}

TEST_F(PhoneCommandTest, TheStripShowsTheRadioThePhonesAndTheirCalls)
{
    ASSERT_TRUE(run("boot\nphone range out Office Kestrel\nphone signal 1\nphone ring 10086\n")) << errors.str();
    phones().set_radio_power(true);
    ASSERT_EQ(phones().connect(dana), PhoneError::None);
    auto view = bluetooth_strip_view(phones());
    EXPECT_TRUE(view.radio_on);
    ASSERT_EQ(view.phones.size(), 2u);
    auto& lumo = view.phones[0];
    EXPECT_EQ(lumo.name, u"Dana's Lumo");
    EXPECT_TRUE(lumo.connected && lumo.current && lumo.paired && lumo.in_range);
    EXPECT_EQ(lumo.signal, 1);
    EXPECT_EQ(lumo.call, CallState::Incoming);
    EXPECT_EQ(lumo.number, u"10086");
    EXPECT_EQ(lumo.caller, u"Voicemail");
    auto& office = view.phones[1];
    EXPECT_FALSE(office.in_range || office.paired || office.connected || office.current);
    EXPECT_EQ(office.call, CallState::Idle);

    // The window's shot holds the screen at twice its size with the strip under it.
    ASSERT_TRUE(run("shot window w.png\nshot strip s.png\n")) << errors.str();
    EXPECT_TRUE(std::filesystem::exists(root / "shots" / "w.png"));
    EXPECT_TRUE(std::filesystem::exists(root / "shots" / "s.png"));
    BluetoothStrip strip;
    auto picture = window_picture(simulator.device(), strip);
    EXPECT_EQ(picture.width, 960);
    EXPECT_EQ(picture.height, 544 + BluetoothStrip::height);
    // A lone word stays the screen's shot into a file of that name.
    EXPECT_EQ(runner.run_line("shot window"), std::nullopt);
    EXPECT_EQ(runner.run_line("shot screen s.png"), "usage: shot [window|strip] FILE");
    EXPECT_EQ(runner.run_line("shot strip ../s.png"), "a shot goes inside the shots folder: ../s.png is not a path within it");
}

namespace {

constexpr const char16_t* question_file = u"\\NAND\\question.ini";
constexpr const char* question_ini = "[panel]\nrect=90,66,390,206\n"
                                     "[layout]\ncount=2\nButton1=yes\nButton2=no\n"
                                     "[yes]\nname=Retry\nrect=20,80,140,130\n"
                                     "[no]\nname=Cancel\nrect=160,80,280,130\n";

// Asks two questions in a row and writes each answer to the debug output.
int asker(std::u16string_view)
{
    for (int i = 0; i < 2; ++i) {
        WCHAR answer[16] = u"old";
        int result = ZolMessageBoxEx(answer, 16, question_file, u"Dial-up failed. Retry?", nullptr);
        OutputDebugString((u"question answered " + to_utf16(std::to_string(result)) + u" " + answer + u"\r\n").c_str());
    }
    return 0;
}

} // namespace

TEST_F(PhoneCommandTest, AScriptAnswersQuestionBoxesByTheButtonsName)
{
    auto host_file = root.parent_path() / ("kivo-sim-question-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(host_file) << question_ini;
    ASSERT_TRUE(run("boot\nput \\NAND\\question.ini " + host_file.string() + "\n")) << errors.str();
    std::filesystem::remove(host_file);
    simulator.device().programs().add(u"\\NAND\\App\\asker.exe", asker);
    simulator.device().component<ProgramImages>().install();
    // The first box takes the answer given before it; the second stays open until one comes.
    EXPECT_TRUE(run("answer question cancel\n"
                    "start \\NAND\\App\\asker.exe\n"
                    "expect debug question answered 1 Cancel\n"
                    "expect no-debug question answered\n"
                    "answer question Retry\n"
                    "expect debug question answered 1 Retry\n"))
        << errors.str();
    EXPECT_EQ(runner.run_line("answer question"), "usage: answer question NAME (the name of a button of the question box)");
    EXPECT_EQ(runner.run_line("answer Maybe"), "usage: answer OK|Cancel|Yes|No|Abort|Retry|Ignore | answer question NAME");
}
