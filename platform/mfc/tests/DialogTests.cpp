#include "../../kernel/tests/TestDevice.h"
#include "MfcApi.h"
#include "gwes/TouchInput.h"
#include "gwes/WindowManager.h"
#include "kernel/KernelApi.h"
#include "kernel/Process.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr UINT WM_KIVO_NOTIFY = WM_USER + 2043;
constexpr UINT open_child = WM_APP + 1;
constexpr UINT screen_template = 100;
constexpr UINT buttons_template = 101;
constexpr int bitmap_button = 1001;

void register_templates()
{
    auto& templates = Device::current().component<DialogTemplates>();
    // 320 x 180 dialog units fill the screen; the nested screens are smaller each time.
    templates.add(AfxGetResourceHandle(), { screen_template, WS_POPUP | WS_VISIBLE, 0, { 0, 0, 320, 180 }, u"screen", {}, false });
    templates.add(AfxGetResourceHandle(),
        { buttons_template, WS_POPUP | WS_VISIBLE, 0, { 0, 0, 480, 272 }, u"buttons",
            { { IDOK, WC_BUTTON, u"OK", WS_VISIBLE | BS_PUSHBUTTON, { 10, 10, 90, 50 }, 0 },
                { bitmap_button, WC_BUTTON, u"", WS_VISIBLE | BS_OWNERDRAW, { 100, 10, 180, 50 }, 0 },
                { 1002, PROGRESS_CLASS, u"", WS_VISIBLE, { 10, 100, 210, 120 }, 0 } },
            true });
}

// A screen that opens the next one from a posted message, up to three deep; the innermost ends
// on the broadcast code 34, and each parent ends itself when its child did.
class NestedScreen : public CDialog {
public:
    NestedScreen(int depth, CWnd* parent, std::vector<INT_PTR>& results, std::vector<HWND>& windows)
        : CDialog(screen_template, parent)
        , m_depth(depth)
        , m_results(results)
        , m_windows(windows)
    {
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_windows.push_back(m_hWnd);
        // Each screen is a little smaller, so the one below shows at the edge.
        MoveWindow(m_depth * 20, m_depth * 20, 480 - m_depth * 40, 272 - m_depth * 40);
        // Shown before the child opens, which would keep it from ever going idle hidden.
        ShowWindow(SW_SHOW);
        if (m_depth < 3)
            PostMessage(open_child);
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (message == WM_LBUTTONDOWN)
            ++taps;
        if (message == open_child) {
            NestedScreen child(m_depth + 1, this, m_results, m_windows);
            m_child_running = true;
            INT_PTR result = child.DoModal();
            m_child_running = false;
            m_results.push_back(result);
            if (result == 34 || result > 100)
                EndDialog(100 + m_depth);
            return 0;
        }
        if (message == WM_KIVO_NOTIFY && wparam == 34 && !m_child_running) {
            EndDialog(34);
            return 0;
        }
        return CDialog::WindowProc(message, wparam, lparam);
    }

    static inline int taps = 0;

private:
    int m_depth;
    std::vector<INT_PTR>& m_results;
    std::vector<HWND>& m_windows;
    bool m_child_running = false;
};

class ScreensApp : public CWinApp {
public:
    ScreensApp(std::vector<INT_PTR>& results, std::vector<HWND>& windows, bool& exited)
        : m_results(results)
        , m_windows(windows)
        , m_exited(exited)
    {
    }
    BOOL InitInstance() override
    {
        register_templates();
        NestedScreen main(1, nullptr, m_results, m_windows);
        m_results.push_back(main.DoModal());
        // A dialog-based program ends here; its ExitInstance still runs.
        return FALSE;
    }
    int ExitInstance() override
    {
        m_exited = true;
        return 5;
    }

private:
    std::vector<INT_PTR>& m_results;
    std::vector<HWND>& m_windows;
    bool& m_exited;
};

class MfcTest : public ::testing::Test {
protected:
    void SetUp() override { device = make_test_device(); }

    std::shared_ptr<Process> start(const std::u16string& image, std::function<int(std::u16string_view)> entry)
    {
        device->programs().add(image, std::move(entry));
        DWORD error = 0;
        auto process = device->create_process(image, u"-h", error);
        EXPECT_EQ(error, 0u);
        return process;
    }

    std::unique_ptr<Device> device;
};

} // namespace

using Dialogs = MfcTest;

