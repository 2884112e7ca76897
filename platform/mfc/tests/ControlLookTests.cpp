#include "ScreenTest.h"

#include "BitmapCanvas.h"
#include "gwes/MessageBoxes.h"
#include "gwes/TouchInput.h"

#include <functional>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr char16_t image[] = u"\\NAND\\App\\Looks.exe";
constexpr UINT looks_template = 120;
constexpr int bitmap_button = 1001;
constexpr int push_button = 1002;
constexpr int label = 1003;
constexpr int picture = 1004;
constexpr UINT up_face = 301;
constexpr UINT down_face = 302;
constexpr COLORREF up_colour = RGB(0, 160, 0);
constexpr COLORREF down_colour = RGB(200, 0, 0);
constexpr COLORREF dialog_colour = RGB(0, 17, 56);

void register_looks(Device& device, Gdi& gdi)
{
    HMODULE module = device.register_module(image);
    auto& table = gdi.resources(module);
    table.add_bitmap(up_face, 60, 30, [](BitmapCanvas& canvas) { canvas.fill(up_colour); });
    table.add_bitmap(down_face, 60, 30, [](BitmapCanvas& canvas) { canvas.fill(down_colour); });
    device.component<DialogTemplates>().add(module,
        { looks_template, WS_POPUP | WS_VISIBLE, 0, { 0, 0, 480, 272 }, u"looks",
            { { bitmap_button, WC_BUTTON, u"", WS_VISIBLE | BS_OWNERDRAW, { 100, 10, 120, 20 }, 0 },
                { push_button, WC_BUTTON, u"Start", WS_VISIBLE | BS_PUSHBUTTON, { 10, 100, 110, 140 }, 0 },
                { label, WC_STATIC, u"Hello there", WS_VISIBLE | SS_CENTER, { 200, 100, 400, 130 }, 0 },
                { picture, WC_STATIC, u"", WS_VISIBLE | SS_BITMAP, { 300, 200, 360, 230 }, 0 } },
            true });
}

class LooksDialog : public CDialog {
public:
    LooksDialog()
        : CDialog(looks_template)
    {
    }
    void DoDataExchange(CDataExchange* exchange) override
    {
        DDX_Control(exchange, bitmap_button, m_button);
        DDX_Control(exchange, picture, m_picture);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_button.LoadBitmaps(up_face, down_face);
        m_button.SizeToContent();
        m_face.LoadBitmap(down_face);
        m_picture.SetBitmap(m_face);
        return TRUE;
    }
    BOOL OnCommand(WPARAM wparam, LPARAM lparam) override
    {
        if (LOWORD(wparam) == bitmap_button && HIWORD(wparam) == BN_CLICKED) {
            ++clicks;
            return TRUE;
        }
        return CDialog::OnCommand(wparam, lparam);
    }

    CBitmapButton m_button;
    CStatic m_picture;
    CBitmap m_face;
    int clicks = 0;
};

class LooksApp : public CWinApp {
public:
    explicit LooksApp(std::function<void(LooksDialog&)> seen)
        : m_seen(std::move(seen))
    {
    }
    BOOL InitInstance() override
    {
        SetDialogBkColor(dialog_colour, RGB(255, 255, 255));
        LooksDialog dialog;
        m_seen(dialog);
        dialog.DoModal();
        return FALSE;
    }

private:
    std::function<void(LooksDialog&)> m_seen;
};

class ControlLooks : public ScreenTest {
protected:
    ControlLooks() { register_looks(*device, gdi); }

    LooksDialog* start_looks()
    {
        device->programs().add(image, [this](std::u16string_view command_line) {
            LooksApp app([this](LooksDialog& dialog) { m_dialog = &dialog; });
            return AfxWinMain(app, command_line);
        });
        DWORD error = 0;
        device->create_process(image, u"", error);
        device->run_until_idle();
        return m_dialog;
    }

    // The bitmaps blitted since the log was last cleared, by resource number, in order.
    std::vector<UINT> blitted()
    {
        std::vector<UINT> ids;
        for (auto& entry : gdi.draw_log().entries()) {
            if (entry.bitmap_id)
                ids.push_back(entry.bitmap_id);
        }
        return ids;
    }

    LooksDialog* m_dialog = nullptr;
};

} // namespace

