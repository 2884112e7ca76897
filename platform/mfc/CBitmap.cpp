#include "CBitmap.h"

#include "CDC.h"
#include "CWinApp.h"

BOOL CBitmap::LoadBitmap(UINT id)
{
    return LoadBitmap(MAKEINTRESOURCE(static_cast<WORD>(id)));
}

BOOL CBitmap::LoadBitmap(LPCWSTR name)
{
    return Attach(::LoadBitmap(AfxGetResourceHandle(), name));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}
