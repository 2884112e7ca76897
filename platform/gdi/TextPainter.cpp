#include "TextPainter.h"

#include "Colour.h"

#include <algorithm>

namespace kivo {

int TextPainter::width(std::u16string_view text) const
{
    return width(code_points(text));
}

int TextPainter::width(std::u32string_view text) const
{
    int total = 0;
    for (char32_t character : text)
        total += m_engine.advance(m_style, character);
    return total;
}

void TextPainter::draw(const Surface& surface, const Region& clip, int x, int top, std::u16string_view text,
    uint16_t colour, const int* advances) const
{
    int baseline = top + m_style.ascent;
    int pen = x;
    size_t unit = 0;
    for (char32_t character : code_points(text)) {
        const Glyph& glyph = m_engine.glyph(m_style, character);
        RECT box { pen + glyph.left, baseline - glyph.top, pen + glyph.left + glyph.width, baseline - glyph.top + glyph.rows };
        for (auto& clip_rect : clip.rects()) {
            RECT part = Region::intersection(Region::intersection(box, clip_rect), surface.bounds());
            for (LONG y = part.top; y < part.bottom; ++y) {
                const uint8_t* coverage = glyph.coverage.data() + size_t(y - box.top) * glyph.width;
                for (LONG px = part.left; px < part.right; ++px) {
                    if (unsigned amount = coverage[px - box.left])
                        surface.set(px, y, blend_565(surface.get(px, y), colour, amount));
                }
            }
        }
        size_t units = character >= 0x10000 ? 2 : 1;
        if (advances) {
            for (size_t i = 0; i < units; ++i)
                pen += advances[unit + i];
        } else {
            pen += glyph.advance;
        }
        unit += units;
    }
}

} // namespace kivo
