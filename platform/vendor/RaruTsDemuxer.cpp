#include "RaruTsDemuxer.h"

#include "Device.h"

#include <mutex>

namespace kivo {

namespace {

// A snapshot of a pin's maps, handed out one at a time.
class PidMapEnumerator final : public ComObject<IEnumPIDMap> {
public:
    explicit PidMapEnumerator(std::vector<PID_MAP> maps, size_t next = 0)
        : m_maps(std::move(maps))
        , m_next(next)
    {
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, PID_MAP* out, ULONG* received) override
    {
        if (!out || (count > 1 && !received))
            return E_POINTER;
        ULONG given = 0;
        while (given < count && m_next < m_maps.size())
            out[given++] = m_maps[m_next++];
        if (received)
            *received = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const size_t left = m_maps.size() - m_next;
        m_next += std::min<size_t>(count, left);
        return count > left ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPIDMap** copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new PidMapEnumerator(m_maps, m_next);
        return S_OK;
    }

private:
    std::vector<PID_MAP> m_maps;
    size_t m_next;
};

// The transport stream as the tuner delivers it.
MediaType transport_stream_type() { return MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT); }

// What each output proposes; any type its downstream filter proposes is taken as well, since what a
// pin carries is decided by its maps, not by its connection.
MediaType output_type(size_t pin)
{
    switch (pin) {
    case 1:
        return MediaType(MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO);
    case 2:
        return MediaType(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG2_AUDIO);
    case 0:
    case 5:
        return MediaType(MEDIATYPE_MPEG2_SECTIONS, GUID {});
    default:
        return MediaType(MEDIATYPE_MPEG2_PES, GUID {});
    }
}

} // namespace

class RaruTsDemuxer::DemuxOutput final : public OutputPin, public IMPEG2PIDMap {
public:
    DemuxOutput(RaruTsDemuxer& owner, size_t index)
        : OutputPin(owner, std::u16string(output_names[index]))
        , m_demuxer(owner)
        , m_index(index)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object && iid == IID_IMPEG2PIDMap) {
            *object = static_cast<IMPEG2PIDMap*>(this);
            AddRef();
            return S_OK;
        }
        return OutputPin::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OutputPin::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OutputPin::Release(); }

    HRESULT check_type(const MediaType&) override { return S_OK; }
    std::vector<MediaType> proposed_types() override { return { output_type(m_index) }; }

    HRESULT STDMETHODCALLTYPE MapPID(ULONG count, ULONG* pids, MEDIA_SAMPLE_CONTENT content) override
    {
        return m_demuxer.m_control.call({ Operation::MapPID, 0, 0, name() }, [&] { return m_demuxer.map_pid(m_index, count, pids, content); });
    }
    HRESULT STDMETHODCALLTYPE UnmapPID(ULONG count, ULONG* pids) override
    {
        return m_demuxer.m_control.call({ Operation::UnmapPID, 0, 0, name() }, [&] { return m_demuxer.unmap_pid(m_index, count, pids); });
    }
    HRESULT STDMETHODCALLTYPE EnumPIDMap(IEnumPIDMap** maps) override
    {
        return m_demuxer.m_control.call({ Operation::EnumPIDMap, 0, 0, name() }, [&] { return m_demuxer.enum_pid_map(m_index, maps); });
    }

private:
    RaruTsDemuxer& m_demuxer;
    size_t m_index;
};

class RaruTsDemuxer::StreamInput final : public InputPin {
public:
    explicit StreamInput(RaruTsDemuxer& owner)
        : InputPin(owner, std::u16string(input_name))
        , m_demuxer(owner)
    {
    }

    HRESULT check_type(const MediaType& type) override { return type.major == MEDIATYPE_Stream ? S_OK : S_FALSE; }
    std::vector<MediaType> proposed_types() override { return { transport_stream_type() }; }
    HRESULT receive(const SamplePtr& sample) override { return m_demuxer.receive(sample); }
    void end_of_stream() override
    {
        for (DemuxOutput* output : m_demuxer.m_outputs)
            static_cast<OutputPin*>(output)->deliver_end_of_stream();
    }
    void begin_flush() override
    {
        for (DemuxOutput* output : m_demuxer.m_outputs)
            static_cast<OutputPin*>(output)->deliver_begin_flush();
    }
    void end_flush() override
    {
        {
            std::lock_guard guard(m_demuxer.m_lock);
            m_demuxer.m_demux.reset();
        }
        for (DemuxOutput* output : m_demuxer.m_outputs)
            static_cast<OutputPin*>(output)->deliver_end_flush();
    }

private:
    RaruTsDemuxer& m_demuxer;
};

RaruTsDemuxer::RaruTsDemuxer()
    : Filter(CLSID_RaruTsDemuxer, u"ZEZ RaruTsDemuxer")
{
    auto input = std::make_unique<StreamInput>(*this);
    m_input = input.get();
    add_pin(std::move(input));
    for (size_t index = 0; index < output_names.size(); ++index) {
        auto output = std::make_unique<DemuxOutput>(*this, index);
        m_outputs[index] = output.get();
        add_pin(std::move(output));
    }
}

