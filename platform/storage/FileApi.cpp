#include "FileApi.h"

#include "Device.h"
#include "FileSystem.h"
#include "KernelApi.h"
#include "Process.h"
#include "SimThread.h"
#include "StreamDriverTable.h"

#include <algorithm>

using namespace kivo;

namespace {

// A search of FindFirstFile: its entries, taken at the start, handed out in order.
class FindSearch final : public KernelObject {
public:
    explicit FindSearch(std::vector<FileInfo> entries)
        : m_entries(std::move(entries))
    {
    }
    const char* kind() const override { return "find"; }
    const FileInfo* next() { return m_next < m_entries.size() ? &m_entries[m_next++] : nullptr; }

private:
    std::vector<FileInfo> m_entries;
    size_t m_next = 0;
};

Process& caller()
{
    return SimThread::current()->process();
}

FileSystem& files()
{
    return Device::current().component<FileSystem>();
}

template<typename T>
std::shared_ptr<T> resolve(HANDLE handle)
{
    return Device::current().handles().resolve_as<T>(handle, caller());
}

BOOL result(DWORD error)
{
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

FILETIME make_filetime(uint64_t value)
{
    return { static_cast<DWORD>(value), static_cast<DWORD>(value >> 32) };
}

void fill(WIN32_FIND_DATA& data, const FileInfo& info)
{
    data = {};
    data.dwFileAttributes = info.attributes;
    data.ftCreationTime = make_filetime(info.creation_time);
    data.ftLastAccessTime = make_filetime(info.last_access_time);
    data.ftLastWriteTime = make_filetime(info.last_write_time);
    data.nFileSizeHigh = static_cast<DWORD>(info.size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(info.size);
    size_t length = std::min<size_t>(info.name.size(), MAX_PATH - 1);
    std::copy_n(info.name.data(), length, data.cFileName);
}

std::u16string_view text_of(LPCWSTR text)
{
    return text ? std::u16string_view(text) : std::u16string_view();
}

} // namespace

HANDLE CreateFile(LPCWSTR file_name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags_and_attributes, HANDLE)
{
    auto name = text_of(file_name);
    auto& device = Device::current();
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<KernelObject> object;
    bool existed = false;
    if (StreamDriverTable::is_driver_name(name)) {
        object = device.component<StreamDriverTable>().open(name, error);
    } else {
        FileObject::Access wanted { (access & GENERIC_READ) != 0, (access & GENERIC_WRITE) != 0, false, share };
        object = files().open(name, wanted, disposition, flags_and_attributes, error, existed);
    }
    if (!object) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = device.handles().insert(std::move(object), caller());
    bool tells_existing = disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS;
    SetLastError(existed && tells_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read, LPOVERLAPPED)
{
    DWORD done = 0;
    auto file = resolve<FileObject>(handle);
    DWORD error = file ? files().read(*file, buffer, bytes_to_read, done) : ERROR_INVALID_HANDLE;
    if (bytes_read)
        *bytes_read = done;
    return result(error);
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written, LPOVERLAPPED)
{
    DWORD done = 0;
    auto file = resolve<FileObject>(handle);
    DWORD error = file ? files().write(*file, buffer, bytes_to_write, done) : ERROR_INVALID_HANDLE;
    if (bytes_written)
        *bytes_written = done;
    return result(error);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distance_high, DWORD method)
{
    auto file = resolve<FileObject>(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t offset = distance_high ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) | static_cast<uint32_t>(distance))
                                   : static_cast<int64_t>(distance);
    int64_t base = 0;
    if (method == FILE_CURRENT) {
        base = static_cast<int64_t>(file->position());
    } else if (method == FILE_END) {
        uint64_t size = 0;
        if (DWORD error = files().size_of(*file, size)) {
            SetLastError(error);
            return INVALID_SET_FILE_POINTER;
        }
        base = static_cast<int64_t>(size);
    } else if (method != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t position = base + offset;
    if (position < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    file->set_position(static_cast<uint64_t>(position));
    if (distance_high)
        *distance_high = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE handle, LPDWORD size_high)
{
    auto file = resolve<FileObject>(handle);
    uint64_t size = 0;
    DWORD error = file ? files().size_of(*file, size) : ERROR_INVALID_HANDLE;
    SetLastError(error);
    if (error)
        return INVALID_FILE_SIZE;
    if (size_high)
        *size_high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

BOOL SetEndOfFile(HANDLE handle)
{
    auto file = resolve<FileObject>(handle);
    return result(file ? files().resize(*file, file->position()) : ERROR_INVALID_HANDLE);
}

BOOL FlushFileBuffers(HANDLE handle)
{
    // Every write reaches the host file at once; there is nothing held back to flush.
    return result(resolve<FileObject>(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
}

BOOL GetFileInformationByHandle(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information)
{
    auto file = resolve<FileObject>(handle);
    if (!file || !information)
        return result(file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    FileInfo info = files().info_of(*file);
    *information = {};
    information->dwFileAttributes = info.attributes;
    information->ftCreationTime = make_filetime(info.creation_time);
    information->ftLastAccessTime = make_filetime(info.last_access_time);
    information->ftLastWriteTime = make_filetime(info.last_write_time);
    information->nFileSizeHigh = static_cast<DWORD>(info.size >> 32);
    information->nFileSizeLow = static_cast<DWORD>(info.size);
    information->nNumberOfLinks = 1;
    information->dwVolumeSerialNumber = static_cast<DWORD>(file->volume()) + 1;
    return result(ERROR_SUCCESS);
}

BOOL GetFileTime(HANDLE handle, LPFILETIME creation, LPFILETIME last_access, LPFILETIME last_write)
{
    auto file = resolve<FileObject>(handle);
    if (!file)
        return result(ERROR_INVALID_HANDLE);
    FileInfo info = files().info_of(*file);
    if (creation)
        *creation = make_filetime(info.creation_time);
    if (last_access)
        *last_access = make_filetime(info.last_access_time);
    if (last_write)
        *last_write = make_filetime(info.last_write_time);
    return result(ERROR_SUCCESS);
}

BOOL DeleteFile(LPCWSTR file_name)
{
    return result(files().remove_file(text_of(file_name)));
}

BOOL MoveFile(LPCWSTR existing, LPCWSTR new_name)
{
    return result(files().move(text_of(existing), text_of(new_name)));
}

BOOL DeleteAndRenameFile(LPCWSTR destination, LPCWSTR source)
{
    return result(files().replace(text_of(destination), text_of(source)));
}

BOOL CopyFile(LPCWSTR existing, LPCWSTR new_name, BOOL fail_if_exists)
{
    return result(files().copy(text_of(existing), text_of(new_name), fail_if_exists != FALSE));
}

BOOL CreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES)
{
    return result(files().create_directory(text_of(path)));
}

BOOL RemoveDirectory(LPCWSTR path)
{
    return result(files().remove_directory(text_of(path)));
}

DWORD GetFileAttributes(LPCWSTR file_name)
{
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    SetLastError(files().attributes_of(text_of(file_name), attributes));
    return attributes;
}

BOOL SetFileAttributes(LPCWSTR file_name, DWORD attributes)
{
    return result(files().set_attributes(text_of(file_name), attributes));
}

HANDLE FindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATA data)
{
    std::vector<FileInfo> entries;
    if (DWORD error = files().find(text_of(pattern), entries)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<FindSearch>(std::move(entries));
    fill(*data, *search->next());
    HANDLE handle = Device::current().handles().insert(search, caller());
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL FindNextFile(HANDLE handle, LPWIN32_FIND_DATA data)
{
    auto search = resolve<FindSearch>(handle);
    if (!search)
        return result(ERROR_INVALID_HANDLE);
    auto* entry = search->next();
    if (!entry)
        return result(ERROR_NO_MORE_FILES);
    fill(*data, *entry);
    return result(ERROR_SUCCESS);
}

BOOL FindClose(HANDLE handle)
{
    if (!resolve<FindSearch>(handle))
        return result(ERROR_INVALID_HANDLE);
    Device::current().handles().close(handle, caller());
    return result(ERROR_SUCCESS);
}

BOOL GetDiskFreeSpaceEx(LPCWSTR directory, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total, PULARGE_INTEGER total_free)
{
    uint64_t free = 0;
    uint64_t size = 0;
    if (DWORD error = files().free_space(directory ? text_of(directory) : std::u16string_view(u"\\"), free, size))
        return result(error);
    if (free_to_caller)
        free_to_caller->QuadPart = free;
    if (total)
        total->QuadPart = size;
    if (total_free)
        total_free->QuadPart = free;
    return result(ERROR_SUCCESS);
}

void GlobalMemoryStatus(LPMEMORYSTATUS status)
{
    auto& volumes = Device::current().component<Volumes>();
    auto clamp = [](uint64_t value) { return static_cast<DWORD>(std::min<uint64_t>(value, 0xFFFFFFFF)); };
    uint64_t total = volumes.total_memory();
    uint64_t available = std::min(volumes.available_memory(), total);
    *status = {};
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad = total ? static_cast<DWORD>(100 - available * 100 / total) : 0;
    status->dwTotalPhys = clamp(total);
    status->dwAvailPhys = clamp(available);
    status->dwTotalVirtual = 32u << 20;
    status->dwAvailVirtual = 32u << 20;
}
