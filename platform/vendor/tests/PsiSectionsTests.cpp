#include "PsiSections.h"
#include "PsiTestSections.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kivo;
using namespace kivo::test;

namespace {

std::string str(const uint8_t* bytes, size_t length) { return std::string(reinterpret_cast<const char*>(bytes), length); }
std::string str(const char (&chars)[3]) { return std::string(chars, 3); }

std::string stamp(const SYSTEMTIME& t)
{
    char line[64];
    std::snprintf(line, sizeof line, "%04u-%02u-%02u/%u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wDayOfWeek, t.wHour, t.wMinute,
        t.wSecond);
    return line;
}

// What the sink was given, copied out during each call (the records die with it), one line a
// record, and the dropped lines.
struct Recorder final : PsiSink {
    std::vector<std::string> records;
    std::vector<std::string> drops;

    void record(DWORD code, void* record) override
    {
        std::string line;
        char part[160];
        switch (code) {
        case PSI_RECORD_PAT: {
            auto* pat = static_cast<PsiPat*>(record);
            line = "PAT " + std::to_string(pat->transport_stream_id) + " v" + std::to_string(pat->version_number);
            for (auto* p = pat->programs; p; p = p->next)
                line += " " + std::to_string(p->program_number) + ":" + std::to_string(p->pmt_pid);
            break;
        }
        case PSI_RECORD_PMT: {
            auto* pmt = static_cast<PsiPmt*>(record);
            line = "PMT " + std::to_string(pmt->program_number) + " pcr " + std::to_string(pmt->pcr_pid);
            for (auto* s = pmt->streams; s; s = s->next) {
                std::snprintf(part, sizeof part, " [%u %u", s->stream_type, s->elementary_pid);
                line += part;
                for (auto* l = s->languages; l; l = l->next)
                    line += " lang " + str(l->language) + "/" + std::to_string(l->audio_type);
                if (s->identifiers)
                    for (auto* i = s->identifiers->first; i; i = i->next)
                        line += " tag " + std::to_string(i->component_tag);
                if (s->teletext) {
                    line += " ttx" + std::to_string(s->teletext->count);
                    for (auto* t = s->teletext->first; t; t = t->next) {
                        std::snprintf(part, sizeof part, " %s/%u/%u/%02X", str(t->language).c_str(), t->teletext_type, t->magazine_number,
                            t->page_number);
                        line += part;
                    }
                }
                if (s->subtitles)
                    for (auto* t = s->subtitles->first; t; t = t->next) {
                        std::snprintf(part, sizeof part, " sub %06X/%u/%u/%u", t->language, t->subtitling_type, t->composition_page_id,
                            t->ancillary_page_id);
                        line += part;
                    }
                line += "]";
            }
            break;
        }
        case PSI_RECORD_SDT: {
            auto* sdt = static_cast<PsiSdt*>(record);
            line = "SDT " + std::to_string(sdt->transport_stream_id) + " onid " + std::to_string(sdt->original_network_id);
            for (auto* s = sdt->services; s; s = s->next) {
                std::snprintf(part, sizeof part, " [%u %02X", s->service_id, s->flags);
                line += part;
                if (auto* d = s->service_descriptor)
                    line += " " + std::to_string(d->service_type) + " " + str(d->provider_name, d->provider_name_length) + "/"
                        + str(d->service_name, d->service_name_length);
                line += "]";
            }
            break;
        }
        case PSI_RECORD_EIT: {
            auto* eit = static_cast<PsiEit*>(record);
            std::snprintf(part, sizeof part, "EIT %02X %u/%u/%u s%u", eit->table_id, eit->service_id, eit->transport_stream_id,
                eit->original_network_id, eit->section_number);
            line = part;
            for (auto* e = eit->events; e; e = e->next) {
                line += " [" + std::to_string(e->event_id) + " " + stamp(e->start) + " +" + stamp(e->duration) + " st"
                    + std::to_string(e->status);
                for (auto* s = e->short_event; s; s = s->next)
                    line += " " + str(s->language) + ":" + str(s->name, s->name_length) + "/" + str(s->text, s->text_length);
                for (auto* x = e->extended_events; x; x = x->next)
                    line += " x" + std::to_string(x->descriptor_number) + ":" + str(x->text, x->text_length);
                if (e->rating)
                    line += " r" + std::to_string(e->rating->rating);
                line += "]";
            }
            break;
        }
        case PSI_RECORD_TDT:
            line = "TDT " + stamp(static_cast<PsiTdt*>(record)->utc);
            break;
        case PSI_RECORD_TOT: {
            auto* tot = static_cast<PsiTot*>(record);
            line = "TOT " + stamp(tot->utc);
            if (tot->offsets)
                for (auto* o = tot->offsets->first; o; o = o->next)
                    line += " " + str(o->country_code) + "/" + std::to_string(o->country_region_id) + " "
                        + std::to_string(o->offset_minutes) + " at " + stamp(o->time_of_change) + " then "
                        + std::to_string(o->next_offset_minutes);
            break;
        }
        default:
            line = "code " + std::to_string(code);
        }
        records.push_back(line);
    }
    void dropped(const std::string& why) override { drops.push_back(why); }

