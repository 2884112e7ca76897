#include "RadioTestKit.h"

#include "Board.h"
#include "Device.h"
#include "broadcast/Pes.h"
#include "broadcast/RadioFiles.h"

#include <cstring>
#include <stdexcept>

namespace kivo::test {

namespace {

void check(const std::optional<std::string>& failure)
{
    if (failure)
        throw std::runtime_error("radio test kit: " + *failure);
}

} // namespace

RadioTestKit::RadioTestKit(Device& device)
    : m_device(device)
{
    auto folder = device.root() / Radio::folder_name;
    std::error_code error;
    if (!std::filesystem::exists(folder, error)) {
        std::filesystem::create_directories(folder, error);
        check(write_file_in_one_step(folder / Radio::table_name, "{\"on\": true, \"stations\": []}\n"));
    }
    set_tuner(true, true);
}

Radio& RadioTestKit::radio() const
{
    return m_device.component<Radio>();
}

uint32_t RadioTestKit::frequency_of(uint32_t channel)
{
    auto frequency = ChannelPlan::six_megahertz().frequency_khz(channel);
    if (!frequency)
        throw std::invalid_argument("radio test kit: no channel " + std::to_string(channel) + " in the 6 MHz plan");
    return *frequency;
}

uint32_t RadioTestKit::put(uint32_t channel, const std::string& name, const std::vector<uint8_t>& bytes, int strength, int quality)
{
    uint32_t frequency = frequency_of(channel);
    check(write_file_in_one_step(radio().folder() / name, std::string(bytes.begin(), bytes.end())));
    check(radio().set_multiplex(frequency, name));
    check(radio().set_signal(frequency, strength, quality));
    return frequency;
}

uint32_t RadioTestKit::put_file(uint32_t channel, const std::filesystem::path& file, int strength, int quality)
{
    uint32_t frequency = frequency_of(channel);
    check(radio().put_multiplex(frequency, file));
    check(radio().set_signal(frequency, strength, quality));
    return frequency;
}

void RadioTestKit::signal(uint32_t channel, int strength, int quality)
{
    check(radio().set_signal(frequency_of(channel), strength, quality));
}

void RadioTestKit::withhold(uint32_t channel, uint16_t pid, bool withheld)
{
    radio().withhold(frequency_of(channel), pid, withheld);
}

void RadioTestKit::set_radio_on(bool on)
{
    check(radio().set_on(on));
}

void RadioTestKit::set_tuner(bool fitted, bool powered)
{
    auto& board = m_device.component<Board>();
    board.set_tuner_fitted(fitted);
    board.set_gpio_bit(Board::gpio_port_f_data, 0, powered);
    board.set_gpio_bit(Board::gpio_port_f_data, 7, powered);
}

std::vector<uint8_t> make_test_stream(const std::vector<uint16_t>& pids, size_t packets, uint64_t bits_per_second)
{
    std::vector<uint8_t> bytes(packets * ts_packet_size, 0xFF);
    std::vector<uint8_t> counters(pids.size(), 0);
    for (size_t index = 0; index < packets; ++index) {
        uint8_t* packet = &bytes[index * ts_packet_size];
        size_t turn = index % pids.size();
        uint16_t pid = pids[turn];
        packet[0] = 0x47;
        packet[1] = static_cast<uint8_t>(((index == 0) ? 0x40 : 0) | (pid >> 8));
        packet[2] = static_cast<uint8_t>(pid);
        packet[3] = static_cast<uint8_t>(0x10 | (counters[turn]++ & 0x0F));
        uint8_t* payload = packet + 4;
        if (turn == 0 && index % 10 == 0) {
            // The PCR says when this packet's first byte arrives at the stream's rate.
            packet[3] |= 0x20;
            packet[4] = 7;
            packet[5] = 0x10;
            write_pcr(&packet[6], index * ts_packet_size * 8 * 27'000'000 / bits_per_second);
            payload = packet + 12;
        }
        uint32_t number = static_cast<uint32_t>(index);
        payload[0] = static_cast<uint8_t>(number >> 24);
        payload[1] = static_cast<uint8_t>(number >> 16);
        payload[2] = static_cast<uint8_t>(number >> 8);
        payload[3] = static_cast<uint8_t>(number);
    }
    return bytes;
}

} // namespace kivo::test
