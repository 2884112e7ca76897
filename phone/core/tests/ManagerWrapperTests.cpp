// The manager wrapper: loading the library, the wrappers with and without their entries, the
// texts of the result codes and the error shown in the message dialog.

#include "PhoneCoreTest.h"

#include "LibraryLoader.h"
#include "MessageBoxes.h"
#include "ZolManagerAPI.h"

#include <map>
#include <vector>

using namespace phone::test;

namespace {

constexpr size_t entry_index(std::u16string_view name)
{
    for (size_t i = 0; i < ZOL_ENTRY_NAMES.size(); ++i)
        if (name == ZOL_ENTRY_NAMES[i])
            return i;
    return ZOL_ENTRY_NAMES.size();
}

// What the stand-in manager was called with. Each entry answers a value of its own (a base plus
// its index in the lookup order), so a test sees which entry a wrapper reached.
struct ManagerCalls {
    static constexpr int base = 7000;
    std::u16string dialled;
    std::vector<int> arguments;
    void* released = nullptr;
    ConnectStatusFn statusCallback = nullptr;
};
ManagerCalls g_calls;

template<size_t Index, typename Entry>
struct Fake;

template<size_t Index, typename Result, typename... Args>
struct Fake<Index, Result (*)(Args...)> {
    static Result call(Args... args)
    {
        if constexpr (Index == entry_index(u"ZOL_Dial"))
            g_calls.dialled = std::get<0>(std::tuple<Args...>(args...));
        else if constexpr (Index == entry_index(u"ZOL_ReleaseMemory"))
            g_calls.released = std::get<0>(std::tuple<Args...>(args...));
        else if constexpr (Index == entry_index(u"ZOL_SetConnectStatusCallBack"))
            g_calls.statusCallback = std::get<0>(std::tuple<Args...>(args...));
        else if constexpr (Index == entry_index(u"ZOL_DevicePair")) {
            std::tuple<Args...> all(args...);
            g_calls.arguments = { std::get<0>(all), std::get<1>(all) };
        }
        if constexpr (!std::is_void_v<Result>)
            return g_calls.base + static_cast<int>(Index);
    }
};

// One exported entry of the stand-in: its name and its fake.
template<typename Entry, size_t Index>
std::pair<const std::string, void*> exported()
{
    static_assert(Index < ZOL_ENTRY_NAMES.size());
    return { kivo::to_utf8(ZOL_ENTRY_NAMES[Index]), reinterpret_cast<void*>(&Fake<Index, Entry>::call) };
}

// The 33 entries the phone link calls, as the stand-in exports them.
const std::map<std::string, void*, std::less<>> called_entries = {
    exported<ZOL_ManagerInitial_t, entry_index(u"ZOL_ManagerInitial")>(),
    exported<ZOL_ManagerClose_t, entry_index(u"ZOL_ManagerClose")>(),
    exported<ZOL_GPRSConnection_t, entry_index(u"ZOL_GPRSConnection")>(),
    exported<ZOL_GPRSDisconnection_t, entry_index(u"ZOL_GPRSDisconnection")>(),
    exported<ZOL_DeviceInitial_t, entry_index(u"ZOL_DeviceInitial")>(),
    exported<ZOL_DeviceClose_t, entry_index(u"ZOL_DeviceClose")>(),
    exported<ZOL_DeviceInquiry_t, entry_index(u"ZOL_DeviceInquiry")>(),
    exported<ZOL_DeviceInquiryStop_t, entry_index(u"ZOL_DeviceInquiryStop")>(),
    exported<ZOL_DevicePair_t, entry_index(u"ZOL_DevicePair")>(),
    exported<ZOL_ActivateMobile_t, entry_index(u"ZOL_ActivateMobile")>(),
    exported<ZOL_DeleteDefaultPhone_t, entry_index(u"ZOL_DeleteDefaultPhone")>(),
    exported<ZOL_GetContactsEx_t, entry_index(u"ZOL_GetContactsEx")>(),
    exported<ZOL_ReleaseMemory_t, entry_index(u"ZOL_ReleaseMemory")>(),
    exported<ZOL_GetSMSs_t, entry_index(u"ZOL_GetSMSs")>(),
    exported<ZOL_FileTransferGetFileList_t, entry_index(u"ZOL_FileTransferGetFileList")>(),
    exported<ZOL_FileTransferGetFile_t, entry_index(u"ZOL_FileTransferGetFile")>(),
    exported<ZOL_SetConnectStatusCallBack_t, entry_index(u"ZOL_SetConnectStatusCallBack")>(),
    exported<ZOL_ConnectMobile_t, entry_index(u"ZOL_ConnectMobile")>(),
    exported<ZOL_DisconnectMobile_t, entry_index(u"ZOL_DisconnectMobile")>(),
    exported<ZOL_Dial_t, entry_index(u"ZOL_Dial")>(),
    exported<ZOL_DialDTMF_t, entry_index(u"ZOL_DialDTMF")>(),
    exported<ZOL_ReDial_t, entry_index(u"ZOL_ReDial")>(),
    exported<ZOL_HFInitial_t, entry_index(u"ZOL_HFInitial")>(),
    exported<ZOL_HFAudioConnect_t, entry_index(u"ZOL_HFAudioConnect")>(),
    exported<ZOL_GetHFStatus_t, entry_index(u"ZOL_GetHFStatus")>(),
    exported<ZOL_AnswerCall_t, entry_index(u"ZOL_AnswerCall")>(),
    exported<ZOL_HangupCall_t, entry_index(u"ZOL_HangupCall")>(),
    exported<ZOL_SetIncomingframeCallBack_t, entry_index(u"ZOL_SetIncomingframeCallBack")>(),
    exported<ZOL_GetPhoneSupportFun_t, entry_index(u"ZOL_GetPhoneSupportFun")>(),
    exported<ZOL_SetDeviceVol_t, entry_index(u"ZOL_SetDeviceVol")>(),
    exported<ZOL_SetBTPower_t, entry_index(u"ZOL_SetBTPower")>(),
    exported<ZOL_GetBTPower_t, entry_index(u"ZOL_GetBTPower")>(),
    exported<ZOL_TransferAudio_t, entry_index(u"ZOL_TransferAudio")>(),
};

int status_callback(int)
{
    return 0;
}

constexpr int other_dial_answer = 9001;
int other_dial(const WCHAR*) { return other_dial_answer; }

// Each wrapper called once with plain arguments, the entry it must reach and what it answers
// without that entry.
struct WrapperCase {
    const char16_t* entry;
    std::function<int(CZolManagerAPI&)> call;
    int missing;
};

std::vector<WrapperCase> wrapper_cases()
{
    static BYTE out = 0;
    static BYTE* entries = nullptr;
    static SmsRecord* messages = nullptr;
    static FileEntry* files = nullptr;
    static int count = 0;
    static PhoneSupportFun support {};
    return {
        { u"ZOL_ManagerInitial", [](auto& m) { return m.ManagerInitial(nullptr); }, 2009 },
        { u"ZOL_ManagerClose", [](auto& m) { return m.ManagerClose(); }, 2009 },
        { u"ZOL_GPRSConnection", [](auto& m) { return m.GPRSConnection(); }, 2009 },
        { u"ZOL_GPRSDisconnection", [](auto& m) { return m.GPRSDisconnection(); }, 2009 },
        { u"ZOL_DeviceInitial", [](auto& m) { return m.DeviceInitial(); }, 2009 },
        { u"ZOL_DeviceClose", [](auto& m) { return m.DeviceClose(); }, 2009 },
        { u"ZOL_DeviceInquiry", [](auto& m) { return m.DeviceInquiry(nullptr); }, 2009 },
        { u"ZOL_DeviceInquiryStop", [](auto& m) { return m.DeviceInquiryStop(); }, 2009 },
        { u"ZOL_DevicePair", [](auto& m) { return m.DevicePair(0x1234, 0x56, u"1234", &out); }, 2009 },
        { u"ZOL_ActivateMobile", [](auto& m) { return m.ActivateMobile(1, 2); }, 2009 },
        { u"ZOL_DeleteDefaultPhone", [](auto& m) { return m.DeleteDefaultPhone(1, 2); }, 2009 },
        { u"ZOL_GetContactsEx", [](auto& m) { return m.GetContactsEx("MT", &entries, &count, nullptr); }, 2009 },
        { u"ZOL_GetSMSs", [](auto& m) { return m.GetSMSs(&messages, &count, &count, nullptr); }, 2009 },
        { u"ZOL_FileTransferGetFileList", [](auto& m) { return m.FileTransferGetFileList(FileEntry {}, &files, &count); }, 2009 },
        { u"ZOL_FileTransferGetFile", [](auto& m) { return m.FileTransferGetFile(nullptr, 1, nullptr); }, 2009 },
        { u"ZOL_ConnectMobile", [](auto& m) { return m.ConnectMobile(); }, 2009 },
        { u"ZOL_DisconnectMobile", [](auto& m) { return m.DisconnectMobile(); }, 2009 },
        { u"ZOL_Dial", [](auto& m) { return m.Dial(u"+8613800138000"); }, 2009 },
        { u"ZOL_DialDTMF", [](auto& m) { return m.DialDTMF(u"5"); }, 2009 },
        { u"ZOL_ReDial", [](auto& m) { return m.ReDial(); }, 2009 },
        { u"ZOL_HFInitial", [](auto& m) { return m.HFInitial(); }, 2009 },
        { u"ZOL_HFAudioConnect", [](auto& m) { return m.HFAudioConnect(1); }, 2009 },
        { u"ZOL_GetHFStatus", [](auto& m) { return m.GetHFStatus(&out); }, 2009 },
        { u"ZOL_AnswerCall", [](auto& m) { return m.AnswerCall(); }, 2009 },
        { u"ZOL_HangupCall", [](auto& m) { return m.HangupCall(); }, 2009 },
        { u"ZOL_SetIncomingframeCallBack", [](auto& m) { return m.SetIncomingframeCallBack(nullptr, nullptr); }, 2009 },
        { u"ZOL_GetPhoneSupportFun", [](auto& m) { return m.GetPhoneSupportFun(&support); }, 2009 },
        { u"ZOL_SetDeviceVol", [](auto& m) { return m.SetDeviceVol(1, 5); }, 0 },
        { u"ZOL_SetBTPower", [](auto& m) { return m.SetBTPower(1); }, 0 },
        { u"ZOL_GetBTPower", [](auto& m) { return m.GetBTPower(); }, 0 },
        { u"ZOL_TransferAudio", [](auto& m) { return m.TransferAudio(1); }, 2009 },
    };
}

class ManagerWrapperTest : public PhoneCoreTest {
protected:
    ManagerWrapperTest()
    {
        g_calls = {};
        device->component<kivo::MessageBoxes>().set_responder([](const kivo::MessageBoxRecord&) { return IDOK; });
    }

