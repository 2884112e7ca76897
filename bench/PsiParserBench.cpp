// The PSI/SI parser's section assembly and decoding against libdvbpsi's packet push, over the TS
// packets of one multiplex: PAT, four PMTs, SDT, EIT present/following and eight days of schedule
// for four services, TDT and TOT. Both take every packet and decode the same descriptors (service,
// short and extended event, parental rating, ISO 639 language, stream identifier, teletext,
// subtitling, local time offset); each pass starts from fresh decoders, so every table is new to
// it. Both sides add up the same figures from what they decoded, and a disagreement fails the run.
//
// The multiplex is written here with the parser tests' section writer; `multiplex_packets()` is
// the one place to swap in another source of packets (a file written by the multiplex builder).

#include "PsiSections.h"
#include "PsiTestSections.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/dr_0a.h>
#include <dvbpsi/dr_48.h>
#include <dvbpsi/dr_4d.h>
#include <dvbpsi/dr_4e.h>
#include <dvbpsi/dr_52.h>
#include <dvbpsi/dr_55.h>
#include <dvbpsi/dr_56.h>
#include <dvbpsi/dr_58.h>
#include <dvbpsi/dr_59.h>
#include <dvbpsi/eit.h>
#include <dvbpsi/pat.h>
#include <dvbpsi/pmt.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/sdt.h>
#include <dvbpsi/tot.h>
}

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr unsigned service_count = 4;
constexpr unsigned tsid = 0x0101;
constexpr unsigned onid = 0x3001;

unsigned pmt_pid(unsigned service) { return 0x100 + service * 0x10; }

Bytes pmt_section(unsigned service)
{
    const unsigned base = pmt_pid(service);
    Bytes body;
    put16(body, 0xE000 | (base + 1));
    append(body, loop({}));
    auto stream = [&](uint8_t type, unsigned pid, const Bytes& descriptors) {
        body.push_back(type);
        put16(body, 0xE000 | pid);
        append(body, loop(descriptors));
    };
    stream(2, base + 1, descriptor(0x52, { 1 }));
    Bytes audio = descriptor(0x0A, { 'c', 'h', 'i', 0 });
    append(audio, descriptor(0x52, { 2 }));
    stream(3, base + 2, audio);
    stream(6, base + 3, descriptor(0x56, { 'c', 'h', 'i', 0x09, 0x00, 'e', 'n', 'g', 0x11, 0x88 }));
    stream(6, base + 4, descriptor(0x59, { 'c', 'h', 'i', 0x10, 0x00, 0x01, 0x00, 0x02 }));
    return long_section(0x02, 1 + service, 0, 0, 0, body);
}

Bytes event_descriptors(unsigned service, unsigned event)
{
    const std::string name = "Programme " + std::to_string(service) + "-" + std::to_string(event);
    Bytes d = short_event("chi", text(name), text(std::string(60, char('a' + event % 26))));
    append(d, extended_event(0, 0, "chi", text(std::string(100, char('A' + event % 26)))));
    append(d, descriptor(0x55, { 'T', 'W', 'N', uint8_t(event % 16) }));
    return d;
}

// Half-hour events from 2026-12-11 00:00 UTC: the schedule's sections hold three hours each.
Bytes half_hour_event(unsigned service, unsigned index)
{
    const unsigned minutes = index * 30;
    const unsigned day = 11 + minutes / (24 * 60);
    return eit_event(index, utc(2026, 12, int(day), int(minutes / 60 % 24), int(minutes % 60), 0), { 0x00, 0x30, 0x00 }, 1,
        event_descriptors(service, index));
}

// One section a PUSI packet onwards, its last packet stuffed.
void put_section(Bytes& packets, unsigned pid, const Bytes& section, std::map<unsigned, uint8_t>& counters)
{
    append(packets, packetise(pid, section, counters[pid]));
}

