#include "broadcast/MultiplexBuilder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kivo {

namespace {

constexpr uint16_t pat_pid = 0x00;
constexpr uint16_t nit_pid = 0x10;
constexpr uint16_t sdt_pid = 0x11;
constexpr uint16_t eit_pid = 0x12;
constexpr uint16_t time_pid = 0x14;

constexpr uint64_t ticks_per_second = 90000;
constexpr uint64_t pcr_interval = 27000000 / 1000 * 35;
// Units leave when their time comes and are presented this much later, time enough for the
// decoders' buffers at the stream's rate.
constexpr uint64_t presentation_delay = ticks_per_second * 6 / 10;
constexpr uint64_t teletext_interval = ticks_per_second;
constexpr uint64_t subtitle_interval = ticks_per_second * 2;
constexpr int64_t schedule_days = 8;
constexpr int64_t segment_seconds = 3 * 3600;

int64_t floor_div(int64_t value, int64_t divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

int64_t unix_seconds(const SYSTEMTIME& time)
{
    return days_from_civil(time.wYear, time.wMonth, time.wDay) * 86400 + time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
}

std::optional<Bytes> read_file(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A text cut into pieces of at most `limit` encoded bytes, each a DVB text of its own.
std::vector<Bytes> split_text(const DvbText& text, size_t limit)
{
    std::vector<Bytes> pieces;
    auto code_points = decode_utf8(text.text);
    if (!code_points || code_points->empty())
        return pieces;
    Bytes piece;
    for (char32_t code : *code_points) {
        Bytes encoded = encode_dvb_text({text.selector, encode_utf8(code)}).value_or(Bytes{});
        if (text.selector != 0 && !encoded.empty())
            encoded.erase(encoded.begin()); // the selector opens each piece once
        size_t opening = text.selector != 0 ? 1 : 0;
        if (!piece.empty() && piece.size() + encoded.size() > limit) {
            pieces.push_back(piece);
            piece.clear();
        }
        if (piece.empty() && opening)
            piece.push_back(text.selector);
        piece.insert(piece.end(), encoded.begin(), encoded.end());
    }
    if (!piece.empty())
        pieces.push_back(piece);
    return pieces;
}

Bytes event_descriptors(const RotaEntry& entry, const std::string& country)
{
    Bytes descriptors;
    for (const EventTexts& texts : entry.texts) {
        Bytes short_event = short_event_descriptor(texts.language, *encode_dvb_text(texts.name), *encode_dvb_text(texts.text));
        descriptors.insert(descriptors.end(), short_event.begin(), short_event.end());
    }
    for (const EventTexts& texts : entry.texts) {
        std::vector<Bytes> pieces = split_text(texts.extended, 249);
        for (size_t i = 0; i < pieces.size() && i < 16; ++i) {
            Bytes extended = extended_event_descriptor(static_cast<uint8_t>(i), static_cast<uint8_t>(std::min<size_t>(pieces.size(), 16) - 1),
                                                       texts.language, pieces[i]);
            descriptors.insert(descriptors.end(), extended.begin(), extended.end());
        }
    }
    if (entry.rating != 0) {
        Bytes rating = parental_rating_descriptor(country, entry.rating);
        descriptors.insert(descriptors.end(), rating.begin(), rating.end());
    }
    return descriptors;
}

uint16_t pcr_pid_of(const ServiceDescription& service)
{
    for (StreamKind kind : {StreamKind::video, StreamKind::audio})
        for (const StreamDescription& stream : service.streams)
            if (stream.kind == kind)
                return stream.pid;
    return null_pid;
}

// An empty display set of DVB subtitles: a page composition without regions and its end.
Bytes empty_subtitle_display(uint16_t page, uint64_t version)
{
    Bytes data{0x20, 0x00};
    data.insert(data.end(), {0x0F, 0x10, static_cast<uint8_t>(page >> 8), static_cast<uint8_t>(page), 0x00, 0x02, 5,
                             static_cast<uint8_t>(((version & 15) << 4) | (2 << 2) | 3)});
    data.insert(data.end(), {0x0F, 0x80, static_cast<uint8_t>(page >> 8), static_cast<uint8_t>(page), 0x00, 0x00});
    data.push_back(0xFF);
    return data;
}

} // namespace

MultiplexBuilder::MultiplexBuilder(MultiplexDescription description) : description_(std::move(description)) {}

std::unique_ptr<MultiplexBuilder> MultiplexBuilder::open(MultiplexDescription description, const std::string& folder, std::string& error)
{
    std::unique_ptr<MultiplexBuilder> builder(new MultiplexBuilder(std::move(description)));
    MultiplexBuilder& b = *builder;
    const MultiplexDescription& d = b.description_;

    for (const ServiceDescription& service : d.services) {
        b.rota_descriptors_.emplace_back();
        for (size_t i = 0; i < service.rota.size(); ++i) {
            b.rota_descriptors_.back().push_back(event_descriptors(service.rota[i], d.country));
            if (b.rota_descriptors_.back().back().size() + 12 + eit_section_overhead > eit_section_limit) {
                error = "the texts of service " + std::to_string(service.service_id) + "'s programme " + std::to_string(i) +
                        " do not fit one EIT section";
                return nullptr;
            }
        }
    }

    auto carousel = [&](Carousel::Table table, const ServiceDescription* service, uint16_t pid, uint64_t interval) {
        b.carousels_.push_back({table, service, interval, 0, b.queue_for(pid)});
    };
    carousel(Carousel::Table::pat, nullptr, pat_pid, ticks_per_second / 10);
    for (const ServiceDescription& service : d.services)
        carousel(Carousel::Table::pmt, &service, service.pmt_pid, ticks_per_second / 10);
    carousel(Carousel::Table::sdt, nullptr, sdt_pid, ticks_per_second);
    carousel(Carousel::Table::nit, nullptr, nit_pid, ticks_per_second * 5);
    for (const ServiceDescription& service : d.services)
        carousel(Carousel::Table::present_following, &service, eit_pid, ticks_per_second);
    for (const ServiceDescription& service : d.services)
        carousel(Carousel::Table::schedule, &service, eit_pid, ticks_per_second * 10);
    carousel(Carousel::Table::tdt, nullptr, time_pid, ticks_per_second * 5);
    carousel(Carousel::Table::tot, nullptr, time_pid, ticks_per_second * 5);
    b.carousels_.back().next_due = ticks_per_second * 5 / 2;

    for (const ServiceDescription& service : d.services) {
        for (const StreamDescription& stream : service.streams) {
            const ElementaryStream* elementary = nullptr;
            if (stream.kind == StreamKind::video || stream.kind == StreamKind::audio) {
                auto path = std::filesystem::path(folder) / stream.file;
                auto data = read_file(path);
                if (!data) {
                    error = "cannot read " + path.string();
                    return nullptr;
                }
                std::string reason;
                auto parsed = stream.kind == StreamKind::video ? parse_mpeg2_video(*data, reason) : parse_mpeg_audio(*data, reason);
                if (!parsed) {
                    error = path.string() + ": " + reason;
                    return nullptr;
                }
                b.elementary_.push_back(std::make_unique<ElementaryStream>(std::move(*parsed)));
                elementary = b.elementary_.back().get();
            }
            b.feeds_.push_back({&service, &stream, elementary, 0, 0, b.queue_for(stream.pid)});
        }
        b.pcr_clocks_.push_back({b.queue_for(pcr_pid_of(service)), 0});
    }
    // What the streams and tables need on average, with the packets' headers; a description asking
    // for less would fall further behind with every second and hold ever more packets in waiting.
    double needed = 0;
    for (const Feed& feed : b.feeds_) {
        const StreamDescription& stream = *feed.stream;
        double bytes_per_second = 0;
        if (feed.elementary) {
            size_t bytes = 0;
            for (const Bytes& unit : feed.elementary->units)
                bytes += unit.size() + 14 + ts_packet_size / 2; // PES header, the last packet's stuffing
            bytes_per_second = static_cast<double>(bytes) * static_cast<double>(feed.elementary->units_per_second_numerator) /
                               static_cast<double>(feed.elementary->units_per_second_denominator) /
                               static_cast<double>(feed.elementary->units.size());
        } else if (stream.kind == StreamKind::teletext) {
            size_t packets = 1;
            for (const TeletextPage& page : stream.pages)
                packets += 1 + page.rows.size() + 16;
            bytes_per_second = static_cast<double>((packets + 4) * 46 + 46);
        } else {
            bytes_per_second = 100;
        }
        needed += bytes_per_second * 8 * ts_packet_size / 184;
    }
    for (const ServiceDescription& service : d.services) {
        size_t schedule = 0;
        for (const Bytes& section : b.schedule_sections(service, 0))
            schedule += section.size() + ts_packet_size;
        needed += static_cast<double>(schedule) * 8 / 10 + 20 * ts_packet_size * 8; // PMT, p/f, PCR
    }
    needed += 20 * ts_packet_size * 8; // PAT, SDT, NIT, TDT, TOT
    if (needed > static_cast<double>(d.bits_per_second)) {
        error = "field \"bits_per_second\" is below the " + std::to_string(static_cast<uint64_t>(needed)) +
                " the streams and tables need";
        return nullptr;
    }
    return builder;
}

size_t MultiplexBuilder::queue_for(uint16_t pid)
{
    for (size_t i = 0; i < queues_.size(); ++i)
        if (queues_[i].pid == pid)
            return i;
    queues_.push_back({pid, 0, {}});
    return queues_.size() - 1;
}

void MultiplexBuilder::enqueue(size_t queue, uint64_t due, std::vector<TsPacket> packets)
{
    std::deque<Unit>& units = queues_[queue].units;
    auto position = units.end();
    while (position != units.begin() && std::prev(position)->due > due && !(std::prev(position) == units.begin() && units.front().sent > 0))
        --position;
    units.insert(position, Unit{due, std::move(packets), 0});
}

std::vector<MultiplexBuilder::Event> MultiplexBuilder::events_around(const ServiceDescription& service, int64_t utc) const
{
    std::vector<Event> events;
    const int64_t offset = description_.local_time_offset_minutes * 60;
    const int64_t local_day = floor_div(utc + offset, 86400);
    const int64_t count = static_cast<int64_t>(service.rota.size());
    const std::vector<Bytes>& descriptors = rota_descriptors_[static_cast<size_t>(&service - description_.services.data())];
    for (int64_t day = local_day - 1; day <= local_day + schedule_days + 1; ++day) {
        for (int64_t i = 0; i < count; ++i) {
            const RotaEntry& entry = service.rota[static_cast<size_t>(i)];
            events.push_back({static_cast<uint16_t>((day * count + i) & 0xFFFF), day * 86400 + entry.start_minute * 60 - offset,
                              entry.minutes * 60, &descriptors[static_cast<size_t>(i)]});
        }
    }
    return events;
}

std::vector<Bytes> MultiplexBuilder::present_following_sections(const ServiceDescription& service, int64_t utc) const
{
    std::vector<Event> events = events_around(service, utc);
    std::optional<Event> present, following;
    for (const Event& event : events) {
        if (event.start <= utc && utc < event.start + event.duration)
            present = event;
        else if (event.start > utc && !following)
            following = event;
    }
    const uint8_t version = static_cast<uint8_t>((following ? following->id : present ? present->id : 0) & 0x1F);
    std::vector<Bytes> sections;
    for (uint8_t number = 0; number < 2; ++number) {
        const std::optional<Event>& event = number == 0 ? present : following;
        std::vector<EitEvent> listed;
        if (event)
            listed.push_back({event->id, event->start, event->duration, static_cast<uint8_t>(number == 0 ? 4 : 1), *event->descriptors});
        EitHeader header{table_eit_pf_actual, service.service_id, description_.transport_stream_id,
                         description_.original_network_id, version, number, 1, 1, table_eit_pf_actual};
        sections.push_back(eit_section(header, listed));
    }
    return sections;
}

std::vector<Bytes> MultiplexBuilder::schedule_sections(const ServiceDescription& service, int64_t utc) const
{
    // Two tables of four days each from today's midnight (UTC), 32 segments of three hours per
    // table, each segment one section or more (at most eight), an empty segment one empty section.
    const int64_t day0 = floor_div(utc, 86400);
    const uint8_t version = static_cast<uint8_t>((day0 + 40587) & 0x1F);
    std::vector<Event> events = events_around(service, utc);
    std::vector<Bytes> sections;
    const uint8_t last_table = table_eit_schedule_actual + (schedule_days + 3) / 4 - 1;
    for (uint8_t table = table_eit_schedule_actual; table <= last_table; ++table) {
        std::vector<std::vector<std::vector<EitEvent>>> segments(32);
        for (int64_t segment = 0; segment < 32; ++segment) {
            const int64_t begin = (day0 + (table - table_eit_schedule_actual) * 4) * 86400 + segment * segment_seconds;
            std::vector<std::vector<EitEvent>>& parts = segments[static_cast<size_t>(segment)];
            parts.emplace_back();
            size_t size = eit_section_overhead;
            for (const Event& event : events) {
                if (event.start < begin || event.start >= begin + segment_seconds)
                    continue;
                EitEvent listed{event.id, event.start, event.duration, 0, *event.descriptors};
                if (size + eit_event_size(listed) > eit_section_limit) {
                    if (parts.size() == 8)
                        break;
                    parts.emplace_back();
                    size = eit_section_overhead;
                }
                size += eit_event_size(listed);
                parts.back().push_back(std::move(listed));
            }
        }
        const uint8_t last_section = static_cast<uint8_t>(31 * 8 + segments[31].size() - 1);
        for (uint8_t segment = 0; segment < 32; ++segment) {
            const auto& parts = segments[segment];
            for (size_t k = 0; k < parts.size(); ++k) {
                EitHeader header{table, service.service_id, description_.transport_stream_id, description_.original_network_id,
                                 version, static_cast<uint8_t>(segment * 8 + k), last_section,
                                 static_cast<uint8_t>(segment * 8 + parts.size() - 1), last_table};
                sections.push_back(eit_section(header, parts[k]));
            }
        }
    }
    return sections;
}

void MultiplexBuilder::run_carousel(Carousel& carousel, int64_t utc)
{
    const MultiplexDescription& d = description_;
    const uint16_t pid = queues_[carousel.queue].pid;
    std::vector<Bytes> sections;
    switch (carousel.table) {
    case Carousel::Table::pat: {
        std::vector<PatEntry> programs{{0, nit_pid}};
        for (const ServiceDescription& service : d.services)
            programs.push_back({service.service_id, service.pmt_pid});
        sections.push_back(pat_section(d.transport_stream_id, programs));
        break;
    }
    case Carousel::Table::pmt: {
        std::vector<PmtStream> streams;
        for (const StreamDescription& stream : carousel.service->streams) {
            Bytes descriptors;
            uint8_t type = 0x06;
            switch (stream.kind) {
            case StreamKind::video:
                type = 0x02;
                break;
            case StreamKind::audio:
                type = 0x03;
                descriptors = iso639_language_descriptor(stream.language, 0);
                break;
            case StreamKind::teletext: {
                std::vector<TeletextEntry> entries;
                for (size_t i = 0; i < stream.pages.size(); ++i)
                    entries.push_back({stream.language, static_cast<uint8_t>(i == 0 ? 1 : 3), stream.pages[i].number});
                descriptors = teletext_descriptor(entries);
                break;
            }
            case StreamKind::subtitles:
                descriptors = subtitling_descriptor(stream.language, 0x10, stream.composition_page, stream.ancillary_page);
                break;
            }
            Bytes identifier = stream_identifier_descriptor(stream.component_tag);
            descriptors.insert(descriptors.end(), identifier.begin(), identifier.end());
            streams.push_back({type, stream.pid, descriptors});
        }
        sections.push_back(pmt_section(carousel.service->service_id, pcr_pid_of(*carousel.service), streams));
        break;
    }
    case Carousel::Table::sdt: {
        std::vector<SdtService> services;
        for (const ServiceDescription& service : d.services)
            services.push_back({service.service_id, true, true,
                                service_descriptor(service.service_type, *encode_dvb_text(service.provider), *encode_dvb_text(service.name))});
        sections.push_back(sdt_section(d.transport_stream_id, d.original_network_id, services));
        break;
    }
    case Carousel::Table::nit: {
        std::vector<ServiceListEntry> list;
        for (const ServiceDescription& service : d.services)
            list.push_back({service.service_id, service.service_type});
        Bytes descriptors = service_list_descriptor(list);
        Bytes delivery = terrestrial_delivery_descriptor(d.frequency_khz, d.bandwidth_khz);
        descriptors.insert(descriptors.end(), delivery.begin(), delivery.end());
        sections.push_back(nit_section(d.network_id, network_name_descriptor(*encode_dvb_text(d.network_name)),
                                       {{d.transport_stream_id, d.original_network_id, descriptors}}));
        break;
    }
    case Carousel::Table::present_following:
        sections = present_following_sections(*carousel.service, utc);
        break;
    case Carousel::Table::schedule:
        sections = schedule_sections(*carousel.service, utc);
        break;
    case Carousel::Table::tdt:
        sections.push_back(tdt_section(utc));
        break;
    case Carousel::Table::tot: {
        const int64_t midnight = floor_div(utc, 86400) * 86400;
        sections.push_back(tot_section(utc, local_time_offset_descriptor(d.country, d.local_time_offset_minutes, midnight,
                                                                         d.local_time_offset_minutes)));
        break;
    }
    }
    // The sections of one table leave spread over its interval when there are many (the schedule).
    const uint64_t spacing = sections.size() > 8 ? carousel.interval / (sections.size() + 1) : 0;
    for (size_t i = 0; i < sections.size(); ++i)
        enqueue(carousel.queue, carousel.next_due + i * spacing, packetize_section(pid, sections[i]));
    carousel.next_due += carousel.interval;
}

void MultiplexBuilder::run_feed(Feed& feed, int64_t utc)
{
    const StreamDescription& stream = *feed.stream;
    const uint64_t due = feed.next_due;
    const uint64_t pts = due + presentation_delay;
    Bytes pes;
    switch (stream.kind) {
    case StreamKind::video:
    case StreamKind::audio: {
        const Bytes& unit = feed.elementary->units[feed.next_unit % feed.elementary->units.size()];
        pes = make_pes(stream.kind == StreamKind::video ? 0xE0 : 0xC0, pts, unit);
        ++feed.next_unit;
        feed.next_due = feed.elementary->start_ticks(feed.next_unit);
        break;
    }
    case StreamKind::teletext: {
        // The header shows the local time the pages go out at.
        const int64_t local = utc + description_.local_time_offset_minutes * 60;
        char clock[16];
        const int64_t second_of_day = local - floor_div(local, 86400) * 86400;
        snprintf(clock, sizeof clock, "%02d:%02d:%02d", static_cast<int>(second_of_day / 3600),
                 static_cast<int>(second_of_day / 60 % 60), static_cast<int>(second_of_day % 60));
        std::string header = stream.header;
        header.resize(23, ' ');
        header += ' ';
        header += clock;
        std::vector<TeletextPacket> packets{teletext_830_packet(stream.pages.front().number, description_.network_id, utc,
                                                                description_.local_time_offset_minutes, header.substr(0, 20))};
        for (const TeletextPage& page : stream.pages) {
            std::vector<TeletextPacket> page_packets = teletext_page_packets(page, header);
            packets.insert(packets.end(), page_packets.begin(), page_packets.end());
        }
        pes = teletext_pes(packets, pts);
        ++feed.next_unit;
        feed.next_due += teletext_interval;
        break;
    }
    case StreamKind::subtitles:
        pes = make_pes(0xBD, pts, empty_subtitle_display(stream.composition_page, feed.next_unit));
        ++feed.next_unit;
        feed.next_due += subtitle_interval;
        break;
    }
    enqueue(feed.queue, due, packetize_pes(queues_[feed.queue].pid, pes));
}

bool MultiplexBuilder::read(size_t count, const SYSTEMTIME& utc_now, std::vector<uint8_t>& out)
{
    const int64_t utc = unix_seconds(utc_now);
    out.reserve(out.size() + count * ts_packet_size);
    for (size_t n = 0; n < count; ++n, ++packets_sent_) {
        const auto clock = static_cast<uint64_t>(static_cast<unsigned __int128>(packets_sent_) * ts_packet_size * 8 * 27000000 /
                                                 description_.bits_per_second);
        const uint64_t now = clock / 300;
        for (Carousel& carousel : carousels_)
            while (carousel.next_due <= now)
                run_carousel(carousel, utc);
        for (Feed& feed : feeds_)
            while (feed.next_due <= now)
                run_feed(feed, utc);

        TsPacket packet = null_packet();
        PcrClock* pcr = nullptr;
        for (PcrClock& candidate : pcr_clocks_)
            if (candidate.next_due <= clock && (!pcr || candidate.next_due < pcr->next_due))
                pcr = &candidate;
        if (pcr) {
            PidQueue& queue = queues_[pcr->queue];
            packet = pcr_packet(queue.pid, clock);
            set_continuity(packet, static_cast<uint8_t>(queue.continuity - 1)); // no payload: the counter stays
            pcr->next_due += pcr_interval;
        } else {
            PidQueue* chosen = nullptr;
            for (PidQueue& queue : queues_)
                if (!queue.units.empty() && queue.units.front().due <= now && (!chosen || queue.units.front().due < chosen->units.front().due))
                    chosen = &queue;
            if (chosen) {
                Unit& unit = chosen->units.front();
                packet = unit.packets[unit.sent++];
                set_continuity(packet, chosen->continuity);
                chosen->continuity = static_cast<uint8_t>((chosen->continuity + 1) & 0x0F);
                if (unit.sent == unit.packets.size())
                    chosen->units.pop_front();
            }
        }
        out.insert(out.end(), packet.begin(), packet.end());
    }
    return false;
}

} // namespace kivo
