#pragma once

#include "Filter.h"
#include "FilterControl.h"
#include "HostMutex.h"
#include "SimCondition.h"
#include "SimMutex.h"
#include "broadcast/ChannelPlan.h"
#include "broadcast/MultiplexSource.h"
#include "vendor/VendorTvApi.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kivo {

class FileObject;

// A transport stream as the tuner hands it on: whole 188-byte packets (MEDIATYPE_Stream, the MPEG-2
// transport subtype).
MediaType transport_stream_type();

// The chip vendor's DVB-T tuner, "TCCDVBTTuneFilter" with its output "Out": it receives the
// device's radio (Radio) on the board's tuner and hands on the tuned multiplex's packets at the
// multiplex's rate on the device clock, from a thread of its own while the graph runs.
//
// - Tuning: SetChannel answers S_OK only when a multiplex locks on the channel of the country's
//   plan (the tuner fitted and powered, a multiplex there that opens, strength and quality above
//   0, the radio on), E_FAIL otherwise; SelectChannelByName tunes the radio folder's file of that
//   name (with its station's signal, or a full one when no station carries it). The first packets
//   after a retune, after a gap in reception and after the multiplex started again from its
//   beginning come in a sample marked as a discontinuity.
// - Reception: what the radio says at each delivery; the packets stop while the lock is lost
//   (tuner out or unpowered, radio off, signal 0) and come back when it returns. Below quality 20
//   a deterministic share of the packets is lost, (20 − quality) in every 20.
// - SetPidFilter: enable 1 passes the listed PIDs (none with count 0), enable 0 every packet.
// - Record: the passing packets also go to a file on the device (created anew; a null path stops);
//   a full volume stops the recording with a debug line, keeping the whole packets written.
// - Properties: 0 country (its channel plan), 3 and 4 the plan's lowest and highest channel,
//   5 the signal as four values (s1 = s3 = (100 − strength) × 65535 / 100, s2 = s4 the C/N in dB
//   that reads back as the quality), 6 the tuned channel's frequency in kHz, 7 scan mode.
// - SetMode(4, x) fails without a tuner fitted.
class TccDvbtTuneFilter final : public Filter
    , public ITsTuner
    , public ITsTunerProperty {
public:
    enum class Operation {
        SelectChannelByName,
        SetChannel,
        SetPidFilter,
        Record,
        SetMode,
        GetProperty,
        SetProperty,
    };

    // One call with its arguments: the two numbers (channel and flag, enable and count, mode and
    // value, property id and the first value), the text (a name or a path) and the PIDs given.
    struct Call {
        Operation operation;
        DWORD first = 0;
        DWORD second = 0;
        std::u16string text;
        std::vector<USHORT> pids;
        HRESULT result = S_OK;
    };

    enum Property : DWORD {
        PropertyCountry = 0,
        PropertyLowestChannel = 3,
        PropertyHighestChannel = 4,
        PropertySignal = 5,
        PropertyFrequency = 6,
        PropertyScanMode = 7,
    };

    static constexpr uint64_t delivery_period_ms = 10;
    static constexpr int full_reception_quality = 20;
    static constexpr int32_t default_country = 886;

    TccDvbtTuneFilter();
    ~TccDvbtTuneFilter() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // ITsTuner
    HRESULT STDMETHODCALLTYPE SelectChannelByName(const WCHAR* name) override;
    HRESULT STDMETHODCALLTYPE SetChannel(DWORD channel, DWORD flag) override;
    HRESULT STDMETHODCALLTYPE SetPidFilter(DWORD enable, const USHORT* pids, DWORD count) override;
    HRESULT STDMETHODCALLTYPE Record(const WCHAR* path, DWORD flag) override;
    HRESULT STDMETHODCALLTYPE SetMode(DWORD mode, DWORD value) override;
    // ITsTunerProperty; property 5 writes four values.
    HRESULT STDMETHODCALLTYPE GetProperty(DWORD id, DWORD* value) override;
    HRESULT STDMETHODCALLTYPE SetProperty(DWORD id, DWORD* value) override;

    // The C/N in dB that the television's programme information reads back as at least
    // `quality` percent, and whether the packet numbered `n` since the tune is lost at `quality`.
    static DWORD carrier_to_noise_for(int quality);
    static bool packet_lost(uint64_t n, int quality);

    // Test control: the calls so far with their results, in order; a result an operation answers,
    // doing nothing, until cleared; the packets handed to the output pin since the filter was made.
    std::vector<Call> calls() const { return m_control.calls(); }
    void force_result(Operation operation, HRESULT result) { m_control.force_result(operation, result); }
    void clear_forced_results() { m_control.clear_forced_results(); }
    uint64_t packets_delivered() const;

private:
    class Output;
    // What is tuned: a frequency of the plan (0 when tuned by name) and its multiplex.
    struct Tuning {
        uint64_t generation = 0;
        uint32_t frequency_khz = 0;
        // Where the multiplex is on the air (a station's, also when tuned by name; 0 when none).
        uint32_t air_khz = 0;
        std::string multiplex;
        std::shared_ptr<MultiplexSource> source;
    };
    struct Signal {
        int strength = 0;
        int quality = 0;
    };
    // What the radio gives the tuned multiplex now; none while the lock is lost.
    std::optional<Signal> reception(const Tuning&) const;
    HRESULT tune(std::optional<uint32_t> frequency_khz, const std::string& multiplex, uint32_t air_khz);
    HRESULT record(Call&, const WCHAR* path);
    void write_recording(const std::vector<uint8_t>& packets);

    void on_pause(FILTER_STATE from) override;
    void on_run(REFERENCE_TIME start) override;
    void on_stop() override;
    void stream();

    Output* m_out = nullptr;
    StreamingThread m_thread;
    // Wakes the streaming thread at a retune, a state change and the stop. With m_lock.
    SimCondition m_wake;
    bool m_stopping = false;
    ChannelPlan m_plan = ChannelPlan::of_country(default_country);
    bool m_scan_mode = false;
    DWORD m_mode = 0;
    uint32_t m_frequency_khz = 0; // of the last channel set
    std::optional<Tuning> m_tuning;
    uint64_t m_generation = 0;
    bool m_filter_enabled = false;
    std::set<USHORT> m_passing;

    // The recording, written by the streaming thread; held across each write.
    SimMutex m_recording_lock;
    std::shared_ptr<FileObject> m_recording;
    std::u16string m_recording_path;

    mutable HostMutex m_record_lock { LockRank::TunerRecord };
    FilterControl<Operation, Call> m_control { device() };
    uint64_t m_packets_delivered = 0;
};

} // namespace kivo
