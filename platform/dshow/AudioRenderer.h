#pragma once

#include "HostMutex.h"
#include "RendererFilter.h"
#include "SoundApi.h"
#include "Trace.h"

#include <array>
#include <atomic>
#include <deque>
#include <limits>
#include <memory>
#include <vector>

namespace kivo {

class Device;

// The platform's "Audio Renderer": plays interleaved 16-bit PCM, mono or stereo, through a
// wave-out stream of the process that streams it, opened when streaming starts and closed at the
// stop. Each sample becomes one buffer written to the stream, attenuated by the IBasicAudio volume
// first. The first buffer of a run is written at its time, so the stream starts then; each one
// that follows on without a gap is written lead_time ahead, while the stream still plays what came
// before it, so the stream never runs dry between them. A gap in the times lets the stream run
// dry, and the buffer after it starts at its own time. Pause and Run pause and restart the
// stream; a flush and a stop reset it. The output's volume (waveOutSetVolume on device 0) is the
// sound device's to apply, in its mix, and is not applied here.
//
// Its IReferenceClock is the device clock, as the graph's own is. It is an object of its own: a
// graph makes its sync source every filter's, this one's too, and a filter holding itself would
// never go.
class AudioRenderer final : public RendererFilter
    , public IBasicAudio {
public:
    // What the renderer wrote to its stream: one entry per buffer, for the renderer's whole life.
    struct Block {
        uint64_t written_ms = 0;  // the device time of the write
        REFERENCE_TIME start = 0; // the sample's stream time (0 without one)
        uint32_t rate = 0;
        uint16_t channels = 0;
        uint32_t frames = 0;
        std::array<int32_t, 2> peaks {}; // the largest magnitude per channel after the volume
        long volume = AM_VOLUME_FULL;    // the IBasicAudio volume applied

        bool operator==(const Block&) const = default;
    };

    AudioRenderer();
    ~AudioRenderer() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return Filter::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Filter::Release(); }
    void* find_interface(REFIID) override;

    // Hundredths of a decibel, AM_VOLUME_SILENCE to AM_VOLUME_FULL; it applies to the buffers
    // written from then on.
    HRESULT STDMETHODCALLTYPE put_Volume(long volume) override;
    HRESULT STDMETHODCALLTYPE get_Volume(long* volume) override;

    std::vector<Block> blocks() const;
    // Buffers written and not freed yet: those the stream still plays, and those it gave back
    // since the last write.
    size_t buffers_held() const { return m_buffers_held.load(std::memory_order_acquire); }

private:
    // A buffer handed to the stream, which keeps pointing into it until it is done.
    struct Buffer {
        WAVEHDR header {};
        std::vector<int16_t> samples;
    };

    static constexpr REFERENCE_TIME nothing_written = std::numeric_limits<REFERENCE_TIME>::min();

    HRESULT check_input_type(const MediaType&) override;
    HRESULT on_input_connected(const MediaType&) override;
    REFERENCE_TIME lead_time(const MediaSample&) const override;
    void present(const MediaSample&) override;
    void on_renderer_running() override;
    void on_renderer_paused() override;
    void on_renderer_stopped() override;
    void on_renderer_flushed() override;

    void free_done_buffers_locked();
    void reset_stream_locked();
    void record(Block);

    ComRef<IReferenceClock> m_clock;
    std::atomic<long> m_volume = AM_VOLUME_FULL;
    // Where the written sound ends in stream time, while the stream holds some.
    std::atomic<REFERENCE_TIME> m_written_until = nothing_written;
    std::atomic<size_t> m_buffers_held = 0;

    // Guarded by m_stream_lock: the renderer's thread writes while the program's thread pauses,
    // restarts, resets and closes the stream.
    SimMutex m_stream_lock;
    WAVEFORMATEX m_format {}; // the connection's, set while stopped
    HWAVEOUT m_stream = nullptr;
    bool m_streaming = false; // from the first pause after a stop until the stop
    std::deque<std::unique_ptr<Buffer>> m_buffers;

    mutable HostMutex m_blocks_lock { LockRank::AudioRendererBlocks };
    Trace<Block> m_blocks;
};

} // namespace kivo
