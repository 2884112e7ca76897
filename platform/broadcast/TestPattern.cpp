#include "TestPattern.h"

#include "StreamTable.h"
#include "gdi/BitmapCanvas.h"

#include <array>
#include <cstdio>

namespace kivo {

namespace {

// Bars at 75 % as test signals have them: white, yellow, cyan, green, magenta, red, blue.
constexpr std::array<COLORREF, 7> bar_colours {
    RGB(191, 191, 191),
    RGB(191, 191, 0),
    RGB(0, 191, 191),
    RGB(0, 191, 0),
    RGB(191, 0, 191),
    RGB(191, 0, 0),
    RGB(0, 0, 191),
};

} // namespace

TestPattern::TestPattern(int width, int height, std::u16string name, FontEngine& fonts)
    : m_width(width)
    , m_height(height)
    , m_bitmap(Bitmap::create_dib(width, height, 16, false))
    , m_fonts(fonts)
{
    BitmapCanvas canvas(*m_bitmap, m_fonts);
    RECT bars = bars_area();
    for (size_t bar = 0; bar < bar_colours.size(); ++bar) {
        LONG left = static_cast<LONG>(width * bar / bar_colours.size());
        LONG right = static_cast<LONG>(width * (bar + 1) / bar_colours.size());
        canvas.fill_rect({ left, bars.top, right, bars.bottom }, bar_colours[bar]);
    }
    canvas.fill_rect(name_area(), BitmapCanvas::Palette::panel);
    if (!name.empty())
        canvas.label(name_area(), name, BitmapCanvas::Palette::white, height / 8, true);
}

RECT TestPattern::bars_area() const
{
    return { 0, 0, m_width, m_height * 7 / 12 };
}

RECT TestPattern::name_area() const
{
    return { 0, m_height * 7 / 12, m_width, m_height * 10 / 12 };
}

RECT TestPattern::clock_area() const
{
    return { 0, m_height * 10 / 12, m_width, m_height };
}

std::u16string TestPattern::clock_text(int index)
{
    int tenths = index * 10 / ServiceStream::frames_per_second;
    int seconds = tenths / 10;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%d", seconds / 3600, seconds / 60 % 60, seconds % 60, tenths % 10);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

void TestPattern::draw(int index)
{
    BitmapCanvas canvas(*m_bitmap, m_fonts);
    canvas.fill_rect(clock_area(), BitmapCanvas::Palette::black);
    canvas.label(clock_area(), clock_text(index), BitmapCanvas::Palette::white, m_height / 10);
}

} // namespace kivo
