#include "SoundMixer.h"

#include <algorithm>
#include <cmath>

namespace kivo {

void SoundMixer::set_output(uint32_t rate, uint16_t channels)
{
    m_rate = rate ? rate : 44100;
    m_channels = channels == 1 ? 1 : 2;
    for (auto& [id, source] : m_sources) {
        source.phase = 0;
        source.has_current = source.has_next = false;
    }
}

SoundMixer::SourceId SoundMixer::add(PcmFormat format, bool looping)
{
    SourceId id = m_next_id++;
    Source source;
    source.format = format;
    source.looping = looping;
    m_sources.emplace(id, std::move(source));
    return id;
}

void SoundMixer::remove(SourceId id)
{
    m_sources.erase(id);
}

void SoundMixer::append(SourceId id, Bytes bytes, size_t offset, size_t size)
{
    auto it = m_sources.find(id);
    if (it == m_sources.end() || size == 0)
        return;
    it->second.chunks.push_back({ std::move(bytes), offset, size });
}

void SoundMixer::clear(SourceId id)
{
    auto it = m_sources.find(id);
    if (it == m_sources.end())
        return;
    auto& source = it->second;
    source.chunks.clear();
    source.chunk = source.read = 0;
    source.phase = 0;
    source.has_current = source.has_next = false;
}

void SoundMixer::set_playing(SourceId id, bool playing)
{
    if (auto it = m_sources.find(id); it != m_sources.end())
        it->second.playing = playing;
}

void SoundMixer::set_gain(SourceId id, double gain)
{
    if (auto it = m_sources.find(id); it != m_sources.end())
        it->second.gain = gain;
}

bool SoundMixer::next_byte(Source& source, uint8_t& byte)
{
    // A looping source with nothing in it would otherwise turn for ever.
    for (size_t tries = 0; tries <= source.chunks.size(); ++tries) {
        if (source.chunk >= source.chunks.size()) {
            if (!source.looping || source.chunks.empty())
                return false;
            source.chunk = 0;
        }
        auto& chunk = source.chunks[source.chunk];
        if (source.read < chunk.size) {
            byte = (*chunk.bytes)[chunk.offset + source.read++];
            return true;
        }
        source.read = 0;
        if (source.looping)
            ++source.chunk;
        else
            source.chunks.pop_front();
    }
    return false;
}

void SoundMixer::drop_bytes(Source& source, uint64_t count)
{
    if (source.looping) {
        uint64_t total = 0;
        for (auto& chunk : source.chunks)
            total += chunk.size;
        if (total == 0)
            return;
        count %= total;
    }
    while (count > 0 && source.chunk < source.chunks.size()) {
        auto& chunk = source.chunks[source.chunk];
        uint64_t left = chunk.size - source.read;
        if (count < left) {
            source.read += count;
            return;
        }
        count -= left;
        source.read = 0;
        if (source.looping) {
            if (++source.chunk == source.chunks.size())
                source.chunk = 0;
        } else {
            source.chunks.pop_front();
        }
    }
}

bool SoundMixer::pull(Source& source, Frame& frame)
{
    // A frame cut by the end of the samples is dropped.
    uint32_t channels = source.format.channels;
    for (uint32_t channel = 0; channel < channels; ++channel) {
        int32_t value = 0;
        uint8_t low = 0;
        if (!next_byte(source, low))
            return false;
        if (source.format.bits == 8) {
            value = (static_cast<int32_t>(low) - 128) << 8;
        } else {
            uint8_t high = 0;
            if (!next_byte(source, high))
                return false;
            value = static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
        }
        frame[channel] = value;
    }
    if (channels == 1)
        frame[1] = frame[0];
    return true;
}

void SoundMixer::advance(Source& source)
{
    source.phase += source.format.rate;
    while (source.phase >= m_rate) {
        source.phase -= m_rate;
        if (!source.has_next) {
            // The source ran dry: it starts afresh when it has samples again.
            source.has_current = false;
            source.phase = 0;
            return;
        }
        source.current = source.next;
        source.has_next = pull(source, source.next);
    }
}

void SoundMixer::mix(std::span<int16_t> out)
{
    size_t frames = out.size() / m_channels;
    m_accumulator.assign(frames * m_channels, 0);
    for (auto& [id, source] : m_sources) {
        if (!source.playing || source.format.rate == 0)
            continue;
        for (size_t i = 0; i < frames; ++i) {
            if (!source.has_current) {
                if (!pull(source, source.current))
                    break;
                source.has_current = true;
                source.has_next = false;
            }
            if (!source.has_next)
                source.has_next = pull(source, source.next);
            Frame value = source.current;
            if (source.has_next) {
                for (size_t c = 0; c < 2; ++c)
                    value[c] += static_cast<int32_t>((static_cast<int64_t>(source.next[c]) - source.current[c]) * static_cast<int64_t>(source.phase) / m_rate);
            }
            int32_t* at = &m_accumulator[i * m_channels];
            if (m_channels == 1) {
                at[0] += static_cast<int32_t>(std::lround((value[0] + value[1]) / 2.0 * source.gain));
            } else {
                at[0] += static_cast<int32_t>(std::lround(value[0] * source.gain));
                at[1] += static_cast<int32_t>(std::lround(value[1] * source.gain));
            }
            advance(source);
        }
    }
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(i < m_accumulator.size() ? m_accumulator[i] : 0, -32768, 32767));
}

void SoundMixer::skip(uint64_t frames)
{
    for (auto& [id, source] : m_sources) {
        if (!source.playing || source.format.rate == 0 || source.format.block_align() == 0)
            continue;
        // The frames held for interpolation were taken from the samples already.
        uint64_t held = (source.has_current ? 1 : 0) + (source.has_next ? 1 : 0);
        uint64_t total = source.phase + frames * source.format.rate;
        uint64_t passed = total / m_rate;
        source.phase = total % m_rate;
        if (passed == 0)
            continue;
        if (passed > held)
            drop_bytes(source, (passed - held) * source.format.block_align());
        source.has_current = source.has_next = false;
    }
}

} // namespace kivo
