#include "CMelodoDlg.h"

#include "BitmapSource.h"
#include "CAppUtil.h"
#include "CSoundDlg.h"
#include "DAPI.h"
#include "KivoNotify.h"
#include "SectionLock.h"
#include "WaveDriver.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

struct ButtonPlace {
    RECT rect; // x, y, width, height
    UINT picture;
};
constexpr ButtonPlace button_places[CMelodoDlg::button_count] = {
    { { 7, 205, 52, 51 }, IDB_VOLUME_DOWN },
    { { 59, 205, 52, 51 }, IDB_VOLUME_UP },
    { { 123, 205, 56, 56 }, IDB_PREVIOUS },
    { { 182, 205, 56, 56 }, IDB_NEXT },
    { { 241, 205, 56, 56 }, IDB_STOP },
    { { 300, 205, 56, 56 }, IDB_PLAY },
    { { 414, 60, 55, 34 }, IDB_LIST },
    { { 414, 104, 55, 34 }, IDB_MODE_FIRST },
    { { 414, 148, 55, 34 }, IDB_SOUND },
    { { 418, 205, 53, 51 }, IDB_CLOSE },
    { { 365, 210, 45, 45 }, IDB_NAVIGATION },
};

// The six digit places of the time and the two colons.
constexpr int digit_x[6] = { 240, 258, 294, 312, 348, 366 };
constexpr int colon_x[2] = { 276, 330 };
constexpr int time_y = 70;

constexpr RECT artist_area { 135, 120, 200, 25 };
constexpr RECT title_area { 135, 155, 200, 25 };
constexpr RECT message_area { 240, 71, 150, 25 };
constexpr RECT empty_list_area { 240, 68, 140, 28 };
constexpr RECT volume_area { 56, 68, 25, 25 };
constexpr RECT position_area { 25, 155, 85, 35 };
constexpr RECT surround_area { 190, 70, 46, 25 };

// The shuffle's random numbers come from the process's own sequence.
unsigned draw_random()
{
    return static_cast<unsigned>(std::rand());
}

void copy_path(WCHAR (&target)[256], const CString& path)
{
    size_t units = std::min<size_t>(static_cast<size_t>(path.GetLength()), max_path_units);
    std::copy_n(static_cast<LPCWSTR>(path), units, target);
    target[units] = 0;
}

} // namespace

CMelodoDlg::CMelodoDlg()
    : CDialog(IDD_MELODO)
{
    InitializeCriticalSection(&m_lock);
}

CMelodoDlg::~CMelodoDlg()
{
    DeleteCriticalSection(&m_lock);
}

