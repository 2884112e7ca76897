#pragma once

#include "MelodoTest.h"

#include "CMsgDlg.h"
#include "CSkinListCtrl.h"
#include "MelodoResources.h"
#include "SkinListPictures.h"
#include "WindowManager.h"
#include "program_services.h"

#include <string>

namespace kivo::test {

// A program standing in for the play list editor: a full-screen dialog with a skinned list where
// the editor has its list (4, 11, 375 by 255), thirty rows in two columns, which opens the
// message box of a mode when it is asked to.
inline constexpr const char16_t* list_host_image = u"\\NAND\\App\\ListHost.exe";
inline constexpr UINT list_host_dialog = 900;
inline constexpr UINT open_message = WM_APP + 1;
inline constexpr RECT list_place { 4, 11, 379, 266 };
inline constexpr int list_rows = 30;

inline std::u16string row_name(int row)
{
    std::string name = "Song " + std::to_string(row + 10) + ".mp3";
    return std::u16string(name.begin(), name.end());
}

class ListHostDlg;
// The host's dialog while it runs, the message box while one is open, and how the last one ended:
// its result and the mode it handed back.
struct ListHostRecord {
    ListHostDlg* dialog = nullptr;
    CMsgDlg* message = nullptr;
    INT_PTR message_result = -1;
    int mode_after = -1;
    // The column whose title was tapped last.
    int column_clicked = -1;
};
inline ListHostRecord g_host;
// The navigation window handle the message boxes are given.
inline HWND g_navigation_window = nullptr;

class ListHostDlg : public CDialog {
public:
    ListHostDlg()
        : CDialog(list_host_dialog)
    {
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_List.SubclassDlgItem(IDC_PLAYLIST, this);
        m_List.SetExtendedStyle(LVS_EX_FULLROWSELECT);
        m_List.InsertColumn(0, u"檔案名稱", 0, 200);
        m_List.InsertColumn(1, u"資料夾", 0, 200);
        SkinListStyle style = melodo_list_style(22);
        m_List.ApplySkin(style);
        m_List.SetBkColor(style.background_colour);
        m_List.SetTextColor(style.text_colour);
        m_List.SetTextBkColor(style.background_colour);
        for (int row = 0; row < list_rows; ++row) {
            m_List.InsertItem(row, row_name(row).c_str());
            m_List.SetItemText(row, 1, u"\\SDMMC\\Music\\");
        }
        g_host.dialog = this;
        return TRUE;
    }
    void OnDestroy() override
    {
        g_host.dialog = nullptr;
        CDialog::OnDestroy();
    }
    BOOL OnNotify(WPARAM wparam, LPARAM lparam, LRESULT* result) override
    {
        auto* notice = reinterpret_cast<const NMLISTVIEW*>(lparam);
        if (notice->hdr.code == LVN_COLUMNCLICK)
            g_host.column_clicked = notice->iSubItem;
        return CDialog::OnNotify(wparam, lparam, result);
    }
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (message != open_message)
            return CDialog::WindowProc(message, wparam, lparam);
        CMsgDlg box(static_cast<int>(wparam), &g_navigation_window, this);
        g_host.message = &box;
        g_host.message_result = box.DoModal();
        g_host.message = nullptr;
        g_host.mode_after = box.m_nMode;
        return 0;
    }

    CSkinListCtrl m_List;
};

class ListHostApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        add_melodo_resources();
        HINSTANCE module = AfxGetResourceHandle();
        dialog_templates().add(module,
            { list_host_dialog, WS_POPUP, 0, { 0, 0, 480, 272 }, u"list host",
                { { static_cast<int>(IDC_PLAYLIST), WC_LISTVIEW, u"", WS_CHILD | WS_VISIBLE | LVS_REPORT, list_place, 0 } },
                true });
        SetDialogBkColor(dialog_colour, melodo_text_colour);
        ListHostDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

// The Melodo fixture with the host program: started with a list on the screen.
class ListHostTest : public MelodoTest {
public:
    ListHostTest()
    {
        g_host = {};
        g_navigation_window = nullptr;
        register_program(*device, list_host_image, [](std::u16string_view command_line) {
            ListHostApp app;
            return AfxWinMain(app, command_line);
        });
        start_program(list_host_image);
    }

    CSkinListCtrl& list() { return g_host.dialog->m_List; }
    HWND host_window() const { return g_host.dialog ? g_host.dialog->m_hWnd : nullptr; }

    // Opens the message box of a mode over the list; the box is then g_host.message. A box that
    // ended before is gone once its key-click thread has seen the end (within 200 ms).
    void open(int mode)
    {
        pass(200);
        PostMessage(host_window(), open_message, static_cast<WPARAM>(mode), 0);
        device->run_until_idle();
    }
    void tap_centre(CWnd& window)
    {
        CRect rect;
        window.GetWindowRect(&rect);
        tap(rect.CenterPoint().x, rect.CenterPoint().y);
    }
    std::vector<RECT> visible(HWND window) { return device->component<WindowManager>().visible_region(window); }
};

} // namespace kivo::test
