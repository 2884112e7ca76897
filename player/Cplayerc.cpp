#include "Cplayerc.h"

#include "MediaInformation.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// The wave output volume of each level, the same 16-bit value for the left (low half) and the
// right channel (high half).
constexpr DWORD both_channels(WORD value) { return DWORD(value) << 16 | value; }
constexpr DWORD volume_table[] = {
    both_channels(0x0000),
    both_channels(0x01FF),
    both_channels(0x02D9),
    both_channels(0x040A),
    both_channels(0x05B7),
    both_channels(0x0815),
    both_channels(0x0B6F),
    both_channels(0x1024),
    both_channels(0x16D0),
    both_channels(0x203A),
    both_channels(0x2892),
    both_channels(0x3314),
    both_channels(0x404D),
    both_channels(0x4826),
    both_channels(0x50F4),
    both_channels(0x5AD5),
    both_channels(0x65EA),
    both_channels(0x7259),
    both_channels(0x804D),
    both_channels(0x8FF5),
    both_channels(0xA186),
    both_channels(0xB53B),
    both_channels(0xCB59),
    both_channels(0xE429),
    both_channels(0xF1AD),
    both_channels(0xFFFF),
};
constexpr int loudest_level = int(std::size(volume_table)) - 1;

constexpr DWORD key_frame_seek = AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame;
constexpr LONGLONG one_second = 10'000'000;
// How far SetPos moves on when the key frame lies too far before its target.
constexpr LONGLONG past_key_frame_gap = 3 * one_second;

constexpr VrenderModeFlag full_screen_mode { 1, 0, 0, 480, 272, { 0, 0, 0, 0, 0 } };

template<typename Interface>
void release(Interface*& pointer)
{
    if (pointer)
        pointer->Release();
    pointer = nullptr;
}

template<typename Interface>
HRESULT query(IUnknown* object, REFIID iid, Interface*& pointer)
{
    HRESULT result = object->QueryInterface(iid, reinterpret_cast<void**>(&pointer));
    if (FAILED(result) || !pointer) {
        pointer = nullptr;
        return FAILED(result) ? result : E_FAIL;
    }
    return S_OK;
}

// Whole seconds of a time in 100-ns units, as the players show them: through single precision
// (a time a unit short of a second may round up to it), then whole milliseconds.
int whole_seconds(LONGLONG time)
{
    double milliseconds = double(float(time)) * 0.0001;
    return int(uint32_t(int64_t(milliseconds)) / 1000);
}

} // namespace

Cplayerc::Cplayerc()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

Cplayerc::Cplayerc(HWND hNotifyWnd)
    : m_hNotifyWnd(hNotifyWnd)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

Cplayerc::~Cplayerc()
{
    deleteFilters();
    // deleteFilters keeps everything when the graph cannot list its filters; the graph's own last
    // release takes them out.
    release(m_pVideoWindow);
    release(m_pMediaControl);
    release(m_pMediaSeeking);
    release(m_pMediaEvent);
    release(m_pGraph);
    CoUninitialize();
}

void Cplayerc::SetNotify(HWND hWnd, long lMsg)
{
    m_hNotifyWnd = hWnd;
    m_lNotifyMsg = lMsg;
}

HRESULT Cplayerc::create_graph(GraphKind kind)
{
    DWORD context = kind == GraphKind::Audio ? CLSCTX_INPROC : CLSCTX_INPROC_SERVER;
    HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, context, IID_IGraphBuilder, reinterpret_cast<void**>(&m_pGraph));
    if (FAILED(result) || !m_pGraph) {
        m_pGraph = nullptr;
        return FAILED(result) ? result : E_FAIL;
    }
    result = query(m_pGraph, IID_IMediaControl, m_pMediaControl);
    if (SUCCEEDED(result))
        result = query(m_pMediaControl, IID_IMediaSeeking, m_pMediaSeeking);
    if (SUCCEEDED(result) && kind != GraphKind::Audio)
        result = query(m_pGraph, IID_IVideoWindow, m_pVideoWindow);
    if (SUCCEEDED(result) && kind != GraphKind::VideoNoEvents)
        result = query(m_pMediaControl, IID_IMediaEventEx, m_pMediaEvent);
    if (FAILED(result)) {
        release(m_pVideoWindow);
        release(m_pMediaControl);
        release(m_pMediaSeeking);
        release(m_pMediaEvent);
        release(m_pGraph);
    }
    return result;
}

void Cplayerc::notify_owner()
{
    m_pMediaEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(m_hNotifyWnd), m_lNotifyMsg, 0);
}

