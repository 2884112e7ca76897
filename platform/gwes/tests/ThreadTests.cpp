#include "../../kernel/tests/TestDevice.h"
#include "GwesApi.h"
#include "MessageBoxes.h"
#include "kernel/KernelApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr UINT to_anchor = WM_APP;
constexpr UINT to_churned = WM_APP + 1;
constexpr UINT to_thread = WM_APP + 2;
constexpr int churned_windows = 2000;

// What the interface thread and its worker share; the counts are checked once both are done.
struct Churn {
    std::atomic<HWND> anchor = nullptr;
    std::atomic<HWND> current = nullptr;
    std::atomic<DWORD> interface_thread = 0;
    std::atomic<bool> churning = true;
    std::atomic<int> anchor_posted = 0;
    std::atomic<int> anchor_received = 0;
    std::atomic<int> thread_posted = 0;
    std::atomic<int> thread_received = 0;
    std::atomic<int> churned_posted = 0;
    std::atomic<int> unexpected_errors = 0;
};

Churn* g_churn = nullptr;

LRESULT churn_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == to_anchor && hwnd == g_churn->anchor)
        ++g_churn->anchor_received;
    return DefWindowProc(hwnd, message, wparam, lparam);
}

void count_post(BOOL posted, std::atomic<int>& count)
{
    if (posted) {
        ++count;
        return;
    }
    // A window that just went, or a queue that is full for the moment; nothing else.
    DWORD error = GetLastError();
    if (error != ERROR_INVALID_WINDOW_HANDLE && error != ERROR_NOT_ENOUGH_QUOTA)
        ++g_churn->unexpected_errors;
}

DWORD worker(LPVOID)
{
    auto& churn = *g_churn;
    while (churn.churning) {
        HWND target = churn.current;
        count_post(PostMessage(target, to_churned, 0, 0), churn.churned_posted);
        RECT rect {};
        GetWindowRect(target, &rect);
        InvalidateRect(target, nullptr, TRUE);
        SetTimer(target, 1, 1, nullptr);
        count_post(PostMessage(churn.anchor, to_anchor, 0, 0), churn.anchor_posted);
        count_post(PostThreadMessage(churn.interface_thread, to_thread, 0, 0), churn.thread_posted);
    }
    return 0;
}

void drain()
{
    MSG message {};
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!message.hwnd && message.message == to_thread)
            ++g_churn->thread_received;
        DispatchMessage(&message);
    }
}

int interface_program()
{
    auto& churn = *g_churn;
    // The controller has finished starting this process before its threads begin.
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
    WaitForSingleObject(go, INFINITE);
    CloseHandle(go);
    WNDCLASS description {};
    description.lpfnWndProc = churn_proc;
    description.lpszClassName = u"Churn";
    RegisterClass(&description);
    churn.interface_thread = GetCurrentThreadId();
    churn.anchor = CreateWindowEx(0, u"Churn", u"anchor", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, worker, nullptr, 0, nullptr);
    for (int i = 0; i < churned_windows; ++i) {
        HWND window = CreateWindowEx(0, u"Churn", u"", WS_POPUP | WS_VISIBLE, i % 300, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        CreateWindowEx(0, u"Churn", u"", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, window, nullptr, nullptr, nullptr);
        churn.current = window;
        drain();
        SetWindowPos(window, HWND_TOP, 0, i % 100, 0, 0, SWP_NOSIZE);
        drain();
        DestroyWindow(window);
    }
    churn.churning = false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    drain();
    DestroyWindow(churn.anchor);
    return 0;
}

} // namespace

// On the real clock threads run in parallel: a worker posting to an interface thread's windows
// while that thread makes and destroys them finds each window either whole or gone.
TEST(RealClock, AWorkerPostsToWindowsTheInterfaceThreadMakesAndDestroys)
{
    auto device = make_test_device({ .mode = ClockMode::Real });
    Churn churn;
    g_churn = &churn;
    device->programs().add(u"\\churn.exe", [](std::u16string_view) { return interface_program(); });
    PROCESS_INFORMATION info {};
    WCHAR none[] = u"";
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"go");
    ASSERT_TRUE(CreateProcess(u"\\churn.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 120'000), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    CloseHandle(go);
    EXPECT_EQ(churn.unexpected_errors, 0);
    EXPECT_GT(churn.anchor_posted, 0);
    // What was posted to the window that lived throughout, or to the thread, all arrived.
    EXPECT_EQ(churn.anchor_received, churn.anchor_posted);
    EXPECT_EQ(churn.thread_received, churn.thread_posted);
    g_churn = nullptr;
}

// The simulator answers a box from its own thread, as soon as one is open: it must reach the box,
// even when the box is open but not yet on the screen.
TEST(RealClock, BoxesAreAnsweredFromAnotherThreadEvenWhileTheyAreBeingMade)
{
    constexpr int boxes_shown = 20;
    auto device = make_test_device({ .mode = ClockMode::Real });
    device->programs().add(u"\\asks.exe", [](std::u16string_view) {
        for (int i = 0; i < boxes_shown; ++i)
            MessageBox(nullptr, u"Delete?", u"Files", MB_OKCANCEL);
        return 0;
    });
    auto& boxes = device->component<MessageBoxes>();
    PROCESS_INFORMATION info {};
    WCHAR none[] = u"";
    ASSERT_TRUE(CreateProcess(u"\\asks.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto answered = [&](size_t box) {
        auto shown = boxes.shown();
        return shown.size() > box && shown[box].answer != 0;
    };
    for (size_t box = 0; box < boxes_shown && std::chrono::steady_clock::now() < deadline; ++box) {
        while (!boxes.answer(IDCANCEL) && std::chrono::steady_clock::now() < deadline) {
        }
        while (!answered(box) && std::chrono::steady_clock::now() < deadline) {
        }
    }
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 1'000), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), size_t(boxes_shown));
    for (auto& box : shown)
        EXPECT_EQ(box.answer, IDCANCEL);
}
