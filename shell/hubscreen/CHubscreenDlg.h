#pragma once

#include "CBatteryIcon.h"
#include "CGpsCheckDlg.h"
#include "CHardKeyPopup.h"
#include "CInsertSdDlg.h"
#include "CLinkIcon.h"
#include "CLowBatteryDlg.h"
#include "CSettingHolder.h"
#include "CShutdownDlg.h"
#include "CUsbConnectDlg.h"
#include "HubscreenResources.h"
#include "platform.h"

#include <memory>

// The home page, "hubscreen": seven program icons, the top bar with the key-click indicator, the
// clock, the phone-link indicator and the battery. It lives from start to power-off.
class CHubscreenDlg : public CDialog {
public:
    // The page's timers.
    static constexpr UINT_PTR battery_blink_timer = 1;
    static constexpr UINT_PTR card_check_timer = 2219;
    static constexpr UINT_PTR clock_timer = 2236;
    static constexpr UINT_PTR phone_link_timer = 2238;
    static constexpr UINT_PTR power_off_timer = 2239;
    static constexpr UINT_PTR clock_align_timer = 2255;
    static constexpr UINT_PTR navigation_poll_timer = 2287;
    static constexpr UINT_PTR usb_picture_timer = 2303;
    // The hidden command that ends the page.
    static constexpr int hidden_exit_command = 1002;

    // Icon rectangles, bounds inclusive.
    static constexpr RECT icon_rects[icon_count] = {
        { 100, 45, 180, 147 },
        { 200, 45, 280, 147 },
        { 300, 45, 380, 147 },
        { 50, 157, 130, 259 },
        { 150, 157, 230, 259 },
        { 250, 157, 330, 259 },
        { 350, 157, 430, 259 },
    };

    CHubscreenDlg();
    ~CHubscreenDlg() override;

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;
    BOOL OnCommand(WPARAM, LPARAM) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return FALSE; }
    void OnTimer(UINT_PTR) override;
    void OnActivate(UINT state, CWnd* other, BOOL minimized) override;
    void OnDestroy() override;

    void OnLButtonDown(UINT flags, CPoint point) override;

    void OnKivoNotify(WPARAM code, LPARAM value);
    // The phone link's call state (its registered call-state message); anything else, and any
    // message before the subscription, changes nothing.
    void OnCallStatus(UINT message, WPARAM state);
    // Finds the phone link, starting it hidden at the first polls until a start succeeds, and
    // subscribes the page to its notifications; true once subscribed.
    BOOL PollLink();
    void OnDriverMessage(UINT message);

    int HitTestIcon(int x, int y) const;
    int LaunchProgram(int icon);
    int SwitchProgram(int which);
    void RefreshWindows();

    BOOL IsRunning(int app_id) const;
    void SetRunning(int app_id);

    // Set when the settings program reported its close: the next activation reads the file again.
    BOOL m_bSettingClosed = FALSE;
    BOOL m_bHasTuner = FALSE;
    int m_nSelectedIcon = -1;
    DWORD m_dwLastTap = 0;
    DWORD m_dwTapInterval = 1000;
    BOOL m_bShuttingDown = FALSE;
    int m_nPendingIcon = -1;
    // The windows last found of the seven programs, by icon index.
    HWND m_hProgramWnd[icon_count] = {};
    BOOL m_bCountdownSent = FALSE;
    BOOL m_bUsbLowBatteryShown = FALSE;
    // Set once the page subscribed to the phone link; never cleared.
    BOOL m_bLinkSubscribed = FALSE;
    // The phone link's window the page subscribed to last: a new one (the phone link started
    // again) has an empty subscriber list and needs the subscription again.
    HWND m_hLinkWnd = nullptr;
    CLinkIcon m_linkIcon { this };

    // The warning windows, made hidden with the page.
    CInsertSdDlg m_insertSd;
    CUsbConnectDlg m_usbConnect;
    CLowBatteryDlg m_lowBattery;
    CHardKeyPopup m_hardKey;
    CShutdownDlg m_shutdown;
    CGpsCheckDlg m_gpsCheck;

    // The navigation's last start: its process tells when it ended without reporting.
    PROCESS_INFORMATION m_naviProcess {};

private:
    void destroy_warnings();
    void draw_icon(int index, bool selected);
    void draw_icons(bool all_normal_first);
    void draw_clock();
    void draw_key_click();
    // The phone-link indicator's background, then its picture as the kept state has it.
    void draw_link_indicator();
    void draw_link_background();
    void subscribe_to_link(HWND link);
    void request_call_status();
    // The USB screen's busy and idle pictures are shown only while the battery charges.
    bool battery_charging() const;
    void start_clock_alignment();
    UINT icon_bitmap(int index, bool selected) const;
    bool tap_ignored(int icon) const;
    bool start_process(int icon, bool keep_navigation_process);
    void poll_navigation();
    void program_closed(LPARAM app_id);
    void lower_navigation();
    void home_down();
    void place_full_screen_top(HWND);
    bool check_card_for_navigation();
    bool check_card_present();
    void card_check();
    void post_to_insert_card_window(LPARAM reason);
    bool navigation_ended();
    void forward_dial(LPARAM block);
    void switch_to(int which);
    void set_battery(int state, bool draw);
    void broadcast(WPARAM code, LPARAM value);
    void post_to(CWnd&, UINT message, WPARAM, LPARAM);
    void shut_down();
    void power_off();
    void close_crashed_navigation();
    LPARAM card_reason() const;
    void card_removed(bool may_reset);

    CSettingHolder m_setting_holder;
    // Made with the page's window, gone with it: its blink timer lives on the window.
    std::unique_ptr<CBatteryIcon> m_battery;
    int m_card_check_retries = 0;
    CBitmap m_background;
    CBitmap m_top_bar;
    CBitmap m_key_click_off;
    CBitmap m_key_click_on;
    CBitmap m_clock_background;
    CBitmap m_link_background;
    HICON m_icon = nullptr;
};
