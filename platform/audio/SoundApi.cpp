#include "SoundApi.h"

#include "Device.h"
#include "Errors.h"
#include "GwesApi.h"
#include "KernelApi.h"
#include "Process.h"
#include "SimThread.h"
#include "SoundDevice.h"
#include "SyncObjects.h"

using namespace kivo;

namespace {

SoundDevice& sound_device()
{
    return Device::current().component<SoundDevice>();
}

// The formats the output plays: linear PCM of 8 or 16 bits, mono or stereo, at any common rate,
// with the block size and byte rate that follow from them.
std::optional<PcmFormat> pcm_format_of(const WAVEFORMATEX& format)
{
    PcmFormat pcm { format.nSamplesPerSec, format.nChannels, format.wBitsPerSample };
    if (format.wFormatTag != WAVE_FORMAT_PCM || (pcm.channels != 1 && pcm.channels != 2) || (pcm.bits != 8 && pcm.bits != 16)
        || pcm.rate < 1000 || pcm.rate > 192000 || format.nBlockAlign != pcm.block_align()
        || format.nAvgBytesPerSec != pcm.bytes_per_second())
        return std::nullopt;
    return pcm;
}

} // namespace

BOOL PlaySound(LPCWSTR sound, HMODULE, DWORD flags)
{
    if (!sound) {
        sound_device().stop();
        return TRUE;
    }
    if ((flags & SND_MEMORY) || ((flags & SND_ALIAS) && !(flags & SND_FILENAME))) {
        // FIXME: sounds from memory, resources or aliases are not played; every program names a file.
        Device::current().write_debug(u"PlaySound: only sound files are played\r\n");
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    bool asynchronous = flags & SND_ASYNC;
    bool loop = flags & SND_LOOP;
    if (loop && !asynchronous) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool played = sound_device().play(sound, asynchronous, loop, flags & SND_NOSTOP);
    SetLastError(played ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return played ? TRUE : FALSE;
}

BOOL sndPlaySound(LPCWSTR sound, UINT flags)
{
    return PlaySound(sound, nullptr, (flags & ~SND_ALIAS) | SND_FILENAME);
}

MMRESULT waveOutOpen(LPHWAVEOUT stream, UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance, DWORD flags)
{
    if (device != 0 && device != WAVE_MAPPER)
        return MMSYSERR_BADDEVICEID;
    if (!format)
        return MMSYSERR_INVALPARAM;
    auto pcm = pcm_format_of(*format);
    if (!pcm)
        return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY)
        return MMSYSERR_NOERROR;
    if (!stream)
        return MMSYSERR_INVALPARAM;
    SoundDevice::Notify notify;
    notify.instance = instance;
    switch (flags & CALLBACK_TYPEMASK) {
    case CALLBACK_NULL:
        break;
    case CALLBACK_EVENT: {
        auto& device = Device::current();
        notify.kind = SoundDevice::Notify::Kind::Event;
        notify.event = device.handles().resolve_as<Event>(reinterpret_cast<HANDLE>(callback), SimThread::current()->process());
        if (!notify.event)
            return MMSYSERR_INVALPARAM;
        break;
    }
    case CALLBACK_FUNCTION:
        notify.kind = SoundDevice::Notify::Kind::Function;
        notify.function = reinterpret_cast<LPWAVECALLBACK>(callback);
        if (!notify.function)
            return MMSYSERR_INVALPARAM;
        break;
    case CALLBACK_WINDOW:
        notify.kind = SoundDevice::Notify::Kind::Window;
        notify.window = reinterpret_cast<HWND>(callback);
        if (!IsWindow(notify.window))
            return MMSYSERR_INVALPARAM;
        break;
    default:
        // FIXME: thread callbacks (CALLBACK_THREAD) are not given; no program asks for them.
        return MMSYSERR_INVALFLAG;
    }
    return sound_device().open_stream(stream, *pcm, std::move(notify));
}

MMRESULT waveOutClose(HWAVEOUT stream)
{
    return sound_device().close_stream(stream);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT stream, LPWAVEHDR header, UINT size)
{
    if (!header || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return sound_device().prepare_header(stream, header, true);
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT stream, LPWAVEHDR header, UINT size)
{
    if (!header || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return sound_device().prepare_header(stream, header, false);
}

MMRESULT waveOutWrite(HWAVEOUT stream, LPWAVEHDR header, UINT size)
{
    if (!header || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return sound_device().write(stream, header);
}

MMRESULT waveOutReset(HWAVEOUT stream)
{
    return sound_device().reset(stream);
}

MMRESULT waveOutPause(HWAVEOUT stream)
{
    return sound_device().pause(stream, true);
}

MMRESULT waveOutRestart(HWAVEOUT stream)
{
    return sound_device().pause(stream, false);
}

MMRESULT waveOutGetPosition(HWAVEOUT stream, LPMMTIME time, UINT size)
{
    if (!time || size < sizeof(MMTIME))
        return MMSYSERR_INVALPARAM;
    uint64_t bytes = 0;
    PcmFormat format;
    if (MMRESULT result = sound_device().position(stream, bytes, format))
        return result;
    // The counters are 32 bits wide and wrap, as the device's do.
    switch (time->wType) {
    case TIME_MS:
        time->u.ms = static_cast<DWORD>(bytes * 1000 / format.bytes_per_second());
        break;
    case TIME_SAMPLES:
        time->u.sample = static_cast<DWORD>(bytes / format.block_align());
        break;
    default:
        time->wType = TIME_BYTES;
        time->u.cb = static_cast<DWORD>(bytes);
        break;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT stream, DWORD volume)
{
    if (!stream) {
        sound_device().set_volume(volume);
        return MMSYSERR_NOERROR;
    }
    return sound_device().set_stream_volume(stream, volume);
}

MMRESULT waveOutGetVolume(HWAVEOUT stream, LPDWORD volume)
{
    if (!volume)
        return MMSYSERR_INVALPARAM;
    if (!stream) {
        *volume = sound_device().volume();
        return MMSYSERR_NOERROR;
    }
    return sound_device().stream_volume(stream, *volume);
}

MMRESULT waveOutMessage(HWAVEOUT stream, UINT message, DWORD_PTR first, DWORD_PTR second)
{
    return sound_device().record_message(stream, message, first, second);
}
