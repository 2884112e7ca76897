#include "TsStreams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

namespace kivo::test {

const std::vector<uint8_t>& mpeg2_stream(int width, int height, int seconds, int audio_rate)
{
    static std::map<std::tuple<int, int, int, int>, std::vector<uint8_t>> made;
    auto& bytes = made[{ width, height, seconds, audio_rate }];
    if (!bytes.empty())
        return bytes;
    auto path = std::filesystem::temp_directory_path()
        / ("kivo-ts-" + std::to_string(::getpid()) + "-" + std::to_string(width) + "x" + std::to_string(height) + "-" + std::to_string(audio_rate) + ".ts");
    const std::string duration = std::to_string(seconds);
    const std::string command = "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=" + std::to_string(width) + "x" + std::to_string(height)
        + ":rate=25:duration=" + duration + " -f lavfi -i 'aevalsrc=0.5*sin(2*PI*440*t)|0:s=" + std::to_string(audio_rate) + ":d=" + duration
        + "' -map 0:v -map 1:a -c:v mpeg2video -g 12 -bf 0 -b:v 1500k -maxrate 1500k -bufsize 600k -c:a mp2 -b:a 192k -muxrate " + std::to_string(mux_rate) + " -fflags +bitexact -flags +bitexact -f mpegts '"
        + path.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string said;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        said += buffer;
    int status = pipe ? ::pclose(pipe) : -1;
    EXPECT_EQ(status, 0) << "ffmpeg: " << said;
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), {});
    std::filesystem::remove(path);
    EXPECT_FALSE(bytes.empty()) << "ffmpeg made no stream";
    return bytes;
}

std::vector<uint8_t> ts_packet(uint32_t pid, bool unit_start, int counter, std::span<const uint8_t> payload, std::span<const uint8_t> adaptation)
{
    std::vector<uint8_t> packet { 0x47, uint8_t((unit_start ? 0x40 : 0) | (pid >> 8)), uint8_t(pid), 0 };
    const int control = (adaptation.empty() ? 0 : 2) | (payload.empty() ? 0 : 1);
    packet[3] = uint8_t(control << 4 | (counter & 0x0F));
    packet.insert(packet.end(), adaptation.begin(), adaptation.end());
    packet.insert(packet.end(), payload.begin(), payload.end());
    EXPECT_LE(packet.size(), 188u) << "a test packet too long";
    packet.resize(188, 0xFF);
    return packet;
}

std::vector<uint32_t> packet_pids(std::span<const uint8_t> stream)
{
    std::vector<uint32_t> pids;
    for (size_t at = 0; at + 188 <= stream.size(); at += 188)
        pids.push_back((uint32_t(stream[at + 1] & 0x1F) << 8) | stream[at + 2]);
    return pids;
}

} // namespace kivo::test
