#pragma once

#include "CSettingHolder.h"
#include "Cplayerc.h"
#include "KivoNotify.h"
#include "platform.h"

// The player's sound dialog: five equaliser presets as tiles and the surround effect switched on
// and off. Each choice reaches the wave driver at once; "OK" makes the choices the caller's, "X"
// puts the driver back as it was at the opening. The caller's worker uses the player too, so the
// player is called only under the caller's lock.
class CSoundDlg : public CDialog {
public:
    // Where each preset's tile stands.
    static constexpr int tile_top = 65;
    static constexpr int tile_width = 86;
    static constexpr int tile_height = 110;
    static constexpr int tile_left[5] = { 16, 107, 198, 289, 380 };
    // What DoModal answers when the program is told to close while the dialog is open.
    static constexpr int closing_result = static_cast<int>(APP_CLOSE);

    // The preset whose tile holds the point, edges included; -1 between and around the tiles.
    static int TileAt(CPoint);

    CSoundDlg(int* eq_preset, BYTE* surround, Cplayerc* player, HWND* navigation_window, CRITICAL_SECTION* player_lock,
        CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange*) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnDestroy() override;
    // Ends the dialog with the close code when the program is to close.
    LRESULT DefWindowProc(UINT message, WPARAM, LPARAM) override;

    void OnSurroundOn();
    void OnSurroundOff();
    void OnKeep();
    void OnCancelChanges();
    // Sends the preset to the driver; music that plays is paused around the change.
    void ApplyPreset(int preset);

    // The caller's: its preset and surround flag, its player and the navigation program's window
    // (null outside navigation mode).
    int* m_pEqPreset;
    BYTE* m_pSurround;
    Cplayerc* m_pPlayer;
    HWND* m_phNaviWnd;
    CRITICAL_SECTION* m_pPlayerLock;

    int m_nChosen = 0;
    int m_nShown = 0;
    BYTE m_bSurroundOn = 0;
    int m_nPlayerState = 0;
    CSettingHolder m_Setting;
    CBitmapButton m_On;
    CBitmapButton m_Off;
    CBitmapButton m_Ok;
    CBitmapButton m_Close;
    CBitmap m_Background;

protected:
    BOOL OnCommand(WPARAM, LPARAM) override;

private:
    void key_click();
    void set_surround_pictures(bool redraw);
    void draw_tile(CDC&, int preset, bool selected);
};
