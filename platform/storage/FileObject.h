#pragma once

#include "KernelObject.h"
#include "OpenFiles.h"
#include "Volumes.h"
#include "FileFaults.h"

#include <filesystem>
#include <memory>

namespace kivo {

// An open file: the host file it stands for, what the handle may do, and its position. It holds
// nothing of the device's components, so it may outlive them in a handle table; it tells the list
// of open files, which it shares, when it is closed.
class FileObject final : public KernelObject {
public:
    struct Access {
        bool read = false;
        bool write = false;
        bool append = false; // every write goes to the end (the run-time's "a" modes)
        // What other handles of the same file may do meanwhile (FILE_SHARE_READ, FILE_SHARE_WRITE).
        DWORD share = 0x1 | 0x2;
    };

    // Takes over the handle's place among the open files, counted by OpenFiles::open before the
    // file was opened.
    FileObject(int descriptor, std::u16string device_path, std::filesystem::path host, VolumeId, Access,
        std::shared_ptr<OpenFiles>, std::shared_ptr<FileFaults>);
    ~FileObject() override;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    const char* kind() const override { return "file"; }
    // A writing handle's close fails when a test planned it.
    uint32_t close_error() override;

    int descriptor() const { return m_descriptor; }
    const std::u16string& device_path() const { return m_device_path; }
    const std::filesystem::path& host() const { return m_host; }
    VolumeId volume() const { return m_volume; }
    const Access& access() const { return m_access; }
    static OpenFiles::Use use_of(const Access& access) { return { access.read, access.write || access.append, access.share }; }

    uint64_t position() const { return m_position; }
    void set_position(uint64_t position) { m_position = position; }

private:
    int m_descriptor;
    std::u16string m_device_path;
    std::filesystem::path m_host;
    VolumeId m_volume;
    Access m_access;
    uint64_t m_position = 0;
    std::shared_ptr<OpenFiles> m_open_files;
    std::shared_ptr<FileFaults> m_file_faults;
};

} // namespace kivo
