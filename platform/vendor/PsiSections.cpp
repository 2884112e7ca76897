#include "PsiSections.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

namespace kivo {

namespace {

uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
uint16_t pid13(const uint8_t* p) { return uint16_t((p[0] & 0x1F) << 8 | p[1]); }
uint16_t length12(const uint8_t* p) { return uint16_t((p[0] & 0x0F) << 8 | p[1]); }

// A BCD byte's value, or -1 when either digit is above 9.
int bcd(uint8_t byte)
{
    int high = byte >> 4;
    int low = byte & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

bool all_ones(const uint8_t* p, size_t n)
{
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0xFF; });
}

// Walks a descriptor loop: false when a descriptor runs past the loop or `each` refuses one.
template<typename Each>
bool each_descriptor(const uint8_t* p, size_t size, Each&& each)
{
    while (size > 0) {
        if (size < 2)
            return false;
        size_t length = p[1];
        if (2 + length > size)
            return false;
        if (!each(p[0], p + 2, length))
            return false;
        p += 2 + length;
        size -= 2 + length;
    }
    return true;
}

void copy_language(char (&to)[3], const uint8_t* from) { std::memcpy(to, from, 3); }

} // namespace

bool mjd_utc_to_system_time(const uint8_t bytes[5], SYSTEMTIME& out)
{
    int hour = bcd(bytes[2]);
    int minute = bcd(bytes[3]);
    int second = bcd(bytes[4]);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    // The civil date of a day count (days since 1970-01-01, MJD 40587), exact over the whole
    // 16-bit range of MJD (1858 to 2038).
    long mjd = be16(bytes);
    long days = mjd - 40587 + 719468;
    long era = (days >= 0 ? days : days - 146096) / 146097;
    long day_of_era = days - era * 146097;
    long year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    long month_index = (5 * day_of_year + 2) / 153;
    long day = day_of_year - (153 * month_index + 2) / 5 + 1;
    long month = month_index < 10 ? month_index + 3 : month_index - 9;
    long year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    out.wYear = WORD(year);
    out.wMonth = WORD(month);
    out.wDay = WORD(day);
    // MJD 0, 17 November 1858, was a Wednesday; Sunday is 0.
    out.wDayOfWeek = WORD((mjd + 3) % 7);
    out.wHour = WORD(hour);
    out.wMinute = WORD(minute);
    out.wSecond = WORD(second);
    out.wMilliseconds = 0;
    return true;
}

