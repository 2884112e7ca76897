#include "SoundDevice.h"

#include "Device.h"
#include "GwesApi.h"
#include "Process.h"
#include "SimThread.h"
#include "SyncObjects.h"
#include "Volumes.h"
#include "WaveStream.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <iterator>

namespace kivo {

namespace {

// How often the real clock's mix is rendered, and the most a single render makes (a longer gap
// passes unheard rather than held in memory).
constexpr uint64_t pump_interval_ms = 10;
constexpr uint64_t longest_render_ms = 2000;

// The bytes of a sound file, or nothing when the file is missing.
std::optional<std::vector<uint8_t>> read_bytes(const std::filesystem::path& host)
{
    std::ifstream in(host, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<PcmFormat> pcm_format_of(const WaveFile& wave)
{
    PcmFormat format { wave.sample_rate, wave.channels, wave.bits_per_sample };
    if (wave.format_tag != WAVE_FORMAT_PCM || (format.channels != 1 && format.channels != 2)
        || (format.bits != 8 && format.bits != 16) || format.rate == 0)
        return std::nullopt;
    return format;
}

double gain_of(DWORD volume)
{
    return SoundDevice::level(volume) / 65535.0;
}

DWORD calling_process()
{
    auto* thread = SimThread::current();
    return thread ? thread->process().id() : 0;
}

} // namespace

struct SoundDevice::OpenStream {
    HWAVEOUT handle;
    DWORD process;
    std::shared_ptr<const Notify> notify;
    WaveStream stream;
    SoundMixer::SourceId source;
    DWORD volume = 0xFFFFFFFF;
    std::optional<Scheduler::TimerId> timer;
    std::optional<uint64_t> play; // the sequence of the run being recorded
    uint64_t play_start_position = 0;
};

struct SoundDevice::CallbackQueue {
    struct Call {
        LPWAVECALLBACK function;
        HWAVEOUT stream;
        UINT message;
        DWORD_PTR instance;
        DWORD_PTR first;
    };
    HostMutex lock { LockRank::SoundCallbacks };
    std::deque<Call> calls;
    std::shared_ptr<Event> wake = std::make_shared<Event>(false, false);
};

// Whether the device still takes timed callbacks, shared with them: a callback that the
// scheduler has taken may still start after the device's destructor began.
struct SoundDevice::Life {
    HostMutex lock { LockRank::SoundLife };
    std::condition_variable_any done;
    bool closing = false;
    int running = 0;
};

template<typename F>
std::function<void()> SoundDevice::guarded(F body)
{
    return [life = m_life, body = std::move(body)] {
        {
            std::lock_guard guard(life->lock);
            if (life->closing)
                return;
            ++life->running;
        }
        body();
        std::lock_guard guard(life->lock);
        --life->running;
        life->done.notify_all();
    };
}

SoundDevice::SoundDevice(Device& device)
    : m_device(device)
    , m_life(std::make_shared<Life>())
{
    m_volume_changes.follow(device.trace_limit());
    m_sounds.follow(device.trace_limit());
    m_messages.follow(device.trace_limit());
    m_stream_plays.follow(device.trace_limit());
}

void SoundDevice::device_stopping(StopReason)
{
    // No timed callback runs from here on, so none reaches a component that goes before this one.
    std::unique_lock guard(m_life->lock);
    m_life->closing = true;
    m_life->done.wait(guard, [&] { return m_life->running == 0; });
}

SoundDevice::~SoundDevice()
{
    device_stopping(StopReason::Destroyed);
    auto& scheduler = m_device.scheduler();
    if (m_timer)
        scheduler.cancel(*m_timer);
    if (m_pump)
        scheduler.cancel(*m_pump);
    for (auto& [value, open] : m_streams) {
        if (open->timer)
            scheduler.cancel(*open->timer);
    }
}

DWORD SoundDevice::volume() const
{
    std::lock_guard guard(m_lock);
    return m_volume;
}

void SoundDevice::set_volume(DWORD volume)
{
    {
        std::lock_guard guard(m_lock);
        render_locked();
        m_volume = volume;
        m_volume_changes.append({ m_device.clock().now_ms(), volume });
        update_gains_locked();
    }
    deliver_output();
}

std::vector<std::pair<uint64_t, DWORD>> SoundDevice::volume_changes() const
{
    std::lock_guard guard(m_lock);
    return m_volume_changes.all();
}

std::vector<SoundDevice::Sound> SoundDevice::sounds() const
{
    std::lock_guard guard(m_lock);
    return m_sounds.all();
}

std::vector<SoundDevice::Message> SoundDevice::messages() const
{
    std::lock_guard guard(m_lock);
    return m_messages.all();
}

std::vector<std::pair<uint64_t, SoundDevice::Message>> SoundDevice::messages_since(uint64_t sequence) const
{
    std::lock_guard guard(m_lock);
    std::vector<std::pair<uint64_t, Message>> kept;
    for (uint64_t n = std::max(sequence, m_messages.first_sequence()); n < m_messages.end_sequence(); ++n)
        kept.emplace_back(n, m_messages.at(n));
    return kept;
}

std::vector<SoundDevice::StreamPlay> SoundDevice::stream_plays() const
{
    std::lock_guard guard(m_lock);
    auto plays = m_stream_plays.all();
    uint64_t first = m_stream_plays.first_sequence();
    uint64_t now = m_device.clock().now_ms();
    for (auto& [value, open] : m_streams) {
        if (open->play && *open->play >= first)
            plays[*open->play - first].bytes = open->stream.position(now) - open->play_start_position;
    }
    return plays;
}

size_t SoundDevice::open_stream_count() const
{
    std::lock_guard guard(m_lock);
    return m_streams.size();
}

bool SoundDevice::playing() const
{
    std::lock_guard guard(m_lock);
    return m_current.has_value();
}

void SoundDevice::set_output(OutputFormat format, Output output)
{
    std::lock_guard output_guard(m_output_lock);
    std::lock_guard guard(m_lock);
    // The old output hears nothing more; the sources move on to now unheard.
    render_locked();
    m_pending_output.clear();
    m_output = std::move(output);
    m_mixer.set_output(format.rate, format.channels);
    m_output_origin_ms = m_device.clock().now_ms();
    m_rendered_frames = 0;
    if (m_pump) {
        m_device.scheduler().cancel(*m_pump);
        m_pump.reset();
    }
    if (m_output && !m_device.scheduler().is_virtual())
        m_pump = m_device.scheduler().schedule_at(m_output_origin_ms + pump_interval_ms, guarded([this] { pump(); }));
}

void SoundDevice::pump()
{
    render();
    std::lock_guard guard(m_lock);
    m_pump.reset();
    if (m_output)
        m_pump = m_device.scheduler().schedule_at(m_device.clock().now_ms() + pump_interval_ms, guarded([this] { pump(); }));
}

void SoundDevice::render()
{
    {
        std::lock_guard guard(m_lock);
        render_locked();
    }
    deliver_output();
}

void SoundDevice::render_locked()
{
    uint64_t now = m_device.clock().now_ms();
    uint64_t rate = m_mixer.output_rate();
    uint64_t target = now > m_output_origin_ms ? (now - m_output_origin_ms) * rate / 1000 : 0;
    if (target <= m_rendered_frames)
        return;
    uint64_t frames = target - m_rendered_frames;
    m_rendered_frames = target;
    if (!m_output) {
        m_mixer.skip(frames);
        return;
    }
    uint64_t longest = longest_render_ms * rate / 1000;
    if (frames > longest) {
        m_mixer.skip(frames - longest);
        frames = longest;
    }
    std::vector<int16_t> samples(frames * m_mixer.output_channels());
    m_mixer.mix(samples);
    m_pending_output.push_back(std::move(samples));
}

void SoundDevice::deliver_output()
{
    std::lock_guard output_guard(m_output_lock);
    std::vector<std::vector<int16_t>> pending;
    {
        std::lock_guard guard(m_lock);
        pending.swap(m_pending_output);
    }
    if (!m_output)
        return;
    for (auto& samples : pending)
        m_output(samples);
}

void SoundDevice::update_gains_locked()
{
    double device = gain_of(m_volume);
    for (auto& [value, open] : m_streams)
        m_mixer.set_gain(open->source, device * gain_of(open->volume));
    if (m_current_source)
        m_mixer.set_gain(*m_current_source, device);
}

MMRESULT SoundDevice::record_message(HWAVEOUT stream, UINT message, DWORD_PTR first, DWORD_PTR second)
{
    std::lock_guard guard(m_lock);
    if (stream && !find_locked(stream))
        return MMSYSERR_INVALHANDLE;
    m_messages.append({ message, first, second, m_device.clock().now_ms() });
    return MMSYSERR_NOERROR;
}

bool SoundDevice::play(std::u16string_view file, bool asynchronous, bool loop, bool no_stop)
{
    if (no_stop && playing())
        return false;
    stop();
    uint64_t now = m_device.clock().now_ms();
    DWORD error = 0;
    auto resolved = m_device.component<Volumes>().resolve(file, error);
    std::optional<std::vector<uint8_t>> bytes;
    if (resolved && resolved->exists && !resolved->is_directory)
        bytes = read_bytes(resolved->host);
    std::optional<WaveFile> wave;
    if (bytes)
        wave = WaveFile::parse(*bytes);
    Sound sound { std::u16string(file), now, std::nullopt, volume(), loop, !asynchronous, wave.has_value() };
    if (!wave) {
        sound.stop_ms = now;
        std::lock_guard guard(m_lock);
        m_sounds.append(sound);
        return false;
    }
    auto finished = std::make_shared<Event>(true, false);
    uint64_t sequence = 0;
    {
        std::lock_guard guard(m_lock);
        render_locked();
        sequence = m_sounds.append(sound);
        m_current = sequence;
        m_current_process = calling_process();
        m_finished = finished;
        // A file whose samples the mixer cannot read still takes its time, silently.
        if (auto format = pcm_format_of(*wave)) {
            auto source = m_mixer.add(*format, loop);
            auto shared = std::make_shared<const std::vector<uint8_t>>(std::move(*bytes));
            m_mixer.append(source, shared, wave->data_offset, wave->data_size);
            m_mixer.set_playing(source, true);
            m_current_source = source;
            update_gains_locked();
        }
    }
    deliver_output();
    uint64_t end = now + wave->duration_ms();
    if (asynchronous) {
        if (!loop) {
            std::lock_guard guard(m_lock);
            m_timer = m_device.scheduler().schedule_at(end, guarded([this, sequence] { finish(sequence); }));
        }
        return true;
    }
    auto& scheduler = m_device.scheduler();
    {
        auto guard = scheduler.lock();
        Waitable* objects[] = { finished.get() };
        scheduler.wait(guard, *SimThread::current(), objects, end);
    }
    finish(sequence);
    return true;
}

void SoundDevice::finish(uint64_t sequence)
{
    std::shared_ptr<Event> finished;
    {
        std::lock_guard guard(m_lock);
        if (m_current != sequence)
            return;
        render_locked();
        if (sequence >= m_sounds.first_sequence())
            m_sounds.at(sequence).stop_ms = m_device.clock().now_ms();
        if (m_current_source)
            m_mixer.remove(*m_current_source);
        m_current_source.reset();
        m_current.reset();
        if (m_timer)
            m_device.scheduler().cancel(*m_timer);
        m_timer.reset();
        finished = std::move(m_finished);
    }
    deliver_output();
    if (finished) {
        auto guard = m_device.scheduler().lock();
        finished->set();
    }
}

void SoundDevice::stop()
{
    std::optional<uint64_t> current;
    {
        std::lock_guard guard(m_lock);
        current = m_current;
    }
    if (current)
        finish(*current);
}

SoundDevice::OpenStream* SoundDevice::find_locked(HWAVEOUT handle) const
{
    auto it = m_streams.find(reinterpret_cast<uintptr_t>(handle));
    // Another process's stream is refused as a closed one.
    if (it == m_streams.end() || it->second->process != calling_process())
        return nullptr;
    return it->second.get();
}

MMRESULT SoundDevice::open_stream(HWAVEOUT* handle, PcmFormat format, Notify notify)
{
    auto* thread = SimThread::current();
    Process& process = thread->process();
    Deliveries deliveries;
    {
        std::lock_guard guard(m_lock);
        if (notify.kind == Notify::Kind::Function && !m_callback_queues.contains(process.id())) {
            // The process's wave callback thread: it waits for calls and makes them in order. It
            // ends with its process.
            auto queue = std::make_shared<CallbackQueue>();
            auto& scheduler = m_device.scheduler();
            auto callback_thread = m_device.create_thread(process, [queue, &scheduler]() -> DWORD {
                for (;;) {
                    {
                        auto scheduler_guard = scheduler.lock();
                        Waitable* objects[] = { queue->wake.get() };
                        if (scheduler.wait(scheduler_guard, *SimThread::current(), objects, std::nullopt).kind == WaitOutcome::Kind::Failed)
                            return 0;
                    }
                    for (;;) {
                        CallbackQueue::Call call;
                        {
                            std::lock_guard queue_guard(queue->lock);
                            if (queue->calls.empty())
                                break;
                            call = queue->calls.front();
                            queue->calls.pop_front();
                        }
                        call.function(call.stream, call.message, call.instance, call.first, 0);
                    }
                }
            });
            if (!callback_thread)
                return MMSYSERR_ERROR;
            m_callback_queues.emplace(process.id(), queue);
        }
        auto value = m_next_stream;
        m_next_stream += 4;
        auto* stream = reinterpret_cast<HWAVEOUT>(value);
        auto shared_notify = std::make_shared<const Notify>(std::move(notify));
        auto open = std::make_unique<OpenStream>(OpenStream { stream, process.id(), shared_notify, WaveStream(format), m_mixer.add(format, false), 0xFFFFFFFF, std::nullopt, std::nullopt, 0 });
        m_streams.emplace(value, std::move(open));
        update_gains_locked();
        deliveries.push_back({ shared_notify, process.id(), stream, WOM_OPEN, 0 });
        *handle = stream;
    }
    deliver(deliveries);
    return MMSYSERR_NOERROR;
}

MMRESULT SoundDevice::close_stream(HWAVEOUT handle)
{
    Deliveries deliveries;
    {
        std::lock_guard guard(m_lock);
        auto* open = find_locked(handle);
        if (!open)
            return MMSYSERR_INVALHANDLE;
        if (open->stream.has_queued())
            return WAVERR_STILLPLAYING;
        deliveries.push_back({ open->notify, open->process, handle, WOM_CLOSE, 0 });
        close_locked(*open);
    }
    deliver(deliveries);
    return MMSYSERR_NOERROR;
}

void SoundDevice::close_locked(OpenStream& open)
{
    if (open.stream.running())
        stop_play_locked(open);
    if (open.timer)
        m_device.scheduler().cancel(*open.timer);
    m_mixer.remove(open.source);
    m_streams.erase(reinterpret_cast<uintptr_t>(open.handle));
}

MMRESULT SoundDevice::prepare_header(HWAVEOUT handle, WAVEHDR* header, bool prepare)
{
    std::lock_guard guard(m_lock);
    auto* open = find_locked(handle);
    if (!open)
        return MMSYSERR_INVALHANDLE;
    if (prepare) {
        header->dwFlags |= WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }
    if (open->stream.is_queued(header))
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT SoundDevice::write(HWAVEOUT handle, WAVEHDR* header)
{
    {
        std::lock_guard guard(m_lock);
        auto* open = find_locked(handle);
        if (!open)
            return MMSYSERR_INVALHANDLE;
        if (!(header->dwFlags & WHDR_PREPARED))
            return WAVERR_UNPREPARED;
        if (open->stream.is_queued(header))
            return WAVERR_STILLPLAYING;
        if (!header->lpData && header->dwBufferLength)
            return MMSYSERR_INVALPARAM;
        render_locked();
        // The mixer plays its own copy: the program may reuse the buffer once it is done, which
        // can be before the mix has reached its last samples.
        auto data = reinterpret_cast<const uint8_t*>(header->lpData);
        auto copy = std::make_shared<const std::vector<uint8_t>>(data, data + header->dwBufferLength);
        m_mixer.append(open->source, copy, 0, copy->size());
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        if (open->stream.write(header, m_device.clock().now_ms()))
            start_play_locked(*open);
        schedule_locked(*open);
    }
    deliver_output();
    return MMSYSERR_NOERROR;
}

MMRESULT SoundDevice::reset(HWAVEOUT handle)
{
    Deliveries deliveries;
    {
        std::lock_guard guard(m_lock);
        auto* open = find_locked(handle);
        if (!open)
            return MMSYSERR_INVALHANDLE;
        render_locked();
        if (open->stream.running())
            stop_play_locked(*open);
        if (open->timer)
            m_device.scheduler().cancel(*open->timer);
        open->timer.reset();
        m_mixer.clear(open->source);
        for (auto* header : open->stream.reset()) {
            header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            deliveries.push_back({ open->notify, open->process, handle, WOM_DONE, reinterpret_cast<DWORD_PTR>(header) });
        }
    }
    deliver_output();
    deliver(deliveries);
    return MMSYSERR_NOERROR;
}

MMRESULT SoundDevice::pause(HWAVEOUT handle, bool pause)
{
    {
        std::lock_guard guard(m_lock);
        auto* open = find_locked(handle);
        if (!open)
            return MMSYSERR_INVALHANDLE;
        render_locked();
        uint64_t now = m_device.clock().now_ms();
        if (pause && open->stream.pause(now)) {
            stop_play_locked(*open);
            if (open->timer)
                m_device.scheduler().cancel(*open->timer);
            open->timer.reset();
        } else if (!pause && open->stream.restart(now)) {
            start_play_locked(*open);
            schedule_locked(*open);
        }
    }
    deliver_output();
    return MMSYSERR_NOERROR;
}

MMRESULT SoundDevice::position(HWAVEOUT handle, uint64_t& bytes, PcmFormat& format) const
{
    std::lock_guard guard(m_lock);
    auto* open = find_locked(handle);
    if (!open)
        return MMSYSERR_INVALHANDLE;
    bytes = open->stream.position(m_device.clock().now_ms());
    format = open->stream.format();
    return MMSYSERR_NOERROR;
}

MMRESULT SoundDevice::set_stream_volume(HWAVEOUT handle, DWORD volume)
{
    {
        std::lock_guard guard(m_lock);
        auto* open = find_locked(handle);
        if (!open)
            return MMSYSERR_INVALHANDLE;
        render_locked();
        open->volume = volume;
        update_gains_locked();
    }
    deliver_output();
    return MMSYSERR_NOERROR;
}

MMRESULT SoundDevice::stream_volume(HWAVEOUT handle, DWORD& volume) const
{
    std::lock_guard guard(m_lock);
    auto* open = find_locked(handle);
    if (!open)
        return MMSYSERR_INVALHANDLE;
    volume = open->volume;
    return MMSYSERR_NOERROR;
}

void SoundDevice::start_play_locked(OpenStream& open)
{
    uint64_t now = m_device.clock().now_ms();
    open.play = m_stream_plays.append({ open.handle, open.process, open.stream.format(), now, std::nullopt, 0, open.volume, m_volume });
    open.play_start_position = open.stream.position(now);
    m_mixer.set_playing(open.source, true);
}

void SoundDevice::stop_play_locked(OpenStream& open)
{
    uint64_t now = m_device.clock().now_ms();
    if (open.play && *open.play >= m_stream_plays.first_sequence()) {
        auto& play = m_stream_plays.at(*open.play);
        play.stop_ms = now;
        play.bytes = open.stream.position(now) - open.play_start_position;
    }
    open.play.reset();
    m_mixer.set_playing(open.source, false);
}

void SoundDevice::schedule_locked(OpenStream& open)
{
    if (open.timer || !open.stream.running())
        return;
    HWAVEOUT handle = open.handle;
    open.timer = m_device.scheduler().schedule_at(open.stream.head_done_ms(), guarded([this, handle] { stream_due(handle); }));
}

void SoundDevice::stream_due(HWAVEOUT handle)
{
    Deliveries deliveries;
    {
        std::lock_guard guard(m_lock);
        auto it = m_streams.find(reinterpret_cast<uintptr_t>(handle));
        if (it == m_streams.end())
            return;
        auto& open = *it->second;
        open.timer.reset();
        render_locked();
        auto done = open.stream.take_done(m_device.clock().now_ms());
        for (auto* header : done) {
            header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            deliveries.push_back({ open.notify, open.process, handle, WOM_DONE, reinterpret_cast<DWORD_PTR>(header) });
        }
        if (!open.stream.running() && open.play)
            stop_play_locked(open);
        schedule_locked(open);
    }
    deliver_output();
    deliver(deliveries);
}

void SoundDevice::deliver(Deliveries& deliveries)
{
    for (auto& delivery : deliveries) {
        auto& notify = *delivery.notify;
        switch (notify.kind) {
        case Notify::Kind::None:
            break;
        case Notify::Kind::Event: {
            auto guard = m_device.scheduler().lock();
            notify.event->set();
            break;
        }
        case Notify::Kind::Window:
            PostMessage(notify.window, delivery.message, reinterpret_cast<WPARAM>(delivery.stream), static_cast<LPARAM>(delivery.first));
            break;
        case Notify::Kind::Function: {
            std::shared_ptr<CallbackQueue> queue;
            {
                std::lock_guard guard(m_lock);
                auto it = m_callback_queues.find(delivery.process);
                if (it != m_callback_queues.end())
                    queue = it->second;
            }
            if (!queue)
                break;
            {
                std::lock_guard guard(queue->lock);
                queue->calls.push_back({ notify.function, delivery.stream, delivery.message, notify.instance, delivery.first });
            }
            auto guard = m_device.scheduler().lock();
            queue->wake->set();
            break;
        }
        }
    }
}

void SoundDevice::process_ending(Process& process)
{
    bool owned = false;
    {
        std::lock_guard guard(m_lock);
        owned = m_current && m_current_process == process.id();
        // The process's streams close without a word: nobody is left to hear it.
        std::vector<OpenStream*> owned_streams;
        for (auto& [value, open] : m_streams) {
            if (open->process == process.id())
                owned_streams.push_back(open.get());
        }
        if (!owned_streams.empty())
            render_locked();
        for (auto* open : owned_streams)
            close_locked(*open);
        m_callback_queues.erase(process.id());
    }
    deliver_output();
    if (owned)
        stop();
}

} // namespace kivo
