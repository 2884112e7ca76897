#include "cInformation.h"

#include "DvbText.h"
#include "vendor/PsiRecords.h"
#include "kernel/Process.h"

#include <algorithm>
#include <cassert>
#include <cstring>

const DWORD cInformation::mdwInformationFileVersion = 101;
const WCHAR* const cInformation::mpszInformationFileName = u"\\NAND\\DVBTChannelList.lst";
const WCHAR* const cInformation::szWeek[7] = { u"SUN", u"MON", u"TUE", u"WED", u"THU", u"FRI", u"SAT" };

namespace {

struct CountryRow {
    const WCHAR* name;
    int code;
};

constexpr CountryRow country_table[] = {
    { u"China", 86 }, { u"Taiwan", 886 }, { u"Australia", 61 }, { u"France", 33 }, { u"Germany", 49 },
    { u"Spain", 34 }, { u"U.K.", 44 }, { u"U.S.", 1 }, { u"Belgium", 9999 }, { u"Denmark", 9999 },
    { u"Finland", 9999 }, { u"Holland", 9999 }, { u"Iceland", 9999 }, { u"Norway", 9999 },
    { u"Portugal", 9999 }, { u"Singapore", 9999 }, { u"Sweden", 9999 }, { u"Other(8MHz)", 9999 },
    { u"File(Test Only)", -1 },
};

constexpr USHORT section_pids[] = { 0, 16, 17, 18, 20 };

// The first programme-guide record is announced once per process, whatever number of objects.
kivo::ProcessLocal<bool> s_epg_announced;

// A heap copy of the first record of a chain, unlinked from the rest.
template<typename Record>
Record* copy_first(const Record* record)
{
    if (!record)
        return nullptr;
    auto* copy = new Record(*record);
    copy->next = nullptr;
    return copy;
}

template<typename Record>
Record* copy_held(const PsiRecordHolder<Record>* holder)
{
    return holder ? copy_first(holder->first) : nullptr;
}

// Decodes DVB text into a new zero-terminated array, sized by a counting pass.
WCHAR* decoded_copy(const uint8_t* text, int length)
{
    int count = text ? DecodeDvbText(text, length, nullptr, 0) : 0;
    auto* out = new WCHAR[count + 1];
    int written = count > 0 ? DecodeDvbText(text, length, out, count) : 0;
    out[written] = 0;
    return out;
}

} // namespace

cInformation::cInformation(CTsPlayer& player)
    : m_Player(player)
{
    InitializeCriticalSection(&m_Lock);
    TIME_ZONE_INFORMATION zone {};
    GetTimeZoneInformation(&zone);
    m_nLocalOffset = -zone.Bias;
    SYSTEMTIME local {};
    GetLocalTime(&local);
    ConvertTime(local, m_stBroadcastTime, zone.Bias);
    for (auto const& row : country_table)
        m_Countries.push_back(std::make_unique<cCountry>(row.name, row.code));
    m_pCurCountry = m_Countries.front().get();
}

cInformation::~cInformation()
{
    m_AvailableServices.clear();
    m_Countries.clear();
    DeleteCriticalSection(&m_Lock);
}

void cInformation::Enter()
{
    EnterCriticalSection(&m_Lock);
    m_dwLockOwner = GetCurrentThreadId();
    ++m_nLockDepth;
}

void cInformation::Leave()
{
    if (--m_nLockDepth == 0)
        m_dwLockOwner = 0;
    LeaveCriticalSection(&m_Lock);
}

template<typename Call>
auto cInformation::Unlocked(Call call)
{
    // Only the operation's own hold may be let go: a reader's hold across an engine call would
    // keep the lock while the graph waits for a callback.
    assert(m_nLockDepth == 1 && m_dwLockOwner == GetCurrentThreadId());
    Leave();
    auto result = call();
    Enter();
    return result;
}

cInformation::Lock::Lock(cInformation& information)
    : m_Information(information)
{
    m_Information.Enter();
}

cInformation::Lock::~Lock()
{
    m_Information.Leave();
}

