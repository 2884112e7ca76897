#include "ManagerFixture.h"

#include "Contacts.h"
#include "FileSystem.h"
#include "Process.h"
#include "SimThread.h"
#include "WideText.h"

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace kivo;
using namespace kivo::test;

namespace {

std::string device_file(Device& device, const std::string& path)
{
    std::ifstream in(device.root() / path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

DWORD threads_running(Device& device, DWORD process_id)
{
    DWORD running = 0;
    for (auto& process : device.processes()) {
        if (process->id() != process_id)
            continue;
        auto guard = device.scheduler().lock();
        for (auto& thread : process->threads())
            running += thread->state() != SimThread::State::Finished;
    }
    return running;
}

} // namespace

TEST_F(ManagerTest, EveryNameIsExportedAndTheOnesNotOfferedSaySo)
{
    run([&](Manager& manager) {
        for (const WCHAR* name : ZOL_ENTRY_NAMES)
            EXPECT_NE(GetProcAddress(manager.module, name), nullptr) << to_utf8(name);
        EXPECT_EQ(reinterpret_cast<int (*)()>(GetProcAddress(manager.module, u"ZOL_GetCalendars"))(), ZOL_ENTRY_NOT_SUPPORTED);
        EXPECT_EQ(manager.Dial(u"10086"), MANAGER_NOT_CONNECTED);
    });
    auto lines = debug_lines(*device);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "zol: ZOL_GetCalendars is not supported"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "zol: ZOL_Dial(10086) = 2002"), lines.end());
    auto dial = record().calls_of("ZOL_Dial");
    ASSERT_EQ(dial.size(), 1u);
    EXPECT_EQ(dial[0].arguments, "10086");
    EXPECT_EQ(dial[0].result, MANAGER_NOT_CONNECTED);
}

TEST_F(ManagerTest, ConnectionsAndALinkLostOutOfRangeReachTheProgramOnTheManagersThread)
{
    DWORD program_thread = 0;
    DWORD process_id = 0;
    run([&](Manager& manager) {
        program_thread = GetCurrentThreadId();
        process_id = GetCurrentProcessId();
        manager.SetConnectStatusCallBack(on_status);
        // Nothing to connect to before a phone is activated, nor with the radio off.
        EXPECT_EQ(manager.ConnectMobile(), ZOL_NO_DEFAULT_PHONE);
        EXPECT_EQ(manager.ActivateMobile(dana_low, dana_high), MANAGER_OK);
        EXPECT_EQ(manager.ConnectMobile(), ZOL_RADIO_OFF);
        EXPECT_EQ(manager.SetBTPower(1), MANAGER_OK);
        EXPECT_EQ(manager.GetBTPower(), 1);
        DWORD before = GetTickCount();
        EXPECT_EQ(manager.ConnectMobile(), MANAGER_OK);
        EXPECT_GE(GetTickCount() - before, ZOL_CONNECT_MS);
        PhoneSupportFun support {};
        EXPECT_EQ(manager.GetPhoneSupportFun(&support), MANAGER_OK);
        EXPECT_EQ(support.functions[PHONE_SUPPORT_DIAL_UP], 1);
        EXPECT_EQ(support.functions[0], 0);
        // The phone's dial-up link, and a phone without one.
        EXPECT_EQ(manager.GPRSConnection(), MANAGER_OK);
        EXPECT_TRUE(phones().dial_up_open());
        EXPECT_EQ(manager.GPRSDisconnection(), MANAGER_OK);
        EXPECT_EQ(manager.GPRSDisconnection(), ZOL_NO_DIAL_UP);
        phones().set_lacks(dana, PhoneFunction::DialUp);
        EXPECT_EQ(manager.GPRSConnection(), ZOL_NOT_SUPPORTED);
        Sleep(10);
        phones().set_in_range(dana, false);
        Sleep(10);
        EXPECT_EQ(manager.ConnectMobile(), ZOL_OUT_OF_RANGE);
        phones().set_in_range(dana, true);
        EXPECT_EQ(manager.ConnectMobile(), MANAGER_OK);
        manager.SetBTPower(0);
        Sleep(10);
    });
    ASSERT_EQ(heard.statuses.size(), 4u);
    std::vector<int> statuses;
    for (auto& [status, thread] : heard.statuses) {
        statuses.push_back(status);
        EXPECT_NE(thread, program_thread);
        EXPECT_EQ(thread, heard.statuses[0].second);
    }
    EXPECT_EQ(statuses, (std::vector<int> { MANAGER_OK, MANAGER_NOT_CONNECTED, MANAGER_OK, ZOL_RADIO_OFF }));
    for (auto& call : record().calls()) {
        EXPECT_EQ(call.process, process_id) << call.entry;
        EXPECT_EQ(call.thread, program_thread) << call.entry;
    }
    for (auto& callback : record().callbacks_of("ConnectStatusFn")) {
        EXPECT_EQ(callback.process, process_id);
        EXPECT_EQ(callback.thread, heard.statuses[0].second);
        EXPECT_EQ(callback.answer, 0);
    }
}

