// The builder's multiplex as independent decoders see it: libdvbpsi for every table and
// descriptor, ffprobe and ffmpeg for the services and streams, libzvbi (inside ffmpeg) for the
// teletext; and what the builder promises of its packets (constant rate, PCR, continuity,
// time stamps running on across the files' loops, the same bytes for the same description and time).

#include "broadcast/MultiplexBuilder.h"
#include "broadcast/MultiplexDescription.h"
#include "broadcast/Pes.h"

#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/pat.h>
#include <dvbpsi/pmt.h>
#include <dvbpsi/sdt.h>
#include <dvbpsi/eit.h>
#include <dvbpsi/nit.h>
#include <dvbpsi/tot.h>
#include <dvbpsi/dr.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

namespace kivo {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

std::string run(const std::string& command, int* status = nullptr)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    int result = pclose(pipe);
    if (status)
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

// Seconds since 1970 from the calendar by EN 300 468 Annex C's formula for the MJD.
int64_t utc_of(int year, int month, int day, int hour, int minute, int second)
{
    const int l = (month == 1 || month == 2) ? 1 : 0;
    const int64_t mjd = 14956 + day + static_cast<int64_t>((year - 1900 - l) * 365.25) +
                        static_cast<int64_t>((month + 1 + l * 12) * 30.6001);
    return (mjd - 40587) * 86400 + hour * 3600 + minute * 60 + second;
}

// The 40-bit MJD + BCD time of EN 300 468, as libdvbpsi hands it over.
uint64_t dvb_time(int64_t utc)
{
    const uint64_t mjd = static_cast<uint64_t>(utc / 86400 + 40587);
    const int64_t s = utc % 86400;
    auto bcd = [](int64_t v) { return static_cast<uint64_t>((v / 10) << 4 | (v % 10)); };
    return mjd << 24 | bcd(s / 3600) << 16 | bcd(s / 60 % 60) << 8 | bcd(s % 60);
}

SYSTEMTIME system_time(int64_t utc, unsigned milliseconds = 0)
{
    SYSTEMTIME time{};
    const int64_t days = utc / 86400;
    // Civil date by counting from the MJD formula's inverse (EN 300 468 Annex C).
    const double mjd = static_cast<double>(days + 40587);
    int y = static_cast<int>((mjd - 15078.2) / 365.25);
    int m = static_cast<int>((mjd - 14956.1 - static_cast<int>(y * 365.25)) / 30.6001);
    const int d = static_cast<int>(mjd - 14956 - static_cast<int>(y * 365.25) - static_cast<int>(m * 30.6001));
    const int k = (m == 14 || m == 15) ? 1 : 0;
    y += k;
    m = m - 1 - k * 12;
    time.wYear = static_cast<WORD>(y + 1900);
    time.wMonth = static_cast<WORD>(m);
    time.wDay = static_cast<WORD>(d);
    time.wHour = static_cast<WORD>(utc % 86400 / 3600);
    time.wMinute = static_cast<WORD>(utc % 3600 / 60);
    time.wSecond = static_cast<WORD>(utc % 60);
    time.wMilliseconds = static_cast<WORD>(milliseconds);
    return time;
}

const int64_t test_time = utc_of(2026, 12, 11, 10, 20, 30); // 18:20:30 in Taiwan

class MultiplexBuilderTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = fs::temp_directory_path() / ("kivo-broadcast-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        // One second of each: 30 pictures in closed GOPs of 15 (I and P only), 42 audio frames.
        int status = 0;
        run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=720x480:rate=30000/1001 -t 1 "
            "-c:v mpeg2video -g 15 -bf 0 -flags +cgop -sc_threshold 1000000000 -b:v 2M -f mpeg2video '" +
                (folder_ / "clip.m2v").string() + "' && ffmpeg -hide_banner -loglevel error -y -f lavfi "
                "-i sine=frequency=440:sample_rate=48000 -t 1 -ac 2 -c:a mp2 -b:a 192k -f mp2 '" +
                (folder_ / "clip.mp2").string() + "'",
            &status);
        ASSERT_EQ(status, 0) << "ffmpeg could not make the test clips";
    }

    static void TearDownTestSuite() { fs::remove_all(folder_); }

    static json description()
    {
        return json::parse(R"({
          "bits_per_second": 6000000, "transport_stream_id": 7, "original_network_id": 8206, "network_id": 12289,
          "network_name": "Test Net", "frequency_khz": 533000, "bandwidth_khz": 6000, "country": "TWN",
          "local_time_offset_minutes": 480,
          "services": [
            {"service_id": 101, "type": "tv", "pmt_pid": 256,
             "name": {"selector": 20, "text": "\u6e2c\u8a66\u65b0\u805e"}, "provider": "Kivo",
             "streams": [
               {"type": "video", "pid": 257, "component_tag": 1, "file": "clip.m2v"},
               {"type": "audio", "pid": 258, "component_tag": 2, "language": "chi", "file": "clip.mp2"},
               {"type": "teletext", "pid": 259, "component_tag": 3, "language": "chi", "header": "KIVO TEXT",
                "pages": [{"page": 100, "rows": ["Hello", "Caf\u00e9 au lait"]}, {"page": 101, "rows": ["Second page"]}]},
               {"type": "subtitles", "pid": 260, "component_tag": 4, "language": "chi", "composition_page": 1, "ancillary_page": 2}
             ],
             "rota": [
               {"start": "06:00", "minutes": 720, "rating": 0, "texts": [
                 {"language": "chi", "name": {"selector": 20, "text": "\u65e9\u5b89"}, "text": {"selector": 20, "text": "\u65b0\u805e"},
                  "extended": {"selector": 20, "text": "LONGTEXT"}},
                 {"language": "eng", "name": "Morning", "text": "News", "extended": "A short extended text"}]},
               {"start": "18:00", "minutes": 720, "rating": 9, "texts": [
                 {"language": "eng", "name": "Evening", "text": "Films", "extended": ""}]}
             ]},
            {"service_id": 102, "type": "radio", "pmt_pid": 512, "name": "Caf\u00e9 Radio", "provider": "Kivo",
             "streams": [{"type": "audio", "pid": 513, "component_tag": 1, "language": "eng", "file": "clip.mp2"}],
             "rota": []}
          ]})");
    }

    // A Chinese text long enough for a chain of extended event descriptors.
    static std::string long_chinese()
    {
        std::string text;
        for (int i = 0; i < 300; ++i)
            text += "\u8aaa";
        return text;
    }

    static json full_description()
    {
        json d = description();
        d["services"][0]["rota"][0]["texts"][0]["extended"]["text"] = long_chinese();
        return d;
    }

    static fs::path write_description(const json& d, const std::string& name = "multiplex.json")
    {
        fs::path path = folder_ / name;
        std::ofstream(path) << d.dump(2);
        return path;
    }

    // `seconds` of the multiplex read in steps of 100 ms from `start`, the clock advancing.
    static Bytes build(const json& d, int64_t start, double seconds)
    {
        std::string error;
        auto source = open_multiplex_description(write_description(d).string(), error);
        EXPECT_TRUE(source) << error;
        if (!source)
            return {};
        Bytes out;
        const uint64_t per_step = source->bits_per_second() / 1504 / 10;
        for (int step = 0; step < seconds * 10; ++step)
            source->read(per_step, system_time(start + step / 10, static_cast<unsigned>(step % 10 * 100)), out);
        return out;
    }

    static inline fs::path folder_;
};

