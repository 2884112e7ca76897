#include "GwesTestKit.h"
#include "TouchInput.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

using Controls = GwesTest;

TEST_F(Controls, AButtonClicksOnlyWhenReleasedInside)
{
    register_recorder();
    auto& touch = device->component<TouchInput>();
    HWND dialog = make_window(u"dialog", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND button = make_window(u"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, { 100, 100, 180, 140 }, dialog, 0, WC_BUTTON, IDOK);
    auto clicks = [&] {
        size_t count = 0;
        for (auto& seen : log.of(dialog, WM_COMMAND))
            count += LOWORD(seen.wparam) == IDOK && HIWORD(seen.wparam) == BN_CLICKED && reinterpret_cast<HWND>(seen.lparam) == button;
        return count;
    };
    touch.press(110, 110);
    drain();
    EXPECT_EQ(SendMessage(button, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    touch.move(300, 200);
    drain();
    EXPECT_EQ(SendMessage(button, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    touch.release(300, 200);
    drain();
    EXPECT_EQ(clicks(), 0u);
    touch.tap(150, 120);
    drain();
    EXPECT_EQ(clicks(), 1u);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Controls, AProgressBarKeepsItsPositionInItsRange)
{
    register_recorder();
    HWND parent = make_window(u"p", WS_POPUP, { 0, 0, 480, 272 });
    HWND bar = make_window(u"", WS_CHILD | WS_VISIBLE, { 0, 0, 200, 20 }, parent, 0, PROGRESS_CLASS);
    EXPECT_EQ(SendMessage(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 20)), MAKELRESULT(0, 100));
    EXPECT_EQ(SendMessage(bar, PBM_SETPOS, 15, 0), 0);
    EXPECT_EQ(SendMessage(bar, PBM_SETPOS, 50, 0), 15);
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 20);
    PBRANGE range {};
    EXPECT_EQ(SendMessage(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 0);
    EXPECT_EQ(range.iHigh, 20);
    EXPECT_EQ(SendMessage(bar, PBM_GETRANGE, FALSE, 0), 20);
    SendMessage(bar, PBM_SETRANGE, 0, MAKELPARAM(5, 10));
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 10);
    SendMessage(bar, PBM_SETSTEP, 3, 0);
    SendMessage(bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 8);
}

TEST_F(Controls, AMultiLineEditWrapsAtWordsAndNeverScrollsPastTheLastPage)
{
    register_recorder();
    HWND parent = make_window(u"p", WS_POPUP, { 0, 0, 480, 272 });
    // 84 pixels of text per line (ten characters) and three lines visible.
    HWND edit = make_window(u"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL, { 0, 0, 84, 48 }, parent, 0, WC_EDIT);
    SetWindowText(edit, u"one two three four five six\r\n\r\nseventeenletters end");
    // "one two", "three four", "five six", "", "seventeenl", "etters end"
    EXPECT_EQ(SendMessage(edit, EM_GETLINECOUNT, 0, 0), 6);
    WCHAR line[32] {};
    *reinterpret_cast<WORD*>(line) = 31;
    LRESULT length = SendMessage(edit, EM_GETLINE, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(std::u16string(line, static_cast<size_t>(length)), u"three four");
    length = SendMessage(edit, EM_GETLINE, 4, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(std::u16string(line, static_cast<size_t>(length)), u"seventeenl");

    SendMessage(edit, EM_LINESCROLL, 0, 100);
    EXPECT_EQ(SendMessage(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 3);
    SendMessage(edit, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(SendMessage(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
    SendMessage(edit, EM_LINESCROLL, 0, -100);
    EXPECT_EQ(SendMessage(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SCROLLINFO info { sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0 };
    GetScrollInfo(edit, SB_VERT, &info);
    EXPECT_EQ(info.nMax, 5);
    EXPECT_EQ(info.nPage, 3u);
}

TEST_F(Controls, AListViewScrollsByWholeRowsAndReportsItsScrollInformation)
{
    register_recorder();
    HWND parent = make_window(u"p", WS_POPUP, { 0, 0, 480, 272 });
    // A header and five rows of 20 pixels; two columns wider than the control.
    HWND list = make_window(u"", WS_CHILD | WS_VISIBLE | LVS_REPORT, { 0, 0, 200, 120 }, parent, 0, WC_LISTVIEW, 1002);
    for (int width : { 150, 170 }) {
        LVCOLUMN column { LVCF_WIDTH, 0, width, nullptr, 0, 0 };
        SendMessage(list, LVM_INSERTCOLUMN, 9, reinterpret_cast<LPARAM>(&column));
    }
    for (int i = 0; i < 12; ++i) {
        std::u16string text = u"item";
        LVITEM item { LVIF_TEXT, i, 0, 0, 0, text.data(), 0, 0, 0 };
        EXPECT_EQ(SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item)), i);
    }
    EXPECT_EQ(SendMessage(list, LVM_GETCOUNTPERPAGE, 0, 0), 5);

    struct Case {
        int dx;
        int dy;
        int top;
        int x;
    };
    // 9 pixels round to no row, 10 to one; the last page and the right edge stop the scroll.
    const Case cases[] = { { 0, 9, 0, 0 }, { 0, 10, 1, 0 }, { 0, 400, 7, 0 }, { 50, -30, 5, 50 }, { 500, 0, 5, 120 } };
    for (auto& c : cases) {
        SendMessage(list, LVM_SCROLL, static_cast<WPARAM>(c.dx), c.dy);
        EXPECT_EQ(SendMessage(list, LVM_GETTOPINDEX, 0, 0), c.top);
        SCROLLINFO info { sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0 };
        GetScrollInfo(list, SB_HORZ, &info);
        EXPECT_EQ(info.nPos, c.x);
        EXPECT_EQ(info.nMax, 319);
    }
    RECT rect { LVIR_BOUNDS, 0, 0, 0 };
    ASSERT_TRUE(SendMessage(list, LVM_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&rect)));
    EXPECT_EQ(rect.top, 20 + 20);
    EXPECT_EQ(rect.left, -120);
    EXPECT_EQ(rect.right, 200);
    SendMessage(list, WM_VSCROLL, SB_TOP, 0);
    SendMessage(list, WM_VSCROLL, SB_PAGEDOWN, 0);
    SCROLLINFO vertical { sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0 };
    GetScrollInfo(list, SB_VERT, &vertical);
    EXPECT_EQ(vertical.nPos, 5);
    EXPECT_EQ(vertical.nMax, 11);
    EXPECT_EQ(vertical.nPage, 5u);
}

TEST_F(Controls, AListBoxSortsFindsAndSelectsByTap)
{
    register_recorder();
    auto& touch = device->component<TouchInput>();
    HWND parent = make_window(u"p", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND list = make_window(u"", WS_CHILD | WS_VISIBLE | LBS_SORT | LBS_NOTIFY, { 0, 0, 100, 100 }, parent, 0, WC_LISTBOX, 7);
    for (auto* text : { u"pear", u"Apple", u"fig" })
        SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    WCHAR buffer[16] {};
    SendMessage(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(std::u16string(buffer), u"Apple");
    EXPECT_EQ(SendMessage(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"PEAR")), 2);
    EXPECT_EQ(SendMessage(list, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"fi")), 1);
    touch.tap(10, 20);
    drain();
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), 1);
    auto commands = log.of(parent, WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(HIWORD(commands[0].wparam), LBN_SELCHANGE);
    EXPECT_EQ(SendMessage(list, LB_SETCURSEL, 9, 0), LB_ERR);
}
