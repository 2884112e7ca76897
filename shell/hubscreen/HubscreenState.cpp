#include "HubscreenState.h"

#include "CParmFileRW.h"
#include "DAPI.h"
#include "program_services.h"

namespace {

kivo::ProcessLocal<HubscreenState> s_state;

// Reads the record into `record` only when the whole file is sound.
bool read_record(SettingRecord& record)
{
    CParmFileRW file;
    SettingRecord read {};
    if (file.Read(SETTING_FILE_NAME, &read, sizeof(read), sizeof(read)) != 0)
        return false;
    record = read;
    return true;
}

} // namespace

HubscreenState& hubscreen_state()
{
    return *s_state;
}

void ResetSettings()
{
    hubscreen_state().setting = SettingRecord::defaults();
    DAPI_SetBrightLevel(3);
    DAPI_SetBacklightOffTime(15);
    DAPI_SetAutoOffTime(0);
}

void LoadSettings()
{
    auto& state = hubscreen_state();
    if (read_record(state.setting))
        return;
    ResetSettings();
    CParmFileRW file;
    file.Write(SETTING_FILE_NAME, &state.setting, sizeof(state.setting));
}

void ReloadSettings()
{
    if (!read_record(hubscreen_state().setting))
        OutputDebugString(u"hbq: settings not readable, keeping the record held\n");
}