// An operation takes the lock afresh: a thread already holding it (a reader's Lock) must not call
// one, since an operation may let the lock go across the player's calls.
cInformation::Operation::Operation(cInformation& information)
    : m_Information(information)
{
    assert(m_Information.m_dwLockOwner.load() != GetCurrentThreadId() && "an engine operation under a held Lock");
    m_Information.Enter();
}

cInformation::Operation::~Operation()
{
    m_Information.Leave();
}

#define HOLD_LOCK Operation hold_lock(*this)

void cInformation::SetCallback()
{
    HOLD_LOCK;
    m_Player.SetInformationReceiveCallback(&cInformation::ZEZInformationReceive, this);
    m_Player.SetTeletextReceiveCallback(&cInformation::ZEZTeletextReceive, this);
}

int cInformation::ZEZInformationReceive(DWORD code, void* record, void* context)
{
    return static_cast<cInformation*>(context)->InformationReceive(code, record);
}

int cInformation::ZEZTeletextReceive(DWORD code, void* record, void* context)
{
    return static_cast<cInformation*>(context)->TeletextReceive(code, record);
}

int cInformation::TeletextReceive(DWORD, void*)
{
    // The teletext pages are collected elsewhere; the records are accepted and dropped until then.
    return 1;
}

int cInformation::InformationReceive(DWORD code, void* record)
{
    if (!record)
        return 1;
    Lock hold_lock(*this);
    switch (code) {
    case PSI_RECORD_PAT:
        ReceivePat(*static_cast<const PsiPat*>(record));
        return 1;
    case PSI_RECORD_PMT:
        return ReceivePmt(*static_cast<const PsiPmt*>(record));
    case PSI_RECORD_SDT:
        ReceiveSdt(*static_cast<const PsiSdt*>(record));
        return 1;
    case PSI_RECORD_EIT:
        ReceiveEit(*static_cast<const PsiEit*>(record));
        return 1;
    case PSI_RECORD_TDT: {
        m_stBroadcastTime = static_cast<const PsiTdt*>(record)->utc;
        if (m_Player.m_pAppCallback)
            m_Player.m_pAppCallback(0, nullptr, m_Player.m_pAppContext);
        return 1;
    }
    case PSI_RECORD_TOT: {
        auto const& tot = *static_cast<const PsiTot*>(record);
        m_stBroadcastTime = tot.utc;
        if (tot.offsets && tot.offsets->first)
            m_nLocalOffset = tot.offsets->first->offset_minutes;
        return 1;
    }
    default:
        return 1;
    }
}

void cInformation::ReceivePat(const PsiPat& pat)
{
    m_pCurTransportStream = m_pCurCountry->TransportStream(int(m_dwTunerChannel), pat.transport_stream_id);
    if (!m_pCurTransportStream)
        return;
    for (auto* program = pat.programs; program; program = program->next)
        if (auto* service = m_pCurTransportStream->Service(program->program_number))
            service->m_wPmtPid = program->pmt_pid;
    MapPids();
}

int cInformation::ReceivePmt(const PsiPmt& pmt)
{
    if (!m_pCurTransportStream)
        return 0;
    cService* service = m_pCurTransportStream->Service(pmt.program_number);
    if (!service)
        return 1;
    service->ClearStreams();
    for (auto* entry = pmt.streams; entry; entry = entry->next) {
        cService::STREAM stream;
        stream.m_byType = entry->stream_type;
        stream.m_wPid = entry->elementary_pid;
        stream.m_pLanguage = copy_first(entry->languages);
        stream.m_pIdentifier = copy_held(entry->identifiers);
        stream.m_pTeletext = copy_held(entry->teletext);
        stream.m_pSubtitle = copy_held(entry->subtitles);
        service->m_Streams.push_back(stream);
    }
    if (service == m_pCurService)
        MapPids();
    return 1;
}

void cInformation::ReceiveSdt(const PsiSdt& sdt)
{
    cTransportStream* stream = m_pCurCountry->TransportStream(int(m_dwTunerChannel), sdt.transport_stream_id);
    if (!stream)
        return;
    for (auto* entry = sdt.services; entry; entry = entry->next) {
        cService* service = stream->Service(entry->service_id);
        if (!service)
            continue;
        service->m_bDescribed = TRUE;
        if (auto* descriptor = entry->service_descriptor) {
            service->m_byType = descriptor->service_type;
            int written = descriptor->service_name
                ? DecodeDvbText(descriptor->service_name, descriptor->service_name_length, service->m_szName, 255)
                : 0;
            service->m_szName[std::clamp(written, 0, 255)] = 0;
            service->m_dwSdtFlags = entry->flags;
        }
    }
}

