// The main screen's state of play on the card: written once at exit, read once at start.

#include "AudioBookmark.h"
#include "CAppUtil.h"
#include "CMelodoDlg.h"
#include "CParmFileRW.h"
#include "DAPI.h"
#include "SectionLock.h"

#include <vector>

namespace {

constexpr const char16_t* card_store = u"SD Memory Card";
constexpr const char16_t* bookmark_file = u"\\SDMMC\\bmkAud.rom";
constexpr const char16_t* list_file = u"\\SDMMC\\listAud.lst";
constexpr DWORD card_wait_ms = 2000;

bool file_exists(LPCWSTR path)
{
    WIN32_FIND_DATA found {};
    HANDLE search = FindFirstFile(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

} // namespace

bool CMelodoDlg::card_usable()
{
    CAppUtil util;
    return util.IsStoreReadOnly(card_store) != 0 && util.FindStore(card_store) == 0;
}

void CMelodoDlg::SaveBookmark()
{
    // A missing or write-protected card keeps the files of the last run as they are.
    if (!card_usable())
        return;
    std::vector<std::u16string> paths;
    AudioBookmark bookmark;
    {
        SectionLock lock(m_lock);
        // A path that does not fit a slot could only come back as another file's name.
        for (INT_PTR i = 0; i < m_PlayList.GetSize(); ++i) {
            std::u16string path(static_cast<LPCWSTR>(m_PlayList[i]));
            if (path.size() <= max_path_units)
                paths.push_back(path);
        }
        bookmark.seek_pos = m_Slider.GetPos();
        bookmark.play_mode = m_nPlayMode;
        bookmark.eq_preset = m_nEqPreset;
        bookmark.list_count = static_cast<int32_t>(paths.size());
        bookmark.volume = m_nVolume;
        bookmark.exit_state = m_nExitState;
        bookmark.list_bytes = bookmark.list_count * static_cast<int32_t>(list_slot_bytes);
        bookmark.surround = m_bSurround;
        if (!paths.empty())
            bookmark.current_path = m_AudioInfo.path;
    }
    CParmFileRW file;
    auto record = encode_bookmark(bookmark);
    if (file.Write(bookmark_file, record.data(), static_cast<int>(record.size())) != 0)
        return;
    auto slots = encode_list(paths);
    file.Write(list_file, slots.data(), static_cast<int>(slots.size()));
}

void CMelodoDlg::LoadBookmark()
{
    CAppUtil util;
    // The card may still be mounting when the player starts.
    DWORD start = GetTickCount();
    while (util.FindStore(card_store) != 0 && GetTickCount() - start < card_wait_ms) {
    }
    CParmFileRW file;
    std::array<uint8_t, bookmark_bytes> record {};
    SectionLock lock(m_lock);
    if (file.Read(bookmark_file, record.data(), static_cast<int>(record.size()), static_cast<int>(record.size())) != 0) {
        m_Buttons[btn_play].Enable(FALSE);
        return;
    }
    apply_bookmark(decode_bookmark(std::span<const uint8_t, bookmark_bytes>(record)));
}

void CMelodoDlg::apply_bookmark(const AudioBookmark& bookmark)
{
    m_nEqPreset = bookmark.eq_preset;
    m_nVolume = bookmark.volume;
    m_nPlayMode = bookmark.play_mode;
    m_bSurround = bookmark.surround;
    m_nExitState = bookmark.exit_state;
    set_mode_button(false);
    CParmFileRW file;
    std::vector<uint8_t> slots(static_cast<size_t>(bookmark.list_bytes));
    if (bookmark.list_count == 0
        || file.Read(list_file, slots.data(), static_cast<int>(slots.size()), static_cast<int>(slots.size())) != 0) {
        m_Buttons[btn_play].Enable(FALSE);
        return;
    }
    // Songs deleted from the card since the last run drop out of the list.
    for (const auto& path : decode_list(slots, bookmark.list_count)) {
        if (!path.empty() && file_exists(path.c_str()))
            m_PlayList.Add(CString(path.c_str()));
    }
    m_nCurPos = 0;
    ReorderList();
    if (list_empty()) {
        m_Buttons[btn_play].Enable(FALSE);
        return;
    }
    int seek = bookmark.seek_pos;
    int saved = -1;
    for (int i = 0; i < list_size() && saved < 0; ++i) {
        if (std::u16string_view(static_cast<LPCWSTR>(m_PlayList[i])) == bookmark.current_path)
            saved = i;
    }
    if (saved >= 0)
        m_nCurPos = std::max(FindOrderPos(saved), 0);
    else
        seek = 0;

    LoadCurrentInfo();
    long result = m_Player.mp3LoadFile(m_AudioInfo.path, &m_AudioInfo);
    // A song that does not load leaves the player stopped, so that play tries it again and tells why.
    if (FAILED(result))
        m_Player.mp3Release();
    m_Slider.SetPos(seek);
    m_Player.mp3SetPos(seek);
    m_nSeekPos = seek;
    if (bookmark.exit_state == State_Running && SUCCEEDED(result))
        start_saved_play();
}

void CMelodoDlg::start_saved_play()
{
    if (!navigation_mode())
        DAPI_EnableBacklightOff(0);
    m_nIntendedState = intended_playing;
    m_Player.Play();
    set_play_picture(true);
    SetTimer(play_timer, 1000, nullptr);
    m_nScrollTick = 0;
}
