// Static texts of a screen: read from a skin section, drawn as labels or as the title.

#include "SkinDrawing.h"
#include "SkinkitState.h"

#include "WideText.h"

using namespace skinkit;

namespace {

constexpr COLORREF title_shadow = RGB(0, 0, 0);

UINT alignment_of(std::u16string_view name)
{
    if (kivo::equals_ignoring_case(name, u"center"))
        return DT_CENTER;
    if (kivo::equals_ignoring_case(name, u"right"))
        return DT_RIGHT;
    return DT_LEFT;
}

// A background of 0 is transparent: the layout beneath shows.
void fill_background(HDC dc, const StaticInfo& info)
{
    if (info.bkColour == 0)
        return;
    HBRUSH brush = CreateSolidBrush(info.bkColour);
    FillRect(dc, &info.rect, brush);
    DeleteObject(brush);
}

} // namespace

BOOL GetStaticCtlInfoFromSetting(StaticInfo& info, LPCWSTR section, LPCWSTR file)
{
    SkinFile skin(file);
    std::u16string_view name = section ? std::u16string_view(section) : std::u16string_view();
    auto rect = skin.rect(name, u"rect");
    if (!rect)
        return FALSE;
    info.rect = *rect;
    info.textColour = skin.colour(name, u"TextColor").value_or(RGB(255, 255, 255));
    info.bkColour = skin.colour(name, u"BkColor").value_or(0);
    info.fontSize = skin.integer(name, u"FontSize").value_or(18);
    info.bold = skin.integer(name, u"Bold").value_or(0) != 0;
    info.align = alignment_of(skin.value(name, u"Align").value_or(u"left"));
    info.textId = skin.integer(name, u"TextId").value_or(0);
    info.text = info.textId > 0 ? language_text(info.textId) : skin.value(name, u"Text").value_or(u"");
    return TRUE;
}

void DrawStaticText(HDC dc, const StaticInfo& info, int option)
{
    fill_background(dc, info);
    std::u16string_view text = static_cast<LPCWSTR>(info.text);
    UINT align = info.align;
    // A number being typed keeps its newest digits in view: the text is cut at its start.
    if (option == 1 && text_width(dc, text, info.fontSize, info.bold) > info.rect.right - info.rect.left)
        align = DT_RIGHT;
    draw_text(dc, info.rect, text, info.textColour, info.fontSize, info.bold, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void DrawStaticText2(HDC dc, const StaticInfo& info)
{
    fill_background(dc, info);
    std::u16string_view text = static_cast<LPCWSTR>(info.text);
    UINT format = DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    RECT shadow { info.rect.left + 1, info.rect.top + 1, info.rect.right + 1, info.rect.bottom + 1 };
    draw_text(dc, shadow, text, title_shadow, info.fontSize, true, format);
    draw_text(dc, info.rect, text, info.textColour, info.fontSize, true, format);
}
