#pragma once

#include "kernel/tests/TestDevice.h"
#include "dshow/tests/TestClips.h"

#include "FfmpegPointers.h"
#include "MediaFile.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kivo::test {

// A test device and its clips, made at device paths such as "\SDMMC\Video\clip.mp4".
class MediaTest : public ::testing::Test {
protected:
    std::unique_ptr<Device> device = make_test_device();

    std::filesystem::path host_path(std::u16string_view device_path) const
    {
        return host_path_in(device->root(), device_path);
    }

    std::filesystem::path make(std::u16string_view device_path, Clip clip) const { return make_clip(host_path(device_path), clip); }
};

inline bool ffprobe_present()
{
    return std::system("command -v ffprobe >/dev/null 2>&1") == 0;
}

// What ffprobe prints for a file with `-of default`: one map of key to value for each outer
// section ([FRAME] … [/FRAME] and the like; what sections inside it hold is left out); empty when
// ffprobe failed.
inline std::vector<std::map<std::string, std::string>> ffprobe_sections(const std::filesystem::path& file, const std::string& options)
{
    std::string command = "ffprobe -v error " + options + " -of default '" + file.string() + "' 2>/dev/null";
    std::vector<std::map<std::string, std::string>> sections;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return sections;
    char line[512];
    int depth = 0;
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (text.size() > 2 && text[0] == '[' && text[1] == '/') {
            --depth;
        } else if (text.size() > 2 && text[0] == '[') {
            if (depth++ == 0)
                sections.emplace_back();
        } else if (auto equals = text.find('='); equals != std::string::npos && depth == 1 && !sections.empty()) {
            sections.back()[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    if (::pclose(pipe) != 0)
        sections.clear();
    return sections;
}

// ffprobe's seconds ("1.280000") in 100-ns units.
inline LONGLONG hundred_ns(const std::string& seconds)
{
    return std::llround(std::stod(seconds) * 1e7);
}

// The file's start time, in 100-ns units, as ffprobe reads it.
inline LONGLONG ffprobe_start_time(const std::filesystem::path& file)
{
    auto sections = ffprobe_sections(file, "-show_entries format=start_time");
    return sections.empty() || sections[0]["start_time"] == "N/A" ? 0 : hundred_ns(sections[0]["start_time"]);
}

// One decoded frame as ffprobe lists it: its time from the file's start (none for a frame the
// decoder gave out without one), and more.
struct ProbedFrame {
    std::optional<LONGLONG> time;
    LONGLONG duration = 0;
    bool key_frame = false;
    int samples = 0;
};

inline std::vector<ProbedFrame> ffprobe_frames(const std::filesystem::path& file, int stream)
{
    auto sections = ffprobe_sections(file,
        "-select_streams " + std::to_string(stream) + " -show_frames -show_entries frame=pts_time,best_effort_timestamp_time,pkt_duration_time,key_frame,nb_samples");
    LONGLONG start = ffprobe_start_time(file);
    std::vector<ProbedFrame> frames;
    for (auto& section : sections) {
        ProbedFrame frame;
        const std::string& time = section["pts_time"] != "N/A" && !section["pts_time"].empty() ? section["pts_time"] : section["best_effort_timestamp_time"];
        if (!time.empty() && time != "N/A")
            frame.time = hundred_ns(time) - start;
        if (section["pkt_duration_time"] != "N/A" && !section["pkt_duration_time"].empty())
            frame.duration = hundred_ns(section["pkt_duration_time"]);
        frame.key_frame = section["key_frame"] == "1";
        if (!section["nb_samples"].empty())
            frame.samples = std::stoi(section["nb_samples"]);
        frames.push_back(frame);
    }
    return frames;
}

// Times ffprobe prints with six decimals: a tick of 100 ns either way is rounding.
inline constexpr LONGLONG printed_rounding = 10;


} // namespace kivo::test
