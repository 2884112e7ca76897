// Playback control on the built graph: each operation queries its filter's interface, makes one
// call and lets go, and turns the answer into the player's result.

#include "Queried.h"
#include "TsPlayer.h"
#include "program_services.h"

#include <algorithm>
#include <memory>

namespace {

constexpr DWORD result_stopped = 21;
constexpr int graph_stopped = 0, graph_running = 1, graph_paused = 2, graph_indeterminate = 4;
constexpr DWORD property_country = 0, property_lowest_channel = 3, property_highest_channel = 4, property_signal = 5,
                property_frequency = 6;
constexpr DWORD audio_setting_channels = 2;
constexpr BYTE radio_service = 2;

constexpr VrenderModeFlag default_render_mode { 1, 0, 0, 480, 272, { 0, 0, 0, 0, 0 } };

// The message drain the video window had before full screen: one per process.
kivo::ProcessLocal<OAHWND> s_saved_drain;

int succeeded(HRESULT hr) { return hr >= 0 ? 1 : 0; }

} // namespace

// Graph control.

DWORD CTsPlayer::SendMediaCommand(IGraphBuilder* graph, int command)
{
    Queried<IMediaControl> control(graph);
    if (!control)
        return 0;
    switch (command) {
    case 0:
        control->Stop();
        break;
    case 1:
        control->Run();
        break;
    case 2:
        control->Pause();
        break;
    case 3:
        control->StopWhenReady();
        break;
    }
    return 0;
}

int CTsPlayer::GetGraphState()
{
    Queried<IMediaControl> control(m_pGraph);
    OAFilterState state = 0;
    if (!control || FAILED(control->GetState(1000, &state))) {
        Sleep(0);
        return graph_indeterminate;
    }
    switch (state) {
    case State_Stopped:
        return graph_stopped;
    case State_Running:
        return graph_running;
    case State_Paused:
        return graph_paused;
    default:
        return graph_indeterminate;
    }
}

bool CTsPlayer::IsGraphRunning() { return GetGraphState() == graph_running; }
bool CTsPlayer::IsGraphPaused() { return GetGraphState() == graph_paused; }

bool CTsPlayer::IsGraphStopped()
{
    int state = GetGraphState();
    return state == graph_stopped || state == graph_indeterminate;
}

DWORD CTsPlayer::RunGraph()
{
    m_bRunning = 1;
    return SendMediaCommand(m_pGraph, 1);
}

DWORD CTsPlayer::PauseGraph()
{
    m_bRunning = 1;
    return SendMediaCommand(m_pGraph, 2);
}

DWORD CTsPlayer::StopGraph()
{
    if (IsGraphStopped())
        return 0;
    m_bRunning = 0;
    return SendMediaCommand(m_pGraph, 0);
}

DWORD CTsPlayer::Run()
{
    if (IsGraphPaused())
        Pause();
    else
        RunGraph();
    m_dwLastResult = 0;
    return 0;
}

DWORD CTsPlayer::Stop()
{
    if (!IsGraphStopped()) {
        PauseGraph();
        Sleep(50);
        StopGraph();
    }
    if (m_pGraph) {
        if (Queried<IVideoWindow> window(m_pGraph); window) {
            window->put_Visible(OAFALSE);
            window->put_Owner(0);
        }
    }
    // The next run shows nothing until the PIDs are mapped again.
    MapPIDToTuner(1, nullptr, 0);
    m_dwLastResult = 0;
    return 0;
}

DWORD CTsPlayer::Pause()
{
    int state = GetGraphState();
    if (state == graph_stopped || state == graph_indeterminate) {
        m_dwLastResult = result_stopped;
        return result_stopped;
    }
    if (state == graph_running)
        PauseGraph();
    else
        RunGraph();
    m_dwLastResult = 0;
    return 0;
}

DWORD CTsPlayer::GetEventCode(void* record)
{
    Queried<IMediaEventEx> events(m_pGraph);
    if (!events)
        return 0;
    if (!record)
        return 1;
    auto* event = static_cast<TsGraphEvent*>(record);
    event->code = -1;
    long code = -1;
    LONG_PTR first = 0, second = 0;
    HRESULT hr = events->GetEvent(&code, &first, &second, 0);
    if (FAILED(hr))
        return 0;
    event->code = LONG(code);
    event->param1 = LONG(first);
    event->param2 = LONG(second);
    events->FreeEventParams(code, first, second);
    return 1;
}

