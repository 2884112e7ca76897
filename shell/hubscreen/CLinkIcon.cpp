#include "CLinkIcon.h"

#include "CAppUtil.h"
#include "HubscreenResources.h"

CLinkIcon::CLinkIcon(CWnd* parent)
    : m_pParent(parent)
{
    m_bitmap.LoadBitmap(IDB_LINK_CROSSED);
}

void CLinkIcon::load_and_draw(UINT picture)
{
    m_bitmap.LoadBitmap(picture);
    CAppUtil().DrawBitmapTransparent(m_pParent, x, y, &m_bitmap, CAppUtil::transparent_key);
}

void CLinkIcon::SetState(int state)
{
    m_bitmap.DeleteObject();
    if (state == 1)
        load_and_draw(IDB_LINK_SYMBOL);
    else if (state == 0)
        load_and_draw(IDB_LINK_CROSSED);
    m_nState = state;
}

void CLinkIcon::Redraw()
{
    m_bitmap.DeleteObject();
    load_and_draw(m_nState == 1 ? IDB_LINK_SYMBOL : IDB_LINK_CROSSED);
}