TEST_F(ManagerTest, CallsInAndOutReachTheProgramWithTheirParty)
{
    std::u16string tones;
    DWORD program_thread = 0;
    run([&](Manager& manager) {
        program_thread = GetCurrentThreadId();
        connect(manager);
        manager.SetIncomingframeCallBack(on_call, on_sms);
        // A ring, its repeat 5 s on, answered on the device, ended by the far side.
        phones().ring(dana, u"10086");
        Sleep(SimulatedPhones::ring_interval_ms + 100);
        EXPECT_EQ(manager.AnswerCall(), MANAGER_OK);
        EXPECT_EQ(manager.DialDTMF(u"12#"), MANAGER_OK);
        tones = phones().world_of(dana)->call.dtmf_heard;
        phones().hang_up(dana);
        Sleep(10);
        // Dialled on the device, picked up, hung up on the device.
        EXPECT_EQ(manager.Dial(u"13912345678"), MANAGER_OK);
        Sleep(10);
        phones().answer(dana);
        Sleep(10);
        BYTE audio = 7;
        EXPECT_EQ(manager.GetHFStatus(&audio), MANAGER_OK);
        EXPECT_EQ(audio, 1);
        EXPECT_EQ(manager.HangupCall(), MANAGER_OK);
        EXPECT_EQ(manager.HangupCall(), ZOL_NO_CALL);
        Sleep(10);
    });
    EXPECT_EQ(tones, u"12#");
    // Every callback came from the manager's one thread, none from the thread that caused it.
    auto callbacks = record().callbacks();
    ASSERT_FALSE(callbacks.empty());
    for (auto& callback : callbacks) {
        EXPECT_EQ(callback.thread, callbacks[0].thread) << callback.callback;
        EXPECT_NE(callback.thread, program_thread) << callback.callback;
    }
    std::vector<int> states;
    for (auto& call : heard.calls)
        states.push_back(call.state);
    EXPECT_EQ(states, (std::vector<int> { 1, 1, 2, 0, 3, 2, 0 }));
    ASSERT_EQ(heard.calls.size(), 7u);
    EXPECT_EQ(heard.calls[0].number, u"10086");
    EXPECT_EQ(heard.calls[0].name, u"Voicemail");
    EXPECT_EQ(heard.calls[4].number, u"13912345678");
    EXPECT_EQ(heard.calls[4].name, u"Bao Chen");
}

TEST_F(ManagerTest, IncomingMessagesReachTheProgramAsRecords)
{
    DWORD program_thread = 0;
    run([&](Manager& manager) {
        program_thread = GetCurrentThreadId();
        connect(manager);
        manager.SetIncomingframeCallBack(on_call, on_sms);
        phones().receive_sms(dana, u"13800138000", u"On my way");
        Sleep(10);
    });
    ASSERT_EQ(heard.messages.size(), 1u);
    auto& message = heard.messages[0];
    EXPECT_EQ(ReadRecordText(message.number), u"13800138000");
    EXPECT_EQ(ReadRecordText(message.text), u"On my way");
    EXPECT_EQ(ReadRecordText(message.date).size(), 19u);
    EXPECT_EQ(ReadRecordText(message.date).substr(4, 1), u"-");
    EXPECT_EQ(message.received, 1);
    EXPECT_NE(heard.sms_threads[0], program_thread);
}

namespace {

struct Progress {
    int kind, done, total, value, final;
};
std::vector<Progress> progress_seen;
int stop_after = 0; // 0: never

int on_progress(int kind, int done, int total, int value, int final)
{
    progress_seen.push_back({ kind, done, total, value, final });
    return stop_after && static_cast<int>(progress_seen.size()) >= stop_after ? 0 : 1;
}

} // namespace

