#include "ScreenTest.h"

#include "gwes/TouchInput.h"

#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF blue = RGB(0, 0, 255);
constexpr COLORREF green = RGB(0, 255, 0);

// A list that handles its own clicks.
class ClickList : public CListCtrl {
public:
    BOOL OnChildNotify(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override
    {
        if (message == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lparam)->code == NM_CLICK) {
            ++clicks;
            *result = 1;
            return TRUE;
        }
        return CListCtrl::OnChildNotify(message, wparam, lparam, result);
    }
    int clicks = 0;
};

// A static that paints on its own colour.
class RedStatic : public CStatic {
public:
    HBRUSH CtlColor(CDC* dc, UINT kind) override
    {
        kinds.push_back(kind);
        dc->SetBkColor(red);
        return m_brush;
    }
    CBrush m_brush { red };
    std::vector<UINT> kinds;
};

// A parent that handles what its controls leave to it, as programs write it: the default first.
class Parent : public CWnd {
public:
    BOOL OnNotify(WPARAM wparam, LPARAM lparam, LRESULT* result) override
    {
        if (CWnd::OnNotify(wparam, lparam, result))
            return TRUE;
        // The lists' paints ask about custom drawing too; the clicks are what is looked at.
        if (reinterpret_cast<LPNMHDR>(lparam)->code == NM_CLICK)
            notified.push_back(static_cast<int>(wparam));
        return TRUE;
    }
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind) override
    {
        if (HBRUSH reflected = CWnd::OnCtlColor(dc, control, kind))
            return reflected;
        coloured.push_back(control->GetDlgCtrlID());
        dc->SetBkColor(blue);
        return m_brush;
    }
    CBrush m_brush { blue };
    std::vector<int> notified;
    std::vector<int> coloured;
};

using Reflection = ScreenTest;

} // namespace

TEST_F(Reflection, NotificationGoesToTheControlsObjectFirstThenToTheParent)
{
    Parent parent;
    parent.CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr);
    ClickList own;
    own.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 200), &parent, 1);
    CListCtrl plain;
    plain.Create(WS_CHILD | WS_VISIBLE, CRect(240, 0, 440, 200), &parent, 2);
    for (CListCtrl* list : { static_cast<CListCtrl*>(&own), &plain }) {
        list->InsertColumn(0, u"name", 0, 200);
        list->InsertItem(0, u"one");
    }
    auto& touch = device->component<TouchInput>();
    for (int x : { 100, 340 }) {
        touch.tap(x, 30);
        drain();
    }
    EXPECT_EQ(own.clicks, 1);
    EXPECT_EQ(parent.notified, std::vector<int> { 2 }) << "only the plain list's click reaches the parent";
    parent.DestroyWindow();
}

TEST_F(Reflection, ControlColouringItselfWinsOverItsParent)
{
    Parent parent;
    parent.CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr);
    RedStatic own;
    own.Create(u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 110, 40), &parent, 1);
    CStatic plain;
    plain.Create(u"", WS_CHILD | WS_VISIBLE, CRect(10, 60, 110, 90), &parent, 2);
    parent.UpdateWindow();
    own.UpdateWindow();
    plain.UpdateWindow();
    drain();
    EXPECT_EQ(pixels_not({ 10, 10, 110, 40 }, red), 0);
    EXPECT_EQ(pixels_not({ 10, 60, 110, 90 }, blue), 0);
    EXPECT_EQ(parent.coloured, std::vector<int> { 2 });
    ASSERT_FALSE(own.kinds.empty());
    EXPECT_EQ(own.kinds.back(), CTLCOLOR_STATIC);

    // The other kinds travel the same way, as a control asking its parent would send them.
    CClientDC dc(&own);
    for (UINT message : { WM_CTLCOLORBTN, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX }) {
        auto answer = parent.SendMessage(message, reinterpret_cast<WPARAM>(dc.m_hDC), reinterpret_cast<LPARAM>(own.m_hWnd));
        EXPECT_EQ(answer, reinterpret_cast<LRESULT>(static_cast<HBRUSH>(own.m_brush))) << message;
        EXPECT_EQ(own.kinds.back(), message - WM_CTLCOLORMSGBOX);
        answer = parent.SendMessage(message, reinterpret_cast<WPARAM>(dc.m_hDC), reinterpret_cast<LPARAM>(plain.m_hWnd));
        EXPECT_EQ(answer, reinterpret_cast<LRESULT>(static_cast<HBRUSH>(parent.m_brush))) << message;
    }
    parent.DestroyWindow();
}

TEST_F(Reflection, DialogBackgroundComesFromItsDialogColourAnswer)
{
    constexpr UINT template_id = 140;
    device->component<DialogTemplates>().add(AfxGetResourceHandle(),
        { template_id, WS_POPUP | WS_VISIBLE, 0, { 0, 0, 480, 272 }, u"green",
            { { 1, WC_STATIC, u"", WS_VISIBLE, { 10, 10, 110, 40 }, 0 } }, true });
    class GreenDialog : public CDialog {
    public:
        HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind) override
        {
            if (kind == CTLCOLOR_DLG)
                return m_brush;
            return CDialog::OnCtlColor(dc, control, kind);
        }
        CBrush m_brush { green };
    } dialog;
    ASSERT_TRUE(dialog.Create(template_id));
    dialog.UpdateWindow();
    drain();
    EXPECT_EQ(pixels_not({ 0, 50, 480, 272 }, green), 0);
    // The static keeps the application's dialog colour.
    EXPECT_EQ(pixels_not({ 10, 10, 110, 40 }, RGB(192, 192, 192)), 0);
    dialog.DestroyWindow();
}