    std::vector<std::string> take() { return std::exchange(records, {}); }
};

struct PsiSectionsTest : ::testing::Test {
    Recorder sink;
    PsiDecoder decoder { sink };
    SectionAssembler assembler { decoder, sink };

    void feed(const Bytes& section) { decoder.section(section.data(), section.size()); }
};

} // namespace

TEST(PsiTimes, CrcCheckValueAndTheStandardsDatesDecode)
{
    const char* check = "123456789";
    EXPECT_EQ(crc32_mpeg2(reinterpret_cast<const uint8_t*>(check), 9), 0x0376E6E7u);
    Bytes long_run(1000);
    for (size_t i = 0; i < long_run.size(); ++i)
        long_run[i] = uint8_t(i * 37 + 11);
    EXPECT_EQ(crc32_mpeg2(long_run.data(), long_run.size()), bitwise_crc32_mpeg2(long_run.data(), long_run.size()));

    struct Case {
        uint8_t bytes[5];
        const char* expected; // empty: refused
    };
    const Case cases[] = {
        { { 0xC0, 0x79, 0x12, 0x45, 0x00 }, "1993-10-13/3 12:45:00" }, // the standard's own example, a Wednesday
        { { 0xC9, 0x93, 0x23, 0x59, 0x59 }, "2000-02-29/2 23:59:59" }, // a leap day, a Tuesday
        { { 0x00, 0x00, 0x00, 0x00, 0x00 }, "1858-11-17/3 00:00:00" },
        { { 0xFF, 0xFF, 0x00, 0x00, 0x00 }, "2038-04-22/4 00:00:00" },
        { { 0xC0, 0x79, 0x24, 0x00, 0x00 }, "" },
        { { 0xC0, 0x79, 0x12, 0x60, 0x00 }, "" },
        { { 0xC0, 0x79, 0x1A, 0x00, 0x00 }, "" },
    };
    for (const auto& c : cases) {
        SYSTEMTIME t {};
        bool decoded = mjd_utc_to_system_time(c.bytes, t);
        EXPECT_EQ(decoded ? stamp(t) : "", c.expected);
    }
    // The tests' own MJD formula agrees with the decoder on a day of this year.
    Bytes day = utc(2026, 12, 11, 16, 30, 5);
    SYSTEMTIME t {};
    ASSERT_TRUE(mjd_utc_to_system_time(day.data(), t));
    EXPECT_EQ(stamp(t), "2026-12-11/5 16:30:05");

    const uint8_t duration[] = { 0x01, 0x45, 0x30 };
    const uint8_t long_duration[] = { 0x36, 0x00, 0x00 };
    const uint8_t bad_duration[] = { 0x01, 0x75, 0x00 };
    ASSERT_TRUE(bcd_duration_to_system_time(duration, t));
    EXPECT_EQ(stamp(t), "0000-00-00/0 01:45:30");
    ASSERT_TRUE(bcd_duration_to_system_time(long_duration, t));
    EXPECT_EQ(t.wHour, 36);
    EXPECT_FALSE(bcd_duration_to_system_time(bad_duration, t));
}

