// The message dialog: its statics or the caller's text, its placing from the skin, and how each
// way of closing it answers.

#include "PhoneCoreTest.h"

#include "PhoneMessages.h"
#include "SearchPairDlg.h"

using namespace phone::test;

namespace {

// A dialog of three statics, with an "errinfo" that it must not show.
constexpr const char* three_statics_ini = "[panel]\nrect=40,30,360,200\nCursorpoint=100,200\n"
                                          "[Static]\ncount=3\n"
                                          "[Static1]\nrect=40,6,280,32\nText=Pair with this phone?\nAlign=center\n"
                                          "[Static2]\nrect=12,44,308,70\nText=Nokia 6300\nTextColor=255,255,0\n"
                                          "[Static3]\nrect=12,76,308,102\nTextId=14042\n"
                                          "[errinfo]\nrect=12,104,308,116\n"
                                          "[Info_layout]\nrect=0,0,320,170\nPic=PhoneManager\\msgbox.bmp\ncount=2\nButton1=ok\nButton2=x\n"
                                          "[ok]\nname=OK\nrect=105,118,215,158\nPic=PhoneManager\\button.bmp\nTextId=14102\n"
                                          "[x]\nname=EXIT\nrect=284,5,314,31\nPic=PhoneManager\\close.bmp\n";

class MessageDialogTest : public PhoneCoreTest {
protected:
    // Runs the dialog of a skin file on the program's main thread until it ends.
    void open(const char16_t* file, int mode, void* context, const char16_t* text = u"")
    {
        std::u16string name = file;
        std::u16string message = text;
        start([this, name, mode, context, message] {
            CSearchPairDlg dialog;
            dialog.SetSkinFile(name.c_str(), mode, context);
            dialog.SetErrorText(message.c_str(), true);
            m_result = dialog.DoModal();
        });
        m_hwnd = GetForegroundWindow();
    }

    RECT window_rect()
    {
        RECT rect {};
        GetWindowRect(m_hwnd, &rect);
        return rect;
    }

    // Where the dialog stands and where the cursor is.
    void expect_placed(RECT expected, POINT cursor_expected)
    {
        RECT rect = window_rect();
        EXPECT_EQ(rect.left, expected.left);
        EXPECT_EQ(rect.top, expected.top);
        EXPECT_EQ(rect.right, expected.right);
        EXPECT_EQ(rect.bottom, expected.bottom);
        POINT cursor {};
        GetCursorPos(&cursor);
        EXPECT_EQ(cursor.x, cursor_expected.x);
        EXPECT_EQ(cursor.y, cursor_expected.y);
    }

    HWND m_hwnd = nullptr;
    INT_PTR m_result = -1;
};

int g_context = 0;

} // namespace

TEST_F(MessageDialogTest, AFileWithStaticsShowsThemAndIgnoresTheCallersText)
{
    write_skin_file(u"PhoneManager\\Pair.ini", three_statics_ini);
    open(u"Pair.ini", 1, &g_context, u"Caller's text");
    auto png = shot("phone-message-three-statics");
    for (auto text : { u"Pair with this phone?", u"Nokia 6300", u"Please wait..." })
        EXPECT_TRUE(draw_log().find_shown_text(text, 0).has_value()) << kivo::to_utf8(text);
    EXPECT_FALSE(draw_log().find_shown_text(u"Caller's text", 0).has_value());
    // Placed by the skin, with the cursor where it asks.
    expect_placed({ 40, 30, 360, 200 }, { 100, 200 });
    EXPECT_EQ(png.pixel_565(40 + 110, 30 + 150), c565(kivo::BitmapCanvas::Palette::panel_light)); // "OK"
    tap(40 + 160, 30 + 138);
    EXPECT_EQ(m_result, IDOK);
}

TEST_F(MessageDialogTest, WithoutStaticsTheCallersTextIsTheMessage)
{
    open(u"errmessagebox.ini", 0, nullptr, u"Dial-up connection failed");
    shot("phone-message-error-text");
    EXPECT_TRUE(draw_log().find_shown_text(u"Dial-up connection failed", 0).has_value());
    EXPECT_TRUE(draw_log().find_shown_text(u"OK", 0).has_value());
    RECT rect = window_rect();
    EXPECT_EQ(rect.left, 80);
    EXPECT_EQ(rect.top, 51);
    tap(80 + 160, 51 + 138);
    EXPECT_EQ(m_result, IDOK);
}

