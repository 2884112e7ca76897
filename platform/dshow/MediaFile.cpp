#include "MediaFile.h"

#include "Device.h"
#include "FileApi.h"
#include "KernelApi.h"
#include "FfmpegSetup.h"
#include "ThreadTermination.h"
#include "WideText.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace kivo {

namespace {

// libavformat reads through a buffer of this size: small reads, as the device's file system serves them.
constexpr int io_buffer_size = 4 * 1024;
constexpr AVRational hundred_nanoseconds { 1, 10'000'000 };

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
    return has_media ? S_OK : VFW_E_INVALID_FILE_FORMAT;
}

int MediaFile::read_packet(AVPacket& packet)
{
    return av_read_frame(m_format, &packet);
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