TEST_F(ControlLooks, BitmapButtonShowsItsDownFaceWhilePressedAndClicksOnRelease)
{
    LooksDialog* dialog = start_looks();
    ASSERT_NE(dialog, nullptr);
    CRect rect;
    dialog->m_button.GetWindowRect(rect);
    EXPECT_EQ(rect, CRect(100, 10, 160, 40)) << "sized to its up face";
    auto up = gdi.draw_log().last_bitmap(up_face);
    ASSERT_TRUE(up);
    EXPECT_EQ(CRect(up->rect), CRect(100, 10, 160, 40));
    EXPECT_EQ(pixels_not({ 100, 10, 160, 40 }, up_colour), 0);

    auto& touch = device->component<TouchInput>();
    gdi.draw_log().clear();
    touch.press(130, 25);
    device->run_until_idle();
    EXPECT_EQ(blitted(), std::vector<UINT> { down_face });
    EXPECT_EQ(pixels_not({ 100, 10, 160, 40 }, down_colour), 0);
    EXPECT_EQ(dialog->clicks, 0);

    gdi.draw_log().clear();
    touch.release(130, 25);
    device->run_until_idle();
    EXPECT_EQ(blitted(), std::vector<UINT> { up_face });
    EXPECT_EQ(dialog->clicks, 1);

    // Released outside, it goes back up without a click.
    gdi.draw_log().clear();
    touch.press(130, 25);
    device->run_until_idle();
    touch.move(300, 25);
    touch.release(300, 25);
    device->run_until_idle();
    EXPECT_EQ(blitted(), (std::vector<UINT> { down_face, up_face }));
    EXPECT_EQ(pixels_not({ 100, 10, 160, 40 }, up_colour), 0);
    EXPECT_EQ(dialog->clicks, 1);
}

TEST_F(ControlLooks, PushButtonsStaticsAndTheDialogBackgroundDraw)
{
    ASSERT_NE(start_looks(), nullptr);
    auto start = gdi.draw_log().last_text(u"Start");
    ASSERT_TRUE(start);
    EXPECT_TRUE(start->painted);
    // Centred in the button.
    EXPECT_NEAR((start->rect.left + start->rect.right) / 2, 60, 1);
    EXPECT_NEAR((start->rect.top + start->rect.bottom) / 2, 120, 1);
    auto hello = gdi.draw_log().last_text(u"Hello there");
    ASSERT_TRUE(hello);
    EXPECT_TRUE(hello->painted);
    EXPECT_EQ(hello->colour, RGB(255, 255, 255)) << "statics take the dialog's text colour";
    EXPECT_NEAR((hello->rect.left + hello->rect.right) / 2, 300, 1);
    auto face = gdi.draw_log().last_bitmap(down_face);
    ASSERT_TRUE(face);
    EXPECT_EQ(CRect(face->rect), CRect(300, 200, 360, 230)) << "the picture static shows its bitmap";
    EXPECT_EQ(pixels_not({ 0, 50, 480, 90 }, dialog_colour), 0) << "the dialog's own colour behind its controls";
    EXPECT_EQ(pixels_not({ 200, 100, 210, 130 }, dialog_colour), 0) << "statics sit on the dialog's colour";
}

TEST_F(ControlLooks, ProgressBarFillsByItsPosition)
{
    HWND parent = CreateWindowEx(0, u"KivoWnd", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
    // 200 pixels inside the frame.
    HWND bar = CreateWindowEx(0, PROGRESS_CLASS, u"", WS_CHILD | WS_VISIBLE, 10, 10, 202, 12, parent, nullptr, nullptr, nullptr);
    SendMessage(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 40));
    struct Case {
        int position;
        int filled;
    };
    for (auto [position, filled] : { Case { 0, 0 }, Case { 10, 50 }, Case { 30, 150 }, Case { 40, 200 }, Case { 99, 200 } }) {
        SendMessage(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        UpdateWindow(bar);
        int bar_pixels = 0;
        for (int x = 11; x < 211; ++x)
            bar_pixels += pixel(x, 16) == c565(RGB(0, 120, 215));
        EXPECT_EQ(bar_pixels, filled) << "position " << position;
        EXPECT_EQ(pixels_not({ 11 + filled, 11, 211, 21 }, RGB(255, 255, 255)), 0) << "position " << position;
    }
    DestroyWindow(parent);
}

TEST_F(ControlLooks, MessageBoxIsOnScreenWhileItsResponderAnswers)
{
    auto& boxes = device->component<MessageBoxes>();
    std::optional<DrawLog::Entry> text_seen;
    std::optional<DrawLog::Entry> ok_seen;
    boxes.set_responder([&](const MessageBoxRecord&) {
        text_seen = gdi.draw_log().last_text(u"Card removed");
        ok_seen = gdi.draw_log().last_text(u"OK");
        return IDOK;
    });
    int answer = 0;
    device->programs().add(u"\\box.exe", [&](std::u16string_view) {
        answer = MessageBox(nullptr, u"Card removed", u"Notice", MB_OK);
        return 0;
    });
    DWORD error = 0;
    device->create_process(u"\\box.exe", u"", error);
    device->run_until_idle();
    EXPECT_EQ(answer, IDOK);
    ASSERT_TRUE(text_seen);
    EXPECT_TRUE(text_seen->painted);
    ASSERT_TRUE(ok_seen);
    EXPECT_TRUE(ok_seen->painted);
    auto caption = gdi.draw_log().last_text(u"Notice");
    ASSERT_TRUE(caption);
    EXPECT_EQ(caption->colour, RGB(255, 255, 255));
}
