#pragma once

// The PSI/SI sections and descriptors the builder writes (ISO/IEC 13818-1 and EN 300 468), each
// complete with its header and, where the table has one, its CRC. Times are seconds since
// 1970-01-01 UTC.

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t table_pat = 0x00;
inline constexpr uint8_t table_pmt = 0x02;
inline constexpr uint8_t table_nit_actual = 0x40;
inline constexpr uint8_t table_sdt_actual = 0x42;
inline constexpr uint8_t table_eit_pf_actual = 0x4E;
inline constexpr uint8_t table_eit_schedule_actual = 0x50;
inline constexpr uint8_t table_tdt = 0x70;
inline constexpr uint8_t table_tot = 0x73;

// Days since 1970-01-01 and the civil date, both ways.
int64_t days_from_civil(int year, unsigned month, unsigned day);
void civil_from_days(int64_t days, int& year, unsigned& month, unsigned& day);

// The 40-bit field of MJD and BCD hours, minutes and seconds.
void write_mjd_utc(int64_t unix_seconds, uint8_t out[5]);
// A duration as BCD hours, minutes and seconds (24 bits).
void write_bcd_duration(uint32_t seconds, uint8_t out[3]);

Bytes descriptor(uint8_t tag, const Bytes& payload);

// Descriptors. `language` and `country` are three-letter codes.
Bytes service_descriptor(uint8_t service_type, const Bytes& provider, const Bytes& name);
Bytes short_event_descriptor(const std::string& language, const Bytes& name, const Bytes& text);
Bytes extended_event_descriptor(uint8_t number, uint8_t last_number, const std::string& language, const Bytes& text);
Bytes parental_rating_descriptor(const std::string& country, uint8_t rating);
struct TeletextEntry {
    std::string language;
    uint8_t type;     // 1 initial page, 2 subtitle page, ...
    uint16_t page;    // 100 to 899
};
Bytes teletext_descriptor(const std::vector<TeletextEntry>& entries);
Bytes subtitling_descriptor(const std::string& language, uint8_t type, uint16_t composition_page, uint16_t ancillary_page);
Bytes iso639_language_descriptor(const std::string& language, uint8_t audio_type);
Bytes stream_identifier_descriptor(uint8_t component_tag);
Bytes local_time_offset_descriptor(const std::string& country, int offset_minutes, int64_t time_of_change, int next_offset_minutes);
Bytes network_name_descriptor(const Bytes& name);
struct ServiceListEntry {
    uint16_t service_id;
    uint8_t service_type;
};
Bytes service_list_descriptor(const std::vector<ServiceListEntry>& services);
Bytes terrestrial_delivery_descriptor(uint32_t frequency_khz, uint32_t bandwidth_khz);

// Sections.
struct PatEntry {
    uint16_t program_number;
    uint16_t pmt_pid;
};
Bytes pat_section(uint16_t transport_stream_id, const std::vector<PatEntry>& programs);

struct PmtStream {
    uint8_t stream_type;
    uint16_t pid;
    Bytes descriptors;
};
Bytes pmt_section(uint16_t program_number, uint16_t pcr_pid, const std::vector<PmtStream>& streams);

struct SdtService {
    uint16_t service_id;
    bool eit_schedule;
    bool eit_present_following;
    Bytes descriptors;
};
Bytes sdt_section(uint16_t transport_stream_id, uint16_t original_network_id, const std::vector<SdtService>& services);

struct NitStream {
    uint16_t transport_stream_id;
    uint16_t original_network_id;
    Bytes descriptors;
};
Bytes nit_section(uint16_t network_id, const Bytes& network_descriptors, const std::vector<NitStream>& streams);

struct EitEvent {
    uint16_t event_id;
    int64_t start;
    uint32_t duration;
    uint8_t running_status; // 1 not running, 4 running
    Bytes descriptors;
};
// The fixed part of an EIT section besides its events.
struct EitHeader {
    uint8_t table_id;
    uint16_t service_id;
    uint16_t transport_stream_id;
    uint16_t original_network_id;
    uint8_t version;
    uint8_t section_number;
    uint8_t last_section_number;
    uint8_t segment_last_section_number;
    uint8_t last_table_id;
};
Bytes eit_section(const EitHeader& header, const std::vector<EitEvent>& events);
// The size an event takes in an EIT section.
size_t eit_event_size(const EitEvent& event);
inline constexpr size_t eit_section_limit = 4096;
inline constexpr size_t eit_section_overhead = 18; // header 14 + CRC 4

Bytes tdt_section(int64_t utc);
Bytes tot_section(int64_t utc, const Bytes& descriptors);

} // namespace kivo
