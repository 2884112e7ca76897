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
    m_quit = 0;
    m_hClickEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    m_hThread = CreateThread(nullptr, 0, ClickSoundThread, this, 0, nullptr);
}

CSettingHolder::~CSettingHolder()
{
    m_quit = 1;
    if (m_hThread) {
        // A kill arriving meanwhile ends the wait; the thread then ends with the process.
        kivo::DeferredTermination deferred;
        DWORD waited = WAIT_TIMEOUT;
        while (waited == WAIT_TIMEOUT)
            waited = WaitForSingleObject(m_hThread, click_poll_ms);
        CloseHandle(m_hThread);
    } else if (m_hClickEvent) {
        CloseHandle(m_hClickEvent);
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
        SetEvent(m_hClickEvent);
}

void CSettingHolder::ClickWithBacklight()
{
    DAPI_EnableBacklightOff(1);
    Click();
}

DWORD CSettingHolder::ClickSoundThread(LPVOID parameter)
{
    auto* holder = static_cast<CSettingHolder*>(parameter);
    while (holder->m_quit == 0) {
        if (WaitForSingleObject(holder->m_hClickEvent, click_poll_ms) == WAIT_OBJECT_0)
            PlaySound(click_sound, nullptr, SND_FILENAME);
        // Clicks asked for while the sound played are merged into it.
        ResetEvent(holder->m_hClickEvent);
    }
    CloseHandle(holder->m_hClickEvent);
    holder->m_hClickEvent = nullptr;
    return 0;
}
