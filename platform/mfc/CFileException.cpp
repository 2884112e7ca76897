#include "CFileException.h"

#include "kernel/Errors.h"
#include "storage/FileApi.h"

int CFileException::OsErrorToException(LONG os_error)
{
    switch (static_cast<DWORD>(os_error)) {
    case ERROR_SUCCESS:
        return none;
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
        return invalidFile;
    case ERROR_SHARING_VIOLATION:
        return sharingViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return diskFull;
    case ERROR_NEGATIVE_SEEK:
        return badSeek;
    case ERROR_HANDLE_EOF:
        return endOfFile;
    default:
        return genericException;
    }
}

void AfxThrowFileException(int cause, LONG os_error, LPCWSTR file_name)
{
    throw new CFileException(cause, os_error, file_name);
}
