#include "TsPlayer.h"

#include "Queried.h"
#include "program_services.h"

#include <cstring>
#include <cstdarg>

namespace {

const WCHAR* const box_title = u"DVBTFilterGraph";

// A pin handed out by FindPin, released when it goes.
class HeldPin {
public:
    ~HeldPin()
    {
        if (m_pin)
            m_pin->Release();
    }
    IPin** put() { return &m_pin; }
    IPin* get() const { return m_pin; }

private:
    IPin* m_pin = nullptr;
};

void debug(const WCHAR* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::u16string line = kivo::vformat_wide(format, arguments);
    va_end(arguments);
    OutputDebugString(line.c_str());
}

void box(const std::u16string& text)
{
    MessageBox(nullptr, text.c_str(), box_title, MB_OK);
}

struct Connection {
    IBaseFilter* CTsPlayer::*out_filter;
    const WCHAR* out_pin;
    IBaseFilter* CTsPlayer::*in_filter;
    const WCHAR* in_pin;
    const WCHAR* failure;
};

// The play wiring in its order; scan takes the first two, preview the first five.
const Connection play_wiring[] = {
    { &CTsPlayer::m_pTuner, u"Out", &CTsPlayer::m_pDemux, u"MPEG-2 Stream", u"Failed to connect pump and demuxer." },
    { &CTsPlayer::m_pDemux, u"psi", &CTsPlayer::m_pPsiParser, u"Input", u"Failed to connect demuxer and psi parser." },
    { &CTsPlayer::m_pDemux, u"Video", &CTsPlayer::m_pSplitter, u"XForm In", u"Failed to connect demuxer and video splitter.\r\n" },
    { &CTsPlayer::m_pSplitter, u"XForm Out", &CTsPlayer::m_pVideoDecoder, u"XForm In",
        u"Failed to connect video splitter and video decoder.\r\n" },
    { &CTsPlayer::m_pVideoDecoder, u"XForm Out", &CTsPlayer::m_pVideoRenderer, u"Input",
        u"Failed to connect video decoder and video renderer.\r\n" },
    { &CTsPlayer::m_pDemux, u"Audio", &CTsPlayer::m_pAudioDecoder, u"XForm In", u"Failed to connect demuxer and audio decoder.\r\n" },
    { &CTsPlayer::m_pAudioDecoder, u"XForm Out", &CTsPlayer::m_pAudioRenderer, u"Audio Input pin (rendered)",
        u"Failed to connect audio decoder and audio renderer.\r\n" },
    { &CTsPlayer::m_pDemux, u"Ttx Out", &CTsPlayer::m_pTeletext, u"In", u"Failed to connect demuxer and teletext filter.\r\n" },
    { &CTsPlayer::m_pTeletext, u"Out", &CTsPlayer::m_pNullRenderer, u"Input", u"Failed to connect teletext filter and null renderer.\r\n" },
    { &CTsPlayer::m_pDemux, u"Sub Out", &CTsPlayer::m_pSubtitle, u"In", u"Failed to connect demuxer and subtitle filter.\r\n" },
    { &CTsPlayer::m_pSubtitle, u"Out", &CTsPlayer::m_pImageRenderer, u"In", u"Failed to connect subtitle filter and image renderer.\r\n" },
};
constexpr int play_connections = 11;
constexpr int preview_connections = 5;

// The twelve filters in field order, with their names in the graph, class ids and failure texts.
struct FilterEntry {
    IBaseFilter* CTsPlayer::*field;
    const WCHAR* name;
    const CLSID* clsid;
    const WCHAR* failure;
};

const FilterEntry filters[] = {
    { &CTsPlayer::m_pTuner, u"TCCDVBTTuneFilter", &CLSID_TCCDVBTTuneFilter, u"CLSID_TCCDVBTTuneFilter fail" },
    { &CTsPlayer::m_pDemux, u"ZEZ RaruTsDemuxer", &CLSID_RaruTsDemuxer, u"CLSID_RaruTsDemuxer fail" },
    { &CTsPlayer::m_pVideoDecoder, u"ZEZ MPG2Dec Filter", &CLSID_MPG2DEC, u"CLSID_MPG2DEC fail" },
    { &CTsPlayer::m_pSplitter, u"ZEZ SPLITTER", &CLSID_TCCSPLITTER, u"CLSID_TCCSPLITTER fail" },
    { &CTsPlayer::m_pVideoRenderer, u"ZEZ Video Renderer", &CLSID_ZezVideoRenderer, u"CLSID_TCCVREND fail" },
    { &CTsPlayer::m_pAudioDecoder, u"ZEZ MP2Dec Filter", &CLSID_TCCMP2DEC, u"CLSID_TCCMP2DEC fail" },
    { &CTsPlayer::m_pAudioRenderer, u"Audio Renderer", &CLSID_AudioRender, u"CLSID_AudioRender fail" },
    { &CTsPlayer::m_pPsiParser, u"ZEZ PSI Parser3", &CLSID_Zez_PsiParser3, u"CLSID_Zez_PsiParser3 fail" },
    { &CTsPlayer::m_pTeletext, u"Zez RaruTeletext", &CLSID_TeletextDecoder, u"CLSID_TeletextDecoder fail" },
    { &CTsPlayer::m_pSubtitle, u"Zez RaruSubtitle", &CLSID_DVBSubtitleDecoder, u"CLSID_DVBSubtitleDecoder fail" },
    { &CTsPlayer::m_pNullRenderer, u"Null Renderer", &CLSID_NullRenderer, u"CLSID_NullRenderer fail" },
    { &CTsPlayer::m_pImageRenderer, u"Zez Image Renderer", &CLSID_TCCIMGRENDFILTER, u"CLSID_TCCIMGRENDFILTER fail" },
};

} // namespace

