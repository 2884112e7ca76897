// kivo-mkes TABLE OUT-FOLDER [SLUG...]
// Makes the elementary streams of the services in the table (all, or those named): <slug>.m2v for
// a television service's picture and <slug>.mp2 for every service's sound.

#include "StreamTable.h"
#include "TestPatternEncoder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Written beside its place and put there whole, so a failed run leaves no half-written stream.
bool write_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    std::filesystem::path part = path;
    part += ".new";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(part, ignored);
            error = part.string() + ": cannot be written";
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::rename(part, path, failure);
    if (failure) {
        std::filesystem::remove(part, failure);
        error = path.string() + ": cannot be put in place";
        return false;
    }
    return true;
}

bool make_streams(kivo::TestPatternEncoder& encoder, const kivo::ServiceStream& service, const std::filesystem::path& folder,
    std::string& error)
{
    if (service.has_video) {
        auto video = encoder.video(service, error);
        if (!video || !write_file(folder / (service.slug + ".m2v"), *video, error))
            return false;
    }
    auto audio = encoder.audio(service, error);
    return audio && write_file(folder / (service.slug + ".mp2"), *audio, error);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kivo-mkes TABLE OUT-FOLDER [SLUG...]\n");
        return 2;
    }
    std::string error;
    auto table = kivo::read_stream_table(argv[1], error);
    if (!table) {
        std::fprintf(stderr, "kivo-mkes: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::string> wanted(argv + 3, argv + argc);
    for (auto& slug : wanted) {
        if (std::none_of(table->begin(), table->end(), [&](auto& service) { return service.slug == slug; })) {
            std::fprintf(stderr, "kivo-mkes: no service \"%s\" in %s\n", slug.c_str(), argv[1]);
            return 1;
        }
    }

    std::filesystem::path folder = argv[2];
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure) {
        std::fprintf(stderr, "kivo-mkes: %s: %s\n", argv[2], failure.message().c_str());
        return 1;
    }
    kivo::FontEngine fonts(kivo::FontEngine::installed_files());
    kivo::TestPatternEncoder encoder(fonts);
    for (auto& service : *table) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), service.slug) == wanted.end())
            continue;
        if (!make_streams(encoder, service, folder, error)) {
            std::fprintf(stderr, "kivo-mkes: %s: %s\n", service.slug.c_str(), error.c_str());
            return 1;
        }
    }
    return 0;
}
