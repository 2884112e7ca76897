#include "broadcast/Sections.h"

#include "broadcast/Crc32.h"

#include <cstdlib>

namespace kivo {

namespace {

void put16(Bytes& out, unsigned value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// A loop of descriptors (or of entries) behind its 12-bit length, the top four bits `reserved`.
void put_loop(Bytes& out, const Bytes& loop, unsigned reserved = 0xF)
{
    put16(out, (reserved << 12) | (loop.size() & 0x0FFF));
    out.insert(out.end(), loop.begin(), loop.end());
}

void put_code(Bytes& out, const std::string& code)
{
    for (size_t i = 0; i < 3; ++i)
        out.push_back(i < code.size() ? static_cast<uint8_t>(code[i]) : ' ');
}

uint8_t bcd(unsigned value) { return static_cast<uint8_t>(((value / 10) << 4) | (value % 10)); }

void append_crc(Bytes& section)
{
    uint32_t crc = crc32_mpeg2(section.data(), section.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        section.push_back(static_cast<uint8_t>(crc >> shift));
}

// A section with the syntax indicator set: header, body, CRC.
Bytes long_section(uint8_t table_id, uint16_t extension, uint8_t version, uint8_t number, uint8_t last, const Bytes& body)
{
    Bytes section{table_id, 0, 0};
    put16(section, extension);
    section.push_back(static_cast<uint8_t>(0xC1 | ((version & 0x1F) << 1)));
    section.push_back(number);
    section.push_back(last);
    section.insert(section.end(), body.begin(), body.end());
    size_t length = section.size() - 3 + 4;
    section[1] = static_cast<uint8_t>(0xB0 | (length >> 8));
    section[2] = static_cast<uint8_t>(length);
    append_crc(section);
    return section;
}

} // namespace

int64_t days_from_civil(int year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

void civil_from_days(int64_t days, int& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned mp = (5 * day_of_year + 2) / 153;
    day = day_of_year - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(year_of_era + era * 400 + (month <= 2));
}

void write_mjd_utc(int64_t unix_seconds, uint8_t out[5])
{
    int64_t days = unix_seconds >= 0 ? unix_seconds / 86400 : -((-unix_seconds + 86399) / 86400);
    int64_t second_of_day = unix_seconds - days * 86400;
    auto mjd = static_cast<uint16_t>(days + 40587);
    out[0] = static_cast<uint8_t>(mjd >> 8);
    out[1] = static_cast<uint8_t>(mjd);
    out[2] = bcd(static_cast<unsigned>(second_of_day / 3600));
    out[3] = bcd(static_cast<unsigned>(second_of_day / 60 % 60));
    out[4] = bcd(static_cast<unsigned>(second_of_day % 60));
}

void write_bcd_duration(uint32_t seconds, uint8_t out[3])
{
    out[0] = bcd(seconds / 3600 % 100);
    out[1] = bcd(seconds / 60 % 60);
    out[2] = bcd(seconds % 60);
}

Bytes descriptor(uint8_t tag, const Bytes& payload)
{
    Bytes out{tag, static_cast<uint8_t>(payload.size())};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes service_descriptor(uint8_t service_type, const Bytes& provider, const Bytes& name)
{
    Bytes payload{service_type, static_cast<uint8_t>(provider.size())};
    payload.insert(payload.end(), provider.begin(), provider.end());
    payload.push_back(static_cast<uint8_t>(name.size()));
    payload.insert(payload.end(), name.begin(), name.end());
    return descriptor(0x48, payload);
}

Bytes short_event_descriptor(const std::string& language, const Bytes& name, const Bytes& text)
{
    Bytes payload;
    put_code(payload, language);
    payload.push_back(static_cast<uint8_t>(name.size()));
    payload.insert(payload.end(), name.begin(), name.end());
    payload.push_back(static_cast<uint8_t>(text.size()));
    payload.insert(payload.end(), text.begin(), text.end());
    return descriptor(0x4D, payload);
}

Bytes extended_event_descriptor(uint8_t number, uint8_t last_number, const std::string& language, const Bytes& text)
{
    Bytes payload{static_cast<uint8_t>((number << 4) | (last_number & 0x0F))};
    put_code(payload, language);
    payload.push_back(0); // no items
    payload.push_back(static_cast<uint8_t>(text.size()));
    payload.insert(payload.end(), text.begin(), text.end());
    return descriptor(0x4E, payload);
}

Bytes parental_rating_descriptor(const std::string& country, uint8_t rating)
{
    Bytes payload;
    put_code(payload, country);
    payload.push_back(rating);
    return descriptor(0x55, payload);
}

Bytes teletext_descriptor(const std::vector<TeletextEntry>& entries)
{
    Bytes payload;
    for (const TeletextEntry& entry : entries) {
        put_code(payload, entry.language);
        unsigned magazine = entry.page / 100 % 8;
        payload.push_back(static_cast<uint8_t>((entry.type << 3) | magazine));
        payload.push_back(bcd(entry.page % 100));
    }
    return descriptor(0x56, payload);
}

Bytes subtitling_descriptor(const std::string& language, uint8_t type, uint16_t composition_page, uint16_t ancillary_page)
{
    Bytes payload;
    put_code(payload, language);
    payload.push_back(type);
    put16(payload, composition_page);
    put16(payload, ancillary_page);
    return descriptor(0x59, payload);
}

Bytes iso639_language_descriptor(const std::string& language, uint8_t audio_type)
{
    Bytes payload;
    put_code(payload, language);
    payload.push_back(audio_type);
    return descriptor(0x0A, payload);
}

Bytes stream_identifier_descriptor(uint8_t component_tag) { return descriptor(0x52, {component_tag}); }

Bytes local_time_offset_descriptor(const std::string& country, int offset_minutes, int64_t time_of_change, int next_offset_minutes)
{
    Bytes payload;
    put_code(payload, country);
    payload.push_back(static_cast<uint8_t>(0x02 | (offset_minutes < 0 ? 1 : 0))); // region 0, reserved bit, polarity
    unsigned offset = static_cast<unsigned>(std::abs(offset_minutes));
    payload.push_back(bcd(offset / 60));
    payload.push_back(bcd(offset % 60));
    uint8_t change[5];
    write_mjd_utc(time_of_change, change);
    payload.insert(payload.end(), change, change + 5);
    unsigned next = static_cast<unsigned>(std::abs(next_offset_minutes));
    payload.push_back(bcd(next / 60));
    payload.push_back(bcd(next % 60));
    return descriptor(0x58, payload);
}

Bytes network_name_descriptor(const Bytes& name) { return descriptor(0x40, name); }

Bytes service_list_descriptor(const std::vector<ServiceListEntry>& services)
{
    Bytes payload;
    for (const ServiceListEntry& service : services) {
        put16(payload, service.service_id);
        payload.push_back(service.service_type);
    }
    return descriptor(0x41, payload);
}

Bytes terrestrial_delivery_descriptor(uint32_t frequency_khz, uint32_t bandwidth_khz)
{
    Bytes payload;
    uint32_t centre = frequency_khz * 100; // in units of 10 Hz
    for (int shift = 24; shift >= 0; shift -= 8)
        payload.push_back(static_cast<uint8_t>(centre >> shift));
    uint8_t bandwidth = bandwidth_khz >= 8000 ? 0 : bandwidth_khz >= 7000 ? 1 : bandwidth_khz >= 6000 ? 2 : 3;
    payload.push_back(static_cast<uint8_t>((bandwidth << 5) | 0x1F)); // high priority, no time slicing or MPE-FEC
    payload.push_back(0x41); // 16-QAM, not hierarchical, code rate 2/3
    payload.push_back(0x32); // low priority code rate 2/3 (unused), guard interval 1/8, 8k mode, one frequency
    for (int i = 0; i < 4; ++i)
        payload.push_back(0xFF);
    return descriptor(0x5A, payload);
}

Bytes pat_section(uint16_t transport_stream_id, const std::vector<PatEntry>& programs)
{
    Bytes body;
    for (const PatEntry& program : programs) {
        put16(body, program.program_number);
        put16(body, 0xE000 | program.pmt_pid);
    }
    return long_section(table_pat, transport_stream_id, 0, 0, 0, body);
}

Bytes pmt_section(uint16_t program_number, uint16_t pcr_pid, const std::vector<PmtStream>& streams)
{
    Bytes body;
    put16(body, 0xE000 | pcr_pid);
    put_loop(body, {});
    for (const PmtStream& stream : streams) {
        body.push_back(stream.stream_type);
        put16(body, 0xE000 | stream.pid);
        put_loop(body, stream.descriptors);
    }
    Bytes section = long_section(table_pmt, program_number, 0, 0, 0, body);
    return section;
}

Bytes sdt_section(uint16_t transport_stream_id, uint16_t original_network_id, const std::vector<SdtService>& services)
{
    Bytes body;
    put16(body, original_network_id);
    body.push_back(0xFF);
    for (const SdtService& service : services) {
        put16(body, service.service_id);
        body.push_back(static_cast<uint8_t>(0xFC | (service.eit_schedule ? 2 : 0) | (service.eit_present_following ? 1 : 0)));
        put_loop(body, service.descriptors, 0x8); // running, not scrambled
    }
    return long_section(table_sdt_actual, transport_stream_id, 0, 0, 0, body);
}

Bytes nit_section(uint16_t network_id, const Bytes& network_descriptors, const std::vector<NitStream>& streams)
{
    Bytes body;
    put_loop(body, network_descriptors);
    Bytes loop;
    for (const NitStream& stream : streams) {
        put16(loop, stream.transport_stream_id);
        put16(loop, stream.original_network_id);
        put_loop(loop, stream.descriptors);
    }
    put_loop(body, loop);
    return long_section(table_nit_actual, network_id, 0, 0, 0, body);
}

size_t eit_event_size(const EitEvent& event) { return 12 + event.descriptors.size(); }

Bytes eit_section(const EitHeader& header, const std::vector<EitEvent>& events)
{
    Bytes body;
    put16(body, header.transport_stream_id);
    put16(body, header.original_network_id);
    body.push_back(header.segment_last_section_number);
    body.push_back(header.last_table_id);
    for (const EitEvent& event : events) {
        put16(body, event.event_id);
        uint8_t start[5];
        write_mjd_utc(event.start, start);
        body.insert(body.end(), start, start + 5);
        uint8_t duration[3];
        write_bcd_duration(event.duration, duration);
        body.insert(body.end(), duration, duration + 3);
        put_loop(body, event.descriptors, static_cast<unsigned>(event.running_status << 1)); // not scrambled
    }
    return long_section(header.table_id, header.service_id, header.version, header.section_number, header.last_section_number, body);
}

Bytes tdt_section(int64_t utc)
{
    Bytes section{table_tdt, 0x70, 5};
    uint8_t time[5];
    write_mjd_utc(utc, time);
    section.insert(section.end(), time, time + 5);
    return section;
}

Bytes tot_section(int64_t utc, const Bytes& descriptors)
{
    Bytes section{table_tot, 0, 0};
    uint8_t time[5];
    write_mjd_utc(utc, time);
    section.insert(section.end(), time, time + 5);
    put_loop(section, descriptors);
    size_t length = section.size() - 3 + 4;
    section[1] = static_cast<uint8_t>(0x70 | (length >> 8));
    section[2] = static_cast<uint8_t>(length);
    append_crc(section);
    return section;
}

} // namespace kivo
