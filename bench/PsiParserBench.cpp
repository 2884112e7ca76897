// The PSI/SI parser's section assembly and decoding against libdvbpsi's packet push, over the SI
// packets of one multiplex as the multiplex builder makes it: the default description of channel 24
// (four services) read for 21 seconds, so that every table of its carousels, the eight days of
// EIT schedule included, comes at least twice: PAT, four PMTs, SDT, EIT present/following and
// schedule, TDT and TOT. Both take every SI packet and decode the same descriptors (service, short
// and extended event, parental rating, ISO 639 language, stream identifier, teletext, subtitling,
// local time offset); each pass starts from fresh decoders, so every table is new to it. Both
// sides add up the same figures from what they decoded, and a disagreement fails the run.

#include "PsiSections.h"
#include "broadcast/MultiplexBuilder.h"

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
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

using namespace kivo;

namespace {

constexpr unsigned seconds_read = 21;

std::unique_ptr<MultiplexBuilder> open_channel_24()
{
    const std::string path = KIVO_DEFAULT_DESCRIPTIONS_DIR "/channel-24.json";
    std::ifstream in(path, std::ios::binary);
    std::stringstream json;
    json << in.rdbuf();
    std::string error;
    auto description = parse_multiplex_description(json.str(), error);
    std::unique_ptr<MultiplexBuilder> made;
    if (description)
        made = MultiplexBuilder::open(*description, KIVO_DEFAULT_STREAMS_DIR, error);
    if (!made) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        std::abort();
    }
    return made;
}

const MultiplexDescription& description()
{
    static const MultiplexDescription read = open_channel_24()->description();
    return read;
}

bool is_si_pid(unsigned pid)
{
    if (pid == 0x00 || pid == 0x11 || pid == 0x12 || pid == 0x14)
        return true;
    for (auto& service : description().services)
        if (service.pmt_pid == pid)
            return true;
    return false;
}

// The builder's stream from 2026-12-11 12:10 UTC, a second at a time, with the SI packets kept.
Bytes multiplex_packets()
{
    auto builder = open_channel_24();
    const size_t packets_a_second = size_t(builder->bits_per_second() / 8 / 188);
    Bytes kept;
    for (unsigned second = 0; second < seconds_read; ++second) {
        SYSTEMTIME utc { 2026, 12, 5, 11, 12, 10, WORD(second), 0 };
        Bytes air;
        builder->read(packets_a_second, utc, air);
        for (size_t at = 0; at + 188 <= air.size(); at += 188) {
            if (is_si_pid(unsigned((air[at + 1] & 0x1F) << 8 | air[at + 2])))
                kept.insert(kept.end(), air.begin() + ptrdiff_t(at), air.begin() + ptrdiff_t(at + 188));
        }
    }
    return kept;
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
        // Ours delivers the EIT a section at a time, libdvbpsi a whole table: the events and their
        // texts are compared instead.
        tally.tables += code != PSI_RECORD_EIT;
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
        for (auto& service : description().services)
            dvbpsi_pmt_attach(make(service.pmt_pid), service.service_id, pmt, this);
        for (unsigned pid : { 0x11u, 0x12u, 0x14u })
            dvbpsi_AttachDemux(make(pid), new_subtable, this);
    }
    ~Theirs()
    {
        dvbpsi_pat_detach(handles[0]);
        for (auto& service : description().services)
            dvbpsi_pmt_detach(handles[service.pmt_pid]);
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
