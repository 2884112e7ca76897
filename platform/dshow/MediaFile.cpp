#include "MediaFile.h"

#include "Device.h"
#include "FileApi.h"
#include "KernelApi.h"
#include "FfmpegSetup.h"
#include "MediaTime.h"
#include "ThreadTermination.h"
#include "WideText.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace kivo {

namespace {

// libavformat reads through a buffer of this size: small reads, as the device's file system serves them.
constexpr int io_buffer_size = 4 * 1024;

MediaStream::Kind kind_of(AVMediaType type)
{
    switch (type) {
    case AVMEDIA_TYPE_AUDIO:
        return MediaStream::Kind::Audio;
    case AVMEDIA_TYPE_VIDEO:
        return MediaStream::Kind::Video;
    default:
        return MediaStream::Kind::Other;
    }
}

} // namespace

HRESULT MediaFile::open(std::u16string_view device_path, std::unique_ptr<MediaFile>& file)
{
    file.reset();
    set_up_ffmpeg();
    std::u16string path(device_path);
    HANDLE handle = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    std::unique_ptr<MediaFile> opened(new MediaFile(device_path, handle, Device::current()));
    HRESULT result = opened->read_stream_info();
    if (SUCCEEDED(result))
        file = std::move(opened);
    return result;
}

MediaFile::MediaFile(std::u16string_view device_path, HANDLE file, Device& device)
    : m_device_path(device_path)
    , m_file(file)
    , m_device(device)
{
}

MediaFile::~MediaFile()
{
    avformat_close_input(&m_format);
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    CloseHandle(m_file);
}

HRESULT MediaFile::read_stream_info()
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(io_buffer_size));
    if (buffer)
        m_io = avio_alloc_context(buffer, io_buffer_size, 0, this, read_callback, nullptr, seek_callback);
    m_format = avformat_alloc_context();
    if (!m_io || !m_format) {
        if (!m_io)
            av_free(buffer);
        return E_OUTOFMEMORY;
    }
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->opaque = &m_device; // where the log callback finds the device
    // The path goes along only as a hint for probing by extension; every byte comes through m_io.
    std::string url = to_utf8(m_device_path);
    int opened = avformat_open_input(&m_format, url.c_str(), nullptr, nullptr);
    if (opened < 0) {
        // avformat_open_input frees the context when it fails.
        return m_file_error ? HRESULT_FROM_WIN32(m_file_error) : VFW_E_INVALID_FILE_FORMAT;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0)
        return m_file_error ? HRESULT_FROM_WIN32(m_file_error) : VFW_E_INVALID_FILE_FORMAT;

    if (m_format->duration != AV_NOPTS_VALUE)
        m_duration = av_rescale_q(m_format->duration, AV_TIME_BASE_Q, hundred_nanoseconds);
    if (m_format->start_time != AV_NOPTS_VALUE)
        m_start_time = av_rescale_q(m_format->start_time, AV_TIME_BASE_Q, hundred_nanoseconds);
    bool has_media = false;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        const AVStream& stream = *m_format->streams[i];
        MediaStream listed;
        listed.index = stream.index;
        listed.kind = kind_of(stream.codecpar->codec_type);
        listed.codec = avcodec_get_name(stream.codecpar->codec_id);
        listed.decodable = avcodec_find_decoder(stream.codecpar->codec_id) != nullptr;
        // Some containers (Matroska) give no stream its own length: it lasts as long as the file.
        listed.duration = stream.duration != AV_NOPTS_VALUE ? av_rescale_q(stream.duration, stream.time_base, hundred_nanoseconds)
                                                            : m_duration;
        listed.attached_picture = (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        has_media = has_media || (listed.kind != MediaStream::Kind::Other && !listed.attached_picture);
        m_streams.push_back(std::move(listed));
    }
    if (!has_media)
        return VFW_E_INVALID_FILE_FORMAT;
    auto first = [&](auto&& fits) {
        auto found = std::find_if(m_streams.begin(), m_streams.end(), fits);
        return found != m_streams.end() ? found->index : -1;
    };
    auto played = [](MediaStream::Kind kind) { return [kind](const MediaStream& s) { return s.kind == kind && !s.attached_picture; }; };
    m_reference_stream = first([](const MediaStream& s) { return s.kind == MediaStream::Kind::Video && s.decodable && !s.attached_picture; });
    if (m_reference_stream < 0)
        m_reference_stream = first(played(MediaStream::Kind::Audio));
    // A file of video no decoder reads and no sound still seeks by its video's frames.
    if (m_reference_stream < 0)
        m_reference_stream = first(played(MediaStream::Kind::Video));
    return S_OK;
}

void MediaFile::PacketFree::operator()(AVPacket* packet) const
{
    av_packet_free(&packet);
}