TEST_F(PsiSectionsTest, PatComesWhenCompleteAndAgainOnlyAtANewVersionOrAfterForgetting)
{
    feed(pat_section(0x1234, 3, { { 0, 16 }, { 1, 0x100 }, { 2, 0x200 } }));
    feed(pat_section(0x1234, 3, { { 0, 16 }, { 1, 0x100 }, { 2, 0x200 } }));
    EXPECT_EQ(sink.take(), std::vector<std::string> { "PAT 4660 v3 0:16 1:256 2:512" });

    feed(pat_section(0x1234, 4, { { 1, 0x101 } }));
    feed(pat_section(0x1234, 5, { { 1, 0x102 } }, 0, 0, false)); // announced, not yet applicable
    EXPECT_EQ(sink.take(), std::vector<std::string> { "PAT 4660 v4 1:257" });

    decoder.forget_versions();
    feed(pat_section(0x1234, 4, { { 1, 0x101 } }));
    EXPECT_EQ(sink.take(), std::vector<std::string> { "PAT 4660 v4 1:257" });
    EXPECT_TRUE(sink.drops.empty());
}

TEST_F(PsiSectionsTest, AMultiSectionSdtComesWholeOnceEverySectionOfOneVersionCame)
{
    const Bytes first = sdt_service(101, 1, text("Prov"), text("One"));
    const Bytes second = sdt_service(102, 2, text(""), text("Two"), 1);
    feed(sdt_section(7, 0x2000, 1, first, 0, 1));
    EXPECT_TRUE(sink.records.empty()) << "half a table delivered";
    // A new version half way starts the gathering again.
    feed(sdt_section(7, 0x2000, 2, second, 1, 1));
    EXPECT_TRUE(sink.records.empty()) << "sections of two versions joined";
    feed(sdt_section(7, 0x2000, 2, first, 0, 1));
    EXPECT_EQ(sink.take(), std::vector<std::string> { "SDT 7 onid 8192 [101 80 1 Prov/One] [102 20 2 /Two]" });
    // Other transport streams' SDT is not read.
    feed(sdt_section(8, 0x2000, 0, first, 0, 0, 0x46));
    EXPECT_TRUE(sink.records.empty());

    // forget_all drops the half table too.
    feed(sdt_section(7, 0x2000, 3, first, 0, 1));
    decoder.forget_all();
    feed(sdt_section(7, 0x2000, 3, second, 1, 1));
    EXPECT_TRUE(sink.records.empty());
}

TEST_F(PsiSectionsTest, PmtCarriesTheStreamsWithTheirDescriptorRecords)
{
    Bytes body { 0xE1, 0x00 }; // PCR PID 0x100
    append(body, loop(descriptor(0x09, { 0x0B, 0x00, 0xE0, 0x10 }))); // a CA descriptor in the program loop, skipped
    auto stream = [](uint8_t type, unsigned pid, const Bytes& descriptors) {
        Bytes s { type };
        put16(s, 0xE000 | pid);
        append(s, loop(descriptors));
        return s;
    };
    append(body, stream(2, 0x100, descriptor(0x52, { 0x01 })));
    append(body, stream(3, 0x101, descriptor(0x0A, { 'c', 'h', 'i', 0, 'e', 'n', 'g', 3 })));
    Bytes private_data = descriptor(0x56, { 'c', 'h', 'i', 0x09, 0x00, 'e', 'n', 'g', 0x11, 0x88 });
    append(private_data, descriptor(0x59, { 'e', 'n', 'g', 0x10, 0x00, 0x02, 0x00, 0x03 }));
    append(body, stream(6, 0x102, private_data));
    feed(long_section(0x02, 5, 0, 0, 0, body));
    EXPECT_EQ(sink.take(),
        std::vector<std::string> { "PMT 5 pcr 256 [2 256 tag 1] [3 257 lang chi/0 lang eng/3] "
                                   "[6 258 ttx2 chi/1/1/00 eng/2/1/88 sub 676E65/16/2/3]" });
    EXPECT_TRUE(sink.drops.empty());
}