TEST_F(MessageDialogTest, EachWayOfClosingGivesItsAnswer)
{
    struct Case {
        const char* name;
        int mode;
        void* context;
        POINT tap; // in the dialog; none: WM_PHONE_CLOSE from the opener
        INT_PTR result;
    } cases[] = {
        { "OK in mode 1 without a record", 1, nullptr, { 160, 138 }, IDCANCEL },
        { "OK in mode 1 with a record", 1, &g_context, { 160, 138 }, IDOK },
        { "OK in mode 2", 2, nullptr, { 160, 138 }, IDOK },
        { "exit", 0, nullptr, { 299, 18 }, IDCANCEL },
        { "closed by the opener", 2, nullptr, { -1, -1 }, IDCANCEL },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(u"errmessagebox.ini", c.mode, c.context, u"Pairing failed");
        ASSERT_NE(m_hwnd, nullptr);
        if (c.tap.x < 0)
            SendMessage(m_hwnd, WM_PHONE_CLOSE, 0, 0);
        else
            tap(80 + c.tap.x, 51 + c.tap.y);
        device->run_until_idle();
        EXPECT_EQ(m_result, c.result);
    }
}

TEST_F(MessageDialogTest, TheOpenerHidesAndShowsIt)
{
    open(u"errmessagebox.ini", 0, nullptr, u"Pairing failed");
    SendMessage(m_hwnd, WM_PHONE_SHOWHIDE, SW_HIDE, 0);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    SendMessage(m_hwnd, WM_PHONE_SHOWHIDE, SW_SHOW, 0);
    EXPECT_TRUE(IsWindowVisible(m_hwnd));
    device->run_until_idle();
    SendMessage(m_hwnd, WM_PHONE_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_EQ(m_result, IDCANCEL);
}

TEST_F(MessageDialogTest, TheFileNameIsTakenAsItStandsAndTheDefaultsPlaceIt)
{
    // A '%' in the name is no format; a skin without "rect" or "Cursorpoint" leaves the window at
    // 320 by 240 in the corner and the cursor where it was.
    write_skin_file(u"PhoneManager\\100%d%s.ini", "[Static]\ncount=1\n[Static1]\nrect=10,10,300,40\nText=Named with percent\n");
    SetCursorPos(7, 9);
    open(u"100%d%s.ini", 0, nullptr);
    shot("phone-message-defaults");
    EXPECT_TRUE(draw_log().find_shown_text(u"Named with percent", 0).has_value());
    expect_placed({ 0, 0, 320, 240 }, { 7, 9 });
    SendMessage(m_hwnd, WM_PHONE_CLOSE, 0, 0);
    device->run_until_idle();
}

TEST_F(MessageDialogTest, ALanguageChangeRelabelsItsStaticsAndButtons)
{
    write_skin_file(u"PhoneManager\\Pair.ini", three_statics_ini);
    // A thread of the program that changes the language when told, as the main panel does.
    static DWORD switcher = 0;
    static HWND dialog = nullptr;
    start([this] {
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                MSG message;
                PeekMessage(&message, nullptr, 0, 0, PM_NOREMOVE);
                switcher = GetCurrentThreadId();
                if (GetMessage(&message, nullptr, 0, 0) > 0) {
                    SetLanguageFile(chinese);
                    PostMessage(dialog, WM_PHONE_LANGCHANGED, 0, 0);
                }
                return 0;
            },
            nullptr, 0, nullptr);
        CloseHandle(thread);
        CSearchPairDlg pair;
        pair.SetSkinFile(u"Pair.ini", 1, &g_context);
        m_result = pair.DoModal();
    });
    dialog = GetForegroundWindow();
    ASSERT_NE(switcher, 0u);
    draw_log().clear();
    PostThreadMessage(switcher, WM_APP, 0, 0);
    device->run_until_idle();
    shot("phone-message-chinese");
    EXPECT_TRUE(draw_log().find_shown_text(u"請稍候...", 0).has_value());
    EXPECT_TRUE(draw_log().find_shown_text(u"確定", 0).has_value());
    EXPECT_TRUE(draw_log().find_shown_text(u"Pair with this phone?", 0).has_value());
    SendMessage(dialog, WM_PHONE_CLOSE, 0, 0);
    device->run_until_idle();
    EXPECT_EQ(m_result, IDCANCEL);
}