    // Registers the stand-in manager with the called entries, less some.
    void add_manager(std::vector<std::string> lacking = {})
    {
        kivo::LibraryLoader::Module module { u"\\Windows\\ZolManagerU.dll", {} };
        for (auto& [name, address] : called_entries)
            if (std::find(lacking.begin(), lacking.end(), name) == lacking.end())
                module.exports.emplace(name, address);
        device->component<kivo::LibraryLoader>().add_module(ZOL_MANAGER_LIBRARY, std::move(module));
    }

    // The same manager with a Dial of its own.
    void replace_dial()
    {
        kivo::LibraryLoader::Module module { u"\\Windows\\ZolManagerU.dll", {} };
        for (auto& [name, address] : called_entries)
            module.exports.emplace(name, name == "ZOL_Dial" ? reinterpret_cast<void*>(&other_dial) : address);
        device->component<kivo::LibraryLoader>().add_module(ZOL_MANAGER_LIBRARY, std::move(module));
    }

    void no_manager() { device->component<kivo::LibraryLoader>().set_missing(u"ZolManagerU.dll", true); }

    std::vector<kivo::MessageBoxRecord> boxes() { return device->component<kivo::MessageBoxes>().shown(); }
};

} // namespace

TEST_F(ManagerWrapperTest, WithoutTheLibraryOneBoxIsShownAndEveryWrapperAnswersItsMissingValue)
{
    no_manager();
    int loaded = -1;
    std::vector<int> answers;
    start([&] {
        CZolManagerAPI manager;
        loaded = manager.Load(false);
        for (auto& c : wrapper_cases())
            answers.push_back(c.call(manager));
        manager.SetConnectStatusCallBack(status_callback);
        EXPECT_EQ(manager.ReleaseMemory(nullptr), MANAGER_ENTRY_MISSING);
    });
    EXPECT_EQ(loaded, 0);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, u"Load ZolManagerU.dll fail");
    EXPECT_EQ(shown[0].type & 0xF, UINT(MB_OK));
    auto cases = wrapper_cases();
    ASSERT_EQ(answers.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(answers[i], cases[i].missing) << kivo::to_utf8(cases[i].entry);
}

