#pragma once

#include "com/ComTypes.h"
#include "kernel/Types.h"

#include <deque>
#include <memory>
#include <optional>
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
    // When the file's first packet starts, in 100-ns units of its streams' clocks: every time the
    // layer gives out is counted from here.
    LONGLONG start_time() const { return m_start_time; }
    const std::vector<MediaStream>& streams() const { return m_streams; }
    // The stream whose frames a seek lands on: the first decodable video stream that is no attached
    // picture, else the first audio stream (-1 in a file of neither).
    int reference_stream() const { return m_reference_stream; }

    // Reads the next packet in file order: 0, AVERROR_EOF at the end, or another AVERROR when
    // reading failed (then last_file_error() says why). `before_landing` tells a packet that a
    // seek delivers only so that a decoder can build the landing's picture: its frames are not shown.
    int read_packet(AVPacket&, bool* before_landing = nullptr);

    // Moves to `target` (100-ns units from the start; before 0 is 0). With `to_key_frame` the
    // landing is the reference stream's key frame at or before the target (for sound, the frame
    // that holds it); without, the landing is the target itself, and the packets from the key frame
    // before it up to it come first, marked as before the landing. An exact seek to a target at or
    // beyond the duration lands at the end (the next read is the end of the file); a key-frame seek
    // there lands on the last key frame, as it would anywhere in the file. After a seek each stream's
    // packets follow on from its first one to the end, none lost and none twice; a picture attached
    // to the file is not given again. Answers S_OK and the landing, or the file's error as
    // HRESULT_FROM_WIN32 (E_FAIL when the demuxer failed on its own).
    HRESULT seek(LONGLONG target, bool to_key_frame, LONGLONG& landing);
    // A packet's time (its pts, else its dts) in 100-ns units from the file's start; none when it
    // has neither.
    std::optional<LONGLONG> time_of(const AVPacket&) const;
    // A packet's duration in 100-ns units (0 when the file does not say).
    LONGLONG duration_of(const AVPacket&) const;

    // The Win32 error the last failed file call met (0 when none failed).
    DWORD last_file_error() const { return m_file_error; }

    AVFormatContext* format_context() const { return m_format; }

private:
    MediaFile(std::u16string_view device_path, HANDLE file, Device&);
    HRESULT read_stream_info();
    struct PacketFree {
        void operator()(AVPacket*) const;
    };
    using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
    struct ReadAhead {
        PacketPtr packet;
        bool before_landing = false;
    };
    HRESULT read_error() const;
    HRESULT seek_demuxer(LONGLONG position);
    HRESULT read_to_landing(LONGLONG target, size_t& key);
    void keep_from_landing(size_t key, LONGLONG key_time, LONGLONG landing);
    LONGLONG time_of_timestamp(const AVPacket&, int64_t timestamp) const;

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
    LONGLONG m_start_time = 0;
    std::vector<MediaStream> m_streams;
    int m_reference_stream = -1;
    // Packets a seek read to find its landing, given out first, in file order.
    std::deque<ReadAhead> m_read_ahead;
    // A seek landed at the end: reads give the end of the file until the next seek.
    bool m_at_end = false;
};

} // namespace kivo
