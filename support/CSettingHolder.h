#pragma once

#include "CParmFileRW.h"
#include "SettingRecord.h"
#include "platform.h"

#include <atomic>
#include <memory>

// A member of every device-family dialog that gives key clicks: it loads "NAND\SETTING.PAR" when
// the dialog is built, and plays the key click on a thread of its own when a button handler asks
// for one while the key-click setting is on.
class CSettingHolder {
public:
    CSettingHolder();
    // Waits for the click thread, which sees the quit flag within 200 ms (plus a sound playing).
    virtual ~CSettingHolder();
    CSettingHolder(const CSettingHolder&) = delete;
    CSettingHolder& operator=(const CSettingHolder&) = delete;

    // Loads the record; on a failure the record keeps what it held (the defaults at first).
    int ReadSetting();
    int WriteSetting();
    // Asks for a key click when [3] is nonzero; returns at once.
    void Click();
    // Restarts the backlight-off timer, then clicks.
    void ClickWithBacklight();

    SettingRecord m_setting = SettingRecord::defaults();

private:
    // What the click thread uses, shared with it: a holder whose process is killed stops waiting
    // for the thread, which may then still run after the holder is gone.
    struct ClickState {
        HANDLE event = nullptr;
        std::atomic<LONG> quit = 0;
    };
    static DWORD ClickSoundThread(LPVOID state);

    std::shared_ptr<ClickState> m_click = std::make_shared<ClickState>();
    HANDLE m_hThread = nullptr;
    CParmFileRW m_parm;
};
