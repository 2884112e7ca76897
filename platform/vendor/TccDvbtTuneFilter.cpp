#include "TccDvbtTuneFilter.h"

#include "Board.h"
#include "Device.h"
#include "Errors.h"
#include "FileApi.h"
#include "FileObject.h"
#include "FileSystem.h"
#include "WideText.h"
#include "broadcast/Radio.h"

#include <algorithm>
#include <mutex>

namespace kivo {

namespace {

// At most this much of the air is handed on at once, when the thread was kept from running.
constexpr uint64_t longest_catch_up_ms = 1000;

uint16_t pid_of(const uint8_t* packet)
{
    return static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
}

// The programme information's reading of the C/N: up to 11 dB rises to 18 %, from 12 dB it rises
// from 20 % to 100 % at 30 dB.
int quality_read_from(DWORD cn)
{
    if (cn <= 11)
        return static_cast<int>(cn * 20 / 12);
    if (cn <= 30)
        return static_cast<int>((cn * 80 - 960) / 18 + 20);
    return 100;
}

void debug(Device& device, const std::u16string& text)
{
    device.write_debug(u"TCCDVBTTuneFilter: " + text + u"\r\n");
}

} // namespace

MediaType transport_stream_type()
{
    return MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_TRANSPORT);
}

class TccDvbtTuneFilter::Output final : public OutputPin {
public:
    explicit Output(Filter& owner)
        : OutputPin(owner, u"Out")
    {
    }
    HRESULT check_type(const MediaType& type) override
    {
        return type.major == MEDIATYPE_Stream && type.subtype == MEDIASUBTYPE_MPEG2_TRANSPORT ? S_OK : S_FALSE;
    }
    std::vector<MediaType> proposed_types() override { return { transport_stream_type() }; }
};

TccDvbtTuneFilter::TccDvbtTuneFilter()
    : Filter(CLSID_TCCDVBTTuneFilter, u"TCCDVBTTuneFilter")
{
    auto out = std::make_unique<Output>(*this);
    m_out = out.get();
    add_pin(std::move(out));
}

TccDvbtTuneFilter::~TccDvbtTuneFilter()
{
    // The streaming thread uses what goes here: end it first (a graph has stopped the filter
    // already; one released while running has not).
    if (state() != State_Stopped)
        Stop();
}

void* TccDvbtTuneFilter::find_interface(REFIID iid)
{
    if (iid == IID_ITsTuner)
        return static_cast<ITsTuner*>(this);
    if (iid == IID_ITsTunerProperty)
        return static_cast<ITsTunerProperty*>(this);
    return Filter::find_interface(iid);
}

uint64_t TccDvbtTuneFilter::packets_delivered() const
{
    std::lock_guard guard(m_record_lock);
    return m_packets_delivered;
}

DWORD TccDvbtTuneFilter::carrier_to_noise_for(int quality)
{
    DWORD cn = 0;
    while (quality_read_from(cn) < quality)
        ++cn;
    return cn;
}

bool TccDvbtTuneFilter::packet_lost(uint64_t n, int quality)
{
    if (quality >= full_reception_quality)
        return false;
    // 13 is prime to 20, so each run of 20 packets loses its share spread out, not in a burst.
    return static_cast<int>((n * 13) % full_reception_quality) < full_reception_quality - quality;
}

// Tuning.

std::optional<TccDvbtTuneFilter::Signal> TccDvbtTuneFilter::reception(const Tuning& tuning) const
{
    auto& board = device().component<Board>();
    auto& radio = device().component<Radio>();
    if (!board.tuner_fitted() || !board.tuner_powered() || !radio.on())
        return std::nullopt;
    std::optional<RadioStation> station = tuning.frequency_khz ? radio.station(tuning.frequency_khz) : radio.station_carrying(tuning.multiplex);
    Signal signal { 100, 100 };
    if (station) {
        if (tuning.frequency_khz && station->multiplex != tuning.multiplex)
            return std::nullopt; // another multiplex is on the air there now
        signal = { station->strength, station->quality };
    } else if (tuning.frequency_khz) {
        return std::nullopt;
    }
    if (signal.strength <= 0 || signal.quality <= 0)
        return std::nullopt;
    return signal;
}

