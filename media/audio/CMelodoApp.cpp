#include "CMelodoApp.h"

#include "CMelodoDlg.h"
#include "KivoNotify.h"
#include "MelodoResources.h"
#include "program_services.h"

namespace {

int melodo_main(std::u16string_view command_line)
{
    CMelodoApp app;
    return AfxWinMain(app, command_line);
}

} // namespace

BOOL CMelodoApp::InitInstance()
{
    m_hInstanceEvent = CreateEvent(nullptr, TRUE, FALSE, u"belongstoAudio");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return FALSE;
    m_bFirstInstance = TRUE;
    add_melodo_resources();
    SetDialogBkColor(dialog_colour);
    CMelodoDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int CMelodoApp::ExitInstance()
{
    if (m_hInstanceEvent)
        CloseHandle(m_hInstanceEvent);
    // A second start ends silently: a close report from it would tell the home screen that the
    // running player had gone.
    if (m_bFirstInstance) {
        if (HWND home = FindWindow(nullptr, HOME_WINDOW_TITLE))
            PostMessage(home, WM_KIVO_NOTIFY, APP_CLOSED, APPID_AUDIO);
    }
    return CWinApp::ExitInstance();
}

void register_melodo(kivo::Device& device)
{
    kivo::register_program(device, melodo_image_path, melodo_main);
}
