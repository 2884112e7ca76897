#include "dshow/tests/MediaTesting.h"

#include "DecoderFilter.h"
#include "MediaFileSource.h"
#include "KernelApi.h"
#include "RendererFilter.h"

#include <functional>

namespace kivo::test {
namespace {

inline constexpr CLSID CLSID_RecordingRenderer = kivo::guid("{0C6E2F5A-1B7D-4E39-A2C4-7D81F0B3E911}");

struct Presented {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    size_t bytes = 0;
};

// Takes pictures or sound and keeps what it presented; it has no clock, so it presents at once.
class RecordingRenderer final : public RendererFilter {
public:
    RecordingRenderer(GUID subtype, std::vector<Presented>& presented)
        : RendererFilter(CLSID_RecordingRenderer, u"Recorder", u"In")
        , m_subtype(subtype)
        , m_presented(presented)
    {
    }

private:
    HRESULT check_input_type(const MediaType& type) override { return type.subtype == m_subtype ? S_OK : S_FALSE; }
    void present(const MediaSample& sample) override { m_presented.push_back({ sample.start, sample.stop, sample.data.size() }); }

    GUID m_subtype;
    std::vector<Presented>& m_presented;
};

// Source, decoder and recorder for one stream of a clip, built and run on a program's thread.
class FilterChainTest : public MediaTest {
protected:
    void play(std::u16string path, MediaStream::Kind kind, const std::function<void(MediaFileSource&, Filter& decoder, Filter& renderer)>& body)
    {
        // Each play is a program of its own.
        std::u16string image = u"\\player" + to_utf16(std::to_string(++m_plays)) + u".exe";
        device->programs().add(image, [&](std::u16string_view) {
            auto* source = new MediaFileSource;
            ComRef<IBaseFilter> source_ref = ComRef<IBaseFilter>::adopt(source);
            EXPECT_EQ(source->load(path), S_OK);
            auto* decoder = new DecoderFilter(kind);
            ComRef<IBaseFilter> decoder_ref = ComRef<IBaseFilter>::adopt(decoder);
            auto* renderer = new RecordingRenderer(kind == MediaStream::Kind::Video ? MEDIASUBTYPE_I420 : MEDIASUBTYPE_PCM, presented);
            ComRef<IBaseFilter> renderer_ref = ComRef<IBaseFilter>::adopt(renderer);
            Pin* out = nullptr;
            for (Pin* pin : source->pins())
                if (pin->name().starts_with(kind == MediaStream::Kind::Video ? u"Video" : u"Audio"))
                    out = pin;
            if (!out) {
                ADD_FAILURE() << "no pin for the stream";
                return 0;
            }
            EXPECT_EQ(Pin::connect(*out, decoder->input(), nullptr), S_OK);
            EXPECT_EQ(Pin::connect(decoder->output(), renderer->input(), nullptr), S_OK);
            body(*source, *decoder, *renderer);
            source->Stop();
            decoder->Stop();
            renderer->Stop();
            renderer->input().disconnect();
            decoder->output().disconnect();
            decoder->input().disconnect();
            out->disconnect();
            return 0;
        });
        DWORD error = 0;
        device->create_process(image, u"", error);
        device->advance(20'000);
    }

    static void run(Filter& source, Filter& decoder, Filter& renderer)
    {
        renderer.Pause();
        decoder.Pause();
        source.Pause();
        renderer.Run(0);
        decoder.Run(0);
        source.Run(0);
    }

    std::vector<Presented> presented;

private:
    int m_plays = 0;
};

TEST_F(FilterChainTest, PlaysEveryDecodedFrameOfTheStream)
{
    struct Case {
        Clip clip;
        std::u16string path;
        MediaStream::Kind kind;
        int stream;
    };
    for (const Case& c : { Case { Clip::Mp4MpegAac, u"\\SDMMC\\Video\\clip.mp4", MediaStream::Kind::Video, 0 },
             Case { Clip::WmvWma, u"\\SDMMC\\Video\\clip.wmv", MediaStream::Kind::Audio, 1 } }) {
        SCOPED_TRACE(to_utf8(c.path));
        make(c.path, c.clip);
        presented.clear();
        play(c.path, c.kind, [](MediaFileSource& source, Filter& decoder, Filter& renderer) {
            run(source, decoder, renderer);
            Sleep(5'000);
        });
        // What the decoder gives for the file read whole, straight.
        std::unique_ptr<MediaFile> file;
        ASSERT_EQ(MediaFile::open(c.path, file), S_OK);
        std::unique_ptr<MediaDecoder> decoder;
        ASSERT_EQ(MediaDecoder::create(*file, c.stream, decoder), S_OK);
        std::vector<DecodedFrame> frames;
        PacketPtr packet(av_packet_alloc());
        while (file->read_packet(*packet) == 0) {
            if (packet->stream_index == c.stream)
                decoder->decode(packet.get(), frames);
            av_packet_unref(packet.get());
        }
        decoder->decode(nullptr, frames);
        ASSERT_EQ(presented.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(presented[i].start, frames[i].start) << i;
            EXPECT_EQ(presented[i].bytes, frames[i].data.size()) << i;
        }
    }
}

TEST_F(FilterChainTest, ASeekWhilePausedPlaysOnFromTheLanding)
{
    make(u"\\SDMMC\\Video\\clip.mp4", Clip::Mp4MpegAac);
    const REFERENCE_TIME target = 13'100'000; // between the key frames at 0.96 s and 1.44 s
    struct Case {
        bool to_key_frame;
        REFERENCE_TIME landing;
    };
    for (Case c : { Case { true, 9'600'000 }, Case { false, target } }) {
        SCOPED_TRACE(c.to_key_frame ? "to a key frame" : "exactly");
        presented.clear();
        size_t before_seek = 0;
        play(u"\\SDMMC\\Video\\clip.mp4", MediaStream::Kind::Video, [&](MediaFileSource& source, Filter& decoder, Filter& renderer) {
            run(source, decoder, renderer);
            Sleep(5'000);
            before_seek = presented.size();
            renderer.Pause();
            decoder.Pause();
            source.Pause();
            REFERENCE_TIME landing = -1;
            EXPECT_EQ(source.seeker()->seek(target, c.to_key_frame, landing), S_OK);
            EXPECT_EQ(landing, c.landing);
            renderer.Run(0);
            decoder.Run(0);
            source.Run(0);
            Sleep(5'000);
        });
        ASSERT_GT(presented.size(), before_seek);
        // Times count from the landing: the first picture shown after the seek is the one at it.
        const Presented& first = presented[before_seek];
        EXPECT_LE(first.start, 0);
        EXPECT_GT(first.stop, 0);
        // Up to the film's last picture shown (2.92 s), none missing and none twice.
        REFERENCE_TIME last_start = presented.back().start + c.landing;
        EXPECT_EQ(last_start, 29'200'000);
        REFERENCE_TIME first_start = c.landing / 400'000 * 400'000; // the picture showing at the landing
        EXPECT_EQ(presented.size() - before_seek, size_t((29'200'000 - first_start) / 400'000 + 1));
    }
}

TEST_F(FilterChainTest, EachPlayedStreamHasAPinAndTheDecoderRefusesOneWithoutACodec)
{
    make(u"\\SDMMC\\Video\\clip.mkv", Clip::MkvUndecodableVideo);
    make(u"\\SDMMC\\Music\\a.mp3", Clip::Mp3WithCover);
    device->programs().add(u"\\player.exe", [&](std::u16string_view) {
        // The cover picture is no stream the graph plays.
        auto* song = new MediaFileSource;
        ComRef<IBaseFilter> song_ref = ComRef<IBaseFilter>::adopt(song);
        EXPECT_EQ(song->load(u"\\SDMMC\\Music\\a.mp3"), S_OK);
        std::vector<std::u16string> names;
        for (Pin* pin : song->pins())
            names.push_back(pin->name());
        EXPECT_EQ(names, std::vector<std::u16string> { u"Audio 0" });

        auto* source = new MediaFileSource;
        ComRef<IBaseFilter> source_ref = ComRef<IBaseFilter>::adopt(source);
        EXPECT_EQ(source->load(u"\\SDMMC\\Video\\clip.mkv"), S_OK);
        // Every stream has its pin, the undecodable one too.
        EXPECT_NE(source->pin(u"Video 0"), nullptr);
        EXPECT_NE(source->pin(u"Audio 1"), nullptr);
        auto* decoder = new DecoderFilter(MediaStream::Kind::Video);
        ComRef<IBaseFilter> decoder_ref = ComRef<IBaseFilter>::adopt(decoder);
        EXPECT_EQ(Pin::connect(*source->pin(u"Video 0"), decoder->input(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
        EXPECT_FALSE(decoder->input().connected());
        return 0;
    });
    DWORD error = 0;
    device->create_process(u"\\player.exe", u"", error);
    device->advance(1'000);
}

} // namespace
} // namespace kivo::test