Bytes multiplex_packets()
{
    std::map<unsigned, uint8_t> counters;
    Bytes packets;
    put_section(packets, 0x00, [] {
        Bytes body;
        put16(body, 0);
        put16(body, 0xE010);
        for (unsigned s = 0; s < service_count; ++s) {
            put16(body, 1 + s);
            put16(body, 0xE000 | pmt_pid(s));
        }
        return long_section(0x00, tsid, 0, 0, 0, body);
    }(), counters);
    for (unsigned s = 0; s < service_count; ++s)
        put_section(packets, pmt_pid(s), pmt_section(s), counters);
    Bytes services;
    for (unsigned s = 0; s < service_count; ++s)
        append(services, sdt_service(1 + s, 1, text("Kivo"), text("Service " + std::to_string(s))));
    put_section(packets, 0x11, sdt_section(tsid, onid, 0, services), counters);
    // The carousel's next round begins with each EIT table's last section again: libdvbpsi
    // takes a table as whole only when a section comes a second time.
    std::vector<Bytes> next_round;
    for (unsigned s = 0; s < service_count; ++s) {
        put_section(packets, 0x12, eit_section(0x4E, 1 + s, tsid, onid, 0, 0, half_hour_event(s, 0), 1), counters);
        next_round.push_back(eit_section(0x4E, 1 + s, tsid, onid, 0, 1, half_hour_event(s, 1), 1));
        put_section(packets, 0x12, next_round.back(), counters);
        // Eight days: 0x50 the first four, 0x51 the next; 32 sections of three hours each.
        for (unsigned table = 0; table < 2; ++table) {
            for (unsigned section = 0; section < 32; ++section) {
                Bytes events;
                for (unsigned e = 0; e < 6; ++e)
                    append(events, half_hour_event(s, (table * 32 + section) * 6 + e));
                put_section(packets, 0x12, eit_section(uint8_t(0x50 + table), 1 + s, tsid, onid, 0, section, events, 31), counters);
            }
            next_round.push_back(eit_section(uint8_t(0x50 + table), 1 + s, tsid, onid, 0, 31, [&] {
                Bytes events;
                for (unsigned e = 0; e < 6; ++e)
                    append(events, half_hour_event(s, (table * 32 + 31) * 6 + e));
                return events;
            }(), 31));
        }
    }
    for (const Bytes& section : next_round)
        put_section(packets, 0x12, section, counters);
    put_section(packets, 0x14, tdt_section(utc(2026, 12, 11, 12, 0, 0)), counters);
    put_section(packets, 0x14,
        tot_section(utc(2026, 12, 11, 12, 0, 0), descriptor(0x58, offset_entry("TWN", 0, 480, utc(2027, 1, 1, 0, 0, 0), 480))), counters);
    return packets;
}

const Bytes& packets()
{
    static const Bytes made = multiplex_packets();
    return made;
}

// The figures both sides add up.
struct Tally {
    long tables = 0, programs = 0, streams = 0, stream_descriptors = 0, services = 0, name_bytes = 0, events = 0, text_bytes = 0,
         ratings = 0, offsets = 0;
    bool operator==(const Tally&) const = default;
    void print(const char* who) const
    {
        std::fprintf(stderr, "%s: tables %ld programs %ld streams %ld stream descriptors %ld services %ld name bytes %ld events %ld text bytes %ld ratings %ld offsets %ld\n",
            who, tables, programs, streams, stream_descriptors, services, name_bytes, events, text_bytes, ratings, offsets);
    }
};

// Ours: the records as the filter's callback gets them.
struct OurSink final : PsiSink {
    Tally tally;
    void record(DWORD code, void* record) override
    {
        ++tally.tables;
        switch (code) {
        case PSI_RECORD_PAT:
            for (auto* p = static_cast<PsiPat*>(record)->programs; p; p = p->next)
                tally.programs += p->program_number != 0;
            break;
        case PSI_RECORD_PMT:
            for (auto* s = static_cast<PsiPmt*>(record)->streams; s; s = s->next) {
                ++tally.streams;
                for (auto* l = s->languages; l; l = l->next)
                    ++tally.stream_descriptors;
                if (s->identifiers)
                    tally.stream_descriptors += s->identifiers->count;
                if (s->teletext)
                    tally.stream_descriptors += s->teletext->count;
                if (s->subtitles)
                    tally.stream_descriptors += s->subtitles->count;
            }
            break;
        case PSI_RECORD_SDT:
            for (auto* s = static_cast<PsiSdt*>(record)->services; s; s = s->next) {
                ++tally.services;
                if (s->service_descriptor)
                    tally.name_bytes += s->service_descriptor->service_name_length + s->service_descriptor->provider_name_length;
            }
            break;
        case PSI_RECORD_EIT:
            for (auto* e = static_cast<PsiEit*>(record)->events; e; e = e->next) {
                ++tally.events;
                for (auto* s = e->short_event; s; s = s->next)
                    tally.text_bytes += s->name_length + s->text_length;
                for (auto* x = e->extended_events; x; x = x->next)
                    tally.text_bytes += x->text_length;
                for (auto* r = e->rating; r; r = r->next)
                    tally.ratings += r->rating;
            }
            break;
        case PSI_RECORD_TOT:
            if (auto* holder = static_cast<PsiTot*>(record)->offsets)
                for (auto* o = holder->first; o; o = o->next)
                    tally.offsets += o->offset_minutes;
            break;
        default:
            break;
        }
    }
    void dropped(const std::string& why) override
    {
        std::fprintf(stderr, "%s\n", why.c_str());
        std::abort();
    }
};

