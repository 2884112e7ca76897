#pragma once

#include "CBrush.h"
#include "CWnd.h"

class CDialog;

// What DoDataExchange works with: the dialog, and whether values go from the controls to the
// members (save) or back.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds a member control object to the dialog's control `id`, once.
void DDX_Control(CDataExchange*, int id, CWnd& control);

// A dialog made from a template of the program's resources. DoModal runs a nested message loop
// with the owner disabled until EndDialog (the last result given wins); modal loops nest. Create
// makes a modeless one that shares the thread's loop.
class CDialog : public CWnd {
public:
    using CWnd::Create;
    CDialog() = default;
    explicit CDialog(UINT template_id, CWnd* parent = nullptr);
    explicit CDialog(LPCWSTR, CWnd* parent = nullptr);

    virtual INT_PTR DoModal();
    virtual BOOL Create(UINT template_id, CWnd* parent = nullptr);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) { }
    BOOL UpdateData(BOOL save = TRUE);
    void EndDialog(int result);

    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;
    BOOL OnCommand(WPARAM, LPARAM) override;
    // Fills the background with the brush WM_CTLCOLORDLG answers: by default the application's
    // dialog colour (SetDialogBkColor).
    BOOL OnEraseBkgnd(CDC*) override;
    // A control colouring itself wins; otherwise statics, buttons and the dialog itself show on
    // the application's dialog colours.
    HBRUSH OnCtlColor(CDC*, CWnd* control, UINT kind) override;

    // A modal dialog is shown once its loop first goes idle, unless it starts hidden; the
    // program shows it itself then.
    BOOL m_bStartHidden = FALSE;

protected:
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;
    INT_PTR m_nModalResult = -1;

private:
    HWND create_from_template(HWND owner);
    // The application's dialog colours, and a brush of the background for the static controls.
    COLORREF background_colour() const;
    COLORREF text_colour() const;
    HBRUSH background_brush();
    CBrush m_background_brush;
    COLORREF m_brush_colour = 0;
    HWND modal_owner() const;
    bool m_modal = false;
    bool m_continue_modal = false;
};
