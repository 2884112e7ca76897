// What reading a song's title, artist, duration and bit rate costs: the player library's
// information call and probe chain on the device's files, against ffprobe started once a song and
// TagLib in this process, over the same hundred songs. Every benchmark reads all of them once an
// iteration; the "per_song" counter is the time one song takes.
//
// The probes' cost is split in two: the layer's file calls they make, replayed without parsing,
// and the rest, which is the parsing.

#include "BenchDevice.h"
#include "MediaInformation.h"
#include "MediaParser.h"
#include "Volumes.h"

#include <benchmark/benchmark.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kivo;

namespace {

struct Song {
    std::u16string device_path;
    std::filesystem::path host_path;
    uint64_t size = 0;
    uint32_t audio_start = 0; // after the ID3v2 tag
};

uint32_t id3v2_tag_bytes(const std::filesystem::path& host)
{
    unsigned char header[10] {};
    std::ifstream file(host, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(header), sizeof header) || std::memcmp(header, "ID3", 3) != 0)
        return 0;
    return 10 + (uint32_t(header[6] & 0x7F) << 21 | uint32_t(header[7] & 0x7F) << 14 | uint32_t(header[8] & 0x7F) << 7 | (header[9] & 0x7F));
}

// The device with the songs in its flash disk's "Songs" folder, made once for all benchmarks.
struct SongShelf {
    std::unique_ptr<Device> device = make_bench_device("kivo-bench-player");
    std::vector<Song> songs;

    SongShelf()
    {
        auto folder = device->component<Volumes>().host_folder(VolumeId::Nand) / "Songs";
        std::string command = "bash '" SONG_SCRIPT "' '" + folder.string() + "'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("the benchmark's songs could not be made");
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".mp3")
                continue;
            auto name = entry.path().filename().u16string();
            songs.push_back({ std::u16string(Volumes::name_of(VolumeId::Nand)) + u"\\Songs\\" + name, entry.path(),
                std::filesystem::file_size(entry.path()), id3v2_tag_bytes(entry.path()) });
        }
        if (songs.size() != 100)
            throw std::runtime_error("the benchmark expects a hundred songs");
    }
};

SongShelf& shelf()
{
    static SongShelf shelf;
    return shelf;
}

// Reads every song once an iteration with `read_one`, which answers false when it read a song
// wrongly (the run then ends with that error); "per_song" is the wall time of one song.
template <typename ReadOne>
void read_every_song(benchmark::State& state, ReadOne read_one)
{
    auto& songs = shelf().songs;
    for (auto _ : state) {
        for (const auto& song : songs) {
            if (!read_one(song)) {
                state.SkipWithError("a song was read wrongly");
                return;
            }
        }
    }
    state.counters["per_song"] = benchmark::Counter(double(state.iterations() * songs.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

HANDLE open_song(const Song& song)
{
    return CreateFile(song.device_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

// Title and artist from the information call, duration and bit rate from the probe chain, as the
// audio player asks for them.
static void PlayerProbe(benchmark::State& state)
{
    read_every_song(state, [](const Song& song) {
        _tag_AUDIO_INFO audio {};
        std::copy(song.device_path.begin(), song.device_path.end(), audio.path);
        int name_as_title = 0;
        media_information::GetAudioInfo(&audio, name_as_title);
        CMediaParser parser;
        parser.Open(song.device_path.c_str());
        benchmark::DoNotOptimize(audio);
        return parser.info().duration == 30 && parser.info().audio_bit_rate > 0 && audio.title_valid && audio.artist_valid;
    });
}
BENCHMARK(PlayerProbe)->Unit(benchmark::kMillisecond)->UseRealTime();

// The layer's calls the two probes make for a song, in their order, without the parsing: each
// probe opens the file and asks its size; the image probe reads the first 64 bytes; the MPEG audio
// probe asks the size again, reads the first kilobyte, then the ID3v2 tag, the last 128 bytes and the
// first frame's header where the first kilobyte does not hold them.
static void PlayerProbeFileCalls(benchmark::State& state)
{
    std::vector<char> buffer(256 * 1024);
    auto read_at = [&](HANDLE file, uint64_t offset, DWORD count) {
        LONG high = LONG(offset >> 32);
        SetFilePointer(file, LONG(uint32_t(offset)), &high, FILE_BEGIN);
        DWORD read = 0;
        return ReadFile(file, buffer.data(), count, &read, nullptr) && read == count;
    };
    read_every_song(state, [&](const Song& song) {
        bool read = true;
        for (int probe = 0; probe < 2; ++probe) {
            HANDLE file = open_song(song);
            DWORD high = 0;
            GetFileSize(file, &high);
            read = read_at(file, 0, 64) && read;
            GetFileSize(file, &high);
            read = read_at(file, 0, 1024) && read;
            if (song.audio_start > 1024)
                read = read_at(file, 0, song.audio_start) && read;
            read = read_at(file, song.size - 128, 128) && read;
            if (song.audio_start + 256 > 1024)
                read = read_at(file, song.audio_start, 256) && read;
            CloseHandle(file);
        }
        return read;
    });
}
BENCHMARK(PlayerProbeFileCalls)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every song opened and read whole through the layer's file calls: the bound of what the probes'
// reading can cost when it reads every byte (they read far fewer).
static void LayerReadWhole(benchmark::State& state)
{
    std::vector<char> buffer(64 * 1024);
    read_every_song(state, [&](const Song& song) {
        HANDLE file = open_song(song);
        uint64_t total = 0;
        DWORD read = 0;
        while (ReadFile(file, buffer.data(), DWORD(buffer.size()), &read, nullptr) && read > 0)
            total += read;
        CloseHandle(file);
        return total == song.size;
    });
}
BENCHMARK(LayerReadWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

// The layer's open, size and close alone: what each of the two probes pays before it reads.
static void LayerOpenClose(benchmark::State& state)
{
    read_every_song(state, [](const Song& song) {
        HANDLE file = open_song(song);
        DWORD high = 0;
        bool sized = GetFileSize(file, &high) == song.size;
        CloseHandle(file);
        return sized;
    });
}
BENCHMARK(LayerOpenClose)->Unit(benchmark::kMillisecond)->UseRealTime();

static void TagLibFileRef(benchmark::State& state)
{
    read_every_song(state, [](const Song& song) {
        TagLib::FileRef file(song.host_path.c_str());
        if (file.isNull() || !file.tag() || !file.audioProperties())
            return false;
        auto title = file.tag()->title().toWString();
        auto artist = file.tag()->artist().toWString();
        benchmark::DoNotOptimize(title);
        benchmark::DoNotOptimize(artist);
        return file.audioProperties()->lengthInSeconds() == 30 && file.audioProperties()->bitrate() > 0 && !title.empty()
            && !artist.empty();
    });
}
BENCHMARK(TagLibFileRef)->Unit(benchmark::kMillisecond)->UseRealTime();

// ffprobe as a program would run it for each song, its output read back.
static void FfprobeProcess(benchmark::State& state)
{
    read_every_song(state, [](const Song& song) {
        std::string command = "ffprobe -v error -show_entries format=duration,bit_rate:format_tags=title,artist "
                              "-of default=nw=1 '"
            + song.host_path.string() + "'";
        FILE* output = popen(command.c_str(), "r");
        if (!output)
            return false;
        std::string text;
        char chunk[512];
        while (size_t got = std::fread(chunk, 1, sizeof chunk, output))
            text.append(chunk, got);
        return pclose(output) == 0 && text.find("TAG:title=") != std::string::npos && text.find("duration=30") != std::string::npos;
    });
}
BENCHMARK(FfprobeProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