void cInformation::ReceiveEit(const PsiEit& eit)
{
    cTransportStream* stream = m_pCurCountry->TransportStream(int(m_dwTunerChannel), eit.transport_stream_id);
    cService* service = stream ? stream->Service(eit.service_id) : nullptr;
    if (!service)
        return;
    for (auto* entry = eit.events; entry; entry = entry->next) {
        auto held = std::find_if(service->m_Events.begin(), service->m_Events.end(),
            [&](const cEvent& event) { return event.m_pEvent->m_wEventId == entry->event_id; });
        if (held != service->m_Events.end()) {
            delete held->m_pEvent;
            service->m_Events.erase(held);
        }
        auto* event = new cEvent::EVENT;
        event->m_wEventId = entry->event_id;
        event->m_stStart = entry->start;
        event->m_stDuration = entry->duration;
        event->m_dwStatus = entry->status;
        if (auto* brief = entry->short_event) {
            event->m_pszName = decoded_copy(brief->name, brief->name_length);
            event->m_pszShortText = decoded_copy(brief->text, brief->text_length);
        }
        if (entry->extended_events) {
            // Each part carries its own table selector; decoding part by part keeps them right.
            int count = 0;
            for (auto* part = entry->extended_events; part; part = part->next)
                count += part->text ? DecodeDvbText(part->text, part->text_length, nullptr, 0) : 0;
            event->m_pszExtendedText = new WCHAR[count + 1];
            int written = 0;
            for (auto* part = entry->extended_events; part; part = part->next)
                if (part->text)
                    written += DecodeDvbText(part->text, part->text_length, event->m_pszExtendedText + written, count - written);
            event->m_pszExtendedText[written] = 0;
        }
        event->m_byRating = entry->rating ? entry->rating->rating : 0;
        service->m_Events.emplace_back(event);
    }
    service->m_Events.sort();
    if (!*s_epg_announced) {
        *s_epg_announced = true;
        m_Player.PostNotifyMessage(TSN_EPG_RECEIVED, 0);
    }
}

void cInformation::MapToPin(const WCHAR* pin, USHORT pid, MEDIA_SAMPLE_CONTENT content)
{
    if (pid == 0) {
        m_Player.MapPIDToDemuxer(pin, nullptr, 0, content, 1);
        return;
    }
    ULONG wide = pid;
    m_Player.MapPIDToDemuxer(pin, &wide, 1, content, 1);
}

int cInformation::MapPids()
{
    USHORT pids[MAX_MAPPED_PIDS] {};
    int count = 0;
    for (USHORT pid : section_pids)
        pids[count++] = pid;
    if (cService* service = m_pCurService) {
        pids[count++] = service->m_wPmtPid;
        const USHORT audio = service->AudioPID(), video = service->VideoPID();
        const USHORT teletext = service->TeletextPID(), subtitle = service->SubtitlePID();
        const std::pair<DWORD, USHORT> elementary[] = {
            { STREAM_AUDIO, audio }, { STREAM_VIDEO, video }, { STREAM_TELETEXT, teletext }, { STREAM_SUBTITLE, subtitle } };
        for (auto [bit, pid] : elementary)
            if ((m_dwStreamMask & bit) && pid != 0)
                pids[count++] = pid;
        if (std::memcmp(pids, m_wMappedPids, sizeof pids) == 0)
            return 1;
        std::memcpy(m_wMappedPids, pids, sizeof pids);
        m_nMappedPids = count;
        m_Player.MapPIDToTuner(1, m_wMappedPids, m_nMappedPids);
        ULONG psi[6];
        for (int i = 0; i < 6; ++i)
            psi[i] = pids[i];
        m_Player.MapPIDToDemuxer(u"psi", psi, 6, MEDIA_MPEG2_PSI, 1);
        MapToPin(u"Audio", audio, MEDIA_ELEMENTARY_STREAM);
        MapToPin(u"Video", video, MEDIA_ELEMENTARY_STREAM);
        MapToPin(u"Ttx Out", teletext, MEDIA_TRANSPORT_PAYLOAD);
        MapToPin(u"Sub Out", subtitle, MEDIA_TRANSPORT_PAYLOAD);
        if (!service->m_Streams.empty())
            m_Player.PostNotifyMessage(TSN_PIDS_MAPPED, 0);
        return 1;
    }
    if (m_pCurTransportStream)
        for (auto const& service : m_pCurTransportStream->m_Services) {
            if (count == MAX_MAPPED_PIDS)
                break;
            pids[count++] = service->m_wPmtPid;
        }
    std::memcpy(m_wMappedPids, pids, sizeof pids);
    m_nMappedPids = count;
    m_Player.MapPIDToTuner(1, m_wMappedPids, m_nMappedPids);
    ULONG psi[MAX_MAPPED_PIDS];
    for (int i = 0; i < count; ++i)
        psi[i] = pids[i];
    m_Player.MapPIDToDemuxer(u"psi", psi, count, MEDIA_MPEG2_PSI, 1);
    return 1;
}

