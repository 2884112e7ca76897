#include "SampleRing.h"

#include <algorithm>

namespace kivo {

SampleRing::SampleRing(uint16_t channels, size_t capacity_frames, size_t prefill_frames)
    : m_channels(channels ? channels : 1)
    , m_prefill(std::min(prefill_frames, capacity_frames) * m_channels)
    , m_samples(std::max<size_t>(capacity_frames, 1) * m_channels)
{
}

void SampleRing::push(std::span<const int16_t> samples)
{
    std::lock_guard guard(m_lock);
    // Only whole frames keep the channels in step.
    samples = samples.first(samples.size() - samples.size() % m_channels);
    if (samples.size() > m_samples.size())
        samples = samples.last(m_samples.size());
    size_t overflow = m_size + samples.size() > m_samples.size() ? m_size + samples.size() - m_samples.size() : 0;
    m_read = (m_read + overflow) % m_samples.size();
    m_size -= overflow;
    for (int16_t sample : samples)
        m_samples[(m_read + m_size++) % m_samples.size()] = sample;
}

void SampleRing::pop(std::span<int16_t> out)
{
    std::lock_guard guard(m_lock);
    if (m_filling && m_size >= m_prefill)
        m_filling = false;
    size_t count = m_filling ? 0 : std::min(out.size() - out.size() % m_channels, m_size);
    for (size_t i = 0; i < count; ++i)
        out[i] = m_samples[(m_read + i) % m_samples.size()];
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(count), out.end(), 0);
    m_read = (m_read + count) % m_samples.size();
    m_size -= count;
    if (count < out.size())
        m_filling = true;
}

size_t SampleRing::frames() const
{
    std::lock_guard guard(m_lock);
    return m_size / m_channels;
}

} // namespace kivo
