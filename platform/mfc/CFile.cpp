#include "CFile.h"

#include "kernel/KernelApi.h"
#include "storage/FileApi.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace {

DWORD access_of(UINT flags)
{
    switch (flags & 3) {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

DWORD share_of(UINT flags)
{
    switch (flags & 0x70) {
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    default:
        return 0;
    }
}

DWORD disposition_of(UINT flags)
{
    if (!(flags & CFile::modeCreate))
        return OPEN_EXISTING;
    return (flags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

} // namespace

CFile::CFile(LPCWSTR file_name, UINT flags)
{
    CFileException error;
    if (!Open(file_name, flags, &error))
        AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile()
{
    if (m_hFile != hFileNull)
        Abort();
}

BOOL CFile::Open(LPCWSTR file_name, UINT flags, CFileException* error)
{
    if (m_hFile != hFileNull)
        Abort();
    m_strFileName = file_name ? file_name : u"";
    HANDLE file = ::CreateFile(file_name, access_of(flags), share_of(flags), nullptr, disposition_of(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = ::GetLastError();
        if (error) {
            error->m_lOsError = static_cast<LONG>(code);
            error->m_cause = CFileException::OsErrorToException(static_cast<LONG>(code));
            error->m_strFileName = file_name ? file_name : u"";
        }
        return FALSE;
    }
    m_hFile = file;
    return TRUE;
}

void CFile::throw_last_error() const
{
    auto code = static_cast<LONG>(::GetLastError());
    AfxThrowFileException(CFileException::OsErrorToException(code), code, m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (!count)
        return 0;
    DWORD read = 0;
    if (!::ReadFile(m_hFile, buffer, count, &read, nullptr))
        throw_last_error();
    return read;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (!count)
        return;
    DWORD written = 0;
    if (!::WriteFile(m_hFile, buffer, count, &written, nullptr))
        throw_last_error();
    if (written != count)
        AfxThrowFileException(CFileException::diskFull, static_cast<LONG>(ERROR_DISK_FULL), m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LONG high = static_cast<LONG>(offset >> 32);
    ::SetLastError(ERROR_SUCCESS);
    DWORD low = ::SetFilePointer(m_hFile, static_cast<LONG>(offset & 0xFFFFFFFF), &high, from);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != ERROR_SUCCESS)
        throw_last_error();
    return (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
}

ULONGLONG CFile::GetPosition() const
{
    LONG high = 0;
    ::SetLastError(ERROR_SUCCESS);
    DWORD low = ::SetFilePointer(m_hFile, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != ERROR_SUCCESS)
        throw_last_error();
    return (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
}

ULONGLONG CFile::GetLength() const
{
    DWORD high = 0;
    ::SetLastError(ERROR_SUCCESS);
    DWORD low = ::GetFileSize(m_hFile, &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != ERROR_SUCCESS)
        throw_last_error();
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

void CFile::SetLength(ULONGLONG length)
{
    ULONGLONG position = GetPosition();
    Seek(static_cast<LONGLONG>(length), begin);
    if (!::SetEndOfFile(m_hFile))
        throw_last_error();
    // The position stays where it was, unless that is now past the end.
    Seek(static_cast<LONGLONG>(std::min(position, length)), begin);
}

void CFile::Flush()
{
    if (m_hFile != hFileNull && !::FlushFileBuffers(m_hFile))
        throw_last_error();
}

void CFile::Close()
{
    HANDLE file = std::exchange(m_hFile, hFileNull);
    m_strFileName.Empty();
    if (file != hFileNull && !::CloseHandle(file))
        AfxThrowFileException(CFileException::invalidFile, static_cast<LONG>(::GetLastError()));
}

void CFile::Abort()
{
    HANDLE file = std::exchange(m_hFile, hFileNull);
    m_strFileName.Empty();
    if (file != hFileNull)
        ::CloseHandle(file);
}

CString CFile::GetFileName() const
{
    std::u16string_view path(static_cast<LPCWSTR>(m_strFileName), static_cast<size_t>(m_strFileName.GetLength()));
    size_t slash = path.find_last_of(u"\\/");
    return CString(std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1)).c_str());
}

BOOL CFile::GetStatus(CFileStatus& status) const
{
    return GetStatus(m_strFileName, status);
}

void CFile::Remove(LPCWSTR file_name)
{
    if (!::DeleteFile(file_name)) {
        auto code = static_cast<LONG>(::GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(code), code, file_name);
    }
}

void CFile::Rename(LPCWSTR old_name, LPCWSTR new_name)
{
    if (!::MoveFile(old_name, new_name)) {
        auto code = static_cast<LONG>(::GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(code), code, old_name);
    }
}

BOOL CFile::GetStatus(LPCWSTR file_name, CFileStatus& status)
{
    // A name, not a pattern: a wildcard would find some other file.
    WIN32_FIND_DATA found {};
    bool pattern = file_name && std::u16string_view(file_name).find_first_of(u"*?") != std::u16string_view::npos;
    HANDLE search = file_name && !pattern ? ::FindFirstFile(file_name, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        status = CFileStatus {};
        return FALSE;
    }
    ::FindClose(search);
    status.m_ctime = CTime(found.ftCreationTime);
    status.m_atime = CTime(found.ftLastAccessTime);
    status.m_mtime = CTime(found.ftLastWriteTime);
    status.m_size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    status.m_attribute = static_cast<BYTE>(found.dwFileAttributes);
    size_t length = std::char_traits<char16_t>::length(file_name);
    size_t copied = std::min(length, static_cast<size_t>(MAX_PATH - 1));
    std::char_traits<char16_t>::copy(status.m_szFullName, file_name, copied);
    status.m_szFullName[copied] = u'\0';
    return TRUE;
}

void CFile::SetStatus(LPCWSTR file_name, const CFileStatus& status)
{
    CFileStatus current;
    if (!GetStatus(file_name, current)) {
        auto code = static_cast<LONG>(::GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(code), code, file_name);
    }
    // The directory bit is the file's own, not something a status can change.
    DWORD attributes = status.m_attribute & ~FILE_ATTRIBUTE_DIRECTORY;
    if (!::SetFileAttributes(file_name, attributes ? attributes : FILE_ATTRIBUTE_NORMAL)) {
        auto code = static_cast<LONG>(::GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(code), code, file_name);
    }
    bool times_changed = (status.m_mtime.GetTime() && status.m_mtime != current.m_mtime)
        || (status.m_ctime.GetTime() && status.m_ctime != current.m_ctime);
    if (times_changed) {
        // FIXME: file times are not set; the storage layer has no SetFileTime and no program
        // changes a time through its status.
        NKDbgPrintfW(u"CFile::SetStatus: the times of %s are not changed\r\n", file_name);
    }
}
