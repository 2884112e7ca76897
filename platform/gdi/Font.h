#pragma once

#include "FontEngine.h"
#include "GdiApi.h"
#include "GdiObject.h"

namespace kivo {

// A logical font as the program asked for it, and the face and size that serve it.
class Font final : public GdiObject {
public:
    Font(const LOGFONT& logical, FontStyle style)
        : m_logical(logical)
        , m_style(style)
    {
    }

    const char* kind() const override { return "font"; }
    Type type() const override { return Type::Font; }

    const LOGFONT& logical() const { return m_logical; }
    const FontStyle& style() const { return m_style; }

private:
    LOGFONT m_logical;
    FontStyle m_style;
};

} // namespace kivo
