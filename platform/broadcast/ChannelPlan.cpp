#include "ChannelPlan.h"

namespace kivo {

ChannelPlan ChannelPlan::of_country(int32_t country)
{
    ChannelPlan plan;
    plan.m_country = country;
    if (country == by_name)
        return plan;
    if (country == 886 || country == 1) {
        plan.m_raster = Raster::SixMegahertz;
        plan.m_lowest = 14;
    } else if (country == 61) {
        plan.m_raster = Raster::SevenMegahertz;
        plan.m_lowest = 6;
    } else {
        plan.m_raster = Raster::EightMegahertz;
        plan.m_lowest = 21;
    }
    plan.m_highest = 69;
    return plan;
}

std::optional<uint32_t> ChannelPlan::frequency_khz(uint32_t channel) const
{
    if (m_raster == Raster::None || channel < m_lowest || channel > m_highest)
        return std::nullopt;
    switch (m_raster) {
    case Raster::SixMegahertz:
        return 473'000 + (channel - 14) * 6'000;
    case Raster::EightMegahertz:
        return 474'000 + (channel - 21) * 8'000;
    case Raster::SevenMegahertz:
        // VHF band III: 6 to 9 follow on from 177.5 MHz; 10 to 12 sit one place higher, above
        // channel 9A (205.5 MHz), which has no number of its own here.
        if (channel <= 9)
            return 177'500 + (channel - 6) * 7'000;
        if (channel <= 12)
            return 212'500 + (channel - 10) * 7'000;
        if (channel >= 28)
            return 529'500 + (channel - 28) * 7'000;
        return std::nullopt;
    case Raster::None:
        break;
    }
    return std::nullopt;
}

std::optional<uint32_t> ChannelPlan::channel_at(uint32_t frequency_khz) const
{
    for (uint32_t channel = m_lowest; m_raster != Raster::None && channel <= m_highest; ++channel) {
        if (this->frequency_khz(channel) == frequency_khz)
            return channel;
    }
    return std::nullopt;
}

} // namespace kivo
