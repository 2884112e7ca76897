#include "CSoundDlg.h"

#include "BitmapSource.h"
#include "DAPI.h"
#include "MelodoResources.h"
#include "SectionLock.h"
#include "WaveDriver.h"

namespace {

constexpr POINT on_place { 138, 205 };
constexpr POINT off_place { 285, 205 };
constexpr int surround_button_size = 56;

UINT tile_picture(int preset, bool selected)
{
    return IDB_TILE_FIRST + 2 * static_cast<UINT>(preset) + (selected ? 1 : 0);
}

} // namespace

CSoundDlg::CSoundDlg(int* eq_preset, BYTE* surround, Cplayerc* player, HWND* navigation_window,
    CRITICAL_SECTION* player_lock, CWnd* parent)
    : CDialog(IDD_SOUND, parent)
    , m_pEqPreset(eq_preset)
    , m_pSurround(surround)
    , m_pPlayer(player)
    , m_phNaviWnd(navigation_window)
    , m_pPlayerLock(player_lock)
{
}

void CSoundDlg::DoDataExchange(CDataExchange* exchange)
{
    DDX_Control(exchange, IDC_SURROUND_ON, m_On);
    DDX_Control(exchange, IDC_SURROUND_OFF, m_Off);
    DDX_Control(exchange, IDC_OK, m_Ok);
    DDX_Control(exchange, IDC_CLOSE_X, m_Close);
}

BOOL CSoundDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_Background.LoadBitmap(IDB_SOUND_BACKGROUND);
    m_nChosen = *m_pEqPreset;
    m_nShown = m_nChosen;
    m_bSurroundOn = *m_pSurround;
    m_On.MoveWindow(on_place.x, on_place.y, surround_button_size, surround_button_size);
    m_Off.MoveWindow(off_place.x, off_place.y, surround_button_size, surround_button_size);
    m_Ok.MoveWindow(397, 20, 63, 39);
    m_Close.MoveWindow(418, 205, 53, 51);
    m_Ok.LoadBitmaps(IDB_SOUND_OK, IDB_SOUND_OK + 1);
    m_Close.LoadBitmaps(IDB_SOUND_X, IDB_SOUND_X + 1);
    set_surround_pictures(false);
    SectionLock lock(*m_pPlayerLock);
    m_nPlayerState = m_pPlayer->Getsts();
    return TRUE;
}

void CSoundDlg::set_surround_pictures(bool redraw)
{
    // The button of the state in force is orange, the other teal.
    UINT on = m_bSurroundOn ? IDB_ON_ORANGE : IDB_ON_TEAL;
    UINT off = m_bSurroundOn ? IDB_OFF_TEAL : IDB_OFF_ORANGE;
    m_On.LoadBitmaps(on, on + 1);
    m_Off.LoadBitmaps(off, off + 1);
    if (redraw) {
        m_On.Invalidate(FALSE);
        m_Off.Invalidate(FALSE);
    }
}

BOOL CSoundDlg::OnEraseBkgnd(CDC* dc)
{
    support_painting::draw_picture(*dc, m_Background, 0, 0);
    return TRUE;
}

void CSoundDlg::draw_tile(CDC& dc, int preset, bool selected)
{
    if (preset < 0 || preset >= eq_preset_count)
        return;
    CBitmap tile;
    if (!tile.LoadBitmap(tile_picture(preset, selected)))
        return;
    support_painting::draw_picture(dc, tile, tile_left[preset], tile_top);
}

void CSoundDlg::OnPaint()
{
    CPaintDC dc(this);
    for (int preset = 0; preset < eq_preset_count; ++preset)
        draw_tile(dc, preset, false);
    draw_tile(dc, m_nChosen, true);
}

void CSoundDlg::key_click()
{
    if (*m_phNaviWnd) {
        m_Setting.Click();
        return;
    }
    m_Setting.ClickWithBacklight();
    // The backlight stays on while music plays.
    DAPI_EnableBacklightOff(m_nPlayerState == State_Running ? 0 : 1);
}

int CSoundDlg::TileAt(CPoint point)
{
    for (int preset = 0; preset < eq_preset_count; ++preset) {
        if (point.x >= tile_left[preset] && point.x <= tile_left[preset] + tile_width && point.y >= tile_top
            && point.y <= tile_top + tile_height)
            return preset;
    }
    return -1;
}

void CSoundDlg::OnLButtonDown(UINT, CPoint point)
{
    int preset = TileAt(point);
    if (preset < 0)
        return;
    key_click();
    m_nChosen = preset;
    if (m_nChosen == m_nShown)
        return;
    ApplyPreset(m_nChosen);
    CClientDC dc(this);
    draw_tile(dc, m_nChosen, true);
    draw_tile(dc, m_nShown, false);
    m_nShown = m_nChosen;
}

void CSoundDlg::ApplyPreset(int preset)
{
    SectionLock lock(*m_pPlayerLock);
    if (m_pPlayer->Getsts() != State_Running) {
        send_eq_preset(preset);
        return;
    }
    // Music that plays is held while the driver changes its filter, so the change is not heard as a
    // click in the middle of a buffer.
    m_pPlayer->Pause();
    Sleep(50);
    send_eq_preset(preset);
    m_pPlayer->Play();
}

void CSoundDlg::OnSurroundOn()
{
    key_click();
    if (m_bSurroundOn)
        return;
    m_bSurroundOn = 1;
    set_surround_pictures(true);
    send_surround(true);
}

void CSoundDlg::OnSurroundOff()
{
    key_click();
    if (!m_bSurroundOn)
        return;
    m_bSurroundOn = 0;
    set_surround_pictures(true);
    send_surround(false);
}

void CSoundDlg::OnKeep()
{
    key_click();
    *m_pSurround = m_bSurroundOn;
    *m_pEqPreset = m_nChosen;
    OnOK();
}

void CSoundDlg::OnCancelChanges()
{
    key_click();
    if (m_nChosen != *m_pEqPreset)
        ApplyPreset(*m_pEqPreset);
    if (m_bSurroundOn != *m_pSurround)
        send_surround(*m_pSurround != 0);
    OnOK();
}

BOOL CSoundDlg::OnCommand(WPARAM wparam, LPARAM lparam)
{
    if (HIWORD(wparam) == BN_CLICKED) {
        switch (LOWORD(wparam)) {
        case IDC_SURROUND_ON:
            OnSurroundOn();
            return TRUE;
        case IDC_SURROUND_OFF:
            OnSurroundOff();
            return TRUE;
        case IDC_OK:
            OnKeep();
            return TRUE;
        case IDC_CLOSE_X:
            OnCancelChanges();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wparam, lparam);
}

LRESULT CSoundDlg::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY && (wparam == DRV_SD_RMV2 || wparam == APP_USB_CONNECTED || wparam == APP_CLOSE))
        EndDialog(closing_result);
    return CDialog::DefWindowProc(message, wparam, lparam);
}

void CSoundDlg::OnDestroy()
{
    CDialog::OnDestroy();
    m_Background.DeleteObject();
}
