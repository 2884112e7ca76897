#include "CAudListDlg.h"

#include "AudioBookmark.h"
#include "BitmapSource.h"
#include "CAddFileDlg.h"
#include "CAppUtil.h"
#include "CMsgDlg.h"
#include "KivoNotify.h"
#include "MelodoResources.h"
#include "SkinListPictures.h"

#include <algorithm>

namespace {

struct ButtonPlace {
    UINT id;
    UINT picture;
    int y;
};
constexpr ButtonPlace button_places[CAudListDlg::button_count] = {
    { IDC_RELOAD_ALL, IDB_RELOAD_ALL, 15 },
    { IDC_ADD_ONE, IDB_ADD_ONE, 64 },
    { IDC_DELETE_ONE, IDB_DELETE_ONE, 113 },
    { IDC_DELETE_ALL, IDB_DELETE_ALL, 162 },
    { IDC_CLOSE_X, IDB_LIST_CLOSE, 211 },
};
constexpr int button_x = 392;
constexpr int button_width = 75;
constexpr int button_height = 40;

constexpr const char16_t* card_root = u"\\SDMMC";
constexpr LPCWSTR music_extensions[] = { u"WMA", u"MP3" };

// What the row comparison needs: the list as it stands before the sort (rows are found by their
// item data, which is their index then), the column and the direction.
struct SortContext {
    CListCtrl* list;
    int column;
    bool descending;
};

int CALLBACK compare_rows(LPARAM first, LPARAM second, LPARAM context)
{
    const auto* sort = reinterpret_cast<const SortContext*>(context);
    CString a = sort->list->GetItemText(static_cast<int>(first), sort->column);
    CString b = sort->list->GetItemText(static_cast<int>(second), sort->column);
    // Unit by unit as unsigned numbers; a prefix sorts first.
    int order = a.str().compare(b.str());
    return sort->descending ? -order : order;
}

} // namespace

bool append_path_row(CListCtrl& list, const CString& path)
{
    // The list file keeps each path in a slot of 255 units and a terminating zero.
    if (path.GetLength() > static_cast<int>(max_path_units))
        return false;
    int name_at = CAppUtil().GetFileNamePos(path);
    int row = list.GetItemCount();
    list.InsertItem(row, path.Mid(name_at));
    list.SetItemText(row, 1, path.Left(name_at));
    return true;
}

bool ends_dialog(UINT message, WPARAM code)
{
    return message == WM_KIVO_NOTIFY && (code == DRV_SD_RMV2 || code == APP_USB_CONNECTED || code == APP_CLOSE);
}

CAudListDlg::CAudListDlg(CWnd* parent)
    : CDialog(IDD_PLAYLIST, parent)
{
}

BOOL CAudListDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_nCount = static_cast<int>(m_PlayList->GetSize());
    m_Background.LoadBitmap(IDB_EDITOR_BACKGROUND);
    m_List.SubclassDlgItem(IDC_PLAYLIST, this);
    m_List.SetExtendedStyle(m_List.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < button_count; ++i) {
        const ButtonPlace& place = button_places[i];
        m_Buttons[i].SubclassDlgItem(place.id, this);
        m_Buttons[i].LoadBitmaps(place.picture, place.picture + 1);
        m_Buttons[i].MoveWindow(button_x, place.y, button_width, button_height);
    }
    SkinListStyle style = melodo_list_style(22);
    m_List.ApplySkin(style);
    m_List.SetBkColor(style.background_colour);
    m_List.SetTextColor(style.text_colour);
    m_List.SetTextBkColor(style.background_colour);
    m_List.InsertColumn(0, u"檔案名稱", 0, 200);
    m_List.InsertColumn(1, u"資料夾", 0, 200);
    fill_rows();
    if (m_nCardState == card_protected) {
        for (int i : { btn_reload_all, btn_add_one, btn_delete_one, btn_delete_all })
            m_Buttons[i].EnableWindow(FALSE);
    }
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (m_nCount > 0)
        CSkinListCtrl::SelectRow(&m_List, *m_pCurIndex);
    return TRUE;
}

void CAudListDlg::fill_rows()
{
    m_List.DeleteAllItems();
    for (INT_PTR i = 0; i < m_PlayList->GetSize(); ++i)
        append_path_row(m_List, (*m_PlayList)[i]);
    m_nCount = m_List.GetItemCount();
}

BOOL CAudListDlg::OnEraseBkgnd(CDC*)
{
    // The painting covers the whole window.
    return TRUE;
}

void CAudListDlg::OnPaint()
{
    CPaintDC paint(this);
    support_painting::draw_picture(paint, m_Background, 0, 0);
}

void CAudListDlg::OnDestroy()
{
    m_Background.DeleteObject();
    CDialog::OnDestroy();
}

LRESULT CAudListDlg::DefWindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (ends_dialog(message, wparam))
        EndDialog(result_closed_by_system);
    return CDialog::DefWindowProc(message, wparam, lparam);
}