// The tables as libdvbpsi decodes them.
struct Descriptor {
    uint8_t tag;
    Bytes data;
};
struct Event {
    uint8_t table_id;
    uint16_t service_id;
    uint16_t id;
    uint64_t start;
    uint32_t duration;
    uint8_t running_status;
    std::vector<Descriptor> descriptors;
};
struct Decoded {
    std::map<uint16_t, uint16_t> programs; // program number -> PMT PID
    uint16_t pat_ts_id = 0;
    struct Es {
        uint8_t type;
        uint16_t pid;
        std::vector<Descriptor> descriptors;
    };
    std::map<uint16_t, std::pair<uint16_t, std::vector<Es>>> pmts; // program -> PCR PID, streams
    std::map<uint16_t, std::pair<bool, std::vector<Descriptor>>> sdt; // service -> EIT flags, descriptors
    uint16_t sdt_onid = 0;
    std::vector<Descriptor> nit_network, nit_stream;
    std::vector<Event> events;
    std::set<std::pair<uint8_t, uint16_t>> eit_tables; // table id, service
    std::vector<uint64_t> tdt;
    std::vector<std::pair<uint64_t, std::vector<Descriptor>>> tot;
    std::vector<std::string> errors;
};

std::vector<Descriptor> copy_descriptors(dvbpsi_descriptor_t* descriptor)
{
    std::vector<Descriptor> out;
    for (; descriptor; descriptor = descriptor->p_next)
        out.push_back({descriptor->i_tag, Bytes(descriptor->p_data, descriptor->p_data + descriptor->i_length)});
    return out;
}

// libdvbpsi's decoders take a descriptor of their own.
template <typename Result>
Result decode(const Descriptor& d, Result* (*decoder)(dvbpsi_descriptor_t*))
{
    dvbpsi_descriptor_t* copy = dvbpsi_NewDescriptor(d.tag, static_cast<uint8_t>(d.data.size()), const_cast<uint8_t*>(d.data.data()));
    Result* decoded = decoder(copy);
    EXPECT_TRUE(decoded) << "descriptor 0x" << std::hex << int(d.tag) << " does not decode";
    Result result{};
    if (decoded)
        result = *decoded;
    dvbpsi_DeleteDescriptors(copy);
    return result;
}

