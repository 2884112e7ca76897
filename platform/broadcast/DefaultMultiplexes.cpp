#include "DefaultMultiplexes.h"

#include "ChannelPlan.h"
#include "RadioFiles.h"

#include <algorithm>

namespace kivo {

DefaultMultiplexFolders DefaultMultiplexFolders::built_in()
{
    return { KIVO_DEFAULT_DESCRIPTIONS_DIR, KIVO_DEFAULT_STREAMS_DIR };
}

std::vector<RadioStation> install_default_multiplexes(const std::filesystem::path& radio_folder, const DefaultMultiplexFolders& folders,
    std::vector<std::string>& problems)
{
    std::vector<RadioStation> stations;
    auto plan = ChannelPlan::six_megahertz();
    for (uint32_t channel : default_multiplex_channels) {
        std::string name = "channel-" + std::to_string(channel) + ".json";
        if (auto failure = copy_file_in_one_step(folders.descriptions / name, radio_folder / name)) {
            problems.push_back(*failure);
            continue;
        }
        stations.push_back({ *plan.frequency_khz(channel), name, Radio::default_strength, Radio::default_quality });
    }
    std::error_code error;
    std::vector<std::filesystem::path> streams;
    for (auto it = std::filesystem::directory_iterator(folders.streams, error); !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error))
            streams.push_back(it->path());
    }
    if (error)
        problems.push_back("cannot read the streams in " + folders.streams.string());
    std::sort(streams.begin(), streams.end());
    for (auto& stream : streams) {
        if (auto failure = copy_file_in_one_step(stream, radio_folder / stream.filename()))
            problems.push_back(*failure);
    }
    return stations;
}

} // namespace kivo
