#pragma once

#include "GwesApi.h"

#include <memory>
#include <string_view>

namespace kivo {

class WindowManager;

// Registers the system's control classes (buttons, statics, edits, list boxes, progress bars,
// list views) with the window manager.
void register_standard_controls(WindowManager&);

// The state a control keeps with its window, made on first use.
template<typename T>
std::shared_ptr<T> control_state(HWND);

// Tells the control's parent about it with WM_COMMAND and a notification code.
void notify_parent(HWND control, WORD code);

// Text measures for the layout of text controls.
// FIXME: measured with the window's font once the screen's drawing layer is joined; until then
// every character is char_width pixels wide and every line line_height pixels high.
inline constexpr int char_width = 8;
inline constexpr int line_height = 16;
int text_width(std::u16string_view);

} // namespace kivo

#include "ControlState.h"
