#pragma once

#include "platform.h"

// The phone-link indicator in the home page's top bar. It shows the phone-link symbol while a
// phone is connected and idle and the symbol crossed out while there is none; a state change to a
// call leaves the place blank, and a repaint during a call shows the crossed-out symbol, since
// the link is busy then.
class CLinkIcon : public CObject {
public:
    // Where the pictures go; the page restores the indicator's background first.
    static constexpr int x = 370;
    static constexpr int y = 15;

    explicit CLinkIcon(CWnd* parent);
    CLinkIcon(const CLinkIcon&) = delete;
    CLinkIcon& operator=(const CLinkIcon&) = delete;

    // Keeps the phone link's call state (0 no phone, 1 idle, 2 to 4 a call); draws the symbol
    // for 1, the crossed-out symbol for 0 and nothing for any other state.
    void SetState(int state);
    // Draws the picture of the kept state: the symbol for idle, else the crossed-out symbol.
    void Redraw();
    int GetState() const { return m_nState; }

private:
    void load_and_draw(UINT picture);

    CWnd* m_pParent;
    CBitmap m_bitmap;
    int m_nState = 0;
};