TEST_F(ManagerWrapperTest, EachWrapperReachesItsOwnEntryAndALackingEntryFailsOnlyItsWrapper)
{
    add_manager({ "ZOL_SetDeviceVol" });
    std::vector<int> answers;
    int released = 0;
    int dummy = 0;
    start([&] {
        CZolManagerAPI manager;
        EXPECT_EQ(manager.Load(false), 1);
        for (auto& c : wrapper_cases())
            answers.push_back(c.call(manager));
        manager.SetConnectStatusCallBack(status_callback);
        // The manager's own answer is an error here; the wrapper answers success all the same.
        released = manager.ReleaseMemory(&dummy);
    });
    EXPECT_TRUE(boxes().empty());
    auto cases = wrapper_cases();
    ASSERT_EQ(answers.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        std::u16string_view entry = cases[i].entry;
        int expected = entry == u"ZOL_SetDeviceVol" ? 0 : 7000 + static_cast<int>(entry_index(entry));
        EXPECT_EQ(answers[i], expected) << kivo::to_utf8(entry);
    }
    EXPECT_EQ(g_calls.dialled, u"+8613800138000");
    EXPECT_EQ(g_calls.arguments, (std::vector<int> { 0x1234, 0x56 })); // DevicePair's address halves
    EXPECT_EQ(g_calls.statusCallback, &status_callback);
    EXPECT_EQ(released, MANAGER_OK);
    EXPECT_EQ(g_calls.released, &dummy);
}

