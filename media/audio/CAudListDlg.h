#pragma once

#include "CSettingHolder.h"
#include "CSkinListCtrl.h"
#include "platform.h"

// The play list editor: one row per entry (file name, folder). Rows are edited here and copied
// back to the play list when the editor closes; "S_ALL" and "D_ALL" change the play list at once.
// The current list index, the list-changed flag and the path to continue with travel back to the
// main screen.
class CAudListDlg : public CDialog {
public:
    enum CardState {
        card_usable = 0,
        card_protected = 1,
        card_full = 2,
    };
    enum ButtonIndex {
        btn_reload_all,
        btn_add_one,
        btn_delete_one,
        btn_delete_all,
        btn_close,
        button_count,
    };
    // What a dialog answers when a notify code ends it; its caller ends then too.
    static constexpr int result_closed_by_system = 34;

    explicit CAudListDlg(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override;
    void OnDestroy() override;
    LRESULT DefWindowProc(UINT message, WPARAM, LPARAM) override;

    void OnReloadAll();
    void OnAddFiles();
    void OnDeleteOne();
    void OnDeleteAll();
    void OnClose() override;
    void OnRowChosen();
    void OnSortColumn(int column);
    void KeepSelectedPath(int row);
    void CopyBack();

    // Given by the main screen before the editor opens.
    CStringArray* m_PlayList = nullptr;
    int* m_pCurIndex = nullptr;
    int* m_pListChanged = nullptr;
    HWND* m_phNaviWnd = nullptr;
    int m_nCardState = card_usable;
    CString m_strKeepPath;

    int m_nCount = 0;
    BOOL m_bPlayChosen = FALSE;
    CSkinListCtrl m_List;
    CBitmapButton m_Buttons[button_count];
    CSettingHolder m_Setting;
    CBitmap m_Background;
    // Each column's next sort direction: 0 ascending, 1 descending.
    int m_nSortDescending[2] = { 0, 0 };

protected:
    BOOL OnCommand(WPARAM, LPARAM) override;
    BOOL OnNotify(WPARAM, LPARAM, LRESULT*) override;

private:
    void key_click();
    // Shows a message box; false when a notify code ended it, and this dialog with it.
    bool show_message(int mode, int* answer = nullptr);
    int selected_row() const;
    CString row_path(int row) const;
    void fill_rows();
};

// Adds a row (file name, folder) for a full path at the end of a list; a path too long for the
// list file is refused. Answers whether it was added.
bool append_path_row(CListCtrl& list, const CString& path);
// The play list's notify codes that end a dialog: the card removed, USB connected, close.
bool ends_dialog(UINT message, WPARAM code);