TEST_F(ManagerTest, ContactsCallListsAndMessagesArriveInBuffersTheProgramReleases)
{
    auto phone = *phones().phone(dana);
    run([&](Manager& manager) {
        connect(manager);
        progress_seen.clear();
        stop_after = 0;
        BYTE* entries = nullptr;
        int count = -1;
        DWORD before = GetTickCount();
        ASSERT_EQ(manager.GetContactsEx("MT", &entries, &count, on_progress), MANAGER_OK);
        EXPECT_GE(GetTickCount() - before, phone.contacts.size() * ZOL_RECORD_MS);
        ASSERT_EQ(count, static_cast<int>(phone.contacts.size()));
        size_t length = 0;
        for (int i = 0; i < count; ++i)
            length += PACKED_CONTACT_HEAD + phone.contacts[i].fields.size() * sizeof(PhonebookField);
        std::vector<PhonebookEntry> contacts;
        ASSERT_TRUE(UnpackContactRun(entries, length, contacts));
        ASSERT_EQ(contacts.size(), phone.contacts.size());
        std::u16string name;
        GetContactDisplayName(&contacts[1], &name);
        EXPECT_EQ(name, u"Bao Chen");
        std::u16string number;
        GetFirstNumber(&contacts[4], &number);
        EXPECT_EQ(number, u"10086");
        ASSERT_FALSE(progress_seen.empty());
        EXPECT_EQ(progress_seen.back().final, 1);
        EXPECT_EQ(progress_seen.back().value, MANAGER_OK);
        EXPECT_EQ(progress_seen.size(), phone.contacts.size() + 1);
        EXPECT_EQ(manager.ReleaseMemory(entries), MANAGER_OK);
        // Released twice: the manager refuses, the wrapper answers 1 all the same.
        EXPECT_EQ(manager.ReleaseMemory(entries), MANAGER_OK);
        EXPECT_EQ(manager.ReleaseMemory(nullptr), MANAGER_OK);

        // Each call list, with its entries' memory type and date.
        struct ListCase {
            const char* storage;
            CallList list;
            int memory_type;
        };
        for (auto [storage, list, memory_type] : { ListCase { "RC", CallList::Received, PHONEBOOK_MEMORY_RECEIVED },
                 ListCase { "DC", CallList::Dialled, PHONEBOOK_MEMORY_DIALLED }, ListCase { "MC", CallList::Missed, PHONEBOOK_MEMORY_MISSED } }) {
            size_t expected = std::count_if(phone.calls.begin(), phone.calls.end(), [&](auto& call) { return call.list == list; });
            ASSERT_EQ(manager.GetContactsEx(storage, &entries, &count, nullptr), MANAGER_OK) << storage;
            ASSERT_EQ(count, static_cast<int>(expected)) << storage;
            PhonebookEntry first;
            UnpackContact(entries, &first);
            EXPECT_EQ(first.memoryType, memory_type) << storage;
            PhoneDateTime when {};
            EXPECT_EQ(GetContactDateTime(&first, &when), 1) << storage;
            EXPECT_EQ(when.year, 2026);
            manager.ReleaseMemory(entries);
        }
        EXPECT_EQ(manager.GetContactsEx("XX", &entries, &count, nullptr), ZOL_BAD_ARGUMENT);

        // The program stops a download: the call returns what came, without a last report.
        progress_seen.clear();
        stop_after = 2;
        SmsRecord* messages = nullptr;
        ASSERT_EQ(manager.GetSMSs(&messages, &count, nullptr, on_progress), MANAGER_OK);
        EXPECT_EQ(count, 2);
        EXPECT_EQ(progress_seen.size(), 2u);
        EXPECT_EQ(progress_seen[0].kind, ZOL_PROGRESS_SMS);
        EXPECT_EQ(ReadRecordText(messages[1].text), phone.messages[1].text);
        EXPECT_EQ(ReadRecordText(messages[0].date), u"2026-12-10 09:12:00");
        manager.ReleaseMemory(messages);
        stop_after = 0;
    });
    EXPECT_EQ(record().live_buffers(), 0u);
    auto events = record().buffer_events();
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](auto& event) { return event.kind == ZolBufferEvent::Kind::ReleaseRefused; }), 1);
    auto releases = record().calls_of("ZOL_ReleaseMemory");
    ASSERT_GE(releases.size(), 3u);
    EXPECT_EQ(releases[1].result, ZOL_UNKNOWN_BUFFER);
    EXPECT_EQ(releases[2].result, MANAGER_OK) << "a null buffer is accepted";
}

