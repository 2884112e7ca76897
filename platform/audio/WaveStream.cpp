#include "WaveStream.h"

#include <algorithm>

namespace kivo {

bool WaveStream::is_queued(const WAVEHDR* header) const
{
    return std::any_of(m_queue.begin(), m_queue.end(), [&](auto& queued) { return queued.header == header; });
}

uint64_t WaveStream::position(uint64_t now_ms) const
{
    if (!m_running)
        return m_stopped_position;
    uint64_t elapsed = now_ms > m_run_start_ms ? now_ms - m_run_start_ms : 0;
    return std::min(m_written, m_run_start_bytes + elapsed * m_format.bytes_per_second() / 1000);
}

uint64_t WaveStream::head_done_ms() const
{
    uint64_t bytes = m_queue.front().end - m_run_start_bytes;
    uint64_t rate = m_format.bytes_per_second();
    return m_run_start_ms + (bytes * 1000 + rate - 1) / rate;
}

void WaveStream::start_run(uint64_t now_ms)
{
    m_running = true;
    m_run_start_ms = now_ms;
    m_run_start_bytes = m_stopped_position;
}

bool WaveStream::write(WAVEHDR* header, uint64_t now_ms)
{
    m_written += header->dwBufferLength;
    m_queue.push_back({ header, m_written });
    if (m_running || m_paused)
        return false;
    start_run(now_ms);
    return true;
}

std::vector<WAVEHDR*> WaveStream::take_done(uint64_t now_ms)
{
    std::vector<WAVEHDR*> done;
    if (!m_running)
        return done;
    while (!m_queue.empty() && head_done_ms() <= now_ms) {
        done.push_back(m_queue.front().header);
        m_queue.pop_front();
    }
    if (m_queue.empty()) {
        m_stopped_position = m_written;
        m_running = false;
    }
    return done;
}

bool WaveStream::pause(uint64_t now_ms)
{
    if (m_paused)
        return false;
    m_paused = true;
    if (!m_running)
        return false;
    m_stopped_position = position(now_ms);
    m_running = false;
    return true;
}

bool WaveStream::restart(uint64_t now_ms)
{
    if (!m_paused)
        return false;
    m_paused = false;
    if (m_queue.empty())
        return false;
    start_run(now_ms);
    return true;
}

std::vector<WAVEHDR*> WaveStream::reset()
{
    std::vector<WAVEHDR*> headers;
    for (auto& queued : m_queue)
        headers.push_back(queued.header);
    m_queue.clear();
    m_written = 0;
    m_running = false;
    m_stopped_position = 0;
    return headers;
}

} // namespace kivo
