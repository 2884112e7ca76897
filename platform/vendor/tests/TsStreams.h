#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kivo::test {

// Transport streams for the television filters' tests, made by the ffmpeg tool's MPEG-TS muxer:
// PAT on PID 0, the PMT on 0x1000, MPEG-2 video on 0x100 (carrying the PCR; one PES packet a
// picture, 25 pictures a second, a sequence header every 12 pictures) and MPEG-1 layer II audio on
// 0x101 (48 kHz stereo: a 440 Hz tone on the left, silence on the right), at a constant rate of
// mux_rate bits a second, so that the PCR runs with the bytes. Made once per process and size,
// kept in memory.
inline constexpr int mux_rate = 3'008'000;
inline constexpr uint32_t pmt_pid = 0x1000;
inline constexpr uint32_t video_pid = 0x100;
inline constexpr uint32_t audio_pid = 0x101;

// The audio may have another rate.
const std::vector<uint8_t>& mpeg2_stream(int width, int height, int seconds, int audio_rate = 48'000);


// One 188-byte packet: the header, an adaptation field when `adaptation` is not empty (its length
// byte comes first) and the payload, padded with 0xFF.
std::vector<uint8_t> ts_packet(uint32_t pid, bool unit_start, int counter, std::span<const uint8_t> payload,
    std::span<const uint8_t> adaptation = {});

// The PIDs of a stream's packets, in order.
std::vector<uint32_t> packet_pids(std::span<const uint8_t> stream);

} // namespace kivo::test