HRESULT TccDvbtTuneFilter::tune(std::optional<uint32_t> frequency_khz, const std::string& multiplex, uint32_t air_khz)
{
    Tuning tuning;
    tuning.frequency_khz = frequency_khz.value_or(0);
    tuning.air_khz = air_khz;
    tuning.multiplex = multiplex;
    bool locks = !multiplex.empty() && reception(tuning).has_value();
    if (locks) {
        std::string error;
        tuning.source = device().component<Radio>().open_multiplex(multiplex, error);
        if (!tuning.source) {
            debug(device(), u"no lock on " + to_utf16(multiplex) + u": " + to_utf16(error));
            locks = false;
        }
    }
    {
        std::lock_guard guard(m_lock);
        m_frequency_khz = tuning.frequency_khz;
        if (locks) {
            tuning.generation = ++m_generation;
            m_tuning = std::move(tuning);
        } else {
            m_tuning.reset();
        }
    }
    m_wake.notify_all();
    return locks ? S_OK : E_FAIL;
}

HRESULT TccDvbtTuneFilter::SelectChannelByName(const WCHAR* name)
{
    return m_control.call({ Operation::SelectChannelByName, 0, 0, name ? std::u16string(name) : std::u16string(), {} }, [&](Call&) -> HRESULT {
        if (!name)
            return E_POINTER;
        std::string file = to_utf8(name);
        auto& radio = device().component<Radio>();
        auto found = radio.find_file(file);
        if (!found) {
            std::lock_guard guard(m_lock);
            m_tuning.reset();
            m_frequency_khz = 0;
            return E_FAIL;
        }
        // The name as the folder spells it, so the station carrying it is found.
        std::string spelled = found->filename().string();
        auto station = radio.station_carrying(spelled);
        if (station && station->multiplex != spelled)
            spelled = station->multiplex;
        HRESULT result = tune(std::nullopt, spelled, station ? station->frequency_khz : 0);
        if (station) {
            std::lock_guard guard(m_lock);
            m_frequency_khz = station->frequency_khz;
        }
        return result;
    });
}

HRESULT TccDvbtTuneFilter::SetChannel(DWORD channel, DWORD flag)
{
    return m_control.call({ Operation::SetChannel, channel, flag, {}, {} }, [&](Call&) -> HRESULT {
        std::optional<uint32_t> frequency;
        {
            std::lock_guard guard(m_lock);
            frequency = m_plan.frequency_khz(channel);
        }
        if (!frequency) {
            std::lock_guard guard(m_lock);
            m_tuning.reset();
            m_frequency_khz = 0;
            return E_FAIL;
        }
        auto station = device().component<Radio>().station(*frequency);
        return tune(*frequency, station ? station->multiplex : std::string(), *frequency);
    });
}

HRESULT TccDvbtTuneFilter::SetPidFilter(DWORD enable, const USHORT* pids, DWORD count)
{
    Call record { Operation::SetPidFilter, enable, count, {}, {} };
    if (pids && enable)
        record.pids.assign(pids, pids + count);
    return m_control.call(std::move(record), [&](Call&) -> HRESULT {
        if (enable && count && !pids)
            return E_POINTER;
        std::lock_guard guard(m_lock);
        m_filter_enabled = enable != 0;
        m_passing.clear();
        if (enable && pids)
            m_passing.insert(pids, pids + count);
        return S_OK;
    });
}

HRESULT TccDvbtTuneFilter::Record(const WCHAR* path, DWORD flag)
{
    return m_control.call({ Operation::Record, flag, 0, path ? std::u16string(path) : std::u16string(), {} }, [&](Call& record) {
        return this->record(record, path);
    });
}

