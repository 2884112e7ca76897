#include "HubscreenPaint.h"

void draw_resource_bitmap(HDC dc, UINT bitmap_id, int x, int y)
{
    HBITMAP bitmap = LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(bitmap_id));
    if (!bitmap)
        return;
    BITMAP info {};
    GetObject(bitmap, sizeof(info), &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}
