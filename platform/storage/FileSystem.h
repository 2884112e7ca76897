#pragma once

#include "AttributeStore.h"
#include "DeviceComponent.h"
#include "FileObject.h"
#include "OpenFiles.h"
#include "Volumes.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Device;

// What the device knows of a file or folder.
struct FileInfo {
    std::u16string name;
    DWORD attributes = 0;
    uint64_t creation_time = 0; // FILETIME values
    uint64_t last_access_time = 0;
    uint64_t last_write_time = 0;
    uint64_t size = 0;
};

// The file operations of the device over its volumes, with the rules of its FAT volumes: a
// read-only file is neither written nor deleted, free space is exact, a write that does not fit
// writes nothing. Each call answers 0 or the platform's error.
class FileSystem final : public DeviceComponent {
public:
    explicit FileSystem(Device&);

    Volumes& volumes() { return m_volumes; }

    // Opens or creates a file. `existed` tells an open-or-create that the file was there.
    std::shared_ptr<FileObject> open(std::u16string_view path, FileObject::Access, DWORD disposition, DWORD attributes,
        DWORD& error, bool& existed);
    DWORD read(FileObject&, void* buffer, DWORD size, DWORD& done);
    DWORD write(FileObject&, const void* buffer, DWORD size, DWORD& done);
    DWORD size_of(const FileObject&, uint64_t& size) const;
    // Cuts or extends the file to `size` bytes (SetEndOfFile).
    DWORD resize(FileObject&, uint64_t size);
    FileInfo info_of(const FileObject&) const;

    DWORD remove_file(std::u16string_view path);
    DWORD move(std::u16string_view from, std::u16string_view to);
    DWORD replace(std::u16string_view destination, std::u16string_view source);
    DWORD copy(std::u16string_view from, std::u16string_view to, bool fail_if_exists);
    DWORD create_directory(std::u16string_view path);
    DWORD remove_directory(std::u16string_view path);
    DWORD attributes_of(std::u16string_view path, DWORD& attributes) const;
    DWORD set_attributes(std::u16string_view path, DWORD attributes);
    // The entries that match a search pattern, ordered by name without regard to case.
    DWORD find(std::u16string_view pattern, std::vector<FileInfo>& entries) const;
    DWORD free_space(std::u16string_view path, uint64_t& free, uint64_t& total) const;

    // Removes everything on a volume (a format).
    void erase_volume(VolumeId);

    // The records of attributes, and the host files open now; tests and benchmarks read them.
    const AttributeStore& attribute_store() const { return *m_attributes; }
    size_t open_file_count() const { return m_open->size(); }
    // Tests plan failing reads, writes and closes of a file here, and watch the sizes of its writes.
    FileFaults& file_faults() { return *m_file_faults; }

    void device_stopping(StopReason) override;

private:
    // What a call asks of its path before it may go on, checked in this order.
    enum Check : unsigned {
        Exists = 1,        // a missing entry: "file not found", or "path not found" without its folder
        NotVolumeRoot = 2, // "", "\SDMMC" …: access denied
        NotDirectory = 4,  // access denied
        Writable = 8,      // the volume takes changes (a card that is out or write-protected does not)
        NotReadOnly = 16,  // an existing entry is not flagged read-only: access denied
    };
    // The path resolved and checked, or null with the error of the first check that fails.
    std::optional<ResolvedPath> checked(std::u16string_view path, unsigned checks, DWORD& error) const;
    DWORD refusal(const ResolvedPath&, unsigned checks) const;
    // 0 when a handle may change its file now.
    DWORD refusal(const FileObject&) const;
    // Brings the volume's count of used bytes in line with a file that went from `before` to
    // `after` bytes, of which `reserved` were taken beforehand.
    void settle(VolumeId, uint64_t reserved, uint64_t before, uint64_t after);

    FileInfo info_of(const ResolvedPath&) const;
    FileInfo host_info(const std::filesystem::path& host, bool directory) const;
    DWORD stored_attributes(const std::filesystem::path& host) const;
    void stamp_write_time(const FileObject&);
    uint64_t now_filetime() const;

    Device& m_device;
    Volumes& m_volumes;
    std::shared_ptr<AttributeStore> m_attributes = std::make_shared<AttributeStore>();
    std::shared_ptr<OpenFiles> m_open = std::make_shared<OpenFiles>();
    std::shared_ptr<FileFaults> m_file_faults = std::make_shared<FileFaults>();
};

} // namespace kivo
