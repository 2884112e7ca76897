#pragma once

#include "GdiObject.h"
#include "Region.h"

namespace kivo {

// A region a program holds by handle (HRGN).
class RegionObject final : public GdiObject {
public:
    explicit RegionObject(Region region)
        : m_region(std::move(region))
    {
    }

    const char* kind() const override { return "region"; }
    Type type() const override { return Type::Region; }

    Region& region() { return m_region; }

private:
    Region m_region;
};

} // namespace kivo
