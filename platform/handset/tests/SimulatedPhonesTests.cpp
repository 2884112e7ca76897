#include "../../kernel/tests/TestDevice.h"

#include "PhoneTextForm.h"
#include "SimulatedPhones.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace kivo;

namespace {

constexpr PhoneAddress dana = 0x001A2B3C4D5Eull;   // the paired default phone
constexpr PhoneAddress office = 0x00224466880Aull; // the unpaired one

// Records what the device hears, as the manager will.
struct Recorder final : PhoneObserver {
    std::vector<ConnectionChange> connections;
    std::vector<CallReport> calls;
    std::vector<SmsReport> messages;
    void connection_changed(const ConnectionChange& change) override { connections.push_back(change); }
    void call_changed(const CallReport& report) override { calls.push_back(report); }
    void sms_received(const SmsReport& report) override { messages.push_back(report); }

    std::vector<CallState> states() const
    {
        std::vector<CallState> all;
        for (auto& report : calls)
            all.push_back(report.state);
        return all;
    }
};

std::string read_host_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class SimulatedPhonesTest : public ::testing::Test {
protected:
    void SetUp() override { start(); }

    // A new device on the same root, as after a restart.
    void start()
    {
        m_device.reset();
        if (m_root.empty()) {
            m_device = test::make_test_device();
            m_root = m_device->root();
        } else {
            m_device = std::make_unique<Device>(Device::Options { m_root, {}, false });
        }
        m_recorder = std::make_shared<Recorder>();
        phones().subscribe(m_recorder);
    }

    SimulatedPhones& phones() { return m_device->component<SimulatedPhones>(); }

    // The default phone linked to the device, with nothing heard yet.
    void connect_default()
    {
        phones().set_radio_power(true);
        ASSERT_EQ(phones().connect(dana), PhoneError::None);
        m_recorder->connections.clear();
    }

    std::vector<CallLogEntry> call_list(CallList list)
    {
        std::vector<CallLogEntry> entries;
        auto phone = phones().phone(dana);
        for (auto& entry : phone->calls) {
            if (entry.list == list)
                entries.push_back(entry);
        }
        return entries;
    }

    std::filesystem::path m_root;
    std::unique_ptr<Device> m_device;
    std::shared_ptr<Recorder> m_recorder;
};

} // namespace