TEST_F(PsiSectionsTest, EitSectionsComeOnceAVersionWithTheirEventsAndTexts)
{
    Bytes descriptors = short_event("eng", text("News"), text("Today"));
    append(descriptors, extended_event(0, 1, "eng", text("Long ")));
    append(descriptors, extended_event(1, 1, "eng", text("story")));
    append(descriptors, descriptor(0x55, { 'T', 'W', 'N', 0x09 }));
    Bytes events = eit_event(42, utc(2026, 12, 11, 10, 0, 0), { 0x01, 0x30, 0x00 }, 4, descriptors);
    append(events, eit_event(43, Bytes(5, 0xFF), Bytes(3, 0xFF), 1, {}));
    const Bytes present = eit_section(0x4E, 301, 7, 0x2000, 1, 0, events, 1);
    feed(present);
    feed(present);
    EXPECT_EQ(sink.take(),
        std::vector<std::string> { "EIT 4E 301/7/8192 s0 [42 2026-12-11/5 10:00:00 +0000-00-00/0 01:30:00 st4 eng:News/Today x0:Long  "
                                   "x1:story r9] [43 0000-00-00/0 00:00:00 +0000-00-00/0 00:00:00 st1]" });
    // The following event's section, a schedule section, and a new version: each comes.
    feed(eit_section(0x4E, 301, 7, 0x2000, 1, 1, {}, 1));
    feed(eit_section(0x50, 301, 7, 0x2000, 1, 0, eit_event(50, utc(2026, 12, 18, 23, 0, 0), { 0x00, 0x45, 0x00 }, 1, {})));
    feed(eit_section(0x4E, 301, 7, 0x2000, 2, 0, {}, 1));
    EXPECT_EQ(sink.take(),
        (std::vector<std::string> { "EIT 4E 301/7/8192 s1", "EIT 50 301/7/8192 s0 [50 2026-12-18/5 23:00:00 +0000-00-00/0 00:45:00 st1]",
            "EIT 4E 301/7/8192 s0" }));
    // Other transport streams' events are not read.
    feed(eit_section(0x4F, 301, 8, 0x2000, 1, 0, {}));
    feed(eit_section(0x60, 301, 8, 0x2000, 1, 0, {}));
    EXPECT_TRUE(sink.records.empty());
}

TEST_F(PsiSectionsTest, TimeTablesComeEachTimeWithTheLocalOffsetsSigned)
{
    const Bytes tdt = tdt_section(utc(2026, 12, 11, 16, 0, 1));
    feed(tdt);
    feed(tdt);
    Bytes offsets = offset_entry("TWN", 0, 8 * 60, utc(2027, 3, 1, 0, 0, 0), 8 * 60);
    append(offsets, offset_entry("USA", 3, -(5 * 60 + 30), utc(2027, 3, 14, 7, 0, 0), -4 * 60));
    feed(tot_section(utc(2026, 12, 11, 16, 0, 2), descriptor(0x58, offsets)));
    feed(tot_section(utc(2026, 12, 11, 16, 0, 3), {}));
    EXPECT_EQ(sink.take(),
        (std::vector<std::string> { "TDT 2026-12-11/5 16:00:01", "TDT 2026-12-11/5 16:00:01",
            "TOT 2026-12-11/5 16:00:02 TWN/0 480 at 2027-03-01/1 00:00:00 then 480 USA/3 -330 at 2027-03-14/0 07:00:00 then -240",
            "TOT 2026-12-11/5 16:00:03" }));
}