HRESULT TccDvbtTuneFilter::record(Call&, const WCHAR* path)
{
    std::lock_guard guard(m_recording_lock);
    m_recording.reset();
    m_recording_path.clear();
    if (!path)
        return S_OK;
    DWORD error = 0;
    bool existed = false;
    FileObject::Access access;
    access.write = true;
    access.share = 0x1;
    auto file = device().component<FileSystem>().open(path, access, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, error, existed);
    if (!file)
        return HRESULT_FROM_WIN32(error);
    m_recording = std::move(file);
    m_recording_path = path;
    return S_OK;
}

void TccDvbtTuneFilter::write_recording(const std::vector<uint8_t>& packets)
{
    std::lock_guard guard(m_recording_lock);
    if (!m_recording || packets.empty())
        return;
    auto& file_system = device().component<FileSystem>();
    DWORD done = 0;
    DWORD error = file_system.write(*m_recording, packets.data(), static_cast<DWORD>(packets.size()), done);
    // A write that does not fit writes nothing: what fits goes in whole packets.
    for (size_t at = 0; error == ERROR_DISK_FULL && at < packets.size(); at += ts_packet_size) {
        DWORD error_of_packet = file_system.write(*m_recording, packets.data() + at, static_cast<DWORD>(ts_packet_size), done);
        if (error_of_packet != ERROR_SUCCESS)
            break;
    }
    if (error == ERROR_SUCCESS)
        return;
    debug(device(), u"recording to " + m_recording_path + u" stopped: " + (error == ERROR_DISK_FULL ? u"the volume is full" : u"error " + to_utf16(std::to_string(error))));
    m_recording.reset();
    m_recording_path.clear();
}

HRESULT TccDvbtTuneFilter::SetMode(DWORD mode, DWORD value)
{
    return m_control.call({ Operation::SetMode, mode, value, {}, {} }, [&](Call&) -> HRESULT {
        if (!device().component<Board>().tuner_fitted())
            return E_FAIL;
        if (mode != 4)
            return E_INVALIDARG;
        std::lock_guard guard(m_lock);
        m_mode = mode;
        return S_OK;
    });
}

// Properties.

HRESULT TccDvbtTuneFilter::GetProperty(DWORD id, DWORD* value)
{
    return m_control.call({ Operation::GetProperty, id, 0, {}, {} }, [&](Call& record) -> HRESULT {
        if (!value)
            return E_POINTER;
        std::unique_lock guard(m_lock);
        switch (id) {
        case PropertyCountry:
            *value = static_cast<DWORD>(m_plan.country());
            break;
        case PropertyLowestChannel:
            *value = m_plan.lowest();
            break;
        case PropertyHighestChannel:
            *value = m_plan.highest();
            break;
        case PropertyFrequency:
            *value = m_frequency_khz;
            break;
        case PropertyScanMode:
            *value = m_scan_mode ? 1 : 0;
            break;
        case PropertySignal: {
            std::optional<Tuning> tuning = m_tuning;
            guard.unlock();
            Signal signal = tuning ? reception(*tuning).value_or(Signal {}) : Signal {};
            value[0] = value[2] = static_cast<DWORD>((100 - signal.strength) * 65535 / 100);
            value[1] = value[3] = carrier_to_noise_for(signal.quality);
            break;
        }
        default:
            return E_INVALIDARG;
        }
        record.second = *value;
        return S_OK;
    });
}

HRESULT TccDvbtTuneFilter::SetProperty(DWORD id, DWORD* value)
{
    return m_control.call({ Operation::SetProperty, id, value ? *value : 0, {}, {} }, [&](Call&) -> HRESULT {
        if (!value)
            return E_POINTER;
        std::lock_guard guard(m_lock);
        switch (id) {
        case PropertyCountry:
            m_plan = ChannelPlan::of_country(static_cast<int32_t>(*value));
            return S_OK;
        case PropertyScanMode:
            m_scan_mode = *value != 0;
            return S_OK;
        default:
            return E_INVALIDARG;
        }
    });
}

