#pragma once

#include "CSettingHolder.h"
#include "platform.h"

// "One Key Selection": asks whether the program asked for by the one-key button may replace the
// one that runs (picture 216: start the television while music plays; 111: start music while the
// television runs). Ends with IDOK or IDCANCEL.
class COneKeySelectDlg : public CDialog {
public:
    explicit COneKeySelectDlg(UINT picture);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange*) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnOK() override;
    void OnCancel() override;

    UINT m_nPicture;

private:
    CBitmapButton m_ok;
    CBitmapButton m_cancel;
    CSettingHolder m_setting_holder;
};