// Tuning and the tuner's properties.

int CTsPlayer::SetChannel(void* channel, int flag)
{
    Queried<ITsTuner> tuner(m_pTuner);
    if (!tuner || !channel)
        return 0;
    return succeeded(tuner->SetChannel(*static_cast<DWORD*>(channel), DWORD(flag)));
}

int CTsPlayer::ChannelSelect(const WCHAR* name)
{
    Queried<ITsTuner> tuner(m_pTuner);
    return tuner ? succeeded(tuner->SelectChannelByName(name)) : 0;
}

int CTsPlayer::SetCountryCode(DWORD code)
{
    Queried<ITsTunerProperty> property(m_pTuner);
    return property ? succeeded(property->SetProperty(property_country, &code)) : 0;
}

int CTsPlayer::GetMinChannel(DWORD* value)
{
    Queried<ITsTunerProperty> property(m_pTuner);
    return property ? succeeded(property->GetProperty(property_lowest_channel, value)) : 0;
}

int CTsPlayer::GetMaxChannel(DWORD* value)
{
    Queried<ITsTunerProperty> property(m_pTuner);
    return property ? succeeded(property->GetProperty(property_highest_channel, value)) : 0;
}

int CTsPlayer::GetRFFreq(DWORD* value)
{
    Queried<ITsTunerProperty> property(m_pTuner);
    return property ? succeeded(property->GetProperty(property_frequency, value)) : 0;
}

int CTsPlayer::GetSignalStrength(DWORD* values)
{
    Queried<ITsTunerProperty> property(m_pTuner);
    return property && property->GetProperty(property_signal, values) == S_OK ? 1 : 0;
}

// PID filtering.

int CTsPlayer::MapPIDToTuner(int enable, USHORT* pids, int count)
{
    Queried<ITsTuner> tuner(m_pTuner);
    return tuner ? succeeded(tuner->SetPidFilter(DWORD(enable), pids, DWORD(count))) : 0;
}

int CTsPlayer::MapPIDToDemuxer(const WCHAR* pinName, ULONG* pids, int count, MEDIA_SAMPLE_CONTENT content, int unmapFirst)
{
    IPin* pin = nullptr;
    if (FindPin(m_pDemux, PINDIR_OUTPUT, pinName, &pin) < 0)
        return 0;
    std::unique_ptr<IPin, void (*)(IPin*)> held(pin, [](IPin* p) { p->Release(); });
    Queried<IMPEG2PIDMap> map(pin);
    if (!map)
        return 0;
    HRESULT hr = S_OK;
    if (unmapFirst) {
        IEnumPIDMap* maps = nullptr;
        hr = map->EnumPIDMap(&maps);
        if (hr >= 0 && maps) {
            maps->Reset();
            PID_MAP entry;
            ULONG fetched = 0;
            while (maps->Next(1, &entry, &fetched) == S_OK && fetched == 1) {
                ULONG mapped = entry.ulPID;
                hr = map->UnmapPID(1, &mapped);
                if (hr < 0)
                    break;
            }
            maps->Release();
        }
        Sleep(10);
    }
    if (hr >= 0 && pids && count > 0)
        hr = map->MapPID(ULONG(count), pids, content);
    return succeeded(hr);
}

int CTsPlayer::UnmapPIDToDemuxer(const WCHAR* pinName, ULONG* pids, int count)
{
    IPin* pin = nullptr;
    if (FindPin(m_pDemux, PINDIR_OUTPUT, pinName, &pin) < 0)
        return 0;
    std::unique_ptr<IPin, void (*)(IPin*)> held(pin, [](IPin* p) { p->Release(); });
    Queried<IMPEG2PIDMap> map(pin);
    IEnumPIDMap* maps = nullptr;
    if (!map || FAILED(map->EnumPIDMap(&maps)) || !maps)
        return 0;
    int unmapped = 0;
    HRESULT hr = S_OK;
    maps->Reset();
    PID_MAP entry;
    ULONG fetched = 0;
    while (hr >= 0 && maps->Next(1, &entry, &fetched) == S_OK && fetched == 1) {
        if (!pids || std::find(pids, pids + std::max(count, 0), entry.ulPID) == pids + std::max(count, 0))
            continue;
        ULONG mapped = entry.ulPID;
        hr = map->UnmapPID(1, &mapped);
        unmapped += hr >= 0;
    }
    maps->Release();
    return unmapped > 0 && hr >= 0 ? 1 : 0;
}

