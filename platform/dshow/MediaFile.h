#pragma once

#include "com/ComTypes.h"
#include "kernel/Types.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

namespace kivo {

class Device;

// One stream of a media file as the graph will offer it.
struct MediaStream {
    enum class Kind { Audio, Video, Other };
    int index = 0; // the stream's number in the file
    Kind kind = Kind::Other;
    std::string codec; // FFmpeg's short name of the codec ("aac", "mpeg4", "wmav2" …)
    bool decodable = false; // a decoder for the codec is at hand
    // The stream's length in 100-ns units, as DirectShow counts media time: the file's length when
    // the container gives the stream none, 0 when the file does not say either.
    LONGLONG duration = 0;
    // A picture attached to the file (an audio file's cover art): not a stream the graph plays.
    bool attached_picture = false;
};

// A media file opened for demuxing through the device's own file calls: libavformat reads it by
// CreateFile/ReadFile/SetFilePointer/GetFileSize, so device paths, a removed card and the file
// system's rules hold for media as for any file. Opened and read on a simulated thread.
class MediaFile {
public:
    // Opens the file at a device path and reads its stream information. Answers S_OK and the file,
    // the file's own error as HRESULT_FROM_WIN32 when it cannot be opened or read, or
    // VFW_E_INVALID_FILE_FORMAT when it is not media libavformat can read.
    static HRESULT open(std::u16string_view device_path, std::unique_ptr<MediaFile>& file);
    ~MediaFile();
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    const std::u16string& device_path() const { return m_device_path; }
    // The whole file's length in 100-ns units (0 when unknown).
    LONGLONG duration() const { return m_duration; }
    const std::vector<MediaStream>& streams() const { return m_streams; }

    // Reads the next packet: 0, AVERROR_EOF at the end, or another AVERROR when reading failed
    // (then last_file_error() says why).
    int read_packet(AVPacket&);
    // The Win32 error the last failed file call met (0 when none failed).
    DWORD last_file_error() const { return m_file_error; }

    AVFormatContext* format_context() const { return m_format; }

private:
    MediaFile(std::u16string_view device_path, HANDLE file, Device&);
    HRESULT read_stream_info();

    static int read_callback(void* opaque, uint8_t* buffer, int size);
    static int64_t seek_callback(void* opaque, int64_t offset, int whence);
    int failed_with(DWORD error);

    std::u16string m_device_path;
    HANDLE m_file;
    Device& m_device;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
    DWORD m_file_error = 0;
    LONGLONG m_duration = 0;
    std::vector<MediaStream> m_streams;
};

} // namespace kivo