void cInformation::ClearMappedPids()
{
    std::fill(std::begin(m_wMappedPids), std::end(m_wMappedPids), USHORT(0));
    m_nMappedPids = 0;
}

void cInformation::Clear()
{
    HOLD_LOCK;
    m_AvailableServices.clear();
    m_pCurService = nullptr;
    m_pCurTransportStream = nullptr;
    m_pRememberedTvService = nullptr;
    m_pRememberedRadioService = nullptr;
    m_pCurCountry->m_TransportStreams.clear();
    m_Player.ClearPSIParser(255);
}

int cInformation::Country(int code)
{
    HOLD_LOCK;
    for (auto const& country : m_Countries)
        if (country->m_nCode == code) {
            m_pCurCountry = country.get();
            break;
        }
    return m_Player.SetCountryCode(DWORD(m_pCurCountry->m_nCode));
}

void cInformation::ConvertTime(const SYSTEMTIME& in, SYSTEMTIME& out, int minutes)
{
    FILETIME file {};
    SystemTimeToFileTime(&in, &file);
    ULONGLONG units = (ULONGLONG(file.dwHighDateTime) << 32 | file.dwLowDateTime) + ULONGLONG(LONGLONG(minutes) * 600000000LL);
    file.dwLowDateTime = DWORD(units);
    file.dwHighDateTime = DWORD(units >> 32);
    FileTimeToSystemTime(&file, &out);
}

void cInformation::ConvertTimeUTCToLocal(const SYSTEMTIME& in, SYSTEMTIME& out)
{
    HOLD_LOCK;
    ConvertTime(in, out, m_nLocalOffset);
}

void cInformation::LocalTime(SYSTEMTIME& out)
{
    HOLD_LOCK;
    ConvertTime(m_stBroadcastTime, out, m_nLocalOffset);
}

void cInformation::SetLocalTimeOffset(int minutes)
{
    HOLD_LOCK;
    m_nLocalOffset = minutes;
}

int cInformation::IsScanned()
{
    HOLD_LOCK;
    if (!m_pCurTransportStream)
        return 0;
    for (auto const& service : m_pCurTransportStream->m_Services)
        if (service->m_wServiceId != 0 && (!service->m_bDescribed || service->m_Streams.empty()))
            return 0;
    return 1;
}

int cInformation::IsAvailableService(cService* service)
{
    HOLD_LOCK;
    if (!service || service->m_wServiceId == 0)
        return 0;
    if (service->m_bDescribed && service->m_byType != 1 && service->m_byType != 2)
        return 0;
    bool mpegAudio = std::any_of(service->m_Streams.begin(), service->m_Streams.end(),
        [](const cService::STREAM& stream) { return stream.m_byType == 3 || stream.m_byType == 4; });
    if (!mpegAudio)
        return 0;
    if (std::find(m_AvailableServices.begin(), m_AvailableServices.end(), service) == m_AvailableServices.end())
        m_AvailableServices.push_back(service);
    return 1;
}

