// The player's message box over the play list: which picture and buttons each message shows,
// what its buttons answer, and the notify codes that end it.

#include "ListHost.h"

#include "DAPI.h"
#include "MessagePictures.h"

namespace kivo::test {
namespace {

using MessageBoxes = ListHostTest;

bool bitmap_at(const std::vector<DrawLog::Entry>& entries, UINT id, LONG x, LONG y)
{
    return std::any_of(entries.begin(), entries.end(),
        [&](auto& e) { return e.bitmap_id == id && e.rect.left == x && e.rect.top == y && e.painted; });
}

CRect place_of(CWnd& button)
{
    CRect rect;
    button.GetWindowRect(&rect);
    return rect;
}

struct Shown {
    bool shown;
    POINT at;
};

TEST_F(MessageBoxes, EachModeShowsItsPictureAndItsButtons)
{
    ASSERT_NE(host_window(), nullptr);
    struct Case {
        int mode;
        POINT picture_at;
        bool framed;
        Shown ok;
        UINT ok_picture;
        Shown x;
    } cases[] = {
        { 0, { 60, 35 }, false, { true, { 350, 190 } }, IDB_MESSAGE_OK, { true, { 75, 190 } } },
        { 1, { 60, 35 }, false, { true, { 350, 190 } }, IDB_MESSAGE_OK, { true, { 75, 190 } } },
        { 2, { 60, 35 }, false, { false, {} }, IDB_MESSAGE_OK, { true, { 350, 190 } } },
        { 3, { 80, 65 }, true, { true, { 400, 220 } }, IDB_SOUND_OK, { false, {} } },
        { 4, { 80, 65 }, true, { true, { 400, 220 } }, IDB_SOUND_OK, { false, {} } },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.mode);
        forget_drawing();
        open(c.mode);
        ASSERT_NE(g_host.message, nullptr);
        CMsgDlg& box = *g_host.message;
        review_screenshot(*device, "message-mode-" + std::to_string(c.mode));
        auto entries = drawn();
        EXPECT_TRUE(bitmap_at(entries, IDB_MESSAGE_FIRST + static_cast<UINT>(c.mode), c.picture_at.x, c.picture_at.y));
        EXPECT_EQ(bitmap_at(entries, IDB_MESSAGE_FRAME, 0, 0), c.framed);
        struct Button {
            const char* name;
            CWnd& window;
            Shown expected;
            UINT picture;
        } buttons[] = { { "OK", box.m_Ok, c.ok, c.ok_picture }, { "X", box.m_Dismiss, c.x, IDB_MESSAGE_X } };
        for (auto& b : buttons) {
            SCOPED_TRACE(b.name);
            EXPECT_EQ(b.window.IsWindowVisible() != FALSE, b.expected.shown);
            if (!b.expected.shown)
                continue;
            EXPECT_EQ(place_of(b.window), CRect(b.expected.at.x, b.expected.at.y, b.expected.at.x + 63, b.expected.at.y + 39));
            EXPECT_TRUE(bitmap_at(entries, b.picture, b.expected.at.x, b.expected.at.y));
        }
        tap_centre(c.x.shown ? static_cast<CWnd&>(box.m_Dismiss) : box.m_Ok);
        ASSERT_EQ(g_host.message, nullptr) << "a tap on its button ends the box";
    }
}

TEST_F(MessageBoxes, OnlyOkConfirmsAndXLeavesTheMode)
{
    ASSERT_NE(host_window(), nullptr);
    struct Case {
        int mode;
        bool tap_ok;
        int mode_after;
    } cases[] = {
        { 0, true, 5 },
        { 0, false, 0 },
        { 1, true, 5 },
        { 1, false, 1 },
        { 2, false, 2 },
        { 3, true, 5 },
        { 4, true, 5 },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.tap_ok ? " OK" : " X"));
        open(c.mode);
        ASSERT_NE(g_host.message, nullptr);
        tap_centre(c.tap_ok ? static_cast<CWnd&>(g_host.message->m_Ok) : g_host.message->m_Dismiss);
        EXPECT_EQ(g_host.message, nullptr);
        EXPECT_EQ(g_host.message_result, IDOK);
        EXPECT_EQ(g_host.mode_after, c.mode_after);
    }
    // The list under the box was left as it was, and takes taps again.
    EXPECT_TRUE(::IsWindowEnabled(host_window()));
}

