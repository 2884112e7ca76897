#pragma once

#include "GwesApi.h"

namespace kivo {

// The drawing calls the window system's own windows (the controls, message boxes) paint with.
// The drawing layer is built on the window system, so it hands these over when it joins
// (PaintTargets::Painter) rather than the window system linking to it.
struct DrawingCalls {
    decltype(&::BeginPaint) begin_paint;
    decltype(&::EndPaint) end_paint;
    decltype(&::GetDC) get_dc;
    decltype(&::ReleaseDC) release_dc;
    decltype(&::CreateCompatibleDC) create_compatible_dc;
    decltype(&::DeleteDC) delete_dc;
    decltype(&::SelectObject) select_object;
    decltype(&::DeleteObject) delete_object;
    decltype(&::GetObject) get_object;
    decltype(&::CreateSolidBrush) create_solid_brush;
    decltype(&::FillRect) fill_rect;
    decltype(&::BitBlt) bit_blt;
    decltype(&::SetTextColor) set_text_colour;
    decltype(&::SetBkMode) set_bk_mode;
    decltype(&::DrawText) draw_text;
    decltype(&::GetTextExtentPoint32) get_text_extent;
    decltype(&::ImageList_Draw) image_list_draw;
    decltype(&::ImageList_GetIconSize) image_list_get_icon_size;
};

} // namespace kivo