int MediaFile::read_packet(AVPacket& packet, bool* before_landing)
{
    if (before_landing)
        *before_landing = false;
    if (!m_read_ahead.empty()) {
        av_packet_unref(&packet);
        av_packet_move_ref(&packet, m_read_ahead.front().packet.get());
        if (before_landing)
            *before_landing = m_read_ahead.front().before_landing;
        m_read_ahead.pop_front();
        return 0;
    }
    if (m_at_end)
        return AVERROR_EOF;
    return av_read_frame(m_format, &packet);
}

HRESULT MediaFile::seek(LONGLONG target, bool to_key_frame, LONGLONG& landing)
{
    m_read_ahead.clear();
    m_at_end = false;
    // A seek tries the file again: an earlier failed read is no answer for it.
    m_file_error = 0;
    m_io->error = 0;
    target = std::max<LONGLONG>(target, 0);
    if (!to_key_frame && m_duration > 0 && target >= m_duration) {
        landing = m_duration;
        m_at_end = true;
        return S_OK;
    }
    size_t key = 0;
    HRESULT result = read_to_landing(target, key);
    if (FAILED(result)) {
        m_read_ahead.clear();
        return result;
    }
    LONGLONG key_time = 0;
    if (key < m_read_ahead.size())
        key_time = time_of(*m_read_ahead[key].packet).value_or(0);
    // Sound frames that prime the decoder may start before the file does: their sound starts at 0.
    landing = to_key_frame ? std::max<LONGLONG>(key_time, 0) : target;
    keep_from_landing(key, key_time, landing);
    return S_OK;
}

// Reads from the demuxer's seek point on until the reference stream's key frame at or before the
// target is known, keeping every packet read; `key` is that frame's place among them.
HRESULT MediaFile::read_to_landing(LONGLONG target, size_t& key)
{
    const bool sound_reference = m_streams[size_t(m_reference_stream)].kind == MediaStream::Kind::Audio;
    // Streams whose packets are read on until they pass the target, so that those before it are
    // marked: the played sound and video streams.
    std::vector<bool> awaited(m_streams.size());
    for (const MediaStream& stream : m_streams)
        awaited[size_t(stream.index)] = stream.kind != MediaStream::Kind::Other && !stream.attached_picture;
    // Demuxers of some formats (MP3 without an index, ASF) only guess where a time lies: when the
    // guess went past the key frame, ask again from further back, at last from the start.
    for (LONGLONG back = 0;; back = back == 0 ? 10'000'000 : back > target / 2 ? target : back * 2) {
        LONGLONG from = std::max<LONGLONG>(target - back, 0);
        m_read_ahead.clear();
        HRESULT sought = seek_demuxer(from);
        if (FAILED(sought))
            return sought;
        std::optional<size_t> found;
        std::optional<size_t> first_key;
        std::vector<bool> passed(m_streams.size());
        LONGLONG reference_time = 0;
        for (;;) {
            PacketPtr packet(av_packet_alloc());
            if (!packet)
                return E_OUTOFMEMORY;
            int read = av_read_frame(m_format, packet.get());
            if (read == AVERROR_EOF)
                break;
            if (read < 0)
                return read_error();
            size_t stream = size_t(packet->stream_index);
            auto time = time_of(*packet);
            if (stream == size_t(m_reference_stream) && time) {
                bool key_frame = sound_reference || (packet->flags & AV_PKT_FLAG_KEY);
                if (key_frame && !first_key)
                    first_key = m_read_ahead.size();
                if (key_frame && *time <= target)
                    found = m_read_ahead.size();
                // In decoding order no later frame of the stream is shown before this one's
                // decoding time.
                if (packet->dts != AV_NOPTS_VALUE)
                    reference_time = std::max(reference_time, time_of_timestamp(*packet, packet->dts));
                else
                    reference_time = std::max(reference_time, *time);
            }
            if (stream < passed.size() && time && *time > target)
                passed[stream] = true;
            m_read_ahead.push_back({ std::move(packet), false });
            bool others_passed = true;
            for (size_t i = 0; i < passed.size(); ++i)
                others_passed = others_passed && (!awaited[i] || passed[i]);
            // Interleaving keeps the streams within a second of each other: a stream that has not
            // passed the target by then has ended.
            if (reference_time > target && (others_passed || reference_time > saturating_add(target, 10'000'000)))
                break;
        }
        if (found) {
            key = *found;
            return S_OK;
        }
        if (from == 0) {
            // The reference stream starts after the target: its first key frame is the landing.
            key = first_key.value_or(0);
            return S_OK;
        }
    }
}

