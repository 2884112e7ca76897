#pragma once

#include "platform.h"

// What the support library's painters share to copy from a bitmap.
namespace support_painting {

inline bool has_picture(const CBitmap* bitmap)
{
    return bitmap && bitmap->m_hObject;
}

inline SIZE size_of(const CBitmap& bitmap)
{
    BITMAP info {};
    bitmap.GetBitmap(&info);
    return { info.bmWidth, info.bmHeight };
}

// A memory context compatible with the target's, holding one bitmap while it lives.
class BitmapSource {
public:
    BitmapSource(CDC* target, CBitmap* bitmap)
    {
        m_memory.CreateCompatibleDC(target);
        m_old = m_memory.SelectObject(bitmap);
    }
    ~BitmapSource()
    {
        if (m_old)
            m_memory.SelectObject(m_old);
    }
    BitmapSource(const BitmapSource&) = delete;
    BitmapSource& operator=(const BitmapSource&) = delete;

    CDC* get() { return &m_memory; }

private:
    CDC m_memory;
    CBitmap* m_old = nullptr;
};

// Copies the whole of a picture to the target with its top left at x, y; nothing without one.
inline void draw_picture(CDC& target, CBitmap& picture, int x, int y)
{
    if (!has_picture(&picture))
        return;
    SIZE size = size_of(picture);
    BitmapSource source(&target, &picture);
    target.BitBlt(x, y, size.cx, size.cy, source.get(), 0, 0, SRCCOPY);
}

} // namespace support_painting
