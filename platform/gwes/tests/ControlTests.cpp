#include "GwesTestKit.h"
#include "TouchInput.h"
#include "kernel/WideText.h"

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

namespace {

// A report view of `rows` rows "row 0" … with two columns 100 wide, in a parent of the recorder
// class, at the top-left of the screen.
HWND make_list(HWND parent, DWORD style, int rows)
{
    HWND list = make_window(u"", WS_CHILD | WS_VISIBLE | LVS_REPORT | style, { 0, 0, 240, 200 }, parent, 0, WC_LISTVIEW, 1008);
    for (int column = 0; column < 2; ++column) {
        std::u16string title = column ? u"folder" : u"name";
        LVCOLUMN description { LVCF_WIDTH | LVCF_TEXT, 0, 100, title.data(), 0, 0 };
        SendMessage(list, LVM_INSERTCOLUMN, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&description));
    }
    for (int row = 0; row < rows; ++row) {
        std::u16string text = u"row " + to_utf16(std::to_string(row));
        LVITEM item { LVIF_TEXT | LVIF_PARAM, row, 0, 0, 0, text.data(), 0, 0, 100 + row };
        SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
    }
    return list;
}

std::u16string item_text(HWND list, int row, int column)
{
    WCHAR buffer[32] {};
    LVITEM item { LVIF_TEXT, row, column, 0, 0, buffer, 32, 0, 0 };
    SendMessage(list, LVM_GETITEMTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

} // namespace

TEST_F(Controls, AListViewTellsItsParentOfTapsDoubleTapsAndColumnTitleTaps)
{
    register_recorder();
    auto& touch = device->component<TouchInput>();
    HWND parent = make_window(u"p", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    struct Notice {
        UINT code;
        int item;
        int column;
    };
    std::vector<Notice> notices;
    log.on_message = [&](HWND, UINT message, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
        if (message != WM_NOTIFY)
            return std::nullopt;
        auto* header = reinterpret_cast<LPNMHDR>(lparam);
        if (header->code == NM_CLICK || header->code == NM_DBLCLK || header->code == LVN_COLUMNCLICK) {
            auto* notice = reinterpret_cast<LPNMLISTVIEW>(lparam);
            notices.push_back({ header->code, notice->iItem, notice->iSubItem });
        }
        return std::nullopt;
    };
    struct Case {
        DWORD ex_style;
        POINT tap;
        bool twice;
        std::vector<UINT> codes;
        int item;
        int column;
        int selected;
    };
    // Rows start below the 20-pixel header; row 1 is at y 40 to 60.
    const Case cases[] = {
        { 0, { 50, 45 }, false, { NM_CLICK }, 1, 0, 1 },
        { 0, { 150, 45 }, false, { NM_CLICK }, -1, 1, -1 },
        { LVS_EX_FULLROWSELECT, { 150, 45 }, false, { NM_CLICK }, 1, 1, 1 },
        { LVS_EX_FULLROWSELECT, { 150, 45 }, true, { NM_CLICK, NM_DBLCLK }, 1, 1, 1 },
        { 0, { 50, 180 }, false, { NM_CLICK }, -1, 0, -1 },
        { 0, { 150, 10 }, false, { LVN_COLUMNCLICK }, -1, 1, -1 },
    };
    for (auto& c : cases) {
        HWND list = make_list(parent, 0, 3);
        SendMessage(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, static_cast<LPARAM>(c.ex_style));
        drain();
        notices.clear();
        touch.tap(c.tap.x, c.tap.y);
        if (c.twice)
            touch.tap(c.tap.x, c.tap.y);
        drain();
        std::vector<UINT> codes;
        for (auto& notice : notices)
            codes.push_back(notice.code);
        EXPECT_EQ(codes, c.codes) << c.tap.x << "," << c.tap.y;
        if (!notices.empty()) {
            EXPECT_EQ(notices.back().item, c.item) << c.tap.x << "," << c.tap.y;
            EXPECT_EQ(notices.back().column, c.column) << c.tap.x << "," << c.tap.y;
        }
        EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), c.selected);
        DestroyWindow(list);
        device->advance(600);
    }
}

