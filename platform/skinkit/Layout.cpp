// Layouts of skinned buttons: read from a skin file, painted on their owner window, pressed and
// released by the owner's mouse messages.

#include "SkinDrawing.h"
#include "SkinkitState.h"

#include "WideText.h"

#include <algorithm>
#include <map>

namespace {

// A button's strip holds these frames for each of its values.
enum Frame {
    Normal = 0,
    Pressed = 1,
    Disabled = 2,
    FramesPerValue = 3,
};

constexpr COLORREF disabled_text = RGB(128, 128, 128);
constexpr int icon_gap = 4;

std::u16string_view text_of(LPCWSTR text)
{
    return text ? std::u16string_view(text) : std::u16string_view();
}

bool intersects(const RECT& a, const RECT& b)
{
    RECT both {};
    return IntersectRect(&both, &a, &b);
}

} // namespace

using namespace skinkit;

bool CLayoutBtn::ReadSetting(const SkinFile& file, std::u16string_view section)
{
    m_strName = file.value(section, u"name").value_or(std::u16string(section));
    m_nValue = file.integer(section, u"Value").value_or(0);
    m_bDisabled = file.integer(section, u"Disabled").value_or(0) != 0;
    m_hStrip = cached_picture(file.value(section, u"Pic").value_or(u""));
    m_nValues = std::max(1, file.integer(section, u"Values").value_or(1));
    m_hIcon = cached_picture(file.value(section, u"Icon").value_or(u""));
    m_nTextId = file.integer(section, u"TextId").value_or(0);
    m_strCaption = m_nTextId > 0 ? language_text(m_nTextId) : file.value(section, u"Text").value_or(u"");
    m_textColour = file.colour(section, u"TextColor").value_or(RGB(255, 255, 255));
    m_nFontSize = file.integer(section, u"FontSize").value_or(18);
    auto rect = file.rect(section, u"rect");
    m_rect = rect.value_or(RECT {});
    return rect.has_value();
}

void CLayoutBtn::Draw(HDC dc) const
{
    int width = m_rect.right - m_rect.left;
    int height = m_rect.bottom - m_rect.top;
    if (m_hStrip) {
        BITMAP strip {};
        GetObject(m_hStrip, sizeof(strip), &strip);
        int state = m_bDisabled ? Disabled : (m_bPressed ? Pressed : Normal);
        int value = std::clamp(m_nValue, 0, m_nValues - 1);
        // A strip with fewer frames than asked shows its last one rather than nothing.
        int frames = width > 0 ? std::max(1, static_cast<int>(strip.bmWidth) / width) : 1;
        int64_t wanted = int64_t(value) * FramesPerValue + state;
        int frame = static_cast<int>(std::min<int64_t>(wanted, frames - 1));
        draw_picture(dc, m_hStrip, m_rect.left, m_rect.top, width, height, frame * width, 0);
    }
    RECT text = m_rect;
    if (m_hIcon) {
        BITMAP icon {};
        GetObject(m_hIcon, sizeof(icon), &icon);
        int top = m_rect.top + (height - icon.bmHeight) / 2;
        draw_picture(dc, m_hIcon, m_rect.left + icon_gap, top, std::min<int>(icon.bmWidth, width), std::min<int>(icon.bmHeight, height), 0, 0);
        text.left += icon_gap * 2 + icon.bmWidth;
    }
    if (!m_strCaption.IsEmpty()) {
        UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (m_hIcon ? DT_LEFT : DT_CENTER);
        draw_text(dc, text, static_cast<LPCWSTR>(m_strCaption), m_bDisabled ? disabled_text : m_textColour, m_nFontSize, false, format);
    }
}

void CLayoutBtn::EnableWindow(BOOL enable)
{
    m_bDisabled = !enable;
    if (m_bDisabled && m_bPressed) {
        // A button disabled under the finger gives no click when the finger lifts.
        m_bPressed = FALSE;
        if (m_pLayout) {
            m_pLayout->m_pPressed = nullptr;
            if (GetCapture() == m_pLayout->GetOwner())
                ReleaseCapture();
        }
    }
    UpdateWindow();
}

void CLayoutBtn::SetValue(int value)
{
    m_nValue = value;
    UpdateWindow();
}

void CLayoutBtn::UpdateBtnInfo(LPCWSTR image, LPCWSTR caption, BOOL repaint)
{
    if (image && *image)
        m_hIcon = cached_picture(image);
    m_strCaption = caption ? caption : u"";
    m_nTextId = 0;
    if (repaint)
        UpdateWindow();
}

void CLayoutBtn::UpdateBtnInfo(HBITMAP image, LPCWSTR caption, BOOL repaint)
{
    if (image)
        m_hIcon = image;
    m_strCaption = caption ? caption : u"";
    m_nTextId = 0;
    if (repaint)
        UpdateWindow();
}

void CLayoutBtn::UpdateWindow()
{
    if (!m_pLayout || !m_pLayout->GetOwner())
        return;
    HWND owner = m_pLayout->GetOwner();
    HDC dc = GetDC(owner);
    if (!dc)
        return;
    // What lies beneath shows through the keyed parts, so the layout repaints the button's place.
    m_pLayout->DrawLayout(dc, m_rect);
    ReleaseDC(owner, dc);
}

CLayout::CLayout() = default;