TEST_F(ManagerWrapperTest, ASecondLoadLooksNothingUpAndUnloadForgetsTheEntries)
{
    add_manager();
    std::vector<int> dials;
    start([&] {
        CZolManagerAPI manager;
        EXPECT_EQ(manager.Load(false), 1);
        dials.push_back(manager.Dial(u"1"));
        // Another manager under the same name: a lookup now would find its own Dial.
        replace_dial();
        EXPECT_EQ(manager.Load(false), 1);
        dials.push_back(manager.Dial(u"1"));
        manager.Unload();
        dials.push_back(manager.Dial(u"1"));
        EXPECT_EQ(manager.GetBTPower(), 0);
        EXPECT_EQ(manager.Load(false), 1);
        dials.push_back(manager.Dial(u"1"));
    });
    int dial = static_cast<int>(entry_index(u"ZOL_Dial"));
    EXPECT_EQ(dials, (std::vector<int> { 7000 + dial, 7000 + dial, MANAGER_ENTRY_MISSING, other_dial_answer }));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ManagerWrapperTest, TheLibraryStaysLoadedAfterTheWrapperOnlyWhenAskedTo)
{
    add_manager();
    std::vector<int> loads;
    auto& loader = device->component<kivo::LibraryLoader>();
    start([&] {
        // How many loads the process holds once the wrapper is gone, besides the one made to ask.
        auto held = [&] {
            HMODULE module = LoadLibrary(ZOL_MANAGER_LIBRARY);
            int count = loader.load_count(module) - 1;
            FreeLibrary(module);
            return count;
        };
        for (bool keep : { false, true }) {
            {
                CZolManagerAPI manager;
                manager.Load(keep);
            }
            loads.push_back(held());
        }
    });
    EXPECT_EQ(loads, (std::vector<int> { 0, 1 }));
}

