#pragma once

#include "CWnd.h"

class CProgressCtrl : public CWnd {
public:
    using CWnd::Create;
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) { return CWnd::Create(PROGRESS_CLASS, nullptr, style, rect, parent, id); }
    void SetRange(short low, short high) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(low), static_cast<WORD>(high))); }
    void SetRange32(int low, int high) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(low), high); }
    void GetRange(int& low, int& high) const
    {
        PBRANGE range {};
        SendMessage(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
        low = range.iLow;
        high = range.iHigh;
    }
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    int OffsetPos(int delta) { return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta))); }
    int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
    int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};