BOOL CMelodoDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    HICON icon = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDI_MELODO));
    SetIcon(icon, TRUE);
    SetIcon(icon, FALSE);
    m_PlayList.RemoveAll();
    // The home screen finds the player by this title.
    SetWindowText(u"audio");
    m_Player.SetNotify(m_hWnd, WM_PLAYER_NOTIFY);

    m_hNaviWnd = FindWindow(nullptr, NAVI_WINDOW_TITLE);
    DAPI_EnableBacklightOff(navigation_mode() ? 0 : 1);
    m_Background.LoadBitmap(navigation_mode() ? IDB_BACKGROUND_NAVI : IDB_BACKGROUND);
    for (int mode = 0; mode < play_mode_count; ++mode)
        m_ModeLabels[mode].LoadBitmap(IDB_MODE_LABEL_FIRST + static_cast<UINT>(mode));
    m_Colon.LoadBitmap(IDB_COLON);
    m_pBattery = std::make_unique<CBatteryIcon>(this, battery_timer, IDB_BATTERY_FIRST, IDB_BATTERY_FIRST + 1,
        IDB_BATTERY_FIRST + 2, IDB_BATTERY_FIRST + 3, IDB_BATTERY_FIRST + 4, IDB_BATTERY_FIRST + 5,
        navigation_mode() ? IDB_BACKGROUND_NAVI : IDB_BACKGROUND, 420, 15, 420, 15);
    m_pBattery->SetState(DAPI_GetBatteryLevel(), FALSE);

    m_Slider.SubclassDlgItem(IDC_SEEK_BAR, this);
    m_Slider.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, seek_range));
    m_Slider.SetBitmaps(IDB_SEEK_TRACK, IDB_SEEK_FILLED, IDB_SEEK_THUMB, IDB_SEEK_THUMB_PRESSED);
    m_Slider.MoveWindow(20, 15, seek_bar_width, seek_bar_height);
    m_Slider.SetPos(0);

    m_bQuit = 0;
    m_hEvNext = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hEvPlay = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hEvStop = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    m_hThread = CreateThread(nullptr, 0, PlayerThreadProc, this, 0, nullptr);

    const Action actions[button_count] = { &CMelodoDlg::OnVolumeDown, &CMelodoDlg::OnVolumeUp,
        &CMelodoDlg::OnPrevious, &CMelodoDlg::OnNext, &CMelodoDlg::OnStop, &CMelodoDlg::OnPlay, &CMelodoDlg::OnPlayList,
        &CMelodoDlg::OnPlayMode, &CMelodoDlg::OnSound, &CMelodoDlg::OnClose, &CMelodoDlg::OnNavigation };
    {
        SectionLock lock(m_lock);
        for (int i = 0; i < button_count; ++i) {
            const auto& place = button_places[i];
            m_Buttons[i].Create(place.rect.left, place.rect.top, place.rect.right, place.rect.bottom, place.picture,
                place.picture + 1);
            m_Buttons[i].m_pfnOnRelease = [this, action = actions[i]](CWnd*) { m_pfnClicked = action; };
        }
        set_mode_button(false);
        if (navigation_mode()) {
            m_Buttons[btn_volume_down].Enable(FALSE);
            m_Buttons[btn_volume_up].Enable(FALSE);
        } else {
            m_Buttons[btn_navigation].Enable(FALSE);
        }
    }

    LoadBookmark();
    send_eq_preset(m_nEqPreset);
    if (m_bSurround)
        send_surround(true);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return TRUE;
}

// ---- Painting ----

BOOL CMelodoDlg::OnEraseBkgnd(CDC* dc)
{
    support_painting::draw_picture(*dc, m_Background, 0, 0);
    m_Slider.Invalidate(FALSE);
    return FALSE;
}

void CMelodoDlg::OnPaint()
{
    CPaintDC paint(this);
    bool first_paint = false;
    {
        SectionLock lock(m_lock);
        m_bPainted = 1;
        // An empty list takes the transport buttons away before they are painted.
        if (list_empty()) {
            for (int i : { btn_previous, btn_next, btn_stop, btn_play })
                m_Buttons[i].Enable(FALSE);
            m_Slider.EnableWindow(FALSE);
        }
        for (auto& button : m_Buttons)
            button.Paint(this);
        m_pBattery->Draw(TRUE);
        CAppUtil util;
        for (auto [id, y] : { std::pair { IDB_ARTIST_ICON, 120 }, std::pair { IDB_TITLE_ICON, 155 } }) {
            CBitmap icon;
            icon.LoadBitmap(id);
            util.DrawBitmapTransparent(this, 110, y, &icon, CAppUtil::transparent_key);
        }
        restore_background(title_area.left, title_area.top, title_area.right, title_area.bottom);
        restore_background(artist_area.left, artist_area.top, artist_area.right, artist_area.bottom);
        std::fill(std::begin(m_nDigits), std::end(m_nDigits), -1);
        DrawPlayModeLabel();
        DrawEqLabel();
        DrawSurroundMark();
        if (!list_empty()) {
            m_nScrollTick = 0;
            DrawTitleArtist(m_AudioInfo, TRUE);
            int seconds = 0;
            m_Player.GetCurTime(&seconds);
            DrawTime(seconds);
            DrawListPos();
        } else {
            draw_text(empty_list_area.left, empty_list_area.top, empty_list_area.right, empty_list_area.bottom,
                u"播放列表為空", DT_LEFT | DT_TOP, 22);
        }
        if (!navigation_mode()) {
            CBitmap speaker;
            speaker.LoadBitmap(m_nVolume == 0 ? IDB_SPEAKER_MUTED : IDB_SPEAKER);
            util.DrawBitmapTransparent(this, 30, 70, &speaker, CAppUtil::transparent_key);
            DrawVolume(m_nVolume);
        }
        first_paint = std::exchange(m_bFirstPaint, 0) != 0;
    }
    if (first_paint) {
        if (HWND home = FindWindow(nullptr, HOME_WINDOW_TITLE))
            ::SendMessage(home, MSG_AUDIO_READY, 0, 0);
    }
}

