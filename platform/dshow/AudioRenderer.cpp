#include "AudioRenderer.h"

#include "ComClassTable.h"
#include "Device.h"
#include "FilterCatalog.h"
#include "ThreadTermination.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <span>
#include <string>

namespace kivo {

namespace {

// How far ahead of its time a buffer that follows on is written: enough that the stream still
// has sound queued when the renderer's thread is late by a scheduling slice.
constexpr REFERENCE_TIME queue_ahead = 200 * 10'000;
// A sample that starts within this of where the written sound ends follows on: the stream's
// clock counts whole milliseconds.
constexpr REFERENCE_TIME follow_on_tolerance = 10'000;

// Scales the samples by an attenuation in hundredths of a decibel. Full volume leaves them as they
// are and silence makes them all zero, exactly.
void attenuate(std::span<int16_t> samples, long volume)
{
    if (volume >= AM_VOLUME_FULL)
        return;
    if (volume <= AM_VOLUME_SILENCE) {
        std::fill(samples.begin(), samples.end(), int16_t { 0 });
        return;
    }
    double gain = std::pow(10.0, static_cast<double>(volume) / 2000.0);
    for (int16_t& sample : samples)
        sample = static_cast<int16_t>(std::lround(sample * gain));
}

std::array<int32_t, 2> peaks_of(std::span<const int16_t> samples, uint16_t channels)
{
    std::array<int32_t, 2> peaks {};
    for (size_t i = 0; i < samples.size(); ++i) {
        int32_t& peak = peaks[i % channels];
        peak = std::max(peak, std::abs(static_cast<int32_t>(samples[i])));
    }
    return peaks;
}

void write_debug(Device& device, const std::string& line)
{
    device.write_debug(std::u16string(line.begin(), line.end()) + u"\r\n");
}

} // namespace

AudioRenderer::AudioRenderer()
    : RendererFilter(CLSID_AudioRender, u"Audio Renderer", u"Audio Input pin (rendered)")
    , m_clock(ComRef<IReferenceClock>::adopt(new DeviceReferenceClock(device())))
{
    m_blocks.follow(device().trace_limit());
}

AudioRenderer::~AudioRenderer()
{
    // Released while streaming (outside a graph): the thread ends and the stream gives its
    // buffers back before they go.
    if (state() != State_Stopped) {
        DeferredTermination deferred; // a destructor must not throw; a kill lets the wait fail
        Stop();
    }
}

HRESULT AudioRenderer::QueryInterface(REFIID iid, void** object)
{
    if (object && iid == IID_IReferenceClock) {
        *object = m_clock.get();
        m_clock->AddRef();
        return S_OK;
    }
    return Filter::QueryInterface(iid, object);
}

void* AudioRenderer::find_interface(REFIID iid)
{
    if (iid == IID_IBasicAudio)
        return static_cast<IBasicAudio*>(this);
    return RendererFilter::find_interface(iid);
}

HRESULT AudioRenderer::put_Volume(long volume)
{
    if (volume < AM_VOLUME_SILENCE || volume > AM_VOLUME_FULL)
        return E_INVALIDARG;
    m_volume.store(volume, std::memory_order_release);
    return S_OK;
}

HRESULT AudioRenderer::get_Volume(long* volume)
{
    if (!volume)
        return E_POINTER;
    *volume = m_volume.load(std::memory_order_acquire);
    return S_OK;
}

std::vector<AudioRenderer::Block> AudioRenderer::blocks() const
{
    std::lock_guard guard(m_blocks_lock);
    return m_blocks.all();
}

void AudioRenderer::record(Block block)
{
    std::lock_guard guard(m_blocks_lock);
    m_blocks.append(block);
}

HRESULT AudioRenderer::check_input_type(const MediaType& type)
{
    if (type.major != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM)
        return S_FALSE;
    const auto* wave = type.format_as<WAVEFORMATEX>(FORMAT_WaveFormatEx);
    if (!wave || wave->wFormatTag != WAVE_FORMAT_PCM || wave->wBitsPerSample != 16 || (wave->nChannels != 1 && wave->nChannels != 2))
        return S_FALSE;
    // The rate and the block layout are the wave-out's to accept.
    if (waveOutOpen(nullptr, WAVE_MAPPER, wave, 0, 0, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR)
        return S_FALSE;
    return S_OK;
}

HRESULT AudioRenderer::on_input_connected(const MediaType& type)
{
    std::lock_guard guard(m_stream_lock);
    m_format = *type.format_as<WAVEFORMATEX>(FORMAT_WaveFormatEx);
    m_format.cbSize = 0;
    return S_OK;
}

REFERENCE_TIME AudioRenderer::lead_time(const MediaSample& sample) const
{
    REFERENCE_TIME written_until = m_written_until.load(std::memory_order_acquire);
    if (written_until == nothing_written || sample.start > written_until + follow_on_tolerance)
        return 0;
    return queue_ahead;
}

void AudioRenderer::present(const MediaSample& sample)
{
    std::lock_guard guard(m_stream_lock);
    free_done_buffers_locked();
    if (!m_stream)
        return;
    uint32_t frame_bytes = m_format.nBlockAlign;
    uint32_t frames = static_cast<uint32_t>(sample.data.size() / frame_bytes);
    if (frames == 0)
        return;

    auto buffer = std::make_unique<Buffer>();
    buffer->samples.resize(static_cast<size_t>(frames) * m_format.nChannels);
    std::memcpy(buffer->samples.data(), sample.data.data(), static_cast<size_t>(frames) * frame_bytes);
    long volume = m_volume.load(std::memory_order_acquire);
    attenuate(buffer->samples, volume);

    WAVEHDR& header = buffer->header;
    header.lpData = reinterpret_cast<LPSTR>(buffer->samples.data());
    header.dwBufferLength = frames * frame_bytes;
    MMRESULT result = waveOutPrepareHeader(m_stream, &header, sizeof(WAVEHDR));
    if (result == MMSYSERR_NOERROR) {
        result = waveOutWrite(m_stream, &header, sizeof(WAVEHDR));
        if (result != MMSYSERR_NOERROR)
            waveOutUnprepareHeader(m_stream, &header, sizeof(WAVEHDR));
    }
    if (result != MMSYSERR_NOERROR) {
        write_debug(device(), "Audio Renderer: a buffer was not written (" + std::to_string(result) + ")");
        return;
    }

    REFERENCE_TIME duration = static_cast<REFERENCE_TIME>(frames) * UNITS / m_format.nSamplesPerSec;
    REFERENCE_TIME written_until = m_written_until.load(std::memory_order_acquire);
    if (sample.has_time)
        m_written_until.store(sample.start + duration, std::memory_order_release);
    else if (written_until != nothing_written)
        m_written_until.store(written_until + duration, std::memory_order_release);

    record({ device().clock().now_ms(), sample.has_time ? sample.start : 0, m_format.nSamplesPerSec, m_format.nChannels, frames,
        peaks_of(buffer->samples, m_format.nChannels), volume });
    m_buffers.push_back(std::move(buffer));
    m_buffers_held.store(m_buffers.size(), std::memory_order_release);
}

void AudioRenderer::free_done_buffers_locked()
{
    // The stream gives buffers back in the order they were written, and refuses to unprepare one
    // it still plays. A stream that went with its process holds none any more.
    while (!m_buffers.empty()) {
        if (waveOutUnprepareHeader(m_stream, &m_buffers.front()->header, sizeof(WAVEHDR)) == WAVERR_STILLPLAYING)
            break;
        m_buffers.pop_front();
    }
    m_buffers_held.store(m_buffers.size(), std::memory_order_release);
}

void AudioRenderer::reset_stream_locked()
{
    if (m_stream)
        waveOutReset(m_stream);
    free_done_buffers_locked();
    m_written_until.store(nothing_written, std::memory_order_release);
}

void AudioRenderer::on_renderer_paused()
{
    bool failed = false;
    MMRESULT result = MMSYSERR_NOERROR;
    {
        std::lock_guard guard(m_stream_lock);
        if (!m_streaming) {
            m_streaming = true;
            m_written_until.store(nothing_written, std::memory_order_release);
            result = waveOutOpen(&m_stream, WAVE_MAPPER, &m_format, 0, 0, CALLBACK_NULL);
            failed = result != MMSYSERR_NOERROR;
            if (failed)
                m_stream = nullptr;
        }
        if (m_stream)
            waveOutPause(m_stream);
    }
    if (failed) {
        write_debug(device(), "Audio Renderer: the wave output did not open (" + std::to_string(result) + ")");
        notify(EC_ERRORABORT, E_FAIL, 0);
    }
}

void AudioRenderer::on_renderer_running()
{
    std::lock_guard guard(m_stream_lock);
    if (m_stream)
        waveOutRestart(m_stream);
}

void AudioRenderer::on_renderer_flushed()
{
    std::lock_guard guard(m_stream_lock);
    reset_stream_locked();
}

void AudioRenderer::on_renderer_stopped()
{
    std::lock_guard guard(m_stream_lock);
    reset_stream_locked();
    m_streaming = false;
    if (!m_stream)
        return;
    MMRESULT result = waveOutClose(m_stream);
    if (result != MMSYSERR_NOERROR)
        write_debug(device(), "Audio Renderer: the wave output did not close (" + std::to_string(result) + ")");
    m_stream = nullptr;
}

} // namespace kivo
