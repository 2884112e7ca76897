#pragma once

#include "Filter.h"
#include "FilterControl.h"
#include "HostMutex.h"
#include "TransportStreamDemux.h"
#include "vendor/VendorTvApi.h"

#include <array>
#include <string_view>

namespace kivo {

// The chip vendor's transport-stream demultiplexer, "ZEZ RaruTsDemuxer": the input "MPEG-2 Stream"
// takes the tuner's packets, and each output pin ("psi", "Video", "Audio", "Ttx Out", "Sub Out",
// "EPG") carries the PIDs mapped to it through the pin's IMPEG2PIDMap, in the form of each map
// (see TransportStreamDemux). The work is done on the upstream thread; an output that is not
// connected ("EPG" in every wiring) still keeps its maps. The filter is also a reference clock
// that follows the stream's PCR: between two PCRs it runs with the device clock, and it never
// goes back.
class RaruTsDemuxer final : public Filter, public IReferenceClock {
public:
    enum class Operation {
        MapPID,
        UnmapPID,
        EnumPIDMap,
        // IReferenceClock::GetTime: its result may be forced; its calls are not recorded (every
        // renderer asks it all the time).
        GetTime,
    };
    static constexpr std::array<std::u16string_view, 6> output_names { u"psi", u"Video", u"Audio", u"Ttx Out", u"Sub Out", u"EPG" };
    static constexpr std::u16string_view input_name = u"MPEG-2 Stream";

    RaruTsDemuxer();
    ~RaruTsDemuxer() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // IReferenceClock
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override;

    InputPin& input() const { return *m_input; }

    // Test control: calls of the pins' map operations (their target the pin's name), forced results.
    FilterControl<Operation>& control() { return m_control; }
    // How many PCRs the stream has brought.
    uint64_t pcr_count() const;

private:
    class StreamInput;
    class DemuxOutput;
    friend class DemuxOutput;

    HRESULT receive(const SamplePtr&);
    void on_pause(FILTER_STATE from) override;
    void on_stop() override;
    // The stream time now: the clock's time since the last Run's start (0 when not running).
    REFERENCE_TIME stream_now() const;

    HRESULT map_pid(size_t pin, ULONG count, const ULONG* pids, MEDIA_SAMPLE_CONTENT);
    HRESULT unmap_pid(size_t pin, ULONG count, const ULONG* pids);
    HRESULT enum_pid_map(size_t pin, IEnumPIDMap**);

    InputPin* m_input = nullptr;
    std::array<DemuxOutput*, output_names.size()> m_outputs {};
    FilterControl<Operation> m_control { device() };

    // The demultiplexer's state, guarded by the filter's lock (m_lock).
    TransportStreamDemux m_demux { output_names.size() };

    // The clock: the last PCR (continued across jumps) and the device time it came at.
    mutable HostMutex m_clock_lock { LockRank::DemuxerClock };
    std::optional<REFERENCE_TIME> m_clock_pcr;
    uint64_t m_clock_pcr_ms = 0;
    REFERENCE_TIME m_clock_offset = 0; // makes the PCR's time continue the clock's before it
    REFERENCE_TIME m_clock_last = 0;   // the last time given: the clock never goes back
};

} // namespace kivo