void CMelodoDlg::restore_background(int x, int y, int width, int height)
{
    CAppUtil().DrawBitmap(this, x, y, width, height, x, y, &m_Background);
}

void CMelodoDlg::draw_text(int x, int y, int width, int height, const CString& text, UINT format, int size)
{
    CAppUtil().DrawText(this, x, y, width, height, text, format, melodo_text_colour, 0, size);
}

void CMelodoDlg::DrawTitleArtist(const _tag_AUDIO_INFO& info, BOOL full)
{
    if (m_bSoundDlgOpen)
        return;
    CAppUtil util;
    CString title = info.title_valid ? CString(info.title) : CString(u"      ");
    CString artist = info.artist_valid ? CString(info.artist) : CString(u"      ");
    if (m_nScrollTick == 0 && full) {
        for (auto [area, text] : { std::pair { title_area, title }, std::pair { artist_area, artist } }) {
            restore_background(area.left, area.top, area.right, area.bottom);
            util.EllipsizeText(this, 120, text);
            draw_text(area.left, area.top, area.right, area.bottom, text, DT_LEFT | DT_TOP, 20);
        }
    } else {
        for (auto [area, text, valid] : { std::tuple { title_area, title, info.title_valid }, std::tuple { artist_area, artist, info.artist_valid } }) {
            int length = text.GetLength();
            if (length == 0 || !valid)
                continue;
            auto start = static_cast<WORD>(m_nScrollTick % length);
            if (util.ClipTextFrom(this, text, start, 150) == -1)
                continue;
            util.DrawTextOverBackground(this, area.left, area.top, area.right, area.bottom, text, DT_LEFT | DT_TOP,
                melodo_text_colour, panel_colour, 20, &m_Background);
        }
    }
    ++m_nScrollTick;
}

void CMelodoDlg::draw_digit(int place, int digit)
{
    if (digit == m_nDigits[place])
        return;
    m_nDigits[place] = digit;
    if (digit < 0 || digit > 9)
        return;
    CAppUtil().DrawBitmapOverBackground(this, digit_x[place], time_y, &m_Background,
        IDB_DIGIT_FIRST + static_cast<UINT>(digit), CAppUtil::transparent_key);
}

void CMelodoDlg::DrawTime(int seconds)
{
    int hours_tens = seconds / 36000;
    const int digits[6] = {
        hours_tens,
        seconds / 3600 - 10 * hours_tens,
        seconds % 3600 / 60 / 10,
        seconds % 3600 / 60 % 10,
        seconds % 60 / 10,
        seconds % 60 % 10,
    };
    for (int place = 0; place < 6; ++place)
        draw_digit(place, digits[place]);
    for (int x : colon_x)
        CAppUtil().DrawBitmapTransparent(this, x, time_y, &m_Colon, CAppUtil::transparent_key);
}

void CMelodoDlg::DrawListPos()
{
    if (list_empty())
        return;
    CString text;
    text.Format(u"%d/%d", m_Order[static_cast<size_t>(m_nCurPos)] + 1, list_size());
    restore_background(position_area.left, position_area.top, position_area.right, position_area.bottom);
    draw_text(position_area.left, position_area.top, position_area.right, position_area.bottom, text,
        DT_CENTER | DT_VCENTER | DT_SINGLELINE, 25);
}

