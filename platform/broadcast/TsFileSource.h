#pragma once

#include "broadcast/MultiplexSource.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kivo {

// A recorded transport stream played in a loop as recorded: its rate is the one its PCRs say
// (the first and the last PCR of one PID), or `default_bits_per_second` when it carries none.
// Only a file of whole 188-byte packets, each starting with the sync byte, is taken: anything else
// is no multiplex a receiver could lock on.
class TsFileSource final : public MultiplexSource {
public:
    static constexpr uint64_t default_bits_per_second = 2'000'000;
    static constexpr uint64_t largest_file = 512ull << 20;

    // Null with the reason when the file cannot be read or is no transport stream.
    static std::unique_ptr<TsFileSource> open(const std::filesystem::path&, std::string& error);
    // The same from bytes in memory.
    static std::unique_ptr<TsFileSource> from_bytes(std::vector<uint8_t>, std::string& error);

    uint64_t bits_per_second() const override { return m_bits_per_second; }
    bool read(size_t count, const SYSTEMTIME& utc_now, std::vector<uint8_t>& out) override;

    size_t packet_count() const { return m_bytes.size() / ts_packet_size; }

private:
    explicit TsFileSource(std::vector<uint8_t> bytes);
    uint64_t rate_from_pcrs() const;

    std::vector<uint8_t> m_bytes;
    uint64_t m_bits_per_second = default_bits_per_second;
    size_t m_next = 0; // the next packet
};

} // namespace kivo
