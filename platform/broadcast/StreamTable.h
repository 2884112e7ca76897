#pragma once

// The table of test services whose elementary streams are made once at build time: for each, its
// slug (the streams' file names), the tone of its sound and, for a television service, the size of
// its picture and the name the picture shows.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

struct ServiceStream {
    static constexpr int frames_per_second = 25;
    // A group of pictures lasts 0.6 s: a whole number of pictures and of 1152-sample sound frames
    // at 48 kHz, so a stream made of whole groups ends on a sound frame's end too.
    static constexpr int pictures_per_group = 15;
    static constexpr int sample_rate = 48000;
    static constexpr int samples_per_audio_frame = 1152;

    std::string slug;
    int tone_hz = 0;
    int picture_count = 0; // the stream's length in pictures, a whole number of groups
    // A radio service has no picture.
    bool has_video = false;
    std::string name; // UTF-8; empty draws no name
    int width = 0;
    int height = 0;

    static constexpr int samples_per_picture = sample_rate / frames_per_second;
    static_assert(pictures_per_group * samples_per_picture % samples_per_audio_frame == 0);
    int audio_frame_count() const { return picture_count * samples_per_picture / samples_per_audio_frame; }
};

// Reads the table (JSON: {"streams": [{"slug", "tone_hz", "seconds", "video": {"name", "width",
// "height"}}, ...]}, "video" left out for a radio service). A missing or unknown field, a value out
// of range, a length that is not whole groups of pictures or a repeated slug is refused, with
// `error` naming it.
std::optional<std::vector<ServiceStream>> read_stream_table(const std::filesystem::path&, std::string& error);

} // namespace kivo
