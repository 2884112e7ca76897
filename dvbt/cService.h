#pragma once

// One service of a transport stream: what its PMT, SDT and EIT said (elementary streams, name and
// type, programme-guide events), the teletext pages received for it, and the audio stream the
// user selected. A service owns its stream records with their descriptor chains, its events and
// its teletext pages.

#include "StreamwellExport.h"
#include "cEvent.h"
#include "cTeletextMagazine.h"
#include "platform.h"

#include <list>

class cTransportStream;

class STREAMWELL_API cService {
public:
    // One elementary stream of the PMT, held by value. The descriptor records are heap copies
    // (new) of the first record of each kind the parser delivered, with `next` cleared, or null
    // when absent. `next` may link further records of the kind: the service frees the whole chain
    // (ClearStreams); the STREAM itself frees nothing.
    struct STREAMWELL_API STREAM {
        BYTE m_byType = 0; // ISO/IEC 13818-1 stream_type
        WORD m_wPid = 0;
        PsiLanguageRecord* m_pLanguage = nullptr;
        PsiStreamIdentifierRecord* m_pIdentifier = nullptr;
        PsiTeletextRecord* m_pTeletext = nullptr;
        PsiSubtitleRecord* m_pSubtitle = nullptr;
    };

    static constexpr int TELETEXT_MAGAZINES = 8;

    cService(cTransportStream* transportStream, unsigned short serviceId);
    // Frees the events, the stream records' descriptor chains and the teletext pages.
    ~cService();

    // A copy would share the owned records and free them twice.
    cService(const cService&) = delete;
    cService& operator=(const cService&) = delete;

    // Frees every stream's descriptor chains and empties the stream list.
    void ClearStreams();
    // Frees every event record and empties the event list.
    void ClearEvents();

    // The number of audio streams (types 3, 4, 15 and 128).
    int NumberOfAudio() const;
    // -1 steps to the next audio stream, back to 0 after the last (and stays 0 without audio);
    // any other index is stored as it is. Returns the audio index.
    int SelectAudio(int index);

    // The PID of the first video stream (types 1 and 2), else 0.
    unsigned short VideoPID() const;
    // The PID of the selected audio stream among the audio streams in list order, else 0.
    unsigned short AudioPID() const;
    // The PID of the first private-data stream (type 6) with a teletext record, else 0.
    unsigned short TeletextPID() const;
    // The PID of the first private-data stream with a subtitle record, else 0.
    unsigned short SubtitlePID() const;
    // From the first private-data stream with a subtitle record: its subtitling type, composition
    // and ancillary page ids and language code, and 1. Without one 0, and nothing is written.
    int SubtitleParam(ULONG* type, ULONG* compositionPage, ULONG* ancillaryPage, ULONG* language) const;

    cTransportStream* m_pTransportStream;
    WORD m_wServiceId; // the DVB service id; 0 for the network entry of a PAT
    WORD m_wPmtPid = 0;
    WORD m_wIndex = 0;           // 1-based within the transport stream; 0 until numbered
    BYTE m_byType = 255;         // DVB service type, 1 TV, 2 radio; 255 until an SDT describes it
    WCHAR m_szName[256] {};      // at most 255 characters and a terminating zero
    DWORD m_dwSdtFlags = 0;      // the flags byte of the parser's SDT service record
    DWORD m_dwChannelNumber = 0; // 1-based position among the available services
    BOOL m_bDescribed = FALSE;   // TRUE once an SDT named the service
    std::list<STREAM> m_Streams;
    std::list<cEvent> m_Events; // the service owns the records the handles point to
    // Indexed by the teletext decoder's magazine number.
    cTeletextMagazine m_Teletext[TELETEXT_MAGAZINES];
    // The initial page of packet 8/30.
    DWORD m_dwTeletextInitialMagazine = 1;
    DWORD m_dwTeletextInitialPage = 0;
    int m_nAudioIndex = 0; // among the service's audio streams
};