// The extended event descriptor's text lies outside libdvbpsi's record, so it is copied out first.
struct ExtendedPiece {
    int number;
    std::string language, text;
};
ExtendedPiece decode_extended(const Descriptor& d)
{
    dvbpsi_descriptor_t* copy = dvbpsi_NewDescriptor(d.tag, static_cast<uint8_t>(d.data.size()), const_cast<uint8_t*>(d.data.data()));
    dvbpsi_extended_event_dr_t* decoded = dvbpsi_DecodeExtendedEventDr(copy);
    EXPECT_TRUE(decoded) << "extended event descriptor does not decode";
    ExtendedPiece piece{-1, "", ""};
    if (decoded)
        piece = {decoded->i_descriptor_number, std::string(reinterpret_cast<const char*>(decoded->i_iso_639_code), 3),
                 std::string(reinterpret_cast<const char*>(decoded->i_text), static_cast<size_t>(decoded->i_text_length))};
    dvbpsi_DeleteDescriptors(copy);
    return piece;
}

const Descriptor* find(const std::vector<Descriptor>& descriptors, uint8_t tag, size_t skip = 0)
{
    for (const Descriptor& d : descriptors)
        if (d.tag == tag && skip-- == 0)
            return &d;
    return nullptr;
}

void on_message(dvbpsi_t* handle, const dvbpsi_msg_level_t level, const char* message)
{
    if (level == DVBPSI_MSG_ERROR)
        static_cast<Decoded*>(handle->p_sys)->errors.push_back(message);
}

Decoded decode_tables(const Bytes& stream, const std::set<uint16_t>& pmt_pids)
{
    Decoded result;
    std::map<uint16_t, dvbpsi_t*> handles;
    auto handle = [&](uint16_t pid) {
        dvbpsi_t* h = dvbpsi_new(on_message, DVBPSI_MSG_ERROR);
        h->p_sys = &result;
        handles[pid] = h;
        return h;
    };
    dvbpsi_pat_attach(handle(0), [](void* data, dvbpsi_pat_t* pat) {
        auto* r = static_cast<Decoded*>(data);
        r->pat_ts_id = pat->i_ts_id;
        for (auto* p = pat->p_first_program; p; p = p->p_next)
            r->programs[p->i_number] = p->i_pid;
        dvbpsi_pat_delete(pat);
    }, &result);
    for (uint16_t pid : pmt_pids) {
        // The program number is the PMT PID's service: 256 -> 101, 512 -> 102.
        dvbpsi_pmt_attach(handle(pid), static_cast<uint16_t>(pid == 256 ? 101 : 102), [](void* data, dvbpsi_pmt_t* pmt) {
            auto* r = static_cast<Decoded*>(data);
            std::vector<Decoded::Es> streams;
            for (auto* es = pmt->p_first_es; es; es = es->p_next)
                streams.push_back({es->i_type, es->i_pid, copy_descriptors(es->p_first_descriptor)});
            r->pmts[pmt->i_program_number] = {pmt->i_pcr_pid, streams};
            dvbpsi_pmt_delete(pmt);
        }, &result);
    }
    auto subtable = [](dvbpsi_t* h, uint8_t table, uint16_t extension, void* data) {
        if (table == 0x42) {
            dvbpsi_sdt_attach(h, table, extension, [](void* d, dvbpsi_sdt_t* sdt) {
                auto* r = static_cast<Decoded*>(d);
                r->sdt_onid = sdt->i_network_id;
                for (auto* s = sdt->p_first_service; s; s = s->p_next)
                    r->sdt[s->i_service_id] = {s->b_eit_schedule && s->b_eit_present, copy_descriptors(s->p_first_descriptor)};
                dvbpsi_sdt_delete(sdt);
            }, data);
        } else if (table == 0x40) {
            dvbpsi_nit_attach(h, table, extension, [](void* d, dvbpsi_nit_t* nit) {
                auto* r = static_cast<Decoded*>(d);
                r->nit_network = copy_descriptors(nit->p_first_descriptor);
                if (nit->p_first_ts)
                    r->nit_stream = copy_descriptors(nit->p_first_ts->p_first_descriptor);
                dvbpsi_nit_delete(nit);
            }, data);
        } else if (table == 0x4E || (table >= 0x50 && table <= 0x5F)) {
            dvbpsi_eit_attach(h, table, extension, [](void* d, dvbpsi_eit_t* eit) {
                auto* r = static_cast<Decoded*>(d);
                r->eit_tables.insert({eit->i_table_id, eit->i_extension});
                for (auto* e = eit->p_first_event; e; e = e->p_next)
                    r->events.push_back({eit->i_table_id, eit->i_extension, e->i_event_id, e->i_start_time, e->i_duration,
                                         e->i_running_status, copy_descriptors(e->p_first_descriptor)});
                dvbpsi_eit_delete(eit);
            }, data);
        } else if (table == 0x70 || table == 0x73) {
            dvbpsi_tot_attach(h, table, extension, [](void* d, dvbpsi_tot_t* tot) {
                auto* r = static_cast<Decoded*>(d);
                if (tot->i_table_id == 0x70)
                    r->tdt.push_back(static_cast<uint64_t>(tot->i_utc_time));
                else
                    r->tot.push_back({static_cast<uint64_t>(tot->i_utc_time), copy_descriptors(tot->p_first_descriptor)});
                dvbpsi_tot_delete(tot);
            }, data);
        }
    };
    for (uint16_t pid : {0x10, 0x11, 0x12, 0x14})
        dvbpsi_AttachDemux(handle(static_cast<uint16_t>(pid)), subtable, &result);

    for (size_t offset = 0; offset + ts_packet_size <= stream.size(); offset += ts_packet_size) {
        uint16_t pid = static_cast<uint16_t>(((stream[offset + 1] & 0x1F) << 8) | stream[offset + 2]);
        auto found = handles.find(pid);
        if (found != handles.end())
            dvbpsi_packet_push(found->second, const_cast<uint8_t*>(&stream[offset]));
    }
    for (auto& [pid, h] : handles) {
        if (pid == 0)
            dvbpsi_pat_detach(h);
        else if (pmt_pids.count(pid))
            dvbpsi_pmt_detach(h);
        else
            dvbpsi_DetachDemux(h);
        dvbpsi_delete(h);
    }
    return result;
}

