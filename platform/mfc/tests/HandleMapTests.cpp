#include "MfcApi.h"
#include "TestDevice.h"
#include "kernel/KernelApi.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace kivo;
using namespace kivo::test;

namespace {

// What the interface thread shares with its worker: the windows it has now, and how many posts
// the worker may still make.
struct Probe {
    std::atomic<HWND> frame = nullptr;
    std::atomic<HWND> child = nullptr;
    std::atomic<int> budget = 0;
    std::atomic<bool> done = false;
};
Probe* s_probe = nullptr;

class ProbeFrame : public CFrameWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (message == WM_APP)
            ++received;
        return CFrameWnd::WindowProc(message, wparam, lparam);
    }
    int received = 0;
};

DWORD probe_worker(LPVOID)
{
    auto& probe = *s_probe;
    while (!probe.done) {
        // Each call goes through the object FromHandle gave, as programs write it; the window may
        // be going or gone meanwhile.
        CWnd* frame = CWnd::FromHandle(probe.frame.load());
        CWnd* child = CWnd::FromHandle(probe.child.load());
        if (child)
            child->IsWindowVisible();
        if (frame && probe.budget > 0 && frame->PostMessage(WM_APP))
            --probe.budget;
    }
    return 0;
}

// The interface thread: MFC windows made and destroyed in a loop (the frames delete themselves),
// each with a plain child that gets an object of its own while the worker looks it up too.
int probe_interface(std::u16string_view)
{
    constexpr int rounds = 200;
    // The controller lets the probe go once CreateProcess has returned to it.
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"probe go");
    WaitForSingleObject(go, INFINITE);
    CloseHandle(go);
    Probe probe;
    s_probe = &probe;
    HANDLE worker = CreateThread(nullptr, 0, probe_worker, nullptr, 0, nullptr);
    int delivered = 0;
    for (int round = 0; round < rounds; ++round) {
        auto* frame = new ProbeFrame;
        frame->CreateEx(0, nullptr, u"probe", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr);
        HWND child = CreateWindowEx(0, WC_STATIC, u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, frame->m_hWnd, nullptr, nullptr, nullptr);
        probe.child = child;
        probe.frame = frame->m_hWnd;
        CWnd::FromHandle(child)->GetStyle();
        {
            CWnd attached;
            attached.SubclassWindow(child);
            probe.budget = 4;
            // The worker's post arrives: the window was reached while both threads used it.
            MSG message {};
            while (frame->received == 0 && GetMessage(&message, nullptr, 0, 0) > 0)
                DispatchMessage(&message);
            delivered += frame->received > 0;
        }
        frame->DestroyWindow();
    }
    probe.done = true;
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    return delivered;
}

} // namespace

// A worker posting through CWnd::FromHandle while the interface thread makes, attaches and
// destroys windows: each thread has its own temporary objects and never gets an object another
// thread may delete. Run under ThreadSanitizer and AddressSanitizer too.
TEST(HandleMaps, WorkerPostsThroughObjectsWhileInterfaceThreadChurnsWindows)
{
    auto device = make_test_device({ .mode = ClockMode::Real });
    device->programs().add(u"\\probe.exe", probe_interface);
    HANDLE go = CreateEvent(nullptr, TRUE, FALSE, u"probe go");
    PROCESS_INFORMATION info {};
    WCHAR none[] = u"";
    ASSERT_TRUE(CreateProcess(u"\\probe.exe", none, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 60'000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, 200u);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    CloseHandle(go);
}

// The object a thread attached answers to that thread alone; another thread gets its own
// temporary object for the window, and FromHandlePermanent still finds the attached one.
TEST(HandleMaps, AttachedWindowObjectBelongsToItsThread)
{
    auto device = make_test_device();
    struct Seen {
        CWnd* attached = nullptr;
        bool own_thread_gets_it = false;
        CWnd* from_worker = nullptr;
        CWnd* permanent_from_worker = nullptr;
        HWND worker_object_window = nullptr;
        HWND window = nullptr;
    };
    static Seen seen;
    seen = {};
    device->programs().add(u"\\app.exe", [](std::u16string_view) {
        CWnd window;
        window.CreateEx(0, nullptr, u"main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
        seen.attached = &window;
        seen.own_thread_gets_it = CWnd::FromHandle(window.m_hWnd) == &window;
        seen.window = window.m_hWnd;
        HANDLE worker = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                seen.from_worker = CWnd::FromHandle(seen.window);
                seen.permanent_from_worker = CWnd::FromHandlePermanent(seen.window);
                seen.worker_object_window = seen.from_worker->m_hWnd;
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        return 0;
    });
    DWORD error = 0;
    device->create_process(u"\\app.exe", u"", error);
    device->run_until_idle();
    ASSERT_NE(seen.window, nullptr);
    EXPECT_TRUE(seen.own_thread_gets_it);
    EXPECT_NE(seen.from_worker, seen.attached);
    EXPECT_EQ(seen.worker_object_window, seen.window);
    EXPECT_EQ(seen.permanent_from_worker, seen.attached);
}
