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

// What every reader gives back, so no reading is optimised away and all can be compared.
struct SongFacts {
    std::u16string title, artist;
    int duration = 0;
    int bit_rate = 0;
};

void count_songs(benchmark::State& state, size_t songs)
{
    state.counters["per_song"] = benchmark::Counter(double(state.iterations() * songs),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

SongFacts read_with_player(const Song& song)
{
    _tag_AUDIO_INFO audio {};
    std::copy(song.device_path.begin(), song.device_path.end(), audio.path);
    int name_as_title = 0;
    media_information::GetAudioInfo(&audio, name_as_title);
    CMediaParser parser;
    parser.Open(song.device_path.c_str());
    return { audio.title, audio.artist, parser.info().duration, parser.info().audio_bit_rate };
}

} // namespace

static void PlayerProbe(benchmark::State& state)
{
    auto& songs = shelf().songs;
    for (auto _ : state) {
        for (const auto& song : songs) {
            auto facts = read_with_player(song);
            if (facts.duration != 30 || facts.title.empty())
                state.SkipWithError("the probe read a song wrongly");
            benchmark::DoNotOptimize(facts);
        }
    }
    count_songs(state, songs.size());
}
BENCHMARK(PlayerProbe)->Unit(benchmark::kMillisecond)->UseRealTime();

// The layer's calls the two probes make for a song, in their order, without the parsing: each
// probe opens the file and asks its size; the image probe reads the first 64 bytes; the MPEG audio
// probe asks the size again, reads the first kilobyte, then the ID3v2 tag, the last 128 bytes and the
// first frame's header where the first kilobyte does not hold them.
static void PlayerProbeFileCalls(benchmark::State& state)
{
    auto& songs = shelf().songs;
    std::vector<char> buffer(256 * 1024);
    auto read_at = [&](HANDLE file, uint64_t offset, DWORD count) {
        LONG high = LONG(offset >> 32);
        SetFilePointer(file, LONG(uint32_t(offset)), &high, FILE_BEGIN);
        DWORD read = 0;
        ReadFile(file, buffer.data(), count, &read, nullptr);
    };
    for (auto _ : state) {
        for (const auto& song : songs) {
            for (int probe = 0; probe < 2; ++probe) {
                HANDLE file = CreateFile(song.device_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
                DWORD high = 0;
                GetFileSize(file, &high);
                read_at(file, 0, 64);
                GetFileSize(file, &high);
                read_at(file, 0, 1024);
                if (song.audio_start > 1024)
                    read_at(file, 0, song.audio_start);
                read_at(file, song.size - 128, 128);
                if (song.audio_start + 256 > 1024)
                    read_at(file, song.audio_start, 256);
                CloseHandle(file);
            }
        }
    }
    count_songs(state, songs.size());
}
BENCHMARK(PlayerProbeFileCalls)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every song opened and read whole through the layer's file calls: the bound of what the probe's
// reading can cost when it reads every byte (it reads far fewer).
static void LayerReadWhole(benchmark::State& state)
{
    auto& songs = shelf().songs;
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        for (const auto& song : songs) {
            HANDLE file = CreateFile(song.device_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD read = 0;
            while (ReadFile(file, buffer.data(), DWORD(buffer.size()), &read, nullptr) && read > 0)
                benchmark::DoNotOptimize(buffer.data());
            CloseHandle(file);
        }
    }
    count_songs(state, songs.size());
}
BENCHMARK(LayerReadWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

// The layer's open, size and close alone: what each of the two probes pays before it reads.
static void LayerOpenClose(benchmark::State& state)
{
    auto& songs = shelf().songs;
    for (auto _ : state) {
        for (const auto& song : songs) {
            HANDLE file = CreateFile(song.device_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD high = 0;
            benchmark::DoNotOptimize(GetFileSize(file, &high));
            CloseHandle(file);
        }
    }
    count_songs(state, songs.size());
}
BENCHMARK(LayerOpenClose)->Unit(benchmark::kMillisecond)->UseRealTime();

static void TagLibFileRef(benchmark::State& state)
{
    auto& songs = shelf().songs;
    for (auto _ : state) {
        for (const auto& song : songs) {
            TagLib::FileRef file(song.host_path.c_str());
            if (file.isNull() || !file.tag() || !file.audioProperties()) {
                state.SkipWithError("TagLib could not read a song");
                break;
            }
            auto title = file.tag()->title().toWString();
            auto artist = file.tag()->artist().toWString();
            int duration = file.audioProperties()->lengthInSeconds();
            int bit_rate = file.audioProperties()->bitrate();
            if (duration != 30 || title.empty())
                state.SkipWithError("TagLib read a song wrongly");
            benchmark::DoNotOptimize(title);
            benchmark::DoNotOptimize(artist);
            benchmark::DoNotOptimize(duration);
            benchmark::DoNotOptimize(bit_rate);
        }
    }
    count_songs(state, songs.size());
}
BENCHMARK(TagLibFileRef)->Unit(benchmark::kMillisecond)->UseRealTime();

// ffprobe as a program would run it for each song, its output read back.
static void FfprobeProcess(benchmark::State& state)
{
    auto& songs = shelf().songs;
    for (auto _ : state) {
        for (const auto& song : songs) {
            std::string command = "ffprobe -v error -show_entries format=duration,bit_rate:format_tags=title,artist "
                                  "-of default=nw=1 '"
                + song.host_path.string() + "'";
            FILE* output = popen(command.c_str(), "r");
            std::string text;
            char chunk[512];
            while (size_t got = std::fread(chunk, 1, sizeof chunk, output))
                text.append(chunk, got);
            if (pclose(output) != 0 || text.find("TAG:title=") == std::string::npos) {
                state.SkipWithError("ffprobe could not read a song");
                break;
            }
            benchmark::DoNotOptimize(text);
        }
    }
    count_songs(state, songs.size());
}
BENCHMARK(FfprobeProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
