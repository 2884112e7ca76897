#pragma once

#include "SoundApi.h"
#include "SoundMixer.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace kivo {

// The play-out of one wave-out handle on the device clock: the queue of headers written to it and
// where it stands. Bytes play at the format's byte rate from the moment a run starts (the first
// write, a restart); a header is done once the clock has passed its last byte (rounded up to
// the millisecond), reckoned from the run's start, so that many short headers never drift.
// A run ends when the queue runs dry, at a pause and at a reset. Not locked: the owner guards it.
class WaveStream {
public:
    explicit WaveStream(PcmFormat format)
        : m_format(format)
    {
    }

    const PcmFormat& format() const { return m_format; }
    bool paused() const { return m_paused; }
    bool running() const { return m_running; }
    bool has_queued() const { return !m_queue.empty(); }
    bool is_queued(const WAVEHDR*) const;

    // Bytes played since the stream was opened or last reset, at a device time.
    uint64_t position(uint64_t now_ms) const;
    // When the first queued header is done; only while running.
    uint64_t head_done_ms() const;

    // Queues a header; answers whether a run started with it.
    bool write(WAVEHDR*, uint64_t now_ms);
    // The headers whose bytes have all played by now, first first; the run ends when none is left.
    std::vector<WAVEHDR*> take_done(uint64_t now_ms);
    // Answers whether a run was stopped or started.
    bool pause(uint64_t now_ms);
    bool restart(uint64_t now_ms);
    // Back to position 0 with nothing queued; answers the headers that were queued.
    std::vector<WAVEHDR*> reset();

private:
    struct Queued {
        WAVEHDR* header;
        uint64_t end; // the position after its last byte
    };
    void start_run(uint64_t now_ms);

    PcmFormat m_format;
    std::deque<Queued> m_queue;
    uint64_t m_written = 0;
    bool m_paused = false;
    bool m_running = false;
    uint64_t m_run_start_ms = 0;
    uint64_t m_run_start_bytes = 0;
    uint64_t m_stopped_position = 0;
};

} // namespace kivo
