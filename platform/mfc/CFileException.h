#pragma once

#include "CObject.h"
#include "CString.h"

// What went wrong in a CFile call: a cause, the platform's error code and the file's name. The
// calls fill it instead of throwing it, since nothing is thrown across a module boundary here.
class CFileException : public CObject {
public:
    enum {
        none = 0,
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
        , m_strFileName(file_name)
    {
    }

    // The cause that goes with one of the platform's error codes.
    static int OsErrorToException(LONG os_error);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};