Tally run_ours(const Bytes& ts)
{
    OurSink sink;
    PsiDecoder decoder(sink);
    SectionAssembler assembler(decoder, sink);
    assembler.packets(ts.data(), ts.size());
    return sink.tally;
}

// libdvbpsi: one handle a PID, the demultiplexer on the shared SI PIDs.
struct Theirs {
    Tally tally;
    std::map<unsigned, dvbpsi_t*> handles;

    static void pat(void* self, dvbpsi_pat_t* pat)
    {
        auto& t = static_cast<Theirs*>(self)->tally;
        ++t.tables;
        for (auto* p = pat->p_first_program; p; p = p->p_next)
            t.programs += p->i_number != 0;
        dvbpsi_pat_delete(pat);
    }
    static void pmt(void* self, dvbpsi_pmt_t* pmt)
    {
        auto& t = static_cast<Theirs*>(self)->tally;
        ++t.tables;
        for (auto* es = pmt->p_first_es; es; es = es->p_next) {
            ++t.streams;
            for (auto* d = es->p_first_descriptor; d; d = d->p_next) {
                if (d->i_tag == 0x0A) {
                    if (auto* r = dvbpsi_DecodeISO639Dr(d))
                        t.stream_descriptors += r->i_code_count;
                } else if (d->i_tag == 0x52) {
                    t.stream_descriptors += dvbpsi_DecodeStreamIdentifierDr(d) != nullptr;
                } else if (d->i_tag == 0x56) {
                    if (auto* r = dvbpsi_DecodeTeletextDr(d))
                        t.stream_descriptors += r->i_pages_number;
                } else if (d->i_tag == 0x59) {
                    if (auto* r = dvbpsi_DecodeSubtitlingDr(d))
                        t.stream_descriptors += r->i_subtitles_number;
                }
            }
        }
        dvbpsi_pmt_delete(pmt);
    }
    static void sdt(void* self, dvbpsi_sdt_t* sdt)
    {
        auto& t = static_cast<Theirs*>(self)->tally;
        ++t.tables;
        for (auto* s = sdt->p_first_service; s; s = s->p_next) {
            ++t.services;
            for (auto* d = s->p_first_descriptor; d; d = d->p_next)
                if (d->i_tag == 0x48)
                    if (auto* r = dvbpsi_DecodeServiceDr(d))
                        t.name_bytes += r->i_service_name_length + r->i_service_provider_name_length;
        }
        dvbpsi_sdt_delete(sdt);
    }
    static void eit(void* self, dvbpsi_eit_t* eit)
    {
        auto& t = static_cast<Theirs*>(self)->tally;
        // Ours delivers a record a section; theirs a whole table (here every section is the last
        // of its segment): count sections alike.
        t.tables += eit->i_segment_last_section_number + 1;
        for (auto* e = eit->p_first_event; e; e = e->p_next) {
            ++t.events;
            for (auto* d = e->p_first_descriptor; d; d = d->p_next) {
                if (d->i_tag == 0x4D) {
                    if (auto* r = dvbpsi_DecodeShortEventDr(d))
                        t.text_bytes += r->i_event_name_length + r->i_text_length;
                } else if (d->i_tag == 0x4E) {
                    if (auto* r = dvbpsi_DecodeExtendedEventDr(d))
                        t.text_bytes += r->i_text_length;
                } else if (d->i_tag == 0x55) {
                    if (auto* r = dvbpsi_DecodeParentalRatingDr(d))
                        for (int i = 0; i < r->i_ratings_number; ++i)
                            t.ratings += r->p_parental_rating[i].i_rating;
                }
            }
        }
        dvbpsi_eit_delete(eit);
    }
    static void tot(void* self, dvbpsi_tot_t* tot)
    {
        auto& t = static_cast<Theirs*>(self)->tally;
        ++t.tables;
        for (auto* d = tot->p_first_descriptor; d; d = d->p_next)
            if (d->i_tag == 0x58)
                if (auto* r = dvbpsi_DecodeLocalTimeOffsetDr(d))
                    for (int i = 0; i < r->i_local_time_offsets_number; ++i) {
                        int hours = (r->p_local_time_offset[i].i_local_time_offset >> 12) * 10
                            + ((r->p_local_time_offset[i].i_local_time_offset >> 8) & 0xF);
                        int minutes = ((r->p_local_time_offset[i].i_local_time_offset >> 4) & 0xF) * 10
                            + (r->p_local_time_offset[i].i_local_time_offset & 0xF);
                        int sign = r->p_local_time_offset[i].i_local_time_offset_polarity ? -1 : 1;
                        t.offsets += sign * (hours * 60 + minutes);
                    }
        dvbpsi_tot_delete(tot);
    }
    static void new_subtable(dvbpsi_t* handle, uint8_t table_id, uint16_t extension, void* self)
    {
        if (table_id == 0x42)
            dvbpsi_sdt_attach(handle, table_id, extension, sdt, self);
        else if (table_id == 0x4E || (table_id >= 0x50 && table_id <= 0x5F))
            dvbpsi_eit_attach(handle, table_id, extension, eit, self);
        else if (table_id == 0x70 || table_id == 0x73)
            dvbpsi_tot_attach(handle, table_id, extension, tot, self);
    }