TEST_F(SimulatedPhonesTest, AFreshRootHasAPairedDefaultPhoneAndAnUnpairedOneInRange)
{
    auto all = phones().phones();
    ASSERT_EQ(all.size(), 2u);
    auto paired = *phones().phone(dana);
    EXPECT_TRUE(paired.paired);
    EXPECT_EQ(paired.pin, u"6158");
    EXPECT_FALSE(paired.contacts.empty());
    EXPECT_FALSE(paired.messages.empty());
    for (auto list : { CallList::Received, CallList::Dialled, CallList::Missed })
        EXPECT_FALSE(call_list(list).empty()) << storage_name(list);
    auto root = phones().list_folder(dana, u"/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->size(), 4u);
    EXPECT_FALSE(phones().phone(office)->paired);
    EXPECT_TRUE(phones().world_of(office)->in_range);

    // The search finds both only with the radio on.
    EXPECT_TRUE(phones().phones_in_range().empty());
    phones().set_radio_power(true);
    EXPECT_EQ(phones().phones_in_range().size(), 2u);

    // Both were written to the root in the documented form.
    for (auto address : { dana, office }) {
        auto text = read_host_file(m_root / "phones" / (address_text(address) + ".phone"));
        PhoneData stored;
        EXPECT_EQ(PhoneTextForm::read(text, stored), 0u);
        EXPECT_EQ(stored, *phones().phone(address));
    }
}

TEST_F(SimulatedPhonesTest, ARingIsReportedAtOnceAndEveryFiveSecondsUntilAnswered)
{
    connect_default();
    ASSERT_EQ(phones().ring(dana, u"13800138000"), PhoneError::None);
    ASSERT_EQ(m_recorder->calls.size(), 1u);
    EXPECT_EQ(m_recorder->calls[0].state, CallState::Incoming);
    EXPECT_EQ(m_recorder->calls[0].number, u"13800138000");
    EXPECT_EQ(m_recorder->calls[0].name, u"Ann Lee"); // from the phone's own contacts
    m_device->advance(4999);
    EXPECT_EQ(m_recorder->calls.size(), 1u);
    m_device->advance(1);
    EXPECT_EQ(m_recorder->calls.size(), 2u);
    m_device->advance(10000);
    EXPECT_EQ(m_recorder->calls.size(), 4u);
    EXPECT_EQ(phones().ring(dana, u"555"), PhoneError::Busy);

    ASSERT_EQ(phones().answer(dana), PhoneError::None);
    EXPECT_EQ(m_recorder->calls.back().state, CallState::Active);
    m_device->advance(20000);
    EXPECT_EQ(m_recorder->states(),
        (std::vector { CallState::Incoming, CallState::Incoming, CallState::Incoming, CallState::Incoming, CallState::Active }));
}

TEST_F(SimulatedPhonesTest, AnsweringOnThePhoneKeepsTheSoundThereAndOnTheDeviceTakesIt)
{
    connect_default();
    struct Case {
        bool on_device;
        bool audio_on_device;
    };
    for (auto [on_device, audio_on_device] : { Case { false, false }, Case { true, true } }) {
        SCOPED_TRACE(on_device ? "on the device" : "on the phone");
        size_t received = call_list(CallList::Received).size();
        ASSERT_EQ(phones().ring(dana, u"777", u"Night caller"), PhoneError::None);
        ASSERT_EQ(on_device ? phones().answer_on_device() : phones().answer(dana), PhoneError::None);
        auto call = phones().world_of(dana)->call;
        EXPECT_EQ(call.state, CallState::Active);
        EXPECT_EQ(call.audio_on_device, audio_on_device);
        EXPECT_EQ(call.name, u"Night caller");
        ASSERT_EQ(call_list(CallList::Received).size(), received + 1);
        EXPECT_EQ(call_list(CallList::Received).front().number, u"777");
        ASSERT_EQ(phones().hang_up(dana), PhoneError::None);
    }
    EXPECT_EQ(phones().answer_on_device(), PhoneError::NoCall);
}

TEST_F(SimulatedPhonesTest, TheFarSideHangingUpEndsTheCallAndAnUnansweredRingIsMissed)
{
    connect_default();
    size_t missed = call_list(CallList::Missed).size();
    ASSERT_EQ(phones().ring(dana, u"0912345678"), PhoneError::None);
    m_device->advance(5000);
    ASSERT_EQ(phones().hang_up(dana), PhoneError::None);
    m_device->advance(15000);
    EXPECT_EQ(m_recorder->states(), (std::vector { CallState::Incoming, CallState::Incoming, CallState::Idle }));
    EXPECT_EQ(phones().world_of(dana)->call.state, CallState::Idle);
    ASSERT_EQ(call_list(CallList::Missed).size(), missed + 1);
    EXPECT_EQ(call_list(CallList::Missed).front().name, u"陳美玲");
    EXPECT_EQ(phones().hang_up(dana), PhoneError::NoCall);

    // Turned down on the device: missed too, and no more rings.
    ASSERT_EQ(phones().ring(dana, u"1"), PhoneError::None);
    ASSERT_EQ(phones().hang_up_on_device(), PhoneError::None);
    m_device->advance(10000);
    EXPECT_EQ(m_recorder->calls.back().state, CallState::Idle);
    EXPECT_EQ(call_list(CallList::Missed).size(), missed + 2);
}

TEST_F(SimulatedPhonesTest, AnOutgoingCallGoesOutgoingActiveIdleAndIsDialled)
{
    connect_default();
    ASSERT_EQ(phones().dial_on_device(u"10086"), PhoneError::None);
    EXPECT_EQ(phones().dial_on_device(u"10087"), PhoneError::Busy);
    EXPECT_EQ(phones().send_dtmf(u"1"), PhoneError::NoCall); // nobody to hear it yet
    ASSERT_EQ(phones().answer(dana), PhoneError::None);      // the called party picks up
    EXPECT_TRUE(phones().world_of(dana)->call.audio_on_device);
    ASSERT_EQ(phones().send_dtmf(u"12*#"), PhoneError::None);
    ASSERT_EQ(phones().send_dtmf(u"9"), PhoneError::None);
    EXPECT_EQ(phones().send_dtmf(u"1x"), PhoneError::BadValue);
    EXPECT_EQ(phones().world_of(dana)->call.dtmf_heard, u"12*#9");
    ASSERT_EQ(phones().transfer_audio(false), PhoneError::None);
    EXPECT_FALSE(phones().world_of(dana)->call.audio_on_device);
    ASSERT_EQ(phones().hang_up_on_device(), PhoneError::None);
    EXPECT_EQ(m_recorder->states(), (std::vector { CallState::Outgoing, CallState::Active, CallState::Idle }));
    EXPECT_EQ(m_recorder->calls[0].name, u"Voicemail");
    EXPECT_EQ(call_list(CallList::Dialled).front().number, u"10086");

    // Dialled on the handset, then redialled from the device.
    ASSERT_EQ(phones().dial(dana, u"13912345678"), PhoneError::None);
    EXPECT_EQ(m_recorder->calls.back().state, CallState::Outgoing);
    ASSERT_EQ(phones().hang_up(dana), PhoneError::None);
    ASSERT_EQ(phones().redial_on_device(), PhoneError::None);
    EXPECT_EQ(phones().world_of(dana)->call.number, u"13912345678");
}

TEST_F(SimulatedPhonesTest, PairingNeedsTheRightPinAndLastsAcrossARestart)
{
    phones().set_radio_power(true);
    EXPECT_EQ(phones().connect(office), PhoneError::NotPaired);
    struct Case {
        std::u16string_view pin;
        PhoneError result;
    };
    for (auto [pin, result] : { Case { u"0000", PhoneError::WrongPin }, Case { u"61588", PhoneError::WrongPin }, Case { u"6158", PhoneError::None } })
        EXPECT_EQ(phones().pair_with_pin(office, pin), result) << to_utf8(pin);
    EXPECT_TRUE(phones().phone(office)->paired);
    ASSERT_EQ(phones().set_pin(dana, u"1234"), PhoneError::None);

    start();
    EXPECT_TRUE(phones().phone(office)->paired);
    EXPECT_EQ(phones().phone(dana)->pin, u"1234");
    phones().set_radio_power(true);
    EXPECT_EQ(phones().connect(office), PhoneError::None);
    ASSERT_EQ(phones().unpair(office), PhoneError::None);
    EXPECT_EQ(m_recorder->connections.back().status, ConnectionStatus::Disconnected);
    EXPECT_FALSE(phones().connected_phone());
}

TEST_F(SimulatedPhonesTest, TheLinkFailsOrDropsWithoutRangeOrRadio)
{
    EXPECT_EQ(phones().connect(dana), PhoneError::RadioOff);
    EXPECT_EQ(phones().pair_with_pin(office, u"6158"), PhoneError::RadioOff);
    phones().set_radio_power(true);
    ASSERT_EQ(phones().set_in_range(dana, false), PhoneError::None);
    EXPECT_EQ(phones().connect(dana), PhoneError::OutOfRange);
    EXPECT_EQ(phones().phones_in_range().size(), 1u);
    ASSERT_EQ(phones().set_in_range(dana, true), PhoneError::None);
    ASSERT_EQ(phones().connect(dana), PhoneError::None);
    ASSERT_EQ(phones().open_dial_up(), PhoneError::None);

    // Out of range: the link drops (the manager's 2002), and the phone's calls are no longer heard.
    ASSERT_EQ(phones().set_in_range(dana, false), PhoneError::None);
    ASSERT_EQ(m_recorder->connections.size(), 2u);
    EXPECT_EQ(m_recorder->connections[1].status, ConnectionStatus::OutOfRange);
    EXPECT_EQ(m_recorder->connections[1].address, dana);
    EXPECT_FALSE(phones().connected_phone());
    EXPECT_FALSE(phones().dial_up_open());
    ASSERT_EQ(phones().ring(dana, u"1"), PhoneError::None);
    m_device->advance(10000);
    EXPECT_TRUE(m_recorder->calls.empty());
    EXPECT_EQ(phones().answer_on_device(), PhoneError::NotConnected);

    // Back in range and linked again, the ring is heard at its next repeat.
    ASSERT_EQ(phones().set_in_range(dana, true), PhoneError::None);
    ASSERT_EQ(phones().connect(dana), PhoneError::None);
    m_device->advance(5000);
    ASSERT_EQ(m_recorder->calls.size(), 1u);
    phones().set_radio_power(false);
    EXPECT_EQ(m_recorder->connections.back().status, ConnectionStatus::RadioOff);
}

TEST_F(SimulatedPhonesTest, MessagesAreKeptAndTheConnectedPhonesAreHeard)
{
    size_t stored = phones().phone(dana)->messages.size();
    ASSERT_EQ(phones().receive_sms(dana, u"13800138000", u"Before the link"), PhoneError::None);
    EXPECT_TRUE(m_recorder->messages.empty());
    connect_default();
    ASSERT_EQ(phones().receive_sms(dana, u"13800138000", u"Running late"), PhoneError::None);
    ASSERT_EQ(m_recorder->messages.size(), 1u);
    EXPECT_EQ(m_recorder->messages[0].message.text, u"Running late");
    EXPECT_TRUE(m_recorder->messages[0].message.received);
    EXPECT_EQ(phones().receive_sms(dana, u"1", std::u16string(1003, u'x')), PhoneError::BadValue);

    start();
    auto messages = phones().phone(dana)->messages;
    ASSERT_EQ(messages.size(), stored + 2);
    EXPECT_EQ(messages.back().text, u"Running late");
    EXPECT_NE(messages.back().location, messages[messages.size() - 2].location);
}

TEST_F(SimulatedPhonesTest, RangeSignalBatteryAndCallsOutliveARebootWhenTheWorldIsKept)
{
    ASSERT_EQ(phones().set_in_range(office, false), PhoneError::None);
    ASSERT_EQ(phones().set_signal(dana, 2), PhoneError::None);
    ASSERT_EQ(phones().set_battery(dana, 1), PhoneError::None);
    EXPECT_EQ(phones().set_battery(dana, 6), PhoneError::BadValue);
    ASSERT_EQ(phones().ring(dana, u"13912345678"), PhoneError::None);
    PhonesWorld kept = phones().world();

    // The device alone does not keep them: a new device starts with the default world.
    start();
    EXPECT_TRUE(phones().world_of(office)->in_range);
    EXPECT_EQ(phones().world_of(dana)->call.state, CallState::Idle);

    start();
    phones().restore_world(kept);
    EXPECT_FALSE(phones().world_of(office)->in_range);
    EXPECT_EQ(phones().world_of(dana)->signal, 2);
    EXPECT_EQ(phones().world_of(dana)->battery, 1);
    EXPECT_EQ(phones().world_of(dana)->call.state, CallState::Incoming);
    // The phone rings on, and the device hears it once linked.
    connect_default();
    m_device->advance(5000);
    ASSERT_EQ(m_recorder->calls.size(), 1u);
    EXPECT_EQ(m_recorder->calls[0].name, u"Bao Chen");
}

TEST_F(SimulatedPhonesTest, ObserversMayCallBackIntoThePhones)
{
    // Events come with no lock held, so an observer may ask the phones at once.
    struct Asker final : PhoneObserver {
        SimulatedPhones* phones = nullptr;
        std::vector<CallState> seen;
        void call_changed(const CallReport& report) override { seen.push_back(phones->world_of(report.address)->call.state); }
    };
    auto asker = std::make_shared<Asker>();
    asker->phones = &phones();
    phones().subscribe(asker);
    connect_default();
    ASSERT_EQ(phones().ring(dana, u"1"), PhoneError::None);
    ASSERT_EQ(phones().answer_on_device(), PhoneError::None);
    EXPECT_EQ(asker->seen, (std::vector { CallState::Incoming, CallState::Active }));
    phones().unsubscribe(asker.get());
    ASSERT_EQ(phones().hang_up(dana), PhoneError::None);
    EXPECT_EQ(asker->seen.size(), 2u);
}

TEST_F(SimulatedPhonesTest, PhonesAreAddedRemovedAndLackFunctions)
{
    PhoneIdentity identity { u"Spare", 0xA1B2C3D4E5F6ull, u"Pico", u"Orbit", u"1" };
    ASSERT_EQ(phones().add_phone(identity), PhoneError::None);
    EXPECT_EQ(phones().add_phone({ u"SPARE", 1, u"", u"", u"" }), PhoneError::PhoneExists);
    EXPECT_EQ(phones().add_phone({ u"Other", 0x1'0000'0000'0000ull, u"", u"", u"" }), PhoneError::BadValue);
    EXPECT_EQ(phones().find_by_name(u"spare"), identity.address);
    // A command without a phone's name means the connected phone, else one with a call, else a paired one.
    EXPECT_EQ(phones().current_phone(), dana);
    ASSERT_EQ(phones().ring(office, u"1"), PhoneError::None);
    EXPECT_EQ(phones().current_phone(), office);
    ASSERT_EQ(phones().hang_up(office), PhoneError::None);
    ASSERT_EQ(phones().set_lacks(dana, *parse_phone_function("dialup")), PhoneError::None);
    EXPECT_FALSE(parse_phone_function("fax"));
    connect_default();
    EXPECT_EQ(phones().open_dial_up(), PhoneError::NotSupported);

    start();
    EXPECT_EQ(phones().phone(identity.address)->identity, identity);
    EXPECT_FALSE(phones().phone(identity.address)->paired);
    EXPECT_FALSE(phones().phone(dana)->offers(PhoneFunction::DialUp));
    EXPECT_TRUE(phones().phone(dana)->offers(PhoneFunction::Phonebook));
    phones().set_radio_power(true);
    ASSERT_EQ(phones().pair(identity.address), PhoneError::None);
    ASSERT_EQ(phones().connect(identity.address), PhoneError::None);
    EXPECT_EQ(phones().current_phone(), identity.address);
    ASSERT_EQ(phones().disconnect(), PhoneError::None);
    connect_default();
    ASSERT_EQ(phones().remove_phone(dana), PhoneError::None);
    EXPECT_EQ(m_recorder->connections.back().status, ConnectionStatus::Disconnected);
    EXPECT_FALSE(std::filesystem::exists(m_root / "phones" / (address_text(dana) + ".phone")));

    start();
    EXPECT_EQ(phones().phones().size(), 2u);
    EXPECT_FALSE(phones().phone(dana));
}

TEST_F(SimulatedPhonesTest, FoldersListTheirEntriesAndFilesHaveTheirBytes)
{
    auto pictures = phones().list_folder(dana, u"/Pictures");
    ASSERT_TRUE(pictures);
    ASSERT_EQ(pictures->size(), 2u);
    EXPECT_EQ((*pictures)[0].name(), u"harbour.jpg");
    auto bytes = phones().file_content(dana, u"/Music/tide.mp3");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 3'000'000u);
    EXPECT_NE(*bytes, *phones().file_content(dana, u"/Pictures/harbour.jpg"));
    EXPECT_FALSE(phones().file_content(dana, u"/Pictures"));
    EXPECT_FALSE(phones().list_folder(dana, u"/Pictures/harbour.jpg"));
    EXPECT_TRUE(phones().list_folder(dana, u"/Video")->empty());
}

TEST_F(SimulatedPhonesTest, ADamagedFileIsReadAsFarAsItCanAndKeptAsideBeforeARewrite)
{
    auto path = m_root / "phones" / (address_text(dana) + ".phone");
    std::string text = read_host_file(path);
    std::ofstream(path, std::ios::binary) << text << "nonsense\ncall\tZZ\n";
    std::ofstream(m_root / "phones" / "stray.phone", std::ios::binary) << "name\tNo address\n";
    start();
    EXPECT_EQ(phones().skipped_lines(), 2u);
    EXPECT_TRUE(phones().phone(dana)->paired);
    EXPECT_EQ(phones().phones().size(), 2u);
    auto lines = test::debug_lines(*m_device);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "phones: 2 lines of " + address_text(dana) + ".phone skipped"), lines.end());

    ASSERT_EQ(phones().set_pin(dana, u"4321"), PhoneError::None);
    EXPECT_EQ(read_host_file(std::filesystem::path(path) += ".bad"), text + "nonsense\ncall\tZZ\n");
    PhoneData stored;
    EXPECT_EQ(PhoneTextForm::read(read_host_file(path), stored), 0u);
    EXPECT_EQ(stored.pin, u"4321");
}

TEST_F(SimulatedPhonesTest, AFailedStoreKeepsTheOldFile)
{
    auto path = m_root / "phones" / (address_text(dana) + ".phone");
    std::string before = read_host_file(path);
    // A folder where the side file would go makes its write fail.
    std::filesystem::create_directory(std::filesystem::path(path) += ".new");
    EXPECT_EQ(phones().set_pin(dana, u"9999"), PhoneError::None);
    EXPECT_EQ(read_host_file(path), before);
    auto lines = test::debug_lines(*m_device);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "phones: cannot store " + address_text(dana) + ".phone"), lines.end());
}

TEST_F(SimulatedPhonesTest, ACallersLongNameIsCutToAFieldSoTheCallListReadsBack)
{
    // First and last name each fill a field; joined they would not fit one.
    auto path = m_root / "phones" / (address_text(dana) + ".phone");
    std::ofstream(path, std::ios::app | std::ios::binary)
        << "contact\t1\tSM9\t17=" << std::string(259, 'F') << "\t16=" << std::string(259, 'L') << "\t2=555\n";
    start();
    ASSERT_EQ(phones().ring(dana, u"555"), PhoneError::None);
    ASSERT_EQ(phones().answer(dana), PhoneError::None);
    EXPECT_EQ(phones().world_of(dana)->call.name.size(), phone_max_field_chars);
    start();
    EXPECT_EQ(phones().skipped_lines(), 0u);
    EXPECT_EQ(call_list(CallList::Received).front().number, u"555");
}