TEST_F(ManagerTest, FileListsAndCopiesWithProgressAndAStop)
{
    run([&](Manager& manager) {
        connect(manager);
        FileEntry* root = nullptr;
        int count = 0;
        ASSERT_EQ(manager.FileTransferGetFileList(FileEntry {}, &root, &count), MANAGER_OK);
        auto named = [](FileEntry* list, int count, std::u16string_view name) -> FileEntry* {
            auto* found = std::find_if(list, list + count, [&](FileEntry& entry) { return ReadRecordText(entry.name) == name; });
            return found == list + count ? nullptr : found;
        };
        FileEntry* pictures = named(root, count, u"Pictures");
        ASSERT_NE(pictures, nullptr);
        EXPECT_EQ(pictures->isFolder, 1);
        EXPECT_EQ(pictures->level, 1);
        // A delivered folder asks for its own entries.
        FileEntry* inside = nullptr;
        int inside_count = 0;
        ASSERT_EQ(manager.FileTransferGetFileList(*pictures, &inside, &inside_count), MANAGER_OK);
        FileEntry* harbour = named(inside, inside_count, u"harbour.jpg");
        ASSERT_NE(harbour, nullptr);
        EXPECT_EQ(harbour->size, 48'213);
        EXPECT_EQ(harbour->level, 2);

        GetFileRequest request {};
        WriteRecordText(request.destination, u"\\NAND\\harbour.jpg");
        request.file = *harbour;
        GetFileRequest* requests[] = { &request };
        progress_seen.clear();
        stop_after = 0;
        EXPECT_EQ(manager.FileTransferGetFile(requests, 1, on_progress), MANAGER_OK);
        ASSERT_GE(progress_seen.size(), 3u);
        EXPECT_EQ(progress_seen[progress_seen.size() - 2].done, 48'213);
        EXPECT_EQ(progress_seen.back().final, 1);
        EXPECT_EQ(progress_seen.back().value, MANAGER_OK);

        // Stopped at the first report: no file, no last report.
        FileEntry* music = named(root, count, u"Music");
        FileEntry* songs = nullptr;
        int song_count = 0;
        ASSERT_EQ(manager.FileTransferGetFileList(*music, &songs, &song_count), MANAGER_OK);
        request.file = songs[0];
        WriteRecordText(request.destination, u"\\NAND\\tide.mp3");
        progress_seen.clear();
        stop_after = 1;
        EXPECT_EQ(manager.FileTransferGetFile(requests, 1, on_progress), MANAGER_OK);
        EXPECT_EQ(progress_seen.size(), 1u);
        EXPECT_EQ(GetFileAttributes(u"\\NAND\\tide.mp3"), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetFileAttributes(u"\\NAND\\tide.mp3.part"), INVALID_FILE_ATTRIBUTES);
        stop_after = 0;

        // An entry that names nothing on the phone.
        FileEntry gone = *harbour;
        WriteRecordText(gone.id, u"/Pictures/gone");
        FileEntry* none = nullptr;
        EXPECT_EQ(manager.FileTransferGetFileList(gone, &none, &count), ZOL_NO_SUCH_FILE);
        EXPECT_EQ(none, nullptr);
        for (void* buffer : { static_cast<void*>(root), static_cast<void*>(inside), static_cast<void*>(songs) })
            EXPECT_EQ(manager.ReleaseMemory(buffer), MANAGER_OK);
    });
    auto phone = phones().phone(dana);
    auto item = phone->find_file(u"/Pictures/harbour.jpg");
    ASSERT_NE(item, nullptr);
    auto expected = phone_file_content(*item);
    std::string copied = device_file(*device, "NAND/harbour.jpg");
    EXPECT_EQ(copied.size(), expected.size());
    EXPECT_TRUE(copied == std::string(expected.begin(), expected.end()));
    EXPECT_EQ(record().live_buffers(), 0u);
}

namespace {

HANDLE callback_may_return = nullptr;
std::vector<std::u16string> found_devices;
int finished_calls = 0;

int on_found(DeviceRecord device, int, int finished)
{
    if (finished) {
        ++finished_calls;
        return 0;
    }
    found_devices.push_back(ReadRecordText(device.name));
    if (callback_may_return)
        WaitForSingleObject(callback_may_return, INFINITE);
    return 0;
}

} // namespace

TEST_F(ManagerTest, ASearchReportsThePhonesInRangeAndItsStopNeverWaitsForACallback)
{
    run([&](Manager& manager) {
        EXPECT_EQ(manager.DeviceInquiry(on_found), ZOL_RADIO_OFF);
        manager.SetBTPower(1);
        found_devices.clear();
        finished_calls = 0;
        callback_may_return = nullptr;
        EXPECT_EQ(manager.DeviceInquiry(on_found), MANAGER_OK);
        Sleep(3 * ZOL_INQUIRY_STEP_MS + 100);
        EXPECT_EQ(found_devices, (std::vector<std::u16string> { u"Dana's Lumo", u"Office Kestrel" }));
        EXPECT_EQ(finished_calls, 1);

        // The first report blocks until this thread has stopped the search.
        found_devices.clear();
        finished_calls = 0;
        callback_may_return = CreateEvent(nullptr, TRUE, FALSE, nullptr);
        EXPECT_EQ(manager.DeviceInquiry(on_found), MANAGER_OK);
        Sleep(ZOL_INQUIRY_STEP_MS + 100);
        EXPECT_EQ(found_devices.size(), 1u);
        EXPECT_EQ(manager.DeviceInquiryStop(), MANAGER_OK);
        SetEvent(callback_may_return);
        Sleep(5 * ZOL_INQUIRY_STEP_MS);
        EXPECT_EQ(found_devices.size(), 1u);
        EXPECT_EQ(finished_calls, 0);
        CloseHandle(callback_may_return);
        callback_may_return = nullptr;
    });
}

TEST_F(ManagerTest, PairingAndActivationWriteTheSettingsFileKeepingItsOtherKeys)
{
    const char* before = "[other]\r\nkey=1\r\n[mobile]\r\nname=old\r\nextra=keep\r\n\r\n[last]\r\nz=9\r\n";
    {
        std::ofstream out(device->root() / "NAND/App/BT/mobile_setting.ini", std::ios::binary);
        out << before;
    }
    int kestrel_low = static_cast<int>(kestrel & 0xFFFFFFFF);
    int kestrel_high = static_cast<int>(kestrel >> 32);
    run([&](Manager& manager) {
        manager.SetBTPower(1);
        EXPECT_EQ(manager.ActivateMobile(kestrel_low, kestrel_high), ZOL_NOT_PAIRED);
        BYTE out = 0;
        EXPECT_EQ(manager.DevicePair(kestrel_low, kestrel_high, u"0000", &out), ZOL_WRONG_PIN);
        DWORD start = GetTickCount();
        EXPECT_EQ(manager.DevicePair(kestrel_low, kestrel_high, u"6158", &out), MANAGER_OK);
        EXPECT_GE(GetTickCount() - start, ZOL_PAIR_MS);
        EXPECT_EQ(manager.ActivateMobile(kestrel_low, kestrel_high), MANAGER_OK);
    });
    EXPECT_EQ(device_file(*device, "NAND/App/BT/mobile_setting.ini"),
        "[other]\r\nkey=1\r\n[mobile]\r\nname=Office Kestrel\r\nextra=keep\r\nphone=Kestrel 3\r\ncompany=Nuvo\r\nIMEI=490154203237518\r\n\r\n"
        "[last]\r\nz=9\r\n");
    EXPECT_TRUE(phones().phone(kestrel)->paired);

    // A write that fails keeps the old file whole.
    std::string kept = device_file(*device, "NAND/App/BT/mobile_setting.ini");
    device->component<FileSystem>().file_faults().fail_write(u"\\NAND\\App\\BT\\mobile_setting.ini.tmp", 1, ERROR_DISK_FULL);
    run([&](Manager& manager) { EXPECT_EQ(manager.ActivateMobile(dana_low, dana_high), ZOL_SETTINGS_NOT_WRITTEN); });
    EXPECT_EQ(device_file(*device, "NAND/App/BT/mobile_setting.ini"), kept);
}

TEST_F(ManagerTest, DetachEndsTheThreadAndDropsTheBuffersLeft)
{
    DWORD process_id = 0;
    DWORD with_manager = 0;
    DWORD after_free = 0;
    ASSERT_TRUE(run_program(program, [&] {
        process_id = GetCurrentProcessId();
        CZolManagerAPI manager;
        manager.Load(false);
        connect(manager);
        BYTE* entries = nullptr;
        int count = 0;
        manager.GetContactsEx("MT", &entries, &count, nullptr);
        with_manager = threads_running(*device, process_id);
        manager.Unload();
        after_free = threads_running(*device, process_id);
    }));
    EXPECT_EQ(with_manager, 2u);
    EXPECT_EQ(after_free, 1u);
    EXPECT_EQ(record().live_buffers(), 0u);
    auto events = record().buffer_events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, ZolBufferEvent::Kind::DroppedAtDetach);
}
