#pragma once

#include "kernel/HostMutex.h"
#include "gwes/GwesApi.h"
#include "kernel/DeviceComponent.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivo {

class Device;

// One control of a dialog template.
struct DialogControl {
    int id = 0;
    std::u16string class_name;
    std::u16string text;
    DWORD style = 0;
    RECT rect {};
    DWORD ex_style = 0;
};

// A dialog as a program describes it in its resources: size and controls, in dialog units
// unless `in_pixels`.
struct DialogTemplate {
    UINT id = 0;
    DWORD style = WS_POPUP;
    DWORD ex_style = 0;
    RECT rect {};
    std::u16string caption;
    std::vector<DialogControl> controls;
    bool in_pixels = false;
};

// The dialog templates of every module (program or library) on the device, by module and id.
class DialogTemplates final : public DeviceComponent {
public:
    explicit DialogTemplates(Device&) { }

    // The one fixed conversion from dialog units: a dialog unit is 3/2 of a pixel either way
    // (base units of 6 by 12 pixels), so 365 x 207 units cover the 480 x 272 screen.
    static RECT to_pixels(const RECT& dialog_units);

    void add(HINSTANCE module, DialogTemplate);
    std::optional<DialogTemplate> find(HINSTANCE module, UINT id) const;
    // The window class of a template's dialogs, as a template's CLASS statement names it: a class
    // the program registered (one with CS_DBLCLKS, for a dialog that wants double clicks), whose
    // window procedure treats WM_CLOSE as the dialog class does. Empty: the dialog class.
    void set_class(HINSTANCE module, UINT id, std::u16string class_name);
    std::u16string class_of(HINSTANCE module, UINT id) const;

private:
    mutable HostMutex m_lock { LockRank::DialogTemplates };
    std::map<std::pair<HINSTANCE, UINT>, DialogTemplate> m_templates;
    std::map<std::pair<HINSTANCE, UINT>, std::u16string> m_classes;
};

} // namespace kivo
