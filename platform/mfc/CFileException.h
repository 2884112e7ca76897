#pragma once

#include "CObject.h"
#include "CString.h"

// Why a file operation failed: the cause in MFC's terms and the platform's error code.
class CFileException : public CObject {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    explicit CFileException(int cause = none, LONG os_error = -1, LPCWSTR file_name = nullptr)
        : m_cause(cause)
        , m_lOsError(os_error)
        , m_strFileName(file_name ? file_name : u"")
    {
    }

    // The cause for a platform error code.
    static int OsErrorToException(LONG os_error);
    // Thrown exceptions are heap objects; the handler deletes them with this.
    void Delete() { delete this; }

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

// Throws a new CFileException, as the throwing file calls do.
[[noreturn]] void AfxThrowFileException(int cause, LONG os_error = -1, LPCWSTR file_name = nullptr);