std::string text(const uint8_t* bytes, size_t size) { return std::string(reinterpret_cast<const char*>(bytes), size); }
std::string ucs2(std::initializer_list<uint16_t> units)
{
    std::string out;
    for (uint16_t unit : units)
        out += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    return out;
}

TEST_F(MultiplexBuilderTest, EveryTableAndDescriptorDecodesWithLibdvbpsi)
{
    const Bytes stream = build(full_description(), test_time, 12);
    const Decoded tables = decode_tables(stream, {256, 512});
    EXPECT_TRUE(tables.errors.empty()) << tables.errors.front();

    EXPECT_EQ(tables.pat_ts_id, 7);
    EXPECT_EQ(tables.programs, (std::map<uint16_t, uint16_t>{{0, 0x10}, {101, 256}, {102, 512}}));

    // PMTs: types, PIDs, the PCR on the video (or the radio's audio), the descriptors of each stream.
    ASSERT_EQ(tables.pmts.count(101), 1u);
    const auto& [pcr, streams] = tables.pmts.at(101);
    EXPECT_EQ(pcr, 257);
    ASSERT_EQ(streams.size(), 4u);
    const uint8_t types[] = {0x02, 0x03, 0x06, 0x06};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(streams[i].type, types[i]);
        EXPECT_EQ(streams[i].pid, 257 + i);
        ASSERT_TRUE(find(streams[i].descriptors, 0x52));
        EXPECT_EQ(decode(*find(streams[i].descriptors, 0x52), dvbpsi_DecodeStreamIdentifierDr).i_component_tag, i + 1);
    }
    ASSERT_TRUE(find(streams[1].descriptors, 0x0A));
    auto language = decode(*find(streams[1].descriptors, 0x0A), dvbpsi_DecodeISO639Dr);
    EXPECT_EQ(language.i_code_count, 1);
    EXPECT_EQ(text(language.code[0].iso_639_code, 3), "chi");
    ASSERT_TRUE(find(streams[2].descriptors, 0x56));
    auto teletext = decode(*find(streams[2].descriptors, 0x56), dvbpsi_DecodeTeletextDr);
    ASSERT_EQ(teletext.i_pages_number, 2);
    EXPECT_EQ(teletext.p_pages[0].i_teletext_type, 1); // initial page
    EXPECT_EQ(teletext.p_pages[0].i_teletext_magazine_number, 1);
    EXPECT_EQ(teletext.p_pages[0].i_teletext_page_number, 0x00);
    EXPECT_EQ(teletext.p_pages[1].i_teletext_page_number, 0x01);
    ASSERT_TRUE(find(streams[3].descriptors, 0x59));
    auto subtitling = decode(*find(streams[3].descriptors, 0x59), dvbpsi_DecodeSubtitlingDr);
    ASSERT_EQ(subtitling.i_subtitles_number, 1);
    EXPECT_EQ(subtitling.p_subtitle[0].i_composition_page_id, 1);
    EXPECT_EQ(subtitling.p_subtitle[0].i_ancillary_page_id, 2);
    EXPECT_EQ(tables.pmts.at(102).first, 513);

    // SDT: the service types and the names in their tables (0x14: 16-bit units; default: mark first).
    EXPECT_EQ(tables.sdt_onid, 8206);
    ASSERT_EQ(tables.sdt.size(), 2u);
    auto tv = decode(*find(tables.sdt.at(101).second, 0x48), dvbpsi_DecodeServiceDr);
    EXPECT_EQ(tv.i_service_type, 0x01);
    EXPECT_EQ(text(tv.i_service_name, tv.i_service_name_length), "\x14" + ucs2({0x6E2C, 0x8A66, 0x65B0, 0x805E}));
    EXPECT_EQ(text(tv.i_service_provider_name, tv.i_service_provider_name_length), "Kivo");
    auto radio = decode(*find(tables.sdt.at(102).second, 0x48), dvbpsi_DecodeServiceDr);
    EXPECT_EQ(radio.i_service_type, 0x02);
    EXPECT_EQ(text(radio.i_service_name, radio.i_service_name_length), "Caf\xC2" "e Radio");
    EXPECT_TRUE(tables.sdt.at(101).first);

    // NIT: the network's name, its services and the channel.
    ASSERT_TRUE(find(tables.nit_network, 0x40));
    auto network = decode(*find(tables.nit_network, 0x40), dvbpsi_DecodeNetworkNameDr);
    EXPECT_EQ(text(network.i_name_byte, network.i_name_length), "Test Net");
    ASSERT_TRUE(find(tables.nit_stream, 0x41) && find(tables.nit_stream, 0x5A));
    auto list = decode(*find(tables.nit_stream, 0x41), dvbpsi_DecodeServiceListDr);
    ASSERT_EQ(list.i_service_count, 2);
    EXPECT_EQ(list.i_service[1].i_service_id, 102);
    EXPECT_EQ(list.i_service[1].i_service_type, 0x02);
    auto delivery = decode(*find(tables.nit_stream, 0x5A), dvbpsi_DecodeTerrDelivSysDr);
    EXPECT_EQ(delivery.i_centre_frequency, 53300000u); // 10 Hz units
    EXPECT_EQ(delivery.i_bandwidth, 2);                 // 6 MHz

    // TDT and TOT: the times the builder was read at, the offset +08:00 for Taiwan.
    ASSERT_FALSE(tables.tdt.empty());
    EXPECT_EQ(tables.tdt.front(), dvb_time(test_time));
    EXPECT_EQ(tables.tdt.back(), dvb_time(test_time + 10)); // the one sent at 10 s
    ASSERT_FALSE(tables.tot.empty());
    EXPECT_EQ(tables.tot.front().first, dvb_time(test_time + 2));
    ASSERT_TRUE(find(tables.tot.front().second, 0x58));
    auto offset = decode(*find(tables.tot.front().second, 0x58), dvbpsi_DecodeLocalTimeOffsetDr);
    ASSERT_EQ(offset.i_local_time_offsets_number, 1);
    EXPECT_EQ(text(offset.p_local_time_offset[0].i_country_code, 3), "TWN");
    EXPECT_EQ(offset.p_local_time_offset[0].i_local_time_offset_polarity, 0);
    EXPECT_EQ(offset.p_local_time_offset[0].i_local_time_offset, 0x0800);
}

