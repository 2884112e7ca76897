#pragma once

#include "CGdiObject.h"

class CDC;

class CBitmap : public CGdiObject {
public:
    // A bitmap of the program's resources by number.
    BOOL LoadBitmap(UINT id);
    BOOL LoadBitmap(LPCWSTR name);
    BOOL CreateCompatibleBitmap(CDC*, int width, int height);
    int GetBitmap(BITMAP* info) const { return GetObject(sizeof(BITMAP), info); }
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    static CBitmap* FromHandle(HBITMAP handle) { return from_handle<CBitmap>(handle); }
};
