#include "TsFileSource.h"

#include <fstream>
#include <iterator>
#include <optional>

namespace kivo {

namespace {


struct Pcr {
    uint16_t pid;
    uint64_t ticks; // 27 MHz
};

std::optional<Pcr> pcr_of(const uint8_t* packet)
{
    bool has_adaptation = packet[3] & 0x20;
    if (!has_adaptation || packet[4] < 7 || !(packet[5] & 0x10))
        return std::nullopt;
    const uint8_t* p = packet + 6;
    uint64_t base = (uint64_t(p[0]) << 25) | (uint64_t(p[1]) << 17) | (uint64_t(p[2]) << 9) | (uint64_t(p[3]) << 1) | (p[4] >> 7);
    uint64_t extension = (uint64_t(p[4] & 1) << 8) | p[5];
    return Pcr { static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]), base * 300 + extension };
}

} // namespace

TsFileSource::TsFileSource(std::vector<uint8_t> bytes)
    : m_bytes(std::move(bytes))
{
    if (uint64_t rate = rate_from_pcrs())
        m_bits_per_second = rate;
}

std::unique_ptr<TsFileSource> TsFileSource::open(const std::filesystem::path& path, std::string& error)
{
    std::error_code failure;
    auto size = std::filesystem::file_size(path, failure);
    if (failure) {
        error = "cannot read " + path.filename().string() + " (" + failure.message() + ")";
        return nullptr;
    }
    if (size > largest_file) {
        error = path.filename().string() + " is larger than a looped recording may be";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (in.bad() || bytes.size() != size) {
        error = "cannot read " + path.filename().string();
        return nullptr;
    }
    auto source = from_bytes(std::move(bytes), error);
    if (!source)
        error = path.filename().string() + ": " + error;
    return source;
}

std::unique_ptr<TsFileSource> TsFileSource::from_bytes(std::vector<uint8_t> bytes, std::string& error)
{
    if (bytes.size() < ts_packet_size || bytes.size() % ts_packet_size != 0) {
        error = "not a transport stream (not whole 188-byte packets)";
        return nullptr;
    }
    for (size_t at = 0; at < bytes.size(); at += ts_packet_size) {
        if (bytes[at] != ts_sync_byte) {
            error = "not a transport stream (no sync byte in packet " + std::to_string(at / ts_packet_size) + ")";
            return nullptr;
        }
    }
    return std::unique_ptr<TsFileSource>(new TsFileSource(std::move(bytes)));
}

uint64_t TsFileSource::rate_from_pcrs() const
{
    std::optional<Pcr> first;
    size_t first_at = 0;
    uint64_t rate = 0;
    for (size_t index = 0; index < packet_count(); ++index) {
        auto pcr = pcr_of(&m_bytes[index * ts_packet_size]);
        if (!pcr)
            continue;
        if (!first) {
            first = pcr;
            first_at = index;
        } else if (pcr->pid == first->pid && pcr->ticks > first->ticks) {
            uint64_t bits = uint64_t(index - first_at) * ts_packet_size * 8;
            rate = bits * 27'000'000 / (pcr->ticks - first->ticks);
        }
    }
    return rate;
}

bool TsFileSource::read(size_t count, const SYSTEMTIME&, std::vector<uint8_t>& out)
{
    bool looped = false;
    out.reserve(out.size() + count * ts_packet_size);
    while (count--) {
        if (m_next == packet_count()) {
            m_next = 0;
            looped = true;
        }
        auto at = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_next * ts_packet_size);
        out.insert(out.end(), at, at + ts_packet_size);
        ++m_next;
    }
    return looped;
}

} // namespace kivo
