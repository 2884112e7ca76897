#pragma once

#include "CSettingHolder.h"
#include "CSkinListCtrl.h"
#include "platform.h"

// The file browser of the card: folders and the MP3 and WMA files of the current folder. "SEL"
// adds the chosen file, or every such file of the chosen folder, as rows of the editor's list;
// the browser stays open for more.
class CAddFileDlg : public CDialog {
public:
    explicit CAddFileDlg(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override;
    void OnDestroy() override;
    LRESULT DefWindowProc(UINT message, WPARAM, LPARAM) override;

    void OnSelect();
    void OnClose() override;
    void OnOpenRow();
    // Enters the folder an entry names ("<name>", "<..>" for the parent) and lists it.
    void OpenFolder(const CString& entry);
    void FillRows();

    // Given by the editor before the browser opens.
    int* m_pCount = nullptr;
    CListCtrl* m_pList = nullptr;
    HWND* m_phNaviWnd = nullptr;

    CString m_strFolder;
    CStringArray m_Entries;
    CSkinListCtrl m_List;
    CImageList m_Icons;
    COLORREF m_TextColour = RGB(255, 255, 255);
    CBitmapButton m_Select;
    CBitmapButton m_Close;
    CSettingHolder m_Setting;
    CBitmap m_Background;
    // What the folder-name place shows.
    CString m_strFolderName;

protected:
    BOOL OnCommand(WPARAM, LPARAM) override;
    BOOL OnNotify(WPARAM, LPARAM, LRESULT*) override;

private:
    void key_click();
    void draw_folder_name();
    // Shows the list-full message; false when a notify code ended it, and this dialog with it.
    bool show_list_full();
};
