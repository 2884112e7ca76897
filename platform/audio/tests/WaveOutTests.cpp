#include "SoundTest.h"

#include "GwesApi.h"
#include "KernelApi.h"

#include <cmath>

using namespace kivo;
using namespace kivo::test;

namespace {

// What a CALLBACK_FUNCTION heard, with the device time and the thread it ran on.
struct Heard {
    UINT message;
    DWORD_PTR header;
    uint64_t time_ms;
    DWORD thread;
};

struct Listener {
    Device* device;
    std::vector<Heard> heard;
};

void CALLBACK listen(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR first, DWORD_PTR)
{
    auto* listener = reinterpret_cast<Listener*>(instance);
    listener->heard.push_back({ message, first, listener->device->clock().now_ms(), GetCurrentThreadId() });
}

// Headers over one block of samples, prepared for a stream.
struct Buffers {
    std::string samples;
    std::vector<WAVEHDR> headers;

    Buffers(HWAVEOUT stream, std::string bytes, size_t count)
        : samples(std::move(bytes))
        , headers(count)
    {
        size_t each = samples.size() / count;
        for (size_t i = 0; i < count; ++i) {
            headers[i] = header_of(samples.data() + i * each, each);
            EXPECT_EQ(waveOutPrepareHeader(stream, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        }
    }
    void write_all(HWAVEOUT stream)
    {
        for (auto& header : headers)
            ASSERT_EQ(waveOutWrite(stream, &header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
};

DWORD position(HWAVEOUT stream, UINT type, UINT* answered_type = nullptr)
{
    MMTIME time {};
    time.wType = type;
    EXPECT_EQ(waveOutGetPosition(stream, &time, sizeof time), MMSYSERR_NOERROR);
    if (answered_type)
        *answered_type = time.wType;
    return time.u.cb;
}

} // namespace

TEST_F(SoundTest, OpenTakesLinearPcmAndTheWaysOfHearingBack)
{
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    WAVEFORMATEX wrong_block = pcm(22050, 2, 16);
    wrong_block.nBlockAlign = 2;
    WAVEFORMATEX compressed = pcm(22050, 1, 16);
    compressed.wFormatTag = 2;
    struct Case {
        const char* what;
        UINT device;
        std::optional<WAVEFORMATEX> format;
        DWORD_PTR callback;
        DWORD flags;
        MMRESULT expected;
        MMRESULT query; // with WAVE_FORMAT_QUERY, which looks at the device and the format only
    };
    const Case cases[] = {
        { "device 0", 0, pcm(8000, 1, 8), 0, CALLBACK_NULL, MMSYSERR_NOERROR, MMSYSERR_NOERROR },
        { "the mapper", WAVE_MAPPER, pcm(44100, 2, 16), 0, CALLBACK_NULL, MMSYSERR_NOERROR, MMSYSERR_NOERROR },
        { "an event", 0, pcm(48000, 2, 16), reinterpret_cast<DWORD_PTR>(event), CALLBACK_EVENT, MMSYSERR_NOERROR, MMSYSERR_NOERROR },
        { "a function", 0, pcm(11025, 1, 16), reinterpret_cast<DWORD_PTR>(&listen), CALLBACK_FUNCTION, MMSYSERR_NOERROR, MMSYSERR_NOERROR },
        { "no device 1", 1, pcm(8000, 1, 8), 0, CALLBACK_NULL, MMSYSERR_BADDEVICEID, MMSYSERR_BADDEVICEID },
        { "no format", 0, std::nullopt, 0, CALLBACK_NULL, MMSYSERR_INVALPARAM, MMSYSERR_INVALPARAM },
        { "compressed", 0, compressed, 0, CALLBACK_NULL, WAVERR_BADFORMAT, WAVERR_BADFORMAT },
        { "24 bits", 0, pcm(44100, 2, 24), 0, CALLBACK_NULL, WAVERR_BADFORMAT, WAVERR_BADFORMAT },
        { "three channels", 0, pcm(44100, 3, 16), 0, CALLBACK_NULL, WAVERR_BADFORMAT, WAVERR_BADFORMAT },
        { "a block that is not a frame", 0, wrong_block, 0, CALLBACK_NULL, WAVERR_BADFORMAT, WAVERR_BADFORMAT },
        { "a closed event", 0, pcm(8000, 1, 8), 0x4444, CALLBACK_EVENT, MMSYSERR_INVALPARAM, MMSYSERR_NOERROR },
        { "no function", 0, pcm(8000, 1, 8), 0, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM, MMSYSERR_NOERROR },
        { "no window", 0, pcm(8000, 1, 8), 0x4444, CALLBACK_WINDOW, MMSYSERR_INVALPARAM, MMSYSERR_NOERROR },
        { "a thread", 0, pcm(8000, 1, 8), 0, 0x00020000, MMSYSERR_INVALFLAG, MMSYSERR_NOERROR },
    };
    Listener listener { device.get(), {} };
    for (auto& each : cases) {
        SCOPED_TRACE(each.what);
        HWAVEOUT stream = nullptr;
        auto* format = each.format ? &*each.format : nullptr;
        EXPECT_EQ(waveOutOpen(&stream, each.device, format, each.callback, reinterpret_cast<DWORD_PTR>(&listener), each.flags), each.expected);
        // A query answers the same without opening anything.
        EXPECT_EQ(waveOutOpen(nullptr, each.device, format, each.callback, 0, each.flags | WAVE_FORMAT_QUERY), each.query);
        EXPECT_EQ(stream != nullptr, each.expected == MMSYSERR_NOERROR);
        if (stream) {
            EXPECT_EQ(waveOutClose(stream), MMSYSERR_NOERROR);
        }
    }
    device->run_until_idle();
    ASSERT_EQ(listener.heard.size(), 2u);
    EXPECT_EQ(listener.heard[0].message, WOM_OPEN);
    EXPECT_EQ(listener.heard[1].message, WOM_CLOSE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "set at the open and the close";
    CloseHandle(event);
}

// 1024 stereo frames at 44.1 kHz last 23.22 ms: each header is done when the clock has passed its
// last byte, reckoned from the start, so a hundred of them end at 2322 ms and not at 2400.
TEST_F(SoundTest, HeadersAreDoneAtTheirTimesOnTheDeviceClockWithEveryKindOfCallback)
{
    const size_t count = 100;
    auto done_at = [](size_t k) { return static_cast<uint64_t>(std::ceil(k * 1024 * 1000 / 44100.0)); };
    WAVEFORMATEX format = pcm(44100, 2, 16);

    Listener listener { device.get(), {} };
    HWAVEOUT by_function = nullptr;
    ASSERT_EQ(waveOutOpen(&by_function, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&listen), reinterpret_cast<DWORD_PTR>(&listener), CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT by_event = nullptr;
    ASSERT_EQ(waveOutOpen(&by_event, 0, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT), MMSYSERR_NOERROR);
    ASSERT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "set at the open";
    WNDCLASS description {};
    description.lpfnWndProc = DefWindowProc;
    description.lpszClassName = u"Renderer";
    RegisterClass(&description);
    HWND window = CreateWindowEx(0, u"Renderer", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWAVEOUT by_window = nullptr;
    ASSERT_EQ(waveOutOpen(&by_window, 0, &format, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);

    Buffers function_buffers(by_function, std::string(count * 4096, '\0'), count);
    Buffers event_buffers(by_event, std::string(4 * 4096, '\0'), 4);
    Buffers window_buffers(by_window, std::string(2 * 4096, '\0'), 2);
    function_buffers.write_all(by_function);
    event_buffers.write_all(by_event);
    window_buffers.write_all(by_window);
    EXPECT_EQ(function_buffers.headers[0].dwFlags, WHDR_PREPARED | WHDR_INQUEUE);

    // The event: each wait ends when a header is done.
    for (size_t k = 1; k <= 4; ++k) {
        ASSERT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(device->clock().now_ms(), done_at(k)) << k;
        EXPECT_TRUE(event_buffers.headers[k - 1].dwFlags & WHDR_DONE);
        EXPECT_FALSE(event_buffers.headers[k - 1].dwFlags & WHDR_INQUEUE);
        if (k < 4) {
            EXPECT_FALSE(event_buffers.headers[k].dwFlags & WHDR_DONE);
        }
    }

    // The window: MM_WOM_DONE with the stream and the header.
    device->advance(done_at(2) - device->clock().now_ms());
    MSG message {};
    std::vector<LPARAM> posted;
    while (PeekMessage(&message, window, MM_WOM_OPEN, MM_WOM_DONE, PM_REMOVE)) {
        if (message.message == MM_WOM_DONE) {
            EXPECT_EQ(message.wParam, reinterpret_cast<WPARAM>(by_window));
            posted.push_back(message.lParam);
        }
    }
    EXPECT_EQ(posted, (std::vector<LPARAM> { reinterpret_cast<LPARAM>(&window_buffers.headers[0]), reinterpret_cast<LPARAM>(&window_buffers.headers[1]) }));

    // The function: on a thread of the wave layer, in order, each header at its time.
    device->advance(done_at(count) - device->clock().now_ms());
    ASSERT_EQ(listener.heard.size(), count + 1);
    EXPECT_EQ(listener.heard[0].message, WOM_OPEN);
    EXPECT_NE(listener.heard[0].thread, GetCurrentThreadId());
    for (size_t k = 1; k <= count; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(listener.heard[k].message, WOM_DONE);
        EXPECT_EQ(listener.heard[k].header, reinterpret_cast<DWORD_PTR>(&function_buffers.headers[k - 1]));
        EXPECT_EQ(listener.heard[k].time_ms, done_at(k));
    }
    EXPECT_EQ(done_at(count), 2322u);
    EXPECT_EQ(position(by_function, TIME_BYTES), count * 4096);

    for (auto* stream : { by_function, by_event, by_window })
        EXPECT_EQ(waveOutClose(stream), MMSYSERR_NOERROR);
    device->run_until_idle();
    EXPECT_EQ(listener.heard.back().message, WOM_CLOSE);
    DestroyWindow(window);
    CloseHandle(event);
}

// 8 kHz 16-bit mono plays 16 bytes a millisecond.
TEST_F(SoundTest, PauseRestartResetAndThePosition)
{
    WAVEFORMATEX format = pcm(8000, 1, 16);
    HWAVEOUT stream = nullptr;
    ASSERT_EQ(waveOutOpen(&stream, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    Buffers buffers(stream, std::string(3200, '\0'), 2);
    auto& first = buffers.headers[0];
    auto& second = buffers.headers[1];
    buffers.write_all(stream);

    device->advance(50);
    EXPECT_EQ(position(stream, TIME_BYTES), 800u);
    EXPECT_EQ(position(stream, TIME_SAMPLES), 400u);
    EXPECT_EQ(position(stream, TIME_MS), 50u);
    UINT answered = 0;
    EXPECT_EQ(position(stream, 0x08, &answered), 800u) << "a form the device does not give comes as bytes";
    EXPECT_EQ(answered, TIME_BYTES);

    EXPECT_EQ(waveOutPause(stream), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutPause(stream), MMSYSERR_NOERROR);
    device->advance(1000);
    EXPECT_EQ(position(stream, TIME_BYTES), 800u);
    EXPECT_FALSE(first.dwFlags & WHDR_DONE);
    EXPECT_EQ(waveOutRestart(stream), MMSYSERR_NOERROR);
    device->advance(49);
    EXPECT_FALSE(first.dwFlags & WHDR_DONE);
    device->advance(1);
    EXPECT_TRUE(first.dwFlags & WHDR_DONE);
    EXPECT_EQ(position(stream, TIME_BYTES), 1600u);

    // Queued headers keep their buffers: the stream cannot close, nor the header be unprepared
    // or written again.
    device->advance(20);
    EXPECT_EQ(waveOutClose(stream), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutUnprepareHeader(stream, &second, sizeof second), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutWrite(stream, &second, sizeof second), WAVERR_STILLPLAYING);

    // A reset gives every header back, done, and starts the position again.
    EXPECT_EQ(waveOutReset(stream), MMSYSERR_NOERROR);
    EXPECT_EQ(second.dwFlags, WHDR_PREPARED | WHDR_DONE);
    EXPECT_EQ(position(stream, TIME_BYTES), 0u);
    device->advance(1000);
    EXPECT_EQ(position(stream, TIME_BYTES), 0u);

    // A paused stream holds what is written until it restarts.
    EXPECT_EQ(waveOutPause(stream), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(stream, &first, sizeof first), MMSYSERR_NOERROR);
    device->advance(500);
    EXPECT_EQ(position(stream, TIME_BYTES), 0u);
    EXPECT_EQ(waveOutRestart(stream), MMSYSERR_NOERROR);
    device->advance(100);
    EXPECT_TRUE(first.dwFlags & WHDR_DONE);

    struct Run {
        uint64_t start;
        uint64_t stop;
        uint64_t bytes;
    };
    const Run runs[] = { { 0, 50, 800 }, { 1050, 1120, 1120 }, { 2620, 2720, 1600 } };
    auto plays = sound.stream_plays();
    ASSERT_EQ(plays.size(), std::size(runs));
    for (size_t i = 0; i < plays.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(plays[i].stream, stream);
        EXPECT_EQ(plays[i].format, (PcmFormat { 8000, 1, 16 }));
        EXPECT_EQ(plays[i].start_ms, runs[i].start);
        EXPECT_EQ(plays[i].stop_ms, runs[i].stop);
        EXPECT_EQ(plays[i].bytes, runs[i].bytes);
    }

    WAVEHDR unprepared = header_of(first.lpData, 16);
    EXPECT_EQ(waveOutWrite(stream, &unprepared, sizeof unprepared), WAVERR_UNPREPARED);
    EXPECT_EQ(waveOutUnprepareHeader(stream, &first, sizeof first), MMSYSERR_NOERROR);
    EXPECT_EQ(first.dwFlags & WHDR_PREPARED, 0u);
    EXPECT_EQ(waveOutClose(stream), MMSYSERR_NOERROR);
    for (MMRESULT result : { waveOutClose(stream), waveOutReset(stream), waveOutPause(stream), waveOutWrite(stream, &first, sizeof first),
             waveOutSetVolume(stream, 0) })
        EXPECT_EQ(result, MMSYSERR_INVALHANDLE);
}

// A key click and a ringing phone go through PlaySound's channel, which a stream does not share:
// the music plays on under both, and the output holds the sum.
TEST_F(SoundTest, PlaySoundMixesOverAStreamWithoutCuttingIt)
{
    ASSERT_TRUE(CreateDirectory(u"\\NAND\\app", nullptr));
    ASSERT_EQ(write_file(u"\\NAND\\app\\Click.wav", wave_file(100, 8000, 1, 8, 4096)), 0u);
    ASSERT_EQ(write_file(u"\\NAND\\app\\Ring.wav", wave_file(70, 11025, 2, 16, -2000)), 0u);
    capture_mix();
    WAVEFORMATEX format = pcm(22050, 1, 16);
    HWAVEOUT stream = nullptr;
    ASSERT_EQ(waveOutOpen(&stream, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    Buffers music(stream, constant_samples(22050, 1, 16, 1000, 1000), 10);
    music.write_all(stream);

    device->advance(300);
    EXPECT_TRUE(PlaySound(u"\\NAND\\app\\Click.wav", nullptr, SND_ASYNC | SND_FILENAME));
    device->advance(50);
    EXPECT_TRUE(PlaySound(u"\\NAND\\app\\Ring.wav", nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME));
    device->advance(250);
    EXPECT_TRUE(PlaySound(nullptr, nullptr, 0));
    device->advance(600);

    for (auto& header : music.headers)
        EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    auto plays = sound.stream_plays();
    ASSERT_EQ(plays.size(), 1u) << "one run, never stopped";
    EXPECT_EQ(plays[0].start_ms, 0u);
    EXPECT_EQ(plays[0].stop_ms, 1000u);
    EXPECT_EQ(plays[0].bytes, 44100u);
    auto sounds = sound.sounds();
    ASSERT_EQ(sounds.size(), 2u);
    EXPECT_EQ(sounds[0].stop_ms, 350u) << "the ring stops the click, as one channel";
    EXPECT_EQ(sounds[1].start_ms, 350u);
    EXPECT_EQ(sounds[1].stop_ms, 600u);

    struct Expected {
        uint64_t ms;
        int value;
    };
    const Expected expected[] = {
        { 150, 1000 },        // the music alone
        { 320, 1000 + 4096 }, // with the click
        { 400, 1000 - 2000 }, // with the ring, looping past its 70 ms
        { 590, 1000 - 2000 },
        { 800, 1000 },
        { 1100, 0 },
    };
    for (auto& each : expected) {
        SCOPED_TRACE(each.ms);
        EXPECT_NEAR(mixed_at(each.ms), each.value, 1);
    }
    EXPECT_EQ(waveOutClose(stream), MMSYSERR_NOERROR);
}

TEST_F(SoundTest, AProcessThatEndsTakesItsStreamsWithIt)
{
    WAVEFORMATEX format = pcm(8000, 1, 8);
    HWAVEOUT opened = nullptr;
    std::string samples(8000, '\x80');
    WAVEHDR header = header_of(samples.data(), samples.size());
    Listener listener { device.get(), {} };
    device->programs().add(u"\\player.exe", [&](std::u16string_view) {
        HWAVEOUT stream = nullptr;
        waveOutOpen(&stream, 0, &format, reinterpret_cast<DWORD_PTR>(&listen), reinterpret_cast<DWORD_PTR>(&listener), CALLBACK_FUNCTION);
        waveOutPrepareHeader(stream, &header, sizeof header);
        waveOutWrite(stream, &header, sizeof header);
        opened = stream;
        Sleep(300);
        return 0;
    });
    PROCESS_INFORMATION info {};
    ASSERT_TRUE(CreateProcess(u"\\player.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    device->advance(100);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(waveOutClose(opened), MMSYSERR_INVALHANDLE) << "another process's stream";
    ASSERT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    device->advance(1000);
    auto plays = sound.stream_plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].stop_ms, 300u);
    EXPECT_EQ(plays[0].bytes, 2400u);
    ASSERT_EQ(listener.heard.size(), 1u) << "only the open: the stream closed without a word";
    EXPECT_FALSE(header.dwFlags & WHDR_DONE);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}