BOOL CAudListDlg::OnCommand(WPARAM wparam, LPARAM lparam)
{
    if (HIWORD(wparam) == BN_CLICKED) {
        switch (LOWORD(wparam)) {
        case IDC_RELOAD_ALL:
            OnReloadAll();
            return TRUE;
        case IDC_ADD_ONE:
            OnAddFiles();
            return TRUE;
        case IDC_DELETE_ONE:
            OnDeleteOne();
            return TRUE;
        case IDC_DELETE_ALL:
            OnDeleteAll();
            return TRUE;
        case IDC_CLOSE_X:
            OnClose();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wparam, lparam);
}

BOOL CAudListDlg::OnNotify(WPARAM wparam, LPARAM lparam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    if (header && header->idFrom == IDC_PLAYLIST) {
        if (header->code == NM_DBLCLK) {
            OnRowChosen();
            return TRUE;
        }
        if (header->code == LVN_COLUMNCLICK) {
            OnSortColumn(reinterpret_cast<const NMLISTVIEW*>(lparam)->iSubItem);
            return TRUE;
        }
    }
    return CDialog::OnNotify(wparam, lparam, result);
}

void CAudListDlg::key_click()
{
    if (m_phNaviWnd && *m_phNaviWnd)
        m_Setting.Click();
    else
        m_Setting.ClickWithBacklight();
}

bool CAudListDlg::show_message(int mode, int* answer)
{
    CMsgDlg box(mode, m_phNaviWnd, this);
    if (box.DoModal() == result_closed_by_system) {
        EndDialog(result_closed_by_system);
        return false;
    }
    if (answer)
        *answer = box.m_nMode;
    return true;
}

int CAudListDlg::selected_row() const
{
    return m_List.GetNextItem(-1, LVNI_SELECTED);
}

CString CAudListDlg::row_path(int row) const
{
    return m_List.GetItemText(row, 1) + m_List.GetItemText(row, 0);
}

void CAudListDlg::OnReloadAll()
{
    key_click();
    int answer = 0;
    if (!show_message(CMsgDlg::mode_reload_card, &answer) || answer != CMsgDlg::mode_confirmed)
        return;
    m_PlayList->RemoveAll();
    *m_pCurIndex = 0;
    CAppUtil().SearchFiles(card_root, *m_PlayList, music_extensions, static_cast<int>(std::size(music_extensions)));
    bool cut = m_PlayList->GetSize() > max_list_entries;
    if (cut)
        m_PlayList->RemoveAt(max_list_entries, m_PlayList->GetSize() - max_list_entries);
    fill_rows();
    if (cut && !show_message(CMsgDlg::mode_list_full))
        return;
    KeepSelectedPath(0);
}

void CAudListDlg::OnAddFiles()
{
    key_click();
    if (m_nCount >= max_list_entries) {
        show_message(CMsgDlg::mode_list_full);
        return;
    }
    int before = m_nCount;
    CAddFileDlg browser(this);
    browser.m_pCount = &m_nCount;
    browser.m_pList = &m_List;
    browser.m_phNaviWnd = m_phNaviWnd;
    if (browser.DoModal() == result_closed_by_system) {
        EndDialog(result_closed_by_system);
        return;
    }
    // A browser closed without adding leaves the selection and the song to continue with.
    if (m_nCount > before)
        KeepSelectedPath(before);
}

void CAudListDlg::OnDeleteOne()
{
    key_click();
    int row = selected_row();
    if (row < 0 || m_nCount == 0)
        return;
    if (row_path(row) == m_strKeepPath)
        *m_pListChanged = 1;
    // The index follows the song it names: it moves down when its own row or one before it goes
    // (the first row stays the first).
    if (row < *m_pCurIndex || (row == *m_pCurIndex && row > 0))
        --*m_pCurIndex;
    m_List.DeleteItem(row);
    --m_nCount;
    if (m_nCount > 0) {
        int next = std::min(row, m_nCount - 1);
        m_List.SetItemState(next, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_List.SetSelectionMark(next);
    }
}

void CAudListDlg::OnDeleteAll()
{
    key_click();
    int answer = 0;
    if (!show_message(CMsgDlg::mode_delete_list, &answer) || answer != CMsgDlg::mode_confirmed)
        return;
    m_List.DeleteAllItems();
    m_PlayList->RemoveAll();
    *m_pCurIndex = 0;
    m_nCount = 0;
    *m_pListChanged = 1;
}

void CAudListDlg::OnClose()
{
    key_click();
    CopyBack();
    OnOK();
}

void CAudListDlg::OnRowChosen()
{
    int row = selected_row();
    if (row < 0)
        return;
    *m_pCurIndex = row;
    m_bPlayChosen = TRUE;
    CopyBack();
    OnOK();
}

void CAudListDlg::CopyBack()
{
    // Nothing can be kept on a protected or full card, so the rows' edits are dropped there.
    if (m_nCardState != card_usable)
        return;
    m_PlayList->RemoveAll();
    for (int row = 0; row < m_nCount; ++row)
        m_PlayList->Add(row_path(row));
}

void CAudListDlg::KeepSelectedPath(int row)
{
    if (m_nCount == 0)
        return;
    CString path = row_path(row);
    CSkinListCtrl::SelectRow(&m_List, row);
    if (path == m_strKeepPath) {
        *m_pListChanged = 0;
    } else {
        m_strKeepPath = path;
        *m_pListChanged = 1;
    }
}

void CAudListDlg::OnSortColumn(int column)
{
    if (column < 0 || column > 1)
        return;
    for (int row = 0; row < m_nCount; ++row)
        m_List.SetItemData(row, static_cast<DWORD_PTR>(row));
    int& descending = m_nSortDescending[column];
    SortContext context { &m_List, column, descending == 1 };
    m_List.SortItems(compare_rows, reinterpret_cast<DWORD_PTR>(&context));
    descending = descending == 0 ? 1 : 0;
    KeepSelectedPath(0);
}
