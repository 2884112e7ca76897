#pragma once

#include "../../kernel/tests/TestDevice.h"
#include "GwesApi.h"
#include "kernel/KernelApi.h"
#include "kernel/Process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo::test {

// One message as a window saw it.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// Every message that reaches a window of the "Recorder" class, in order; a test may react to
// messages through `on_message` (its answer, if any, is the window procedure's).
struct MessageLog {
    std::mutex lock;
    std::vector<Seen> seen;
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> on_message;

    std::vector<Seen> of(HWND hwnd, UINT message)
    {
        std::lock_guard guard(lock);
        std::vector<Seen> result;
        for (auto& entry : seen) {
            if (entry.hwnd == hwnd && entry.message == message)
                result.push_back(entry);
        }
        return result;
    }
    size_t count(HWND hwnd, UINT message) { return of(hwnd, message).size(); }
    size_t count_any(UINT message)
    {
        std::lock_guard guard(lock);
        return std::count_if(seen.begin(), seen.end(), [&](const Seen& entry) { return entry.message == message; });
    }
};

inline MessageLog*& current_log()
{
    static MessageLog* log = nullptr;
    return log;
}

inline LRESULT recorder_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* log = current_log();
    if (log) {
        {
            std::lock_guard guard(log->lock);
            log->seen.push_back({ hwnd, message, wparam, lparam });
        }
        if (log->on_message) {
            if (auto answer = log->on_message(hwnd, message, wparam, lparam))
                return *answer;
        }
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

inline void register_recorder(UINT style = 0, const char16_t* name = u"Recorder")
{
    WNDCLASS description {};
    description.style = style;
    description.lpfnWndProc = recorder_proc;
    description.lpszClassName = name;
    RegisterClass(&description);
}

inline HWND make_window(const char16_t* title, DWORD style, RECT rect, HWND parent = nullptr, DWORD ex_style = 0,
    const char16_t* class_name = u"Recorder", int id = 0)
{
    return CreateWindowEx(ex_style, class_name, title, style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

// The usual message loop, until WM_QUIT.
inline int pump()
{
    MSG message {};
    while (GetMessage(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
    return static_cast<int>(message.wParam);
}

// A device whose tests record into one log; programs are started by image path.
class GwesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = make_test_device();
        current_log() = &log;
    }
    void TearDown() override
    {
        device.reset();
        current_log() = nullptr;
    }

    std::shared_ptr<Process> start(const std::u16string& image, std::function<int()> body)
    {
        device->programs().add(image, [body = std::move(body)](std::u16string_view) { return body(); });
        DWORD error = 0;
        auto process = device->create_process(image, u"", error);
        EXPECT_EQ(error, 0u);
        return process;
    }

    std::unique_ptr<Device> device;
    MessageLog log;
};

} // namespace kivo::test

namespace kivo::test {

// Handles what is queued for the calling thread's windows (the controller's own windows).
inline void drain()
{
    MSG message {};
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            break;
        DispatchMessage(&message);
    }
}

} // namespace kivo::test
