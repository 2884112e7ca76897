#include "Controls.h"

#include "ButtonControl.h"
#include "EditControl.h"
#include "HeaderControl.h"
#include "ListBoxControl.h"
#include "ListViewControl.h"
#include "ProgressControl.h"
#include "StaticControl.h"
#include "WindowManager.h"

namespace kivo {

namespace {

// What a dialog does by itself: closing it is cancelling it.
LRESULT dialog_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CLOSE) {
        PostMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return 0;
    }
    return DefWindowProc(hwnd, message, wparam, lparam);
}

} // namespace

void register_standard_controls(WindowManager& windows)
{
    struct Entry {
        const char16_t* name;
        UINT style;
        WNDPROC proc;
    };
    // The programs tell double taps from two presses themselves, so the dialog class and MFC's
    // default class leave every press a WM_LBUTTONDOWN; a program that wants double clicks
    // registers its own class with CS_DBLCLKS.
    const Entry entries[] = {
        { WC_BUTTON, CS_DBLCLKS, ButtonControl::proc },
        { WC_STATIC, 0, StaticControl::proc },
        { WC_EDIT, CS_DBLCLKS, EditControl::proc },
        { WC_LISTBOX, CS_DBLCLKS, ListBoxControl::proc },
        { PROGRESS_CLASS, 0, ProgressControl::proc },
        { WC_LISTVIEW, CS_DBLCLKS, ListViewControl::proc },
        { WC_HEADER, 0, HeaderControl::proc },
        { WC_DIALOG, 0, dialog_proc },
        { u"KivoWnd", 0, DefWindowProc },
    };
    for (auto& entry : entries)
        windows.add_system_class(entry.name, entry.style, entry.proc);
}

void notify_parent(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    if (parent)
        SendMessage(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), code), reinterpret_cast<LPARAM>(control));
}

} // namespace kivo
