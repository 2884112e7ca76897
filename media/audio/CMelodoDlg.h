#pragma once

#include "AudioBookmark.h"
#include "CBatteryIcon.h"
#include "CImgBtn.h"
#include "CSettingHolder.h"
#include "CSkinSlider.h"
#include "Cplayerc.h"
#include "MelodoResources.h"
#include "platform.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

// The audio player's main screen: the play list of the card played in one of four modes, with a
// seek bar, volume, equaliser label and the song's facts. Loading, starting, pausing and stopping
// run on a worker thread driven by three events, so that the screen answers while a file loads.
// The worker and the interface thread share the player and the play state under one lock.
class CMelodoDlg : public CDialog {
public:
    enum Button {
        btn_volume_down,
        btn_volume_up,
        btn_previous,
        btn_next,
        btn_stop,
        btn_play,
        btn_list,
        btn_mode,
        btn_sound,
        btn_close,
        btn_navigation,
        button_count,
    };
    static constexpr UINT_PTR play_timer = 1;
    static constexpr UINT_PTR battery_timer = 3;
    static constexpr int seek_range = 999;
    static constexpr int max_volume = 25;
    // What the player is asked for last (m_nIntendedState).
    enum Intended {
        intended_stopped = 0,
        intended_paused = 1,
        intended_playing = 2,
    };
    // What the worker asks the interface thread to do with the seek bar (it may not send to it).
    static constexpr UINT WM_SEEK_BAR = WM_APP + 40;
    enum SeekBarRequest : WPARAM {
        seek_bar_enable,
        seek_bar_disable,
        seek_bar_to_zero,
    };

    CMelodoDlg();
    ~CMelodoDlg() override;

    BOOL OnInitDialog() override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;
    LRESULT DefWindowProc(UINT message, WPARAM, LPARAM) override;

    // Button actions, run on release over the pressed button.
    void OnVolumeDown();
    void OnVolumeUp();
    void OnPrevious();
    void OnNext();
    void OnStop();
    void OnPlay();
    void OnPlayList();
    void OnPlayMode();
    void OnSound();
    // The close button's action; a WM_CLOSE from outside ends the player the same way.
    void OnClose() override;
    void OnNavigation();

    // The worker's operations.
    void PlayCurrent();
    void StopPlay();
    void PlayNext();

    // The order of play.
    void ReorderList();
    int FindOrderPos(int list_index) const;
    void AdvancePos();
    int PrepareTrackChange();
    void ShowStopped();
    void LoadCurrentInfo();

    // Painting.
    void DrawTitleArtist(const _tag_AUDIO_INFO& info, BOOL full);
    void DrawTime(int seconds);
    void DrawListPos();
    void DrawVolume(int volume);
    void DrawPlayModeLabel();
    void DrawEqLabel();
    void DrawSurroundMark();
    void TapClick();

    // The state of play on the card.
    void SaveBookmark();
    void LoadBookmark();

    Cplayerc m_Player;
    _tag_AUDIO_INFO m_AudioInfo {};
    CStringArray m_PlayList;
    std::array<uint16_t, max_list_entries> m_Order {};
    int m_nCurPos = 0;
    int m_nPlayMode = 0;
    int m_nVolume = default_volume;
    int m_nEqPreset = 0;
    BYTE m_bSurround = 0;
    int m_nExitState = 0;
    int m_nSeekPos = 0;
    int m_nIntendedState = intended_stopped;
    int m_nScrollTick = 0;
    BYTE m_bPainted = 0;
    BYTE m_bFirstPaint = 1;
    BYTE m_bPlayBehind = 0;
    BYTE m_bSoundDlgOpen = 0;
    HWND m_hNaviWnd = nullptr;
    HANDLE m_hEvNext = nullptr;
    HANDLE m_hEvPlay = nullptr;
    HANDLE m_hEvStop = nullptr;
    std::atomic<int> m_bQuit = 0;
    HANDLE m_hThread = nullptr;
    CImgBtn m_Buttons[button_count];
    CSkinSlider m_Slider;
    CSettingHolder m_Setting;
    std::unique_ptr<CBatteryIcon> m_pBattery;
    CBitmap m_Background;
    CBitmap m_ModeLabels[play_mode_count];
    CBitmap m_Colon;

private:
    static DWORD WINAPI PlayerThreadProc(LPVOID dialog);
    bool navigation_mode() const { return m_hNaviWnd != nullptr; }
    bool list_empty() const { return m_PlayList.GetSize() == 0; }
    int list_size() const { return static_cast<int>(m_PlayList.GetSize()); }
    void load_failed_text(long result);
    void clear_message_area();
    void common_play_end();
    void set_play_picture(bool pause);
    void set_mode_button(bool draw);
    void draw_digit(int place, int digit);
    void draw_text(int x, int y, int width, int height, const CString& text, UINT format, int size);
    void restore_background(int x, int y, int width, int height);
    void request_seek_bar(SeekBarRequest);
    void on_player_notify();
    void on_seek(UINT code, int position);
    void on_kivo_notify(WPARAM code, LPARAM value);
    void apply_bookmark(const AudioBookmark&);
    void start_saved_play();
    bool card_usable();

    // Guards everything the worker and the interface thread share: the player, the order, the
    // positions, the record of the current song and the buttons.
    CRITICAL_SECTION m_lock {};
    // The digits last drawn at the six places of the time; -1 forces a redraw.
    int m_nDigits[6] = { -1, -1, -1, -1, -1, -1 };
    // The button a press went down on, button_count for none.
    int m_nHeld = button_count;
    // The action of the click a release completed, run once the release is drawn.
    using Action = void (CMelodoDlg::*)();
    Action m_pfnClicked = nullptr;
};
