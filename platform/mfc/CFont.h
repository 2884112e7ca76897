#pragma once

#include "CGdiObject.h"

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONT* logical) { return Attach(::CreateFontIndirect(logical)); }
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
        BYTE strike_out, BYTE char_set, BYTE out_precision, BYTE clip_precision, BYTE quality, BYTE pitch_and_family,
        LPCWSTR face_name)
    {
        return Attach(::CreateFont(height, width, escapement, orientation, weight, italic, underline, strike_out, char_set,
            out_precision, clip_precision, quality, pitch_and_family, face_name));
    }
    int GetLogFont(LOGFONT* logical) const { return GetObject(sizeof(LOGFONT), logical); }
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    static CFont* FromHandle(HFONT handle) { return from_handle<CFont>(handle); }
};
