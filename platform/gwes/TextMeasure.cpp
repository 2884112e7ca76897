#include "TextMeasure.h"

#include "WindowManager.h"

namespace kivo {

TextMeasure::TextMeasure(HWND hwnd)
    : m_hwnd(hwnd)
    , m_calls(WindowManager::current().painter().calls)
{
    if (!m_calls)
        return;
    m_dc = m_calls->get_dc(hwnd);
    SIZE size {};
    if (m_dc && m_calls->get_text_extent(m_dc, u"X", 1, &size))
        m_line_height = size.cy;
}

TextMeasure::~TextMeasure()
{
    if (m_dc)
        m_calls->release_dc(m_hwnd, m_dc);
}

int TextMeasure::width(std::u16string_view text) const
{
    if (!m_dc)
        return static_cast<int>(text.size()) * fallback_width;
    SIZE size {};
    m_calls->get_text_extent(m_dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

} // namespace kivo
