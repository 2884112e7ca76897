#pragma once

#include "DrawingCalls.h"

#include <string_view>

namespace kivo {

// Measures text for a control's layout with the window's context as it comes (the system
// font). Without the drawing layer every character is a fixed cell of fallback_width by
// fallback_height pixels.
class TextMeasure {
public:
    static constexpr int fallback_width = 8;
    static constexpr int fallback_height = 16;

    explicit TextMeasure(HWND);
    ~TextMeasure();
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;

    int width(std::u16string_view) const;
    int line_height() const { return m_line_height; }

private:
    HWND m_hwnd;
    const DrawingCalls* m_calls = nullptr;
    HDC m_dc = nullptr;
    int m_line_height = fallback_height;
};

} // namespace kivo
