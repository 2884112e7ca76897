#include "CAddFileDlg.h"

#include "AudioBookmark.h"
#include "BitmapSource.h"
#include "CAppUtil.h"
#include "CAudListDlg.h"
#include "CMsgDlg.h"
#include "MelodoResources.h"
#include "SkinListPictures.h"

#include <string>

namespace {

constexpr LPCWSTR music_extensions[] = { u"MP3", u"WMA" };
constexpr int extension_count = static_cast<int>(std::size(music_extensions));
constexpr int max_folder_depth = 8;
constexpr RECT folder_name_place { 10, 13, 300, 25 }; // x, y, width, height
constexpr int folder_name_size = 20;
constexpr int icon_width = 33;
constexpr int icon_height = 24;
enum Icon {
    icon_folder,
    icon_file,
};

bool names_folder(const CString& entry)
{
    return entry.GetLength() >= 2 && entry[0] == u'<';
}

CString inner_name(const CString& entry)
{
    return entry.Mid(1, entry.GetLength() - 2);
}

} // namespace

CAddFileDlg::CAddFileDlg(CWnd* parent)
    : CDialog(IDD_ADDFILE, parent)
{
}

BOOL CAddFileDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_List.SubclassDlgItem(IDC_FILES, this);
    SkinListStyle style = melodo_list_style(18);
    m_List.ApplySkin(style);
    m_List.SetBkColor(style.background_colour);
    m_List.SetTextColor(m_TextColour);
    m_List.SetTextBkColor(style.background_colour);
    m_List.SetExtendedStyle(m_List.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_Background.LoadBitmap(IDB_BROWSER_BACKGROUND);
    m_Select.SubclassDlgItem(IDC_SELECT, this);
    m_Select.LoadBitmaps(IDB_SELECT, IDB_SELECT + 1);
    m_Select.MoveWindow(392, 15, 75, 40);
    m_Close.SubclassDlgItem(IDC_CLOSE_X, this);
    m_Close.LoadBitmaps(IDB_LIST_CLOSE, IDB_LIST_CLOSE + 1);
    m_Close.MoveWindow(392, 211, 75, 40);
    m_strFolder = u"\\SDMMC\\";
    m_strFolderName = u"\\";
    OpenFolder(m_strFolder);
    m_List.InsertColumn(0, u"", 0, 350);
    m_Icons.Create(icon_width, icon_height, ILC_COLOR16 | ILC_MASK, 2, 0);
    for (UINT id : { IDB_FOLDER_ICON, IDB_FILE_ICON }) {
        CBitmap icon;
        icon.LoadBitmap(id);
        m_Icons.Add(&icon, CAppUtil::transparent_key);
    }
    m_List.SetImageList(&m_Icons, LVSIL_SMALL);
    FillRows();
    if (m_List.GetItemCount() > 0)
        CSkinListCtrl::SelectRow(&m_List, 0);
    return TRUE;
}

BOOL CAddFileDlg::OnEraseBkgnd(CDC*)
{
    // The painting covers the whole window.
    return TRUE;
}

void CAddFileDlg::OnPaint()
{
    {
        CPaintDC paint(this);
        support_painting::draw_picture(paint, m_Background, 0, 0);
    }
    // A repaint (after a message box) shows the folder the browser is in.
    draw_folder_name();
}

void CAddFileDlg::draw_folder_name()
{
    const RECT& place = folder_name_place;
    CAppUtil util;
    util.DrawBitmap(this, place.left, place.top, place.right, place.bottom, place.left, place.top, &m_Background);
    util.DrawText(this, place.left, place.top, place.right, place.bottom, m_strFolderName,
        DT_LEFT | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS, m_TextColour, 0, folder_name_size);
}

void CAddFileDlg::OnDestroy()
{
    m_List.SetImageList(nullptr, LVSIL_SMALL);
    m_Icons.DeleteImageList();
    m_Background.DeleteObject();
    CDialog::OnDestroy();
}