bool bcd_duration_to_system_time(const uint8_t bytes[3], SYSTEMTIME& out)
{
    int hours = bcd(bytes[0]);
    int minutes = bcd(bytes[1]);
    int seconds = bcd(bytes[2]);
    if (hours < 0 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return false;
    out = SYSTEMTIME {};
    out.wHour = WORD(hours);
    out.wMinute = WORD(minutes);
    out.wSecond = WORD(seconds);
    return true;
}

// The records of one delivery, made in a few large blocks and forgotten together after it.
class PsiDecoder::Arena {
public:
    template<typename Record>
    Record* make()
    {
        static_assert(std::is_trivially_destructible_v<Record>);
        if (m_block == m_blocks.size())
            m_blocks.push_back(std::make_unique<std::byte[]>(block_size));
        size_t at = (m_used + alignof(Record) - 1) & ~(alignof(Record) - 1);
        if (at + sizeof(Record) > block_size) {
            if (++m_block == m_blocks.size())
                m_blocks.push_back(std::make_unique<std::byte[]>(block_size));
            at = 0;
        }
        m_used = at + sizeof(Record);
        return new (m_blocks[m_block].get() + at) Record {};
    }
    // The blocks stay for the next delivery.
    void reset()
    {
        m_block = 0;
        m_used = 0;
    }

private:
    static constexpr size_t block_size = 32 * 1024;
    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    size_t m_block = 0;
    size_t m_used = 0;
};

struct PsiDecoder::Table {
    int delivered = -1;  // the version last delivered
    int collecting = -1; // the version whose sections are being gathered
    uint8_t last_section = 0;
    size_t missing = 0;
    std::vector<std::vector<uint8_t>> parts; // by section number; empty until it came
};

PsiDecoder::PsiDecoder(PsiSink& sink)
    : m_sink(sink)
    , m_arena(std::make_unique<Arena>())
{
}

PsiDecoder::~PsiDecoder() = default;

void PsiDecoder::forget_versions()
{
    for (auto& [key, table] : m_tables)
        table.delivered = -1;
    m_eit_versions.clear();
}

void PsiDecoder::forget_all() { m_tables.clear(), m_eit_versions.clear(); }

void PsiDecoder::drop(const char* table, const char* why)
{
    char line[96];
    std::snprintf(line, sizeof line, "psi: %s section dropped: %s", table, why);
    m_sink.dropped(line);
}

void PsiDecoder::sections(const uint8_t* data, size_t size)
{
    while (size >= 3 && data[0] != 0xFF) {
        size_t total = 3 + size_t(length12(data + 1));
        if (total > size) {
            drop("PSI", "cut short");
            return;
        }
        section(data, total);
        data += total;
        size -= total;
    }
}

static const char* table_name(uint8_t table_id)
{
    switch (table_id) {
    case 0x00: return "PAT";
    case 0x02: return "PMT";
    case 0x42: return "SDT";
    case 0x70: return "TDT";
    case 0x73: return "TOT";
    default: return "EIT";
    }
}

void PsiDecoder::section(const uint8_t* data, size_t size)
{
    if (size < 3)
        return;
    const uint8_t table_id = data[0];
    const bool long_form = table_id == 0x00 || table_id == 0x02 || table_id == 0x42 || table_id == 0x4E
        || (table_id >= 0x50 && table_id <= 0x5F);
    if (!long_form && table_id != 0x70 && table_id != 0x73)
        return; // the NIT, other transport streams' tables and the rest are not read
    const char* name = table_name(table_id);
    size_t total = 3 + size_t(length12(data + 1));
    if (total > size || total > max_section_size) {
        drop(name, "cut short");
        return;
    }
    if (table_id == 0x70) {
        PsiTdt tdt {};
        if (total < 8 || !mjd_utc_to_system_time(data + 3, tdt.utc)) {
            drop(name, "bad time");
            return;
        }
        m_sink.record(PSI_RECORD_TDT, &tdt);
        return;
    }
    // The header, the CRC and, for the TOT, its time and loop length.
    if (total < (table_id == 0x73 ? 14u : 12u)) {
        drop(name, "cut short");
        return;
    }
    if (crc32_mpeg2(data, total) != 0) {
        drop(name, "bad CRC");
        return;
    }
    if (table_id == 0x73) {
        PsiTot tot {};
        if (decode_tot(data, total, tot))
            m_sink.record(PSI_RECORD_TOT, &tot);
        m_arena->reset();
        return;
    }
    if (!(data[1] & 0x80)) {
        drop(name, "no section syntax");
        return;
    }
    if (!(data[5] & 0x01))
        return; // not yet applicable
    if (data[6] > data[7]) {
        drop(name, "section number past the last");
        return;
    }
    if (table_id >= 0x4E) {
        PsiEit eit {};
        const uint8_t version = (data[5] >> 1) & 0x1F;
        if (total < 18) {
            drop(name, "cut short");
            return;
        }
        const uint64_t key = uint64_t(table_id) << 56 | uint64_t(data[6]) << 48 | uint64_t(be16(data + 3)) << 32
            | uint64_t(be16(data + 8)) << 16 | be16(data + 10);
        auto [seen, added] = m_eit_versions.try_emplace(key, version);
        if (!added && seen->second == version)
            return;
        if (decode_eit(data, total, eit)) {
            seen->second = version;
            m_sink.record(PSI_RECORD_EIT, &eit);
        } else if (added) {
            m_eit_versions.erase(seen);
        }
        m_arena->reset();
        return;
    }
    table_section(data, total);
}

void PsiDecoder::table_section(const uint8_t* data, size_t size)
{
    const uint8_t table_id = data[0];
    const int version = (data[5] >> 1) & 0x1F;
    const uint8_t number = data[6];
    const uint8_t last = data[7];
    Table& table = m_tables[uint32_t(table_id) << 16 | be16(data + 3)];
    if (table.delivered == version)
        return;
    if (last == 0) {
        // One section: decoded where it lies.
        table.parts.clear();
        table.collecting = -1;
        PsiPat pat {};
        PsiPmt pmt {};
        PsiSdt sdt {};
        bool decoded = false;
        if (table_id == 0x00) {
            PsiPatProgram** tail = &pat.programs;
            decoded = decode_pat(data, size, pat, tail);
            if (decoded)
                m_sink.record(PSI_RECORD_PAT, &pat);
        } else if (table_id == 0x02) {
            decoded = decode_pmt(data, size, pmt);
            if (decoded)
                m_sink.record(PSI_RECORD_PMT, &pmt);
        } else {
            PsiSdtService** tail = &sdt.services;
            decoded = decode_sdt(data, size, sdt, tail);
            if (decoded)
                m_sink.record(PSI_RECORD_SDT, &sdt);
        }
        m_arena->reset();
        if (decoded)
            table.delivered = version;
        return;
    }
    if (table.collecting != version || table.last_section != last) {
        table.collecting = version;
        table.last_section = last;
        table.parts.assign(size_t(last) + 1, {});
        table.missing = size_t(last) + 1;
    }
    if (!table.parts[number].empty())
        return;
    // A broken section is refused as it comes, so a complete table decodes whole.
    bool sound = false;
    if (table_id == 0x00) {
        PsiPat pat {};
        PsiPatProgram** tail = &pat.programs;
        sound = decode_pat(data, size, pat, tail);
    } else if (table_id == 0x02) {
        PsiPmt pmt {};
        sound = decode_pmt(data, size, pmt);
    } else {
        PsiSdt sdt {};
        PsiSdtService** tail = &sdt.services;
        sound = decode_sdt(data, size, sdt, tail);
    }
    m_arena->reset();
    if (!sound)
        return;
    table.parts[number].assign(data, data + size);
    if (--table.missing > 0)
        return;
    deliver_table(table_id, table.parts);
    table.delivered = version;
    table.collecting = -1;
    table.parts.clear();
}

void PsiDecoder::deliver_table(uint8_t table_id, const std::vector<std::vector<uint8_t>>& parts)
{
    if (table_id == 0x00) {
        PsiPat pat {};
        PsiPatProgram** tail = &pat.programs;
        for (const auto& part : parts)
            decode_pat(part.data(), part.size(), pat, tail);
        m_sink.record(PSI_RECORD_PAT, &pat);
    } else if (table_id == 0x02) {
        // A program's streams come in one section; a table of several gives the streams of all.
        PsiPmt pmt {};
        PsiPmtStream* first = nullptr;
        PsiPmtStream** tail = &first;
        for (const auto& part : parts) {
            PsiPmt piece {};
            decode_pmt(part.data(), part.size(), piece);
            if (!first)
                pmt = piece;
            *tail = piece.streams;
            while (*tail)
                tail = &(*tail)->next;
        }
        pmt.streams = first;
        m_sink.record(PSI_RECORD_PMT, &pmt);
    } else {
        PsiSdt sdt {};
        PsiSdtService** tail = &sdt.services;
        for (const auto& part : parts)
            decode_sdt(part.data(), part.size(), sdt, tail);
        m_sink.record(PSI_RECORD_SDT, &sdt);
    }
    m_arena->reset();
}

bool PsiDecoder::decode_pat(const uint8_t* data, size_t size, PsiPat& pat, PsiPatProgram**& tail)
{
    pat.transport_stream_id = be16(data + 3);
    pat.version_number = (data[5] >> 1) & 0x1F;
    const size_t end = size - 4;
    if ((end - 8) % 4 != 0) {
        drop("PAT", "broken program loop");
        return false;
    }
    for (size_t at = 8; at < end; at += 4) {
        auto* program = m_arena->make<PsiPatProgram>();
        program->program_number = be16(data + at);
        program->pmt_pid = pid13(data + at + 2);
        *tail = program;
        tail = &program->next;
    }
    return true;
}

bool PsiDecoder::decode_pmt(const uint8_t* data, size_t size, PsiPmt& pmt)
{
    pmt.program_number = be16(data + 3);
    pmt.version_number = (data[5] >> 1) & 0x1F;
    const size_t end = size - 4;
    if (end < 12) {
        drop("PMT", "cut short");
        return false;
    }
    pmt.pcr_pid = pid13(data + 8);
    size_t at = 12 + length12(data + 10);
    if (at > end || !each_descriptor(data + 12, at - 12, [](uint8_t, const uint8_t*, size_t) { return true; })) {
        drop("PMT", "broken descriptor loop");
        return false;
    }
    PsiPmtStream** tail = &pmt.streams;
    while (at < end) {
        if (at + 5 > end) {
            drop("PMT", "broken stream loop");
            return false;
        }
        auto* stream = m_arena->make<PsiPmtStream>();
        stream->stream_type = data[at];
        stream->elementary_pid = pid13(data + at + 1);
        const size_t info = length12(data + at + 3);
        at += 5;
        if (at + info > end) {
            drop("PMT", "broken descriptor loop");
            return false;
        }
        PsiLanguageRecord** language_tail = &stream->languages;
        PsiStreamIdentifierRecord** identifier_tail = nullptr;
        PsiTeletextRecord** teletext_tail = nullptr;
        PsiSubtitleRecord** subtitle_tail = nullptr;
        bool sound = each_descriptor(data + at, info, [&](uint8_t tag, const uint8_t* body, size_t length) {
            switch (tag) {
            case 0x0A:
                for (size_t i = 0; i + 4 <= length; i += 4) {
                    auto* record = m_arena->make<PsiLanguageRecord>();
                    copy_language(record->language, body + i);
                    record->audio_type = body[i + 3];
                    *language_tail = record;
                    language_tail = &record->next;
                }
                break;
            case 0x52:
                if (length >= 1) {
                    if (!stream->identifiers) {
                        stream->identifiers = m_arena->make<PsiStreamIdentifierHolder>();
                        identifier_tail = &stream->identifiers->first;
                    }
                    auto* record = m_arena->make<PsiStreamIdentifierRecord>();
                    record->component_tag = body[0];
                    *identifier_tail = record;
                    identifier_tail = &record->next;
                    ++stream->identifiers->count;
                }
                break;
            case 0x56:
                for (size_t i = 0; i + 5 <= length; i += 5) {
                    if (!stream->teletext) {
                        stream->teletext = m_arena->make<PsiTeletextHolder>();
                        teletext_tail = &stream->teletext->first;
                    }
                    auto* record = m_arena->make<PsiTeletextRecord>();
                    copy_language(record->language, body + i);
                    record->teletext_type = body[i + 3] >> 3;
                    record->magazine_number = body[i + 3] & 0x07;
                    record->page_number = body[i + 4];
                    *teletext_tail = record;
                    teletext_tail = &record->next;
                    ++stream->teletext->count;
                }
                break;
            case 0x59:
                for (size_t i = 0; i + 8 <= length; i += 8) {
                    if (!stream->subtitles) {
                        stream->subtitles = m_arena->make<PsiSubtitleHolder>();
                        subtitle_tail = &stream->subtitles->first;
                    }
                    auto* record = m_arena->make<PsiSubtitleRecord>();
                    record->language = uint32_t(body[i]) | uint32_t(body[i + 1]) << 8 | uint32_t(body[i + 2]) << 16;
                    record->subtitling_type = body[i + 3];
                    record->composition_page_id = be16(body + i + 4);
                    record->ancillary_page_id = be16(body + i + 6);
                    *subtitle_tail = record;
                    subtitle_tail = &record->next;
                    ++stream->subtitles->count;
                }
                break;
            default:
                break;
            }
            return true;
        });
        if (!sound) {
            drop("PMT", "broken descriptor loop");
            return false;
        }
        at += info;
        *tail = stream;
        tail = &stream->next;
    }
    return true;
}

bool PsiDecoder::decode_sdt(const uint8_t* data, size_t size, PsiSdt& sdt, PsiSdtService**& tail)
{
    sdt.transport_stream_id = be16(data + 3);
    sdt.version_number = (data[5] >> 1) & 0x1F;
    const size_t end = size - 4;
    if (end < 11) {
        drop("SDT", "cut short");
        return false;
    }
    sdt.original_network_id = be16(data + 8);
    size_t at = 11;
    while (at < end) {
        if (at + 5 > end) {
            drop("SDT", "broken service loop");
            return false;
        }
        auto* service = m_arena->make<PsiSdtService>();
        service->service_id = be16(data + at);
        service->eit_schedule_flag = (data[at + 2] >> 1) & 1;
        service->eit_present_following_flag = data[at + 2] & 1;
        service->flags = data[at + 3] & 0xF0;
        const size_t loop = length12(data + at + 3);
        at += 5;
        if (at + loop > end) {
            drop("SDT", "broken descriptor loop");
            return false;
        }
        PsiServiceDescriptor** descriptor_tail = &service->service_descriptor;
        bool sound = each_descriptor(data + at, loop, [&](uint8_t tag, const uint8_t* body, size_t length) {
            if (tag != 0x48)
                return true;
            if (length < 3)
                return false;
            size_t provider = body[1];
            if (3 + provider > length)
                return false;
            size_t name = body[2 + provider];
            if (3 + provider + name > length)
                return false;
            auto* descriptor = m_arena->make<PsiServiceDescriptor>();
            descriptor->service_type = body[0];
            descriptor->provider_name_length = uint8_t(provider);
            descriptor->provider_name = body + 2;
            descriptor->service_name_length = uint8_t(name);
            descriptor->service_name = body + 3 + provider;
            *descriptor_tail = descriptor;
            descriptor_tail = &descriptor->next;
            return true;
        });
        if (!sound) {
            drop("SDT", "broken descriptor loop");
            return false;
        }
        at += loop;
        *tail = service;
        tail = &service->next;
    }
    return true;
}

bool PsiDecoder::decode_eit(const uint8_t* data, size_t size, PsiEit& eit)
{
    eit.service_id = be16(data + 3);
    eit.version_number = (data[5] >> 1) & 0x1F;
    eit.section_number = data[6];
    eit.last_section_number = data[7];
    eit.transport_stream_id = be16(data + 8);
    eit.original_network_id = be16(data + 10);
    eit.segment_last_section_number = data[12];
    eit.table_id = data[0];
    const size_t end = size - 4;
    PsiEitEvent** tail = &eit.events;
    size_t at = 14;
    while (at < end) {
        if (at + 12 > end) {
            drop("EIT", "broken event loop");
            return false;
        }
        auto* event = m_arena->make<PsiEitEvent>();
        event->event_id = be16(data + at);
        if (!all_ones(data + at + 2, 5) && !mjd_utc_to_system_time(data + at + 2, event->start)) {
            drop("EIT", "bad start time");
            return false;
        }
        if (!all_ones(data + at + 7, 3) && !bcd_duration_to_system_time(data + at + 7, event->duration)) {
            drop("EIT", "bad duration");
            return false;
        }
        event->status = data[at + 10] >> 5;
        event->free_ca_mode = (data[at + 10] >> 4) & 1;
        const size_t loop = length12(data + at + 10);
        at += 12;
        if (at + loop > end) {
            drop("EIT", "broken descriptor loop");
            return false;
        }
        PsiShortEvent** short_tail = &event->short_event;
        PsiExtendedEvent** extended_tail = &event->extended_events;
        PsiParentalRating** rating_tail = &event->rating;
        bool sound = each_descriptor(data + at, loop, [&](uint8_t tag, const uint8_t* body, size_t length) {
            if (tag == 0x4D) {
                if (length < 5)
                    return false;
                size_t name = body[3];
                if (5 + name > length)
                    return false;
                size_t text = body[4 + name];
                if (5 + name + text > length)
                    return false;
                auto* record = m_arena->make<PsiShortEvent>();
                copy_language(record->language, body);
                record->name_length = uint8_t(name);
                record->name = body + 4;
                record->text_length = uint8_t(text);
                record->text = body + 5 + name;
                *short_tail = record;
                short_tail = &record->next;
            } else if (tag == 0x4E) {
                if (length < 6)
                    return false;
                size_t items = body[4];
                if (6 + items > length)
                    return false;
                size_t text = body[5 + items];
                if (6 + items + text > length)
                    return false;
                auto* record = m_arena->make<PsiExtendedEvent>();
                record->descriptor_number = body[0] >> 4;
                record->last_descriptor_number = body[0] & 0x0F;
                copy_language(record->language, body + 1);
                record->text_length = uint8_t(text);
                record->text = body + 6 + items;
                *extended_tail = record;
                extended_tail = &record->next;
            } else if (tag == 0x55) {
                for (size_t i = 0; i + 4 <= length; i += 4) {
                    auto* record = m_arena->make<PsiParentalRating>();
                    copy_language(record->country_code, body + i);
                    record->rating = body[i + 3];
                    *rating_tail = record;
                    rating_tail = &record->next;
                }
            }
            return true;
        });
        if (!sound) {
            drop("EIT", "broken descriptor loop");
            return false;
        }
        at += loop;
        *tail = event;
        tail = &event->next;
    }
    return true;
}

bool PsiDecoder::decode_tot(const uint8_t* data, size_t size, PsiTot& tot)
{
    const size_t end = size - 4;
    if (!mjd_utc_to_system_time(data + 3, tot.utc)) {
        drop("TOT", "bad time");
        return false;
    }
    const size_t loop = length12(data + 8);
    if (10 + loop > end) {
        drop("TOT", "broken descriptor loop");
        return false;
    }
    PsiLocalTimeOffset** tail = nullptr;
    bool bad_time = false;
    bool sound = each_descriptor(data + 10, loop, [&](uint8_t tag, const uint8_t* body, size_t length) {
        if (tag != 0x58)
            return true;
        for (size_t i = 0; i + 13 <= length; i += 13) {
            const uint8_t* entry = body + i;
            int hours = bcd(entry[4]), minutes = bcd(entry[5]);
            int next_hours = bcd(entry[11]), next_minutes = bcd(entry[12]);
            auto* record = m_arena->make<PsiLocalTimeOffset>();
            if (hours < 0 || minutes < 0 || next_hours < 0 || next_minutes < 0
                || !mjd_utc_to_system_time(entry + 6, record->time_of_change)) {
                bad_time = true;
                return false;
            }
            const int sign = (entry[3] & 0x01) ? -1 : 1;
            copy_language(record->country_code, entry);
            record->country_region_id = entry[3] >> 2;
            record->offset_minutes = sign * (hours * 60 + minutes);
            record->next_offset_minutes = sign * (next_hours * 60 + next_minutes);
            if (!tot.offsets) {
                tot.offsets = m_arena->make<PsiLocalTimeOffsetHolder>();
                tail = &tot.offsets->first;
            }
            *tail = record;
            tail = &record->next;
            ++tot.offsets->count;
        }
        return true;
    });
    if (!sound) {
        drop("TOT", bad_time ? "bad local time offset" : "broken descriptor loop");
        return false;
    }
    return true;
}

SectionAssembler::SectionAssembler(PsiDecoder& decoder, PsiSink& sink)
    : m_decoder(decoder)
    , m_sink(sink)
{
    m_index.fill(-1);
}

SectionAssembler::Pid& SectionAssembler::state_of(uint16_t pid)
{
    int16_t& index = m_index[pid];
    if (index < 0) {
        index = int16_t(m_pids.size());
        m_pids.push_back({});
        m_pids.back().pid = pid;
    }
    return m_pids[size_t(index)];
}

void SectionAssembler::reset()
{
    for (Pid& state : m_pids) {
        state.partial.clear();
        state.continuity = -1;
    }
}

void SectionAssembler::lose(Pid& state, const char* why)
{
    state.partial.clear();
    char line[96];
    std::snprintf(line, sizeof line, "psi: PID %u: %s, half section dropped", unsigned(state.pid), why);
    m_sink.dropped(line);
}

void SectionAssembler::packets(const uint8_t* data, size_t size)
{
    for (; size >= ts_packet_size; data += ts_packet_size, size -= ts_packet_size)
        packet(data);
}

void SectionAssembler::packet(const uint8_t* p)
{
    if (p[0] != ts_sync_byte)
        return;
    const uint16_t pid = pid13(p + 1);
    if (pid == 0x1FFF)
        return;
    Pid& state = state_of(pid);
    if (p[1] & 0x80) {
        if (!state.partial.empty())
            lose(state, "packet in error");
        state.continuity = -1;
        return;
    }
    const int control = (p[3] >> 4) & 3;
    const int8_t continuity = int8_t(p[3] & 0x0F);
    size_t offset = 4;
    bool discontinuity = false;
    if (control & 2) {
        const size_t adaptation = p[4];
        if (adaptation > 183) {
            if (!state.partial.empty())
                lose(state, "broken adaptation field");
            state.continuity = -1;
            return;
        }
        discontinuity = adaptation > 0 && (p[5] & 0x80);
        offset = 5 + adaptation;
    }
    if (!(control & 1) || offset >= ts_packet_size)
        return; // no payload: the counter stays
    if (state.continuity >= 0 && !discontinuity) {
        if (continuity == state.continuity)
            return; // the one repeat the standard allows
        if (continuity != ((state.continuity + 1) & 0x0F) && !state.partial.empty())
            lose(state, "continuity error");
    } else if (discontinuity && !state.partial.empty()) {
        lose(state, "discontinuity");
    }
    state.continuity = continuity;
    payload(state, p + offset, ts_packet_size - offset, p[1] & 0x40);
}

void SectionAssembler::payload(Pid& state, const uint8_t* data, size_t size, bool unit_start)
{
    if (!unit_start) {
        if (!state.partial.empty())
            continue_section(state, data, size);
        return;
    }
    const size_t pointer = data[0];
    if (1 + pointer > size) {
        if (!state.partial.empty())
            lose(state, "bad pointer field");
        return;
    }
    if (!state.partial.empty() && pointer > 0)
        continue_section(state, data + 1, pointer);
    if (!state.partial.empty())
        lose(state, "section cut short");
    start_sections(state, data + 1 + pointer, size - 1 - pointer);
}

void SectionAssembler::continue_section(Pid& state, const uint8_t* data, size_t size)
{
    auto& partial = state.partial;
    if (partial.size() < 3) {
        size_t take = std::min(3 - partial.size(), size);
        partial.insert(partial.end(), data, data + take);
        data += take;
        size -= take;
        if (partial.size() < 3)
            return;
    }
    const size_t total = 3 + size_t(length12(partial.data() + 1));
    if (total > max_section_size) {
        lose(state, "section too long");
        return;
    }
    const size_t take = std::min(total - partial.size(), size);
    partial.insert(partial.end(), data, data + take);
    if (partial.size() == total) {
        m_decoder.section(partial.data(), partial.size());
        partial.clear();
    }
}

void SectionAssembler::start_sections(Pid& state, const uint8_t* data, size_t size)
{
    while (size > 0 && data[0] != 0xFF) {
        if (size < 3) {
            state.partial.assign(data, data + size);
            return;
        }
        const size_t total = 3 + size_t(length12(data + 1));
        if (total > max_section_size) {
            char line[64];
            std::snprintf(line, sizeof line, "psi: PID %u: section too long, dropped", unsigned(state.pid));
            m_sink.dropped(line);
            return;
        }
        if (total > size) {
            state.partial.reserve(total);
            state.partial.assign(data, data + size);
            return;
        }
        m_decoder.section(data, total);
        data += total;
        size -= total;
    }
}

} // namespace kivo