TEST_F(Dialogs, NestedModalScreensEndInTurnFromOneBroadcast)
{
    std::vector<INT_PTR> results;
    std::vector<HWND> windows;
    bool exited = false;
    NestedScreen::taps = 0;
    auto process = start(u"\\NAND\\App\\Telvix.exe", [&](std::u16string_view command_line) {
        ScreensApp app(results, windows, exited);
        return AfxWinMain(app, command_line);
    });
    device->run_until_idle();
    ASSERT_EQ(windows.size(), 3u);
    // Each owner is disabled under its modal child; only the innermost takes input.
    EXPECT_FALSE(IsWindowEnabled(windows[0]));
    EXPECT_FALSE(IsWindowEnabled(windows[1]));
    EXPECT_TRUE(IsWindowEnabled(windows[2]));
    EXPECT_EQ(GetForegroundWindow(), windows[2]);
    auto& touch = device->component<TouchInput>();
    touch.tap(25, 25);
    touch.tap(45, 45);
    device->run_until_idle();
    EXPECT_EQ(NestedScreen::taps, 0);
    EXPECT_EQ(touch.dropped(), 4u);

    PostMessage(HWND_BROADCAST, WM_KIVO_NOTIFY, 34, 0);
    device->run_until_idle();
    EXPECT_EQ(results, (std::vector<INT_PTR> { 34, 102, 101 }));
    for (HWND hwnd : windows)
        EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(exited);
    EXPECT_TRUE(process->ended());
    EXPECT_EQ(process->exit_code(), 5u);
}

namespace {

class ButtonsDialog : public CDialog {
public:
    explicit ButtonsDialog(CWnd* parent = nullptr)
        : CDialog(buttons_template, parent)
    {
    }
    void DoDataExchange(CDataExchange* exchange) override
    {
        DDX_Control(exchange, bitmap_button, m_button);
        DDX_Control(exchange, 1002, m_progress);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_button.LoadBitmaps(207, 208);
        m_progress.SetRange(0, 20);
        return TRUE;
    }
    BOOL OnCommand(WPARAM wparam, LPARAM lparam) override
    {
        if (LOWORD(wparam) == bitmap_button && HIWORD(wparam) == BN_CLICKED) {
            ++clicks;
            m_progress.SetPos(m_progress.GetPos() + 5);
            return TRUE;
        }
        return CDialog::OnCommand(wparam, lparam);
    }
    void OnOK() override
    {
        // The last result given wins.
        EndDialog(5);
        EndDialog(7);
    }

    CBitmapButton m_button;
    CProgressCtrl m_progress;
    int clicks = 0;
};

} // namespace

TEST_F(Dialogs, ADialogEndedByAMessageFromAnotherThreadEndsAtOnce)
{
    // The message is served while the dialog's loop waits; ending must not wait for another one.
    constexpr UINT end_now = WM_APP + 2;
    class Ending : public CDialog {
    public:
        Ending()
            : CDialog(screen_template)
        {
        }
        LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
        {
            if (message != end_now)
                return CDialog::WindowProc(message, wparam, lparam);
            EndDialog(static_cast<int>(wparam));
            return 0;
        }
    };
    INT_PTR result = -1;
    start(u"\\Windows\\ending.exe", [&](std::u16string_view) {
        register_templates();
        Ending dialog;
        result = dialog.DoModal();
        return 0;
    });
    device->run_until_idle();
    HWND window = FindWindow(nullptr, u"screen");
    ASSERT_NE(window, nullptr);
    SendMessage(window, end_now, 7, 0);
    device->run_until_idle();
    EXPECT_EQ(result, 7);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Dialogs, TemplateControlsAreBoundAndButtonsClickOnReleaseInside)
{
    INT_PTR result = 0;
    ButtonsDialog* dialog = nullptr;
    int clicks = 0;
    bool still_bound = true;
    start(u"\\app.exe", [&](std::u16string_view) {
        register_templates();
        ButtonsDialog screen;
        dialog = &screen;
        result = screen.DoModal();
        clicks = screen.clicks;
        still_bound = screen.m_progress.m_hWnd != nullptr;
        dialog = nullptr;
        return 0;
    });
    device->run_until_idle();
    ASSERT_NE(dialog, nullptr);
    auto& touch = device->component<TouchInput>();
    touch.press(120, 20);
    device->run_until_idle();
    EXPECT_EQ(dialog->m_button.CurrentBitmapId(), 208u);
    touch.release(120, 20);
    touch.press(120, 20);
    touch.move(300, 200);
    touch.release(300, 200);
    device->run_until_idle();
    EXPECT_EQ(dialog->m_button.CurrentBitmapId(), 207u);
    EXPECT_EQ(dialog->m_progress.GetPos(), 5);
    int low = 0;
    int high = 0;
    dialog->m_progress.GetRange(low, high);
    EXPECT_EQ(high, 20);
    touch.tap(20, 20);
    device->run_until_idle();
    EXPECT_EQ(result, 7);
    EXPECT_EQ(clicks, 1);
    // The controls let go of their windows with the dialog.
    EXPECT_FALSE(still_bound);
}