const LONG CTsPlayer::volume_table[CTsPlayer::volume_levels] = {
    -10000, -9216, -8494, -7744, -7056, -6400, -5776, -5184, -4624, -4096, -3600, -3136, -2704,
    -2304, -1936, -1600, -1296, -1024, -784, -576, -400, -256, -144, -16, 0
};

CTsPlayer::CTsPlayer()
{
    Initialize();
}

CTsPlayer::~CTsPlayer()
{
    delete m_pSubtitler;
    delete[] m_pRadioBG;
}

void CTsPlayer::Initialize()
{
    m_dwLastResult = 0;
}

DWORD CTsPlayer::SetDestination(DWORD destination)
{
    m_dwPrevDestination = m_dwDestination;
    m_dwDestination = destination;
    m_bDestinationFlag = destination & 1;
    return 0;
}

DWORD CTsPlayer::SetNotifyWindow(HWND window)
{
    m_hNotifyWnd = window;
    m_dwLastResult = 0;
    return 0;
}

DWORD CTsPlayer::SetPreviewWindow(HWND window)
{
    m_hPreviewWnd = window;
    m_dwLastResult = 0;
    return 0;
}

int CTsPlayer::CheckCoCreateInstance(HRESULT& hr, REFCLSID clsid, REFIID iid, void** object, const WCHAR* failure)
{
    if (hr < 0)
        return 0;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
    if (hr >= 0)
        return 1;
    // The class id as the four 32-bit words it is stored in.
    DWORD words[4];
    static_assert(sizeof(words) == sizeof(CLSID));
    std::memcpy(words, &clsid, sizeof(words));
    debug(u"[FAIL]CoCreateInstance(%x%x%x%x) hr=%x\r\n", words[0], words[1], words[2], words[3], DWORD(hr));
    box(kivo::format_wide(u"[FAIL]CoCreateInstance(%x%x%x%x), %s", words[0], words[1], words[2], words[3], failure));
    return 0;
}

int CTsPlayer::CreateFilter()
{
    HRESULT hr = 0;
    CheckCoCreateInstance(hr, CLSID_FilterGraph, IID_IGraphBuilder, reinterpret_cast<void**>(&m_pGraph), u"CLSID_FilterGraph fail");
    for (const FilterEntry& entry : filters)
        CheckCoCreateInstance(hr, *entry.clsid, IID_IBaseFilter, reinterpret_cast<void**>(&(this->*entry.field)), entry.failure);
    if (hr < 0) {
        DestroyFilter();
        return 0;
    }
    if (!m_pSubtitler)
        m_pSubtitler = new CSubtitler;
    m_pSubtitler->m_pSubtitleDecoder = m_pSubtitle;
    m_pSubtitler->m_pImageRenderer = m_pImageRenderer;

    Queried<ITsTuner> tuner(m_pTuner);
    if (!tuner || FAILED(tuner->SetMode(4, 0))) {
        OutputDebugString(u"fail to set tuner\r\n");
        return 0;
    }
    return 1;
}

int CTsPlayer::CheckAddFilter(HRESULT& hr, IBaseFilter* filter, const WCHAR* name)
{
    if (hr < 0)
        return 0;
    hr = m_pGraph->AddFilter(filter, name);
    if (hr >= 0)
        return 1;
    debug(u"[FAIL]AddFilter hr=%x\r\n", DWORD(hr));
    return 0;
}