TEST_F(MultiplexBuilderTest, EventsLieAroundTheClockWithTheirTexts)
{
    // The schedule goes round every 10 s; a decoder takes a table once it has seen it go round.
    const Bytes stream = build(full_description(), test_time, 21);
    const Decoded tables = decode_tables(stream, {256, 512});
    EXPECT_TRUE(tables.errors.empty()) << tables.errors.front();

    // 18:20 in Taiwan: the evening programme (18:00 local, 10:00 UTC) runs, the morning one follows.
    std::vector<const Event*> present_following;
    for (const Event& e : tables.events)
        if (e.table_id == 0x4E && e.service_id == 101)
            present_following.push_back(&e);
    ASSERT_EQ(present_following.size(), 2u);
    const Event& present = *present_following[0];
    const Event& following = *present_following[1];
    EXPECT_EQ(present.start, dvb_time(utc_of(2026, 12, 11, 10, 0, 0)));
    EXPECT_EQ(present.duration, 0x120000u); // 12:00:00 in BCD
    EXPECT_EQ(present.running_status, 4);
    EXPECT_EQ(following.start, dvb_time(utc_of(2026, 12, 11, 22, 0, 0)));
    EXPECT_EQ(following.running_status, 1);
    EXPECT_EQ(following.id, present.id + 1);

    auto evening = decode(*find(present.descriptors, 0x4D), dvbpsi_DecodeShortEventDr);
    EXPECT_EQ(text(evening.i_iso_639_code, 3), "eng");
    EXPECT_EQ(text(evening.i_event_name, static_cast<size_t>(evening.i_event_name_length)), "Evening");
    EXPECT_EQ(text(evening.i_text, static_cast<size_t>(evening.i_text_length)), "Films");
    EXPECT_FALSE(find(present.descriptors, 0x4E)); // no extended text
    ASSERT_TRUE(find(present.descriptors, 0x55));
    auto rating = decode(*find(present.descriptors, 0x55), dvbpsi_DecodeParentalRatingDr);
    ASSERT_EQ(rating.i_ratings_number, 1);
    EXPECT_EQ(rating.p_parental_rating[0].i_country_code, uint32_t{'T'} << 16 | 'W' << 8 | 'N');
    EXPECT_EQ(rating.p_parental_rating[0].i_rating, 9);

    // The morning programme: short texts in both languages, and each language's extended text as a
    // chain whose pieces, joined, give the text back (the Chinese one in 16-bit units, each piece
    // with its selector).
    auto chinese = decode(*find(following.descriptors, 0x4D, 0), dvbpsi_DecodeShortEventDr);
    EXPECT_EQ(text(chinese.i_iso_639_code, 3), "chi");
    EXPECT_EQ(text(chinese.i_event_name, static_cast<size_t>(chinese.i_event_name_length)), "\x14" + ucs2({0x65E9, 0x5B89}));
    auto english = decode(*find(following.descriptors, 0x4D, 1), dvbpsi_DecodeShortEventDr);
    EXPECT_EQ(text(english.i_event_name, static_cast<size_t>(english.i_event_name_length)), "Morning");
    std::map<std::string, std::string> extended;
    std::map<std::string, int> last_number;
    for (size_t k = 0; const Descriptor* d = find(following.descriptors, 0x4E, k); ++k) {
        const ExtendedPiece piece = decode_extended(*d);
        const std::string& language = piece.language;
        std::string body = piece.text;
        ASSERT_EQ(piece.number, (extended.count(language) ? last_number[language] + 1 : 0));
        last_number[language] = piece.number;
        if (language == "chi") {
            ASSERT_EQ(body[0], '\x14');
            body.erase(0, 1);
        }
        extended[language] += body;
    }
    std::string expected_chinese;
    for (int i = 0; i < 300; ++i)
        expected_chinese += ucs2({0x8AAA});
    EXPECT_EQ(extended["chi"], expected_chinese);
    EXPECT_GE(last_number["chi"], 2);
    EXPECT_EQ(extended["eng"], "A short extended text");

    // The schedule: eight days from today's midnight (UTC) in tables 0x50 and 0x51, each
    // programme once, with its start.
    std::set<uint64_t> starts;
    for (const Event& e : tables.events)
        if (e.table_id >= 0x50 && e.service_id == 101) {
            EXPECT_TRUE(starts.insert(e.start).second) << "repeated event";
        }
    std::set<uint64_t> expected;
    for (int day = 11; day < 19; ++day) {
        expected.insert(dvb_time(utc_of(2026, 12, day, 10, 0, 0)));
        expected.insert(dvb_time(utc_of(2026, 12, day, 22, 0, 0)));
    }
    EXPECT_EQ(starts, expected);
    EXPECT_TRUE(tables.eit_tables.count({0x50, 101}) && tables.eit_tables.count({0x51, 101}));
    EXPECT_TRUE(tables.eit_tables.count({0x4E, 102}) && tables.eit_tables.count({0x50, 102})); // empty, yet sent
}