// Drops what was read before each stream's first packet after the seek: the reference stream
// starts at its key frame, the others at their first packet that ends after it. Marks the packets
// that end at or before the landing.
void MediaFile::keep_from_landing(size_t key, LONGLONG key_time, LONGLONG landing)
{
    // Some formats (MPEG program streams) add streams while they are read: count them now.
    const size_t stream_count = m_format->nb_streams;
    std::vector<std::optional<LONGLONG>> ends(m_read_ahead.size());
    std::vector<std::optional<LONGLONG>> next_time(stream_count);
    for (size_t i = m_read_ahead.size(); i-- > 0;) {
        const AVPacket& packet = *m_read_ahead[i].packet;
        auto time = time_of(packet);
        if (time && packet.duration > 0)
            ends[i] = saturating_add(*time, duration_of(packet));
        else
            ends[i] = next_time[size_t(packet.stream_index)];
        if (time)
            next_time[size_t(packet.stream_index)] = time;
    }
    std::deque<ReadAhead> kept;
    std::vector<bool> started(stream_count);
    for (size_t i = 0; i < m_read_ahead.size(); ++i) {
        ReadAhead& entry = m_read_ahead[i];
        size_t stream = size_t(entry.packet->stream_index);
        if (m_format->streams[stream]->disposition & AV_DISPOSITION_ATTACHED_PIC)
            continue;
        if (!started[stream]) {
            started[stream] = stream == size_t(m_reference_stream) ? i >= key : !ends[i] || *ends[i] > key_time;
            if (!started[stream])
                continue;
        }
        auto time = time_of(*entry.packet);
        entry.before_landing = ends[i] ? *ends[i] <= landing : time && *time < landing;
        kept.push_back(std::move(entry));
    }
    m_read_ahead = std::move(kept);
}

HRESULT MediaFile::seek_demuxer(LONGLONG position)
{
    int stream = m_reference_stream;
    int64_t timestamp = av_rescale_q(saturating_add(position, m_start_time), hundred_nanoseconds, m_format->streams[stream]->time_base);
    if (av_seek_frame(m_format, stream, timestamp, AVSEEK_FLAG_BACKWARD) >= 0)
        return S_OK;
    if (m_file_error)
        return read_error();
    // Nothing lies at or before a time ahead of the first frame: take what lies nearest.
    if (avformat_seek_file(m_format, stream, INT64_MIN, timestamp, INT64_MAX, 0) >= 0)
        return S_OK;
    return read_error();
}

HRESULT MediaFile::read_error() const
{
    return m_file_error ? HRESULT_FROM_WIN32(m_file_error) : E_FAIL;
}

std::optional<LONGLONG> MediaFile::time_of(const AVPacket& packet) const
{
    int64_t timestamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (timestamp == AV_NOPTS_VALUE)
        return std::nullopt;
    return time_of_timestamp(packet, timestamp);
}

LONGLONG MediaFile::duration_of(const AVPacket& packet) const
{
    return packet.duration > 0 ? av_rescale_q(packet.duration, m_format->streams[packet.stream_index]->time_base, hundred_nanoseconds) : 0;
}

LONGLONG MediaFile::time_of_timestamp(const AVPacket& packet, int64_t timestamp) const
{
    return saturating_subtract(av_rescale_q(timestamp, m_format->streams[packet.stream_index]->time_base, hundred_nanoseconds), m_start_time);
}

int MediaFile::failed_with(DWORD error)
{
    m_file_error = error;
    return error == ERROR_HANDLE_EOF ? AVERROR_EOF : AVERROR(EIO);
}

// libavformat's callbacks: they run inside run_as_c_callback, so a kill of the reading thread
// makes the file call fail and the callback answer an error, and nothing unwinds through
// libavformat's frames.
int MediaFile::read_callback(void* opaque, uint8_t* buffer, int size)
{
    auto& self = *static_cast<MediaFile*>(opaque);
    return run_as_c_callback(AVERROR(EIO), [&] {
        DWORD read = 0;
        if (!ReadFile(self.m_file, buffer, static_cast<DWORD>(size), &read, nullptr))
            return self.failed_with(GetLastError());
        if (read == 0)
            return AVERROR_EOF;
        return static_cast<int>(read);
    });
}

int64_t MediaFile::seek_callback(void* opaque, int64_t offset, int whence)
{
    auto& self = *static_cast<MediaFile*>(opaque);
    return run_as_c_callback<int64_t>(AVERROR(EIO), [&]() -> int64_t {
        if (whence & AVSEEK_SIZE) {
            DWORD high = 0;
            SetLastError(0);
            DWORD low = GetFileSize(self.m_file, &high);
            if (low == INVALID_FILE_SIZE && GetLastError() != 0)
                return self.failed_with(GetLastError());
            return (static_cast<int64_t>(high) << 32) | low;
        }
        DWORD method = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            method = FILE_BEGIN;
            break;
        case SEEK_CUR:
            method = FILE_CURRENT;
            break;
        case SEEK_END:
            method = FILE_END;
            break;
        default:
            return AVERROR(EINVAL);
        }
        LONG high = static_cast<LONG>(offset >> 32);
        SetLastError(0);
        DWORD low = SetFilePointer(self.m_file, static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
        if (low == INVALID_SET_FILE_POINTER && GetLastError() != 0)
            return self.failed_with(GetLastError());
        return (static_cast<int64_t>(static_cast<DWORD>(high)) << 32) | low;
    });
}

} // namespace kivo