LRESULT CAddFileDlg::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (ends_dialog(message, wparam))
        EndDialog(CAudListDlg::result_closed_by_system);
    return CDialog::DefWindowProc(message, wparam, lparam);
}

BOOL CAddFileDlg::OnCommand(WPARAM wparam, LPARAM lparam)
{
    if (HIWORD(wparam) == BN_CLICKED) {
        if (LOWORD(wparam) == IDC_SELECT) {
            OnSelect();
            return TRUE;
        }
        if (LOWORD(wparam) == IDC_CLOSE_X) {
            OnClose();
            return TRUE;
        }
    }
    return CDialog::OnCommand(wparam, lparam);
}

BOOL CAddFileDlg::OnNotify(WPARAM wparam, LPARAM lparam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header && header->idFrom == IDC_FILES && header->code == NM_DBLCLK) {
        OnOpenRow();
        return TRUE;
    }
    return CDialog::OnNotify(wparam, lparam, result);
}

void CAddFileDlg::key_click()
{
    if (m_phNaviWnd && *m_phNaviWnd)
        m_Setting.Click();
    else
        m_Setting.ClickWithBacklight();
}

void CAddFileDlg::OpenFolder(const CString& entry)
{
    if (names_folder(entry)) {
        CString name = inner_name(entry);
        if (name == u"..") {
            // Up to the backslash before the final one.
            int up = m_strFolder.Left(m_strFolder.GetLength() - 1).ReverseFind(u'\\');
            if (up >= 0)
                m_strFolder = m_strFolder.Left(up + 1);
            std::u16string folder = m_strFolder.str();
            CAppUtil().GetFolderName(folder.data());
            m_strFolderName = folder.c_str();
            if (m_strFolderName.IsEmpty())
                m_strFolderName = u"\\";
        } else {
            m_strFolderName = name;
            m_strFolder = m_strFolder + name + u"\\";
        }
        draw_folder_name();
    }
    m_Entries.RemoveAll();
    CAppUtil().ListFolderLimited(m_strFolder, m_Entries, music_extensions, extension_count, max_folder_depth,
        max_list_entries);
}

void CAddFileDlg::FillRows()
{
    m_List.DeleteAllItems();
    for (INT_PTR i = 0; i < m_Entries.GetSize(); ++i) {
        const CString& entry = m_Entries[i];
        int row = static_cast<int>(i);
        if (names_folder(entry))
            m_List.InsertItem(row, inner_name(entry), icon_folder);
        else
            m_List.InsertItem(row, entry, icon_file);
    }
}

void CAddFileDlg::OnOpenRow()
{
    int row = m_List.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0 || row >= m_Entries.GetSize() || !names_folder(m_Entries[row]))
        return;
    OpenFolder(CString(m_Entries[row]));
    FillRows();
}

bool CAddFileDlg::show_list_full()
{
    CMsgDlg box(CMsgDlg::mode_list_full, m_phNaviWnd, this);
    if (box.DoModal() == CAudListDlg::result_closed_by_system) {
        EndDialog(CAudListDlg::result_closed_by_system);
        return false;
    }
    return true;
}

void CAddFileDlg::OnSelect()
{
    key_click();
    int row = m_List.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0 || row >= m_Entries.GetSize())
        return;
    const CString entry = m_Entries[row];
    CStringArray files;
    if (names_folder(entry)) {
        CString name = inner_name(entry);
        if (name == u"..")
            return;
        CAppUtil().ListFiles(m_strFolder + name + u"\\", files, music_extensions, extension_count);
    } else {
        files.Add(m_strFolder + entry);
    }
    for (INT_PTR i = 0; i < files.GetSize(); ++i) {
        if (*m_pCount >= max_list_entries) {
            show_list_full();
            return;
        }
        // A path longer than a list slot is left out.
        if (append_path_row(*m_pList, files[i]))
            ++*m_pCount;
    }
}

void CAddFileDlg::OnClose()
{
    key_click();
    OnOK();
}
