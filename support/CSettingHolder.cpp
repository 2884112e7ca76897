#include "CSettingHolder.h"

#include "DAPI.h"

#include "program_services.h"

namespace {

constexpr DWORD click_poll_ms = 200;
constexpr const char16_t* click_sound = u"\\NAND\\app\\Sound.wav";

} // namespace

CSettingHolder::CSettingHolder()
{
    ReadSetting();
    m_click->event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    auto* thread_state = new std::shared_ptr<ClickState>(m_click);
    m_hThread = CreateThread(nullptr, 0, ClickSoundThread, thread_state, 0, nullptr);
    if (!m_hThread)
        delete thread_state;
}

CSettingHolder::~CSettingHolder()
{
    m_click->quit = 1;
    if (m_hThread) {
        // A kill arriving meanwhile ends the wait; the thread then ends with the process.
        kivo::DeferredTermination deferred;
        DWORD waited = WAIT_TIMEOUT;
        while (waited == WAIT_TIMEOUT)
            waited = WaitForSingleObject(m_hThread, click_poll_ms);
        CloseHandle(m_hThread);
    } else if (m_click->event) {
        CloseHandle(m_click->event);
    }
}

int CSettingHolder::ReadSetting()
{
    // Read into a copy, so that a damaged file never leaves its bytes in the record.
    SettingRecord record = m_setting;
    int result = m_parm.Read(SETTING_FILE_NAME, &record, sizeof(record), sizeof(record));
    if (result == 0)
        m_setting = record;
    return result;
}

int CSettingHolder::WriteSetting()
{
    return m_parm.Write(SETTING_FILE_NAME, &m_setting, sizeof(m_setting));
}

void CSettingHolder::Click()
{
    if (m_setting[3] != 0)
        SetEvent(m_click->event);
}

void CSettingHolder::ClickWithBacklight()
{
    DAPI_EnableBacklightOff(1);
    Click();
}

DWORD CSettingHolder::ClickSoundThread(LPVOID parameter)
{
    std::unique_ptr<std::shared_ptr<ClickState>> owned(static_cast<std::shared_ptr<ClickState>*>(parameter));
    ClickState& state = **owned;
    while (state.quit == 0) {
        if (WaitForSingleObject(state.event, click_poll_ms) == WAIT_OBJECT_0)
            PlaySound(click_sound, nullptr, SND_FILENAME);
        // Clicks asked for while the sound played are merged into it.
        ResetEvent(state.event);
    }
    CloseHandle(state.event);
    state.event = nullptr;
    return 0;
}
