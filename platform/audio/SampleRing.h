#pragma once

#include "HostMutex.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace kivo {

// Mixed samples on their way from the device to the host's audio callback. The device pushes
// as its clock moves; the callback pops at the sound card's pace and must never wait for the
// device, so the lock is held only to copy. The two clocks drift apart: past its capacity the
// oldest frames go, and after running dry the ring stays silent until it holds `prefill` frames
// again, so that short gaps in the pushes are not heard as clicks.
class SampleRing {
public:
    SampleRing(uint16_t channels, size_t capacity_frames, size_t prefill_frames);

    void push(std::span<const int16_t> samples);
    // Fills `out` whole, with silence where there is nothing to play.
    void pop(std::span<int16_t> out);
    size_t frames() const;

private:
    uint16_t m_channels;
    size_t m_prefill;
    mutable HostMutex m_lock { LockRank::SampleRing };
    std::vector<int16_t> m_samples;
    size_t m_read = 0;
    size_t m_size = 0;
    bool m_filling = true;
};

} // namespace kivo