void CMelodoDlg::DrawVolume(int volume)
{
    CAppUtil util;
    if (volume == 0) {
        util.DrawBitmapOverBackground(this, 30, 70, &m_Background, IDB_SPEAKER_MUTED, CAppUtil::transparent_key);
        restore_background(volume_area.left, volume_area.top, volume_area.right, volume_area.bottom);
        m_Buttons[btn_volume_down].Enable(FALSE);
    } else if (volume == 1) {
        util.DrawBitmapOverBackground(this, 30, 70, &m_Background, IDB_SPEAKER, CAppUtil::transparent_key);
        m_Buttons[btn_volume_down].Enable(TRUE);
        m_Buttons[btn_volume_down].Paint(this);
    }
    if (volume == max_volume - 1) {
        m_Buttons[btn_volume_up].Enable(TRUE);
        m_Buttons[btn_volume_up].Paint(this);
    } else if (volume == max_volume) {
        m_Buttons[btn_volume_up].Enable(FALSE);
    }
    if (volume != 0) {
        CString text;
        text.Format(u"%d", volume);
        restore_background(volume_area.left, volume_area.top, volume_area.right, volume_area.bottom);
        draw_text(volume_area.left, volume_area.top, volume_area.right, volume_area.bottom, text, DT_LEFT | DT_TOP, 25);
    }
    m_Player.SetVolume(volume);
}

void CMelodoDlg::DrawPlayModeLabel()
{
    CAppUtil().DrawBitmapOverBackground(this, 35, 120, &m_Background, IDB_MODE_LABEL_FIRST + static_cast<UINT>(m_nPlayMode),
        CAppUtil::transparent_key);
}

void CMelodoDlg::DrawEqLabel()
{
    CAppUtil().DrawBitmapOverBackground(this, 110, 70, &m_Background, IDB_EQ_LABEL_FIRST + static_cast<UINT>(m_nEqPreset),
        CAppUtil::transparent_key);
}

void CMelodoDlg::DrawSurroundMark()
{
    if (m_bSurround) {
        CBitmap mark;
        mark.LoadBitmap(IDB_SURROUND);
        CAppUtil().DrawBitmap(this, surround_area.left, surround_area.top, 0, 0, 0, 0, &mark);
    } else {
        restore_background(surround_area.left, surround_area.top, surround_area.right, surround_area.bottom);
    }
}

void CMelodoDlg::clear_message_area()
{
    restore_background(message_area.left, message_area.top, message_area.right, message_area.bottom);
}

void CMelodoDlg::load_failed_text(long result)
{
    clear_message_area();
    draw_text(message_area.left, message_area.top, message_area.right, message_area.bottom,
        static_cast<HRESULT>(result) == VFW_E_INVALID_FILE_FORMAT ? u"檔案毀損" : u"受保護檔案", DT_LEFT | DT_TOP, 20);
}

void CMelodoDlg::set_play_picture(bool pause)
{
    UINT picture = pause ? IDB_PAUSE : IDB_PLAY;
    m_Buttons[btn_play].SetBitmaps(this, picture, picture + 1, m_bPainted);
}

void CMelodoDlg::set_mode_button(bool draw)
{
    // The button shows the mode a tap selects.
    UINT picture = IDB_MODE_FIRST + 2 * static_cast<UINT>((m_nPlayMode + 1) % play_mode_count);
    m_Buttons[btn_mode].SetBitmaps(this, picture, picture + 1, draw ? TRUE : FALSE);
}

// ---- Taps and buttons ----

void CMelodoDlg::OnLButtonDown(UINT, CPoint point)
{
    SetCapture();
    SectionLock lock(m_lock);
    m_nHeld = CImgBtn::StylusDown(this, m_Buttons, button_count, point);
}

void CMelodoDlg::OnLButtonUp(UINT, CPoint point)
{
    ReleaseCapture();
    Action clicked = nullptr;
    {
        SectionLock lock(m_lock);
        int held = std::exchange(m_nHeld, static_cast<int>(button_count));
        CImgBtn::StylusUp(this, m_Buttons, button_count, held, point);
        clicked = std::exchange(m_pfnClicked, nullptr);
    }
    // The action runs without the lock: a dialog it opens must leave the worker free to go on
    // to the next song.
    if (clicked)
        (this->*clicked)();
}

