// A dialog's owner-drawn push button with a skinned look.

#include "SkinkitState.h"

using namespace skinkit;

BOOL GetBtnFromSetting(CBtnWnd& button, LPCWSTR name, LPCWSTR file)
{
    SkinFile skin(file);
    std::u16string_view section = name ? std::u16string_view(name) : std::u16string_view();
    if (skin.section(section).empty())
        return FALSE;
    // The control's own rectangle places it; the section gives its look.
    button.m_look.ReadSetting(skin, section);
    if (button.GetSafeHwnd())
        button.Invalidate(FALSE);
    return TRUE;
}

BOOL CBtnWnd::EnableWindow(BOOL enable)
{
    m_look.m_bDisabled = !enable;
    if (!GetSafeHwnd())
        return FALSE;
    BOOL wasDisabled = CButton::EnableWindow(enable);
    Invalidate(FALSE);
    return wasDisabled;
}

void CBtnWnd::DrawItem(LPDRAWITEMSTRUCT item)
{
    m_look.m_rect = item->rcItem;
    m_look.m_bPressed = (item->itemState & ODS_SELECTED) != 0;
    m_look.m_bDisabled = (item->itemState & ODS_DISABLED) != 0;
    m_look.Draw(item->hDC);
}