    Theirs()
    {
        auto make = [&](unsigned pid) { return handles[pid] = dvbpsi_new(nullptr, DVBPSI_MSG_NONE); };
        dvbpsi_pat_attach(make(0), pat, this);
        for (unsigned s = 0; s < service_count; ++s)
            dvbpsi_pmt_attach(make(pmt_pid(s)), uint16_t(1 + s), pmt, this);
        for (unsigned pid : { 0x11u, 0x12u, 0x14u })
            dvbpsi_AttachDemux(make(pid), new_subtable, this);
    }
    ~Theirs()
    {
        dvbpsi_pat_detach(handles[0]);
        for (unsigned s = 0; s < service_count; ++s)
            dvbpsi_pmt_detach(handles[pmt_pid(s)]);
        for (unsigned pid : { 0x11u, 0x12u, 0x14u })
            dvbpsi_DetachDemux(handles[pid]);
        for (auto& [pid, handle] : handles)
            dvbpsi_delete(handle);
    }
    void push(const Bytes& ts)
    {
        dvbpsi_t* last_handle = nullptr;
        unsigned last_pid = ~0u;
        for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
            uint8_t* packet = const_cast<uint8_t*>(ts.data() + at);
            unsigned pid = unsigned((packet[1] & 0x1F) << 8 | packet[2]);
            if (pid != last_pid) {
                auto found = handles.find(pid);
                last_handle = found == handles.end() ? nullptr : found->second;
                last_pid = pid;
            }
            if (last_handle)
                dvbpsi_packet_push(last_handle, packet);
        }
    }
};

Tally run_theirs(const Bytes& ts)
{
    Theirs theirs;
    theirs.push(ts);
    return theirs.tally;
}

void check_agreement()
{
    static bool checked = false;
    if (checked)
        return;
    checked = true;
    Tally ours = run_ours(packets());
    Tally theirs = run_theirs(packets());
    if (!(ours == theirs) || ours.events == 0) {
        ours.print("ours");
        theirs.print("libdvbpsi");
        std::abort();
    }
}

void BM_PsiParser(benchmark::State& state)
{
    check_agreement();
    const Bytes& ts = packets();
    for (auto _ : state)
        benchmark::DoNotOptimize(run_ours(ts).events);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(ts.size()));
}

void BM_Libdvbpsi(benchmark::State& state)
{
    check_agreement();
    const Bytes& ts = packets();
    for (auto _ : state)
        benchmark::DoNotOptimize(run_theirs(ts).events);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(ts.size()));
}

} // namespace

BENCHMARK(BM_PsiParser);
BENCHMARK(BM_Libdvbpsi);