void Cplayerc::set_up_video(const VrenderModeFlag& mode)
{
    IBaseFilter* renderer = nullptr;
    if (SUCCEEDED(m_pGraph->FindFilterByName(u"ZEZ Video Renderer", &renderer)) && renderer) {
        IVideoRenderMode* render_mode = nullptr;
        if (SUCCEEDED(query(renderer, IID_IVideoRenderMode, render_mode))) {
            render_mode->SetRenderMode(mode);
            render_mode->Release();
        }
    }
    m_pVideoWindow->put_WindowStyle(long(WS_CHILD | WS_CLIPSIBLINGS));
    release(renderer);
}

void Cplayerc::read_duration()
{
    m_llDuration = 0;
    m_pMediaSeeking->GetDuration(&m_llDuration);
}

int Cplayerc::LoadFile(LPCWSTR path)
{
    OutputDebugString(u"--LoadFile\r\n");
    deleteFilters();
    if (FAILED(create_graph(GraphKind::Video)))
        return -1;
    notify_owner();
    HRESULT rendered = m_pGraph->RenderFile(path, nullptr);
    set_up_video(full_screen_mode);
    read_duration();
    // A partial render (a stream no decoder takes) is a failure too: the film would play without
    // its picture or its sound.
    return rendered == S_OK ? 0 : -1;
}

int Cplayerc::LoadFile(LPCWSTR path, RECT rect)
{
    OutputDebugString(u"--LoadFile\r\n");
    deleteFilters();
    if (FAILED(create_graph(GraphKind::VideoNoEvents)))
        return -1;
    m_pGraph->RenderFile(path, nullptr);
    VrenderModeFlag mode = full_screen_mode;
    mode.left = DWORD(rect.left);
    mode.top = DWORD(rect.top);
    mode.width = DWORD(rect.right - rect.left);
    mode.height = DWORD(rect.bottom - rect.top);
    set_up_video(mode);
    read_duration();
    return 0;
}

long Cplayerc::mp3LoadFile(LPCWSTR path, _tag_AUDIO_INFO* info)
{
    mp3Release();
    // The title that stood in for missing tags is read again before the song plays.
    if (m_bNameAsTitle) {
        GetAudioInfo(info);
        m_bNameAsTitle = 0;
    }
    HRESULT created = create_graph(GraphKind::Audio);
    if (FAILED(created))
        return created;
    notify_owner();
    HRESULT rendered = m_pGraph->RenderFile(path, nullptr);
    read_duration();
    return rendered;
}

int Cplayerc::mp3Release()
{
    if (m_pMediaEvent)
        m_pMediaEvent->SetNotifyWindow(0, 0, 0);
    release(m_pMediaEvent);
    release(m_pMediaSeeking);
    release(m_pMediaControl);
    release(m_pGraph);
    return 0;
}

void Cplayerc::deleteFilters()
{
    if (!m_pGraph)
        return;
    IEnumFilters* enumerator = nullptr;
    if (FAILED(m_pGraph->EnumFilters(&enumerator)) || !enumerator)
        return;
    ULONG count = 0;
    while (enumerator->Skip(1) == S_OK)
        ++count;
    enumerator->Reset();
    // Taken out of the enumeration first: removing a filter changes what it lists.
    std::vector<IBaseFilter*> filters;
    filters.reserve(count);
    for (ULONG i = 0; i < count; ++i) {
        IBaseFilter* filter = nullptr;
        ULONG fetched = 0;
        if (enumerator->Next(1, &filter, &fetched) != S_OK || !filter)
            break;
        filters.push_back(filter);
    }
    enumerator->Release();
    for (IBaseFilter* filter : filters) {
        m_pGraph->RemoveFilter(filter);
        filter->Release();
    }
    release(m_pVideoWindow);
    release(m_pMediaControl);
    release(m_pMediaSeeking);
    release(m_pMediaEvent);
    release(m_pGraph);
}

int Cplayerc::Play()
{
    OutputDebugString(u"--Run\r\n");
    if (!m_pMediaControl || FAILED(m_pMediaControl->Run()))
        return -1;
    return 0;
}

int Cplayerc::Pause()
{
    OutputDebugString(u"--Pause\r\n");
    if (m_pMediaControl)
        m_pMediaControl->Pause();
    return 0;
}

int Cplayerc::Stop()
{
    OutputDebugString(u"--Stop\r\n");
    if (m_pMediaControl && m_pMediaSeeking) {
        m_pMediaControl->Stop();
        seek(0, key_frame_seek);
    }
    OutputDebugString(u"Stop ok\r\n");
    return 0;
}

int Cplayerc::Getsts()
{
    OAFilterState state = State_Stopped;
    if (m_pMediaControl)
        m_pMediaControl->GetState(1000, &state);
    return int(state);
}

int Cplayerc::GetCurTime(int* seconds)
{
    if (Getsts() == State_Stopped) {
        *seconds = 0;
        return 0;
    }
    LONGLONG position = 0;
    if (!m_pMediaSeeking || FAILED(m_pMediaSeeking->GetCurrentPosition(&position)))
        return -1;
    *seconds = whole_seconds(position);
    return 0;
}

