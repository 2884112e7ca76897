#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Scheduler.h"
#include "SoundApi.h"
#include "SoundMixer.h"
#include "Trace.h"
#include "Types.h"
#include "WaveFile.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kivo {

class Device;
class Event;

// The device's wave output 0. Two kinds of source play into it at once and are mixed into one
// output: the PlaySound channel (one sound file at a time; a new one stops the one playing) and
// any number of wave-out streams that renderers feed with PCM buffers. Both are paced by the
// device clock through the scheduler's timed callbacks. What played is recorded in traces: each
// sound with its file, start, stop and the volume at the time; each run of a stream with its
// format, start, stop, bytes played and volumes.
//
// Locking: one host lock guards the state and the mixer; it is never held across a call into a
// program, an event, a window or a wait. Stream callbacks to programs go out once it is released:
// events are set and window messages posted from the thread that caused them (the timed callback
// for a done header), and CALLBACK_FUNCTION procedures run on a layer thread of the opener's
// process, one per process, in the order the device produced them.
class SoundDevice final : public DeviceComponent {
public:
    struct Sound {
        std::u16string file;
        uint64_t start_ms = 0;
        std::optional<uint64_t> stop_ms; // none while it plays
        DWORD volume = 0;
        bool looping = false;
        bool synchronous = false;
        bool found = false; // a missing or unreadable file plays nothing
    };
    struct Message {
        UINT message;
        DWORD_PTR first;
        DWORD_PTR second;
        uint64_t time_ms;
    };
    // One run of a stream: from the first byte played after an open, a restart, a reset or the
    // queue running dry, until it ran dry again, was paused, reset or closed.
    struct StreamPlay {
        HWAVEOUT stream = nullptr;
        DWORD process = 0;
        PcmFormat format;
        uint64_t start_ms = 0;
        std::optional<uint64_t> stop_ms; // none while it plays
        uint64_t bytes = 0;              // played in this run (so far, while it plays)
        DWORD volume = 0;                // the stream's own, at the start
        DWORD device_volume = 0;         // the output's, at the start
    };
    // How a stream's opener hears of it.
    struct Notify {
        enum class Kind {
            None,
            Event,
            Function,
            Window,
        };
        Kind kind = Kind::None;
        std::shared_ptr<Event> event;
        LPWAVECALLBACK function = nullptr;
        HWND window = nullptr;
        DWORD_PTR instance = 0;
    };
    struct OutputFormat {
        uint32_t rate = 44100;
        uint16_t channels = 2;
    };
    // Hears the mix, in order, as interleaved 16-bit samples; called from any thread of the
    // device, with the output's own lock held, so it must only copy.
    using Output = std::function<void(std::span<const int16_t>)>;

    explicit SoundDevice(Device&);
    ~SoundDevice() override;

    // The level that a volume value means: its low word.
    static WORD level(DWORD volume) { return LOWORD(volume); }

    DWORD volume() const;
    void set_volume(DWORD);
    std::vector<std::pair<uint64_t, DWORD>> volume_changes() const;
    std::vector<Sound> sounds() const;
    std::vector<Message> messages() const;
    // The driver's messages kept from a sequence number on, each with its own, so that a reader
    // can go on where it stopped even after older ones were dropped.
    std::vector<std::pair<uint64_t, Message>> messages_since(uint64_t sequence) const;
    std::vector<StreamPlay> stream_plays() const;
    // The wave-out streams open now, of every process.
    size_t open_stream_count() const;
    // Whether the PlaySound channel plays.
    bool playing() const;

    // From now on the mix goes to `output` in that format. On the real clock it is rendered every
    // few milliseconds; on the virtual clock whenever a source starts, stops or changes, and
    // when render() is called.
    void set_output(OutputFormat, Output);
    // Renders the mix up to the device's now.
    void render();

    // Plays a file; a synchronous sound returns when it has played (or was stopped). Answers
    // false for a missing file, or when `no_stop` finds another sound playing.
    bool play(std::u16string_view file, bool asynchronous, bool loop, bool no_stop);
    void stop();
    MMRESULT record_message(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR);

    // The wave-out calls, for the calling thread's process.
    MMRESULT open_stream(HWAVEOUT*, PcmFormat, Notify);
    MMRESULT close_stream(HWAVEOUT);
    MMRESULT prepare_header(HWAVEOUT, WAVEHDR*, bool prepare);
    MMRESULT write(HWAVEOUT, WAVEHDR*);
    MMRESULT reset(HWAVEOUT);
    MMRESULT pause(HWAVEOUT, bool pause);
    MMRESULT position(HWAVEOUT, uint64_t& bytes, PcmFormat&) const;
    MMRESULT set_stream_volume(HWAVEOUT, DWORD);
    MMRESULT stream_volume(HWAVEOUT, DWORD&) const;

    void process_ending(Process&) override;
    // The output falls silent: streams and sounds no longer end, nor call back.
    void device_stopping(StopReason) override;

private:
    struct OpenStream;
    struct CallbackQueue;
    struct Life;
    struct Delivery {
        std::shared_ptr<const Notify> notify;
        DWORD process;
        HWAVEOUT stream;
        UINT message;
        DWORD_PTR first;
    };
    using Deliveries = std::vector<Delivery>;

    OpenStream* find_locked(HWAVEOUT) const;
    void finish(uint64_t sequence);
    void render_locked();
    void deliver_output();
    void deliver(Deliveries&);
    void update_gains_locked();
    void schedule_locked(OpenStream&);
    void stream_due(HWAVEOUT);
    void start_play_locked(OpenStream&);
    void stop_play_locked(OpenStream&);
    void close_locked(OpenStream&);
    void pump();
    // Runs a timed callback unless the device is going away; the destructor waits for those
    // that have begun.
    template<typename F>
    std::function<void()> guarded(F);

    Device& m_device;
    std::shared_ptr<Life> m_life;
    mutable HostMutex m_lock { LockRank::SoundDevice };

    DWORD m_volume = 0xFFFFFFFF;
    Trace<std::pair<uint64_t, DWORD>> m_volume_changes;
    Trace<Sound> m_sounds;
    Trace<Message> m_messages;
    Trace<StreamPlay> m_stream_plays;

    // The PlaySound channel.
    std::optional<uint64_t> m_current; // the sequence of the sound that plays
    DWORD m_current_process = 0;
    std::optional<SoundMixer::SourceId> m_current_source;
    std::optional<Scheduler::TimerId> m_timer;
    std::shared_ptr<Event> m_finished;

    std::map<uintptr_t, std::unique_ptr<OpenStream>> m_streams;
    uintptr_t m_next_stream = 0x5700;
    std::map<DWORD, std::shared_ptr<CallbackQueue>> m_callback_queues;

    SoundMixer m_mixer;
    uint64_t m_output_origin_ms = 0;
    uint64_t m_rendered_frames = 0;
    std::vector<std::vector<int16_t>> m_pending_output;
    HostMutex m_output_lock { LockRank::SoundOutput };
    Output m_output;
    std::optional<Scheduler::TimerId> m_pump;
};

} // namespace kivo