// When the evening programme ends the morning one is present: a new version, the next event following.
TEST_F(MultiplexBuilderTest, PresentAndFollowingMoveOnWithANewVersion)
{
    std::string error;
    auto parsed = parse_multiplex_description(description().dump(), error);
    ASSERT_TRUE(parsed) << error;
    auto builder = MultiplexBuilder::open(std::move(*parsed), folder_.string(), error);
    ASSERT_TRUE(builder) << error;
    const ServiceDescription& service = builder->description().services[0];
    const int64_t evening_ends = utc_of(2026, 12, 11, 22, 0, 0);

    auto version = [](const Bytes& section) { return (section[5] >> 1) & 0x1F; };
    auto event_id = [](const Bytes& section) { return section.size() > 18 ? section[14] << 8 | section[15] : -1; };
    const std::vector<Bytes> before = builder->present_following_sections(service, evening_ends - 1);
    const std::vector<Bytes> after = builder->present_following_sections(service, evening_ends);
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(event_id(after[0]), event_id(before[1]));
    EXPECT_EQ(event_id(after[1]), event_id(before[1]) + 1);
    EXPECT_NE(version(after[0]), version(before[0]));
    EXPECT_EQ(version(after[0]), version(after[1]));
    EXPECT_EQ(builder->present_following_sections(service, evening_ends - 3600), before); // unchanged within the programme
}

