#pragma once

#include "CSettingHolder.h"
#include "platform.h"

#include <memory>

// A warning window of the home page: a modeless dialog made hidden, without an owner, so that the
// page's broadcasts reach it. Showing places it top-most over the whole screen; hiding puts it
// at the bottom. Those with an OK button give the key click and hide on it.
class CWarningDlg : public CDialog {
public:
    CWarningDlg(UINT template_id, LPCWSTR title, bool has_ok);

    // Creates the hidden window; false (with the debug line) when it cannot be made.
    bool CreateHidden(const char16_t* failure_line);
    void ShowWarning();
    void HideWarning();

    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnOK() override;
    void OnCancel() override { }
    void DoDataExchange(CDataExchange*) override;

    BOOL m_bVisible = FALSE;

protected:
    void show_ok(bool shown);

    CBitmapButton m_ok;

private:
    UINT m_template;
    LPCWSTR m_title;
    bool m_has_ok;
    std::unique_ptr<CSettingHolder> m_setting_holder;
};
