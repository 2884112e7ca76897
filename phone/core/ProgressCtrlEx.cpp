#include "ProgressCtrlEx.h"

#include "Skinkit.h"

#include <algorithm>
#include <cstdint>

namespace {

void LoadPicture(CBitmap& bitmap, LPCWSTR section, LPCWSTR key, LPCWSTR skinFile)
{
    WCHAR name[MAX_PATH] = {};
    if (!al_GetSettingString(section, key, skinFile, name, MAX_PATH))
        return;
    AL_BITMAP description {};
    al_LoadBitmapEx(&bitmap, name, &description);
}

} // namespace

void CProgressCtrlEx::LoadImages(LPCWSTR section, LPCWSTR skinFile)
{
    LoadPicture(m_bmpBackground, section, u"BkImage", skinFile);
    LoadPicture(m_bmpBar, section, u"BarImage", skinFile);
}

int CProgressCtrlEx::BarWidth(int position, int lower, int upper, int width)
{
    if (upper <= lower || width <= 2)
        return 0;
    int64_t done = std::clamp(position, lower, upper) - int64_t { lower };
    return static_cast<int>(done * (width - 2) / (int64_t { upper } - lower));
}

void CProgressCtrlEx::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    int width = client.Width();
    int height = client.Height();
    CDC canvas;
    canvas.CreateCompatibleDC(&dc);
    CBitmap page;
    page.CreateCompatibleBitmap(&dc, width, height);
    CBitmap* oldPage = canvas.SelectObject(&page);
    CDC picture;
    picture.CreateCompatibleDC(&dc);
    CBitmap* oldPicture = nullptr;
    if (m_bmpBackground.GetSafeHandle()) {
        oldPicture = picture.SelectObject(&m_bmpBackground);
        canvas.BitBlt(0, 0, width, height, &picture, 0, 0, SRCCOPY);
    }
    int lower = 0;
    int upper = 0;
    GetRange(lower, upper);
    int columns = BarWidth(GetPos(), lower, upper, width);
    if (columns > 0 && m_bmpBar.GetSafeHandle()) {
        CBitmap* before = picture.SelectObject(&m_bmpBar);
        if (!oldPicture)
            oldPicture = before;
        canvas.BitBlt(1, 1, columns, BAR_HEIGHT, &picture, 0, 0, SRCCOPY);
    }
    if (oldPicture)
        picture.SelectObject(oldPicture);
    dc.BitBlt(0, 0, width, height, &canvas, 0, 0, SRCCOPY);
    canvas.SelectObject(oldPage);
}
