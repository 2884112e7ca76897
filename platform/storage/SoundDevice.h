#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Scheduler.h"
#include "Types.h"
#include "WaveFile.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Device;
class Event;

// The device's wave output 0: its volume, the driver's private messages, and the sounds played,
// each recorded with its file, start, stop and the volume at the time. A sound lasts its WAVE
// file's duration on the device clock. An output hook hears each start and stop, so that the
// simulator can play the samples.
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
    struct OutputEvent {
        enum class Kind {
            Start,
            Stop,
        };
        Kind kind;
        Sound sound;
        std::filesystem::path host; // the file to play, on a start
        std::optional<WaveFile> wave;
    };
    using Output = std::function<void(const OutputEvent&)>;

    explicit SoundDevice(Device&);
    ~SoundDevice() override;

    DWORD volume() const;
    void set_volume(DWORD);
    std::vector<std::pair<uint64_t, DWORD>> volume_changes() const;
    std::vector<Sound> sounds() const;
    std::vector<Message> messages() const;
    bool playing() const;

    void set_output(Output);

    // Plays a file; a synchronous sound returns when it has played (or was stopped). Answers
    // false for a missing file, or when `no_stop` finds another sound playing.
    bool play(std::u16string_view file, bool asynchronous, bool loop, bool no_stop);
    void stop();
    void record_message(UINT, DWORD_PTR, DWORD_PTR);

    void process_ending(Process&) override;

private:
    void finish(size_t index);
    void emit(const OutputEvent&);

    Device& m_device;
    mutable HostMutex m_lock { LockRank::SoundDevice };
    DWORD m_volume = 0xFFFFFFFF;
    std::vector<std::pair<uint64_t, DWORD>> m_volume_changes;
    std::vector<Sound> m_sounds;
    std::vector<Message> m_messages;
    std::optional<size_t> m_current;
    DWORD m_current_process = 0;
    std::optional<Scheduler::TimerId> m_timer;
    std::shared_ptr<Event> m_finished;
    Output m_output;
};

} // namespace kivo