void CMelodoDlg::TapClick()
{
    if (navigation_mode()) {
        m_Setting.Click();
        return;
    }
    m_Setting.ClickWithBacklight();
    // The backlight stays on while music plays.
    SectionLock lock(m_lock);
    DAPI_EnableBacklightOff(m_nIntendedState == intended_playing ? 0 : 1);
}

void CMelodoDlg::OnVolumeDown()
{
    TapClick();
    SectionLock lock(m_lock);
    m_nVolume = std::max(m_nVolume - 1, 0);
    DrawVolume(m_nVolume);
}

void CMelodoDlg::OnVolumeUp()
{
    TapClick();
    SectionLock lock(m_lock);
    m_nVolume = std::min(m_nVolume + 1, max_volume);
    DrawVolume(m_nVolume);
}

void CMelodoDlg::OnPrevious()
{
    TapClick();
    SectionLock lock(m_lock);
    if (PrepareTrackChange() == -1)
        return;
    if (--m_nCurPos < 0) {
        ReorderList();
        m_nCurPos = list_size() - 1;
    }
    LoadCurrentInfo();
    DrawListPos();
    SetEvent(m_hEvNext);
}

void CMelodoDlg::OnNext()
{
    TapClick();
    SectionLock lock(m_lock);
    if (PrepareTrackChange() == -1)
        return;
    AdvancePos();
    SetEvent(m_hEvNext);
}

void CMelodoDlg::OnStop()
{
    TapClick();
    SectionLock lock(m_lock);
    restore_background(title_area.left, title_area.top, title_area.right, title_area.bottom);
    restore_background(artist_area.left, artist_area.top, artist_area.right, artist_area.bottom);
    m_nScrollTick = 0;
    DrawTitleArtist(m_AudioInfo, TRUE);
    SetEvent(m_hEvStop);
}

void CMelodoDlg::OnPlay()
{
    TapClick();
    SetEvent(m_hEvPlay);
}

void CMelodoDlg::OnSound()
{
    TapClick();
    CSoundDlg dialog(&m_nEqPreset, &m_bSurround, &m_Player, &m_hNaviWnd, &m_lock, this);
    {
        SectionLock lock(m_lock);
        m_bSoundDlgOpen = 1;
    }
    if (dialog.DoModal() == CSoundDlg::closing_result)
        OnOK();
    // The time under the dialog may have moved on: its digits are drawn afresh, and the labels
    // by the paint that uncovering the screen brings.
    SectionLock lock(m_lock);
    m_bSoundDlgOpen = 0;
    std::fill(std::begin(m_nDigits), std::end(m_nDigits), -1);
    m_nScrollTick = 0;
}

void CMelodoDlg::OnPlayMode()
{
    TapClick();
    SectionLock lock(m_lock);
    m_nPlayMode = (m_nPlayMode + 1) % play_mode_count;
    set_mode_button(true);
    ReorderList();
    DrawPlayModeLabel();
}

void CMelodoDlg::OnClose()
{
    TapClick();
    OnOK();
}

void CMelodoDlg::OnNavigation()
{
    TapClick();
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW);
    if (HWND home = FindWindow(nullptr, HOME_WINDOW_TITLE))
        ::SendMessage(home, WM_KIVO_NOTIFY, APP_SHOW_NAVI, 0);
    SectionLock lock(m_lock);
    m_bPlayBehind = m_Player.Getsts() == State_Running ? 1 : 0;
}

// ---- Order of play ----

int CMelodoDlg::FindOrderPos(int list_index) const
{
    for (int k = 0; k < list_size(); ++k) {
        if (m_Order[static_cast<size_t>(k)] == list_index)
            return k;
    }
    return -1;
}