TEST_F(Dialogs, AScreenThatStartsHiddenStaysHiddenAndWorkerThreadsRunTheirOwnDialogs)
{
    static HWND s_worker_dialog;
    static INT_PTR s_worker_result;
    s_worker_dialog = nullptr;
    s_worker_result = 0;
    class Hidden : public CDialog {
    public:
        Hidden()
            : CDialog(screen_template)
        {
            m_bStartHidden = TRUE;
        }
        BOOL OnInitDialog() override
        {
            s_worker_dialog = m_hWnd;
            return TRUE;
        }
    };
    start(u"\\app.exe", [&](std::u16string_view) {
        register_templates();
        HANDLE worker = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                Hidden dialog;
                s_worker_result = dialog.DoModal();
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        return 0;
    });
    device->run_until_idle();
    ASSERT_NE(s_worker_dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(s_worker_dialog));
    // Closing a dialog cancels it.
    PostMessage(s_worker_dialog, WM_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_EQ(s_worker_result, IDCANCEL);
    EXPECT_FALSE(IsWindow(s_worker_dialog));
}

namespace {

class MainFrame : public CFrameWnd {
public:
    explicit MainFrame(std::vector<UINT>& seen, bool& deleted)
        : m_seen(seen)
        , m_deleted(deleted)
    {
    }
    ~MainFrame() override { m_deleted = true; }
    BOOL PreCreateWindow(CREATESTRUCT& create) override
    {
        create.style = WS_POPUP | WS_VISIBLE;
        create.cx = 200;
        create.cy = 100;
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        m_seen.push_back(message);
        if (message == WM_APP)
            return 42;
        return CFrameWnd::WindowProc(message, wparam, lparam);
    }
    int OnCreate(LPCREATESTRUCT create) override
    {
        created = true;
        return CFrameWnd::OnCreate(create);
    }
    bool created = false;

private:
    std::vector<UINT>& m_seen;
    bool& m_deleted;
};

} // namespace

TEST_F(Dialogs, AFrameSeesEveryMessageFirstAndDeletesItselfWithItsWindow)
{
    std::vector<UINT> seen;
    bool deleted = false;
    bool created = false;
    LRESULT answer = 0;
    RECT centred {};
    start(u"\\frame.exe", [&](std::u16string_view) {
        auto* frame = new MainFrame(seen, deleted);
        if (!frame->Create(nullptr, u"hubscreen"))
            return 1;
        created = frame->created;
        answer = ::SendMessage(FindWindow(nullptr, u"HUBSCREEN"), WM_APP, 0, 0);
        frame->CenterWindow();
        frame->GetWindowRect(&centred);
        frame->DestroyWindow();
        return 0;
    });
    device->run_until_idle();
    EXPECT_TRUE(created);
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(centred.left, 140);
    EXPECT_EQ(centred.top, 86);
    EXPECT_TRUE(deleted);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), WM_CREATE);
    EXPECT_EQ(seen.back(), WM_NCDESTROY);
}

TEST_F(Dialogs, TheWaitCursorAndTheApplicationsSettingsAreKept)
{
    std::u16string command_line;
    CWinApp* seen = nullptr;
    std::vector<HCURSOR> cursors;
    class App : public CWinApp {
    public:
        BOOL InitInstance() override
        {
            SetRegistryKey(u"Local AppWizard-Generated Applications");
            SetDialogBkColor();
            BeginWaitCursor();
            BeginWaitCursor();
            EndWaitCursor();
            EndWaitCursor();
            return FALSE;
        }
    };
    start(u"\\app.exe", [&](std::u16string_view line) {
        App app;
        seen = AfxGetApp() == &app ? &app : nullptr;
        int code = AfxWinMain(app, line);
        command_line = app.m_lpCmdLine;
        EXPECT_EQ(std::u16string(app.m_pszRegistryKey), u"Local AppWizard-Generated Applications");
        EXPECT_EQ(app.m_dialog_background, 0x00C0C0C0u);
        return code;
    });
    device->run_until_idle();
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(command_line, u"-h");
    HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    auto history = device->component<WindowManager>().cursor_history();
    EXPECT_EQ(history, (std::vector<HCURSOR> { wait, wait, wait, arrow }));
}
