#pragma once

#include <cstdint>
#include <optional>

namespace kivo {

// A country's television channels: their numbers and centre frequencies in kHz.
//  - 886 (Taiwan) and 1: 6 MHz channels, UHF 14 to 69, channel 24 at 533 000 kHz;
//  - 61 (Australia): 7 MHz channels, VHF 6 to 12 and UHF 28 to 69 (13 to 27 are none);
//  - -1: no channels at all, the multiplexes are tuned by name;
//  - any other code: 8 MHz channels, UHF 21 to 69 from 474 000 kHz.
class ChannelPlan {
public:
    static constexpr int32_t by_name = -1;

    static ChannelPlan of_country(int32_t country);
    // The plan of the default multiplexes and of the simulator's channel numbers.
    static ChannelPlan six_megahertz() { return of_country(886); }

    int32_t country() const { return m_country; }
    // 0 and 0 for the plan without channels.
    uint32_t lowest() const { return m_lowest; }
    uint32_t highest() const { return m_highest; }
    std::optional<uint32_t> frequency_khz(uint32_t channel) const;
    // The channel whose centre frequency that is.
    std::optional<uint32_t> channel_at(uint32_t frequency_khz) const;

private:
    enum class Raster {
        None,
        SixMegahertz,
        SevenMegahertz,
        EightMegahertz,
    };

    int32_t m_country = 0;
    Raster m_raster = Raster::None;
    uint32_t m_lowest = 0;
    uint32_t m_highest = 0;
};

} // namespace kivo
