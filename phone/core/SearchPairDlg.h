#pragma once

// The phone link's message dialog: a small skinned modal window whose texts and buttons come from
// a skin file of the folder "PhoneManager", closed with "OK" (IDOK) or "exit" (IDCANCEL). The
// file lists its statics under "Static" "count" and "Static1"... "StaticN"; with no statics it
// shows the caller's text in its static "errinfo". Its buttons are the layout "Info_layout".

#include "PhoneScreen.h"
#include "Skinkit.h"

#include <vector>

class CSearchPairDlg : public CPhoneScreen {
public:
    explicit CSearchPairDlg(CWnd* parent = nullptr);

    // The skin file's name as it stands (not a format), the caller's mode and its record, which
    // the dialog never reads. In mode 1 "OK" needs a record, else it answers IDCANCEL.
    void SetSkinFile(LPCWSTR fileName, int mode, void* context);
    void SetErrorText(LPCWSTR text, bool errorMode);

    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override;

protected:
    void OnPaint() override;

private:
    // Answers 0 when the click ended the dialog.
    LRESULT OnButtonClick(const CLayoutBtn& button);
    void OnLanguageChanged();
    void ReadStatics(LPCWSTR skinFile);
    std::u16string SkinFile() const;

    void* m_pContext = nullptr;
    int m_nMode = 0;
    std::vector<StaticInfo> m_statics;
    CString m_strFileName = u"Search.ini";
    StaticInfo m_errorInfo;
    CString m_strErrorText;
    bool m_bErrorMode = false;
    CLayout m_layout; // stays empty
    CLayout m_infoLayout;
};
