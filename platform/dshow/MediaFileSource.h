#pragma once

#include "Filter.h"
#include "MediaFile.h"

#include <memory>

namespace kivo {

inline constexpr CLSID CLSID_FileSource = kivo::guid("{6B0E93C1-52D4-4A7E-9E0B-3C1D5F7A2B30}");

// The source of a playing file: one output pin for each sound or video stream that is no attached
// picture ("Video 0", "Audio 1": the kind and the stream's number), each offering the stream's
// packets (packet_stream_type). Its streaming thread reads the file in file order and hands each
// packet to its stream's pin when that is connected; times are on the stream's clock, counted from
// the last seek's landing (0 at first). At the end of the file every connected pin gets the end of
// the stream; a failed read raises EC_ERRORABORT with the file's error, then ends the streams.
class MediaFileSource final : public Filter, public FileSourceFilter, private MediaSeeker {
public:
    MediaFileSource();
    ~MediaFileSource() override;

    // Opens the file at a device path (once) and makes the pins; MediaFile::open's results.
    HRESULT load(std::u16string_view device_path) override;
    std::u16string loaded_path() const override { return m_file ? m_file->device_path() : std::u16string(); }
    const MediaFile* file() const { return m_file.get(); }

    MediaSeeker* seeker() override { return m_file ? this : nullptr; }

private:
    class StreamPin;

    REFERENCE_TIME duration() override;
    HRESULT seek(REFERENCE_TIME target, bool to_key_frame, REFERENCE_TIME& landing) override;

    void on_pause(FILTER_STATE from) override;
    void on_stop() override;
    void start_streaming();
    // Stops the streaming thread: what is on its way downstream is flushed.
    void stop_streaming();
    void stream();
    StreamPin* pin_of_stream(int stream) const;

    std::unique_ptr<MediaFile> m_file;
    std::vector<StreamPin*> m_stream_pins;
    StreamingThread m_thread;
    std::atomic<bool> m_stopping = false;
    // Where the samples' times count from; only changed while no streaming thread runs.
    REFERENCE_TIME m_segment_start = 0;
};

} // namespace kivo
