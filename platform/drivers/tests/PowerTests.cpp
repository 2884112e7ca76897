#include "../../kernel/tests/TestDevice.h"

#include "KernelApi.h"
#include "PowerNotifications.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kivo;
using namespace kivo::test;

namespace {

struct Received {
    DWORD message;
    DWORD flags;
    std::u16string state;
    uint64_t time_ms;
    bool operator==(const Received&) const = default;
};

HANDLE make_queue(DWORD max_messages, DWORD max_bytes, BOOL read = TRUE)
{
    MSGQUEUEOPTIONS options { sizeof(MSGQUEUEOPTIONS), MSGQUEUE_NOPRECOMMIT, max_messages, max_bytes, read };
    return CreateMsgQueue(nullptr, &options);
}

Received decode(const BYTE* bytes, Device& device)
{
    POWER_BROADCAST header;
    std::memcpy(&header, bytes, sizeof header);
    std::u16string state(header.Length / 2, u'\0');
    std::memcpy(state.data(), bytes + offsetof(POWER_BROADCAST, SystemPowerState), header.Length);
    while (!state.empty() && state.back() == 0)
        state.pop_back();
    return { header.Message, header.Flags, state, device.clock().now_ms() };
}

} // namespace

TEST(Power, NotificationsReachAReaderWaitingOnItsQueue)
{
    auto device = make_test_device();
    std::vector<Received> received;
    device->programs().add(u"\\NAND\\App\\BT\\ZolDog.exe", [&](std::u16string_view) {
        HANDLE queue = make_queue(3, 216);
        HANDLE notifications = RequestPowerNotifications(queue, PBT_TRANSITION | PBT_RESUME);
        if (!notifications)
            return 1;
        for (;;) {
            if (WaitForSingleObject(queue, INFINITE) != WAIT_OBJECT_0)
                return 2;
            BYTE buffer[648] = {};
            DWORD read = 0;
            DWORD flags = 1;
            if (ReadMsgQueue(queue, buffer, sizeof buffer, &read, 0, &flags))
                received.push_back(decode(buffer, Device::current()));
        }
    });
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(u"\\NAND\\App\\BT\\ZolDog.exe", u"", error));
    device->run_until_idle();
    auto& power = device->component<PowerNotifications>();
    uint64_t start = device->clock().now_ms();
    device->advance(100);
    EXPECT_EQ(power.raise_suspend(), 1u);
    device->run_until_idle();
    device->advance(2000);
    EXPECT_EQ(power.raise_resume(), 1u);
    // Kinds the reader did not ask for never reach it.
    EXPECT_EQ(power.raise(PBT_POWERSTATUSCHANGE, 0, u"on"), 0u);
    device->run_until_idle();
    EXPECT_EQ(received, (std::vector<Received> { { PBT_TRANSITION, POWER_STATE_SUSPEND, u"suspend", start + 100 }, { PBT_RESUME, 0, u"on", start + 2100 } }));
}

TEST(Power, QueuesKeepTheirLimitsAndTimeOutOnTheDeviceClock)
{
    auto device = make_test_device();
    auto& power = device->component<PowerNotifications>();
    HANDLE queue = make_queue(1, 64);
    ASSERT_NE(queue, nullptr);
    HANDLE notifications = RequestPowerNotifications(queue, POWER_NOTIFY_ALL);
    ASSERT_NE(notifications, nullptr);

    BYTE buffer[64];
    DWORD read = 0;
    DWORD flags = 0;
    uint64_t start = device->clock().now_ms();
    EXPECT_FALSE(ReadMsgQueue(queue, buffer, sizeof buffer, &read, 500, &flags));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_EQ(device->clock().now_ms(), start + 500);

    EXPECT_EQ(power.raise_resume(), 1u);
    EXPECT_EQ(power.raise_suspend(), 0u); // the queue holds one message
    EXPECT_EQ(WaitForSingleObject(queue, 0), WAIT_OBJECT_0);
    // A buffer too small for the message leaves it in the queue.
    EXPECT_FALSE(ReadMsgQueue(queue, buffer, 8, &read, 0, &flags));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(read, 18u);
    ASSERT_TRUE(ReadMsgQueue(queue, buffer, sizeof buffer, &read, 0, &flags));
    EXPECT_EQ(decode(buffer, *device).message, PBT_RESUME);
    EXPECT_EQ(WaitForSingleObject(queue, 0), WAIT_TIMEOUT);

    // A message longer than the queue allows is lost.
    EXPECT_EQ(power.raise(PBT_RESUME, 0, std::u16string(40, u'x')), 0u);

    EXPECT_EQ(StopPowerNotifications(notifications), ERROR_SUCCESS);
    EXPECT_EQ(StopPowerNotifications(notifications), ERROR_INVALID_HANDLE);
    EXPECT_EQ(power.raise_resume(), 0u);
    EXPECT_TRUE(CloseMsgQueue(queue));
    EXPECT_FALSE(CloseMsgQueue(queue));

    HANDLE write_only = make_queue(1, 64, FALSE);
    EXPECT_FALSE(ReadMsgQueue(write_only, buffer, sizeof buffer, &read, 0, &flags));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseMsgQueue(write_only);
    EXPECT_EQ(make_queue(1, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Power, AnEndedProcessGetsNoMoreNotifications)
{
    auto device = make_test_device();
    device->programs().add(u"\\listener.exe", [](std::u16string_view) {
        HANDLE queue = make_queue(3, 216);
        RequestPowerNotifications(queue, PBT_RESUME);
        Sleep(1000);
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(u"\\listener.exe", u"", error));
    device->run_until_idle();
    auto& power = device->component<PowerNotifications>();
    EXPECT_EQ(power.raise_resume(), 1u);
    device->advance(1000);
    EXPECT_EQ(power.raise_resume(), 0u);
}
