#include "StreamTable.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <set>

namespace kivo {

namespace {

using Json = nlohmann::json;

// The fields of one object, each read once; what is left unread at the end is an unknown field.
class Fields {
public:
    Fields(const Json& object, std::string where, std::string& error)
        : m_object(object)
        , m_where(std::move(where))
        , m_error(error)
    {
    }

    // Errors after the slug is known name the service too.
    void set_where(std::string where) { m_where = std::move(where); }

    const Json* take(const char* name)
    {
        auto found = m_object.find(name);
        if (found == m_object.end()) {
            fail(std::string("missing field \"") + name + "\"");
            return nullptr;
        }
        m_read.insert(name);
        return &*found;
    }

    std::optional<int> integer(const char* name, int lowest, int highest)
    {
        const Json* value = take(name);
        if (!value)
            return {};
        if (!value->is_number_integer() || value->get<int64_t>() < lowest || value->get<int64_t>() > highest)
            return fail_value(name, "a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest));
        return value->get<int>();
    }

    std::optional<std::string> text(const char* name)
    {
        const Json* value = take(name);
        if (!value)
            return {};
        if (!value->is_string())
            return fail_value(name, "text");
        return value->get<std::string>();
    }

    bool all_known()
    {
        for (auto& [key, value] : m_object.items()) {
            if (!m_read.contains(key)) {
                fail("unknown field \"" + key + "\"");
                return false;
            }
        }
        return true;
    }

    std::nullopt_t fail(const std::string& what)
    {
        m_error = m_where + ": " + what;
        return std::nullopt;
    }

    std::nullopt_t fail_value(const char* name, const std::string& expected)
    {
        return fail(std::string("\"") + name + "\" must be " + expected);
    }

private:
    const Json& m_object;
    std::string m_where;
    std::string& m_error;
    std::set<std::string> m_read;
};

bool is_slug(const std::string& slug)
{
    if (slug.empty())
        return false;
    for (char c : slug) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
            return false;
    }
    return true;
}

std::optional<ServiceStream> read_service(const Json& entry, const std::string& where, std::string& error)
{
    if (!entry.is_object()) {
        error = where + ": must be an object";
        return {};
    }
    Fields fields(entry, where, error);
    ServiceStream service;
    auto slug = fields.text("slug");
    if (!slug)
        return {};
    if (!is_slug(*slug))
        return fields.fail_value("slug", "lower-case letters, digits and '-'");
    service.slug = *slug;
    fields.set_where(where + " (" + service.slug + ")");

    // Tones stay well below half the sampling rate, and a whole number of cycles fits a whole
    // number of seconds, so the sound joins where the stream starts again.
    auto tone = fields.integer("tone_hz", 20, 12000);
    if (!tone)
        return {};
    service.tone_hz = *tone;

    const Json* seconds = fields.take("seconds");
    if (!seconds)
        return {};
    double length = seconds->is_number() ? seconds->get<double>() : 0;
    double pictures = length * ServiceStream::frames_per_second;
    if (!(length > 0 && length <= 600) || std::fabs(pictures - std::round(pictures)) > 1e-6
        || std::lround(pictures) % ServiceStream::pictures_per_group != 0)
        return fields.fail_value("seconds", "a whole number of 0.6 s groups of pictures, up to 600 s");
    service.picture_count = static_cast<int>(std::lround(pictures));
    if (std::lround(length * service.tone_hz * 1000) % 1000 != 0)
        return fields.fail_value("seconds", "a whole number of cycles of the tone");

    if (entry.contains("video")) {
        const Json* video = fields.take("video");
        if (!video->is_object())
            return fields.fail_value("video", "an object");
        Fields picture(*video, where + " (" + service.slug + ") video", error);
        auto name = picture.text("name");
        if (!name)
            return {};
        // Sizes the encoder and the decoders of the layer take: even, up to the largest picture a
        // broadcast of the device's time carries.
        auto width = picture.integer("width", 16, 1920);
        if (!width)
            return {};
        auto height = picture.integer("height", 16, 1088);
        if (!height)
            return {};
        if (*width % 2 || *height % 2)
            return picture.fail("the picture's width and height must be even");
        if (!picture.all_known())
            return {};
        service.has_video = true;
        service.name = *name;
        service.width = *width;
        service.height = *height;
    }
    if (!fields.all_known())
        return {};
    return service;
}

} // namespace

std::optional<std::vector<ServiceStream>> read_stream_table(const std::filesystem::path& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path.string() + ": cannot be read";
        return {};
    }
    Json table = Json::parse(in, nullptr, false);
    if (table.is_discarded() || !table.is_object()) {
        error = path.string() + ": not a JSON object";
        return {};
    }
    Fields top(table, path.string(), error);
    const Json* streams = top.take("streams");
    if (!streams)
        return {};
    if (!streams->is_array())
        return top.fail_value("streams", "a list");
    if (!top.all_known())
        return {};

    std::vector<ServiceStream> services;
    std::set<std::string> slugs;
    for (size_t index = 0; index < streams->size(); ++index) {
        std::string where = path.string() + ": stream " + std::to_string(index + 1);
        auto service = read_service((*streams)[index], where, error);
        if (!service)
            return {};
        if (!slugs.insert(service->slug).second) {
            error = where + ": the slug \"" + service->slug + "\" is used twice";
            return {};
        }
        services.push_back(std::move(*service));
    }
    return services;
}

} // namespace kivo
