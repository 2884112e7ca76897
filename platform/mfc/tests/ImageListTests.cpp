#include "ScreenTest.h"

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr COLORREF key = RGB(255, 0, 255);
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF yellow = RGB(255, 255, 0);
constexpr COLORREF colours[] = { RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(0, 128, 128) };

class ImageLists : public ScreenTest {
protected:
    // A strip of 16 x 16 pictures, each its colour with its right half in the mask colour.
    void make_strip(CBitmap& bitmap, std::initializer_list<COLORREF> pictures)
    {
        CDC memory;
        memory.CreateCompatibleDC(nullptr);
        bitmap.CreateCompatibleBitmap(&memory, 16 * static_cast<int>(pictures.size()), 16);
        CBitmap* previous = memory.SelectObject(&bitmap);
        int x = 0;
        for (COLORREF colour : pictures) {
            memory.FillSolidRect(x, 0, 8, 16, colour);
            memory.FillSolidRect(x + 8, 0, 8, 16, key);
            x += 16;
        }
        memory.SelectObject(previous);
    }
    // Which colour the drawn picture's two halves show at (x, y).
    std::pair<uint16_t, uint16_t> halves(int x, int y) { return { pixel(x + 2, y + 8), pixel(x + 12, y + 8) }; }

    CDC* screen() { return CDC::FromHandle(m_screen); }
    ~ImageLists() override
    {
        ReleaseDC(nullptr, m_screen);
        CDC::release_temporary(m_screen);
    }
    HDC m_screen = GetDC(nullptr);
};

} // namespace

TEST_F(ImageLists, PicturesAreAddedCutRemovedAndDrawnByIndex)
{
    fill_screen(white);
    CImageList list;
    ASSERT_TRUE(list.Create(16, 16, ILC_COLOR16 | ILC_MASK, 1, 1));
    CBitmap three;
    make_strip(three, { colours[0], colours[1], colours[2] });
    CBitmap one;
    make_strip(one, { colours[3] });
    EXPECT_EQ(list.Add(&three, key), 0);
    EXPECT_EQ(list.Add(&one, key), 3) << "the list grows past its initial room";
    EXPECT_EQ(list.GetImageCount(), 4);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(list.Draw(screen(), i, CPoint(20 * i, 0), ILD_TRANSPARENT));
        EXPECT_EQ(halves(20 * i, 0), std::make_pair(c565(colours[i]), c565(white))) << i;
    }

    ASSERT_TRUE(list.Remove(1));
    EXPECT_EQ(list.GetImageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        list.Draw(screen(), i, CPoint(20 * i, 40), ILD_TRANSPARENT);
        EXPECT_EQ(halves(20 * i, 40).first, c565(colours[i == 0 ? 0 : i + 1])) << "later pictures move down: " << i;
    }
    EXPECT_FALSE(list.Draw(screen(), 3, CPoint(0, 80), ILD_NORMAL));
    EXPECT_FALSE(list.Remove(3));
    ASSERT_TRUE(list.Remove(-1));
    EXPECT_EQ(list.GetImageCount(), 0);
    EXPECT_FALSE(list.Draw(screen(), 0, CPoint(0, 80), ILD_NORMAL));
    ASSERT_TRUE(list.DeleteImageList());
    EXPECT_EQ(list.Add(&one, key), -1);
    EXPECT_TRUE(list.Create(16, 16, ILC_COLOR16, 1, 1)) << "made again after it was deleted";
}

TEST_F(ImageLists, MaskedPixelsShowByStyleAndBackgroundColour)
{
    CBitmap picture;
    make_strip(picture, { colours[0] });
    struct Case {
        UINT flags;
        COLORREF background;
        UINT style;
        COLORREF masked_half;
    };
    const Case cases[] = {
        { ILC_MASK, CLR_NONE, ILD_NORMAL, white },
        { ILC_MASK, yellow, ILD_NORMAL, yellow },
        { ILC_MASK, yellow, ILD_TRANSPARENT, white },
        { ILC_COLOR16, CLR_NONE, ILD_TRANSPARENT, key },
    };
    for (auto& c : cases) {
        fill_screen(white);
        CImageList list;
        ASSERT_TRUE(list.Create(16, 16, c.flags, 1, 1));
        ASSERT_EQ(list.Add(&picture, key), 0);
        EXPECT_EQ(list.SetBkColor(c.background), CLR_NONE);
        ASSERT_TRUE(list.Draw(screen(), 0, CPoint(100, 100), c.style));
        EXPECT_EQ(halves(100, 100), std::make_pair(c565(colours[0]), c565(c.masked_half)))
            << "flags " << c.flags << " background " << c.background << " style " << c.style;
    }
}