RaruTsDemuxer::~RaruTsDemuxer() = default;

void* RaruTsDemuxer::find_interface(REFIID iid)
{
    if (iid == IID_IReferenceClock)
        return static_cast<IReferenceClock*>(this);
    return Filter::find_interface(iid);
}

uint64_t RaruTsDemuxer::pcr_count() const
{
    std::lock_guard guard(m_lock);
    return m_demux.pcr_count();
}

// Maps.

HRESULT RaruTsDemuxer::map_pid(size_t pin, ULONG count, const ULONG* pids, MEDIA_SAMPLE_CONTENT content)
{
    if (count == 0)
        return E_INVALIDARG;
    if (!pids)
        return E_POINTER;
    if (content < MEDIA_TRANSPORT_PACKET || content > MEDIA_TRANSPORT_PAYLOAD)
        return E_INVALIDARG;
    for (ULONG i = 0; i < count; ++i) {
        if (pids[i] > TransportStreamDemux::max_pid)
            return E_INVALIDARG;
    }
    std::lock_guard guard(m_lock);
    for (ULONG i = 0; i < count; ++i)
        m_demux.map(pin, pids[i], content);
    return S_OK;
}

HRESULT RaruTsDemuxer::unmap_pid(size_t pin, ULONG count, const ULONG* pids)
{
    if (count == 0)
        return E_INVALIDARG;
    if (!pids)
        return E_POINTER;
    std::lock_guard guard(m_lock);
    // All or nothing: a PID that is not mapped fails the call and nothing is unmapped.
    for (ULONG i = 0; i < count; ++i) {
        if (!m_demux.is_mapped(pin, pids[i]))
            return E_INVALIDARG;
    }
    for (ULONG i = 0; i < count; ++i)
        m_demux.unmap(pin, pids[i]);
    return S_OK;
}

HRESULT RaruTsDemuxer::enum_pid_map(size_t pin, IEnumPIDMap** maps)
{
    if (!maps)
        return E_POINTER;
    std::vector<PID_MAP> list;
    {
        std::lock_guard guard(m_lock);
        for (auto [pid, content] : m_demux.mapped(pin))
            list.push_back({ pid, content });
    }
    *maps = new PidMapEnumerator(std::move(list));
    return S_OK;
}

// Streaming.

REFERENCE_TIME RaruTsDemuxer::stream_now() const
{
    if (state() != State_Running)
        return 0;
    auto now = clock_now();
    return now ? *now - start_time() : 0;
}

HRESULT RaruTsDemuxer::receive(const SamplePtr& sample)
{
    if (state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    const REFERENCE_TIME now = stream_now();
    std::vector<TransportStreamDemux::Output> out;
    std::optional<REFERENCE_TIME> pcr;
    {
        std::lock_guard guard(m_lock);
        const uint64_t pcrs_before = m_demux.pcr_count();
        m_demux.push(sample->data, sample->discontinuity, now, out);
        if (m_demux.pcr_count() != pcrs_before)
            pcr = m_demux.last_pcr();
    }
    if (pcr) {
        const uint64_t now_ms = device().clock().now_ms();
        std::lock_guard guard(m_clock_lock);
        if (!m_clock_pcr) {
            // The first PCR: the clock goes on from where the device clock had it.
            m_clock_offset = REFERENCE_TIME(now_ms) * 10'000 + m_clock_offset - *pcr;
        }
        m_clock_pcr = pcr;
        m_clock_pcr_ms = now_ms;
    }
    // Each output hands its samples on by itself: a pin not connected or refusing stops nothing
    // else (the tuner's stream goes on to the other pins).
    for (auto& [pin, output] : out)
        static_cast<OutputPin*>(m_outputs[pin])->deliver(output);
    return S_OK;
}

void RaruTsDemuxer::on_pause(FILTER_STATE from)
{
    if (from != State_Stopped)
        return;
    std::lock_guard guard(m_lock);
    m_demux.reset();
}

void RaruTsDemuxer::on_stop()
{
    std::lock_guard guard(m_lock);
    m_demux.reset();
}

// The clock.

HRESULT RaruTsDemuxer::GetTime(REFERENCE_TIME* time)
{
    if (auto forced = m_control.forced_result(Operation::GetTime))
        return *forced;
    if (!time)
        return E_POINTER;
    const uint64_t now_ms = device().clock().now_ms();
    std::lock_guard guard(m_clock_lock);
    REFERENCE_TIME value = m_clock_pcr ? *m_clock_pcr + m_clock_offset + REFERENCE_TIME(now_ms - m_clock_pcr_ms) * 10'000
                                       : REFERENCE_TIME(now_ms) * 10'000 + m_clock_offset;
    m_clock_last = std::max(m_clock_last, value);
    *time = m_clock_last;
    return S_OK;
}

} // namespace kivo
