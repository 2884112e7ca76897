#include "CImgBtn.h"

#include "CAppUtil.h"
#include "program_services.h"

namespace {

// Set while any button of the program is held down: the release of a held button is followed
// even when the button was disabled in between.
bool& button_held()
{
    static kivo::ProcessLocal<bool> s_held;
    return s_held.get();
}

} // namespace

CImgBtn::~CImgBtn()
{
    m_bmpNormal.DeleteObject();
    m_bmpPressed.DeleteObject();
}

void CImgBtn::Create(int x, int y, int width, int height, UINT normal_picture, UINT pressed_picture)
{
    m_bmpNormal.DeleteObject();
    m_bmpPressed.DeleteObject();
    m_nLeft = x;
    m_nTop = y;
    m_nRight = x + width;
    m_nBottom = y + height;
    m_bmpNormal.LoadBitmap(normal_picture);
    m_bmpPressed.LoadBitmap(pressed_picture);
}

void CImgBtn::SetBitmaps(CWnd* dialog, UINT normal_picture, UINT pressed_picture, BOOL draw)
{
    m_bmpNormal.DeleteObject();
    m_bmpPressed.DeleteObject();
    m_bmpNormal.LoadBitmap(normal_picture);
    m_bmpPressed.LoadBitmap(pressed_picture);
    if (static_cast<BYTE>(draw))
        this->draw(dialog, m_bmpNormal);
}

void CImgBtn::Press(CWnd* dialog, BOOL down)
{
    bool& held = button_held();
    if (!m_bEnabled && !held)
        return;
    held = down != FALSE;
    draw(dialog, down ? m_bmpPressed : m_bmpNormal);
    if (m_bPending) {
        if (m_pfnOnRelease)
            m_pfnOnRelease(dialog);
        m_bPending = 0;
    }
}

void CImgBtn::Paint(CWnd* dialog)
{
    if (m_bVisible)
        draw(dialog, m_bmpNormal);
}

void CImgBtn::Enable(BOOL on)
{
    m_bEnabled = m_bVisible = static_cast<BYTE>(on) != 0;
}

bool CImgBtn::Contains(POINT point) const
{
    return m_nLeft < point.x && point.x < m_nRight && m_nTop < point.y && point.y < m_nBottom;
}

int CImgBtn::HitTest(const CImgBtn* buttons, int count, POINT point)
{
    for (int i = 0; i < count; ++i) {
        if (buttons[i].Contains(point))
            return i;
    }
    return count;
}

int CImgBtn::StylusDown(CWnd* dialog, CImgBtn* buttons, int count, POINT point)
{
    int hit = HitTest(buttons, count, point);
    if (hit < count)
        buttons[hit].Press(dialog, TRUE);
    return hit;
}

void CImgBtn::StylusUp(CWnd* dialog, CImgBtn* buttons, int count, int held, POINT point)
{
    if (held < 0 || held >= count)
        return;
    CImgBtn& button = buttons[held];
    if (HitTest(buttons, count, point) == held)
        button.m_bPending = 1;
    button.Press(dialog, FALSE);
    // A button that took no part in the press (disabled with none held) must not keep the click
    // for a later press.
    button.m_bPending = 0;
}

void CImgBtn::draw(CWnd* dialog, CBitmap& picture)
{
    CAppUtil().DrawBitmap(dialog, m_nLeft, m_nTop, 0, 0, 0, 0, &picture);
}