TEST_F(MultiplexBuilderTest, PlaysInFfmpegWithItsServicesAndTeletext)
{
    const Bytes stream = build(full_description(), test_time, 6);
    const fs::path file = folder_ / "play.ts";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));

    json probe = json::parse(run("ffprobe -v error -of json -show_programs '" + file.string() + "'"));
    std::map<std::string, std::map<int, std::string>> services; // name -> PID -> codec
    for (const json& program : probe["programs"])
        for (const json& s : program["streams"])
            services[program["tags"]["service_name"].get<std::string>()][std::stoi(s["id"].get<std::string>(), nullptr, 16)] =
                s["codec_name"].get<std::string>();
    EXPECT_EQ(services, (std::map<std::string, std::map<int, std::string>>{
                            {"\u6e2c\u8a66\u65b0\u805e", {{257, "mpeg2video"}, {258, "mp2"}, {259, "dvb_teletext"}, {260, "dvb_subtitle"}}},
                            {"Caf\u00e9 Radio", {{513, "mp2"}}}}));

    // Every picture and audio frame decodes; the subtitles decode too.
    int status = -1;
    std::string errors = run("ffmpeg -hide_banner -v error -xerror -i '" + file.string() + "' -map 0:v -map 0:a -f null - 2>&1", &status);
    EXPECT_EQ(status, 0) << errors;
    EXPECT_EQ(errors, "");
    std::string frames = run("ffprobe -v error -select_streams 3 -show_frames -of csv '" + file.string() + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(frames.find("subtitle"), std::string::npos) << frames;

    // The teletext through libzvbi: the rows, the accent placed by X/26, page by page.
    std::string pages = run("ffmpeg -hide_banner -v error -txt_format text -txt_page 100 -i '" + file.string() +
                                "' -map 0:2 -f srt - 2>&1",
                            &status);
    EXPECT_EQ(status, 0) << pages;
    EXPECT_NE(pages.find("Hello\r\nCaf\u00e9 au lait"), std::string::npos) << pages;
    pages = run("ffmpeg -hide_banner -v error -txt_format text -txt_page 101 -i '" + file.string() + "' -map 0:2 -f srt - 2>&1");
    EXPECT_NE(pages.find("Second page"), std::string::npos) << pages;
}

// The packets as a receiver relies on them.
TEST_F(MultiplexBuilderTest, PacketsComeAtAConstantRateWithPcrContinuityAndRunningTimeStamps)
{
    const json d = full_description();
    const Bytes stream = build(d, test_time, 4); // the one-second clips loop four times
    const uint64_t rate = d["bits_per_second"];
    ASSERT_EQ(stream.size() % ts_packet_size, 0u);

    std::map<uint16_t, int> continuity;
    std::map<uint16_t, uint64_t> last_pcr_packet;
    std::map<uint16_t, std::vector<uint64_t>> pts;
    std::map<uint16_t, uint64_t> latest_pcr;
    for (size_t n = 0; n * ts_packet_size < stream.size(); ++n) {
        const uint8_t* p = &stream[n * ts_packet_size];
        ASSERT_EQ(p[0], 0x47);
        const uint16_t pid = static_cast<uint16_t>(((p[1] & 0x1F) << 8) | p[2]);
        const bool payload = p[3] & 0x10;
        const bool adaptation = p[3] & 0x20;
        if (pid == 0x1FFF)
            continue;
        if (payload) {
            if (continuity.count(pid)) {
                ASSERT_EQ(p[3] & 0x0F, (continuity[pid] + 1) & 0x0F) << "PID " << pid << " packet " << n;
            }
            continuity[pid] = p[3] & 0x0F;
        } else if (continuity.count(pid)) {
            ASSERT_EQ(p[3] & 0x0F, continuity[pid]); // without payload the counter stays
        }
        if (adaptation && p[4] > 0 && (p[5] & 0x10)) {
            const uint64_t base = uint64_t{p[6]} << 25 | uint64_t{p[7]} << 17 | uint64_t{p[8]} << 9 | uint64_t{p[9]} << 1 | p[10] >> 7;
            const uint64_t pcr = base * 300 + ((p[10] & 1) << 8 | p[11]);
            // The PCR tells the packet's place at the stream's rate, within a tick.
            const double expected = static_cast<double>(n) * 1504 * 27e6 / static_cast<double>(rate);
            EXPECT_NEAR(static_cast<double>(pcr), expected, 1.0) << "packet " << n;
            if (last_pcr_packet.count(pid)) {
                EXPECT_LE((n - last_pcr_packet[pid]) * 1504 * 1000 / rate, 40u) << "PCR gap on PID " << pid;
            }
            last_pcr_packet[pid] = n;
            latest_pcr[pid] = pcr;
        }
        if (payload && (p[1] & 0x40) && (pid == 257 || pid == 258)) {
            const uint8_t* pes = p + 4 + (adaptation ? p[4] + 1 : 0);
            ASSERT_TRUE(pes[0] == 0 && pes[1] == 0 && pes[2] == 1 && (pes[7] & 0x80));
            const uint64_t stamp = uint64_t{pes[9] & 0x0Eu} << 29 | uint64_t{pes[10]} << 22 | uint64_t{pes[11] & 0xFEu} << 14 |
                                   uint64_t{pes[12]} << 7 | pes[13] >> 1;
            // Each unit arrives before it is due on its program's clock.
            EXPECT_GT(stamp * 300, latest_pcr[257]) << "late unit on PID " << pid;
            pts[pid].push_back(stamp);
        }
    }
    EXPECT_EQ(std::set<uint16_t>({257, 513}), [&] {
        std::set<uint16_t> pids;
        for (auto& [pid, packet] : last_pcr_packet)
            pids.insert(pid);
        return pids;
    }());
    // Pictures every 3003 ticks (29.97 Hz) and audio frames every 2160 (1152 samples at 48 kHz),
    // straight across the loops of the files.
    ASSERT_GT(pts[257].size(), 100u);
    for (size_t i = 1; i < pts[257].size(); ++i)
        ASSERT_EQ(pts[257][i] - pts[257][i - 1], 3003u) << "picture " << i;
    ASSERT_GT(pts[258].size(), 150u);
    for (size_t i = 1; i < pts[258].size(); ++i)
        ASSERT_EQ(pts[258][i] - pts[258][i - 1], 2160u) << "audio frame " << i;
}