TEST_F(Controls, AListViewKeepsItsColumnTitlesInAHeaderWindowUnlessToldNotTo)
{
    register_recorder();
    HWND parent = make_window(u"p", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND titled = make_list(parent, 0, 2);
    HWND header = reinterpret_cast<HWND>(SendMessage(titled, LVM_GETHEADER, 0, 0));
    ASSERT_TRUE(IsWindow(header));
    EXPECT_EQ(GetParent(header), titled);
    EXPECT_TRUE(IsWindowVisible(header));
    EXPECT_EQ(SendMessage(header, HDM_GETITEMCOUNT, 0, 0), 2);
    WCHAR text[16] {};
    HDITEM item { HDI_TEXT | HDI_WIDTH, 0, text, nullptr, 16, 0, 0 };
    ASSERT_TRUE(SendMessage(header, HDM_GETITEM, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(std::u16string(text), u"folder");
    SendMessage(titled, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(60, 0));
    RECT rect {};
    ASSERT_TRUE(SendMessage(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rect)));
    EXPECT_EQ(rect.left, 60) << "the header follows the columns' widths";
    EXPECT_EQ(rect.right, 160);
    EXPECT_EQ(rect.bottom, 20);
    EXPECT_FALSE(SendMessage(header, HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect)));

    HWND untitled = make_list(parent, LVS_NOCOLUMNHEADER, 2);
    EXPECT_FALSE(IsWindowVisible(reinterpret_cast<HWND>(SendMessage(untitled, LVM_GETHEADER, 0, 0))));
    for (HWND list : { titled, untitled }) {
        RECT row { LVIR_BOUNDS, 0, 0, 0 };
        ASSERT_TRUE(SendMessage(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)));
        EXPECT_EQ(row.top, list == titled ? 20 : 0);
        EXPECT_EQ(SendMessage(list, LVM_GETCOUNTPERPAGE, 0, 0), list == titled ? 9 : 10);
    }
}

namespace {

HWND g_sorted_list = nullptr;

// Compares two rows by the text of the column in `column`, finding each row by its item data
// (its index before the sort), as the programs do.
int compare_by_text(LPARAM first, LPARAM second, LPARAM column)
{
    auto a = item_text(g_sorted_list, static_cast<int>(first), static_cast<int>(column & 0xFF));
    auto b = item_text(g_sorted_list, static_cast<int>(second), static_cast<int>(column & 0xFF));
    int order = a.compare(b);
    return (column & 0x100) ? -order : order;
}

int always_before(LPARAM, LPARAM, LPARAM) { return -1; }

} // namespace

TEST_F(Controls, AListViewSortsItsRowsByTheCallersComparisonOfTheirData)
{
    register_recorder();
    HWND parent = make_window(u"p", WS_POPUP | WS_VISIBLE, { 0, 0, 480, 272 });
    HWND list = make_list(parent, 0, 0);
    g_sorted_list = list;
    const char16_t* names[] = { u"pear", u"apple", u"fig", u"apple2" };
    const char16_t* folders[] = { u"b", u"d", u"a", u"c" };
    for (int row = 0; row < 4; ++row) {
        LVITEM item { LVIF_TEXT, row, 0, 0, 0, const_cast<LPWSTR>(names[row]), 0, 0, 0 };
        SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
        LVITEM folder { LVIF_TEXT, row, 1, 0, 0, const_cast<LPWSTR>(folders[row]), 0, 0, 0 };
        SendMessage(list, LVM_SETITEMTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&folder));
    }
    LVITEM selected { LVIF_STATE, 0, 0, LVIS_SELECTED, LVIS_SELECTED, nullptr, 0, 0, 0 };
    SendMessage(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&selected));
    SendMessage(list, LVM_SETSELECTIONMARK, 0, 2);

    struct Case {
        LPARAM column_and_direction;
        std::vector<std::u16string> names;
        int fig_row;
    };
    const Case cases[] = {
        { 0, { u"apple", u"apple2", u"fig", u"pear" }, 2 },
        { 0x100, { u"pear", u"fig", u"apple2", u"apple" }, 1 },
        { 1, { u"fig", u"pear", u"apple2", u"apple" }, 0 },
    };
    for (auto& c : cases) {
        // Each row's data is its index before the sort.
        for (int row = 0; row < 4; ++row) {
            LVITEM data { LVIF_PARAM, row, 0, 0, 0, nullptr, 0, 0, row };
            SendMessage(list, LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&data));
        }
        ASSERT_TRUE(SendMessage(list, LVM_SORTITEMS, static_cast<WPARAM>(c.column_and_direction), reinterpret_cast<LPARAM>(compare_by_text)));
        std::vector<std::u16string> order;
        for (int row = 0; row < 4; ++row)
            order.push_back(item_text(list, row, 0));
        EXPECT_EQ(order, c.names);
        EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), c.fig_row) << "the selection travels with its row";
        EXPECT_EQ(SendMessage(list, LVM_GETSELECTIONMARK, 0, 0), c.fig_row);
        EXPECT_EQ(item_text(list, c.fig_row, 1), u"a") << "sub-items travel with their row";
    }
    // A comparison that contradicts itself still leaves every row, once.
    ASSERT_TRUE(SendMessage(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(always_before)));
    std::vector<std::u16string> left;
    for (int row = 0; row < 4; ++row)
        left.push_back(item_text(list, row, 0));
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::u16string> { u"apple", u"apple2", u"fig", u"pear" }));
    EXPECT_FALSE(SendMessage(list, LVM_SORTITEMS, 0, 0));
    g_sorted_list = nullptr;
}
