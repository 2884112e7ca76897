#pragma once

#include "kernel/HostMutex.h"
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

struct LOGFONT;

namespace kivo {

// A size and weight of the text faces, resolved from a logical font.
struct FontStyle {
    int32_t em_26_6 = 0; // the em square in 1/64 pixels
    bool bold = false;
    int ascent = 0;
    int descent = 0;
    int height() const { return ascent + descent; }
};

// One character's picture: coverage values (0 to 255), `rows` × `width`, placed `left` pixels
// right of the pen and `top` pixels above the baseline; the pen then moves `advance` pixels.
struct Glyph {
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    bool from_cjk_face = false;
    std::vector<uint8_t> coverage;
};

// Text through FreeType. "Arial" (and every other face name) is served by Liberation Sans, which
// has Arial's metrics; a character it lacks comes from WenQuanYi Micro Hei, the Chinese face, one
// character at a time. Advances are the unhinted widths rounded to whole pixels, so the same text
// measures the same on every machine and at every call; glyph pictures are anti-aliased.
class FontEngine {
public:
    struct Files {
        std::filesystem::path regular;
        std::filesystem::path bold;
        std::filesystem::path cjk;
    };
    static Files installed_files();

    explicit FontEngine(Files);
    ~FontEngine();
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    // Heights as the platform reads them: positive is the cell height (ascent plus descent),
    // negative the character height (the em), 0 the system font's.
    FontStyle style_for(const LOGFONT&);
    // The glyph of a character; it stays valid as long as the engine lives.
    const Glyph& glyph(const FontStyle&, char32_t);
    int advance(const FontStyle& style, char32_t character) { return glyph(style, character).advance; }

private:
    struct Faces;
    HostMutex m_lock { LockRank::FontEngine };
    std::unique_ptr<Faces> m_faces;
    std::unordered_map<uint64_t, Glyph> m_glyphs;
};

// The characters of UTF-16 text, with surrogate pairs joined; a lone surrogate stands for itself.
std::u32string code_points(std::u16string_view);

} // namespace kivo
