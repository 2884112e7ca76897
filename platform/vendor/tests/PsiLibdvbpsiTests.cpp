// The parser against an independent decoder: the same packets through libdvbpsi and through our
// assembly and decoding give the same values, each side written out as lines. Dates on
// libdvbpsi's side come from the C library's calendar (gmtime), not from our MJD conversion.

#include "PsiSections.h"
#include "PsiTestSections.h"

#include <gtest/gtest.h>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/dr_48.h>
#include <dvbpsi/dr_4d.h>
#include <dvbpsi/dr_4e.h>
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

#include <algorithm>
#include <ctime>
#include <map>

using namespace kivo;
using namespace kivo::test;

namespace {

std::string str(const uint8_t* bytes, size_t length) { return std::string(reinterpret_cast<const char*>(bytes), length); }

std::string format(const char* pattern, auto... values)
{
    char line[256];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

std::string our_time(const SYSTEMTIME& t)
{
    return format("%04u-%02u-%02u/%u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond);
}

// MJD through the C library's calendar, the BCD digits as they stand.
std::string their_time(uint64_t start)
{
    time_t seconds = time_t((int64_t(start >> 24) - 40587) * 86400);
    std::tm day {};
    gmtime_r(&seconds, &day);
    return format("%04d-%02d-%02d/%d %02llx:%02llx:%02llx", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, day.tm_wday,
        (unsigned long long)(start >> 16 & 0xFF), (unsigned long long)(start >> 8 & 0xFF), (unsigned long long)(start & 0xFF));
}

struct Ours final : PsiSink {
    std::vector<std::string> lines;
    void record(DWORD code, void* record) override
    {
        if (code == PSI_RECORD_PAT) {
            for (auto* p = static_cast<PsiPat*>(record)->programs; p; p = p->next)
                lines.push_back(format("program %u pid %u", p->program_number, p->pmt_pid));
        } else if (code == PSI_RECORD_PMT) {
            for (auto* s = static_cast<PsiPmt*>(record)->streams; s; s = s->next) {
                lines.push_back(format("stream %u pid %u", s->stream_type, s->elementary_pid));
                if (s->teletext)
                    for (auto* t = s->teletext->first; t; t = t->next)
                        lines.push_back(format("teletext %.3s %u %u %02x", t->language, t->teletext_type, t->magazine_number, t->page_number));
                if (s->subtitles)
                    for (auto* t = s->subtitles->first; t; t = t->next)
                        lines.push_back(format("subtitle %c%c%c %u %u %u", char(t->language), char(t->language >> 8), char(t->language >> 16),
                            t->subtitling_type, t->composition_page_id, t->ancillary_page_id));
            }
        } else if (code == PSI_RECORD_SDT) {
            for (auto* s = static_cast<PsiSdt*>(record)->services; s; s = s->next) {
                auto* d = s->service_descriptor;
                lines.push_back(format("service %u running %u type %u %s/%s", s->service_id, s->flags >> 5, d->service_type,
                    str(d->provider_name, d->provider_name_length).c_str(), str(d->service_name, d->service_name_length).c_str()));
            }
        } else if (code == PSI_RECORD_EIT) {
            for (auto* e = static_cast<PsiEit*>(record)->events; e; e = e->next) {
                lines.push_back(format("event %u %s for %02u:%02u:%02u status %u", e->event_id, our_time(e->start).c_str(), e->duration.wHour,
                    e->duration.wMinute, e->duration.wSecond, e->status));
                for (auto* s = e->short_event; s; s = s->next)
                    lines.push_back("short " + str(s->name, s->name_length) + "/" + str(s->text, s->text_length));
                for (auto* x = e->extended_events; x; x = x->next)
                    lines.push_back(format("extended %u/%u ", x->descriptor_number, x->last_descriptor_number) + str(x->text, x->text_length));
                for (auto* r = e->rating; r; r = r->next)
                    lines.push_back(format("rating %.3s %u", r->country_code, r->rating));
            }
        } else if (code == PSI_RECORD_TOT) {
            auto* tot = static_cast<PsiTot*>(record);
            lines.push_back("time " + our_time(tot->utc));
            for (auto* o = tot->offsets->first; o; o = o->next)
                lines.push_back(format("offset %.3s %d", o->country_code, o->offset_minutes));
        }
    }
    void dropped(const std::string& why) override { ADD_FAILURE() << why; }
};

struct Theirs {
    std::vector<std::string> lines;

    static Theirs& of(void* self) { return *static_cast<Theirs*>(self); }
    static void pat(void* self, dvbpsi_pat_t* pat)
    {
        for (auto* p = pat->p_first_program; p; p = p->p_next)
            of(self).lines.push_back(format("program %u pid %u", p->i_number, p->i_pid));
        dvbpsi_pat_delete(pat);
    }
    static void pmt(void* self, dvbpsi_pmt_t* pmt)
    {
        auto& lines = of(self).lines;
        for (auto* es = pmt->p_first_es; es; es = es->p_next) {
            lines.push_back(format("stream %u pid %u", es->i_type, es->i_pid));
            for (auto* d = es->p_first_descriptor; d; d = d->p_next) {
                if (d->i_tag == 0x56)
                    if (auto* r = dvbpsi_DecodeTeletextDr(d))
                        for (int i = 0; i < r->i_pages_number; ++i) {
                            auto& p = r->p_pages[i];
                            lines.push_back(format("teletext %.3s %u %u %02x", p.i_iso6392_language_code, p.i_teletext_type, p.i_teletext_magazine_number,
                                p.i_teletext_page_number));
                        }
                if (d->i_tag == 0x59)
                    if (auto* r = dvbpsi_DecodeSubtitlingDr(d))
                        for (int i = 0; i < r->i_subtitles_number; ++i) {
                            auto& s = r->p_subtitle[i];
                            lines.push_back(format("subtitle %.3s %u %u %u", s.i_iso6392_language_code, s.i_subtitling_type, s.i_composition_page_id,
                                s.i_ancillary_page_id));
                        }
            }
        }
        dvbpsi_pmt_delete(pmt);
    }
    static void sdt(void* self, dvbpsi_sdt_t* sdt)
    {
        for (auto* s = sdt->p_first_service; s; s = s->p_next)
            for (auto* d = s->p_first_descriptor; d; d = d->p_next)
                if (d->i_tag == 0x48)
                    if (auto* r = dvbpsi_DecodeServiceDr(d))
                        of(self).lines.push_back(format("service %u running %u type %u %s/%s", s->i_service_id, s->i_running_status, r->i_service_type,
                            str(r->i_service_provider_name, r->i_service_provider_name_length).c_str(),
                            str(r->i_service_name, r->i_service_name_length).c_str()));
        dvbpsi_sdt_delete(sdt);
    }
    static void eit(void* self, dvbpsi_eit_t* eit)
    {
        auto& lines = of(self).lines;
        for (auto* e = eit->p_first_event; e; e = e->p_next) {
            lines.push_back(format("event %u %s for %02x:%02x:%02x status %u", e->i_event_id, their_time(e->i_start_time).c_str(),
                e->i_duration >> 16, e->i_duration >> 8 & 0xFF, e->i_duration & 0xFF, e->i_running_status));
            for (auto* d = e->p_first_descriptor; d; d = d->p_next) {
                if (d->i_tag == 0x4D) {
                    if (auto* r = dvbpsi_DecodeShortEventDr(d))
                        lines.push_back("short " + str(r->i_event_name, size_t(r->i_event_name_length)) + "/" + str(r->i_text, size_t(r->i_text_length)));
                } else if (d->i_tag == 0x4E) {
                    if (auto* r = dvbpsi_DecodeExtendedEventDr(d))
                        lines.push_back(format("extended %u/%u ", r->i_descriptor_number, r->i_last_descriptor_number) + str(r->i_text, size_t(r->i_text_length)));
                } else if (d->i_tag == 0x55) {
                    if (auto* r = dvbpsi_DecodeParentalRatingDr(d))
                        for (int i = 0; i < r->i_ratings_number; ++i) {
                            uint32_t country = r->p_parental_rating[i].i_country_code;
                            lines.push_back(format("rating %c%c%c %u", char(country >> 16), char(country >> 8), char(country), r->p_parental_rating[i].i_rating));
                        }
                }
            }
        }
        dvbpsi_eit_delete(eit);
    }
    static void tot(void* self, dvbpsi_tot_t* tot)
    {
        auto& lines = of(self).lines;
        if (tot->i_table_id == 0x73) {
            lines.push_back("time " + their_time(tot->i_utc_time));
            for (auto* d = tot->p_first_descriptor; d; d = d->p_next)
                if (d->i_tag == 0x58)
                    if (auto* r = dvbpsi_DecodeLocalTimeOffsetDr(d))
                        for (int i = 0; i < r->i_local_time_offsets_number; ++i) {
                            auto& o = r->p_local_time_offset[i];
                            int value = (o.i_local_time_offset >> 12) * 600 + (o.i_local_time_offset >> 8 & 0xF) * 60
                                + (o.i_local_time_offset >> 4 & 0xF) * 10 + (o.i_local_time_offset & 0xF);
                            lines.push_back(format("offset %.3s %d", o.i_country_code, o.i_local_time_offset_polarity ? -value : value));
                        }
        }
        dvbpsi_tot_delete(tot);
    }
    static void new_subtable(dvbpsi_t* handle, uint8_t table_id, uint16_t extension, void* self)
    {
        if (table_id == 0x42)
            dvbpsi_sdt_attach(handle, table_id, extension, sdt, self);
        else if (table_id == 0x4E || table_id == 0x50)
            dvbpsi_eit_attach(handle, table_id, extension, eit, self);
        else if (table_id == 0x73)
            dvbpsi_tot_attach(handle, table_id, extension, tot, self);
    }
};

} // namespace

TEST(PsiAgainstLibdvbpsi, TheSamePacketsGiveTheSameValues)
{
    std::map<unsigned, uint8_t> counters;
    std::map<unsigned, Bytes> by_pid;
    auto put = [&](unsigned pid, const Bytes& section) { append(by_pid[pid], packetise(pid, section, counters[pid])); };

    put(0, pat_section(0x101, 1, { { 1, 0x100 }, { 2, 0x110 } }));
    Bytes body { 0xE1, 0x01 };
    append(body, loop({}));
    auto stream = [&](uint8_t type, unsigned pid, const Bytes& d) {
        body.push_back(type);
        put16(body, 0xE000 | pid);
        append(body, loop(d));
    };
    stream(2, 0x101, {});
    stream(6, 0x103, descriptor(0x56, { 'c', 'h', 'i', 0x09, 0x00, 'e', 'n', 'g', 0x17, 0x99 }));
    stream(6, 0x104, descriptor(0x59, { 'c', 'h', 'i', 0x10, 0x12, 0x34, 0x00, 0x02 }));
    put(0x100, long_section(0x02, 1, 0, 0, 0, body));
    Bytes services = sdt_service(1, 1, text("Kivo"), text("One"), 4);
    append(services, sdt_service(2, 2, text(""), text("Radio"), 1));
    put(17, sdt_section(0x101, 0x3001, 0, services));
    Bytes d = short_event("chi", text("News"), text("Today"));
    append(d, extended_event(0, 1, "chi", text("Part one ")));
    append(d, extended_event(1, 1, "chi", text("part two")));
    append(d, descriptor(0x55, { 'T', 'W', 'N', 4 }));
    const Bytes present = eit_section(0x4E, 1, 0x101, 0x3001, 0, 0, eit_event(7, utc(2026, 12, 11, 23, 30, 0), { 0, 0x45, 0x30 }, 4, d), 1);
    const Bytes following = eit_section(0x4E, 1, 0x101, 0x3001, 0, 1, eit_event(8, utc(2026, 12, 12, 0, 15, 30), { 1, 0, 0 }, 1, {}), 1);
    const Bytes schedule = eit_section(0x50, 1, 0x101, 0x3001, 0, 0, eit_event(9, utc(2028, 2, 29, 6, 0, 0), { 0, 0x30, 0 }, 1, d));
    // The next round of the carousel: libdvbpsi takes a table as whole at a repeated section.
    for (const Bytes* s : { &present, &following, &schedule, &following, &schedule })
        put(18, *s);
    Bytes offsets = offset_entry("TWN", 0, 480, utc(2027, 1, 1, 0, 0, 0), 480);
    append(offsets, offset_entry("USA", 1, -330, utc(2027, 3, 14, 7, 0, 0), -240));
    put(20, tot_section(utc(2026, 12, 11, 12, 34, 56), descriptor(0x58, offsets)));

    Ours ours;
    PsiDecoder decoder(ours);
    SectionAssembler assembler(decoder, ours);
    Theirs theirs;
    std::map<unsigned, dvbpsi_t*> handles;
    for (auto& [pid, packets] : by_pid) {
        dvbpsi_t* handle = handles[pid] = dvbpsi_new(nullptr, DVBPSI_MSG_NONE);
        if (pid == 0)
            dvbpsi_pat_attach(handle, Theirs::pat, &theirs);
        else if (pid == 0x100)
            dvbpsi_pmt_attach(handle, 1, Theirs::pmt, &theirs);
        else
            dvbpsi_AttachDemux(handle, Theirs::new_subtable, &theirs);
        for (size_t at = 0; at < packets.size(); at += 188)
            dvbpsi_packet_push(handle, packets.data() + at);
        assembler.packets(packets.data(), packets.size());
    }
    for (auto& [pid, handle] : handles) {
        if (pid == 0)
            dvbpsi_pat_detach(handle);
        else if (pid == 0x100)
            dvbpsi_pmt_detach(handle);
        else
            dvbpsi_DetachDemux(handle);
        dvbpsi_delete(handle);
    }
    ASSERT_GE(ours.lines.size(), 20u);
    EXPECT_EQ(ours.lines, theirs.lines);
}
