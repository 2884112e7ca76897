#pragma once

#include "DeviceComponent.h"
#include "FileObject.h"
#include "HostMutex.h"
#include "Types.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

namespace kivo {

class Device;
class FileSystem;

// The run-time's FILE streams of the device: real host FILE objects (so fgets, fread, fprintf and
// the rest work unchanged) whose reads, writes and seeks go through the device's files, with their
// rules (free space, read-only files, the card). A stream remembers whether it was opened in text
// mode, for the wide calls; the streams a process leaves open are closed when it ends.
class CrtStreams final : public DeviceComponent {
public:
    explicit CrtStreams(Device&);
    ~CrtStreams() override;
    CrtStreams(const CrtStreams&) = delete;
    CrtStreams& operator=(const CrtStreams&) = delete;

    // Opens with a run-time mode ("r", "w+", "ab", "rt" …); null with the platform's error.
    FILE* open(std::u16string_view path, std::string_view mode, DWORD& error);
    // Whether a stream of the device was opened in text mode (binary for any other stream).
    bool is_text(FILE*) const;
    size_t open_count() const;

    void process_ending(Process&) override;

private:
    struct Cookie;
    static ssize_t read(void* cookie, char* buffer, size_t size);
    static ssize_t write(void* cookie, const char* buffer, size_t size);
    static int seek(void* cookie, off64_t* offset, int whence);
    static int close(void* cookie);

    struct Stream {
        bool text = false;
        DWORD process_id = 0;
    };

    FileSystem& m_files;
    mutable HostMutex m_lock { LockRank::CrtStreams };
    std::map<FILE*, Stream> m_streams;
};

} // namespace kivo
