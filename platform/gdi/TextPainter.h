#pragma once

#include "FontEngine.h"
#include "Region.h"
#include "Surface.h"

#include <string_view>

namespace kivo {

// Lays one line of text in one style: measures it as the sum of its characters' advances (the
// way programs measure it too, character by character) and draws its glyphs on a surface.
class TextPainter {
public:
    TextPainter(FontEngine& engine, const FontStyle& style)
        : m_engine(engine)
        , m_style(style)
    {
    }

    const FontStyle& style() const { return m_style; }
    int width(std::u16string_view) const;
    int width(std::u32string_view) const;

    // Draws the line with its cell's top-left corner at (x, top); `advances`, when given, replace
    // the characters' own advances (one per UTF-16 unit, as the platform counts them).
    void draw(const Surface&, const Region& clip, int x, int top, std::u16string_view, uint16_t colour,
        const int* advances = nullptr) const;

private:
    FontEngine& m_engine;
    FontStyle m_style;
};

} // namespace kivo