TEST_F(MultiplexBuilderTest, OneDescriptionAtOneTimeGivesTheSameBytes)
{
    const json d = full_description();
    const Bytes first = build(d, test_time, 3);
    EXPECT_EQ(first, build(d, test_time, 3));
    EXPECT_NE(first, build(d, test_time + 86400, 3)); // another day, other tables

    // Read in other steps at the same time, the bytes are the same too.
    std::string error;
    auto whole = open_multiplex_description(write_description(d, "whole.json").string(), error);
    auto pieces = open_multiplex_description(write_description(d, "pieces.json").string(), error);
    ASSERT_TRUE(whole && pieces) << error;
    Bytes a, b;
    whole->read(3000, system_time(test_time), a);
    for (size_t step : {1, 7, 992, 2000})
        pieces->read(step, system_time(test_time), b);
    EXPECT_EQ(a, b);
}

TEST_F(MultiplexBuilderTest, RefusesADescriptionNamingTheFieldAtFault)
{
    struct Case {
        const char* what;
        std::function<void(json&)> change;
        const char* named;
    };
    const Case cases[] = {
        {"missing top-level field", [](json& d) { d.erase("network_name"); }, "missing field \"network_name\""},
        {"unknown field", [](json& d) { d["services"][0]["colour"] = "red"; }, "unknown field \"services[0].colour\""},
        {"missing stream field", [](json& d) { d["services"][1]["streams"][0].erase("pid"); }, "\"services[1].streams[0].pid\""},
        {"unknown text field", [](json& d) { d["services"][0]["name"]["font"] = 1; }, "unknown field \"services[0].name.font\""},
        {"bad time of day", [](json& d) { d["services"][0]["rota"][1]["start"] = "25:00"; }, "\"services[0].rota[1].start\""},
        {"overlapping rota", [](json& d) { d["services"][0]["rota"][0]["minutes"] = 800; }, "\"services[0].rota[0]\""},
        {"Chinese in the default table", [](json& d) { d["services"][1]["name"] = "\u4e2d"; }, "\"services[1].name\""},
        {"teletext row too long", [](json& d) { d["services"][0]["streams"][2]["pages"][0]["rows"][1] = std::string(41, 'x'); },
         "\"services[0].streams[2].pages[0].rows[1]\""},
        {"repeated PID", [](json& d) { d["services"][1]["streams"][0]["pid"] = 257; }, "\"services[1].streams[0].pid\""},
        {"wrong type", [](json& d) { d["bits_per_second"] = "fast"; }, "\"bits_per_second\""},
        {"missing file", [](json& d) { d["services"][0]["streams"][0]["file"] = "nowhere.m2v"; }, "nowhere.m2v"},
        {"rate below the streams'", [](json& d) { d["bits_per_second"] = 1000000; }, "\"bits_per_second\""},
        {"not video", [](json& d) { d["services"][0]["streams"][0]["file"] = "clip.mp2"; }, "clip.mp2"},
    };
    for (const Case& c : cases) {
        json d = description();
        c.change(d);
        std::string error;
        EXPECT_FALSE(open_multiplex_description(write_description(d).string(), error)) << c.what;
        EXPECT_NE(error.find(c.named), std::string::npos) << c.what << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(open_multiplex_description((folder_ / "absent.json").string(), error));
    EXPECT_NE(error.find("absent.json"), std::string::npos);
    std::ofstream(folder_ / "broken.json") << "{\"services\": [";
    EXPECT_FALSE(open_multiplex_description((folder_ / "broken.json").string(), error));
    EXPECT_NE(error.find("not JSON"), std::string::npos);
}

TEST_F(MultiplexBuilderTest, ToolWritesTheSecondsAsked)
{
    const fs::path out = folder_ / "tool.ts";
    int status = -1;
    run(std::string(KIVO_MKMUX) + " '" + write_description(full_description(), "tool.json").string() + "' '" + out.string() + "' 2", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(fs::file_size(out), 2 * 6000000 / 1504 * ts_packet_size);
    run(std::string(KIVO_MKMUX) + " '" + (folder_ / "absent.json").string() + "' '" + (folder_ / "none.ts").string() + "' 2 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(fs::exists(folder_ / "none.ts"));
}

} // namespace
} // namespace kivo