CLayout::~CLayout()
{
    Clear();
}

void CLayout::Clear()
{
    if (m_pPressed && GetCapture() == m_hOwner)
        ReleaseCapture();
    m_pPressed = nullptr;
    m_list.RemoveAll();
    m_buttons.clear();
    m_hBackground = nullptr;
    m_rect = {};
}

BOOL CLayout::InitLayout(LPCWSTR file, LPCWSTR section, HWND owner)
{
    Clear();
    m_hOwner = owner;
    SkinFile skin(file);
    std::u16string_view name = text_of(section);
    if (!skin.readable() || skin.section(name).empty())
        return FALSE;
    m_hBackground = cached_picture(skin.value(name, u"Pic").value_or(u""));
    if (auto rect = skin.rect(name, u"rect")) {
        m_rect = *rect;
    } else if (m_hBackground) {
        BITMAP background {};
        GetObject(m_hBackground, sizeof(background), &background);
        m_rect = { 0, 0, background.bmWidth, background.bmHeight };
    }
    // The buttons are the "Button<n>" keys up to the count, in order of n. They are found among the
    // keys there are, so a count far beyond them costs nothing.
    int count = skin.integer(name, u"count").value_or(0);
    std::map<int, std::u16string> listed;
    for (auto& [key, value] : skin.section(name)) {
        constexpr std::u16string_view prefix = u"Button";
        if (key.size() <= prefix.size() || !kivo::equals_ignoring_case(std::u16string_view(key).substr(0, prefix.size()), prefix))
            continue;
        std::u16string_view digits = std::u16string_view(key).substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
            continue;
        auto number = integers(digits, 1);
        if (number && number->front() >= 1 && number->front() <= count)
            listed.emplace(number->front(), value);
    }
    for (auto& [number, buttonSection] : listed) {
        auto button = std::make_unique<CLayoutBtn>();
        if (!button->ReadSetting(skin, buttonSection))
            continue;
        button->m_pLayout = this;
        m_list.AddTail(button.get());
        m_buttons.push_back(std::move(button));
    }
    return TRUE;
}

void CLayout::DrawLayout(HDC dc)
{
    RECT everything { -0x8000, -0x8000, 0x7FFF, 0x7FFF };
    DrawLayout(dc, everything);
}

void CLayout::DrawLayout(HDC dc, const RECT& part)
{
    int saved = SaveDC(dc);
    IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
    if (m_hBackground) {
        BITMAP background {};
        GetObject(m_hBackground, sizeof(background), &background);
        int width = std::min<int>(background.bmWidth, m_rect.right - m_rect.left);
        int height = std::min<int>(background.bmHeight, m_rect.bottom - m_rect.top);
        draw_picture(dc, m_hBackground, m_rect.left, m_rect.top, width, height, 0, 0);
    }
    for (auto& button : m_buttons) {
        if (intersects(button->m_rect, part))
            button->Draw(dc);
    }
    RestoreDC(dc, saved);
}

CLayoutBtn* CLayout::ButtonAt(POINT point)
{
    for (auto& button : m_buttons) {
        if (PtInRect(&button->m_rect, point))
            return button.get();
    }
    return nullptr;
}

BOOL CLayout::OnLButtonDown(UINT, POINT point)
{
    CLayoutBtn* button = ButtonAt(point);
    if (!button || button->m_bDisabled)
        return FALSE;
    m_pPressed = button;
    button->m_bPressed = TRUE;
    if (m_hOwner)
        SetCapture(m_hOwner);
    touch_click();
    button->UpdateWindow();
    return TRUE;
}

BOOL CLayout::OnMouseMove(UINT, POINT point)
{
    if (!m_pPressed || PtInRect(&m_pPressed->m_rect, point))
        return m_pPressed != nullptr;
    // Sliding off a button lets it go: lifting the finger elsewhere clicks nothing.
    CLayoutBtn* button = m_pPressed;
    m_pPressed = nullptr;
    button->m_bPressed = FALSE;
    if (GetCapture() == m_hOwner)
        ReleaseCapture();
    button->UpdateWindow();
    return TRUE;
}

BOOL CLayout::OnLButtonUp(UINT, POINT point)
{
    CLayoutBtn* button = m_pPressed;
    if (!button)
        return FALSE;
    m_pPressed = nullptr;
    button->m_bPressed = FALSE;
    if (GetCapture() == m_hOwner)
        ReleaseCapture();
    button->UpdateWindow();
    if (PtInRect(&button->m_rect, point) && !button->m_bDisabled && m_hOwner) {
        // The owner may end its screen, and this layout with it, while it handles the click.
        ::SendMessage(m_hOwner, WM_LAYOUTBTN_CLICK, 0, reinterpret_cast<LPARAM>(button));
    }
    return TRUE;
}

CLayoutBtn* CLayout::FindButtonByName(LPCWSTR name)
{
    if (!name)
        return nullptr;
    for (auto& button : m_buttons) {
        if (button->m_strName.CompareNoCase(name) == 0)
            return button.get();
    }
    return nullptr;
}

CPtrList* CLayout::GetAllbtnList()
{
    return &m_list;
}

void CLayout::UpdateLanguage()
{
    for (auto& button : m_buttons) {
        if (button->m_nTextId > 0)
            button->m_strCaption = language_text(button->m_nTextId);
    }
}