int CTsPlayer::ClearPSIParser(BYTE which)
{
    Queried<IPsiParserControl> parser(m_pPsiParser);
    return parser ? succeeded(parser->ClearTables(which)) : 0;
}

int CTsPlayer::SetInformationReceiveCallback(ReceiveCallback callback, void* context)
{
    Queried<IReceiveCallback> parser(m_pPsiParser);
    return parser ? succeeded(parser->SetReceiveCallback(callback, context)) : 0;
}

int CTsPlayer::GetInformationReceiveCallback(ReceiveCallback* callback, void** context)
{
    Queried<IReceiveCallback> parser(m_pPsiParser);
    return parser ? succeeded(parser->GetReceiveCallback(callback, context)) : 0;
}

int CTsPlayer::SetTeletextReceiveCallback(ReceiveCallback callback, void* context)
{
    Queried<IReceiveCallback> teletext(m_pTeletext);
    return teletext ? succeeded(teletext->SetReceiveCallback(callback, context)) : 0;
}

// Audio.

int CTsPlayer::SetVolumeDShow(DWORD level, IGraphBuilder* graph)
{
    Queried<IBasicAudio> audio(graph);
    if (!audio)
        return 0;
    return succeeded(audio->put_Volume(volume_table[std::min<DWORD>(level, volume_levels - 1)]));
}

DWORD CTsPlayer::SetAudioVolume(LONG level)
{
    m_nVolumeLevel = DWORD(level);
    if (m_pGraph)
        SetVolumeDShow(m_nVolumeLevel, m_pGraph);
    return m_dwLastResult;
}

void CTsPlayer::SetMute(int on)
{
    SetVolumeDShow(on ? 0 : m_nVolumeLevel, m_pGraph);
    m_bMute = DWORD(on);
}

DWORD CTsPlayer::SetAudioInfo(DWORD code, void* value)
{
    if (!value)
        return m_dwLastResult;
    DWORD given = *static_cast<DWORD*>(value);
    if (code == TS_AUDIO_VOLUME)
        SetAudioVolume(LONG(given));
    else if (code == TS_AUDIO_MUTE)
        SetMute(given != 0);
    return m_dwLastResult;
}

DWORD CTsPlayer::GetAudioInfo(DWORD code, void* value)
{
    if (code == TS_AUDIO_VOLUME && value)
        *static_cast<DWORD*>(value) = m_nVolumeLevel;
    return m_dwLastResult;
}

int CTsPlayer::SetMP2AudInfo(DWORD id, void* value)
{
    Queried<IMp2AudioInfo> decoder(m_pAudioDecoder);
    if (!decoder || !value)
        return 0;
    return succeeded(decoder->SetAudioSetting(id, *static_cast<DWORD*>(value)));
}

int CTsPlayer::SetAudioChannelMode(int mode)
{
    DWORD value = DWORD(mode);
    return SetMP2AudInfo(audio_setting_channels, &value);
}

int CTsPlayer::GetLastAudioReceiveTickCount(DWORD* tick)
{
    Queried<IAudioReceiveTick> decoder(m_pAudioDecoder);
    return decoder ? succeeded(decoder->GetLastReceiveTick(tick)) : 0;
}

int CTsPlayer::GetLastReceiveTickCount(DWORD* tick)
{
    Queried<IVideoReceiveTick> renderer(m_pVideoRenderer);
    return renderer ? succeeded(renderer->GetLastReceiveTick(tick)) : 0;
}

// Video.

int CTsPlayer::SetVideoRendererFlag(VrenderModeFlag* flag)
{
    Queried<IVideoRenderMode> renderer(m_pVideoRenderer);
    return renderer ? succeeded(renderer->SetRenderMode(flag ? *flag : default_render_mode)) : 0;
}

int CTsPlayer::GetVideoRendererFlag(VrenderModeFlag& flag)
{
    Queried<IVideoRenderMode> renderer(m_pVideoRenderer);
    return renderer ? succeeded(renderer->GetRenderMode(&flag)) : 0;
}

