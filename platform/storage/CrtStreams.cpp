#include "CrtStreams.h"

#include "Device.h"
#include "Errors.h"
#include "FileApi.h"
#include "FileSystem.h"
#include "Process.h"
#include "SimThread.h"

#include <cerrno>
#include <vector>

namespace kivo {

struct CrtStreams::Cookie {
    CrtStreams& streams;
    std::shared_ptr<FileObject> file;
    FILE* stream = nullptr;
};

namespace {

int errno_of(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
        return EEXIST;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

} // namespace

CrtStreams::CrtStreams(Device& device)
    : m_files(device.component<FileSystem>())
{
}

CrtStreams::~CrtStreams()
{
    std::vector<FILE*> left;
    {
        std::lock_guard guard(m_lock);
        for (auto& [stream, info] : m_streams)
            left.push_back(stream);
    }
    for (auto* stream : left)
        std::fclose(stream);
}

FILE* CrtStreams::open(std::u16string_view path, std::string_view mode, DWORD& error)
{
    if (mode.empty() || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) {
        error = ERROR_INVALID_PARAMETER;
        errno = EINVAL;
        return nullptr;
    }
    bool update = mode.find('+') != std::string_view::npos;
    // Text mode is the run-time's default.
    bool text = mode.find('b') == std::string_view::npos;
    FileObject::Access access;
    DWORD disposition = OPEN_EXISTING;
    switch (mode[0]) {
    case 'r':
        access = { true, update, false };
        break;
    case 'w':
        access = { update, true, false };
        disposition = CREATE_ALWAYS;
        break;
    default:
        access = { update, true, true };
        disposition = OPEN_ALWAYS;
        break;
    }
    bool existed = false;
    auto file = m_files.open(path, access, disposition, FILE_ATTRIBUTE_NORMAL, error, existed);
    if (!file) {
        errno = errno_of(error);
        return nullptr;
    }
    error = ERROR_SUCCESS;
    auto cookie = std::make_unique<Cookie>(Cookie { *this, std::move(file) });
    cookie_io_functions_t functions { &CrtStreams::read, &CrtStreams::write, &CrtStreams::seek, &CrtStreams::close };
    const char* host_mode = access.read && access.write ? "r+" : (access.write ? "w" : "r");
    FILE* stream = fopencookie(cookie.get(), host_mode, functions);
    if (!stream) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    // The stream owns its cookie from now on; close() takes it back.
    cookie.release()->stream = stream;
    auto* thread = SimThread::current();
    std::lock_guard guard(m_lock);
    m_streams[stream] = { text, thread ? thread->process().id() : 0 };
    return stream;
}

bool CrtStreams::is_text(FILE* stream) const
{
    std::lock_guard guard(m_lock);
    auto it = m_streams.find(stream);
    return it != m_streams.end() && it->second.text;
}

size_t CrtStreams::open_count() const
{
    std::lock_guard guard(m_lock);
    return m_streams.size();
}

void CrtStreams::process_ending(Process& process)
{
    std::vector<FILE*> left;
    {
        std::lock_guard guard(m_lock);
        for (auto& [stream, info] : m_streams) {
            if (info.process_id == process.id())
                left.push_back(stream);
        }
    }
    for (auto* stream : left)
        std::fclose(stream);
}

ssize_t CrtStreams::read(void* opaque, char* buffer, size_t size)
{
    auto* cookie = static_cast<Cookie*>(opaque);
    DWORD done = 0;
    DWORD error = cookie->streams.m_files.read(*cookie->file, buffer, static_cast<DWORD>(std::min<size_t>(size, 0x7FFFFFFF)), done);
    if (error) {
        errno = errno_of(error);
        return -1;
    }
    return done;
}

ssize_t CrtStreams::write(void* opaque, const char* buffer, size_t size)
{
    auto* cookie = static_cast<Cookie*>(opaque);
    DWORD done = 0;
    DWORD error = cookie->streams.m_files.write(*cookie->file, buffer, static_cast<DWORD>(std::min<size_t>(size, 0x7FFFFFFF)), done);
    if (error) {
        errno = errno_of(error);
        return 0;
    }
    return done;
}

int CrtStreams::seek(void* opaque, off64_t* offset, int whence)
{
    auto* cookie = static_cast<Cookie*>(opaque);
    int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<int64_t>(cookie->file->position());
    } else if (whence == SEEK_END) {
        uint64_t size = 0;
        cookie->streams.m_files.size_of(*cookie->file, size);
        base = static_cast<int64_t>(size);
    }
    int64_t position = base + *offset;
    if (position < 0) {
        errno = EINVAL;
        return -1;
    }
    cookie->file->set_position(static_cast<uint64_t>(position));
    *offset = position;
    return 0;
}

int CrtStreams::close(void* opaque)
{
    std::unique_ptr<Cookie> cookie(static_cast<Cookie*>(opaque));
    std::lock_guard guard(cookie->streams.m_lock);
    cookie->streams.m_streams.erase(cookie->stream);
    return 0;
}

} // namespace kivo