// Streaming.

void TccDvbtTuneFilter::on_pause(FILTER_STATE from)
{
    if (from == State_Stopped) {
        {
            std::lock_guard guard(m_lock);
            m_stopping = false;
        }
        m_thread.start([this] { stream(); });
    }
    m_wake.notify_all();
}

void TccDvbtTuneFilter::on_run(REFERENCE_TIME)
{
    m_wake.notify_all();
}

void TccDvbtTuneFilter::on_stop()
{
    if (!m_thread.started())
        return;
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

// While the graph runs, the packets due since the reception began are handed on every
// delivery_period_ms; while it is paused, or nothing is tuned, the air passes unheard and the
// next packets are a discontinuity.
void TccDvbtTuneFilter::stream()
{
    auto& clock = device().clock();
    uint64_t generation = 0;
    std::shared_ptr<MultiplexSource> source;
    uint64_t since_ms = 0;
    uint64_t handed = 0;   // packets read since `since_ms`
    uint64_t numbered = 0; // packets read since the tune, for the loss
    bool discontinuity = true;
    std::unique_lock lock(m_lock);
    while (!m_stopping) {
        if (state() != State_Running || !m_tuning) {
            discontinuity = true;
            source.reset();
            generation = 0;
            m_wake.wait(lock);
            continue;
        }
        if (m_tuning->generation != generation) {
            generation = m_tuning->generation;
            source = m_tuning->source;
            since_ms = clock.now_ms();
            handed = 0;
            numbered = 0;
            discontinuity = true;
        }
        Tuning tuning = *m_tuning;
        bool filter_enabled = m_filter_enabled;
        std::set<USHORT> passing = m_passing;
        lock.unlock();

        uint64_t now = clock.now_ms();
        uint64_t bits_per_second = std::max<uint64_t>(source->bits_per_second(), 1);
        uint64_t due = (now - since_ms) * bits_per_second / (1000 * ts_packet_size * 8);
        uint64_t catch_up = longest_catch_up_ms * bits_per_second / (1000 * ts_packet_size * 8) + 1;
        if (due > handed + catch_up) {
            // The thread was kept from running: what it missed is not heard.
            handed = due - catch_up;
            discontinuity = true;
        }
        size_t count = static_cast<size_t>(due - std::min(due, handed));
        auto signal = reception(tuning);
        if (!signal) {
            // The lock is lost: what the air carries meanwhile is not heard.
            since_ms = now;
            handed = 0;
            discontinuity = true;
        } else if (count) {
            std::vector<uint8_t> air;
            uint64_t utc = clock.system_time();
            SYSTEMTIME utc_now {};
            filetime_to_system_time(utc, utc_now);
            bool looped = source->read(count, utc_now, air);
            handed += count;
            auto withheld = device().component<Radio>().withheld_pids(tuning.air_khz);
            std::vector<uint8_t> passed;
            passed.reserve(air.size());
            for (size_t at = 0; at + ts_packet_size <= air.size(); at += ts_packet_size) {
                const uint8_t* packet = &air[at];
                uint16_t pid = pid_of(packet);
                bool lost = packet_lost(numbered++, signal->quality);
                if (lost || withheld.count(pid) || (filter_enabled && !passing.count(pid)))
                    continue;
                passed.insert(passed.end(), packet, packet + ts_packet_size);
            }
            if (!passed.empty()) {
                auto sample = std::make_shared<MediaSample>();
                sample->discontinuity = discontinuity || looped;
                discontinuity = false;
                size_t packets = passed.size() / ts_packet_size;
                write_recording(passed);
                sample->data = std::move(passed);
                m_out->deliver(sample);
                std::lock_guard guard(m_record_lock);
                m_packets_delivered += packets;
            } else if (looped) {
                discontinuity = true;
            }
        }
        lock.lock();
        if (m_stopping)
            break;
        m_wake.wait(lock, clock.now_ms() + delivery_period_ms);
    }
}

} // namespace kivo
