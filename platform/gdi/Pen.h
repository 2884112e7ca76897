#pragma once

#include "GdiObject.h"
#include "Types.h"

namespace kivo {

// A solid pen of a width, or the null pen that draws nothing.
class Pen final : public GdiObject {
public:
    Pen(bool is_null, int width, uint32_t colour)
        : m_null(is_null)
        , m_width(width < 1 ? 1 : width)
        , m_colour(colour)
    {
    }

    const char* kind() const override { return "pen"; }
    Type type() const override { return Type::Pen; }

    bool is_null() const { return m_null; }
    int width() const { return m_width; }
    uint32_t colour() const { return m_colour; }

private:
    bool m_null;
    int m_width;
    uint32_t m_colour;
};

} // namespace kivo