int CTsPlayer::AddFilter()
{
    HRESULT hr = m_pGraph ? 0 : -1;
    for (const FilterEntry& entry : filters)
        CheckAddFilter(hr, this->*entry.field, entry.name);
    if (hr < 0) {
        RemoveFilter();
        return 0;
    }
    return 1;
}

int CTsPlayer::RemoveFilter()
{
    if (!m_pGraph)
        return 1;
    for (int i = int(std::size(filters)) - 1; i >= 0; --i) {
        if (IBaseFilter* filter = this->*filters[i].field)
            m_pGraph->RemoveFilter(filter);
    }
    return 1;
}

int CTsPlayer::DestroyFilter()
{
    delete m_pSubtitler;
    m_pSubtitler = nullptr;
    for (int i = int(std::size(filters)) - 1; i >= 0; --i) {
        IBaseFilter*& filter = this->*filters[i].field;
        if (filter)
            filter->Release();
        filter = nullptr;
    }
    if (m_pGraph)
        m_pGraph->Release();
    m_pGraph = nullptr;
    return 1;
}

HRESULT CTsPlayer::FindPin(IBaseFilter* filter, PIN_DIRECTION direction, const WCHAR* name, IPin** pin)
{
    IEnumPins* pins = nullptr;
    if (!filter || FAILED(filter->EnumPins(&pins)) || !pins)
        return E_FAIL;
    HRESULT hr = E_FAIL;
    pins->Reset();
    IPin* candidate = nullptr;
    ULONG fetched = 0;
    while (hr != S_OK && pins->Next(1, &candidate, &fetched) == S_OK && fetched == 1) {
        PIN_DIRECTION its_direction;
        PIN_INFO info;
        if (SUCCEEDED(candidate->QueryDirection(&its_direction)) && its_direction == direction
            && SUCCEEDED(candidate->QueryPinInfo(&info))) {
            if (info.pFilter)
                info.pFilter->Release();
            if (std::u16string_view(info.achName) == std::u16string_view(name)) {
                candidate->AddRef();
                *pin = candidate;
                hr = S_OK;
            }
        }
        candidate->Release();
    }
    pins->Release();
    return hr;
}

int CTsPlayer::CheckConnect(HRESULT& hr, IBaseFilter* out, const WCHAR* outPin, IBaseFilter* in, const WCHAR* inPin, const WCHAR* failure)
{
    if (hr < 0)
        return 0;
    HeldPin output, input;
    hr = FindPin(out, PINDIR_OUTPUT, outPin, output.put());
    if (hr < 0) {
        box(kivo::format_wide(u"FindPin %s fail", outPin));
        return 0;
    }
    hr = FindPin(in, PINDIR_INPUT, inPin, input.put());
    if (hr < 0) {
        box(kivo::format_wide(u"FindPin %s fail", inPin));
        return 0;
    }
    hr = m_pGraph ? m_pGraph->Connect(output.get(), input.get()) : E_POINTER;
    if (hr < 0)
        box(kivo::format_wide(u"%s(0x%x=%d)%d", failure, DWORD(hr), int(hr), int(GetLastError())));
    return hr >= 0;
}

int CTsPlayer::Disconnect(IBaseFilter* filter, const WCHAR* pinName, PIN_DIRECTION direction)
{
    HeldPin pin;
    HRESULT hr = FindPin(filter, direction, pinName, pin.put());
    if (hr < 0) {
        box(kivo::format_wide(u"FindPin %s fail", pinName));
        debug(u"FindPin fail hr=%x\r\n", DWORD(hr));
        return 0;
    }
    hr = m_pGraph ? m_pGraph->Disconnect(pin.get()) : E_POINTER;
    return hr >= 0;
}

void CTsPlayer::ConnectPairs(HRESULT& hr, int count)
{
    for (int i = 0; i < count; ++i) {
        const Connection& c = play_wiring[i];
        CheckConnect(hr, this->*c.out_filter, c.out_pin, this->*c.in_filter, c.in_pin, c.failure);
    }
}

void CTsPlayer::DisconnectPairs(int count)
{
    for (int i = 0; i < count; ++i) {
        const Connection& c = play_wiring[i];
        Disconnect(this->*c.out_filter, c.out_pin, PINDIR_OUTPUT);
        Disconnect(this->*c.in_filter, c.in_pin, PINDIR_INPUT);
    }
}

int CTsPlayer::ConnectFilterForPlay()
{
    if (m_nConnectMode != -1)
        return 1;
    m_nConnectMode = 3;
    HRESULT hr = 0;
    ConnectPairs(hr, play_connections);
    if (hr < 0) {
        DisconnectFilterForPlay();
        return 0;
    }
    if (!SetVideoRendererFlag(nullptr))
        OutputDebugString(u"Failed to set video renderer flag\r\n");
    SetPreviewParams();
    return 1;
}

