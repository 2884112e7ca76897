#pragma once

#include "CFileException.h"
#include "CObject.h"

// What CFile::GetStatus tells of a file by name, and CFile::SetStatus changes: its size, its
// attributes and its full name. The file times are not carried.
struct CFileStatus {
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;
    WCHAR m_szFullName[MAX_PATH] = {};
};

// A file opened through the platform's file calls, as MFC's CFile. Failures are answered, never
// thrown: Open fills the exception it is given, and Read and Write answer the bytes they moved,
// so a short write is seen by its caller.
class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() override;

    virtual BOOL Open(LPCWSTR file_name, UINT open_flags, CFileException* error = nullptr);
    virtual UINT Read(void* buffer, UINT count);
    virtual UINT Write(const void* buffer, UINT count);
    virtual void Close();
    ULONGLONG GetLength() const;
    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    static BOOL GetStatus(LPCWSTR file_name, CFileStatus& status);
    // Sets the attributes of the status; answers whether the platform took them.
    static BOOL SetStatus(LPCWSTR file_name, const CFileStatus& status);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
