#pragma once

#include "GdiObject.h"
#include "Types.h"

namespace kivo {

// A solid brush, or the hollow one that fills nothing.
class Brush final : public GdiObject {
public:
    static constexpr uint32_t hollow = 0xFFFFFFFF;

    explicit Brush(uint32_t colour)
        : m_colour(colour)
    {
    }

    const char* kind() const override { return "brush"; }
    Type type() const override { return Type::Brush; }

    bool is_hollow() const { return m_colour == hollow; }
    uint32_t colour() const { return m_colour; }

private:
    uint32_t m_colour;
};

} // namespace kivo
