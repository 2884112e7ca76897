#include "ManagerFixture.h"

#include "LibraryLoader.h"

using namespace kivo;
using namespace kivo::test;

TEST_F(ManagerTest, AMissingLibraryFailsToLoadWhetherItsFileIsGoneOrTheLoaderIsTold)
{
    auto load_error = [&] {
        DWORD error = 0;
        EXPECT_TRUE(run_program(program, [&] {
            HMODULE module = LoadLibrary(ZOL_MANAGER_LIBRARY);
            error = module ? ERROR_SUCCESS : GetLastError();
            if (module)
                FreeLibrary(module);
        }));
        return error;
    };
    record().set_missing(true);
    EXPECT_EQ(load_error(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    record().set_missing(false);
    EXPECT_EQ(load_error(), static_cast<DWORD>(ERROR_SUCCESS));
    // A process that holds the library loads it again without its file; a new one cannot.
    HMODULE first = nullptr;
    HMODULE again = nullptr;
    EXPECT_TRUE(run_program(program, [&] {
        first = LoadLibrary(ZOL_MANAGER_LIBRARY);
        EXPECT_TRUE(DeleteFile(u"\\NAND\\App\\BT\\ZolManagerU.dll"));
        again = LoadLibrary(ZOL_MANAGER_LIBRARY);
        FreeLibrary(again);
        FreeLibrary(first);
    }));
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(again, first);
    EXPECT_EQ(load_error(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(ManagerTest, AWithheldExportIsNotFoundWhileTheOthersAre)
{
    record().set_lacking("ZOL_SetDeviceVol", true);
    run([&](Manager& manager) {
        EXPECT_EQ(GetProcAddress(manager.module, u"ZOL_SetDeviceVol"), nullptr);
        // Only the withheld entry fails: the mute and volume requests are refused, the rest work.
        EXPECT_EQ(manager.SetDeviceVol(ZOL_DEVICE_SPEAKER, 9), 0);
        EXPECT_EQ(manager.SetBTPower(1), MANAGER_OK);
        EXPECT_EQ(manager.GetBTPower(), 1);
    });
    EXPECT_NE(phones().speaker_volume(), 9);
    record().set_lacking("ZOL_SetDeviceVol", false);
    run([&](Manager& manager) {
        EXPECT_EQ(manager.SetDeviceVol(ZOL_DEVICE_SPEAKER, 9), MANAGER_OK);
        EXPECT_EQ(manager.SetDeviceVol(ZOL_DEVICE_MICROPHONE, 0), MANAGER_OK);
        EXPECT_EQ(manager.SetDeviceVol(7, 0), 0);
    });
    EXPECT_EQ(phones().speaker_volume(), 9);
    EXPECT_FALSE(phones().microphone_on());
}

TEST_F(ManagerTest, AnEntryFailsForTheNextCallsOrUntilCleared)
{
    record().fail("ZOL_Dial", ZOL_BUSY, 2);
    record().fail("ZOL_GetBTPower", 0);
    run([&](Manager& manager) {
        connect(manager);
        EXPECT_EQ(manager.Dial(u"10086"), ZOL_BUSY);
        EXPECT_EQ(phones().world_of(dana)->call.state, CallState::Idle);
        EXPECT_EQ(manager.Dial(u"10086"), ZOL_BUSY);
        EXPECT_EQ(manager.Dial(u"10086"), MANAGER_OK);
        EXPECT_EQ(phones().world_of(dana)->call.state, CallState::Outgoing);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(manager.GetBTPower(), 0);
        record().clear("ZOL_GetBTPower");
        EXPECT_EQ(manager.GetBTPower(), 1);
    });
    auto dials = record().calls_of("ZOL_Dial");
    ASSERT_EQ(dials.size(), 3u);
    EXPECT_TRUE(dials[0].failed_by_knob);
    EXPECT_FALSE(dials[2].failed_by_knob);
}

TEST_F(ManagerTest, AnEntryTakesTheDelayItIsGiven)
{
    record().delay("ZOL_GetBTPower", 700);
    run([&](Manager& manager) { manager.GetBTPower(); });
    auto calls = record().calls_of("ZOL_GetBTPower");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ended_ms - calls[0].started_ms, 700u);
}

TEST_F(ManagerTest, AHungEntryReturnsWhenClearedOrEndsWithItsProcess)
{
    record().hang("ZOL_ConnectMobile");
    int result = -1;
    HANDLE process = start_program(program, [&] {
        CZolManagerAPI manager;
        manager.Load(false);
        result = manager.ConnectMobile();
    });
    ASSERT_NE(process, nullptr);
    device->advance(60'000);
    EXPECT_EQ(result, -1);
    record().clear("ZOL_ConnectMobile");
    EXPECT_EQ(WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
    CloseHandle(process);
    EXPECT_EQ(result, ZOL_NO_DEFAULT_PHONE);

    // The main thread leaves while a worker is hung: the process ends all the same.
    record().hang("ZOL_GetBTPower");
    process = start_program(u"\\NAND\\App\\BT\\Leaver.exe", [&] {
        static CZolManagerAPI manager;
        manager.Load(true);
        HANDLE worker = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return static_cast<DWORD>(manager.GetBTPower()); }, nullptr, 0, nullptr);
        Sleep(1000);
        CloseHandle(worker);
    });
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
    CloseHandle(process);
    auto hung = record().calls_of("ZOL_GetBTPower");
    ASSERT_EQ(hung.size(), 1u);
    EXPECT_FALSE(hung[0].result.has_value());
}

TEST_F(ManagerTest, CallbacksAreDelayedOrWithheld)
{
    record().withhold_callbacks("ConnectStatusFn", true);
    record().delay_callbacks("CallStatusFn", 3000);
    size_t heard_after_a_second = 0;
    run([&](Manager& manager) {
        manager.SetConnectStatusCallBack(on_status);
        manager.SetIncomingframeCallBack(on_call, on_sms);
        connect(manager);
        phones().ring(dana, u"10086");
        Sleep(1000);
        heard_after_a_second = heard.calls.size();
        Sleep(2100);
    });
    EXPECT_TRUE(heard.statuses.empty());
    auto withheld = record().callbacks_of("ConnectStatusFn");
    ASSERT_EQ(withheld.size(), 1u);
    EXPECT_TRUE(withheld[0].withheld);
    EXPECT_EQ(heard_after_a_second, 0u);
    EXPECT_EQ(heard.calls.size(), 1u);
}

TEST(ManagerKnobs, KnobsCarriedToANewDeviceActThereToo)
{
    ZolKnobs kept;
    {
        auto device = make_test_device();
        auto& record = device->component<ZolRecord>();
        record.set_missing(true);
        record.set_lacking("ZOL_Dial", true);
        record.fail("ZOL_ConnectMobile", MANAGER_TIMEOUT, 3);
        record.delay("ZOL_DevicePair", 500);
        kept = record.knobs();
    }
    auto device = make_test_device();
    auto& record = device->component<ZolRecord>();
    record.restore_knobs(kept);
    EXPECT_EQ(record.knobs(), kept);
    EXPECT_EQ(LoadLibrary(ZOL_MANAGER_LIBRARY), nullptr);
    record.set_missing(false);
    HMODULE module = LoadLibrary(ZOL_MANAGER_LIBRARY);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, u"ZOL_Dial"), nullptr);
    record.clear_all();
    EXPECT_NE(GetProcAddress(module, u"ZOL_Dial"), nullptr);
    EXPECT_EQ(record.knobs(), ZolKnobs {});
    FreeLibrary(module);
}
