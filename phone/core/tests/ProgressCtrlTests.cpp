// The skinned progress bar: how many columns of the bar picture show for a position and a range.

#include "PhoneCoreTest.h"

#include "ProgressCtrlEx.h"

using namespace phone::test;

namespace {

constexpr COLORREF background = RGB(0, 0, 128);
constexpr COLORREF bar = RGB(0, 200, 0);
constexpr RECT place { 10, 100, 212, 120 }; // 202 pixels wide
constexpr int row = 110;

struct Shown {
    int columns; // of the bar's colour along a row through the control
    bool backgroundAtStart;
};

} // namespace

TEST(ProgressBarWidth, ThePositionIsKeptInTheRangeAndCountedFromItsLowerEnd)
{
    struct Case {
        int position, lower, upper, width, columns;
    } cases[] = {
        { 50, 0, 100, 202, 100 },
        { 0, 0, 100, 202, 0 },
        { 100, 0, 100, 202, 200 },
        { 60, 10, 110, 202, 100 }, // from the lower end: 120 if counted from 0
        { 150, 0, 100, 202, 200 }, // above the range: full
        { -5, 0, 100, 202, 0 },    // below the range: empty
        { 5, 5, 5, 202, 0 },       // an empty range draws no bar (and divides by nothing)
        { 5, 9, 3, 202, 0 },       // nor does a reversed one
        { 50, 0, 100, 2, 0 },      // a control without room inside its frame
        { 2000000000, 0, 2000000000, 30002, 30000 },
    };
    for (auto& c : cases)
        EXPECT_EQ(CProgressCtrlEx::BarWidth(c.position, c.lower, c.upper, c.width), c.columns)
            << c.position << " of " << c.lower << "-" << c.upper << " on " << c.width;
}

class ProgressCtrlTest : public PhoneCoreTest { };

TEST_F(ProgressCtrlTest, TheBarPaintsItsPictureColumnsOverTheBackground)
{
    CreateDirectory((std::u16string(kivo::phone_skin_folder) + u"Test").c_str(), nullptr);
    write_skin_file(u"Test\\progress.ini", "[progress]\nrect=10,100,212,120\nBkImage=Test\\bk.bmp\nBarImage=Test\\bar.bmp\n");
    write_picture(u"Test\\bk.bmp", 202, 20, [](kivo::BitmapCanvas& canvas) { canvas.fill(background); });
    write_picture(u"Test\\bar.bmp", 202, 18, [](kivo::BitmapCanvas& canvas) { canvas.fill(bar); });
    struct Case {
        int lower, upper, position, columns;
    } cases[] = { { 0, 100, 50, 100 }, { 0, 100, 0, 0 }, { 0, 100, 100, 200 }, { 10, 110, 60, 100 }, { 5, 5, 5, 0 } };
    std::vector<Shown> shown;
    HWND page = nullptr;
    start([&] {
        page = CreateWindowEx(0, WC_DIALOG, u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr, nullptr, nullptr);
        CProgressCtrlEx progress;
        progress.Create(WS_CHILD | WS_VISIBLE, place, CWnd::FromHandle(page), 1);
        progress.LoadImages(u"progress", (std::u16string(kivo::phone_skin_folder) + u"Test\\progress.ini").c_str());
        HDC screen = GetDC(nullptr);
        for (auto& c : cases) {
            progress.SetRange32(c.lower, c.upper);
            progress.SetPos(c.position);
            progress.Invalidate();
            progress.UpdateWindow();
            Shown seen { 0, c565(GetPixel(screen, place.left + 1, row)) == c565(background) };
            for (int x = place.left; x < place.right; ++x)
                seen.columns += c565(GetPixel(screen, x, row)) == c565(bar);
            shown.push_back(seen);
        }
        ReleaseDC(nullptr, screen);
        progress.SetRange32(0, 100);
        progress.SetPos(50);
        progress.UpdateWindow();
        MSG message;
        while (GetMessage(&message, nullptr, 0, 0) > 0)
            DispatchMessage(&message);
        DestroyWindow(page);
    });
    ASSERT_EQ(shown.size(), std::size(cases));
    for (size_t i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(shown[i].columns, cases[i].columns);
        EXPECT_EQ(shown[i].backgroundAtStart, cases[i].columns == 0);
    }
    auto png = shot("phone-progress-half");
    EXPECT_EQ(png.pixel_565(place.left + 1, row), c565(bar));
    EXPECT_EQ(png.pixel_565(place.left + 100, row), c565(bar));
    EXPECT_EQ(png.pixel_565(place.left + 101, row), c565(background));
    EXPECT_EQ(png.pixel_565(place.left + 1, place.top), c565(background)); // the frame row above the bar
    PostMessage(page, WM_QUIT, 0, 0);
}