void CMelodoDlg::ReorderList()
{
    auto n = static_cast<uint16_t>(list_size());
    // Previous before the first and next after the last come here with the position outside the
    // list: there is no current entry to keep then.
    bool has_current = m_nCurPos >= 0 && m_nCurPos < n;
    int current = has_current ? m_Order[static_cast<size_t>(m_nCurPos)] : -1;
    for (uint16_t i = 0; i < n; ++i)
        m_Order[i] = i;
    if (has_current) {
        if (int pos = FindOrderPos(current); pos >= 0)
            m_nCurPos = pos;
    }
    if (m_nPlayMode != 3 || n == 0)
        return;
    has_current = m_nCurPos >= 0 && m_nCurPos < n;
    current = has_current ? m_Order[static_cast<size_t>(m_nCurPos)] : -1;
    for (int swap = 0; swap < n / 2; ++swap) {
        unsigned a = draw_random() % n;
        unsigned b = draw_random() % n;
        std::swap(m_Order[a], m_Order[b]);
    }
    if (has_current) {
        if (int pos = FindOrderPos(current); pos >= 0)
            m_nCurPos = pos;
    }
}

void CMelodoDlg::AdvancePos()
{
    if (++m_nCurPos >= list_size()) {
        ReorderList();
        m_nCurPos = 0;
    }
    LoadCurrentInfo();
    DrawListPos();
}

void CMelodoDlg::LoadCurrentInfo()
{
    m_nScrollTick = 0;
    if (list_empty())
        return;
    copy_path(m_AudioInfo.path, m_PlayList[m_Order[static_cast<size_t>(m_nCurPos)]]);
    m_Player.GetAudioInfo(&m_AudioInfo);
    if (m_bPainted)
        DrawTitleArtist(m_AudioInfo, TRUE);
}

int CMelodoDlg::PrepareTrackChange()
{
    KillTimer(play_timer);
    m_Slider.EnableWindow(FALSE);
    m_nSeekPos = 0;
    std::fill(std::begin(m_nDigits), std::end(m_nDigits), -1);
    DrawTime(0);
    if (list_empty()) {
        SetEvent(m_hEvStop);
        return -1;
    }
    return 0;
}

void CMelodoDlg::request_seek_bar(SeekBarRequest request)
{
    PostMessage(WM_SEEK_BAR, request, 0);
}

void CMelodoDlg::ShowStopped()
{
    KillTimer(play_timer);
    request_seek_bar(seek_bar_to_zero);
    std::fill(std::begin(m_nDigits), std::end(m_nDigits), -1);
    m_Buttons[btn_stop].Enable(FALSE);
    set_play_picture(false);
    if (m_bPainted)
        DrawTime(0);
    m_nSeekPos = 0;
}

// ---- The worker ----

DWORD WINAPI CMelodoDlg::PlayerThreadProc(LPVOID parameter)
{
    auto* dialog = static_cast<CMelodoDlg*>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const HANDLE events[3] = { dialog->m_hEvNext, dialog->m_hEvPlay, dialog->m_hEvStop };
    while (true) {
        DWORD signalled = WaitForMultipleObjects(3, events, FALSE, INFINITE);
        if (signalled == WAIT_OBJECT_0) {
            dialog->PlayNext();
            Sleep(200);
        } else if (signalled == WAIT_OBJECT_0 + 1) {
            dialog->PlayCurrent();
        } else if (signalled == WAIT_OBJECT_0 + 2) {
            dialog->StopPlay();
            ResetEvent(dialog->m_hEvStop);
            if (dialog->m_bQuit == 1)
                break;
        } else {
            break;
        }
        if (dialog->m_bQuit)
            break;
    }
    CoUninitialize();
    return 0;
}

void CMelodoDlg::PlayNext()
{
    StopPlay();
    PlayCurrent();
}

void CMelodoDlg::common_play_end()
{
    set_play_picture(true);
    SetTimer(play_timer, 1000, nullptr);
    m_nScrollTick = 0;
}

