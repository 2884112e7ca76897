#include "CHubscreenApp.h"

#include "CHubscreenDlg.h"
#include "DAPI.h"
#include "HubscreenResources.h"
#include "HubscreenState.h"
#include "program_services.h"

namespace {

constexpr DWORD key_click_volume = 0x404D404D;

int hubscreen_main(std::u16string_view command_line)
{
    CHubscreenApp app;
    return AfxWinMain(app, command_line);
}

} // namespace

BOOL CHubscreenApp::InitInstance()
{
    add_hubscreen_resources();
    SetDialogBkColor(RGB(11, 35, 60));
    LoadSettings();
    auto& setting = hubscreen_state().setting;
    if (static_cast<uint32_t>(setting[1]) >= std::size(backlight_off_seconds))
        setting[1] = 0;
    DAPI_SetBacklightOffTime(backlight_off_seconds[setting[1]]);
    if (static_cast<uint32_t>(setting[4]) >= std::size(power_off_seconds))
        setting[4] = 0;
    DAPI_SetAutoOffTime(power_off_seconds[setting[4]]);
    DAPI_EnableIdleOff(1);
    DAPI_SetScreenTapSound(1);
    if (setting[3] == 1)
        waveOutSetVolume(nullptr, key_click_volume);

    CHubscreenDlg page;
    m_pMainWnd = &page;
    page.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int CHubscreenApp::ExitInstance()
{
    PROCESS_INFORMATION info {};
    if (CreateProcess(u"\\windows\\explorer.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info)) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    } else {
        NKDbgPrintfW(u"hbq: explorer not started (%u)\n", static_cast<unsigned>(GetLastError()));
    }
    return CWinApp::ExitInstance();
}

void register_hubscreen(kivo::Device& device)
{
    kivo::register_program(device, hubscreen_image_path, hubscreen_main);
}
