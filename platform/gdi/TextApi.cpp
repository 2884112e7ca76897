#include "GdiApi.h"

#include "Colour.h"
#include "Font.h"
#include "GdiCall.h"
#include "TextPainter.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

using namespace kivo;

namespace {

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

std::u16string to_utf16_units(std::u32string_view text)
{
    std::u16string result;
    for (char32_t character : text) {
        if (character >= 0x10000) {
            character -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (character >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (character & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(character));
        }
    }
    return result;
}

// Chinese text has no spaces: a line may break before or after any of its characters.
bool is_ideographic(char32_t character)
{
    return character >= 0x2E80 && !(character >= 0xD800 && character < 0xE000) && character != 0xFEFF;
}

// Without DT_NOPREFIX a single "&" marks the next character and is not shown; "&&" shows one.
// FIXME: the marked character is not underlined; no program draws mnemonics.
std::u32string without_prefixes(std::u32string_view text)
{
    std::u32string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == U'&')
            continue;
        result.push_back(text[i]);
    }
    return result;
}

std::vector<std::u32string> paragraphs(std::u32string_view text)
{
    std::vector<std::u32string> result(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'\r' || text[i] == U'\n') {
            if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
                ++i;
            result.emplace_back();
            continue;
        }
        result.back().push_back(text[i]);
    }
    return result;
}

void trim_trailing_spaces(std::u32string& line)
{
    while (!line.empty() && line.back() == U' ')
        line.pop_back();
}

// Breaks a paragraph into lines no wider than `width` where it can: after spaces and around
// Chinese characters. A word wider than the line stays whole, as on the device.
std::vector<std::u32string> wrap(const TextPainter& painter, std::u32string_view paragraph, int width)
{
    std::vector<std::u32string> lines;
    std::u32string line;
    int line_width = 0;
    size_t last_break = std::u32string::npos; // where in `line` the last break opportunity is
    for (size_t i = 0; i < paragraph.size(); ++i) {
        char32_t character = paragraph[i];
        if (line.empty() && character == U' ' && !lines.empty())
            continue;
        if (!line.empty() && (is_ideographic(character) || is_ideographic(line.back())) && line.back() != U' ')
            last_break = line.size();
        int advance = painter.width(std::u32string_view(&character, 1));
        if (character != U' ' && line_width + advance > width && last_break != std::u32string::npos && last_break > 0) {
            std::u32string rest = line.substr(last_break);
            line.resize(last_break);
            trim_trailing_spaces(line);
            lines.push_back(std::move(line));
            size_t first = rest.find_first_not_of(U' ');
            line = first == std::u32string::npos ? std::u32string() : rest.substr(first);
            line_width = painter.width(line);
            last_break = std::u32string::npos;
        }
        line.push_back(character);
        line_width += advance;
        if (character == U' ')
            last_break = line.size();
    }
    trim_trailing_spaces(line);
    lines.push_back(std::move(line));
    return lines;
}

// Cuts a line that does not fit and ends it with "...", so that the whole fits the width.
std::u32string with_end_ellipsis(const TextPainter& painter, std::u32string line, int width)
{
    if (painter.width(line) <= width)
        return line;
    int dots = painter.width(std::u32string_view(U"..."));
    int kept = 0;
    size_t length = 0;
    while (length < line.size()) {
        int advance = painter.width(std::u32string_view(&line[length], 1));
        if (kept + advance + dots > width)
            break;
        kept += advance;
        ++length;
    }
    line.resize(length);
    return line + U"...";
}

std::u16string_view text_of(LPCWSTR text, int count)
{
    if (count < 0)
        return std::u16string_view(text);
    return std::u16string_view(text, size_t(count));
}

} // namespace

HFONT CreateFontIndirect(const LOGFONT* logical)
{
    GdiCall call;
    if (!logical) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LOGFONT copy = *logical;
    copy.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(call.insert(std::make_shared<Font>(copy, call.gdi().fonts().style_for(copy))));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
    DWORD strike_out, DWORD char_set, DWORD out_precision, DWORD clip_precision, DWORD quality,
    DWORD pitch_and_family, LPCWSTR face_name)
{
    LOGFONT logical {};
    logical.lfHeight = height;
    logical.lfWidth = width;
    logical.lfEscapement = escapement;
    logical.lfOrientation = orientation;
    logical.lfWeight = weight;
    logical.lfItalic = static_cast<BYTE>(italic);
    logical.lfUnderline = static_cast<BYTE>(underline);
    logical.lfStrikeOut = static_cast<BYTE>(strike_out);
    logical.lfCharSet = static_cast<BYTE>(char_set);
    logical.lfOutPrecision = static_cast<BYTE>(out_precision);
    logical.lfClipPrecision = static_cast<BYTE>(clip_precision);
    logical.lfQuality = static_cast<BYTE>(quality);
    logical.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
    if (face_name) {
        size_t length = std::min<size_t>(std::char_traits<char16_t>::length(face_name), LF_FACESIZE - 1);
        std::char_traits<char16_t>::copy(logical.lfFaceName, face_name, length);
    }
    return CreateFontIndirect(&logical);
}

COLORREF SetTextColor(HDC handle, COLORREF colour)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->state().text_colour, colour);
}

COLORREF GetTextColor(HDC handle)
{
    GdiCall call;
    auto dc = call.dc(handle);
    return dc ? dc->state().text_colour : CLR_INVALID;
}