int CTsPlayer::InitForResolutionMsg()
{
    Queried<IVideoResolution> decoder(m_pVideoDecoder);
    return decoder ? succeeded(decoder->ArmResolutionEvent()) : 0;
}

int CTsPlayer::SetFullScreen(int on)
{
    Queried<IVideoWindow> window(m_pVideoRenderer);
    if (!window)
        return 0;
    if (on) {
        window->get_MessageDrain(&*s_saved_drain);
        window->put_MessageDrain(reinterpret_cast<OAHWND>(m_hPreviewWnd));
        window->put_FullScreenMode(OATRUE);
    } else {
        window->put_FullScreenMode(OAFALSE);
        window->put_MessageDrain(*s_saved_drain);
        window->SetWindowForeground(OATRUE);
        UpdateWindow(m_hPreviewWnd);
        SetForegroundWindow(m_hPreviewWnd);
        SetFocus(m_hPreviewWnd);
    }
    return 1;
}

int CTsPlayer::SetPreview(BYTE* buffer, int width, int height, VideoPreviewCallback callback, void* context)
{
    Queried<IVideoRenderOverlay> renderer(m_pVideoRenderer);
    return renderer ? succeeded(renderer->SetPreview(buffer, width, height, callback, context)) : 0;
}

int CTsPlayer::CaptureCurrentSampleBufferYuv420(BYTE* buffer, int* width, int* height, int* bytes, DWORD capacity)
{
    Queried<IVideoCapture> renderer(m_pVideoRenderer);
    return renderer ? succeeded(renderer->CaptureCurrentFrame(buffer, width, height, bytes, capacity)) : 0;
}

void CTsPlayer::CheckAndDrawRadioBGOnVideoLayer(BYTE serviceType)
{
    if (serviceType != radio_service)
        return;
    if (!m_pRadioBG) {
        WCHAR path[MAX_PATH] = {};
        DWORD length = GetModuleFileName(nullptr, path, MAX_PATH);
        std::u16string file(path, std::min<DWORD>(length, MAX_PATH));
        size_t folder_end = file.rfind(u'\\');
        file = (folder_end == std::u16string::npos ? std::u16string() : file.substr(0, folder_end + 1)) + u"RadioBG.yuv";
        HANDLE handle = CreateFile(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            char narrow[MAX_PATH * 2] = {};
            WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, narrow, int(sizeof(narrow)) - 1, nullptr, nullptr);
            OutputDebugString(kivo::format_wide(u"radio background image doesn't exist %hs\r\n", narrow).c_str());
        } else {
            // A file of another size is not read at all: only a whole picture is kept.
            DWORD high = 0;
            auto picture = std::make_unique<BYTE[]>(RADIO_BG_BYTES);
            DWORD read = 0;
            if (GetFileSize(handle, &high) == RADIO_BG_BYTES && high == 0
                && ReadFile(handle, picture.get(), RADIO_BG_BYTES, &read, nullptr) && read == RADIO_BG_BYTES)
                m_pRadioBG = picture.release();
            else
                OutputDebugString(kivo::format_wide(u"radio background image should be %dX%d(YUV420)\r\n", RADIO_BG_WIDTH, RADIO_BG_HEIGHT).c_str());
            CloseHandle(handle);
        }
    }
    if (m_pRadioBG) {
        if (Queried<IVideoRenderOverlay> renderer(m_pVideoRenderer); renderer)
            renderer->DrawYuv420(m_pRadioBG, RADIO_BG_WIDTH, RADIO_BG_HEIGHT);
    }
}

// Subtitles and teletext display.

DWORD CTsPlayer::SetTeletextInfo(DWORD code, void* value)
{
    if (!m_pSubtitler || !value)
        return 0;
    if (code == TS_TELETEXT_WINDOW) {
        m_pSubtitler->SetWindow(*static_cast<HWND*>(value));
    } else if (code == TS_TELETEXT_PAGE) {
        auto& page = *static_cast<TsTeletextPage*>(value);
        if (page.show)
            m_pSubtitler->SelectPage(page.magazine * 100 + page.page);
        m_pSubtitler->Show(int(page.show));
    }
    return 0;
}

// Recording.

int CTsPlayer::EnableRecord(int on, const WCHAR* path, int flag)
{
    Queried<ITsTuner> tuner(m_pTuner);
    return tuner ? succeeded(tuner->Record(on ? path : nullptr, DWORD(flag))) : 0;
}
