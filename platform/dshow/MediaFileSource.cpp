#include "MediaFileSource.h"

#include "FfmpegPointers.h"
#include "MediaDecoder.h"
#include "MediaTime.h"
#include "WideText.h"

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kivo {

class MediaFileSource::StreamPin final : public OutputPin {
public:
    StreamPin(Filter& owner, std::u16string name, int stream, MediaType type)
        : OutputPin(owner, std::move(name))
        , m_stream(stream)
        , m_offered(std::move(type))
    {
    }

    HRESULT check_type(const MediaType& type) override { return type == m_offered ? S_OK : S_FALSE; }
    std::vector<MediaType> proposed_types() override { return { m_offered }; }

    int stream() const { return m_stream; }

    // The streaming thread's own, and the seeking thread's while no streaming thread runs.
    bool refused = false; // downstream wants no more until a flush
    bool discontinuity = false; // the next sample follows a seek

private:
    int m_stream;
    MediaType m_offered;
};

MediaFileSource::MediaFileSource()
    : Filter(CLSID_FileSource, u"File Source")
{
}

MediaFileSource::~MediaFileSource()
{
    stop_streaming();
}

HRESULT MediaFileSource::load(std::u16string_view device_path)
{
    if (m_file)
        return E_UNEXPECTED;
    HRESULT result = MediaFile::open(device_path, m_file);
    if (FAILED(result))
        return result;
    for (const MediaStream& stream : m_file->streams()) {
        if (stream.kind == MediaStream::Kind::Other || stream.attached_picture)
            continue;
        std::u16string name = (stream.kind == MediaStream::Kind::Video ? u"Video " : u"Audio ") + to_utf16(std::to_string(stream.index));
        auto pin = std::make_unique<StreamPin>(*this, std::move(name), stream.index, packet_stream_type(*m_file, stream.index));
        m_stream_pins.push_back(pin.get());
        add_pin(std::move(pin));
    }
    return S_OK;
}

REFERENCE_TIME MediaFileSource::duration()
{
    return m_file->duration();
}

HRESULT MediaFileSource::seek(REFERENCE_TIME target, bool to_key_frame, REFERENCE_TIME& landing)
{
    bool streaming = m_thread.started();
    stop_streaming();
    HRESULT result = m_file->seek(target, to_key_frame, landing);
    if (SUCCEEDED(result)) {
        m_segment_start = landing;
        for (StreamPin* pin : m_stream_pins) {
            pin->discontinuity = true;
            pin->deliver_new_segment(landing);
        }
    }
    if (streaming && state() != State_Stopped)
        start_streaming();
    return result;
}

void MediaFileSource::on_pause(FILTER_STATE from)
{
    if (from == State_Stopped && m_file)
        start_streaming();
}

void MediaFileSource::on_stop()
{
    stop_streaming();
}

void MediaFileSource::start_streaming()
{
    m_stopping = false;
    for (StreamPin* pin : m_stream_pins)
        pin->refused = false;
    m_thread.start([this] { stream(); });
}

void MediaFileSource::stop_streaming()
{
    if (!m_thread.started())
        return;
    m_stopping = true;
    // A thread waiting for room downstream is let go by the flush.
    for (StreamPin* pin : m_stream_pins)
        pin->deliver_begin_flush();
    m_thread.join();
    for (StreamPin* pin : m_stream_pins)
        pin->deliver_end_flush();
}

MediaFileSource::StreamPin* MediaFileSource::pin_of_stream(int stream) const
{
    for (StreamPin* pin : m_stream_pins) {
        if (pin->stream() == stream)
            return pin;
    }
    return nullptr;
}

void MediaFileSource::stream()
{
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        notify(EC_ERRORABORT, E_OUTOFMEMORY, 0);
        return;
    }
    for (;;) {
        if (m_stopping)
            return;
        bool before_landing = false;
        int read = m_file->read_packet(*packet, &before_landing);
        if (read == AVERROR_EOF)
            break;
        if (read < 0) {
            DWORD error = m_file->last_file_error();
            notify(EC_ERRORABORT, error ? HRESULT_FROM_WIN32(error) : VFW_E_INVALID_FILE_FORMAT, 0);
            break;
        }
        StreamPin* pin = pin_of_stream(packet->stream_index);
        if (pin && pin->connected() && !pin->refused) {
            auto sample = std::make_shared<MediaSample>();
            sample->data.assign(packet->data, packet->data + packet->size);
            if (auto time = m_file->time_of(*packet)) {
                sample->has_time = true;
                sample->start = saturating_subtract(*time, m_segment_start);
                sample->stop = saturating_add(sample->start, m_file->duration_of(*packet));
            }
            sample->sync_point = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            // A packet the container says to decode but not show (outside an MP4's edit list)
            // is preroll as well.
            sample->preroll = before_landing || (packet->flags & AV_PKT_FLAG_DISCARD);
            sample->discontinuity = std::exchange(pin->discontinuity, false);
            // S_FALSE: no more until a flush; a failure: the stream downstream has stopped.
            if (pin->deliver(sample) != S_OK)
                pin->refused = true;
        }
        av_packet_unref(packet.get());
    }
    for (StreamPin* pin : m_stream_pins) {
        if (!pin->refused && !m_stopping)
            pin->deliver_end_of_stream();
    }
}

} // namespace kivo
