#include "CBitmapButton.h"

#include "kernel/KernelApi.h"

BOOL CBitmapButton::LoadBitmaps(UINT up, UINT down, UINT focus, UINT disabled)
{
    m_nUp = up;
    m_nDown = down;
    m_nFocus = focus;
    m_nDisabled = disabled;
    // FIXME: the pictures are loaded from the resources once the screen's drawing layer is
    // joined; the ids are kept for the drawing.
    return up != 0;
}

UINT CBitmapButton::CurrentBitmapId() const
{
    UINT state = GetState();
    if ((state & BST_PUSHED) && m_nDown)
        return m_nDown;
    if (!IsWindowEnabled() && m_nDisabled)
        return m_nDisabled;
    if ((state & BST_FOCUS) && m_nFocus)
        return m_nFocus;
    return m_nUp;
}

void CBitmapButton::SizeToContent()
{
    // FIXME: sized to the up bitmap once the screen's drawing layer is joined.
    OutputDebugString(u"CBitmapButton::SizeToContent: bitmap sizes come with the drawing layer\r\n");
}
