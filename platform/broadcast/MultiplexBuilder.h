#pragma once

// The multiplex builder: a transport stream at a constant rate made from a description as the
// device's clock runs. PAT and PMTs every 100 ms, SDT and EIT present/following every second, NIT
// and TDT/TOT every 5 s, eight days of EIT schedule every 10 s; PCR every 35 ms on each service's
// PCR stream (its video, or its audio on a radio service); the elementary streams loop from their
// files with time stamps running on; teletext pages every second and an empty subtitle display set
// every 2 s. Everything follows from the description and the times given to `read`, so one
// description read at the same times gives the same bytes.

#include "broadcast/DvbText.h"
#include "broadcast/ElementaryStream.h"
#include "broadcast/MultiplexSource.h"
#include "broadcast/Pes.h"
#include "broadcast/Teletext.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// A description as read from its JSON (docs/broadcast.md describes the fields).
struct EventTexts {
    std::string language;
    DvbText name, text, extended;
};

struct RotaEntry {
    unsigned start_minute; // local time of day
    unsigned minutes;
    uint8_t rating;        // parental rating byte: 0 none, n for a minimum age of n + 3
    std::vector<EventTexts> texts;
};

enum class StreamKind { video, audio, teletext, subtitles };

struct StreamDescription {
    StreamKind kind;
    uint16_t pid;
    uint8_t component_tag;
    std::string language;              // audio, teletext, subtitles
    std::string file;                  // video, audio
    std::string header;                // teletext
    std::vector<TeletextPage> pages;   // teletext
    uint16_t composition_page = 0;     // subtitles
    uint16_t ancillary_page = 0;       // subtitles
};

struct ServiceDescription {
    uint16_t service_id;
    uint8_t service_type; // 0x01 television, 0x02 radio
    uint16_t pmt_pid;
    DvbText name, provider;
    std::vector<StreamDescription> streams;
    std::vector<RotaEntry> rota;
};

struct MultiplexDescription {
    uint64_t bits_per_second;
    uint16_t transport_stream_id;
    uint16_t original_network_id;
    uint16_t network_id;
    DvbText network_name;
    uint32_t frequency_khz;
    uint32_t bandwidth_khz;
    std::string country;
    int local_time_offset_minutes;
    std::vector<ServiceDescription> services;
};

// Reads a description's JSON; nullopt with `error` naming the field at fault.
std::optional<MultiplexDescription> parse_multiplex_description(const std::string& json, std::string& error);

class MultiplexBuilder : public MultiplexSource {
public:
    // Reads the elementary-stream files (relative to `folder`); null with `error` naming the file at fault.
    static std::unique_ptr<MultiplexBuilder> open(MultiplexDescription description, const std::string& folder,
                                                  std::string& error);

    uint64_t bits_per_second() const override { return description_.bits_per_second; }
    // The stream runs on without a break (the files loop inside it), so this answers false.
    bool read(size_t count, const SYSTEMTIME& utc_now, std::vector<uint8_t>& out) override;

    // The sections of a service's event tables as they stand at `utc` (seconds since 1970);
    // `service` is one of description().services.
    std::vector<Bytes> present_following_sections(const ServiceDescription& service, int64_t utc) const;
    std::vector<Bytes> schedule_sections(const ServiceDescription& service, int64_t utc) const;

    const MultiplexDescription& description() const { return description_; }

private:
    struct Unit {
        uint64_t due; // 90 kHz
        std::vector<TsPacket> packets;
        size_t sent = 0;
    };
    struct PidQueue {
        uint16_t pid;
        uint8_t continuity = 0;
        std::deque<Unit> units;
    };
    struct Feed {
        const ServiceDescription* service;
        const StreamDescription* stream;
        const ElementaryStream* elementary; // null for teletext and subtitles
        uint64_t next_unit = 0;
        uint64_t next_due = 0;
        size_t queue;
    };
    struct Carousel {
        enum class Table { pat, pmt, sdt, nit, present_following, schedule, tdt, tot } table;
        const ServiceDescription* service; // PMT and EIT
        uint64_t interval;
        uint64_t next_due;
        size_t queue;
    };
    struct Event {
        uint16_t id;
        int64_t start; // UTC seconds
        uint32_t duration;
        const Bytes* descriptors;
    };
    struct PcrClock {
        size_t queue;
        uint64_t next_due; // 27 MHz
    };

    explicit MultiplexBuilder(MultiplexDescription description);
    size_t queue_for(uint16_t pid);
    void enqueue(size_t queue, uint64_t due, std::vector<TsPacket> packets);
    void run_carousel(Carousel& carousel, int64_t utc);
    void run_feed(Feed& feed, int64_t utc);
    std::vector<Event> events_around(const ServiceDescription& service, int64_t utc) const;

    MultiplexDescription description_;
    std::vector<std::unique_ptr<ElementaryStream>> elementary_;
    // Each rota entry's event descriptors, made once: per service, per entry.
    std::vector<std::vector<Bytes>> rota_descriptors_;
    std::vector<PidQueue> queues_;
    std::vector<Feed> feeds_;
    std::vector<Carousel> carousels_;
    std::vector<PcrClock> pcr_clocks_;
    uint64_t packets_sent_ = 0;
};

} // namespace kivo
