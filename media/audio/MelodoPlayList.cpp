// The main screen's list button: the play list editor, with the card checked first, and how the
// main screen goes on afterwards.

#include "CAppUtil.h"
#include "CAudListDlg.h"
#include "CMelodoDlg.h"
#include "CMsgDlg.h"
#include "SectionLock.h"

#include <algorithm>

namespace {

constexpr const char16_t* card_store = u"SD Memory Card";
constexpr const char16_t* card_root = u"\\SDMMC\\";
// A card with no more than this free is too full to take the list.
constexpr DWORD least_free_bytes = 0xFFFFF;

// The card's state for the editor; a warning is shown for a protected or full card. -1 when a
// notify code ended the warning (the program closes).
int check_card(CWnd* parent, HWND* navigation_window)
{
    int state = CAudListDlg::card_usable;
    int mode = -1;
    ULARGE_INTEGER free {};
    if (CAppUtil().IsStoreReadOnly(card_store) == 0) {
        state = CAudListDlg::card_protected;
        mode = CMsgDlg::mode_card_protected;
    } else if (GetDiskFreeSpaceEx(card_root, &free, nullptr, nullptr) && free.u.HighPart == 0
        && free.u.LowPart <= least_free_bytes) {
        state = CAudListDlg::card_full;
        mode = CMsgDlg::mode_card_full;
    }
    if (mode >= 0) {
        CMsgDlg warning(mode, navigation_window, parent);
        if (warning.DoModal() == CAudListDlg::result_closed_by_system)
            return -1;
    }
    return state;
}

} // namespace

void CMelodoDlg::OnPlayList()
{
    TapClick();
    if (navigation_mode())
        ::SetWindowPos(m_hNaviWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW);

    CAudListDlg editor(this);
    int current_index = 0;
    int list_changed = 0;
    int state_at_open = State_Stopped;
    {
        SectionLock lock(m_lock);
        if (!list_empty()) {
            current_index = m_Order[static_cast<size_t>(m_nCurPos)];
            editor.m_strKeepPath = m_PlayList[current_index];
        }
        state_at_open = m_Player.Getsts();
        if (state_at_open == State_Running) {
            KillTimer(play_timer);
            m_nIntendedState = intended_paused;
            m_Player.Pause();
        }
    }

    // The dialogs come up over the main screen.
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    int card_state = check_card(this, &m_hNaviWnd);
    if (card_state < 0) {
        OnOK();
        return;
    }
    editor.m_PlayList = &m_PlayList;
    editor.m_pCurIndex = &current_index;
    editor.m_pListChanged = &list_changed;
    editor.m_phNaviWnd = &m_hNaviWnd;
    editor.m_nCardState = card_state;
    if (editor.DoModal() == CAudListDlg::result_closed_by_system) {
        OnOK();
        return;
    }

    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SectionLock lock(m_lock);
    m_bPainted = 0;
    ReorderList();
    // A full card keeps the play list while the rows were edited: the index may name no entry.
    if (current_index < 0 || current_index >= list_size())
        current_index = 0;
    m_nCurPos = list_empty() ? 0 : FindOrderPos(current_index);
    if (!list_empty()) {
        m_Slider.EnableWindow(TRUE);
        for (int i : { btn_previous, btn_next, btn_play })
            m_Buttons[i].Enable(TRUE);
    }
    std::fill(std::begin(m_nDigits), std::end(m_nDigits), -1);

    if (editor.m_bPlayChosen) {
        // The chosen song plays from its start.
        m_Slider.SetPos(0);
        m_nSeekPos = 0;
        LoadCurrentInfo();
        m_Slider.EnableWindow(FALSE);
        SetEvent(m_hEvNext);
    } else if (list_changed == 1) {
        StopPlay();
        if (!list_empty()) {
            int keep = 0;
            for (int i = 0; i < list_size(); ++i) {
                if (m_PlayList[i] == editor.m_strKeepPath) {
                    keep = i;
                    break;
                }
            }
            m_nCurPos = FindOrderPos(keep);
            LoadCurrentInfo();
        }
    } else if (state_at_open == State_Running) {
        if (!list_empty()) {
            m_nIntendedState = intended_playing;
            m_Player.Play();
            SetTimer(play_timer, 1000, nullptr);
            m_nScrollTick = 0;
        } else {
            m_Slider.SetPos(0);
        }
    } else if (list_empty()) {
        if (state_at_open == State_Paused) {
            ShowStopped();
            m_nIntendedState = intended_stopped;
            m_Player.Stop();
        }
        m_AudioInfo.title_valid = 0;
        m_AudioInfo.artist_valid = 0;
    } else if (state_at_open == State_Stopped) {
        m_nScrollTick = 0;
    }
}
