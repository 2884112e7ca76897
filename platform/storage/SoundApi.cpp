#include "SoundApi.h"

#include "Device.h"
#include "Errors.h"
#include "KernelApi.h"
#include "SoundDevice.h"

using namespace kivo;

namespace {

SoundDevice& sound_device()
{
    return Device::current().component<SoundDevice>();
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

MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume)
{
    if (device)
        return MMSYSERR_BADDEVICEID;
    sound_device().set_volume(volume);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT device, LPDWORD volume)
{
    if (device)
        return MMSYSERR_BADDEVICEID;
    if (!volume)
        return MMSYSERR_INVALPARAM;
    *volume = sound_device().volume();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutMessage(HWAVEOUT device, UINT message, DWORD_PTR first, DWORD_PTR second)
{
    if (device)
        return MMSYSERR_BADDEVICEID;
    sound_device().record_message(message, first, second);
    return MMSYSERR_NOERROR;
}