TEST_F(MessageBoxes, CardRemovalUsbAndTheCloseRequestEndItWith34)
{
    ASSERT_NE(host_window(), nullptr);
    for (WPARAM code : { DRV_SD_RMV2, APP_USB_CONNECTED, APP_CLOSE }) {
        SCOPED_TRACE(code);
        open(CMsgDlg::mode_reload_card);
        ASSERT_NE(g_host.message, nullptr);
        // A pause for the navigation voice leaves it open.
        PostMessage(g_host.message->m_hWnd, WM_KIVO_NOTIFY, APP_MEDIA_PAUSE, 0);
        device->run_until_idle();
        ASSERT_NE(g_host.message, nullptr);
        PostMessage(g_host.message->m_hWnd, WM_KIVO_NOTIFY, code, 0);
        device->run_until_idle();
        EXPECT_EQ(g_host.message, nullptr);
        EXPECT_EQ(g_host.message_result, 34);
        EXPECT_EQ(g_host.mode_after, CMsgDlg::mode_reload_card);
    }
}

// Outside navigation mode a button's key click also lets the backlight go off again on its timer;
// beside the navigation program it only clicks, leaving the backlight as the navigation wants it.
TEST_F(MessageBoxes, TheKeyClickKeepsTheBacklightAloneInNavigationMode)
{
    ASSERT_NE(host_window(), nullptr);
    auto host = device->find_process(list_host_image);
    ASSERT_NE(host, nullptr);
    for (bool navigation : { false, true }) {
        SCOPED_TRACE(navigation ? "navigation" : "alone");
        g_navigation_window = navigation ? host_window() : nullptr;
        device->create_thread(*host, [] {
            DAPI_EnableBacklightOff(0);
            return DWORD { 0 };
        });
        open(CMsgDlg::mode_delete_list);
        ASSERT_NE(g_host.message, nullptr);
        ASSERT_FALSE(backlight().backlight_off_allowed);
        tap_centre(g_host.message->m_Dismiss);
        EXPECT_EQ(backlight().backlight_off_allowed, !navigation);
    }
}

// Each line of a message picture fits the box it is centred in and keeps clear of the buttons'
// row, measured as the screen measures text: a longer line would lose its ends or go under a button.
TEST_F(MessageBoxes, EveryLineFitsItsPictureAboveTheButtons)
{
    add_message_resources();
    HDC dc = CreateCompatibleDC(nullptr);
    for (const MessageLine& line : message_picture_lines()) {
        SCOPED_TRACE(testing::Message() << "picture " << line.picture);
        bool card = line.picture >= IDB_MESSAGE_FIRST + 3;
        SIZE picture = card ? card_message_size : message_picture_size;
        EXPECT_TRUE(line.box.left >= 0 && line.box.top >= 0 && line.box.right <= picture.cx && line.box.bottom <= picture.cy);
        if (!card) {
            EXPECT_LE(line.box.bottom, 190 - 35) << "the buttons' row starts at y 190 on the screen";
        }
        LOGFONT logical {};
        logical.lfHeight = line.height;
        HFONT font = CreateFontIndirect(&logical);
        HGDIOBJ previous = SelectObject(dc, font);
        SIZE size {};
        GetTextExtentPoint32(dc, line.text.data(), static_cast<int>(line.text.size()), &size);
        SelectObject(dc, previous);
        DeleteObject(font);
        EXPECT_LE(size.cx, line.box.right - line.box.left);
        EXPECT_LE(size.cy, line.box.bottom - line.box.top);
    }
    DeleteDC(dc);
}

} // namespace
} // namespace kivo::test
