// The skinned question box: a modal window laid out by a skin file, answering the name of the
// button pressed.

#include "MessageBoxes.h"
#include "SkinBoxes.h"
#include "SkinkitState.h"

#include "kernel/Device.h"
#include "kernel/Process.h"
#include "WindowManager.h"

using namespace skinkit;

namespace {

constexpr const char16_t* box_class = u"ZolMessageBoxEx";
constexpr const char16_t* layout_section = u"layout";
constexpr const char16_t* text_section = u"text";
constexpr const char16_t* title_section = u"title";
constexpr RECT default_rect { 90, 66, 390, 206 };
constexpr COLORREF box_background = RGB(16, 40, 72);

struct OpenBox {
    CLayout layout;
    StaticInfo text;
    StaticInfo title;
    bool hasTitle = false;
    bool done = false;
    std::u16string answer;
    std::shared_ptr<kivo::SkinBoxRecord> record;
};

kivo::SkinBoxes& boxes()
{
    return kivo::Process::current().device().component<kivo::SkinBoxes>();
}

// Presses a button by its name as a tap would: only an enabled button of the box answers.
void press(OpenBox& box, const std::u16string& name)
{
    CLayoutBtn* button = name.empty() ? nullptr : box.layout.FindButtonByName(name.c_str());
    if (!button || button->m_bDisabled)
        return;
    RECT rect = button->GetRect();
    POINT centre { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
    box.layout.OnLButtonDown(0, centre);
    box.layout.OnLButtonUp(0, centre);
}

LRESULT CALLBACK box_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* box = reinterpret_cast<OpenBox*>(GetWindowLongPtr(hwnd, GWL_USERDATA));
    POINT point { GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam) };
    switch (message) {
    case WM_CREATE:
        SetWindowLongPtr(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCT*>(lparam)->lpCreateParams));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (box) {
            RECT client {};
            GetClientRect(hwnd, &client);
            HBRUSH brush = CreateSolidBrush(box_background);
            FillRect(dc, &client, brush);
            DeleteObject(brush);
            box->layout.DrawLayout(dc);
            if (box->hasTitle)
                DrawStaticText2(dc, box->title);
            DrawStaticText(dc, box->text, 0);
        }
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (box)
            box->layout.OnLButtonDown(static_cast<UINT>(wparam), point);
        return 0;
    case WM_MOUSEMOVE:
        if (box)
            box->layout.OnMouseMove(static_cast<UINT>(wparam), point);
        return 0;
    case WM_LBUTTONUP:
        if (box)
            box->layout.OnLButtonUp(static_cast<UINT>(wparam), point);
        return 0;
    case WM_LAYOUTBTN_CLICK:
        if (box && !box->done) {
            box->done = true;
            box->answer = static_cast<LPCWSTR>(reinterpret_cast<CLayoutBtn*>(lparam)->m_strName);
        }
        return 0;
    case kivo::skin_box_answer:
        if (box)
            press(*box, boxes().take_pending(hwnd));
        return 0;
    case kivo::skin_box_respond:
        if (box) {
            if (auto responder = boxes().responder(); responder && box->record)
                press(*box, responder(*box->record));
        }
        return 0;
    case WM_CLOSE:
        if (box)
            box->done = true;
        return 0;
    default:
        return DefWindowProc(hwnd, message, wparam, lparam);
    }
}

void register_box_class()
{
    WNDCLASS description {};
    description.lpfnWndProc = box_proc;
    description.lpszClassName = box_class;
    // A second registration in the same process fails harmlessly.
    RegisterClass(&description);
}

} // namespace

int ZolMessageBoxEx(LPWSTR answer, int answerChars, LPCWSTR file, LPCWSTR text, HWND parent)
{
    copy_to(answer, answerChars, {});
    register_box_class();
    SkinFile skin(file);
    RECT rect = skin.rect(u"panel", u"rect").value_or(default_rect);
    HWND owner = parent ? kivo::Process::current().device().component<kivo::WindowManager>().top_level_of(parent) : nullptr;

    OpenBox box;
    box.hasTitle = GetStaticCtlInfoFromSetting(box.title, title_section, file);
    if (!GetStaticCtlInfoFromSetting(box.text, text_section, file))
        box.text.rect = { 10, 10, rect.right - rect.left - 10, (rect.bottom - rect.top) / 2 };
    box.text.text = text ? text : u"";

    HWND hwnd = CreateWindowEx(WS_EX_TOPMOST, box_class, u"", WS_POPUP, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, owner, nullptr, nullptr, &box);
    if (!hwnd)
        return 0;
    box.layout.InitLayout(file, layout_section, hwnd);
    box.record = boxes().opened(hwnd,
        { owner, file ? file : u"", box.text.text.operator LPCWSTR(), {}, true, kivo::Process::current().device().clock().now_ms(),
            GetCurrentProcessId() });

    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    if (boxes().responder())
        PostMessage(hwnd, kivo::skin_box_respond, 0, 0);
    kivo::run_box_loop(box.done);
    // The owner is enabled before the box goes, so that activation returns to it.
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    DestroyWindow(hwnd);
    boxes().closed(hwnd, box.record, box.answer);
    copy_to(answer, answerChars, box.answer);
    return box.answer.empty() ? 0 : 1;
}

void al_EnablePlayTouchSound(BOOL enable)
{
    state().touchSound = enable != FALSE;
}
