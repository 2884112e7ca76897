#include "ScreenTest.h"

#include "gwes/TouchInput.h"

using namespace kivo;
using namespace kivo::test;

namespace {

// Counts the presses and double clicks that reach it.
class TapCounter : public CWnd {
public:
    void OnLButtonDown(UINT, CPoint) override { ++presses; }
    void OnLButtonDblClk(UINT, CPoint) override { ++double_clicks; }
    int presses = 0;
    int double_clicks = 0;
};

class DoubleClicks : public ScreenTest {
protected:
    static void register_class_with_double_clicks(const char16_t* name)
    {
        WNDCLASS own {};
        own.style = CS_DBLCLKS;
        own.lpfnWndProc = DefWindowProc;
        own.lpszClassName = name;
        ASSERT_TRUE(RegisterClass(&own));
    }
    // A quick second tap on one place, after a pause long enough to start afresh.
    void tap_twice()
    {
        auto& touch = device->component<TouchInput>();
        drain();
        pass(1000);
        touch.tap(100, 100);
        pass(100);
        touch.tap(100, 100);
        drain();
    }
};

} // namespace

// Programs tell double taps from two presses themselves, so only a class registered with
// CS_DBLCLKS (a dial pad's own) turns the second press into WM_LBUTTONDBLCLK.
TEST_F(DoubleClicks, OnlyAClassRegisteredForThemGetsDoubleClicks)
{
    register_class_with_double_clicks(u"DialPadKeys");
    struct Case {
        const char* what;
        const char16_t* class_name;
        int presses;
        int double_clicks;
    };
    const Case cases[] = {
        { "the dialog class", WC_DIALOG, 2, 0 },
        { "MFC's default class", nullptr, 2, 0 },
        { "a class with CS_DBLCLKS", u"DialPadKeys", 1, 1 },
    };
    for (auto& c : cases) {
        TapCounter window;
        ASSERT_TRUE(window.CreateEx(0, c.class_name, u"taps", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr)) << c.what;
        tap_twice();
        EXPECT_EQ(window.presses, c.presses) << c.what;
        EXPECT_EQ(window.double_clicks, c.double_clicks) << c.what;
        window.DestroyWindow();
    }
}

namespace {

// A dialog that counts the presses and double clicks that reach it.
class TapDialog : public CDialog {
public:
    using CDialog::CDialog;
    void OnLButtonDown(UINT, CPoint) override { ++presses; }
    void OnLButtonDblClk(UINT, CPoint) override { ++double_clicks; }
    int presses = 0;
    int double_clicks = 0;
};

} // namespace

// A template may name a class of the program's own (its CLASS statement): its dialogs are made of
// that class and get the double clicks it asks for; other templates keep the dialog class.
TEST_F(DoubleClicks, ADialogOfATemplateNamingItsClassGetsDoubleClicks)
{
    register_class_with_double_clicks(u"PadDialog");
    auto& templates = device->component<DialogTemplates>();
    for (UINT id : { 200u, 201u })
        templates.add(AfxGetResourceHandle(), { id, WS_POPUP | WS_VISIBLE, 0, { 0, 0, 480, 272 }, u"", {}, true });
    templates.set_class(AfxGetResourceHandle(), 200, u"PadDialog");
    struct Case {
        UINT id;
        const char16_t* class_name;
        int presses;
        int double_clicks;
    };
    for (auto c : { Case { 200, u"PadDialog", 1, 1 }, Case { 201, WC_DIALOG, 2, 0 } }) {
        TapDialog dialog(c.id);
        ASSERT_TRUE(dialog.Create(c.id));
        WCHAR class_name[32] = {};
        GetClassName(dialog.m_hWnd, class_name, 32);
        EXPECT_EQ(std::u16string(class_name), c.class_name);
        tap_twice();
        EXPECT_EQ(dialog.presses, c.presses) << c.id;
        EXPECT_EQ(dialog.double_clicks, c.double_clicks) << c.id;
        dialog.DestroyWindow();
    }
}
