#pragma once

#include "broadcast/ChannelPlan.h"
#include "broadcast/Radio.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kivo {
class Device;
}

namespace kivo::test {

// A test's broadcast: a device whose radio holds only the multiplexes and signals a test puts on
// chosen channels of the 6 MHz plan, with the tuner fitted and powered, and PIDs whose packets
// are withheld at a channel (a service's video or audio stopping).
class RadioTestKit {
public:
    // Before the radio is first used on the device: its folder starts empty (no defaults).
    explicit RadioTestKit(Device&);

    Radio& radio() const;
    static uint32_t frequency_of(uint32_t channel);

    // A multiplex from bytes (a transport stream or a description's text), stored in the radio
    // folder as `name`, on the channel with that signal. Answers the frequency.
    uint32_t put(uint32_t channel, const std::string& name, const std::vector<uint8_t>& bytes, int strength = Radio::default_strength,
        int quality = Radio::default_quality);
    // A multiplex copied from a file of this machine (a description with the files it names).
    uint32_t put_file(uint32_t channel, const std::filesystem::path& file, int strength = Radio::default_strength,
        int quality = Radio::default_quality);
    void signal(uint32_t channel, int strength, int quality);
    void withhold(uint32_t channel, uint16_t pid, bool withheld = true);
    void set_radio_on(bool);
    void set_tuner(bool fitted, bool powered);

private:
    Device& m_device;
};

// A transport stream of `packets` packets for tests: the PIDs take turns, each with its own
// continuity counter; the first PID carries a PCR every tenth packet, so the stream plays at
// `bits_per_second`. Each payload starts with the packet's index (32 bits, big-endian).
std::vector<uint8_t> make_test_stream(const std::vector<uint16_t>& pids, size_t packets, uint64_t bits_per_second);

} // namespace kivo::test