int CTsPlayer::DisconnectFilterForPlay()
{
    if (m_nConnectMode == -1)
        return 1;
    m_nConnectMode = -1;
    DisconnectPairs(play_connections);
    return 1;
}

int CTsPlayer::ConnectFilterForScan()
{
    if (m_nConnectMode != -1)
        return 1;
    m_nConnectMode = 7;
    Queried<ITsTunerProperty> property(m_pTuner);
    HRESULT hr = property.result();
    if (property) {
        DWORD on = 1;
        hr = property->SetProperty(7, &on);
    }
    CheckConnect(hr, m_pTuner, u"Out", m_pDemux, u"MPEG-2 Stream", u"Tunner and demux connect fail");
    CheckConnect(hr, m_pDemux, u"psi", m_pPsiParser, u"Input", u"demux and psi connect fail");
    if (hr < 0) {
        DisconnectFilterForScan();
        return 0;
    }
    return 1;
}

int CTsPlayer::DisconnectFilterForScan()
{
    if (m_nConnectMode == -1)
        return 1;
    m_nConnectMode = -1;
    Queried<ITsTunerProperty> property(m_pTuner);
    HRESULT hr = property.result();
    if (property) {
        DWORD off = 0;
        hr = property->SetProperty(7, &off);
    }
    Disconnect(m_pTuner, u"Out", PINDIR_OUTPUT);
    Disconnect(m_pDemux, u"MPEG-2 Stream", PINDIR_INPUT);
    Disconnect(m_pDemux, u"psi", PINDIR_OUTPUT);
    Disconnect(m_pPsiParser, u"Input", PINDIR_INPUT);
    return hr >= 0;
}

int CTsPlayer::ConnectFilterForPreview()
{
    if (m_nConnectMode != -1)
        return 1;
    m_nConnectMode = 3;
    HRESULT hr = 0;
    ConnectPairs(hr, preview_connections);
    if (hr < 0) {
        DisconnectFilterForPlay();
        return 0;
    }
    return 1;
}

int CTsPlayer::DisconnectFilterForPreview()
{
    if (m_nConnectMode == -1)
        return 1;
    m_nConnectMode = -1;
    DisconnectPairs(preview_connections);
    return 1;
}

void CTsPlayer::SetPreviewParams()
{
    if (!m_pGraph)
        return;
    if (Queried<IVideoWindow> window(m_pGraph); window) {
        window->put_Owner(reinterpret_cast<OAHWND>(m_hPreviewWnd));
        window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
        window->put_MessageDrain(reinterpret_cast<OAHWND>(m_hPreviewWnd));
        RECT client {};
        GetClientRect(m_hPreviewWnd, &client);
        window->SetWindowPosition(0, 0, client.right - client.left, client.bottom - client.top);
    }
    if (IsWindow(m_hNotifyWnd)) {
        if (Queried<IMediaEventEx> events(m_pGraph); events)
            events->SetNotifyWindow(reinterpret_cast<OAHWND>(m_hNotifyWnd), WM_DSHOW_GRAPH_NOTIFY, 0);
    }
    SetSync2Audio(1, 1);
}

int CTsPlayer::SetSync2Audio(int fromAudio, int enable)
{
    Queried<IMediaFilter> graph(m_pGraph);
    if (!graph)
        return 0;
    HRESULT hr = S_OK;
    if (enable) {
        Queried<IReferenceClock> clock(fromAudio ? m_pAudioRenderer : m_pDemux);
        if (clock)
            hr = graph->SetSyncSource(clock.get());
    } else {
        hr = graph->SetSyncSource(nullptr);
    }
    return hr >= 0;
}

void CTsPlayer::BrolmInit()
{
    delete m_pSubtitler;
    m_pSubtitler = nullptr;
    delete[] m_pRadioBG;
    m_pRadioBG = nullptr;
    m_pGraph = nullptr;
    for (const FilterEntry& entry : filters)
        this->*entry.field = nullptr;
    m_nConnectMode = -1;
    m_bDestinationFlag = 1;
    m_bRunning = 0;
    m_bMute = 0;
    m_dwLastResult = 0;
}

int CTsPlayer::SetAppCallback(TsAppCallback callback, void* context)
{
    m_pAppCallback = callback;
    m_pAppContext = context;
    return 1;
}

void CTsPlayer::PostNotifyMessage(DWORD code, DWORD parameter)
{
    if (m_hNotifyWnd)
        PostMessage(m_hNotifyWnd, WM_TSPLAYER_NOTIFY, code, parameter);
}