TEST(ManagerErrorTexts, EachResultCodeHasItsText)
{
    struct Case {
        int code;
        int text;
    } cases[] = {
        { 1, 0 },
        { 0, 14038 },
        { -1, 14038 },
        { 99, 14038 },
        { 100, 14039 },
        { 102, 14041 },
        { 103, 14038 },
        { 200, 14043 },
        { 201, 14044 },
        { 202, 14038 },
        { 499, 14038 },
        { 500, 14000 },
        { 504, 14004 },
        { 505, 14038 },
        { 800, 14005 },
        { 801, 14006 },
        { 802, 14038 },
        { 803, 14007 },
        { 805, 14009 },
        { 806, 14038 },
        { 807, 14010 },
        { 809, 14012 },
        { 810, 14038 },
        { 1000, 14013 },
        { 1001, 14014 },
        { 1002, 14038 },
        { 1999, 14038 },
        { 2000, 14015 },
        { 2001, 14016 },
        { 2002, 14017 },
        { 2009, 14024 },
        { 2017, 14032 },
        { 2021, 14036 },
        { 2022, 14038 },
        { 2999, 14038 },
        { 3000, 30019 },
        { 3001, 30021 },
        { 3002, 30023 },
        { 3003, 14038 },
        { 9998, 14038 },
        { 9999, 14037 },
        { 10000, 14038 },
    };
    for (auto& c : cases)
        EXPECT_EQ(CZolManagerAPI::ErrorStringId(c.code), c.text) << c.code;
}

TEST_F(ManagerWrapperTest, AnErrorIsShownInTheMessageDialogUntilTheUserClosesIt)
{
    bool returned = false;
    start([&] {
        CZolManagerAPI::ShowError(MANAGER_OK);
        CZolManagerAPI::ShowError(MANAGER_ENTRY_MISSING);
        returned = true;
    });
    EXPECT_FALSE(returned);
    auto png = shot("phone-error-manager-missing");
    EXPECT_TRUE(draw_log().find_shown_text(u"Bluetooth manager not loaded", 0).has_value());
    // The box of the skin lies in the middle of the screen, the page beneath it untouched.
    EXPECT_EQ(png.pixel_565(80 + 20, 51 + 150), c565(RGB(24, 52, 88)));
    EXPECT_EQ(png.pixel_565(20, 20), png.pixel_565(460, 250));
    tap(80 + 160, 51 + 138); // "OK"
    EXPECT_TRUE(returned);
}

TEST_F(ManagerWrapperTest, AWorkerThreadShowsAnErrorOnItsOwnThread)
{
    struct Worker {
        DWORD thread = 0;
        HWND dialog = nullptr;
        bool done = false;
    };
    static Worker worker;
    worker = {};
    start([] {
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                worker.thread = GetCurrentThreadId();
                CZolManagerAPI::ShowError(MANAGER_NO_CARD);
                worker.done = true;
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    });
    EXPECT_FALSE(worker.done);
    HWND shown = GetForegroundWindow();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(shown, nullptr), worker.thread);
    shot("phone-error-from-worker");
    EXPECT_TRUE(draw_log().find_shown_text(u"No storage card", 0).has_value());
    tap(80 + 299, 51 + 18); // the close cross, "exit"
    EXPECT_TRUE(worker.done);
}
