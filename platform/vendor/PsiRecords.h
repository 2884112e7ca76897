#pragma once

// The records the PSI/SI parser hands to its callback, one kind a code. A record and all it points
// to (entries, descriptor records, text bytes) are the parser's and are valid only during the call:
// a receiver keeps copies. Every list is linked through its first field, `next`, null at the end.
// Texts are the broadcast's DVB text bytes, not decoded, with their length.

#include "kernel/Types.h"

#include <cstdint>

// The callback codes of the records.
inline constexpr DWORD PSI_RECORD_PAT = 1;
inline constexpr DWORD PSI_RECORD_PMT = 2;
inline constexpr DWORD PSI_RECORD_SDT = 4;
inline constexpr DWORD PSI_RECORD_EIT = 5;
inline constexpr DWORD PSI_RECORD_TDT = 6;
inline constexpr DWORD PSI_RECORD_TOT = 100;

// Code 1: the programs of the transport stream (every section of one version).
struct PsiPatProgram {
    PsiPatProgram* next;
    uint16_t program_number; // 0 names the network PID
    uint16_t pmt_pid;
};

struct PsiPat {
    uint16_t transport_stream_id;
    PsiPatProgram* programs;
    uint8_t version_number;
};

// The descriptor records of an elementary stream. Each kind is a list of its own, in the order of
// the stream's descriptors; a descriptor with several entries gives one record an entry.

// ISO 639 language descriptor (0x0A), one record a language.
struct PsiLanguageRecord {
    PsiLanguageRecord* next;
    char language[3]; // ISO 639-2, as broadcast
    uint8_t audio_type;
};

// Stream identifier descriptor (0x52).
struct PsiStreamIdentifierRecord {
    PsiStreamIdentifierRecord* next;
    uint8_t component_tag;
};

// Teletext descriptor (0x56), one record a page entry.
struct PsiTeletextRecord {
    PsiTeletextRecord* next;
    char language[3];
    uint8_t teletext_type;  // 1 initial page, 2 subtitle page, ...
    uint8_t magazine_number; // 0 stands for magazine 8
    uint8_t page_number;     // two BCD digits, as broadcast
};

// Subtitling descriptor (0x59), one record a subtitle entry.
struct PsiSubtitleRecord {
    PsiSubtitleRecord* next;
    uint32_t language; // the three ISO 639 bytes, the first in the lowest byte
    uint8_t subtitling_type;
    uint16_t composition_page_id;
    uint16_t ancillary_page_id;
};

// Holds a list of records of one kind: the count and the first.
template<typename Record>
struct PsiRecordHolder {
    uint32_t count;
    Record* first;
};

using PsiStreamIdentifierHolder = PsiRecordHolder<PsiStreamIdentifierRecord>;
using PsiTeletextHolder = PsiRecordHolder<PsiTeletextRecord>;
using PsiSubtitleHolder = PsiRecordHolder<PsiSubtitleRecord>;

struct PsiPmtStream {
    PsiPmtStream* next;
    uint8_t stream_type;
    uint16_t elementary_pid;
    PsiLanguageRecord* languages;            // null without one
    PsiStreamIdentifierHolder* identifiers;  // null without one
    PsiTeletextHolder* teletext;             // null without one
    PsiSubtitleHolder* subtitles;            // null without one
};

// Code 2: one program's streams.
struct PsiPmt {
    uint16_t program_number;
    PsiPmtStream* streams;
    uint16_t pcr_pid;
    uint8_t version_number;
};

// Service descriptor (0x48).
struct PsiServiceDescriptor {
    PsiServiceDescriptor* next;
    uint8_t service_type;
    uint8_t provider_name_length;
    const uint8_t* provider_name;
    uint8_t service_name_length;
    const uint8_t* service_name;
};

struct PsiSdtService {
    PsiSdtService* next;
    uint16_t service_id;
    uint8_t eit_schedule_flag;
    uint8_t eit_present_following_flag;
    // The running status (bits 7–5) and the free-CA mode (bit 4) as broadcast.
    uint8_t flags;
    PsiServiceDescriptor* service_descriptor; // the first; null without one
};

// Code 4: the services of the actual transport stream (every section of one version).
struct PsiSdt {
    uint16_t transport_stream_id;
    PsiSdtService* services;
    uint16_t original_network_id;
    uint8_t version_number;
};

// Short event descriptor (0x4D).
struct PsiShortEvent {
    PsiShortEvent* next;
    char language[3];
    uint8_t name_length;
    const uint8_t* name;
    uint8_t text_length;
    const uint8_t* text;
};

// Extended event descriptor (0x4E): one record a descriptor, in the broadcast's order; the texts
// joined make the event's extended text. The items are not carried.
struct PsiExtendedEvent {
    PsiExtendedEvent* next;
    uint8_t descriptor_number;
    uint8_t last_descriptor_number;
    char language[3];
    uint8_t text_length;
    const uint8_t* text;
};

// Parental rating descriptor (0x55), one record a country.
struct PsiParentalRating {
    PsiParentalRating* next;
    char country_code[3];
    uint8_t rating; // 0x01–0x0F: minimum age 3 + rating
};

struct PsiEitEvent {
    PsiEitEvent* next;
    uint16_t event_id;
    SYSTEMTIME start;     // UTC, with the day of the week; all zero when undefined
    SYSTEMTIME duration;  // hours, minutes and seconds; the date fields are 0
    uint8_t free_ca_mode;
    uint8_t status;       // the running status: 1 not running ... 4 running
    PsiShortEvent* short_event;        // the first; null without one
    PsiExtendedEvent* extended_events; // null without one
    PsiParentalRating* rating;         // null without one
};

// Code 5: the events of one EIT section (actual transport stream, present/following or schedule).
struct PsiEit {
    uint16_t service_id;
    uint16_t transport_stream_id;
    uint16_t original_network_id;
    uint8_t table_id;
    uint8_t version_number;
    PsiEitEvent* events;
    uint8_t section_number;
    uint8_t last_section_number;
    uint8_t segment_last_section_number;
};

// Code 6: the time and date.
struct PsiTdt {
    SYSTEMTIME utc;
};

// Local time offset descriptor (0x58), one record a country and region.
struct PsiLocalTimeOffset {
    PsiLocalTimeOffset* next;
    char country_code[3];
    uint8_t country_region_id;
    int32_t offset_minutes;       // local time minus UTC, polarity applied
    SYSTEMTIME time_of_change;    // UTC
    int32_t next_offset_minutes;  // after the change, polarity applied
};

using PsiLocalTimeOffsetHolder = PsiRecordHolder<PsiLocalTimeOffset>;

// Code 100: the time and the local time offsets.
struct PsiTot {
    SYSTEMTIME utc;
    PsiLocalTimeOffsetHolder* offsets; // null without a local time offset descriptor
};