COLORREF SetBkColor(HDC handle, COLORREF colour)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->state().background_colour, colour);
}

COLORREF GetBkColor(HDC handle)
{
    GdiCall call;
    auto dc = call.dc(handle);
    return dc ? dc->state().background_colour : CLR_INVALID;
}

int SetBkMode(HDC handle, int mode)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return 0;
    if (mode != TRANSPARENT && mode != OPAQUE)
        return fail(ERROR_INVALID_PARAMETER);
    return std::exchange(dc->state().background_mode, mode);
}

int GetBkMode(HDC handle)
{
    GdiCall call;
    auto dc = call.dc(handle);
    return dc ? dc->state().background_mode : 0;
}

BOOL GetTextExtentPoint32(HDC handle, LPCWSTR text, int count, LPSIZE size)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return FALSE;
    if (!size || count < 0 || (!text && count > 0))
        return fail(ERROR_INVALID_PARAMETER);
    TextPainter painter(call.gdi().fonts(), dc->state().font.object->style());
    size->cx = painter.width(std::u16string_view(text, size_t(count)));
    size->cy = painter.style().height();
    return TRUE;
}

BOOL ExtTextOut(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* dx)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return FALSE;
    if (!text && count > 0)
        return fail(ERROR_INVALID_PARAMETER);
    auto& state = dc->state();
    Surface surface = dc->surface();
    Region clip = dc->clip();
    // ETO_OPAQUE fills the rectangle; without one it fills nothing.
    if ((options & ETO_OPAQUE) && rect)
        surface.fill(dc->to_surface(*rect), rgb565_of_colorref(state.background_colour), clip);
    if ((options & ETO_CLIPPED) && rect)
        clip.intersect(dc->to_surface(*rect));

    std::u16string_view line(count ? text : u"", count);
    TextPainter painter(call.gdi().fonts(), state.font.object->style());
    int width = 0;
    if (dx) {
        for (UINT i = 0; i < count; ++i)
            width += dx[i];
    } else {
        width = painter.width(line);
    }
    RECT cell = dc->to_surface(RECT { x, y, x + width, y + painter.style().height() });
    if (count && state.background_mode == OPAQUE)
        surface.fill(cell, rgb565_of_colorref(state.background_colour), clip);
    painter.draw(surface, clip, cell.left, cell.top, line, rgb565_of_colorref(state.text_colour), dx);

    Region painted = clip;
    painted.intersect(cell);
    if ((options & ETO_OPAQUE) && rect)
        painted.unite(Region::intersection(dc->to_surface(*rect), clip.bounds()));
    call.log(*dc, { "ExtTextOut", count ? cell : (rect ? dc->to_surface(*rect) : cell), 0, std::u16string(line), state.text_colour, !painted.empty() });
    return TRUE;
}

int DrawText(HDC handle, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return 0;
    if (!rect || (!text && count != 0) || count < -1)
        return fail(ERROR_INVALID_PARAMETER);
    auto& state = dc->state();
    TextPainter painter(call.gdi().fonts(), state.font.object->style());
    int box_width = rect->right - rect->left;

    std::u32string characters = code_points(count == 0 ? std::u16string_view() : text_of(text, count));
    if (!(format & DT_NOPREFIX))
        characters = without_prefixes(characters);
    std::vector<std::u32string> lines;
    if (format & DT_SINGLELINE) {
        std::u32string line;
        std::copy_if(characters.begin(), characters.end(), std::back_inserter(line), [](char32_t c) { return c != U'\r' && c != U'\n'; });
        lines.push_back(std::move(line));
    } else {
        for (auto& paragraph : paragraphs(characters)) {
            if (format & DT_WORDBREAK) {
                for (auto& line : wrap(painter, paragraph, box_width))
                    lines.push_back(std::move(line));
            } else {
                lines.push_back(std::move(paragraph));
            }
        }
    }
    if (format & DT_END_ELLIPSIS) {
        for (auto& line : lines)
            line = with_end_ellipsis(painter, std::move(line), box_width);
    }

    int line_height = painter.style().height();
    int total_height = line_height * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (auto& line : lines)
            widest = std::max(widest, painter.width(line));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total_height;
        return total_height;
    }

    // Vertical placement applies to the whole block of lines, also when there are several.
    int top = rect->top;
    if (format & DT_VCENTER)
        top = rect->top + (rect->bottom - rect->top - total_height) / 2;
    else if (format & DT_BOTTOM)
        top = rect->bottom - total_height;

    Surface surface = dc->surface();
    Region clip = dc->clip();
    if (!(format & DT_NOCLIP))
        clip.intersect(dc->to_surface(*rect));
    uint16_t colour = rgb565_of_colorref(state.text_colour);
    int y = top;
    for (auto& line : lines) {
        int width = painter.width(line);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (box_width - width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - width;
        RECT cell = dc->to_surface(RECT { x, y, x + width, y + line_height });
        std::u16string units = to_utf16_units(line);
        if (state.background_mode == OPAQUE)
            surface.fill(cell, rgb565_of_colorref(state.background_colour), clip);
        painter.draw(surface, clip, cell.left, cell.top, units, colour);
        Region painted = clip;
        painted.intersect(cell);
        call.log(*dc, { "DrawText", cell, 0, std::move(units), state.text_colour, !painted.empty() });
        y += line_height;
    }
    if (format & (DT_VCENTER | DT_BOTTOM))
        return top - rect->top + total_height;
    return total_height;
}
