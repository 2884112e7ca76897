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

// The colours of the controls.
namespace look {
inline constexpr COLORREF face = RGB(224, 224, 224);
inline constexpr COLORREF pressed_face = RGB(160, 160, 160);
inline constexpr COLORREF background = RGB(192, 192, 192);
inline constexpr COLORREF window = RGB(255, 255, 255);
inline constexpr COLORREF frame = RGB(0, 0, 0);
inline constexpr COLORREF text = RGB(0, 0, 0);
inline constexpr COLORREF disabled_text = RGB(128, 128, 128);
inline constexpr COLORREF highlight = RGB(0, 84, 166);
inline constexpr COLORREF highlight_text = RGB(255, 255, 255);
inline constexpr COLORREF bar = RGB(0, 120, 215);
inline constexpr COLORREF caption = RGB(0, 56, 120);
} // namespace look

} // namespace kivo

#include "ControlState.h"
