#include "MessageBoxes.h"

#include "ControlPainter.h"
#include "Controls.h"
#include "WindowManager.h"
#include "kernel/Device.h"
#include "kernel/Process.h"

#include <algorithm>

namespace kivo {

namespace {

constexpr const char16_t* box_class = u"KivoMessageBox";
// Asks the box, inside its own loop, to let the responder choose.
constexpr UINT box_respond = WM_USER + 0x7F0;
constexpr int box_width = 300;
constexpr int box_height = 120;
constexpr int button_width = 80;
constexpr int button_height = 28;
constexpr int button_gap = 10;
constexpr int caption_height = 22;

struct ButtonLabel {
    int id;
    const char16_t* label;
};

std::vector<ButtonLabel> buttons_of(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return { { IDOK, u"OK" }, { IDCANCEL, u"Cancel" } };
    case MB_ABORTRETRYIGNORE:
        return { { IDABORT, u"Abort" }, { IDRETRY, u"Retry" }, { IDIGNORE, u"Ignore" } };
    case MB_YESNOCANCEL:
        return { { IDYES, u"Yes" }, { IDNO, u"No" }, { IDCANCEL, u"Cancel" } };
    case MB_YESNO:
        return { { IDYES, u"Yes" }, { IDNO, u"No" } };
    case MB_RETRYCANCEL:
        return { { IDRETRY, u"Retry" }, { IDCANCEL, u"Cancel" } };
    default:
        return { { IDOK, u"OK" } };
    }
}

// What closing the box without a button means.
int close_answer(UINT type)
{
    auto type_bits = type & MB_TYPEMASK;
    if (type_bits == MB_OK)
        return IDOK;
    if (type_bits == MB_YESNO || type_bits == MB_ABORTRETRYIGNORE)
        return 0;
    return IDCANCEL;
}

} // namespace

struct MessageBoxes::OpenBox {
    MessageBoxes* owner;
    std::shared_ptr<MessageBoxRecord> record;
    UINT type;
    HWND hwnd = nullptr;
    bool done = false;
    int answer = 0;
};

MessageBoxes::MessageBoxes(Device& device)
    : m_device(device)
    , m_records(device.trace_limit())
    , m_beeps(device.trace_limit())
{
}

void MessageBoxes::set_responder(Responder responder)
{
    std::lock_guard guard(m_lock);
    m_responder = std::move(responder);
}

std::vector<MessageBoxRecord> MessageBoxes::shown() const
{
    std::lock_guard guard(m_lock);
    std::vector<MessageBoxRecord> result;
    result.reserve(m_records.size());
    for (auto& record : m_records)
        result.push_back(*record);
    return result;
}

std::vector<UINT> MessageBoxes::beeps() const
{
    std::lock_guard guard(m_lock);
    return m_beeps.all();
}

void MessageBoxes::beep(UINT type)
{
    std::lock_guard guard(m_lock);
    m_beeps.append(type);
}

bool MessageBoxes::answer(int button)
{
    HWND box = nullptr;
    {
        std::lock_guard guard(m_lock);
        if (m_open.empty())
            return false;
        box = m_open.back()->hwnd;
    }
    // Not on the screen yet: a null window would post to the caller's own thread.
    if (!box)
        return false;
    return PostMessage(box, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(button), BN_CLICKED), 0);
}

void MessageBoxes::register_class()
{
    std::lock_guard guard(m_lock);
    if (m_registered)
        return;
    WNDCLASS description {};
    description.lpfnWndProc = box_proc;
    description.lpszClassName = box_class;
    DWORD error = 0;
    m_device.component<WindowManager>().register_class(description, true, error);
    m_registered = true;
}