int Cplayerc::GetTolTime(int* seconds)
{
    if (!m_pMediaSeeking)
        return -1;
    *seconds = whole_seconds(m_llDuration);
    return 0;
}

int Cplayerc::GetTimPos(LONGLONG* position)
{
    *position = 0;
    if (!m_pMediaSeeking || FAILED(m_pMediaSeeking->GetCurrentPosition(position)))
        return -1;
    return 0;
}

int Cplayerc::SetTimPos(LONGLONG position)
{
    if (!m_pMediaControl || !m_pMediaSeeking)
        return -1;
    m_pMediaControl->Pause();
    return SUCCEEDED(seek(position, AM_SEEKING_AbsolutePositioning)) ? 0 : -1;
}

HRESULT Cplayerc::seek(LONGLONG position, DWORD flags)
{
    return m_pMediaSeeking->SetPositions(&position, flags, nullptr, AM_SEEKING_NoPositioning);
}

LONGLONG Cplayerc::per_mille_of_duration(int perMille) const
{
    return LONGLONG(uint64_t(m_llDuration) * uint32_t(perMille)) / 1000;
}

int Cplayerc::mp3SetPos(int perMille)
{
    if (!m_pMediaControl || !m_pMediaSeeking)
        return -1;
    m_pMediaControl->Pause();
    return SUCCEEDED(seek(per_mille_of_duration(perMille), key_frame_seek)) ? 0 : -1;
}

int Cplayerc::SetPos(int perMille)
{
    if (!m_pMediaControl || !m_pMediaSeeking)
        return -1;
    m_pMediaControl->Pause();
    LONGLONG target = per_mille_of_duration(perMille);
    if (ReviseTim(&target) != 0)
        return -1;
    return SUCCEEDED(seek(target, key_frame_seek)) ? 0 : -1;
}

int Cplayerc::ReviseTim(LONGLONG* target)
{
    if (!m_pMediaSeeking)
        return -1;
    LONGLONG requested = *target;
    seek(requested, key_frame_seek);
    if (FAILED(m_pMediaSeeking->GetCurrentPosition(target)))
        return -1;
    if (*target > requested || requested - *target <= one_second)
        return 0;
    // The key frame lies too far back: the next one is likelier after the target.
    *target = requested + past_key_frame_gap;
    if (*target > m_llDuration)
        return -1;
    seek(*target, key_frame_seek);
    return 0;
}

int Cplayerc::GetEvent(long* event)
{
    if (!m_pMediaEvent)
        return 0;
    long code = 0;
    LONG_PTR first = 0;
    LONG_PTR second = 0;
    if (FAILED(m_pMediaEvent->GetEvent(&code, &first, &second, 0))) {
        m_pMediaEvent->FreeEventParams(code, first, second);
        return 0;
    }
    switch (code) {
    case EC_COMPLETE:
        *event = PLAYER_COMPLETE;
        break;
    case EC_ERRORABORT:
        *event = PLAYER_ERROR_ABORT;
        break;
    case EC_USERABORT:
        *event = PLAYER_USER_ABORT;
        break;
    case EC_VENDOR_PLAYER:
        *event = PLAYER_VENDOR_EVENT;
        break;
    default:
        break;
    }
    m_pMediaEvent->FreeEventParams(code, first, second);
    return 1;
}

int Cplayerc::SetVolume(int level)
{
    waveOutSetVolume(nullptr, volume_table[std::clamp(level, 0, loudest_level)]);
    return 0;
}

// The media-information calls: the player lends them its title flag and its loaded duration.

int Cplayerc::GetAudioInfo(_tag_AUDIO_INFO* info)
{
    return media_information::GetAudioInfo(info, m_bNameAsTitle);
}

int Cplayerc::GetAudioInfo1(_tag_AUDIO_INFO* info)
{
    return media_information::GetAudioInfo1(info, m_bNameAsTitle);
}

int Cplayerc::GetVideoInfo_2(_tag_VIDEO_INFO* info)
{
    int seconds = 0;
    std::optional<int> loaded;
    if (GetTolTime(&seconds) == 0)
        loaded = seconds;
    return media_information::GetVideoInfo_2(info, loaded);
}

int Cplayerc::GetVideoInfo_1(_tag_VIDEO_INFO* info)
{
    return media_information::GetVideoInfo_1(info);
}

int Cplayerc::GetPhotoInfo(_tag_PHOTO_INFO* info, LPCWSTR path)
{
    return media_information::GetPhotoInfo(info, path);
}

int Cplayerc::GetFileNameNoEx(LPWSTR text)
{
    return media_information::GetFileNameNoEx(text);
}