void CMelodoDlg::PlayCurrent()
{
    SectionLock lock(m_lock);
    if (list_empty())
        return;
    switch (m_Player.Getsts()) {
    case State_Paused:
        m_nIntendedState = intended_playing;
        m_Player.Play();
        if (!navigation_mode())
            DAPI_EnableBacklightOff(0);
        common_play_end();
        return;
    case State_Running:
        m_nIntendedState = intended_paused;
        m_Player.Pause();
        if (!navigation_mode())
            DAPI_EnableBacklightOff(1);
        set_play_picture(false);
        KillTimer(play_timer);
        return;
    default:
        break;
    }
    m_Buttons[btn_stop].Enable(TRUE);
    m_Buttons[btn_play].Enable(FALSE);
    copy_path(m_AudioInfo.path, m_PlayList[m_Order[static_cast<size_t>(m_nCurPos)]]);
    long result = m_Player.mp3LoadFile(m_AudioInfo.path, &m_AudioInfo);
    // A failing file gives way to the next one of the order; each entry is tried at most once.
    int left = list_size();
    bool retried = false;
    while (FAILED(result)) {
        // What the failed load built stays out of play: the player counts as stopped again.
        m_Player.mp3Release();
        KillTimer(play_timer);
        if (left < 2)
            return;
        if (m_bPainted) {
            std::fill(std::begin(m_nDigits), std::end(m_nDigits), -1);
            load_failed_text(result);
        }
        AdvancePos();
        --left;
        retried = true;
        copy_path(m_AudioInfo.path, m_PlayList[m_Order[static_cast<size_t>(m_nCurPos)]]);
        result = m_Player.mp3LoadFile(m_AudioInfo.path, &m_AudioInfo);
    }
    if (retried && m_bPainted) {
        clear_message_area();
        DrawTime(0);
    }
    request_seek_bar(seek_bar_enable);
    if (m_nSeekPos != 0)
        m_Player.mp3SetPos(m_nSeekPos);
    m_nIntendedState = intended_playing;
    m_Player.Play();
    if (!navigation_mode())
        DAPI_EnableBacklightOff(0);
    m_Buttons[btn_play].Enable(TRUE);
    common_play_end();
}

void CMelodoDlg::StopPlay()
{
    SectionLock lock(m_lock);
    if (m_Player.Getsts() == State_Stopped)
        return;
    ShowStopped();
    m_nIntendedState = intended_stopped;
    m_Player.Stop();
    if (!navigation_mode())
        DAPI_EnableBacklightOff(1);
}

// ---- Messages ----

void CMelodoDlg::OnTimer(UINT_PTR id)
{
    if (id == play_timer) {
        SectionLock lock(m_lock);
        int current = 0;
        int total = 0;
        m_Player.GetCurTime(&current);
        m_Player.GetTolTime(&total);
        DrawTime(current);
        if (total != 0) {
            int per_mille = std::min(current * 1000 / total, seek_range);
            // The bar never moves back by itself: a seek ahead of the clock stays where it was put.
            if (per_mille >= m_nSeekPos) {
                m_Slider.SetPos(per_mille);
                m_nSeekPos = per_mille;
            }
        }
        DrawTitleArtist(m_AudioInfo, TRUE);
    }
    CDialog::OnTimer(id);
}

void CMelodoDlg::on_player_notify()
{
    SectionLock lock(m_lock);
    long event = -1;
    while (m_Player.GetEvent(&event) != 0) {
        if (event != PLAYER_COMPLETE)
            continue;
        m_Slider.SetPos(0);
        if (m_nPlayMode == 0 && m_nCurPos == list_size() - 1) {
            m_nCurPos = 0;
            SetEvent(m_hEvStop);
            LoadCurrentInfo();
            DrawListPos();
            return;
        }
        if (m_nPlayMode == 1)
            --m_nCurPos;
        if (PrepareTrackChange() == -1)
            return;
        AdvancePos();
        SetEvent(m_hEvNext);
    }
}

