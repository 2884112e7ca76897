// kivo-mkmux DESCRIPTION OUT.ts SECONDS: writes SECONDS of the multiplex a description makes,
// starting at the host's present UTC time.

#include "broadcast/MultiplexDescription.h"
#include "broadcast/Sections.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

SYSTEMTIME system_time(int64_t unix_seconds, unsigned milliseconds)
{
    int year = 0;
    unsigned month = 0, day = 0;
    const int64_t days = unix_seconds / 86400;
    kivo::civil_from_days(days, year, month, day);
    const int64_t second_of_day = unix_seconds % 86400;
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wDayOfWeek = static_cast<WORD>((days + 4) % 7);
    time.wHour = static_cast<WORD>(second_of_day / 3600);
    time.wMinute = static_cast<WORD>(second_of_day / 60 % 60);
    time.wSecond = static_cast<WORD>(second_of_day % 60);
    time.wMilliseconds = static_cast<WORD>(milliseconds);
    return time;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: kivo-mkmux DESCRIPTION OUT.ts SECONDS\n");
        return 2;
    }
    char* end = nullptr;
    const double seconds = std::strtod(argv[3], &end);
    if (*end != '\0' || !(seconds > 0) || seconds > 86400) {
        std::fprintf(stderr, "kivo-mkmux: SECONDS must be a number above 0 and at most 86400\n");
        return 2;
    }
    std::string error;
    auto source = kivo::open_multiplex_description(argv[1], error);
    if (!source) {
        std::fprintf(stderr, "kivo-mkmux: %s\n", error.c_str());
        return 1;
    }

    const std::string target = argv[2];
    const std::string temporary = target + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "kivo-mkmux: cannot write %s\n", temporary.c_str());
        return 1;
    }
    const uint64_t rate = source->bits_per_second();
    const uint64_t total = static_cast<uint64_t>(seconds * static_cast<double>(rate) / (kivo::ts_packet_size * 8));
    const uint64_t chunk = std::max<uint64_t>(1, rate / (kivo::ts_packet_size * 8) / 10); // about 100 ms
    const int64_t start = static_cast<int64_t>(std::time(nullptr));
    bool written = true;
    std::vector<uint8_t> packets;
    for (uint64_t done = 0; done < total && written; done += chunk) {
        const uint64_t elapsed_ms = done * kivo::ts_packet_size * 8 * 1000 / rate;
        packets.clear();
        source->read(std::min(chunk, total - done), system_time(start + static_cast<int64_t>(elapsed_ms / 1000), elapsed_ms % 1000), packets);
        written = std::fwrite(packets.data(), 1, packets.size(), file) == packets.size();
    }
    written = (std::fclose(file) == 0) && written;
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "kivo-mkmux: cannot write %s\n", target.c_str());
        return 1;
    }
    return 0;
}
