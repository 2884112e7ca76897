#pragma once

#include "platform.h"

// The battery indicator in a corner of a device-family screen: a picture per battery state over
// a piece of the screen's background, blinking every 500 ms while the battery is low (state 2).
// Each icon is entered in its program's table of 32 under its id, which is also the id of its
// blink timer on the parent's window.
class CBatteryIcon {
public:
    static constexpr UINT table_size = 32;
    static constexpr UINT blink_period_ms = 500;
    static constexpr int low_state = 2;

    // The six pictures: empty, three rising charges, mains adapter, crossed out. An id outside
    // the table is refused: the icon is not entered and never blinks.
    CBatteryIcon(CWnd* parent, UINT id, UINT empty_picture, UINT low_picture, UINT half_picture, UINT full_picture,
        UINT adapter_picture, UINT crossed_picture, UINT background_picture, int background_x, int background_y, int x,
        int y);
    virtual ~CBatteryIcon();
    CBatteryIcon(const CBatteryIcon&) = delete;
    CBatteryIcon& operator=(const CBatteryIcon&) = delete;

    void SetState(int state, int draw);
    void Refresh(int show);
    void Draw(int show);
    void SetPosition(int x, int y);
    int GetState() const { return m_nState; }
    int GetPrevState() const { return m_nPrevState; }

private:
    static constexpr int picture_count = 6;
    static void CALLBACK blink(HWND, UINT, UINT_PTR id, DWORD);
    void stop_blinking();
    void blink_when_low();
    bool entered() const { return m_nId < table_size; }

    UINT m_nId;
    int m_nX;
    int m_nY;
    int m_nCurIcon = 3;
    int m_nPrevState = 5;
    int m_nState = 3;
    CBitmap m_pictures[picture_count];
    CBitmap m_background;
    CWnd* m_pParent;
    int m_nBgX;
    int m_nBgY;
    int m_nWidth = 0;
    int m_nHeight = 0;
};