void CMelodoDlg::on_seek(UINT code, int position)
{
    SectionLock lock(m_lock);
    KillTimer(play_timer);
    int state = m_Player.Getsts();
    m_nSeekPos = std::clamp(position, 0, seek_range);
    if (code != CSkinSlider::code_track && code != CSkinSlider::code_release)
        return;
    int total = 0;
    m_Player.GetTolTime(&total);
    DrawTime(total * m_nSeekPos / 1000);
    if (code != CSkinSlider::code_release)
        return;
    if (state == State_Paused) {
        m_Player.mp3SetPos(m_nSeekPos);
    } else if (state == State_Running) {
        m_Player.mp3SetPos(m_nSeekPos);
        m_nIntendedState = intended_playing;
        m_Player.Play();
        SetTimer(play_timer, 1000, nullptr);
        m_nScrollTick = 0;
    }
}

LRESULT CMelodoDlg::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_HSCROLL && reinterpret_cast<HWND>(lparam) == m_Slider.GetSafeHwnd())
        on_seek(LOWORD(wparam), HIWORD(wparam));
    if (message == WM_PLAYER_NOTIFY) {
        on_player_notify();
        return 0;
    }
    if (message == WM_SEEK_BAR) {
        if (wparam == seek_bar_to_zero)
            m_Slider.SetPos(0);
        else
            m_Slider.EnableWindow(wparam == seek_bar_enable);
        return 0;
    }
    return CDialog::WindowProc(message, wparam, lparam);
}

void CMelodoDlg::on_kivo_notify(WPARAM code, LPARAM value)
{
    switch (code) {
    case DRV_BATT_AC_CHANGE:
        if (value == 1)
            m_pBattery->SetState(7, TRUE);
        else
            m_pBattery->SetState(DAPI_GetBatteryLevel(), FALSE);
        break;
    case DRV_BATT_LEVEL:
        m_pBattery->SetState(static_cast<int>(value), TRUE);
        break;
    case APP_MEDIA_RUN: {
        SectionLock lock(m_lock);
        if (m_bPlayBehind && m_Player.Getsts() != State_Running)
            m_Player.Play();
        break;
    }
    case APP_MEDIA_STOP: {
        SectionLock lock(m_lock);
        if (m_Player.Getsts() != State_Stopped) {
            restore_background(title_area.left, title_area.top, title_area.right, title_area.bottom);
            restore_background(artist_area.left, artist_area.top, artist_area.right, artist_area.bottom);
            m_nScrollTick = 0;
            DrawTitleArtist(m_AudioInfo, TRUE);
            SetEvent(m_hEvStop);
        }
        break;
    }
    case APP_MEDIA_PAUSE: {
        SectionLock lock(m_lock);
        if (m_bPlayBehind && m_Player.Getsts() == State_Running)
            m_Player.Pause();
        break;
    }
    case APP_SWITCH_AUDIO:
        m_bPlayBehind = 0;
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        break;
    case DRV_SD_RMV2:
    case APP_USB_CONNECTED:
    case APP_CLOSE:
        OnOK();
        break;
    default:
        break;
    }
}

LRESULT CMelodoDlg::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_KIVO_NOTIFY)
        on_kivo_notify(wparam, lparam);
    return CDialog::DefWindowProc(message, wparam, lparam);
}

void CMelodoDlg::OnDestroy()
{
    CDialog::OnDestroy();
    {
        SectionLock lock(m_lock);
        m_nExitState = m_Player.Getsts();
        KillTimer(play_timer);
        m_Player.Stop();
    }
    send_eq_preset(0);
    send_surround(false);
    m_bQuit = 1;
    SaveBookmark();
    // The worker never waits on this thread, so the join ends even while it loads a file.
    do
        SetEvent(m_hEvStop);
    while (WaitForSingleObject(m_hThread, 200) == WAIT_TIMEOUT);
    // Only now that the worker has ended are its events closed: it may still be signalled above.
    for (HANDLE* event : { &m_hEvNext, &m_hEvPlay, &m_hEvStop }) {
        CloseHandle(*event);
        *event = nullptr;
    }
    m_Player.mp3Release();
    m_pBattery.reset();
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_Background.DeleteObject();
    for (auto& label : m_ModeLabels)
        label.DeleteObject();
    m_Colon.DeleteObject();
}