TEST_F(PsiSectionsTest, BrokenSectionsAreDroppedWithALineAndTheRestIsNotRead)
{
    struct Case {
        const char* what;
        Bytes section;
        const char* line; // null: dropped without a line
    };
    Bytes bad_crc = pat_section(1, 0, { { 1, 0x100 } });
    bad_crc[9] ^= 0x01;
    Bytes bad_tot = tot_section(utc(2026, 1, 1, 0, 0, 0), {});
    bad_tot.back() ^= 0x80;
    // A service descriptor whose name runs past its own length.
    Bytes overrun = sdt_service(1, 1, text("P"), text("Name"));
    overrun[10] = 40;
    Bytes loop_overrun = sdt_service(1, 1, text("P"), text("Name"));
    loop_overrun[4] = 0xFF; // the loop claims more than the section holds
    Bytes descriptors = descriptor(0x4D, { 'e', 'n', 'g', 9, 'a' }); // name length past the descriptor
    Bytes bad_hour = utc(2026, 1, 1, 0, 0, 0);
    bad_hour[2] = 0x25;
    const Case cases[] = {
        { "bad CRC", bad_crc, "psi: PAT section dropped: bad CRC" },
        { "bad TOT CRC", bad_tot, "psi: TOT section dropped: bad CRC" },
        { "service descriptor overrun", sdt_section(1, 1, 0, overrun), "psi: SDT section dropped: broken descriptor loop" },
        { "descriptor loop overrun", sdt_section(1, 1, 0, loop_overrun), "psi: SDT section dropped: broken descriptor loop" },
        { "short event overrun", eit_section(0x4E, 1, 1, 1, 0, 0, eit_event(1, utc(2026, 1, 1, 0, 0, 0), { 0, 0, 0 }, 4, descriptors)),
            "psi: EIT section dropped: broken descriptor loop" },
        { "bad start time", eit_section(0x4E, 1, 1, 1, 0, 0, eit_event(1, bad_hour, { 0, 0, 0 }, 4, {})),
            "psi: EIT section dropped: bad start time" },
        { "bad TDT time", tdt_section(bad_hour), "psi: TDT section dropped: bad time" },
        { "NIT", long_section(0x40, 1, 0, 0, 0, { 0xF0, 0x00, 0xF0, 0x00 }), nullptr },
        { "cut short", Bytes { 0x00, 0xB0, 0x20, 0x00 }, "psi: PAT section dropped: cut short" },
        { "empty TOT", Bytes { 0x73, 0x70, 0x00 }, "psi: TOT section dropped: cut short" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sink.drops.clear();
        feed(c.section);
        EXPECT_TRUE(sink.take().empty());
        EXPECT_EQ(sink.drops, c.line ? std::vector<std::string> { c.line } : std::vector<std::string> {});
    }
    // A broken section leaves no version behind: the sound one of that version still comes.
    feed(sdt_section(1, 1, 0, sdt_service(1, 1, text("P"), text("Name"))));
    EXPECT_EQ(sink.take(), std::vector<std::string> { "SDT 1 onid 1 [1 80 1 P/Name]" });
}

TEST_F(PsiSectionsTest, PacketsGiveSectionsAcrossPacketsSeveralInOneAndAfterStuffing)
{
    // An SDT longer than one packet, then a PAT and a TDT in the same packets, on two PIDs.
    Bytes services;
    for (unsigned id = 1; id <= 12; ++id)
        append(services, sdt_service(id, 1, text("Provider"), text("Service number " + std::to_string(id))));
    const Bytes sdt = sdt_section(9, 9, 0, services);
    ASSERT_GT(sdt.size(), 2 * 184u);
    Bytes both = pat_section(9, 0, { { 1, 0x100 } });
    append(both, tdt_section(utc(2026, 12, 11, 12, 0, 0)));
    uint8_t cc17 = 0, cc0 = 5;
    Bytes stream = packetise(17, sdt, cc17);
    append(stream, packetise(0, both, cc0));
    assembler.packets(stream.data(), stream.size());
    auto got = sink.take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].substr(0, 50), "SDT 9 onid 9 [1 80 1 Provider/Service number 1] [2");
    EXPECT_NE(got[0].find("[12 80 1 Provider/Service number 12]"), std::string::npos);
    EXPECT_EQ(got[1], "PAT 9 v0 1:256");
    EXPECT_EQ(got[2], "TDT 2026-12-11/5 12:00:00");

    // The pointer field: the tail of one section, then a new one in the same packet.
    decoder.forget_versions();
    const Bytes pat = pat_section(9, 1, { { 1, 0x100 }, { 2, 0x200 }, { 3, 0x300 } });
    // The first packet holds only the PAT's first 10 bytes, at its end.
    Bytes p1 { 0x47, 0x40, 0x00, 0x11, uint8_t(188 - 5 - 10) };
    p1.resize(188 - 10, 0xFF);
    p1.insert(p1.end(), pat.begin(), pat.begin() + 10);
    const Bytes tdt = tdt_section(utc(2026, 12, 11, 12, 0, 1));
    Bytes p2 { 0x47, 0x40, 0x00, 0x12, uint8_t(pat.size() - 10) };
    p2.insert(p2.end(), pat.begin() + 10, pat.end());
    append(p2, tdt);
    p2.resize(188, 0xFF);
    // p1's pointer points at the PAT's start; the bytes before it are stuffing after nothing.
    assembler.reset();
    assembler.packet(p1.data());
    assembler.packet(p2.data());
    EXPECT_EQ(sink.take(), (std::vector<std::string> { "PAT 9 v1 1:256 2:512 3:768", "TDT 2026-12-11/5 12:00:01" }));
    EXPECT_TRUE(sink.drops.empty());
}