LRESULT MessageBoxes::box_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* box = reinterpret_cast<OpenBox*>(GetWindowLongPtr(hwnd, GWL_USERDATA));
    auto end = [&](int answer) {
        if (box && !box->done && answer) {
            box->done = true;
            box->answer = answer;
        }
    };
    switch (message) {
    case WM_CREATE: {
        auto* create = reinterpret_cast<const CREATESTRUCT*>(lparam);
        SetWindowLongPtr(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED)
            end(LOWORD(wparam));
        return 0;
    case WM_CLOSE:
        if (box)
            end(close_answer(box->type));
        return 0;
    case WM_PAINT: {
        // A frame, the caption on a dark band, and the background its text and buttons sit on.
        {
            ControlPainter painter(hwnd);
            const RECT& client = painter.client();
            RECT band { client.left, client.top, client.right, client.top + caption_height };
            painter.fill(band, look::caption);
            painter.fill({ client.left, band.bottom, client.right, client.bottom }, look::background);
            painter.frame(client, look::frame);
            std::u16string caption(static_cast<size_t>(GetWindowTextLength(hwnd)) + 1, u'\0');
            caption.resize(static_cast<size_t>(std::max(GetWindowText(hwnd, caption.data(), static_cast<int>(caption.size())), 0)));
            painter.text({ band.left + 6, band.top, band.right - 6, band.bottom }, caption, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, look::highlight_text);
        }
        ValidateRect(hwnd, nullptr);
        return 0;
    }
    case box_respond: {
        if (!box)
            return 0;
        Responder responder;
        MessageBoxRecord record;
        {
            std::lock_guard guard(box->owner->m_lock);
            responder = box->owner->m_responder;
            record = *box->record;
        }
        if (responder)
            end(responder(record));
        return 0;
    }
    default:
        return DefWindowProc(hwnd, message, wparam, lparam);
    }
}

int MessageBoxes::run(HWND owner, std::u16string text, std::u16string caption, UINT type)
{
    register_class();
    auto& windows = m_device.component<WindowManager>();
    if (owner)
        owner = windows.top_level_of(owner);
    OpenBox box { this, std::make_shared<MessageBoxRecord>(MessageBoxRecord { owner, caption, text, type, 0, m_device.clock().now_ms(), Process::current().id() }),
        type };
    bool respond = false;
    {
        std::lock_guard guard(m_lock);
        m_records.append(box.record);
        m_open.push_back(&box);
        respond = static_cast<bool>(m_responder);
    }
    int x = (WindowManager::screen_width - box_width) / 2;
    int y = (WindowManager::screen_height - box_height) / 2;
    DWORD ex_style = (type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
    HWND hwnd = CreateWindowEx(ex_style, box_class, caption.c_str(), WS_POPUP | WS_CAPTION, x, y, box_width, box_height, owner,
        nullptr, nullptr, &box);
    {
        // answer() reads it from another thread.
        std::lock_guard guard(m_lock);
        box.hwnd = hwnd;
        if (!hwnd) {
            std::erase(m_open, &box);
            return 0;
        }
    }
    CreateWindowEx(0, WC_STATIC, text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER, 10, caption_height + 6, box_width - 20,
        box_height - caption_height - button_height - 22, box.hwnd, nullptr, nullptr, nullptr);
    auto buttons = buttons_of(type);
    int total = static_cast<int>(buttons.size()) * button_width + (static_cast<int>(buttons.size()) - 1) * button_gap;
    int left = (box_width - total) / 2;
    for (auto& button : buttons) {
        CreateWindowEx(0, WC_BUTTON, button.label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, left, box_height - button_height - 10,
            button_width, button_height, box.hwnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(button.id)), nullptr, nullptr);
        left += button_width + button_gap;
    }

    bool owner_was_enabled = owner && IsWindowEnabled(owner);
    if (owner_was_enabled)
        EnableWindow(owner, FALSE);
    ShowWindow(box.hwnd, SW_SHOW);
    // The box is on the screen before anyone can answer it.
    UpdateWindow(box.hwnd);
    if (respond)
        PostMessage(box.hwnd, box_respond, 0, 0);
    run_box_loop(box.done);
    // The owner is enabled before the box goes, so that activation returns to it.
    if (owner_was_enabled)
        EnableWindow(owner, TRUE);
    DestroyWindow(box.hwnd);
    std::lock_guard guard(m_lock);
    std::erase(m_open, &box);
    box.record->answer = box.answer;
    return box.answer;
}

void run_box_loop(const bool& done)
{
    while (!done) {
        MSG message {};
        BOOL got = GetMessage(&message, nullptr, 0, 0);
        if (got == 0) {
            // The thread is quitting: the box goes, and the quit is left for the outer loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
}

} // namespace kivo
