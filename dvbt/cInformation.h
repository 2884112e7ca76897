#pragma once

// The television library's service-information database and channel navigator: grows the country's
// tree of transport streams and services from the PSI/SI parser's records, keeps the broadcast
// time, maps the PIDs of the current service (or, while scanning, of every service of the transport
// stream) and selects services through the player.
//
// The parser's callback runs on the filters' thread while the caller reads the lists and changes
// the service on its own threads, so one lock guards the whole object: the callbacks and every
// public operation hold it, and readers of the fields hold a Lock while they read. The lock is let
// go across the player's stop, run and tuning calls, so a callback waiting for it never holds up
// the graph; holders of a Lock call no operation of the object.

#include "StreamwellExport.h"
#include "TsPlayer.h"
#include "cCountry.h"
#include "platform.h"

#include <atomic>
#include <list>
#include <memory>
#include <vector>

class STREAMWELL_API cInformation {
public:
    explicit cInformation(CTsPlayer& player);
    ~cInformation();

    // A member-wise copy would share the owned countries and free them twice.
    cInformation(const cInformation&) = delete;
    cInformation& operator=(const cInformation&) = delete;

    // Holds the object's lock while the caller reads its fields.
    class STREAMWELL_API Lock {
    public:
        explicit Lock(cInformation& information);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        cInformation& m_Information;
    };

    static const DWORD mdwInformationFileVersion;
    static const WCHAR* const mpszInformationFileName;
    static const WCHAR* const szWeek[7];

    static constexpr int MAX_MAPPED_PIDS = 32;
    static constexpr DWORD STREAM_AUDIO = 0x1, STREAM_VIDEO = 0x2, STREAM_TELETEXT = 0x4, STREAM_SUBTITLE = 0x8;

    void SetCallback();
    static int ZEZInformationReceive(DWORD code, void* record, void* context);
    static int ZEZTeletextReceive(DWORD code, void* record, void* context);

    void Clear();
    int Country(int code);

    void ConvertTime(const SYSTEMTIME& in, SYSTEMTIME& out, int minutes);
    void ConvertTimeUTCToLocal(const SYSTEMTIME& in, SYSTEMTIME& out);
    void LocalTime(SYSTEMTIME& out);
    void SetLocalTimeOffset(int minutes);

    int IsScanned();
    int IsAvailableService(cService* service);
    void SortAvailableServices();
    cService* NextAvailableService(cService* from);
    cService* PrevAvailableService(cService* from);
    cService* NextAvailableServiceByTpye(cService* from, unsigned char type);
    cService* PrevAvailableServiceByTpye(cService* from, unsigned char type);

    int ChannelSelect(cService* service);
    int ChannelSelect(int channel);
    int ChannelSelect(const WCHAR* name);
    int ChannelSelectNext();
    int ChannelSelectPrev();
    int PlayServiceId(int number);
    cService* GetCurService();
    int GetCurServiceId();

    int SelectAudio(int index);
    int EnableVideo(int on);
    int EnableEPG(int on);
    int Pause(int on);
    int Record(int on);

    CTsPlayer& m_Player;
    SYSTEMTIME m_stBroadcastTime {}; // UTC
    LONG m_nLocalOffset = 0;         // minutes from UTC to local time
    std::vector<std::unique_ptr<cCountry>> m_Countries;
    std::list<cService*> m_AvailableServices; // in channel-number order
    cCountry* m_pCurCountry = nullptr;
    cTransportStream* m_pCurTransportStream = nullptr;
    cService* m_pCurService = nullptr;
    DWORD m_dwTunerChannel = 0;
    cService* m_pRememberedTvService = nullptr;
    cService* m_pRememberedRadioService = nullptr;
    DWORD m_dwMode = 1; // 1 TV, 2 radio
    USHORT m_wMappedPids[MAX_MAPPED_PIDS] {};
    int m_nMappedPids = 0;
    HWND m_hTeletextWindow = nullptr;
    DWORD m_dwStreamMask = STREAM_AUDIO | STREAM_VIDEO | STREAM_TELETEXT | STREAM_SUBTITLE;

protected:
    int InformationReceive(DWORD code, void* record);
    int TeletextReceive(DWORD code, void* record);
    int MapPids();

private:
    void Enter();
    void Leave();
    // Lets the lock go across a player call that stops, runs or tunes the graph.
    template<typename Call>
    auto Unlocked(Call call);

    void ReceivePat(const PsiPat& pat);
    int ReceivePmt(const PsiPmt& pmt);
    void ReceiveSdt(const PsiSdt& sdt);
    void ReceiveEit(const PsiEit& eit);
    void ClearMappedPids();
    void MapToPin(const WCHAR* pin, USHORT pid, MEDIA_SAMPLE_CONTENT content);
    int SelectService(cService* service);
    cService* Neighbour(cService* from, bool forward);
    cService* NeighbourByType(cService* from, unsigned char type, bool forward);

    // Holds the lock for one public operation.
    class Operation {
    public:
        explicit Operation(cInformation& information);
        ~Operation();
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        cInformation& m_Information;
    };

    int SwitchVideo(int on);

    CRITICAL_SECTION m_Lock {};
    std::atomic<DWORD> m_dwLockOwner { 0 }; // the thread holding the lock, for the debug checks
    int m_nLockDepth = 0;
};

// The recording file name for a broadcast service name: path separators, reserved and control
// characters become '_', an empty name "TV", at most 64 characters.
STREAMWELL_API void RecordingName(const WCHAR* serviceName, WCHAR* out, int capacity);
