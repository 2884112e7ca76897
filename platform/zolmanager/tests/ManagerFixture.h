#pragma once

#include "platform.h"

#include "ManagerCodes.h"
#include "ProgramImages.h"
#include "SimulatedPhones.h"
#include "TestDevice.h"
#include "ZolManagerAPI.h"
#include "ZolManagerU.h"
#include "ZolRecord.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivo::test {

// The default root's phones.
inline constexpr PhoneAddress dana = 0x001A2B3C4D5Eull;
inline constexpr PhoneAddress kestrel = 0x00224466880Aull;
inline constexpr int dana_low = 0x2B3C4D5E;
inline constexpr int dana_high = 0x001A;

// The manager as the phone link calls it: through its wrapper, from a program beside it. The module
// is held as well, to look up the names the phone link never calls.
struct Manager : CZolManagerAPI {
    HMODULE module = nullptr;
};

// What the program's callbacks heard, and on which thread.
struct Heard {
    struct Call {
        std::u16string number;
        std::u16string name;
        int state;
        DWORD thread;
    };
    std::vector<std::pair<int, DWORD>> statuses;
    std::vector<Call> calls;
    std::vector<SmsRecord> messages;
    std::vector<DWORD> sms_threads;
};
inline Heard heard;

inline int on_status(int status)
{
    heard.statuses.emplace_back(status, GetCurrentThreadId());
    return 0;
}

inline int on_call(PhonebookEntry party, int state)
{
    Heard::Call call { {}, {}, state, GetCurrentThreadId() };
    for (int i = 0; i < party.fieldCount && i < PHONEBOOK_MAX_FIELDS; ++i) {
        if (party.fields[i].type == PHONEBOOK_FIELD_OTHER_NAME)
            call.name = ReadRecordText(party.fields[i].text);
        else if (party.fields[i].type == 1)
            call.number = ReadRecordText(party.fields[i].text);
    }
    heard.calls.push_back(call);
    return 0;
}

inline int on_sms(SmsRecord message)
{
    heard.messages.push_back(message);
    heard.sms_threads.push_back(GetCurrentThreadId());
    return 0;
}

class ManagerTest : public ::testing::Test {
protected:
    static constexpr const char16_t* program = u"\\NAND\\App\\BT\\ZolProbe.exe";

    void SetUp() override
    {
        heard = {};
        device->component<ProgramImages>().install();
    }

    SimulatedPhones& phones() { return device->component<SimulatedPhones>(); }
    ZolRecord& record() { return device->component<ZolRecord>(); }

    // Starts the body as a program, and leaves it running.
    HANDLE start_program(const std::u16string& image, std::function<void()> body)
    {
        device->programs().add(image, [body = std::move(body)](std::u16string_view) {
            body();
            return 0;
        });
        // Its image file, written alone: installing anew would bring back a library image a test removed.
        HANDLE file = CreateFile(image.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return nullptr;
        CloseHandle(file);
        PROCESS_INFORMATION process {};
        if (!CreateProcess(image.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &process))
            return nullptr;
        CloseHandle(process.hThread);
        return process.hProcess;
    }

    // Runs the body as a program until it ends.
    bool run_program(const std::u16string& image, std::function<void()> body)
    {
        HANDLE process = start_program(image, std::move(body));
        bool ended = process && WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0;
        CloseHandle(process);
        return ended;
    }

    // Runs the body in a program of its own, with the manager loaded, until the program ends.
    void run(const std::function<void(Manager&)>& body, const std::u16string& image = program)
    {
        ASSERT_TRUE(run_program(image, [&] {
            Manager manager;
            manager.module = LoadLibrary(ZOL_MANAGER_LIBRARY);
            ASSERT_NE(manager.module, nullptr) << GetLastError();
            ASSERT_EQ(manager.Load(false), 1);
            body(manager);
            manager.Unload();
            FreeLibrary(manager.module);
        }));
    }

    // Switches Bluetooth on, makes the default phone the manager's and connects it.
    static void connect(CZolManagerAPI& manager)
    {
        manager.SetBTPower(1);
        ASSERT_EQ(manager.ActivateMobile(dana_low, dana_high), MANAGER_OK);
        ASSERT_EQ(manager.ConnectMobile(), MANAGER_OK);
    }

    std::unique_ptr<Device> device = make_test_device();
};

} // namespace kivo::test
