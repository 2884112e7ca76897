#include "cService.h"

namespace {

bool IsVideo(BYTE type)
{
    return type == 1 || type == 2;
}

bool IsAudio(BYTE type)
{
    return type == 3 || type == 4 || type == 15 || type == 128;
}

constexpr BYTE PRIVATE_DATA = 6;

template<typename Record>
void FreeChain(Record*& first)
{
    while (first) {
        Record* next = first->next;
        delete first;
        first = next;
    }
}

} // namespace

cService::cService(cTransportStream* transportStream, unsigned short serviceId)
    : m_pTransportStream(transportStream)
    , m_wServiceId(serviceId)
{
}

cService::~cService()
{
    ClearEvents();
    ClearStreams();
}

void cService::ClearStreams()
{
    for (STREAM& stream : m_Streams) {
        FreeChain(stream.m_pLanguage);
        FreeChain(stream.m_pIdentifier);
        FreeChain(stream.m_pTeletext);
        FreeChain(stream.m_pSubtitle);
    }
    m_Streams.clear();
}

void cService::ClearEvents()
{
    for (cEvent& event : m_Events)
        delete event.m_pEvent;
    m_Events.clear();
}

int cService::NumberOfAudio() const
{
    int count = 0;
    for (STREAM const& stream : m_Streams) {
        if (IsAudio(stream.m_byType))
            ++count;
    }
    return count;
}

int cService::SelectAudio(int index)
{
    if (index != -1) {
        m_nAudioIndex = index;
        return m_nAudioIndex;
    }
    ++m_nAudioIndex;
    if (m_nAudioIndex >= NumberOfAudio())
        m_nAudioIndex = 0;
    return m_nAudioIndex;
}

unsigned short cService::VideoPID() const
{
    for (STREAM const& stream : m_Streams) {
        if (IsVideo(stream.m_byType))
            return stream.m_wPid;
    }
    return 0;
}

unsigned short cService::AudioPID() const
{
    int position = 0;
    for (STREAM const& stream : m_Streams) {
        if (!IsAudio(stream.m_byType))
            continue;
        if (position == m_nAudioIndex)
            return stream.m_wPid;
        ++position;
    }
    return 0;
}

unsigned short cService::TeletextPID() const
{
    for (STREAM const& stream : m_Streams) {
        if (stream.m_byType == PRIVATE_DATA && stream.m_pTeletext)
            return stream.m_wPid;
    }
    return 0;
}

unsigned short cService::SubtitlePID() const
{
    for (STREAM const& stream : m_Streams) {
        if (stream.m_byType == PRIVATE_DATA && stream.m_pSubtitle)
            return stream.m_wPid;
    }
    return 0;
}

int cService::SubtitleParam(ULONG* type, ULONG* compositionPage, ULONG* ancillaryPage, ULONG* language) const
{
    for (STREAM const& stream : m_Streams) {
        if (stream.m_byType != PRIVATE_DATA || !stream.m_pSubtitle)
            continue;
        PsiSubtitleRecord const& subtitle = *stream.m_pSubtitle;
        *type = subtitle.subtitling_type;
        *compositionPage = subtitle.composition_page_id;
        *ancillaryPage = subtitle.ancillary_page_id;
        *language = subtitle.language;
        return 1;
    }
    return 0;
}