void cInformation::SortAvailableServices()
{
    HOLD_LOCK;
    m_AvailableServices.sort([](const cService* a, const cService* b) { return a->m_wServiceId < b->m_wServiceId; });
    DWORD number = 0;
    WORD index = 0;
    const cService* previous = nullptr;
    for (cService* service : m_AvailableServices) {
        service->m_dwChannelNumber = ++number;
        bool sameStream = previous && previous->m_pTransportStream->m_wTsid == service->m_pTransportStream->m_wTsid;
        index = sameStream ? WORD(index + 1) : WORD(1);
        service->m_wIndex = index;
        previous = service;
    }
    if (!m_AvailableServices.empty()
        && std::find(m_AvailableServices.begin(), m_AvailableServices.end(), m_pCurService) == m_AvailableServices.end())
        m_pCurService = m_AvailableServices.front();
}

cService* cInformation::Neighbour(cService* from, bool forward)
{
    auto at = std::find(m_AvailableServices.begin(), m_AvailableServices.end(), from);
    if (at == m_AvailableServices.end())
        return nullptr;
    if (forward)
        return ++at == m_AvailableServices.end() ? m_AvailableServices.front() : *at;
    return at == m_AvailableServices.begin() ? m_AvailableServices.back() : *--at;
}

cService* cInformation::NextAvailableService(cService* from)
{
    HOLD_LOCK;
    return Neighbour(from, true);
}

cService* cInformation::PrevAvailableService(cService* from)
{
    HOLD_LOCK;
    return Neighbour(from, false);
}

cService* cInformation::NeighbourByType(cService* from, unsigned char type, bool forward)
{
    std::vector<cService*> order(m_AvailableServices.begin(), m_AvailableServices.end());
    if (!forward)
        std::reverse(order.begin(), order.end());
    auto at = std::find(order.begin(), order.end(), from);
    if (at == order.end())
        return nullptr;
    auto ofType = [type](const cService* service) { return service->m_byType == type; };
    auto found = std::find_if(at + 1, order.end(), ofType);
    if (found == order.end())
        found = std::find_if(order.begin(), order.end(), ofType);
    return found == order.end() ? nullptr : *found;
}

cService* cInformation::NextAvailableServiceByTpye(cService* from, unsigned char type)
{
    HOLD_LOCK;
    return NeighbourByType(from, type, true);
}

cService* cInformation::PrevAvailableServiceByTpye(cService* from, unsigned char type)
{
    HOLD_LOCK;
    return NeighbourByType(from, type, false);
}

int cInformation::SelectService(cService* service)
{
    if (!service)
        return 0;
    Unlocked([&] { return m_Player.Stop(); });
    ClearMappedPids();
    m_pCurService = service;
    MapPids();
    int result = 1;
    if (service->m_pTransportStream != m_pCurTransportStream) {
        m_Player.ClearPSIParser(0);
        m_pCurTransportStream = nullptr;
        m_dwTunerChannel = service->m_pTransportStream->m_dwChannel;
        DWORD channel = m_dwTunerChannel;
        if (m_pCurCountry->m_nCode != -1) {
            result = Unlocked([&] { return m_Player.SetChannel(&channel, 1); });
        } else {
            WCHAR name[256];
            std::memcpy(name, service->m_pTransportStream->m_szName, sizeof name);
            result = Unlocked([&] { return m_Player.ChannelSelect(name); });
        }
    }
    m_Player.InitForResolutionMsg();
    Unlocked([&] { return m_Player.Run(); });
    return result;
}

int cInformation::ChannelSelect(cService* service)
{
    HOLD_LOCK;
    return SelectService(service);
}

int cInformation::ChannelSelect(int channel)
{
    HOLD_LOCK;
    Unlocked([&] { return m_Player.Stop(); });
    m_Player.ClearPSIParser(0);
    m_dwTunerChannel = DWORD(channel);
    m_pCurTransportStream = nullptr;
    m_pCurService = nullptr;
    MapPids();
    DWORD value = m_dwTunerChannel;
    int result = Unlocked([&] { return m_Player.SetChannel(&value, 0); });
    Unlocked([&] { return m_Player.Run(); });
    return result;
}

