#include "CFile.h"

#include "kernel/KernelApi.h"
#include "storage/FileApi.h"

int CFileException::OsErrorToException(LONG os_error)
{
    switch (static_cast<DWORD>(os_error)) {
    case ERROR_SUCCESS:
        return none;
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return badPath;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
        return invalidFile;
    case ERROR_SHARING_VIOLATION:
        return sharingViolation;
    case ERROR_DISK_FULL:
        return diskFull;
    default:
        return genericException;
    }
}

CFile::~CFile()
{
    Close();
}

BOOL CFile::Open(LPCWSTR file_name, UINT open_flags, CFileException* error)
{
    Close();
    DWORD access = 0;
    switch (open_flags & 0x3) {
    case modeRead:
        access = GENERIC_READ;
        break;
    case modeWrite:
        access = GENERIC_WRITE;
        break;
    default:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    }
    DWORD share = 0;
    switch (open_flags & 0x70) {
    case shareDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        share = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default:
        break;
    }
    DWORD disposition = OPEN_EXISTING;
    if (open_flags & modeCreate)
        disposition = (open_flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    m_hFile = CreateFile(file_name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile != INVALID_HANDLE_VALUE)
        return TRUE;
    if (error) {
        LONG os_error = static_cast<LONG>(GetLastError());
        error->m_lOsError = os_error;
        error->m_cause = CFileException::OsErrorToException(os_error);
        error->m_strFileName = file_name;
    }
    return FALSE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!IsOpen() || !ReadFile(m_hFile, buffer, count, &read, nullptr))
        return 0;
    return read;
}

UINT CFile::Write(const void* buffer, UINT count)
{
    DWORD written = 0;
    if (!IsOpen() || !WriteFile(m_hFile, buffer, count, &written, nullptr))
        return 0;
    return written;
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

ULONGLONG CFile::GetLength() const
{
    if (!IsOpen())
        return 0;
    DWORD high = 0;
    DWORD low = GetFileSize(m_hFile, &high);
    return (ULONGLONG(high) << 32) | low;
}

BOOL CFile::GetStatus(LPCWSTR file_name, CFileStatus& status)
{
    WIN32_FIND_DATA found {};
    HANDLE search = FindFirstFile(file_name, &found);
    if (search == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(search);
    status.m_size = (ULONGLONG(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    status.m_attribute = static_cast<BYTE>(found.dwFileAttributes);
    size_t length = 0;
    for (; file_name[length] && length + 1 < MAX_PATH; ++length)
        status.m_szFullName[length] = file_name[length];
    status.m_szFullName[length] = 0;
    return TRUE;
}

BOOL CFile::SetStatus(LPCWSTR file_name, const CFileStatus& status)
{
    return SetFileAttributes(file_name, status.m_attribute);
}
