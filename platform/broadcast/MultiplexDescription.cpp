#include "broadcast/MultiplexDescription.h"

#include "broadcast/MultiplexBuilder.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace kivo {

namespace {

using json = nlohmann::json;

struct DescriptionError {
    std::string message;
};

// The fields of one JSON object: each is taken once by name, and `finish` refuses any left over.
class Fields {
public:
    Fields(const json& object, std::string where) : object_(object), where_(std::move(where))
    {
        if (!object_.is_object())
            fail(where_.empty() ? "the description is not a JSON object" : "\"" + where_ + "\" is not an object");
    }

    std::string path(const std::string& name) const { return where_.empty() ? name : where_ + "." + name; }

    const json& take(const std::string& name)
    {
        auto found = object_.find(name);
        if (found == object_.end())
            fail("missing field \"" + path(name) + "\"");
        taken_.insert(name);
        return *found;
    }

    uint64_t number(const std::string& name, uint64_t low, uint64_t high)
    {
        const json& value = take(name);
        if (!value.is_number_unsigned() || value.get<uint64_t>() < low || value.get<uint64_t>() > high)
            fail("field \"" + path(name) + "\" is not a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        return value.get<uint64_t>();
    }

    int64_t signed_number(const std::string& name, int64_t low, int64_t high)
    {
        const json& value = take(name);
        if (!value.is_number_integer() || value.get<int64_t>() < low || value.get<int64_t>() > high)
            fail("field \"" + path(name) + "\" is not a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        return value.get<int64_t>();
    }

    std::string string(const std::string& name)
    {
        const json& value = take(name);
        if (!value.is_string())
            fail("field \"" + path(name) + "\" is not a string");
        return value.get<std::string>();
    }

    std::string code(const std::string& name)
    {
        std::string value = string(name);
        if (value.size() != 3)
            fail("field \"" + path(name) + "\" is not a three-letter code");
        return value;
    }

    // A text: a string in the default table, or {"selector": n, "text": "..."}.
    DvbText text(const std::string& name, size_t limit)
    {
        const json& value = take(name);
        DvbText text;
        if (value.is_string()) {
            text.text = value.get<std::string>();
        } else {
            Fields inner(value, path(name));
            text.selector = static_cast<uint8_t>(inner.number("selector", 0, 0x1F));
            text.text = inner.string("text");
            inner.finish();
        }
        auto encoded = encode_dvb_text(text);
        if (!encoded)
            fail("field \"" + path(name) + "\" cannot be written with selector " + std::to_string(text.selector));
        if (encoded->size() > limit)
            fail("field \"" + path(name) + "\" is longer than " + std::to_string(limit) + " bytes");
        return text;
    }

    const json& array(const std::string& name)
    {
        const json& value = take(name);
        if (!value.is_array())
            fail("field \"" + path(name) + "\" is not an array");
        return value;
    }

    void finish() const
    {
        for (auto it = object_.begin(); it != object_.end(); ++it)
            if (!taken_.count(it.key()))
                fail("unknown field \"" + path(it.key()) + "\"");
    }

    [[noreturn]] static void fail(const std::string& message) { throw DescriptionError{message}; }

private:
    const json& object_;
    std::string where_;
    std::set<std::string> taken_;
};

std::string item(const std::string& path, size_t index) { return path + "[" + std::to_string(index) + "]"; }

unsigned time_of_day(Fields& fields, const std::string& name)
{
    std::string value = fields.string(name);
    unsigned hours = 0, minutes = 0;
    if (value.size() != 5 || value[2] != ':' || sscanf(value.c_str(), "%2u:%2u", &hours, &minutes) != 2 || hours > 23 ||
        minutes > 59)
        Fields::fail("field \"" + fields.path(name) + "\" is not a time of day as HH:MM");
    return hours * 60 + minutes;
}

TeletextPage read_page(const json& value, const std::string& where)
{
    Fields fields(value, where);
    TeletextPage page;
    page.number = static_cast<uint16_t>(fields.number("page", 100, 899));
    const json& rows = fields.array("rows");
    if (rows.size() > 25)
        Fields::fail("field \"" + fields.path("rows") + "\" has more than 25 rows");
    for (size_t i = 0; i < rows.size(); ++i) {
        std::optional<TeletextRow> row;
        if (rows[i].is_string())
            row = make_teletext_row(rows[i].get<std::string>());
        if (!row)
            Fields::fail("field \"" + item(fields.path("rows"), i) +
                         "\" is not a text of at most 40 characters a teletext row can show");
        page.rows.push_back(*row);
    }
    fields.finish();
    return page;
}

StreamDescription read_stream(const json& value, const std::string& where, uint8_t service_type)
{
    Fields fields(value, where);
    StreamDescription stream;
    std::string kind = fields.string("type");
    stream.pid = static_cast<uint16_t>(fields.number("pid", 0x20, 0x1FFE));
    stream.component_tag = static_cast<uint8_t>(fields.number("component_tag", 0, 255));
    if (kind == "video") {
        if (service_type != 0x01)
            Fields::fail("field \"" + fields.path("type") + "\": video on a radio service");
        stream.kind = StreamKind::video;
        stream.file = fields.string("file");
    } else if (kind == "audio") {
        stream.kind = StreamKind::audio;
        stream.language = fields.code("language");
        stream.file = fields.string("file");
    } else if (kind == "teletext") {
        stream.kind = StreamKind::teletext;
        stream.language = fields.code("language");
        stream.header = fields.string("header");
        if (stream.header.size() > 23)
            Fields::fail("field \"" + fields.path("header") + "\" is longer than 23 characters");
        const json& pages = fields.array("pages");
        if (pages.empty())
            Fields::fail("field \"" + fields.path("pages") + "\" is empty");
        for (size_t i = 0; i < pages.size(); ++i)
            stream.pages.push_back(read_page(pages[i], item(fields.path("pages"), i)));
    } else if (kind == "subtitles") {
        stream.kind = StreamKind::subtitles;
        stream.language = fields.code("language");
        stream.composition_page = static_cast<uint16_t>(fields.number("composition_page", 0, 0xFFFF));
        stream.ancillary_page = static_cast<uint16_t>(fields.number("ancillary_page", 0, 0xFFFF));
    } else {
        Fields::fail("field \"" + fields.path("type") + "\" is not \"video\", \"audio\", \"teletext\" or \"subtitles\"");
    }
    fields.finish();
    return stream;
}

RotaEntry read_rota_entry(const json& value, const std::string& where)
{
    Fields fields(value, where);
    RotaEntry entry;
    entry.start_minute = time_of_day(fields, "start");
    entry.minutes = static_cast<unsigned>(fields.number("minutes", 1, 24 * 60));
    entry.rating = static_cast<uint8_t>(fields.number("rating", 0, 0x0F));
    const json& texts = fields.array("texts");
    if (texts.empty())
        Fields::fail("field \"" + fields.path("texts") + "\" is empty");
    for (size_t i = 0; i < texts.size(); ++i) {
        Fields text(texts[i], item(fields.path("texts"), i));
        EventTexts event;
        event.language = text.code("language");
        event.name = text.text("name", 255);
        event.text = text.text("text", 255);
        event.extended = text.text("extended", 16 * 200);
        if (encode_dvb_text(event.name)->size() + encode_dvb_text(event.text)->size() > 250)
            Fields::fail("fields \"" + text.path("name") + "\" and \"" + text.path("text") + "\" are longer than 250 bytes together");
        text.finish();
        entry.texts.push_back(event);
    }
    fields.finish();
    return entry;
}

ServiceDescription read_service(const json& value, const std::string& where)
{
    Fields fields(value, where);
    ServiceDescription service;
    service.service_id = static_cast<uint16_t>(fields.number("service_id", 1, 0xFFFF));
    std::string type = fields.string("type");
    if (type != "tv" && type != "radio")
        Fields::fail("field \"" + fields.path("type") + "\" is not \"tv\" or \"radio\"");
    service.service_type = type == "tv" ? 0x01 : 0x02;
    service.pmt_pid = static_cast<uint16_t>(fields.number("pmt_pid", 0x20, 0x1FFE));
    service.name = fields.text("name", 120);
    service.provider = fields.text("provider", 120);
    const json& streams = fields.array("streams");
    for (size_t i = 0; i < streams.size(); ++i)
        service.streams.push_back(read_stream(streams[i], item(fields.path("streams"), i), service.service_type));
    auto has = [&](StreamKind kind) {
        return std::any_of(service.streams.begin(), service.streams.end(), [&](const StreamDescription& s) { return s.kind == kind; });
    };
    if (service.service_type == 0x01 && !has(StreamKind::video))
        Fields::fail("field \"" + fields.path("streams") + "\" has no video stream for a television service");
    if (!has(StreamKind::audio) && !has(StreamKind::video))
        Fields::fail("field \"" + fields.path("streams") + "\" has no audio stream");
    const json& rota = fields.array("rota");
    for (size_t i = 0; i < rota.size(); ++i)
        service.rota.push_back(read_rota_entry(rota[i], item(fields.path("rota"), i)));
    for (size_t i = 0; i < service.rota.size(); ++i) {
        const RotaEntry& entry = service.rota[i];
        unsigned next_start = i + 1 < service.rota.size() ? service.rota[i + 1].start_minute
                                                          : service.rota.front().start_minute + 24 * 60;
        if (next_start < entry.start_minute || entry.start_minute + entry.minutes > next_start)
            Fields::fail("field \"" + item(fields.path("rota"), i) + "\" overlaps the next programme or is out of order");
    }
    fields.finish();
    return service;
}

MultiplexDescription read_description(const json& root)
{
    Fields fields(root, "");
    MultiplexDescription description;
    description.bits_per_second = fields.number("bits_per_second", 100000, 100000000);
    description.transport_stream_id = static_cast<uint16_t>(fields.number("transport_stream_id", 0, 0xFFFF));
    description.original_network_id = static_cast<uint16_t>(fields.number("original_network_id", 0, 0xFFFF));
    description.network_id = static_cast<uint16_t>(fields.number("network_id", 0, 0xFFFF));
    description.network_name = fields.text("network_name", 255);
    description.frequency_khz = static_cast<uint32_t>(fields.number("frequency_khz", 1, 40000000));
    description.bandwidth_khz = static_cast<uint32_t>(fields.number("bandwidth_khz", 5000, 8000));
    description.country = fields.code("country");
    description.local_time_offset_minutes = static_cast<int>(fields.signed_number("local_time_offset_minutes", -720, 840));
    const json& services = fields.array("services");
    if (services.empty())
        Fields::fail("field \"services\" is empty");
    std::set<unsigned> pids{0x00, 0x10, 0x11, 0x12, 0x14};
    std::set<unsigned> service_ids;
    for (size_t i = 0; i < services.size(); ++i) {
        ServiceDescription service = read_service(services[i], item("services", i));
        if (!service_ids.insert(service.service_id).second)
            Fields::fail("field \"" + item("services", i) + ".service_id\" repeats another service's");
        if (!pids.insert(service.pmt_pid).second)
            Fields::fail("field \"" + item("services", i) + ".pmt_pid\" repeats a PID in use");
        for (size_t k = 0; k < service.streams.size(); ++k)
            if (!pids.insert(service.streams[k].pid).second)
                Fields::fail("field \"" + item(item("services", i) + ".streams", k) + ".pid\" repeats a PID in use");
        description.services.push_back(std::move(service));
    }
    fields.finish();
    return description;
}

} // namespace

std::optional<MultiplexDescription> parse_multiplex_description(const std::string& text, std::string& error)
{
    json root = json::parse(text, nullptr, false);
    if (root.is_discarded()) {
        error = "not JSON";
        return std::nullopt;
    }
    try {
        return read_description(root);
    } catch (const DescriptionError& failure) {
        error = failure.message;
        return std::nullopt;
    }
}

std::unique_ptr<MultiplexSource> open_multiplex_description(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return nullptr;
    }
    std::stringstream content;
    content << file.rdbuf();
    std::string reason;
    auto description = parse_multiplex_description(content.str(), reason);
    if (!description) {
        error = path + ": " + reason;
        return nullptr;
    }
    auto builder = MultiplexBuilder::open(std::move(*description), std::filesystem::path(path).parent_path().string(), reason);
    if (!builder) {
        error = path + ": " + reason;
        return nullptr;
    }
    return builder;
}

} // namespace kivo