int cInformation::ChannelSelect(const WCHAR* name)
{
    HOLD_LOCK;
    Unlocked([&] { return m_Player.Stop(); });
    m_Player.ClearPSIParser(255);
    m_dwTunerChannel = 0;
    m_pCurTransportStream = nullptr;
    m_pCurService = nullptr;
    MapPids();
    int result = Unlocked([&] { return m_Player.ChannelSelect(name); });
    Unlocked([&] { return m_Player.Run(); });
    return result;
}

int cInformation::ChannelSelectNext()
{
    HOLD_LOCK;
    cService* next = Neighbour(m_pCurService, true);
    return next ? SelectService(next) : 0;
}

int cInformation::ChannelSelectPrev()
{
    HOLD_LOCK;
    cService* previous = Neighbour(m_pCurService, false);
    return previous ? SelectService(previous) : 0;
}

int cInformation::PlayServiceId(int number)
{
    HOLD_LOCK;
    for (cService* service : m_AvailableServices)
        if (int(service->m_dwChannelNumber) == number) {
            SelectService(service);
            return 0;
        }
    return -1;
}

cService* cInformation::GetCurService()
{
    HOLD_LOCK;
    return m_pCurService;
}

int cInformation::GetCurServiceId()
{
    HOLD_LOCK;
    return m_pCurService ? int(m_pCurService->m_dwChannelNumber) : 0;
}

int cInformation::SelectAudio(int index)
{
    HOLD_LOCK;
    if (!m_pCurService)
        return 0;
    int selected = m_pCurService->SelectAudio(index);
    MapPids();
    return selected;
}

int cInformation::EnableVideo(int on)
{
    HOLD_LOCK;
    return SwitchVideo(on);
}

int cInformation::SwitchVideo(int on)
{
    if (!on) {
        MapToPin(u"Video", 0, MEDIA_ELEMENTARY_STREAM);
        return 1;
    }
    if (!m_pCurService)
        return 0;
    // Without a video stream the pin is only cleared, as the service's mapping leaves it.
    MapToPin(u"Video", m_pCurService->VideoPID(), MEDIA_ELEMENTARY_STREAM);
    return 1;
}

int cInformation::EnableEPG(int on)
{
    HOLD_LOCK;
    if (on)
        MapToPin(u"EPG", 18, MEDIA_ELEMENTARY_STREAM);
    else
        MapToPin(u"EPG", 0, MEDIA_ELEMENTARY_STREAM);
    return 1;
}

int cInformation::Pause(int on)
{
    HOLD_LOCK;
    if (!on && !m_pCurService)
        return 0;
    int result = m_Player.MapPIDToTuner(1, m_wMappedPids, on ? 0 : m_nMappedPids);
    SwitchVideo(!on);
    return result;
}

void RecordingName(const WCHAR* serviceName, WCHAR* out, int capacity)
{
    static constexpr char16_t reserved[] = u"\\/:*?\"<>|";
    int length = 0;
    for (const WCHAR* c = serviceName; c && *c && length < 64 && length < capacity - 1; ++c) {
        bool bad = *c < 0x20 || *c == 0x7F || std::char_traits<char16_t>::find(reserved, 9, *c);
        out[length++] = bad ? u'_' : *c;
    }
    if (length == 0)
        for (const WCHAR* c = u"TV"; *c && length < capacity - 1; ++c)
            out[length++] = *c;
    out[length] = 0;
}

int cInformation::Record(int on)
{
    HOLD_LOCK;
    if (!on) {
        m_Player.MapPIDToTuner(1, m_wMappedPids, m_nMappedPids);
        return m_Player.EnableRecord(0, nullptr, 0);
    }
    if (!m_pCurService)
        return 0;
    WCHAR name[65];
    RecordingName(m_pCurService->m_szName, name, 65);
    SYSTEMTIME local {};
    ConvertTime(m_stBroadcastTime, local, m_nLocalOffset);
    WCHAR path[128];
    _snwprintf(path, 128, u"\\nand\\%s_%04d%02d%02d%02d%02d%02d.ts", name, local.wYear, local.wMonth, local.wDay,
        local.wHour, local.wMinute, local.wSecond);
    m_Player.MapPIDToTuner(0, m_wMappedPids, m_nMappedPids);
    return m_Player.EnableRecord(1, path, 0);
}
