#pragma once

#include <filesystem>
#include <string_view>

namespace kivo::test {

// Short media clips made with FFmpeg's encoders at test time (about 3 s, small frames at 25 a second,
// a key frame every 12 pictures, unless said otherwise).
enum class Clip {
    Mp4MpegAac,          // MP4: MPEG-4 part 2 video and AAC audio
    WmvWma,              // ASF: Windows Media Video 8 and Windows Media Audio 2
    Mp3WithCover,        // MP3 with a PNG cover picture in its ID3 tag
    MkvUndecodableVideo, // Matroska: AVS2 video, for which FFmpeg has no decoder (raw bytes), and AAC audio
    Mp4SparseKeyFrames   // MP4: 10 s of MPEG-4 part 2 video alone, 10 tiny pictures a second, a key frame every 4 s
};

// Writes the clip to the host path (its folder is made) and answers the path; fails the test
// (and answers an empty path) when FFmpeg cannot make it.
// Where a device path lives in the root folder on the host: "\\SDMMC\\Music\\a.mp3" is
// <root>/SDMMC/Music/a.mp3.
std::filesystem::path host_path_in(const std::filesystem::path& device_root, std::u16string_view device_path);

std::filesystem::path make_clip(const std::filesystem::path& host_path, Clip);

// A copy of a file cut to its first `bytes`: a damaged file.
void write_truncated_copy(const std::filesystem::path& from, const std::filesystem::path& to, size_t bytes);

} // namespace kivo::test