TEST_F(PsiSectionsTest, AContinuityErrorDropsTheHalfSectionAndTheNextSectionStillComes)
{
    Bytes services;
    for (unsigned id = 1; id <= 12; ++id)
        append(services, sdt_service(id, 1, text("Provider"), text("Service number " + std::to_string(id))));
    const Bytes sdt = sdt_section(9, 9, 0, services);
    uint8_t cc = 0;
    Bytes stream = packetise(17, sdt, cc);
    ASSERT_GE(stream.size(), 3 * 188u);
    // The second packet is lost.
    Bytes lost(stream.begin(), stream.begin() + 188);
    lost.insert(lost.end(), stream.begin() + 2 * 188, stream.end());
    assembler.packets(lost.data(), lost.size());
    EXPECT_TRUE(sink.take().empty());
    EXPECT_EQ(sink.drops, std::vector<std::string> { "psi: PID 17: continuity error, half section dropped" });

    // A repeated packet is taken once; an adaptation field before the payload is skipped.
    Bytes again = packetise(17, sdt, cc);
    Bytes repeated(again.begin(), again.begin() + 188);
    append(repeated, Bytes(again.begin(), again.end()));
    assembler.packets(repeated.data(), repeated.size());
    EXPECT_EQ(sink.take().size(), 1u);

    decoder.forget_versions();
    const Bytes tdt = tdt_section(utc(2026, 12, 11, 12, 0, 2));
    Bytes adapted { 0x47, 0x40, 0x14, uint8_t(0x30 | (cc & 0x0F)), 7, 0x00, 0, 0, 0, 0, 0, 0, 0x00 };
    append(adapted, tdt);
    adapted.resize(188, 0xFF);
    assembler.packet(adapted.data());
    EXPECT_EQ(sink.take(), std::vector<std::string> { "TDT 2026-12-11/5 12:00:02" });
}

TEST_F(PsiSectionsTest, WholeSectionsBackToBackInOneBufferEachCome)
{
    Bytes buffer = pat_section(3, 0, { { 1, 0x100 } });
    append(buffer, tdt_section(utc(2026, 12, 11, 0, 0, 0)));
    append(buffer, Bytes(10, 0xFF));
    decoder.sections(buffer.data(), buffer.size());
    EXPECT_EQ(sink.take(), (std::vector<std::string> { "PAT 3 v0 1:256", "TDT 2026-12-11/5 00:00:00" }));
}
