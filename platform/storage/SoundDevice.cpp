#include "SoundDevice.h"

#include "Device.h"
#include "Process.h"
#include "SimThread.h"
#include "SyncObjects.h"
#include "Volumes.h"

#include <fstream>
#include <iterator>

namespace kivo {

namespace {

// The samples of a sound file, or nothing when the file is missing or not a WAVE file.
std::optional<WaveFile> read_wave(const std::filesystem::path& host)
{
    std::ifstream in(host, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return WaveFile::parse(bytes);
}

} // namespace

SoundDevice::SoundDevice(Device& device)
    : m_device(device)
{
}

SoundDevice::~SoundDevice()
{
    if (m_timer)
        m_device.scheduler().cancel(*m_timer);
}

DWORD SoundDevice::volume() const
{
    std::lock_guard guard(m_lock);
    return m_volume;
}

void SoundDevice::set_volume(DWORD volume)
{
    std::lock_guard guard(m_lock);
    m_volume = volume;
    m_volume_changes.emplace_back(m_device.clock().now_ms(), volume);
}

std::vector<std::pair<uint64_t, DWORD>> SoundDevice::volume_changes() const
{
    std::lock_guard guard(m_lock);
    return m_volume_changes;
}

std::vector<SoundDevice::Sound> SoundDevice::sounds() const
{
    std::lock_guard guard(m_lock);
    return m_sounds;
}

std::vector<SoundDevice::Message> SoundDevice::messages() const
{
    std::lock_guard guard(m_lock);
    return m_messages;
}

bool SoundDevice::playing() const
{
    std::lock_guard guard(m_lock);
    return m_current.has_value();
}

void SoundDevice::set_output(Output output)
{
    std::lock_guard guard(m_lock);
    m_output = std::move(output);
}

void SoundDevice::emit(const OutputEvent& event)
{
    Output output;
    {
        std::lock_guard guard(m_lock);
        output = m_output;
    }
    if (output)
        output(event);
}

void SoundDevice::record_message(UINT message, DWORD_PTR first, DWORD_PTR second)
{
    std::lock_guard guard(m_lock);
    m_messages.push_back({ message, first, second, m_device.clock().now_ms() });
}

bool SoundDevice::play(std::u16string_view file, bool asynchronous, bool loop, bool no_stop)
{
    if (no_stop && playing())
        return false;
    stop();
    uint64_t now = m_device.clock().now_ms();
    DWORD error = 0;
    auto resolved = m_device.component<Volumes>().resolve(file, error);
    std::optional<WaveFile> wave;
    if (resolved && resolved->exists && !resolved->is_directory)
        wave = read_wave(resolved->host);
    Sound sound { std::u16string(file), now, std::nullopt, volume(), loop, !asynchronous, wave.has_value() };
    if (!wave) {
        sound.stop_ms = now;
        std::lock_guard guard(m_lock);
        m_sounds.push_back(sound);
        return false;
    }
    auto finished = std::make_shared<Event>(true, false);
    size_t index = 0;
    {
        std::lock_guard guard(m_lock);
        index = m_sounds.size();
        m_sounds.push_back(sound);
        m_current = index;
        auto* thread = SimThread::current();
        m_current_process = thread ? thread->process().id() : 0;
        m_finished = finished;
    }
    emit({ OutputEvent::Kind::Start, sound, resolved->host, wave });
    uint64_t end = now + wave->duration_ms();
    if (asynchronous) {
        if (!loop) {
            auto timer = m_device.scheduler().schedule_at(end, [this, index] { finish(index); });
            std::lock_guard guard(m_lock);
            m_timer = timer;
        }
        return true;
    }
    auto& scheduler = m_device.scheduler();
    {
        auto guard = scheduler.lock();
        Waitable* objects[] = { finished.get() };
        scheduler.wait(guard, *SimThread::current(), objects, end);
    }
    finish(index);
    return true;
}

void SoundDevice::finish(size_t index)
{
    Sound ended;
    std::shared_ptr<Event> finished;
    {
        std::lock_guard guard(m_lock);
        if (m_current != index)
            return;
        m_sounds[index].stop_ms = m_device.clock().now_ms();
        ended = m_sounds[index];
        m_current.reset();
        m_timer.reset();
        finished = std::move(m_finished);
    }
    if (finished) {
        auto guard = m_device.scheduler().lock();
        finished->set();
    }
    emit({ OutputEvent::Kind::Stop, ended, {}, std::nullopt });
}

void SoundDevice::stop()
{
    std::optional<size_t> current;
    std::optional<Scheduler::TimerId> timer;
    {
        std::lock_guard guard(m_lock);
        current = m_current;
        timer = m_timer;
    }
    if (timer)
        m_device.scheduler().cancel(*timer);
    if (current)
        finish(*current);
}

void SoundDevice::process_ending(Process& process)
{
    bool owned = false;
    {
        std::lock_guard guard(m_lock);
        owned = m_current && m_current_process == process.id();
    }
    if (owned)
        stop();
}

} // namespace kivo
