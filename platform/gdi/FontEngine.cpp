#include "FontEngine.h"

#include "GdiApi.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <stdexcept>
#include <string>

namespace kivo {

struct FontEngine::Faces {
    FT_Library library = nullptr;
    FT_Face regular = nullptr;
    FT_Face bold = nullptr;
    FT_Face cjk = nullptr;
    // The regular face's Windows ascent and descent, in font units, which set the cell height.
    int win_ascent = 0;
    int win_descent = 0;
    int units_per_em = 0;

    ~Faces()
    {
        for (FT_Face face : { regular, bold, cjk }) {
            if (face)
                FT_Done_Face(face);
        }
        if (library)
            FT_Done_FreeType(library);
    }
};

namespace {

// The system font: the Arial stand-in at a cell height of 16 pixels, normal weight.
constexpr int system_font_height = 16;

FT_Face open_face(FT_Library library, const std::filesystem::path& path)
{
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0)
        throw std::runtime_error("cannot open the font file " + path.string() + " (run ./setup.sh)");
    return face;
}

int rounded(double value)
{
    return static_cast<int>(std::lround(value));
}

} // namespace

FontEngine::Files FontEngine::installed_files()
{
    return { KIVO_FONT_REGULAR, KIVO_FONT_BOLD, KIVO_FONT_CJK };
}

FontEngine::FontEngine(Files files)
    : m_faces(std::make_unique<Faces>())
{
    if (FT_Init_FreeType(&m_faces->library) != 0)
        throw std::runtime_error("FreeType does not start");
    m_faces->regular = open_face(m_faces->library, files.regular);
    m_faces->bold = open_face(m_faces->library, files.bold);
    m_faces->cjk = open_face(m_faces->library, files.cjk);
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(m_faces->regular, FT_SFNT_OS2));
    if (!os2)
        throw std::runtime_error("the text face has no OS/2 table");
    m_faces->win_ascent = os2->usWinAscent;
    m_faces->win_descent = os2->usWinDescent;
    m_faces->units_per_em = m_faces->regular->units_per_EM;
}

FontEngine::~FontEngine() = default;

FontStyle FontEngine::style_for(const LOGFONT& logical)
{
    FontStyle style;
    style.bold = logical.lfWeight >= FW_SEMIBOLD;
    double ascent = m_faces->win_ascent;
    double cell = m_faces->win_ascent + m_faces->win_descent;
    double em_units = m_faces->units_per_em;
    LONG height = logical.lfHeight == 0 ? system_font_height : logical.lfHeight;
    if (height > 0) {
        style.em_26_6 = rounded(height * 64.0 * em_units / cell);
        style.ascent = rounded(height * ascent / cell);
        style.descent = height - style.ascent;
    } else {
        style.em_26_6 = -height * 64;
        style.ascent = rounded(-height * ascent / em_units);
        style.descent = rounded(-height * m_faces->win_descent / em_units);
    }
    return style;
}

const Glyph& FontEngine::glyph(const FontStyle& style, char32_t character)
{
    std::lock_guard guard(m_lock);
    uint64_t key = (uint64_t(uint32_t(style.em_26_6)) << 32) | (uint64_t(style.bold) << 31) | character;
    if (auto it = m_glyphs.find(key); it != m_glyphs.end())
        return it->second;

    Glyph result;
    FT_Face face = style.bold ? m_faces->bold : m_faces->regular;
    FT_UInt index = FT_Get_Char_Index(face, character);
    if (index == 0) {
        if (FT_UInt cjk_index = FT_Get_Char_Index(m_faces->cjk, character)) {
            face = m_faces->cjk;
            index = cjk_index;
            result.from_cjk_face = true;
        }
    }
    FT_Set_Char_Size(face, 0, style.em_26_6, 72, 72);

    FT_Fixed advance = 0;
    if (FT_Get_Advance(face, index, FT_LOAD_NO_HINTING, &advance) == 0)
        result.advance = static_cast<int>((advance + 0x8000) >> 16);

    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0) {
        FT_GlyphSlot slot = face->glyph;
        // The Chinese face has no bold of its own: thicken its outlines.
        if (result.from_cjk_face && style.bold && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_Embolden(&slot->outline, style.em_26_6 / 24);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bitmap = slot->bitmap;
            result.left = slot->bitmap_left;
            result.top = slot->bitmap_top;
            result.width = static_cast<int>(bitmap.width);
            result.rows = static_cast<int>(bitmap.rows);
            result.coverage.resize(size_t(result.width) * result.rows);
            for (int y = 0; y < result.rows; ++y) {
                const unsigned char* row = bitmap.buffer + ptrdiff_t(y) * bitmap.pitch;
                std::copy(row, row + result.width, result.coverage.begin() + ptrdiff_t(y) * result.width);
            }
        }
    }
    return m_glyphs.emplace(key, std::move(result)).first->second;
}

std::u32string code_points(std::u16string_view text)
{
    std::u32string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            result.push_back(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
            continue;
        }
        result.push_back(unit);
    }
    return result;
}

} // namespace kivo
